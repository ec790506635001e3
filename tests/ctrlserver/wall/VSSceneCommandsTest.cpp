// The scene display screens, the commands that name scenes and devices ("vw", "scene rx",
// "scene tx") and the decoder usage checks: the texts they queue, the records and key files
// they leave, and what they refuse.
#include "ScenesFixture.h"

namespace {

using Texts = std::vector<std::string>;

const char kRxc[] = "10.77.0.4";
const char kRxd[] = "10.77.0.5";

}  // namespace

class SceneCommandsTest : public SceneWallTest {
public:
    void SetUp() override {
        ScenesTest::SetUp();
        if (IsSkipped()) return;
        loadDevices({{"RXA", "host-RXA", "10.77.0.2", "00:11:22:33:44:02", "1.0", "", ""},
                     {"RXB", "host-RXB", "10.77.0.3", "00:11:22:33:44:03", "1.0", "", ""},
                     {"RXC", "host-RXC", kRxc, "00:11:22:33:44:04", "1.0", "", ""},
                     {"RXD", "host-RXD", kRxd, "00:11:22:33:44:05", "1.0", "", ""}},
                    {{"TXA", "host-TXA", "10.77.0.9", "00:11:22:33:44:09", "1.0",
                      "rtsp://10.77.0.9/stream0", ""}},
                    {});
    }
    int cmd(Handler h, const std::string& text) { return scene(h, text); }
    int displayWin(const std::string& args) {
        return run(&VSServer::cmdVSSetDisWin, "config set sence display win params " + args);
    }
};

// --- display screens ----------------------------------------------------------------------

TEST_F(SceneCommandsTest, ADecoderOnADisplayScreenGetsItsTextsInOrder) {
    VSServer& m = fresh();
    m.devServer.iUpdateQelDevice(1, kRxc, "RXC", 4);
    ASSERT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Lobby"), 0);
    ASSERT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Hall"), 1);
    ASSERT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Yard"), 2);
    m.pVSenceScreen[2][0]->disIP[0] = "10.0.0.70";
    m.pVSenceScreen[2][0]->disIP[1] = "10.0.0.71";
    take();
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetRXScreen,
                  std::string("config set sence display src params 2 ") + kRxc),
              2);
    Texts want = {std::string("config set split params ") + kRxc + " 4 0 \n"};
    for (int p = 0; p < 3; ++p)
        for (int k = 0; k < 5; ++k)
            want.push_back(std::string("config set url params ") + kRxc + " " + std::to_string(k) +
                           " unused_window");
    want.push_back(std::string("config set rx display ip ") + kRxc + " \n");
    EXPECT_EQ(take(), want);
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(value(keyFile(2, p), "disIP_02"), Json::Value(kRxc));
        EXPECT_EQ(value(keyFile(2, p), "disName_02"), Json::Value("RXC"));
        EXPECT_EQ(value(keyFile(2, p), "disSplitnum_02"), Json::Value(4));
        EXPECT_TRUE(rectIs(*m.pDisWin[2][p][13], 960, 1919, 536, 1079));
    }

    // Already used: a display of another scene, a cell of a scene's preset 0; preset 1 only
    // is no use. An unknown address queues nothing.
    m.pVSenceScreen[3][0]->disIP[5] = kRxd;
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetRXScreen,
                  std::string("config set sence display src params 0 ") + kRxd),
              -1);
    m.pVSenceScreen[3][0]->disIP[5].clear();
    m.pVSenceScreen[1][0]->screenIP[1] = kRxd;
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetRXScreen,
                  std::string("config set sence display src params 0 ") + kRxd),
              -1);
    m.pVSenceScreen[1][0]->screenIP[1].clear();
    m.pVSenceScreen[1][1]->screenIP[1] = kRxd;
    EXPECT_EQ(
        cmd(&VSServer::cmdDisplaySetRXScreen, "config set sence display src params 5 10.77.0.5"),
        -1);
    EXPECT_EQ(
        cmd(&VSServer::cmdDisplaySetRXScreen, "config set sence display src params 0 10.77.0.99"),
        -1);
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetRXScreen,
                  "config set sence display src params 0 " + std::string(256, 'a')),
              -1);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetRXScreen,
                  std::string("config set sence display src params 0 ") + kRxd),
              0);
}

