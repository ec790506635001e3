// The decoder's end of the device protocol: the command list in match order, the field
// splitter, the target check and the UDP server on port 8888 (replies from 8887).
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

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

// IpOrAllDecoder: the address or the word "ALLDECODER", which names every decoder.
enum class Target { None, Ip, IpOrBroadcast, IpOrAllDecoder, Mac };

// A handler gets the fields (str[0] the whole text, str[1].. the fields after the verb).
typedef void (*CommandHandler)(char** str, ReplySink& out);

struct CommandRow {
    const char* literal;
    int fields;
    Target target;
    bool only18;             // matches only while the window model is 18
    bool fromStart;          // older verbs: fields are cut from the text's first character
    CommandHandler handler;  // nullptr: recognised but not served by this program yet
    // The last field may be empty (the text ends in the blank before it): the URL commands,
    // whose empty URL clears the window.
    bool emptyLast = false;
};

extern const CommandRow kCommandRows[];
extern const int kCommandRowCount;

// The first row whose literal starts text (rows for 18 windows only skipped on another model).
const CommandRow* matchCommand(const char* text);
const CommandRow* matchCommandIn(const CommandRow* rows, int count, const char* text);
// Cuts n fields out of text (length len) in place, scanning from start. str[0] = text. Returns
// the number of fields found, or -1 when a field starts at the end of the text.
int splitFields(char* text, size_t len, size_t start, int n, char** str);
// True when field 1 is an acceptable target for the row.
bool targetMatches(Target target, const char* field1);
// Matches, splits, checks and runs one command text (terminated, at most 1024 bytes).
void handleCommand(char* text, ReplySink& out);
// The same over another command list (the TCP server's).
void handleCommandIn(const CommandRow* rows, int count, char* text, ReplySink& out);
// A decimal number at the start of a field; -1 when the field does not begin with one or the
// number does not fit an int, so that it fails every range check that starts at 0.
int fieldNumber(const char* field);
// The same for fields that take any int: false when there is no number or it does not fit.
bool fieldInt(const char* field, int* v);

// Allows address reuse and binds fd to port on every local address; false when the bind fails.
bool bindAnyAddress(int fd, int port);

// Receives one datagram into buf (max bytes) with its sender: its length, -1 on a receive
// error (errno tells which), or -2 when it was longer than max; such a datagram is taken off
// the socket whole and dropped with a line naming what (the service) and its length.
ssize_t receiveDatagram(int fd, char* buf, size_t max, sockaddr_in* from, const char* what);

int udp_thread(void*);
// The UDP server's receive loop on its two bound sockets, until loop is cleared: each datagram
// of at most 1024 bytes is one command text; a longer one is dropped, a receive error retried.
void udpServe(int cmdFd, int ackFd);
// The TCP server on port 8888: one client at a time, one receive is one command text.
int tcp_thread(void*);
// A TCP client silent this long is closed, so that it cannot keep the others waiting; the
// controller's exchanges take well under a second.
constexpr int kTcpIdleSeconds = 5;
// The TCP server's command list, in its match order.
extern const CommandRow kTcpCommandRows[];
extern const int kTcpCommandRowCount;

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
// The name a command carries: the text up to its first line end, cut to 31 bytes at a UTF-8
// character boundary. False (nothing usable) when that leaves nothing or holds a '#', which
// would break the '#'-separated discovery answer.
bool decoderNameOf(const char* text, char* name, size_t size);
// Stores the name a command carries and writes the name file when it changed; false, with
// nothing stored, when decoderNameOf refuses it.
bool setDecoderName(const char* text);
void cmdDecodersDisplayIp(char** str, ReplySink& out);
void cmdInternalCmd(char** str, ReplySink& out);
void cmdHdmiOut(char** str, ReplySink& out);

// Network and serial verbs.
void cmdNetParams(char** str, ReplySink& out);
void cmdNetAndNameParams(char** str, ReplySink& out);
void cmdSerialByNet(char** str, ReplySink& out);
void cmdSerialParams(char** str, ReplySink& out);
void cmdSerialSend(char** str, ReplySink& out);
// A new MAC from a command: blanks are removed in place; true when the rest is a valid MAC.
bool cleanNewMac(char* mac);
// Applies a valid MAC when it differs from eth0's (eth0 is marked as changed first).
void changeMac(const char* mac);
// The two MAC commands of the TCP server.
void cmdGetMac(char** str, ReplySink& out);
void cmdSetMac(char** str, ReplySink& out);

// Window verbs.
void cmdSplitParams(char** str, ReplySink& out);
void cmdSplitUndisParams(char** str, ReplySink& out);
void cmdUrlParams(char** str, ReplySink& out);
void cmdLayerParams(char** str, ReplySink& out);
void cmdDisplayParams(char** str, ReplySink& out);
void cmdClipParams(char** str, ReplySink& out);
void cmdPosParams(char** str, ReplySink& out);
void cmdVideoParams(char** str, ReplySink& out);
void cmdNormalHideParams(char** str, ReplySink& out);
void cmdMulHideParams(char** str, ReplySink& out);
// The TCP server's forms of the split and URL commands.
void cmdTcpSplitParams(char** str, ReplySink& out);
void cmdTcpSplitUndisParams(char** str, ReplySink& out);
void cmdTcpUrlParams(char** str, ReplySink& out);

// The older verbs (replies from the receive socket).
void cmdSetSysCmd(char** str, ReplySink& out);
void cmdSetSyncMode(char** str, ReplySink& out);
void cmdSetSyncTimeOffset(char** str, ReplySink& out);
void cmdSetSyncTime(char** str, ReplySink& out);
void cmdSetSplitPara(char** str, ReplySink& out);
void cmdSetUrlPara(char** str, ReplySink& out);
void cmdSetLayerPara(char** str, ReplySink& out);
void cmdSetDisplayPara(char** str, ReplySink& out);
void cmdSetClipPara(char** str, ReplySink& out);
void cmdSetPosPara(char** str, ReplySink& out);
void cmdSetVideoPara(char** str, ReplySink& out);
