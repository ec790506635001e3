#include <gtest/gtest.h>

#include <cstring>

#include "PlayerTestEnv.h"

using namespace std::chrono_literals;
using playertest::fixture;
using playertest::waitFor;

namespace {

struct Block {
    int chn;
    std::vector<uint8_t> data;
};

std::vector<Block> frame(int noHeader, int channels, const std::vector<uint8_t>& in,
                         std::vector<uint8_t>& scratch) {
    std::vector<Block> out;
    const uint8_t header[4] = {0, 1, static_cast<uint8_t>(in.size() / (channels * 2) % 256), 0};
    frameAudioPacket(noHeader, channels, in.data(), static_cast<int>(in.size()), header, scratch,
                     [&](int chn, const uint8_t* d, int n) {
                         out.push_back({chn, std::vector<uint8_t>(d, d + n)});
                     });
    return out;
}

std::vector<uint8_t> ramp(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; i++) v[i] = static_cast<uint8_t>(i * 7 + 3);
    return v;
}

TEST(AudioFraming, G711GetsTheFrameHeaderInScratchNotInThePacket) {
    std::vector<uint8_t> in = ramp(160), copy = in, scratch;
    auto out = frame(0, 1, in, scratch);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].chn, 0);
    ASSERT_EQ(out[0].data.size(), 164u);
    EXPECT_EQ(std::vector<uint8_t>(out[0].data.begin(), out[0].data.begin() + 4),
              (std::vector<uint8_t>{0, 1, 0x50, 0}));
    EXPECT_TRUE(std::equal(in.begin(), in.end(), out[0].data.begin() + 4));
    EXPECT_EQ(in, copy);
}

TEST(AudioFraming, StereoPcmIsSplitIntoTwoSwappedBlocksOfAnyPacketSize) {
    for (size_t size : {640u, 4096u}) {
        std::vector<uint8_t> in = ramp(size), copy = in, scratch;
        auto out = frame(1, 2, in, scratch);
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(out[0].chn, 0);
        EXPECT_EQ(out[1].chn, 1);
        ASSERT_EQ(out[0].data.size(), size / 2);
        ASSERT_EQ(out[1].data.size(), size / 2);
        for (size_t f = 0; f < size / 4; f++) {
            ASSERT_EQ(out[0].data[2 * f], in[4 * f + 1]) << size << " frame " << f;
            ASSERT_EQ(out[0].data[2 * f + 1], in[4 * f]);
            ASSERT_EQ(out[1].data[2 * f], in[4 * f + 3]) << size << " frame " << f;
            ASSERT_EQ(out[1].data[2 * f + 1], in[4 * f + 2]);
        }
        EXPECT_EQ(in, copy);
    }
}

TEST(AudioFraming, MonoPcmIsSwappedAndOtherFramingsSendNothing) {
    std::vector<uint8_t> in = ramp(320), scratch;
    auto out = frame(1, 1, in, scratch);
    ASSERT_EQ(out.size(), 1u);
    ASSERT_EQ(out[0].data.size(), 320u);
    EXPECT_EQ(out[0].data[0], in[1]);
    EXPECT_EQ(out[0].data[1], in[0]);
    EXPECT_TRUE(frame(-1, 1, in, scratch).empty());
    EXPECT_TRUE(frame(1, 6, in, scratch).empty());
}

// The audio packets of a file after the first packet read (which the feed gate holds back).
std::vector<int> audioPacketsAfterFirst(const std::string& file) {
    std::vector<int> sizes;
    AVFormatContext* ic = nullptr;
    if (avformat_open_input(&ic, file.c_str(), nullptr, nullptr) < 0) return sizes;
    avformat_find_stream_info(ic, nullptr);
    int a = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVPacket* p = av_packet_alloc();
    bool first = true;
    while (av_read_frame(ic, p) >= 0) {
        if (!first && p->stream_index == a) sizes.push_back(p->size);
        first = false;
        av_packet_unref(p);
    }
    av_packet_free(&p);
    avformat_close_input(&ic);
    return sizes;
}

std::vector<std::string> audioSends() {
    std::vector<std::string> out;
    for (const std::string& c : qelsim::calls())
        if (c.rfind("HI_MPI_ADEC_SendStream(", 0) == 0) out.push_back(c);
    return out;
}

struct AudioCase {
    const char* name;
    const char* file;
    PAYLOAD_TYPE_E type;
    int headerBytes;  // added to each block
    int blocksPerPacket;
};

class ReaderAudio : public ::testing::TestWithParam<AudioCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(playertest::startFreshPlayer());
        // Window 0 hidden: no video is fed, so the file is read at once; audio still flows.
        shown = sample_vo_win_s[0].u8DisplayEn;
        sample_vo_win_s[0].u8DisplayEn = 0;
        qelsim::clearCalls();
    }
    void TearDown() override {
        playertest::resetSlots();
        sample_vo_win_s[0].u8DisplayEn = shown;
    }
    HI_U8 shown = 1;
};

TEST_P(ReaderAudio, Window0AudioIsFramedFromThe300thPacketOn) {
    const AudioCase& c = GetParam();
    const std::vector<int> sizes = audioPacketsAfterFirst(fixture(c.file));
    const int packets = static_cast<int>(sizes.size());
    ASSERT_GT(packets, 310);
    const int size = sizes[299];  // the first one sent
    VideoState* is = vsm[0];
    ASSERT_EQ(stream_start(is, fixture(c.file).c_str(), nullptr), 0);
    const size_t expected = static_cast<size_t>(packets - 299) * c.blocksPerPacket;
    EXPECT_TRUE(waitFor([&] { return audioSends().size() >= expected; }, 10s))
        << audioSends().size() << " of " << expected;
    std::this_thread::sleep_for(100ms);
    std::vector<std::string> sends = audioSends();
    EXPECT_EQ(sends.size(), expected);
    qelsim::State st = qelsim::state();
    EXPECT_TRUE(st.adec[0].exists);
    EXPECT_EQ(st.adec[0].type, c.type);
    ASSERT_FALSE(sends.empty());
    std::string first =
        "HI_MPI_ADEC_SendStream(0,len=" + std::to_string(size / c.blocksPerPacket + c.headerBytes) +
        ",";
    EXPECT_EQ(sends[0].rfind(first, 0), 0u) << sends[0];
    EXPECT_EQ(is->iSkipAudioCnt, 0);
    EXPECT_GT(is->audioPts, 0u);
    EXPECT_EQ(stream_stop(is), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReaderAudio,
    ::testing::Values(AudioCase{"G711InNut", "g711.nut", PT_G711U, 4, 1},
                      AudioCase{"StereoS16beInMov", "s16be.mov", PT_LPCM, 0, 2}),
    [](const ::testing::TestParamInfo<AudioCase>& i) { return std::string(i.param.name); });

}  // namespace
