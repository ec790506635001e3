// What a scene key file holds after the scene was made anew, and the window block bytes of
// the tests as hex words: shared by the scene model tests and the black-box scene tests.
#pragma once

#include <json/json.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace qeltest {

// The keys of a rebuilt scene key file in order, for a grid of `cells` cells of 1920 x 1080
// with cut edges 2 and 2, no decoders and empty display screens.
inline std::vector<std::pair<std::string, Json::Value>> rebuiltSceneKeys(const std::string& name,
                                                                         int s, int valid,
                                                                         const std::string& pic,
                                                                         int preset, int rows,
                                                                         int columns, int cells) {
    std::vector<std::pair<std::string, Json::Value>> k = {{"screensenceName", name},
                                                          {"screensenceId", s},
                                                          {"screensenceValid", valid},
                                                          {"screensencePicSrc", pic},
                                                          {"screensenceCurPreset", preset},
                                                          {"screenRows", rows},
                                                          {"screenColumns", columns},
                                                          {"screenHorCut", 2},
                                                          {"screenVerCut", 2},
                                                          {"screenWidth", 1920 * columns},
                                                          {"screenHeight", 1080 * rows}};
    auto key = [](const char* format, int n) {
        char t[32];
        snprintf(t, sizeof t, format, n);
        return std::string(t);
    };
    for (int c = 0; c < cells; ++c) {
        k.emplace_back(key("screenIP_%02d", c), "");
        k.emplace_back(key("screenSplitnum_%02d", c), 1);
        k.emplace_back(key("screenName_%02d", c), "");
    }
    k.emplace_back("disWidth", 1920);
    k.emplace_back("disHeight", 1080);
    for (int d = 0; d < 16; ++d) {
        k.emplace_back(key("disIP_%02d", d), "");
        k.emplace_back(key("disSplitnum_%02d", d), 1);
        k.emplace_back(key("disName_%02d", d), "");
    }
    return k;
}

// The first n bytes as hex, four bytes to a word, words separated by blanks.
inline std::string hexWords(const std::string& bytes, size_t n) {
    std::string out;
    char b[4];
    for (size_t i = 0; i < n && i < bytes.size(); ++i) {
        if (i && i % 4 == 0) out += ' ';
        snprintf(b, sizeof b, "%02x", static_cast<unsigned char>(bytes[i]));
        out += b;
    }
    return out;
}

}  // namespace qeltest
