// Scene store, create, remove and query: the records, the three key files exactly, and which
// block files exist afterwards; the scene wall's decoders, windows, splits and sources.
#include "ScenesFixture.h"

TEST_F(ScenesTest, CreateWritesTheKeyFilesExactlyAndTheGridBlocksOnly) {
    VSServer& m = fresh();
    EXPECT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Lobby lobby.jpg"), 0);
    EXPECT_TRUE(take().empty());
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(readKeys(keyFile(0, p)), rebuiltKeys("Lobby", 0, 1, "lobby.jpg", 0, 2, 2, 4));
        EXPECT_EQ(hex(readBytes(winFile(0, p, 5)), 36),
                  "05000000 05000000 01000000 00000000 01000000 80070000 ff0e0000 00000000 "
                  "37040000");
        EXPECT_EQ(readBytes(winFile(0, p, 5)).size(), 204u);
        for (int w = 0; w < 20; ++w) EXPECT_TRUE(exists(winFile(0, p, w))) << w;
        for (int w = 20; w < 80; ++w) EXPECT_FALSE(exists(winFile(0, p, w))) << w;
        // A blank display window 0 stores as all zeros, what a missing file reads as.
        for (int w = 1; w < 80; ++w) EXPECT_TRUE(exists(disFile(0, p, w))) << w;
    }
    EXPECT_EQ(m.pVSence[0]->name, "Lobby");
    EXPECT_EQ(int(m.pVSence[0]->valid), 1);
    EXPECT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Lobby"), 1);
}

TEST_F(ScenesTest, DeleteAndTheWallOnlyRebuildsLeaveTheirFiles) {
    VSServer& m = fresh();
    ASSERT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create Hall 3"), 0);
    EXPECT_EQ(int(m.pVSence[0]->curPreset), 2);
    m.pVSenceScreen[0][1]->disIP[3] = "10.0.0.50";
    m.pVSenceScreen[0][1]->disName[3] = "RXD";

    // The wall alone goes back to 2 x 2; the scene and its display screens stay.
    m.rebuildScene(0, 1, 2, "Hall", "", 1, 4, 2, 2, VSServer::SceneRebuild{true, true, true});
    for (int p = 0; p < 3; ++p) {
        KeyList want = rebuiltKeys("Hall", 0, 1, "", 2, 1, 4, 4);
        if (p == 1)
            for (auto& kv : want) {
                if (kv.first == "disIP_03") kv.second = "10.0.0.50";
                if (kv.first == "disName_03") kv.second = "RXD";
            }
        EXPECT_EQ(readKeys(keyFile(0, p)), want) << p;
    }
    EXPECT_EQ(m.pVSenceScreen[0][1]->disIP[3], "10.0.0.50");
    EXPECT_TRUE(exists(winFile(0, 0, 15)));

    EXPECT_EQ(m.removeSenceVWData(0, 1, 2, "Hall", "", 2, 2, 2, 2), 0);
    EXPECT_EQ(m.pVSenceScreen[0][1]->disIP[3], "10.0.0.50");
    for (int w = 0; w < 80; ++w) EXPECT_FALSE(exists(winFile(0, 1, w))) << w;
    EXPECT_TRUE(exists(disFile(0, 1, 1)));

    EXPECT_EQ(scene(&VSServer::cmdVSDelSence, "config del sence params 0"), 0);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(readKeys(keyFile(0, p)), rebuiltKeys("", 0, 0, "", 0, 2, 2, 4)) << p;
        for (int w = 0; w < 80; ++w) {
            EXPECT_FALSE(exists(winFile(0, p, w)));
            EXPECT_FALSE(exists(disFile(0, p, w)));
        }
    }
    EXPECT_EQ(int(m.pVSence[0]->valid), 0);
    // The records keep the split-1 layout of the free 2 x 2 slot.
    EXPECT_TRUE(rectIs(*m.pVWinSence[0][0][15], 1920, 3839, 1080, 2159));
    EXPECT_TRUE(take().empty());
}

