// Sources on live-wall windows, and the matrix and multiview adapter through the unicast
// handlers into the scenes.
#include "SourcesFixture.h"

namespace {

const char kMain[] = "rtsp://10.0.1.1/main";

}  // namespace

class WallUrlTest : public SourcesTest {
public:
    int vsUrl(const std::string& args) {
        return run(&VSServer::cmdVSSetUrl, "config set vs url params " + args);
    }
    // Window 7 (window 2 of cell 1) in use and visible, reaching into cell 0 or not.
    VSServer& wallWithWindow7(bool spill) {
        VSServer& m = wall();
        place(m.pVWin[7], spill ? 1800 : 2000, 2500, 0, 500);
        *m.pVWinOrg[7] = *m.pVWin[7];
        m.pVWin[7]->url = m.pVWinOrg[7]->url = "old";
        m.pVWin[7]->name = m.pVWinOrg[7]->name = "old";
        setMulticast("rtsp://multi", "M");
        return m;
    }
};

TEST_F(WallUrlTest, SourceGoesToTheOwnCellAndEveryCellTheWindowReaches) {
    struct Case {
        bool spill;
        const char* args;
        std::vector<std::string> texts;
        const char* url;
        const char* name;
    } cases[] = {
        {false, "7 esource 10.0.1.1 0", {url(cellIp(1), 2, kMain)}, kMain, "ENC1"},
        {true,
         "7 esource 10.0.1.1 0",
         {url(cellIp(0), 16, kMain), url(cellIp(1), 2, kMain), vsMulHideText(3)},
         kMain,
         "ENC1"},
        {true,
         "7 esource CLEAR 0",
         {url(cellIp(0), 16, VS_UNUSED_WINDOW), url(cellIp(1), 2, VS_UNUSED_WINDOW),
          vsMulHideText(3)},
         "",
         ""},
        {false, "7 esource 10.0.1.2 2", {"config set url params 10.0.0.11 2 "}, "", "10.0.1.2"},
        {false,
         "7 ipsource 10.0.2.1 1",
         {url(cellIp(1), 2, "rtsp://10.0.2.1/cam1")},
         "rtsp://10.0.2.1/cam1",
         "CAM1"},
    };
    for (const Case& c : cases) {
        VSServer& m = wallWithWindow7(c.spill);
        EXPECT_EQ(vsUrl(c.args), 0) << c.args;
        EXPECT_EQ(take(), c.texts) << c.args;
        for (const VWin* rec : {m.pVWin[7].get(), m.pVWinOrg[7].get()}) {
            EXPECT_EQ(rec->url, c.url) << c.args;
            EXPECT_EQ(rec->name, c.name) << c.args;
        }
        EXPECT_TRUE(exists("/mnt/qelconfVWin_07.ini"));
        EXPECT_TRUE(multicastEmpty()) << c.args;
    }
}

TEST_F(WallUrlTest, RefusedCommandsSendAndChangeNothing) {
    const char* cases[] = {
        "7 esource 10.0.2.1 0",   // a camera is no encoder
        "7 ipsource 10.0.1.1 0",  // an encoder is no camera
        "7 esource 10.0.9.9 0",   // nobody
        "-1 esource 10.0.1.1 0",
        "20 esource 10.0.1.1 0",  // past the 2 x 2 wall's windows
        "80 esource 10.0.1.1 0",
    };
    for (const char* args : cases) {
        VSServer& m = wallWithWindow7(true);
        EXPECT_EQ(vsUrl(args), -1) << args;
        EXPECT_TRUE(take().empty()) << args;
        EXPECT_EQ(m.pVWin[7]->url, "old") << args;
        EXPECT_FALSE(multicastEmpty()) << args;
    }
    // A url longer than the window record keeps, and a token longer than its field.
    VSServer& m = wallWithWindow7(true);
    loadDevices({}, {src("LONG", "10.0.1.9", "rtsp://" + std::string(130, 'x'), "")}, {});
    startWatched();
    for (const std::string& args :
         {std::string("7 esource 10.0.1.9 0"), "7 esource " + std::string(256, '1') + " 0"})
        EXPECT_EQ(vsUrl(args), -1) << args;
    EXPECT_TRUE(take().empty());
    (void)m;
}

class AdapterTest : public SourcesTest {
public:
    bool adapt(const std::string& rx, const std::string& source, int split, int win, int layout) {
        std::string r(rx), s(source);
        return model->blSetVScreenUnicastSenceSrcUrlSplit(&r[0], &s[0], split, win, layout);
    }
    static std::vector<std::string> placement(const std::string& ip) {
        std::vector<std::string> t{vsSplitText(ip, 1, 0)};
        for (int k = 0; k < 5; ++k) t.push_back(vsUrlText(ip, k, VS_UNUSED_WINDOW));
        t.push_back(vsRxDisplayIpText(ip));
        return t;
    }
};

TEST_F(AdapterTest, ClearComesBeforeTheSplitAndASourceAfterIt) {
    const std::string ip = freeIp(0);
    struct Case {
        const char* source;
        int layout;
        std::vector<std::string> after;  // what follows the placement
    } cases[] = {
        {"CLEAR", 1, {url(ip, 1, VS_UNUSED_WINDOW), vsSplitText(ip, 4, 0)}},
        {"10.0.1.1", 1, {vsSplitText(ip, 4, 0), url(ip, 1, kMain)}},
        {"10.0.1.1", 0, {url(ip, 1, kMain)}},
    };
    for (const Case& c : cases) {
        VSServer& m = wall();
        EXPECT_TRUE(adapt(ip, c.source, 4, 1, c.layout));
        std::vector<std::string> expected = placement(ip);
        append(expected, c.after);
        EXPECT_EQ(take(), expected) << c.source << " " << c.layout;
        EXPECT_EQ(m.pUnicast->curIndex, 0);
        EXPECT_EQ(m.pUnicast->splitnum[0], c.layout ? 4 : 1);
    }
}

