// Figures of the installation on the test network, each beside the figure it is measured
// against in the same run (printed, never asserted; scripts/bench runs it without sanitizers):
//
//   bench_installation upload [MB]
//     "update data block" over each command port, each block acknowledged before the next, and
//     all blocks sent back to back, against the same texts through the same socket with no
//     command in them (the front end reads and drops them), in MB/s of file bytes, one line
//     per port:
//     UPLOAD port=9008 mb=8 block_kb=32 acked_mb_s=X streamed_mb_s=Y plain_mb_s=Z
//   bench_installation discovery
//     "config get devices" on the text port with 255 fake decoders (15 boxes of 17), against
//     the four quiet rounds of 2.5 s the discovery waits:
//     DISCOVERY devices=255 found=N seconds=S rounds_s=10.0
//   bench_installation switch FILE
//     the real controller and a real decoder (rxplayer) with window 0 of a one-decoder wall,
//     the source box serving FILE and FILE at 1280 x 720: from the operator's "config set vs
//     url params" on the WebSocket to the first packet of the new stream taken by the
//     decoder's decode channel, against opening the same stream with libavformat until its
//     first video packet, in the decoder's box:
//     SWITCH rounds=N switch_ms=median open_ms=median
#include <json/json.h>
#include <sys/stat.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/Clients.h"
#include "support/FakeDevice.h"
#include "support/Installation.h"
#include "support/JsonTexts.h"
#include "support/Process.h"
#include "support/TestNet.h"
#include "support/UploadTexts.h"
#include "support/WebSocketClient.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Json::Value parsed(const std::optional<std::string>& text) {
    Json::Value v;
    Json::Reader reader;
    if (text) reader.parse(*text, v, false);
    return v;
}

bool acked(const Json::Value& reply) {
    const Json::Value& a = reply["ack"].isArray() ? reply["ack"][0] : reply["ack"];
    return a["status"].asString() == "success";
}

// A controller at .1 on a test network of its own, and an operator's box at .2.
struct Controller {
    qeltest::TestNet net;
    qeltest::Box* ctrl = nullptr;
    qeltest::Box* op = nullptr;
    std::unique_ptr<qeltest::Process> server;

    bool start() {
        if (!net.ok()) {
            fprintf(stderr, "bench_installation: %s\n", net.error().c_str());
            return false;
        }
        ctrl = &net.addBox("ctrl", 1);
        op = &net.addBox("op", 2);
        if (!ctrl->ok() || !op->ok() || mkdir(ctrl->path("/mnt").c_str(), 0755) != 0) return false;
        server = ctrl->start(qeltest::programPath("ctrlserver"));
        if (!server || !server->waitForStderr("webServer Started", 10s)) {
            fprintf(stderr, "bench_installation: ctrlserver did not start\n%s\n",
                    server ? server->output().c_str() : "");
            return false;
        }
        return true;
    }
};

// --- upload ------------------------------------------------------------------------------------

// One command port as the upload figure drives it: send a text, read the next reply.
struct UploadPort {
    virtual ~UploadPort() = default;
    virtual bool send(const std::string& text) = 0;
    virtual Json::Value next(std::chrono::milliseconds timeout) = 0;
};

struct WebUploadPort : UploadPort {
    qeltest::WebSocketClient web;
    bool send(const std::string& text) override { return web.sendText(text); }
    Json::Value next(std::chrono::milliseconds timeout) override {
        return parsed(web.receiveText(timeout));
    }
};

struct TextUploadPort : UploadPort {
    qeltest::TcpClient tcp;
    qeltest::JsonTexts texts{tcp};
    bool send(const std::string& text) override { return tcp.send(text + ";", 10s); }
    Json::Value next(std::chrono::milliseconds timeout) override {
        return parsed(texts.next(timeout));
    }
};

