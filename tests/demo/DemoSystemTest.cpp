// The demo run once, end to end: the real controller, four real decoders drawing their screens
// and an RTSP source on the test network, driven over the WebSocket. The wall pictures it
// leaves are checked for what a user would see: the colour bars' edges where the wall's geometry
// and its bezel cut put them (a picture crossing a bezel goes on unbroken on the far side), the
// loss picture in stream 2's window, and the recalled preset equal to the saved one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "WallPicture.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

struct Rgb {
    int r, g, b;
};

// The loss picture's blue and an empty screen.
const Rgb kLoss{32, 64, 128}, kBlack{0, 0, 0};

// The cut the demo sets: 4 and 2, so bezels of 8 x 4 and 8 x 2 picture pixels at half scale.
const int kHorCut = 4, kVerCut = 2;
const int kGapX = 8 * kHorCut, kGapY = 8 * kVerCut;
const int kWidth = 2 * demo::kCellWidth + kGapX, kHeight = 2 * demo::kCellHeight + kGapY;

const uint8_t* at(const demo::Picture& p, int x, int y) {
    return &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
}

int difference(const uint8_t* a, const uint8_t* b) {
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

// The pixel at (x, y) of the wall picture, within a tolerance for the codecs on the way.
::testing::AssertionResult near(const demo::Picture& p, int x, int y, Rgb want) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height)
        return ::testing::AssertionFailure() << "(" << x << "," << y << ") outside the picture";
    const uint8_t* px = at(p, x, y);
    const uint8_t w[3] = {uint8_t(want.r), uint8_t(want.g), uint8_t(want.b)};
    if (difference(px, w) <= 24) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << x << "," << y << ") is " << int(px[0]) << "," << int(px[1]) << ","
           << int(px[2]) << ", not " << want.r << "," << want.g << "," << want.b;
}

// Where the colour changes sharply along row y between x0 and x1: one position per change (a
// blurred change of a few pixels counts once).
std::vector<int> edges(const demo::Picture& p, int y, int x0, int x1) {
    std::vector<int> found;
    for (int x = std::max(x0, 1); x < std::min(x1, p.width); ++x)
        if (difference(at(p, x - 1, y), at(p, x, y)) > 80 &&
            (found.empty() || x - found.back() > 6))
            found.push_back(x);
    return found;
}

std::string list(const std::vector<int>& v) {
    std::ostringstream s;
    for (int x : v) s << x << " ";
    return s.str();
}

// The bar edges of one row of the wall picture against the source's: the stream spread over
// the whole width of the two screens and the bezel between them, so an edge at source x is at
// x * kWidth / 1920, and edges behind the bezel are not seen. Each must be within 4 pixels.
::testing::AssertionResult barsAcrossTheBezel(const demo::Picture& wall, int y,
                                              const std::vector<int>& sourceEdges) {
    const int seamLeft = demo::kCellWidth, seamRight = demo::kCellWidth + kGapX;
    std::vector<int> want;
    for (int e : sourceEdges) {
        const int x = static_cast<int>(e * double(kWidth) / 1920 + 0.5);
        if (x < seamLeft - 8 || x > seamRight + 8) want.push_back(x);
    }
    std::vector<int> got = edges(wall, y, 0, seamLeft - 4);
    const std::vector<int> right = edges(wall, y, seamRight + 4, wall.width);
    got.insert(got.end(), right.begin(), right.end());
    bool ok = got.size() == want.size();
    for (size_t i = 0; ok && i < want.size(); ++i) ok = std::abs(got[i] - want[i]) <= 4;
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "row " << y << ": bar edges at " << list(got)
                                         << "where the cut puts them at " << list(want);
}

std::string makeStream(const std::string& dir, const std::string& pattern) {
    const std::string file = dir + "/" + pattern + ".ts";
    // The clock and frame counter burned in at the bottom left, as the demo's streams have.
    const std::string clock =
        "drawtext=text='%{pts\\:hms} %{n}':x=40:y=h-120:fontsize=72:fontcolor=white:box=1:"
        "boxcolor=black";
    std::string out;
    const int rc = qeltest::encodeTestStream(
        {"-f", "lavfi", "-i", pattern + "=size=1920x1080:rate=25"}, clock, file, &out, 120s);
    EXPECT_EQ(rc, 0) << out;
    return file;
}

// The first frame of a stream as the decoders get it.
bool firstFrame(const std::string& stream, const std::string& ppm, demo::Picture& out) {
    std::string log;
    return qeltest::runCommand({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", stream,
                                "-frames:v", "1", "-c:v", "ppm", "-f", "image2", ppm},
                               &log, 60s) == 0 &&
           demo::readPpm(ppm, out);
}

