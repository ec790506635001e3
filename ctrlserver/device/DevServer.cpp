#include "device/DevServer.h"

#include <cstdio>

const char* const QEL_DECODER_FILE = "/mnt/qeldevDecoder.ini";
const char* const QEL_ENCODER_FILE = "/mnt/qeldevEncoder.ini";
const char* const QEL_CONTROLLER_FILE = "/mnt/qeldevController.ini";
const char* const QEL_IPSOURCE_FILE = "/mnt/qeldevIPSource.ini";

DevServer* DevServer::createNew(UsageEnvironment& env, Port port, unsigned int arg) {
    return new DevServer(env, port, arg);
}

DevServer::DevServer(UsageEnvironment& e, Port port, unsigned int arg)
    : QelServer(e, port, arg),
      deviceCount(0),
      encoderCount(0),
      ipSourceCount(0),
      decoderCount(0),
      controllerCount(0),
      decoderConfig(nullptr),
      encoderConfig(nullptr),
      controllerConfig(nullptr),
      ipSourceConfig(nullptr),
      cmdThread(),
      cmdThreadStarted(false) {
    running = 1;
    for (int i = 0; i < QEL_MAX_DEVICES; i++) {
        devices[i] = nullptr;
        encoders[i] = nullptr;
        ipSources[i] = nullptr;
        decoders[i] = nullptr;
        controllers[i] = nullptr;
    }

    decoderConfig = new QelConfig(QEL_DECODER_FILE, QelConfig::MODE_KEYVALUE);
    encoderConfig = new QelConfig(QEL_ENCODER_FILE, QelConfig::MODE_KEYVALUE);
    controllerConfig = new QelConfig(QEL_CONTROLLER_FILE, QelConfig::MODE_KEYVALUE);
    ipSourceConfig = new QelConfig(QEL_IPSOURCE_FILE, QelConfig::MODE_KEYVALUE);

    // A failed load is not acted on: the tables are then as the loaders left them.
    blBuildQelDevices(1);
    blGetQelEncoderFromConfig();

    running = 1;
    cmdThreadStarted = pthread_create(&cmdThread, nullptr, CmdProcess, this) == 0;

    sysInfo.statistics = "Serial supported | Controller & Encoder";
    sysInfo.info = "ARM & Embeded Linux";
    sysInfo.status = "System Is Running";
    serverIP.clear();
}

DevServer::~DevServer() {
    running = 0;
    // The thread uses this object; it must be gone before the tables are.
    if (cmdThreadStarted) pthread_join(cmdThread, nullptr);
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    clearTable(devices, deviceCount);
    clearTable(encoders, encoderCount);
    clearTable(ipSources, ipSourceCount);
    clearTable(decoders, decoderCount);
    clearTable(controllers, controllerCount);
    delete decoderConfig;
    delete encoderConfig;
    delete controllerConfig;
    delete ipSourceConfig;
    decoderConfig = encoderConfig = controllerConfig = ipSourceConfig = nullptr;
}

template <class T>
void DevServer::clearTable(T** table, int& count) {
    for (int i = 0; i < QEL_MAX_DEVICES; i++) {
        delete table[i];
        table[i] = nullptr;
    }
    count = 0;
}

template void DevServer::clearTable<Device>(Device**, int&);
template void DevServer::clearTable<Encoder>(Encoder**, int&);
template void DevServer::clearTable<Decoder>(Decoder**, int&);
template void DevServer::clearTable<Controller>(Controller**, int&);

int DevServer::iUpdateQelDevice(int kind, std::string ip, std::string name, int status) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    if (kind == QEL_KIND_DECODER || kind == QEL_KIND_ALL) {
        for (int i = 0; i < decoderCount; i++) {
            if (decoders[i] && decoders[i]->ip == ip) {
                decoders[i]->name = name;
                decoders[i]->status = status;
                return i;
            }
        }
    }
    if (kind == QEL_KIND_ENCODER || kind == QEL_KIND_ALL) {
        for (int i = 0; i < encoderCount; i++) {
            if (encoders[i] && encoders[i]->ip == ip) {
                encoders[i]->name = name;
                encoders[i]->status = status;
                return i;
            }
        }
    }
    if (kind == QEL_KIND_CONTROLLER || kind == QEL_KIND_ALL) {
        for (int i = 0; i < controllerCount; i++) {
            if (controllers[i] && controllers[i]->ip == ip) {
                controllers[i]->name = name;
                controllers[i]->status = status;
                return i;
            }
        }
    }
    return 0;
}
