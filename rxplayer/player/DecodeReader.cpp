// The reader thread of a playing slot: opens and probes the stream, takes the window over and
// passes video (and window 0's audio) straight to the hardware decoders.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "DecodeState.h"
#include "hi_platform.h"
#include "qelCmdutils.h"

namespace {

void stampAndPrint(VideoState* is, const char* format) {
    is->tv_test = monotonicNow();
    printf(format, static_cast<int>(is->tv_test.tv_sec), static_cast<int>(is->tv_test.tv_usec));
}

// Picture width of the input's first video stream; 0 when it has none.
int firstVideoWidth(const AVFormatContext* ic) {
    for (unsigned int i = 0; i < ic->nb_streams; i++)
        if (ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            return ic->streams[i]->codecpar->width;
    return 0;
}

// The packet's time stamp in milliseconds (pts, else dts); false when it has none.
bool packetMs(const AVPacket* pkt, const AVStream* st, int64_t* ms) {
    int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (ts == AV_NOPTS_VALUE) return false;
    *ms = av_rescale_q(ts, st->time_base, AVRational{1, 1000});
    return true;
}

void sendAudioBlock(int chn, const uint8_t* data, int size) {
    zurirDrvLib_Audio_Decoder(nullptr, const_cast<uint8_t*>(data), size, chn);
}

// First audio packet of window 0's active slot: payload type, frame size and frame header.
void configureAudio(VideoState* is, const AVPacket* pkt) {
    const AVCodecParameters* par = is->audio_st->codecpar;
    const char* name =
        is->audio_avctx && is->audio_avctx->codec ? is->audio_avctx->codec->name : "";
    int rate = par->sample_rate;
    int channels = par->ch_layout.nb_channels;
    printf("is->ic->streams[st_index[AVMEDIA_TYPE_AUDIO]]->codec->sample_rate: %d \n", rate);
    printf("is->ic->streams[st_index[AVMEDIA_TYPE_AUDIO]]->codec->codec->name: %s \n", name);
    printf("is->ic->streams[st_index[AVMEDIA_TYPE_AUDIO]]->codec->channels: %d \n", channels);
    int payload = -1;
    int frameSize = 0;
    if (strstr(name, "pcm_mulaw") && rate == 8000) {
        payload = ZURIR_PT_G711U;
        is->audioNoHeader = 0;
        frameSize = pkt->size;
    } else if (strstr(name, "pcm_alaw") && rate == 8000) {
        payload = ZURIR_PT_G711A;
        is->audioNoHeader = 0;
        frameSize = pkt->size;
    }
    if (channels == 1 || channels == 2) {
        int bytesPerFrame = channels * 2;
        if (strstr(name, "pcm_s16be")) {
            payload = ZURIR_PT_LPCM;
            is->audioNoHeader = 1;
            frameSize = pkt->size / bytesPerFrame;
        }
        pktAudioHeader[0] = 0;
        pktAudioHeader[1] = 1;
        pktAudioHeader[2] = static_cast<uint8_t>((pkt->size / bytesPerFrame) % 256);
        pktAudioHeader[3] = 0;
    }
    if (payload != -1) {
        const uint8_t* d = pkt->data;
        printf("pkt->size:%ld   Data: %02x  %02x  %02x  %02x ", static_cast<long>(pkt->size),
               pkt->size > 0 ? d[0] : 0, pkt->size > 1 ? d[1] : 0, pkt->size > 2 ? d[2] : 0,
               pkt->size > 3 ? d[3] : 0);
        qelDrvLib_DecAudioType(0, rate, frameSize, payload);
    }
}

void handleAudio(VideoState* is, const AVPacket* pkt) {
    int s = is->hiID;
    bool window0 = (s == 0 || s == 5) && decode_ChannelUse[0] == s;
    if (!is->audioplayinit) {
        is->audioplayinit = 1;
        if (window0 && is->audio_st != nullptr) configureAudio(is, pkt);
    }
    if (!window0) return;
    int64_t ms;
    if (packetMs(pkt, is->audio_st, &ms))
        is->audioPts =
            static_cast<uint64_t>(av_rescale_q(ms, AVRational{1, 1000}, AVRational{1, 48000}));
    is->ptsDiff =
        static_cast<int64_t>(is->videoPts.load()) - static_cast<int64_t>(is->audioPts.load());
    if (is->iSkipAudioCnt > 0) is->iSkipAudioCnt--;
    if (is->iSkipAudioCnt != 0) return;
    frameAudioPacket(is->audioNoHeader, is->audio_st->codecpar->ch_layout.nb_channels, pkt->data,
                     pkt->size, pktAudioHeader, is->audioScratch, sendAudioBlock);
}

void handleVideo(VideoState* is, const AVPacket* pkt) {
    int s = is->hiID;
    int64_t ms = 0;
    bool stamped = packetMs(pkt, is->video_st, &ms);
    if (stamped) is->videoPts = static_cast<uint32_t>(static_cast<uint64_t>(ms) * 48u);
    if (iChannelNum != 18) {
        if (!is->playinit && s < QEL_INIT_PKT_NUM) {
            is->playinit = 1;
            qelDrvLib_Decoder(nullptr, nullptr, nullptr, pktInit[s].data, pktInit[s].size, s);
        }
        return;
    }
    int d = readerDisplayIndex(s);
    if (!isActiveSlot(s) || windowShown(d) != 1) return;
    is->iFreepacket = 1;
    if (stamped && is->iSyncAdjust != 0 && is->iSyncCurTimeSetOffset != 0) {
        // The hardware counts microseconds; the stamp and both offsets are milliseconds.
        uint64_t pts =
            (static_cast<uint64_t>(ms) + is->iSyncCurTimeSetOffset + is->iSyncCurTimeSetOffset2) *
            1000u;
        qelDrvLib_DecoderPts(nullptr, nullptr, nullptr, pkt->data, pkt->size, d, pts);
    } else {
        qelDrvLib_Decoder(nullptr, nullptr, nullptr, pkt->data, pkt->size, d);
    }
}

// Sets the decode channel up for the stream's codec; false for a codec the hardware lacks.
bool prepareChannel(VideoState* is, int d) {
    AVCodecID id = is->video_st->codecpar->codec_id;
    if (id == AV_CODEC_ID_H264) {
        printf("-->h264");
        if (iChannelNum == 18) {
            if (windowShown(d) == 1) {
                printf("qelDrvLib_DecType(%d, ZURIR_PT_H264); \n", d);
                qelDrvLib_DecType(d, ZURIR_PT_H264);
                if (d < QEL_INIT_PKT_NUM)
                    qelDrvLib_Decoder(nullptr, nullptr, nullptr, pktInit[d].data, pktInit[d].size,
                                      d);
                if (d == 17) HI_MPI_VO_ClearChnBuffer(0, 17, HI_TRUE);
            }
        } else {
            qelDrvLib_DecType(is->hiID, ZURIR_PT_H264);
        }
        return true;
    }
    if (id == AV_CODEC_ID_MJPEG) {
        printf("-->mjpeg");
        // The packets go to channel d, so d is the channel to prepare.
        if (iChannelNum == 18) {
            if (windowShown(d) == 1) qelDrvLib_DecType(d, ZURIR_PT_JPEG);
        } else {
            qelDrvLib_DecType(is->hiID, ZURIR_PT_JPEG);
        }
        return true;
    }
    return false;
}

// Opens and probes the input: up to ten probes, each on a new connection with a larger probe
// size; the eleventh open plays without a probe. 0, or the failing result.
int openInput(VideoState* is) {
    for (int tries = 0;; tries++) {
        stampAndPrint(is, "Start read_thread 1: %d %d \n");
        AVFormatContext* ic = avformat_alloc_context();
        if (ic == nullptr) {
            av_log(nullptr, AV_LOG_ERROR, "alloc context failed.\n");
            DbgOut("alloc context failed!\n");
            return AVERROR(ENOMEM);
        }
        ic->interrupt_callback.callback = decode_interrupt_cb;
        ic->interrupt_callback.opaque = is;
        stampAndPrint(is, "Start read_thread 2: %d %d \n");
        AVDictionary* fo = nullptr;
        av_dict_copy(&fo, format_opts, 0);
        int err = avformat_open_input(&ic, is->filename, is->iformat, &fo);
        if (err < 0) {
            av_dict_free(&fo);
            print_error(is->filename, err);
            DbgOut("avformat_open_input failed!\n");
            return err;
        }
        const AVDictionaryEntry* t = av_dict_get(fo, "", nullptr, AV_DICT_IGNORE_SUFFIX);
        if (t != nullptr) {
            av_log(nullptr, AV_LOG_ERROR, "Option %s not found.\n", t->key);
            DbgOut("Option %s not found.\n", t->key);
            av_dict_free(&fo);
            avformat_close_input(&ic);
            return AVERROR_OPTION_NOT_FOUND;
        }
        av_dict_free(&fo);
        is->ic = ic;
        stampAndPrint(is, "Start read_thread 3: %d %d \n");
        if (tries > 9) return 0;

        unsigned int streams = ic->nb_streams;
        AVDictionary** opts = setup_find_stream_info_opts(ic, codec_opts);
        is->tv_test = monotonicNow();
        printf("Start read_thread 4.%d %d %d \n", tries, static_cast<int>(is->tv_test.tv_sec),
               static_cast<int>(is->tv_test.tv_usec));
        ic->probesize = 10240 + 30720 * static_cast<int64_t>(tries);
        err = avformat_find_stream_info(ic, opts);
        free_stream_info_opts(opts, streams);
        // The stream that must have a picture is the first video stream, whatever comes first.
        if (err >= 0 && firstVideoWidth(ic) > 0) return 0;
        if (is->abort_request) return err < 0 ? err : 0;
        avformat_close_input(&is->ic);
    }
}

}  // namespace

void storeInitPacket(const AVStream* st, int d) {
    if (d < 0 || d >= QEL_INIT_PKT_NUM || pktInit[d].data == nullptr) return;
    const AVCodecParameters* par = st->codecpar;
    if (par->extradata != nullptr && par->extradata_size > 0 &&
        par->extradata_size <= QEL_INIT_PKT_SIZE) {
        memcpy(pktInit[d].data, par->extradata, par->extradata_size);
        pktInit[d].size = par->extradata_size;
    } else {
        pktInit[d].size = 0;
    }
}

void frameAudioPacket(int noHeader, int channels, const uint8_t* data, int size,
                      const uint8_t header[4], std::vector<uint8_t>& scratch,
                      const std::function<void(int, const uint8_t*, int)>& send) {
    if (data == nullptr || size <= 0) return;
    size_t need = static_cast<size_t>(size) + 4;
    if (scratch.size() < need) scratch.resize(need);
    uint8_t* out = scratch.data();
    if (noHeader == 0) {
        memcpy(out, header, 4);
        memcpy(out + 4, data, size);
        send(0, out, size + 4);
    } else if (noHeader == 1 && channels == 2) {
        // Each 4-byte frame holds both channels' big-endian samples; each channel goes out
        // as one dense block of little-endian samples. Whole packets of any size are split.
        int frames = size / 4;
        uint8_t* left = out;
        uint8_t* right = out + frames * 2;
        for (int i = 0; i < frames; i++) {
            left[2 * i] = data[4 * i + 1];
            left[2 * i + 1] = data[4 * i];
            right[2 * i] = data[4 * i + 3];
            right[2 * i + 1] = data[4 * i + 2];
        }
        send(0, left, frames * 2);
        send(1, right, frames * 2);
    } else if (noHeader == 1 && channels == 1) {
        int samples = size / 2;
        for (int i = 0; i < samples; i++) {
            out[2 * i] = data[2 * i + 1];
            out[2 * i + 1] = data[2 * i];
        }
        if (size % 2) out[size - 1] = data[size - 1];
        send(0, out, size);
    }
}

int read_thread(void* arg) {
    VideoState* is = static_cast<VideoState*>(arg);
    int st_index[AVMEDIA_TYPE_NB];
    for (int& i : st_index) i = -1;
    is->video_stream = is->audio_stream = is->subtitle_stream = -1;
    AVPacket* pkt = av_packet_alloc();
    AVPacket* endPkt = av_packet_alloc();
    int ret = pkt && endPkt ? openInput(is) : AVERROR(ENOMEM);
    int s = is->hiID;
    int d = readerDisplayIndex(s);
    bool eof = false;
    AVFormatContext* ic = is->ic;
    if (ret != 0 || ic == nullptr) {
        if (ret == 0) ret = -1;
        goto fail;
    }
    if (ic->pb) ic->pb->eof_reached = 0;
    for (unsigned int i = 0; i < ic->nb_streams; i++) ic->streams[i]->discard = AVDISCARD_ALL;
    st_index[AVMEDIA_TYPE_VIDEO] = av_find_best_stream(
        ic, AVMEDIA_TYPE_VIDEO, wanted_stream[AVMEDIA_TYPE_VIDEO], -1, nullptr, 0);
    st_index[AVMEDIA_TYPE_AUDIO] =
        av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, wanted_stream[AVMEDIA_TYPE_AUDIO],
                            st_index[AVMEDIA_TYPE_VIDEO], nullptr, 0);
    st_index[AVMEDIA_TYPE_SUBTITLE] =
        av_find_best_stream(ic, AVMEDIA_TYPE_SUBTITLE, wanted_stream[AVMEDIA_TYPE_SUBTITLE],
                            st_index[AVMEDIA_TYPE_AUDIO] >= 0 ? st_index[AVMEDIA_TYPE_AUDIO]
                                                              : st_index[AVMEDIA_TYPE_VIDEO],
                            nullptr, 0);
    stampAndPrint(is, "Start read_thread 5: %d %d \n");
    if (st_index[AVMEDIA_TYPE_AUDIO] >= 0) stream_component_open(is, st_index[AVMEDIA_TYPE_AUDIO]);
    ret = -1;
    if (st_index[AVMEDIA_TYPE_VIDEO] >= 0)
        ret = stream_component_open(is, st_index[AVMEDIA_TYPE_VIDEO]);
    if (st_index[AVMEDIA_TYPE_SUBTITLE] >= 0)
        stream_component_open(is, st_index[AVMEDIA_TYPE_SUBTITLE]);
    printf("is->video_stream: %d ; is->audio_stream: %d  \n", is->video_stream, is->audio_stream);
    if (is->video_stream < 0) {
        DbgOut("%s: could not open video codecs\n", is->filename);
        ret = -1;
        goto fail;
    }
    // A reader whose start gave up on it, or that is being stopped, leaves the window to the
    // slot that plays there: it neither adapts the window, nor takes it over, nor sets its
    // decode channel up again.
    if (is->abort_request) goto fail;
    {
        const AVCodecParameters* vp = is->video_st->codecpar;
        if (qelSetWinWidthHeight(d, vp->width, vp->height) != 0) {
            DbgOut("Width(%d) or height(%d) is too bigger\n", vp->width, vp->height);
            ret = -1;
            goto fail;
        }
    }
    is->playen = 0;
    is->playinit = 0;
    is->audioplayinit = 0;
    is->audioNoHeader = -1;
    is->is_Exist = 1;
    is->videoPts = 0;
    is->audioPts = 0;
    is->ptsDiff = 0;
    is->iSkipAudioCnt = 300;
    is->FrameCounterTemp = -2;
    if (is->abort_request) goto fail;
    if (d == 17 || s <= 9) {
        storeInitPacket(is->video_st, d);
        int i = channelIndexOf(d);
        decode_ChannelUse[i] = decode_ChannelPre[i].load();
    }
    if (!prepareChannel(is, d)) {
        ret = -1;
        goto fail;
    }
    stampAndPrint(is, "Start read_thread 6 finish: %d %d \n");
    fflush(stdout);

