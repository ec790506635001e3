// An operator's connection to the controller on either command port, made inside a box of the
// test network: send a command, read the next whole JSON text of the replies.
#pragma once

#include <json/json.h>

#include <chrono>
#include <optional>
#include <string>

#include "support/Clients.h"
#include "support/JsonTexts.h"
#include "support/TestNet.h"
#include "support/WebSocketClient.h"

namespace qeltest {

class OperatorClient {
public:
    virtual ~OperatorClient() = default;
    virtual bool connect(Box& box, const std::string& ip) = 0;
    virtual bool send(const std::string& command) = 0;
    virtual std::optional<std::string> next(std::chrono::milliseconds timeout) = 0;
};

// The text port, TCP 8886.
class TextOperator : public OperatorClient {
public:
    bool connect(Box& box, const std::string& ip) override {
        return box.run([&] { return tcp_.connect(ip, 8886, std::chrono::seconds(3)); });
    }
    // The ';' ends the command (a long one without it waits until the client is quiet).
    bool send(const std::string& command) override { return tcp_.send(command + ";"); }
    std::optional<std::string> next(std::chrono::milliseconds timeout) override {
        return texts_.next(timeout);
    }

private:
    TcpClient tcp_;
    JsonTexts texts_{tcp_};
};

// The WebSocket, TCP 9008.
class WebOperator : public OperatorClient {
public:
    bool connect(Box& box, const std::string& ip) override {
        return box.run([&] { return web_.connect(ip, std::chrono::seconds(3)); });
    }
    bool send(const std::string& command) override { return web_.sendText(command); }
    std::optional<std::string> next(std::chrono::milliseconds timeout) override {
        return web_.receiveText(timeout);
    }

private:
    WebSocketClient web_;
};

// The "cmd" of a reply's acknowledgement; nothing for a data reply or a text that is not JSON.
inline std::optional<std::string> ackCommand(const std::string& text) {
    Json::Value v;
    Json::Reader reader;
    if (!reader.parse(text, v, false) || !v.isObject() || !v.isMember("ack")) return std::nullopt;
    const Json::Value& a = v["ack"].isArray() ? v["ack"][0] : v["ack"];
    return a["cmd"].asString();
}

}  // namespace qeltest
