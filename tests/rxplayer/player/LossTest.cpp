// Loss detection and the loss picture on the stand-in: which slots count as lost, which
// windows then show /mnt/logo.jpg, the stop call, and the picture's buffer.
#include <gtest/gtest.h>

#include "PlayerCalls.h"
#include "PlayerTestEnv.h"

using namespace std::chrono_literals;
using playertest::fixture;
using playertest::waitFor;

namespace {

std::string logoPath() {
    return box::path("/mnt/logo.jpg");
}

void writeLogo(size_t n) {
    std::string data(n, '\0');
    for (size_t i = 0; i < n; i++) data[i] = static_cast<char>(i * 7 + 1);
    data[0] = static_cast<char>(0xFF);
    data[1] = static_cast<char>(0xD8);
    FILE* f = fopen(logoPath().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(data.data(), 1, n, f);
    fclose(f);
}

// The lengths of the sends to channel chn since the last clearCalls.
std::vector<int> sends(int chn) {
    std::vector<int> lens;
    for (const playertest::Send& s : playertest::channelSends(chn)) lens.push_back(s.len);
    return lens;
}

class Loss : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(playertest::startFreshPlayer());
        writeLogo(kLogo);
        qelsim::clearCalls();
    }
    void TearDown() override { playertest::resetSlots(); }
    static constexpr int kLogo = 3000;
};

// A slot marked playing without a reader: the detector reads only its counters.
void markPlaying(int s, int counter, int before) {
    vsm[s]->is_Exist = 1;
    vsm[s]->FrameCounter = counter;
    vsm[s]->FrameCounterTemp = before;
}

struct LossCase {
    const char* name;
    int slot;
    int counter, before;
    std::vector<int> alsoPlaying;
    std::vector<int> hidden;  // windows hidden for the case
    bool lost;
    int picture;  // channel that gets the loss picture, -1 for none
};

void PrintTo(const LossCase& c, std::ostream* os) {
    *os << c.name;
}

class LossTable : public Loss, public ::testing::WithParamInterface<LossCase> {};

