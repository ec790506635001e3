// The stage-one scene and "vw" commands: most hand the command, from where their keyword
// begins, to a scene handler that reads its own words; the others read their words at the
// keyword's length, resolve names and call the handlers. Every reply is one message echoing
// the keyword's length of the command ("vw get": the whole command).
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "dispatch/CtrlServerStageOne.h"
#include "reply/ReplyBuilders.h"
#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"

namespace dispatch {

namespace {

const unsigned kFromOperator = 1;

using TextHandler = int (VSServer::*)(char*, unsigned);

// The command from where the keyword begins, as the scene handlers read it.
char* fromKeyword(Command& c, const Entry& e) {
    char* at = strstr(c.cmd, e.keyword);
    return at ? at : c.cmd;
}

int handedOver(Command& c, const Entry& e, TextHandler handler) {
    const std::string echo = keywordEcho(c, e);
    const int r = (c.vs().*handler)(fromKeyword(c, e), kFromOperator);
    c.ack(Envelope::New, r >= 0, echo);
    return 1;
}

// A scene number word of the new-style commands: exactly "1" to "5"; its index, or -1.
int sceneWord(const std::string& w) {
    return w.size() == 1 && w[0] >= '1' && w[0] <= '5' ? w[0] - '1' : -1;
}

bool allDigits(const std::string& w) {
    if (w.empty()) return false;
    for (char ch : w)
        if (!isdigit(static_cast<unsigned char>(ch))) return false;
    return true;
}

}  // namespace

int sceneCreate(Command& c, const Entry& e) {
    const std::string echo = keywordEcho(c, e);
    const int r = c.vs().cmdVSSetNewSence(fromKeyword(c, e), kFromOperator);
    return listOrFailure(c, r >= 0, echo, [&](char* out, size_t size, char* cmd) {
        BuildVsAckJsonString(r, out, size, 1, cmd);
    });
}

int sceneRemove(Command& c, const Entry& e) {
    const std::string echo = keywordEcho(c, e);
    // The name is the whole rest of the command, blanks included.
    std::string wall = std::string("vw remove ") + stageOneArgument(c, e);
    c.vs().cmdvwVSDelSenceScreen(&wall[0], kFromOperator);
    const int r = c.vs().cmdVSDelNewSence(fromKeyword(c, e), kFromOperator);
    c.ack(Envelope::New, r >= 0, echo);
    return 1;
}

int sceneGet(Command& c, const Entry& e) {
    const std::string echo = keywordEcho(c, e);
    Words w;
    if (!readWords(stageOneArgument(c, e), 1, kStageOneWordMax, w)) return newAck(c, e, false);
    if (w.words.empty()) {
        ArrayList<VSence> list;
        char text[] = "scene get";
        const int r = c.vs().cmdVSGetSence(text, list, kFromOperator);
        return listOrFailure(c, r >= 0, echo, [&](char* out, size_t size, char* cmd) {
            BuildVsNewSenceJsonString(list, out, size, 1, cmd);
        });
    }
    const int id = c.vs().cmdVSGetSenceId(w.at(0).c_str());
    ArrayList<VSence> scenes;
    ArrayList<VSenceScreen> walls;
    const bool ok = id >= 0 && id < VS_SCENES &&
                    c.vs().cmdVSGetSenceAllInfo(id, scenes, walls, kFromOperator) >= 0;
    return listOrFailure(c, ok, echo, [&](char* out, size_t size, char* cmd) {
        BuildVsAllNewSenceJsonString(scenes, walls, out, size, 1, cmd);
    });
}

int sceneIdGet(Command& c, const Entry& e) {
    const std::string echo = keywordEcho(c, e);
    Words w;
    int n = -1;
    if (!readWords(stageOneArgument(c, e), 1, kStageOneWordMax, w)) return newAck(c, e, false);
    if (!w.words.empty() && !vsTokenInt(w.at(0), n)) return newAck(c, e, false);
    ArrayList<VSence> scenes;
    ArrayList<VSenceScreen> walls;
    const bool ok = n >= 1 && n <= VS_SCENES &&
                    c.vs().cmdVSGetSenceAllInfo(n - 1, scenes, walls, kFromOperator) >= 0;
    return listOrFailure(c, ok, echo, [&](char* out, size_t size, char* cmd) {
        BuildVsAllNewSenceByIdJsonString(scenes, walls, out, size, 1, cmd);
    });
}

int sceneTxSet(Command& c, const Entry& e) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 2, kStageOneWordMax, w) || w.at(1).empty())
        return newAck(c, e, false);
    FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameTX, w.at(1));
    if (!d.hasIp()) return newAck(c, e, false);
    return newAck(c, e, c.vs().cmdVSSetSceneTXToVWAndDisplay(w.at(0), d.ip, kFromOperator) >= 0);
}

