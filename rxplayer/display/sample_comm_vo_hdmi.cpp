// HDMI output: the one-shot start and the watcher that follows the sink.
#include "sample_comm_vo_hdmi.h"

#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// Watcher state; only the watcher thread touches it, except the operator's switch.
bool hdmicn = false;      // a sink is connected
bool dispIsHDMI = false;  // the sink is HDMI rather than DVI
bool chk_edid = false;    // the HDMI/DVI decision is made
std::atomic<int> setHdmiOnoff{1};

int setHdmiOnoff_temp = 1;
int cnt_hdmicn = 0;
int cnt_hdmioff = 0;
int cnt_hdmi = 0;
int cnt_dvi = 0;

const int kPollsToDecide = 3;

void baseAttr(HI_HDMI_ATTR_S* attr, HI_HDMI_VIDEO_FMT_E fmt, bool enable) {
    attr->bEnableHdmi = enable ? HI_TRUE : HI_FALSE;
    attr->bEnableVideo = enable ? HI_TRUE : HI_FALSE;
    attr->enVideoFmt = fmt;
    attr->enVidOutMode = HI_HDMI_VIDEO_MODE_YCBCR444;
    attr->enDeepColorMode = HI_HDMI_DEEP_COLOR_OFF;
    attr->bxvYCCMode = HI_FALSE;
    attr->bEnableAudio = HI_FALSE;
    attr->enSoundIntf = HI_HDMI_SND_INTERFACE_I2S;
    attr->bIsMultiChannel = HI_FALSE;
    attr->enBitDepth = HI_HDMI_BIT_DEPTH_16;
    attr->bEnableAviInfoFrame = HI_TRUE;
    attr->bEnableAudInfoFrame = HI_TRUE;
    attr->bEnableSpdInfoFrame = HI_FALSE;
    attr->bEnableMpegInfoFrame = HI_FALSE;
    attr->bDebugFlag = HI_FALSE;
    attr->bHDCPEnable = HI_FALSE;
    attr->b3DEnable = HI_FALSE;
}

// Brings the transmitter up (HDMI forced, no event callback) and reads its attributes.
void openTransmitter(HI_HDMI_ATTR_S* attr) {
    HI_HDMI_INIT_PARA_S stHdmiPara;
    stHdmiPara.pfnHdmiEventCallback = NULL;
    stHdmiPara.pCallBackArgs = NULL;
    stHdmiPara.enForceMode = HI_HDMI_FORCE_HDMI;
    HI_MPI_HDMI_Init(&stHdmiPara);
    HI_MPI_HDMI_Open(HI_HDMI_ID_0);
    memset(attr, 0, sizeof *attr);
    HI_MPI_HDMI_GetAttr(HI_HDMI_ID_0, attr);
}

}  // namespace

