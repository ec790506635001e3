// The 2D engine: jobs of fills, copies and resizes on surfaces in media memory or in the
// framebuffer. Operations are checked when queued and carried out, all or nothing, when the
// job ends.
#include <cstring>

#include "SimInternal.h"

using namespace qelsim;
using namespace qelsim::detail;

namespace {

uint32_t bytesPerPixel(TDE2_COLOR_FMT_E f) {
    switch (f) {
        case TDE2_COLOR_FMT_RGB444:
        case TDE2_COLOR_FMT_RGB555:
        case TDE2_COLOR_FMT_RGB565:
        case TDE2_COLOR_FMT_ARGB4444:
        case TDE2_COLOR_FMT_ARGB1555:
            return 2;
        case TDE2_COLOR_FMT_ARGB8888:
            return 4;
        default:
            return 0;
    }
}

// One surface area, checked against the surface and against memory.
struct Area {
    uint32_t phys = 0;
    uint32_t stride = 0;
    uint32_t bpp = 0;
    TDE2_RECT_S rect{};
    uint64_t span() const {
        return static_cast<uint64_t>(rect.u32Height - 1) * stride +
               static_cast<uint64_t>(rect.u32Width) * bpp;
    }
    uint32_t first() const {
        return phys + static_cast<uint32_t>(rect.s32Ypos) * stride +
               static_cast<uint32_t>(rect.s32Xpos) * bpp;
    }
};

HI_S32 checkArea(Sim& s, const TDE2_SURFACE_S* surf, const TDE2_RECT_S* rect, Area* out) {
    if (!surf || !rect) return HI_ERR_TDE_NULL_PTR;
    uint32_t bpp = bytesPerPixel(surf->enColorFmt);
    if (bpp == 0) return HI_ERR_TDE_UNSUPPORTED_OPERATION;
    if (surf->u32Width == 0 || surf->u32Height == 0 || surf->u32Width > 8192 ||
        surf->u32Height > 8192 || surf->u32Stride < surf->u32Width * bpp || surf->u32Stride % 4)
        return HI_ERR_TDE_INVALID_PARA;
    if (rect->s32Xpos < 0 || rect->s32Ypos < 0 || rect->u32Width == 0 || rect->u32Height == 0 ||
        static_cast<uint64_t>(rect->s32Xpos) + rect->u32Width > surf->u32Width ||
        static_cast<uint64_t>(rect->s32Ypos) + rect->u32Height > surf->u32Height)
        return HI_ERR_TDE_INVALID_PARA;
    out->phys = surf->u32PhyAddr;
    out->stride = surf->u32Stride;
    out->bpp = bpp;
    out->rect = *rect;
    uint64_t firstOff = static_cast<uint64_t>(rect->s32Ypos) * surf->u32Stride +
                        static_cast<uint64_t>(rect->s32Xpos) * bpp;
    if (surf->u32PhyAddr + firstOff > 0xFFFFFFFFull ||
        !resolvePhys(s, static_cast<uint32_t>(surf->u32PhyAddr + firstOff), out->span()))
        return HI_ERR_TDE_INVALID_PARA;
    return HI_SUCCESS;
}

void putPixel(uint8_t* p, uint32_t bpp, uint32_t v) {
    if (bpp == 2) {
        uint16_t w = static_cast<uint16_t>(v);
        memcpy(p, &w, 2);
    } else {
        memcpy(p, &v, 4);
    }
}

// The operation runs at the end of the job; memory is looked up again then, since a block may
// have been freed in between.
HI_S32 queue(Sim& s, TDE_HANDLE h, std::function<bool()> op) {
    if (!s.st.tdeOpen) return HI_ERR_TDE_DEV_NOT_OPEN;
    auto it = s.tdeJobs.find(h);
    if (it == s.tdeJobs.end()) return HI_ERR_TDE_INVALID_HANDLE;
    it->second.push_back(std::move(op));
    return HI_SUCCESS;
}

}  // namespace

