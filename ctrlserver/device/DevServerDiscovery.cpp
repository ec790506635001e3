// Discovery of encoders and decoders by broadcast, and the rebuilding of the encoder, decoder
// and controller tables from the device table or from the files.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "device/DevServer.h"
#include "device/DevServerSocket.h"
#include "device/DevServerText.h"

namespace {

// A pass ends when this long goes by without a datagram.
const int kPassQuietMs = 2500;
const int kReceiveBuffer = 100000;

const char* const kEncodersRequest = "config qel get encoders";
const char* const kDecodersRequest = "config qel get decoders";
const char* const kEncodersAck = "config qel ack get encoders";
const char* const kDecodersAck = "config qel ack get decoders";

// A Device from one discovery reply received from ip.
Device* deviceFromReply(const char* datagram, bool encoder, const std::string& ip) {
    std::vector<std::string> f = devtext::discoveryFields(datagram, encoder);
    Device* d = new Device;
    d->dtype = encoder ? DTYPE_ENCODER : DTYPE_DECODER;
    for (int i = 5; i < devtext::kDiscoveryFields; ++i) d->params[i] = f[i];
    d->ip = ip;
    d->mac = f[2];
    d->netmask = f[3];
    d->gateway = f[4];
    d->hostname = devtext::discoveryHostname(d->mac, encoder);
    d->name = encoder ? f[18] : f[17];
    d->version = encoder ? f[17] : f[16];
    d->status = encoder ? 1 : devtext::toInt(f[18]);
    d->bynetmode = 0;
    return d;
}

// Adds d to the list sorted by address (behind equal addresses) unless its MAC is there.
bool insertFound(std::vector<Device*>& list, Device* d) {
    for (Device* x : list)
        if (x->mac == d->mac) return false;
    uint32_t key = devtext::addressKey(d->ip.c_str());
    size_t at = list.size();
    while (at > 0 && devtext::addressKey(list[at - 1]->ip.c_str()) > key) --at;
    list.insert(list.begin() + at, d);
    return true;
}

}  // namespace

int DevServer::iFindQelDevices(int flags, ArrayList<Device>& found, unsigned int /*arg*/) {
    char buf[devtext::kMaxDatagram + 1] = {0};

    int fd = devsock::openUdp(true);
    if (fd < 0) {
        envir() << "create socket error!";
        return 0;
    }
    int rcv = kReceiveBuffer;
    printf("ORG rcv_size: %d \n", rcv);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof rcv);
    devsock::pauseMs(100);
    int granted = 0;
    socklen_t len = sizeof granted;
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &len);
    printf("rcv_size: %d \n", granted);
    fflush(stdout);
    if (!devsock::bindAnyAddress(fd, QEL_DEV_ACK_PORT)) {
        envir() << "iFindQelDevices bind error! \n";
        close(fd);
        return 0;
    }
    envir() << "iFindQelDevices bind OK! \n";

    std::vector<Device*> list;
    for (int pass = 0; pass < 4; ++pass) {
        bool encoderPass = pass % 2 == 0;
        if (encoderPass && (flags & 1))
            devsock::sendText(fd, "255.255.255.255", QEL_DEV_CMD_PORT, kEncodersRequest,
                              strlen(kEncodersRequest));
        if (!encoderPass && (flags & 2))
            devsock::sendText(fd, "255.255.255.255", QEL_DEV_CMD_PORT, kDecodersRequest,
                              strlen(kDecodersRequest));
        for (;;) {
            if (!devsock::waitReadable(fd, kPassQuietMs)) break;
            if (list.size() >= static_cast<size_t>(QEL_MAX_DEVICES)) break;
            std::string from;
            if (devsock::receiveText(fd, buf, sizeof buf, nullptr, &from) <= 0) break;
            if ((flags & 1) && strstr(buf, kEncodersAck)) {
                envir() << "ENCODERS recv buf is: " << buf << "\n";
                Device* d = deviceFromReply(buf, true, from);
                if (!insertFound(list, d)) delete d;
            }
            if ((flags & 2) && strstr(buf, kDecodersAck) &&
                list.size() < static_cast<size_t>(QEL_MAX_DEVICES)) {
                envir() << "DECODERS recv buf is: " << buf << "\n";
                Device* d = deviceFromReply(buf, false, from);
                if (!insertFound(list, d)) delete d;
            }
        }
    }
    close(fd);

    int count = static_cast<int>(list.size());
    for (Device* d : list) found.add(d);
    if (count == 0) return 0;

    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    clearTable(devices, deviceCount);
    for (int i = 0; i < count; ++i) devices[i] = new Device(*list[i], i);
    deviceCount = count;
    blBuildQelDevices(0);
    blSaveQelDeviceToConfig(QEL_KIND_ALL);
    blSaveQelDeviceToCsvConfig();
    return count;
}

bool DevServer::blBuildQelDevices(unsigned int fromFiles) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    clearTable(encoders, encoderCount);
    clearTable(decoders, decoderCount);
    clearTable(controllers, controllerCount);

    if (fromFiles == 0) {
        for (int i = 0; i < deviceCount; ++i) {
            Device* d = devices[i];
            if (!d) continue;
            const std::string* p = d->params;
            if (d->dtype == DTYPE_DECODER && decoderCount < QEL_MAX_DEVICES) {
                Decoder* r = new Decoder(*d);
                r->index = decoderCount;
                r->luma = devtext::toInt(p[5]);
                r->contrast = devtext::toInt(p[6]);
                r->hue = devtext::toInt(p[7]);
                r->saturation = devtext::toInt(p[8]);
                r->audiooutput = devtext::toInt(p[9]);
                r->baud = devtext::toInt(p[10]);
                r->databits = devtext::toInt(p[11]);
                r->parity = devtext::toInt(p[12]);
                r->stopbits = devtext::toInt(p[13]);
                r->bynetswitch = devtext::toInt(p[14]);
                r->bynetmode = 0;
                r->bynetip = p[15];
                r->version = p[16];
                r->name = p[17];
                r->status = devtext::toInt(p[18]);
                decoders[decoderCount++] = r;
            } else if (d->dtype == DTYPE_ENCODER && encoderCount < QEL_MAX_DEVICES) {
                Encoder* r = new Encoder(*d);
                r->index = encoderCount;
                r->url0 = "rtsp://" + r->ip + "/stream1?multicast";
                r->url1 = "rtsp://" + r->ip + "/stream1s";
                r->channel = 2;
                r->fps = devtext::toInt(p[5]);
                r->ratecontrol = devtext::toInt(p[6]);
                r->vbrbitrate = p[7] == "24000" ? 0 : 1;
                r->cbrbitrate = p[8] == "12000" ? 0 : 1;
                r->audiofrom = devtext::toInt(p[9]);
                r->audioto = devtext::toInt(p[10]);
                r->baud = devtext::toInt(p[11]);
                r->databits = devtext::toInt(p[12]);
                r->parity = devtext::toInt(p[13]);
                r->stopbits = devtext::toInt(p[14]);
                r->bynetswitch = devtext::toInt(p[15]);
                r->bynetmode = 0;
                r->bynetip = p[16];
                r->version = p[17];
                r->name = p[18];
                encoders[encoderCount++] = r;
            } else if (d->dtype == DTYPE_CONTROLLER && controllerCount < QEL_MAX_DEVICES) {
                Controller* r = new Controller(*d);
                r->index = controllerCount;
                controllers[controllerCount++] = r;
            }
        }
    } else if (!blGetQelDeviceFromConfig()) {
        return false;
    }
    return blGetQelEncoderFromConfig();
}
