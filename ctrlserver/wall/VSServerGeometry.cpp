// Split geometry: how a cell's split number (1, 4 or 5) tiles the cell with its five windows.
// Split 4 is a 2 x 2 grid; split 5 one wide window over the top three quarters and four equal
// columns beneath it. Every cut of splits 4 and 5 lies a multiple of 8 pixels from the cell's
// origin and every far edge ends one pixel before such a multiple; split 1 keeps the exact
// size. Rectangles are inclusive. These operations only fill records.
#include "wall/VSServer.h"

namespace {

// The five places a split gives the cell at x, y, w x h; false for a split other than 1, 4
// or 5. A window the split does not use collapses to the point (x, y).
bool layoutCell(int x, int y, int w, int h, int split, WinPos out[VS_CELL_WINDOWS]) {
    if (split != 1 && split != 4 && split != 5) return false;
    // Wide arithmetic: the sizes come from files and may be anything.
    const long long X = x, Y = y, W = w, H = h;
    const long long hw = (W / 16) * 8, hh = (H / 16) * 8;
    const long long qw = (W / 32) * 8, tw = (3 * W / 32) * 8, th = (3 * H / 32) * 8;
    const long long right = X - 1 + (W & ~7LL), bottom = Y - 1 + (H & ~7LL);
    auto place = [&](int k, long long x0, long long x1, long long y0, long long y1) {
        out[k].used = 1;
        out[k].x0 = static_cast<int>(x0);
        out[k].x1 = static_cast<int>(x1);
        out[k].y0 = static_cast<int>(y0);
        out[k].y1 = static_cast<int>(y1);
    };
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) out[k] = WinPos{0, x, y, x, y};
    if (split == 1) {
        place(0, X, X + W - 1, Y, Y + H - 1);
    } else if (split == 4) {
        place(0, X, X + hw - 1, Y, Y + hh - 1);
        place(1, X + hw, right, Y, Y + hh - 1);
        place(2, X, X + hw - 1, Y + hh, bottom);
        place(3, X + hw, right, Y + hh, bottom);
    } else {
        place(0, X, right, Y, Y + th - 1);
        place(1, X, X + qw - 1, Y + th, bottom);
        place(2, X + qw, X + hw - 1, Y + th, bottom);
        place(3, X + hw, X + tw - 1, Y + th, bottom);
        place(4, X + tw, right, Y + th, bottom);
    }
    return true;
}

void placeWin(VWin& win, const WinPos& pos, int number) {
    win.win = static_cast<uint8_t>(number);
    win.used = static_cast<uint8_t>(pos.used);
    win.layer = 0;
    win.visible = static_cast<uint8_t>(pos.used);
    win.hStart = static_cast<uint32_t>(pos.x0);
    win.hEnd = static_cast<uint32_t>(pos.x1);
    win.vStart = static_cast<uint32_t>(pos.y0);
    win.vEnd = static_cast<uint32_t>(pos.y1);
    win.winId = static_cast<uint32_t>(number);
}

enum class Texts { Keep, Clear };

// Lays the cell's windows first..first+4 out into each given set of a family of count
// windows (a null set is not written). Windows outside the family change nothing.
void layoutFamily(std::unique_ptr<VWin>* cur, std::unique_ptr<VWin>* org,
                  std::unique_ptr<WinPos>* pos, int count, int x, int y, int w, int h, int split,
                  int first, Texts texts) {
    if (first < 0 || first > count - VS_CELL_WINDOWS) return;
    WinPos places[VS_CELL_WINDOWS];
    if (!layoutCell(x, y, w, h, split, places)) return;
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
        const int n = first + k;
        for (std::unique_ptr<VWin>* set : {cur, org}) {
            if (!set) continue;
            if (!set[n]) set[n].reset(new VWin());
            if (texts == Texts::Clear)
                VSServer::refillWin(*set[n], places[k], n);
            else
                placeWin(*set[n], places[k], n);
        }
        if (pos) {
            if (!pos[n]) pos[n].reset(new WinPos());
            *pos[n] = places[k];
        }
    }
}

