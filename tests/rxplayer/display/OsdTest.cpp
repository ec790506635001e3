#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "SimControl.h"
#include "box/Box.h"
#include "display/OSD/qelOsd_api.h"
#include "display/qelDrvLibState.h"

namespace {

const int kGlyphW = 10;
const int kGlyphH = 16;
const uint16_t kBadge = 0xFC00;  // opaque red
const uint16_t kWhite = 0xFFFF;

// Every glyph is a solid block of its own colour, so a pixel tells which glyph lies there.
uint16_t digitColour(int d) {
    return uint16_t(0x8000 | ((d + 1) << 5));
}
const uint16_t kDotColour = 0x801F;

void writeBits(const std::string& path, int w, int h, uint16_t colour) {
    std::vector<uint8_t> v;
    auto le32 = [&v](uint32_t x) {
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
    };
    le32(5);
    le32(w);
    le32(h);
    le32(w * 2);
    for (int i = 0; i < w * h; ++i) {
        v.push_back(uint8_t(colour));
        v.push_back(uint8_t(colour >> 8));
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(v.data()), v.size());
}

class OsdTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qelosdt-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        setenv("QEL_ROOT", root.c_str(), 1);
        ASSERT_TRUE(box::makeDirs("/mnt/res"));
        for (int d = 0; d < 10; ++d)
            writeBits(root + "/mnt/res/" + std::to_string(d) + ".bits", kGlyphW, kGlyphH,
                      digitColour(d));
        writeBits(root + "/mnt/res/dot.bits", kGlyphW, kGlyphH, kDotColour);
        writeBits(root + "/mnt/res/channel.bits", 70, kGlyphH, kBadge);
        // The stored URLs: a change counter, then one line per window.
        std::ofstream cfg(root + "/mnt/config.ini");
        cfg << "7\n";
        for (int w = 0; w < 18; ++w)
            cfg << (w == 2 ? std::string("unused_window")
                           : "rtsp://192.0.2." + std::to_string(w + 1) + ":554/live")
                << "\n";
        cfg.close();
        qelsim::reset();
        qelDrvLibResetModule();
        qelDrvLib_OsdShowIPChnEn(1);
    }
    void TearDown() override {
        if (const char* keep = getenv("QEL_TEST_FB_PICTURE")) {
            qelsim::writeSnapshot();
            ::system(("cp '" + root + "/sim/fb.ppm' '" + keep + "'").c_str());
        }
        ::system(("rm -rf '" + root + "'").c_str());
        unsetenv("QEL_ROOT");
    }
    std::string root;
};

uint16_t px(int x, int y) {
    return qelsim::fbPixel(uint32_t(x), uint32_t(y));
}

