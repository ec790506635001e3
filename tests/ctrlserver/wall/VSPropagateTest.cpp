// Carrying a device's new name and new address through the model.
#include "WallOpsFixture.h"

namespace {

const char kOld[] = "10.0.0.5";

}  // namespace

class RenameTest : public WallOpsTest {
public:
    void SetUp() override {
        WallOpsTest::SetUp();
        if (IsSkipped()) return;
        VSServer& m = start();
        m.pVScreen->ip[0] = kOld;
        m.pVScreen->ip[1] = "10.0.0.50";
        m.pVScreen->ip[3] = "10.0.0.53";
        showOn(m.pVWin[0], m.pVWinOrg[0], "rtsp://10.0.0.5/live");
        showOn(m.pVWin[5], m.pVWinOrg[5], "rtsp://10.0.0.50/live");   // another device
        showOn(m.pVWin[10], m.pVWinOrg[10], "rtsp://10.0.0.5/live");  // cell without decoder
        showOn(m.pVWin[15], m.pVWinOrg[15], "rtsp://10.0.0.5:554/live");
        m.pUnicast->ip[3] = kOld;
        m.pUnicast->ip[4] = "";
        showOn(m.pUWin[16], m.pUWinOrg[16], "rtsp://10.0.0.5/live");
        showOn(m.pUWin[21], m.pUWinOrg[21], "rtsp://10.0.0.5/live");  // slot without decoder
        m.pMulticast->winUrl = "rtsp://10.0.0.5/live";
        m.pMulticast->winUrlName = "old";
        for (int s : {1, 2}) {
            m.pVSence[s]->valid = s == 1;
            VSenceScreen& rec = *m.pVSenceScreen[s][2];
            rec.screenIP[1] = kOld;
            rec.disIP[4] = kOld;
            showOn(m.pVWinSence[s][2][5], m.pVWinSenceOrg[s][2][5], "rtsp://10.0.0.5/live");
            showOn(m.pDisWin[s][2][20], m.pDisWinOrg[s][2][20], "rtsp://10.0.0.5/live");
        }
    }

    static void showOn(std::unique_ptr<VWin>& cur, std::unique_ptr<VWin>& org,
                       const std::string& url) {
        cur->url = org->url = url;
        cur->name = org->name = "old";
    }
};

TEST_F(RenameTest, NewNameReachesEveryPlaceOfTheDevice) {
    VSServer& m = *model;
    EXPECT_EQ(m.blUpdateVScreenUnicastDevName(kOld, "Lobby"), 1);
    EXPECT_TRUE(texts.empty());

    // Decoder places: exact address only.
    EXPECT_EQ(m.pVScreen->name[0], "Lobby");
    EXPECT_EQ(m.pVScreen->name[1], "");
    EXPECT_EQ(value("/mnt/qelconfVscreen.ini", "screenName_00"), "Lobby");
    EXPECT_EQ(value("/mnt/qelconfVscreen.ini", "screenName_01"), "");
    EXPECT_EQ(m.pUnicast->name[3], "Lobby");
    EXPECT_EQ(value("/mnt/qelconfUnicast.ini", "unicastname_03"), "Lobby");
    EXPECT_EQ(m.pVSenceScreen[1][2]->screenName[1], "Lobby");
    EXPECT_EQ(m.pVSenceScreen[1][2]->disName[4], "Lobby");
    EXPECT_EQ(value("/mnt/sence/qelconfVSence_01_02.ini", "screenName_01"), "Lobby");
    EXPECT_EQ(value("/mnt/sence/qelconfVSence_01_02.ini", "disName_04"), "Lobby");
    EXPECT_EQ(m.pVSenceScreen[2][2]->screenName[1], "");  // invalid scene skipped
    EXPECT_EQ(m.pVSenceScreen[2][2]->disName[4], "");

    // Window sources: the whole address in the URL, on a cell or slot with a decoder.
    struct Win {
        const char* what;
        VWin* cur;
        VWin* org;
        const char* name;
    };
    const Win wins[] = {
        {"live 0", m.pVWin[0].get(), m.pVWinOrg[0].get(), "Lobby"},
        {"live 5 shows 10.0.0.50", m.pVWin[5].get(), m.pVWinOrg[5].get(), "old"},
        {"live 10 on a cell without decoder", m.pVWin[10].get(), m.pVWinOrg[10].get(), "old"},
        {"live 15 with a port", m.pVWin[15].get(), m.pVWinOrg[15].get(), "Lobby"},
        {"unicast 16", m.pUWin[16].get(), m.pUWinOrg[16].get(), "Lobby"},
        {"unicast 21 on a slot without decoder", m.pUWin[21].get(), m.pUWinOrg[21].get(), "old"},
        {"scene wall", m.pVWinSence[1][2][5].get(), m.pVWinSenceOrg[1][2][5].get(), "Lobby"},
        {"scene display", m.pDisWin[1][2][20].get(), m.pDisWinOrg[1][2][20].get(), "Lobby"},
        {"invalid scene wall", m.pVWinSence[2][2][5].get(), m.pVWinSenceOrg[2][2][5].get(), "old"},
        {"invalid scene display", m.pDisWin[2][2][20].get(), m.pDisWinOrg[2][2][20].get(), "old"},
    };
    for (const Win& w : wins) {
        EXPECT_EQ(w.cur->name, w.name) << w.what;
        EXPECT_EQ(w.org->name, w.name) << w.what;
    }
    EXPECT_EQ(m.pMulticast->winUrlName, "Lobby");
    EXPECT_EQ(readKeys("/mnt/qelconfMulticast.ini"),
              (KeyList{{"winUrl", "rtsp://10.0.0.5/live"}, {"winUrlName", "Lobby"}}));

    // The block files hold the new names.
    VSServer& again = start();
    EXPECT_EQ(again.pVWin[0]->name, "Lobby");
    EXPECT_EQ(again.pUWin[16]->name, "Lobby");
    EXPECT_EQ(again.pVWinSence[1][2][5]->name, "Lobby");
    EXPECT_EQ(again.pDisWin[1][2][20]->name, "Lobby");
    EXPECT_EQ(again.pVWin[10]->name, "");  // never saved
}

