#include "box/Box.h"

#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

namespace box {

namespace {

std::mutex gLock;            // guards the log file and the popen bookkeeping
std::set<FILE*> gRealPipes;  // streams opened with ::popen (the others are tmpfiles)
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

// Splits a command line at the top-level separators ";", "&&", "||" and "|", outside quotes.
// Each piece keeps the separator that follows it (empty for the last one).
struct Segment {
    std::string text;
    std::string sep;
};

std::vector<Segment> splitSegments(const std::string& cmd) {
    std::vector<Segment> out;
    std::string cur;
    char quote = 0;
    for (size_t i = 0; i < cmd.size(); ++i) {
        char c = cmd[i];
        if (quote) {
            cur += c;
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            cur += c;
            continue;
        }
        std::string sep;
        if (c == ';')
            sep = ";";
        else if (c == '&' && i + 1 < cmd.size() && cmd[i + 1] == '&')
            sep = "&&";
        else if (c == '|' && i + 1 < cmd.size() && cmd[i + 1] == '|')
            sep = "||";
        else if (c == '|')
            sep = "|";
        if (sep.empty()) {
            cur += c;
            continue;
        }
        out.push_back({cur, sep});
        cur.clear();
        i += sep.size() - 1;
    }
    out.push_back({cur, ""});
    return out;
}

// Splits one simple command into words; quotes are kept out of the words.
std::vector<std::string> splitWords(const std::string& seg) {
    std::vector<std::string> words;
    std::string cur;
    bool have = false;
    char quote = 0;
    for (char c : seg) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                cur += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            have = true;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (have) words.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur += c;
            have = true;
        }
    }
    if (have) words.push_back(cur);
    return words;
}

bool hasParentStep(const std::string& p) {
    std::stringstream ss(p);
    std::string part;
    while (std::getline(ss, part, '/'))
        if (part == "..") return true;
    return false;
}

bool hasGlob(const std::string& w) { return w.find_first_of("*?[") != std::string::npos; }

// Quotes a word for the shell, leaving glob characters of the box path open so that the shell
// still expands them under the root.
std::string quoteKeepingGlobs(const std::string& w) {
    if (!hasGlob(w)) return shellQuote(w);
    std::string out;
    std::string run;
    for (char c : w) {
        if (c == '*' || c == '?' || c == '[' || c == ']') {
            if (!run.empty()) out += shellQuote(run);
            run.clear();
            out += c;
        } else {
            run += c;
        }
    }
    if (!run.empty()) out += shellQuote(run);
    return out;
}