TEST_P(LossTable, StopsLostSlotsAndShowsThePictureWhenTheWindowHasNoneLeft) {
    const LossCase& c = GetParam();
    for (int w : c.hidden) sample_vo_win_s[w].u8DisplayEn = 0;
    markPlaying(c.slot, c.counter, c.before);
    for (int s : c.alsoPlaying) markPlaying(s, 500, 0);
    EXPECT_EQ(qelDetectVideoActive(), 1);
    EXPECT_EQ(vsm[c.slot]->is_Exist, c.lost ? 0 : 1);
    EXPECT_EQ(vsm[c.slot]->FrameCounterTemp, vsm[c.slot]->FrameCounter);
    for (int s : c.alsoPlaying) EXPECT_EQ(vsm[s]->is_Exist, 1) << s;
    for (int chn : {0, 1, 2, 3, 4, 17}) {
        std::vector<int> lens = sends(chn);
        if (chn == c.picture) {
            ASSERT_EQ(lens.size(), 1u) << chn;
            EXPECT_EQ(lens[0], kLogo);
            qelsim::VdecChannel v = qelsim::state().vdec[chn];
            EXPECT_EQ(v.attr.enType, PT_JPEG);
            EXPECT_EQ(v.attr.u32PicWidth, 1920u);
            EXPECT_EQ(v.attr.u32PicHeight, 1080u);
        } else {
            EXPECT_TRUE(lens.empty()) << chn;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LossTable,
    ::testing::Values(LossCase{"OnePacketIsLost", 0, 101, 100, {}, {}, true, 0},
                      LossCase{"SamePacketCountIsLost", 1, 100, 100, {}, {}, true, 1},
                      LossCase{"CounterOneBackIsLost", 2, 99, 100, {}, {}, true, 2},
                      LossCase{"TwoPacketsIsNotLost", 0, 102, 100, {}, {}, false, -1},
                      LossCase{"FreshOpenIsNotLost", 3, 0, -2, {}, {}, false, -1},
                      LossCase{"StandbyLostWhileItsPairPlays", 5, 100, 100, {0}, {}, true, -1},
                      LossCase{"StandbyLostAlone", 9, 100, 100, {}, {}, true, 4},
                      LossCase{"Slot10LostWhile17Plays", 10, 7, 7, {17}, {}, true, -1},
                      LossCase{"Slot10LostAlone", 10, 7, 7, {}, {}, true, 17},
                      LossCase{"SlotWithoutWindowGetsNoPicture", 12, 100, 100, {}, {}, true, -1},
                      LossCase{"HiddenWindowGetsNoPicture", 3, 100, 100, {}, {3}, true, -1}),
    [](const ::testing::TestParamInfo<LossCase>& i) { return std::string(i.param.name); });

TEST_F(Loss, HiddenWindow17GoesBackToASmallH264Channel) {
    sample_vo_win_s[17].u8DisplayEn = 0;
    markPlaying(17, 50, 50);
    qelDetectVideoActive();
    EXPECT_EQ(vsm[17]->is_Exist, 0);
    EXPECT_TRUE(sends(17).empty());
    qelsim::VdecChannel v = qelsim::state().vdec[17];
    EXPECT_TRUE(v.exists);
    EXPECT_EQ(v.attr.enType, PT_H264);
    EXPECT_EQ(v.attr.u32PicWidth, 176u);
    EXPECT_EQ(v.attr.u32PicHeight, 144u);
}

TEST_F(Loss, PictureOnlyForShownWindowsWithAChannelOfTheirOwn) {
    for (int w : {5, 7, 10, 16, 18, -1}) {
        EXPECT_EQ(qel_DecodeJpg(w), 0);
        EXPECT_TRUE(playertest::playerCallNames().empty()) << w;
    }
    sample_vo_win_s[3].u8DisplayEn = 0;
    qel_DecodeJpg(3);
    EXPECT_TRUE(playertest::playerCallNames().empty());
    unlink(logoPath().c_str());
    qel_DecodeJpg(1);
    EXPECT_TRUE(playertest::playerCallNames().empty());
}

TEST_F(Loss, AGrownLogoIsSentWhole) {
    qel_DecodeJpg(0);
    writeLogo(static_cast<size_t>(kLogo) * 5);
    qel_DecodeJpg(0);
    writeLogo(100);
    qel_DecodeJpg(0);
    EXPECT_EQ(sends(0), (std::vector<int>{kLogo, kLogo * 5, 100}));
    qelsim::VdecChannel v = qelsim::state().vdec[0];
    EXPECT_EQ(v.bytes, static_cast<uint64_t>(kLogo) * 6 + 100);
}

TEST_F(Loss, LostStreamIsStoppedAndTheWindowShowsThePicture) {
    // The file ends after about three seconds of sends at the decoder's pace.
    ASSERT_EQ(qelShow(0, fixture("h264.ts").c_str(), 2), 0);
    VideoState* is = vsm[0];
    ASSERT_TRUE(waitFor([&] { return is->FrameCounter > 5; }, 10s));
    // The source stops delivering: two checks apart, the counter has not moved.
    ASSERT_TRUE(waitFor(
        [&] {
            int n = is->FrameCounter;
            std::this_thread::sleep_for(300ms);
            return n == is->FrameCounter;
        },
        10s));
    qelDetectVideoActive();
    ASSERT_EQ(is->is_Exist, 1);
    qelsim::clearCalls();
    qelDetectVideoActive();
    EXPECT_EQ(is->is_Exist, 0);
    EXPECT_EQ(is->is_show, 0);
    EXPECT_EQ(is->thread_read_status, TASK_STATUS_UNINIT);
    EXPECT_EQ(sends(0), (std::vector<int>{kLogo}));
    EXPECT_EQ(qelsim::state().vdec[0].attr.enType, PT_JPEG);
}

TEST_F(Loss, StopRefusesSlotsItCannotStopAndKeepsAStalledOneMarked) {
    EXPECT_EQ(qelStop(3), 0);  // idle, not shown
    ASSERT_EQ(qelShow(1, fixture("h264.ts").c_str(), 2), 0);
    VideoState* is = vsm[1];
    ASSERT_TRUE(waitFor([&] { return is->FrameCounter > 5; }, 10s));
    // The reader blocks in the decoder: the stop times out and says so.
    qelsim::stallCall("HI_MPI_VDEC_SendStream", true);
    ASSERT_TRUE(waitFor([] { return qelsim::blockedCalls("HI_MPI_VDEC_SendStream") > 0; }, 10s));
    EXPECT_EQ(qelStop(1), -1);
    EXPECT_EQ(is->is_show, 1);
    qelsim::stallCall("HI_MPI_VDEC_SendStream", false);
    EXPECT_EQ(qelStop(1), 0);
    EXPECT_EQ(is->is_show, 0);
    EXPECT_EQ(is->thread_read_status, TASK_STATUS_UNINIT);
}

}  // namespace
