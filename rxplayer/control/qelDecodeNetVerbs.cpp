// The network and serial verbs of the device protocol, and the MAC commands of the TCP server.
#include <arpa/inet.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "box/Box.h"
#include "control/qelDecode.h"
#include "control/qelDecodeServer.h"
#include "control/qelDecodeSettings.h"
#include "control/qelGet_ip.h"
#include "control/qelSerial.h"
#include "display/qel_misc.h"

namespace {

char* text(unsigned char* t) {
    return reinterpret_cast<char*>(t);
}

// Four numbers 0-255 joined by dots, nothing else.
bool dottedQuad(const char* s) {
    int parts = 0;
    while (true) {
        size_t digits = 0;
        int v = 0;
        while (digits < 4 && isdigit(static_cast<unsigned char>(s[digits])))
            v = v * 10 + (s[digits++] - '0');
        if (digits == 0 || digits > 3 || v > 255) return false;
        s += digits;
        if (++parts == 4) return *s == 0;
        if (*s++ != '.') return false;
    }
}

bool emptyOrDottedQuad(const char* s) {
    return s[0] == 0 || dottedQuad(s);
}

// A dotted quad as a host-order word; false when the text is none.
bool quadValue(const char* s, uint32_t* v) {
    in_addr a;
    if (!dottedQuad(s) || inet_pton(AF_INET, s, &a) != 1) return false;
    *v = ntohl(a.s_addr);
    return true;
}

// An address the box can still be reached at once it has it: its last part is neither 0 nor
// 255 and, under the netmask (when one is known), the mask is a run of ones that leaves room
// for hosts and the address is neither the network's own nor its broadcast address.
bool reachableAddress(const char* ip, const char* mask) {
    uint32_t a, m;
    if (!quadValue(ip, &a)) return false;
    if ((a & 0xFF) == 0 || (a & 0xFF) == 0xFF) return false;
    if (!quadValue(mask, &m)) return true;
    uint32_t host = ~m;
    if ((host & (host + 1)) != 0 || host <= 1) return false;
    return (a & host) != 0 && (a & host) != host;
}

// A MAC target matches the interface's MAC as exact text, never an unknown one.
bool macMatches(int iface, const char* mac) {
    if (mac[0] == 0 || strcmp(mac, "empty") == 0) return false;
    std::lock_guard<std::recursive_mutex> g(gNetLock);
    return strcmp(mac, text(MAC_info[iface])) == 0;
}

struct NetFields {
    const char* mac;
    const char* ip;
    const char* mask;
    const char* gw;    // "" or "No_Gateway": no route command
    const char* name;  // nullptr: the command carries no name
};

// Applies a new address (and netmask and gateway when given) to one interface, records the
// commands in the network scripts and replies; the box restarts when the address changed.
void applyNet(int iface, const NetFields& f, const char* reply, ReplySink& out) {
    const char* dev = iface == 0 ? "eth0" : "eth1";
    char cmd[128];
    if (f.mask[0])
        snprintf(cmd, sizeof cmd, "ifconfig %s %s netmask %s", dev, f.ip, f.mask);
    else
        snprintf(cmd, sizeof cmd, "ifconfig %s %s", dev, f.ip);
    bool reboot;
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        if (f.mask[0]) copyText(text(MASK_info[iface]), 128, f.mask);
    }
    box::system(cmd);
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        reboot = strcmp(f.ip, text(IP_info[iface])) != 0;
        copyText(text(IP_info[iface]), 128, f.ip);
    }
    iWriteTofile(cmd, 1);
    bool gateway = f.gw[0] != 0 && strcmp(f.gw, "No_Gateway") != 0;
    if (gateway) {
        char route[128];
        snprintf(route, sizeof route, "route add default gw %s", f.gw);
        box::system(route);
        {
            std::lock_guard<std::recursive_mutex> g(gNetLock);
            copyText(text(GW_info[iface]), 128, f.gw);
        }
        iWrite_GW(route, 0);
    }
    if (f.name && f.name[0]) setDecoderName(f.name);
    out.reply(reply);
    if (iface == 0) {
        flg_eth0 = static_cast<signed char>(255);
        // The start-up files describe eth0; an empty netmask or gateway keeps the stored one.
        std::string mask;
        {
            std::lock_guard<std::recursive_mutex> g(gNetLock);
            mask = f.mask[0] ? f.mask : MyNetParam.Netmask;
        }
        SetNetParam(f.ip, f.mac, mask.c_str(), gateway ? f.gw : "No_Gateway");
    } else {
        flg_eth1 = static_cast<signed char>(255);
    }
    iDisplayCurInfoIP = 1;
    ledPositioning();
    if (reboot) {
        usleep(500 * 1000);
        box::system("reboot");
    }
}

void netVerb(const NetFields& f, const char* reply, ReplySink& out) {
    if (f.ip[0] == 0 || checkValidIP(reinterpret_cast<const unsigned char*>(f.ip)) != 0) return;
    // Whatever is not an address is never put into a shell command.
    if (!emptyOrDottedQuad(f.mask)) return;
    if (strcmp(f.gw, "No_Gateway") != 0 && !emptyOrDottedQuad(f.gw)) return;
    // A name the discovery answer cannot carry refuses the whole command, before anything runs.
    char name[QEL_NAME_SIZE];
    if (f.name && f.name[0] && !decoderNameOf(f.name, name, sizeof name)) {
        printf("name refused: %s\n", f.name);
        return;
    }
    // Each interface on its own: the MAC names the one to change.
    for (int iface = 0; iface < 2; ++iface) {
        if (!macMatches(iface, f.mac)) continue;
        std::string mask = f.mask;
        if (mask.empty()) {
            std::lock_guard<std::recursive_mutex> g(gNetLock);
            mask = text(MASK_info[iface]);
        }
        // The box would come back where nobody can reach it: change nothing.
        if (!reachableAddress(f.ip, mask.c_str())) {
            printf("address %s netmask %s refused: no host can have it\n", f.ip, mask.c_str());
            continue;
        }
        applyNet(iface, f, reply, out);
    }
}

