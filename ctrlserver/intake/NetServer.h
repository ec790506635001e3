// The text command port (TCP 8886) and controller discovery (UDP 8886).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/QelServer.h"
#include "intake/network_interface.h"

class NetServer : public QelServer {
public:
    static const int kPort = 8886;

    static NetServer* createNew(UsageEnvironment& env, Port port, unsigned int flag);
    ~NetServer() override;

    // The controller's own address, learnt from a broadcast to itself; "" when nothing came
    // back within kProbeWaitMs.
    std::string GetIPSelf();
    // The own address the discovery answer carries: learnt again first when it is not known
    // or is no longer an address of this machine.
    std::string currentAddress();

    static void* NetProcessThreadUDP(void* arg);
    static void* NetProcessThreadTCPListen(void* arg);
    static void* NetProcessThreadTCP(void* arg);
    static void* NetProcessThreadACK(void* arg);

    // The discovery answer carrying ip.
    static std::string discoveryAnswer(const std::string& ip);
    // Queues the commands of one read from the client on socket fd: each ';'-separated piece
    // that starts with a command word becomes an "fd|piece" entry.
    static void queueClientData(CommandQueue& queue, int fd, const char* data, int len,
                                CommandSource source = CommandSource());
    // What a client has sent that is not queued yet.
    struct ClientText {
        std::string pending;    // the text after the last ';' of what has arrived
        bool dropping = false;  // skipping to the ';' that ends an over-long command
    };
    // Takes one read of a client's stream: the commands ended by ';' are queued, the text after
    // the last ';' is kept for the next read (a text of only line ends is not kept). A command
    // past QEL_MAX_ENTRY bytes is dropped with a message, up to its ';'.
    static void takeClientData(CommandQueue& queue, int fd, ClientText& text, const char* data,
                               int len, CommandSource source = CommandSource());

    static const int kProbeWaitMs = 2000;
    // Simultaneous text port clients; one more is accepted and closed at once.
    static constexpr size_t kMaxClients = 256;
    // Stack of a client thread: a few hundred default 8 MB stacks would fill a 32-bit box's
    // address space.
    static constexpr size_t kClientStackSize = 256 * 1024;
    static constexpr int kReadChunk = 4096;
    // How long the text after a client's last ';' waits for more before it is taken as it is.
    static constexpr int kTailWaitMs = 100;

    // Starts a client thread (detached, small stack); tests replace it to make it fail.
    static bool (*startClientThread)(void* (*body)(void*), void* arg);

private:
    NetServer(UsageEnvironment& env, Port port, unsigned int flag);

    struct Client;
    // Replies go only to sockets of clients still connected. A client's socket is retired, not
    // closed, when the last holder lets go, so its number cannot pass to a new connection while
    // a reply for it may still come.
    std::shared_ptr<Client> findClient(int fd);
    void addClient(const std::shared_ptr<Client>& client);
    void removeClient(const Client* client);
    void sendReplyEntry(const char* entry, int size);
    size_t clientCount();

    ReplyRoutes routes;
    std::mutex ownIPMutex;  // the discovery thread may learn the address again
    std::string ownIP;
    std::mutex clientsMutex;
    std::map<int, std::shared_ptr<Client>> clients;
};
