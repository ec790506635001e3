#include "qelBoxClient.h"

#include <SDL/SDL_mutex.h>
#include <sys/time.h>

#include <cstdlib>

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

int qelSendCmdToBox(char* boxip, char* cmd) {
    (void)boxip;
    (void)cmd;
    return -1;
}
