// Start-up of the player library and of the display pipeline, the pipeline rebuilds, and the
// adaptation of a window to a stream's picture size.
#include <SDL/SDL.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "DecodeState.h"
#include "box/Box.h"
#include "boxclient/qelBoxClient.h"
#include "qelCmdutils.h"
#include "qelCpu.h"

unsigned int g_qelInited;
unsigned int g_qelserver;
char g_server_ip[256];
static int display_disable;
static int video_disable;
static int audio_disable;

static AVPacket scratchPacket;
static const int kScratchSize = 622080;

// The buffers of the player: allocated once, whatever the number of calls.
static void allocateBuffers() {
    ppkttemp = &scratchPacket;
    if (ppkttemp->data == nullptr) ppkttemp->data = static_cast<uint8_t*>(av_mallocz(kScratchSize));
    for (QelInitPacket& p : pktInit)
        if (p.data == nullptr) p.data = static_cast<uint8_t*>(av_mallocz(QEL_INIT_PKT_SIZE));
}

static void createCounterFile() {
    std::string path = box::path("/mnt/power.ini");
    FILE* f = fopen(path.c_str(), "r");
    if (f != nullptr) {
        fclose(f);
        return;
    }
    f = fopen(path.c_str(), "w");
    if (f == nullptr) return;
    fprintf(f, "5000\n");
    printf("create power.ini file ");
    fclose(f);
}

int qelInitLib(int iServer, ZURIR_VO_INTF_SYNC_E video_out) {
    allocateBuffers();
    if (g_qelInited != 0) {
        DbgOut("qelLib Inited already!\n");
        return -1;
    }
    g_qelInited = 1;
    // The libraries run without CPU-specific code paths, as on the box.
    qelCpuForceNoFlags();
    // Each stream probe decodes pictures in software on its reader's thread. With a fixed
    // threshold their large buffers are mapped and given back when freed, instead of staying
    // in each reader's heap for the life of the process (about 5 MB per 1080p slot).
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    if (hiH264LibInit == nullptr) hiH264LibInit = SDL_CreateMutex();
    SDL_mutexP(hiH264LibInit);
    if (iChannelNum == 18)
        for (int w = 0; w < QEL_WIN_MAX; w++) checkWinParaIni(w);
    int rc = iChannelNum == 18
                 ? qelDrvLib_Init(18, static_cast<unsigned char>(video_out), 0, sample_vo_win_s)
                 : qelDrvLib_Init_ORG(iChannelNum, static_cast<unsigned char>(video_out), 0);
    if (rc != 0) {
        DbgOut("qelLib Init third part h264Lib failed!\n");
        fprintf(stderr, "qelLib Init third part h264Lib failed!\n");
        SDL_mutexV(hiH264LibInit);
        return -1;
    }
    SDL_mutexV(hiH264LibInit);

    g_qelserver = static_cast<unsigned int>(iServer);
    if (iServer == 0) memset(g_server_ip, 0, sizeof g_server_ip);

    avformat_network_init();
    init_opts();

    Uint32 flags = SDL_INIT_VIDEO | SDL_INIT_AUDIO | SDL_INIT_TIMER;
    if (display_disable) video_disable = 1;
    if (audio_disable) flags &= ~SDL_INIT_AUDIO;
    flags |= SDL_INIT_NOPARACHUTE;
#ifndef QEL_BOX_TARGET
    // Nothing in the program sets an SDL timer (SDL_Delay and SDL_GetTicks need none), and
    // SDL's timer subsystem runs a thread that wakes every millisecond for the life of the
    // process: a PC build leaves it out.
    flags &= ~SDL_INIT_TIMER;
#endif

    createCounterFile();

#ifndef QEL_BOX_TARGET
    // A PC has no box display or sound device, and SDL must never open the host's: a driver
    // inherited from the environment (x11 without a display, alsa) would make the start fail
    // or open the host's sound. The player only needs SDL's threads and timers.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
#endif
    if (SDL_Init(flags)) {
        DbgOut("Could not initialize SDL - %s\n", SDL_GetError());
        DbgOut("(Did you set the DISPLAY variable?)\n");
        // Without SDL no slot exists and no stream can ever play: say so where it is seen.
        fprintf(stderr, "Could not initialize SDL - %s\n", SDL_GetError());
        return -1;
    }
    SDL_EventState(SDL_ACTIVEEVENT, SDL_IGNORE);
    SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);
    SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
    SDL_EventState(SDL_USEREVENT, SDL_IGNORE);

    if (pengine_mutex == nullptr) pengine_mutex = SDL_CreateMutex();
    if (pevent_mutex == nullptr) pevent_mutex = SDL_CreateMutex();
    qelInitNUL();
    initFlushPacket();

    for (int s = 0; s < QEL_SLOT_MAX; s++) {
        VideoState* is = stream_open();
        if (is == nullptr) {
            DbgOut("Failed to initialize VideoState!\n");
            fprintf(stderr, "Failed to initialize VideoState!\n");
            return -1;
        }
        is->hiID = is->hiWin = s;
        is->is_show = 0;
        is->is_full_screen = 0;
        is->thread_read_status = TASK_STATUS_UNINIT;
        is->thread_video_status = TASK_STATUS_UNINIT;
        vsm[s] = is;
    }
    DbgOut("qelLib inited!\n");
    return 0;
}

