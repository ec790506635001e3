// The demo: a whole installation on the private test network (the controller, four decoders
// and a source box with two live RTSP test patterns: colour bars and a moving ball) driven over the
// WebSocket as an operator would, printing each command and its parsed replies. After each step the
// four decoders' screens are put side by side as they hang on the wall, with the bezel gaps, into
// <out>/wall.png.
//
//   demo_run [--out DIR] [--once]
//
// Without --once it stays up until SIGINT or SIGTERM; everything it made (namespaces, box
// roots, programs) goes when it ends, the output folder aside.
#include <json/json.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "WallPicture.h"
#include "support/Installation.h"
#include "support/WebSocketClient.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<bool> gStop{false};

void onSignal(int) {
    gStop = true;
}

struct Options {
    std::string out = "demo-out";
    bool once = false;
};

std::string compact(const Json::Value& v) {
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    return Json::writeString(b, v);
}

// One operator command over the WebSocket: prints it and every reply up to its
// acknowledgement; returns the acknowledgement's status ("" when none came).
std::string say(qeltest::WebSocketClient& web, const std::string& command) {
    printf("  > %s\n", command.c_str());
    if (!web.sendText(command)) {
        printf("  ! not sent: %s\n", web.error().c_str());
        return "";
    }
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
        std::optional<std::string> text = web.receiveText(5s);
        if (!text) break;
        Json::Value v;
        Json::Reader reader;
        if (!reader.parse(*text, v, false)) {
            printf("  < (not JSON) %s\n", text->c_str());
            continue;
        }
        printf("  < %s\n", compact(v).c_str());
        if (v.isObject() && v.isMember("ack")) {
            const Json::Value& a = v["ack"].isArray() ? v["ack"][0] : v["ack"];
            return a["status"].asString();
        }
    }
    printf("  ! no acknowledgement\n");
    return "";
}

struct Step {
    const char* what;
    std::vector<std::string> commands;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--out" && i + 1 < argc)
            o.out = argv[++i];
        else if (a == "--once")
            o.once = true;
    }
    return o;
}

// Sleeps in short steps so that a signal ends the wait at once.
void pause(std::chrono::milliseconds d) {
    const auto until = Clock::now() + d;
    while (!gStop && Clock::now() < until) std::this_thread::sleep_for(100ms);
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const Options o = parse(argc, argv);
    signal(SIGINT, onSignal);
    signal(SIGTERM, onSignal);
    mkdir(o.out.c_str(), 0755);

    qeltest::InstallationOptions io;
    io.patterns = {"smpte", "ball"};
    // The stand-in decodes what it is fed and draws each output into sim/screen.ppm.
    io.decoderEnv = {"QEL_SIM_DECODE=1"};
    qeltest::Installation inst;
    std::string why;
    printf("Starting: ctrlserver on 10.77.0.1, rxplayer on 10.77.0.2-5, RTSP source on %s\n",
           qeltest::Installation::sourceIp().c_str());
    if (!inst.start(io, &why)) {
        fprintf(stderr, "demo: %s\n", why.c_str());
        return 1;
    }
    qeltest::WebSocketClient web;
    if (!inst.operatorBox().run([&] { return web.connect(inst.ctrlBox().ip(), 3s); })) {
        fprintf(stderr, "demo: the controller's WebSocket is not reachable: %s\n",
                web.error().c_str());
        return 1;
    }

    const std::string cam = qeltest::Installation::sourceIp();
    std::vector<Step> steps = {
        {"log in", {"config set login vorpl"}},
        {"the devices the controller found", {"config get decoders", "config get ipsources"}},
        {"a 2 x 2 wall of the four decoders with a bezel cut",
         {"config set vs screen params 2 2 0 0", "config set vs src params 0 10.77.0.2",
          "config set vs src params 1 10.77.0.3", "config set vs src params 2 10.77.0.4",
          "config set vs src params 3 10.77.0.5", "config set vs rowcolumncutedge params 32 18"}},
        {"stream 1 across the wall",
         {"config set vs url params 0 ipsource " + cam + " 0",
          "config set vs win params 0 0 3840 0 2160"}},
        {"stream 2 into a window",
         {"config set vs url params 6 ipsource " + cam + " 1",
          "config set vs win params 6 2400 3400 300 900"}},
        {"save the wall as preset 1 of scene 1 \"Hall\"", {"scene save preset Hall 1 1"}},
        {"change the wall: stream 2 across it, cell 0 split in four",
         {"config set vs url params 0 ipsource " + cam + " 1", "config set vs split params 0 4 0"}},
        {"recall preset 1 of scene 1", {"scene recall preset 1 1"}},
        {"take stream 2's source away: its window shows the loss picture", {}},
    };

    const std::string picture = o.out + "/wall.png";
    int n = 0;
    for (const Step& s : steps) {
        if (gStop) break;
        printf("== step %d of %zu: %s\n", ++n, steps.size(), s.what);
        for (const std::string& c : s.commands) {
            if (gStop) break;
            say(web, c);
        }
        if (s.commands.empty()) {
            // The decoders notice a lost stream within two of their 5-second checks.
            inst.stopStream(1);
            pause(14s);
        } else {
            // Give the decoders time to open their streams and draw a few frames.
            pause(4s);
        }
        std::vector<std::string> screens;
        for (int i = 0; i < inst.decoderCount(); ++i)
            screens.push_back(inst.decoderBox(i).path("/sim/screen.ppm"));
        std::string note;
        if (demo::writeWallPicture(screens, 2, 2, 32, 18, picture, &note))
            printf("  wall picture: %s%s\n", picture.c_str(), note.c_str());
        else
            printf("  ! wall picture not written: %s\n", note.c_str());
    }
    if (!o.once && !gStop) {
        printf("The installation runs; Ctrl-C stops it and removes it.\n");
        while (!gStop) pause(1s);
    }
    printf("Stopping; the test network and the boxes are removed.\n");
    return 0;
}
