// The picture of an output: windows placed, cropped and scaled from their decoders' pictures,
// hidden, stacked, the framebuffer on top; and the software decoder's pictures in it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/mman.h>

#include <chrono>
#include <cstdlib>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "SimControl.h"
#include "hi_platform.h"

namespace {

constexpr uint32_t kBackground = 0x102030;
constexpr int kPicW = 640, kPicH = 360;

// A picture whose every pixel tells where it lies: red and green the column (low byte, high
// bits), blue the row.
qelsim::RgbPicture coordinatePicture() {
    qelsim::RgbPicture p;
    p.width = kPicW;
    p.height = kPicH;
    p.rgb.resize(static_cast<size_t>(kPicW) * kPicH * 3);
    for (int y = 0; y < kPicH; ++y)
        for (int x = 0; x < kPicW; ++x) {
            uint8_t* px = &p.rgb[(static_cast<size_t>(y) * kPicW + x) * 3];
            px[0] = static_cast<uint8_t>(x & 0xFF);
            px[1] = static_cast<uint8_t>(x >> 8);
            px[2] = static_cast<uint8_t>(y & 0xFF);
        }
    return p;
}

uint32_t coordinate(int x, int y) {
    return static_cast<uint32_t>(x & 0xFF) << 16 | static_cast<uint32_t>(x >> 8) << 8 |
           static_cast<uint32_t>(y & 0xFF);
}

qelsim::RgbPicture solid(uint32_t rgb, int w = 64, int h = 36) {
    qelsim::RgbPicture p;
    p.width = w;
    p.height = h;
    for (int i = 0; i < w * h; ++i) {
        p.rgb.push_back(static_cast<uint8_t>(rgb >> 16));
        p.rgb.push_back(static_cast<uint8_t>(rgb >> 8));
        p.rgb.push_back(static_cast<uint8_t>(rgb));
    }
    return p;
}

// Output device 0 at 1080p; window w is output channel w, fed by decode channel w through
// scaler group w.
class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("QEL_ROOT");
        qelsim::reset();
        VO_PUB_ATTR_S pub{};
        pub.u32BgColor = kBackground;
        pub.enIntfType = VO_INTF_HDMI;
        pub.enIntfSync = VO_OUTPUT_1080P60;
        ASSERT_EQ(HI_MPI_VO_SetPubAttr(0, &pub), HI_SUCCESS);
        ASSERT_EQ(HI_MPI_VO_Enable(0), HI_SUCCESS);
        VO_VIDEO_LAYER_ATTR_S layer{};
        layer.stDispRect = RECT_S{0, 0, 1920, 1080};
        layer.stImageSize = SIZE_S{1920, 1080};
        layer.u32DispFrmRt = 60;
        layer.enPixFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_420;
        ASSERT_EQ(HI_MPI_VO_SetVideoLayerAttr(0, &layer), HI_SUCCESS);
        ASSERT_EQ(HI_MPI_VO_EnableVideoLayer(0), HI_SUCCESS);
    }
    void TearDown() override { qelsim::reset(); }

    void window(int w, RECT_S rect, uint32_t priority = 0, PAYLOAD_TYPE_E type = PT_H264) {
        VDEC_CHN_ATTR_S a{};
        a.enType = type;
        a.u32PicWidth = 1920;
        a.u32PicHeight = 1080;
        a.u32BufSize = 1 << 20;
        ASSERT_EQ(HI_MPI_VDEC_CreateChn(w, &a), HI_SUCCESS);
        ASSERT_EQ(HI_MPI_VDEC_StartRecvStream(w), HI_SUCCESS);
        VPSS_GRP_ATTR_S g{};
        g.u32MaxW = 1920;
        g.u32MaxH = 1080;
        ASSERT_EQ(HI_MPI_VPSS_CreatGrp(w, &g), HI_SUCCESS);
        MPP_CHN_S dec{HI_ID_VDEC, 0, w}, grp{HI_ID_VPSS, w, 0}, grpOut{HI_ID_VPSS, w, 1},
            vo{HI_ID_VOU, 0, w};
        ASSERT_EQ(HI_MPI_SYS_Bind(&dec, &grp), HI_SUCCESS);
        ASSERT_EQ(HI_MPI_SYS_Bind(&grpOut, &vo), HI_SUCCESS);
        VO_CHN_ATTR_S c{};
        c.u32Priority = priority;
        c.stRect = rect;
        ASSERT_EQ(HI_MPI_VO_SetChnAttr(0, w, &c), HI_SUCCESS);
        ASSERT_EQ(HI_MPI_VO_EnableChn(0, w), HI_SUCCESS);
    }
    void crop(int w, RECT_S r) {
        VPSS_CLIP_INFO_S clip{};
        clip.bEnable = HI_TRUE;
        clip.enClipCoordinate = VPSS_CROP_ABS_COOR;
        clip.stClipRect = r;
        ASSERT_EQ(HI_MPI_VPSS_SetClipCfg(w, &clip), HI_SUCCESS);
    }
};

