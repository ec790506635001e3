#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/CtrlServer.h"
#include "live/BasicUsageEnvironment.hh"

namespace {

struct Call {
    int stage;
    std::string text;  // up to len, as handed over
    int len;
    unsigned fromWeb;
};

std::mutex gMu;
std::vector<Call> gCalls;
// Doubles of the dispatcher stages; each returns what the stage would.
std::function<int(CtrlServer&, char*, int)> gStage1 = [](CtrlServer&, char*, int) { return 0; };
std::function<int(CtrlServer&, char*, int)> gStage2 = [](CtrlServer&, char*, int) { return 0; };

void queueText(CommandQueue* q, const std::string& s) {
    q->AddNode(reinterpret_cast<unsigned char*>(const_cast<char*>(s.data())),
               static_cast<int>(s.size()));
}

// The reply entry for a command entry: its prefix up to '|', then '|' and the reply.
std::string replyFor(const char* text, const std::string& reply) {
    const char* bar = strchr(text, '|');
    std::string prefix = bar ? std::string(text, bar - text) : "";
    return prefix + "|" + reply;
}

}  // namespace

int CtrlServer::ProcessSub1(char* text, int len, unsigned int fromWeb) {
    {
        std::lock_guard<std::mutex> g(gMu);
        gCalls.push_back({1, std::string(text, len), len, fromWeb});
    }
    if (char* bar = strchr(text, '|')) *bar = '\0';  // as the real first stage does
    return gStage1(*this, text, len);
}

int CtrlServer::Process(char* text, int len, unsigned int fromWeb) {
    {
        std::lock_guard<std::mutex> g(gMu);
        gCalls.push_back({2, std::string(text, len), len, fromWeb});
    }
    return gStage2(*this, text, len);
}

