// A full encoder table answered through both front ends: the controller (with a dispatcher
// double that answers "config get encoders" with the older encoder list) holds 255 encoders
// on file, too many for one reply; a WebSocket client and a text-port client in another box
// each get one whole reply that parses and holds the leading encoders in table order.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "support/Clients.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

const int kEncoders = 255;

std::string encoderIp(int i) {
    return "10.78." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 10);
}

// The encoder file as the controller stores it, kEncoders records.
void writeEncoderFile(const std::string& path) {
    Json::Value root;
    Json::Value& config = root["config"];
    auto put = [&](const std::string& key, const Json::Value& value) {
        Json::Value e;
        e[key] = value;
        config.append(e);
    };
    for (int i = 0; i < kEncoders; ++i) {
        char prefix[32];
        snprintf(prefix, sizeof prefix, "encoder%02d_", i);
        const std::string p = prefix, ip = encoderIp(i);
        put(p + "ip", ip);
        put(p + "name", "Encoder " + std::to_string(i));
        put(p + "mac",
            "00:11:22:33:" + std::to_string(10 + i / 100) + ":" + std::to_string(10 + i % 90));
        put(p + "hostname", "ENC7M03-00112233" + std::to_string(1000 + i));
        put(p + "netmask", "255.255.0.0");
        put(p + "gateway", "10.78.0.1");
        put(p + "url0", "rtsp://" + ip + ":554/live/main_stream_channel_01");
        put(p + "url1", "rtsp://" + ip + ":554/live/sub_stream_channel_01");
    }
    put("encoder_count", kEncoders);
    std::ofstream(path) << root.toStyledString();
}

// A masked client text frame.
std::string textFrame(const std::string& payload) {
    std::string f = "\x81";
    f += static_cast<char>(0x80 | payload.size());  // payloads of this test stay below 126
    const char key[4] = {0x21, 0x43, 0x65, 0x07};
    f.append(key, 4);
    for (size_t i = 0; i < payload.size(); ++i) f += static_cast<char>(payload[i] ^ key[i % 4]);
    return f;
}

// The payload of one server text frame.
std::optional<std::string> readTextFrame(qeltest::TcpClient& c) {
    auto head = c.receiveExactly(2, 5s);
    if (!head || ((*head)[0] & 0x0F) != 1) return std::nullopt;
    uint64_t len = static_cast<unsigned char>((*head)[1]) & 0x7F;
    if (len >= 126) {
        auto ext = c.receiveExactly(len == 126 ? 2 : 8, 2s);
        if (!ext) return std::nullopt;
        len = 0;
        for (unsigned char b : *ext) len = len << 8 | b;
    }
    return c.receiveExactly(static_cast<size_t>(len), 5s);
}

Json::Value parsed(const std::string& text) {
    Json::Value v;
    Json::Reader reader;
    EXPECT_TRUE(reader.parse(text, v, false)) << reader.getFormattedErrorMessages();
    return v;
}

// The reply holds the first encoders of the table, in order, and fits a reply entry.
void expectLeadingEncoders(const std::string& text) {
    EXPECT_LT(text.size(), 75000u - 2);
    const Json::Value v = parsed(text);
    const Json::Value& list = v["devinfo"];
    ASSERT_TRUE(list.isArray());
    EXPECT_GT(list.size(), 100u);
    EXPECT_LT(list.size(), static_cast<unsigned>(kEncoders));
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        ASSERT_EQ(list[i]["devaddr"].asString(), encoderIp(static_cast<int>(i)));
        ASSERT_EQ(list[i]["url_01"].asString(),
                  "rtsp://" + encoderIp(static_cast<int>(i)) + ":554/live/sub_stream_channel_01");
    }
}

TEST(ReplySystem, FullEncoderTableReachesBothFrontEndsAsOneValidReply) {
    QEL_REQUIRE_TEST_NETWORK();
    qeltest::TestNet net;
    ASSERT_TRUE(net.ok()) << net.error();
    qeltest::Box& ctrl = net.addBox("ctrl", 1);
    qeltest::Box& op = net.addBox("op", 2);
    ASSERT_TRUE(ctrl.ok() && op.ok());
    ASSERT_EQ(mkdir(ctrl.path("/mnt").c_str(), 0755), 0);
    writeEncoderFile(ctrl.path("/mnt/qeldevEncoder.ini"));

    auto server = ctrl.start(qeltest::programPath("ctrlserver_replytest"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started", 15s)) << server->output();

    qeltest::TcpClient web;
    ASSERT_TRUE(op.run([&] { return web.connect(ctrl.ip(), 9008, 3s); })) << web.error();
    ASSERT_TRUE(
        web.send("GET /ws HTTP/1.1\r\nHost: 10.77.0.1:9008\r\nUpgrade: websocket\r\n"
                 "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                 "Origin: http://10.77.0.2\r\nSec-WebSocket-Version: 13\r\n\r\n"));
    ASSERT_TRUE(web.receiveUntil("\r\n\r\n", 3s));
    ASSERT_TRUE(web.send(textFrame("config get encoders")));
    auto webReply = readTextFrame(web);
    ASSERT_TRUE(webReply) << server->output();
    expectLeadingEncoders(*webReply);

    // The text port has no framing: the reply ends with the closing brace of the document.
    qeltest::TcpClient text;
    ASSERT_TRUE(op.run([&] { return text.connect(ctrl.ip(), 8886, 3s); })) << text.error();
    ASSERT_TRUE(text.send("config get encoders"));
    auto textReply = text.receiveUntil("\n}\n", 5s);
    ASSERT_TRUE(textReply) << server->output();
    expectLeadingEncoders(*textReply);
    EXPECT_EQ(parsed(*textReply), parsed(*webReply));

    EXPECT_NE(server->stdoutText().find("BuildDevEncoderlistJsonString: reply cut to"),
              std::string::npos)
        << server->output();
    EXPECT_EQ(server->stop(), 0);
}

}  // namespace
