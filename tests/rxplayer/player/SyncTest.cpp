// Synchronised playback on the stand-in: which windows take part, the time base and the
// recorded clock, the lag check, and the time stamps the reader then feeds.
#include <gtest/gtest.h>

#include <ctime>
#include <set>

#include "PlayerCalls.h"
#include "PlayerTestEnv.h"

using namespace std::chrono_literals;
using playertest::fixture;
using playertest::waitFor;

namespace {

constexpr int kBase = 1000000;  // milliseconds

class Sync : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(playertest::startFreshPlayer());
        qelSetSyncClose(1);
        // Window 0 shown and clipped, its first slot playing (no reader: the checks only read
        // the flag).
        ASSERT_EQ(qelClipWin(0, 0, 50, 0, 100, 0, 1), 0);
        vsm[0]->is_Exist = 1;
        qelsim::clearCalls();
        clockSetsBefore = qelsim::state().clock.sets;
    }
    void TearDown() override { playertest::resetSlots(); }

    std::string syncOut(int w, int base, int offset) {
        ::testing::internal::CaptureStdout();
        qelSetSync(w, base, offset);
        return ::testing::internal::GetCapturedStdout();
    }
    bool accepted(int s, uint32_t offset) {
        return vsm[s]->iSyncAdjust == 1 && vsm[s]->iSyncCurTimeSetOffset == offset;
    }
    bool cleared(int s) { return vsm[s]->iSyncAdjust == 0 && vsm[s]->iSyncCurTimeSetOffset == 0; }
    int clockSetsBefore = 0;
};

TEST_F(Sync, InitialModeAcceptsOnlyTheImmediateOffset) {
    vsm[0]->iSyncAdjust = 1;
    vsm[0]->iSyncCurTimeSetOffset = 40;
    syncOut(0, kBase, 100);
    EXPECT_TRUE(cleared(0));
    EXPECT_EQ(qelsim::state().clock.sets, clockSetsBefore);

    std::string out = syncOut(0, kBase + 123, 88);
    EXPECT_TRUE(accepted(0, 88));
    EXPECT_NE(out.find("use sync mode 0 "), std::string::npos) << out;
    EXPECT_EQ(vsm[0]->iSyncCurTimeSetBase, static_cast<uint32_t>(kBase + 123));
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.clock.sets, clockSetsBefore + 1);
    EXPECT_EQ(st.clock.sec, (kBase + 123) / 1000);
    EXPECT_EQ(st.clock.usec, 123000);
    EXPECT_TRUE(st.ptsBaseSet);
    EXPECT_EQ(st.ptsBase, static_cast<uint64_t>(kBase + 123) * 1000);
    // Only the record of the clock moved: the host's stays in this century.
    EXPECT_GT(time(nullptr), 1600000000);
}

TEST_F(Sync, BaseAboveTwoToThe31GivesAPositiveClockAndBase) {
    const uint32_t base = 3000000123u;
    syncOut(0, static_cast<int>(base), 88);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.clock.sec, 3000000);
    EXPECT_EQ(st.clock.usec, 123000);
    EXPECT_EQ(st.ptsBase, static_cast<uint64_t>(base) * 1000);
    EXPECT_EQ(vsm[0]->iSyncCurTimeSetBase, base);
}

struct RefuseCase {
    const char* name;
    int mode;
    int win;
    int offset;
    std::function<void()> before;
    const char* printed;  // "" for none expected
};

void PrintTo(const RefuseCase& c, std::ostream* os) {
    *os << c.name;
}

class SyncRefused : public Sync, public ::testing::WithParamInterface<RefuseCase> {};

