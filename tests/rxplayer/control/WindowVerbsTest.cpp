// The window verbs against a player that records its calls: URL changes through the standby
// slots, range checks, split, hides and the older short forms.
#include <cstring>
#include <string>
#include <vector>

#include "VerbFixture.h"

namespace {

using ctltest::Sent;
using ctltest::Texts;

// Records the window calls; suspend answers 1 for the windows listed in suspended.
struct WindowPlayer {
    std::vector<std::string> calls;
    bool suspended[18] = {};
    int needSplit = 1;
};
WindowPlayer* gWin = nullptr;

std::string joined(std::initializer_list<int> v) {
    std::string s;
    for (int x : v) s += " " + std::to_string(x);
    return s;
}

PlayerOps windowOps() {
    PlayerOps p;
    p.suspendChn = [](int w, int only) {
        gWin->calls.push_back("suspend" + joined({w, only}));
        return w >= 0 && w < 18 && gWin->suspended[w] ? 1 : 0;
    };
    p.updateChannelPre = [](int i, int s) { gWin->calls.push_back("pre" + joined({i, s})); };
    p.checkWhetherNeedSetSplit = [](int cur, int want) {
        gWin->calls.push_back("check" + joined({cur, want}));
        return gWin->needSplit;
    };
    p.setSplitPara = [](int s, int x) { gWin->calls.push_back("split" + joined({s, x})); };
    p.layerWin = [](int w, int l) { gWin->calls.push_back("layer" + joined({w, l})); };
    p.displayWin = [](int w, int s) { gWin->calls.push_back("display" + joined({w, s})); };
    p.clipWin = [](int w, int a, int b, int c, int d, int l, int s) {
        gWin->calls.push_back("clip" + joined({w, a, b, c, d, l, s}));
    };
    p.posWin = [](int w, int a, int b, int c, int d, int l, int s) {
        gWin->calls.push_back("pos" + joined({w, a, b, c, d, l, s}));
    };
    p.videoWin = [](int w, const int* pos, const int* clip, int l, int s) {
        gWin->calls.push_back("video" + joined({w, pos[0], pos[1], pos[2], pos[3], clip[0], clip[1],
                                                clip[2], clip[3], l, s}));
    };
    p.setSync = [](int s, int b, int o) { gWin->calls.push_back("sync" + joined({s, b, o})); };
    p.setSyncOffset = [](int s, int o) { gWin->calls.push_back("offset" + joined({s, o})); };
    p.setSyncClose = [](int m) { gWin->calls.push_back("close" + joined({m})); };
    return p;
}

class WindowVerbs : public ctltest::VerbFixture {
protected:
    void SetUp() override {
        VerbFixture::SetUp();
        gWin = &player;
        gPlayer = windowOps();
        const int use[6] = {0, 1, 2, 3, 4, 17};
        std::lock_guard<std::mutex> g(gWinLock);
        memcpy(ChannelUse, use, sizeof use);
        for (int i = 0; i < QEL_SLOTS; ++i) {
            copyText(param[i], QEL_URL_SIZE, "unused_window");
            open_result[i] = -1;
        }
        memset(update_info, 0, sizeof update_info);
        main_loop_need_compare = 0;
        main_loop_Hide_TCnt = 15;
    }
    void TearDown() override {
        gPlayer = PlayerOps();
        gWin = nullptr;
        ControlFixture::TearDown();
    }
    std::vector<std::string> take() {
        std::vector<std::string> c;
        c.swap(player.calls);
        return c;
    }
    // The slots with a change code posted, as "slot:code/arg".
    std::vector<std::string> changes() {
        std::lock_guard<std::mutex> g(gWinLock);
        std::vector<std::string> out;
        for (int s = 0; s < QEL_SLOTS; ++s)
            if (update_info[s][0] != 0)
                out.push_back(std::to_string(s) + ":" + std::to_string(update_info[s][0]) + "/" +
                              std::to_string(update_info[s][1]));
        memset(update_info, 0, sizeof update_info);
        return out;
    }
    std::string url(int slot) {
        std::lock_guard<std::mutex> g(gWinLock);
        return param[slot];
    }
    // Line n (0 = the counter) of the main settings file.
    std::string mainLine(int n) {
        std::string t = read("/mnt/config.ini");
        size_t p = 0;
        for (int i = 0; i < n && p != std::string::npos; ++i) p = t.find('\n', p) + 1;
        return t.substr(p, t.find('\n', p) - p);
    }

    WindowPlayer player;
};

const std::string kUrlOk = "config qel ack set url params #SUCCEED ";

}  // namespace

