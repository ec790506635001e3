#include "device/DevCmdTable.h"

#include <arpa/inet.h>

#include <cstring>

#include "device/DevServerText.h"

const char* const strConfigGetDevices = "config get devices";
const char* const strConfigGetControllers = "config get controllers";
const char* const strConfigGetEncoders = "config get encoders";
const char* const strConfigGetDecoders = "config get decoders";
const char* const strConfigSetNetParams = "config set net params";
const char* const strConfigGetUrlParams = "config get url params";
const char* const strConfigSetConnect = "config set connect";
const char* const strConfigSetReboot = "config set reboot";
const char* const strConfigSetSplitParams = "config set split params";
const char* const strConfigSetUrlParams = "config set url params";
const char* const strConfigSetLayerParams = "config set layer params";
const char* const strConfigSetDisplayParams = "config set display params";
const char* const strConfigSetClipParams = "config set clip params";
const char* const strConfigSetPosParams = "config set pos params";
const char* const strConfigSetVideoParams = "config set video params";
const char* const strConfigSetEncoderParams = "config set encoder params";
const char* const strConfigGetEncoderParams = "config get encoder params";
const char* const strConfigSetDecoderParams = "config set decoder params";
const char* const strConfigGetDecoderParams = "config get decoder params";
const char* const strConfigSetDecodersDisIP = "config set decoders display ip";
const char* const strConfigSetCutEdgeparams = "config set cutedge params";
const char* const strConfigSetSerParams = "config set serial params";
const char* const strConfigGetSerParams = "config get serial params";
const char* const strConfigSetSerBynet = "config set serialbynet";
const char* const strConfigGetSerBynet = "config get serialbynet";
const char* const strConfigSetUpdateFile = "config set update file";
const char* const strConfigSetDecoderNameParam = "config set decoder name";
const char* const strConfigSetEncoderNameParam = "config set encoder name";
const char* const strConfigSetIPSourceNameParam = "config set ipsource name";
const char* const strConfigSetSplitUndisParams = "config set splitundis params";
const char* const strConfigSetMulHideParams = "config set mul hide params";
const char* const strConfigSetNormalHideParams = "config set normal hide params";
const char* const strConfigSetResoreFactory = "config set device restorefactory";
const char* const strConfigFlashLed = "config flash device led";
const char* const strConfigSetSerialSend = "config set serial send";
const char* const strConfigSetShowDevice = "config show device";
const char* const strConfigSetRXDisSelfIP = "config set rx display ip";
const char* const strConfigSetNetAndNameParam = "config set netandname params";
const char* const strConfigSetinternalcmd = "config set internalcmd";
const char* const strConfigSetHdmiOut = "config set hdmiout";

const char* const strConfigCmd[QEL_DEV_CMD_COUNT] = {
    strConfigGetDevices,           strConfigGetControllers,
    strConfigGetEncoders,          strConfigGetDecoders,
    strConfigSetNetParams,         strConfigGetUrlParams,
    strConfigSetConnect,           strConfigSetReboot,
    strConfigSetSplitParams,       strConfigSetUrlParams,
    strConfigSetLayerParams,       strConfigSetDisplayParams,
    strConfigSetClipParams,        strConfigSetPosParams,
    strConfigSetVideoParams,       strConfigSetEncoderParams,
    strConfigGetEncoderParams,     strConfigSetDecoderParams,
    strConfigGetDecoderParams,     strConfigSetDecodersDisIP,
    strConfigSetCutEdgeparams,     strConfigSetSerParams,
    strConfigGetSerParams,         strConfigSetSerBynet,
    strConfigGetSerBynet,          strConfigSetUpdateFile,
    strConfigSetDecoderNameParam,  strConfigSetEncoderNameParam,
    strConfigSetIPSourceNameParam, strConfigSetSplitUndisParams,
    strConfigSetMulHideParams,     strConfigSetNormalHideParams,
    strConfigSetResoreFactory,     strConfigFlashLed,
    strConfigSetSerialSend,        strConfigSetShowDevice,
    strConfigSetRXDisSelfIP,       strConfigSetNetAndNameParam,
    strConfigSetinternalcmd,       strConfigSetHdmiOut,
};

