// Scene video walls: grid, cut edge, decoders in cells, window placement, splits, sources and
// the window list. Every command acts on a scene's current preset unless it says otherwise;
// decoder texts leave through one batch per call. A window of one cell that reaches into a
// neighbour is shown there on the neighbour's window 16, so a cell shows at most one.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerArgs.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

const char kGridKeyword[] = "config set sence vs params";
const char kCutKeyword[] = "config set sence vs rowcolumncutedge params";
const char kSrcKeyword[] = "config set sence vs src params";
const char kDelKeyword[] = "config del sence vs params";
const char kListKeyword[] = "config get sence vs list params";
const char kWinKeyword[] = "config set sence vs win params";
const char kSplitKeyword[] = "config set sence vs split params";
const char kUrlKeyword[] = "config set sence vs url params";
const char kWinsKeyword[] = "config get sence vs wins params";
const size_t kSlot128 = 127;
const size_t kSlot256 = 255;
// The cell number that stands for every cell of the wall.
const int kAllCells = 255;

bool sceneInRange(int s, int p) {
    return static_cast<unsigned>(s) < static_cast<unsigned>(VS_SCENES) &&
           static_cast<unsigned>(p) < static_cast<unsigned>(VS_PRESETS);
}

int32_t s32(uint32_t v) {
    return static_cast<int32_t>(v);
}

}  // namespace

// --- helpers over one scene wall ----------------------------------------------------------

namespace {

struct SceneWall {
    VSServer& m;
    int s, p;
    VSenceScreen& rec() const { return *m.pVSenceScreen[s][p]; }
    int cells() const { return vsGridCells(rec().rows, rec().columns); }
    VWin& win(int w) const { return *m.pVWinSence[s][p][w]; }
    VWin& org(int w) const { return *m.pVWinSenceOrg[s][p][w]; }
    const std::string& ip(int c) const { return rec().screenIP[c]; }
};

std::string winText(int s, int p, int w, const VWin& win) {
    char text[160];
    snprintf(text, sizeof text, "config set sence vs win params %d %d %d %d %d %d %d", s, p, w,
             s32(win.hStart), s32(win.hEnd), s32(win.vStart), s32(win.vEnd));
    return text;
}

}  // namespace

static bool sceneCurrent(VSServer& m, int s, int p) {
    return sceneInRange(s, p) && m.pVSence[s] && m.pVSenceScreen[s][p] &&
           m.pVSence[s]->curPreset == p;
}

// Commits the key file writes of a scene command; a file that cannot be written is logged.
static bool sceneKeysWritten(VSServer& m, int s, VSKeyFilesChange& change) {
    if (change.commit()) return true;
    m.envir() << "scene " << s << ": cannot write " << change.failedFile().c_str() << "\n";
    return false;
}

// Re-enters the placement with the window's own edges (direct 1, scratch list).
static void replaceSceneWindow(VSServer& m, int s, int p, int w) {
    std::string text = winText(s, p, w, *m.pVWinSence[s][p][w]);
    ArrayList<VWin> scratch;
    m.cmdVSSetSenceWin(&text[0], scratch, 1);
}

bool vsSceneCellCrossed(VSServer& m, int s, int q, int cell, int nOwn) {
    const VSenceScreen& rec = *m.pVSenceScreen[s][q];
    const int cells = vsGridCells(rec.rows, rec.columns);
    for (int j = 0; j < cells; ++j) {
        const int n =
            std::min(std::max(j == cell ? nOwn : rec.screenSplitnum[j], 0), VS_CELL_WINDOWS);
        for (int k = 0; k < n; ++k)
            if (m.checkWhetherOrgWindowIsOverlapSenceScreen_2(s, q, VS_CELL_WINDOWS * cell + k,
                                                              j) == 0)
                return true;
    }
    for (int w = 0; w < VS_CELL_WINDOWS * cells; ++w)
        if (m.checkWhetherOrgWindowIsOverlapSenceScreen_2(s, q, w, cell) == 0) return true;
    return false;
}

