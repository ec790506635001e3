// The real controller on the test network laying out the live wall: operator commands on the
// text port, one at a time, and the exact datagrams that reach four fake decoders (cells 0-3,
// 10.77.0.2 to 10.77.0.5), per decoder and in order across them; the replies and the wall
// files beside them.
#include "ScreensSystemFixture.h"

using namespace screens;

TEST_F(ScreensSystem, TheWallIsLaidOutOnTheDecoders) {
    // A new decoder in cell 0: split, address, cut, its window and empty sources.
    const std::string src0 = "config set vs src params 0 " + dec(0);
    EXPECT_EQ(ask(src0), oldAck(src0, true));
    std::vector<std::pair<int, std::string>> placed = {
        {0, "config set split params " + dec(0) + " 1 0 \n"},
        {0, "config set rx display ip " + dec(0) + " \n"},
        {0, "config set cutedge params " + dec(0) + " 2 2 \n"},
        {0, "config set video params " + dec(0) + " 0 0 1919 0 1079 0 100 0 100 0 1 \n"},
    };
    for (int k = 0; k < 5; ++k)
        placed.push_back(
            {0, "config set url params " + dec(0) + " " + std::to_string(k) + " unused_window"});
    expectWire(placed);
    EXPECT_EQ(fileKey(wallFile(), "screenIP_00"), dec(0));
    EXPECT_EQ(fileKey(wallFile(), "screenName_00"), "RX0");
    for (int c = 1; c < 4; ++c) {
        const std::string src = "config set vs src params " + std::to_string(c) + " " + dec(c);
        EXPECT_EQ(ask(src), oldAck(src, true));
        datagrams(9);
    }

    // Window 0 spills into cell 2 below it and covers that cell's window.
    const std::string spill = "config set vs win params 0 0 1920 540 1620";
    Json::Value windows;
    EXPECT_EQ(ask(spill, &windows), oldAck(spill, true));
    ASSERT_TRUE(windows["vswininfo"].isArray()) << windows;
    EXPECT_EQ(windows["vswininfo"].size(), 2u);
    expectWire({
        {2, "config set display params " + dec(2) + " 0 0 \n"},
        {2, "config set url params " + dec(2) + " 16 "},
        {2, "config set display params " + dec(2) + " 16 1 \n"},
        {0, "config set normal hide params " + dec(0) + " 0 3"},
        {2, "config set normal hide params " + dec(2) + " 16 3"},
        {0, "config set video params " + dec(0) + " 0 0 1920 540 1080 0 100 0 50 0 1 \n"},
        {2, "config set video params " + dec(2) + " 16 0 1920 0 540 0 100 50 100 0 1 \n"},
        {-1, "config set mul hide params 255.255.255.255 3 "},
    });

    // Cell 1 split into 4: the split, then each of its four windows.
    const std::string split = "config set vs split params 1 4 0";
    EXPECT_EQ(ask(split), oldAck(split, true));
    expectWire({
        {1, "config set split params " + dec(1) + " 4 0 \n"},
        {1, "config set video params " + dec(1) + " 0 0 959 0 535 0 100 0 100 0 1 \n"},
        {1, "config set video params " + dec(1) + " 1 960 1919 0 535 0 100 0 100 0 1 \n"},
        {1, "config set video params " + dec(1) + " 2 0 959 536 1079 0 100 0 100 0 1 \n"},
        {1, "config set video params " + dec(1) + " 3 960 1919 536 1079 0 100 0 100 0 1 \n"},
    });
    EXPECT_EQ(fileKey(wallFile(), "screenSplitnum_01"), 4);

    // Window 5 made small, enlarged to its quarter, and back.
    const std::string small = "config set vs win params 5 2000 2500 100 400";
    EXPECT_EQ(ask(small, &windows), oldAck(small, true));
    const std::string smallVideo =
        "config set video params " + dec(1) + " 0 80 580 100 400 0 100 0 100 0 1 \n";
    expectWire({{1, smallVideo}});
    const std::string toggle = "config set vs dbl params 5";
    EXPECT_EQ(ask(toggle, &windows), oldAck(toggle, true));
    expectWire({{1, "config set video params " + dec(1) + " 0 0 959 0 535 0 100 0 100 0 1 \n"}});
    EXPECT_EQ(ask(toggle, &windows), oldAck(toggle, true));
    expectWire({{1, smallVideo}});

    // A new cut edge, to every cell in order.
    const std::string cut = "config set vs rowcolumncutedge params 4 3";
    EXPECT_EQ(ask(cut), oldAck(cut, true));
    std::vector<std::pair<int, std::string>> cuts;
    for (int c = 0; c < 4; ++c)
        cuts.push_back({c, "config set cutedge params " + dec(c) + " 4 3 \n"});
    expectWire(cuts);
    EXPECT_EQ(fileKey(wallFile(), "screenHorCut"), 4);

    // A cut the decoders would ignore (they take 0..8) fails and reaches none of them.
    const std::string wide = "config set vs rowcolumncutedge params 32 18";
    EXPECT_EQ(ask(wide), oldAck(wide, false));
    expectWire({});
    EXPECT_EQ(fileKey(wallFile(), "screenHorCut"), 4);

    // A new grid: every old decoder back to its empty state, in cell order.
    const std::string grid = "config set vs screen params 1 2 4 3";
    EXPECT_EQ(ask(grid), oldAck(grid, true));
    std::vector<std::pair<int, std::string>> resets;
    for (int c = 0; c < 4; ++c) {
        resets.push_back({c, "config set split params " + dec(c) + " 1 0 \n"});
        for (int w : {16, 0, 1, 2, 3, 4})
            resets.push_back({c, "config set url params " + dec(c) + " " + std::to_string(w) +
                                     " unused_window"});
    }
    expectWire(resets);
    EXPECT_EQ(fileKey(wallFile(), "screenRows"), 1);
    EXPECT_EQ(fileKey(wallFile(), "screenColumns"), 2);
    EXPECT_EQ(fileKey(wallFile(), "screenIP_00"), "");
    struct stat st;
    EXPECT_NE(stat(ctrl->path("/mnt/qelconfVWin_00.ini").c_str(), &st), 0);
    EXPECT_EQ(server->stop(), 0);
}
