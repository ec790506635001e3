#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "intake/base64.h"
#include "intake/sha1.h"

namespace {

std::string hexDigest(SHA1& sha) {
    unsigned words[5];
    if (!sha.Result(words)) return "corrupted";
    char text[41];
    for (int i = 0; i < 5; ++i) snprintf(text + i * 8, 9, "%08X", words[i]);
    return text;
}

struct ShaCase {
    std::string chunk;
    int repeat;
    const char* digest;
};

// The test vectors of RFC 3174, fed chunk by chunk.
TEST(Sha1, Rfc3174Vectors) {
    const ShaCase cases[] = {
        {"abc", 1, "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
         "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
        {std::string(1000, 'a'), 1000, "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
        {"0123456701234567012345670123456701234567012345670123456701234567", 10,
         "DEA356A2CDDD90C7A7ECEDC5EBB563934F460452"},
        {"", 1, "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
    };
    for (const ShaCase& c : cases) {
        SHA1 sha;
        for (int i = 0; i < c.repeat; ++i)
            sha.Input(c.chunk.data(), static_cast<unsigned>(c.chunk.size()));
        EXPECT_EQ(hexDigest(sha), c.digest) << c.chunk.substr(0, 20) << " x" << c.repeat;
    }
}

TEST(Sha1, StreamingFormsAgreeAndInputAfterResultCorrupts) {
    SHA1 a;
    a << "ab" << 'c';
    EXPECT_EQ(hexDigest(a), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    // Later calls give the same digest; input after it marks the object corrupted.
    EXPECT_EQ(hexDigest(a), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    a.Input('d');
    unsigned words[5];
    EXPECT_FALSE(a.Result(words));
    a.Reset();
    a << "abc";
    EXPECT_EQ(hexDigest(a), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(Base64, Rfc4648VectorsAndRoundTrip) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(base64_encode(reinterpret_cast<const unsigned char*>(c.first.data()),
                                static_cast<unsigned>(c.first.size())),
                  c.second);
        EXPECT_EQ(base64_decode(c.second), c.first);
    }
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(base64_decode(base64_encode(reinterpret_cast<const unsigned char*>(all.data()),
                                          static_cast<unsigned>(all.size()))),
              all);
}

}  // namespace