namespace {

class TestCtrl : public CtrlServer {
public:
    explicit TestCtrl(UsageEnvironment& e) : CtrlServer(e, Port(6666), NoServers{}) {}
    void stop() { running = 0; }
};

std::vector<std::string> drain(CommandQueue* q) {
    std::vector<std::string> out;
    std::vector<unsigned char> buf(QEL_MAX_ENTRY);
    CommandQueueNode n{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
    while (q->DelNode(n) == 1) out.emplace_back(reinterpret_cast<char*>(buf.data()), n.size);
    return out;
}

template <typename Pred>
bool waitFor(Pred p, int ms = 2000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (p()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return p();
}

size_t callCount() {
    std::lock_guard<std::mutex> g(gMu);
    return gCalls.size();
}

class CommandThread : public ::testing::Test {
protected:
    void SetUp() override {
        scheduler = BasicTaskScheduler::createNew();
        env = BasicUsageEnvironment::createNew(*scheduler);
        ctrl = new TestCtrl(*env);
        gCalls.clear();
        gStage1 = [](CtrlServer&, char*, int) { return 0; };
        // By default the second stage takes everything and answers with one reply.
        gStage2 = [](CtrlServer& c, char* text, int) {
            queueText(c.ackQueue(),
                      replyFor(text, std::string("re:") +
                                         (strchr(text, '|') ? strchr(text, '|') + 1 : text)));
            return 1;
        };
    }
    void start() {
        std::vector<CtrlServer::CommandSource> sources = {
            {&webCmd, &webAck, 1}, {&netCmd, &netAck, 0}, {&comCmd, &comAck, 0}};
        loop = std::thread([this, sources] { ctrl->commandLoop(sources); });
    }
    void TearDown() override {
        ctrl->stop();
        if (loop.joinable()) loop.join();
        delete ctrl;
        delete env;
        delete scheduler;
    }
    TaskScheduler* scheduler = nullptr;
    UsageEnvironment* env = nullptr;
    TestCtrl* ctrl = nullptr;
    std::thread loop;
    CommandQueue webCmd, webAck, netCmd, netAck, comCmd, comAck;
};

TEST_F(CommandThread, WebIsServedBeforeTheTextPortAndRepliesGoBackToTheirSource) {
    queueText(&netCmd, "9|config get devices");
    queueText(&webCmd, "5|config get encoders");
    start();
    ASSERT_TRUE(waitFor([&] { return webAck.QueueLength() == 1 && netAck.QueueLength() == 1; }));
    std::lock_guard<std::mutex> g(gMu);
    ASSERT_GE(gCalls.size(), 4u);
    EXPECT_EQ(gCalls[0].text, "5|config get encoders");
    EXPECT_EQ(gCalls[0].fromWeb, 1u);
    EXPECT_EQ(gCalls[2].text, "9|config get devices");
    EXPECT_EQ(gCalls[2].fromWeb, 0u);
    EXPECT_EQ(drain(&webAck), std::vector<std::string>{"5|re:config get encoders"});
    EXPECT_EQ(drain(&netAck), std::vector<std::string>{"9|re:config get devices"});
}

TEST_F(CommandThread, SecondStageGetsTheUntouchedTextWhenTheFirstDeclines) {
    queueText(&netCmd, "3|config get devices");
    queueText(&netCmd, "config get decoders");  // no '|': handed over whole
    start();
    ASSERT_TRUE(waitFor([&] { return callCount() == 4; }));
    std::lock_guard<std::mutex> g(gMu);
    EXPECT_EQ(gCalls[1].stage, 2);
    EXPECT_EQ(gCalls[1].text, "3|config get devices");
    EXPECT_EQ(gCalls[1].len, 20);
    EXPECT_EQ(gCalls[3].text, "config get decoders");
}

TEST_F(CommandThread, AListAndItsAcknowledgementAreTwoMessagesInOrder) {
    gStage1 = [](CtrlServer& c, char* text, int) {
        queueText(c.ackQueue(), std::string(text) + "|{\"list\":[]}");
        queueText(c.ackQueue(), std::string(text) + "|{\"status\":\"success\"}");
        return 1;
    };
    queueText(&webCmd, "12|vw get windows");
    start();
    ASSERT_TRUE(waitFor([&] { return webAck.QueueLength() == 2; }));
    EXPECT_EQ(drain(&webAck),
              (std::vector<std::string>{"12|{\"list\":[]}", "12|{\"status\":\"success\"}"}));
    std::lock_guard<std::mutex> g(gMu);
    EXPECT_EQ(gCalls.size(), 1u);  // the first stage took it: no second stage
}

TEST_F(CommandThread, RepliesOfAnUntakenCommandGoOutWithTheNextTakenOne) {
    int n = 0;
    gStage2 = [&n](CtrlServer& c, char* text, int) {
        queueText(c.ackQueue(), replyFor(text, "r" + std::to_string(n)));
        return n++ == 0 ? 0 : 1;  // the first command is not taken
    };
    queueText(&webCmd, "1|first");
    start();
    ASSERT_TRUE(waitFor([&] { return callCount() == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(webAck.QueueLength(), 0);
    queueText(&netCmd, "2|second");
    ASSERT_TRUE(waitFor([&] { return netAck.QueueLength() == 2; }));
    EXPECT_EQ(drain(&netAck), (std::vector<std::string>{"1|r0", "2|r1"}));
}

// CPU time used so far by the given thread.
double threadCpuSeconds(std::thread& t) {
    clockid_t cid;
    if (pthread_getcpuclockid(t.native_handle(), &cid) != 0) return -1;
    struct timespec ts;
    clock_gettime(cid, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

TEST_F(CommandThread, QueuedCommandsRunBackToBackAndAnIdleLoopPauses) {
    gStage2 = [](CtrlServer& c, char* text, int) {
        queueText(c.ackQueue(), replyFor(text, "ok"));
        return 1;
    };
    const int commands = 200;
    for (int i = 0; i < commands; ++i) queueText(&netCmd, "6|config get system status");
    auto t0 = std::chrono::steady_clock::now();
    start();
    // With a 10 ms pause before each command these would need 2 s.
    ASSERT_TRUE(waitFor([&] { return netAck.QueueLength() == commands; }, 1500));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));

    double before = threadCpuSeconds(loop);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(threadCpuSeconds(loop) - before, 0.1);
}

TEST_F(CommandThread, UploadBlocksRunWithoutThePauseButAStalledUploadDoesNotSpin) {
    const int blocks = 200;
    for (int i = 0; i < blocks; ++i) queueText(&webCmd, "4|update data block 00");
    auto t0 = std::chrono::steady_clock::now();
    start();
    // With a 10 ms pause per command these would need 2 s.
    ASSERT_TRUE(waitFor([&] { return webAck.QueueLength() == blocks; }, 1500));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));

    // The upload stalls: the thread goes back to pausing instead of spinning.
    double before = threadCpuSeconds(loop);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    double used = threadCpuSeconds(loop) - before;
    EXPECT_LT(used, 0.1);

    queueText(&webCmd, "4|config get devices");
    ASSERT_TRUE(waitFor([&] { return webAck.QueueLength() == blocks + 1; }));
}

}  // namespace
