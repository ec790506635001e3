// A WebSocket client of the controller's web port (TCP 9008) for black-box tests: the
// upgrade handshake, masked text frames out, server frames in. It runs on a TcpClient, so it
// belongs to the network namespace of the thread that connects it.
//
//   qeltest::WebSocketClient web;
//   ASSERT_TRUE(op.run([&] { return web.connect(ctrl.ip(), 3s); })) << web.error();
//   web.sendText("config get login");
//   auto reply = web.receiveText(2s);       // the payload of the next text frame
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "support/Clients.h"

namespace qeltest {

// One frame as the server sent it.
struct WebSocketFrame {
    std::string header;  // the bytes before the payload
    int opcode = -1;
    std::string payload;
};

// A client frame: FIN set, masked with a fixed key unless masked is false.
std::string webSocketClientFrame(int opcode, const std::string& payload, bool masked = true);

// The upgrade request with the given key (the sample key of RFC 6455 by default).
std::string webSocketUpgradeRequest(const std::string& host,
                                    const std::string& key = "dGhlIHNhbXBsZSBub25jZQ==");

// Reads one server frame from c.
std::optional<WebSocketFrame> readWebSocketFrame(TcpClient& c, std::chrono::milliseconds timeout);

class WebSocketClient {
public:
    // Connects to port (9008) of ip and shakes hands; false with error() set otherwise.
    bool connect(const std::string& ip, std::chrono::milliseconds timeout = 3s,
                 uint16_t port = 9008);
    bool sendText(const std::string& text);
    // The payload of the next text frame; nothing on time-out or another kind of frame.
    std::optional<std::string> receiveText(std::chrono::milliseconds timeout = 2s);
    TcpClient& tcp() { return tcp_; }
    const std::string& error() const { return error_; }

private:
    TcpClient tcp_;
    std::string error_;
};

}  // namespace qeltest
