// Device lookup by alias, host name or address, over fresh copies of the device tables. The
// comparison is exact (length and bytes; case matters, nothing trimmed); the first list
// searched wins over the second, an earlier record over a later one.
#include <algorithm>
#include <cstring>
#include <string>

#include "device/DevServer.h"
#include "wall/VSServer.h"

namespace {

enum class ByAddress { No, Yes };

template <class T>
const Device* findDevice(ArrayList<T>& list, const std::string& key, ByAddress byAddress) {
    for (ArrayListNode<T>* node = list.head->next; node && node->data; node = node->next) {
        const Device& d = *node->data;
        if (d.name == key || d.hostname == key) return &d;
        if (byAddress == ByAddress::Yes && d.ip == key) return &d;
    }
    return nullptr;
}

// Copies value into a caller's buffer of VS_LOOKUP_TEXT_SIZE bytes, cut to fit.
void copyOut(char* out, const std::string& value) {
    if (!out) return;
    const size_t n = std::min(value.size(), static_cast<size_t>(VS_LOOKUP_TEXT_SIZE - 1));
    memcpy(out, value.data(), n);
    out[n] = '\0';
}

enum class Version { Write, Keep };

void copyMatch(const Device& d, char* ip, char* alias, char* mac, char* version, int& kind,
               Version v) {
    copyOut(ip, d.ip);
    copyOut(alias, d.name);
    copyOut(mac, d.mac);
    if (v == Version::Write) copyOut(version, d.version);
    kind = d.dtype;
}

// Searches list first, then (when ipSources) the IP sources, whose version is not copied.
template <class T>
int lookup(DevServer& dev, int (DevServer::*fetch)(ArrayList<T>&), bool ipSources, const char* key,
           ByAddress byAddress, char* ip, char* alias, char* mac, char* version, int& kind) {
    if (!key) return 0;
    const std::string text(key);
    {
        ArrayList<T> list;
        (dev.*fetch)(list);
        if (const Device* d = findDevice(list, text, byAddress)) {
            copyMatch(*d, ip, alias, mac, version, kind, Version::Write);
            return 1;
        }
    }
    if (!ipSources) return 0;
    ArrayList<Encoder> sources;
    dev.iGetQelIPSource(sources);
    if (const Device* d = findDevice(sources, text, byAddress)) {
        copyMatch(*d, ip, alias, mac, version, kind, Version::Keep);
        return 1;
    }
    return 0;
}

}  // namespace

int VSServer::blGetDeviceInfoByUsingAliasHostNameRX(const char* key, char* ip, char* alias,
                                                    char* mac, char* version, int& kind) {
    return lookup<Decoder>(devServer, &DevServer::iGetQelDecoderDevices, false, key, ByAddress::No,
                           ip, alias, mac, version, kind);
}

int VSServer::blGetDeviceInfoByUsingAliasHostNameIPRX(const char* key, char* ip, char* alias,
                                                      char* mac, char* version, int& kind) {
    return lookup<Decoder>(devServer, &DevServer::iGetQelDecoderDevices, false, key, ByAddress::Yes,
                           ip, alias, mac, version, kind);
}

int VSServer::blGetDeviceInfoByUsingAliasHostNameTX(const char* key, char* ip, char* alias,
                                                    char* mac, char* version, int& kind) {
    return lookup<Encoder>(devServer, &DevServer::iGetQelEncoderDevices, true, key, ByAddress::No,
                           ip, alias, mac, version, kind);
}

int VSServer::blGetDeviceInfoByUsingAliasHostName(const char* key, char* ip, char* alias, char* mac,
                                                  char* version, int& kind) {
    return lookup<Device>(devServer, &DevServer::iGetQelDevices, true, key, ByAddress::No, ip,
                          alias, mac, version, kind);
}

int VSServer::blGetDeviceInfoByUsingAliasHostNameIP(const char* key, char* ip, char* alias,
                                                    char* mac, char* version, int& kind) {
    return lookup<Device>(devServer, &DevServer::iGetQelDevices, true, key, ByAddress::Yes, ip,
                          alias, mac, version, kind);
}
