#include "support/Collector.h"

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace qeltest {

using namespace std::chrono_literals;

Collector::Collector(const std::vector<Box*>& boxes, uint16_t port) {
    for (Box* b : boxes) {
        socks_.emplace_back(b->name(), b->run([&] { return UdpSocket(port, "", true); }));
        EXPECT_TRUE(socks_.back().second.ok()) << socks_.back().second.error();
        // The first query turns the kernel's receive time stamps on for this socket.
        timespec ts{};
        ioctl(socks_.back().second.fd(), SIOCGSTAMPNS, &ts);
    }
    thread_ = std::thread([this] {
        while (!stop_) {
            std::vector<pollfd> fds;
            for (auto& s : socks_) fds.push_back({s.second.fd(), POLLIN, 0});
            if (poll(fds.data(), fds.size(), 50) <= 0) continue;
            auto now = std::chrono::steady_clock::now();
            for (size_t i = 0; i < fds.size(); ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                auto d = socks_[i].second.receive(0ms);
                if (!d) continue;
                // Datagrams that reach several boxes within one poll pass are ordered by the
                // kernel's receive time, not by the order of the sockets here.
                timespec ts{};
                int64_t arrival = 0;
                if (ioctl(socks_[i].second.fd(), SIOCGSTAMPNS, &ts) == 0)
                    arrival = static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.push_back({socks_[i].first, d->text, now, arrival});
            }
        }
    });
}

Collector::~Collector() {
    stop_ = true;
    thread_.join();
}

std::vector<Seen> Collector::seen() {
    std::vector<Seen> out;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        out = seen_;
    }
    const bool stamped =
        std::all_of(out.begin(), out.end(), [](const Seen& x) { return x.arrivalNs != 0; });
    if (stamped)
        std::stable_sort(out.begin(), out.end(),
                         [](const Seen& a, const Seen& b) { return a.arrivalNs < b.arrivalNs; });
    return out;
}

bool Collector::waitForCount(size_t count, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (seen_.size() >= count) return true;
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(10ms);
    }
}

void Collector::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.clear();
}

}  // namespace qeltest
