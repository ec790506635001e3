// Overlap predicate, window/cell tests with their exclusions, and the visibility passes.
#include <functional>

#include "WallOpsFixture.h"

namespace {

struct PairCase {
    const char* what;
    uint32_t a[4];  // hStart, hEnd, vStart, vEnd
    uint8_t aUsed, aLayer;
    uint32_t b[4];
    uint8_t bUsed, bLayer;
    int expected;
};

const PairCase kPairs[] = {
    {"shared edge column", {0, 10, 0, 10}, 1, 0, {10, 15, 5, 15}, 1, 0, -1},
    {"one column in", {0, 10, 0, 10}, 1, 0, {9, 15, 5, 15}, 1, 0, 0},
    {"other layer", {0, 10, 0, 10}, 1, 0, {9, 15, 5, 15}, 1, 1, -1},
    {"both unused", {0, 10, 0, 10}, 0, 0, {9, 15, 5, 15}, 0, 0, -1},
    {"one unused", {0, 10, 0, 10}, 1, 0, {9, 15, 5, 15}, 0, 0, -1},
    {"same span, staggered rows", {0, 4, 0, 2}, 1, 0, {0, 4, 1, 3}, 1, 0, 0},
    {"contained", {0, 100, 0, 100}, 1, 0, {10, 20, 10, 20}, 1, 0, 0},
    {"shared edge row", {0, 10, 0, 10}, 1, 0, {0, 10, 10, 20}, 1, 0, -1},
};

void setWin(VWin& w, const uint32_t r[4], uint8_t used, uint8_t layer) {
    w.used = used;
    w.layer = layer;
    w.visible = 0;  // the window/window tests do not look at it
    w.hStart = r[0];
    w.hEnd = r[1];
    w.vStart = r[2];
    w.vEnd = r[3];
}

}  // namespace

TEST_F(WallOpsTest, WindowPairsOverlapStrictlyInLiveAndUnicastTests) {
    VSServer& m = start();
    for (const PairCase& c : kPairs) {
        setWin(*m.pVWin[2], c.a, c.aUsed, c.aLayer);
        setWin(*m.pVWin[41], c.b, c.bUsed, c.bLayer);
        EXPECT_EQ(m.checkWhetherWindowIsOverlapWindow(2, 41), c.expected) << c.what;
        EXPECT_EQ(m.checkWhetherWindowIsOverlapWindow(41, 2), c.expected) << c.what;
        setWin(*m.pUWin[997], c.a, c.aUsed, c.aLayer);
        setWin(*m.pUWin[3], c.b, c.bUsed, c.bLayer);
        EXPECT_EQ(m.checkWhetherUnicastWindowIsOverlapWindow(997, 3), c.expected) << c.what;
    }
    // A used window overlaps itself; numbers outside the family never do.
    EXPECT_EQ(m.checkWhetherWindowIsOverlapWindow(2, 2), 0);
    EXPECT_EQ(m.checkWhetherWindowIsOverlapWindow(2, 80), -1);
    EXPECT_EQ(m.checkWhetherWindowIsOverlapWindow(-1, 2), -1);
    EXPECT_EQ(m.checkWhetherUnicastWindowIsOverlapWindow(997, 1000), -1);
}

TEST_F(WallOpsTest, WindowReachesOnlyCellsItOverlapsPastTheirEdges) {
    VSServer& m = start();  // default wall: 2 x 2 cells of 1920 x 1080
    ASSERT_EQ(m.pVScreen->width, 3840u);
    place(m.pVWin[5], 1920, 3840, 500, 1500);
    EXPECT_EQ(m.checkWhetherWindowIsOverlapScreen(5, 3), 0);   // straddles its top border
    EXPECT_EQ(m.checkWhetherWindowIsOverlapScreen(5, 0), -1);  // hStart = their right edge
    EXPECT_EQ(m.checkWhetherWindowIsOverlapScreen(5, 2), -1);
    EXPECT_EQ(m.checkWhetherWindowIsOverlapScreen(5, 1), -1);  // its own cell
    EXPECT_EQ(m.checkWhetherWindowIsJumpOutScreen(5, 1), 0);
    // A window reaches the cell on its right only from hEnd = right edge + 1 on.
    place(m.pVWin[0], 0, 1920, 0, 100);
    EXPECT_EQ(m.checkWhetherWindowIsOverlapScreen(0, 1), -1);
    m.pVWin[0]->hEnd = 1921;
    EXPECT_EQ(m.checkWhetherWindowIsOverlapScreen(0, 1), 0);
    // Cells outside the grid, windows outside the family.
    EXPECT_EQ(m.checkWhetherWindowIsJumpOutScreen(0, 4), -1);
    EXPECT_EQ(m.checkWhetherWindowIsJumpOutScreen(0, -1), -1);
    EXPECT_EQ(m.checkWhetherWindowIsJumpOutScreen(80, 0), -1);
}

