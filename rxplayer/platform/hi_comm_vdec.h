// Video decoder: channels, their attributes, stream packets and status.
#pragma once

#include "hi_comm_sys.h"

typedef HI_S32 VDEC_CHN;
#define VDEC_MAX_CHN_NUM 64
#define VDEC_MIN_PIC_SIZE 32
#define VDEC_MAX_PIC_WIDTH 4096
#define VDEC_MAX_PIC_HEIGHT 4096

typedef struct {
    HI_U32 u32RefFrameNum;
    VIDEO_MODE_E enMode;
    HI_S32 s32SupportBFrame;
} VDEC_ATTR_H264_S;

typedef struct {
    VIDEO_MODE_E enMode;
    HI_U32 u32Tmp;
} VDEC_ATTR_JPEG_S;

typedef struct {
    PAYLOAD_TYPE_E enType;
    HI_U32 u32BufSize;
    HI_U32 u32Priority;
    HI_U32 u32PicWidth;
    HI_U32 u32PicHeight;
    union {
        VDEC_ATTR_JPEG_S stVdecAttrJpeg;
        VDEC_ATTR_H264_S stVdecAttrH264;
    };
} VDEC_CHN_ATTR_S;

typedef struct {
    HI_S32 s32MaxSliceNum;
    HI_S32 s32MaxSpsNum;
    HI_S32 s32MaxPpsNum;
    HI_S32 s32SCDBufSize;
    HI_S32 s32DisplayFrameNum;
} VDEC_PRTCL_PARAM_H264_S;

typedef struct {
    PAYLOAD_TYPE_E enType;
    VDEC_PRTCL_PARAM_H264_S stH264PrtclParam;
} VDEC_PRTCL_PARAM_S;

typedef struct {
    HI_S32 s32ChanErrThr;
    HI_S32 s32ChanStrmOFThr;
    HI_S32 s32DecMode;
    HI_S32 s32DecOrderOutput;  // 1: pictures leave in decoding order
} VDEC_CHN_PARAM_S;

typedef struct {
    HI_U8* pu8Addr;
    HI_U32 u32Len;
    HI_U64 u64PTS;  // microseconds on the system time base
} VDEC_STREAM_S;

typedef struct {
    PAYLOAD_TYPE_E enType;
    HI_U32 u32LeftStreamBytes;
    HI_U32 u32LeftStreamFrames;  // frames received and not yet decoded
    HI_U32 u32LeftPics;          // decoded pictures not yet taken
    HI_BOOL bStartRecvStream;
    HI_U32 u32RecvStreamFrames;
    HI_U32 u32DecodeStreamFrames;
} VDEC_CHN_STAT_S;

#define HI_ERR_VDEC_INVALID_CHNID HI_DEF_ERR(HI_ID_VDEC, HI_ERR_LEVEL_ERROR, EN_ERR_INVALID_CHNID)
#define HI_ERR_VDEC_ILLEGAL_PARAM HI_DEF_ERR(HI_ID_VDEC, HI_ERR_LEVEL_ERROR, EN_ERR_ILLEGAL_PARAM)
#define HI_ERR_VDEC_EXIST HI_DEF_ERR(HI_ID_VDEC, HI_ERR_LEVEL_ERROR, EN_ERR_EXIST)
#define HI_ERR_VDEC_UNEXIST HI_DEF_ERR(HI_ID_VDEC, HI_ERR_LEVEL_ERROR, EN_ERR_UNEXIST)
#define HI_ERR_VDEC_NULL_PTR HI_DEF_ERR(HI_ID_VDEC, HI_ERR_LEVEL_ERROR, EN_ERR_NULL_PTR)
#define HI_ERR_VDEC_NOT_SUPPORT HI_DEF_ERR(HI_ID_VDEC, HI_ERR_LEVEL_ERROR, EN_ERR_NOT_SUPPORT)
#define HI_ERR_VDEC_NOT_PERM HI_DEF_ERR(HI_ID_VDEC, HI_ERR_LEVEL_ERROR, EN_ERR_NOT_PERM)
#define HI_ERR_VDEC_BUF_FULL HI_DEF_ERR(HI_ID_VDEC, HI_ERR_LEVEL_ERROR, EN_ERR_BUF_FULL)

HI_S32 HI_MPI_VDEC_CreateChn(VDEC_CHN VdChn, const VDEC_CHN_ATTR_S* pstAttr);
HI_S32 HI_MPI_VDEC_DestroyChn(VDEC_CHN VdChn);
HI_S32 HI_MPI_VDEC_GetChnAttr(VDEC_CHN VdChn, VDEC_CHN_ATTR_S* pstAttr);
HI_S32 HI_MPI_VDEC_StartRecvStream(VDEC_CHN VdChn);
HI_S32 HI_MPI_VDEC_StopRecvStream(VDEC_CHN VdChn);
HI_S32 HI_MPI_VDEC_Query(VDEC_CHN VdChn, VDEC_CHN_STAT_S* pstStat);
HI_S32 HI_MPI_VDEC_SendStream(VDEC_CHN VdChn, const VDEC_STREAM_S* pstStream,
                              HI_IO_BLOCK_E enBlock);
HI_S32 HI_MPI_VDEC_GetPrtclParam(VDEC_CHN VdChn, VDEC_PRTCL_PARAM_S* pstParam);
HI_S32 HI_MPI_VDEC_SetPrtclParam(VDEC_CHN VdChn, const VDEC_PRTCL_PARAM_S* pstParam);
HI_S32 HI_MPI_VDEC_GetChnParam(VDEC_CHN VdChn, VDEC_CHN_PARAM_S* pstParam);
HI_S32 HI_MPI_VDEC_SetChnParam(VDEC_CHN VdChn, const VDEC_CHN_PARAM_S* pstParam);
