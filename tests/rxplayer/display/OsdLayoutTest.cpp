#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "display/OSD/qelOsdLayout.h"

namespace {

enum { kMode4 = 1, kMode16 = 3, kMode32 = 10, kMode1x4 = 12 };

bool hasLine(const std::vector<Position>& lines, Position p) {
    for (const auto& l : lines)
        if (l.x == p.x && l.y == p.y && l.w == p.w && l.h == p.h) return true;
    return false;
}

TEST(OsdLayout, WindowRectangles) {
    Position r[32]{};
    ASSERT_EQ(qelosd::layoutRects(4, kMode4, 1920, 1080, r), 0);
    EXPECT_EQ(r[3].x, 960);
    EXPECT_EQ(r[3].y, 540);
    EXPECT_EQ(r[3].w, 960);

    ASSERT_EQ(qelosd::layoutRects(4, kMode1x4, 1920, 1080, r), 0);
    EXPECT_EQ(r[3].x, 1440);
    EXPECT_EQ(r[3].y, 0);
    EXPECT_EQ(r[3].h, 1080);

    // 16 windows: every quarter split in four, numbered quarter by quarter.
    ASSERT_EQ(qelosd::layoutRects(16, kMode16, 1920, 1080, r), 0);
    EXPECT_EQ(r[5].x, 1440);
    EXPECT_EQ(r[5].y, 0);
    EXPECT_EQ(r[6].x, 960);
    EXPECT_EQ(r[6].y, 270);
    EXPECT_EQ(r[15].x, 1440);
    EXPECT_EQ(r[15].y, 810);
    EXPECT_EQ(r[15].w, 480);

    // A count without a layout leaves the rectangles as they were.
    Position before = r[15];
    EXPECT_EQ(qelosd::layoutRects(18, kMode32, 1920, 1080, r), -1);
    EXPECT_EQ(qelosd::layoutRects(0, kMode32, 1920, 1080, r), -1);
    EXPECT_EQ(r[15].x, before.x);
    EXPECT_EQ(r[15].y, before.y);
}

TEST(OsdLayout, FrameLines) {
    EXPECT_TRUE(qelosd::frameLines(1, 0, 1920, 1080).empty());

    auto four = qelosd::frameLines(4, kMode4, 1920, 1080);
    EXPECT_TRUE(hasLine(four, {0, 0, 1, 1080}));
    EXPECT_TRUE(hasLine(four, {1919, 0, 1, 1080}));
    EXPECT_TRUE(hasLine(four, {0, 1079, 1920, 1}));
    EXPECT_TRUE(hasLine(four, {959, 0, 1, 1080}));
    EXPECT_TRUE(hasLine(four, {0, 539, 1920, 1}));
    EXPECT_EQ(four.size(), 6u);

    auto sixteen = qelosd::frameLines(16, kMode16, 1920, 1080);
    EXPECT_TRUE(hasLine(sixteen, {479, 0, 1, 540}));
    EXPECT_TRUE(hasLine(sixteen, {960 + 479, 540, 1, 540}));
    EXPECT_TRUE(hasLine(sixteen, {960, 540 + 269, 960, 1}));
    EXPECT_EQ(sixteen.size(), 4u + 8u + 2u);

    // 1x4: three vertical lines at even columns.
    auto row = qelosd::frameLines(4, kMode1x4, 1366, 768);
    EXPECT_TRUE(hasLine(row, {340, 0, 1, 768}));
    EXPECT_TRUE(hasLine(row, {682, 0, 1, 768}));
    EXPECT_TRUE(hasLine(row, {1024, 0, 1, 768}));
}

void putLe32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

std::vector<uint8_t> bits(uint32_t w, uint32_t h, uint32_t stride, size_t pixelBytes) {
    std::vector<uint8_t> v;
    putLe32(v, 5);
    putLe32(v, w);
    putLe32(v, h);
    putLe32(v, stride);
    for (size_t i = 0; i < pixelBytes; ++i) v.push_back(uint8_t(i));
    return v;
}

TEST(OsdLayout, BitsFilesAreCheckedAgainstTheirSizeAndTheBlock) {
    char tmpl[] = "/tmp/qelosd-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string root = tmpl;
    setenv("QEL_ROOT", root.c_str(), 1);
    ASSERT_EQ(::system(("mkdir -p " + root + "/mnt/res").c_str()), 0);
    auto write = [&](const char* name, const std::vector<uint8_t>& v) {
        std::ofstream(root + "/mnt/res/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(v.data()), v.size());
    };
    write("ok.bits", bits(3, 2, 8, 16));
    write("short.bits", bits(3, 2, 8, 15));
    write("stride.bits", bits(3, 2, 4, 16));
    write("header.bits", std::vector<uint8_t>(10, 0));
    write("huge.bits", bits(0x10000, 0x10000, 0x20000, 16));

    uint8_t block[64];
    memset(block, 0xEE, sizeof block);
    qelosd::BitsImage img;
    ASSERT_EQ(qelosd::loadBits("/mnt/res/ok.bits", block, sizeof block, &img), 0);
    EXPECT_EQ(img.width, 3u);
    EXPECT_EQ(img.height, 2u);
    EXPECT_EQ(img.stride, 8u);
    EXPECT_EQ(block[15], 15);
    EXPECT_EQ(block[16], 0xEE);

    EXPECT_EQ(qelosd::loadBits("/mnt/res/ok.bits", block, 15, &img), -1);  // block too small
    for (const char* bad : {"short", "stride", "header", "huge", "missing"}) {
        std::string p = std::string("/mnt/res/") + bad + ".bits";
        EXPECT_EQ(qelosd::loadBits(p.c_str(), block, sizeof block, &img), -1) << bad;
    }
    ::system(("rm -rf '" + root + "'").c_str());
    unsetenv("QEL_ROOT");
}

}  // namespace
