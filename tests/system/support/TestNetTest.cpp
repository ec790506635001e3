#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/Clients.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;
using qeltest::Box;
using qeltest::TestNet;
using qeltest::UdpSocket;

namespace {

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Running and not a zombie waiting to be reaped.
bool alive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    size_t paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] != 'Z';
}

std::vector<std::string> texts(const std::vector<qeltest::Datagram>& all) {
    std::vector<std::string> out;
    for (const auto& d : all) out.push_back(d.text);
    return out;
}

TEST(TestNet, BoxRunsProgramsInItsOwnNetworkAndRoot) {
    QEL_REQUIRE_TEST_NETWORK();
    TestNet net;
    ASSERT_TRUE(net.ok()) << net.error();
    Box& box = net.addBox("dec", 7);
    ASSERT_TRUE(box.ok());
    EXPECT_EQ(box.ip(), "10.77.0.7");

    auto addr = box.start("ip", {"-4", "-o", "addr", "show", "dev", "eth0"});
    ASSERT_TRUE(addr);
    EXPECT_EQ(addr->waitExit(), 0);
    EXPECT_NE(addr->output().find("inet 10.77.0.7/24 brd 10.77.0.255"), std::string::npos)
        << addr->output();

    auto route = box.start("ip", {"route", "show", "default"});
    ASSERT_TRUE(route);
    EXPECT_EQ(route->waitExit(), 0);
    EXPECT_NE(route->output().find("default dev eth0"), std::string::npos) << route->output();

    auto env = box.start("sh", {"-c", "echo \"$QEL_ROOT $EXTRA\""}, {"EXTRA=x"});
    ASSERT_TRUE(env);
    EXPECT_EQ(env->waitExit(), 0);
    EXPECT_EQ(env->stdoutText(), box.root() + " x\n");

    EXPECT_TRUE(qeltest::inHostNetwork());
    EXPECT_FALSE(box.run([] { return qeltest::inHostNetwork(); }));
    EXPECT_TRUE(qeltest::inHostNetwork()) << "the thread did not come back";
}

// Broadcasts and unicasts sent in a box reach the other boxes of its net, never this machine's
// own network, not even its loopback.
TEST(TestNet, DatagramsStayInsideTheNet) {
    QEL_REQUIRE_TEST_NETWORK();
    UdpSocket host(0);
    ASSERT_TRUE(host.ok()) << host.error();
    const uint16_t port = host.port();  // the same port is listened to in the boxes

    TestNet net;
    ASSERT_TRUE(net.ok()) << net.error();
    Box& a = net.addBox("a", 1);
    Box& b = net.addBox("b", 2);
    Box& c = net.addBox("c", 3);
    UdpSocket sender = a.run([] { return UdpSocket(0); });
    UdpSocket atB = b.run([&] { return UdpSocket(port); });
    UdpSocket atC = c.run([&] { return UdpSocket(port); });
    ASSERT_TRUE(sender.ok() && atB.ok() && atC.ok());

    struct Case {
        const char* to;
        bool reachesB, reachesC;
    };
    for (const Case& k : {Case{"255.255.255.255", true, true}, Case{"10.77.0.255", true, true},
                          Case{"10.77.0.3", false, true}, Case{"127.0.0.1", false, false}}) {
        SCOPED_TRACE(k.to);
        const std::string text = std::string("hello to ") + k.to;
        ASSERT_TRUE(sender.sendTo(k.to, port, text)) << sender.error();
        for (auto [sock, expected] : {std::pair<UdpSocket*, bool>{&atB, k.reachesB},
                                      std::pair<UdpSocket*, bool>{&atC, k.reachesC}}) {
            auto got = sock->receive(expected ? 2s : 200ms);
            ASSERT_EQ(got.has_value(), expected);
            if (got) {
                EXPECT_EQ(got->text, text);
                EXPECT_EQ(got->fromIp, "10.77.0.1");
                EXPECT_EQ(got->fromPort, sender.port());
            }
        }
    }
    EXPECT_TRUE(host.drain(300ms).empty()) << "a datagram left the test network";
}

