// The video wall model: the live wall, the unicast screens, the multicast screen, the five
// scenes with three presets each, the window modes and the aspect ratio, every window of them,
// and their files under /mnt and /mnt/sence (one QelConfig store per file).
//
// Window numbering, shared by every user of the model:
// - live-wall and scene-wall window w (0..79) belongs to cell w / 5 and is window w % 5 of
//   that cell's decoder; cells are row-major (cell = row * columns + column), at most 16;
// - unicast window w (0..999) belongs to slot w / 5 (0..199), window w % 5 of its decoder;
// - scene display window w (0..79) belongs to display w / 5 (0..15);
// - a [scene][preset][window] family is scene s 0..4, preset p 0..2, window w 0..79.
//
// The model has no lock: after start only the command thread touches it. Each store
// serialises its own file accesses.
//
// The code is split by concern: VSServer.cpp (construction, settings), VSServerLoad.cpp (the
// loading at start), VSServerBlocks.cpp (window block files), VSServerGeometry.cpp (split
// geometry), VSServerSceneStore.cpp (scene rebuilds).
#pragma once

#include <functional>
#include <thread>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/ArrayList.h"
#include "core/Device.h"
#include "core/QelConfig.h"
#include "core/QelServer.h"
#include "core/WallRecords.h"

class DevServer;
class VSTextBatch;
struct ModeSnapshot;

const int VS_SCENES = 5;
const int VS_PRESETS = 3;
const int VS_WALL_WINDOWS = 80;  // live wall, each scene wall, each scene's displays
const int VS_UNICAST_WINDOWS = 1000;
const int VS_CELL_WINDOWS = 5;  // windows of one decoder cell
const int VS_WINMODES = WINMODE_COUNT;
// Longest scene name, in bytes, that any command stores, looks up or edits: a name that one
// command could store and another could not name would leave the scene out of reach.
const size_t VS_SCENE_NAME_MAX = 63;
// Size of each out text buffer of the device lookups.
const int VS_LOOKUP_TEXT_SIZE = 64;

// --- Wall settings (process-wide; each new model starts from the values noted) -----------
extern int iScreenRows, iScreenColumns;    // 2, 2: live wall grid
extern int iScreenHorCut, iScreenVerCut;   // 2, 2: cut edges of the live wall
extern int iRScreenWidth, iRScreenHeight;  // 1920, 1080: one decoder output (cell)
extern int iVScreenWidth, iVScreenHeight;  // 3840, 2160: whole live wall
extern int iSenceScreenRows[VS_SCENES], iSenceScreenColumns[VS_SCENES];    // 2
extern int iSenceScreenHorCut[VS_SCENES], iSenceScreenVerCut[VS_SCENES];   // 2
extern int iSenceRScreenWidth[VS_SCENES], iSenceRScreenHeight[VS_SCENES];  // 1920, 1080
extern int iSenceVScreenWidth[VS_SCENES], iSenceVScreenHeight[VS_SCENES];  // 3840, 2160
extern int iSenceCurrent;                                                  // -1: no scene recalled
extern int iSenceScreenCurPreset[VS_SCENES], iSenceScreenId[VS_SCENES];    // 0
extern int iSenceScreenValid[VS_SCENES];                                   // 0
extern std::string sSenceScreenName[VS_SCENES], sSenceScreenPicSrc[VS_SCENES];  // empty
extern int iUnicastCurIndex;                                                    // 0
extern std::string sUnicastIP, sUnicastName;                                    // empty
extern int iUnicastSplitNum;                                                    // 0
extern int iHVratioIndex, iHVratioHor, iHVratioVer, iHVratioHorUserDef, iHVratioVerUserDef;  // 0
extern int ScrLeft, ScrTop;  // 0: origin of the live wall when its default layout is made

// Resets every setting above to its start value.
void resetWallSettings();

// Hide times sent to decoders, seconds.
const int NORMAL_HIDE_SECONDS = 3;
const int NORMAL_HIDE_SECONDS_LONG = 30;
const int MUL_HIDE_SECONDS = 3;
const int MUL_HIDE_SECONDS_LONG = 30;
const int MUL_HIDE_SECONDS_WIN = 3;
const int MUL_HIDE_SECONDS_LOADMODE = 3;

// Deletes a store without the save a key/value store's destructor makes: the model writes its
// files only where it means to, and a file the factory reset deleted must stay deleted.
struct QelConfigRelease {
    void operator()(QelConfig* store) const;
};
using ConfStore = std::unique_ptr<QelConfig, QelConfigRelease>;

// Number of cells of a rows x columns grid, or -1 when the grid cannot be held (a side below
// 1, or more than 16 cells).
int wallGridCells(int rows, int columns);

