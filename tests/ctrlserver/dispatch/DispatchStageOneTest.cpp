// Stage one's device, system, IP-camera and serial commands over a real device server and
// model without a network: the replies (parsed, in order), the device texts they send or
// queue (as the device server logs each one it sends), the model's texts and the files.
#include <chrono>
#include <thread>

#include "DispatchFixture.h"
#include "dispatch/CtrlServerStageOne.h"

namespace {

using Clock = std::chrono::steady_clock;
using Texts = std::vector<std::string>;

class StageOne : public DispatchTest {
public:
    void SetUp() override {
        DispatchTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        reseed();
    }

    // Two decoders, an encoder and a camera; the first decoder is the wall's first cell.
    void reseed() {
        ctrl.reset();
        model.reset();
        server.reset();
        ASSERT_TRUE(qeltest::writeDeviceFile(
            file("/mnt/qeldevDecoder.ini"), "decoder",
            {{"10.77.0.2", "dec1", "DEC-0002", "00:11:22:aa:bb:02", "Version 2.0"},
             {"10.77.0.3", "dec2", "DEC-0003", "00:11:22:aa:bb:03"}}));
        ASSERT_TRUE(
            qeltest::writeDeviceFile(file("/mnt/qeldevEncoder.ini"), "encoder",
                                     {{"10.77.0.9", "enc1", "ENC-0009", "00:11:22:aa:bb:09"}}));
        ASSERT_TRUE(qeltest::writeDeviceFile(
            file("/mnt/qeldevIPSource.ini"), "ipsource",
            {{"10.77.0.20", "cam1", "", "", "", {{"url0", "rtsp://10.77.0.20/main"}}}}));
        startController();
        model->pVScreen->ip[0] = "10.77.0.2";
        model->pVScreen->name[0] = "dec1";
        modelTexts.clear();
    }

    // What the device server sent while f ran: the wire texts, in order.
    template <typename F>
    Texts sentWhile(F f) {
        testing::internal::CaptureStderr();
        f();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        const std::string log = testing::internal::GetCapturedStderr();
        Texts out;
        const std::string mark = "Send cmdQelDevInternal ";
        for (size_t p = log.find(mark); p != std::string::npos; p = log.find(mark, p)) {
            p += mark.size();
            out.push_back(log.substr(p, log.find('\n', p) - p));
        }
        return out;
    }

    // A reply in short: its data keys, then the envelope ("new" or "old"), '+' or '-', and
    // the echo.
    static std::string describe(const Reply& r) {
        if (!r.parsed || !r.json.isObject() || !r.json.isMember("ack")) return "unparsed " + r.text;
        std::string keys;
        for (const std::string& k : r.json.getMemberNames())
            if (k != "ack") keys += k + " ";
        const bool isNew = r.json["ack"].isArray();
        const Json::Value& a = isNew ? r.json["ack"][0] : r.json["ack"];
        return keys + (isNew ? "new" : "old") + (a["status"] == "success" ? "+ " : "- ") +
               a["cmd"].asString();
    }

    struct Row {
        std::string command;
        Texts replies;          // described
        Texts sent = {};        // wire texts the device server sends, in order
        Texts modelTexts = {};  // texts the model queues
    };

    void check(const Row& row) {
        SCOPED_TRACE(row.command);
        reseed();
        std::vector<Reply> replies;
        const Texts sent = sentWhile([&] { replies = ask(row.command); });
        Texts described;
        for (const Reply& r : replies) described.push_back(describe(r));
        EXPECT_EQ(described, row.replies);
        EXPECT_EQ(sent, row.sent);
        EXPECT_EQ(modelTexts, row.modelTexts);
    }

    void checkAll(const std::vector<Row>& rows) {
        for (const Row& row : rows) check(row);
    }

