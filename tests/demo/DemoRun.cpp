// The demo: a whole installation on the private test network (the controller, four decoders
// and a source box with two live RTSP test patterns: colour bars and a moving ball) driven over the
// WebSocket as an operator would, printing each command and its parsed replies. After each step the
// decoders' screens are put where they hang on the wall as the controller holds it (its grid,
// the decoder in each cell, the bezel gaps its cut edge stands for) into <out>/wall.png.
//
//   demo_run [--out DIR] [--once] [--stream FILE]...
//
// Each --stream names the MPEG-TS file of the next stream (one file serves both); without
// any, the source serves live test patterns.
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
#include <fstream>
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
    std::vector<std::string> streams;
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

// The wall as the controller holds it ("config get vs screen params"), each cell's decoder
// given by its screen file; false when the controller gave no wall.
bool askWall(qeltest::WebSocketClient& web, qeltest::Installation& inst, demo::WallLayout& wall) {
    if (!web.sendText("config get vs screen params")) return false;
    Json::Value info;
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
        std::optional<std::string> text = web.receiveText(5s);
        if (!text) return false;
        Json::Value v;
        Json::Reader reader;
        if (!reader.parse(*text, v, false) || !v.isObject()) continue;
        if (v.isMember("vsscreeninfo")) {
            const Json::Value& list = v["vsscreeninfo"];
            info = list.isArray() ? list[0] : list;
        }
        if (v.isMember("ack")) break;
    }
    if (!info.isObject() || !info["vsrow"].isIntegral() || !info["vscolumn"].isIntegral())
        return false;
    wall.rows = info["vsrow"].asInt();
    wall.columns = info["vscolumn"].asInt();
    wall.horCut = info["vshorcut"].asInt();
    wall.verCut = info["vsvercut"].asInt();
    wall.screens.clear();
    for (int c = 0; c < wall.rows * wall.columns; ++c) {
        const std::string ip = info["vsdeviplist[" + std::to_string(c) + "]"].asString();
        std::string screen;
        for (int i = 0; i < inst.decoderCount(); ++i)
            if (ip == qeltest::Installation::decoderIp(i))
                screen = inst.decoderBox(i).path("/sim/screen.ppm");
        wall.screens.push_back(screen);
    }
    return true;
}

struct Step {
    const char* what;
    std::vector<std::string> commands;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--stream" && i + 1 < argc)
            o.streams.push_back(argv[++i]);
        else if (a == "--out" && i + 1 < argc)
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
    // The decoders' loss picture: dark blue with "NO SIGNAL".
    io.logo = o.out + "/logo.jpg";
    std::string out;
    if (qeltest::runCommand({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
                             "-i", "color=c=0x204080:s=1920x1080", "-vf",
                             "drawtext=text='NO SIGNAL':fontcolor=white:fontsize=96:"
                             "x=(w-tw)/2:y=(h-th)/2",
                             "-frames:v", "1", io.logo},
                            &out, 30s) != 0) {
        fprintf(stderr, "demo: the loss picture could not be made: %s\n", out.c_str());
        return 1;
    }
    if (o.streams.empty())
        io.patterns = {"smpte", "ball"};
    else
        io.streamFiles = o.streams;
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
        {"a 2 x 2 wall of the four decoders with a bezel cut of 4 and 2 (8 pixels a step): each "
         "screen hides 4 x 8 = 32 pixels at its inner left and right edges and 2 x 8 = 16 at "
         "its inner top and bottom ones, for bezels of 64 and 32 pixels between the screens",
         {"config set vs screen params 2 2 0 0", "config set vs src params 0 10.77.0.2",
          "config set vs src params 1 10.77.0.3", "config set vs src params 2 10.77.0.4",
          "config set vs src params 3 10.77.0.5", "config set vs rowcolumncutedge params 4 2"}},
        {"stream 1 across the wall",
         {"config set vs url params 0 ipsource " + cam + " 0",
          "config set vs win params 0 0 3840 0 2160"}},
        {"stream 1 across the top row, stream 2 into a window across the bottom row",
         {"config set vs win params 0 0 3840 0 1080",
          "config set vs url params 10 ipsource " + cam + " 1",
          "config set vs win params 10 960 2880 1300 1900"}},
        {"save the wall as preset 1 of scene 1 \"Hall\"", {"scene save preset Hall 1 1"}},
        {"change the wall: stream 2 on the top row too, its window moved",
         {"config set vs url params 0 ipsource " + cam + " 1",
          "config set vs win params 10 100 900 1200 2000"}},
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
            pause(8s);
        }
        demo::WallLayout wall;
        if (!askWall(web, inst, wall)) {
            printf("  ! wall picture not written: the controller gave no wall\n");
            continue;
        }
        std::string note;
        // wall.png is the wall now; step-N.png keeps each step's picture.
        const std::string kept = o.out + "/step-" + std::to_string(n) + ".png";
        if (demo::writeWallPicture(wall, {kept, picture}, &note))
            printf("  wall picture: %s%s\n", picture.c_str(), note.c_str());
        else
            printf("  ! wall picture not written: %s\n", note.c_str());
    }
    if (!o.once && !gStop) {
        printf("The installation runs; Ctrl-C stops it and removes it.\n");
        while (!gStop) pause(1s);
    }
    // What each program printed, for a look afterwards.
    mkdir((o.out + "/logs").c_str(), 0755);
    auto keep = [&](const std::string& name, qeltest::Process& p) {
        std::ofstream(o.out + "/logs/" + name + ".log") << p.output();
    };
    keep("ctrlserver", inst.controller());
    for (int i = 0; i < inst.decoderCount(); ++i)
        keep("rxplayer-" + qeltest::Installation::decoderIp(i), inst.decoder(i));
    printf("Stopping; the test network and the boxes are removed (logs in %s/logs).\n",
           o.out.c_str());
    return 0;
}
