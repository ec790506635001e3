// The JPEG header reader: every accepted sampling, every refusal with its exact message, files
// cut short inside and between segments, and a real picture made by ffmpeg.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <string>

#include "dispatch/JpegUtil.h"
#include "support/JpegBuilder.h"

namespace {

using qeltest::JpegBuilder;
using Bytes = JpegBuilder::Bytes;

const char kInvalid[] = "Invalid JPG file.";
const char kNoSos[] = "Invalid JPG file. No SOS marker found.";

struct Case {
    const char* what;
    Bytes file;
    const char* message;  // null: accepted
    unsigned width = 0, height = 0;
};

JpegBuilder head() {
    JpegBuilder j;
    j.soi().app0().dqt();
    return j;
}

Bytes withFrame(std::vector<std::pair<uint8_t, uint8_t>> comps, uint8_t code = 0xC0,
                uint8_t precision = 8) {
    return head().sof(1920, 1080, comps, code, precision).dht().sos().data(16).eoi().b;
}

Bytes withScan(const Bytes& ids) {
    return head().sof(1920, 1080).dht().sos(ids).data(16).eoi().b;
}

std::vector<Case> cases() {
    const Bytes full = JpegBuilder::picture(1920, 1080);
    std::vector<Case> c = {
        {"4:2:0", JpegBuilder::picture(1920, 1080, 0x22), nullptr, 1920, 1080},
        {"4:2:2", JpegBuilder::picture(1280, 720, 0x21), nullptr, 1280, 720},
        {"4:4:4", JpegBuilder::picture(64, 48, 0x11), nullptr, 64, 48},
        {"luma 1x2", JpegBuilder::picture(1920, 1080, 0x12), nullptr, 1920, 1080},
        {"fill bytes, restart interval, comment, stand-alone tables",
         head()
             .fill()
             .fill()
             .dri()
             .segment(0xFE, {'h', 'i'})
             .sof(1920, 1080)
             .dht(0x10)
             .fill()
             .sos()
             .data(8)
             .eoi()
             .b,
         nullptr, 1920, 1080},
        {"data between segments is stepped over",
         head().raw({0x12, 0x34}).sof(800, 600).dht().sos().eoi().b, nullptr, 800, 600},
        {"no start marker", JpegBuilder().raw({'G', 'I', 'F', '8', '9', 'a'}).data(40).b,
         "Not a JPG file ?\n"},
        {"one byte", Bytes{0xFF}, kInvalid},
        {"19 bytes", JpegBuilder().soi().app0().truncate(19).b, kInvalid},
        {"exactly the 20-byte prefix", JpegBuilder().soi().app0().b, kNoSos},
        {"EXIF instead of JFIF",
         JpegBuilder().soi().app1().app0().dqt().sof(1920, 1080).dht().sos().eoi().b, kInvalid},
        {"JFIF version 2", JpegBuilder().soi().app0(2).dqt().sof(1920, 1080).dht().sos().eoi().b,
         "JFIF version not supported"},
        {"thumbnail", JpegBuilder().soi().app0(1, 2, 1).dqt().sof(1920, 1080).dht().sos().eoi().b,
         " Cannot process JFIF thumbnailed files\n"},
        {"16-bit quantization table", JpegBuilder().soi().app0().dqt({0x00, 0x11}).b,
         "16 bit quantization table not supported"},
        {"12-bit precision", withFrame({{1, 0x22}, {2, 0x11}, {3, 0x11}}, 0xC0, 12),
         "Only 8 bit precision supported"},
        {"grey scale", withFrame({{1, 0x11}}), "Only truecolor JPGS supported"},
        {"frame component 4", withFrame({{1, 0x22}, {2, 0x11}, {4, 0x11}}),
         "Only YCbCr format supported"},
        {"scan of one component", withScan({1}), "Invalid SOS marker"},
        {"scan component 0", withScan({1, 0, 3}), "Only YCbCr format supported"},
        {"progressive", withFrame({{1, 0x22}, {2, 0x11}, {3, 0x11}}, 0xC2),
         "Progressive JPEGs not supported"},
        {"ends after its tables", head().sof(1920, 1080).dht().b, kNoSos},
        {"chroma wider than luma", withFrame({{1, 0x11}, {2, 0x21}, {3, 0x11}}),
         "Horizontal sampling factor for Y should be >= sampling factor for Cb,Cr"},
        {"chroma taller than luma", withFrame({{1, 0x21}, {2, 0x12}, {3, 0x11}}),
         "Vertical sampling factor for Y should be >= sampling factor for Cb,Cr"},
        {"Cb at 2x1", withFrame({{1, 0x22}, {2, 0x21}, {3, 0x11}}),
         "Cb sampling factors should be = 1"},
        {"Cr at 1x2", withFrame({{1, 0x22}, {2, 0x11}, {3, 0x12}}),
         "Cr sampling factors should be = 1"},
        {"segment length 1", head().header(0xFE, 1).data(40).b, kInvalid},
        {"segment length past the end", head().header(0xFE, 500).data(40).b, kInvalid},
        {"quantization table 4", JpegBuilder().soi().app0().dqt({0x04}).data(8).b, kInvalid},
        {"Huffman table 5", head().dht(0x05).data(8).b, kInvalid},
        {"Huffman counts past their segment",
         head()
             .segment(0xC4, {0x00, 200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2})
             .sos()
             .data(40)
             .b,
         kInvalid},
        {"Huffman counts cut", head().segment(0xC4, {0x00, 1, 2, 3}).sos().data(8).b, kInvalid},
        {"quantization table cut",
         JpegBuilder().soi().app0().segment(0xDB, {0x00, 1, 2, 3}).sos().data(8).b, kInvalid},
        {"restart interval cut", head().raw({0xFF, 0xDD, 0x00}).b, kInvalid},
        {"marker code missing at the end", head().raw({0xFF}).b, kNoSos},
    };
    // Every cut inside the frame and scan headers is refused, none is read past.
    const Bytes frameStart = head().b;
    for (size_t cut : {frameStart.size() + 3, frameStart.size() + 8, frameStart.size() + 14})
        c.push_back({"cut inside the frame header", Bytes(full.begin(), full.begin() + long(cut)),
                     kInvalid});
    const size_t scanEnd = full.size() - 2;
    for (size_t cut : {scanEnd - 12, scanEnd - 5, scanEnd - 1})
        c.push_back({"cut inside the scan header", Bytes(full.begin(), full.begin() + long(cut)),
                     kInvalid});
    return c;
}

TEST(JpegHeader, TableOfHeaders) {
    for (const Case& k : cases()) {
        SCOPED_TRACE(k.what);
        // An exact-size copy, so that any read past the end is caught by the sanitizer.
        std::unique_ptr<uint8_t[]> image(new uint8_t[k.file.size() ? k.file.size() : 1]);
        std::copy(k.file.begin(), k.file.end(), image.get());
        unsigned w = 7, h = 7;
        const char* err = nullptr;
        const int ok = parseJpegHeader(image.get(), k.file.size(), &w, &h, &err);
        if (k.message) {
            EXPECT_EQ(ok, 0);
            ASSERT_NE(err, nullptr);
            EXPECT_STREQ(err, k.message);
            EXPECT_EQ(w, 7u);
            EXPECT_EQ(h, 7u);
        } else {
            EXPECT_EQ(ok, 1) << (err ? err : "");
            EXPECT_EQ(w, k.width);
            EXPECT_EQ(h, k.height);
        }
    }
}

class JpegFiles : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qel-jpeg-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { system(("rm -rf '" + dir + "'").c_str()); }
    std::string write(const std::string& name, const Bytes& b) {
        const std::string p = dir + "/" + name;
        FILE* f = fopen(p.c_str(), "wb");
        if (f) {
            if (!b.empty()) fwrite(b.data(), 1, b.size(), f);
            fclose(f);
        }
        return p;
    }
    std::string dir;
};

