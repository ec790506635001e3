// Loading a window mode: the stored snapshot replaces the live wall, the unicast table and the
// multicast source, and the decoders are brought to it. What differs from the state just
// before the load is hidden first; the live-wall and unicast handlers are re-entered for new
// splits and for every window's place, and every window's source is sent.
//
// The decoders receive the texts queued here and those of the re-entered handlers in the
// order the steps run. No text goes to a cell or slot without a decoder.
#include <memory>
#include <vector>

#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerReplay.h"
#include "wall/VSServerTexts.h"

// The live state just before the restore: what "changed" is judged against.
struct VSServer::ModeBefore {
    VScreen wall;
    Unicast unicast;
    std::vector<VWin> wallWins, uniWins;
};

int VSServer::blLoadWinMode(char* text, std::string& name) {
    int slot = -1;
    if (!selectWinMode(text, slot, nullptr)) return 0;
    if (!pVScreen || !pUnicast) return 0;

    std::unique_ptr<ModeBefore> before(new ModeBefore());
    before->wall = *pVScreen;
    for (int c = vsGridCells(pVScreen->rows, pVScreen->columns); c < WALL_CELLS; ++c) {
        before->wall.ip[c].clear();
        before->wall.name[c].clear();
        before->wall.splitnum[c] = 0;
    }
    before->unicast = *pUnicast;
    before->wallWins.resize(VS_WALL_WINDOWS);
    before->uniWins.resize(VS_UNICAST_WINDOWS);
    for (int w = 0; w < VS_WALL_WINDOWS; ++w)
        if (pVWin[w]) before->wallWins[w] = *pVWin[w];
    for (int w = 0; w < VS_UNICAST_WINDOWS; ++w)
        if (pUWin[w]) before->uniWins[w] = *pUWin[w];

    if (!loadModeIni(slot, name)) return 0;
    replayMode(slot, *before);
    return 1;
}

