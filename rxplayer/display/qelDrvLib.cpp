#include <SDL/SDL_thread.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "display/OSD/qelOsd_api.h"
#include "display/qelDrvLibState.h"

// VoDev is never assigned: the pipeline always drives output device 0, a high-definition one.
VO_DEV VoDev = 0;
HI_BOOL bVoHd = HI_TRUE;
std::atomic<SAMPLE_VO_MODE_E> enVoMode{VO_MODE_1MUX};
VO_PUB_ATTR_S stVoPubAttr;
std::atomic<int> iVoTotal{0};
std::mutex qelTablesMu;
int out_width = 0;
int out_height = 0;
VIDEO_NORM_E gs_enNorm = VIDEO_ENCODING_MODE_NTSC;
HI_U32 gs_u32ViFrmRate = 0;

PAYLOAD_TYPE_E enTypeAry[QEL_VDEC_ARY];
VIDEO_MODE_E enVdecModeAry[QEL_VDEC_ARY];
SIZE_S SizeAry[QEL_VDEC_ARY];
SIZE_S SizeAryTmp[QEL_VDEC_ARY];

int iAudioDecSamplerate = 48000;
std::atomic<int> SAMPLE_AUDIO_AO_DEV{4};
PAYLOAD_TYPE_E gs_enPayloadType = PT_LPCM;
AUDIO_RESAMPLE_ATTR_S* gs_pstAoReSmpAttr = nullptr;
HI_BOOL gs_bMicIn = HI_FALSE;

namespace {

// 1 until a set-up of either kind has built the pipeline: the next set-up of either kind then
// takes down what the last one built before building again.
int gFirstInit = 1;
SDL_Thread* gHdmiThread = nullptr;
// The HDMI watcher owns the transmitter for the life of the process: it is started at most
// once, whatever set-ups follow (a module reset included).
std::atomic<bool> gHdmiWatcherStarted{false};

// The audio path as the pipeline built it, kept across video re-initialisations: the output
// devices it enabled, the two audio decode channels and the device each is bound to (-1:
// none). A change of audio output moves decode channel 0 to the new device, so both may be up.
bool gAoLive[AO_DEV_MAX_NUM] = {};
bool gAdecUp[2] = {};
AUDIO_DEV gAdecDev[2] = {-1, -1};

bool ourAoDev(AUDIO_DEV d) {
    return d >= 0 && d < AO_DEV_MAX_NUM;
}

// Takes the audio path of an earlier set-up down, so that building it again does not find its
// decode channels, output devices and binds still in place.
void stopAudioPath() {
    for (ADEC_CHN c = 0; c < 2; ++c) {
        if (gAdecDev[c] >= 0) {
            MPP_CHN_S src{HI_ID_ADEC, 0, c};
            MPP_CHN_S dst{HI_ID_AO, gAdecDev[c], c};
            HI_MPI_SYS_UnBind(&src, &dst);
            gAdecDev[c] = -1;
        }
        if (gAdecUp[c]) SAMPLE_ADEC_ForceDestroyAdecChn(c);
        gAdecUp[c] = false;
    }
    for (AUDIO_DEV d = 0; d < AO_DEV_MAX_NUM; ++d) {
        if (!gAoLive[d]) continue;
        HI_MPI_AO_DisableChn(d, 0);
        HI_MPI_AO_DisableChn(d, 1);
        HI_MPI_AO_Disable(d);
        gAoLive[d] = false;
    }
}

struct ModeRow {
    SAMPLE_VO_MODE_E mode;
    PIC_SIZE_E pic;
};

// Layout mode and scaler picture size class for a window count; hasRow18 is false for the
// equal-grid variant, which knows no 18-window model.
bool modeForCount(int n, bool hasRow18, ModeRow* out) {
    PIC_SIZE_E pic = PIC_HD1080;
    SAMPLE_VO_MODE_E mode;
    if (n == 1) {
        mode = VO_MODE_1MUX;
    } else if (n == 2) {
        mode = VO_MODE_1x2MUX;
    } else if (n == 3) {
        mode = VO_MODE_1x3MUX;
    } else if (n == 4) {
        mode = VO_MODE_4MUX;
    } else if (n <= 5) {
        mode = VO_MODE_1x4MUX;
    } else if (n <= 7) {
        mode = VO_MODE_7MUX;
    } else if (n == 8) {
        mode = VO_MODE_8MUX;
        pic = PIC_HD720;
    } else if (n == 9) {
        mode = VO_MODE_9MUX;
    } else if (n == 10) {
        mode = VO_MODE_10MUX;
    } else if (n == 11) {
        mode = VO_MODE_4x1MUX;
    } else if (n <= 13) {
        mode = VO_MODE_13MUX;
    } else if (n <= 16) {
        mode = VO_MODE_16MUX;
    } else if (n == 18 && hasRow18) {
        mode = VO_MODE_32MUX;
    } else if (n == 21) {
        mode = VO_MODE_2x1MUX;
    } else if (n <= 25) {
        mode = VO_MODE_25MUX;
        pic = PIC_D1;
    } else if (n <= 30) {
        mode = VO_MODE_30MUX;
        pic = PIC_D1;
    } else if (n == 31) {
        mode = VO_MODE_3x1MUX;
    } else if (n == 32) {
        mode = VO_MODE_32MUX;
        pic = PIC_D1;
    } else {
        out->pic = PIC_HD1080;
        return false;  // mode unchanged
    }
    out->mode = mode;
    out->pic = pic;
    return true;
}

int channelTotal(int n) {
    if (n == 5 || n == 11) return 4;
    if (n == 2 || n == 21) return 2;
    if (n == 3 || n == 31) return 3;
    return n;
}

void initPtsBase() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    printf("Before HI_MPI_SYS_InitPtsBase sec: %d  usec: %d \n", (int)tv.tv_sec, (int)tv.tv_usec);
    HI_U64 curPts = (HI_U64)tv.tv_sec * 1000000 + tv.tv_usec;
    printf("Before HI_MPI_SYS_InitPtsBase  curPts : %lld \n", (long long)curPts);
    HI_S32 s32Ret = HI_MPI_SYS_InitPtsBase(curPts);
    printf("HI_MPI_SYS_InitPtsBase Result: %d \n", s32Ret);
    gettimeofday(&tv, nullptr);
    printf("After HI_MPI_SYS_InitPtsBase sec: %d  usec: %d \n", (int)tv.tv_sec, (int)tv.tv_usec);
    s32Ret = HI_MPI_SYS_GetCurPts(&curPts);
    printf("After s32Ret: %0x       CurPts %lld \n", s32Ret, (long long)curPts);
}

