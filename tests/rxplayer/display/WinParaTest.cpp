#include <fstream>
#include <sstream>

#include "DisplayFixture.h"

namespace {

std::string readFile(const std::string& p) {
    std::ifstream f(p);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class WinParaTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        ASSERT_EQ(::system(("mkdir -p '" + root + "/mnt'").c_str()), 0);
    }
    std::string file(int w) {
        char name[64];
        snprintf(name, sizeof name, "/mnt/winpara_%02d.ini", w);
        return root + name;
    }
};

TEST_F(WinParaTest, SaveReducesValuesAndAlwaysWritesUnusedSecondUrl) {
    SAMPLE_VOWIN_S& w = sample_vo_win_s[2];
    snprintf(w.urlSub, sizeof w.urlSub, "rtsp://10.0.0.9/sub");
    w.u32xPosStart = 1921;
    w.u32xPosStop = 1920;
    w.u32yPosStart = 1081;
    w.u32yPosStop = 1080;
    w.u8xClipStart = 101;
    w.u8xClipStop = 100;
    w.u8yClipStart = 0;
    w.u8yClipStop = 255;
    w.u8VideoOrPip = 2;
    w.u8DisplayEn = 3;
    ASSERT_EQ(saveWinParaIni(2), 0);
    EXPECT_EQ(readFile(file(2)),
              "unused_window\nunused_window\n0\n1920\n0\n1080\n0\n100\n0\n53\n0\n1\n");

    snprintf(w.url, sizeof w.url, "rtsp://10.0.0.8/main");
    ASSERT_EQ(saveWinParaIni(2), 0);
    EXPECT_EQ(readFile(file(2)).substr(0, 21), "rtsp://10.0.0.8/main\n");

    // A URL field full to its last byte is written without reading past it.
    memset(w.url, 'a', sizeof w.url);
    ASSERT_EQ(saveWinParaIni(2), 0);
    EXPECT_EQ(readFile(file(2)).substr(0, 65), std::string(64, 'a') + "\n");

    EXPECT_EQ(saveWinParaIni(18), -1);
    EXPECT_EQ(saveWinParaIni(-1), -1);
    ::system(("rm -rf '" + root + "/mnt'").c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(saveWinParaIni(2), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("mnt file system can not be written!"),
              std::string::npos);
}

TEST_F(WinParaTest, MissingFilesAreCreatedWithTheDefaults) {
    ASSERT_EQ(checkWinParaIni(0), 0);
    ASSERT_EQ(checkWinParaIni(3), 0);
    EXPECT_EQ(readFile(file(0)),
              "unused_window\nunused_window\n0\n1920\n0\n1080\n0\n100\n0\n100\n0\n1\n");
    EXPECT_EQ(readFile(file(3)),
              "unused_window\nunused_window\n0\n480\n0\n270\n0\n100\n0\n100\n0\n0\n");
    const SAMPLE_VOWIN_S& w = sample_vo_win_s[3];
    EXPECT_STREQ(w.url, "unused_window");
    EXPECT_EQ(w.u32xPosStop, 480u);
    EXPECT_EQ(w.u32yPosStop, 270u);
    EXPECT_EQ(w.u8DisplayEn, 0);
    EXPECT_EQ(sample_vo_win_s[0].u8DisplayEn, 1);

    ::system(("rm -rf '" + root + "/mnt'").c_str());
    sample_vo_win_s[4].u32xPosStop = 77;
    testing::internal::CaptureStdout();
    EXPECT_EQ(checkWinParaIni(4), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("mnt file system can not be written!"),
              std::string::npos);
    EXPECT_EQ(sample_vo_win_s[4].u32xPosStop, 77u);
}

TEST_F(WinParaTest, ReadingTakesTokensReducesAndKeepsWhatIsMissing) {
    SAMPLE_VOWIN_S& w = sample_vo_win_s[5];
    snprintf(w.url, sizeof w.url, "rtsp://10.0.0.1/a");
    w.u32xPosStart = 100;
    w.u32xPosStop = 500;
    w.u32yPosStart = 10;
    w.u32yPosStop = 300;
    w.u8xClipStart = 5;
    w.u8xClipStop = 95;
    w.u8yClipStart = 10;
    w.u8yClipStop = 90;
    w.u8VideoOrPip = 1;
    w.u8DisplayEn = 1;
    ASSERT_EQ(saveWinParaIni(5), 0);
    SAMPLE_VOWIN_S saved = w;
    memset(&w, 0, sizeof w);
    ASSERT_EQ(checkWinParaIni(5), 0);
    EXPECT_STREQ(w.url, saved.url);
    EXPECT_STREQ(w.urlSub, "unused_window");
    EXPECT_EQ(memcmp(&w.u32xPosStart, &saved.u32xPosStart,
                     sizeof w - offsetof(SAMPLE_VOWIN_S, u32xPosStart)),
              0);

    // Tokens across lines, values past the bounds, a word where a number belongs, a file
    // that ends early, and a URL too long for the field.
    std::ofstream(file(6)) << std::string(70, 'u') << " second\n 1925 -1\n1081 x\n300 101 7\n";
    SAMPLE_VOWIN_S& v = sample_vo_win_s[6];
    memset(&v, 0, sizeof v);
    snprintf(v.url, sizeof v.url, "old");
    v.u32yPosStop = 1090;
    v.u8yClipStart = 9;
    v.u8DisplayEn = 1;
    ASSERT_EQ(checkWinParaIni(6), 0);
    EXPECT_STREQ(v.url, "old");
    EXPECT_STREQ(v.urlSub, "second");
    EXPECT_EQ(v.u32xPosStart, 4u);
    EXPECT_EQ(v.u32xPosStop, 4294967295u % 1921);
    EXPECT_EQ(v.u32yPosStart, 0u);
    EXPECT_EQ(v.u32yPosStop, 1090u % 1081);  // unreadable: kept, then reduced
    EXPECT_EQ(v.u8xClipStart, 300 % 101);
    EXPECT_EQ(v.u8xClipStop, 0);
    EXPECT_EQ(v.u8yClipStart, 7);
    EXPECT_EQ(v.u8DisplayEn, 1);  // missing: kept
}

TEST_F(WinParaTest, FlagsReadAsTheLowBitTheWriterKeeps) {
    // Layer and shown flags beyond 0 and 1 (a hand-edited or damaged file): the record holds
    // what a save writes and the next start reads back, never a byte that is neither.
    struct Case {
        const char* flags;
        int layer, shown;
    };
    for (const Case& c :
         {Case{"540 2", 0, 0}, Case{"5 3", 1, 1}, Case{"256 257", 0, 1}, Case{"-1 1", 1, 1}}) {
        SCOPED_TRACE(c.flags);
        std::ofstream(file(7)) << "u1 u2 0 960 0 540 0 100 0 100 " << c.flags << "\n";
        SAMPLE_VOWIN_S& v = sample_vo_win_s[7];
        memset(&v, 0, sizeof v);
        ASSERT_EQ(checkWinParaIni(7), 0);
        EXPECT_EQ(v.u8VideoOrPip, c.layer);
        EXPECT_EQ(v.u8DisplayEn, c.shown);
        ASSERT_EQ(saveWinParaIni(7), 0);
        const SAMPLE_VOWIN_S read = v;
        ASSERT_EQ(checkWinParaIni(7), 0);
        EXPECT_EQ(v.u8VideoOrPip, read.u8VideoOrPip);
        EXPECT_EQ(v.u8DisplayEn, read.u8DisplayEn);
    }
}

}  // namespace