int uploadOn(Controller& c, bool web, int megabytes) {
    std::unique_ptr<UploadPort> port;
    if (web) {
        auto w = std::make_unique<WebUploadPort>();
        if (!c.op->run([&] { return w->web.connect(c.ctrl->ip(), 3s); })) {
            fprintf(stderr, "bench_installation: %s\n", w->web.error().c_str());
            return 1;
        }
        port = std::move(w);
        port->send("config set login vorpl");
        if (!acked(port->next(3s))) {
            fprintf(stderr, "bench_installation: login refused\n");
            return 1;
        }
    } else {
        auto t = std::make_unique<TextUploadPort>();
        if (!c.op->run([&] { return t->tcp.connect(c.ctrl->ip(), 8886, 3s); })) {
            fprintf(stderr, "bench_installation: %s\n", t->tcp.error().c_str());
            return 1;
        }
        port = std::move(t);
    }

    const size_t block = 32768;
    const size_t total = static_cast<size_t>(megabytes) << 20;
    std::string bytes(total, '\0');
    uint32_t x = 2463534242u;
    for (char& ch : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        ch = static_cast<char>(x & 0xff);
    }
    std::vector<std::string> blocks;
    for (size_t at = 0; at < total; at += block)
        blocks.push_back("update data block " + std::to_string(at) + "," + std::to_string(block) +
                         "|" + qeltest::hexOf(bytes.substr(at, block)));

    const std::string name = web ? "bench-web.bin" : "bench-text.bin";
    auto uploadOnce = [&](bool waitEach) -> double {
        port->send("update data start " + name);
        if (!acked(port->next(3s))) return -1;
        const auto t0 = Clock::now();
        size_t ok = 0;
        for (const std::string& b : blocks) {
            if (!port->send(b)) return -1;
            if (waitEach && acked(port->next(10s))) ++ok;
        }
        if (!waitEach)
            for (size_t i = 0; i < blocks.size(); ++i)
                if (acked(port->next(10s))) ++ok;
        const double s = secondsSince(t0);
        port->send("update data stop " + name);
        const bool stored = acked(port->next(10s));
        if (ok != blocks.size() || !stored) {
            fprintf(stderr, "bench_installation: %zu of %zu blocks acknowledged, stop %s\n", ok,
                    blocks.size(), stored ? "taken" : "refused");
            return -1;
        }
        if (qeltest::readAll(c.ctrl->path("/dev/tftpboot/" + name)) != bytes)
            fprintf(stderr, "bench_installation: the stored file differs from the upload\n");
        return s;
    };
    const double ackedS = uploadOnce(true);
    const double streamedS = uploadOnce(false);

    // The same texts with their first letter changed: no command, so the front end reads
    // and drops them. The round trip of a query behind them marks when the last was read.
    const auto t0 = Clock::now();
    for (std::string b : blocks) {
        b[0] = 'x';
        if (!port->send(b)) return 1;
    }
    port->send("config get login");
    const bool answered = port->next(30s).isMember("ack");
    const double plainS = secondsSince(t0);
    if (ackedS <= 0 || streamedS <= 0 || !answered) return 1;
    const double mb = total / 1048576.0;
    printf(
        "UPLOAD port=%d mb=%d block_kb=%zu acked_mb_s=%.2f streamed_mb_s=%.2f "
        "plain_mb_s=%.2f\n",
        web ? 9008 : 8886, megabytes, block / 1024, mb / ackedS, mb / streamedS, mb / plainS);
    fflush(stdout);
    return 0;
}

int upload(int megabytes) {
    Controller c;
    if (!c.start()) return 1;
    const int web = uploadOn(c, true, megabytes);
    const int text = uploadOn(c, false, megabytes);
    return web || text ? 1 : 0;
}

// --- discovery ---------------------------------------------------------------------------------

