// The event environment of the controller: a message stream (standard error), a result
// message and the last socket error, over a scheduler whose event loop only idles.
#pragma once

#include <mutex>
#include <string>

typedef unsigned char Boolean;
#ifndef False
const Boolean False = 0;
const Boolean True = 1;
#endif

class TaskScheduler {
public:
    virtual ~TaskScheduler() = default;
    // Runs the event loop. No handlers are ever registered, so it only idles; it returns when
    // *watchVariable becomes non-zero (never, when none is given).
    virtual void doEventLoop(char volatile* watchVariable = nullptr);

protected:
    TaskScheduler() = default;
};

class UsageEnvironment {
public:
    typedef char const* MsgString;
    virtual ~UsageEnvironment() = default;

    TaskScheduler& taskScheduler() const { return fScheduler; }

    // The result message is kept for callers that ask for it; nothing prints it. Several threads
    // share the one environment, so the message is guarded and each reader gets a copy of its
    // own: the text stays valid on the calling thread until its next getResultMsg.
    MsgString getResultMsg() const;
    void setResultMsg(MsgString msg);
    void setResultMsg(MsgString msg1, MsgString msg2);
    // Sets the result message to msg, ": " and the text of err (the current errno when 0).
    void setResultErrMsg(MsgString msg, int err = 0);
    void appendToResultMsg(MsgString msg);

    virtual int getErrno() const;

    // The message stream: standard error.
    virtual UsageEnvironment& operator<<(char const* str);
    virtual UsageEnvironment& operator<<(int i);
    virtual UsageEnvironment& operator<<(unsigned u);
    virtual UsageEnvironment& operator<<(double d);
    virtual UsageEnvironment& operator<<(void* p);

protected:
    explicit UsageEnvironment(TaskScheduler& scheduler) : fScheduler(scheduler) {}

private:
    TaskScheduler& fScheduler;
    mutable std::mutex fResultMutex;  // guards fResultMsg
    std::string fResultMsg;
};