// Where the pixels of a window come from: the crop (the whole picture when off) scaled onto
// the window's rectangle. A bezel cut is a crop that leaves out the picture's edge.
TEST_F(ScreenTest, AWindowShowsItsCropScaledOntoItsRectangle) {
    struct Case {
        const char* name;
        RECT_S rect;
        bool cropped;
        RECT_S clip;  // in picture pixels
    } cases[] = {
        {"whole picture, twice its size", {100, 60, 1280, 720}, false, {}},
        {"whole picture, shrunk", {1000, 500, 320, 180}, false, {}},
        {"left half across the screen", {0, 0, 1920, 1080}, true, {0, 0, 320, 360}},
        {"bezel cut of a right tile", {960, 0, 960, 540}, true, {336, 16, 304, 328}},
        {"crop reaching past the picture", {0, 540, 960, 540}, true, {320, 0, 400, 360}},
    };
    qelsim::RgbPicture pic = coordinatePicture();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        window(0, c.rect);
        if (c.cropped) crop(0, c.clip);
        qelsim::setDecodedPicture(0, pic);
        RECT_S src = c.cropped ? c.clip : RECT_S{0, 0, kPicW, kPicH};
        if (src.s32X + src.u32Width > static_cast<uint32_t>(kPicW))
            src.u32Width = kPicW - src.s32X;  // what lies on the picture
        qelsim::RgbPicture out = qelsim::screen(0);
        ASSERT_EQ(out.width, 1920u);
        ASSERT_EQ(out.height, 1080u);
        const RECT_S& r = c.rect;
        int xs[] = {0, 1, static_cast<int>(r.u32Width) / 2, static_cast<int>(r.u32Width) - 1};
        int ys[] = {0, static_cast<int>(r.u32Height) / 3, static_cast<int>(r.u32Height) - 1};
        for (int dx : xs)
            for (int dy : ys) {
                int sx = src.s32X +
                         static_cast<int>(dx * static_cast<int64_t>(src.u32Width) / r.u32Width);
                int sy = src.s32Y +
                         static_cast<int>(dy * static_cast<int64_t>(src.u32Height) / r.u32Height);
                EXPECT_EQ(out.pixel(r.s32X + dx, r.s32Y + dy), coordinate(sx, sy))
                    << dx << "," << dy;
            }
        // Just outside the rectangle, the background.
        if (r.s32X > 0) {
            EXPECT_EQ(out.pixel(r.s32X - 1, r.s32Y), kBackground);
        }
        if (r.s32Y + r.u32Height < 1080) {
            EXPECT_EQ(out.pixel(r.s32X, r.s32Y + r.u32Height), kBackground);
        }
    }
}