int discovery() {
    const int kBoxes = 15, kPerBox = 17;
    Controller c;
    if (!c.start()) return 1;
    std::vector<std::unique_ptr<qeltest::FakeDevice>> fakes;
    for (int b = 0; b < kBoxes; ++b) {
        qeltest::Box& box = c.net.addBox("fake" + std::to_string(b), 10 + b);
        if (!box.ok()) return 1;
        auto fake = std::make_unique<qeltest::FakeDevice>(box, qeltest::FakeDevice::Kind::Decoder);
        if (!fake->ok()) return 1;
        fake->setResponder([b](const qeltest::Datagram& d) {
            std::vector<std::string> out;
            if (d.text.rfind("config qel get decoders", 0) != 0) return out;
            for (int i = 0; i < kPerBox; ++i) {
                char mac[32];
                snprintf(mac, sizeof mac, "02:00:00:00:%02x:%02x", b, i);
                out.push_back(qeltest::FakeDevice::decoderDiscoveryAnswer(
                    mac, "dec" + std::to_string(b * kPerBox + i)));
            }
            return out;
        });
        fakes.push_back(std::move(fake));
    }
    qeltest::TcpClient text;
    if (!c.op->run([&] { return text.connect(c.ctrl->ip(), 8886, 3s); })) return 1;
    qeltest::JsonTexts replies(text);
    const auto t0 = Clock::now();
    text.send("config get devices;");
    const Json::Value v = parsed(replies.next(60s));
    const double s = secondsSince(t0);
    printf("DISCOVERY devices=%d found=%u seconds=%.2f rounds_s=%.1f\n", kBoxes * kPerBox,
           v["devicelist"].size(), s, 4 * 2.5);
    return v.isMember("ack") ? 0 : 1;
}

// --- switch ------------------------------------------------------------------------------------

// Opens url with libavformat and reads until its first video packet; the seconds it took, or
// a negative value.
double openTime(const std::string& url) {
    const auto t0 = Clock::now();
    AVFormatContext* fc = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "timeout", "5000000", 0);
    const int rc = avformat_open_input(&fc, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) return -1;
    double s = -1;
    AVPacket* pkt = av_packet_alloc();
    for (int i = 0; i < 1000 && av_read_frame(fc, pkt) >= 0; ++i) {
        const bool video =
            fc->streams[pkt->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
        av_packet_unref(pkt);
        if (video) {
            s = secondsSince(t0);
            break;
        }
    }
    av_packet_free(&pkt);
    avformat_close_input(&fc);
    return s;
}

// Decode channel 0 of a decoder as its stand-in's snapshot shows it, taken at once (the "snap"
// request): the picture width it was made for and the packets it took since then.
struct Channel {
    int width = 0;
    long long packets = 0;
};

std::optional<Channel> channel0(qeltest::Box& dec) {
    const std::string snap = dec.path("/sim/snap");
    { std::ofstream(snap) << "1"; }
    struct stat st;
    const auto deadline = Clock::now() + 2s;
    while (stat(snap.c_str(), &st) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    const Json::Value state = parsed(qeltest::readAll(dec.path("/sim/state.json")));
    for (const Json::Value& c : state["vdec"])
        if (c["chn"].asInt() == 0) return Channel{c["width"].asInt(), c["streams"].asInt64()};
    return std::nullopt;
}

// Waits until decode channel 0 of the decoder plays a stream of the given width: made for it,
// and fed its parameter sets and at least one packet of the stream itself.
bool playsWidth(qeltest::Box& dec, int width, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        std::optional<Channel> c = channel0(dec);
        if (c && c->width == width && c->packets >= 2) return true;
    }
    return false;
}

// The file again at 1280 x 720: a decoder switched between two streams of different sizes
// makes its decode channel anew for the new one, which tells its packets from the old ones'.
bool makeSmaller(const std::string& file, const std::string& out, std::string* log) {
    return qeltest::encodeTestStream({"-i", file}, "scale=1280:720", out, log, 300s) == 0;
}

