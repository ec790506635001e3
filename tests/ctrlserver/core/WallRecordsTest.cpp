#include "core/WallRecords.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

TEST(VWinTest, ConstructorSetsEveryField) {
    VWin w(3, 1, 2, 1, 10, 1919, 20, 1079, 77, "rtsp://a", "cam");
    EXPECT_EQ(w.win, 3);
    EXPECT_EQ(w.used, 1);
    EXPECT_EQ(w.layer, 2);
    EXPECT_EQ(w.visible, 1);
    EXPECT_EQ(w.hStart, 10u);
    EXPECT_EQ(w.hEnd, 1919u);
    EXPECT_EQ(w.vStart, 20u);
    EXPECT_EQ(w.vEnd, 1079u);
    EXPECT_EQ(w.winId, 77u);
    EXPECT_EQ(w.url, "rtsp://a");
    EXPECT_EQ(w.name, "cam");
}

TEST(VWinTest, AssignmentCopiesEveryField) {
    VWin src(255, 1, 3, 0, 1, 2, 3, 4, 4000000000u, std::string(300, 'u'), "n");
    VWin dst(1, 0, 0, 1, 9, 9, 9, 9, 9, "old", "old");
    dst = src;
    EXPECT_EQ(dst.win, 255);
    EXPECT_EQ(dst.used, 1);
    EXPECT_EQ(dst.layer, 3);
    EXPECT_EQ(dst.visible, 0);
    EXPECT_EQ(dst.hStart, 1u);
    EXPECT_EQ(dst.hEnd, 2u);
    EXPECT_EQ(dst.vStart, 3u);
    EXPECT_EQ(dst.vEnd, 4u);
    EXPECT_EQ(dst.winId, 4000000000u);
    EXPECT_EQ(dst.url, std::string(300, 'u'));
    EXPECT_EQ(dst.name, "n");
}

TEST(VWinTest, DefaultIsZeroWithEmptyTexts) {
    VWin w;
    EXPECT_EQ(w.win + w.used + w.layer + w.visible, 0);
    EXPECT_EQ(w.hStart + w.hEnd + w.vStart + w.vEnd + w.winId, 0u);
    EXPECT_EQ(w.url + w.name, "");
}

// A scene preset record with every field set to values that tell cells apart.
std::unique_ptr<VSenceScreen> fullScene(int rows, int columns) {
    auto s = std::make_unique<VSenceScreen>();
    s->rows = static_cast<uint8_t>(rows);
    s->columns = static_cast<uint8_t>(columns);
    s->horCut = 3;
    s->verCut = 4;
    s->width = 5760;
    s->height = 3240;
    for (int c = 0; c < WALL_CELLS; ++c) {
        s->screenIP[c] = "10.0.1." + std::to_string(c);
        s->screenName[c] = "rx" + std::to_string(c);
        s->screenSplitnum[c] = 4 + c;
        s->disIP[c] = "10.0.2." + std::to_string(c);
        s->disName[c] = "dis" + std::to_string(c);
        s->disSplitnum[c] = 40 + c;
    }
    s->disWidth = 1280;
    s->disHeight = 720;
    return s;
}

struct GridCase {
    const char* name;
    int rows;
    int columns;
    int wantCells;  // wall cells copied
};
void PrintTo(const GridCase& c, std::ostream* os) {
    *os << c.name;
}

class VSenceScreenCopyTest : public ::testing::TestWithParam<GridCase> {};

