// A program started by a test, with its standard output and standard error collected.
//
//   auto p = box.start(qeltest::programPath("ctrlserver"), {"-c", "0"});
//   ASSERT_TRUE(p->waitForOutput("webServer Started @ Port6670!", 5s)) << p->output();
//   EXPECT_EQ(p->stop(), 0);
//
// The program runs in its own process group; stop() and the destructor signal the whole group,
// so children it spawned go too. It is started with PR_SET_PDEATHSIG, so it dies with the
// thread that started it: start programs from the test's own thread, not from a short-lived one.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qeltest {

using namespace std::chrono_literals;

// The path of a program of this build ("ctrlserver" -> <build>/bin/ctrlserver).
std::string programPath(const std::string& program);

class Process {
public:
    // Starts argv[0] (a path, or a name looked up in PATH) with argv. The environment is this
    // process's own, changed by `env`: "NAME=value" sets a variable, a bare "NAME" removes it.
    // With a namespace name (as in /run/netns), the program runs in that network namespace.
    // Returns nullptr, with the reason in *error, when the program could not be started.
    static std::unique_ptr<Process> start(const std::vector<std::string>& argv,
                                          const std::vector<std::string>& env = {},
                                          const std::string& netns = "",
                                          std::string* error = nullptr);

    // Kills the process group at once (SIGKILL) when still running, and reaps it.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }

    // Waits until `text` shows in the collected output (both streams); false on time-out, or
    // when the program closed its output without it.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout = 5s);
    // Same, on standard output or standard error alone.
    bool waitForStdout(const std::string& text, std::chrono::milliseconds timeout = 5s);
    bool waitForStderr(const std::string& text, std::chrono::milliseconds timeout = 5s);

    // What was collected so far: both streams in arrival order, or one of them.
    std::string output() const;
    std::string stdoutText() const;
    std::string stderrText() const;

    // The exit status as a shell shows it (exit code 0-255, or 128 + signal number), or
    // nothing while the program runs. exitStatus() does not wait.
    std::optional<int> exitStatus();
    std::optional<int> waitExit(std::chrono::milliseconds timeout = 5s);
    bool running() { return !exitStatus(); }

    // SIGTERM to the group, SIGKILL after `grace`; returns the exit status. The collected
    // output stays readable afterwards.
    std::optional<int> stop(std::chrono::milliseconds grace = 3s);
    // Sends a signal to the program alone (not to its group).
    bool signal(int sig);

private:
    Process() = default;
    void readLoop(int outFd, int errFd);
    bool waitFor(const std::string Process::*stream, const std::string& text,
                 std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    std::optional<int> status_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string all_, out_, err_;
    bool outputClosed_ = false;
    std::thread reader_;
    int stopPipe_[2] = {-1, -1};  // wakes the reader when we give up on the output
};

}  // namespace qeltest
