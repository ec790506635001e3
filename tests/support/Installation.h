// A whole installation on the private test network: the controller in box "ctrl" (10.77.0.1),
// decoder boxes running the real rxplayer (10.77.0.2 onwards), a stream source box (10.77.0.9)
// serving RTSP streams from an MPEG-TS file, and an operator box (10.77.0.20) for clients. The
// controller starts with the decoders and the source (as an encoder with one URL per stream) in
// its device tables.
//
//   qeltest::InstallationOptions o;
//   o.streamFile = "x.ts";
//   qeltest::Installation inst;
//   std::string why;
//   if (!inst.start(o, &why)) ...
//   inst.operatorBox().run([&] { return client.connect(inst.ctrlBox().ip(), 8886, 3s); });
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TestNet.h"

namespace qeltest {

struct InstallationOptions {
    int decoders = 4;        // 1-6, at 10.77.0.2 onwards
    int streams = 2;         // RTSP servers on the source box, ports 8554 onwards
    std::string streamFile;  // MPEG-TS file with H.264 video, served at its own pace
    // When not empty: live test patterns instead of the file, one per stream (videotestsrc
    // pattern names such as "smpte" or "ball"), with a clock and a frame counter burned in.
    std::vector<std::string> patterns;
    std::vector<std::string> decoderEnv;  // extra environment of every rxplayer
    std::vector<std::string> controllerEnv;
};

class Installation {
public:
    Installation() = default;
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    // Builds the network, starts the source, the decoders and then the controller, and waits
    // until each listens. False, with the reason in *why, when any step fails.
    bool start(const InstallationOptions& options, std::string* why);

    TestNet& net() { return *net_; }
    Box& ctrlBox() { return *ctrl_; }
    Box& sourceBox() { return *source_; }
    Box& operatorBox() { return *operator_; }
    Box& decoderBox(int i) { return *decoderBoxes_.at(i); }
    int decoderCount() const { return static_cast<int>(decoderBoxes_.size()); }

    // Ends stream k's server, as when a camera goes away.
    void stopStream(int k) { servers_.at(k)->stop(); }

    Process& controller() { return *controller_; }
    Process& decoder(int i) { return *decoders_.at(i); }

    static std::string decoderIp(int i) { return "10.77.0." + std::to_string(i + 2); }
    static std::string decoderMac(int i) { return "02:77:00:00:00:0" + std::to_string(i + 2); }
    static std::string sourceIp() { return "10.77.0.9"; }
    static std::string streamUrl(int k) {
        return "rtsp://" + sourceIp() + ":" + std::to_string(8554 + k) + "/main";
    }

private:
    std::unique_ptr<TestNet> net_;
    Box* ctrl_ = nullptr;
    Box* source_ = nullptr;
    Box* operator_ = nullptr;
    std::vector<Box*> decoderBoxes_;
    std::unique_ptr<Process> controller_;
    std::vector<std::unique_ptr<Process>> decoders_, servers_;
};

// The resident memory (VmRSS, kB) and the count of open descriptors of a running process; -1
// when it cannot be read.
long residentKb(pid_t pid);
int openDescriptors(pid_t pid);

}  // namespace qeltest
