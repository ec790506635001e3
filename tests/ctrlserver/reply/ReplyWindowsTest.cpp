// The window and screen replies: the three window texts, the source encoder of a window, the
// indexed screen keys, ratio, window modes and user mode.
#include <string>

#include "ReplyTest.h"
#include "core/AddressMatch.h"
#include "core/CtrlServer.h"
#include "ctrlserver/device/DevServerFixture.h"
#include "device/DevServer.h"

using replytest::build;
using replytest::fill;
using replytest::parse;

namespace {

VWin window(uint8_t win, const std::string& url, const std::string& name) {
    return VWin(win, 1, 0, 1, 0, 1919, 0, 1079, win, url, name);
}

TEST(ReplyWindows, CommaFormOfTheWallUnicastAndMulticastWindows) {
    ArrayList<VWin> list;
    fill(list, {window(7, "rtsp://x", "A"), window(8, "", "")});
    EXPECT_EQ(build([&](char* out, size_t n) { BuildVsWinJsonString(list, out, n); }),
              parse(R"({"vswininfo": [{"vwval": "7,1,0,1,0,1919,0,1079,7,A"},
                                      {"vwval": "8,1,0,1,0,1919,0,1079,8,"}]})"));
    EXPECT_EQ(build([&](char* out, size_t n) { BuildUniWinJsonString(list, out, n); }),
              parse(R"({"uniwininfo": [{"unival": "7,1,0,1,0,1919,0,1079,7,A"},
                                       {"unival": "8,1,0,1,0,1919,0,1079,8,"}]})"));
    // The multicast screen shows its first window only, and an empty list as null.
    EXPECT_EQ(build([&](char* out, size_t n) { BuildMulWinJsonString(list, out, n); }),
              parse(R"({"mulwininfo": [{"mulval": "7,1,0,1,0,1919,0,1079,7,A"}]})"));
    ArrayList<VWin> none;
    EXPECT_TRUE(build([&](char* out, size_t n) { BuildMulWinJsonString(none, out, n); }).isNull());
    EXPECT_TRUE(build([&](char* out, size_t n) { BuildVsWinJsonString(none, out, n); }).isNull());

    // Rectangle values print as signed 32-bit numbers.
    ArrayList<VWin> odd;
    fill(odd, {VWin(255, 0, 2, 0, 0xffffffffu, 10, 20, 30, 40, "", "n")});
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildVsWinJsonString(odd, out, n);
              })["vswininfo"][0]["vwval"],
              "255,0,2,0,-1,10,20,30,40,n");
}

TEST(ReplyWindows, BlankFormKeepsItsLastSeparatorAndLongNamesAreBounded) {
    ArrayList<VWin> list;
    fill(list, {window(7, "", "A"), window(3, "", "")});
    std::string cmd = "config set sence vs win params";
    Json::Value v =
        build([&](char* out, size_t n) { BuildVsSenceWinJsonString(list, out, n, 1, &cmd[0]); });
    EXPECT_EQ(v["vswininfo"], parse(R"([{"vwval": "7 1 0 1 0 1919 0 1079 7 A"},
                                        {"vwval": "3 1 0 1 0 1919 0 1079 3 "}])"));
    EXPECT_EQ(v["ack"][0]["status"].asString(), "success");

    // A name longer than the window text's 1023 bytes is cut, whole characters only.
    std::string name;
    for (int i = 0; i < 600; ++i) name += "\xc3\xa9";
    ArrayList<VWin> longName;
    fill(longName, {window(1, "", name)});
    std::string text = build([&](char* out, size_t n) {
                           BuildVsWinJsonString(longName, out, n);
                       })["vswininfo"][0]["vwval"]
                           .asString();
    const std::string head = "1,1,0,1,0,1919,0,1079,1,";
    ASSERT_LE(text.size(), 1023u);
    EXPECT_GT(text.size(), 1000u);
    EXPECT_EQ(text.compare(0, head.size(), head), 0);
    EXPECT_EQ((text.size() - head.size()) % 2, 0u);
}

