#include "support/TftpClient.h"

#include <cstdint>

#include "support/Clients.h"

namespace qeltest {

namespace {

const uint16_t kTftpPort = 69;
const size_t kBlock = 512;
enum Opcode : uint8_t { RRQ = 1, DATA = 3, ACK = 4, ERROR = 5 };

unsigned u16(const std::string& s, size_t at) {
    return (static_cast<unsigned char>(s[at]) << 8) | static_cast<unsigned char>(s[at + 1]);
}

std::string ackOf(unsigned block) {
    return std::string{'\0', char(ACK), char(block >> 8), char(block & 0xff)};
}

}  // namespace

TftpResult tftpRead(const std::string& ip, const std::string& file,
                    std::chrono::milliseconds timeout) {
    TftpResult r;
    UdpSocket sock(0);
    if (!sock.ok()) {
        r.error = "no socket: " + sock.error();
        return r;
    }
    std::string request = std::string{'\0', char(RRQ)} + file + '\0' + "octet" + '\0';
    if (!sock.sendTo(ip, kTftpPort, request)) {
        r.error = "cannot send the request";
        return r;
    }
    unsigned expected = 1;
    uint16_t serverPort = 0;
    for (;;) {
        auto d = sock.receive(timeout);
        if (!d) {
            r.error = "time-out waiting for block " + std::to_string(expected);
            return r;
        }
        if (d->text.size() < 4 || d->fromIp != ip) continue;
        if (serverPort != 0 && d->fromPort != serverPort) continue;
        const unsigned op = u16(d->text, 0);
        if (op == ERROR) {
            r.errorCode = static_cast<int>(u16(d->text, 2));
            r.error = d->text.substr(4, d->text.find('\0', 4) - 4);
            return r;
        }
        if (op != DATA) continue;
        serverPort = d->fromPort;
        const unsigned block = u16(d->text, 2);
        if (block == expected) {
            r.data += d->text.substr(4);
            ++expected;
        }
        sock.sendTo(ip, serverPort, ackOf(block));
        if (block + 1 == expected && d->text.size() - 4 < kBlock) {
            r.ok = true;
            return r;
        }
    }
}

}  // namespace qeltest