class VSServer : public QelServer {
public:
    // Builds the model from the files (VSServerLoad.cpp); null when it cannot be built (out of
    // memory).
    static VSServer* createNew(UsageEnvironment& env, DevServer& devServer);
    // Frees every record and store; writes no file.
    ~VSServer() override;

    // --- Window block files (VSServerBlocks.cpp) ------------------------------------------
    // Write the window's 204-byte block when it differs from the stored one: 1 written, 0
    // unchanged, failed or index outside the family.
    int saveIniWin(int w);
    int saveIniUniWin(int w);
    int saveIniWinSence(int s, int p, int w);
    int saveIniDisWin(int s, int p, int w);
    // Delete the window's block file (the record stays): 1, or 0 for an index outside the
    // family.
    int removeIniWin(int w);
    int removeIniSenceWin(int s, int p, int w);
    int removeIniDisWin(int s, int p, int w);

    // --- Split geometry (VSServerGeometry.cpp) --------------------------------------------
    // Lay out the five windows first..first+4 of one cell at x, y, w x h (pixels) for split
    // 1, 4 or 5; any other split, or windows outside the family, change nothing. The plain
    // forms write the current and before-maximising records, the Pos forms the position
    // records, resetScreenWin the current live-wall records only. url and name are kept,
    // except by clearUnicastWin, which empties them in both sets.
    void createScreenWin(int x, int y, int w, int h, int split, int first);
    void resetScreenWin(int x, int y, int w, int h, int split, int first);
    void createScreenWinPos(int x, int y, int w, int h, int split, int first);
    void createScreenWinSence(int s, int p, int x, int y, int w, int h, int split, int first);
    void createScreenWinPosSence(int s, int p, int x, int y, int w, int h, int split, int first);
    void createDisplayWinSence(int s, int p, int x, int y, int w, int h, int split, int first);
    void createDisplayWinPosSence(int s, int p, int x, int y, int w, int h, int split, int first);
    void createUnicastWin(int x, int y, int w, int h, int split, int first);
    void createUnicastWinPos(int x, int y, int w, int h, int split, int first);
    void clearUnicastWin(int x, int y, int w, int h, int split, int first);
    // The single-record refill of the clears: number, used, layer 0, visible and rectangle
    // from pos, winId = number, empty url and name.
    static void refillWin(VWin& win, const WinPos& pos, int number);

    // --- Scene rebuilds (VSServerSceneStore.cpp) ------------------------------------------
    // Rebuilds scene s as the given grid (split 1 in every cell) and deletes its scene-wall
    // block files; writes the scene keys into its three preset files. 0; s outside 0..4 does
    // nothing.
    int removeSenceData(int s, int valid, int curPreset, std::string name, std::string picSrc,
                        int rows, int columns, int horCut, int verCut);
    // Blank display windows for the three presets of scene s, their block files deleted, the
    // 16 displays laid out for split 1. 0; s outside 0..4 does nothing.
    int removeSenceDisplayData(int s);

    // --- Scenes: store, create/remove/query, geometry checks, wall layout and windows
    // (VSServerSceneStore.cpp, VSServerScenes.cpp, VSServerOverlap.cpp, VSServerGeometry.cpp,
    // VSServerSceneWall.cpp). Scene s 0..4, preset p 0..2. --------------------------------
    // How a rebuild treats the files: saveBlocks saves the laid-out scene-wall windows (else
    // every scene-wall block file is deleted); freshFiles makes each key file exactly the
    // rebuilt keys, replaced whole (else the keys are written into the stored document);
    // keepDisplays keeps the display entries of the wall records.
    struct SceneRebuild {
        bool saveBlocks;
        bool freshFiles;
        bool keepDisplays;
    };
    // 0, or -1 when a fresh key file could not be written (then nothing changed).
    int rebuildScene(int s, int valid, int curPreset, const std::string& name,
                     const std::string& picSrc, int rows, int columns, int horCut, int verCut,
                     SceneRebuild how);
    // As removeSenceData, but the laid-out windows' block files are saved (windows past the
    // grid keep theirs). 0.
    int clearSenceData(int s, int valid, int curPreset, std::string name, std::string picSrc,
                       int rows, int columns, int horCut, int verCut);
    // As removeSenceData, for a scene that stays in use: its display screens are kept. 0.
    int removeSenceVWData(int s, int valid, int curPreset, std::string name, std::string picSrc,
                          int rows, int columns, int horCut, int verCut);
    // As removeSenceDisplayData, but the blank windows' block files are saved. 0.
    int clearSenceDisplayData(int s);
    void resetSceneDisplays(int s, bool save);

