// The window and split calls on the stand-in: starting streams in windows, the start counter,
// split layouts with their files, and the calls that change one window record.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "PlayerCalls.h"
#include "PlayerTestEnv.h"

using namespace std::chrono_literals;
using playertest::fixture;

namespace {

std::string powerFile() {
    return box::path("/mnt/power.ini");
}

// The counter file's number, or -1 when it is missing.
int readPower() {
    FILE* f = fopen(powerFile().c_str(), "r");
    if (!f) return -1;
    int n = -1;
    if (fscanf(f, "%d", &n) != 1) n = -2;
    fclose(f);
    return n;
}

std::vector<std::string> fileLines(int w) {
    char name[64];
    snprintf(name, sizeof name, "/mnt/winpara_%02d.ini", w);
    std::ifstream in(box::path(name));
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// The twelve lines the record of window w gives its file.
std::vector<std::string> recordLines(int w) {
    const SAMPLE_VOWIN_S& r = sample_vo_win_s[w];
    std::string url = r.url[0] ? std::string(r.url, strnlen(r.url, sizeof r.url)) : "unused_window";
    std::vector<std::string> v = {url, "unused_window"};
    for (unsigned x :
         {r.u32xPosStart % 1921, r.u32xPosStop % 1921, r.u32yPosStart % 1081, r.u32yPosStop % 1081})
        v.push_back(std::to_string(x));
    for (int x : {r.u8xClipStart % 101, r.u8xClipStop % 101, r.u8yClipStart % 101,
                  r.u8yClipStop % 101, r.u8VideoOrPip & 1, r.u8DisplayEn & 1})
        v.push_back(std::to_string(x));
    return v;
}

struct Rect {
    unsigned xs, xe, ys, ye;
};

Rect rectOf(int w) {
    const SAMPLE_VOWIN_S& r = sample_vo_win_s[w];
    return {r.u32xPosStart, r.u32xPosStop, r.u32yPosStart, r.u32yPosStop};
}

bool sameRect(const Rect& a, const Rect& b) {
    return a.xs == b.xs && a.xe == b.xe && a.ys == b.ys && a.ye == b.ye;
}

class WindowApi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(playertest::startFreshPlayer());
        qelsim::clearCalls();
    }
    void TearDown() override { playertest::resetSlots(); }
};

// ---- qelShow ----

struct ShowCase {
    const char* name;
    int win;
    const char* file;  // under the fixtures, or a path when starting with '/'
    std::function<void()> before;
    int powerBefore;  // -1: no counter file
    int rc;
    int powerAfter;  // -1: no counter file
    int useIndex;    // decode_ChannelUse entry to check afterwards, -1 for none
    int useAfter;
};

void PrintTo(const ShowCase& c, std::ostream* os) {
    *os << c.name;
}

