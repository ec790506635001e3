// The device parameter replies.
#include "reply/ReplyBuilders.h"
#include "reply/ReplyFrame.h"

using reply::carriedItems;

namespace {

// The bit-rate flag of the encoder's rate control: 0 for the default bit rate, 1 otherwise;
// false (nothing to show) for a rate control other than 0 and 1.
bool bitrateFlag(const Encoder& e, int& flag) {
    if (e.ratecontrol == 1) {
        flag = e.vbrbitrate;
        return true;
    }
    if (e.ratecontrol == 0) {
        flag = e.cbrbitrate;
        return true;
    }
    return false;
}

// "bitrate": "N" when the encoder runs at another than the default bit rate, else "H"; not set
// (so carried) for a rate control other than 0 and 1.
void setBitrateLetter(Json::Value& item, const Encoder& e) {
    int flag = 0;
    if (bitrateFlag(e, flag)) item["bitrate"] = flag == 1 ? "N" : "H";
}

// The encoder keys that "txparamsinfo" and "txallparamlist" share.
void setEncoderStream(Json::Value& item, const Encoder& e) {
    item["alias"] = e.name;
    item["audioin"] = reply::encoderAudioWord(e.audiofrom);
    item["audioout"] = reply::encoderAudioWord(e.audioto);
    setBitrateLetter(item, e);
    item["fps"] = e.fps;
    item["hostname"] = e.hostname;
    item["ratecontrol"] = reply::rateControlWord(e.ratecontrol);
}

// The decoder keys that "rxparamsinfo" and "rxallparamlist" share.
void setDecoderPicture(Json::Value& item, const Decoder& d) {
    item["alias"] = d.name;
    item["audioout"] = reply::decoderAudioWord(d.audiooutput);
    item["contrast"] = d.contrast;
    item["hostname"] = d.hostname;
    item["hue"] = d.hue;
    item["luma"] = d.luma;
    item["saturation"] = d.saturation;
}

// "gateway", "ip4addr", "mac", "netmask".
void setNetwork(Json::Value& item, const Device& d) {
    item["gateway"] = d.gateway;
    item["ip4addr"] = d.ip;
    item["mac"] = d.mac;
    item["netmask"] = d.netmask;
}

}  // namespace

void BuildParamsJsonString(ArrayList<Param>& list, char* out, size_t outSize) {
    auto items = carriedItems(list, [](Json::Value& item, Param& p) {
        item["parname"] = p.name;
        item["parvalue"] = p.value;
    });
    reply::emitList("BuildParamsJsonString", "parinfo", std::move(items), out, outSize);
}

void BuildnetparamsJsonString(ArrayList<Device>& list, char* out, size_t outSize) {
    auto items = carriedItems(list, [](Json::Value& item, Device& d) {
        item["devgateway"] = d.gateway;
        item["devhostname"] = d.hostname;
        item["devip"] = d.ip;
        item["devmac"] = d.mac;
        item["devname"] = d.name;
        item["devnetmask"] = d.netmask;
    });
    reply::emitSingle("BuildnetparamsJsonString", "netparams", std::move(items), out, outSize);
}

void BuildTXParamsJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                             unsigned int status, char* cmd) {
    auto items = carriedItems(list, setEncoderStream);
    reply::emitListAck("BuildTXParamsJsonString", "txparamsinfo", std::move(items), out, outSize,
                       status, cmd);
}

void BuildDecoderparamsJsonString(ArrayList<Decoder>& list, char* out, size_t outSize) {
    auto items = carriedItems(list, [](Json::Value& item, Decoder& d) {
        item["devaudiooutput"] = d.audiooutput;
        item["devcontrast"] = d.contrast;
        item["devhue"] = d.hue;
        item["devluma"] = d.luma;
        item["devname"] = d.name;
        item["devsaturation"] = d.saturation;
        item["devsplitnum"] = d.status;
    });
    reply::emitSingle("BuildDecoderparamsJsonString", "decparams", std::move(items), out, outSize);
}

void BuildNewnetparamsJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                                 unsigned int status, char* cmd) {
    auto items = carriedItems(list, setNetwork);
    reply::emitListAck("BuildNewnetparamsJsonString", "netsettinginfo", std::move(items), out,
                       outSize, status, cmd);
}

void BuildNewIpcParamslistJsonString(ArrayList<Encoder>& list, char* out, size_t outSize,
                                     unsigned int status, char* cmd) {
    auto items = carriedItems(list, [](Json::Value& item, Encoder& e) {
        item["alias"] = e.name;
        item["ip4addr"] = e.ip;
        item["pass"] = e.pass;
        item["port"] = e.port;
        reply::setStreamUrls(item, e);
        item["user"] = e.user;
    });
    reply::emitListAck("BuildNewIpcParamslistJsonString", "ipcparaminfo", std::move(items), out,
                       outSize, status, cmd);
}

void BuildEncoderparamsJsonString(ArrayList<Encoder>& list, char* out, size_t outSize) {
    auto items = carriedItems(list, [](Json::Value& item, Encoder& e) {
        item["devFPS"] = e.fps;
        item["devaudiofrom"] = e.audiofrom;
        item["devaudioto"] = e.audioto;
        int flag = 0;
        if (bitrateFlag(e, flag)) item["devbitrate"] = flag;
        item["devname"] = e.name;
        item["devratecontrol"] = e.ratecontrol;
    });
    reply::emitSingle("BuildEncoderparamsJsonString", "encparams", std::move(items), out, outSize);
}

void BuildRXParamsJsonString(ArrayList<Decoder>& list, char* out, size_t outSize,
                             unsigned int status, char* cmd) {
    auto items = carriedItems(list, setDecoderPicture);
    reply::emitListAck("BuildRXParamsJsonString", "rxparamsinfo", std::move(items), out, outSize,
                       status, cmd);
}

void BuildIPSourceparamsJsonString(ArrayList<Encoder>& list, char* out, size_t outSize) {
    auto items = carriedItems(list, [](Json::Value& item, Encoder& e) {
        item["channel"] = e.channel;
        item["devaddr"] = e.ip;
        item["devname"] = e.name;
        item["devtype"] = e.etype;
        item["id"] = e.index;
        item["pass"] = e.pass;
        item["port"] = e.port;
        reply::setStreamUrls(item, e);
        item["user"] = e.user;
    });
    reply::emitSingle("BuildIPSourceparamsJsonString", "ipsourceparams", std::move(items), out,
                      outSize);
}

void BuildNewAllparamsJsonString(ArrayList<Decoder>& decoders, ArrayList<Encoder>& encoders,
                                 char* out, size_t outSize, unsigned int status, char* cmd) {
    reply::Reply r("BuildNewAllparamsJsonString");
    r.parts.resize(2);
    reply::Part& rx = r.parts[0];
    reply::Part& tx = r.parts[1];
    rx.key = "rxallparamlist";
    tx.key = "txallparamlist";
    rx.omitWhenEmpty = tx.omitWhenEmpty = true;
    rx.items = carriedItems(decoders, [](Json::Value& item, Decoder& d) {
        setDecoderPicture(item, d);
        setNetwork(item, d);
        item["splitnum"] = d.status;
    });
    tx.items = carriedItems(encoders, [](Json::Value& item, Encoder& e) {
        setEncoderStream(item, e);
        setNetwork(item, e);
        item["url_main"] = e.url0;
        item["url_sub"] = e.url1;
    });
    r.setAck(reply::Reply::Ack::Array, status, cmd);
    reply::emit(r, out, outSize);
}
