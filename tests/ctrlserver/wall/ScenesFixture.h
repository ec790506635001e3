// Scene models over box roots of their own: a fresh model with no scene files, the scene
// handlers run on command texts, every scene file with its content, and a scene "Lobby" with
// decoders RXA (10.77.0.2) and RXB (10.77.0.3) in cells 0 and 1 and encoder TXA (10.77.0.9).
#pragma once

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "ScreensFixture.h"
#include "support/SceneKeys.h"
#include "wall/VSServerUtil.h"

inline std::string keyFile(int s, int p) {
    return vsNumbered("/mnt/sence/qelconfVSence_%02d", s) + vsNumbered("_%02d.ini", p);
}
inline std::string winFile(int s, int p, int w) {
    char t[64];
    snprintf(t, sizeof t, "/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", s, p, w);
    return t;
}
inline std::string disFile(int s, int p, int w) {
    char t[64];
    snprintf(t, sizeof t, "/mnt/sence/qelconfDisWin_%02d_%02d_%02d.ini", s, p, w);
    return t;
}

// The keys a rebuild writes, in order, for a grid of `cells` cells with no decoders.
inline KeyList rebuiltKeys(const std::string& name, int s, int valid, const std::string& pic,
                           int preset, int rows, int columns, int cells) {
    return qeltest::rebuiltSceneKeys(name, s, valid, pic, preset, rows, columns, cells);
}

inline std::string hex(const std::string& bytes, size_t n) {
    return qeltest::hexWords(bytes, n);
}

class ScenesTest : public ScreensTest {
public:
    VSServer& fresh() {
        const std::string rm =
            "rm -rf '" + file("/mnt") + "'/qelconf* '" + file("/mnt/sence") + "'/*";
        EXPECT_EQ(::system(rm.c_str()), 0);
        VSServer& m = startWatched();
        texts.clear();
        return m;
    }
    int scene(Handler h, const std::string& cmd, unsigned direct = 1) {
        return run(h, cmd, direct);
    }
    // Every file of the scene folder with its content.
    std::map<std::string, std::string> sceneFiles() {
        std::map<std::string, std::string> out;
        for (int s = 0; s < 5; ++s)
            for (int p = 0; p < 3; ++p) {
                if (exists(keyFile(s, p))) out[keyFile(s, p)] = readBytes(keyFile(s, p));
                for (int w = 0; w < 80; ++w) {
                    if (exists(winFile(s, p, w)))
                        out[winFile(s, p, w)] = readBytes(winFile(s, p, w));
                    if (exists(disFile(s, p, w)))
                        out[disFile(s, p, w)] = readBytes(disFile(s, p, w));
                }
            }
        return out;
    }
};

class SceneWallTest : public ScenesTest {
public:
    void SetUp() override {
        ScenesTest::SetUp();
        if (IsSkipped()) return;
        loadDevices({{"RXA", "host-RXA", "10.77.0.2", "00:11:22:33:44:02", "1.0", "", ""},
                     {"RXB", "host-RXB", "10.77.0.3", "00:11:22:33:44:03", "1.0", "", ""}},
                    {{"TXA", "host-TXA", "10.77.0.9", "00:11:22:33:44:09", "1.0",
                      "rtsp://10.77.0.9/stream0", ""}},
                    {});
    }
    // Scene 0 with RXA in cell 0 and RXB in cell 1.
    VSServer& lobby() {
        VSServer& m = fresh();
        EXPECT_EQ(scene(&VSServer::cmdVSSetSence, "config set sence params Lobby lobby.jpg"), 0);
        EXPECT_EQ(scene(&VSServer::cmdVSSetRXSenceScreen,
                        "config set sence vs src params 0 0 0 10.77.0.2"),
                  0);
        EXPECT_EQ(scene(&VSServer::cmdVSSetRXSenceScreen,
                        "config set sence vs src params 0 0 1 10.77.0.3"),
                  0);
        return m;
    }
    int win(const std::string& args, unsigned direct = 1) {
        return run(&VSServer::cmdVSSetSenceWin, "config set sence vs win params " + args, direct);
    }
    std::vector<std::string> to(const std::vector<std::string>& all, const std::string& ip) {
        std::vector<std::string> out;
        for (const std::string& t : all)
            if (t.find(" " + ip + " ") != std::string::npos) out.push_back(t);
        return out;
    }
};
