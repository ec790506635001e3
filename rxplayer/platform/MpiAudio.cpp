// Audio output devices, audio decoder channels and the HDMI transmitter.
#include <cstring>

#include "SimInternal.h"

using namespace qelsim;
using namespace qelsim::detail;

namespace {

bool badAoDev(AUDIO_DEV d) {
    return d < 0 || d >= AO_DEV_MAX_NUM;
}
bool badAdec(ADEC_CHN c) {
    return c < 0 || c >= ADEC_MAX_CHN_NUM;
}

bool validRate(int r) {
    switch (r) {
        case 8000:
        case 11025:
        case 12000:
        case 16000:
        case 22050:
        case 24000:
        case 32000:
        case 44100:
        case 48000:
            return true;
        default:
            return false;
    }
}

}  // namespace

HI_S32 HI_MPI_AO_SetPubAttr(AUDIO_DEV AudioDevId, const AIO_ATTR_S* pstAttr) {
    QELSIM_ENTER("%d,rate=%d,width=%d,mode=%d,pts=%u,chns=%u", AudioDevId,
                 pstAttr ? static_cast<int>(pstAttr->enSamplerate) : 0,
                 pstAttr ? static_cast<int>(pstAttr->enBitwidth) : 0,
                 pstAttr ? static_cast<int>(pstAttr->enWorkmode) : 0,
                 pstAttr ? pstAttr->u32PtNumPerFrm : 0u, pstAttr ? pstAttr->u32ChnCnt : 0u);
    if (badAoDev(AudioDevId)) return HI_ERR_AO_INVALID_DEVID;
    if (!pstAttr) return HI_ERR_AO_NULL_PTR;
    AoDevice& d = s.st.ao[AudioDevId];
    if (d.enabled) return HI_ERR_AO_NOT_PERM;
    const AIO_ATTR_S& a = *pstAttr;
    if (!validRate(a.enSamplerate) || a.enBitwidth >= AUDIO_BIT_WIDTH_BUTT ||
        a.enWorkmode >= AIO_MODE_BUTT || a.enSoundmode >= AUDIO_SOUND_MODE_BUTT ||
        a.u32FrmNum < 2 || a.u32FrmNum > MAX_AUDIO_FRAME_NUM || a.u32PtNumPerFrm < 80 ||
        a.u32PtNumPerFrm > MAX_AUDIO_POINT_NUM || a.u32ChnCnt < 1 ||
        a.u32ChnCnt > AIO_MAX_CHN_NUM || a.u32ClkSel > 1)
        return HI_ERR_AO_ILLEGAL_PARAM;
    d.attr = a;
    d.attrSet = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_GetPubAttr(AUDIO_DEV AudioDevId, AIO_ATTR_S* pstAttr) {
    QELSIM_ENTER("%d", AudioDevId);
    if (badAoDev(AudioDevId)) return HI_ERR_AO_INVALID_DEVID;
    if (!pstAttr) return HI_ERR_AO_NULL_PTR;
    if (!s.st.ao[AudioDevId].attrSet) return HI_ERR_AO_NOT_CONFIG;
    *pstAttr = s.st.ao[AudioDevId].attr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_Enable(AUDIO_DEV AudioDevId) {
    QELSIM_ENTER("%d", AudioDevId);
    if (badAoDev(AudioDevId)) return HI_ERR_AO_INVALID_DEVID;
    if (!s.st.ao[AudioDevId].attrSet) return HI_ERR_AO_NOT_CONFIG;
    s.st.ao[AudioDevId].enabled = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_Disable(AUDIO_DEV AudioDevId) {
    QELSIM_ENTER("%d", AudioDevId);
    if (badAoDev(AudioDevId)) return HI_ERR_AO_INVALID_DEVID;
    AoDevice& d = s.st.ao[AudioDevId];
    for (bool on : d.chnEnabled)
        if (on) return HI_ERR_AO_NOT_PERM;
    d.enabled = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_EnableChn(AUDIO_DEV AudioDevId, AO_CHN AoChn) {
    QELSIM_ENTER("%d,%d", AudioDevId, AoChn);
    if (badAoDev(AudioDevId)) return HI_ERR_AO_INVALID_DEVID;
    AoDevice& d = s.st.ao[AudioDevId];
    if (AoChn < 0 || AoChn >= AIO_MAX_CHN_NUM ||
        (d.attrSet && AoChn >= static_cast<int>(d.attr.u32ChnCnt)))
        return HI_ERR_AO_INVALID_CHNID;
    if (!d.enabled) return HI_ERR_AO_NOT_PERM;
    d.chnEnabled[AoChn] = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_DisableChn(AUDIO_DEV AudioDevId, AO_CHN AoChn) {
    QELSIM_ENTER("%d,%d", AudioDevId, AoChn);
    if (badAoDev(AudioDevId)) return HI_ERR_AO_INVALID_DEVID;
    if (AoChn < 0 || AoChn >= AIO_MAX_CHN_NUM) return HI_ERR_AO_INVALID_CHNID;
    AoDevice& d = s.st.ao[AudioDevId];
    d.chnEnabled[AoChn] = false;
    d.resample[AoChn] = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_EnableReSmp(AUDIO_DEV AudioDevId, AO_CHN AoChn,
                             const AUDIO_RESAMPLE_ATTR_S* pstAttr) {
    QELSIM_ENTER("%d,%d,in=%u,rate=%d,type=%d", AudioDevId, AoChn,
                 pstAttr ? pstAttr->u32InPointNum : 0u,
                 pstAttr ? static_cast<int>(pstAttr->enInSampleRate) : 0,
                 pstAttr ? static_cast<int>(pstAttr->enReSampleType) : 0);
    if (badAoDev(AudioDevId)) return HI_ERR_AO_INVALID_DEVID;
    if (AoChn < 0 || AoChn >= AIO_MAX_CHN_NUM) return HI_ERR_AO_INVALID_CHNID;
    if (!pstAttr) return HI_ERR_AO_NULL_PTR;
    AoDevice& d = s.st.ao[AudioDevId];
    if (!d.chnEnabled[AoChn] || d.resample[AoChn]) return HI_ERR_AO_NOT_PERM;
    if (pstAttr->enReSampleType < AUDIO_RESAMPLE_1X2 ||
        pstAttr->enReSampleType >= AUDIO_RESAMPLE_BUTT || !validRate(pstAttr->enInSampleRate) ||
        pstAttr->u32InPointNum == 0 || pstAttr->u32InPointNum > MAX_AUDIO_POINT_NUM)
        return HI_ERR_AO_ILLEGAL_PARAM;
    d.resample[AoChn] = true;
    d.resampleAttr[AoChn] = *pstAttr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_AO_DisableReSmp(AUDIO_DEV AudioDevId, AO_CHN AoChn) {
    QELSIM_ENTER("%d,%d", AudioDevId, AoChn);
    if (badAoDev(AudioDevId)) return HI_ERR_AO_INVALID_DEVID;
    if (AoChn < 0 || AoChn >= AIO_MAX_CHN_NUM) return HI_ERR_AO_INVALID_CHNID;
    s.st.ao[AudioDevId].resample[AoChn] = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_ADEC_CreateChn(ADEC_CHN AdChn, const ADEC_CHN_ATTR_S* pstAttr) {
    QELSIM_ENTER(
        "%d,type=%d,buf=%u,mode=%d", AdChn, pstAttr ? static_cast<int>(pstAttr->enType) : -1,
        pstAttr ? pstAttr->u32BufSize : 0u, pstAttr ? static_cast<int>(pstAttr->enMode) : -1);
    if (badAdec(AdChn)) return HI_ERR_ADEC_INVALID_CHNID;
    if (!pstAttr || !pstAttr->pValue) return HI_ERR_ADEC_NULL_PTR;
    AdecChannel& c = s.st.adec[AdChn];
    if (c.exists) return HI_ERR_ADEC_EXIST;
    int typeParam = 0;
    switch (pstAttr->enType) {
        case PT_G711A:
        case PT_G711U:
        case PT_LPCM:
            break;
        case PT_G726: {
            G726_BPS_E bps = static_cast<const ADEC_ATTR_G726_S*>(pstAttr->pValue)->enG726bps;
            if (bps >= G726_BUTT) return HI_ERR_ADEC_ILLEGAL_PARAM;
            typeParam = bps;
            break;
        }
        case PT_ADPCMA: {
            ADPCM_TYPE_E t = static_cast<const ADEC_ATTR_ADPCM_S*>(pstAttr->pValue)->enADPCMType;
            if (t >= ADPCM_TYPE_BUTT) return HI_ERR_ADEC_ILLEGAL_PARAM;
            typeParam = t;
            break;
        }
        default:
            return HI_ERR_ADEC_NOT_SUPPORT;
    }
    if (pstAttr->u32BufSize < 2 || pstAttr->u32BufSize > MAX_AUDIO_FRAME_NUM ||
        pstAttr->enMode >= ADEC_MODE_BUTT)
        return HI_ERR_ADEC_ILLEGAL_PARAM;
    c = AdecChannel{};
    c.exists = true;
    c.type = pstAttr->enType;
    c.bufSize = pstAttr->u32BufSize;
    c.mode = pstAttr->enMode;
    c.typeParam = typeParam;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_ADEC_DestroyChn(ADEC_CHN AdChn) {
    QELSIM_ENTER("%d", AdChn);
    if (badAdec(AdChn)) return HI_ERR_ADEC_INVALID_CHNID;
    if (!s.st.adec[AdChn].exists) return HI_ERR_ADEC_UNEXIST;
    s.st.adec[AdChn] = AdecChannel{};
    return HI_SUCCESS;
}

HI_S32 HI_MPI_ADEC_SendStream(ADEC_CHN AdChn, const AUDIO_STREAM_S* pstStream, HI_BOOL bBlock) {
    QELSIM_ENTER("%d,len=%u,%d", AdChn, pstStream ? pstStream->u32Len : 0u,
                 static_cast<int>(bBlock));
    if (badAdec(AdChn)) return HI_ERR_ADEC_INVALID_CHNID;
    if (!pstStream || (pstStream->u32Len > 0 && !pstStream->pStream)) return HI_ERR_ADEC_NULL_PTR;
    AdecChannel& c = s.st.adec[AdChn];
    if (!c.exists) return HI_ERR_ADEC_UNEXIST;
    if (pstStream->u32Len == 0 || pstStream->u32Len > MAX_AUDIO_STREAM_LEN)
        return HI_ERR_ADEC_ILLEGAL_PARAM;
    volatile uint8_t first = pstStream->pStream[0];
    volatile uint8_t last = pstStream->pStream[pstStream->u32Len - 1];
    (void)first;
    (void)last;
    c.streams++;
    c.bytes += pstStream->u32Len;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_ADEC_ClearChnBuf(ADEC_CHN AdChn) {
    QELSIM_ENTER("%d", AdChn);
    if (badAdec(AdChn)) return HI_ERR_ADEC_INVALID_CHNID;
    if (!s.st.adec[AdChn].exists) return HI_ERR_ADEC_UNEXIST;
    s.st.adec[AdChn].clears++;
    return HI_SUCCESS;
}

// ---- HDMI ----

HI_S32 HI_MPI_HDMI_Init(const HI_HDMI_INIT_PARA_S* pstHdmiPara) {
    QELSIM_ENTER("force=%d", pstHdmiPara ? static_cast<int>(pstHdmiPara->enForceMode) : -1);
    if (!pstHdmiPara) return HI_ERR_HDMI_NULL_PTR;
    if (pstHdmiPara->enForceMode > HI_HDMI_FORCE_DVI) return HI_ERR_HDMI_INVALID_PARA;
    s.st.hdmi.inited = true;
    s.st.hdmi.initPara = *pstHdmiPara;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_DeInit(HI_VOID) {
    QELSIM_ENTER("%s", "");
    Hdmi& h = s.st.hdmi;
    if (!h.inited) return HI_ERR_HDMI_NOT_INIT;
    h.inited = false;
    h.opened = false;
    h.started = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_Open(HI_HDMI_ID_E enHdmi) {
    QELSIM_ENTER("%d", static_cast<int>(enHdmi));
    if (enHdmi != HI_HDMI_ID_0) return HI_ERR_HDMI_INVALID_PARA;
    if (!s.st.hdmi.inited) return HI_ERR_HDMI_NOT_INIT;
    s.st.hdmi.opened = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_Close(HI_HDMI_ID_E enHdmi) {
    QELSIM_ENTER("%d", static_cast<int>(enHdmi));
    if (enHdmi != HI_HDMI_ID_0) return HI_ERR_HDMI_INVALID_PARA;
    if (!s.st.hdmi.opened) return HI_ERR_HDMI_DEV_NOT_OPEN;
    s.st.hdmi.opened = false;
    s.st.hdmi.started = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_GetAttr(HI_HDMI_ID_E enHdmi, HI_HDMI_ATTR_S* pstAttr) {
    QELSIM_ENTER("%d", static_cast<int>(enHdmi));
    if (enHdmi != HI_HDMI_ID_0) return HI_ERR_HDMI_INVALID_PARA;
    if (!pstAttr) return HI_ERR_HDMI_NULL_PTR;
    if (!s.st.hdmi.opened) return HI_ERR_HDMI_DEV_NOT_OPEN;
    *pstAttr = s.st.hdmi.attr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_SetAttr(HI_HDMI_ID_E enHdmi, const HI_HDMI_ATTR_S* pstAttr) {
    QELSIM_ENTER("%d,hdmi=%d,video=%d,fmt=%d,audio=%d", static_cast<int>(enHdmi),
                 pstAttr ? static_cast<int>(pstAttr->bEnableHdmi) : -1,
                 pstAttr ? static_cast<int>(pstAttr->bEnableVideo) : -1,
                 pstAttr ? static_cast<int>(pstAttr->enVideoFmt) : -1,
                 pstAttr ? static_cast<int>(pstAttr->bEnableAudio) : -1);
    if (enHdmi != HI_HDMI_ID_0) return HI_ERR_HDMI_INVALID_PARA;
    if (!pstAttr) return HI_ERR_HDMI_NULL_PTR;
    if (!s.st.hdmi.opened) return HI_ERR_HDMI_DEV_NOT_OPEN;
    if (pstAttr->enVideoFmt >= HI_HDMI_VIDEO_FMT_BUTT ||
        pstAttr->enVidOutMode >= HI_HDMI_VIDEO_MODE_BUTT)
        return HI_ERR_HDMI_INVALID_PARA;
    s.st.hdmi.attr = *pstAttr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_Start(HI_HDMI_ID_E enHdmi) {
    QELSIM_ENTER("%d", static_cast<int>(enHdmi));
    if (enHdmi != HI_HDMI_ID_0) return HI_ERR_HDMI_INVALID_PARA;
    if (!s.st.hdmi.opened) return HI_ERR_HDMI_DEV_NOT_OPEN;
    s.st.hdmi.started = true;
    s.st.hdmi.starts++;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_Stop(HI_HDMI_ID_E enHdmi) {
    QELSIM_ENTER("%d", static_cast<int>(enHdmi));
    if (enHdmi != HI_HDMI_ID_0) return HI_ERR_HDMI_INVALID_PARA;
    if (!s.st.hdmi.opened) return HI_ERR_HDMI_DEV_NOT_OPEN;
    if (s.st.hdmi.started) s.st.hdmi.stops++;
    s.st.hdmi.started = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_GetSinkCapability(HI_HDMI_ID_E enHdmi, HI_HDMI_SINK_CAPABILITY_S* pstSinkCap) {
    QELSIM_ENTER("%d", static_cast<int>(enHdmi));
    if (enHdmi != HI_HDMI_ID_0) return HI_ERR_HDMI_INVALID_PARA;
    if (!pstSinkCap) return HI_ERR_HDMI_NULL_PTR;
    if (!s.st.hdmi.opened) return HI_ERR_HDMI_DEV_NOT_OPEN;
    *pstSinkCap = HI_HDMI_SINK_CAPABILITY_S{};
    const Hdmi& h = s.st.hdmi;
    pstSinkCap->bConnected = h.sinkConnected ? HI_TRUE : HI_FALSE;
    pstSinkCap->bSupportHdmi = (h.sinkConnected && h.edid126 >= 1) ? HI_TRUE : HI_FALSE;
    pstSinkCap->bIsSinkPowerOn = pstSinkCap->bConnected;
    pstSinkCap->bIsRealEDID = (h.sinkConnected && h.edidValid) ? HI_TRUE : HI_FALSE;
    pstSinkCap->enNativeVideoFormat = HI_HDMI_VIDEO_FMT_1080P_60;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_Force_GetEDID(HI_HDMI_ID_E enHdmi, HI_HDMI_EDID_S* pstEdidData) {
    QELSIM_ENTER("%d", static_cast<int>(enHdmi));
    if (enHdmi != HI_HDMI_ID_0) return HI_ERR_HDMI_INVALID_PARA;
    if (!pstEdidData) return HI_ERR_HDMI_NULL_PTR;
    if (!s.st.hdmi.opened) return HI_ERR_HDMI_DEV_NOT_OPEN;
    memset(pstEdidData, 0, sizeof *pstEdidData);
    const Hdmi& h = s.st.hdmi;
    if (!h.sinkConnected) return HI_SUCCESS;  // nothing answers on the DDC lines
    static const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    memcpy(pstEdidData->u8Edid, header, sizeof header);
    pstEdidData->u8Edid[126] = h.edid126;  // count of extension blocks
    pstEdidData->bEdidValid = h.edidValid ? HI_TRUE : HI_FALSE;
    uint32_t blocks = 1u + (h.edid126 >= 1 ? 1u : 0u);
    pstEdidData->u32Edidlength = 128u * blocks;
    return HI_SUCCESS;
}
