#include "intake/base64.h"

static const std::string base64_chars =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "abcdefghijklmnopqrstuvwxyz"
    "0123456789+/";

std::string base64_encode(unsigned char const* bytes, unsigned len) {
    std::string out;
    out.reserve((len + 2) / 3 * 4);
    unsigned i = 0;
    for (; i + 3 <= len; i += 3) {
        const unsigned v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        out += base64_chars[(v >> 18) & 0x3F];
        out += base64_chars[(v >> 12) & 0x3F];
        out += base64_chars[(v >> 6) & 0x3F];
        out += base64_chars[v & 0x3F];
    }
    const unsigned rest = len - i;
    if (rest > 0) {
        const unsigned v = bytes[i] << 16 | (rest == 2 ? bytes[i + 1] << 8 : 0);
        out += base64_chars[(v >> 18) & 0x3F];
        out += base64_chars[(v >> 12) & 0x3F];
        out += rest == 2 ? base64_chars[(v >> 6) & 0x3F] : '=';
        out += '=';
    }
    return out;
}

std::string base64_decode(std::string const& text) {
    std::string out;
    unsigned v = 0;
    int bits = 0;
    for (char c : text) {
        const size_t pos = base64_chars.find(c);
        if (c == '=' || pos == std::string::npos) break;
        v = (v << 6) | static_cast<unsigned>(pos);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((v >> bits) & 0xFF);
        }
    }
    return out;
}
