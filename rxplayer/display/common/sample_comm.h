// Helper layer over the media platform: system and buffers, binds, output, scaler groups,
// audio and HDMI. Each helper fills the platform records with fixed values, calls the platform
// in a fixed order and turns a platform failure into -1 with a diagnostic line.
#pragma once

#include <atomic>
#include <cstdio>

#include "hi_platform.h"
#include "qelWinPara.h"

#define SAMPLE_PRT(fmt, ...)                         \
    do {                                             \
        printf("[%s]-%d: ", __FUNCTION__, __LINE__); \
        printf(fmt, ##__VA_ARGS__);                  \
    } while (0)

typedef enum : int {
    VO_MODE_1MUX = 0,
    VO_MODE_4MUX,
    VO_MODE_9MUX,
    VO_MODE_16MUX,
    VO_MODE_7MUX,
    VO_MODE_10MUX,
    VO_MODE_13MUX,
    VO_MODE_8MUX,
    VO_MODE_25MUX,
    VO_MODE_30MUX,
    VO_MODE_32MUX,
    VO_MODE_4x1MUX,
    VO_MODE_1x4MUX,
    VO_MODE_1x2MUX,
    VO_MODE_2x1MUX,
    VO_MODE_1x3MUX,
    VO_MODE_3x1MUX,
    VO_MODE_BUTT,
} SAMPLE_VO_MODE_E;

// Audio parameters of the stream, read by the HDMI watcher while the audio path rewrites them.
typedef struct SAMPLE_VOAUDIOPARAM {
    std::atomic<AUDIO_SAMPLE_RATE_E> enSamplerate{AUDIO_SAMPLE_RATE_48000};
    std::atomic<AUDIO_BIT_WIDTH_E> enBitwidth{AUDIO_BIT_WIDTH_16};
} SAMPLE_VOAUDIOPARAM;

extern SAMPLE_VOAUDIOPARAM mySample_Vo_Audio_Param;

// System and buffers.
HI_S32 SAMPLE_COMM_SYS_GetPicSize(VIDEO_NORM_E enNorm, PIC_SIZE_E enPicSize, SIZE_S* pstSize);
HI_S32 SAMPLE_COMM_SYS_Init(VB_CONF_S* pstVbConf);
HI_S32 SAMPLE_COMM_VDEC_MemConfig(HI_VOID);
HI_S32 SAMPLE_COMM_VPSS_MemConfig(HI_VOID);
HI_S32 SAMPLE_COMM_VO_MemConfig(VO_DEV VoDev, const HI_CHAR* pcMmzName);

// Binds.
HI_S32 SAMLE_COMM_VDEC_BindVpss(VDEC_CHN VdChn, VPSS_GRP VpssGrp);
HI_S32 SAMLE_COMM_VDEC_UnBindVpss(VDEC_CHN VdChn, VPSS_GRP VpssGrp);
HI_S32 SAMLE_COMM_VDEC_BindVo(VDEC_CHN VdChn, VO_DEV VoDev, VO_CHN VoChn);
HI_S32 SAMLE_COMM_VDEC_UnBindVo(VDEC_CHN VdChn, VO_DEV VoDev, VO_CHN VoChn);
HI_S32 SAMPLE_COMM_VO_BindVpss(VO_DEV VoDev, VO_CHN VoChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn);
HI_S32 SAMPLE_COMM_VO_UnBindVpss(VO_DEV VoDev, VO_CHN VoChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn);

// Output device, layer and channels.
HI_S32 SAMPLE_COMM_VO_GetWH(VO_INTF_SYNC_E enIntfSync, HI_U32* pu32W, HI_U32* pu32H,
                            HI_U32* pu32Frm);
HI_S32 SAMPLE_COMM_VO_StartDevLayer(VO_DEV VoDev, VO_PUB_ATTR_S* pstPubAttr, HI_U32 u32SrcFrmRate);
HI_S32 SAMPLE_COMM_VO_StopDevLayer(VO_DEV VoDev);
HI_S32 SAMPLE_COMM_VO_StartChnById(VO_DEV VoDev, VO_PUB_ATTR_S* pstPubAttr, SAMPLE_VO_MODE_E enMode,
                                   HI_S32 cchId, SAMPLE_VOWIN_S voWin_s);
HI_S32 SAMPLE_COMM_VO_StartChn(VO_DEV VoDev, VO_PUB_ATTR_S* pstPubAttr, SAMPLE_VO_MODE_E enMode);
HI_S32 SAMPLE_COMM_VO_StopChn(VO_DEV VoDev, SAMPLE_VO_MODE_E enMode);
HI_S32 SAMPLE_COMM_VO_SuspendChn(VO_DEV VoDev, HI_S32 ichId);
HI_S32 SAMPLE_COMM_VO_ResumeChn(VO_DEV VoDev, HI_S32 ichId);
HI_S32 SAMPLE_COMM_VO_SetDevCSC(VO_DEV VoDev, VO_CSC_S* pstDevCSC);

// Scaler groups.
HI_S32 SAMPLE_COMM_VPSS_Start(HI_S32 s32GrpCnt, SIZE_S* pstSize, HI_S32 s32ChnCnt,
                              VPSS_GRP_ATTR_S* pstVpssGrpAttr);
HI_S32 SAMPLE_COMM_VPSS_Stop(HI_S32 s32GrpCnt, HI_S32 s32ChnCnt);

// Audio codecs and audio path.
HI_S32 SAMPLE_COMM_AUDIO_CfgAcodec(AIO_ATTR_S* pstAioAttr, HI_BOOL bMacIn);
HI_S32 TEST_TW2865_CfgAudio(AUDIO_SAMPLE_RATE_E enSample);
HI_S32 TEST_TW2865_SetFormat(AIO_MODE_E enWorkMode);
HI_S32 TEST_TW2865_SetBitwidth(AUDIO_BIT_WIDTH_E enBitwidth);
HI_S32 SAMPLE_Tlv320_CfgAudio(AIO_MODE_E enWorkmode, AUDIO_SAMPLE_RATE_E enSample);
HI_S32 SAMPLE_COMM_AUDIO_StartAdec(ADEC_CHN AdChn, PAYLOAD_TYPE_E enType);
HI_S32 SAMPLE_COMM_AUDIO_StartAo(AUDIO_DEV AoDevId, AO_CHN AoChn, AIO_ATTR_S* pstAioAttr,
                                 AUDIO_RESAMPLE_ATTR_S* pstAoReSmpAttr);
HI_S32 SAMPLE_COMM_AUDIO_AoBindAdec(AUDIO_DEV AoDev, AO_CHN AoChn, ADEC_CHN AdChn);

// HDMI output.
HI_S32 SAMPLE_COMM_VO_HdmiConvertSync(VO_INTF_SYNC_E enIntfSync, HI_HDMI_VIDEO_FMT_E* penVideoFmt);
HI_S32 SAMPLE_COMM_VO_HdmiStart(VO_INTF_SYNC_E enIntfSync);
HI_S32 SAMPLE_COMM_VO_HdmiStop(HI_VOID);
// Body of the HDMI watcher thread (prg: the SAMPLE_VOAUDIOPARAM); never returns.
int SAMPLE_COMM_VO_HdmiStart_thread(void* prg);
HI_S32 SAMPLE_COMM_HdmiOnOff(HI_BOOL bOnOff);