class ShowTable : public WindowApi, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(ShowTable, StartsOrRefusesAndCountsStarts) {
    const ShowCase& c = GetParam();
    if (c.powerBefore < 0)
        unlink(powerFile().c_str());
    else
        playertest::writeFile(powerFile(), std::to_string(c.powerBefore) + "\n");
    if (c.before) c.before();
    std::string url = c.file[0] == '/' ? c.file : fixture(c.file);
    EXPECT_EQ(qelShow(c.win, url.c_str(), 2), c.rc);
    EXPECT_EQ(readPower(), c.powerAfter);
    VideoState* is = vsm[c.win];
    if (c.rc == 0) {
        EXPECT_EQ(is->thread_read_status, TASK_STATUS_RUNING);
        EXPECT_EQ(is->is_show, 1);
        // The stream's parameter sets are the slot's init packet.
        EXPECT_GT(pktInit[c.win].size, 0);
        EXPECT_EQ(qelStop(c.win), 0);
        EXPECT_EQ(is->is_show, 0);
        EXPECT_EQ(is->thread_read_status, TASK_STATUS_UNINIT);
    } else {
        EXPECT_EQ(is->thread_read_status, TASK_STATUS_UNINIT);
        EXPECT_EQ(is->is_show, 0);
    }
    if (c.useIndex >= 0) {
        EXPECT_EQ(decode_ChannelUse[c.useIndex], c.useAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShowTable,
    ::testing::Values(ShowCase{"Window12IsRefusedWhileWindow0IsHidden", 12, "h264.ts",
                               [] { sample_vo_win_s[0].u8DisplayEn = 0; }, 7000, -1, 7000, -1, 0},
                      ShowCase{"RefusedWhileAnotherSlotIsFullScreen", 0, "h264.ts",
                               [] { vsm[3]->is_full_screen = 1; }, 7000, -1, 7000, -1, 0},
                      ShowCase{"GoesOnWhenItselfIsFullScreen", 0, "h264.ts",
                               [] { vsm[0]->is_full_screen = 1; }, 7000, 0, 7004, -1, 0},
                      ShowCase{"CounterAdvancesByFour", 1, "h264.ts", nullptr, 7992, 0, 7996, -1,
                               0},
                      ShowCase{"CounterWrapsAt8000", 2, "h264.ts", nullptr, 7996, 0, 5000, -1, 0},
                      ShowCase{"MissingCounterIsNotMade", 3, "h264.ts", nullptr, -1, 0, -1, -1, 0},
                      // The window goes to the slot that was to take it over.
                      ShowCase{"FailedStartHandsTheWindowToPre", 6, "/nonexistent/a.ts",
                               [] { updateChannelPre(1, 6); }, 7000, -1, 7000, 1, 6},
                      ShowCase{"FailedStartOfWindow10HandsWindow17ToPre", 10, "/nonexistent/a.ts",
                               [] { updateChannelPre(5, 10); }, 7000, -1, 7000, 5, 10}),
    [](const ::testing::TestParamInfo<ShowCase>& i) { return std::string(i.param.name); });

// The video parameter sets of a file as the reader's probe finds them.
std::string extradataOf(const std::string& file) {
    AVFormatContext* ic = nullptr;
    if (avformat_open_input(&ic, file.c_str(), nullptr, nullptr) < 0) return "";
    avformat_find_stream_info(ic, nullptr);
    std::string data;
    int v = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (v >= 0) {
        const AVCodecParameters* par = ic->streams[v]->codecpar;
        data.assign(reinterpret_cast<const char*>(par->extradata), par->extradata_size);
    }
    avformat_close_input(&ic);
    return data;
}

TEST_F(WindowApi, InitPacketHoldsTheParameterSetsWholeOrNothing) {
    // Parameter sets that fit are the window's init packet byte for byte; larger ones (custom
    // scaling matrices make a 290-byte set) leave it empty rather than cut to its 128 bytes.
    const std::string small = extradataOf(fixture("h264.ts"));
    ASSERT_GT(small.size(), 0u);
    ASSERT_LE(small.size(), static_cast<size_t>(QEL_INIT_PKT_SIZE));
    ASSERT_GT(extradataOf(fixture("bigsps.ts")).size(), static_cast<size_t>(QEL_INIT_PKT_SIZE));
    for (int w : {0, 17}) {
        ASSERT_EQ(qelShow(w, fixture("h264.ts").c_str(), 2), 0) << w;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(pktInit[w].data), pktInit[w].size),
                  small)
            << w;
        ASSERT_EQ(qelShow(w, fixture("bigsps.ts").c_str(), 2), 0) << w;
        EXPECT_EQ(pktInit[w].size, 0) << w;
        EXPECT_EQ(qelStop(w), 0) << w;
    }
}

