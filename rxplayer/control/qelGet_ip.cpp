#include "control/qelGet_ip.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <regex.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "box/Box.h"
#include "control/qelDecode.h"
#include "control/qelDecodeSettings.h"

unsigned char IP_info[2][128];
unsigned char MAC_info[2][128];
unsigned char MASK_info[2][128];
unsigned char GW_info[2][128];
netPm MyNetParam;
std::recursive_mutex gNetLock;
unsigned char buffer_BroadCast[1024];

namespace {

char* text(unsigned char* t) {
    return reinterpret_cast<char*>(t);
}

std::string addressText(const struct sockaddr& sa) {
    const struct sockaddr_in* in = reinterpret_cast<const struct sockaddr_in*>(&sa);
    char buf[INET_ADDRSTRLEN] = {0};
    inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf);
    return buf;
}

void storeEntry(int idx, const std::string& mac, const std::string& mask, const std::string& ip) {
    std::lock_guard<std::recursive_mutex> g(gNetLock);
    copyText(text(MAC_info[idx]), 128, mac.c_str());
    copyText(text(MASK_info[idx]), 128, mask.c_str());
    copyText(text(IP_info[idx]), 128, ip.c_str());
}

// The gateway of the route table: the first "default" line; for eth0 the first run of digits
// and dots in it.
void readGateway() {
    FILE* f = box::popen("route");
    if (!f) {
        printf("popen error: %s\n", strerror(errno));
        return;
    }
    char row[512];
    bool found = false;
    while (fgets(row, sizeof row, f)) {
        if (strncmp(row, "default", 7) != 0) continue;
        found = true;
        if (strstr(row, "eth0")) {
            const char* p = row;
            while (*p && !(isdigit(static_cast<unsigned char>(*p)) || *p == '.')) ++p;
            size_t n = 0;
            while (p[n] && (isdigit(static_cast<unsigned char>(p[n])) || p[n] == '.')) ++n;
            std::string gw(p, n);
            std::lock_guard<std::recursive_mutex> g(gNetLock);
            copyText(text(GW_info[0]), 128, gw.c_str());
        }
        break;
    }
    box::pclose(f);
    if (!found) {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        copyText(text(GW_info[0]), 128, "No_Gateway");
    }
}

}  // namespace

unsigned int get_IP_MAC(void) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        fprintf(stderr, "socket failed\n");
        return 0;
    }
    struct ifreq reqs[16];
    struct ifconf ifc;
    memset(reqs, 0, sizeof reqs);
    ifc.ifc_len = sizeof reqs;
    ifc.ifc_req = reqs;
    if (ioctl(fd, SIOCGIFCONF, &ifc) != 0) {
        fprintf(stderr, "ioctl failed\n");
        close(fd);
        return 0;
    }
    int count = ifc.ifc_len / static_cast<int>(sizeof(struct ifreq));
    // With no interface listed there is nothing to query: the tables stay as they were.
    if (count <= 0) {
        close(fd);
        return 0;
    }
    {
        struct ifreq last = reqs[count - 1];
        if (ioctl(fd, SIOCGIFADDR, &last) != 0) {
            fprintf(stderr, "ioctl failed\n");
            close(fd);
            return 0;
        }
    }
    unsigned int seen = 0;
    for (int i = 0; i < count; ++i) {
        struct ifreq r = reqs[i];
        std::string ip = addressText(r.ifr_addr);
        if (ip == "127.0.0.1") continue;
        ++seen;
        std::string mac = "empty", mask = "empty";
        struct ifreq q = reqs[i];
        if (ioctl(fd, SIOCGIFHWADDR, &q) == 0) {
            const unsigned char* h = reinterpret_cast<const unsigned char*>(q.ifr_hwaddr.sa_data);
            char m[32];
            snprintf(m, sizeof m, "%02X:%02X:%02X:%02X:%02X:%02X", h[0], h[1], h[2], h[3], h[4],
                     h[5]);
            mac = m;
        } else {
            printf("ioctl error ");
        }
        printf("macTemp = %s \n", mac.c_str());
        q = reqs[i];
        if (ioctl(fd, SIOCGIFNETMASK, &q) == 0)
            mask = addressText(q.ifr_netmask);
        else
            printf("ioctl error ");
        printf("maskTemp = %s \n", mask.c_str());
        char name[IFNAMSIZ + 1] = {0};
        memcpy(name, r.ifr_name, IFNAMSIZ);
        if (strcmp(name, "eth0") == 0)
            storeEntry(0, mac, mask, ip);
        else if (strcmp(name, "eth1") == 0)
            storeEntry(1, mac, mask, ip);
    }
    close(fd);
    readGateway();
    return seen;
}