    static std::string repeat(char ch, size_t n) { return std::string(n, ch); }
};

TEST(SerialSettingsWord, Table) {
    struct Case {
        const char* word;
        bool ok;
        int baud, dataBits, parity, stopBits;
    };
    const Case cases[] = {
        {"9600-8n1", true, 9600, 8, 0, 1},
        {"115200-8e1", true, 115200, 8, 2, 1},
        {"9600 8 o 1", true, 9600, 8, 1, 1},
        {"19200-7o2", true, 19200, 7, 1, 2},
        {"9600-8x1", false, 0, 0, 0, 0},
        {"junk", false, 0, 0, 0, 0},
        {"", false, 0, 0, 0, 0},
        {"9600-8n", false, 0, 0, 0, 0},
        {"9600-8n1-2", false, 0, 0, 0, 0},
        {"99999999999-8n1", false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        dispatch::SerialSettings s;
        ASSERT_EQ(dispatch::readSerialSettings(c.word, s), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(s.baud, c.baud);
        EXPECT_EQ(s.dataBits, c.dataBits);
        EXPECT_EQ(s.parity, c.parity);
        EXPECT_EQ(s.stopBits, c.stopBits);
    }
}

TEST(StreamSettings, EncoderTable) {
    struct Case {
        Texts fields;
        bool ok;
        const char* bitrate;
        const char* mode;
        const char* audioFrom;
        const char* audioTo;
    };
    const Case cases[] = {
        {{"0", "CBR", "N", "EMB", "EXT"}, true, "6000", "0", "0", "1"},
        {{"30", "CBR", "H", "EXT", "EMB"}, true, "12000", "0", "1", "0"},
        {{"25", "VBR", "N", "EXT", "EXT"}, true, "8000", "1", "1", "1"},
        // Rate control and audio by their first three characters, the class by its first.
        {{"25", "VBRX", "High", "EMBEDDED", "EXTERN"}, true, "24000", "1", "0", "1"},
        {{"31", "CBR", "N", "EMB", "EXT"}, false, "", "", "", ""},
        {{"-1", "CBR", "N", "EMB", "EXT"}, false, "", "", "", ""},
        {{"2x", "CBR", "N", "EMB", "EXT"}, false, "", "", "", ""},
        {{"", "CBR", "N", "EMB", "EXT"}, false, "", "", "", ""},
        {{"25", "ABR", "N", "EMB", "EXT"}, false, "", "", "", ""},
        {{"25", "cbr", "N", "EMB", "EXT"}, false, "", "", "", ""},
        {{"25", "CBR", "X", "EMB", "EXT"}, false, "", "", "", ""},
        {{"25", "CBR", "N", "EM", "EXT"}, false, "", "", "", ""},
        {{"25", "CBR", "N", "EMB", ""}, false, "", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.fields));
        dispatch::TxSettings s;
        ASSERT_EQ(dispatch::readTxSettings(c.fields, s), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(s.fps, c.fields[0]);
        EXPECT_EQ(s.bitrate, c.bitrate);
        EXPECT_EQ(s.rateControl, c.mode);
        EXPECT_EQ(s.audioFrom, c.audioFrom);
        EXPECT_EQ(s.audioTo, c.audioTo);
    }
}

TEST(StreamSettings, DecoderTable) {
    struct Case {
        Texts fields;
        bool ok;
        const char* audio;
    };
    const Case cases[] = {
        {{"50", "50", "50", "50", "EMB"}, true, "1"},
        {{"0", "100", "7", "08", "EXT"}, true, "0"},
        {{"50", "101", "50", "50", "EMB"}, false, ""},
        {{"50", "50", "x", "50", "EMB"}, false, ""},
        {{"50", "50", "50", "", "EMB"}, false, ""},
        {{"50", "50", "50", "50", "HDMI"}, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.fields));
        dispatch::RxSettings s;
        ASSERT_EQ(dispatch::readRxSettings(c.fields, s), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(s.luma, c.fields[0]);
        EXPECT_EQ(s.saturation, c.fields[3]);
        EXPECT_EQ(s.audio, c.audio);
    }
}

TEST_F(StageOne, PasswordRebootHdmiAliasAndDisplayCommands) {
    const std::string longAlias = "config set device alias dec1 " + repeat('a', 280);
    const std::string longName = repeat('n', 128);
    checkAll({
        {"config set webloginpasswd " + repeat('p', 256), {"new- config set webloginpasswd"}},
        // With no own address known, nothing can be rebooted.
        {"config set reboot", {"new- config set reboot"}},
        {"config set reboot DEC-0003",
         {"new+ config set reboot"},
         {"config qel set reboot 10.77.0.3"}},
        {"config set reboot 10.77.0.9",
         {"new+ config set reboot"},
         {"config qel set reboot 10.77.0.9"}},
        {"config set reboot nobody", {"new- config set reboot"}},
        // Two characters in front: the echo and the argument keep their fixed places.
        {"xxconfig set reboot dec1", {"new- xxconfig set rebo"}},
        {"config set hdmiout dec1 on",
         {"new+ config set hdmiout"},
         {"config qel set hdmiout 10.77.0.2 on"}},
        {"config set hdmiout 10.77.0.3 off",
         {"new+ config set hdmiout"},
         {"config qel set hdmiout 10.77.0.3 off"}},
        {"config set hdmiout dec1 ON", {"new- config set hdmiout"}},
        {"config set hdmiout enc1 on", {"new- config set hdmiout"}},
        {"config set hdmiout " + longName + " on", {"new- config set hdmiout"}},
        {"config set device alias enc1",
         {"new+ config set device alias"},
         {"config qel set encoder name 10.77.0.9 TX"}},
        {"config set device alias DEC-0002",
         {"new+ config set device alias"},
         {"config qel set decoder name 10.77.0.2 RX"}},
        {"config set device alias dec2 Lobby",
         {"new+ config set device alias"},
         {"config qel set decoder name 10.77.0.3 Lobby"}},
        {"config set device alias", {"new- config set device alias"}},
        {"config set device alias nobody x", {"new- config set device alias"}},
        // '#' separates the fields of a device's answer: such a name is refused.
        {"config set device alias dec2 Hall#5", {"new- config set device alias"}},
        // Over 255 characters: stage two's pass-through answers, in the old envelope.
        {longAlias, {"old- " + longAlias}},
        {"config show device dec1",
         {"new+ config show device"},
         {"config qel show device 10.77.0.2"}},
        {"config show device", {"new- config show device"}},
        {"config show device enc1", {"new- config show device"}},
        {"config show all device",
         {"new+ config show all device"},
         {"config qel show device 255.255.255.255"}},
    });
}

TEST_F(StageOne, PasswordAndAliasReachTheirStores) {
    EXPECT_EQ(shape(ask("config set webloginpasswd s3cret extra")), Texts{"ack+"});
    EXPECT_EQ(value("/mnt/qeldevController.ini", "pass"), "s3cret");
    EXPECT_EQ(shape(ask("config set login vorpl s3cret")), Texts{"ack+"});
    EXPECT_EQ(shape(ask("config set webloginpasswd")), Texts{"ack+"});
    EXPECT_EQ(value("/mnt/qeldevController.ini", "pass"), "");

    EXPECT_EQ(shape(ask("config set device alias dec1 Lobby")), Texts{"ack+"});
    EXPECT_EQ(model->pVScreen->name[0], "Lobby");
    EXPECT_EQ(shape(ask("config set device remove alias DEC-0002")), Texts{"ack+"});
    EXPECT_EQ(model->pVScreen->name[0], "RX");
}

TEST_F(StageOne, NameListCommands) {
    checkAll({
        // The unknown name fails the reply; the others are done.
        {"config set device remove alias dec1 nobody enc1",
         {"new- config set device remove alias"},
         {"config qel set decoder name 10.77.0.2 RX", "config qel set encoder name 10.77.0.9 TX"}},
        {"config set device remove alias dec1 DEC-0003",
         {"new+ config set device remove alias"},
         {"config qel set decoder name 10.77.0.2 RX", "config qel set decoder name 10.77.0.3 RX"}},
        {"config set device remove alias", {"new- config set device remove alias"}},
        // A name too long for its buffer: nothing is done for any name.
        {"config set device remove alias dec1 " + repeat('n', 64),
         {"new- config set device remove alias"}},
        {"config set device reboot dec1 enc1",
         {"new+ config set device reboot"},
         {"config qel set reboot 10.77.0.2", "config qel set reboot 10.77.0.9"}},
        {"config set device reboot", {"new- config set device reboot"}},
        {"config set device reboot cam1 x",
         {"new- config set device reboot"},
         {"config qel set reboot 10.77.0.20"}},
        {"config set device restorefactory dec2",
         {"new+ config set device restorefactory"},
         {"config qel set device restorefactory 10.77.0.3"}},
    });
    const std::string longRestore = "config set device restorefactory dec2 " + repeat('x', 240);
    check({longRestore, {"old- " + longRestore}});
}

TEST_F(StageOne, StreamAndPictureSettings) {
    checkAll({
        {"config set tx params enc1 0 CBR N EMB EXT",
         {"new+ config set tx params"},
         {"config qel set encoder params 10.77.0.9 0 1 0 6000 0 0 1 enc1"},
         {"config set encoder params 10.77.0.9 0 1 0 6000 0 0 1 enc1"}},
        {"config set tx params ENC-0009 30 VBR H EXT EMB",
         {"new+ config set tx params"},
         {"config qel set encoder params 10.77.0.9 0 1 30 24000 1 1 0 enc1"},
         {"config set encoder params 10.77.0.9 0 1 30 24000 1 1 0 enc1"}},
        {"config set tx params enc1 31 CBR N EMB EXT", {"new- config set tx params"}},
        {"config set tx params enc1 25 ABR N EMB EXT", {"new- config set tx params"}},
        {"config set tx params enc1 25 CBR X EMB EXT", {"new- config set tx params"}},
        {"config set tx params dec1 25 CBR N EMB EXT", {"new- config set tx params"}},
        {"config set tx params enc1 25 CBR N EMB " + repeat('E', 64),
         {"new- config set tx params"}},
        {"config set all tx params 12 VBR N EXT EMB",
         {"new+ config set all tx params"},
         {"config qel set encoder params 10.77.0.9 0 1 12 8000 1 1 0 enc1"},
         {"config set encoder params 10.77.0.9 0 1 12 8000 1 1 0 enc1"}},
        {"config set all rx params 50 50 50 50 EMB",
         {"new+ config set all rx params"},
         {"config qel set decoder params 10.77.0.2 50 50 50 50 1 dec1",
          "config qel set decoder params 10.77.0.3 50 50 50 50 1 dec2"},
         {"config set decoder params 10.77.0.2 50 50 50 50 1 dec1",
          "config set decoder params 10.77.0.3 50 50 50 50 1 dec2"}},
        {"config set all rx params 50 101 50 50 EMB", {"new- config set all rx params"}},
        {"config set rx params DEC-0003 0 100 7 8 EXT",
         {"new+ config set rx params"},
         {"config qel set decoder params 10.77.0.3 0 100 7 8 0 dec2"},
         {"config set decoder params 10.77.0.3 0 100 7 8 0 dec2"}},
        {"config set rx params enc1 0 100 7 8 EXT", {"new- config set rx params"}},
        {"config set rx params dec1 0 100 7 8", {"new- config set rx params"}},
    });
}

TEST_F(StageOne, Queries) {
    checkAll({
        {"config get tx params enc1", {"txparamsinfo new+ config get tx params"}},
        {"config get tx params dec1", {"new- config get tx params"}},
        {"config get rx params DEC-0002", {"rxparamsinfo new+ config get rx params"}},
        {"config get rx params enc1", {"new- config get rx params"}},
        {"config get version", {"versioninfo new+ config get version"}},
        {"config get version nobody", {"new- config get version"}},
        {"config get devicelist", {"devicelist new+ config get devicelist"}},
        {"config get encoderlist", {"encoderlist new+ config get encoderlist"}},
        {"config get decoderlist", {"decoderlist new+ config get decoderlist"}},
        // Not the exact keyword: stage two's pass-through, which no device answers.
        {"config get encoderlist ", {"old- config get encoderlist "}},
        // No own address is known here.
        {"config get ctrl netsetting x", {"new- config get ctrl netsetting x"}},
        {"config get name", {"namealiasinfo new+ config get name"}},
        {"config get name nobody", {"new- config get name"}},
        {"config get device params",
         {"rxallparamlist txallparamlist new+ config get device params"}},
        {"config get device params enc1 dec1", {"txallparamlist new+ config get device params"}},
        {"config get device params nobody", {"new- config get device params"}},
        // No device answers here; a name too long for the buffer is not sent at all.
        {"config flash device led dec1", {"new- config flash device led"}},
        {"config flash device led " + repeat('n', 64), {"new- config flash device led"}},
    });
    const std::string longLed = "config flash device led dec1 " + repeat('x', 240);
    check({longLed, {"old- " + longLed}});
}

TEST_F(StageOne, QueryContents) {
    auto first = [&](const std::string& command) {
        std::vector<Reply> r = ask(command);
        return r.empty() ? Json::Value() : r[0].json;
    };
    EXPECT_EQ(first("config get version")["versioninfo"]["version"], "V2.4.3.2_0322_2019")
        << first("config get version");
    EXPECT_EQ(first("config get version dec1")["versioninfo"]["version"], "Version 2.0");

    Json::Value list = first("config get devicelist");
    std::vector<std::string> addresses;
    for (const Json::Value& d : list["devicelist"]) addresses.push_back(d["ip4addr"].asString());
    EXPECT_EQ(addresses, (Texts{"10.77.0.2", "10.77.0.3", "10.77.0.9", "10.77.0.20"})) << list;

    Json::Value names = first("config get name DEC-0003")["namealiasinfo"];
    ASSERT_EQ(names.size(), 1u) << names;
    EXPECT_EQ(names[0]["alias"], "dec2");
    EXPECT_EQ(first("config get name")["namealiasinfo"].size(), 3u);
}

TEST_F(StageOne, ReaddressWaitsPerEntryAndJudgesTheKeys) {
    // Keys out of order: the entry is skipped (no readdress, no exchange), and with no entry
    // left the reply fails.
    testing::internal::CaptureStderr();
    std::vector<Reply> r =
        ask("config set device ip dec1 netmask 255.255.255.0 ip4addr 10.77.0.12 gateway 10.77.0.1");
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(describe(r[0]), "new- config set device ip");
    EXPECT_EQ(log.find("net params"), std::string::npos) << log;
    EXPECT_EQ(model->pVScreen->ip[0], "10.77.0.2");

    // An unknown device between two entries; no device acknowledges here, so the reply
    // fails, but the model takes the new address at once.
    const auto t0 = Clock::now();
    r = ask(
        "config set device ip nobody ip4addr 10.77.0.13 netmask 255.255.255.0 gateway 10.77.0.1,"
        "dec1 ip4addr 10.77.0.12 netmask 255.255.255.0 gateway 10.77.0.1");
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(800));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(describe(r[0]), "new- config set device ip");
    EXPECT_EQ(model->pVScreen->ip[0], "10.77.0.12");

    check({"config set device ip dec1 ip4addr " + repeat('1', 120), {"new- config set device ip"}});
}

TEST_F(StageOne, ControllerFactoryResetAnswersFirstAndEmptiesTheTables) {
    std::vector<Reply> r = ask("config set restorefactory");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(describe(r[0]), "new+ config set restorefactory");
    EXPECT_EQ(value("/mnt/qeldevDecoder.ini", "decoder_count"), Json::Value());
    EXPECT_EQ(readFile("/mnt/qeldevIPSource.ini").size(), 0u);
    r = ask("config get decoderlist");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].json["decoderlist"].size(), 0u) << r[0].text;
}

