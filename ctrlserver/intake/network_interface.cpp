#include "intake/network_interface.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "intake/debug_log.h"
#include "intake/websocket_handler.h"

namespace {

const int kMaxEvents = 20;
const int kWaitMs = 100;

long long nowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

struct Prefix {
    const char* text;
    int len;
};
const Prefix kPrefixes[] = {{"config", 6}, {"update", 6}, {"matrix", 6}, {"serial", 6},
                            {"scene", 5},  {"ipc", 3},    {"mv", 2},     {"vw", 2}};

// Appends "fd|text" to the queue and echoes it as a line, unless it would not fit an entry.
void queueEntry(CommandQueue& queue, int fd, const char* text, int len, bool echo,
                CommandSource source) {
    char entry[QEL_MAX_ENTRY + 1];
    const int head = snprintf(entry, sizeof entry, "%d|", fd);
    if (head < 0 || len < 0 || head + len > QEL_MAX_ENTRY) return;
    memcpy(entry + head, text, len);
    entry[head + len] = '\0';
    if (source.routes) source.routes->queued(fd, source.serial, queue.QueueLength());
    queue.AddNode(reinterpret_cast<unsigned char*>(entry), head + len);
    if (echo) {
        printf("%s\n", entry);
        fflush(stdout);
    }
}

}  // namespace

