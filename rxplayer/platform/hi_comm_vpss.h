// Scaler groups: attributes, channels, parameters and crops.
#pragma once

#include "hi_comm_sys.h"

typedef HI_S32 VPSS_GRP;
typedef HI_S32 VPSS_CHN;
#define VPSS_MAX_GRP_NUM 64
#define VPSS_MAX_CHN_NUM 5
#define VPSS_MIN_IMAGE_SIZE 16
#define VPSS_MAX_IMAGE_WIDTH 4096
#define VPSS_MAX_IMAGE_HEIGHT 4096

typedef enum : int {
    VPSS_DIE_MODE_AUTO = 0,
    VPSS_DIE_MODE_NODIE = 1,
    VPSS_DIE_MODE_DIE = 2,
    VPSS_DIE_MODE_BUTT,
} VPSS_DIE_MODE_E;

typedef struct {
    HI_U32 u32MaxW;
    HI_U32 u32MaxH;
    PIXEL_FORMAT_E enPixFmt;
    HI_BOOL bDrEn;
    HI_BOOL bDbEn;
    HI_BOOL bIeEn;
    HI_BOOL bNrEn;
    HI_BOOL bHistEn;
    VPSS_DIE_MODE_E enDieMode;
} VPSS_GRP_ATTR_S;

typedef struct {
    HI_U32 u32Width[4];  // frame line widths
    HI_U32 u32Color[4];  // frame line colours
} VPSS_FRAME_S;

typedef struct {
    HI_BOOL bSpEn;
    HI_BOOL bFrameEn;
    VPSS_FRAME_S stFrame;
} VPSS_CHN_ATTR_S;

typedef enum : int {
    VPSS_DIS_MODE_TV = 0,
    VPSS_DIS_MODE_PC = 1,
    VPSS_DIS_MODE_BUTT,
} VPSS_DIS_MODE_E;

typedef struct {
    HI_U32 u32Contrast;
    HI_U32 u32DieStrength;
    HI_U32 u32IeStrength;
    HI_U32 u32SfStrength;
    HI_U32 u32TfStrength;
    HI_U32 u32MotionThresh;
    VPSS_DIS_MODE_E enDisMode;
} VPSS_GRP_PARAM_S;

typedef enum : int {
    VPSS_CROP_RATIO_COOR = 0,
    VPSS_CROP_ABS_COOR = 1,
} VPSS_CROP_COORDINATE_E;

typedef struct {
    HI_BOOL bEnable;
    VPSS_CROP_COORDINATE_E enClipCoordinate;
    RECT_S stClipRect;
} VPSS_CLIP_INFO_S;

#define HI_ERR_VPSS_INVALID_DEVID HI_DEF_ERR(HI_ID_VPSS, HI_ERR_LEVEL_ERROR, EN_ERR_INVALID_DEVID)
#define HI_ERR_VPSS_INVALID_CHNID HI_DEF_ERR(HI_ID_VPSS, HI_ERR_LEVEL_ERROR, EN_ERR_INVALID_CHNID)
#define HI_ERR_VPSS_ILLEGAL_PARAM HI_DEF_ERR(HI_ID_VPSS, HI_ERR_LEVEL_ERROR, EN_ERR_ILLEGAL_PARAM)
#define HI_ERR_VPSS_EXIST HI_DEF_ERR(HI_ID_VPSS, HI_ERR_LEVEL_ERROR, EN_ERR_EXIST)
#define HI_ERR_VPSS_UNEXIST HI_DEF_ERR(HI_ID_VPSS, HI_ERR_LEVEL_ERROR, EN_ERR_UNEXIST)
#define HI_ERR_VPSS_NULL_PTR HI_DEF_ERR(HI_ID_VPSS, HI_ERR_LEVEL_ERROR, EN_ERR_NULL_PTR)
#define HI_ERR_VPSS_NOT_PERM HI_DEF_ERR(HI_ID_VPSS, HI_ERR_LEVEL_ERROR, EN_ERR_NOT_PERM)

HI_S32 HI_MPI_VPSS_CreatGrp(VPSS_GRP VpssGrp, const VPSS_GRP_ATTR_S* pstGrpAttr);
HI_S32 HI_MPI_VPSS_DestroyGrp(VPSS_GRP VpssGrp);
HI_S32 HI_MPI_VPSS_StartGrp(VPSS_GRP VpssGrp);
HI_S32 HI_MPI_VPSS_StopGrp(VPSS_GRP VpssGrp);
HI_S32 HI_MPI_VPSS_GetGrpAttr(VPSS_GRP VpssGrp, VPSS_GRP_ATTR_S* pstGrpAttr);
HI_S32 HI_MPI_VPSS_SetChnAttr(VPSS_GRP VpssGrp, VPSS_CHN VpssChn,
                              const VPSS_CHN_ATTR_S* pstChnAttr);
HI_S32 HI_MPI_VPSS_GetChnAttr(VPSS_GRP VpssGrp, VPSS_CHN VpssChn, VPSS_CHN_ATTR_S* pstChnAttr);
HI_S32 HI_MPI_VPSS_EnableChn(VPSS_GRP VpssGrp, VPSS_CHN VpssChn);
HI_S32 HI_MPI_VPSS_DisableChn(VPSS_GRP VpssGrp, VPSS_CHN VpssChn);
HI_S32 HI_MPI_VPSS_GetParam(VPSS_GRP VpssGrp, VPSS_CHN VpssChn, VPSS_GRP_PARAM_S* pstParam);
HI_S32 HI_MPI_VPSS_SetParam(VPSS_GRP VpssGrp, VPSS_CHN VpssChn, const VPSS_GRP_PARAM_S* pstParam);
HI_S32 HI_MPI_VPSS_SetClipCfg(VPSS_GRP VpssGrp, const VPSS_CLIP_INFO_S* pstClipInfo);
HI_S32 HI_MPI_VPSS_GetClipCfg(VPSS_GRP VpssGrp, VPSS_CLIP_INFO_S* pstClipInfo);
