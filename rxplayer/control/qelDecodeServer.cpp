#include "control/qelDecodeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "control/qelDecode.h"
#include "control/qelDecodeSettings.h"
#include "control/qelGet_ip.h"

void ReplySink::reply(const char* text) {
    reply(text, strlen(text), ReplyFrom::AckSocket);
}

namespace {

void cmdGetDecoders(char**, ReplySink& out) {
    broadCastSend();
    char t[QEL_DATAGRAM_MAX];
    int n = formatDiscovery(t, sizeof t);
    out.reply(t, static_cast<size_t>(n), ReplyFrom::AckSocket);
}

void cmdAreYouRaro(char**, ReplySink& out) {
    broadCastSendOrg();
    char t[QEL_DATAGRAM_MAX];
    int n = formatDiscoveryOrg(t, sizeof t);
    out.reply(t, static_cast<size_t>(n), ReplyFrom::AckSocket);
}

void cmdConnect(char**, ReplySink& out) {
    out.reply("connected");
    puts("connected");
}

}  // namespace

// In match order: a literal that begins a later one must stay below it.
const CommandRow kCommandRows[] = {
    {"config qel get decoders", 0, Target::None, false, false, cmdGetDecoders},
    {"Are you RARO_Decoder?", 0, Target::None, false, false, cmdAreYouRaro},
    {"connect", 0, Target::None, false, false, cmdConnect},
    {"config qel set reboot", 1, Target::Ip, false, false, cmdReboot},
    {"config qel flash device led", 1, Target::Ip, false, false, cmdFlashLed},
    {"config qel show device", 1, Target::IpOrBroadcast, false, false, cmdShowDevice},
    {"config qel set device restorefactory", 1, Target::Ip, false, false, cmdRestoreFactory},
    {"config qel set connect", 1, Target::Ip, false, false, cmdSetConnect},
    {"config qel set rx display ip", 1, Target::Ip, false, false, cmdRxDisplayIp},
    {"config qel get url params", 2, Target::Ip, false, false, cmdGetUrlParams},
    {"config qel set serialbynet", 4, Target::Ip, false, false, cmdSerialByNet},
    {"config qel set serial params", 8, Target::Ip, false, false, cmdSerialParams},
    {"config qel set serial send", 4, Target::Ip, false, false, cmdSerialSend},
    {"config qel set decoder params", 6, Target::Ip, false, false, cmdDecoderParams},
    {"config qel set cutedge params", 3, Target::Ip, false, false, cmdCutEdge},
    {"config qel set decoder name", 2, Target::Ip, false, false, cmdDecoderName},
    {"config qel set net params", 4, Target::Mac, false, false, cmdNetParams},
    {"config qel set netandname params", 5, Target::Mac, false, false, cmdNetAndNameParams},
    {"config qel set decoders display ip", 0, Target::None, true, false, cmdDecodersDisplayIp},
    {"config qel set splitundis params", 3, Target::Ip, true, false, cmdSplitUndisParams},
    {"config qel set split params", 3, Target::Ip, true, false, cmdSplitParams},
    {"config qel set url params", 3, Target::Ip, true, false, cmdUrlParams, true},
    {"config qel set layer params", 3, Target::Ip, true, false, cmdLayerParams},
    {"config qel set display params", 3, Target::Ip, true, false, cmdDisplayParams},
    {"config qel set clip params", 8, Target::Ip, true, false, cmdClipParams},
    {"config qel set pos params", 8, Target::Ip, true, false, cmdPosParams},
    {"config qel set video params", 12, Target::Ip, true, false, cmdVideoParams},
    {"config qel set normal hide params", 3, Target::Ip, true, false, cmdNormalHideParams},
    {"config qel set mul hide params", 2, Target::None, false, false, cmdMulHideParams},
    {"config qel set internalcmd", 2, Target::Ip, false, false, cmdInternalCmd},
    {"config qel set hdmiout", 2, Target::Ip, false, false, cmdHdmiOut},
    {"SetSysCmd", 2, Target::Ip, false, true, cmdSetSysCmd},
    {"SetSyncMode", 1, Target::None, true, true, cmdSetSyncMode},
    {"SetSyncTimeOffset", 3, Target::Ip, true, true, cmdSetSyncTimeOffset},
    {"SetSyncTime", 4, Target::IpOrAllDecoder, true, true, cmdSetSyncTime},
    {"SetSplitPara", 3, Target::Ip, true, true, cmdSetSplitPara},
    {"SetUrlPara", 3, Target::Ip, true, true, cmdSetUrlPara},
    {"SetLayerPara", 3, Target::Ip, true, true, cmdSetLayerPara},
    {"SetDisplayPara", 3, Target::Ip, true, true, cmdSetDisplayPara},
    {"SetClipPara", 8, Target::Ip, true, true, cmdSetClipPara},
    {"SetPosPara", 8, Target::Ip, true, true, cmdSetPosPara},
    {"SetVideoPara", 12, Target::Ip, true, true, cmdSetVideoPara},
};
const int kCommandRowCount = static_cast<int>(sizeof kCommandRows / sizeof kCommandRows[0]);

