// Linked into a fuzz target whose code under test waits for devices that never answer (they are
// not there): on the fuzzing thread every sleep returns at once and every poll looks once
// without waiting, so one input runs in microseconds instead of seconds of pauses and
// time-outs. Other threads (the code's own workers) wait as they would, so their idle loops do
// not spin. The thread that calls LLVMFuzzerTestOneInput marks itself with qelfuzz::noWaits().
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace qelfuzz {

namespace {
thread_local bool tNoWaits = false;

int realSleep(const timespec* req, timespec* rem) {
    const int r = clock_nanosleep(CLOCK_MONOTONIC, 0, req, rem);
    if (r != 0) {
        errno = r;
        return -1;
    }
    return 0;
}
}  // namespace

void noWaits() {
    tNoWaits = true;
}

}  // namespace qelfuzz

extern "C" {

int nanosleep(const timespec* req, timespec* rem) {
    if (qelfuzz::tNoWaits) return 0;
    return qelfuzz::realSleep(req, rem);
}

int usleep(useconds_t us) {
    if (qelfuzz::tNoWaits) return 0;
    timespec t{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
    return qelfuzz::realSleep(&t, nullptr);
}

unsigned int sleep(unsigned int s) {
    if (qelfuzz::tNoWaits) return 0;
    timespec t{static_cast<time_t>(s), 0};
    return qelfuzz::realSleep(&t, nullptr) == 0 ? 0 : s;
}

int poll(pollfd* fds, nfds_t n, int timeout) {
    timespec t{0, 0};
    if (!qelfuzz::tNoWaits && timeout >= 0)
        t = timespec{static_cast<time_t>(timeout / 1000),
                     static_cast<long>(timeout % 1000) * 1000000};
    return ppoll(fds, n, !qelfuzz::tNoWaits && timeout < 0 ? nullptr : &t, nullptr);
}

}  // extern "C"
