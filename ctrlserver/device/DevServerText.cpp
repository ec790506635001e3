#include "device/DevServerText.h"

#include <arpa/inet.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace devtext {

namespace {

std::vector<std::string> splitAt(const char* text, char sep, size_t maxFields) {
    std::vector<std::string> out;
    if (!text) return out;
    const char* p = text;
    while (out.size() < maxFields) {
        while (*p == sep) ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && *p != sep) ++p;
        out.emplace_back(start, p - start);
    }
    return out;
}

const char* const kEncoderDefaults[kDiscoveryFields] = {
    "",  "",  "",       "",  "",  "30", "0", "24000",     "12000",
    "0", "1", "115200", "8", "0", "1",  "0", "127.0.0.1", "",  // version: decided from the reply
    "TX"};
const char* const kDecoderDefaults[kDiscoveryFields] = {
    "",   "", "", "", "", "50", "50", "50", "50", "0", "115200", "8", "0", "1", "0", "127.0.0.1",
    "",  // version: decided from the reply
    "RX", "1"};

// Reads one hexadecimal number of a MAC text the way "%x" would; false when none is there.
bool readHex(const char*& p, unsigned long& value) {
    char* end = nullptr;
    errno = 0;
    unsigned long v = strtoul(p, &end, 16);
    if (end == p) return false;
    value = v;
    p = end;
    return true;
}

void macNumbers(const char* text, unsigned long out[6]) {
    for (int i = 0; i < 6; ++i) out[i] = 0;
    if (!text) return;
    const char* p = text;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (*p != ':') return;
            ++p;
        }
        if (!readHex(p, out[i])) return;
    }
}

}  // namespace

std::vector<std::string> splitHashFields(const char* text, size_t maxFields) {
    return splitAt(text, '#', maxFields);
}

std::vector<std::string> splitBlanks(const char* text, size_t maxTokens) {
    return splitAt(text, ' ', maxTokens);
}

bool isAcceptedReply(const std::vector<std::string>& fields, const char* ack) {
    if (fields.size() < 2 || !ack) return false;
    if (fields[0].compare(0, strlen(ack), ack) != 0) return false;
    return fields[1].find("SUCCEED") != std::string::npos;
}

std::string trimTrailingBlanks(const std::string& s) {
    size_t len = s.size();
    while (len > 1 && s[len - 1] == ' ') --len;
    return s.substr(0, len);
}

int toInt(const std::string& s) {
    errno = 0;
    char* end = nullptr;
    long v = strtol(s.c_str(), &end, 10);
    if (end == s.c_str()) return 0;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

bool leadingInt(const char* s, int& value) {
    if (!s) return false;
    const char* p = s;
    if (*p == '+' || *p == '-') ++p;
    if (!isdigit(static_cast<unsigned char>(*p))) return false;
    value = toInt(s);
    return true;
}

std::vector<std::string> discoveryFields(const char* datagram, bool encoder) {
    std::vector<std::string> got = splitHashFields(datagram, kDiscoveryFields);
    for (size_t i = 1; i < got.size(); ++i) got[i] = trimTrailingBlanks(got[i]);

    std::vector<std::string> f(kDiscoveryFields);
    for (size_t i = 0; i < got.size(); ++i) f[i] = got[i];
    if (got.size() >= static_cast<size_t>(kDiscoveryFields)) return f;

    const char* const* defaults = encoder ? kEncoderDefaults : kDecoderDefaults;
    const int versionField = encoder ? 17 : 16;
    std::string version = f[versionField];
    for (int i = 5; i < kDiscoveryFields; ++i) f[i] = defaults[i];
    f[versionField] = version.find("_V") != std::string::npos ? version : "version too old";
    return f;
}

std::string discoveryHostname(const std::string& mac, bool encoder) {
    std::string host = encoder ? "ENC7M03-" : "DEC7M03-";
    for (char c : mac)
        if (c != ':') host += c;
    return host;
}

uint32_t addressKey(const char* ip) {
    in_addr a{};
    if (!ip || inet_pton(AF_INET, ip, &a) != 1) return 0;
    return ntohl(a.s_addr);
}

bool sameMac(const char* a, const char* b) {
    unsigned long x[6], y[6];
    macNumbers(a, x);
    macNumbers(b, y);
    for (int i = 0; i < 6; ++i)
        if (x[i] != y[i]) return false;
    return true;
}

std::string ipSourceUrl(int etype, bool mainStream, const std::string& user,
                        const std::string& pass, const std::string& ip, int port,
                        const std::string& suffix) {
    const char* path;
    if (etype == 0)
        path = mainStream ? "/cam/realmonitor?channel=1&subtype=0"
                          : "/cam/realmonitor?channel=1&subtype=1";
    else if (etype == 1)
        path = mainStream ? "/h264/ch1/main/av_stream" : "/h264/ch1/sub/av_stream";
    else
        return std::string();
    std::string url = "rtsp://" + user + ":" + pass + "@" + ip + ":" + std::to_string(port) + path;
    if (mainStream) url += suffix;
    return url;
}

std::string csvLine(const std::string& mac, const std::string& ip, const std::string& name,
                    const std::string& netmask, const std::string& gateway) {
    return mac + "," + ip + "," + name + "," + netmask + "," + gateway + ",\n";
}

}  // namespace devtext
