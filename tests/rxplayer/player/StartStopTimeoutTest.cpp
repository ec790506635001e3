#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "PlayerTestEnv.h"

using namespace std::chrono_literals;
using playertest::fixture;
using playertest::waitFor;

namespace {

// A TCP server on loopback that accepts connections and never answers.
class SilentServer {
public:
    SilentServer() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 16) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
    }
    ~SilentServer() { close(fd_); }
    std::string url() const { return "rtsp://127.0.0.1:" + std::to_string(port_) + "/main"; }
    bool ok() const { return port_ != 0; }

private:
    int fd_ = -1;
    int port_ = 0;
};

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

class StartStopTimeout : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ASSERT_TRUE(playertest::startFreshPlayer());
        threadsBefore = playertest::threadCount();
    }
    void TearDown() override {
        playertest::resetSlots();
        EXPECT_TRUE(waitFor([&] { return playertest::threadCount() <= threadsBefore; }, 2s));
    }
    int threadsBefore = 0;
};

TEST_P(StartStopTimeout, StartGivesUpAfterTheLimitForTheStreamsOpen) {
    const int playing = GetParam();
    const double limit = playing <= 8 ? 3.0 : playing <= 12 ? 10.0 : 12.0;
    SilentServer server;
    ASSERT_TRUE(server.ok());
    const int slot = 11;
    for (int s = 0, marked = 0; s < QEL_SLOT_MAX && marked < playing; s++)
        if (s != slot) {
            vsm[s]->is_Exist = 1;
            marked++;
        }
    VideoState* is = vsm[slot];
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(stream_start(is, server.url().c_str(), nullptr), -1);
    double took = secondsSince(t0);
    EXPECT_NEAR(took, limit, 0.3);
    EXPECT_EQ(is->abort_request, 1);
    EXPECT_NE(is->read_tid, nullptr);

    // The reader ends on the abort request; the next stop joins it.
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(stream_stop(is), 0);
    EXPECT_LT(secondsSince(t0), 1.0);
    EXPECT_EQ(is->read_tid, nullptr);
    EXPECT_EQ(is->thread_read_status, TASK_STATUS_UNINIT);
}

INSTANTIATE_TEST_SUITE_P(StreamsOpen, StartStopTimeout, ::testing::Values(8, 9, 13));

TEST(StalledDecoder, StopTimesOutAndNoSecondReaderStartsUntilTheOldOneEnded) {
    ASSERT_TRUE(playertest::startFreshPlayer());
    const int threadsBefore = playertest::threadCount();
    playertest::FifoSource live(fixture("h264.ts"));
    live.allow(1.0);
    VideoState* is = vsm[0];
    ASSERT_EQ(stream_start(is, live.path().c_str(), nullptr), 0);
    ASSERT_TRUE(waitFor([&] { return is->FrameCounter > 3; }, 5s));
    qelsim::stallCall("HI_MPI_VDEC_SendStream", true);
    ASSERT_TRUE(waitFor([] { return qelsim::blockedCalls("HI_MPI_VDEC_SendStream") == 1; }, 5s));

    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(stream_stop(is), -1);
    EXPECT_NEAR(secondsSince(t0), 5.0, 0.5);
    EXPECT_NE(is->read_tid, nullptr);
    // The old reader still owns the record: a start refuses at once.
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(stream_start(is, fixture("h264.ts").c_str(), nullptr), -1);
    EXPECT_NEAR(secondsSince(t0), 5.0, 0.5);  // the start's own stop waited once more
    EXPECT_EQ(qelsim::blockedCalls("HI_MPI_VDEC_SendStream"), 1);

    qelsim::stallCall("HI_MPI_VDEC_SendStream", false);
    EXPECT_EQ(stream_stop(is), 0);
    EXPECT_EQ(is->read_tid, nullptr);
    EXPECT_EQ(is->is_Exist, 0);
    playertest::resetSlots();
    EXPECT_TRUE(waitFor([&] { return playertest::threadCount() <= threadsBefore; }, 2s));
}

}  // namespace
