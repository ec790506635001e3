// Unit tests of code that can send datagrams (device commands, discovery) call this first: it
// moves the test into a network namespace of its own with no interface up, so a test that
// reaches a send by mistake fails there instead of sending on this machine's network. Threads
// started afterwards inherit the namespace.
#pragma once

#include <sched.h>

namespace qeltest {

// True when the test now runs without a network.
inline bool isolateFromNetwork() {
    // Without root, a user namespace of our own gives the right to make the network one.
    static const bool isolated =
        unshare(CLONE_NEWNET) == 0 || unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0;
    return isolated;
}

}  // namespace qeltest