TEST_F(JpegFiles, CheckGivesSizeOnlyWhenAcceptedAndKeepsTheMessage) {
    const std::string good = write("good.jpg", JpegBuilder::picture(1920, 1080, 0x22, 5000));
    unsigned w = 0, h = 0;
    long size = 0;
    EXPECT_EQ(checkJpeg(good.c_str(), &w, &h, &size), 1);
    EXPECT_EQ(w, 1920u);
    EXPECT_EQ(h, 1080u);
    EXPECT_EQ(size, 5000);

    const std::string grey = write("grey.jpg", withFrame({{1, 0x11}}));
    w = h = 1;
    size = 1;
    EXPECT_EQ(checkJpeg(grey.c_str(), &w, &h, &size), 0);
    EXPECT_STREQ(jpegErrorText(), "Only truecolor JPGS supported");
    EXPECT_EQ(w, 1u);
    EXPECT_EQ(size, 1);

    EXPECT_EQ(checkJpeg((dir + "/missing.jpg").c_str(), &w, &h, &size), 0);
    EXPECT_STREQ(jpegErrorText(), "File not found ?");

    // load_JPEG_header sets the size first, even for a refused file; filesize leaves the
    // position where it was.
    FILE* f = fopen(grey.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    fseek(f, 5, SEEK_SET);
    EXPECT_EQ(filesize(f), long(withFrame({{1, 0x11}}).size()));
    EXPECT_EQ(ftell(f), 5);
    EXPECT_EQ(load_JPEG_header(f, &w, &h, &size), 0);
    EXPECT_EQ(size, long(withFrame({{1, 0x11}}).size()));
    fclose(f);

    const std::string empty = write("empty.jpg", {});
    EXPECT_EQ(checkJpeg(empty.c_str(), &w, &h, &size), 0);
    EXPECT_STREQ(jpegErrorText(), kInvalid);
}

TEST_F(JpegFiles, FfmpegPictureIsAccepted) {
    if (::system("command -v ffmpeg > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
    const std::string p = dir + "/ff.jpg";
    const std::string cmd =
        "ffmpeg -loglevel error -f lavfi -i testsrc=size=1920x1080 "
        "-frames:v 1 -pix_fmt yuvj420p -y '" +
        p + "'";
    ASSERT_EQ(::system(cmd.c_str()), 0);
    FILE* f = fopen(p.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    const long expected = filesize(f);
    fclose(f);
    unsigned w = 0, h = 0;
    long size = 0;
    EXPECT_EQ(checkJpeg(p.c_str(), &w, &h, &size), 1) << jpegErrorText();
    EXPECT_EQ(w, 1920u);
    EXPECT_EQ(h, 1080u);
    EXPECT_EQ(size, expected);
}

}  // namespace
