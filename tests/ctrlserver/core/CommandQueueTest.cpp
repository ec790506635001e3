#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/CommandQueue.h"

namespace {

void add(CommandQueue& q, const std::string& s) {
    q.AddNode(reinterpret_cast<unsigned char*>(const_cast<char*>(s.data())),
              static_cast<int>(s.size()));
}

// Takes one entry as text; "<empty>" when nothing was taken.
std::string take(CommandQueue& q) {
    std::vector<unsigned char> buf(QEL_MAX_ENTRY);
    CommandQueueNode out{buf.data(), -1, nullptr, QEL_MAX_ENTRY};
    if (q.DelNode(out) == 0) return "<empty>";
    return std::string(reinterpret_cast<char*>(buf.data()), out.size);
}

TEST(CommandQueue, EmptyTakeLeavesTheOutRecordAlone) {
    CommandQueue q;
    unsigned char buf[8] = {'x'};
    CommandQueueNode out{buf, 42, nullptr, sizeof buf};
    EXPECT_EQ(q.DelNode(out), 0);
    EXPECT_EQ(out.size, 42);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(q.IsEmpty(), 1);
    EXPECT_EQ(q.QueueLength(), 0);
}

TEST(CommandQueue, EntriesComeOutInOrderAndTheQueueRefillsAfterEmptying) {
    CommandQueue q;
    add(q, "7|config get devices");
    add(q, "");
    add(q, "8|vw add 1");
    EXPECT_EQ(q.QueueLength(), 3);
    EXPECT_EQ(take(q), "7|config get devices");
    EXPECT_EQ(take(q), "");  // a zero-length entry is an entry like any other
    EXPECT_EQ(take(q), "8|vw add 1");
    EXPECT_EQ(take(q), "<empty>");
    add(q, "again");
    EXPECT_EQ(q.IsEmpty(), 0);
    EXPECT_EQ(take(q), "again");
}

TEST(CommandQueue, BlocksAreCopiedWithoutATerminatingZero) {
    CommandQueue q;
    add(q, "abc");
    unsigned char buf[8];
    memset(buf, 'z', sizeof buf);
    CommandQueueNode out{buf, 0, nullptr, sizeof buf};
    ASSERT_EQ(q.DelNode(out), 1);
    EXPECT_EQ(out.size, 3);
    EXPECT_EQ(buf[3], 'z');
}

TEST(CommandQueue, OversizeEntriesNeverOverrunABuffer) {
    CommandQueue q;
    std::string big(QEL_MAX_ENTRY + 1, 'a');
    add(q, big);  // refused at the door
    EXPECT_EQ(q.IsEmpty(), 1);

    std::string full(QEL_MAX_ENTRY, 'b');
    add(q, full);
    EXPECT_EQ(take(q), full);

    // A caller with a smaller buffer never gets more than it can hold.
    add(q, "0123456789");
    unsigned char small[4];
    CommandQueueNode out{small, 0, nullptr, sizeof small};
    EXPECT_EQ(q.DelNode(out), 0);
    EXPECT_EQ(q.IsEmpty(), 1);
}

TEST(CommandQueue, ManyProducersKeepEachProducersOrder) {
    CommandQueue q;
    const int producers = 4, perProducer = 500;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&q, p] {
            for (int i = 0; i < perProducer; ++i)
                add(q, std::to_string(p) + "|" + std::to_string(i));
        });
    for (auto& t : threads) t.join();
    std::vector<int> next(producers, 0);
    for (int n = 0; n < producers * perProducer; ++n) {
        std::string e = take(q);
        size_t bar = e.find('|');
        ASSERT_NE(bar, std::string::npos) << e;
        int p = std::stoi(e.substr(0, bar));
        EXPECT_EQ(std::stoi(e.substr(bar + 1)), next[p]++);
    }
    EXPECT_EQ(take(q), "<empty>");
}

TEST(CommandQueue, LengthAndEmptinessCanBeAskedWhileOthersAddAndTake) {
    // The command thread polls IsEmpty and tests poll QueueLength while front ends add and a
    // consumer frees entries; the sanitizer build sees a walk into a freed node.
    CommandQueue q;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (int i = 0; i < 20000; ++i) add(q, "entry");
        done = true;
    });
    std::thread consumer([&] {
        while (!done || q.IsEmpty() == 0) take(q);
    });
    int longest = 0;
    while (!done) {
        int n = q.QueueLength();
        ASSERT_GE(n, 0);
        if (n > longest) longest = n;
        q.IsEmpty();
    }
    producer.join();
    consumer.join();
    EXPECT_LE(longest, 20000);
    EXPECT_EQ(q.QueueLength(), 0);
}

TEST(CommandQueue, ClearAndDestroyFreeEveryEntry) {
    // The leak checker of the sanitizer build sees any entry left behind.
    CommandQueue q;
    for (int i = 0; i < 10; ++i) add(q, "entry");
    q.ClearQueue();
    EXPECT_EQ(q.IsEmpty(), 1);
    add(q, "after clear");
    EXPECT_EQ(take(q), "after clear");
    auto* doomed = new CommandQueue();
    for (int i = 0; i < 10; ++i) add(*doomed, "left over");
    delete doomed;
}

TEST(CommandQueue, AnEntryAddedWakesTheWaiterAndAWakeUpGivenEarlyIsKept) {
    CommandQueue q;
    auto signal = std::make_shared<QueueSignal>();
    q.SetSignal(signal);
    EXPECT_FALSE(signal->wait(0));  // nothing added yet

    // Added before the wait starts (the waiter was busy): the wait returns at once.
    add(q, "early");
    EXPECT_TRUE(signal->wait(0));
    EXPECT_FALSE(signal->wait(0));  // taken by the wait above

    // Added while the thread waits: it wakes long before its (generous) limit.
    std::thread producer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        add(q, "late");
    });
    EXPECT_TRUE(signal->wait(20000));
    producer.join();

    q.SetSignal(nullptr);
    add(q, "unwatched");
    EXPECT_FALSE(signal->wait(0));
    EXPECT_EQ(q.QueueLength(), 3);
}

}  // namespace
