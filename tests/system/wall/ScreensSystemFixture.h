// The real controller on the test network with fake decoders in boxes of their own: decoders
// 0-3 (10.77.0.2 to 10.77.0.5) seeded for the wall's cells and, in a derived fixture, more
// beside them, and one ordered listener over all of them. Operator commands go to the text
// port one at a time; the exact datagrams that reach the decoders are checked per decoder and
// in order across them.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/Acks.h"
#include "support/Clients.h"
#include "support/Collector.h"
#include "support/DeviceFiles.h"
#include "support/JsonTexts.h"
#include "support/Process.h"
#include "support/TestNet.h"

namespace screens {

using namespace std::chrono_literals;
using qeltest::oldAck;
using Texts = std::vector<std::string>;

const char kBroadcast[] = "255.255.255.255";

// Decoder d's address: 10.77.0.(d + 2).
inline std::string dec(int d) {
    return "10.77.0." + std::to_string(d + 2);
}

inline Json::Value parsed(const std::optional<std::string>& text) {
    Json::Value v;
    if (!text) return v;
    Json::Reader reader;
    EXPECT_TRUE(reader.parse(*text, v, false)) << reader.getFormattedErrorMessages() << *text;
    return v;
}

inline Json::Value fileKey(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    Json::Value doc, found;
    Json::Reader reader;
    if (!reader.parse(ss.str(), doc) || !doc.isObject()) return found;
    for (const Json::Value& e : doc["config"])
        if (e.isMember(key)) found = e[key];
    return found;
}

class ScreensSystem : public qeltest::TestNetFixture {
protected:
    // Decoders beyond the wall's four, and the encoder and camera tables, as a derived
    // fixture sets them before its boxes are built.
    int decoderCount = 4;
    std::vector<qeltest::SeedDevice> encoders, cameras;

    void SetUpBoxes() override {
        std::vector<qeltest::Box*> decoders;
        std::vector<qeltest::SeedDevice> seeds;
        for (int c = 0; c < decoderCount; ++c) {
            decoders.push_back(&net->addBox("dec" + std::to_string(c), c + 2));
            ASSERT_TRUE(decoders.back()->ok());
            seeds.push_back({dec(c), "RX" + std::to_string(c), "rx-" + std::to_string(c),
                             "00:11:22:33:44:0" + std::to_string(c + 2)});
        }
        qeltest::Box& op = net->addBox("op", 99);
        ASSERT_TRUE(ctrl->ok() && op.ok());
        wire = std::make_unique<qeltest::Collector>(decoders, 8888);

        ASSERT_EQ(mkdir(ctrl->path("/mnt").c_str(), 0755), 0);
        ASSERT_TRUE(
            qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevDecoder.ini"), "decoder", seeds));
        // Empty tables are written too, so that every test starts from the same files.
        ASSERT_TRUE(
            qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevEncoder.ini"), "encoder", encoders));
        ASSERT_TRUE(
            qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevIPSource.ini"), "ipsource", cameras));
        server = ctrl->start(qeltest::programPath("ctrlserver"));
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();
        ASSERT_TRUE(op.run([&] { return text.connect(ctrl->ip(), 8886, 3s); })) << text.error();
    }

    // Sends one command and takes its replies: the acknowledgement, after a list for the
    // window and list commands.
    Json::Value ask(const std::string& command, Json::Value* list = nullptr) {
        EXPECT_TRUE(text.send(command));
        if (list) *list = parsed(replies.next(3s));
        return parsed(replies.next(3s));
    }

    // Waits for count datagrams, then briefly for any extra one, and takes them off.
    std::vector<qeltest::Seen> datagrams(size_t count) {
        if (count > 0) {
            EXPECT_TRUE(wire->waitForCount(count, 5s)) << server->output();
        }
        std::this_thread::sleep_for(300ms);
        std::vector<qeltest::Seen> seen = wire->seen();
        wire->clear();
        return seen;
    }

    // The controller-side texts as they go over the wire.
    static std::string onWire(const std::string& t) {
        return "config qel set " + t.substr(strlen("config set "));
    }

    // Checks what the decoders got: per decoder exactly its texts (a text for decoder -1, the
    // multi-hide, reaches every decoder), and the addressed ones across the decoders in the
    // order given.
    void expectWire(const std::vector<std::pair<int, std::string>>& expected) {
        size_t count = 0;
        for (const auto& e : expected) count += e.first < 0 ? decoderCount : 1;
        const std::vector<qeltest::Seen> seen = datagrams(count);
        std::vector<std::string> order, wantOrder;
        for (int c = 0; c < decoderCount; ++c) {
            Texts got, want;
            for (const qeltest::Seen& s : seen)
                if (s.box.find("dec" + std::to_string(c)) != std::string::npos)
                    got.push_back(s.text);
            for (const auto& e : expected)
                if (e.first == c || e.first < 0) want.push_back(onWire(e.second));
            EXPECT_EQ(got, want) << "decoder " << dec(c);
        }
        for (const qeltest::Seen& s : seen)
            if (s.text.find(kBroadcast) == std::string::npos) order.push_back(s.text);
        for (const auto& e : expected)
            if (e.first >= 0) wantOrder.push_back(onWire(e.second));
        EXPECT_EQ(order, wantOrder);
    }

    std::string wallFile() const { return ctrl->path("/mnt/qelconfVscreen.ini"); }

    std::unique_ptr<qeltest::Collector> wire;
    std::unique_ptr<qeltest::Process> server;
    qeltest::TcpClient text;
    qeltest::JsonTexts replies{text};
};

}  // namespace screens
