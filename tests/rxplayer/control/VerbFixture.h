// Runs command texts through the decoder's command table as the UDP server would, with the
// replies recorded; the test has no network, the box is 10.77.0.2 with 18 windows.
#pragma once

#include <string>
#include <vector>

#include "ControlFixture.h"
#include "SimControl.h"
#include "control/qelDecodeServer.h"
#include "support/NoNetwork.h"

namespace ctltest {

struct Sent {
    std::string text;
    ReplyFrom from;
};

class RecordingSink : public ReplySink {
public:
    void reply(const char* data, size_t len, ReplyFrom from) override {
        sent.push_back({std::string(data, len), from});
    }
    using ReplySink::reply;
    std::vector<Sent> sent;
};

using Texts = std::vector<std::string>;

class VerbFixture : public ControlFixture {
protected:
    void SetUp() override {
        ControlFixture::SetUp();
        ASSERT_TRUE(qeltest::isolateFromNetwork());
        qelsim::reset();
        setOwnAddress("10.77.0.2");
        windows = 18;
    }
    // Runs one command text as the UDP server would and returns the replies.
    std::vector<Sent> run(const std::string& text) {
        char buf[QEL_DATAGRAM_MAX + 1] = {0};
        copyText(buf, sizeof buf, text.c_str());
        RecordingSink sink;
        handleCommand(buf, sink);
        return sink.sent;
    }
    Texts texts(const std::string& text) {
        Texts out;
        for (const Sent& s : run(text)) out.push_back(s.text);
        return out;
    }
};

}  // namespace ctltest
