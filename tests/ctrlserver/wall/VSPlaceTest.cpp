// Window placement on the live wall and the full-window toggle: snapping, refusals, the
// decoder texts of each change, stacking and the committed records.
#include "ScreensFixture.h"

namespace {

const std::string c0 = ScreensTest::cellIp(0), c1 = ScreensTest::cellIp(1);
const std::string c2 = ScreensTest::cellIp(2);

}  // namespace

TEST_F(ScreensTest, SnapsEdgesNearACellBorder) {
    struct Case {
        int w, h0, h1;
        uint32_t snapped0, snapped1;
    } cases[] = {
        {5, 1889, 3840, 1920, 3840},  // a start in a cell's last 31 pixels moves on
        {5, 1888, 3840, 1888, 3840},
        {0, 0, 1951, 0, 1920},  // an end within 31 pixels past a border moves back
        {0, 0, 1952, 0, 1952},
        {0, 0, 1920, 0, 1920},
    };
    for (const Case& c : cases) {
        wall();
        EXPECT_GE(move(c.w, c.h0, c.h1, 0, 1080), 0) << c.w << " " << c.h0 << ".." << c.h1;
        ASSERT_FALSE(listed.empty());
        EXPECT_TRUE(rectIs(listed.back(), c.snapped0, c.snapped1, 0, 1080));
        EXPECT_TRUE(rectIs(*model->pVWinOrg[c.w], c.snapped0, c.snapped1, 0, 1080));
    }
}

TEST_F(ScreensTest, BadArgumentsChangeNothing) {
    const char* bad[] = {
        "config set vs win params 80 0 100 0 100",        "config set vs win params -1 0 100 0 100",
        "config set vs win params 0 100 100 0 100",       "config set vs win params 0 0 100 100 50",
        "config set vs win params 0 1890 1925 0 100",  // snapped to 1920..1920
        "config set vs win params 0 0 99999999999 0 100",
    };
    for (const char* cmd : bad) {
        VSServer& m = wall();
        const VWin before = *m.pVWin[0];
        EXPECT_EQ(run(&VSServer::cmdVSSetWin, cmd), -1) << cmd;
        EXPECT_TRUE(listed.empty()) << cmd;
        EXPECT_TRUE(take().empty()) << cmd;
        EXPECT_TRUE(sameWin(*m.pVWin[0], before)) << cmd;
    }
}

TEST_F(ScreensTest, RefusalsListTheCommittedRecordAndSendNothing) {
    VSServer& m = wall();
    // Leaves its own cell.
    EXPECT_EQ(move(0, 1920, 3000, 0, 500), 1);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(sameWin(listed[0], *m.pVWinOrg[0]));
    EXPECT_TRUE(rectIs(*m.pVWin[0], 0, 1919, 0, 1079));
    // Outside the 2 x 2 grid's 20 windows, and an unused window.
    EXPECT_EQ(move(20, 0, 100, 0, 100), 1);
    EXPECT_EQ(listed[0].win, 20);
    EXPECT_EQ(move(1, 0, 100, 0, 100), 1);
    // Window 2 of cell 0 already spills into cell 1, so window 0 may not.
    place(m.pVWin[2], 1800, 2100, 600, 900, 1, 1);
    *m.pVWinOrg[2] = *m.pVWin[2];
    EXPECT_EQ(move(0, 0, 2000, 0, 500), 1);
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(rectIs(*m.pVWin[0], 0, 1919, 0, 1079));
}

TEST_F(ScreensTest, CrossSpillOfTwoCellsIsAllowed) {
    VSServer& m = wall();
    // Window 7 of cell 1 spills back into cell 0 on a layer of its own.
    place(m.pVWin[7], 1800, 2400, 600, 900, 1, 1);
    *m.pVWinOrg[7] = *m.pVWin[7];
    EXPECT_GE(move(0, 0, 2000, 0, 500), 0);
    EXPECT_TRUE(rectIs(*m.pVWinOrg[0], 0, 2000, 0, 500));
}

