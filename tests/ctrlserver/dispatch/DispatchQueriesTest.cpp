// The stage-two queries: which replies each answers with, in which order, with which echo, on
// success and on failure, over a real wall model and device tables.
#include "DispatchFixture.h"

namespace {

using Shape = std::vector<std::string>;

struct Row {
    std::string command;
    Shape replies;
    std::string echo;  // "" for the whole command
};

class DispatchQueries : public DispatchTest {
public:
    void SetUp() override {
        DispatchTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        seed({{"10.77.0.2",
               "RX1",
               "DEC7M03-00112233440C",
               "00:11:22:AA:BB:0C",
               "2.1",
               {{"bynetswitch", 1}, {"bynetmode", 0}}}},
             {{"10.77.0.3", "TX1", "ENC7M03-00112233440D", "00:11:22:aa:bb:0d", "3.4"}});
    }

    void check(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            std::string echo;
            EXPECT_EQ(shape(ask(row.command), &echo), row.replies) << row.command;
            EXPECT_EQ(echo, row.echo.empty() ? row.command : row.echo) << row.command;
        }
    }

    // The live wall's first cell and the current unicast slot show the decoder.
    void useDecoder() {
        model->pVScreen->ip[0] = "10.77.0.2";
        model->pUnicast->ip[0] = "10.77.0.2";
        iUnicastCurIndex = 0;
    }
};

TEST_F(DispatchQueries, EveryQueryOnAModelWithoutDecoders) {
    const std::string longWin = "config get vs win params 0 " + std::string(300, 'y');
    check({
        {"config get ratio params", {"ratioinfo", "ack+"}, ""},
        {"config get vs screen params", {"vsscreeninfo", "ack+"}, ""},
        {"config get unicast screen params", {"unicastinfo", "ack+"}, ""},
        // No current decoder: an empty window list, and still success.
        {"config get unicast all params", {"unicastinfo", "null", "ack+"}, ""},
        {"config get unicast win params 3", {"null", "ack+"}, ""},
        {"config get unicast win params 1000", {"ack-"}, ""},
        {"config get unicast win params -1", {"ack-"}, ""},
        {"config get unicast win params 99999999999", {"ack-"}, ""},
        {"config get multicast win params", {"mulwininfo", "ack+"}, ""},
        // The query ends the text after its keyword; the echo is the copy made before.
        {"config get vs win params 19", {"vswininfo", "ack+"}, ""},
        {longWin, {"vswininfo", "ack+"}, longWin.substr(0, 255)},
        {"config get vs win params 20", {"ack-"}, ""},
        // No window in use: the wall list fails, after the screen reply.
        {"config get vs all wins", {"ack-"}, ""},
        {"config get vs all params", {"vsscreeninfo", "ack-"}, ""},
        {"config get webversion info", {"versioninfo", "ack+"}, ""},
        // Keywords are found anywhere in the command.
        {"xx config get ratio params", {"ratioinfo", "ack+"}, ""},
    });
}

TEST_F(DispatchQueries, WallAndUnicastQueriesWithADecoder) {
    useDecoder();
    check({
        {"config get unicast all params", {"unicastinfo", "uniwininfo", "ack+"}, ""},
        {"config get unicast win params 2", {"uniwininfo", "ack+"}, ""},
        {"config get vs all wins", {"vswininfo", "ack+"}, ""},
        {"config get vs all params", {"vsscreeninfo", "vswininfo", "ack+"}, ""},
    });
    std::vector<Reply> r = ask("config get vs all wins");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].json["vswininfo"].size(), 5u);  // the five windows of the one cell
}

TEST_F(DispatchQueries, DeviceQueriesMatchTheirArgumentAsTheTablesHoldIt) {
    check({
        // MACs compare number by number: case and leading zeros do not matter.
        {"config get net params 0:11:22:aa:bb:c", {"netparams", "ack+"}, ""},
        {"config get net params 00:11:22:AA:BB:0D", {"netparams", "ack+"}, ""},
        {"config get net params 00:11:22:aa:bb:0e", {"ack-"}, ""},
        {"config get decoder params 10.77.0.2", {"decparams", "ack+"}, ""},
        // The address is the whole rest: a trailing blank makes it another one.
        {"config get decoder params 10.77.0.2 ", {"ack-"}, ""},
        {"config get decoder params 10.77.0.3", {"ack-"}, ""},
        {"config get encoder params 10.77.0.3", {"encparams", "ack+"}, ""},
        {"config get encoder params", {"ack-"}, ""},
        {"config get device serial params 10.77.0.2", {"serparams", "ack+"}, ""},
        {"config get device serial params 10.77.0.9", {"ack-"}, ""},
        {"config get device serial bynet params", {"serbynetparams", "ack+"}, ""},
    });
    std::vector<Reply> r = ask("config get net params 0:11:22:aa:bb:c");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].json["netparams"]["devip"], "10.77.0.2") << r[0].text;
}

TEST_F(DispatchQueries, StatusOfTheControllerAndOfOneDevice) {
    auto status = [](const char* info, const char* stats, const char* st, const char* type) {
        Json::Value v;
        v["devicestatus"]["info"] = info;
        v["devicestatus"]["statistics"] = stats;
        v["devicestatus"]["status"] = st;
        v["devicestatus"]["type"] = type;
        return v;
    };
    struct Case {
        std::string command;
        Json::Value reply;
    };
    const Case cases[] = {
        {"config get system status",
         status("ARM & Embeded Linux", "Serial supported | Controller & Encoder",
                "System Is Running", "ctrl")},
        {"config get decoder device status 10.77.0.2",
         status("version: K4400-RX-2.1;", "", "", "decoder")},
        {"config get encoder device status 10.77.0.3",
         status("version: K4400-TX-3.4;", "", "", "encoder")},
        // An unknown address still succeeds, with empty texts.
        {"config get decoder device status 10.77.0.3", status("", "", "", "decoder")},
        {"config get encoder device status", status("", "", "", "encoder")},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(jsonOf(ask(k.command)),
                  (std::vector<Json::Value>{k.reply, oldAck(k.command, true)}))
            << k.command;
    }
}

}  // namespace