// Steps shared by both set-up variants up to the output channels. -1 when set-up must stop.
int initFront(int iDevNum, unsigned char oResolution, int oR_chg, bool hasRow18, int firstInit,
              SIZE_S* stSize) {
    ModeRow row;
    if (modeForCount(iDevNum, hasRow18, &row)) enVoMode = row.mode;

    if (firstInit == 1 && oR_chg != 1) {
        std::lock_guard<std::mutex> tables(qelTablesMu);
        for (int i = 0; i < QEL_VDEC_ARY; ++i) {
            enTypeAry[i] = PT_H264;
            enVdecModeAry[i] = VIDEO_MODE_FRAME;
        }
    }

    VO_PUB_ATTR_S pub;
    memset(&pub, 0, sizeof pub);
    if (bVoHd) {
        pub.enIntfSync = (VO_INTF_SYNC_E)oResolution;
        pub.enIntfType = VO_INTF_HDMI;
    } else {
        pub.enIntfSync = gs_enNorm ? VO_OUTPUT_NTSC : VO_OUTPUT_PAL;
        pub.enIntfType = VO_INTF_CVBS;
    }
    pub.u32BgColor = 0;
    pub.bDoubleFrame = HI_FALSE;
    {
        std::lock_guard<std::mutex> tables(qelTablesMu);
        stVoPubAttr = pub;
    }

    iVoTotal = channelTotal(iDevNum);
    gs_u32ViFrmRate = gs_enNorm ? 50 : 25;
    if (iVoTotal > QEL_VDEC_ARY) return -1;

    if (SAMPLE_COMM_SYS_GetPicSize(gs_enNorm, row.pic, stSize) != 0) return -1;

    outputSizeFor(oResolution, out_width, out_height);
    bVoHd = (VoDev == 0 || VoDev == 1) ? HI_TRUE : HI_FALSE;

    if (firstInit == 1 && oR_chg != 1) {
        VB_CONF_S stVbConf;
        memset(&stVbConf, 0, sizeof stVbConf);
        stVbConf.u32MaxPoolCnt = 128;
        if (SAMPLE_COMM_SYS_Init(&stVbConf) != 0) return -1;
        initPtsBase();
        if (bVoHd) SAMPLE_COMM_VPSS_MemConfig();
        SAMPLE_COMM_VDEC_MemConfig();
        SAMPLE_COMM_VO_MemConfig(VoDev, nullptr);
    }

    if (bVoHd) SAMPLE_COMM_VPSS_Start(iVoTotal, stSize, 5, nullptr);
    if (firstInit == 1) SAMPLE_COMM_VO_StartDevLayer(VoDev, &pub, gs_u32ViFrmRate);
    return 0;
}

