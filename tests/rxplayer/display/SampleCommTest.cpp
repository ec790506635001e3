#include <algorithm>
#include <thread>

#include "DisplayFixture.h"
#include "display/qelDrvLib.h"

namespace {

TEST_F(DisplayTest, PictureSizesFollowTheTableAndRefuseTheUnknown) {
    struct Case {
        PIC_SIZE_E pic;
        VIDEO_NORM_E norm;
        HI_S32 ret;
        HI_U32 w, h;
    } cases[] = {
        {PIC_QCIF, VIDEO_ENCODING_MODE_PAL, 0, 176, 144},
        {PIC_QCIF, VIDEO_ENCODING_MODE_NTSC, 0, 176, 120},
        {PIC_CIF, VIDEO_ENCODING_MODE_NTSC, 0, 352, 240},
        {PIC_D1, VIDEO_ENCODING_MODE_NTSC, 0, 720, 576},
        {PIC_960H, VIDEO_ENCODING_MODE_NTSC, 0, 960, 480},
        {PIC_SXGA, VIDEO_ENCODING_MODE_PAL, 0, 1400, 1050},
        {PIC_WVGA, VIDEO_ENCODING_MODE_PAL, 0, 854, 480},
        {PIC_WQXGA, VIDEO_ENCODING_MODE_PAL, 0, 2560, 1600},
        {PIC_HD720, VIDEO_ENCODING_MODE_NTSC, 0, 1280, 720},
        {PIC_HD1080, VIDEO_ENCODING_MODE_NTSC, 0, 1920, 1088},
        {PIC_2CIF, VIDEO_ENCODING_MODE_PAL, -1, 0, 0},
        {PIC_HD1, VIDEO_ENCODING_MODE_PAL, -1, 0, 0},
        {static_cast<PIC_SIZE_E>(18), VIDEO_ENCODING_MODE_PAL, -1, 0, 0},
    };
    for (const Case& c : cases) {
        SIZE_S size{0, 0};
        EXPECT_EQ(SAMPLE_COMM_SYS_GetPicSize(c.norm, c.pic, &size), c.ret) << c.pic;
        if (c.ret == 0) {
            EXPECT_TRUE(size.u32Width == c.w && size.u32Height == c.h) << c.pic;
        }
    }
}

TEST_F(DisplayTest, TimingsGiveSizeAndRateAndRefuseUserAndUnknown) {
    struct Case {
        int sync;
        HI_U32 w, h, f;
    } cases[] = {{0, 720, 576, 25},    {1, 720, 480, 30},   {2, 1920, 1080, 24},
                 {5, 1280, 720, 50},   {7, 1920, 1080, 50}, {8, 1920, 1080, 60},
                 {10, 1920, 1080, 60}, {11, 720, 576, 50},  {12, 720, 480, 60},
                 {13, 800, 600, 60},   {16, 1366, 768, 60}, {18, 1280, 800, 60},
                 {21, 2560, 1600, 60}};
    for (const Case& c : cases) {
        HI_U32 w = 0, h = 0, f = 0;
        ASSERT_EQ(SAMPLE_COMM_VO_GetWH(static_cast<VO_INTF_SYNC_E>(c.sync), &w, &h, &f), 0);
        EXPECT_TRUE(w == c.w && h == c.h && f == c.f) << c.sync;
    }
    for (int bad : {19, 20, 22, -1}) {
        HI_U32 w, h, f;
        testing::internal::CaptureStdout();
        EXPECT_EQ(SAMPLE_COMM_VO_GetWH(static_cast<VO_INTF_SYNC_E>(bad), &w, &h, &f), -1);
        EXPECT_NE(testing::internal::GetCapturedStdout().find("vo enIntfSync not support!"),
                  std::string::npos);
    }
}

TEST_F(DisplayTest, SystemInitFailureIsReportedWithTheHelpersNameAndMinusOne) {
    VB_CONF_S conf;
    memset(&conf, 0, sizeof conf);
    conf.u32MaxPoolCnt = 128;
    ASSERT_EQ(SAMPLE_COMM_SYS_Init(&conf), 0);
    EXPECT_TRUE(qelsim::state().sysInited);
    EXPECT_EQ(qelsim::state().sysConf.u32AlignWidth, 64u);

    qelsim::failCall("HI_MPI_VB_Init", static_cast<int32_t>(0xA0018003));
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_SYS_Init(&conf), -1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("[SAMPLE_COMM_SYS_Init]-", 0), 0u) << out;
    EXPECT_NE(out.find("HI_MPI_VB_Init failed!"), std::string::npos);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_SYS_Init(nullptr), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("input parameter is null"),
              std::string::npos);
}

