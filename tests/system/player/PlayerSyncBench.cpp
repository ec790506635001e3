// player_sync_bench FILE: how far two decoders of a wall stay apart once synchronised (P6;
// printed, never asserted; run by "scripts/bench-player sync" as root).
//
// Two rxplayer_playerdrive boxes (.2 and .4) play one multicast MPEG-TS of FILE, sent at its own
// pace by ffmpeg in .3, each with window 0 clipped to one half of the picture. The time base is
// taken from one decoder's stream time and "syncmode 0" and "sync 0 BASE 200" go to both at
// once. Then "disp 0" is asked of both, and of the answer pairs taken within 2 ms of each other
// the frames between the two pictures on display are printed:
//   P6 max_frames=X median_frames=Y read_rate=R
// QEL_P6_READRATE sets ffmpeg's read rate (default 1, the file's own pace); the line says which
// rate was used.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include <json/json.h>

#include "support/Clients.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

constexpr double kFrameUs = 40000;  // 25 frames a second
constexpr long long kPairUs = 2000;
constexpr int kPairs = 200;

// ffmpeg's read rate of the source: 1 is the stream's own pace.
const char* readRate() {
    const char* r = getenv("QEL_P6_READRATE");
    return r && *r ? r : "1";
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

struct Decoder {
    qeltest::Box* box = nullptr;
    std::unique_ptr<qeltest::Process> drive;
};

class Bench {
public:
    explicit Bench(qeltest::UdpSocket& sock) : sock_(sock) {}

    std::string ask(const Decoder& d, const std::string& cmd) {
        sock_.sendTo(d.box->ip(), 9901, cmd);
        auto r = sock_.receive(20s);
        return r ? r->text : "";
    }

    // Sends cmd to both decoders back to back; the replies by decoder.
    std::pair<std::string, std::string> askBoth(const Decoder& a, const Decoder& b,
                                                const std::string& cmd) {
        sock_.sendTo(a.box->ip(), 9901, cmd);
        sock_.sendTo(b.box->ip(), 9901, cmd);
        std::string ra, rb;
        for (int i = 0; i < 2; i++) {
            auto r = sock_.receive(5s);
            if (!r) break;
            (r->fromIp == a.box->ip() ? ra : rb) = r->text;
        }
        return {ra, rb};
    }

private:
    qeltest::UdpSocket& sock_;
};

int fail(const std::string& why) {
    fprintf(stderr, "player_sync_bench: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return fail("usage: player_sync_bench FILE");
    const std::string file = std::filesystem::absolute(argv[1]).string();
    qeltest::TestNet net;
    if (!net.ok()) return fail(net.error());
    Decoder a, b;
    a.box = &net.addBox("deca", 2);
    qeltest::Box& src = net.addBox("src", 3);
    b.box = &net.addBox("decb", 4);
    if (!a.box->ok() || !b.box->ok() || !src.ok()) return fail("boxes");

    const std::string group = "udp://239.77.0.1:5004";
    auto ffmpeg = src.start(
        "ffmpeg", {"-hide_banner", "-loglevel", "error", "-readrate", readRate(), "-stream_loop",
                   "-1", "-i", file, "-c", "copy", "-f", "mpegts", group + "?pkt_size=1316&ttl=1"});
    if (!ffmpeg) return fail("ffmpeg");
    for (Decoder* d : {&a, &b}) {
        std::filesystem::create_directories(d->box->path("/mnt"));
        d->drive = d->box->start(qeltest::programPath("rxplayer_playerdrive"));
        if (!d->drive || !d->drive->waitForStdout("playerdrive ready", 20s))
            return fail("driver did not start");
    }
    qeltest::UdpSocket sock = src.run([] { return qeltest::UdpSocket(0); });
    if (!sock.ok()) return fail("socket");
    Bench bench(sock);

    if (words(bench.ask(a, "clip 0 0 50 0 100 0 1")).size() != 3 ||
        words(bench.ask(b, "clip 0 50 100 0 100 0 1")).size() != 3)
        return fail("clip");
    // A start gives up after 3 s, which a picture's first key frame may take to come.
    for (Decoder* d : {&a, &b}) {
        bool playing = false;
        for (int attempt = 0; attempt < 5 && !playing; attempt++) {
            std::vector<std::string> r = words(bench.ask(*d, "show 0 " + group + " 2"));
            playing = r.size() == 4 && r[2] == "0";
        }
        if (!playing) return fail("the decoders do not play the multicast");
    }
    std::this_thread::sleep_for(3s);
    bench.askBoth(a, b, "syncmode 0");

    // Too many frames waiting turns a sync down; the decoders are asked again.
    bool synced = false;
    for (int attempt = 0; attempt < 10 && !synced; attempt++) {
        Json::Value st;
        Json::Reader().parse(bench.ask(a, "state"), st);
        uint64_t baseMs = st["slots"][0]["videoPts"].asUInt64() / 48;
        if (baseMs == 0) return fail("no stream time");
        auto r = bench.askBoth(a, b, "sync 0 " + std::to_string(baseMs) + " 200");
        std::vector<std::string> ra = words(r.first), rb = words(r.second);
        synced = ra.size() == 4 && rb.size() == 4 && ra[3] == "1" && rb[3] == "1";
        if (!synced) std::this_thread::sleep_for(500ms);
    }
    if (!synced) {
        std::string out = a.drive->output();
        size_t at = out.rfind("havn't decoded Frames");
        return fail("sync was not accepted: " +
                    (at == std::string::npos ? std::string("?") : out.substr(at, 60)));
    }
    std::this_thread::sleep_for(1500ms);

    std::vector<double> frames;
    auto end = std::chrono::steady_clock::now() + 60s;
    while (static_cast<int>(frames.size()) < kPairs && std::chrono::steady_clock::now() < end) {
        auto r = bench.askBoth(a, b, "disp 0");
        std::vector<std::string> ra = words(r.first), rb = words(r.second);
        if (ra.size() == 5 && rb.size() == 5) {
            long long ma = std::stoll(ra[4]), mb = std::stoll(rb[4]);
            if (std::llabs(ma - mb) <= kPairUs) {
                double pa = std::stod(ra[2]), pb = std::stod(rb[2]);
                frames.push_back(std::fabs(pa - pb) / kFrameUs);
            }
        }
        std::this_thread::sleep_for(20ms);
    }
    for (Decoder* d : {&a, &b}) d->drive->stop(10s);
    ffmpeg->stop();
    if (frames.empty()) return fail("no answer pairs within 2 ms");
    std::sort(frames.begin(), frames.end());
    printf("P6 max_frames=%.2f median_frames=%.2f read_rate=%s\n", frames.back(),
           frames[frames.size() / 2], readRate());
    fprintf(stderr, "%zu answer pairs\n", frames.size());
    return 0;
}