TEST(AddressMatch, WholeAddressesOnly) {
    struct Case {
        const char* text;
        const char* address;
        bool found;
    } cases[] = {
        {"rtsp://10.0.0.1/live", "10.0.0.1", true},
        {"rtsp://10.0.0.1:554/live", "10.0.0.1", true},
        {"10.0.0.1", "10.0.0.1", true},
        {"rtsp://10.0.0.12/live", "10.0.0.1", false},
        {"rtsp://110.0.0.1/live", "10.0.0.1", false},
        {"rtsp://10.0.0.1.5/live", "10.0.0.1", false},
        {"rtsp://10.0.0.12/a?b=10.0.0.1", "10.0.0.1", true},  // a later whole occurrence
        {"rtsp://10.0.0.1/live", "", false},
        {"", "10.0.0.1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(addressInText(c.text, c.address), c.found) << c.text << " / " << c.address;
}

// A DevServer over a box root of its own, in a namespace without a network.
class SourceWindows : public DevServerTest {
protected:
    void SetUp() override {
        DevServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        dev = &start();
    }

    // The encoder table holds encoders with these addresses, in this order.
    void encoders(const std::vector<std::string>& addresses) {
        std::lock_guard<std::recursive_mutex> lock(dev->tableMutex);
        for (const std::string& a : addresses) {
            Encoder* e = new Encoder();
            e->ip = a;
            e->index = dev->encoderCount;
            dev->encoders[dev->encoderCount++] = e;
        }
    }

    // The source texts of the windows with these URLs in the scene-wall window reply.
    std::vector<std::string> sources(const std::vector<std::string>& urls) {
        ArrayList<VWin> list;
        for (const std::string& u : urls) list.add(new VWin(window(0, u, "name")));
        std::string cmd = "config get sence vs wins params";
        Json::Value v = build([&](char* out, size_t n) {
            BuildVsSenceWinsJsonString(*dev, list, out, n, 1, &cmd[0]);
        });
        std::vector<std::string> got;
        const std::string head = "0 1 0 1 0 1919 0 1079 0 ";
        for (const Json::Value& item : v["vswininfo"]) {
            std::string text = item["vwval"].asString();
            EXPECT_EQ(text.compare(0, head.size(), head), 0) << text;
            got.push_back(text.substr(head.size()));
        }
        return got;
    }

    DevServer* dev = nullptr;
};

TEST_F(SourceWindows, TheLastWholeMatchInTableOrderWins) {
    encoders({"10.0.0.12", "10.0.0.1", "", "10.0.0.5", "10.0.0.50"});
    EXPECT_EQ(sources({"rtsp://10.0.0.12/live", "rtsp://10.0.0.1/live", "rtsp://10.0.0.9/x", "",
                       "rtsp://10.0.0.5/a?b=10.0.0.50"}),
              (std::vector<std::string>{"10.0.0.12", "10.0.0.1", "", "", "10.0.0.50"}));
}

TEST_F(SourceWindows, DisplayAndSingleDisplayForms) {
    encoders({"10.0.0.7"});
    ArrayList<VWin> list;
    list.add(new VWin(window(13, "rtsp://10.0.0.7/main", "n")));
    std::string cmd = "config get sence display wins params";
    Json::Value v =
        build([&](char* out, size_t n) { BuildDisWinsJsonString(*dev, list, out, n, 1, &cmd[0]); });
    EXPECT_EQ(v["vswininfo"][0]["vwval"].asString(), "2 3 1 0 1 0 1919 0 1079 13 10.0.0.7");

    v = build(
        [&](char* out, size_t n) { BuildSingleDisWinsJsonString(*dev, list, out, n, 0, &cmd[0]); });
    EXPECT_EQ(v["vswininfo"][0]["vwval"].asString(), "13 1 0 1 0 1919 0 1079 13 10.0.0.7");
    EXPECT_EQ(v["ack"][0]["status"].asString(), "failure");

    ArrayList<VWin> none;
    EXPECT_EQ(
        build([&](char* out, size_t n) { BuildDisWinsJsonString(*dev, none, out, n, 1, &cmd[0]); }),
        parse(R"({"ack": [{"cmd": "config get sence display wins params",
                                 "status": "success"}], "vswininfo": null})"));
}

// CtrlServer without its servers, given the fixture's DevServer.
struct TestCtrl : CtrlServer {
    TestCtrl(UsageEnvironment& e, DevServer* dev) : CtrlServer(e, Port(6666), NoServers{}) {
        devServer = dev;
    }
    ~TestCtrl() override { devServer = nullptr; }
};

TEST_F(SourceWindows, CtrlServerMembersUseItsDevServer) {
    encoders({"10.0.0.7"});
    ArrayList<VWin> list;
    list.add(new VWin(window(6, "rtsp://10.0.0.7/main", "n")));
    std::string cmd = "config get sence vs wins params";
    TestCtrl ctrl(*env, dev);
    using Member = void (CtrlServer::*)(ArrayList<VWin>&, char*, size_t, unsigned int, char*);
    struct Case {
        Member member;
        const char* text;
    } cases[] = {
        {&CtrlServer::BuildVsSenceWinsJsonString, "6 1 0 1 0 1919 0 1079 6 10.0.0.7"},
        {&CtrlServer::BuildSingleDisWinsJsonString, "6 1 0 1 0 1919 0 1079 6 10.0.0.7"},
        {&CtrlServer::BuildDisWinsJsonString, "1 1 1 0 1 0 1919 0 1079 6 10.0.0.7"},
    };
    for (const Case& c : cases) {
        Json::Value v =
            build([&](char* out, size_t n) { (ctrl.*c.member)(list, out, n, 1, &cmd[0]); });
        EXPECT_EQ(v["vswininfo"][0]["vwval"].asString(), c.text);
    }
}

