// Loss detection: a playing slot whose packet counter stood still between two checks is
// stopped, and a window with no playing slot left shows the loss picture /mnt/logo.jpg. Also
// the stop call and the full-screen query of the main loop.
#include <cstdio>
#include <mutex>
#include <vector>

#include "DecodeState.h"
#include "box/Box.h"
#include "hi_platform.h"

namespace {

// The loss picture as last read; it grows with the file, so a larger logo is sent whole.
std::mutex logoMutex;
std::vector<uint8_t> logoBuffer;

bool playing(int s) {
    return vsm[s] != nullptr && vsm[s]->is_Exist == 1;
}

}  // namespace

int qelStop(int iWin) {
    if (g_qelInited == 0) {
        DbgOut("qelLib is not initialed!\n");
        return -1;
    }
    // A slot above the window count that still plays can be stopped; one outside the slot
    // table cannot be.
    if (iWin < 0 || iWin >= QEL_SLOT_MAX || vsm[iWin] == nullptr ||
        (iWin >= iChannelNum && vsm[iWin]->is_Exist == 0)) {
        DbgOut("Win ID is out of range!\n");
        return -1;
    }
    VideoState* is = vsm[iWin];
    if (is->is_show == 0) return 0;
    // A reader that did not end is still the slot's: the slot stays marked shown so that the
    // next stop tries again.
    if (stream_stop(is) != 0) return -1;
    is->is_show = 0;
    return 0;
}

int qel_DecodeJpg(int iWin) {
    // Only windows 0..4 and 17 have a decode channel of their own.
    if (iWin < 0 || iWin >= QEL_WIN_MAX || (iWin >= 5 && iWin <= 16)) return 0;
    if (windowShown(iWin) == 0) return 0;
    std::lock_guard<std::mutex> lock(logoMutex);
    FILE* f = fopen(box::path("/mnt/logo.jpg").c_str(), "rb");
    if (f == nullptr) return 0;
    qelDrvLib_JPGSetWinWH(iWin, 1920, 1080);
    qelDrvLib_DecType(iWin, ZURIR_PT_JPEG);
    long length = -1;
    if (fseek(f, 0, SEEK_END) == 0) length = ftell(f);
    size_t got = 0;
    if (length > 0 && fseek(f, 0, SEEK_SET) == 0) {
        if (logoBuffer.size() < static_cast<size_t>(length))
            logoBuffer.resize(static_cast<size_t>(length));
        got = fread(logoBuffer.data(), 1, logoBuffer.size(), f);
    }
    fclose(f);
    if (got == 0) return 0;
    VDEC_STREAM_S stream;
    stream.pu8Addr = logoBuffer.data();
    stream.u32Len = static_cast<HI_U32>(got);
    stream.u64PTS = 0;
    // The channel was just set up for the picture, so it has room: the send need not wait.
    HI_MPI_VDEC_SendStream(iWin, &stream, HI_IO_NOBLOCK);
    return 0;
}

int qelDetectVideoActive() {
    for (int s = 0; s < QEL_SLOT_MAX; s++) {
        VideoState* is = vsm[s];
        if (is == nullptr || is->is_Exist != 1) continue;
        int now = is->FrameCounter;
        int before = is->FrameCounterTemp;
        // At most one packet since the last check, or a counter one back.
        if (now == before || now == before + 1 || now == before - 1) {
            DbgOut("video channel %d loss \n", s);
            qelStop(s);
            is->is_Exist = 0;
            printf(
                "*************************  Decode loss video maybe will call "
                "qel_DecodeJpg(%d);\n",
                s);
            fflush(stdout);
            if (s == 10 || s == 17) {
                if (!playing(10) && !playing(17)) qel_DecodeJpg(17);
            } else if (s <= 9) {
                int w = s % 5;
                if (!playing(w) && !playing(w + 5)) qel_DecodeJpg(w);
            }
            if (s == 17 && windowShown(17) == 0) {
                // A hidden window 17 goes back to a small H.264 channel.
                qelDrvLib_RestoreSetWinWH(17, 176, 144);
                qelDrvLib_DecType(17, ZURIR_PT_H264);
            }
        }
        is->FrameCounterTemp = is->FrameCounter.load();
    }
    return 1;
}

int qelDetectFullScreen(int* full_multi, int* iWin) {
    int full = 0;
    int win = 0;
    for (int s = 0; s < QEL_SLOT_MAX; s++) {
        if (vsm[s] != nullptr && vsm[s]->is_full_screen == 1) {
            full = 1;
            win = s;
        }
    }
    if (full_multi != nullptr) *full_multi = full;
    if (iWin != nullptr) *iWin = win;
    return iChannelNum;
}
