#include "intake/ClientOutput.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace {

class ClientOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
        int small = 4096;
        setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        setsockopt(fds[1], SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    void TearDown() override {
        if (fds[0] >= 0) close(fds[0]);
        if (fds[1] >= 0) close(fds[1]);
    }
    // Everything the peer can read now.
    std::string readAvailable() {
        std::string got;
        char buf[65536];
        ssize_t n;
        while ((n = read(fds[1], buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
        return got;
    }
    int fds[2] = {-1, -1};
};

// The n-th reply: distinct text, so any reordering or loss shows.
std::string reply(int n) {
    return "{\"n\":" + std::to_string(n) + ",\"pad\":\"" + std::string(1000 + n % 7, 'x') + "\"}";
}

TEST_F(ClientOutputTest, RepliesTheSocketCannotTakeAreKeptAndLeaveInOrder) {
    ClientOutput out;
    std::string sent, got;
    bool kept = false;
    int n = 0;
    // Far more than the socket holds: the writer never waits, the rest is kept.
    for (; n < 400; ++n) {
        const std::string r = reply(n);
        sent += r;
        const ClientOutput::Result res = out.send(fds[0], r.data(), r.size());
        ASSERT_NE(res, ClientOutput::kFailed);
        if (res == ClientOutput::kPending) kept = true;
    }
    ASSERT_TRUE(kept);
    EXPECT_GT(out.pending(), 0u);
    // The client reads again: flushing hands the rest over in order, with more replies
    // arriving meanwhile.
    for (int rounds = 0; rounds < 100000 && (out.pending() > 0 || n < 450); ++rounds) {
        got += readAvailable();
        if (n < 450 && rounds % 3 == 0) {
            const std::string r = reply(n++);
            sent += r;
            ASSERT_NE(out.send(fds[0], r.data(), r.size()), ClientOutput::kFailed);
        }
        ASSERT_NE(out.flush(fds[0]), ClientOutput::kFailed);
    }
    got += readAvailable();
    EXPECT_EQ(out.pending(), 0u);
    EXPECT_EQ(out.flush(fds[0]), ClientOutput::kSent);
    ASSERT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent);
}

TEST_F(ClientOutputTest, AClientThatStopsReadingIsCutOffPastTheBound) {
    const size_t bound = 64 * 1024;
    ClientOutput out(bound);
    const std::string r = reply(1);
    ClientOutput::Result res = ClientOutput::kSent;
    int sends = 0;
    while (res != ClientOutput::kFailed && sends < 10000) {
        res = out.send(fds[0], r.data(), r.size());
        ++sends;
        EXPECT_LE(out.pending(), bound);
    }
    ASSERT_EQ(res, ClientOutput::kFailed);
    EXPECT_TRUE(out.overBound());
    EXPECT_EQ(out.pending(), 0u);  // what was kept is given back
    // Once cut off it stays so.
    EXPECT_EQ(out.send(fds[0], "x", 1), ClientOutput::kFailed);
    EXPECT_EQ(out.flush(fds[0]), ClientOutput::kFailed);
}

TEST_F(ClientOutputTest, AClosedPeerFailsWithoutASignal) {
    ClientOutput out;
    close(fds[1]);
    fds[1] = -1;
    const std::string r = reply(2);
    EXPECT_EQ(out.send(fds[0], r.data(), r.size()), ClientOutput::kFailed);  // no SIGPIPE
    EXPECT_FALSE(out.overBound());
}

}  // namespace
