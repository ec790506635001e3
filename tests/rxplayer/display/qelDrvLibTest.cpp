#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SimControl.h"
#include "box/Box.h"
#include "display/ControlShared.h"
#include "display/qelDrvLibState.h"

namespace {

std::string readFile(const std::string& p) {
    std::ifstream f(p);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool sameChn(const MPP_CHN_S& a, int mod, int dev, int chn) {
    return a.enModId == mod && a.s32DevId == dev && a.s32ChnId == chn;
}

int countBinds(const qelsim::State& st, MPP_CHN_S src, MPP_CHN_S dst) {
    int n = 0;
    for (const auto& b : st.binds)
        if (sameChn(b.src, src.enModId, src.s32DevId, src.s32ChnId) &&
            sameChn(b.dst, dst.enModId, dst.s32DevId, dst.s32ChnId))
            ++n;
    return n;
}

// The platform calls that returned an error, leaving out the HDMI watcher's, whose polls run
// on their own thread at any time.
std::vector<std::string> failedPipelineCalls() {
    std::vector<std::string> out;
    for (const std::string& f : qelsim::failedCalls())
        if (f.compare(0, 12, "HI_MPI_HDMI_") != 0) out.push_back(f);
    return out;
}

// The names of the platform calls since the last clearCalls, without the HDMI watcher's.
std::vector<std::string> pipelineCallNames() {
    std::vector<std::string> out;
    for (const std::string& c : qelsim::callNames())
        if (c.compare(0, 12, "HI_MPI_HDMI_") != 0) out.push_back(c);
    return out;
}

int countCalls(const std::string& name) {
    int n = 0;
    for (const std::string& c : qelsim::callNames())
        if (c == name) ++n;
    return n;
}

void setWin(int n, HI_U32 xs, HI_U32 xe, HI_U32 ys, HI_U32 ye, HI_U8 show) {
    SAMPLE_VOWIN_S& w = sample_vo_win_s[n];
    memset(&w, 0, sizeof w);
    snprintf(w.url, sizeof w.url, "unused_window");
    snprintf(w.urlSub, sizeof w.urlSub, "unused_window");
    w.u32xPosStart = xs;
    w.u32xPosStop = xe;
    w.u32yPosStart = ys;
    w.u32yPosStop = ye;
    w.u8xClipStop = 100;
    w.u8yClipStop = 100;
    w.u8DisplayEn = show;
}

class qelDrvLibTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qeldrv-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        setenv("QEL_ROOT", root.c_str(), 1);
        ASSERT_TRUE(box::makeDirs("/mnt"));
        freshBox();
    }
    void TearDown() override {
        ::system(("rm -rf '" + root + "'").c_str());
        unsetenv("QEL_ROOT");
    }
    // A box just powered on: four quadrant windows shown, the others parked and hidden.
    void freshBox() {
        qelsim::reset();
        qelDrvLibResetModule();
        setWin(0, 0, 960, 0, 540, 1);
        setWin(1, 960, 1920, 0, 540, 1);
        setWin(2, 0, 960, 540, 1080, 1);
        setWin(3, 960, 1920, 540, 1080, 1);
        for (int n = 4; n < QEL_WIN_MAX; ++n) setWin(n, 0, 480, 0, 270, 0);
    }
    std::string root;
};

TEST_F(qelDrvLibTest, EighteenWindowSetUpBuildsTheWholePath) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(iVoTotal, 18);
    EXPECT_EQ(out_width, 1920);
    EXPECT_EQ(out_height, 1080);
    EXPECT_TRUE(st.ptsBaseSet);
    for (int n = 0; n < 18; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(st.vdec[n].exists);
        EXPECT_TRUE(st.vdec[n].receiving);
        EXPECT_EQ(st.vdec[n].attr.enType, PT_H264);
        EXPECT_EQ(st.vdec[n].attr.u32PicWidth, 176u);
        EXPECT_EQ(st.vdec[n].attr.u32PicHeight, 144u);
        EXPECT_EQ(countBinds(st, {HI_ID_VDEC, 0, n}, {HI_ID_VPSS, n, 0}), 1);
        EXPECT_EQ(countBinds(st, {HI_ID_VPSS, n, 2}, {HI_ID_VOU, 0, n}), 1);
        EXPECT_TRUE(st.vpss[n].started);
        EXPECT_EQ(st.vpss[n].attr.u32MaxW, (n < 5 || n == 17) ? 1920u : 176u);
        EXPECT_EQ(st.vo[0].chn[n].enabled, n < 4);
    }
    EXPECT_FALSE(st.vdec[18].exists);
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.s32X, 960);
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.u32Width, 960u);
    EXPECT_EQ(st.vo[0].toleration, 300u);
    EXPECT_TRUE(st.ao[4].enabled);
    EXPECT_TRUE(st.adec[0].exists);
    EXPECT_TRUE(st.adec[1].exists);
    EXPECT_EQ(countBinds(st, {HI_ID_ADEC, 0, 0}, {HI_ID_AO, 4, 0}), 1);
    EXPECT_EQ(countBinds(st, {HI_ID_ADEC, 0, 1}, {HI_ID_AO, 4, 1}), 1);

    // A second set-up tears the video path down and rebuilds it: nothing is doubled.
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    qelsim::State again = qelsim::state();
    EXPECT_EQ(again.vdec[5].creations, 2);
    EXPECT_EQ(countBinds(again, {HI_ID_VDEC, 0, 5}, {HI_ID_VPSS, 5, 0}), 1);
    EXPECT_EQ(again.binds.size(), st.binds.size());
    EXPECT_TRUE(again.adec[1].exists);
    EXPECT_EQ(countBinds(again, {HI_ID_ADEC, 0, 1}, {HI_ID_AO, 4, 1}), 1);
}

