// Feeds arbitrary files to the controller's readers of its model and device files under /mnt:
// the live wall, unicast, multicast, ratio and window-mode settings, the window blocks of the
// live wall, the unicast windows and the scenes, the scene headers and the device tables. The
// input is a list of records, each a byte that picks the file, two bytes of length (little
// endian) and the content. The device tables are read again and the parts of the wall model
// those files feed are loaded anew, in the order the model's start runs its steps; then the
// queries that show the model run over it. Besides crashes it checks that every reply is JSON.
// Afterwards the files are removed and the same parts loaded once more, so the next input meets
// the model as a start with none of those files left it. (Rebuilding the whole model reads some
// 3,400 files and would hold the target to a few runs a second.)
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <map>
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

// The queries that show the model, each with the parts of it it shows.
enum : unsigned {
    kLive = 1, kUnicast = 2, kMulticast = 4, kRatio = 8, kModes = 16, kScenes = 32, kDevices = 64
};
struct Query {
    const char* text;
    unsigned shows;
};
const Query kQueries[] = {
    {"config get vs screen params", kLive},
    {"config get vs all params", kLive | kUnicast | kMulticast | kRatio | kScenes},
    {"config get vs all wins", kLive},
    {"config get vs win params 0", kLive},
    {"config get unicast all params", kUnicast},
    {"config get unicast screen params", kUnicast},
    {"config get multicast win params", kMulticast},
    {"config get ratio params", kRatio},
    {"config get sence list params", kScenes},
    {"config get all sence ip list params", kScenes},
    {"config get devicelist", kDevices},
    {"config get encoderlist", kDevices},
    {"config get decoderlist", kDevices},
    {"config get ipc list", kDevices},
    {"config get vs usermode", kLive | kModes},
};

// The wall model with the steps of its start callable one by one.
class Model : public VSServer {
public:
    Model(UsageEnvironment& env, DevServer& dev) : VSServer(env, dev) {}

    // What a set of written files asks to be loaded again.
    struct Parts {
        bool liveKeys = false, sceneKeys = false, unicast = false, multicast = false;
        bool ratio = false, modes = false, liveWall = false, devices = false;
        std::set<int> unicastWindows, scenes;
        unsigned shown = 0;  // the queries to run
    };

    static void add(Parts& parts, unsigned n) {
        const int k = static_cast<int>(n >> 4);
        static const unsigned kShown[16] = {kLive,   kUnicast, kMulticast, kRatio, kModes,   kModes,
                                            kLive,   kUnicast, kScenes,    kScenes, kScenes, kDevices,
                                            kDevices, kDevices, kDevices,  kDevices};
        parts.shown |= kShown[n & 15];
        switch (n & 15) {
            case 0: parts.liveKeys = parts.liveWall = true; break;
            case 1: parts.unicast = true; break;
            case 2: parts.multicast = true; break;
            case 3: parts.ratio = true; break;
            case 4:
            case 5: parts.modes = true; break;
            case 6: parts.liveWall = true; break;
            case 7: parts.unicastWindows.insert(k); break;
            case 8: parts.sceneKeys = true; parts.scenes.insert(k % 5); break;
            case 9:
            case 10: parts.scenes.insert(k % 5); break;
            default: parts.devices = true; break;
        }
    }

    // The parts loaded again in the order of the model's start.
    void reload(const Parts& parts, DevServer& dev) {
        if (parts.devices) {
            std::lock_guard<std::recursive_mutex> lock(dev.tableMutex);
            dev.blBuildQelDevices(1);
        }
        if (parts.liveKeys) loadLiveWallKeys();
        if (parts.sceneKeys) loadSceneKeys();
        if (parts.unicast) loadUnicast();
        for (int i : parts.unicastWindows) loadUnicastWindow(i);
        if (parts.unicast || !parts.unicastWindows.empty()) layoutUnicastWindows();
        if (parts.multicast) loadMulticast();
        if (parts.ratio) loadHVratio();
        if (parts.modes) loadWinModes();
        for (int s : parts.scenes) loadScene(s);
        if (parts.liveWall) loadLiveWall();
    }
};

Model* gModel = nullptr;

void removeAll(const std::set<std::string>& files) {
    for (const std::string& f : files) unlink(box::path(f).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qelfuzz::isolateFromNetwork("fuzz_wallfiles");
    gController.reset(new qelfuzz::Controller());
    qelfuzz::Controller& c = *gController;
    c.ctrl->loggedIn = 1;
    delete c.vs;
    c.vs = gModel = new Model(*c.env, *c.dev);
    c.ctrl->vsServer = c.vs;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qelfuzz::noWaits();
    qelfuzz::Controller& c = *gController;
    std::set<std::string> written;
    Model::Parts parts;
    size_t pos = 0;
    while (pos + 3 <= size && written.size() < 8) {
        const unsigned pick = data[pos];
        size_t len = data[pos + 1] | (static_cast<size_t>(data[pos + 2]) << 8);
        pos += 3;
        if (len > size - pos) len = size - pos;
        const std::string file = fileOf(pick);
        qelfuzz::writeBoxFile(file, data + pos, len);
        written.insert(file);
        Model::add(parts, pick);
        pos += len;
    }
    gModel->reload(parts, *c.dev);
    for (const Query& q : kQueries)
        if (q.shows & parts.shown) c.run(q.text, 0);
    // A settings store writes its keys back when it is replaced, so the files are removed
    // before and after loading the parts again: the model then holds what a start without
    // them reads, and none is left for the next input.
    removeAll(written);
    gModel->reload(parts, *c.dev);
    removeAll(written);
    return 0;
}