void fillNetParamFromTables() {
    std::lock_guard<std::recursive_mutex> g(gNetLock);
    copyText(MyNetParam.IP, sizeof MyNetParam.IP, text(IP_info[0]));
    copyText(MyNetParam.Mac, sizeof MyNetParam.Mac, text(MAC_info[0]));
    copyText(MyNetParam.Gateway, sizeof MyNetParam.Gateway, text(GW_info[0]));
    copyText(MyNetParam.Netmask, sizeof MyNetParam.Netmask, text(MASK_info[0]));
}

int checkValidIP(const unsigned char* ipText) {
    if (ipText == nullptr) return -1;
    const char* ip = reinterpret_cast<const char*>(ipText);
    size_t len = strlen(ip);
    if (len > 15) return -1;
    int dots = 0;
    for (size_t i = 0; i < len; ++i) {
        if (ip[i] == '.')
            ++dots;
        else if (!isdigit(static_cast<unsigned char>(ip[i])))
            return -1;
    }
    if (dots > 3) return -1;
    char copy[16];
    copyText(copy, sizeof copy, ip);
    int iCnt = 0;
    char* save = nullptr;
    for (char* part = strtok_r(copy, ".", &save); part; part = strtok_r(nullptr, ".", &save)) {
        int iTmp = atoi(part);
        printf("iCnt : %d iTmp: %d \n", iCnt, iTmp);
        if (iTmp > 254) return -1;
        ++iCnt;
    }
    printf("iCnt : %d \n", iCnt);
    return iCnt == 4 ? 0 : -1;
}

int ereg(const char* pattern, const char* subject) {
    regex_t re;
    int rc = regcomp(&re, pattern, 0);
    if (rc != 0) {
        regfree(&re);
        return rc;
    }
    regmatch_t m[10];
    rc = regexec(&re, subject, 10, m, 0);
    regfree(&re);
    return rc;
}

int checkValidMAC(const unsigned char* mac) {
    if (mac == nullptr) return -1;
    return ereg("^[0-9A-Fa-f]\\([0-9A-Fa-f]\\:[0-9A-Fa-f]\\)\\{5\\}[0-9A-Fa-f]$",
                reinterpret_cast<const char*>(mac));
}

void* deleteChar(char* str, char c) {
    if (str == nullptr) return str;
    char* w = str;
    for (char* r = str; *r; ++r)
        if (*r != c) *w++ = *r;
    *w = 0;
    return str;
}

void SetMacParam(const char* MacAddr) {
    if (MacAddr == nullptr) return;
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        if (strcmp(MacAddr, text(MAC_info[0])) == 0) return;
        copyText(MyNetParam.Mac, sizeof MyNetParam.Mac, MacAddr);
    }
    char cmd[128];
    snprintf(cmd, sizeof cmd, "ifconfig eth0 hw ether %s", MacAddr);
    FILE* f = fopen(box::path("/mnt/MacConfig").c_str(), "wb");
    if (!f) return;
    fputs(cmd, f);
    fclose(f);
    box::system("ifconfig eth0 down");
    usleep(100 * 1000);
    box::system(cmd);
    usleep(100 * 1000);
    box::system("ifconfig eth0 up");
    usleep(500 * 1000);
    get_IP_MAC();
}

namespace {

bool writeLine(const char* boxPath, const std::string& command) {
    FILE* f = fopen(box::path(boxPath).c_str(), "wb");
    if (!f) return false;
    fputs(command.c_str(), f);
    fclose(f);
    return true;
}

}  // namespace

