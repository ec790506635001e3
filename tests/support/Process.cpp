#include "support/Process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#ifndef QEL_BIN_DIR
#error "QEL_BIN_DIR must name the build's program folder"
#endif

extern char** environ;

namespace qeltest {

namespace {

using Clock = std::chrono::steady_clock;

std::string resolveProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return program;
}

std::vector<std::string> buildEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
    for (const std::string& change : changes) {
        size_t eq = change.find('=');
        std::string name = change.substr(0, eq);
        for (auto it = env.begin(); it != env.end();) {
            if (it->compare(0, name.size() + 1, name + "=") == 0) {
                it = env.erase(it);
            } else {
                ++it;
            }
        }
        if (eq != std::string::npos) env.push_back(change);
    }
    return env;
}

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

std::string programPath(const std::string& program) {
    return std::string(QEL_BIN_DIR) + "/" + program;
}

std::unique_ptr<Process> Process::start(const std::vector<std::string>& argv,
                                        const std::vector<std::string>& env,
                                        const std::string& netns, std::string* error) {
    auto fail = [error](const std::string& why) -> std::unique_ptr<Process> {
        if (error) *error = why;
        return nullptr;
    };
    if (argv.empty()) return fail("no program given");

    // Everything the child needs is prepared here: between fork and exec only async-signal-safe
    // calls are allowed, since the test process has threads.
    const std::string program = resolveProgram(argv[0]);
    std::vector<std::string> envStrings = buildEnvironment(env);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : envStrings) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    int nsFd = -1;
    if (!netns.empty()) {
        nsFd = open(("/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
        if (nsFd < 0) return fail("cannot open namespace " + netns + ": " + strerror(errno));
    }
    int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1}, execPipe[2] = {-1, -1};
    if (devNull < 0 || pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0 ||
        pipe2(execPipe, O_CLOEXEC) != 0) {
        std::string why = std::string("cannot make pipes: ") + strerror(errno);
        for (int* fd : {&nsFd, &devNull, &outPipe[0], &outPipe[1], &errPipe[0], &errPipe[1],
                        &execPipe[0], &execPipe[1]})
            closeFd(*fd);
        return fail(why);
    }

    std::unique_ptr<Process> p(new Process);
    if (pipe2(p->stopPipe_, O_CLOEXEC) != 0) {
        for (int* fd : {&nsFd, &devNull, &outPipe[0], &outPipe[1], &errPipe[0], &errPipe[1],
                        &execPipe[0], &execPipe[1]})
            closeFd(*fd);
        return fail(std::string("cannot make pipes: ") + strerror(errno));
    }
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGQUIT, SIGHUP}) ::signal(sig, SIG_DFL);
        int err = 0;
        if (nsFd >= 0 && setns(nsFd, CLONE_NEWNET) != 0) err = errno;
        if (!err && (dup2(devNull, 0) < 0 || dup2(outPipe[1], 1) < 0 || dup2(errPipe[1], 2) < 0))
            err = errno;
        if (!err) {
            execve(program.c_str(), args.data(), envp.data());
            err = errno;
        }
        ssize_t ignored = write(execPipe[1], &err, sizeof err);
        (void)ignored;
        _exit(127);
    }
    for (int* fd : {&nsFd, &devNull, &outPipe[1], &errPipe[1], &execPipe[1]}) closeFd(*fd);
    if (pid < 0) {
        for (int* fd : {&outPipe[0], &errPipe[0], &execPipe[0]}) closeFd(*fd);
        return fail(std::string("fork failed: ") + strerror(errno));
    }
    setpgid(pid, pid);  // also here, so the group exists before we might signal it
    p->pid_ = pid;

    // The exec pipe closes on a successful exec; otherwise the child writes its errno.
    int childErr = 0;
    struct pollfd pfd = {execPipe[0], POLLIN, 0};
    if (poll(&pfd, 1, 10000) == 1) {
        if (read(execPipe[0], &childErr, sizeof childErr) != sizeof childErr) childErr = 0;
    } else {
        childErr = ETIMEDOUT;
    }
    closeFd(execPipe[0]);
    p->reader_ = std::thread(&Process::readLoop, p.get(), outPipe[0], errPipe[0]);
    if (childErr != 0) {
        p->waitExit(2s);
        return fail("cannot start " + program + ": " + strerror(childErr));
    }
    return p;
}

Process::~Process() {
    if (pid_ > 0 && !exitStatus()) {
        kill(-pid_, SIGKILL);
        waitExit(5s);
    }
    if (reader_.joinable()) {
        char c = 0;
        ssize_t ignored = write(stopPipe_[1], &c, 1);
        (void)ignored;
        reader_.join();
    }
    closeFd(stopPipe_[0]);
    closeFd(stopPipe_[1]);
}

void Process::readLoop(int outFd, int errFd) {
    int fds[2] = {outFd, errFd};
    while (fds[0] >= 0 || fds[1] >= 0) {
        struct pollfd pfds[3] = {
            {fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        int n = poll(pfds, 3, 200);
        if (n < 0 && errno != EINTR) break;
        if (pfds[2].revents) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0 || !(pfds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            ssize_t got = read(fds[i], buf, sizeof buf);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                closeFd(fds[i]);
                continue;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            all_.append(buf, static_cast<size_t>(got));
            (i == 0 ? out_ : err_).append(buf, static_cast<size_t>(got));
            changed_.notify_all();
        }
    }
    closeFd(fds[0]);
    closeFd(fds[1]);
    std::lock_guard<std::mutex> lock(mutex_);
    outputClosed_ = true;
    changed_.notify_all();
}

bool Process::waitFor(const std::string Process::*stream, const std::string& text,
                      std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [&] {
        return (this->*stream).find(text) != std::string::npos || outputClosed_;
    });
    return (this->*stream).find(text) != std::string::npos;
}

bool Process::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor(&Process::all_, text, timeout);
}
bool Process::waitForStdout(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor(&Process::out_, text, timeout);
}
bool Process::waitForStderr(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor(&Process::err_, text, timeout);
}

std::string Process::output() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return all_;
}
std::string Process::stdoutText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return out_;
}
std::string Process::stderrText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return err_;
}

std::optional<int> Process::exitStatus() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (status_ || pid_ <= 0) return status_;
    int raw = 0;
    pid_t r = waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    } else if (r < 0 && errno == ECHILD) {
        status_ = -1;  // reaped elsewhere; the status is lost
    }
    return status_;
}

std::optional<int> Process::waitExit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::optional<int> status;
    while (!(status = exitStatus()) && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
    if (status) {
        // Let the reader take the last bytes, so output() is complete once we return.
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, 1s, [this] { return outputClosed_; });
    }
    return status;
}

std::optional<int> Process::stop(std::chrono::milliseconds grace) {
    if (auto status = exitStatus()) return status;
    kill(-pid_, SIGTERM);
    if (auto status = waitExit(grace)) return status;
    kill(-pid_, SIGKILL);
    return waitExit(5s);
}

bool Process::signal(int sig) {
    return !exitStatus() && kill(pid_, sig) == 0;
}

}  // namespace qeltest
