// player_bench: speed and load figures of the stream player on the platform stand-in (printed,
// never asserted; run by scripts/bench-player).
//   player_bench feed FILE [N]  P2: CPU per packet of FILE fed to decode channel 0, against
//                               "ffmpeg -i FILE -c copy -f null -" on the same file: N runs of
//                               each (at least 9), alternating, with their median and spread;
//                               with QEL_P2_CALLGRIND=1 also the instructions per packet of
//                               both sides as callgrind counts them, a figure the machine's
//                               load does not move
//   player_bench load URL [S]   P3: 18 slots playing URL for S seconds (60): CPU and RSS, how
//                               many slots read and how many decode channels they feed
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>
#include <thread>

#include "DecodeState.h"
#include "PlayerTools.h"
#include "box/Box.h"
#include "SimControl.h"
#include "hi_platform.h"

namespace {

double cpuSeconds(const rusage& r) {
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double selfCpu() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return cpuSeconds(r);
}

double rssMb() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0) return atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// A box root of our own, with windows 0..4 and 17 shown side by side.
bool prepareRoot() {
    if (getenv("QEL_ROOT") == nullptr) {
        char tmpl[] = "/tmp/qelbench-XXXXXX";
        if (mkdtemp(tmpl) == nullptr) return false;
        setenv("QEL_ROOT", tmpl, 1);
    }
    box::makeDirs("/mnt");
    return playertools::writeShownWindows([](const std::string& p) { return box::path(p); });
}

bool startPlayer() {
    if (!prepareRoot()) return false;
    qelSetWinRow(18);
    return qelInitLib(1, ZURIR_VO_OUTPUT_1080P60) == 0;
}

uint64_t qelsimStreams(int chn) {
    return qelsim::state().vdec[chn].streams;
}