TEST_F(ScenesTest, CreateRemoveAndQueryCases) {
    VSServer& m = fresh();
    EXPECT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create A 4"), 0);
    EXPECT_EQ(int(m.pVSence[0]->curPreset), 0);
    EXPECT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create A"), -1);         // name taken
    EXPECT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params A"), 1);  // allowed
    EXPECT_EQ(m.cmdVSGetSenceId("A"), 0);
    EXPECT_EQ(m.cmdVSGetSenceId("a"), -1);
    EXPECT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create B 2"), 2);
    EXPECT_EQ(int(m.pVSence[2]->curPreset), 1);
    EXPECT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create C 03"), 3);
    EXPECT_EQ(int(m.pVSence[3]->curPreset), 0);  // only the exact tokens name a preset

    for (const char* bad : {"config del sence params 5", "config del sence params -1",
                            "config del sence params 4", "config del sence params 99999999999"}) {
        EXPECT_EQ(scene(&VSServer::cmdVSDelSence, bad), -1) << bad;
    }
    // Over-long names and tokens: refused, nothing written.
    const auto before = sceneFiles();
    const std::string name64(64, 'n');
    EXPECT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create " + name64), -1);
    EXPECT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params " + name64), -1);
    EXPECT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params x " + std::string(128, 'p')),
              -1);
    EXPECT_EQ(sceneFiles(), before);
    EXPECT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create " + std::string(63, 'n')), 4);
    EXPECT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create D"), -1);  // all in use
    EXPECT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params D"), -1);

    ArrayList<VSence> list;
    EXPECT_EQ(m.cmdVSGetSence(nullptr, list, 1), 1);
    EXPECT_EQ(list.count, 5);

    m.pVSenceScreen[2][0]->screenIP[0] = "10.0.0.9";
    ArrayList<VSence> one;
    ArrayList<VSenceScreen> walls;
    EXPECT_EQ(m.cmdVSGetSenceAllInfo(2, one, walls, 1), 1);
    ASSERT_EQ(walls.count, 1);
    EXPECT_EQ(walls.head->next->data->screenIP[0], "10.0.0.9");  // preset 0, not current 1
    EXPECT_EQ(one.head->next->data->name, "B");

    ArrayList<VSenceScreen> others;
    EXPECT_EQ(m.cmdVSGetAllSenceIp(others, 1), -1);
    iSenceCurrent = 2;
    EXPECT_EQ(m.cmdVSGetAllSenceIp(others, 1), 0);
    EXPECT_EQ(others.count, 4);
    iSenceCurrent = -1;

    EXPECT_EQ(scene(&VSServer::cmdVSDelNewSence, "scene remove Nope"), -1);
    EXPECT_EQ(scene(&VSServer::cmdVSDelNewSence, "scene remove B"), 0);
    EXPECT_EQ(int(m.pVSence[2]->valid), 0);
    EXPECT_EQ(m.cmdVSGetSenceName(0), "A");
}

TEST_F(ScenesTest, AFailedKeyWriteLeavesEverySceneFileAsItWas) {
    fresh();
    ASSERT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Old"), 0);
    const auto before = sceneFiles();
    {
        FileWritesFail full;
        EXPECT_EQ(scene(&VSServer::cmdVSDelSence, "config del sence params 0"), -1);
        EXPECT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params New"), -1);
    }
    EXPECT_EQ(sceneFiles(), before);
    EXPECT_EQ(model->pVSence[0]->name, "Old");
    EXPECT_EQ(int(model->pVSence[1]->valid), 0);
}

// --- Geometry checks ---------------------------------------------------------------------

