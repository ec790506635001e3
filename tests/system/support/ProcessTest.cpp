#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/Process.h"

using namespace std::chrono_literals;
using qeltest::Process;

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<Process> shell(const std::string& script,
                               const std::vector<std::string>& env = {}) {
    std::string error;
    auto p = Process::start({"sh", "-c", script}, env, "", &error);
    EXPECT_TRUE(p) << error;
    return p;
}

bool alive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    size_t paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] != 'Z';
}

TEST(Process, CollectsBothStreamsAndTheExitStatus) {
    auto p = shell("echo out; echo err >&2; exit 3");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->waitExit(), 3);
    EXPECT_EQ(p->stdoutText(), "out\n");
    EXPECT_EQ(p->stderrText(), "err\n");
    EXPECT_NE(p->output().find("out\n"), std::string::npos);
    EXPECT_NE(p->output().find("err\n"), std::string::npos);
}

TEST(Process, EnvironmentChangesSetAndRemove) {
    setenv("QEL_PROCESS_TEST_GONE", "still here", 1);
    auto p =
        shell("echo \"[$A][${QEL_PROCESS_TEST_GONE-unset}]\"", {"A=1", "QEL_PROCESS_TEST_GONE"});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->waitExit(), 0);
    EXPECT_EQ(p->stdoutText(), "[1][unset]\n");
}

TEST(Process, WaitsAreBounded) {
    auto p = shell("echo ready; sleep 30");
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->waitForStdout("ready"));
    auto t0 = Clock::now();
    EXPECT_FALSE(p->waitForOutput("never", 200ms));
    EXPECT_FALSE(p->waitExit(200ms));
    EXPECT_LT(Clock::now() - t0, 2s);

    // A program that ended without the text: no need to sit out the time-out.
    auto done = shell("echo bye");
    ASSERT_TRUE(done);
    t0 = Clock::now();
    EXPECT_FALSE(done->waitForOutput("never", 10s));
    EXPECT_LT(Clock::now() - t0, 5s);
}

TEST(Process, StopTermsThenKills) {
    struct Case {
        const char* script;
        int status;
        const char* output;
    };
    for (const Case& k :
         {Case{"trap 'echo bye; exit 7' TERM; echo ready; while :; do sleep 0.05; done", 7, "bye"},
          Case{"trap '' TERM; echo ready; while :; do sleep 0.05; done", 128 + SIGKILL, ""},
          Case{"echo ready; exec sleep 30", 128 + SIGTERM, ""}}) {
        SCOPED_TRACE(k.script);
        auto p = shell(k.script);
        ASSERT_TRUE(p);
        ASSERT_TRUE(p->waitForOutput("ready"));
        EXPECT_EQ(p->stop(300ms), k.status);
        EXPECT_NE(p->output().find(k.output), std::string::npos) << p->output();
        EXPECT_FALSE(p->running());
    }
}

TEST(Process, DestructorKillsTheWholeGroup) {
    pid_t child = 0;
    {
        auto p = shell("sleep 30 & echo $!; wait");
        ASSERT_TRUE(p);
        ASSERT_TRUE(p->waitForOutput("\n"));
        child = static_cast<pid_t>(atol(p->output().c_str()));
        ASSERT_TRUE(alive(child));
    }
    for (int i = 0; i < 100 && alive(child); ++i) usleep(10 * 1000);
    EXPECT_FALSE(alive(child));
}

TEST(Process, MissingProgramIsReported) {
    std::string error;
    EXPECT_FALSE(Process::start({"/nonexistent/qel-program"}, {}, "", &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(Process::start({"true"}, {}, "qel-no-such-namespace", &error));
    EXPECT_NE(error.find("qel-no-such-namespace"), std::string::npos) << error;
}

TEST(Process, ProgramPathPointsIntoTheBuild) {
    const std::string path = qeltest::programPath("ctrlserver");
    EXPECT_EQ(path.substr(path.size() - 15), "/bin/ctrlserver");
    EXPECT_EQ(access(path.c_str(), X_OK), 0) << path;
}

}  // namespace
