#include <cstring>

#include "ControlFixture.h"
#include "support/NoNetwork.h"

namespace {

class NetIdentity : public ctltest::ControlFixture {};

}  // namespace

TEST(CheckValid, AddressesAndMacs) {
    const struct {
        const char* text;
        bool ip;
    } ips[] = {
        {"192.0.2.254", true},
        {"10.77.0.2", true},
        {"192.0.2.255", false},
        {"255.255.255.255", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"1.2.3.a", false},
        {"1..2.3", false},
        {"1234567890123456", false},
        {"", false},
    };
    for (const auto& c : ips)
        EXPECT_EQ(checkValidIP(reinterpret_cast<const unsigned char*>(c.text)) == 0, c.ip)
            << c.text;

    const struct {
        const char* text;
        bool mac;
    } macs[] = {
        {"00:1a:2B:3c:4D:5e", true},    {"00:1a:2b:3c:4d", false},    {"00-1a-2b-3c-4d-5e", false},
        {"00:1a:2b:3c:4d:5e\n", false}, {"00:1a:2b:3c:4d:5g", false}, {"empty", false},
    };
    for (const auto& c : macs)
        EXPECT_EQ(checkValidMAC(reinterpret_cast<const unsigned char*>(c.text)) == 0, c.mac)
            << c.text;
}

TEST(DeleteChar, RemovesEveryOccurrence) {
    char mac[] = "00:1A:2B:3C:4D:5E";
    EXPECT_STREQ(static_cast<char*>(deleteChar(mac, ':')), "001A2B3C4D5E");
    EXPECT_EQ(deleteChar(nullptr, ':'), nullptr);
}

TEST_F(NetIdentity, SetNetParamRecordsChangesInTheStartupFiles) {
    copyText(MyNetParam.IP, 50, "192.0.2.1");
    copyText(MyNetParam.Netmask, 50, "255.255.255.0");
    copyText(MyNetParam.Gateway, 50, "192.0.2.254");
    SetNetParam("192.0.2.12", "02:00:00:00:00:02", "255.255.0.0", "No_Gateway");
    EXPECT_STREQ(MyNetParam.IP, "192.0.2.12");
    EXPECT_EQ(read("/mnt/IPConfig"), "ifconfig eth0 192.0.2.12");
    EXPECT_EQ(read("/mnt/NetmaskConfig"), "ifconfig eth0 netmask 255.255.0.0");
    EXPECT_STREQ(MyNetParam.Gateway, "192.0.2.254");
    EXPECT_FALSE(exists("/mnt/GatewayConfig"));

    SetNetParam("192.0.2.12", "02:00:00:00:00:02", "255.255.0.0", "192.0.2.1");
    EXPECT_EQ(read("/mnt/GatewayConfig"), "route add default gw 192.0.2.1");
}

TEST_F(NetIdentity, SetMacParamWithTheCurrentMacInLowerCaseStillChangesIt) {
    setOwnAddress("10.77.0.2", "02:AB:00:00:00:02");
    SetMacParam("02:AB:00:00:00:02");
    EXPECT_FALSE(exists("/mnt/MacConfig"));
    ASSERT_TRUE(qeltest::isolateFromNetwork());
    SetMacParam("02:ab:00:00:00:02");
    EXPECT_EQ(read("/mnt/MacConfig"), "ifconfig eth0 hw ether 02:ab:00:00:00:02");
    EXPECT_NE(read("/var/log/commands.log").find("ifconfig eth0 hw ether 02:ab:00:00:00:02"),
              std::string::npos);
}

TEST_F(NetIdentity, NoInterfaceListedLeavesTheTables) {
    ASSERT_TRUE(qeltest::isolateFromNetwork());
    setOwnAddress("10.77.0.2");
    copyText(reinterpret_cast<char*>(GW_info[0]), 128, "10.77.0.254");
    EXPECT_EQ(get_IP_MAC(), 0u);
    EXPECT_STREQ(reinterpret_cast<char*>(IP_info[0]), "10.77.0.2");
    EXPECT_STREQ(reinterpret_cast<char*>(MAC_info[0]), "02:00:00:00:00:02");
    EXPECT_STREQ(reinterpret_cast<char*>(GW_info[0]), "10.77.0.254");
}

TEST_F(NetIdentity, DiscoveryAnswerCarriesSeventeenFields) {
    copyText(MyNetParam.Mac, 50, "02:00:00:00:00:02");
    copyText(MyNetParam.Netmask, 50, "255.255.255.0");
    copyText(MyNetParam.Gateway, 50, "10.77.0.254");
    copyText(reinterpret_cast<char*>(decoder_Name), 32, "Left wall");
    Luma = 60;
    char t[1024];
    int n = formatDiscovery(t, sizeof t);
    std::string s(t, static_cast<size_t>(n));
    EXPECT_EQ(s,
              "config qel ack get decoders #SUCCEED #02:00:00:00:00:02 #255.255.255.0 "
              "#10.77.0.254 #60 #50 #50 #50 #1 #115200 #8 #0 #1 #0 #255.255.255.255 "
              "#V1.6.2.1_0104_2019 #Left wall #1");
    n = formatDiscoveryOrg(t, sizeof t);
    EXPECT_EQ(std::string(t, static_cast<size_t>(n)),
              "I'm RARO_Decoder! and My hwaddr is: 02:00:00:00:00:02 Netmask is: 255.255.255.0 "
              "Gateway is: 10.77.0.254");
}
