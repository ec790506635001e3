// ctrlserver: the controller program.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "box/Box.h"
#include "core/CtrlMain.h"
#include "core/CtrlServer.h"
#include "live/BasicUsageEnvironment.hh"

UsageEnvironment* env = nullptr;

int main(int argc, char** argv) {
    signal(SIGINT, sighandler);
    signal(SIGQUIT, sighandler);
    signal(SIGTERM, sighandler);
    // The front ends write to peers that may have gone away; a closed peer must not end us.
    signal(SIGPIPE, SIG_IGN);

    CtrlOptions options;
    if (!parseCtrlOptions(argc, argv, options)) return -1;
    if (!box::requireRoot(argc > 0 ? argv[0] : "ctrlserver")) return 1;

    TaskScheduler* scheduler = BasicTaskScheduler::createNew();
    env = BasicUsageEnvironment::createNew(*scheduler);
    setProgramDirectory(programDirectoryOf(argc > 0 ? argv[0] : ""));

    Port port(options.clientPort == 0 ? 6666 : options.clientPort);
    CtrlServer::createNew(*env, port, 0);

    env->taskScheduler().doEventLoop();
    return 0;
}
