// Aspect ratio, user mode and the model's factory reset.
#include <signal.h>
#include <sys/resource.h>

#include <set>

#include "WallOpsFixture.h"

namespace {

KeyList ratioKeys(int index, int hor, int ver, int horUserDef, int verUserDef) {
    return {{"HVratioCurIndex", index},
            {"HVratioHor", hor},
            {"HVratioVer", ver},
            {"HVratioHorUserDef", horUserDef},
            {"HVratioVerUserDef", verUserDef}};
}

const char kRatioFile[] = "/mnt/qelconfHVratio.ini";

// Makes every file write of this process fail while it lives.
class FileWritesFail {
public:
    FileWritesFail() {
        getrlimit(RLIMIT_FSIZE, &saved);
        oldHandler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit tiny = saved;
        tiny.rlim_cur = 1;
        setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~FileWritesFail() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, oldHandler);
    }

private:
    struct rlimit saved;
    sighandler_t oldHandler;
};

}  // namespace

TEST_F(WallOpsTest, RatioChangesAreCheckedAndStoredAsFiveKeys) {
    writeKeys(kRatioFile, ratioKeys(3, 4, 3, 5, 4));
    VSServer& m = start();
    ArrayList<HVratio> got;
    char get[] = "config get ratio params";
    ASSERT_EQ(m.cmdVSGetRatio(get, got, 0), 1);
    EXPECT_EQ(got.get(0)->index, 3);
    EXPECT_EQ(got.get(0)->verUserDef, 4);

    struct Case {
        const char* args;  // after "config set ratio params"
        int expected;
        int index, hor, ver;  // what is stored afterwards
    };
    const Case cases[] = {
        {" 4 16 9", 0, 4, 16, 9},
        {" 5 16 9", -1, 4, 16, 9},
        {" -1 16 9", -1, 4, 16, 9},
        {" 2 0 0", 0, 2, 0, 0},
        {" 2 16 0", -1, 2, 0, 0},
        {" 2 0 9", -1, 2, 0, 0},
        {" 1 16", -1, 2, 0, 0},  // ver missing reads 0
        {" 1", 0, 1, 0, 0},
        {" 0 -16 -9", -1, 1, 0, 0},
        {" 0 16 99999999999", -1, 1, 0, 0},  // outside the int range
        {" 3  21   9", 0, 3, 21, 9},         // several blanks between tokens
        {"", 0, 0, 0, 0},                    // every token missing
    };
    for (const Case& c : cases) {
        std::string text = std::string("config set ratio params") + c.args;
        EXPECT_EQ(m.cmdVSSetRatio(&text[0], 0), c.expected) << c.args;
        EXPECT_EQ(m.pHVratio->index, c.index) << c.args;
        EXPECT_EQ(m.pHVratio->hor, c.hor) << c.args;
        EXPECT_EQ(m.pHVratio->ver, c.ver) << c.args;
        EXPECT_EQ(iHVratioIndex, c.index) << c.args;
        EXPECT_EQ(iHVratioHor, c.hor) << c.args;
        EXPECT_EQ(iHVratioVer, c.ver) << c.args;
        EXPECT_EQ(readKeys(kRatioFile), ratioKeys(c.index, c.hor, c.ver, 5, 4)) << c.args;
    }
    std::string longToken = "config set ratio params 1 " + std::string(200, '1') + " 9";
    EXPECT_EQ(m.cmdVSSetRatio(&longToken[0], 0), -1);

    struct UserCase {
        const char* args;
        int expected;
        int hor, ver;
    };
    const UserCase userCases[] = {
        {" 21 9", 0, 21, 9}, {" 21 0", -1, 21, 9}, {" -2 -1", -1, 21, 9},
        {" 0 0", 0, 0, 0},   {" 7", -1, 0, 0},
    };
    for (const UserCase& c : userCases) {
        std::string text = std::string("config set ratio userdef params") + c.args;
        EXPECT_EQ(m.cmdVSSetRatioUserDef(&text[0], 0), c.expected) << c.args;
        EXPECT_EQ(m.pHVratio->horUserDef, c.hor) << c.args;
        EXPECT_EQ(iHVratioVerUserDef, c.ver) << c.args;
        EXPECT_EQ(readKeys(kRatioFile), ratioKeys(0, 0, 0, c.hor, c.ver)) << c.args;
    }
}