TEST_F(WindowVerbs, UrlOfAPlayingWindowOpensInItsStandbySlot) {
    open_result[2] = 0;  // slot 2 plays
    need_handle_message_right_now = 0;
    EXPECT_EQ(texts("config qel set url params 10.77.0.2 2 rtsp://192.0.2.9/a"), Texts{kUrlOk});
    EXPECT_EQ(url(2), "rtsp://192.0.2.9/a");
    EXPECT_EQ(url(7), "rtsp://192.0.2.9/a");
    EXPECT_EQ(ChannelUse[2], 7);
    EXPECT_EQ(changes(), std::vector<std::string>{"7:1/2"});
    EXPECT_EQ(take(), (std::vector<std::string>{"suspend 2 1", "pre 2 7"}));
    EXPECT_EQ(need_handle_message_right_now, 1);
    EXPECT_EQ(mainLine(3), "rtsp://192.0.2.9/a");  // slot 2 is line 3 of the main file

    // The next source goes back to the window's own slot.
    open_result[7] = 0;
    EXPECT_EQ(texts("config qel set url params 10.77.0.2 2 rtsp://192.0.2.9/b"), Texts{kUrlOk});
    EXPECT_EQ(ChannelUse[2], 2);
    EXPECT_EQ(url(2), "rtsp://192.0.2.9/b");
    EXPECT_EQ(url(7), "rtsp://192.0.2.9/b");
    EXPECT_EQ(changes(), std::vector<std::string>{"2:1/2"});
    EXPECT_EQ(take(), (std::vector<std::string>{"suspend 2 1", "pre 2 2"}));

    // The same URL again: nothing happens, no reply.
    EXPECT_TRUE(texts("config qel set url params 10.77.0.2 2 rtsp://192.0.2.9/b").empty());
    EXPECT_TRUE(changes().empty());
    EXPECT_TRUE(take().empty());
}

TEST_F(WindowVerbs, UrlOfAnIdleWindowOpensInItsOwnSlot) {
    EXPECT_EQ(texts("config qel set url params 10.77.0.2 1 rtsp://192.0.2.9/c,extra"),
              Texts{kUrlOk});
    EXPECT_EQ(url(1), "rtsp://192.0.2.9/c");  // cut at the comma
    EXPECT_EQ(url(6), "rtsp://192.0.2.9/c");
    EXPECT_EQ(ChannelUse[1], 1);
    EXPECT_EQ(changes(), std::vector<std::string>{"1:1/2"});
    EXPECT_EQ(take(), (std::vector<std::string>{"suspend 1 1", "pre 1 1"}));
}

TEST_F(WindowVerbs, Window16IsTheSeventeenthWithStandbySlot10) {
    open_result[17] = 0;
    player.suspended[17] = true;
    EXPECT_EQ(texts("config qel set url params 10.77.0.2 16 rtsp://192.0.2.9/d"), Texts{kUrlOk});
    EXPECT_EQ(url(17), "rtsp://192.0.2.9/d");
    EXPECT_EQ(url(10), "rtsp://192.0.2.9/d");
    EXPECT_EQ(ChannelUse[5], 10);
    EXPECT_EQ(changes(), std::vector<std::string>{"10:1/2"});
    EXPECT_EQ(take(), (std::vector<std::string>{"suspend 17 0", "pre 5 10"}));
    EXPECT_EQ(main_loop_need_compare, 1);  // the suspended window is resumed by the timer

    EXPECT_EQ(texts("config qel set url params 10.77.0.2 16 rtsp://192.0.2.9/e"), Texts{kUrlOk});
    EXPECT_EQ(ChannelUse[5], 17);
    EXPECT_EQ(changes(), std::vector<std::string>{"17:1/2"});
    EXPECT_EQ(take(), (std::vector<std::string>{"suspend 17 0", "pre 5 17"}));

    // Slot 17 not playing: it keeps showing window 17 and gets the new source itself.
    open_result[17] = -1;
    EXPECT_EQ(texts("config qel set url params 10.77.0.2 17 rtsp://192.0.2.9/f"), Texts{kUrlOk});
    EXPECT_EQ(ChannelUse[5], 17);
    EXPECT_EQ(changes(), std::vector<std::string>{"17:1/2"});
}

