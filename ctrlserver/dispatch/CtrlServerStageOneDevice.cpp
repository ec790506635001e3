// The device and system commands of stage one: the web login password, the controller's
// factory reset and reboot, per-device reboot, factory reset, rename, readdress, HDMI output,
// LED flash and identity display, the encoder stream and decoder picture settings, and the
// queries for versions, device lists, names, parameters and the controller's own network
// settings. Devices are named by alias or host name (some also by address) and found through
// the model's lookups; every reply is one new-envelope text or one list with its own "ack".
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "device/DevServer.h"
#include "dispatch/CtrlServerStageOne.h"
#include "intake/NetServer.h"
#include "reply/ReplyBuilders.h"

namespace dispatch {

namespace {

// Argument buffers of the box, less their terminator.
const size_t kArgumentMax = 127;  // a device name or single argument
const size_t kLedNameMax = 63;    // the device of "config flash device led"
const size_t kPasswordMax = 255;  // the web login password
const size_t kListNameMax = 63;   // each name of a name list
const size_t kListNamesMax = 255;
const size_t kReaddressEntryMax = 127;  // each entry of "config set device ip"
const size_t kReaddressEntriesMax = 32;
const size_t kSettingsFieldMax = 63;  // each field of the stream and picture settings
// These commands are refused above this length: stage two then answers them.
const size_t kLongestDeviceCommand = 255;

const char kControllerVersion[] = "V2.4.3.2_0322_2019";
// How long a readdressed device is given before it is asked for its acknowledgement.
const int kReaddressPauseMs = 800;

std::string ownAddress(Command& c) {
    return c.server.netServer ? c.server.netServer->currentAddress() : std::string();
}

// Queues a controller-side device text for the device command thread.
int queueText(Command& c, const std::string& text) {
    std::string copy = text;
    char unused[] = "";  // the sending thread takes the address from the text
    return c.dev().cmdQelDev(&copy[0], unused);
}

// Reads the one optional word of a single-device command. False when it is too long.
bool readOne(Command& c, const Entry& e, size_t maxLength, std::string& word) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 1, maxLength, w)) return false;
    word = w.at(0);
    return true;
}

// The address of the optional device of a query: every device when none is named, "" when
// the name matches nothing or is too long.
std::string queryTarget(Command& c, const Entry& e) {
    std::string name;
    if (!readOne(c, e, kArgumentMax, name)) return std::string();
    if (name.empty()) return kAllDevices;
    return findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, name).ip;
}

// The names of a name-list command. False when a name is too long.
bool readNames(Command& c, const Entry& e, std::vector<std::string>& names) {
    Words w;
    if (!readWords(stageOneArgument(c, e), kListNamesMax, kListNameMax, w)) return false;
    names = w.words;
    return true;
}

// Runs act for the device of each name, in order. Success when at least one name was given
// and every one was found and handled; what was done before a failing name stays done.
template <typename Act>
int forEachNamedDevice(Command& c, const Entry& e, Act act) {
    std::vector<std::string> names;
    if (!readNames(c, e, names)) return newAck(c, e, false);
    bool ok = !names.empty();
    for (const std::string& name : names) {
        FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, name);
        if (!d.hasIp() || !act(d)) ok = false;
    }
    return newAck(c, e, ok);
}

bool isWholeNumber(const std::string& s, int low, int high) {
    if (s.empty() || s.size() > 9) return false;
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    const int n = atoi(s.c_str());
    return n >= low && n <= high;
}

// The encoder's audio words: "EXT" 1, "EMB" 0; the decoder's the other way round.
bool audioFlag(const std::string& word, const char* one, const char* zero, std::string& out) {
    const std::string head = word.substr(0, 3);
    if (head == one) {
        out = "1";
    } else if (head == zero) {
        out = "0";
    } else {
        return false;
    }
    return true;
}

// The target of the stream and picture settings and the settings' fields (missing ones
// empty): the "all" form sets every device, by no name; the other names one device first.
struct SettingsTarget {
    std::string ip = kAllDevices;
    std::string name;
    std::vector<std::string> fields;
};

// False when a field is too long or the named device is not found.
bool readSettingsTarget(Command& c, const Entry& e, Lookup lookup, SettingsTarget& t) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 6, kSettingsFieldMax, w)) return false;
    t.fields = w.words;
    t.fields.resize(6);
    if (strstr(e.keyword, " all ")) return true;
    const FoundDevice d = findDevice(c, lookup, t.fields[0]);
    t.ip = d.ip;
    t.name = d.alias;
    t.fields.erase(t.fields.begin());
    return d.hasIp();
}

}  // namespace

