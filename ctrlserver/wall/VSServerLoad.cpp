// Loading the stored model at start. Every key is read with a fixed default; a first start
// (no files) writes the unicast, aspect-ratio, scene preset and live-wall files and the 80
// live-wall window blocks, each file once; a later start writes nothing. Nothing is sent to
// the decoders: they keep what they show.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "box/Box.h"
#include "wall/ModeFile.h"
#include "wall/VSServer.h"
#include "wall/VSServerUtil.h"
#include "wall/WinBlock.h"

namespace {

// Longest name or address a wall record takes from a key file, and longest url or picture
// source. A hand-edited file may hold texts of any length; one too long for the replies would
// make a whole list unanswerable, so each is cut here, as a window block's texts are.
const size_t kKeyNameMax = 63;
const size_t kKeyUrlMax = 127;

// The text stored under key ("" when missing), cut to max bytes, never inside a UTF-8
// sequence; a cut is logged.
std::string readKeyText(UsageEnvironment& env, QelConfig& conf, const std::string& key,
                        size_t max) {
    std::string text = conf.ReadString(key, "");
    const size_t keep = winBlockTextLength(text, max + 1);
    if (keep < text.size()) {
        env << conf.fileName().c_str() << ": " << key.c_str() << " of "
            << static_cast<int>(text.size()) << " bytes cut to " << static_cast<int>(keep) << "\n";
        text.resize(keep);
    }
    return text;
}

}  // namespace

bool VSServer::storedBlockUsable(const QelConfig& store) {
    const std::string name = store.fileName();
    struct stat st;
    if (stat(box::path(name).c_str(), &st) != 0) {
        if (errno != ENOENT) envir() << name.c_str() << ": " << strerror(errno) << "\n";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        envir() << name.c_str() << ": not a regular file; window loaded as missing\n";
        return false;
    }
    if (st.st_size < WIN_BLOCK_SIZE) {
        envir() << name.c_str() << ": " << static_cast<int>(st.st_size)
                << " bytes, a window block has 204; window loaded as missing\n";
        return false;
    }
    return true;
}

void VSServer::loadWin(ConfStore& store, const std::string& path, std::unique_ptr<VWin>& org,
                       std::unique_ptr<VWin>& cur, std::unique_ptr<WinPos>& pos,
                       int unicastNumber) {
    store.reset(new QelConfig(path, QelConfig::MODE_BLOCK));
    unsigned char block[WIN_BLOCK_SIZE] = {};
    // A unicast window without a stored block keeps its own number: the word -1 marks "not
    // read".
    if (unicastNumber >= 0) putBlockU32(block, 0, 0xFFFFFFFFu);
    if (storedBlockUsable(*store)) store->LoadBlock(0, block, WIN_BLOCK_SIZE);
    VWin win = decodeWinBlock(block);
    if (unicastNumber >= 0 && getBlockU32(block, 0) == 0xFFFFFFFFu)
        win.win = static_cast<uint8_t>(unicastNumber);
    org.reset(new VWin(win));
    cur.reset(new VWin(win));
    pos.reset(new WinPos());
}

void VSServer::loadLiveWallKeys() {
    confVScreen.reset(new QelConfig("/mnt/qelconfVscreen.ini", QelConfig::MODE_KEYVALUE));
    iScreenRows = confVScreen->ReadInt("screenRows", 0);
    iScreenColumns = confVScreen->ReadInt("screenColumns", 0);
}

void VSServer::loadSceneKeys() {
    for (int s = 0; s < VS_SCENES; ++s) {
        for (int p = 0; p < VS_PRESETS; ++p) {
            char name[48];
            snprintf(name, sizeof name, "/mnt/sence/qelconfVSence_%02d_%02d.ini", s, p);
            confVSence[s][p].reset(new QelConfig(name, QelConfig::MODE_KEYVALUE));
            // The last preset's grid decides whether the scene is stored.
            iSenceScreenRows[s] = confVSence[s][p]->ReadInt("screenRows", 0);
            iSenceScreenColumns[s] = confVSence[s][p]->ReadInt("screenColumns", 0);
        }
    }
}

