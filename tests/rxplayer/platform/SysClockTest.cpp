// The system clock call of the stand-in: recorded in the state and its snapshot, never made.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cerrno>
#include <ctime>

#include "SimControl.h"
#include "qel_sys.h"

namespace {

TEST(SysClock, SetsAreRecordedNotMade) {
    unsetenv("QEL_ROOT");
    qelsim::reset();
    struct timeval tv {};
    tv.tv_sec = 3000000;
    tv.tv_usec = 123000;
    EXPECT_EQ(qelSys_settimeofday(&tv), 0);
    tv.tv_sec = 1000;
    tv.tv_usec = 88000;
    EXPECT_EQ(qelSys_settimeofday(&tv), 0);
    errno = 0;
    EXPECT_EQ(qelSys_settimeofday(nullptr), -1);
    EXPECT_EQ(errno, EFAULT);

    qelsim::State st = qelsim::state();
    EXPECT_EQ(st.clock.sets, 2);
    EXPECT_EQ(st.clock.sec, 1000);
    EXPECT_EQ(st.clock.usec, 88000);
    EXPECT_GT(time(nullptr), 1600000000);

    Json::Value v;
    Json::Reader reader;
    ASSERT_TRUE(reader.parse(qelsim::snapshotJson(), v));
    EXPECT_EQ(v["clock"]["sets"].asInt(), 2);
    EXPECT_EQ(v["clock"]["sec"].asInt64(), 1000);
    EXPECT_EQ(v["clock"]["usec"].asInt64(), 88000);

    qelsim::failCall("qelSys_settimeofday", EPERM, 1);
    EXPECT_EQ(qelSys_settimeofday(&tv), -1);
    EXPECT_EQ(errno, EPERM);
    qelsim::reset();
    EXPECT_EQ(qelsim::state().clock.sets, 0);
}

}  // namespace