// The serial destination: an address, or the broadcast address written out; the change mark
// is set when it changed.
void serialDestination(const char* dest) {
    if (dest[0] == 0) return;
    if (strcmp(dest, "255.255.255.255") != 0 &&
        checkValidIP(reinterpret_cast<const unsigned char*>(dest)) != 0)
        return;
    std::lock_guard<std::mutex> g(gTextLock);
    if (strcmp(dest, text(Serial_DestIP)) == 0) return;
    copyText(text(Serial_DestIP), sizeof Serial_DestIP, dest);
    iSerial_changed = 1;
}

// A changed serial setting is written, then the bridge is asked to reopen the port.
void saveSerialWhenChanged() {
    if (iSerial_changed != 1) return;
    puts("saveSerialConfig ");
    saveSerialConfig();
    iSerial_changed = 2;
}

// The payload of a hex send: at most 64 bytes and the line end.
const int kHexMax = 64;

// Reads the blank-separated tokens of data as bytes; -1 when a token holds no hex digit.
int hexBytes(const char* data, unsigned char* bytes) {
    char copy[QEL_DATAGRAM_MAX + 1];
    copyText(copy, sizeof copy, data);
    int n = 0;
    char* save = nullptr;
    for (char* t = strtok_r(copy, " ", &save); t && n < kHexMax;
         t = strtok_r(nullptr, " ", &save)) {
        unsigned int b;
        if (sscanf(t, "%02x", &b) != 1) return -1;
        bytes[n++] = static_cast<unsigned char>(b);
    }
    return n;
}

}  // namespace

void cmdNetParams(char** str, ReplySink& out) {
    netVerb({str[1], str[2], str[3], str[4], nullptr}, "config qel ack set net params #SUCCEED ",
            out);
}

void cmdNetAndNameParams(char** str, ReplySink& out) {
    netVerb({str[1], str[2], str[3], str[4], str[5]},
            "config qel ack set netandname params #SUCCEED ", out);
}

void cmdSerialByNet(char** str, ReplySink& out) {
    serialDestination(str[4]);
    int enable;
    if (fieldInt(str[2], &enable) && enable != Serial_Enable) {
        Serial_Enable = enable;
        iSerial_changed = 1;
    }
    saveSerialWhenChanged();
    out.reply("config qel ack set serialbynet #SUCCEED ");
}

void cmdSerialParams(char** str, ReplySink& out) {
    serialDestination(str[8]);
    std::atomic<int>* settings[5] = {&Serial_BaudRate, &Serial_DataBits, &Serial_Parity,
                                     &Serial_StopBits, &Serial_Enable};
    // The values are stored as given; the bridge maps unknown ones when it opens the port. A
    // field without a number keeps its setting.
    int v[5];
    bool changed = false;
    for (int i = 0; i < 5; ++i) {
        v[i] = *settings[i];
        if (fieldInt(str[2 + i], &v[i]) && v[i] != *settings[i]) changed = true;
    }
    if (changed) {
        for (int i = 0; i < 5; ++i) *settings[i] = v[i];
        iSerial_changed = 1;
    }
    saveSerialWhenChanged();
    out.reply("config qel ack set serial params #SUCCEED ");
}

void cmdSerialSend(char** str, ReplySink& out) {
    bool lineEnd = strcmp(str[3], "1") == 0;
    if (strcmp(str[2], "str") == 0) {
        char data[QEL_DATAGRAM_MAX + 3];
        int n = snprintf(data, sizeof data, "%s%s", str[4], lineEnd ? "\n\r" : "");
        serialWrite(data, static_cast<size_t>(n));
    } else if (strcmp(str[2], "hex") == 0) {
        unsigned char bytes[kHexMax + 2];
        int n = hexBytes(str[4], bytes);
        if (n >= 0) {
            if (lineEnd) {
                bytes[n++] = 10;
                bytes[n++] = 13;
            }
            if (n > 0) serialWrite(bytes, static_cast<size_t>(n));
        }
    }
    out.reply("config qel ack set serial send #SUCCEED ");
}

bool cleanNewMac(char* mac) {
    deleteChar(mac, ' ');
    return mac[0] != 0 && checkValidMAC(reinterpret_cast<const unsigned char*>(mac)) == 0;
}

void changeMac(const char* mac) {
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        if (strcmp(mac, text(MAC_info[0])) == 0) return;
    }
    flg_eth0 = static_cast<signed char>(255);
    SetMacParam(mac);
}

void cmdGetMac(char**, ReplySink& out) {
    char t[64];
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        snprintf(t, sizeof t, " %s ", MyNetParam.Mac);
    }
    out.reply(t);
}

void cmdSetMac(char** str, ReplySink& out) {
    if (!cleanNewMac(str[1])) {
        out.reply(" #FAILED ");
        return;
    }
    out.reply(" #SUCCEED ");
    changeMac(str[1]);
}
