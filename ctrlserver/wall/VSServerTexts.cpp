#include "wall/VSServerTexts.h"

#include <cstdarg>
#include <cstdio>

#include "wall/VSServer.h"

const char VS_UNUSED_WINDOW[] = "unused_window";

std::string vsFormatText(const char* fmt, ...) {
    char text[VS_TEXT_MAX + 1];
    va_list ap;
    va_start(ap, fmt);
    const int n = vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    if (n < 0 || n > VS_TEXT_MAX) return std::string();
    return std::string(text, static_cast<size_t>(n));
}

std::string vsVideoText(const std::string& ip, int window, int x0, int x1, int y0, int y1, int left,
                        int right, int top, int bottom) {
    return vsFormatText("config set video params %s %d %d %d %d %d %d %d %d %d 0 1 \n", ip.c_str(),
                        window, x0, x1, y0, y1, left, right, top, bottom);
}

std::string vsDisplayText(const std::string& ip, int window, bool shown) {
    return vsFormatText("config set display params %s %d %d \n", ip.c_str(), window, shown ? 1 : 0);
}

std::string vsUrlText(const std::string& ip, int window, const std::string& url) {
    return vsFormatText("config set url params %s %d %s", ip.c_str(), window, url.c_str());
}

std::string vsSplitText(const std::string& ip, int split, int second) {
    return vsFormatText("config set split params %s %d %d \n", ip.c_str(), split, second);
}

std::string vsSplitUndisText(const std::string& ip, int split, int second) {
    return vsFormatText("config set splitundis params %s %d %d \n", ip.c_str(), split, second);
}

std::string vsCutEdgeText(const std::string& ip, int horCut, int verCut) {
    return vsFormatText("config set cutedge params %s %d %d \n", ip.c_str(), horCut, verCut);
}

std::string vsRxDisplayIpText(const std::string& ip) {
    return vsFormatText("config set rx display ip %s \n", ip.c_str());
}

std::string vsNormalHideText(const std::string& ip, int window, int seconds) {
    return vsFormatText("config set normal hide params %s %d %d", ip.c_str(), window, seconds);
}

std::string vsMulHideText(int seconds) {
    return vsFormatText("config set mul hide params 255.255.255.255 %d ", seconds);
}

std::vector<std::string> vsResetUrlTexts(const std::string& ip) {
    std::vector<std::string> texts{vsUrlText(ip, VS_SPILL_WINDOW, VS_UNUSED_WINDOW)};
    for (int w = 0; w < 5; ++w) texts.push_back(vsUrlText(ip, w, VS_UNUSED_WINDOW));
    return texts;
}

std::vector<std::string> vsResetTexts(const std::string& ip) {
    std::vector<std::string> texts{vsSplitText(ip, 1, 0)};
    for (const std::string& t : vsResetUrlTexts(ip)) texts.push_back(t);
    return texts;
}

void VSTextBatch::sendAlways(const std::string& ip, const std::string& text) {
    if (ip.empty()) return;
    if (text.empty()) {
        failed = true;
        return;
    }
    if (model.queueDevText(text) < 0) failed = true;
}

void VSTextBatch::send(const std::string& ip, const std::string& text) {
    if (ip.empty()) return;
    if (!text.empty() && !sent.insert(text).second) return;
    sendAlways(ip, text);
}

void VSTextBatch::sendAll(const std::string& ip, const std::vector<std::string>& texts) {
    for (const std::string& t : texts) sendAlways(ip, t);
}
