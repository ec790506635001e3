#include "WallModelGen.h"

#include <json/json.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <utility>
#include <vector>

#include "wall/WinBlock.h"

namespace wallgen {

namespace {

// prefix, then letters up to exactly len bytes.
std::string padded(const std::string& prefix, size_t len) {
    std::string s = prefix.substr(0, len);
    while (s.size() < len) s += static_cast<char>('a' + s.size() % 26);
    return s;
}

std::string numbered(const char* format, int n) {
    char text[64];
    snprintf(text, sizeof text, format, n);
    return text;
}

using Keys = std::vector<std::pair<std::string, Json::Value>>;

struct KeyFile {
    std::string path;
    Keys keys;
};

void cellKeys(Keys& k, int family, int s, int p) {
    for (int c = 0; c < GRID * GRID; ++c) {
        k.emplace_back(numbered("screenIP_%02d", c), cellIp(family, s, p, c));
        k.emplace_back(numbered("screenSplitnum_%02d", c), cellSplit(c));
        k.emplace_back(numbered("screenName_%02d", c), cellName(family, s, p, c));
    }
}

std::vector<KeyFile> keyFiles() {
    std::vector<KeyFile> files;
    {
        KeyFile f{"/mnt/qelconfVscreen.ini", {}};
        f.keys = {{"screenRows", GRID}, {"screenColumns", GRID}, {"screenHorCut", 3},
                  {"screenVerCut", 4},  {"screenWidth", 7680},   {"screenHeight", 4320}};
        cellKeys(f.keys, LIVE, 0, 0);
        files.push_back(f);
    }
    {
        KeyFile f{"/mnt/qelconfUnicast.ini", {}};
        f.keys = {{"screenWidth", 1920}, {"screenHeight", 1080}};
        for (int i = 0; i < UNICAST_SLOTS; ++i) {
            f.keys.emplace_back(numbered("unicastip_%02d", i), cellIp(UNICAST, 0, 0, i));
            f.keys.emplace_back(numbered("unicastname_%02d", i), cellName(UNICAST, 0, 0, i));
            f.keys.emplace_back(numbered("unicastsplitnum_%02d", i), cellSplit(i));
        }
        f.keys.emplace_back("unicastCurIndex", UNICAST_CURRENT);
        files.push_back(f);
    }
    for (int s = 0; s < VS_SCENES; ++s) {
        for (int p = 0; p < VS_PRESETS; ++p) {
            char path[64];
            snprintf(path, sizeof path, "/mnt/sence/qelconfVSence_%02d_%02d.ini", s, p);
            KeyFile f{path, {}};
            f.keys = {{"screensenceName", padded("scene-" + std::to_string(s) + "-", 39)},
                      {"screensenceId", s},
                      {"screensenceValid", 1},
                      {"screensencePicSrc", padded("/var/www/pic" + std::to_string(s), 60)},
                      {"screensenceCurPreset", 1},
                      {"screenRows", GRID},
                      {"screenColumns", GRID},
                      {"screenHorCut", 5},
                      {"screenVerCut", 6},
                      {"screenWidth", 7680},
                      {"screenHeight", 4320}};
            cellKeys(f.keys, SCENE, s, p);
            f.keys.emplace_back("disWidth", 1920);
            f.keys.emplace_back("disHeight", 1080);
            for (int d = 0; d < WALL_CELLS; ++d) {
                f.keys.emplace_back(numbered("disIP_%02d", d), cellIp(DISPLAY, s, p, d));
                f.keys.emplace_back(numbered("disSplitnum_%02d", d), cellSplit(d));
                f.keys.emplace_back(numbered("disName_%02d", d), cellName(DISPLAY, s, p, d));
            }
            files.push_back(f);
        }
    }
    files.push_back(KeyFile{"/mnt/qelconfHVratio.ini",
                            {{"HVratioCurIndex", 2},
                             {"HVratioHor", 4},
                             {"HVratioVer", 3},
                             {"HVratioHorUserDef", 21},
                             {"HVratioVerUserDef", 9}}});
    files.push_back(KeyFile{"/mnt/qelconfMulticast.ini",
                            {{"winUrl", padded("rtsp://10.77.0.9/multicast/", 127)},
                             {"winUrlName", padded("multicast-", 39)}}});
    files.push_back(KeyFile{"/mnt/qelconfVWinModeAll.ini", {{"modeMax", 4}, {"modeActive", 2}}});
    return files;
}

// Every block file with the window it holds.
template <class F>
void forEachWindow(F f) {
    for (int w = 0; w < VS_WALL_WINDOWS; ++w)
        f(numbered("/mnt/qelconfVWin_%02d.ini", w), window(LIVE, 0, 0, w));
    for (int w = 0; w < VS_UNICAST_WINDOWS; ++w)
        f(numbered("/mnt/qelconfUWin_%02d.ini", w), window(UNICAST, 0, 0, w));
    for (int s = 0; s < VS_SCENES; ++s) {
        for (int p = 0; p < VS_PRESETS; ++p) {
            for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
                char path[80];
                snprintf(path, sizeof path, "/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", s, p,
                         w);
                f(std::string(path), window(SCENE, s, p, w));
                snprintf(path, sizeof path, "/mnt/sence/qelconfDisWin_%02d_%02d_%02d.ini", s, p, w);
                f(std::string(path), window(DISPLAY, s, p, w));
            }
        }
    }
}

}  // namespace

