#include "display/OSD/qelOsdLayout.h"

#include <cstdio>
#include <cstring>

#include "box/Box.h"

namespace qelosd {

namespace {

// Layout modes (SAMPLE_VO_MODE_E) that change how 2, 3 and 4 windows are arranged.
enum {
    kMode4x1 = 11,
    kMode1x4 = 12,
    kMode1x2 = 13,
    kMode2x1 = 14,
    kMode1x3 = 15,
    kMode3x1 = 16,
};

// cols x rows of a split and the first cell split into quarters (4 = none).
struct Grid {
    int cols;
    int rows;
    int splitFrom;
};

// false for a count without a layout.
bool gridOf(int count, int voMode, Grid* g) {
    *g = {2, 2, 4};
    switch (count) {
        case 1:
            *g = {1, 1, 4};
            return true;
        case 2:
            if (voMode == kMode1x2) *g = {2, 1, 4};
            if (voMode == kMode2x1) *g = {1, 2, 4};
            return true;
        case 3:
            if (voMode == kMode1x3) *g = {3, 1, 4};
            if (voMode == kMode3x1) *g = {1, 3, 4};
            return true;
        case 4:
            if (voMode == kMode1x4) *g = {4, 1, 4};
            if (voMode == kMode4x1) *g = {1, 4, 4};
            return true;
        case 7:
            g->splitFrom = 3;
            return true;
        case 8:
            *g = {4, 2, 8};
            return true;
        case 9:
            *g = {3, 3, 9};
            return true;
        case 10:
            g->splitFrom = 2;
            return true;
        case 13:
            g->splitFrom = 1;
            return true;
        case 16:
            g->splitFrom = 0;
            return true;
        case 25:
            *g = {5, 5, 25};
            return true;
        case 30:
            *g = {6, 5, 30};
            return true;
        case 32:
            *g = {8, 4, 32};
            return true;
        default:
            return false;
    }
}

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

int layoutRects(int count, int voMode, int w, int h, Position out[32]) {
    Grid g;
    if (count < 1 || count > 32 || !gridOf(count, voMode, &g)) return -1;
    int cw = w / g.cols;
    int ch = h / g.rows;
    int cells = g.cols * g.rows;
    for (int i = 0; i < cells; ++i) {
        if (i < g.splitFrom) {
            out[i] = {cw * (i % g.cols), ch * (i / g.cols), cw, ch};
            continue;
        }
        for (int j = 0; j < 4; ++j) {
            int n = (i - g.splitFrom) * 4 + g.splitFrom + j;
            if (n >= 32) break;
            out[n] = {cw * (i % g.cols) + (j % 2) * (cw / 2), ch * (i / 2) + (j / 2) * (ch / 2),
                      cw / 2, ch / 2};
        }
    }
    return 0;
}

std::vector<Position> frameLines(int count, int voMode, int w, int h) {
    std::vector<Position> lines;
    if (count == 1) return lines;
    lines.push_back({0, 0, 1, h});
    lines.push_back({w - 1, 0, 1, h});
    lines.push_back({0, 0, w, 1});
    lines.push_back({0, h - 1, w, 1});

    Grid g;
    bool known = count >= 1 && count <= 32 && gridOf(count, voMode, &g);
    if (known && !(g.cols == 2 && g.rows == 2)) {
        for (int k = 1; k < g.cols; ++k) lines.push_back({(k * w / g.cols) & ~1, 0, 1, h});
        for (int k = 1; k < g.rows; ++k) lines.push_back({0, (k * h / g.rows) & ~1, w, 1});
        return lines;
    }
    int splitFrom = known ? g.splitFrom : 4;
    for (int q = splitFrom; q < 4; ++q) {
        lines.push_back({(w / 2) * (q % 2) + w / 4 - 1, (q / 2) * (h / 2), 1, h / 2});
        lines.push_back({(w / 2) * (q % 2), (q / 2) * (h / 2) + h / 4 - 1, w / 2, 1});
    }
    lines.push_back({w / 2 - 1, 0, 1, h});
    lines.push_back({0, h / 2 - 1, w, 1});
    return lines;
}

int parseBits(const uint8_t* data, size_t size, BitsImage* out) {
    if (data == nullptr || size < kBitsHeaderSize) return -1;
    BitsImage img;
    img.width = le32(data + 4);
    img.height = le32(data + 8);
    img.stride = le32(data + 12);
    if (img.width == 0 || img.height == 0) return -1;
    if (uint64_t(img.stride) < uint64_t(img.width) * 2) return -1;
    if (uint64_t(img.height) * img.stride > size - kBitsHeaderSize) return -1;
    *out = img;
    return 0;
}

int loadBits(const char* boxPath, uint8_t* dst, size_t capacity, BitsImage* out) {
    if (boxPath == nullptr || dst == nullptr) return -1;
    FILE* f = fopen(box::path(boxPath).c_str(), "rb");
    if (f == nullptr) return -1;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    size_t n;
    // Resources are small; anything beyond the largest picture the layer can take is refused.
    const size_t kMaxFile = 16u << 20;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0 && bytes.size() <= kMaxFile)
        bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    BitsImage img;
    if (bytes.size() > kMaxFile || parseBits(bytes.data(), bytes.size(), &img) != 0) return -1;
    uint64_t pixels = uint64_t(img.height) * img.stride;
    if (pixels > capacity) return -1;
    memcpy(dst, bytes.data() + kBitsHeaderSize, pixels);
    *out = img;
    return 0;
}

}  // namespace qelosd
