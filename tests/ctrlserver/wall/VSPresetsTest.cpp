// Scene presets: which files a save writes, the decoder texts a load or recall queues, and the
// live wall and unicast table a recall leaves.
#include <algorithm>
#include <map>
#include <set>

#include "ScreensFixture.h"
#include "wall/VSServerUtil.h"
#include "wall/WinBlock.h"

namespace {

std::string keyFile(int s, int p) {
    return vsNumbered("/mnt/sence/qelconfVSence_%02d", s) + vsNumbered("_%02d.ini", p);
}
std::string winFile(int s, int p, int w) {
    char t[64];
    snprintf(t, sizeof t, "/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", s, p, w);
    return t;
}
std::string disFile(int s, int p, int w) {
    char t[64];
    snprintf(t, sizeof t, "/mnt/sence/qelconfDisWin_%02d_%02d_%02d.ini", s, p, w);
    return t;
}

Json::Value keyOf(const KeyList& keys, const std::string& key) {
    for (const auto& kv : keys)
        if (kv.first == key) return kv.second;
    return Json::Value();
}

}  // namespace

class PresetsTest : public ScreensTest {
public:
    // Scene 0 "Lobby" (2 x 2, no decoders) beside the live 2 x 2 wall with decoders in every
    // cell; unicast slot 0 holds a decoder on split 4.
    VSServer& lobby() {
        const std::string rm =
            "rm -rf '" + file("/mnt") + "'/qelconf* '" + file("/mnt/sence") + "'/*";
        EXPECT_EQ(::system(rm.c_str()), 0);
        VSServer& m = wall();
        std::string create = "config set sence params Lobby";
        EXPECT_EQ(m.cmdVSSetSence(&create[0], 1), 0);
        m.pUnicast->ip[0] = "10.0.0.30";
        m.pUnicast->name[0] = "RXU";
        m.pUnicast->splitnum[0] = 4;
        m.createUnicastWin(0, 0, 1920, 1080, 4, 0);
        m.pUWin[0]->url = "rtsp://10.0.0.9/u0";
        m.pUWinOrg[0]->url = "rtsp://10.0.0.9/u0";
        texts.clear();
        return m;
    }
    int save(const std::string& args) {
        return run(&VSServer::cmdVSSaveSencePreset, "config save sence preset params " + args);
    }
    int load(const std::string& args) {
        return run(&VSServer::cmdVSLoadSencePreset, "config load sence preset params " + args);
    }
    int recall(const std::string& args) {
        return run(&VSServer::cmdVSRecallSencePreset, "config recall sence preset params " + args);
    }
    // The model files that changed (content, inode or time) since before, by box path.
    std::set<std::string> changedSince(const std::map<std::string, FileState>& before) {
        std::set<std::string> out;
        const auto now = modelFiles();
        for (const auto& f : now) {
            auto b = before.find(f.first);
            if (b == before.end() || !(b->second == f.second)) out.insert(f.first);
        }
        for (const auto& f : before)
            if (!now.count(f.first)) out.insert(f.first);
        return out;
    }
    static std::set<std::string> only(const std::set<std::string>& files, const std::string& part) {
        std::set<std::string> out;
        for (const auto& f : files)
            if (f.find(part) != std::string::npos) out.insert(f);
        return out;
    }
    // Lets the clock move so that a rewritten file shows a new time.
    static void tick() { usleep(20000); }
};

