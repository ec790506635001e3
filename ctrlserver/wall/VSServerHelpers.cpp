#include "wall/VSServerHelpers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <algorithm>
#include <cstdint>
#include <utility>

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
    VSKeyFilesChange change;
    fill(change.replace(store));
    return change.commit() ? 1 : 0;
}

QelConfig& VSKeyFilesChange::add(ConfStore& store, bool copy) {
    if (committed_) {  // a new change after a commit: the old stores are no longer needed
        files_.clear();
        committed_ = false;
    }
    for (auto& f : files_)
        if (f.first == &store) return *f.second;
    ConfStore next(copy ? store->Copy() : new QelConfig());
    files_.emplace_back(&store, std::move(next));
    return *files_.back().second;
}

QelConfig& VSKeyFilesChange::edit(ConfStore& store) {
    return add(store, true);
}

QelConfig& VSKeyFilesChange::replace(ConfStore& store) {
    return add(store, false);
}

bool VSKeyFilesChange::commit() {
    failed_.clear();
    for (size_t i = 0; i < files_.size(); ++i) {
        const std::string file = (*files_[i].first)->fileName();
        if (files_[i].second->Save(file)) continue;
        failed_ = file;
        for (size_t j = 0; j < i; ++j) (*files_[j].first)->Save();
        files_.clear();
        return false;
    }
    // The replaced stores are kept, so that undo can put them back.
    for (auto& f : files_) std::swap(*f.first, f.second);
    committed_ = true;
    return true;
}

void VSKeyFilesChange::undo() {
    if (!committed_) return;
    for (auto& f : files_) {
        f.second->Save((*f.first)->fileName());
        std::swap(*f.first, f.second);
    }
    files_.clear();
    committed_ = false;
}

int vsGridCells(int rows, int columns) {
    if (rows < 1 || columns < 1) return 0;
    return static_cast<int>(std::min<long long>(1LL * rows * columns, WALL_CELLS));
}

bool vsSceneValid(const VSServer& model, int s) {
    return s >= 0 && s < VS_SCENES && model.pVSence[s] && model.pVSence[s]->valid;
}

int vsStampWindows(std::unique_ptr<VWin>* cur, std::unique_ptr<VWin>* org, int first, int count,
                   int w, ArrayList<VWin>& list, const std::function<void(int)>& save) {
    int changed = 0;
    long long top = 0;
    for (int k = first; k < first + count; ++k) {
        VWin& now = *cur[k];
        VWin& old = *org[k];
        top = std::max<long long>(top, now.winId);
        if (!now.visible) {
            now.winId = static_cast<uint32_t>(k);
        } else if (!old.visible && top > old.winId) {
            ++top;
            now.winId = old.winId = static_cast<uint32_t>(top);
        }
        if (now.visible != old.visible) {
            save(k);
            if (k != w) {
                VWin* copy = new VWin(now);
                copy->win = static_cast<uint8_t>(k);
                list.add(copy);
            }
            ++changed;
        }
    }
    if (top > org[w]->winId) cur[w]->winId = static_cast<uint32_t>(top + 1);
    list.add(new VWin(*cur[w]));
    for (int k = first; k < first + count; ++k) *org[k] = *cur[k];
    save(w);
    return changed;
}

bool vsWords(const char* cmd, size_t keywordLength, size_t keep, std::vector<std::string>& words) {
    std::string copy(cmd ? cmd : "");
    std::vector<std::string> found;
    if (!vsCommandTokens(&copy[0], keywordLength, VS_WORD_MAX, found)) return false;
    if (found.size() > keep) found.resize(keep);
    words = found;
    return true;
}

int vsSceneByName(const VSServer& m, const std::string& name) {
    if (name.empty()) return -1;
    for (int s = 0; s < VS_SCENES; ++s)
        if (m.pVSence[s] && m.pVSence[s]->name == name) return s;
    return -1;
}

std::string vsDeviceAddress(VSServer& m, const std::string& name) {
    // An empty name would match a device without an alias.
    if (name.empty()) return std::string();
    char ip[VS_LOOKUP_TEXT_SIZE] = {0}, alias[VS_LOOKUP_TEXT_SIZE] = {0};
    char mac[VS_LOOKUP_TEXT_SIZE] = {0}, version[VS_LOOKUP_TEXT_SIZE] = {0};
    int kind = -1;
    m.blGetDeviceInfoByUsingAliasHostName(name.c_str(), ip, alias, mac, version, kind);
    return ip;
}

const Decoder* vsFindDecoder(ArrayList<Decoder>& list, const std::string& ip) {
    for (ArrayListNode<Decoder>* node = list.head->next; node && node->data; node = node->next)
        if (node->data->ip == ip) return node->data;
    return nullptr;
}

bool vsCornerBox(const VWin& win, const std::unique_ptr<WinPos>* places, int count, long long& h0,
                 long long& h1, long long& v0, long long& v1) {
    auto s32 = [](uint32_t v) { return static_cast<long long>(static_cast<int32_t>(v)); };
    const long long cx[4] = {s32(win.hStart), s32(win.hEnd), s32(win.hStart), s32(win.hEnd)};
    const long long cy[4] = {s32(win.vStart), s32(win.vStart), s32(win.vEnd), s32(win.vEnd)};
    const WinPos none{0, -1, -1, -1, -1};
    WinPos holder[4] = {none, none, none, none};  // top-left, top-right, bottom-left, -right
    bool found[4] = {false, false, false, false};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < count; ++i) {
            if (!places[i]) continue;
            const WinPos& p = *places[i];
            if (p.x0 <= cx[k] && cx[k] <= p.x1 && p.y0 <= cy[k] && cy[k] <= p.y1) {
                holder[k] = p;
                found[k] = true;
            }
        }
    h0 = std::min(holder[0].x0, holder[2].x0);
    v0 = std::min(holder[0].y0, holder[1].y0);
    h1 = std::max(holder[1].x1, holder[3].x1);
    v1 = std::max(holder[2].y1, holder[3].y1);
    return found[0] && found[1] && found[2] && found[3];
}
