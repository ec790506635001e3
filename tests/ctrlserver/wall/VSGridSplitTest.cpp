// The live wall's grid, cut edge, split and decoder placement: files, records and the decoder
// texts in order.
#include <algorithm>

#include "ScreensFixture.h"
#include "wall/VSServerUtil.h"

namespace {

const char kWallFile[] = "/mnt/qelconfVscreen.ini";

std::vector<std::string> keyNames(const KeyList& keys) {
    std::vector<std::string> names;
    for (const auto& k : keys) names.push_back(k.first);
    return names;
}

DevSpec decoder(const std::string& ip, const std::string& name) {
    return DevSpec{
        name, "host-" + name, ip, "00:11:22:33:44:" + ip.substr(ip.size() - 2), "1.0", "", ""};
}

}  // namespace

class GridTest : public ScreensTest {
public:
    // Decoders 10.0.0.10 to 10.0.0.18 known to the device server.
    void SetUp() override {
        ScreensTest::SetUp();
        if (IsSkipped()) return;
        std::vector<DevSpec> decoders;
        for (int c = 0; c < 9; ++c)
            decoders.push_back(decoder(cellIp(c), "RX" + std::to_string(c)));
        loadDevices(decoders, {}, {});
    }
    int screen(const std::string& args) {
        return run(&VSServer::cmdVSSetScreen, "config set vs screen params " + args);
    }
    int cut(const std::string& args) {
        return run(&VSServer::cmdVSSetRowColumnCutEdge,
                   "config set vs rowcolumncutedge params " + args);
    }
    int split(const std::string& args, unsigned flag = 1) {
        return run(&VSServer::cmdVSSetSplit, "config set vs split params " + args, flag);
    }
    int src(const std::string& args) {
        return run(&VSServer::cmdVSSetRXScreen, "config set vs src params " + args);
    }
    int del(const std::string& args) {
        return run(&VSServer::cmdVSDelRXScreen, "config del vs src params " + args);
    }
    static std::vector<std::string> withAll(std::vector<std::string> a,
                                            const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
};

TEST_F(GridTest, RefusedAndUnchangedGridsTouchNothing) {
    VSServer& m = wall();
    const std::string before = readBytes(kWallFile);
    for (const char* args : {"5 2 2 2", "0 2 2 2", "2 5 2 2", "", "2 99999999999 2 2"})
        EXPECT_EQ(screen(args), -1) << args;
    EXPECT_EQ(screen("2 2 2 2"), 0);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(readBytes(kWallFile), before);
    EXPECT_EQ(m.pVScreen->rows, 2);
    EXPECT_EQ(iScreenRows, 2);
}

TEST_F(GridTest, NewCutGoesToEveryPlacedCell) {
    VSServer& m = wall();
    m.pVScreen->ip[1].clear();
    EXPECT_EQ(screen("2 2 4 3"), 0);
    EXPECT_EQ(take(),
              (std::vector<std::string>{"config set cutedge params " + cellIp(0) + " 4 3 \n",
                                        "config set cutedge params " + cellIp(2) + " 4 3 \n",
                                        "config set cutedge params " + cellIp(3) + " 4 3 \n"}));
    EXPECT_EQ(value(kWallFile, "screenHorCut"), 4);
    EXPECT_EQ(value(kWallFile, "screenVerCut"), 3);
    EXPECT_EQ(m.pVScreen->horCut, 4);
}

TEST_F(GridTest, ThreeByThreeToTwoByTwoResetsTheOldDecoders) {
    VSServer& m = wall();
    ASSERT_EQ(screen("3 3 2 2"), 0);
    for (int c = 0; c < 9; ++c) m.pVScreen->ip[c] = cellIp(c);
    m.pVScreen->ip[4] = "10.0.0.99";  // no known decoder
    for (int w = 0; w < 45; ++w) m.saveIniWin(w);
    take();
    EXPECT_EQ(screen("2 2 2 2"), 0);
    std::vector<std::string> expected;
    for (int c = 0; c < 9; ++c)
        if (c != 4) expected = withAll(expected, vsResetTexts(cellIp(c)));
    EXPECT_EQ(take(), expected);
    for (int w = 0; w < 45; ++w)
        EXPECT_FALSE(exists(vsNumbered("/mnt/qelconfVWin_%02d.ini", w))) << w;
    EXPECT_TRUE(exists("/mnt/qelconfVWin_45.ini"));
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(m.pVScreen->ip[c], "") << c;
        EXPECT_EQ(m.pVScreen->splitnum[c], 1) << c;
        char key[32];
        snprintf(key, sizeof key, "screenSplitnum_%02d", c);
        EXPECT_EQ(value(kWallFile, key), 1) << key;
    }
    // The grid keys are saved too: a restart keeps the new grid.
    EXPECT_EQ(value(kWallFile, "screenRows"), 2);
    EXPECT_EQ(value(kWallFile, "screenWidth"), 3840);
    VSServer& again = start();
    EXPECT_EQ(again.pVScreen->rows, 2);
    EXPECT_EQ(again.pVScreen->columns, 2);
}

