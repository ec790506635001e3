// The soak's verdicts on samples and replies: each can fail.
#include <gtest/gtest.h>

#include "SoakChecks.h"

namespace {

struct Series {
    const char* what;
    std::vector<long> kb;
    bool grows;
};

TEST(SoakChecks, MemoryRisingAtMostSamplesAfterTheWarmUpIsFlagged) {
    const Series cases[] = {
        // A decoder seen rising at every sample, 82.9 MB to 92.0 MB, within any 16 MB slack.
        {"steady rise", {82900, 84100, 85600, 86900, 88400, 89800, 91000, 92000}, true},
        {"rise at most samples", {50000, 51000, 50900, 52400, 53900, 55200, 55100, 56800}, true},
        {"start-up, then flat", {20000, 60000, 60100, 60050, 60120, 60080, 60100}, false},
        {"wanders up and down", {60000, 61000, 60200, 61100, 60300, 61000, 60400}, false},
        {"page noise", {60000, 60010, 60040, 60090, 60120, 60160, 60200}, false},
        {"too few samples", {10000, 20000, 30000}, false},
    };
    for (const Series& s : cases) EXPECT_EQ(soak::rises(s.kb, 64, 1024), s.grows) << s.what;
}

TEST(SoakChecks, AnAcknowledgementAnswersOnlyItsOwnCommand) {
    EXPECT_TRUE(
        soak::answers("config set vs split params 1 4 0", "config set vs split params 1 4 0"));
    EXPECT_TRUE(soak::answers("config get decoders", "config get decoders;"));
    EXPECT_TRUE(soak::answers("config set login", "config set login vorpl"));
    EXPECT_FALSE(
        soak::answers("config set vs split params 1 1 0", "config set vs split params 1 4 0"));
    EXPECT_FALSE(soak::answers("config get vs all params", "config get vs all wins"));
    EXPECT_FALSE(soak::answers("config get vs screen", "config get vs screenx"));
    EXPECT_FALSE(soak::answers("", "config get login"));
}

}  // namespace
