// The stage-two rows of the live wall's screen settings: each hands the whole command to its
// wall handler and answers from the handler's result. The echo is taken first, so what a
// handler does with the text never reaches the reply.
#include "dispatch/CtrlServerDispatch.h"

#include "reply/ReplyBuilders.h"
#include "wall/VSServer.h"

namespace dispatch {

namespace {

const unsigned kFromOperator = 1;

using Setting = int (VSServer::*)(char*, unsigned);
using WindowSetting = int (VSServer::*)(char*, ArrayList<VWin>&, unsigned);

int setting(Command& c, Setting handler) {
    const std::string echo = c.head();
    const int r = (c.vs().*handler)(c.cmd, kFromOperator);
    c.ack(r >= 0, echo);
    return 1;
}

// The window list first, then the acknowledgement; a failure has the acknowledgement only.
int windowSetting(Command& c, WindowSetting handler) {
    const std::string echo = c.head();
    ArrayList<VWin> list;
    const int r = (c.vs().*handler)(c.cmd, list, kFromOperator);
    if (r >= 0) {
        BuildVsWinJsonString(list, c.out(), c.outSize());
        c.queue();
    }
    c.ack(r >= 0, echo);
    return 1;
}

}  // namespace

int setVsScreen(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetScreen);
}

int setVsCutEdge(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetRowColumnCutEdge);
}

int setVsSrc(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetRXScreen);
}

int setVsSplit(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetSplit);
}

int setVsDbl(Command& c, const Entry&) {
    return windowSetting(c, &VSServer::cmdVSSetDbl);
}

int setVsWin(Command& c, const Entry&) {
    return windowSetting(c, &VSServer::cmdVSSetWin);
}

}  // namespace dispatch