HI_S32 HI_TDE2_Open(HI_VOID) {
    QELSIM_ENTER("%s", "");
    s.st.tdeOpen = true;
    return HI_SUCCESS;
}

HI_VOID HI_TDE2_Close(HI_VOID) {
    Sim& s = sim();
    std::unique_lock<std::mutex> l(s.mu);
    if (enter(s, l, __func__, "")) return;
    s.st.tdeOpen = false;
    s.tdeJobs.clear();
}

TDE_HANDLE HI_TDE2_BeginJob(HI_VOID) {
    Sim& s = sim();
    std::unique_lock<std::mutex> l(s.mu);
    if (enter(s, l, __func__, "")) return HI_ERR_TDE_INVALID_HANDLE;
    if (!s.st.tdeOpen || static_cast<int>(s.tdeJobs.size()) >= kMaxTdeJobs)
        return HI_ERR_TDE_INVALID_HANDLE;
    int h = s.nextTdeHandle;
    s.nextTdeHandle = s.nextTdeHandle >= 0x7FFF ? 1 : s.nextTdeHandle + 1;
    s.tdeJobs[h];
    return h;
}

HI_S32 HI_TDE2_EndJob(TDE_HANDLE s32Handle, HI_BOOL bSync, HI_BOOL bBlock, HI_U32 u32TimeOut) {
    QELSIM_ENTER("%d,%d,%d,%u", s32Handle, static_cast<int>(bSync), static_cast<int>(bBlock),
                 u32TimeOut);
    if (!s.st.tdeOpen) return HI_ERR_TDE_DEV_NOT_OPEN;
    auto it = s.tdeJobs.find(s32Handle);
    if (it == s.tdeJobs.end()) return HI_ERR_TDE_INVALID_HANDLE;
    std::vector<std::function<bool()>> ops = std::move(it->second);
    s.tdeJobs.erase(it);
    bool ok = true;
    for (auto& op : ops) ok = op() && ok;
    s.st.tdeJobsDone++;
    s.st.fb.generation++;
    return ok ? HI_SUCCESS : HI_ERR_TDE_INVALID_PARA;
}

HI_S32 HI_TDE2_CancelJob(TDE_HANDLE s32Handle) {
    QELSIM_ENTER("%d", s32Handle);
    if (!s.st.tdeOpen) return HI_ERR_TDE_DEV_NOT_OPEN;
    if (!s.tdeJobs.erase(s32Handle)) return HI_ERR_TDE_INVALID_HANDLE;
    s.st.tdeJobsCancelled++;
    return HI_SUCCESS;
}

HI_S32 HI_TDE2_QuickFill(TDE_HANDLE s32Handle, TDE2_SURFACE_S* pstDst, TDE2_RECT_S* pstDstRect,
                         HI_U32 u32FillData) {
    QELSIM_ENTER("%d,dst=%#x,%d,%d,%u,%u,%#x", s32Handle, pstDst ? pstDst->u32PhyAddr : 0u,
                 pstDstRect ? pstDstRect->s32Xpos : 0, pstDstRect ? pstDstRect->s32Ypos : 0,
                 pstDstRect ? pstDstRect->u32Width : 0u, pstDstRect ? pstDstRect->u32Height : 0u,
                 u32FillData);
    Area dst;
    if (HI_S32 r = checkArea(s, pstDst, pstDstRect, &dst)) return r;
    Sim* sp = &s;
    return queue(s, s32Handle, [sp, dst, u32FillData]() {
        uint8_t* base = resolvePhys(*sp, dst.first(), dst.span());
        if (!base) return false;
        for (uint32_t y = 0; y < dst.rect.u32Height; ++y)
            for (uint32_t x = 0; x < dst.rect.u32Width; ++x)
                putPixel(base + static_cast<uint64_t>(y) * dst.stride + x * dst.bpp, dst.bpp,
                         u32FillData);
        return true;
    });
}

