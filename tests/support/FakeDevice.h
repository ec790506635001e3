// A fake encoder or decoder for black-box tests: it runs in a box of the test network, binds
// UDP 8888 on every address of the box (never 8887, which belongs to a controller), records
// every datagram it gets and answers with texts the test gives it. Answers go back to the
// sender's address and port from the 8888 socket, so they leave from the box's own address.
//
//   qeltest::FakeDevice dec(net.addBox("dec", 2), qeltest::FakeDevice::Kind::Decoder);
//   ASSERT_TRUE(dec.ok()) << dec.error();
//   dec.setDiscoveryAnswer(qeltest::FakeDevice::decoderDiscoveryAnswer("00:11:22:aa:bb:cc", "RX"));
//   dec.setAnswer("config qel set url params", "config qel ack set url params #SUCCEED ");
//   auto got = dec.waitFor("config qel set url params", 3s);
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/Clients.h"
#include "support/TestNet.h"

namespace qeltest {

class FakeDevice {
public:
    enum class Kind { Decoder, Encoder };

    // Called for every datagram; the texts it returns are sent back to the sender, in order.
    // When set it replaces the discovery and prefix answers.
    using Responder = std::function<std::vector<std::string>(const Datagram&)>;

    FakeDevice(Box& box, Kind kind);
    ~FakeDevice();
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }
    const std::string& ip() const { return ip_; }
    Kind kind() const { return kind_; }

    // The answer to this kind's discovery request ("config qel get decoders" for a decoder,
    // "config qel get encoders" for an encoder); "" (the start) answers nothing.
    void setDiscoveryAnswer(const std::string& text);
    // Answers every datagram that begins with prefix (later calls for the same prefix replace
    // the answer; "" removes it).
    void setAnswer(const std::string& prefix, const std::string& text);
    void setResponder(Responder responder);

    // Every datagram received so far, oldest first.
    std::vector<Datagram> received() const;
    // Waits for the first datagram (counting from the start) whose text contains `text`.
    std::optional<Datagram> waitFor(const std::string& text,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // Waits until `count` datagrams have come; false on time-out.
    bool waitForCount(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(3));
    void clear();

    // Discovery answers in the decoders' and encoders' own layouts, with the given MAC and
    // name and typical values for the rest.
    static std::string decoderDiscoveryAnswer(const std::string& mac, const std::string& name,
                                              int splitCount = 1);
    static std::string encoderDiscoveryAnswer(const std::string& mac, const std::string& name);

private:
    void loop();
    std::vector<std::string> answersFor(const Datagram& d);

    Kind kind_;
    std::string ip_;
    bool ok_ = false;
    std::string error_;
    UdpSocket socket_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Datagram> received_;
    std::string discoveryAnswer_;
    std::vector<std::pair<std::string, std::string>> answers_;
    Responder responder_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace qeltest