TEST_F(SceneCommandsTest, DisplaySplitsWindowsSourcesListsAndRemoval) {
    VSServer& m = fresh();
    ASSERT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Lobby"), 0);
    ASSERT_EQ(cmd(&VSServer::cmdDisplaySetRXScreen,
                  std::string("config set sence display src params 0 ") + kRxc),
              0);
    take();
    const std::string split = "config set sence display split params ";
    for (const char* bad : {"0 0 0 3 0", "0 0 1 4 0", "0 3 0 4 0", "5 0 0 4 0", "0 0 16 4 0"})
        EXPECT_EQ(cmd(&VSServer::cmdDisplaySetSplit, split + bad), -1) << bad;
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetSplit, split + "0 1 0 4 7"), 0);  // not the current one
    EXPECT_EQ(take(), Texts{std::string("config set split params ") + kRxc + " 4 7 \n"});
    EXPECT_EQ(value(keyFile(0, 1), "disSplitnum_00"), Json::Value(4));
    EXPECT_EQ(value(keyFile(0, 0), "disSplitnum_00"), Json::Value(1));

    // Window 2 over windows 0 and 1 of the split-4 screen: two hides, then the video text.
    EXPECT_EQ(displayWin("0 1 0 2 0 1919 0 535"), 2);
    EXPECT_EQ(take(), (Texts{std::string("config set display params ") + kRxc + " 0 0 \n",
                             std::string("config set display params ") + kRxc + " 1 0 \n",
                             std::string("config set video params ") + kRxc +
                                 " 2 0 1919 0 535 0 100 0 100 0 1 \n"}));
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(int(listed[0].win), 0);
    EXPECT_EQ(int(listed[1].win), 1);
    EXPECT_EQ(int(listed[2].win), 2);
    EXPECT_GT(listed[2].winId, 3u);
    testing::internal::CaptureStdout();
    EXPECT_EQ(displayWin("0 1 0 2 100 0 0 100"), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("window params wrong!"),
              std::string::npos);
    EXPECT_EQ(displayWin("0 1 1 0 0 100 0 100"), -1);  // no decoder

    const std::string url = "config set sence display url params ";
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetUrl, url + "0 1 0 3 esource 10.77.0.9 0"), 0);
    EXPECT_EQ(take(),
              Texts{std::string("config set url params ") + kRxc + " 3 rtsp://10.77.0.9/stream0"});
    EXPECT_EQ(m.pDisWin[0][1][3]->name, "TXA");
    for (const char* bad : {"0 1 0 5 esource 10.77.0.9 0", "0 1 0 3 esource 10.77.0.8 0",
                            "0 1 0 3 ipsource 10.77.0.9 0", "0 1 2 0 esource 10.77.0.9 0"})
        EXPECT_EQ(cmd(&VSServer::cmdDisplaySetUrl, url + bad), -1) << bad;

    ArrayList<VWin> wins;
    std::string list = "config get sence display wins params 0 1 x";
    EXPECT_EQ(m.cmdVSGetDisWins(&list[0], wins, 1), 4);
    std::vector<int> numbers;
    for (ArrayListNode<VWin>* n = wins.head->next; n && n->data; n = n->next)
        numbers.push_back(n->data->win);
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 2, 3}));
    ArrayList<VSenceScreen> screens;
    std::string none = "config get sence display list params";
    EXPECT_EQ(m.cmdVSGetSenceDisplay(&none[0], screens, 1), -1);
    std::string one = "config get sence display list params 0 2";
    EXPECT_EQ(m.cmdVSGetSenceDisplay(&one[0], screens, 1), 1);

    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetDelRX, "config del sence display params 0 1"), -1);
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetDelRX, "config del sence display params 0 0"), 0);
    EXPECT_EQ(take(), Texts{std::string("config set split params ") + kRxc + " 1 0 \n"});
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(value(keyFile(0, p), "disIP_00"), Json::Value(""));
        EXPECT_EQ(m.pDisWin[0][p][3]->url, "");
        EXPECT_TRUE(rectIs(*m.pDisWin[0][p][0], 0, 1919, 0, 1079));
    }
}

