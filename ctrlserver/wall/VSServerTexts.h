// The controller-side decoder window texts of the screen handlers, one builder per format,
// and the per-call batch that queues them through the model's one road to the device server.
//
// Each builder formats into a 256-byte buffer and gives the whole text, or an empty string
// when the text would not fit (a text is never cut). The address is the decoder's as its
// cell or slot stores it; the multi-hide text always goes to every decoder.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

class VSServer;

// Longest text the device command queue takes for a decoder, without its terminator.
const int VS_TEXT_MAX = 255;
// Decoder window that shows a window spilling over from a neighbouring cell.
const int VS_SPILL_WINDOW = 16;
// The url that makes a decoder window show nothing.
extern const char VS_UNUSED_WINDOW[];

// The text of fmt, or empty when it would not fit.
std::string vsFormatText(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string vsVideoText(const std::string& ip, int window, int x0, int x1, int y0, int y1, int left,
                        int right, int top, int bottom);
std::string vsDisplayText(const std::string& ip, int window, bool shown);
std::string vsUrlText(const std::string& ip, int window, const std::string& url);
std::string vsSplitText(const std::string& ip, int split, int second);
std::string vsSplitUndisText(const std::string& ip, int split, int second);
std::string vsCutEdgeText(const std::string& ip, int horCut, int verCut);
std::string vsRxDisplayIpText(const std::string& ip);
std::string vsNormalHideText(const std::string& ip, int window, int seconds);
std::string vsMulHideText(int seconds);

// The decoder reset sequence: split 1, then "unused_window" on window 16 and on 0 to 4.
std::vector<std::string> vsResetTexts(const std::string& ip);
// The same without the split text: the six url texts.
std::vector<std::string> vsResetUrlTexts(const std::string& ip);

// Queues the texts of one handler call. Texts for an empty address are skipped (a free cell
// has no decoder to reach); a text that did not fit marks the batch failed. send() queues a
// text only once per batch; sendAlways() skips that check.
class VSTextBatch {
public:
    explicit VSTextBatch(VSServer& model) : model(model) {}
    void send(const std::string& ip, const std::string& text);
    void sendAlways(const std::string& ip, const std::string& text);
    void sendAll(const std::string& ip, const std::vector<std::string>& texts);
    // 0, or -1 when a text did not fit or the queue refused one.
    int result() const { return failed ? -1 : 0; }

private:
    VSServer& model;
    std::unordered_set<std::string> sent;
    bool failed = false;
};
