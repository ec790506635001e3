// Window, screen and view records of the video wall model, handed to the reply
// builders in ArrayList lists. What the values mean, and how they are stored, belongs to the
// video wall model.
//
// Records without a constructor of their own start zeroed with empty texts; their users fill
// every field they use.
#pragma once

#include <cstdint>
#include <string>

// Cells of a wall or scene wall, and display screens of a scene.
const int WALL_CELLS = 16;
const int UNICAST_SLOTS = 200;
const int WINMODE_COUNT = 4;
const int MV_WINDOWS = 5;

// One window of a screen. Rectangles are inclusive, in wall pixels.
class VWin {
public:
    // Window 0, every field 0, empty texts.
    VWin() = default;
    VWin(uint8_t win, uint8_t used, uint8_t layer, uint8_t visible, uint32_t hStart, uint32_t hEnd,
         uint32_t vStart, uint32_t vEnd, uint32_t winId, std::string url, std::string name);
    VWin(const VWin&) = default;
    VWin& operator=(const VWin&) = default;  // copies every field
    ~VWin() = default;

    uint8_t win = 0;
    uint8_t used = 0;     // the window exists
    uint8_t layer = 0;    // windows interact only with windows of the same layer
    uint8_t visible = 0;  // shown (1) or hidden (0)
    uint32_t hStart = 0;
    uint32_t hEnd = 0;
    uint32_t vStart = 0;
    uint32_t vEnd = 0;
    uint32_t winId = 0;
    std::string url;
    std::string name;
};

// The place a cell's split gives one window: inclusive, in wall pixels (x0, y0 the top-left,
// x1, y1 the bottom-right corner). used is 1 for a window the split shows.
struct WinPos {
    int used = 0;
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
};

// The live video wall: a grid of decoder cells, row-major.
struct VScreen {
    uint8_t rows = 0;
    uint8_t columns = 0;
    uint8_t horCut = 0;
    uint8_t verCut = 0;
    uint32_t width = 0;  // whole wall, pixels
    uint32_t height = 0;
    std::string ip[WALL_CELLS];
    std::string name[WALL_CELLS];
    int splitnum[WALL_CELLS] = {};
};

// One preset of a scene: the scene's wall (the fields of VScreen, in the same order, under the
// names its users know them by) followed by its 16 display screens.
class VSenceScreen {
public:
    // Zeroed with empty texts and every split number 1, as the wall model builds a new record.
    VSenceScreen();
    // Copies grid, cuts and sizes, the first rows x columns wall cells (at most 16, whatever
    // the grid says), disWidth, disHeight and all 16 display entries. Wall cells past the grid
    // are left empty and 0. A null s gives a record zeroed like the cells past the grid.
    explicit VSenceScreen(VSenceScreen* s);

    uint8_t rows = 0;
    uint8_t columns = 0;
    uint8_t horCut = 0;
    uint8_t verCut = 0;
    uint32_t width = 0;  // whole scene wall, pixels
    uint32_t height = 0;
    std::string screenIP[WALL_CELLS];  // empty: no decoder in the cell
    std::string screenName[WALL_CELLS];
    int screenSplitnum[WALL_CELLS] = {};
    uint32_t disWidth = 0;  // one display, pixels
    uint32_t disHeight = 0;
    std::string disIP[WALL_CELLS];
    std::string disName[WALL_CELLS];
    int disSplitnum[WALL_CELLS] = {};
};

// One scene.
struct VSence {
    uint8_t id = 0;         // "senceid"
    uint8_t valid = 0;      // kept by the wall model, not shown in replies
    uint8_t curPreset = 0;  // "sencecurpreset"
    std::string name;       // "sencename"
    std::string picSrc;     // "sencepicsrc"
};

// The unicast screen table. The numbers are int, as the wall model reads, writes and compares
// them.
struct Unicast {
    std::string ip[UNICAST_SLOTS];
    std::string name[UNICAST_SLOTS];
    int splitnum[UNICAST_SLOTS] = {};
    int curIndex = 0;
    int width = 0;  // one decoder output, pixels
    int height = 0;
};

// The multicast screen: one source on every wall and unicast decoder (empty texts: none).
struct Multicast {
    std::string winUrl;
    std::string winUrlName;
};

// The aspect-ratio setting (int for the same reason as Unicast).
struct HVratio {
    int index = 0;
    int hor = 0;
    int ver = 0;
    int horUserDef = 0;
    int verUserDef = 0;
};

// The window-mode list.
struct VWMode {
    int modeMax = 0;  // number of modes
    int modeActive = 0;
    std::string modeName[WINMODE_COUNT];
};

// One decoder's matrix or multiview row.
struct Matrix_MV {
    std::string rxname;          // the decoder's name; not shown in replies
    std::string rxalias;         // the decoder's label, "rxalias"
    std::string tx[MV_WINDOWS];  // sources of windows 1 to 5, "tx_1" to "tx_5"
    int splitnum = 0;
};

// One decoder's multiview row with window geometry, laid out as its query and reply builder
// use it (the multiview query and its reply).
struct Matrix_MV_plus_WIN {
    // A window's rectangle in decoder pixels: start and extent (last pixel minus first).
    struct Win {
        int hstart = 0;  // "winhstart_N"
        int vstart = 0;  // "winvstart_N"
        int width = 0;   // "winwidth_N"
        int height = 0;  // "winheight_N"
    };
    int splitnum = 0;
    std::string alias;           // "alias"
    std::string name;            // "name"
    std::string tx[MV_WINDOWS];  // "tx_1" to "tx_5"
    Win win[MV_WINDOWS];
};
