// The controller's own settings (status texts, master controller, system password, server
// address) and the factory reset, reboot and factory-restore commands for devices.
#include <cstdio>
#include <cstring>
#include <vector>

#include "device/DevServer.h"
#include "device/DevServerText.h"

namespace {

// The master address and enable value are kept in fields of 15 characters.
const size_t kMasterFieldMax = 15;
// A reboot or restore text ("<command> <address>") holds at most 255 characters.
const size_t kDeviceCmdMax = 256;

}  // namespace

bool DevServer::blGetSysStatus(SysInfo& info) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    info.info = sysInfo.info;
    info.status = sysInfo.status;
    info.statistics = sysInfo.statistics;
    return true;
}

bool DevServer::blGetDevStatus(int kind, char* ip, SysInfo& info) {
    if (!ip) return true;
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    const Device* found = nullptr;
    const char* format;
    if (kind == QEL_KIND_DECODER) {
        format = "version: K4400-RX-%s;";
        for (int i = 0; i < decoderCount && !found; ++i)
            if (decoders[i] && decoders[i]->ip == ip) found = decoders[i];
    } else if (kind == QEL_KIND_ENCODER) {
        format = "version: K4400-TX-%s;";
        for (int i = 0; i < encoderCount && !found; ++i)
            if (encoders[i] && encoders[i]->ip == ip) found = encoders[i];
    } else {
        format = "version: K4400-CTRL-%s;";
        for (int i = 0; i < controllerCount && !found; ++i)
            if (controllers[i] && controllers[i]->ip == ip) found = controllers[i];
    }
    if (!found) return true;
    std::vector<char> text(found->version.size() + 32);
    snprintf(text.data(), text.size(), format, found->version.c_str());
    info.info = text.data();
    return true;
}

bool DevServer::blSetControllerMaster(char* args) {
    std::vector<std::string> words = devtext::splitBlanks(args ? args : "", 2);
    words.resize(2);
    // A longer word fits no field: refused, nothing stored.
    if (words[0].size() > kMasterFieldMax || words[1].size() > kMasterFieldMax) return false;
    if (!controllerConfig) return true;
    controllerConfig->WriteString("master_ip", words[0], false);
    controllerConfig->WriteString("master_en", words[1], true);
    return true;
}

bool DevServer::blGetControllerMaster() {
    if (!controllerConfig) return false;
    return controllerConfig->ReadString("master_en", "0") != "0";
}

bool DevServer::blSetSysPass(char* pass) {
    if (controllerConfig) controllerConfig->WriteString("pass", pass ? pass : "", true);
    return true;
}

bool DevServer::blCheckSysPass(char* pass) {
    std::string stored = controllerConfig ? controllerConfig->ReadString("pass", "") : "";
    return stored == (pass ? pass : "");
}

bool DevServer::blUpdateServerIP(char* ip) {
    if (!ip || !*ip) return false;
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    serverIP = ip;
    return true;
}

namespace {

// Formats "<command> <address>" and sends it at once; false when it does not fit.
bool sendDeviceCommand(DevServer& dev, const char* command, char* ip) {
    if (!ip) return false;
    char text[kDeviceCmdMax] = {0};
    int n = snprintf(text, sizeof text, "%s %s", command, ip);
    if (n < 0 || static_cast<size_t>(n) >= sizeof text) return false;
    dev.cmdQelDevInternal(text, ip);
    return true;
}

}  // namespace

bool DevServer::blFactoryResetToDefault(char* ip) {
    {
        // The tables go with their files: a record left in memory would be written back into
        // the erased file by the next command that changes it.
        std::lock_guard<std::recursive_mutex> lock(tableMutex);
        QelConfig* files[] = {decoderConfig, encoderConfig, controllerConfig, ipSourceConfig};
        for (QelConfig* f : files)
            if (f) f->Erase();
        clearTable(decoders, decoderCount);
        clearTable(encoders, encoderCount);
        clearTable(controllers, controllerCount);
        clearTable(ipSources, ipSourceCount);
    }
    sendDeviceCommand(*this, strConfigSetReboot, ip);
    return true;
}

bool DevServer::blReboot(char* ip) {
    sendDeviceCommand(*this, strConfigSetReboot, ip);
    return true;
}

bool DevServer::blRestorefactory(char* ip) {
    sendDeviceCommand(*this, strConfigSetResoreFactory, ip);
    return true;
}