bool writeAll(int fd, const void* data, size_t len, int timeoutMs) {
    const char* p = static_cast<const char*>(data);
    const long long deadline = nowMs() + timeoutMs;
    while (len > 0) {
        const ssize_t n = send(fd, p, len, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            len -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        const long long left = deadline - nowMs();
        if (left <= 0) return false;
        struct pollfd pfd = {fd, POLLOUT, 0};
        const int r = poll(&pfd, 1, static_cast<int>(left));
        if (r < 0 && errno != EINTR) return false;
        if (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
    }
    return true;
}

namespace {

std::mutex retiredMutex;
std::deque<std::pair<int, long long>> retired;  // socket and when it may be closed

void closeDueLocked(long long now) {
    while (!retired.empty() && (retired.front().second <= now || retired.size() > kMaxRetired)) {
        close(retired.front().first);
        retired.pop_front();
    }
}

}  // namespace

void retireSocket(int fd) {
    if (fd < 0) return;
    shutdown(fd, SHUT_RDWR);
    const long long now = nowMs();
    std::lock_guard<std::mutex> lock(retiredMutex);
    retired.emplace_back(fd, now + kRetireGraceMs);
    closeDueLocked(now);
}

void closeRetiredSockets() {
    const long long now = nowMs();
    std::lock_guard<std::mutex> lock(retiredMutex);
    closeDueLocked(now);
}

void ReplyRoutes::prune(std::deque<std::pair<unsigned long, unsigned long>>& list,
                        int queueLength) {
    const unsigned long taken =
        added > static_cast<unsigned long>(queueLength) ? added - queueLength : 0;
    // Commands of a socket followed by a later taken one have had all their replies.
    while (list.size() > 1 && list[1].first <= taken) list.pop_front();
}

void ReplyRoutes::queued(int fd, unsigned long serial, int queueLength) {
    std::lock_guard<std::mutex> g(lock);
    auto& list = commands[fd];
    prune(list, queueLength);
    list.emplace_back(++added, serial);
}

bool ReplyRoutes::belongs(int fd, unsigned long serial, int queueLength) {
    std::lock_guard<std::mutex> g(lock);
    auto it = commands.find(fd);
    if (it == commands.end() || it->second.empty()) return true;
    auto& list = it->second;
    prune(list, queueLength);
    const unsigned long taken =
        added > static_cast<unsigned long>(queueLength) ? added - queueLength : 0;
    if (list.front().first > taken) return true;  // none taken yet: not ours to judge
    return list.front().second == serial;
}

Network_Interface* Network_Interface::m_network_interface = nullptr;

Network_Interface* Network_Interface::get_share_network_interface() {
    static std::mutex creation;
    std::lock_guard<std::mutex> lock(creation);
    if (!m_network_interface) m_network_interface = new Network_Interface();
    return m_network_interface;
}

Network_Interface::Network_Interface() {
    if (init() != 0) DEBUG_LOG("Socket lib initialization failed! Quit!");
    // Without a listener no command ever arrives, but the command thread still polls the queue.
    cmd_queue = new CommandQueue();
}

int Network_Interface::init() {
    listen_fd = socket(AF_INET, SOCK_STREAM, 0);
    if (listen_fd < 0) {
        DEBUG_LOG("create socket failed!");
        return -1;
    }
    int reuse = 1;
    setsockopt(listen_fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    struct sockaddr_in addr;
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(kPort);
    if (bind(listen_fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) != 0) {
        DEBUG_LOG("bind socket failed!");
        close(listen_fd);
        listen_fd = -1;
        return -1;
    }
    if (listen(listen_fd, 48) != 0) {
        DEBUG_LOG("listen socket failed!");
        close(listen_fd);
        listen_fd = -1;
        return -1;
    }
    epfd = epoll_create(20);
    if (epfd < 0) {
        close(listen_fd);
        listen_fd = -1;
        return -1;
    }
    if (ctl_event(listen_fd, true) != 0) {
        close(listen_fd);
        listen_fd = -1;
        return -1;
    }
    DEBUG_LOG("web socket server started!");
    return 0;
}

void Network_Interface::set_noblock(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) flags = 0;
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

int Network_Interface::ctl_event(int fd, bool add) {
    if (!add) {
        removeConnection(fd, nullptr);
        return 0;
    }
    struct epoll_event ev;
    memset(&ev, 0, sizeof ev);
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    if (epoll_ctl(epfd, EPOLL_CTL_ADD, fd, &ev) != 0) {
        if (fd != listen_fd) close(fd);
        return -1;
    }
    set_noblock(fd);
    if (fd == listen_fd) return 0;  // the listener needs no connection handler

    // The socket is retired together with the handler, when its last holder lets go.
    std::shared_ptr<Websocket_Handler> handler(new Websocket_Handler(fd), [](Websocket_Handler* h) {
        const int sock = h->getFd();
        delete h;
        retireSocket(sock);
    });
    handler->serial = routes.nextSerial();
    handler->acceptedMs = nowMs();
    handler->watchWith(epfd);
    struct sockaddr_in peer;
    socklen_t peerLen = sizeof peer;
    memset(&peer, 0, sizeof peer);
    if (getpeername(fd, reinterpret_cast<struct sockaddr*>(&peer), &peerLen) == 0)
        handler->peer = peer.sin_addr.s_addr;
    {
        std::lock_guard<std::mutex> lock(map_mutex);
        handler_map[fd] = handler;
    }
    DEBUG_LOG("fd: %d enter epoll loop", fd);
    return 0;
}

void Network_Interface::removeConnection(int fd, const Websocket_Handler* expected) {
    std::shared_ptr<Websocket_Handler> gone;
    {
        std::lock_guard<std::mutex> lock(map_mutex);
        auto it = handler_map.find(fd);
        if (it == handler_map.end()) return;
        if (expected && it->second.get() != expected) return;
        epoll_ctl(epfd, EPOLL_CTL_DEL, fd, nullptr);
        // Ends the connection now, even if a reply being written still holds the handler.
        shutdown(fd, SHUT_RDWR);
        gone = std::move(it->second);
        handler_map.erase(it);
    }
    DEBUG_LOG("fd: %d quit epoll loop", fd);
}

std::shared_ptr<Websocket_Handler> Network_Interface::findHandler(int fd) {
    std::lock_guard<std::mutex> lock(map_mutex);
    auto it = handler_map.find(fd);
    return it == handler_map.end() ? nullptr : it->second;
}

void Network_Interface::run() {
    epoll_loop();
}

void Network_Interface::epoll_loop() {
    if (!listening()) return;
    struct epoll_event events[kMaxEvents];
    for (;;) {
        const int n = epoll_wait(epfd, events, kMaxEvents, kWaitMs);
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            const uint32_t what = events[i].events;
            if (fd == listen_fd) {
                acceptOne();
                continue;
            }
            if (fd < 0) continue;
            if (what & EPOLLOUT) {  // room again for the replies a slow client left waiting
                std::shared_ptr<Websocket_Handler> handler = findHandler(fd);
                if (handler && !handler->flushOutput()) {
                    removeConnection(fd, handler.get());
                    continue;
                }
            }
            if (what & EPOLLIN) {
                serve(fd);
                continue;
            }
            // A hung-up or failed socket without input to read is ended here.
            if (what & (EPOLLERR | EPOLLHUP)) removeConnection(fd, nullptr);
        }
        const long long now = nowMs();
        if (now - lastSweepMs >= 1000) {
            lastSweepMs = now;
            closeSilentConnections();
        }
    }
}

void Network_Interface::closeSilentConnections() {
    const long long now = nowMs();
    std::vector<std::shared_ptr<Websocket_Handler>> silent;
    {
        std::lock_guard<std::mutex> lock(map_mutex);
        for (const auto& entry : handler_map)
            if (entry.second->getStatus() == 0 &&
                now - entry.second->acceptedMs >= kHandshakeWaitMs)
                silent.push_back(entry.second);
    }
    for (const auto& handler : silent) {
        fprintf(stderr, "WebSocket port: socket %d sent no handshake within %d s, closed\n",
                handler->getFd(), kHandshakeWaitMs / 1000);
        removeConnection(handler->getFd(), handler.get());
    }
}

void Network_Interface::acceptOne() {
    struct sockaddr_in peer;
    socklen_t peerLen = sizeof peer;
    memset(&peer, 0, sizeof peer);
    const int fd = accept(listen_fd, reinterpret_cast<struct sockaddr*>(&peer), &peerLen);
    if (fd < 0) {
        // Out of descriptors the listener stays readable: pause instead of spinning.
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            usleep(10 * 1000);
        return;
    }
    size_t connections = 0, fromPeer = 0;
    {
        std::lock_guard<std::mutex> lock(map_mutex);
        connections = handler_map.size();
        for (const auto& entry : handler_map)
            if (entry.second->peer == peer.sin_addr.s_addr) ++fromPeer;
    }
    if (connections >= kMaxConnections) {
        fprintf(stderr, "WebSocket port: %d connections already served, one more refused\n",
                static_cast<int>(kMaxConnections));
        close(fd);
        return;
    }
    if (fromPeer >= kMaxPerHost) {
        char ip[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
        fprintf(stderr, "WebSocket port: %s already holds %d connections, one more refused\n", ip,
                static_cast<int>(kMaxPerHost));
        close(fd);
        return;
    }
    // A list reply and its acknowledgement leave as two frames; without this the second waits
    // for the client's delayed acknowledgement of the first (some 40 ms).
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ctl_event(fd, true);
}

void Network_Interface::serve(int fd) {
    std::shared_ptr<Websocket_Handler> handler = findHandler(fd);
    if (!handler) return;
    if (handler->readRoom() <= 0) {  // cannot happen: a frame that cannot fit is refused
        removeConnection(fd, handler.get());
        return;
    }
    const ssize_t n = recv(fd, handler->readPtr(), handler->readRoom(), 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        removeConnection(fd, handler.get());
        return;
    }
    if (n < 0) return;
    handler->commit(static_cast<int>(n));

    for (;;) {
        int len = 0;
        const int opcode = handler->processBuff(payload_buf.data(), QEL_MAX_ENTRY, &len);
        if (opcode == Websocket_Handler::kNeedMore) break;
        if (opcode == Websocket_Handler::kHandled) continue;
        if (opcode == Websocket_Handler::kDrop) {
            removeConnection(fd, handler.get());
            break;
        }
        payload_buf[len] = '\0';
        handleFrame(*cmd_queue, fd, opcode, payload_buf.data(), len,
                    CommandSource{&routes, handler->serial});
    }
}

bool Network_Interface::hasCommandPrefix(const char* payload, int len) {
    for (const Prefix& p : kPrefixes) {
        if (len >= p.len && memcmp(payload, p.text, p.len) == 0) return true;
    }
    return false;
}

void Network_Interface::handleFrame(CommandQueue& queue, int fd, int opcode, const char* payload,
                                    int len, CommandSource source) {
    if (opcode == 1 && len >= 3 && hasCommandPrefix(payload, len)) {
        if (!memchr(payload, ';', len)) {
            const bool upload =
                std::string(payload, len).find("update data block") != std::string::npos;
            queueEntry(queue, fd, payload, len, !upload, source);
            return;
        }
        // Only the start of the whole payload is tested; every piece is queued.
        for (const TextPiece& piece : splitCommandPieces(payload, len))
            queueEntry(queue, fd, piece.text, piece.len, true, source);
        return;
    }
    if (opcode == 2) {
        printf("receive %d bytes data!\n", len);
        fflush(stdout);
    }
}

int Network_Interface::sendAck(const char* fdText, const char* data, int len) {
    if (!fdText || !data || len < 0) return 0;
    int fd = -1;
    if (!parseSocketNumber(fdText, static_cast<int>(strlen(fdText)), fd)) return 0;
    sendReply(fd, data, len);
    return 0;
}

void Network_Interface::sendReply(int fd, const char* data, int len) {
    if (!data || len < 0) return;
    std::shared_ptr<Websocket_Handler> handler = findHandler(fd);
    if (!handler) return;
    if (!routes.belongs(fd, handler->serial, cmd_queue->QueueLength())) {
        fprintf(stderr, "fd: %d reply of a closed connection dropped\n", fd);
        return;
    }
    if (!handler->ack(data, len)) removeConnection(fd, handler.get());
}

std::vector<TextPiece> splitCommandPieces(const char* data, int len) {
    std::vector<TextPiece> out;
    int start = 0;
    for (int i = 0; i <= len; ++i) {
        if (i < len && data[i] != ';') continue;
        if (i > start) out.push_back({data + start, i - start});
        start = i + 1;
    }
    return out;
}

bool parseSocketNumber(const char* text, int len, int& fd) {
    if (!text || len <= 0 || len > 11) return false;
    char digits[12];
    memcpy(digits, text, static_cast<size_t>(len));
    digits[len] = '\0';
    char* end = nullptr;
    errno = 0;
    const long n = strtol(digits, &end, 10);
    if (end == digits || *end != '\0' || errno != 0 || n < 0 || n > 0x7FFFFFFF) return false;
    fd = static_cast<int>(n);
    return true;
}

bool splitReplyEntry(const char* entry, int size, int& fd, const char*& reply, int& replyLen) {
    if (!entry || size <= 0) return false;
    const char* bar = static_cast<const char*>(memchr(entry, '|', static_cast<size_t>(size)));
    if (!bar || !parseSocketNumber(entry, static_cast<int>(bar - entry), fd)) return false;
    reply = bar + 1;
    replyLen = size - static_cast<int>(bar - entry) - 1;
    return true;
}
