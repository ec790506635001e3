// Feeds command texts to the decoder's verbs, as its UDP and TCP servers hand them over after
// matching (the framing has its own target, fuzz_rxcontrol), and lines to the serial console's
// MAC reader. The verbs change the settings files, the platform stand-in and the network
// identity in a box root of their own; the process has no network and no waits on this thread.
//
// Input: byte 0 picks the command list (bit 0: the TCP server's), the window model (bit 1: 18
// windows, else 4) and whether the lines are serial console lines (bit 2); the rest is up to
// kMaxTexts lines. Besides crashes it checks that no reply is empty or longer than a datagram.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "control/qelDecode.h"
#include "control/qelDecodeServer.h"
#include "control/qelDecodeSettings.h"
#include "control/qelGet_ip.h"

namespace {

const size_t kMaxTexts = 8;

class CheckingSink : public ReplySink {
public:
    void reply(const char* data, size_t len, ReplyFrom) override {
        if (data == nullptr || len == 0 || len > QEL_DATAGRAM_MAX) {
            fprintf(stderr, "fuzz_rxverbs: reply of %zu bytes\n", len);
            abort();
        }
    }
    using ReplySink::reply;
};

void setOwnAddress() {
    std::lock_guard<std::recursive_mutex> g(gNetLock);
    copyText(reinterpret_cast<char*>(IP_info[0]), sizeof IP_info[0], "10.77.0.2");
    copyText(reinterpret_cast<char*>(MAC_info[0]), sizeof MAC_info[0], "02:00:00:00:00:02");
}

// The stream player is not under test here (it checks its own arguments): its calls do nothing.
PlayerOps idlePlayer() {
    PlayerOps p;
    p.show = [](int, const char*, int) { return 0; };
    p.stop = [](int) {};
    p.decodeJpg = [](int) {};
    p.detectVideoActive = [] {};
    p.getVideoWinMax = [] { return 18; };
    p.isVideoExisted = [](int, int*, int*, int*) { return 0; };
    p.detectFullScreen = [](int*, int*) { return 0; };
    p.resumeChn = [] {};
    p.suspendChn = [](int, int) { return 0; };
    p.updateChannelPre = [](int, int) {};
    p.checkWhetherNeedSetSplit = [](int, int) { return 1; };
    p.setSplitPara = [](int, int) {};
    p.layerWin = [](int, int) {};
    p.displayWin = [](int, int) {};
    p.clipWin = [](int, int, int, int, int, int, int) {};
    p.posWin = [](int, int, int, int, int, int, int) {};
    p.videoWin = [](int, const int*, const int*, int, int) {};
    p.setSync = [](int, int, int) {};
    p.setSyncOffset = [](int, int) {};
    p.setSyncClose = [](int) {};
    return p;
}

// A serial console line as the console hands it over: "config set mac" and a MAC behind a blank.
void consoleLine(char* line) {
    char* blank = strlen(line) > 14 ? strchr(line + 14, ' ') : nullptr;
    if (blank == nullptr) return;
    char* mac = blank + 1;
    const size_t before = strlen(mac);
    if (cleanNewMac(mac)) {
        if (strlen(mac) > before || strchr(mac, ' ')) abort();
        changeMac(mac);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qelfuzz::isolateFromNetwork("fuzz_rxverbs");
    qelfuzz::makeRoot({"/mnt", "/dev", "/var/log", "/usr/backup"});
    box::setRebootHandler([] {});
    resetSettingsDefaults();
    setOwnAddress();
    gPlayer = idlePlayer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    qelfuzz::noWaits();
    const bool tcp = data[0] & 1;
    windows = (data[0] & 2) ? 18 : 4;
    const bool console = data[0] & 4;
    // A verb may have readdressed the box: it answers to the same address every run.
    setOwnAddress();
    const char* p = reinterpret_cast<const char*>(data + 1);
    const char* end = reinterpret_cast<const char*>(data + size);
    CheckingSink sink;
    for (size_t k = 0; k < kMaxTexts && p < end; ++k) {
        const char* eol = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!eol) eol = end;
        // A receive is at most one datagram, terminated.
        char text[QEL_DATAGRAM_MAX + 1] = {0};
        size_t n = static_cast<size_t>(eol - p);
        if (n > QEL_DATAGRAM_MAX) n = QEL_DATAGRAM_MAX;
        memcpy(text, p, n);
        if (console)
            consoleLine(text);
        else if (tcp)
            handleCommandIn(kTcpCommandRows, kTcpCommandRowCount, text, sink);
        else
            handleCommand(text, sink);
        p = eol + 1;
    }
    return 0;
}