bool readTxSettings(const std::vector<std::string>& f, TxSettings& out) {
    if (f.size() < 5 || !isWholeNumber(f[0], 0, 30)) return false;
    const std::string control = f[1].substr(0, 3);
    const char cls = f[2].empty() ? '\0' : f[2][0];
    if (control != "VBR" && control != "CBR") return false;
    if (cls != 'H' && cls != 'N') return false;
    const bool vbr = control == "VBR";
    out.fps = f[0];
    out.bitrate = vbr ? (cls == 'H' ? "24000" : "8000") : (cls == 'H' ? "12000" : "6000");
    out.rateControl = vbr ? "1" : "0";
    return audioFlag(f[3], "EXT", "EMB", out.audioFrom) &&
           audioFlag(f[4], "EXT", "EMB", out.audioTo);
}

bool readRxSettings(const std::vector<std::string>& f, RxSettings& out) {
    if (f.size() < 5) return false;
    for (size_t i = 0; i < 4; ++i)
        if (!isWholeNumber(f[i], 0, 100)) return false;
    out.luma = f[0];
    out.contrast = f[1];
    out.hue = f[2];
    out.saturation = f[3];
    return audioFlag(f[4], "EMB", "EXT", out.audio);
}

int setWebLoginPass(Command& c, const Entry& e) {
    std::string pass;
    if (!readOne(c, e, kPasswordMax, pass)) return newAck(c, e, false);
    // No word sets the empty password.
    return newAck(c, e, c.dev().blSetSysPass(&pass[0]));
}

int restoreFactory(Command& c, const Entry& e) {
    std::string own = ownAddress(c);
    // The reply goes first: the controller reboots at the end.
    newAck(c, e, true);
    c.vs().blFactoryResetToDefault();
    c.dev().blFactoryResetToDefault(&own[0]);
    return 1;
}

int rebootController(Command& c, const Entry& e) {
    std::string name;
    if (!readOne(c, e, kArgumentMax, name)) return newAck(c, e, false);
    std::string target =
        name.empty() ? ownAddress(c)
                     : findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameIP, name).ip;
    // A name that matches nothing (or an own address not known) leaves nothing to reboot.
    if (target.empty()) return newAck(c, e, false);
    return newAck(c, e, c.dev().blReboot(&target[0]));
}

int setHdmiOut(Command& c, const Entry& e) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 2, kArgumentMax, w)) return newAck(c, e, false);
    const FoundDevice d =
        findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameIPRX, w.at(0));
    const std::string state = w.at(1);
    if (!d.hasIp() || (state != "on" && state != "off")) return newAck(c, e, false);
    return newAck(c, e, queueText(c, "config set hdmiout " + std::string(d.ip) + " " + state) >= 0);
}

int setDeviceAlias(Command& c, const Entry& e) {
    if (strlen(c.cmd) > kLongestDeviceCommand) return -1;
    Words w;
    if (!readWords(stageOneArgument(c, e), 2, kArgumentMax, w)) return newAck(c, e, false);
    const FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, w.at(0));
    if (!d.hasIp()) return newAck(c, e, false);
    std::string alias = w.at(1);
    // '#' separates the fields of a device's answer: refused, with nothing stored or sent.
    if (alias.find('#') != std::string::npos) return newAck(c, e, false);
    const char* text = nullptr;
    if (d.kind == QEL_KIND_ENCODER) {
        text = "config set encoder name ";
        if (alias.empty()) alias = "TX";
    } else if (d.kind == QEL_KIND_DECODER) {
        text = "config set decoder name ";
        if (alias.empty()) alias = "RX";
    } else {
        return newAck(c, e, false);
    }
    const int r = queueText(c, text + std::string(d.ip) + " " + alias);
    c.vs().blUpdateVScreenUnicastDevName(d.ip, alias.c_str());
    return newAck(c, e, r >= 0);
}

int removeDeviceAlias(Command& c, const Entry& e) {
    return forEachNamedDevice(c, e, [&](const FoundDevice& d) {
        std::string text;
        if (d.kind == QEL_KIND_ENCODER) {
            text = "config set encoder name " + std::string(d.ip) + " TX";
        } else if (d.kind == QEL_KIND_DECODER) {
            text = "config set decoder name " + std::string(d.ip) + " RX";
        } else {
            return false;
        }
        const int r = queueText(c, text);
        c.vs().blUpdateVScreenUnicastDevName(d.ip, "");
        return r >= 0;
    });
}