void vsReplaceSceneCell(VSServer& m, int s, int p, int cell, int split) {
    const VSenceScreen& rec = *m.pVSenceScreen[s][p];
    const int x0 = vsWrapInt(1LL * (cell % rec.columns) * iSenceRScreenWidth[s]);
    const int y0 = vsWrapInt(1LL * (cell / rec.columns) * iSenceRScreenHeight[s]);
    m.resetScreenWinSence(s, p, x0, y0, iRScreenWidth, iRScreenHeight, split,
                          VS_CELL_WINDOWS * cell);
    for (int k = 0; k < std::min(std::max(split, 0), VS_CELL_WINDOWS); ++k)
        replaceSceneWindow(m, s, p, VS_CELL_WINDOWS * cell + k);
}

void vsRelayoutScenePreset(VSServer& m, int s, int q) {
    const VSenceScreen& rq = *m.pVSenceScreen[s][q];
    const int cells = vsGridCells(rq.rows, rq.columns);
    for (int j = 0; j < cells; ++j) {
        const int x0 = vsWrapInt(1LL * (j % rq.columns) * iSenceRScreenWidth[s]);
        const int y0 = vsWrapInt(1LL * (j / rq.columns) * iSenceRScreenHeight[s]);
        m.resetScreenWinSence(s, q, x0, y0, iRScreenWidth, iRScreenHeight, rq.screenSplitnum[j],
                              VS_CELL_WINDOWS * j);
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) m.saveIniWinSence(s, q, VS_CELL_WINDOWS * j + k);
    }
}

// The cell's windows laid out again for its old split and re-placed, so the decoders that
// showed their spill-overs are told what changed.
static void repairSceneCell(VSServer& m, int s, int p, int cell, int oldSplit) {
    if (vsSceneCellCrossed(m, s, p, cell, oldSplit)) vsReplaceSceneCell(m, s, p, cell, oldSplit);
}

// The reset sequence for each table decoder at ip.
static void resetDecoder(VSServer& m, const std::string& ip, VSTextBatch& batch) {
    if (ip.empty()) return;
    ArrayList<Decoder> decoders;
    m.devServer.iGetQelDecoderDevices(decoders);
    for (ArrayListNode<Decoder>* n = decoders.head->next; n && n->data; n = n->next)
        if (n->data->ip == ip) batch.sendAll(ip, vsResetTexts(ip));
}

int VSServer::cmdVSSetSenceScreen(char* cmd, unsigned) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kGridKeyword), kSlot128, 5, a)) return -1;
    const int s = a[0], rows = a[1], columns = a[2];
    if (static_cast<unsigned>(s) >= static_cast<unsigned>(VS_SCENES) || rows < 1 || rows > 4 ||
        columns < 1 || columns > 4 || !pVSence[s] || !pVSenceScreen[s][0])
        return -1;
    // Only preset 0's decoders are reset: the first round of the rebuild empties the cells
    // of every preset.
    const VSenceScreen before(pVSenceScreen[s][0].get());
    const int oldCells = vsGridCells(before.rows, before.columns);
    const VSence scene = *pVSence[s];
    if (rebuildScene(s, 1, scene.curPreset, scene.name, scene.picSrc, rows, columns, a[3], a[4],
                     SceneRebuild{true, true, true}) < 0)
        return -1;
    VSTextBatch batch(*this);
    for (int c = 0; c < oldCells; ++c) resetDecoder(*this, before.screenIP[c], batch);
    return 0;
}

int VSServer::cmdVSSetSenceRowColumnCutEdge(char* cmd, unsigned) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kCutKeyword), kSlot128, 3, a)) return -1;
    const int s = a[0], hor = a[1], ver = a[2];
    if (static_cast<unsigned>(s) >= static_cast<unsigned>(VS_SCENES) ||
        static_cast<unsigned>(hor) > 8 || static_cast<unsigned>(ver) > 8)
        return -1;
    VSKeyFilesChange change;
    for (int p = 0; p < VS_PRESETS; ++p) {
        if (!pVSenceScreen[s][p] || !confVSence[s][p]) continue;
        QelConfig& conf = change.edit(confVSence[s][p]);
        conf.WriteInt("screenHorCut", hor, false);
        conf.WriteInt("screenVerCut", ver, false);
    }
    if (!sceneKeysWritten(*this, s, change)) return -1;
    iSenceScreenHorCut[s] = hor;
    iSenceScreenVerCut[s] = ver;
    for (int p = 0; p < VS_PRESETS; ++p) {
        if (!pVSenceScreen[s][p]) continue;
        pVSenceScreen[s][p]->horCut = static_cast<uint8_t>(hor);
        pVSenceScreen[s][p]->verCut = static_cast<uint8_t>(ver);
    }
    VSTextBatch batch(*this);
    const VSenceScreen& rec = *pVSenceScreen[s][0];
    for (int c = 0; c < vsGridCells(rec.rows, rec.columns); ++c)
        batch.sendAlways(rec.screenIP[c], vsCutEdgeText(rec.screenIP[c], hor, ver));
    return batch.result();
}

