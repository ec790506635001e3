// A command source for the device operations: each argument is one operation, run in order on a
// DevServer made in the box root of QEL_ROOT; results go to standard output, one "@" line each,
// so the black-box tests can read them.
//
//   deviceops_tool "find 7" "dump" "cmddev config get encoder params 10.77.0.9 0"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

#include "box/Box.h"
#include "device/DevServer.h"
#include "live/BasicUsageEnvironment.hh"

namespace {

std::vector<char> writable(const std::string& s) {
    std::vector<char> v(s.begin(), s.end());
    v.push_back('\0');
    return v;
}

// The words of s after its first n blank-separated words.
std::string after(const std::string& s, int n) {
    size_t at = 0;
    for (int i = 0; i < n; ++i) {
        at = s.find(' ', at);
        if (at == std::string::npos) return "";
        ++at;
    }
    return s.substr(at);
}

std::string word(const std::string& s, int n) {
    std::string rest = after(s, n);
    return rest.substr(0, rest.find(' '));
}

void dumpDevice(const char* kind, const Device& d) {
    printf("@%s %d|%s|%s|%s|%s|%s|%s|%s|%d|%d %d %d %d|%d %d|%s\n", kind, d.index, d.ip.c_str(),
           d.mac.c_str(), d.hostname.c_str(), d.name.c_str(), d.netmask.c_str(), d.gateway.c_str(),
           d.version.c_str(), d.status, d.baud, d.databits, d.parity, d.stopbits, d.bynetswitch,
           d.bynetmode, d.bynetip.c_str());
}

void dump(DevServer& dev) {
    std::lock_guard<std::recursive_mutex> lock(dev.tableMutex);
    for (int i = 0; i < dev.decoderCount; ++i) {
        const Decoder& d = *dev.decoders[i];
        dumpDevice("decoder", d);
        printf("@decoderpic %d %d %d %d %d\n", d.luma, d.contrast, d.hue, d.saturation,
               d.audiooutput);
    }
    for (int i = 0; i < dev.encoderCount; ++i) {
        const Encoder& e = *dev.encoders[i];
        dumpDevice("encoder", e);
        printf("@encoderstream %d %d %d %d %d %d %d|%s|%s\n", e.fps, e.ratecontrol, e.vbrbitrate,
               e.cbrbitrate, e.audiofrom, e.audioto, e.channel, e.url0.c_str(), e.url1.c_str());
    }
    for (int i = 0; i < dev.ipSourceCount; ++i) {
        const Encoder& c = *dev.ipSources[i];
        printf("@ipsource %d|%s|%s|%d|%d|%s|%s|%s|%s|%d\n", c.index, c.ip.c_str(), c.name.c_str(),
               c.etype, c.port, c.user.c_str(), c.pass.c_str(), c.url0.c_str(), c.url1.c_str(),
               c.channel);
    }
    printf("@counts %d %d %d %d %d\n", dev.deviceCount, dev.decoderCount, dev.encoderCount,
           dev.controllerCount, dev.ipSourceCount);
}

void run(DevServer& dev, const std::string& op) {
    const std::string verb = word(op, 0);
    if (verb == "find") {
        ArrayList<Device> found;
        int n = dev.iFindQelDevices(atoi(word(op, 1).c_str()), found, 0);
        printf("@find %d\n", n);
        for (int i = 0; i < found.count; ++i) dumpDevice("found", *found.get(i));
    } else if (verb == "cmddev") {
        ArrayList<Param> values;
        auto text = writable(after(op, 1));
        int r = dev.cmdDev(text.data(), values, 0);
        printf("@cmddev %d %d\n", r, values.count);
        for (int i = 0; i < values.count; ++i)
            printf("@param [%s]\n", values.get(i)->value.c_str());
    } else if (verb == "firmware" || verb == "res") {
        auto target = writable(word(op, 1)), file = writable(word(op, 2)),
             size = writable(word(op, 3)), type = writable(word(op, 4));
        bool r = verb == "firmware"
                     ? dev.blUpdateFirmware(target.data(), file.data(), size.data(), type.data())
                     : dev.blUpdateRes(target.data(), file.data(), size.data(), type.data());
        printf("@%s %d\n", verb.c_str(), r ? 1 : 0);
    } else if (verb == "serverip") {
        auto ip = writable(word(op, 1));
        printf("@serverip %d\n", dev.blUpdateServerIP(ip.data()) ? 1 : 0);
    } else if (verb == "serialset") {
        DevSerParam before;
        int changed = -1;
        auto text = writable(after(op, 2));
        bool r =
            dev.blQelSetDevSerialParams(atoi(word(op, 1).c_str()), text.data(), before, changed);
        printf("@serialset %d %d\n", r ? 1 : 0, changed);
    } else if (verb == "reboot" || verb == "restore" || verb == "factory") {
        auto ip = writable(word(op, 1));
        bool r = verb == "reboot"    ? dev.blReboot(ip.data())
                 : verb == "restore" ? dev.blRestorefactory(ip.data())
                                     : dev.blFactoryResetToDefault(ip.data());
        printf("@%s %d\n", verb.c_str(), r ? 1 : 0);
    } else if (verb == "csv") {
        printf("@csv %d\n", dev.blSaveQelDeviceToCsvConfig() ? 1 : 0);
    } else if (verb == "dump") {
        dump(dev);
    } else if (verb == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(atoi(word(op, 1).c_str())));
    } else {
        printf("@unknown %s\n", op.c_str());
    }
    printf("@done %s\n", verb.c_str());
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (!box::requireRoot("deviceops_tool")) return 1;
    TaskScheduler* scheduler = BasicTaskScheduler::createNew();
    UsageEnvironment* env = BasicUsageEnvironment::createNew(*scheduler);
    DevServer* dev = DevServer::createNew(*env, Port(0), 0);
    for (int i = 1; i < argc; ++i) run(*dev, argv[i]);
    printf("@end\n");
    fflush(stdout);
    // The sending thread is never joined; the process ends with it running.
    _exit(0);
}