TEST_F(WindowApi, CallsRefuseWindowsOutsideTheTable) {
    std::vector<std::string> before = fileLines(0);
    for (int w : {-1, 18, 1000}) {
        EXPECT_EQ(qelShow(w, fixture("h264.ts").c_str(), 2), -1) << w;
        EXPECT_EQ(qelStop(w), -1) << w;
        EXPECT_EQ(qelFullWinToScreen(w, 1), -1) << w;
        EXPECT_EQ(qelClipWin(w, 0, 50, 0, 50, 0, 1), -1) << w;
        EXPECT_EQ(qelPosWin(w, 0, 100, 0, 100, 0, 1), -1) << w;
        EXPECT_EQ(qelVideoWin(w, 0, 100, 0, 100, 0, 50, 0, 50, 0, 1), -1) << w;
        EXPECT_EQ(qelLayerWin(w, 1), -1) << w;
        EXPECT_EQ(qelDisplayWin(w, 0), -1) << w;
        EXPECT_EQ(qel_SuspendChn(w, 0), 0) << w;
        EXPECT_EQ(qelSetSync(w, 1000, 88), -1) << w;
        EXPECT_EQ(qelSetSyncOffset(w, 5), -1) << w;
    }
    EXPECT_TRUE(playertest::playerCallNames().empty());
    EXPECT_EQ(fileLines(0), before);
}

TEST_F(WindowApi, FullScreenMarksOnlyItsSlotAndDetectReportsTheLastMarked) {
    vsm[4]->is_show = 1;
    EXPECT_EQ(qelFullWinToScreen(2, 1), 0);
    EXPECT_EQ(vsm[2]->is_full_screen, 1);
    EXPECT_EQ(vsm[4]->is_show, 0);
    int full = -1, win = -1;
    EXPECT_EQ(qelDetectFullScreen(&full, &win), 18);
    EXPECT_EQ(full, 1);
    EXPECT_EQ(win, 2);
    vsm[9]->is_full_screen = 1;
    qelDetectFullScreen(&full, &win);
    EXPECT_EQ(win, 9);
    EXPECT_EQ(qelFullWinToScreen(2, 0), 0);
    vsm[9]->is_full_screen = 0;
    qelDetectFullScreen(&full, &win);
    EXPECT_EQ(full, 0);
    EXPECT_EQ(win, 0);
}

// ---- splits ----

struct SplitCase {
    int split;
    std::vector<Rect> shown;  // windows 0.. in order
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << "split " << c.split;
}

class SplitTable : public WindowApi, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(SplitTable, LaysOutShownWindowsParksTheRestAndWritesEveryFile) {
    const SplitCase& c = GetParam();
    for (int w = 0; w < 18; w++) {
        char name[64];
        snprintf(name, sizeof name, "/mnt/winpara_%02d.ini", w);
        unlink(box::path(name).c_str());
        sample_vo_win_s[w].u8xClipStart = 10;  // every clip goes back to the whole picture
    }
    EXPECT_EQ(qelSetSplitPara(c.split, 0), 0);
    for (int w = 0; w < 18; w++) {
        const SAMPLE_VOWIN_S& r = sample_vo_win_s[w];
        bool in = w < c.split;
        EXPECT_EQ(r.u8DisplayEn, in ? 1 : 0) << w;
        EXPECT_EQ(r.u8xClipStart, 0) << w;
        EXPECT_EQ(r.u8xClipStop, 100) << w;
        EXPECT_EQ(r.u8yClipStart, 0) << w;
        EXPECT_EQ(r.u8yClipStop, 100) << w;
        Rect want =
            in       ? c.shown[w]
            : w < 16 ? Rect{(w % 4u) * 480, (w % 4u + 1) * 480, (w / 4u) * 270, (w / 4u + 1) * 270}
                     : Rect{0, 480, 0, 270};
        EXPECT_TRUE(sameRect(rectOf(w), want))
            << w << ": " << r.u32xPosStart << ".." << r.u32xPosStop << " x " << r.u32yPosStart
            << ".." << r.u32yPosStop;
        EXPECT_EQ(fileLines(w), recordLines(w)) << w;
    }
    EXPECT_EQ(qelCheckWhetherNeedSetSplit(c.split, c.split), 0);
    sample_vo_win_s[c.split - 1].u32yPosStop += 8;
    EXPECT_EQ(qelCheckWhetherNeedSetSplit(c.split, c.split), 1);
}