// Binds, OSD and decode channels, shared by both variants.
void initBack(int* firstInit, int oR_chg, unsigned char oResolution, SIZE_S stSize) {
    if (bVoHd)
        for (int n = 0; n < iVoTotal; ++n) SAMPLE_COMM_VO_BindVpss(VoDev, n, n, 2);

    if (*firstInit == 1) {
        *firstInit = 0;
        if (oR_chg != 1) hiInitOSD();
        hiInitOSDSize(oResolution);
    }

    hiCalcOSDpst(iVoTotal, enVoMode);
    if (chnipDisplayEn) {
        hiDrawRect(iVoTotal, enVoMode);
        for (int n = 0; n < iVoTotal; ++n) {
            hiDrawOSDip(iVoTotal, n, 0, (iLunxunChn >> n) & 1, 0);
            hiDrawOSDchn(iVoTotal, n, 0);
        }
    } else {
        hiOSDclean();
    }

    CreateVdecChn(bVoHd, iVoTotal, stSize);
}

// The start of either set-up: when a set-up of either kind built the pipeline, it is taken
// down first; after an output change the device and its layer are set up again.
void uninitEarlier(int oR_chg) {
    if (gFirstInit != 0) return;
    qelDrvLib_Uninit(VoDev, enVoMode, bVoHd, qelPubAttr().enIntfType, oR_chg);
    if (oR_chg == 1) gFirstInit = 1;
}

bool hdmiWanted(int firstInit, int oR_chg) {
    return bVoHd && firstInit == 1 && oR_chg != 1 && (qelPubAttr().enIntfType & VO_INTF_HDMI);
}

}  // namespace

void outputSizeFor(int timing, int& width, int& height) {
    switch (timing) {
        case 13:
            width = 800, height = 600;
            break;
        case 14:
            width = 1024, height = 768;
            break;
        case 5:
        case 6:
            width = 1280, height = 720;
            break;
        case 18:
            width = 1280, height = 800;
            break;
        case 16:
            width = 1366, height = 768;
            break;
        case 17:
            width = 1440, height = 900;
            break;
        case 15:
            width = 1280, height = 1024;
            break;
        case 2:
        case 3:
        case 4:
        case 7:
        case 8:
        case 9:
        case 10:
            width = 1920, height = 1080;
            break;
        default:
            break;
    }
}