// However many set-ups run in the process, one watcher polls the HDMI sink (every 400 ms):
// with the poll stalled, one thread and no second one comes to wait in it.
TEST_F(qelDrvLibTest, OneHdmiWatcherPerProcess) {
    const std::string poll = "HI_MPI_HDMI_GetSinkCapability";
    ASSERT_EQ(qelDrvLib_Init(18, VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    freshBox();
    ASSERT_EQ(qelDrvLib_Init(18, VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    qelsim::stallCall(poll, true);
    auto t0 = std::chrono::steady_clock::now();
    while (qelsim::blockedCalls(poll) == 0 &&
           std::chrono::steady_clock::now() - t0 < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(qelsim::blockedCalls(poll), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // more than two poll times
    EXPECT_EQ(qelsim::blockedCalls(poll), 1);
    qelsim::stallCall(poll, false);
}

TEST_F(qelDrvLibTest, WindowCountsGiveTheirChannelTotals) {
    const struct {
        int devNum;
        int total;
    } cases[] = {{5, 4}, {11, 4}, {2, 2}, {21, 2}, {3, 3}, {31, 3}, {16, 16}};
    for (const auto& c : cases) {
        freshBox();
        EXPECT_EQ(qelDrvLib_Init(c.devNum, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), 0) << c.devNum;
        EXPECT_EQ(iVoTotal, c.total) << c.devNum;
        EXPECT_TRUE(qelsim::state().vdec[c.total - 1].exists) << c.devNum;
        EXPECT_EQ(qelsim::state().vo[0].chn[c.total - 1].enabled, true) << c.devNum;
    }
    freshBox();
    qelsim::clearCalls();
    EXPECT_EQ(qelDrvLib_Init(33, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), -1);
    EXPECT_EQ(pipelineCallNames(), std::vector<std::string>{});
}

TEST_F(qelDrvLibTest, AudioFailureFailsSetUpWithTheVideoPathRunning) {
    const struct {
        const char* call;
        int32_t code;
        const char* line;
    } cases[] = {
        {"ioctl:/dev/tlv320aic31:0x22", 5, "fuc:qelDrvLib_Init,line:2058"},
        {"HI_MPI_ADEC_CreateChn", HI_ERR_ADEC_ILLEGAL_PARAM, "fuc:qelDrvLib_Init,line:2065"},
        {"HI_MPI_AO_Enable", HI_ERR_AO_NOT_PERM, "fuc:qelDrvLib_Init,line:2072"},
    };
    for (const auto& c : cases) {
        freshBox();
        qelsim::failCall(c.call, c.code);
        testing::internal::CaptureStdout();
        int rc = qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(rc, -1) << c.call;
        EXPECT_NE(out.find(c.line), std::string::npos) << c.call;
        qelsim::State st = qelsim::state();
        EXPECT_TRUE(st.vo[0].chn[3].enabled) << c.call;
        EXPECT_TRUE(st.vdec[17].exists) << c.call;
    }
}

TEST_F(qelDrvLibTest, DrainWaitBeforeDestroyIsCapped) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    qelsim::setVdecLeft(0, 2, 3);  // a decoder that never drains
    auto t0 = std::chrono::steady_clock::now();
    SAMPLE_VDEC_WaitDestroyVdecChn(0, VIDEO_MODE_FRAME);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_FALSE(qelsim::state().vdec[0].exists);
    EXPECT_GE(ms, 1800);
    EXPECT_LT(ms, 3000);

    t0 = std::chrono::steady_clock::now();
    SAMPLE_VDEC_WaitDestroyVdecChn(1, VIDEO_MODE_FRAME);
    EXPECT_FALSE(qelsim::state().vdec[1].exists);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
}

TEST_F(qelDrvLibTest, CoveringWindowHidesTheBigWindowsItOverlaps) {
    setWin(5, 0, 480, 0, 270, 1);
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    setWin(0, 0, 1920, 0, 1080, 1);
    EXPECT_EQ(qelDrvLib_ClipWindows(0, sample_vo_win_s[0]), 0);

    qelsim::State st = qelsim::state();
    for (int k = 1; k <= 3; ++k) {
        EXPECT_FALSE(st.vo[0].chn[k].enabled) << k;
        EXPECT_EQ(sample_vo_win_s[k].u8DisplayEn, 0) << k;
    }
    EXPECT_EQ(readFile(root + "/mnt/winpara_01.ini"),
              "unused_window\nunused_window\n960\n1920\n0\n540\n0\n100\n0\n100\n0\n0\n");
    // Windows 5..16 are never hidden this way.
    EXPECT_TRUE(st.vo[0].chn[5].enabled);
    EXPECT_EQ(sample_vo_win_s[5].u8DisplayEn, 1);
    EXPECT_EQ(st.vo[0].chn[0].attr.stRect.u32Width, 1920u);
    EXPECT_FALSE(st.vpss[0].clip.bEnable);
}

TEST_F(qelDrvLibTest, ScalerCropFollowsClipAndCutEdge) {
    setWin(0, 0, 960, 0, 1080, 1);
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    const struct {
        HI_U8 xs, xe;
        int cutHor, cutVer;
        bool enabled;
        RECT_S want;
    } cases[] = {
        {0, 50, 0, 0, true, {0, 0, 960, 1072}},
        {0, 50, 8, 0, true, {8, 0, 944, 1072}},
        {0, 50, 8, 65, true, {0, 0, 960, 1072}},  // out of range on one axis: plain clip
        {0, 100, 8, 8, false, {0, 0, 100, 100}},
    };
    for (const auto& c : cases) {
        sample_vo_win_s[0].u8xClipStart = c.xs;
        sample_vo_win_s[0].u8xClipStop = c.xe;
        qelDrvLib_CutEdge(c.cutHor, c.cutVer);
        EXPECT_EQ(qelDrvLib_ApplyCutEdge(), 0);
        VPSS_CLIP_INFO_S clip = qelsim::state().vpss[0].clip;
        SCOPED_TRACE(testing::Message() << int(c.xs) << ".." << int(c.xe) << " cut " << c.cutHor);
        EXPECT_EQ(clip.bEnable, c.enabled ? HI_TRUE : HI_FALSE);
        EXPECT_EQ(clip.enClipCoordinate, VPSS_CROP_ABS_COOR);
        EXPECT_EQ(clip.stClipRect.s32X, c.want.s32X);
        EXPECT_EQ(clip.stClipRect.s32Y, c.want.s32Y);
        EXPECT_EQ(clip.stClipRect.u32Width, c.want.u32Width);
        EXPECT_EQ(clip.stClipRect.u32Height, c.want.u32Height);
    }

    // A new source size changes the crop and the size the channel is re-created with.
    qelDrvLib_CutEdge(0, 0);
    sample_vo_win_s[0].u8xClipStop = 50;
    qelDrvLib_SetWinWH(0, 1280, 720, sample_vo_win_s[0]);
    VPSS_CLIP_INFO_S clip = qelsim::state().vpss[0].clip;
    EXPECT_EQ(clip.stClipRect.u32Width, 640u);
    EXPECT_EQ(clip.stClipRect.u32Height, 720u);
    EXPECT_EQ(SizeAry[0].u32Width, 1280u);
}

TEST_F(qelDrvLibTest, FullScreenAndBack) {
    ASSERT_EQ(qelDrvLib_Init(4, ZURIR_VO_OUTPUT_1080P60, 0, nullptr), 0);
    qelsim::clearCalls();
    EXPECT_EQ(qelDrvLib_FullWin(4, 1), -1);
    EXPECT_EQ(pipelineCallNames(), std::vector<std::string>{});

    EXPECT_EQ(qelDrvLib_FullWin(1, 1), 0);
    qelsim::State st = qelsim::state();
    EXPECT_FALSE(st.vo[0].chn[1].hidden);
    EXPECT_TRUE(st.vo[0].chn[0].hidden);
    EXPECT_TRUE(st.vo[0].chn[3].hidden);
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.s32X, 0);
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.u32Width, 1920u);
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.u32Height, 1080u);

    EXPECT_EQ(qelDrvLib_FullWin(1, 0), 0);
    st = qelsim::state();
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(st.vo[0].chn[i].hidden) << i;
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.s32X, 960);
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.u32Width, 960u);
}

