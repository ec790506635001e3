// Window placement on the live wall and the full-window toggle. Both end in one placement:
// refusal tests, visibility, the decoder texts of what changed between the committed record
// (what the decoders were last told) and the live record, the stacking order, the commit and
// the saves.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "wall/VSServer.h"
#include "wall/VSServerArgs.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

// "config set vs win params" and "config set vs dbl params"; the arguments start one blank
// after them.
const size_t kKeywordLength = 24;
const size_t kTokenMax = 255;

// The window number that stands for "no window enlarged".
const int kNoDbl = VS_WALL_WINDOWS;

int badParams() {
    printf("window params wrong!\n");
    return -1;
}

bool fitsInt(long long v) {
    return v >= INT_MIN && v <= INT_MAX;
}

// Snaps a start within the last 31 pixels of a cell to the next cell's first pixel, and an end
// within 31 pixels past a border back onto the border (C division: negative values keep
// their place).
long long snapStart(long long v, long long size) {
    return v % size >= size - 31 ? (v / size + 1) * size : v;
}
long long snapEnd(long long v, long long size) {
    const long long r = v % size;
    return r >= 1 && r <= 31 ? (v / size) * size : v;
}

int32_t s32(uint32_t v) {
    return static_cast<int32_t>(v);
}

}  // namespace

struct VSServer::PlaceMode {
    bool hides;               // normal and multi-hide texts (placement only)
    unsigned flag;            // 0: the long hide times of a window-mode replay
    const char* outCell;      // logged when the window would leave its own cell
    const char* doubleSpill;  // logged when a cell would show two spilling windows
};

int VSServer::liveWallCells() const {
    return pVScreen ? vsGridCells(pVScreen->rows, pVScreen->columns) : 0;
}

bool VSServer::wallTextsFit() const {
    if (!pVScreen) return false;
    size_t longestIp = 0;
    for (int c = 0; c < WALL_CELLS; ++c) longestIp = std::max(longestIp, pVScreen->ip[c].size());
    // The url text is the longest: prefix, address, window 16, url.
    const size_t urlText = strlen("config set url params ") + longestIp + strlen(" 16 ");
    if (longestIp > 127) return false;
    for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
        for (const VWin* rec : {pVWin[w].get(), pVWinOrg[w].get()})
            if (rec && urlText + rec->url.size() > static_cast<size_t>(VS_TEXT_MAX)) return false;
    }
    return true;
}

void VSServer::wallCellRect(int c, int& x, int& y, int& w, int& h) const {
    const uint32_t columns = pVScreen->columns ? pVScreen->columns : 1;
    const uint32_t rows = pVScreen->rows ? pVScreen->rows : 1;
    const uint32_t cw = pVScreen->width / columns, ch = pVScreen->height / rows;
    x = vsWrapInt(1LL * cw * (static_cast<uint32_t>(c) % columns));
    y = vsWrapInt(1LL * ch * (static_cast<uint32_t>(c) / columns));
    w = static_cast<int>(cw);
    h = static_cast<int>(ch);
}

int VSServer::refuseWallWindow(int w, ArrayList<VWin>& list) {
    VWin* copy = new VWin(*pVWinOrg[w]);
    copy->win = static_cast<uint8_t>(w);
    list.add(copy);
    *pVWin[w] = *pVWinOrg[w];
    return 1;
}

