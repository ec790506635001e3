// The text command port (TCP 8886) and controller discovery (UDP 8886).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
    // that starts with a command word becomes an "fd|piece" entry. Returns the count queued.
    static int queueClientData(CommandQueue& queue, int fd, const char* data, int len,
                               CommandSource source = CommandSource());
    // What a client has sent that is not queued yet.
    struct ClientText {
        std::string pending;    // the text after the last ';' of what has arrived
        bool dropping = false;  // skipping to the ';' that ends an over-long command
    };
    // Takes one read of a client's stream: the commands ended by ';' are queued, the text after
    // the last ';' is kept for the next read (a text of only line ends is not kept). A command
    // past QEL_MAX_ENTRY bytes is dropped with a message, up to its ';'. Returns the count of
    // commands queued.
    static int takeClientData(CommandQueue& queue, int fd, ClientText& text, const char* data,
                              int len, CommandSource source = CommandSource());

    static const int kProbeWaitMs = 2000;
    // Simultaneous text port clients; one more is accepted and closed at once.
    static constexpr size_t kMaxClients = 256;
    // Stack of a client thread: a few hundred default 8 MB stacks would fill a 32-bit box's
    // address space.
    static constexpr size_t kClientStackSize = 256 * 1024;
    // At most this many bytes per read; a client's reads go on until its socket is empty.
    static constexpr int kReadChunk = QEL_MAX_ENTRY;
    // A text after a client's last ';' of up to this many bytes came in one TCP segment on any
    // Ethernet link, so it is taken as soon as the socket is empty. A longer one may be the
    // start of a command whose later segments are still on their way: it waits for them, until
    // the client has been quiet for kTailWaitMs.
    static constexpr size_t kWholeTextMax = 1400;
    static constexpr int kTailWaitMs = 100;
    // Whether the text after the last ';', as it stands once the socket is empty, is taken now.
    static bool tailIsWhole(const ClientText& text);
    // A client that has sent no command within this time is closed.
    static constexpr int kFirstCommandWaitMs = 30000;
    // No one client address holds more than this many connections.
    static constexpr size_t kMaxPerHost = kMaxClients / 2;
    // The longest the reply thread waits for a reply or for room in a slow client's socket.
    static constexpr int kIdleWaitMs = 10;

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
    // Sends one reply entry; a client whose socket did not take it all joins backlog.
    void sendReplyEntry(const char* entry, int size, std::vector<std::shared_ptr<Client>>& backlog);
    // Ends a client whose socket failed or who left too many replies unread.
    void cutOff(const std::shared_ptr<Client>& client);
    // Clients connected in all, and from the address peer.
    size_t clientCount(uint32_t peer, size_t* fromPeer);

    ReplyRoutes routes;
    std::mutex ownIPMutex;  // the discovery thread may learn the address again
    std::string ownIP;
    std::mutex clientsMutex;
    std::map<int, std::shared_ptr<Client>> clients;
};
