// The scene, matrix and multiview replies: which elements they render, what is carried or
// emptied between elements, and their empty forms (null or []).
#include <string>

#include "ReplyTest.h"

using replytest::build;
using replytest::fill;
using replytest::parse;

namespace {

std::string cmdText = "scene get";

VSence scene(uint8_t id, uint8_t valid, uint8_t preset, const std::string& name) {
    VSence s;
    s.id = id;
    s.valid = valid;
    s.curPreset = preset;
    s.name = name;
    s.picSrc = name + ".jpg";
    return s;
}

VSenceScreen wall(uint8_t rows, uint8_t columns, const std::string& tag) {
    VSenceScreen sc;
    sc.rows = rows;
    sc.columns = columns;
    sc.horCut = 2;
    sc.verCut = 4;
    for (int k = 0; k < WALL_CELLS; ++k) {
        sc.screenIP[k] = tag + "-ip" + std::to_string(k);
        sc.screenName[k] = tag + "-rx" + std::to_string(k);
    }
    return sc;
}

// The root key's value of a scene builder over scenes and screens.
template <typename F>
Json::Value root(F f, const char* key) {
    Json::Value v = build([&](char* out, size_t n) { f(out, n); });
    EXPECT_EQ(v["ack"][0]["status"].asString(), "success");
    EXPECT_TRUE(v.isMember(key));
    return v[key];
}

TEST(ReplyScenes, IdentifierReplies) {
    EXPECT_EQ(root([](char* out, size_t n) { BuildVsAckJsonString(4, out, n, 1, &cmdText[0]); },
                   "senceidinfo"),
              parse(R"([{"senceid": 4}])"));
    EXPECT_EQ(
        root([](char* out, size_t n) { BuildDisplayIdAckJsonString(9, out, n, 1, &cmdText[0]); },
             "disidinfo"),
        parse(R"([{"disid": 9}])"));
}

TEST(ReplyScenes, ListsShowValidScenesOnlyWithNothingCarried) {
    ArrayList<VSence> scenes;
    fill(scenes, {scene(0, 0, 0, "s0"), scene(1, 1, 2, "s1"), scene(2, 0, 0, "s2"),
                  scene(3, 1, 0, ""), scene(4, 0, 1, "s4")});
    EXPECT_EQ(
        root([&](char* out, size_t n) { BuildVsSenceJsonString(scenes, out, n, 1, &cmdText[0]); },
             "vssenceinfo"),
        parse(R"([{"senceid": 1, "sencename": "s1", "sencepicsrc": "s1.jpg",
                         "sencecurpreset": 2},
                        {"senceid": 3, "sencename": "", "sencepicsrc": ".jpg",
                         "sencecurpreset": 0}])"));
    EXPECT_EQ(root([&](char* out,
                       size_t n) { BuildVsNewSenceJsonString(scenes, out, n, 1, &cmdText[0]); },
                   "scenelist"),
              parse(R"([{"name": "s1"}, {"name": ""}])"));

    ArrayList<VSence> invalid;
    fill(invalid, {scene(0, 0, 0, "a"), scene(1, 2, 0, "b")});
    ArrayList<VSenceScreen> screens;
    fill(screens, {wall(1, 1, "a"), wall(1, 1, "b")});
    EXPECT_TRUE(
        root([&](char* out, size_t n) { BuildVsSenceJsonString(invalid, out, n, 1, &cmdText[0]); },
             "vssenceinfo")
            .isNull());
    EXPECT_TRUE(root([&](char* out,
                         size_t n) { BuildVsNewSenceJsonString(invalid, out, n, 1, &cmdText[0]); },
                     "scenelist")
                    .isNull());
    EXPECT_TRUE(root(
                    [&](char* out, size_t n) {
                        BuildVsNewSencevwJsonString(invalid, screens, out, n, 1, &cmdText[0]);
                    },
                    "videowalllist")
                    .isNull());
}