TEST_F(ScreensTest, SpillTextsCropsAndStacking) {
    for (unsigned flag : {1u, 0u}) {
        VSServer& m = wall();
        const std::string hide = flag ? "3" : "30";
        EXPECT_EQ(move(0, 0, 1920, 540, 1620, flag), 1);  // window 10 of cell 2 is covered
        const std::vector<std::string> expected = {
            "config set display params " + c2 + " 0 0 \n",
            "config set url params " + c2 + " 16 ",
            "config set display params " + c2 + " 16 1 \n",
            "config set normal hide params " + c0 + " 0 " + hide,
            "config set normal hide params " + c2 + " 16 " + hide,
            "config set video params " + c0 + " 0 0 1920 540 1080 0 100 0 50 0 1 \n",
            "config set video params " + c2 + " 16 0 1920 0 540 0 100 50 100 0 1 \n",
            "config set mul hide params 255.255.255.255 " + hide + " ",
        };
        EXPECT_EQ(take(), expected) << "flag " << flag;
        // The hidden window first, the moved one last and on top: windows 16-19 hold ids up to
        // 19.
        ASSERT_EQ(listed.size(), 2u);
        EXPECT_EQ(listed[0].win, 10);
        EXPECT_EQ(listed[0].visible, 0);
        EXPECT_EQ(listed[1].win, 0);
        EXPECT_EQ(listed[1].winId, 20u);
        EXPECT_EQ(m.pVWinOrg[10]->visible, 0);
        EXPECT_TRUE(rectIs(*m.pVWinOrg[0], 0, 1920, 540, 1620));
        // Window 10's block file was saved with its new state.
        VSServer& again = start();
        EXPECT_EQ(again.pVWin[10]->visible, 0);
        EXPECT_TRUE(rectIs(*again.pVWin[0], 0, 1920, 540, 1620));
    }
}

TEST_F(ScreensTest, MovingBackHidesTheSpillAndShowsTheCoveredWindow) {
    wall();
    move(0, 0, 1920, 540, 1620);
    take();
    EXPECT_EQ(move(0, 0, 1919, 0, 1079), 1);
    const std::vector<std::string> expected = {
        "config set display params " + c2 + " 16 0 \n",
        "config set display params " + c2 + " 0 1 \n",
        "config set video params " + c0 + " 0 0 1919 0 1079 0 100 0 100 0 1 \n",
    };
    EXPECT_EQ(take(), expected);
}

TEST_F(ScreensTest, AMoveInsideTheOwnCellSendsOnlyItsVideoTextEveryTime) {
    wall();
    const std::vector<std::string> expected = {"config set video params " + c0 +
                                               " 0 100 1800 100 1000 0 100 0 100 0 1 \n"};
    for (int repeat = 0; repeat < 2; ++repeat) {
        EXPECT_EQ(move(0, 100, 1800, 100, 1000), 0);
        EXPECT_EQ(take(), expected);
    }
}

TEST_F(ScreensTest, AFreeCellGetsNoText) {
    VSServer& m = wall();
    m.pVScreen->ip[2].clear();
    EXPECT_EQ(move(0, 0, 1920, 540, 1620), 1);
    for (const std::string& t : take()) EXPECT_EQ(t.find(c2), std::string::npos) << t;
}

TEST_F(ScreensTest, ToggleEnlargesToTheQuarterAndBack) {
    VSServer& m = wall();
    ASSERT_EQ(run(&VSServer::cmdVSSetSplit, "config set vs split params 0 4 0"), 0);
    ASSERT_GE(move(0, 100, 500, 100, 400), 0);
    take();
    EXPECT_GE(dbl(0), 0);
    EXPECT_TRUE(rectIs(*m.pVWinOrg[0], 0, 959, 0, 535));
    EXPECT_EQ(take(), std::vector<std::string>{"config set video params " + c0 +
                                               " 0 0 959 0 535 0 100 0 100 0 1 \n"});
    EXPECT_EQ(m.vWinDbl.used, 1);
    EXPECT_GE(dbl(0), 0);
    EXPECT_TRUE(rectIs(*m.pVWinOrg[0], 100, 500, 100, 400));
    EXPECT_EQ(m.vWinDbl.used, 0);
    EXPECT_EQ(m.vWinDbl.win, 80);
}

