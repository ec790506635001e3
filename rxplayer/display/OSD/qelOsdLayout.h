// The arithmetic of the on-screen display: window rectangles of a split, the frame lines
// between them, and the checked reading of .bits bitmap resources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A window rectangle in OSD pixels.
struct Position {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

namespace qelosd {

// Fills the rectangles of a split of count windows over a w x h layer for a layout mode
// (SAMPLE_VO_MODE_E numbering). 0, or -1 for a count without a layout (out untouched).
int layoutRects(int count, int voMode, int w, int h, Position out[32]);

// The 1-pixel frame lines of a split, as rectangles (whole layer w x h).
std::vector<Position> frameLines(int count, int voMode, int w, int h);

// A .bits resource: colour format word (ignored), width, height, stride, then height lines
// of stride bytes of ARGB1555 pixels; all little-endian.
struct BitsImage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;
};

constexpr size_t kBitsHeaderSize = 16;

// Checks a .bits image held in memory against its own size: 0 and the header, or -1 when the
// header is short, the stride cannot hold a line or the pixels run past the end.
int parseBits(const uint8_t* data, size_t size, BitsImage* out);

// Reads the .bits file at a box path and copies its pixels to dst, which holds capacity bytes.
// 0, or -1 when the file cannot be read, is malformed or does not fit (dst untouched then).
int loadBits(const char* boxPath, uint8_t* dst, size_t capacity, BitsImage* out);

}  // namespace qelosd