void VSServer::loadUnicast() {
    confUnicast.reset(new QelConfig("/mnt/qelconfUnicast.ini", QelConfig::MODE_KEYVALUE));
    QelConfig& conf = *confUnicast;
    iUnicastCurIndex = conf.ReadInt("unicastCurIndex", -1);
    const bool stored = iUnicastCurIndex != -1;
    if (!stored) iUnicastCurIndex = 0;
    pUnicast.reset(new Unicast());
    pUnicast->curIndex = iUnicastCurIndex;
    iRScreenWidth = conf.ReadInt("screenWidth", 1920);
    iRScreenHeight = conf.ReadInt("screenHeight", 1080);
    pUnicast->width = iRScreenWidth;
    pUnicast->height = iRScreenHeight;
    for (int i = 0; i < UNICAST_SLOTS; ++i) {
        const std::string ipKey = vsNumbered("unicastip_%02d", i);
        const std::string nameKey = vsNumbered("unicastname_%02d", i);
        const std::string splitKey = vsNumbered("unicastsplitnum_%02d", i);
        if (stored) {
            pUnicast->ip[i] = readKeyText(envir(), conf, ipKey, kKeyNameMax);
            if (pUnicast->ip[i].empty()) {
                pUnicast->splitnum[i] = 0;
            } else {
                pUnicast->name[i] = readKeyText(envir(), conf, nameKey, kKeyNameMax);
                pUnicast->splitnum[i] = conf.ReadInt(splitKey, 0);
            }
        } else {
            conf.WriteString(ipKey, "", false);
            conf.WriteString(nameKey, "", false);
            conf.WriteInt(splitKey, 1, false);
            pUnicast->splitnum[i] = 1;
        }
    }
    if (!stored) conf.WriteInt("unicastCurIndex", 0, true);
    if (iUnicastCurIndex < 0 || iUnicastCurIndex >= UNICAST_SLOTS)
        envir() << "/mnt/qelconfUnicast.ini: unicastCurIndex " << iUnicastCurIndex
                << " names no slot; no unicast window laid out\n";
}

void VSServer::loadUnicastWindow(int i) {
    loadWin(confUWin[i], vsNumbered("/mnt/qelconfUWin_%02d.ini", i), pUWinOrg[i], pUWin[i],
            pUWinPos[i], i);
}

void VSServer::loadUnicastWindows() {
    for (int i = 0; i < VS_UNICAST_WINDOWS; ++i) loadUnicastWindow(i);
    layoutUnicastWindows();
}

void VSServer::layoutUnicastWindows() {
    const int cur = iUnicastCurIndex;
    if (cur >= 0 && cur < UNICAST_SLOTS)
        createUnicastWinPos(0, 0, iRScreenWidth, iRScreenHeight, pUnicast->splitnum[cur],
                            VS_CELL_WINDOWS * cur);
    uWinDbl = VWin(5, 0, 0, 0, 0, 0, 0, 0, 0, "", "");
}

void VSServer::loadMulticast() {
    confMulticast.reset(new QelConfig("/mnt/qelconfMulticast.ini", QelConfig::MODE_KEYVALUE));
    pMulticast.reset(new Multicast());
    pMulticast->winUrl = readKeyText(envir(), *confMulticast, "winUrl", kKeyUrlMax);
    pMulticast->winUrlName = readKeyText(envir(), *confMulticast, "winUrlName", kKeyNameMax);
}

void VSServer::loadHVratio() {
    confHVratio.reset(new QelConfig("/mnt/qelconfHVratio.ini", QelConfig::MODE_KEYVALUE));
    QelConfig& conf = *confHVratio;
    iHVratioIndex = conf.ReadInt("HVratioCurIndex", -1);
    if (iHVratioIndex == -1) {
        iHVratioIndex = 0;
        iHVratioHor = 16;
        iHVratioVer = 9;
        iHVratioHorUserDef = 0;
        iHVratioVerUserDef = 0;
        conf.WriteInt("HVratioCurIndex", iHVratioIndex, false);
        conf.WriteInt("HVratioHor", iHVratioHor, false);
        conf.WriteInt("HVratioVer", iHVratioVer, false);
        conf.WriteInt("HVratioHorUserDef", iHVratioHorUserDef, false);
        conf.WriteInt("HVratioVerUserDef", iHVratioVerUserDef, true);
    } else {
        iHVratioIndex = conf.ReadInt("HVratioCurIndex", 0);
        iHVratioHor = conf.ReadInt("HVratioHor", 0);
        iHVratioVer = conf.ReadInt("HVratioVer", 0);
        iHVratioHorUserDef = conf.ReadInt("HVratioHorUserDef", 0);
        iHVratioVerUserDef = conf.ReadInt("HVratioVerUserDef", 0);
    }
    pHVratio.reset(new HVratio());
    pHVratio->index = iHVratioIndex;
    pHVratio->hor = iHVratioHor;
    pHVratio->ver = iHVratioVer;
    pHVratio->horUserDef = iHVratioHorUserDef;
    pHVratio->verUserDef = iHVratioVerUserDef;
}

