#include "dispatch/JpegUtil.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

const char kNotFound[] = "File not found ?";
const char kNoMemory[] = "Not enough memory for loading file";
const char kNotJpeg[] = "Not a JPG file ?\n";
const char kInvalid[] = "Invalid JPG file.";
const char kVersion[] = "JFIF version not supported";
const char kThumbnail[] = " Cannot process JFIF thumbnailed files\n";
const char kQuant16[] = "16 bit quantization table not supported";
const char kPrecision[] = "Only 8 bit precision supported";
const char kTruecolor[] = "Only truecolor JPGS supported";
const char kYCbCr[] = "Only YCbCr format supported";
const char kBadSos[] = "Invalid SOS marker";
const char kNoSos[] = "Invalid JPG file. No SOS marker found.";
const char kProgressive[] = "Progressive JPEGs not supported";
const char kHorizontal[] =
    "Horizontal sampling factor for Y should be >= sampling factor for Cb,Cr";
const char kVertical[] = "Vertical sampling factor for Y should be >= sampling factor for Cb,Cr";
const char kCbFactors[] = "Cb sampling factors should be = 1";
const char kCrFactors[] = "Cr sampling factors should be = 1";

// The fixed JFIF prefix: SOI, APP0 with its length, "JFIF\0", version, units, densities and
// the thumbnail size.
const size_t kPrefix = 20;
// Huffman and quantization tables are numbered 0 to 3.
const unsigned kMaxTable = 3;

char gError[128] = "";

// A bounded reader over the file image: every read checks that its bytes lie inside.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : d(data), n(size) {}
    bool has(size_t count) const { return pos <= n && n - pos >= count; }
    bool u8(unsigned& v) {
        if (!has(1)) return false;
        v = d[pos++];
        return true;
    }
    bool u16(unsigned& v) {
        if (!has(2)) return false;
        v = (static_cast<unsigned>(d[pos]) << 8) | d[pos + 1];
        pos += 2;
        return true;
    }
    bool skip(size_t count) {
        if (!has(count)) return false;
        pos += count;
        return true;
    }
    size_t pos = 0;

private:
    const uint8_t* d;
    size_t n;
};

struct Component {
    unsigned h = 0, v = 0;
};

// Reads a segment's length and checks it: at least the two bytes of itself, and the whole
// segment inside the image. end is set to the position after the segment.
bool segmentLength(Reader& r, size_t& end) {
    const size_t start = r.pos;
    unsigned len = 0;
    if (!r.u16(len) || len < 2) return false;
    r.pos = start;
    if (!r.has(len)) return false;
    end = start + len;
    r.pos = start + 2;
    return true;
}

// DHT: tables of 16 counts and their symbols, until the segment is used up.
const char* readHuffman(Reader& r) {
    size_t end = 0;
    if (!segmentLength(r, end)) return kInvalid;
    while (r.pos < end) {
        unsigned classAndNumber = 0;
        if (!r.u8(classAndNumber) || (classAndNumber & 0x0f) > kMaxTable) return kInvalid;
        size_t symbols = 0;
        for (int i = 0; i < 16; ++i) {
            unsigned count = 0;
            if (r.pos >= end || !r.u8(count)) return kInvalid;
            symbols += count;
        }
        if (end - r.pos < symbols) return kInvalid;
        r.pos += symbols;
    }
    return nullptr;
}

// DQT: 8-bit tables of 64 values, until the segment is used up.
const char* readQuantization(Reader& r) {
    size_t end = 0;
    if (!segmentLength(r, end)) return kInvalid;
    while (r.pos < end) {
        unsigned precisionAndNumber = 0;
        if (!r.u8(precisionAndNumber)) return kInvalid;
        if (precisionAndNumber >> 4) return kQuant16;
        if ((precisionAndNumber & 0x0f) > kMaxTable) return kInvalid;
        if (end - r.pos < 64) return kInvalid;
        r.pos += 64;
    }
    return nullptr;
}

// SOF0: precision, height, width and the three components with their sampling.
const char* readFrame(Reader& r, Component* comps, unsigned* width, unsigned* height) {
    size_t end = 0;
    if (!segmentLength(r, end)) return kInvalid;
    unsigned precision = 0, h = 0, w = 0, count = 0;
    if (!r.u8(precision)) return kInvalid;
    if (precision != 8) return kPrecision;
    if (!r.u16(h) || !r.u16(w) || !r.u8(count)) return kInvalid;
    *height = h;
    *width = w;
    if (count != 3) return kTruecolor;
    for (int i = 0; i < 3; ++i) {
        unsigned id = 0, sampling = 0, table = 0;
        if (!r.u8(id) || !r.u8(sampling) || !r.u8(table)) return kInvalid;
        if (id < 1 || id > 3) return kYCbCr;
        comps[id].h = sampling >> 4;
        comps[id].v = sampling & 0x0f;
    }
    return nullptr;
}

