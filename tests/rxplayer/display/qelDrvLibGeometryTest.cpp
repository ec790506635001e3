#include <gtest/gtest.h>

#include "display/qelDrvLibGeometry.h"

using qelgeo::CropAxis;
using qelgeo::WinRect;

namespace {

struct OverlapCase {
    const char* what;
    WinRect a;
    WinRect b;
    bool overlap;
};

TEST(qelDrvLibGeometry, OverlapRule) {
    const OverlapCase cases[] = {
        {"shared vertical edge", {0, 0, 960, 540}, {960, 0, 1920, 540}, false},
        {"shared horizontal edge", {0, 0, 960, 540}, {0, 540, 960, 1080}, false},
        {"touching corners", {0, 0, 960, 540}, {960, 540, 1920, 1080}, false},
        {"apart", {0, 0, 480, 270}, {1440, 810, 1920, 1080}, false},
        {"identical", {0, 0, 480, 270}, {0, 0, 480, 270}, true},
        {"full screen over a quarter", {0, 0, 1920, 1080}, {960, 0, 1920, 540}, true},
        {"corners inside each other", {0, 0, 1000, 600}, {900, 500, 1920, 1080}, true},
        {"cross without corners inside", {0, 400, 1920, 600}, {800, 0, 1000, 1080}, true},
        {"strictly inside", {100, 100, 200, 200}, {0, 0, 1920, 1080}, true},
        {"same columns, reaching down", {0, 0, 960, 600}, {0, 540, 960, 1080}, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(qelgeo::windowsOverlap(c.a, c.b), c.overlap) << c.what;
        EXPECT_EQ(qelgeo::windowsOverlap(c.b, c.a), c.overlap) << c.what << " (exchanged)";
    }
}

struct CropCase {
    const char* what;
    int source, start, stop, extent, cut;
    CropAxis want;
};

TEST(qelDrvLibGeometry, ScalerCropPerAxis) {
    const CropCase cases[] = {
        {"plain half", 1920, 0, 50, 960, 0, {0, 960}},
        {"plain full height rounds to 16", 1080, 0, 100, 1080, 0, {0, 1072}},
        {"whole axis with a cut is not cut", 1920, 0, 100, 1920, 8, {0, 1920}},
        {"near edge, cut 8", 1920, 0, 50, 960, 8, {8, 944}},
        {"far edge, cut 8", 1920, 50, 100, 960, 8, {968, 944}},
        {"inner tile, cut 8", 1920, 25, 75, 960, 8, {488, 944}},
        {"near edge, cut 64", 1920, 0, 50, 960, 64, {0, 896}},
        {"far edge, cut 64", 1920, 50, 100, 960, 64, {1024, 896}},
        {"inner tile, cut 64", 1920, 25, 75, 960, 64, {544, 832}},
        {"never narrower than 32", 176, 0, 10, 96, 8, {8, 32}},
        {"zero display extent uses the plain crop", 1920, 0, 50, 0, 8, {0, 960}},
        // A huge picture in a 1-pixel window: the cut dwarfs the picture, so the crop keeps
        // only its 32-pixel minimum. (Such a size never comes from a stream: it is refused
        // before it is stored.)
        {"huge source, near edge", 1 << 30, 0, 50, 1, 64, {0, 32}},
    };
    for (const auto& c : cases) {
        CropAxis got = qelgeo::cutEdgeCrop(c.source, c.start, c.stop, c.extent, c.cut, 0, true);
        EXPECT_EQ(got.offset, c.want.offset) << c.what;
        EXPECT_EQ(got.length, c.want.length) << c.what;
    }
}

}  // namespace
