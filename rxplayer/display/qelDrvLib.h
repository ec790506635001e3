// The decoder's hardware display pipeline: set-up of decode channels, scaler groups and output
// channels with their binds, window geometry, the decode feed and the small controls of the
// running pipeline.
#pragma once

#include "display/common/sample_comm.h"
#include "display/qelWinPara.h"

typedef enum {
    ZURIR_VO_OUTPUT_PAL = 0,
    ZURIR_VO_OUTPUT_NTSC,
    ZURIR_VO_OUTPUT_1080P24,
    ZURIR_VO_OUTPUT_1080P25,
    ZURIR_VO_OUTPUT_1080P30,
    ZURIR_VO_OUTPUT_720P50,
    ZURIR_VO_OUTPUT_720P60,
    ZURIR_VO_OUTPUT_1080I50,
    ZURIR_VO_OUTPUT_1080I60,
    ZURIR_VO_OUTPUT_1080P50,
    ZURIR_VO_OUTPUT_1080P60,
    ZURIR_VO_OUTPUT_576P50,
    ZURIR_VO_OUTPUT_480P60,
    ZURIR_VO_OUTPUT_800x600_60,
    ZURIR_VO_OUTPUT_1024x768_60,
    ZURIR_VO_OUTPUT_1280x1024_60,
    ZURIR_VO_OUTPUT_1366x768_60,
    ZURIR_VO_OUTPUT_1440x900_60,
    ZURIR_VO_OUTPUT_1280x800_60,
    ZURIR_VO_OUTPUT_USER,
    ZURIR_VO_OUTPUT_BUTT,
} ZURIR_VO_INTF_SYNC_E;

typedef enum {
    ZURIR_PT_MJPEG_RTP = 1,
    ZURIR_PT_G711A = 19,
    ZURIR_PT_G711U = 20,
    ZURIR_PT_G726 = 21,
    ZURIR_PT_LPCM = 23,
    ZURIR_PT_JPEG = 26,
    ZURIR_PT_ADPCMA = 49,
    ZURIR_PT_H264 = 96,
    ZURIR_PT_MJPEG = 1002,
} ZURIR_PAYLOAD_TYPE_E;

// Set-up and tear-down.
// The output picture size of an output timing (800x600 up to 1920x1080); other timings leave
// width and height as they are.
void outputSizeFor(int timing, int& width, int& height);

int qelDrvLib_Init(int iDevNum, unsigned char oResolution, int oR_chg, SAMPLE_VOWIN_S* voWin);
int qelDrvLib_Init_ORG(int iDevNum, unsigned char oResolution, int oR_chg);
int qelDrvLib_Uninit(VO_DEV VoDev, SAMPLE_VO_MODE_E enVoMode, HI_BOOL bVoHd,
                     VO_INTF_TYPE_E enIntfType, int oR_chg);
void CreateVdecChn(HI_BOOL bVoHd, int Cnt, SIZE_S stSize);
HI_S32 SAMPLE_VDEC_CreateVdecChn(HI_S32 s32ChnID, SIZE_S* pstSize, PAYLOAD_TYPE_E enType,
                                 VIDEO_MODE_E enVdecMode);
void SAMPLE_VDEC_ForceDestroyVdecChn(HI_S32 s32ChnID);
void SAMPLE_VDEC_WaitDestroyVdecChn(HI_S32 s32ChnID, VIDEO_MODE_E enVdecMode);
void SAMPLE_ADEC_ForceDestroyAdecChn(HI_S32 s32ChnID);
int qelDrvLib_VoReOpen(int iCurWin, SAMPLE_VOWIN_S voWinCur);

// Window geometry, clipping and cut edge.
int qelDrvLib_ClipWindows(int iCurWin, SAMPLE_VOWIN_S voWinCur);
int qelDrvLib_VideoWindows(int iCurWin, SAMPLE_VOWIN_S voWinCur);
int checkWhetherWindowIsOverlapWindow(int iWinid, int iComWinIndex);
int qelDrvLib_PosWindows(int iCurWin, SAMPLE_VOWIN_S voWinCur);
int qelDrvLib_SetWinWH(int iCurWin, int iWidth, int iHeight, SAMPLE_VOWIN_S voWinCur);
int qelDrvLib_JPGSetWinWH(int iCurWin, int iWidth, int iHeight);
int qelDrvLib_RestoreSetWinWH(int iCurWin, int iWidth, int iHeight);
int qelDrvLib_FullWin(int win, int full);
int qelDrvLib_CutEdge(int iCutEdgeHor, int iCutEdgeVer);
int qelDrvLib_ApplyCutEdge();

// Decode feed.
int qelDrvLib_Decoder(void* ctx, unsigned char* dataO, int* sizeO, unsigned char* dataI, int sizeI,
                      int iChnNum);
int qelDrvLib_DecoderPts(void* ctx, unsigned char* dataO, int* sizeO, unsigned char* dataI,
                         int sizeI, int iChnNum, HI_U64 pts);
int qelDrvLib_DecType(int chnNum, int decType);
void qelDrv_ReleaseImage(int cnt);
int qelDrvLib_DecAudioType(int chnNum, int iAudioDecFrm, int iSampleAudioPTNumPerFrm,
                           int iEnPayloadType);
int zurirDrvLib_Audio_Decoder(void* ctx, unsigned char* data, int size, int iChnNum);
const char* SAMPLE_AUDIO_Pt2Str(PAYLOAD_TYPE_E enType);

// Picture, audio output and overlay controls.
int qelDrvLib_Csc(int u32Luma, int u32Contrast, int u32Hue, int u32Satuature);
int qelDrvLib_AudioOutput(int iAudioOutput);
int qelDrvLib_LunXun(int lunxunWin, int lunxunChn);
void qelDrvLib_OsdShowIPChnEn(unsigned char chnipDisplay);
int qelDrvLib_OsdShowCurInfo(char* pCurInfo, unsigned char enflag, unsigned char index);
int qelDrvLib_SuspendChn(int iCurWin);
int qelDrvLib_ResumeChn();
int qelDrvLib_OsdShowIP(int winTotal, int winNum, int chnNum, int fwflag);
int qelDrvLib_OsdShowChn(int winTotal, int chnNum, int fwflag);
int qelDrvLib_OsdShowNoSignal(int winTotal, int chnNum, int fwflag, int enflag);
int qelDrvLib_OsdShowAlarm(int winTotal, int chnNum, int fwflag, int enflag);
int qelDrvLib_OsdShowLinkStat(int enflag);
int qelDrvLib_OsdClean();