bool inScene(int s, int p) {
    return s >= 0 && s < VS_SCENES && p >= 0 && p < VS_PRESETS;
}

}  // namespace

void VSServer::refillWin(VWin& win, const WinPos& pos, int number) {
    placeWin(win, pos, number);
    win.url.clear();
    win.name.clear();
}

void VSServer::createScreenWin(int x, int y, int w, int h, int split, int first) {
    layoutFamily(pVWin, pVWinOrg, nullptr, VS_WALL_WINDOWS, x, y, w, h, split, first, Texts::Keep);
}

void VSServer::resetScreenWin(int x, int y, int w, int h, int split, int first) {
    layoutFamily(pVWin, nullptr, nullptr, VS_WALL_WINDOWS, x, y, w, h, split, first, Texts::Keep);
}

void VSServer::createScreenWinPos(int x, int y, int w, int h, int split, int first) {
    layoutFamily(nullptr, nullptr, pVWinPos, VS_WALL_WINDOWS, x, y, w, h, split, first,
                 Texts::Keep);
}

void VSServer::createScreenWinSence(int s, int p, int x, int y, int w, int h, int split,
                                    int first) {
    if (!inScene(s, p)) return;
    layoutFamily(pVWinSence[s][p], pVWinSenceOrg[s][p], nullptr, VS_WALL_WINDOWS, x, y, w, h, split,
                 first, Texts::Keep);
}

void VSServer::createScreenWinPosSence(int s, int p, int x, int y, int w, int h, int split,
                                       int first) {
    if (!inScene(s, p)) return;
    layoutFamily(nullptr, nullptr, pVWinSencePos[s][p], VS_WALL_WINDOWS, x, y, w, h, split, first,
                 Texts::Keep);
}

void VSServer::createDisplayWinSence(int s, int p, int x, int y, int w, int h, int split,
                                     int first) {
    if (!inScene(s, p)) return;
    layoutFamily(pDisWin[s][p], pDisWinOrg[s][p], nullptr, VS_WALL_WINDOWS, x, y, w, h, split,
                 first, Texts::Keep);
}

void VSServer::createDisplayWinPosSence(int s, int p, int x, int y, int w, int h, int split,
                                        int first) {
    if (!inScene(s, p)) return;
    layoutFamily(nullptr, nullptr, pDisWinPos[s][p], VS_WALL_WINDOWS, x, y, w, h, split, first,
                 Texts::Keep);
}

void VSServer::createUnicastWin(int x, int y, int w, int h, int split, int first) {
    layoutFamily(pUWin, pUWinOrg, nullptr, VS_UNICAST_WINDOWS, x, y, w, h, split, first,
                 Texts::Keep);
}

void VSServer::createUnicastWinPos(int x, int y, int w, int h, int split, int first) {
    layoutFamily(nullptr, nullptr, pUWinPos, VS_UNICAST_WINDOWS, x, y, w, h, split, first,
                 Texts::Keep);
}

void VSServer::clearUnicastWin(int x, int y, int w, int h, int split, int first) {
    layoutFamily(pUWin, pUWinOrg, nullptr, VS_UNICAST_WINDOWS, x, y, w, h, split, first,
                 Texts::Clear);
}

void VSServer::resetScreenWinSence(int s, int p, int x, int y, int w, int h, int split, int first) {
    if (!inScene(s, p)) return;
    layoutFamily(pVWinSence[s][p], nullptr, nullptr, VS_WALL_WINDOWS, x, y, w, h, split, first,
                 Texts::Keep);
}

void VSServer::clearDisplayWinSence(int s, int p, int x, int y, int w, int h, int split,
                                    int first) {
    if (!inScene(s, p)) return;
    layoutFamily(pDisWin[s][p], pDisWinOrg[s][p], nullptr, VS_WALL_WINDOWS, x, y, w, h, split,
                 first, Texts::Clear);
}
