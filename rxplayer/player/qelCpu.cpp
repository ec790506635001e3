#include "qelCpu.h"

extern "C" {
#include <libavutil/cpu.h>
}

void qelCpuForceNoFlags() {
    av_force_cpu_flags(0);
}
