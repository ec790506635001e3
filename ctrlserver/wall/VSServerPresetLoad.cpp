// Loading and recalling a scene preset: the preset becomes the scene's current one and its
// decoders are brought to its layout. What changes against the preset that was current is
// hidden first; the scene split and window handlers are re-entered to place the windows, and
// every window's source is sent. A recall then copies the scene into the live wall and the
// first 16 unicast slots, with their files; that copy sends nothing.
//
// The decoders receive the texts queued here and those of the re-entered handlers in the
// order the steps run. No text goes to a cell or display without a decoder.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerReplay.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

const char kLoadKeyword[] = "config load sence preset params";
const char kRecallKeyword[] = "config recall sence preset params";
const size_t kPresetTokenMax = 127;

}  // namespace

int VSServer::updateDecoderSplit(const std::string& ip, const std::string& name, int split) {
    ArrayList<Decoder> decoders;
    devServer.iGetQelDecoderDevices(decoders);
    for (ArrayListNode<Decoder>* n = decoders.head->next; n && n->data; n = n->next) {
        if (n->data->ip != ip || n->data->status == split) continue;
        devServer.iUpdateQelDevice(1, ip, name, split);
        return 1;
    }
    return 0;
}

int VSServer::cmdVSLoadSencePreset(char* cmd, unsigned) {
    return applyPreset(cmd, false);
}

int VSServer::cmdVSRecallSencePreset(char* cmd, unsigned) {
    return applyPreset(cmd, true);
}

