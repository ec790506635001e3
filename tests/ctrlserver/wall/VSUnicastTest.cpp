// The unicast screens: slot choice, split and url of the current slot, window placement and the
// full-window toggle, with their files and the decoder texts in order.
#include "SourcesFixture.h"

namespace {

const char kUnicastFile[] = "/mnt/qelconfUnicast.ini";

}  // namespace

using UnicastTest = SourcesTest;

TEST_F(UnicastTest, NewDecoderTakesTheFirstFreeSlotWithSevenTexts) {
    VSServer& m = wall();
    m.pUnicast->ip[0] = "10.9.9.9";  // a slot held by an unknown decoder is not free
    // The slot token is not used: 17 does not choose slot 17.
    EXPECT_EQ(uniSrc("17 " + freeIp(0)), 0);
    const std::string ip = freeIp(0);
    std::vector<std::string> expected{vsSplitText(ip, 1, 0)};
    for (int k = 0; k < 5; ++k) expected.push_back(url(ip, k, VS_UNUSED_WINDOW));
    expected.push_back(vsRxDisplayIpText(ip));
    EXPECT_EQ(take(), expected);
    EXPECT_EQ(m.pUnicast->curIndex, 1);
    EXPECT_EQ(iUnicastCurIndex, 1);
    EXPECT_EQ(m.pUnicast->ip[1], ip);
    EXPECT_EQ(m.pUnicast->name[1], "FREE0");
    EXPECT_EQ(value(kUnicastFile, "unicastip_01"), ip);
    EXPECT_EQ(value(kUnicastFile, "unicastname_01"), "FREE0");
    EXPECT_EQ(value(kUnicastFile, "unicastsplitnum_01"), 1);
    EXPECT_EQ(value(kUnicastFile, "unicastCurIndex"), 1);
    EXPECT_EQ(value(kUnicastFile, "screenWidth"), 1920);
    EXPECT_TRUE(rectIs(*m.pUWin[5], 0, 1919, 0, 1079));
    EXPECT_EQ(m.pUWin[5]->url, "");
}

TEST_F(UnicastTest, PlacedDecoderIsMadeCurrentAndOnlyToldItsDisplayIp) {
    VSServer& m = wall();
    ASSERT_EQ(uniSrc("0 " + freeIp(0)), 0);
    ASSERT_EQ(uniSrc("0 " + freeIp(1)), 0);
    ASSERT_EQ(uniSplit("0 4 0"), 0);
    m.pUWin[5]->url = m.pUWinOrg[5]->url = "rtsp://kept";
    m.pUnicast->name[1] = "old name";
    take();
    // A free slot before it does not win over its own slot.
    m.pUnicast->ip[0].clear();
    ASSERT_EQ(uniSrc("0 " + freeIp(1)), 0);
    EXPECT_EQ(take(), (std::vector<std::string>{vsRxDisplayIpText(freeIp(1))}));
    EXPECT_EQ(m.pUnicast->curIndex, 1);
    // The slot's keys carry the decoder table's present name and split.
    EXPECT_EQ(m.pUnicast->name[1], "FREE1");
    EXPECT_EQ(value(kUnicastFile, "unicastname_01"), "FREE1");
    EXPECT_EQ(value(kUnicastFile, "unicastsplitnum_01"), m.pUnicast->splitnum[1]);
    EXPECT_EQ(m.pUWin[5]->url, "rtsp://kept");
    EXPECT_TRUE(rectIs(*m.pUWin[5], 0, 959, 0, 535)) << "layout left as it was";
}

TEST_F(UnicastTest, RefusedPlacementsChangeNothing) {
    VSServer& m = wall();
    const std::string before = readBytes(kUnicastFile);
    struct Case {
        std::string args;
        unsigned wallCheck;
    } cases[] = {
        {"0 10.0.0.99", 0},                  // no such decoder
        {"0", 0},                            // no address
        {"0 " + cellIp(2), 0},               // a wall cell
        {"0 " + std::string(128, '1'), 1},   // longer than its field
        {"0 " + freeIp(0).substr(0, 8), 1},  // a prefix is no match
    };
    for (const Case& c : cases) EXPECT_EQ(uniSrc(c.args, c.wallCheck), -1) << c.args;
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(readBytes(kUnicastFile), before);
    EXPECT_EQ(m.pUnicast->curIndex, 0);
    // The adapter's form skips the wall test.
    EXPECT_EQ(uniSrc("0 " + cellIp(2), 1), 0);
    EXPECT_EQ(m.pUnicast->ip[0], cellIp(2));
}

