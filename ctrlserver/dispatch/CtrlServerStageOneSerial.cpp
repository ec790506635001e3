// The serial commands of stage one: show a device's serial settings, set devices' settings
// and pair them over the network, and push a text or hex payload out of a device's port.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "device/DevServer.h"
#include "dispatch/CtrlServerStageOne.h"
#include "reply/ReplyBuilders.h"

namespace dispatch {

namespace {

const size_t kItemMax = 63;
const size_t kItemsMax = 200;
// How long a device is given to take new serial settings before data goes out of its port.
const int kSettingsPauseMs = 700;

// The serial settings text: device, baud, data bits, parity, stop bits, the serial-over-
// network switch, its mode (always 0 here), the peer.
std::string settingsText(const std::string& ip, const SerialSettings& s, int byNet,
                         const std::string& peer) {
    char text[256];
    snprintf(text, sizeof text, "%s %d %d %d %d %d 0 %s", ip.c_str(), s.baud, s.dataBits, s.parity,
             s.stopBits, byNet, peer.c_str());
    return text;
}

bool isHexPayload(const std::string& p) {
    if (p.empty() || p.size() % 2 != 0) return false;
    for (char ch : p)
        if (!isxdigit(static_cast<unsigned char>(ch))) return false;
    return true;
}

bool onOff(const std::string& value, int& out) {
    if (value == "on") {
        out = 1;
    } else if (value == "off") {
        out = 0;
    } else {
        return false;
    }
    return true;
}

// The last item of "serial send": `"payload" device`. False without the quotes.
bool readPayloadItem(const std::string& item, std::string& payload, std::string& device) {
    const size_t open = item.find('"');
    if (open == std::string::npos) return false;
    const size_t close = item.find("\" ", open + 1);
    if (close == std::string::npos) return false;
    payload = item.substr(open + 1, close - open - 1);
    Words w;
    readWords(item.c_str() + close + 2, 1, kItemMax, w);
    device = w.at(0);
    return true;
}

}  // namespace

int getSerial(Command& c, const Entry& e) {
    Words w;
    DevSerParam param;
    bool ok = readWords(stageOneArgument(c, e), 1, kStageOneWordMax, w);
    if (ok) {
        FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, w.at(0));
        ok = d.hasIp() && c.dev().blQelGetDevSerialParams(QEL_KIND_ALL, d.ip, param);
    }
    // The list quotes the whole command, a failure only the keyword.
    if (!ok) return newAck(c, e, false);
    return listOrFailure(c, true, c.whole(), [&](char* out, size_t size, char* echo) {
        BuildNewSerParmJsonString(param, out, size, 1, echo);
    });
}

int setSerialByNet(Command& c, const Entry& e) {
    Words first;
    SerialSettings s;
    std::vector<std::string> items;
    if (!readWords(stageOneArgument(c, e), 1, kStageOneWordMax, first) ||
        !readSerialSettings(first.at(0), s) ||
        !splitItems(first.end, ',', kItemsMax, kItemMax, items))
        return newAck(c, e, false);
    bool ok = !items.empty();
    bool lastSet = false;
    for (const std::string& item : items) {
        Words w;
        readWords(item.c_str(), 2, kItemMax, w);
        const FoundDevice dev =
            findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, w.at(0));
        std::string peer = kAllDevices;
        if (w.at(1) != "ALL")
            peer = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, w.at(1)).ip;
        if (!dev.hasIp() || peer.empty()) {
            ok = false;
            continue;
        }
        std::string text = settingsText(dev.ip, s, 1, peer);
        DevSerParam param;
        int sent = 0;
        lastSet = c.dev().blQelSetDevSerialParams(QEL_KIND_ALL, &text[0], param, sent);
    }
    return newAck(c, e, ok && lastSet);
}

int sendSerial(Command& c, const Entry& e) {
    std::vector<std::string> items;
    if (!splitItems(stageOneArgument(c, e), ',', kItemsMax, kItemMax, items) || items.empty())
        return newAck(c, e, false);
    bool optionsOk = true;
    bool haveSettings = false;
    SerialSettings s;
    int repeat = 0;
    int hex = 0;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        Words w;
        readWords(items[i].c_str(), 2, kItemMax, w);
        const std::string& option = w.at(0);
        bool good = false;
        if (option == "-b") {
            good = haveSettings = readSerialSettings(w.at(1), s);
        } else if (option == "-r") {
            good = onOff(w.at(1), repeat);
        } else if (option == "-h") {
            good = onOff(w.at(1), hex);
        }
        if (!good) optionsOk = false;
    }
    std::string payload, name;
    if (!readPayloadItem(items.back(), payload, name) || (hex && !isHexPayload(payload)))
        return newAck(c, e, false);
    FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, name);
    DevSerParam stored;
    if (!d.hasIp() || !c.dev().blQelGetDevSerialParams(QEL_KIND_ALL, d.ip, stored))
        return newAck(c, e, false);
    bool settingsOk = true;
    // Without "-b" the device keeps the settings it has.
    if (haveSettings) {
        std::string text = settingsText(d.ip, s, 0, stored.bynetip);
        DevSerParam now;
        int sent = 0;
        settingsOk = c.dev().blQelSetDevSerialParams(QEL_KIND_ALL, &text[0], now, sent);
        if (sent) usleep(kSettingsPauseMs * 1000);
    }
    std::string text = "config set serial send " + std::string(d.ip) + (hex ? " hex " : " str ") +
                       std::to_string(repeat) + " " + payload;
    std::string ip = d.ip;
    const int queued = c.dev().cmdQelDev(&text[0], &ip[0]);
    return newAck(c, e, optionsOk && settingsOk && queued >= 0);
}

}  // namespace dispatch