// A smaller grid leaves the larger one's place records behind (cell 4 of a 3 x 3 wall lies
// where cell 3 of a 2 x 2 one does): only the current grid's places count.
TEST_F(ScreensTest, ToggleAfterASmallerGridTakesTheQuarter) {
    VSServer& m = wall();
    ASSERT_EQ(run(&VSServer::cmdVSSetScreen, "config set vs screen params 3 3 0 0"), 0);
    for (int c = 0; c < 9; ++c) m.pVScreen->ip[c] = cellIp(c);
    ASSERT_EQ(run(&VSServer::cmdVSSetSplit, "config set vs split params 255 1 0"), 0);
    ASSERT_EQ(run(&VSServer::cmdVSSetScreen, "config set vs screen params 2 2 0 0"), 0);
    for (int c = 0; c < 4; ++c) m.pVScreen->ip[c] = cellIp(c);
    ASSERT_EQ(run(&VSServer::cmdVSSetSplit, "config set vs split params 3 4 0"), 0);
    ASSERT_GE(move(15, 2000, 2500, 1100, 1400), 0);
    take();
    EXPECT_GE(dbl(15), 0);
    EXPECT_TRUE(rectIs(*m.pVWinOrg[15], 1920, 2879, 1080, 1615));
}

TEST_F(ScreensTest, ToggleAcrossABorderTakesThePlacesOfBothCells) {
    VSServer& m = wall();
    ASSERT_GE(move(0, 1000, 2500, 100, 900), 0);
    take();
    EXPECT_GE(dbl(0), 0);
    EXPECT_TRUE(rectIs(*m.pVWinOrg[0], 0, 3839, 0, 1079));
    for (const std::string& t : take()) EXPECT_EQ(t.find("hide"), std::string::npos) << t;
}

TEST_F(ScreensTest, ToggleOfAnotherWindowLeavesTheFirstEnlarged) {
    VSServer& m = wall();
    ASSERT_EQ(run(&VSServer::cmdVSSetSplit, "config set vs split params 0 4 0"), 0);
    ASSERT_EQ(run(&VSServer::cmdVSSetSplit, "config set vs split params 1 4 0"), 0);
    ASSERT_GE(move(3, 1000, 1800, 600, 1000), 0);
    ASSERT_GE(move(7, 2000, 2500, 600, 1000), 0);
    EXPECT_GE(dbl(3), 0);
    EXPECT_GE(dbl(7), 0);
    EXPECT_TRUE(rectIs(*m.pVWinOrg[3], 960, 1919, 536, 1079));
    EXPECT_TRUE(rectIs(*m.pVWinOrg[7], 1920, 2879, 536, 1079));
    EXPECT_EQ(m.vWinDbl.win, 7);
    EXPECT_GE(dbl(7), 0);
    EXPECT_TRUE(rectIs(*m.pVWinOrg[7], 2000, 2500, 600, 1000));
    EXPECT_TRUE(rectIs(*m.pVWinOrg[3], 960, 1919, 536, 1079));
    EXPECT_EQ(m.vWinDbl.used, 0);
}

TEST_F(ScreensTest, ToggleWithoutAnOwnPlaceIsRefusedButRemembered) {
    VSServer& m = wall();
    m.pVWinPos[0]->used = 0;
    EXPECT_EQ(dbl(0), 1);
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(rectIs(*m.pVWin[0], 0, 1919, 0, 1079));
    EXPECT_EQ(m.vWinDbl.win, 0);
    EXPECT_EQ(m.vWinDbl.used, 1);
    EXPECT_EQ(dbl(-1), -1);
    EXPECT_EQ(dbl(80), -1);
}

TEST_F(ScreensTest, APlacementOfTheEnlargedWindowEndsTheToggle) {
    VSServer& m = wall();
    move(0, 100, 500, 100, 400);
    dbl(0);
    EXPECT_EQ(m.vWinDbl.used, 1);
    EXPECT_EQ(move(0, 200, 600, 100, 400), 0);
    EXPECT_EQ(m.vWinDbl.used, 0);
    EXPECT_EQ(m.vWinDbl.win, 80);
}

TEST_F(ScreensTest, CutWindowCoversTheWallLessItsCut) {
    VSServer& m = wall();
    ArrayList<VWin> list;
    EXPECT_EQ(m.cmdVSSetCutWin(list, 1), 3);  // windows 5, 10 and 15 are covered
    EXPECT_TRUE(rectIs(*m.pVWinOrg[0], 2, 3838, 2, 2158));
    m.pVScreen->horCut = 200;
    m.pVScreen->width = 400;
    EXPECT_EQ(m.cmdVSSetCutWin(list, 1), -1);
}