int VSServer::cmdVSSetRXSenceScreen(char* cmd, unsigned) {
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!vsReadNumbers(cmd, strlen(kSrcKeyword), kSlot128, 3, a, &tokens)) return -1;
    const int s = a[0], p = a[1], cell = a[2];
    const std::string ip = tokens.size() > 3 ? tokens[3] : std::string();
    if (!sceneCurrent(*this, s, p)) return -1;
    SceneWall wall{*this, s, p};
    const int cells = wall.cells();
    // A cell no loop over the grid reaches could never be shown or freed again.
    if (static_cast<unsigned>(cell) >= static_cast<unsigned>(cells)) return -1;
    if (ip.empty() || ip.size() > 127) return -1;

    ArrayList<Decoder> decoders;
    devServer.iGetQelDecoderDevices(decoders);
    const Decoder* found = nullptr;
    for (ArrayListNode<Decoder>* n = decoders.head->next; n && n->data && !found; n = n->next)
        if (n->data->ip == ip) found = n->data;
    if (!found) return -1;
    const std::string name = found->name;
    const int split = found->status;

    VSenceScreen& rec = wall.rec();
    const bool changed = rec.screenIP[cell] != ip;
    const int oldSplit = rec.screenSplitnum[cell];
    // The live-wall cells the decoder leaves, and the other cells of this wall it leaves.
    std::vector<int> liveLeft, sceneLeft;
    if (pVScreen && confVScreen)
        for (int i = 0; i < vsGridCells(iScreenRows, iScreenColumns); ++i)
            if (pVScreen->ip[i] == ip) liveLeft.push_back(i);
    for (int j = 0; j < cells; ++j)
        if (j != cell && rec.screenIP[j] == ip) sceneLeft.push_back(j);

    // Every key file first: when one cannot be written nothing changes.
    VSKeyFilesChange change;
    for (int i : liveLeft) {
        QelConfig& conf = change.edit(confVScreen);
        conf.WriteString(vsNumbered("screenIP_%02d", i), "", false);
        conf.WriteInt(vsNumbered("screenSplitnum_%02d", i), 0, false);
        conf.WriteString(vsNumbered("screenName_%02d", i), "", false);
    }
    for (int q = 0; q < VS_PRESETS; ++q) {
        QelConfig& conf = change.edit(confVSence[s][q]);
        conf.WriteString(vsNumbered("screenIP_%02d", cell), ip, false);
        conf.WriteInt(vsNumbered("screenSplitnum_%02d", cell), split, false);
        conf.WriteString(vsNumbered("screenName_%02d", cell), name, false);
        for (int j : sceneLeft) {
            conf.WriteString(vsNumbered("screenIP_%02d", j), "", false);
            conf.WriteInt(vsNumbered("screenSplitnum_%02d", j), 1, false);
            conf.WriteString(vsNumbered("screenName_%02d", j), "", false);
        }
    }
    if (!sceneKeysWritten(*this, s, change)) return -1;

    for (int i : liveLeft) {
        pVScreen->ip[i].clear();
        pVScreen->splitnum[i] = 0;
        pVScreen->name[i].clear();
    }
    for (int q = 0; q < VS_PRESETS; ++q) {
        pVSenceScreen[s][q]->screenIP[cell] = ip;
        pVSenceScreen[s][q]->screenSplitnum[cell] = split;
        pVSenceScreen[s][q]->screenName[cell] = name;
        for (int j : sceneLeft) {
            pVSenceScreen[s][q]->screenIP[j].clear();
            pVSenceScreen[s][q]->screenSplitnum[j] = 1;
            pVSenceScreen[s][q]->screenName[j].clear();
            for (int k = 0; k < VS_CELL_WINDOWS; ++k)
                removeIniSenceWin(s, q, VS_CELL_WINDOWS * j + k);
        }
    }

    for (int q = 0; q < VS_PRESETS; ++q) {
        if (q == p) {
            repairSceneCell(*this, s, p, cell, oldSplit);
            continue;
        }
        if (vsSceneCellCrossed(*this, s, q, cell, pVSenceScreen[s][q]->screenSplitnum[cell]))
            vsRelayoutScenePreset(*this, s, q);
    }

    VSTextBatch batch(*this);
    batch.sendAlways(ip, vsSplitText(ip, split, 0));
    batch.sendAlways(ip, vsRxDisplayIpText(ip));
    const VSenceScreen& r0 = *pVSenceScreen[s][0];
    const int first = VS_CELL_WINDOWS * cell;
    const int x0 = vsWrapInt(1LL * (cell % r0.columns) * iSenceRScreenWidth[s]);
    const int y0 = vsWrapInt(1LL * (cell / r0.columns) * iSenceRScreenHeight[s]);
    for (int q = 0; q < VS_PRESETS; ++q) {
        createScreenWinSence(s, q, x0, y0, iRScreenWidth, iRScreenHeight, split, first);
        createScreenWinPosSence(s, q, x0, y0, iRScreenWidth, iRScreenHeight, split, first);
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniWinSence(s, q, first + k);
    }
    batch.sendAlways(ip, vsCutEdgeText(ip, r0.horCut, r0.verCut));
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
        const int w = first + k;
        // Only the current preset takes the placement; the others are refused unchanged.
        if (k < split) replaceSceneWindow(*this, s, p, w);
        if (changed) {
            batch.sendAlways(ip, vsUrlText(ip, k, VS_UNUSED_WINDOW));
            for (int q = 0; q < VS_PRESETS; ++q)
                for (VWin* rw : {pVWinSence[s][q][w].get(), pVWinSenceOrg[s][q][w].get()}) {
                    rw->url.clear();
                    rw->name.clear();
                }
        }
    }
    for (int k = 0; k < VS_CELL_WINDOWS; ++k)
        for (int q = 0; q < VS_PRESETS; ++q) saveIniWinSence(s, q, first + k);
    return batch.result();
}

