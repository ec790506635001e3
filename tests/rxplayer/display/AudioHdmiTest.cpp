#include "DisplayFixture.h"
#include "sample_comm_vo_hdmi.h"

namespace {

AIO_ATTR_S aio(AUDIO_SAMPLE_RATE_E rate, AIO_MODE_E mode) {
    AIO_ATTR_S a;
    memset(&a, 0, sizeof a);
    a.enSamplerate = rate;
    a.enBitwidth = AUDIO_BIT_WIDTH_16;
    a.enWorkmode = mode;
    a.enSoundmode = AUDIO_SOUND_MODE_MONO;
    a.u32FrmNum = 30;
    a.u32PtNumPerFrm = 320;
    a.u32ChnCnt = 2;
    a.u32ClkSel = 1;
    return a;
}

Audio_Ctrl ctrlOf(const qelsim::CodecRequest& r) {
    Audio_Ctrl c;
    memcpy(&c, r.word, sizeof c);
    return c;
}

TEST_F(DisplayTest, CodecRequestSequencesPerSampleRate) {
    const std::vector<unsigned long> tlvOrder = {0x33, 0x24, 0x34, 0x22, 0x21, 0x29, 0x25, 0x26,
                                                 0x27, 0x28, 0x23, 0x16, 0x19, 0x17, 0x20, 0x30,
                                                 0x31, 0x00, 0x01, 0x03, 0x36, 0x37};
    struct Case {
        AUDIO_SAMPLE_RATE_E rate;
        std::vector<std::pair<unsigned long, uint32_t>> tw2865;
        unsigned sample, family441;
    } cases[] = {
        {AUDIO_SAMPLE_RATE_8000,
         {{TW2865_SET_SAMPLE_RATE, 0},
          {TW2865_SET_AUDIO_FORMAT, 0},
          {TW2865_SET_AUDIO_BITWIDTH, 0}},
         10,
         0},
        // The TW2865 has no 22.05 kHz: only its format and width are set.
        {AUDIO_SAMPLE_RATE_22050,
         {{TW2865_SET_AUDIO_FORMAT, 0}, {TW2865_SET_AUDIO_BITWIDTH, 0}},
         2,
         1},
        {AUDIO_SAMPLE_RATE_24000,
         {{TW2865_SET_AUDIO_FORMAT, 0}, {TW2865_SET_AUDIO_BITWIDTH, 0}},
         2,
         0},
        {AUDIO_SAMPLE_RATE_48000,
         {{TW2865_SET_SAMPLE_RATE, 4},
          {TW2865_SET_AUDIO_FORMAT, 0},
          {TW2865_SET_AUDIO_BITWIDTH, 0}},
         0,
         0},
    };
    for (const Case& c : cases) {
        qelsim::reset();
        AIO_ATTR_S a = aio(c.rate, AIO_MODE_I2S_SLAVE);
        ASSERT_EQ(SAMPLE_COMM_AUDIO_CfgAcodec(&a, HI_FALSE), 0) << c.rate;
        std::vector<qelsim::CodecRequest> reqs = qelsim::state().codec;
        ASSERT_EQ(reqs.size(), c.tw2865.size() + tlvOrder.size()) << c.rate;
        for (size_t i = 0; i < c.tw2865.size(); ++i) {
            EXPECT_EQ(reqs[i].device, "/dev/tw2865dev");
            EXPECT_EQ(reqs[i].request, c.tw2865[i].first) << c.rate << " " << i;
            EXPECT_EQ(reqs[i].word[0], c.tw2865[i].second) << c.rate << " " << i;
        }
        for (size_t i = 0; i < tlvOrder.size(); ++i) {
            const qelsim::CodecRequest& r = reqs[c.tw2865.size() + i];
            EXPECT_EQ(r.device, "/dev/tlv320aic31");
            EXPECT_EQ(r.request, tlvOrder[i]) << c.rate << " step " << i;
        }
        Audio_Ctrl atRate = ctrlOf(reqs[c.tw2865.size() + 3]);
        EXPECT_EQ(atRate.sample, c.sample) << c.rate;
        EXPECT_EQ(atRate.if_44100hz_series, c.family441) << c.rate;
        EXPECT_EQ(atRate.ctrl_mode, 1u);  // the codec is master when the chip is I2S slave
        EXPECT_EQ(atRate.trans_mode, 0u);
        Audio_Ctrl last = ctrlOf(reqs.back());
        EXPECT_EQ(last.mic_bias_level, 1u);
        EXPECT_EQ(qelsim::state().fb.opens, 0);
    }
}

TEST_F(DisplayTest, CodecSetUpRefusesUnknownRatesAndModesAndStopsOnKeyFailures) {
    AIO_ATTR_S a = aio(static_cast<AUDIO_SAMPLE_RATE_E>(96000), AIO_MODE_I2S_SLAVE);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_AUDIO_CfgAcodec(&a, HI_FALSE), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("not support enSample:96000"),
              std::string::npos);
    EXPECT_EQ(SAMPLE_Tlv320_CfgAudio(static_cast<AIO_MODE_E>(6), AUDIO_SAMPLE_RATE_8000), -1);

