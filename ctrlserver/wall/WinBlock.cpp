#include "wall/WinBlock.h"

#include <cstring>

uint32_t getBlockU32(const unsigned char* block, int offset) {
    const unsigned char* b = block + offset;
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

void putBlockU32(unsigned char* block, int offset, uint32_t value) {
    unsigned char* b = block + offset;
    b[0] = static_cast<unsigned char>(value);
    b[1] = static_cast<unsigned char>(value >> 8);
    b[2] = static_cast<unsigned char>(value >> 16);
    b[3] = static_cast<unsigned char>(value >> 24);
}

size_t winBlockTextLength(const std::string& text, size_t size) {
    size_t n = strnlen(text.c_str(), text.size());
    if (size == 0) return 0;
    if (n <= size - 1) return n;
    n = size - 1;
    // text[n] is the first byte cut off; while it continues a sequence, the sequence began
    // inside the kept part and goes too. A sequence is at most four bytes, so anything
    // longer is not UTF-8 and is cut where it stands.
    size_t back = 0;
    while (back < 3 && n - back > 0 && (static_cast<unsigned char>(text[n - back]) & 0xC0) == 0x80)
        ++back;
    if ((static_cast<unsigned char>(text[n - back]) & 0xC0) != 0x80) n -= back;
    return n;
}

namespace {

void putText(unsigned char* block, int offset, int size, const std::string& text) {
    const size_t n = winBlockTextLength(text, static_cast<size_t>(size));
    memcpy(block + offset, text.data(), n);
}

std::string getText(const unsigned char* block, int offset, int size) {
    const char* field = reinterpret_cast<const char*>(block + offset);
    return std::string(field, strnlen(field, static_cast<size_t>(size - 1)));
}

}  // namespace

void encodeWinBlock(const VWin& win, unsigned char* block) {
    memset(block, 0, WIN_BLOCK_SIZE);
    putBlockU32(block, 0, win.win);
    putBlockU32(block, 4, win.winId);
    putBlockU32(block, 8, win.used);
    putBlockU32(block, 12, win.layer);
    putBlockU32(block, 16, win.visible);
    putBlockU32(block, 20, win.hStart);
    putBlockU32(block, 24, win.hEnd);
    putBlockU32(block, 28, win.vStart);
    putBlockU32(block, 32, win.vEnd);
    putText(block, WIN_BLOCK_URL, WIN_BLOCK_URL_SIZE, win.url);
    putText(block, WIN_BLOCK_NAME, WIN_BLOCK_NAME_SIZE, win.name);
}

VWin decodeWinBlock(const unsigned char* block) {
    return VWin(static_cast<uint8_t>(getBlockU32(block, 0)),
                static_cast<uint8_t>(getBlockU32(block, 8)),
                static_cast<uint8_t>(getBlockU32(block, 12)),
                static_cast<uint8_t>(getBlockU32(block, 16)), getBlockU32(block, 20),
                getBlockU32(block, 24), getBlockU32(block, 28), getBlockU32(block, 32),
                getBlockU32(block, 4), getText(block, WIN_BLOCK_URL, WIN_BLOCK_URL_SIZE),
                getText(block, WIN_BLOCK_NAME, WIN_BLOCK_NAME_SIZE));
}

namespace {

// A field's text as stored, terminator or not: a field without one differs from every text
// this program writes.
bool sameField(const unsigned char* a, const unsigned char* b, int offset, int size) {
    const char* fa = reinterpret_cast<const char*>(a + offset);
    const char* fb = reinterpret_cast<const char*>(b + offset);
    return strncmp(fa, fb, static_cast<size_t>(size)) == 0;
}

}  // namespace

bool sameWinBlock(const unsigned char* a, const unsigned char* b) {
    return memcmp(a, b, WIN_BLOCK_URL) == 0 && sameField(a, b, WIN_BLOCK_URL, WIN_BLOCK_URL_SIZE) &&
           sameField(a, b, WIN_BLOCK_NAME, WIN_BLOCK_NAME_SIZE);
}
