// Sources on windows: a live-wall window's source, and the matrix and multiview adapter that
// routes a decoder through the unicast handlers and carries the result into the scenes.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "wall/VSServer.h"
#include "wall/VSServerArgs.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerSources.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

const char kUrlKeyword[] = "config set vs url params";
const size_t kTokenMax = 255;

}  // namespace

int VSServer::cmdVSSetUrl(char* cmd, unsigned) {
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!pVScreen || !vsReadNumbers(cmd, strlen(kUrlKeyword), kTokenMax, 1, a, &tokens)) return -1;
    const int w = a[0];
    if (w < 0) {
        envir() << "wrong iWinID is " << w << "!\n";
        return -1;
    }
    const int cells = liveWallCells();
    if (w >= VS_CELL_WINDOWS * cells) return -1;
    const std::string type = tokens.size() > 1 ? tokens[1] : std::string();
    const std::string source = tokens.size() > 2 ? tokens[2] : std::string();
    int stream = 0;
    if (!vsTokenIntAt(tokens, 3, stream)) return -1;

    std::string url = VS_UNUSED_WINDOW, stored, name;
    if (source != "CLEAR") {
        if (!vsFindSource(devServer, source, vsSourceTablesOfType(type), stream, url, name))
            return -1;
        stored = url;
    }
    if (url.size() > VS_WIN_URL_MAX) return -1;

    // The texts are built before anything is queued, so that a text that does not fit
    // refuses the command whole.
    std::vector<std::pair<std::string, std::string>> texts;  // address, text
    bool spilled = false;
    for (int c = 0; c < cells; ++c) {
        const std::string& ip = pVScreen->ip[c];
        if (c == w / VS_CELL_WINDOWS) {
            texts.emplace_back(ip, vsUrlText(ip, w % VS_CELL_WINDOWS, url));
        } else if (checkWhetherWindowIsOverlapScreen(w, c) == 0) {
            texts.emplace_back(ip, vsUrlText(ip, VS_SPILL_WINDOW, url));
            spilled = true;
        }
    }
    for (const auto& t : texts)
        if (t.second.empty()) return -1;
    VSTextBatch batch(*this);
    for (const auto& t : texts) batch.sendAlways(t.first, t.second);
    if (spilled) batch.sendAlways("255.255.255.255", vsMulHideText(MUL_HIDE_SECONDS));

    for (VWin* rec : {pVWin[w].get(), pVWinOrg[w].get()}) {
        rec->url = stored;
        rec->name = name;
    }
    saveIniWin(w);
    clearMulticast();
    return 0;
}

bool VSServer::blSetVScreenUnicastSenceSrcUrlSplit(char* rx, char* source, int split, int win,
                                                   int layout) {
    const std::string ip(rx ? rx : ""), src(source ? source : "");
    if (ip.empty() || win < 0 || win >= VS_CELL_WINDOWS) return false;
    if (src == "NULL") {
        int slot = -1;
        for (int s = 0; pUnicast && s < UNICAST_SLOTS; ++s) {
            if (pUnicast->ip[s] != ip) continue;
            slot = s;
            pUnicast->curIndex = s;
            iUnicastCurIndex = s;
            confUnicast->WriteInt("unicastCurIndex", s, true);
            break;
        }
        // A decoder in no unicast slot has no window record to empty: it gets its own clear,
        // and the current slot, another decoder's, is left alone.
        if (slot < 0) return clearUnslottedDecoder(ip, split, win, layout);
    } else {
        std::string text = "config set unicast src params 0 " + ip;
        // A refused placement leaves another decoder's slot current: nothing more is sent.
        if (cmdUnicastSetRXScreen(&text[0], 1, 1) < 0 || !pUnicast || iUnicastCurIndex < 0 ||
            iUnicastCurIndex >= UNICAST_SLOTS || pUnicast->ip[iUnicastCurIndex] != ip)
            return false;
    }
    const int window = iUnicastCurIndex * VS_CELL_WINDOWS + win;
    auto setUrl = [&](const std::string& what) {
        std::string text =
            "config set unicast url params " + std::to_string(window) + " esource " + what + " 0";
        cmdUnicastSetUrl(&text[0], 1);
    };
    if (src == "CLEAR") setUrl(src);
    if (layout == 1) {
        std::string text = "config set unicast split params 0 " + std::to_string(split) + " 0";
        cmdUnicastSetSplit(&text[0], 1);
    }
    if (src != "CLEAR") setUrl(src);
    carryUnicastIntoScenes(ip, src, split, win);
    return true;
}

bool VSServer::clearUnslottedDecoder(const std::string& ip, int split, int win, int layout) {
    std::vector<std::string> texts;
    if (layout == 1) {
        if (split != 1 && split != 4 && split != 5) return false;
        texts.push_back(vsSplitText(ip, split, 0));
    }
    texts.push_back(vsUrlText(ip, win, VS_UNUSED_WINDOW));
    for (const std::string& t : texts)
        if (t.empty()) return false;
    VSTextBatch batch(*this);
    for (const std::string& t : texts) batch.sendAlways(ip, t);
    return batch.result() == 0;
}

void VSServer::carryUnicastIntoScenes(const std::string& rx, const std::string& source, int split,
                                      int win) {
    // Without a current slot there is no unicast window to copy from; a window outside the
    // decoder's five would land in a neighbouring cell.
    const int cur = iUnicastCurIndex;
    if (cur < 0 || cur >= UNICAST_SLOTS || win < 0 || win >= VS_CELL_WINDOWS) return;
    const VWin& from = *pUWin[VS_CELL_WINDOWS * cur + win];
    const std::string slotIp = pUnicast->ip[cur], slotName = pUnicast->name[cur];
    // One family of places: scene-wall cells or display slots, with their keys and windows.
    auto carry = [&](QelConfig& conf, std::string* ips, std::string* names, int* splits, int count,
                     const char* ipKey, const char* nameKey, const char* splitKey,
                     std::unique_ptr<VWin>* wins, const std::function<void(int)>& save) {
        for (int c = 0; c < count; ++c) {
            if (ips[c] != rx) continue;
            if (split != splits[c]) {
                conf.WriteString(vsNumbered(ipKey, c), slotIp, false);
                conf.WriteString(vsNumbered(nameKey, c), slotName, false);
                conf.WriteInt(vsNumbered(splitKey, c), split, true);
                ips[c] = slotIp;
                names[c] = slotName;
                splits[c] = split;
            }
            const int j = VS_CELL_WINDOWS * c + win;
            if (wins[j] && wins[j]->name != source) {
                wins[j]->url = from.url;
                wins[j]->name = from.name;
                save(j);
            }
        }
    };
    for (int s = 0; s < VS_SCENES; ++s) {
        if (!vsSceneValid(*this, s)) continue;
        const int p = pVSence[s]->curPreset;
        if (p < 0 || p >= VS_PRESETS || !pVSenceScreen[s][p] || !confVSence[s][p]) continue;
        VSenceScreen& screen = *pVSenceScreen[s][p];
        QelConfig& conf = *confVSence[s][p];
        carry(conf, screen.screenIP, screen.screenName, screen.screenSplitnum,
              vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]), "screenIP_%02d",
              "screenName_%02d", "screenSplitnum_%02d", pVWinSence[s][p],
              [&](int j) { saveIniWinSence(s, p, j); });
        carry(conf, screen.disIP, screen.disName, screen.disSplitnum, WALL_CELLS, "disIP_%02d",
              "disName_%02d", "disSplitnum_%02d", pDisWin[s][p],
              [&](int j) { saveIniDisWin(s, p, j); });
    }
}
