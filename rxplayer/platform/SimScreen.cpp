// The picture an output device puts out: its windows with what their decoders show, cropped,
// scaled and stacked as the output is set up, and the framebuffer on top.
#include <algorithm>

#include "SimInternal.h"

namespace qelsim {
namespace detail {

namespace {

bool isOutput(const MPP_CHN_S& c, int dev, int chn) {
    return c.enModId == HI_ID_VOU && c.s32DevId == dev && c.s32ChnId == chn;
}

// Where output channel (dev, chn) takes its pictures from: a decode channel, directly or
// through a scaler group whose crop then applies.
void findSource(const State& st, int dev, int chn, ScreenWindow* w) {
    for (const Bind& b : st.binds) {
        if (!isOutput(b.dst, dev, chn)) continue;
        if (b.src.enModId == HI_ID_VDEC) {
            w->vdec = b.src.s32ChnId;
            return;
        }
        if (b.src.enModId != HI_ID_VPSS) continue;
        int grp = b.src.s32DevId;
        for (const Bind& in : st.binds) {
            if (in.dst.enModId != HI_ID_VPSS || in.dst.s32DevId != grp ||
                in.src.enModId != HI_ID_VDEC)
                continue;
            w->vdec = in.src.s32ChnId;
            if (grp >= 0 && grp < VPSS_MAX_GRP_NUM && st.vpss[grp].exists &&
                st.vpss[grp].clip.bEnable) {
                w->crop = true;
                w->clip = st.vpss[grp].clip.stClipRect;
            }
            return;
        }
    }
}

// The part [start, start + length) of [0, size), as a half-open range.
void clampRange(int64_t start, int64_t length, int64_t size, int64_t* from, int64_t* to) {
    *from = std::max<int64_t>(0, start);
    *to = std::min<int64_t>(size, start + length);
}

void fill(RgbPicture& pic, uint32_t rgb) {
    for (size_t i = 0; i < pic.rgb.size(); i += 3) {
        pic.rgb[i] = static_cast<uint8_t>(rgb >> 16);
        pic.rgb[i + 1] = static_cast<uint8_t>(rgb >> 8);
        pic.rgb[i + 2] = static_cast<uint8_t>(rgb);
    }
}

// Scales the part src of pic onto the rectangle dst of out (nearest pixel).
void drawScaled(RgbPicture& out, const RgbPicture& pic, const RECT_S& src, const RECT_S& dst) {
    int64_t x0, x1, y0, y1;
    clampRange(dst.s32X, dst.u32Width, out.width, &x0, &x1);
    clampRange(dst.s32Y, dst.u32Height, out.height, &y0, &y1);
    if (x0 >= x1 || y0 >= y1 || src.u32Width == 0 || src.u32Height == 0) return;
    std::vector<uint32_t> column(static_cast<size_t>(x1 - x0));
    for (int64_t x = x0; x < x1; ++x)
        column[x - x0] = static_cast<uint32_t>(
            src.s32X + (x - dst.s32X) * static_cast<int64_t>(src.u32Width) / dst.u32Width);
    for (int64_t y = y0; y < y1; ++y) {
        int64_t sy =
            src.s32Y + (y - dst.s32Y) * static_cast<int64_t>(src.u32Height) / dst.u32Height;
        const uint8_t* from = &pic.rgb[static_cast<size_t>(sy) * pic.width * 3];
        uint8_t* to = &out.rgb[(static_cast<size_t>(y) * out.width + x0) * 3];
        for (size_t i = 0; i < column.size(); ++i, to += 3) {
            const uint8_t* p = from + static_cast<size_t>(column[i]) * 3;
            to[0] = p[0];
            to[1] = p[1];
            to[2] = p[2];
        }
    }
}

}  // namespace

ScreenLayout screenLayout(Sim& s, int dev) {
    ScreenLayout l;
    if (dev < 0 || dev >= VO_MAX_DEV_NUM) return l;
    const VoDevice& d = s.st.vo[dev];
    deviceArea(d, &l.width, &l.height);
    l.enabled = d.enabled;
    l.background = d.pubAttr.u32BgColor & 0xFFFFFFu;
    if (d.enabled && d.layerEnabled) {
        for (int c = 0; c < VO_MAX_CHN_NUM; ++c) {
            const VoChannel& ch = d.chn[c];
            if (!ch.enabled || ch.hidden || !ch.attrSet) continue;
            ScreenWindow w;
            w.chn = c;
            w.priority = ch.attr.u32Priority;
            w.rect = ch.attr.stRect;
            findSource(s.st, dev, c, &w);
            if (w.vdec >= 0 && w.vdec < VDEC_MAX_CHN_NUM && s.st.vdec[w.vdec].exists)
                l.windows.push_back(w);
        }
    }
    std::stable_sort(
        l.windows.begin(), l.windows.end(),
        [](const ScreenWindow& a, const ScreenWindow& b) { return a.priority < b.priority; });
    if (d.enabled && dev == 0 && s.st.fb.opens > 0 && !s.fbMem.empty()) {
        l.osd = true;
        l.fb = copyFbPicture(s);
    }
    return l;
}

RgbPicture composeScreen(const ScreenLayout& l) {
    RgbPicture out;
    out.width = l.width;
    out.height = l.height;
    out.rgb.assign(static_cast<size_t>(l.width) * l.height * 3, 0);
    if (!l.enabled) return out;
    fill(out, l.background);
    for (const ScreenWindow& w : l.windows) {
        std::shared_ptr<const RgbPicture> pic = decodedPicture(w.vdec);
        if (!pic || pic->width == 0 || pic->height == 0) continue;
        RECT_S src{0, 0, pic->width, pic->height};
        if (w.crop) {
            // A crop reaching past the picture keeps the part that lies on it.
            int64_t x0, x1, y0, y1;
            clampRange(w.clip.s32X, w.clip.u32Width, pic->width, &x0, &x1);
            clampRange(w.clip.s32Y, w.clip.u32Height, pic->height, &y0, &y1);
            if (x0 >= x1 || y0 >= y1) continue;
            src = RECT_S{static_cast<HI_S32>(x0), static_cast<HI_S32>(y0),
                         static_cast<HI_U32>(x1 - x0), static_cast<HI_U32>(y1 - y0)};
        }
        drawScaled(out, *pic, src, w.rect);
    }
    if (l.osd && l.fb.fb.xres > 0 && l.fb.fb.yres > 0) {
        for (uint32_t y = 0; y < out.height; ++y) {
            uint32_t fy =
                static_cast<uint32_t>(static_cast<uint64_t>(y) * l.fb.fb.yres / out.height);
            uint8_t* to = &out.rgb[static_cast<size_t>(y) * out.width * 3];
            for (uint32_t x = 0; x < out.width; ++x, to += 3) {
                uint32_t fx =
                    static_cast<uint32_t>(static_cast<uint64_t>(x) * l.fb.fb.xres / out.width);
                fbPictureRgb(l.fb, fx, fy, to);
            }
        }
    }
    return out;
}

}  // namespace detail

using namespace detail;

RgbPicture screen(int dev) {
    Sim& s = sim();
    std::lock_guard<std::mutex> files(s.fileMu);
    preparePictureCopy(s);
    ScreenLayout layout;
    {
        std::lock_guard<std::mutex> l(s.mu);
        advanceDecoders(s, std::chrono::steady_clock::now());
        layout = screenLayout(s, dev);
    }
    return composeScreen(layout);
}

void setDecodedPicture(int chn, const RgbPicture& pic) {
    if (pic.rgb.size() != static_cast<size_t>(pic.width) * pic.height * 3) return;
    setDecoded(chn, std::make_shared<const RgbPicture>(pic));
}

}  // namespace qelsim