    // Create, remove and query: results as the dispatcher expects (scene number, 0, 1 or
    // -1 refused with nothing changed).
    int cmdVSSetSence(char* cmd, unsigned direct);
    int cmdVSSetNewSence(char* cmd, unsigned direct);
    int cmdVSDelSence(char* cmd, unsigned direct);
    int cmdVSDelNewSence(char* cmd, unsigned direct);
    int cmdVSGetSence(char* cmd, ArrayList<VSence>& list, unsigned direct);
    int cmdVSGetSenceId(const char* name);
    int cmdVSGetSenceAllInfo(int s, ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& walls,
                             unsigned direct);
    int cmdVSGetAllSenceIp(ArrayList<VSenceScreen>& list, unsigned direct);
    std::string cmdVSGetSenceName(int s);

    // Scene window tests (0 overlap, -1 not or excluded), as the live-wall family.
    int checkWhetherWindowIsOverlapSenceWindow(int s, int p, int a, int b);
    int checkWhetherDisplayWindowIsOverlapWindow(int s, int p, int a, int b);
    int checkWhetherWindowIsJumpOutSenceScreen(int s, int p, int w, int cell);
    int checkWhetherOrgWindowIsOverlapSenceScreen(int s, int p, int w, int cell);
    int checkWhetherOrgWindowIsOverlapSenceScreen_2(int s, int p, int w, int cell);
    int checkWhetherLoadPresetWindowIsOverlapSenceScreen(VWin win, int s, int p, int w, int cell);
    void cmdVSSetSenceWinState(int s, int p, int w);
    void cmdVSSetDisWinState(int s, int p, int w);
    // Split layouts of scene-wall windows (url and name kept) and of display windows and
    // their org records (url and name emptied).
    void resetScreenWinSence(int s, int p, int x, int y, int w, int h, int split, int first);
    void clearDisplayWinSence(int s, int p, int x, int y, int w, int h, int split, int first);

    // Scene wall layout, decoders, windows, splits and sources.
    int cmdVSSetSenceScreen(char* cmd, unsigned direct);
    int cmdVSSetSenceRowColumnCutEdge(char* cmd, unsigned direct);
    int cmdVSSetRXSenceScreen(char* cmd, unsigned direct);
    int cmdVSDelSenceScreen(char* cmd, unsigned direct);
    int cmdVSGetSenceScreen(char* cmd, ArrayList<VSenceScreen>& list, unsigned direct);
    int cmdVSSetSenceWin(char* cmd, ArrayList<VWin>& list, unsigned direct);
    int cmdVSSetSenceSplit(char* cmd, unsigned direct);
    int cmdVSSetSenceUrl(char* cmd, unsigned direct);
    int cmdVSGetSenceWins(char* cmd, ArrayList<VWin>& list, unsigned direct);
    VWin senceSpareWin[VS_SCENES];  // set by the scene split command; no reader yet

    // Scene display screens (VSServerSceneDisplay.cpp): results as the dispatcher expects
    // (display number, 0, a count or 1; -1 refused with nothing changed).
    int cmdDisplaySetRXScreen(char* cmd, unsigned direct);
    int cmdDisplaySetSplit(char* cmd, unsigned direct);
    int cmdDisplaySetUrl(char* cmd, unsigned direct);
    int cmdVSSetDisWin(char* cmd, ArrayList<VWin>& list, unsigned direct);
    int cmdDisplaySetDelRX(char* cmd, unsigned direct);
    int cmdVSGetSenceDisplay(char* cmd, ArrayList<VSenceScreen>& list, unsigned direct);
    int cmdVSGetDisWins(char* cmd, ArrayList<VWin>& list, unsigned direct);

    // The "vw" commands (VSServerVW.cpp): scenes by name, devices by alias or host name,
    // re-entering the scene handlers above. 0, or -1 refused with nothing changed.
    int cmdvwVSSetSence(char* cmd, unsigned direct);
    int cmdvwVSDelSenceScreen(char* cmd, unsigned direct);
    int cmdvwVSGetSence(char* cmd, ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& walls,
                        unsigned direct);
    int cmdvwVSSetSenceTX(char* cmd, unsigned direct);
    int cmdvwVSSetSenceEachTX(char* cmd, unsigned direct);
    int cmdvwVSSetSenceRowTX(char* cmd, unsigned direct);
    int cmdvwVSSetSenceColumnTX(char* cmd, unsigned direct);
    // The ordinal-th used and visible window (from 1) of scene s's current preset gets the
    // source at address.
    int cmdVSNewSetSenceUrl(int s, int ordinal, std::string address, unsigned direct);
    int cmdVSSetSceneTXToVWAndDisplay(std::string sceneName, std::string address, unsigned direct);

