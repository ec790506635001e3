// The demo run once, end to end: the real controller, four real decoders drawing their screens
// and an RTSP source on the test network, driven over the WebSocket. The wall pictures it
// leaves show the streams where the operator put them, cut at the bezels, the loss picture
// where a source went away, and nothing in the gaps between the decoders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "WallPicture.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

struct Rgb {
    int r, g, b;
};

// Colours of the streams' pictures: smptebars' top bars at 75 %, the loss picture's blue, the
// gaps' bezel grey and an empty screen.
const Rgb kGrey{191, 191, 191}, kYellow{191, 191, 0}, kCyan{0, 191, 191}, kMagenta{191, 0, 191},
    kRed{191, 0, 0}, kBlue{0, 0, 191}, kLoss{32, 64, 128}, kBezel{40, 40, 40}, kBlack{0, 0, 0};

// The pixel at (x, y) of the wall picture, within a tolerance for the codecs on the way.
::testing::AssertionResult near(const demo::Picture& p, int x, int y, Rgb want) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height)
        return ::testing::AssertionFailure() << "(" << x << "," << y << ") outside the picture";
    const uint8_t* px = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
    const int tol = 24;
    if (std::abs(px[0] - want.r) <= tol && std::abs(px[1] - want.g) <= tol &&
        std::abs(px[2] - want.b) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << x << "," << y << ") is " << int(px[0]) << "," << int(px[1]) << ","
           << int(px[2]) << ", not " << want.r << "," << want.g << "," << want.b;
}

std::string makeStream(const std::string& dir, const std::string& pattern) {
    const std::string file = dir + "/" + pattern + ".ts";
    std::string out;
    const int rc =
        qeltest::runCommand({"ffmpeg",    "-hide_banner", "-loglevel",
                             "error",     "-y",           "-f",
                             "lavfi",     "-i",           pattern + "=size=1920x1080:rate=25",
                             "-frames:v", "3000",         "-c:v",
                             "libx264",   "-preset",      "ultrafast",
                             "-g",        "50",           "-bf",
                             "0",         "-pix_fmt",     "yuv420p",
                             "-f",        "mpegts",       file},
                            &out, 120s);
    EXPECT_EQ(rc, 0) << out;
    return file;
}

TEST(DemoSystem, TheWallShowsTheStreamsCutAtTheBezelsAndTheLossPicture) {
    QEL_REQUIRE_TEST_NETWORK();
    const std::string dir = testing::TempDir() + "/demo-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string bars = makeStream(dir, "smptebars");
    const std::string moving = makeStream(dir, "testsrc2");

    auto demo = qeltest::Process::start({qeltest::programPath("demo_run"), "--once", "--out",
                                         dir + "/out", "--stream", bars, "--stream", moving});
    ASSERT_TRUE(demo);
    const auto status = demo->waitExit(300s);
    ASSERT_TRUE(status) << demo->output();
    ASSERT_EQ(*status, 0) << demo->output();

    // Picture layout: each decoder at half size (960 x 540), gaps of 32 and 18 between them.
    const int cell1 = 960 + 32, row1 = 540 + 18;

    // Step 4: stream 1 over the whole wall, its seven bars spread over both columns.
    demo::Picture across;
    ASSERT_TRUE(demo::readPng(dir + "/out/step-4.png", across));
    ASSERT_EQ(across.width, 2 * 960 + 32);
    ASSERT_EQ(across.height, 2 * 540 + 18);
    for (int row : {0, row1}) {
        const int y = row + 100;
        EXPECT_TRUE(near(across, 137, y, kGrey));
        EXPECT_TRUE(near(across, 411, y, kYellow));
        EXPECT_TRUE(near(across, 686, y, kCyan));
        EXPECT_TRUE(near(across, cell1 + 274, y, kMagenta));
        EXPECT_TRUE(near(across, cell1 + 548, y, kRed));
        EXPECT_TRUE(near(across, cell1 + 823, y, kBlue));
    }

    // The end: the recalled preset (stream 1 over the top row, stream 2 in a window across
    // the bottom row) with stream 2's source gone, so its window shows the loss picture.
    demo::Picture end;
    ASSERT_TRUE(demo::readPng(dir + "/out/wall.png", end));
    EXPECT_TRUE(near(end, 137, 100, kGrey));
    EXPECT_TRUE(near(end, cell1 + 823, 100, kBlue));
    EXPECT_TRUE(near(end, 600, row1 + 200, kLoss));
    EXPECT_TRUE(near(end, cell1 + 200, row1 + 200, kLoss));
    EXPECT_TRUE(near(end, 100, row1 + 480, kBlack));
    EXPECT_TRUE(near(end, cell1 + 800, row1 + 480, kBlack));
    // Nothing is drawn into the gaps.
    for (int y : {10, 300, row1 + 300}) EXPECT_TRUE(near(end, 960 + 16, y, kBezel));
    for (int x : {10, 700, cell1 + 500}) EXPECT_TRUE(near(end, x, 540 + 9, kBezel));

    std::filesystem::remove_all(dir);
}

}  // namespace
