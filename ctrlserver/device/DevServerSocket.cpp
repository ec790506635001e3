#include "device/DevServerSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "device/DevCmdTable.h"
#include "device/DevServerText.h"
#include "live/UsageEnvironment.hh"

namespace devsock {

int openUdp(bool broadcast) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return -1;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (broadcast) setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    return fd;
}

bool bindAnyAddress(int fd, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool sendText(int fd, const char* ip, int port, const char* text, size_t len) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (!ip || inet_pton(AF_INET, ip, &a.sin_addr) != 1) return false;
    return sendto(fd, text, len, 0, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
           static_cast<ssize_t>(len);
}

bool waitReadable(int fd, int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        if (left < 0) left = 0;
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, left);
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

int receiveText(int fd, char* buf, size_t size, bool* tooLong, std::string* fromIp) {
    memset(buf, 0, size);
    if (tooLong) *tooLong = false;
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    ssize_t n =
        recvfrom(fd, buf, size - 1, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n <= 0) return 0;
    if (static_cast<size_t>(n) > size - 1) {
        if (tooLong) *tooLong = true;
        n = static_cast<ssize_t>(size - 1);
    }
    buf[n] = '\0';
    if (fromIp) {
        char text[INET_ADDRSTRLEN] = {0};
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        *fromIp = text;
    }
    return static_cast<int>(n);
}

bool awaitAck(UsageEnvironment& env, int fd, int row, std::vector<std::string>& fields) {
    char buf[devtext::kMaxDatagram + 1] = {0};
    while (waitReadable(fd, 100)) {
        bool tooLong = false;
        int n = receiveText(fd, buf, sizeof buf, &tooLong, nullptr);
        if (n <= 0) {
            env << "recv buf is NULL \n";
            return false;
        }
        env << "recv buf is: " << buf << "\n";
        if (!tooLong && parseQelDevAck(buf, n, row, fields)) return true;
    }
    return false;
}

void pauseMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace devsock
