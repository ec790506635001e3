#include "device/DevServerText.h"

#include <gtest/gtest.h>

using namespace devtext;

TEST(ReplyFields, SplitsAtRunsOfHashAndKeepsBlanks) {
    auto f = splitHashFields("config qel ack get url params #SUCCEED ##v1 #v2", 10);
    ASSERT_EQ(4u, f.size());
    EXPECT_EQ("config qel ack get url params ", f[0]);
    EXPECT_EQ("SUCCEED ", f[1]);
    EXPECT_EQ("v1 ", f[2]);
    EXPECT_EQ("v2", f[3]);
    EXPECT_EQ(2u, splitHashFields("a#b#c#d", 2).size());
    EXPECT_TRUE(splitHashFields("", 5).empty());
    EXPECT_TRUE(splitHashFields("###", 5).empty());
}

TEST(ReplyFields, AcceptsOnlyTheAwaitedSucceedReply) {
    const char* ack = "config qel ack set url params";
    struct Case {
        const char* reply;
        bool accepted;
    } cases[] = {
        {"config qel ack set url params #SUCCEED ", true},
        {"config qel ack set url params #FAILED ", false},
        {"config qel ack set url #SUCCEED ", false},
        {"config qel ack set url params", false},
        {"xconfig qel ack set url params #SUCCEED", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.accepted, isAcceptedReply(splitHashFields(c.reply, 3), ack)) << c.reply;
}

TEST(DiscoveryFields, FullDecoderReplyIsTakenAsItIsWithoutTrailingBlanks) {
    const char* reply =
        "config qel ack get decoders #SUCCEED #00:11:22:aa:bb:cc #255.255.255.0 #10.77.0.254 "
        "#40 #41 #42 #43 #1 #9600 #7 #2 #2 #1 #10.77.0.9 #old #Hall west   #4 #extra";
    auto f = discoveryFields(reply, false);
    ASSERT_EQ(19u, f.size());
    EXPECT_EQ("config qel ack get decoders ", f[0]);
    EXPECT_EQ("00:11:22:aa:bb:cc", f[2]);
    EXPECT_EQ("40", f[5]);
    EXPECT_EQ("10.77.0.9", f[15]);
    EXPECT_EQ("old", f[16]);  // a full reply keeps its version as it is
    EXPECT_EQ("Hall west", f[17]);
    EXPECT_EQ("4", f[18]);
    EXPECT_EQ("DEC7M03-001122aabbcc", discoveryHostname(f[2], false));
}

TEST(DiscoveryFields, ShortRepliesTakeTheDefaults) {
    auto e = discoveryFields(
        "config qel ack get encoders #SUCCEED #0:1:2:3:4:5 #255.0.0.0 #10.0.0.1 #25 #1 #1 #1 #1 "
        "#1 #1 #1 #1 #1 #1 #1 #TX_V2.1 ",
        true);  // 18 fields
    EXPECT_EQ("0:1:2:3:4:5", e[2]);
    EXPECT_EQ("255.0.0.0", e[3]);
    EXPECT_EQ("10.0.0.1", e[4]);
    std::vector<std::string> enc = {"30",     "0", "24000", "12000", "0", "1",
                                    "115200", "8", "0",     "1",     "0", "127.0.0.1"};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(enc[i], e[5 + i]) << i;
    EXPECT_EQ("TX_V2.1", e[17]);
    EXPECT_EQ("TX", e[18]);

    auto old = discoveryFields("config qel ack get encoders #SUCCEED #m", true);
    EXPECT_EQ("version too old", old[17]);
    EXPECT_EQ("", old[3]);

    auto d = discoveryFields("config qel ack get decoders #SUCCEED #m #n #g", false);
    std::vector<std::string> dec = {"50", "50", "50", "50", "0",         "115200",
                                    "8",  "0",  "1",  "0",  "127.0.0.1", "version too old",
                                    "RX", "1"};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(dec[i], d[5 + i]) << i;
}

TEST(Numbers, ReadLikeDecimalConversionWithoutOverflow) {
    EXPECT_EQ(0, toInt("abc"));
    EXPECT_EQ(12, toInt("12abc"));
    EXPECT_EQ(-3, toInt(" -3"));
    EXPECT_EQ(2147483647, toInt("99999999999999999999"));
    int v = 0;
    EXPECT_TRUE(leadingInt("554x", v));
    EXPECT_EQ(554, v);
    EXPECT_FALSE(leadingInt("x554", v));
    EXPECT_FALSE(leadingInt("", v));
    EXPECT_FALSE(leadingInt(" 5", v));
}

TEST(AddressOrder, FirstOctetMostSignificantAndNumeric) {
    EXPECT_LT(addressKey("10.77.0.3"), addressKey("10.77.0.20"));
    EXPECT_LT(addressKey("9.255.255.255"), addressKey("10.0.0.1"));
    EXPECT_EQ(0u, addressKey("not an address"));
}

TEST(MacCompare, ReadsSixHexNumbers) {
    EXPECT_TRUE(sameMac("00:0a:35:00:01:02", "0:A:35:0:1:2"));
    EXPECT_TRUE(sameMac("0a:0B:1:2:3:4", "A:b:01:02:03:04"));
    EXPECT_FALSE(sameMac("00:0a:35:00:01:02", "00:0a:35:00:01:03"));
    EXPECT_TRUE(sameMac("", "garbage"));  // both read as six zeros
    EXPECT_FALSE(sameMac("", "0:0:0:0:0:1"));
    EXPECT_TRUE(sameMac("1:2", "1:2:0:0:0:0"));
}

TEST(IpSourceUrl, BuildsBothCameraSchemes) {
    EXPECT_EQ("rtsp://admin:pw@10.77.0.50:554/cam/realmonitor?channel=1&subtype=0?tcp",
              ipSourceUrl(0, true, "admin", "pw", "10.77.0.50", 554, "?tcp"));
    EXPECT_EQ("rtsp://admin:pw@10.77.0.50:554/cam/realmonitor?channel=1&subtype=1",
              ipSourceUrl(0, false, "admin", "pw", "10.77.0.50", 554, "?tcp"));
    EXPECT_EQ("rtsp://u:p@1.2.3.4:8554/h264/ch1/main/av_stream?tcp",
              ipSourceUrl(1, true, "u", "p", "1.2.3.4", 8554, "?tcp"));
    EXPECT_EQ("rtsp://u:p@1.2.3.4:8554/h264/ch1/sub/av_stream",
              ipSourceUrl(1, false, "u", "p", "1.2.3.4", 8554, "?tcp"));
    EXPECT_EQ("", ipSourceUrl(2, true, "u", "p", "1.2.3.4", 554, ""));
}

TEST(Csv, LineHasATrailingComma) {
    EXPECT_EQ("MAC,IP,NAME,NETMASK,GATEWAY,\n", csvLine("MAC", "IP", "NAME", "NETMASK", "GATEWAY"));
}
