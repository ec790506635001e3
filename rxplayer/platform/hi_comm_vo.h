// Video output: devices, video layer, picture-in-picture layer and channels.
#pragma once

#include "hi_comm_sys.h"

typedef HI_S32 VO_DEV;
typedef HI_S32 VO_CHN;
#define VO_MAX_DEV_NUM 3
#define VO_MAX_CHN_NUM 64
#define VO_MIN_DISP_BUF 3
#define VO_MAX_DISP_BUF 15
#define VO_MAX_TOLERATION 100000

#define VO_INTF_CVBS 0x01
#define VO_INTF_YPBPR 0x02
#define VO_INTF_VGA 0x04
#define VO_INTF_BT656 0x08
#define VO_INTF_BT1120 0x10
#define VO_INTF_HDMI 0x20
typedef HI_U32 VO_INTF_TYPE_E;

typedef enum : int {
    VO_OUTPUT_PAL = 0,
    VO_OUTPUT_NTSC,
    VO_OUTPUT_1080P24,
    VO_OUTPUT_1080P25,
    VO_OUTPUT_1080P30,
    VO_OUTPUT_720P50,
    VO_OUTPUT_720P60,
    VO_OUTPUT_1080I50,
    VO_OUTPUT_1080I60,
    VO_OUTPUT_1080P50,
    VO_OUTPUT_1080P60,
    VO_OUTPUT_576P50,
    VO_OUTPUT_480P60,
    VO_OUTPUT_800x600_60,
    VO_OUTPUT_1024x768_60,
    VO_OUTPUT_1280x1024_60,
    VO_OUTPUT_1366x768_60,
    VO_OUTPUT_1440x900_60,
    VO_OUTPUT_1280x800_60,
    VO_OUTPUT_USER,
    VO_OUTPUT_BUTT,
    VO_OUTPUT_2560x1600_60,
} VO_INTF_SYNC_E;

typedef struct {
    HI_BOOL bSynm;
    HI_BOOL bIop;
    HI_U8 u8Intfb;
    HI_U16 u16Vact;
    HI_U16 u16Vbb;
    HI_U16 u16Vfb;
    HI_U16 u16Hact;
    HI_U16 u16Hbb;
    HI_U16 u16Hfb;
    HI_U16 u16Hpw;
    HI_U16 u16Vpw;
    HI_BOOL bIdv;
    HI_BOOL bIhs;
    HI_BOOL bIvs;
} VO_SYNC_INFO_S;

typedef struct {
    HI_U32 u32BgColor;
    VO_INTF_TYPE_E enIntfType;
    VO_INTF_SYNC_E enIntfSync;
    VO_SYNC_INFO_S stSyncInfo;
    HI_BOOL bDoubleFrame;
} VO_PUB_ATTR_S;

typedef struct {
    RECT_S stDispRect;
    SIZE_S stImageSize;
    HI_U32 u32DispFrmRt;
    PIXEL_FORMAT_E enPixFormat;
} VO_VIDEO_LAYER_ATTR_S;

typedef struct {
    HI_U32 u32Priority;
    RECT_S stRect;
    HI_BOOL bDeflicker;
} VO_CHN_ATTR_S;

// Picture adjustment, each value 0..100.
typedef struct {
    HI_U32 u32Luma;
    HI_U32 u32Contrast;
    HI_U32 u32Hue;
    HI_U32 u32Satuature;
} VO_CSC_S;

typedef struct {
    HI_U32 u32ChnBufUsed;
} VO_QUERY_STATUS_S;

#define HI_ERR_VO_INVALID_DEVID HI_DEF_ERR(HI_ID_VOU, HI_ERR_LEVEL_ERROR, EN_ERR_INVALID_DEVID)
#define HI_ERR_VO_INVALID_CHNID HI_DEF_ERR(HI_ID_VOU, HI_ERR_LEVEL_ERROR, EN_ERR_INVALID_CHNID)
#define HI_ERR_VO_ILLEGAL_PARAM HI_DEF_ERR(HI_ID_VOU, HI_ERR_LEVEL_ERROR, EN_ERR_ILLEGAL_PARAM)
#define HI_ERR_VO_NULL_PTR HI_DEF_ERR(HI_ID_VOU, HI_ERR_LEVEL_ERROR, EN_ERR_NULL_PTR)
#define HI_ERR_VO_NOT_CONFIG HI_DEF_ERR(HI_ID_VOU, HI_ERR_LEVEL_ERROR, EN_ERR_NOT_CONFIG)
#define HI_ERR_VO_NOT_PERM HI_DEF_ERR(HI_ID_VOU, HI_ERR_LEVEL_ERROR, EN_ERR_NOT_PERM)
#define HI_ERR_VO_NOT_SUPPORT HI_DEF_ERR(HI_ID_VOU, HI_ERR_LEVEL_ERROR, EN_ERR_NOT_SUPPORT)

