// Firmware and resource updates: the TFTP server serving /dev/tftpboot/ is started once, then
// every target device gets an update notice on its port 8884.
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "box/Box.h"
#include "device/DevServer.h"
#include "device/DevServerSocket.h"
#include "device/DevServerText.h"

std::atomic<int> iRunTftpd{0};

void* tftpdProcess(void* /*arg*/) {
    int expected = 0;
    if (!iRunTftpd.compare_exchange_strong(expected, 1)) return nullptr;
    // The call lasts as long as the server runs. A server that could not start gives a failing
    // status: the flag is cleared so that the next update tries again.
    if (box::system("udpsvd -vE 0 69 tftpd -c /dev/tftpboot/") != 0) iRunTftpd.store(0);
    return nullptr;
}

namespace {

const char* const kNoticeFormat = "config set update file %s %s %s";
const char* const kBroadcast = "255.255.255.255";

void startTftpd() {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, tftpdProcess, nullptr) == 0) pthread_detach(thread);
}

const char* orEmpty(const char* s) {
    return s ? s : "";
}

}  // namespace

int DevServer::cmdQelUpdateInternal(char* cmd, char* ip) {
    if (!cmd || !ip) return 0;
    int fd = devsock::openUdp(false);
    if (fd < 0) {
        envir() << "create socket error!";
        return 0;
    }
    char wire[QEL_DEV_WIRE_MAX] = {0};
    int row = findQelDevCmdRow(cmd);
    if (row >= 0 && isQelDevAddress(ip) && buildQelDevWire(cmd, row, wire, sizeof wire) >= 0) {
        envir() << "Send cmdQelUpdateInternal " << wire << "\n";
        if (strcmp(ip, kBroadcast) == 0) {
            int on = 1;
            setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        }
        devsock::sendText(fd, ip, QEL_DEV_UPDATE_PORT, wire, strlen(wire));
        std::vector<std::string> fields;
        devsock::awaitAck(envir(), fd, row, fields);  // the answer changes nothing
    }
    devsock::pauseMs(5);
    close(fd);
    return 0;
}

// Formats the notice for one address, prints it and sends it.
static void sendNotice(DevServer& dev, const char* ip, const char* file, const char* size) {
    char notice[QEL_DEV_WIRE_MAX] = {0};
    int n = snprintf(notice, sizeof notice, kNoticeFormat, ip, file, size);
    if (n < 0 || static_cast<size_t>(n) >= sizeof notice) return;  // cannot go out whole
    printf("cCmd: %s \n", notice);
    fflush(stdout);
    std::string target = ip;
    dev.cmdQelUpdateInternal(notice, &target[0]);
}

// Every address of the kind except the server's own, taken under the lock; the sends run
// without it.
static std::vector<std::string> targetsOf(DevServer& dev, bool encoders, std::string& server) {
    std::vector<std::string> out;
    std::lock_guard<std::recursive_mutex> lock(dev.tableMutex);
    server = dev.serverIP;
    if (encoders) {
        for (int i = 0; i < dev.encoderCount; ++i)
            if (dev.encoders[i] && dev.encoders[i]->ip != server)
                out.push_back(dev.encoders[i]->ip);
    } else {
        for (int i = 0; i < dev.decoderCount; ++i)
            if (dev.decoders[i] && dev.decoders[i]->ip != server)
                out.push_back(dev.decoders[i]->ip);
    }
    return out;
}

static void updateAllDecoders(DevServer& dev, const char* file, const char* size) {
    std::string server;
    for (const std::string& ip : targetsOf(dev, false, server))
        sendNotice(dev, ip.c_str(), file, size);
    devsock::pauseMs(500);
    sendNotice(dev, kBroadcast, file, size);
}

bool DevServer::blUpdateFirmware(char* target, char* file, char* filesize, char* type) {
    startTftpd();
    const char* f = orEmpty(file);
    const char* s = orEmpty(filesize);
    if (!strstr(orEmpty(target), "all")) {
        sendNotice(*this, orEmpty(target), f, s);
        return true;
    }
    if (strstr(orEmpty(type), "enc")) {
        std::string server;
        for (const std::string& ip : targetsOf(*this, true, server))
            sendNotice(*this, ip.c_str(), f, s);
        if (!server.empty()) sendNotice(*this, server.c_str(), f, s);
        return true;
    }
    updateAllDecoders(*this, f, s);
    return true;
}

bool DevServer::blUpdateRes(char* target, char* file, char* filesize, char* type) {
    startTftpd();
    const char* f = orEmpty(file);
    const char* s = orEmpty(filesize);
    if (!strstr(orEmpty(target), "all")) {
        sendNotice(*this, orEmpty(target), f, s);
        return true;
    }
    if (!strstr(orEmpty(type), "dec")) return true;
    updateAllDecoders(*this, f, s);
    return true;
}
