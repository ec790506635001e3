// A soak of the whole installation: the controller, four real decoders and an RTSP source on
// the test network, a 2 x 2 wall with the source on it, and 20 operator clients (ten on the
// text port, ten on the WebSocket) sending a mixed list of queries and wall changes, each
// waiting for its acknowledgement. Every sample period it prints the resident memory and open
// descriptors of each program; at the end it fails when one of them grew without bound, a
// program ended, or an acknowledgement went missing.
//
//   soak_run --stream FILE [--minutes N] [--clients N] [--sample-seconds N]
//
// Each client sends at most one command every 100-400 ms and stops at the end of the run, so
// the traffic is bounded in count and time. Exit status 0 (flat), 1 (fault), 77 (no test
// network).
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
};

// The mix: queries of the wall, the devices and the system, and changes of the live wall that
// keep it a 2 x 2 wall with the source in window 0.
const char* const kMix[] = {
    "config get system status",
    "config get login",
    "config get decoders",
    "config get ipsources",
    "config get vs all params",
    "config get vs all wins",
    "config get vs screen params",
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

using Client = qeltest::OperatorClient;
using TextClient = qeltest::TextOperator;
using WebClient = qeltest::WebOperator;

// Sends the command and reads replies until its acknowledgement; false when none came.
bool roundTrip(Client& c, const std::string& command) {
    if (!c.send(command)) return false;
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        std::optional<std::string> text = c.next(std::max(left, 1ms));
        if (!text) return false;
        if (qeltest::ackCommand(*text)) return true;
    }
    return false;
}

struct Counts {
    std::atomic<long> sent{0}, lost{0};
};

struct Sample {
    std::vector<long> rss;
    std::vector<int> fds;
};

// Grown without bound: the last samples all stand above everything of the first half by more
// than the slack. A program that settles after its start-up stays within it.
bool grew(const std::vector<long>& series, long slack) {
    if (series.size() < 4) return false;
    const size_t half = series.size() / 2;
    const long early = *std::max_element(series.begin(), series.begin() + half);
    const size_t tail = std::max<size_t>(2, series.size() / 4);
    for (size_t i = series.size() - tail; i < series.size(); ++i)
        if (series[i] <= early + slack) return false;
    return true;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--stream")
            o.stream = argv[i + 1];
        else if (a == "--minutes")
            o.minutes = std::max(1, atoi(argv[i + 1]));
        else if (a == "--clients")
            o.clients = std::max(1, atoi(argv[i + 1]));
        else if (a == "--sample-seconds")
            o.sampleSeconds = std::max(5, atoi(argv[i + 1]));
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    if (o.stream.empty()) {
        fprintf(stderr, "usage: soak_run --stream FILE [--minutes N] [--clients N]\n");
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
        if (!roundTrip(setup, cmd)) {
            fprintf(stderr, "soak_run: no acknowledgement of \"%s\"\n", cmd.c_str());
            return 1;
        }
    WebClient login;
    if (!login.connect(inst.operatorBox(), ctrlIp) || !roundTrip(login, "config set login vorpl")) {
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

    const auto end = Clock::now() + std::chrono::minutes(o.minutes);
    Counts counts;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < clients.size(); ++i)
        threads.emplace_back([&, i] {
            std::mt19937 random(4321 + static_cast<unsigned>(i));
            std::uniform_int_distribution<int> gap(500, 2000);
            std::uniform_int_distribution<size_t> pick(0, std::size(kMix) - 1);
            while (Clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
                ++counts.sent;
                if (!roundTrip(*clients[i], kMix[pick(random)])) {
                    ++counts.lost;
                    while (clients[i]->next(300ms)) {
                    }
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
        printf("t=%.1fmin sent=%ld lost=%ld", minutes, counts.sent.load(), counts.lost.load());
        for (size_t p = 0; p < programs.size(); ++p) {
            const long rss = qeltest::residentKb(programs[p]->pid());
            const int fds = qeltest::openDescriptors(programs[p]->pid());
            if (!programs[p]->running() || rss < 0) ended = true;
            samples[p].rss.push_back(rss);
            samples[p].fds.push_back(fds);
            printf(" %s rss_kb=%ld fds=%d", names[p].c_str(), rss, fds);
        }
        printf("\n");
        fflush(stdout);
        if (next >= end || ended) break;
    }
    for (std::thread& t : threads) t.join();

    bool flat = !ended && counts.lost == 0;
    if (ended) printf("SOAK a program ended\n");
    for (size_t p = 0; p < programs.size(); ++p) {
        // Memory may wander by a few MB with the streams' buffers; descriptors by a handful.
        const long rssSlack = std::max(8192L, samples[p].rss.front() / 5);
        std::vector<long> fds(samples[p].fds.begin(), samples[p].fds.end());
        if (grew(samples[p].rss, rssSlack) || grew(fds, 8)) {
            printf("SOAK %s grows: rss_kb %ld -> %ld, fds %d -> %d\n", names[p].c_str(),
                   samples[p].rss.front(), samples[p].rss.back(), samples[p].fds.front(),
                   samples[p].fds.back());
            flat = false;
        }
    }
    printf("SOAK minutes=%d clients=%d sent=%ld lost=%ld result=%s\n", o.minutes, o.clients,
           counts.sent.load(), counts.lost.load(), flat ? "flat" : "FAULT");
    return flat ? 0 : 1;
}