TEST_F(qelDrvLibTest, DecodeChannelIsRecreatedOnlyOnTypeOrSizeChange) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    auto creations = [] { return qelsim::state().vdec[3].creations; };
    int c0 = creations();
    EXPECT_EQ(qelDrvLib_DecType(3, ZURIR_PT_H264), 0);
    EXPECT_EQ(creations(), c0);

    qelDrvLib_SetWinWH(3, 1920, 1080, sample_vo_win_s[3]);
    qelDrvLib_DecType(3, ZURIR_PT_H264);
    EXPECT_EQ(creations(), c0 + 1);
    EXPECT_EQ(qelsim::state().vdec[3].attr.u32PicWidth, 1920u);
    qelDrvLib_DecType(3, ZURIR_PT_H264);
    EXPECT_EQ(creations(), c0 + 1);

    qelDrvLib_DecType(3, ZURIR_PT_JPEG);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.vdec[3].creations, c0 + 2);
    EXPECT_EQ(st.vdec[3].attr.enType, PT_JPEG);
    EXPECT_EQ(countBinds(st, {HI_ID_VDEC, 0, 3}, {HI_ID_VPSS, 3, 0}), 1);
}

TEST_F(qelDrvLibTest, PacketsReachTheDecoders) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    unsigned char packet[100] = {0, 0, 0, 1, 0x67};
    EXPECT_EQ(qelDrvLib_Decoder(nullptr, nullptr, nullptr, packet, 0, 2), 1);
    EXPECT_EQ(qelsim::state().vdec[2].streams, 0u);
    EXPECT_EQ(qelDrvLib_Decoder(nullptr, nullptr, nullptr, packet, 100, 2), 0);
    EXPECT_EQ(qelDrvLib_DecoderPts(nullptr, nullptr, nullptr, packet, 40, 2, 123456789ull), 0);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.vdec[2].streams, 2u);
    EXPECT_EQ(st.vdec[2].bytes, 140u);
    EXPECT_EQ(st.vdec[2].lastPts, 123456789ull);

    // A refused packet is dropped quietly.
    qelsim::failCall("HI_MPI_VDEC_SendStream", HI_ERR_VDEC_NOT_PERM, 1);
    EXPECT_EQ(qelDrvLib_Decoder(nullptr, nullptr, nullptr, packet, 100, 2), 0);

    EXPECT_EQ(zurirDrvLib_Audio_Decoder(nullptr, packet, 0, 0), 1);
    EXPECT_EQ(zurirDrvLib_Audio_Decoder(nullptr, packet, 64, 0), 0);
    EXPECT_EQ(qelsim::state().adec[0].streams, 1u);
}