// Builds the shell text of one file command with every absolute path under the root. Returns
// false (with a reason) when the command cannot be confined to the root.
bool confineFileCommand(const std::vector<std::string>& words, const std::string& rootDir,
                        std::string& out, std::string& why) {
    if (rootDir.empty()) {
        why = "no box root";
        return false;
    }
    const std::string cmd = baseName(words[0]);
    out = cmd;
    bool expectPath = false;  // after ">" or ">>"
    for (size_t i = 1; i < words.size(); ++i) {
        std::string w = words[i];
        std::string redirect;
        if (w == ">" || w == ">>") {
            out += " " + w;
            expectPath = true;
            continue;
        }
        if (w.rfind(">>", 0) == 0) {
            redirect = ">>";
            w = w.substr(2);
        } else if (w.rfind('>', 0) == 0) {
            redirect = ">";
            w = w.substr(1);
        } else if (w.rfind("2>", 0) == 0) {
            redirect = "2>";
            w = w.substr(2);
        }
        const bool isPath = expectPath || !redirect.empty() || (!w.empty() && w[0] == '/');
        expectPath = false;
        if (w.find_first_of("$`<(){}\\") != std::string::npos) {
            why = "unsupported shell syntax";
            return false;
        }
        if (isPath) {
            if (w.empty() || w[0] != '/' || hasParentStep(w)) {
                if (redirect == "2>" && w == "/dev/null") {
                    out += " 2>/dev/null";
                    continue;
                }
                why = "path outside the box: " + w;
                return false;
            }
            out += " " + redirect + shellQuote(rootDir) + quoteKeepingGlobs(w);
            continue;
        }
        if (!w.empty() && w[0] == '-') {
            out += " " + shellQuote(w);
            continue;
        }
        // A plain word: only chmod's mode may stand here; anything else would be a path
        // relative to the program's working directory.
        if (cmd == "chmod" && i == 1) {
            out += " " + shellQuote(w);
            continue;
        }
        why = "relative path: " + w;
        return false;
    }
    return true;
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
        if (sscanf(line.c_str(), "%63s %x %x %x %d %d %d %x", iface, &dest, &gw, &flags,
                   &refcnt, &use, &metric, &mask) != 8)
            continue;
        std::string d = (dest == 0 && !numeric) ? "default" : ipText(dest);
        std::string g = (gw == 0 && !numeric) ? "*" : ipText(gw);
        std::string fl;
        if (flags & 0x1) fl += "U";
        if (flags & 0x2) fl += "G";
        if (flags & 0x4) fl += "H";
        char row[256];
        snprintf(row, sizeof row, "%-15s %-15s %-15s %-5s %-6d %-6d %5d %s\n", d.c_str(),
                 g.c_str(), ipText(mask).c_str(), fl.c_str(), metric, refcnt, use, iface);
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

enum class Kind { File, Reboot, Route, Logged, Refused };

struct Plan {
    Kind kind;
    std::string shell;  // for File: the confined shell text
    std::string why;    // for Refused
};

Plan planSegment(const std::string& seg) {
    std::vector<std::string> words = splitWords(seg);
    if (words.empty()) return {Kind::Logged, "", ""};
    const std::string cmd = baseName(words[0]);
    if (cmd == "reboot") return {Kind::Reboot, "", ""};
    if (cmd == "route" && (words.size() == 1 || (words.size() == 2 && words[1] == "-n")))
        return {Kind::Route, words.size() == 2 ? "-n" : "", ""};
    if (fileCommands().count(cmd)) {
        Plan p{Kind::File, "", ""};
        if (!confineFileCommand(words, root(), p.shell, p.why)) p.kind = Kind::Refused;
        return p;
    }
    return {Kind::Logged, "", ""};
}

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

std::string commandLogPath() { return path("/var/log/commands.log"); }

void setRebootHandler(void (*handler)()) { gRebootHandler = handler; }

int system(const std::string& command) {
    if (isTargetBuild()) return ::system(command.c_str());
    int status = 0;
    std::vector<Segment> segs = splitSegments(command);
    for (size_t i = 0; i < segs.size(); ++i) {
        Plan p = planSegment(segs[i].text);
        switch (p.kind) {
            case Kind::File: {
                int rc = ::system(p.shell.c_str());
                status = (rc != -1 && WIFEXITED(rc)) ? WEXITSTATUS(rc) : -1;
                break;
            }
            case Kind::Reboot:
                appendLog(segs[i].text);
                fflush(nullptr);
                if (gRebootHandler)
                    gRebootHandler();
                else
                    exit(0);
                status = 0;
                break;
            case Kind::Refused:
                appendLog(segs[i].text + "    # refused: " + p.why);
                status = 1;
                break;
            case Kind::Route:
            case Kind::Logged:
                if (!splitWords(segs[i].text).empty()) appendLog(segs[i].text);
                status = 0;
                break;
        }
        // Honour "&&" and "||" the way a shell would.
        if (segs[i].sep == "&&" && status != 0) break;
        if (segs[i].sep == "||" && status == 0) break;
    }
    return status;
}

int remoteCommand(const std::string& command) {
    if (isTargetBuild()) return ::system(command.c_str());
    appendLog("internalcmd: " + command);
    return 0;
}

FILE* popen(const std::string& command) {
    if (isTargetBuild()) return ::popen(command.c_str(), "r");
    std::vector<Segment> segs = splitSegments(command);
    if (segs.size() == 1) {
        Plan p = planSegment(segs[0].text);
        if (p.kind == Kind::Route) return textStream(routeTable(p.shell == "-n"));
        if (p.kind == Kind::File) {
            FILE* f = ::popen(p.shell.c_str(), "r");
            if (f) {
                std::lock_guard<std::mutex> g(gLock);
                gRealPipes.insert(f);
            }
            return f;
        }
        if (p.kind == Kind::Refused) {
            appendLog(command + "    # refused: " + p.why);
            return textStream("");
        }
    }
    appendLog(command);
    return textStream("");
}

int pclose(FILE* stream) {
    if (!stream) return -1;
    if (isTargetBuild()) return ::pclose(stream);
    bool real = false;
    {
        std::lock_guard<std::mutex> g(gLock);
        real = gRealPipes.erase(stream) > 0;
    }
    return real ? ::pclose(stream) : fclose(stream);
}

}  // namespace box
