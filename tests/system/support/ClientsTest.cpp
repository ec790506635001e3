#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/Clients.h"

using namespace std::chrono_literals;
using qeltest::TcpClient;
using qeltest::UdpSocket;

namespace {

using Clock = std::chrono::steady_clock;

TEST(UdpSocket, RoundTripOnLoopback) {
    UdpSocket a(0, "127.0.0.1"), b(0, "127.0.0.1");
    ASSERT_TRUE(a.ok() && b.ok()) << a.error() << b.error();
    for (const char* text : {"one", "two", "three"})
        ASSERT_TRUE(a.sendTo("127.0.0.1", b.port(), text));
    auto first = b.receive();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text, "one");
    EXPECT_EQ(first->fromIp, "127.0.0.1");
    EXPECT_EQ(first->fromPort, a.port());
    auto match = b.receiveMatching("thr");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->text, "three");

    const std::string binary("\0\x01\xff", 3);
    ASSERT_TRUE(a.sendTo("127.0.0.1", b.port(), binary));
    auto rest = b.drain(100ms);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].text, binary);

    auto t0 = Clock::now();
    EXPECT_FALSE(b.receive(100ms));
    EXPECT_LT(Clock::now() - t0, 2s);
}

// The host's own network is never a target of a test's broadcast.
TEST(UdpSocket, RefusesBroadcastFromTheHostNetwork) {
    UdpSocket a(0), b(0);
    ASSERT_TRUE(a.ok() && b.ok());
    for (const char* to : {"255.255.255.255", "10.77.0.255", "127.255.255.255"}) {
        EXPECT_FALSE(a.sendTo(to, b.port(), "x")) << to;
        EXPECT_NE(a.error().find("refusing"), std::string::npos) << a.error();
    }
    EXPECT_FALSE(b.receive(100ms));
}

TEST(UdpSocket, PortInUseIsAnError) {
    UdpSocket a(0, "127.0.0.1");
    ASSERT_TRUE(a.ok());
    UdpSocket b(a.port(), "127.0.0.1");
    EXPECT_FALSE(b.ok());
    EXPECT_NE(b.error().find("bind"), std::string::npos);
}

// A one-shot loopback server: accepts one client, sends `reply`, then closes.
class OneShotServer {
public:
    explicit OneShotServer(std::string reply) : reply_(std::move(reply)) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(fd_, 1);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0) return;
            char buf[256];
            ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n > 0) received_.assign(buf, static_cast<size_t>(n));
            ssize_t ignored = send(c, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            (void)ignored;
            close(c);
        });
    }
    ~OneShotServer() {
        shutdown(fd_, SHUT_RDWR);  // wakes accept when no client came
        if (thread_.joinable()) thread_.join();
        close(fd_);
    }
    uint16_t port() const { return port_; }
    // What the client sent; waits for the server to finish.
    std::string received() {
        if (thread_.joinable()) thread_.join();
        return received_;
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    std::string reply_, received_;
    std::thread thread_;
};

TEST(TcpClient, SplitsWhatArrivesAsAsked) {
    OneShotServer server("HTTP/1.1 101\r\n\r\nABCDEFtail");
    TcpClient c;
    ASSERT_TRUE(c.connect("127.0.0.1", server.port())) << c.error();
    ASSERT_TRUE(c.send("hello"));
    EXPECT_EQ(c.receiveUntil("\r\n\r\n"), "HTTP/1.1 101\r\n\r\n");
    EXPECT_EQ(c.receiveExactly(3), "ABC");
    EXPECT_EQ(c.receiveUntilClosed(), "DEFtail");
    EXPECT_TRUE(c.peerClosed());
    EXPECT_EQ(c.receive(100ms), "");
    EXPECT_FALSE(c.receiveUntil("x", 100ms));
    EXPECT_EQ(server.received(), "hello");
}

TEST(TcpClient, GivesUpInTime) {
    // A port nobody listens on: refused, tried again until the time-out.
    UdpSocket reserve(0, "127.0.0.1");  // a free port number, not a TCP listener
    TcpClient c;
    auto t0 = Clock::now();
    EXPECT_FALSE(c.connect("127.0.0.1", reserve.port(), 200ms));
    EXPECT_GE(Clock::now() - t0, 200ms);
    EXPECT_LT(Clock::now() - t0, 2s);
    EXPECT_NE(c.error().find("refused"), std::string::npos) << c.error();

    // A server that never answers.
    OneShotServer silent("");
    ASSERT_TRUE(c.connect("127.0.0.1", silent.port()));
    t0 = Clock::now();
    EXPECT_FALSE(c.receiveUntil("x", 200ms));
    EXPECT_FALSE(c.receiveExactly(1, 100ms));
    EXPECT_LT(Clock::now() - t0, 2s);
    ASSERT_TRUE(c.send("done"));
}

}  // namespace
