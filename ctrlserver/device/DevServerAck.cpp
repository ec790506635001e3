// The acknowledged road: a controller-side command broadcast from port 8887 and the wait for the
// device's acknowledgement.
#include <unistd.h>

#include <cstring>
#include <vector>

#include "device/DevServer.h"
#include "device/DevServerSocket.h"
#include "device/DevServerText.h"

namespace {

// Longest MAC, address, netmask, gateway or name taken from a network-settings command.
const size_t kMaxNetToken = 127;

// The address fields of a network-settings command ("config set net params" or "config set
// netandname params"): MAC, address, netmask, gateway and, for the second, the name.
struct NetSettings {
    std::string mac, ip, netmask, gateway, name;
    bool withName = false;
};

bool readNetSettings(const char* rest, bool withName, NetSettings& out) {
    std::vector<std::string> t = devtext::splitBlanks(rest, 5);
    for (const std::string& s : t)
        if (s.size() > kMaxNetToken) return false;
    t.resize(5);
    out.mac = t[0];
    out.ip = t[1];
    out.netmask = t[2];
    out.gateway = t[3];
    out.name = t[4];
    out.withName = withName;
    return true;
}

}  // namespace

int DevServer::cmdDev(char* cmd, ArrayList<Param>& values, unsigned int /*arg*/) {
    if (!cmd) return -1;
    char wire[QEL_DEV_WIRE_MAX] = {0};

    // Without the acknowledgement port no answer can be heard: that is a failure, not a
    // command the devices took.
    int fd = devsock::openUdp(true);
    if (fd < 0) {
        envir() << "create socket error!";
        return -1;
    }
    if (!devsock::bindAnyAddress(fd, QEL_DEV_ACK_PORT)) {
        envir() << "cmdDev bind error! \n";
        close(fd);
        return -1;
    }
    envir() << "cmdDev bind OK! \n";

    int row = findQelDevCmdRow(cmd);
    if (row < 0 || buildQelDevWire(cmd, row, wire, sizeof wire) < 0) {
        close(fd);
        return -1;
    }
    envir() << "Send " << wire << "\n";
    devsock::sendText(fd, "255.255.255.255", QEL_DEV_CMD_PORT, wire, strlen(wire));

    if (strstr(cmd, "config set connect")) {
        close(fd);
        return -1;
    }

    // Network settings go into the tables before the answer, whatever it will be.
    NetSettings net;
    const char* netAt = strstr(cmd, "config set net params");
    const char* netNameAt = strstr(cmd, "config set netandname params");
    bool haveNet = false;
    if (netAt)
        haveNet = readNetSettings(netAt + strlen("config set net params"), false, net);
    else if (netNameAt)
        haveNet = readNetSettings(netNameAt + strlen("config set netandname params"), true, net);
    if (haveNet) {
        std::lock_guard<std::recursive_mutex> lock(tableMutex);
        bool decoderChanged = false, encoderChanged = false;
        for (int i = 0; i < decoderCount; ++i) {
            Decoder* d = decoders[i];
            if (!d || d->mac != net.mac) continue;
            d->ip = net.ip;
            d->netmask = net.netmask;
            d->gateway = net.gateway;
            if (net.withName) d->name = net.name;
            decoderChanged = true;
        }
        if (decoderChanged) blNewSaveQelDeviceToConfig(QEL_KIND_DECODER);
        for (int i = 0; i < encoderCount; ++i) {
            Encoder* e = encoders[i];
            if (!e || e->mac != net.mac) continue;
            e->ip = net.ip;
            e->netmask = net.netmask;
            e->gateway = net.gateway;
            if (net.withName) e->name = net.name;
            e->url0 = "rtsp://" + net.ip + "/stream1?multicast";
            e->url1 = "rtsp://" + net.ip + "/stream1s";
            encoderChanged = true;
        }
        if (encoderChanged) blNewSaveQelDeviceToConfig(QEL_KIND_ENCODER);
    }

    devsock::pauseMs(5);

    int result = -1;
    std::vector<std::string> fields;
    if (devsock::awaitAck(envir(), fd, row, fields)) {
        result = QelDevCmd[row].ackFieldCount - 2;
        for (int k = 0; k < result; ++k) {
            Param* p = new Param;
            p->name = fields[k + 2];
            p->value = fields[k + 2];
            values.add(p);
        }
    }
    close(fd);
    if (strstr(cmd, "config set reboot")) result = 0;
    envir() << "cmdDev return " << result << "\n";
    return result;
}
