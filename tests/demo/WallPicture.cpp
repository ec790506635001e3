#include "WallPicture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace demo {

namespace {

const uint8_t kBezel[3] = {40, 40, 40};

// Skips blanks and comment lines between the header fields of a PPM.
bool header(std::istream& in, int& value) {
    while (true) {
        int c = in.peek();
        if (c == '#') {
            std::string skip;
            std::getline(in, skip);
        } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            in.get();
        } else {
            break;
        }
    }
    return static_cast<bool>(in >> value);
}

}  // namespace

bool readPpm(const std::string& path, Picture& out) {
    std::ifstream in(path, std::ios::binary);
    char magic[2];
    if (!in.read(magic, 2) || magic[0] != 'P' || magic[1] != '6') return false;
    int w = 0, h = 0, maxval = 0;
    if (!header(in, w) || !header(in, h) || !header(in, maxval)) return false;
    if (w <= 0 || h <= 0 || w > 8192 || h > 8192 || maxval != 255) return false;
    in.get();  // the one blank after maxval
    out.width = w;
    out.height = h;
    out.rgb.assign(static_cast<size_t>(w) * h * 3, 0);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(out.rgb.data()), out.rgb.size()));
}

bool readPng(const std::string& path, Picture& out) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_PNG);
    if (bytes.empty() || !codec) return false;
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> ctx(
        avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                       [](AVFrame* f) { av_frame_free(&f); });
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                          [](AVPacket* k) { av_packet_free(&k); });
    if (!ctx || !frame || !packet || avcodec_open2(ctx.get(), codec, nullptr) < 0) return false;
    packet->data = reinterpret_cast<uint8_t*>(bytes.data());
    packet->size = static_cast<int>(bytes.size());
    if (avcodec_send_packet(ctx.get(), packet.get()) < 0 ||
        avcodec_receive_frame(ctx.get(), frame.get()) < 0 || frame->format != AV_PIX_FMT_RGB24)
        return false;
    out.width = frame->width;
    out.height = frame->height;
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y)
        memcpy(out.rgb.data() + static_cast<size_t>(y) * out.width * 3,
               frame->data[0] + static_cast<size_t>(y) * frame->linesize[0],
               static_cast<size_t>(out.width) * 3);
    return true;
}

bool writePng(const Picture& p, const std::string& path, std::string* why) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    if (!codec) {
        *why = "no PNG encoder in libavcodec";
        return false;
    }
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> ctx(
        avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                       [](AVFrame* f) { av_frame_free(&f); });
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                          [](AVPacket* k) { av_packet_free(&k); });
    if (!ctx || !frame || !packet) {
        *why = "out of memory";
        return false;
    }
    ctx->width = p.width;
    ctx->height = p.height;
    ctx->pix_fmt = AV_PIX_FMT_RGB24;
    ctx->time_base = AVRational{1, 25};
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        *why = "PNG encoder did not open";
        return false;
    }
    frame->format = AV_PIX_FMT_RGB24;
    frame->width = p.width;
    frame->height = p.height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        *why = "no frame buffer";
        return false;
    }
    for (int y = 0; y < p.height; ++y)
        memcpy(frame->data[0] + static_cast<size_t>(y) * frame->linesize[0],
               p.rgb.data() + static_cast<size_t>(y) * p.width * 3,
               static_cast<size_t>(p.width) * 3);
    if (avcodec_send_frame(ctx.get(), frame.get()) < 0 ||
        avcodec_receive_packet(ctx.get(), packet.get()) < 0) {
        *why = "PNG encoding failed";
        return false;
    }
    const std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(packet->data), packet->size);
        if (!f) {
            *why = "cannot write " + tmp;
            return false;
        }
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        *why = "cannot rename " + tmp;
        return false;
    }
    return true;
}

int gapWidth(const WallLayout& wall) {
    return 8 * wall.horCut;
}

int gapHeight(const WallLayout& wall) {
    return 8 * wall.verCut;
}

Picture composeWall(const WallLayout& wall, std::string* note) {
    const int cw = kCellWidth, ch = kCellHeight;
    const int gx = gapWidth(wall), gy = gapHeight(wall);
    Picture out;
    if (wall.rows < 1 || wall.columns < 1 || gx < 0 || gy < 0) {
        if (note) *note += " (no wall)";
        return out;
    }
    out.width = wall.columns * cw + (wall.columns - 1) * gx;
    out.height = wall.rows * ch + (wall.rows - 1) * gy;
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    for (size_t i = 0; i < out.rgb.size(); i += 3) memcpy(&out.rgb[i], kBezel, 3);
    for (int cell = 0; cell < wall.rows * wall.columns; ++cell) {
        const int x0 = (cell % wall.columns) * (cw + gx), y0 = (cell / wall.columns) * (ch + gy);
        Picture s;
        const std::string file =
            cell < static_cast<int>(wall.screens.size()) ? wall.screens[cell] : std::string();
        const bool have = !file.empty() && readPpm(file, s);
        if (!have && note)
            *note += file.empty()
                         ? " (cell " + std::to_string(cell) + " is free)"
                         : " (no screen from the decoder in cell " + std::to_string(cell) + ")";
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
                uint8_t* d = &out.rgb[(static_cast<size_t>(y0 + y) * out.width + x0 + x) * 3];
                if (!have) {
                    memset(d, 0, 3);
                    continue;
                }
                // Nearest pixel of the screen at twice the position (screens of any size).
                const int sx = x * s.width / cw, sy = y * s.height / ch;
                memcpy(d, &s.rgb[(static_cast<size_t>(sy) * s.width + sx) * 3], 3);
            }
    }
    return out;
}

bool writeWallPicture(const WallLayout& wall, const std::vector<std::string>& paths,
                      std::string* note) {
    std::string why;
    Picture picture = composeWall(wall, note);
    if (picture.rgb.empty()) return false;
    for (const std::string& path : paths)
        if (!writePng(picture, path, &why)) {
            if (note) *note = why;
            return false;
        }
    return true;
}

}  // namespace demo