int setDeviceIp(Command& c, const Entry& e) {
    std::vector<std::string> entries;
    if (!splitItems(stageOneArgument(c, e), ',', kReaddressEntriesMax, kReaddressEntryMax, entries))
        return newAck(c, e, false);
    bool unmatched = false;
    bool exchanged = false;
    int last = -1;
    for (const std::string& entry : entries) {
        Words w;
        readWords(entry.c_str(), 7, kReaddressEntryMax, w);
        // device ip4addr <address> netmask <mask> gateway <gateway>, the keys in this order.
        if (w.at(1) != "ip4addr" || w.at(3) != "netmask" || w.at(5) != "gateway") continue;
        const FoundDevice d =
            findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, w.at(0));
        if (d.mac[0] == '\0') {
            unmatched = true;
            continue;
        }
        c.vs().blUpdateVScreenUnicastDevIp(d.mac, w.at(2).c_str());
        c.server.envir() << "readdressing " << d.mac << " to " << w.at(2).c_str()
                         << ": waiting for the device\n";
        usleep(kReaddressPauseMs * 1000);
        std::string text = "config set net params " + std::string(d.mac) + " " + w.at(2) + " " +
                           w.at(4) + " " + w.at(6);
        ArrayList<Param> params;
        last = c.dev().cmdDev(&text[0], params, 1);
        exchanged = true;
    }
    return newAck(c, e, !unmatched && exchanged && last >= 0);
}

int rebootDevices(Command& c, const Entry& e) {
    return forEachNamedDevice(c, e, [&](FoundDevice& d) { return c.dev().blReboot(d.ip); });
}

int restoreDevices(Command& c, const Entry& e) {
    if (strlen(c.cmd) > kLongestDeviceCommand) return -1;
    return forEachNamedDevice(c, e, [&](FoundDevice& d) { return c.dev().blRestorefactory(d.ip); });
}

int setTxParams(Command& c, const Entry& e) {
    SettingsTarget t;
    TxSettings s;
    if (!readSettingsTarget(c, e, &VSServer::blGetDeviceInfoByUsingAliasHostNameTX, t) ||
        !readTxSettings(t.fields, s))
        return newAck(c, e, false);
    const int r =
        c.vs().cmdSetTXParams(t.ip.c_str(), s.fps.c_str(), s.bitrate.c_str(), s.rateControl.c_str(),
                              s.audioFrom.c_str(), s.audioTo.c_str(), t.name.c_str());
    return newAck(c, e, r >= 0);
}

int setRxParams(Command& c, const Entry& e) {
    SettingsTarget t;
    RxSettings s;
    if (!readSettingsTarget(c, e, &VSServer::blGetDeviceInfoByUsingAliasHostNameRX, t) ||
        !readRxSettings(t.fields, s))
        return newAck(c, e, false);
    const int r =
        c.vs().cmdSetRXParams(t.ip.c_str(), s.luma.c_str(), s.contrast.c_str(), s.hue.c_str(),
                              s.saturation.c_str(), s.audio.c_str(), t.name.c_str());
    return newAck(c, e, r >= 0);
}

int getTxParams(Command& c, const Entry& e) {
    std::string name;
    ArrayList<Encoder> list;
    bool ok = readOne(c, e, kArgumentMax, name);
    if (ok) {
        const FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameTX, name);
        ok = d.hasIp() && c.dev().iGetQelEncoderParamsWithIP(list, d.ip) >= 1;
    }
    return listOrFailure(c, ok, keywordEcho(c, e), [&](char* out, size_t size, char* echo) {
        BuildTXParamsJsonString(list, out, size, 1, echo);
    });
}

int getRxParams(Command& c, const Entry& e) {
    std::string name;
    ArrayList<Decoder> list;
    bool ok = readOne(c, e, kArgumentMax, name);
    if (ok) {
        const FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameRX, name);
        ok = d.hasIp() && c.dev().iGetQelDecoderParamsWithIP(list, d.ip) >= 1;
    }
    return listOrFailure(c, ok, keywordEcho(c, e), [&](char* out, size_t size, char* echo) {
        BuildRXParamsJsonString(list, out, size, 1, echo);
    });
}