TEST_F(WallOpsTest, RatioFileIsRebuiltWholeFromStrayKeys) {
    KeyList stray = {{"other", 1}, {"HVratioVer", 9}, {"HVratioCurIndex", 1}};
    writeKeys(kRatioFile, stray);
    VSServer& m = start();
    char cmd[] = "config set ratio params 2 4 3";
    ASSERT_EQ(m.cmdVSSetRatio(cmd, 0), 0);
    EXPECT_EQ(readKeys(kRatioFile), ratioKeys(2, 4, 3, 0, 0));
}

TEST_F(WallOpsTest, FailedRatioWriteKeepsTheOldFile) {
    VSServer& m = start();
    char first[] = "config set ratio params 1 4 3";
    ASSERT_EQ(m.cmdVSSetRatio(first, 0), 0);
    const std::string before = readBytes(kRatioFile);
    {
        FileWritesFail failing;
        char second[] = "config set ratio params 2 16 9";
        EXPECT_EQ(m.cmdVSSetRatio(second, 0), 0);  // a failed write is not reported
    }
    EXPECT_EQ(m.pHVratio->index, 2);
    EXPECT_EQ(readBytes(kRatioFile), before);
    // The next change is written whole again.
    char third[] = "config set ratio userdef params 5 4";
    ASSERT_EQ(m.cmdVSSetRatioUserDef(third, 0), 0);
    EXPECT_EQ(readKeys(kRatioFile), ratioKeys(2, 16, 9, 5, 4));
}

TEST_F(WallOpsTest, UserModeLivesInMemoryOnly) {
    VSServer& m = start();
    int mode = -1;
    EXPECT_EQ(m.blGetUserMode(mode), 1);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(m.blSetUserMode(3), 1);
    EXPECT_EQ(m.blGetUserMode(mode), 1);
    EXPECT_EQ(mode, 3);
    VSServer& again = start();
    again.blGetUserMode(mode);
    EXPECT_EQ(mode, 0);
}

TEST_F(WallOpsTest, FactoryResetDeletesOrEmptiesExactlyTheModelFiles) {
    VSServer& m = start();
    // Files a running model makes beside those of the first start.
    m.pUWin[123]->url = "rtsp://10.0.0.9/live";
    ASSERT_EQ(m.saveIniUniWin(123), 1);
    m.pVWinSence[4][2][79]->url = "x";
    ASSERT_EQ(m.saveIniWinSence(4, 2, 79), 1);
    m.pDisWin[0][0][0]->url = "x";
    ASSERT_EQ(m.saveIniDisWin(0, 0, 0), 1);
    writeKeys("/mnt/qelconfMulticast.ini", {{"winUrl", "u"}, {"winUrlName", "n"}});
    writeBytes("/mnt/qelconfVWinMode_02.ini", std::string(300, 'm'));
    writeKeys("/mnt/qelconfVWinModeAll.ini", {{"modeMax", 4}});
    writeBytes("/mnt/keep.txt", "not the model's");
    m.pVScreen->ip[0] = "10.0.0.7";

    EXPECT_EQ(m.blFactoryResetToDefault(), 1);

    std::set<std::string> emptied = {"/mnt/qelconfVWinModeAll.ini", "/mnt/qelconfVscreen.ini",
                                     "/mnt/qelconfUnicast.ini"};
    for (int s = 0; s < 5; ++s)
        for (int p = 0; p < 3; ++p)
            emptied.insert("/mnt/sence/qelconfVSence_0" + std::to_string(s) + "_0" +
                           std::to_string(p) + ".ini");
    Json::Value emptyDoc(Json::objectValue);
    emptyDoc["config"] = Json::Value(Json::arrayValue);
    const auto after = modelFiles();
    std::set<std::string> names;
    for (const auto& f : after) {
        if (f.first.find("/qelconf") == std::string::npos) continue;
        names.insert(f.first);
        Json::Value doc;
        ASSERT_TRUE(Json::Reader().parse(f.second.bytes, doc)) << f.first;
        EXPECT_EQ(doc, emptyDoc) << f.first;
    }
    EXPECT_EQ(names, emptied);
    EXPECT_TRUE(exists("/mnt/keep.txt"));

    // Memory stays as it was until the next start.
    ArrayList<VScreen> screen;
    char cmd[] = "config get vs screen params";
    m.cmdVSGetScreen(cmd, screen, 0);
    EXPECT_EQ(screen.get(0)->ip[0], "10.0.0.7");
    EXPECT_EQ(m.pUWin[123]->url, "rtsp://10.0.0.9/live");

    // Destroying the model writes nothing back.
    model.reset();
    EXPECT_EQ(modelFiles(), after);
}
