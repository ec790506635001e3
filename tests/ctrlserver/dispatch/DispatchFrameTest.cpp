// The dispatcher's frame: the length limit, the origin tag, login, the web gate, the keyword
// chains (order, exact keywords, a handler for every entry) and the pass-through to the devices.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <set>

#include "DispatchFixture.h"
#include "dispatch/CtrlServerDispatch.h"

namespace {

using Replies = std::vector<DispatchTest::Reply>;

std::string padded(const std::string& command, size_t total) {
    return command + " " + std::string(total - command.size() - 1, 'x');
}

TEST_F(DispatchTest, TextsUpTo74999CharactersAreTakenLongerOnesDropped) {
    // The limit counts the whole text, tag included.
    const std::string tag = "12|";
    Outcome taken = run(padded(tag + "config get login", 74999), 0);
    EXPECT_EQ(taken.stageOne, 1);
    ASSERT_EQ(taken.replies.size(), 1u);
    EXPECT_EQ(taken.replies[0].tag, "12");
    ASSERT_TRUE(taken.replies[0].parsed);
    EXPECT_EQ(taken.replies[0].json["ack"]["status"], "failure");
    // The whole echo does not fit: it is cut so that the entry stays within 74999 bytes.
    EXPECT_LE(taken.replies[0].tag.size() + 1 + taken.replies[0].text.size(), 74999u);
    EXPECT_EQ(taken.replies[0].json["ack"]["cmd"].asString().rfind("config get login x", 0), 0u);

    Outcome dropped = run(padded(tag + "config get login", 75000), 0);
    EXPECT_EQ(dropped.stageOne, 0);
    EXPECT_EQ(dropped.stageTwo, 0);
    EXPECT_TRUE(dropped.replies.empty());
}

TEST_F(DispatchTest, OnlyADecimalSocketNumberIsTakenForTheTag) {
    struct Case {
        std::string text;
        std::string tag;
        std::string echo;
    };
    const Case cases[] = {
        {"7|config get login", "7", "config get login"},
        {"12345678901|config get login", "12345678901", "config get login"},
        // Twelve digits, letters or nothing in front of the bar: no tag, all is the command.
        {"123456789012|config get login", "", "123456789012|config get login"},
        {"ab|config get login", "", "ab|config get login"},
        {"|config get login", "", "|config get login"},
        {"config get login", "", "config get login"},
    };
    for (const Case& k : cases) {
        Replies r = run(k.text, 0).replies;
        ASSERT_EQ(r.size(), 1u) << k.text;
        EXPECT_EQ(r[0].tag, k.tag) << k.text;
        EXPECT_EQ(r[0].json, oldAck(k.echo, false)) << k.text;
    }
}

TEST_F(DispatchTest, LoginOpensTheGateForEveryClientAndNeverCloses) {
    // No system password stored: the user name alone logs in.
    EXPECT_EQ(jsonOf(run("3|config get login").replies),
              std::vector<Json::Value>{oldAck("config get login", false)});
    EXPECT_EQ(jsonOf(run("3|config set login admin").replies),
              std::vector<Json::Value>{oldAck("config set login", false)});
    EXPECT_EQ(ctrl->loggedIn, 0);
    EXPECT_EQ(jsonOf(run("3|config set login vorpl").replies),
              std::vector<Json::Value>{oldAck("config set login", true)});
    EXPECT_EQ(ctrl->loggedIn, 1);
    // A refused login afterwards leaves the gate open.
    EXPECT_EQ(jsonOf(run("3|config set login vorpl wrong").replies),
              std::vector<Json::Value>{oldAck("config set login", false)});
    EXPECT_EQ(ctrl->loggedIn, 1);
    EXPECT_EQ(jsonOf(run("4|config get login").replies),
              std::vector<Json::Value>{oldAck("config get login", true)});
}

TEST_F(DispatchTest, LoginFromTheTextPortWithAStoredPassword) {
    run("config set system pass secret", 0);
    // A password word longer than its 1024-byte buffer fails instead of being cut.
    std::string longWord(1024, 's');
    run("config set system pass " + longWord, 0);
    EXPECT_EQ(jsonOf(run("config set login vorpl " + longWord, 0).replies),
              std::vector<Json::Value>{oldAck("config set login", false)});
    EXPECT_EQ(jsonOf(run("config set login vorpl", 0).replies),
              std::vector<Json::Value>{oldAck("config set login", false)});
    EXPECT_EQ(ctrl->loggedIn, 0);
    EXPECT_EQ(jsonOf(run("config set login vorpl secret", 0).replies),
              std::vector<Json::Value>{oldAck("config set login", true)});
    // The one flag serves the web clients too.
    Replies r = run("9|config get system status").replies;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(r[0].json.isMember("devicestatus"));
}

TEST_F(DispatchTest, GateKeywordsFromTheWebBeforeLoginGetTheNewEnvelope) {
    const std::vector<const char*>& gate = dispatch::gateKeywords();
    EXPECT_EQ(gate.size(), 83u);
    EXPECT_EQ(std::set<std::string>(gate.begin(), gate.end()).size(), gate.size());
    for (const char* k : gate) {
        const std::string command = std::string(k) + " 1";
        Outcome o = run("5|" + command);
        EXPECT_EQ(o.stageOne, 1) << k;
        EXPECT_EQ(jsonOf(o.replies), std::vector<Json::Value>{newAck(command, false)}) << k;
    }
}

TEST_F(DispatchTest, TheGateEnvelopeAndWhatPassesBeforeLogin) {
    struct Case {
        const char* command;
        bool newEnvelope;
    };
    // Refused: the gate's own list decides the envelope.
    const Case refused[] = {
        {"scene id get 1", false},
        {"config flash device led RX1", false},
        {"config get all sence ip list params", false},
        {"config get extra info", false},
        {"ipc get params cam1", true},
        {"config get devices", true},
        // Holding "update" is not enough: the command has to begin with it.
        {"config get system status update", false},
        {"config set device factory default update", false},
    };
    for (const Case& k : refused) {
        EXPECT_EQ(jsonOf(run(k.command).replies),
                  std::vector<Json::Value>{k.newEnvelope ? newAck(k.command, false)
                                                         : oldAck(k.command, false)})
            << k.command;
    }

    // A command beginning with "update" goes on to the chains (here to the status query
    // that it holds).
    Replies r = run("update config get system status").replies;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_TRUE(r[0].json.isMember("devicestatus"));

    // The text port is never gated.
    r = run("config get system status", 0).replies;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].json, oldAck("config get system status", true));
}

