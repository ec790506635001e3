#include "intake/websocket_respond.h"

#include <cstring>

Websocket_Respond::Websocket_Respond() {
    reset();
}

Websocket_Respond::~Websocket_Respond() = default;

void Websocket_Respond::reset() {
    fin = 0;
    opcode = 0;
    mask = 0;
    memset(masking_key, 0, sizeof masking_key);
    payload_length = 0;
}

int Websocket_Respond::mk_websocket_info(unsigned char* out, int outSize, int finBit, int op,
                                         int maskBit, const unsigned char* key,
                                         const unsigned char* payload, int len) {
    reset();
    if (!out || len < 0 || (len > 0 && !payload)) return -1;
    fin = finBit ? 1 : 0;
    opcode = op & 0x0F;
    mask = (maskBit && key) ? 1 : 0;
    payload_length = static_cast<uint64_t>(len);

    const int lengthBytes = len <= 125 ? 0 : (len <= 65535 ? 2 : 8);
    const int header = 2 + lengthBytes + (mask ? 4 : 0);
    if (outSize < header || len > outSize - header) return -1;

    out[0] = static_cast<unsigned char>(fin << 7 | opcode);
    int pos = 2;
    if (lengthBytes == 0) {
        out[1] = static_cast<unsigned char>(len);
    } else if (lengthBytes == 2) {
        out[1] = 126;
        out[2] = static_cast<unsigned char>(len >> 8);
        out[3] = static_cast<unsigned char>(len);
        pos = 4;
    } else {
        out[1] = 127;
        const uint64_t l = static_cast<uint64_t>(len);
        for (int i = 0; i < 8; ++i) out[2 + i] = static_cast<unsigned char>(l >> (56 - 8 * i));
        pos = 10;
    }
    if (mask) {
        out[1] |= 0x80;
        memcpy(masking_key, key, 4);
        memcpy(out + pos, key, 4);
        pos += 4;
        for (int i = 0; i < len; ++i) out[pos + i] = payload[i] ^ masking_key[i % 4];
    } else if (len > 0) {
        memcpy(out + pos, payload, len);
    }
    return pos + len;
}
