// Feeds a text port client's stream, cut into reads whose sizes the input chooses, to the text
// port's reader: every queued entry must be "fd|" and a piece that starts with a command word,
// within the entry bound, and what waits for the next read stays within the bound too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/CommandQueue.h"
#include "intake/NetServer.h"
#include "intake/network_interface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t chunk = 1 + data[0] % 200;
    CommandQueue queue;
    NetServer::ClientText text;
    ReplyRoutes routes;
    const CommandSource source{&routes, routes.nextSerial()};
    for (size_t pos = 1; pos < size; pos += chunk) {
        const size_t n = size - pos < chunk ? size - pos : chunk;
        NetServer::takeClientData(queue, 42, text, reinterpret_cast<const char*>(data + pos),
                                  static_cast<int>(n), source);
        if (text.pending.size() > static_cast<size_t>(QEL_MAX_ENTRY)) abort();
    }
    std::vector<unsigned char> buf(QEL_MAX_ENTRY);
    CommandQueueNode node{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
    while (queue.DelNode(node) == 1) {
        if (node.size < 4 || memcmp(buf.data(), "42|", 3) != 0) abort();
        const char* piece = reinterpret_cast<const char*>(buf.data()) + 3;
        const int len = node.size - 3;
        if (!Network_Interface::hasCommandPrefix(piece, len)) abort();
        if (memchr(piece, ';', len) || memchr(piece, '\0', len)) abort();
        if (piece[0] == '\r' || piece[0] == '\n') abort();
    }
    routes.belongs(42, source.serial, queue.QueueLength());
    return 0;
}
