// WebSocket front end on TCP 9008. (Placeholder until the WebSocket server lands.)
#pragma once

#include "core/QelServer.h"

class WebServer : public QelServer {
public:
    static WebServer* createNew(UsageEnvironment& env, Port port, unsigned int flag);
    ~WebServer() override;
    // Starts the web threads; non-zero on success.
    int InitWeb(const char* programDir);

protected:
    WebServer(UsageEnvironment& env, Port port, unsigned int flag);
};
