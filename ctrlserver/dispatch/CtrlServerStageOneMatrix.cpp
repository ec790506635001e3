// The stage-one matrix and multiview commands that route sources to decoders outside the
// walls. A matrix or multiview decoder is a unicast screen: the layout call re-routes it
// through the unicast handlers, after the entry took the decoder out of the live wall or the
// scene wall that held it.
//
// The reply follows one rule: a step that fails marks the command failed and the next item
// goes on; the reply is a success when nothing failed and the last layout call succeeded.
#include <cstdio>
#include <string>
#include <vector>

#include "dispatch/CtrlServerStageOne.h"
#include "wall/VSServer.h"

namespace dispatch {

namespace {

const unsigned kFromOperator = 1;
const size_t kMaxItems = 255;

struct Verdict {
    bool failed = false;
    bool last = false;
    bool success() const { return !failed && last; }
};

// The layout call: source (an address, "CLEAR" or "NULL") on window win of a decoder showing
// split windows; with layout the decoder's window layout is sent too.
bool layoutCall(Command& c, const std::string& rx, const std::string& source, int split, int win,
                int layout) {
    std::string decoder = rx, from = source;
    return c.vs().blSetVScreenUnicastSenceSrcUrlSplit(&decoder[0], &from[0], split, win, layout);
}

// The window count of a multiview layout word, or 0.
int layoutCount(const std::string& word) {
    if (word == "1-1") return 1;
    if (word == "4-1") return 4;
    if (word == "5-1") return 5;
    return 0;
}

// A window word "1" to "5": its index, or -1.
int windowIndex(const std::string& word) {
    return word.size() == 1 && word[0] >= '1' && word[0] <= '5' ? word[0] - '1' : -1;
}

// A text handed to a handler, as the log shows it.
void handing(Command& c, const std::string& text) {
    c.server.envir() << "cCmdTmp1: " << text.c_str() << "\n";
}

// Frees the live-wall cell w of a decoder.
void freeLiveCell(Command& c, int w) {
    char text[64];
    snprintf(text, sizeof text, "config del vs src params %d ", w);
    handing(c, text);
    c.vs().cmdVSDelRXScreen(text, kFromOperator);
}

// The names of a blank-separated list after the keyword; false when one is too long.
bool names(Command& c, const Entry& e, std::vector<std::string>& out) {
    std::vector<std::string> items;
    if (!splitItems(stageOneArgument(c, e), ' ', kMaxItems, kStageOneWordMax, items)) return false;
    for (const std::string& i : items)
        if (!i.empty()) out.push_back(i);
    return true;
}

// The (window, source) pairs of "mv set" and "mv change" on a decoder outside the walls,
// then the carrying of its unicast state into the scenes.
void multiviewPairs(Command& c, const Words& w, const std::string& rx, int count, Verdict& v) {
    bool first = true;
    for (int i = 1; i <= count; ++i) {
        const std::string window = w.at(2 * i), source = w.at(2 * i + 1);
        if (source.empty()) continue;
        FoundDevice tx = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameTX, source);
        if (!tx.hasIp()) continue;
        const int index = windowIndex(window);
        if (index < 0 || index >= count) {
            v.failed = true;
            continue;
        }
        v.last = layoutCall(c, rx, tx.ip, count, index, first ? 1 : 0);
        first = false;
    }
    c.vs().checkUnicastRXisUsed(rx.c_str(), count);
}

}  // namespace

int matrixSet(Command& c, const Entry& e) {
    c.holdWrites();  // the decoders' places are written all or none
    std::vector<std::string> items;
    Verdict v;
    if (!splitItems(stageOneArgument(c, e), ',', kMaxItems, kStageOneWordMax, items))
        return newAck(c, e, false);
    VSServer& vs = c.vs();
    for (const std::string& item : items) {
        Words w;
        if (!readWords(item.c_str(), 2, kStageOneWordMax, w)) {
            v.failed = true;
            continue;
        }
        const std::string sourceWord = w.at(0), rxWord = w.at(1);
        FoundDevice rx = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameRX, rxWord);
        std::string source = "NULL";
        if (sourceWord != "NULL" && sourceWord != "null")
            source = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameTX, sourceWord).ip;
        if (!rx.hasIp() || source.empty()) {
            v.failed = true;
            continue;
        }
        const std::string dec = rx.ip;
        if (vs.checkWhetherRXisInsideVideoWall(rx.ip) == 0) {
            v.last = layoutCall(c, dec, source, 1, 0, 1);
            vs.checkUnicastRXisUsed(rx.ip, 1);
            continue;
        }
        const int s = vs.iGetRXisInsideSenceId(dec);
        c.server.envir() << "iFindSenceId: " << s << "\n";
        if (s < 0) {
            const int cell = vs.iGetRXisInsideVideoWallId(dec);
            c.server.envir() << "iFindVWScreenId: " << cell << "\n";
            if (cell < 0) {
                v.failed = true;
                continue;
            }
            freeLiveCell(c, cell);
            v.last = layoutCall(c, dec, source, 1, 0, 1);
            vs.checkUnicastRXisUsed(rx.ip, 1);
        } else if (s < VS_SCENES) {
            std::string text = "vw rx remove " + vs.cmdVSGetSenceName(s) + " " + rxWord;
            handing(c, text);
            vs.cmdvwVSDelRXSenceScreen(&text[0], kFromOperator);
            v.last = layoutCall(c, dec, source, 1, 0, 1);
            const int cell = vs.iGetRXisInsideVideoWallId(dec);
            if (cell >= 0) {
                freeLiveCell(c, cell);
                v.last = layoutCall(c, dec, source, 1, 0, 1);
                vs.checkUnicastRXisUsed(rx.ip, 1);
            }
            vs.checkUnicastRXisUsed(rx.ip, 1);
        } else {
            v.failed = true;
        }
    }
    return newAck(c, e, v.success());
}

