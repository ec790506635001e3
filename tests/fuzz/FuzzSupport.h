// What several fuzz targets share: a box root of their own in a temporary folder (removed at
// exit), files written into it, and the move into a network namespace with no interface up for
// a target whose code under test could send.
#pragma once

#include <sched.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

#include "box/Box.h"

namespace qelfuzz {

inline std::string& rootFolder() {
    static std::string root;
    return root;
}

inline void removeRoot() {
    std::error_code ec;
    std::filesystem::remove_all(rootFolder(), ec);
}

// Sets QEL_ROOT to a fresh folder (on a memory file system when there is one: the code under
// test syncs its files) with the given box directories; once per process.
inline void makeRoot(std::initializer_list<const char*> dirs) {
    if (!rootFolder().empty()) return;
    std::string base = "/tmp";
    if (const char* t = getenv("TMPDIR"))
        base = t;
    else if (std::filesystem::is_directory("/dev/shm"))
        base = "/dev/shm";
    std::string tmpl = base + "/qelfuzz-XXXXXX";
    if (!mkdtemp(&tmpl[0])) {
        perror("mkdtemp");
        abort();
    }
    rootFolder() = tmpl;
    setenv("QEL_ROOT", tmpl.c_str(), 1);
    atexit(removeRoot);
    for (const char* d : dirs) box::makeDirs(d);
}

// Writes bytes to a box path (replacing the file).
inline void writeBoxFile(const std::string& boxPath, const uint8_t* data, size_t size) {
    std::ofstream f(box::path(boxPath), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Moves the process into a network namespace of its own with no interface up, so nothing the
// code under test sends can leave it (root, or an unprivileged user namespace, is needed). A
// target that could send refuses to run without it.
inline void isolateFromNetwork(const char* target) {
    if (unshare(CLONE_NEWNET) == 0 || unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0) return;
    fprintf(stderr, "%s: cannot run without a network namespace of its own (needs root)\n", target);
    exit(1);
}

// In a target linked with NoWaits.cpp: the calling thread's sleeps return at once and its polls
// do not wait (see there).
void noWaits();

}  // namespace qelfuzz
