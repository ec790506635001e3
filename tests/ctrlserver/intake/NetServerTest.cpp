// The text port's listener in a network of its own with only loopback up.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "intake/NetServer.h"
#include "live/BasicUsageEnvironment.hh"
#include "support/Clients.h"
#include "support/NoNetwork.h"

using namespace std::chrono_literals;

namespace {

bool loopbackUp() {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return false;
    struct ifreq ifr;
    memset(&ifr, 0, sizeof ifr);
    strncpy(ifr.ifr_name, "lo", sizeof ifr.ifr_name - 1);
    bool ok = ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags |= IFF_UP;
    ok = ok && ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    close(s);
    return ok;
}

std::atomic<int> gThreadsToRefuse{0};
bool (*gRealStart)(void* (*)(void*), void*) = nullptr;

bool refusingStart(void* (*body)(void*), void* arg) {
    if (gThreadsToRefuse.fetch_sub(1) > 0) return false;
    return gRealStart(body, arg);
}

std::string takeEntry(CommandQueue& q, std::chrono::milliseconds within) {
    std::vector<unsigned char> buf(QEL_MAX_ENTRY);
    CommandQueueNode node{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
    const auto end = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < end) {
        if (q.DelNode(node) == 1)
            return std::string(reinterpret_cast<char*>(buf.data()), node.size);
        std::this_thread::sleep_for(10ms);
    }
    return "";
}

// Runs in a child process of its own: the server's threads are never stopped, and the process
// must not run its exit-time clean-up under them.
void listenerServesOnAfterFailedClientThreads() {
    bool ok = qeltest::isolateFromNetwork() && loopbackUp();
    gRealStart = NetServer::startClientThread;
    NetServer::startClientThread = refusingStart;
    gThreadsToRefuse = 2;

    TaskScheduler* scheduler = BasicTaskScheduler::createNew();
    UsageEnvironment* env = BasicUsageEnvironment::createNew(*scheduler);
    NetServer* server = NetServer::createNew(*env, Port(0), 0);

    for (int i = 0; ok && i < 2; ++i) {
        qeltest::TcpClient refused;
        ok = refused.connect("127.0.0.1", NetServer::kPort, 3s) &&
             refused.receiveUntilClosed(2s).has_value();
        if (!ok) fprintf(stderr, "client %d without a thread was not closed\n", i);
    }
    qeltest::TcpClient served;
    ok = ok && served.connect("127.0.0.1", NetServer::kPort, 3s) && served.send("config after;");
    const std::string entry = ok ? takeEntry(*server->cmdQueue(), 2s) : "";
    if (entry.find("|config after") == std::string::npos) {
        fprintf(stderr, "the next client was not served: [%s]\n", entry.c_str());
        ok = false;
    }
    if (ok) fprintf(stderr, "the port serves on\n");
    fflush(nullptr);
    _exit(ok ? 0 : 1);
}

TEST(TextPortListener, AClientWithoutAThreadIsClosedAndThePortServesOn) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(listenerServesOnAfterFailedClientThreads(), ::testing::ExitedWithCode(0),
                "the port serves on");
}

}  // namespace
