// The window-mode store: list, add, modify and delete results and files, a failed write, the
// restore of a stored mode, and the files it refuses.
#include <sys/stat.h>

#include <algorithm>

#include "ScreensFixture.h"
#include "wall/ModeFile.h"
#include "wall/VSServerUtil.h"
#include "wall/WinBlock.h"

namespace {

const char kList[] = "/mnt/qelconfVWinModeAll.ini";
std::string slotFile(int i) {
    return vsNumbered("/mnt/qelconfVWinMode_%02d.ini", i);
}

}  // namespace

class ModesTest : public ScreensTest {
public:
    // The 2 x 2 live wall with decoders, three known decoders and two encoders, no mode stored.
    VSServer& fresh() {
        loadDevices({{"RXA", "rxa", "10.0.0.10", "00:00:00:00:00:10", "1", "", ""},
                     {"RXB", "rxb", "10.0.0.11", "00:00:00:00:00:11", "1", "", ""},
                     {"RXC", "rxc", "10.0.0.12", "00:00:00:00:00:12", "1", "", ""}},
                    {{"TXA", "txa", "10.0.0.9", "00:00:00:00:00:09", "1", "rtsp://10.0.0.9/a", ""},
                     {"TXB", "txb", "10.0.0.8", "00:00:00:00:00:08", "1", "rtsp://10.0.0.8/a", ""}},
                    {});
        if (HasFatalFailure()) return *model;
        VSServer& m = wall();
        return m;
    }
    int add(const std::string& name) {
        std::string t(name);
        return model->blAddWinMode(&t[0]);
    }
    int modify(const std::string& args) {
        std::string t(args);
        return model->blSetWinMode(&t[0]);
    }
    int del(const std::string& args) {
        std::string t(args);
        return model->blDelWinMode(&t[0]);
    }
    std::vector<std::string> names() {
        VWMode mode;
        mode.modeMax = 4;
        EXPECT_EQ(model->blGetWinMode(mode), 1);
        return std::vector<std::string>(mode.modeName, mode.modeName + mode.modeMax);
    }
    std::string storedName(int slot) {
        const std::string b = readBytes(slotFile(slot));
        std::string name;
        modeFileName(reinterpret_cast<const unsigned char*>(b.data()), b.size(), name);
        return name;
    }
    KeyList listKeys(int max, int active) {
        return KeyList{{"modeMax", max}, {"modeActive", active}};
    }
};