    // PCM standard mode adds the data offset request.
    qelsim::reset();
    ASSERT_EQ(SAMPLE_Tlv320_CfgAudio(AIO_MODE_PCM_SLAVE_STD, AUDIO_SAMPLE_RATE_16000), 0);
    std::vector<qelsim::CodecRequest> reqs = qelsim::state().codec;
    ASSERT_EQ(reqs.size(), 23u);
    EXPECT_EQ(reqs[10].request, 0x35u);
    EXPECT_EQ(ctrlOf(reqs[10]).data_offset, 1u);
    EXPECT_EQ(ctrlOf(reqs[3]).trans_mode, 1u);

    for (const char* failing : {"ioctl:/dev/tlv320aic31:0x34", "ioctl:/dev/tlv320aic31:0x22",
                                "ioctl:/dev/tlv320aic31:0x21", "open:/dev/tlv320aic31"}) {
        qelsim::reset();
        qelsim::failCall(failing, EIO, 1);
        AIO_ATTR_S ok = aio(AUDIO_SAMPLE_RATE_48000, AIO_MODE_I2S_MASTER);
        EXPECT_EQ(SAMPLE_COMM_AUDIO_CfgAcodec(&ok, HI_FALSE), -1) << failing;
    }
    // A failing reset or TW2865 only prints.
    qelsim::reset();
    qelsim::failCall("ioctl:/dev/tlv320aic31:0x33", EIO, 1);
    qelsim::failCall("open:/dev/tw2865dev", EIO);
    AIO_ATTR_S ok = aio(AUDIO_SAMPLE_RATE_48000, AIO_MODE_I2S_SLAVE);
    EXPECT_EQ(SAMPLE_COMM_AUDIO_CfgAcodec(&ok, HI_FALSE), 0);
}

TEST_F(DisplayTest, AudioDecoderTakesOnlyTheKnownPayloads) {
    struct Case {
        PAYLOAD_TYPE_E pt;
        ADEC_MODE_E mode;
        int param;
    } ok[] = {{PT_ADPCMA, ADEC_MODE_STREAM, ADPCM_TYPE_DVI4},
              {PT_G711A, ADEC_MODE_STREAM, 0},
              {PT_G711U, ADEC_MODE_STREAM, 0},
              {PT_G726, ADEC_MODE_STREAM, MEDIA_G726_40K},
              {PT_LPCM, ADEC_MODE_PACK, 0}};
    int chn = 0;
    for (const Case& c : ok) {
        ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAdec(chn, c.pt), 0) << c.pt;
        qelsim::AdecChannel a = qelsim::state().adec[chn];
        EXPECT_TRUE(a.exists && a.type == c.pt && a.mode == c.mode && a.bufSize == 20u);
        EXPECT_EQ(a.typeParam, c.param);
        ++chn;
    }
    EXPECT_EQ(MEDIA_G726_40K, 7);
    for (PAYLOAD_TYPE_E bad : {PT_H264, PT_JPEG, PT_PCMU, static_cast<PAYLOAD_TYPE_E>(22)}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAdec(10, bad), -1);
        EXPECT_NE(testing::internal::GetCapturedStdout().find("invalid aenc payload type"),
                  std::string::npos);
        EXPECT_FALSE(qelsim::state().adec[10].exists);
    }
    // An existing channel: the platform's code comes back.
    EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAdec(0, PT_LPCM), HI_ERR_ADEC_EXIST);
}