TEST_F(DisplayTest, DeviceLayerStartsInOrderAndStopsAtTheFirstFailure) {
    VO_PUB_ATTR_S pub = hdmi1080p60();
    ASSERT_EQ(SAMPLE_COMM_VO_StartDevLayer(0, &pub, 50), 0);
    qelsim::State st = qelsim::state();
    EXPECT_TRUE(st.vo[0].enabled && st.vo[0].layerEnabled);
    EXPECT_EQ(st.vo[0].dispBufLen, 4u);
    EXPECT_EQ(st.vo[0].layerAttr.stImageSize.u32Width, 1920u);
    EXPECT_EQ(st.vo[0].layerAttr.u32DispFrmRt, 50u);
    EXPECT_EQ(st.vo[0].layerAttr.enPixFormat, PIXEL_FORMAT_YUV_SEMIPLANAR_420);
    EXPECT_EQ(SAMPLE_COMM_VO_StartDevLayer(0, &pub, 0), -1);

    // A restart with a failing layer leaves the device enabled (no undo).
    qelsim::failCall("HI_MPI_VO_SetVideoLayerAttr", static_cast<int32_t>(0xA00F8003));
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_VO_StartDevLayer(0, &pub, 50), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("failed with 0xa00f8003!"),
              std::string::npos);
    st = qelsim::state();
    EXPECT_TRUE(st.vo[0].enabled);
    EXPECT_FALSE(st.vo[0].layerEnabled);
}

class VoChnTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        pub = hdmi1080p60();
        ASSERT_EQ(SAMPLE_COMM_VO_StartDevLayer(0, &pub, 50), 0);
    }
    VO_PUB_ATTR_S pub;
};

TEST_F(VoChnTest, LayoutGridsGiveEveryWindowWithRemaindersAtTheEdges) {
    struct Case {
        SAMPLE_VO_MODE_E mode;
        int windows;
        int chn;
        RECT_S rect;
    } cases[] = {
        {VO_MODE_1MUX, 1, 0, {0, 0, 1920, 1080}},
        {VO_MODE_4MUX, 4, 3, {960, 540, 960, 540}},
        {VO_MODE_9MUX, 9, 8, {1280, 720, 640, 360}},
        {VO_MODE_16MUX, 16, 15, {1440, 810, 480, 270}},
        {VO_MODE_7MUX, 7, 3, {960, 540, 480, 270}},
        {VO_MODE_7MUX, 7, 6, {1440, 810, 480, 270}},
        {VO_MODE_10MUX, 10, 2, {0, 540, 480, 270}},
        {VO_MODE_13MUX, 13, 12, {1440, 810, 480, 270}},
        {VO_MODE_8MUX, 8, 7, {1440, 540, 480, 540}},
        {VO_MODE_25MUX, 25, 24, {1536, 864, 384, 216}},
        {VO_MODE_30MUX, 30, 29, {1600, 864, 320, 216}},
        {VO_MODE_32MUX, 32, 31, {1680, 810, 240, 270}},
        {VO_MODE_4x1MUX, 4, 3, {0, 810, 1920, 270}},
        {VO_MODE_1x4MUX, 4, 3, {1440, 0, 480, 1080}},
        {VO_MODE_1x2MUX, 2, 1, {960, 0, 960, 1080}},
        {VO_MODE_2x1MUX, 2, 1, {0, 540, 1920, 540}},
        {VO_MODE_1x3MUX, 3, 2, {1280, 0, 640, 1080}},
        {VO_MODE_3x1MUX, 3, 1, {0, 360, 1920, 360}},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < VO_MAX_CHN_NUM; ++i) HI_MPI_VO_DisableChn(0, i);
        ASSERT_EQ(SAMPLE_COMM_VO_StartChn(0, &pub, c.mode), 0) << c.mode;
        qelsim::State st = qelsim::state();
        int enabled = 0;
        for (const auto& ch : st.vo[0].chn) enabled += ch.enabled;
        EXPECT_EQ(enabled, c.windows) << c.mode;
        const RECT_S& r = st.vo[0].chn[c.chn].attr.stRect;
        EXPECT_TRUE(r.s32X == c.rect.s32X && r.s32Y == c.rect.s32Y &&
                    r.u32Width == c.rect.u32Width && r.u32Height == c.rect.u32Height)
            << "mode " << c.mode << " chn " << c.chn << ": " << r.s32X << "," << r.s32Y << " "
            << r.u32Width << "x" << r.u32Height;
        ASSERT_EQ(SAMPLE_COMM_VO_StopChn(0, c.mode), 0);
        enabled = 0;
        for (const auto& ch : qelsim::state().vo[0].chn) enabled += ch.enabled;
        EXPECT_EQ(enabled, 0) << c.mode;
    }
    EXPECT_EQ(SAMPLE_COMM_VO_StartChn(0, &pub, VO_MODE_BUTT), -1);
    EXPECT_EQ(SAMPLE_COMM_VO_StopChn(0, VO_MODE_BUTT), -1);
}

