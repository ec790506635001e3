// The preset, window-mode, matrix and multiview commands of both stages. Stage one takes
// scenes and presets counted from 1 and turns them into the older commands' numbers; the
// window-mode rows of stage two hand their handler the text behind the keyword.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dispatch/CtrlServerDispatch.h"
#include "dispatch/CtrlServerStageOne.h"
#include "reply/ReplyBuilders.h"
#include "wall/VSServer.h"

namespace dispatch {

namespace {

const unsigned kFromOperator = 1;
// Longest scene name the preset commands take: the handler's field less its terminator.
const size_t kSceneNameMax = 127;
// Most decoder names "matrix get" takes.
const size_t kMatrixNamesMax = 255;
// The window-mode commands work on a 1024-byte copy of the command.
const size_t kModeCommandMax = 1023;

// The number a word starts with, as "%d" reads it; def when it has none or it does not fit.
int wordNumber(const std::string& word, int def) {
    if (word.empty()) return def;
    errno = 0;
    char* end = nullptr;
    const long v = strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || errno == ERANGE || v < INT_MIN || v > INT_MAX) return def;
    return static_cast<int>(v);
}

int runPreset(Command& c, const Entry& e, int (VSServer::*handler)(char*, unsigned),
              const char* format, const std::string& args) {
    char text[kEchoHead + 1];
    const int n = snprintf(text, sizeof text, format, args.c_str());
    if (n < 0 || static_cast<size_t>(n) >= sizeof text) return newAck(c, e, false);
    return newAck(c, e, (c.vs().*handler)(text, kFromOperator) >= 0);
}

// "scene recall preset" and "scene load preset": a scene number 1-5 or a scene name, then a
// preset 1-3.
int recallOrLoad(Command& c, const Entry& e, int (VSServer::*handler)(char*, unsigned),
                 const char* keyword) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 2, kSceneNameMax, w)) return newAck(c, e, false);
    int scene = wordNumber(w.at(0), -1);
    const int preset = wordNumber(w.at(1), -1);
    if (scene >= 1 && scene <= 5) {
        scene -= 1;  // the handler refuses a preset out of range
    } else {
        if (preset < 1 || preset > 3) return newAck(c, e, false);
        scene = c.vs().cmdVSGetSenceId(w.at(0).c_str());
        if (scene < 0 || scene > 4) return newAck(c, e, false);
    }
    const std::string args = std::to_string(scene) + " " + std::to_string(preset - 1);
    return runPreset(c, e, handler, (std::string(keyword) + " %s").c_str(), args);
}

// The text a window-mode handler gets: behind the keyword and one separator, copied.
bool modeArgument(Command& c, const Entry& e, std::string& arg) {
    if (strlen(c.cmd) > kModeCommandMax) return false;
    arg = argumentOf(c.cmd, strlen(e.keyword));
    return true;
}

// The mode list and the success acknowledgement, or the failure acknowledgement alone.
int modeList(Command& c, bool ok, const std::string& echo) {
    VWMode mode;
    mode.modeMax = 4;
    mode.modeActive = 0;
    if (ok) ok = c.vs().blGetWinMode(mode) != 0;
    if (ok) {
        BuildWinModeNameJson(mode, c.out(), c.outSize());
        c.queue();
    }
    c.ack(ok, echo);
    return 1;
}

}  // namespace

// --- Stage one --------------------------------------------------------------------------------

int getMatrix(Command& c, const Entry& e) {
    Words w;
    if (!readWords(stageOneArgument(c, e), kMatrixNamesMax, kStageOneWordMax, w))
        return newAck(c, e, false);
    ArrayList<Matrix_MV> list;
    int r = 0;
    if (w.words.empty()) {
        char all[] = "255.255.255.255";
        r = c.vs().iGetMatrix(list, all);
    }
    for (const std::string& name : w.words) {
        FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameRX, name);
        if (d.hasIp()) r = c.vs().iGetMatrix(list, d.ip);
    }
    return listOrFailure(c, r >= 0, keywordEcho(c, e), [&](char* out, size_t size, char* echo) {
        BuildMatrixAckJsonString(list, out, size, 1, echo);
    });
}

