// Decoder boxes on the test network for the black-box tests of rxplayer: a box with its MAC and
// a default route, the program started and listening, and the stand-in's state snapshot.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "DeviceOpsSupport.h"
#include "support/Clients.h"
#include "support/Process.h"
#include "support/TestNet.h"

namespace rxsys {

using namespace std::chrono_literals;

class RxSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        QEL_REQUIRE_TEST_NETWORK();
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
    }

    qeltest::Box& decoderBox(const std::string& name, int host, const std::string& mac) {
        qeltest::Box& b = net->addBox(name, host);
        EXPECT_TRUE(b.ok());
        std::string out;
        EXPECT_EQ(qeltest::runCommand(
                      {"ip", "-n", b.netns(), "link", "set", "eth0", "address", mac}, &out),
                  0)
            << out;
        EXPECT_EQ(qeltest::runCommand({"ip", "-n", b.netns(), "route", "replace", "default", "via",
                                       "10.77.0.254", "dev", "eth0"},
                                      &out),
                  0)
            << out;
        mkdir(b.path("/mnt").c_str(), 0755);
        return b;
    }

    // Starts rxplayer in the box and waits until its UDP and TCP command servers listen.
    std::unique_ptr<qeltest::Process> startDecoder(qeltest::Box& b) {
        auto p = b.start(qeltest::programPath("rxplayer"));
        EXPECT_TRUE(p);
        if (p) {
            EXPECT_TRUE(p->waitForStdout("setup udp with port: 8887!", 20s)) << p->output();
            EXPECT_TRUE(p->waitForStdout("setup tcp with port: 8888!", 5s)) << p->output();
        }
        return p;
    }

    // Asks the sim of a box for a snapshot and returns it parsed.
    Json::Value simState(qeltest::Box& b) {
        devops::writeFile(b.path("/sim/snap"), "");
        for (int i = 0; i < 40; ++i) {
            std::this_thread::sleep_for(50ms);
            struct stat st;
            if (stat(b.path("/sim/snap").c_str(), &st) != 0) break;
        }
        Json::Value v;
        Json::Reader().parse(devops::readFile(b.path("/sim/state.json")), v);
        return v;
    }

    // Output channel c of output device 0 in the snapshot (null when absent).
    Json::Value voChannel(qeltest::Box& b, int c) {
        Json::Value state = simState(b);
        for (const Json::Value& ch : state["vo"][0]["chns"])
            if (ch["chn"].asInt() == c) return ch;
        return Json::Value();
    }

    // Sends text to the decoder's command port and returns the text of its reply ("" for none).
    static std::string ask(qeltest::UdpSocket& sock, const std::string& ip,
                           const std::string& text) {
        if (!sock.sendTo(ip, 8888, text)) return "<not sent>";
        auto r = sock.receive(2s);
        return r ? r->text : "";
    }

    std::unique_ptr<qeltest::TestNet> net;
};

// A pseudo-terminal whose other end is linked at a box's /dev/ttyAMA1.
class PortInBox {
public:
    explicit PortInBox(qeltest::Box& b) {
        int slave = -1;
        char name[128];
        if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
        slave_ = name;
        close(slave);
        mkdir(b.path("/dev").c_str(), 0755);
        ok_ = symlink(slave_.c_str(), b.path("/dev/ttyAMA1").c_str()) == 0;
    }
    ~PortInBox() {
        if (master_ >= 0) close(master_);
    }
    bool ok() const { return ok_; }
    speed_t speed() const {
        termios t;
        memset(&t, 0, sizeof t);
        int fd = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return 0;
        tcgetattr(fd, &t);
        close(fd);
        return cfgetospeed(&t);
    }
    void type(const std::string& bytes) {
        if (write(master_, bytes.data(), bytes.size()) < 0) ADD_FAILURE() << "write to the port";
    }
    // What the program wrote to the port within the time-out.
    std::string written(std::chrono::milliseconds timeout, size_t want) {
        std::string out;
        auto end = std::chrono::steady_clock::now() + timeout;
        while (out.size() < want && std::chrono::steady_clock::now() < end) {
            fd_set rd;
            FD_ZERO(&rd);
            FD_SET(master_, &rd);
            timeval tv{0, 50 * 1000};
            if (select(master_ + 1, &rd, nullptr, nullptr, &tv) <= 0) continue;
            char buf[256];
            ssize_t n = read(master_, buf, sizeof buf);
            if (n > 0) out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }

private:
    int master_ = -1;
    std::string slave_;
    bool ok_ = false;
};

}  // namespace rxsys
