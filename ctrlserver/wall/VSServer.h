// Video wall server. (Placeholder until the wall model lands: it only exists.)
#pragma once

#include "core/QelServer.h"

class DevServer;

class VSServer : public QelServer {
public:
    static VSServer* createNew(UsageEnvironment& env, DevServer& dev);
    ~VSServer() override = default;

protected:
    VSServer(UsageEnvironment& env, DevServer& dev);
    DevServer& devServer;
};
