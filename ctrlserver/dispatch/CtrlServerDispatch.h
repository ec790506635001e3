// What the two dispatcher stages share: one command on its way through a stage (its origin
// tag, reply buffer and the replies it has built), the bounded word reader, the keyword chains
// and their handlers.
//
// The code is split by concern: CtrlServerDispatch.cpp (the head both stages run: length,
// tag, login, web gate; the chain walk; the pass-through to the devices), CtrlServerChains.cpp
// (the two chains and the gate's keywords), CtrlServerQueries.cpp (the stage-two queries),
// CtrlServerSettings.cpp (the stage-two settings), CtrlServerScreens.cpp (the live wall's
// screen settings).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/CtrlServer.h"

class DevServer;
class VSServer;

namespace dispatch {

// A reply entry, with its tag, '|' and terminating zero, takes at most this many bytes.
constexpr size_t kReplyBufferSize = 75000;
// Longest text (tag included) a stage takes.
constexpr int kLongestText = 74999;
// Longest origin tag: the decimal socket number the front ends put in front.
constexpr size_t kLongestTag = 11;
// The echo of most stage-two replies: the command's first characters.
constexpr size_t kEchoHead = 255;

enum class Envelope {
    Old,  // {"ack": {"cmd", "status"}}
    New,  // {"ack": [{"cmd", "status"}]}
};

// One command in one stage. Replies are collected here and reach CtrlServer's reply queue
// only when the stage claims the command (a result of 1 or more): a stage that declines has
// queued nothing, or the command thread would send those replies with a later command, to
// another client.
class Command {
public:
    // text is the whole entry as taken from a front end's queue, NUL-terminated.
    Command(CtrlServer& server, char* text, unsigned int fromWeb);

    CtrlServer& server;
    // The servers the handlers call; the stages run only when both exist.
    DevServer& dev() { return *server.devServer; }
    VSServer& vs() { return *server.vsServer; }
    // The command proper (after the origin tag); handlers may write into it.
    char* cmd;
    unsigned int fromWeb;

    // Where a builder writes the reply's JSON, behind the tag, and how much room it has there.
    char* out() { return buffer.data() + tagLength; }
    size_t outSize() const { return kReplyBufferSize - tagLength; }
    // Takes what the builder wrote as one reply.
    void queue();
    // Renders and takes an acknowledgement.
    void ack(Envelope envelope, bool success, const std::string& echo);
    void ack(bool success, const std::string& echo) { ack(Envelope::Old, success, echo); }

    // The echo kinds: the whole command, or its first kEchoHead characters (never ending
    // inside a UTF-8 sequence).
    std::string whole() const { return cmd; }
    std::string head() const;
    // The command ended at end (a position within it).
    std::string upTo(const char* end) const {
        return std::string(cmd, static_cast<size_t>(end - cmd));
    }