TEST_F(PresetsTest, SaveWritesWhatTheChangesAsk) {
    VSServer& m = lobby();
    for (int w = 0; w < 20; ++w) m.pVWin[w]->url = "rtsp://10.0.0.9/w" + std::to_string(w);
    const std::set<std::string> keyFiles = {keyFile(0, 0), keyFile(0, 1), keyFile(0, 2)};

    struct Step {
        const char* what;
        std::function<void()> change;
        const char* args;
        std::set<int> keyPresets;      // preset key files written
        std::set<int> wallPresets;     // presets whose wall block files were written
        std::set<int> displayPresets;  // presets whose display block files were written
    };
    const Step steps[] = {
        // The live decoders differ from the scene's empty cells, unicast slot 0 from its
        // empty display 0: all three get both.
        {"first save", [] {}, "Lobby 0 1", {0, 1, 2}, {0, 1, 2}, {0, 1, 2}},
        // Nothing differs: preset 1 is rewritten as it was, its blocks stay.
        {"same again", [] {}, "Lobby 0 1", {1}, {}, {}},
        // Into preset 2: the others only take the current preset.
        {"into preset 2", [] {}, "Lobby 0 2", {0, 1, 2}, {}, {}},
        // A cut edge: all headers, the wall windows of preset 2 alone (unchanged, so unwritten).
        {"cut edge", [&] { m.pVScreen->horCut = 3; }, "Lobby 0 2", {0, 1, 2}, {}, {}},
        // A new name rewrites all three files.
        {"new name", [] {}, "Hall 0 0", {0, 1, 2}, {}, {}},
        // A moved window in preset 0 only.
        {"moved window", [&] { m.pVWin[0]->hEnd = 999; }, "Hall 0 0", {0}, {0}, {}},
        // A unicast decoder in display 1: every preset's displays.
        {"new display",
         [&] {
             m.pUnicast->ip[1] = "10.0.0.31";
             m.pUnicast->splitnum[1] = 1;
             m.createUnicastWin(0, 0, 1920, 1080, 1, 5);
         },
         "Hall 0 0",
         {0, 1, 2},
         {},
         {0, 1, 2}},
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.what);
        st.change();
        const auto before = modelFiles();
        tick();
        ASSERT_EQ(save(st.args), 1);
        const auto changed = changedSince(before);
        std::set<std::string> wantKeys;
        for (int k : st.keyPresets) wantKeys.insert(keyFile(0, k));
        std::set<std::string> gotKeys;
        for (const auto& f : changed)
            if (keyFiles.count(f)) gotKeys.insert(f);
        EXPECT_EQ(gotKeys, wantKeys);
        for (int k = 0; k < 3; ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(!only(changed, vsNumbered("qelconfVWinSence_00_%02d_", k)).empty(),
                      st.wallPresets.count(k) == 1);
            EXPECT_EQ(!only(changed, vsNumbered("qelconfDisWin_00_%02d_", k)).empty(),
                      st.displayPresets.count(k) == 1);
        }
        EXPECT_TRUE(take().empty()) << "a save sends nothing";
    }
    // After it all every preset file says preset 0 is current, and the live wall is preset 0.
    for (int k = 0; k < 3; ++k) {
        const KeyList keys = readKeys(keyFile(0, k));
        EXPECT_EQ(keys.front().first, "screensenceCurPreset");
        EXPECT_EQ(keyOf(keys, "screensenceCurPreset"), 0) << k;
        EXPECT_EQ(keyOf(keys, "screensenceName"), "Hall") << k;
        EXPECT_EQ(keyOf(keys, "screenHorCut"), 3) << k;
    }
    EXPECT_EQ(m.pVWinSence[0][0][0]->hEnd, 999u);
    EXPECT_EQ(m.pVWinSence[0][1][0]->hEnd, 1919u);
    EXPECT_EQ(m.pVSenceScreen[0][2]->screenIP[3], "10.0.0.13");
    EXPECT_EQ(m.pVSenceScreen[0][1]->disIP[1], "10.0.0.31");
    EXPECT_EQ(m.pDisWin[0][0][0]->url, "rtsp://10.0.0.9/u0");
    EXPECT_EQ(int(m.pVSence[0]->curPreset), 0);
    EXPECT_EQ(m.pVSence[0]->name, "Hall");
    // Restarted, the model reads what was saved.
    VSServer& again = start();
    EXPECT_EQ(int(again.pVSence[0]->curPreset), 0);
    EXPECT_EQ(again.pVSenceScreen[0][2]->screenIP[3], "10.0.0.13");
}

TEST_F(PresetsTest, SaveIntoAFreeSceneMakesItValid) {
    VSServer& m = lobby();
    m.pVScreen->ip[2] = "";  // a cell without a decoder
    const bool hadDisplayFile = exists(disFile(2, 0, 10));
    const std::string displayBytes = hadDisplayFile ? readBytes(disFile(2, 0, 10)) : "";
    ASSERT_EQ(save("Hall 2 0"), 1);
    EXPECT_EQ(int(m.pVSence[2]->valid), 1);
    EXPECT_EQ(m.pVSence[2]->name, "Hall");
    EXPECT_EQ(iSenceScreenValid[2], 1);
    for (int k = 0; k < 3; ++k) {
        const KeyList keys = readKeys(keyFile(2, k));
        EXPECT_EQ(keyOf(keys, "screensenceValid"), 1) << k;
        EXPECT_EQ(keyOf(keys, "screensenceName"), "Hall") << k;
        EXPECT_EQ(keyOf(keys, "screenIP_03"), "10.0.0.13") << k;
    }
    // The free cell's windows are stored blank.
    for (int w = 10; w < 15; ++w) {
        EXPECT_TRUE(sameWin(*m.pVWinSence[2][0][w], VWin(w, 0, 0, 0, 0, 0, 0, 0, w, "", "")));
        EXPECT_TRUE(exists(winFile(2, 0, w))) << w;
    }
    // A display without a unicast decoder keeps its block file as it was.
    EXPECT_EQ(exists(disFile(2, 0, 10)), hadDisplayFile);
    EXPECT_EQ(readBytes(disFile(2, 0, 10)), displayBytes);
}

