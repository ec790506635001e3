// Builds JPEG files segment by segment for the header reader's tests: any mix of the start
// marker, JFIF and EXIF application segments, quantization and Huffman tables, frame and scan
// headers, fill bytes, filler data and the end marker, with every field open to change.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qeltest {

class JpegBuilder {
public:
    using Bytes = std::vector<uint8_t>;

    JpegBuilder& soi() { return raw({0xFF, 0xD8}); }
    JpegBuilder& eoi() { return raw({0xFF, 0xD9}); }
    JpegBuilder& fill() { return raw({0xFF}); }

    // APP0 "JFIF": version major.1, no density units, 1:1 density, the thumbnail size given.
    JpegBuilder& app0(uint8_t major = 1, uint8_t thumbW = 0, uint8_t thumbH = 0) {
        Bytes body = {'J', 'F', 'I', 'F', 0, major, 1, 0, 0, 1, 0, 1, thumbW, thumbH};
        body.resize(body.size() + 3u * thumbW * thumbH, 0x80);
        return segment(0xE0, body);
    }
    // APP1 "Exif" with an empty body.
    JpegBuilder& app1() { return segment(0xE1, {'E', 'x', 'i', 'f', 0, 0}); }

    // DQT with one table per entry of tables (precision-and-number bytes).
    JpegBuilder& dqt(const Bytes& tables = {0x00}) {
        Bytes body;
        for (uint8_t pq : tables) {
            body.push_back(pq);
            body.resize(body.size() + ((pq >> 4) ? 128 : 64), 1);
        }
        return segment(0xDB, body);
    }

    // DHT with one table: its class-and-number byte and the 16 counts; symbols follow.
    JpegBuilder& dht(uint8_t classAndNumber = 0x00, Bytes counts = {}) {
        if (counts.empty()) counts = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
        Bytes body = {classAndNumber};
        size_t symbols = 0;
        for (uint8_t c : counts) {
            body.push_back(c);
            symbols += c;
        }
        for (size_t i = 0; i < symbols; ++i) body.push_back(static_cast<uint8_t>(i));
        return segment(0xC4, body);
    }

    // A frame header (0xC0 baseline, 0xC2 progressive) with components (id, sampling byte).
    JpegBuilder& sof(unsigned width, unsigned height,
                     std::vector<std::pair<uint8_t, uint8_t>> comps = {{1, 0x22},
                                                                       {2, 0x11},
                                                                       {3, 0x11}},
                     uint8_t code = 0xC0, uint8_t precision = 8) {
        Bytes body = {precision,           uint8_t(height >> 8), uint8_t(height),
                      uint8_t(width >> 8), uint8_t(width),       uint8_t(comps.size())};
        for (auto& c : comps) {
            body.push_back(c.first);
            body.push_back(c.second);
            body.push_back(c.first == 1 ? 0 : 1);
        }
        return segment(code, body);
    }

    // A scan header over the given component ids.
    JpegBuilder& sos(const Bytes& ids = {1, 2, 3}) {
        Bytes body = {uint8_t(ids.size())};
        for (uint8_t id : ids) {
            body.push_back(id);
            body.push_back(id == 1 ? 0x00 : 0x11);
        }
        body.insert(body.end(), {0, 63, 0});
        return segment(0xDA, body);
    }

    JpegBuilder& dri() { return segment(0xDD, {0, 4}); }

    // Entropy-coded filler: n bytes that hold no 0xFF.
    JpegBuilder& data(size_t n) {
        for (size_t i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(i % 251));
        return *this;
    }

    // A segment with the given body; its length field counts itself and the body.
    JpegBuilder& segment(uint8_t code, const Bytes& body) {
        const size_t len = body.size() + 2;
        raw({0xFF, code, uint8_t(len >> 8), uint8_t(len)});
        b.insert(b.end(), body.begin(), body.end());
        return *this;
    }
    // A segment marker with a length field as given, and no body.
    JpegBuilder& header(uint8_t code, unsigned length) {
        return raw({0xFF, code, uint8_t(length >> 8), uint8_t(length)});
    }
    JpegBuilder& raw(const Bytes& bytes) {
        b.insert(b.end(), bytes.begin(), bytes.end());
        return *this;
    }
    JpegBuilder& truncate(size_t n) {
        if (n < b.size()) b.resize(n);
        return *this;
    }

    // A complete baseline picture with the luma sampling given (chroma at 1x1), padded with
    // filler data to total bytes when total is larger than the headers.
    static Bytes picture(unsigned width, unsigned height, uint8_t lumaSampling = 0x22,
                         size_t total = 0) {
        JpegBuilder j;
        j.soi()
            .app0()
            .dqt({0x00, 0x01})
            .sof(width, height, {{1, lumaSampling}, {2, 0x11}, {3, 0x11}});
        j.dht(0x00).dht(0x10).dht(0x01).dht(0x11).sos();
        const size_t end = j.b.size() + 2;
        if (total > end) j.data(total - end);
        j.eoi();
        return j.b;
    }

    Bytes b;
    std::string text() const { return std::string(b.begin(), b.end()); }
};

}  // namespace qeltest
