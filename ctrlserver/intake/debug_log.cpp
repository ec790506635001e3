#include "intake/debug_log.h"

#include <ctime>

void DEBUG_LOG(const char*, ...) {}

Debug_LOG& Debug_LOG::log() {
    static Debug_LOG instance;
    return instance;
}

void Debug_LOG::write_log(const char* text) {
    time_t now = time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    printf("[%02d:%02d:%02d] %s\n", t.tm_hour, t.tm_min, t.tm_sec, text ? text : "");
}

bool Debug_LOG::create_log_file() {
    time_t now = time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    char name[64];
    snprintf(name, sizeof name, "./log/debuglog_%02d_%02d", t.tm_mon + 1, t.tm_mday);
    if (file) fclose(file);
    file = fopen(name, "a");
    return file != nullptr;
}

Debug_LOG::~Debug_LOG() {
    if (file) fclose(file);
}