TEST(ReplyScreens, LiveWallCellsUpToTheGridAndNeverPastSixteen) {
    VScreen s;
    s.rows = 2;
    s.columns = 2;
    s.horCut = 2;
    s.verCut = 3;
    s.width = 3840;
    s.height = 2160;
    for (int k = 0; k < WALL_CELLS; ++k) {
        s.ip[k] = "10.0.0." + std::to_string(k + 1);
        s.name[k] = "rx" + std::to_string(k);
        s.splitnum[k] = k % 5 + 1;
    }
    ArrayList<VScreen> list;
    fill(list, {s});
    EXPECT_EQ(build([&](char* out, size_t n) { BuildVsScreenJsonString(list, out, n); }),
              parse(R"({"vsscreeninfo": [{"vsrow": 2, "vscolumn": 2, "vshorcut": 2,
                  "vsvercut": 3, "vswidth": 3840, "vsheight": 2160,
                  "vsdeviplist[0]": "10.0.0.1", "vssplitnum[0]": 1, "vsdevnamelist[0]": "rx0",
                  "vsdeviplist[1]": "10.0.0.2", "vssplitnum[1]": 2, "vsdevnamelist[1]": "rx1",
                  "vsdeviplist[2]": "10.0.0.3", "vssplitnum[2]": 3, "vsdevnamelist[2]": "rx2",
                  "vsdeviplist[3]": "10.0.0.4", "vssplitnum[3]": 4, "vsdevnamelist[3]": "rx3"
              }]})"));

    s.rows = 5;
    s.columns = 5;
    ArrayList<VScreen> big;
    fill(big, {s});
    Json::Value item = build(
        [&](char* out, size_t n) { BuildVsScreenJsonString(big, out, n); })["vsscreeninfo"][0];
    EXPECT_EQ(item.size(), 6u + 3 * WALL_CELLS);
    EXPECT_FALSE(item.isMember("vsdeviplist[16]"));
}

TEST(ReplyScreens, UnicastListsEverySlot) {
    Unicast u;
    u.width = 1920;
    u.height = 1080;
    u.curIndex = 3;
    u.ip[0] = "10.0.0.1";
    u.name[0] = "first";
    u.splitnum[0] = 4;
    u.splitnum[199] = 1;
    ArrayList<Unicast> list;
    fill(list, {u});
    Json::Value item =
        build([&](char* out, size_t n) { BuildUnicastJsonString(list, out, n); })["unicastinfo"][0];
    EXPECT_EQ(item.size(), 603u);
    EXPECT_EQ(item["uniwidth"].asInt(), 1920);
    EXPECT_EQ(item["uniheight"].asInt(), 1080);
    EXPECT_EQ(item["curindex"].asInt(), 3);
    EXPECT_EQ(item["uniiplist[0]"].asString(), "10.0.0.1");
    EXPECT_EQ(item["uninamelist[0]"].asString(), "first");
    EXPECT_EQ(item["unisplitnum[0]"].asInt(), 4);
    EXPECT_EQ(item["uniiplist[199]"], "");
    EXPECT_EQ(item["uninamelist[199]"], "");
    EXPECT_EQ(item["unisplitnum[199]"].asInt(), 1);
}

TEST(ReplyScreens, RatioWindowModesAndUserMode) {
    ArrayList<HVratio> ratios;
    fill(ratios, {HVratio{1, 16, 9, 4, 3}});
    EXPECT_EQ(build([&](char* out, size_t n) { BuildRatioJsonString(ratios, out, n); }),
              parse(R"({"ratioinfo": [{"ratioindex": 1, "ratiohor": 16, "ratiover": 9,
                                       "ratiohoruserdef": 4, "ratioveruserdef": 3}]})"));

    VWMode modes;
    modes.modeMax = 4;
    modes.modeActive = 2;
    modes.modeName[0] = "Day";
    modes.modeName[1] = "Night";
    modes.modeName[2] = modes.modeName[3] = "Model-Name";
    Json::Value v = build([&](char* out, size_t n) { BuildWinModeNameJson(modes, out, n); });
    ASSERT_EQ(v["winmode"].size(), 4u);
    EXPECT_EQ(v["winmode"][1],
              parse(R"({"modeid": 1, "modename": "Night", "modeactive": 2, "modemax": 4})"));
    EXPECT_EQ(v["winmode"][3]["modename"].asString(), "Model-Name");

    modes.modeMax = 7;  // the record holds four names
    v = build([&](char* out, size_t n) { BuildWinModeNameJson(modes, out, n); });
    ASSERT_EQ(v["winmode"].size(), 4u);
    EXPECT_EQ(v["winmode"][3]["modemax"].asInt(), 7);
    modes.modeMax = 0;
    EXPECT_TRUE(build([&](char* out, size_t n) { BuildWinModeNameJson(modes, out, n); }).isNull());

    EXPECT_EQ(build([](char* out, size_t n) { BuildUserModeJsonString(1, out, n); }),
              parse(R"({"usermode": {"mode": 1}})"));
    BuildWinModeNameJson(modes, nullptr, 100);
    BuildUserModeJsonString(1, nullptr, 100);
}

}  // namespace
