#include "intake/sha1.h"

#include <cstring>

namespace {

inline uint32_t rotl(uint32_t word, int bits) {
    return (word << bits) | (word >> (32 - bits));
}

}  // namespace

SHA1::SHA1() {
    Reset();
}

SHA1::~SHA1() = default;

void SHA1::Reset() {
    state[0] = 0x67452301;
    state[1] = 0xEFCDAB89;
    state[2] = 0x98BADCFE;
    state[3] = 0x10325476;
    state[4] = 0xC3D2E1F0;
    bit_count_low = 0;
    bit_count_high = 0;
    memset(block, 0, sizeof block);
    block_index = 0;
    computed = false;
    corrupted = false;
}

bool SHA1::Result(unsigned* words) {
    if (corrupted) return false;
    if (!computed) {
        PadMessage();
        computed = true;
    }
    for (int i = 0; i < 5; ++i) words[i] = state[i];
    return true;
}

void SHA1::Input(const unsigned char* data, unsigned len) {
    if (len == 0) return;
    if (computed || corrupted || data == nullptr) {
        corrupted = true;
        return;
    }
    for (unsigned i = 0; i < len; ++i) {
        block[block_index++] = data[i];
        bit_count_low += 8;
        if (bit_count_low == 0) {  // carried into the high word
            if (++bit_count_high == 0) {
                corrupted = true;
                return;
            }
        }
        if (block_index == 64) ProcessMessageBlock();
    }
}

void SHA1::Input(const char* data, unsigned len) {
    Input(reinterpret_cast<const unsigned char*>(data), len);
}

void SHA1::Input(unsigned char byte) {
    Input(&byte, 1);
}

void SHA1::Input(char byte) {
    Input(reinterpret_cast<const unsigned char*>(&byte), 1);
}

SHA1& SHA1::operator<<(const char* text) {
    if (text) Input(text, static_cast<unsigned>(strlen(text)));
    return *this;
}

SHA1& SHA1::operator<<(const unsigned char* text) {
    return *this << reinterpret_cast<const char*>(text);
}

SHA1& SHA1::operator<<(const char byte) {
    Input(byte);
    return *this;
}

SHA1& SHA1::operator<<(const unsigned char byte) {
    Input(byte);
    return *this;
}

void SHA1::ProcessMessageBlock() {
    static const uint32_t K[4] = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xCA62C1D6};
    uint32_t W[80];
    for (int t = 0; t < 16; ++t) {
        W[t] = static_cast<uint32_t>(block[t * 4]) << 24 |
               static_cast<uint32_t>(block[t * 4 + 1]) << 16 |
               static_cast<uint32_t>(block[t * 4 + 2]) << 8 |
               static_cast<uint32_t>(block[t * 4 + 3]);
    }
    for (int t = 16; t < 80; ++t) W[t] = rotl(W[t - 3] ^ W[t - 8] ^ W[t - 14] ^ W[t - 16], 1);

    uint32_t A = state[0], B = state[1], C = state[2], D = state[3], E = state[4];
    for (int t = 0; t < 80; ++t) {
        uint32_t f;
        if (t < 20)
            f = (B & C) | (~B & D);
        else if (t < 40)
            f = B ^ C ^ D;
        else if (t < 60)
            f = (B & C) | (B & D) | (C & D);
        else
            f = B ^ C ^ D;
        const uint32_t temp = rotl(A, 5) + f + E + W[t] + K[t / 20];
        E = D;
        D = C;
        C = rotl(B, 30);
        B = A;
        A = temp;
    }
    state[0] += A;
    state[1] += B;
    state[2] += C;
    state[3] += D;
    state[4] += E;
    block_index = 0;
}

void SHA1::PadMessage() {
    block[block_index++] = 0x80;
    if (block_index > 56) {
        while (block_index < 64) block[block_index++] = 0;
        ProcessMessageBlock();
    }
    while (block_index < 56) block[block_index++] = 0;
    for (int i = 0; i < 4; ++i) {
        block[56 + i] = static_cast<unsigned char>(bit_count_high >> (24 - 8 * i));
        block[60 + i] = static_cast<unsigned char>(bit_count_low >> (24 - 8 * i));
    }
    ProcessMessageBlock();
}
