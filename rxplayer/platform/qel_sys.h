// Calls of the box's operating system that change the machine as a whole. A box build passes
// them to the system; the PC stand-in only records them (see SimControl.h), so a program under
// test never moves the host's clock.
#pragma once

#include <sys/time.h>

// Sets the system clock, as settimeofday(tv, NULL): 0, or -1 with errno (EFAULT for no time).
int qelSys_settimeofday(const struct timeval* tv);
