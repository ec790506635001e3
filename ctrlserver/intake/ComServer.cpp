#include "intake/ComServer.h"

#include <unistd.h>

#include <vector>

#include "intake/CommDrv.h"

ComServer* ComServer::createNew(UsageEnvironment& env, Port port, unsigned int flag) {
    return new ComServer(env, port, flag);
}

ComServer::ComServer(UsageEnvironment& e, Port port, unsigned int flag) : QelServer(e, port, flag) {
    running = 1;
}

ComServer::~ComServer() {
    running = 0;
    CommDrvUninit();
}

void* ComServer::ComProcessThread(void* arg) {
    ComServer* self = static_cast<ComServer*>(arg);
    if (!self) return nullptr;
    std::vector<unsigned char> buf(QEL_MAX_ENTRY);
    CommandQueueNode node{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
    while (self->running) {
        usleep(10 * 1000);
        if (!self->ackQueue()->IsEmpty()) self->ackQueue()->DelNode(node);
    }
    return nullptr;
}
