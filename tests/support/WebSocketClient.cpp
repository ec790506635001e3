#include "support/WebSocketClient.h"

namespace qeltest {

std::string webSocketClientFrame(int opcode, const std::string& payload, bool masked) {
    std::string f;
    f += static_cast<char>(0x80 | opcode);
    const char maskBit = masked ? static_cast<char>(0x80) : 0;
    const size_t n = payload.size();
    if (n <= 125) {
        f += static_cast<char>(maskBit | n);
    } else if (n <= 65535) {
        f += static_cast<char>(maskBit | 126);
        f += static_cast<char>(n >> 8);
        f += static_cast<char>(n & 0xFF);
    } else {
        f += static_cast<char>(maskBit | 127);
        for (int i = 7; i >= 0; --i)
            f += static_cast<char>((static_cast<uint64_t>(n) >> (8 * i)) & 0xFF);
    }
    const unsigned char key[4] = {0x12, 0x34, 0x56, 0x78};
    if (masked) f.append(reinterpret_cast<const char*>(key), 4);
    for (size_t i = 0; i < n; ++i)
        f += masked ? static_cast<char>(payload[i] ^ key[i % 4]) : payload[i];
    return f;
}

std::string webSocketUpgradeRequest(const std::string& host, const std::string& key) {
    return "GET /ws HTTP/1.1\r\nHost: " + host +
           ":9008\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + key +
           "\r\nOrigin: http://" + host + "\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

std::optional<WebSocketFrame> readWebSocketFrame(TcpClient& c, std::chrono::milliseconds t) {
    auto head = c.receiveExactly(2, t);
    if (!head) return std::nullopt;
    WebSocketFrame f;
    f.header = *head;
    f.opcode = (*head)[0] & 0x0F;
    uint64_t len = static_cast<unsigned char>((*head)[1]) & 0x7F;
    if (len >= 126) {
        auto ext = c.receiveExactly(len == 126 ? 2 : 8, t);
        if (!ext) return std::nullopt;
        f.header += *ext;
        len = 0;
        for (unsigned char b : *ext) len = len << 8 | b;
    }
    auto payload = c.receiveExactly(static_cast<size_t>(len), t);
    if (!payload) return std::nullopt;
    f.payload = *payload;
    return f;
}

bool WebSocketClient::connect(const std::string& ip, std::chrono::milliseconds timeout,
                              uint16_t port) {
    if (!tcp_.connect(ip, port, timeout)) {
        error_ = tcp_.error();
        return false;
    }
    if (!tcp_.send(webSocketUpgradeRequest(ip))) {
        error_ = "cannot send the upgrade request: " + tcp_.error();
        return false;
    }
    auto answer = tcp_.receiveUntil("\r\n\r\n", timeout);
    if (!answer || answer->find(" 101 ") == std::string::npos) {
        error_ = "no upgrade answer";
        return false;
    }
    return true;
}

bool WebSocketClient::sendText(const std::string& text) {
    return tcp_.send(webSocketClientFrame(1, text));
}

std::optional<std::string> WebSocketClient::receiveText(std::chrono::milliseconds timeout) {
    auto f = readWebSocketFrame(tcp_, timeout);
    if (!f || f->opcode != 1) return std::nullopt;
    return f->payload;
}

}  // namespace qeltest
