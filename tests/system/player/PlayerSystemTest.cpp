// The player driven by rxplayer_playerdrive in one box, its sources in another: RTSP from
// GStreamer's server, UDP MPEG-TS from ffmpeg, and a file.
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "PlayerTools.h"
#include "support/Clients.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

const char* const kRtspServer = QEL_SOURCE_DIR "/tests/support/rtsp_server.py";
const std::string kLive = std::string(QEL_PLAYER_FIXTURES) + "/live.ts";

std::optional<Json::Value> parse(const std::string& text) {
    Json::Value v;
    Json::Reader r;
    if (!r.parse(text, v)) return std::nullopt;
    return v;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream f(path);
    f << text;
}

class PlayerSystem : public ::testing::Test {
protected:
    void SetUp() override {
        QEL_REQUIRE_TEST_NETWORK();
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
        dec = &net->addBox("dec", 2);
        src = &net->addBox("src", 3);
        ASSERT_TRUE(dec->ok() && src->ok());
        // Windows 0..2 shown side by side.
        std::filesystem::create_directories(dec->path("/mnt"));
        ASSERT_TRUE(
            playertools::writeShownWindows([&](const std::string& p) { return dec->path(p); }, 3));
        drive = dec->start(qeltest::programPath("rxplayer_playerdrive"));
        ASSERT_TRUE(drive);
        ASSERT_TRUE(drive->waitForStdout("playerdrive ready", 20s)) << drive->output();
        client =
            std::make_unique<qeltest::UdpSocket>(src->run([] { return qeltest::UdpSocket(0); }));
        ASSERT_TRUE(client->ok());
    }
    void TearDown() override {
        if (drive) {
            EXPECT_EQ(drive->stop(10s), 0) << drive->output();
        }
    }

    // Sends one command and returns the reply's words.
    std::vector<std::string> ask(const std::string& cmd, std::chrono::milliseconds wait = 20s) {
        if (!client->sendTo(dec->ip(), 9901, cmd)) return {};
        auto d = client->receive(wait);
        if (!d) return {};
        std::istringstream in(d->text);
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        return words;
    }
    Json::Value state() {
        client->sendTo(dec->ip(), 9901, "state");
        auto d = client->receive(5s);
        if (!d) return Json::Value();
        auto v = parse(d->text);
        return v ? *v : Json::Value();
    }
    // Frames fed to decode channel chn as the stand-in's snapshot shows them.
    long long vdecStreams(int chn) {
        writeFile(dec->path("/sim/snap"), "");
        for (int i = 0; i < 100 && std::filesystem::exists(dec->path("/sim/snap")); i++)
            std::this_thread::sleep_for(10ms);
        std::ifstream f(dec->path("/sim/state.json"));
        std::stringstream ss;
        ss << f.rdbuf();
        auto v = parse(ss.str());
        if (!v) return -1;
        for (const Json::Value& c : (*v)["vdec"])
            if (c["chn"].asInt() == chn) return c["streams"].asInt64();
        return -1;
    }
    std::unique_ptr<qeltest::Process> rtspServer(bool silent) {
        std::vector<std::string> args = {"--address", src->ip(), "--port", "8554", "--file", kLive};
        if (silent) args.push_back("--silent");
        auto p = src->start(kRtspServer, args);
        if (p && !p->waitForStdout("ready", 10s)) ADD_FAILURE() << p->output();
        return p;
    }
    std::string rtspUrl() const { return "rtsp://" + src->ip() + ":8554/main"; }

    std::unique_ptr<qeltest::TestNet> net;
    qeltest::Box* dec = nullptr;
    qeltest::Box* src = nullptr;
    std::unique_ptr<qeltest::Process> drive;
    std::unique_ptr<qeltest::UdpSocket> client;
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
    int ms = std::stoi(r[3]);
    EXPECT_GE(ms, 3000);
    EXPECT_LE(ms, 3600);
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

}  // namespace
