#include <cstring>

#include "ControlFixture.h"

using ctltest::mainFile;

namespace {

class Settings : public ctltest::ControlFixture {};

const char* const kMissing = nullptr;

struct IniCase {
    const char* name;
    const char* mainText;  // nullptr: missing
    const char* copyText;
    int version;
    const char* slot0;
    int windows;
};

}  // namespace

TEST_F(Settings, CheckIniSettlesOnTheBetterCopy) {
    const std::string fresh = mainFile(1);
    const std::string seven = mainFile(7, "rtsp://192.0.2.7/a");
    const std::string five = mainFile(5, "rtsp://192.0.2.5/a");
    const std::string longToken = mainFile(3, std::string(600, 'u'));
    const IniCase cases[] = {
        {"both missing", kMissing, kMissing, 1, "unused_window", 18},
        {"backup newer", five.c_str(), seven.c_str(), 7, "rtsp://192.0.2.7/a", 18},
        {"main newer", seven.c_str(), five.c_str(), 7, "rtsp://192.0.2.7/a", 18},
        {"main missing", kMissing, five.c_str(), 5, "rtsp://192.0.2.5/a", 18},
        {"copy missing", seven.c_str(), kMissing, 7, "rtsp://192.0.2.7/a", 18},
        {"main not a number", "garbage\n", five.c_str(), 5, "rtsp://192.0.2.5/a", 18},
        {"main empty", "", five.c_str(), 5, "rtsp://192.0.2.5/a", 18},
        {"both not numbers", "garbage\n", "trash\n", 1, "unused_window", 18},
        {"both empty", "", "", 1, "unused_window", 18},
        {"token too long for a slot", longToken.c_str(), longToken.c_str(), 3, "", 18},
    };
    for (const IniCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (c.mainText) write("/mnt/config.ini", c.mainText);
        if (c.copyText) write("/mnt/config.bak", c.copyText);
        ASSERT_EQ(checkIni(), 0);
        EXPECT_EQ(version, c.version);
        EXPECT_STREQ(param[0], c.slot0);
        EXPECT_EQ(windows, c.windows);
        EXPECT_EQ(video_out, 10);
        // The two copies agree afterwards.
        EXPECT_EQ(read("/mnt/config.ini"), read("/mnt/config.bak"));
        if (c.version == 1) {
            EXPECT_EQ(read("/mnt/config.ini"), fresh);
        }
    }
}

TEST_F(Settings, FirstStartFilesAreExact) {
    ASSERT_EQ(checkIni(), 0);
    std::string expected = "1\n";
    for (int i = 0; i < 32; ++i) expected += "unused_window\n";
    expected += "18\n10\n";
    EXPECT_EQ(read("/mnt/config.ini"), expected);
    EXPECT_EQ(read("/mnt/config.bak"), expected);
    EXPECT_STREQ(param[1], "unused_window");
    EXPECT_EQ(chnipDisplayenable, 0);

    EXPECT_EQ(checkCutEdge(), 0);
    EXPECT_EQ(checkAudioOutput(), 0);
    EXPECT_EQ(checkSerialConfig(), 0);
    EXPECT_EQ(checkDecoderNameConfig(), 0);
    EXPECT_EQ(checkSplitNumConfig(), 0);
    EXPECT_EQ(checkCsc(), 0);
    EXPECT_EQ(read("/mnt/cutedge.ini"), "0\n0\n");
    EXPECT_EQ(read("/mnt/audiooutput.ini"), "1\n");
    EXPECT_EQ(read("/mnt/serialconfig.ini"), "115200\n8\n0\n1\n255.255.255.255\n0\n");
    EXPECT_EQ(read("/mnt/decodername.ini"), "RX\n");
    EXPECT_EQ(read("/mnt/spiltnum.ini"), "1\n");
    EXPECT_EQ(read("/mnt/csc.ini"), "50\n50\n50\n50\n");
}

TEST_F(Settings, WindowModelSetsTheCyclingCountOnlyForItsSizes) {
    write("/mnt/config.ini", mainFile(2, "unused_window", "16\n9\n1\n"));
    write("/mnt/config.bak", mainFile(2, "unused_window", "16\n9\n1\n"));
    ASSERT_EQ(checkIni(), 0);
    EXPECT_EQ(windows, 16);
    EXPECT_EQ(circle_broadcast_enable_num, 16u);
    EXPECT_EQ(video_out, 9);
    EXPECT_EQ(chnipDisplayenable, 1);

    resetSettingsDefaults();
    write("/mnt/config.ini", mainFile(3));
    write("/mnt/config.bak", mainFile(3));
    ASSERT_EQ(checkIni(), 0);
    EXPECT_EQ(windows, 18);
    EXPECT_EQ(circle_broadcast_enable_num, 4u);
}

TEST_F(Settings, SmallFilesReadInOrderAndStopAtTheFirstBadNumber) {
    write("/mnt/serialconfig.ini", "9600");
    EXPECT_EQ(checkSerialConfig(), 0);
    EXPECT_EQ(Serial_BaudRate, 9600);
    EXPECT_EQ(Serial_DataBits, 8);
    EXPECT_EQ(Serial_Parity, 0);
    EXPECT_EQ(Serial_StopBits, 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(Serial_DestIP)), "255.255.255.255");
    EXPECT_EQ(Serial_Enable, 0);

    write("/mnt/csc.ini", "60\nbad\n30\n20\n");
    EXPECT_EQ(checkCsc(), 0);
    EXPECT_EQ(Luma, 60);
    EXPECT_EQ(Contrast, 50);
    EXPECT_EQ(Hue, 50);

    write("/mnt/serialconfig.ini", "4800\n7\n2\n2\n10.77.0.9\n1\n");
    EXPECT_EQ(checkSerialConfig(), 0);
    EXPECT_EQ(Serial_DataBits, 7);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(Serial_DestIP)), "10.77.0.9");
    EXPECT_EQ(Serial_Enable, 1);
}