    // Decoders into and out of a scene by name (VSServerSceneRx.cpp).
    int cmdDisplaySetNewRXScreen(char* cmd, unsigned direct);
    int cmdDisplaySetNewDelRX(char* cmd, unsigned direct);
    int cmdvwVSDelRXSenceScreen(char* cmd, unsigned direct);

    // Where a decoder stands, and taking it out of the places a command gives up for it
    // (VSServerSceneUsage.cpp). Records and files only; no decoder text. The lookups give
    // the scene or live-wall cell, or -1; the clearings 0.
    int iGetRXisInsideSenceId(std::string ip);
    int iGetRXisInsideVideoWallId(std::string ip);
    int checkRXisUsedInCurSenceDisplayScreen(std::string ip, int s);
    int checkRXisUsedInOtherSence(std::string ip, int s);
    int checkRXisUsed(std::string ip, int s);

    // --- Members ---------------------------------------------------------------------------
    // Stores, one per file.
    ConfStore confVScreen;                                            // qelconfVscreen.ini
    ConfStore confVSence[VS_SCENES][VS_PRESETS];                      // qelconfVSence_SS_PP
    ConfStore confVWin[VS_WALL_WINDOWS];                              // qelconfVWin_NN
    ConfStore confVWinSence[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];  // blocks
    ConfStore confVWinModeAll;                                        // qelconfVWinModeAll.ini
    ConfStore confVWinMode[VS_WINMODES];                              // blocks
    ConfStore confUnicast;                                            // qelconfUnicast.ini
    ConfStore confUWin[VS_UNICAST_WINDOWS];                           // blocks
    ConfStore confDisWin[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];     // blocks
    ConfStore confMulticast;                                          // qelconfMulticast.ini
    ConfStore confHVratio;                                            // qelconfHVratio.ini

    std::unique_ptr<VScreen> pVScreen;
    std::unique_ptr<VScreen> pVScreen2;  // window-mode loader only; empty at start
    std::unique_ptr<VSence> pVSence[VS_SCENES];
    std::unique_ptr<VSenceScreen> pVSenceScreen[VS_SCENES][VS_PRESETS];
    std::unique_ptr<Unicast> pUnicast;
    std::unique_ptr<Unicast> pUnicast2;  // window-mode loader only; empty at start
    std::unique_ptr<Multicast> pMulticast;
    std::unique_ptr<HVratio> pHVratio;

    // Windows: current, second set (window-mode loader only; empty at start), before
    // maximising, and position.
    std::unique_ptr<VWin> pVWin[VS_WALL_WINDOWS];
    std::unique_ptr<VWin> pVWinSet2[VS_WALL_WINDOWS];
    std::unique_ptr<VWin> pVWinOrg[VS_WALL_WINDOWS];
    std::unique_ptr<WinPos> pVWinPos[VS_WALL_WINDOWS];
    std::unique_ptr<VWin> pVWinSence[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];
    std::unique_ptr<VWin> pVWinSenceOrg[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];
    std::unique_ptr<WinPos> pVWinSencePos[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];
    std::unique_ptr<VWin> pDisWin[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];
    std::unique_ptr<VWin> pDisWinOrg[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];
    std::unique_ptr<WinPos> pDisWinPos[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];
    std::unique_ptr<VWin> pUWin[VS_UNICAST_WINDOWS];
    std::unique_ptr<VWin> pUWinSet2[VS_UNICAST_WINDOWS];
    std::unique_ptr<VWin> pUWinOrg[VS_UNICAST_WINDOWS];
    std::unique_ptr<WinPos> pUWinPos[VS_UNICAST_WINDOWS];

    DevServer& devServer;  // every decoder command is queued through it

    VWin vWinDbl;           // the maximised live-wall window; window 80: none
    VWin scratchWin5[5];    // scratch records of the wall handlers
    VWin uWinDbl;           // the maximised unicast window (used 1 while one is)
    VWin scratchWin16[16];  // scratch records of the wall handlers
    VWMode vwMode;          // modeMax, modeActive, names
    int userMode = 0;

    std::string vWinSencePath[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];
    std::string disWinPath[VS_SCENES][VS_PRESETS][VS_WALL_WINDOWS];

    // --- Overlaps, queries, settings, device lookups, propagation, usage checks and device
    // parameter texts (VSServerOverlap.cpp, VSServerQueries.cpp, VSServerRatio.cpp,
    // VSServerLookup.cpp, VSServerPropagate.cpp, VSServerUsage.cpp, VSServerDevParams.cpp) ----

