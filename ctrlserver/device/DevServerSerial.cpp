// Serial settings of the devices: reading them from the tables, finding the device that leads
// serial by network, and setting them with the pairing of the other devices.
#include <cstdio>
#include <cstring>
#include <vector>

#include "device/DevServer.h"
#include "device/DevServerText.h"

namespace {

const char* const kAll = "255.255.255.255";
// Longest token of a serial request (addresses and small numbers in practice).
const size_t kMaxSerialToken = 127;

void copySerial(const Device& d, DevSerParam& out) {
    out.dtype = d.dtype;
    out.baud = d.baud;
    out.parity = d.parity;
    out.stopbits = d.stopbits;
    out.databits = d.databits;
    out.bynetswitch = d.bynetswitch;
    out.bynetmode = d.bynetmode;
    out.bynetip = d.bynetip;
}

// One command to send, with its target address.
struct Pending {
    std::string text;
    std::string ip;
};

std::string joinBlank(std::initializer_list<std::string> parts) {
    std::string s;
    for (const std::string& p : parts) {
        if (!s.empty()) s += ' ';
        s += p;
    }
    return s;
}

}  // namespace

bool DevServer::blQelGetDevSerialParams(int kind, char* text, DevSerParam& out) {
    std::vector<std::string> t = devtext::splitBlanks(text ? text : "", 1);
    std::string ip = t.empty() ? "" : t[0];
    if (kind != QEL_KIND_ALL) return false;

    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    const Device* dev = nullptr;
    for (int i = 0; i < decoderCount && !dev; ++i)
        if (decoders[i] && decoders[i]->ip == ip) dev = decoders[i];
    for (int i = 0; i < encoderCount && !dev; ++i)
        if (encoders[i] && encoders[i]->ip == ip) dev = encoders[i];
    if (!dev) return false;

    out.name = dev->name;
    out.hostname = dev->hostname;
    copySerial(*dev, out);
    if (dev->bynetip == kAll) {
        out.connect = "ALL";
    } else {
        const Device* peer = nullptr;
        for (int i = 0; i < decoderCount && !peer; ++i)
            if (decoders[i] && decoders[i]->ip == dev->bynetip) peer = decoders[i];
        for (int i = 0; i < encoderCount && !peer; ++i)
            if (encoders[i] && encoders[i]->ip == dev->bynetip) peer = encoders[i];
        out.connect = peer ? peer->name : "";
    }
    out.ip = ip;
    return true;
}

bool DevServer::blQelGetDevSerialByNetParams(DevSerParam& out) {
    out.ip.clear();
    out.bynetip.clear();
    out.dtype = out.baud = out.parity = out.stopbits = out.databits = 0;
    out.bynetswitch = out.bynetmode = 0;

    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    const Device* src = nullptr;
    for (int i = 0; i < decoderCount && !src; ++i)
        if (decoders[i] && decoders[i]->bynetswitch == 1 && decoders[i]->bynetmode == 0)
            src = decoders[i];
    for (int i = 0; i < encoderCount && !src; ++i)
        if (encoders[i] && encoders[i]->bynetswitch == 1 && encoders[i]->bynetmode == 0)
            src = encoders[i];
    if (!src && decoderCount > 0) src = decoders[0];
    if (!src) return true;
    out.ip = src->ip;
    copySerial(*src, out);
    return true;
}

