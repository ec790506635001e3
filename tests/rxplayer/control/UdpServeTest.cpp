// The UDP server's receive loop on the test's private loopback: datagrams up to 1024 bytes are
// commands, longer ones are dropped whole rather than cut, an empty one is ignored and a
// receive error does not end the service.
#include <netinet/ip.h>

#include <string>
#include <thread>

#include "NetTestSupport.h"
#include "VerbFixture.h"

using namespace std::chrono_literals;

namespace {

class UdpServe : public ctltest::LoopbackFixture {
protected:
    void SetUp() override {
        LoopbackFixture::SetUp();
        cmd = ctltest::boundUdp("127.0.0.1", QEL_CMD_PORT);
        ack = ctltest::boundUdp("127.0.0.1", QEL_ACK_PORT);
        client = ctltest::boundUdp("127.0.0.1", 0);
        ASSERT_TRUE(cmd >= 0 && ack >= 0 && client >= 0);
        // Lets an unreachable port reported by ICMP fail the server's next receive.
        int on = 1;
        ASSERT_EQ(setsockopt(cmd, IPPROTO_IP, IP_RECVERR, &on, sizeof on), 0);
    }
    void TearDown() override {
        loop = 0;
        if (server.joinable()) server.join();
        for (int fd : {cmd, ack, client})
            if (fd >= 0) close(fd);
        LoopbackFixture::TearDown();
    }
    void start() {
        loop = 1;
        server = std::thread([this] { udpServe(cmd, ack); });
    }
    // Sends bytes to the server; its reply, "" when none comes within wait.
    std::string ask(const std::string& bytes, std::chrono::milliseconds wait = 2s) {
        sockaddr_in to = ctltest::loopbackAddress("127.0.0.1", QEL_CMD_PORT);
        EXPECT_EQ(sendto(client, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                         sizeof to),
                  static_cast<ssize_t>(bytes.size()));
        return ctltest::readFor(client, wait, 1);
    }
    std::string name() {
        std::lock_guard<std::mutex> g(gTextLock);
        return reinterpret_cast<char*>(decoder_Name);
    }

    int cmd = -1, ack = -1, client = -1;
    std::thread server;
};

// A name command padded with c to size bytes.
std::string nameCommand(size_t size, char c) {
    std::string t = "config qel set decoder name 10.77.0.2 ";
    return t + std::string(size - t.size(), c);
}

}  // namespace

TEST_F(UdpServe, DatagramsUpTo1024BytesAreCommandsLongerOnesAreDropped) {
    start();
    EXPECT_EQ(ask(nameCommand(1024, 'n')), "config qel ack set decoder name #SUCCEED ");
    EXPECT_EQ(name(), std::string(31, 'n'));
    for (size_t size : {1025, 65507}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(ask(nameCommand(size, 'm'), 300ms), "");
        EXPECT_EQ(name(), std::string(31, 'n'));
    }
    EXPECT_EQ(ask("", 300ms), "");
    EXPECT_EQ(ask("connect"), "connected");
}

TEST_F(UdpServe, AReceiveErrorIsRetried) {
    // A datagram from the server's socket to a port nobody holds comes back as "port
    // unreachable", which fails the socket's next receive.
    sockaddr_in nobody = ctltest::loopbackAddress("127.0.0.1", 9);
    ASSERT_EQ(sendto(cmd, "x", 1, 0, reinterpret_cast<sockaddr*>(&nobody), sizeof nobody), 1);
    pollfd p{cmd, 0, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    ASSERT_TRUE(p.revents & POLLERR);
    start();
    EXPECT_EQ(ask("connect"), "connected");
    EXPECT_EQ(ask("connect"), "connected");
}