TEST_F(DisplayTest, AudioOutputEnablesBothChannelsResamplesAndBinds) {
    AIO_ATTR_S a = aio(AUDIO_SAMPLE_RATE_48000, AIO_MODE_I2S_MASTER);
    a.u32PtNumPerFrm = 1920;
    AUDIO_RESAMPLE_ATTR_S rs{320, AUDIO_SAMPLE_RATE_8000, AUDIO_RESAMPLE_1X6};
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAo(5, 7, &a, &rs), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_StartAdec(0, PT_LPCM), 0);
    ASSERT_EQ(SAMPLE_COMM_AUDIO_AoBindAdec(5, 0, 0), 0);
    qelsim::State st = qelsim::state();
    EXPECT_TRUE(st.ao[5].enabled && st.ao[5].chnEnabled[0] && st.ao[5].chnEnabled[1]);
    EXPECT_TRUE(st.ao[5].resample[0] && st.ao[5].resample[1]);
    EXPECT_EQ(st.ao[5].resampleAttr[1].enReSampleType, AUDIO_RESAMPLE_1X6);
    ASSERT_EQ(st.binds.size(), 1u);
    EXPECT_TRUE(st.binds[0].src.enModId == HI_ID_ADEC && st.binds[0].dst.enModId == HI_ID_AO &&
                st.binds[0].dst.s32DevId == 5);
    // Set-up again without a teardown: the enabled device refuses new attributes.
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_AUDIO_StartAo(5, 0, &a, nullptr), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("HI_MPI_AO_SetPubAttr(5) failed"),
              std::string::npos);
}

class HdmiTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        hdmiwatch::resetForTest();
        param.enSamplerate = AUDIO_SAMPLE_RATE_44100;
        param.enBitwidth = AUDIO_BIT_WIDTH_16;
        hdmiwatch::configure(&param);
    }
    void polls(int n) {
        for (int i = 0; i < n; ++i) hdmiwatch::poll(&param);
    }
    SAMPLE_VOAUDIOPARAM param;
};

TEST_F(HdmiTest, NoSinkAtStartLeavesTheTransmitterStopped) {
    polls(5);
    qelsim::State st = qelsim::state();
    EXPECT_TRUE(st.hdmi.opened);
    EXPECT_FALSE(st.hdmi.started);
    EXPECT_EQ(st.hdmi.initPara.enForceMode, HI_HDMI_FORCE_HDMI);
    EXPECT_FALSE(hdmiwatch::sinkKnown());
}

TEST_F(HdmiTest, SinkCountsOnlyAfterThreePollsInARow) {
    qelsim::setSink(true, 1);
    polls(2);
    qelsim::setSink(false);
    polls(1);
    qelsim::setSink(true, 1);
    polls(2);
    EXPECT_FALSE(hdmiwatch::sinkKnown());
    polls(1);
    EXPECT_TRUE(hdmiwatch::sinkKnown());
    EXPECT_FALSE(qelsim::state().hdmi.started);  // the kind is not decided yet
    polls(2);  // EDID read on the connect poll and the two after it
    EXPECT_TRUE(hdmiwatch::decided());
    EXPECT_TRUE(hdmiwatch::isHdmi());
    qelsim::State st = qelsim::state();
    EXPECT_TRUE(st.hdmi.started);
    EXPECT_TRUE(st.hdmi.attr.bEnableHdmi && st.hdmi.attr.bEnableVideo && st.hdmi.attr.bEnableAudio);
    EXPECT_EQ(st.hdmi.attr.enVideoFmt, HI_HDMI_VIDEO_FMT_1080P_60);
    EXPECT_EQ(st.hdmi.attr.enVidOutMode, HI_HDMI_VIDEO_MODE_YCBCR444);
    EXPECT_EQ(st.hdmi.attr.enSampleRate, 44100u);
    EXPECT_EQ(st.hdmi.attr.enBitDepth, HI_HDMI_BIT_DEPTH_16);

    // Two polls without the sink are a blip; three stop the transmitter.
    qelsim::setSink(false);
    polls(2);
    qelsim::setSink(true, 1);
    polls(1);
    EXPECT_TRUE(qelsim::state().hdmi.started);
    qelsim::setSink(false);
    polls(3);
    EXPECT_FALSE(hdmiwatch::sinkKnown());
    EXPECT_FALSE(qelsim::state().hdmi.started);
}