TEST_F(PresetsTest, RefusedSavesChangeNothing) {
    lobby();
    ASSERT_EQ(save("Lobby 0 1"), 1);
    const auto before = modelFiles();
    const std::string longName(128, 'n');
    for (const std::string& args :
         {std::string("Lobby 5 0"), std::string("Lobby 0 3"), std::string("Lobby -1 0"),
          std::string("Lobby 0 -1"), longName + " 0 0", std::string("Lobby 99999999999 0")}) {
        EXPECT_EQ(save(args), -1) << args;
    }
    EXPECT_EQ(changedSince(before), std::set<std::string>());
}

TEST_F(PresetsTest, AFailedKeyWriteLeavesThePresetsAsTheyWere) {
    VSServer& m = lobby();
    ASSERT_EQ(save("Lobby 0 1"), 1);
    m.pVScreen->ip[0] = "10.0.0.40";
    const auto before = modelFiles();
    {
        FileWritesFail fail;
        EXPECT_EQ(save("Lobby 0 2"), -1);
    }
    EXPECT_EQ(changedSince(before), std::set<std::string>());
    EXPECT_EQ(int(m.pVSence[0]->curPreset), 1);
    EXPECT_EQ(m.pVSenceScreen[0][2]->screenIP[0], "10.0.0.10");
}

// The key files fit but one window block cannot be written (a directory stands at its path):
// the save fails and every file, keys and blocks, is as it was.
TEST_F(PresetsTest, AFailedBlockWriteLeavesThePresetsAsTheyWere) {
    VSServer& m = lobby();
    ASSERT_EQ(save("Lobby 0 1"), 1);
    ASSERT_EQ(save("Lobby 0 2"), 1);
    m.pVScreen->ip[0] = "10.0.0.40";
    for (int w = 0; w < 20; ++w) m.pVWin[w]->url = "rtsp://10.0.0.9/new" + std::to_string(w);
    unlink(file(winFile(0, 2, 15)).c_str());
    ASSERT_EQ(mkdir(file(winFile(0, 2, 15)).c_str(), 0755), 0);
    tick();
    const auto before = modelFiles();
    std::string keys[3];
    for (int p = 0; p < 3; ++p) keys[p] = readBytes(keyFile(0, p));
    EXPECT_EQ(save("Lobby 0 2"), -1);
    // No block was touched; the key files were written back as they were.
    EXPECT_EQ(only(changedSince(before), "Win"), std::set<std::string>());
    for (int p = 0; p < 3; ++p) EXPECT_EQ(readBytes(keyFile(0, p)), keys[p]) << p;
    ASSERT_EQ(rmdir(file(winFile(0, 2, 15)).c_str()), 0);
    EXPECT_EQ(save("Lobby 0 2"), 1);
    EXPECT_EQ(keyOf(readKeys(keyFile(0, 2)), "screenIP_00"), Json::Value("10.0.0.40"));
    EXPECT_EQ(
        decodeWinBlock(reinterpret_cast<const unsigned char*>(readBytes(winFile(0, 2, 15)).data()))
            .url,
        "rtsp://10.0.0.9/new15");
}

// --- Load and recall ------------------------------------------------------------------------

