#include <cstdio>
#include <cstring>

#include "display/OSD/qelOsd_api.h"
#include "display/qelDrvLibGeometry.h"
#include "display/qelDrvLibState.h"

SIZE_S Cut_Display_rect[QEL_WIN_MAX] = {
    {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080},
    {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080},
    {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080}};

std::atomic<int> iDrvCutEdgeHor{0};
std::atomic<int> iDrvCutEdgeVer{0};

namespace {

bool validWin(int w) {
    return w >= 0 && w < QEL_WIN_MAX;
}

// A picture size from a stream: kept only within what a decode channel takes, so that its
// buffer size (w x h x 3 / 2) cannot wrap.
bool badPictureSize(const char* who, int w, int width, int height) {
    if (width > 0 && width <= 4096 && height > 0 && height <= 4096) return false;
    printf("%s: window %d picture size %d x %d refused\n", who, w, width, height);
    return true;
}

qelgeo::WinRect rectOf(const SAMPLE_VOWIN_S& r) {
    return {(int)r.u32xPosStart, (int)r.u32yPosStart, (int)r.u32xPosStop, (int)r.u32yPosStop};
}

// The words of the three messages that tell the two callers apart.
struct ClipWords {
    const char* disableOther;
    const char* clipFailed;
    const char* start;
};

const ClipWords kClipWords = {"HI_MPI_VO_DisableChn ClipWindows failed with %#x!\n",
                              "HI_MPI_VPSS_SetClipCfg Clip failed %x!\n",
                              "Start SAMPLE_COMM_VO_StartChnById Clip failed %x!\n"};
const ClipWords kVideoWords = {"HI_MPI_VO_DisableChn VideoWindows failed with %#x!\n",
                               "HI_MPI_VPSS_SetClipCfg Video failed %x!\n",
                               "Start SAMPLE_COMM_VO_StartChnById video failed %x!\n"};

int applyWindow(int w, SAMPLE_VOWIN_S r, const ClipWords& words) {
    if (!validWin(w)) return -1;
    if (r.u8DisplayEn == 0) {
        HI_S32 s32Ret = HI_MPI_VO_DisableChn(VoDev, w);
        if (s32Ret != HI_SUCCESS) {
            printf("HI_MPI_VO_DisableChn Clip failed with %#x!\n", s32Ret);
            return -1;
        }
        return 0;
    }

    if (r.u8DisplayEn == 1) {
        // A shown window hides the big windows (0..4 and 17) it covers on its own layer.
        static const int kHideable[] = {0, 1, 2, 3, 4, 17};
        for (int k : kHideable) {
            if (k == w || sample_vo_win_s[k].u8DisplayEn != 1) continue;
            if (checkWhetherWindowIsOverlapWindow(w, k) != 0) continue;
            HI_S32 s32Ret = HI_MPI_VO_DisableChn(VoDev, k);
            if (s32Ret != HI_SUCCESS) printf(words.disableOther, s32Ret);
            sample_vo_win_s[k].u8DisplayEn = 0;
            saveWinParaIni(k);
        }
    }

    VPSS_CLIP_INFO_S stClip;
    memset(&stClip, 0, sizeof stClip);
    stClip.enClipCoordinate = VPSS_CROP_ABS_COOR;
    // A clip that ends at or before its start shows nothing sensible: the window is shown
    // whole rather than with the crop it had before.
    bool emptyClip = r.u8xClipStop <= r.u8xClipStart || r.u8yClipStop <= r.u8yClipStart;
    if (emptyClip)
        printf("window %d: clip %d-%d x %d-%d is empty, crop off\n", w, r.u8xClipStart,
               r.u8xClipStop, r.u8yClipStart, r.u8yClipStop);
    if (emptyClip || (r.u8xClipStart == 0 && r.u8xClipStop == 100 && r.u8yClipStart == 0 &&
                      r.u8yClipStop == 100)) {
        stClip.bEnable = HI_FALSE;
        stClip.stClipRect = {0, 0, 100, 100};
        HI_S32 s32Ret = HI_MPI_VPSS_SetClipCfg(w, &stClip);
        if (s32Ret != HI_SUCCESS) printf("HI_MPI_VPSS_SetClipCfg Video failed %x!\n", s32Ret);
    } else {
        stClip.bEnable = HI_TRUE;
        SIZE_S source;
        {
            std::lock_guard<std::mutex> tables(qelTablesMu);
            source = Cut_Display_rect[w];
        }
        int sw = (int)source.u32Width;
        int sh = (int)source.u32Height;
        int eh = iDrvCutEdgeHor, ev = iDrvCutEdgeVer;
        qelgeo::CropAxis x, y;
        if (eh >= 0 && eh <= 64 && ev >= 0 && ev <= 64) {
            x = qelgeo::cutEdgeCrop(sw, r.u8xClipStart, r.u8xClipStop,
                                    (int)r.u32xPosStop - (int)r.u32xPosStart, eh, w, true);
            y = qelgeo::cutEdgeCrop(sh, r.u8yClipStart, r.u8yClipStop,
                                    (int)r.u32yPosStop - (int)r.u32yPosStart, ev, w, false);
        } else {
            x = qelgeo::plainCrop(sw, r.u8xClipStart, r.u8xClipStop);
            y = qelgeo::plainCrop(sh, r.u8yClipStart, r.u8yClipStop);
        }
        stClip.stClipRect.s32X = x.offset;
        stClip.stClipRect.s32Y = y.offset;
        stClip.stClipRect.u32Width = (HI_U32)x.length;
        stClip.stClipRect.u32Height = (HI_U32)y.length;
        HI_S32 s32Ret = HI_MPI_VPSS_SetClipCfg(w, &stClip);
        if (s32Ret != HI_SUCCESS) printf(words.clipFailed, s32Ret);
    }

    VO_PUB_ATTR_S pub = qelPubAttr();
    HI_S32 s32Ret = SAMPLE_COMM_VO_StartChnById(VoDev, &pub, enVoMode, w, r);
    if (s32Ret != HI_SUCCESS) {
        printf(words.start, s32Ret);
        printf("iCurWinTemp: %d voWinCur.u8DisplayEn: %d \n", w, r.u8DisplayEn);
    }
    return 0;
}

}  // namespace