HI_S32 HI_TDE2_QuickCopy(TDE_HANDLE s32Handle, TDE2_SURFACE_S* pstSrc, TDE2_RECT_S* pstSrcRect,
                         TDE2_SURFACE_S* pstDst, TDE2_RECT_S* pstDstRect) {
    QELSIM_ENTER("%d,src=%#x,dst=%#x,%d,%d,%u,%u", s32Handle, pstSrc ? pstSrc->u32PhyAddr : 0u,
                 pstDst ? pstDst->u32PhyAddr : 0u, pstDstRect ? pstDstRect->s32Xpos : 0,
                 pstDstRect ? pstDstRect->s32Ypos : 0, pstDstRect ? pstDstRect->u32Width : 0u,
                 pstDstRect ? pstDstRect->u32Height : 0u);
    Area src, dst;
    if (HI_S32 r = checkArea(s, pstSrc, pstSrcRect, &src)) return r;
    if (HI_S32 r = checkArea(s, pstDst, pstDstRect, &dst)) return r;
    if (src.bpp != dst.bpp || src.rect.u32Width != dst.rect.u32Width ||
        src.rect.u32Height != dst.rect.u32Height)
        return HI_ERR_TDE_INVALID_PARA;
    Sim* sp = &s;
    return queue(s, s32Handle, [sp, src, dst]() {
        uint8_t* from = resolvePhys(*sp, src.first(), src.span());
        uint8_t* to = resolvePhys(*sp, dst.first(), dst.span());
        if (!from || !to) return false;
        std::vector<uint8_t> tmp(static_cast<size_t>(src.rect.u32Width) * src.bpp);
        // Line order chosen so that overlapping areas copy as a whole.
        bool up = to > from;
        for (uint32_t i = 0; i < src.rect.u32Height; ++i) {
            uint32_t y = up ? src.rect.u32Height - 1 - i : i;
            memcpy(tmp.data(), from + static_cast<uint64_t>(y) * src.stride, tmp.size());
            memcpy(to + static_cast<uint64_t>(y) * dst.stride, tmp.data(), tmp.size());
        }
        return true;
    });
}

HI_S32 HI_TDE2_QuickResize(TDE_HANDLE s32Handle, TDE2_SURFACE_S* pstSrc, TDE2_RECT_S* pstSrcRect,
                           TDE2_SURFACE_S* pstDst, TDE2_RECT_S* pstDstRect) {
    QELSIM_ENTER("%d,src=%#x,dst=%#x,%d,%d,%u,%u", s32Handle, pstSrc ? pstSrc->u32PhyAddr : 0u,
                 pstDst ? pstDst->u32PhyAddr : 0u, pstDstRect ? pstDstRect->s32Xpos : 0,
                 pstDstRect ? pstDstRect->s32Ypos : 0, pstDstRect ? pstDstRect->u32Width : 0u,
                 pstDstRect ? pstDstRect->u32Height : 0u);
    Area src, dst;
    if (HI_S32 r = checkArea(s, pstSrc, pstSrcRect, &src)) return r;
    if (HI_S32 r = checkArea(s, pstDst, pstDstRect, &dst)) return r;
    if (src.bpp != dst.bpp) return HI_ERR_TDE_INVALID_PARA;
    Sim* sp = &s;
    return queue(s, s32Handle, [sp, src, dst]() {
        uint8_t* from = resolvePhys(*sp, src.first(), src.span());
        uint8_t* to = resolvePhys(*sp, dst.first(), dst.span());
        if (!from || !to) return false;
        std::vector<uint8_t> copy(src.span());
        memcpy(copy.data(), from, copy.size());
        // Nearest neighbour.
        for (uint32_t y = 0; y < dst.rect.u32Height; ++y) {
            uint64_t sy = static_cast<uint64_t>(y) * src.rect.u32Height / dst.rect.u32Height;
            for (uint32_t x = 0; x < dst.rect.u32Width; ++x) {
                uint64_t sx = static_cast<uint64_t>(x) * src.rect.u32Width / dst.rect.u32Width;
                memcpy(to + static_cast<uint64_t>(y) * dst.stride + x * dst.bpp,
                       copy.data() + sy * src.stride + sx * src.bpp, dst.bpp);
            }
        }
        return true;
    });
}
