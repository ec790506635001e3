#include "display/qelGraphics.h"

#include <atomic>

#include "display/qelDrvLib.h"

namespace {

std::atomic<int> gWinTotal{0};
std::atomic<int> gFullScreen{0};
std::atomic<int> gFullWin{0};
std::atomic<int> gLunXun{0};
std::atomic<int> gNetDown{0};
std::atomic<bool> gNoSignal[2 * 18];
std::atomic<int> gLastLink{-1};

}  // namespace

int graphics_Init(int channel_num, int full_multi, int iWin) {
    if (channel_num == 5 || channel_num == 11)
        channel_num = 4;
    else if (channel_num == 2 || channel_num == 21)
        channel_num = 2;
    else if (channel_num == 3 || channel_num == 31)
        channel_num = 3;
    gWinTotal = channel_num;
    for (auto& f : gNoSignal) f = false;
    gNetDown = 0;
    gFullScreen = full_multi ? 1 : 0;
    gFullWin = full_multi ? iWin : 0;
    gLunXun = 0;
    return 0;
}

int graphicsDisplayCurInfo(char* pCurInfo, unsigned char enflag, unsigned char index) {
    return qelDrvLib_OsdShowCurInfo(pCurInfo, enflag, index);
}

int graphicsDisplayNosignal(int, int) {
    return 0;
}
int graphicsDisplayInfoForCycleBroadcast(int, int) {
    return 0;
}
int graphicsDisplaySetLunXunFlags(int) {
    return 0;
}
int graphicsDisplayIP(int) {
    return 0;
}
int graphicsDisplayAlarm(int, int) {
    return 0;
}

int graphicsDisplayNetState(int linkUp) {
    int up = linkUp ? 1 : 0;
    if (gLastLink.exchange(up) == up) return 0;
    gNetDown = !up;
    return qelDrvLib_OsdShowLinkStat(!up);
}
