// Helpers between the player and the FFmpeg libraries: per-stream codec option dictionaries,
// the error print of a failed open, and the holder of scaling options.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

extern AVDictionary* codec_opts;
extern AVDictionary* format_opts;
extern struct SwsContext* sws_opts;

// sws_opts becomes a 16x16 to 16x16 bicubic scaling context.
void init_opts(void);
// Frees what init_opts made and both dictionaries.
void uninit_opts(void);
// Logs "file: error text" at error level.
void print_error(const char* filename, int err);
// One dictionary per stream of s (filtered from codec_opts), or null when s has no streams or
// the array cannot be allocated. Free with free_stream_info_opts.
AVDictionary** setup_find_stream_info_opts(AVFormatContext* s, AVDictionary* codec_opts);
void free_stream_info_opts(AVDictionary** opts, unsigned int count);
// The entries of opts that apply to stream st decoded (or encoded) with codec; null when none.
AVDictionary* filter_codec_opts(AVDictionary* opts, const AVCodec* codec, AVFormatContext* s,
                                AVStream* st);
// 1 when stream st of s matches the stream specifier spec, 0 when not, AVERROR(EINVAL) when
// spec is invalid.
int check_stream_specifier(AVFormatContext* s, AVStream* st, const char* spec);
