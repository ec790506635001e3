// ctrlserver started for real in a box of the test network: its command line, its start-up
// line and its end on a signal.
#include <dirent.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::string> entriesOf(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (struct dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
    }
    return names;
}

class CtrlServerStart : public ::testing::Test {
protected:
    void SetUp() override {
        QEL_REQUIRE_TEST_NETWORK();
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
    }

    qeltest::Box& newBox() {
        const int n = static_cast<int>(net->boxes().size()) + 1;
        return net->addBox("ctrl" + std::to_string(n), n);
    }

    std::unique_ptr<qeltest::TestNet> net;
};

// The line shows the base port + 4, the base cut to 16 bits.
TEST_F(CtrlServerStart, ShowsTheWebPortOnStandardError) {
    struct Case {
        std::vector<std::string> args;
        const char* line;
    };
    for (const Case& k :
         {Case{{}, "webServer Started @ Port6670!\n"},
          Case{{"-c", "0"}, "webServer Started @ Port6670!\n"},
          Case{{"-c", "7000"}, "webServer Started @ Port7004!\n"},
          Case{{"-c", "70000"}, "webServer Started @ Port4468!\n"},
          Case{{"-s", "-f", "a", "-g", "b", "-c", "6000"}, "webServer Started @ Port6004!\n"}}) {
        SCOPED_TRACE(::testing::PrintToString(k.args));
        qeltest::Box& box = newBox();
        auto server = box.start(qeltest::programPath("ctrlserver"), k.args);
        ASSERT_TRUE(server);
        EXPECT_TRUE(server->waitForStderr(k.line, 5s)) << server->output();
        EXPECT_TRUE(server->running()) << server->output();
    }
}

TEST_F(CtrlServerStart, EndsWithStatusZeroOnSigterm) {
    qeltest::Box& box = newBox();
    auto server = box.start(qeltest::programPath("ctrlserver"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started @ Port6670!", 15s)) << server->output();
    EXPECT_EQ(server->stop(5s), 0);
    EXPECT_NE(server->stdoutText().find("sighandler exit(0)! \n"), std::string::npos)
        << server->output();
}

TEST_F(CtrlServerStart, RefusesBadOptionsAndCreatesNothing) {
    struct Case {
        std::vector<std::string> args;
        const char* word;
    };
    for (const Case& k : {Case{{"-x"}, "-x"}, Case{{"-c"}, "-c"}, Case{{"-s", "-x"}, "-x"}}) {
        SCOPED_TRACE(::testing::PrintToString(k.args));
        qeltest::Box& box = newBox();
        auto server = box.start(qeltest::programPath("ctrlserver"), k.args);
        ASSERT_TRUE(server);
        EXPECT_EQ(server->waitExit(5s), 255) << server->output();
        EXPECT_EQ(server->stdoutText(),
                  "unknown command " + std::string(k.word) + " \ninit param failed \n");
        EXPECT_EQ(server->output().find("webServer Started"), std::string::npos);
        EXPECT_TRUE(entriesOf(box.root()).empty()) << "the box root was written";
    }
}

// Without a box root it refuses at once. That check comes before any socket, so without the
// test network it may run in the host's network.
TEST(CtrlServerWithoutRoot, RefusesToStart) {
    const std::vector<std::string> noRoot{"QEL_ROOT"};
    const std::string program = qeltest::programPath("ctrlserver");
    std::unique_ptr<qeltest::TestNet> net;
    std::unique_ptr<qeltest::Process> server;
    if (qeltest::testNetworkUnavailable().empty()) {
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
        server = net->addBox("ctrl", 1).start(program, {}, noRoot);
    } else {
        std::string error;
        server = qeltest::Process::start({program}, noRoot, "", &error);
        ASSERT_TRUE(server) << error;
    }
    ASSERT_TRUE(server);
    const auto status = server->waitExit(5s);
    ASSERT_TRUE(status) << "still running without QEL_ROOT: " << server->output();
    EXPECT_NE(*status, 0);
    EXPECT_NE(server->stderrText().find("QEL_ROOT is not set"), std::string::npos)
        << server->output();
    EXPECT_EQ(server->output().find("webServer Started"), std::string::npos);
}

}  // namespace