int VSServer::cmdVSDelSenceScreen(char* cmd, unsigned) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kDelKeyword), kSlot256, 1, a)) return -1;
    const int s = a[0];
    if (static_cast<unsigned>(s) >= static_cast<unsigned>(VS_SCENES) || !vsSceneValid(*this, s) ||
        !pVSenceScreen[s][0])
        return -1;
    const VSenceScreen before(pVSenceScreen[s][0].get());
    const int oldCells = vsGridCells(before.rows, before.columns);
    const VSence scene = *pVSence[s];
    if (rebuildScene(s, 1, scene.curPreset, scene.name, scene.picSrc, 2, 2, 2, 2,
                     SceneRebuild{false, true, true}) < 0)
        return -1;
    VSTextBatch batch(*this);
    for (int c = 0; c < oldCells; ++c) resetDecoder(*this, before.screenIP[c], batch);
    return 0;
}

int VSServer::cmdVSGetSenceScreen(char* cmd, ArrayList<VSenceScreen>& list, unsigned) {
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!vsReadNumbers(cmd, strlen(kListKeyword), kSlot256, 2, a, &tokens) || tokens.empty())
        return -1;
    if (!sceneInRange(a[0], a[1]) || !pVSenceScreen[a[0]][a[1]]) return -1;
    list.add(new VSenceScreen(pVSenceScreen[a[0]][a[1]].get()));
    return 1;
}

// --- windows ------------------------------------------------------------------------------

