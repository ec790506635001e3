// The controller as the fuzz targets of its command chains and files drive it: a device server,
// a wall model and the dispatcher stages in a box root of their own, without front ends. Call
// qelfuzz::isolateFromNetwork first: the device server sends to the devices.
#pragma once

#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/CtrlServer.h"
#include "device/DevServer.h"
#include "live/BasicUsageEnvironment.hh"
#include "wall/VSServer.h"

namespace qelfuzz {

class Controller {
public:
    Controller() {
        makeRoot({"/mnt/sence", "/usr/backup", "/var/www", "/dev/tftpboot", "/var/log"});
        // The reboot commands end the program on a PC build, as the box would go down.
        box::setRebootHandler([] {});
        scheduler = BasicTaskScheduler::createNew();
        env = BasicUsageEnvironment::createNew(*scheduler);
        dev = DevServer::createNew(*env, Port(6668), 0);
        ctrl = new Ctrl(*env);
        ctrl->devServer = dev;
        newModel();
    }

    ~Controller() {
        delete ctrl;
        delete vs;
        delete dev;  // joins its sending thread
        delete env;
        delete scheduler;
    }

    // Builds the wall model again from the files as they are now.
    void newModel() {
        delete vs;
        vs = VSServer::createNew(*env, *dev);
        ctrl->vsServer = vs;
    }

    // Runs one command text as the command thread does: stage one on a terminated buffer,
    // stage two on a copy when stage one declines. Then checks that every reply is one entry of
    // JSON behind the command's origin tag, and hands what the model queued for the devices to
    // the device server as its sending thread would.
    void run(const std::string& text, unsigned fromWeb) {
        std::vector<char> take(text.begin(), text.end());
        take.push_back('\0');
        std::vector<char> copy = take;
        const int len = static_cast<int>(text.size());
        if (ctrl->ProcessSub1(take.data(), len, fromWeb) < 1)
            ctrl->Process(copy.data(), len, fromWeb);
        checkReplies(tagOf(text));
        sendQueued();
    }

    TaskScheduler* scheduler = nullptr;
    UsageEnvironment* env = nullptr;
    DevServer* dev = nullptr;
    VSServer* vs = nullptr;
    CtrlServer* ctrl = nullptr;

private:
    class Ctrl : public CtrlServer {
    public:
        explicit Ctrl(UsageEnvironment& e) : CtrlServer(e, Port(6666), NoServers{}) {}
    };

    static void fail(const char* what, const std::string& detail) {
        fprintf(stderr, "fuzz: %s: %s\n", what, detail.c_str());
        abort();
    }

    // The tag as the stages read it: 1 to 11 digits before the first '|'.
    static std::string tagOf(const std::string& text) {
        const size_t bar = text.find('|');
        if (bar == std::string::npos || bar == 0 || bar > 11) return "";
        if (text.find_first_not_of("0123456789") != bar) return "";
        return text.substr(0, bar + 1);
    }

    void checkReplies(const std::string& tag) {
        CommandQueueNode n{buffer.data(), 0, nullptr, QEL_MAX_ENTRY};
        while (ctrl->ackQueue()->DelNode(n) == 1) {
            const std::string entry(reinterpret_cast<char*>(buffer.data()), n.size);
            n.size = 0;
            if (entry.compare(0, tag.size(), tag) != 0)
                fail("reply without the command's tag", entry);
            Json::Value v;
            Json::Reader reader;
            if (!reader.parse(entry.substr(tag.size()), v, false)) fail("reply is not JSON", entry);
        }
    }

    void sendQueued() {
        CommandQueueNode node{buffer.data(), 0, nullptr, QEL_MAX_ENTRY};
        while (dev->cmdQueue()->DelNode(node) == 1) {
            buffer[node.size] = '\0';
            dev->processQueuedCmd(reinterpret_cast<char*>(buffer.data()));
            node.size = 0;
        }
    }

    std::vector<unsigned char> buffer = std::vector<unsigned char>(QEL_MAX_ENTRY + 1);
};

}  // namespace qelfuzz

// Every command takes reply buffers of 75000 bytes; with ASan's default quarantine each one is
// fresh memory, and the page faults of touching it cost several times the command itself. A
// smaller quarantine reuses recent blocks and still catches a use soon after the free.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}
