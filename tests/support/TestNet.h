// The private test network: one Linux network namespace per box, each with its own eth0 (a veth
// pair into the bridge br0 of a switch namespace), an address 10.77.0.N/24 with broadcast and a
// default route via eth0. Broadcasts to 255.255.255.255 sent in a box reach the other boxes of
// the same TestNet and nothing else.
//
//   TEST(Discovery, FindsDecoder) {
//       QEL_REQUIRE_TEST_NETWORK();               // skips without root or without ip netns
//       qeltest::TestNet net;
//       ASSERT_TRUE(net.ok()) << net.error();
//       qeltest::Box& ctrl = net.addBox("ctrl", 1);
//       qeltest::Box& dec = net.addBox("dec", 2);
//       auto server = ctrl.start(qeltest::programPath("ctrlserver"));
//       auto sock = dec.run([] { return qeltest::UdpSocket(8888); });   // a socket in "dec"
//       ...
//   }
//
// Names hold the test process's pid and a counter, so tests run in parallel; the destructor
// kills whatever still runs in the boxes, removes the namespaces and the box roots. Namespaces
// left by a crashed run (their owner pid is gone) are swept when a TestNet is made.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "support/Process.h"

namespace qeltest {

// Why the test network cannot be built here ("" when it can): not root, or ip netns, bridges or
// veth pairs do not work. Probed once per process.
std::string testNetworkUnavailable();

// Skips the current test, with the reason, when the test network cannot be built.
#define QEL_REQUIRE_TEST_NETWORK()                                                         \
    do {                                                                                   \
        const std::string qelWhyNot = ::qeltest::testNetworkUnavailable();                 \
        if (!qelWhyNot.empty()) GTEST_SKIP() << "test network unavailable: " << qelWhyNot; \
    } while (0)

// Moves the calling thread into a network namespace (as in /run/netns) and back when it goes
// out of scope. Sockets made inside stay in that namespace after the guard ends.
class InNamespace {
public:
    explicit InNamespace(const std::string& netns);
    ~InNamespace();
    InNamespace(const InNamespace&) = delete;
    InNamespace& operator=(const InNamespace&) = delete;
    bool ok() const { return ok_; }

private:
    int home_ = -1;
    bool ok_ = false;
};

class Box {
public:
    const std::string& name() const { return name_; }
    const std::string& netns() const { return netns_; }  // namespace name for ip -n / setns
    const std::string& ip() const { return ip_; }        // "10.77.0.N"
    int hostNumber() const { return host_; }
    const std::string& root() const { return root_; }  // fresh box root, QEL_ROOT of its programs
    bool ok() const { return ok_; }

    // Runs f on the calling thread inside this box's namespace and returns what it returns.
    // When the box cannot be entered, f is not run (it must never run in the host's network):
    // the test fails and a default value is returned.
    template <class F>
    auto run(F&& f) -> decltype(f()) {
        using R = decltype(f());
        InNamespace in(netns_);
        if (!in.ok()) {
            ADD_FAILURE() << "cannot enter box " << name_ << " (namespace " << netns_ << ")";
            if constexpr (std::is_void_v<R>) {
                return;
            } else if constexpr (std::is_default_constructible_v<R>) {
                return R{};
            } else {
                abort();
            }
        }
        return f();
    }

    // Starts a program in this box with QEL_ROOT=root() and `env` ("NAME=value" sets, a bare
    // "NAME" removes). On failure it records a test failure and returns nullptr.
    std::unique_ptr<Process> start(const std::string& program,
                                   const std::vector<std::string>& args = {},
                                   const std::vector<std::string>& env = {});

    // A path under the box root ("/mnt/x.ini" -> <root>/mnt/x.ini).
    std::string path(const std::string& boxPath) const { return root_ + boxPath; }

private:
    friend class TestNet;
    std::string name_, netns_, ip_, root_;
    int host_ = 0;
    bool ok_ = false;
};

class TestNet {
public:
    // Sweeps stale namespaces and makes the switch namespace with its bridge.
    TestNet();
    ~TestNet();
    TestNet(const TestNet&) = delete;
    TestNet& operator=(const TestNet&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }
    const std::string& tag() const { return tag_; }  // prefix of every namespace of this net
    std::string switchNetns() const { return tag_ + "-sw"; }

    // Adds box `name` (letters and digits, short) at 10.77.0.hostNumber (1-254). The reference
    // stays valid for the life of the TestNet. A failure is recorded as a test failure and
    // leaves the box with ok() false.
    Box& addBox(const std::string& name, int hostNumber);
    const std::vector<std::unique_ptr<Box>>& boxes() const { return boxes_; }

    // Removes namespaces named by this library whose owning pid no longer exists, killing what
    // still runs in them. Called by the constructor; returns how many were removed.
    static int sweepStale();

private:
    std::string tag_, error_;
    bool ok_ = false;
    std::vector<std::unique_ptr<Box>> boxes_;
};

// A test on a test network of its own with the controller's box "ctrl" at 10.77.0.1. Skipped
// (with the reason) where the test network cannot be built. A test adds what else it needs in
// SetUpBoxes, which runs only once the network and the box are there.
class TestNetFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QEL_REQUIRE_TEST_NETWORK();
        net = std::make_unique<TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
        ctrl = &net->addBox("ctrl", 1);
        ASSERT_TRUE(ctrl->ok());
        SetUpBoxes();
    }
    virtual void SetUpBoxes() {}

    std::unique_ptr<TestNet> net;
    Box* ctrl = nullptr;
};

// Runs a command without a shell, with a bounded wait; returns its exit status (as a shell
// shows it, -1 when it could not run or timed out) and its output in *output.
int runCommand(const std::vector<std::string>& argv, std::string* output = nullptr,
               std::chrono::milliseconds timeout = 10s);

// Encodes 3000 frames of the input (ffmpeg input arguments, such as {"-i", file}) through the
// video filter into an H.264 MPEG-TS file at out, with a key frame every 50 frames and no
// B-frames, as the test streams are made; returns the exit status as runCommand does.
int encodeTestStream(const std::vector<std::string>& input, const std::string& filter,
                     const std::string& out, std::string* output,
                     std::chrono::milliseconds timeout);

}  // namespace qeltest
