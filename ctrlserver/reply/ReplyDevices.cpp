// The two acknowledgements and the device list replies.
#include <cstring>

#include "reply/ReplyBuilders.h"
#include "reply/ReplyFrame.h"

using reply::carriedItems;

namespace {

void buildAck(const char* builder, reply::Reply::Ack kind, unsigned int status, char* cmd,
              char* out, size_t outSize) {
    if (!out || !cmd) return;
    reply::Reply r(builder);
    r.setAck(kind, status, cmd);
    reply::emit(r, out, outSize);
}

// "id", "devname", "devaddr" and the three network keys that the older lists share.
void setOlderIdentity(Json::Value& item, const Device& d) {
    item["id"] = d.index;
    item["devname"] = d.name;
    item["devaddr"] = d.ip;
    item["devmac"] = d.mac;
    item["devnetmask"] = d.netmask;
    item["devgateway"] = d.gateway;
}

// "alias", "hostname", "ip4addr" of the newer encoder and decoder lists.
bool setAliasHostAddress(Json::Value& item, const Device& d) {
    item["alias"] = d.name;
    item["hostname"] = d.hostname;
    item["ip4addr"] = d.ip;
    return true;
}

}  // namespace

void BuildAckJsonString(unsigned int status, char* cmd, char* out, size_t outSize) {
    buildAck("BuildAckJsonString", reply::Reply::Ack::Object, status, cmd, out, outSize);
}

void BuildNewAckJsonString(unsigned int status, char* cmd, char* out, size_t outSize) {
    buildAck("BuildNewAckJsonString", reply::Reply::Ack::Array, status, cmd, out, outSize);
}

void BuildDevlistJsonString(ArrayList<Device>& list, char* out, size_t outSize) {
    auto items = carriedItems(list, [](Json::Value& item, Device& d) {
        const char* kind = reply::kindName(d.dtype);
        const bool decoder = strcmp(kind, "decoder") == 0;
        if (!decoder && strcmp(kind, "encoder") != 0) return false;
        setOlderIdentity(item, d);
        item["devhostname"] = d.hostname;
        item["devtype"] = kind;
        if (decoder) item["devsplitnum"] = d.status;
        return true;
    });
    reply::emitList("BuildDevlistJsonString", "devinfo", std::move(items), out, outSize);
}

void BuildDevControllerlistJsonString(ArrayList<Controller>& list, char* out, size_t outSize) {
    auto items = carriedItems(list, [](Json::Value& item, Controller& c) {
        setOlderIdentity(item, c);
        item["devtype"] = "ctrl";
    });
    reply::emitList("BuildDevControllerlistJsonString", "devinfo", std::move(items), out, outSize);
}

void BuildDevEncoderlistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize) {
    auto items = carriedItems(list, [](Json::Value& item, Encoder& e) {
        setOlderIdentity(item, e);
        item["devhostname"] = e.hostname;
        reply::setStreamUrls(item, e);
        item["channel"] = e.channel;
        item["devtype"] = "encoder";
    });
    reply::emitList("BuildDevEncoderlistJsonString", "devinfo", std::move(items), out, outSize);
}

void BuildDevDecoderlistJsonString(ArrayList<Decoder>& list, char* out, size_t outSize) {
    auto items = carriedItems(list, [](Json::Value& item, Decoder& d) {
        setOlderIdentity(item, d);
        item["devhostname"] = d.hostname;
        item["devsplitnum"] = d.status;
        item["devtype"] = "decoder";
    });
    reply::emitList("BuildDevDecoderlistJsonString", "devinfo", std::move(items), out, outSize);
}

void BuildDevIPSourcelistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize) {
    reply::Reply r("BuildDevIPSourcelistJsonString");
    r.nullWhenEmpty = false;  // {"ipsourcedev": null}, not a bare null
    r.part("ipsourcedev").items = carriedItems(list, [](Json::Value& item, Encoder& e) {
        item["id"] = e.index;
        item["devname"] = e.name;
        reply::setStreamUrls(item, e);
        item["channel"] = e.channel;
        item["devaddr"] = e.ip;
        item["devtype"] = e.etype;
        item["port"] = e.port;
        item["user"] = e.user;
        item["pass"] = e.pass;
    });
    reply::emit(r, out, outSize);
}

void BuildDevFreeDecoderlistJsonString(ArrayList<Device>& list, char* out, size_t outSize,
                                       unsigned int status, char* cmd) {
    auto items = carriedItems(list, [](Json::Value& item, Device& d) {
        setOlderIdentity(item, d);
        item["devsplitnum"] = d.status;
        item["devtype"] = "decoder";
    });
    reply::emitListAck("BuildDevFreeDecoderlistJsonString", "devinfo", std::move(items), out,
                       outSize, status, cmd);
}

void BuildNewDevlistJsonString(ArrayList<Device>& list, char* out, size_t outSize,
                               unsigned int status, char* cmd) {
    auto items = carriedItems(list, [](Json::Value& item, Device& d) {
        item["alias"] = d.name;
        if (d.dtype == DTYPE_ENCODER) item["type"] = "TX";
        if (d.dtype == DTYPE_DECODER) item["type"] = "RX";
        // A device without a host name is an IP camera whatever its kind says.
        if (d.hostname.empty()) {
            item["hostname"] = "IPC";
            item["type"] = "IPC";
        } else {
            item["hostname"] = d.hostname;
        }
        item["ip4addr"] = d.ip;
        item["url_01"] = d.extra;
    });
    reply::emitListAck("BuildNewDevlistJsonString", "devicelist", std::move(items), out, outSize,
                       status, cmd);
}

void BuildNewEncoderlistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                                   unsigned int status, char* cmd) {
    auto items = carriedItems(list, setAliasHostAddress);
    reply::emitListAck("BuildNewEncoderlistJsonString", "encoderlist", std::move(items), out,
                       outSize, status, cmd);
}

void BuildNewDecoderlistJsonString(ArrayList<Decoder>& list, char* out, size_t outSize,
                                   unsigned int status, char* cmd) {
    auto items = carriedItems(list, setAliasHostAddress);
    reply::emitListAck("BuildNewDecoderlistJsonString", "decoderlist", std::move(items), out,
                       outSize, status, cmd);
}

void BuildNewNameparamsJsonString(ArrayList<Device>& list, char* out, size_t outSize,
                                  unsigned int status, char* cmd) {
    auto items = carriedItems(list, [](Json::Value& item, Device& d) {
        item["alias"] = d.name;
        item["hostname"] = d.hostname;
    });
    reply::emitListAck("BuildNewNameparamsJsonString", "namealiasinfo", std::move(items), out,
                       outSize, status, cmd);
}

void BuildNewIpclistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                               unsigned int status, char* cmd) {
    auto items = carriedItems(list, [](Json::Value& item, Encoder& e) {
        item["alias"] = e.name;
        item["ip4addr"] = e.ip;
    });
    reply::emitListAck("BuildNewIpclistJsonString", "ipclist", std::move(items), out, outSize,
                       status, cmd);
}
