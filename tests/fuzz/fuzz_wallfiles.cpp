// Feeds arbitrary files to the controller's readers of its model and device files under /mnt:
// the live wall, unicast, multicast, ratio and window-mode settings, the window blocks of the
// live wall, the unicast windows and the scenes, the scene headers and the device tables. The
// input is a list of records, each a byte that picks the file, two bytes of length (little
// endian) and the content. The device tables are read again and the wall model is built anew
// from the files; then the queries that show the model run over it. Besides crashes it checks
// that every reply is JSON. Every file written is removed again after the input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "FuzzController.h"

namespace {

std::unique_ptr<qelfuzz::Controller> gController;

// The file record n names.
std::string fileOf(unsigned n) {
    char name[80];
    const unsigned k = n >> 4;
    switch (n & 15) {
        case 0:
            return "/mnt/qelconfVscreen.ini";
        case 1:
            return "/mnt/qelconfUnicast.ini";
        case 2:
            return "/mnt/qelconfMulticast.ini";
        case 3:
            return "/mnt/qelconfHVratio.ini";
        case 4:
            return "/mnt/qelconfVWinModeAll.ini";
        case 5:
            snprintf(name, sizeof name, "/mnt/qelconfVWinMode_%02u.ini", k % 4);
            return name;
        case 6:
            snprintf(name, sizeof name, "/mnt/qelconfVWin_%02u.ini", k);
            return name;
        case 7:
            snprintf(name, sizeof name, "/mnt/qelconfUWin_%02u.ini", k);
            return name;
        case 8:
            snprintf(name, sizeof name, "/mnt/sence/qelconfVSence_%02u_%02u.ini", k % 5, k / 5 % 3);
            return name;
        case 9:
            snprintf(name, sizeof name, "/mnt/sence/qelconfVWinSence_%02u_%02u_%02u.ini", k % 5,
                     k / 5 % 3, k % 4);
            return name;
        case 10:
            snprintf(name, sizeof name, "/mnt/sence/qelconfDisWin_%02u_%02u_%02u.ini", k % 5,
                     k / 5 % 3, k % 4);
            return name;
        case 11:
            return QEL_DECODER_FILE;
        case 12:
            return QEL_ENCODER_FILE;
        case 13:
            return QEL_CONTROLLER_FILE;
        default:
            return QEL_IPSOURCE_FILE;
    }
}

const char* const kQueries[] = {
    "config get vs screen params",     "config get vs all params",
    "config get vs all wins",          "config get vs win params 0",
    "config get unicast all params",   "config get unicast screen params",
    "config get multicast win params", "config get ratio params",
    "config get sence list params",    "config get all sence ip list params",
    "config get devicelist",           "config get encoderlist",
    "config get decoderlist",          "config get ipc list",
    "config get vs usermode",
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qelfuzz::isolateFromNetwork("fuzz_wallfiles");
    gController.reset(new qelfuzz::Controller());
    gController->ctrl->loggedIn = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qelfuzz::noWaits();
    qelfuzz::Controller& c = *gController;
    std::set<std::string> written;
    size_t pos = 0;
    while (pos + 3 <= size && written.size() < 8) {
        const unsigned pick = data[pos];
        size_t len = data[pos + 1] | (static_cast<size_t>(data[pos + 2]) << 8);
        pos += 3;
        if (len > size - pos) len = size - pos;
        const std::string file = fileOf(pick);
        qelfuzz::writeBoxFile(file, data + pos, len);
        written.insert(file);
        pos += len;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(c.dev->tableMutex);
        c.dev->blBuildQelDevices(1);
    }
    c.newModel();
    for (const char* q : kQueries) c.run(q, 0);
    // The next input starts from no files again (the model writes some of its own: they stay).
    for (const std::string& f : written) unlink(box::path(f).c_str());
    return 0;
}
