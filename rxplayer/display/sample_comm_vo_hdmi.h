// The HDMI watcher's steps, for the thread and for tests that drive it poll by poll.
#pragma once

#include "common/sample_comm.h"

namespace hdmiwatch {

// Back to the start of the thread: no sink known, no decision, switch on.
void resetForTest();
// Step 1-4: restart the transmitter for what is known of the sink.
void configure(SAMPLE_VOAUDIOPARAM* param);
// One poll of step 5 (re-configures when the state asks for it).
void poll(SAMPLE_VOAUDIOPARAM* param);

bool sinkKnown();  // hdmicn
bool isHdmi();     // dispIsHDMI
bool decided();    // chk_edid

}  // namespace hdmiwatch