void VSServer::loadWinModes() {
    confVWinModeAll.reset(new QelConfig("/mnt/qelconfVWinModeAll.ini", QelConfig::MODE_KEYVALUE));
    for (int m = 0; m < VS_WINMODES; ++m)
        confVWinMode[m].reset(
            new QelConfig(vsNumbered("/mnt/qelconfVWinMode_%02d.ini", m), QelConfig::MODE_BLOCK));
    // Only four slots exist: a stored capacity outside 1..4 would address a fifth, or none.
    int modeMax = confVWinModeAll->ReadInt("modeMax", VS_WINMODES);
    if (modeMax < 1 || modeMax > VS_WINMODES) {
        envir() << "/mnt/qelconfVWinModeAll.ini: modeMax " << modeMax << " out of range; "
                << VS_WINMODES << " taken\n";
        modeMax = VS_WINMODES;
    }
    // A count outside the capacity is taken as the slots up to the last one holding a valid
    // mode, so that the next add goes behind every stored mode and never over one.
    int modeActive = confVWinModeAll->ReadInt("modeActive", 0);
    if (modeActive < 0 || modeActive > modeMax) {
        int found = 0;
        for (int m = 0; m < modeMax; ++m) {
            std::vector<unsigned char> bytes;
            readModeFile(m, bytes);
            std::string name;
            if (bytes.size() >= static_cast<size_t>(MODE_BLOCK_SIZE) &&
                modeFileName(bytes.data(), bytes.size(), name))
                found = m + 1;
        }
        envir() << "/mnt/qelconfVWinModeAll.ini: modeActive " << modeActive << " out of range; "
                << found << " taken from the mode files\n";
        modeActive = found;
    }
    vwMode.modeMax = modeMax;
    vwMode.modeActive = modeActive;
}

void VSServer::loadScenes() {
    for (int s = 0; s < VS_SCENES; ++s) loadScene(s);
}

void VSServer::loadScene(int s) {
    if (wallGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]) < 0) {
        if (iSenceScreenRows[s] != 0 || iSenceScreenColumns[s] != 0)
            envir() << confVSence[s][VS_PRESETS - 1]->fileName().c_str() << ": grid "
                    << iSenceScreenRows[s] << " x " << iSenceScreenColumns[s]
                    << " cannot be held; scene " << s << " rebuilt\n";
        removeSenceData(s, 0, 0, "", "", 2, 2, 2, 2);
        removeSenceDisplayData(s);
        return;
    }
    for (int p = 0; p < VS_PRESETS; ++p) loadScenePreset(s, p);
    pVSence[s].reset(new VSence());
    pVSence[s]->id = static_cast<uint8_t>(iSenceScreenId[s]);
    pVSence[s]->valid = static_cast<uint8_t>(iSenceScreenValid[s]);
    pVSence[s]->curPreset = static_cast<uint8_t>(iSenceScreenCurPreset[s]);
    pVSence[s]->name = sSenceScreenName[s];
    pVSence[s]->picSrc = sSenceScreenPicSrc[s];
}