int matrixClear(Command& c, const Entry& e) {
    c.holdWrites();  // the decoders' places are written all or none
    std::vector<std::string> list;
    if (!names(c, e, list) || list.empty()) return newAck(c, e, false);
    Verdict v;
    for (const std::string& name : list) {
        FoundDevice rx = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameRX, name);
        if (!rx.hasIp() || !c.vs().blCheckRXisMatrix(rx.ip)) {
            v.failed = true;
            continue;
        }
        v.last = layoutCall(c, rx.ip, "CLEAR", 1, 0, 1);
    }
    return newAck(c, e, v.success());
}

int mvSet(Command& c, const Entry& e) {
    c.holdWrites();  // the decoders' places are written all or none
    Words w;
    if (!readWords(stageOneArgument(c, e), 12, kStageOneWordMax, w)) return newAck(c, e, false);
    const int count = layoutCount(w.at(1));
    if (!count) return newAck(c, e, false);
    FoundDevice rx = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameRX, w.at(0));
    if (!rx.hasIp()) return newAck(c, e, false);
    Verdict v;
    if (c.vs().checkWhetherRXisInsideVideoWall(rx.ip) != 0) {
        c.vs().checkUnicastRXisUsed(rx.ip, count);
        return newAck(c, e, false);
    }
    multiviewPairs(c, w, rx.ip, count, v);
    return newAck(c, e, v.success());
}

int mvChange(Command& c, const Entry& e) {
    c.holdWrites();  // the decoders' places are written all or none
    Words w;
    if (!readWords(stageOneArgument(c, e), 12, kStageOneWordMax, w)) return newAck(c, e, false);
    const int count = layoutCount(w.at(1));
    if (!count) return newAck(c, e, false);
    FoundDevice rx = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, w.at(0));
    if (!rx.hasIp()) return newAck(c, e, false);
    int split = 0;
    const bool multiview = c.vs().blCheckRXisMultiView(rx.ip, split) != 0;
    if (!multiview && !c.vs().blCheckRXisMatrix(rx.ip)) return newAck(c, e, false);
    Verdict v;
    multiviewPairs(c, w, rx.ip, count, v);
    return newAck(c, e, v.success());
}

int mvClear(Command& c, const Entry& e) {
    c.holdWrites();  // the decoders' places are written all or none
    std::vector<std::string> list;
    if (!names(c, e, list) || list.empty()) return newAck(c, e, false);
    Verdict v;
    for (const std::string& name : list) {
        FoundDevice rx = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameRX, name);
        int n = 1;
        const bool multiview = rx.hasIp() && c.vs().blCheckRXisMultiView(rx.ip, n) != 0;
        const bool matrix = rx.hasIp() && c.vs().blCheckRXisMatrix(rx.ip) != 0;
        if (!multiview && !matrix) {
            v.failed = true;
            continue;
        }
        for (int i = 0; i < n; ++i) v.last = layoutCall(c, rx.ip, "CLEAR", 1, i, 1);
    }
    return newAck(c, e, v.success());
}

int mvSourceClear(Command& c, const Entry& e) {
    c.holdWrites();  // the decoders' places are written all or none
    std::vector<std::string> words;
    if (!splitItems(stageOneArgument(c, e), ' ', 2, kStageOneWordMax, words) || words.empty() ||
        words[0].empty())
        return newAck(c, e, false);
    const bool oneWindow = words.size() > 1;
    const int index = oneWindow ? windowIndex(words[1]) : 0;
    if (oneWindow && index < 0) return newAck(c, e, false);
    FoundDevice rx = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, words[0]);
    int n = 1;
    const bool multiview = rx.hasIp() && c.vs().blCheckRXisMultiView(rx.ip, n) != 0;
    const bool matrix = rx.hasIp() && c.vs().blCheckRXisMatrix(rx.ip) != 0;
    if (!multiview && !matrix) return newAck(c, e, false);
    Verdict v;
    if (oneWindow) {
        v.last = layoutCall(c, rx.ip, "NULL", 0, index, 0);
    } else {
        for (int i = 0; i < n; ++i) v.last = layoutCall(c, rx.ip, "NULL", 0, i, 0);
    }
    return newAck(c, e, v.success());
}

}  // namespace dispatch
