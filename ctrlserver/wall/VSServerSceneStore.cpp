// Scene rebuilds: a scene's records, windows and key files made anew. Each preset file gets
// its keys in one fixed order and is written once, on its last key. The four rebuilds share
// one road; they differ in what happens to the scene-wall block files (saved or deleted) and
// in whether the display entries of the wall records survive.
#include <cstdio>

#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerUtil.h"

namespace {

struct SceneKeys {
    std::string name;
    int id, valid;
    std::string picSrc;
    int curPreset;
};

// Writes the scene keys of one preset file from the scene's values and rec; the last key
// saves the file when save is set. The result is that last write's.
int writeSceneKeys(QelConfig& conf, const SceneKeys& k, const VSenceScreen& rec, int cells,
                   bool save) {
    conf.WriteString("screensenceName", k.name, false);
    conf.WriteInt("screensenceId", k.id, false);
    conf.WriteInt("screensenceValid", k.valid, false);
    conf.WriteString("screensencePicSrc", k.picSrc, false);
    conf.WriteInt("screensenceCurPreset", k.curPreset, false);
    vsWriteSceneWallKeys(conf, rec, cells);
    return save ? conf.Save() : 1;
}

}  // namespace

void vsWriteSceneWallKeys(QelConfig& conf, const VSenceScreen& rec, int cells) {
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
        conf.WriteString(vsNumbered("disName_%02d", d), rec.disName[d], false);
    }
}

int VSServer::rebuildScene(int s, int valid, int curPreset, const std::string& name,
                           const std::string& picSrc, int rows, int columns, int horCut, int verCut,
                           SceneRebuild how) {
    if (s < 0 || s >= VS_SCENES) return 0;
    // Callers pass a grid they checked; one that cannot be held lays out no cell.
    int cells = wallGridCells(rows, columns);
    if (cells < 0) cells = 0;
    const int cellW = iSenceRScreenWidth[s], cellH = iSenceRScreenHeight[s];
    const SceneKeys keys{name, s, valid, picSrc, curPreset};

    // The new wall records, built before anything of the model changes.
    std::unique_ptr<VSenceScreen> recs[VS_PRESETS];
    for (int p = 0; p < VS_PRESETS; ++p) {
        recs[p].reset(new VSenceScreen());
        VSenceScreen& rec = *recs[p];
        rec.rows = static_cast<uint8_t>(rows);
        rec.columns = static_cast<uint8_t>(columns);
        rec.horCut = static_cast<uint8_t>(horCut);
        rec.verCut = static_cast<uint8_t>(verCut);
        rec.width = static_cast<uint32_t>(1LL * columns * cellW);
        rec.height = static_cast<uint32_t>(1LL * rows * cellH);
        rec.disWidth = static_cast<uint32_t>(cellW);
        rec.disHeight = static_cast<uint32_t>(cellH);
        // A rebuild of the wall alone keeps the display screens, whose windows, files and
        // decoders it leaves as they are.
        const VSenceScreen* old = pVSenceScreen[s][p].get();
        if (how.keepDisplays && old) {
            rec.disWidth = old->disWidth;
            rec.disHeight = old->disHeight;
            for (int d = 0; d < WALL_CELLS; ++d) {
                rec.disIP[d] = old->disIP[d];
                rec.disName[d] = old->disName[d];
                rec.disSplitnum[d] = old->disSplitnum[d];
            }
        }
        if (!confVSence[s][p]) {
            char file[48];
            snprintf(file, sizeof file, "/mnt/sence/qelconfVSence_%02d_%02d.ini", s, p);
            confVSence[s][p].reset(new QelConfig(file, QelConfig::MODE_KEYVALUE));
        }
    }

    VSKeyFilesChange change;
    if (how.freshFiles) {
        // Each file becomes exactly the rebuilt keys, replaced whole; when one cannot be
        // written, those already replaced get their old documents back and nothing changes.
        for (int p = 0; p < VS_PRESETS; ++p)
            writeSceneKeys(change.replace(confVSence[s][p]), keys, *recs[p], cells, false);
        if (!change.commit()) {
            envir() << "scene " << s << ": cannot write " << change.failedFile().c_str() << "\n";
            return -1;
        }
    } else {
        for (int p = 0; p < VS_PRESETS; ++p)
            writeSceneKeys(*confVSence[s][p], keys, *recs[p], cells, true);
    }

    iSenceScreenRows[s] = rows;
    iSenceScreenColumns[s] = columns;
    iSenceScreenHorCut[s] = horCut;
    iSenceScreenVerCut[s] = verCut;
    iSenceVScreenWidth[s] = static_cast<int>(1LL * columns * cellW);
    iSenceVScreenHeight[s] = static_cast<int>(1LL * rows * cellH);
    sSenceScreenName[s] = name;
    iSenceScreenId[s] = s;
    iSenceScreenValid[s] = valid;
    sSenceScreenPicSrc[s] = picSrc;
    iSenceScreenCurPreset[s] = curPreset;
    for (int p = 0; p < VS_PRESETS; ++p) pVSenceScreen[s][p] = std::move(recs[p]);

    pVSence[s].reset(new VSence());
    pVSence[s]->id = static_cast<uint8_t>(s);
    pVSence[s]->valid = static_cast<uint8_t>(valid);
    pVSence[s]->curPreset = static_cast<uint8_t>(curPreset);
    pVSence[s]->name = name;
    pVSence[s]->picSrc = picSrc;

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
    // The new blocks are written all or none; when they cannot be, the key files go back to
    // what they held, so the scene stored before is the one a restart finds.
    const bool ownBatch = how.saveBlocks && beginBlockBatch();
    for (int p = 0; p < VS_PRESETS; ++p) {
        const int last = how.saveBlocks ? VS_CELL_WINDOWS * cells : VS_WALL_WINDOWS;
        for (int w = 0; w < last; ++w) {
            confVWinSence[s][p][w].reset(
                new QelConfig(vWinSencePath[s][p][w], QelConfig::MODE_BLOCK));
            if (how.saveBlocks)
                saveIniWinSence(s, p, w);
            else
                removeIniSenceWin(s, p, w);
        }
    }
    if (ownBatch && !commitBlockBatch()) {
        envir() << "scene " << s << ": window blocks not written; key files put back\n";
        change.undo();
        return -1;
    }
    return 0;
}

