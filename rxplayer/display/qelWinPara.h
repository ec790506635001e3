// The window record and its file /mnt/winpara_NN.ini (one per window, 18 windows).
#pragma once

#include "hi_platform.h"

#define QEL_WIN_MAX 18
#define QEL_WIN_URL_LEN 64

typedef struct {
    char url[QEL_WIN_URL_LEN];     // "unused_window" when none
    char urlSub[QEL_WIN_URL_LEN];  // "unused_window" when none
    HI_U32 u32xPosStart;           // pixels of a 1920x1080 output; the stops are exclusive
    HI_U32 u32xPosStop;
    HI_U32 u32yPosStart;
    HI_U32 u32yPosStop;
    HI_U8 u8xClipStart;  // percent of the source picture
    HI_U8 u8xClipStop;
    HI_U8 u8yClipStart;
    HI_U8 u8yClipStop;
    HI_U8 u8VideoOrPip;  // 0 video layer, 1 picture-in-picture layer
    HI_U8 u8DisplayEn;   // 1 shown
} SAMPLE_VOWIN_S;

// The 18 window records, shared by the player and the pipeline.
extern SAMPLE_VOWIN_S sample_vo_win_s[QEL_WIN_MAX];

// Writes record iWinId to its file; 0, or -1 when the file cannot be created.
int saveWinParaIni(int iWinId);

// Reads the file of window iWinId into its record, or creates the file with the defaults when
// it is missing; 0, or -1 when it can neither be read nor created.
int checkWinParaIni(int iWinId);
