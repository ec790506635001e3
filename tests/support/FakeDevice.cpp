#include "support/FakeDevice.h"

#include <cstdio>
#include <cstring>

namespace qeltest {

FakeDevice::FakeDevice(Box& box, Kind kind) : kind_(kind), ip_(box.ip()) {
    if (!box.ok()) {
        error_ = "box " + box.name() + " is not up";
        return;
    }
    // Shared with SO_REUSEADDR so a test may put a second listener on the same box.
    socket_ = box.run([] { return UdpSocket(8888, "", true); });
    if (!socket_.ok()) {
        error_ = "cannot bind UDP 8888 in box " + box.name() + ": " + socket_.error();
        return;
    }
    ok_ = true;
    thread_ = std::thread([this] { loop(); });
}

FakeDevice::~FakeDevice() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    if (thread_.joinable()) thread_.join();
}

void FakeDevice::setDiscoveryAnswer(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    discoveryAnswer_ = text;
}

void FakeDevice::setAnswer(const std::string& prefix, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = answers_.begin(); it != answers_.end(); ++it) {
        if (it->first == prefix) {
            answers_.erase(it);
            break;
        }
    }
    if (!text.empty()) answers_.emplace_back(prefix, text);
}

void FakeDevice::setResponder(Responder responder) {
    std::lock_guard<std::mutex> lock(mutex_);
    responder_ = std::move(responder);
}

std::vector<Datagram> FakeDevice::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::optional<Datagram> FakeDevice::waitFor(const std::string& text,
                                            std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<Datagram> found;
    changed_.wait_for(lock, timeout, [&] {
        for (const Datagram& d : received_) {
            if (d.text.find(text) != std::string::npos) {
                found = d;
                return true;
            }
        }
        return false;
    });
    return found;
}

bool FakeDevice::waitForCount(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

void FakeDevice::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.clear();
}

std::vector<std::string> FakeDevice::answersFor(const Datagram& d) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (responder_) return responder_(d);
    std::vector<std::string> out;
    const char* discovery =
        kind_ == Kind::Decoder ? "config qel get decoders" : "config qel get encoders";
    if (d.text.compare(0, strlen(discovery), discovery) == 0) {
        if (!discoveryAnswer_.empty()) out.push_back(discoveryAnswer_);
        return out;
    }
    for (const auto& a : answers_) {
        if (d.text.compare(0, a.first.size(), a.first) == 0) out.push_back(a.second);
    }
    return out;
}

void FakeDevice::loop() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) return;
        }
        std::optional<Datagram> d = socket_.receive(std::chrono::milliseconds(50));
        if (!d) continue;
        std::vector<std::string> answers = answersFor(*d);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.push_back(*d);
        }
        changed_.notify_all();
        for (const std::string& a : answers) socket_.sendTo(d->fromIp, d->fromPort, a);
    }
}

std::string FakeDevice::decoderDiscoveryAnswer(const std::string& mac, const std::string& name,
                                               int splitCount) {
    char buf[1024];
    snprintf(buf, sizeof buf,
             "config qel ack get decoders #SUCCEED #%s #%s #%s #%d #%d #%d #%d #%d #%d #%d #%d "
             "#%d #%d #%s #%s #%s #%d",
             mac.c_str(), "255.255.255.0", "10.77.0.254", 50, 50, 50, 50, 0, 115200, 8, 0, 1, 0,
             "127.0.0.1", "DEC_V1.0", name.c_str(), splitCount);
    return buf;
}

std::string FakeDevice::encoderDiscoveryAnswer(const std::string& mac, const std::string& name) {
    char buf[1024];
    snprintf(buf, sizeof buf,
             "config qel ack get encoders #SUCCEED #%s #%s #%s #%d #%d #%d #%d #%d #%d #%d #%d "
             "#%d #%d #%d #%s #%s #%s",
             mac.c_str(), "255.255.255.0", "10.77.0.254", 30, 0, 24000, 12000, 0, 1, 115200, 8, 0,
             1, 0, "127.0.0.1", "ENC_V1.0", name.c_str());
    return buf;
}

}  // namespace qeltest
