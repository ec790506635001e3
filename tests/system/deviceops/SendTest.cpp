// The controller's sends on the test network: the acknowledged road, reboot and factory reset,
// update notices with the TFTP start, and serial settings with their pairing commands.
#include <gtest/gtest.h>

#include <thread>

#include "DeviceOpsSupport.h"

using namespace devops;
using namespace std::chrono_literals;

namespace {

// Decoders at .3 and .20 and an encoder at .9 in the controller's files.
const char* const kDecoderFile =
    "{ \"config\" : [ { \"decoder00_ip\" : \"10.77.0.3\" }, { \"decoder00_name\" : \"Left\" },"
    " { \"decoder01_ip\" : \"10.77.0.20\" }, { \"decoder01_name\" : \"Right\" },"
    " { \"decoder_count\" : 2 } ] }";
const char* const kEncoderFile =
    "{ \"config\" : [ { \"encoder00_ip\" : \"10.77.0.9\" }, { \"encoder00_name\" : \"Cam\" },"
    " { \"encoder00_mac\" : \"00:aa:00:00:00:09\" },"
    " { \"encoder_count\" : 1 } ] }";

class Sends : public qeltest::TestNetFixture {
protected:
    void SetUpBoxes() override {
        writeFile(ctrl->path("/mnt/qeldevDecoder.ini"), kDecoderFile);
        writeFile(ctrl->path("/mnt/qeldevEncoder.ini"), kEncoderFile);
        dec3 = &net->addBox("dec3", 3);
        enc9 = &net->addBox("enc9", 9);
        dec20 = &net->addBox("dec20", 20);
    }
    std::vector<std::string> textsAt(const std::vector<Seen>& seen, const std::string& box) {
        std::vector<std::string> out;
        for (const Seen& s : seen)
            if (s.box == box) out.push_back(s.text);
        return out;
    }
    qeltest::Box *dec3 = nullptr, *enc9 = nullptr, *dec20 = nullptr;
};

TEST_F(Sends, AcknowledgedCommandsReadTheDevicesAnswer) {
    auto encoder = fakeDevice(
        *enc9, qeltest::FakeDevice::Kind::Encoder,
        [](const qeltest::Datagram& d) -> std::vector<std::string> {
            if (d.text == "config qel get encoder params 10.77.0.9 0")
                return {
                    "config qel ack get encoder params #SUCCEED #25 #1 #4000 #0 #1 #2 #TX one "};
            if (d.text == "config qel flash device led 10.77.0.9")
                return {"config qel ack flash device led #FAILED "};
            if (d.text == "config qel get url params 10.77.0.9 1")  // a reply lacking its value
                return {"config qel ack get decoder params #SUCCEED #x",
                        "config qel ack get url params #SUCCEED "};
            return {};
        });
    std::string out = runTool(
        *ctrl,
        {"cmddev config get encoder params 10.77.0.9 0", "cmddev config flash device led 10.77.0.9",
         "cmddev config get decoder params 10.77.0.50 0",
         "cmddev config get url params 10.77.0.9 1", "cmddev config set connect 10.77.0.9",
         "cmddev config set reboot 10.77.0.50", "cmddev config get encoders",
         "cmddev config set net params 00:aa:00:00:00:09 10.77.0.44 255.255.0.0 10.77.0.254",
         "dump"});
    auto results = linesWith(out, "@cmddev ");
    ASSERT_EQ(8u, results.size()) << out;
    EXPECT_EQ("@cmddev 7 7", results[0]);
    EXPECT_EQ(
        (std::vector<std::string>{"@param [25 ]", "@param [1 ]", "@param [4000 ]", "@param [0 ]",
                                  "@param [1 ]", "@param [2 ]", "@param [TX one ]", "@param []"}),
        linesWith(out, "@param "));
    EXPECT_EQ("@cmddev -1 0", results[1]);  // refused: the wait ran out
    EXPECT_EQ("@cmddev -1 0", results[2]);  // silent device
    EXPECT_EQ("@cmddev 1 1", results[3]);   // the missing value is an empty text
    EXPECT_EQ("@cmddev -1 0", results[4]);  // sent, nothing awaited
    EXPECT_EQ("@cmddev 0 0", results[5]);   // a reboot counts as done
    EXPECT_EQ("@cmddev -1 0", results[6]);  // reserved to discovery: nothing sent

    // The network settings reach the encoder's record and file before any answer.
    EXPECT_EQ("@cmddev -1 0", results[7]);
    auto enc = linesWith(out, "@encoder ");
    ASSERT_EQ(1u, enc.size());
    EXPECT_NE(std::string::npos, enc[0].find("|10.77.0.44|00:aa:00:00:00:09|")) << enc[0];
    EXPECT_NE(std::string::npos, enc[0].find("|255.255.0.0|10.77.0.254|")) << enc[0];
    EXPECT_NE(std::string::npos, linesWith(out, "@encoderstream ")
                                     .at(0)
                                     .find("|rtsp://10.77.0.44/stream1?multicast|"
                                           "rtsp://10.77.0.44/stream1s"));
    EXPECT_NE(std::string::npos,
              readFile(ctrl->path("/mnt/qeldevEncoder.ini")).find("rtsp://10.77.0.44/stream1s"));

    auto got = encoder->received();
    ASSERT_EQ(7u, got.size());
    EXPECT_EQ("config qel get encoder params 10.77.0.9 0", got[0].text);
    EXPECT_EQ(8887, got[0].fromPort);
    EXPECT_EQ("config qel set connect 10.77.0.9", got[4].text);
    EXPECT_EQ("config qel set reboot 10.77.0.50", got[5].text);
}

// Network settings with a name reach the record found by MAC, in the table and its file, before
// any answer; a MAC no record has changes nothing.
TEST_F(Sends, NetworkSettingsWithANameUpdateTheRecordOfThatMac) {
    std::string out = runTool(
        *ctrl, {"cmddev config set netandname params 00:aa:00:00:00:09 10.77.0.45 255.255.0.0 "
                "10.77.0.250 Gate",
                "cmddev config set netandname params 00:bb:00:00:00:01 10.77.0.46 255.0.0.0 "
                "10.0.0.1 Nobody",
                "dump"});
    auto enc = linesWith(out, "@encoder ");
    ASSERT_EQ(1u, enc.size()) << out;
    EXPECT_EQ(
        "@encoder 0|10.77.0.45|00:aa:00:00:00:09||Gate|255.255.0.0|"
        "10.77.0.250|",
        enc[0].substr(0, enc[0].find("10.77.0.250|") + 12))
        << enc[0];
    EXPECT_NE(std::string::npos, linesWith(out, "@encoderstream ")
                                     .at(0)
                                     .find("|rtsp://10.77.0.45/stream1?multicast|"
                                           "rtsp://10.77.0.45/stream1s"));
    const std::string file = readFile(ctrl->path("/mnt/qeldevEncoder.ini"));
    EXPECT_NE(std::string::npos, file.find("\"Gate\"")) << file;
    EXPECT_EQ(std::string::npos, file.find("Nobody")) << file;
    auto decoders = linesWith(out, "@decoder ");
    ASSERT_EQ(2u, decoders.size());
    EXPECT_NE(std::string::npos, decoders[0].find("|10.77.0.3|")) << decoders[0];
    EXPECT_NE(std::string::npos, decoders[1].find("|10.77.0.20|")) << decoders[1];
}

TEST_F(Sends, FactoryResetEmptiesTheFilesAndRebootsTheDevice) {
    writeFile(ctrl->path("/mnt/qeldevController.ini"),
              "{ \"config\" : [ { \"pass\" : \"secret\" }, { \"master_en\" : \"1\" } ] }");
    auto decoder = fakeDevice(*dec3, qeltest::FakeDevice::Kind::Decoder, nullptr);
    std::string out =
        runTool(*ctrl, {"restore 10.77.0.3", "reboot 10.77.0.3", "factory 10.77.0.3"});
    EXPECT_EQ("@factory 1", linesWith(out, "@factory ").at(0)) << out;
    // The next start finds empty files.
    std::string again = runTool(*ctrl, {"dump"});
    EXPECT_EQ("@counts 0 0 0 0 0", linesWith(again, "@counts ").at(0)) << again;
    EXPECT_EQ(std::string::npos, readFile(ctrl->path("/mnt/qeldevController.ini")).find("secret"));

    auto got = decoder->received();
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ("config qel set device restorefactory 10.77.0.3", got[0].text);
    EXPECT_EQ("config qel set reboot 10.77.0.3", got[1].text);
    EXPECT_EQ("config qel set reboot 10.77.0.3", got[2].text);
}

TEST_F(Sends, FactoryResetLastsThroughTheNextCommandAndARestart) {
    auto decoder = fakeDevice(*dec3, qeltest::FakeDevice::Kind::Decoder, nullptr);
    std::string out =
        runTool(*ctrl, {"dump", "factory 10.77.0.3", "cmddev config set split params 10.77.0.3 4 0",
                        "cmddev config set decoder name 10.77.0.20 Back", "dump"});
    auto counts = linesWith(out, "@counts ");
    ASSERT_EQ(2u, counts.size()) << out;
    EXPECT_EQ("@counts 0 2 1 0 0", counts[0]);
    EXPECT_EQ("@counts 0 0 0 0 0", counts[1]);
    EXPECT_EQ("@factory 1", linesWith(out, "@factory ").at(0)) << out;
    for (const char* file : {"/mnt/qeldevDecoder.ini", "/mnt/qeldevEncoder.ini"}) {
        std::string text = readFile(ctrl->path(file));
        EXPECT_EQ(std::string::npos, text.find("10.77.0.")) << file << ": " << text;
    }
    std::string again = runTool(*ctrl, {"dump"});
    EXPECT_EQ("@counts 0 0 0 0 0", linesWith(again, "@counts ").at(0)) << again;
}

TEST_F(Sends, UpdateOfAllDecodersNotifiesEachThenBroadcasts) {
    Collector notices({dec3, dec20, enc9}, 8884);
    std::string out = runTool(
        *ctrl, {"firmware all RX_Update_1.tar 1234 dec", "res all RX_Update_1.tar 1234 dec"});
    EXPECT_EQ(2u, linesWith(out, "@done ").size()) << out;
    auto seen = notices.seen();
    // Per run: .3, .20, then the broadcast that all three boxes get.
    ASSERT_EQ(10u, seen.size());
    for (int run = 0; run < 2; ++run) {
        const Seen* s = &seen[run * 5];
        EXPECT_EQ("dec3", s[0].box);
        EXPECT_EQ("config qel set update file 10.77.0.3 RX_Update_1.tar 1234", s[0].text);
        EXPECT_EQ("dec20", s[1].box);
        EXPECT_EQ("config qel set update file 10.77.0.20 RX_Update_1.tar 1234", s[1].text);
        for (int k = 2; k < 5; ++k) {
            EXPECT_EQ("config qel set update file 255.255.255.255 RX_Update_1.tar 1234", s[k].text);
            EXPECT_GE(s[k].at - s[1].at, 500ms);
        }
    }
    std::string log = readFile(ctrl->path("/var/log/commands.log"));
    EXPECT_EQ(1u, linesWith(log, "udpsvd -vE 0 69 tftpd -c /dev/tftpboot/").size()) << log;

    // One address: one notice, no broadcast; a resource update of the encoders sends nothing.
    out = runTool(
        *ctrl, {"firmware 10.77.0.9 TX_Update_2.tar 99 enc", "res all x.bits 1 enc", "sleep 300"});
    seen = notices.seen();
    ASSERT_EQ(11u, seen.size());
    EXPECT_EQ("enc9", seen[10].box);
    EXPECT_EQ("config qel set update file 10.77.0.9 TX_Update_2.tar 99", seen[10].text);
}

// The device's answer to an update notice comes back to the socket the notice left from and is
// read there; it changes nothing.
TEST_F(Sends, UpdateNoticeAnswerIsRead) {
    auto sock = enc9->run([] { return qeltest::UdpSocket(8884); });
    ASSERT_TRUE(sock.ok()) << sock.error();
    std::thread device([&sock] {
        auto d = sock.receive(10s);
        if (d) sock.sendTo(d->fromIp, d->fromPort, "config qel ack set update file #SUCCEED ");
    });
    auto tool = ctrl->start(qeltest::programPath("deviceops_tool"),
                            {"firmware 10.77.0.9 TX_Update_2.tar 99 enc", "dump"});
    ASSERT_TRUE(tool);
    const bool ended = tool->waitForStdout("@end\n", 10s);
    device.join();
    ASSERT_TRUE(ended) << tool->output();
    EXPECT_TRUE(tool->waitForOutput("recv buf is: config qel ack set update file #SUCCEED", 1s))
        << tool->output();
    EXPECT_NE(std::string::npos, tool->stdoutText().find("@firmware 1\n")) << tool->output();
    EXPECT_EQ("@counts 0 2 1 0 0", linesWith(tool->stdoutText(), "@counts ").at(0));
}

TEST_F(Sends, SerialByNetworkPairsAndReleasesTheOtherDevices) {
    Collector commands({dec3, dec20, enc9}, 8888);
    std::string out = runTool(*ctrl, {"serialset 4 10.77.0.3 9600 8 0 1 1 1 all",
                                      "serialset 4 10.77.0.3 9600 8 0 1 1 1 all", "sleep 100",
                                      "serialset 4 10.77.0.3 9600 8 0 1 0 0 all", "sleep 100",
                                      "serialset 4 10.77.0.9 9600 8 0 1 1 1 10.77.0.9", "dump"});
    auto results = linesWith(out, "@serialset ");
    ASSERT_EQ(4u, results.size()) << out;
    EXPECT_EQ("@serialset 1 1", results[0]);
    EXPECT_EQ("@serialset 1 0", results[1]);  // same values again: nothing sent
    EXPECT_EQ("@serialset 1 1", results[2]);
    EXPECT_EQ("@serialset 0 0", results[3]);  // peer is the device itself

    std::vector<std::pair<std::string, std::string>> expected = {
        {"dec3", "config qel set serialbynet 10.77.0.3 0 0 255.255.255.255"},
        {"dec20", "config qel set serialbynet 10.77.0.20 0 0 255.255.255.255"},
        {"enc9", "config qel set serialbynet 10.77.0.9 0 0 255.255.255.255"},
        {"dec3", "config qel set serial params 10.77.0.3 9600 8 0 1 1 1 255.255.255.255"},
        {"dec20", "config qel set serial params 10.77.0.20 9600 8 0 1 1 1 10.77.0.3"},
        {"enc9", "config qel set serial params 10.77.0.9 9600 8 0 1 1 1 10.77.0.3"},
        // Switched off: the device itself, then the released peers.
        {"dec3", "config qel set serial params 10.77.0.3 9600 8 0 1 0 0 255.255.255.255"},
        {"dec20", "config qel set serialbynet 10.77.0.20 0 0 10.77.0.3"},
        {"enc9", "config qel set serialbynet 10.77.0.9 0 0 10.77.0.3"},
    };
    auto seen = commands.seen();
    ASSERT_EQ(expected.size(), seen.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(expected[i].first, seen[i].box) << i;
        EXPECT_EQ(expected[i].second, seen[i].text) << i;
    }
    auto decoders = linesWith(out, "@decoder ");
    ASSERT_EQ(2u, decoders.size());
    EXPECT_NE(std::string::npos, decoders[0].find("|9600 8 0 1|0 0|255.255.255.255"))
        << decoders[0];
    EXPECT_NE(std::string::npos, decoders[1].find("|9600 8 0 1|0 0|255.255.255.255"))
        << decoders[1];
}

}  // namespace
