// Stream start and stop with their time-outs, and the per-stream decoder components.
#include <cstdio>
#include <cstring>

#include "DecodeState.h"
#include "qelCmdutils.h"
#include "qelCpu.h"

int decode_interrupt_cb(void* ctx) {
    return static_cast<VideoState*>(ctx)->abort_request;
}

// Joins the slot's reader; every join clears the handle.
static void joinReader(VideoState* is) {
    if (is->read_tid != nullptr) {
        SDL_WaitThread(is->read_tid, nullptr);
        is->read_tid = nullptr;
    }
}

int stream_start(VideoState* is, const char* filename, const AVInputFormat* iformat) {
    DbgOut("Stream start!\n");
    if (is->thread_read_status != TASK_STATUS_UNINIT) {
        // A reader that has not ended after a stop still owns the record: a second reader on
        // it would share its input and counters.
        if (stream_stop(is) != 0) return -1;
        if (iChannelNum != 18) qelDrv_ReleaseImage(is->hiWin);
    }
    qelCpuForceNoFlags();
    is->abort_request = 0;
    is->iformat = iformat;
    snprintf(is->filename, sizeof is->filename, "%s", filename ? filename : "");
    is->thread_read_status = TASK_STATUS_INIT;
    is->read_tid = SDL_CreateThread(read_thread, is);
    if (is->read_tid == nullptr) {
        DbgOut("read_thread not created!\n");
        return -1;
    }
    is->refresh = 0;
    SDL_Delay(0);

    int open = 0;
    for (int s = 0; s < iChannelNum && s < QEL_SLOT_MAX; s++)
        if (vsm[s] != nullptr && vsm[s]->is_Exist == 1) open++;
    SAMPLE_VIDEO_OPEN_TIMEOUT = open <= 8 ? 300 : open <= 12 ? 1000 : 1200;
    handle_now = 0;

    // The steps are counted on the monotonic clock, so that slow wake-ups do not stretch the
    // limit and a clock change does not cut it.
    int64_t t0 = monotonicMs();
    int steps = 0;
    while (is->thread_read_status == TASK_STATUS_INIT) {
        SDL_Delay(10);
        steps = static_cast<int>((monotonicMs() - t0) / 10);
        if (handle_now) {
            handle_now = 0;
            steps = SAMPLE_VIDEO_OPEN_TIMEOUT;
        }
        if (steps >= SAMPLE_VIDEO_OPEN_TIMEOUT) {
            // The abort ends the reader's open through the interrupt callback; the next stop
            // of the slot joins it.
            is->abort_request = 1;
            DbgOut("open stream timeout!\n");
            return -1;
        }
    }
    if (is->thread_read_status == TASK_STATUS_FAILED) {
        is->thread_read_status = TASK_STATUS_UNINIT;
        DbgOut("open stream Failed!\n");
        if (is->read_tid != nullptr) {
            printf("Wait Thread to quit ");
            fflush(stdout);
            joinReader(is);
        }
        return -1;
    }
    return 0;
}

void clearStreamCounters(VideoState* is) {
    is->FrameCounter = 0;
    is->FrameCounterTemp = 0;
    is->iSyncCurTimeBase = 0;
    is->iSyncCurTime = 0;
    is->iSyncCurTimeSetBase = 0;
    is->iSyncCurTimeSetOffset = 0;
    is->iSyncCurTimeSetOffset2 = 0;
    is->iSyncAdjust = 0;
    is->iDiff = 0;
    is->videoPts = 0;
    is->audioPts = 0;
    is->ptsDiff = 0;
}

