// Output helpers: device and layer, channels laid out by window record or by layout mode,
// suspend and resume, binds and picture adjustment.
#include <atomic>
#include <cstring>

#include "sample_comm.h"

namespace {

// 1 while the output channel is suspended (hidden on purpose); a restart keeps it hidden.
// Written by the command threads, read by whichever thread restarts a window.
std::atomic<HI_S32> iSuspendChn[QEL_WIN_MAX];

HI_U32 even(HI_U32 v) {
    return v & ~1u;
}

bool suspended(HI_S32 ch) {
    return ch >= 0 && ch < QEL_WIN_MAX && iSuspendChn[ch] == 1;
}

struct ModeGrid {
    HI_U32 cols, rows;
    HI_U32 wholeCells;  // cells before the first one split in four
    HI_U32 windows;
};

bool modeGrid(SAMPLE_VO_MODE_E enMode, ModeGrid* g) {
    static const ModeGrid table[VO_MODE_BUTT] = {
        {1, 1, 1, 1},  {2, 2, 4, 4}, {3, 3, 9, 9},   {2, 2, 0, 16},  {2, 2, 3, 7},   {2, 2, 2, 10},
        {2, 2, 1, 13}, {4, 2, 8, 8}, {5, 5, 25, 25}, {6, 5, 30, 30}, {8, 4, 32, 32}, {1, 4, 4, 4},
        {4, 1, 4, 4},  {2, 1, 2, 2}, {1, 2, 2, 2},   {3, 1, 3, 3},   {1, 3, 3, 3},
    };
    int i = static_cast<int>(enMode);
    if (i < 0 || i >= VO_MODE_BUTT) return false;
    *g = table[i];
    return true;
}

HI_S32 setAndEnable(VO_DEV VoDev, VO_CHN ch, HI_S32 x, HI_S32 y, HI_U32 w, HI_U32 h) {
    VO_CHN_ATTR_S stChnAttr;
    memset(&stChnAttr, 0, sizeof stChnAttr);
    stChnAttr.u32Priority = 0;
    stChnAttr.bDeflicker = HI_FALSE;
    stChnAttr.stRect = RECT_S{x, y, w, h};
    HI_S32 s32Ret = HI_MPI_VO_SetChnAttr(VoDev, ch, &stChnAttr);
    if (s32Ret != HI_SUCCESS) {
        printf("%s(%d):failed with %#x!\n", __FUNCTION__, __LINE__, s32Ret);
        return HI_FAILURE;
    }
    s32Ret = HI_MPI_VO_EnableChn(VoDev, ch);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

}  // namespace

HI_S32 SAMPLE_COMM_VO_MemConfig(VO_DEV VoDev, const HI_CHAR* pcMmzName) {
    MPP_CHN_S stMppChnVO = {HI_ID_VOU, VoDev, 0};
    if (HI_MPI_SYS_SetMemConf(&stMppChnVO, pcMmzName) != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_SYS_SetMemConf ERR !\n");
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_GetWH(VO_INTF_SYNC_E enIntfSync, HI_U32* pu32W, HI_U32* pu32H,
                            HI_U32* pu32Frm) {
    static const HI_U32 table[][3] = {
        {720, 576, 25},   {720, 480, 30},  {1920, 1080, 24}, {1920, 1080, 25}, {1920, 1080, 30},
        {1280, 720, 50},  {1280, 720, 60}, {1920, 1080, 50}, {1920, 1080, 60}, {1920, 1080, 50},
        {1920, 1080, 60}, {720, 576, 50},  {720, 480, 60},   {800, 600, 60},   {1024, 768, 60},
        {1280, 1024, 60}, {1366, 768, 60}, {1440, 900, 60},  {1280, 800, 60},
    };
    int i = static_cast<int>(enIntfSync);
    const HI_U32* row = nullptr;
    static const HI_U32 wqxga[3] = {2560, 1600, 60};
    if (i >= 0 && i < 19)
        row = table[i];
    else if (enIntfSync == VO_OUTPUT_2560x1600_60)
        row = wqxga;
    if (!row || !pu32W || !pu32H || !pu32Frm) {
        SAMPLE_PRT("vo enIntfSync not support!\n");
        return HI_FAILURE;
    }
    *pu32W = row[0];
    *pu32H = row[1];
    *pu32Frm = row[2];
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_StartDevLayer(VO_DEV VoDev, VO_PUB_ATTR_S* pstPubAttr, HI_U32 u32SrcFrmRate) {
    if (u32SrcFrmRate == 0) {
        SAMPLE_PRT("vo u32SrcFrmRate invaild! %d!\n", u32SrcFrmRate);
        return HI_FAILURE;
    }
    if (!pstPubAttr) return HI_FAILURE;
    HI_S32 s32Ret;
#define VO_STEP(call)                             \
    s32Ret = (call);                              \
    if (s32Ret != HI_SUCCESS) {                   \
        SAMPLE_PRT("failed with %#x!\n", s32Ret); \
        return HI_FAILURE;                        \
    }
    VO_STEP(HI_MPI_VO_DisableVideoLayer(VoDev));
    VO_STEP(HI_MPI_VO_Disable(VoDev));
    s32Ret = HI_MPI_VO_SetDispBufLen(VoDev, 4);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_VO_SetDispBufLen failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    VO_STEP(HI_MPI_VO_SetPubAttr(VoDev, pstPubAttr));
    VO_STEP(HI_MPI_VO_Enable(VoDev));
    HI_U32 u32BufLen = 0;
    VO_STEP(HI_MPI_VO_GetDispBufLen(VoDev, &u32BufLen));
    printf("VoDev: %d   BufLen: %d \n \n \n", VoDev, u32BufLen);

    HI_U32 u32Width, u32Height, u32Frm;
    if (SAMPLE_COMM_VO_GetWH(pstPubAttr->enIntfSync, &u32Width, &u32Height, &u32Frm) != HI_SUCCESS)
        return HI_FAILURE;
    VO_VIDEO_LAYER_ATTR_S stLayerAttr;
    memset(&stLayerAttr, 0, sizeof stLayerAttr);
    stLayerAttr.stDispRect = RECT_S{0, 0, u32Width, u32Height};
    stLayerAttr.stImageSize = SIZE_S{u32Width, u32Height};
    stLayerAttr.u32DispFrmRt = u32SrcFrmRate;
    stLayerAttr.enPixFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_420;
    VO_STEP(HI_MPI_VO_SetVideoLayerAttr(VoDev, &stLayerAttr));
    VO_STEP(HI_MPI_VO_EnableVideoLayer(VoDev));
#undef VO_STEP
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_StopDevLayer(VO_DEV VoDev) {
    HI_S32 s32Ret = HI_MPI_VO_DisableVideoLayer(VoDev);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    s32Ret = HI_MPI_VO_Disable(VoDev);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_StartChnById(VO_DEV VoDev, VO_PUB_ATTR_S* pstPubAttr, SAMPLE_VO_MODE_E enMode,
                                   HI_S32 cchId, SAMPLE_VOWIN_S voWin_s) {
    (void)enMode;
    if (!pstPubAttr) return HI_FAILURE;
    VO_CHN_ATTR_S stChnAttr;
    memset(&stChnAttr, 0, sizeof stChnAttr);
    stChnAttr.u32Priority = voWin_s.u8VideoOrPip;
    stChnAttr.bDeflicker = HI_FALSE;
    HI_U32 x = even(voWin_s.u32xPosStart), y = even(voWin_s.u32yPosStart);
    // A stop left of its start gives a size the output refuses rather than a huge one.
    HI_U32 xStop = even(voWin_s.u32xPosStop), yStop = even(voWin_s.u32yPosStop);
    stChnAttr.stRect.s32X = static_cast<HI_S32>(x);
    stChnAttr.stRect.s32Y = static_cast<HI_S32>(y);
    stChnAttr.stRect.u32Width = xStop > x ? xStop - x : 0;
    stChnAttr.stRect.u32Height = yStop > y ? yStop - y : 0;

    HI_S32 s32Ret;
    if (voWin_s.u8VideoOrPip == 1) {
        HI_U32 u32W, u32H, u32Frm;
        if (SAMPLE_COMM_VO_GetWH(pstPubAttr->enIntfSync, &u32W, &u32H, &u32Frm) != HI_SUCCESS)
            return HI_FAILURE;
        HI_MPI_VO_PipLayerBindDev(VoDev);
        VO_VIDEO_LAYER_ATTR_S stPipAttr;
        memset(&stPipAttr, 0, sizeof stPipAttr);
        stPipAttr.stDispRect = RECT_S{0, 0, u32W, u32H};
        stPipAttr.stImageSize = SIZE_S{u32W, u32H};
        stPipAttr.u32DispFrmRt = u32Frm;
        stPipAttr.enPixFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_420;
        for (HI_S32 i = 0; i < QEL_WIN_MAX; ++i) {
            if (sample_vo_win_s[i].u8VideoOrPip == 1 && sample_vo_win_s[i].u8DisplayEn == 1)
                HI_MPI_VO_DisableChn(VoDev, i);
        }
        for (int step = 0; step < 3; ++step) {
            s32Ret = step == 0   ? HI_MPI_VO_DisablePipLayer()
                     : step == 1 ? HI_MPI_VO_SetPipLayerAttr(&stPipAttr)
                                 : HI_MPI_VO_EnablePipLayer();
            if (s32Ret != HI_SUCCESS) {
                printf("%s(%d):failed with %#x!\n", __FUNCTION__, __LINE__, s32Ret);
                return HI_FAILURE;
            }
        }
    }
    s32Ret = HI_MPI_VO_SetChnAttr(VoDev, cchId, &stChnAttr);
    if (s32Ret != HI_SUCCESS) {
        printf("%s(%d):failed with %#x!\n", __FUNCTION__, __LINE__, s32Ret);
        return HI_FAILURE;
    }
    for (HI_S32 i = 0; i < QEL_WIN_MAX; ++i) {
        if (sample_vo_win_s[i].u8DisplayEn != 1) continue;
        HI_MPI_VO_EnableChn(VoDev, i);
        if (iSuspendChn[i] == 1) {
            s32Ret = HI_MPI_VO_ChnHide(VoDev, i);
            if (s32Ret != HI_SUCCESS) {
                printf("HI_MPI_VO_ChnHide failed with %#x!\n", s32Ret);
                return HI_FAILURE;
            }
        }
    }
    printf("VoDev: %d  cchId: %d iSuspendChn[]: %d \n", VoDev, cchId, suspended(cchId) ? 1 : 0);
    // Only a hide that fails makes the restart fail; the enable's result is not checked.
    HI_MPI_VO_EnableChn(VoDev, cchId);
    if (suspended(cchId)) {
        s32Ret = HI_MPI_VO_ChnHide(VoDev, cchId);
        if (s32Ret != HI_SUCCESS) {
            printf("HI_MPI_VO_ChnHide failed with %#x!\n", s32Ret);
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_StartChn(VO_DEV VoDev, VO_PUB_ATTR_S* pstPubAttr, SAMPLE_VO_MODE_E enMode) {
    ModeGrid g;
    if (!modeGrid(enMode, &g)) {
        SAMPLE_PRT("failed with %#x!\n", static_cast<HI_U32>(enMode));
        return HI_FAILURE;
    }
    if (!pstPubAttr) return HI_FAILURE;
    HI_U32 W, H, u32Frm;
    if (SAMPLE_COMM_VO_GetWH(pstPubAttr->enIntfSync, &W, &H, &u32Frm) != HI_SUCCESS)
        return HI_FAILURE;
    for (HI_U32 i = 0; i < g.cols * g.rows; ++i) {
        HI_U32 col = i % g.cols, row = i / g.cols;
        HI_U32 x = even(W * col / g.cols);
        HI_U32 y = even(H * row / g.rows);
        HI_U32 right = even(W * ((i + 1) % g.cols) / g.cols);
        HI_U32 w = right ? right - x : W - x;
        HI_U32 bottom = even((row + 1) * H / g.rows);
        HI_U32 h = bottom ? bottom - y : H - y;
        if (i < g.wholeCells) {
            if (setAndEnable(VoDev, static_cast<VO_CHN>(i), x, y, w, h) != HI_SUCCESS)
                return HI_FAILURE;
            continue;
        }
        for (HI_U32 j = 0; j < 4; ++j) {
            VO_CHN ch = static_cast<VO_CHN>((i - g.wholeCells) * 4 + g.wholeCells + j);
            HI_U32 qx = even(x + (j % 2) * (w / 2));
            HI_U32 qy = even(y + (j / 2) * (h / 2));
            if (setAndEnable(VoDev, ch, qx, qy, even(w / 2), even(h / 2)) != HI_SUCCESS)
                return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_StopChn(VO_DEV VoDev, SAMPLE_VO_MODE_E enMode) {
    ModeGrid g;
    if (!modeGrid(enMode, &g)) {
        SAMPLE_PRT("failed with %#x!\n", static_cast<HI_U32>(enMode));
        return HI_FAILURE;
    }
    for (HI_U32 i = 0; i < g.windows; ++i) {
        HI_S32 s32Ret = HI_MPI_VO_DisableChn(VoDev, static_cast<VO_CHN>(i));
        if (s32Ret != HI_SUCCESS) {
            SAMPLE_PRT("failed with %#x!\n", s32Ret);
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_SuspendChn(VO_DEV VoDev, HI_S32 ichId) {
    if (ichId >= 0 && ichId < QEL_WIN_MAX) iSuspendChn[ichId] = 1;
    HI_S32 s32Ret = HI_MPI_VO_ChnHide(VoDev, ichId);
    if (s32Ret != HI_SUCCESS) {
        printf("HI_MPI_VO_ChnHide failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_ResumeChn(VO_DEV VoDev, HI_S32 ichId) {
    if (ichId >= 0 && ichId < QEL_WIN_MAX) iSuspendChn[ichId] = 0;
    HI_S32 s32Ret = HI_MPI_VO_EnableChn(VoDev, ichId);
    if (s32Ret != HI_SUCCESS) {
        printf("HI_MPI_VO_EnableChn failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    s32Ret = HI_MPI_VO_ChnShow(VoDev, ichId);
    if (s32Ret != HI_SUCCESS) {
        printf("HI_MPI_VO_ChnShow failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_SetDevCSC(VO_DEV VoDev, VO_CSC_S* pstDevCSC) {
    return HI_MPI_VO_SetDevCSC(VoDev, pstDevCSC);
}

HI_S32 SAMPLE_COMM_VO_BindVpss(VO_DEV VoDev, VO_CHN VoChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    MPP_CHN_S stSrcChn = {HI_ID_VPSS, VpssGrp, VpssChn};
    MPP_CHN_S stDestChn = {HI_ID_VOU, VoDev, VoChn};
    HI_S32 s32Ret = HI_MPI_SYS_Bind(&stSrcChn, &stDestChn);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_UnBindVpss(VO_DEV VoDev, VO_CHN VoChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    MPP_CHN_S stSrcChn = {HI_ID_VPSS, VpssGrp, VpssChn};
    MPP_CHN_S stDestChn = {HI_ID_VOU, VoDev, VoChn};
    HI_S32 s32Ret = HI_MPI_SYS_UnBind(&stSrcChn, &stDestChn);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}
