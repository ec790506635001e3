// The window-mode file: one stored snapshot of the live wall, the unicast table, the multicast
// source, the user mode and the known devices' names and status.
//
// Layout (little-endian 32-bit integers; an address is its four bytes a, b, c, d, 0 for none;
// texts zero-terminated in zero-filled fields):
//   0 valid (1), 4 name (40), 44 user mode, 48 rows, 52 columns, 56 horizontal cut,
//   60 vertical cut, 64 width, 68 height, 72 16 screen entries (40 each),
//   712 80 wall window blocks (204 each), 17032 current slot, 17036 unicast width,
//   17040 unicast height, 17044 200 screen entries, 25044 1000 unicast window blocks,
//   229044 the multicast window block, 229248 decoder count, 229252 encoder count;
//   then decoder count and encoder count device entries (40 each).
// A screen entry is split count, address, name (32); a device entry address, status,
// name (32).
//
// Every field is written and read at its offset; nothing here knows the model.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/WallRecords.h"

const int MODE_BLOCK_SIZE = 229256;
const int MODE_ENTRY_SIZE = 40;
const int MODE_NAME_SIZE = 40;        // the mode's own name, 39 bytes and its zero
const int MODE_ENTRY_NAME_SIZE = 32;  // cell, slot and device names, 31 bytes and a zero
const int MODE_MAX_DEVICES = 255;     // entries read back from each device table
const int MODE_OFFSET_NAME = 4;
const int MODE_OFFSET_USER_MODE = 44;
const int MODE_OFFSET_ROWS = 48;
const int MODE_OFFSET_COLUMNS = 52;
const int MODE_OFFSET_HOR_CUT = 56;
const int MODE_OFFSET_VER_CUT = 60;
const int MODE_OFFSET_WIDTH = 64;
const int MODE_OFFSET_HEIGHT = 68;
const int MODE_OFFSET_CELLS = 72;
const int MODE_OFFSET_WALL_WINS = 712;
const int MODE_OFFSET_CUR_INDEX = 17032;
const int MODE_OFFSET_UNI_WIDTH = 17036;
const int MODE_OFFSET_UNI_HEIGHT = 17040;
const int MODE_OFFSET_SLOTS = 17044;
const int MODE_OFFSET_UNI_WINS = 25044;
const int MODE_OFFSET_MULTICAST = 229044;
const int MODE_OFFSET_DECODER_COUNT = 229248;
const int MODE_OFFSET_ENCODER_COUNT = 229252;

// One wall cell or unicast slot: its decoder's address and name and its split count.
struct ModeScreen {
    int splitnum = 0;
    std::string ip;  // empty: no decoder
    std::string name;
};

// One known device's entry.
struct ModeDevice {
    std::string ip;
    int status = 0;
    std::string name;
};

// What one mode file holds.
struct ModeSnapshot {
    std::string name;
    int userMode = 0;
    int rows = 0, columns = 0, horCut = 0, verCut = 0, width = 0, height = 0;
    ModeScreen cells[WALL_CELLS];
    VWin wallWins[80];
    int curIndex = 0, uniWidth = 0, uniHeight = 0;
    ModeScreen slots[UNICAST_SLOTS];
    VWin uniWins[1000];
    std::string multicastUrl, multicastName;
    std::vector<ModeDevice> decoders, encoders;
};

// The whole file for snap: the mode block, then the decoder and encoder tables. Texts too long
// for their field are cut at a UTF-8 boundary; an address that is not dotted IPv4 text is
// stored as 0.
std::vector<unsigned char> encodeModeFile(const ModeSnapshot& snap);

// Why a file was not taken.
enum class ModeFileError {
    None,
    Short,     // shorter than the mode block
    NotValid,  // valid field other than 1
    BadGrid,   // a side outside 0..16 or more than 16 cells
};

// Reads a file of len bytes into snap. Device tables hold at most 255 entries each and only
// as many as the file has bytes for. A refused file leaves snap as it was.
ModeFileError decodeModeFile(const unsigned char* data, size_t len, ModeSnapshot& snap);

// The mode block's valid field and name, as the mode list shows them: false, with name left
// empty, for a block shorter than the name's end or not valid.
bool modeFileName(const unsigned char* data, size_t len, std::string& name);
