// The stand-in's call record: what it keeps, and that logging takes no memory once it is made.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "SimCallLog.h"
#include "support/AllocationHook.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

// Counts the allocations made while `counting` is on.
bool qeltest::allowAllocation() {
    if (counting) ++allocations;
    return true;
}

namespace {

using qelsim::detail::CallLog;
using Texts = std::vector<std::string>;

TEST(SimCallLog, KeepsNewestCallsAndFirstNamesAndFailures) {
    CallLog log(3, 16);
    log.add("HI_MPI_VDEC_SendStream", "0,100");
    log.addFailure("HI_MPI_VO_EnableChn", static_cast<int32_t>(0xA00F8006u));
    log.add("open:/dev/fb0", "0x2");
    log.add("HI_MPI_VO_EnableChn", std::string(100, 'x'));  // longer than the room
    log.add("HI_MPI_VDEC_SendStream", "1,200");
    log.addFailure("close:/dev/fb0", 9);
    log.addFailure("a", 1);
    log.addFailure("b", 0);  // past the capacity: not kept

    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(log.calls(),
              (Texts{"open:/dev/fb0(0x2)", "HI_MPI_VO_EnableChn(" + std::string(100, 'x') + ")",
                     "HI_MPI_VDEC_SendStream(1,200)"}));
    EXPECT_EQ(log.names(),
              (Texts{"HI_MPI_VDEC_SendStream", "open:/dev/fb0", "HI_MPI_VO_EnableChn"}));
    EXPECT_EQ(log.failures(),
              (Texts{"HI_MPI_VO_EnableChn=0xa00f8006", "close:/dev/fb0=0x9", "a=0x1"}));

    log.clear();
    EXPECT_EQ(log.size(), 0u);
    EXPECT_TRUE(log.calls().empty());
    EXPECT_TRUE(log.names().empty());
    EXPECT_TRUE(log.failures().empty());
    log.add("x", "");
    log.addFailure("x", 0);
    EXPECT_EQ(log.calls(), Texts{"x()"});
    EXPECT_EQ(log.names(), Texts{"x"});
    EXPECT_EQ(log.failures(), Texts{"x=0"});
}

// A long-running program logs a call for every packet: filling the record many times over must
// not take memory, or the program's memory creeps up until the record is full.
TEST(SimCallLog, LoggingTakesNoMemoryOnceMade) {
    const std::string name = "HI_MPI_VDEC_SendStream_with_a_long_name";
    const char* other = "HI_MPI_VDEC_Query_with_a_long_name_too";
    const std::string args = "17,0x00123456,1920,1080,40000,123456789";
    CallLog log(1000, 48);
    log.add(name, args);  // the names are learnt once
    log.add(other, args);
    log.addFailure(name, -1);
    log.clear();
    allocations = 0;
    counting = true;
    for (int i = 0; i < 10000; ++i) {
        // The same call over and over, and two calls in turn, by a name given either way.
        log.add(name, args);
        log.add(name, args);
        log.add(other, args.c_str());
        log.addFailure(name, i);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(log.size(), 1000u);
    EXPECT_EQ(log.names().size(), 1000u);
    EXPECT_EQ(log.failures().size(), 1000u);
    const Texts calls = log.calls();
    EXPECT_EQ(calls.back(), other + std::string("(") + args + ")");
    EXPECT_EQ(calls[calls.size() - 2], name + "(" + args + ")");
}

}  // namespace
