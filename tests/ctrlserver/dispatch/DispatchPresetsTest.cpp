// The preset, window-mode, matrix and multiview entries: what each answers, with which echo,
// and which numbers reach the handlers.
#include "DispatchFixture.h"

class DispatchPresets : public DispatchTest {};

TEST_F(DispatchPresets, WindowModeRows) {
    struct Case {
        std::string cmd;
        std::vector<std::string> shape;
        std::string echo;
    };
    const Case cases[] = {
        {"config get winmodes", {"winmode", "ack+"}, "config get winmodes"},
        {"config set add winmode Evening", {"winmode", "ack+"}, "config set add winmode Evening"},
        {"config set add winmode Late night", {"winmode", "ack+"}, ""},
        {"config set add winmode ", {"ack-"}, ""},
        {"config set modify winmode 1 byIndex Late", {"ack+"}, ""},
        {"config set modify winmode byIndex 1 Late", {"ack-"}, ""},
        {"config set del winmode byName Evening", {"ack-"}, ""},
        {"config set del winmode Evening byName", {"winmode", "ack+"}, ""},
        {"config set add winmode A", {"winmode", "ack+"}, ""},
        {"config set add winmode B", {"winmode", "ack+"}, ""},
        {"config set add winmode C", {"winmode", "ack+"}, ""},
        {"config set add winmode D", {"ack-"}, "config set add winmode D"},
        {"config set add winmode " + std::string(1000, 'x'), {"ack-"}, ""},
    };
    for (const Case& c : cases) {
        std::string echo;
        const auto replies = ask(c.cmd);
        EXPECT_EQ(shape(replies, &echo), c.shape) << c.cmd;
        EXPECT_EQ(echo, c.echo.empty() ? c.cmd : c.echo) << c.cmd;
    }
    const auto replies = ask("config get winmodes");
    ASSERT_EQ(replies.size(), 2u);
    const Json::Value& list = replies[0].json["winmode"];
    ASSERT_EQ(list.size(), 4u);
    const char* names[] = {"Late", "A", "B", "C"};
    for (Json::ArrayIndex i = 0; i < 4; ++i) {
        EXPECT_EQ(list[i]["modename"], names[i]) << i;
        EXPECT_EQ(list[i]["modeactive"], 4);
        EXPECT_EQ(list[i]["modemax"], 4);
    }
}

TEST_F(DispatchPresets, PresetCommandsCountFromOne) {
    std::string create = "config set sence params Hall";
    ASSERT_EQ(model->cmdVSSetSence(&create[0], 1), 0);
    struct Case {
        std::string cmd;
        std::string echo;
        bool ok;
        int curPreset;  // of scene 0 afterwards
    };
    const Case cases[] = {
        {"scene save preset Hall 1 2", "scene save preset", true, 1},
        {"scene save preset Hall 6 1", "scene save preset", false, 1},
        {"scene save preset Hall 1 0", "scene save preset", false, 1},
        {"scene save preset Hall 1", "scene save preset", false, 1},
        {"scene load preset 1 3", "scene load preset", true, 2},
        {"scene load preset 1 3", "scene load preset", true, 2},  // already current: 0
        {"scene load preset Hall 1", "scene load preset", true, 0},
        {"scene load preset Hall 4", "scene load preset", false, 0},
        {"scene load preset Nowhere 1", "scene load preset", false, 0},
        {"scene load preset 1 4", "scene load preset", false, 0},
        {"scene recall preset Hall 2", "scene recall preset", true, 1},
        {"scene recall preset 6 2", "scene recall preset", false, 1},
        {"config load sence preset params 0 2", "config load sence preset params 0 2", true, 2},
        {"config load sence preset params 0 3", "config load sence preset params 0 3", false, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jsonOf(ask(c.cmd)), (std::vector<Json::Value>{newAck(c.echo, c.ok)})) << c.cmd;
        EXPECT_EQ(int(model->pVSence[0]->curPreset), c.curPreset) << c.cmd;
    }
    EXPECT_EQ(iSenceCurrent, 0);
}