namespace {

long long snapStart(long long v, long long size) {
    return v % size >= size - 31 ? (v / size + 1) * size : v;
}
long long snapEnd(long long v, long long size) {
    const long long r = v % size;
    return r >= 1 && r <= 31 ? (v / size) * size : v;
}

// The decoder texts of a placement of window w: what stopped and began spilling, what was
// hidden and shown, and w's part on every cell it covers.
void scenePlacementTexts(VSServer& m, const SceneWall& wall, int w, unsigned direct,
                         VSTextBatch& batch) {
    const int cells = wall.cells();
    const int n = cells * VS_CELL_WINDOWS;
    const int s = wall.s, p = wall.p;
    auto now = [&](int k, int j) {
        return m.checkWhetherWindowIsOverlapSenceScreen(s, p, k, j) == 0;
    };
    auto before = [&](int k, int j) {
        return m.checkWhetherOrgWindowIsOverlapSenceScreen(s, p, k, j) == 0;
    };
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < cells; ++j)
            if (before(k, j) && !now(k, j))
                batch.send(wall.ip(j), vsDisplayText(wall.ip(j), VS_SPILL_WINDOW, false));
    for (int k = 0; k < n; ++k)
        if (wall.org(k).visible && !wall.win(k).visible)
            batch.send(wall.ip(k / 5), vsDisplayText(wall.ip(k / 5), k % 5, false));
    std::vector<bool> marked(n, false);
    bool anyMarked = false;
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < cells; ++j) {
            if (before(k, j) || !now(k, j)) continue;
            batch.send(wall.ip(j), vsUrlText(wall.ip(j), VS_SPILL_WINDOW, wall.org(k).url));
            batch.send(wall.ip(j), vsDisplayText(wall.ip(j), VS_SPILL_WINDOW, true));
            marked[k] = anyMarked = true;
        }
    const int seconds = direct ? NORMAL_HIDE_SECONDS : NORMAL_HIDE_SECONDS_LONG;
    for (int k = 0; k < n; ++k) {
        if (!marked[k]) continue;
        for (int j = 0; j < cells; ++j) {
            // The own cell's hide ends with a blank and a newline, the spill-over one not.
            if (j == k / 5) {
                std::string text = vsNormalHideText(wall.ip(j), k % 5, seconds);
                if (!text.empty() && text.size() + 2 <= static_cast<size_t>(VS_TEXT_MAX))
                    text += " \n";
                else
                    text.clear();
                batch.send(wall.ip(j), text);
            } else if (now(k, j)) {
                batch.send(wall.ip(j), vsNormalHideText(wall.ip(j), VS_SPILL_WINDOW, seconds));
            }
        }
    }
    for (int k = 0; k < n; ++k)
        if (!wall.org(k).visible && wall.win(k).visible)
            batch.send(wall.ip(k / 5), vsDisplayText(wall.ip(k / 5), k % 5, true));

    const VWin& mv = wall.win(w);
    const long long h0 = s32(mv.hStart), h1 = s32(mv.hEnd), v0 = s32(mv.vStart), v1 = s32(mv.vEnd);
    const long long width = h1 - h0, height = v1 - v0;
    const VSenceScreen& rec = wall.rec();
    const long long cw = rec.width / rec.columns, ch = rec.height / rec.rows;
    for (int j = 0; j < cells && width > 0 && height > 0; ++j) {
        const bool own = j == w / 5;
        if (!own && !now(w, j)) continue;
        const long long cx = (j % rec.columns) * cw, cy = (j / rec.columns) * ch;
        long long xs = std::max(h0 - cx, 0LL), xe = std::min(h1 - cx, cw);
        long long ys = std::max(v0 - cy, 0LL), ye = std::min(v1 - cy, ch);
        if (xs >= xe) xs = 0;
        if (ys >= ye) ys = 0;
        batch.send(wall.ip(j), vsVideoText(wall.ip(j), own ? w % 5 : VS_SPILL_WINDOW, vsWrapInt(xs),
                                           vsWrapInt(xe), vsWrapInt(ys), vsWrapInt(ye),
                                           vsWrapInt((xs + cx - h0) * 100 / width),
                                           vsWrapInt((xe + cx - h0) * 100 / width),
                                           vsWrapInt((ys + cy - v0) * 100 / height),
                                           vsWrapInt((ye + cy - v0) * 100 / height)));
    }
    if (anyMarked)
        batch.sendAlways("255.255.255.255",
                         vsMulHideText(direct ? MUL_HIDE_SECONDS_WIN : MUL_HIDE_SECONDS_LONG));
}

}  // namespace

