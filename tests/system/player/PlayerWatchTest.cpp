// The player's loss handling as the decoder's main loop drives it: rxplayer_playerdrive with
// --watch in one box (windows as start-up makes them: window 0 over the whole output), an
// RTSP server in another. A killed source shows the loss picture and returns with its server;
// a standby slot takes its window over without a picture in between.
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DriverClient.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kLive = std::string(QEL_PLAYER_FIXTURES) + "/live.ts";
constexpr int kLogoBytes = 7777;

Json::Value parseJson(const std::string& text) {
    Json::Value v;
    Json::Reader r;
    if (!r.parse(text, v)) return Json::Value();
    return v;
}

// One decode channel as the stand-in's snapshot shows it.
struct Vdec {
    bool exists = false;
    int type = 0, width = 0, height = 0;
    long long streams = 0, bytes = 0;
};

class PlayerWatch : public playerdrive::DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        if (!ready()) return;
        std::ofstream logo(dec->path("/mnt/logo.jpg"), std::ios::binary);
        logo << std::string(kLogoBytes, '\x5a');
        logo.close();
        startDriver({"--watch"});
    }

    Json::Value slot(int s) { return parseJson(client->request("state"))["slots"][s]; }
    Vdec vdec(int chn) {
        const Json::Value snapshot = client->snapshot();
        Vdec out;
        for (const Json::Value& c : snapshot["vdec"]) {
            if (c["chn"].asInt() != chn) continue;
            out.exists = true;
            out.type = c["type"].asInt();
            out.width = c["width"].asInt();
            out.height = c["height"].asInt();
            out.streams = c["streams"].asInt64();
            out.bytes = c["bytes"].asInt64();
        }
        return out;
    }
    std::unique_ptr<qeltest::Process> rtspServer() { return DriverTest::rtspServer(kLive); }
    // Polls until done() holds; false after limit.
    bool within(std::chrono::milliseconds limit, const std::function<bool()>& done) {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (done()) return true;
            std::this_thread::sleep_for(250ms);
        }
        return false;
    }
    std::string url() const { return rtspUrl(); }
    // "show 0" of the server's stream, which then feeds decode channel 0.
    ::testing::AssertionResult window0Plays() {
        std::vector<std::string> r = ask("show 0 " + url() + " 2");
        if (r.size() != 4 || r[2] != "0") return ::testing::AssertionFailure() << "show refused";
        if (!within(5s, [&] { return vdec(0).streams > 20; }))
            return ::testing::AssertionFailure() << drive->output().substr(0, 3000);
        return ::testing::AssertionSuccess();
    }
};

TEST_F(PlayerWatch, KilledSourceShowsTheLossPictureAndReturnsWithItsServer) {
    auto server = rtspServer();
    ASSERT_TRUE(server);
    ASSERT_TRUE(window0Plays());
    EXPECT_EQ(vdec(0).type, 96);

    server->signal(SIGKILL);
    server->waitExit(5s);
    Vdec v;
    bool picture = within(12s, [&] {
        v = vdec(0);
        return v.type == 26 && v.streams > 0 && slot(0)["exist"].asInt() == 0;
    });
    ASSERT_TRUE(picture) << "type " << v.type << " streams " << v.streams;
    EXPECT_EQ(v.width, 1920);
    EXPECT_EQ(v.height, 1080);
    // Every send is the whole picture.
    EXPECT_EQ(v.bytes, v.streams * kLogoBytes);

    server = rtspServer();
    ASSERT_TRUE(server);
    long long before = -1;
    bool back = within(15s, [&] {
        Vdec now = vdec(0);
        if (now.type != 96) return false;
        if (before >= 0 && now.streams > before) return true;
        before = now.streams;
        return false;
    });
    EXPECT_TRUE(back) << "type " << vdec(0).type;
    EXPECT_EQ(slot(0)["exist"].asInt(), 1);
}

TEST_F(PlayerWatch, StandbySlotTakesTheWindowOverAndTheOldSlotIsStopped) {
    auto server = rtspServer();
    ASSERT_TRUE(server);
    ASSERT_TRUE(window0Plays());

    EXPECT_EQ(ask("pre 0 5"), (std::vector<std::string>{"pre", "0", "5", "0"}));
    auto r = ask("show 5 " + url() + " 2");
    ASSERT_EQ(r.size(), 4u);
    ASSERT_EQ(r[2], "0");
    auto switched = Clock::now();

    // The channel keeps being fed, never showing the loss picture, while the detector stops
    // the slot that no longer feeds it.
    long long last = vdec(0).streams;
    bool stopped = false;
    while (Clock::now() - switched < 11s) {
        std::this_thread::sleep_for(500ms);
        Vdec v = vdec(0);
        EXPECT_EQ(v.type, 96);
        EXPECT_GE(v.streams, last);
        last = v.streams;
        Json::Value s0 = slot(0);
        if (s0["exist"].asInt() == 0 && s0["status"].asInt() == 0) {
            stopped = true;
            break;
        }
    }
    EXPECT_TRUE(stopped);
    long long a = vdec(0).streams;
    std::this_thread::sleep_for(1s);
    EXPECT_GT(vdec(0).streams, a + 10);
    EXPECT_EQ(vdec(0).type, 96);
    EXPECT_EQ(slot(5)["exist"].asInt(), 1);
}

TEST_F(PlayerWatch, SyncCommandsSetTheTimeBaseAndOnlyTheRecordedClock) {
    auto server = rtspServer();
    ASSERT_TRUE(server);
    ASSERT_TRUE(window0Plays());
    EXPECT_EQ(ask("clip 0 0 50 0 100 0 1"), (std::vector<std::string>{"clip", "0", "0"}));
    EXPECT_EQ(ask("syncmode 0"), (std::vector<std::string>{"syncmode", "0", "0"}));
    auto d = ask("disp 0");
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(d[1], "0");
    // Fed without time stamps, the output shows none.
    EXPECT_EQ(d[2], "0");
    // A base below the lag limit is accepted however many frames wait.
    auto r = ask("sync 0 456 200");
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[3], "1");
    std::stringstream ss;
    within(2s, [&] {
        std::ifstream g(dec->path("/sim/state.json"));
        ss.str("");
        ss << g.rdbuf();
        return parseJson(ss.str())["clock"]["sets"].asInt() == 1;
    });
    Json::Value st = parseJson(ss.str());
    EXPECT_EQ(st["clock"]["sets"].asInt(), 1);
    EXPECT_EQ(st["clock"]["sec"].asInt(), 0);
    EXPECT_EQ(st["clock"]["usec"].asInt(), 456000);
    EXPECT_EQ(st["sys"]["ptsBase"].asUInt64(), 456000ull);
    // The stamped frames reach the output: it shows their time stamps.
    EXPECT_TRUE(within(5s, [&] {
        auto w = ask("disp 0");
        return w.size() == 5 && std::stoull(w[2]) > 200000ull;
    }));
    EXPECT_GT(time(nullptr), 1600000000);
}

}  // namespace