TEST_F(StageOne, CameraCommands) {
    checkAll({
        {"ipc get", {"ipclist new+ ipc get"}},
        {"ipc get params", {"ipcparaminfo new+ ipc get params"}},
        {"ipc get params cam1 x", {"ipcparaminfo new+ ipc get params cam1 x"}},
        {"ipc get params enc1", {"new- ipc get params enc1"}},
        {"ipc set params cam2 10.77.0.21 main 554 admin pw rtsp://10.77.0.21/main",
         {"new+ ipc set params"}},
        {"ipc set params cam2 10.77.0.21 third 554 admin pw rtsp://10.77.0.21/main",
         {"new- ipc set params"}},
        {"ipc set params " + repeat('c', 40) + " 10.77.0.21 main 554 admin pw rtsp://x",
         {"new- ipc set params"}},
        {"ipc set params cam2 10.77.0.21 sub 554 admin pw rtsp://" + repeat('u', 121),
         {"new- ipc set params"}},
        // An encoder is no camera, whatever the camera table holds.
        {"ipc remove enc1", {"new- ipc remove"}},
        {"ipc remove nobody", {"new- ipc remove"}},
        {"ipc remove cam1", {"new+ ipc remove"}},
    });
}

TEST_F(StageOne, CameraTableChanges) {
    EXPECT_EQ(shape(ask("ipc set params cam2 10.77.0.21 sub 554 admin pw rtsp://10.77.0.21/s")),
              Texts{"ack+"});
    EXPECT_EQ(value("/mnt/qeldevIPSource.ini", "ipsource_count"), 2);
    EXPECT_EQ(value("/mnt/qeldevIPSource.ini", "ipsource01_url1"), "rtsp://10.77.0.21/s");
    EXPECT_EQ(value("/mnt/qeldevIPSource.ini", "ipsource01_etype"), 88);

    EXPECT_EQ(shape(ask("ipc remove enc1")), Texts{"ack-"});
    EXPECT_EQ(value("/mnt/qeldevIPSource.ini", "ipsource_count"), 2);
    EXPECT_EQ(shape(ask("ipc remove cam1")), Texts{"ack+"});
    EXPECT_EQ(shape(ask("ipc remove cam2")), Texts{"ack+"});
    EXPECT_EQ(value("/mnt/qeldevIPSource.ini", "ipsource_count"), 0);

    // An empty table: the list is empty, the settings query fails.
    std::vector<Reply> r = ask("ipc get");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(describe(r[0]), "ipclist new+ ipc get");
    EXPECT_EQ(r[0].json["ipclist"].size(), 0u);
    r = ask("ipc get params");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(describe(r[0]), "new- ipc get params");
}