    // Window tests: 0 when the window overlaps, -1 when it does not or the test excludes it
    // (window not used; for the window/cell tests also its own cell and, where noted, a
    // hidden window). Overlap compares edges strictly, as signed numbers: windows that share
    // only one pixel column or row do not overlap. A window outside its family, a cell
    // outside the grid or a grid without cells gives -1.
    int checkWhetherWindowIsOverlapWindow(int a, int b);
    int checkWhetherUnicastWindowIsOverlapWindow(int a, int b);
    int checkWhetherWindowIsOverlapScreen(int win, int cell);       // excludes hidden
    int checkWhetherWindowIsJumpOutScreen(int win, int cell);       // own cell and hidden too
    int checkWhetherOrgWindowIsOverlapScreen(int win, int cell);    // excludes hidden
    int checkWhetherOrgWindowIsOverlapScreen_2(int win, int cell);  // hidden tested too
    int checkWhetherLoadModeWindowIsOverlapScreen(VWin w, int win, int cell);  // excl. hidden
    // Scene-wall window w of scene s, preset p against cell of that preset's grid; excludes
    // hidden windows and the window's own cell.
    int checkWhetherWindowIsOverlapSenceScreen(int s, int p, int w, int cell);
    // Visibility passes after window win was placed: windows of win's layer that it overlaps
    // are hidden, then every hidden window that no visible window overlaps is shown, in
    // ascending order and in place (one shown early counts as a cover for later ones). The
    // unicast pass looks only at the five windows of win's slot. win's own flag is kept.
    void cmdVSSetWinState(int win);
    void cmdVSSetUniWinState(int win);
    // "config set multicast src params": accepted without effect.
    int cmdMulticastSetRXScreen(char* cmd, unsigned len);

    // Queries for the replies: new copies appended to the caller's list; the model is not
    // changed. cmd is the whole command text; it is ended after its keyword (never written
    // past its end). Results as each reply needs them: see VSServerQueries.cpp.
    int cmdVSGetScreen(char* cmd, ArrayList<VScreen>& list, unsigned len);
    int cmdVSGetUnicast(char* cmd, ArrayList<Unicast>& list, unsigned len);
    int cmdVSGetMulWin(ArrayList<VWin>& list, unsigned len);
    int cmdVSGetWin(char* cmd, ArrayList<VWin>& list, unsigned len);
    int cmdVSGetUniWin(char* cmd, ArrayList<VWin>& list, unsigned len);
    int cmdVSGetAllWin(char* cmd, ArrayList<VWin>& list, unsigned len);
    int cmdVSGetUniAllWin(char* cmd, ArrayList<VWin>& list, unsigned len);

    // Aspect ratio, user mode, factory reset (VSServerRatio.cpp).
    int cmdVSGetRatio(char* cmd, ArrayList<HVratio>& list, unsigned len);  // 1
    int cmdVSSetRatio(char* cmd, unsigned len);                            // 0 stored, -1 refused
    int cmdVSSetRatioUserDef(char* cmd, unsigned len);                     // 0 stored, -1 refused
    int blSetUserMode(int mode);                                           // 1
    int blGetUserMode(int& mode);                                          // 1
    // Deletes or empties every settings and window file of the model; memory stays as it
    // is until the next start. 1.
    int blFactoryResetToDefault();

    // Device lookups by alias or host name (and, for the IP forms, address): 1 with the
    // first match's fields copied into the out buffers (VS_LOOKUP_TEXT_SIZE bytes each, cut
    // to fit), 0 with nothing written. An IP-source match leaves version as it was.
    int blGetDeviceInfoByUsingAliasHostNameRX(const char* key, char* ip, char* alias, char* mac,
                                              char* version, int& kind);
    int blGetDeviceInfoByUsingAliasHostNameIPRX(const char* key, char* ip, char* alias, char* mac,
                                                char* version, int& kind);
    int blGetDeviceInfoByUsingAliasHostNameTX(const char* key, char* ip, char* alias, char* mac,
                                              char* version, int& kind);
    int blGetDeviceInfoByUsingAliasHostName(const char* key, char* ip, char* alias, char* mac,
                                            char* version, int& kind);
    int blGetDeviceInfoByUsingAliasHostNameIP(const char* key, char* ip, char* alias, char* mac,
                                              char* version, int& kind);

    // A device's new name carried into every decoder place and window source that shows it:
    // 1. A device's new address (found by MAC) carried into every place, with the rewritten
    // stream URLs queued to the decoders showing them: 1, or 0 when nothing changed.
    int blUpdateVScreenUnicastDevName(const char* ip, const char* name);
    int blUpdateVScreenUnicastDevIp(const char* mac, const char* newIp);

