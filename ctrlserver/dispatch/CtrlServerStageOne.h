// The stage-one handlers of the device and system commands, the IP-camera commands and the
// serial commands, and what they share: the echo of a keyword's length, the device lookups
// judged by their output, the ','-separated item lists and the serial settings word.
//
// Every stage-one handler reads its arguments at the keyword's length plus one separator,
// counted from the start of the command (argumentOf), whatever text stands in front of the
// keyword, and answers in the new envelope.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dispatch/CtrlServerDispatch.h"
#include "wall/VSServer.h"

namespace dispatch {

// The first keyword-length characters of the command: the echo of most stage-one replies.
std::string keywordEcho(const Command& c, const Entry& e);
// The arguments of a stage-one command.
char* stageOneArgument(Command& c, const Entry& e);
// Answers the new envelope with the keyword echo. Returns 1.
int newAck(Command& c, const Entry& e, bool success);

// A list reply, which carries its own "ack" with echo, when ok; else the new envelope with
// status failure and the same echo. build(out, outSize, echo) renders the list. Returns 1.
template <typename Build>
int listOrFailure(Command& c, bool ok, std::string echo, Build build) {
    if (!ok) {
        c.ack(Envelope::New, false, echo);
        return 1;
    }
    build(c.out(), c.outSize(), &echo[0]);
    c.queue();
    return 1;
}

// Every device, where a command names none.
extern const char kAllDevices[];
// The word buffers of the camera and serial commands, less their terminator.
const size_t kStageOneWordMax = 63;

// --- Device lookups ---------------------------------------------------------------------------
using Lookup = int (VSServer::*)(const char* key, char* ip, char* alias, char* mac, char* version,
                                 int& kind);

// What a lookup gives for a name. The lookup's own result is not looked at: a device is found
// when the output the command uses (its address, or its MAC for a readdress) is non-empty.
struct FoundDevice {
    char ip[VS_LOOKUP_TEXT_SIZE] = {0};
    char alias[VS_LOOKUP_TEXT_SIZE] = {0};
    char mac[VS_LOOKUP_TEXT_SIZE] = {0};
    char version[VS_LOOKUP_TEXT_SIZE] = {0};
    int kind = -1;
    bool hasIp() const { return ip[0] != '\0'; }
};

// Looks name up with lookup. An empty name finds nothing (a device without an alias would
// otherwise match it).
FoundDevice findDevice(Command& c, Lookup lookup, const std::string& name);

// --- Item lists -----------------------------------------------------------------------------
// Splits text at sep into at most maxItems items (the rest is ignored). False when an item is
// longer than maxLength: the command fails before anything is done for any item. An empty
// text has no items.
bool splitItems(const char* text, char sep, size_t maxItems, size_t maxLength,
                std::vector<std::string>& items);

// --- Serial settings word -------------------------------------------------------------------
struct SerialSettings {
    int baud = 0;
    int dataBits = 0;
    int parity = 0;  // 0 none, 1 odd, 2 even
    int stopBits = 0;
};

// Reads a settings word such as "115200-8e1" or "9600 8 o 1": each '-' becomes a blank, a
// parity letter n, o or e becomes a blank and sets the parity 0, 1 or 2; what is left must be
// exactly three unsigned numbers (baud, data bits, stop bits). False for anything else.
bool readSerialSettings(const std::string& word, SerialSettings& out);

// --- Device and system commands (CtrlServerStageOneDevice.cpp) ------------------------------
int setWebLoginPass(Command& c, const Entry& e);
int restoreFactory(Command& c, const Entry& e);
int rebootController(Command& c, const Entry& e);
int setHdmiOut(Command& c, const Entry& e);
int setDeviceAlias(Command& c, const Entry& e);
int removeDeviceAlias(Command& c, const Entry& e);
int setDeviceIp(Command& c, const Entry& e);
int rebootDevices(Command& c, const Entry& e);
int setTxParams(Command& c, const Entry& e);
int setRxParams(Command& c, const Entry& e);
int getTxParams(Command& c, const Entry& e);
int getRxParams(Command& c, const Entry& e);
int restoreDevices(Command& c, const Entry& e);
int getVersion(Command& c, const Entry& e);
int getDevices(Command& c, const Entry& e);
int getDeviceList(Command& c, const Entry& e);
int getEncoderList(Command& c, const Entry& e);
int getDecoderList(Command& c, const Entry& e);
int getCtrlNetSetting(Command& c, const Entry& e);
int getName(Command& c, const Entry& e);
int getDeviceParams(Command& c, const Entry& e);
int flashDeviceLed(Command& c, const Entry& e);
int showDevice(Command& c, const Entry& e);
int showAllDevices(Command& c, const Entry& e);

// The encoder and decoder settings as the devices take them, from the words typed.
struct TxSettings {
    std::string fps, bitrate, rateControl, audioFrom, audioTo;
};
struct RxSettings {
    std::string luma, contrast, hue, saturation, audio;
};
// fields: frame rate, rate control, class, two audio words. False for an invalid one.
bool readTxSettings(const std::vector<std::string>& fields, TxSettings& out);
// fields: luma, contrast, hue, saturation, audio word. False for an invalid one.
bool readRxSettings(const std::vector<std::string>& fields, RxSettings& out);

// --- Matrix and multiview commands (CtrlServerStageOneMatrix.cpp) -------------------------
int matrixSet(Command& c, const Entry& e);
int matrixClear(Command& c, const Entry& e);
int mvSet(Command& c, const Entry& e);
int mvChange(Command& c, const Entry& e);
int mvClear(Command& c, const Entry& e);
int mvSourceClear(Command& c, const Entry& e);

// --- Scene and video wall commands (CtrlServerStageOneScenes.cpp) -------------------------
int sceneCreate(Command& c, const Entry& e);
int sceneRemove(Command& c, const Entry& e);
int sceneGet(Command& c, const Entry& e);
int sceneIdGet(Command& c, const Entry& e);
int sceneTxSet(Command& c, const Entry& e);
int sceneRxAdd(Command& c, const Entry& e);
int sceneRxRemove(Command& c, const Entry& e);
int vwAdd(Command& c, const Entry& e);
int vwSet(Command& c, const Entry& e);
int vwEachSource(Command& c, const Entry& e);
int vwRowSource(Command& c, const Entry& e);
int vwColumnSource(Command& c, const Entry& e);
int vwRemove(Command& c, const Entry& e);
int vwRxRemove(Command& c, const Entry& e);
int vwGet(Command& c, const Entry& e);
int vwSource(Command& c, const Entry& e);
int vwWinSource(Command& c, const Entry& e);

// --- IP-camera commands (CtrlServerStageOneIpc.cpp) -----------------------------------------
int getIpcParams(Command& c, const Entry& e);
int getIpcList(Command& c, const Entry& e);
int setIpcParams(Command& c, const Entry& e);
int removeIpc(Command& c, const Entry& e);

// --- Serial commands (CtrlServerStageOneSerial.cpp) -----------------------------------------
int getSerial(Command& c, const Entry& e);
int setSerialByNet(Command& c, const Entry& e);
int sendSerial(Command& c, const Entry& e);

// --- Matrix, multiview and preset commands (CtrlServerPresets.cpp) --------------------------
int getMatrix(Command& c, const Entry& e);
int setAllMatrix(Command& c, const Entry& e);
int getMultiView(Command& c, const Entry& e);  // "mv get" and "mv getrxparams"
int savePreset(Command& c, const Entry& e);
int recallPreset(Command& c, const Entry& e);
int loadPreset(Command& c, const Entry& e);

}  // namespace dispatch
