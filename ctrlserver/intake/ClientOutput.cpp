#include "intake/ClientOutput.h"

#include <errno.h>
#include <sys/socket.h>

long ClientOutput::writeSome(int fd, const char* data, size_t len) {
    size_t done = 0;
    while (done < len) {
        const ssize_t n = ::send(fd, data + done, len - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        return -1;
    }
    return static_cast<long>(done);
}

ClientOutput::Result ClientOutput::flush(int fd) {
    if (failed) return kFailed;
    while (!kept.empty()) {
        const std::string& front = kept.front();
        const long n = writeSome(fd, front.data() + frontOffset, front.size() - frontOffset);
        if (n < 0) {
            failed = true;
            return kFailed;
        }
        frontOffset += static_cast<size_t>(n);
        bytes -= static_cast<size_t>(n);
        if (frontOffset < front.size()) return kPending;
        kept.pop_front();
        frontOffset = 0;
    }
    std::deque<std::string>().swap(kept);  // an idle connection keeps no memory
    return kSent;
}

ClientOutput::Result ClientOutput::send(int fd, const char* data, size_t len) {
    if (failed) return kFailed;
    size_t done = 0;
    if (kept.empty()) {
        const long n = writeSome(fd, data, len);
        if (n < 0) {
            failed = true;
            return kFailed;
        }
        done = static_cast<size_t>(n);
        if (done == len) return kSent;
    }
    if (bytes + (len - done) > bound) {
        failed = pastBound = true;
        std::deque<std::string>().swap(kept);
        bytes = 0;
        return kFailed;
    }
    kept.emplace_back(data + done, len - done);
    bytes += len - done;
    // Room may have come since the last flush: the older bytes go first, then these.
    return flush(fd);
}