TEST_F(RenameTest, EmptyNameGivesTheDefaultNames) {
    VSServer& m = *model;
    EXPECT_EQ(m.blUpdateVScreenUnicastDevName(kOld, ""), 1);
    EXPECT_EQ(m.pVScreen->name[0], "RX");
    EXPECT_EQ(m.pUnicast->name[3], "RX");
    EXPECT_EQ(m.pVSenceScreen[1][2]->disName[4], "RX");
    EXPECT_EQ(m.pVWin[0]->name, "TX");
    EXPECT_EQ(m.pUWin[16]->name, "TX");
    EXPECT_EQ(m.pMulticast->winUrlName, "TX");
}

TEST_F(RenameTest, EmptyAddressChangesNothing) {
    VSServer& m = *model;
    m.pVScreen->ip[2] = "";
    m.pVWin[10]->url = "";
    const auto before = modelFiles();
    EXPECT_EQ(m.blUpdateVScreenUnicastDevName("", "Lobby"), 1);
    EXPECT_EQ(modelFiles(), before);
    EXPECT_EQ(m.pVScreen->name[2], "");
    EXPECT_EQ(m.pVWin[10]->name, "old");
}

class ReaddressTest : public WallOpsTest {
public:
    void SetUp() override {
        WallOpsTest::SetUp();
        if (IsSkipped()) return;
        loadDevices({{"Dec", "RX-1", "10.0.0.2", "00:dd", "1", "", ""}},
                    {{"Cam", "TX-1", "10.0.0.21", "00:aa", "1", kMain, kSub}}, {});
        VSServer& m = startWatched();
        m.pVScreen->ip[0] = "10.0.0.2";
        m.pVScreen->ip[1] = "10.0.0.3";
        m.pVScreen->ip[2] = "10.0.0.4";
        m.pVScreen->ip[3] = "";  // no decoder: nothing is sent there
        // Window 1 of cell 0 spreads over cells 1, 2 and 3.
        show(m.pVWin[1], m.pVWinOrg[1], kMain, 1000, 2500, 500, 1500);
        show(m.pVWin[6], m.pVWinOrg[6], kSub, 1920, 2000, 0, 100);
        show(m.pVWin[11], m.pVWinOrg[11], "rtsp://10.0.0.21/other", 0, 100, 1080, 1200);
        m.pUnicast->ip[5] = "10.0.0.9";
        show(m.pUWin[27], m.pUWinOrg[27], kMain, 0, 100, 0, 100);
        show(m.pUWin[32], m.pUWinOrg[32], kMain, 0, 100, 0, 100);  // slot without decoder
        m.pVSence[1]->valid = 1;
        m.pVSence[1]->curPreset = 0;
        m.pVSenceScreen[1][2]->screenIP[0] = "10.0.0.7";
        m.pVSenceScreen[1][2]->disIP[1] = "10.0.0.8";
        show(m.pVWinSence[1][2][0], m.pVWinSenceOrg[1][2][0], kMain, 0, 100, 0, 100);
        show(m.pDisWin[1][2][7], m.pDisWinOrg[1][2][7], kSub, 0, 100, 0, 100);
    }