TEST(ReplyScenes, GeometryCountsFromOneAndMembersFromZero) {
    ArrayList<VSence> scenes;
    fill(scenes, {scene(0, 1, 2, "Hall")});
    ArrayList<VSenceScreen> screens;
    VSenceScreen sc = wall(2, 2, "w");
    sc.disName[0] = "d0";
    sc.disName[5] = "d5";
    fill(screens, {sc});
    auto byId = [&](ArrayList<VSenceScreen>& s) {
        return root(
            [&](char* out, size_t n) {
                BuildVsAllNewSenceByIdJsonString(scenes, s, out, n, 1, &cmdText[0]);
            },
            "sceneinfo");
    };
    auto members = [&](ArrayList<VSenceScreen>& s) {
        return root(
            [&](char* out, size_t n) {
                BuildVsAllNewSenceJsonString(scenes, s, out, n, 1, &cmdText[0]);
            },
            "scenemember");
    };
    EXPECT_EQ(byId(screens), parse(R"([{"sceneid": 1, "scenename": "Hall", "scenecurpreset": 3,
        "scenerows": 2, "scenecolumns": 2, "scenehorcut": 2, "scenevercut": 4}])"));
    EXPECT_EQ(members(screens),
              parse(R"([{"scenename": "Hall", "scenecurpreset": 2, "vw_rx_00": "w-rx0",
                  "vw_rx_01": "w-rx1", "vw_rx_02": "w-rx2", "vw_rx_03": "w-rx3",
                  "dis_rx_00": "d0", "dis_rx_05": "d5"}])"));

    // An empty grid shows as 1 x 1 in the geometry and lists no cell among the members.
    ArrayList<VSenceScreen> empty;
    fill(empty, {wall(0, 0, "e")});
    Json::Value g = byId(empty)[0];
    EXPECT_EQ(g["scenerows"].asInt(), 1);
    EXPECT_EQ(g["scenecolumns"].asInt(), 1);
    EXPECT_EQ(members(empty), parse(R"([{"scenename": "Hall", "scenecurpreset": 2}])"));

    // A grid larger than the record lists its 16 cells only.
    ArrayList<VSenceScreen> big;
    fill(big, {wall(5, 4, "b")});
    Json::Value m = members(big)[0];
    EXPECT_TRUE(m.isMember("vw_rx_15"));
    EXPECT_FALSE(m.isMember("vw_rx_16"));

    // Either list empty: the root key is null.
    ArrayList<VSenceScreen> noScreens;
    EXPECT_TRUE(byId(noScreens).isNull());
    EXPECT_TRUE(members(noScreens).isNull());
    ArrayList<VSence> noScenes;
    EXPECT_TRUE(root(
                    [&](char* out, size_t n) {
                        BuildVsAllNewSenceJsonString(noScenes, screens, out, n, 1, &cmdText[0]);
                    },
                    "scenemember")
                    .isNull());

    // Members of a scene that is not valid: null.
    scenes.get(0)->valid = 0;
    EXPECT_TRUE(members(screens).isNull());
}

TEST(ReplyScenes, VideoWallsPairScenesWithScreens) {
    ArrayList<VSence> scenes;
    fill(scenes, {scene(0, 1, 0, "A"), scene(1, 0, 0, "B"), scene(2, 1, 0, "C")});
    ArrayList<VSenceScreen> screens;
    fill(screens, {wall(1, 2, "a"), wall(1, 1, "b")});  // no screen for scene C
    EXPECT_EQ(root(
                  [&](char* out, size_t n) {
                      BuildVsNewSencevwJsonString(scenes, screens, out, n, 1, &cmdText[0]);
                  },
                  "videowalllist"),
              parse(R"([{"scenename": "A", "scenevwrows": 1, "scenevwcolumns": 2,
                         "scenevwcutedgehor": 2, "scenevwcutedgever": 4,
                         "screen_00": "a-rx0", "screen_01": "a-rx1"}])"));
}

TEST(ReplyScenes, SceneWallAndDisplayScreens) {
    ArrayList<VSenceScreen> screens;
    VSenceScreen sc = wall(1, 2, "w");
    sc.width = 3840;
    sc.height = 1080;
    sc.screenSplitnum[1] = 4;
    sc.disWidth = 1920;
    sc.disHeight = 1080;
    sc.disIP[2] = "10.0.0.2";
    sc.disName[2] = "two";
    sc.disSplitnum[2] = 4;
    sc.disIP[9] = "10.0.0.9";
    sc.disName[9] = "nine";
    fill(screens, {sc});
    EXPECT_EQ(root([&](char* out,
                       size_t n) { BuildVsSenceScreenJsonString(screens, out, n, 1, &cmdText[0]); },
                   "vsscreeninfo"),
              parse(R"([{"vsrow": 1, "vscolumn": 2, "vshorcut": 2, "vsvercut": 4,
                  "vswidth": 3840, "vsheight": 1080,
                  "vsdeviplist[0]": "w-ip0", "vssplitnum[0]": 1, "vsdevnamelist[0]": "w-rx0",
                  "vsdeviplist[1]": "w-ip1", "vssplitnum[1]": 4,
                  "vsdevnamelist[1]": "w-rx1"}])"));

    auto displays = [&](ArrayList<VSenceScreen>& s) {
        return root([&](char* out,
                        size_t n) { BuildVsSenceDisplayListJsonString(s, out, n, 1, &cmdText[0]); },
                    "vsdisplayinfo");
    };
    EXPECT_EQ(displays(screens), parse(R"([{"diswidth": 1920, "disheight": 1080,
                  "disdeviplist[2]": "10.0.0.2", "dissplitnum[2]": 4, "disdevnamelist[2]": "two",
                  "disdeviplist[9]": "10.0.0.9", "dissplitnum[9]": 1,
                  "disdevnamelist[9]": "nine"}])"));
    ArrayList<VSenceScreen> blank;
    fill(blank, {VSenceScreen()});
    EXPECT_EQ(displays(blank), Json::Value(Json::arrayValue));
    ArrayList<VSenceScreen> none;
    EXPECT_TRUE(displays(none).isNull());
    EXPECT_TRUE(root([&](char* out,
                         size_t n) { BuildVsSenceScreenJsonString(none, out, n, 1, &cmdText[0]); },
                     "vsscreeninfo")
                    .isNull());
}