// --- "vw" layout and sources ----------------------------------------------------------------

TEST_F(SceneCommandsTest, VwAddBuildsTheWallThenTheSourceThenTheFullWindow) {
    VSServer& m = fresh();
    ASSERT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create Hall"), 0);
    m.pVSenceScreen[1][0]->screenIP[2] = "10.77.0.3";  // RXB stands in another scene
    take();
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSence, "vw add Hall x 1 2 TXA RXA RXB"), 0);
    const Texts t = take();
    ASSERT_GE(t.size(), 18u);
    EXPECT_EQ(t[0], "config set split params 10.77.0.2 1 0 \n");
    EXPECT_EQ(t[9], "config set split params 10.77.0.3 1 0 \n");
    EXPECT_EQ(t[18], "config set url params 10.77.0.2 0 rtsp://10.77.0.9/stream0");
    EXPECT_EQ(t.back(), "config set mul hide params 255.255.255.255 3 ");
    EXPECT_TRUE(rectIs(*m.pVWinSence[0][0][0], 0, 3839, 0, 1079));
    EXPECT_EQ(m.pVSenceScreen[1][0]->screenIP[2], "");
    EXPECT_EQ(value(keyFile(0, 2), "screenIP_01"), Json::Value("10.77.0.3"));

    // The same wall again: no geometry, no src texts; the url and the full window still.
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSence, "vw add Hall x 1 2 TXA RXA RXB"), 0);
    const Texts again = take();
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(again[0], "config set url params 10.77.0.2 0 rtsp://10.77.0.9/stream0");
    // Only a new cut: the cut-edge texts alone before the url.
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSence, "vw add Hall x 1 2 cutedge 4 4 TXA RXA RXB"), 0);
    const Texts cut = take();
    ASSERT_GE(cut.size(), 3u);
    EXPECT_EQ(cut[0], "config set cutedge params 10.77.0.2 4 4 \n");
    EXPECT_EQ(cut[1], "config set cutedge params 10.77.0.3 4 4 \n");

    const auto before = sceneFiles();
    for (const char* bad :
         {"vw add Hall x 5 2 TXA", "vw add Hall x 1 02 TXA", "vw add Hall x 1 2 cutedge 9 0 TXA",
          "vw add Nope x 1 2 TXA", "vw add  x 1 2 TXA",
          "vw add Hall x 1 2 TXA RXA RXB"
          "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"})
        EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSence, bad), -1) << bad;
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(sceneFiles(), before);
}

