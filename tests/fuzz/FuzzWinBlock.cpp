// Feeds arbitrary bytes to the window block reader and writer. Besides crashes it checks that
// a block read back from what was written holds the same window, that written texts always
// keep their terminating zero within their field, and that a text of valid UTF-8 is never cut
// inside a sequence.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wall/WinBlock.h"

namespace {

bool validUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

void check(bool ok) {
    if (!ok) abort();
}

bool same(const VWin& a, const VWin& b) {
    return a.win == b.win && a.used == b.used && a.layer == b.layer && a.visible == b.visible &&
           a.hStart == b.hStart && a.hEnd == b.hEnd && a.vStart == b.vStart && a.vEnd == b.vEnd &&
           a.winId == b.winId && a.url == b.url && a.name == b.name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes as a stored block (short input zero-filled, as a short file would read).
    unsigned char stored[WIN_BLOCK_SIZE] = {};
    memcpy(stored, data, size < sizeof stored ? size : sizeof stored);
    const VWin read = decodeWinBlock(stored);
    check(read.url.size() <= 127 && read.name.size() <= 39);
    unsigned char written[WIN_BLOCK_SIZE];
    encodeWinBlock(read, written);
    check(same(decodeWinBlock(written), read));
    check(sameWinBlock(written, written));

    // The bytes as texts to store.
    const std::string text(reinterpret_cast<const char*>(data), size);
    VWin win;
    win.url = text;
    win.name = text;
    encodeWinBlock(win, written);
    check(written[WIN_BLOCK_URL + 127] == 0 && written[WIN_BLOCK_NAME + 39] == 0);
    const VWin back = decodeWinBlock(written);
    check(text.compare(0, back.url.size(), back.url) == 0);
    check(text.compare(0, back.name.size(), back.name) == 0);
    if (validUtf8(text)) check(validUtf8(back.url) && validUtf8(back.name));
    return 0;
}