TEST_F(ScenesTest, OverlapJumpOutAndVisibilityCases) {
    VSServer& m = fresh();
    ASSERT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params G"), 0);
    auto& W = m.pVWinSence[0][0];
    struct Case {
        uint32_t a0, a1, b0, b1;  // horizontal extents, both 0..539 high unless noted
        int want;
    } cases[] = {{0, 959, 960, 1919, -1}, {0, 960, 960, 1919, -1}, {0, 961, 960, 1919, 0}};
    for (const Case& c : cases) {
        place(W[1], c.a0, c.a1, 0, 539);
        place(W[2], c.b0, c.b1, 0, 539);
        EXPECT_EQ(m.checkWhetherWindowIsOverlapSenceWindow(0, 0, 1, 2), c.want) << c.a1;
    }
    place(W[1], 0, 1919, 0, 599);
    place(W[2], 0, 1919, 500, 1079);
    EXPECT_EQ(m.checkWhetherWindowIsOverlapSenceWindow(0, 0, 1, 2), 0);
    place(W[2], 0, 1919, 500, 1079, 1, 1);  // another layer
    EXPECT_EQ(m.checkWhetherWindowIsOverlapSenceWindow(0, 0, 1, 2), -1);

    place(W[0], 0, 1920, 0, 2159);
    const int jumpOut[] = {0, -1, 0, -1};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(m.checkWhetherWindowIsJumpOutSenceScreen(0, 0, 0, c), jumpOut[c]) << c;
    EXPECT_EQ(m.checkWhetherWindowIsOverlapSenceScreen(0, 0, 0, 0), -1);  // own cell
    EXPECT_EQ(m.checkWhetherWindowIsOverlapSenceScreen(0, 0, 0, 2), 0);
    W[0]->visible = 0;
    EXPECT_EQ(m.checkWhetherWindowIsOverlapSenceScreen(0, 0, 0, 2), -1);  // hidden
    EXPECT_EQ(m.checkWhetherWindowIsJumpOutSenceScreen(0, 0, 0, 0), 0);
    *m.pVWinSenceOrg[0][0][0] = *W[0];
    EXPECT_EQ(m.checkWhetherOrgWindowIsOverlapSenceScreen(0, 0, 0, 2), -1);
    EXPECT_EQ(m.checkWhetherOrgWindowIsOverlapSenceScreen_2(0, 0, 0, 2), 0);
    EXPECT_EQ(m.checkWhetherLoadPresetWindowIsOverlapSenceScreen(*W[0], 0, 0, 0, 2), 0);

    // Windows 3 and 12 hidden behind 7 and overlapping each other: when 7 moves away, the
    // lower-numbered one shows and hides the other.
    for (int w = 0; w < 80; ++w) *W[w] = VWin(w, 0, 0, 0, 0, 0, 0, 0, w, "", "");
    place(W[3], 100, 600, 100, 600, 0);
    place(W[12], 300, 900, 300, 900, 0);
    place(W[7], 3000, 3500, 100, 600, 1);
    m.cmdVSSetSenceWinState(0, 0, 7);
    EXPECT_EQ(int(W[3]->visible), 1);
    EXPECT_EQ(int(W[12]->visible), 0);
    EXPECT_EQ(int(W[7]->visible), 1);

    // A grid without cells answers no without dividing.
    m.pVSenceScreen[0][1]->rows = 0;
    place(m.pVWinSence[0][1][0], 0, 100, 0, 100);
    EXPECT_EQ(m.checkWhetherWindowIsJumpOutSenceScreen(0, 1, 0, 0), -1);
}

TEST_F(ScenesTest, SplitLayoutsOverTheOneLayoutFunction) {
    VSServer& m = fresh();
    struct Case {
        int x, y, split, k;
        uint32_t h0, h1, v0, v1;
        uint8_t used;
    } cases[] = {
        {0, 0, 4, 0, 0, 959, 0, 535, 1},
        {0, 0, 4, 3, 960, 1919, 536, 1079, 1},
        {0, 0, 4, 4, 0, 0, 0, 0, 0},
        {0, 0, 5, 0, 0, 1919, 0, 807, 1},
        {0, 0, 5, 2, 480, 959, 808, 1079, 1},
        {0, 0, 5, 4, 1440, 1919, 808, 1079, 1},
        {1920, 1080, 4, 1, 2880, 3839, 1080, 1615, 1},
        {1920, 1080, 5, 1, 1920, 2399, 1888, 2159, 1},
    };
    for (const Case& c : cases) {
        m.resetScreenWinSence(1, 2, c.x, c.y, 1920, 1080, c.split, 10);
        const VWin& w = *m.pVWinSence[1][2][10 + c.k];
        EXPECT_TRUE(rectIs(w, c.h0, c.h1, c.v0, c.v1)) << c.split << "/" << c.k;
        EXPECT_EQ(w.used, c.used);
        EXPECT_EQ(int(w.win), 10 + c.k);
        EXPECT_EQ(w.winId, 10u + c.k);
    }
    m.pVWinSence[1][2][10]->url = "kept";
    const VWin before = *m.pVWinSence[1][2][10];
    for (int split : {2, 3}) m.resetScreenWinSence(1, 2, 0, 0, 1920, 1080, split, 10);
    EXPECT_TRUE(sameWin(*m.pVWinSence[1][2][10], before));

    m.pDisWin[1][2][5]->url = "gone";
    m.clearDisplayWinSence(1, 2, 0, 0, 1920, 1080, 4, 5);
    EXPECT_TRUE(sameWin(*m.pDisWin[1][2][5], VWin(5, 1, 0, 1, 0, 959, 0, 535, 5, "", "")));
    EXPECT_TRUE(sameWin(*m.pDisWinOrg[1][2][5], *m.pDisWin[1][2][5]));
}