TEST_F(GridTest, TwoByTwoToThreeByThreeResetsTheFourCells) {
    VSServer& m = wall();
    EXPECT_EQ(screen("3 3 2 2"), 0);
    std::vector<std::string> expected;
    for (int c = 0; c < 4; ++c) expected = withAll(expected, vsResetTexts(cellIp(c)));
    EXPECT_EQ(take(), expected);
    EXPECT_EQ(m.pVScreen->width, 5760u);
    EXPECT_EQ(value(kWallFile, "screenColumns"), 3);
    EXPECT_EQ(value(kWallFile, "screenIP_08"), "");
}

TEST_F(GridTest, CutEdgeRewritesTheFileAndSendsPastAFreeCell) {
    VSServer& m = wall();
    m.pVScreen->ip[1].clear();
    EXPECT_EQ(cut("4 3"), -1);
    EXPECT_EQ(take(),
              (std::vector<std::string>{"config set cutedge params " + cellIp(0) + " 4 3 \n",
                                        "config set cutedge params " + cellIp(2) + " 4 3 \n",
                                        "config set cutedge params " + cellIp(3) + " 4 3 \n"}));
    const std::vector<std::string> keys = {
        "screenRows",        "screenColumns",     "screenHorCut",      "screenVerCut",
        "screenWidth",       "screenHeight",      "screenIP_00",       "screenIP_01",
        "screenIP_02",       "screenIP_03",       "screenSplitnum_00", "screenSplitnum_01",
        "screenSplitnum_02", "screenSplitnum_03", "screenName_00",     "screenName_01",
        "screenName_02",     "screenName_03"};
    EXPECT_EQ(keyNames(readKeys(kWallFile)), keys);
    EXPECT_EQ(value(kWallFile, "screenHorCut"), 4);
    EXPECT_EQ(value(kWallFile, "screenIP_02"), cellIp(2));
    m.pVScreen->ip[1] = cellIp(1);
    EXPECT_EQ(cut("2 2"), 0);
}

// A decoder takes a cut only in 0..8 and ignores any other while answering success, so the
// controller refuses it before anything changes or is sent.
TEST_F(GridTest, CutsTheDecodersIgnoreAreRefused) {
    VSServer& m = wall();
    const std::string before = readBytes(kWallFile);
    for (const char* args : {"9 2", "2 9", "32 18", "-1 2", "2 -8"}) {
        EXPECT_EQ(cut(args), -1) << args;
        EXPECT_EQ(screen(std::string("2 2 ") + args), -1) << args;
        EXPECT_EQ(screen(std::string("3 3 ") + args), -1) << args;
        EXPECT_TRUE(take().empty()) << args;
        EXPECT_EQ(readBytes(kWallFile), before) << args;
        EXPECT_EQ(m.pVScreen->horCut, 2) << args;
        EXPECT_EQ(m.pVScreen->rows, 2) << args;
        EXPECT_EQ(iScreenVerCut, 2) << args;
    }
    EXPECT_EQ(cut("8 0"), 0);
    EXPECT_EQ(take().size(), 4u);
    EXPECT_EQ(value(kWallFile, "screenHorCut"), 8);
}

