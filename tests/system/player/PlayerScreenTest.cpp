// The decoder's screen as a picture: rxplayer_playerdrive with software decoding on
// (QEL_SIM_DECODE=1) in one box plays the RTSP server's live colour bars (in another box) into a
// window; the stand-in's sim/screen.ppm shows the bars in that window's rectangle, cropped as
// the window says, and the background everywhere else.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "DriverClient.h"
#include "SimControl.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// The seven bars across the upper two thirds of the picture, left to right, as the colour
// channels (red, green, blue) that are lit in each: grey, yellow, cyan, green, magenta, red,
// blue.
const int kBars[7] = {0b111, 0b110, 0b011, 0b010, 0b101, 0b100, 0b001};

// The pixel shows the bar: its lit channels are bright and the others dark, whatever the
// pattern's exact levels.
bool showsBar(uint32_t rgb, int lit) {
    for (int c = 0; c < 3; ++c) {
        int level = static_cast<int>((rgb >> (16 - 8 * c)) & 0xFF);
        bool on = (lit >> (2 - c)) & 1;
        if (on ? level < 140 : level > 70) return false;
    }
    return true;
}

std::string hex(uint32_t v) {
    char buf[16];
    snprintf(buf, sizeof buf, "%06x", v);
    return buf;
}

// A binary PPM as written by the stand-in ("P6\nW H\n255\n" and the pixels).
bool readPpm(const std::string& path, qelsim::RgbPicture* pic) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    if (!(in >> magic >> pic->width >> pic->height >> max) || magic != "P6" || max != 255)
        return false;
    in.get();
    pic->rgb.resize(static_cast<size_t>(pic->width) * pic->height * 3);
    in.read(reinterpret_cast<char*>(pic->rgb.data()),
            static_cast<std::streamsize>(pic->rgb.size()));
    return static_cast<size_t>(in.gcount()) == pic->rgb.size();
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

class PlayerScreen : public playerdrive::DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        if (!ready()) return;
        server = rtspServer("", {"--pattern", "smpte"});
        ASSERT_TRUE(server);
        startDriver({}, {"QEL_SIM_DECODE=1"});
    }

    // The rectangle of output channel chn of device 0, as the stand-in holds it.
    Rect outputRect(int chn) {
        const Json::Value snap = client->snapshot();
        for (const Json::Value& c : snap["vo"][0]["chns"])
            if (c["chn"].asInt() == chn && c["enabled"].asBool())
                return Rect{c["rect"]["x"].asInt(), c["rect"]["y"].asInt(), c["rect"]["w"].asInt(),
                            c["rect"]["h"].asInt()};
        return Rect{};
    }
    // Polls screen.ppm until ok() holds for it; the last picture read.
    bool screenUntil(std::chrono::seconds limit,
                     const std::function<bool(const qelsim::RgbPicture&)>& ok,
                     qelsim::RgbPicture* pic) {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (readPpm(dec->path("/sim/screen.ppm"), pic) && ok(*pic)) return true;
            std::this_thread::sleep_for(300ms);
        }
        return false;
    }

    std::unique_ptr<qeltest::Process> server;
};

// Points across the bars' band of window r, and the bar each shows when the window shows the
// picture's columns from..to (fractions of its width); points near a bar's edge are left out.
struct Probe {
    int x, y;
    int bar;
};
std::vector<Probe> barProbes(const Rect& r, double from, double to) {
    std::vector<Probe> probes;
    for (int i = 0; i < 16; ++i) {
        double wx = (i + 0.5) / 16;
        double f = from + (to - from) * wx;
        double bars = f * 7;
        double part = bars - static_cast<int>(bars);
        if (part < 0.2 || part > 0.8) continue;
        probes.push_back(
            Probe{r.x + static_cast<int>(wx * r.w), r.y + r.h / 3, static_cast<int>(bars)});
    }
    return probes;
}

bool showsBars(const qelsim::RgbPicture& pic, const std::vector<Probe>& probes, std::string* why) {
    for (const Probe& p : probes) {
        uint32_t got = pic.pixel(p.x, p.y);
        if (!showsBar(got, kBars[p.bar])) {
            *why = "at " + std::to_string(p.x) + "," + std::to_string(p.y) + " bar " +
                   std::to_string(p.bar) + ", got " + hex(got);
            return false;
        }
    }
    return true;
}

TEST_F(PlayerScreen, TheScreenShowsTheStreamInItsWindowCroppedAndTheBackgroundElsewhere) {
    // Four windows in a 2x2 split; only window 0 is given the stream.
    std::vector<std::string> r = ask("split 4 0");
    ASSERT_EQ(r.size(), 3u);
    // A start gives up after 3 s, which the live pattern's first key frame may take on a
    // loaded machine: it is asked again.
    for (int attempt = 0; attempt < 5; attempt++) {
        r = ask("show 0 " + rtspUrl() + " 2");
        if (r.size() == 4 && r[2] == "0") break;
    }
    ASSERT_EQ(r.size(), 4u);
    ASSERT_EQ(r[2], "0") << drive->output().substr(0, 3000);
    Rect w = outputRect(0);
    ASSERT_GT(w.w, 0);
    ASSERT_LT(w.w, 1920);  // a quarter of the screen, not all of it

    qelsim::RgbPicture pic;
    std::string why;
    std::vector<Probe> whole = barProbes(w, 0, 1);
    ASSERT_GE(whole.size(), 7u);
    EXPECT_TRUE(screenUntil(
        30s, [&](const qelsim::RgbPicture& p) { return showsBars(p, whole, &why); }, &pic))
        << why << "\n"
        << drive->output().substr(0, 3000);
    ASSERT_EQ(pic.width, 1920u);
    ASSERT_EQ(pic.height, 1080u);
    // Outside window 0: the other windows (no picture) and the space beside it show the
    // background, black.
    for (auto [x, y] : {std::pair<int, int>{w.x + w.w + 200, w.y + w.h / 3},
                        {w.x + w.w / 2, w.y + w.h + 200},
                        {1900, 1070}}) {
        EXPECT_EQ(pic.pixel(x, y), 0u) << x << "," << y;
    }

    // The right half of the picture across the window.
    r = ask("clip 0 50 100 0 100 0 1");
    ASSERT_EQ(r.size(), 3u);
    ASSERT_EQ(r[2], "0");
    std::vector<Probe> right = barProbes(w, 0.5, 1);
    EXPECT_TRUE(screenUntil(
        20s, [&](const qelsim::RgbPicture& p) { return showsBars(p, right, &why); }, &pic))
        << why;
    EXPECT_EQ(pic.pixel(w.x + w.w + 200, w.y + w.h / 3), 0u);

    // Hidden, the window shows the background too.
    r = ask("clip 0 50 100 0 100 0 0");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_TRUE(screenUntil(
        20s,
        [&](const qelsim::RgbPicture& p) {
            for (const Probe& pr : right)
                if (p.pixel(pr.x, pr.y) != 0) return false;
            return true;
        },
        &pic));
}

}  // namespace