// --- Scene wall: decoders, windows, splits, sources ---------------------------------------

TEST_F(SceneWallTest, ADecoderInACellGetsItsTextsAndLeavesTheLiveWall) {
    VSServer& m = fresh();
    m.pVScreen->ip[3] = "10.77.0.2";
    ASSERT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Lobby lobby.jpg"), 0);
    EXPECT_EQ(
        scene(&VSServer::cmdVSSetRXSenceScreen, "config set sence vs src params 0 0 0 10.77.0.2"),
        0);
    std::vector<std::string> want = {
        "config set split params 10.77.0.2 1 0 \n", "config set rx display ip 10.77.0.2 \n",
        "config set cutedge params 10.77.0.2 2 2 \n",
        "config set video params 10.77.0.2 0 0 1919 0 1079 0 100 0 100 0 1 \n"};
    for (int k = 0; k < 5; ++k)
        want.push_back("config set url params 10.77.0.2 " + std::to_string(k) + " unused_window");
    EXPECT_EQ(take(), want);
    EXPECT_EQ(m.pVScreen->ip[3], "");
    EXPECT_EQ(value("/mnt/qelconfVscreen.ini", "screenSplitnum_03"), Json::Value(0));
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(value(keyFile(0, p), "screenIP_00"), Json::Value("10.77.0.2"));
        EXPECT_EQ(value(keyFile(0, p), "screenName_00"), Json::Value("RXA"));
    }
    // The same decoder again: no "unused_window" texts.
    EXPECT_EQ(
        scene(&VSServer::cmdVSSetRXSenceScreen, "config set sence vs src params 0 0 0 10.77.0.2"),
        0);
    EXPECT_EQ(take().size(), 4u);

    const auto before = sceneFiles();
    for (const char* bad : {"config set sence vs src params 0 1 0 10.77.0.2",  // not current
                            "config set sence vs src params 5 0 0 10.77.0.2",
                            "config set sence vs src params 0 0 4 10.77.0.2",  // no such cell
                            "config set sence vs src params 0 0 15 10.77.0.2",
                            "config set sence vs src params 0 0 1 10.77.0.99"}) {
        EXPECT_EQ(scene(&VSServer::cmdVSSetRXSenceScreen, bad), -1) << bad;
    }
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(sceneFiles(), before);
}