// CPU seconds (user and system, all threads) of a child process running argv to its end; -1
// when it cannot be run or does not end with status 0. Both sides of the feed figure are timed
// this way, start-up included.
double childCpu(const std::vector<std::string>& argv) {
    pid_t pid = fork();
    if (pid == 0) {
        // What the sides print is not the figure's.
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage r{};
    if (pid < 0 || wait4(pid, &status, 0, &r) < 0 || !WIFEXITED(status) || WEXITSTATUS(status))
        return -1;
    return cpuSeconds(r);
}

// One run of our side (player_bench feed-once FILE PACKETS): starts the player, plays FILE in
// slot 0 until every video packet has been counted, and ends. Status 0 when every packet was
// counted and fed.
int feedOnce(const char* file, int packets) {
    // The library logs as ffmpeg does on the other side: errors only.
    av_log_set_level(AV_LOG_ERROR);
    if (!startPlayer()) return 1;
    // The stand-in's files of the start-up (the state and the on-screen display's picture) are
    // written now, before the stream starts, in every run alike.
    qelsim::writeSnapshot();
    // The platform clock runs far ahead, so every time-stamped frame is late and shown at once:
    // the decoder never holds the reader back and the figure is the reader's own cost.
    HI_MPI_SYS_InitPtsBase(1ull << 50);
    VideoState* is = vsm[0];
    if (stream_start(is, file, nullptr) != 0) return 1;
    is->iSyncCurTimeSetOffset = 1;
    is->iSyncAdjust = 1;
    auto t0 = std::chrono::steady_clock::now();
    // Looked at seldom: the waiting costs this process next to nothing.
    while (is->FrameCounter < packets &&
           std::chrono::steady_clock::now() - t0 < std::chrono::seconds(600))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // The first packet is held back by the gate; the init packet is sent in its place.
    bool whole = is->FrameCounter == packets && qelsimStreams(0) == static_cast<uint64_t>(packets);
    stream_stop(is);
    if (!whole)
        fprintf(stderr, "player_bench: counted %d, fed %llu of %d packets\n",
                static_cast<int>(is->FrameCounter),
                static_cast<unsigned long long>(qelsimStreams(0)), packets);
    return whole ? 0 : 1;
}

// Instructions of a child process running argv to its end as callgrind counts them, start-up
// included; -1 when it fails. With onlyIn (a callgrind function pattern) only those made inside
// that function and what it calls are counted.
double childInstructions(const std::vector<std::string>& argv, const std::string& onlyIn) {
    const std::string log = box::path("/callgrind.log");
    std::vector<std::string> cmd = {"valgrind", "--tool=callgrind",
                                    "--callgrind-out-file=/dev/null", "--log-file=" + log};
    if (!onlyIn.empty()) cmd.push_back("--toggle-collect=" + onlyIn);
    cmd.insert(cmd.end(), argv.begin(), argv.end());
    if (childCpu(cmd) < 0) return -1;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find("Collected : ");
        if (at != std::string::npos) return strtod(line.c_str() + at + 12, nullptr);
    }
    return -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void printSpread(const char* name, const std::vector<double>& v) {
    printf("P2 %s median=%.2f min=%.2f max=%.2f\n", name, median(v),
           *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
}

// P2: CPU per packet of FILE played by the player on the stand-in against "ffmpeg -c copy -f
// null" on the same file. Each side runs as a process of its own, timed by the kernel's account
// of the whole process, on FILE and on its first kHeadPackets video packets: the difference
// over the packets between is the cost per packet with start-up, open and probe subtracted on
// both sides alike. The runs alternate between the sides, and which goes first alternates too,
// so that a slow spell of the machine falls on both.
const int kHeadPackets = 250;

int feed(const char* self, const char* file, int runs) {
    const int packets = playertools::videoPackets(file);
    if (packets <= kHeadPackets || !prepareRoot()) {
        fprintf(stderr, "player_bench: cannot read %s (more than %d packets) or make a box root\n",
                file, kHeadPackets);
        return 1;
    }
    const std::string head = box::path("/feed-head.ts");
    if (childCpu({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", file, "-map", "0",
                  "-c", "copy", "-frames:v", std::to_string(kHeadPackets), "-f", "mpegts", head}) <
        0) {
        fprintf(stderr, "player_bench: cannot cut %s\n", file);
        return 1;
    }
    const int headPackets = playertools::videoPackets(head);
    auto ours = [&](const std::string& f, int n) {
        return childCpu({self, "feed-once", f, std::to_string(n)});
    };
    auto theirs = [&](const std::string& f) {
        return childCpu({"ffmpeg", "-hide_banner", "-loglevel", "error", "-i", f, "-c", "copy",
                         "-f", "null", "-"});
    };
    const double between = packets - headPackets;
    std::vector<double> oursUs, theirsUs, ratios;
    for (int i = 0; i < runs; i++) {
        double o = 0, oh = 0, t = 0, th = 0;
        if (i % 2 == 0) {
            o = ours(file, packets);
            t = theirs(file);
            oh = ours(head, headPackets);
            th = theirs(head);
        } else {
            t = theirs(file);
            o = ours(file, packets);
            th = theirs(head);
            oh = ours(head, headPackets);
        }
        if (o < 0 || oh < 0 || t < 0 || th < 0 || t - th <= 0) {
            fprintf(stderr, "player_bench: run %d failed\n", i + 1);
            return 1;
        }
        oursUs.push_back((o - oh) / between * 1e6);
        theirsUs.push_back((t - th) / between * 1e6);
        ratios.push_back((o - oh) / (t - th));
        printf("P2 run=%d ours_us=%.2f ffmpeg_us=%.2f ratio=%.2f\n", i + 1, oursUs.back(),
               theirsUs.back(), ratios.back());
    }
    printf("P2 packets=%d head=%d runs=%d (CPU per packet, start-up subtracted on both sides)\n",
           packets, headPackets, runs);
    printSpread("ours_us", oursUs);
    printSpread("ffmpeg_us", theirsUs);
    printSpread("ratio", ratios);
    const char* counted = getenv("QEL_P2_CALLGRIND");
    if (counted == nullptr || strcmp(counted, "1") != 0) return 0;
    // Instructions per packet, start-up subtracted as above. Ours is counted for the whole
    // process and for the reader thread alone: the stand-in's watcher writes its files by the
    // clock, and under callgrind the clock runs many times slower than the program.
    char exe[4096];
    ssize_t len = readlink(self, exe, sizeof exe - 1);
    if (len <= 0) return 1;
    exe[len] = '\0';
    auto oursIn = [&](const std::string& f, int n, const std::string& only) {
        return childInstructions({exe, "feed-once", f, std::to_string(n)}, only);
    };
    auto theirsIn = [&](const std::string& f) {
        return childInstructions({"ffmpeg", "-hide_banner", "-loglevel", "error", "-i", f, "-c",
                                  "copy", "-f", "null", "-"},
                                 "");
    };
    const double o = oursIn(file, packets, "") - oursIn(head, headPackets, "");
    const double r =
        oursIn(file, packets, "read_thread*") - oursIn(head, headPackets, "read_thread*");
    const double t = theirsIn(file) - theirsIn(head);
    printf(
        "P2 instructions_per_packet ours=%.0f ours_reader=%.0f ffmpeg=%.0f ratio=%.3f "
        "reader_ratio=%.3f (callgrind, start-up subtracted)\n",
        o / between, r / between, t / between, o / t, r / t);
    return 0;
}

int load(const char* url, int seconds) {
    if (!startPlayer()) {
        fprintf(stderr, "player_bench: cannot start the player\n");
        return 1;
    }
    int failed = 0;
    for (int s = 0; s < QEL_SLOT_MAX; s++)
        if (stream_start(vsm[s], url, nullptr) != 0) {
            fprintf(stderr, "player_bench: slot %d does not play %s\n", s, url);
            failed++;
        }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    // Every decode channel is watched: the figure says how many the 18 streams really feed.
    uint64_t pts0[QEL_SLOT_MAX], fed0[QEL_SLOT_MAX];
    for (int s = 0; s < QEL_SLOT_MAX; s++) pts0[s] = vsm[s]->videoPts;
    for (int c = 0; c < QEL_SLOT_MAX; c++) fed0[c] = qelsimStreams(c);
    double c0 = selfCpu();
    auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double cpu = selfCpu() - c0;
    double rss = rssMb();
    double ptsMin = 1e18, ptsMax = 0, fedMin = 1e18, fedMax = 0;
    int reading = 0, fedChannels = 0;
    for (int s = 0; s < QEL_SLOT_MAX; s++) {
        // videoPts counts milliseconds x 48 in 32 bits.
        double adv = static_cast<uint32_t>(vsm[s]->videoPts - pts0[s]) / 48000.0;
        ptsMin = std::min(ptsMin, adv);
        ptsMax = std::max(ptsMax, adv);
        if (adv > 0) reading++;
    }
    for (int c = 0; c < QEL_SLOT_MAX; c++) {
        double rate = (qelsimStreams(c) - fed0[c]) / wall;
        if (rate <= 0) continue;
        fedChannels++;
        fedMin = std::min(fedMin, rate);
        fedMax = std::max(fedMax, rate);
    }
    if (fedChannels == 0) fedMin = 0;
    // The 18-window model feeds at most six decode channels (windows 0..4 and 17, each from
    // the active one of its two slots); the other slots read their streams and drop them.
    printf(
        "P3 slots=18 failed=%d seconds=%.1f reading=%d fed_channels=%d "
        "pts_advance_s=%.2f..%.2f fed_per_s=%.1f..%.1f\n",
        failed, wall, reading, fedChannels, ptsMin, ptsMax, fedMin, fedMax);
    printf("P3 cpu_cores=%.3f rss_mb=%.1f\n", cpu / wall, rss);
    for (VideoState* is : vsm) stream_stop(is);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc >= 3 && strcmp(argv[1], "feed") == 0)
        return feed("/proc/self/exe", argv[2], argc >= 4 ? std::max(9, atoi(argv[3])) : 9);
    if (argc >= 4 && strcmp(argv[1], "feed-once") == 0) return feedOnce(argv[2], atoi(argv[3]));
    if (argc >= 3 && strcmp(argv[1], "load") == 0)
        return load(argv[2], argc >= 4 ? atoi(argv[3]) : 60);
    fprintf(stderr, "usage: player_bench feed FILE [RUNS] | load URL [SECONDS]\n");
    return 2;
}
