// Feeds arbitrary bytes to the on-screen display's .bits reader, in memory and as a resource
// file: an image it takes must lie within the bytes it came from, and a load copies only what
// fits the buffer it was given.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "box/Box.h"
#include "display/OSD/qelOsdLayout.h"

namespace {

char gRoot[] = "/tmp/qel-fuzz-osd-XXXXXX";

void removeRoot() {
    std::string cmd = std::string("rm -rf '") + gRoot + "'";
    if (::system(cmd.c_str()) != 0) fprintf(stderr, "cannot remove %s\n", gRoot);
}

void check(bool ok) {
    if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = false;
    if (!ready) {
        if (mkdtemp(gRoot) == nullptr) abort();
        atexit(removeRoot);
        setenv("QEL_ROOT", gRoot, 1);
        box::makeDirs("/mnt/res");
        ready = true;
    }
    qelosd::BitsImage img;
    if (qelosd::parseBits(data, size, &img) == 0)
        check(img.width > 0 && img.height > 0 && uint64_t(img.stride) >= uint64_t(img.width) * 2 &&
              qelosd::kBitsHeaderSize + uint64_t(img.height) * img.stride <= size);

    FILE* f = fopen(box::path("/mnt/res/fuzz.bits").c_str(), "wb");
    if (f == nullptr) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    // A buffer a little smaller than some images, so that the "does not fit" path runs too;
    // the guard bytes behind it must stay as they were.
    const size_t capacity = 4096;
    std::vector<uint8_t> dst(capacity + 16, 0xA5);
    qelosd::BitsImage loaded;
    if (qelosd::loadBits("/mnt/res/fuzz.bits", dst.data(), capacity, &loaded) == 0)
        check(uint64_t(loaded.height) * loaded.stride <= capacity);
    for (size_t i = capacity; i < dst.size(); ++i) check(dst[i] == 0xA5);
    return 0;
}
