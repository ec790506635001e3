// Window geometry of the display pipeline as plain arithmetic: the overlap rule between two
// window rectangles and the scaler crop of one axis, with or without the bezel cut.
#pragma once

namespace qelgeo {

// A window on the output: left, top, right and bottom edges (right and bottom exclusive).
struct WinRect {
    int left;
    int top;
    int right;
    int bottom;
};

// True when the two rectangles overlap. Windows that only share an edge do not overlap;
// identical rectangles do.
bool windowsOverlap(const WinRect& c, const WinRect& k);

// One axis of a scaler crop: offset and extent in source pixels.
struct CropAxis {
    int offset;
    int length;
};

// Position of p percent of a source extent, rounded down to a multiple of 16.
int clipPos(int sourceSize, int percent);

// The plain crop of one axis: from P(start) to P(stop).
CropAxis plainCrop(int sourceSize, int clipStart, int clipStop);

// The crop of one axis with a bezel cut of cutEdge (0..64) on the inner edges of a source
// picture spread over several screens. displayExtent is the window's extent on the output;
// an extent of 0 or less falls back to the plain crop. win and horizontal only choose the words
// of the diagnostic lines.
CropAxis cutEdgeCrop(int sourceSize, int clipStart, int clipStop, int displayExtent, int cutEdge,
                     int win, bool horizontal);

}  // namespace qelgeo
