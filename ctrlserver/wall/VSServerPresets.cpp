// Saving a scene preset: the live wall becomes the preset's scene wall and the first 16
// unicast slots its display screens. Nothing is sent to the decoders.
//
// What differs between the live state and the scene's three presets decides which preset
// files and windows are written: the preset saved into always, the other two when the wall's
// decoders, grid, cut edges or the scene's name changed (their display entries when the
// displays changed). Every preset key file is rebuilt whole and written once; when one cannot
// be written the others are put back and nothing changes.
#include <cstring>
#include <vector>

#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerUtil.h"

namespace {

const char kSaveKeyword[] = "config save sence preset params";
// Longest argument word: its 128-byte field less the terminator.
const size_t kPresetTokenMax = 127;

// The keys of one preset file, in the order the file holds them.
void writePresetKeys(QelConfig& conf, int curPreset, const std::string& name, int id, int valid,
                     const std::string& picSrc, const VSenceScreen& rec, int cells) {
    conf.WriteInt("screensenceCurPreset", curPreset, false);
    conf.WriteString("screensenceName", name, false);
    conf.WriteInt("screensenceId", id, false);
    conf.WriteInt("screensenceValid", valid, false);
    conf.WriteString("screensencePicSrc", picSrc, false);
    vsWriteSceneWallKeys(conf, rec, cells);
}

}  // namespace