int qelDrvLib_Init(int iDevNum, unsigned char oResolution, int oR_chg, SAMPLE_VOWIN_S* voWin) {
    uninitEarlier(oR_chg);
    SIZE_S stSize{0, 0};
    if (initFront(iDevNum, oResolution, oR_chg, true, gFirstInit, &stSize) != 0) return -1;

    VO_PUB_ATTR_S pub = qelPubAttr();
    if (iDevNum == QEL_WIN_MAX) {
        for (int n = 0; n < QEL_WIN_MAX; ++n) {
            if (voWin == nullptr || !voWin[n].u8DisplayEn) continue;
            HI_S32 s32Ret = SAMPLE_COMM_VO_StartChnById(VoDev, &pub, enVoMode, n, voWin[n]);
            if (s32Ret != HI_SUCCESS)
                printf("Start SAMPLE_COMM_VO_StartChnById voWin0 failed %x!\n", s32Ret);
        }
        HI_U32 u32Toleration = 0;
        HI_MPI_VO_GetPlayToleration(VoDev, &u32Toleration);
        printf("u32Toleration: %d \n", u32Toleration);
        HI_MPI_VO_SetPlayToleration(VoDev, 300);
        HI_MPI_VO_GetPlayToleration(VoDev, &u32Toleration);
        printf("After u32Toleration: %d \n", u32Toleration);
    } else {
        HI_S32 s32Ret = SAMPLE_COMM_VO_StartChn(VoDev, &pub, enVoMode);
        if (s32Ret != HI_SUCCESS) printf("Start SAMPLE_COMM_VO_StartChn failed %x!\n", s32Ret);
    }

    if (hdmiWanted(gFirstInit, oR_chg)) {
        mySample_Vo_Audio_Param.enSamplerate = (AUDIO_SAMPLE_RATE_E)iAudioDecSamplerate;
        mySample_Vo_Audio_Param.enBitwidth = AUDIO_BIT_WIDTH_16;
        if (!gHdmiWatcherStarted.exchange(true))
            gHdmiThread =
                SDL_CreateThread(SAMPLE_COMM_VO_HdmiStart_thread, &mySample_Vo_Audio_Param);
    }

    initBack(&gFirstInit, oR_chg, oResolution, stSize);

    AUDIO_DEV AoDev = SAMPLE_AUDIO_AO_DEV;
    AIO_ATTR_S stAioAttr;
    qelAudioOutAttr(&stAioAttr, iAudioDecSamplerate, 320, AoDev);
    const AO_CHN AoChn = 0;
    const ADEC_CHN AdChn = 0;

    stopAudioPath();

    HI_S32 s32Ret = SAMPLE_COMM_AUDIO_CfgAcodec(&stAioAttr, gs_bMicIn);
    int line = 2058;
    if (s32Ret == HI_SUCCESS) {
        s32Ret = SAMPLE_COMM_AUDIO_StartAdec(AdChn, gs_enPayloadType);
        line = 2065;
        if (s32Ret == HI_SUCCESS) qelAudioAdecStarted(AdChn);
    }
    if (s32Ret == HI_SUCCESS) {
        qelAudioDeviceStarting(AoDev);
        s32Ret = SAMPLE_COMM_AUDIO_StartAo(AoDev, AoChn, &stAioAttr, gs_pstAoReSmpAttr);
        line = 2072;
    }
    if (s32Ret == HI_SUCCESS) {
        s32Ret = SAMPLE_COMM_AUDIO_AoBindAdec(AoDev, AoChn, AdChn);
        line = 2079;
        if (s32Ret == HI_SUCCESS) {
            gAdecDev[AdChn] = AoDev;
            printf("bind adec:%d to ao(%d,%d) ok \n", AdChn, AoDev, AoChn);
        }
    }
    if (s32Ret == HI_SUCCESS) {
        s32Ret = SAMPLE_COMM_AUDIO_StartAdec(1, gs_enPayloadType);
        line = 2090;
        if (s32Ret == HI_SUCCESS) qelAudioAdecStarted(1);
    }
    if (s32Ret == HI_SUCCESS) {
        s32Ret = SAMPLE_COMM_AUDIO_AoBindAdec(AoDev, 1, 1);
        line = 2104;
        if (s32Ret == HI_SUCCESS) gAdecDev[1] = AoDev;
    }
    if (s32Ret != HI_SUCCESS) {
        printf("s32Ret=%#x,fuc:%s,line:%d\n", s32Ret, "qelDrvLib_Init", line);
        return -1;
    }
    return 0;
}

int qelDrvLib_Init_ORG(int iDevNum, unsigned char oResolution, int oR_chg) {
    uninitEarlier(oR_chg);
    SIZE_S stSize{0, 0};
    if (initFront(iDevNum, oResolution, oR_chg, false, gFirstInit, &stSize) != 0) return -1;
    VO_PUB_ATTR_S pub = qelPubAttr();
    SAMPLE_COMM_VO_StartChn(VoDev, &pub, enVoMode);
    // Once the watcher runs, the transmitter is its own: it is not opened a second time.
    if (hdmiWanted(gFirstInit, oR_chg) && !gHdmiWatcherStarted)
        SAMPLE_COMM_VO_HdmiStart(pub.enIntfSync);
    initBack(&gFirstInit, oR_chg, oResolution, stSize);
    return 0;
}

