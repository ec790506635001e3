// The queued road to the devices, end to end: the controller (with a stand-in dispatcher)
// runs in one box, fake decoders in others; commands queued in the controller must reach the
// right decoder as the right wire text, and the decoder file must follow.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "support/Clients.h"
#include "support/FakeDevice.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

const uint16_t kCommandPort = 9900;

class DevQueue : public qeltest::TestNetFixture {
protected:
    // Starts the controller once the box root holds what the test put there.
    void startController() {
        mkdir((ctrl->root() + "/mnt").c_str(), 0755);
        server =
            ctrl->start(qeltest::programPath("ctrlserver_devtest"), {std::to_string(kCommandPort)});
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStdout("devtest ready", 5s)) << server->output();
        client = ctrl->run([] { return qeltest::UdpSocket(0); });
        ASSERT_TRUE(client.ok()) << client.error();
    }

    // Queues one controller-side text through the controller's command thread.
    void queue(const std::string& text) {
        ASSERT_TRUE(client.sendTo(ctrl->ip(), kCommandPort, "devtest " + text));
        auto reply = client.receive(3s);
        ASSERT_TRUE(reply) << "no reply to " << text << "\n" << server->output();
        Json::Value v;
        ASSERT_TRUE(Json::Reader().parse(reply->text, v)) << reply->text;
        EXPECT_EQ(v["status"].asString(), "success");
    }

    std::unique_ptr<qeltest::Process> server;
    qeltest::UdpSocket client;
};

Json::Value fileValue(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    Json::Value doc, v;
    if (!Json::Reader().parse(ss.str(), doc) || !doc.isObject()) return v;
    for (const Json::Value& e : doc["config"])
        if (e.isMember(key)) v = e[key];
    return v;
}

TEST_F(DevQueue, CommandsReachTheNamedDecoderAsWireTexts) {
    qeltest::FakeDevice dec(net->addBox("dec", 2), qeltest::FakeDevice::Kind::Decoder);
    qeltest::FakeDevice other(net->addBox("other", 3), qeltest::FakeDevice::Kind::Decoder);
    ASSERT_TRUE(dec.ok()) << dec.error();
    ASSERT_TRUE(other.ok()) << other.error();
    // Acknowledgements go back to a socket the controller has closed; they must not matter.
    dec.setAnswer("config qel set url params", "config qel ack set url params #SUCCEED ");
    startController();

    queue("config set url params 10.77.0.2 2 rtsp://10.77.0.9/stream1");
    auto got = dec.waitFor("url params", 3s);
    ASSERT_TRUE(got) << server->output();
    EXPECT_EQ(got->text, "config qel set url params 10.77.0.2 2 rtsp://10.77.0.9/stream1");
    EXPECT_EQ(got->fromIp, ctrl->ip());
    EXPECT_NE(got->fromPort, 8887);

    // Malformed targets, a wire text over 1023 bytes and a row reserved to discovery are
    // dropped; the broadcast queued after them arrives, so they were handled before it.
    queue("config set url params 10.77.0.3x 1 rtsp://a");
    queue("config set url params10.77.0.3 1 rtsp://b");
    queue("config set url params  1 rtsp://c");
    queue("config set url params 10.77.0.3 1 rtsp://" + std::string(1000, 'd'));
    queue("config get encoders 10.77.0.3");
    queue("config set mul hide params 255.255.255.255 3");
    const std::string wire = "config qel set mul hide params 255.255.255.255 3";
    ASSERT_TRUE(other.waitFor(wire, 3s)) << server->output();
    ASSERT_TRUE(dec.waitFor(wire, 3s)) << server->output();
    ASSERT_EQ(other.received().size(), 1u) << other.received()[0].text;
    EXPECT_EQ(dec.received().size(), 2u);
    EXPECT_NE(server->stderrText().find("Drop device command"), std::string::npos);
}

TEST_F(DevQueue, DecoderParamsFollowIntoTheDecoderFile) {
    qeltest::Box& decBox = net->addBox("dec", 2);
    qeltest::FakeDevice dec(decBox, qeltest::FakeDevice::Kind::Decoder);
    ASSERT_TRUE(dec.ok()) << dec.error();
    mkdir((ctrl->root() + "/mnt").c_str(), 0755);
    {
        std::ofstream out(ctrl->path("/mnt/qeldevDecoder.ini"));
        out << R"({"config": [{"decoder00_ip": "10.77.0.2"}, {"decoder00_name": "wall1"},
                  {"decoder01_ip": "10.77.0.3"}, {"decoder_count": 2}]})";
    }
    startController();

    queue("config set decoder params 10.77.0.2 40 50 60 70 1 Lobby");
    auto got = dec.waitFor("decoder params", 3s);
    ASSERT_TRUE(got) << server->output();
    EXPECT_EQ(got->text, "config qel set decoder params 10.77.0.2 40 50 60 70 1 Lobby");

    const std::string file = ctrl->path("/mnt/qeldevDecoder.ini");
    auto deadline = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < deadline &&
           fileValue(file, "decoder00_name").asString() != "Lobby")
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(fileValue(file, "decoder00_name").asString(), "Lobby");
    EXPECT_EQ(fileValue(file, "decoder00_luma").asInt(), 40);
    EXPECT_EQ(fileValue(file, "decoder00_contrast").asInt(), 50);
    EXPECT_EQ(fileValue(file, "decoder00_hue").asInt(), 60);
    EXPECT_EQ(fileValue(file, "decoder00_saturation").asInt(), 70);
    EXPECT_EQ(fileValue(file, "decoder00_audiooutput").asInt(), 1);
    EXPECT_EQ(fileValue(file, "decoder01_ip").asString(), "10.77.0.3");
    EXPECT_EQ(fileValue(file, "decoder_count").asInt(), 2);
}

}  // namespace
