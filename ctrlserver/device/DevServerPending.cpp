// TEMPORARY: stand-ins for the device operations built on another branch, so the library links
// until they arrive. Delete this file when merging them.
#include "device/DevServer.h"

std::atomic<int> iRunTftpd{0};
void* tftpdProcess(void*) {
    return nullptr;
}

int DevServer::cmdDev(char*, ArrayList<Param>&, unsigned int) {
    return -1;
}
int DevServer::iFindQelDevices(int, ArrayList<Device>&, unsigned int) {
    return 0;
}
bool DevServer::blBuildQelDevices(unsigned int fromFiles) {
    if (!fromFiles) return false;
    if (!blGetQelDeviceFromConfig()) return false;
    return blGetQelEncoderFromConfig();
}
bool DevServer::blUpdateFirmware(char*, char*, char*, char*) {
    return false;
}
bool DevServer::blUpdateRes(char*, char*, char*, char*) {
    return false;
}
int DevServer::cmdQelUpdateInternal(char*, char*) {
    return 0;
}
bool DevServer::blQelGetDevSerialParams(int, char*, DevSerParam&) {
    return false;
}
bool DevServer::blQelGetDevSerialByNetParams(DevSerParam&) {
    return false;
}
bool DevServer::blQelSetDevSerialParams(int, char*, DevSerParam&, int& changed) {
    changed = 0;
    return false;
}
bool DevServer::blSaveQelDeviceToCsvConfig() {
    return false;
}
bool DevServer::blAddQelIPSource(char*) {
    return false;
}
bool DevServer::blAddQelIPSource_2(char*) {
    return false;
}
bool DevServer::blRemoveQelIPSource(char*) {
    return false;
}
int DevServer::iGetQelDevices(ArrayList<Device>&) {
    return 0;
}
int DevServer::iGetQelDevicesIncludeIpc(ArrayList<Device>&) {
    return 0;
}
int DevServer::iGetQelDevicesDecoders(ArrayList<Device>&) {
    return 0;
}
int DevServer::iGetQelDevices(ArrayList<Device>&, const char*) {
    return 0;
}
int DevServer::iGetQelDevices(ArrayList<Decoder>&, ArrayList<Encoder>&, const char*) {
    return 0;
}
int DevServer::iGetQelDeviceWithMac(ArrayList<Device>&, const char*) {
    return 0;
}
int DevServer::iGetQelDecoderDevices(ArrayList<Decoder>&) {
    return 0;
}
int DevServer::iGetQelDecoderParamsWithIP(ArrayList<Decoder>&, const char*) {
    return 0;
}
int DevServer::iGetQelEncoderDevices(ArrayList<Encoder>&) {
    return 0;
}
int DevServer::iGetQelEncoderParamsWithIP(ArrayList<Encoder>&, const char*) {
    return 0;
}
int DevServer::iGetQelIPSource(ArrayList<Encoder>&) {
    return 0;
}
int DevServer::iGetQelIPSourceWithIP(const char*, ArrayList<Encoder>&) {
    return 0;
}
int DevServer::iGetQelEncoderIPSourceDevices(ArrayList<Encoder>&) {
    return 0;
}
int DevServer::iGetQelControllerDevices(ArrayList<Controller>&) {
    return 0;
}
std::string DevServer::iGetQelEncoderUrl(const char*) {
    return std::string();
}
bool DevServer::blGetSysStatus(SysInfo&) {
    return false;
}
bool DevServer::blGetDevStatus(int, char*, SysInfo&) {
    return false;
}
bool DevServer::blSetControllerMaster(char*) {
    return false;
}
bool DevServer::blGetControllerMaster() {
    return false;
}
bool DevServer::blSetSysPass(char*) {
    return false;
}
bool DevServer::blCheckSysPass(char*) {
    return false;
}
bool DevServer::blUpdateServerIP(char*) {
    return false;
}
bool DevServer::blFactoryResetToDefault(char*) {
    return false;
}
bool DevServer::blReboot(char*) {
    return false;
}
bool DevServer::blRestorefactory(char*) {
    return false;
}