int VSServer::cmdVSSetSenceWin(char* cmd, ArrayList<VWin>& list, unsigned direct) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kWinKeyword), kSlot256, 7, a)) return -1;
    const int s = a[0], p = a[1], w = a[2];
    if (!sceneCurrent(*this, s, p)) return -1;
    if (w < 0 || w >= VS_WALL_WINDOWS || a[4] <= a[3] || a[6] <= a[5]) {
        printf("window params wrong!\n");
        return -1;
    }
    const long long cw = iSenceRScreenWidth[s], ch = iSenceRScreenHeight[s];
    if (cw <= 0 || ch <= 0) return -1;
    SceneWall wall{*this, s, p};
    const int cells = wall.cells();
    const int n = VS_CELL_WINDOWS * cells;

    VWin& mv = wall.win(w);
    mv.win = static_cast<uint8_t>(w);
    mv.layer = 0;
    mv.visible = 1;
    mv.hStart = static_cast<uint32_t>(snapStart(a[3], cw));
    mv.vStart = static_cast<uint32_t>(snapStart(a[5], ch));
    mv.hEnd = static_cast<uint32_t>(snapEnd(a[4], cw));
    mv.vEnd = static_cast<uint32_t>(snapEnd(a[6], ch));

    // A window of a missing cell, one that does not reach its own cell (a snap to no width
    // included), or one that would give a cell a second window of another cell is undone.
    bool undo = w >= n || checkWhetherWindowIsJumpOutSenceScreen(s, p, w, w / 5) < 0;
    for (int j = 0; j < cells && !undo; ++j) {
        if (j == w / 5 || checkWhetherWindowIsOverlapSenceScreen(s, p, w, j) != 0) continue;
        for (int k = 0; k < n && !undo; ++k)
            undo = k != w && checkWhetherWindowIsOverlapSenceScreen(s, p, k, j) == 0;
    }
    if (undo) {
        VWin* copy = new VWin(wall.org(w));
        copy->win = static_cast<uint8_t>(w);
        list.add(copy);
        mv = wall.org(w);
        return 1;
    }

    cmdVSSetSenceWinState(s, p, w);
    VSTextBatch batch(*this);
    scenePlacementTexts(*this, wall, w, direct, batch);

    const int changedCount = vsStampWindows(pVWinSence[s][p], pVWinSenceOrg[s][p], 0, n, w, list,
                                            [&](int k) { saveIniWinSence(s, p, k); });
    return batch.result() < 0 ? -1 + changedCount : changedCount;
}

int VSServer::cmdVSSetSenceSplit(char* cmd, unsigned direct) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kSplitKeyword), kSlot256, 5, a)) return -1;
    const int s = a[0], p = a[1], cell = a[2], split = a[3];
    if (!sceneCurrent(*this, s, p)) return -1;
    SceneWall wall{*this, s, p};
    VSenceScreen& rec = wall.rec();
    const int cells = wall.cells();
    if ((split != 1 && split != 4 && split != 5) || a[4] != 0) return -1;
    if (cell != kAllCells && static_cast<unsigned>(cell) >= static_cast<unsigned>(cells)) return -1;

    VSKeyFilesChange change;
    QelConfig& conf = change.edit(confVSence[s][p]);
    // Every cell records its split, so a restart lays the cells out as the decoders are.
    for (int j = 0; j < cells; ++j)
        if (cell == kAllCells || j == cell)
            conf.WriteInt(vsNumbered("screenSplitnum_%02d", j), split, false);
    for (int q = 0; q < VS_PRESETS; ++q) {
        QelConfig& cq = change.edit(confVSence[s][q]);
        const VSenceScreen& rq = *pVSenceScreen[s][q];
        cq.WriteInt("disWidth", static_cast<int>(rq.disWidth), false);
        cq.WriteInt("disHeight", static_cast<int>(rq.disHeight), false);
        for (int d = 0; d < WALL_CELLS; ++d) {
            cq.WriteString(vsNumbered("disIP_%02d", d), rq.disIP[d], false);
            cq.WriteInt(vsNumbered("disSplitnum_%02d", d), rq.disSplitnum[d], false);
            cq.WriteString(vsNumbered("disName_%02d", d), rq.disName[d], false);
        }
    }
    if (!sceneKeysWritten(*this, s, change)) return -1;
    const int oldSplit = cell == kAllCells ? 0 : rec.screenSplitnum[cell];
    for (int j = 0; j < cells; ++j)
        if (cell == kAllCells || j == cell) rec.screenSplitnum[j] = split;
    senceSpareWin[s].win = VS_WALL_WINDOWS;
    senceSpareWin[s].used = 0;

    const int cellW = static_cast<int>(rec.width / std::max<int>(rec.columns, 1));
    const int cellH = static_cast<int>(rec.height / std::max<int>(rec.rows, 1));
    auto origin = [&](int j, int& x, int& y) {
        x = vsWrapInt(1LL * (j % rec.columns) * cellW);
        y = vsWrapInt(1LL * (j / rec.columns) * cellH);
    };
    VSTextBatch batch(*this);
    int x, y;
    if (cell == kAllCells) {
        for (int j = 0; j < cells; ++j) {
            batch.sendAlways(wall.ip(j), vsSplitText(wall.ip(j), split, 0));
            origin(j, x, y);
            createScreenWinSence(s, p, x, y, cellW, cellH, split, VS_CELL_WINDOWS * j);
            createScreenWinPosSence(s, p, x, y, cellW, cellH, split, VS_CELL_WINDOWS * j);
        }
        for (int w = 0; w < VS_CELL_WINDOWS * cells; ++w) saveIniWinSence(s, p, w);
        return batch.result();
    }
    const std::string ip = wall.ip(cell);
    if (direct == 1) {
        repairSceneCell(*this, s, p, cell, oldSplit);
        batch.sendAlways(ip, vsSplitText(ip, split, 0));
    } else {
        batch.sendAlways(ip, vsSplitUndisText(ip, split, 0));
    }
    origin(cell, x, y);
    const int first = VS_CELL_WINDOWS * cell;
    createScreenWinSence(s, p, x, y, cellW, cellH, split, first);
    createScreenWinPosSence(s, p, x, y, cellW, cellH, split, first);
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniWinSence(s, p, first + k);
    if (direct == 1)
        for (int k = 0; k < split; ++k) replaceSceneWindow(*this, s, p, first + k);
    return batch.result();
}

