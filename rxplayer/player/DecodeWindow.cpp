// The window and split calls: start a stream in a window, full screen, split layouts, the
// five calls that change one window record, output channel suspend and resume, and the
// pipeline rebuilds for a new output timing or channel touring.
#include <cstdio>
#include <cstring>

#include "DecodeState.h"
#include "box/Box.h"
#include "hi_platform.h"

namespace {

bool validWindow(int w) {
    return w >= 0 && w < QEL_WIN_MAX;
}

// Slot loops of the window calls: the window count, never past the slot table.
int slotCount() {
    return iChannelNum < QEL_SLOT_MAX ? iChannelNum : QEL_SLOT_MAX;
}

bool fullClip(const SAMPLE_VOWIN_S& r) {
    return r.u8xClipStart == 0 && r.u8xClipStop == 100 && r.u8yClipStart == 0 &&
           r.u8yClipStop == 100;
}

struct Rect {
    HI_U32 xs, xe, ys, ye;
};

// The rectangle of window i in split layout n; false when i is not part of it or n is not
// a layout (1, 4, 5, 16).
bool splitRect(int n, int i, Rect* r) {
    if (i < 0 || i >= n) return false;
    HI_U32 u = static_cast<HI_U32>(i);
    switch (n) {
        case 1:
            *r = {0, 1919, 0, 1079};
            return true;
        case 4:
            *r = {(u % 2) * 960, (u % 2 + 1) * 960 - 1, (u / 2) * 536, u < 2 ? 535u : 1079u};
            return true;
        case 5:
            if (i == 0)
                *r = {0, 1919, 0, 807};
            else
                *r = {(u - 1) * 480, u * 480 - 1, 808, 1079};
            return true;
        case 16:
            // Each stop is the next window's start.
            *r = {(u % 4) * 480, (u % 4 + 1) * 480, (u / 4) * 270, (u / 4 + 1) * 270};
            return true;
        default:
            return false;
    }
}

// Where a window outside the split waits: its cell of the 16-window grid, or the first cell
// for windows 16 and 17.
Rect parkRect(int w) {
    Rect r;
    if (w < 16 && splitRect(16, w, &r)) return r;
    return {0, 480, 0, 270};
}

void setRect(SAMPLE_VOWIN_S& rec, const Rect& r) {
    rec.u32xPosStart = r.xs;
    rec.u32xPosStop = r.xe;
    rec.u32yPosStart = r.ys;
    rec.u32yPosStop = r.ye;
}

void setFullClip(SAMPLE_VOWIN_S& rec) {
    rec.u8xClipStart = 0;
    rec.u8xClipStop = 100;
    rec.u8yClipStart = 0;
    rec.u8yClipStop = 100;
}

void setShown(SAMPLE_VOWIN_S& rec, int shown) {
    __atomic_store_n(&rec.u8DisplayEn, static_cast<HI_U8>(shown), __ATOMIC_RELAXED);
}

// The window qelShow checks for a slot: its display window, window 0 for slots 11..16.
int showDisplayIndex(int w) {
    if (w == 10 || w == 17) return 17;
    if (w >= 0 && w <= 9) return w % 5;
    return 0;
}

// The refusals of other window counts, which have fewer windows than slots.
bool outOfGrid(int w) {
    switch (iChannelNum) {
        case 2:
        case 21:
            if (w > 1) {
                DbgOut("Win ID is out of range! 1X2 or 2X1\n");
                return true;
            }
            break;
        case 3:
        case 31:
            if (w > 2) {
                DbgOut("Win ID is out of range! 1X3 or 3X1\n");
                return true;
            }
            break;
        case 5:
        case 11:
            if (w > 3) {
                DbgOut("Win ID is out of range! 1X4 or 4X1\n");
                return true;
            }
            break;
        default:
            break;
    }
    return false;
}

// The library is started and w is a slot of the window count.
bool checkStarted(int w) {
    if (g_qelInited == 0) {
        DbgOut("qelLib is not initialed!\n");
        return false;
    }
    if (w < 0 || w >= iChannelNum || w >= QEL_SLOT_MAX || vsm[w] == nullptr) {
        DbgOut("Win ID is out of range!\n");
        return false;
    }
    return true;
}

// The parameter sets of slot w's open video stream, into its init packet, by the reader's
// rule: parameter sets too large for the packet leave it empty, never cut.
void copyExtradata(int w) {
    const AVStream* st = vsm[w]->video_st;
    if (st == nullptr || st->codecpar == nullptr) return;
    storeInitPacket(st, w);
}

// Advances the stream start counter /mnt/power.ini by 4, wrapping to 5000 at 8000.
void countStart() {
    std::string path = box::path("/mnt/power.ini");
    FILE* f = fopen(path.c_str(), "r");
    if (f == nullptr) return;
    int n = 5000;
    if (fscanf(f, "%d", &n) != 1) n = 5000;
    fclose(f);
    // Wider than the counter, so a damaged file cannot overflow the sum.
    long long next = static_cast<long long>(n) + 4;
    f = fopen(path.c_str(), "w");
    if (f == nullptr) return;
    if (next >= 8000) next = 5000;
    fprintf(f, "%lld\n", next);
    printf("fpower content: %d\n", static_cast<int>(next));
    fclose(f);
}

}  // namespace