void VSServer::loadScenePreset(int s, int p) {
    QelConfig& conf = *confVSence[s][p];
    // The scene's header: the last preset's values remain.
    sSenceScreenName[s] = readKeyText(envir(), conf, "screensenceName", VS_SCENE_NAME_MAX);
    iSenceScreenId[s] = conf.ReadInt("screensenceId", 0);
    iSenceScreenValid[s] = conf.ReadInt("screensenceValid", 0);
    sSenceScreenPicSrc[s] = readKeyText(envir(), conf, "screensencePicSrc", kKeyUrlMax);
    iSenceScreenCurPreset[s] = conf.ReadInt("screensenceCurPreset", 0);
    iSenceScreenRows[s] = conf.ReadInt("screenRows", 0);
    iSenceScreenColumns[s] = conf.ReadInt("screenColumns", 0);
    iSenceScreenHorCut[s] = conf.ReadInt("screenHorCut", 0);
    iSenceScreenVerCut[s] = conf.ReadInt("screenVerCut", 0);
    iSenceVScreenWidth[s] = conf.ReadInt("screenWidth", 0);
    iSenceVScreenHeight[s] = conf.ReadInt("screenHeight", 0);

    pVSenceScreen[s][p].reset(new VSenceScreen());
    VSenceScreen& rec = *pVSenceScreen[s][p];
    rec.rows = static_cast<uint8_t>(iSenceScreenRows[s]);
    rec.columns = static_cast<uint8_t>(iSenceScreenColumns[s]);
    rec.horCut = static_cast<uint8_t>(iSenceScreenHorCut[s]);
    rec.verCut = static_cast<uint8_t>(iSenceScreenVerCut[s]);
    rec.width = static_cast<uint32_t>(iSenceVScreenWidth[s]);
    rec.height = static_cast<uint32_t>(iSenceVScreenHeight[s]);

    // An earlier preset's grid that cannot be held counts as no grid: no cell is read or laid
    // out. (The last preset's grid was checked before the scene was loaded.)
    int cells = wallGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]);
    if (cells < 0) {
        if (iSenceScreenRows[s] != 0 || iSenceScreenColumns[s] != 0)
            envir() << conf.fileName().c_str() << ": grid " << iSenceScreenRows[s] << " x "
                    << iSenceScreenColumns[s] << " cannot be held; no cell loaded\n";
        cells = 0;
    }
    for (int c = 0; c < cells; ++c) {
        rec.screenIP[c] = readKeyText(envir(), conf, vsNumbered("screenIP_%02d", c), kKeyNameMax);
        // A cell without a decoder keeps its stored split too: a split command for all
        // cells stores it, and the cell's windows are laid out by it.
        rec.screenSplitnum[c] = conf.ReadInt(vsNumbered("screenSplitnum_%02d", c), 1);
        if (rec.screenIP[c].empty()) continue;  // no name, as the record starts
        rec.screenName[c] =
            readKeyText(envir(), conf, vsNumbered("screenName_%02d", c), kKeyNameMax);
    }
    iRScreenWidth = conf.ReadInt("disWidth", 1920);
    iRScreenHeight = conf.ReadInt("disHeight", 1080);
    rec.disWidth = static_cast<uint32_t>(iRScreenWidth);
    rec.disHeight = static_cast<uint32_t>(iRScreenHeight);
    for (int d = 0; d < WALL_CELLS; ++d) {
        rec.disIP[d] = readKeyText(envir(), conf, vsNumbered("disIP_%02d", d), kKeyNameMax);
        if (rec.disIP[d].empty()) continue;
        rec.disSplitnum[d] = conf.ReadInt(vsNumbered("disSplitnum_%02d", d), 1);
        rec.disName[d] = readKeyText(envir(), conf, vsNumbered("disName_%02d", d), kKeyNameMax);
    }

    for (int w = 0; w < VS_WALL_WINDOWS; ++w)
        loadWin(confVWinSence[s][p][w], vWinSencePath[s][p][w], pVWinSenceOrg[s][p][w],
                pVWinSence[s][p][w], pVWinSencePos[s][p][w], -1);
    const int columns = rec.columns;
    for (int c = 0; c < cells; ++c)
        createScreenWinPosSence(s, p, vsWrapInt(1LL * iSenceRScreenWidth[s] * (c % columns)),
                                vsWrapInt(1LL * iSenceRScreenHeight[s] * (c / columns)),
                                iRScreenWidth, iRScreenHeight, rec.screenSplitnum[c],
                                VS_CELL_WINDOWS * c);
    for (int w = 0; w < VS_WALL_WINDOWS; ++w)
        loadWin(confDisWin[s][p][w], disWinPath[s][p][w], pDisWinOrg[s][p][w], pDisWin[s][p][w],
                pDisWinPos[s][p][w], -1);
    for (int d = 0; d < WALL_CELLS; ++d)
        createDisplayWinPosSence(s, p, 0, 0, iRScreenWidth, iRScreenHeight, rec.disSplitnum[d],
                                 VS_CELL_WINDOWS * d);
}

void VSServer::loadLiveWall() {
    if (wallGridCells(iScreenRows, iScreenColumns) < 0) {
        if (iScreenRows != 0 || iScreenColumns != 0)
            envir() << "/mnt/qelconfVscreen.ini: grid " << iScreenRows << " x " << iScreenColumns
                    << " cannot be held; live wall rebuilt\n";
        buildNewLiveWall();
    } else {
        loadStoredLiveWall();
    }
}

namespace {

// A wall record as it is built, before its cells are filled: every split number 5.
VScreen* newVScreen() {
    VScreen* rec = new VScreen();
    rec->rows = static_cast<uint8_t>(iScreenRows);
    rec->columns = static_cast<uint8_t>(iScreenColumns);
    rec->horCut = static_cast<uint8_t>(iScreenHorCut);
    rec->verCut = static_cast<uint8_t>(iScreenVerCut);
    rec->width = static_cast<uint32_t>(iVScreenWidth);
    rec->height = static_cast<uint32_t>(iVScreenHeight);
    for (int c = 0; c < WALL_CELLS; ++c) rec->splitnum[c] = 5;
    return rec;
}

}  // namespace

