// Prints how long the full wall model takes to load and how much memory it holds: the model
// built in this process (several times), and ctrlserver started on it in a box of the test
// network until its ports answer. A figure program, not a test: it asserts nothing.
//
//   wall_model_bench [rounds]      (scripts/bench-wall builds it without sanitizers and runs it)
#include <sched.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "WallModelGen.h"
#include "device/DevServer.h"
#include "live/BasicUsageEnvironment.hh"
#include "support/Clients.h"
#include "support/Process.h"
#include "support/TestNet.h"
#include "wall/VSServer.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

const double kGoalSeconds = 1.0;
const double kGoalMegabytes = 16.0;

// A field of /proc/<pid>/status in kB ("VmRSS", "VmHWM"), -1 when unknown.
long statusKb(const std::string& pid, const char* field) {
    std::ifstream in("/proc/" + pid + "/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return atol(line.c_str() + key.size());
    return -1;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string makeRoot() {
    char dir[] = "/tmp/qel-wallbench-XXXXXX";
    if (!mkdtemp(dir)) return "";
    return dir;
}

void removeTree(const std::string& dir) {
    if (dir.empty()) return;
    const std::string cmd = "rm -rf '" + dir + "'";
    if (::system(cmd.c_str()) != 0) fprintf(stderr, "cannot remove %s\n", dir.c_str());
}

// The model built in a child process with no network (the device server beside it owns a
// sending thread), so the figures hold the model and nothing of an earlier round.
int benchInProcess(const std::string& root, int rounds) {
    pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        if (unshare(CLONE_NEWNET) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
            fprintf(stderr, "cannot leave the network; in-process figures skipped\n");
            _exit(2);
        }
        setenv("QEL_ROOT", root.c_str(), 1);
        TaskScheduler* scheduler = BasicTaskScheduler::createNew();
        UsageEnvironment* env = BasicUsageEnvironment::createNew(*scheduler);
        DevServer* dev = DevServer::createNew(*env, Port(6668), 0);
        const long before = statusKb("self", "VmRSS");
        std::vector<double> times;
        long held = 0;
        for (int r = 0; r < rounds; ++r) {
            const Clock::time_point t0 = Clock::now();
            VSServer* model = VSServer::createNew(*env, *dev);
            times.push_back(seconds(Clock::now() - t0));
            if (!model) {
                fprintf(stderr, "model build failed\n");
                _exit(1);
            }
            if (r == 0) held = statusKb("self", "VmRSS") - before;
            delete model;
        }
        const double first = times.front();
        std::sort(times.begin(), times.end());
        printf(
            "model build, full model, %d rounds: first %.3f s, median %.3f s, min %.3f s "
            "(goal <= %.1f s)\n",
            rounds, first, times[times.size() / 2], times.front(), kGoalSeconds);
        printf(
            "model memory: %.1f MB resident for the first model (process %.1f MB, peak "
            "%.1f MB; goal <= %.0f MB)\n",
            held / 1024.0, statusKb("self", "VmRSS") / 1024.0, statusKb("self", "VmHWM") / 1024.0,
            kGoalMegabytes);
        fflush(stdout);
        _exit(0);  // the device server's thread goes with the process
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// ctrlserver in a box: from start until both command ports accept, and its memory then.
void benchProgram(qeltest::Box& box, const char* what) {
    const Clock::time_point t0 = Clock::now();
    auto server = box.start(qeltest::programPath("ctrlserver"));
    if (!server) return;
    const bool line = server->waitForStderr("webServer Started @ Port6670!", 20s);
    const double lineAt = seconds(Clock::now() - t0);
    const bool ports = box.run([&] {
        qeltest::TcpClient text, web;
        return text.connect(box.ip(), 8886, 20s) && web.connect(box.ip(), 9008, 20s);
    });
    const double portsAt = seconds(Clock::now() - t0);
    const std::string pid = std::to_string(server->pid());
    const long rss = statusKb(pid, "VmRSS"), peak = statusKb(pid, "VmHWM");
    if (!line || !ports) {
        printf("ctrlserver, %s: did not come up\n%s\n", what, server->output().c_str());
        return;
    }
    printf(
        "ctrlserver, %s: start line after %.3f s, ports 8886 and 9008 open after %.3f s "
        "(goal <= %.1f s); resident %.1f MB, peak %.1f MB (goal <= %.0f MB)\n",
        what, lineAt, portsAt, kGoalSeconds, rss / 1024.0, peak / 1024.0, kGoalMegabytes);
    server->stop(5s);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    setvbuf(stdout, nullptr, _IOLBF, 0);

    const std::string root = makeRoot();
    std::string error;
    const Clock::time_point g0 = Clock::now();
    if (root.empty() || !wallgen::writeFiles(root, &error)) {
        fprintf(stderr, "cannot write the full model: %s\n", error.c_str());
        return 1;
    }
    printf("generator: full model (3480 window blocks, 20 key files) written in %.3f s\n",
           seconds(Clock::now() - g0));
    const int inProcess = benchInProcess(root, rounds);
    removeTree(root);

    const std::string why = qeltest::testNetworkUnavailable();
    if (!why.empty()) {
        printf("ctrlserver figures skipped: %s\n", why.c_str());
        return inProcess;
    }
    qeltest::TestNet net;
    if (!net.ok()) {
        printf("ctrlserver figures skipped: %s\n", net.error().c_str());
        return inProcess;
    }
    qeltest::Box& full = net.addBox("full", 1);
    if (!full.ok() || !wallgen::writeFiles(full.root(), &error)) {
        fprintf(stderr, "cannot prepare the box: %s\n", error.c_str());
        return 1;
    }
    benchProgram(full, "full model");
    qeltest::Box& empty = net.addBox("empty", 2);
    if (empty.ok()) benchProgram(empty, "empty /mnt (first start)");
    return inProcess;
}