int qelDrvInit(int channels, unsigned char oResolution) {
    (void)channels;
    int rc = iChannelNum == 18 ? qelDrvLib_Init(18, oResolution, 0, sample_vo_win_s)
                               : qelDrvLib_Init_ORG(iChannelNum, oResolution, 0);
    for (VideoState* is : vsm)
        if (is != nullptr) is->is_full_screen = 0;
    return static_cast<unsigned char>(rc);
}

int qelChgVo(ZURIR_VO_INTF_SYNC_E video_out) {
    if (iChannelNum == 18) return 0;
    if (qelDrvLib_Init_ORG(iChannelNum, static_cast<unsigned char>(video_out), 1) != 0) {
        DbgOut("qelLib Init third part h264Lib failed!\n");
        return -1;
    }
    return 0;
}

namespace {

enum SizeClass { kSmall, kD1, k720, k1080 };

// Whether window iWin of the window count may show a picture of class c.
bool admitted(int count, int iWin, SizeClass c) {
    if (c == kSmall) return true;
    switch (count) {
        case 16:
            return c == kD1;
        case 25:
            return c == kD1 && iWin <= 12;
        case 30:
            return c == kD1 && iWin <= 10;
        case 32:
            return c == kD1 && iWin <= 9;
        case 13:
            return c == kD1 || iWin == 0;
        case 9:
        case 10:
            return c == kD1 || iWin <= 1;
        case 8:
            return c != k1080;
        case 7:
            return c == kD1 || iWin <= 2;
        default:
            return true;
    }
}

}  // namespace

int qelSetWinWidthHeight(int iWin, int iWidth, int iHeight) {
    if (iWidth == 0 || iHeight == 0) return -1;
    if (iWin < 0 || iWin >= QEL_SLOT_MAX || vsm[iWin] == nullptr) return -1;
    VideoState* is = vsm[iWin];
    clearStreamCounters(is);
    is->playen = 0;
    is->playinit = 0;
    is->iSkipAudioCnt = 300;
    if (iChannelNum == 18) qelDrvLib_SetWinWH(iWin, iWidth, iHeight, sample_vo_win_s[iWin]);
    if (iWidth > 1920 || iHeight > 1088) return -1;
    SizeClass c = iWidth > 1280 || iHeight > 720  ? k1080
                  : iWidth > 720 || iHeight > 576 ? k720
                  : iWidth > 352 || iHeight > 288 ? kD1
                                                  : kSmall;
    if (!admitted(iChannelNum, iWin, c)) return -1;
    is->is_1080P = c == k1080;
    is->is_720P = c == k720;
    is->is_D1 = c == kD1;
    is->is_Exist = 1;
    is->video_width = iWidth;
    is->video_height = iHeight;
    is->FrameCounterTemp = -2;
    return 0;
}
