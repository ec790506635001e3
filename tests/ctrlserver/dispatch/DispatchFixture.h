// A controller without front ends or threads, over a real device server and wall model in a
// box root of its own, run without a network. Commands go through both stages as the
// command thread runs them; replies are read back from the controller's reply queue.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "core/CtrlServer.h"
#include "ctrlserver/device/DevServerFixture.h"
#include "support/Acks.h"
#include "support/DeviceFiles.h"
#include "wall/VSServer.h"

class DispatchTest : public DevServerTest {
public:
    class Ctrl : public CtrlServer {
    public:
        explicit Ctrl(UsageEnvironment& e) : CtrlServer(e, Port(6666), NoServers{}) {}
    };

    // One reply as queued: its tag and its JSON, parsed.
    struct Reply {
        std::string tag;  // "" without one
        std::string text;
        Json::Value json;
        bool parsed = false;
    };

    struct Outcome {
        int stageOne = 0;
        int stageTwo = 0;  // 0 when stage two did not run
        std::vector<Reply> replies;
        int result() const { return stageTwo ? stageTwo : stageOne; }
    };

    void SetUp() override {
        DevServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(mkdir(file("/mnt/sence").c_str(), 0755), 0);
        startController();
    }

    void TearDown() override {
        ctrl.reset();
        model.reset();
        DevServerTest::TearDown();
    }

    // (Re)builds the device server and the model from the files as they are now.
    void startController() {
        ctrl.reset();
        model.reset();
        DevServer& dev = start();
        model.reset(VSServer::createNew(*env, dev));
        ASSERT_TRUE(model);
        model->devTextTap = [this](const std::string& t) { modelTexts.push_back(t); };
        ctrl.reset(new Ctrl(*env));
        ctrl->devServer = &dev;
        ctrl->vsServer = model.get();
    }

    // Writes the device tables and restarts on them (the running servers go first: they
    // would write their own tables back).
    void seed(const std::vector<qeltest::SeedDevice>& decoders,
              const std::vector<qeltest::SeedDevice>& encoders = {}) {
        ctrl.reset();
        model.reset();
        server.reset();
        ASSERT_TRUE(qeltest::writeDeviceFile(file("/mnt/qeldevDecoder.ini"), "decoder", decoders));
        ASSERT_TRUE(qeltest::writeDeviceFile(file("/mnt/qeldevEncoder.ini"), "encoder", encoders));
        startController();
    }

    // Runs text as the command thread does: stage one on a terminated buffer, stage two on
    // a copy when stage one declines. The replies are taken from the reply queue.
    Outcome run(const std::string& text, unsigned fromWeb = 1) {
        Outcome o;
        std::vector<char> take(text.begin(), text.end());
        take.push_back('\0');
        std::vector<char> copy = take;
        const int len = static_cast<int>(text.size());
        o.stageOne = ctrl->ProcessSub1(take.data(), len, fromWeb);
        if (o.stageOne < 1) o.stageTwo = ctrl->Process(copy.data(), len, fromWeb);
        o.replies = drain();
        return o;
    }

    // As run(), logged in first; only the replies.
    std::vector<Reply> ask(const std::string& text) {
        ctrl->loggedIn = 1;
        return run(text).replies;
    }

    std::vector<Reply> drain() {
        std::vector<Reply> out;
        std::vector<unsigned char> buf(QEL_MAX_ENTRY);
        CommandQueueNode n{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
        while (ctrl->ackQueue()->DelNode(n) == 1) {
            Reply r;
            std::string entry(reinterpret_cast<char*>(buf.data()), n.size);
            size_t bar = entry.find('|');
            size_t json = 0;
            if (bar != std::string::npos && bar > 0 && entry[0] >= '0' && entry[0] <= '9' &&
                entry.find_first_not_of("0123456789") == bar) {
                r.tag = entry.substr(0, bar);
                json = bar + 1;
            }
            r.text = entry.substr(json);
            Json::Reader reader;
            r.parsed = reader.parse(r.text, r.json);
            out.push_back(r);
            n.size = 0;
        }
        return out;
    }

    static Json::Value oldAck(const std::string& cmd, bool ok) { return qeltest::oldAck(cmd, ok); }
    static Json::Value newAck(const std::string& cmd, bool ok) { return qeltest::newAck(cmd, ok); }

    // The parsed JSON of each reply, in order.
    static std::vector<Json::Value> jsonOf(const std::vector<Reply>& replies) {
        std::vector<Json::Value> out;
        for (const Reply& r : replies) out.push_back(r.json);
        return out;
    }

    // The replies in short: the root key of a data reply, "null" for a null one, "ack+" or
    // "ack-" for an acknowledgement (its echo in echo, the last one's when several).
    static std::vector<std::string> shape(const std::vector<Reply>& replies,
                                          std::string* echo = nullptr) {
        std::vector<std::string> out;
        for (const Reply& r : replies) {
            if (!r.parsed) {
                out.push_back("unparsed");
            } else if (r.json.isNull()) {
                out.push_back("null");
            } else if (r.json.isObject() && r.json.isMember("ack")) {
                const Json::Value& a = r.json["ack"].isArray() ? r.json["ack"][0] : r.json["ack"];
                out.push_back(a["status"] == "success" ? "ack+" : "ack-");
                if (echo) *echo = a["cmd"].asString();
            } else if (r.json.isObject() && r.json.size() == 1) {
                out.push_back(r.json.getMemberNames()[0]);
            } else {
                out.push_back("other");
            }
        }
        return out;
    }

    struct CtrlDeleter {
        void operator()(CtrlServer* c) const { delete c; }
    };
    struct ModelDeleter {
        void operator()(VSServer* s) const { delete s; }
    };
    std::unique_ptr<CtrlServer, CtrlDeleter> ctrl;
    std::unique_ptr<VSServer, ModelDeleter> model;
    std::vector<std::string> modelTexts;
};
