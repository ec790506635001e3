// The text command port (TCP 8886) and controller discovery (UDP 8886).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/QelServer.h"

class NetServer : public QelServer {
public:
    static const int kPort = 8886;

    static NetServer* createNew(UsageEnvironment& env, Port port, unsigned int flag);
    ~NetServer() override;

    // The controller's own address, learnt from a broadcast to itself; "" when nothing came
    // back within kProbeWaitMs.
    std::string GetIPSelf();
    const std::string& ownAddress() const { return ownIP; }

    static void* NetProcessThreadUDP(void* arg);
    static void* NetProcessThreadTCPListen(void* arg);
    static void* NetProcessThreadTCP(void* arg);
    static void* NetProcessThreadACK(void* arg);

    // The discovery answer carrying ip.
    static std::string discoveryAnswer(const std::string& ip);
    // Queues the commands of one read from the client on socket fd: each ';'-separated piece
    // that starts with a command word becomes an "fd|piece" entry.
    static void queueClientData(CommandQueue& queue, int fd, const char* data, int len);

    static const int kProbeWaitMs = 2000;

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

    std::string ownIP;
    std::mutex clientsMutex;
    std::map<int, std::shared_ptr<Client>> clients;
};