TEST_F(AdapterTest, NullMakesTheDecodersSlotCurrent) {
    VSServer& m = wall();
    ASSERT_TRUE(adapt(freeIp(0), "10.0.1.1", 1, 0, 1));
    ASSERT_TRUE(adapt(freeIp(1), "10.0.1.1", 1, 0, 1));
    ASSERT_EQ(m.pUnicast->curIndex, 1);
    take();
    EXPECT_TRUE(adapt(freeIp(0), "NULL", 4, 2, 1));
    EXPECT_EQ(m.pUnicast->curIndex, 0);
    EXPECT_EQ(value("/mnt/qelconfUnicast.ini", "unicastCurIndex"), 0);
    // No source is named "NULL": the window shows nothing.
    EXPECT_EQ(take(), (std::vector<std::string>{vsSplitText(freeIp(0), 4, 0),
                                                url(freeIp(0), 2, VS_UNUSED_WINDOW)}));
    EXPECT_EQ(m.pUWin[2]->url, VS_UNUSED_WINDOW);
}

TEST_F(AdapterTest, NullWithoutAnySlotClearsThatDecoderAloneAndTouchesNoScene) {
    VSServer& m = wall();
    iUnicastCurIndex = -1;
    m.pUnicast->curIndex = -1;
    m.pVSence[2]->valid = 1;
    iSenceScreenRows[2] = iSenceScreenColumns[2] = 2;
    m.pVSenceScreen[2][m.pVSence[2]->curPreset]->screenIP[0] = freeIp(0);
    EXPECT_TRUE(adapt(freeIp(0), "NULL", 4, 0, 1));
    EXPECT_EQ(take(), (std::vector<std::string>{vsSplitText(freeIp(0), 4, 0),
                                                url(freeIp(0), 0, VS_UNUSED_WINDOW)}));
    EXPECT_EQ(m.pVSenceScreen[2][m.pVSence[2]->curPreset]->screenSplitnum[0], 1);
}

// The slot routed last stays current, but it is another decoder's: it is not touched.
TEST_F(AdapterTest, NullOnADecoderInNoSlotLeavesTheCurrentSlotAlone) {
    VSServer& m = wall();
    ASSERT_TRUE(adapt(freeIp(1), "10.0.1.1", 1, 0, 1));
    take();
    EXPECT_TRUE(adapt(freeIp(0), "NULL", 1, 0, 1));
    EXPECT_EQ(take(), (std::vector<std::string>{vsSplitText(freeIp(0), 1, 0),
                                                url(freeIp(0), 0, VS_UNUSED_WINDOW)}));
    EXPECT_EQ(m.pUnicast->curIndex, 0);
    EXPECT_EQ(m.pUWin[0]->url, kMain);
    EXPECT_EQ(m.checkUnicastRXisUsed(freeIp(0).c_str(), 1), 0);
    // A window outside the decoder's five is refused with nothing sent.
    EXPECT_FALSE(adapt(freeIp(1), "10.0.1.1", 1, 5, 1));
    EXPECT_TRUE(take().empty());
}

TEST_F(AdapterTest, TheChangeIsCarriedIntoTheScenesCurrentPreset) {
    VSServer& m = wall();
    const std::string rx = freeIp(0);
    m.pVSence[2]->valid = 1;
    m.pVSence[2]->curPreset = 1;
    iSenceScreenRows[2] = iSenceScreenColumns[2] = 2;
    VSenceScreen& screen = *m.pVSenceScreen[2][1];
    screen.screenIP[3] = rx;
    screen.screenSplitnum[3] = 1;
    screen.disIP[5] = rx;
    screen.disSplitnum[5] = 4;        // already the split given: its keys stay
    *m.pVSenceScreen[2][0] = screen;  // another preset: not touched
    m.pVSenceScreen[2][0]->screenSplitnum[3] = 1;

    const char kPreset[] = "/mnt/sence/qelconfVSence_02_01.ini";
    const Json::Value displayKey = value(kPreset, "disSplitnum_05");
    ASSERT_TRUE(adapt(rx, "10.0.1.1", 4, 1, 1));
    EXPECT_EQ(value(kPreset, "screenSplitnum_03"), 4);
    EXPECT_EQ(value(kPreset, "screenIP_03"), rx);
    EXPECT_EQ(value(kPreset, "screenName_03"), "FREE0");
    EXPECT_EQ(screen.screenSplitnum[3], 4);
    EXPECT_EQ(value(kPreset, "disSplitnum_05"), displayKey);
    EXPECT_EQ(m.pVWinSence[2][1][16]->url, kMain);
    EXPECT_EQ(m.pVWinSence[2][1][16]->name, "ENC1");
    EXPECT_EQ(m.pDisWin[2][1][26]->url, kMain);
    EXPECT_EQ(m.pDisWin[2][1][26]->name, "ENC1");
    EXPECT_TRUE(exists("/mnt/sence/qelconfVWinSence_02_01_16.ini"));
    EXPECT_TRUE(exists("/mnt/sence/qelconfDisWin_02_01_26.ini"));
    EXPECT_EQ(m.pVSenceScreen[2][0]->screenSplitnum[3], 1);
    EXPECT_EQ(m.pVWinSence[2][0][16]->url, "");
}
