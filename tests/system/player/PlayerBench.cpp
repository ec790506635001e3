// player_bench: speed and load figures of the stream player on the platform stand-in (printed,
// never asserted; run by scripts/bench-player).
//   player_bench feed FILE      P2: CPU per packet of FILE fed to decode channel 0, against
//                               "ffmpeg -i FILE -c copy -f null -" on the same file
//   player_bench load URL [S]   P3: 18 slots playing URL for S seconds (60): CPU and RSS, how
//                               many slots read and how many decode channels they feed
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
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

double ffmpegCpu(const char* file) {
    pid_t pid = fork();
    if (pid == 0) {
        execlp("ffmpeg", "ffmpeg", "-hide_banner", "-loglevel", "error", "-i", file, "-c", "copy",
               "-f", "null", "-", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage r{};
    if (pid < 0 || wait4(pid, &status, 0, &r) < 0 || !WIFEXITED(status) || WEXITSTATUS(status))
        return -1;
    return cpuSeconds(r);
}

int feed(const char* file) {
    const int packets = playertools::videoPackets(file);
    if (packets <= 0 || !startPlayer()) {
        fprintf(stderr, "player_bench: cannot read %s or start the player\n", file);
        return 1;
    }
    // The platform clock runs far ahead, so every time-stamped frame is late and shown at once:
    // the decoder never holds the reader back and the figure is the reader's own cost.
    HI_MPI_SYS_InitPtsBase(1ull << 50);
    VideoState* is = vsm[0];
    double c0 = selfCpu();
    auto t0 = std::chrono::steady_clock::now();
    if (stream_start(is, file, nullptr) != 0) {
        fprintf(stderr, "player_bench: %s does not play\n", file);
        return 1;
    }
    is->iSyncCurTimeSetOffset = 1;
    is->iSyncAdjust = 1;
    while (is->FrameCounter < packets &&
           std::chrono::steady_clock::now() - t0 < std::chrono::seconds(600))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    double ours = (selfCpu() - c0) / packets * 1e6;
    int counted = is->FrameCounter;
    unsigned long long fed = qelsimStreams(0);
    stream_stop(is);
    double theirs = ffmpegCpu(file) / packets * 1e6;
    printf("P2 packets=%d counted=%d fed=%llu\n", packets, counted, fed);
    printf("P2 ours_us=%.2f ffmpeg_us=%.2f ratio=%.2f\n", ours, theirs,
           theirs > 0 ? ours / theirs : 0.0);
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
    if (argc >= 3 && strcmp(argv[1], "feed") == 0) return feed(argv[2]);
    if (argc >= 3 && strcmp(argv[1], "load") == 0)
        return load(argv[2], argc >= 4 ? atoi(argv[3]) : 60);
    fprintf(stderr, "usage: player_bench feed FILE | load URL [SECONDS]\n");
    return 2;
}
