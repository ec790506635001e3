// Feeds arbitrary command texts to the shell door's parser and checks what it would run: every
// path argument of a command it accepts lies inside the box root once links are followed, and
// no argument holds a character the shell would give meaning to. Nothing is run.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "box/Box.h"

namespace {

std::string gRealRoot;
std::string gTop;

void removeRoot() {
    std::error_code ec;
    std::filesystem::remove_all(gTop, ec);
}

void makeRoot() {
    char tmpl[] = "/tmp/qelfuzzdoor-XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    std::string top = tmpl;
    gTop = top;
    atexit(removeRoot);
    std::string root = top + "/root";
    mkdir(root.c_str(), 0755);
    std::ofstream(top + "/canary") << "canary\n";
    setenv("QEL_ROOT", root.c_str(), 1);
    box::makeDirs("/mnt/sence");
    box::makeDirs("/usr/backup");
    std::ofstream(root + "/mnt/a.ini") << "1\n";
    std::ofstream(root + "/usr/backup/config.ini") << "7\n";
    symlink(top.c_str(), (root + "/mnt/up").c_str());
    symlink((top + "/none").c_str(), (root + "/mnt/dangling").c_str());
    char resolved[PATH_MAX];
    if (!realpath(root.c_str(), resolved)) abort();
    gRealRoot = resolved;
}

bool inRoot(const std::string& p) {
    if (p.find("/../") != std::string::npos ||
        (p.size() >= 3 && p.compare(p.size() - 3, 3, "/..") == 0))
        return false;
    // The longest existing part of the path must resolve under the root.
    std::string q = p;
    for (;;) {
        char resolved[PATH_MAX];
        if (realpath(q.c_str(), resolved)) {
            std::string r = resolved;
            return r == gRealRoot || r.compare(0, gRealRoot.size() + 1, gRealRoot + "/") == 0;
        }
        size_t slash = q.rfind('/');
        if (slash == std::string::npos || slash == 0) return false;
        q.erase(slash);
    }
}

[[noreturn]] void fail(const char* what, const std::string& arg, const std::string& text) {
    fprintf(stderr, "%s: [%s] from [%s]\n", what, arg.c_str(), text.c_str());
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (gRealRoot.empty()) makeRoot();
    if (size > 4096) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    box::DoorPlan p = box::planCommand(text);
    if (p.kind != box::DoorPlan::Run) return 0;
    if (p.argv.empty()) fail("nothing to run", "", text);
    for (size_t i = 1; i < p.argv.size(); ++i) {
        const std::string& a = p.argv[i];
        if (a.empty()) fail("empty argument", a, text);
        if (a.find_first_of("$`\\;|&<>\n") != std::string::npos) fail("shell syntax", a, text);
        if (a[0] == '/' && !inRoot(a)) fail("escaped the root", a, text);
        if (a[0] == '-' && a.find('/') != std::string::npos) fail("option with a path", a, text);
        if (a[0] != '/' && a[0] != '-' && p.argv[0] != "chmod") fail("relative path", a, text);
    }
    return 0;
}
