// Command-line handling and signals of ctrlserver.
#pragma once

#include <cstdint>
#include <string>

struct CtrlOptions {
    // Base port from option c, cut to 16 bits; 0 when not given (6666 is used then).
    uint16_t clientPort = 0;
};

// Parses the options "c:sf:g:". On an unknown option or a missing value prints
// "unknown command %s \n" and "init param failed " and returns false.
bool parseCtrlOptions(int argc, char** argv, CtrlOptions& out);

// The program path up to, not including, its last '/' (the whole path without a '/').
std::string programDirectoryOf(const std::string& programPath);

// Prints "sighandler exit(0)! ", waits 1 s and ends the process with status 0.
void sighandler(int);
