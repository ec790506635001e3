// What the window, sync and loss tests read from the stand-in's call log.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "SimControl.h"

namespace playertest {

// The platform calls since the last clearCalls, without those of the HDMI watcher thread,
// which polls on its own.
inline std::vector<std::string> playerCallNames() {
    std::vector<std::string> names;
    for (const std::string& n : qelsim::callNames())
        if (n.compare(0, 12, "HI_MPI_HDMI_") != 0) names.push_back(n);
    return names;
}

// The length and time stamp of every send to decode channel chn since the last clearCalls.
struct Send {
    int len;
    unsigned long long pts;
};
inline std::vector<Send> channelSends(int chn) {
    std::vector<Send> v;
    const std::string head = "HI_MPI_VDEC_SendStream(" + std::to_string(chn) + ",len=";
    for (const std::string& c : qelsim::calls()) {
        if (c.compare(0, head.size(), head) != 0) continue;
        Send s{atoi(c.c_str() + head.size()), 0};
        size_t p = c.find("pts=");
        if (p != std::string::npos) s.pts = strtoull(c.c_str() + p + 4, nullptr, 10);
        v.push_back(s);
    }
    return v;
}

}  // namespace playertest
