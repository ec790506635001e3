// A stand-in for the command dispatcher: takes every command and queues one reply naming it,
// {"status":"success","cmd":"<the command>"}, behind the command's "fd|" prefix.
#include <cstdio>
#include <string>

#include "core/CtrlServer.h"

namespace {

std::string jsonEscape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

int CtrlServer::ProcessSub1(char* text, int len, unsigned int) {
    if (len > 74999 || !text) return 0;
    return 0;
}

int CtrlServer::Process(char* text, int len, unsigned int) {
    if (len > 74999 || len < 0 || !text) return 0;
    const std::string entry(text, len);
    const size_t bar = entry.find('|');
    const std::string prefix = bar == std::string::npos ? "" : entry.substr(0, bar + 1);
    const std::string command = bar == std::string::npos ? entry : entry.substr(bar + 1);
    const std::string reply =
        prefix + "{\"status\":\"success\",\"cmd\":\"" + jsonEscape(command) + "\"}";
    if (reply.size() > static_cast<size_t>(QEL_MAX_ENTRY)) return 0;
    ackQueue()->AddNode(reinterpret_cast<unsigned char*>(const_cast<char*>(reply.data())),
                        static_cast<int>(reply.size()));
    return 1;
}
