// Queries over the device tables: heap copies appended to the caller's list, in table order.
#include <cstring>

#include "device/DevServer.h"
#include "device/DevServerText.h"

namespace {

// Summary records holding only the fields each query names.
Device* identity(const Device& d) {
    return new Device(d.dtype, d.name, d.hostname, d.ip, d.mac, d.netmask, d.gateway);
}
Device* identityStatus(const Device& d) {
    return new Device(d.dtype, d.name, d.hostname, d.ip, d.mac, d.netmask, d.gateway, d.status);
}
Device* withVersion(const Device& d) {
    return new Device(d.dtype, d.name, d.hostname, d.ip, d.mac, d.netmask, d.gateway, d.version);
}
Device* withVersionStatus(const Device& d) {
    return new Device(d.dtype, d.name, d.hostname, d.ip, d.mac, d.netmask, d.gateway, d.version,
                      d.status);
}
Device* withVersionExtra(const Device& d, const std::string& extra) {
    return new Device(d.dtype, d.name, d.hostname, d.ip, d.mac, d.netmask, d.gateway, d.version,
                      extra);
}

template <class T>
T* firstWithIp(T* const* table, int count, const char* ip) {
    for (int i = 0; i < count; ++i)
        if (table[i] && table[i]->ip == ip) return table[i];
    return nullptr;
}

}  // namespace

int DevServer::iGetQelDevices(ArrayList<Device>& list) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    int n = 0;
    for (int i = 0; i < decoderCount; ++i)
        if (decoders[i]) list.add(withVersionStatus(*decoders[i])), ++n;
    for (int i = 0; i < encoderCount; ++i)
        if (encoders[i]) list.add(withVersionStatus(*encoders[i])), ++n;
    for (int i = 0; i < controllerCount; ++i)
        if (controllers[i]) list.add(withVersion(*controllers[i])), ++n;
    return n;
}

int DevServer::iGetQelDevicesIncludeIpc(ArrayList<Device>& list) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    int n = 0;
    for (int i = 0; i < decoderCount; ++i)
        if (decoders[i]) list.add(withVersionStatus(*decoders[i])), ++n;
    for (int i = 0; i < encoderCount; ++i)
        if (encoders[i]) list.add(withVersionExtra(*encoders[i], encoders[i]->url1)), ++n;
    for (int i = 0; i < ipSourceCount; ++i)
        if (ipSources[i]) list.add(withVersionExtra(*ipSources[i], ipSources[i]->url1)), ++n;
    return n;
}

int DevServer::iGetQelDevicesDecoders(ArrayList<Device>& list) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    int n = 0;
    for (int i = 0; i < decoderCount; ++i)
        if (decoders[i]) list.add(identityStatus(*decoders[i])), ++n;
    return n;
}

int DevServer::iGetQelDevices(ArrayList<Device>& list, const char* ip) {
    if (!ip) return 0;
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    if (strcmp(ip, "255.255.255.255") == 0) {
        int n = 0;
        for (int i = 0; i < decoderCount; ++i)
            if (decoders[i]) list.add(identityStatus(*decoders[i])), ++n;
        for (int i = 0; i < encoderCount; ++i)
            if (encoders[i]) list.add(identity(*encoders[i])), ++n;
        return n;
    }
    if (Decoder* d = firstWithIp(decoders, decoderCount, ip)) {
        list.add(identityStatus(*d));
        return 1;
    }
    if (Encoder* e = firstWithIp(encoders, encoderCount, ip)) {
        list.add(identity(*e));
        return 1;
    }
    return 0;
}

