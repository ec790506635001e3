// The serial front end. It holds its queues but opens no port and starts no thread, so no
// command ever enters through it.
#pragma once

#include "core/QelServer.h"

class ComServer : public QelServer {
public:
    static ComServer* createNew(UsageEnvironment& env, Port port, unsigned int flag);
    ~ComServer() override;
    // Never started: it would drop one reply entry every 10 ms and reads no serial port.
    static void* ComProcessThread(void* arg);

protected:
    ComServer(UsageEnvironment& env, Port port, unsigned int flag);
};
