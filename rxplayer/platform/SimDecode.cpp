// Decoding what the decode channels are sent, in software, so that the output can be shown as
// a picture. Each channel that is fed while decoding is on gets a worker thread of its own;
// the stream calls only hand it a copy of the packet, so decoding never holds up the platform.
// The newest decoded frame of a channel is kept as it is and turned into RGB only when a
// picture of the output asks for it.
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "SimInternal.h"

namespace qelsim {
namespace detail {

namespace {

// Packets waiting for a worker that falls this far behind are dropped; the decoder starts
// again at the next picture it can decode on its own.
constexpr size_t kMaxWaitingPackets = 256;

struct Packet {
    std::vector<uint8_t> data;
    int creation = 0;
    int type = 0;
};

struct ChannelDecoder {
    std::mutex mu;
    std::condition_variable cv;
    std::deque<Packet> packets;
    bool started = false;
    bool flush = false;         // the worker drops what it holds before the next packet
    uint64_t generation = 0;    // advances when the channel ends; older frames are not kept
    AVFrame* latest = nullptr;  // newest decoded frame
    uint64_t latestSeq = 0;     // counts the frames kept
    std::shared_ptr<const RgbPicture> rgb;
    uint64_t rgbSeq = 0;        // the frame rgb was made from
    SwsContext* sws = nullptr;  // used under mu
};

ChannelDecoder* decoders() {
    static ChannelDecoder* all = new ChannelDecoder[VDEC_MAX_CHN_NUM];
    return all;
}

AVCodecContext* openCodec(int type) {
    AVCodecID id = type == PT_H264 ? AV_CODEC_ID_H264 : AV_CODEC_ID_MJPEG;
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec) return nullptr;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (!ctx) return nullptr;
    // One thread per channel, and the cheaper decode: the picture is only looked at.
    ctx->thread_count = 1;
    ctx->skip_loop_filter = AVDISCARD_ALL;
    ctx->flags2 |= AV_CODEC_FLAG2_FAST;
    if (avcodec_open2(ctx, codec, nullptr) < 0) avcodec_free_context(&ctx);
    return ctx;
}

void work(int chn) {
    ChannelDecoder& d = decoders()[chn];
    AVCodecContext* ctx = nullptr;
    int creation = -1, type = -1;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (!pkt || !frame) return;
    for (;;) {
        Packet p;
        uint64_t generation;
        bool flush;
        {
            std::unique_lock<std::mutex> l(d.mu);
            d.cv.wait(l, [&] { return !d.packets.empty() || d.flush; });
            flush = d.flush;
            d.flush = false;
            if (d.packets.empty()) {
                if (ctx) avcodec_flush_buffers(ctx);
                continue;
            }
            p = std::move(d.packets.front());
            d.packets.pop_front();
            generation = d.generation;
        }
        if (p.creation != creation || p.type != type) {
            avcodec_free_context(&ctx);
            ctx = openCodec(p.type);
            creation = p.creation;
            type = p.type;
        } else if (flush && ctx) {
            avcodec_flush_buffers(ctx);
        }
        if (!ctx) continue;
        pkt->data = p.data.data();
        pkt->size = static_cast<int>(p.data.size());
        if (avcodec_send_packet(ctx, pkt) < 0) continue;
        while (avcodec_receive_frame(ctx, frame) == 0) {
            std::lock_guard<std::mutex> l(d.mu);
            if (d.generation != generation) {
                av_frame_unref(frame);
                continue;
            }
            if (!d.latest) d.latest = av_frame_alloc();
            av_frame_unref(d.latest);
            av_frame_move_ref(d.latest, frame);
            d.latestSeq++;
        }
    }
}

// The newest frame as RGB (d.mu held).
std::shared_ptr<const RgbPicture> toRgb(ChannelDecoder& d) {
    if (!d.latest || d.latestSeq == d.rgbSeq) return d.rgb;
    const AVFrame* f = d.latest;
    d.rgbSeq = d.latestSeq;
    if (f->width <= 0 || f->height <= 0) return d.rgb;
    AVPixelFormat fmt = static_cast<AVPixelFormat>(f->format);
    // The JPEG decoder's full-range formats, as their plain names.
    if (fmt == AV_PIX_FMT_YUVJ420P) fmt = AV_PIX_FMT_YUV420P;
    if (fmt == AV_PIX_FMT_YUVJ422P) fmt = AV_PIX_FMT_YUV422P;
    if (fmt == AV_PIX_FMT_YUVJ444P) fmt = AV_PIX_FMT_YUV444P;
    d.sws = sws_getCachedContext(d.sws, f->width, f->height, fmt, f->width, f->height,
                                 AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
    if (!d.sws) return d.rgb;
    auto pic = std::make_shared<RgbPicture>();
    pic->width = static_cast<uint32_t>(f->width);
    pic->height = static_cast<uint32_t>(f->height);
    pic->rgb.assign(static_cast<size_t>(pic->width) * pic->height * 3, 0);
    uint8_t* dst[1] = {pic->rgb.data()};
    int dstStride[1] = {static_cast<int>(pic->width * 3)};
    sws_scale(d.sws, f->data, f->linesize, 0, f->height, dst, dstStride);
    d.rgb = pic;
    return d.rgb;
}

}  // namespace

bool decodingOn() {
    const char* v = getenv("QEL_SIM_DECODE");
    return v && strcmp(v, "1") == 0;
}

void decodeFeed(int chn, int creation, int type, const uint8_t* data, uint32_t len) {
    if (chn < 0 || chn >= VDEC_MAX_CHN_NUM || len == 0) return;
    ChannelDecoder& d = decoders()[chn];
    std::lock_guard<std::mutex> l(d.mu);
    if (!d.started) {
        d.started = true;
        std::thread(work, chn).detach();
    }
    if (d.packets.size() >= kMaxWaitingPackets) {
        d.packets.clear();
        d.flush = true;
    }
    Packet p;
    p.data.assign(data, data + len);
    p.creation = creation;
    p.type = type;
    d.packets.push_back(std::move(p));
    d.cv.notify_one();
}

void decodeEnd(int chn) {
    if (chn < 0 || chn >= VDEC_MAX_CHN_NUM) return;
    ChannelDecoder& d = decoders()[chn];
    std::lock_guard<std::mutex> l(d.mu);
    d.packets.clear();
    d.generation++;
    if (d.latest) av_frame_unref(d.latest);
    d.latestSeq++;
    d.rgbSeq = d.latestSeq;
    d.rgb.reset();
    if (d.started) {
        d.flush = true;
        d.cv.notify_one();
    }
}

std::shared_ptr<const RgbPicture> decodedPicture(int chn) {
    if (chn < 0 || chn >= VDEC_MAX_CHN_NUM) return nullptr;
    ChannelDecoder& d = decoders()[chn];
    std::lock_guard<std::mutex> l(d.mu);
    return toRgb(d);
}

void setDecoded(int chn, std::shared_ptr<const RgbPicture> pic) {
    if (chn < 0 || chn >= VDEC_MAX_CHN_NUM) return;
    ChannelDecoder& d = decoders()[chn];
    std::lock_guard<std::mutex> l(d.mu);
    if (d.latest) av_frame_unref(d.latest);
    d.latestSeq++;
    d.rgbSeq = d.latestSeq;
    d.rgb = std::move(pic);
}

}  // namespace detail
}  // namespace qelsim