    // Hands the collected replies to CtrlServer's reply queue, in order.
    void deliver();
    size_t pending() const { return replies.size(); }
    bool tagged() const { return tagLength > 0; }
    // The origin tag with its '|' ("" without one): which connection sent the command.
    std::string tag() const { return std::string(buffer.data(), tagLength); }

private:
    std::vector<char> buffer;  // tag, '|', JSON, NUL
    size_t tagLength;          // bytes of "tag|"; 0 without a tag
    std::vector<std::string> replies;
    // QelConfig::failedWrites() when the command arrived.
    unsigned long failedWritesAtStart;
    // Whether the command holds the thread's write batch (holdWrites).
    bool holdingWrites = false;

public:
    // From here until the next acknowledgement (or commitWrites), the command's file writes
    // are held back and then written all or none (QelConfig::BeginWrites): a change that
    // cannot write one of its files leaves every file as it was and answers failure.
    void holdWrites();
    void commitWrites();
    // True when a write of the command failed.
    bool writesFailed() const;
    // Ends the command's writes; when one failed, the wall model is loaded again from its
    // files, so that it shows what they hold (and what a restart would load).
    void finish();
};

// --- Reading arguments -----------------------------------------------------------------------
// The words of a command as the "%s" conversion reads them: leading white space skipped, a
// word ends at white space. end points just behind the last word read (at the text's end when
// fewer words were there).
struct Words {
    std::vector<std::string> words;  // the words found, at most the number asked for
    const char* end = nullptr;
    std::string at(size_t i) const { return i < words.size() ? words[i] : std::string(); }
};

// Reads up to count words from text. False when a word is longer than maxLength: it does not
// fit its buffer, and the command fails instead of taking a cut word.
bool readWords(const char* text, size_t count, size_t maxLength, Words& out);

// The argument position of a command: one separator after the keyword, counted from the
// start of the command; the empty text at its end when the command stops earlier.
char* argumentOf(char* cmd, size_t keywordLength);

// --- Chains ----------------------------------------------------------------------------------
struct Entry;
// A handler answers its command and gives the stage's result: 1 claimed (its replies
// collected), -1 (stage one only) refused without a reply so that stage two runs.
using Handler = int (*)(Command& c, const Entry& e);

enum class Match {
    Contains,     // the keyword anywhere in the command
    Exact,        // the whole command
    ContainsHead  // the keyword within the command's first kEchoHead characters
};

struct Entry {
    const char* keyword;
    Match match;
    Handler handler;
    // The envelope of the entry's acknowledgement.
    Envelope envelope;
};

const std::vector<Entry>& stageOneChain();
const std::vector<Entry>& stageTwoChain();
// The gate's own list: a web command refused before login that holds one of these gets the
// new envelope, any other the old one.
const std::vector<const char*>& gateKeywords();

bool matches(const Entry& e, const char* cmd);

// --- Shared replies --------------------------------------------------------------------------
// DevServer::cmdDev with the whole command and the old envelope on its result: below 0
// failure, 0 success, n > 0 the n values, then success. Returns 1.
int passToDevices(Command& c);

// Queues the data reply render(out, outSize) writes when ok, then the old acknowledgement.
// Returns 1.
template <typename Render>
int replyThenAck(Command& c, bool ok, const std::string& echo, Render render) {
    if (ok) {
        render(c.out(), c.outSize());
        c.queue();
    }
    c.ack(ok, echo);
    return 1;
}

// --- Stage-two queries (CtrlServerQueries.cpp) ----------------------------------------------
int getRatio(Command& c, const Entry& e);
int getVsScreen(Command& c, const Entry& e);
int getUnicastScreen(Command& c, const Entry& e);
int getUnicastAll(Command& c, const Entry& e);
int getUnicastWin(Command& c, const Entry& e);
int getMulticastWin(Command& c, const Entry& e);
int getVsWin(Command& c, const Entry& e);
int getVsAllWins(Command& c, const Entry& e);
int getVsAll(Command& c, const Entry& e);
int getWebVersion(Command& c, const Entry& e);
int getNetParams(Command& c, const Entry& e);
int getDecoderParams(Command& c, const Entry& e);
int getEncoderParams(Command& c, const Entry& e);
int getDeviceSerial(Command& c, const Entry& e);
int getSystemStatus(Command& c, const Entry& e);
int getDecoderStatus(Command& c, const Entry& e);
int getEncoderStatus(Command& c, const Entry& e);
int getSerialByNet(Command& c, const Entry& e);

// --- Stage-two settings (CtrlServerSettings.cpp) --------------------------------------------
int setSourceUrl(Command& c, const Entry& e);
int setDeviceName(Command& c, const Entry& e);
int setDeviceParams(Command& c, const Entry& e);
int acknowledgeOnly(Command& c, const Entry& e);
int setDeviceSerial(Command& c, const Entry& e);
int setSystemPass(Command& c, const Entry& e);
int checkSystemPass(Command& c, const Entry& e);
int factoryDefault(Command& c, const Entry& e);
int setControllerMaster(Command& c, const Entry& e);
int getControllerMaster(Command& c, const Entry& e);
int getUserMode(Command& c, const Entry& e);
int setUserMode(Command& c, const Entry& e);
int setNetParams(Command& c, const Entry& e);

// --- Stage-two device lists, IP cameras and the dispatcher's own commands
// (CtrlServerDevices.cpp) ---------------------------------------------------------------------
int getDevList(Command& c, const Entry& e);
int getControllers(Command& c, const Entry& e);
int getEncoders(Command& c, const Entry& e);
int getDecoders(Command& c, const Entry& e);
int getIpSources(Command& c, const Entry& e);
int getIpSourceParams(Command& c, const Entry& e);
int setIpSource(Command& c, const Entry& e);
int delIpSource(Command& c, const Entry& e);
int getExtraInfo(Command& c, const Entry& e);
int setInternalCmd(Command& c, const Entry& e);

// --- Stage-two live wall settings (CtrlServerScreens.cpp) -----------------------------------
int setVsScreen(Command& c, const Entry& e);
int setVsCutEdge(Command& c, const Entry& e);
int setVsSrc(Command& c, const Entry& e);
int setVsSplit(Command& c, const Entry& e);
int setVsDbl(Command& c, const Entry& e);
int setVsWin(Command& c, const Entry& e);
// Wall sources, unicast, multicast, clear and ratio settings (CtrlServerScreens.cpp).
int setVsUrl(Command& c, const Entry& e);
int setUnicastSrc(Command& c, const Entry& e);
int setUnicastSplit(Command& c, const Entry& e);
int setUnicastUrl(Command& c, const Entry& e);
int setUnicastDbl(Command& c, const Entry& e);
int setUnicastWin(Command& c, const Entry& e);
int setMulticastUrl(Command& c, const Entry& e);
int setMulticastSrc(Command& c, const Entry& e);
int clearVsScreen(Command& c, const Entry& e);
int clearUnicastScreen(Command& c, const Entry& e);
int clearMulticastScreen(Command& c, const Entry& e);
int clearVsScreenTx(Command& c, const Entry& e);
int clearUnicastScreenTx(Command& c, const Entry& e);
int clearMulticastScreenTx(Command& c, const Entry& e);
int setRatioUserDef(Command& c, const Entry& e);
int setRatio(Command& c, const Entry& e);
// Older scene commands (CtrlServerScenes.cpp).
int setSence(Command& c, const Entry& e);
int delSence(Command& c, const Entry& e);
int getSenceList(Command& c, const Entry& e);
int getAllSenceIp(Command& c, const Entry& e);
int getSenceVsList(Command& c, const Entry& e);
int getSenceVsWins(Command& c, const Entry& e);
int setSenceVs(Command& c, const Entry& e);
int setSenceVsCutEdge(Command& c, const Entry& e);
int delSenceVs(Command& c, const Entry& e);
int setSenceVsSrc(Command& c, const Entry& e);
int setSenceVsSplit(Command& c, const Entry& e);
int setSenceVsUrl(Command& c, const Entry& e);
int setSenceVsWin(Command& c, const Entry& e);
// Scene display commands and the free decoder list (CtrlServerScenes.cpp).
int getFreeRx(Command& c, const Entry& e);
int setSenceDisplaySrc(Command& c, const Entry& e);
int getSenceDisplayList(Command& c, const Entry& e);
int setSenceDisplaySplit(Command& c, const Entry& e);
int setSenceDisplayUrl(Command& c, const Entry& e);
int delSenceDisplay(Command& c, const Entry& e);
int getSenceDisplayWins(Command& c, const Entry& e);
int setSenceDisplayWin(Command& c, const Entry& e);

// Preset load and the window-mode rows (CtrlServerPresets.cpp).
int loadSencePreset(Command& c, const Entry& e);
int loadWinMode(Command& c, const Entry& e);
int addWinMode(Command& c, const Entry& e);
int modifyWinMode(Command& c, const Entry& e);
int delWinMode(Command& c, const Entry& e);
int getWinModes(Command& c, const Entry& e);

// --- Upload and update commands (CtrlServerUpload.cpp) --------------------------------------
int updateGetDevices(Command& c, const Entry& e);
int uploadStart(Command& c, const Entry& e);
int uploadBlock(Command& c, const Entry& e);
int uploadStop(Command& c, const Entry& e);
int updateServerIp(Command& c, const Entry& e);
int updateFirmware(Command& c, const Entry& e);
int updateRes(Command& c, const Entry& e);
int updateCsv(Command& c, const Entry& e);

}  // namespace dispatch
