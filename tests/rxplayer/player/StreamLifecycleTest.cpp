#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "PlayerTestEnv.h"

using namespace std::chrono_literals;
using playertest::fixture;
using playertest::waitFor;

namespace {

// The lengths of the video sends to channel chn since the last clearCalls, in order.
std::vector<int> videoSends(int chn) {
    std::vector<int> lens;
    std::string head = "HI_MPI_VDEC_SendStream(" + std::to_string(chn) + ",len=";
    for (const std::string& c : qelsim::calls())
        if (c.compare(0, head.size(), head) == 0) lens.push_back(atoi(c.c_str() + head.size()));
    return lens;
}

class StreamLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(playertest::startFreshPlayer());
        threadsBefore = playertest::threadCount();
        qelsim::clearCalls();
    }
    void TearDown() override {
        playertest::resetSlots();
        // Every reader and its helpers have ended.
        EXPECT_TRUE(waitFor([&] { return playertest::threadCount() <= threadsBefore; }, 2s))
            << playertest::threadCount() << " threads, " << threadsBefore << " before";
    }
    int threadsBefore = 0;
};

TEST_F(StreamLifecycle, H264FilePlaysGatedAndCountedWithTheInitPacketFirst) {
    const std::string file = fixture("h264.ts");
    const int packets = playertest::videoPackets(file);
    ASSERT_GT(packets, 50);
    VideoState* is = vsm[0];
    ASSERT_EQ(stream_start(is, file.c_str(), nullptr), 0);
    EXPECT_EQ(is->thread_read_status, TASK_STATUS_RUNING);
    EXPECT_EQ(is->is_Exist, 1);
    EXPECT_EQ(is->video_width, 320);
    EXPECT_EQ(is->video_height, 240);
    EXPECT_EQ(qelsim::state().vdec[0].attr.enType, PT_H264);

    ASSERT_TRUE(waitFor([&] { return is->FrameCounter == packets; }, 15s)) << is->FrameCounter;
    std::vector<int> sends = videoSends(0);
    ASSERT_FALSE(sends.empty());
    ASSERT_GT(pktInit[0].size, 0);
    EXPECT_EQ(sends[0], pktInit[0].size);
    // The first packet is held back but counted.
    EXPECT_EQ(static_cast<int>(sends.size()), 1 + packets - 1);
    EXPECT_GT(is->videoPts, 0u);

    EXPECT_EQ(stream_stop(is), 0);
    EXPECT_EQ(is->thread_read_status, TASK_STATUS_UNINIT);
    EXPECT_EQ(is->read_tid, nullptr);
    EXPECT_EQ(is->is_Exist, 0);
    EXPECT_EQ(is->FrameCounter, 0);
    EXPECT_EQ(is->videoPts, 0u);
}

struct FailCase {
    const char* name;
    const char* file;  // under the fixtures, or a path when starting with '/'
    int slot;
    int preSlot;   // updateChannelPre for the slot's window, -1 for none
    int useAfter;  // decode_ChannelUse of the window afterwards
    int existAfter;
};

class StreamStartFails : public StreamLifecycle, public ::testing::WithParamInterface<FailCase> {};

