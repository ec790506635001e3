// Records and enumerations shared by every module of the media platform: sizes, rectangles,
// module channels, pixel formats, payload types, picture sizes; system and buffer pools.
#pragma once

#include "hi_type.h"

typedef struct {
    HI_U32 u32Width;
    HI_U32 u32Height;
} SIZE_S;

typedef struct {
    HI_S32 s32X;
    HI_S32 s32Y;
} POINT_S;

typedef struct {
    HI_S32 s32X;
    HI_S32 s32Y;
    HI_U32 u32Width;
    HI_U32 u32Height;
} RECT_S;

typedef enum : int {
    HI_ID_CMPI = 0,
    HI_ID_VB = 1,
    HI_ID_SYS = 2,
    HI_ID_VALG = 3,
    HI_ID_VDEC = 4,
    HI_ID_VPSS = 8,
    HI_ID_VOU = 15,
    HI_ID_HDMI = 16,
    HI_ID_AI = 21,
    HI_ID_AO = 22,
    HI_ID_AENC = 23,
    HI_ID_ADEC = 24,
    HI_ID_TDE = 100,
    HI_ID_BUTT,
} MOD_ID_E;

typedef struct {
    MOD_ID_E enModId;
    HI_S32 s32DevId;
    HI_S32 s32ChnId;
} MPP_CHN_S;

typedef enum : int {
    PIXEL_FORMAT_RGB_1BPP = 0,
    PIXEL_FORMAT_RGB_565 = 6,
    PIXEL_FORMAT_RGB_888 = 7,
    PIXEL_FORMAT_ARGB_1555 = 11,
    PIXEL_FORMAT_ARGB_8888 = 13,
    PIXEL_FORMAT_YUV_SEMIPLANAR_422 = 18,
    PIXEL_FORMAT_YUV_SEMIPLANAR_420 = 19,
    PIXEL_FORMAT_BUTT,
} PIXEL_FORMAT_E;

// RTP-style payload numbers.
typedef enum : int {
    PT_PCMU = 0,
    PT_MJPEG_RTP = 1,
    PT_G711A = 19,
    PT_G711U = 20,
    PT_G726 = 21,
    PT_LPCM = 23,
    PT_JPEG = 26,
    PT_ADPCMA = 49,
    PT_H264 = 96,
    PT_MJPEG = 1002,
} PAYLOAD_TYPE_E;

typedef enum : int {
    PIC_QCIF = 0,
    PIC_CIF,
    PIC_2CIF,
    PIC_HD1,
    PIC_D1,
    PIC_960H,
    PIC_QVGA,
    PIC_VGA,
    PIC_XGA,
    PIC_SXGA,
    PIC_UXGA,
    PIC_QXGA,
    PIC_WVGA,
    PIC_WSXGA,
    PIC_WUXGA,
    PIC_WQXGA,
    PIC_HD720,
    PIC_HD1080,
    PIC_BUTT,
} PIC_SIZE_E;

typedef enum : int {
    VIDEO_ENCODING_MODE_PAL = 0,
    VIDEO_ENCODING_MODE_NTSC = 1,
    VIDEO_ENCODING_MODE_BUTT,
} VIDEO_NORM_E;

typedef enum : int {
    VIDEO_MODE_STREAM = 0,
    VIDEO_MODE_FRAME = 1,
    VIDEO_MODE_BUTT,
} VIDEO_MODE_E;

// System configuration.
typedef struct {
    HI_U32 u32AlignWidth;
} MPP_SYS_CONF_S;

#define VB_MAX_COMM_POOLS 16
#define MAX_MMZ_NAME_LEN 16

typedef struct {
    HI_U32 u32MaxPoolCnt;
    struct {
        HI_U32 u32BlkSize;
        HI_U32 u32BlkCnt;
        HI_CHAR acMmzName[MAX_MMZ_NAME_LEN];
    } astCommPool[VB_MAX_COMM_POOLS];
} VB_CONF_S;

#define VB_MAX_POOLS 256