void SetNetParam(const char* IPAddr, const char* MacAddr, const char* Netmask,
                 const char* Gateway) {
    if (!IPAddr || !MacAddr || !Netmask || !Gateway) return;
    std::lock_guard<std::recursive_mutex> g(gNetLock);
    printf("MyNetParam.IP: %s \n", MyNetParam.IP);
    printf("MyNetParam.Mac: %s \n", MyNetParam.Mac);
    printf("MyNetParam.Netmask: %s \n", MyNetParam.Netmask);
    printf("MyNetParam.Gateway: %s \n", MyNetParam.Gateway);
    printf("IPAddr: %s \n", IPAddr);
    printf("MacAddr: %s \n", MacAddr);
    printf("Netmask: %s \n", Netmask);
    printf("Gateway: %s \n", Gateway);
    printf("Len  MyNetParam.IP: %d   IPAddr: %d \n", static_cast<int>(strlen(MyNetParam.IP)),
           static_cast<int>(strlen(IPAddr)));
    if (strcmp(IPAddr, MyNetParam.IP) != 0) {
        copyText(MyNetParam.IP, sizeof MyNetParam.IP, IPAddr);
        std::string cmd = std::string("ifconfig eth0 ") + MyNetParam.IP;
        printf("IP Cmd: %s \n", cmd.c_str());
        if (!writeLine("/mnt/IPConfig", cmd)) return;
    }
    if (strcmp(Netmask, MyNetParam.Netmask) != 0) {
        copyText(MyNetParam.Netmask, sizeof MyNetParam.Netmask, Netmask);
        std::string cmd = std::string("ifconfig eth0 netmask ") + MyNetParam.Netmask;
        if (!writeLine("/mnt/NetmaskConfig", cmd)) return;
        printf("Net Mask Cmd: %s \n", cmd.c_str());
    }
    if (strncmp(Gateway, "No_Gateway", 10) == 0) return;
    if (strcmp(Gateway, MyNetParam.Gateway) != 0) {
        copyText(MyNetParam.Gateway, sizeof MyNetParam.Gateway, Gateway);
        std::string cmd = std::string("route add default gw ") + MyNetParam.Gateway;
        writeLine("/mnt/GatewayConfig", cmd);
        printf("GW Cmd: %s \n", cmd.c_str());
    }
}

int formatDiscovery(char* out, int size) {
    netPm net;
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        net = MyNetParam;
    }
    std::lock_guard<std::mutex> g(gTextLock);
    int n = snprintf(out, size,
                     "config qel ack get decoders #SUCCEED #%s #%s #%s #%d #%d #%d #%d #%d #%d #%d "
                     "#%d #%d #%d #%s #%s #%s #%d",
                     net.Mac, net.Netmask, net.Gateway, Luma.load(), Contrast.load(), Hue.load(),
                     Satuature.load(), AudioOutput.load(), Serial_BaudRate.load(),
                     Serial_DataBits.load(), Serial_Parity.load(), Serial_StopBits.load(),
                     Serial_Enable.load(), reinterpret_cast<const char*>(Serial_DestIP),
                     QEL_VERSION_STRING, reinterpret_cast<const char*>(decoder_Name),
                     iSplit_Num.load());
    return n < 0 ? 0 : (n < size ? n : size - 1);
}

int formatDiscoveryOrg(char* out, int size) {
    std::lock_guard<std::recursive_mutex> g(gNetLock);
    int n =
        snprintf(out, size, "I'm RARO_Decoder! and My hwaddr is: %s Netmask is: %s Gateway is: %s",
                 MyNetParam.Mac, MyNetParam.Netmask, MyNetParam.Gateway);
    return n < 0 ? 0 : (n < size ? n : size - 1);
}

namespace {

int broadcastText(const char* data, int len) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        fprintf(stderr, "socket error\n");
        return -1;
    }
    int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        printf("set socket error...\n");
        close(fd);
        return -1;
    }
    struct sockaddr_in to;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(8888);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    sendto(fd, data, static_cast<size_t>(len), 0, reinterpret_cast<struct sockaddr*>(&to),
           sizeof to);
    close(fd);
    return 0;
}

}  // namespace

int broadCastSend(void) {
    char t[sizeof buffer_BroadCast];
    int n = formatDiscovery(t, sizeof t);
    memcpy(buffer_BroadCast, t, static_cast<size_t>(n) + 1);
    printf("buffer_BroadCast: %s \n", t);
    return broadcastText(t, n);
}

int broadCastSendOrg(void) {
    char t[sizeof buffer_BroadCast];
    int n = formatDiscoveryOrg(t, sizeof t);
    memcpy(buffer_BroadCast, t, static_cast<size_t>(n) + 1);
    return broadcastText(t, n);
}

bool isOwnAddress(const char* field) {
    if (field == nullptr || field[0] == 0 || strcmp(field, "empty") == 0) return false;
    std::lock_guard<std::recursive_mutex> g(gNetLock);
    return strcmp(field, text(IP_info[0])) == 0 || strcmp(field, text(IP_info[1])) == 0;
}

int w_isalmun(char cChr) {
    return cChr >= '0' && cChr <= '9' ? 1 : 0;
}

void DbgOut(const char*) {}
