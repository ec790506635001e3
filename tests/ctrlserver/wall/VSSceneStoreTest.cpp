// Scene rebuilds: the records, layouts, key files and block files they leave.
#include "WallModelFixture.h"

namespace {

std::string sceneFile(const char* format, int s, int p, int w = 0) {
    char text[80];
    snprintf(text, sizeof text, format, s, p, w);
    return text;
}

}  // namespace

TEST_F(WallModelTest, SceneRebuildLaysOutTheGridAndDeletesItsBlocks) {
    VSServer& m = start();
    for (int p = 0; p < 3; ++p) {
        writeBytes(sceneFile("/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", 2, p, 79), "x");
        writeBytes(sceneFile("/mnt/sence/qelconfDisWin_%02d_%02d_%02d.ini", 2, p, 0), "x");
    }
    writeBytes(sceneFile("/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", 3, 0, 0), "other");
    *m.pVWinSence[2][1][30] = VWin(30, 1, 0, 1, 5, 6, 7, 8, 30, "u", "n");

    EXPECT_EQ(m.removeSenceData(2, 1, 2, "hall", "pic", 1, 4, 3, 1), 0);
    EXPECT_EQ(m.removeSenceDisplayData(2), 0);

    EXPECT_EQ(iSenceScreenRows[2], 1);
    EXPECT_EQ(iSenceScreenColumns[2], 4);
    EXPECT_EQ(iSenceVScreenWidth[2], 7680);
    EXPECT_EQ(iSenceVScreenHeight[2], 1080);
    EXPECT_EQ(sSenceScreenName[2], "hall");
    EXPECT_EQ(m.pVSence[2]->name, "hall");
    EXPECT_EQ(int(m.pVSence[2]->curPreset), 2);
    EXPECT_EQ(int(m.pVSence[2]->valid), 1);
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        const std::string keys = sceneFile("/mnt/sence/qelconfVSence_%02d_%02d.ini", 2, p);
        EXPECT_EQ(value(keys, "screenWidth"), Json::Value(7680));
        EXPECT_EQ(value(keys, "screenHeight"), Json::Value(1080));
        EXPECT_EQ(value(keys, "screensenceName"), Json::Value("hall"));
        EXPECT_EQ(value(keys, "screensenceCurPreset"), Json::Value(2));
        EXPECT_EQ(value(keys, "screenIP_03"), Json::Value(""));
        // The first start wrote a 2 x 2 grid: 4 cells either way, nothing past cell 3.
        EXPECT_TRUE(value(keys, "screenIP_04").isNull());
        EXPECT_EQ(int(m.pVSenceScreen[2][p]->columns), 4);

        // Cell 1 of the 1 x 4 grid: window 5 covers it, 6..9 collapse at its corner.
        EXPECT_TRUE(
            sameWin(*m.pVWinSence[2][p][5], VWin(5, 1, 0, 1, 1920, 3839, 0, 1079, 5, "", "")));
        EXPECT_TRUE(sameWin(*m.pVWinSenceOrg[2][p][5], *m.pVWinSence[2][p][5]));
        EXPECT_TRUE(sameWin(*m.pVWinSence[2][p][6], VWin(6, 0, 0, 0, 1920, 1920, 0, 0, 6, "", "")));
        EXPECT_EQ(m.pVWinSencePos[2][p][15]->x0, 5760);
        EXPECT_TRUE(sameWin(*m.pVWinSence[2][p][30], VWin(30, 0, 0, 0, 0, 0, 0, 0, 30, "", "")));
        EXPECT_EQ(m.pVWinSencePos[2][p][30]->used, 0);

        // Displays: blank records, split-1 positions of the cell size.
        EXPECT_TRUE(sameWin(*m.pDisWin[2][p][5], VWin(5, 0, 0, 0, 0, 0, 0, 0, 5, "", "")));
        const WinPos& d = *m.pDisWinPos[2][p][75];
        EXPECT_EQ(std::vector<int>({d.used, d.x0, d.y0, d.x1, d.y1}),
                  std::vector<int>({1, 0, 0, 1919, 1079}));
        EXPECT_EQ(m.pDisWinPos[2][p][76]->used, 0);

        EXPECT_FALSE(exists(sceneFile("/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", 2, p, 79)));
        EXPECT_FALSE(exists(sceneFile("/mnt/sence/qelconfDisWin_%02d_%02d_%02d.ini", 2, p, 0)));
    }
    EXPECT_TRUE(exists(sceneFile("/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", 3, 0, 0)));
    EXPECT_EQ(m.removeSenceData(5, 1, 0, "", "", 2, 2, 2, 2), 0);  // no scene 5: nothing
    EXPECT_EQ(m.removeSenceDisplayData(-1), 0);
}