// The controller's text for a source without the stream asked for has an empty URL and ends in
// the blank before it: the window is emptied, as "unused_window" would.
TEST_F(WindowVerbs, AnEmptyUrlEmptiesTheWindow) {
    for (const std::string w : {"2", "16"}) {
        SCOPED_TRACE(w);
        const int slot = w == "16" ? 17 : 2;
        EXPECT_EQ(texts("config qel set url params 10.77.0.2 " + w + " rtsp://192.0.2.9/a"),
                  Texts{kUrlOk});
        changes();
        take();
        EXPECT_EQ(texts("config qel set url params 10.77.0.2 " + w + " "), Texts{kUrlOk});
        EXPECT_EQ(url(slot), "unused_window");
        EXPECT_EQ(changes().size(), 1u);
        EXPECT_EQ(mainLine(slot + 1), "unused_window");
        take();
        // Already empty: nothing more.
        EXPECT_TRUE(texts("config qel set url params 10.77.0.2 " + w + " ").empty());
    }
    // The URL field alone may be empty: a text ending in the blank before the window is not a
    // URL command.
    EXPECT_TRUE(texts("config qel set url params 10.77.0.2 ").empty());
}

TEST_F(WindowVerbs, UrlsThatAreDroppedOrOnlyStored) {
    const std::string big(512, 'u');
    for (const std::string& bad :
         {std::string("32 rtsp://x/a"), std::string("-1 rtsp://x/a"), std::string("x rtsp://x/a"),
          std::string("3 ,,,"), std::string("3 ,rtsp://x/a"), "3 " + big}) {
        EXPECT_TRUE(texts("config qel set url params 10.77.0.2 " + bad).empty()) << bad;
    }
    EXPECT_TRUE(changes().empty());
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(url(3), "unused_window");

    // 511 characters fit; a slot outside the six windows is stored only.
    const std::string longest = "rtsp://" + std::string(504, 'u');
    EXPECT_EQ(texts("config qel set url params 10.77.0.2 8 " + longest), Texts{kUrlOk});
    EXPECT_EQ(url(8), longest);
    EXPECT_TRUE(changes().empty());
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(mainLine(9), "unused_window");  // only slots 0-4 and 17 are saved
}

TEST_F(WindowVerbs, GeometryRanges) {
    const struct {
        const char* command;
        bool accepted;
        const char* call;
    } cases[] = {
        {"config qel set pos params 10.77.0.2 0 0 1920 0 1080 1 1", true,
         "pos 0 0 1920 0 1080 1 1"},
        {"config qel set pos params 10.77.0.2 0 0 1921 0 1080 1 1", false, nullptr},
        {"config qel set pos params 10.77.0.2 0 0 1920 0 1081 1 1", false, nullptr},
        {"config qel set pos params 10.77.0.2 16 10 20 30 40 0 1", true, "pos 17 10 20 30 40 0 1"},
        {"config qel set pos params 10.77.0.2 18 10 20 30 40 0 1", false, nullptr},
        {"config qel set pos params 10.77.0.2 1 10 20 30 40 2 1", false, nullptr},
        {"config qel set clip params 10.77.0.2 3 0 100 0 100 0 1", true, "clip 3 0 100 0 100 0 1"},
        {"config qel set clip params 10.77.0.2 3 0 101 0 100 0 1", false, nullptr},
        {"config qel set clip params 10.77.0.2 3 -1 100 0 100 0 1", false, nullptr},
        {"config qel set video params 10.77.0.2 4 0 1920 0 1080 10 90 10 90 1 0", true,
         "video 4 0 1920 0 1080 10 90 10 90 1 0"},
        {"config qel set video params 10.77.0.2 4 0 1920 0 1080 10 90 10 91x 1 0", true,
         "video 4 0 1920 0 1080 10 90 10 91 1 0"},
        {"config qel set video params 10.77.0.2 4 0 1920 0 1080 10 90 10 101 1 0", false, nullptr},
        {"config qel set video params 10.77.0.2 4 0 1920 0 1080 10 90 10 90 1 2", false, nullptr},
        {"config qel set layer params 10.77.0.2 5 1", true, "layer 5 1"},
        {"config qel set layer params 10.77.0.2 5 2", false, nullptr},
        {"config qel set display params 10.77.0.2 17 0", true, "display 17 0"},
        {"config qel set display params 10.77.0.2 17 x", false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        auto r = run(c.command);
        auto calls = take();
        if (!c.accepted) {
            EXPECT_TRUE(r.empty());
            EXPECT_TRUE(calls.empty());
            continue;
        }
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0].from, ReplyFrom::AckSocket);
        EXPECT_NE(r[0].text.find(" #SUCCEED "), std::string::npos);
        EXPECT_EQ(calls, std::vector<std::string>{c.call});
    }
    // Position, video and display post change code 4 for their window; clip and layer none.
    changes();
    texts("config qel set pos params 10.77.0.2 2 0 960 0 540 0 1");
    texts("config qel set clip params 10.77.0.2 3 0 50 0 50 0 1");
    texts("config qel set layer params 10.77.0.2 4 0");
    EXPECT_EQ(changes(), std::vector<std::string>{"2:4/0"});
}

