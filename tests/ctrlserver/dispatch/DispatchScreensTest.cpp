// The stage-two rows of the live wall's screen settings: replies, their order and echo, and
// the decoder texts the commands queue.
#include "DispatchFixture.h"

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
