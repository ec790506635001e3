#include "wall/VSServer.h"

#include <cstdio>
#include <exception>

#include "box/Box.h"

int iScreenRows, iScreenColumns;
int iScreenHorCut, iScreenVerCut;
int iRScreenWidth, iRScreenHeight;
int iVScreenWidth, iVScreenHeight;
int iSenceScreenRows[VS_SCENES], iSenceScreenColumns[VS_SCENES];
int iSenceScreenHorCut[VS_SCENES], iSenceScreenVerCut[VS_SCENES];
int iSenceRScreenWidth[VS_SCENES], iSenceRScreenHeight[VS_SCENES];
int iSenceVScreenWidth[VS_SCENES], iSenceVScreenHeight[VS_SCENES];
int iSenceCurrent;
int iSenceScreenCurPreset[VS_SCENES], iSenceScreenId[VS_SCENES];
int iSenceScreenValid[VS_SCENES];
std::string sSenceScreenName[VS_SCENES], sSenceScreenPicSrc[VS_SCENES];
int iUnicastCurIndex;
std::string sUnicastIP, sUnicastName;
int iUnicastSplitNum;
int iHVratioIndex, iHVratioHor, iHVratioVer, iHVratioHorUserDef, iHVratioVerUserDef;
int ScrLeft, ScrTop;

namespace {
// Every setting starts as resetWallSettings leaves it, before any model is built.
const bool gWallSettingsReady = (resetWallSettings(), true);
}  // namespace

void resetWallSettings() {
    iScreenRows = iScreenColumns = 2;
    iScreenHorCut = iScreenVerCut = 2;
    iRScreenWidth = 1920;
    iRScreenHeight = 1080;
    iVScreenWidth = 3840;
    iVScreenHeight = 2160;
    for (int s = 0; s < VS_SCENES; ++s) {
        iSenceScreenRows[s] = iSenceScreenColumns[s] = 2;
        iSenceScreenHorCut[s] = iSenceScreenVerCut[s] = 2;
        iSenceRScreenWidth[s] = 1920;
        iSenceRScreenHeight[s] = 1080;
        iSenceVScreenWidth[s] = 3840;
        iSenceVScreenHeight[s] = 2160;
        iSenceScreenCurPreset[s] = iSenceScreenId[s] = iSenceScreenValid[s] = 0;
        sSenceScreenName[s].clear();
        sSenceScreenPicSrc[s].clear();
    }
    iSenceCurrent = -1;
    iUnicastCurIndex = 0;
    sUnicastIP.clear();
    sUnicastName.clear();
    iUnicastSplitNum = 0;
    iHVratioIndex = iHVratioHor = iHVratioVer = iHVratioHorUserDef = iHVratioVerUserDef = 0;
    ScrLeft = ScrTop = 0;
}

int wallGridCells(int rows, int columns) {
    if (rows < 1 || columns < 1 || rows > WALL_CELLS || columns > WALL_CELLS) return -1;
    const int cells = rows * columns;
    return cells <= WALL_CELLS ? cells : -1;
}

void QelConfigRelease::operator()(QelConfig* store) const {
    if (!store) return;
    store->SetSaveOnDestroy(false);
    delete store;
}

VSServer* VSServer::createNew(UsageEnvironment& env, DevServer& devServer) {
    try {
        return new VSServer(env, devServer);
    } catch (const std::exception&) {  // out of memory: what was built is freed again
        return nullptr;
    }
}

VSServer::VSServer(UsageEnvironment& e, DevServer& dev)
    : QelServer(e, Port(0), 0),
      devServer(dev),
      vWinDbl(),
      scratchWin5(),
      uWinDbl(),
      scratchWin16(),
      vwMode(),
      userMode(0) {
    resetWallSettings();
    vwMode.modeMax = 4;
    vwMode.modeActive = 0;
    running = 1;

    for (int s = 0; s < VS_SCENES; ++s) {
        for (int p = 0; p < VS_PRESETS; ++p) {
            for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
                char name[64];
                snprintf(name, sizeof name, "/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", s, p,
                         w);
                vWinSencePath[s][p][w] = name;
                snprintf(name, sizeof name, "/mnt/sence/qelconfDisWin_%02d_%02d_%02d.ini", s, p, w);
                disWinPath[s][p][w] = name;
            }
        }
    }
    box::makeDirs("/mnt");
    box::makeDirs("/mnt/sence");
    loadAll();
}

void VSServer::loadAll() {
    loadLiveWallKeys();
    loadSceneKeys();
    loadUnicast();
    loadUnicastWindows();
    loadMulticast();
    loadHVratio();
    loadWinModes();
    loadScenes();
    loadLiveWall();
    vWinDbl = VWin(VS_WALL_WINDOWS, 0, 0, 0, 0, 0, 0, 0, 0, "", "");
}

void VSServer::reloadFromFiles() {
    const int recalled = iSenceCurrent;
    resetWallSettings();
    iSenceCurrent = recalled;
    loadAll();
}

VSServer::~VSServer() {
    running = 0;
}
