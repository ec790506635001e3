// The controller's top object: creates the servers, starts the web front end and the command
// thread, and owns the two dispatcher stages that interpret operator commands.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/ArrayList.h"
#include "core/QelServer.h"
#include "core/WallRecords.h"

class WebServer;
class NetServer;
class ComServer;
class DevServer;
class VSServer;

class CtrlServer : public QelServer {
public:
    static CtrlServer* createNew(UsageEnvironment& env, Port port, unsigned int flag);
    ~CtrlServer() override;

    // The command thread: takes one command per pass from the front ends, runs the dispatcher
    // and moves the replies back to the front end the command came from.
    static void* ctrlUserCmdProcess(void* arg);

    // First and second dispatcher stages. A result above 0 means the stage took the command and
    // queued its replies on ackQueue().
    int ProcessSub1(char* text, int len, unsigned int fromWeb);
    int Process(char* text, int len, unsigned int fromWeb);

    WebServer* webServer = nullptr;
    NetServer* netServer = nullptr;
    ComServer* comServer = nullptr;
    DevServer* devServer = nullptr;
    VSServer* vsServer = nullptr;
    int loggedIn = 0;
    FILE* uploadFile = nullptr;
    // The upload in progress (while uploadFile is open): the name it is stored under, the
    // origin tag of the connection that opened it (only that one may add to it or end it) and
    // the bytes written so far.
    std::string uploadName;
    std::string uploadTag;
    size_t uploadBytes = 0;
    // Decodes n bytes from 2n hexadecimal digits of hex (which holds at least that many) and
    // appends them to the upload. 1 when all n were written; 0 when n is 0 or a write failed.
    int ProcessFile(const char* hex, int n);
    // The longest the command thread waits for a command before it looks at its queues again.
    static constexpr int kIdleWaitMs = 10;

    // Scene-wall and display window replies whose windows end in the address of their source
    // encoder, looked up in devServer's encoder table (the builders of reply/ReplyBuilders.h).
    void BuildVsSenceWinsJsonString(ArrayList<VWin>& list, char* out, size_t outSize,
                                    unsigned int status, char* cmd);
    void BuildSingleDisWinsJsonString(ArrayList<VWin>& list, char* out, size_t outSize,
                                      unsigned int status, char* cmd);
    void BuildDisWinsJsonString(ArrayList<VWin>& list, char* out, size_t outSize,
                                unsigned int status, char* cmd);

    // One front end as the command thread sees it.
    struct CommandSource {
        CommandQueue* commands;
        CommandQueue* replies;
        unsigned int fromWeb;  // 1 for the WebSocket front end (subject to the web login gate)
    };
    // The body of the command thread over the given sources, polled in their order; returns
    // when running is 0.
    void commandLoop(const std::vector<CommandSource>& sources);

protected:
    CtrlServer(UsageEnvironment& env, Port port, unsigned int flag);
    // Builds the object without creating any server or thread (for tests of the command loop).
    struct NoServers {};
    CtrlServer(UsageEnvironment& env, Port port, NoServers);
};

// Where the program lives (the directory of argv[0]); set by main before the servers exist.
void setProgramDirectory(const std::string& dir);
const std::string& programDirectory();
