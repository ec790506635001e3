// The real controller and four real decoders on the test network, for tests of their agreement:
// the controller in box "ctrl" (10.77.0.1), decoders RX1-RX4 at 10.77.0.2-5 (cells 0-3 of a
// 2 x 2 wall, or whatever a test makes of them), an encoder TX1 (10.77.0.8, one stream) and a
// camera CAM1 (10.77.0.9, two streams) that exist only in the controller's tables, and an
// operator on the text port.
//
// A tap on the controller's interface sees every datagram the controller sends to a decoder's
// command port and every answer a decoder sends back; after each command the test checks that
// each datagram was answered by the decoder it went to. The decoders' settings files then show
// what they did with it.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/Clients.h"
#include "support/JsonTexts.h"
#include "support/Process.h"
#include "support/TestNet.h"

namespace realpair {

using namespace std::chrono_literals;

// One UDP datagram on the controller's interface.
struct Packet {
    std::string from, to;
    int fromPort = 0, toPort = 0;
    std::string text;
};

// Every UDP datagram that leaves or reaches a box's eth0, read by a thread of its own.
class WireTap {
public:
    explicit WireTap(qeltest::Box& box);
    ~WireTap();
    bool ok() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }
    // Waits until no datagram came for quiet since the call (at most limit), then takes
    // everything seen.
    std::vector<Packet> takeWhenQuiet(std::chrono::milliseconds quiet = 2s,
                                      std::chrono::milliseconds limit = 30s);

private:
    void loop();
    int fd_ = -1;
    std::string error_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Packet> seen_;
    std::chrono::steady_clock::time_point last_;
    std::thread thread_;
};

// A decoder's window as its window file keeps it: URL, position, crop, layer and shown.
struct DecoderWindow {
    std::string url;
    std::vector<int> numbers;  // x start, x stop, y start, y stop, 4 crops, layer, shown
    std::vector<int> rect() const {
        return numbers.size() >= 4 ? std::vector<int>(numbers.begin(), numbers.begin() + 4)
                                   : std::vector<int>();
    }
    int shown() const { return numbers.size() >= 10 ? numbers[9] : -1; }
};

class RealPair : public qeltest::TestNetFixture {
protected:
    static const int kDecoders = 4;
    static std::string dec(int d) { return "10.77.0." + std::to_string(d + 2); }
    static std::string rxName(int d) { return "RX" + std::to_string(d + 1); }
    static constexpr const char* kEncoder = "10.77.0.8";
    static constexpr const char* kEncoderUrl = "rtsp://10.77.0.8:8554/main";
    static constexpr const char* kCamera = "10.77.0.9";
    static constexpr const char* kCamUrl0 = "rtsp://10.77.0.9:8554/main";
    static constexpr const char* kCamUrl1 = "rtsp://10.77.0.9:8555/sub";

    void SetUpBoxes() override;
    void TearDown() override;

    // Sends one command on the text port and reads its replies up to the acknowledgement;
    // returns that acknowledgement's status ("" when none came). The replies before it (the
    // window lists) are kept in lastReplies.
    std::string command(const std::string& text);
    // Sends a query and returns its first reply, parsed.
    Json::Value query(const std::string& text);

    // Waits until the wire is quiet and checks that every datagram the controller sent to a
    // decoder was answered by it with its verb's success. Two are not answered by design: the
    // multi-hide (to every decoder, no answer) and a URL a window already shows (the decoder
    // answers nothing to a repeat). Returns the datagrams sent to each decoder, in order.
    std::map<int, std::vector<std::string>> expectAgreement(const std::string& what);
    // command(), expecting status, then expectAgreement().
    std::map<int, std::vector<std::string>> run(const std::string& text,
                                                const std::string& status = "success");

    // The decoder's files: the window file of slot w (wire window 16 is slot 17), the URL
    // its settings file keeps for slot w, its split number, cut edge (pixels) and name.
    DecoderWindow window(int d, int slot) const;
    std::string storedUrl(int d, int slot) const;
    int splitNumber(int d) const;
    std::vector<int> cutEdge(int d) const;
    std::string decoderName(int d) const;

    std::vector<qeltest::Box*> decoders;
    std::vector<std::unique_ptr<qeltest::Process>> players;
    std::unique_ptr<qeltest::Process> server;
    std::unique_ptr<WireTap> tap;
    qeltest::TcpClient text;
    qeltest::JsonTexts replies{text};
    std::vector<Json::Value> lastReplies;
    // What each decoder's windows were last told (wire window to URL as the decoder reads it),
    // to know which URL texts are repeats.
    std::map<int, std::map<int, std::string>> toldUrls;
};

}  // namespace realpair
