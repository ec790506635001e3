// The wall as a picture: each decoder's screen (a binary PPM file) drawn at half size in the
// cell of the wall it hangs in, with the bezels between the screens drawn as gaps as wide as
// the wall's cut edge says they are, and written as a PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3
};

// Reads a binary PPM ("P6", maxval 255). False when the file is missing or not one.
bool readPpm(const std::string& path, Picture& out);

// Decodes an RGB PNG (as writePng makes them). False when the file is missing or not one.
bool readPng(const std::string& path, Picture& out);

// Encodes the picture as PNG into path (through a temporary file, so a reader never sees half
// a file). False with the reason in *why.
bool writePng(const Picture& p, const std::string& path, std::string* why);

// The wall as the controller holds it: the grid, the cut-edge values (0..8: a decoder hides 8
// output pixels per step at each inner edge of its screen, so a cut stands for a bezel as wide
// as what it hides) and the screen file of the decoder in each cell, in cell order ("" for a
// free cell).
struct WallLayout {
    int rows = 0, columns = 0;
    int horCut = 0, verCut = 0;
    std::vector<std::string> screens;
};

// Picture pixels of one screen (half of the 1920 x 1080 output).
const int kCellWidth = 960, kCellHeight = 540;

// Picture pixels between two neighbouring screens: both neighbours hide 8 x cut output pixels
// at their shared edge, which at half scale is 8 x cut.
int gapWidth(const WallLayout& wall);
int gapHeight(const WallLayout& wall);

// Lays out the screens; a free cell or a screen that cannot be read stays black and is named
// in *note.
Picture composeWall(const WallLayout& wall, std::string* note);

// Composes the wall once and writes it to every path given.
bool writeWallPicture(const WallLayout& wall, const std::vector<std::string>& paths,
                      std::string* note);

}  // namespace demo