std::vector<Rect> grid16() {
    std::vector<Rect> v;
    for (unsigned i = 0; i < 16; i++)
        v.push_back({(i % 4) * 480, (i % 4 + 1) * 480, (i / 4) * 270, (i / 4 + 1) * 270});
    return v;
}

INSTANTIATE_TEST_SUITE_P(Splits, SplitTable,
                         ::testing::Values(SplitCase{4,
                                                     {{0, 959, 0, 535},
                                                      {960, 1919, 0, 535},
                                                      {0, 959, 536, 1079},
                                                      {960, 1919, 536, 1079}}},
                                           SplitCase{5,
                                                     {{0, 1919, 0, 807},
                                                      {0, 479, 808, 1079},
                                                      {480, 959, 808, 1079},
                                                      {960, 1439, 808, 1079},
                                                      {1440, 1919, 808, 1079}}},
                                           SplitCase{16, grid16()}),
                         [](const ::testing::TestParamInfo<SplitCase>& i) {
                             return "Split" + std::to_string(i.param.split);
                         });

TEST_F(WindowApi, CheckWhetherNeedSetSplit) {
    qelSetSplitPara(1, 0);
    EXPECT_EQ(qelCheckWhetherNeedSetSplit(1, 1), 0);
    EXPECT_EQ(qelCheckWhetherNeedSetSplit(1, 4), 1);
    // Split 1 also needs window 0 shown.
    sample_vo_win_s[0].u8DisplayEn = 0;
    EXPECT_EQ(qelCheckWhetherNeedSetSplit(1, 1), 1);
    // A value that is no layout compares nothing.
    EXPECT_EQ(qelCheckWhetherNeedSetSplit(3, 3), 0);
    EXPECT_EQ(qelCheckWhetherNeedSetSplit(0, 0), 0);
    EXPECT_EQ(qelCheckWhetherNeedSetSplit(40, 40), 0);
}

// ---- one window record ----

TEST_F(WindowApi, ClipWithTheStoredValuesMakesNoPlatformCallButRewritesTheFile) {
    EXPECT_EQ(qelClipWin(1, 10, 60, 20, 70, 0, 1), 0);
    EXPECT_FALSE(playertest::playerCallNames().empty());
    EXPECT_EQ(sample_vo_win_s[1].u8xClipStop, 60);
    EXPECT_EQ(fileLines(1), recordLines(1));
    unlink(box::path("/mnt/winpara_01.ini").c_str());
    qelsim::clearCalls();
    EXPECT_EQ(qelClipWin(1, 10, 60, 20, 70, 0, 1), 0);
    EXPECT_TRUE(playertest::playerCallNames().empty());
    EXPECT_EQ(fileLines(1), recordLines(1));
}

TEST_F(WindowApi, ValuesAreStoredAsTheirLowEightBits) {
    EXPECT_EQ(qelClipWin(1, 256 + 10, 256 + 60, 20, 70, 256, 257), 0);
    const SAMPLE_VOWIN_S& r = sample_vo_win_s[1];
    EXPECT_EQ(r.u8xClipStart, 10);
    EXPECT_EQ(r.u8xClipStop, 60);
    EXPECT_EQ(r.u8VideoOrPip, 0);
    EXPECT_EQ(r.u8DisplayEn, 1);
}