TEST_F(SceneCommandsTest, VwSourceCommandsPlaceTheirWindows) {
    VSServer& m = fresh();
    ASSERT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create Hall"), 0);
    ASSERT_EQ(cmd(&VSServer::cmdvwVSSetSence, "vw add Hall x 2 3 TXA RXA RXB"), 0);
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSenceTX, "vw set Hall TXA"), 0);
    EXPECT_TRUE(rectIs(*m.pVWinSence[0][0][0], 0, 5759, 0, 2159));
    EXPECT_EQ(m.pVWinSence[0][0][0]->url, "rtsp://10.77.0.9/stream0");
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSenceTX, "vw set Hall NOPE"), 0);
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSenceTX, "vw set Nope TXA"), -1);

    ASSERT_EQ(cmd(&VSServer::cmdvwVSSetSence, "vw add Hall x 2 2 TXA RXA RXB"), 0);
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSenceEachTX, "vw each source Hall 0 TXA 4 TXA"), 0);
    EXPECT_TRUE(rectIs(*m.pVWinSence[0][0][15], 1920, 3839, 1080, 2159));
    EXPECT_EQ(m.pVWinSence[0][0][15]->url, "rtsp://10.77.0.9/stream0");
    // Window 0 over the whole wall hid cell 1's windows; the pairs leave it visible.
    EXPECT_EQ(int(m.pVWinSence[0][0][0]->visible), 1);
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSenceEachTX, "vw each source Hall 99999999999 TXA"), -1);
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSenceEachTX, "vw each source Hall 2147483647 TXA"), 0);

    const Handler rowTx = &VSServer::cmdvwVSSetSenceRowTX;
    const Handler columnTx = &VSServer::cmdvwVSSetSenceColumnTX;
    struct Band {
        Handler h;
        const char* cmd;
        int w;
        uint32_t h0, h1, v0, v1;
    } bands[] = {
        {rowTx, "vw row source Hall 1 TXA 1 TXA", 10, 0, 3839, 1080, 2159},
        {rowTx, "vw row source Hall 2 TXA", 0, 0, 3839, 0, 2159},
        {rowTx, "vw row source Hall 2 TXA 1 TXA", 0, 0, 3839, 0, 2159},  // the second is off
        {columnTx, "vw column source Hall 1 TXA 1 TXA", 5, 1920, 3839, 0, 2159},
    };
    for (const Band& b : bands) {
        SCOPED_TRACE(b.cmd);
        EXPECT_EQ(cmd(b.h, b.cmd), 0);
        EXPECT_TRUE(rectIs(*m.pVWinSence[0][0][b.w], b.h0, b.h1, b.v0, b.v1));
    }
    // Window 0 hidden by cell 1's full window: "vw each source" puts it back on cell 1.
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSenceRowTX, "vw row source Hall 2 TXA"), 0);
    EXPECT_EQ(cmd(&VSServer::cmdvwVSSetSenceEachTX, "vw each source Hall 2 TXA"), 0);
    EXPECT_TRUE(rectIs(*m.pVWinSence[0][0][0], 0, 1919, 0, 1079));
}

TEST_F(SceneCommandsTest, SourceByOrdinalCountsTheScenesOwnWindows) {
    VSServer& m = lobby();
    clearLiveWall();  // the live wall holds no window: the scene's own ones count
    EXPECT_EQ(win("0 0 0 0 2879 0 1079"), 1);  // window 5 hidden, window 0 spills into cell 1
    take();
    EXPECT_EQ(m.cmdVSNewSetSenceUrl(0, 1, "10.77.0.9", 1), 0);
    EXPECT_EQ(take(), (Texts{"config set url params 10.77.0.2 0 rtsp://10.77.0.9/stream0",
                             "config set url params 10.77.0.3 16 rtsp://10.77.0.9/stream0",
                             "config set mul hide params 255.255.255.255 3 "}));
    EXPECT_EQ(m.pVWinSenceOrg[0][0][0]->name, "TXA");
    // Window 5 is hidden: the second visible window is 10, of a cell without a decoder.
    EXPECT_EQ(m.cmdVSNewSetSenceUrl(0, 2, "10.77.0.9", 1), 0);
    EXPECT_EQ(m.pVWinSence[0][0][10]->url, "rtsp://10.77.0.9/stream0");
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(m.cmdVSNewSetSenceUrl(0, 4, "10.77.0.9", 1), -1);
    EXPECT_EQ(m.cmdVSNewSetSenceUrl(0, 1, "10.77.0.2", 1), -1);  // a decoder
    EXPECT_EQ(m.cmdVSNewSetSenceUrl(5, 1, "10.77.0.9", 1), -1);
    EXPECT_TRUE(take().empty());
}