TEST_F(ScreenTest, HiddenOrDisabledWindowsAndWindowsWithoutPictureShowTheBackground) {
    window(0, {0, 0, 960, 540});
    window(1, {960, 0, 960, 540});
    window(2, {0, 540, 960, 540});
    qelsim::setDecodedPicture(0, solid(0xFF0000));
    qelsim::setDecodedPicture(1, solid(0x00FF00));
    // Window 2 has no picture yet.
    qelsim::RgbPicture out = qelsim::screen(0);
    EXPECT_EQ(out.pixel(480, 270), 0xFF0000u);
    EXPECT_EQ(out.pixel(1440, 270), 0x00FF00u);
    EXPECT_EQ(out.pixel(480, 810), kBackground);
    EXPECT_EQ(out.pixel(1440, 810), kBackground);

    ASSERT_EQ(HI_MPI_VO_ChnHide(0, 0), HI_SUCCESS);
    ASSERT_EQ(HI_MPI_VO_DisableChn(0, 1), HI_SUCCESS);
    out = qelsim::screen(0);
    EXPECT_EQ(out.pixel(480, 270), kBackground);
    EXPECT_EQ(out.pixel(1440, 270), kBackground);
    ASSERT_EQ(HI_MPI_VO_ChnShow(0, 0), HI_SUCCESS);
    EXPECT_EQ(qelsim::screen(0).pixel(480, 270), 0xFF0000u);

    // A decode channel that ends takes its picture along.
    ASSERT_EQ(HI_MPI_VDEC_StopRecvStream(0), HI_SUCCESS);
    ASSERT_EQ(HI_MPI_VDEC_DestroyChn(0), HI_SUCCESS);
    EXPECT_EQ(qelsim::screen(0).pixel(480, 270), kBackground);

    // Without its video layer the output shows only the background; switched off, black.
    ASSERT_EQ(HI_MPI_VO_DisableVideoLayer(0), HI_SUCCESS);
    EXPECT_EQ(qelsim::screen(0).pixel(1440, 270), kBackground);
    ASSERT_EQ(HI_MPI_VO_Disable(0), HI_SUCCESS);
    out = qelsim::screen(0);
    EXPECT_EQ(out.pixel(1440, 270), 0u);
    EXPECT_EQ(out.pixel(10, 10), 0u);
}

// Windows of a higher priority (the picture-in-picture layer) lie over the others whatever
// their numbers; among one priority the higher channel lies on top.
TEST_F(ScreenTest, OverlappingWindowsStackByPriorityThenChannel) {
    window(3, {400, 200, 800, 600}, 1);
    window(5, {0, 0, 1920, 1080}, 0);
    window(6, {200, 100, 400, 300}, 0);
    qelsim::setDecodedPicture(3, solid(0x0000FF));
    qelsim::setDecodedPicture(5, solid(0xFF0000));
    qelsim::setDecodedPicture(6, solid(0x00FF00));
    qelsim::RgbPicture out = qelsim::screen(0);
    EXPECT_EQ(out.pixel(10, 10), 0xFF0000u);
    EXPECT_EQ(out.pixel(250, 150), 0x00FF00u);
    EXPECT_EQ(out.pixel(500, 350), 0x0000FFu);  // over both
    EXPECT_EQ(out.pixel(1100, 700), 0x0000FFu);
    EXPECT_EQ(out.pixel(1300, 900), 0xFF0000u);
}

TEST_F(ScreenTest, TheFramebufferLiesOnTopWhereItIsOpaque) {
    window(0, {0, 0, 1920, 1080});
    qelsim::setDecodedPicture(0, solid(0x00FF00));
    int fd = qelDev_open("/dev/fb0", O_RDWR);
    ASSERT_GE(fd, 0);
    fb_var_screeninfo var{};
    ASSERT_EQ(qelDev_ioctl(fd, FBIOGET_VSCREENINFO, &var), 0);
    fb_fix_screeninfo fix{};
    ASSERT_EQ(qelDev_ioctl(fd, FBIOGET_FSCREENINFO, &fix), 0);
    ASSERT_EQ(var.bits_per_pixel, 16u);
    size_t bytes = static_cast<size_t>(fix.line_length) * var.yres_virtual;
    void* mem = qelDev_mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(mem, MAP_FAILED);
    auto* px = static_cast<uint16_t*>(mem);
    // An opaque white box at (100..199, 50..99), a transparent red one beside it.
    for (int y = 50; y < 100; ++y)
        for (int x = 100; x < 300; ++x)
            px[y * (fix.line_length / 2) + x] = x < 200 ? 0xFFFF : 0x7C00;
    qelsim::RgbPicture out = qelsim::screen(0);
    EXPECT_EQ(out.pixel(150, 75), 0xFFFFFFu);
    EXPECT_EQ(out.pixel(250, 75), 0x00FF00u);
    EXPECT_EQ(out.pixel(150, 120), 0x00FF00u);
    // Only device 0 carries the framebuffer.
    EXPECT_EQ(qelsim::screen(1).pixel(150, 75), 0u);
    qelDev_munmap(mem, bytes);
    qelDev_close(fd);
}