TEST_P(StreamStartFails, StartGivesMinusOneAfterTheReaderEnded) {
    const FailCase& c = GetParam();
    std::string url = c.file[0] == '/' ? c.file : fixture(c.file);
    int index = channelIndexOf(readerDisplayIndex(c.slot));
    if (c.preSlot >= 0) updateChannelPre(index, c.preSlot);
    VideoState* is = vsm[c.slot];
    EXPECT_EQ(stream_start(is, url.c_str(), nullptr), -1);
    EXPECT_EQ(is->thread_read_status, TASK_STATUS_UNINIT);
    EXPECT_EQ(is->read_tid, nullptr);
    EXPECT_EQ(decode_ChannelUse[index], c.useAfter);
    EXPECT_EQ(is->is_Exist, c.existAfter);
    EXPECT_TRUE(videoSends(readerDisplayIndex(c.slot)).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StreamStartFails,
    ::testing::Values(FailCase{"BadUrl", "/nonexistent/stream.ts", 0, -1, 0, 0},
                      FailCase{"AudioOnly", "audioonly.ts", 1, -1, 1, 0},
                      // MPEG-4 is refused after the slot took its window over.
                      FailCase{"Mpeg4AfterTakeOver", "mpeg4.ts", 6, 6, 6, 1}),
    [](const ::testing::TestParamInfo<FailCase>& i) { return std::string(i.param.name); });

TEST_F(StreamLifecycle, AudioFirstStreamPlaysFromItsFirstOpen) {
    VideoState* is = vsm[3];
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(stream_start(is, fixture("audiofirst.ts").c_str(), nullptr), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    EXPECT_EQ(is->video_stream, 1);
    EXPECT_EQ(is->audio_stream, 0);
    EXPECT_TRUE(waitFor([&] { return is->FrameCounter > 10; }, 5s));
    EXPECT_EQ(stream_stop(is), 0);
}

TEST_F(StreamLifecycle, SlotTwelvePlaysButFeedsNothing) {
    VideoState* is = vsm[12];
    ASSERT_EQ(stream_start(is, fixture("h264.ts").c_str(), nullptr), 0);
    EXPECT_EQ(is->is_Exist, 1);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(is->FrameCounter, 0);
    for (const std::string& c : qelsim::callNames()) EXPECT_NE(c, "HI_MPI_VDEC_SendStream");
    const int initial[6] = {0, 1, 2, 3, 4, 17};
    for (int i = 0; i < 6; i++) EXPECT_EQ(decode_ChannelUse[i], initial[i]);
    EXPECT_EQ(stream_stop(is), 0);
}

TEST_F(StreamLifecycle, StandbySlotFeedsItsWindowOnlyOnceItIsInUse) {
    playertest::FifoSource live(fixture("h264.ts"));
    live.allow(0.4);
    VideoState* is = vsm[7];
    ASSERT_EQ(stream_start(is, live.path().c_str(), nullptr), 0);
    // Its open copied entry 2 of the standby table (still 2) into the table in use.
    EXPECT_EQ(decode_ChannelUse[2], 2);
    std::this_thread::sleep_for(300ms);
    std::vector<int> before = videoSends(2);
    ASSERT_EQ(before.size(), 1u);  // the init packet of the open
    EXPECT_EQ(is->FrameCounter, 0);

    decode_ChannelUse[2] = 7;
    live.allow(1.0);
    EXPECT_TRUE(waitFor([&] { return is->FrameCounter > 20; }, 10s)) << is->FrameCounter;
    EXPECT_GT(videoSends(2).size(), 20u);
    EXPECT_EQ(stream_stop(is), 0);
}

TEST_F(StreamLifecycle, StandbySlotTakesTheWindowItWasNamedFor) {
    // Window 17's standby slot takes the window over at its open, with slot 17 still routed.
    updateChannelPre(5, 10);
    VideoState* is = vsm[10];
    ASSERT_EQ(stream_start(is, fixture("h264.ts").c_str(), nullptr), 0);
    EXPECT_EQ(decode_ChannelUse[5], 10);
    EXPECT_TRUE(waitFor([&] { return is->FrameCounter > 20; }, 10s)) << is->FrameCounter;
    EXPECT_FALSE(videoSends(17).empty());
    EXPECT_EQ(stream_stop(is), 0);
}

TEST_F(StreamLifecycle, ReaderGivenUpBeforeItsOpenEndedDoesNotTakeItsWindowOver) {
    // Window 1 is to go to its standby slot 6. The reader has probed the stream and adapts the
    // window to its size when the start gives up on it (as after a slow open): held there, it
    // finds its abort request set at the take-over.
    updateChannelPre(1, 6);
    pktInit[1].size = 7;
    qelsim::stallCall("HI_MPI_VPSS_SetClipCfg", true);
    VideoState* is = vsm[6];
    int rc = 0;
    std::thread start([&] { rc = stream_start(is, fixture("h264.ts").c_str(), nullptr); });
    bool held = waitFor([] { return qelsim::blockedCalls("HI_MPI_VPSS_SetClipCfg") > 0; }, 10s);
    handle_now = 1;
    start.join();
    qelsim::stallCall("HI_MPI_VPSS_SetClipCfg", false);
    ASSERT_TRUE(held);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(stream_stop(is), 0);
    EXPECT_EQ(decode_ChannelUse[1], 1);
    EXPECT_EQ(pktInit[1].size, 7);
    EXPECT_TRUE(videoSends(1).empty());
}

TEST_F(StreamLifecycle, StoppingAnIdleSlotChangesNothingAndRestartStopsTheOldStreamFirst) {
    VideoState* is = vsm[4];
    is->FrameCounter = 5;
    EXPECT_EQ(stream_stop(is), 0);
    EXPECT_EQ(is->FrameCounter, 5);
    is->FrameCounter = 0;

    // Threads are told apart by their kernel ids: a new reader's handle may sit at the
    // address the old one's was freed from.
    const std::set<int> idle = playertest::threadIds();
    ASSERT_EQ(stream_start(is, fixture("audiofirst.ts").c_str(), nullptr), 0);
    std::set<int> firstReader;
    for (int id : playertest::threadIds())
        if (!idle.count(id)) firstReader.insert(id);
    ASSERT_FALSE(firstReader.empty());
    ASSERT_EQ(stream_start(is, fixture("h264.ts").c_str(), nullptr), 0);
    EXPECT_NE(is->read_tid, nullptr);
    const std::set<int> restarted = playertest::threadIds();
    bool newThread = false;
    for (int id : restarted) newThread = newThread || (!idle.count(id) && !firstReader.count(id));
    EXPECT_TRUE(newThread) << "no new reader";
    for (int id : firstReader) EXPECT_EQ(restarted.count(id), 0u) << "thread " << id << " lives on";
    EXPECT_STREQ(is->filename, fixture("h264.ts").c_str());
    EXPECT_EQ(stream_stop(is), 0);
}

}  // namespace

namespace {

TEST(InitPacket, ParameterSetsAreCopiedWholeOrNotAtAll) {
    ASSERT_TRUE(playertest::startFreshPlayer());
    AVFormatContext* ic = avformat_alloc_context();
    AVStream* st = avformat_new_stream(ic, nullptr);
    for (int size : {33, 128, 129, 0}) {
        av_freep(&st->codecpar->extradata);
        st->codecpar->extradata_size = 0;
        if (size > 0) {
            st->codecpar->extradata =
                static_cast<uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
            memset(st->codecpar->extradata, 0x42, size);
            st->codecpar->extradata_size = size;
        }
        pktInit[3].size = 7;
        storeInitPacket(st, 3);
        EXPECT_EQ(pktInit[3].size, size <= 128 ? size : 0) << size;
        if (size > 0 && size <= 128) {
            EXPECT_EQ(pktInit[3].data[size - 1], 0x42);
        }
    }
    pktInit[3].size = 0;
    avformat_free_context(ic);
}

}  // namespace
