// The box's file system root and its shell door.
//
// On the box both programs run as root with their files under /mnt, /usr/backup, /var/www and
// /dev/tftpboot. On a PC they run inside a box root given by the environment variable QEL_ROOT:
// every absolute box path is opened as $QEL_ROOT + path, and every shell command goes through
// the door below, which never runs a command that would change the machine.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace box {

// The box root ("" on the box itself, or when QEL_ROOT is not set).
std::string root();

// Maps an absolute box path to the path to open on this machine: $QEL_ROOT + path.
// A relative path is returned unchanged.
std::string path(const std::string& boxPath);

// Checks, at program start, that the box root is usable. On a PC build without QEL_ROOT it
// prints a clear message naming the program on standard error and returns false.
bool requireRoot(const char* program);

// Creates the directories of a box path (like "mkdir -p"); true when the directory exists.
bool makeDirs(const std::string& boxDir);

// What the door does with one command text. The door understands one simple command: words,
// single and double quotes, glob characters. Anything else (";", "|", "&", "$", backquotes,
// backslashes, redirections, control characters) is refused, as is a file command whose
// options could carry a path or whose paths, once globs are expanded and symbolic links
// followed, leave the box root. A refused command runs nothing.
struct DoorPlan {
    enum Kind { Run, Reboot, Route, Logged, Refused, Empty } kind = Empty;
    std::vector<std::string> argv;  // Run: the program and its arguments, paths under the root
    std::string why;                // Refused: the reason, for the log
    bool routeNumeric = false;      // Route: "route -n"
};
DoorPlan planCommand(const std::string& command);

// Runs a shell command the way the box's system() would. Commands that change the machine
// (reboot, ifconfig, route add/del, udpsvd/tftpd, remote texts, anything not known) are appended
// to $QEL_ROOT/var/log/commands.log and count as done (0). File commands (cp, rm, mkdir, chmod,
// tar, cat) run for real, without a shell, with every path in them under the box root; a
// refused command returns 1. Every command is logged, with what was run or why it was refused.
// "reboot" is logged and then ends the program with status 0, as the box would go down.
int system(const std::string& command);

// Runs a command for reading its output, the way the box's popen(cmd, "r") would. Read-only
// queries the programs parse ("route") are answered from /proc in the command's own format;
// file commands run as in system(); anything else is logged and reads as empty.
FILE* popen(const std::string& command);
int pclose(FILE* stream);

// The commands the door logged instead of running, oldest first (tests read this).
std::string commandLogPath();

// Test hook: replaces what "reboot" does after it is logged (default: exit(0)).
void setRebootHandler(void (*handler)());

}  // namespace box
