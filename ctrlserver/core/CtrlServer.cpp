#include "core/CtrlServer.h"

#include <pthread.h>
#include <unistd.h>

#include "device/DevServer.h"
#include "intake/ComServer.h"
#include "intake/NetServer.h"
#include "intake/WebServer.h"
#include "reply/ReplyBuilders.h"
#include "wall/VSServer.h"

namespace {
std::string gProgramDirectory;
}

void setProgramDirectory(const std::string& dir) {
    gProgramDirectory = dir;
}
const std::string& programDirectory() {
    return gProgramDirectory;
}

CtrlServer* CtrlServer::createNew(UsageEnvironment& env, Port port, unsigned int flag) {
    return new CtrlServer(env, port, flag);
}

CtrlServer::CtrlServer(UsageEnvironment& e, Port port, unsigned int flag)
    : QelServer(e, port, flag) {
    running = 1;
    loggedIn = 0;
    uploadFile = nullptr;

    // Ports in host byte order. No server keeps its port: the front ends listen on fixed ports;
    // base+4 only shows in the start-up line.
    const portNumBits base = ntohs(port.num());
    const portNumBits devPort = base + 2;
    const portNumBits webPort = base + 4;

    devServer = DevServer::createNew(env, Port(devPort), 0);
    if (!devServer) {
        env << "create DevServer failed!\n";
        return;
    }
    vsServer = VSServer::createNew(env, *devServer);
    if (!vsServer) {
        env << "create VsServer failed!\n";
        return;
    }
    netServer = NetServer::createNew(env, Port(devPort), 0);
    if (!netServer) {
        env << "create NetServer failed!\n";
        return;
    }
    comServer = ComServer::createNew(env, Port(1), 0);
    if (!comServer) {
        env << "create ComServer failed!\n";
        return;
    }
    webServer = WebServer::createNew(env, Port(webPort), 0);
    if (!webServer) {
        env << "create WebServer failed!\n";
        return;
    }
    if (webServer->InitWeb(programDirectory().c_str())) {
        env << "webServer Started @ Port" << static_cast<int>(webPort) << "!\n";
    } else {
        env << env.getResultMsg() << "\n";
    }
    usleep(100 * 1000);

    pthread_t thread;
    if (pthread_create(&thread, nullptr, ctrlUserCmdProcess, this) != 0) {
        env << "ctrlWebProcess error\n";
    } else {
        pthread_detach(thread);
    }
}

CtrlServer::CtrlServer(UsageEnvironment& e, Port port, NoServers) : QelServer(e, port, 0) {
    running = 1;
}

CtrlServer::~CtrlServer() {
    running = 0;
    // An unfinished upload is dropped; its part file is swept by the next upload.
    if (uploadFile) fclose(uploadFile);
    uploadFile = nullptr;
}

namespace {
using SourceWindowsBuilder = void (*)(DevServer&, ArrayList<VWin>&, char*, size_t, unsigned int,
                                      char*);

void buildSourceWindows(SourceWindowsBuilder build, DevServer* dev, ArrayList<VWin>& list,
                        char* out, size_t outSize, unsigned int status, char* cmd) {
    if (dev)
        build(*dev, list, out, outSize, status, cmd);
    else if (out && outSize)
        out[0] = '\0';  // without a DevServer the command thread never runs
}
}  // namespace

void CtrlServer::BuildVsSenceWinsJsonString(ArrayList<VWin>& list, char* out, size_t outSize,
                                            unsigned int status, char* cmd) {
    buildSourceWindows(::BuildVsSenceWinsJsonString, devServer, list, out, outSize, status, cmd);
}

void CtrlServer::BuildSingleDisWinsJsonString(ArrayList<VWin>& list, char* out, size_t outSize,
                                              unsigned int status, char* cmd) {
    buildSourceWindows(::BuildSingleDisWinsJsonString, devServer, list, out, outSize, status, cmd);
}

void CtrlServer::BuildDisWinsJsonString(ArrayList<VWin>& list, char* out, size_t outSize,
                                        unsigned int status, char* cmd) {
    buildSourceWindows(::BuildDisWinsJsonString, devServer, list, out, outSize, status, cmd);
}
