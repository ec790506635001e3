// Base of every server of the controller: the environment, a running flag and two queues,
// one for incoming command texts and one for replies.
#pragma once

#include <atomic>

#include "core/CommandQueue.h"
#include "live/GroupsockHelper.hh"
#include "live/UsageEnvironment.hh"

class QelServer {
public:
    QelServer(UsageEnvironment& env, Port port, unsigned int flag);
    virtual CommandQueue* cmdQueue() { return cmdQ; }
    virtual CommandQueue* ackQueue() { return ackQ; }
    virtual ~QelServer();

    UsageEnvironment& envir() const { return env; }
    bool isRunning() const { return running.load() != 0; }

protected:
    UsageEnvironment& env;
    // The server's threads loop while this is non-zero; each derived server sets it.
    std::atomic<int> running{0};
    CommandQueue* cmdQ;
    CommandQueue* ackQ;

private:
    QelServer(const QelServer&) = delete;
    QelServer& operator=(const QelServer&) = delete;
};