TEST_F(SceneCommandsTest, SceneTxSetNamesTheCurrentPreset) {
    VSServer& m = fresh();
    ASSERT_EQ(scene(&VSServer::cmdVSSetNewSence, "scene create Hall 2"), 0);  // preset 1
    ASSERT_EQ(cmd(&VSServer::cmdvwVSSetSence, "vw add Hall x 1 2 TXA RXA"), 0);
    ASSERT_EQ(cmd(&VSServer::cmdDisplaySetRXScreen,
                  std::string("config set sence display src params 0 ") + kRxc),
              0);
    take();
    EXPECT_EQ(m.cmdVSSetSceneTXToVWAndDisplay("Hall", "10.77.0.9", 1), 0);
    Texts urls;
    for (const std::string& t : take())
        if (t.find("config set url params") == 0) urls.push_back(t);
    ASSERT_EQ(urls.size(), 6u);  // RXA's five windows, the display's one
    EXPECT_EQ(urls[0], "config set url params 10.77.0.2 0 rtsp://10.77.0.9/stream0");
    EXPECT_EQ(urls[5],
              std::string("config set url params ") + kRxc + " 0 rtsp://10.77.0.9/stream0");
    EXPECT_EQ(m.pVWinSence[0][1][4]->url, "rtsp://10.77.0.9/stream0");
    EXPECT_EQ(m.pDisWin[0][1][0]->url, "rtsp://10.77.0.9/stream0");
    EXPECT_EQ(m.cmdVSSetSceneTXToVWAndDisplay("", "10.77.0.9", 1), -1);
}

TEST_F(SceneCommandsTest, VwRemoveResetsTheWallAndKeepsTheDisplays) {
    VSServer& m = lobby();
    ASSERT_EQ(cmd(&VSServer::cmdDisplaySetRXScreen,
                  std::string("config set sence display src params 0 ") + kRxc),
              0);
    take();
    EXPECT_EQ(cmd(&VSServer::cmdvwVSDelSenceScreen, "vw remove Lobby"), 0);
    Texts want = vsResetTexts("10.77.0.2");
    for (const std::string& t : vsResetTexts("10.77.0.3")) want.push_back(t);
    EXPECT_EQ(take(), want);
    for (int p = 0; p < 3; ++p) {
        for (int w = 0; w < 80; ++w) EXPECT_FALSE(exists(winFile(0, p, w))) << w;
        EXPECT_EQ(value(keyFile(0, p), "disIP_00"), Json::Value(kRxc));
        EXPECT_EQ(value(keyFile(0, p), "screenIP_00"), Json::Value(""));
    }
    EXPECT_EQ(int(m.pVSence[0]->valid), 1);

    ArrayList<VSence> scenes;
    ArrayList<VSenceScreen> walls;
    std::string all = "vw get";
    EXPECT_EQ(m.cmdvwVSGetSence(&all[0], scenes, walls, 1), 0);
    EXPECT_EQ(scenes.count, 1);
    std::string named = "vw get Nope";
    EXPECT_EQ(m.cmdvwVSGetSence(&named[0], scenes, walls, 1), -1);
    EXPECT_EQ(cmd(&VSServer::cmdvwVSDelSenceScreen, "vw remove"), -1);  // no empty-named slot
    EXPECT_EQ(int(m.pVSence[1]->valid), 0);
}

// --- "scene rx" and "vw rx remove" --------------------------------------------------------

TEST_F(SceneCommandsTest, SceneRxAddAndRemove) {
    VSServer& m = lobby();
    ASSERT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Yard"), 1);
    m.pVScreen->ip[2] = kRxc;
    m.pVSenceScreen[1][0]->screenIP[0] = kRxd;
    take();
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetNewRXScreen, "scene rx add Lobby RXC RXD"), 1);
    EXPECT_EQ(take(), (Texts{std::string("config set split params ") + kRxc + " 1 0 \n",
                             std::string("config set split params ") + kRxd + " 1 0 \n"}));
    EXPECT_EQ(m.pVScreen->ip[2], "");
    EXPECT_EQ(m.pVSenceScreen[1][0]->screenIP[0], "");
    for (int p = 0; p < 3; ++p) EXPECT_EQ(value(keyFile(0, p), "disIP_01"), Json::Value(kRxd));

    struct Case {
        const char* cmd;
        int result;
    } cases[] = {
        {"scene rx add Lobby RXA", -1},      // stands in cell 0
        {"scene rx add Lobby RXA RXC", -1},  // the last one stands there too
        {"scene rx add Lobby", -1},         {"scene rx add Lobby NOPE RXA", -1},
        {"scene rx add Nope RXA", -1},      {"scene rx add Lobby TXA", -1},  // not a decoder
    };
    for (const Case& c : cases)
        EXPECT_EQ(cmd(&VSServer::cmdDisplaySetNewRXScreen, c.cmd), c.result) << c.cmd;
    EXPECT_TRUE(take().empty());

    // Display 1 off in every preset, laid out as one window with no source; nothing is sent.
    m.pDisWin[0][2][5]->url = "rtsp://x";
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetNewDelRX, "scene rx remove Lobby RXD NOPE"), 0);
    EXPECT_TRUE(take().empty());
    for (int p = 0; p < 3; ++p) EXPECT_EQ(value(keyFile(0, p), "disIP_01"), Json::Value(""));
    EXPECT_EQ(m.pDisWin[0][2][5]->url, "");
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetNewDelRX, "scene rx remove Lobby"), 0);
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetNewDelRX, "scene rx remove Nope RXA"), -1);
    // A wall cell: emptied with split 1, its windows kept.
    EXPECT_EQ(cmd(&VSServer::cmdDisplaySetNewDelRX, "scene rx remove Lobby RXB"), 0);
    EXPECT_EQ(value(keyFile(0, 1), "screenIP_01"), Json::Value(""));
    EXPECT_TRUE(exists(winFile(0, 0, 5)));
    EXPECT_TRUE(take().empty());
}

