// The "vw" commands and the scene source commands: a scene's wall named by the scene's name,
// decoders and sources by alias or host name. They keep no state: they compare the request
// with the scene's preset-0 wall, then re-enter the older scene handlers with texts in their
// grammar (direct 0 unless noted), whose results they do not report. Their texts name the
// scene's current preset; cells are 1920 x 1080 here, whatever the scene's settings say.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerSources.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

const long long kCellW = 1920, kCellH = 1080;

// Re-entered texts fit in 256 bytes.
std::string text256(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string text256(const char* format, ...) {
    char text[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    return text;
}

bool fitsInt(long long v) {
    return v >= INT_MIN && v <= INT_MAX;
}

std::string word(const std::vector<std::string>& w, size_t i) {
    return i < w.size() ? w[i] : std::string();
}

// A number as the pair commands read it: optional blanks and sign, then digits, the rest
// ignored. isNumber tells whether the token began with one; false when it does not fit an int.
bool leadingInt(const std::string& token, int& value, bool& isNumber) {
    const char* start = token.c_str();
    char* end = nullptr;
    errno = 0;
    const long v = strtol(start, &end, 10);
    isNumber = end != start;
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    value = isNumber ? static_cast<int>(v) : 0;
    return true;
}

// The scene's preset-0 wall, which every decision of these commands reads.
const VSenceScreen* wallOf(const VSServer& m, int s) {
    return m.pVSenceScreen[s][0].get();
}

}  // namespace

// --- re-entries -----------------------------------------------------------------------------

static void reenterWin(VSServer& m, int s, int p, long long w, long long x0, long long x1,
                       long long y0, long long y1, unsigned direct) {
    std::string text = text256("config set sence vs win params %d %d %lld %lld %lld %lld %lld", s,
                               p, w, x0, x1, y0, y1);
    ArrayList<VWin> scratch;
    m.cmdVSSetSenceWin(&text[0], scratch, direct);
}

// The type names the table the source is in: the scene handlers search only the one it names,
// and the names resolve to encoders and IP cameras alike.
static void reenterUrl(VSServer& m, int s, int p, long long w, const std::string& address) {
    std::string text = text256("config set sence vs url params %d %d %lld %s %s 0", s, p, w,
                               vsSourceTypeOf(m.devServer, address), address.c_str());
    m.cmdVSSetSenceUrl(&text[0], 0);
}

// --- layout ---------------------------------------------------------------------------------

int VSServer::cmdvwVSSetSence(char* cmd, unsigned) {
    std::vector<std::string> w;
    if (!vsWords(cmd, strlen("vw add"), 25, w)) return -1;
    const int s = vsSceneByName(*this, word(w, 0));
    if (s < 0 || !wallOf(*this, s)) return -1;
    auto oneOf = [](const std::string& t, const char* first, const char* last) {
        return t.size() == 1 && t[0] >= first[0] && t[0] <= last[0];
    };
    const std::string rowsWord = word(w, 2), columnsWord = word(w, 3);
    if (!oneOf(rowsWord, "1", "4") || !oneOf(columnsWord, "1", "4")) return -1;
    const int rows = rowsWord[0] - '0', columns = columnsWord[0] - '0';
    const VSenceScreen& rec = *wallOf(*this, s);
    int hor = rec.horCut, ver = rec.verCut;
    // Words from 0: scene, any word, rows, columns, ["cutedge", hor, ver,] source, decoders.
    size_t f = 5;  // the first decoder word
    if (word(w, 4) == "cutedge") {
        if (!oneOf(word(w, 5), "0", "8") || !oneOf(word(w, 6), "0", "8")) return -1;
        hor = word(w, 5)[0] - '0';
        ver = word(w, 6)[0] - '0';
        f = 8;
    }
    if (rows != rec.rows || columns != rec.columns) {
        std::string t =
            text256("config set sence vs params %d %d %d %d %d \n", s, rows, columns, hor, ver);
        cmdVSSetSenceScreen(&t[0], 0);
    } else if (hor != rec.horCut || ver != rec.verCut) {
        std::string t =
            text256("config set sence vs rowcolumncutedge params %d %d %d \n", s, hor, ver);
        cmdVSSetSenceRowColumnCutEdge(&t[0], 0);
    }
    const int p = iSenceScreenCurPreset[s];
    for (int i = 0; i < rows * columns; ++i) {
        const std::string a = vsDeviceAddress(*this, word(w, f + i));
        const VSenceScreen* now = wallOf(*this, s);
        if (!a.empty() && now && a != now->screenIP[i]) {
            std::string t =
                text256("config set sence vs src params %d %d %d %s", s, p, i, a.c_str());
            cmdVSSetRXSenceScreen(&t[0], 0);
        }
        checkRXisUsedInOtherSence(a, s);
        checkRXisUsedInCurSenceDisplayScreen(a, s);
    }
    const std::string source = vsDeviceAddress(*this, word(w, f - 1));
    if (!source.empty()) reenterUrl(*this, s, p, 0, source);
    reenterWin(*this, s, p, 0, 0, kCellW * columns - 1, 0, kCellH * rows - 1, 1);
    return 0;
}

int VSServer::cmdvwVSDelSenceScreen(char* cmd, unsigned) {
    std::vector<std::string> w;
    if (!vsWords(cmd, strlen("vw remove"), 2, w)) return -1;
    const int s = vsSceneByName(*this, word(w, 0));
    if (s < 0 || !wallOf(*this, s)) return -1;
    const VSenceScreen before(pVSenceScreen[s][0].get());
    const VSence scene = *pVSence[s];
    // The wall goes back to an empty 2 x 2 in files replaced whole; the display screens stay.
    if (rebuildScene(s, 1, scene.curPreset, scene.name, scene.picSrc, 2, 2, 2, 2,
                     SceneRebuild{false, true, true}) < 0)
        return -1;
    ArrayList<Decoder> decoders;
    devServer.iGetQelDecoderDevices(decoders);
    VSTextBatch batch(*this);
    for (int c = 0; c < vsGridCells(before.rows, before.columns); ++c) {
        if (before.screenIP[c].empty()) continue;
        for (ArrayListNode<Decoder>* n = decoders.head->next; n && n->data; n = n->next)
            if (n->data->ip == before.screenIP[c])
                batch.sendAll(n->data->ip, vsResetTexts(n->data->ip));
    }
    return 0;
}

int VSServer::cmdvwVSGetSence(char* cmd, ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& walls,
                              unsigned) {
    std::vector<std::string> w;
    if (!vsWords(cmd, strlen("vw get"), 20, w)) return -1;
    auto add = [&](int s) {
        scenes.add(new VSence(*pVSence[s]));
        walls.add(new VSenceScreen(pVSenceScreen[s][0].get()));
    };
    if (word(w, 0).empty()) {
        for (int s = 0; s < VS_SCENES; ++s)
            if (vsSceneValid(*this, s) && pVSenceScreen[s][0]) add(s);
        return 0;
    }
    const int s = vsSceneByName(*this, word(w, 0));
    if (s < 0 || !pVSenceScreen[s][0]) return -1;
    add(s);
    return 0;
}

// --- sources --------------------------------------------------------------------------------

int VSServer::cmdvwVSSetSenceTX(char* cmd, unsigned) {
    std::vector<std::string> w;
    if (!vsWords(cmd, strlen("vw set"), 2, w)) return -1;
    const int s = vsSceneByName(*this, word(w, 0));
    if (s < 0 || !wallOf(*this, s)) return -1;
    const std::string source = vsDeviceAddress(*this, word(w, 1));
    if (source.empty()) return 0;
    const VSenceScreen& rec = *wallOf(*this, s);
    const int p = iSenceScreenCurPreset[s];
    reenterWin(*this, s, p, 0, 0, kCellW * rec.columns - 1, 0, kCellH * rec.rows - 1, 1);
    reenterUrl(*this, s, p, 0, source);
    return 0;
}

namespace {

// The (number, source) pairs of a pair command: m words (scene included) give m / 2 pairs.
struct Pair {
    int number;
    bool isNumber;
    std::string source;
};

// False when a number does not fit an int.
bool readPairs(const std::vector<std::string>& w, std::vector<Pair>& pairs) {
    for (size_t j = 1; 2 * j <= w.size(); ++j) {
        Pair pair{0, false, word(w, 2 * j)};
        if (!leadingInt(word(w, 2 * j - 1), pair.number, pair.isNumber)) return false;
        pairs.push_back(pair);
    }
    return true;
}

}  // namespace

int VSServer::cmdvwVSSetSenceEachTX(char* cmd, unsigned) {
    std::vector<std::string> w;
    std::vector<Pair> pairs;
    if (!vsWords(cmd, strlen("vw each source"), 33, w) || !readPairs(w, pairs)) return -1;
    const int s = vsSceneByName(*this, word(w, 0));
    if (s < 0 || !wallOf(*this, s)) return -1;
    const int columns = std::max<int>(wallOf(*this, s)->columns, 1);
    const int p = iSenceScreenCurPreset[s];
    for (const Pair& pair : pairs) {
        if (pair.number < 1) continue;
        const std::string source = vsDeviceAddress(*this, pair.source);
        if (source.empty()) continue;
        const long long c = pair.number - 1LL;
        const long long x0 = kCellW * (c % columns), y0 = kCellH * (c / columns);
        // A cell number so large that its window or rectangle leaves the int range is skipped.
        if (!fitsInt(5 * c) || !fitsInt(y0 + kCellH - 1)) continue;
        reenterWin(*this, s, p, 5 * c, x0, x0 + kCellW - 1, y0, y0 + kCellH - 1, 0);
        reenterUrl(*this, s, p, 5 * c, source);
    }
    const VWin* first = pVWinSence[s][p][0].get();
    if (first && !first->visible) reenterWin(*this, s, p, 0, 0, kCellW - 1, 0, kCellH - 1, 1);
    return 0;
}

// Bands of whole rows (byRow) or whole columns, from the top row or left column on.
static int setBands(VSServer& m, char* cmd, const char* keyword, bool byRow) {
    std::vector<std::string> w;
    std::vector<Pair> pairs;
    if (!vsWords(cmd, strlen(keyword), 33, w) || !readPairs(w, pairs)) return -1;
    const int s = vsSceneByName(m, word(w, 0));
    if (s < 0 || !wallOf(m, s)) return -1;
    const long long rows = wallOf(m, s)->rows, columns = wallOf(m, s)->columns;
    const int p = iSenceScreenCurPreset[s];
    bool reset = false;
    long long b = 1;
    for (const Pair& pair : pairs) {
        const long long k = pair.isNumber ? pair.number : 1;
        const long long from = b;
        b += k;
        if (from < 1 || from > (byRow ? rows : columns)) continue;
        const std::string source = vsDeviceAddress(m, pair.source);
        if (source.empty()) continue;
        long long win, x0, x1, y0, y1;
        if (byRow) {
            win = 5 * columns * (from - 1);
            x0 = 0;
            x1 = kCellW * columns - 1;
            y0 = kCellH * (from - 1);
            y1 = y0 + kCellH * k - 1;
        } else {
            win = 5 * (from - 1);
            x0 = kCellW * (from - 1);
            x1 = x0 + kCellW * k - 1;
            y0 = 0;
            y1 = kCellH * rows - 1;
        }
        // A count so large that the band's rectangle leaves the int range is skipped.
        if (!fitsInt(x1) || !fitsInt(y1)) continue;
        if (!reset) {
            reset = true;
            for (long long c = 0; c < rows * columns; ++c) {
                const long long cx = kCellW * (c % columns), cy = kCellH * (c / columns);
                reenterWin(m, s, p, 5 * c, cx, cx + kCellW - 1, cy, cy + kCellH - 1, 0);
            }
        }
        reenterWin(m, s, p, win, x0, x1, y0, y1, 0);
        reenterUrl(m, s, p, win, source);
    }
    return 0;
}

int VSServer::cmdvwVSSetSenceRowTX(char* cmd, unsigned) {
    return setBands(*this, cmd, "vw row source", true);
}

int VSServer::cmdvwVSSetSenceColumnTX(char* cmd, unsigned) {
    return setBands(*this, cmd, "vw column source", false);
}

int VSServer::cmdVSNewSetSenceUrl(int s, int ordinal, std::string address, unsigned) {
    if (s < 0 || s >= VS_SCENES || !pVSence[s]) return -1;
    const int p = pVSence[s]->curPreset;
    if (p >= VS_PRESETS || !pVSenceScreen[s][p]) return -1;
    const VSenceScreen& rec = *pVSenceScreen[s][p];
    const int cells = vsGridCells(rec.rows, rec.columns);
    // The ordinal counts the used and visible windows of the scene's own wall.
    int j = -1;
    for (int w = 0, seen = 0; w < VS_CELL_WINDOWS * cells && j < 0; ++w) {
        const VWin& win = *pVWinSence[s][p][w];
        if (win.used == 1 && win.visible == 1 && ++seen == ordinal) j = w;
    }
    if (j < 0) {
        envir() << "wrong iWinID is " << -1 << "!\n";
        return -1;
    }
    std::string url, name;
    if (!vsFindSource(devServer, address, SourceTables::Both, 0, url, name)) return -1;
    // The window block holds 127 bytes of url; a longer one would come back cut.
    if (url.size() > VS_WIN_URL_MAX) return -1;

    VSTextBatch batch(*this);
    bool spill = false;
    for (int c = 0; c < cells; ++c) {
        const std::string& a = rec.screenIP[c];
        if (c == j / VS_CELL_WINDOWS) {
            batch.sendAlways(a, vsUrlText(a, j % VS_CELL_WINDOWS, url));
        } else if (checkWhetherWindowIsOverlapSenceScreen(s, p, j, c) == 0) {
            batch.sendAlways(a, vsUrlText(a, VS_SPILL_WINDOW, url));
            spill = true;
        }
    }
    if (spill) batch.sendAlways("255.255.255.255", vsMulHideText(MUL_HIDE_SECONDS));
    for (VWin* rw : {pVWinSence[s][p][j].get(), pVWinSenceOrg[s][p][j].get()}) rw->url = url;
    for (VWin* rw : {pVWinSence[s][p][j].get(), pVWinSenceOrg[s][p][j].get()}) rw->name = name;
    saveIniWinSence(s, p, j);
    return batch.result();
}

int VSServer::cmdVSSetSceneTXToVWAndDisplay(std::string sceneName, std::string address, unsigned) {
    const int s = vsSceneByName(*this, sceneName);
    if (s < 0 || !wallOf(*this, s)) return -1;
    if (!confVSence[s][0]) return 0;
    // The wall handler takes only the current preset, so the texts name that one.
    const int p = iSenceScreenCurPreset[s];
    const VSenceScreen rec(pVSenceScreen[s][0].get());
    for (int c = 0; c < vsGridCells(rec.rows, rec.columns); ++c) {
        if (rec.screenIP[c].empty()) continue;
        for (int k = 0; k < VS_CELL_WINDOWS; ++k)
            reenterUrl(*this, s, p, VS_CELL_WINDOWS * c + k, address);
    }
    for (int d = 0; d < WALL_CELLS; ++d) {
        if (rec.disIP[d].empty() || rec.disSplitnum[d] == 0) continue;
        for (int k = 0; k < std::min(rec.disSplitnum[d], VS_CELL_WINDOWS); ++k) {
            std::string t = text256("config set sence display url params %d %d %d %d %s %s 0", s, p,
                                    d, k, vsSourceTypeOf(devServer, address), address.c_str());
            cmdDisplaySetUrl(&t[0], 0);
        }
    }
    return 0;
}
