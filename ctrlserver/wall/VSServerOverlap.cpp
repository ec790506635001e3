// Overlap and visibility tests. Every test compares rectangles with one predicate: strict,
// signed comparisons of the inclusive edges, so windows that meet only along one pixel
// column or row do not overlap, and a window reaches the cell on its right only from
// hEnd = the cell's left edge + 1 on.
#include <algorithm>
#include <cstdint>

#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"

namespace {

// A rectangle as the predicate compares it: edges as the box's signed 32-bit numbers.
struct Rect {
    int32_t h0, h1, v0, v1;
};

Rect rectOf(const VWin& w) {
    return Rect{static_cast<int32_t>(w.hStart), static_cast<int32_t>(w.hEnd),
                static_cast<int32_t>(w.vStart), static_cast<int32_t>(w.vEnd)};
}

bool overlaps(const Rect& a, const Rect& b) {
    return a.h0 < b.h1 && b.h0 < a.h1 && a.v0 < b.v1 && b.v0 < a.v1;
}

// Cell c of a rows x columns grid over a width x height wall: left and top edge, and the
// first pixel of the next cell as right and bottom edge. False when the grid has no cells or
// c lies outside it.
bool cellRect(uint32_t width, uint32_t height, int rows, int columns, int c, Rect& out) {
    if (c < 0 || c >= vsGridCells(rows, columns)) return false;
    const uint32_t cw = width / static_cast<uint32_t>(columns);
    const uint32_t ch = height / static_cast<uint32_t>(rows);
    const uint32_t left = cw * static_cast<uint32_t>(c % columns);
    const uint32_t top = ch * static_cast<uint32_t>(c / columns);
    out = Rect{static_cast<int32_t>(left), static_cast<int32_t>(left + cw),
               static_cast<int32_t>(top), static_cast<int32_t>(top + ch)};
    return true;
}

enum class Hidden { Excluded, Tested };
enum class OwnCell { Excluded, Tested };

// Window number `number` (record w) against cell c of a grid, with a test's exclusions.
int windowAgainstCell(const VWin* w, int number, uint32_t width, uint32_t height, int rows,
                      int columns, int c, OwnCell own, Hidden hidden) {
    if (!w || number < 0 || number >= VS_WALL_WINDOWS || !w->used) return -1;
    if (own == OwnCell::Excluded && number / VS_CELL_WINDOWS == c) return -1;
    if (hidden == Hidden::Excluded && !w->visible) return -1;
    Rect cell;
    if (!cellRect(width, height, rows, columns, c, cell)) return -1;
    return overlaps(rectOf(*w), cell) ? 0 : -1;
}

int windowAgainstWindow(const VWin* a, const VWin* b) {
    if (!a || !b || !a->used || !b->used || a->layer != b->layer) return -1;
    return overlaps(rectOf(*a), rectOf(*b)) ? 0 : -1;
}

// The visibility pass over windows first..first+n-1 of a family after window win was
// placed; overlap(a, b) is the family's window/window test. Flags change as the pass goes.
template <class Overlap>
void visibilityPass(std::unique_ptr<VWin>* wins, int first, int n, int win, Overlap overlap) {
    for (int i = first; i < first + n; ++i) {
        if (i == win || !wins[i]) continue;
        if (overlap(win, i) == 0 && wins[i]->visible == 1) wins[i]->visible = 0;
    }
    for (int i = first; i < first + n; ++i) {
        if (i == win || !wins[i] || !wins[i]->used || wins[i]->visible != 0) continue;
        bool covered = false;
        for (int j = first; j < first + n && !covered; ++j)
            covered = wins[j] && overlap(j, i) == 0 && wins[j]->visible == 1;
        if (!covered) wins[i]->visible = 1;
    }
}

}  // namespace

int VSServer::checkWhetherWindowIsOverlapWindow(int a, int b) {
    if (a < 0 || a >= VS_WALL_WINDOWS || b < 0 || b >= VS_WALL_WINDOWS) return -1;
    return windowAgainstWindow(pVWin[a].get(), pVWin[b].get());
}