TEST_F(GridTest, RefusedSplitsChangeNothing) {
    VSServer& m = wall();
    const std::string before = readBytes(kWallFile);
    for (const char* args : {"0 3 0", "0 4 1", "-1 4 0", "4 4 0", "0 4 0 extra-is-fine"}) {
        const int r = split(args);
        if (std::string(args).find("extra") != std::string::npos) {
            EXPECT_EQ(r, 0);
            continue;
        }
        EXPECT_EQ(r, -1) << args;
        EXPECT_TRUE(take().empty()) << args;
        EXPECT_EQ(readBytes(kWallFile), before) << args;
        EXPECT_EQ(m.pVScreen->splitnum[0], 1) << args;
    }
}

TEST_F(GridTest, SplitOfEveryCellSendsSplitTextsOnly) {
    VSServer& m = wall();
    m.pMulticast->winUrl = "rtsp://10.0.0.50/live";
    m.pVScreen->ip[3].clear();
    EXPECT_EQ(split("255 4 0"), 0);
    EXPECT_EQ(take(),
              (std::vector<std::string>{"config set split params " + cellIp(0) + " 4 0 \n",
                                        "config set split params " + cellIp(1) + " 4 0 \n",
                                        "config set split params " + cellIp(2) + " 4 0 \n"}));
    for (int c = 0; c < 4; ++c) EXPECT_EQ(m.pVScreen->splitnum[c], 4);
    EXPECT_EQ(value(kWallFile, "screenSplitnum_03"), 4);
    EXPECT_EQ(m.pVWin[6]->used, 1);
    EXPECT_TRUE(rectIs(*m.pVWin[6], 2880, 3839, 0, 535));
    EXPECT_EQ(m.pMulticast->winUrl, "");
    EXPECT_EQ(value("/mnt/qelconfMulticast.ini", "winUrl"), "");
}

TEST_F(GridTest, SplitOfOneCellResendsItsWindowsUnlessReplayed) {
    VSServer& m = wall();
    EXPECT_EQ(split("1 4 0"), 0);
    std::vector<std::string> t = take();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0], "config set split params " + cellIp(1) + " 4 0 \n");
    int videos = 0;
    for (const std::string& s : t)
        videos += s.rfind("config set video params " + cellIp(1), 0) == 0;
    EXPECT_EQ(videos, 4);
    EXPECT_EQ(m.pVScreen->splitnum[1], 4);
    EXPECT_EQ(value(kWallFile, "screenSplitnum_01"), 4);

    EXPECT_EQ(split("1 5 0", 0), 0);
    EXPECT_EQ(take(),
              std::vector<std::string>{"config set splitundis params " + cellIp(1) + " 5 0 \n"});
}

TEST_F(GridTest, SplitRepairsAWindowSpillingIntoTheCell) {
    VSServer& m = wall();
    ASSERT_EQ(move(0, 0, 2500, 0, 500), 1);  // covers window 5 of cell 1
    take();
    EXPECT_EQ(split("0 4 0"), 0);
    // Window 0 went back into its cell before the new split: cell 1 no longer shows it.
    const std::vector<std::string> t = take();
    EXPECT_NE(std::find(t.begin(), t.end(), "config set display params " + cellIp(1) + " 16 0 \n"),
              t.end());
    EXPECT_EQ(m.pVWin[5]->visible, 1);
    EXPECT_TRUE(rectIs(*m.pVWin[0], 0, 959, 0, 535));
}