int VSServer::applyPreset(char* cmd, bool recall) {
    std::string copy(cmd ? cmd : "");
    std::vector<std::string> tokens;
    const size_t keyword = strlen(recall ? kRecallKeyword : kLoadKeyword);
    if (!vsCommandTokens(&copy[0], keyword, kPresetTokenMax, tokens)) return -1;
    int s = 0, p = 0;
    if (!vsTokenIntAt(tokens, 0, s) || !vsTokenIntAt(tokens, 1, p)) return -1;
    if (static_cast<unsigned>(s) >= VS_SCENES || static_cast<unsigned>(p) >= VS_PRESETS) return -1;
    if (!pVSence[s]) return -1;
    for (int k = 0; k < VS_PRESETS; ++k)
        if (!pVSenceScreen[s][k]) return -1;
    const int old = pVSence[s]->curPreset < VS_PRESETS ? pVSence[s]->curPreset : 0;
    if (!recall && p == old) return 0;

    // 1. The current preset, in memory and in the scene's three key files.
    pVSence[s]->curPreset = static_cast<uint8_t>(p);
    iSenceScreenCurPreset[s] = p;
    if (recall) iSenceCurrent = s;
    for (int k = 0; k < VS_PRESETS; ++k)
        if (!confVSence[s][k] || !confVSence[s][k]->WriteInt("screensenceCurPreset", p, true))
            envir() << "scene " << s << ": current preset not written to preset file " << k << "\n";

    // 2. The working copy: the re-entered handlers rewrite the live records of (s, p).
    const VSenceScreen rec(pVSenceScreen[s][p].get());
    const VSenceScreen& before = *pVSenceScreen[s][old];
    const int cells = vsGridCells(rec.rows, rec.columns);
    const int n = VS_CELL_WINDOWS * cells;
    std::vector<VWin> wall(static_cast<size_t>(n)), dis(VS_WALL_WINDOWS);
    for (int w = 0; w < n; ++w)
        if (pVWinSence[s][p][w]) wall[w] = *pVWinSence[s][p][w];
    for (int w = 0; w < VS_WALL_WINDOWS; ++w)
        if (pDisWin[s][p][w]) dis[w] = *pDisWin[s][p][w];
    auto wallChanged = [&](int w) {
        const VWin* o = pVWinSence[s][old][w].get();
        return !o || vsShownDiffers(wall[w], *o, false);
    };
    auto disChanged = [&](int w) {
        const VWin* o = pDisWin[s][old][w].get();
        return !o || vsShownDiffers(dis[w], *o, true);
    };
    auto cellIp = [&](int c) -> const std::string& { return rec.screenIP[c]; };
    ArrayList<VWin> scratch;

    // 3. Hide the changing windows of cells whose split stays.
    for (int i = 0; i < cells; ++i) {
        if (cellIp(i).empty() || rec.screenSplitnum[i] != before.screenSplitnum[i]) continue;
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
            if (!wallChanged(VS_CELL_WINDOWS * i + k)) continue;
            replayDisplayOff(cellIp(i), k);
            replayHide(cellIp(i), k, NORMAL_HIDE_SECONDS_LONG);
        }
    }
    // 4. New splits.
    for (int i = 0; i < cells; ++i) {
        if (cellIp(i).empty() || rec.screenSplitnum[i] == before.screenSplitnum[i]) continue;
        std::string t = vsFormatText("config set sence vs split params %d %d %d %d %d \n", s, p, i,
                                     rec.screenSplitnum[i], 0);
        cmdVSSetSenceSplit(&t[0], 0);
    }
    // 5. Window 16 of the other cells a changing window reaches, or reached.
    for (int w = 0; w < n; ++w) {
        const int c = w / VS_CELL_WINDOWS;
        if (cellIp(c).empty() || !wallChanged(w)) continue;
        for (int j = 0; j < cells; ++j) {
            if (j == c) continue;
            if (checkWhetherWindowIsOverlapSenceScreen(s, p, w, j) == 0)
                replayHide(cellIp(j), VS_SPILL_WINDOW, NORMAL_HIDE_SECONDS_LONG);
            else if (checkWhetherLoadPresetWindowIsOverlapSenceScreen(wall[w], s, p, w, j) == 0)
                replayDisplayOff(cellIp(j), VS_SPILL_WINDOW);
        }
    }
    // 6. Display screens: a new split, or hides for the changing windows.
    for (int i = 0; i < WALL_CELLS; ++i) {
        const std::string& ip = rec.disIP[i];
        if (ip.empty()) continue;
        if (rec.disSplitnum[i] != before.disSplitnum[i]) {
            replayText(ip, vsFormatText("config set split params %s %d %d", ip.c_str(),
                                        rec.disSplitnum[i], 0));
            continue;
        }
        for (int w = VS_CELL_WINDOWS * i; w < VS_CELL_WINDOWS * (i + 1); ++w) {
            if (!disChanged(w)) continue;
            replayDisplayOff(ip, w % VS_CELL_WINDOWS);
            replayHide(ip, w % VS_CELL_WINDOWS, NORMAL_HIDE_SECONDS_LONG);
        }
    }
    // 7.
    replayAllHide(MUL_HIDE_SECONDS_LONG);
    // 8. The stored windows back into the scene wall (the org records are copies of their own).
    for (int w = 0; w < n; ++w) {
        if (cellIp(w / VS_CELL_WINDOWS).empty()) continue;
        if (!pVWinSence[s][p][w] || !pVWinSenceOrg[s][p][w]) continue;
        *pVWinSence[s][p][w] = wall[w];
        *pVWinSenceOrg[s][p][w] = wall[w];
        saveIniWinSence(s, p, w);
    }
    // 9. Wall sources: every window on its own cell, and on window 16 of each cell it reaches.
    for (int w = 0; w < n; ++w) {
        const int c = w / VS_CELL_WINDOWS;
        if (cellIp(c).empty()) continue;
        for (int j = 0; j < cells; ++j) {
            if (j == c)
                replaySource(cellIp(c), w % VS_CELL_WINDOWS, wall[w]);
            else if (checkWhetherWindowIsOverlapSenceScreen(s, p, w, j) == 0)
                replaySource(cellIp(j), VS_SPILL_WINDOW, wall[w]);
        }
    }
    // 10.
    replayAllHide(MUL_HIDE_SECONDS_LONG);
    // 11. Wall windows placed again.
    for (int w = 0; w < n; ++w) {
        if (cellIp(w / VS_CELL_WINDOWS).empty() || wall[w].used != 1 || wall[w].visible != 1)
            continue;
        std::string t =
            vsFormatText("config set sence vs win params %d %d %d %d %d %d %d", s, p, w,
                         static_cast<int>(wall[w].hStart), static_cast<int>(wall[w].hEnd),
                         static_cast<int>(wall[w].vStart), static_cast<int>(wall[w].vEnd));
        cmdVSSetSenceWin(&t[0], scratch, 0);
    }
    // 12.
    replayAllHide(MUL_HIDE_SECONDS_LONG);
    // 13. Display sources.
    for (int w = 0; w < VS_WALL_WINDOWS; ++w)
        replaySource(rec.disIP[w / VS_CELL_WINDOWS], w % VS_CELL_WINDOWS, dis[w]);
    // 14. Display windows placed again.
    for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
        if (rec.disIP[w / VS_CELL_WINDOWS].empty() || dis[w].used != 1 || dis[w].visible != 1)
            continue;
        std::string t =
            vsFormatText("config set sence display win params %d %d %d %d %d %d %d %d", s, p,
                         w / VS_CELL_WINDOWS, w % VS_CELL_WINDOWS, static_cast<int>(dis[w].hStart),
                         static_cast<int>(dis[w].hEnd), static_cast<int>(dis[w].vStart),
                         static_cast<int>(dis[w].vEnd));
        cmdVSSetDisWin(&t[0], scratch, 1);
    }
    // 15.
    replayAllHide(MUL_HIDE_SECONDS);

    if (recall) {
        recallIntoLive(rec, wall, dis);
        return 1;
    }
    // 16. Decoder records of the cells and displays whose split count changed.
    bool changed = false;
    for (int i = 0; i < cells; ++i)
        if (updateDecoderSplit(rec.screenIP[i], rec.screenName[i], rec.screenSplitnum[i]))
            changed = true;
    for (int i = 0; i < WALL_CELLS; ++i)
        if (updateDecoderSplit(rec.disIP[i], rec.disName[i], rec.disSplitnum[i])) changed = true;
    if (changed) devServer.blNewSaveQelDeviceToConfig(1);
    return 1;
}