TEST_F(SceneCommandsTest, VwRxRemoveResetsADecoderOnceWhereverItStood) {
    struct Case {
        std::vector<int> presets;  // where RXB stands in cell 1
    } cases[] = {{{0, 1, 2}}, {{0, 1}}, {{2}}};
    for (const Case& c : cases) {
        VSServer& m = lobby();
        for (int p = 0; p < 3; ++p) m.pVSenceScreen[0][p]->screenIP[1].clear();
        for (int p : c.presets) m.pVSenceScreen[0][p]->screenIP[1] = "10.77.0.3";
        take();
        EXPECT_EQ(cmd(&VSServer::cmdvwVSDelRXSenceScreen, "vw rx remove Lobby RXB"), 0);
        EXPECT_EQ(take(), vsResetTexts("10.77.0.3")) << c.presets.size();
        for (int p : c.presets) {
            EXPECT_EQ(m.pVSenceScreen[0][p]->screenIP[1], "");
            EXPECT_FALSE(exists(winFile(0, p, 5)));
        }
    }
    EXPECT_EQ(cmd(&VSServer::cmdvwVSDelRXSenceScreen, "vw rx remove Lobby"), 0);
    EXPECT_EQ(cmd(&VSServer::cmdvwVSDelRXSenceScreen, "vw rx remove Nope RXA"), -1);

    // A window of cell 0 reaching into RXB's cell: placed again for the current preset.
    VSServer& m = lobby();
    EXPECT_EQ(win("0 0 0 0 2879 0 1079"), 1);
    take();
    EXPECT_EQ(cmd(&VSServer::cmdvwVSDelRXSenceScreen, "vw rx remove Lobby RXB"), 0);
    const Texts t = take();
    // Cell 1's window placed again ends the spill of window 0 on RXB, then the reset.
    ASSERT_GE(t.size(), 8u);
    EXPECT_EQ(t[0], "config set display params 10.77.0.3 16 0 \n");
    EXPECT_EQ(Texts(t.end() - 7, t.end()), vsResetTexts("10.77.0.3"));
    EXPECT_EQ(m.pVSenceScreen[0][0]->screenIP[1], "");
}

// --- usage checks -------------------------------------------------------------------------

