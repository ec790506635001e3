// Every numeric field of every verb with numbers that do not fit an int: the verb must act as
// for any other out-of-range value, never on the value the number would wrap to. Each field is
// first shown to act with the value 1 (what 2^32 + 1 wraps to), so a case cannot pass by
// missing the field.
#include <dirent.h>

#include <sstream>
#include <string>
#include <vector>

#include "VerbFixture.h"
#include "control/qelSerial.h"

namespace {

int gPlayerCalls = 0;

PlayerOps countingPlayer() {
    PlayerOps p;
    p.suspendChn = [](int, int) { return ++gPlayerCalls, 0; };
    p.updateChannelPre = [](int, int) { ++gPlayerCalls; };
    p.checkWhetherNeedSetSplit = [](int, int) { return ++gPlayerCalls, 1; };
    p.setSplitPara = [](int, int) { ++gPlayerCalls; };
    p.layerWin = [](int, int) { ++gPlayerCalls; };
    p.displayWin = [](int, int) { ++gPlayerCalls; };
    p.clipWin = [](int, int, int, int, int, int, int) { ++gPlayerCalls; };
    p.posWin = [](int, int, int, int, int, int, int) { ++gPlayerCalls; };
    p.videoWin = [](int, const int*, const int*, int, int) { ++gPlayerCalls; };
    p.setSync = [](int, int, int) { ++gPlayerCalls; };
    p.setSyncOffset = [](int, int) { ++gPlayerCalls; };
    p.setSyncClose = [](int) { ++gPlayerCalls; };
    return p;
}

struct Verb {
    const char* head;    // the verb and the fields before the first numeric one
    const char* fields;  // the fields after it, blank-separated; each listed index is numeric
    std::vector<int> numeric;
    bool alwaysReplies;  // replies success whatever the values
};

// The other fields hold values that change nothing on their own (the settings are set to them
// before each run), so only the field under test can make the verb act.
const Verb kVerbs[] = {
    {"config qel get url params 10.77.0.2", "0", {0}, false},
    {"config qel set serialbynet 10.77.0.2", "0 0 x", {0}, true},
    {"config qel set serial params 10.77.0.2", "9600 8 0 2 0 0 x", {0, 1, 2, 3, 4}, true},
    {"config qel set decoder params 10.77.0.2", "50 50 50 50 0", {0, 1, 2, 3}, true},
    {"config qel set decoder params 10.77.0.2", "101 50 50 50 0", {4}, true},
    {"config qel set cutedge params 10.77.0.2", "2 2", {0, 1}, true},
    {"config qel set splitundis params 10.77.0.2", "1 0", {0, 1}, false},
    {"config qel set split params 10.77.0.2", "1 0", {0, 1}, false},
    {"config qel set url params 10.77.0.2", "x rtsp://192.0.2.9/a", {0}, false},
    {"config qel set layer params 10.77.0.2", "1 1", {0, 1}, false},
    {"config qel set display params 10.77.0.2", "1 1", {0, 1}, false},
    {"config qel set clip params 10.77.0.2", "1 0 100 0 100 1 1", {0, 1, 2, 3, 4, 5, 6}, false},
    {"config qel set pos params 10.77.0.2", "1 0 1920 0 1080 1 1", {0, 1, 2, 3, 4, 5, 6}, false},
    {"config qel set video params 10.77.0.2",
     "1 0 1920 0 1080 0 100 0 100 1 1",
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
     false},
    {"config qel set normal hide params 10.77.0.2", "1 1", {0, 1}, false},
    {"config qel set mul hide params 10.77.0.9", "1", {0}, false},
    {"SetSyncMode", "1", {0}, false},
    {"SetSyncTimeOffset 10.77.0.2 rtsp", "1", {0}, false},
    {"SetSyncTime 10.77.0.2 rtsp", "1 1", {0, 1}, false},
    {"SetSplitPara 10.77.0.2", "1 0", {0, 1}, false},
    {"SetUrlPara 10.77.0.2", "x rtsp://192.0.2.9/b", {0}, false},
    {"SetLayerPara 10.77.0.2", "1 1", {0, 1}, false},
    {"SetDisplayPara 10.77.0.2", "1 1", {0, 1}, false},
    {"SetClipPara 10.77.0.2", "1 0 100 0 100 1 1", {0, 1, 2, 3, 4, 5, 6}, false},
    {"SetPosPara 10.77.0.2", "1 0 1920 0 1080 1 1", {0, 1, 2, 3, 4, 5, 6}, false},
    {"SetVideoPara 10.77.0.2",
     "1 0 1920 0 1080 0 100 0 100 1 1",
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
     false},
};

std::vector<std::string> split(const std::string& t) {
    std::vector<std::string> out;
    std::istringstream in(t);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

class NumberFields : public ctltest::VerbFixture {
protected:
    void SetUp() override {
        VerbFixture::SetUp();
        gPlayer = countingPlayer();
    }
    void TearDown() override {
        gPlayer = PlayerOps();
        VerbFixture::TearDown();
    }

    // Settings that none of the fixed fields above changes, and no settings files.
    void fresh() {
        if (DIR* d = opendir(box::path("/mnt").c_str())) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') remove((box::path("/mnt") + "/" + e->d_name).c_str());
            closedir(d);
        }
        resetSettingsDefaults();
        Serial_BaudRate = 9600;
        Serial_StopBits = 2;
        Serial_Enable = 0;
        AudioOutput = 0;
        CutEdgeHor = CutEdgeVer = 16;
        windows = 18;
        main_loop_Hide_TCnt = 15;
        main_loop_need_compare = 0;
        iDisplayCurInfoIP = 0;
        iSerial_changed = 0;
        ctltest::reboots() = 0;
        gPlayerCalls = 0;
        std::lock_guard<std::mutex> g(gWinLock);
        for (int i = 0; i < QEL_SLOTS; ++i) {
            copyText(param[i], QEL_URL_SIZE, i == 0 ? "rtsp://192.0.2.1/a" : "unused_window");
            open_result[i] = -1;
        }
        memset(update_info, 0, sizeof update_info);
    }
    // The settings and window state a verb can change, as one text.
    std::string state() {
        std::ostringstream s;
        s << Luma << ' ' << Contrast << ' ' << Hue << ' ' << Satuature << ' ' << AudioOutput << ' '
          << CutEdgeHor << ' ' << CutEdgeVer << ' ' << Serial_BaudRate << ' ' << Serial_DataBits
          << ' ' << Serial_Parity << ' ' << Serial_StopBits << ' ' << Serial_Enable << ' '
          << iSplit_Num << ' ' << main_loop_Hide_TCnt << ' ' << main_loop_need_compare << ' '
          << iDisplayCurInfoIP << ' ' << iSerial_changed << ' ' << ctltest::reboots();
        std::lock_guard<std::mutex> g(gWinLock);
        for (int i = 0; i < QEL_SLOTS; ++i)
            s << ' ' << param[i] << ' ' << int(open_result[i]) << ' ' << update_info[i][0];
        for (int c : ChannelUse) s << ' ' << c;
        return s.str();
    }
    int filesInMnt() {
        DIR* d = opendir(box::path("/mnt").c_str());
        if (d == nullptr) return -1;
        int n = 0;
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
        return n;
    }
    // Runs the verb with value in field i from a fresh state; what it did, "" for nothing.
    std::string acts(const Verb& v, size_t i, const std::string& value) {
        std::vector<std::string> f = split(v.fields);
        f[i] = value;
        std::string text = v.head;
        for (const std::string& w : f) text += " " + w;
        fresh();
        std::string before = state();
        auto replies = texts(text);
        std::string did;
        for (const std::string& r : replies)
            if (!v.alwaysReplies &&
                (r.find("#SUCCEED") != std::string::npos || r.find(":OK") != std::string::npos))
                did += "replied '" + r + "' ";
        if (gPlayerCalls) did += "called the player ";
        if (state() != before) did += "changed the state ";
        if (filesInMnt() != 0) did += "wrote a file ";
        return did;
    }
};

}  // namespace

TEST_F(NumberFields, NumbersBeyondAnIntAreRefusedByEveryVerb) {
    for (const Verb& v : kVerbs) {
        for (int i : v.numeric) {
            SCOPED_TRACE(std::string(v.head) + " field " + std::to_string(i));
            EXPECT_NE(acts(v, static_cast<size_t>(i), "1"), "");
            for (const char* big :
                 {"2147483648", "4294967297", "-2147483649", "100000000000000000000"}) {
                EXPECT_EQ(acts(v, static_cast<size_t>(i), big), "") << big;
            }
        }
    }
}
