// Small UDP and TCP clients for tests. A socket belongs to the network namespace of the thread
// that made it: make it inside a box (box.run or InNamespace) to talk on the test network, or
// outside for loopback. Every wait takes a time-out.
//
//   auto sock = dec.run([] { return qeltest::UdpSocket(8888); });
//   auto d = sock.receive(3s);               // std::optional<Datagram>
//   if (d) sock.sendTo(d->fromIp, 8887, "config qel ack ...");
//
//   qeltest::TcpClient c;                    // an operator in box "op" talks to "ctrl"
//   ASSERT_TRUE(op.run([&] { return c.connect(ctrl.ip(), 8886, 3s); })) << c.error();
//   c.send("config get devices\n");
//   auto reply = c.receiveUntil("}", 3s);
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qeltest {

using namespace std::chrono_literals;

// True when the calling thread is in this machine's own network: that of pid 1, or the one the
// test process started in. Broadcasts are refused there.
bool inHostNetwork();

struct Datagram {
    std::string text;  // the payload bytes
    std::string fromIp;
    uint16_t fromPort = 0;
};

class UdpSocket {
public:
    UdpSocket() = default;  // no socket; ok() is false
    // Binds to `port` (0: any free port) on `bindIp` ("": every address) with SO_BROADCAST on.
    // With reuseAddress several sockets may share the port (each gets every broadcast).
    explicit UdpSocket(uint16_t port, const std::string& bindIp = "", bool reuseAddress = false);
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    bool ok() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }
    int fd() const { return fd_; }
    uint16_t port() const { return port_; }  // the bound port

    // Sends one datagram. A broadcast (255.255.255.255 or x.x.x.255) from a socket made in the
    // host's network is refused (false) and never sent.
    bool sendTo(const std::string& ip, uint16_t port, const std::string& bytes);

    // The next datagram, or nothing after `timeout`.
    std::optional<Datagram> receive(std::chrono::milliseconds timeout = 2s);
    // The first datagram whose text contains `text`; others are dropped.
    std::optional<Datagram> receiveMatching(const std::string& text,
                                            std::chrono::milliseconds timeout = 2s);
    // Everything that arrives until nothing came for `quiet` (or `limit` passed).
    std::vector<Datagram> drain(std::chrono::milliseconds quiet = 200ms,
                                std::chrono::milliseconds limit = 5s);

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    bool hostNetwork_ = true;
    std::string error_;
};

class TcpClient {
public:
    TcpClient() = default;
    ~TcpClient();
    TcpClient(TcpClient&& other) noexcept;
    TcpClient& operator=(TcpClient&& other) noexcept;
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Connects, trying again while the peer refuses (a server still starting) until `timeout`.
    bool connect(const std::string& ip, uint16_t port, std::chrono::milliseconds timeout = 3s);
    bool connected() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }
    int fd() const { return fd_; }
    void close();

    // Sends every byte; false on error or time-out.
    bool send(const std::string& bytes, std::chrono::milliseconds timeout = 2s);

    // What is buffered, or else what arrives next; "" on time-out or when the peer closed.
    std::string receive(std::chrono::milliseconds timeout = 2s);
    // Everything up to and including `text`; what follows stays buffered for the next call.
    std::optional<std::string> receiveUntil(const std::string& text,
                                            std::chrono::milliseconds timeout = 2s);
    // Exactly n bytes (a frame of known length).
    std::optional<std::string> receiveExactly(size_t n, std::chrono::milliseconds timeout = 2s);
    // Everything until the peer closes; nothing when it did not close within `timeout`.
    std::optional<std::string> receiveUntilClosed(std::chrono::milliseconds timeout = 2s);
    // True once the peer's end of stream was read.
    bool peerClosed() const { return peerClosed_; }

private:
    // Reads what is there within the time left into buffer_; false on time-out, close or error.
    bool fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    bool peerClosed_ = false;
    std::string buffer_;
    std::string error_;
};

}  // namespace qeltest
