#include "support/Installation.h"

#include <dirent.h>

#include <algorithm>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "support/DeviceFiles.h"

#ifndef QEL_SOURCE_DIR
#error "QEL_SOURCE_DIR names the source tree (for tests/support/rtsp_server.py)"
#endif

namespace qeltest {

namespace {

bool fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

}  // namespace

bool Installation::start(const InstallationOptions& o, std::string* why) {
    const std::string unavailable = testNetworkUnavailable();
    if (!unavailable.empty()) return fail(why, "test network unavailable: " + unavailable);
    if (o.decoders < 1 || o.decoders > 6) return fail(why, "1 to 6 decoders");
    if (o.streams < 1 || o.streams > 4) return fail(why, "1 to 4 streams");
    struct stat st;
    if (o.patterns.empty()) {
        if (o.streamFiles.empty()) return fail(why, "no stream file");
        for (const std::string& f : o.streamFiles)
            if (stat(f.c_str(), &st) != 0) return fail(why, "no stream file " + f);
    }
    if (!o.patterns.empty() && static_cast<int>(o.patterns.size()) < o.streams)
        return fail(why, "one pattern per stream");

    net_ = std::make_unique<TestNet>();
    if (!net_->ok()) return fail(why, net_->error());
    ctrl_ = &net_->addBox("ctrl", 1);
    source_ = &net_->addBox("src", 9);
    operator_ = &net_->addBox("op", 20);
    if (!ctrl_->ok() || !source_->ok() || !operator_->ok()) return fail(why, "boxes not made");

    for (int k = 0; k < o.streams; ++k) {
        std::vector<std::string> args = {"--address", sourceIp(), "--port",
                                         std::to_string(8554 + k)};
        if (o.patterns.empty())
            args.insert(args.end(), {std::string("--file"),
                                     o.streamFiles[std::min<size_t>(k, o.streamFiles.size() - 1)]});
        else
            args.insert(args.end(), {std::string("--pattern"), o.patterns[k]});
        auto server = source_->start(QEL_SOURCE_DIR "/tests/support/rtsp_server.py", args);
        if (!server || !server->waitForStdout("ready", 20s))
            return fail(why, "RTSP server did not start: " + (server ? server->output() : ""));
        servers_.push_back(std::move(server));
    }

    std::vector<SeedDevice> seeds;
    for (int i = 0; i < o.decoders; ++i) {
        Box& b = net_->addBox("dec" + std::to_string(i), i + 2);
        if (!b.ok()) return fail(why, "decoder box not made");
        std::string out;
        // The decoder reports its MAC and routes through a gateway, as on a real network.
        if (runCommand({"ip", "-n", b.netns(), "link", "set", "eth0", "address", decoderMac(i)},
                       &out) != 0 ||
            runCommand({"ip", "-n", b.netns(), "route", "replace", "default", "via", "10.77.0.254",
                        "dev", "eth0"},
                       &out) != 0)
            return fail(why, "decoder box set-up: " + out);
        mkdir(b.path("/mnt").c_str(), 0755);
        if (!o.logo.empty()) {
            std::ifstream in(o.logo, std::ios::binary);
            std::ofstream out(b.path("/mnt/logo.jpg"), std::ios::binary);
            out << in.rdbuf();
            if (!in || !out) return fail(why, "loss picture not copied from " + o.logo);
        }
        decoderBoxes_.push_back(&b);
        seeds.push_back({decoderIp(i), "RX" + std::to_string(i + 1),
                         "DEC-000" + std::to_string(i + 2), decoderMac(i)});
    }
    for (int i = 0; i < o.decoders; ++i) {
        auto p = decoderBoxes_[i]->start(programPath("rxplayer"), {}, o.decoderEnv);
        if (!p || !p->waitForStdout("setup tcp with port: 8888!", 30s))
            return fail(why,
                        "rxplayer " + decoderIp(i) + " did not start: " + (p ? p->output() : ""));
        decoders_.push_back(std::move(p));
    }

    mkdir(ctrl_->path("/mnt").c_str(), 0755);
    std::vector<std::pair<std::string, Json::Value>> urls;
    for (int k = 0; k < o.streams && k < 2; ++k)
        urls.push_back({"url" + std::to_string(k), streamUrl(k)});
    SeedDevice camera;
    camera.ip = sourceIp();
    camera.name = "CAM1";
    camera.version = "";
    camera.extra = urls;
    if (!writeDeviceFile(ctrl_->path("/mnt/qeldevDecoder.ini"), "decoder", seeds) ||
        !writeDeviceFile(ctrl_->path("/mnt/qeldevIPSource.ini"), "ipsource", {camera}))
        return fail(why, "device files not written");
    controller_ = ctrl_->start(programPath("ctrlserver"), {}, o.controllerEnv);
    if (!controller_ || !controller_->waitForStderr("webServer Started", 20s))
        return fail(why, "ctrlserver did not start: " + (controller_ ? controller_->output() : ""));
    return true;
}

long residentKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

int openDescriptors(pid_t pid) {
    DIR* d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!d) return -1;
    int n = 0;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++n;
    closedir(d);
    return n;
}

}  // namespace qeltest
