// The main loop of the decoder: it owns every opening, reopening and stopping of the window
// streams; the command threads post change codes and wake it.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>

#include "control/qelDecode.h"
#include "display/qelGraphics.h"

std::atomic<int> loop{0};
std::atomic<int> WdtFd{-1};
std::mutex gWinLock;
char param[QEL_SLOTS][QEL_URL_SIZE];
signed char open_result[QEL_SLOTS];
int update_info[QEL_SLOTS][2];
int ChannelUse[6] = {0, 1, 2, 3, 4, 17};
std::atomic<int> need_handle_message_right_now{0};
std::atomic<int> main_loop_delay_ready{0};
int cur_video_win_num, full_multi, full_iWin;
int cur_video_win_num_temp, full_multi_temp, full_iWin_temp;
PlayerOps gPlayer;

namespace {

std::mutex gWakeLock;
std::condition_variable gWake;
int main_loop_delay_temp = 0;

const char* const kUnused = "unused_window";

bool isUnused(const char* url) {
    return strncmp(url, kUnused, 13) == 0;
}
bool hasUrl(const char* url) {
    return url[0] != 0 && !isUnused(url);
}

// Lays the OSD out again when the window count or the full-screen state changed since the last
// layout.
void refreshFullScreen() {
    int full = 0, win = 0;
    int count = gPlayer.detectFullScreen(&full, &win);
    cur_video_win_num = count;
    full_multi = full;
    full_iWin = win;
    if (cur_video_win_num != cur_video_win_num_temp || full_multi != full_multi_temp ||
        (full_multi && full_iWin != full_iWin_temp))
        graphics_Init(cur_video_win_num, full_multi, full_iWin);
    cur_video_win_num_temp = cur_video_win_num;
    full_multi_temp = full_multi;
    full_iWin_temp = full_iWin;
}

// Consumes the first posted change code, if any; a URL change marks the slot that shows the
// window for reopening.
void takeOneChange(int n) {
    int c = -1;
    {
        std::lock_guard<std::mutex> g(gWinLock);
        for (int s = 0; s < n; ++s)
            if (update_info[s][0] != 0) {
                c = s;
                break;
            }
    }
    if (c < 0) return;
    refreshFullScreen();
    std::lock_guard<std::mutex> g(gWinLock);
    if (update_info[c][0] == 1 && update_info[c][1] == 2 && !isUnused(param[c])) {
        if (ChannelUse[5] == c && open_result[c] == 0) open_result[c] = -1;
        if (ChannelUse[c % 5] == c) {
            printf("open_result[%d]: %d \n", c, open_result[c]);
            if (open_result[c] == 0) open_result[c] = -1;
        }
    }
    update_info[c][0] = 0;
    update_info[c][1] = 0;
}

// A standby slot is opened by the window verbs, never by the loop.
bool isSlotInUse(int i) {
    if (i == 17 || i == 10) return ChannelUse[5] == i;
    if (i < 10) return ChannelUse[i % 5] == i;
    return true;
}

}  // namespace

void copyText(char* dst, size_t size, const char* src) {
    if (size == 0) return;
    if (src == nullptr) src = "";
    size_t n = strnlen(src, size - 1);
    memmove(dst, src, n);
    dst[n] = 0;
}

void wakeMainLoop() {
    {
        std::lock_guard<std::mutex> g(gWakeLock);
        need_handle_message_right_now = 1;
    }
    gWake.notify_all();
}

namespace {

void notifyTick() {
    { std::lock_guard<std::mutex> g(gWakeLock); }
    gWake.notify_all();
}

}  // namespace

void mainLoopTick() {
    ++main_loop_delay_ready;
    notifyTick();
}

void openStoredStreams() {
    for (int i = 0; i < QEL_SLOTS; ++i) {
        feedWdt();
        // The player has 18 slots; the stored table has 32.
        if (i < QEL_PLAYER_SLOTS) gPlayer.decodeJpg(i);
        char url[QEL_URL_SIZE];
        {
            std::lock_guard<std::mutex> g(gWinLock);
            update_info[i][0] = 0;
            update_info[i][1] = 0;
            open_result[i] = -1;
            copyText(url, sizeof url, param[i]);
        }
        if (i >= QEL_PLAYER_SLOTS || !hasUrl(url)) continue;
        char r = static_cast<char>(gPlayer.show(i, url, 2));
        {
            std::lock_guard<std::mutex> g(gWinLock);
            open_result[i] = r;
        }
        printf("open_result[%d], %d\n", i, r);
    }
}

void mainLoopPass() {
    int n = gPlayer.getVideoWinMax();
    if (n > QEL_PLAYER_SLOTS) n = QEL_PLAYER_SLOTS;
    for (int i = 0; i < n; ++i) {
        int count = 0, width = 0, height = 0;
        int k = gPlayer.isVideoExisted(i, &count, &width, &height);
        const int iFull = 2;
        takeOneChange(n);

        // The URL is copied out: no lock is held while the player opens or stops a stream.
        char url[QEL_URL_SIZE];
        bool reopen, stop;
        {
            std::lock_guard<std::mutex> g(gWinLock);
            copyText(url, sizeof url, param[i]);
            reopen = (open_result[i] != 0 || k == 0) && hasUrl(url) && isSlotInUse(i);
            stop = open_result[i] == 0 && isUnused(url);
        }
        if (reopen) {
            feedWdt();
            int r = gPlayer.show(i, url, iFull);
            {
                std::lock_guard<std::mutex> g(gWinLock);
                open_result[i] = static_cast<signed char>(r);
            }
            if (r != 0) gPlayer.decodeJpg(i);
        }
        if (stop) {
            feedWdt();
            gPlayer.stop(i);
            // The slot is closed now; without this every later pass would stop it again.
            std::lock_guard<std::mutex> g(gWinLock);
            open_result[i] = -1;
        }
        if (isUnused(url)) gPlayer.decodeJpg(i);
        refreshFullScreen();
    }
}

void mainLoopRun() {
    while (loop) {
        feedWdt();
        bool ready;
        {
            std::unique_lock<std::mutex> lk(gWakeLock);
            ready = gWake.wait_for(lk, std::chrono::seconds(1), [] {
                return !loop || need_handle_message_right_now ||
                       main_loop_delay_ready != main_loop_delay_temp;
            });
        }
        if (!loop) break;
        if (!ready) continue;
        need_handle_message_right_now = 0;
        int tick = main_loop_delay_ready;
        if (tick != main_loop_delay_temp) {
            gPlayer.detectVideoActive();
            main_loop_delay_temp = tick;
        }
        mainLoopPass();
    }
}
