#include <fcntl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <linux/fb.h>
#include <linux/watchdog.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "SimControl.h"
#include "hi_platform.h"

namespace {

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("QEL_ROOT");
        qelsim::reset();
    }
};

MPP_CHN_S chn(MOD_ID_E m, int d, int c) {
    return MPP_CHN_S{m, d, c};
}

VDEC_CHN_ATTR_S h264(uint32_t w, uint32_t h) {
    VDEC_CHN_ATTR_S a{};
    a.enType = PT_H264;
    a.u32PicWidth = w;
    a.u32PicHeight = h;
    a.u32BufSize = w * h * 3 / 2;
    a.u32Priority = 1;
    a.stVdecAttrH264 = VDEC_ATTR_H264_S{5, VIDEO_MODE_FRAME, 1};
    return a;
}

TEST_F(PlatformTest, BindsSurviveDecodeChannelRecreationAndDestinationsTakeOneSource) {
    VDEC_CHN_ATTR_S a = h264(176, 144);
    ASSERT_EQ(HI_MPI_VDEC_CreateChn(3, &a), HI_SUCCESS);
    MPP_CHN_S src = chn(HI_ID_VDEC, 0, 3), dst = chn(HI_ID_VPSS, 3, 0);
    // Only what was created can be bound.
    EXPECT_EQ(HI_MPI_SYS_Bind(&src, &dst), HI_ERR_SYS_UNEXIST);
    VPSS_GRP_ATTR_S g{};
    g.u32MaxW = 176;
    g.u32MaxH = 144;
    ASSERT_EQ(HI_MPI_VPSS_CreatGrp(3, &g), HI_SUCCESS);
    MPP_CHN_S missingDec = chn(HI_ID_VDEC, 0, 9), missingOut = chn(HI_ID_VPSS, 4, 1),
              vo = chn(HI_ID_VOU, 0, 4);
    EXPECT_EQ(HI_MPI_SYS_Bind(&missingDec, &dst), HI_ERR_SYS_UNEXIST);
    EXPECT_EQ(HI_MPI_SYS_Bind(&missingOut, &vo), HI_ERR_SYS_UNEXIST);
    EXPECT_TRUE(qelsim::state().binds.empty());
    ASSERT_EQ(HI_MPI_SYS_Bind(&src, &dst), HI_SUCCESS);
    MPP_CHN_S other = chn(HI_ID_VDEC, 0, 4);
    EXPECT_EQ(HI_MPI_SYS_Bind(&other, &dst), HI_ERR_SYS_BUSY);

    ASSERT_EQ(HI_MPI_VDEC_DestroyChn(3), HI_SUCCESS);
    VDEC_CHN_ATTR_S big = h264(1920, 1088);
    ASSERT_EQ(HI_MPI_VDEC_CreateChn(3, &big), HI_SUCCESS);
    qelsim::State st = qelsim::state();
    ASSERT_EQ(st.binds.size(), 1u);
    EXPECT_EQ(st.binds[0].src.s32ChnId, 3);
    EXPECT_EQ(st.vdec[3].creations, 2);
    EXPECT_EQ(st.vdec[3].attr.u32PicWidth, 1920u);

    MPP_CHN_S wrongDst = chn(HI_ID_VOU, 0, 3);
    EXPECT_EQ(HI_MPI_SYS_UnBind(&src, &wrongDst), HI_ERR_SYS_UNEXIST);
    MPP_CHN_S badSrc = chn(HI_ID_VPSS, 0, 0), badDst = chn(HI_ID_VDEC, 0, 0);
    EXPECT_EQ(HI_MPI_SYS_Bind(&badSrc, &badDst), HI_ERR_SYS_ILLEGAL_PARAM);
    MPP_CHN_S outOfRange = chn(HI_ID_VOU, 0, VO_MAX_CHN_NUM);
    EXPECT_EQ(HI_MPI_SYS_Bind(&src, &outOfRange), HI_ERR_SYS_ILLEGAL_PARAM);
}

