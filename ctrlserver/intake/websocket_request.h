// Decoding of one client WebSocket frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/CommandQueue.h"

class Websocket_Request {
public:
    Websocket_Request();
    ~Websocket_Request();
    Websocket_Request(const Websocket_Request&) = delete;
    Websocket_Request& operator=(const Websocket_Request&) = delete;

    // Decodes the frame that begins at msg, of which len bytes have arrived; capacity is the size
    // of the buffer the frame must fit in (header and payload). Returns the frame's total size
    // when it is complete, 0 when more bytes are needed, and -1 when the declared length can never
    // fit (the connection cannot go on). Only a complete frame changes the fields.
    int fetch_websocket_info(const unsigned char* msg, size_t len, size_t capacity);
    // Copies the decoded payload to out (at most outSize bytes) and returns the count copied;
    // with no out, resets the request and returns 0.
    int fetch_websocket_payload(char* out, int outSize);
    // Dumps the decoded fields to the debug hook.
    void print();
    // Clears the fields and gives the payload's memory back.
    void reset();

    uint8_t fin;
    uint8_t opcode;
    uint8_t mask;
    uint8_t masking_key[4];
    uint64_t payload_length;
    // The decoded payload, followed by a NUL; it holds only as much memory as the last frame
    // needs.
    unsigned char* payload;

private:
    std::vector<unsigned char> store;
};
