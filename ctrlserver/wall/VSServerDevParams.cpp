// Decoder and encoder parameter texts, and the one road of every decoder text of the model
// to the device server's command queue.
#include <cstdio>
#include <cstring>
#include <string>

#include "device/DevServer.h"
#include "wall/VSServer.h"

namespace {

const char kBroadcast[] = "255.255.255.255";

// The device texts are built in a buffer of this size; a longer one is not sent.
const int kParamTextSize = 256;

struct RxValues {
    const char *luma, *contrast, *hue, *saturation, *audio;
};
struct TxValues {
    const char *fps, *bitrate, *ratecontrol, *audioFrom, *audioTo;
};

const char* orEmpty(const char* s) {
    return s ? s : "";
}

int formatRx(char* text, const char* ip, const RxValues& v, const char* name) {
    return snprintf(text, kParamTextSize, "config set decoder params %s %s %s %s %s %s %s",
                    orEmpty(ip), orEmpty(v.luma), orEmpty(v.contrast), orEmpty(v.hue),
                    orEmpty(v.saturation), orEmpty(v.audio), orEmpty(name));
}

int formatTx(char* text, const char* ip, const TxValues& v, const char* name) {
    return snprintf(text, kParamTextSize, "config set encoder params %s 0 1 %s %s %s %s %s %s",
                    orEmpty(ip), orEmpty(v.fps), orEmpty(v.bitrate), orEmpty(v.ratecontrol),
                    orEmpty(v.audioFrom), orEmpty(v.audioTo), orEmpty(name));
}

// Formats one text and queues it: 0, or -1 when it does not fit (nothing queued).
template <class Values, class Format>
int queueOne(VSServer& model, Format format, const char* ip, const Values& values,
             const char* name) {
    char text[kParamTextSize];
    const int n = format(text, ip, values, name);
    if (n < 0 || n >= kParamTextSize) return -1;
    model.queueDevText(text);
    return 0;
}

// One text for ip, or, for the broadcast address, one per device of the list with its own
// address and name.
template <class Record, class Values, class Format>
int queueParams(VSServer& model, int (DevServer::*fetch)(ArrayList<Record>&), Format format,
                const char* ip, const Values& values, const char* name) {
    if (!ip || strcmp(ip, kBroadcast) != 0) return queueOne(model, format, ip, values, name);
    ArrayList<Record> devices;
    (model.devServer.*fetch)(devices);
    int result = 0;
    for (ArrayListNode<Record>* node = devices.head->next; node && node->data; node = node->next) {
        const Record& d = *node->data;
        if (queueOne(model, format, d.ip.c_str(), values, d.name.c_str()) != 0) result = -1;
    }
    return result;
}

}  // namespace

int VSServer::queueDevText(const std::string& text) {
    if (devTextTap) devTextTap(text);
    {
        std::lock_guard<std::mutex> lock(textGroupMutex);
        if (textGroupOpen && textGroupOwner == std::this_thread::get_id()) {
            textGroup.push_back(text);
            return 0;
        }
    }
    std::string copy(text);
    return devServer.cmdQelDev(&copy[0], nullptr);
}

void VSServer::beginTextGroup() {
    std::lock_guard<std::mutex> lock(textGroupMutex);
    if (textGroupOpen) return;
    textGroupOpen = true;
    textGroupOwner = std::this_thread::get_id();
}

int VSServer::endTextGroup() {
    std::vector<std::string> texts;
    {
        std::lock_guard<std::mutex> lock(textGroupMutex);
        if (!textGroupOpen || textGroupOwner != std::this_thread::get_id()) return 0;
        textGroupOpen = false;
        texts.swap(textGroup);
    }
    return devServer.cmdQelDevGroup(texts);
}

void VSServer::dropTextGroup() {
    std::lock_guard<std::mutex> lock(textGroupMutex);
    if (!textGroupOpen || textGroupOwner != std::this_thread::get_id()) return;
    textGroupOpen = false;
    textGroup.clear();
}

int VSServer::cmdSetRXParams(const char* ip, const char* luma, const char* contrast,
                             const char* hue, const char* saturation, const char* audio,
                             const char* name) {
    return queueParams(*this, &DevServer::iGetQelDecoderDevices, formatRx, ip,
                       RxValues{luma, contrast, hue, saturation, audio}, name);
}

int VSServer::cmdSetTXParams(const char* ip, const char* fps, const char* bitrate,
                             const char* ratecontrol, const char* audioFrom, const char* audioTo,
                             const char* name) {
    return queueParams(*this, &DevServer::iGetQelEncoderDevices, formatTx, ip,
                       TxValues{fps, bitrate, ratecontrol, audioFrom, audioTo}, name);
}