    // Usage of a decoder (by exact IP): as a wall cell (live or scene wall), in matrix use
    // (a unicast slot with split 1, no wall cell) or multiview use (another split). 1 or 0.
    int checkWhetherRXisInsideVideoWall(const char* ip);
    int blCheckRXisMultiView(const char* ip, int& split);
    int blCheckRXisMatrix(const char* ip);
    // Carries the current unicast slot's decoder state into every wall and scene place that
    // shows the decoder ip. 0.
    int checkUnicastRXisUsed(const char* ip, int split);
    // Appends every decoder no scene uses (preset 0 of each), index = its list position.
    int cmdVSGetFreeRX(ArrayList<Device>& list);

    // Decoder and encoder parameter texts for one device or, for "255.255.255.255", one per
    // known decoder (encoder) with its own address and name. 0, or -1 when a text did not
    // fit (that text is not queued). The arguments are never written.
    int cmdSetRXParams(const char* ip, const char* luma, const char* contrast, const char* hue,
                       const char* saturation, const char* audio, const char* name);
    int cmdSetTXParams(const char* ip, const char* fps, const char* bitrate,
                       const char* ratecontrol, const char* audioFrom, const char* audioTo,
                       const char* name);

    // Every decoder text of the model goes through here on its way to DevServer::cmdQelDev;
    // devTextTap, when set, sees each text first (tests watch the texts through it).
    // While the calling thread holds a text group, its texts are kept back and
    // endTextGroup queues them as one whole (DevServer::cmdQelDevGroup): a change whose
    // texts do not all fit sends none of them.
    int queueDevText(const std::string& text);
    std::function<void(const std::string&)> devTextTap;
    // Starts keeping back the calling thread's texts (texts kept already stay kept).
    void beginTextGroup();
    // Queues the kept texts as one group and stops keeping: 0, or -1 when the device queue
    // refused them all. Does nothing (0) when the calling thread holds no group.
    int endTextGroup();
    // Forgets the calling thread's kept texts and stops keeping: they belong to a change that
    // was not kept.
    void dropTextGroup();

    // Loads the whole model again from its files, as a start does; which scene was recalled
    // last is kept. Used after a change whose files could not be written, so that the model
    // shows what the files hold.
    void reloadFromFiles();

    // --- Live wall screens: window placement, full-window toggle, grid, cut edge, split and
    // decoder placement (VSServerPlace.cpp, VSServerGrid.cpp, VSServerSplit.cpp; texts in
    // VSServerTexts.h). The handlers read their arguments from a copy of cmd (the caller's text
    // is not changed). pVWinOrg is the committed record: what the decoders were last told. ---

    // "config set vs win params" window hStart hEnd vStart vEnd. -1 bad arguments (nothing
    // changed), 1 refused (the committed record listed), else the number of windows whose
    // visibility changed (-1 + that when a text could not be queued). flag 0 (window-mode
    // replay) asks decoders for the long hide times.
    int cmdVSSetWin(char* cmd, ArrayList<VWin>& list, unsigned flag);
    // "config set vs dbl params" window: enlarges the window to the split places its corners
    // lie in, or puts the enlarged window back. Results as cmdVSSetWin.
    int cmdVSSetDbl(char* cmd, ArrayList<VWin>& list, unsigned flag);
    // Window 0 over the whole wall less its cut edges. Results as cmdVSSetWin.
    int cmdVSSetCutWin(ArrayList<VWin>& list, unsigned flag);
    // "config set vs screen params" rows columns horCut verCut: 0, -1 refused.
    int cmdVSSetScreen(char* cmd, unsigned flag);
    // "config set vs rowcolumncutedge params" horCut verCut: 0, -1 when a cell was free.
    int cmdVSSetRowColumnCutEdge(char* cmd, unsigned flag);
    // "config set vs split params" cell split 0 (cell 255: every cell): 0, -1 refused. flag 0
    // (window-mode replay) tells the decoder without re-sending the cell's windows.
    int cmdVSSetSplit(char* cmd, unsigned flag);
    // "config set vs src params" cell ip: the decoder takes the cell. 0, -1 refused.
    int cmdVSSetRXScreen(char* cmd, unsigned flag);
    // "config del vs src params" cell: frees the cell. 0, -1 for a cell outside the grid.
    int cmdVSDelRXScreen(char* cmd, unsigned flag);

    // --- Unicast screens and windows, wall source URLs, the multicast screen and the clears
    // (VSServerUnicast.cpp, VSServerUrl.cpp, VSServerMulticast.cpp, VSServerClear.cpp). The
    // handlers read their arguments from a copy of cmd. Results: 0 (or, for the window
    // handlers, the number of windows whose visibility changed) done, -1 refused with nothing
    // changed. ---------------------------------------------------------------------------