TEST_F(HdmiTest, DviSinkGetsRgbWithoutAudioAndOtherEdidValuesNeverDecide) {
    qelsim::setSink(true, 2);
    polls(10);
    EXPECT_TRUE(hdmiwatch::sinkKnown());
    EXPECT_FALSE(hdmiwatch::decided());
    EXPECT_FALSE(qelsim::state().hdmi.started);

    qelsim::setSink(true, 0);
    polls(3);
    EXPECT_TRUE(hdmiwatch::decided());
    EXPECT_FALSE(hdmiwatch::isHdmi());
    qelsim::State st = qelsim::state();
    EXPECT_TRUE(st.hdmi.started);
    EXPECT_FALSE(st.hdmi.attr.bEnableHdmi);
    EXPECT_FALSE(st.hdmi.attr.bEnableAudio);
    EXPECT_EQ(st.hdmi.attr.enVidOutMode, HI_HDMI_VIDEO_MODE_RGB444);
    EXPECT_FALSE(st.hdmi.attr.bEnableAviInfoFrame);
}

TEST_F(HdmiTest, SwitchingOffAndOnKeepsTheDecision) {
    qelsim::setSink(true, 1);
    polls(5);
    ASSERT_TRUE(hdmiwatch::isHdmi());
    int starts = qelsim::state().hdmi.starts;
    SAMPLE_COMM_HdmiOnOff(HI_FALSE);
    polls(1);
    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.hdmi.starts, starts + 1);
    EXPECT_FALSE(st.hdmi.attr.bEnableVideo);
    EXPECT_TRUE(st.hdmi.attr.bEnableHdmi);
    SAMPLE_COMM_HdmiOnOff(HI_TRUE);
    polls(1);
    st = qelsim::state();
    EXPECT_TRUE(st.hdmi.attr.bEnableVideo && st.hdmi.attr.bEnableHdmi);
    EXPECT_TRUE(hdmiwatch::isHdmi() && hdmiwatch::decided());
}

TEST_F(DisplayTest, OneShotHdmiStartForcesHdmiWithTheTimingsFormat) {
    EXPECT_EQ(SAMPLE_COMM_VO_HdmiStart(VO_OUTPUT_720P50), 0);
    qelsim::State st = qelsim::state();
    EXPECT_TRUE(st.hdmi.started && st.hdmi.attr.bEnableHdmi && st.hdmi.attr.bEnableVideo);
    EXPECT_EQ(st.hdmi.attr.enVideoFmt, HI_HDMI_VIDEO_FMT_720P_50);
    HI_HDMI_VIDEO_FMT_E fmt = HI_HDMI_VIDEO_FMT_PAL;
    SAMPLE_COMM_VO_HdmiConvertSync(VO_OUTPUT_USER, &fmt);
    EXPECT_EQ(fmt, HI_HDMI_VIDEO_FMT_PAL);  // unknown timings leave it
    SAMPLE_COMM_VO_HdmiConvertSync(VO_OUTPUT_1280x800_60, &fmt);
    EXPECT_EQ(fmt, HI_HDMI_VIDEO_FMT_VESA_1280X800_60);
    EXPECT_EQ(SAMPLE_COMM_VO_HdmiStop(), 0);
    EXPECT_FALSE(qelsim::state().hdmi.inited);
}

}  // namespace
