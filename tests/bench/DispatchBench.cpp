// Round-trip figures of the command ports: the controller runs in box .1 of a test network,
// N clients in box .2 each make rounds of a query and its acknowledgement ("config get system
// status", "config get login", "config get webversion info", 0-50 ms apart), first over the
// text port 8886, then over the WebSocket port 9008. A round is lost when no acknowledgement
// of that query arrives within 2 s, or a reply names another command.
//
// One line per transport, for example
//   P1 transport=tcp8886 clients=20 stalled=0 queries=10000 p50_ms=0.4 p90_ms=0.7 p99_ms=1.9
//      max_ms=3.0 lost=0 goal=p50<=1,p99<=5 met=yes
// The exit status is 0, or with --check 1 when a round was lost (77 without a test network).
//
//   bench_dispatch [--clients N] [--queries N] [--warmup N] [--transport tcp|ws] [--stall]
//                  [--check]
// --transport measures one port only (both by default). --stall adds one more client on the
// same port that sends a query every 10 ms and never reads its replies (stalled=1).
#include <json/json.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/OperatorClient.h"
#include "support/JsonTexts.h"
#include "support/Process.h"
#include "support/TestNet.h"
#include "support/WebSocketClient.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kQueries[] = {"config get system status", "config get login",
                                "config get webversion info"};
const auto kLostAfter = 2s;
const double kGoalP50 = 1, kGoalP99 = 5;

struct Options {
    int clients = 20;
    int queries = 500;  // measured rounds per client
    int warmup = 50;    // rounds per client before measuring
    bool check = false;
    bool stall = false;
    std::string transport;  // "tcp", "ws" or "" for both
};

using Client = qeltest::OperatorClient;
using TextClient = qeltest::TextOperator;
using WebClient = qeltest::WebOperator;
using qeltest::ackCommand;

struct Tally {
    std::mutex mutex;
    std::vector<double> ms;
    int lost = 0;
};

// One round: the query out, replies in until its acknowledgement. False when lost.
bool round(Client& c, const std::string& query, double& ms) {
    const auto t0 = Clock::now();
    if (!c.send(query)) return false;
    const auto deadline = t0 + kLostAfter;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        std::optional<std::string> text = c.next(left);
        if (!text) return false;
        std::optional<std::string> cmd = ackCommand(*text);
        if (!cmd) continue;  // the data reply before the acknowledgement
        if (*cmd != query) return false;
        ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        return true;
    }
}

void runClient(Client& c, int index, const Options& o, Tally& tally) {
    std::mt19937 random(1234 + index);
    std::uniform_int_distribution<int> gap(0, 50);
    std::uniform_int_distribution<int> pick(0, 2);
    std::vector<double> mine;
    int lost = 0;
    for (int i = 0; i < o.warmup + o.queries; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
        double ms = 0;
        const bool ok = round(c, kQueries[pick(random)], ms);
        if (i < o.warmup) continue;
        if (ok)
            mine.push_back(ms);
        else
            ++lost;
        // After a lost round the stream may hold its late replies: start afresh from there.
        if (!ok) {
            while (c.next(300ms)) {
            }
        }
    }
    std::lock_guard<std::mutex> lock(tally.mutex);
    tally.ms.insert(tally.ms.end(), mine.begin(), mine.end());
    tally.lost += lost;
}

double percentile(std::vector<double>& v, double p) {
    if (v.empty()) return 0;
    const size_t k = std::min(v.size() - 1, static_cast<size_t>(p / 100.0 * v.size()));
    std::nth_element(v.begin(), v.begin() + k, v.end());
    return v[k];
}

