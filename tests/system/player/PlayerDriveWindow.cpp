// The window, sync and loss commands of rxplayer_playerdrive, and its watch tick.
#include "PlayerDriveWindow.h"

#include <time.h>

#include <cstdarg>

#include <chrono>
#include <cstdio>

#include "DecodeState.h"
#include "hi_platform.h"

namespace {

// The URL "show" last gave each slot; empty for none. Only the main thread uses it.
std::string shownUrl[QEL_SLOT_MAX];
int currentSplit = 0;

long long msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 t0)
        .count();
}

long long monotonicUs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[1200];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

}  // namespace

bool handleWindowCommand(const char* line, std::string* reply) {
    int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0, g = 0;
    char url[1024];
    auto t0 = std::chrono::steady_clock::now();
    if (sscanf(line, "show %d %1023s %d", &a, url, &b) == 3) {
        int rc = qelShow(a, url, b);
        if (a >= 0 && a < QEL_SLOT_MAX) shownUrl[a] = url;
        *reply = format("show %d %d %lld", a, rc, msSince(t0));
        return true;
    }
    if (sscanf(line, "qstop %d", &a) == 1) {
        int rc = qelStop(a);
        *reply = format("qstop %d %d %lld", a, rc, msSince(t0));
        return true;
    }
    if (sscanf(line, "clip %d %d %d %d %d %d %d", &a, &b, &c, &d, &e, &f, &g) == 7) {
        *reply = format("clip %d %d", a, qelClipWin(a, b, c, d, e, f, g));
        return true;
    }
    if (sscanf(line, "split %d %d", &a, &b) == 2) {
        int rc = 0;
        if (qelCheckWhetherNeedSetSplit(currentSplit, a) == 1) rc = qelSetSplitPara(a, b);
        currentSplit = a;
        *reply = format("split %d %d", a, rc);
        return true;
    }
    if (sscanf(line, "sync %d %d %d", &a, &b, &c) == 3) {
        int rc = qelSetSync(a, b, c);
        int adjust = a >= 0 && a < QEL_SLOT_MAX && vsm[a] ? vsm[a]->iSyncAdjust.load() : 0;
        *reply = format("sync %d %d %d", a, rc, adjust);
        return true;
    }
    if (sscanf(line, "syncmode %d", &a) == 1) {
        *reply = format("syncmode %d %d", a, qelSetSyncClose(a));
        return true;
    }
    if (sscanf(line, "syncoffset %d %d", &a, &b) == 2) {
        *reply = format("syncoffset %d %d", a, qelSetSyncOffset(a, b));
        return true;
    }
    if (sscanf(line, "disp %d", &a) == 1) {
        HI_U64 vo = 0, cur = 0;
        HI_MPI_VO_GetChnPts(0, a, &vo);
        HI_MPI_SYS_GetCurPts(&cur);
        *reply = format("disp %d %llu %llu %lld", a, static_cast<unsigned long long>(vo),
                        static_cast<unsigned long long>(cur), monotonicUs());
        return true;
    }
    return false;
}

void watchTick() {
    qelDetectVideoActive();
    for (int s = 0; s < QEL_SLOT_MAX; s++) {
        if (shownUrl[s].empty() || vsm[s] == nullptr || !isActiveSlot(s) || vsm[s]->is_Exist == 1)
            continue;
        if (qelShow(s, shownUrl[s].c_str(), 2) != 0) qel_DecodeJpg(readerDisplayIndex(s));
    }
}
