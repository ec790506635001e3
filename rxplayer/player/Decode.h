// The stream player: 18 window slots, each playing one stream source with a reader thread of its
// own that feeds the hardware decoder of the slot's window; start-up of the player and of the
// display pipeline, the window and split calls, synchronised playback and loss detection.
//
// Calls return 0 for success and -1 for refusal or failure unless said otherwise. Windows are
// numbered 0..17 in the 18-window model.
#pragma once

#include "display/qelDrvLib.h"
#include "display/qelWinPara.h"

struct SDL_mutex;
struct VideoState;

// Number of player slots.
#define QEL_SLOT_MAX 18

// Start-up and window model.
// Starts the player and the display pipeline with output timing video_out; iServer 1 makes the
// player its own server (the only mode this program uses).
int qelInitLib(int iServer, ZURIR_VO_INTF_SYNC_E video_out);
// Sets the window count (18 in normal use); call before qelInitLib. Returns 0.
int qelSetWinRow(int iWindows);
// The window count.
int qelGetVideoWinMax();
// The stream-present flag of slot iWin; writes the window count and the stream's picture size.
int qelIsVideoExisted(int iWin, int* iWinCur, int* iWidth, int* iHeight);
// Writes 1 and the full-screen slot, or 0 and 0; returns the window count.
int qelDetectFullScreen(int* full_multi, int* iWin);

// Streams.
// Opens input_filename in slot iWin and waits for it to play (3, 10 or 12 s); iFull 2 is a normal
// window. 0 = plays, -1 = refused, failed or timed out.
int qelShow(int iWin, const char* input_filename, int iFull);
// Stops the stream of slot iWin (waits up to about 5 s for its reader).
int qelStop(int iWin);
// Shows the loss picture /mnt/logo.jpg in window iWin.
int qel_DecodeJpg(int iWin);
// Stops every playing slot whose packet counter has not advanced since the last call and shows
// the loss picture; returns 1.
int qelDetectVideoActive();
// Records for window pair iIndex (0..4; 5 = window 17) the slot to use next.
void updateChannelPre(int iIndex, int iValue);

// Window layout.
int qelCheckWhetherNeedSetSplit(int iSplitWinOrg, int iSplitWin);
int qelSetSplitPara(int iSplitWin, int iVideoPip);
int qelLayerWin(int iCurWin, int iVideoPip);
int qelDisplayWin(int iCurWin, int iDisplayEn);
int qelClipWin(int iCurWin, int iStartW, int iStopW, int iStartH, int iStopH, int iVideoPip,
               int iDisplayEn);
int qelPosWin(int iCurWin, int iStartW, int iStopW, int iStartH, int iStopH, int iVideoPip,
              int iDisplayEn);
int qelVideoWin(int iCurWin, int iStartPW, int iStopPW, int iStartPH, int iStopPH, int iStartCW,
                int iStopCW, int iStartCH, int iStopCH, int iVideoPip, int iDisplayEn);
int qel_SuspendChn(int iCurWin, int iCheckFlag);
int qel_ResumeChn();
int qelFullWinToScreen(int iWin, int fullscreen);
// Adapts window iWin to a stream's picture size; 0 accepted, -1 refused.
int qelSetWinWidthHeight(int iWin, int iWidth, int iHeight);
int qelSetVideoWin(ZURIR_VO_INTF_SYNC_E video_out);
int qelChgVo(ZURIR_VO_INTF_SYNC_E video_out);
int qelCircleBroadcast(int onoff, int lunxun_num, int lunxun_chn, ZURIR_VO_INTF_SYNC_E video_out);
// Rebuilds the pipeline for output timing oResolution; the caller holds hiH264LibInit.
int qelDrvInit(int channels, unsigned char oResolution);

// Synchronised playback.
int qelSetSync(int iCurWin, int iSyncTimeBaseValue, int iSyncTimeOffSetValue);
int qelSetSyncOffset(int iCurWin, int iSyncTimeOffSetValue);
int qelSetSyncClose(int iOnOff);

// The player's diagnostic hook: every text passed to it is discarded.
void DbgOut(const char* pFormat, ...) __attribute__((format(printf, 1, 2)));

// Shared data. The window records sample_vo_win_s, checkWinParaIni and mySample_Vo_Audio_Param
// live with the display pipeline (display/qelWinPara.h, display/common/sample_comm.h).
// The slot table; entry s is the record of slot s (created by qelInitLib).
extern VideoState* vsm[QEL_SLOT_MAX];
// Held around every build of the hardware pipeline.
extern SDL_mutex* hiH264LibInit;