// The operator's command on the WebSocket; true when acknowledged with success.
bool command(qeltest::WebSocketClient& web, const std::string& text) {
    if (!web.sendText(text)) return false;
    for (auto deadline = Clock::now() + 10s; Clock::now() < deadline;) {
        const Json::Value v = parsed(web.receiveText(5s));
        if (v.isMember("ack")) return acked(v);
        if (v.isNull()) return false;
    }
    return false;
}

int switchSource(const std::string& file) {
    const int kRounds = 6;
    const int kWidths[2] = {1920, 1280};
    char dir[] = "/tmp/qelswitch-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    // The servers open the files for each session: they go only when the run ends.
    std::unique_ptr<char, void (*)(char*)> removeDir(dir, [](char* d) {
        std::error_code ec;
        std::filesystem::remove_all(d, ec);
    });
    const std::string small = std::string(dir) + "/720p.ts";
    std::string log;
    if (!makeSmaller(file, small, &log)) {
        fprintf(stderr, "bench_installation: the 720p stream could not be made: %s\n", log.c_str());
        return 1;
    }
    qeltest::InstallationOptions io;
    io.decoders = 1;
    io.streamFiles = {file, small};
    qeltest::Installation inst;
    std::string why;
    if (!inst.start(io, &why)) {
        fprintf(stderr, "bench_installation: %s\n", why.c_str());
        return 1;
    }
    qeltest::Box& dec = inst.decoderBox(0);
    qeltest::WebSocketClient web;
    if (!inst.operatorBox().run([&] { return web.connect(inst.ctrlBox().ip(), 3s); })) {
        fprintf(stderr, "bench_installation: %s\n", web.error().c_str());
        return 1;
    }
    const std::string cam = qeltest::Installation::sourceIp();
    auto url = [&](int k) {
        return "config set vs url params 0 ipsource " + cam + " " + std::to_string(k);
    };
    // A wall of one decoder with window 0 over its screen, playing stream 0.
    for (const std::string& c :
         {std::string("config set login vorpl"), std::string("config set vs screen params 1 1 0 0"),
          "config set vs src params 0 " + qeltest::Installation::decoderIp(0), url(0),
          std::string("config set vs win params 0 0 1920 0 1080")})
        if (!command(web, c)) {
            fprintf(stderr, "bench_installation: \"%s\" was not acknowledged\n", c.c_str());
            return 1;
        }
    if (!playsWidth(dec, kWidths[0], Clock::now() + 30s)) {
        fprintf(stderr, "bench_installation: the decoder does not play the first stream\n");
        return 1;
    }
    std::vector<double> switched, opened;
    for (int r = 0; r < kRounds; ++r) {
        std::this_thread::sleep_for(2s);
        const int k = (r + 1) % 2;
        const auto t0 = Clock::now();
        if (!web.sendText(url(k))) return 1;
        if (!playsWidth(dec, kWidths[k], t0 + 30s)) {
            fprintf(stderr, "bench_installation: the switch to stream %d did not play\n", k);
            continue;
        }
        switched.push_back(secondsSince(t0) * 1000);
        // The acknowledgement left before the decoder was asked; it is read here.
        parsed(web.receiveText(1s));
        const double o = dec.run([&] { return openTime(qeltest::Installation::streamUrl(k)); });
        if (o > 0) opened.push_back(o * 1000);
    }
    printf("SWITCH rounds=%zu switch_ms=%.0f open_ms=%.0f\n", switched.size(), median(switched),
           median(opened));
    return switched.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string why = qeltest::testNetworkUnavailable();
    if (!why.empty()) {
        fprintf(stderr, "bench_installation needs the test network: %s\n", why.c_str());
        return 1;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "upload") return upload(argc > 2 ? std::max(1, atoi(argv[2])) : 8);
    if (mode == "discovery") return discovery();
    if (mode == "switch" && argc > 2) return switchSource(argv[2]);
    fprintf(stderr, "usage: bench_installation upload [MB] | discovery | switch FILE\n");
    return 2;
}
