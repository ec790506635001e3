// The device list export: the network identity of every decoder and encoder as CSV under the web
// server's document directory.
#include <cstdio>

#include "box/Box.h"
#include "device/DevServer.h"
#include "device/DevServerText.h"

bool DevServer::blSaveQelDeviceToCsvConfig() {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    FILE* f = fopen(box::path("/var/www/qeldevNet.csv").c_str(), "w");
    if (!f) return false;
    fputs(devtext::csvLine("MAC", "IP", "NAME", "NETMASK", "GATEWAY").c_str(), f);
    for (int i = 0; i < decoderCount; ++i) {
        const Decoder* d = decoders[i];
        if (d) fputs(devtext::csvLine(d->mac, d->ip, d->name, d->netmask, d->gateway).c_str(), f);
    }
    for (int i = 0; i < encoderCount; ++i) {
        const Encoder* e = encoders[i];
        if (e) fputs(devtext::csvLine(e->mac, e->ip, e->name, e->netmask, e->gateway).c_str(), f);
    }
    return fclose(f) == 0;
}
