// The debug hook of the WebSocket layer: accepts printf-style arguments and prints nothing.
#pragma once

#include <cstdio>
#include <string>

void DEBUG_LOG(const char* format, ...);

// A logger with no callers: a singleton that would print "[hh:mm:ss] text" lines.
class Debug_LOG {
public:
    static Debug_LOG& log();
    void write_log(const char* text);
    // Opens "./log/debuglog_MM_DD" for appending.
    bool create_log_file();
    ~Debug_LOG();

private:
    Debug_LOG() = default;
    FILE* file = nullptr;
};
