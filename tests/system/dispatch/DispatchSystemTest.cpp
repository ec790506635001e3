// The real controller on the test network, driven by a WebSocket client and a text-port client
// in another box, with a fake decoder in a third: the web login gate, the pass-through of
// unmatched commands to the devices, the network settings of a device that does not answer,
// the factory reset and an over-long command.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "support/Acks.h"
#include "support/Clients.h"
#include "support/DeviceFiles.h"
#include "support/FakeDevice.h"
#include "support/JsonTexts.h"
#include "support/Process.h"
#include "support/TestNet.h"
#include "support/WebSocketClient.h"

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
using qeltest::newAck;
using qeltest::oldAck;

const char kDecoderMac[] = "00:11:22:aa:bb:03";

Json::Value parsed(const std::optional<std::string>& text) {
    Json::Value v;
    if (!text) return v;
    Json::Reader reader;
    EXPECT_TRUE(reader.parse(*text, v, false)) << reader.getFormattedErrorMessages() << *text;
    return v;
}

// The keys and values of a controller file, in file order; empty when it holds none.
Json::Value fileKeys(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    Json::Value doc;
    Json::Reader reader;
    if (!reader.parse(ss.str(), doc) || !doc.isObject()) return Json::Value();
    return doc["config"];
}

class DispatchSystem : public ::testing::Test {
protected:
    void SetUp() override {
        QEL_REQUIRE_TEST_NETWORK();
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
        ctrl = &net->addBox("ctrl", 1);
        op = &net->addBox("op", 2);
        qeltest::Box& decBox = net->addBox("dec", 3);
        ASSERT_TRUE(ctrl->ok() && op->ok() && decBox.ok());
        decoder = std::make_unique<qeltest::FakeDevice>(decBox, qeltest::FakeDevice::Kind::Decoder);
        ASSERT_TRUE(decoder->ok()) << decoder->error();

        ASSERT_EQ(mkdir(ctrl->path("/mnt").c_str(), 0755), 0);
        ASSERT_TRUE(
            qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevDecoder.ini"), "decoder",
                                     {{"10.77.0.3", "RX1", "DEC7M03-001122AABB03", kDecoderMac}}));
        server = ctrl->start(qeltest::programPath("ctrlserver"));
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();

        ASSERT_TRUE(op->run([&] { return web.connect(ctrl->ip(), 3s); })) << web.error();
        ASSERT_TRUE(op->run([&] { return text.connect(ctrl->ip(), 8886, 3s); })) << text.error();
    }

    Json::Value askWeb(const std::string& command) {
        EXPECT_TRUE(web.sendText(command));
        return parsed(web.receiveText(3s));
    }
    Json::Value askText(const std::string& command) {
        EXPECT_TRUE(text.send(command));
        return parsed(textReplies.next(3s));
    }

    std::unique_ptr<qeltest::TestNet> net;
    qeltest::Box* ctrl = nullptr;
    qeltest::Box* op = nullptr;
    std::unique_ptr<qeltest::FakeDevice> decoder;
    std::unique_ptr<qeltest::Process> server;
    qeltest::WebSocketClient web;
    qeltest::TcpClient text;
    qeltest::JsonTexts textReplies{text};
};

TEST_F(DispatchSystem, WebCommandsWaitForTheLoginTextPortCommandsDoNot) {
    EXPECT_EQ(askWeb("config get devices"), newAck("config get devices", false));
    EXPECT_EQ(askWeb("config get extra info"), oldAck("config get extra info", false));
    EXPECT_EQ(askWeb("config get system status update"),
              oldAck("config get system status update", false));
    EXPECT_EQ(askWeb("config get login"), oldAck("config get login", false));

    // The text port is served before any login.
    EXPECT_TRUE(askText("config get system status").isMember("devicestatus"));
    EXPECT_EQ(parsed(textReplies.next(3s)), oldAck("config get system status", true));

    EXPECT_EQ(askWeb("config set login vorpl"), oldAck("config set login", true));
    EXPECT_EQ(askWeb("config get system status")["devicestatus"]["type"], "ctrl");
    EXPECT_EQ(parsed(web.receiveText(3s)), oldAck("config get system status", true));
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(DispatchSystem, UnmatchedCommandsGoToTheDevices) {
    decoder->setAnswer("config qel get url params",
                       "config qel ack get url params#SUCCEED#rtsp://10.77.0.9/main");
    const std::string answered = "config get url params 10.77.0.3 0";
    Json::Value values = askText(answered);
    ASSERT_TRUE(values["parinfo"].isArray()) << values;
    EXPECT_EQ(values["parinfo"][0]["parvalue"], "rtsp://10.77.0.9/main");
    EXPECT_EQ(parsed(textReplies.next(3s)), oldAck(answered, true));
    auto sent = decoder->waitFor("config qel get url params", 1s);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->text, "config qel get url params 10.77.0.3 0");

    // Unanswered: one failure and nothing else.
    const std::string unanswered = "config get serial params 10.77.0.3";
    EXPECT_EQ(askText(unanswered), oldAck(unanswered, false));
    EXPECT_FALSE(textReplies.next(300ms)) << textReplies.pending();
}

TEST_F(DispatchSystem, NetworkSettingsOfADeviceThatDoesNotAnswer) {
    const std::string command =
        std::string("config set net params ") + kDecoderMac + " 10.77.0.30 255.255.255.0 10.77.0.1";
    const auto t0 = Clock::now();
    EXPECT_EQ(askText(command), oldAck(command, false));
    EXPECT_GE(Clock::now() - t0, 800ms);
    EXPECT_TRUE(decoder->waitFor("config qel set net params", 1s));
}

TEST_F(DispatchSystem, FactoryDefaultAnswersEmptiesTheTablesAndRebootsTheController) {
    auto own = ctrl->run([] { return qeltest::UdpSocket(8888); });
    ASSERT_TRUE(own.ok()) << own.error();
    EXPECT_EQ(askText("config set login vorpl"), oldAck("config set login", true));
    EXPECT_EQ(askWeb("config set device factory default"),
              oldAck("config set device factory default", true));
    auto reboot = own.receiveMatching("config qel set reboot", 3s);
    ASSERT_TRUE(reboot) << server->output();
    EXPECT_EQ(reboot->text, "config qel set reboot 10.77.0.1");
    for (const char* f : {"/mnt/qeldevDecoder.ini", "/mnt/qeldevEncoder.ini",
                          "/mnt/qeldevController.ini", "/mnt/qeldevIPSource.ini"}) {
        const Json::Value keys = fileKeys(ctrl->path(f));
        EXPECT_TRUE(keys.isNull() || keys.empty()) << f << ": " << keys;
    }
}

TEST_F(DispatchSystem, AnOverlongUnmatchedCommandGetsOneWholeAcknowledgement) {
    EXPECT_EQ(askWeb("config set login vorpl"), oldAck("config set login", true));
    const std::string command = "config " + std::string(74000 - 7, 'q');
    ASSERT_TRUE(web.sendText(command));
    auto reply = web.receiveText(5s);
    ASSERT_TRUE(reply) << server->output();
    EXPECT_LT(reply->size(), 75000u);
    const Json::Value v = parsed(reply);
    EXPECT_EQ(v["ack"]["status"], "failure");
    EXPECT_EQ(v["ack"]["cmd"].asString().substr(0, 20), command.substr(0, 20));
    EXPECT_FALSE(web.receiveText(300ms));
    EXPECT_TRUE(server->running());
}

}  // namespace