    for (;;) {
        is->thread_read_status = TASK_STATUS_RUNING;
        if (is->abort_request) break;
        if (eof) {
            // End-of-stream markers; the bounded queues refuse them once full.
            av_packet_unref(endPkt);
            endPkt->stream_index = is->video_stream;
            packet_queue_put(&is->videoq, endPkt);
            if (is->audio_stream >= 0 && is->audio_avctx &&
                (is->audio_avctx->codec->capabilities & AV_CODEC_CAP_DELAY)) {
                endPkt->stream_index = is->audio_stream;
                packet_queue_put(&is->audioq, endPkt);
            }
            SDL_Delay(10);
            eof = false;
            continue;
        }
        ret = av_read_frame(ic, pkt);
        if (ret < 0) {
            if (ret == AVERROR_EOF || (ic->pb && avio_feof(ic->pb))) eof = true;
            if (ic->pb && ic->pb->error) {
                is->thread_read_status = TASK_STATUS_FAILED;
                break;
            }
            SDL_Delay(50);
            continue;
        }
        is->iFreepacket = 1;
        if (s < iChannelNum) {
            bool video = pkt->stream_index == is->video_stream;
            if (!is->playen) {
                // The first packet after an open or a size change is held back.
                struct timeval now = monotonicNow();
                if (is->FrameCounter == 0) {
                    is->tv_begin = now;
                    is->playen = 1;
                } else {
                    is->tv_end = now;
                    if (is->tv_end.tv_sec - is->tv_begin.tv_sec > 1) is->playen = 1;
                }
            } else if (pkt->stream_index == is->audio_stream) {
                handleAudio(is, pkt);
            } else if (video) {
                handleVideo(is, pkt);
            }
            if (video && is->is_Exist == 1 &&
                (iChannelNum != 18 || (windowShown(d) == 1 && isActiveSlot(s))))
                is->FrameCounter++;
        }
        av_packet_unref(pkt);
    }

fail:
    DbgOut("read_thread: close each stream!\n");
    if (is->audio_stream >= 0) stream_component_close(is, is->audio_stream);
    if (is->video_stream >= 0) stream_component_close(is, is->video_stream);
    if (is->subtitle_stream >= 0) stream_component_close(is, is->subtitle_stream);
    if (is->ic != nullptr) avformat_close_input(&is->ic);
    av_packet_free(&pkt);
    av_packet_free(&endPkt);
    fflush(stdout);
    is->thread_read_status = ret != 0 ? TASK_STATUS_FAILED : TASK_STATUS_ABORT;
    return 0;
}
