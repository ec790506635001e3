// The decoder window texts: every format byte for byte, the reset sequences and the per-call
// de-duplication of the batch.
#include "ScreensFixture.h"

namespace {

struct FormatCase {
    std::string built, expected;
};

}  // namespace

TEST(VSTexts, EveryFormatByteForByte) {
    const std::string ip = "10.0.0.2";
    const FormatCase cases[] = {
        {vsVideoText(ip, 16, 0, 1920, 0, 540, 0, 100, 50, 100),
         "config set video params 10.0.0.2 16 0 1920 0 540 0 100 50 100 0 1 \n"},
        {vsDisplayText(ip, 3, true), "config set display params 10.0.0.2 3 1 \n"},
        {vsDisplayText(ip, 16, false), "config set display params 10.0.0.2 16 0 \n"},
        {vsUrlText(ip, 16, "rtsp://10.0.0.9/live"),
         "config set url params 10.0.0.2 16 rtsp://10.0.0.9/live"},
        {vsUrlText(ip, 4, VS_UNUSED_WINDOW), "config set url params 10.0.0.2 4 unused_window"},
        {vsSplitText(ip, 4, 0), "config set split params 10.0.0.2 4 0 \n"},
        {vsSplitUndisText(ip, 5, 0), "config set splitundis params 10.0.0.2 5 0 \n"},
        {vsCutEdgeText(ip, 4, 3), "config set cutedge params 10.0.0.2 4 3 \n"},
        {vsRxDisplayIpText(ip), "config set rx display ip 10.0.0.2 \n"},
        {vsNormalHideText(ip, 16, 30), "config set normal hide params 10.0.0.2 16 30"},
        {vsMulHideText(3), "config set mul hide params 255.255.255.255 3 "},
    };
    for (const FormatCase& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(VSTexts, ResetSequenceAndItsUrlForm) {
    const std::vector<std::string> urls = {
        "config set url params 10.0.0.3 16 unused_window",
        "config set url params 10.0.0.3 0 unused_window",
        "config set url params 10.0.0.3 1 unused_window",
        "config set url params 10.0.0.3 2 unused_window",
        "config set url params 10.0.0.3 3 unused_window",
        "config set url params 10.0.0.3 4 unused_window",
    };
    EXPECT_EQ(vsResetUrlTexts("10.0.0.3"), urls);
    std::vector<std::string> reset = {"config set split params 10.0.0.3 1 0 \n"};
    reset.insert(reset.end(), urls.begin(), urls.end());
    EXPECT_EQ(vsResetTexts("10.0.0.3"), reset);
}

TEST(VSTexts, TextsThatDoNotFitAreNotCut) {
    EXPECT_EQ(vsUrlText("10.0.0.2", 0, std::string(222, 'u')).size(), 255u);
    EXPECT_EQ(vsUrlText("10.0.0.2", 0, std::string(223, 'u')), "");
}

TEST_F(ScreensTest, BatchSendsATextOncePerCallAndSkipsFreeCells) {
    VSServer& m = wall();
    {
        VSTextBatch batch(m);
        batch.send("10.0.0.2", vsDisplayText("10.0.0.2", 16, true));
        batch.send("10.0.0.2", vsDisplayText("10.0.0.2", 16, true));
        batch.send("", vsDisplayText("", 16, true));
        for (int i = 0; i < 400; ++i) batch.send("10.0.0.2", vsDisplayText("10.0.0.2", i, true));
        batch.sendAlways("255.255.255.255", vsMulHideText(3));
        batch.sendAlways("255.255.255.255", vsMulHideText(3));
        EXPECT_EQ(batch.result(), 0);
        batch.send("10.0.0.2", vsUrlText("10.0.0.2", 0, std::string(300, 'u')));
        EXPECT_EQ(batch.result(), -1);
    }
    std::vector<std::string> t = take();
    ASSERT_EQ(t.size(), 1u + 399u + 2u);  // the 400 windows include 16, already sent
    EXPECT_EQ(t[0], "config set display params 10.0.0.2 16 1 \n");
    EXPECT_EQ(t[1], "config set display params 10.0.0.2 0 1 \n");
    EXPECT_EQ(t.back(), "config set mul hide params 255.255.255.255 3 ");
    // A new call sends the same text again.
    VSTextBatch next(m);
    next.send("10.0.0.2", vsDisplayText("10.0.0.2", 16, true));
    EXPECT_EQ(take().size(), 1u);
}
