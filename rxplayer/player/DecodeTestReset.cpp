// Puts the player back to the state of a process that has not started it yet, so that tests
// can start it afresh in each case. The program itself never calls this: the library starts
// once per process.
#include <SDL/SDL.h>

#include <cstring>

#include "DecodeState.h"

bool qelResetForTest() {
    bool stopped = true;
    for (VideoState*& is : vsm) {
        if (is == nullptr) continue;
        if (stream_stop(is) != 0) {
            // Its reader still runs on the record: the record is left to it.
            stopped = false;
        } else {
            delete is;
        }
        is = nullptr;
    }
    g_qelInited = 0;
    g_qelserver = 0;
    iChannelNum = 4;
    iChannelRow = 2;
    const int initial[QEL_WIN_INDEX_NUM] = {0, 1, 2, 3, 4, 17};
    for (int i = 0; i < QEL_WIN_INDEX_NUM; i++) {
        decode_ChannelUse[i] = initial[i];
        decode_ChannelPre[i] = initial[i];
    }
    for (QelInitPacket& p : pktInit) {
        if (p.data != nullptr) memset(p.data, 0, QEL_INIT_PKT_SIZE);
        p.size = 0;
    }
    memset(pktAudioHeader, 0, sizeof pktAudioHeader);
    handle_now = 0;
    SAMPLE_VIDEO_OPEN_TIMEOUT = 500;
    qelSetSyncClose(1);
    memset(sample_vo_win_s, 0, sizeof sample_vo_win_s);
    // The next start chooses SDL's drivers again.
    SDL_Quit();
    return stopped;
}
