#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ControlFixture.h"

namespace {

// A player that records what the main loop asks of it; slots "play" after a successful show.
struct FakePlayer {
    std::mutex lock;
    std::vector<std::string> calls;
    bool playing[QEL_PLAYER_SLOTS] = {};
    int showResult[QEL_PLAYER_SLOTS] = {};
    int activityChecks = 0;

    void record(const std::string& c) {
        std::lock_guard<std::mutex> g(lock);
        calls.push_back(c);
    }
    std::vector<std::string> take(const std::string& prefix) {
        std::lock_guard<std::mutex> g(lock);
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        calls.clear();
        return out;
    }
};

FakePlayer* gFake = nullptr;

PlayerOps fakeOps() {
    PlayerOps p;
    p.show = [](int slot, const char* url, int iFull) {
        gFake->record("show " + std::to_string(slot) + " " + url + " " + std::to_string(iFull));
        int r = gFake->showResult[slot];
        gFake->playing[slot] = r == 0;
        return r;
    };
    p.stop = [](int slot) {
        gFake->record("stop " + std::to_string(slot));
        gFake->playing[slot] = false;
    };
    p.decodeJpg = [](int slot) { gFake->record("jpg " + std::to_string(slot)); };
    p.detectVideoActive = [] { gFake->activityChecks++; };
    p.getVideoWinMax = [] { return QEL_PLAYER_SLOTS; };
    p.isVideoExisted = [](int slot, int* count, int* w, int* h) {
        *count = QEL_PLAYER_SLOTS;
        *w = 1920;
        *h = 1080;
        return gFake->playing[slot] ? 1 : 0;
    };
    p.detectFullScreen = [](int* full, int* win) {
        *full = 0;
        *win = 0;
        return QEL_PLAYER_SLOTS;
    };
    p.resumeChn = [] {};
    return p;
}

class MainLoop : public ctltest::ControlFixture {
protected:
    void SetUp() override {
        ControlFixture::SetUp();
        gFake = &fake;
        gPlayer = fakeOps();
        const int use[6] = {0, 1, 2, 3, 4, 17};
        std::lock_guard<std::mutex> g(gWinLock);
        memcpy(ChannelUse, use, sizeof use);
        for (int i = 0; i < QEL_SLOTS; ++i) copyText(param[i], QEL_URL_SIZE, "unused_window");
        memset(update_info, 0, sizeof update_info);
    }
    void TearDown() override {
        gFake = nullptr;
        ControlFixture::TearDown();
    }
    void setUrl(int slot, const std::string& url) {
        std::lock_guard<std::mutex> g(gWinLock);
        copyText(param[slot], QEL_URL_SIZE, url.c_str());
    }
    void post(int slot, int code, int arg) {
        {
            std::lock_guard<std::mutex> g(gWinLock);
            update_info[slot][0] = code;
            update_info[slot][1] = arg;
        }
        wakeMainLoop();
    }
    // Starts with the given slots playing their URLs.
    void startWith(const std::vector<int>& slots) {
        for (int s : slots) setUrl(s, "rtsp://192.0.2." + std::to_string(s) + "/a");
        openStoredStreams();
        fake.take("");
    }

    FakePlayer fake;
};

}  // namespace

TEST_F(MainLoop, StartOpensStoredWindowsOfThePlayerOnly) {
    setUrl(0, "rtsp://192.0.2.1/a");
    setUrl(20, "rtsp://192.0.2.20/a");  // the stored table has 32 slots, the player 18
    openStoredStreams();
    auto shows = fake.take("show");
    EXPECT_EQ(shows, std::vector<std::string>{"show 0 rtsp://192.0.2.1/a 2"});
    EXPECT_EQ(open_result[0], 0);
    EXPECT_EQ(open_result[1], -1);
    EXPECT_EQ(open_result[20], -1);
}

TEST_F(MainLoop, UrlChangeReopensOnlyTheSlotInUseForTheWindow) {
    startWith({0, 1, 2, 3});
    setUrl(2, "rtsp://192.0.2.102/b");
    post(2, 1, 2);
    mainLoopPass();
    EXPECT_EQ(fake.take("show"), std::vector<std::string>{"show 2 rtsp://192.0.2.102/b 2"});
    EXPECT_EQ(update_info[2][0], 0);

    // Window 2 shown by its standby slot 7: a change posted for 7 reopens 7, one posted for the
    // idle slot 2 reopens nothing.
    {
        std::lock_guard<std::mutex> g(gWinLock);
        ChannelUse[2] = 7;
    }
    setUrl(7, "rtsp://192.0.2.107/c");
    post(7, 1, 2);
    mainLoopPass();
    EXPECT_EQ(fake.take("show"), std::vector<std::string>{"show 7 rtsp://192.0.2.107/c 2"});
    post(2, 1, 2);
    mainLoopPass();
    EXPECT_TRUE(fake.take("show").empty());
}

TEST_F(MainLoop, UnusedWindowStopsAPlayingSlotOnce) {
    startWith({3});
    setUrl(3, "unused_window");
    post(3, 1, 2);
    mainLoopPass();
    auto calls = fake.take("");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "stop 3"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "jpg 3"), calls.end());
    mainLoopPass();
    EXPECT_TRUE(fake.take("stop").empty());
}

TEST_F(MainLoop, FailingOpenIsRetriedEveryPass) {
    fake.showResult[1] = -1;
    startWith({1});
    for (int pass = 0; pass < 3; ++pass) {
        mainLoopPass();
        auto calls = fake.take("");
        EXPECT_NE(std::find(calls.begin(), calls.end(), "show 1 rtsp://192.0.2.1/a 2"),
                  calls.end());
        EXPECT_NE(std::find(calls.begin(), calls.end(), "jpg 1"), calls.end());
    }
    fake.showResult[1] = 0;
    mainLoopPass();
    EXPECT_EQ(fake.take("show").size(), 1u);
    mainLoopPass();
    EXPECT_TRUE(fake.take("show").empty());
}

TEST_F(MainLoop, RunWakesOnAPostAndOnTheTick) {
    fake.showResult[0] = -1;
    startWith({0});
    loop = 1;
    std::thread t(mainLoopRun);
    auto waitShows = [&](size_t n) {
        for (int i = 0; i < 200; ++i) {
            {
                std::lock_guard<std::mutex> g(fake.lock);
                if (fake.calls.size() >= n) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    wakeMainLoop();
    EXPECT_TRUE(waitShows(1));
    fake.take("");
    mainLoopTick();
    EXPECT_TRUE(waitShows(1));
    loop = 0;
    t.join();
    EXPECT_GE(fake.activityChecks, 1);
}