HI_S32 SAMPLE_COMM_VO_HdmiConvertSync(VO_INTF_SYNC_E enIntfSync, HI_HDMI_VIDEO_FMT_E* penVideoFmt) {
    if (!penVideoFmt) return HI_FAILURE;
    switch (enIntfSync) {
        case VO_OUTPUT_PAL:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_PAL;
            break;
        case VO_OUTPUT_NTSC:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_NTSC;
            break;
        case VO_OUTPUT_1080P24:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_1080P_24;
            break;
        case VO_OUTPUT_1080P25:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_1080P_25;
            break;
        case VO_OUTPUT_1080P30:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_1080P_30;
            break;
        case VO_OUTPUT_720P50:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_720P_50;
            break;
        case VO_OUTPUT_720P60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_720P_60;
            break;
        case VO_OUTPUT_1080I50:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_1080i_50;
            break;
        case VO_OUTPUT_1080I60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_1080i_60;
            break;
        case VO_OUTPUT_1080P50:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_1080P_50;
            break;
        case VO_OUTPUT_1080P60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_1080P_60;
            break;
        case VO_OUTPUT_576P50:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_576P_50;
            break;
        case VO_OUTPUT_480P60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_480P_60;
            break;
        case VO_OUTPUT_800x600_60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_VESA_800X600_60;
            break;
        case VO_OUTPUT_1024x768_60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_VESA_1024X768_60;
            break;
        case VO_OUTPUT_1280x1024_60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_VESA_1280X1024_60;
            break;
        case VO_OUTPUT_1366x768_60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_VESA_1366X768_60;
            break;
        case VO_OUTPUT_1440x900_60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_VESA_1440X900_60;
            break;
        case VO_OUTPUT_1280x800_60:
            *penVideoFmt = HI_HDMI_VIDEO_FMT_VESA_1280X800_60;
            break;
        default:
            SAMPLE_PRT("Unkonw VO_INTF_SYNC_E value!\n");
            break;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_HdmiStart(VO_INTF_SYNC_E enIntfSync) {
    HI_HDMI_VIDEO_FMT_E enVideoFmt = HI_HDMI_VIDEO_FMT_1080P_60;
    SAMPLE_COMM_VO_HdmiConvertSync(enIntfSync, &enVideoFmt);
    HI_HDMI_ATTR_S stAttr;
    openTransmitter(&stAttr);
    HI_HDMI_SAMPLE_RATE_E rate = stAttr.enSampleRate;
    HI_U8 down = stAttr.u8DownSampleParm;
    baseAttr(&stAttr, enVideoFmt, true);
    stAttr.enSampleRate = rate;
    stAttr.u8DownSampleParm = down;
    HI_MPI_HDMI_SetAttr(HI_HDMI_ID_0, &stAttr);
    HI_MPI_HDMI_Start(HI_HDMI_ID_0);
    printf("HDMI start success.\n");
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_HdmiStop(HI_VOID) {
    HI_MPI_HDMI_Stop(HI_HDMI_ID_0);
    HI_MPI_HDMI_Close(HI_HDMI_ID_0);
    HI_MPI_HDMI_DeInit();
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_HdmiOnOff(HI_BOOL bOnOff) {
    if (bOnOff) {
        setHdmiOnoff = 1;
        printf("\033[33m<<->Open HDMI/DVI>>\033[0m");
    } else {
        setHdmiOnoff = 0;
        printf("\033[33m<<->Close HDMI/DVI>>\033[0m");
    }
    return HI_SUCCESS;
}

namespace hdmiwatch {

void resetForTest() {
    hdmicn = dispIsHDMI = chk_edid = false;
    setHdmiOnoff = 1;
    setHdmiOnoff_temp = 1;
    cnt_hdmicn = cnt_hdmioff = cnt_hdmi = cnt_dvi = 0;
}

bool sinkKnown() {
    return hdmicn;
}
bool isHdmi() {
    return dispIsHDMI;
}
bool decided() {
    return chk_edid;
}

void configure(SAMPLE_VOAUDIOPARAM* param) {
    HI_HDMI_VIDEO_FMT_E enVideoFmt = HI_HDMI_VIDEO_FMT_1080P_60;
    SAMPLE_COMM_VO_HdmiConvertSync(VO_OUTPUT_1080P60, &enVideoFmt);
    SAMPLE_COMM_VO_HdmiStop();
    HI_HDMI_ATTR_S stAttr;
    openTransmitter(&stAttr);
    baseAttr(&stAttr, enVideoFmt, false);

    if (!hdmicn) {
        stAttr.bEnableVideo = HI_FALSE;
        cnt_hdmicn = cnt_hdmioff = cnt_hdmi = cnt_dvi = 0;
        chk_edid = false;
    } else {
        stAttr.bEnableVideo = HI_TRUE;
    }
    if (dispIsHDMI) {
        AUDIO_SAMPLE_RATE_E rate = param ? param->enSamplerate.load() : AUDIO_SAMPLE_RATE_48000;
        AUDIO_BIT_WIDTH_E width = param ? param->enBitwidth.load() : AUDIO_BIT_WIDTH_16;
        stAttr.bEnableHdmi = HI_TRUE;
        stAttr.bEnableAudio = HI_TRUE;
        stAttr.enSoundIntf = HI_HDMI_SND_INTERFACE_I2S;
        stAttr.enSampleRate = static_cast<HI_HDMI_SAMPLE_RATE_E>(rate);
        stAttr.u8DownSampleParm = 0;
        stAttr.enBitDepth = static_cast<HI_HDMI_BIT_DEPTH_E>((width + 1) * 8);
        stAttr.u8I2SCtlVbit = 0;
        stAttr.bEnableAviInfoFrame = HI_TRUE;
        stAttr.bEnableAudInfoFrame = HI_TRUE;
        printf("pmySample_Vo_Audio_Param->enSamplerate: %d \n", rate);
        printf("pmySample_Vo_Audio_Param->enBitwidth: %d \n", width);
    } else {
        stAttr.bEnableHdmi = HI_FALSE;
        stAttr.enVidOutMode = HI_HDMI_VIDEO_MODE_RGB444;
        stAttr.bEnableAviInfoFrame = HI_FALSE;
        stAttr.bEnableAudInfoFrame = HI_FALSE;
    }
    if (hdmicn) {
        stAttr.bEnableVideo = setHdmiOnoff ? HI_TRUE : HI_FALSE;
        HI_MPI_HDMI_SetAttr(HI_HDMI_ID_0, &stAttr);
        HI_MPI_HDMI_Start(HI_HDMI_ID_0);
        printf("\033[33m<<HDMI/DVI start success.>>\033[0m");
    }
}

void poll(SAMPLE_VOAUDIOPARAM* param) {
    HI_HDMI_SINK_CAPABILITY_S stSinkCap;
    memset(&stSinkCap, 0, sizeof stSinkCap);
    HI_MPI_HDMI_GetSinkCapability(HI_HDMI_ID_0, &stSinkCap);
    bool connected = stSinkCap.bConnected == HI_TRUE;

    // Connect and disconnect need three polls in a row; a contrary poll starts the count again.
    if (!hdmicn) {
        cnt_hdmicn = connected ? cnt_hdmicn + 1 : 0;
        if (cnt_hdmicn >= kPollsToDecide) {
            hdmicn = true;
            printf("\033[33m<<->Cable connect>>\033[0m");
            cnt_hdmicn = 0;
        }
    } else {
        cnt_hdmioff = connected ? 0 : cnt_hdmioff + 1;
        if (cnt_hdmioff >= kPollsToDecide) {
            hdmicn = false;
            printf("\033[33m<<->Cable disconnect>>\033[0m");
            cnt_hdmioff = 0;
            chk_edid = false;
            configure(param);
            return;
        }
    }
    if (hdmicn && !chk_edid) {
        HI_HDMI_EDID_S stEdid;
        memset(&stEdid, 0, sizeof stEdid);
        HI_S32 s32Ret = HI_MPI_HDMI_Force_GetEDID(HI_HDMI_ID_0, &stEdid);
        printf("\033[33m<<->HI_MPI_HDMI_Force_GetEDID=%d--%d--ededvadlid =%dn>>\033[0m\n", s32Ret,
               stEdid.u8Edid[126], stEdid.bEdidValid);
        if (stEdid.u8Edid[126] == 0) {
            cnt_dvi++;
            printf("\033[33m<<->Display is DVI.>>\033[0m");
        } else if (stEdid.u8Edid[126] == 1) {
            cnt_hdmi++;
            printf("\033[33m<<->Display is HDMI.>>\033[0m");
        }
        if (cnt_hdmi >= kPollsToDecide) {
            printf("\033[33m<<->hdmi>>\033[0m");
            cnt_hdmi = cnt_dvi = 0;
            dispIsHDMI = true;
            chk_edid = true;
            configure(param);
            return;
        }
        if (cnt_dvi >= kPollsToDecide) {
            printf("\033[33m<<->dvi>>\033[0m");
            cnt_hdmi = cnt_dvi = 0;
            dispIsHDMI = false;
            chk_edid = true;
            configure(param);
            return;
        }
    }
    if (!hdmicn) chk_edid = false;
    int onOff = setHdmiOnoff;
    if (onOff != setHdmiOnoff_temp) {
        setHdmiOnoff_temp = onOff;
        printf("\033[33m<<->setHDMI_DVI ON off>>\033[0m");
        configure(param);
    }
}

}  // namespace hdmiwatch

int SAMPLE_COMM_VO_HdmiStart_thread(void* prg) {
    SAMPLE_VOAUDIOPARAM* param = static_cast<SAMPLE_VOAUDIOPARAM*>(prg);
    // Nothing may leave the thread: a poll that fails to allocate is dropped, the next one
    // follows 400 ms later.
    try {
        hdmiwatch::configure(param);
    } catch (...) {
    }
    for (;;) {
        usleep(400 * 1000);
        try {
            hdmiwatch::poll(param);
        } catch (...) {
        }
    }
    return 0;
}
