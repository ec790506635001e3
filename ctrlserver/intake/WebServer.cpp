#include "intake/WebServer.h"

#include <pthread.h>
#include <unistd.h>

#include <cstring>
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
    std::vector<unsigned char> buf(QEL_MAX_ENTRY + 1);
    CommandQueueNode node{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
    bool lastPassTook = false;
    while (self->running) {
        // Replies leave back to back while there are any; only a pass that found none pauses,
        // so an idle thread costs no core.
        if (!lastPassTook) usleep(10 * 1000);
        lastPassTook = false;
        closeRetiredSockets();
        node.size = 0;
        if (replies->DelNode(node) != 1) continue;
        lastPassTook = true;
        const int size = node.size;
        buf[size] = 0;
        const char* entry = reinterpret_cast<const char*>(buf.data());
        if (!sendReplyEntry(entry, size)) continue;
        const char* bar = static_cast<const char*>(memchr(entry, '|', size));
        const std::string reply(bar + 1, entry + size);
        self->fastReply = reply.find("update data block") != std::string::npos ? 1 : 0;
    }
    return nullptr;
}
