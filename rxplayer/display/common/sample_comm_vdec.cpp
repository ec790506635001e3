// Decoder helpers: memory placement and the binds of decode channels.
#include "sample_comm.h"

HI_S32 SAMPLE_COMM_VDEC_MemConfig(HI_VOID) {
    for (HI_S32 i = 0; i < 32; ++i) {
        MPP_CHN_S stMppChnVDEC = {HI_ID_VDEC, 0, i};
        const HI_CHAR* pcMmzName = (i % 2) ? "ddr1" : NULL;
        HI_S32 s32Ret = HI_MPI_SYS_SetMemConf(&stMppChnVDEC, pcMmzName);
        if (s32Ret != HI_SUCCESS) {
            SAMPLE_PRT("HI_MPI_SYS_SetMemConf ERR !\n");
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMLE_COMM_VDEC_BindVpss(VDEC_CHN VdChn, VPSS_GRP VpssGrp) {
    MPP_CHN_S stSrcChn = {HI_ID_VDEC, 0, VdChn};
    MPP_CHN_S stDestChn = {HI_ID_VPSS, VpssGrp, 0};
    HI_S32 s32Ret = HI_MPI_SYS_Bind(&stSrcChn, &stDestChn);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_SYS_Bind failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMLE_COMM_VDEC_UnBindVpss(VDEC_CHN VdChn, VPSS_GRP VpssGrp) {
    MPP_CHN_S stSrcChn = {HI_ID_VDEC, 0, VdChn};
    MPP_CHN_S stDestChn = {HI_ID_VPSS, VpssGrp, 0};
    HI_S32 s32Ret = HI_MPI_SYS_UnBind(&stSrcChn, &stDestChn);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_SYS_UnBind failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMLE_COMM_VDEC_BindVo(VDEC_CHN VdChn, VO_DEV VoDev, VO_CHN VoChn) {
    MPP_CHN_S stSrcChn = {HI_ID_VDEC, 0, VdChn};
    MPP_CHN_S stDestChn = {HI_ID_VOU, VoDev, VoChn};
    HI_S32 s32Ret = HI_MPI_SYS_Bind(&stSrcChn, &stDestChn);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_SYS_Bind failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMLE_COMM_VDEC_UnBindVo(VDEC_CHN VdChn, VO_DEV VoDev, VO_CHN VoChn) {
    MPP_CHN_S stSrcChn = {HI_ID_VDEC, 0, VdChn};
    MPP_CHN_S stDestChn = {HI_ID_VOU, VoDev, VoChn};
    HI_S32 s32Ret = HI_MPI_SYS_UnBind(&stSrcChn, &stDestChn);
    if (s32Ret != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_SYS_UnBind failed with %#x!\n", s32Ret);
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}
