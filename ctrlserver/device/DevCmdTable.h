// The device command table: controller-side command prefixes, their wire commands and the
// acknowledgements devices answer with, plus the controller's side of the device protocol
// (ports, datagram limits, reply syntax).
//
// The rest of the controller writes device commands in the controller-side form ("config set
// url params <address> <window> <url>"); every sending operation turns them into the wire form
// ("config qel set url params <address> <window> <url>") through this table.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Controller-side prefixes, one per row of QelDevCmd.
extern const char* const strConfigGetDevices;            // row 0
extern const char* const strConfigGetControllers;        // row 1
extern const char* const strConfigGetEncoders;           // row 2
extern const char* const strConfigGetDecoders;           // row 3
extern const char* const strConfigSetNetParams;          // row 4
extern const char* const strConfigGetUrlParams;          // row 5
extern const char* const strConfigSetConnect;            // row 6
extern const char* const strConfigSetReboot;             // row 7
extern const char* const strConfigSetSplitParams;        // row 8
extern const char* const strConfigSetUrlParams;          // row 9
extern const char* const strConfigSetLayerParams;        // row 10
extern const char* const strConfigSetDisplayParams;      // row 11
extern const char* const strConfigSetClipParams;         // row 12
extern const char* const strConfigSetPosParams;          // row 13
extern const char* const strConfigSetVideoParams;        // row 14
extern const char* const strConfigSetEncoderParams;      // row 15
extern const char* const strConfigGetEncoderParams;      // row 16
extern const char* const strConfigSetDecoderParams;      // row 17
extern const char* const strConfigGetDecoderParams;      // row 18
extern const char* const strConfigSetDecodersDisIP;      // row 19
extern const char* const strConfigSetCutEdgeparams;      // row 20
extern const char* const strConfigSetSerParams;          // row 21
extern const char* const strConfigGetSerParams;          // row 22
extern const char* const strConfigSetSerBynet;           // row 23
extern const char* const strConfigGetSerBynet;           // row 24
extern const char* const strConfigSetUpdateFile;         // row 25
extern const char* const strConfigSetDecoderNameParam;   // row 26
extern const char* const strConfigSetEncoderNameParam;   // row 27
extern const char* const strConfigSetIPSourceNameParam;  // row 28
extern const char* const strConfigSetSplitUndisParams;   // row 29
extern const char* const strConfigSetMulHideParams;      // row 30
extern const char* const strConfigSetNormalHideParams;   // row 31
extern const char* const strConfigSetResoreFactory;      // row 32
extern const char* const strConfigFlashLed;              // row 33
extern const char* const strConfigSetSerialSend;         // row 34
extern const char* const strConfigSetShowDevice;         // row 35
extern const char* const strConfigSetRXDisSelfIP;        // row 36
extern const char* const strConfigSetNetAndNameParam;    // row 37
extern const char* const strConfigSetinternalcmd;        // row 38
extern const char* const strConfigSetHdmiOut;            // row 39

// Rows whose commands the sending step mirrors into the device tables.
const int QEL_ROW_SET_SPLIT_PARAMS = 8;     // strConfigSetSplitParams
const int QEL_ROW_SET_ENCODER_PARAMS = 15;  // strConfigSetEncoderParams
const int QEL_ROW_SET_DECODER_PARAMS = 17;  // strConfigSetDecoderParams
const int QEL_ROW_SET_DECODER_NAME = 26;    // strConfigSetDecoderNameParam
const int QEL_ROW_SET_ENCODER_NAME = 27;    // strConfigSetEncoderNameParam

// Number of command rows; QelDevCmd has one more, the closing row.
const int QEL_DEV_CMD_COUNT = 40;
// Rows below this are reserved to discovery and never matched from a controller-side text.
const int QEL_DEV_CMD_FIRST_SENT = 4;

// The controller-side prefixes indexed by row.
extern const char* const strConfigCmd[QEL_DEV_CMD_COUNT];

struct QelDevCmdRow {
    const char* cmd;    // wire command that replaces the prefix
    const char* ack;    // wire acknowledgement the device answers with
    int argCount;       // informational: no operation checks it
    int ackFieldCount;  // '#'-separated fields of the acknowledgement, text and status included
};

// 41 rows: rows 0-39 match strConfigCmd, row 40 (null texts, zero counts) closes the table.
extern const QelDevCmdRow QelDevCmd[QEL_DEV_CMD_COUNT + 1];

// Ports of the device protocol (UDP).
const int QEL_DEV_CMD_PORT = 8888;     // devices take commands here
const int QEL_DEV_ACK_PORT = 8887;     // local port of acknowledged commands and discovery
const int QEL_DEV_UPDATE_PORT = 8884;  // the devices' update service

// Wire texts and replies are built and read in buffers of this size, and devices read
// datagrams of at most this size: a wire text holds at most QEL_DEV_WIRE_MAX - 1 bytes.
const int QEL_DEV_WIRE_MAX = 1024;

// The first row among 4-39 whose controller-side prefix begins text (byte comparison over the
// prefix only), or -1. Rows 0-3 are never returned.
int findQelDevCmdRow(const char* text);

// Builds the wire text of text for row: the row's cmd followed by the rest of text behind the
// prefix, unchanged. Returns its length, or -1 (out emptied) when the row is not 4-39, the text
// does not begin with the row's prefix, or the wire text would not fit in outSize bytes
// with its terminating zero byte.
int buildQelDevWire(const char* text, int row, char* out, size_t outSize);

// Splits a device reply of len bytes (a NUL ends it earlier) at '#': runs of '#' count as one
// separator and leading ones are skipped, as a standard tokenizer does. Stores at most
// maxFields fields; returns how many were stored.
int splitQelDevReply(const char* reply, size_t len, int maxFields,
                     std::vector<std::string>& fields);

// Reads a reply to a command of row: fields receives exactly ackFieldCount + 1 texts (those
// the reply lacks are empty). True when it is the awaited acknowledgement: field 0 begins with
// the row's ack text and field 1 contains "SUCCEED". The values, untrimmed, are fields 2 on.
bool parseQelDevAck(const char* reply, size_t len, int row, std::vector<std::string>& fields);

// True when text is an IPv4 address in dotted decimal form ("255.255.255.255" included).
bool isQelDevAddress(const char* text);
