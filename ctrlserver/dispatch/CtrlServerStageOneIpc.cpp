// The IP-camera commands of stage one: list the cameras, show one camera's settings, add or
// change a camera, remove one. Cameras are Encoder records of the device server's IP-source
// table and file.
#include <cstring>

#include "device/DevServer.h"
#include "dispatch/CtrlServerStageOne.h"
#include "reply/ReplyBuilders.h"

namespace dispatch {

namespace {

const size_t kCameraNameMax = 39;
const size_t kCameraUrlMax = 127;
// The device type the IP-source table gives a camera.
const char kCameraType[] = "88";

}  // namespace

int getIpcParams(Command& c, const Entry& e) {
    Words w;
    ArrayList<Encoder> list;
    int r = 0;
    if (readWords(stageOneArgument(c, e), 1, kStageOneWordMax, w)) {
        if (w.words.empty()) {
            r = c.dev().iGetQelIPSource(list);
        } else {
            FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostName, w.at(0));
            if (d.hasIp()) r = c.dev().iGetQelIPSourceWithIP(d.ip, list);
        }
    }
    return listOrFailure(c, r >= 1, c.whole(), [&](char* out, size_t size, char* echo) {
        BuildNewIpcParamslistJsonString(list, out, size, 1, echo);
    });
}

int getIpcList(Command& c, const Entry&) {
    ArrayList<Encoder> list;
    c.dev().iGetQelIPSource(list);
    return listOrFailure(c, true, c.whole(), [&](char* out, size_t size, char* echo) {
        BuildNewIpclistJsonString(list, out, size, 1, echo);
    });
}

int setIpcParams(Command& c, const Entry& e) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 7, kCameraUrlMax, w)) return newAck(c, e, false);
    // name ip stream port user pass url
    if (w.at(0).size() > kCameraNameMax) return newAck(c, e, false);
    for (size_t i = 1; i < 6; ++i)
        if (w.at(i).size() > kStageOneWordMax) return newAck(c, e, false);
    const std::string& stream = w.at(2);
    if (stream != "main" && stream != "sub") return newAck(c, e, false);
    // The IP-source table reads address, port, name and type first: the port goes second and
    // the type fourth, or the camera would be stored with port 88 and its port as its type.
    std::string text = w.at(1) + " " + w.at(3) + " " + w.at(0) + " " + kCameraType + " " + w.at(4) +
                       " " + w.at(5) + " " + stream + " " + w.at(6);
    return newAck(c, e, c.dev().blAddQelIPSource_2(&text[0]));
}

int removeIpc(Command& c, const Entry& e) {
    Words w;
    if (!readWords(stageOneArgument(c, e), 1, kStageOneWordMax, w)) return newAck(c, e, false);
    FoundDevice d = findDevice(c, &VSServer::blGetDeviceInfoByUsingAliasHostNameTX, w.at(0));
    if (!d.hasIp()) return newAck(c, e, false);
    // The removal reports success whenever any camera is stored; only a camera with this
    // address is a removal.
    ArrayList<Encoder> camera;
    if (c.dev().iGetQelIPSourceWithIP(d.ip, camera) < 1) return newAck(c, e, false);
    return newAck(c, e, c.dev().blRemoveQelIPSource(d.ip));
}

}  // namespace dispatch