int setAllMatrix(Command& c, const Entry& e) {
    c.holdWrites();  // the decoders' places are written all or none
    // The first ','-separated item: a source name (a second word is ignored), or nothing to
    // clear every matrix decoder.
    std::vector<std::string> items;
    if (!splitItems(stageOneArgument(c, e), ',', 1, kEchoHead, items)) return newAck(c, e, false);
    Words w;
    if (!items.empty() && !readWords(items[0].c_str(), 2, kStageOneWordMax, w))
        return newAck(c, e, false);
    std::string source = "CLEAR";
    if (!w.words.empty()) {
        FoundDevice tx = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameTX, w.at(0));
        if (!tx.hasIp()) return newAck(c, e, false);
        source = tx.ip;
    }
    ArrayList<Matrix_MV> list;
    char all[] = "255.255.255.255";
    c.vs().iGetMatrix(list, all);
    bool failed = false, last = false;
    for (ArrayListNode<Matrix_MV>* n = list.head->next; n && n->data; n = n->next) {
        FoundDevice rx =
            findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameRX, n->data->rxname);
        if (!rx.hasIp()) {
            failed = true;
            continue;
        }
        std::string from = source;
        last = c.vs().blSetVScreenUnicastSenceSrcUrlSplit(rx.ip, &from[0], 1, 0, 0);
        c.vs().checkUnicastRXisUsed(rx.ip, 1);
    }
    // An empty matrix list makes no call, and so fails.
    return newAck(c, e, !failed && last);
}

int getMultiView(Command& c, const Entry& e) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 1, kStageOneWordMax, w)) return newAck(c, e, false);
    FoundDevice d;
    if (w.words.empty())
        snprintf(d.ip, sizeof d.ip, "%s", kAllDevices);
    else
        d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, w.at(0));
    const bool windows = strcmp(e.keyword, "mv getrxparams") == 0;
    if (windows) {
        ArrayList<Matrix_MV_plus_WIN> list;
        const int r = c.vs().iGetMultiViewWin(list, d.ip);
        return listOrFailure(c, r >= 0, keywordEcho(c, e), [&](char* out, size_t size, char* echo) {
            BuildMultiViewWinAckJsonString(list, out, size, 1, echo);
        });
    }
    ArrayList<Matrix_MV> list;
    const int r = c.vs().iGetMultiView(list, d.ip);
    return listOrFailure(c, r >= 0, keywordEcho(c, e), [&](char* out, size_t size, char* echo) {
        BuildMultiViewAckJsonString(list, out, size, 1, echo);
    });
}

int savePreset(Command& c, const Entry& e) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 3, kSceneNameMax, w)) return newAck(c, e, false);
    if (w.at(0).size() > VS_SCENE_NAME_MAX) return newAck(c, e, false);
    const int scene = wordNumber(w.at(1), -1);
    const int preset = wordNumber(w.at(2), -1);
    if (preset < 1 || preset > 3 || scene < 1 || scene > 5) return newAck(c, e, false);
    const std::string args =
        w.at(0) + " " + std::to_string(scene - 1) + " " + std::to_string(preset - 1);
    return runPreset(c, e, &VSServer::cmdVSSaveSencePreset, "config save sence preset params %s",
                     args);
}

int recallPreset(Command& c, const Entry& e) {
    c.holdWrites();  // the live wall and unicast screens are written all or none
    return recallOrLoad(c, e, &VSServer::cmdVSRecallSencePreset,
                        "config recall sence preset params");
}

int loadPreset(Command& c, const Entry& e) {
    c.holdWrites();  // the live wall and unicast screens are written all or none
    return recallOrLoad(c, e, &VSServer::cmdVSLoadSencePreset, "config load sence preset params");
}

// --- Stage two --------------------------------------------------------------------------------

int loadSencePreset(Command& c, const Entry&) {
    c.holdWrites();  // the live wall and unicast screens are written all or none
    const std::string echo = c.head();
    const int r = c.vs().cmdVSLoadSencePreset(c.cmd, kFromOperator);
    c.ack(Envelope::New, r >= 0, echo);
    return 1;
}

int loadWinMode(Command& c, const Entry& e) {
    // The value comes first, then its selector: the echo ends after the value.
    Words first;
    readWords(argumentOf(c.cmd, strlen(e.keyword)), 1, SIZE_MAX, first);
    const std::string echo = first.words.empty() ? c.whole() : c.upTo(first.end);
    std::string arg, name;
    c.holdWrites();  // the live wall and unicast screens are written all or none
    const bool ok = modeArgument(c, e, arg) && c.vs().blLoadWinMode(&arg[0], name);
    c.ack(ok, echo);
    return 1;
}

int addWinMode(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    std::string arg;
    if (!modeArgument(c, e, arg) || !c.vs().blAddWinMode(&arg[0])) {
        c.ack(false, echo);
        return 1;
    }
    return modeList(c, true, echo);
}

int modifyWinMode(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    std::string arg;
    const bool ok = modeArgument(c, e, arg) && c.vs().blSetWinMode(&arg[0]);
    c.ack(ok, echo);
    return 1;
}

int delWinMode(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    std::string arg;
    if (!modeArgument(c, e, arg) || !c.vs().blDelWinMode(&arg[0])) {
        c.ack(false, echo);
        return 1;
    }
    return modeList(c, true, echo);
}

int getWinModes(Command& c, const Entry&) {
    return modeList(c, true, c.whole());
}

}  // namespace dispatch
