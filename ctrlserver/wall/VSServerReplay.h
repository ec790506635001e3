// What the preset and window-mode replays share: the test of a window that changed on the
// decoder.
#pragma once

#include <string>

#include "core/WallRecords.h"

// Whether a decoder shows b differently from a: source, visibility or rectangle (and, with
// withUsed, whether the window is in use).
bool vsShownDiffers(const VWin& a, const VWin& b, bool withUsed);