std::string cellIp(int family, int s, int p, int c) {
    return "10.77." + std::to_string(10 + family * 15 + s * 3 + p) + "." + std::to_string(c + 1);
}

std::string cellName(int family, int s, int p, int c) {
    return padded("dec-" + std::to_string(family) + "-" + std::to_string(s) + "-" +
                      std::to_string(p) + "-" + std::to_string(c) + "-",
                  39);
}

int cellSplit(int c) {
    static const int splits[3] = {1, 4, 5};
    return splits[c % 3];
}

VWin window(Family f, int s, int p, int w) {
    const int set = 3 * s + p;
    const std::string tag = std::to_string(f) + "-" + std::to_string(s) + "-" + std::to_string(p) +
                            "-" + std::to_string(w);
    return VWin(static_cast<uint8_t>(w), static_cast<uint8_t>(w % 2), static_cast<uint8_t>(w % 3),
                static_cast<uint8_t>(w % 4 != 0), static_cast<uint32_t>(10 * w + f),
                static_cast<uint32_t>(10 * w + 1919), static_cast<uint32_t>(20 * set + w),
                static_cast<uint32_t>(20 * set + 1079),
                static_cast<uint32_t>(100000 * f + 1000 * set + w),
                padded("rtsp://10.77.0.200:554/" + tag + "/", 127), padded("src-" + tag + "-", 39));
}

bool writeFiles(const std::string& root, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    mkdir(root.c_str(), 0755);
    mkdir((root + "/mnt").c_str(), 0755);
    mkdir((root + "/mnt/sence").c_str(), 0755);
    for (const KeyFile& f : keyFiles()) {
        Json::Value doc(Json::objectValue);
        doc["config"] = Json::Value(Json::arrayValue);
        for (const auto& kv : f.keys) {
            Json::Value e(Json::objectValue);
            e[kv.first] = kv.second;
            doc["config"].append(e);
        }
        std::ofstream out(root + f.path);
        out << doc.toStyledString();
        if (!out) return fail("cannot write " + root + f.path);
    }
    bool ok = true;
    std::string bad;
    forEachWindow([&](const std::string& path, const VWin& win) {
        unsigned char block[WIN_BLOCK_SIZE];
        encodeWinBlock(win, block);
        std::ofstream out(root + path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(block), WIN_BLOCK_SIZE);
        if (!out && ok) {
            ok = false;
            bad = root + path;
        }
    });
    return ok ? true : fail("cannot write " + bad);
}

void fill(VSServer& model) {
    for (const KeyFile& f : keyFiles()) {
        QelConfig* store = nullptr;
        if (f.path == "/mnt/qelconfVscreen.ini") store = model.confVScreen.get();
        if (f.path == "/mnt/qelconfUnicast.ini") store = model.confUnicast.get();
        if (f.path == "/mnt/qelconfHVratio.ini") store = model.confHVratio.get();
        if (f.path == "/mnt/qelconfMulticast.ini") store = model.confMulticast.get();
        if (f.path == "/mnt/qelconfVWinModeAll.ini") store = model.confVWinModeAll.get();
        for (int s = 0; s < VS_SCENES; ++s)
            for (int p = 0; p < VS_PRESETS; ++p)
                if (model.confVSence[s][p]->fileName() == f.path)
                    store = model.confVSence[s][p].get();
        if (!store) continue;
        for (const auto& kv : f.keys) {
            if (kv.second.isString())
                store->WriteString(kv.first, kv.second.asString(), false);
            else
                store->WriteInt(kv.first, kv.second.asInt(), false);
        }
        store->Save();
    }
    for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
        *model.pVWin[w] = window(LIVE, 0, 0, w);
        model.saveIniWin(w);
    }
    for (int w = 0; w < VS_UNICAST_WINDOWS; ++w) {
        *model.pUWin[w] = window(UNICAST, 0, 0, w);
        model.saveIniUniWin(w);
    }
    for (int s = 0; s < VS_SCENES; ++s) {
        for (int p = 0; p < VS_PRESETS; ++p) {
            for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
                *model.pVWinSence[s][p][w] = window(SCENE, s, p, w);
                model.saveIniWinSence(s, p, w);
                *model.pDisWin[s][p][w] = window(DISPLAY, s, p, w);
                model.saveIniDisWin(s, p, w);
            }
        }
    }
}

}  // namespace wallgen