int VSServer::checkWhetherUnicastWindowIsOverlapWindow(int a, int b) {
    if (a < 0 || a >= VS_UNICAST_WINDOWS || b < 0 || b >= VS_UNICAST_WINDOWS) return -1;
    return windowAgainstWindow(pUWin[a].get(), pUWin[b].get());
}

int VSServer::checkWhetherWindowIsOverlapScreen(int win, int cell) {
    if (!pVScreen || win < 0 || win >= VS_WALL_WINDOWS) return -1;
    return windowAgainstCell(pVWin[win].get(), win, pVScreen->width, pVScreen->height,
                             pVScreen->rows, pVScreen->columns, cell, OwnCell::Excluded,
                             Hidden::Excluded);
}

int VSServer::checkWhetherWindowIsJumpOutScreen(int win, int cell) {
    if (!pVScreen || win < 0 || win >= VS_WALL_WINDOWS) return -1;
    return windowAgainstCell(pVWin[win].get(), win, pVScreen->width, pVScreen->height,
                             pVScreen->rows, pVScreen->columns, cell, OwnCell::Tested,
                             Hidden::Tested);
}

int VSServer::checkWhetherOrgWindowIsOverlapScreen(int win, int cell) {
    if (!pVScreen || win < 0 || win >= VS_WALL_WINDOWS) return -1;
    return windowAgainstCell(pVWinOrg[win].get(), win, pVScreen->width, pVScreen->height,
                             pVScreen->rows, pVScreen->columns, cell, OwnCell::Excluded,
                             Hidden::Excluded);
}

int VSServer::checkWhetherOrgWindowIsOverlapScreen_2(int win, int cell) {
    if (!pVScreen || win < 0 || win >= VS_WALL_WINDOWS) return -1;
    return windowAgainstCell(pVWinOrg[win].get(), win, pVScreen->width, pVScreen->height,
                             pVScreen->rows, pVScreen->columns, cell, OwnCell::Excluded,
                             Hidden::Tested);
}

int VSServer::checkWhetherLoadModeWindowIsOverlapScreen(VWin w, int win, int cell) {
    if (!pVScreen) return -1;
    return windowAgainstCell(&w, win, pVScreen->width, pVScreen->height, pVScreen->rows,
                             pVScreen->columns, cell, OwnCell::Excluded, Hidden::Excluded);
}

int VSServer::checkWhetherWindowIsOverlapSenceScreen(int s, int p, int w, int cell) {
    if (s < 0 || s >= VS_SCENES || p < 0 || p >= VS_PRESETS || w < 0 || w >= VS_WALL_WINDOWS)
        return -1;
    const VSenceScreen* rec = pVSenceScreen[s][p].get();
    if (!rec) return -1;
    return windowAgainstCell(pVWinSence[s][p][w].get(), w, rec->width, rec->height, rec->rows,
                             rec->columns, cell, OwnCell::Excluded, Hidden::Excluded);
}

void VSServer::cmdVSSetWinState(int win) {
    if (!pVScreen || win < 0 || win >= VS_WALL_WINDOWS) return;
    const int n = vsGridCells(pVScreen->rows, pVScreen->columns) * VS_CELL_WINDOWS;
    if (n == 0) return;
    visibilityPass(pVWin, 0, n, win,
                   [this](int a, int b) { return checkWhetherWindowIsOverlapWindow(a, b); });
}

void VSServer::cmdVSSetUniWinState(int win) {
    if (win < 0 || win >= VS_UNICAST_WINDOWS) return;
    const int first = VS_CELL_WINDOWS * (win / VS_CELL_WINDOWS);
    visibilityPass(pUWin, first, VS_CELL_WINDOWS, win,
                   [this](int a, int b) { return checkWhetherUnicastWindowIsOverlapWindow(a, b); });
}

