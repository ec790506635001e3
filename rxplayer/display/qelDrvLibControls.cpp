#include <cstdio>

#include "display/OSD/qelOsd_api.h"
#include "display/qelDrvLibState.h"

std::atomic<unsigned char> chnipDisplayEn{0};
std::atomic<int> iLunxunWinNum{0};
std::atomic<int> iLunxunChn{0};

int qelDrvLib_Csc(int u32Luma, int u32Contrast, int u32Hue, int u32Satuature) {
    VO_CSC_S stCsc;
    stCsc.u32Luma = (HI_U32)u32Luma;
    stCsc.u32Contrast = (HI_U32)u32Contrast;
    stCsc.u32Hue = (HI_U32)u32Hue;
    stCsc.u32Satuature = (HI_U32)u32Satuature;
    return SAMPLE_COMM_VO_SetDevCSC(VoDev, &stCsc);
}

int qelDrvLib_AudioOutput(int iAudioOutput) {
    SAMPLE_AUDIO_AO_DEV = iAudioOutput == 1 ? 5 : 4;
    printf("SAMPLE_AUDIO_AO_DEV : %d \n", SAMPLE_AUDIO_AO_DEV.load());
    return 0;
}

int qelDrvLib_LunXun(int lunxunWin, int lunxunChn) {
    iLunxunWinNum = lunxunWin;
    iLunxunChn = lunxunChn;
    return lunxunWin;
}

void qelDrvLib_OsdShowIPChnEn(unsigned char chnipDisplay) {
    chnipDisplayEn = chnipDisplay;
}

int qelDrvLib_OsdShowCurInfo(char* pCurInfo, unsigned char enflag, unsigned char index) {
    hiDrawOSDCurInfo(pCurInfo, enflag, index);
    return 0;
}

int qelDrvLib_SuspendChn(int iCurWin) {
    SAMPLE_COMM_VO_SuspendChn(VoDev, iCurWin);
    return 0;
}

int qelDrvLib_ResumeChn() {
    for (int n = 0; n < QEL_WIN_MAX; ++n)
        if (sample_vo_win_s[n].u8DisplayEn == 1) SAMPLE_COMM_VO_ResumeChn(VoDev, n);
    return 0;
}

int qelDrvLib_OsdShowIP(int winTotal, int winNum, int chnNum, int fwflag) {
    if (winNum < 0 || winNum >= 32) return 0;
    int touring = (iLunxunChn >> winNum) & 1;
    if (touring == 0)
        chnNum = 0;
    else if (iLunxunWinNum == 1)
        fwflag = 1;
    if (chnipDisplayEn) hiDrawOSDip(winTotal, winNum, chnNum, touring, fwflag);
    return 0;
}

int qelDrvLib_OsdShowChn(int winTotal, int chnNum, int fwflag) {
    if (chnipDisplayEn) hiDrawOSDchn(winTotal, chnNum, fwflag);
    return 0;
}

int qelDrvLib_OsdShowNoSignal(int, int chnNum, int fwflag, int enflag) {
    hiDrawOSDNoSignal(iVoTotal, chnNum, fwflag, enflag);
    return 0;
}

int qelDrvLib_OsdShowAlarm(int, int chnNum, int fwflag, int enflag) {
    hiDrawOSDalarm(iVoTotal, chnNum, fwflag, enflag);
    return 0;
}

int qelDrvLib_OsdShowLinkStat(int enflag) {
    hiDrawOSDlinkdown(enflag);
    return 0;
}

int qelDrvLib_OsdClean() {
    hiOSDclean();
    return 0;
}