    // "config set unicast src params" slot ip: the decoder takes its own slot, else the first
    // free one, else the one after the current; that slot becomes current. wallCheck 0
    // refuses a decoder that is a live-wall cell.
    int cmdUnicastSetRXScreen(char* cmd, unsigned wallCheck, unsigned unused);
    // "config set unicast split params" slot split value: the current slot's split. direct 1
    // sends the split text, any other value the splitundis text.
    int cmdUnicastSetSplit(char* cmd, unsigned direct);
    // "config set unicast url params" window type source stream: a source (encoder or IP
    // camera, "CLEAR" for none) on a unicast window, told to the current slot's decoder.
    int cmdUnicastSetUrl(char* cmd, unsigned direct);
    // "config set unicast win params" window hStart hEnd vStart vEnd, and "config set unicast
    // dbl params" window (the full-window toggle): place a unicast window, list the windows
    // whose visibility changed and the placed one last.
    int cmdVSSetUniWin(char* cmd, ArrayList<VWin>& list, unsigned direct);
    int cmdVSSetUniDbl(char* cmd, ArrayList<VWin>& list, unsigned direct);
    // uWinDbl's window as a whole number: its 8-bit win cannot name windows 256..999.
    int uWinDblWin = 5;

    // "config set vs url params" window type source stream: a source on a live-wall window,
    // told to its own cell and to every cell it spills into.
    int cmdVSSetUrl(char* cmd, unsigned flag);
    // The matrix and multiview road: decoder rx becomes the current unicast slot (source
    // "NULL": its existing slot, if any), split sent when layout is 1, source put on window
    // win (0..4), and the change carried into the scenes' current presets. "NULL" on a decoder
    // in no slot only clears that decoder (split when layout is 1, window win emptied). False,
    // with no other decoder touched, when rx cannot be made the current slot.
    bool blSetVScreenUnicastSenceSrcUrlSplit(char* rx, char* source, int split, int win,
                                             int layout);
    bool clearUnslottedDecoder(const std::string& ip, int split, int win, int layout);

    // "config set multicast url params" window type source stream: one source on every
    // decoder (wall cells, unicast slots, then every other decoder).
    int cmdMulticastSetUrl(char* cmd, unsigned flag);

    // The clears of the wall, the unicast screens and the multicast screen, and their "tx"
    // forms that take only the sources away. None is refused: 0.
    int cmdVSSetClearScreen(char* cmd, unsigned flag);
    int cmdVSSetClearUnicast(char* cmd, unsigned flag);
    int cmdVSSetClearMulticast(char* cmd, unsigned flag);
    int cmdVSSetClearScreenTX(char* cmd, unsigned flag);
    int cmdVSSetClearUnicastTX(char* cmd, unsigned flag);
    int cmdVSSetClearMulticastTX(char* cmd, unsigned flag);

private:
    int unicastSlotReady() const;
    int placeUnicastWindow(int w, long long h0, long long h1, long long v0, long long v1,
                           ArrayList<VWin>& list);
    void writeUnicastSlotKeys(int s, bool widthAndHeight);
    void resetWallCellWindows(int c);
    void storeMulticast(const std::string& url, const std::string& name);
    void carryUnicastIntoScenes(const std::string& rx, const std::string& source, int split,
                                int win);

public:
    // --- Presets, window modes, matrix and multiview (VSServerPresets.cpp,
    // VSServerPresetLoad.cpp, VSServerModes.cpp, VSServerModeLoad.cpp, VSServerMatrix.cpp) ---
    // Scene presets: "config save sence preset params" name s p, "config load sence preset
    // params" s p, "config recall sence preset params" s p. 1 done, 0 (load) preset already
    // current, -1 refused or (save) a key file could not be written, with nothing changed.
    int cmdVSSaveSencePreset(char* cmd, unsigned direct);
    int cmdVSLoadSencePreset(char* cmd, unsigned direct);
    int cmdVSRecallSencePreset(char* cmd, unsigned direct);
    // Window modes. Arguments are the text behind the command's keyword; a stored mode is
    // selected by "value byName" or "value byIndex". 1 done, 0 refused or not written.
    int blGetWinMode(VWMode& mode);
    int blAddWinMode(char* name);
    int blSetWinMode(char* text);
    int blDelWinMode(char* text);
    int blLoadWinMode(char* text, std::string& name);
    // The slot file of slot written from the live state (1, or 0 when it could not be
    // written), removed with the later slots moved down (1, 0 without a store), read back
    // into the live model (1, 0 refused with nothing changed).
    int saveModeIni(int slot, char* name);
    int removeModeIni(int slot);
    int loadModeIni(int slot, std::string& name);
    // Matrix and multiview rows of the decoder at rxIp ("255.255.255.255": every decoder)
    // appended to list; the number appended.
    int iGetMatrix(ArrayList<Matrix_MV>& list, char* rxIp);
    int iGetMultiView(ArrayList<Matrix_MV>& list, char* rxIp);
    int iGetMultiViewWin(ArrayList<Matrix_MV_plus_WIN>& list, char* rxIp);

private:
    int readModeFile(int slot, std::vector<unsigned char>& bytes);
    int writeModeList(int modeMax, int modeActive);
    int selectWinMode(const char* text, int& slot, std::string* newName);
    void snapshotLive(ModeSnapshot& snap, const std::string& name);
    // Preset load and recall, window-mode load (VSServerReplay.cpp): the decoder texts (none
    // for an empty address); preset load and recall: the decoder
    // record of a cell or display whose split count changed (1 when one did), the run itself,
    // the copy into the live wall and unicast table, and the display window re-entry.
    int replayText(const std::string& ip, const std::string& text);
    void replayDisplayOff(const std::string& ip, int window);
    void replayHide(const std::string& ip, int window, int seconds);
    void replaySource(const std::string& ip, int window, const VWin& w);
    void replayAllHide(int seconds);
    int updateDecoderSplit(const std::string& ip, const std::string& name, int split);
    int applyPreset(char* cmd, bool recall);
    void recallIntoLive(const VSenceScreen& rec, const std::vector<VWin>& wall,
                        const std::vector<VWin>& dis);
    // Window-mode load: the replay that brings the decoders to the restored model.
    struct ModeBefore;
    void replayMode(int slot, const ModeBefore& before);

private:
    struct PlaceMode;
    int liveWallCells() const;
    bool wallTextsFit() const;
    void wallCellRect(int c, int& x, int& y, int& w, int& h) const;
    int placeWallWindow(int w, long long h0, long long h1, long long v0, long long v1,
                        ArrayList<VWin>& list, const PlaceMode& mode);
    int refuseWallWindow(int w, ArrayList<VWin>& list);
    void sendWallWindowTexts(int w, const PlaceMode& mode, VSTextBatch& batch);
    int stackAndCommit(int w, ArrayList<VWin>& list);
    int resendWallWindow(int w);
    void repairCellOverlap(int s, int kOld);
    void writeCellKeys(int c, bool save);
    // Rebuilds the wall file from the working grid and the record, saved once: the cell keys
    // cell by cell (byCell) or all addresses, then all splits, then all names.
    int rewriteWallFile(bool byCell);
    void clearMulticast();

protected:
    // The loader: reads every file, writes the defaults a first start needs.
    VSServer(UsageEnvironment& env, DevServer& devServer);

