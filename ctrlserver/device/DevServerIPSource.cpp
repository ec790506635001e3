// IP cameras entered by the operator: add or update (two command syntaxes) and remove, each
// followed by a rewrite of the whole IP-source file.
#include <cstring>
#include <vector>

#include "device/DevServer.h"
#include "device/DevServerText.h"

namespace {

// Widths of the argument fields; a longer argument refuses the command.
const size_t kShortField = 31;   // address, user, password, suffix, stream word
const size_t kLongField = 1023;  // name and URL of "config set ipsource params"
const size_t kMidField = 127;    // name and URL of "ipc set params"

// The fields of an add command after parsing.
struct CameraArgs {
    std::string ip, name, user, pass, url0, url1;
    int port = 0;
    int etype = 0;
    bool setMain = true;  // which URLs an update replaces
    bool setSub = true;
};

// Address, port, name and type: the first four arguments of both add syntaxes.
bool readHead(const std::vector<std::string>& a, size_t nameMax, CameraArgs& c) {
    if (a.empty() || !isQelDevAddress(a[0].c_str())) return false;
    c.ip = a[0];
    if (a.size() > 1) {
        if (!devtext::leadingInt(a[1].c_str(), c.port) || c.port < 0 || c.port > 65535)
            return false;
    }
    if (a.size() > 2) {
        if (a[2].size() > nameMax) return false;
        c.name = a[2];
    }
    if (a.size() > 3 && !devtext::leadingInt(a[3].c_str(), c.etype)) return false;
    return true;
}

bool tooLong(const std::vector<std::string>& a, size_t from, size_t to, size_t max) {
    for (size_t i = from; i < to && i < a.size(); ++i)
        if (a[i].size() > max) return true;
    return false;
}

}  // namespace

namespace {

// Finds the camera with address ip among the records before the first one without an address.
Encoder* findCamera(Encoder** table, int count, const std::string& ip) {
    for (int i = 0; i < count && table[i] && !table[i]->ip.empty(); ++i)
        if (table[i]->ip == ip) return table[i];
    return nullptr;
}

}  // namespace

static bool storeCamera(DevServer& dev, const CameraArgs& c) {
    std::lock_guard<std::recursive_mutex> lock(dev.tableMutex);
    if (dev.ipSourceCount >= QEL_MAX_DEVICES) return false;
    Encoder* cam = findCamera(dev.ipSources, dev.ipSourceCount, c.ip);
    if (cam) {
        cam->etype = c.etype;
        cam->port = c.port;
        cam->user = c.user;
        cam->pass = c.pass;
        if (c.setMain) cam->url0 = c.url0;
        if (c.setSub) cam->url1 = c.url1;
        if (c.name != "null") cam->name = c.name;
    } else {
        cam = new Encoder;
        cam->index = dev.ipSourceCount;
        cam->ip = c.ip;
        cam->name = c.name;
        cam->etype = c.etype;
        cam->port = c.port;
        cam->user = c.user;
        cam->pass = c.pass;
        cam->url0 = c.url0;
        cam->url1 = c.url1;
        cam->channel = 0;
        dev.ipSources[dev.ipSourceCount++] = cam;
    }
    dev.blSaveQelIPSourceFileToConfig();
    return true;
}

bool DevServer::blAddQelIPSource(char* args) {
    std::vector<std::string> a = devtext::splitBlanks(args ? args : "", 8);
    CameraArgs c;
    if (!readHead(a, kLongField, c)) return false;

    std::string url, suffix;
    bool haveSuffix = false;
    if (a.size() > 4) {
        if (a[4].find('?') != std::string::npos || a[4].find("rtsp:") != std::string::npos) {
            // A complete stream URL in place of the user; the next argument is the suffix.
            if (a[4].size() > kLongField || tooLong(a, 5, 6, kShortField)) return false;
            url = a[4];
            if (a.size() > 5) suffix = a[5], haveSuffix = true;
        } else {
            if (tooLong(a, 4, 6, kShortField) || tooLong(a, 6, 7, kLongField) ||
                tooLong(a, 7, 8, kShortField))
                return false;
            c.user = a[4];
            if (a.size() > 5) c.pass = a[5];
            if (a.size() > 6) url = a[6];
            if (a.size() > 7) suffix = a[7], haveSuffix = true;
        }
    }
    c.url0 = url;
    if (haveSuffix && (c.etype == 0 || c.etype == 1)) {
        c.url0 = devtext::ipSourceUrl(c.etype, true, c.user, c.pass, c.ip, c.port, suffix);
        c.url1 = devtext::ipSourceUrl(c.etype, false, c.user, c.pass, c.ip, c.port, suffix);
    }
    return storeCamera(*this, c);
}

bool DevServer::blAddQelIPSource_2(char* args) {
    std::vector<std::string> a = devtext::splitBlanks(args ? args : "", 8);
    CameraArgs c;
    if (!readHead(a, kMidField, c)) return false;
    if (tooLong(a, 4, 7, kShortField) || tooLong(a, 7, 8, kMidField)) return false;
    a.resize(8);
    c.user = a[4];
    c.pass = a[5];
    const std::string& stream = a[6];
    c.setMain = stream.find("main") != std::string::npos;
    c.setSub = !c.setMain && stream.find("sub") != std::string::npos;
    if (c.setMain) c.url0 = a[7];
    if (c.setSub) c.url1 = a[7];
    return storeCamera(*this, c);
}

bool DevServer::blRemoveQelIPSource(char* args) {
    std::vector<std::string> a = devtext::splitBlanks(args ? args : "", 7);
    std::string ip = a.empty() ? "" : a[0];
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    if (ipSourceCount <= 0) return false;
    for (int i = 0; i < ipSourceCount; ++i) {
        if (!ipSources[i] || ipSources[i]->ip != ip) continue;
        delete ipSources[i];
        for (int j = i; j + 1 < ipSourceCount; ++j) {
            ipSources[j] = ipSources[j + 1];
            if (ipSources[j]) ipSources[j]->index = j;
        }
        ipSources[--ipSourceCount] = nullptr;
        break;
    }
    blSaveQelIPSourceFileToConfig();
    return true;
}