void VSServer::sendWallWindowTexts(int w, const PlaceMode& mode, VSTextBatch& batch) {
    const int cells = liveWallCells();
    const int n = cells * VS_CELL_WINDOWS;
    const std::string* ip = pVScreen->ip;
    auto spillsNow = [&](int i, int s) { return checkWhetherWindowIsOverlapScreen(i, s) == 0; };
    auto spilled = [&](int i, int s) { return checkWhetherOrgWindowIsOverlapScreen(i, s) == 0; };

    for (int i = 0; i < n; ++i)
        for (int s = 0; s < cells; ++s)
            if (spilled(i, s) && !spillsNow(i, s))
                batch.send(ip[s], vsDisplayText(ip[s], VS_SPILL_WINDOW, false));
    for (int i = 0; i < n; ++i)
        if (pVWinOrg[i]->visible && !pVWin[i]->visible)
            batch.send(ip[i / 5], vsDisplayText(ip[i / 5], i % 5, false));
    std::vector<bool> newSpill(n, false);
    for (int i = 0; i < n; ++i) {
        for (int s = 0; s < cells; ++s) {
            if (!spillsNow(i, s) || spilled(i, s)) continue;
            batch.send(ip[s], vsUrlText(ip[s], VS_SPILL_WINDOW, pVWinOrg[i]->url));
            batch.send(ip[s], vsDisplayText(ip[s], VS_SPILL_WINDOW, true));
            newSpill[i] = true;
        }
    }
    bool anyNewSpill = false;
    if (mode.hides) {
        const int seconds = mode.flag ? NORMAL_HIDE_SECONDS : NORMAL_HIDE_SECONDS_LONG;
        for (int i = 0; i < n; ++i) {
            if (!newSpill[i]) continue;
            anyNewSpill = true;
            for (int s = 0; s < cells; ++s) {
                if (s == i / 5)
                    batch.send(ip[s], vsNormalHideText(ip[s], i % 5, seconds));
                else if (spillsNow(i, s))
                    batch.send(ip[s], vsNormalHideText(ip[s], VS_SPILL_WINDOW, seconds));
            }
        }
    }
    for (int i = 0; i < n; ++i)
        if (!pVWinOrg[i]->visible && pVWin[i]->visible)
            batch.send(ip[i / 5], vsDisplayText(ip[i / 5], i % 5, true));

    // The moved window's visible part on each cell it covers, in that decoder's pixels, and
    // the crops of its source in percent of the window's size.
    const VWin& m = *pVWin[w];
    const long long h0 = s32(m.hStart), h1 = s32(m.hEnd), v0 = s32(m.vStart), v1 = s32(m.vEnd);
    const long long width = h1 - h0, height = v1 - v0;
    const long long columns = pVScreen->columns, rows = pVScreen->rows;
    const long long cw = pVScreen->width / columns, ch = pVScreen->height / rows;
    for (int s = 0; s < cells; ++s) {
        const bool own = s == w / 5;
        if (!own && !spillsNow(w, s)) continue;
        const long long x0 = (s % columns) * cw, y0 = (s / columns) * ch;
        long long xs = std::max(h0 - x0, 0LL), xe = std::min(h1 - x0, cw);
        long long ys = std::max(v0 - y0, 0LL), ye = std::min(v1 - y0, ch);
        if (xs >= xe) xs = 0;
        if (ys >= ye) ys = 0;
        const long long left = (xs + x0 - h0) * 100 / width;
        const long long right = (xe + x0 - h0) * 100 / width;
        const long long top = (ys + y0 - v0) * 100 / height;
        const long long bottom = (ye + y0 - v0) * 100 / height;
        batch.send(ip[s], vsVideoText(ip[s], own ? w % 5 : VS_SPILL_WINDOW, vsWrapInt(xs),
                                      vsWrapInt(xe), vsWrapInt(ys), vsWrapInt(ye), vsWrapInt(left),
                                      vsWrapInt(right), vsWrapInt(top), vsWrapInt(bottom)));
    }
    if (anyNewSpill)
        batch.sendAlways("255.255.255.255",
                         vsMulHideText(mode.flag ? MUL_HIDE_SECONDS_WIN : MUL_HIDE_SECONDS_LONG));
}

int VSServer::stackAndCommit(int w, ArrayList<VWin>& list) {
    const int n = liveWallCells() * VS_CELL_WINDOWS;
    int changed = 0;
    long long top = n > 0 ? std::max<long long>(pVWin[0]->winId, 0) : 0;
    for (int i = 0; i < n; ++i) {
        VWin& live = *pVWin[i];
        VWin& org = *pVWinOrg[i];
        top = std::max<long long>(top, live.winId);
        if (!live.visible) {
            live.winId = static_cast<uint32_t>(i);
        } else if (!org.visible && org.winId < top) {
            ++top;
            live.winId = org.winId = static_cast<uint32_t>(top);
        }
        if (live.visible != org.visible) {
            saveIniWin(i);
            if (i != w) list.add(new VWin(live));
            ++changed;
        }
    }
    if (top > pVWinOrg[w]->winId) pVWin[w]->winId = static_cast<uint32_t>(top + 1);
    list.add(new VWin(*pVWin[w]));
    for (int i = 0; i < VS_WALL_WINDOWS; ++i) *pVWinOrg[i] = *pVWin[i];
    saveIniWin(w);
    return changed;
}

