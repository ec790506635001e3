#include "core/QelServer.h"

QelServer::QelServer(UsageEnvironment& e, Port, unsigned int)
    : env(e), cmdQ(new CommandQueue()), ackQ(new CommandQueue()) {}

QelServer::~QelServer() {
    delete cmdQ;
    cmdQ = nullptr;
    delete ackQ;
    ackQ = nullptr;
}