// Runs every client on one transport; returns the rounds lost.
int measure(const char* transport, bool web, qeltest::Box& op, const std::string& ip,
            const Options& o) {
    std::vector<std::unique_ptr<Client>> clients;
    int unreachable = 0;
    for (int i = 0; i < o.clients; ++i) {
        std::unique_ptr<Client> c;
        if (web)
            c = std::make_unique<WebClient>();
        else
            c = std::make_unique<TextClient>();
        if (c->connect(op, ip))
            clients.push_back(std::move(c));
        else
            ++unreachable;
    }
    // The stalled client: a small receive window it never reads, so its replies pile up at
    // the controller while the others are measured.
    qeltest::TcpClient stalledText;
    qeltest::WebSocketClient stalledWeb;
    std::atomic<bool> measuring{true};
    std::thread stall;
    if (o.stall) {
        const bool up = op.run(
            [&] { return web ? stalledWeb.connect(ip, 3s) : stalledText.connect(ip, 8886, 3s); });
        qeltest::TcpClient& tcp = web ? stalledWeb.tcp() : stalledText;
        int small = 4096;
        setsockopt(tcp.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        if (!up) fprintf(stderr, "bench_dispatch: the stalled client could not connect\n");
        stall = std::thread([&] {
            while (up && measuring) {
                const bool sent = web ? stalledWeb.sendText(kQueries[0])
                                      : stalledText.send(std::string(kQueries[0]) + ";");
                if (!sent) break;
                std::this_thread::sleep_for(10ms);
            }
        });
    }
    Tally tally;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < clients.size(); ++i)
        threads.emplace_back([&, i] { runClient(*clients[i], static_cast<int>(i), o, tally); });
    for (std::thread& t : threads) t.join();
    measuring = false;
    if (stall.joinable()) stall.join();
    tally.lost += unreachable * o.queries;

    std::vector<double>& ms = tally.ms;
    const double p50 = percentile(ms, 50), p90 = percentile(ms, 90), p99 = percentile(ms, 99);
    const double max = ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end());
    const bool met = tally.lost == 0 && p50 <= kGoalP50 && p99 <= kGoalP99;
    printf(
        "P1 transport=%s clients=%d stalled=%d queries=%d p50_ms=%.2f p90_ms=%.2f p99_ms=%.2f "
        "max_ms=%.1f lost=%d goal=p50<=%g,p99<=%g met=%s\n",
        transport, o.clients, o.stall ? 1 : 0, o.clients * o.queries, p50, p90, p99, max,
        tally.lost, kGoalP50, kGoalP99, met ? "yes" : "no");
    fflush(stdout);
    return tally.lost;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool value = i + 1 < argc;
        if (a == "--clients" && value)
            o.clients = std::max(1, atoi(argv[++i]));
        else if (a == "--queries" && value)
            o.queries = std::max(1, atoi(argv[++i]));
        else if (a == "--warmup" && value)
            o.warmup = std::max(0, atoi(argv[++i]));
        else if (a == "--transport" && value)
            o.transport = argv[++i];
        else if (a == "--check")
            o.check = true;
        else if (a == "--stall")
            o.stall = true;
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    const std::string why = qeltest::testNetworkUnavailable();
    if (!why.empty()) {
        fprintf(stderr, "bench_dispatch needs the test network: %s\n", why.c_str());
        return o.check ? 77 : 0;
    }
    qeltest::TestNet net;
    if (!net.ok()) {
        fprintf(stderr, "bench_dispatch: %s\n", net.error().c_str());
        return o.check ? 77 : 0;
    }
    qeltest::Box& ctrl = net.addBox("ctrl", 1);
    qeltest::Box& op = net.addBox("op", 2);
    if (!ctrl.ok() || !op.ok()) {
        fprintf(stderr, "bench_dispatch: boxes not made\n");
        return o.check ? 1 : 0;
    }
    auto server = ctrl.start(qeltest::programPath("ctrlserver"));
    if (!server || !server->waitForStderr("webServer Started", 10s)) {
        fprintf(stderr, "bench_dispatch: ctrlserver did not start\n%s\n",
                server ? server->output().c_str() : "");
        return o.check ? 1 : 0;
    }
    int lost = 0;
    if (o.transport != "ws") lost += measure("tcp8886", false, op, ctrl.ip(), o);
    if (o.transport != "tcp") {
        // The web clients are gated until a login, which any client may make.
        WebClient login;
        if (!login.connect(op, ctrl.ip()) || !login.send("config set login vorpl") ||
            !login.next(2s)) {
            fprintf(stderr, "bench_dispatch: web login failed\n");
            lost += o.clients * o.queries;
        }
        lost += measure("ws9008", true, op, ctrl.ip(), o);
    }
    server->stop();
    return o.check && lost > 0 ? 1 : 0;
}