TEST_F(Settings, DecoderNameKeepsItsBlanksAndIsBounded) {
    write("/mnt/decodername.ini", "Left wall\n");
    EXPECT_EQ(checkDecoderNameConfig(), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(decoder_Name), "Left wall");

    write("/mnt/decodername.ini", std::string(100, 'n') + "\n");
    EXPECT_EQ(checkDecoderNameConfig(), 0);
    EXPECT_EQ(strlen(reinterpret_cast<char*>(decoder_Name)), 31u);
}

TEST_F(Settings, SaveIniKeepsOnlyTheStreamWindowsAndBothCopies) {
    ASSERT_EQ(checkIni(), 0);
    copyText(param[2], QEL_URL_SIZE, "rtsp://192.0.2.2/a");
    copyText(param[8], QEL_URL_SIZE, "rtsp://192.0.2.8/a");
    copyText(param[17], QEL_URL_SIZE, "rtsp://192.0.2.17/a");
    ASSERT_EQ(saveIni(), 0);
    EXPECT_EQ(version, 2);
    std::string t = read("/mnt/config.ini");
    EXPECT_EQ(t, read("/mnt/config.bak"));
    EXPECT_NE(t.find("\nrtsp://192.0.2.2/a\n"), std::string::npos);
    EXPECT_NE(t.find("\nrtsp://192.0.2.17/a\n"), std::string::npos);
    EXPECT_EQ(t.find("192.0.2.8"), std::string::npos);
    EXPECT_EQ(t.substr(t.size() - 9), "\n18\n10\n0\n");

    resetSettingsDefaults();
    ASSERT_EQ(checkIni(), 0);
    EXPECT_EQ(version, 2);
    EXPECT_STREQ(param[2], "rtsp://192.0.2.2/a");
    EXPECT_STREQ(param[8], "unused_window");
    EXPECT_STREQ(param[17], "rtsp://192.0.2.17/a");
}

TEST_F(Settings, CheckNetIniCreatesAndRepairsTheStartupFiles) {
    copyText(MyNetParam.IP, 50, "10.77.0.2");
    copyText(MyNetParam.Mac, 50, "02:00:00:00:00:02");
    copyText(MyNetParam.Netmask, 50, "255.255.255.0");
    copyText(MyNetParam.Gateway, 50, "10.77.0.254");
    write("/mnt/IPConfig", "left as it is");
    write("/mnt/MacConfig", "ifconfig eth0 hw ether 02:00:00:00:00:0");  // 16 characters
    write("/mnt/NetmaskConfig", "");
    ASSERT_EQ(checkNetIni(), 0);
    EXPECT_EQ(read("/mnt/IPConfig"), "left as it is");
    EXPECT_EQ(read("/mnt/MacConfig"), "ifconfig eth0 hw ether 02:00:00:00:00:02");
    EXPECT_EQ(read("/mnt/NetmaskConfig"), "ifconfig eth0 netmask 255.255.255.0");
    EXPECT_EQ(read("/mnt/GatewayConfig"), "route add default gw 10.77.0.254");
    EXPECT_TRUE(executable("/mnt/MacConfig"));
    EXPECT_TRUE(executable("/mnt/GatewayConfig"));

    // A good MAC file is kept even when the box's MAC differs.
    copyText(MyNetParam.Mac, 50, "02:00:00:00:00:99");
    ASSERT_EQ(checkNetIni(), 0);
    EXPECT_EQ(read("/mnt/MacConfig"), "ifconfig eth0 hw ether 02:00:00:00:00:02");
}

TEST_F(Settings, CheckNetIniWithoutAValidMacLeavesAnEmptyFile) {
    copyText(MyNetParam.IP, 50, "10.77.0.2");
    copyText(MyNetParam.Mac, 50, "empty");
    EXPECT_EQ(checkNetIni(), -1);
    EXPECT_EQ(read("/mnt/MacConfig"), "");
    EXPECT_FALSE(exists("/mnt/NetmaskConfig"));
    EXPECT_EQ(read("/mnt/IPConfig"), "ifconfig eth0 10.77.0.2");
    EXPECT_TRUE(executable("/mnt/IPConfig"));
}

TEST_F(Settings, ScriptLineEditors) {
    EXPECT_EQ(iWriteTofile("ifconfig eth0 10.77.0.5 netmask 255.255.255.0", 1), 0);
    EXPECT_EQ(read("/mnt/ifconfig.sh"), "\nifconfig eth0 10.77.0.5 netmask 255.255.255.0\n\n\n");
    EXPECT_TRUE(executable("/mnt/ifconfig.sh"));
    write("/mnt/ifconfig.sh", "a\nb\nc\nd\n");
    EXPECT_EQ(iWriteTofile("ifconfig eth1 10.77.0.6", 2), 0);
    EXPECT_EQ(read("/mnt/ifconfig.sh"), "a\nb\nifconfig eth1 10.77.0.6\nd\n");
    EXPECT_EQ(iWriteTofile("x", 4), -1);
    EXPECT_EQ(iWriteTofile("x", -1), -1);

    EXPECT_EQ(iWrite_GW("route add default gw 10.77.0.254", 0), 0);
    EXPECT_EQ(read("/mnt/gateway.sh"), "route add default gw 10.77.0.254\n\n");
    EXPECT_EQ(iWrite_GW("x", 2), -1);
}