TEST_F(PlatformTest, DecodeChannelCountsWhatItTakesAndRefusesWhatHardwareWould) {
    VDEC_CHN_ATTR_S a = h264(176, 144);
    ASSERT_EQ(HI_MPI_VDEC_CreateChn(0, &a), HI_SUCCESS);
    uint8_t pkt[100] = {0, 0, 0, 1};
    VDEC_STREAM_S st{pkt, sizeof pkt, 1234};
    EXPECT_EQ(HI_MPI_VDEC_SendStream(0, &st, HI_IO_BLOCK), HI_ERR_VDEC_NOT_PERM);  // not receiving
    ASSERT_EQ(HI_MPI_VDEC_StartRecvStream(0), HI_SUCCESS);
    EXPECT_EQ(HI_MPI_VDEC_SendStream(0, &st, HI_IO_BLOCK), HI_SUCCESS);
    EXPECT_EQ(HI_MPI_VDEC_SendStream(0, &st, HI_IO_BLOCK), HI_SUCCESS);
    VDEC_STREAM_S tooBig{pkt, a.u32BufSize + 1, 0};
    EXPECT_EQ(HI_MPI_VDEC_SendStream(0, &tooBig, HI_IO_BLOCK), HI_ERR_VDEC_ILLEGAL_PARAM);
    EXPECT_EQ(HI_MPI_VDEC_SendStream(VDEC_MAX_CHN_NUM, &st, HI_IO_BLOCK),
              HI_ERR_VDEC_INVALID_CHNID);
    EXPECT_EQ(HI_MPI_VDEC_SendStream(1, &st, HI_IO_BLOCK), HI_ERR_VDEC_UNEXIST);

    // Both packets are due 1.2 ms after power-on; then only the backlog a test sets is left.
    while (qelsim::state().vdec[0].queued != 0) usleep(1000);
    qelsim::setVdecLeft(0, 2, 5);
    VDEC_CHN_STAT_S stat;
    ASSERT_EQ(HI_MPI_VDEC_Query(0, &stat), HI_SUCCESS);
    EXPECT_EQ(stat.u32LeftPics, 2u);
    EXPECT_EQ(stat.u32LeftStreamFrames, 5u);
    qelsim::State s = qelsim::state();
    EXPECT_EQ(s.vdec[0].streams, 2u);
    EXPECT_EQ(s.vdec[0].bytes, 200u);
    EXPECT_EQ(s.vdec[0].lastPts, 1234u);

    VDEC_CHN_ATTR_S tiny = h264(16, 16), mp3 = h264(176, 144);
    mp3.enType = PT_LPCM;
    EXPECT_EQ(HI_MPI_VDEC_CreateChn(1, &tiny), HI_ERR_VDEC_ILLEGAL_PARAM);
    EXPECT_EQ(HI_MPI_VDEC_CreateChn(1, &mp3), HI_ERR_VDEC_NOT_SUPPORT);
    EXPECT_EQ(HI_MPI_VDEC_CreateChn(0, &a), HI_ERR_VDEC_EXIST);
}