TEST_F(StageOne, SerialCommands) {
    checkAll({
        {"serial get dec1", {"serialinfo new+ serial get dec1"}},
        {"serial get", {"new- serial get"}},
        {"serial get nobody", {"new- serial get"}},
        {"serial set -b 115200-8e1 dec1 ALL",
         {"new+ serial set -b"},
         // Pairing with every device first ends every earlier pairing.
         {"config qel set serialbynet 10.77.0.2 0 0 255.255.255.255",
          "config qel set serialbynet 10.77.0.3 0 0 255.255.255.255",
          "config qel set serialbynet 10.77.0.9 0 0 255.255.255.255",
          "config qel set serial params 10.77.0.2 115200 8 2 1 1 0 255.255.255.255",
          "config qel set serial params 10.77.0.3 115200 8 2 1 1 1 10.77.0.2",
          "config qel set serial params 10.77.0.9 115200 8 2 1 1 1 10.77.0.2"}},
        // The unknown peer fails its item and the reply; the first item is done.
        {"serial set -b 9600-8n1 dec1 enc1,dec2 nobody",
         {"new- serial set -b"},
         {"config qel set serial params 10.77.0.2 9600 8 0 1 1 0 10.77.0.9",
          "config qel set serial params 10.77.0.9 9600 8 0 1 1 1 10.77.0.2"}},
        {"serial set -b 9600-8n1", {"new- serial set -b"}},
        {"serial set -b junk dec1 ALL", {"new- serial set -b"}},
        {"serial set -b 9600-8n1 dec1 " + repeat('p', 60), {"new- serial set -b"}},
        {"serial send \"hello\" dec1",
         {"new+ serial send"},
         {"config qel set serial send 10.77.0.2 str 0 hello"}},
        {"serial send -r on,-h on,\"0A1b\" DEC-0003",
         {"new+ serial send"},
         {"config qel set serial send 10.77.0.3 hex 1 0A1b"}},
        {"serial send -h on,\"0A1\" dec1", {"new- serial send"}},
        {"serial send -h on,\"zz\" dec1", {"new- serial send"}},
        // A bad option fails the reply but the data still goes.
        {"serial send -x on,\"hi\" dec1",
         {"new- serial send"},
         {"config qel set serial send 10.77.0.2 str 0 hi"}},
        {"serial send -r maybe,\"hi\" dec1",
         {"new- serial send"},
         {"config qel set serial send 10.77.0.2 str 0 hi"}},
        {"serial send hello dec1", {"new- serial send"}},
        {"serial send \"hi\" nobody", {"new- serial send"}},
        {"serial send \"hi\" cam1", {"new- serial send"}},
        {"serial send", {"new- serial send"}},
    });
}

TEST_F(StageOne, SerialSendWithNewSettingsWaitsBeforeTheData) {
    auto t0 = Clock::now();
    check({"serial send -b 9600-8n1,\"hello\" dec1",
           {"new+ serial send"},
           {"config qel set serial params 10.77.0.2 9600 8 0 1 0 0 255.255.255.255",
            "config qel set serial send 10.77.0.2 str 0 hello"}});
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(700));
    std::vector<Reply> r = ask("serial get dec1");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].json["serialinfo"][0]["serialparams"], "9600-8n1") << r[0].text;
}

}  // namespace
