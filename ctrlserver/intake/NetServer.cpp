#include "intake/NetServer.h"

NetServer* NetServer::createNew(UsageEnvironment& env, Port port, unsigned int flag) {
    return new NetServer(env, port, flag);
}

NetServer::NetServer(UsageEnvironment& e, Port port, unsigned int flag) : QelServer(e, port, flag) {
    running = 1;
}

NetServer::~NetServer() { running = 0; }