TEST_P(SyncRefused, ClearsTheSlotAndSetsNoClock) {
    const RefuseCase& c = GetParam();
    qelSetSyncClose(c.mode);
    if (c.before) c.before();
    vsm[c.win]->iSyncAdjust = 1;
    vsm[c.win]->iSyncCurTimeSetOffset = 40;
    std::string out = syncOut(c.win, kBase, c.offset);
    EXPECT_TRUE(cleared(c.win));
    EXPECT_EQ(qelsim::state().clock.sets, clockSetsBefore);
    EXPECT_FALSE(qelsim::state().ptsBaseSet && qelsim::state().ptsBase == kBase * 1000ull);
    if (c.printed[0]) {
        EXPECT_NE(out.find(c.printed), std::string::npos) << out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SyncRefused,
    ::testing::Values(
        RefuseCase{"OtherModeRefusesTheImmediateOffset", 0, 0, 88, nullptr, "adjust 88 sync "},
        RefuseCase{"WholePictureIsNeverSynchronised", 1, 0, 88,
                   [] { qelClipWin(0, 0, 100, 0, 100, 0, 1); }, ""},
        RefuseCase{"HiddenWindow", 1, 0, 88, [] { sample_vo_win_s[0].u8DisplayEn = 0; }, ""},
        RefuseCase{"NotPlaying", 1, 0, 88, [] { vsm[0]->is_Exist = 0; }, ""},
        RefuseCase{"SecondWindowClearsBoth", 1, 0, 88,
                   [] {
                       vsm[1]->iSyncAdjust = 1;
                       vsm[1]->iSyncCurTimeSetOffset = 88;
                   },
                   "Clear 1 & 0 iSyncAdjust \n"}),
    [](const ::testing::TestParamInfo<RefuseCase>& i) { return std::string(i.param.name); });

TEST_F(Sync, SecondWindowLeavesTheFirstUnmarked) {
    vsm[1]->iSyncAdjust = 1;
    syncOut(0, kBase, 88);
    EXPECT_EQ(vsm[1]->iSyncAdjust, 0);
    EXPECT_EQ(vsm[0]->iSyncAdjust, 0);
}

TEST_F(Sync, StandbySlotNotInUseIsLeftAloneEntirely) {
    vsm[7]->is_Exist = 1;
    vsm[7]->iSyncAdjust = 1;
    vsm[7]->iSyncCurTimeSetOffset = 40;
    vsm[7]->iSkipAudioCnt = 300;
    vsm[7]->ptsDiff = 9000;
    qelsim::clearCalls();
    EXPECT_EQ(qelSetSync(7, kBase, 88), 0);
    EXPECT_TRUE(accepted(7, 40));
    EXPECT_EQ(vsm[7]->iSkipAudioCnt, 300);
    EXPECT_TRUE(playertest::playerCallNames().empty());
    EXPECT_EQ(qelSetSync(12, kBase, 88), 0);
    EXPECT_TRUE(playertest::playerCallNames().empty());
}

TEST_F(Sync, LargeAudioDriftSkipsAudioEvenWhenRefused) {
    vsm[0]->ptsDiff = 7201;
    vsm[0]->iSkipAudioCnt = 0;
    std::string out = syncOut(0, kBase, 100);
    EXPECT_EQ(vsm[0]->iSkipAudioCnt, 75);
    EXPECT_TRUE(cleared(0));
    EXPECT_NE(out.find("vsm[0]->ptsDiff: 7201 Video and Audio is not Sync, need resync\n"),
              std::string::npos)
        << out;
    vsm[0]->ptsDiff = 7200;
    vsm[0]->iSkipAudioCnt = 3;
    syncOut(0, kBase, 100);
    EXPECT_EQ(vsm[0]->iSkipAudioCnt, 3);
}

TEST_F(Sync, OffsetZeroIsAcceptedWithoutClockOrLagCheck) {
    qelSetSyncClose(0);
    qelsim::clearCalls();
    syncOut(0, kBase, 0);
    EXPECT_EQ(vsm[0]->iSyncAdjust, 1);
    EXPECT_EQ(vsm[0]->iSyncCurTimeSetOffset, 0u);
    EXPECT_EQ(vsm[0]->iSyncCurTimeSetBase, static_cast<uint32_t>(kBase));
    EXPECT_EQ(qelsim::state().clock.sets, clockSetsBefore);
    EXPECT_TRUE(playertest::playerCallNames().empty());
}

TEST_F(Sync, OffsetTwoIsStoredForTheSlotAndThePrintFlagSet) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(qelSetSyncOffset(7, 33), 0);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(vsm[7]->iSyncCurTimeSetOffset2, 33u);
    EXPECT_NE(out.find("vsm[7]->iSyncCurTimeSetOffset2 : 33  \n"), std::string::npos) << out;
    EXPECT_NE(out.find("set iPRINT_SYNC = 1 to open PRINT_SYNC "), std::string::npos) << out;
}

// ---- the lag check of the other modes ----

struct LagCase {
    const char* name;
    uint32_t waiting;  // frames received and not decoded
    uint64_t lagUs;    // time base minus the time stamp on display
    bool accepted;
    int clears;     // output buffer clears
    int clearAlls;  // of them with the clear-all flag
};

void PrintTo(const LagCase& c, std::ostream* os) {
    *os << c.name;
}

class SyncLag : public Sync, public ::testing::WithParamInterface<LagCase> {};