int qelShow(int iWin, const char* input_filename, int iFull) {
    if (!checkStarted(iWin)) return -1;
    if (iChannelNum == 18) {
        if (windowShown(showDisplayIndex(iWin)) == 0) return -1;
    } else if (outOfGrid(iWin)) {
        return -1;
    }
    int slots = slotCount();
    if (iFull == 0 || iFull == 1) {
        qelFullWinToScreen(iWin, iFull);
    } else if (iFull == 2) {
        if (vsm[iWin]->is_full_screen != 1)
            for (int s = 0; s < slots; s++)
                if (vsm[s] != nullptr && vsm[s]->is_full_screen == 1) return -1;
    } else if (iFull == 3) {
        for (int s = 0; s < slots; s++) {
            if (vsm[s] == nullptr) continue;
            vsm[s]->is_full_screen = 0;
            vsm[s]->is_show = 0;
        }
        vsm[iWin]->is_full_screen = 1;
    }

    if (stream_start(vsm[iWin], input_filename, nullptr) != 0) {
        // The window goes to the slot that was to take it over, so it is not left to a slot
        // that no longer plays.
        if (iWin <= 9)
            decode_ChannelUse[iWin % 5] = decode_ChannelPre[iWin % 5].load();
        else if (iWin == 10 || iWin == 17)
            decode_ChannelUse[5] = decode_ChannelPre[5].load();
        DbgOut("Failed to start stream %d %s (%d)!\n", iWin == 10 ? 17 : iWin,
               input_filename ? input_filename : "", iFull);
        return -1;
    }
    DbgOut("Start stream %d %s successed (%d)!\n", iWin, input_filename ? input_filename : "",
           iFull);
    copyExtradata(iWin);
    vsm[iWin]->is_show = 1;
    countStart();
    return 0;
}

int qelFullWinToScreen(int iWin, int fullscreen) {
    if (!checkStarted(iWin)) return -1;
    int slots = slotCount();
    for (int s = 0; s < slots; s++) {
        if (vsm[s] == nullptr) continue;
        vsm[s]->is_full_screen = 0;
        vsm[s]->is_show = 0;
    }
    vsm[iWin]->is_full_screen = fullscreen;
    qelDrvLib_FullWin(iWin, fullscreen);
    return 0;
}

int qelCheckWhetherNeedSetSplit(int iSplitWinOrg, int iSplitWin) {
    if (iSplitWinOrg != iSplitWin) return 1;
    for (int w = (iSplitWin < QEL_WIN_MAX ? iSplitWin : QEL_WIN_MAX) - 1; w >= 0; w--) {
        Rect r;
        if (!splitRect(iSplitWin, w, &r)) return 0;
        const SAMPLE_VOWIN_S& rec = sample_vo_win_s[w];
        if (rec.u32xPosStart != r.xs || rec.u32xPosStop != r.xe || rec.u32yPosStart != r.ys ||
            rec.u32yPosStop != r.ye)
            return 1;
        if (iSplitWin == 1 && windowShown(0) != 1) return 1;
    }
    return 0;
}

int qelSetSplitPara(int iSplitWin, int iVideoPip) {
    int inSplit = iSplitWin < 0 ? 0 : iSplitWin < QEL_WIN_MAX ? iSplitWin : QEL_WIN_MAX;
    HI_U8 layer = static_cast<HI_U8>(iVideoPip);
    // Windows outside the split are hidden at their park cells first, then the split's own
    // windows are hidden, so that no shown window overlaps another while they move.
    for (int w = QEL_WIN_MAX - 1; w >= inSplit; w--) {
        SAMPLE_VOWIN_S& rec = sample_vo_win_s[w];
        setRect(rec, parkRect(w));
        rec.u8VideoOrPip = layer;
        setShown(rec, 0);
        setFullClip(rec);
        qelDrvLib_ClipWindows(w, rec);
        saveWinParaIni(w);
    }
    for (int w = inSplit - 1; w >= 0; w--) {
        setShown(sample_vo_win_s[w], 0);
        qelDrvLib_ClipWindows(w, sample_vo_win_s[w]);
    }
    for (int w = inSplit - 1; w >= 0; w--) {
        SAMPLE_VOWIN_S& rec = sample_vo_win_s[w];
        Rect r;
        if (splitRect(iSplitWin, w, &r)) setRect(rec, r);
        rec.u8VideoOrPip = layer;
        setShown(rec, 1);
        setFullClip(rec);
        qelDrvLib_ClipWindows(w, rec);
        saveWinParaIni(w);
    }
    return 0;
}

