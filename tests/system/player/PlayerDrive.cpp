// rxplayer_playerdrive: the stream player with its display pipeline on the platform stand-in,
// driven over UDP port 9901 by black-box tests and the benchmark, one line per datagram:
//   "start S URL" -> "start S RC MS"   start URL in slot S (RC 0 plays), MS milliseconds taken
//   "stop S"      -> "stop S RC MS"
//   "pre I S"     -> "pre I S 0"       slot S is to take window pair I over
//   "state"       -> {"threads", "use", "pre", "slots": [{"slot", "status", "exist", "frames",
//                     "videoPts"}]}
// and the window, sync and loss commands of PlayerDriveWindow.h. With --watch the main loop
// checks the playing windows every 5 s (watchTick). SIGTERM stops every slot, then the program
// ends with status 0.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "DecodeState.h"
#include "PlayerDriveWindow.h"
#include "PlayerTools.h"
#include "box/Box.h"

namespace {

std::atomic<bool> stopRequested{false};

void onTerm(int) {
    stopRequested = true;
}

std::string stateJson() {
    std::string o = "{\"threads\":" + std::to_string(playertools::threadCount()) + ",\"use\":[";
    for (int i = 0; i < QEL_WIN_INDEX_NUM; i++)
        o += (i ? "," : "") + std::to_string(decode_ChannelUse[i].load());
    o += "],\"pre\":[";
    for (int i = 0; i < QEL_WIN_INDEX_NUM; i++)
        o += (i ? "," : "") + std::to_string(decode_ChannelPre[i].load());
    o += "],\"slots\":[";
    for (int s = 0; s < QEL_SLOT_MAX; s++) {
        const VideoState* is = vsm[s];
        if (is == nullptr) continue;
        o += std::string(s ? "," : "") + "{\"slot\":" + std::to_string(s) +
             ",\"status\":" + std::to_string(is->thread_read_status.load()) +
             ",\"exist\":" + std::to_string(is->is_Exist.load()) +
             ",\"frames\":" + std::to_string(is->FrameCounter.load()) +
             ",\"videoPts\":" + std::to_string(is->videoPts.load()) + "}";
    }
    return o + "]}";
}

bool slotOk(int s) {
    return s >= 0 && s < QEL_SLOT_MAX && vsm[s] != nullptr;
}

long long msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 t0)
        .count();
}

std::string handle(const char* line) {
    int a = 0, b = 0;
    char url[1024];
    char reply[1200];
    auto t0 = std::chrono::steady_clock::now();
    if (sscanf(line, "start %d %1023s", &a, url) == 2) {
        int rc = slotOk(a) ? stream_start(vsm[a], url, nullptr) : -1;
        snprintf(reply, sizeof reply, "start %d %d %lld", a, rc, msSince(t0));
        return reply;
    }
    if (sscanf(line, "stop %d", &a) == 1) {
        int rc = slotOk(a) ? stream_stop(vsm[a]) : -1;
        snprintf(reply, sizeof reply, "stop %d %d %lld", a, rc, msSince(t0));
        return reply;
    }
    if (sscanf(line, "pre %d %d", &a, &b) == 2) {
        updateChannelPre(a, b);
        snprintf(reply, sizeof reply, "pre %d %d 0", a, b);
        return reply;
    }
    if (strncmp(line, "state", 5) == 0) return stateJson();
    std::string windowReply;
    if (handleWindowCommand(line, &windowReply)) return windowReply;
    return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
    if (!box::requireRoot("rxplayer_playerdrive")) return 1;
    bool watch = argc > 1 && strcmp(argv[1], "--watch") == 0;
    setvbuf(stdout, nullptr, _IOLBF, 0);
    struct sigaction sa {};
    sa.sa_handler = onTerm;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    qelSetWinRow(18);
    qelInitLib(1, ZURIR_VO_OUTPUT_1080P60);

    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(9901);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        perror("playerdrive: bind 9901");
        return 1;
    }
    timeval tv{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    printf("playerdrive ready\n");

    char buf[2048];
    auto nextTick = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!stopRequested) {
        if (watch && std::chrono::steady_clock::now() >= nextTick) {
            watchTick();
            nextTick += std::chrono::seconds(5);
        }
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        ssize_t n =
            recvfrom(fd, buf, sizeof buf - 1, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n <= 0) continue;
        buf[n] = 0;
        while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r')) buf[--n] = 0;
        std::string reply = handle(buf);
        sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen);
    }
    for (VideoState* is : vsm)
        if (is != nullptr) stream_stop(is);
    close(fd);
    printf("playerdrive stopped\n");
    return 0;
}