TEST_F(SceneCommandsTest, UsageLookupsAndClearings) {
    VSServer& m = lobby();
    ASSERT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Yard"), 1);
    EXPECT_EQ(m.iGetRXisInsideSenceId(""), -1);
    EXPECT_EQ(m.iGetRXisInsideVideoWallId(""), -1);
    EXPECT_EQ(m.checkRXisUsed("", 0), 0);
    EXPECT_EQ(m.iGetRXisInsideSenceId("10.77.0.3"), 0);
    m.pVSenceScreen[1][2]->screenIP[0] = kRxd;  // preset 2 only: found, not cleared
    EXPECT_EQ(m.iGetRXisInsideSenceId(kRxd), 1);
    m.pVSence[1]->valid = 0;
    EXPECT_EQ(m.iGetRXisInsideSenceId(kRxd), -1);
    m.pVSence[1]->valid = 1;

    // Scene 1: kRxc twice in preset 0's wall and on two displays; preset 1 holds another
    // decoder in cell 3.
    m.pVSenceScreen[1][0]->screenIP[3] = kRxc;
    m.pVSenceScreen[1][0]->screenIP[2] = kRxc;
    m.pVSenceScreen[1][1]->screenIP[2] = "10.0.0.99";
    m.pVSenceScreen[1][0]->disIP[4] = kRxc;
    m.pVSenceScreen[1][0]->disIP[9] = kRxc;
    m.pVScreen->ip[1] = kRxc;
    EXPECT_EQ(m.iGetRXisInsideVideoWallId(kRxc), 1);
    EXPECT_EQ(m.checkRXisUsed(kRxc, 0), 0);
    EXPECT_EQ(m.pVScreen->ip[1], "");
    EXPECT_EQ(value("/mnt/qelconfVscreen.ini", "screenSplitnum_01"), Json::Value(0));
    EXPECT_FALSE(exists("/mnt/qelconfVWin_05.ini"));
    EXPECT_EQ(m.pVSenceScreen[1][0]->screenIP[2], "");
    EXPECT_EQ(m.pVSenceScreen[1][0]->screenIP[3], kRxc);  // only the lower cell
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(m.pVSenceScreen[1][p]->screenIP[2], "") << p;
        EXPECT_EQ(value(keyFile(1, p), "screenSplitnum_02"), Json::Value(1));
    }
    EXPECT_EQ(m.pVSenceScreen[1][0]->disIP[4], "");
    EXPECT_EQ(m.pVSenceScreen[1][0]->disIP[9], "");
    EXPECT_EQ(m.pVSenceScreen[1][2]->screenIP[0], kRxd);

    // The scene itself is left alone; its own displays go with the display clearing.
    m.pVSenceScreen[0][0]->disIP[3] = "10.77.0.2";
    m.pVSenceScreen[1][0]->disIP[3] = "10.77.0.2";
    EXPECT_EQ(m.checkRXisUsedInCurSenceDisplayScreen("10.77.0.2", 0), 0);
    EXPECT_EQ(m.pVSenceScreen[0][0]->disIP[3], "");
    EXPECT_EQ(m.pVSenceScreen[0][0]->screenIP[0], "10.77.0.2");
    EXPECT_EQ(m.pVSenceScreen[1][0]->disIP[3], "10.77.0.2");
}

TEST_F(SceneCommandsTest, AFailedKeyWriteOfADisplayCommandChangesNothing) {
    VSServer& m = lobby();
    ASSERT_EQ(cmd(&VSServer::cmdDisplaySetRXScreen,
                  std::string("config set sence display src params 0 ") + kRxc),
              0);
    take();
    const auto before = sceneFiles();
    struct Case {
        Handler h;
        const char* cmd;
    } cases[] = {
        {&VSServer::cmdDisplaySetRXScreen, "config set sence display src params 0 10.77.0.5"},
        {&VSServer::cmdDisplaySetDelRX, "config del sence display params 0 0"},
        {&VSServer::cmdDisplaySetSplit, "config set sence display split params 0 0 0 4 0"},
        {&VSServer::cmdDisplaySetNewRXScreen, "scene rx add Lobby RXD"},
    };
    for (const Case& c : cases) {
        FileWritesFail full;
        EXPECT_EQ(cmd(c.h, c.cmd), -1) << c.cmd;
    }
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(sceneFiles(), before);
    EXPECT_EQ(m.pVSenceScreen[0][0]->disIP[0], kRxc);
    EXPECT_EQ(m.pVSenceScreen[0][0]->disIP[1], "");
    EXPECT_EQ(m.pVSenceScreen[0][0]->disSplitnum[0], 1);
}