struct Area {
    int x0, y0, x1, y1;
    bool holds(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

TEST(DemoSystem, TheWallShowsTheStreamsCutAtTheBezelsAndTheLossPicture) {
    QEL_REQUIRE_TEST_NETWORK();
    const std::string dir = testing::TempDir() + "/demo-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string bars = makeStream(dir, "smptebars");
    const std::string moving = makeStream(dir, "testsrc2");
    demo::Picture source;
    ASSERT_TRUE(firstFrame(bars, dir + "/bars.ppm", source));
    // The seven top bars of the source: six edges.
    const std::vector<int> sourceEdges = edges(source, 100, 0, source.width);
    ASSERT_EQ(sourceEdges.size(), 6u) << list(sourceEdges);

    auto demo = qeltest::Process::start({qeltest::programPath("demo_run"), "--once", "--out",
                                         dir + "/out", "--stream", bars, "--stream", moving});
    ASSERT_TRUE(demo);
    const auto status = demo->waitExit(300s);
    ASSERT_TRUE(status) << demo->output();
    ASSERT_EQ(*status, 0) << demo->output();
    auto step = [&](int n, demo::Picture& p) {
        return demo::readPng(dir + "/out/step-" + std::to_string(n) + ".png", p);
    };

    // Step 4: stream 1 over the whole wall. The picture is the wall as the controller holds
    // it: four screens with the bezels of the cut between them; the bars run on across the
    // bezel between the columns, in the top row and in the bottom one.
    demo::Picture across;
    ASSERT_TRUE(step(4, across));
    ASSERT_EQ(across.width, kWidth);
    ASSERT_EQ(across.height, kHeight);
    const int bottom = demo::kCellHeight + kGapY;
    for (int y : {100, bottom + 40}) EXPECT_TRUE(barsAcrossTheBezel(across, y, sourceEdges));

    // The end: the recalled preset (stream 1 over the top row, stream 2 in window 10 across
    // the bottom row, 960..2880 x 1300..1900 of the wall) with stream 2's source gone, so its
    // window shows the loss picture in both bottom screens and nothing around it.
    demo::Picture end;
    ASSERT_TRUE(demo::readPng(dir + "/out/wall.png", end));
    ASSERT_EQ(end.width, kWidth);
    EXPECT_TRUE(barsAcrossTheBezel(end, 100, sourceEdges));
    const int top = bottom + (1300 - 1080) / 2, low = bottom + (1900 - 1080) / 2;
    const int left = 960 / 2, right = demo::kCellWidth + kGapX + (2880 - 1920) / 2;
    for (int y : {top + 8, low - 8}) {
        EXPECT_TRUE(near(end, left + 8, y, kLoss));
        EXPECT_TRUE(near(end, left - 8, y, kBlack));
        EXPECT_TRUE(near(end, right - 8, y, kLoss));
        EXPECT_TRUE(near(end, right + 8, y, kBlack));
    }
    for (int x : {left + 60, demo::kCellWidth + kGapX + 60}) {
        EXPECT_TRUE(near(end, x, top - 8, kBlack));
        EXPECT_TRUE(near(end, x, top + 8, kLoss));
        EXPECT_TRUE(near(end, x, low - 8, kLoss));
        EXPECT_TRUE(near(end, x, low + 8, kBlack));
    }

    // The recalled preset (step 8) is the saved one (step 6) pixel for pixel, but for what
    // moves: stream 2's window and stream 1's clock at the bottom left of the top row. The
    // changed wall between them (step 7) is not.
    demo::Picture saved, changed, recalled;
    ASSERT_TRUE(step(6, saved));
    ASSERT_TRUE(step(7, changed));
    ASSERT_TRUE(step(8, recalled));
    ASSERT_EQ(saved.rgb.size(), recalled.rgb.size());
    ASSERT_EQ(saved.rgb.size(), changed.rgb.size());
    const Area window{left - 8, top - 8, right + 8, low + 8};
    const Area clock{0, demo::kCellHeight - 90, 820, demo::kCellHeight};
    long differ = 0, changedPixels = 0;
    std::string first;
    for (int y = 0; y < saved.height; ++y)
        for (int x = 0; x < saved.width; ++x) {
            if (window.holds(x, y) || clock.holds(x, y)) continue;
            if (difference(at(saved, x, y), at(changed, x, y)) > 32) ++changedPixels;
            if (difference(at(saved, x, y), at(recalled, x, y)) <= 32) continue;
            if (differ++ == 0) first = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
        }
    EXPECT_EQ(differ, 0) << "pixels of the recalled wall differ from the saved one, first at "
                         << first;
    EXPECT_GT(changedPixels, 10000) << "the changed wall looks like the saved one";

    std::filesystem::remove_all(dir);
}

}  // namespace
