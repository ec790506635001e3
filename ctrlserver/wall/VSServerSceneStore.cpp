// Scene rebuilds: a scene's records, windows and key files made anew. Each preset file gets
// its keys in one fixed order and is written once, on its last key.
#include <cstdio>

#include "wall/VSServer.h"
#include "wall/VSServerUtil.h"

namespace {

// Writes the scene keys of one preset file from the scene's settings and rec; the last key
// saves the file.
void writeSceneKeys(QelConfig& conf, int s, const VSenceScreen& rec, int cells) {
    conf.WriteString("screensenceName", sSenceScreenName[s], false);
    conf.WriteInt("screensenceId", iSenceScreenId[s], false);
    conf.WriteInt("screensenceValid", iSenceScreenValid[s], false);
    conf.WriteString("screensencePicSrc", sSenceScreenPicSrc[s], false);
    conf.WriteInt("screensenceCurPreset", iSenceScreenCurPreset[s], false);
    conf.WriteInt("screenRows", rec.rows, false);
    conf.WriteInt("screenColumns", rec.columns, false);
    conf.WriteInt("screenHorCut", rec.horCut, false);
    conf.WriteInt("screenVerCut", rec.verCut, false);
    conf.WriteInt("screenWidth", static_cast<int>(rec.width), false);
    conf.WriteInt("screenHeight", static_cast<int>(rec.height), false);
    for (int c = 0; c < cells; ++c) {
        conf.WriteString(vsNumbered("screenIP_%02d", c), rec.screenIP[c], false);
        conf.WriteInt(vsNumbered("screenSplitnum_%02d", c), rec.screenSplitnum[c], false);
        conf.WriteString(vsNumbered("screenName_%02d", c), rec.screenName[c], false);
    }
    conf.WriteInt("disWidth", static_cast<int>(rec.disWidth), false);
    conf.WriteInt("disHeight", static_cast<int>(rec.disHeight), false);
    for (int d = 0; d < WALL_CELLS; ++d) {
        conf.WriteString(vsNumbered("disIP_%02d", d), rec.disIP[d], false);
        conf.WriteInt(vsNumbered("disSplitnum_%02d", d), rec.disSplitnum[d], false);
        conf.WriteString(vsNumbered("disName_%02d", d), rec.disName[d], d == WALL_CELLS - 1);
    }
}

}  // namespace

int VSServer::removeSenceData(int s, int valid, int curPreset, std::string name, std::string picSrc,
                              int rows, int columns, int horCut, int verCut) {
    if (s < 0 || s >= VS_SCENES) return 0;
    // Callers pass a grid they checked; one that cannot be held lays out no cell.
    int cells = wallGridCells(rows, columns);
    if (cells < 0) cells = 0;
    iSenceScreenRows[s] = rows;
    iSenceScreenColumns[s] = columns;
    iSenceScreenHorCut[s] = horCut;
    iSenceScreenVerCut[s] = verCut;
    iSenceVScreenWidth[s] = static_cast<int>(1LL * columns * iSenceRScreenWidth[s]);
    iSenceVScreenHeight[s] = static_cast<int>(1LL * rows * iSenceRScreenHeight[s]);
    sSenceScreenName[s] = name;
    iSenceScreenId[s] = s;
    iSenceScreenValid[s] = valid;
    sSenceScreenPicSrc[s] = picSrc;
    iSenceScreenCurPreset[s] = curPreset;

    for (int p = 0; p < VS_PRESETS; ++p) {
        pVSenceScreen[s][p].reset(new VSenceScreen());
        VSenceScreen& rec = *pVSenceScreen[s][p];
        rec.rows = static_cast<uint8_t>(rows);
        rec.columns = static_cast<uint8_t>(columns);
        rec.horCut = static_cast<uint8_t>(horCut);
        rec.verCut = static_cast<uint8_t>(verCut);
        rec.width = static_cast<uint32_t>(iSenceVScreenWidth[s]);
        rec.height = static_cast<uint32_t>(iSenceVScreenHeight[s]);
        rec.disWidth = static_cast<uint32_t>(iSenceRScreenWidth[s]);
        rec.disHeight = static_cast<uint32_t>(iSenceRScreenHeight[s]);
        if (!confVSence[s][p]) {
            char file[48];
            snprintf(file, sizeof file, "/mnt/sence/qelconfVSence_%02d_%02d.ini", s, p);
            confVSence[s][p].reset(new QelConfig(file, QelConfig::MODE_KEYVALUE));
        }
        writeSceneKeys(*confVSence[s][p], s, rec, cells);
    }

    pVSence[s].reset(new VSence());
    pVSence[s]->id = static_cast<uint8_t>(s);
    pVSence[s]->valid = static_cast<uint8_t>(valid);
    pVSence[s]->curPreset = static_cast<uint8_t>(curPreset);
    pVSence[s]->name = name;
    pVSence[s]->picSrc = picSrc;

    const int cellW = iSenceRScreenWidth[s], cellH = iSenceRScreenHeight[s];
    for (int p = 0; p < VS_PRESETS; ++p) {
        for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
            pVWinSence[s][p][w].reset(new VWin(vsBlankWin(w)));
            pVWinSenceOrg[s][p][w].reset(new VWin(vsBlankWin(w)));
            pVWinSencePos[s][p][w].reset(new WinPos());
        }
        for (int c = 0; c < cells; ++c) {
            const int x = static_cast<int>(1LL * (c % columns) * cellW);
            const int y = static_cast<int>(1LL * (c / columns) * cellH);
            createScreenWinSence(s, p, x, y, cellW, cellH, 1, VS_CELL_WINDOWS * c);
            createScreenWinPosSence(s, p, x, y, cellW, cellH, 1, VS_CELL_WINDOWS * c);
        }
    }
    for (int p = 0; p < VS_PRESETS; ++p) {
        for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
            confVWinSence[s][p][w].reset(
                new QelConfig(vWinSencePath[s][p][w], QelConfig::MODE_BLOCK));
            removeIniSenceWin(s, p, w);
        }
    }
    return 0;
}

int VSServer::removeSenceDisplayData(int s) {
    if (s < 0 || s >= VS_SCENES) return 0;
    for (int p = 0; p < VS_PRESETS; ++p) {
        for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
            confDisWin[s][p][w].reset(new QelConfig(disWinPath[s][p][w], QelConfig::MODE_BLOCK));
            pDisWin[s][p][w].reset(new VWin(vsBlankWin(w)));
            pDisWinOrg[s][p][w].reset(new VWin(vsBlankWin(w)));
            pDisWinPos[s][p][w].reset(new WinPos());
            removeIniDisWin(s, p, w);
        }
        for (int d = 0; d < WALL_CELLS; ++d)
            createDisplayWinPosSence(s, p, 0, 0, iRScreenWidth, iRScreenHeight, 1,
                                     VS_CELL_WINDOWS * d);
    }
    return 0;
}
