#include "box/Box.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <glob.h>
#include <limits.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

extern char** environ;

namespace box {

namespace {

std::mutex gLock;                   // guards the log file and the popen bookkeeping
std::map<FILE*, pid_t> gRealPipes;  // streams read from a started command (the others are tmpfiles)
void (*gRebootHandler)() = nullptr;

const std::set<std::string>& fileCommands() {
    static const std::set<std::string> s = {"cp", "rm", "mkdir", "chmod", "tar", "cat"};
    return s;
}

std::string baseName(const std::string& word) {
    size_t slash = word.rfind('/');
    return slash == std::string::npos ? word : word.substr(slash + 1);
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// One word of a command line: its text with the quotes taken out, and the same text as a glob
// pattern in which only the glob characters that stood outside quotes are active.
struct Word {
    std::string text;
    std::string pattern;
    bool glob = false;
};

// Characters that would start expansions, substitutions or escapes whose result the door
// cannot check.
bool isExpansionChar(char c) {
    return c == '$' || c == '`' || c == '\\';
}

// Characters that are shell syntax outside quotes: separators, pipes, background jobs,
// redirections, subshells, groups, comments, history. The door runs one simple command.
bool isSyntaxChar(char c) {
    return c == ';' || c == '|' || c == '&' || c == '<' || c == '>' || c == '(' || c == ')' ||
           c == '{' || c == '}' || c == '#' || c == '!';
}

// Splits one command line into words, the way the shell would for a simple command. Returns
// false with a reason for any text the door does not fully understand.
bool splitWords(const std::string& line, std::vector<Word>& words, std::string& why) {
    words.clear();
    Word cur;
    bool have = false;
    char quote = 0;
    for (char c : line) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != ' ' && c != '\t') || u == 0x7f) {
            why = "control character in command";
            return false;
        }
        // Quoted or not: no file name the programs use holds one, and a text that does is
        // more likely an attempt than a name.
        if (isExpansionChar(c) || isSyntaxChar(c)) {
            why = std::string("unsupported shell syntax '") + c + "'";
            return false;
        }
        if (quote) {
            if (c == quote) {
                quote = 0;
                continue;
            }
            cur.text += c;
            if (c == '*' || c == '?' || c == '[' || c == ']') cur.pattern += '\\';
            cur.pattern += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            have = true;
        } else if (c == ' ' || c == '\t') {
            if (have) words.push_back(cur);
            cur = Word();
            have = false;
        } else {
            if (c == '*' || c == '?' || c == '[') cur.glob = true;
            cur.text += c;
            cur.pattern += c;
            have = true;
        }
    }
    if (quote) {
        why = "unterminated quote";
        return false;
    }
    if (have) words.push_back(cur);
    return true;
}

bool hasParentStep(const std::string& p) {
    std::stringstream ss(p);
    std::string part;
    while (std::getline(ss, part, '/'))
        if (part == "..") return true;
    return false;
}

