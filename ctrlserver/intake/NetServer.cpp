#include "intake/NetServer.h"

#include <arpa/inet.h>
#include <errno.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "intake/ClientOutput.h"
#include "intake/network_interface.h"

namespace {

const char* const strDevGetControllers = "config qel get controllers";
const char* const strAckDevGetControllers = "config qel ack get controllers";
const char* const kProbeText = "get local ip";
const portNumBits kAnswerPorts[] = {8887, 8885};

bool queuePiece(CommandQueue& queue, int fd, const char* text, int len, CommandSource source) {
    // A client that ends its lines leaves a line end at the start of its next command.
    while (len > 0 && (*text == '\r' || *text == '\n')) {
        ++text;
        --len;
    }
    // The same command words as on the web port.
    if (len <= 0 || !Network_Interface::hasCommandPrefix(text, len)) return false;
    char entry[QEL_MAX_ENTRY + 1];
    const int head = snprintf(entry, sizeof entry, "%d|", fd);
    if (head < 0 || head + len > QEL_MAX_ENTRY) return false;  // would not fit an entry: dropped
    memcpy(entry + head, text, len);
    if (source.routes) source.routes->queued(fd, source.serial, queue.QueueLength());
    queue.AddNode(reinterpret_cast<unsigned char*>(entry), head + len);
    return true;
}

long long nowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Waits up to ms for input on sock: 1 ready (or closed), 0 none.
int waitInput(int sock, int ms) {
    struct pollfd pfd = {sock, POLLIN, 0};
    return poll(&pfd, 1, ms) > 0 ? 1 : 0;
}

// Starts a detached thread; stackSize 0 keeps the default stack.
bool startThread(void* (*body)(void*), void* arg, size_t stackSize = 0) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stackSize) pthread_attr_setstacksize(&attr, stackSize);
    pthread_t thread;
    const bool ok = pthread_create(&thread, &attr, body, arg) == 0;
    pthread_attr_destroy(&attr);
    return ok;
}

bool startClientThreadDefault(void* (*body)(void*), void* arg) {
    return startThread(body, arg, NetServer::kClientStackSize);
}

// True when ip is the address of one of this machine's interfaces that is up.
bool isLocalAddress(const std::string& ip) {
    if (ip.empty()) return false;
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return true;  // cannot tell: keep what we know
    bool found = false;
    char text[INET_ADDRSTRLEN];
    for (struct ifaddrs* a = list; a && !found; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !(a->ifa_flags & IFF_UP)) continue;
        const auto* in = reinterpret_cast<const struct sockaddr_in*>(a->ifa_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) && ip == text) found = true;
    }
    freeifaddrs(list);
    return found;
}

}  // namespace

bool (*NetServer::startClientThread)(void* (*)(void*), void*) = startClientThreadDefault;

struct NetServer::Client {
    NetServer* server;
    int fd;
    unsigned long serial;  // tells this connection from earlier ones on the same socket
    uint32_t peer;         // the client's IPv4 address (network order)
    // Replies its socket has not taken yet; used by the reply thread only.
    ClientOutput output;
    bool inBacklog = false;  // in the reply thread's list of clients with output kept
    Client(NetServer* s, int sock, uint32_t from)
        : server(s), fd(sock), serial(s->routes.nextSerial()), peer(from) {}
    ~Client() { retireSocket(fd); }
};

NetServer* NetServer::createNew(UsageEnvironment& env, Port port, unsigned int flag) {
    return new NetServer(env, port, flag);
}

NetServer::NetServer(UsageEnvironment& e, Port port, unsigned int flag) : QelServer(e, port, flag) {
    running = 1;
    ownIP = GetIPSelf();
    if (ownIP.empty()) env << "Own address not known yet: learnt again at the next discovery\n";
    void* (*const bodies[])(void*) = {NetProcessThreadUDP, NetProcessThreadTCPListen,
                                      NetProcessThreadACK};
    for (auto body : bodies) {
        if (!startThread(body, this)) {
            env << "ctrlNetProcess error\n";
            break;
        }
    }
}