namespace {

// The three parts of a window record that the window calls compare, store and apply.
bool flagsDiffer(const SAMPLE_VOWIN_S& rec, int layer, int shown) {
    return rec.u8VideoOrPip != layer || rec.u8DisplayEn != shown;
}

bool clipDiffers(const SAMPLE_VOWIN_S& rec, int xs, int xe, int ys, int ye) {
    return rec.u8xClipStart != xs || rec.u8xClipStop != xe || rec.u8yClipStart != ys ||
           rec.u8yClipStop != ye;
}

bool rectDiffers(const SAMPLE_VOWIN_S& rec, int xs, int xe, int ys, int ye) {
    return rec.u32xPosStart != static_cast<HI_U32>(xs) ||
           rec.u32xPosStop != static_cast<HI_U32>(xe) ||
           rec.u32yPosStart != static_cast<HI_U32>(ys) ||
           rec.u32yPosStop != static_cast<HI_U32>(ye);
}

// Flags and clips are kept as their low 8 bits.
void storeFlags(SAMPLE_VOWIN_S& rec, int layer, int shown) {
    rec.u8VideoOrPip = static_cast<HI_U8>(layer);
    setShown(rec, shown);
}

void storeClip(SAMPLE_VOWIN_S& rec, int xs, int xe, int ys, int ye) {
    rec.u8xClipStart = static_cast<HI_U8>(xs);
    rec.u8xClipStop = static_cast<HI_U8>(xe);
    rec.u8yClipStart = static_cast<HI_U8>(ys);
    rec.u8yClipStop = static_cast<HI_U8>(ye);
}

void storeRect(SAMPLE_VOWIN_S& rec, int xs, int xe, int ys, int ye) {
    setRect(rec, {static_cast<HI_U32>(xs), static_cast<HI_U32>(xe), static_cast<HI_U32>(ys),
                  static_cast<HI_U32>(ye)});
}

}  // namespace

int qelClipWin(int iCurWin, int iStartW, int iStopW, int iStartH, int iStopH, int iVideoPip,
               int iDisplayEn) {
    if (!validWindow(iCurWin)) return -1;
    SAMPLE_VOWIN_S& rec = sample_vo_win_s[iCurWin];
    if (flagsDiffer(rec, iVideoPip, iDisplayEn) ||
        clipDiffers(rec, iStartW, iStopW, iStartH, iStopH)) {
        storeFlags(rec, iVideoPip, iDisplayEn);
        storeClip(rec, iStartW, iStopW, iStartH, iStopH);
        qelDrvLib_ClipWindows(iCurWin, rec);
    }
    saveWinParaIni(iCurWin);
    return 0;
}

int qelPosWin(int iCurWin, int iStartW, int iStopW, int iStartH, int iStopH, int iVideoPip,
              int iDisplayEn) {
    if (!validWindow(iCurWin)) return -1;
    SAMPLE_VOWIN_S& rec = sample_vo_win_s[iCurWin];
    if (flagsDiffer(rec, iVideoPip, iDisplayEn) ||
        rectDiffers(rec, iStartW, iStopW, iStartH, iStopH)) {
        storeFlags(rec, iVideoPip, iDisplayEn);
        storeRect(rec, iStartW, iStopW, iStartH, iStopH);
        qelDrvLib_PosWindows(iCurWin, rec);
    }
    saveWinParaIni(iCurWin);
    return 0;
}

int qelVideoWin(int iCurWin, int iStartPW, int iStopPW, int iStartPH, int iStopPH, int iStartCW,
                int iStopCW, int iStartCH, int iStopCH, int iVideoPip, int iDisplayEn) {
    if (!validWindow(iCurWin)) return -1;
    // Window 17 shows pictures of many sizes; a stale one must not stay behind a change.
    if (iCurWin == 17) HI_MPI_VO_ClearChnBuffer(0, 17, HI_TRUE);
    SAMPLE_VOWIN_S& rec = sample_vo_win_s[iCurWin];
    if (flagsDiffer(rec, iVideoPip, iDisplayEn) ||
        clipDiffers(rec, iStartCW, iStopCW, iStartCH, iStopCH) ||
        rectDiffers(rec, iStartPW, iStopPW, iStartPH, iStopPH)) {
        storeFlags(rec, iVideoPip, iDisplayEn);
        storeClip(rec, iStartCW, iStopCW, iStartCH, iStopCH);
        storeRect(rec, iStartPW, iStopPW, iStartPH, iStopPH);
        qelDrvLib_VideoWindows(iCurWin, rec);
    }
    saveWinParaIni(iCurWin);
    return 0;
}

