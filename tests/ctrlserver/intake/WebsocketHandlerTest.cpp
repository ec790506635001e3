// A connection handler over a local socket pair: reads arrive in whatever pieces the peer sends.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "intake/network_interface.h"
#include "intake/websocket_handler.h"
#include "intake/websocket_respond.h"

namespace {

struct Frame {
    int opcode;
    std::string payload;
};

class HandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        Network_Interface::set_noblock(fds[0]);
        handler = new Websocket_Handler(fds[0]);
    }
    void TearDown() override {
        delete handler;
        close(fds[0]);
        if (fds[1] >= 0) close(fds[1]);
    }

    // Hands bytes to the handler as one read and collects what it decodes. Returns false when
    // the handler asked for the connection to be dropped.
    bool feed(const std::string& bytes, std::vector<Frame>& out) {
        if (static_cast<int>(bytes.size()) > handler->readRoom()) return false;
        memcpy(handler->readPtr(), bytes.data(), bytes.size());
        handler->commit(static_cast<int>(bytes.size()));
        std::vector<char> payload(QEL_MAX_ENTRY);
        for (;;) {
            int len = 0;
            const int r = handler->processBuff(payload.data(), QEL_MAX_ENTRY, &len);
            if (r == Websocket_Handler::kNeedMore) return true;
            if (r == Websocket_Handler::kDrop) return false;
            if (r == Websocket_Handler::kHandled) continue;
            out.push_back({r, std::string(payload.data(), len)});
        }
    }

    std::string peerRead() {
        std::string got;
        char buf[4096];
        struct pollfd p = {fds[1], POLLIN, 0};
        while (poll(&p, 1, 50) > 0) {
            const ssize_t n = recv(fds[1], buf, sizeof buf, 0);
            if (n <= 0) break;
            got.append(buf, n);
        }
        return got;
    }

    static std::string clientFrame(int opcode, const std::string& payload, int fin = 1) {
        std::vector<unsigned char> out(payload.size() + 16);
        const unsigned char key[4] = {1, 2, 3, 4};
        Websocket_Respond r;
        const int n =
            r.mk_websocket_info(out.data(), static_cast<int>(out.size()), fin, opcode, 1, key,
                                reinterpret_cast<const unsigned char*>(payload.data()),
                                static_cast<int>(payload.size()));
        return std::string(reinterpret_cast<char*>(out.data()), n);
    }

    int fds[2] = {-1, -1};
    Websocket_Handler* handler = nullptr;
};

const std::string kRequest =
    "GET / HTTP/1.1\r\nHost: 10.77.0.1:9008\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";

TEST_F(HandlerTest, HandshakeSplitOverReadsThenFramesInTheSameRead) {
    std::vector<Frame> got;
    ASSERT_TRUE(feed(kRequest.substr(0, 20), got));
    EXPECT_EQ(peerRead(), "");
    // The rest of the request and two frames arrive together.
    ASSERT_TRUE(
        feed(kRequest.substr(20) + clientFrame(1, "config a") + clientFrame(1, "vw b"), got));
    const std::string answer = peerRead();
    EXPECT_EQ(answer.rfind("HTTP/1.1 101 Switching Protocols\r\n", 0), 0u);
    EXPECT_NE(answer.find("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"),
              std::string::npos);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].opcode, 0);  // the handshake
    EXPECT_EQ(got[1].payload, "config a");
    EXPECT_EQ(got[2].payload, "vw b");
}

TEST_F(HandlerTest, FrameDeliveredOneByteAtATime) {
    std::vector<Frame> got;
    ASSERT_TRUE(feed(kRequest, got));
    got.clear();
    const std::string f = clientFrame(1, std::string(200, 'z'));
    for (size_t i = 0; i < f.size(); ++i) {
        ASSERT_TRUE(feed(f.substr(i, 1), got));
        if (i + 1 < f.size()) {
            ASSERT_TRUE(got.empty()) << i;
        }
    }
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].opcode, 1);
    EXPECT_EQ(got[0].payload, std::string(200, 'z'));
}

TEST_F(HandlerTest, HugeDeclaredLengthDropsTheConnection) {
    std::vector<Frame> got;
    ASSERT_TRUE(feed(kRequest, got));
    EXPECT_FALSE(feed(std::string("\x81\xFF\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 10), got));
}

TEST_F(HandlerTest, ControlFramesAreAnsweredAndFragmentsJoined) {
    std::vector<Frame> got;
    ASSERT_TRUE(feed(kRequest, got));
    got.clear();
    peerRead();
    // A ping between the fragments of a message is answered at once; the message comes out
    // whole, after its last fragment.
    ASSERT_TRUE(feed(
        clientFrame(1, "config get ", 0) + clientFrame(9, "ping!") + clientFrame(0, "devices", 0),
        got));
    EXPECT_EQ(peerRead(), std::string("\x8A\x05ping!", 7));
    EXPECT_TRUE(got.empty());
    ASSERT_TRUE(feed(clientFrame(0, " now") + clientFrame(10, "unasked pong"), got));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].opcode, 1);
    EXPECT_EQ(got[0].payload, "config get devices now");
    EXPECT_EQ(peerRead(), "");

    // A stray continuation is nothing; a joined message past the bound is dropped whole.
    got.clear();
    ASSERT_TRUE(feed(clientFrame(0, "config stray"), got));
    const std::string half(QEL_MAX_ENTRY / 2 + 10, 'x');
    ASSERT_TRUE(feed(clientFrame(1, "config " + half, 0), got));
    ASSERT_TRUE(feed(clientFrame(0, half), got));
    ASSERT_TRUE(feed(clientFrame(1, "vw after"), got));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].payload, "vw after");

    // A close is answered with a close carrying its status code, and the connection ends.
    EXPECT_FALSE(feed(clientFrame(8, std::string("\x03\xE8") + "bye"), got));
    EXPECT_EQ(peerRead(), std::string("\x88\x02\x03\xE8", 4));
}

TEST_F(HandlerTest, RepliesWaitForTheHandshakeAndFailOnAClosedPeer) {
    EXPECT_TRUE(handler->ack("{}", 2));
    EXPECT_EQ(peerRead(), "");  // nothing may mix into the coming HTTP answer
    std::vector<Frame> got;
    ASSERT_TRUE(feed(kRequest, got));
    peerRead();
    ASSERT_TRUE(handler->ack("{\"status\":\"success\"}", 20));
    EXPECT_EQ(peerRead(), std::string("\x81\x14{\"status\":\"success\"}", 22));
    close(fds[1]);
    fds[1] = -1;
    EXPECT_FALSE(handler->ack("{}", 2));  // no SIGPIPE: the test would die here
}

TEST(WriteAll, PeerThatDoesNotReadTimesOut) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    Network_Interface::set_noblock(fds[0]);
    const std::string big(4 << 20, 'x');
    EXPECT_FALSE(writeAll(fds[0], big.data(), big.size(), 100));
    close(fds[0]);
    close(fds[1]);
}

// A retired socket is ended for the peer at once, but its number stays taken for a while.
TEST(RetireSocket, PeerSeesTheEndAndTheNumberIsNotReused) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    retireSocket(fds[0]);
    char c;
    EXPECT_EQ(recv(fds[1], &c, 1, 0), 0);
    const int next = socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_NE(next, fds[0]);
    close(next);
    close(fds[1]);
}

}  // namespace
