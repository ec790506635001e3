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