int VSServer::cmdVSSaveSencePreset(char* cmd, unsigned) {
    std::string copy(cmd ? cmd : "");
    std::vector<std::string> tokens;
    if (!vsCommandTokens(&copy[0], strlen(kSaveKeyword), kPresetTokenMax, tokens)) return -1;
    const std::string name = tokens.empty() ? std::string() : tokens[0];
    if (name.size() > VS_SCENE_NAME_MAX) return -1;
    int s = 0, p = 0;
    if (!vsTokenIntAt(tokens, 1, s) || !vsTokenIntAt(tokens, 2, p)) return -1;
    if (static_cast<unsigned>(s) >= VS_SCENES || static_cast<unsigned>(p) >= VS_PRESETS) return -1;
    if (!pVScreen || !pUnicast || !pVSence[s]) return -1;
    for (int k = 0; k < VS_PRESETS; ++k)
        if (!pVSenceScreen[s][k] || !confVSence[s][k]) return -1;

    const VScreen& live = *pVScreen;
    const Unicast& uni = *pUnicast;
    const int R = live.rows, C = live.columns, H = live.horCut, V = live.verCut;
    const int cells = vsGridCells(R, C);
    const int n = VS_CELL_WINDOWS * cells;
    const int wallWidth = vsWrapInt(1LL * C * iRScreenWidth);
    const int wallHeight = vsWrapInt(1LL * R * iRScreenHeight);

    // What differs from any of the three presets, before anything is written.
    bool cellChange = false, sizeChange = false, cutChange = false, displayChange = false;
    for (int k = 0; k < VS_PRESETS; ++k) {
        const VSenceScreen& rec = *pVSenceScreen[s][k];
        for (int i = 0; i < cells; ++i)
            if (live.ip[i] != rec.screenIP[i]) cellChange = true;
        if (rec.rows != R || rec.columns != C) sizeChange = true;
        if (rec.horCut != H || rec.verCut != V) cutChange = true;
        for (int d = 0; d < WALL_CELLS; ++d)
            if (uni.ip[d] != rec.disIP[d]) displayChange = true;
    }
    const bool newScene = iSenceScreenValid[s] == 0;
    const bool nameChange = name != sSenceScreenName[s] || newScene;
    const bool otherPresets = cellChange || sizeChange || cutChange || nameChange || newScene;
    const bool liveCells = cellChange || sizeChange || newScene;
    const std::string sceneName = nameChange ? name : sSenceScreenName[s];
    const int valid = newScene ? 1 : iSenceScreenValid[s];

    // The new preset records, then their files, each rebuilt whole.
    std::unique_ptr<VSenceScreen> recs[VS_PRESETS];
    ConfStore fresh[VS_PRESETS];
    for (int k = 0; k < VS_PRESETS; ++k) {
        const VSenceScreen& old = *pVSenceScreen[s][k];
        // The header and cells are rewritten for the preset saved into and, when anything
        // of the wall or the name differs, for all three; the display entries for the preset
        // saved into and, when the displays differ, for all three.
        const bool header = otherPresets || k == p;
        const bool displays = displayChange || k == p;
        if (!header && !displays) {
            // Untouched but for the current preset, so that a restart, whichever file it
            // takes the scene's header from, keeps it.
            if (confVSence[s][k]->ReadInt("screensenceCurPreset", -1) == p) continue;
            fresh[k].reset(new QelConfig(confVSence[s][k]->fileName(), QelConfig::MODE_KEYVALUE));
            fresh[k]->WriteInt("screensenceCurPreset", p, false);
            continue;
        }
        recs[k].reset(new VSenceScreen(old));
        VSenceScreen& rec = *recs[k];
        if (header) {
            rec.rows = static_cast<uint8_t>(R);
            rec.columns = static_cast<uint8_t>(C);
            rec.horCut = static_cast<uint8_t>(H);
            rec.verCut = static_cast<uint8_t>(V);
            rec.width = static_cast<uint32_t>(wallWidth);
            rec.height = static_cast<uint32_t>(wallHeight);
            for (int i = 0; i < cells; ++i) {
                if (liveCells || k == p) {
                    rec.screenIP[i] = live.ip[i];
                    rec.screenSplitnum[i] = live.splitnum[i];
                    rec.screenName[i] = live.name[i];
                }
            }
        }
        if (header || displays) {
            rec.disWidth = static_cast<uint32_t>(iSenceRScreenWidth[s]);
            rec.disHeight = static_cast<uint32_t>(iSenceRScreenHeight[s]);
        }
        if (displays) {
            for (int d = 0; d < WALL_CELLS; ++d) {
                rec.disIP[d] = uni.ip[d];
                rec.disSplitnum[d] = uni.splitnum[d];
                rec.disName[d] = uni.name[d];
            }
        }
        fresh[k].reset(new QelConfig());
        writePresetKeys(*fresh[k], p, sceneName, iSenceScreenId[s], valid, sSenceScreenPicSrc[s],
                        rec, header ? cells : vsGridCells(rec.rows, rec.columns));
    }
    for (int k = 0; k < VS_PRESETS; ++k) {
        if (!fresh[k]) continue;
        if (!fresh[k]->Save(confVSence[s][k]->fileName())) {
            envir() << "scene " << s << ": cannot write " << confVSence[s][k]->fileName().c_str()
                    << "; preset " << p << " not saved\n";
            for (int q = 0; q < k; ++q)
                if (fresh[q]) confVSence[s][q]->Save();
            return -1;
        }
    }
    // The stores replaced are kept until the window blocks are written too.
    ConfStore previous[VS_PRESETS];
    for (int k = 0; k < VS_PRESETS; ++k) {
        if (!fresh[k]) continue;
        previous[k] = std::move(confVSence[s][k]);
        confVSence[s][k] = std::move(fresh[k]);
    }

    // The model follows the files.
    pVSence[s]->curPreset = static_cast<uint8_t>(p);
    iSenceScreenCurPreset[s] = p;
    iVScreenWidth = wallWidth;
    iVScreenHeight = wallHeight;
    sSenceScreenName[s] = sceneName;
    iSenceScreenValid[s] = valid;
    if (recs[p]) {
        pVSence[s]->id = static_cast<uint8_t>(s);
        pVSence[s]->valid = 1;
        pVSence[s]->name = sceneName;
    }
    for (int k = 0; k < VS_PRESETS; ++k)
        if (recs[k]) pVSenceScreen[s][k] = std::move(recs[k]);

    // The window blocks of both loops below are written all or none at the end.
    const bool ownBatch = beginBlockBatch();

    // Wall windows: every cell first gets the one-window layout at its place on the scene
    // wall, then each window of a cell with a decoder takes the live window.
    for (int k = 0; k < VS_PRESETS; ++k) {
        if (!(cellChange || sizeChange) && k != p) continue;
        for (int r = 0; r < R && C > 0; ++r) {
            for (int c = 0; c < C; ++c) {
                const int cell = r * C + c;
                if (cell >= cells) break;
                const int x = vsWrapInt(1LL * c * iRScreenWidth);
                const int y = vsWrapInt(1LL * r * iRScreenHeight);
                createScreenWinSence(s, k, x, y, iRScreenWidth, iRScreenHeight, 1,
                                     VS_CELL_WINDOWS * cell);
                createScreenWinPosSence(s, k, x, y, iRScreenWidth, iRScreenHeight, 1,
                                        VS_CELL_WINDOWS * cell);
            }
        }
        for (int w = 0; w < n; ++w) {
            if (!pVWinSence[s][k][w] || !pVWinSenceOrg[s][k][w]) continue;
            if (!live.ip[w / VS_CELL_WINDOWS].empty() && pVWin[w] && pVWinOrg[w]) {
                *pVWinSence[s][k][w] = *pVWin[w];
                *pVWinSenceOrg[s][k][w] = *pVWinOrg[w];
            } else {
                *pVWinSence[s][k][w] = VWin(static_cast<uint8_t>(w), 0, 0, 0, 0, 0, 0, 0,
                                            static_cast<uint32_t>(w), "", "");
                *pVWinSenceOrg[s][k][w] = *pVWinSence[s][k][w];
            }
            saveIniWinSence(s, k, w);
        }
    }

    // Display windows: each display laid out for its unicast slot's split, then the slot's
    // windows copied; a display without a decoder is cleared in memory only.
    for (int k = 0; k < VS_PRESETS; ++k) {
        if (!displayChange && k != p) continue;
        for (int d = 0; d < WALL_CELLS; ++d) {
            createDisplayWinSence(s, k, 0, 0, iSenceRScreenWidth[s], iSenceRScreenHeight[s],
                                  uni.splitnum[d], VS_CELL_WINDOWS * d);
            createDisplayWinPosSence(s, k, 0, 0, iSenceRScreenWidth[s], iSenceRScreenHeight[s],
                                     uni.splitnum[d], VS_CELL_WINDOWS * d);
        }
        for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
            VWin* dis = pDisWin[s][k][w].get();
            VWin* disOrg = pDisWinOrg[s][k][w].get();
            if (!dis || !disOrg) continue;
            for (VWin* x : {dis, disOrg}) {
                x->url.clear();
                x->name.clear();
                x->used = 0;
            }
            if (uni.ip[w / VS_CELL_WINDOWS].empty() || !pUWin[w] || !pUWinOrg[w]) continue;
            *dis = *pUWin[w];
            *disOrg = *pUWinOrg[w];
            saveIniDisWin(s, k, w);
        }
    }
    if (ownBatch && !commitBlockBatch()) {
        // The blocks on disk are all the old ones: the key files go back to match them.
        envir() << "scene " << s << ": window blocks not written; preset " << p << " not saved\n";
        for (int k = 0; k < VS_PRESETS; ++k) {
            if (!previous[k]) continue;
            previous[k]->Save(confVSence[s][k]->fileName());
            confVSence[s][k] = std::move(previous[k]);
        }
        return -1;
    }
    return 1;
}
