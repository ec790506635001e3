// Audio helpers: the two codecs, the audio decoder channel, the audio output device and their
// bind.
#include <fcntl.h>

#include <cstring>

#include "sample_comm.h"

namespace {

const char* const kTw2865Dev = "/dev/tw2865dev";
const char* const kTlv320Dev = "/dev/tlv320aic31";

// Opens the TW2865, issues one request with its value and closes it.
HI_S32 tw2865Request(unsigned long request, void* value, const char* errText) {
    int fd = qelDev_open(kTw2865Dev, O_RDWR);
    if (fd < 0) {
        printf("open %s fail\n", kTw2865Dev);
        return HI_FAILURE;
    }
    if (qelDev_ioctl(fd, request, value) != 0) {
        printf("%s", errText);
        qelDev_close(fd);
        return HI_FAILURE;
    }
    qelDev_close(fd);
    return HI_SUCCESS;
}

}  // namespace

HI_S32 TEST_TW2865_CfgAudio(AUDIO_SAMPLE_RATE_E enSample) {
    int rate;
    switch (enSample) {
        case AUDIO_SAMPLE_RATE_8000:
            rate = 0;
            break;
        case AUDIO_SAMPLE_RATE_16000:
            rate = 1;
            break;
        case AUDIO_SAMPLE_RATE_32000:
            rate = 2;
            break;
        case AUDIO_SAMPLE_RATE_44100:
            rate = 3;
            break;
        case AUDIO_SAMPLE_RATE_48000:
            rate = 4;
            break;
        default:
            printf("func(%s) line(%d): tw2865 not support enSample:%d\n", __FUNCTION__, __LINE__,
                   enSample);
            return HI_FAILURE;
    }
    if (tw2865Request(TW2865_SET_SAMPLE_RATE, &rate, "ioctl TW2865_SET_SAMPLE_RATE err !!! ") !=
        HI_SUCCESS)
        return HI_FAILURE;
    printf("func(%s) line(%d): tw2865 start ok\n", __FUNCTION__, __LINE__);
    return HI_SUCCESS;
}

HI_S32 TEST_TW2865_SetFormat(AIO_MODE_E enWorkMode) {
    unsigned char format;
    if (enWorkMode == AIO_MODE_I2S_MASTER || enWorkMode == AIO_MODE_I2S_SLAVE) {
        format = 0;
    } else if (enWorkMode >= AIO_MODE_PCM_SLAVE_STD && enWorkMode <= AIO_MODE_PCM_MASTER_NSTD) {
        format = 1;
    } else {
        printf("func(%s) line(%d): tw2865 not support workmode %d!\n", __FUNCTION__, __LINE__,
               enWorkMode);
        return HI_FAILURE;
    }
    return tw2865Request(TW2865_SET_AUDIO_FORMAT, &format,
                         "ioctl TW2865_SET_AUDIO_FORMAT err !!! ");
}

HI_S32 TEST_TW2865_SetBitwidth(AUDIO_BIT_WIDTH_E enBitwidth) {
    unsigned char width;
    if (enBitwidth == AUDIO_BIT_WIDTH_16) {
        width = 0;
    } else if (enBitwidth == AUDIO_BIT_WIDTH_8) {
        width = 1;
    } else {
        printf("func(%s) line(%d): tw2865 not support bitwidth %d!\n", __FUNCTION__, __LINE__,
               enBitwidth);
        return HI_FAILURE;
    }
    char errText[128];
    snprintf(errText, sizeof errText, "func(%s) line(%d): ioctl TW2865_SET_AUDIO_BITWIDTH err!\n",
             __FUNCTION__, __LINE__);
    return tw2865Request(TW2865_SET_AUDIO_BITWIDTH, &width, errText);
}