TEST_F(DispatchPresets, MatrixAndMultiviewQueries) {
    seed({{"10.77.0.2", "RXA", "rxa", "00:00:00:00:00:02", "V", {{"splitnum", 1}}},
          {"10.77.0.3", "RXB", "rxb", "00:00:00:00:00:03", "V", {{"splitnum", 4}}}},
         {{"10.77.0.9",
           "TXA",
           "txa",
           "00:00:00:00:00:09",
           "V",
           {{"url0", "rtsp://10.77.0.9/stream0"}}}});
    ASSERT_FALSE(HasFatalFailure());
    model->pUnicast->ip[0] = "10.77.0.2";
    model->pUWin[0]->url = "rtsp://10.77.0.9/stream0";
    model->pUnicast->ip[1] = "10.77.0.3";
    model->pUWin[5]->url = "rtsp://10.77.0.9/stream1";
    model->pUWin[5]->hStart = 0;
    model->pUWin[5]->hEnd = 959;
    model->pUWin[5]->vStart = 0;
    model->pUWin[5]->vEnd = 539;

    Json::Value matrix;
    matrix["rxsourceinfo"][0]["txrx_1"] = "TXA_txa, RXA_rxa";
    matrix["ack"] = newAck("matrix get", true)["ack"];
    Json::Value mv;
    mv["mvrxinfo"][0]["splitnum"] = 4;
    mv["mvrxinfo"][0]["rxalias"] = "RXB_rxb";
    mv["mvrxinfo"][0]["tx_1"] = "TXA_txa";
    for (int k = 2; k <= 4; ++k) mv["mvrxinfo"][0]["tx_" + std::to_string(k)] = "NULL";
    mv["ack"] = newAck("mv get", true)["ack"];
    Json::Value none;
    none["mvrxinfo"] = Json::Value();  // an empty list renders as null
    none["ack"] = newAck("mv get", true)["ack"];
    struct Case {
        std::string cmd;
        Json::Value reply;
    };
    const Case cases[] = {
        {"matrix get", matrix},
        {"matrix get RXA rxa", matrix},  // the same decoder named twice is listed once
        {"mv get", mv},
        {"mv get RXB", mv},
        {"mv get Nobody", none},
    };
    for (const Case& c : cases) {
        const auto replies = ask(c.cmd);
        ASSERT_EQ(replies.size(), 1u) << c.cmd;
        EXPECT_EQ(replies[0].json, c.reply) << c.cmd << "\n" << replies[0].text;
    }
    const auto replies = ask("mv getrxparams rxb");
    ASSERT_EQ(replies.size(), 1u);
    const Json::Value& row = replies[0].json["mvrxallinfo"][0];
    EXPECT_EQ(row["alias"], "RXB");
    EXPECT_EQ(row["tx_1"], "TXA_txa");
    EXPECT_EQ(row["winwidth_1"], 960);
    EXPECT_EQ(row["winheight_1"], 540);
    EXPECT_EQ(replies[0].json["ack"], newAck("mv getrxparams", true)["ack"]);

    // "matrix all set": every matrix decoder (RXA) takes the source, or is cleared.
    EXPECT_EQ(jsonOf(ask("matrix all set Nobody")),
              (std::vector<Json::Value>{newAck("matrix all set", false)}));
    modelTexts.clear();
    EXPECT_EQ(jsonOf(ask("matrix all set TXA")),
              (std::vector<Json::Value>{newAck("matrix all set", true)}));
    bool toRxa = false;
    for (const auto& t : modelTexts)
        if (t.find("url params 10.77.0.2 0 rtsp://10.77.0.9") != std::string::npos) toRxa = true;
    EXPECT_TRUE(toRxa);
    for (const auto& t : modelTexts) EXPECT_EQ(t.find("10.77.0.3"), std::string::npos) << t;
    EXPECT_EQ(jsonOf(ask("matrix all set")),
              (std::vector<Json::Value>{newAck("matrix all set", true)}));
    model->pUnicast->ip[0].clear();  // no matrix decoder left
    EXPECT_EQ(jsonOf(ask("matrix all set")),
              (std::vector<Json::Value>{newAck("matrix all set", false)}));
}