TEST_F(qelDrvLibTest, AudioReconfigurationPerOutputDevice) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    EXPECT_EQ(qelDrvLib_AudioOutput(2), 0);
    EXPECT_EQ(SAMPLE_AUDIO_AO_DEV, 4);

    EXPECT_EQ(qelDrvLib_DecAudioType(0, 8000, 320, ZURIR_PT_G711A), 0);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.ao[4].attr.enSamplerate, AUDIO_SAMPLE_RATE_8000);
    EXPECT_EQ(st.ao[4].attr.u32PtNumPerFrm, 320u);
    EXPECT_EQ(st.ao[4].attr.enWorkmode, AIO_MODE_I2S_SLAVE);
    EXPECT_FALSE(st.ao[4].resample[0]);
    EXPECT_EQ(st.adec[0].type, PT_G711A);
    EXPECT_EQ(mySample_Vo_Audio_Param.enSamplerate, AUDIO_SAMPLE_RATE_8000);

    qelDrvLib_AudioOutput(1);
    EXPECT_EQ(qelDrvLib_DecAudioType(0, 8000, 320, ZURIR_PT_G711A), 0);
    st = qelsim::state();
    EXPECT_EQ(st.ao[5].attr.enSamplerate, AUDIO_SAMPLE_RATE_48000);
    EXPECT_EQ(st.ao[5].attr.u32PtNumPerFrm, 1920u);
    EXPECT_EQ(st.ao[5].attr.enWorkmode, AIO_MODE_I2S_MASTER);
    EXPECT_TRUE(st.ao[5].resample[0]);
    EXPECT_EQ(st.ao[5].resampleAttr[0].enReSampleType, AUDIO_RESAMPLE_1X6);
    EXPECT_EQ(st.ao[5].resampleAttr[0].u32InPointNum, 320u);

    qelsim::failCall("HI_MPI_ADEC_CreateChn", HI_ERR_ADEC_ILLEGAL_PARAM, 1);
    EXPECT_EQ(qelDrvLib_DecAudioType(0, 48000, 1024, ZURIR_PT_LPCM), -1);
}