TEST_F(UnicastTest, FullTableTakesTheSlotAfterTheCurrentAndWraps) {
    VSServer& m = wall();
    for (int s = 0; s < UNICAST_SLOTS; ++s) m.pUnicast->ip[s] = "10.8.0." + std::to_string(s);
    m.pUnicast->curIndex = 199;
    ASSERT_EQ(uniSrc("0 " + freeIp(0)), 0);
    EXPECT_EQ(m.pUnicast->curIndex, 0);
    EXPECT_EQ(m.pUnicast->ip[0], freeIp(0));
    for (const std::string& t : take())
        EXPECT_EQ(t.find("10.8.0.0 "), std::string::npos) << "the displaced decoder: " << t;
    ASSERT_EQ(uniSrc("0 " + freeIp(1)), 0);
    EXPECT_EQ(m.pUnicast->curIndex, 1);
    // Slot numbers are printed with at least two digits.
    m.pUnicast->curIndex = 122;
    ASSERT_EQ(uniSrc("0 " + freeIp(2)), 0);
    EXPECT_EQ(value(kUnicastFile, "unicastip_123"), freeIp(2));
    EXPECT_EQ(value(kUnicastFile, "unicastCurIndex"), 123);
}

TEST_F(UnicastTest, SplitActsOnTheCurrentSlot) {
    struct Case {
        const char* args;
        unsigned direct;
        int result;
        const char* text;  // the decoder text, "" for none
    } cases[] = {
        {"9 4 0", 1, 0, "config set split params 10.0.0.20 4 0 \n"},
        {"0 4 1", 1, 0, "config set split params 10.0.0.20 4 1 \n"},
        {"0 5 0", 0, 0, "config set splitundis params 10.0.0.20 5 0 \n"},
        {"0 3 0", 1, -1, ""},
        {"0", 1, -1, ""},
    };
    for (const Case& c : cases) {
        VSServer& m = wall();
        ASSERT_EQ(uniSrc("0 " + freeIp(0)), 0);
        setMulticast("rtsp://multi", "M");
        take();
        EXPECT_EQ(uniSplit(c.args, c.direct), c.result) << c.args;
        const std::vector<std::string> sent = take();
        if (c.result < 0) {
            EXPECT_TRUE(sent.empty()) << c.args;
            EXPECT_EQ(m.pUnicast->splitnum[0], 1) << c.args;
            EXPECT_FALSE(multicastEmpty()) << c.args;
            continue;
        }
        EXPECT_EQ(sent, (std::vector<std::string>{c.text})) << c.args;
        const int split = c.args[2] - '0';
        EXPECT_EQ(m.pUnicast->splitnum[0], split);
        EXPECT_EQ(value(kUnicastFile, "unicastsplitnum_00"), split);
        EXPECT_TRUE(exists("/mnt/qelconfUWin_04.ini"));
        EXPECT_TRUE(multicastEmpty()) << c.args;
    }
}

TEST_F(UnicastTest, SplitAndUrlNeedAPlacedCurrentSlot) {
    VSServer& m = wall();
    EXPECT_EQ(uniSplit("0 4 0"), -1);
    EXPECT_EQ(uniUrl("0 esource 10.0.1.1 0"), -1);
    // A fresh file's "no slot yet".
    m.pUnicast->curIndex = -1;
    m.pUnicast->ip[0] = freeIp(0);
    EXPECT_EQ(uniUrl("0 esource 10.0.1.1 0"), -1);
    EXPECT_EQ(iUnicastCurIndex, -1);
    EXPECT_EQ(uniSplit("0 4 0"), -1);
    EXPECT_TRUE(take().empty());
}

