// A full wall model for tests and benchmarks: every window of every family with a source
// (127-byte url, 39-byte name), 4 x 4 live and scene walls with every cell and display set,
// 200 unicast slots, the aspect ratio, the multicast source and the window-mode count. The
// values follow fixed patterns, so a loaded model can be checked against them.
#pragma once

#include <string>

#include "wall/VSServer.h"

namespace wallgen {

// Families of windows.
enum Family { LIVE = 0, UNICAST = 1, SCENE = 2, DISPLAY = 3 };

// The window record the full model holds (s and p count only for SCENE and DISPLAY).
VWin window(Family f, int s, int p, int w);

// Writes every key file and block file of the full model under the box root root (which
// need not exist yet). False with a reason when a file cannot be written.
bool writeFiles(const std::string& root, std::string* error);

// Puts the full model into a running model: records set and saved through its own stores and
// block saves, as the handlers would.
void fill(VSServer& model);

// The values of the key files.
const int GRID = 4;  // rows and columns of the live wall and of every scene wall
const int UNICAST_CURRENT = 7;
std::string cellIp(int family, int s, int p, int c);
std::string cellName(int family, int s, int p, int c);
int cellSplit(int c);  // 1, 4 or 5

}  // namespace wallgen
