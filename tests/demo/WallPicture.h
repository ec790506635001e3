// The wall as a picture: the decoders' screens (binary PPM files, one per decoder, in cell
// order) laid out rows x columns at half size, with the bezels between them drawn as gaps, and
// written as a PNG.
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

// Lays out the screens; a screen that cannot be read stays black and is named in *note. The
// gaps are twice the bezel cut (both neighbours' edges), at the picture's half scale.
Picture composeWall(const std::vector<std::string>& screens, int rows, int columns, int horCut,
                    int verCut, std::string* note);

// Composes the wall once and writes it to every path given.
bool writeWallPicture(const std::vector<std::string>& screens, int rows, int columns, int horCut,
                      int verCut, const std::vector<std::string>& paths, std::string* note);

}  // namespace demo
