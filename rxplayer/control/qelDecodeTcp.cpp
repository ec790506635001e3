// The TCP command server on port 8888: a subset of the device protocol and two MAC commands, for
// one client at a time; each receive is one command text and replies go back on the connection.
// A client that sends nothing for kTcpIdleSeconds is closed so that the next one is served.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "control/qelDecode.h"
#include "control/qelDecodeServer.h"

// In match order; the split and URL commands have forms of their own here.
const CommandRow kTcpCommandRows[] = {
    {"config qel set reboot", 1, Target::Ip, false, false, cmdReboot},
    {"config qel flash device led", 1, Target::Ip, false, false, cmdFlashLed},
    {"config qel show device", 1, Target::IpOrBroadcast, false, false, cmdShowDevice},
    {"config qel set device restorefactory", 1, Target::Ip, false, false, cmdRestoreFactory},
    {"config qel set connect", 1, Target::Ip, false, false, cmdSetConnect},
    {"config qel set rx display ip", 1, Target::Ip, false, false, cmdRxDisplayIp},
    {"config qel get url params", 2, Target::Ip, false, false, cmdGetUrlParams},
    {"config qel set serial send", 4, Target::Ip, false, false, cmdSerialSend},
    {"config qel set decoder params", 6, Target::Ip, false, false, cmdDecoderParams},
    {"config qel set net params", 4, Target::Mac, false, false, cmdNetParams},
    {"config qel set netandname params", 5, Target::Mac, false, false, cmdNetAndNameParams},
    {"config get mac", 0, Target::None, false, false, cmdGetMac},
    {"config set mac", 1, Target::None, false, false, cmdSetMac},
    {"config qel set splitundis params", 3, Target::Ip, true, false, cmdTcpSplitUndisParams},
    {"config qel set split params", 3, Target::Ip, true, false, cmdTcpSplitParams},
    {"config qel set url params", 3, Target::Ip, true, false, cmdTcpUrlParams, true},
    {"config qel set layer params", 3, Target::Ip, true, false, cmdLayerParams},
    {"config qel set display params", 3, Target::Ip, true, false, cmdDisplayParams},
    {"config qel set clip params", 8, Target::Ip, true, false, cmdClipParams},
    {"config qel set pos params", 8, Target::Ip, true, false, cmdPosParams},
    {"config qel set video params", 12, Target::Ip, true, false, cmdVideoParams},
};
const int kTcpCommandRowCount =
    static_cast<int>(sizeof kTcpCommandRows / sizeof kTcpCommandRows[0]);

namespace {

class TcpReplySink : public ReplySink {
public:
    explicit TcpReplySink(int fd) : fd_(fd) {}
    void reply(const char* data, size_t len, ReplyFrom) override {
        send(fd_, data, len, MSG_NOSIGNAL);
    }
    using ReplySink::reply;

private:
    int fd_;
};

int listeningSocket() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        fprintf(stderr, "socket error\n");
        exit(1);
    }
    if (!bindAnyAddress(fd, QEL_CMD_PORT)) {
        fprintf(stderr, "bind error\n");
        exit(1);
    }
    if (listen(fd, 5) != 0) {
        fprintf(stderr, "listen error\n");
        exit(1);
    }
    return fd;
}

// Serves one client until it closes, fails or stays silent for the idle limit; the server's
// own buffer, apart from the UDP server's, since both run at once.
void serveClient(int fd) {
    // A receive wakes at least twice a second so that the thread sees loop cleared.
    timeval tv{0, 500 * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    TcpReplySink sink(fd);
    char buffer[QEL_DATAGRAM_MAX + 1];
    auto heard = std::chrono::steady_clock::now();
    while (loop) {
        memset(buffer, 0, sizeof buffer);
        ssize_t n = recv(fd, buffer, QEL_DATAGRAM_MAX, 0);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                // Only one client is served at a time: a silent one would shut out every other.
                if (std::chrono::steady_clock::now() - heard >=
                    std::chrono::seconds(kTcpIdleSeconds)) {
                    printf("tcp client silent for %d s: closed\n", kTcpIdleSeconds);
                    return;
                }
                continue;
            }
            fprintf(stderr, "recvfrom error\n");
            return;
        }
        heard = std::chrono::steady_clock::now();
        if (n == 0) {
            printf("goto tcp_relisten ");
            return;
        }
        buffer[n] = 0;
        handleCommandIn(kTcpCommandRows, kTcpCommandRowCount, buffer, sink);
    }
}

}  // namespace

int tcp_thread(void*) {
    int lfd = listeningSocket();
    printf("setup tcp with port: %d!\n", QEL_CMD_PORT);
    while (loop) {
        pollfd p{lfd, POLLIN, 0};
        if (poll(&p, 1, 500) <= 0) continue;
        int fd = accept(lfd, nullptr, nullptr);
        if (fd < 0) {
            // A failed accept (a client gone before it was taken, no descriptors left) ends
            // neither the server nor the program: try again shortly.
            int e = errno;
            fprintf(stderr, "accept error\n");
            printf("accept error: %d \n", e);
            usleep(100 * 1000);
            continue;
        }
        serveClient(fd);
        close(fd);
    }
    close(lfd);
    return 0;
}
