// The stage-two rows of the live wall's screen settings: replies, their order and echo, and
// the decoder texts the commands queue.
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "DispatchFixture.h"
#include "box/Box.h"

namespace {

struct Row {
    std::string cmd;
    std::vector<std::string> shape;
};

}  // namespace

class DispatchScreens : public DispatchTest {
public:
    void SetUp() override {
        DispatchTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        seed({{"10.0.0.2", "RX1", "rx-1", "00:00:00:00:00:02", "1.0", {{"splitnum", 4}}},
              {"10.0.0.3", "RX2", "rx-2", "00:00:00:00:00:03"}});
    }
    void check(const std::vector<Row>& rows) {
        for (const Row& r : rows) {
            std::string echo;
            EXPECT_EQ(shape(ask(r.cmd), &echo), r.shape) << r.cmd;
            EXPECT_EQ(echo, r.cmd.substr(0, 255)) << r.cmd;
        }
    }
};

TEST_F(DispatchScreens, EveryRowAnswersFromItsHandler) {
    const std::string longSplit = "config set vs split params 0 4 0 " + std::string(300, 'x');
    check({
        {"config set vs src params 0 10.0.0.2", {"ack+"}},
        {"config set vs src params 0 10.0.0.99", {"ack-"}},
        {"config set vs src params 7 10.0.0.3", {"ack-"}},
        {"config set vs split params 1 4 0", {"ack+"}},
        {"config set vs split params 1 3 0", {"ack-"}},
        {longSplit, {"ack-"}},  // a token longer than its field
        {"config set vs win params 0 0 1000 0 500", {"vswininfo", "ack+"}},
        {"config set vs win params 0 1920 3000 0 500", {"vswininfo", "ack+"}},  // refused: 1
        {"config set vs win params 0 1890 1925 0 500", {"ack-"}},
        {"config set vs dbl params 0", {"vswininfo", "ack+"}},
        {"config set vs dbl params 80", {"ack-"}},
        {"config set vs rowcolumncutedge params 3 3", {"ack-"}},  // cells 2 and 3 are free
        {"config set vs screen params 5 2 2 2", {"ack-"}},
        {"config set vs screen params 2 2 3 3", {"ack+"}},
    });
}

TEST_F(DispatchScreens, PlacementRepliesWithTheWindowsAndQueuesTheTexts) {
    ask("config set vs src params 0 10.0.0.2");
    ask("config set vs src params 1 10.0.0.3");
    modelTexts.clear();
    const std::vector<Reply> replies = ask("config set vs win params 0 0 2500 0 500");
    ASSERT_EQ(shape(replies), (std::vector<std::string>{"vswininfo", "ack+"}));
    const Json::Value& wins = replies[0].json["vswininfo"];
    ASSERT_TRUE(wins.isArray());
    EXPECT_EQ(wins.size(), 3u);  // windows 1 and 5, now covered, and the moved window
    ASSERT_FALSE(modelTexts.empty());
    EXPECT_EQ(modelTexts.back(), "config set mul hide params 255.255.255.255 3 ");
}

TEST_F(DispatchScreens, UnicastRowsAnswerFromTheirHandlers) {
    check({
        {"config set unicast split params 0 4 0", {"ack-"}},  // no decoder placed yet
        {"config set vs src params 0 10.0.0.2", {"ack+"}},
        {"config set unicast src params 0 10.0.0.2", {"ack-"}},  // a wall cell
        {"config set unicast src params 0 10.0.0.3", {"ack+"}},
        {"config set unicast split params 0 4 0", {"ack+"}},
        {"config set unicast split params 0 2 0", {"ack-"}},
        {"config set unicast url params 1 esource CLEAR 0", {"ack+"}},
        {"config set unicast url params 1000 esource CLEAR 0", {"ack-"}},
        {"config set unicast win params 0 0 1200 0 500", {"uniwininfo", "ack+"}},
        {"config set unicast win params 0 10 10 0 500", {"ack-"}},
        {"config set unicast dbl params 0", {"uniwininfo", "ack+"}},
        {"config set unicast dbl params 4", {"ack-"}},  // a window split 4 does not use
    });
}

TEST_F(DispatchScreens, UnicastWindowReplyListsTheCoveredWindowThenThePlacedOne) {
    ask("config set unicast src params 0 10.0.0.3");
    ask("config set unicast split params 0 4 0");
    const std::vector<Reply> replies = ask("config set unicast win params 0 0 1200 0 500");
    ASSERT_EQ(shape(replies), (std::vector<std::string>{"uniwininfo", "ack+"}));
    const Json::Value& wins = replies[0].json["uniwininfo"];
    ASSERT_TRUE(wins.isArray());
    ASSERT_EQ(wins.size(), 2u);
}

