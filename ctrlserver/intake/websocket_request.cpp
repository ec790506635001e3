#include "intake/websocket_request.h"

#include <cstdio>
#include <cstring>

#include "intake/debug_log.h"

Websocket_Request::Websocket_Request() {
    reset();
}

Websocket_Request::~Websocket_Request() = default;

void Websocket_Request::reset() {
    fin = 0;
    opcode = 0;
    mask = 0;
    memset(masking_key, 0, sizeof masking_key);
    payload_length = 0;
    std::vector<unsigned char>(1, 0).swap(store);
    payload = store.data();
}

int Websocket_Request::fetch_websocket_info(const unsigned char* msg, size_t len, size_t capacity) {
    if (len < 2) return 0;
    size_t pos = 2;
    uint64_t length = msg[1] & 0x7F;
    if (length == 126) {
        if (len < pos + 2) return 0;
        length = static_cast<uint64_t>(msg[2]) << 8 | msg[3];
        pos += 2;
    } else if (length == 127) {
        if (len < pos + 8) return 0;
        length = 0;
        for (int i = 0; i < 8; ++i) length = length << 8 | msg[2 + i];
        pos += 8;
    }
    const bool masked = (msg[1] & 0x80) != 0;
    const size_t header = pos + (masked ? 4 : 0);
    // The whole frame has to fit the receive buffer, or it could never be completed.
    if (capacity > static_cast<size_t>(QEL_MAX_ENTRY) + 1)
        capacity = static_cast<size_t>(QEL_MAX_ENTRY) + 1;
    if (length > capacity || header + length > capacity) {
        printf("something wrong!\n");
        fflush(stdout);
        return -1;
    }
    if (len < header + length) return 0;

    fin = (msg[0] >> 7) & 1;
    opcode = msg[0] & 0x0F;
    mask = masked ? 1 : 0;
    memset(masking_key, 0, sizeof masking_key);
    if (masked) memcpy(masking_key, msg + pos, 4);
    payload_length = length;
    const unsigned char* src = msg + header;
    store.assign(static_cast<size_t>(length) + 1, 0);
    payload = store.data();
    for (size_t i = 0; i < length; ++i) payload[i] = masked ? src[i] ^ masking_key[i % 4] : src[i];
    payload[length] = 0;
    return static_cast<int>(header + length);
}

int Websocket_Request::fetch_websocket_payload(char* out, int outSize) {
    if (!out) {
        reset();
        return 0;
    }
    int n = static_cast<int>(payload_length);
    if (n > outSize) n = outSize;
    if (n < 0) n = 0;
    memcpy(out, payload, n);
    return n;
}

void Websocket_Request::print() {
    DEBUG_LOG("WEBSOCKET PROTOCOL\nFIN: %d\nOPCODE: %d\nMASK: %d\nPAYLOADLEN: %d\nPAYLOAD: %s\n",
              fin, opcode, mask, static_cast<int>(payload_length),
              reinterpret_cast<const char*>(payload));
}