TEST(ReplyScenes, AllScenesNumberTheirCellsInTurn) {
    ArrayList<VSenceScreen> screens;
    fill(screens, {wall(2, 2, "a"), wall(1, 3, "b")});
    auto all = [&](ArrayList<VSenceScreen>& s) {
        return root(
            [&](char* out, size_t n) { BuildVsAllSenceJsonString(s, out, n, 1, &cmdText[0]); },
            "vsallsenceinfo");
    };
    EXPECT_EQ(all(screens), parse(R"([{"vsdeviplist[0]": "a-ip0", "vsdeviplist[1]": "a-ip1",
        "vsdeviplist[2]": "a-ip2", "vsdeviplist[3]": "a-ip3", "vsdeviplist[4]": "b-ip0",
        "vsdeviplist[5]": "b-ip1", "vsdeviplist[6]": "b-ip2", "vsdevipnum": 7}])"));
    ArrayList<VSenceScreen> none;
    EXPECT_EQ(all(none), Json::Value(Json::arrayValue));
}

Matrix_MV mv(const std::string& alias, int split, std::vector<std::string> tx) {
    Matrix_MV m;
    m.rxname = "name-" + alias;
    m.rxalias = alias;
    m.splitnum = split;
    for (size_t i = 0; i < tx.size(); ++i) m.tx[i] = tx[i];
    return m;
}

TEST(ReplyMatrix, SourcesAndCarriedWindows) {
    std::string cmd = "matrix get";
    ArrayList<Matrix_MV> list;
    fill(list, {mv("L", 1, {"S"}), mv("M", 1, {})});
    EXPECT_EQ(root([&](char* out, size_t n) { BuildMatrixAckJsonString(list, out, n, 1, &cmd[0]); },
                   "rxsourceinfo"),
              parse(R"([{"txrx_1": "S, L"}, {"txrx_1": ", M"}])"));

    ArrayList<Matrix_MV> views;
    fill(views, {mv("A", 4, {"a1", "", "a3", "a4", "a5"}), mv("B", 1, {"b1"}),
                 mv("C", 7, {"c1", "c2", "c3", "c4", "c5"}), mv("D", 0, {"d1"})});
    Json::Value v =
        root([&](char* out, size_t n) { BuildMultiViewAckJsonString(views, out, n, 1, &cmd[0]); },
             "mvrxinfo");
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0], parse(R"({"splitnum": 4, "rxalias": "A", "tx_1": "a1", "tx_2": "NULL",
                              "tx_3": "a3", "tx_4": "a4"})"));
    EXPECT_EQ(v[1], parse(R"({"splitnum": 1, "rxalias": "B", "tx_1": "b1", "tx_2": "NULL",
                              "tx_3": "a3", "tx_4": "a4"})"));
    EXPECT_EQ(v[2]["tx_5"].asString(), "c5");
    EXPECT_EQ(v[2].size(), 7u);
    EXPECT_EQ(v[3]["tx_1"].asString(), "c1");  // split 0 sets no window

    ArrayList<Matrix_MV> none;
    EXPECT_TRUE(
        root([&](char* out, size_t n) { BuildMultiViewAckJsonString(none, out, n, 1, &cmd[0]); },
             "mvrxinfo")
            .isNull());
}

TEST(ReplyMatrix, MultiviewWindowsShowSizesAndSkipEmptySources) {
    Matrix_MV_plus_WIN first;
    first.splitnum = 2;
    first.alias = "A";
    first.name = "rxA";
    first.tx[0] = "s1";
    first.win[0] = {0, 0, 959, 539};
    first.win[1] = {960, 0, 959, 539};  // no source: not shown
    Matrix_MV_plus_WIN second = first;
    second.alias = "B";
    second.tx[0] = "";
    second.tx[1] = "s2";
    ArrayList<Matrix_MV_plus_WIN> list;
    fill(list, {first, second});
    std::string cmd = "mv get";
    Json::Value v =
        root([&](char* out, size_t n) { BuildMultiViewWinAckJsonString(list, out, n, 1, &cmd[0]); },
             "mvrxallinfo");
    EXPECT_EQ(v[0], parse(R"({"splitnum": 2, "alias": "A", "name": "rxA", "tx_1": "s1",
        "winhstart_1": 0, "winvstart_1": 0, "winwidth_1": 960, "winheight_1": 540})"));
    EXPECT_EQ(v[1], parse(R"({"splitnum": 2, "alias": "B", "name": "rxA", "tx_1": "s1",
        "winhstart_1": 0, "winvstart_1": 0, "winwidth_1": 960, "winheight_1": 540,
        "tx_2": "s2", "winhstart_2": 960, "winvstart_2": 0, "winwidth_2": 960,
        "winheight_2": 540})"));
}

}  // namespace
