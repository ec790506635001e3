#include "support/TestNet.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace qeltest {

namespace {

using Clock = std::chrono::steady_clock;

// Every namespace and box root of this library is named "qel-<pid>-<counter>-...", which lets
// a later run tell the stale ones (owner gone) from those of tests running in parallel.
const char kPrefix[] = "qel-";
const char kNetnsDir[] = "/run/netns";
const char kRootDir[] = "/tmp";

std::atomic<int> gCounter{0};

// The owner pid of a name made by this library, or 0.
pid_t ownerOf(const std::string& name) {
    if (name.compare(0, sizeof kPrefix - 1, kPrefix) != 0) return 0;
    size_t pos = sizeof kPrefix - 1;
    size_t end = name.find('-', pos);
    if (end == std::string::npos || end == pos || end - pos > 9) return 0;
    for (size_t i = pos; i < end; ++i)
        if (name[i] < '0' || name[i] > '9') return 0;
    return static_cast<pid_t>(atol(name.substr(pos, end - pos).c_str()));
}

bool ownerGone(pid_t owner) {
    return owner > 0 && kill(owner, 0) != 0 && errno == ESRCH;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The pids whose network namespace is the named one (this process excluded).
std::vector<pid_t> pidsIn(const std::string& netns) {
    std::vector<pid_t> pids;
    struct stat target;
    if (stat((std::string(kNetnsDir) + "/" + netns).c_str(), &target) != 0) return pids;
    DIR* proc = opendir("/proc");
    if (!proc) return pids;
    while (struct dirent* e = readdir(proc)) {
        pid_t pid = static_cast<pid_t>(atol(e->d_name));
        if (pid <= 0 || pid == getpid()) continue;
        struct stat st;
        if (stat(("/proc/" + std::string(e->d_name) + "/ns/net").c_str(), &st) == 0 &&
            sameFile(st, target))
            pids.push_back(pid);
    }
    closedir(proc);
    return pids;
}

void killAllIn(const std::string& netns) {
    const auto deadline = Clock::now() + 3s;
    for (;;) {
        std::vector<pid_t> pids = pidsIn(netns);
        if (pids.empty() || Clock::now() > deadline) return;
        for (pid_t pid : pids) kill(pid, SIGKILL);
        std::this_thread::sleep_for(10ms);
    }
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    remove(path);
    return 0;
}

void removeTree(const std::string& dir) {
    if (!dir.empty()) nftw(dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Runs `ip` commands as one batch (one per line), inside `netns` when given: each call of ip
// costs a process start, and a box needs a dozen commands. With `force` every line runs even
// when one fails. Returns "" on success, else what failed.
std::string ipBatch(const std::string& netns, const std::vector<std::string>& lines,
                    bool force = false) {
    std::string file =
        std::string(kRootDir) + "/" + kPrefix + std::to_string(getpid()) + "-batch-XXXXXX";
    int fd = mkstemp(&file[0]);
    if (fd < 0) return std::string("mkstemp: ") + strerror(errno);
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    std::vector<std::string> argv{"ip"};
    if (!netns.empty()) argv.insert(argv.end(), {"-n", netns});
    if (force) argv.push_back("-force");
    argv.insert(argv.end(), {"-batch", file});
    std::string out;
    int status = written ? runCommand(argv, &out) : -1;
    unlink(file.c_str());
    if (status == 0) return "";
    return "'ip " + (netns.empty() ? "" : "-n " + netns + " ") + "-batch' of\n" + text +
           "failed: " + out;
}

void deleteNetns(const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    for (const std::string& netns : names) {
        killAllIn(netns);
        lines.push_back("netns del " + netns);
    }
    if (!lines.empty()) ipBatch("", lines, true);
}

std::vector<std::string> namesIn(const char* dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir)) {
        while (struct dirent* e = readdir(d)) names.emplace_back(e->d_name);
        closedir(d);
    }
    return names;
}

std::string probe() {
    if (geteuid() != 0)
        return "needs root (it is made of network namespaces); run the system tests as root";
    const std::string ns = kPrefix + std::to_string(getpid()) + "-probe";
    std::string why =
        ipBatch("", {"netns add " + ns, "link add br0 netns " + ns + " type bridge",
                     "link add qa netns " + ns + " type veth peer name qb netns " + ns});
    runCommand({"ip", "netns", "del", ns});
    return why;
}

}  // namespace

int runCommand(const std::vector<std::string>& argv, std::string* output,
               std::chrono::milliseconds timeout) {
    std::string error;
    auto p = Process::start(argv, {}, "", &error);
    if (!p) {
        if (output) *output = error;
        return -1;
    }
    std::optional<int> status = p->waitExit(timeout);
    if (!status) status = p->stop(100ms);
    if (output) *output = p->output();
    return status && *status >= 0 ? *status : -1;
}

std::string testNetworkUnavailable() {
    static std::once_flag once;
    static std::string why;
    std::call_once(once, [] { why = probe(); });
    return why;
}

InNamespace::InNamespace(const std::string& netns) {
    home_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    int target = open((std::string(kNetnsDir) + "/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
    ok_ = home_ >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0) close(target);
}

InNamespace::~InNamespace() {
    if (home_ < 0) return;
    if (ok_ && setns(home_, CLONE_NEWNET) != 0) {
        // The thread would go on inside a box; nothing after this can be trusted.
        fprintf(stderr, "cannot return to the home network namespace: %s\n", strerror(errno));
        abort();
    }
    close(home_);
}

std::unique_ptr<Process> Box::start(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const std::vector<std::string>& env) {
    if (!ok_) {
        ADD_FAILURE() << "box " << name_ << " was not made; not starting " << program;
        return nullptr;
    }
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> fullEnv{"QEL_ROOT=" + root_};
    fullEnv.insert(fullEnv.end(), env.begin(), env.end());
    std::string error;
    auto p = Process::start(argv, fullEnv, netns_, &error);
    if (!p) ADD_FAILURE() << "box " << name_ << ": " << error;
    return p;
}

int TestNet::sweepStale() {
    std::vector<std::string> stale;
    for (const std::string& name : namesIn(kNetnsDir)) {
        if (ownerGone(ownerOf(name))) stale.push_back(name);
    }
    deleteNetns(stale);
    for (const std::string& name : namesIn(kRootDir)) {
        if (ownerGone(ownerOf(name))) removeTree(std::string(kRootDir) + "/" + name);
    }
    return static_cast<int>(stale.size());
}

TestNet::TestNet() {
    tag_ = kPrefix + std::to_string(getpid()) + "-" + std::to_string(gCounter++);
    sweepStale();
    const std::string sw = switchNetns();
    error_ = ipBatch("", {"netns add " + sw, "link add br0 netns " + sw + " type bridge"});
    if (error_.empty()) error_ = ipBatch(sw, {"link set br0 up"});
    if (!error_.empty()) return;
    ok_ = true;
}

TestNet::~TestNet() {
    std::vector<std::string> names;
    for (const auto& box : boxes_) names.push_back(box->netns_);
    names.push_back(switchNetns());
    deleteNetns(names);
    for (const auto& box : boxes_) removeTree(box->root_);
}

Box& TestNet::addBox(const std::string& name, int hostNumber) {
    boxes_.push_back(std::unique_ptr<Box>(new Box));
    Box& box = *boxes_.back();
    box.name_ = name;
    box.host_ = hostNumber;
    box.netns_ = tag_ + "-" + name;
    box.ip_ = "10.77.0." + std::to_string(hostNumber);

    auto fail = [&](const std::string& why) -> Box& {
        ADD_FAILURE() << "cannot add box " << name << ": " << why;
        return box;
    };
    if (!ok_) return fail("the test network was not made: " + error_);
    bool nameOk = !name.empty() && name.size() <= 12 && name != "sw";
    for (char c : name) nameOk = nameOk && isalnum(static_cast<unsigned char>(c));
    if (!nameOk) return fail("a box name is 1-12 letters or digits, not \"sw\"");
    if (hostNumber < 1 || hostNumber > 254) return fail("the host number must be 1-254");
    for (const auto& other : boxes_) {
        if (other.get() != &box && (other->name_ == name || other->host_ == hostNumber))
            return fail("name or host number already taken by box " + other->name_);
    }

    std::string rootTemplate = std::string(kRootDir) + "/" + box.netns_ + "-XXXXXX";
    if (!mkdtemp(&rootTemplate[0])) return fail(std::string("mkdtemp: ") + strerror(errno));
    box.root_ = rootTemplate;

    // The switch port's name only has to be unique inside the switch namespace.
    const std::string port = "p" + std::to_string(boxes_.size());
    const std::string sw = switchNetns();
    const std::string& ns = box.netns_;
    std::string why =
        ipBatch("", {"netns add " + ns, "link add eth0 netns " + ns + " type veth peer name " +
                                            port + " netns " + sw});
    if (why.empty()) why = ipBatch(sw, {"link set " + port + " master br0 up"});
    // Without a route a broadcast to 255.255.255.255 fails with ENETUNREACH.
    if (why.empty())
        why = ipBatch(
            ns, {"link set lo up", "link set eth0 up", "addr add " + box.ip_ + "/24 brd + dev eth0",
                 "route add default dev eth0"});
    if (!why.empty()) return fail(why);
    box.ok_ = true;
    return box;
}

int encodeTestStream(const std::vector<std::string>& input, const std::string& filter,
                     const std::string& out, std::string* output,
                     std::chrono::milliseconds timeout) {
    std::vector<std::string> argv = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};
    argv.insert(argv.end(), input.begin(), input.end());
    for (const char* a : {"-frames:v", "3000", "-vf"}) argv.push_back(a);
    argv.push_back(filter);
    for (const char* a : {"-c:v", "libx264", "-preset", "ultrafast", "-g", "50", "-bf", "0",
                          "-pix_fmt", "yuv420p", "-f", "mpegts"})
        argv.push_back(a);
    argv.push_back(out);
    return runCommand(argv, output, timeout);
}

}  // namespace qeltest