NetServer::~NetServer() {
    running = 0;
}

std::string NetServer::GetIPSelf() {
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    if (sock < 0) {
        env << "create socket error!";
        return "";
    }
    int on = 1;
    setsockopt(sock, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    struct sockaddr_in addr;
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(kPort);
    if (bind(sock, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) != 0) {
        env << "bind error!";
        close(sock);
        return "";
    }
    struct in_addr everyone;
    everyone.s_addr = htonl(INADDR_BROADCAST);
    writeSocket(env, sock, everyone, htons(kPort),
                reinterpret_cast<unsigned char*>(const_cast<char*>(kProbeText)),
                static_cast<unsigned>(strlen(kProbeText)));

    // Our own broadcast normally comes straight back; without a network nothing does, and the
    // controller goes on without knowing its address.
    std::string ip;
    struct pollfd pfd = {sock, POLLIN, 0};
    if (poll(&pfd, 1, kProbeWaitMs) > 0) {
        std::vector<unsigned char> buf(QEL_MAX_ENTRY);
        struct sockaddr_in from;
        memset(&from, 0, sizeof from);
        socklen_t fromLen = sizeof from;
        recvfrom(sock, buf.data(), buf.size(), 0, reinterpret_cast<struct sockaddr*>(&from),
                 &fromLen);
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        ip = text;
    }
    close(sock);
    return ip;
}

std::string NetServer::discoveryAnswer(const std::string& ip) {
    return std::string(strAckDevGetControllers) + " &SUCCEED" + " &" + ip;
}

void* NetServer::NetProcessThreadUDP(void* arg) {
    NetServer* self = static_cast<NetServer*>(arg);
    if (!self) return nullptr;
    UsageEnvironment& env = self->env;
    const int sock = setupDatagramSocket(env, Port(kPort));
    if (sock < 0) return nullptr;
    makeSocketNonBlocking(sock);
    // One byte more than any datagram, so the text always ends in a NUL.
    std::vector<unsigned char> buf(QEL_MAX_ENTRY + 1);
    while (self->running) {
        usleep(10 * 1000);
        memset(buf.data(), 0, buf.size());
        if (!waitInput(sock, 100)) continue;
        struct sockaddr_in from;
        memset(&from, 0, sizeof from);
        if (readSocket(env, sock, buf.data(), QEL_MAX_ENTRY, from) < 0) continue;
        if (strcmp(reinterpret_cast<const char*>(buf.data()), strDevGetControllers) != 0) continue;
        const std::string answer = discoveryAnswer(self->currentAddress());
        for (portNumBits port : kAnswerPorts) {
            writeSocket(env, sock, from.sin_addr, htons(port), 255,
                        reinterpret_cast<unsigned char*>(const_cast<char*>(answer.data())),
                        static_cast<unsigned>(answer.size()));
        }
    }
    close(sock);
    return nullptr;
}

void* NetServer::NetProcessThreadTCPListen(void* arg) {
    NetServer* self = static_cast<NetServer*>(arg);
    if (!self) return nullptr;
    UsageEnvironment& env = self->env;
    const int sock = setupStreamSocket(env, Port(kPort), False);
    if (sock < 0) return nullptr;
    makeSocketBlocking(sock);
    if (listen(sock, 10) < 0) {
        env.setResultErrMsg("listen() failed: ");
        close(sock);
        return nullptr;
    }
    while (self->running) {
        if (!waitInput(sock, 100)) continue;
        struct sockaddr_in peer;
        socklen_t peerLen = sizeof peer;
        memset(&peer, 0, sizeof peer);
        const int fd = accept(sock, reinterpret_cast<struct sockaddr*>(&peer), &peerLen);
        if (fd < 0) {
            const int err = errno;
            if (err == EBADF || err == EINVAL || err == ENOTSOCK || err == EOPNOTSUPP) {
                env.setResultErrMsg("accept() failed: ");
                break;
            }
            // Aborted handshakes, interrupted calls, a short run out of descriptors: try again.
            usleep(10 * 1000);
            continue;
        }
        size_t fromPeer = 0;
        if (self->clientCount(peer.sin_addr.s_addr, &fromPeer) >= kMaxClients) {
            env << "Text port: " << static_cast<int>(kMaxClients)
                << " clients already connected, one more refused\n";
            close(fd);
            continue;
        }
        // One host that opens connections and leaves them idle cannot lock out the others.
        if (fromPeer >= kMaxPerHost) {
            char ip[INET_ADDRSTRLEN] = "?";
            inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
            env << "Text port: " << ip << " already holds " << static_cast<int>(kMaxPerHost)
                << " connections, one more refused\n";
            close(fd);
            continue;
        }
        makeSocketNonBlocking(fd);
        // A list reply and its acknowledgement leave as two writes; without this the second
        // waits for the client's delayed acknowledgement of the first (some 40 ms).
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto client = std::make_shared<Client>(self, fd, peer.sin_addr.s_addr);
        self->addClient(client);
        auto* context = new std::shared_ptr<Client>(client);
        if (!startClientThread(NetProcessThreadTCP, context)) {
            // Only this client goes without service; the port stays open for the others.
            env << "ctrlNetProcess error: no thread for a text port client, connection closed\n";
            shutdown(fd, SHUT_RDWR);
            self->removeClient(client.get());
            delete context;
            continue;
        }
    }
    close(sock);
    return nullptr;
}

int NetServer::queueClientData(CommandQueue& queue, int fd, const char* data, int len,
                               CommandSource source) {
    // The client's data is text: it ends at its first NUL.
    const char* nul = static_cast<const char*>(memchr(data, '\0', len));
    if (nul) len = static_cast<int>(nul - data);
    int queued = 0;
    for (const TextPiece& piece : splitCommandPieces(data, len))
        if (queuePiece(queue, fd, piece.text, piece.len, source)) ++queued;
    return queued;
}

int NetServer::takeClientData(CommandQueue& queue, int fd, ClientText& text, const char* data,
                              int len, CommandSource source) {
    const char* nul = static_cast<const char*>(memchr(data, '\0', len));
    if (nul) len = static_cast<int>(nul - data);
    if (text.dropping) {  // the rest of an over-long command, up to its ';'
        const char* semi = static_cast<const char*>(memchr(data, ';', len));
        if (!semi) return 0;
        text.dropping = false;
        len -= static_cast<int>(semi + 1 - data);
        data = semi + 1;
    }
    std::string& pending = text.pending;
    pending.append(data, static_cast<size_t>(len));
    const size_t last = pending.rfind(';');
    int queued = 0;
    if (last != std::string::npos) {
        queued = queueClientData(queue, fd, pending.data(), static_cast<int>(last), source);
        pending.erase(0, last + 1);
    }
    if (pending.find_first_not_of("\r\n") == std::string::npos) pending.clear();
    if (pending.size() > static_cast<size_t>(QEL_MAX_ENTRY)) {
        fprintf(stderr, "Text port: a command of more than %d bytes dropped\n", QEL_MAX_ENTRY);
        pending.clear();
        text.dropping = true;
    }
    if (pending.empty()) std::string().swap(pending);
    return queued;
}

bool NetServer::tailIsWhole(const ClientText& text) {
    if (text.dropping) return false;
    const std::string& t = text.pending;
    if (t.size() <= kWholeTextMax) return true;
    // An upload block says how long it is: "update data block first,n|" and 2n hex digits.
    // One that holds them all is whole, however many segments it came in, so a client that
    // sends blocks without ';' and waits for each answer is not held up.
    static const char kBlock[] = "update data block ";
    const size_t start = t.find_first_not_of("\r\n");
    if (start == std::string::npos || t.compare(start, sizeof kBlock - 1, kBlock) != 0)
        return false;
    const size_t bar = t.find('|', start);
    if (bar == std::string::npos) return false;
    long first = 0, n = 0;
    const std::string numbers =
        t.substr(start + sizeof kBlock - 1, bar - start - sizeof kBlock + 1);
    if (sscanf(numbers.c_str(), "%ld,%ld", &first, &n) != 2 || n <= 0) return false;
    return t.size() - bar - 1 >= 2 * static_cast<size_t>(n);
}

void* NetServer::NetProcessThreadTCP(void* arg) {
    auto* context = static_cast<std::shared_ptr<Client>*>(arg);
    if (!context) return nullptr;
    std::shared_ptr<Client> client = std::move(*context);
    delete context;
    NetServer* self = client->server;
    CommandQueue* commands = self->cmdQueue();
    const CommandSource source{&self->routes, client->serial};
    // Everything the socket holds is read before the thread waits again, so an upload block
    // comes in at the speed of the link. The read buffer exists only while data flows: an idle
    // client costs no more than its thread.
    std::vector<char> buf;
    ClientText text;
    std::string& pending = text.pending;
    const long long connected = nowMs();
    bool commandSeen = false;
    auto takeTail = [&] {
        if (pending.empty()) return;
        if (queueClientData(*commands, client->fd, pending.data(), static_cast<int>(pending.size()),
                            source) > 0)
            commandSeen = true;
        std::string().swap(pending);
    };
    while (self->running) {
        int waitMs = pending.empty() ? 100 : kTailWaitMs;
        if (!commandSeen) {
            const long long left = connected + kFirstCommandWaitMs - nowMs();
            if (left <= 0) {
                fprintf(stderr, "Text port: socket %d sent no command within %d s, closed\n",
                        client->fd, kFirstCommandWaitMs / 1000);
                break;
            }
            if (left < waitMs) waitMs = static_cast<int>(left);
        }
        if (!waitInput(client->fd, waitMs)) {
            // Quiet: a command still waiting for its end is taken as it is.
            takeTail();
            text.dropping = false;
            std::vector<char>().swap(buf);
            continue;
        }
        if (buf.empty()) buf.resize(kReadChunk);
        bool closed = false;
        for (;;) {
            const ssize_t n = recv(client->fd, buf.data(), buf.size(), MSG_DONTWAIT);
            if (n > 0) {
                if (takeClientData(*commands, client->fd, text, buf.data(), static_cast<int>(n),
                                   source) > 0)
                    commandSeen = true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            // Ready yet nothing to read: the client has closed (or its socket failed).
            closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
            break;
        }
        if (closed) {
            // Its last command is taken as it is, as it would have been had it stayed.
            takeTail();
            break;
        }
        // A short command that arrived whole does not wait for the client to fall quiet.
        if (tailIsWhole(text)) takeTail();
    }
    self->removeClient(client.get());
    return nullptr;  // the socket is retired with the last holder of the client
}

size_t NetServer::clientCount(uint32_t peer, size_t* fromPeer) {
    std::lock_guard<std::mutex> lock(clientsMutex);
    if (fromPeer) {
        *fromPeer = 0;
        for (const auto& entry : clients)
            if (entry.second->peer == peer) ++*fromPeer;
    }
    return clients.size();
}

std::string NetServer::currentAddress() {
    std::lock_guard<std::mutex> lock(ownIPMutex);
    // A box that started before its link was up, or whose address changed since, learns it
    // again before it answers.
    if (!isLocalAddress(ownIP)) {
        std::string learnt = GetIPSelf();
        if (!learnt.empty() && learnt != "0.0.0.0") ownIP = learnt;
    }
    return ownIP;
}

std::shared_ptr<NetServer::Client> NetServer::findClient(int fd) {
    std::lock_guard<std::mutex> lock(clientsMutex);
    auto it = clients.find(fd);
    return it == clients.end() ? nullptr : it->second;
}

void NetServer::addClient(const std::shared_ptr<Client>& client) {
    std::lock_guard<std::mutex> lock(clientsMutex);
    clients[client->fd] = client;
}

void NetServer::removeClient(const Client* client) {
    std::shared_ptr<Client> gone;
    std::lock_guard<std::mutex> lock(clientsMutex);
    auto it = clients.find(client->fd);
    if (it == clients.end() || it->second.get() != client) return;
    gone = std::move(it->second);
    clients.erase(it);
}

void NetServer::cutOff(const std::shared_ptr<Client>& client) {
    if (client->output.overBound())
        fprintf(stderr,
                "Text port: replies not taken, more than %zu bytes unsent: socket %d cut off\n",
                ClientOutput::kDefaultBound, client->fd);
    // Its thread sees the close.
    shutdown(client->fd, SHUT_RDWR);
    removeClient(client.get());
}

void NetServer::sendReplyEntry(const char* entry, int size,
                               std::vector<std::shared_ptr<Client>>& backlog) {
    int fd = -1;
    const char* reply = nullptr;
    int replyLen = 0;
    if (!splitReplyEntry(entry, size, fd, reply, replyLen)) return;
    std::shared_ptr<Client> client = findClient(fd);
    if (!client) return;
    if (!routes.belongs(client->fd, client->serial, cmdQueue()->QueueLength())) {
        fprintf(stderr, "Text port: reply of a closed connection on socket %d dropped\n", fd);
        return;
    }
    // Never waits for the client: what its socket does not take now is kept for it, so a
    // client that stops reading holds up no one else.
    switch (client->output.send(client->fd, reply, static_cast<size_t>(replyLen))) {
        case ClientOutput::kSent:
            break;
        case ClientOutput::kPending:
            if (!client->inBacklog) {
                client->inBacklog = true;
                backlog.push_back(client);
            }
            break;
        case ClientOutput::kFailed:
            cutOff(client);
            break;
    }
}

void* NetServer::NetProcessThreadACK(void* arg) {
    NetServer* self = static_cast<NetServer*>(arg);
    if (!self) return nullptr;
    CommandQueue* replies = self->ackQueue();
    // A reply queued wakes the thread at once; so does room in the socket of a client whose
    // replies wait. An idle thread still looks every 10 ms and never spins.
    auto wake = std::make_shared<QueueSignal>();
    replies->SetSignal(wake);
    std::vector<unsigned char> buf(QEL_MAX_ENTRY + 1);
    CommandQueueNode node{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
    std::vector<std::shared_ptr<Client>> backlog;  // clients with replies kept, oldest first
    std::vector<struct pollfd> watched;
    while (self->running) {
        watched.assign(1, pollfd{wake->fd(), POLLIN, 0});
        for (const auto& c : backlog) watched.push_back(pollfd{c->fd, POLLOUT, 0});
        if (wake->fd() < 0) watched[0].events = 0;
        if (poll(watched.data(), watched.size(), kIdleWaitMs) > 0 && watched[0].revents)
            wake->clear();
        closeRetiredSockets();

        // Kept replies first, so each client's replies leave in order.
        for (size_t i = 0; i < backlog.size();) {
            const std::shared_ptr<Client>& c = backlog[i];
            const ClientOutput::Result r =
                self->findClient(c->fd) == c ? c->output.flush(c->fd) : ClientOutput::kFailed;
            if (r == ClientOutput::kPending) {
                ++i;
                continue;
            }
            if (r == ClientOutput::kFailed && self->findClient(c->fd) == c) self->cutOff(c);
            c->inBacklog = false;
            backlog.erase(backlog.begin() + static_cast<long>(i));
        }
        while (!replies->IsEmpty()) {
            node.size = 0;
            if (replies->DelNode(node) != 1) break;
            buf[node.size] = 0;
            self->sendReplyEntry(reinterpret_cast<const char*>(buf.data()), node.size, backlog);
        }
    }
    return nullptr;
}