TEST_F(UnicastTest, UrlTable) {
    const std::string ip = freeIp(0);
    const std::string longUrl = "rtsp://10.0.1.9/" + std::string(120, 'x');
    struct Case {
        std::string args;
        int result;
        int window;        // the record changed
        std::string text;  // "" for none
        std::string url, name;
    } cases[] = {
        {"7 esource CLEAR 0", 0, 7, url(ip, 2, "unused_window"), "", ""},
        {"1 esource 10.0.1.1 0", 0, 1, url(ip, 1, "rtsp://10.0.1.1/main"), "rtsp://10.0.1.1/main",
         "ENC1"},
        // Any type: encoders and cameras alike; a source without a name is named by address.
        {"3 ipsource 10.0.1.2 1", 0, 3, url(ip, 3, "rtsp://10.0.1.2/b"), "rtsp://10.0.1.2/b",
         "10.0.1.2"},
        {"4 x 10.0.2.1 1", 0, 4, url(ip, 4, "rtsp://10.0.2.1/cam1"), "rtsp://10.0.2.1/cam1",
         "CAM1"},
        // Stream 2: an empty url, the text ends with the blank after the window.
        {"2 esource 10.0.1.1 2", 0, 2, "config set url params 10.0.0.20 2 ", "", "ENC1"},
        // Unknown source: kept as specified.
        {"0 esource 10.0.9.9 0", 0, 0, url(ip, 0, "unused_window"), "unused_window", ""},
        // A window of another slot: its record, the current decoder's window.
        {"12 esource 10.0.1.1 1", 0, 12, url(ip, 2, "rtsp://10.0.1.1/sub"), "rtsp://10.0.1.1/sub",
         "ENC1"},
        {"-1 esource 10.0.1.1 0", -1, -1, "", "", ""},
        {"1000 esource 10.0.1.1 0", -1, -1, "", "", ""},
        {"1 esource 10.0.1.9 0", -1, -1, "", "", ""},  // url over the record's 127 bytes
        {"1 esource " + std::string(256, '1') + " 0", -1, -1, "", "", ""},
    };
    for (const Case& c : cases) {
        VSServer& m = wall();
        loadDevices({dec(freeIp(0), "FREE0")},
                    {src("ENC1", "10.0.1.1", "rtsp://10.0.1.1/main", "rtsp://10.0.1.1/sub"),
                     src("", "10.0.1.2", "rtsp://10.0.1.2/a", "rtsp://10.0.1.2/b"),
                     src("LONG", "10.0.1.9", longUrl, longUrl)},
                    {src("CAM1", "10.0.2.1", "rtsp://10.0.2.1/cam0", "rtsp://10.0.2.1/cam1")});
        VSServer& again = startWatched();
        (void)m;
        ASSERT_EQ(uniSrc("0 " + ip), 0);
        for (int w = 0; w < 15; ++w) {
            again.pUWin[w]->url = again.pUWinOrg[w]->url = "old";
            again.pUWin[w]->name = again.pUWinOrg[w]->name = "old";
        }
        setMulticast("rtsp://multi", "M");
        take();
        EXPECT_EQ(uniUrl(c.args), c.result) << c.args;
        const std::vector<std::string> sent = take();
        if (c.result < 0) {
            EXPECT_TRUE(sent.empty()) << c.args;
            EXPECT_FALSE(multicastEmpty()) << c.args;
            for (int w = 0; w < 15; ++w) EXPECT_EQ(again.pUWin[w]->url, "old") << c.args;
            continue;
        }
        EXPECT_EQ(sent, (std::vector<std::string>{c.text})) << c.args;
        for (const VWin* rec : {again.pUWin[c.window].get(), again.pUWinOrg[c.window].get()}) {
            EXPECT_EQ(rec->url, c.url) << c.args;
            EXPECT_EQ(rec->name, c.name) << c.args;
        }
        EXPECT_TRUE(exists(vsNumbered("/mnt/qelconfUWin_%02d.ini", c.window))) << c.args;
        EXPECT_TRUE(multicastEmpty()) << c.args;
    }
}

class UnicastWinTest : public UnicastTest {
public:
    // Freeip(0) in slot 0 with split 4: windows 0-3 are the quarters of the output.
    VSServer& slotWithFour() {
        VSServer& m = wall();
        EXPECT_EQ(uniSrc("0 " + freeIp(0)), 0);
        EXPECT_EQ(uniSplit("0 4 0"), 0);
        take();
        return m;
    }
    static std::string video(int w, int h0, int h1, int v0, int v1) {
        return vsVideoText(freeIp(0), w, h0, h1, v0, v1, 0, 100, 0, 100);
    }
};

TEST_F(UnicastWinTest, MovingOverAWindowHidesItBeforeTheVideoText) {
    VSServer& m = slotWithFour();
    ASSERT_EQ(uniWin(0, 0, 1200, 0, 500), 1);
    EXPECT_EQ(take(), (std::vector<std::string>{vsDisplayText(freeIp(0), 1, false),
                                                video(0, 0, 1200, 0, 500)}));
    EXPECT_EQ(m.pUWin[1]->visible, 0);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].win, 1);
    EXPECT_EQ(listed[1].win, 0);
    EXPECT_EQ(m.pUWin[1]->winId, 1u) << "a hidden window falls back to its own number";
    // Moving it away shows the uncovered window again, before the video text.
    ASSERT_EQ(uniWin(0, 0, 900, 0, 500), 1);
    EXPECT_EQ(take(), (std::vector<std::string>{vsDisplayText(freeIp(0), 1, true),
                                                video(0, 0, 900, 0, 500)}));
    EXPECT_EQ(m.pUWin[1]->visible, 1);
    // The window that has just appeared goes above the visible windows before it (window 0 at
    // 5), and the moved window above it.
    EXPECT_EQ(m.pUWin[1]->winId, 6u);
    EXPECT_EQ(m.pUWin[0]->winId, 7u);
    // No visibility change: the placed window alone, result 0.
    ASSERT_EQ(uniWin(2, 0, 900, 600, 1000), 0);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].win, 2);
    EXPECT_TRUE(rectIs(listed[0], 0, 900, 600, 1000));
    const std::vector<std::string> sent = take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].substr(sent[0].size() - 17), "0 100 0 100 0 1 \n");
    EXPECT_TRUE(exists("/mnt/qelconfUWin_02.ini"));
}