int VSServer::cmdMulticastSetRXScreen(char*, unsigned) {
    return 0;
}

// --- Scene walls and scene displays --------------------------------------------------------

namespace {

bool inScene(int s, int p, int w) {
    return s >= 0 && s < VS_SCENES && p >= 0 && p < VS_PRESETS && w >= 0 && w < VS_WALL_WINDOWS;
}

}  // namespace

int VSServer::checkWhetherWindowIsOverlapSenceWindow(int s, int p, int a, int b) {
    if (!inScene(s, p, a) || !inScene(s, p, b)) return -1;
    return windowAgainstWindow(pVWinSence[s][p][a].get(), pVWinSence[s][p][b].get());
}

int VSServer::checkWhetherDisplayWindowIsOverlapWindow(int s, int p, int a, int b) {
    if (!inScene(s, p, a) || !inScene(s, p, b)) return -1;
    return windowAgainstWindow(pDisWin[s][p][a].get(), pDisWin[s][p][b].get());
}

int VSServer::checkWhetherWindowIsJumpOutSenceScreen(int s, int p, int w, int cell) {
    if (!inScene(s, p, w) || !pVSenceScreen[s][p]) return -1;
    const VSenceScreen& rec = *pVSenceScreen[s][p];
    return windowAgainstCell(pVWinSence[s][p][w].get(), w, rec.width, rec.height, rec.rows,
                             rec.columns, cell, OwnCell::Tested, Hidden::Tested);
}

int VSServer::checkWhetherOrgWindowIsOverlapSenceScreen(int s, int p, int w, int cell) {
    if (!inScene(s, p, w) || !pVSenceScreen[s][p]) return -1;
    const VSenceScreen& rec = *pVSenceScreen[s][p];
    return windowAgainstCell(pVWinSenceOrg[s][p][w].get(), w, rec.width, rec.height, rec.rows,
                             rec.columns, cell, OwnCell::Excluded, Hidden::Excluded);
}

int VSServer::checkWhetherOrgWindowIsOverlapSenceScreen_2(int s, int p, int w, int cell) {
    if (!inScene(s, p, w) || !pVSenceScreen[s][p]) return -1;
    const VSenceScreen& rec = *pVSenceScreen[s][p];
    return windowAgainstCell(pVWinSenceOrg[s][p][w].get(), w, rec.width, rec.height, rec.rows,
                             rec.columns, cell, OwnCell::Excluded, Hidden::Tested);
}

int VSServer::checkWhetherLoadPresetWindowIsOverlapSenceScreen(VWin win, int s, int p, int w,
                                                               int cell) {
    if (!inScene(s, p, 0) || !pVSenceScreen[s][p]) return -1;
    const VSenceScreen& rec = *pVSenceScreen[s][p];
    return windowAgainstCell(&win, w, rec.width, rec.height, rec.rows, rec.columns, cell,
                             OwnCell::Excluded, Hidden::Tested);
}

void VSServer::cmdVSSetSenceWinState(int s, int p, int w) {
    if (!inScene(s, p, w) || !pVSenceScreen[s][p]) return;
    const int n =
        vsGridCells(pVSenceScreen[s][p]->rows, pVSenceScreen[s][p]->columns) * VS_CELL_WINDOWS;
    if (n == 0) return;
    visibilityPass(pVWinSence[s][p], 0, n, w, [this, s, p](int a, int b) {
        return checkWhetherWindowIsOverlapSenceWindow(s, p, a, b);
    });
}

void VSServer::cmdVSSetDisWinState(int s, int p, int w) {
    if (!inScene(s, p, w)) return;
    const int first = VS_CELL_WINDOWS * (w / VS_CELL_WINDOWS);
    visibilityPass(pDisWin[s][p], first, VS_CELL_WINDOWS, w, [this, s, p](int a, int b) {
        return checkWhetherDisplayWindowIsOverlapWindow(s, p, a, b);
    });
}
