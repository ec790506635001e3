// Feeds arbitrary files to the JPEG header reader: it must answer every one without reading
// outside the image, and an accepted header gives its size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dispatch/JpegUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy: a read past the end is caught.
    std::unique_ptr<uint8_t[]> image(new uint8_t[size ? size : 1]);
    if (size) memcpy(image.get(), data, size);
    unsigned w = 0, h = 0;
    const char* err = nullptr;
    const int ok = parseJpegHeader(image.get(), size, &w, &h, &err);
    if (ok != 0 && ok != 1) abort();
    if (!ok && (!err || !*err)) abort();
    return 0;
}
