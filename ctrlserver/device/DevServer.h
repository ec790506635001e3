// Device management server. (Placeholder until device management lands: it only exists.)
#pragma once

#include "core/QelServer.h"

class DevServer : public QelServer {
public:
    static DevServer* createNew(UsageEnvironment& env, Port port, unsigned int flag);
    ~DevServer() override;

protected:
    DevServer(UsageEnvironment& env, Port port, unsigned int flag);
};