void VSServer::recallIntoLive(const VSenceScreen& rec, const std::vector<VWin>& wall,
                              const std::vector<VWin>& dis) {
    if (!pVScreen || !pUnicast) return;
    const int cells = vsGridCells(rec.rows, rec.columns);
    const int rows = rec.rows, columns = rec.columns;
    bool changed = false;

    // The live wall takes the scene's grid, globals included: the live-wall handlers read
    // those.
    VScreen& v = *pVScreen;
    v.rows = rec.rows;
    v.columns = rec.columns;
    v.horCut = rec.horCut;
    v.verCut = rec.verCut;
    iScreenRows = rec.rows;
    iScreenColumns = rec.columns;
    iScreenHorCut = rec.horCut;
    iScreenVerCut = rec.verCut;
    iVScreenWidth = vsWrapInt(1LL * columns * iRScreenWidth);
    iVScreenHeight = vsWrapInt(1LL * rows * iRScreenHeight);
    v.width = static_cast<uint32_t>(iVScreenWidth);
    v.height = static_cast<uint32_t>(iVScreenHeight);
    for (int i = 0; i < cells; ++i) {
        v.ip[i] = rec.screenIP[i];
        v.splitnum[i] = rec.screenSplitnum[i];
        v.name[i] = rec.screenName[i];
        if (updateDecoderSplit(rec.screenIP[i], rec.screenName[i], rec.screenSplitnum[i]))
            changed = true;
    }
    // One write of the whole file, geometry keys also for a wall without cells.
    if (!vsRebuildKeyFile(confVScreen, [&](QelConfig& conf) {
            conf.WriteInt("screenRows", v.rows, false);
            conf.WriteInt("screenColumns", v.columns, false);
            conf.WriteInt("screenHorCut", v.horCut, false);
            conf.WriteInt("screenVerCut", v.verCut, false);
            conf.WriteInt("screenWidth", static_cast<int>(v.width), false);
            conf.WriteInt("screenHeight", static_cast<int>(v.height), false);
            for (int i = 0; i < cells; ++i) {
                conf.WriteString(vsNumbered("screenIP_%02d", i), v.ip[i], false);
                conf.WriteInt(vsNumbered("screenSplitnum_%02d", i), v.splitnum[i], false);
                conf.WriteString(vsNumbered("screenName_%02d", i), v.name[i], false);
            }
        }))
        envir() << "recall: cannot write /mnt/qelconfVscreen.ini\n";

    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int k = r * columns + c;
            if (k >= cells) break;
            const int x = vsWrapInt(1LL * c * iRScreenWidth);
            const int y = vsWrapInt(1LL * r * iRScreenHeight);
            createScreenWin(x, y, iRScreenWidth, iRScreenHeight, v.splitnum[k],
                            VS_CELL_WINDOWS * k);
            createScreenWinPos(x, y, iRScreenWidth, iRScreenHeight, v.splitnum[k],
                               VS_CELL_WINDOWS * k);
        }
    }
    for (int w = 0; w < VS_CELL_WINDOWS * cells; ++w) {
        if (!pVWin[w] || !pVWinOrg[w]) continue;
        const VWin win = rec.screenIP[w / VS_CELL_WINDOWS].empty() ? vsBlankWin(w) : wall[w];
        *pVWin[w] = win;
        *pVWinOrg[w] = win;
        saveIniWin(w);
    }

    Unicast& u = *pUnicast;
    u.width = iRScreenWidth;
    u.height = iRScreenHeight;
    u.curIndex = 0;
    iUnicastCurIndex = 0;
    iUnicastSplitNum = rec.disSplitnum[0];
    for (int i = 0; i < WALL_CELLS; ++i) {
        u.ip[i] = rec.disIP[i];
        u.name[i] = rec.disName[i];
        u.splitnum[i] = rec.disSplitnum[i];
        if (updateDecoderSplit(rec.disIP[i], rec.disName[i], rec.disSplitnum[i])) changed = true;
    }
    // One write of the whole file; slots 16 and on keep their keys.
    if (!vsRebuildKeyFile(confUnicast, [&](QelConfig& conf) {
            conf.WriteInt("screenWidth", iRScreenWidth, false);
            conf.WriteInt("screenHeight", iRScreenHeight, false);
            conf.WriteInt("unicastCurIndex", 0, false);
            for (int i = 0; i < UNICAST_SLOTS; ++i) {
                conf.WriteString(vsNumbered("unicastip_%02d", i), u.ip[i], false);
                conf.WriteString(vsNumbered("unicastname_%02d", i), u.name[i], false);
                conf.WriteInt(vsNumbered("unicastsplitnum_%02d", i), u.splitnum[i], false);
            }
        }))
        envir() << "recall: cannot write /mnt/qelconfUnicast.ini\n";

    for (int w = 0; w < VS_UNICAST_WINDOWS; ++w) {
        for (VWin* x : {pUWin[w].get(), pUWinOrg[w].get()}) {
            if (!x) continue;
            x->url.clear();
            x->name.clear();
            x->used = 0;
        }
    }
    for (int i = 0; i < WALL_CELLS; ++i) {
        if (rec.disIP[i].empty()) continue;
        createUnicastWin(0, 0, iRScreenWidth, iRScreenHeight, rec.disSplitnum[i],
                         VS_CELL_WINDOWS * i);
        createUnicastWinPos(0, 0, iRScreenWidth, iRScreenHeight, rec.disSplitnum[i],
                            VS_CELL_WINDOWS * i);
    }
    for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
        if (rec.disIP[w / VS_CELL_WINDOWS].empty() || !pUWin[w] || !pUWinOrg[w]) continue;
        *pUWin[w] = dis[w];
        *pUWinOrg[w] = dis[w];
        saveIniUniWin(w);
    }
    if (changed) devServer.blNewSaveQelDeviceToConfig(1);
}
