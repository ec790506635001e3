#include <gtest/gtest.h>

#include <string>

extern "C" {
#include <libavutil/cpu.h>
}

#include "PlayerTestEnv.h"
#include "qelCmdutils.h"
#include "qelCpu.h"

namespace {

std::string lastLog;
void captureLog(void*, int level, const char* fmt, va_list vl) {
    if (level > AV_LOG_ERROR) return;
    char buf[512];
    vsnprintf(buf, sizeof buf, fmt, vl);
    lastLog += buf;
}

// An input with streams of the given types (as a demuxer would make), no file behind it.
struct FakeInput {
    explicit FakeInput(std::initializer_list<AVMediaType> types) {
        ic = avformat_alloc_context();
        for (AVMediaType t : types) {
            AVStream* st = avformat_new_stream(ic, nullptr);
            st->codecpar->codec_type = t;
            st->codecpar->codec_id =
                t == AVMEDIA_TYPE_VIDEO ? AV_CODEC_ID_H264 : AV_CODEC_ID_PCM_MULAW;
        }
    }
    ~FakeInput() { avformat_free_context(ic); }
    AVFormatContext* ic;
};

TEST(Cmdutils, StreamInfoOptionsAreOneEmptyDictionaryPerStream) {
    FakeInput in({AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_VIDEO});
    AVDictionary** opts = setup_find_stream_info_opts(in.ic, codec_opts);
    ASSERT_NE(opts, nullptr);
    for (int i = 0; i < 3; i++) EXPECT_EQ(opts[i], nullptr);
    free_stream_info_opts(opts, 3);

    FakeInput none({});
    EXPECT_EQ(setup_find_stream_info_opts(none.ic, codec_opts), nullptr);
}

TEST(Cmdutils, StreamSpecifiers) {
    FakeInput in({AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_VIDEO});
    struct Case {
        const char* spec;
        int expected[3];
    } cases[] = {
        {"v:1", {0, 0, 1}}, {"v", {1, 0, 1}}, {"a:0", {0, 1, 0}}, {"2", {0, 0, 1}},
        {"0x1", {0, 1, 0}}, {"", {1, 1, 1}},  {"s", {0, 0, 0}},   {"p:5", {0, 0, 0}},
    };
    for (const Case& c : cases)
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(check_stream_specifier(in.ic, in.ic->streams[i], c.spec), c.expected[i])
                << "spec '" << c.spec << "' stream " << i;

    lastLog.clear();
    av_log_set_callback(captureLog);
    EXPECT_EQ(check_stream_specifier(in.ic, in.ic->streams[0], "x"), -22);
    av_log_set_callback(av_log_default_callback);
    EXPECT_EQ(lastLog, "Invalid stream specifier: x.\n");
}

TEST(Cmdutils, CodecOptionsAreFilteredByStreamAndType) {
    FakeInput in({AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO});
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "threads", "2", 0);       // generic codec option: every stream
    av_dict_set(&opts, "vflags", "+gray", 0);    // 'v' prefix: video only, shortened
    av_dict_set(&opts, "ar:a", "8000", 0);       // audio streams only
    av_dict_set(&opts, "nosuchoption", "1", 0);  // dropped
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    const AVCodec* mulaw = avcodec_find_decoder(AV_CODEC_ID_PCM_MULAW);
    AVDictionary* v = filter_codec_opts(opts, h264, in.ic, in.ic->streams[0]);
    AVDictionary* a = filter_codec_opts(opts, mulaw, in.ic, in.ic->streams[1]);
    EXPECT_EQ(av_dict_count(v), 2);
    EXPECT_NE(av_dict_get(v, "flags", nullptr, 0), nullptr);
    EXPECT_EQ(av_dict_get(v, "ar", nullptr, 0), nullptr);
    EXPECT_EQ(av_dict_count(a), 2);
    EXPECT_NE(av_dict_get(a, "ar", nullptr, 0), nullptr);
    // The stream specifier is put back after the filter.
    EXPECT_NE(av_dict_get(opts, "ar:a", nullptr, 0), nullptr);
    EXPECT_EQ(filter_codec_opts(opts, nullptr, in.ic, in.ic->streams[0]), nullptr);
    av_dict_free(&v);
    av_dict_free(&a);
    av_dict_free(&opts);
}

TEST(Cmdutils, PrintErrorLogsTheFileAndTheText) {
    lastLog.clear();
    av_log_set_callback(captureLog);
    print_error("rtsp://x/main", AVERROR(ECONNREFUSED));
    av_log_set_callback(av_log_default_callback);
    EXPECT_EQ(lastLog, "rtsp://x/main: Connection refused\n");
}

TEST(Cpu, LibrariesRunWithoutCpuFlagsOnceThePlayerStarts) {
    ASSERT_TRUE(playertest::startFreshPlayer());
    EXPECT_EQ(av_get_cpu_flags(), 0);
    init_opts();
    EXPECT_NE(sws_opts, nullptr);
}

}  // namespace