int qelDrvLib_Uninit(VO_DEV dev, SAMPLE_VO_MODE_E mode, HI_BOOL hd, VO_INTF_TYPE_E enIntfType,
                     int oR_chg) {
    (void)enIntfType;
    for (int n = 0; n < iVoTotal; ++n) {
        VIDEO_MODE_E vdecMode;
        {
            std::lock_guard<std::mutex> tables(qelTablesMu);
            vdecMode = enVdecModeAry[n];
        }
        SAMPLE_VDEC_WaitDestroyVdecChn(n, vdecMode);
        if (hd)
            SAMLE_COMM_VDEC_UnBindVpss(n, n);
        else
            SAMLE_COMM_VDEC_UnBindVo(n, dev, n);
    }
    if (hd)
        for (int n = 0; n < iVoTotal; ++n) SAMPLE_COMM_VO_UnBindVpss(dev, n, n, 2);
    SAMPLE_COMM_VO_StopChn(dev, mode);
    if (oR_chg == 1) SAMPLE_COMM_VO_StopDevLayer(dev);
    if (hd) SAMPLE_COMM_VPSS_Stop(iVoTotal, 5);
    return 0;
}

void qelAudioAdecStarted(ADEC_CHN c) {
    if (c >= 0 && c < 2) gAdecUp[c] = true;
}

void qelAudioAdecGone(ADEC_CHN c) {
    if (c >= 0 && c < 2) gAdecUp[c] = false;
}

void qelAudioDeviceStarting(AUDIO_DEV d) {
    if (ourAoDev(d)) gAoLive[d] = true;
}

void qelAudioFollowDevice(ADEC_CHN c, AUDIO_DEV d) {
    if (c < 0 || c >= 2 || gAdecDev[c] < 0 || gAdecDev[c] == d || !ourAoDev(d)) return;
    MPP_CHN_S src{HI_ID_ADEC, 0, c};
    MPP_CHN_S old{HI_ID_AO, gAdecDev[c], c};
    HI_MPI_SYS_UnBind(&src, &old);
    gAdecDev[c] = -1;
    if (SAMPLE_COMM_AUDIO_AoBindAdec(d, c, c) == HI_SUCCESS) gAdecDev[c] = d;
}

void qelAudioOutAttr(AIO_ATTR_S* attr, int rate, int ptNum, AUDIO_DEV dev) {
    memset(attr, 0, sizeof *attr);
    attr->enSamplerate = (AUDIO_SAMPLE_RATE_E)rate;
    attr->enBitwidth = AUDIO_BIT_WIDTH_16;
    attr->enWorkmode = dev == 5 ? AIO_MODE_I2S_MASTER : AIO_MODE_I2S_SLAVE;
    attr->enSoundmode = AUDIO_SOUND_MODE_MONO;
    attr->u32EXFlag = 0;
    attr->u32FrmNum = 30;
    attr->u32PtNumPerFrm = (HI_U32)ptNum;
    attr->u32ChnCnt = 2;
    attr->u32ClkSel = 1;
}

void CreateVdecChn(HI_BOOL hd, int Cnt, SIZE_S stSize) {
    printf("CreateVdecChn: %d \n", Cnt);
    int n = 4, DividFg = 888, ChnVdec = 888, ChnType = 0;
    switch (Cnt) {
        case 1:
            n = 1;
            break;
        case 7:
            DividFg = 3;
            break;
        case 8:
            n = 8;
            break;
        case 9:
            n = 9, ChnVdec = 2;
            break;
        case 10:
            DividFg = 2;
            break;
        case 13:
            DividFg = 1;
            break;
        case 16:
            DividFg = 0;
            break;
        case 18:
            n = 18;
            break;
        case 25:
            n = 25, ChnVdec = 13, ChnType = 1;
            break;
        case 30:
            n = 30, ChnVdec = 11, ChnType = 1;
            break;
        case 32:
            n = 32, ChnVdec = 10, ChnType = 1;
            break;
        default:
            break;
    }
    SIZE_S size = stSize;
    auto createAndBind = [hd](int c, SIZE_S* sz) {
        PAYLOAD_TYPE_E type;
        VIDEO_MODE_E mode;
        {
            std::lock_guard<std::mutex> tables(qelTablesMu);
            type = enTypeAry[c];
            mode = enVdecModeAry[c];
        }
        SAMPLE_VDEC_CreateVdecChn(c, sz, type, mode);
        if (hd)
            SAMLE_COMM_VDEC_BindVpss(c, c);
        else
            SAMLE_COMM_VDEC_BindVo(c, VoDev, c);
    };
    for (int i = 0; i < n; ++i) {
        if (i < DividFg) {
            if (i >= ChnVdec) size = ChnType == 1 ? SIZE_S{352, 288} : SIZE_S{720, 576};
            if (Cnt == 18) size = SIZE_S{176, 144};
            {
                std::lock_guard<std::mutex> tables(qelTablesMu);
                SizeAry[i] = size;
                SizeAryTmp[i] = size;
            }
            createAndBind(i, &size);
        } else {
            if (i == DividFg) size = SIZE_S{720, 576};
            for (int j = 0; j < 4; ++j) {
                int c = (i - DividFg) * 4 + DividFg + j;
                if (c >= QEL_VDEC_ARY) break;
                {
                    std::lock_guard<std::mutex> tables(qelTablesMu);
                    SizeAry[c] = size;
                }
                printf("SAMPLE_VDEC_CreateVdecChn 222 : %d \n", c);
                printf("222 %d %d \n", size.u32Width, size.u32Height);
                createAndBind(c, &size);
            }
        }
    }
}

