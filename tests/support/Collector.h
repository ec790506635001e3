// A listener on one UDP port in several boxes of the test network, served by one thread, so
// that the arrival order of datagrams across the boxes shows.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/Clients.h"
#include "support/TestNet.h"

namespace qeltest {

// One datagram seen by a Collector: which box got it, its text and when.
struct Seen {
    std::string box;
    std::string text;
    std::chrono::steady_clock::time_point at;
    int64_t arrivalNs = 0;  // the kernel's receive time of the datagram
};

class Collector {
public:
    Collector(const std::vector<Box*>& boxes, uint16_t port);
    ~Collector();
    // Everything seen so far, in arrival order.
    std::vector<Seen> seen();
    // Waits until at least count datagrams were seen; false on time-out.
    bool waitForCount(size_t count, std::chrono::milliseconds timeout);
    void clear();

private:
    std::vector<std::pair<std::string, UdpSocket>> socks_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Seen> seen_;
    std::thread thread_;
};

}  // namespace qeltest