    // Steps of the loader (VSServerLoad.cpp), in the order the constructor runs them. Each can
    // run again on a built model to read its files anew (the file fuzzer does so).
    void loadAll();  // every step below, in order
    void loadLiveWallKeys();
    void loadSceneKeys();
    void loadUnicast();
    void loadUnicastWindows();
    void loadUnicastWindow(int i);
    void layoutUnicastWindows();  // the current slot's window places, after the windows
    void loadMulticast();
    void loadHVratio();
    void loadWinModes();
    void loadScenes();
    void loadScene(int s);
    void loadScenePreset(int s, int p);
    void loadLiveWall();

private:
    void buildNewLiveWall();
    void loadStoredLiveWall();

    // Opens the window's block store on path and fills its records from the block file.
    // unicastNumber >= 0: a window with no stored block gets this number (modulo 256).
    void loadWin(ConfStore& store, const std::string& path, std::unique_ptr<VWin>& org,
                 std::unique_ptr<VWin>& cur, std::unique_ptr<WinPos>& pos, int unicastNumber);
    // Whether the file of a block store holds a whole block; a reason is logged when a file
    // is there but cannot hold one.
    bool storedBlockUsable(const QelConfig& store);
    // The save of all four families.
    int saveWinBlock(QelConfig* store, const VWin* win);
    // A change that writes many window blocks opens a batch first and commits it once every
    // block is known: the blocks are written all or none (QelConfig::ReplaceFiles), so a
    // disk that fills up midway leaves every old block as it was. commitBlockBatch gives
    // true when all were written (or there was nothing to write). beginBlockBatch gives false
    // when a batch is open already: the caller then leaves the commit to whoever opened it.
    bool beginBlockBatch();
    bool commitBlockBatch();

    // While a block batch is open, saveWinBlock keeps each changed block (file, bytes)
    // here instead of writing it; commitBlockBatch writes them all or none.
    bool blockBatchOpen = false;
    std::vector<std::pair<std::string, std::string>> blockBatch;

    // The texts kept back for the thread holding the text group (see queueDevText).
    std::mutex textGroupMutex;
    bool textGroupOpen = false;
    std::thread::id textGroupOwner;
    std::vector<std::string> textGroup;
};
