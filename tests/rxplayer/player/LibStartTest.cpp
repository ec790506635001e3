#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "PlayerTestEnv.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream f(path);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string winFile(int w) {
    char name[64];
    snprintf(name, sizeof name, "/mnt/winpara_%02d.ini", w);
    return box::path(name);
}

TEST(LibStart, LoadsOrCreatesTheWindowFilesAndStartsOnce) {
    // A player that another case of this process started goes back to unstarted.
    ASSERT_TRUE(qelResetForTest());
    ASSERT_FALSE(playertest::makeBoxRoot().empty());
    // Window 0 and 1 files are missing; 3 is out of range, 5 is empty; the counter exists.
    unlink(winFile(0).c_str());
    unlink(winFile(1).c_str());
    playertest::writeFile(
        winFile(3), "rtsp://cam/3\nunused_window\n0\n1921\n0\n1080\n150\n100\n0\n100\n0\n1\n");
    playertest::writeFile(winFile(5), "");
    playertest::writeFile(box::path("/mnt/power.ini"), "1234\n");
    // Slot calls refuse until the slots exist.
    EXPECT_EQ(qelSetWinWidthHeight(0, 320, 240), -1);

    qelSetWinRow(18);
    EXPECT_EQ(qelGetVideoWinMax(), 18);
    ASSERT_EQ(qelInitLib(1, ZURIR_VO_OUTPUT_1080P60), 0);

    EXPECT_EQ(readFile(winFile(0)),
              "unused_window\nunused_window\n0\n1920\n0\n1080\n0\n100\n0\n100\n0\n1\n");
    EXPECT_EQ(readFile(winFile(1)),
              "unused_window\nunused_window\n0\n480\n0\n270\n0\n100\n0\n100\n0\n0\n");
    EXPECT_STREQ(sample_vo_win_s[3].url, "rtsp://cam/3");
    EXPECT_EQ(sample_vo_win_s[3].u32xPosStop, 0u);
    EXPECT_EQ(sample_vo_win_s[3].u32yPosStop, 1080u);
    EXPECT_EQ(sample_vo_win_s[3].u8xClipStart, 49);
    EXPECT_EQ(sample_vo_win_s[5].url[0], 0);
    EXPECT_EQ(sample_vo_win_s[5].u32xPosStop, 0u);
    EXPECT_EQ(sample_vo_win_s[5].u8DisplayEn, 0);
    EXPECT_EQ(readFile(box::path("/mnt/power.ini")), "1234\n");

    const int initial[6] = {0, 1, 2, 3, 4, 17};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(decode_ChannelUse[i], initial[i]);
        EXPECT_EQ(decode_ChannelPre[i], initial[i]);
    }
    VideoState* slots[QEL_SLOT_MAX];
    for (int s = 0; s < QEL_SLOT_MAX; s++) {
        ASSERT_NE(vsm[s], nullptr);
        EXPECT_EQ(vsm[s]->hiID, s);
        EXPECT_EQ(vsm[s]->hiWin, s);
        EXPECT_EQ(vsm[s]->thread_read_status, TASK_STATUS_UNINIT);
        slots[s] = vsm[s];
    }
    for (const QelInitPacket& p : pktInit) EXPECT_NE(p.data, nullptr);
    uint8_t* firstInit = pktInit[0].data;

    // A second start allocates and changes nothing.
    unlink(winFile(2).c_str());
    EXPECT_EQ(qelInitLib(1, ZURIR_VO_OUTPUT_1080P60), -1);
    for (int s = 0; s < QEL_SLOT_MAX; s++) EXPECT_EQ(vsm[s], slots[s]);
    EXPECT_EQ(pktInit[0].data, firstInit);
    EXPECT_NE(access(winFile(2).c_str(), F_OK), 0);
}

