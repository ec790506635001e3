#include "device/DevServer.h"

DevServer* DevServer::createNew(UsageEnvironment& env, Port port, unsigned int flag) {
    return new DevServer(env, port, flag);
}

DevServer::DevServer(UsageEnvironment& e, Port port, unsigned int flag) : QelServer(e, port, flag) {
    running = 1;
}

DevServer::~DevServer() { running = 0; }