int DevServer::iGetQelDevices(ArrayList<Decoder>& decoderList, ArrayList<Encoder>& encoderList,
                              const char* ip) {
    if (!ip) return 0;
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    if (strcmp(ip, "255.255.255.255") == 0) {
        int n = 0;
        for (int i = 0; i < decoderCount; ++i)
            if (decoders[i]) decoderList.add(new Decoder(*decoders[i])), ++n;
        for (int i = 0; i < encoderCount; ++i)
            if (encoders[i]) encoderList.add(new Encoder(*encoders[i])), ++n;
        return n;
    }
    if (Decoder* d = firstWithIp(decoders, decoderCount, ip)) {
        decoderList.add(new Decoder(*d));
        return 1;
    }
    if (Encoder* e = firstWithIp(encoders, encoderCount, ip)) {
        encoderList.add(new Encoder(*e));
        return 1;
    }
    return 0;
}

int DevServer::iGetQelDeviceWithMac(ArrayList<Device>& list, const char* mac) {
    if (!mac) return 0;
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    for (int i = 0; i < decoderCount; ++i)
        if (decoders[i] && devtext::sameMac(mac, decoders[i]->mac.c_str())) {
            list.add(identity(*decoders[i]));
            return 1;
        }
    for (int i = 0; i < encoderCount; ++i)
        if (encoders[i] && devtext::sameMac(mac, encoders[i]->mac.c_str())) {
            list.add(identity(*encoders[i]));
            return 1;
        }
    for (int i = 0; i < controllerCount; ++i)
        if (controllers[i] && devtext::sameMac(mac, controllers[i]->mac.c_str())) {
            list.add(identity(*controllers[i]));
            return 1;
        }
    return 0;
}

int DevServer::iGetQelDecoderDevices(ArrayList<Decoder>& list) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    int n = 0;
    for (int i = 0; i < decoderCount; ++i)
        if (decoders[i]) list.add(new Decoder(*decoders[i])), ++n;
    return n;
}

int DevServer::iGetQelDecoderParamsWithIP(ArrayList<Decoder>& list, const char* ip) {
    if (!ip) return 0;
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    Decoder* d = firstWithIp(decoders, decoderCount, ip);
    if (!d) return 0;
    list.add(new Decoder(*d));
    return 1;
}

int DevServer::iGetQelEncoderDevices(ArrayList<Encoder>& list) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    int n = 0;
    for (int i = 0; i < encoderCount; ++i)
        if (encoders[i]) list.add(new Encoder(*encoders[i])), ++n;
    return n;
}

int DevServer::iGetQelEncoderParamsWithIP(ArrayList<Encoder>& list, const char* ip) {
    if (!ip) return 0;
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    Encoder* e = firstWithIp(encoders, encoderCount, ip);
    if (!e) return 0;
    list.add(new Encoder(*e));
    return 1;
}

int DevServer::iGetQelIPSource(ArrayList<Encoder>& list) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    int n = 0;
    for (int i = 0; i < ipSourceCount; ++i)
        if (ipSources[i]) list.add(new Encoder(*ipSources[i])), ++n;
    return n;
}

int DevServer::iGetQelIPSourceWithIP(const char* ip, ArrayList<Encoder>& list) {
    if (!ip || strlen(ip) > 1024) return 0;
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    Encoder* e = firstWithIp(ipSources, ipSourceCount, ip);
    if (!e) return 0;
    list.add(new Encoder(*e));
    return 1;
}

int DevServer::iGetQelEncoderIPSourceDevices(ArrayList<Encoder>& list) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    int n = 0;
    for (int i = 0; i < encoderCount; ++i)
        if (encoders[i]) list.add(new Encoder(*encoders[i])), ++n;
    for (int i = 0; i < ipSourceCount; ++i)
        if (ipSources[i]) list.add(new Encoder(*ipSources[i])), ++n;
    return n;
}

int DevServer::iGetQelControllerDevices(ArrayList<Controller>& list) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    int n = 0;
    for (int i = 0; i < controllerCount; ++i)
        if (controllers[i])
            list.add(new Controller(static_cast<const Device&>(*controllers[i]))), ++n;
    return n;
}

std::string DevServer::iGetQelEncoderUrl(const char* ip) {
    if (!ip) return std::string();
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    Encoder* e = firstWithIp(encoders, encoderCount, ip);
    return e ? e->url0 : std::string();
}
