// Feeds arbitrary bytes to a WebSocket connection handler: the handshake request first, then
// frames, in reads whose sizes the input chooses. The handler's answers go to a local socket
// pair that is drained after each input.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "intake/network_interface.h"
#include "intake/websocket_handler.h"
#include "intake/websocket_request.h"

namespace {

int fds[2] = {-1, -1};

void drainPeer() {
    char buf[65536];
    while (recv(fds[1], buf, sizeof buf, MSG_DONTWAIT) > 0) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fds[0] < 0) {
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
        Network_Interface::set_noblock(fds[0]);
    }
    if (size == 0) return 0;

    // The parsers on their own, over the whole input.
    std::map<std::string, std::string> headers;
    Websocket_Handler::fetch_http_info(reinterpret_cast<const char*>(data), size, headers);
    std::vector<char> answer(QEL_MAX_ENTRY);
    Websocket_Handler::parse_str(headers, answer.data(), static_cast<int>(answer.size()));
    static Websocket_Request request;
    request.fetch_websocket_info(data, size, QEL_MAX_ENTRY);

    // A connection: the first byte picks the read size, the rest is what the peer sent.
    const size_t chunk = 1 + data[0] % 64;
    Websocket_Handler handler(fds[0]);
    std::vector<char> payload(QEL_MAX_ENTRY + 1);
    CommandQueue queue;
    for (size_t pos = 1; pos < size; pos += chunk) {
        size_t n = size - pos < chunk ? size - pos : chunk;
        if (static_cast<int>(n) > handler.readRoom()) n = static_cast<size_t>(handler.readRoom());
        if (n == 0) break;
        memcpy(handler.readPtr(), data + pos, n);
        handler.commit(static_cast<int>(n));
        bool dropped = false;
        for (;;) {
            int len = 0;
            const int r = handler.processBuff(payload.data(), QEL_MAX_ENTRY, &len);
            if (r == Websocket_Handler::kNeedMore) break;
            if (r == Websocket_Handler::kDrop) {
                dropped = true;
                break;
            }
            Network_Interface::handleFrame(queue, fds[0], r, payload.data(), len);
        }
        drainPeer();
        if (dropped) break;
    }
    handler.ack(reinterpret_cast<const char*>(data), static_cast<int>(size < 70000 ? size : 70000));
    drainPeer();
    return 0;
}