int VSServer::placeWallWindow(int w, long long h0, long long h1, long long v0, long long v1,
                              ArrayList<VWin>& list, const PlaceMode& mode) {
    VWin& live = *pVWin[w];
    vsPlaceLive(live, *pVWinOrg[w], w, h0, h1, v0, v1);

    const int cells = liveWallCells();
    const int n = cells * VS_CELL_WINDOWS;
    if (w >= n) return refuseWallWindow(w, list);
    if (!live.used || checkWhetherWindowIsJumpOutScreen(w, w / 5) != 0) {
        if (mode.outCell) envir() << mode.outCell;
        return refuseWallWindow(w, list);
    }
    for (int s = 0; s < cells; ++s) {
        if (checkWhetherWindowIsOverlapScreen(w, s) != 0) continue;
        for (int j = 0; j < n; ++j) {
            if (j != w && checkWhetherWindowIsOverlapScreen(j, s) == 0) {
                if (mode.doubleSpill) envir() << mode.doubleSpill;
                return refuseWallWindow(w, list);
            }
        }
    }

    cmdVSSetWinState(w);
    VSTextBatch batch(*this);
    sendWallWindowTexts(w, mode, batch);
    return batch.result() + stackAndCommit(w, list);
}

int VSServer::cmdVSSetWin(char* cmd, ArrayList<VWin>& list, unsigned flag) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, kKeywordLength, kTokenMax, 5, a)) return badParams();
    const int w = a[0];
    if (w < 0 || w >= VS_WALL_WINDOWS || a[2] <= a[1] || a[4] <= a[3]) return badParams();
    if (!pVScreen || !wallTextsFit()) return -1;
    const long long W = iRScreenWidth, H = iRScreenHeight;
    if (W <= 0 || H <= 0) return badParams();
    const long long h0 = snapStart(a[1], W), h1 = snapEnd(a[2], W);
    const long long v0 = snapStart(a[3], H), v1 = snapEnd(a[4], H);
    // Snapping can close a rectangle (1890..1925 becomes 1920..1920): nothing to show, and the
    // crops would divide by its size.
    if (h1 <= h0 || v1 <= v0 || !fitsInt(h0) || !fitsInt(v0)) return badParams();

    if (vWinDbl.used && vWinDbl.win == w) {
        vWinDbl.used = 0;
        vWinDbl.win = kNoDbl;
    }
    return placeWallWindow(w, h0, h1, v0, v1, list, PlaceMode{true, flag, nullptr, nullptr});
}

int VSServer::cmdVSSetDbl(char* cmd, ArrayList<VWin>& list, unsigned) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, kKeywordLength, kTokenMax, 1, a)) return -1;
    const int w = a[0];
    if (w < 0 || w >= VS_WALL_WINDOWS || !pVScreen || !wallTextsFit()) return -1;
    VWin& live = *pVWin[w];

    const bool enter = !vWinDbl.used || vWinDbl.win != w;
    long long h0, h1, v0, v1;
    if (enter) {
        // The split places holding the window's corners; a window without a place of its own
        // searches none, and so gets -1 for every edge. Only the current grid's places count:
        // a smaller grid leaves the records of the cells it dropped in place, and those would
        // hold corners of the new cells.
        const int places = pVWinPos[w]->used ? liveWallCells() * VS_CELL_WINDOWS : 0;
        vsCornerBox(live, pVWinPos, places, h0, h1, v0, v1);
        vsKeepBeforeFull(vWinDbl, live, w);
    } else {
        vWinDbl.used = 0;
        vWinDbl.win = kNoDbl;
        h0 = s32(vWinDbl.hStart);
        h1 = s32(vWinDbl.hEnd);
        v0 = s32(vWinDbl.vStart);
        v1 = s32(vWinDbl.vEnd);
    }
    return placeWallWindow(w, h0, h1, v0, v1, list,
                           PlaceMode{false, 1, "cmdVSSetDbl Case 1:\n", "cmdVSSetDbl Case 2 \n"});
}

int VSServer::cmdVSSetCutWin(ArrayList<VWin>& list, unsigned) {
    if (!pVScreen || !wallTextsFit()) return -1;
    const long long h0 = pVScreen->horCut, v0 = pVScreen->verCut;
    const long long h1 = static_cast<long long>(pVScreen->width) - pVScreen->horCut;
    const long long v1 = static_cast<long long>(pVScreen->height) - pVScreen->verCut;
    if (h1 <= h0 || v1 <= v0 || !fitsInt(h1) || !fitsInt(v1)) return badParams();
    if (vWinDbl.used && vWinDbl.win == 0) {
        vWinDbl.used = 0;
        vWinDbl.win = kNoDbl;
    }
    return placeWallWindow(0, h0, h1, v0, v1, list,
                           PlaceMode{false, 1, "cmdVSSetDbl Case 1:\n", "cmdVSSetDbl Case 2 \n"});
}
