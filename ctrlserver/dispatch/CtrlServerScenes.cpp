// The stage-two rows of the older scene commands, the scene display commands and the free
// decoder list: each hands the whole command to its handler and answers in the new envelope
// echoing the command's first 255 characters, a list reply carrying its own acknowledgement.
#include <vector>

#include "dispatch/CtrlServerDispatch.h"
#include "reply/ReplyBuilders.h"
#include "wall/VSServer.h"

namespace dispatch {

namespace {

const unsigned kFromOperator = 1;

using Setting = int (VSServer::*)(char*, unsigned);

// The echo as a writable text for the builders.
std::vector<char> echoOf(Command& c) {
    const std::string head = c.head();
    return std::vector<char>(head.c_str(), head.c_str() + head.size() + 1);
}

int setting(Command& c, Setting handler) {
    const std::string echo = c.head();
    const int r = (c.vs().*handler)(c.cmd, kFromOperator);
    c.ack(Envelope::New, r >= 0, echo);
    return 1;
}

// A list reply on success, the failure acknowledgement otherwise.
template <class Fill, class Build>
int listed(Command& c, Fill fill, Build build) {
    std::vector<char> echo = echoOf(c);
    const int r = fill();
    if (r < 0) {
        c.ack(Envelope::New, false, echo.data());
        return 1;
    }
    build(echo.data());
    c.queue();
    return 1;
}

}  // namespace

int setSence(Command& c, const Entry&) {
    std::vector<char> echo = echoOf(c);
    const int r = c.vs().cmdVSSetSence(c.cmd, kFromOperator);
    if (r < 0) {
        c.ack(Envelope::New, false, echo.data());
        return 1;
    }
    BuildVsAckJsonString(r, c.out(), c.outSize(), 1, echo.data());
    c.queue();
    return 1;
}

int delSence(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSDelSence);
}

int getSenceList(Command& c, const Entry&) {
    ArrayList<VSence> list;
    char text[] = "config get sence list params";
    return listed(
        c, [&] { return c.vs().cmdVSGetSence(text, list, kFromOperator); },
        [&](char* echo) { BuildVsSenceJsonString(list, c.out(), c.outSize(), 1, echo); });
}

int getAllSenceIp(Command& c, const Entry&) {
    ArrayList<VSenceScreen> list;
    return listed(
        c, [&] { return c.vs().cmdVSGetAllSenceIp(list, kFromOperator); },
        [&](char* echo) { BuildVsAllSenceJsonString(list, c.out(), c.outSize(), 1, echo); });
}

int getSenceVsList(Command& c, const Entry&) {
    ArrayList<VSenceScreen> list;
    return listed(
        c, [&] { return c.vs().cmdVSGetSenceScreen(c.cmd, list, kFromOperator); },
        [&](char* echo) { BuildVsSenceScreenJsonString(list, c.out(), c.outSize(), 1, echo); });
}

int getSenceVsWins(Command& c, const Entry&) {
    ArrayList<VWin> list;
    return listed(
        c, [&] { return c.vs().cmdVSGetSenceWins(c.cmd, list, kFromOperator); },
        [&](char* echo) {
            BuildVsSenceWinsJsonString(c.dev(), list, c.out(), c.outSize(), 1, echo);
        });
}

int setSenceVs(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetSenceScreen);
}

int setSenceVsCutEdge(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetSenceRowColumnCutEdge);
}

int delSenceVs(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSDelSenceScreen);
}

int setSenceVsSrc(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetRXSenceScreen);
}

int setSenceVsSplit(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetSenceSplit);
}

int setSenceVsUrl(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdVSSetSenceUrl);
}

int setSenceVsWin(Command& c, const Entry&) {
    ArrayList<VWin> list;
    return listed(
        c, [&] { return c.vs().cmdVSSetSenceWin(c.cmd, list, kFromOperator); },
        [&](char* echo) { BuildVsSenceWinJsonString(list, c.out(), c.outSize(), 1, echo); });
}

int getFreeRx(Command& c, const Entry&) {
    ArrayList<Device> list;
    return listed(
        c, [&] { return c.vs().cmdVSGetFreeRX(list); },
        [&](char* echo) {
            BuildDevFreeDecoderlistJsonString(list, c.out(), c.outSize(), 1, echo);
        });
}

int setSenceDisplaySrc(Command& c, const Entry&) {
    int r = -1;
    return listed(
        c, [&] { return r = c.vs().cmdDisplaySetRXScreen(c.cmd, kFromOperator); },
        [&](char* echo) { BuildDisplayIdAckJsonString(r, c.out(), c.outSize(), 1, echo); });
}

int getSenceDisplayList(Command& c, const Entry&) {
    ArrayList<VSenceScreen> list;
    return listed(
        c, [&] { return c.vs().cmdVSGetSenceDisplay(c.cmd, list, kFromOperator); },
        [&](char* echo) {
            BuildVsSenceDisplayListJsonString(list, c.out(), c.outSize(), 1, echo);
        });
}

int setSenceDisplaySplit(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdDisplaySetSplit);
}

int setSenceDisplayUrl(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdDisplaySetUrl);
}

int delSenceDisplay(Command& c, const Entry&) {
    return setting(c, &VSServer::cmdDisplaySetDelRX);
}

int getSenceDisplayWins(Command& c, const Entry&) {
    ArrayList<VWin> list;
    return listed(
        c, [&] { return c.vs().cmdVSGetDisWins(c.cmd, list, kFromOperator); },
        [&](char* echo) { BuildDisWinsJsonString(c.dev(), list, c.out(), c.outSize(), 1, echo); });
}

int setSenceDisplayWin(Command& c, const Entry&) {
    ArrayList<VWin> list;
    return listed(
        c, [&] { return c.vs().cmdVSSetDisWin(c.cmd, list, kFromOperator); },
        [&](char* echo) {
            BuildSingleDisWinsJsonString(c.dev(), list, c.out(), c.outSize(), 1, echo);
        });
}

}  // namespace dispatch