TEST_F(WindowApi, LayerAndDisplayApplyThroughTheirFamilyOnce) {
    const Rect before = rectOf(3);
    EXPECT_EQ(qelLayerWin(3, 1), 0);
    EXPECT_EQ(sample_vo_win_s[3].u8VideoOrPip, 1);
    EXPECT_TRUE(sameRect(rectOf(3), before));
    EXPECT_EQ(fileLines(3), recordLines(3));
    qelsim::clearCalls();
    EXPECT_EQ(qelLayerWin(3, 1), 0);
    EXPECT_TRUE(playertest::playerCallNames().empty());

    // Window 17 clears its output buffer before the change and again in the video call.
    int clears = qelsim::state().vo[0].chn[17].clearAlls;
    EXPECT_EQ(qelDisplayWin(17, 0), 0);
    EXPECT_EQ(sample_vo_win_s[17].u8DisplayEn, 0);
    EXPECT_EQ(qelsim::state().vo[0].chn[17].clearAlls, clears + 2);
    EXPECT_EQ(fileLines(17), recordLines(17));
    EXPECT_EQ(qelDisplayWin(17, 0), 0);
    EXPECT_EQ(qelsim::state().vo[0].chn[17].clearAlls, clears + 2);
}

TEST_F(WindowApi, PositionAndVideoChangeRectangles) {
    EXPECT_EQ(qelPosWin(2, 0, 480, 540, 810, 0, 1), 0);
    EXPECT_TRUE(sameRect(rectOf(2), Rect{0, 480, 540, 810}));
    EXPECT_EQ(qelsim::state().vo[0].chn[2].attr.stRect.u32Width, 480u);
    EXPECT_EQ(qelVideoWin(2, 0, 960, 540, 1080, 0, 50, 0, 50, 0, 1), 0);
    EXPECT_TRUE(sameRect(rectOf(2), Rect{0, 960, 540, 1080}));
    EXPECT_EQ(sample_vo_win_s[2].u8xClipStop, 50);
    EXPECT_TRUE(qelsim::state().vpss[2].clip.bEnable);
    EXPECT_EQ(fileLines(2), recordLines(2));
}

TEST_F(WindowApi, SuspendWithCheckOnlyForShownClippedWindows) {
    EXPECT_EQ(qel_SuspendChn(1, 1), 0);  // shown, whole picture
    EXPECT_TRUE(playertest::playerCallNames().empty());
    sample_vo_win_s[7].u8xClipStop = 50;
    EXPECT_EQ(qel_SuspendChn(7, 1), 0);  // clipped, hidden
    EXPECT_TRUE(playertest::playerCallNames().empty());
    qelClipWin(1, 0, 50, 0, 100, 0, 1);
    qelsim::clearCalls();
    EXPECT_EQ(qel_SuspendChn(1, 1), 1);
    EXPECT_FALSE(playertest::playerCallNames().empty());
    EXPECT_EQ(qel_SuspendChn(4, 0), 1);
    EXPECT_EQ(qel_ResumeChn(), 0);
}

TEST_F(WindowApi, WindowCountAndStreamPresence) {
    EXPECT_EQ(qelGetVideoWinMax(), 18);
    int cur = -1, w = -1, h = -1;
    EXPECT_EQ(qelIsVideoExisted(0, &cur, &w, &h), 0);
    EXPECT_EQ(cur, 18);
    ASSERT_EQ(qelShow(0, fixture("h264.ts").c_str(), 2), 0);
    EXPECT_EQ(qelIsVideoExisted(0, &cur, &w, &h), 1);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    cur = -1;
    EXPECT_EQ(qelIsVideoExisted(18, &cur, &w, &h), 0);
    EXPECT_EQ(cur, -1);
}

TEST_F(WindowApi, RebuildsKeepTheWindowCountBounded) {
    EXPECT_EQ(qelSetVideoWin(ZURIR_VO_OUTPUT_1080P60), 0);
    // Touring with a count that is no touring count does nothing.
    EXPECT_EQ(qelCircleBroadcast(1, 3, 0x7, ZURIR_VO_OUTPUT_1080P60), 0);
    EXPECT_EQ(qelGetVideoWinMax(), 18);
    // Off without a touring channel in the mask leaves full screen.
    vsm[0]->is_full_screen = 1;
    EXPECT_EQ(qelCircleBroadcast(0, 4, 0x10, ZURIR_VO_OUTPUT_1080P60), 0);
    EXPECT_EQ(vsm[0]->is_full_screen, 0);
}

}  // namespace
