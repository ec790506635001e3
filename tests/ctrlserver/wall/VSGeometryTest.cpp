// Split geometry over the four window families: the rectangles of splits 1, 4 and 5, which
// record sets each operation writes, and what it leaves alone.
#include <array>
#include <functional>

#include "WallModelFixture.h"

namespace {

using Rect = std::array<int, 5>;  // used, hStart, hEnd, vStart, vEnd
using Op = std::function<void(VSServer&, int, int, int, int, int, int)>;
using Slot = std::function<std::unique_ptr<VWin>&(VSServer&, int)>;
using PosSlot = std::function<std::unique_ptr<WinPos>&(VSServer&, int)>;

struct Family {
    const char* name;
    int first;
    Slot cur, org;
    PosSlot pos;
    Op full, position, reset, clear;  // reset and clear may be null
};

const Family kFamilies[] = {{"live wall", 15, [](VSServer& m, int i) -> auto& {return m.pVWin[i];
}  // namespace
, [](VSServer& m, int i) -> auto& {
    return m.pVWinOrg[i];
}
, [](VSServer& m, int i) -> auto& {
    return m.pVWinPos[i];
}
,
    [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.createScreenWin(x, y, w, h, s, f);
    },
    [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.createScreenWinPos(x, y, w, h, s, f);
    },
    [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.resetScreenWin(x, y, w, h, s, f);
    },
    nullptr
}
, {"scene wall 2/1", 40, [](VSServer& m, int i) -> auto& {return m.pVWinSence[2][1][i];
}
, [](VSServer& m, int i) -> auto& {
    return m.pVWinSenceOrg[2][1][i];
}
, [](VSServer& m, int i) -> auto& {
    return m.pVWinSencePos[2][1][i];
}
,
    [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.createScreenWinSence(2, 1, x, y, w, h, s, f);
    },
    [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.createScreenWinPosSence(2, 1, x, y, w, h, s, f);
    },
    nullptr, nullptr
}
, {"display 4/2", 75, [](VSServer& m, int i) -> auto& {return m.pDisWin[4][2][i];
}
, [](VSServer& m, int i) -> auto& {
    return m.pDisWinOrg[4][2][i];
}
, [](VSServer& m, int i) -> auto& {
    return m.pDisWinPos[4][2][i];
}
,
    [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.createDisplayWinSence(4, 2, x, y, w, h, s, f);
    },
    [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.createDisplayWinPosSence(4, 2, x, y, w, h, s, f);
    },
    nullptr, nullptr
}
, {"unicast", 995, [](VSServer& m, int i) -> auto& {return m.pUWin[i];
}
, [](VSServer& m, int i) -> auto& {
    return m.pUWinOrg[i];
}
, [](VSServer& m, int i) -> auto& {
    return m.pUWinPos[i];
}
,
    [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.createUnicastWin(x, y, w, h, s, f);
    },
    [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.createUnicastWinPos(x, y, w, h, s, f);
    },
    nullptr, [](VSServer& m, int x, int y, int w, int h, int s, int f) {
        m.clearUnicastWin(x, y, w, h, s, f);
    }
}
,
}
;

struct Case {
    int x, y, w, h, split;
    std::array<Rect, 5> windows;  // empty for a split that changes nothing
    bool changes;
};

// Unused windows collapse to the cell's top-left pixel.
Rect unused(int x, int y) {
    return {0, x, x, y, y};
}

// clang-format off
const Case kCases[] = {
    {0, 0, 1920, 1080, 1, {{{1, 0, 1919, 0, 1079}, unused(0, 0), unused(0, 0), unused(0, 0),
                            unused(0, 0)}}, true},
    {0, 0, 1920, 1080, 4, {{{1, 0, 959, 0, 535}, {1, 960, 1919, 0, 535}, {1, 0, 959, 536, 1079},
                            {1, 960, 1919, 536, 1079}, unused(0, 0)}}, true},
    {0, 0, 1920, 1080, 5, {{{1, 0, 1919, 0, 807}, {1, 0, 479, 808, 1079}, {1, 480, 959, 808, 1079},
                            {1, 960, 1439, 808, 1079}, {1, 1440, 1919, 808, 1079}}}, true},
    // Cell 3 of a 2 x 2 wall.
    {1920, 1080, 1920, 1080, 5, {{{1, 1920, 3839, 1080, 1887}, {1, 1920, 2399, 1888, 2159},
                                  {1, 2400, 2879, 1888, 2159}, {1, 2880, 3359, 1888, 2159},
                                  {1, 3360, 3839, 1888, 2159}}}, true},
    // A cell whose size is not a multiple of 16: the cuts and far edges of splits 4 and 5 come
    // from 1920 x 1080, split 1 keeps the exact size.
    {1000, 2000, 1925, 1085, 1, {{{1, 1000, 2924, 2000, 3084}, unused(1000, 2000),
                                  unused(1000, 2000), unused(1000, 2000), unused(1000, 2000)}},
     true},
    {1000, 2000, 1925, 1085, 4, {{{1, 1000, 1959, 2000, 2535}, {1, 1960, 2919, 2000, 2535},
                                  {1, 1000, 1959, 2536, 3079}, {1, 1960, 2919, 2536, 3079},
                                  unused(1000, 2000)}}, true},
    {1000, 2000, 1925, 1085, 5, {{{1, 1000, 2919, 2000, 2807}, {1, 1000, 1479, 2808, 3079},
                                  {1, 1480, 1959, 2808, 3079}, {1, 1960, 2439, 2808, 3079},
                                  {1, 2440, 2919, 2808, 3079}}}, true},
    {0, 0, 1920, 1080, 0, {}, false},
    {0, 0, 1920, 1080, 2, {}, false},
    {0, 0, 1920, 1080, 3, {}, false},
    {0, 0, 1920, 1080, 16, {}, false},
};
// clang-format on

const VWin kOld(99, 7, 7, 7, 7, 7, 7, 7, 7777, "keep", "me");
const WinPos kOldPos{7, 7, 7, 7, 7};

void putOld(VSServer& m, const Family& f) {
    for (int k = 0; k < 5; ++k) {
        *f.cur(m, f.first + k) = kOld;
        *f.org(m, f.first + k) = kOld;
        *f.pos(m, f.first + k) = kOldPos;
    }
}

VWin placed(const Rect& r, int n, bool clearTexts) {
    return VWin(uint8_t(n), uint8_t(r[0]), 0, uint8_t(r[0]), uint32_t(r[1]), uint32_t(r[2]),
                uint32_t(r[3]), uint32_t(r[4]), uint32_t(n), clearTexts ? "" : "keep",
                clearTexts ? "" : "me");
}

::testing::AssertionResult samePos(const WinPos& p, const Rect& r) {
    // The position record orders its corners x0, y0, x1, y1.
    if (p.used == r[0] && p.x0 == r[1] && p.x1 == r[2] && p.y0 == r[3] && p.y1 == r[4])
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pos {" << p.used << " " << p.x0 << " " << p.y0 << " " << p.x1 << " " << p.y1 << "}";
}

bool isOldPos(const WinPos& p) {
    return p.used == 7 && p.x0 == 7 && p.y0 == 7 && p.x1 == 7 && p.y1 == 7;
}

}  // namespace