TEST_F(qelDrvLibTest, SmallControls) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    EXPECT_EQ(qelDrvLib_LunXun(3, 0x5), 3);
    EXPECT_EQ(qelDrvLib_Csc(10, 20, 30, 40), 0);
    VO_CSC_S csc = qelsim::state().vo[0].csc;
    EXPECT_EQ(csc.u32Luma, 10u);
    EXPECT_EQ(csc.u32Satuature, 40u);

    // Suspended windows stay hidden; resume touches only windows stored as shown.
    qelDrvLib_SuspendChn(1);
    EXPECT_TRUE(qelsim::state().vo[0].chn[1].hidden);
    qelDrvLib_ResumeChn();
    EXPECT_FALSE(qelsim::state().vo[0].chn[1].hidden);
    for (int n = 0; n < QEL_WIN_MAX; ++n) sample_vo_win_s[n].u8DisplayEn = 0;
    qelsim::clearCalls();
    qelDrvLib_ResumeChn();
    EXPECT_EQ(pipelineCallNames(), std::vector<std::string>{});
}

// The pipeline is rebuilt at run time in any order of the two set-ups and audio outputs.
TEST_F(qelDrvLibTest, AudioSwitchThenSetUpAgainRunsOnTheLiveDevice) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    const struct {
        int output, rate, payload;
        AUDIO_DEV live, other;
    } switches[] = {{1, 48000, ZURIR_PT_LPCM, 5, 4}, {2, 8000, ZURIR_PT_G711A, 4, 5}};
    for (const auto& c : switches) {
        SCOPED_TRACE(c.live);
        qelDrvLib_AudioOutput(c.output);
        ASSERT_EQ(qelDrvLib_DecAudioType(0, c.rate, 320, c.payload), 0);
        qelsim::State st = qelsim::state();
        EXPECT_TRUE(st.ao[c.live].enabled);
        EXPECT_EQ(countBinds(st, {HI_ID_ADEC, 0, 0}, {HI_ID_AO, c.live, 0}), 1);  // it follows
        EXPECT_EQ(countBinds(st, {HI_ID_ADEC, 0, 0}, {HI_ID_AO, c.other, 0}), 0);

        qelsim::clearCalls();
        ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
        EXPECT_EQ(failedPipelineCalls(), std::vector<std::string>{});
        st = qelsim::state();
        EXPECT_TRUE(st.ao[c.live].enabled);
        EXPECT_FALSE(st.ao[c.other].enabled);
        EXPECT_EQ(countBinds(st, {HI_ID_ADEC, 0, 0}, {HI_ID_AO, c.live, 0}), 1);
        EXPECT_EQ(countBinds(st, {HI_ID_ADEC, 0, 1}, {HI_ID_AO, c.live, 1}), 1);
        EXPECT_EQ(st.binds.size(), 2u + 2u * 18u);
    }
}