std::string escapeGlob(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

bool isUnder(const std::string& p, const std::string& dir) {
    return p == dir || (p.size() > dir.size() && p.compare(0, dir.size(), dir) == 0 &&
                        (dir == "/" || p[dir.size()] == '/'));
}

// Whether a path of this machine stays inside the box root once symbolic links are followed:
// the longest part of it that exists is resolved and must lie under the resolved root; the
// part that does not exist yet holds no ".." step, so it cannot climb out.
bool staysInRoot(const std::string& hostPath, const std::string& realRoot, std::string& why) {
    if (hasParentStep(hostPath)) {
        why = "path with a parent step: " + hostPath;
        return false;
    }
    std::string p = hostPath;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    for (;;) {
        struct stat st;
        if (lstat(p.c_str(), &st) == 0) {
            char resolved[PATH_MAX];
            if (!realpath(p.c_str(), resolved)) {
                why = "path through a broken link: " + hostPath;
                return false;
            }
            if (!isUnder(resolved, realRoot)) {
                why = "path resolves outside the box: " + hostPath;
                return false;
            }
            return true;
        }
        size_t slash = p.rfind('/');
        if (slash == std::string::npos || slash == 0) {
            why = "path outside the box: " + hostPath;
            return false;
        }
        p.erase(slash);
    }
}

// The options each file command may take: single-letter flags that carry no argument, except
// tar's "f" and "C", whose argument is the next word and is confined like any other path.
// Long options and flags with an attached value ("-t/dir", "--target-directory=/dir") are
// refused: they could name a path the door does not see.
const char* allowedFlags(const std::string& cmd) {
    if (cmd == "cp") return "Rrfpadv";
    if (cmd == "rm") return "rRfvd";
    if (cmd == "mkdir") return "pv";
    if (cmd == "chmod") return "Rfv";
    if (cmd == "cat") return "nbsvAET";
    if (cmd == "tar") return "cxtzjvfCpo";
    return "";
}

bool isChmodMode(const std::string& w) {
    if (w.empty()) return false;
    if (w.find_first_not_of("01234567") == std::string::npos) return w.size() <= 4;
    return w.find_first_not_of("ugoarwxXst+-=,01234567") == std::string::npos &&
           w.find_first_of("+-=") != std::string::npos;
}

// Builds the argument list of one file command with every path under the box root, globs
// expanded here and every resulting path checked. Returns false (with a reason) when the
// command cannot be kept inside the root.
bool confineFileCommand(const std::vector<Word>& words, const std::string& rootDir,
                        std::vector<std::string>& argv, std::string& why) {
    if (rootDir.empty()) {
        why = "no box root";
        return false;
    }
    char resolved[PATH_MAX];
    if (!realpath(rootDir.c_str(), resolved)) {
        why = "box root missing";
        return false;
    }
    const std::string realRoot = resolved;
    const std::string cmd = baseName(words[0].text);
    const std::string flags = allowedFlags(cmd);
    argv.assign(1, cmd);
    bool optionsEnd = false;
    bool haveMode = false;
    for (size_t i = 1; i < words.size(); ++i) {
        const Word& w = words[i];
        if (cmd == "chmod" && !haveMode && !w.glob && isChmodMode(w.text)) {
            argv.push_back(w.text);
            haveMode = true;
            continue;
        }
        if (!optionsEnd && w.text == "--") {
            argv.push_back(w.text);
            optionsEnd = true;
            continue;
        }
        if (!optionsEnd && !w.text.empty() && w.text[0] == '-') {
            if (w.text.size() < 2 || w.glob ||
                w.text.find_first_not_of(flags, 1) != std::string::npos) {
                why = "option not allowed: " + w.text;
                return false;
            }
            argv.push_back(w.text);
            continue;
        }
        if (w.text.empty() || w.text[0] != '/') {
            why = "relative path: " + w.text;
            return false;
        }
        if (hasParentStep(w.text)) {
            why = "path with a parent step: " + w.text;
            return false;
        }
        std::vector<std::string> paths;
        if (w.glob) {
            glob_t g;
            memset(&g, 0, sizeof g);
            const std::string pattern = escapeGlob(rootDir) + w.pattern;
            const int rc = ::glob(pattern.c_str(), 0, nullptr, &g);
            if (rc == GLOB_NOMATCH) {
                // An unmatched pattern stays as it is, as the shell would leave it; it names a
                // file under the root whose name holds the glob characters.
                paths.push_back(rootDir + w.text);
            } else if (rc != 0) {
                globfree(&g);
                why = "cannot expand: " + w.text;
                return false;
            }
            for (size_t k = 0; rc == 0 && k < g.gl_pathc; ++k) paths.push_back(g.gl_pathv[k]);
            globfree(&g);
        } else {
            paths.push_back(rootDir + w.text);
        }
        for (const std::string& p : paths) {
            if (!staysInRoot(p, realRoot, why)) return false;
            argv.push_back(p);
        }
    }
    if (cmd == "chmod" && !haveMode) {
        why = "chmod without a mode";
        return false;
    }
    return true;
}

std::string describe(const std::vector<std::string>& argv) {
    std::string out;
    for (const std::string& a : argv) out += (out.empty() ? "" : " ") + shellQuote(a);
    return out;
}

// Starts argv (found on PATH) without a shell; with a non-null `out` its standard output is
// the read end handed back. Returns the child's pid or -1.
pid_t spawn(const std::vector<std::string>& argv, int* out, const std::string& errorFile = "") {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (out && pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (out) posix_spawn_file_actions_adddup2(&fa, pipeFds[1], STDOUT_FILENO);
    if (!errorFile.empty())
        posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (out) {
        close(pipeFds[1]);
        if (rc != 0)
            close(pipeFds[0]);
        else
            *out = pipeFds[0];
    }
    return rc == 0 ? pid : -1;
}

int waitStatus(pid_t pid) {
    int st = 0;
    while (waitpid(pid, &st, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

void appendLog(const std::string& line) {
    std::string r = root();
    std::lock_guard<std::mutex> g(gLock);
    if (r.empty()) {
        fprintf(stderr, "[box] %s\n", line.c_str());
        return;
    }
    makeDirs("/var/log");
    std::ofstream f(r + "/var/log/commands.log", std::ios::app);
    f << line << "\n";
}

std::string ipText(uint32_t netOrder) {
    char buf[INET_ADDRSTRLEN] = {0};
    struct in_addr a;
    a.s_addr = netOrder;
    inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}

// The route table in the format of the box's "route" (or "route -n") command.
std::string routeTable(bool numeric) {
    std::string out =
        "Kernel IP routing table\n"
        "Destination     Gateway         Genmask         Flags Metric Ref    Use Iface\n";
    std::ifstream f("/proc/net/route");
    std::string line;
    std::getline(f, line);  // header
    while (std::getline(f, line)) {
        char iface[64] = {0};
        unsigned dest = 0, gw = 0, flags = 0, mask = 0;
        int refcnt = 0, use = 0, metric = 0;
        if (sscanf(line.c_str(), "%63s %x %x %x %d %d %d %x", iface, &dest, &gw, &flags, &refcnt,
                   &use, &metric, &mask) != 8)
            continue;
        std::string d = (dest == 0 && !numeric) ? "default" : ipText(dest);
        std::string g = (gw == 0 && !numeric) ? "*" : ipText(gw);
        std::string fl;
        if (flags & 0x1) fl += "U";
        if (flags & 0x2) fl += "G";
        if (flags & 0x4) fl += "H";
        char row[256];
        snprintf(row, sizeof row, "%-15s %-15s %-15s %-5s %-6d %-6d %5d %s\n", d.c_str(), g.c_str(),
                 ipText(mask).c_str(), fl.c_str(), metric, refcnt, use, iface);
        out += row;
    }
    return out;
}

FILE* textStream(const std::string& text) {
    FILE* f = tmpfile();
    if (!f) return nullptr;
    fwrite(text.data(), 1, text.size(), f);
    rewind(f);
    return f;
}

}  // namespace

namespace {

// The box's TFTP server line, the one command of its kind the programs run.
const char kTftpdLine[] = "udpsvd -vE 0 69 tftpd -c /dev/tftpboot/";

// Where scripts/setup unpacked tftpd-hpa ("" when the build does not know).
std::string tftpdDir() {
#ifdef QEL_TFTPD_DIR
    return QEL_TFTPD_DIR;
#else
    return "";
#endif
}

// Whether this process runs in one of the named network namespaces ("ip netns", under
// /run/netns) that the test networks are made of: a server started there listens only on the
// test network, never on this machine's own.
bool inNamedNetworkNamespace() {
    struct stat self;
    if (stat("/proc/self/ns/net", &self) != 0) return false;
    DIR* d = opendir("/run/netns");
    if (!d) return false;
    bool found = false;
    while (struct dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        struct stat ns;
        const std::string p = std::string("/run/netns/") + e->d_name;
        if (stat(p.c_str(), &ns) == 0 && ns.st_ino == self.st_ino && ns.st_dev == self.st_dev)
            found = true;
    }
    closedir(d);
    return found;
}

// The TFTP server that stands in for the box's: in.tftpd in the foreground (the call lasts as
// long as it serves), creating uploads, chrooted into the root's /dev/tftpboot so that no
// request name reaches outside it.
bool planTftpd(DoorPlan& p) {
    const std::string dir = tftpdDir();
    const std::string program = dir + "/usr/sbin/in.tftpd";
    if (dir.empty() || access(program.c_str(), X_OK) != 0 || root().empty() ||
        !inNamedNetworkNamespace())
        return false;
    p.kind = DoorPlan::Serve;
    p.argv = {program,  "--foreground", "--listen", "--address", "0.0.0.0:69",
              "--user", "root",         "--create", "--secure",  root() + "/dev/tftpboot"};
    return true;
}

// Runs the server, which must not outlive the program: it gets SIGTERM when the thread that
// started it ends (with the program). The unpacked libraries are found beside it.
int runTftpd(const std::vector<std::string>& argv) {
    // Everything the child needs is made before the fork: after it only exec-safe calls run.
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        if (strncmp(*e, "LD_LIBRARY_PATH=", 16) != 0) env.push_back(*e);
    env.push_back("LD_LIBRARY_PATH=" + tftpdDir() + "/usr/lib/x86_64-linux-gnu");
    std::vector<char*> envp, args;
    for (std::string& e : env) envp.push_back(&e[0]);
    envp.push_back(nullptr);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    return waitStatus(pid);
}

// Takes a final "2> <path>" (or "2><path>") off text: the path, "" when there is none. The
// path is one plain word; anything else stays in text and is refused with the rest.
std::string takeErrorRedirection(std::string& text) {
    const size_t r = text.rfind("2>");
    if (r == std::string::npos || r == 0 || (text[r - 1] != ' ' && text[r - 1] != '\t')) return "";
    size_t b = r + 2;
    while (b < text.size() && (text[b] == ' ' || text[b] == '\t')) ++b;
    size_t e = text.size();
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    const std::string target = text.substr(b, e - b);
    if (target.empty() || target[0] != '/') return "";
    for (char c : target) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f || c == '\'' || c == '"' || c == '*' || c == '?' || c == '[' ||
            isExpansionChar(c) || isSyntaxChar(c))
            return "";
    }
    text.erase(r);
    return target;
}

}  // namespace

DoorPlan planCommand(const std::string& command) {
    DoorPlan p;
    std::string text = command;
    // A trailing line end is how many callers write a command; it is not a second line.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const std::string errorTarget = takeErrorRedirection(text);
    std::vector<Word> words;
    if (!splitWords(text, words, p.why)) {
        p.kind = DoorPlan::Refused;
        return p;
    }
    if (words.empty()) {
        p.kind = DoorPlan::Empty;
        return p;
    }
    const std::string cmd = baseName(words[0].text);
    if (!errorTarget.empty() && !fileCommands().count(cmd)) {
        p.kind = DoorPlan::Refused;
        p.why = "redirection of a command that is not a file command";
        return p;
    }
    if (text == kTftpdLine && planTftpd(p)) {
        return p;
    } else if (cmd == "reboot") {
        p.kind = DoorPlan::Reboot;
    } else if (cmd == "route" && words.size() <= 2 &&
               (words.size() == 1 || words[1].text == "-n")) {
        p.kind = DoorPlan::Route;
        p.routeNumeric = words.size() == 2;
    } else if (fileCommands().count(cmd)) {
        p.kind =
            confineFileCommand(words, root(), p.argv, p.why) ? DoorPlan::Run : DoorPlan::Refused;
        if (p.kind == DoorPlan::Run && !errorTarget.empty()) {
            // The target is confined as a path argument of the same command would be.
            std::vector<std::string> target;
            Word w;
            w.text = w.pattern = errorTarget;
            if (confineFileCommand({words[0], w}, root(), target, p.why) && target.size() == 2)
                p.errorFile = target[1];
            else
                p.kind = DoorPlan::Refused;
        }
        if (p.kind == DoorPlan::Refused) p.argv.clear();
    } else {
        p.kind = DoorPlan::Logged;
    }
    return p;
}

namespace {

bool isTargetBuild() {
#ifdef QEL_BOX_TARGET
    return true;
#else
    return false;
#endif
}

}  // namespace

std::string root() {
    if (isTargetBuild()) return "";
    const char* r = getenv("QEL_ROOT");
    if (!r) return "";
    std::string s(r);
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string path(const std::string& boxPath) {
    if (boxPath.empty() || boxPath[0] != '/') return boxPath;
    return root() + boxPath;
}

bool requireRoot(const char* program) {
    if (isTargetBuild()) return true;
    std::string r = root();
    if (r.empty()) {
        fprintf(stderr,
                "%s: QEL_ROOT is not set. This PC build keeps the box's files under a box root: "
                "set QEL_ROOT to a directory (for example QEL_ROOT=/tmp/box1) and start again.\n",
                program ? program : "program");
        return false;
    }
    struct stat st;
    if (stat(r.c_str(), &st) != 0 && !makeDirs("/")) {
        fprintf(stderr, "%s: cannot create the box root %s: %s\n", program, r.c_str(),
                strerror(errno));
        return false;
    }
    return true;
}

bool makeDirs(const std::string& boxDir) {
    std::string full = path(boxDir);
    if (full.empty()) return false;
    std::string cur;
    std::stringstream ss(full);
    std::string part;
    if (full[0] == '/') cur = "";
    while (std::getline(ss, part, '/')) {
        if (part.empty()) continue;
        cur += "/" + part;
        if (mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string commandLogPath() {
    return path("/var/log/commands.log");
}

void setRebootHandler(void (*handler)()) {
    gRebootHandler = handler;
}

int system(const std::string& command) {
    if (isTargetBuild()) return ::system(command.c_str());
    DoorPlan p = planCommand(command);
    switch (p.kind) {
        case DoorPlan::Run: {
            pid_t pid = spawn(p.argv, nullptr, p.errorFile);
            int status = pid < 0 ? -1 : waitStatus(pid);
            const std::string err = p.errorFile.empty() ? "" : " 2> " + shellQuote(p.errorFile);
            appendLog(command + "    # ran: " + describe(p.argv) + err + " -> " +
                      std::to_string(status));
            return status;
        }
        case DoorPlan::Reboot:
            appendLog(command);
            fflush(nullptr);
            if (gRebootHandler)
                gRebootHandler();
            else
                // The box goes down at once: no exit handlers or static destructors run while
                // the program's other threads still hold their locks.
                _exit(0);
            return 0;
        case DoorPlan::Refused:
            appendLog(command + "    # refused: " + p.why);
            fprintf(stderr, "[box] refused command \"%s\": %s\n", command.c_str(), p.why.c_str());
            return 1;
        case DoorPlan::Serve: {
            appendLog(command + "    # serving: " + describe(p.argv));
            makeDirs("/dev/tftpboot");
            const int status = runTftpd(p.argv);
            appendLog(command + "    # server ended: " + std::to_string(status));
            return status;
        }
        case DoorPlan::Route:
        case DoorPlan::Logged:
            appendLog(command);
            return 0;
        case DoorPlan::Empty:
            return 0;
    }
    return 0;
}

int remoteCommand(const std::string& command) {
    if (isTargetBuild()) return ::system(command.c_str());
    appendLog("internalcmd: " + command);
    return 0;
}

FILE* popen(const std::string& command) {
    if (isTargetBuild()) return ::popen(command.c_str(), "r");
    DoorPlan p = planCommand(command);
    if (p.kind == DoorPlan::Route) return textStream(routeTable(p.routeNumeric));
    if (p.kind == DoorPlan::Run) {
        int fd = -1;
        pid_t pid = spawn(p.argv, &fd, p.errorFile);
        appendLog(command + "    # ran: " + describe(p.argv));
        if (pid < 0) return textStream("");
        FILE* f = fdopen(fd, "r");
        if (!f) {
            close(fd);
            waitStatus(pid);
            return textStream("");
        }
        std::lock_guard<std::mutex> g(gLock);
        gRealPipes[f] = pid;
        return f;
    }
    if (p.kind == DoorPlan::Refused) {
        appendLog(command + "    # refused: " + p.why);
        fprintf(stderr, "[box] refused command \"%s\": %s\n", command.c_str(), p.why.c_str());
    } else if (p.kind != DoorPlan::Empty) {
        appendLog(command);
    }
    return textStream("");
}

int pclose(FILE* stream) {
    if (!stream) return -1;
    if (isTargetBuild()) return ::pclose(stream);
    pid_t pid = -1;
    {
        std::lock_guard<std::mutex> g(gLock);
        auto it = gRealPipes.find(stream);
        if (it != gRealPipes.end()) {
            pid = it->second;
            gRealPipes.erase(it);
        }
    }
    fclose(stream);
    return pid < 0 ? 0 : waitStatus(pid);
}

}  // namespace box
