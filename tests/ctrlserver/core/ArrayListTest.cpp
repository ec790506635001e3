#include "core/ArrayList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Device.h"
#include "core/Records.h"
#include "core/WallRecords.h"

namespace {

struct Counted {
    explicit Counted(int v) : value(v) {}
    ~Counted() { ++destroyed; }
    int value;
    static int destroyed;
};
int Counted::destroyed = 0;

TEST(ArrayListTest, NewListIsEmpty) {
    ArrayList<Counted> list;
    EXPECT_EQ(list.count, 0);
    ASSERT_NE(list.head, nullptr);
    ASSERT_NE(list.tail, nullptr);
    EXPECT_EQ(list.head->next, list.tail);
    EXPECT_EQ(list.head->data, nullptr);
    EXPECT_EQ(list.tail->data, nullptr);
    EXPECT_EQ(list.tail->next, nullptr);
}

TEST(ArrayListTest, AddKeepsInsertionOrderBehindAnEmptyTail) {
    ArrayList<Counted> list;
    std::vector<Counted*> items = {new Counted(10), new Counted(20), new Counted(30)};
    for (Counted* c : items) list.add(c);
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(list.tail->data, nullptr);
    EXPECT_EQ(list.tail->next, nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list.get(i), items[i]) << i;
}

struct GetCase {
    int index;
    int want;  // value of the element, or -1 for none with the message
};
void PrintTo(const GetCase& c, std::ostream* os) {
    *os << "get(" << c.index << ")";
}

class ArrayListGetTest : public ::testing::TestWithParam<GetCase> {};

TEST_P(ArrayListGetTest, GetWalksOrReportsTheEnd) {
    ArrayList<Counted> list;
    for (int v : {10, 20, 30}) list.add(new Counted(v));
    testing::internal::CaptureStdout();
    Counted* c = list.get(GetParam().index);
    std::string out = testing::internal::GetCapturedStdout();
    if (GetParam().want < 0) {
        EXPECT_EQ(c, nullptr);
        EXPECT_EQ(out, "Index is too long!\n");
    } else {
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->value, GetParam().want);
        EXPECT_EQ(out, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Indices, ArrayListGetTest,
                         ::testing::Values(GetCase{0, 10}, GetCase{1, 20}, GetCase{2, 30},
                                           GetCase{3, -1}, GetCase{4, -1}, GetCase{1000, -1},
                                           GetCase{-1, -1}));

TEST(ArrayListTest, GetOnEmptyListReports) {
    ArrayList<Counted> list;
    testing::internal::CaptureStdout();
    EXPECT_EQ(list.get(0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Index is too long!\n");
}

TEST(ArrayListTest, DestructorFreesEveryElement) {
    Counted::destroyed = 0;
    {
        ArrayList<Counted> list;
        for (int v = 0; v < 5; ++v) list.add(new Counted(v));
    }
    EXPECT_EQ(Counted::destroyed, 5);
}

TEST(ArrayListTest, DeviceListMayHoldDerivedRecords) {
    // Deleting an Encoder through a Device pointer must be clean (checked by the sanitizers).
    ArrayList<Device> list;
    Encoder* e = new Encoder;
    e->url0 = std::string(100, 'u');
    list.add(e);
    list.add(new Decoder);
    list.add(new Controller);
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(list.get(1)->dtype, DTYPE_DECODER);
}

// Every record type the controller hands around in a list.
template <typename T>
void addTwo() {
    ArrayList<T> list;
    list.add(new T());
    list.add(new T());
    EXPECT_EQ(list.count, 2);
    EXPECT_NE(list.get(1), nullptr);
}

TEST(ArrayListTest, InstantiatesForEveryRecord) {
    addTwo<Device>();
    addTwo<Encoder>();
    addTwo<Decoder>();
    addTwo<Controller>();
    addTwo<Param>();
    addTwo<SysInfo>();
    addTwo<DevSerParam>();
    addTwo<VWin>();
    addTwo<VScreen>();
    addTwo<VSence>();
    addTwo<VSenceScreen>();
    addTwo<Unicast>();
    addTwo<HVratio>();
    addTwo<VWMode>();
    addTwo<Matrix_MV>();
    addTwo<Matrix_MV_plus_WIN>();
}

}  // namespace
