#include "support/Clients.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace qeltest {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

// Waits for `events` on fd until the deadline; true when ready.
bool waitFd(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        struct pollfd p = {fd, events, 0};
        int n = poll(&p, 1, msLeft(deadline));
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

bool toAddress(const std::string& ip, uint16_t port, sockaddr_in& out) {
    memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    return inet_pton(AF_INET, ip.c_str(), &out.sin_addr) == 1;
}

std::string errnoText(const std::string& what) {
    return what + ": " + strerror(errno);
}

}  // namespace

namespace {

bool sameNamespace(const struct stat& a, const char* path) {
    struct stat b;
    return stat(path, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The network the test process started in, taken before main (so before any thread moved into a
// box). pid 1's network is often not readable from a container, so this is the reference.
struct stat gStartNetwork;
const bool gStartNetworkKnown = stat("/proc/self/ns/net", &gStartNetwork) == 0;

}  // namespace

bool inHostNetwork() {
    struct stat self;
    if (!gStartNetworkKnown || stat("/proc/thread-self/ns/net", &self) != 0)
        return true;  // cannot tell: assume the worst
    return sameNamespace(self, "/proc/1/ns/net") ||
           (self.st_dev == gStartNetwork.st_dev && self.st_ino == gStartNetwork.st_ino);
}

// ---- UdpSocket

UdpSocket::UdpSocket(uint16_t port, const std::string& bindIp, bool reuseAddress) {
    hostNetwork_ = inHostNetwork();
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error_ = errnoText("socket");
        return;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (reuseAddress) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr;
    if (!toAddress(bindIp.empty() ? "0.0.0.0" : bindIp, port, addr)) {
        error_ = "bad address " + bindIp;
        ::close(fd);
        return;
    }
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        error_ = errnoText("bind to port " + std::to_string(port));
        ::close(fd);
        return;
    }
    fd_ = fd;
    port_ = ntohs(addr.sin_port);
}

UdpSocket::~UdpSocket() {
    if (fd_ >= 0) ::close(fd_);
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept {
    *this = std::move(other);
}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        port_ = other.port_;
        hostNetwork_ = other.hostNetwork_;
        error_ = std::move(other.error_);
        other.fd_ = -1;
    }
    return *this;
}

bool UdpSocket::sendTo(const std::string& ip, uint16_t port, const std::string& bytes) {
    sockaddr_in to;
    if (fd_ < 0 || !toAddress(ip, port, to)) {
        error_ = fd_ < 0 ? "no socket" : "bad address " + ip;
        return false;
    }
    if (hostNetwork_ && (ntohl(to.sin_addr.s_addr) & 0xff) == 0xff) {
        error_ = "refusing to broadcast to " + ip + " from the host's network";
        return false;
    }
    ssize_t sent =
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (sent != static_cast<ssize_t>(bytes.size())) {
        error_ = errnoText("sendto " + ip);
        return false;
    }
    return true;
}

std::optional<Datagram> UdpSocket::receive(std::chrono::milliseconds timeout) {
    if (fd_ < 0 || !waitFd(fd_, POLLIN, Clock::now() + timeout)) return std::nullopt;
    char buf[65536];
    sockaddr_in from;
    socklen_t len = sizeof from;
    ssize_t got = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (got < 0) {
        error_ = errnoText("recvfrom");
        return std::nullopt;
    }
    Datagram d;
    d.text.assign(buf, static_cast<size_t>(got));
    char ip[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    d.fromIp = ip;
    d.fromPort = ntohs(from.sin_port);
    return d;
}

std::optional<Datagram> UdpSocket::receiveMatching(const std::string& text,
                                                   std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (auto d = receive(std::chrono::milliseconds(msLeft(deadline)))) {
        if (d->text.find(text) != std::string::npos) return d;
    }
    return std::nullopt;
}

std::vector<Datagram> UdpSocket::drain(std::chrono::milliseconds quiet,
                                       std::chrono::milliseconds limit) {
    std::vector<Datagram> all;
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        auto wait =
            std::min<std::chrono::milliseconds>(quiet, std::chrono::milliseconds(msLeft(deadline)));
        auto d = receive(wait);
        if (!d) break;
        all.push_back(std::move(*d));
    }
    return all;
}

// ---- TcpClient

TcpClient::~TcpClient() {
    close();
}

TcpClient::TcpClient(TcpClient&& other) noexcept {
    *this = std::move(other);
}

TcpClient& TcpClient::operator=(TcpClient&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        peerClosed_ = other.peerClosed_;
        buffer_ = std::move(other.buffer_);
        error_ = std::move(other.error_);
        other.fd_ = -1;
    }
    return *this;
}

void TcpClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TcpClient::connect(const std::string& ip, uint16_t port, std::chrono::milliseconds timeout) {
    close();
    buffer_.clear();
    peerClosed_ = false;
    sockaddr_in to;
    if (!toAddress(ip, port, to)) {
        error_ = "bad address " + ip;
        return false;
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            error_ = errnoText("socket");
            return false;
        }
        int err = 0;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            err = errno;
            if (err == EINPROGRESS) {
                err = ETIMEDOUT;
                if (waitFd(fd, POLLOUT, deadline)) {
                    socklen_t len = sizeof err;
                    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
                }
            }
        }
        if (err == 0) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
        errno = err;
        error_ = errnoText("connect to " + ip + ":" + std::to_string(port));
        if (err != ECONNREFUSED || Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::min(20, msLeft(deadline)) * 1ms);
    }
}

bool TcpClient::send(const std::string& bytes, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFd(fd_, POLLOUT, deadline)) {
                error_ = "send timed out";
                return false;
            }
        } else {
            error_ = errnoText("send");
            return false;
        }
    }
    return fd_ >= 0 && done == bytes.size();
}

bool TcpClient::fill(Clock::time_point deadline) {
    if (fd_ < 0 || peerClosed_) return false;
    for (;;) {
        char buf[65536];
        ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n > 0) {
            buffer_.append(buf, static_cast<size_t>(n));
            return true;
        }
        if (n == 0) {
            peerClosed_ = true;
            return false;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            error_ = errnoText("recv");
            peerClosed_ = true;  // a reset ends the stream as a close does
            return false;
        }
        if (!waitFd(fd_, POLLIN, deadline)) return false;
    }
}

std::string TcpClient::receive(std::chrono::milliseconds timeout) {
    if (buffer_.empty()) fill(Clock::now() + timeout);
    std::string out;
    out.swap(buffer_);
    return out;
}

std::optional<std::string> TcpClient::receiveUntil(const std::string& text,
                                                   std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        size_t at = buffer_.find(text);
        if (at != std::string::npos) {
            std::string out = buffer_.substr(0, at + text.size());
            buffer_.erase(0, at + text.size());
            return out;
        }
        if (!fill(deadline)) return std::nullopt;
    }
}

std::optional<std::string> TcpClient::receiveExactly(size_t n, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (buffer_.size() < n) {
        if (!fill(deadline)) return std::nullopt;
    }
    std::string out = buffer_.substr(0, n);
    buffer_.erase(0, n);
    return out;
}

std::optional<std::string> TcpClient::receiveUntilClosed(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (fill(deadline)) {
    }
    if (!peerClosed_) return std::nullopt;
    std::string out;
    out.swap(buffer_);
    return out;
}

}  // namespace qeltest