void VSServer::buildNewLiveWall() {
    QelConfig& conf = *confVScreen;
    iScreenRows = iScreenColumns = iScreenHorCut = iScreenVerCut = 2;
    iVScreenWidth = vsWrapInt(2LL * iRScreenWidth);
    iVScreenHeight = vsWrapInt(2LL * iRScreenHeight);
    conf.WriteInt("screenRows", iScreenRows, false);
    conf.WriteInt("screenColumns", iScreenColumns, false);
    conf.WriteInt("screenHorCut", iScreenHorCut, false);
    conf.WriteInt("screenVerCut", iScreenVerCut, false);
    conf.WriteInt("screenWidth", iVScreenWidth, false);
    conf.WriteInt("screenHeight", iVScreenHeight, false);
    pVScreen.reset(newVScreen());
    const int cells = iScreenRows * iScreenColumns;
    for (int c = 0; c < cells; ++c) {
        conf.WriteString(vsNumbered("screenIP_%02d", c), "", false);
        conf.WriteInt(vsNumbered("screenSplitnum_%02d", c), 1, false);
        conf.WriteString(vsNumbered("screenName_%02d", c), "", c == cells - 1);
        pVScreen->ip[c].clear();
        pVScreen->splitnum[c] = 1;
        pVScreen->name[c].clear();
    }
    for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
        const VWin blank = vsBlankWin(w);
        pVWinOrg[w].reset(new VWin(blank));
        pVWin[w].reset(new VWin(blank));
        pVWinPos[w].reset(new WinPos());
    }
    for (int r = 0; r < iScreenRows; ++r) {
        for (int c = 0; c < iScreenColumns; ++c) {
            const int x = vsWrapInt(1LL * iRScreenWidth * c + ScrLeft);
            const int y = vsWrapInt(1LL * iRScreenHeight * r + ScrTop);
            const int first = VS_CELL_WINDOWS * (r * iScreenColumns + c);
            createScreenWin(x, y, iRScreenWidth, iRScreenHeight, 1, first);
            createScreenWinPos(x, y, iRScreenWidth, iRScreenHeight, 1, first);
        }
    }
    for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
        confVWin[w].reset(
            new QelConfig(vsNumbered("/mnt/qelconfVWin_%02d.ini", w), QelConfig::MODE_BLOCK));
        saveIniWin(w);
    }
}

void VSServer::loadStoredLiveWall() {
    QelConfig& conf = *confVScreen;
    iScreenRows = conf.ReadInt("screenRows", 0);
    iScreenColumns = conf.ReadInt("screenColumns", 0);
    iScreenHorCut = conf.ReadInt("screenHorCut", 0);
    iScreenVerCut = conf.ReadInt("screenVerCut", 0);
    iVScreenWidth = conf.ReadInt("screenWidth", 0);
    iVScreenHeight = conf.ReadInt("screenHeight", 0);
    pVScreen.reset(newVScreen());
    // The grid was checked before this branch was chosen.
    const int cells = wallGridCells(iScreenRows, iScreenColumns);
    for (int c = 0; c < cells; ++c) {
        pVScreen->ip[c] = readKeyText(envir(), conf, vsNumbered("screenIP_%02d", c), kKeyNameMax);
        if (pVScreen->ip[c].empty()) {
            pVScreen->splitnum[c] = 1;
            continue;
        }
        pVScreen->splitnum[c] = conf.ReadInt(vsNumbered("screenSplitnum_%02d", c), 1);
        pVScreen->name[c] =
            readKeyText(envir(), conf, vsNumbered("screenName_%02d", c), kKeyNameMax);
    }
    for (int w = 0; w < VS_WALL_WINDOWS; ++w)
        loadWin(confVWin[w], vsNumbered("/mnt/qelconfVWin_%02d.ini", w), pVWinOrg[w], pVWin[w],
                pVWinPos[w], -1);
    const int columns = iScreenColumns;
    for (int c = 0; c < cells; ++c)
        createScreenWinPos(vsWrapInt(1LL * iRScreenWidth * (c % columns)),
                           vsWrapInt(1LL * iRScreenHeight * (c / columns)), iRScreenWidth,
                           iRScreenHeight, pVScreen->splitnum[c], VS_CELL_WINDOWS * c);
}