#define HI_ERR_SYS_NULL_PTR HI_DEF_ERR(HI_ID_SYS, HI_ERR_LEVEL_ERROR, EN_ERR_NULL_PTR)
#define HI_ERR_SYS_NOTREADY HI_DEF_ERR(HI_ID_SYS, HI_ERR_LEVEL_ERROR, EN_ERR_SYS_NOTREADY)
#define HI_ERR_SYS_NOT_PERM HI_DEF_ERR(HI_ID_SYS, HI_ERR_LEVEL_ERROR, EN_ERR_NOT_PERM)
#define HI_ERR_SYS_NOMEM HI_DEF_ERR(HI_ID_SYS, HI_ERR_LEVEL_ERROR, EN_ERR_NOMEM)
#define HI_ERR_SYS_ILLEGAL_PARAM HI_DEF_ERR(HI_ID_SYS, HI_ERR_LEVEL_ERROR, EN_ERR_ILLEGAL_PARAM)
#define HI_ERR_SYS_BUSY HI_DEF_ERR(HI_ID_SYS, HI_ERR_LEVEL_ERROR, EN_ERR_BUSY)
#define HI_ERR_SYS_UNEXIST HI_DEF_ERR(HI_ID_SYS, HI_ERR_LEVEL_ERROR, EN_ERR_UNEXIST)
#define HI_ERR_SYS_BADADDR HI_DEF_ERR(HI_ID_SYS, HI_ERR_LEVEL_ERROR, EN_ERR_BADADDR)
#define HI_ERR_VB_NULL_PTR HI_DEF_ERR(HI_ID_VB, HI_ERR_LEVEL_ERROR, EN_ERR_NULL_PTR)
#define HI_ERR_VB_ILLEGAL_PARAM HI_DEF_ERR(HI_ID_VB, HI_ERR_LEVEL_ERROR, EN_ERR_ILLEGAL_PARAM)
#define HI_ERR_VB_NOT_PERM HI_DEF_ERR(HI_ID_VB, HI_ERR_LEVEL_ERROR, EN_ERR_NOT_PERM)
#define HI_ERR_VB_NOT_CONFIG HI_DEF_ERR(HI_ID_VB, HI_ERR_LEVEL_ERROR, EN_ERR_NOT_CONFIG)

HI_S32 HI_MPI_SYS_Init(HI_VOID);
HI_S32 HI_MPI_SYS_Exit(HI_VOID);
HI_S32 HI_MPI_SYS_SetConf(const MPP_SYS_CONF_S* pstSysConf);
HI_S32 HI_MPI_SYS_GetConf(MPP_SYS_CONF_S* pstSysConf);
// Binds a source channel to a destination; a destination takes one source.
HI_S32 HI_MPI_SYS_Bind(MPP_CHN_S* pstSrcChn, MPP_CHN_S* pstDestChn);
HI_S32 HI_MPI_SYS_UnBind(MPP_CHN_S* pstSrcChn, MPP_CHN_S* pstDestChn);
HI_S32 HI_MPI_SYS_GetBindbyDest(MPP_CHN_S* pstDestChn, MPP_CHN_S* pstSrcChn);
// Time base in microseconds; the current PTS advances with the wall clock from the base.
HI_S32 HI_MPI_SYS_InitPtsBase(HI_U64 u64PtsBase);
HI_S32 HI_MPI_SYS_GetCurPts(HI_U64* pu64CurPts);
// Places a module channel's buffers in a memory zone (null: default zone, or "ddr1").
HI_S32 HI_MPI_SYS_SetMemConf(MPP_CHN_S* pstMppChn, const HI_CHAR* pcMmzName);
HI_S32 HI_MPI_SYS_GetMemConf(MPP_CHN_S* pstMppChn, HI_CHAR* pcMmzName);
// Media memory: a physical address for the engines and a virtual one for the program.
HI_S32 HI_MPI_SYS_MmzAlloc(HI_U32* pu32PhyAddr, HI_VOID** ppVirtAddr, const HI_CHAR* strMmb,
                           const HI_CHAR* strZone, HI_U32 u32Len);
HI_S32 HI_MPI_SYS_MmzFree(HI_U32 u32PhyAddr, HI_VOID* pVirtAddr);

HI_S32 HI_MPI_VB_SetConf(const VB_CONF_S* pstVbConf);
HI_S32 HI_MPI_VB_GetConf(VB_CONF_S* pstVbConf);
HI_S32 HI_MPI_VB_Init(HI_VOID);
HI_S32 HI_MPI_VB_Exit(HI_VOID);
