#include "qelBoxClient.h"

#include <SDL/SDL_mutex.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Serialises the exchanges with a remote box.
static SDL_mutex* g_pgetdata;
// How long an exchange waits for the box's answer.
static struct timeval g_timeout;
static char* g_piplist;
static char* g_pipsort;
static char* g_pboxlist;
// Datagram buffers of the exchanges.
char g_bufferData[512];
char g_bufferStreamData[512];

static void releaseBuffers() {
    free(g_piplist);
    free(g_pipsort);
    free(g_pboxlist);
    g_piplist = g_pipsort = g_pboxlist = nullptr;
}

int qelInitNUL(void) {
    if (g_pgetdata == nullptr) g_pgetdata = SDL_CreateMutex();
    if (g_pgetdata == nullptr) return -1;
    g_timeout.tv_sec = 0;
    g_timeout.tv_usec = 200000;
    releaseBuffers();
    g_piplist = static_cast<char*>(calloc(16000, 1));
    g_pipsort = static_cast<char*>(calloc(16000, 1));
    g_pboxlist = static_cast<char*>(calloc(1600, 1));
    if (g_piplist == nullptr || g_pipsort == nullptr || g_pboxlist == nullptr) {
        releaseBuffers();
        return -1;
    }
    return 0;
}

void qelUninitNUL(void) {
    releaseBuffers();
    if (g_pgetdata != nullptr) {
        SDL_DestroyMutex(g_pgetdata);
        g_pgetdata = nullptr;
    }
}

namespace {

// Every command travels in a datagram of this size, zero-padded.
const size_t kCmdDatagram = 128;
const unsigned short kBoxPort = 8888;

// The commands a box answers, each with the answers that count as success.
struct KnownCommand {
    const char* command;
    const char* answer;
    const char* otherAnswer;
};
const KnownCommand kKnown[] = {
    {"connect", "connected", nullptr},       {"Are you box?", "I'm box", "I'm 9R_M4"},
    {"SetPara", "SetParaOK", nullptr},       {"GetPara", "GetParaOK", nullptr},
    {"GetInfo", "GetInfoOK", nullptr},       {"UpdateIP:", "UpdateIP:OK", nullptr},
    {"UpdateMAC:", "UpdateMAC:OK", nullptr}, {"ResetChn", "ResetChn:OK", nullptr},
};

const KnownCommand* knownCommand(const char* cmd) {
    for (const KnownCommand& k : kKnown)
        if (strncmp(cmd, k.command, strlen(k.command)) == 0) return &k;
    return nullptr;
}

bool startsWith(const char* text, const char* prefix) {
    return prefix != nullptr && strncmp(text, prefix, strlen(prefix)) == 0;
}

// Sends one command datagram and, for a known command, checks the box's answer.
int exchange(const char* boxip, const char* cmd, struct timeval wait) {
    struct sockaddr_in to;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(kBoxPort);
    if (inet_pton(AF_INET, boxip, &to.sin_addr) != 1) return -1;
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return -1;
    char datagram[kCmdDatagram] = {0};
    // A longer text is cut so that the datagram keeps its terminating zero.
    strncpy(datagram, cmd, kCmdDatagram - 1);
    int rc = 0;
    if (sendto(fd, datagram, sizeof datagram, 0, reinterpret_cast<struct sockaddr*>(&to),
               sizeof to) != static_cast<ssize_t>(sizeof datagram))
        rc = -1;
    const KnownCommand* known = rc == 0 ? knownCommand(cmd) : nullptr;
    if (known != nullptr) {
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        char answer[kCmdDatagram + 1] = {0};
        if (select(fd + 1, &fds, nullptr, nullptr, &wait) <= 0 ||
            recv(fd, answer, kCmdDatagram, 0) <= 0 ||
            !(startsWith(answer, known->answer) || startsWith(answer, known->otherAnswer)))
            rc = -1;
    }
    close(fd);
    return rc;
}

}  // namespace

int qelSendCmdToBox(char* boxip, char* cmd) {
    if (boxip == nullptr || cmd == nullptr) return 0;
    if (g_pgetdata == nullptr) return -1;
    SDL_mutexP(g_pgetdata);
    int rc = exchange(boxip, cmd, g_timeout);
    SDL_mutexV(g_pgetdata);
    return rc;
}