TEST_F(VoChnTest, OddWidthScreensGiveTheLastColumnTheRest) {
    // 1366 wide in three columns: 454, 456 and the remaining 456.
    for (int i = 0; i < VO_MAX_CHN_NUM; ++i) HI_MPI_VO_DisableChn(0, i);
    ASSERT_EQ(SAMPLE_COMM_VO_StopDevLayer(0), 0);
    pub.enIntfSync = VO_OUTPUT_1366x768_60;
    ASSERT_EQ(SAMPLE_COMM_VO_StartDevLayer(0, &pub, 50), 0);
    ASSERT_EQ(SAMPLE_COMM_VO_StartChn(0, &pub, VO_MODE_1x3MUX), 0);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.vo[0].chn[0].attr.stRect.u32Width, 454u);
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.s32X, 454);
    EXPECT_EQ(st.vo[0].chn[1].attr.stRect.u32Width, 456u);
    EXPECT_EQ(st.vo[0].chn[2].attr.stRect.s32X, 910);
    EXPECT_EQ(st.vo[0].chn[2].attr.stRect.u32Width, 456u);
}

SAMPLE_VOWIN_S win(HI_U32 xs, HI_U32 xe, HI_U32 ys, HI_U32 ye, HI_U8 pip, HI_U8 shown) {
    SAMPLE_VOWIN_S w;
    memset(&w, 0, sizeof w);
    w.u32xPosStart = xs;
    w.u32xPosStop = xe;
    w.u32yPosStart = ys;
    w.u32yPosStop = ye;
    w.u8xClipStop = w.u8yClipStop = 100;
    w.u8VideoOrPip = pip;
    w.u8DisplayEn = shown;
    return w;
}

TEST_F(VoChnTest, WindowRestartRoundsToEvenAndKeepsSuspendedChannelsHidden) {
    sample_vo_win_s[0] = win(1, 961, 3, 541, 0, 1);
    sample_vo_win_s[1] = win(960, 1920, 0, 540, 0, 1);
    sample_vo_win_s[2] = win(0, 480, 540, 810, 0, 0);
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 1, sample_vo_win_s[1]), 0);
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 0, sample_vo_win_s[0]), 0);
    qelsim::State st = qelsim::state();
    const RECT_S& r = st.vo[0].chn[0].attr.stRect;
    EXPECT_TRUE(r.s32X == 0 && r.s32Y == 2 && r.u32Width == 960 && r.u32Height == 538);
    EXPECT_TRUE(st.vo[0].chn[1].enabled);
    EXPECT_FALSE(st.vo[0].chn[2].enabled);

    ASSERT_EQ(SAMPLE_COMM_VO_SuspendChn(0, 1), 0);
    EXPECT_TRUE(qelsim::state().vo[0].chn[1].hidden);
    // Restarting the other window and the suspended one itself leaves it hidden.
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 0, sample_vo_win_s[0]), 0);
    EXPECT_TRUE(qelsim::state().vo[0].chn[1].hidden);
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 1, sample_vo_win_s[1]), 0);
    st = qelsim::state();
    EXPECT_TRUE(st.vo[0].chn[1].enabled && st.vo[0].chn[1].hidden);
    EXPECT_FALSE(st.vo[0].chn[0].hidden);

    ASSERT_EQ(SAMPLE_COMM_VO_ResumeChn(0, 1), 0);
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 1, sample_vo_win_s[1]), 0);
    EXPECT_FALSE(qelsim::state().vo[0].chn[1].hidden);

    // Hiding a channel the output does not show fails, but the channel counts as suspended.
    ASSERT_EQ(SAMPLE_COMM_VO_SuspendChn(0, 2), -1);
    sample_vo_win_s[2].u8DisplayEn = 1;
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 2, sample_vo_win_s[2]), 0);
    EXPECT_TRUE(qelsim::state().vo[0].chn[2].hidden);
}

