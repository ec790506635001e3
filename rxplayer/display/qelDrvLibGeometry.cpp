#include "display/qelDrvLibGeometry.h"

#include <climits>
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

// The cut arithmetic runs in 64 bits: a source size comes from the stream and may be far
// larger than any picture; results are then held to the int range of the crop record.
using i64 = long long;

i64 floorTo16(i64 v) {
    return v / 16 * 16;
}

int toInt(i64 v) {
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
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
    int length = clipPos(sourceSize, clipStop) - x;
    return {x, length < 0 ? 0 : length};  // a stop before the start crops nothing
}

CropAxis cutEdgeCrop(int sourceSize, int clipStart, int clipStop, int displayExtent, int cutEdge,
                     int win, bool horizontal) {
    if (cutEdge == 0 || displayExtent <= 0) return plainCrop(sourceSize, clipStart, clipStop);

    // The cut in source pixels: the bezel amount scaled from display to source pixels, in whole
    // steps of 16.
    i64 scaled = static_cast<i64>(cutEdge) * sourceSize * (clipStop - clipStart) / 50;
    i64 cut = scaled <= 0 ? 0 : 16 * (scaled / displayExtent / 16);

    const char* tooSmall = horizontal ? "stVpssClipInfo[%d].stClipRect.u32Width: %d \n"
                                      : "stVpssClipInfo[%d].stClipRect.u32Height: %d \n";
    i64 x = clipPos(sourceSize, clipStart);
    i64 w0 = clipPos(sourceSize, clipStop);
    i64 length = w0 - x;

    if (clipStart == 0 && clipStop <= 99) {
        printf(horizontal
                   ? "voWinCur.u8xClipStop < 100  voWinCur.u8xClipStart == 0 iCutPixelHor: %d \n"
                   : "voWinCur.u8yClipStop < 100  voWinCur.u8yClipStart == 0  iCutPixelVer: %d \n",
               toInt(cut));
        if (cut <= 16) {
            cut = 16;
            x += 8;
        }
        if (w0 >= x + cut / 2 + 32) {
            length = floorTo16(w0 - x - cut / 2);
        } else {
            printf(tooSmall, win, toInt(w0));
            length = 32;
        }
        return {toInt(x), toInt(length)};
    }
    if (clipStart > 0) {
        bool farEdge = clipStop == 100;
        if (farEdge)
            printf(horizontal ? "voWinCur.u8xClipStart > 0   voWinCur.u8xClipStop == 100   "
                                "iCutPixelHor: %d \n"
                              : "voWinCur.u8yClipStart > 0   voWinCur.u8yClipStop == 100   "
                                "iCutPixelVer: %d \n",
                   toInt(cut));
        else
            printf(
                horizontal
                    ? "voWinCur.u8xClipStart > 0 voWinCur.u8xClipStop < 100  iCutPixelHor: %d \n"
                    : "voWinCur.u8yClipStart > 0  voWinCur.u8yClipStop < 100   iCutPixelVer: %d \n",
                toInt(cut));
        if (cut <= 16) {
            cut = 16;
            x += 8;
        } else {
            x += 16 * (cut / 32);
        }
        // The far side of an inner tile loses the other half of the cut as well.
        i64 farCut = farEdge ? 0 : 16 * (cut / 32);
        if (w0 >= x + farCut + 32) {
            length = cut == 16 ? floorTo16(w0 - x - 8) : w0 - x - farCut;
        } else {
            printf(tooSmall, win, toInt(w0));
            length = 32;
        }
        return {toInt(x), toInt(length)};
    }
    return {toInt(x), toInt(length)};
}

}  // namespace qelgeo
