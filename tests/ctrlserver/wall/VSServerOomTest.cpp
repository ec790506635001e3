// Running out of memory while the model is built: createNew gives null, what was built is
// freed (the leak checker of the sanitizer build sees the rest) and no file is written.
#include "WallModelFixture.h"
#include "support/AllocationHook.h"

namespace {

// Allocations of this thread only: the device server's thread keeps its memory. 64 bits on
// every target: a long of 32 bits (ARM) cannot hold the "never" of the first count.
thread_local long long tFailAt = -1;  // the allocation that fails, counted from 0; -1: none
thread_local long long tCount = 0;

}  // namespace

bool qeltest::allowAllocation() {
    return !(tFailAt >= 0 && tCount++ == tFailAt);
}

TEST_F(WallModelTest, OutOfMemoryGivesNoModelAndWritesNothing) {
    start();
    model.reset();
    const std::map<std::string, FileState> files = modelFiles();

    // How many allocations a whole build makes.
    tCount = 0;
    tFailAt = 1LL << 40;
    VSServer* whole = VSServer::createNew(*env, *server);
    const long long total = tCount;
    tFailAt = -1;
    ASSERT_TRUE(whole);
    delete whole;

    for (long long at : {0LL, 1LL, 2LL, 50LL, total / 3, total / 2, total - 1}) {
        SCOPED_TRACE(at);
        tCount = 0;
        tFailAt = at;
        VSServer* m = VSServer::createNew(*env, *server);
        tFailAt = -1;
        EXPECT_EQ(m, nullptr);
        delete m;
        EXPECT_EQ(modelFiles(), files);
    }
}
