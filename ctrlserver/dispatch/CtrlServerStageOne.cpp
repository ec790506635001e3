// What the stage-one handlers share: the keyword echo and argument position, the device
// lookups, the item lists and the serial settings word.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "dispatch/CtrlServerStageOne.h"

namespace dispatch {

const char kAllDevices[] = "255.255.255.255";

std::string keywordEcho(const Command& c, const Entry& e) {
    return std::string(c.cmd, strnlen(c.cmd, strlen(e.keyword)));
}

char* stageOneArgument(Command& c, const Entry& e) {
    return argumentOf(c.cmd, strlen(e.keyword));
}

int newAck(Command& c, const Entry& e, bool success) {
    c.ack(Envelope::New, success, keywordEcho(c, e));
    return 1;
}

FoundDevice findDevice(Command& c, Lookup lookup, const std::string& name) {
    FoundDevice d;
    if (!name.empty()) (c.vs().*lookup)(name.c_str(), d.ip, d.alias, d.mac, d.version, d.kind);
    return d;
}

bool splitItems(const char* text, char sep, size_t maxItems, size_t maxLength,
                std::vector<std::string>& items) {
    items.clear();
    const char* p = text ? text : "";
    if (!*p) return true;
    while (items.size() < maxItems) {
        const char* end = strchr(p, sep);
        const size_t n = end ? static_cast<size_t>(end - p) : strlen(p);
        if (n > maxLength) return false;
        items.emplace_back(p, n);
        if (!end) break;
        p = end + 1;
    }
    return true;
}

bool readSerialSettings(const std::string& word, SerialSettings& out) {
    std::string text = word;
    int parity = 0;
    for (char& ch : text) {
        if (ch == '-') {
            ch = ' ';
        } else if (ch == 'n' || ch == 'o' || ch == 'e') {
            parity = ch == 'n' ? 0 : ch == 'o' ? 1 : 2;
            ch = ' ';
        }
    }
    Words w;
    // Numbers of the box's int fields: nine digits at most.
    if (!readWords(text.c_str(), 4, 9, w) || w.words.size() != 3) return false;
    int n[3];
    for (size_t i = 0; i < 3; ++i) {
        for (char ch : w.words[i])
            if (!isdigit(static_cast<unsigned char>(ch))) return false;
        n[i] = atoi(w.words[i].c_str());
    }
    out.baud = n[0];
    out.dataBits = n[1];
    out.stopBits = n[2];
    out.parity = parity;
    return true;
}

}  // namespace dispatch