bool DevServer::blQelSetDevSerialParams(int kind, char* text, DevSerParam& out, int& changed) {
    changed = 0;
    std::vector<std::string> t = devtext::splitBlanks(text ? text : "", 8);
    for (const std::string& s : t)
        if (s.size() > kMaxSerialToken) return false;
    t.resize(8);
    if (t[0] == t[7]) return false;
    if (t[7].find("all") != std::string::npos) t[7] = kAll;
    const std::string& t0 = t[0];
    const std::string& t7 = t[7];
    const int on = devtext::toInt(t[5]);

    std::vector<Pending> sends;
    {
        std::lock_guard<std::recursive_mutex> lock(tableMutex);
        Device* dev = nullptr;
        bool devIsDecoder = false;
        for (int i = 0; i < decoderCount && !dev; ++i)
            if (decoders[i] && decoders[i]->ip == t0) dev = decoders[i], devIsDecoder = true;
        for (int i = 0; i < encoderCount && !dev; ++i)
            if (encoders[i] && encoders[i]->ip == t0) dev = encoders[i];
        if (dev) {
            copySerial(*dev, out);
            if (dev->bynetswitch == on && dev->bynetip == t7 && dev->baud == devtext::toInt(t[1]) &&
                dev->parity == devtext::toInt(t[3]) && dev->stopbits == devtext::toInt(t[4]) &&
                dev->databits == devtext::toInt(t[2]))
                return true;
        }

        if (kind != 2) {  // 2: tables and peers only, nothing to the device itself
            if (on == 1) {
                // Earlier pairings go first.
                auto dissolve = [&](Device* d) {
                    if (!d) return;
                    if (t7 != kAll &&
                        (d->bynetswitch == 0 || (d->bynetip != t0 && d->bynetip != t7)))
                        return;
                    d->bynetswitch = 0;
                    d->bynetmode = 0;
                    d->bynetip.clear();
                    sends.push_back(
                        {joinBlank({strConfigSetSerBynet, d->ip, "0", "0", kAll}), d->ip});
                };
                for (int i = 0; i < decoderCount; ++i) dissolve(decoders[i]);
                for (int i = 0; i < encoderCount; ++i) dissolve(encoders[i]);
            }
            sends.push_back(
                {joinBlank({strConfigSetSerParams, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7]}),
                 t0});
        }

        if (dev) {
            dev->baud = devtext::toInt(t[1]);
            dev->databits = devtext::toInt(t[2]);
            dev->parity = devtext::toInt(t[3]);
            dev->stopbits = devtext::toInt(t[4]);
            dev->bynetswitch = on;
            dev->bynetmode = 0;
            dev->bynetip = t7;

            auto updatePeer = [&](Device* p) {
                if (!p || p == dev) return;
                if (t7 != kAll && p->ip != t7) return;
                if (on == 1) {
                    p->bynetip = t0;
                    p->bynetmode = 1;
                    p->bynetswitch = on;
                    p->baud = devtext::toInt(t[1]);
                    p->databits = devtext::toInt(t[2]);
                    p->parity = devtext::toInt(t[3]);
                    p->stopbits = devtext::toInt(t[4]);
                    sends.push_back({joinBlank({strConfigSetSerParams, p->ip, t[1], t[2], t[3],
                                                t[4], t[5], t[5], t0}),
                                     p->ip});
                } else if (p->bynetip == t0) {
                    p->bynetip = kAll;
                    p->bynetmode = 0;
                    p->bynetswitch = on;
                    sends.push_back(
                        {joinBlank({strConfigSetSerBynet, p->ip, t[5], t[5], t0}), p->ip});
                }
            };
            auto walkDecoders = [&] {
                for (int i = 0; i < decoderCount; ++i) updatePeer(decoders[i]);
            };
            auto walkEncoders = [&] {
                for (int i = 0; i < encoderCount; ++i) updatePeer(encoders[i]);
            };
            if (devIsDecoder) {
                walkDecoders();
                walkEncoders();
            } else {
                walkEncoders();
                walkDecoders();
            }
        }
    }

    // The sends pause 5 ms each; the tables are not held meanwhile.
    for (Pending& p : sends) {
        std::vector<char> text(p.text.begin(), p.text.end());
        text.push_back('\0');
        std::vector<char> ip(p.ip.begin(), p.ip.end());
        ip.push_back('\0');
        cmdQelDevInternal(text.data(), ip.data());
        changed = 1;
    }
    blNewSaveQelDeviceToConfig(QEL_KIND_DECODER);
    blNewSaveQelDeviceToConfig(QEL_KIND_ENCODER);
    return true;
}
