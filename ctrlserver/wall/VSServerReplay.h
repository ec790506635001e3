// What the preset and window-mode replays share: their decoder texts and the test of a
// window that changed on the decoder.
#pragma once

#include <string>

#include "core/WallRecords.h"

// The text of fmt, or empty when it would not fit a decoder text.
std::string vsReplayText(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Whether a decoder shows b differently from a: source, visibility or rectangle (and, with
// withUsed, whether the window is in use).
bool vsShownDiffers(const VWin& a, const VWin& b, bool withUsed);
