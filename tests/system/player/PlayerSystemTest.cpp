// The player driven by rxplayer_playerdrive in one box, its sources in another: RTSP from
// GStreamer's server, UDP MPEG-TS from ffmpeg, and a file; and the decoder program itself
// playing whatever SDL drivers its environment names.
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DriverClient.h"
#include "PlayerTools.h"

using namespace std::chrono_literals;

namespace {

const std::string kLive = std::string(QEL_PLAYER_FIXTURES) + "/live.ts";

std::optional<Json::Value> parse(const std::string& text) {
    Json::Value v;
    Json::Reader r;
    if (!r.parse(text, v)) return std::nullopt;
    return v;
}

class PlayerSystem : public playerdrive::DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        if (!ready()) return;
        // Windows 0..2 shown side by side.
        ASSERT_TRUE(
            playertools::writeShownWindows([&](const std::string& p) { return dec->path(p); }, 3));
        startDriver();
    }

    Json::Value state() {
        auto v = parse(client->request("state", 5s));
        return v ? *v : Json::Value();
    }
    // Frames fed to decode channel chn as the stand-in's snapshot shows them.
    long long vdecStreams(int chn) {
        const Json::Value snapshot = client->snapshot();
        for (const Json::Value& c : snapshot["vdec"])
            if (c["chn"].asInt() == chn) return c["streams"].asInt64();
        return -1;
    }
    std::unique_ptr<qeltest::Process> rtspServer(bool silent) {
        return DriverTest::rtspServer(
            kLive, silent ? std::vector<std::string>{"--silent"} : std::vector<std::string>{});
    }
};

TEST_F(PlayerSystem, RtspPlaysKeepsRetryingAfterTheServerDiesAndStopsAtOnce) {
    const int threads = state()["threads"].asInt();
    auto server = rtspServer(false);
    ASSERT_TRUE(server);
    auto r = ask("start 0 " + rtspUrl());
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[2], "0");

    // About 25 frames a second reach decode channel 0.
    std::this_thread::sleep_for(1500ms);
    long long a = vdecStreams(0);
    auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(3s);
    long long b = vdecStreams(0);
    double rate =
        (b - a) / std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GT(rate, 18) << a << " -> " << b;
    EXPECT_LT(rate, 32) << a << " -> " << b;

    server->signal(SIGKILL);
    server->waitExit(5s);
    std::this_thread::sleep_for(1s);
    Json::Value st = state();
    EXPECT_EQ(st["slots"][0]["status"].asInt(), 2);  // still reading, retrying
    EXPECT_EQ(st["slots"][0]["exist"].asInt(), 1);

    r = ask("stop 0");
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[2], "0");
    EXPECT_LT(std::stoi(r[3]), 1000);
    EXPECT_EQ(state()["threads"].asInt(), threads);

    // A new server takes the port at once and the slot plays again.
    server = rtspServer(false);
    ASSERT_TRUE(server);
    r = ask("start 0 " + rtspUrl());
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[2], "0");
}

TEST_F(PlayerSystem, SilentRtspServerGivesUpAfterThreeSeconds) {
    auto server = rtspServer(true);
    ASSERT_TRUE(server);
    auto r = ask("start 1 " + rtspUrl());
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[2], "-1");
    // The give-up is a 3 s timeout counted in whole milliseconds by the player's own clock: it
    // can read a millisecond short, and a loaded machine adds to the upper side.
    int ms = std::stoi(r[3]);
    EXPECT_GE(ms, 2900);
    EXPECT_LE(ms, 6000);
    r = ask("stop 1");
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[2], "0");
}

TEST_F(PlayerSystem, UdpMpegTsAndAFilePlay) {
    auto ffmpeg = src->start(
        "ffmpeg", {"-hide_banner", "-loglevel", "error", "-re", "-stream_loop", "-1", "-i", kLive,
                   "-c", "copy", "-f", "mpegts", "udp://" + dec->ip() + ":5004?pkt_size=1316"});
    ASSERT_TRUE(ffmpeg);
    // A loaded machine may take a while to start ffmpeg; the open's 3 s count from the start.
    std::this_thread::sleep_for(1500ms);
    auto r = ask("start 1 udp://0.0.0.0:5004");
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[2], "0") << "open took " << r[3] << " ms";
    r = ask("start 2 " + kLive);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[2], "0");

    std::this_thread::sleep_for(1500ms);
    long long a1 = vdecStreams(1), a2 = vdecStreams(2);
    std::this_thread::sleep_for(2s);
    EXPECT_GT(vdecStreams(1) - a1, 25);
    EXPECT_GT(vdecStreams(2) - a2, 25);
    Json::Value st = state();
    EXPECT_GT(st["slots"][1]["frames"].asInt(), 50);
    EXPECT_GT(st["slots"][2]["frames"].asInt(), 50);
    EXPECT_GT(st["slots"][1]["videoPts"].asUInt64(), 0u);
    ASSERT_EQ(st["use"].size(), 6u);
    EXPECT_EQ(st["use"][1].asInt(), 1);

    EXPECT_EQ(ask("pre 2 7"), (std::vector<std::string>{"pre", "2", "7", "0"}));
    EXPECT_EQ(state()["pre"][2].asInt(), 7);
    ffmpeg->stop();
}

// The decoder program itself, started as from a desktop session whose SDL drivers (x11
// without a display, alsa) it inherits: on a PC it plays on SDL's dummy drivers all the same.
class PlayerProgram : public playerdrive::DriverTest {};

TEST_F(PlayerProgram, PlaysWhateverSdlDriversItInherits) {
    auto server = rtspServer(kLive);
    ASSERT_TRUE(server);
    // Window 0 (over the whole output, as start-up makes it) plays the server's stream.
    std::string config = "1\n" + rtspUrl() + "\n";
    for (int i = 1; i < 32; i++) config += "unused_window\n";
    config += "18\n10\n";
    for (const char* name : {"/mnt/config.ini", "/mnt/config.bak"})
        std::ofstream(dec->path(name)) << config;
    auto decoder = dec->start(qeltest::programPath("rxplayer"), {},
                              {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=alsa", "DISPLAY"});
    ASSERT_TRUE(decoder);
    playerdrive::DriverClient sim(*dec, *src);
    auto fed = [&] {
        const Json::Value snapshot = sim.snapshot();
        for (const Json::Value& c : snapshot["vdec"])
            if (c["chn"].asInt() == 0) return c["streams"].asInt64();
        return Json::Int64(-1);
    };
    auto end = std::chrono::steady_clock::now() + 60s;
    while (fed() < 50 && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(200ms);
    EXPECT_GE(fed(), 50) << decoder->output().substr(0, 4000);
    EXPECT_EQ(decoder->stderrText().find("Could not initialize SDL"), std::string::npos)
        << decoder->stderrText();
    decoder->stop(std::chrono::seconds(15));
}

}  // namespace
