// Delayed actions (the main loop's 5-s tick and the end of a window hide), the network watcher
// and the watchdog feed.
#include <linux/watchdog.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "control/qelDecode.h"
#include "control/qelGet_ip.h"
#include "display/qelGraphics.h"
#include "qel_dev.h"

std::atomic<int> main_loop_delay_Count1{0};
std::atomic<int> main_loop_delay_Count2{0};
std::atomic<int> main_loop_Hide_TCnt{15};
std::atomic<int> main_loop_need_compare{0};
std::atomic<int> iDisplayCurInfoIP{0};
std::atomic<int> iDisplayAllInfo{0};
std::atomic<int> iDisplayCurInfo{1};
std::atomic<signed char> flg_eth0{0};
std::atomic<signed char> flg_eth1{0};

namespace {

timeval tv_time_Start{0, 0};
timeval tv_time_CheckNet{0, 0};

long secondsSince(const timeval& t) {
    timeval now;
    gettimeofday(&now, nullptr);
    return static_cast<long>(now.tv_sec - t.tv_sec);
}

void showInfo(unsigned char index) {
    netPm net;
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        net = MyNetParam;
    }
    graphicsDisplayCurInfo(net.IP, 1, 0);
    if (index == 1) graphicsDisplayCurInfo(const_cast<char*>(QEL_VERSION_STRING), 1, 1);
}

}  // namespace

void markStartTime() {
    gettimeofday(&tv_time_Start, nullptr);
}

void feedWdt() {
    int fd = WdtFd;
    if (fd < 0) return;
    int dummy = 0;
    if (qelDev_ioctl(fd, WDIOC_KEEPALIVE, &dummy) != 0) puts("Feed watchdog fail !");
}

int main_loop_delay_thread(void*) {
    while (loop) {
        for (int i = 0; i < 25 && loop; ++i) {
            usleep(200 * 1000);
            int c1 = ++main_loop_delay_Count1;
            int c2 = main_loop_delay_Count2;
            if (main_loop_need_compare && (c1 - c2 >= main_loop_Hide_TCnt || c2 > c1)) {
                printf(
                    "call qel_ResumeChn main_loop_delay_Count2: %d  main_loop_delay_Count1: %d \n",
                    c2, c1);
                gPlayer.resumeChn();
                main_loop_need_compare = 0;
            }
        }
        mainLoopTick();
    }
    return 0;
}

int GetNetStat(void*) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    gettimeofday(&tv_time_CheckNet, nullptr);
    long waited = secondsSince(tv_time_Start);
    if (waited < 6) sleep(static_cast<unsigned>(6 - waited));
    while (loop) {
        struct ifreq r;
        memset(&r, 0, sizeof r);
        strncpy(r.ifr_name, "eth0", IFNAMSIZ - 1);
        bool running = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &r) == 0 && (r.ifr_flags & IFF_RUNNING);
        if (!running) {
            puts("eth0 Link is DOWN.");
            flg_eth0 = 0;
        } else {
            flg_eth0 = 1;
        }
        usleep(500 * 1000);
        if (iDisplayCurInfoIP == 1) {
            iDisplayCurInfoIP = 0;
            iDisplayCurInfo = 1;
            gettimeofday(&tv_time_CheckNet, nullptr);
            showInfo(0);
        }
        if (iDisplayAllInfo == 1) {
            iDisplayAllInfo = 0;
            iDisplayCurInfo = 1;
            gettimeofday(&tv_time_CheckNet, nullptr);
            showInfo(1);
        }
        if (iDisplayCurInfo && secondsSince(tv_time_CheckNet) > 9) {
            iDisplayCurInfo = 0;
            graphicsDisplayCurInfo(const_cast<char*>(""), 0, 0);
            graphicsDisplayCurInfo(const_cast<char*>(QEL_VERSION_STRING), 0, 1);
        }
    }
    if (fd >= 0) close(fd);
    return 0;
}
