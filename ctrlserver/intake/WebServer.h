// The WebSocket front end on TCP 9008: commands from operators' browsers in, JSON replies out
// as text frames.
#pragma once

#include "core/QelServer.h"

class WebServer : public QelServer {
public:
    static WebServer* createNew(UsageEnvironment& env, Port port, unsigned int flag);
    ~WebServer() override;

    // Commands come from the WebSocket layer's queue, not from the one the base class made.
    CommandQueue* cmdQueue() override;

    // Starts the listener and the two web threads. dir is not used.
    bool InitWeb(const char* dir);
    bool CheckWebFiles(const char* dir);
    bool StartWeb();

    // Reply thread: sends each reply entry "fd|text" as a text frame to its connection.
    static void* WebProcess(void* arg);
    // Event-loop thread of the listener.
    static void* WebSocket(void* arg);

    // Sends one reply entry (size bytes) to its connection; an entry without '|' is dropped.
    // Returns whether it was sent on (the connection itself may have gone).
    static bool sendReplyEntry(const char* entry, int size);

protected:
    WebServer(UsageEnvironment& env, Port port, unsigned int flag);

    // The longest the reply thread waits for a reply before it looks at its queue again.
    static constexpr int kIdleWaitMs = 10;
};
