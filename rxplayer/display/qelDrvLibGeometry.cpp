#include "display/qelDrvLibGeometry.h"

#include <cstdio>

namespace qelgeo {

namespace {

bool strictlyInside(const WinRect& r, int x, int y) {
    return r.left < x && x < r.right && r.top < y && y < r.bottom;
}

bool cornerInside(const WinRect& outer, const WinRect& inner) {
    return strictlyInside(outer, inner.left, inner.top) ||
           strictlyInside(outer, inner.right, inner.top) ||
           strictlyInside(outer, inner.left, inner.bottom) ||
           strictlyInside(outer, inner.right, inner.bottom);
}

// c lies within k's columns and reaches from above k's top into it.
bool coversFromAbove(const WinRect& c, const WinRect& k) {
    return c.left >= k.left && c.right <= k.right && c.top <= k.top &&
           (c.bottom >= k.bottom || c.bottom > k.top);
}

// c lies within k's rows and reaches from left of k's left edge into it.
bool coversFromLeft(const WinRect& c, const WinRect& k) {
    return c.left <= k.left && c.top >= k.top && c.bottom <= k.bottom &&
           (c.right >= k.right || c.right > k.left);
}

int floorTo16(int v) {
    return v / 16 * 16;
}

}  // namespace

bool windowsOverlap(const WinRect& c, const WinRect& k) {
    return cornerInside(c, k) || cornerInside(k, c) || coversFromAbove(c, k) ||
           coversFromAbove(k, c) || coversFromLeft(c, k) || coversFromLeft(k, c);
}

int clipPos(int sourceSize, int percent) {
    return 16 * static_cast<int>(static_cast<long long>(sourceSize) * percent / 1600);
}

CropAxis plainCrop(int sourceSize, int clipStart, int clipStop) {
    int x = clipPos(sourceSize, clipStart);
    return {x, clipPos(sourceSize, clipStop) - x};
}

CropAxis cutEdgeCrop(int sourceSize, int clipStart, int clipStop, int displayExtent, int cutEdge,
                     int win, bool horizontal) {
    if (cutEdge == 0 || displayExtent <= 0) return plainCrop(sourceSize, clipStart, clipStop);

    // The cut in source pixels: the bezel amount scaled from display to source pixels, in whole
    // steps of 16.
    long long scaled = static_cast<long long>(cutEdge) * sourceSize * (clipStop - clipStart) / 50;
    int cut = scaled <= 0 ? 0 : 16 * static_cast<int>(scaled / displayExtent / 16);

    const char* tooSmall = horizontal ? "stVpssClipInfo[%d].stClipRect.u32Width: %d \n"
                                      : "stVpssClipInfo[%d].stClipRect.u32Height: %d \n";
    int x = clipPos(sourceSize, clipStart);
    int w0 = clipPos(sourceSize, clipStop);
    CropAxis out{x, w0 - x};

    if (clipStart == 0 && clipStop <= 99) {
        printf(horizontal
                   ? "voWinCur.u8xClipStop < 100  voWinCur.u8xClipStart == 0 iCutPixelHor: %d \n"
                   : "voWinCur.u8yClipStop < 100  voWinCur.u8yClipStart == 0  iCutPixelVer: %d \n",
               cut);
        if (cut <= 16) {
            cut = 16;
            x += 8;
        }
        out.offset = x;
        if (w0 >= x + cut / 2 + 32) {
            out.length = floorTo16(w0 - x - cut / 2);
        } else {
            printf(tooSmall, win, w0);
            out.length = 32;
        }
        return out;
    }
    if (clipStart > 0) {
        bool farEdge = clipStop == 100;
        if (farEdge)
            printf(horizontal ? "voWinCur.u8xClipStart > 0   voWinCur.u8xClipStop == 100   "
                                "iCutPixelHor: %d \n"
                              : "voWinCur.u8yClipStart > 0   voWinCur.u8yClipStop == 100   "
                                "iCutPixelVer: %d \n",
                   cut);
        else
            printf(
                horizontal
                    ? "voWinCur.u8xClipStart > 0 voWinCur.u8xClipStop < 100  iCutPixelHor: %d \n"
                    : "voWinCur.u8yClipStart > 0  voWinCur.u8yClipStop < 100   iCutPixelVer: %d \n",
                cut);
        if (cut <= 16) {
            cut = 16;
            x += 8;
        } else {
            x += 16 * (cut / 32);
        }
        out.offset = x;
        // The far side of an inner tile loses the other half of the cut as well.
        int farCut = farEdge ? 0 : 16 * (cut / 32);
        if (w0 >= x + farCut + 32) {
            out.length = cut == 16 ? floorTo16(w0 - x - 8) : w0 - x - farCut;
        } else {
            printf(tooSmall, win, w0);
            out.length = 32;
        }
        return out;
    }
    return out;
}

}  // namespace qelgeo