const CommandRow* matchCommand(const char* text) {
    return matchCommandIn(kCommandRows, kCommandRowCount, text);
}

const CommandRow* matchCommandIn(const CommandRow* rows, int count, const char* text) {
    for (int i = 0; i < count; ++i) {
        const CommandRow& r = rows[i];
        if (strncmp(text, r.literal, strlen(r.literal)) != 0) continue;
        if (r.only18 && windows != 18) continue;
        return &r;
    }
    return nullptr;
}

int splitFields(char* text, size_t len, size_t start, int n, char** str) {
    str[0] = text;
    int found = 0;
    for (size_t i = start; i < len && found < n; ++i) {
        if (text[i] != ' ') continue;
        text[i] = 0;
        str[++found] = &text[i + 1];
        if (i + 1 >= len) return -1;
    }
    return found;
}

namespace {

// The controller ends some texts in a blank and a line end ("config qel set rx display ip
// 10.77.0.2 \n"), which a command of one field keeps in its address: the address is read
// without its trailing blanks and line ends. nullptr for a field too long to be an address.
const char* trimmedAddress(const char* field, char* buf, size_t size) {
    if (field == nullptr) return nullptr;
    size_t n = strlen(field);
    while (n > 0 && strchr(" \t\r\n", field[n - 1]) != nullptr) --n;
    if (n >= size) return nullptr;
    memcpy(buf, field, n);
    buf[n] = 0;
    return buf;
}

}  // namespace

bool targetMatches(Target target, const char* field) {
    if (target == Target::None || target == Target::Mac) return true;  // MACs: the verbs compare
    char buf[64];
    const char* field1 = trimmedAddress(field, buf, sizeof buf);
    if (field1 == nullptr) return false;
    switch (target) {
        case Target::IpOrBroadcast:
            if (strcmp(field1, "255.255.255.255") == 0) return true;
            return isOwnAddress(field1);
        case Target::IpOrAllDecoder:
            if (strcmp(field1, "ALLDECODER") == 0) return true;
            return isOwnAddress(field1);
        default:
            return isOwnAddress(field1);
    }
}

bool fieldInt(const char* field, int* v) {
    if (field == nullptr) return false;
    char* end = nullptr;
    errno = 0;
    long n = strtol(field, &end, 10);
    // A number too big for an int is refused rather than wrapped into a value it never was.
    if (end == field || errno == ERANGE || n < INT_MIN || n > INT_MAX) return false;
    *v = static_cast<int>(n);
    return true;
}

int fieldNumber(const char* field) {
    int v;
    return fieldInt(field, &v) ? v : -1;
}

void handleCommand(char* text, ReplySink& out) {
    handleCommandIn(kCommandRows, kCommandRowCount, text, out);
}

