// Text command port and controller discovery. (Placeholder until the text port lands.)
#pragma once

#include "core/QelServer.h"

class NetServer : public QelServer {
public:
    static NetServer* createNew(UsageEnvironment& env, Port port, unsigned int flag);
    ~NetServer() override;

protected:
    NetServer(UsageEnvironment& env, Port port, unsigned int flag);
};