int qelDrvLib_ClipWindows(int iCurWin, SAMPLE_VOWIN_S voWinCur) {
    return applyWindow(iCurWin, voWinCur, kClipWords);
}

int qelDrvLib_VideoWindows(int iCurWin, SAMPLE_VOWIN_S voWinCur) {
    return applyWindow(iCurWin, voWinCur, kVideoWords);
}

int checkWhetherWindowIsOverlapWindow(int iWinid, int iComWinIndex) {
    if (!validWin(iWinid) || !validWin(iComWinIndex) || iWinid == iComWinIndex) return -1;
    const SAMPLE_VOWIN_S& c = sample_vo_win_s[iWinid];
    const SAMPLE_VOWIN_S& k = sample_vo_win_s[iComWinIndex];
    if (c.u8VideoOrPip != k.u8VideoOrPip) return -1;
    return qelgeo::windowsOverlap(rectOf(c), rectOf(k)) ? 0 : -1;
}

int qelDrvLib_PosWindows(int iCurWin, SAMPLE_VOWIN_S voWinCur) {
    if (!validWin(iCurWin)) return -1;
    HI_S32 s32Ret = HI_MPI_VO_DisableChn(VoDev, iCurWin);
    if (s32Ret != HI_SUCCESS) {
        printf("HI_MPI_VO_DisableChn Clip failed with %#x!\n", s32Ret);
        return -1;
    }
    if (voWinCur.u8DisplayEn == 0) return 0;
    VO_PUB_ATTR_S pub = qelPubAttr();
    s32Ret = SAMPLE_COMM_VO_StartChnById(VoDev, &pub, enVoMode, iCurWin, voWinCur);
    if (s32Ret != HI_SUCCESS) printf("Start SAMPLE_COMM_VO_StartChnById XXX failed %x!\n", s32Ret);
    return 0;
}