void VSServer::replayMode(int slot, const ModeBefore& before) {
    const VScreen& v = *pVScreen;
    const int cells = vsGridCells(v.rows, v.columns);
    const int n = VS_CELL_WINDOWS * cells;
    auto wallChanged = [&](int w) {
        return pVWin[w] && vsShownDiffers(*pVWin[w], before.wallWins[w], false);
    };
    auto uniChanged = [&](int w) {
        return pUWin[w] && vsShownDiffers(*pUWin[w], before.uniWins[w], false);
    };
    ArrayList<VWin> scratch;

    // 4. Cut edges, to every cell with a decoder, when they changed.
    if (iScreenHorCut != before.wall.horCut || iScreenVerCut != before.wall.verCut)
        for (int i = 0; i < cells; ++i)
            replayText(v.ip[i], vsCutEdgeText(v.ip[i], iScreenHorCut, iScreenVerCut));
    // 5. Hide the changing windows of cells that keep their decoder and split.
    for (int i = 0; i < cells; ++i) {
        if (v.ip[i].empty() || v.ip[i] != before.wall.ip[i] ||
            v.splitnum[i] != before.wall.splitnum[i])
            continue;
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
            if (!wallChanged(VS_CELL_WINDOWS * i + k)) continue;
            replayDisplayOff(v.ip[i], k);
            replayHide(v.ip[i], k, NORMAL_HIDE_SECONDS_LONG);
        }
    }
    // 6. A new decoder or split: the cell's split, told without showing.
    for (int i = 0; i < cells; ++i) {
        if (v.ip[i].empty()) continue;
        if (v.ip[i] == before.wall.ip[i] && v.splitnum[i] == before.wall.splitnum[i]) continue;
        std::string t = vsFormatText("config set vs split params %d %d %d", i, v.splitnum[i], 0);
        cmdVSSetSplit(&t[0], 0);
    }
    // 7. Window 16 of the other cells a changing window reaches, or reached.
    for (int w = 0; w < n; ++w) {
        const int c = w / VS_CELL_WINDOWS;
        if (v.ip[c].empty() || !wallChanged(w)) continue;
        for (int j = 0; j < cells; ++j) {
            if (j == c) continue;
            if (checkWhetherWindowIsOverlapScreen(w, j) == 0)
                replayHide(v.ip[j], VS_SPILL_WINDOW, NORMAL_HIDE_SECONDS_LONG);
            else if (checkWhetherLoadModeWindowIsOverlapScreen(before.wallWins[w], w, j) == 0)
                replayDisplayOff(v.ip[j], VS_SPILL_WINDOW);
        }
    }
    // 8. Unicast slots: a decoder new to the table or on another split gets its split; one
    // that stays has its changing windows turned off.
    for (int s = 0; s < UNICAST_SLOTS; ++s) {
        const std::string ip = pUnicast->ip[s];
        const int split = pUnicast->splitnum[s];
        if (ip.empty()) continue;
        int k = 0;
        while (k < UNICAST_SLOTS && before.unicast.ip[k] != ip) ++k;
        if (k == UNICAST_SLOTS || before.unicast.splitnum[k] != split) {
            iUnicastCurIndex = s;
            std::string t = vsFormatText("config set unicast split params %d %d %d", s, split, 0);
            cmdUnicastSetSplit(&t[0], 0);
            continue;
        }
        for (int kk = 0; kk < VS_CELL_WINDOWS; ++kk)
            if (uniChanged(VS_CELL_WINDOWS * s + kk)) replayDisplayOff(ip, kk);
    }
    // 9. The split handlers re-laid windows and cleared the multicast source: the stored mode
    // goes back into the model.
    std::string name;
    loadModeIni(slot, name);
    // 10.
    replayAllHide(MUL_HIDE_SECONDS_LONG);
    // 11. Wall sources: every window on its own cell, and on window 16 of each cell it reaches.
    for (int w = 0; w < n; ++w) {
        const int c = w / VS_CELL_WINDOWS;
        if (v.ip[c].empty() || !pVWin[w]) continue;
        for (int j = 0; j < cells; ++j) {
            if (j == c)
                replaySource(v.ip[c], w % VS_CELL_WINDOWS, *pVWin[w]);
            else if (checkWhetherWindowIsOverlapScreen(w, j) == 0)
                replaySource(v.ip[j], VS_SPILL_WINDOW, *pVWin[w]);
        }
    }
    // 12.
    replayAllHide(MUL_HIDE_SECONDS_LONG);
    // 13. Wall windows placed again.
    for (int w = 0; w < n; ++w) {
        if (v.ip[w / VS_CELL_WINDOWS].empty() || !pVWin[w]) continue;
        const VWin win = *pVWin[w];
        if (win.used != 1 || win.visible != 1) continue;
        std::string t = vsFormatText("config set vs win params %d %d %d %d %d", w,
                                     static_cast<int>(win.hStart), static_cast<int>(win.hEnd),
                                     static_cast<int>(win.vStart), static_cast<int>(win.vEnd));
        cmdVSSetWin(&t[0], scratch, 0);
    }
    // 14.
    replayAllHide(MUL_HIDE_SECONDS_LOADMODE);
    // 15. Unicast sources.
    for (int u = 0; u < VS_UNICAST_WINDOWS; ++u)
        if (pUWin[u])
            replaySource(pUnicast->ip[u / VS_CELL_WINDOWS], u % VS_CELL_WINDOWS, *pUWin[u]);
    // 16. Unicast windows placed again.
    for (int u = 0; u < VS_UNICAST_WINDOWS; ++u) {
        if (pUnicast->ip[u / VS_CELL_WINDOWS].empty() || !pUWin[u]) continue;
        const VWin win = *pUWin[u];
        if (win.used != 1 || win.visible != 1) continue;
        std::string t = vsFormatText("config set unicast win params %d %d %d %d %d", u,
                                     static_cast<int>(win.hStart), static_cast<int>(win.hEnd),
                                     static_cast<int>(win.vStart), static_cast<int>(win.vEnd));
        cmdVSSetUniWin(&t[0], scratch, 1);
    }
    // 17.
    replayAllHide(MUL_HIDE_SECONDS_LOADMODE);
}