int VSServer::removeSenceData(int s, int valid, int curPreset, std::string name, std::string picSrc,
                              int rows, int columns, int horCut, int verCut) {
    rebuildScene(s, valid, curPreset, name, picSrc, rows, columns, horCut, verCut,
                 SceneRebuild{false, false, false});
    return 0;
}

int VSServer::clearSenceData(int s, int valid, int curPreset, std::string name, std::string picSrc,
                             int rows, int columns, int horCut, int verCut) {
    rebuildScene(s, valid, curPreset, name, picSrc, rows, columns, horCut, verCut,
                 SceneRebuild{true, false, false});
    return 0;
}

int VSServer::removeSenceVWData(int s, int valid, int curPreset, std::string name,
                                std::string picSrc, int rows, int columns, int horCut, int verCut) {
    rebuildScene(s, valid, curPreset, name, picSrc, rows, columns, horCut, verCut,
                 SceneRebuild{false, false, true});
    return 0;
}

void VSServer::resetSceneDisplays(int s, bool save) {
    if (s < 0 || s >= VS_SCENES) return;
    for (int p = 0; p < VS_PRESETS; ++p) {
        for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
            confDisWin[s][p][w].reset(new QelConfig(disWinPath[s][p][w], QelConfig::MODE_BLOCK));
            pDisWin[s][p][w].reset(new VWin(vsBlankWin(w)));
            pDisWinOrg[s][p][w].reset(new VWin(vsBlankWin(w)));
            pDisWinPos[s][p][w].reset(new WinPos());
            if (save)
                saveIniDisWin(s, p, w);
            else
                removeIniDisWin(s, p, w);
        }
        for (int d = 0; d < WALL_CELLS; ++d)
            createDisplayWinPosSence(s, p, 0, 0, iRScreenWidth, iRScreenHeight, 1,
                                     VS_CELL_WINDOWS * d);
    }
}

int VSServer::clearSenceDisplayData(int s) {
    resetSceneDisplays(s, true);
    return 0;
}

int VSServer::removeSenceDisplayData(int s) {
    resetSceneDisplays(s, false);
    return 0;
}
