#include "RealPairFixture.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "support/DeviceFiles.h"

namespace realpair {

namespace {

const char kCtrlIp[] = "10.77.0.1";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

std::string dotted(const unsigned char* b) {
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

bool startsWith(const std::string& s, const std::string& head) {
    return s.compare(0, head.size(), head) == 0;
}

// The URL a decoder keeps for a URL text's url field: up to the first line end, comma or
// blank; nothing there means the window is emptied.
std::string urlAsRead(const std::string& field) {
    const std::string url = field.substr(0, field.find_first_of("\n, "));
    return url.empty() ? "unused_window" : url;
}

}  // namespace

WireTap::WireTap(qeltest::Box& box) : last_(std::chrono::steady_clock::now()) {
    box.run([&] {
        // ETH_P_ALL: the kernel hands outgoing packets only to taps of every protocol.
        fd_ = socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_ALL));
        if (fd_ < 0) {
            error_ = std::string("packet socket: ") + strerror(errno);
            return;
        }
        sockaddr_ll a;
        memset(&a, 0, sizeof a);
        a.sll_family = AF_PACKET;
        a.sll_protocol = htons(ETH_P_ALL);
        a.sll_ifindex = static_cast<int>(if_nametoindex("eth0"));
        if (a.sll_ifindex == 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            error_ = std::string("packet socket bind: ") + strerror(errno);
            close(fd_);
            fd_ = -1;
        }
    });
    if (fd_ >= 0) thread_ = std::thread([this] { loop(); });
}

WireTap::~WireTap() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) close(fd_);
}

void WireTap::loop() {
    std::vector<unsigned char> b(65536);
    while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        sockaddr_ll from;
        socklen_t fromLen = sizeof from;
        ssize_t n =
            recvfrom(fd_, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 20 || from.sll_protocol != htons(ETH_P_IP) || (b[0] >> 4) != 4 ||
            b[9] != IPPROTO_UDP)
            continue;
        const size_t ihl = (b[0] & 0x0f) * 4u;
        if (static_cast<size_t>(n) < ihl + 8) continue;
        const unsigned char* u = &b[ihl];
        const size_t udpLen = (u[4] << 8) | u[5];
        if (udpLen < 8 || ihl + udpLen > static_cast<size_t>(n)) continue;
        Packet pk;
        pk.from = dotted(&b[12]);
        pk.to = dotted(&b[16]);
        pk.fromPort = (u[0] << 8) | u[1];
        pk.toPort = (u[2] << 8) | u[3];
        pk.text.assign(reinterpret_cast<const char*>(u + 8), udpLen - 8);
        std::lock_guard<std::mutex> g(mutex_);
        seen_.push_back(std::move(pk));
        last_ = std::chrono::steady_clock::now();
    }
}

std::vector<Packet> WireTap::takeWhenQuiet(std::chrono::milliseconds quiet,
                                           std::chrono::milliseconds limit) {
    const auto start = std::chrono::steady_clock::now(), until = start + limit;
    while (std::chrono::steady_clock::now() < until) {
        {
            std::lock_guard<std::mutex> g(mutex_);
            if (std::chrono::steady_clock::now() - std::max(last_, start) >= quiet) break;
        }
        std::this_thread::sleep_for(50ms);
    }
    std::lock_guard<std::mutex> g(mutex_);
    std::vector<Packet> out;
    out.swap(seen_);
    return out;
}