TEST(LibStart, MissingCounterFileIsCreatedAndOtherWindowCountsReadNoWindowFile) {
    // The child runs the start in a process of its own. Under emulation the binary cannot be
    // executed again, so the child is a plain fork there; ctest runs each test alone, and this
    // one starts no thread before the fork.
    GTEST_FLAG_SET(death_test_style, getenv("QEL_TEST_EMULATED") ? "fast" : "threadsafe");
    EXPECT_EXIT(
        {
            std::string root = playertest::makeBoxRoot();
            for (int w : {0, 1, 2, 3, 4, 17}) unlink(winFile(w).c_str());
            qelSetWinRow(4);
            qelInitLib(1, ZURIR_VO_OUTPUT_1080P60);
            bool none = true;
            for (int w = 0; w < QEL_WIN_MAX; w++)
                none = none && access(winFile(w).c_str(), F_OK) != 0;
            exit(none && readFile(box::path("/mnt/power.ini")) == "5000\n" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(LibStart, RunsOnSdlDummyDriversWhateverTheEnvironmentNames) {
    // Drivers inherited from a desktop session: x11 without a display fails SDL's start, alsa
    // would open the host's sound.
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    unsetenv("DISPLAY");
    ASSERT_TRUE(playertest::startFreshPlayer());
    EXPECT_STREQ(getenv("SDL_VIDEODRIVER"), "dummy");
    EXPECT_STREQ(getenv("SDL_AUDIODRIVER"), "dummy");
    char name[32] = "";
    ASSERT_NE(SDL_VideoDriverName(name, sizeof name), nullptr);
    EXPECT_STREQ(name, "dummy");
    ASSERT_NE(SDL_AudioDriverName(name, sizeof name), nullptr);
    EXPECT_STREQ(name, "dummy");
}

struct SizeCase {
    int windows, win, width, height;
    int rc;
    int cls;  // 1080, 720, 1 (D1) or 0
};

TEST(SetWinWidthHeight, AdmitsBySizeClassAndWindowCount) {
    ASSERT_TRUE(playertest::startFreshPlayer());
    const SizeCase cases[] = {
        {18, 0, 1920, 1088, 0, 1080}, {18, 1, 1921, 1080, -1, 0}, {18, 2, 1920, 1089, -1, 0},
        {18, 3, 1280, 720, 0, 720},   {18, 4, 720, 576, 0, 1},    {18, 4, 352, 288, 0, 0},
        {18, 5, 353, 288, 0, 1},      {16, 0, 1280, 720, -1, 0},  {16, 3, 704, 576, 0, 1},
        {25, 12, 704, 576, 0, 1},     {25, 13, 704, 576, -1, 0},  {13, 0, 1920, 1080, 0, 1080},
        {13, 1, 1920, 1080, -1, 0},   {8, 2, 1280, 720, 0, 720},  {8, 2, 1920, 1080, -1, 0},
        {7, 2, 1920, 1080, 0, 1080},  {7, 3, 1280, 720, -1, 0},   {32, 9, 400, 300, 0, 1},
        {32, 10, 400, 300, -1, 0},    {32, 17, 320, 240, 0, 0},
    };
    for (const SizeCase& c : cases) {
        qelSetWinRow(c.windows);
        VideoState* is = vsm[c.win];
        is->FrameCounter = 77;
        is->iSyncAdjust = 1;
        is->iSkipAudioCnt = 3;
        is->is_Exist = 0;
        EXPECT_EQ(qelSetWinWidthHeight(c.win, c.width, c.height), c.rc)
            << c.windows << " windows, window " << c.win << " " << c.width << "x" << c.height;
        // The slot is reset whether the size is admitted or not.
        EXPECT_EQ(is->FrameCounter, 0);
        EXPECT_EQ(is->iSyncAdjust, 0);
        EXPECT_EQ(is->iSkipAudioCnt, 300);
        EXPECT_EQ(is->is_Exist, c.rc == 0 ? 1 : 0);
        if (c.rc == 0) {
            EXPECT_EQ(is->is_1080P, c.cls == 1080);
            EXPECT_EQ(is->is_720P, c.cls == 720);
            EXPECT_EQ(is->is_D1, c.cls == 1);
            EXPECT_EQ(is->video_width, c.width);
            EXPECT_EQ(is->FrameCounterTemp, -2);
        }
        is->is_Exist = 0;
    }
    qelSetWinRow(18);
    // A zero size changes nothing.
    vsm[0]->FrameCounter = 9;
    EXPECT_EQ(qelSetWinWidthHeight(0, 0, 240), -1);
    EXPECT_EQ(vsm[0]->FrameCounter, 9);
    vsm[0]->FrameCounter = 0;
}

}  // namespace
