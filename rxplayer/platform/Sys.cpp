// The system calls that would change the machine: recorded in the state, never made.
#include <cerrno>

#include "SimInternal.h"
#include "qel_sys.h"

using namespace qelsim;
using namespace qelsim::detail;

int qelSys_settimeofday(const struct timeval* tv) {
    Sim& s = sim();
    std::unique_lock<std::mutex> simLock(s.mu);
    if (int32_t injected = enter(s, simLock, "qelSys_settimeofday",
                                 tv ? fmtArgs("%lld,%ld", static_cast<long long>(tv->tv_sec),
                                              static_cast<long>(tv->tv_usec))
                                    : std::string("null"))) {
        errno = injected;
        return -1;
    }
    if (tv == nullptr) {
        errno = EFAULT;
        return -1;
    }
    s.st.clock.sets++;
    s.st.clock.sec = tv->tv_sec;
    s.st.clock.usec = tv->tv_usec;
    return 0;
}
