// A soak of the whole installation: the controller, four real decoders and an RTSP source on
// the test network, a 2 x 2 wall with the source on it, and 20 operator clients (ten on the
// text port, ten on the WebSocket) sending commands, each waiting for the acknowledgement that
// echoes its own command before the next. Every sample period it prints the commands sent,
// refused (acknowledged with failure) and lost, and the resident memory and open descriptors
// of each program; at the end it fails when a program ended, an acknowledgement went missing
// or answered another command, or a program's memory or descriptors rose at most samples after
// the first (the warm-up).
//
//   soak_run --stream FILE [--fast] [--minutes N] [--clients N] [--sample-seconds N]
//
// The normal pace is a mixed list of queries and wall changes, one every 500-2000 ms per
// client. --fast is an operator who does not wait: wall changes only, one every 100-400 ms per
// client, so the controller's queue of decoder commands runs full and refuses what does not
// fit. Each client stops at the end of the run, so the traffic is bounded in count and time.
// Exit status 0 (flat), 1 (fault), 77 (no test network).
#include <json/json.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "SoakChecks.h"
#include "support/OperatorClient.h"
#include "support/Installation.h"
#include "support/JsonTexts.h"
#include "support/WebSocketClient.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    std::string stream;
    int minutes = 30;
    int clients = 20;
    int sampleSeconds = 60;
    bool fast = false;
};

// The wall changes: they keep the live wall a 2 x 2 wall with the source in window 0.
const char* const kChanges[] = {
    "config set vs split params 1 4 0",
    "config set vs split params 1 1 0",
    "config set vs win params 0 0 3840 0 2160",
    "config set vs win params 0 0 1920 0 1080",
    "config set vs dbl params 0",
    "config set vs url params 0 ipsource 10.77.0.9 0",
    "config set vs url params 0 ipsource 10.77.0.9 1",
    "config set vs rowcolumncutedge params 4 3",
    "config set vs rowcolumncutedge params 0 0",
};

// The normal mix: queries of the wall, the devices and the system, and the wall changes.
const char* const kQueries[] = {
    "config get system status",    "config get login",         "config get decoders",
    "config get ipsources",        "config get vs all params", "config get vs all wins",
    "config get vs screen params",
};

using Client = qeltest::OperatorClient;
using TextClient = qeltest::TextOperator;
using WebClient = qeltest::WebOperator;

enum class Answer { Success, Refused, Lost, Crossed };

struct Ack {
    std::string cmd;
    bool success = false;
};

// The acknowledgement of a reply; nothing for a data reply or a text that is not JSON.
std::optional<Ack> ackOf(const std::string& text) {
    Json::Value v;
    Json::Reader reader;
    if (!reader.parse(text, v, false) || !v.isObject() || !v.isMember("ack")) return std::nullopt;
    const Json::Value& a = v["ack"].isArray() ? v["ack"][0] : v["ack"];
    if (!a.isObject()) return std::nullopt;
    return Ack{a["cmd"].isString() ? a["cmd"].asString() : std::string(),
               a["status"].isString() && a["status"].asString() == "success"};
}

// Sends the command and reads replies until its acknowledgement. An acknowledgement that
// echoes another command is an answer crossed with another one; none within 5 s is lost.
Answer roundTrip(Client& c, const std::string& command) {
    if (!c.send(command)) return Answer::Lost;
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        std::optional<std::string> text = c.next(std::max(left, 1ms));
        if (!text) return Answer::Lost;
        std::optional<Ack> ack = ackOf(*text);
        if (!ack) continue;
        if (!soak::answers(ack->cmd, command)) {
            fprintf(stderr, "soak: \"%s\" answered by the acknowledgement of \"%s\"\n",
                    command.c_str(), ack->cmd.c_str());
            return Answer::Crossed;
        }
        return ack->success ? Answer::Success : Answer::Refused;
    }
    return Answer::Lost;
}

struct Counts {
    std::atomic<long> sent{0}, refused{0}, lost{0}, crossed{0};
};

