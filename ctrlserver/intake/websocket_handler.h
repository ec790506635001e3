// One WebSocket connection: the upgrade handshake, then client frames in and reply frames out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/CommandQueue.h"
#include "intake/ClientOutput.h"
#include "intake/websocket_request.h"
#include "intake/websocket_respond.h"

class Websocket_Handler {
public:
    // processBuff results besides an opcode (0..15) or 0 for the handshake.
    static const int kNeedMore = -1;  // nothing complete in the buffer yet: read more
    static const int kDrop = -2;      // the connection cannot go on and is to be closed
    static const int kHandled = -3;   // a frame was dealt with here (ping, pong, a fragment)

    static const int kLineSize = 1024;  // one formatted line of the handshake answer

    explicit Websocket_Handler(int fd);
    ~Websocket_Handler();

    // Where the event loop reads to, and how much room is left there. The read buffer exists
    // only while a read needs it: an idle connection holds none.
    char* readPtr();
    int readRoom();
    // Accounts for n bytes the event loop read into readPtr().
    void commit(int n);

    // Handles what has arrived. Until the handshake is answered: answers it once the request
    // is complete and returns 0. Afterwards: takes the oldest complete frame out of the buffer,
    // copies its payload to out (at most outSize bytes), stores the length in *outLen and
    // returns its opcode. kNeedMore or kDrop otherwise. Call again until it gives kNeedMore:
    // one read may carry several frames. Control frames are answered here: a ping with a pong
    // carrying its payload, a close with a close echoing its status code (then kDrop). The
    // fragments of a message are joined and come out as one payload with the first fragment's
    // opcode; a joined message longer than QEL_MAX_ENTRY is dropped with a message.
    int processBuff(char* out, int outSize, int* outLen);

    // Sends data as one text frame. False when the connection is to be dropped: its socket
    // failed, or it has left more than ClientOutput's bound of replies unread. Replies that
    // arrive before the handshake is answered are dropped. Never waits: what the socket does
    // not take at once is kept and goes out in order once it has room (see flushOutput).
    bool ack(const char* data, int len);

    // The epoll set the connection is in: while output is kept the connection is watched for
    // room (EPOLLOUT) there too, and the event loop then calls flushOutput. -1: not watched.
    void watchWith(int epollFd) { epfd = epollFd; }
    // Writes the kept output as far as the socket takes it; false when the connection is to
    // be dropped.
    bool flushOutput();

    int getFd() const { return fd; }
    unsigned long serial = 0;  // tells this connection from earlier ones on the same socket
    uint32_t peer = 0;         // the client's IPv4 address (network order)
    long long acceptedMs = 0;  // when it was accepted (monotonic clock)
    int getStatus() const { return status; }
    const std::map<std::string, std::string>& headers() const { return header_map; }

    // The length of the HTTP request at the start of data (through its blank line), or 0 while
    // the blank line has not arrived.
    static size_t findRequestEnd(const char* data, size_t len);
    // Parses the request lines of data into headers ("Name: value"). -1 when the request line
    // does not end in "\r\n" (headers then stay as they were), else 0.
    static int fetch_http_info(const char* data, size_t len,
                               std::map<std::string, std::string>& headers);
    // Builds the 101 answer for the parsed headers into out; returns its length, -1 when out is
    // too small.
    static int parse_str(const std::map<std::string, std::string>& headers, char* out, int outSize);
    // The Sec-WebSocket-Accept value for a client key.
    static std::string acceptValue(const std::string& key);

private:
    Websocket_Handler(const Websocket_Handler&) = delete;
    Websocket_Handler& operator=(const Websocket_Handler&) = delete;

    // Answers the request held in the first requestLen bytes of buff, then drops those bytes.
    bool handshark(size_t requestLen);
    void consume(size_t n);
    // Sends one frame (FIN set, unmasked); false when the connection is to be dropped.
    bool sendFrame(int opcode, const unsigned char* data, int len);
    // Sends bytes through the output queue; writeMutex held.
    bool sendLocked(const char* data, size_t len);
    // Watches the socket for room (or stops) in the epoll set; writeMutex held.
    void watchOutput(bool wanted);
    // Takes the payload of a decoded data frame (opcode 0-7) into the message being joined.
    int takeDataFrame(char* out, int outSize, int* outLen);

    std::vector<char> buff;  // QEL_MAX_ENTRY bytes while data waits in it, else empty
    int buff_len = 0;
    std::vector<char> message;  // the fragments of a message joined so far
    int messageOpcode = -1;     // opcode of its first fragment; -1 while none is being joined
    bool messageTooLong = false;
    int status = 0;
    std::map<std::string, std::string> header_map;
    int fd;
    Websocket_Request* request;
    Websocket_Respond* respond;
    // Set once the handshake answer is out; replies wait for it so they never mix into it.
    std::atomic<bool> ready{false};
    // Replies (reply thread) and control answers (event loop) never mix within a frame, and
    // leave in the order they were given.
    std::mutex writeMutex;
    ClientOutput output;
    int epfd = -1;
    bool watchingOutput = false;
};