int sceneRxAdd(Command& c, const Entry& e) {
    return handedOver(c, e, &VSServer::cmdDisplaySetNewRXScreen);
}

int sceneRxRemove(Command& c, const Entry& e) {
    return handedOver(c, e, &VSServer::cmdDisplaySetNewDelRX);
}

int vwAdd(Command& c, const Entry& e) {
    return handedOver(c, e, &VSServer::cmdvwVSSetSence);
}

int vwSet(Command& c, const Entry& e) {
    return handedOver(c, e, &VSServer::cmdvwVSSetSenceTX);
}

int vwEachSource(Command& c, const Entry& e) {
    return handedOver(c, e, &VSServer::cmdvwVSSetSenceEachTX);
}

int vwRowSource(Command& c, const Entry& e) {
    return handedOver(c, e, &VSServer::cmdvwVSSetSenceRowTX);
}

int vwColumnSource(Command& c, const Entry& e) {
    return handedOver(c, e, &VSServer::cmdvwVSSetSenceColumnTX);
}

int vwRemove(Command& c, const Entry& e) {
    return handedOver(c, e, &VSServer::cmdvwVSDelSenceScreen);
}

int vwRxRemove(Command& c, const Entry& e) {
    return handedOver(c, e, &VSServer::cmdvwVSDelRXSenceScreen);
}

int vwGet(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    ArrayList<VSence> scenes;
    ArrayList<VSenceScreen> walls;
    const int r = c.vs().cmdvwVSGetSence(fromKeyword(c, e), scenes, walls, kFromOperator);
    return listOrFailure(c, r >= 0, echo, [&](char* out, size_t size, char* cmd) {
        BuildVsNewSencevwJsonString(scenes, walls, out, size, 1, cmd);
    });
}

int vwSource(Command& c, const Entry& e) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 1, kStageOneWordMax, w)) return newAck(c, e, false);
    const int s = sceneWord(w.at(0));
    if (s < 0) return newAck(c, e, false);
    // Source names, a run of blanks counting as one separator.
    std::vector<std::string> items, names;
    if (!splitItems(w.end, ' ', 255, kStageOneWordMax, items)) return newAck(c, e, false);
    for (const std::string& i : items)
        if (!i.empty()) names.push_back(i);
    bool failed = false;
    int last = -1;
    for (size_t k = 0; k < names.size(); ++k) {
        FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameTX, names[k]);
        if (!d.hasIp()) {
            failed = true;
            continue;
        }
        last = c.vs().cmdVSNewSetSenceUrl(s, static_cast<int>(k) + 1, d.ip, kFromOperator);
    }
    return newAck(c, e, !failed && last >= 0);
}

int vwWinSource(Command& c, const Entry& e) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 1, kStageOneWordMax, w)) return newAck(c, e, false);
    const int s = sceneWord(w.at(0));
    if (s < 0) return newAck(c, e, false);
    std::vector<std::string> items;
    if (!splitItems(w.end, ',', 255, kStageOneWordMax, items)) return newAck(c, e, false);
    int last = -1;
    for (const std::string& item : items) {
        Words pair;
        int window = 0;
        // A window word that is not all digits, or a source that does not resolve, stops
        // the command.
        if (!readWords(item.c_str(), 2, kStageOneWordMax, pair) || !allDigits(pair.at(0)) ||
            !vsTokenInt(pair.at(0), window))
            return newAck(c, e, false);
        FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameTX, pair.at(1));
        if (!d.hasIp()) return newAck(c, e, false);
        last = c.vs().cmdVSNewSetSenceUrl(s, window, d.ip, kFromOperator);
    }
    return newAck(c, e, last >= 0);
}

}  // namespace dispatch
