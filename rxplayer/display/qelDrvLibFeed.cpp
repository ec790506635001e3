#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/qelDrvLibState.h"

namespace {

bool validChn(int c) {
    return c >= 0 && c < QEL_VDEC_ARY;
}

int sendVideo(unsigned char* dataI, int sizeI, int iChnNum, HI_U64 pts) {
    if (sizeI == 0) return 1;
    if (dataI == nullptr || sizeI < 0) return 0;
    VDEC_STREAM_S stStream;
    memset(&stStream, 0, sizeof stStream);
    stStream.pu8Addr = dataI;
    stStream.u32Len = (HI_U32)sizeI;
    stStream.u64PTS = pts;
    // A packet the decoder refuses is dropped: the feed goes on with the next one.
    HI_MPI_VDEC_SendStream(iChnNum, &stStream, HI_IO_BLOCK);
    return 0;
}

AUDIO_RESAMPLE_ATTR_S gAoReSmpAttr;

}  // namespace

int qelDrvLib_Decoder(void*, unsigned char*, int*, unsigned char* dataI, int sizeI, int iChnNum) {
    return sendVideo(dataI, sizeI, iChnNum, 0);
}

int qelDrvLib_DecoderPts(void*, unsigned char*, int*, unsigned char* dataI, int sizeI, int iChnNum,
                         HI_U64 pts) {
    return sendVideo(dataI, sizeI, iChnNum, pts);
}

int qelDrvLib_DecType(int c, int decType) {
    if (!validChn(c)) return 0;
    SIZE_S size;
    PAYLOAD_TYPE_E type;
    {
        std::lock_guard<std::mutex> tables(qelTablesMu);
        if (enTypeAry[c] == decType && SizeAryTmp[c].u32Width == SizeAry[c].u32Width &&
            SizeAryTmp[c].u32Height == SizeAry[c].u32Height)
            return 0;
        SizeAryTmp[c] = SizeAry[c];
        enTypeAry[c] = (PAYLOAD_TYPE_E)decType;
        enVdecModeAry[c] = VIDEO_MODE_FRAME;
        size = SizeAry[c];
        type = enTypeAry[c];
    }
    SAMPLE_VDEC_ForceDestroyVdecChn(c);
    printf("SAMPLE_VDEC_CreateVdecChn(%d ): W: %d H: %d \n", c, size.u32Width, size.u32Height);
    SAMPLE_VDEC_CreateVdecChn(c, &size, type, VIDEO_MODE_FRAME);
    return 0;
}

void qelDrv_ReleaseImage(int c) {
    if (!validChn(c)) return;
    SIZE_S size;
    PAYLOAD_TYPE_E type;
    VIDEO_MODE_E mode;
    {
        std::lock_guard<std::mutex> tables(qelTablesMu);
        size = SizeAry[c];
        type = enTypeAry[c];
        mode = enVdecModeAry[c];
    }
    SAMPLE_VDEC_ForceDestroyVdecChn(c);
    SAMPLE_VDEC_CreateVdecChn(c, &size, type, mode);
}

int qelDrvLib_DecAudioType(int ch, int rate, int ptNum, int pt) {
    printf(
        "qelDrvLib_DecAudioType: iAudioDecFrm: %d iSampleAudioPTNumPerFrm: %d  "
        "iEnPayloadType: %d \n",
        rate, ptNum, pt);
    iAudioDecSamplerate = rate;
    mySample_Vo_Audio_Param.enSamplerate = (AUDIO_SAMPLE_RATE_E)rate;
    mySample_Vo_Audio_Param.enBitwidth = AUDIO_BIT_WIDTH_16;

    SAMPLE_ADEC_ForceDestroyAdecChn(ch);
    qelAudioAdecGone(ch);

    AUDIO_DEV AoDev = SAMPLE_AUDIO_AO_DEV;
    AIO_ATTR_S stAioAttr;
    qelAudioOutAttr(&stAioAttr, rate, ptNum, AoDev);

    // The HDMI audio device takes no 8 kHz: such a stream is resampled one to six.
    bool upsample = rate == 8000 && AoDev == 5;
    if (upsample) {
        gAoReSmpAttr.u32InPointNum = 320;
        gAoReSmpAttr.enInSampleRate = AUDIO_SAMPLE_RATE_8000;
        gAoReSmpAttr.enReSampleType = AUDIO_RESAMPLE_1X6;
        gs_pstAoReSmpAttr = &gAoReSmpAttr;
    } else {
        gs_pstAoReSmpAttr = nullptr;
    }

    HI_S32 s32Ret = SAMPLE_COMM_AUDIO_CfgAcodec(&stAioAttr, gs_bMicIn);
    if (s32Ret != HI_SUCCESS) {
        printf("s32Ret=%#x,fuc:%s,line:%d\n", s32Ret, "qelDrvLib_DecAudioType", 529);
        return -1;
    }
    s32Ret = SAMPLE_COMM_AUDIO_StartAdec(0, (PAYLOAD_TYPE_E)pt);
    if (s32Ret != HI_SUCCESS) {
        printf("s32Ret=%#x,fuc:%s,line:%d\n", s32Ret, "qelDrvLib_DecAudioType", 536);
        return -1;
    }
    qelAudioAdecStarted(0);
    HI_MPI_AO_DisableChn(AoDev, 0);
    HI_MPI_AO_DisableChn(AoDev, 1);
    HI_MPI_AO_Disable(AoDev);

    if (upsample) {
        stAioAttr.enSamplerate = AUDIO_SAMPLE_RATE_48000;
        stAioAttr.enBitwidth = AUDIO_BIT_WIDTH_16;
        stAioAttr.u32PtNumPerFrm = (HI_U32)ptNum * 6;
    }
    qelAudioDeviceStarting(AoDev);
    s32Ret = SAMPLE_COMM_AUDIO_StartAo(AoDev, 0, &stAioAttr, gs_pstAoReSmpAttr);
    if (s32Ret != HI_SUCCESS) {
        printf("s32Ret=%#x,fuc:%s,line:%d\n", s32Ret, "qelDrvLib_DecAudioType", 563);
        return -1;
    }
    // The sound follows the device: decode channel 0 leaves the output it was bound to.
    qelAudioFollowDevice(0, AoDev);
    return 0;
}

int zurirDrvLib_Audio_Decoder(void*, unsigned char* data, int size, int iChnNum) {
    // The work area holds no data; it is taken and given back as the box always did, so an
    // exhausted heap shows here first.
    void* work = malloc(10240);
    if (work == nullptr) {
        printf("%s: malloc failed!\n", "zurirDrvLib_Audio_Decoder");
        return 0;
    }
    int rc = 0;
    if (size == 0) {
        rc = 1;
    } else if (data != nullptr && size > 0) {
        AUDIO_STREAM_S stAudioStream;
        memset(&stAudioStream, 0, sizeof stAudioStream);
        stAudioStream.pStream = data;
        stAudioStream.u32Len = (HI_U32)size;
        HI_MPI_ADEC_SendStream(iChnNum, &stAudioStream, HI_TRUE);
    }
    free(work);
    return rc;
}

const char* SAMPLE_AUDIO_Pt2Str(PAYLOAD_TYPE_E enType) {
    switch (enType) {
        case PT_G711A:
            return "g711a";
        case PT_G711U:
            return "g711u";
        case PT_ADPCMA:
            return "adpcm";
        case PT_G726:
            return "g726";
        case PT_LPCM:
            return "pcm";
        default:
            return "data";
    }
}