TEST_F(OsdTest, FramesBadgesAndAddressesAfterSetUp) {
    const struct {
        int windows;
        int probeWin;  // window whose badge and address are checked
    } cases[] = {{1, 0}, {4, 3}, {16, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        qelsim::reset();
        qelDrvLibResetModule();
        qelDrvLib_OsdShowIPChnEn(1);
        ASSERT_EQ(qelDrvLib_Init(c.windows, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), 0);

        // Frame lines.
        if (c.windows == 1) {
            EXPECT_EQ(px(0, 700), 0);
        } else {
            EXPECT_EQ(px(0, 700), kWhite);
            EXPECT_EQ(px(1919, 700), kWhite);
            EXPECT_EQ(px(959, 700), kWhite);
            EXPECT_EQ(px(700, 539), kWhite);
            EXPECT_EQ(px(700, 538), 0);
        }
        if (c.windows == 16) {
            EXPECT_EQ(px(479, 100), kWhite);
        }

        Position r = osdWindowRect(c.probeWin);
        int chn = c.probeWin + 1;
        int bx = r.x + 4, by = r.y + 4;
        EXPECT_EQ(px(bx, by), kBadge);
        EXPECT_EQ(px(bx + 30, by + 5), digitColour(chn / 10));
        EXPECT_EQ(px(bx + 32 + kGlyphW, by + 5), digitColour(chn % 10));

        // "192.0.2.N": a digit, then the dot at the fourth place, glyphs 2 pixels apart.
        int ax = r.x + 104, ay = r.y + 120;
        EXPECT_EQ(px(ax, ay), digitColour(1));
        EXPECT_EQ(px(ax + 3 * (kGlyphW + 2), ay), kDotColour);
        EXPECT_EQ(px(ax + kGlyphW, ay), 0);  // the gap
    }
}

TEST_F(OsdTest, UnusedWindowShowsNoAddress) {
    ASSERT_EQ(qelDrvLib_Init(4, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), 0);
    Position r = osdWindowRect(2);
    EXPECT_EQ(px(r.x + 4, r.y + 4), kBadge);
    for (int x = r.x + 104; x < r.x + 104 + 15 * kGlyphW; x += 3)
        EXPECT_EQ(px(x, r.y + 125), 0) << x;
}

TEST_F(OsdTest, InformationLineInTripleSize) {
    ASSERT_EQ(qelDrvLib_Init(1, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), 0);
    char text[] = "10.a";
    qelDrvLib_OsdShowCurInfo(text, 1, 0);
    EXPECT_EQ(px(1280, 840), digitColour(1));
    int step = kGlyphW + 18;  // narrower than a tripled glyph: the next one covers its edge
    EXPECT_EQ(px(1280 + step - 1, 840 + 3 * kGlyphH - 1), digitColour(1));
    EXPECT_EQ(px(1280, 840 + 3 * kGlyphH), 0);
    EXPECT_EQ(px(1280 + step, 840), digitColour(0));
    EXPECT_EQ(px(1280 + 3 * step, 840), kDotColour);  // a letter is drawn as a dot

    // A text past the field and the layer is cut, never written beyond either.
    std::string longText(200, '9');
    qelDrvLib_OsdShowCurInfo(&longText[0], 1, 2);
    EXPECT_EQ(px(1280, 1000), digitColour(9));
    EXPECT_EQ(px(1919, 1000), 0);

    qelDrvLib_OsdShowCurInfo(text, 0, 0);  // clears only
    EXPECT_EQ(px(1280, 840), 0);
}

// The network-state watcher shows the information line while the pipeline thread sets the
// layer up again for a new resolution; both leave the layer whole.
TEST_F(OsdTest, InformationLineWhileTheLayerIsSetUpAgain) {
    ASSERT_EQ(qelDrvLib_Init(1, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), 0);
    std::thread watcher([] {
        char text[] = "10.0.0.7";
        for (int i = 0; i < 40; ++i) qelDrvLib_OsdShowCurInfo(text, 1, 0);
    });
    for (int i = 0; i < 10; ++i) {
        hiInitOSDSize(ZURIR_VO_OUTPUT_1080P60);
        hiDrawRect(1, 0);
    }
    watcher.join();
    char text[] = "10.0.0.7";
    qelDrvLib_OsdShowCurInfo(text, 1, 0);
    EXPECT_EQ(px(1280, 840), digitColour(1));
    EXPECT_EQ(px(1280 + 2 * (kGlyphW + 18), 840), kDotColour);
}

// The layer set up again without memory for the pictures: nothing is drawn from the block
// that was given back, and the next set-up that gets memory draws again.
TEST_F(OsdTest, NoPicturesWhenTheirMemoryCannotBeHadAgain) {
    ASSERT_EQ(qelDrvLib_Init(1, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), 0);
    char text[] = "10.0.0.7";
    qelDrvLib_OsdShowCurInfo(text, 1, 0);
    ASSERT_EQ(px(1280, 840), digitColour(1));
    qelsim::failCall("HI_MPI_SYS_MmzAlloc", HI_ERR_SYS_NOMEM, 1);
    hiInitOSDSize(ZURIR_VO_OUTPUT_1080P60);
    EXPECT_EQ(qelsim::state().mmzBlocks, 0);
    qelsim::clearCalls();
    qelDrvLib_OsdShowCurInfo(text, 1, 0);
    EXPECT_EQ(px(1280, 840), 0);
    for (const std::string& f : qelsim::failedCalls())  // no copy from a freed address
        EXPECT_EQ(f.find("HI_TDE2_Quick"), std::string::npos) << f;
    hiInitOSDSize(ZURIR_VO_OUTPUT_1080P60);
    qelDrvLib_OsdShowCurInfo(text, 1, 0);
    EXPECT_EQ(px(1280, 840), digitColour(1));
}

TEST_F(OsdTest, OverlaysOffClearTheLayer) {
    ASSERT_EQ(qelDrvLib_Init(4, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), 0);
    EXPECT_EQ(px(959, 700), kWhite);
    qelDrvLib_OsdShowIPChnEn(0);
    ASSERT_EQ(qelDrvLib_Init(4, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), 0);
    EXPECT_EQ(px(959, 700), 0);
    EXPECT_EQ(px(4, 4), 0);
}

}  // namespace
