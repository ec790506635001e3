#include "wall/ModeFile.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "wall/WinBlock.h"

namespace {

const int kWallWins = 80;
const int kUniWins = 1000;

void putInt(unsigned char* b, int offset, int value) {
    putBlockU32(b, offset, static_cast<uint32_t>(value));
}

int getInt(const unsigned char* b, int offset) {
    return static_cast<int>(getBlockU32(b, offset));
}

void putText(unsigned char* b, int offset, int size, const std::string& text) {
    memcpy(b + offset, text.data(), winBlockTextLength(text, static_cast<size_t>(size)));
}

// Up to the first zero; a field without one gives all but its last byte, as a field written
// here never holds more.
std::string getText(const unsigned char* b, int offset, int size) {
    const char* field = reinterpret_cast<const char*>(b + offset);
    return std::string(field, strnlen(field, static_cast<size_t>(size - 1)));
}

void putAddress(unsigned char* b, int offset, const std::string& ip) {
    struct in_addr a;
    if (ip.empty() || inet_pton(AF_INET, ip.c_str(), &a) != 1) return;  // stays 0
    memcpy(b + offset, &a.s_addr, 4);                                   // network order: a, b, c, d
}

std::string getAddress(const unsigned char* b, int offset) {
    const unsigned char* a = b + offset;
    if (a[0] == 0 && a[1] == 0 && a[2] == 0 && a[3] == 0) return std::string();
    char text[16];
    snprintf(text, sizeof text, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    return text;
}

void putScreen(unsigned char* b, int offset, const ModeScreen& s) {
    putInt(b, offset, s.splitnum);
    putAddress(b, offset + 4, s.ip);
    putText(b, offset + 8, MODE_ENTRY_NAME_SIZE, s.name);
}

ModeScreen getScreen(const unsigned char* b, int offset) {
    ModeScreen s;
    s.splitnum = getInt(b, offset);
    s.ip = getAddress(b, offset + 4);
    s.name = getText(b, offset + 8, MODE_ENTRY_NAME_SIZE);
    return s;
}

void putDevice(unsigned char* b, int offset, const ModeDevice& d) {
    putAddress(b, offset, d.ip);
    putInt(b, offset + 4, d.status);
    putText(b, offset + 8, MODE_ENTRY_NAME_SIZE, d.name);
}

ModeDevice getDevice(const unsigned char* b, int offset) {
    ModeDevice d;
    d.ip = getAddress(b, offset);
    d.status = getInt(b, offset + 4);
    d.name = getText(b, offset + 8, MODE_ENTRY_NAME_SIZE);
    return d;
}

// Entries of a device table that the file holds: its count, but never more than 255 nor more
// than the bytes from offset to the end hold.
size_t tableEntries(uint32_t count, size_t len, size_t offset) {
    size_t n = count < static_cast<uint32_t>(MODE_MAX_DEVICES) ? count : MODE_MAX_DEVICES;
    const size_t room = len > offset ? (len - offset) / MODE_ENTRY_SIZE : 0;
    return n < room ? n : room;
}

}  // namespace

std::vector<unsigned char> encodeModeFile(const ModeSnapshot& snap) {
    const size_t devices = snap.decoders.size() + snap.encoders.size();
    std::vector<unsigned char> out(MODE_BLOCK_SIZE + devices * MODE_ENTRY_SIZE, 0);
    unsigned char* b = out.data();
    putInt(b, 0, 1);
    putText(b, MODE_OFFSET_NAME, MODE_NAME_SIZE, snap.name);
    putInt(b, MODE_OFFSET_USER_MODE, snap.userMode);
    putInt(b, MODE_OFFSET_ROWS, snap.rows);
    putInt(b, MODE_OFFSET_COLUMNS, snap.columns);
    putInt(b, MODE_OFFSET_HOR_CUT, snap.horCut);
    putInt(b, MODE_OFFSET_VER_CUT, snap.verCut);
    putInt(b, MODE_OFFSET_WIDTH, snap.width);
    putInt(b, MODE_OFFSET_HEIGHT, snap.height);
    for (int c = 0; c < WALL_CELLS; ++c)
        putScreen(b, MODE_OFFSET_CELLS + c * MODE_ENTRY_SIZE, snap.cells[c]);
    for (int w = 0; w < kWallWins; ++w)
        encodeWinBlock(snap.wallWins[w], b + MODE_OFFSET_WALL_WINS + w * WIN_BLOCK_SIZE);
    putInt(b, MODE_OFFSET_CUR_INDEX, snap.curIndex);
    putInt(b, MODE_OFFSET_UNI_WIDTH, snap.uniWidth);
    putInt(b, MODE_OFFSET_UNI_HEIGHT, snap.uniHeight);
    for (int s = 0; s < UNICAST_SLOTS; ++s)
        putScreen(b, MODE_OFFSET_SLOTS + s * MODE_ENTRY_SIZE, snap.slots[s]);
    for (int w = 0; w < kUniWins; ++w)
        encodeWinBlock(snap.uniWins[w], b + MODE_OFFSET_UNI_WINS + w * WIN_BLOCK_SIZE);
    VWin multicast;
    multicast.url = snap.multicastUrl;
    multicast.name = snap.multicastName;
    encodeWinBlock(multicast, b + MODE_OFFSET_MULTICAST);
    putBlockU32(b, MODE_OFFSET_DECODER_COUNT, static_cast<uint32_t>(snap.decoders.size()));
    putBlockU32(b, MODE_OFFSET_ENCODER_COUNT, static_cast<uint32_t>(snap.encoders.size()));
    size_t at = MODE_BLOCK_SIZE;
    for (const ModeDevice& d : snap.decoders) {
        putDevice(b, static_cast<int>(at), d);
        at += MODE_ENTRY_SIZE;
    }
    for (const ModeDevice& d : snap.encoders) {
        putDevice(b, static_cast<int>(at), d);
        at += MODE_ENTRY_SIZE;
    }
    return out;
}

bool modeFileName(const unsigned char* data, size_t len, std::string& name) {
    if (!data || len < static_cast<size_t>(MODE_OFFSET_NAME + MODE_NAME_SIZE)) return false;
    if (getInt(data, 0) != 1) return false;
    name = getText(data, MODE_OFFSET_NAME, MODE_NAME_SIZE);
    return true;
}

ModeFileError decodeModeFile(const unsigned char* data, size_t len, ModeSnapshot& snap) {
    if (!data || len < static_cast<size_t>(MODE_BLOCK_SIZE)) return ModeFileError::Short;
    const unsigned char* b = data;
    if (getInt(b, 0) != 1) return ModeFileError::NotValid;
    const int rows = getInt(b, MODE_OFFSET_ROWS), columns = getInt(b, MODE_OFFSET_COLUMNS);
    // A grid of no cells (a side 0) is a wall without decoders; one the records cannot hold
    // would be laid out past the 16 cells.
    if (rows < 0 || columns < 0 || rows > WALL_CELLS || columns > WALL_CELLS ||
        rows * columns > WALL_CELLS)
        return ModeFileError::BadGrid;

    // About 100 kB of records: built on the heap, handed over whole.
    std::unique_ptr<ModeSnapshot> heap(new ModeSnapshot());
    ModeSnapshot& in = *heap;
    in.name = getText(b, MODE_OFFSET_NAME, MODE_NAME_SIZE);
    in.userMode = getInt(b, MODE_OFFSET_USER_MODE);
    in.rows = rows;
    in.columns = columns;
    in.horCut = getInt(b, MODE_OFFSET_HOR_CUT);
    in.verCut = getInt(b, MODE_OFFSET_VER_CUT);
    in.width = getInt(b, MODE_OFFSET_WIDTH);
    in.height = getInt(b, MODE_OFFSET_HEIGHT);
    for (int c = 0; c < WALL_CELLS; ++c)
        in.cells[c] = getScreen(b, MODE_OFFSET_CELLS + c * MODE_ENTRY_SIZE);
    for (int w = 0; w < kWallWins; ++w)
        in.wallWins[w] = decodeWinBlock(b + MODE_OFFSET_WALL_WINS + w * WIN_BLOCK_SIZE);
    in.curIndex = getInt(b, MODE_OFFSET_CUR_INDEX);
    in.uniWidth = getInt(b, MODE_OFFSET_UNI_WIDTH);
    in.uniHeight = getInt(b, MODE_OFFSET_UNI_HEIGHT);
    for (int s = 0; s < UNICAST_SLOTS; ++s)
        in.slots[s] = getScreen(b, MODE_OFFSET_SLOTS + s * MODE_ENTRY_SIZE);
    for (int w = 0; w < kUniWins; ++w)
        in.uniWins[w] = decodeWinBlock(b + MODE_OFFSET_UNI_WINS + w * WIN_BLOCK_SIZE);
    const VWin multicast = decodeWinBlock(b + MODE_OFFSET_MULTICAST);
    in.multicastUrl = multicast.url;
    in.multicastName = multicast.name;

    size_t at = MODE_BLOCK_SIZE;
    const size_t decoders = tableEntries(getBlockU32(b, MODE_OFFSET_DECODER_COUNT), len, at);
    for (size_t i = 0; i < decoders; ++i, at += MODE_ENTRY_SIZE)
        in.decoders.push_back(getDevice(b, static_cast<int>(at)));
    const size_t encoders = tableEntries(getBlockU32(b, MODE_OFFSET_ENCODER_COUNT), len, at);
    for (size_t i = 0; i < encoders; ++i, at += MODE_ENTRY_SIZE)
        in.encoders.push_back(getDevice(b, static_cast<int>(at)));
    snap = std::move(in);
    return ModeFileError::None;
}
