// A black-box test's side of rxplayer_playerdrive running in a box of the test network: its
// UDP commands, the snapshot of the platform stand-in in that box, and a fixture with the
// driver's box (.2) and a source box (.3) for the RTSP test server.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/Clients.h"
#include "support/TestNet.h"

namespace playerdrive {

class DriverClient {
public:
    // Commands go from a socket in box `from` to the driver in box `dec`.
    DriverClient(qeltest::Box& dec, qeltest::Box& from)
        : dec_(dec), sock_(from.run([] { return qeltest::UdpSocket(0); })) {}
    bool ok() const { return sock_.ok(); }

    // The reply to one command, "" when none came.
    std::string request(const std::string& cmd,
                        std::chrono::milliseconds wait = std::chrono::seconds(20)) {
        if (!sock_.sendTo(dec_.ip(), 9901, cmd)) return "";
        auto d = sock_.receive(wait);
        return d ? d->text : "";
    }
    // The reply's words.
    std::vector<std::string> ask(const std::string& cmd,
                                 std::chrono::milliseconds wait = std::chrono::seconds(20)) {
        std::istringstream in(request(cmd, wait));
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        return words;
    }
    // A fresh sim/state.json: asked for (the "snap" file), then read; null when unreadable.
    Json::Value snapshot() {
        std::filesystem::path snap = dec_.path("/sim/snap");
        std::ofstream(snap.string()).close();
        for (int i = 0; i < 200 && std::filesystem::exists(snap); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream f(dec_.path("/sim/state.json"));
        std::stringstream ss;
        ss << f.rdbuf();
        Json::Value v;
        if (!Json::Reader().parse(ss.str(), v)) return Json::Value();
        return v;
    }

private:
    qeltest::Box& dec_;
    qeltest::UdpSocket sock_;
};

// The driver's box "dec" (.2) and the source box "src" (.3). A test's SetUp calls this one's
// first, puts the driver's files into its box, then calls startDriver.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        QEL_REQUIRE_TEST_NETWORK();
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
        dec = &net->addBox("dec", 2);
        src = &net->addBox("src", 3);
        ASSERT_TRUE(dec->ok() && src->ok());
        std::filesystem::create_directories(dec->path("/mnt"));
    }
    // False when SetUp skipped or failed: the test's own SetUp ends there.
    bool ready() const { return !IsSkipped() && !HasFatalFailure(); }
    void startDriver(const std::vector<std::string>& args = {},
                     const std::vector<std::string>& env = {}) {
        drive = dec->start(qeltest::programPath("rxplayer_playerdrive"), args, env);
        ASSERT_TRUE(drive);
        ASSERT_TRUE(drive->waitForStdout("playerdrive ready", std::chrono::seconds(20)))
            << drive->output();
        client = std::make_unique<DriverClient>(*dec, *src);
        ASSERT_TRUE(client->ok());
    }
    void TearDown() override {
        if (drive) {
            EXPECT_EQ(drive->stop(std::chrono::seconds(15)), 0) << drive->output().substr(0, 4000);
        }
    }

    // The RTSP test server in the source box on port 8554, serving file (or, with "" and
    // "--pattern NAME" among more, a live test pattern); null on failure.
    std::unique_ptr<qeltest::Process> rtspServer(
        const std::string& file, const std::vector<std::string>& more = {},
        std::chrono::seconds ready = std::chrono::seconds(10)) {
        std::vector<std::string> args = {"--address", src->ip(), "--port", "8554"};
        if (!file.empty()) args.insert(args.end(), {"--file", file});
        args.insert(args.end(), more.begin(), more.end());
        auto p = src->start(QEL_SOURCE_DIR "/tests/support/rtsp_server.py", args);
        if (p && !p->waitForStdout("ready", ready)) ADD_FAILURE() << p->output();
        return p;
    }
    std::string rtspUrl() const { return "rtsp://" + src->ip() + ":8554/main"; }
    std::vector<std::string> ask(const std::string& cmd,
                                 std::chrono::milliseconds wait = std::chrono::seconds(20)) {
        return client->ask(cmd, wait);
    }

    std::unique_ptr<qeltest::TestNet> net;
    qeltest::Box* dec = nullptr;
    qeltest::Box* src = nullptr;
    std::unique_ptr<qeltest::Process> drive;
    std::unique_ptr<DriverClient> client;
};

}  // namespace playerdrive
