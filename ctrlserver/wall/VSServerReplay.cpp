// The decoder texts of the preset and window-mode replays. A text for a cell, display or slot
// without a decoder is not queued: its address field would be empty and the device command
// thread would take the next field for the address.
#include "wall/VSServerReplay.h"

#include "wall/VSServer.h"
#include "wall/VSServerTexts.h"

namespace {

const char kAllDecoders[] = "255.255.255.255";

}  // namespace

bool vsShownDiffers(const VWin& a, const VWin& b, bool withUsed) {
    return a.url != b.url || a.visible != b.visible || a.hStart != b.hStart || a.hEnd != b.hEnd ||
           a.vStart != b.vStart || a.vEnd != b.vEnd || (withUsed && a.used != b.used);
}

int VSServer::replayText(const std::string& ip, const std::string& t) {
    if (ip.empty()) return 0;
    if (t.empty()) {
        envir() << "replay: text for " << ip.c_str() << " too long; not sent\n";
        return -1;
    }
    return queueDevText(t);
}

void VSServer::replayDisplayOff(const std::string& ip, int window) {
    replayText(ip, vsFormatText("config set display params %s %d 0", ip.c_str(), window));
}

void VSServer::replayHide(const std::string& ip, int window, int seconds) {
    replayText(ip,
               vsFormatText("config set normal hide params %s %d %d", ip.c_str(), window, seconds));
}

void VSServer::replaySource(const std::string& ip, int window, const VWin& w) {
    replayText(ip, vsUrlText(ip, window, w.url.empty() ? std::string(VS_UNUSED_WINDOW) : w.url));
}

void VSServer::replayAllHide(int seconds) {
    replayText(kAllDecoders,
               vsFormatText("config set mul hide params 255.255.255.255 %d", seconds));
}