TEST_F(DispatchScreens, MulticastClearAndRatioRowsAnswerFromTheirHandlers) {
    seed({{"10.0.0.2", "RX1", "rx-1", "00:00:00:00:00:02"}},
         {{"10.0.1.1", "TX1", "tx-1", "00:00:00:00:01:01", "1.0", {{"url0", "rtsp://a/0"}}}});
    const std::string longClear = "config set clear vs screen params " + std::string(300, 'x');
    check({
        {"config set multicast url params 0 esource 10.0.1.1 0", {"ack+"}},
        {"config set multicast url params 0 esource 10.0.9.9 0", {"ack-"}},
        {"config set multicast url params -1 esource CLEAR 0", {"ack-"}},
        {"config set multicast src params anything at all", {"ack+"}},
        {"config set clear multicast screen tx params", {"ack+"}},
        {"config set clear multicast screen params", {"ack+"}},
        {"config set clear vs screen tx params 10.0.1.1", {"ack+"}},
        {"config set clear unicast screen tx params", {"ack+"}},
        {"config set clear unicast screen params", {"ack+"}},
        {longClear, {"ack+"}},
        {"config set vs url params 0 esource 10.0.1.1 0", {"ack+"}},
        {"config set vs url params 0 esource 10.0.2.2 0", {"ack-"}},
        {"config set unicast src params 0 10.0.0.2", {"ack+"}},
        {"config set unicast url params 0 esource 10.0.1.1 0", {"ack+"}},
        {"config set ratio params 1", {"ack+"}},
        {"config set ratio userdef params 16 9", {"ack+"}},
    });
    // The multicast source ran through every decoder, and its clear took it back.
    EXPECT_EQ(model->pMulticast->winUrl, "");
}

class DispatchDevices : public DispatchTest {
public:
    void SetUp() override {
        DispatchTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        seed({{"10.0.0.2", "RX1", "rx-1", "00:00:00:00:00:02"}},
             {{"10.0.1.1", "TX1", "tx-1", "00:00:00:00:01:01", "1.0", {{"url0", "rtsp://a/0"}}}});
    }
    void check(const std::vector<Row>& rows, size_t echoLength) {
        for (const Row& r : rows) {
            std::string echo;
            EXPECT_EQ(shape(ask(r.cmd), &echo), r.shape) << r.cmd;
            EXPECT_EQ(echo, r.cmd.substr(0, echoLength)) << r.cmd;
        }
    }
};

TEST_F(DispatchDevices, ListRowsAnswerWithTheirTableAndQuoteTheWholeCommand) {
    check(
        {
            {"config get devlist", {"devinfo", "ack+"}},
            {"config get decoders", {"devinfo", "ack+"}},
            {"config get encoders", {"devinfo", "ack+"}},
            {"config get controllers", {"ack-"}},  // none known
            // No camera yet: still a list.
            {"config get ipsources", {"ipsourcedev", "ack+"}},
            {"config get ipsource params 10.0.2.1", {"ack-"}},
        },
        std::string::npos);
    const std::vector<Reply> list = ask("config get decoders");
    ASSERT_EQ(list.size(), 2u);
    ASSERT_TRUE(list[0].json["devinfo"].isArray());
    EXPECT_EQ(list[0].json["devinfo"].size(), 1u);
    // Exact keywords: a trailing blank is another command, which goes on down the chain.
    EXPECT_NE(shape(ask("config get encoders ")), (std::vector<std::string>{"devinfo", "ack+"}));
}

TEST_F(DispatchDevices, CameraEditsAndLongEchoes) {
    const std::string add = "config set ipsource params 10.0.2.1 554 CAM1 0 user pass";
    ASSERT_EQ(shape(ask(add)), (std::vector<std::string>{"ack+"})) << "camera settings accepted";
    check({{"config get ipsources", {"ipsourcedev", "ack+"}},
           {"config get ipsource params 10.0.2.1", {"ipsourceparams", "ack+"}},
           {"config get ipsource params 10.0.2.1 ", {"ack-"}}},
          std::string::npos);
    const std::vector<Reply> cams = ask("config get ipsources");
    EXPECT_EQ(cams[0].json["ipsourcedev"].size(), 1u);
    const std::string del = "config del ipsource params 10.0.2.1" + std::string(300, ' ');
    std::string echo;
    shape(ask(del), &echo);
    EXPECT_EQ(echo, del.substr(0, 255));
}

TEST_F(DispatchDevices, ExtraInfoCopiesOnlyAStatisticsEntry) {
    ASSERT_TRUE(box::makeDirs("/proc/umap"));
    {
        std::ofstream out(box::path("/proc/umap/vdec"));
        out << "vdec statistics\n";
    }
    ASSERT_TRUE(box::makeDirs("/proc/umap/dir"));
    {
        std::ofstream secret(box::path("/mnt/secret"));
        secret << "not for the web\n";
    }
    struct Case {
        std::string cmd;
        bool ok;
    } cases[] = {
        {"config get extra info vdec", true},
        {"config get extra info", false},
        {"config get extra info nothing", false},
        {"config get extra info ../../mnt/secret", false},
        {"config get extra info vdec;reboot", false},
        {"config get extra info dir", false},
        {"config get extra info " + std::string(65, 'a'), false},
    };
    const std::string web = box::path("/var/www/umap/extrainfo.txt");
    for (const Case& c : cases) {
        unlink(web.c_str());
        EXPECT_EQ(shape(ask(c.cmd)), (std::vector<std::string>{c.ok ? "ack+" : "ack-"})) << c.cmd;
        std::ifstream in(web);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, c.ok ? "vdec statistics\n" : "") << c.cmd;
    }
    // Nothing went through the shell door.
    std::ifstream log(box::commandLogPath());
    std::string logged((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_EQ(logged.find("cp "), std::string::npos);
}

TEST_F(DispatchDevices, InternalCommandNeedsAnAddressAndAWord) {
    struct Case {
        const char* cmd;
        bool ok;
    } cases[] = {
        {"config set internalcmd 10.0.0.2 ls -l /", true},
        {"config set internalcmd 10.0.0.2", false},
        {"config set internalcmd", false},
        {"config set internalcmd rx-1 reboot", false},  // the device road takes addresses only
    };
    for (const Case& c : cases)
        EXPECT_EQ(shape(ask(c.cmd)), (std::vector<std::string>{c.ok ? "ack+" : "ack-"})) << c.cmd;
}
