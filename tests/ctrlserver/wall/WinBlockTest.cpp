// The window block layout: texts bounded on the way in and out, and what counts as the same
// block.
#include <gtest/gtest.h>

#include <cstring>

#include "wall/WinBlock.h"

TEST(WinBlock, TextsAreCutToTheirFieldNeverInsideAUtf8Sequence) {
    struct Case {
        std::string text;
        size_t kept;
    } cases[] = {
        {"", 0},
        {std::string(39, 'a'), 39},
        {std::string(40, 'a'), 39},
        {std::string(38, 'a') + "\xc3\xa9", 38},               // 2-byte sequence across the end
        {std::string(37, 'a') + "\xc3\xa9", 39},               // ends exactly at the end
        {std::string(37, 'a') + "\xe2\x82\xac", 37},           // 3-byte sequence starting at 37
        {std::string(36, 'a') + "\xf0\x9f\x98\x80", 36},       // 4-byte sequence
        {std::string(30, 'a') + std::string(20, '\x80'), 39},  // not UTF-8: cut where it stands
        {std::string("ab\0cd", 5), 2},                         // stops at an embedded zero
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.size());
        EXPECT_EQ(winBlockTextLength(c.text, 40), c.kept);
        VWin w;
        w.name = c.text;
        w.url = c.text + c.text + c.text + c.text;
        unsigned char block[WIN_BLOCK_SIZE];
        encodeWinBlock(w, block);
        EXPECT_EQ(block[WIN_BLOCK_NAME + 39], 0);
        EXPECT_EQ(block[WIN_BLOCK_URL + 127], 0);
        EXPECT_EQ(decodeWinBlock(block).name, c.text.substr(0, c.kept));
    }
}

TEST(WinBlock, DecodingStopsAtTheFieldsEvenWithoutATerminator) {
    unsigned char block[WIN_BLOCK_SIZE];
    memset(block, 'x', sizeof block);
    const VWin w = decodeWinBlock(block);
    EXPECT_EQ(w.url, std::string(127, 'x'));
    EXPECT_EQ(w.name, std::string(39, 'x'));
    EXPECT_EQ(w.win, 'x');
    EXPECT_EQ(w.hStart, 0x78787878u);
}

TEST(WinBlock, SameBlockIgnoresBytesBehindTheTexts) {
    VWin w(3, 1, 0, 1, 10, 20, 30, 40, 3, "rtsp://a", "n");
    unsigned char a[WIN_BLOCK_SIZE], b[WIN_BLOCK_SIZE];
    encodeWinBlock(w, a);
    encodeWinBlock(w, b);
    b[WIN_BLOCK_URL + 100] = 'z';
    b[WIN_BLOCK_NAME + 20] = 'z';
    EXPECT_TRUE(sameWinBlock(a, b));
    b[WIN_BLOCK_NAME] = 'm';
    EXPECT_FALSE(sameWinBlock(a, b));
    encodeWinBlock(w, b);
    putBlockU32(b, 32, 41);
    EXPECT_FALSE(sameWinBlock(a, b));
    // A stored field without its terminator differs from any text this program writes.
    w.url = std::string(127, 'q');
    encodeWinBlock(w, a);
    memcpy(b, a, sizeof a);
    b[WIN_BLOCK_URL + 127] = 'q';
    EXPECT_FALSE(sameWinBlock(a, b));
}
