// The replies of one connection that its socket has not taken yet.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

// Replies leave in the order they are given. The writer never waits for a slow client: what the
// socket does not take at once is kept here and written when the socket has room again (the
// owner watches it for that and calls flush). A client that lets more than the bound pile up
// does not read its replies and is to be cut off. Not locked: one thread at a time, or the
// owner's lock.
class ClientOutput {
public:
    // Unsent reply bytes past which a client is cut off.
    static constexpr size_t kDefaultBound = 1024 * 1024;

    enum Result {
        kSent,     // nothing is kept
        kPending,  // bytes are kept: flush once the socket has room
        kFailed,   // the socket failed, or the bound was passed: the connection is to end
    };

    explicit ClientOutput(size_t bound = kDefaultBound) : bound(bound) {}

    // Writes data after whatever is kept, as far as the (non-blocking) socket fd takes it now,
    // and keeps the rest.
    Result send(int fd, const char* data, size_t len);
    // Writes what is kept, as far as the socket takes it now.
    Result flush(int fd);

    size_t pending() const { return bytes; }
    // Whether the last kFailed came from the bound (the client stopped reading) rather than
    // from the socket.
    bool overBound() const { return pastBound; }

private:
    // Writes as much of data as the socket takes: the count written, or -1 when it failed.
    static long writeSome(int fd, const char* data, size_t len);

    size_t bound;
    std::deque<std::string> kept;  // oldest first; the first one partly written
    size_t frontOffset = 0;        // bytes of kept.front() already written
    size_t bytes = 0;              // unsent bytes in kept
    bool failed = false;
    bool pastBound = false;
};