TEST_F(UnicastWinTest, RefusedPlacements) {
    slotWithFour();
    for (const char* args :
         {"1000 0 10 0 10", "-1 0 10 0 10", "0 10 10 0 10", "0 0 10 9 9", "0 0 99999999999 0 10"})
        EXPECT_EQ(
            run(&VSServer::cmdVSSetUniWin, std::string("config set unicast win params ") + args),
            -1)
            << args;
    for (int w : {-1, 1000}) EXPECT_EQ(uniDbl(w), -1) << w;
    EXPECT_TRUE(take().empty());
    VSServer& m = wall();
    EXPECT_EQ(uniWin(0, 0, 10, 0, 10), -1) << "no placed current slot";
    EXPECT_EQ(uniDbl(0), -1);
    (void)m;
}

TEST_F(UnicastWinTest, DblTwiceGivesTheRectangleBack) {
    // Window 0 of slot 0, and window 300 of slot 60, whose number does not fit 8 bits.
    for (int slot : {0, 60}) {
        VSServer& m = slotWithFour();
        if (slot) {
            m.pUnicast->curIndex = slot - 1;
            for (int s = 0; s < slot; ++s) m.pUnicast->ip[s] = "10.8.0." + std::to_string(s);
            m.pUnicast->ip[0] = freeIp(0);
            ASSERT_EQ(uniSrc("0 " + freeIp(1)), 0);
            ASSERT_EQ(m.pUnicast->curIndex, slot);
            ASSERT_EQ(uniSplit("0 4 0"), 0);
            take();
        }
        const int w = 5 * slot;
        const std::string ip = m.pUnicast->ip[slot];
        ASSERT_EQ(uniWin(w, 100, 300, 100, 300), 0);
        take();
        ASSERT_GE(uniDbl(w), 0);
        EXPECT_TRUE(rectIs(*m.pUWin[w], 0, 959, 0, 535)) << w;
        ASSERT_GE(uniDbl(w), 0);
        EXPECT_TRUE(rectIs(*m.pUWin[w], 100, 300, 100, 300)) << w;
        // Across the cut: the bounding box of the places its corners lie in.
        ASSERT_GE(uniWin(w, 900, 1000, 500, 600), 0);
        ASSERT_GE(uniDbl(w), 0);
        EXPECT_TRUE(rectIs(*m.pUWin[w], 0, 1919, 0, 1079)) << w;
        // Placing it while enlarged ends the view; the next dbl enlarges from the new place.
        ASSERT_GE(uniWin(w, 1000, 1100, 600, 700), 0);
        ASSERT_GE(uniDbl(w), 0);
        EXPECT_TRUE(rectIs(*m.pUWin[w], 960, 1919, 536, 1079)) << w;
        const std::vector<std::string> sent = take();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back(), vsVideoText(ip, 0, 960, 1919, 536, 1079, 0, 100, 0, 100));
        ASSERT_GE(uniDbl(w), 0);
        EXPECT_TRUE(rectIs(*m.pUWin[w], 1000, 1100, 600, 700)) << w;
    }
}

TEST_F(UnicastWinTest, DblOfAWindowTheSplitDoesNotUseIsRefused) {
    VSServer& m = slotWithFour();
    const VWin before = *m.pUWin[4];
    EXPECT_EQ(uniDbl(4), -1);
    EXPECT_TRUE(sameWin(*m.pUWin[4], before));
    EXPECT_EQ(m.uWinDbl.used, 0);
    EXPECT_TRUE(take().empty());
}

TEST_F(UnicastWinTest, WindowOfAnotherSlotGoesToThatSlotsDecoder) {
    VSServer& m = slotWithFour();
    ASSERT_EQ(uniSrc("0 " + freeIp(1)), 0);
    ASSERT_EQ(m.pUnicast->curIndex, 1);
    take();
    ASSERT_EQ(uniWin(0, 10, 20, 10, 20), 0);
    EXPECT_EQ(take(), (std::vector<std::string>{video(0, 10, 20, 10, 20)}));
}
