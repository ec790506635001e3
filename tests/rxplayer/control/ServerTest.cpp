#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "VerbFixture.h"

namespace {

using ctltest::Sent;
using ctltest::Texts;
using Server = ctltest::VerbFixture;

}  // namespace

TEST(Splitter, FieldsAndTheRestOfTheText) {
    const struct {
        const char* text;
        size_t start;
        int n;
        int found;
        std::vector<std::string> fields;
    } cases[] = {
        {"verb 10.77.0.2 name with blanks", 4, 2, 2, {"10.77.0.2", "name with blanks"}},
        {"verb a b c", 4, 3, 3, {"a", "b", "c"}},
        {"verb a  c", 4, 3, 3, {"a", "", "c"}},
        {"verb a b", 4, 3, 2, {"a", "b"}},
        {"verb a ", 4, 2, -1, {}},
        {"verb", 4, 1, 0, {}},
        {"verbX a", 4, 1, 1, {"a"}},
        {"SetUrlPara 1.2.3.4 1 rtsp://x", 0, 3, 3, {"1.2.3.4", "1", "rtsp://x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        char buf[64];
        copyText(buf, sizeof buf, c.text);
        char* str[8] = {nullptr};
        int found = splitFields(buf, strlen(c.text), c.start, c.n, str);
        EXPECT_EQ(found, c.found);
        for (size_t i = 0; i < c.fields.size(); ++i) EXPECT_EQ(str[i + 1], c.fields[i]);
    }
}

TEST(FieldNumber, WithoutALeadingNumberOrBeyondAnIntReadsMinusOne) {
    const struct {
        const char* field;
        int number;  // fieldNumber's value
        bool isInt;  // fieldInt's answer
    } cases[] = {
        {"42", 42, true},
        {"7abc", 7, true},
        {"-5", -5, true},
        {"2147483647", 2147483647, true},
        {"-2147483648", INT_MIN, true},
        {"abc", -1, false},
        {"", -1, false},
        {"2147483648", -1, false},
        {"4294967297", -1, false},  // would read as 1 if wrapped
        {"-2147483649", -1, false},
        {"100000000000000000000", -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(fieldNumber(c.field), c.number);
        int v = 12345;
        EXPECT_EQ(fieldInt(c.field, &v), c.isInt);
        EXPECT_EQ(v, c.isInt ? c.number : 12345);
    }
}

TEST_F(Server, TargetCheck) {
    const struct {
        Target target;
        const char* field;
        bool ok;
    } cases[] = {
        {Target::Ip, "10.77.0.2", true},
        {Target::Ip, "10.77.0.3", false},
        // The address without the blank and line end some controller texts end in.
        {Target::Ip, "10.77.0.2 ", true},
        {Target::Ip, "10.77.0.2 \n", true},
        {Target::Ip, "10.77.0.2 x", false},
        {Target::Ip, " 10.77.0.2", false},
        {Target::Ip, "", false},  // eth1 has no address
        {Target::Ip, "empty", false},
        {Target::Ip, "255.255.255.255", false},
        {Target::IpOrBroadcast, "255.255.255.255", true},
        {Target::IpOrBroadcast, "10.77.0.2", true},
        {Target::IpOrBroadcast, "10.77.0.9", false},
    };
    for (const auto& c : cases) EXPECT_EQ(targetMatches(c.target, c.field), c.ok) << c.field;
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        copyText(reinterpret_cast<char*>(IP_info[1]), 128, "empty");
    }
    EXPECT_FALSE(targetMatches(Target::Ip, "empty"));
}

TEST_F(Server, MatchingIsByPrefixInTableOrder) {
    EXPECT_EQ(texts("connectXYZ"), Texts{"connected"});
    EXPECT_EQ(texts("config qel set connect 10.77.0.2"),
              Texts{"config qel ack set connect #SUCCEED "});
    EXPECT_TRUE(texts("config qel set connect 10.77.0.3").empty());
    EXPECT_TRUE(texts("hello").empty());
    // Commands for 18 windows only fall through to no match on another window model.
    EXPECT_NE(matchCommand("config qel set decoders display ip"), nullptr);
    EXPECT_NE(matchCommand("config qel set url params 10.77.0.2 1 rtsp://x"), nullptr);
    windows = 4;
    EXPECT_EQ(matchCommand("config qel set decoders display ip"), nullptr);
    EXPECT_EQ(matchCommand("config qel set url params 10.77.0.2 1 rtsp://x"), nullptr);
    EXPECT_TRUE(texts("config qel set decoders display ip").empty());
    EXPECT_NE(matchCommand("config qel set decoder name 10.77.0.2 x"), nullptr);
}

TEST_F(Server, RepliesLeaveFromTheReplySocket) {
    auto r = run("config qel set rx display ip 10.77.0.2");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].text, "config qel ack set rx display ip #SUCCEED ");
    EXPECT_EQ(r[0].from, ReplyFrom::AckSocket);
    EXPECT_EQ(iDisplayCurInfoIP, 1);
    iDisplayCurInfoIP = 0;
    // As the controller sends it, ending in a blank and a line end.
    EXPECT_EQ(texts("config qel set rx display ip 10.77.0.2 \n"),
              Texts{"config qel ack set rx display ip #SUCCEED "});
    EXPECT_EQ(iDisplayCurInfoIP, 1);
    iDisplayCurInfoIP = 0;

    EXPECT_EQ(texts("config qel show device 255.255.255.255"),
              Texts{"config qel ack show device #SUCCEED "});
    EXPECT_EQ(iDisplayAllInfo, 1);
    iDisplayAllInfo = 0;
    EXPECT_EQ(texts("config qel set decoders display ip"),
              Texts{"config qel ack set decoders display ip #SUCCEED "});
}

