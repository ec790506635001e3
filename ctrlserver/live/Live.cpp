#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "live/BasicUsageEnvironment.hh"
#include "live/GroupsockHelper.hh"

void TaskScheduler::doEventLoop(char volatile* watchVariable) {
    while (watchVariable == nullptr || *watchVariable == 0) usleep(100 * 1000);
}

void BasicTaskScheduler::doEventLoop(char volatile* watchVariable) {
    TaskScheduler::doEventLoop(watchVariable);
}

BasicTaskScheduler* BasicTaskScheduler::createNew() {
    return new BasicTaskScheduler();
}

BasicUsageEnvironment* BasicUsageEnvironment::createNew(TaskScheduler& scheduler) {
    return new BasicUsageEnvironment(scheduler);
}

UsageEnvironment::MsgString UsageEnvironment::getResultMsg() const {
    thread_local std::string copy;
    std::lock_guard<std::mutex> lock(fResultMutex);
    copy = fResultMsg;
    return copy.c_str();
}

void UsageEnvironment::setResultMsg(MsgString msg) {
    std::lock_guard<std::mutex> lock(fResultMutex);
    fResultMsg = msg ? msg : "";
}

void UsageEnvironment::setResultMsg(MsgString msg1, MsgString msg2) {
    std::string text = msg1 ? msg1 : "";
    if (msg2) text += msg2;
    std::lock_guard<std::mutex> lock(fResultMutex);
    fResultMsg.swap(text);
}

void UsageEnvironment::setResultErrMsg(MsgString msg, int err) {
    if (err == 0) err = getErrno();
    char text[256];
    setResultMsg(msg, strerror_r(err, text, sizeof text));  // strerror's buffer is shared
}

void UsageEnvironment::appendToResultMsg(MsgString msg) {
    if (!msg) return;
    std::lock_guard<std::mutex> lock(fResultMutex);
    fResultMsg += msg;
}

int UsageEnvironment::getErrno() const {
    return errno;
}

UsageEnvironment& UsageEnvironment::operator<<(char const* str) {
    fputs(str ? str : "(NULL)", stderr);
    return *this;
}

UsageEnvironment& UsageEnvironment::operator<<(int i) {
    fprintf(stderr, "%d", i);
    return *this;
}

UsageEnvironment& UsageEnvironment::operator<<(unsigned u) {
    fprintf(stderr, "%u", u);
    return *this;
}

UsageEnvironment& UsageEnvironment::operator<<(double d) {
    fprintf(stderr, "%f", d);
    return *this;
}

UsageEnvironment& UsageEnvironment::operator<<(void* p) {
    fprintf(stderr, "%p", p);
    return *this;
}

namespace {

int setupSocket(UsageEnvironment& env, int type, Port port) {
    int sock = socket(AF_INET, type, 0);
    if (sock < 0) {
        env.setResultErrMsg("unable to create socket: ");
        return -1;
    }
    int reuse = 1;
    if (setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) < 0) {
        env.setResultErrMsg("setsockopt(SO_REUSEADDR) error: ");
        close(sock);
        return -1;
    }
    struct sockaddr_in name;
    memset(&name, 0, sizeof name);
    name.sin_family = AF_INET;
    name.sin_addr.s_addr = htonl(INADDR_ANY);
    name.sin_port = port.num();
    if (bind(sock, reinterpret_cast<struct sockaddr*>(&name), sizeof name) != 0) {
        char msg[100];
        snprintf(msg, sizeof msg, "bind() error (port number: %d): ", ntohs(port.num()));
        env.setResultErrMsg(msg);
        close(sock);
        return -1;
    }
    return sock;
}

}  // namespace

int setupStreamSocket(UsageEnvironment& env, Port port, Boolean makeNonBlocking) {
    int sock = setupSocket(env, SOCK_STREAM, port);
    if (sock < 0) return -1;
    if (makeNonBlocking && !makeSocketNonBlocking(sock)) {
        env.setResultErrMsg("failed to make non-blocking: ");
        close(sock);
        return -1;
    }
    return sock;
}

int setupDatagramSocket(UsageEnvironment& env, Port port) {
    return setupSocket(env, SOCK_DGRAM, port);
}

Boolean makeSocketNonBlocking(int sock) {
    int flags = fcntl(sock, F_GETFL, 0);
    return flags >= 0 && fcntl(sock, F_SETFL, flags | O_NONBLOCK) >= 0;
}

Boolean makeSocketBlocking(int sock, unsigned writeTimeoutInMilliseconds) {
    int flags = fcntl(sock, F_GETFL, 0);
    if (flags < 0 || fcntl(sock, F_SETFL, flags & ~O_NONBLOCK) < 0) return False;
    if (writeTimeoutInMilliseconds > 0) {
        struct timeval tv;
        tv.tv_sec = writeTimeoutInMilliseconds / 1000;
        tv.tv_usec = (writeTimeoutInMilliseconds % 1000) * 1000;
        setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    }
    return True;
}

int readSocket(UsageEnvironment& env, int socket, unsigned char* buffer, unsigned bufferSize,
               struct sockaddr_in& fromAddress) {
    socklen_t addressSize = sizeof fromAddress;
    int bytesRead = recvfrom(socket, buffer, bufferSize, 0,
                             reinterpret_cast<struct sockaddr*>(&fromAddress), &addressSize);
    if (bytesRead < 0) {
        int err = env.getErrno();
        if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR || err == ECONNREFUSED ||
            err == EHOSTUNREACH)
            return 0;
        env.setResultErrMsg("recvfrom() error: ");
        return -1;
    }
    return bytesRead;
}

Boolean writeSocket(UsageEnvironment& env, int socket, struct in_addr address, portNumBits portNum,
                    unsigned char* buffer, unsigned bufferSize) {
    struct sockaddr_in dest;
    memset(&dest, 0, sizeof dest);
    dest.sin_family = AF_INET;
    dest.sin_addr = address;
    dest.sin_port = portNum;
    int sent = sendto(socket, buffer, bufferSize, MSG_NOSIGNAL,
                      reinterpret_cast<struct sockaddr*>(&dest), sizeof dest);
    if (sent != static_cast<int>(bufferSize)) {
        char msg[100];
        snprintf(msg, sizeof msg,
                 "writeSocket(%d), sendTo() error: wrote %d bytes instead of %u: ", socket, sent,
                 bufferSize);
        env.setResultErrMsg(msg);
        return False;
    }
    return True;
}

Boolean writeSocket(UsageEnvironment& env, int socket, struct in_addr address, portNumBits portNum,
                    uint8_t ttlArg, unsigned char* buffer, unsigned bufferSize) {
    unsigned char ttl = ttlArg;
    setsockopt(socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    return writeSocket(env, socket, address, portNum, buffer, bufferSize);
}
