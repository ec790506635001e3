// The window, sync and loss commands of rxplayer_playerdrive, and its watch tick.
#pragma once

#include <string>

// Answers one of the commands below into reply; false when line is none of them.
//   "show W URL F"             -> "show W RC MS"     qelShow(W, URL, F), MS milliseconds taken
//   "qstop W"                  -> "qstop W RC MS"    qelStop(W)
//   "clip W xs xe ys ye L S"   -> "clip W RC"        qelClipWin
//   "split N L"                -> "split N RC"       qelSetSplitPara(N, L) when the layout differs
//   "sync W BASE OFFSET"       -> "sync W RC ADJUST" qelSetSync; ADJUST the slot's flag after it
//   "syncmode M"               -> "syncmode M 0"     qelSetSyncClose(M)
//   "syncoffset W V"           -> "syncoffset W RC"  qelSetSyncOffset(W, V)
//   "disp W"                   -> "disp W VOPTS CURPTS MONO_US": the time stamp output channel W
//                                 shows, the platform clock and the monotonic clock, microseconds
bool handleWindowCommand(const char* line, std::string* reply);

// The main loop's check of playing windows (every 5 s with --watch): loss detection, then every
// slot that "show" gave a URL, that is its window's active slot and that does not play is
// reopened, with the loss picture when that fails.
void watchTick();