TEST_F(ModesTest, AddModifyDeleteAndList) {
    VSServer& m = fresh();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(names(), (std::vector<std::string>(4, "Model-Name")));

    EXPECT_EQ(add("Evening"), 1);
    EXPECT_EQ(readKeys(kList), listKeys(4, 1));
    // The block and one entry per known decoder and encoder.
    EXPECT_EQ(readBytes(slotFile(0)).size(), 229456u);
    EXPECT_EQ(add("Late night"), 1);  // blanks and all
    EXPECT_EQ(add("Evening"), 1);
    EXPECT_EQ(storedName(1), "Late night");
    EXPECT_EQ(m.vwMode.modeActive, 3);
    EXPECT_EQ(names(),
              (std::vector<std::string>{"Evening", "Late night", "Evening", "Model-Name"}));

    struct Case {
        const char* what;
        int (ModesTest::*op)(const std::string&);
        std::string args;
        int result;
    };
    const Case refused[] = {
        {"empty add name", &ModesTest::add, "", 0},
        {"add name of 40 bytes", &ModesTest::add, std::string(40, 'x'), 0},
        {"selector first", &ModesTest::del, "byName Evening", 0},
        {"no selector", &ModesTest::del, "Evening", 0},
        {"unknown name", &ModesTest::del, "Morning byName", 0},
        {"index past the count", &ModesTest::del, "3 byIndex", 0},
        {"negative index", &ModesTest::del, "-1 byIndex", 0},
        {"index with letters", &ModesTest::del, "1x byIndex", 0},
        {"modify without name", &ModesTest::modify, "1 byIndex", 0},
        {"modify name of 32 bytes", &ModesTest::modify, "1 byIndex " + std::string(32, 'y'), 0},
        {"word of 128 bytes", &ModesTest::del, std::string(128, '1') + " byIndex", 0},
    };
    const auto before = modelFiles();
    for (const Case& c : refused) EXPECT_EQ((this->*c.op)(c.args), c.result) << c.what;
    EXPECT_TRUE(modelFiles() == before) << "a refused command changes no file";
    EXPECT_EQ(m.vwMode.modeActive, 3);

    // Modify stores the wall of now under the new name.
    m.pVScreen->ip[0] = "10.0.0.20";
    EXPECT_EQ(modify("1 byIndex Late"), 1);
    EXPECT_EQ(storedName(1), "Late");
    std::unique_ptr<ModeSnapshot> snap(new ModeSnapshot());
    const std::string b1 = readBytes(slotFile(1));
    ASSERT_EQ(decodeModeFile(reinterpret_cast<const unsigned char*>(b1.data()), b1.size(), *snap),
              ModeFileError::None);
    EXPECT_EQ(snap->cells[0].ip, "10.0.0.20");
    EXPECT_EQ(readKeys(kList), listKeys(4, 3)) << "modify leaves the list file";

    // The lower of two equal names is found; deleting slot 0 moves the later ones down.
    EXPECT_EQ(del("Evening byName"), 1);
    EXPECT_FALSE(exists(slotFile(2)));
    EXPECT_EQ(storedName(0), "Late");
    EXPECT_EQ(storedName(1), "Evening");
    EXPECT_EQ(readKeys(kList), listKeys(4, 2));
    EXPECT_EQ(names(), (std::vector<std::string>{"Late", "Evening", "Model-Name", "Model-Name"}));
    EXPECT_EQ(add("Night"), 1);
    EXPECT_EQ(add("Dawn"), 1);
    const auto full = modelFiles();
    EXPECT_EQ(add("Fifth"), 0);
    EXPECT_TRUE(modelFiles() == full);
    EXPECT_EQ(m.vwMode.modeActive, 4);
}

TEST_F(ModesTest, AFailedWriteKeepsTheCountAndTheFiles) {
    VSServer& m = fresh();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(add("Evening"), 1);
    const auto before = modelFiles();
    {
        FileWritesFail fail(4096);  // no mode file fits
        EXPECT_EQ(add("Late"), 0);
        EXPECT_EQ(modify("0 byIndex Late"), 0);
    }
    EXPECT_TRUE(modelFiles() == before);
    EXPECT_EQ(m.vwMode.modeActive, 1);
    {
        FileWritesFail fail(20);  // not even the list file
        EXPECT_EQ(del("0 byIndex"), 0);
    }
    EXPECT_TRUE(modelFiles() == before);
    EXPECT_EQ(m.vwMode.modeActive, 1);
    EXPECT_EQ(storedName(0), "Evening");
}

// A capacity outside the four slots is taken as four; a count outside the capacity as the
// slots up to the last valid mode file (none here). A count within it is kept.
TEST_F(ModesTest, StoredCountsAreHeldToTheFourSlots) {
    fresh();
    ASSERT_FALSE(HasFatalFailure());
    struct Case {
        int max, active;
        int wantMax, wantActive;
    };
    const Case cases[] = {{7, 9, 4, 0}, {-3, 2, 4, 2}, {2, 5, 2, 0}, {4, -1, 4, 0}, {3, 1, 3, 1}};
    for (const Case& c : cases) {
        writeKeys(kList, listKeys(c.max, c.active));
        VSServer& m = start();
        EXPECT_EQ(m.vwMode.modeMax, c.wantMax) << c.max;
        EXPECT_EQ(m.vwMode.modeActive, c.wantActive) << c.active;
    }
    // The listing shows the capacity taken and writes nothing.
    writeKeys(kList, listKeys(7, 1));
    start();
    VWMode mode;
    EXPECT_EQ(model->blGetWinMode(mode), 1);
    EXPECT_EQ(mode.modeMax, 4);
    EXPECT_EQ(readKeys(kList), listKeys(7, 1));
}