void handleCommandIn(const CommandRow* rows, int count, char* text, ReplySink& out) {
    const CommandRow* row = matchCommandIn(rows, count, text);
    if (row == nullptr || row->handler == nullptr) return;
    size_t len = strnlen(text, QEL_DATAGRAM_MAX);
    char* str[QEL_MAX_FIELDS + 1] = {nullptr};
    int n = row->fields > QEL_MAX_FIELDS ? QEL_MAX_FIELDS : row->fields;
    int found = splitFields(text, len, row->fromStart ? 0 : strlen(row->literal), n, str);
    // A text ending in the blank before its last field has that field empty.
    if (found < 0 && row->emptyLast && n > 0 && str[n] != nullptr) found = n;
    if (found < n) return;
    if (n > 0 && row->target != Target::None && !targetMatches(row->target, str[1])) return;
    if (row->target == Target::Mac && str[1][0] == 0) return;
    row->handler(str, out);
}

bool bindAnyAddress(int fd, int port) {
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    return bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

namespace {

class UdpReplySink : public ReplySink {
public:
    UdpReplySink(int cmdFd, int ackFd, const sockaddr_in& to)
        : cmdFd_(cmdFd), ackFd_(ackFd), to_(to) {}
    void reply(const char* data, size_t len, ReplyFrom from) override {
        sendto(from == ReplyFrom::AckSocket ? ackFd_ : cmdFd_, data, len, 0,
               reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
    }
    using ReplySink::reply;

private:
    int cmdFd_, ackFd_;
    sockaddr_in to_;
};

int boundSocket(int port, const char* socketError) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        fprintf(stderr, "%s\n", socketError);
        exit(1);
    }
    int on = 1;
    // Replies to a broadcast question go back to where it came from, which may be a broadcast.
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (!bindAnyAddress(fd, port)) {
        fprintf(stderr, "bind error\n");
        exit(1);
    }
    return fd;
}

}  // namespace

ssize_t receiveDatagram(int fd, char* buf, size_t max, sockaddr_in* from, const char* what) {
    socklen_t alen = sizeof *from;
    // MSG_TRUNC makes the receive tell the datagram's whole length, so a longer one is seen.
    ssize_t n = recvfrom(fd, buf, max, MSG_TRUNC, reinterpret_cast<sockaddr*>(from), &alen);
    if (n < 0 || static_cast<size_t>(n) <= max) return n;
    printf("%s: datagram of %zd bytes dropped, at most %zu are taken\n", what, n, max);
    return -2;
}

void udpServe(int cmdFd, int ackFd) {
    // A receive wakes at least twice a second so that the thread sees loop cleared.
    timeval tv{0, 500 * 1000};
    setsockopt(cmdFd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    // One byte more than a datagram may hold, so that the text is always terminated.
    char buffer[QEL_DATAGRAM_MAX + 1];
    int errors = 0;
    while (loop) {
        memset(buffer, 0, sizeof buffer);
        sockaddr_in their_addr;
        ssize_t n = receiveDatagram(cmdFd, buffer, QEL_DATAGRAM_MAX, &their_addr, "udp 8888");
        // A datagram longer than the buffer is dropped whole rather than cut.
        if (n == -2) continue;
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            // A receive error does not end the service: try again, pausing when it repeats.
            fprintf(stderr, "recvfrom error: %s\n", strerror(errno));
            if (++errors > 3) usleep(200 * 1000);
            continue;
        }
        errors = 0;
        buffer[n] = 0;
        UdpReplySink sink(cmdFd, ackFd, their_addr);
        handleCommand(buffer, sink);
    }
}

int udp_thread(void*) {
    int cmdFd = boundSocket(QEL_CMD_PORT, "socket error");
    printf("setup udp with port: %d!\n", QEL_CMD_PORT);
    int ackFd = boundSocket(QEL_ACK_PORT, "socketack error");
    puts("setup udp with port: 8887!");
    udpServe(cmdFd, ackFd);
    close(cmdFd);
    close(ackFd);
    return 0;
}