    static void show(std::unique_ptr<VWin>& cur, std::unique_ptr<VWin>& org, const std::string& url,
                     uint32_t h0, uint32_t h1, uint32_t v0, uint32_t v1) {
        place(cur, h0, h1, v0, v1, 1);
        *org = *cur;
        cur->url = org->url = url;
    }

    static constexpr const char* kMain = "rtsp://10.0.0.21/main";
    static constexpr const char* kSub = "rtsp://10.0.0.21/sub";
};

TEST_F(ReaddressTest, EncoderAddressReachesEveryWindowShowingItsStreams) {
    VSServer& m = *model;
    EXPECT_EQ(m.blUpdateVScreenUnicastDevIp("00:aa", "10.0.0.121"), 1);
    const std::string main = "rtsp://10.0.0.121/main", sub = "rtsp://10.0.0.121/sub";
    const std::vector<std::string> expected = {
        "config set url params 10.0.0.2 1 " + main,   // own cell
        "config set url params 10.0.0.3 16 " + main,  // the cells it spreads over
        "config set url params 10.0.0.4 16 " + main,
        "config set url params 10.0.0.3 1 " + sub,  // second stream
        "config set url params 10.0.0.9 2 " + main,
        "config set url params 10.0.0.7 0 " + main,  // preset that is not the current one
        "config set url params 10.0.0.8 2 " + sub,
    };
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(m.pVWin[1]->url, main);
    EXPECT_EQ(m.pVWinOrg[1]->url, main);
    EXPECT_EQ(m.pVWin[11]->url, "rtsp://10.0.0.21/other");
    EXPECT_EQ(m.pUWin[32]->url, kMain);
    EXPECT_EQ(m.pDisWinOrg[1][2][7]->url, sub);
    VSServer& again = start();
    EXPECT_EQ(again.pVWin[1]->url, main);
    EXPECT_EQ(again.pVWin[6]->url, sub);
    EXPECT_EQ(again.pUWin[27]->url, main);
    EXPECT_EQ(again.pVWinSence[1][2][0]->url, main);
    EXPECT_EQ(again.pDisWin[1][2][7]->url, sub);
}

TEST_F(ReaddressTest, DecoderAddressMovesEveryDecoderPlace) {
    VSServer& m = *model;
    m.pUnicast->ip[9] = "10.0.0.2";
    m.pVSenceScreen[1][1]->disIP[3] = "10.0.0.2";
    m.pVSenceScreen[1][0]->screenIP[2] = "10.0.0.2";
    EXPECT_EQ(m.blUpdateVScreenUnicastDevIp("00:dd", "10.0.0.102"), 1);
    EXPECT_TRUE(texts.empty());  // a decoder has no stream URL
    EXPECT_EQ(m.pVScreen->ip[0], "10.0.0.102");
    EXPECT_EQ(m.pUnicast->ip[9], "10.0.0.102");
    EXPECT_EQ(m.pVSenceScreen[1][1]->disIP[3], "10.0.0.102");
    EXPECT_EQ(m.pVSenceScreen[1][0]->screenIP[2], "10.0.0.102");
    EXPECT_EQ(value("/mnt/qelconfVscreen.ini", "screenIP_00"), "10.0.0.102");
    EXPECT_EQ(value("/mnt/qelconfUnicast.ini", "unicastip_09"), "10.0.0.102");
    EXPECT_EQ(value("/mnt/sence/qelconfVSence_01_01.ini", "disIP_03"), "10.0.0.102");
    EXPECT_EQ(value("/mnt/sence/qelconfVSence_01_00.ini", "screenIP_02"), "10.0.0.102");
}

TEST_F(ReaddressTest, UnknownDeviceOrUnchangedAddressChangesNothing) {
    VSServer& m = *model;
    const auto before = modelFiles();
    EXPECT_EQ(m.blUpdateVScreenUnicastDevIp("00:ee", "10.0.0.121"), 0);
    EXPECT_EQ(m.blUpdateVScreenUnicastDevIp("00:aa", "10.0.0.21"), 0);
    EXPECT_EQ(m.blUpdateVScreenUnicastDevIp("", "10.0.0.121"), 0);
    EXPECT_EQ(m.blUpdateVScreenUnicastDevIp("00:aa", ""), 0);
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(modelFiles(), before);
    EXPECT_EQ(m.pVWin[1]->url, kMain);
}
