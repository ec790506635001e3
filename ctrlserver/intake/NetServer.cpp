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
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "intake/network_interface.h"

namespace {

const char* const strDevGetControllers = "config qel get controllers";
const char* const strAckDevGetControllers = "config qel ack get controllers";
const char* const kProbeText = "get local ip";
const portNumBits kAnswerPorts[] = {8887, 8885};

void queuePiece(CommandQueue& queue, int fd, const char* text, int len, CommandSource source) {
    // A client that ends its lines leaves a line end at the start of its next command.
    while (len > 0 && (*text == '\r' || *text == '\n')) {
        ++text;
        --len;
    }
    // The same command words as on the web port.
    if (len <= 0 || !Network_Interface::hasCommandPrefix(text, len)) return;
    char entry[QEL_MAX_ENTRY + 1];
    const int head = snprintf(entry, sizeof entry, "%d|", fd);
    if (head < 0 || head + len > QEL_MAX_ENTRY) return;  // would not fit an entry: dropped
    memcpy(entry + head, text, len);
    if (source.routes) source.routes->queued(fd, source.serial, queue.QueueLength());
    queue.AddNode(reinterpret_cast<unsigned char*>(entry), head + len);
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
    Client(NetServer* s, int sock) : server(s), fd(sock), serial(s->routes.nextSerial()) {}
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
        const int fd = accept(sock, nullptr, nullptr);
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
        if (self->clientCount() >= kMaxClients) {
            env << "Text port: " << static_cast<int>(kMaxClients)
                << " clients already connected, one more refused\n";
            close(fd);
            continue;
        }
        makeSocketNonBlocking(fd);
        // A list reply and its acknowledgement leave as two writes; without this the second
        // waits for the client's delayed acknowledgement of the first (some 40 ms).
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto client = std::make_shared<Client>(self, fd);
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

void NetServer::queueClientData(CommandQueue& queue, int fd, const char* data, int len,
                                CommandSource source) {
    // The client's data is text: it ends at its first NUL.
    const char* nul = static_cast<const char*>(memchr(data, '\0', len));
    if (nul) len = static_cast<int>(nul - data);
    for (const TextPiece& piece : splitCommandPieces(data, len))
        queuePiece(queue, fd, piece.text, piece.len, source);
}

void NetServer::takeClientData(CommandQueue& queue, int fd, ClientText& text, const char* data,
                               int len, CommandSource source) {
    const char* nul = static_cast<const char*>(memchr(data, '\0', len));
    if (nul) len = static_cast<int>(nul - data);
    if (text.dropping) {  // the rest of an over-long command, up to its ';'
        const char* semi = static_cast<const char*>(memchr(data, ';', len));
        if (!semi) return;
        text.dropping = false;
        len -= static_cast<int>(semi + 1 - data);
        data = semi + 1;
    }
    std::string& pending = text.pending;
    pending.append(data, static_cast<size_t>(len));
    const size_t last = pending.rfind(';');
    if (last != std::string::npos) {
        queueClientData(queue, fd, pending.data(), static_cast<int>(last), source);
        pending.erase(0, last + 1);
    }
    if (pending.find_first_not_of("\r\n") == std::string::npos) pending.clear();
    if (pending.size() > static_cast<size_t>(QEL_MAX_ENTRY)) {
        fprintf(stderr, "Text port: a command of more than %d bytes dropped\n", QEL_MAX_ENTRY);
        pending.clear();
        text.dropping = true;
    }
    if (pending.empty()) std::string().swap(pending);
}

void* NetServer::NetProcessThreadTCP(void* arg) {
    auto* context = static_cast<std::shared_ptr<Client>*>(arg);
    if (!context) return nullptr;
    std::shared_ptr<Client> client = std::move(*context);
    delete context;
    NetServer* self = client->server;
    CommandQueue* commands = self->cmdQueue();
    const CommandSource source{&self->routes, client->serial};
    // Reads go through a small buffer on the (small) stack: an idle client costs no more than
    // its thread. The text after the last ';' waits for the rest of its command, which a
    // large command's later TCP segments bring; once the client is quiet it is taken as it is.
    char buf[kReadChunk];
    ClientText text;
    std::string& pending = text.pending;
    while (self->running) {
        usleep(10 * 1000);
        if (!waitInput(client->fd, pending.empty() ? 100 : kTailWaitMs)) {
            if (!pending.empty()) {
                queueClientData(*commands, client->fd, pending.data(),
                                static_cast<int>(pending.size()), source);
                std::string().swap(pending);
            }
            text.dropping = false;
            continue;
        }
        const ssize_t n = recv(client->fd, buf, sizeof buf, 0);
        if (n == 0) {  // ready yet nothing to read: the client has closed
            // Its last command is taken as it is, as it would have been had it stayed.
            if (!pending.empty())
                queueClientData(*commands, client->fd, pending.data(),
                                static_cast<int>(pending.size()), source);
            break;
        }
        if (n < 0) continue;
        takeClientData(*commands, client->fd, text, buf, static_cast<int>(n), source);
    }
    self->removeClient(client.get());
    return nullptr;  // the socket is retired with the last holder of the client
}

size_t NetServer::clientCount() {
    std::lock_guard<std::mutex> lock(clientsMutex);
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

void NetServer::sendReplyEntry(const char* entry, int size) {
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
    if (!writeAll(client->fd, reply, static_cast<size_t>(replyLen), kWriteTimeoutMs)) {
        // A client that does not take its replies is cut off; its thread sees the close.
        shutdown(client->fd, SHUT_RDWR);
        removeClient(client.get());
    }
}

void* NetServer::NetProcessThreadACK(void* arg) {
    NetServer* self = static_cast<NetServer*>(arg);
    if (!self) return nullptr;
    CommandQueue* replies = self->ackQueue();
    std::vector<unsigned char> buf(QEL_MAX_ENTRY + 1);
    CommandQueueNode node{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
    while (self->running) {
        usleep(10 * 1000);
        closeRetiredSockets();
        while (!replies->IsEmpty()) {
            node.size = 0;
            if (replies->DelNode(node) != 1) break;
            buf[node.size] = 0;
            self->sendReplyEntry(reinterpret_cast<const char*>(buf.data()), node.size);
        }
    }
    return nullptr;
}