int stream_stop(VideoState* is) {
    if (is->thread_read_status == TASK_STATUS_UNINIT) return 0;
    is->abort_request = 1;
    DbgOut("stream stop!\n");
    if (is->read_tid != nullptr) {
        int64_t t0 = monotonicMs();
        for (;;) {
            int st = is->thread_read_status;
            if (st == TASK_STATUS_FAILED || st == TASK_STATUS_ABORT) break;
            SDL_Delay(10);
            // 501 steps of 10 ms.
            if (monotonicMs() - t0 > 5000) {
                DbgOut("stream stop timeout!\n");
                return -1;
            }
        }
        joinReader(is);
        is->thread_read_status = TASK_STATUS_UNINIT;
        if (is->video_tid != nullptr) SDL_WaitThread(is->video_tid, nullptr);
        is->video_tid = nullptr;
        is->thread_video_status = TASK_STATUS_UNINIT;
    }
    if (is->is_1080P == 1) is->is_1080P = 0;
    if (is->is_720P == 1) is->is_720P = 0;
    if (is->is_D1 == 1) is->is_D1 = 0;
    is->is_Exist = 0;
    is->video_width = 0;
    is->video_height = 0;
    clearStreamCounters(is);
    is->iSkipAudioCnt = 0;
    DbgOut("stream_stop: %p is stopped!\n", static_cast<void*>(is));
    return 0;
}

// The wanted layout of an audio stream: its own when it describes its channel count, else the
// default for the count; without the stereo-downmix channels.
static void wantedLayout(const AVCodecParameters* par, AVChannelLayout* out) {
    int n = par->ch_layout.nb_channels;
    if (par->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && n > 0)
        av_channel_layout_copy(out, &par->ch_layout);
    else
        av_channel_layout_default(out, n);
    if (out->order == AV_CHANNEL_ORDER_NATIVE &&
        (out->u.mask & (AV_CH_STEREO_LEFT | AV_CH_STEREO_RIGHT))) {
        uint64_t mask = out->u.mask & ~(AV_CH_STEREO_LEFT | AV_CH_STEREO_RIGHT);
        av_channel_layout_uninit(out);
        if (mask != 0) av_channel_layout_from_mask(out, mask);
    }
}