struct Sample {
    std::vector<long> rss;
    std::vector<long> fds;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--fast") {
            o.fast = true;
            continue;
        }
        if (i + 1 >= argc) break;
        const char* v = argv[++i];
        if (a == "--stream")
            o.stream = v;
        else if (a == "--minutes")
            o.minutes = std::max(1, atoi(v));
        else if (a == "--clients")
            o.clients = std::max(1, atoi(v));
        else if (a == "--sample-seconds")
            o.sampleSeconds = std::max(5, atoi(v));
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const Options o = parse(argc, argv);
    if (o.stream.empty()) {
        fprintf(stderr,
                "usage: soak_run --stream FILE [--fast] [--minutes N] [--clients N] "
                "[--sample-seconds N]\n");
        return 2;
    }
    const std::string unavailable = qeltest::testNetworkUnavailable();
    if (!unavailable.empty()) {
        fprintf(stderr, "soak_run needs the test network: %s\n", unavailable.c_str());
        return 77;
    }
    qeltest::InstallationOptions io;
    io.streamFiles = {o.stream};
    qeltest::Installation inst;
    std::string why;
    if (!inst.start(io, &why)) {
        fprintf(stderr, "soak_run: %s\n", why.c_str());
        return 1;
    }
    const std::string ctrlIp = inst.ctrlBox().ip();

    // The wall: 2 x 2, a decoder in each cell, the source across window 0.
    TextClient setup;
    if (!setup.connect(inst.operatorBox(), ctrlIp)) {
        fprintf(stderr, "soak_run: text port not reachable\n");
        return 1;
    }
    std::vector<std::string> layout = {"config set vs screen params 2 2 0 0"};
    for (int c = 0; c < inst.decoderCount(); ++c)
        layout.push_back("config set vs src params " + std::to_string(c) + " " +
                         qeltest::Installation::decoderIp(c));
    layout.push_back("config set vs url params 0 ipsource 10.77.0.9 0");
    layout.push_back("config set vs win params 0 0 3840 0 2160");
    for (const std::string& cmd : layout)
        if (roundTrip(setup, cmd) != Answer::Success) {
            fprintf(stderr, "soak_run: \"%s\" was not acknowledged with success\n", cmd.c_str());
            return 1;
        }
    WebClient login;
    if (!login.connect(inst.operatorBox(), ctrlIp) ||
        roundTrip(login, "config set login vorpl") != Answer::Success) {
        fprintf(stderr, "soak_run: web login failed\n");
        return 1;
    }

    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < o.clients; ++i) {
        std::unique_ptr<Client> c;
        if (i % 2)
            c = std::make_unique<WebClient>();
        else
            c = std::make_unique<TextClient>();
        if (!c->connect(inst.operatorBox(), ctrlIp)) {
            fprintf(stderr, "soak_run: client %d could not connect\n", i);
            return 1;
        }
        clients.push_back(std::move(c));
    }

    std::vector<std::string> mix(std::begin(kChanges), std::end(kChanges));
    if (!o.fast) mix.insert(mix.end(), std::begin(kQueries), std::end(kQueries));
    const int gapMin = o.fast ? 100 : 500, gapMax = o.fast ? 400 : 2000;
    printf("soak: %s pace, %d clients, a command every %d-%d ms each, %d min, samples every %d s\n",
           o.fast ? "fast" : "normal", o.clients, gapMin, gapMax, o.minutes, o.sampleSeconds);

    const auto end = Clock::now() + std::chrono::minutes(o.minutes);
    Counts counts;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < clients.size(); ++i)
        threads.emplace_back([&, i] {
            std::mt19937 random(4321 + static_cast<unsigned>(i));
            std::uniform_int_distribution<int> gap(gapMin, gapMax);
            std::uniform_int_distribution<size_t> pick(0, mix.size() - 1);
            while (Clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
                ++counts.sent;
                const Answer a = roundTrip(*clients[i], mix[pick(random)]);
                if (a == Answer::Refused) ++counts.refused;
                if (a == Answer::Lost) ++counts.lost;
                if (a == Answer::Crossed) ++counts.crossed;
                // What is left of a lost or crossed answer must not be read as the next one's.
                if (a == Answer::Lost || a == Answer::Crossed)
                    while (clients[i]->next(300ms)) {
                    }
            }
        });

    // Programs sampled: the controller, then each decoder.
    std::vector<std::string> names = {"ctrlserver"};
    std::vector<qeltest::Process*> programs = {&inst.controller()};
    for (int i = 0; i < inst.decoderCount(); ++i) {
        names.push_back("rxplayer@" + qeltest::Installation::decoderIp(i));
        programs.push_back(&inst.decoder(i));
    }
    std::vector<Sample> samples(programs.size());
    bool ended = false;
    const auto started = Clock::now();
    for (auto next = started + std::chrono::seconds(o.sampleSeconds);;
         next += std::chrono::seconds(o.sampleSeconds)) {
        std::this_thread::sleep_until(std::min(next, end));
        const double minutes = std::chrono::duration<double>(Clock::now() - started).count() / 60.0;
        printf("t=%.1fmin sent=%ld refused=%ld lost=%ld crossed=%ld", minutes, counts.sent.load(),
               counts.refused.load(), counts.lost.load(), counts.crossed.load());
        for (size_t p = 0; p < programs.size(); ++p) {
            const long rss = qeltest::residentKb(programs[p]->pid());
            const int fds = qeltest::openDescriptors(programs[p]->pid());
            if (!programs[p]->running() || rss < 0) ended = true;
            samples[p].rss.push_back(rss);
            samples[p].fds.push_back(fds);
            printf(" %s rss_kb=%ld fds=%d", names[p].c_str(), rss, fds);
        }
        printf("\n");
        if (next >= end || ended) break;
    }
    for (std::thread& t : threads) t.join();

    bool flat = !ended && counts.lost == 0 && counts.crossed == 0;
    if (ended) printf("SOAK a program ended\n");
    if (samples[0].rss.size() < 4)
        printf("SOAK %zu samples: too few to judge growth (4 or more are needed)\n",
               samples[0].rss.size());
    for (size_t p = 0; p < programs.size(); ++p) {
        // A rise counts when it passes 64 kB (16 pages); growth when it passes 1 MB in all.
        if (soak::rises(samples[p].rss, 64, 1024) || soak::rises(samples[p].fds, 0, 4)) {
            printf("SOAK %s grows: rss_kb %ld -> %ld, fds %ld -> %ld after the warm-up\n",
                   names[p].c_str(), samples[p].rss[1], samples[p].rss.back(), samples[p].fds[1],
                   samples[p].fds.back());
            flat = false;
        }
    }
    printf(
        "SOAK pace=%s minutes=%d clients=%d sent=%ld refused=%ld lost=%ld crossed=%ld "
        "result=%s\n",
        o.fast ? "fast" : "normal", o.minutes, o.clients, counts.sent.load(), counts.refused.load(),
        counts.lost.load(), counts.crossed.load(), flat ? "flat" : "FAULT");
    return flat ? 0 : 1;
}