TEST_F(WallModelTest, SplitGeometryOverEveryFamily) {
    VSServer& m = start();
    enum Variant { FULL, POSITION, RESET, CLEAR };
    for (const Family& f : kFamilies) {
        for (const Case& c : kCases) {
            for (Variant v : {FULL, POSITION, RESET, CLEAR}) {
                const Op& op = v == FULL       ? f.full
                               : v == POSITION ? f.position
                               : v == RESET    ? f.reset
                                               : f.clear;
                if (!op) continue;
                SCOPED_TRACE(::testing::Message()
                             << f.name << " variant " << v << " cell " << c.x << "," << c.y << " "
                             << c.w << "x" << c.h << " split " << c.split);
                putOld(m, f);
                op(m, c.x, c.y, c.w, c.h, c.split, f.first);
                for (int k = 0; k < 5; ++k) {
                    const int n = f.first + k;
                    const bool writesCur = c.changes && v != POSITION;
                    const bool writesOrg = c.changes && (v == FULL || v == CLEAR);
                    const bool writesPos = c.changes && v == POSITION;
                    const VWin want = c.changes ? placed(c.windows[k], n, v == CLEAR) : kOld;
                    EXPECT_TRUE(sameWin(*f.cur(m, n), writesCur ? want : kOld)) << "current " << k;
                    EXPECT_TRUE(sameWin(*f.org(m, n), writesOrg ? want : kOld)) << "org " << k;
                    if (writesPos)
                        EXPECT_TRUE(samePos(*f.pos(m, n), c.windows[k])) << k;
                    else
                        EXPECT_TRUE(isOldPos(*f.pos(m, n))) << "position " << k;
                }
            }
        }
    }
}

TEST_F(WallModelTest, LayoutOutsideTheFamilyChangesNothing) {
    VSServer& m = start();
    const VWin w76 = *m.pVWin[76], w79 = *m.pVWin[79];
    m.createScreenWin(0, 0, 1920, 1080, 1, 76);
    m.createScreenWinPos(0, 0, 1920, 1080, 1, -5);
    m.createUnicastWin(0, 0, 1920, 1080, 4, 996);
    m.clearUnicastWin(0, 0, 1920, 1080, 4, -1);
    m.createScreenWinSence(5, 0, 0, 0, 1920, 1080, 1, 0);
    m.createScreenWinPosSence(0, 3, 0, 0, 1920, 1080, 1, 0);
    m.createDisplayWinSence(-1, 0, 0, 0, 1920, 1080, 1, 0);
    m.createDisplayWinPosSence(0, 0, 0, 0, 1920, 1080, 1, 80);
    EXPECT_TRUE(sameWin(*m.pVWin[76], w76));
    EXPECT_TRUE(sameWin(*m.pVWin[79], w79));
    EXPECT_EQ(m.pVWinPos[0]->x1, 1919);
    EXPECT_EQ(m.pUWin[996]->used, 0);
    EXPECT_EQ(m.pUWin[999]->used, 0);
    EXPECT_EQ(m.pUWinPos[0]->used, 1);  // slot 0 as the start laid it out
    // Sizes from a file may be anything: the wide arithmetic neither traps nor crashes.
    m.createScreenWin(2147483000, 2147483000, 2147483647, 2147483647, 5, 0);
    m.createUnicastWinPos(-2147483647, 0, -2147483647, -16, 4, 0);
}