int stream_component_open(VideoState* is, int stream_index) {
    AVFormatContext* ic = is->ic;
    if (ic == nullptr || stream_index < 0 || stream_index >= static_cast<int>(ic->nb_streams)) {
        DbgOut("Stream Open: stream_index wrong!\n");
        return -1;
    }
    AVStream* st = ic->streams[stream_index];
    const AVCodecParameters* par = st->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    AVDictionary* opts = filter_codec_opts(codec_opts, codec, ic, st);
    DbgOut("start stream_component_open \n");
    DbgOut("start stream_component_open 111 \n");
    DbgOut("start stream_component_open 222 audio_codec_name: %s video_codec_name : %s \n",
           "(null)", "(null)");
    if (codec == nullptr) {
        DbgOut("AAA Stream Open: codec wrong!\n");
        DbgOut("Stream Open: codec wrong!\n");
        av_dict_free(&opts);
        return -1;
    }
    printf("AAA codec->name: %s \n", codec->name);
    printf("AAA codec->type: %d \n", codec->type);
    printf("AAA codec->id: %d \n", codec->id);

    AVCodecContext* avctx = avcodec_alloc_context3(codec);
    if (avctx == nullptr || avcodec_parameters_to_context(avctx, par) < 0) {
        avcodec_free_context(&avctx);
        av_dict_free(&opts);
        DbgOut("Stream Open: codec wrong or avcodec_open2 wrong!\n");
        return -1;
    }
    avctx->pkt_timebase = st->time_base;
    printf("codec->name: %s \n", codec->name);
    printf("codec->type: %d \n", codec->type);
    printf("codec->id: %d \n", codec->id);
    printf("avctx->frame_size: %d \n", avctx->frame_size);
    printf("avctx->sample_rate: %ld \n", static_cast<long>(avctx->sample_rate));

    avctx->workaround_bugs = 1;
    avctx->lowres = 0;
    if (avctx->lowres > codec->max_lowres) {
        av_log(avctx, AV_LOG_WARNING,
               "The maximum value for lowres supported by the decoder is %d\n", codec->max_lowres);
        avctx->lowres = codec->max_lowres;
    }
    avctx->idct_algo = FF_IDCT_AUTO;
    avctx->skip_frame = AVDISCARD_DEFAULT;
    avctx->skip_idct = AVDISCARD_DEFAULT;
    avctx->skip_loop_filter = AVDISCARD_DEFAULT;
    avctx->error_concealment = 3;

    AVChannelLayout layout{};
    if (avctx->codec_type == AVMEDIA_TYPE_AUDIO) {
        wantedLayout(par, &layout);
        if (avctx->sample_rate <= 0 || layout.nb_channels == 0) {
            DbgOut("Invalid sample rate or channel count!\n");
            av_channel_layout_uninit(&layout);
            avcodec_free_context(&avctx);
            av_dict_free(&opts);
            return -1;
        }
    }
    if (avcodec_open2(avctx, codec, &opts) < 0) {
        DbgOut("Stream Open: codec wrong or avcodec_open2 wrong!\n");
        av_channel_layout_uninit(&layout);
        avcodec_free_context(&avctx);
        av_dict_free(&opts);
        return -1;
    }
    const AVDictionaryEntry* t = av_dict_get(opts, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    if (t != nullptr) {
        DbgOut("Stream Open: av_dict_get wrong!\n");
        av_log(nullptr, AV_LOG_ERROR, "Option %s not found.\n", t->key);
        av_channel_layout_uninit(&layout);
        avcodec_free_context(&avctx);
        av_dict_free(&opts);
        return AVERROR_OPTION_NOT_FOUND;
    }
    av_dict_free(&opts);

    if (avctx->codec_type == AVMEDIA_TYPE_AUDIO) {
        is->audio_src_fmt = AV_SAMPLE_FMT_S16;
        is->audio_src_freq = avctx->sample_rate;
        is->audio_src_channels = layout.nb_channels;
    }
    av_channel_layout_uninit(&layout);
    st->discard = AVDISCARD_DEFAULT;
    switch (avctx->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            is->audio_stream = stream_index;
            is->audio_st = st;
            is->audio_avctx = avctx;
            packet_queue_init(&is->audioq);
            break;
        case AVMEDIA_TYPE_VIDEO:
            is->video_stream = stream_index;
            is->video_st = st;
            is->video_avctx = avctx;
            packet_queue_init(&is->videoq);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            is->subtitle_stream = stream_index;
            is->subtitle_st = st;
            is->subtitle_avctx = avctx;
            packet_queue_init(&is->subtitleq);
            is->subtitle_tid = SDL_CreateThread(subtitle_thread, is);
            break;
        default:
            // Only video, audio and subtitle streams are chosen.
            avcodec_free_context(&avctx);
            break;
    }
    return 0;
}

void stream_component_close(VideoState* is, int stream_index) {
    AVFormatContext* ic = is->ic;
    if (ic == nullptr || stream_index < 0 || stream_index >= static_cast<int>(ic->nb_streams))
        return;
    AVStream* st = ic->streams[stream_index];
    switch (st->codecpar->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            packet_queue_abort(&is->audioq);
            packet_queue_end(&is->audioq);
            avcodec_free_context(&is->audio_avctx);
            is->audio_st = nullptr;
            is->audio_stream = -1;
            break;
        case AVMEDIA_TYPE_VIDEO:
            packet_queue_abort(&is->videoq);
            SDL_Delay(0);
            is->video_tid = nullptr;
            is->refresh_tid = nullptr;
            is->thread_video_status = TASK_STATUS_UNINIT;
            packet_queue_end(&is->videoq);
            avcodec_free_context(&is->video_avctx);
            is->video_st = nullptr;
            is->video_stream = -1;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            packet_queue_abort(&is->subtitleq);
            is->subtitle_stream_changed = 1;
            if (is->subtitle_tid != nullptr) SDL_WaitThread(is->subtitle_tid, nullptr);
            is->subtitle_tid = nullptr;
            packet_queue_end(&is->subtitleq);
            avcodec_free_context(&is->subtitle_avctx);
            is->subtitle_st = nullptr;
            is->subtitle_stream = -1;
            break;
        default:
            break;
    }
    st->discard = AVDISCARD_ALL;
}