// A command thread suspends and resumes a window while another restarts windows; the
// suspension it leaves last is what a later restart keeps.
TEST_F(VoChnTest, SuspendFromOneThreadWhileAnotherRestartsWindows) {
    sample_vo_win_s[0] = win(0, 960, 0, 540, 0, 1);
    sample_vo_win_s[1] = win(960, 1920, 0, 540, 0, 1);
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 1, sample_vo_win_s[1]), 0);
    std::thread command([] {
        for (int i = 0; i < 200; ++i) {
            SAMPLE_COMM_VO_SuspendChn(0, 1);
            SAMPLE_COMM_VO_ResumeChn(0, 1);
        }
        SAMPLE_COMM_VO_SuspendChn(0, 1);
    });
    for (int i = 0; i < 200; ++i)
        SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 0, sample_vo_win_s[0]);
    command.join();
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 0, sample_vo_win_s[0]), 0);
    EXPECT_TRUE(qelsim::state().vo[0].chn[1].hidden);
}

TEST_F(VoChnTest, PictureInPictureWindowMovesThePipLayerToTheDevice) {
    sample_vo_win_s[3] = win(100, 580, 100, 370, 1, 1);
    sample_vo_win_s[4] = win(0, 480, 0, 270, 1, 1);
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 4, sample_vo_win_s[4]), 0);
    ASSERT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 3, sample_vo_win_s[3]), 0);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.pip.boundDev, 0);
    EXPECT_TRUE(st.pip.enabled);
    EXPECT_EQ(st.pip.attr.stImageSize.u32Width, 1920u);
    EXPECT_EQ(st.pip.attr.u32DispFrmRt, 60u);
    EXPECT_EQ(st.vo[0].chn[3].attr.u32Priority, 1u);
    EXPECT_TRUE(st.vo[0].chn[3].enabled && st.vo[0].chn[4].enabled);
    std::vector<std::string> names = qelsim::callNames();
    auto pos = [&names](const std::string& n) {
        return std::find(names.rbegin(), names.rend(), n) - names.rbegin();
    };
    // Last restart: the PIP windows are disabled before the layer is re-made.
    EXPECT_GT(pos("HI_MPI_VO_DisableChn"), pos("HI_MPI_VO_EnablePipLayer"));

    qelsim::failCall("HI_MPI_VO_SetPipLayerAttr", 0x55, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_VO_StartChnById(0, &pub, VO_MODE_32MUX, 3, sample_vo_win_s[3]), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("failed with 0x55!"), std::string::npos);
}

TEST_F(DisplayTest, ScalerGroupsFollowTheGroupPlan) {
    SIZE_S size{1920, 1088};
    ASSERT_EQ(SAMPLE_COMM_VPSS_Start(18, &size, 5, nullptr), 0);
    qelsim::State st = qelsim::state();
    for (int g = 0; g < 18; ++g) {
        bool full = g <= 4 || g == 17;
        EXPECT_EQ(st.vpss[g].attr.u32MaxW, full ? 1920u : 176u) << g;
        EXPECT_EQ(st.vpss[g].attr.u32MaxH, full ? 1088u : 144u) << g;
        EXPECT_TRUE(st.vpss[g].started);
        EXPECT_EQ(st.vpss[g].param.enDisMode, VPSS_DIS_MODE_PC);
        EXPECT_EQ(st.vpss[g].param.u32MotionThresh, 0u);
        EXPECT_TRUE(st.vpss[g].chnEnabled[4]);
        EXPECT_EQ(st.vpss[g].chnAttr[2].stFrame.u32Color[0], 0xFF00u);
        EXPECT_TRUE(st.vpss[g].attr.bIeEn && st.vpss[g].attr.bNrEn && !st.vpss[g].attr.bDrEn);
    }
    EXPECT_FALSE(st.vpss[18].exists);
    ASSERT_EQ(SAMPLE_COMM_VPSS_Stop(18, 5), 0);
    EXPECT_FALSE(qelsim::state().vpss[0].exists);

    // Seven windows: three whole groups, then the fourth cell split into four small ones.
    ASSERT_EQ(SAMPLE_COMM_VPSS_Start(7, &size, 5, nullptr), 0);
    st = qelsim::state();
    EXPECT_EQ(st.vpss[2].attr.u32MaxW, 1920u);
    EXPECT_EQ(st.vpss[2].param.enDisMode, VPSS_DIS_MODE_PC);
    for (int g = 3; g < 7; ++g) {
        EXPECT_EQ(st.vpss[g].attr.u32MaxW, 720u);
        EXPECT_EQ(st.vpss[g].param.enDisMode, VPSS_DIS_MODE_TV);  // left as read
    }
    EXPECT_FALSE(st.vpss[7].exists);
    SAMPLE_COMM_VPSS_Stop(7, 5);

    // Thirty windows: small groups from 11 on. A failure keeps the groups made so far.
    qelsim::failCall("HI_MPI_VPSS_StartGrp", 0x77, -1);
    qelsim::clearFailures();
    ASSERT_EQ(SAMPLE_COMM_VPSS_Start(30, &size, 5, nullptr), 0);
    st = qelsim::state();
    EXPECT_EQ(st.vpss[10].attr.u32MaxW, 1920u);
    EXPECT_EQ(st.vpss[11].attr.u32MaxW, 352u);
    EXPECT_EQ(st.vpss[29].attr.u32MaxH, 288u);
    SAMPLE_COMM_VPSS_Stop(30, 5);
    qelsim::failCall("HI_MPI_VPSS_EnableChn", 0x77, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_VPSS_Start(4, &size, 5, nullptr), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("HI_MPI_VPSS_EnableChn failed with 0x77"),
              std::string::npos);
    EXPECT_TRUE(qelsim::state().vpss[0].exists);
}