class PresetLoadTest : public PresetsTest {
public:
    // Lobby saved into presets 0 and 1 from the live wall; preset 1's window 0 moved and its
    // url changed, cell 1 of preset 1 on split 4. Preset 0 is current.
    VSServer& twoPresets() {
        VSServer& m = lobby();
        for (int w = 0; w < 20; ++w) m.pVWin[w]->url = "rtsp://10.0.0.9/w" + std::to_string(w);
        EXPECT_EQ(save("Lobby 0 1"), 1);
        EXPECT_EQ(save("Lobby 0 0"), 1);
        VSenceScreen& one = *m.pVSenceScreen[0][1];
        one.screenSplitnum[1] = 4;
        VWin& w0 = *m.pVWinSence[0][1][0];
        w0.url = "rtsp://10.0.0.9/changed";
        w0.hEnd = 1000;
        texts.clear();
        return m;
    }
    static std::vector<std::string> mulHides(const std::vector<std::string>& t) {
        std::vector<std::string> out;
        for (const auto& x : t)
            // The re-entered handlers' own hides end with a blank; these do not.
            if (x.rfind("config set mul hide params", 0) == 0 && x.back() != ' ') out.push_back(x);
        return out;
    }
    static size_t indexOf(const std::vector<std::string>& t, const std::string& x) {
        return static_cast<size_t>(std::find(t.begin(), t.end(), x) - t.begin());
    }
};

TEST_F(PresetLoadTest, LoadOfTheCurrentPresetDoesNothing) {
    twoPresets();
    const auto before = modelFiles();
    EXPECT_EQ(load("0 0"), 0);
    EXPECT_EQ(load("0"), 0);  // no preset token: preset 0
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(changedSince(before), std::set<std::string>());
    const std::vector<std::string> bad = {"5 0", "0 3", "-1 1", "0 -1",
                                          std::string(128, '1') + " 0"};
    for (const std::string& args : bad) {
        EXPECT_EQ(load(args), -1) << args;
        EXPECT_EQ(recall(args), -1) << args;
    }
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(changedSince(before), std::set<std::string>());
}

TEST_F(PresetLoadTest, LoadHidesWhatChangesThenPlaysThePreset) {
    VSServer& m = twoPresets();
    ASSERT_EQ(load("0 1"), 1);
    const std::vector<std::string> t = take();
    // The changed window of cell 0 (split kept): display off and a 30 s hide, before any
    // split; the multicast hides in their order.
    ASSERT_GE(t.size(), 4u);
    EXPECT_EQ(t[0], "config set display params 10.0.0.10 0 0");
    EXPECT_EQ(t[1], "config set normal hide params 10.0.0.10 0 30");
    EXPECT_EQ(mulHides(t),
              (std::vector<std::string>{"config set mul hide params 255.255.255.255 30",
                                        "config set mul hide params 255.255.255.255 30",
                                        "config set mul hide params 255.255.255.255 30",
                                        "config set mul hide params 255.255.255.255 3"}));
    // Cell 1's new split goes out through the scene split handler, after the hides.
    const size_t split = indexOf(t, "config set splitundis params 10.0.0.11 4 0 \n");
    EXPECT_LT(split, t.size());
    EXPECT_GT(split, 1u);
    // Own-cell sources for all 20 windows, "unused_window" for those without a url.
    EXPECT_LT(indexOf(t, "config set url params 10.0.0.10 0 rtsp://10.0.0.9/changed"), t.size());
    EXPECT_LT(indexOf(t, "config set url params 10.0.0.13 4 rtsp://10.0.0.9/w19"), t.size());
    // The unicast display: its source and nothing for the 15 free displays.
    EXPECT_LT(indexOf(t, "config set url params 10.0.0.30 0 rtsp://10.0.0.9/u0"), t.size());
    for (const auto& x : t) EXPECT_EQ(x.find("params  "), std::string::npos) << x;
    EXPECT_EQ(int(m.pVSence[0]->curPreset), 1);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(keyOf(readKeys(keyFile(0, k)), "screensenceCurPreset"), 1);
    // The stored window is back in the scene wall, its org record a copy of its own.
    EXPECT_EQ(m.pVWinSence[0][1][0]->url, "rtsp://10.0.0.9/changed");
    EXPECT_EQ(m.pVWinSenceOrg[0][1][0]->url, "rtsp://10.0.0.9/changed");
    m.pVWinSence[0][1][0]->url = "later";
    EXPECT_EQ(m.pVWinSenceOrg[0][1][0]->url, "rtsp://10.0.0.9/changed");
    EXPECT_EQ(iSenceCurrent, -1) << "only a recall sets the scene in use";
}

TEST_F(PresetLoadTest, NoTextGoesToACellWithoutDecoder) {
    VSServer& m = twoPresets();
    // Window 0 of preset 1 reaches into cell 1, whose decoder is gone.
    m.pVSenceScreen[0][1]->screenIP[1] = "";
    m.pVWinSence[0][1][0]->hEnd = 2500;
    m.pVWinSence[0][1][0]->used = 1;
    m.pVWinSence[0][1][0]->visible = 1;
    ASSERT_EQ(load("0 1"), 1);
    for (const auto& x : take()) {
        EXPECT_EQ(x.find(" 10.0.0.11 "), std::string::npos) << x;
        EXPECT_EQ(x.find("params  "), std::string::npos) << x;
    }
}