// No sink: the watcher opens the transmitter once when it starts, and leaves it at that.
TEST_F(qelDrvLibTest, BothSetUpsTearDownWhatTheOtherBuilt) {
    // The first set-up after power-on enables windows before the later ones have their
    // rectangles (and the watcher may open the transmitter); the count starts after it.
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    int opens = countCalls("HI_MPI_HDMI_Open");
    qelsim::clearCalls();
    ASSERT_EQ(qelDrvLib_Init_ORG(4, ZURIR_VO_OUTPUT_1080P60, 0), 0);
    EXPECT_EQ(iVoTotal, 4);
    qelsim::State st = qelsim::state();
    EXPECT_FALSE(st.vdec[4].exists);
    EXPECT_FALSE(st.vpss[4].exists);
    EXPECT_EQ(countBinds(st, {HI_ID_VDEC, 0, 3}, {HI_ID_VPSS, 3, 0}), 1);
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    EXPECT_EQ(failedPipelineCalls(), std::vector<std::string>{});
    // One opening of the transmitter in all: the watcher's, which may come at any time.
    EXPECT_LE(opens + countCalls("HI_MPI_HDMI_Open"), 1);
    EXPECT_EQ(countCalls("HI_MPI_SYS_Init"), 0);
    st = qelsim::state();
    EXPECT_TRUE(st.vdec[17].exists);
    EXPECT_EQ(countBinds(st, {HI_ID_VDEC, 0, 17}, {HI_ID_VPSS, 17, 0}), 1);

    // The equal-grid set-up first, then the other: no failure either.
    freshBox();
    ASSERT_EQ(qelDrvLib_Init_ORG(4, ZURIR_VO_OUTPUT_1080P60, 0), 0);
    qelsim::clearCalls();
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    ASSERT_EQ(qelDrvLib_Init_ORG(4, ZURIR_VO_OUTPUT_1080P60, 0), 0);
    EXPECT_EQ(failedPipelineCalls(), std::vector<std::string>{});
    EXPECT_EQ(countCalls("HI_MPI_SYS_Init"), 0);
}

TEST_F(qelDrvLibTest, PictureSizesOutsideWhatADecoderTakesAreRefused) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    const struct {
        int w, h;
    } bad[] = {{0, 1080},    {-1, 1080},     {1920, 0},      {4097, 1080},
               {1920, 4097}, {65536, 65536}, {1 << 30, 1080}};
    for (const auto& c : bad) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        EXPECT_EQ(qelDrvLib_SetWinWH(3, c.w, c.h, sample_vo_win_s[3]), -1);
        EXPECT_EQ(qelDrvLib_JPGSetWinWH(3, c.w, c.h), -1);
        EXPECT_EQ(qelDrvLib_RestoreSetWinWH(3, c.w, c.h), -1);
        EXPECT_EQ(SizeAry[3].u32Width, 176u);
        EXPECT_EQ(Cut_Display_rect[3].u32Width, 1920u);
    }
    EXPECT_EQ(qelDrvLib_JPGSetWinWH(3, 4096, 4096), 0);
    EXPECT_EQ(qelDrvLib_DecType(3, ZURIR_PT_JPEG), 0);
    EXPECT_TRUE(qelsim::state().vdec[3].exists);  // the largest size still makes a channel
    EXPECT_EQ(qelsim::state().vdec[3].attr.u32PicWidth, 4096u);
}

TEST_F(qelDrvLibTest, AClipEndingBeforeItsStartTurnsTheCropOff) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    SAMPLE_VOWIN_S r = sample_vo_win_s[1];
    r.u8xClipStart = 0;
    r.u8xClipStop = 50;
    ASSERT_EQ(qelDrvLib_ClipWindows(1, r), 0);
    ASSERT_TRUE(qelsim::state().vpss[1].clip.bEnable);
    const struct {
        int xs, xe, ys, ye;
    } empty[] = {{60, 40, 0, 100}, {50, 50, 0, 100}, {0, 100, 70, 30}};
    for (const auto& c : empty) {
        r.u8xClipStart = c.xs;
        r.u8xClipStop = c.xe;
        r.u8yClipStart = c.ys;
        r.u8yClipStop = c.ye;
        qelsim::clearCalls();
        EXPECT_EQ(qelDrvLib_VideoWindows(1, r), 0);
        EXPECT_FALSE(qelsim::state().vpss[1].clip.bEnable) << c.xs << "-" << c.xe;
        EXPECT_EQ(failedPipelineCalls(), std::vector<std::string>{});
        EXPECT_TRUE(qelsim::state().vo[0].chn[1].enabled);
    }
}

TEST_F(qelDrvLibTest, RestartingAWindowFailsOnlyWhenAHideFails) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    qelsim::failCall("HI_MPI_VO_EnableChn", HI_ERR_VO_NOT_PERM);
    EXPECT_EQ(SAMPLE_COMM_VO_StartChnById(0, &stVoPubAttr, enVoMode, 2, sample_vo_win_s[2]),
              HI_SUCCESS);
    qelsim::clearFailures();
    SAMPLE_COMM_VO_SuspendChn(0, 2);
    qelsim::failCall("HI_MPI_VO_ChnHide", HI_ERR_VO_NOT_PERM);
    EXPECT_EQ(SAMPLE_COMM_VO_StartChnById(0, &stVoPubAttr, enVoMode, 2, sample_vo_win_s[2]),
              HI_FAILURE);
    qelsim::clearFailures();
    SAMPLE_COMM_VO_ResumeChn(0, 2);
}

