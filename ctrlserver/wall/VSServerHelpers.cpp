#include "wall/VSServerHelpers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <algorithm>

bool vsCommandTokens(char* cmd, size_t keywordLength, size_t maxTokenLength,
                     std::vector<std::string>& tokens) {
    if (!cmd) return true;
    const size_t length = strlen(cmd);
    if (length <= keywordLength) return true;
    // The text after the keyword is read before the keyword is ended.
    const std::string rest(cmd + keywordLength + 1);
    cmd[keywordLength] = '\0';
    std::vector<std::string> found;
    size_t at = 0;
    while (at < rest.size()) {
        if (rest[at] == ' ') {
            ++at;
            continue;
        }
        size_t end = rest.find(' ', at);
        if (end == std::string::npos) end = rest.size();
        if (end - at > maxTokenLength) return false;
        found.push_back(rest.substr(at, end - at));
        at = end;
    }
    tokens.insert(tokens.end(), found.begin(), found.end());
    return true;
}

bool vsTokenInt(const std::string& token, int& value) {
    errno = 0;
    const long v = strtol(token.c_str(), nullptr, 10);
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

bool vsTokenIntAt(const std::vector<std::string>& tokens, size_t i, int& value) {
    if (i >= tokens.size()) {
        value = 0;
        return true;
    }
    return vsTokenInt(tokens[i], value);
}

int vsRebuildKeyFile(ConfStore& store, const std::function<void(QelConfig&)>& fill) {
    if (!store) return 0;
    ConfStore fresh(new QelConfig());
    fill(*fresh);
    if (!fresh->Save(store->fileName())) return 0;
    store = std::move(fresh);
    return 1;
}

int vsGridCells(int rows, int columns) {
    if (rows < 1 || columns < 1) return 0;
    return static_cast<int>(std::min<long long>(1LL * rows * columns, WALL_CELLS));
}

bool vsSceneValid(const VSServer& model, int s) {
    return s >= 0 && s < VS_SCENES && model.pVSence[s] && model.pVSence[s]->valid;
}
