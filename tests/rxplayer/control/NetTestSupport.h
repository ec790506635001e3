// Loopback inside the test's own network namespace, and small socket and pseudo-terminal helpers
// for the tests of the decoder's servers and serial bridge.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "VerbFixture.h"
#include "support/NoNetwork.h"

namespace ctltest {

// Moves the test into a namespace of its own and brings its loopback up (only there).
inline bool privateLoopback() {
    if (!qeltest::isolateFromNetwork()) return false;
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    ifreq r;
    memset(&r, 0, sizeof r);
    strncpy(r.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ioctl(fd, SIOCGIFFLAGS, &r) == 0;
    r.ifr_flags |= IFF_UP;
    ok = ok && ioctl(fd, SIOCSIFFLAGS, &r) == 0;
    close(fd);
    return ok;
}

inline sockaddr_in loopbackAddress(const char* ip, int port) {
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

// A datagram socket bound to ip:port (port 0: any).
inline int boundUdp(const char* ip, int port) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = loopbackAddress(ip, port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads what arrives on fd within the time-out; stops early once want bytes are in.
inline std::string readFor(int fd, std::chrono::milliseconds timeout, size_t want = 0) {
    std::string out;
    auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end && (want == 0 || out.size() < want)) {
        pollfd p{fd, POLLIN, 0};
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        end - std::chrono::steady_clock::now())
                                        .count());
        if (poll(&p, 1, left > 0 ? left : 0) <= 0) break;
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

// Waits until cond() holds, at most timeout.
template <typename F>
bool waitFor(F cond, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A box 10.77.0.2 with the MAC 02:00:00:00:00:02 and a loopback of its own.
class LoopbackFixture : public VerbFixture {
protected:
    void SetUp() override {
        VerbFixture::SetUp();
        ASSERT_TRUE(privateLoopback());
        setOwnAddress("10.77.0.2", "02:00:00:00:00:02");
        copyText(MyNetParam.Mac, 50, "02:00:00:00:00:02");
    }
};

}  // namespace ctltest
