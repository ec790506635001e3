// System and buffer helpers.
#include <cstring>

#include "sample_comm.h"

HI_S32 SAMPLE_COMM_SYS_GetPicSize(VIDEO_NORM_E enNorm, PIC_SIZE_E enPicSize, SIZE_S* pstSize) {
    if (!pstSize) return HI_FAILURE;
    bool pal = enNorm == VIDEO_ENCODING_MODE_PAL;
    switch (enPicSize) {
        case PIC_QCIF:
            *pstSize = SIZE_S{176, pal ? 144u : 120u};
            break;
        case PIC_CIF:
            *pstSize = SIZE_S{352, pal ? 288u : 240u};
            break;
        case PIC_D1:
            *pstSize = SIZE_S{720, 576};
            break;
        case PIC_960H:
            *pstSize = SIZE_S{960, pal ? 576u : 480u};
            break;
        case PIC_QVGA:
            *pstSize = SIZE_S{320, 240};
            break;
        case PIC_VGA:
            *pstSize = SIZE_S{640, 480};
            break;
        case PIC_XGA:
            *pstSize = SIZE_S{1024, 768};
            break;
        case PIC_SXGA:
            *pstSize = SIZE_S{1400, 1050};
            break;
        case PIC_UXGA:
            *pstSize = SIZE_S{1600, 1200};
            break;
        case PIC_QXGA:
            *pstSize = SIZE_S{2048, 1536};
            break;
        case PIC_WVGA:
            *pstSize = SIZE_S{854, 480};
            break;
        case PIC_WSXGA:
            *pstSize = SIZE_S{1680, 1050};
            break;
        case PIC_WUXGA:
            *pstSize = SIZE_S{1920, 1200};
            break;
        case PIC_WQXGA:
            *pstSize = SIZE_S{2560, 1600};
            break;
        case PIC_HD720:
            *pstSize = SIZE_S{1280, 720};
            break;
        case PIC_HD1080:
            *pstSize = SIZE_S{1920, 1088};
            break;
        default:  // PIC_2CIF, PIC_HD1 and unknown codes
            return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_SYS_Init(VB_CONF_S* pstVbConf) {
    if (!pstVbConf) {
        SAMPLE_PRT("input parameter is null, it is invaild!\n");
        return HI_FAILURE;
    }
    HI_MPI_SYS_Exit();
    HI_MPI_VB_Exit();
    if (HI_MPI_VB_SetConf(pstVbConf) != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_VB_SetConf failed!\n");
        return HI_FAILURE;
    }
    if (HI_MPI_VB_Init() != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_VB_Init failed!\n");
        return HI_FAILURE;
    }
    MPP_SYS_CONF_S stSysConf;
    memset(&stSysConf, 0, sizeof stSysConf);
    stSysConf.u32AlignWidth = 64;
    if (HI_MPI_SYS_SetConf(&stSysConf) != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_SYS_SetConf failed\n");
        return HI_FAILURE;
    }
    if (HI_MPI_SYS_Init() != HI_SUCCESS) {
        SAMPLE_PRT("HI_MPI_SYS_Init failed!\n");
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}