TEST_F(WindowVerbs, SplitRepliesFirstThenAsksThePlayer) {
    EXPECT_TRUE(texts("config qel set split params 10.77.0.2 8 0").empty());
    EXPECT_TRUE(take().empty());

    EXPECT_EQ(texts("config qel set split params 10.77.0.2 4 0"),
              Texts{"config qel ack set split params #SUCCEED "});
    EXPECT_EQ(take(), (std::vector<std::string>{"check 1 4", "split 4 0"}));
    EXPECT_EQ(iSplit_Num, 4);
    EXPECT_EQ(read("/mnt/spiltnum.ini"), "4\n");

    // The layout already there: nothing is laid out again.
    player.needSplit = 0;
    EXPECT_EQ(texts("config qel set split params 10.77.0.2 4 0").size(), 1u);
    EXPECT_EQ(take(), std::vector<std::string>{"check 4 4"});
}

TEST_F(WindowVerbs, SplitUndisHidesEveryWindowForThirtySeconds) {
    player.suspended[0] = player.suspended[3] = true;
    EXPECT_EQ(texts("config qel set splitundis params 10.77.0.2 16 0"),
              Texts{"config qel ack set splitundis params #SUCCEED "});
    auto calls = take();
    ASSERT_EQ(calls.size(), 19u);
    EXPECT_EQ(calls[0], "suspend 0 0");
    EXPECT_EQ(calls[17], "suspend 17 0");
    EXPECT_EQ(calls[18], "split 16 0");
    EXPECT_EQ(main_loop_Hide_TCnt, 150);
    EXPECT_EQ(main_loop_need_compare, 1);
    EXPECT_EQ(read("/mnt/spiltnum.ini"), "16\n");
}

TEST_F(WindowVerbs, HideTimes) {
    const struct {
        const char* fields;
        int ticks;  // -1: dropped
    } cases[] = {
        {"0 2", 10},  {"0 30", 150}, {"0 40", 150}, {"16 1", 5},
        {"0 -1", -1}, {"18 2", -1},  {"-1 2", -1},  {"0 x", -1},
    };
    player.suspended[0] = player.suspended[17] = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fields);
        main_loop_Hide_TCnt = 15;
        main_loop_need_compare = 0;
        main_loop_delay_Count1 = 42;
        auto r = texts(std::string("config qel set normal hide params 10.77.0.2 ") + c.fields);
        if (c.ticks < 0) {
            EXPECT_TRUE(r.empty());
            EXPECT_EQ(main_loop_Hide_TCnt, 15);
            EXPECT_TRUE(take().empty());
            continue;
        }
        EXPECT_EQ(r, Texts{"config qel set normal hide params #SUCCEED "});
        EXPECT_EQ(main_loop_Hide_TCnt, c.ticks);
        EXPECT_EQ(main_loop_need_compare, 1);
        EXPECT_EQ(main_loop_delay_Count2, 42);
        take();
    }
    // A window that was not suspended does not arm the timer.
    main_loop_need_compare = 0;
    texts("config qel set normal hide params 10.77.0.2 5 2");
    EXPECT_EQ(main_loop_need_compare, 0);

    // The common resume time: any address, any window model, no reply.
    windows = 4;
    EXPECT_TRUE(texts("config qel set mul hide params 10.77.0.9 3").empty());
    EXPECT_EQ(main_loop_Hide_TCnt, 15);
    EXPECT_EQ(main_loop_need_compare, 1);
}

TEST_F(WindowVerbs, OlderVerbsReplyFromTheCommandSocket) {
    auto r = run("SetLayerPara 10.77.0.2 1 2");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].text, "SetLayerPara invalid");
    EXPECT_EQ(r[0].from, ReplyFrom::CommandSocket);
    r = run("SetLayerPara 10.77.0.2 1 1");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].text, "SetLayer:OK");
    EXPECT_EQ(r[0].from, ReplyFrom::CommandSocket);

    EXPECT_EQ(texts("SetDisplayPara 10.77.0.2 16 1"), Texts{"SetDisplay:OK"});
    EXPECT_EQ(texts("SetClipPara 10.77.0.2 1 0 100 0 101 0 1"), Texts{"SetClipPara invalid"});
    EXPECT_EQ(texts("SetPosPara 10.77.0.2 1 0 1920 0 1080 0 1"), Texts{"SetPos:OK"});
    EXPECT_EQ(texts("SetVideoPara 10.77.0.2 1 0 1920 0 1080 0 100 0 100 0 9"),
              Texts{"SetVideoPara invalid"});
    EXPECT_EQ(take(),
              (std::vector<std::string>{"layer 1 1", "display 17 1", "pos 1 0 1920 0 1080 0 1"}));
    EXPECT_EQ(changes(), (std::vector<std::string>{"1:4/0", "17:4/0"}));
    // Another box's address, or a model other than 18: no reply at all.
    EXPECT_TRUE(texts("SetLayerPara 10.77.0.3 1 2").empty());
    windows = 4;
    EXPECT_TRUE(texts("SetLayerPara 10.77.0.2 1 2").empty());
}

