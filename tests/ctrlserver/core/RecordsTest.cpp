#include "core/Records.h"

#include <gtest/gtest.h>

namespace {

TEST(RecordsTest, NewRecordsAreZeroAndEmpty) {
    DevSerParam p;
    EXPECT_EQ(p.ip, "");
    EXPECT_EQ(p.name, "");
    EXPECT_EQ(p.hostname, "");
    EXPECT_EQ(p.bynetip, "");
    EXPECT_EQ(p.connect, "");
    for (int v : {p.dtype, p.baud, p.parity, p.stopbits, p.databits, p.bynetswitch, p.bynetmode})
        EXPECT_EQ(v, 0);
    SysInfo s;
    EXPECT_EQ(s.info + s.status + s.statistics, "");
    Param n;
    EXPECT_EQ(n.name + n.value, "");
}

TEST(RecordsTest, SysInfoCopyKeepsTheThreeTexts) {
    SysInfo s{"platform", "running", "stats"};
    SysInfo copy(s);
    EXPECT_EQ(copy.info, "platform");
    EXPECT_EQ(copy.status, "running");
    EXPECT_EQ(copy.statistics, "stats");
}

TEST(RecordsTest, ParamHoldsNameThenValue) {
    Param p{"luma", "50"};
    EXPECT_EQ(p.name, "luma");
    EXPECT_EQ(p.value, "50");
}

TEST(RecordsTest, DevSerParamFieldsInOrder) {
    DevSerParam p{"10.0.0.2", "alias", "host", 1, 9600, 1, 2, 7, 1, 3, "10.0.0.3", "peer"};
    EXPECT_EQ(p.ip, "10.0.0.2");
    EXPECT_EQ(p.name, "alias");
    EXPECT_EQ(p.hostname, "host");
    EXPECT_EQ(p.dtype, 1);
    EXPECT_EQ(p.baud, 9600);
    EXPECT_EQ(p.parity, 1);
    EXPECT_EQ(p.stopbits, 2);
    EXPECT_EQ(p.databits, 7);
    EXPECT_EQ(p.bynetswitch, 1);
    EXPECT_EQ(p.bynetmode, 3);
    EXPECT_EQ(p.bynetip, "10.0.0.3");
    EXPECT_EQ(p.connect, "peer");
}

}  // namespace