// A JPEG of given colours (left half, right half), made with libavcodec.
std::vector<uint8_t> jpeg(uint32_t left, uint32_t right, int w, int h) {
    std::vector<uint8_t> out;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec) return out;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = w;
    ctx->height = h;
    ctx->pix_fmt = AV_PIX_FMT_YUVJ444P;
    ctx->time_base = AVRational{1, 25};
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = FF_QP2LAMBDA * 2;
    AVFrame* f = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    if (avcodec_open2(ctx, codec, nullptr) == 0) {
        f->width = w;
        f->height = h;
        f->format = ctx->pix_fmt;
        f->quality = ctx->global_quality;
        av_frame_get_buffer(f, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t rgb = x < w / 2 ? left : right;
                double r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
                f->data[0][y * f->linesize[0] + x] =
                    static_cast<uint8_t>(0.299 * r + 0.587 * g + 0.114 * b + 0.5);
                f->data[1][y * f->linesize[1] + x] =
                    static_cast<uint8_t>(128 - 0.168736 * r - 0.331264 * g + 0.5 * b + 0.5);
                f->data[2][y * f->linesize[2] + x] =
                    static_cast<uint8_t>(128 + 0.5 * r - 0.418688 * g - 0.081312 * b + 0.5);
            }
        if (avcodec_send_frame(ctx, f) == 0 && avcodec_receive_packet(ctx, pkt) == 0)
            out.assign(pkt->data, pkt->data + pkt->size);
    }
    av_packet_free(&pkt);
    av_frame_free(&f);
    avcodec_free_context(&ctx);
    return out;
}

bool near(uint32_t a, uint32_t b) {
    for (int shift : {16, 8, 0})
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                     static_cast<int>((b >> shift) & 0xFF)) > 24)
            return false;
    return true;
}

// With decoding on, what a channel is sent is what its window shows; without, nothing.
TEST_F(ScreenTest, TheDecoderShowsTheJpegItIsSentWhenDecodingIsOn) {
    std::vector<uint8_t> picture = jpeg(0xE00000, 0x0000E0, 320, 176);
    ASSERT_FALSE(picture.empty());
    for (bool on : {false, true}) {
        SCOPED_TRACE(on ? "decoding on" : "decoding off");
        if (on)
            setenv("QEL_SIM_DECODE", "1", 1);
        else
            unsetenv("QEL_SIM_DECODE");
        SetUp();
        window(2, {960, 540, 960, 540}, 0, PT_JPEG);
        VDEC_STREAM_S st{picture.data(), static_cast<HI_U32>(picture.size()), 0};
        ASSERT_EQ(HI_MPI_VDEC_SendStream(2, &st, HI_IO_BLOCK), HI_SUCCESS);
        qelsim::RgbPicture out;
        auto t0 = std::chrono::steady_clock::now();
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            out = qelsim::screen(0);
        } while (on && out.pixel(1200, 800) == kBackground &&
                 std::chrono::steady_clock::now() - t0 < std::chrono::seconds(10));
        if (on) {
            EXPECT_TRUE(near(out.pixel(1200, 800), 0xE00000)) << std::hex << out.pixel(1200, 800);
            EXPECT_TRUE(near(out.pixel(1700, 800), 0x0000E0)) << std::hex << out.pixel(1700, 800);
        } else {
            EXPECT_EQ(out.pixel(1200, 800), kBackground);
        }
        EXPECT_EQ(out.pixel(900, 800), kBackground);
    }
    unsetenv("QEL_SIM_DECODE");
}

}  // namespace
