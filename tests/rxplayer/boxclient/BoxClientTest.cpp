// The remote-box client against a box stand-in on the loopback of a network of the test's own.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "boxclient/qelBoxClient.h"
#include "support/NoNetwork.h"

namespace {

bool loopbackUp() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    struct ifreq r;
    memset(&r, 0, sizeof r);
    strncpy(r.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ioctl(fd, SIOCGIFFLAGS, &r) == 0;
    r.ifr_flags |= IFF_UP;
    ok = ok && ioctl(fd, SIOCSIFFLAGS, &r) == 0;
    close(fd);
    return ok;
}

// Answers each datagram on 127.0.0.1:8888 with `answer` (nothing when empty) and keeps the last
// one it got.
class FakeBox {
public:
    explicit FakeBox(std::string answer) : answer_(std::move(answer)) {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        struct sockaddr_in a;
        memset(&a, 0, sizeof a);
        a.sin_family = AF_INET;
        a.sin_port = htons(8888);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ok_ = bind(fd_, reinterpret_cast<struct sockaddr*>(&a), sizeof a) == 0;
        struct timeval tv {
            0, 50 * 1000
        };
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        thread_ = std::thread([this] {
            while (!stop_) {
                char buf[600];
                struct sockaddr_in from;
                socklen_t len = sizeof from;
                ssize_t n = recvfrom(fd_, buf, sizeof buf, 0,
                                     reinterpret_cast<struct sockaddr*>(&from), &len);
                if (n <= 0) continue;
                text_ = std::string(buf, strnlen(buf, static_cast<size_t>(n)));
                size_ = static_cast<int>(n);
                if (!answer_.empty())
                    sendto(fd_, answer_.data(), answer_.size(), 0,
                           reinterpret_cast<struct sockaddr*>(&from), len);
            }
        });
    }
    ~FakeBox() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    bool ok() const { return ok_; }
    // Waits briefly for the datagram and returns its text.
    std::string got() {
        for (int i = 0; i < 50 && size_ == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return text_;
    }
    int size() const { return size_; }

private:
    std::string answer_;
    int fd_ = -1;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> size_{0};
    std::string text_;
    std::thread thread_;
};

class BoxClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(qeltest::isolateFromNetwork());
        ASSERT_TRUE(loopbackUp());
        ASSERT_EQ(qelInitNUL(), 0);
    }
    void TearDown() override { qelUninitNUL(); }
    int send(const char* cmd) {
        char ip[] = "127.0.0.1";
        std::string c = cmd;
        return qelSendCmdToBox(ip, &c[0]);
    }
};

}  // namespace

TEST_F(BoxClient, KnownCommandsNeedTheirAnswer) {
    const struct {
        const char* cmd;
        const char* answer;
        int rc;
    } cases[] = {
        {"connect", "connected", 0},
        {"connect", "nope", -1},
        {"connect", "", -1},  // no answer within the reply time
        {"Are you box?", "I'm box", 0},
        {"Are you box?", "I'm 9R_M4", 0},
        {"UpdateIP:10.77.0.9", "UpdateIP:OK", 0},
        {"ResetChn", "ResetChn", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cmd) + " / " + c.answer);
        FakeBox box(c.answer);
        ASSERT_TRUE(box.ok());
        EXPECT_EQ(send(c.cmd), c.rc);
        EXPECT_EQ(box.got(), c.cmd);
        EXPECT_EQ(box.size(), 128);
    }
}

TEST_F(BoxClient, OtherTextsAreSentWithoutWaiting) {
    {
        FakeBox box("");
        ASSERT_TRUE(box.ok());
        // No answer comes, and none is waited for.
        EXPECT_EQ(send("show 2 rtsp://192.0.2.5/live 2 "), 0);
        EXPECT_EQ(box.got(), "show 2 rtsp://192.0.2.5/live 2 ");
    }
    FakeBox box("");
    ASSERT_TRUE(box.ok());
    std::string longText(300, 'x');
    EXPECT_EQ(send(longText.c_str()), 0);
    EXPECT_EQ(box.got(), std::string(127, 'x'));
    EXPECT_EQ(box.size(), 128);
}

TEST_F(BoxClient, NullArgumentsReturnAtOnce) {
    char cmd[] = "connect";
    EXPECT_EQ(qelSendCmdToBox(nullptr, cmd), 0);
    char ip[] = "127.0.0.1";
    EXPECT_EQ(qelSendCmdToBox(ip, nullptr), 0);
}
