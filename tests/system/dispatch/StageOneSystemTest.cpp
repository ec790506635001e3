// Stage one's device, system, IP-camera and serial commands against the real controller on the
// test network: the controller at 10.77.0.1 with seeded device files (decoders dec1 .2 and
// dec2 .3, encoder enc1 .9, camera cam1 .20), fake devices in boxes .2, .3 and .9 (and one in
// the controller's own box, port 8888, for what the controller sends itself), and an operator
// on the text port from box .5. Each row gives the command, its replies (parsed, in order,
// nothing more) and the exact datagrams each fake gets (nothing when none is listed).
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/Acks.h"
#include "support/Clients.h"
#include "support/DeviceFiles.h"
#include "support/FakeDevice.h"
#include "support/JsonTexts.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
using Texts = std::vector<std::string>;
using qeltest::FakeDevice;
using qeltest::newAck;
using qeltest::oldAck;

Json::Value parsed(const std::optional<std::string>& text) {
    Json::Value v;
    if (!text) return v;
    Json::Reader reader;
    EXPECT_TRUE(reader.parse(*text, v, false)) << reader.getFormattedErrorMessages() << *text;
    return v;
}

// The value of key in a controller file; null when it is missing.
Json::Value fileValue(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    Json::Value doc;
    Json::Reader reader;
    Json::Value v;
    if (!reader.parse(ss.str(), doc) || !doc.isObject()) return v;
    for (const Json::Value& e : doc["config"])
        if (e.isMember(key)) v = e[key];
    return v;
}

class StageOneSystem : public ::testing::Test {
protected:
    void SetUp() override {
        QEL_REQUIRE_TEST_NETWORK();
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
        ctrl = &net->addBox("ctrl", 1);
        op = &net->addBox("op", 5);
        ASSERT_TRUE(ctrl->ok() && op->ok());
        addFake("own", *ctrl, FakeDevice::Kind::Decoder);
        addFake("dec1", net->addBox("dec1", 2), FakeDevice::Kind::Decoder);
        addFake("dec2", net->addBox("dec2", 3), FakeDevice::Kind::Decoder);
        addFake("enc1", net->addBox("enc1", 9), FakeDevice::Kind::Encoder);
        if (HasFatalFailure()) return;

        ASSERT_EQ(mkdir(ctrl->path("/mnt").c_str(), 0755), 0);
        ASSERT_TRUE(qeltest::writeDeviceFile(
            ctrl->path("/mnt/qeldevDecoder.ini"), "decoder",
            {{"10.77.0.2", "dec1", "DEC-0002", "00:11:22:aa:bb:02", "Version 2.0"},
             {"10.77.0.3", "dec2", "DEC-0003", "00:11:22:aa:bb:03"}}));
        ASSERT_TRUE(
            qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevEncoder.ini"), "encoder",
                                     {{"10.77.0.9", "enc1", "ENC-0009", "00:11:22:aa:bb:09"}}));
        ASSERT_TRUE(qeltest::writeDeviceFile(
            ctrl->path("/mnt/qeldevIPSource.ini"), "ipsource",
            {{"10.77.0.20", "cam1", "", "", "", {{"url0", "rtsp://10.77.0.20/main"}}}}));
    }

    void startController() {
        server = ctrl->start(qeltest::programPath("ctrlserver"));
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();
        ASSERT_TRUE(op->run([&] { return text.connect(ctrl->ip(), 8886, 3s); })) << text.error();
    }

    void addFake(const std::string& name, qeltest::Box& box, FakeDevice::Kind kind) {
        ASSERT_TRUE(box.ok());
        fakes[name] = std::make_unique<FakeDevice>(box, kind);
        ASSERT_TRUE(fakes[name]->ok()) << fakes[name]->error();
    }

    struct Row {
        std::string command;
        std::vector<Json::Value> replies;
        std::map<std::string, Texts> sent = {};  // per fake; a fake not named gets nothing
    };

    // Runs one row; the replies as they came are returned for further checks.
    std::vector<Json::Value> check(const Row& row,
                                   std::chrono::milliseconds replyWait = std::chrono::seconds(5)) {
        SCOPED_TRACE(row.command);
        for (auto& f : fakes) f.second->clear();
        std::vector<Json::Value> got;
        EXPECT_TRUE(text.send(row.command));
        for (size_t i = 0; i < row.replies.size(); ++i)
            got.push_back(parsed(textReplies.next(replyWait)));
        EXPECT_EQ(got, row.replies);
        EXPECT_FALSE(textReplies.next(300ms)) << "one reply too many: " << textReplies.pending();
        for (auto& f : fakes) {
            auto it = row.sent.find(f.first);
            const Texts want = it == row.sent.end() ? Texts{} : it->second;
            if (!want.empty()) f.second->waitForCount(want.size(), 3s);
        }
        // Anything further would have come by now.
        std::this_thread::sleep_for(300ms);
        for (auto& f : fakes) {
            auto it = row.sent.find(f.first);
            const Texts want = it == row.sent.end() ? Texts{} : it->second;
            Texts have;
            for (const qeltest::Datagram& d : f.second->received()) have.push_back(d.text);
            EXPECT_EQ(have, want) << "datagrams to " << f.first;
        }
        return got;
    }

    void checkAll(const std::vector<Row>& rows) {
        for (const Row& r : rows) check(r);
    }

    // The one reply of a query, parsed; nothing more may follow.
    Json::Value ask(const std::string& command) {
        EXPECT_TRUE(text.send(command));
        Json::Value v = parsed(textReplies.next(5s));
        EXPECT_FALSE(textReplies.next(300ms)) << command << ": " << textReplies.pending();
        return v;
    }

    std::string file(const char* boxPath) { return ctrl->path(boxPath); }

    std::unique_ptr<qeltest::TestNet> net;
    qeltest::Box* ctrl = nullptr;
    qeltest::Box* op = nullptr;
    std::map<std::string, std::unique_ptr<FakeDevice>> fakes;
    std::unique_ptr<qeltest::Process> server;
    qeltest::TcpClient text;
    qeltest::JsonTexts textReplies{text};
};