TEST_F(SceneWallTest, ASourceAndASpillingWindowReachBothDecoders) {
    VSServer& m = lobby();
    take();
    EXPECT_EQ(scene(&VSServer::cmdVSSetSenceUrl,
                    "config set sence vs url params 0 0 0 esource 10.77.0.9 0"),
              0);
    EXPECT_EQ(take(), std::vector<std::string>{
                          "config set url params 10.77.0.2 0 rtsp://10.77.0.9/stream0"});
    EXPECT_EQ(m.pVWinSence[0][0][0]->name, "TXA");
    EXPECT_EQ(scene(&VSServer::cmdVSSetSenceUrl,
                    "config set sence vs url params 0 0 0 esource 10.77.0.8 0"),
              -1);

    EXPECT_EQ(win("0 0 0 0 2879 0 1079"), 1);  // window 5 hidden
    const auto all = take();
    EXPECT_EQ(to(all, "10.77.0.3"),
              (std::vector<std::string>{
                  "config set display params 10.77.0.3 0 0 \n",
                  "config set url params 10.77.0.3 16 rtsp://10.77.0.9/stream0",
                  "config set display params 10.77.0.3 16 1 \n",
                  "config set normal hide params 10.77.0.3 16 3",
                  "config set video params 10.77.0.3 16 0 959 0 1079 66 100 0 100 0 1 \n"}));
    EXPECT_EQ(to(all, "10.77.0.2"),
              (std::vector<std::string>{
                  "config set normal hide params 10.77.0.2 0 3 \n",
                  "config set video params 10.77.0.2 0 0 1920 0 1079 0 66 0 100 0 1 \n"}));
    EXPECT_EQ(all.back(), "config set mul hide params 255.255.255.255 3 ");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(int(listed[0].win), 5);
    EXPECT_EQ(int(listed[0].visible), 0);
    EXPECT_EQ(int(listed[1].win), 0);
    EXPECT_GT(listed[1].winId, 5u);  // on top

    // Back into its cell: the neighbour's window 16 goes dark once, window 5 shows again.
    EXPECT_EQ(win("0 0 0 0 1000 0 1079", 0), 1);
    EXPECT_EQ(to(take(), "10.77.0.3"),
              (std::vector<std::string>{"config set display params 10.77.0.3 16 0 \n",
                                        "config set display params 10.77.0.3 0 1 \n"}));
    // Long hides for a replay.
    EXPECT_EQ(win("0 0 0 0 2879 0 1079", 0), 1);
    const auto replay = take();
    EXPECT_EQ(to(replay, "10.77.0.3")[3], "config set normal hide params 10.77.0.3 16 30");
    EXPECT_EQ(replay.back(), "config set mul hide params 255.255.255.255 30 ");
}

TEST_F(SceneWallTest, SnapsAndUndoneWindows) {
    VSServer& m = lobby();
    struct Snap {
        int h0, h1;
        uint32_t want0, want1;
    } snaps[] = {{1888, 2500, 1888, 2500}, {1889, 2500, 1920, 2500}, {1900, 2500, 1920, 2500}};
    for (const Snap& s : snaps) {
        EXPECT_GE(win("0 0 5 " + std::to_string(s.h0) + " " + std::to_string(s.h1) + " 0 1079"), 0);
        EXPECT_TRUE(rectIs(*m.pVWinSence[0][0][5], s.want0, s.want1, 0, 1079)) << s.h0;
    }
    struct End {
        int h1;
        uint32_t want;
    } ends[] = {{1925, 1920}, {1951, 1920}, {1952, 1952}};
    for (const End& e : ends) {
        EXPECT_GE(win("0 0 0 0 " + std::to_string(e.h1) + " 0 1079"), 0);
        EXPECT_TRUE(rectIs(*m.pVWinSence[0][0][0], 0, e.want, 0, 1079)) << e.h1;
    }
    take();
    const auto before = sceneFiles();
    const VWin kept = *m.pVWinSence[0][0][0];
    // Refused: -1 with the message; undone: 1 with the unchanged window listed.
    for (const char* bad : {"5 0 0 0 100 0 100", "0 1 0 0 100 0 100", "0 0 80 0 100 0 100",
                            "0 0 0 100 100 0 100", "0 0 -1 0 100 0 100"})
        EXPECT_EQ(win(bad), -1) << bad;
    struct Undone {
        const char* args;
        int w;
    } undone[] = {{"0 0 20 0 100 0 100", 20},      // a cell the grid does not have
                  {"0 0 1 0 100 0 100", 1},        // not in use
                  {"0 0 0 1900 1925 0 1079", 0}};  // snapped to no width
    for (const Undone& u : undone) {
        EXPECT_EQ(win(u.args), 1) << u.args;
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(int(listed[0].win), u.w);
    }
    EXPECT_TRUE(sameWin(*m.pVWinSence[0][0][0], kept));
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(sceneFiles(), before);

    // Cell 0's window into cell 1 while a window of cell 2 already reaches into cell 1.
    m.pVSenceScreen[0][0]->screenIP[2] = "10.0.0.30";
    EXPECT_GE(win("0 0 0 0 1919 0 1079"), 0);
    EXPECT_GE(win("0 0 10 0 2500 1080 2159"), 0);  // cell 2's window into cell 3
    EXPECT_GE(win("0 0 10 0 1919 1080 2159"), 0);
    EXPECT_EQ(win("0 0 10 0 2500 500 2159"), 3);  // into cells 0, 1 and 3: hides 0, 5, 15
    take();
    EXPECT_EQ(win("0 0 0 0 2879 0 1079"), 1);
    EXPECT_TRUE(take().empty());
}