int qelDrvLib_SetWinWH(int iCurWin, int iWidth, int iHeight, SAMPLE_VOWIN_S voWinCur) {
    if (!validWin(iCurWin)) return 0;
    if (badPictureSize("qelDrvLib_SetWinWH", iCurWin, iWidth, iHeight)) return -1;
    {
        std::lock_guard<std::mutex> tables(qelTablesMu);
        Cut_Display_rect[iCurWin] = SIZE_S{(HI_U32)iWidth, (HI_U32)iHeight};
        if (voWinCur.u8DisplayEn) SizeAry[iCurWin] = SIZE_S{(HI_U32)iWidth, (HI_U32)iHeight};
    }
    if (voWinCur.u8DisplayEn) qelDrvLib_ClipWindows(iCurWin, voWinCur);
    return 0;
}

int qelDrvLib_JPGSetWinWH(int iCurWin, int iWidth, int iHeight) {
    if (!validWin(iCurWin)) return 0;
    if (badPictureSize("qelDrvLib_JPGSetWinWH", iCurWin, iWidth, iHeight)) return -1;
    std::lock_guard<std::mutex> tables(qelTablesMu);
    Cut_Display_rect[iCurWin] = SIZE_S{(HI_U32)iWidth, (HI_U32)iHeight};
    SizeAry[iCurWin] = SIZE_S{(HI_U32)iWidth, (HI_U32)iHeight};
    return 0;
}

int qelDrvLib_RestoreSetWinWH(int iCurWin, int iWidth, int iHeight) {
    return qelDrvLib_JPGSetWinWH(iCurWin, iWidth, iHeight);
}

int qelDrvLib_FullWin(int win, int full) {
    if (win < 0 || win >= iVoTotal) return -1;
    if (full == 1) {
        for (int i = 0; i < iVoTotal; ++i) {
            if (i == win)
                HI_MPI_VO_ChnShow(VoDev, i);
            else
                HI_MPI_VO_ChnHide(VoDev, i);
        }
        if (chnipDisplayEn) {
            hiDrawRect(1, enVoMode);
            hiDrawOSDchn(iVoTotal, win, 1);
            hiDrawOSDip(iVoTotal, win, 0, (iLunxunChn >> win) & 1, 1);
        } else {
            hiOSDclean();
        }
        VO_CHN_ATTR_S stChnAttr;
        memset(&stChnAttr, 0, sizeof stChnAttr);
        stChnAttr.u32Priority = 0;
        stChnAttr.bDeflicker = HI_FALSE;
        stChnAttr.stRect = {0, 0, (HI_U32)out_width, (HI_U32)out_height};
        return HI_MPI_VO_SetChnAttr(VoDev, win, &stChnAttr);
    }
    VO_PUB_ATTR_S pub = qelPubAttr();
    SAMPLE_COMM_VO_StartChn(VoDev, &pub, enVoMode);
    for (int i = 0; i < iVoTotal; ++i) HI_MPI_VO_ChnShow(VoDev, i);
    if (chnipDisplayEn) {
        hiDrawRect(iVoTotal, enVoMode);
        for (int i = 0; i < iVoTotal; ++i) {
            hiDrawOSDchn(iVoTotal, i, full);
            hiDrawOSDip(iVoTotal, i, 0, (iLunxunChn >> i) & 1, full);
        }
    } else {
        hiOSDclean();
    }
    return 0;
}

int qelDrvLib_CutEdge(int iCutEdgeHor, int iCutEdgeVer) {
    iDrvCutEdgeHor = iCutEdgeHor;
    iDrvCutEdgeVer = iCutEdgeVer;
    return 0;
}

int qelDrvLib_ApplyCutEdge() {
    for (int w = 0; w < QEL_WIN_MAX; ++w)
        if (sample_vo_win_s[w].u8DisplayEn) qelDrvLib_ClipWindows(w, sample_vo_win_s[w]);
    return 0;
}