TEST_P(SyncLag, AcceptsOrTurnsSyncOff) {
    const LagCase& c = GetParam();
    qelSetSyncClose(0);
    // A fresh channel: nothing queued but what the case says.
    qelDrv_ReleaseImage(0);
    qelsim::setVdecLeft(0, 0, c.waiting);
    qelsim::setVoChnPts(0, 0, kBase * 1000ull - c.lagUs);
    qelsim::VoChannel before = qelsim::state().vo[0].chn[0];
    vsm[0]->iSyncCurTimeSetOffset = 0;
    std::string out = syncOut(0, kBase, 200);
    qelsim::VoChannel after = qelsim::state().vo[0].chn[0];
    EXPECT_EQ(vsm[0]->iSyncAdjust, c.accepted ? 1 : 0) << out;
    if (c.accepted) {
        EXPECT_EQ(vsm[0]->iSyncCurTimeSetOffset, 200u);
    }
    EXPECT_EQ(after.clears - before.clears, c.clears);
    EXPECT_EQ(after.clearAlls - before.clearAlls, c.clearAlls);
    EXPECT_EQ(qelsim::state().ptsBase, kBase * 1000ull);
    EXPECT_EQ(qelsim::state().clock.sets, clockSetsBefore + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SyncLag,
    ::testing::Values(LagCase{"NothingWaitingJustInTime", 0, 229999, true, 0, 0},
                      LagCase{"NothingWaitingLate", 0, 230000, true, 1, 0},
                      LagCase{"OneWaiting", 1, 100000, true, 1, 0},
                      LagCase{"TwoWaitingClearAll", 2, 100000, true, 1, 1},
                      LagCase{"ThreeWaitingTooLate", 3, 600001, false, 0, 0},
                      LagCase{"ThreeWaitingNotTooLate", 3, 600000, true, 1, 1},
                      LagCase{"TwentyOneWaiting", 21, 0, false, 0, 0},
                      LagCase{"TwentyWaiting", 20, 0, true, 1, 1}),
    [](const ::testing::TestParamInfo<LagCase>& i) { return std::string(i.param.name); });

TEST_F(Sync, DisplayAheadOfTheBaseCountsAsNoLag) {
    qelSetSyncClose(0);
    qelDrv_ReleaseImage(0);
    qelsim::setVoChnPts(0, 0, kBase * 1000ull + 5000);
    std::string out = syncOut(0, kBase, 200);
    EXPECT_TRUE(accepted(0, 200));
    EXPECT_NE(out.find("setPts < displayPts"), std::string::npos) << out;
}

// ---- what the reader feeds ----

// The time stamps of the video sends to channel 0 since the last clearCalls, in order.
std::vector<uint64_t> sentPts() {
    std::vector<uint64_t> v;
    for (const playertest::Send& s : playertest::channelSends(0)) v.push_back(s.pts);
    return v;
}

// The video packet time stamps of a file, in milliseconds.
std::set<int64_t> packetMs(const std::string& file) {
    std::set<int64_t> ms;
    AVFormatContext* ic = nullptr;
    if (avformat_open_input(&ic, file.c_str(), nullptr, nullptr) < 0) return ms;
    avformat_find_stream_info(ic, nullptr);
    int v = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacket* p = av_packet_alloc();
    while (av_read_frame(ic, p) >= 0) {
        int64_t ts = p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
        if (p->stream_index == v && ts != AV_NOPTS_VALUE)
            ms.insert(av_rescale_q(ts, ic->streams[v]->time_base, AVRational{1, 1000}));
        av_packet_unref(p);
    }
    av_packet_free(&p);
    avformat_close_input(&ic);
    return ms;
}

TEST_F(Sync, ReaderFeedsStampsWhileAcceptedAndPlainPacketsAfterARefusal) {
    const std::string file = fixture("h264.ts");
    const std::set<int64_t> stamps = packetMs(file);
    ASSERT_GT(stamps.size(), 50u);
    playertest::FifoSource live(file);
    vsm[0]->is_Exist = 0;
    live.allow(0.3);
    ASSERT_EQ(qelShow(0, live.path().c_str(), 2), 0);
    VideoState* is = vsm[0];
    ASSERT_TRUE(waitFor([&] { return is->FrameCounter > 10; }, 10s));

    qelSetSyncOffset(0, 12);
    syncOut(0, 1000, 88);
    ASSERT_TRUE(accepted(0, 88));
    qelsim::clearCalls();
    live.allow(0.6);
    ASSERT_TRUE(waitFor([&] { return sentPts().size() >= 10; }, 10s));
    std::vector<uint64_t> stamped = sentPts();
    for (uint64_t pts : stamped) {
        ASSERT_EQ(pts % 1000, 0u) << pts;
        EXPECT_EQ(stamps.count(static_cast<int64_t>(pts / 1000) - 88 - 12), 1u) << pts;
    }

    // A refused call turns the stamps off; the next packets go plain.
    syncOut(0, 1000, 100);
    ASSERT_TRUE(cleared(0));
    qelsim::clearCalls();
    live.allow(1.0);
    ASSERT_TRUE(waitFor([&] { return sentPts().size() >= 10; }, 10s));
    for (uint64_t pts : sentPts()) EXPECT_EQ(pts, 0u);
    EXPECT_GT(time(nullptr), 1600000000);
}

}  // namespace
