// main of the decoder program: brings the box up in order, then runs the loop that owns every
// stream of the windows.
#include "control/qelDecode.h"

#include <SDL/SDL.h>
#include <SDL/SDL_thread.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "box/Box.h"
#include "control/qelDecodeServer.h"
#include "control/qelDecodeSettings.h"
#include "control/qelGet_ip.h"
#include "control/qelSerial.h"
#include "display/hi3531_gpio.h"
#include "display/qelDrvLib.h"
#include "display/qelGraphics.h"
#include "display/qel_misc.h"
#include "player/Decode.h"
#include "qel_dev.h"

namespace {

PlayerOps realPlayer() {
    PlayerOps p;
    p.show = [](int slot, const char* url, int iFull) { return qelShow(slot, url, iFull); };
    p.stop = [](int slot) { qelStop(slot); };
    p.decodeJpg = [](int slot) { qel_DecodeJpg(slot); };
    p.detectVideoActive = [] { qelDetectVideoActive(); };
    p.getVideoWinMax = [] { return qelGetVideoWinMax(); };
    p.isVideoExisted = [](int slot, int* count, int* w, int* h) {
        return qelIsVideoExisted(slot, count, w, h);
    };
    p.detectFullScreen = [](int* full, int* win) { return qelDetectFullScreen(full, win); };
    p.resumeChn = [] { qel_ResumeChn(); };
    p.suspendChn = [](int win, int onlyClippedShown) {
        return qel_SuspendChn(win, onlyClippedShown);
    };
    p.updateChannelPre = [](int index, int slot) { updateChannelPre(index, slot); };
    p.checkWhetherNeedSetSplit = [](int current, int wanted) {
        return qelCheckWhetherNeedSetSplit(current, wanted);
    };
    p.setSplitPara = [](int split, int x) { qelSetSplitPara(split, x); };
    p.layerWin = [](int win, int layer) { qelLayerWin(win, layer); };
    p.displayWin = [](int win, int show) { qelDisplayWin(win, show); };
    p.clipWin = [](int win, int xs, int xe, int ys, int ye, int layer, int show) {
        qelClipWin(win, xs, xe, ys, ye, layer, show);
    };
    p.posWin = [](int win, int xs, int xe, int ys, int ye, int layer, int show) {
        qelPosWin(win, xs, xe, ys, ye, layer, show);
    };
    p.videoWin = [](int win, const int pos[4], const int clip[4], int layer, int show) {
        qelVideoWin(win, pos[0], pos[1], pos[2], pos[3], clip[0], clip[1], clip[2], clip[3], layer,
                    show);
    };
    p.setSync = [](int slot, int timeBase, int offset) { qelSetSync(slot, timeBase, offset); };
    p.setSyncOffset = [](int slot, int offset) { qelSetSyncOffset(slot, offset); };
    p.setSyncClose = [](int mode) { qelSetSyncClose(mode); };
    return p;
}

}  // namespace

int main() {
    if (!box::requireRoot("rxplayer")) return 1;
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    gPlayer = realPlayer();

    for (int i = 0; i < 8; ++i) usleep(500 * 1000);
    WdtFd = qelDev_open("/dev/watchdog", O_RDWR);
    if (WdtFd < 0) puts("Open watchdog fail !");
    signal(SIGPIPE, SIG_IGN);
    puts("Hello World!");
    printf("QEL Decoder Version is: %s\n", QEL_VERSION_STRING);
    markStartTime();

    if (checkIni() != 0) {
        puts("check ini files failed!");
        return -1;
    }
    get_IP_MAC();
    fillNetParamFromTables();
    for (int i = 0; i < 2; ++i) {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        printf("IP_info[%d] = %s\n", i, IP_info[i]);
        printf("MAC_info[%d] = %s\n", i, MAC_info[i]);
        printf("MASK_info[%d] = %s\n", i, MASK_info[i]);
        printf("GW_info[%d] = %s\n", i, GW_info[i]);
    }
    checkNetIni();
    checkCutEdge();
    checkAudioOutput();
    checkSerialConfig();
    checkDecoderNameConfig();
    checkSplitNumConfig();

    qelDrvLib_CutEdge(CutEdgeHor, CutEdgeVer);
    qelDrvLib_AudioOutput(AudioOutput);
    printf("windows: %d \n", windows.load());
    qelSetWinRow(windows);
    qelDrvLib_OsdShowIPChnEn(chnipDisplayenable);
    qelInitLib(1, static_cast<ZURIR_VO_INTF_SYNC_E>(video_out.load()));

    hi3531_muxctrl_initconfig();
    hi3531_mmap_gpio();
    LedStatus_pthread();
    led_flag.bLedFlag = HI_LED_SHINE;
    led_flag.u32LedOnTime = 1000;
    led_flag.u32LedOffTime = 1000;
    KeyScan_pthread();
    printf("\n===============[%d-%d-%d-%d]\n", lnkch[0].load(), lnkch[1].load(), lnkch[2].load(),
           lnkch[3].load());

    // Limited broadcasts leave through eth0.
    box::system("route add -host 255.255.255.255 dev eth0");

    if (checkCsc() != 0) return -1;
    qelDrvLib_Csc(Luma, Contrast, Hue, Satuature);

    cur_video_win_num = windows;
    full_multi = 0;
    full_iWin = 0;
    graphics_Init(cur_video_win_num, full_multi, full_iWin);
    cur_video_win_num_temp = cur_video_win_num;
    full_multi_temp = full_multi;
    full_iWin_temp = full_iWin;

    {
        netPm net;
        {
            std::lock_guard<std::recursive_mutex> g(gNetLock);
            net = MyNetParam;
        }
        graphicsDisplayCurInfo(net.IP, 1, 0);
        graphicsDisplayCurInfo(const_cast<char*>(QEL_VERSION_STRING), 1, 1);
    }
    usleep(500 * 1000);

    openStoredStreams();

    loop = 1;
    SDL_CreateThread(udp_thread, nullptr);
    SDL_CreateThread(tcp_thread, nullptr);
    SDL_CreateThread(read_serial_send_udp_thread, nullptr);
    SDL_CreateThread(read_udp_write_serial_thread, nullptr);
    SDL_CreateThread(get_serial_send_tcp_thread, nullptr);
    SDL_CreateThread(main_loop_delay_thread, nullptr);
    wakeMainLoop();
    SDL_CreateThread(GetNetStat, nullptr);

    mainLoopRun();
    usleep(500 * 1000);
    return 0;
}