TEST_P(VSenceScreenCopyTest, CopiesTheGridCellsAndAllDisplays) {
    const GridCase& g = GetParam();
    auto src = fullScene(g.rows, g.columns);
    VSenceScreen copy(src.get());
    EXPECT_EQ(copy.rows, src->rows);
    EXPECT_EQ(copy.columns, src->columns);
    EXPECT_EQ(copy.horCut, 3);
    EXPECT_EQ(copy.verCut, 4);
    EXPECT_EQ(copy.width, 5760u);
    EXPECT_EQ(copy.height, 3240u);
    EXPECT_EQ(copy.disWidth, 1280u);
    EXPECT_EQ(copy.disHeight, 720u);
    for (int c = 0; c < WALL_CELLS; ++c) {
        if (c < g.wantCells) {
            EXPECT_EQ(copy.screenIP[c], src->screenIP[c]) << c;
            EXPECT_EQ(copy.screenName[c], src->screenName[c]) << c;
            EXPECT_EQ(copy.screenSplitnum[c], src->screenSplitnum[c]) << c;
        } else {
            EXPECT_EQ(copy.screenIP[c], "") << c;
            EXPECT_EQ(copy.screenName[c], "") << c;
            EXPECT_EQ(copy.screenSplitnum[c], 0) << c;
        }
        EXPECT_EQ(copy.disIP[c], src->disIP[c]) << c;
        EXPECT_EQ(copy.disName[c], src->disName[c]) << c;
        EXPECT_EQ(copy.disSplitnum[c], src->disSplitnum[c]) << c;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grids, VSenceScreenCopyTest,
    ::testing::Values(GridCase{"TwoByTwo", 2, 2, 4}, GridCase{"FourByFour", 4, 4, 16},
                      GridCase{"OneByThree", 1, 3, 3}, GridCase{"SixteenByOne", 16, 1, 16},
                      GridCase{"ZeroRows", 0, 4, 0}, GridCase{"ZeroColumns", 3, 0, 0},
                      GridCase{"FiveByFiveStopsAtSixteen", 5, 5, 16},
                      GridCase{"LargestGridStopsAtSixteen", 255, 255, 16}),
    [](const ::testing::TestParamInfo<GridCase>& i) { return std::string(i.param.name); });

TEST(VSenceScreenTest, NewRecordHasSplitOneAndEmptyTexts) {
    VSenceScreen s;
    EXPECT_EQ(s.rows + s.columns + s.horCut + s.verCut, 0);
    EXPECT_EQ(s.width + s.height + s.disWidth + s.disHeight, 0u);
    for (int c = 0; c < WALL_CELLS; ++c) {
        EXPECT_EQ(s.screenSplitnum[c], 1);
        EXPECT_EQ(s.disSplitnum[c], 1);
        EXPECT_EQ(s.screenIP[c] + s.screenName[c] + s.disIP[c] + s.disName[c], "");
    }
}

TEST(VSenceScreenTest, CopyOfNullIsZeroed) {
    VSenceScreen s(nullptr);
    EXPECT_EQ(s.rows + s.columns, 0);
    for (int c = 0; c < WALL_CELLS; ++c) {
        EXPECT_EQ(s.screenSplitnum[c], 0);
        EXPECT_EQ(s.disSplitnum[c], 0);
    }
}

TEST(WallRecordsTest, RecordsWithoutConstructorStartZeroed) {
    auto screen = std::make_unique<VScreen>();
    EXPECT_EQ(screen->rows + screen->columns + screen->horCut + screen->verCut, 0);
    EXPECT_EQ(screen->width + screen->height, 0u);
    for (int c = 0; c < WALL_CELLS; ++c) {
        EXPECT_EQ(screen->splitnum[c], 0);
        EXPECT_EQ(screen->ip[c] + screen->name[c], "");
    }
    auto uni = std::make_unique<Unicast>();
    for (int i = 0; i < UNICAST_SLOTS; ++i) {
        EXPECT_EQ(uni->splitnum[i], 0);
        EXPECT_EQ(uni->ip[i] + uni->name[i], "");
    }
    EXPECT_EQ(uni->curIndex + uni->width + uni->height, 0);
    HVratio r;
    EXPECT_EQ(r.index + r.hor + r.ver + r.horUserDef + r.verUserDef, 0);
    VSence s;
    EXPECT_EQ(s.id + s.valid + s.curPreset, 0);
    EXPECT_EQ(s.name + s.picSrc, "");
    VWMode m;
    EXPECT_EQ(m.modeMax + m.modeActive, 0);
    for (const std::string& n : m.modeName) EXPECT_EQ(n, "");
    Matrix_MV mv;
    EXPECT_EQ(mv.splitnum, 0);
    EXPECT_EQ(mv.rxname + mv.rxalias, "");
    for (const std::string& t : mv.tx) EXPECT_EQ(t, "");
    Matrix_MV_plus_WIN mw;
    EXPECT_EQ(mw.splitnum, 0);
    EXPECT_EQ(mw.alias + mw.name, "");
    for (int w = 0; w < MV_WINDOWS; ++w) {
        EXPECT_EQ(mw.tx[w], "");
        EXPECT_EQ(mw.win[w].hstart + mw.win[w].vstart + mw.win[w].width + mw.win[w].height, 0);
    }
}

}  // namespace