TEST_F(DisplayTest, MemoryPlacementAlternatesZonesAndStopsAtTheFirstFailure) {
    ASSERT_EQ(SAMPLE_COMM_VDEC_MemConfig(), 0);
    ASSERT_EQ(SAMPLE_COMM_VPSS_MemConfig(), 0);
    ASSERT_EQ(SAMPLE_COMM_VO_MemConfig(0, nullptr), 0);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.memConf["4,0,0"], "");
    EXPECT_EQ(st.memConf["4,0,31"], "ddr1");
    EXPECT_EQ(st.memConf.count("4,0,32"), 0u);
    EXPECT_EQ(st.memConf["8,63,0"], "ddr1");
    EXPECT_EQ(st.memConf["15,0,0"], "");
    qelsim::failCall("HI_MPI_SYS_SetMemConf", 1, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_VPSS_MemConfig(), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Vpss HI_MPI_SYS_SetMemConf ERR !"),
              std::string::npos);
}

TEST_F(DisplayTest, BindHelpersLinkDecoderScalerAndOutput) {
    SIZE_S size{176, 144};
    ASSERT_EQ(SAMPLE_VDEC_CreateVdecChn(5, &size, PT_H264, VIDEO_MODE_FRAME), 0);
    ASSERT_EQ(SAMPLE_VDEC_CreateVdecChn(6, &size, PT_H264, VIDEO_MODE_FRAME), 0);
    ASSERT_EQ(SAMPLE_VDEC_CreateVdecChn(7, &size, PT_H264, VIDEO_MODE_FRAME), 0);
    VPSS_GRP_ATTR_S grp{};
    grp.u32MaxW = 176;
    grp.u32MaxH = 144;
    ASSERT_EQ(HI_MPI_VPSS_CreatGrp(5, &grp), HI_SUCCESS);
    ASSERT_EQ(SAMLE_COMM_VDEC_BindVpss(5, 5), 0);
    ASSERT_EQ(SAMPLE_COMM_VO_BindVpss(0, 5, 5, 2), 0);
    ASSERT_EQ(SAMLE_COMM_VDEC_BindVo(6, 0, 6), 0);
    qelsim::State st = qelsim::state();
    ASSERT_EQ(st.binds.size(), 3u);
    EXPECT_TRUE(st.binds[1].src.enModId == HI_ID_VPSS && st.binds[1].src.s32ChnId == 2 &&
                st.binds[1].dst.enModId == HI_ID_VOU && st.binds[1].dst.s32ChnId == 5);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMLE_COMM_VDEC_BindVpss(7, 5), -1);  // group 5 has its source
    EXPECT_NE(testing::internal::GetCapturedStdout().find("HI_MPI_SYS_Bind failed with 0x"),
              std::string::npos);
    EXPECT_EQ(SAMLE_COMM_VDEC_UnBindVpss(5, 5), 0);
    EXPECT_EQ(SAMPLE_COMM_VO_UnBindVpss(0, 5, 5, 2), 0);
    EXPECT_EQ(SAMLE_COMM_VDEC_UnBindVo(6, 0, 6), 0);
    EXPECT_EQ(SAMLE_COMM_VDEC_UnBindVo(6, 0, 6), -1);
    VO_CSC_S csc{10, 20, 30, 40};
    EXPECT_EQ(SAMPLE_COMM_VO_SetDevCSC(0, &csc), 0);
    VO_CSC_S bad{101, 0, 0, 0};
    EXPECT_EQ(SAMPLE_COMM_VO_SetDevCSC(0, &bad), HI_ERR_VO_ILLEGAL_PARAM);
}

}  // namespace
