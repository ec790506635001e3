// Player globals: the slot table, the window count and the pipeline mutex.
#include "Decode.h"

VideoState* vsm[QEL_SLOT_MAX];
SDL_mutex* hiH264LibInit;
int iChannelNum = 4;
int iChannelRow = 2;

int qelSetWinRow(int iWindows) {
    iChannelNum = iWindows;
    iChannelRow = 2;
    return 0;
}

int qelGetVideoWinMax() {
    return iChannelNum;
}