TEST_F(WindowVerbs, OlderUrlAndSplitForms) {
    // The URL whole, for its own slot only, reopened by the main loop; no reply.
    open_result[2] = 0;
    EXPECT_TRUE(texts("SetUrlPara 10.77.0.2 2 rtsp://192.0.2.9/a,b c").empty());
    EXPECT_EQ(url(2), "rtsp://192.0.2.9/a,b c");
    EXPECT_EQ(url(7), "unused_window");
    EXPECT_EQ(open_result[2], -1);
    EXPECT_EQ(ChannelUse[2], 2);
    EXPECT_EQ(changes(), std::vector<std::string>{"2:1/2"});
    EXPECT_TRUE(take().empty());
    // Already stored, or out of range: nothing.
    texts("SetUrlPara 10.77.0.2 2 rtsp://192.0.2.9/a,b c");
    texts("SetUrlPara 10.77.0.2 40 rtsp://192.0.2.9/x");
    texts("SetUrlPara 10.77.0.2 3 ,,");
    EXPECT_TRUE(changes().empty());
    EXPECT_TRUE(texts("SetUrlPara 10.77.0.2 16 rtsp://192.0.2.9/z").empty());
    EXPECT_EQ(url(17), "rtsp://192.0.2.9/z");
    changes();

    // The split is laid out unconditionally and not stored.
    texts("SetSplitPara 10.77.0.2 5 0");
    texts("SetSplitPara 10.77.0.2 6 0");
    EXPECT_EQ(take(), std::vector<std::string>{"split 5 0"});
    EXPECT_EQ(iSplit_Num, 1);
    EXPECT_EQ(read("/mnt/spiltnum.ini"), "<missing>");
}

TEST_F(WindowVerbs, SyncVerbs) {
    copyText(param[0], QEL_URL_SIZE, "rtsp://192.0.2.5/live");
    copyText(param[3], QEL_URL_SIZE, "rtsp://192.0.2.6/live");
    copyText(param[17], QEL_URL_SIZE, "rtsp://192.0.2.5/other");
    EXPECT_TRUE(texts("SetSyncTime ALLDECODER 192.0.2.5 1000 88").empty());
    EXPECT_EQ(take(), (std::vector<std::string>{"sync 0 1000 88", "sync 17 1000 88"}));
    texts("SetSyncTime 10.77.0.2 192.0.2.6 7 8");
    texts("SetSyncTime 10.77.0.3 192.0.2.6 7 8");
    EXPECT_EQ(take(), std::vector<std::string>{"sync 3 7 8"});
    // Matched before "SetSyncTime".
    texts("SetSyncTimeOffset 10.77.0.2 192.0.2.5 33");
    EXPECT_EQ(take(), (std::vector<std::string>{"offset 0 33", "offset 17 33"}));
    iDisplayCurInfoIP = 0;
    texts("SetSyncMode 1");
    EXPECT_EQ(take(), std::vector<std::string>{"close 1"});
    EXPECT_EQ(iDisplayCurInfoIP, 1);
}

TEST_F(WindowVerbs, SysCmdTakesOnePlainPath) {
    write("/mnt/note.txt", "hello from the box");
    // The file is shown on the console (the box's file under its root).
    fflush(stdout);
    testing::internal::CaptureStdout();
    texts("SetSysCmd 10.77.0.2 /mnt/note.txt");
    fflush(stdout);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("hello from the box"), std::string::npos);
    for (const char* bad : {"/mnt/x;reboot", "/mnt/$(reboot)", "/mnt/a b", "/mnt/`x`"}) {
        texts(std::string("SetSysCmd 10.77.0.2 ") + bad);
    }
    texts("SetSysCmd 10.77.0.2 /" + std::string(96, 'a'));
    EXPECT_EQ(ctltest::reboots(), 0);
    std::string log = read("/var/log/commands.log");
    EXPECT_EQ(log.find("reboot"), std::string::npos) << log;
    EXPECT_EQ(log.find("aaaa"), std::string::npos) << log;
}