// Each window/cell test's exclusions: a hidden window and the window's own cell.
TEST_F(WallOpsTest, WindowCellTestsExcludeAsEachSays) {
    VSServer& m = start();
    struct Rule {
        const char* test;
        std::function<int(int cell)> call;
        int hiddenResult;   // the window hidden, tested against cell 1 it reaches
        int ownCellResult;  // the window visible, against its own cell 0
    };
    VWin loadMode;
    const Rule rules[] = {
        {"OverlapScreen", [&](int c) { return m.checkWhetherWindowIsOverlapScreen(0, c); }, -1, -1},
        {"JumpOutScreen", [&](int c) { return m.checkWhetherWindowIsJumpOutScreen(0, c); }, 0, 0},
        {"OrgOverlapScreen", [&](int c) { return m.checkWhetherOrgWindowIsOverlapScreen(0, c); },
         -1, -1},
        {"OrgOverlapScreen_2",
         [&](int c) { return m.checkWhetherOrgWindowIsOverlapScreen_2(0, c); }, 0, -1},
        {"LoadModeOverlapScreen",
         [&](int c) { return m.checkWhetherLoadModeWindowIsOverlapScreen(loadMode, 0, c); }, -1,
         -1},
        {"OverlapSenceScreen",
         [&](int c) { return m.checkWhetherWindowIsOverlapSenceScreen(2, 1, 0, c); }, -1, -1},
    };
    for (const Rule& r : rules) {
        for (uint8_t visible : {0, 1}) {
            for (auto* set : {&m.pVWin[0], &m.pVWinOrg[0], &m.pVWinSence[2][1][0]})
                place(*set, 0, 2000, 0, 1000, visible);
            loadMode = *m.pVWin[0];
            const int reach = r.call(1), own = r.call(0);
            if (visible) {
                EXPECT_EQ(reach, 0) << r.test;
                EXPECT_EQ(own, r.ownCellResult) << r.test;
            } else {
                EXPECT_EQ(reach, r.hiddenResult) << r.test;
            }
            EXPECT_EQ(r.call(2), -1) << r.test << ": cell 2 lies below the window";
        }
        // An unused window reaches nothing.
        for (auto* set : {&m.pVWin[0], &m.pVWinOrg[0], &m.pVWinSence[2][1][0]}) (*set)->used = 0;
        loadMode = *m.pVWin[0];
        EXPECT_EQ(r.call(1), -1) << r.test;
    }
}

TEST_F(WallOpsTest, WallWithoutCellsHasNoOverlapsAndNoPass) {
    VSServer& m = start();
    place(m.pVWin[0], 0, 3000, 0, 2000);
    place(m.pVWin[1], 0, 10, 0, 10, 1);
    m.pVScreen->columns = 0;
    EXPECT_EQ(m.checkWhetherWindowIsOverlapScreen(0, 1), -1);
    EXPECT_EQ(m.checkWhetherWindowIsJumpOutScreen(0, 0), -1);
    EXPECT_EQ(m.checkWhetherOrgWindowIsOverlapScreen_2(0, 1), -1);
    m.cmdVSSetWinState(0);
    EXPECT_EQ(m.pVWin[1]->visible, 1);
    m.pVSenceScreen[0][0]->rows = 0;
    place(m.pVWinSence[0][0][0], 0, 3000, 0, 2000);
    EXPECT_EQ(m.checkWhetherWindowIsOverlapSenceScreen(0, 0, 0, 1), -1);
}

// Window 3 placed over window 0; the pass changes flags as it goes, so window 1, shown
// first, keeps window 2 hidden.
TEST_F(WallOpsTest, LiveWallVisibilityPassWorksInPlaceInOrder) {
    VSServer& m = start();
    clearLiveWall();
    place(m.pVWin[3], 0, 10, 0, 10, 1);
    place(m.pVWin[0], 5, 15, 5, 15, 1);
    place(m.pVWin[1], 20, 30, 0, 10, 0);
    place(m.pVWin[2], 25, 35, 5, 15, 0);
    place(m.pVWin[4], 100, 110, 100, 110, 0);
    place(m.pVWin[7], 105, 115, 105, 115, 1);
    place(m.pVWin[6], 0, 10, 0, 10, 1, 1);  // other layer, under window 3
    place(m.pVWin[8], 200, 210, 0, 10, 0, 1);
    place(m.pVWin[9], 205, 215, 0, 10, 1, 1);
    m.cmdVSSetWinState(3);
    const int expected[10] = {0, 1, 0, 1, 0, 0, 1, 1, 0, 1};
    for (int w = 0; w < 10; ++w) EXPECT_EQ(m.pVWin[w]->visible, expected[w]) << "window " << w;
    // The placed window's own flag is never changed.
    m.pVWin[3]->visible = 0;
    m.cmdVSSetWinState(3);
    EXPECT_EQ(m.pVWin[3]->visible, 0);
}

TEST_F(WallOpsTest, UnicastVisibilityPassStaysInItsSlot) {
    VSServer& m = start();
    for (int w = 5; w < 20; ++w) *m.pUWin[w] = VWin(w, 0, 0, 0, 0, 0, 0, 0, 0, "", "");
    place(m.pUWin[12], 0, 100, 0, 100, 1);
    place(m.pUWin[13], 50, 150, 50, 150, 1);  // under 12: hidden
    place(m.pUWin[11], 500, 600, 0, 100, 0);  // nothing over it: shown
    place(m.pUWin[9], 500, 600, 0, 100, 0);   // other slot: left hidden
    place(m.pUWin[15], 50, 150, 50, 150, 1);  // other slot: left visible
    m.cmdVSSetUniWinState(12);
    EXPECT_EQ(m.pUWin[13]->visible, 0);
    EXPECT_EQ(m.pUWin[11]->visible, 1);
    EXPECT_EQ(m.pUWin[9]->visible, 0);
    EXPECT_EQ(m.pUWin[15]->visible, 1);
    m.cmdVSSetUniWinState(1000);  // outside the family: nothing
    m.cmdVSSetUniWinState(-1);
}

TEST_F(WallOpsTest, MulticastSourceCommandChangesNothing) {
    VSServer& m = start();
    const auto before = modelFiles();
    char cmd[] = "config set multicast src params rtsp://10.0.0.9/live cam";
    EXPECT_EQ(m.cmdMulticastSetRXScreen(cmd, sizeof cmd), 0);
    EXPECT_TRUE(m.pMulticast->winUrl.empty());
    EXPECT_EQ(modelFiles(), before);
}