TEST_F(PlatformTest, InjectedFailuresReturnTheChosenCodeAsOftenAsAsked) {
    qelsim::failCall("HI_MPI_VO_SetDispBufLen", 0x1234, 2);
    EXPECT_EQ(HI_MPI_VO_SetDispBufLen(0, 4), 0x1234);
    EXPECT_EQ(HI_MPI_VO_SetDispBufLen(0, 4), 0x1234);
    EXPECT_EQ(HI_MPI_VO_SetDispBufLen(0, 4), HI_SUCCESS);

    qelsim::failCall("open:/dev/watchdog", EIO);
    EXPECT_EQ(qelDev_open("/dev/watchdog", O_RDWR), -1);
    EXPECT_EQ(errno, EIO);
    qelsim::clearFailures();
    int fd = qelDev_open("/dev/watchdog", O_RDWR);
    ASSERT_GE(fd, 0);
    qelsim::failCall("ioctl:/dev/watchdog:0x80045705", EINVAL, 1);
    EXPECT_EQ(qelDev_ioctl(fd, WDIOC_KEEPALIVE, nullptr), -1);
    EXPECT_EQ(qelDev_ioctl(fd, WDIOC_KEEPALIVE, nullptr), 0);
    EXPECT_EQ(qelsim::state().watchdogFeeds, 1);
    EXPECT_EQ(qelDev_open("/dev/watchdog", O_RDWR), -1);  // one user at a time
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(qelDev_close(fd), 0);
    EXPECT_EQ(qelDev_ioctl(fd, WDIOC_KEEPALIVE, nullptr), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST_F(PlatformTest, DevicesAreOnlyTheBoxsOwnAndNeverTheHosts) {
    EXPECT_EQ(qelDev_open("/dev/null", O_RDWR), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(qelDev_open("/dev/fb1", O_RDWR), -1);
    int mem = qelDev_open("/dev/mem", O_RDWR | O_DSYNC);
    ASSERT_GE(mem, 0);
    // Only the GPIO and pin-mux windows can be mapped.
    EXPECT_EQ(qelDev_mmap(nullptr, 4096, PROT_READ, MAP_SHARED, mem, 0), MAP_FAILED);
    EXPECT_EQ(qelDev_mmap(nullptr, QEL_GPIO_PHYS_SIZE + 4096, PROT_READ, MAP_SHARED, mem,
                          QEL_GPIO_PHYS_BASE),
              MAP_FAILED);
    void* gpio = qelDev_mmap(nullptr, QEL_GPIO_PHYS_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, mem,
                             QEL_GPIO_PHYS_BASE);
    ASSERT_NE(gpio, MAP_FAILED);
    auto* base = static_cast<volatile uint32_t*>(gpio);
    // Key: group 7 pin 2, reads 0 while pressed.
    size_t keyWord = (7 * 0x10000 + (1 << 4)) / 4;
    EXPECT_EQ((base[keyWord] >> 2) & 1, 1u);
    qelsim::setKeyPressed(true);
    EXPECT_EQ((base[keyWord] >> 2) & 1, 0u);
    // LED: group 7 pin 1, written by the program.
    base[(7 * 0x10000 + (1 << 3)) / 4] = 0;
    EXPECT_EQ(qelsim::gpioPin(7, 1), 0);
    base[(7 * 0x10000 + (1 << 3)) / 4] = 1 << 1;
    EXPECT_EQ(qelsim::gpioPin(7, 1), 1);
    EXPECT_EQ(qelDev_munmap(gpio, QEL_GPIO_PHYS_SIZE), 0);
    int not_ours = 0;
    EXPECT_EQ(qelDev_munmap(&not_ours, 4), -1);
    qelDev_close(mem);
}

class TdeTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        fd = qelDev_open("/dev/fb0", O_RDWR);
        ASSERT_GE(fd, 0);
        fb_var_screeninfo var;
        ASSERT_EQ(qelDev_ioctl(fd, FBIOGET_VSCREENINFO, &var), 0);
        var.xres = var.xres_virtual = 64;
        var.yres = var.yres_virtual = 32;
        var.bits_per_pixel = 16;
        ASSERT_EQ(qelDev_ioctl(fd, FBIOPUT_VSCREENINFO, &var), 0);
        fb_fix_screeninfo fix;
        ASSERT_EQ(qelDev_ioctl(fd, FBIOGET_FSCREENINFO, &fix), 0);
        screen = TDE2_SURFACE_S{};
        screen.u32PhyAddr = static_cast<HI_U32>(fix.smem_start);
        screen.enColorFmt = TDE2_COLOR_FMT_ARGB1555;
        screen.u32Width = 64;
        screen.u32Height = 32;
        screen.u32Stride = fix.line_length;
        ASSERT_EQ(HI_TDE2_Open(), HI_SUCCESS);
    }
    void TearDown() override {
        HI_TDE2_Close();
        qelDev_close(fd);
    }
    int fd = -1;
    TDE2_SURFACE_S screen{};
};

// The framebuffer and media memory start zeroed, and power-on clears the framebuffer where it
// is: a mapping the program holds still shows it.
TEST_F(TdeTest, MemoryStartsZeroedAndPowerOnClearsTheFramebufferInPlace) {
    HI_U32 phys;
    void* virt;
    const HI_U32 len = 3 * 1024 * 1024 + 5;
    ASSERT_EQ(HI_MPI_SYS_MmzAlloc(&phys, &virt, nullptr, nullptr, len), HI_SUCCESS);
    const uint8_t* block = static_cast<const uint8_t*>(virt);
    EXPECT_EQ(block[0] | block[len / 2] | block[len - 1], 0);
    EXPECT_EQ(HI_MPI_SYS_MmzFree(phys, virt), HI_SUCCESS);

    auto* px = static_cast<uint16_t*>(
        qelDev_mmap(nullptr, 64 * 32 * 2, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    ASSERT_NE(px, MAP_FAILED);
    EXPECT_EQ(qelsim::fbPixel(63, 31), 0u);
    px[1] = 0x8123;
    EXPECT_EQ(qelsim::fbPixel(1, 0), 0x8123);
    qelsim::reset();
    EXPECT_EQ(px[1], 0u);
    EXPECT_EQ(qelsim::fbPixel(1, 0), 0u);
    px[2] = 0x8456;
    EXPECT_EQ(qelsim::fbPixel(2, 0), 0x8456);
}

TEST_F(TdeTest, FillCopyAndResizeChangePixelsWhenTheJobEnds) {
    // A 2x2 source picture in media memory.
    HI_U32 phys;
    void* virt;
    ASSERT_EQ(HI_MPI_SYS_MmzAlloc(&phys, &virt, nullptr, nullptr, 16), HI_SUCCESS);
    uint16_t pix[4] = {0x8001, 0x8002, 0x8003, 0x8004};
    memcpy(virt, pix, sizeof pix);
    TDE2_SURFACE_S src{};
    src.u32PhyAddr = phys;
    src.enColorFmt = TDE2_COLOR_FMT_ARGB1555;
    src.u32Width = 2;
    src.u32Height = 2;
    src.u32Stride = 4;

    TDE_HANDLE h = HI_TDE2_BeginJob();
    ASSERT_GE(h, 0);
    TDE2_RECT_S all{0, 0, 64, 32}, box{10, 5, 4, 3}, srcRect{0, 0, 2, 2};
    ASSERT_EQ(HI_TDE2_QuickFill(h, &screen, &all, 0xFFFF), HI_SUCCESS);
    TDE2_RECT_S copyAt{0, 0, 2, 2}, bigAt{20, 20, 6, 6};
    ASSERT_EQ(HI_TDE2_QuickFill(h, &screen, &box, 0), HI_SUCCESS);
    ASSERT_EQ(HI_TDE2_QuickCopy(h, &src, &srcRect, &screen, &copyAt), HI_SUCCESS);
    ASSERT_EQ(HI_TDE2_QuickResize(h, &src, &srcRect, &screen, &bigAt), HI_SUCCESS);
    EXPECT_EQ(qelsim::fbPixel(40, 20), 0u);  // nothing happens before the job ends
    ASSERT_EQ(HI_TDE2_EndJob(h, HI_FALSE, HI_TRUE, 100), HI_SUCCESS);

    EXPECT_EQ(qelsim::fbPixel(40, 20), 0xFFFF);
    EXPECT_EQ(qelsim::fbPixel(10, 5), 0u);
    EXPECT_EQ(qelsim::fbPixel(13, 7), 0u);
    EXPECT_EQ(qelsim::fbPixel(14, 7), 0xFFFF);
    EXPECT_EQ(qelsim::fbPixel(1, 1), 0x8004);
    EXPECT_EQ(qelsim::fbPixel(20, 20), 0x8001);  // three times the size
    EXPECT_EQ(qelsim::fbPixel(22, 20), 0x8001);
    EXPECT_EQ(qelsim::fbPixel(23, 20), 0x8002);
    EXPECT_EQ(qelsim::fbPixel(25, 25), 0x8004);
    EXPECT_EQ(qelsim::fbPixel(26, 25), 0xFFFF);
}

TEST_F(TdeTest, OutOfBoundsAreasAreRefusedAndCancelledJobsLeaveThePicture) {
    TDE_HANDLE h = HI_TDE2_BeginJob();
    struct Case {
        TDE2_RECT_S rect;
    } cases[] = {{{60, 0, 5, 1}}, {{0, 31, 1, 2}}, {{-1, 0, 1, 1}}, {{0, 0, 0, 1}}};
    for (auto& c : cases)
        EXPECT_EQ(HI_TDE2_QuickFill(h, &screen, &c.rect, 1), HI_ERR_TDE_INVALID_PARA);
    // A surface that claims more memory than there is.
    TDE2_SURFACE_S huge = screen;
    huge.u32Height = 8192;
    huge.u32Stride = 4096;  // 32 MiB, twice the framebuffer
    TDE2_RECT_S tail{0, 8000, 64, 100};
    EXPECT_EQ(HI_TDE2_QuickFill(h, &huge, &tail, 1), HI_ERR_TDE_INVALID_PARA);
    TDE2_SURFACE_S nowhere = screen;
    nowhere.u32PhyAddr = 0x1000;
    TDE2_RECT_S one{0, 0, 1, 1};
    EXPECT_EQ(HI_TDE2_QuickFill(h, &nowhere, &one, 1), HI_ERR_TDE_INVALID_PARA);

    ASSERT_EQ(HI_TDE2_QuickFill(h, &screen, &one, 0x7FFF), HI_SUCCESS);
    ASSERT_EQ(HI_TDE2_CancelJob(h), HI_SUCCESS);
    EXPECT_EQ(qelsim::fbPixel(0, 0), 0u);
    EXPECT_EQ(HI_TDE2_EndJob(h, HI_FALSE, HI_TRUE, 10), HI_ERR_TDE_INVALID_HANDLE);
    HI_TDE2_Close();
    EXPECT_EQ(HI_TDE2_BeginJob(), HI_ERR_TDE_INVALID_HANDLE);
}

TEST_F(TdeTest, FramebufferRefusesSizesBeyondItsMemoryAndPansWithinIt) {
    fb_var_screeninfo var;
    ASSERT_EQ(qelDev_ioctl(fd, FBIOGET_VSCREENINFO, &var), 0);
    fb_var_screeninfo big = var;
    big.xres = big.xres_virtual = 4096;
    big.yres = big.yres_virtual = 4096;
    EXPECT_EQ(qelDev_ioctl(fd, FBIOPUT_VSCREENINFO, &big), -1);
    EXPECT_EQ(errno, EINVAL);
    var.xoffset = 1;
    EXPECT_EQ(qelDev_ioctl(fd, FBIOPAN_DISPLAY, &var), -1);
    var.xoffset = 0;
    EXPECT_EQ(qelDev_ioctl(fd, FBIOPAN_DISPLAY, &var), 0);
    EXPECT_EQ(qelsim::state().fb.pans, 1);
    EXPECT_EQ(qelsim::state().fb.xres, 64u);
}

std::string readFile(const std::string& p) {
    std::ifstream f(p);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

TEST_F(PlatformTest, SimFolderHoldsASnapshotAndTakesInputs) {
    char tmpl[] = "/tmp/qelsim-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string root = tmpl;
    setenv("QEL_ROOT", root.c_str(), 1);
    std::string dir = qelsim::simDir();
    ASSERT_EQ(dir, root + "/sim");

    std::ofstream(dir + "/hdmi") << "connected 1\nedid126 0\n";
    std::ofstream(dir + "/key") << "1\n";
    std::ofstream(dir + "/fail") << "HI_MPI_VO_Enable 0xA00F8009 1\n# comment\nbroken\n";
    qelsim::readInputs();
    qelsim::State st = qelsim::state();
    EXPECT_TRUE(st.hdmi.sinkConnected);
    EXPECT_EQ(st.hdmi.edid126, 0);
    EXPECT_TRUE(st.keyPressed);
    VO_PUB_ATTR_S pub{};
    pub.enIntfType = VO_INTF_HDMI;
    pub.enIntfSync = VO_OUTPUT_1080P60;
    ASSERT_EQ(HI_MPI_VO_SetPubAttr(0, &pub), HI_SUCCESS);
    EXPECT_EQ(HI_MPI_VO_Enable(0), static_cast<HI_S32>(0xA00F8009));
    EXPECT_EQ(HI_MPI_VO_Enable(0), HI_SUCCESS);

    int fb = qelDev_open("/dev/fb0", O_RDWR);
    ASSERT_GE(fb, 0);
    ASSERT_TRUE(qelsim::writeSnapshot());
    Json::Value v;
    Json::Reader reader;
    ASSERT_TRUE(reader.parse(readFile(dir + "/state.json"), v));
    EXPECT_TRUE(v["vo"][0]["enabled"].asBool());
    EXPECT_EQ(v["vo"][0]["intfSync"].asInt(), 10);
    EXPECT_TRUE(v["hdmi"]["sinkConnected"].asBool());
    EXPECT_TRUE(v["gpio"]["keyPressed"].asBool());
    EXPECT_EQ(readFile(dir + "/fb.ppm").substr(0, 15), "P6\n1920 1080\n25");
    struct stat sb;
    EXPECT_NE(stat((dir + "/state.json.tmp").c_str(), &sb), 0);
    qelDev_close(fb);
    unsetenv("QEL_ROOT");
    ::system(("rm -rf '" + root + "'").c_str());
}

}  // namespace