TEST(TestNet, TwoNetsDoNotSeeEachOther) {
    QEL_REQUIRE_TEST_NETWORK();
    TestNet first, second;
    ASSERT_TRUE(first.ok() && second.ok()) << first.error() << second.error();
    EXPECT_NE(first.tag(), second.tag());
    Box* from[2] = {&first.addBox("tx", 1), &second.addBox("tx", 1)};
    Box* to[2] = {&first.addBox("rx", 2), &second.addBox("rx", 2)};
    UdpSocket senders[2], listeners[2];
    for (int i = 0; i < 2; ++i) {
        senders[i] = from[i]->run([] { return UdpSocket(0); });
        listeners[i] = to[i]->run([] { return UdpSocket(9999); });
        ASSERT_TRUE(senders[i].ok() && listeners[i].ok());
    }
    for (int i = 0; i < 2; ++i) {
        const std::string mine = "from net " + std::to_string(i);
        ASSERT_TRUE(senders[i].sendTo("255.255.255.255", 9999, mine + " broadcast"));
        ASSERT_TRUE(senders[i].sendTo("10.77.0.2", 9999, mine + " unicast"));
        EXPECT_EQ(texts(listeners[i].drain(300ms)),
                  (std::vector<std::string>{mine + " broadcast", mine + " unicast"}));
        EXPECT_TRUE(listeners[1 - i].drain(200ms).empty());
    }
}

TEST(TestNet, TeardownKillsItsProgramsAndRemovesEverything) {
    QEL_REQUIRE_TEST_NETWORK();
    std::unique_ptr<qeltest::Process> inBox;  // outlives the net: the net must kill it itself
    std::vector<std::string> names, roots;
    pid_t detached = 0;
    {
        TestNet net;
        ASSERT_TRUE(net.ok()) << net.error();
        names.push_back(net.switchNetns());
        for (auto [name, host] : {std::pair<const char*, int>{"ctrl", 1}, {"dec", 2}}) {
            Box& box = net.addBox(name, host);
            ASSERT_TRUE(box.ok());
            names.push_back(box.netns());
            roots.push_back(box.root());
            std::ofstream(box.path("/file")) << "x";
        }
        // A program that left our process group: only the namespace still ties it to the net.
        inBox = net.boxes()[1]->start("sh", {"-c", "setsid sleep 30 & echo $!; wait"});
        ASSERT_TRUE(inBox);
        ASSERT_TRUE(inBox->waitForOutput("\n"));
        detached = static_cast<pid_t>(atol(inBox->output().c_str()));
        ASSERT_GT(detached, 0);
        ASSERT_TRUE(alive(detached));
    }
    for (const std::string& name : names) EXPECT_FALSE(exists("/run/netns/" + name)) << name;
    for (const std::string& root : roots) EXPECT_FALSE(exists(root)) << root;
    EXPECT_EQ(inBox->waitExit(2s), 128 + SIGKILL);
    for (int i = 0; i < 100 && alive(detached); ++i) usleep(10 * 1000);
    EXPECT_FALSE(alive(detached));
}

TEST(TestNet, SweepsWhatACrashedRunLeft) {
    QEL_REQUIRE_TEST_NETWORK();
    // The "crashed run" is a helper process; its namespace and box root turn stale when it dies,
    // so sweeps of tests running in parallel leave them alone until then.
    auto owner = qeltest::Process::start({"sleep", "30"});
    ASSERT_TRUE(owner);
    const std::string stale = "qel-" + std::to_string(owner->pid()) + "-0-dec";
    const std::string staleRoot = "/tmp/" + stale + "-root";
    ASSERT_EQ(qeltest::runCommand({"ip", "netns", "add", stale}), 0);
    ASSERT_EQ(mkdir(staleRoot.c_str(), 0700), 0);
    std::ofstream(staleRoot + "/file") << "x";
    auto orphan = qeltest::Process::start({"sleep", "30"}, {}, stale);
    ASSERT_TRUE(orphan);
    owner.reset();  // killed and reaped: its pid is gone

    TestNet net;
    ASSERT_TRUE(net.ok()) << net.error();
    EXPECT_FALSE(exists("/run/netns/" + stale));
    EXPECT_FALSE(exists(staleRoot));
    EXPECT_EQ(orphan->waitExit(2s), 128 + SIGKILL);
    EXPECT_TRUE(exists("/run/netns/" + net.switchNetns())) << "a live owner's net was swept";
}

}  // namespace