int VSServer::cmdVSSetSenceUrl(char* cmd, unsigned) {
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!vsReadNumbers(cmd, strlen(kUrlKeyword), kSlot256, 3, a, &tokens)) return -1;
    const int s = a[0], p = a[1], w = a[2];
    if (!sceneCurrent(*this, s, p)) return -1;
    if (w < 0) {
        envir() << "wrong iWinID is " << w << "!\n";
        return -1;
    }
    if (w >= VS_WALL_WINDOWS) return -1;
    const std::string kind = tokens.size() > 3 ? tokens[3] : "";
    const std::string addr = tokens.size() > 4 ? tokens[4] : "";
    ArrayList<Encoder> sources;
    if (kind.find("esource") != std::string::npos)
        devServer.iGetQelEncoderDevices(sources);
    else
        devServer.iGetQelIPSource(sources);
    Encoder* found = nullptr;
    for (ArrayListNode<Encoder>* n = sources.head->next; n && n->data && !found; n = n->next)
        if (n->data->ip == addr) found = n->data;
    if (!found) return -1;
    std::string url = found->getUrl(0);
    if (url.empty()) url = found->ip;
    // The window block holds 127 bytes of url; a longer one would come back cut.
    if (url.size() > 127) return -1;

    SceneWall wall{*this, s, p};
    VSTextBatch batch(*this);
    bool spill = false;
    for (int j = 0; j < wall.cells(); ++j) {
        if (j == w / 5) {
            batch.sendAlways(wall.ip(j), vsUrlText(wall.ip(j), w % 5, url));
        } else if (checkWhetherWindowIsOverlapSenceScreen(s, p, w, j) == 0) {
            batch.sendAlways(wall.ip(j), vsUrlText(wall.ip(j), VS_SPILL_WINDOW, url));
            spill = true;
        }
    }
    if (spill) batch.sendAlways("255.255.255.255", vsMulHideText(MUL_HIDE_SECONDS));
    for (VWin* rw : {&wall.win(w), &wall.org(w)}) {
        rw->url = url;
        rw->name = found->name;
    }
    saveIniWinSence(s, p, w);
    return batch.result();
}

int VSServer::cmdVSGetSenceWins(char* cmd, ArrayList<VWin>& list, unsigned) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kWinsKeyword), kSlot128, 2, a)) return -1;
    const int s = a[0], p = a[1];
    if (!sceneInRange(s, p) || !pVSenceScreen[s][p]) return -1;
    const VSenceScreen& rec = *pVSenceScreen[s][p];
    const int cells = vsGridCells(rec.rows, rec.columns);
    if (cells == 0) return -1;
    int listed = 0;
    for (int j = 0; j < cells; ++j) {
        if (rec.screenIP[j].empty()) continue;
        ++listed;
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
            VWin* copy = new VWin(*pVWinSence[s][p][VS_CELL_WINDOWS * j + k]);
            copy->win = static_cast<uint8_t>(VS_CELL_WINDOWS * j + k);
            list.add(copy);
        }
    }
    return listed ? listed : -1;
}
