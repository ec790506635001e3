// Encoding of one server WebSocket frame.
#pragma once

#include <cstdint>

class Websocket_Respond {
public:
    Websocket_Respond();
    ~Websocket_Respond();

    // Writes a frame into out (outSize bytes) and returns its total length, or -1 when it would
    // not fit. With mask 1 the 4-byte key follows the length and the payload is masked with it
    // (the controller itself always sends mask 0).
    int mk_websocket_info(unsigned char* out, int outSize, int fin, int opcode, int mask,
                          const unsigned char* key, const unsigned char* payload, int len);
    void reset();

    uint8_t fin;
    uint8_t opcode;
    uint8_t mask;
    uint8_t masking_key[4];
    uint64_t payload_length;
};
