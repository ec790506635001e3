// The model queries: what each appends, how it reads its window argument, what it returns.
#include <cstring>
#include <functional>
#include <vector>

#include "WallOpsFixture.h"

namespace {

// A command text in a buffer of exactly its size, so a write past it is seen.
std::vector<char> commandText(const std::string& text) {
    return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

std::vector<int> numbers(ArrayList<VWin>& list) {
    std::vector<int> out;
    for (int i = 0; i < list.count; ++i) out.push_back(list.get(i)->win);
    return out;
}

}  // namespace

TEST_F(WallOpsTest, WindowQueriesAnswerAsTabled) {
    VSServer& m = start();
    struct Case {
        const char* what;
        std::function<void()> setup;
        std::string cmd;
        int expected;
        std::vector<int> wins;
    };
    auto grid4x4 = [&] {
        m.pVScreen->rows = m.pVScreen->columns = 4;
        m.pVScreen->width = 7680;
        m.pVScreen->height = 4320;
    };
    auto decodersIn = [&](std::vector<int> cells) {
        return [&m, cells] {
            for (int c : cells) m.pVScreen->ip[c] = "10.0.0." + std::to_string(100 + c);
        };
    };
    auto currentSlot = [&](int slot, bool decoder) {
        return [&m, slot, decoder] {
            iUnicastCurIndex = slot;
            m.pUnicast->ip[slot] = decoder ? "10.0.1.1" : "";
            m.pUnicast->ip[1] = "10.0.1.2";  // slot of unicast window 7
        };
    };
    const Case cases[] = {
        {"window 80 of 80", grid4x4, "config get vs win params 80", -1, {}},
        {"window 79 of 80", grid4x4, "config get vs win params 79", 1, {79}},
        {"window past a 2x2 wall", [] {}, "config get vs win params 20", -1, {}},
        {"negative window", [] {}, "config get vs win params -1", -1, {}},
        {"no number reads 0", [] {}, "config get vs win params", 1, {0}},
        {"number out of int range", [] {}, "config get vs win params 99999999999", -1, {}},
        {"cells 1 and 3",
         decodersIn({1, 3}),
         "config get vs all wins",
         2,
         {5, 6, 7, 8, 9, 15, 16, 17, 18, 19}},
        {"no decoder on the wall", [] {}, "config get vs all params", -1, {}},
        {"slot 52 windows",
         currentSlot(52, true),
         "config get unicast all params",
         5,
         {4, 5, 6, 7, 8}},
        {"empty current slot, all", currentSlot(0, false), "config get unicast all params", 0, {}},
        {"empty current slot, window of a slot with decoder",
         currentSlot(0, false),
         "config get unicast win params 7",
         0,
         {}},
        {"unicast window 999", currentSlot(0, true), "config get unicast win params 999", 1, {231}},
        {"unicast window 1000", currentSlot(0, true), "config get unicast win params 1000", -1, {}},
        {"current slot outside the table",
         [] { iUnicastCurIndex = 200; },
         "config get unicast all params",
         0,
         {}},
    };
    for (const Case& c : cases) {
        m.pVScreen->rows = m.pVScreen->columns = 2;
        m.pVScreen->width = 3840;
        m.pVScreen->height = 2160;
        for (auto& ip : m.pVScreen->ip) ip.clear();
        c.setup();
        std::vector<char> cmd = commandText(c.cmd);
        ArrayList<VWin> list;
        int got = -2;
        if (c.cmd.rfind("config get vs win params", 0) == 0)
            got = m.cmdVSGetWin(cmd.data(), list, 0);
        else if (c.cmd.rfind("config get vs all", 0) == 0)
            got = m.cmdVSGetAllWin(cmd.data(), list, 0);
        else if (c.cmd.rfind("config get unicast all", 0) == 0)
            got = m.cmdVSGetUniAllWin(cmd.data(), list, 0);
        else
            got = m.cmdVSGetUniWin(cmd.data(), list, 0);
        EXPECT_EQ(got, c.expected) << c.what;
        EXPECT_EQ(numbers(list), c.wins) << c.what;
    }
}

TEST_F(WallOpsTest, WindowQueryEndsTheTextAfterItsKeywordOnly) {
    VSServer& m = start();
    std::vector<char> cmd = commandText("config get vs win params 3");
    ArrayList<VWin> list;
    EXPECT_EQ(m.cmdVSGetWin(cmd.data(), list, 0), 1);
    EXPECT_STREQ(cmd.data(), "config get vs win params");
    // Shorter than the keyword: nothing is written past the text (the sanitizer watches).
    std::vector<char> shortCmd = commandText("config get");
    EXPECT_EQ(m.cmdVSGetWin(shortCmd.data(), list, 0), 1);
    EXPECT_STREQ(shortCmd.data(), "config get");
}

TEST_F(WallOpsTest, MaximisedWindowIsReportedAtItsFormerPlace) {
    VSServer& m = start();
    place(m.pVWinOrg[6], 100, 200, 300, 400, 1);
    m.pVWinOrg[6]->url = "rtsp://10.0.0.9/live";
    m.pVWinOrg[6]->winId = 6;
    place(m.pVWin[6], 0, 3839, 0, 2159, 1);
    m.pVWin[6]->used = 1;
    m.pVWinOrg[6]->used = 0;
    std::vector<char> cmd = commandText("config get vs win params 6");
    ArrayList<VWin> list;
    ASSERT_EQ(m.cmdVSGetWin(cmd.data(), list, 0), 1);
    VWin expected = *m.pVWinOrg[6];
    expected.used = 1;
    EXPECT_TRUE(sameWin(*list.get(0), expected));
}

TEST_F(WallOpsTest, UnicastWindowsCarryEightBitNumbersAndStoredIds) {
    VSServer& m = start();
    iUnicastCurIndex = 52;
    m.pUnicast->ip[52] = "10.0.1.52";
    for (int k = 0; k < 5; ++k) {
        place(m.pUWin[260 + k], 0, 100, 0, 100, 1);
        m.pUWin[260 + k]->winId = 7000 + k;
        m.pUWin[260 + k]->url = "u" + std::to_string(k);
    }
    ArrayList<VWin> list;
    char cmd[] = "config get unicast all params";
    ASSERT_EQ(m.cmdVSGetUniAllWin(cmd, list, 0), 5);
    for (int k = 0; k < 5; ++k) {
        VWin expected = *m.pUWin[260 + k];
        expected.win = static_cast<uint8_t>(4 + k);
        EXPECT_TRUE(sameWin(*list.get(k), expected));
    }
    // The query hands out copies.
    list.get(0)->url = "changed";
    EXPECT_EQ(m.pUWin[260]->url, "u0");
}

TEST_F(WallOpsTest, ScreenUnicastAndMulticastQueriesCopyTheRecords) {
    VSServer& m = start();
    m.pVScreen->ip[3] = "10.0.0.4";
    m.pVScreen->name[3] = "RX4";
    m.pVScreen->splitnum[3] = 4;
    m.pVScreen->ip[4] = "outside the grid";
    ArrayList<VScreen> screens;
    char cmd[] = "config get vs screen params";
    ASSERT_EQ(m.cmdVSGetScreen(cmd, screens, 0), 1);
    ASSERT_EQ(screens.count, 1);
    const VScreen& s = *screens.get(0);
    EXPECT_EQ(s.rows, 2);
    EXPECT_EQ(s.columns, 2);
    EXPECT_EQ(s.width, 3840u);
    EXPECT_EQ(s.ip[3], "10.0.0.4");
    EXPECT_EQ(s.name[3], "RX4");
    EXPECT_EQ(s.splitnum[3], 4);
    EXPECT_EQ(s.ip[4], "");

    m.pUnicast->ip[199] = "10.0.1.199";
    ArrayList<Unicast> unicast;
    char ucmd[] = "config get unicast screen params";
    ASSERT_EQ(m.cmdVSGetUnicast(ucmd, unicast, 0), 1);
    EXPECT_EQ(unicast.get(0)->ip[199], "10.0.1.199");
    EXPECT_EQ(unicast.get(0)->splitnum[0], 1);
    EXPECT_EQ(unicast.get(0)->width, 1920);

    ArrayList<VWin> mul;
    ASSERT_EQ(m.cmdVSGetMulWin(mul, 0), 1);
    ASSERT_EQ(mul.count, 1);
    EXPECT_TRUE(sameWin(*mul.get(0), VWin(0, 1, 0, 1, 0, 0, 0, 0, 0, "", "")));
    m.pMulticast->winUrl = "rtsp://10.0.0.9/live";
    m.pMulticast->winUrlName = "cam";
    ArrayList<VWin> mul2;
    m.cmdVSGetMulWin(mul2, 0);
    EXPECT_EQ(mul2.get(0)->url, "rtsp://10.0.0.9/live");
    EXPECT_EQ(mul2.get(0)->name, "cam");
}