TEST_F(StageOneSystem, DeviceAndSystemCommands) {
    fakes["dec1"]->setAnswer("config qel flash device led 10.77.0.2",
                             "config qel ack flash device led #SUCCEED ");
    fakes["dec1"]->setAnswer("config qel set net params 00:11:22:aa:bb:02",
                             "config qel ack set net params #SUCCEED ");
    startController();
    if (HasFatalFailure()) return;

    const Texts ledToDec1 = {"config qel flash device led 10.77.0.2"};
    const std::string longAlias = "config set device alias dec1 " + std::string(271, 'a');
    ASSERT_EQ(longAlias.size(), 300u);
    checkAll({
        {"config set reboot",
         {newAck("config set reboot", true)},
         {{"own", {"config qel set reboot 10.77.0.1"}}}},
        {"config set reboot DEC-0003",
         {newAck("config set reboot", true)},
         {{"dec2", {"config qel set reboot 10.77.0.3"}}}},
        {"config set reboot nobody", {newAck("config set reboot", false)}},
        {"config set hdmiout dec1 on",
         {newAck("config set hdmiout", true)},
         {{"dec1", {"config qel set hdmiout 10.77.0.2 on"}}}},
        {"config set hdmiout dec1 ON", {newAck("config set hdmiout", false)}},
        {"config show device dec2",
         {newAck("config show device", true)},
         {{"dec2", {"config qel show device 10.77.0.3"}}}},
        {"config show all device",
         {newAck("config show all device", true)},
         {{"own", {"config qel show device 255.255.255.255"}},
          {"dec1", {"config qel show device 255.255.255.255"}},
          {"dec2", {"config qel show device 255.255.255.255"}},
          {"enc1", {"config qel show device 255.255.255.255"}}}},
        {"config set tx params enc1 0 CBR N EMB EXT",
         {newAck("config set tx params", true)},
         {{"enc1", {"config qel set encoder params 10.77.0.9 0 1 0 6000 0 0 1 enc1"}}}},
        {"config set tx params enc1 31 CBR N EMB EXT", {newAck("config set tx params", false)}},
        {"config set tx params enc1 25 ABR N EMB EXT", {newAck("config set tx params", false)}},
        {"config set tx params enc1 25 CBR X EMB EXT", {newAck("config set tx params", false)}},
        {"config set all rx params 50 50 50 50 EMB",
         {newAck("config set all rx params", true)},
         {{"dec1", {"config qel set decoder params 10.77.0.2 50 50 50 50 1 dec1"}},
          {"dec2", {"config qel set decoder params 10.77.0.3 50 50 50 50 1 dec2"}}}},
        {"config set all rx params 50 50 101 50 EMB", {newAck("config set all rx params", false)}},
        // The exchange goes to every device; only dec1 answers for its own address.
        {"config flash device led dec1",
         {newAck("config flash device led", true)},
         {{"own", ledToDec1}, {"dec1", ledToDec1}, {"dec2", ledToDec1}, {"enc1", ledToDec1}}},
        {"config set device reboot dec1 enc1",
         {newAck("config set device reboot", true)},
         {{"dec1", {"config qel set reboot 10.77.0.2"}},
          {"enc1", {"config qel set reboot 10.77.0.9"}}}},
        {"config set device restorefactory dec2",
         {newAck("config set device restorefactory", true)},
         {{"dec2", {"config qel set device restorefactory 10.77.0.3"}}}},
        // Too long for stage one: stage two has no device command for it.
        {longAlias, {oldAck(longAlias, false)}},
        {"config set device ip dec1 netmask 255.255.255.0 ip4addr 10.77.0.12 gateway 10.77.0.254",
         {newAck("config set device ip", false)}},
    });

    // Queries answered from the tables.
    Json::Value list = ask("config get devicelist");
    EXPECT_EQ(list["ack"], newAck("config get devicelist", true)["ack"]) << list;
    EXPECT_EQ(list["devicelist"].size(), 4u) << list;
    Json::Value version = ask("config get version");
    EXPECT_EQ(version["versioninfo"]["version"], "V2.4.3.2_0322_2019") << version;
    version = ask("config get version dec1");
    EXPECT_EQ(version["versioninfo"]["version"], "Version 2.0") << version;
    EXPECT_EQ(version["ack"], newAck("config get version", true)["ack"]);

    // Renames: an unknown name between two known ones fails the reply only.
    checkAll({
        {"config set device remove alias dec1 nobody enc1",
         {newAck("config set device remove alias", false)},
         {{"dec1", {"config qel set decoder name 10.77.0.2 RX"}},
          {"enc1", {"config qel set encoder name 10.77.0.9 TX"}}}},
        {"config set device alias DEC-0003 Lobby",
         {newAck("config set device alias", true)},
         {{"dec2", {"config qel set decoder name 10.77.0.3 Lobby"}}}},
    });
    EXPECT_EQ(fileValue(file("/mnt/qeldevDecoder.ini"), "decoder00_name"), "RX");
    EXPECT_EQ(fileValue(file("/mnt/qeldevDecoder.ini"), "decoder01_name"), "Lobby");
    EXPECT_EQ(fileValue(file("/mnt/qeldevEncoder.ini"), "encoder00_name"), "TX");

    // Readdress: the decoder answers for its MAC; the reply waits for the exchange.
    const Texts netParams = {
        "config qel set net params 00:11:22:aa:bb:02 10.77.0.12 255.255.255.0 10.77.0.254"};
    const auto t0 = Clock::now();
    check(
        {"config set device ip DEC-0002 ip4addr 10.77.0.12 netmask 255.255.255.0 gateway "
         "10.77.0.254",
         {newAck("config set device ip", true)},
         {{"own", netParams}, {"dec1", netParams}, {"dec2", netParams}, {"enc1", netParams}}});
    EXPECT_GE(Clock::now() - t0, 800ms);
    EXPECT_EQ(fileValue(file("/mnt/qeldevDecoder.ini"), "decoder00_ip"), "10.77.0.12");

    // The controller's factory reset: the reply, the emptied tables, the reboot of its own box.
    check({"config set restorefactory",
           {newAck("config set restorefactory", true)},
           {{"own", {"config qel set reboot 10.77.0.1"}}}});
    EXPECT_TRUE(fileValue(file("/mnt/qeldevDecoder.ini"), "decoder_count").isNull());
    EXPECT_TRUE(fileValue(file("/mnt/qeldevIPSource.ini"), "ipsource_count").isNull());
    EXPECT_TRUE(server->running());
}

