// State of the display pipeline module, shared by its files (and read by its tests).
#pragma once

#include <atomic>
#include <mutex>

#include "display/qelDrvLib.h"

#define QEL_VDEC_ARY 32

extern VO_DEV VoDev;
extern HI_BOOL bVoHd;
extern std::atomic<SAMPLE_VO_MODE_E> enVoMode;
extern VO_PUB_ATTR_S stVoPubAttr;
extern std::atomic<int> iVoTotal;
extern int out_width;
extern int out_height;
extern VIDEO_NORM_E gs_enNorm;
extern HI_U32 gs_u32ViFrmRate;

extern PAYLOAD_TYPE_E enTypeAry[QEL_VDEC_ARY];
extern VIDEO_MODE_E enVdecModeAry[QEL_VDEC_ARY];
extern SIZE_S SizeAry[QEL_VDEC_ARY];
extern SIZE_S SizeAryTmp[QEL_VDEC_ARY];
extern SIZE_S Cut_Display_rect[QEL_WIN_MAX];

// Guards the size, type and layout tables above (enTypeAry, enVdecModeAry, SizeAry, SizeAryTmp,
// Cut_Display_rect, stVoPubAttr), which the reader, command and set-up threads all write. It is
// never held across a platform call: values are copied out under it first.
extern std::mutex qelTablesMu;
// A copy of the output device's attributes.
VO_PUB_ATTR_S qelPubAttr();

extern std::atomic<int> iDrvCutEdgeHor;
extern std::atomic<int> iDrvCutEdgeVer;

extern int iAudioDecSamplerate;
extern std::atomic<int> SAMPLE_AUDIO_AO_DEV;
extern PAYLOAD_TYPE_E gs_enPayloadType;
extern AUDIO_RESAMPLE_ATTR_S* gs_pstAoReSmpAttr;
extern HI_BOOL gs_bMicIn;

extern std::atomic<unsigned char> chnipDisplayEn;
extern std::atomic<int> iLunxunWinNum;
extern std::atomic<int> iLunxunChn;

// Output attributes of the audio path: the stream's rate, 16 bit, mono, 30 frames of ptNum
// samples, 2 channels; the I2S interface is master towards the HDMI audio device (5), else slave.
void qelAudioOutAttr(AIO_ATTR_S* attr, int rate, int ptNum, AUDIO_DEV dev);

// What the audio path holds, for taking it down on the next set-up: an audio decode channel
// started or destroyed, an output device about to be enabled, and decode channel c moved to
// output device d when it was bound to another (its output channel keeps its number).
void qelAudioAdecStarted(ADEC_CHN c);
void qelAudioAdecGone(ADEC_CHN c);
void qelAudioDeviceStarting(AUDIO_DEV d);
void qelAudioFollowDevice(ADEC_CHN c, AUDIO_DEV d);

// Longest wait for a frame-mode decode channel to drain before it is destroyed anyway, ms.
#define QEL_VDEC_DRAIN_MAX_MS 2000

// Back to the state of a process just started (tests run several set-ups in one process).
void qelDrvLibResetModule();