TEST_F(ModesTest, RestoreTakesTheStoredModeAndRefusesCorruptFiles) {
    VSServer& m = fresh();
    ASSERT_FALSE(HasFatalFailure());
    m.userMode = 3;
    m.pVWin[0]->url = "rtsp://10.0.0.9/a";
    m.pUnicast->ip[7] = "10.0.0.12";
    m.pUnicast->splitnum[7] = 4;
    m.pUWin[35]->url = "rtsp://10.0.0.8/a";
    m.pMulticast->winUrl = "rtsp://10.0.0.9/m";
    server->decoders[0]->name = "Wall A";
    ASSERT_EQ(add("Evening"), 1);

    // The live state moves on.
    m.userMode = 0;
    m.pVScreen->ip[0] = "";
    m.pVScreen->rows = 1;
    m.pVWin[0]->url = "";
    m.pUnicast->ip[7] = "";
    m.pUWin[35]->url = "";
    m.pMulticast->winUrl = "";
    server->decoders[0]->name = "RXA";
    const std::string stored = readBytes(slotFile(0));

    struct Corrupt {
        const char* what;
        std::string bytes;
    };
    std::string valid2 = stored, grid = stored;
    valid2[0] = 2;
    grid[48] = 5;  // 5 x 2 cells
    grid[52] = 4;
    const Corrupt corrupt[] = {
        {"short", stored.substr(0, 229255)},
        {"empty", ""},
        {"valid 2", valid2},
        {"5 x 4 grid", grid},
    };
    for (const Corrupt& c : corrupt) {
        writeBytes(slotFile(0), c.bytes);
        std::string name = "none";
        EXPECT_EQ(m.loadModeIni(0, name), 0) << c.what;
        EXPECT_EQ(name, "none") << c.what;
        EXPECT_EQ(m.userMode, 0) << c.what;
        EXPECT_EQ(m.pVScreen->ip[0], "") << c.what;
        EXPECT_EQ(readBytes("/mnt/qelconfMulticast.ini").find("rtsp"), std::string::npos);
    }
    std::string name;
    EXPECT_EQ(m.loadModeIni(1, name), 0) << "a slot past the count";

    writeBytes(slotFile(0), stored);
    ASSERT_EQ(m.loadModeIni(0, name), 1);
    EXPECT_EQ(name, "Evening");
    EXPECT_EQ(m.userMode, 3);
    EXPECT_EQ(m.pVScreen->ip[0], "10.0.0.10");
    EXPECT_EQ(int(m.pVScreen->rows), 2);
    EXPECT_EQ(iScreenRows, 2);
    EXPECT_EQ(m.pVWin[0]->url, "rtsp://10.0.0.9/a");
    EXPECT_EQ(m.pVWinOrg[0]->url, "rtsp://10.0.0.9/a");
    EXPECT_EQ(m.pUnicast->ip[7], "10.0.0.12");
    EXPECT_EQ(m.pUWin[35]->url, "rtsp://10.0.0.8/a");
    EXPECT_EQ(m.pMulticast->winUrl, "rtsp://10.0.0.9/m");
    EXPECT_EQ(server->decoders[0]->name, "Wall A");
    // The wall window files follow the model.
    const std::string block = readBytes("/mnt/qelconfVWin_00.ini");
    ASSERT_EQ(block.size(), 204u);
    EXPECT_EQ(decodeWinBlock(reinterpret_cast<const unsigned char*>(block.data())).url,
              "rtsp://10.0.0.9/a");
    EXPECT_NE(readBytes("/mnt/qelconfMulticast.ini").find("rtsp://10.0.0.9/m"), std::string::npos);
}

class ModeLoadTest : public ModesTest {
public:
    int loadMode(const std::string& args) {
        std::string t(args), name;
        return model->blLoadWinMode(&t[0], name);
    }
    // The texts of these kinds, in order.
    static std::vector<std::string> ofKind(const std::vector<std::string>& t,
                                           const std::vector<std::string>& prefixes) {
        std::vector<std::string> out;
        for (const auto& x : t)
            for (const auto& p : prefixes)
                if (x.rfind(p, 0) == 0) out.push_back(x);
        return out;
    }
    static std::vector<std::string> allHides(const std::vector<std::string>& t) {
        std::vector<std::string> out;
        for (const auto& x : ofKind(t, {"config set mul hide params"}))
            if (x.back() != ' ') out.push_back(x);  // the re-entered handlers' end in a blank
        return out;
    }
};

