// The aspect-ratio setting, the wall's user mode and the model's share of the factory reset.
#include <cstring>
#include <vector>

#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerUtil.h"

namespace {

const char kSetRatio[] = "config set ratio params";
const char kSetRatioUserDef[] = "config set ratio userdef params";

// Each ratio argument is read through a buffer of 128 bytes on the box.
const size_t kRatioTokenMax = 127;

// The numbers after a ratio keyword (missing ones read 0); false when a token does not fit
// its buffer or the int range.
bool ratioArguments(char* cmd, const char* keyword, int* values, size_t count) {
    std::vector<std::string> tokens;
    if (!vsCommandTokens(cmd, strlen(keyword), kRatioTokenMax, tokens)) return false;
    for (size_t i = 0; i < count; ++i)
        if (!vsTokenIntAt(tokens, i, values[i])) return false;
    return true;
}

// A ratio pair is stored when both parts are 0 or both are positive.
bool ratioPairAccepted(int hor, int ver) {
    if (hor < 0 || ver < 0) return false;
    return (hor == 0) == (ver == 0);
}

// The ratio file always holds exactly its five keys in this order. It is rebuilt whole and
// written once, so a failed write leaves the previous file as it was.
void saveRatioFile(ConfStore& store, int index, int hor, int ver, int horUserDef, int verUserDef) {
    vsRebuildKeyFile(store, [&](QelConfig& conf) {
        conf.WriteInt("HVratioCurIndex", index, false);
        conf.WriteInt("HVratioHor", hor, false);
        conf.WriteInt("HVratioVer", ver, false);
        conf.WriteInt("HVratioHorUserDef", horUserDef, false);
        conf.WriteInt("HVratioVerUserDef", verUserDef, false);
    });
}

}  // namespace

int VSServer::cmdVSGetRatio(char*, ArrayList<HVratio>& list, unsigned) {
    list.add(pHVratio ? new HVratio(*pHVratio) : new HVratio());
    return 1;
}

int VSServer::cmdVSSetRatio(char* cmd, unsigned) {
    int v[3] = {0, 0, 0};
    if (!ratioArguments(cmd, kSetRatio, v, 3)) return -1;
    const int index = v[0], hor = v[1], ver = v[2];
    if (static_cast<unsigned>(index) > 4 || !ratioPairAccepted(hor, ver)) return -1;
    if (!pHVratio) pHVratio.reset(new HVratio());
    pHVratio->index = iHVratioIndex = index;
    pHVratio->hor = iHVratioHor = hor;
    pHVratio->ver = iHVratioVer = ver;
    saveRatioFile(confHVratio, iHVratioIndex, iHVratioHor, iHVratioVer, pHVratio->horUserDef,
                  pHVratio->verUserDef);
    return 0;
}

int VSServer::cmdVSSetRatioUserDef(char* cmd, unsigned) {
    int v[2] = {0, 0};
    if (!ratioArguments(cmd, kSetRatioUserDef, v, 2)) return -1;
    if (!ratioPairAccepted(v[0], v[1])) return -1;
    if (!pHVratio) pHVratio.reset(new HVratio());
    pHVratio->horUserDef = iHVratioHorUserDef = v[0];
    pHVratio->verUserDef = iHVratioVerUserDef = v[1];
    saveRatioFile(confHVratio, iHVratioIndex, pHVratio->hor, pHVratio->ver, iHVratioHorUserDef,
                  iHVratioVerUserDef);
    return 0;
}

int VSServer::blSetUserMode(int mode) {
    userMode = mode;
    return 1;
}

int VSServer::blGetUserMode(int& mode) {
    mode = userMode;
    return 1;
}

namespace {

// The store of a model file, or, should the model not have opened one, a passing store of
// the same file.
QelConfig& storeOf(ConfStore& store, const std::string& file, int mode) {
    if (!store) store.reset(new QelConfig(file, mode));
    return *store;
}

void removeFile(ConfStore& store, const std::string& file) {
    storeOf(store, file, QelConfig::MODE_BLOCK).Remove();
}

void emptyKeyFile(ConfStore& store, const std::string& file) {
    QelConfig& conf = storeOf(store, file, QelConfig::MODE_KEYVALUE);
    conf.Erase();
    conf.Save();
}

}  // namespace

int VSServer::blFactoryResetToDefault() {
    for (int w = 0; w < VS_WALL_WINDOWS; ++w)
        removeFile(confVWin[w], vsNumbered("/mnt/qelconfVWin_%02d.ini", w));
    for (int w = 0; w < VS_UNICAST_WINDOWS; ++w)
        removeFile(confUWin[w], vsNumbered("/mnt/qelconfUWin_%02d.ini", w));
    emptyKeyFile(confVWinModeAll, "/mnt/qelconfVWinModeAll.ini");
    for (int m = 0; m < VS_WINMODES; ++m)
        removeFile(confVWinMode[m], vsNumbered("/mnt/qelconfVWinMode_%02d.ini", m));
    emptyKeyFile(confVScreen, "/mnt/qelconfVscreen.ini");
    emptyKeyFile(confUnicast, "/mnt/qelconfUnicast.ini");
    removeFile(confMulticast, "/mnt/qelconfMulticast.ini");
    removeFile(confHVratio, "/mnt/qelconfHVratio.ini");
    for (int s = 0; s < VS_SCENES; ++s) {
        for (int p = 0; p < VS_PRESETS; ++p) {
            char file[48];
            snprintf(file, sizeof file, "/mnt/sence/qelconfVSence_%02d_%02d.ini", s, p);
            emptyKeyFile(confVSence[s][p], file);
        }
    }
    for (int s = 0; s < VS_SCENES; ++s)
        for (int p = 0; p < VS_PRESETS; ++p)
            for (int w = 0; w < VS_WALL_WINDOWS; ++w)
                removeFile(confVWinSence[s][p][w], vWinSencePath[s][p][w]);
    for (int s = 0; s < VS_SCENES; ++s)
        for (int p = 0; p < VS_PRESETS; ++p)
            for (int w = 0; w < VS_WALL_WINDOWS; ++w)
                removeFile(confDisWin[s][p][w], disWinPath[s][p][w]);
    return 1;
}