HI_S32 HI_MPI_VO_Enable(VO_DEV VoDev);
HI_S32 HI_MPI_VO_Disable(VO_DEV VoDev);
HI_S32 HI_MPI_VO_SetPubAttr(VO_DEV VoDev, const VO_PUB_ATTR_S* pstPubAttr);
HI_S32 HI_MPI_VO_GetPubAttr(VO_DEV VoDev, VO_PUB_ATTR_S* pstPubAttr);
HI_S32 HI_MPI_VO_SetDispBufLen(VO_DEV VoDev, HI_U32 u32BufLen);
HI_S32 HI_MPI_VO_GetDispBufLen(VO_DEV VoDev, HI_U32* pu32BufLen);
HI_S32 HI_MPI_VO_SetDevCSC(VO_DEV VoDev, const VO_CSC_S* pstDevCSC);
HI_S32 HI_MPI_VO_GetDevCSC(VO_DEV VoDev, VO_CSC_S* pstDevCSC);
HI_S32 HI_MPI_VO_SetPlayToleration(VO_DEV VoDev, HI_U32 u32Toleration);
HI_S32 HI_MPI_VO_GetPlayToleration(VO_DEV VoDev, HI_U32* pu32Toleration);

HI_S32 HI_MPI_VO_SetVideoLayerAttr(VO_DEV VoDev, const VO_VIDEO_LAYER_ATTR_S* pstLayerAttr);
HI_S32 HI_MPI_VO_GetVideoLayerAttr(VO_DEV VoDev, VO_VIDEO_LAYER_ATTR_S* pstLayerAttr);
HI_S32 HI_MPI_VO_EnableVideoLayer(VO_DEV VoDev);
HI_S32 HI_MPI_VO_DisableVideoLayer(VO_DEV VoDev);

// The one picture-in-picture layer, shown on the device it is bound to.
HI_S32 HI_MPI_VO_PipLayerBindDev(VO_DEV VoDev);
HI_S32 HI_MPI_VO_PipLayerUnBindDev(VO_DEV VoDev);
HI_S32 HI_MPI_VO_SetPipLayerAttr(const VO_VIDEO_LAYER_ATTR_S* pstLayerAttr);
HI_S32 HI_MPI_VO_GetPipLayerAttr(VO_VIDEO_LAYER_ATTR_S* pstLayerAttr);
HI_S32 HI_MPI_VO_EnablePipLayer(HI_VOID);
HI_S32 HI_MPI_VO_DisablePipLayer(HI_VOID);

HI_S32 HI_MPI_VO_SetChnAttr(VO_DEV VoDev, VO_CHN VoChn, const VO_CHN_ATTR_S* pstChnAttr);
HI_S32 HI_MPI_VO_GetChnAttr(VO_DEV VoDev, VO_CHN VoChn, VO_CHN_ATTR_S* pstChnAttr);
HI_S32 HI_MPI_VO_EnableChn(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 HI_MPI_VO_DisableChn(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 HI_MPI_VO_ChnHide(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 HI_MPI_VO_ChnShow(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 HI_MPI_VO_ClearChnBuffer(VO_DEV VoDev, VO_CHN VoChn, HI_BOOL bClrAll);
// Time stamp of the picture on display, microseconds.
HI_S32 HI_MPI_VO_GetChnPts(VO_DEV VoDev, VO_CHN VoChn, HI_U64* pu64ChnPts);
HI_S32 HI_MPI_VO_QueryChnStat(VO_DEV VoDev, VO_CHN VoChn, VO_QUERY_STATUS_S* pstStatus);
