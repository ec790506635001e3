// The live wall with decoders in its cells, the screen handlers run on command texts and the
// decoder texts they queue taken off in order.
#pragma once

#include <string>
#include <vector>

#include "WallOpsFixture.h"
#include "wall/VSServerTexts.h"

class ScreensTest : public WallOpsTest {
public:
    // The default 2 x 2 wall (split 1 in every cell) with decoder cellIp(c) in cell c.
    VSServer& wall() {
        // Each call starts from the first-start wall: the files of an earlier call go.
        const std::string rm = "rm -f '" + file("/mnt") + "'/qelconf*";
        EXPECT_EQ(::system(rm.c_str()), 0);
        VSServer& m = startWatched();
        texts.clear();
        for (int c = 0; c < 4; ++c) m.pVScreen->ip[c] = cellIp(c);
        return m;
    }
    static std::string cellIp(int c) { return "10.0.0.1" + std::to_string(c); }

    using WinHandler = int (VSServer::*)(char*, ArrayList<VWin>&, unsigned);
    using Handler = int (VSServer::*)(char*, unsigned);

    // Runs a window handler; the reply list's windows land in listed.
    int run(WinHandler h, const std::string& cmd, unsigned flag = 1) {
        std::string text(cmd);
        ArrayList<VWin> list;
        const int r = (model.get()->*h)(&text[0], list, flag);
        listed.clear();
        for (ArrayListNode<VWin>* n = list.head->next; n && n->data; n = n->next)
            listed.push_back(*n->data);
        EXPECT_EQ(text, cmd) << "the caller's text changed";
        return r;
    }
    int run(Handler h, const std::string& cmd, unsigned flag = 1) {
        std::string text(cmd);
        const int r = (model.get()->*h)(&text[0], flag);
        EXPECT_EQ(text, cmd) << "the caller's text changed";
        return r;
    }
    int move(int w, int h0, int h1, int v0, int v1, unsigned flag = 1) {
        return run(&VSServer::cmdVSSetWin,
                   "config set vs win params " + std::to_string(w) + " " + std::to_string(h0) +
                       " " + std::to_string(h1) + " " + std::to_string(v0) + " " +
                       std::to_string(v1),
                   flag);
    }
    int dbl(int w) {
        return run(&VSServer::cmdVSSetDbl, "config set vs dbl params " + std::to_string(w));
    }

    // The texts queued since the last take.
    std::vector<std::string> take() {
        std::vector<std::string> t;
        t.swap(texts);
        return t;
    }

    static ::testing::AssertionResult rectIs(const VWin& w, uint32_t h0, uint32_t h1, uint32_t v0,
                                             uint32_t v1) {
        if (w.hStart == h0 && w.hEnd == h1 && w.vStart == v0 && w.vEnd == v1)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "window " << int(w.win) << " at " << w.hStart << ".." << w.hEnd << " x "
               << w.vStart << ".." << w.vEnd;
    }

    std::vector<VWin> listed;
};
