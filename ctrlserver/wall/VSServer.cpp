#include "wall/VSServer.h"

VSServer* VSServer::createNew(UsageEnvironment& env, DevServer& dev) {
    return new VSServer(env, dev);
}

VSServer::VSServer(UsageEnvironment& e, DevServer& dev) : QelServer(e, Port(0), 0), devServer(dev) {}
