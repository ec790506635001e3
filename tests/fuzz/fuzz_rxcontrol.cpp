// The decoder's readers of outside bytes: the command framing (match, field splitting, target
// check) of a datagram, and the main settings file read at start.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "box/Box.h"
#include "control/qelDecode.h"
#include "control/qelDecodeServer.h"
#include "control/qelDecodeSettings.h"

namespace {

void frame(const uint8_t* data, size_t size) {
    char buffer[QEL_DATAGRAM_MAX + 1] = {0};
    memcpy(buffer, data, size < QEL_DATAGRAM_MAX ? size : QEL_DATAGRAM_MAX);
    const CommandRow* row = matchCommand(buffer);
    if (row == nullptr) return;
    char* str[QEL_MAX_FIELDS + 1] = {nullptr};
    int n = row->fields;
    int found =
        splitFields(buffer, strlen(buffer), row->fromStart ? 0 : strlen(row->literal), n, str);
    for (int i = 1; i <= found && i <= n; ++i) {
        targetMatches(row->target, str[i]);
        fieldNumber(str[i]);
    }
}

char gRoot[] = "/tmp/qel-fuzz-rx-XXXXXX";

void removeRoot() {
    std::string cmd = std::string("rm -rf '") + gRoot + "'";
    if (::system(cmd.c_str()) != 0) fprintf(stderr, "cannot remove %s\n", gRoot);
}

void settings(const uint8_t* data, size_t size) {
    static bool ready = false;
    if (!ready) {
        if (mkdtemp(gRoot) == nullptr) abort();
        atexit(removeRoot);
        setenv("QEL_ROOT", gRoot, 1);
        box::makeDirs("/mnt");
        ready = true;
    }
    // The input is split at its first zero byte into the main file and its copy.
    const uint8_t* zero = static_cast<const uint8_t*>(memchr(data, 0, size));
    size_t mainSize = zero ? static_cast<size_t>(zero - data) : size;
    FILE* f = fopen(box::path("/mnt/config.ini").c_str(), "wb");
    if (f == nullptr) return;
    fwrite(data, 1, mainSize, f);
    fclose(f);
    if (zero) {
        f = fopen(box::path("/mnt/config.bak").c_str(), "wb");
        if (f == nullptr) return;
        fwrite(zero + 1, 1, size - mainSize - 1, f);
        fclose(f);
    } else {
        remove(box::path("/mnt/config.bak").c_str());
    }
    if (checkIni() != 0) abort();
    for (int i = 0; i < QEL_SLOTS; ++i)
        if (strnlen(param[i], QEL_URL_SIZE) >= QEL_URL_SIZE) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1)
        frame(data + 1, size - 1);
    else
        settings(data + 1, size - 1);
    return 0;
}
