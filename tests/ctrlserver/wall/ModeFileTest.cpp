// The window-mode file codec: every field at its offset, a round trip, and the files it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "wall/ModeFile.h"
#include "wall/WinBlock.h"

namespace {

uint32_t u32At(const std::vector<unsigned char>& f, size_t at) {
    return getBlockU32(f.data(), static_cast<int>(at));
}

std::string textAt(const std::vector<unsigned char>& f, size_t at, size_t size) {
    const char* p = reinterpret_cast<const char*>(f.data() + at);
    return std::string(p, strnlen(p, size));
}

std::string bytesAt(const std::vector<unsigned char>& f, size_t at, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += std::to_string(f[at + i]) + (i + 1 < n ? "." : "");
    return out;
}

// A snapshot with a different value in every field, so a field written to the wrong place
// shows.
std::unique_ptr<ModeSnapshot> sample() {
    std::unique_ptr<ModeSnapshot> s(new ModeSnapshot());
    s->name = "Evening";
    s->userMode = 7;
    s->rows = 2;
    s->columns = 3;
    s->horCut = 4;
    s->verCut = 5;
    s->width = 5760;
    s->height = 2160;
    for (int c = 0; c < WALL_CELLS; ++c)
        s->cells[c] = ModeScreen{c + 1, c == 5 ? "" : "10.77.0." + std::to_string(c + 2),
                                 "cell" + std::to_string(c)};
    for (int w = 0; w < 80; ++w)
        s->wallWins[w] = VWin(w, 1, 0, w % 2, 10 * w, 10 * w + 9, 20 * w, 20 * w + 19, 80 - w,
                              "rtsp://10.77.0.9/s" + std::to_string(w), "w" + std::to_string(w));
    s->curIndex = 3;
    s->uniWidth = 1920;
    s->uniHeight = 1080;
    for (int i = 0; i < UNICAST_SLOTS; ++i)
        s->slots[i] = ModeScreen{i % 5 + 1, i < 3 ? "10.77.1." + std::to_string(i + 1) : "",
                                 i < 3 ? "slot" + std::to_string(i) : ""};
    for (int w = 0; w < 1000; ++w)
        s->uniWins[w] =
            VWin(w % 256, w % 2, 0, 1, w, w + 1, w + 2, w + 3, w, "u" + std::to_string(w), "");
    s->multicastUrl = "rtsp://10.77.0.9/m";
    s->multicastName = "TXA_enc";
    s->decoders = {{"10.77.0.2", 4, "RXA"}, {"10.77.0.3", 1, "RXB"}, {"", 1, "RXC"}};
    s->encoders = {{"10.77.0.9", 0, "TXA"}, {"10.77.0.10", 2, "TXB"}};
    return s;
}

TEST(ModeFile, FieldsAtTheirOffsets) {
    const std::unique_ptr<ModeSnapshot> s = sample();
    const std::vector<unsigned char> f = encodeModeFile(*s);
    // 229,256 bytes of block, then 40 bytes per decoder and per encoder.
    ASSERT_EQ(f.size(), 229456u);

    struct Int {
        size_t at;
        uint32_t value;
    };
    const Int ints[] = {
        {0, 1},
        {44, 7},
        {48, 2},
        {52, 3},
        {56, 4},
        {60, 5},
        {64, 5760},
        {68, 2160},
        {72, 1},
        {72 + 15 * 40, 16},
        {17032, 3},
        {17036, 1920},
        {17040, 1080},
        {17044, 1},
        {17044 + 199 * 40, 199 % 5 + 1},
        {229248, 3},
        {229252, 2},
        // Window blocks: wall window 0 and 79, unicast window 999.
        {712 + 20, 0},
        {712 + 79 * 204 + 0, 79},
        {712 + 79 * 204 + 4, 1},
        {712 + 79 * 204 + 32, 20 * 79 + 19},
        {25044 + 999 * 204 + 24, 1000},
        // Device entries: status.
        {229256 + 4, 4},
        {229256 + 2 * 40 + 4, 1},
        {229256 + 4 * 40 + 4, 2},
        // The multicast record's integers are all 0.
        {229044, 0},
        {229044 + 32, 0},
    };
    for (const Int& i : ints) EXPECT_EQ(u32At(f, i.at), i.value) << "offset " << i.at;

    struct Text {
        size_t at, size;
        std::string value;
    };
    const Text texts[] = {
        {4, 40, "Evening"},
        {72 + 8, 32, "cell0"},
        {72 + 15 * 40 + 8, 32, "cell15"},
        {712 + 36, 128, "rtsp://10.77.0.9/s0"},
        {712 + 79 * 204 + 164, 40, "w79"},
        {17044 + 2 * 40 + 8, 32, "slot2"},
        {25044 + 999 * 204 + 36, 128, "u999"},
        {229044 + 36, 128, "rtsp://10.77.0.9/m"},
        {229044 + 164, 40, "TXA_enc"},
        {229256 + 8, 32, "RXA"},
        {229256 + 4 * 40 + 8, 32, "TXB"},
    };
    for (const Text& t : texts) EXPECT_EQ(textAt(f, t.at, t.size), t.value) << "offset " << t.at;

    struct Address {
        size_t at;
        std::string bytes;
    };
    const Address addresses[] = {
        {72 + 4, "10.77.0.2"},           {72 + 5 * 40 + 4, "0.0.0.0"}, {17044 + 4, "10.77.1.1"},
        {17044 + 3 * 40 + 4, "0.0.0.0"}, {229256, "10.77.0.2"},        {229256 + 2 * 40, "0.0.0.0"},
        {229256 + 4 * 40, "10.77.0.10"},
    };
    for (const Address& a : addresses) EXPECT_EQ(bytesAt(f, a.at, 4), a.bytes) << "offset " << a.at;
}

TEST(ModeFile, RoundTrip) {
    const std::unique_ptr<ModeSnapshot> s = sample();
    const std::vector<unsigned char> f = encodeModeFile(*s);
    std::unique_ptr<ModeSnapshot> back(new ModeSnapshot());
    ASSERT_EQ(decodeModeFile(f.data(), f.size(), *back), ModeFileError::None);
    EXPECT_EQ(back->name, s->name);
    EXPECT_EQ(back->userMode, 7);
    EXPECT_EQ(back->rows, 2);
    EXPECT_EQ(back->columns, 3);
    EXPECT_EQ(back->horCut, 4);
    EXPECT_EQ(back->verCut, 5);
    EXPECT_EQ(back->width, 5760);
    EXPECT_EQ(back->height, 2160);
    for (int c = 0; c < WALL_CELLS; ++c) {
        EXPECT_EQ(back->cells[c].ip, s->cells[c].ip) << c;
        EXPECT_EQ(back->cells[c].name, s->cells[c].name) << c;
        EXPECT_EQ(back->cells[c].splitnum, s->cells[c].splitnum) << c;
    }
    for (int w = 0; w < 80; ++w) {
        unsigned char a[WIN_BLOCK_SIZE], b[WIN_BLOCK_SIZE];
        encodeWinBlock(s->wallWins[w], a);
        encodeWinBlock(back->wallWins[w], b);
        EXPECT_TRUE(sameWinBlock(a, b)) << w;
    }
    EXPECT_EQ(back->curIndex, 3);
    EXPECT_EQ(back->uniWidth, 1920);
    EXPECT_EQ(back->uniHeight, 1080);
    for (int i = 0; i < UNICAST_SLOTS; ++i) EXPECT_EQ(back->slots[i].ip, s->slots[i].ip) << i;
    EXPECT_EQ(back->uniWins[999].url, "u999");
    EXPECT_EQ(back->uniWins[999].hEnd, 1000u);
    EXPECT_EQ(back->multicastUrl, s->multicastUrl);
    EXPECT_EQ(back->multicastName, s->multicastName);
    ASSERT_EQ(back->decoders.size(), 3u);
    ASSERT_EQ(back->encoders.size(), 2u);
    EXPECT_EQ(back->decoders[0].ip, "10.77.0.2");
    EXPECT_EQ(back->decoders[0].status, 4);
    EXPECT_EQ(back->decoders[2].ip, "");  // address 0 reads back as no address
    EXPECT_EQ(back->encoders[1].ip, "10.77.0.10");
    EXPECT_EQ(back->encoders[1].name, "TXB");
    // Encoding what was read gives the same bytes.
    EXPECT_EQ(encodeModeFile(*back), f);
}

TEST(ModeFile, LongTextsAreCutAtCharacterBoundaries) {
    std::unique_ptr<ModeSnapshot> s(new ModeSnapshot());
    // 30 ASCII bytes then a 2-byte character: 32 bytes, one more than a name field takes.
    s->cells[0].name = std::string(30, 'a') + "\xc3\xa9";
    s->name = std::string(38, 'b') + "\xc3\xa9";  // 40 bytes
    s->decoders = {{"10.77.0.2", 1, std::string(40, 'd')}};
    const std::vector<unsigned char> f = encodeModeFile(*s);
    EXPECT_EQ(textAt(f, 72 + 8, 32), std::string(30, 'a'));
    EXPECT_EQ(textAt(f, 4, 40), std::string(38, 'b'));
    EXPECT_EQ(textAt(f, 229256 + 8, 32), std::string(31, 'd'));
}

TEST(ModeFile, RefusedFiles) {
    const std::unique_ptr<ModeSnapshot> s = sample();
    const std::vector<unsigned char> good = encodeModeFile(*s);
    struct Case {
        const char* what;
        size_t length;  // bytes of the file kept
        std::vector<std::pair<size_t, uint32_t>> words;
        ModeFileError expected;
    };
    const Case cases[] = {
        {"short file", 229255, {}, ModeFileError::Short},
        {"empty file", 0, {}, ModeFileError::Short},
        {"valid 0", good.size(), {{0, 0}}, ModeFileError::NotValid},
        {"valid 2", good.size(), {{0, 2}}, ModeFileError::NotValid},
        {"5 x 4 grid", good.size(), {{48, 5}, {52, 4}}, ModeFileError::BadGrid},
        {"17 x 0 grid", good.size(), {{48, 17}, {52, 0}}, ModeFileError::BadGrid},
        {"negative rows", good.size(), {{48, 0xFFFFFFFF}, {52, 1}}, ModeFileError::BadGrid},
        {"0 x 3 grid", good.size(), {{48, 0}, {52, 3}}, ModeFileError::None},
        {"4 x 4 grid", good.size(), {{48, 4}, {52, 4}}, ModeFileError::None},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> f(good.begin(), good.begin() + c.length);
        for (const auto& w : c.words) putBlockU32(f.data(), static_cast<int>(w.first), w.second);
        std::unique_ptr<ModeSnapshot> out(new ModeSnapshot());
        out->name = "untouched";
        EXPECT_EQ(decodeModeFile(f.data(), f.size(), *out), c.expected) << c.what;
        if (c.expected != ModeFileError::None) {
            EXPECT_EQ(out->name, "untouched") << c.what;
        }
    }
}

TEST(ModeFile, DeviceCountsBoundedByTheFile) {
    const std::unique_ptr<ModeSnapshot> s = sample();
    std::vector<unsigned char> f = encodeModeFile(*s);
    struct Case {
        uint32_t decoders, encoders;
        size_t length;
        size_t wantDecoders, wantEncoders;
    };
    const Case cases[] = {
        {0xFFFFFFFF, 0xFFFFFFFF, f.size(), 5, 0},  // all five entries taken as decoders
        {3, 0xFFFFFFFF, f.size(), 3, 2},
        {3, 2, 229256 + 3 * 40 + 39, 3, 0},  // the encoder entry is cut short
        {3, 2, 229256, 0, 0},
        {0, 0, f.size(), 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> g(f.begin(), f.begin() + c.length);
        putBlockU32(g.data(), 229248, c.decoders);
        putBlockU32(g.data(), 229252, c.encoders);
        std::unique_ptr<ModeSnapshot> out(new ModeSnapshot());
        ASSERT_EQ(decodeModeFile(g.data(), g.size(), *out), ModeFileError::None);
        EXPECT_EQ(out->decoders.size(), c.wantDecoders) << c.decoders << " " << c.length;
        EXPECT_EQ(out->encoders.size(), c.wantEncoders) << c.encoders << " " << c.length;
    }
    // A table of 0xFFFFFFFF entries backed by the bytes is still held to 255.
    std::unique_ptr<ModeSnapshot> many(new ModeSnapshot());
    many->decoders.assign(300, ModeDevice{"10.77.0.2", 1, "x"});
    std::vector<unsigned char> big = encodeModeFile(*many);
    putBlockU32(big.data(), 229248, 0xFFFFFFFF);
    std::unique_ptr<ModeSnapshot> out(new ModeSnapshot());
    ASSERT_EQ(decodeModeFile(big.data(), big.size(), *out), ModeFileError::None);
    EXPECT_EQ(out->decoders.size(), 255u);
}

TEST(ModeFile, NamesWithoutTerminatorStopAtTheirField) {
    const std::unique_ptr<ModeSnapshot> s = sample();
    std::vector<unsigned char> f = encodeModeFile(*s);
    memset(f.data() + 4, 'n', 40);               // mode name, no zero
    memset(f.data() + 72 + 8, 'c', 32);          // cell 0 name
    memset(f.data() + 229256 + 8, 'd', 32);      // decoder 0 name
    memset(f.data() + 712 + 36, 'u', 128 + 40);  // window 0 url and name
    std::unique_ptr<ModeSnapshot> out(new ModeSnapshot());
    ASSERT_EQ(decodeModeFile(f.data(), f.size(), *out), ModeFileError::None);
    EXPECT_EQ(out->name, std::string(39, 'n'));
    EXPECT_EQ(out->cells[0].name, std::string(31, 'c'));
    EXPECT_EQ(out->cells[1].name, "cell1");
    EXPECT_EQ(out->decoders[0].name, std::string(31, 'd'));
    EXPECT_EQ(out->wallWins[0].url, std::string(127, 'u'));
    EXPECT_EQ(out->wallWins[0].name, std::string(39, 'u'));
    std::string name;
    ASSERT_TRUE(modeFileName(f.data(), f.size(), name));
    EXPECT_EQ(name, std::string(39, 'n'));
}

}  // namespace