void RealPair::SetUpBoxes() {
    std::vector<qeltest::SeedDevice> seeds;
    for (int d = 0; d < kDecoders; ++d) {
        qeltest::Box& b = net->addBox("dec" + std::to_string(d), d + 2);
        ASSERT_TRUE(b.ok());
        const std::string mac = "02:77:00:00:00:0" + std::to_string(d + 2);
        std::string out;
        // The decoder reports its MAC and routes through a gateway, as on a real network.
        ASSERT_EQ(qeltest::runCommand(
                      {"ip", "-n", b.netns(), "link", "set", "eth0", "address", mac}, &out),
                  0)
            << out;
        ASSERT_EQ(qeltest::runCommand({"ip", "-n", b.netns(), "route", "replace", "default", "via",
                                       "10.77.0.254", "dev", "eth0"},
                                      &out),
                  0)
            << out;
        ASSERT_EQ(mkdir(b.path("/mnt").c_str(), 0755), 0);
        // The decoder's own name is the one the controller's table has, so that discovery
        // keeps it.
        std::ofstream(b.path("/mnt/decodername.ini")) << rxName(d) << "\n";
        decoders.push_back(&b);
        seeds.push_back({dec(d), rxName(d), "DEC-000" + std::to_string(d + 2), mac});
    }
    // The sources' boxes hold nothing: a decoder's stream open is refused at once.
    ASSERT_TRUE(net->addBox("tx", 8).ok());
    ASSERT_TRUE(net->addBox("cam", 9).ok());
    qeltest::Box& op = net->addBox("op", 20);
    ASSERT_TRUE(ctrl->ok() && op.ok());

    for (qeltest::Box* b : decoders) players.push_back(b->start(qeltest::programPath("rxplayer")));
    for (size_t d = 0; d < players.size(); ++d) {
        ASSERT_TRUE(players[d]);
        ASSERT_TRUE(players[d]->waitForStdout("setup tcp with port: 8888!", 60s))
            << players[d]->output();
    }

    ASSERT_EQ(mkdir(ctrl->path("/mnt").c_str(), 0755), 0);
    qeltest::SeedDevice encoder{kEncoder, "TX1", "ENC-0008", "02:77:00:00:00:08"};
    encoder.extra = {{"url0", kEncoderUrl}};
    qeltest::SeedDevice camera{kCamera, "CAM1", "", ""};
    camera.version = "";
    camera.extra = {{"url0", kCamUrl0}, {"url1", kCamUrl1}};
    ASSERT_TRUE(qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevDecoder.ini"), "decoder", seeds));
    ASSERT_TRUE(
        qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevEncoder.ini"), "encoder", {encoder}));
    ASSERT_TRUE(
        qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevIPSource.ini"), "ipsource", {camera}));

    tap = std::make_unique<WireTap>(*ctrl);
    ASSERT_TRUE(tap->ok()) << tap->error();
    server = ctrl->start(qeltest::programPath("ctrlserver"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started", 20s)) << server->output();
    ASSERT_TRUE(op.run([&] { return text.connect(ctrl->ip(), 8886, 5s); })) << text.error();
    // Whatever the start-up sent (discovery) is not a command's.
    tap->takeWhenQuiet();
}

void RealPair::TearDown() {
    if (server) {
        EXPECT_EQ(server->stop(), 0) << server->output();
    }
    for (auto& p : players) {
        if (p) {
            EXPECT_TRUE(p->running()) << "a decoder ended: " << p->output();
        }
    }
}

std::string RealPair::command(const std::string& t) {
    lastReplies.clear();
    EXPECT_TRUE(text.send(t)) << t;
    Json::Reader reader;
    for (;;) {
        std::optional<std::string> r = replies.next(10s);
        if (!r) return "";
        Json::Value v;
        if (!reader.parse(*r, v, false) || !v.isObject()) continue;
        if (!v.isMember("ack")) {
            lastReplies.push_back(v);
            continue;
        }
        const Json::Value& a = v["ack"].isArray() ? v["ack"][0] : v["ack"];
        return a["status"].asString();
    }
}

Json::Value RealPair::query(const std::string& t) {
    EXPECT_TRUE(text.send(t)) << t;
    Json::Value v;
    std::optional<std::string> r = replies.next(10s);
    EXPECT_TRUE(r) << "no reply to " << t;
    if (r) {
        EXPECT_TRUE(Json::Reader().parse(*r, v, false)) << *r;
    }
    return v;
}

std::map<int, std::vector<std::string>> RealPair::expectAgreement(const std::string& what) {
    const std::vector<Packet> wire = tap->takeWhenQuiet();
    std::map<int, std::vector<std::string>> sentTo;
    for (int d = 0; d < kDecoders; ++d) {
        const std::string ip = dec(d);
        std::vector<std::string> sent, answers;
        for (const Packet& p : wire) {
            if (p.from == kCtrlIp && p.to == ip && p.toPort == 8888) sent.push_back(p.text);
            if (p.from == ip && p.fromPort == 8887 && p.to == kCtrlIp) answers.push_back(p.text);
        }
        size_t next = 0;
        std::vector<std::string> unanswered;
        for (const std::string& s : sent) {
            // The verb is the text before the address; its answer is the verb with "ack" after
            // "config qel" (or, for the two verbs that answer without it, the verb itself),
            // then " #SUCCEED".
            const size_t at = s.find(" " + ip);
            const std::string verb = s.substr(0, at);
            const std::string ack = "config qel ack" + verb.substr(strlen("config qel")) +
                                    " #SUCCEED",
                              plain = verb + " #SUCCEED";
            bool repeat = false;
            if (verb == "config qel set url params" && at != std::string::npos) {
                std::istringstream in(s.substr(at + ip.size() + 2));
                int w = -1;
                in >> w;
                const size_t urlAt = s.find(' ', at + ip.size() + 2);
                const std::string url =
                    urlAsRead(urlAt == std::string::npos ? "" : s.substr(urlAt + 1));
                auto told = toldUrls[d].find(w);
                repeat = (told == toldUrls[d].end() ? "unused_window" : told->second) == url;
                toldUrls[d][w] = url;
            }
            // A repeat gets no answer: it must not take the next text's.
            bool answered = false;
            for (size_t k = next; k < answers.size() && !repeat; ++k)
                if (startsWith(answers[k], ack) || startsWith(answers[k], plain)) {
                    next = k + 1;
                    answered = true;
                    break;
                }
            if (!answered && !repeat) unanswered.push_back(s);
        }
        std::string shown;
        for (const std::string& s : sent) shown += "\n  > " + s;
        for (const std::string& a : answers) shown += "\n  < " + a;
        EXPECT_EQ(unanswered, std::vector<std::string>())
            << what << ": decoder " << ip << " did not take these texts; the exchange:" << shown;
        sentTo[d] = sent;
    }
    return sentTo;
}

std::map<int, std::vector<std::string>> RealPair::run(const std::string& t,
                                                      const std::string& status) {
    EXPECT_EQ(command(t), status) << t;
    return expectAgreement(t);
}

DecoderWindow RealPair::window(int d, int slot) const {
    char name[32];
    snprintf(name, sizeof name, "/mnt/winpara_%02d.ini", slot);
    const std::vector<std::string> l = lines(readFile(decoders.at(d)->path(name)));
    DecoderWindow w;
    if (l.empty()) return w;
    w.url = l[0];
    for (size_t i = 2; i < l.size(); ++i) w.numbers.push_back(atoi(l[i].c_str()));
    return w;
}

std::string RealPair::storedUrl(int d, int slot) const {
    // Line 1 is the save counter, then one line per slot.
    const std::vector<std::string> l = lines(readFile(decoders.at(d)->path("/mnt/config.ini")));
    return static_cast<size_t>(slot + 1) < l.size() ? l[slot + 1] : "";
}

int RealPair::splitNumber(int d) const {
    return atoi(readFile(decoders.at(d)->path("/mnt/spiltnum.ini")).c_str());
}

std::vector<int> RealPair::cutEdge(int d) const {
    std::vector<int> out;
    for (const std::string& l : lines(readFile(decoders.at(d)->path("/mnt/cutedge.ini"))))
        out.push_back(atoi(l.c_str()));
    return out;
}

std::string RealPair::decoderName(int d) const {
    const std::vector<std::string> l =
        lines(readFile(decoders.at(d)->path("/mnt/decodername.ini")));
    return l.empty() ? "" : l[0];
}

}  // namespace realpair