// SOS: the three components and their tables, then spectral selection and approximation.
const char* readScan(Reader& r) {
    size_t end = 0;
    if (!segmentLength(r, end)) return kInvalid;
    unsigned count = 0;
    if (!r.u8(count)) return kInvalid;
    if (count != 3) return kBadSos;
    for (int i = 0; i < 3; ++i) {
        unsigned id = 0, tables = 0;
        if (!r.u8(id) || !r.u8(tables)) return kInvalid;
        if (id < 1 || id > 3) return kYCbCr;
    }
    if (!r.skip(3)) return kInvalid;
    return nullptr;
}

const char* samplingError(const Component* c) {
    const Component& y = c[1];
    const Component& cb = c[2];
    const Component& cr = c[3];
    if (cb.h > y.h || cr.h > y.h) return kHorizontal;
    if (cb.v > y.v || cr.v > y.v) return kVertical;
    if (cb.h > 1 || cb.v > 1) return kCbFactors;
    if (cr.h > 1 || cr.v > 1) return kCrFactors;
    return nullptr;
}

const char* parse(const uint8_t* d, size_t size, unsigned* width, unsigned* height) {
    if (size >= 2 && (d[0] != 0xFF || d[1] != 0xD8)) return kNotJpeg;
    if (size < kPrefix) return kInvalid;
    if (d[2] != 0xFF || d[3] != 0xE0 || memcmp(d + 6, "JFIF", 5) != 0) return kInvalid;
    if (d[11] != 1) return kVersion;
    if (d[18] != 0 || d[19] != 0) return kThumbnail;

    Reader r(d, size);
    r.pos = kPrefix;
    Component comps[4];
    unsigned w = 0, h = 0;
    bool frame = false, scan = false;
    while (!scan && r.pos < size) {
        unsigned byte = 0, code = 0;
        r.u8(byte);
        if (byte != 0xFF) continue;
        if (!r.u8(code)) break;  // a fill byte at the very end
        const char* err = nullptr;
        switch (code) {
            case 0xC0:
                err = readFrame(r, comps, &w, &h);
                frame = err == nullptr;
                break;
            case 0xC4:
                err = readHuffman(r);
                break;
            case 0xDB:
                err = readQuantization(r);
                break;
            case 0xDD:
                if (!r.skip(4)) err = kInvalid;
                break;
            case 0xDA:
                err = readScan(r);
                scan = err == nullptr;
                break;
            case 0xFF:
                // A fill byte: the next byte is read as a marker code again.
                --r.pos;
                break;
            default: {
                size_t end = 0;
                if (!segmentLength(r, end)) err = kInvalid;
                r.pos = end;
                break;
            }
        }
        if (err) return err;
    }
    if (!scan) return kNoSos;
    if (!frame) return kProgressive;
    if (const char* err = samplingError(comps)) return err;
    *width = w;
    *height = h;
    return nullptr;
}

void keep(const char* message) {
    snprintf(gError, sizeof gError, "%s", message);
}

}  // namespace

int parseJpegHeader(const uint8_t* image, size_t size, unsigned int* width, unsigned int* height,
                    const char** error) {
    unsigned w = 0, h = 0;
    const char* err = image ? parse(image, size, &w, &h) : kInvalid;
    if (err) {
        if (error) *error = err;
        return 0;
    }
    if (width) *width = w;
    if (height) *height = h;
    return 1;
}

long filesize(FILE* fp) {
    if (!fp) return -1;
    const long here = ftell(fp);
    if (here < 0 || fseek(fp, 0, SEEK_END) != 0) return -1;
    const long size = ftell(fp);
    fseek(fp, here, SEEK_SET);
    return size;
}

int load_JPEG_header(FILE* fp, unsigned int* width, unsigned int* height, long* size) {
    const long n = filesize(fp);
    if (size) *size = n;
    if (n < 0) {
        keep(kInvalid);
        return 0;
    }
    std::vector<uint8_t> image;
    try {
        image.resize(static_cast<size_t>(n) + 4);
    } catch (const std::bad_alloc&) {
        keep(kNoMemory);
        return 0;
    }
    rewind(fp);
    const size_t got = fread(image.data(), 1, static_cast<size_t>(n), fp);
    const char* err = nullptr;
    if (!parseJpegHeader(image.data(), got, width, height, &err)) {
        keep(err);
        return 0;
    }
    return 1;
}

int checkJpeg(const char* path, unsigned int* width, unsigned int* height, long* size) {
    FILE* fp = path ? fopen(path, "rb") : nullptr;
    if (!fp) {
        keep(kNotFound);
        printf("%s\n", gError);
        fflush(stdout);  // redirected output is block-buffered: the refusal shows now
        return 0;
    }
    unsigned w = 0, h = 0;
    long n = 0;
    const int ok = load_JPEG_header(fp, &w, &h, &n);
    fclose(fp);
    if (!ok) {
        printf("%s\n", gError);
        fflush(stdout);
        return 0;
    }
    if (width) *width = w;
    if (height) *height = h;
    if (size) *size = n;
    return 1;
}

const char* jpegErrorText() {
    return gError;
}
