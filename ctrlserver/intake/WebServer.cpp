#include "intake/WebServer.h"

WebServer* WebServer::createNew(UsageEnvironment& env, Port port, unsigned int flag) {
    return new WebServer(env, port, flag);
}

WebServer::WebServer(UsageEnvironment& e, Port port, unsigned int flag) : QelServer(e, port, flag) {}

WebServer::~WebServer() { running = 0; }

int WebServer::InitWeb(const char*) {
    running = 1;
    return 1;
}