// A tour list names 32 sources whatever the window count; the caller's list may hold fewer.
TEST_F(qelDrvLibTest, AddressListsAreFilledNoFurtherThanTheyHold) {
    {
        std::ofstream f(box::path("/mnt/lunxun_00.ini"));
        for (int i = 0; i < 32; ++i) f << "rtsp://10.77.0." << (i + 2) << "/ch1\n";
    }
    unsigned char list[6][200];
    memset(list, 'x', sizeof list);
    EXPECT_EQ(iGetIPAddress(4, &list[0][0], 0, 1, 5), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(list[4]), "10.77.0.6");
    EXPECT_EQ(list[5][0], 'x');  // untouched
    EXPECT_EQ(list[5][199], 'x');
    memset(list, 'x', sizeof list);
    EXPECT_EQ(iGetIPAddress(3, &list[0][0], 0, 1), 0);  // no capacity given: the count
    EXPECT_STREQ(reinterpret_cast<char*>(list[2]), "10.77.0.4");
    EXPECT_EQ(list[3][0], 'x');
}

// Each entry is one whole line of the main file: a long URL never spills into the next slot's
// entry, and a line longer than the settings keep gives no address.
TEST_F(qelDrvLibTest, AddressListTakesEachLineWhole) {
    const std::string spill = "rtsp://192.0.2.5/" + std::string(200, 'a') + "/192.0.2.99/x";
    const std::string tooLong = "rtsp://192.0.2.6/" + std::string(600, 'b');
    {
        std::ofstream f(box::path("/mnt/config.ini"));
        f << "7\n" << spill << "\nrtsp://192.0.2.8/c\n" << tooLong << "\n\nrtsp://192.0.2.9/d\n";
    }
    unsigned char list[6][200];
    EXPECT_EQ(iGetIPAddress(6, &list[0][0], 0, 0), 0);
    const char* want[6] = {"unused_window", "192.0.2.5",     "192.0.2.8",
                           "unused_window", "unused_window", "192.0.2.9"};
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(reinterpret_cast<char*>(list[i]), want[i]) << i;
    // The file ends before the entries asked for do.
    unsigned char more[7][200];
    EXPECT_EQ(iGetIPAddress(7, &more[0][0], 0, 0), -1);
}

// A new output timing (oR_chg 1) sets the device and its layer up again without a second
// system set-up or HDMI start; a timing of the same size keeps the output size.
TEST_F(qelDrvLibTest, OutputChangesSetTheDeviceUpAgain) {
    // Windows that fit the smallest of the timings.
    setWin(1, 640, 1280, 0, 360, 1);
    setWin(2, 0, 640, 360, 720, 1);
    setWin(3, 640, 1280, 360, 720, 1);
    setWin(0, 0, 640, 0, 360, 1);
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    const struct {
        unsigned char timing;
        int width, height;
    } changes[] = {{ZURIR_VO_OUTPUT_720P60, 1280, 720},
                   {ZURIR_VO_OUTPUT_1080P60, 1920, 1080},
                   {ZURIR_VO_OUTPUT_1080P50, 1920, 1080}};
    for (const auto& c : changes) {
        SCOPED_TRACE(int(c.timing));
        qelsim::clearCalls();
        ASSERT_EQ(qelDrvLib_Init(18, c.timing, 1, sample_vo_win_s), 0);
        EXPECT_EQ(failedPipelineCalls(), std::vector<std::string>{});
        EXPECT_EQ(countCalls("HI_MPI_SYS_Init"), 0);
        EXPECT_EQ(countCalls("HI_MPI_VO_Enable"), 1);
        qelsim::State st = qelsim::state();
        EXPECT_EQ(st.vo[0].pubAttr.enIntfSync, (VO_INTF_SYNC_E)c.timing);
        EXPECT_EQ(st.vo[0].layerAttr.stImageSize.u32Width, (HI_U32)c.width);
        EXPECT_EQ(out_width, c.width);
        EXPECT_EQ(out_height, c.height);
        EXPECT_TRUE(st.vdec[17].exists);
        EXPECT_TRUE(st.vo[0].chn[3].enabled);
    }
    // The other set-up after an output change rebuilds on the same device.
    qelsim::clearCalls();
    ASSERT_EQ(qelDrvLib_Init_ORG(4, ZURIR_VO_OUTPUT_1080P50, 0), 0);
    EXPECT_EQ(failedPipelineCalls(), std::vector<std::string>{});
}

