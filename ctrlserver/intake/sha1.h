// Streaming SHA-1 digest (FIPS 180-1); used for the WebSocket accept value.
#pragma once

#include <cstdint>

class SHA1 {
public:
    SHA1();
    virtual ~SHA1();

    void Reset();
    // Copies the five digest words H0..H4 to words. False when the object was misused (input
    // after the digest, or a message longer than 2^64 bits).
    bool Result(unsigned* words);

    void Input(const unsigned char* data, unsigned len);
    void Input(const char* data, unsigned len);
    void Input(unsigned char byte);
    void Input(char byte);
    // Feed the bytes of a NUL-terminated text, or one byte.
    SHA1& operator<<(const char* text);
    SHA1& operator<<(const unsigned char* text);
    SHA1& operator<<(const char byte);
    SHA1& operator<<(const unsigned char byte);

private:
    void ProcessMessageBlock();
    void PadMessage();

    uint32_t state[5];
    uint32_t bit_count_low;
    uint32_t bit_count_high;
    unsigned char block[64];
    int block_index;
    bool computed;
    bool corrupted;
};
