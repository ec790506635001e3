// The version, status and serial replies.
#include <cstdio>

#include "reply/ReplyBuilders.h"
#include "reply/ReplyFrame.h"

namespace {

const char* const kModel = "MXW-K4400-CTL";
const char* const kVersion = "V2.4.3.2_0322_2019";
const char* const kBuildDate = "Mar 22 2019";
const char* const kBuildTime = "17:18:29";

// {key: item}, or nothing for a null out.
void emitObject(const char* builder, const char* key, Json::Value item, char* out, size_t outSize) {
    if (!out) return;
    reply::emitSingle(builder, key, {std::move(item)}, out, outSize);
}

void buildSerial(const char* builder, const char* key, const DevSerParam& p, char* out,
                 size_t outSize) {
    Json::Value item;
    item["baud"] = p.baud;
    item["byneten"] = p.bynetswitch;
    item["bynetip"] = p.bynetip;
    item["bynetmode"] = p.bynetmode;
    item["databits"] = p.databits;
    item["ip"] = p.ip;
    item["parity"] = p.parity;
    item["stopbits"] = p.stopbits;
    item["type"] = reply::kindName(p.dtype);
    emitObject(builder, key, std::move(item), out, outSize);
}

}  // namespace

void BuildVersionInfoJsonString(char* out, size_t outSize) {
    Json::Value item;
    item["model"] = kModel;
    item["version"] = kVersion;
    item["buildtime"] = std::string(kBuildDate) + " " + kBuildTime;
    emitObject("BuildVersionInfoJsonString", "versioninfo", std::move(item), out, outSize);
}

void BuildNewVersionInfoJsonString(char* out, size_t outSize, unsigned int status, char* version,
                                   char* cmd) {
    reply::Reply r("BuildNewVersionInfoJsonString");
    reply::Part& p = r.part("versioninfo");
    p.single = true;
    Json::Value item;
    item["version"] = version ? version : "";
    p.items.push_back(item);
    r.setAck(reply::Reply::Ack::Array, status, cmd);
    reply::emit(r, out, outSize);
}

void BuildDeviceStatusJsonString(int kind, SysInfo info, char* out, size_t outSize) {
    Json::Value item;
    item["info"] = info.info;
    item["statistics"] = info.statistics;
    item["status"] = info.status;
    item["type"] = reply::kindName(kind);
    emitObject("BuildDeviceStatusJsonString", "devicestatus", std::move(item), out, outSize);
}

void BuildSerParmJsonString(DevSerParam& param, char* out, size_t outSize) {
    buildSerial("BuildSerParmJsonString", "serparams", param, out, outSize);
}

void BuildSerByNetParmJsonString(DevSerParam& param, char* out, size_t outSize) {
    buildSerial("BuildSerByNetParmJsonString", "serbynetparams", param, out, outSize);
}

void BuildNewSerParmJsonString(DevSerParam& param, char* out, size_t outSize, unsigned int status,
                               char* cmd) {
    // Baud, data bits, parity letter, stop bits: "115200-8n1". An unknown parity leaves the
    // text empty.
    char settings[64] = {0};
    static const char* const formats[3] = {"%d-%dn%d", "%d-%do%d", "%d-%de%d"};
    if (param.parity >= 0 && param.parity <= 2)
        snprintf(settings, sizeof settings, formats[param.parity], param.baud, param.databits,
                 param.stopbits);
    Json::Value item;
    item["hostname"] = param.hostname;
    item["alias"] = param.name;
    item["serialparams"] = settings;
    item["connect"] = param.connect;
    item["transmission"] = param.bynetswitch != 0 ? "Enable" : "Disable";
    reply::emitListAck("BuildNewSerParmJsonString", "serialinfo", {item}, out, outSize, status,
                       cmd);
}