TEST_F(DispatchTest, FactoryResetBehindTheGateLeavesTheFilesAlone) {
    run("config set system pass keep", 0);
    EXPECT_EQ(jsonOf(run("config set device factory default update").replies),
              std::vector<Json::Value>{oldAck("config set device factory default update", false)});
    EXPECT_EQ(value("/mnt/qeldevController.ini", "pass"), "keep");
}

// Every keyword of a chain is reachable: none stands behind an earlier one that it holds.
TEST(DispatchChains, NoKeywordIsHiddenBehindAnEarlierOne) {
    for (const auto* chain : {&dispatch::stageOneChain(), &dispatch::stageTwoChain()}) {
        for (size_t i = 0; i < chain->size(); ++i) {
            for (size_t j = i + 1; j < chain->size(); ++j) {
                const dispatch::Entry& a = (*chain)[i];
                const dispatch::Entry& b = (*chain)[j];
                if (a.match == dispatch::Match::Exact) continue;
                EXPECT_EQ(strstr(b.keyword, a.keyword), nullptr)
                    << "\"" << b.keyword << "\" is taken by \"" << a.keyword << "\"";
            }
        }
    }
    // Stage one sees every command first: none of its keywords may lie inside one of stage
    // two's.
    for (const dispatch::Entry& one : dispatch::stageOneChain())
        for (const dispatch::Entry& two : dispatch::stageTwoChain())
            EXPECT_EQ(strstr(two.keyword, one.keyword), nullptr) << two.keyword;
}

TEST_F(DispatchTest, EveryEntryHasItsHandler) {
    for (bool stageOne : {true, false})
        for (const dispatch::Entry& e : stageOne ? dispatch::stageOneChain()
                                                 : dispatch::stageTwoChain())
            EXPECT_TRUE(e.handler) << e.keyword;
}

TEST_F(DispatchTest, AStageThatDeclinesQueuesNothing) {
    // Unknown to stage one: it declines with nothing queued, and stage two passes it on.
    char text[] = "config get url params 10.0.0.9 0";
    EXPECT_EQ(ctrl->ProcessSub1(text, static_cast<int>(strlen(text)), 0), 0);
    EXPECT_TRUE(drain().empty());

    // An exact keyword with a trailing blank is not that keyword.
    Outcome o = run("config get encoderlist ", 0);
    EXPECT_EQ(o.stageOne, 0);
    EXPECT_EQ(o.stageTwo, 1);
    EXPECT_EQ(jsonOf(o.replies),
              std::vector<Json::Value>{oldAck("config get encoderlist ", false)});
}

TEST_F(DispatchTest, PassThroughFailsWhenTheAcknowledgementPortIsTaken) {
    // Another socket holds 8887: cmdDev cannot listen for the answer, and that is a failure,
    // not a command the devices took.
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(8887);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const std::string command = "config get url params 10.0.0.9 0";
    EXPECT_EQ(jsonOf(run("8|" + command, 0).replies),
              std::vector<Json::Value>{oldAck(command, false)});
    close(fd);

    // Without an answer (no network here) the pass-through fails as well, echoing the whole
    // command however long.
    const std::string unmatched = padded("config nothing", 74000);
    Replies r = run("8|" + unmatched, 0).replies;
    ASSERT_EQ(r.size(), 1u);
    ASSERT_TRUE(r[0].parsed);
    EXPECT_EQ(r[0].json["ack"]["status"], "failure");
    EXPECT_EQ(r[0].json["ack"]["cmd"], unmatched);
}

}  // namespace
