// The decoder control: process-wide state shared by main, its main loop, the command servers,
// the delayed-action thread and the network watcher.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

#include "display/qelDrvLib.h"

#define QEL_VERSION_STRING "V1.6.2.1_0104_2019"
#define QEL_SLOTS 32         // stored URL slots
#define QEL_PLAYER_SLOTS 18  // slots the player has
#define QEL_URL_SIZE 512
#define QEL_NAME_SIZE 32

extern std::atomic<int> loop;
extern std::atomic<int> WdtFd;

// Window state shared by the command threads and the main loop; guarded by gWinLock.
extern std::mutex gWinLock;
extern char param[QEL_SLOTS][QEL_URL_SIZE];
// Signed: -1 marks a slot whose stream failed to open (plain char is unsigned on ARM).
extern signed char open_result[QEL_SLOTS];
extern int update_info[QEL_SLOTS][2];
extern int ChannelUse[6];

// Wakes the main loop: a command posted a change code, or the 5-s tick moved.
extern std::atomic<int> need_handle_message_right_now;
extern std::atomic<int> main_loop_delay_ready;
void wakeMainLoop();
// The delayed-action thread's 5-s tick: moves main_loop_delay_ready and wakes the loop.
void mainLoopTick();

// Full-screen bookkeeping of the main loop.
extern int cur_video_win_num, full_multi, full_iWin;
extern int cur_video_win_num_temp, full_multi_temp, full_iWin_temp;

// Delayed actions and network watcher.
extern std::atomic<int> main_loop_delay_Count1;
extern std::atomic<int> main_loop_delay_Count2;
extern std::atomic<int> main_loop_Hide_TCnt;
extern std::atomic<int> main_loop_need_compare;
extern std::atomic<int> iDisplayCurInfoIP;
extern std::atomic<int> iDisplayAllInfo;
extern std::atomic<int> iDisplayCurInfo;
extern std::atomic<signed char> flg_eth0;
extern std::atomic<signed char> flg_eth1;

// The stream player calls the decoder control makes. main fills it with the real player; the
// tests with a recording fake.
struct PlayerOps {
    int (*show)(int slot, const char* url, int iFull) = nullptr;
    void (*stop)(int slot) = nullptr;
    void (*decodeJpg)(int slot) = nullptr;
    void (*detectVideoActive)() = nullptr;
    int (*getVideoWinMax)() = nullptr;
    int (*isVideoExisted)(int slot, int* count, int* width, int* height) = nullptr;
    int (*detectFullScreen)(int* full, int* win) = nullptr;
    void (*resumeChn)() = nullptr;
    // The window calls of the command verbs.
    int (*suspendChn)(int win, int onlyClippedShown) = nullptr;
    void (*updateChannelPre)(int index, int slot) = nullptr;
    int (*checkWhetherNeedSetSplit)(int current, int wanted) = nullptr;
    void (*setSplitPara)(int split, int x) = nullptr;
    void (*layerWin)(int win, int layer) = nullptr;
    void (*displayWin)(int win, int show) = nullptr;
    void (*clipWin)(int win, int xs, int xe, int ys, int ye, int layer, int show) = nullptr;
    void (*posWin)(int win, int xs, int xe, int ys, int ye, int layer, int show) = nullptr;
    void (*videoWin)(int win, const int pos[4], const int clip[4], int layer, int show) = nullptr;
    void (*setSync)(int slot, int timeBase, int offset) = nullptr;
    void (*setSyncOffset)(int slot, int offset) = nullptr;
    void (*setSyncClose)(int mode) = nullptr;
};
extern PlayerOps gPlayer;

// Copies at most size-1 characters of src and terminates dst.
void copyText(char* dst, size_t size, const char* src);

// One pass of the main loop over the player's slots (steps after the wake-up).
void mainLoopPass();
// Waits for a wake flag or a tick (at most 1 s per wait, feeding the watchdog at each wake),
// runs the activity check on a tick, then one pass. Returns when loop is cleared.
void mainLoopRun();
// The first opening of every stored stream at start-up.
void openStoredStreams();

// Delayed-action thread, network watcher and the watchdog feed.
int main_loop_delay_thread(void*);
int GetNetStat(void*);
void feedWdt();
// Records the start time the network watcher measures its first pause from.
void markStartTime();