HI_S32 SAMPLE_VDEC_CreateVdecChn(HI_S32 s32ChnID, SIZE_S* pstSize, PAYLOAD_TYPE_E enType,
                                 VIDEO_MODE_E enVdecMode) {
    VDEC_CHN_ATTR_S stAttr;
    memset(&stAttr, 0, sizeof stAttr);
    stAttr.enType = enType;
    stAttr.u32BufSize = pstSize->u32Width * pstSize->u32Height * 3 / 2;
    stAttr.u32Priority = 1;
    stAttr.u32PicWidth = pstSize->u32Width;
    stAttr.u32PicHeight = pstSize->u32Height;
    if (enType == PT_H264) {
        stAttr.stVdecAttrH264.u32RefFrameNum = 5;
        stAttr.stVdecAttrH264.enMode = enVdecMode;
        stAttr.stVdecAttrH264.s32SupportBFrame = 1;
    } else if (enType == PT_JPEG || enType == PT_MJPEG) {
        stAttr.stVdecAttrJpeg.enMode = enVdecMode;
        stAttr.stVdecAttrJpeg.u32Tmp = 0;
    } else {
        printf("err type \n");
        return -1;
    }

    HI_S32 s32Ret = HI_MPI_VDEC_CreateChn(s32ChnID, &stAttr);
    if (s32Ret != HI_SUCCESS) {
        printf("HI_MPI_VDEC_CreateChn failed errno 0x%x \n", s32Ret);
        return s32Ret;
    }
    VDEC_PRTCL_PARAM_S stPrtclParam;
    s32Ret = HI_MPI_VDEC_GetPrtclParam(s32ChnID, &stPrtclParam);
    if (s32Ret != HI_SUCCESS) {
        printf("HI_MPI_VDEC_GetPrtclParam failed errno 0x%x \n", s32Ret);
        return s32Ret;
    }
    if (enType == PT_H264) {
        stPrtclParam.stH264PrtclParam.s32MaxSpsNum = 21;
        stPrtclParam.stH264PrtclParam.s32MaxPpsNum = 22;
        stPrtclParam.stH264PrtclParam.s32MaxSliceNum = 100;
        s32Ret = HI_MPI_VDEC_SetPrtclParam(s32ChnID, &stPrtclParam);
        if (s32Ret != HI_SUCCESS) {
            printf("HI_MPI_VDEC_SetPrtclParam failed errno 0x%x \n", s32Ret);
            return s32Ret;
        }
        HI_MPI_VDEC_GetPrtclParam(s32ChnID, &stPrtclParam);
        VDEC_CHN_PARAM_S stChnParam;
        memset(&stChnParam, 0, sizeof stChnParam);
        HI_MPI_VDEC_GetChnParam(s32ChnID, &stChnParam);
        stChnParam.s32DecOrderOutput = 1;
        s32Ret = HI_MPI_VDEC_SetChnParam(s32ChnID, &stChnParam);
        if (s32Ret != HI_SUCCESS) {
            printf("HI_MPI_VDEC_SetChnParam failed errno 0x%x \n", s32Ret);
            return s32Ret;
        }
    }
    s32Ret = HI_MPI_VDEC_StartRecvStream(s32ChnID);
    if (s32Ret != HI_SUCCESS) {
        printf("HI_MPI_VDEC_StartRecvStream failed errno 0x%x \n", s32Ret);
        return s32Ret;
    }
    return HI_SUCCESS;
}

