// The stage-two rows of the screen settings (live wall, unicast screens, multicast screen,
// clears, aspect ratio): each hands the whole command to its handler and answers from the
// handler's result. The echo is taken first, so what a
// handler does with the text never reaches the reply.
#include "dispatch/CtrlServerDispatch.h"

#include "reply/ReplyBuilders.h"
#include "wall/VSServer.h"

namespace dispatch {

namespace {

const unsigned kFromOperator = 1;

using Setting = int (VSServer::*)(char*, unsigned);
using WindowSetting = int (VSServer::*)(char*, ArrayList<VWin>&, unsigned);
using ListBuilder = void (*)(ArrayList<VWin>&, char*, size_t);

// Each handler's file writes land all or none: a failed one leaves every file as it was.
int setting(Command& c, Setting handler) {
    const std::string echo = c.head();
    c.holdWrites();
    const int r = (c.vs().*handler)(c.cmd, kFromOperator);
    c.ack(r >= 0, echo);
    return 1;
}

// The window list first, then the acknowledgement; a failure (a write that failed too) has
// the acknowledgement only.
int windowSetting(Command& c, WindowSetting handler, ListBuilder builder = BuildVsWinJsonString) {
    const std::string echo = c.head();
    ArrayList<VWin> list;
    c.holdWrites();
    const int r = (c.vs().*handler)(c.cmd, list, kFromOperator);
    c.commitWrites();
    if (r >= 0 && !c.writesFailed()) {
        builder(list, c.out(), c.outSize());
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

int setVsUrl(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetUrl);
}

int setUnicastSrc(Command& c, const Entry&) {
    const std::string echo = c.head();
    // 0: a decoder that is a live-wall cell is refused.
    c.holdWrites();
    const int r = c.vs().cmdUnicastSetRXScreen(c.cmd, 0, kFromOperator);
    c.ack(r >= 0, echo);
    return 1;
}

int setUnicastSplit(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdUnicastSetSplit);
}

int setUnicastUrl(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdUnicastSetUrl);
}

int setUnicastDbl(Command& c, const Entry&) {
    return windowSetting(c, &VSServer::cmdVSSetUniDbl, BuildUniWinJsonString);
}

int setUnicastWin(Command& c, const Entry&) {
    return windowSetting(c, &VSServer::cmdVSSetUniWin, BuildUniWinJsonString);
}

int setMulticastUrl(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdMulticastSetUrl);
}

int setMulticastSrc(Command& c, const Entry&) {
    const std::string echo = c.head();
    c.vs().cmdMulticastSetRXScreen(c.cmd, kFromOperator);
    c.ack(true, echo);
    return 1;
}

int clearVsScreen(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetClearScreen);
}

int clearUnicastScreen(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetClearUnicast);
}

int clearMulticastScreen(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetClearMulticast);
}

int clearVsScreenTx(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetClearScreenTX);
}

int clearUnicastScreenTx(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetClearUnicastTX);
}

int clearMulticastScreenTx(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetClearMulticastTX);
}

int setRatioUserDef(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetRatioUserDef);
}

int setRatio(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetRatio);
}

}  // namespace dispatch