int getVersion(Command& c, const Entry& e) {
    std::string name;
    std::string version = kControllerVersion;
    bool ok = readOne(c, e, kArgumentMax, name);
    if (ok && !name.empty()) {
        const FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, name);
        ok = d.hasIp();
        version = d.version;
    }
    return listOrFailure(c, ok, keywordEcho(c, e), [&](char* out, size_t size, char* echo) {
        BuildNewVersionInfoJsonString(out, size, 1, &version[0], echo);
    });
}

int getDevices(Command& c, const Entry&) {
    ArrayList<Device> list;
    c.server.envir() << "discovering the devices: the reply follows in about 10 s\n";
    const bool ok = c.dev().iFindQelDevices(7, list, 1) >= 0;
    return listOrFailure(c, ok, c.whole(), [&](char* out, size_t size, char* echo) {
        BuildNewDevlistJsonString(list, out, size, 1, echo);
    });
}

int getDeviceList(Command& c, const Entry&) {
    ArrayList<Device> list;
    const bool ok = c.dev().iGetQelDevicesIncludeIpc(list) >= 0;
    return listOrFailure(c, ok, c.whole(), [&](char* out, size_t size, char* echo) {
        BuildNewDevlistJsonString(list, out, size, 1, echo);
    });
}

int getEncoderList(Command& c, const Entry&) {
    ArrayList<Encoder> list;
    const bool ok = c.dev().iGetQelEncoderDevices(list) >= 0;
    return listOrFailure(c, ok, c.whole(), [&](char* out, size_t size, char* echo) {
        BuildNewEncoderlistJsonString(list, out, size, 1, echo);
    });
}

int getDecoderList(Command& c, const Entry&) {
    ArrayList<Decoder> list;
    const bool ok = c.dev().iGetQelDecoderDevices(list) >= 0;
    return listOrFailure(c, ok, c.whole(), [&](char* out, size_t size, char* echo) {
        BuildNewDecoderlistJsonString(list, out, size, 1, echo);
    });
}

int getCtrlNetSetting(Command& c, const Entry&) {
    ArrayList<Encoder> list;
    const bool ok = c.dev().iGetQelEncoderParamsWithIP(list, ownAddress(c).c_str()) >= 1;
    return listOrFailure(c, ok, c.whole(), [&](char* out, size_t size, char* echo) {
        BuildNewnetparamsJsonString(list, out, size, 1, echo);
    });
}

int getName(Command& c, const Entry& e) {
    const std::string target = queryTarget(c, e);
    ArrayList<Device> list;
    const bool ok = !target.empty() && c.dev().iGetQelDevices(list, target.c_str()) >= 1;
    return listOrFailure(c, ok, keywordEcho(c, e), [&](char* out, size_t size, char* echo) {
        BuildNewNameparamsJsonString(list, out, size, 1, echo);
    });
}

int getDeviceParams(Command& c, const Entry& e) {
    const std::string target = queryTarget(c, e);
    ArrayList<Decoder> decoders;
    ArrayList<Encoder> encoders;
    const bool ok =
        !target.empty() && c.dev().iGetQelDevices(decoders, encoders, target.c_str()) >= 1;
    return listOrFailure(c, ok, keywordEcho(c, e), [&](char* out, size_t size, char* echo) {
        BuildNewAllparamsJsonString(decoders, encoders, out, size, 1, echo);
    });
}

int flashDeviceLed(Command& c, const Entry& e) {
    if (strlen(c.cmd) > kLongestDeviceCommand) return -1;
    std::string name;
    if (!readOne(c, e, kLedNameMax, name)) return newAck(c, e, false);
    const FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, name);
    if (!d.hasIp()) return newAck(c, e, false);
    std::string text = "config flash device led " + std::string(d.ip);
    ArrayList<Param> params;
    return newAck(c, e, c.dev().cmdDev(&text[0], params, 1) >= 0);
}

int showDevice(Command& c, const Entry& e) {
    std::string name;
    if (!readOne(c, e, kArgumentMax, name) || name.empty()) return newAck(c, e, false);
    const FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameRX, name);
    if (!d.hasIp()) return newAck(c, e, false);
    return newAck(c, e, queueText(c, "config show device " + std::string(d.ip)) >= 0);
}

int showAllDevices(Command& c, const Entry& e) {
    return newAck(c, e, queueText(c, std::string("config show device ") + kAllDevices) >= 0);
}

}  // namespace dispatch