TEST_F(Server, DiscoveryAnswersTheAsker) {
    copyText(MyNetParam.Mac, 50, "02:00:00:00:00:02");
    auto r = texts("config qel get decoders");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].rfind("config qel ack get decoders #SUCCEED #02:00:00:00:00:02 #", 0), 0u);
    EXPECT_EQ(r[0], std::string(reinterpret_cast<char*>(buffer_BroadCast)));
    r = texts("Are you RARO_Decoder?");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].rfind("I'm RARO_Decoder! and My hwaddr is: 02:00:00:00:00:02", 0), 0u);
}

TEST_F(Server, RebootRepliesWithoutAckThenReboots) {
    EXPECT_TRUE(texts("config qel set reboot 10.77.0.3").empty());
    EXPECT_EQ(ctltest::reboots(), 0);
    EXPECT_EQ(texts("config qel set reboot 10.77.0.2"), Texts{"config qel set reboot #SUCCEED "});
    EXPECT_EQ(ctltest::reboots(), 1);
}

TEST_F(Server, DecoderParams) {
    const std::string ok = "config qel ack set decoder params #SUCCEED ";
    EXPECT_EQ(texts("config qel set decoder params 10.77.0.2 60 40 30 20 1"), Texts{ok});
    EXPECT_EQ(read("/mnt/csc.ini"), "60\n40\n30\n20\n");
    VO_CSC_S csc = qelsim::state().vo[0].csc;
    EXPECT_EQ(csc.u32Luma, 60u);
    EXPECT_EQ(csc.u32Satuature, 20u);
    EXPECT_EQ(ctltest::reboots(), 0);  // audio output unchanged

    // One value out of range (or not a number): none of the four is applied; still success.
    for (const char* bad : {"101 40 30 20", "60 40 30 x", "-1 40 30 20"}) {
        EXPECT_EQ(texts(std::string("config qel set decoder params 10.77.0.2 ") + bad + " 1"),
                  Texts{ok});
        EXPECT_EQ(Luma, 60);
        EXPECT_EQ(read("/mnt/csc.ini"), "60\n40\n30\n20\n");
    }

    // A failing pipeline call stores nothing.
    qelsim::failCall("HI_MPI_VO_SetDevCSC", static_cast<int32_t>(0xA00F8003));
    EXPECT_EQ(texts("config qel set decoder params 10.77.0.2 10 10 10 10 1"), Texts{ok});
    EXPECT_EQ(Luma, 60);
    qelsim::clearFailures();

    // An audio change replies, reboots, and (as the box goes on until it stops) replies again.
    EXPECT_EQ(texts("config qel set decoder params 10.77.0.2 60 40 30 20 0"), (Texts{ok, ok}));
    EXPECT_EQ(AudioOutput, 0);
    EXPECT_EQ(read("/mnt/audiooutput.ini"), "0\n");
    EXPECT_EQ(ctltest::reboots(), 1);
}

TEST_F(Server, CutEdgeInStepsOfEight) {
    const Texts ok{"config qel ack set cutedge params #SUCCEED "};
    EXPECT_EQ(texts("config qel set cutedge params 10.77.0.2 8 2"), ok);
    EXPECT_EQ(CutEdgeHor, 64);
    EXPECT_EQ(CutEdgeVer, 16);
    EXPECT_EQ(read("/mnt/cutedge.ini"), "64\n16\n");
    EXPECT_EQ(texts("config qel set cutedge params 10.77.0.2 9 1"), ok);
    EXPECT_EQ(texts("config qel set cutedge params 10.77.0.2 x 1"), ok);
    EXPECT_EQ(CutEdgeHor, 64);
    EXPECT_EQ(read("/mnt/cutedge.ini"), "64\n16\n");
}