TEST_F(GridTest, DecoderMovedFromAnotherCell) {
    VSServer& m = wall();
    m.pVScreen->ip[0] = "10.0.0.30";  // an old decoder is dropped, sent nothing
    m.pVScreen->splitnum[0] = 5;
    m.pVWinOrg[0]->url = m.pVWin[0]->url = "rtsp://10.0.0.50/live";
    EXPECT_EQ(src("0 " + cellIp(2)), 0);
    EXPECT_EQ(m.pVScreen->ip[2], "");
    EXPECT_EQ(m.pVScreen->splitnum[2], 0);
    EXPECT_EQ(value(kWallFile, "screenSplitnum_02"), 0);
    EXPECT_EQ(m.pVScreen->ip[0], cellIp(2));
    EXPECT_EQ(m.pVScreen->splitnum[0], 1);  // the decoder's own split
    EXPECT_EQ(m.pVScreen->name[0], "RX2");
    EXPECT_EQ(value(kWallFile, "screenName_00"), "RX2");
    const std::string ip = cellIp(2);
    const std::vector<std::string> expected = {
        "config set split params " + ip + " 1 0 \n",
        "config set rx display ip " + ip + " \n",
        "config set cutedge params " + ip + " 2 2 \n",
        "config set video params " + ip + " 0 0 1919 0 1079 0 100 0 100 0 1 \n",
        "config set url params " + ip + " 0 unused_window",
        "config set url params " + ip + " 1 unused_window",
        "config set url params " + ip + " 2 unused_window",
        "config set url params " + ip + " 3 unused_window",
        "config set url params " + ip + " 4 unused_window",
    };
    EXPECT_EQ(take(), expected);
    EXPECT_EQ(m.pVWinOrg[0]->url, "");
    for (const std::string& t : texts) EXPECT_EQ(t.find("10.0.0.30"), std::string::npos);
}

TEST_F(GridTest, DecoderPlacedIntoItsOwnCellKeepsTheSources) {
    VSServer& m = wall();
    m.pVWinOrg[5]->url = m.pVWin[5]->url = "rtsp://10.0.0.50/live";
    EXPECT_EQ(src("1 " + cellIp(1)), 0);
    for (const std::string& t : take()) EXPECT_EQ(t.find("unused_window"), std::string::npos) << t;
    EXPECT_EQ(m.pVWinOrg[5]->url, "rtsp://10.0.0.50/live");
}

TEST_F(GridTest, DecoderTakenFromAUnicastSlot) {
    VSServer& m = wall();
    m.pUnicast->ip[7] = cellIp(5);
    m.pUnicast->splitnum[7] = 4;
    EXPECT_EQ(src("3 " + cellIp(5)), 0);
    EXPECT_EQ(m.pUnicast->ip[7], "");
    EXPECT_EQ(m.pUnicast->splitnum[7], 1);
    EXPECT_EQ(value("/mnt/qelconfUnicast.ini", "unicastsplitnum_07"), 1);
    EXPECT_EQ(value("/mnt/qelconfUnicast.ini", "unicastip_07"), "");
}

TEST_F(GridTest, RefusedPlacementsAndFreeing) {
    VSServer& m = wall();
    const std::string before = readBytes(kWallFile);
    for (const char* args : {"0 10.0.0.99", "0", "4 10.0.0.10", "-1 10.0.0.10"})
        EXPECT_EQ(src(args), -1) << args;
    EXPECT_EQ(del("4"), -1);
    EXPECT_EQ(del("-1"), -1);
    m.pVScreen->ip[3].clear();
    EXPECT_EQ(del("3"), 0);  // already free
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(readBytes(kWallFile), before);

    m.pVScreen->splitnum[2] = 4;
    EXPECT_EQ(del("2"), 0);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(m.pVScreen->ip[2], "");
    EXPECT_EQ(m.pVScreen->splitnum[2], 1);
    EXPECT_EQ(value(kWallFile, "screenIP_02"), "");
    EXPECT_EQ(value(kWallFile, "screenSplitnum_02"), 1);
}