const QelDevCmdRow QelDevCmd[QEL_DEV_CMD_COUNT + 1] = {
    {"config qel get devices", "config qel ack get devices", 0, 0},
    {"config qel get controllers", "config qel ack get controllers", 0, 3},
    {"config qel get encoders", "config qel ack get encoders", 0, 19},
    {"config qel get decoders", "config qel ack get decoders", 0, 19},
    {"config qel set net params", "config qel ack set net params", 4, 2},
    {"config qel get url params", "config qel ack get url params", 2, 3},
    {"config qel set connect", "config qel ack set connect", 1, 2},
    {"config qel set reboot", "config qel ack set reboot", 1, 2},
    {"config qel set split params", "config qel ack set split params", 3, 2},
    {"config qel set url params", "config qel ack set url params", 3, 2},
    {"config qel set layer params", "config qel ack set layer params", 3, 2},
    {"config qel set display params", "config qel ack set display params", 3, 2},
    {"config qel set clip params", "config qel ack set clip params", 8, 2},
    {"config qel set pos params", "config qel ack set pos params", 8, 2},
    {"config qel set video params", "config qel ack set video params", 12, 2},
    {"config qel set encoder params", "config qel ack set encoder params", 8, 2},
    {"config qel get encoder params", "config qel ack get encoder params", 2, 9},
    {"config qel set decoder params", "config qel ack set decoder params", 6, 2},
    {"config qel get decoder params", "config qel ack get decoder params", 2, 7},
    {"config qel set decoders display ip", "config qel ack set decoders display ip", 0, 2},
    {"config qel set cutedge params", "config qel ack set cutedge params", 3, 2},
    {"config qel set serial params", "config qel ack set serial params", 8, 2},
    {"config qel get serial params", "config qel ack get serial params", 2, 9},
    {"config qel set serialbynet", "config qel ack set serialbynet", 4, 2},
    {"config qel get serialbynet", "config qel ack get serialbynet", 2, 9},
    {"config qel set update file", "config qel ack set update file", 3, 2},
    {"config qel set decoder name", "config qel ack set decoder name", 2, 2},
    {"config qel set encoder name", "config qel ack set encoder name", 2, 2},
    {"config qel set ipsource name", "config qel ack set ipsource name", 2, 2},
    {"config qel set splitundis params", "config qel ack set splitundis params", 3, 2},
    {"config qel set mul hide params", "config qel ack set mul hide params", 2, 2},
    {"config qel set normal hide params", "config qel ack set normal hide params", 3, 2},
    {"config qel set device restorefactory", "config qel ack set device restorefactory", 1, 2},
    {"config qel flash device led", "config qel ack flash device led", 1, 2},
    {"config qel set serial send", "config qel ack set serial send", 2, 2},
    {"config qel show device", "config qel ack show device", 1, 2},
    {"config qel set rx display ip", "config qel ack set rx display ip", 1, 2},
    {"config qel set netandname params", "config qel ack set netandname params", 5, 2},
    {"config qel set internalcmd", "config qel ack set internalcmd", 2, 2},
    {"config qel set hdmiout", "config qel ack set hdmiout", 2, 2},
    {nullptr, nullptr, 0, 0},
};

int findQelDevCmdRow(const char* text) {
    if (text == nullptr) return -1;
    for (int r = QEL_DEV_CMD_FIRST_SENT; r < QEL_DEV_CMD_COUNT; r++) {
        const char* prefix = strConfigCmd[r];
        if (strncmp(text, prefix, strlen(prefix)) == 0) return r;
    }
    return -1;
}

int buildQelDevWire(const char* text, int row, char* out, size_t outSize) {
    if (out == nullptr || outSize == 0) return -1;
    out[0] = '\0';
    if (text == nullptr || row < QEL_DEV_CMD_FIRST_SENT || row >= QEL_DEV_CMD_COUNT) return -1;
    size_t prefixLen = strlen(strConfigCmd[row]);
    if (strncmp(text, strConfigCmd[row], prefixLen) != 0) return -1;
    const char* rest = text + prefixLen;
    size_t cmdLen = strlen(QelDevCmd[row].cmd);
    size_t restLen = strlen(rest);
    if (cmdLen + restLen >= outSize) return -1;
    memcpy(out, QelDevCmd[row].cmd, cmdLen);
    memcpy(out + cmdLen, rest, restLen);
    out[cmdLen + restLen] = '\0';
    return static_cast<int>(cmdLen + restLen);
}

int splitQelDevReply(const char* reply, size_t len, int maxFields,
                     std::vector<std::string>& fields) {
    fields.clear();
    if (reply == nullptr || maxFields <= 0) return 0;
    // The buffer need not be terminated: only its first len bytes, up to a NUL, are the reply.
    const std::string text(reply, strnlen(reply, len));
    fields = devtext::splitHashFields(text.c_str(), static_cast<size_t>(maxFields));
    return static_cast<int>(fields.size());
}

bool parseQelDevAck(const char* reply, size_t len, int row, std::vector<std::string>& fields) {
    if (row < 0 || row >= QEL_DEV_CMD_COUNT) {
        fields.clear();
        return false;
    }
    const QelDevCmdRow& r = QelDevCmd[row];
    int want = r.ackFieldCount + 1;
    splitQelDevReply(reply, len, want, fields);
    fields.resize(want);
    return devtext::isAcceptedReply(fields, r.ack);
}

bool isQelDevAddress(const char* text) {
    if (text == nullptr || text[0] == '\0' || strlen(text) > 15) return false;
    struct in_addr a;
    return inet_pton(AF_INET, text, &a) == 1;
}