TEST_F(Server, DecoderNameKeepsBlanksAndIsCut) {
    const Texts ok{"config qel ack set decoder name #SUCCEED "};
    const Texts failed{"config qel ack set decoder name #FAILED "};
    std::string e20;
    for (int i = 0; i < 20; ++i) e20 += "\xc3\xa9";  // 20 x e-acute, two bytes each
    const struct {
        std::string name;
        Texts reply;
        std::string stored;  // the name file afterwards
    } cases[] = {
        {"Left wall", ok, "Left wall\n"},
        {std::string(40, 'n'), ok, std::string(31, 'n') + "\n"},
        // 31 bytes would end inside the 16th character: 15 whole ones are kept.
        {e20, ok, e20.substr(0, 30) + "\n"},
        {"a" + e20, ok, "a" + e20.substr(0, 30) + "\n"},
        {"Lobby\nright", ok, "Lobby\n"},
        {"Hall\r\n", ok, "Hall\n"},
        // A '#' would split the discovery answer's fields: refused, nothing stored.
        {"Left #2", failed, "Hall\n"},
        {"#", failed, "Hall\n"},
        {"\nafter a line end", failed, "Hall\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(texts("config qel set decoder name 10.77.0.2 " + c.name), c.reply);
        EXPECT_EQ(read("/mnt/decodername.ini"), c.stored);
    }
    // A text ending in a blank is not a command.
    EXPECT_TRUE(texts("config qel set decoder name 10.77.0.2 ").empty());
    // What is stored comes back whole after a restart.
    resetSettingsDefaults();
    ASSERT_EQ(checkDecoderNameConfig(), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(decoder_Name), "Hall");
}

TEST_F(Server, UrlQuery) {
    copyText(param[2], QEL_URL_SIZE, "rtsp://192.0.2.2/a");
    copyText(param[17], QEL_URL_SIZE, "rtsp://192.0.2.17/a");
    const std::string head = "config qel ack get url params #SUCCEED #";
    EXPECT_EQ(texts("config qel get url params 10.77.0.2 2"), Texts{head + "rtsp://192.0.2.2/a"});
    EXPECT_EQ(texts("config qel get url params 10.77.0.2 9"), Texts{head + "rtsp://192.0.2.17/a"});
    EXPECT_TRUE(texts("config qel get url params 10.77.0.2 -1").empty());
    EXPECT_TRUE(texts("config qel get url params 10.77.0.2 x").empty());
}

TEST_F(Server, InternalCmdGoesToTheDoorAsRemoteText) {
    EXPECT_EQ(texts("config qel set internalcmd 10.77.0.2 rm -rf /mnt/x; echo done"),
              Texts{"config qel ack set internalcmd #SUCCEED "});
    EXPECT_NE(read("/var/log/commands.log").find("internalcmd: rm -rf /mnt/x; echo done"),
              std::string::npos);
    // Longer than 127 characters: refused without a reply, nothing run.
    EXPECT_TRUE(
        texts("config qel set internalcmd 10.77.0.2 echo " + std::string(130, 'y')).empty());
    EXPECT_EQ(read("/var/log/commands.log").find("yyyy"), std::string::npos);
}

TEST_F(Server, HdmiOut) {
    EXPECT_EQ(texts("config qel set hdmiout 10.77.0.2 off"),
              Texts{"config qel ack set hdmiout #SUCCEED "});
    EXPECT_EQ(texts("config qel set hdmiout 10.77.0.2 on"),
              Texts{"config qel ack set hdmiout #SUCCEED "});
    EXPECT_EQ(texts("config qel set hdmiout 10.77.0.2 maybe"),
              Texts{"config qel ack set hdmiout #FAILED "});
}

TEST_F(Server, RestoreFactoryCopiesTheFactorySetAndReboots) {
    ASSERT_TRUE(box::makeDirs("/usr/backup"));
    write("/usr/backup/csc.ini", "10\n20\n30\n40\n");
    write("/usr/backup/config.ini", ctltest::mainFile(1));
    write("/usr/backup/splitnum.ini", "4\n");
    write("/mnt/MacConfig", "ifconfig eth0 hw ether 02:00:00:00:00:02");
    write("/mnt/spiltnum.ini", "4\n");
    write("/mnt/ifconfig.sh", "\n\n\n\n");
    EXPECT_EQ(texts("config qel set device restorefactory 10.77.0.2"),
              Texts{"config qel ack set device restorefactory #SUCCEED "});
    EXPECT_EQ(read("/mnt/csc.ini"), "10\n20\n30\n40\n");
    EXPECT_EQ(read("/mnt/config.bak"), ctltest::mainFile(1));
    EXPECT_EQ(read("/mnt/MacConfig"), "ifconfig eth0 hw ether 02:00:00:00:00:02");
    EXPECT_FALSE(exists("/mnt/spiltnum.ini"));
    EXPECT_FALSE(exists("/mnt/ifconfig.sh"));
    EXPECT_EQ(ctltest::reboots(), 1);
}
