// The scene, "vw" and scene display entries of both stages over a real device server and
// model without a network: which stage answers, the reply's envelope, data key and echo, and
// what the handler was handed.
#include "DispatchFixture.h"

namespace {

using Texts = std::vector<std::string>;

class DispatchScenes : public DispatchTest {
public:
    void SetUp() override {
        DispatchTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        seed({{"10.77.0.2", "RXA", "host-RXA", "00:11:22:33:44:02"},
              {"10.77.0.3", "RXB", "host-RXB", "00:11:22:33:44:03"}},
             {{"10.77.0.9",
               "TXA",
               "host-TXA",
               "00:11:22:33:44:09",
               "Version 1.0",
               {{"url0", "rtsp://10.77.0.9/stream0"}}}});
        ctrl->loggedIn = 1;
    }

    // The replies in short: data keys, then "new"/"old", '+' or '-', and the echo.
    static std::string describe(const Outcome& o) {
        std::string out;
        for (const Reply& r : o.replies) {
            if (!out.empty()) out += " | ";
            if (!r.parsed || !r.json.isObject() || !r.json.isMember("ack")) {
                out += "unparsed " + r.text;
                continue;
            }
            for (const std::string& k : r.json.getMemberNames())
                if (k != "ack") out += k + " ";
            const bool isNew = r.json["ack"].isArray();
            const Json::Value& a = isNew ? r.json["ack"][0] : r.json["ack"];
            out += std::string(isNew ? "new" : "old") + (a["status"] == "success" ? "+ " : "- ") +
                   a["cmd"].asString();
        }
        return out;
    }
};

TEST_F(DispatchScenes, EntriesAnswerInTheirStageWithTheirEcho) {
    std::string longTail;
    for (int i = 0; i < 150; ++i) longTail += " 7";
    struct Row {
        std::string command;
        int stage;  // the stage that answers
        std::string reply;
    } rows[] = {
        // Stage one: the keyword's length of the command as echo; the handler gets the text
        // from where the keyword begins.
        {"scene create Hall", 1, "senceidinfo new+ scene create"},
        {"xx scene create Yard", 1, "senceidinfo new+ xx scene cre"},
        {"scene create Hall", 1, "new- scene create"},
        {"scene get", 1, "scenelist new+ scene get"},
        {"scene get Hall", 1, "scenemember new+ scene get"},
        {"scene get Nope", 1, "new- scene get"},
        {"scene id get 1", 1, "sceneinfo new+ scene id get"},
        {"scene id get 0", 1, "new- scene id get"},
        {"scene id get 6", 1, "new- scene id get"},
        {"scene id get", 1, "new- scene id get"},
        {"scene id get 99999999999", 1, "new- scene id get"},
        {"vw add Hall x 1 2 TXA RXA RXB", 1, "new+ vw add"},
        {"vw get", 1, "videowalllist new+ vw get"},
        {"vw get Hall x", 1, "videowalllist new+ vw get Hall x"},
        {"vw get Nope", 1, "new- vw get Nope"},
        {"vw set Hall TXA", 1, "new+ vw set"},
        {"vw source 1 TXA", 1, "new+ vw source"},
        {"vw source 1 TXA NOPE", 1, "new- vw source"},
        {"vw source 6 TXA", 1, "new- vw source"},
        {"vw source A TXA", 1, "new- vw source"},
        {"vw source 1", 1, "new- vw source"},
        {"vw win source 1 1 TXA", 1, "new+ vw win source"},
        {"vw win source 1 1 TXA,x TXA,1 TXA", 1, "new- vw win source"},
        {"scene tx set Hall TXA", 1, "new+ scene tx set"},
        {"scene tx set Hall", 1, "new- scene tx set"},
        {"scene tx set Hall RXA", 1, "new- scene tx set"},
        {"scene rx add Hall RXA", 1, "new- scene rx add"},
        {"scene rx remove Hall RXA", 1, "new+ scene rx remove"},
        {"vw rx remove Hall RXB", 1, "new+ vw rx remove"},
        {"vw remove Hall", 1, "new+ vw remove"},
        {"scene remove Hall", 1, "new+ scene remove"},
        // Stage two: the command's first 255 characters as echo.
        {"config set sence display src params 1 10.77.0.3", 2,
         "disidinfo new+ config set sence display src params 1 10.77.0.3"},
        {"config get sence display list params 1 0", 2,
         "vsdisplayinfo new+ config get sence display list params 1 0"},
        {"config get sence display wins params 1 0", 2,
         "vswininfo new+ config get sence display wins params 1 0"},
        {"config set sence display win params 1 0 0 0 0 100 0 100", 2,
         "vswininfo new+ config set sence display win params 1 0 0 0 0 100 0 100"},
        {"config set sence display split params 1 0 0 4 0" + longTail, 2,
         "new+ " + ("config set sence display split params 1 0 0 4 0" + longTail).substr(0, 255)},
        {"config set sence display split params 1 0 0 4 0 " + std::string(256, '7'), 2,
         "new- " + ("config set sence display split params 1 0 0 4 0 " + std::string(256, '7'))
                       .substr(0, 255)},
        {"config set sence display url params 1 0 0 0 esource 10.77.0.9 0", 2,
         "new+ config set sence display url params 1 0 0 0 esource 10.77.0.9 0"},
        {"config del sence display params 1 0", 2, "new+ config del sence display params 1 0"},
        {"config del sence display params 1 0", 2, "new- config del sence display params 1 0"},
        {"config get free rx params", 2, "devinfo new+ config get free rx params"},
    };
    for (const Row& row : rows) {
        const Outcome o = run(row.command);
        EXPECT_EQ(o.stageTwo ? 2 : 1, row.stage) << row.command;
        EXPECT_EQ(describe(o), row.reply) << row.command;
    }
}

TEST_F(DispatchScenes, MatrixAndMultiviewEntriesJudgeEveryItem) {
    struct Row {
        std::string command, reply;
    } rows[] = {
        {"matrix set", "new- matrix set"},
        {"matrix set TXA RXA", "new+ matrix set"},
        {"matrix set NOPE RXA", "new- matrix set"},
        {"matrix set TXA RXA,TXA NOPE", "new- matrix set"},  // the first is still applied
        {"matrix set null RXB", "new+ matrix set"},
        {"matrix clear RXA", "new+ matrix clear"},
        {"matrix clear RXA NOPE", "new- matrix clear"},
        {"matrix clear", "new- matrix clear"},
        {"mv set RXA 3-1 1 TXA", "new- mv set"},
        {"mv set NOPE 4-1 1 TXA", "new- mv set"},
        {"mv set RXB 4-1 1 TXA 5 TXA", "new- mv set"},   // index 4 is not below 4
        {"mv set RXB 4-1 1 TXA 2 NOPE", "new+ mv set"},  // an unknown source is skipped
        {"mv change RXB 4-1 3 TXA", "new+ mv change"},
        {"mv change NOPE 4-1 3 TXA", "new- mv change"},
        {"mv change RXB 2-1 3 TXA", "new- mv change"},
        {"mv source clear RXB 6", "new- mv source clear"},
        {"mv source clear RXB 2", "new+ mv source clear"},
        {"mv source clear RXB", "new+ mv source clear"},
        {"mv source clear", "new- mv source clear"},
        {"mv clear RXB", "new+ mv clear"},
        {"mv clear", "new- mv clear"},
    };
    for (const Row& row : rows) {
        const Outcome o = run(row.command);
        EXPECT_EQ(o.stageTwo, 0) << row.command;
        EXPECT_EQ(describe(o), row.reply) << row.command;
    }
    // A decoder of the live wall takes no multiview.
    model->pVScreen->ip[0] = "10.77.0.2";
    EXPECT_EQ(describe(run("mv set RXA 1-1 1 TXA")), "new- mv set");
}

}  // namespace