TEST_F(PresetLoadTest, AZeroCellSceneStillPlaysItsDisplays) {
    VSServer& m = twoPresets();
    m.pVSenceScreen[0][1]->rows = 0;
    ASSERT_EQ(load("0 1"), 1);
    const std::vector<std::string> t = take();
    EXPECT_EQ(mulHides(t).size(), 4u);
    for (const auto& x : t)
        if (x.rfind("config set mul hide", 0) != 0) {
            EXPECT_NE(x.find(" 10.0.0.30 "), std::string::npos) << x;
        }
    EXPECT_LT(indexOf(t, "config set url params 10.0.0.30 0 rtsp://10.0.0.9/u0"), t.size());
    EXPECT_EQ(int(m.pVSence[0]->curPreset), 1);
}

TEST_F(PresetLoadTest, RecallCopiesTheSceneIntoTheLiveWall) {
    VSServer& m = twoPresets();
    // What the live wall and unicast table hold before: changed, so that the copy shows.
    m.pVScreen->horCut = 5;
    iScreenHorCut = 5;
    m.pUnicast->ip[20] = "10.0.0.60";
    m.pUnicast->splitnum[20] = 1;
    m.pVSenceScreen[0][1]->rows = 1;  // 1 x 2: cells 0 and 1
    m.pVSenceScreen[0][1]->screenIP[1] = "";
    ASSERT_EQ(recall("0 1"), 1);
    take();
    EXPECT_EQ(iSenceCurrent, 0);
    EXPECT_EQ(int(m.pVScreen->rows), 1);
    EXPECT_EQ(iScreenRows, 1);
    EXPECT_EQ(iScreenColumns, 2);
    EXPECT_EQ(iScreenHorCut, 2);
    EXPECT_EQ(iVScreenWidth, 3840);
    EXPECT_EQ(iVScreenHeight, 1080);
    EXPECT_EQ(m.pVWin[0]->url, "rtsp://10.0.0.9/changed");
    EXPECT_TRUE(sameWin(*m.pVWin[7], VWin(7, 0, 0, 0, 0, 0, 0, 0, 7, "", "")));
    const KeyList wallKeys = readKeys("/mnt/qelconfVscreen.ini");
    EXPECT_EQ(wallKeys.size(), 6u + 2 * 3);
    EXPECT_EQ(keyOf(wallKeys, "screenRows"), 1);
    EXPECT_EQ(keyOf(wallKeys, "screenIP_00"), "10.0.0.10");
    EXPECT_EQ(keyOf(wallKeys, "screenIP_01"), "");
    const KeyList uniKeys = readKeys("/mnt/qelconfUnicast.ini");
    EXPECT_EQ(keyOf(uniKeys, "unicastCurIndex"), 0);
    EXPECT_EQ(keyOf(uniKeys, "unicastip_00"), "10.0.0.30");
    EXPECT_EQ(keyOf(uniKeys, "unicastip_20"), "10.0.0.60") << "slots past the displays kept";
    EXPECT_EQ(m.pUWin[0]->url, "rtsp://10.0.0.9/u0");
    EXPECT_EQ(iUnicastSplitNum, 4);
    // A restart reads the same live wall back.
    VSServer& again = start();
    EXPECT_EQ(int(again.pVScreen->rows), 1);
    EXPECT_EQ(again.pUnicast->ip[20], "10.0.0.60");
    EXPECT_EQ(again.pVWin[0]->url, "rtsp://10.0.0.9/changed");
}

TEST_F(PresetLoadTest, RecallOfAZeroCellSceneSavesTheGeometry) {
    VSServer& m = twoPresets();
    m.pVSenceScreen[0][1]->rows = 0;
    ASSERT_EQ(recall("0 1"), 1);
    const KeyList wallKeys = readKeys("/mnt/qelconfVscreen.ini");
    EXPECT_EQ(keyOf(wallKeys, "screenRows"), 0);
    EXPECT_EQ(keyOf(wallKeys, "screenColumns"), 2);
    EXPECT_EQ(wallKeys.size(), 6u);
    EXPECT_EQ(int(m.pVScreen->rows), 0);
}