TEST_F(SceneWallTest, SplitsByCellAndForEveryCell) {
    VSServer& m = lobby();
    take();
    EXPECT_EQ(scene(&VSServer::cmdVSSetSenceSplit, "config set sence vs split params 0 0 1 4 0"),
              0);
    auto t = take();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0], "config set split params 10.77.0.3 4 0 \n");
    EXPECT_EQ(t.size(), 5u);  // then the placement of windows 5..8
    EXPECT_TRUE(rectIs(*m.pVWinSence[0][0][8], 2880, 3839, 536, 1079));
    EXPECT_EQ(scene(&VSServer::cmdVSSetSenceSplit, "config set sence vs split params 0 0 1 5 0", 0),
              0);
    EXPECT_EQ(take(), std::vector<std::string>{"config set splitundis params 10.77.0.3 5 0 \n"});

    EXPECT_EQ(scene(&VSServer::cmdVSSetSenceSplit, "config set sence vs split params 0 0 255 4 0"),
              0);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(m.pVSenceScreen[0][0]->screenSplitnum[c], 4);
        EXPECT_EQ(value(keyFile(0, 0), vsNumbered("screenSplitnum_%02d", c)), Json::Value(4));
    }
    EXPECT_TRUE(value(keyFile(0, 0), "screenSplitnum_255").isNull());
    take();
    const auto before = sceneFiles();
    for (const char* bad : {"0 0 1 2 0", "0 0 1 3 0", "0 0 4 4 0", "0 0 1 4 1", "0 2 1 4 0"})
        EXPECT_EQ(scene(&VSServer::cmdVSSetSenceSplit,
                        std::string("config set sence vs split params ") + bad),
                  -1)
            << bad;
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(sceneFiles(), before);
}

TEST_F(SceneWallTest, GridCutDeleteAndLists) {
    VSServer& m = lobby();
    m.pVSenceScreen[0][1]->disIP[2] = "10.0.0.77";
    take();
    EXPECT_EQ(scene(&VSServer::cmdVSSetSenceRowColumnCutEdge,
                    "config set sence vs rowcolumncutedge params 0 9 0"),
              -1);
    EXPECT_EQ(scene(&VSServer::cmdVSSetSenceRowColumnCutEdge,
                    "config set sence vs rowcolumncutedge params 0 8 8"),
              0);
    EXPECT_EQ(take(), (std::vector<std::string>{"config set cutedge params 10.77.0.2 8 8 \n",
                                                "config set cutedge params 10.77.0.3 8 8 \n"}));
    EXPECT_EQ(value(keyFile(0, 2), "screenVerCut"), Json::Value(8));

    ArrayList<VWin> wins;
    std::string text = "config get sence vs wins params 0 0";
    EXPECT_EQ(m.cmdVSGetSenceWins(&text[0], wins, 1), 2);
    EXPECT_EQ(wins.count, 10);
    ArrayList<VSenceScreen> walls;
    std::string none = "config get sence vs list params";
    EXPECT_EQ(m.cmdVSGetSenceScreen(&none[0], walls, 1), -1);
    std::string zero = "config get sence vs list params 0";
    EXPECT_EQ(m.cmdVSGetSenceScreen(&zero[0], walls, 1), 1);

    for (const char* bad : {"5 2 2 2 2", "0 0 2 2 2"})
        EXPECT_EQ(
            scene(&VSServer::cmdVSSetSenceScreen, std::string("config set sence vs params ") + bad),
            -1);
    EXPECT_EQ(scene(&VSServer::cmdVSSetSenceScreen, "config set sence vs params 0 1 4 2 2"), 0);
    auto t = take();
    EXPECT_EQ(t.size(), 14u);  // the reset sequence of both decoders
    EXPECT_EQ(t[0], "config set split params 10.77.0.2 1 0 \n");
    EXPECT_EQ(t[1], "config set url params 10.77.0.2 16 unused_window");
    EXPECT_EQ(value(keyFile(0, 0), "screenWidth"), Json::Value(7680));
    EXPECT_EQ(m.pVSenceScreen[0][1]->disIP[2], "10.0.0.77");  // display screens stay
    EXPECT_EQ(value(keyFile(0, 1), "disIP_02"), Json::Value("10.0.0.77"));

    EXPECT_EQ(scene(&VSServer::cmdVSDelSenceScreen, "config del sence vs params 3"), -1);
    EXPECT_EQ(scene(&VSServer::cmdVSDelSenceScreen, "config del sence vs params 0"), 0);
    EXPECT_EQ(int(m.pVSence[0]->valid), 1);
    EXPECT_EQ(m.pVSence[0]->name, "Lobby");
    EXPECT_EQ(int(m.pVSenceScreen[0][0]->columns), 2);
    for (int w = 0; w < 80; ++w) EXPECT_FALSE(exists(winFile(0, 0, w)));
}

