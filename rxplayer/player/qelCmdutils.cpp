#include "qelCmdutils.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

AVDictionary* codec_opts;
AVDictionary* format_opts;
struct SwsContext* sws_opts;

void init_opts(void) {
    if (sws_opts == nullptr)
        sws_opts =
            sws_getContext(16, 16, static_cast<AVPixelFormat>(0), 16, 16,
                           static_cast<AVPixelFormat>(0), SWS_BICUBIC, nullptr, nullptr, nullptr);
}

void uninit_opts(void) {
    sws_freeContext(sws_opts);
    sws_opts = nullptr;
    av_dict_free(&format_opts);
    av_dict_free(&codec_opts);
}

void print_error(const char* filename, int err) {
    char errbuf[128];
    const char* errbuf_ptr = errbuf;
    if (av_strerror(err, errbuf, sizeof errbuf) < 0) errbuf_ptr = strerror(AVUNERROR(err));
    av_log(nullptr, AV_LOG_ERROR, "%s: %s\n", filename, errbuf_ptr);
}

int check_stream_specifier(AVFormatContext* s, AVStream* st, const char* spec) {
    if (*spec >= '0' && *spec <= '9') return strtol(spec, nullptr, 0) == st->index;
    if (*spec == 'v' || *spec == 'a' || *spec == 's' || *spec == 'd' || *spec == 't') {
        AVMediaType type;
        switch (*spec++) {
            case 'v':
                type = AVMEDIA_TYPE_VIDEO;
                break;
            case 'a':
                type = AVMEDIA_TYPE_AUDIO;
                break;
            case 's':
                type = AVMEDIA_TYPE_SUBTITLE;
                break;
            case 'd':
                type = AVMEDIA_TYPE_DATA;
                break;
            default:
                type = AVMEDIA_TYPE_ATTACHMENT;
                break;
        }
        if (type != st->codecpar->codec_type) return 0;
        if (*spec++ == ':') {
            long nth = strtol(spec, nullptr, 0);
            for (unsigned int i = 0; i < s->nb_streams; i++)
                if (s->streams[i]->codecpar->codec_type == type && nth-- == 0)
                    return static_cast<int>(i) == st->index;
            return 0;
        }
        return 1;
    }
    if (*spec == 'p' && *(spec + 1) == ':') {
        spec += 2;
        char* endptr = nullptr;
        long prog_id = strtol(spec, &endptr, 0);
        for (unsigned int i = 0; i < s->nb_programs; i++) {
            const AVProgram* prog = s->programs[i];
            if (prog->id != prog_id) continue;
            if (*endptr++ == ':') {
                long stream_idx = strtol(endptr, nullptr, 0);
                return stream_idx >= 0 && stream_idx < static_cast<long>(prog->nb_stream_indexes) &&
                       static_cast<int>(prog->stream_index[stream_idx]) == st->index;
            }
            for (unsigned int j = 0; j < prog->nb_stream_indexes; j++)
                if (static_cast<int>(prog->stream_index[j]) == st->index) return 1;
        }
        return 0;
    }
    if (!*spec) return 1;
    av_log(s, AV_LOG_ERROR, "Invalid stream specifier: %s.\n", spec);
    return AVERROR(EINVAL);
}

AVDictionary* filter_codec_opts(AVDictionary* opts, const AVCodec* codec, AVFormatContext* s,
                                AVStream* st) {
    if (codec == nullptr) return nullptr;
    AVDictionary* ret = nullptr;
    int flags = s->oformat ? AV_OPT_FLAG_ENCODING_PARAM : AV_OPT_FLAG_DECODING_PARAM;
    char prefix = 0;
    const AVClass* cc = avcodec_get_class();
    switch (codec->type) {
        case AVMEDIA_TYPE_VIDEO:
            prefix = 'v';
            flags |= AV_OPT_FLAG_VIDEO_PARAM;
            break;
        case AVMEDIA_TYPE_AUDIO:
            prefix = 'a';
            flags |= AV_OPT_FLAG_AUDIO_PARAM;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            prefix = 's';
            flags |= AV_OPT_FLAG_SUBTITLE_PARAM;
            break;
        default:
            break;
    }
    const AVDictionaryEntry* t = nullptr;
    while ((t = av_dict_get(opts, "", t, AV_DICT_IGNORE_SUFFIX))) {
        char* p = strchr(t->key, ':');
        if (p) {
            int match = check_stream_specifier(s, st, p + 1);
            if (match == 0) continue;
            if (match != 1) {
                av_dict_free(&ret);
                return nullptr;
            }
            *p = 0;
        }
        if (av_opt_find(&cc, t->key, nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ) ||
            (codec->priv_class && av_opt_find(const_cast<const AVClass**>(&codec->priv_class),
                                              t->key, nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ)))
            av_dict_set(&ret, t->key, t->value, 0);
        else if (t->key[0] == prefix &&
                 av_opt_find(&cc, t->key + 1, nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ))
            av_dict_set(&ret, t->key + 1, t->value, 0);
        if (p) *p = ':';
    }
    return ret;
}

AVDictionary** setup_find_stream_info_opts(AVFormatContext* s, AVDictionary* codec_opts) {
    if (s->nb_streams == 0) return nullptr;
    AVDictionary** opts = static_cast<AVDictionary**>(av_calloc(s->nb_streams, sizeof *opts));
    if (opts == nullptr) {
        av_log(nullptr, AV_LOG_ERROR, "Could not alloc memory for stream options.\n");
        return nullptr;
    }
    for (unsigned int i = 0; i < s->nb_streams; i++)
        opts[i] = filter_codec_opts(
            codec_opts, avcodec_find_decoder(s->streams[i]->codecpar->codec_id), s, s->streams[i]);
    return opts;
}

void free_stream_info_opts(AVDictionary** opts, unsigned int count) {
    if (opts == nullptr) return;
    for (unsigned int i = 0; i < count; i++) av_dict_free(&opts[i]);
    av_freep(&opts);
}
