#include "intake/WebServer.h"

#include <pthread.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <vector>

#include "intake/network_interface.h"

WebServer* WebServer::createNew(UsageEnvironment& env, Port port, unsigned int flag) {
    return new WebServer(env, port, flag);
}

WebServer::WebServer(UsageEnvironment& e, Port port, unsigned int flag)
    : QelServer(e, port, flag) {}

WebServer::~WebServer() {
    running = 0;
}

CommandQueue* WebServer::cmdQueue() {
    return Network_Interface::get_share_network_interface()->cmd_queue;
}

bool WebServer::CheckWebFiles(const char*) {
    env << "Appweb & Python are ready!\n";
    return true;
}

bool WebServer::StartWeb() {
    return true;
}

bool WebServer::InitWeb(const char* dir) {
    CheckWebFiles(dir);
    StartWeb();
    Network_Interface::get_share_network_interface();
    running = 1;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, WebProcess, this) == 0) pthread_detach(thread);
    if (pthread_create(&thread, nullptr, WebSocket, this) == 0) pthread_detach(thread);
    usleep(0);
    return true;
}

void* WebServer::WebSocket(void*) {
    Network_Interface::get_share_network_interface()->run();
    return nullptr;
}

bool WebServer::sendReplyEntry(const char* entry, int size) {
    int fd = -1;
    const char* reply = nullptr;
    int replyLen = 0;
    if (!splitReplyEntry(entry, size, fd, reply, replyLen)) return false;
    Network_Interface::get_share_network_interface()->sendReply(fd, reply, replyLen);
    return true;
}

void* WebServer::WebProcess(void* arg) {
    WebServer* self = static_cast<WebServer*>(arg);
    if (!self) return nullptr;
    CommandQueue* replies = self->ackQueue();
    // A reply queued wakes the thread at once; an idle thread still looks every 10 ms (for
    // the retired sockets) and never spins.
    auto wake = std::make_shared<QueueSignal>();
    replies->SetSignal(wake);
    std::vector<unsigned char> buf(QEL_MAX_ENTRY + 1);
    CommandQueueNode node{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
    bool lastPassTook = false;
    while (self->running) {
        // Replies leave back to back while there are any; only a pass that found none waits.
        // A write never waits for its client: what a slow client does not take is kept for it
        // (Websocket_Handler::ack), so it holds up no one else.
        if (!lastPassTook) wake->wait(kIdleWaitMs);
        lastPassTook = false;
        closeRetiredSockets();
        node.size = 0;
        if (replies->DelNode(node) != 1) continue;
        lastPassTook = true;
        const int size = node.size;
        buf[size] = 0;
        sendReplyEntry(reinterpret_cast<const char*>(buf.data()), size);
    }
    return nullptr;
}