TEST_F(qelDrvLibTest, MovingAWindowKeepsItsCropAndAHiddenOneIsOnlyTakenDown) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    SAMPLE_VOWIN_S r = sample_vo_win_s[1];
    r.u8xClipStop = 50;
    ASSERT_EQ(qelDrvLib_ClipWindows(1, r), 0);
    VPSS_CLIP_INFO_S clip = qelsim::state().vpss[1].clip;
    r.u32xPosStart = 1000;
    r.u32xPosStop = 1601;  // odd: the output takes even positions
    EXPECT_EQ(qelDrvLib_PosWindows(1, r), 0);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.s32X, 1000);
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.u32Width, 600u);
    EXPECT_TRUE(st.vo[0].chn[1].enabled);
    EXPECT_EQ(st.vpss[1].clip.stClipRect.u32Width, clip.stClipRect.u32Width);
    EXPECT_TRUE(st.vpss[1].clip.bEnable);

    r.u8DisplayEn = 0;
    qelsim::clearCalls();
    EXPECT_EQ(qelDrvLib_PosWindows(1, r), 0);
    EXPECT_FALSE(qelsim::state().vo[0].chn[1].enabled);
    EXPECT_EQ(pipelineCallNames(), std::vector<std::string>{"HI_MPI_VO_DisableChn"});
    qelsim::failCall("HI_MPI_VO_DisableChn", HI_ERR_VO_INVALID_CHNID, 1);
    EXPECT_EQ(qelDrvLib_PosWindows(1, r), -1);
    EXPECT_EQ(qelDrvLib_PosWindows(QEL_WIN_MAX, r), -1);
}

TEST_F(qelDrvLibTest, ReleasingAPictureRecreatesItsChannelAsDeclared) {
    ASSERT_EQ(qelDrvLib_Init(18, ZURIR_VO_OUTPUT_1080P60, 0, sample_vo_win_s), 0);
    ASSERT_EQ(qelDrvLib_JPGSetWinWH(2, 1920, 1080), 0);
    ASSERT_EQ(qelDrvLib_DecType(2, ZURIR_PT_JPEG), 0);
    int creations = qelsim::state().vdec[2].creations;
    uint8_t jpeg[64] = {0xFF, 0xD8};
    ASSERT_EQ(qelDrvLib_Decoder(nullptr, nullptr, nullptr, jpeg, sizeof jpeg, 2), 0);
    qelDrv_ReleaseImage(2);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.vdec[2].creations, creations + 1);
    EXPECT_EQ(st.vdec[2].attr.enType, PT_JPEG);
    EXPECT_EQ(st.vdec[2].attr.u32PicWidth, 1920u);
    EXPECT_EQ(st.vdec[2].streams, 0u);  // the picture went with the old channel
    EXPECT_TRUE(st.vdec[2].receiving);
    EXPECT_EQ(countBinds(st, {HI_ID_VDEC, 0, 2}, {HI_ID_VPSS, 2, 0}), 1);
    qelsim::clearCalls();
    qelDrv_ReleaseImage(QEL_VDEC_ARY);
    EXPECT_EQ(pipelineCallNames(), std::vector<std::string>{});
}

// The address badge of a window names the touring channel only while the window tours.
TEST_F(qelDrvLibTest, AddressBadgeFollowsTheTourOfItsWindow) {
    const struct {
        unsigned char shown;
        int tourWins, tourMask, chn;
        const char* line;  // "" when nothing is drawn
    } cases[] = {
        {1, 2, 0x0, 5, "winNum = 1 chnNum = 0 LunXun = 0\n"},
        {1, 2, 0x2, 5, "winNum = 1 chnNum = 5 LunXun = 1\n"},
        {1, 1, 0x2, 5, "winNum = 1 chnNum = 5 LunXun = 1\n"},
        {0, 2, 0x2, 5, ""},
    };
    for (const auto& c : cases) {
        qelDrvLib_OsdShowIPChnEn(c.shown);
        qelDrvLib_LunXun(c.tourWins, c.tourMask);
        testing::internal::CaptureStdout();
        EXPECT_EQ(qelDrvLib_OsdShowIP(4, 1, c.chn, 0), 0);
        std::string out = testing::internal::GetCapturedStdout();
        if (*c.line)
            EXPECT_NE(out.find(c.line), std::string::npos) << out;
        else
            EXPECT_EQ(out.find("winNum ="), std::string::npos) << out;
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(qelDrvLib_OsdShowIP(4, 32, 1, 0), 0);  // no such window: nothing
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("winNum ="), std::string::npos);
}

}  // namespace
