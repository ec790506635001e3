// Scaler-group helpers.
#include <cstring>

#include "sample_comm.h"

namespace {

// Creates, sets up and starts one group; bPcDisplay selects the PC display mode.
HI_S32 startGroup(VPSS_GRP grp, const VPSS_GRP_ATTR_S* attr, HI_S32 s32ChnCnt, bool bPcDisplay) {
    HI_S32 s32Ret = HI_MPI_VPSS_CreatGrp(grp, attr);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_VPSS_CreateGrp failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    VPSS_GRP_PARAM_S stVpssParam;
    s32Ret = HI_MPI_VPSS_GetParam(grp, 0, &stVpssParam);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    stVpssParam.u32MotionThresh = 0;
    if (bPcDisplay) stVpssParam.enDisMode = VPSS_DIS_MODE_PC;
    s32Ret = HI_MPI_VPSS_SetParam(grp, 0, &stVpssParam);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    for (HI_S32 c = 0; c < s32ChnCnt; ++c) {
        VPSS_CHN_ATTR_S stChnAttr;
        memset(&stChnAttr, 0, sizeof stChnAttr);
        stChnAttr.bSpEn = HI_FALSE;
        stChnAttr.bFrameEn = HI_FALSE;
        for (int k = 0; k < 4; ++k) {
            stChnAttr.stFrame.u32Width[k] = 2;
            stChnAttr.stFrame.u32Color[k] = 0xFF00;
        }
        s32Ret = HI_MPI_VPSS_SetChnAttr(grp, c, &stChnAttr);
        if (s32Ret != HI_SUCCESS) {
            SAMPLE_PRT("HI_MPI_VPSS_SetChnAttr failed with %#x\n", s32Ret);
            return HI_FAILURE;
        }
        s32Ret = HI_MPI_VPSS_EnableChn(grp, c);
        if (s32Ret != HI_SUCCESS) {
            SAMPLE_PRT("HI_MPI_VPSS_EnableChn failed with %#x\n", s32Ret);
            return HI_FAILURE;
        }
    }
    s32Ret = HI_MPI_VPSS_StartGrp(grp);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_VPSS_StartGrp failed with %#x\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

}  // namespace

HI_S32 SAMPLE_COMM_VPSS_MemConfig(HI_VOID) {
    for (HI_S32 i = 0; i < 64; ++i) {
        MPP_CHN_S stMppChnVpss = {HI_ID_VPSS, i, 0};
        const HI_CHAR* pcMmzName = (i % 2) ? "ddr1" : NULL;
        if (HI_MPI_SYS_SetMemConf(&stMppChnVpss, pcMmzName) != HI_SUCCESS) {
            SAMPLE_PRT("Vpss HI_MPI_SYS_SetMemConf ERR !\n");
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VPSS_Start(HI_S32 s32GrpCnt, SIZE_S* pstSize, HI_S32 s32ChnCnt,
                              VPSS_GRP_ATTR_S* pstVpssGrpAttr) {
    if (!pstSize) return HI_FAILURE;
    const HI_S32 kNone = 888;
    HI_S32 n = 4, split = kNone, small = kNone;
    switch (s32GrpCnt) {
        case 1:
            n = 1;
            break;
        case 7:
            split = 3;
            break;
        case 8:
            n = 8;
            break;
        case 9:
            n = 9;
            break;
        case 10:
            split = 2;
            break;
        case 13:
            split = 1;
            break;
        case 16:
            split = 0;
            break;
        case 18:
            n = 18;
            break;
        case 25:
            n = 25;
            small = 13;
            break;
        case 30:
            n = 30;
            small = 11;
            break;
        case 32:
            n = 32;
            small = 10;
            break;
        default:
            break;
    }
    VPSS_GRP_ATTR_S stGrpAttr;
    if (!pstVpssGrpAttr) {
        memset(&stGrpAttr, 0, sizeof stGrpAttr);
        stGrpAttr.enPixFmt = PIXEL_FORMAT_YUV_SEMIPLANAR_420;
        stGrpAttr.bDrEn = HI_FALSE;
        stGrpAttr.bDbEn = HI_FALSE;
        stGrpAttr.bIeEn = HI_TRUE;
        stGrpAttr.bNrEn = HI_TRUE;
        stGrpAttr.bHistEn = HI_FALSE;
        stGrpAttr.enDieMode = VPSS_DIE_MODE_AUTO;
    } else {
        stGrpAttr = *pstVpssGrpAttr;
    }
    stGrpAttr.u32MaxW = pstSize->u32Width;
    stGrpAttr.u32MaxH = pstSize->u32Height;

    for (HI_S32 i = 0; i < n; ++i) {
        if (i >= small) {
            stGrpAttr.u32MaxW = 352;
            stGrpAttr.u32MaxH = 288;
        }
        if (n == 18) {
            bool full = i <= 4 || i == 17;
            stGrpAttr.u32MaxW = full ? pstSize->u32Width : 176;
            stGrpAttr.u32MaxH = full ? pstSize->u32Height : 144;
        }
        if (i < split) {
            if (startGroup(i, &stGrpAttr, s32ChnCnt, true) != HI_SUCCESS) return HI_FAILURE;
            continue;
        }
        if (i == split) {
            stGrpAttr.u32MaxW = 720;
            stGrpAttr.u32MaxH = 576;
        }
        for (HI_S32 m = 0; m < 4; ++m) {
            VPSS_GRP grp = (i - split) * 4 + split + m;
            if (startGroup(grp, &stGrpAttr, s32ChnCnt, false) != HI_SUCCESS) return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VPSS_Stop(HI_S32 s32GrpCnt, HI_S32 s32ChnCnt) {
    for (HI_S32 i = 0; i < s32GrpCnt; ++i) {
        HI_S32 s32Ret = HI_MPI_VPSS_StopGrp(i);
        if (s32Ret != HI_SUCCESS) {
            SAMPLE_PRT("failed with %#x!\n", s32Ret);
            return HI_FAILURE;
        }
        for (HI_S32 c = 0; c < s32ChnCnt; ++c) {
            s32Ret = HI_MPI_VPSS_DisableChn(i, c);
            if (s32Ret != HI_SUCCESS) {
                SAMPLE_PRT("failed with %#x!\n", s32Ret);
                return HI_FAILURE;
            }
        }
        s32Ret = HI_MPI_VPSS_DestroyGrp(i);
        if (s32Ret != HI_SUCCESS) {
            SAMPLE_PRT("failed with %#x!\n", s32Ret);
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}