TEST_F(SceneWallTest, AFailedKeyWriteOfAWallCommandChangesNothing) {
    VSServer& m = lobby();
    m.pVScreen->ip[3] = "10.77.0.3";  // the live-wall cell the decoder would leave
    take();
    const auto before = sceneFiles();
    const std::string liveBefore = readBytes("/mnt/qelconfVscreen.ini");
    struct Case {
        Handler h;
        const char* cmd;
    } cases[] = {
        {&VSServer::cmdVSSetRXSenceScreen, "config set sence vs src params 0 0 2 10.77.0.3"},
        {&VSServer::cmdVSSetSenceSplit, "config set sence vs split params 0 0 1 4 0"},
        {&VSServer::cmdVSSetSenceSplit, "config set sence vs split params 0 0 255 5 0"},
        {&VSServer::cmdVSSetSenceRowColumnCutEdge,
         "config set sence vs rowcolumncutedge params 0 4 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cmd);
        std::vector<VWin> wins;
        for (int w = 0; w < 20; ++w) wins.push_back(*m.pVWinSence[0][0][w]);
        {
            FileWritesFail full;
            EXPECT_EQ(scene(c.h, c.cmd), -1);
        }
        EXPECT_TRUE(take().empty());
        EXPECT_EQ(sceneFiles(), before);
        EXPECT_EQ(readBytes("/mnt/qelconfVscreen.ini"), liveBefore);
        for (int p = 0; p < 3; ++p) {
            const VSenceScreen& rec = *m.pVSenceScreen[0][p];
            EXPECT_EQ(rec.screenIP[1], "10.77.0.3");
            EXPECT_EQ(rec.screenIP[2], "");
            EXPECT_EQ(rec.screenSplitnum[1], 1);
            EXPECT_EQ(int(rec.horCut), 2);
        }
        EXPECT_EQ(iSenceScreenHorCut[0], 2);
        EXPECT_EQ(m.pVScreen->ip[3], "10.77.0.3");
        for (int w = 0; w < 20; ++w) EXPECT_TRUE(sameWin(*m.pVWinSence[0][0][w], wins[w])) << w;
    }
    // Writable again, the move goes through.
    EXPECT_EQ(
        scene(&VSServer::cmdVSSetRXSenceScreen, "config set sence vs src params 0 0 2 10.77.0.3"),
        0);
    EXPECT_EQ(value(keyFile(0, 2), "screenIP_01"), Json::Value(""));
    EXPECT_EQ(value(keyFile(0, 2), "screenIP_02"), Json::Value("10.77.0.3"));
    EXPECT_EQ(m.pVScreen->ip[3], "");
}
