// Small helpers shared by the model's source files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/WallRecords.h"

// A key or file name with one number in it ("screenIP_%02d").
inline std::string vsNumbered(const char* format, int n) {
    char text[64];
    snprintf(text, sizeof text, format, n);
    return text;
}

// A product or sum of stored values, which may be anything: computed wide, then cut to int as
// the box's 32-bit arithmetic would.
inline int vsWrapInt(long long v) {
    return static_cast<int>(static_cast<uint32_t>(v));
}

// A window record before any layout: its number as win and winId, everything else 0.
inline VWin vsBlankWin(int w) {
    return VWin(static_cast<uint8_t>(w), 0, 0, 0, 0, 0, 0, 0, static_cast<uint32_t>(w), "", "");
}

// A window placed anew: its number, layer 0, shown, the rectangle given; the source it shows
// is its committed record's.
inline void vsPlaceLive(VWin& live, const VWin& committed, int w, long long h0, long long h1,
                        long long v0, long long v1) {
    live.win = static_cast<uint8_t>(w);
    live.layer = 0;
    live.visible = 1;
    live.hStart = static_cast<uint32_t>(h0);
    live.hEnd = static_cast<uint32_t>(h1);
    live.vStart = static_cast<uint32_t>(v0);
    live.vEnd = static_cast<uint32_t>(v1);
    live.url = committed.url;
    live.name = committed.name;
}

// The full-window state of a screen on for window w: it keeps w's layer, visibility and
// rectangle from before the view.
inline void vsKeepBeforeFull(VWin& state, const VWin& win, int w) {
    state.used = 1;
    state.win = static_cast<uint8_t>(w);
    state.layer = win.layer;
    state.visible = win.visible;
    state.hStart = win.hStart;
    state.hEnd = win.hEnd;
    state.vStart = win.vStart;
    state.vEnd = win.vEnd;
}
