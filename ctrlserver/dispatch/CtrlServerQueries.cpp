// The read-only commands of stage two: the live wall, unicast and multicast queries, the
// controller's version, one device's network, picture and stream parameters, the status of
// the controller and of one device, and devices' serial settings.
//
// Every one renders its data replies in the order its queries ran, then the old
// acknowledgement. A failed first query gives the acknowledgement alone; a later one failing
// leaves the earlier replies in place before a failure acknowledgement. The echo is taken
// before a query runs, since some queries end the command text after their keyword.
#include <cstring>

#include "device/DevServer.h"
#include "dispatch/CtrlServerDispatch.h"
#include "reply/ReplyBuilders.h"
#include "wall/VSServer.h"

namespace dispatch {

namespace {

// The origin flag the dispatcher passes to the model's queries.
const unsigned kFromDispatcher = 1;

// A window list, rendered by build when the query's result is 0 or more.
int windowQuery(Command& c, const std::string& echo, int result, ArrayList<VWin>& list,
                void (*build)(ArrayList<VWin>&, char*, size_t)) {
    return replyThenAck(c, result >= 0, echo,
                        [&](char* out, size_t size) { build(list, out, size); });
}

// One device's status; the device's address is the whole text after the keyword.
int deviceStatus(Command& c, const Entry& e, int kind) {
    const std::string echo = c.whole();
    SysInfo info;
    const bool ok = c.dev().blGetDevStatus(kind, argumentOf(c.cmd, strlen(e.keyword)), info);
    return replyThenAck(c, ok, echo, [&](char* out, size_t size) {
        BuildDeviceStatusJsonString(kind, info, out, size);
    });
}

}  // namespace

int getRatio(Command& c, const Entry&) {
    const std::string echo = c.whole();
    ArrayList<HVratio> list;
    const int r = c.vs().cmdVSGetRatio(c.cmd, list, kFromDispatcher);
    return replyThenAck(c, r >= 0, echo,
                        [&](char* out, size_t size) { BuildRatioJsonString(list, out, size); });
}

int getVsScreen(Command& c, const Entry&) {
    const std::string echo = c.whole();
    ArrayList<VScreen> list;
    const int r = c.vs().cmdVSGetScreen(c.cmd, list, kFromDispatcher);
    return replyThenAck(c, r >= 0, echo,
                        [&](char* out, size_t size) { BuildVsScreenJsonString(list, out, size); });
}

int getUnicastScreen(Command& c, const Entry&) {
    const std::string echo = c.whole();
    ArrayList<Unicast> list;
    const int r = c.vs().cmdVSGetUnicast(c.cmd, list, kFromDispatcher);
    return replyThenAck(c, r >= 0, echo,
                        [&](char* out, size_t size) { BuildUnicastJsonString(list, out, size); });
}

int getUnicastAll(Command& c, const Entry&) {
    const std::string echo = c.whole();
    ArrayList<Unicast> screens;
    if (c.vs().cmdVSGetUnicast(c.cmd, screens, kFromDispatcher) < 0) {
        c.ack(false, echo);
        return 1;
    }
    BuildUnicastJsonString(screens, c.out(), c.outSize());
    c.queue();
    ArrayList<VWin> windows;
    const int r = c.vs().cmdVSGetUniAllWin(c.cmd, windows, kFromDispatcher);
    return windowQuery(c, echo, r, windows, BuildUniWinJsonString);
}

int getUnicastWin(Command& c, const Entry&) {
    const std::string echo = c.head();
    ArrayList<VWin> list;
    const int r = c.vs().cmdVSGetUniWin(c.cmd, list, kFromDispatcher);
    return windowQuery(c, echo, r, list, BuildUniWinJsonString);
}

int getMulticastWin(Command& c, const Entry&) {
    const std::string echo = c.head();
    ArrayList<VWin> list;
    const int r = c.vs().cmdVSGetMulWin(list, kFromDispatcher);
    return windowQuery(c, echo, r, list, BuildMulWinJsonString);
}

int getVsWin(Command& c, const Entry&) {
    const std::string echo = c.head();
    ArrayList<VWin> list;
    const int r = c.vs().cmdVSGetWin(c.cmd, list, kFromDispatcher);
    return windowQuery(c, echo, r, list, BuildVsWinJsonString);
}

int getVsAllWins(Command& c, const Entry&) {
    const std::string echo = c.whole();
    ArrayList<VWin> list;
    const int r = c.vs().cmdVSGetAllWin(nullptr, list, kFromDispatcher);
    return windowQuery(c, echo, r, list, BuildVsWinJsonString);
}

int getVsAll(Command& c, const Entry&) {
    const std::string echo = c.whole();
    ArrayList<VScreen> screens;
    if (c.vs().cmdVSGetScreen(c.cmd, screens, kFromDispatcher) < 0) {
        c.ack(false, echo);
        return 1;
    }
    BuildVsScreenJsonString(screens, c.out(), c.outSize());
    c.queue();
    ArrayList<VWin> windows;
    const int r = c.vs().cmdVSGetAllWin(nullptr, windows, kFromDispatcher);
    return windowQuery(c, echo, r, windows, BuildVsWinJsonString);
}

int getWebVersion(Command& c, const Entry&) {
    return replyThenAck(c, true, c.whole(), BuildVersionInfoJsonString);
}

int getNetParams(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    ArrayList<Device> list;
    // The MAC is read from the separator after the keyword on; the reader skips blanks.
    const char* mac = c.cmd + strlen(e.keyword);
    const int n = c.dev().iGetQelDeviceWithMac(list, mac);
    return replyThenAck(c, n > 0, echo,
                        [&](char* out, size_t size) { BuildnetparamsJsonString(list, out, size); });
}

int getDecoderParams(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    ArrayList<Decoder> list;
    const int n = c.dev().iGetQelDecoderParamsWithIP(list, argumentOf(c.cmd, strlen(e.keyword)));
    return replyThenAck(c, n > 0, echo, [&](char* out, size_t size) {
        BuildDecoderparamsJsonString(list, out, size);
    });
}

int getEncoderParams(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    ArrayList<Encoder> list;
    const int n = c.dev().iGetQelEncoderParamsWithIP(list, argumentOf(c.cmd, strlen(e.keyword)));
    return replyThenAck(c, n > 0, echo, [&](char* out, size_t size) {
        BuildEncoderparamsJsonString(list, out, size);
    });
}

int getDeviceSerial(Command& c, const Entry& e) {
    const std::string echo = c.head();
    DevSerParam param;
    const bool ok =
        c.dev().blQelGetDevSerialParams(QEL_KIND_ALL, argumentOf(c.cmd, strlen(e.keyword)), param);
    return replyThenAck(c, ok, echo,
                        [&](char* out, size_t size) { BuildSerParmJsonString(param, out, size); });
}

int getSystemStatus(Command& c, const Entry&) {
    const std::string echo = c.whole();
    SysInfo info;
    const bool ok = c.dev().blGetSysStatus(info);
    return replyThenAck(c, ok, echo, [&](char* out, size_t size) {
        BuildDeviceStatusJsonString(QEL_KIND_CONTROLLER, info, out, size);
    });
}

int getDecoderStatus(Command& c, const Entry& e) {
    return deviceStatus(c, e, QEL_KIND_DECODER);
}

int getEncoderStatus(Command& c, const Entry& e) {
    return deviceStatus(c, e, QEL_KIND_ENCODER);
}

int getSerialByNet(Command& c, const Entry&) {
    const std::string echo = c.whole();
    DevSerParam param;
    const bool ok = c.dev().blQelGetDevSerialByNetParams(param);
    return replyThenAck(c, ok, echo, [&](char* out, size_t size) {
        BuildSerByNetParmJsonString(param, out, size);
    });
}

}  // namespace dispatch
