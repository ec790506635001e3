// Drives the controller's two dispatcher stages, as the command thread runs them, over a real
// device server and wall model in a box root of their own: every command's argument reading,
// the wall handlers behind them, the upload's hexadecimal blocks and the device-list files it
// applies. The process has no network (nothing it would send to the devices leaves it) and no
// waits on this thread (NoWaits.cpp: devices that never answer cost no time).
//
// Input: byte 0 holds the origin (bit 0: from the web front end) and the login (bit 1); the
// rest is up to kMaxCommands lines, each one command. A line whose first byte is below 0x80
// starts with the keyword that byte picks from both chains and goes on with the line's other
// bytes; any other line is taken as it stands, without that byte. Besides crashes it checks
// that every reply is one entry of JSON (behind the origin tag the command came with).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzController.h"
#include "dispatch/CtrlServerDispatch.h"

namespace {

const size_t kMaxCommands = 8;

std::unique_ptr<qelfuzz::Controller> gController;
std::vector<const char*> gKeywords;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qelfuzz::isolateFromNetwork("fuzz_dispatch");
    gController.reset(new qelfuzz::Controller());
    for (const auto* chain : {&dispatch::stageOneChain(), &dispatch::stageTwoChain()})
        for (const dispatch::Entry& e : *chain) gKeywords.push_back(e.keyword);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    qelfuzz::noWaits();
    const unsigned fromWeb = data[0] & 1;
    gController->ctrl->loggedIn = (data[0] >> 1) & 1;
    const char* p = reinterpret_cast<const char*>(data + 1);
    const char* end = reinterpret_cast<const char*>(data + size);
    for (size_t k = 0; k < kMaxCommands && p < end; ++k) {
        const char* eol = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!eol) eol = end;
        std::string text;
        if (eol > p) {
            const unsigned char pick = static_cast<unsigned char>(*p);
            if (pick < 0x80) text = gKeywords[pick % gKeywords.size()];
            text.append(p + 1, eol);
        }
        // The front ends queue no empty command, and none with a zero byte in it.
        if (!text.empty() && text.find('\0') == std::string::npos) gController->run(text, fromWeb);
        p = eol + 1;
    }
    return 0;
}