HI_S32 SAMPLE_Tlv320_CfgAudio(AIO_MODE_E enWorkmode, AUDIO_SAMPLE_RATE_E enSample) {
    int rateCode;
    int family441 = 0;
    switch (enSample) {
        case AUDIO_SAMPLE_RATE_8000:
            rateCode = 10;
            break;
        case AUDIO_SAMPLE_RATE_12000:
            rateCode = 6;
            break;
        case AUDIO_SAMPLE_RATE_11025:
            rateCode = 6;
            family441 = 1;
            break;
        case AUDIO_SAMPLE_RATE_16000:
            rateCode = 4;
            break;
        case AUDIO_SAMPLE_RATE_22050:
            rateCode = 2;
            family441 = 1;
            break;
        case AUDIO_SAMPLE_RATE_24000:
            rateCode = 2;
            break;
        case AUDIO_SAMPLE_RATE_32000:
            rateCode = 1;
            break;
        case AUDIO_SAMPLE_RATE_44100:
            rateCode = 0;
            family441 = 1;
            break;
        case AUDIO_SAMPLE_RATE_48000:
            rateCode = 0;
            break;
        default:
            printf("SAMPLE_Tlv320_CfgAudio(), not support enSample:%d\n", enSample);
            return HI_FAILURE;
    }
    int bPCMmode, bMaster;
    switch (enWorkmode) {
        case AIO_MODE_I2S_MASTER:
            bPCMmode = 0;
            bMaster = 0;
            break;
        case AIO_MODE_I2S_SLAVE:
            bPCMmode = 0;
            bMaster = 1;
            break;
        case AIO_MODE_PCM_MASTER_STD:
        case AIO_MODE_PCM_MASTER_NSTD:
            bPCMmode = 1;
            bMaster = 0;
            break;
        case AIO_MODE_PCM_SLAVE_STD:
        case AIO_MODE_PCM_SLAVE_NSTD:
            bPCMmode = 1;
            bMaster = 1;
            break;
        default:
            printf("SAMPLE_Tlv320_CfgAudio(), not support workmode:%d\n\n", enWorkmode);
            return HI_FAILURE;
    }
    int fd = qelDev_open(kTlv320Dev, O_RDWR);
    if (fd < 0) {
        printf("can't open tlv320,%s\n", kTlv320Dev);
        return HI_FAILURE;
    }
#define TLV_ERR(text) printf("[Func]:%s [Line]:%d [Info]:%s\n", __FUNCTION__, __LINE__, text)
    Audio_Ctrl ctrl;
    memset(&ctrl, 0, sizeof ctrl);
    ctrl.chip_num = 0;
    if (qelDev_ioctl(fd, TLV320_SOFT_RESET, &ctrl) != 0) TLV_ERR("tlv320aic31 reset failed");
    ctrl.ctrl_mode = bMaster;
    ctrl.if_44100hz_series = family441;
    qelDev_ioctl(fd, 0x24, &ctrl);
    ctrl.trans_mode = bPCMmode;
    if (qelDev_ioctl(fd, 0x34, &ctrl) != 0) {
        TLV_ERR("set tlv320aic31 trans_mode err");
        qelDev_close(fd);
        return HI_FAILURE;
    }
    ctrl.sample = rateCode;
    if (qelDev_ioctl(fd, 0x22, &ctrl) != 0) {
        TLV_ERR("ioctl err1");
        qelDev_close(fd);
        return HI_FAILURE;
    }
    if (qelDev_ioctl(fd, 0x21, &ctrl) != 0) {
        TLV_ERR("ioctl err2");
        qelDev_close(fd);
        return HI_FAILURE;
    }
    printf("set tlv320aic31 sample 0x%x\n", rateCode);
    ctrl.dac_path = 0;
    ctrl.dac_vlum = 0;
    qelDev_ioctl(fd, 0x29, &ctrl);
    ctrl.if_mute_route = 0;
    ctrl.input_level = 0;
    qelDev_ioctl(fd, 0x25, &ctrl);
    qelDev_ioctl(fd, 0x26, &ctrl);
    ctrl.if_powerup = 1;
    ctrl.dac_path = 1;
    qelDev_ioctl(fd, 0x27, &ctrl);
    qelDev_ioctl(fd, 0x28, &ctrl);
    if (enWorkmode == AIO_MODE_PCM_SLAVE_STD || enWorkmode == AIO_MODE_PCM_MASTER_STD) {
        ctrl.data_offset = 1;
        qelDev_ioctl(fd, 0x35, &ctrl);
    } else if (enWorkmode == AIO_MODE_PCM_SLAVE_NSTD || enWorkmode == AIO_MODE_PCM_MASTER_NSTD) {
        ctrl.data_offset = 0;
        qelDev_ioctl(fd, 0x35, &ctrl);
    }
    ctrl.data_length = 0;
    qelDev_ioctl(fd, 0x23, &ctrl);
    const int volume = 0x100;
    ctrl.if_mute_route = 1;
    ctrl.input_level = volume & 0x7F;
    qelDev_ioctl(fd, 0x16, &ctrl);
    qelDev_ioctl(fd, 0x19, &ctrl);
    ctrl.if_mute_route = 1;
    ctrl.if_powerup = 1;
    ctrl.input_level = 0;
    qelDev_ioctl(fd, 0x17, &ctrl);
    qelDev_ioctl(fd, 0x20, &ctrl);
    ctrl.if_mute_route = 0;
    ctrl.input_level = 0;
    qelDev_ioctl(fd, 0x30, &ctrl);
    qelDev_ioctl(fd, 0x31, &ctrl);
    ctrl.input_level = 0;
    qelDev_ioctl(fd, 0x00, &ctrl);
    qelDev_ioctl(fd, 0x01, &ctrl);
    ctrl.input_level = 0;
    ctrl.if_powerup = 1;
    ctrl.ctrl_mode = 1;
    qelDev_ioctl(fd, 0x03, &ctrl);
    ctrl.input_level = 0;
    ctrl.ctrl_mode = 1;
    qelDev_ioctl(fd, 0x36, &ctrl);
    ctrl.mic_bias_level = 1;
    qelDev_ioctl(fd, 0x37, &ctrl);
#undef TLV_ERR
    qelDev_close(fd);
    printf("Set aic31 ok: bMaster = %d, enWorkmode = %d, enSamplerate = %d\n", bMaster, enWorkmode,
           enSample);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_CfgAcodec(AIO_ATTR_S* pstAioAttr, HI_BOOL bMacIn) {
    (void)bMacIn;
    if (!pstAioAttr) return HI_FAILURE;
    TEST_TW2865_CfgAudio(pstAioAttr->enSamplerate);
    TEST_TW2865_SetFormat(pstAioAttr->enWorkmode);
    TEST_TW2865_SetBitwidth(pstAioAttr->enBitwidth);
    return SAMPLE_Tlv320_CfgAudio(pstAioAttr->enWorkmode, pstAioAttr->enSamplerate);
}

HI_S32 SAMPLE_COMM_AUDIO_StartAdec(ADEC_CHN AdChn, PAYLOAD_TYPE_E enType) {
    ADEC_CHN_ATTR_S stAdecAttr;
    ADEC_ATTR_ADPCM_S stAdpcm;
    ADEC_ATTR_G711_S stAdecG711;
    ADEC_ATTR_G726_S stAdecG726;
    ADEC_ATTR_LPCM_S stAdecLpcm;
    memset(&stAdecAttr, 0, sizeof stAdecAttr);
    stAdecAttr.enType = enType;
    stAdecAttr.u32BufSize = 20;
    stAdecAttr.enMode = ADEC_MODE_STREAM;
    if (enType == PT_ADPCMA) {
        stAdecAttr.pValue = &stAdpcm;
        stAdpcm.enADPCMType = ADPCM_TYPE_DVI4;
    } else if (enType == PT_G711A || enType == PT_G711U) {
        stAdecAttr.pValue = &stAdecG711;
        stAdecG711.resv = 0;
    } else if (enType == PT_G726) {
        stAdecAttr.pValue = &stAdecG726;
        stAdecG726.enG726bps = MEDIA_G726_40K;
    } else if (enType == PT_LPCM) {
        stAdecAttr.pValue = &stAdecLpcm;
        stAdecLpcm.resv = 0;
        stAdecAttr.enMode = ADEC_MODE_PACK;
    } else {
        printf("%s: invalid aenc payload type:%d\n", __FUNCTION__, enType);
        return HI_FAILURE;
    }
    HI_S32 s32Ret = HI_MPI_ADEC_CreateChn(AdChn, &stAdecAttr);
    if (s32Ret != HI_SUCCESS) {
        printf("%s: HI_MPI_ADEC_CreateChn(%d) failed with %#x!\n", __FUNCTION__, AdChn, s32Ret);
        return s32Ret;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_StartAo(AUDIO_DEV AoDevId, AO_CHN AoChn, AIO_ATTR_S* pstAioAttr,
                                 AUDIO_RESAMPLE_ATTR_S* pstAoReSmpAttr) {
    (void)AoChn;
    printf("\033[33m<<SAMPLE_COMM_AUDIO_StartAo>>\033[0m");
    HI_S32 s32Ret = HI_MPI_AO_SetPubAttr(AoDevId, pstAioAttr);
    if (s32Ret != HI_SUCCESS) {
        printf("%s: HI_MPI_AO_SetPubAttr(%d) failed with %#x!\n", __FUNCTION__, AoDevId, s32Ret);
        return HI_FAILURE;
    }
    s32Ret = HI_MPI_AO_Enable(AoDevId);
    if (s32Ret != HI_SUCCESS) {
        printf("%s: HI_MPI_AO_Enable(%d) failed with %#x!\n", __FUNCTION__, AoDevId, s32Ret);
        return HI_FAILURE;
    }
    for (AO_CHN chn = 0; chn < 2; ++chn) {
        s32Ret = HI_MPI_AO_EnableChn(AoDevId, chn);
        if (s32Ret != HI_SUCCESS) {
            printf("%s: HI_MPI_AO_EnableChn(%d) failed with %#x!\n", __FUNCTION__, chn, s32Ret);
            return HI_FAILURE;
        }
        if (pstAoReSmpAttr) {
            HI_MPI_AO_DisableReSmp(AoDevId, chn);
            s32Ret = HI_MPI_AO_EnableReSmp(AoDevId, chn, pstAoReSmpAttr);
            if (s32Ret != HI_SUCCESS) {
                printf("%s: HI_MPI_AO_EnableReSmp(%d,%d) failed with %#x!\n", __FUNCTION__, AoDevId,
                       chn, s32Ret);
                return HI_FAILURE;
            }
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_AUDIO_AoBindAdec(AUDIO_DEV AoDev, AO_CHN AoChn, ADEC_CHN AdChn) {
    MPP_CHN_S stSrcChn = {HI_ID_ADEC, 0, AdChn};
    MPP_CHN_S stDestChn = {HI_ID_AO, AoDev, AoChn};
    return HI_MPI_SYS_Bind(&stSrcChn, &stDestChn);
}
