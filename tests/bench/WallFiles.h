// The wall files as tests see them: readers, a snapshot of their state on disk, and what a
// first start on an empty /mnt writes, key by key in file order.
#pragma once

#include <dirent.h>
#include <json/json.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using KeyList = std::vector<std::pair<std::string, Json::Value>>;

namespace wallgen {

inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A key file's keys and values in file order (empty when it does not parse).
inline KeyList keysOfFile(const std::string& path) {
    KeyList out;
    Json::Value doc;
    Json::Reader reader;
    if (!reader.parse(readWholeFile(path), doc) || !doc.isObject()) return out;
    for (const Json::Value& e : doc["config"])
        for (const std::string& k : e.getMemberNames()) out.emplace_back(k, e[k]);
    return out;
}

// What a wall file looks like on disk, to tell whether it was touched.
struct FileState {
    ino_t inode;
    long long mtimeNs;
    std::string bytes;
    bool operator==(const FileState& o) const {
        return inode == o.inode && mtimeNs == o.mtimeNs && bytes == o.bytes;
    }
};

// Every wall file (names beginning "qelconf") under /mnt and /mnt/sence of a box root, by box
// path.
inline std::map<std::string, FileState> wallFileStates(const std::string& root) {
    std::map<std::string, FileState> files;
    for (const char* dir : {"/mnt", "/mnt/sence"}) {
        DIR* d = opendir((root + dir).c_str());
        if (!d) continue;
        while (struct dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.rfind("qelconf", 0) != 0) continue;
            const std::string boxPath = std::string(dir) + "/" + name;
            struct stat st;
            if (lstat((root + boxPath).c_str(), &st) != 0) continue;
            files[boxPath] =
                FileState{st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                          S_ISREG(st.st_mode) ? readWholeFile(root + boxPath) : ""};
        }
        closedir(d);
    }
    return files;
}

inline std::string num(const char* format, int n) {
    char text[64];
    snprintf(text, sizeof text, format, n);
    return text;
}

inline std::string scenePath(int s, int p) {
    char text[64];
    snprintf(text, sizeof text, "/mnt/sence/qelconfVSence_%02d_%02d.ini", s, p);
    return text;
}

inline KeyList firstStartUnicast() {
    KeyList k;
    for (int i = 0; i < 200; ++i) {
        k.emplace_back(num("unicastip_%02d", i), "");
        k.emplace_back(num("unicastname_%02d", i), "");
        k.emplace_back(num("unicastsplitnum_%02d", i), 1);
    }
    k.emplace_back("unicastCurIndex", 0);
    return k;
}

// Empty cells 0..cells-1 of a wall: address, split 1, name.
inline void appendEmptyCells(KeyList& k, int cells) {
    for (int c = 0; c < cells; ++c) {
        k.emplace_back(num("screenIP_%02d", c), "");
        k.emplace_back(num("screenSplitnum_%02d", c), 1);
        k.emplace_back(num("screenName_%02d", c), "");
    }
}

inline KeyList firstStartScene(int s) {
    KeyList k = {{"screensenceName", ""},   {"screensenceId", s},        {"screensenceValid", 0},
                 {"screensencePicSrc", ""}, {"screensenceCurPreset", 0}, {"screenRows", 2},
                 {"screenColumns", 2},      {"screenHorCut", 2},         {"screenVerCut", 2},
                 {"screenWidth", 3840},     {"screenHeight", 2160}};
    appendEmptyCells(k, 4);
    k.emplace_back("disWidth", 1920);
    k.emplace_back("disHeight", 1080);
    for (int d = 0; d < 16; ++d) {
        k.emplace_back(num("disIP_%02d", d), "");
        k.emplace_back(num("disSplitnum_%02d", d), 1);
        k.emplace_back(num("disName_%02d", d), "");
    }
    return k;
}

inline KeyList firstStartVscreen() {
    KeyList k = {{"screenRows", 2},   {"screenColumns", 2},  {"screenHorCut", 2},
                 {"screenVerCut", 2}, {"screenWidth", 3840}, {"screenHeight", 2160}};
    appendEmptyCells(k, 4);
    return k;
}

inline KeyList firstStartRatio() {
    return {{"HVratioCurIndex", 0},
            {"HVratioHor", 16},
            {"HVratioVer", 9},
            {"HVratioHorUserDef", 0},
            {"HVratioVerUserDef", 0}};
}

// The nine words of a block file, little-endian, as stored.
inline std::vector<uint32_t> words(const std::string& bytes) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i + 4 <= bytes.size() && out.size() < 9; i += 4)
        out.push_back(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8 | uint8_t(bytes[i + 2]) << 16 |
                      uint32_t(uint8_t(bytes[i + 3])) << 24);
    return out;
}

// What live-wall window w holds after a first start: cells 0-3 of the 2 x 2 wall split 1.
inline std::vector<uint32_t> firstStartWindow(uint32_t w) {
    if (w >= 20) return {w, w, 0, 0, 0, 0, 0, 0, 0};
    const uint32_t cell = w / 5, x = 1920 * (cell % 2), y = 1080 * (cell / 2);
    if (w % 5 == 0) return {w, w, 1, 0, 1, x, x + 1919, y, y + 1079};
    return {w, w, 0, 0, 0, x, x, y, y};
}

// Every file a first start writes, sorted.
inline std::vector<std::string> firstStartFiles() {
    std::vector<std::string> files = {"/mnt/qelconfUnicast.ini", "/mnt/qelconfHVratio.ini",
                                      "/mnt/qelconfVscreen.ini"};
    for (int w = 0; w < 80; ++w) files.push_back(num("/mnt/qelconfVWin_%02d.ini", w));
    for (int s = 0; s < 5; ++s)
        for (int p = 0; p < 3; ++p) files.push_back(scenePath(s, p));
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace wallgen
