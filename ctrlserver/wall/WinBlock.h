// The 204-byte window block: how one window record is stored in its block file (and inside
// the window-mode files). Little-endian, no header, no gaps:
//   0 win, 4 winId, 8 used, 12 layer, 16 visible, 20 hStart, 24 hEnd, 28 vStart, 32 vEnd
//   (32-bit each), 36 url (128 bytes), 164 name (40 bytes), both zero-terminated and
//   zero-filled after the text.
#pragma once

#include <cstdint>
#include <string>

#include "core/WallRecords.h"

const int WIN_BLOCK_SIZE = 204;
const int WIN_BLOCK_URL = 36;
const int WIN_BLOCK_URL_SIZE = 128;
const int WIN_BLOCK_NAME = 164;
const int WIN_BLOCK_NAME_SIZE = 40;

uint32_t getBlockU32(const unsigned char* block, int offset);
void putBlockU32(unsigned char* block, int offset, uint32_t value);

// Fills block (WIN_BLOCK_SIZE bytes) from win. A text too long for its field is cut to 127 or
// 39 bytes, never inside a UTF-8 sequence, and always keeps its terminating zero.
void encodeWinBlock(const VWin& win, unsigned char* block);
// The record a block holds: the flag words cut to their byte, each text up to its first zero
// or the field's last byte.
VWin decodeWinBlock(const unsigned char* block);
// Whether two blocks store the same window: the nine words equal and the texts equal up to
// their terminating zeros (bytes behind them do not count).
bool sameWinBlock(const unsigned char* a, const unsigned char* b);

// The length text may keep in a field of size bytes with its terminating zero: at most
// size - 1 bytes, up to an embedded zero, and never ending inside a UTF-8 sequence.
size_t winBlockTextLength(const std::string& text, size_t size);
