#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/CtrlMain.h"

namespace {

struct OptionCase {
    std::vector<std::string> args;
    bool ok;
    int port;  // clientPort after parsing
    std::string out;
};

TEST(CtrlOptions, Table) {
    const OptionCase cases[] = {
        {{}, true, 0, ""},
        {{"-c", "0"}, true, 0, ""},
        {{"-c", "7000"}, true, 7000, ""},
        {{"-c", "70000"}, true, 4464, ""},  // cut to 16 bits
        {{"-s"}, true, 0, ""},
        {{"-f", "name", "-g", "other"}, true, 0, ""},
        {{"-x"}, false, 0, "unknown command -x \ninit param failed \n"},
        {{"-s", "-c"}, false, 0, "unknown command -c \ninit param failed \n"},
    };
    for (const OptionCase& c : cases) {
        std::vector<std::string> words = {"ctrlserver"};
        words.insert(words.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);
        CtrlOptions o;
        testing::internal::CaptureStdout();
        bool ok = parseCtrlOptions(static_cast<int>(words.size()), argv.data(), o);
        std::string out = testing::internal::GetCapturedStdout();
        std::string name = words.size() > 1 ? words[1] : "(none)";
        EXPECT_EQ(ok, c.ok) << name;
        EXPECT_EQ(o.clientPort, c.port) << name;
        EXPECT_EQ(out, c.out) << name;
    }
}

TEST(CtrlOptions, ProgramDirectory) {
    EXPECT_EQ(programDirectoryOf("/usr/bin/ctrlserver"), "/usr/bin");
    EXPECT_EQ(programDirectoryOf("./ctrlserver"), ".");
    EXPECT_EQ(programDirectoryOf("ctrlserver"), "ctrlserver");
}

TEST(CtrlSignals, HandlerEndsTheProgramWhileAnotherThreadHoldsStandardOutput) {
    // A signal may arrive while some thread is inside printf. The handler must still print its
    // line and end the program, not wait for a stream lock that will never be released.
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        std::thread holder([] {
            flockfile(stdout);
            pause();
        });
        holder.detach();
        usleep(100 * 1000);
        sighandler(SIGTERM);
        _exit(3);
    }
    close(out[1]);
    int status = -1;
    pid_t done = 0;
    for (int i = 0; i < 50 && done == 0; ++i) {
        usleep(100 * 1000);
        done = waitpid(child, &status, WNOHANG);
    }
    if (done == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    char buf[64] = {0};
    ssize_t n = read(out[0], buf, sizeof buf - 1);
    close(out[0]);
    ASSERT_NE(done, 0) << "the handler hung";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(std::string(buf, n > 0 ? n : 0), "sighandler exit(0)! \n");
}

}  // namespace
