// A stand-in for the command dispatcher that answers "config get encoders" with the older
// encoder list over the controller's encoder table, written behind the command's "fd|" prefix
// in a reply buffer of the front ends' entry size, as the dispatcher does. Every other command
// is left unanswered.
#include <cstring>
#include <string>
#include <vector>

#include "core/CtrlServer.h"
#include "device/DevServer.h"
#include "reply/ReplyBuilders.h"

int CtrlServer::ProcessSub1(char* text, int len, unsigned int) {
    if (len > 74999 || !text) return 0;
    return 0;
}

int CtrlServer::Process(char* text, int len, unsigned int) {
    if (len > 74999 || len < 0 || !text || !devServer) return 0;
    const std::string entry(text, len);
    const size_t bar = entry.find('|');
    const std::string prefix = bar == std::string::npos ? "" : entry.substr(0, bar + 1);
    const std::string command = bar == std::string::npos ? entry : entry.substr(bar + 1);
    if (command != "config get encoders") return 0;

    std::vector<char> reply(QEL_MAX_ENTRY);
    memcpy(reply.data(), prefix.data(), prefix.size());
    ArrayList<Encoder> encoders;
    devServer->iGetQelEncoderDevices(encoders);
    char* out = reply.data() + prefix.size();
    BuildDevEncoderlistJsonString(encoders, out, reply.size() - prefix.size());
    ackQueue()->AddNode(reinterpret_cast<unsigned char*>(reply.data()),
                        static_cast<int>(prefix.size() + strlen(out)));
    return 1;
}