TEST_F(ModeLoadTest, TheModeOfTheLiveStateChangesNothingButPlaysItAgain) {
    VSServer& m = fresh();
    ASSERT_FALSE(HasFatalFailure());
    m.pUnicast->ip[2] = "10.0.0.12";
    m.pUnicast->splitnum[2] = 1;
    m.pUWin[10]->url = "rtsp://10.0.0.9/a";
    ASSERT_EQ(add("Same"), 1);
    take();
    ASSERT_EQ(loadMode("0 byIndex"), 1);
    const std::vector<std::string> t = take();
    EXPECT_TRUE(ofKind(t, {"config set cutedge", "config set display params",
                           "config set normal hide", "config set splitundis", "config set split "})
                    .empty());
    EXPECT_EQ(allHides(t),
              (std::vector<std::string>{"config set mul hide params 255.255.255.255 30",
                                        "config set mul hide params 255.255.255.255 30",
                                        "config set mul hide params 255.255.255.255 3",
                                        "config set mul hide params 255.255.255.255 3"}));
    // Every wall window's own source, "unused_window" where there is none, and the unicast
    // slot's five.
    const auto sources = ofKind(t, {"config set url params"});
    EXPECT_EQ(std::count(sources.begin(), sources.end(),
                         "config set url params 10.0.0.10 1 unused_window"),
              1);
    EXPECT_EQ(std::count(sources.begin(), sources.end(),
                         "config set url params 10.0.0.12 0 rtsp://10.0.0.9/a"),
              1);
    EXPECT_EQ(m.vwMode.modeActive, 1);
}

TEST_F(ModeLoadTest, ChangesAreHiddenAndSplitsSentBeforeTheSources) {
    VSServer& m = fresh();
    ASSERT_FALSE(HasFatalFailure());
    m.pVWin[0]->url = "rtsp://10.0.0.9/a";
    m.pUnicast->ip[2] = "10.0.0.12";
    m.pUnicast->splitnum[2] = 1;
    ASSERT_EQ(add("Evening"), 1);
    // Now: other cut edges, cell 3 with another decoder, window 0 without its source, the
    // unicast decoder moved to slot 5 with the same split.
    m.pVScreen->horCut = 4;
    iScreenHorCut = 4;
    m.pVScreen->ip[3] = "10.0.0.99";
    m.pVWin[0]->url = "";
    m.pUnicast->ip[2] = "";
    m.pUnicast->ip[5] = "10.0.0.12";
    m.pUnicast->splitnum[5] = 1;
    take();
    const auto noMode = modelFiles();
    EXPECT_EQ(loadMode("1 byIndex"), 0);
    EXPECT_EQ(loadMode("Morning byName"), 0);
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(modelFiles() == noMode);

    ASSERT_EQ(loadMode("Evening byName"), 1);
    const std::vector<std::string> t = take();
    const std::vector<std::string> head(t.begin(), t.begin() + std::min<size_t>(t.size(), 7));
    // The cut edges go to every cell with a decoder, then window 0's change is hidden; cell 3's
    // returning decoder gets its split and no hide of its own.
    EXPECT_EQ(head, (std::vector<std::string>{"config set cutedge params 10.0.0.10 2 2 \n",
                                              "config set cutedge params 10.0.0.11 2 2 \n",
                                              "config set cutedge params 10.0.0.12 2 2 \n",
                                              "config set cutedge params 10.0.0.13 2 2 \n",
                                              "config set display params 10.0.0.10 0 0",
                                              "config set normal hide params 10.0.0.10 0 30",
                                              "config set splitundis params 10.0.0.13 1 0 \n"}));
    // The unicast decoder was in the table with the same split: no unicast split.
    for (const auto& x : t) EXPECT_EQ(x.find("splitundis params 10.0.0.12"), std::string::npos);
    EXPECT_EQ(m.pVScreen->ip[3], "10.0.0.13");
    EXPECT_EQ(m.pUnicast->ip[2], "10.0.0.12");
    EXPECT_EQ(m.pVWin[0]->url, "rtsp://10.0.0.9/a");
    EXPECT_EQ(iScreenHorCut, 2);
}