void SAMPLE_VDEC_ForceDestroyVdecChn(HI_S32 s32ChnID) {
    HI_S32 s32Ret = HI_MPI_VDEC_StopRecvStream(s32ChnID);
    if (s32Ret != HI_SUCCESS) printf("HI_MPI_VDEC_StopRecvStream failed errno 0x%x \n", s32Ret);
    s32Ret = HI_MPI_VDEC_DestroyChn(s32ChnID);
    if (s32Ret != HI_SUCCESS) printf("HI_MPI_VDEC_DestroyChn failed errno 0x%x \n", s32Ret);
}

void SAMPLE_VDEC_WaitDestroyVdecChn(HI_S32 s32ChnID, VIDEO_MODE_E enVdecMode) {
    if (HI_MPI_VDEC_StopRecvStream(s32ChnID) != HI_SUCCESS) return;
    if (enVdecMode == VIDEO_MODE_FRAME) {
        // A decoder that never drains (stalled output) must not hold up the re-initialisation
        // for ever: after the cap the channel is destroyed with its pictures.
        for (int waited = 0;; waited += 40) {
            usleep(40 * 1000);
            VDEC_CHN_STAT_S stStat;
            if (HI_MPI_VDEC_Query(s32ChnID, &stStat) != HI_SUCCESS) return;
            if (stStat.u32LeftPics == 0 && stStat.u32LeftStreamFrames == 0) break;
            if (waited + 40 >= QEL_VDEC_DRAIN_MAX_MS) break;
        }
    }
    HI_MPI_VDEC_DestroyChn(s32ChnID);
}

void SAMPLE_ADEC_ForceDestroyAdecChn(HI_S32 s32ChnID) {
    HI_MPI_ADEC_ClearChnBuf(s32ChnID);
    HI_MPI_ADEC_DestroyChn(s32ChnID);
}

int qelDrvLib_VoReOpen(int iCurWin, SAMPLE_VOWIN_S voWinCur) {
    if (voWinCur.u8DisplayEn != 1) return 0;
    HI_S32 s32Ret = HI_MPI_VO_DisableChn(VoDev, iCurWin);
    if (s32Ret != HI_SUCCESS) {
        printf("HI_MPI_VO_DisableChn Clip failed with %#x!\n", s32Ret);
        return -1;
    }
    s32Ret = HI_MPI_VO_EnableChn(VoDev, iCurWin);
    if (s32Ret != HI_SUCCESS) {
        printf("HI_MPI_VO_EnableChn Clip failed with %#x!\n", s32Ret);
        return -1;
    }
    return 0;
}

VO_PUB_ATTR_S qelPubAttr() {
    std::lock_guard<std::mutex> tables(qelTablesMu);
    return stVoPubAttr;
}

void qelDrvLibResetModule() {
    std::lock_guard<std::mutex> tables(qelTablesMu);
    gFirstInit = 1;
    memset(gAoLive, 0, sizeof gAoLive);
    memset(gAdecUp, 0, sizeof gAdecUp);
    gAdecDev[0] = gAdecDev[1] = -1;
    bVoHd = HI_TRUE;
    enVoMode = VO_MODE_1MUX;
    memset(&stVoPubAttr, 0, sizeof stVoPubAttr);
    iVoTotal = 0;
    out_width = out_height = 0;
    memset(enTypeAry, 0, sizeof enTypeAry);
    memset(enVdecModeAry, 0, sizeof enVdecModeAry);
    memset(SizeAry, 0, sizeof SizeAry);
    memset(SizeAryTmp, 0, sizeof SizeAryTmp);
    for (auto& r : Cut_Display_rect) r = SIZE_S{1920, 1080};
    iDrvCutEdgeHor = 0;
    iDrvCutEdgeVer = 0;
    iAudioDecSamplerate = 48000;
    SAMPLE_AUDIO_AO_DEV = 4;
    gs_enPayloadType = PT_LPCM;
    gs_pstAoReSmpAttr = nullptr;
    chnipDisplayEn = 0;
    iLunxunWinNum = 0;
    iLunxunChn = 0;
    osdResetState();
}