int qelLayerWin(int iCurWin, int iVideoPip) {
    if (!validWindow(iCurWin)) return -1;
    const SAMPLE_VOWIN_S& rec = sample_vo_win_s[iCurWin];
    // qelPosWin stores the new layer and applies it with the stored rectangle.
    if (rec.u8VideoOrPip != iVideoPip)
        qelPosWin(iCurWin, static_cast<int>(rec.u32xPosStart), static_cast<int>(rec.u32xPosStop),
                  static_cast<int>(rec.u32yPosStart), static_cast<int>(rec.u32yPosStop), iVideoPip,
                  rec.u8DisplayEn);
    saveWinParaIni(iCurWin);
    return 0;
}

int qelDisplayWin(int iCurWin, int iDisplayEn) {
    if (!validWindow(iCurWin)) return -1;
    const SAMPLE_VOWIN_S& rec = sample_vo_win_s[iCurWin];
    if (rec.u8DisplayEn != iDisplayEn) {
        if (iCurWin == 17) HI_MPI_VO_ClearChnBuffer(0, 17, HI_TRUE);
        qelVideoWin(iCurWin, static_cast<int>(rec.u32xPosStart), static_cast<int>(rec.u32xPosStop),
                    static_cast<int>(rec.u32yPosStart), static_cast<int>(rec.u32yPosStop),
                    rec.u8xClipStart, rec.u8xClipStop, rec.u8yClipStart, rec.u8yClipStop,
                    rec.u8VideoOrPip, iDisplayEn);
    }
    saveWinParaIni(iCurWin);
    return 0;
}

int qel_SuspendChn(int iCurWin, int iCheckFlag) {
    if (!validWindow(iCurWin)) return 0;
    if (iCheckFlag != 0) {
        const SAMPLE_VOWIN_S& rec = sample_vo_win_s[iCurWin];
        if (windowShown(iCurWin) != 1 || fullClip(rec)) return 0;
    }
    qelDrvLib_SuspendChn(iCurWin);
    return 1;
}

int qel_ResumeChn() {
    qelDrvLib_ResumeChn();
    return 0;
}

int qelIsVideoExisted(int iWin, int* iWinCur, int* iWidth, int* iHeight) {
    // A window outside the slot table has no stream; its outputs are left alone.
    if (iWin < 0 || iWin >= QEL_SLOT_MAX || vsm[iWin] == nullptr) return 0;
    if (iWinCur != nullptr) *iWinCur = iChannelNum;
    if (iWidth != nullptr) *iWidth = vsm[iWin]->video_width;
    if (iHeight != nullptr) *iHeight = vsm[iWin]->video_height;
    return vsm[iWin]->is_Exist;
}

int qelSetVideoWin(ZURIR_VO_INTF_SYNC_E video_out) {
    int rc = 0;
    SDL_mutexP(hiH264LibInit);
    qelDrvLib_LunXun(0, 0);
    if (qelDrvInit(iChannelNum, static_cast<unsigned char>(video_out)) != 0) {
        DbgOut("qelLib Init third part h264Lib failed!\n");
        rc = -1;
    }
    SDL_mutexV(hiH264LibInit);
    return rc;
}

int qelCircleBroadcast(int onoff, int lunxun_num, int lunxun_chn, ZURIR_VO_INTF_SYNC_E video_out) {
    bool touringCount = lunxun_num == 1 || lunxun_num == 4 || lunxun_num == 8 || lunxun_num == 16 ||
                        lunxun_num == 32;
    if (onoff != 0) {
        if (!touringCount) return 0;
        qelDrvLib_LunXun(lunxun_num, lunxun_chn);
        if (lunxun_num == iChannelNum) return 0;
        int rc = 0;
        SDL_mutexP(hiH264LibInit);
        iChannelNum = lunxun_num;
        if (qelDrvInit(iChannelNum, static_cast<unsigned char>(video_out)) != 0) {
            DbgOut("qelLib Init third part h264Lib failed!\n");
            rc = -1;
        }
        SDL_mutexV(hiH264LibInit);
        return rc;
    }
    uint32_t mask = lunxun_num >= 32 ? 0xffffffffu : (1u << (lunxun_num & 31)) - 1;
    if (touringCount && (static_cast<uint32_t>(lunxun_chn) & mask) != 0) {
        qelDrvLib_LunXun(lunxun_num, lunxun_chn);
    } else {
        qelDrvLib_LunXun(0, 0);
        qelFullWinToScreen(0, 0);
    }
    return 0;
}