TEST_F(StageOneSystem, CameraAndSerialCommands) {
    startController();
    if (HasFatalFailure()) return;
    const std::string sources = file("/mnt/qeldevIPSource.ini");

    Json::Value cams = ask("ipc get");
    EXPECT_EQ(cams["ack"], newAck("ipc get", true)["ack"]) << cams;
    ASSERT_EQ(cams["ipclist"].size(), 1u) << cams;
    EXPECT_EQ(cams["ipclist"][0]["alias"], "cam1");
    EXPECT_EQ(cams["ipclist"][0]["ip4addr"], "10.77.0.20");

    checkAll({
        {"ipc set params cam2 10.77.0.21 main 554 admin pw rtsp://10.77.0.21/live",
         {newAck("ipc set params", true)}},
        {"ipc set params cam3 10.77.0.22 third 554 admin pw rtsp://10.77.0.22/live",
         {newAck("ipc set params", false)}},
        {"ipc get params enc1", {newAck("ipc get params enc1", false)}},
    });
    EXPECT_EQ(fileValue(sources, "ipsource_count"), 2);
    EXPECT_EQ(fileValue(sources, "ipsource01_ip"), "10.77.0.21");
    EXPECT_EQ(fileValue(sources, "ipsource01_name"), "cam2");
    EXPECT_EQ(fileValue(sources, "ipsource01_port"), 554);
    EXPECT_EQ(fileValue(sources, "ipsource01_etype"), 88);
    EXPECT_EQ(fileValue(sources, "ipsource01_url0"), "rtsp://10.77.0.21/live");

    Json::Value cam = ask("ipc get params cam2");
    EXPECT_EQ(cam["ack"], newAck("ipc get params cam2", true)["ack"]) << cam;
    ASSERT_EQ(cam["ipcparaminfo"].size(), 1u) << cam;

    // An encoder is no camera: nothing is removed.
    checkAll({
        {"ipc remove enc1", {newAck("ipc remove", false)}},
        {"ipc remove cam2", {newAck("ipc remove", true)}},
    });
    EXPECT_EQ(fileValue(sources, "ipsource_count"), 1);
    EXPECT_EQ(fileValue(sources, "ipsource00_name"), "cam1");

    // Serial: new settings go first and the data follows 700 ms later; without "-b" the
    // device keeps its settings.
    const auto t0 = Clock::now();
    check({"serial send -b 9600-8n1,\"hello\" dec1",
           {newAck("serial send", true)},
           {{"dec1",
             {"config qel set serial params 10.77.0.2 9600 8 0 1 0 0 255.255.255.255",
              "config qel set serial send 10.77.0.2 str 0 hello"}}}});
    EXPECT_GE(Clock::now() - t0, 700ms);
    checkAll({
        {"serial send -r on,\"abc\" DEC-0003",
         {newAck("serial send", true)},
         {{"dec2", {"config qel set serial send 10.77.0.3 str 1 abc"}}}},
        {"serial send -h on,\"0a1\" dec1", {newAck("serial send", false)}},
        {"serial send hello dec1", {newAck("serial send", false)}},
        {"serial send -q on,\"hi\" enc1",
         {newAck("serial send", false)},
         {{"enc1", {"config qel set serial send 10.77.0.9 str 0 hi"}}}},
        {"serial get", {newAck("serial get", false)}},
        {"serial set -b 9600-8n1", {newAck("serial set -b", false)}},
    });
    Json::Value serial = ask("serial get dec1");
    EXPECT_EQ(serial["ack"], newAck("serial get dec1", true)["ack"]) << serial;
    EXPECT_EQ(serial["serialinfo"][0]["serialparams"], "9600-8n1") << serial;

    // Pairing with every device ends the earlier pairings first, then sets both ends.
    check({"serial set -b 115200-8e1 dec1 ALL",
           {newAck("serial set -b", true)},
           {{"dec1",
             {"config qel set serialbynet 10.77.0.2 0 0 255.255.255.255",
              "config qel set serial params 10.77.0.2 115200 8 2 1 1 0 255.255.255.255"}},
            {"dec2",
             {"config qel set serialbynet 10.77.0.3 0 0 255.255.255.255",
              "config qel set serial params 10.77.0.3 115200 8 2 1 1 1 10.77.0.2"}},
            {"enc1",
             {"config qel set serialbynet 10.77.0.9 0 0 255.255.255.255",
              "config qel set serial params 10.77.0.9 115200 8 2 1 1 1 10.77.0.2"}}}});
}

TEST_F(StageOneSystem, DiscoveryListsTheDevicesThatAnswer) {
    fakes["dec1"]->setDiscoveryAnswer(
        FakeDevice::decoderDiscoveryAnswer("00:11:22:aa:bb:02", "dec1"));
    fakes["enc1"]->setDiscoveryAnswer(
        FakeDevice::encoderDiscoveryAnswer("00:11:22:aa:bb:09", "enc1"));
    startController();
    if (HasFatalFailure()) return;
    const std::string command = "config get devices";
    ASSERT_TRUE(text.send(command));
    Json::Value v = parsed(textReplies.next(15s));
    EXPECT_EQ(v["ack"], newAck(command, true)["ack"]) << v;
    Texts addresses;
    for (const Json::Value& d : v["devicelist"]) addresses.push_back(d["ip4addr"].asString());
    EXPECT_EQ(addresses, (Texts{"10.77.0.2", "10.77.0.9"})) << v;
    EXPECT_FALSE(textReplies.next(300ms));
}

}  // namespace
