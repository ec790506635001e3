// The decoder's end of the device protocol: the command list in match order, the field
// splitter, the target check and the UDP server on port 8888 (replies from 8887).
#pragma once

#include <cstddef>

#define QEL_CMD_PORT 8888
#define QEL_ACK_PORT 8887
#define QEL_MAX_FIELDS 32
#define QEL_DATAGRAM_MAX 1024

// Where a reply goes: "config qel" and discovery replies leave from the reply socket (8887),
// those of the older verbs from the receive socket (8888); both to the sender.
enum class ReplyFrom { AckSocket, CommandSocket };

// Takes the replies of one command; the UDP and TCP servers each provide one.
class ReplySink {
public:
    virtual ~ReplySink() = default;
    virtual void reply(const char* data, size_t len, ReplyFrom from) = 0;
    void reply(const char* text);
};

enum class Target { None, Ip, IpOrBroadcast, Mac };

// A handler gets the fields (str[0] the whole text, str[1].. the fields after the verb).
typedef void (*CommandHandler)(char** str, ReplySink& out);

struct CommandRow {
    const char* literal;
    int fields;
    Target target;
    bool only18;             // matches only while the window model is 18
    bool fromStart;          // older verbs: fields are cut from the text's first character
    CommandHandler handler;  // nullptr: recognised but not served by this program yet
};

extern const CommandRow kCommandRows[];
extern const int kCommandRowCount;

// The first row whose literal starts text (rows for 18 windows only skipped on another model).
const CommandRow* matchCommand(const char* text);
// Cuts n fields out of text (length len) in place, scanning from start. str[0] = text. Returns
// the number of fields found, or -1 when a field starts at the end of the text.
int splitFields(char* text, size_t len, size_t start, int n, char** str);
// True when field 1 is an acceptable target for the row.
bool targetMatches(Target target, const char* field1);
// Matches, splits, checks and runs one command text (terminated, at most 1024 bytes).
void handleCommand(char* text, ReplySink& out);
// A decimal number at the start of a field; -1 when the field does not begin with one.
int fieldNumber(const char* field);

int udp_thread(void*);

// Device and picture verbs.
void cmdReboot(char** str, ReplySink& out);
void cmdFlashLed(char** str, ReplySink& out);
void cmdShowDevice(char** str, ReplySink& out);
void cmdRestoreFactory(char** str, ReplySink& out);
void cmdSetConnect(char** str, ReplySink& out);
void cmdRxDisplayIp(char** str, ReplySink& out);
void cmdGetUrlParams(char** str, ReplySink& out);
void cmdDecoderParams(char** str, ReplySink& out);
void cmdCutEdge(char** str, ReplySink& out);
void cmdDecoderName(char** str, ReplySink& out);
void cmdDecodersDisplayIp(char** str, ReplySink& out);
void cmdInternalCmd(char** str, ReplySink& out);
void cmdHdmiOut(char** str, ReplySink& out);
