// Synchronised playback: whether a window takes part in a wall-wide time base, the time base
// itself, and the extra offsets. An accepted slot's reader feeds its video with presentation
// times (see the reader thread).
#include <cinttypes>
#include <cstdio>

extern "C" {
#include <libavutil/time.h>
}

#include "DecodeState.h"
#include "hi_platform.h"
#include "qel_sys.h"

// 1: only the offset 88 is accepted, at once; any other mode admits every other offset after
// the lag check.
std::atomic<int> iSetSyncClose{1};
std::atomic<int> iPRINT_SYNC{1};

namespace {

// The offset that marks a slot at once, without the lag check.
const int kImmediateOffset = 88;

// Lag limits, microseconds.
const uint64_t kOnTimeLag = 230000;
const uint64_t kTooLateLag = 600000;

void clearSync(VideoState* is) {
    is->iSyncCurTimeSetOffset = 0;
    is->iSyncAdjust = 0;
}

// The display window of a window for the sync checks: 17 for window 10, w mod 5 for 0..9,
// w itself otherwise.
int syncDisplayIndex(int w) {
    if (w == 10) return 17;
    if (w >= 0 && w <= 9) return w % 5;
    return w;
}

// The slot feeds its window now; windows 11..16 feed none.
bool feedsItsWindow(int w, int d) {
    if (d == 17) return decode_ChannelUse[5] == w;
    if (d >= 0 && d <= 4) return decode_ChannelUse[d] == w;
    return false;
}

// Sets the box's clock to the time base. The base is an unsigned millisecond count, so the
// clock it gives is never negative.
void setClock(uint32_t base) {
    struct timeval tv;
    tv.tv_sec = static_cast<time_t>(base / 1000);
    tv.tv_usec = static_cast<suseconds_t>((base % 1000) * 1000);
    qelSys_settimeofday(&tv);
}

void printLag(uint32_t waiting, uint64_t diff) {
    printf("havn't decoded Frames: %d  diffTimeBase: %lld\n", static_cast<int>(waiting),
           static_cast<long long>(diff));
}

}  // namespace

int qelSetSync(int iCurWin, int iSyncTimeBaseValue, int iSyncTimeOffSetValue) {
    const int w = iCurWin;
    if (w < 0 || w >= QEL_SLOT_MAX || vsm[w] == nullptr) return -1;
    const int d = syncDisplayIndex(w);
    if (!feedsItsWindow(w, d)) return 0;
    VideoState* g = vsm[w];

    if ((w == 0 || w == 5) && g->ptsDiff > 7200) {
        g->iSkipAudioCnt = 75;
        printf("vsm[%d]->ptsDiff: %lld Video and Audio is not Sync, need resync\n", w,
               static_cast<long long>(g->ptsDiff.load()));
    }
    if (iSetSyncClose == 1) {
        if (iSyncTimeOffSetValue != kImmediateOffset) {
            clearSync(g);
            return 0;
        }
    } else if (iSyncTimeOffSetValue == kImmediateOffset) {
        printf("adjust 88 sync ");
        clearSync(g);
        return 0;
    }
    if (g->is_Exist == 0) {
        clearSync(g);
        return 0;
    }
    const SAMPLE_VOWIN_S& rec = sample_vo_win_s[d];
    bool clipped = !(rec.u8xClipStart == 0 && rec.u8xClipStop == 100 && rec.u8yClipStart == 0 &&
                     rec.u8yClipStop == 100);
    if (windowShown(d) != 1 || !clipped) {
        clearSync(g);
        return 0;
    }
    for (int i = 0; i < QEL_SLOT_MAX; i++) {
        if (i == w || vsm[i] == nullptr || vsm[i]->iSyncAdjust != 1) continue;
        // Only one window of a decoder follows a wall's time base: a second asking cancels both.
        vsm[i]->iSyncAdjust = 0;
        printf("Clear %d & %d iSyncAdjust \n", i, w);
        clearSync(g);
        return 0;
    }

    uint32_t now = static_cast<uint32_t>(av_gettime() / 1000);
    g->iSyncCurTimeBase = now;
    printf(
        "AAA iGetDataId: %d  iSyncTimeBaseValue: %d  CurTimeBase: %d  "
        "iSyncTimeOffSetValue: %d \n",
        w, iSyncTimeBaseValue, static_cast<int>(now), iSyncTimeOffSetValue);
    const uint32_t base = static_cast<uint32_t>(iSyncTimeBaseValue);
    g->iSyncCurTimeSetBase = base;

    if (iSyncTimeOffSetValue != 0) {
        setClock(base);
        const uint64_t setPts = static_cast<uint64_t>(base) * 1000u;
        HI_MPI_SYS_InitPtsBase(setPts);
        if (iSetSyncClose == 1) {
            g->iSyncCurTimeSetOffset = kImmediateOffset;
            g->iSyncAdjust = 1;
            printf("use sync mode 0 ");
            fflush(stdout);
            return 0;
        }

        HI_U64 curPts = 0;
        HI_MPI_SYS_GetCurPts(&curPts);
        HI_U64 displayPts = 0;
        HI_MPI_VO_GetChnPts(0, d, &displayPts);
        printf("displayTimeBase: %lld \n", static_cast<long long>(displayPts / 1000));
        VO_QUERY_STATUS_S voStat{};
        HI_MPI_VO_QueryChnStat(0, d, &voStat);
        VDEC_CHN_STAT_S vdecStat{};
        HI_MPI_VDEC_Query(d, &vdecStat);
        uint64_t diff = 0;
        if (setPts >= displayPts)
            diff = setPts - displayPts;
        else
            printf("    *************************************** setPts < displayPts");
        const uint32_t n = vdecStat.u32LeftStreamFrames;
        if (!(n == 0 && diff < kOnTimeLag)) {
            const char* restart = nullptr;
            if (diff > kTooLateLag && n >= 3)
                restart = "delay too much we need resatart connect source ";
            else if (n > 20)
                restart = "too much Frames havn't decode, we need restart connect source ";
            if (restart != nullptr) {
                // The window lags too far for its stamps to help: it plays on unstamped.
                printLag(n, diff);
                printf("%s", restart);
                g->iSyncAdjust = 0;
                fflush(stdout);
                return 0;
            }
            HI_MPI_VO_ClearChnBuffer(0, d, n >= 2 ? HI_TRUE : HI_FALSE);
            printLag(n, diff);
        }
    }
    g->iSyncCurTimeSetOffset = static_cast<uint32_t>(iSyncTimeOffSetValue);
    g->iSyncAdjust = 1;
    fflush(stdout);
    return 0;
}

int qelSetSyncOffset(int iCurWin, int iSyncTimeOffSetValue) {
    if (iCurWin < 0 || iCurWin >= QEL_SLOT_MAX || vsm[iCurWin] == nullptr) return -1;
    vsm[iCurWin]->iSyncCurTimeSetOffset2 = static_cast<uint32_t>(iSyncTimeOffSetValue);
    printf("iCurWin %d \n", iCurWin);
    printf("vsm[%d]->iSyncCurTimeSetOffset2 : %d  \n", iCurWin, iSyncTimeOffSetValue);
    iPRINT_SYNC = 1;
    printf("set iPRINT_SYNC = 1 to open PRINT_SYNC ");
    fflush(stdout);
    return 0;
}

int qelSetSyncClose(int iOnOff) {
    iSetSyncClose = iOnOff;
    return 0;
}
