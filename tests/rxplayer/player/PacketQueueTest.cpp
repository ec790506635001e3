#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "DecodeState.h"

namespace {

const int kNode = static_cast<int>(sizeof(MyAVPacketList));

AVPacket* packetOf(int size, uint8_t fill) {
    AVPacket* p = av_packet_alloc();
    av_new_packet(p, size);
    memset(p->data, fill, size);
    return p;
}

class PacketQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        initFlushPacket();
        packet_queue_init(&q);
        out = av_packet_alloc();
    }
    void TearDown() override {
        packet_queue_abort(&q);
        packet_queue_end(&q);
        av_packet_free(&out);
    }
    PacketQueue q;
    AVPacket* out = nullptr;
};

TEST_F(PacketQueueTest, FreshQueueHoldsTheFlushMarkerThenPacketsInOrderWithOwnCopies) {
    EXPECT_EQ(q.nb_packets, 1);
    EXPECT_EQ(q.size, kNode);

    AVPacket* a = packetOf(100, 0xaa);
    AVPacket* b = packetOf(7, 0xbb);
    ASSERT_EQ(packet_queue_put(&q, a), 0);
    ASSERT_EQ(packet_queue_put(&q, b), 0);
    // The queue owns copies: the producer may reuse its packets at once.
    av_packet_free(&a);
    av_packet_free(&b);
    EXPECT_EQ(q.nb_packets, 3);
    EXPECT_EQ(q.size, 3 * kNode + 107);

    ASSERT_EQ(packet_queue_get(&q, out, 0), 1);
    EXPECT_EQ(out->data, flush_pkt->data);
    ASSERT_EQ(packet_queue_get(&q, out, 0), 1);
    ASSERT_EQ(out->size, 100);
    EXPECT_EQ(out->data[99], 0xaa);
    ASSERT_EQ(packet_queue_get(&q, out, 0), 1);
    EXPECT_EQ(out->size, 7);
    av_packet_unref(out);
    EXPECT_EQ(q.nb_packets, 0);
    EXPECT_EQ(q.size, 0);

    // Empty and non-blocking: 0 at once.
    EXPECT_EQ(packet_queue_get(&q, out, 0), 0);
}

TEST_F(PacketQueueTest, AbortedQueueGivesMinusOneEvenWithPacketsQueued) {
    AVPacket* a = packetOf(10, 1);
    ASSERT_EQ(packet_queue_put(&q, a), 0);
    av_packet_free(&a);
    packet_queue_abort(&q);
    EXPECT_EQ(packet_queue_get(&q, out, 0), -1);
    EXPECT_EQ(packet_queue_get(&q, out, 1), -1);
}

TEST_F(PacketQueueTest, FullQueueRefusesAndTakesNothing) {
    AVPacket* empty = av_packet_alloc();
    for (int i = 1; i < PACKET_QUEUE_MAX_PACKETS; i++) ASSERT_EQ(packet_queue_put(&q, empty), 0);
    ASSERT_EQ(q.nb_packets, PACKET_QUEUE_MAX_PACKETS);
    int size = q.size;
    AVPacket* big = packetOf(1000, 2);
    EXPECT_EQ(packet_queue_put(&q, big), -1);
    EXPECT_EQ(packet_queue_put(&q, empty), -1);
    EXPECT_EQ(q.nb_packets, PACKET_QUEUE_MAX_PACKETS);
    EXPECT_EQ(q.size, size);
    // Room again after a take.
    ASSERT_EQ(packet_queue_get(&q, out, 0), 1);
    EXPECT_EQ(packet_queue_put(&q, big), 0);
    av_packet_free(&big);
    av_packet_free(&empty);

    packet_queue_flush(&q);
    EXPECT_EQ(q.nb_packets, 0);
    EXPECT_EQ(q.size, 0);
}

TEST_F(PacketQueueTest, BlockingTakeWakesOnPutAndOnAbort) {
    int got = 99;
    std::thread taker([&] { got = packet_queue_get(&q, out, 1) + packet_queue_get(&q, out, 1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    AVPacket* a = packetOf(5, 3);
    ASSERT_EQ(packet_queue_put(&q, a), 0);
    av_packet_free(&a);
    taker.join();
    EXPECT_EQ(got, 2);
    av_packet_unref(out);

    std::thread waiter([&] { got = packet_queue_get(&q, out, 1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    packet_queue_abort(&q);
    waiter.join();
    EXPECT_EQ(got, -1);
}

TEST(SubtitleThread, EndsWhenItsComponentIsClosedWhileItWaits) {
    initFlushPacket();
    VideoState* is = stream_open();
    ASSERT_NE(is, nullptr);
    packet_queue_init(&is->subtitleq);
    is->subtitle_tid = SDL_CreateThread(subtitle_thread, is);
    ASSERT_NE(is->subtitle_tid, nullptr);
    // It takes the flush marker, then waits in a blocking take.
    for (int i = 0; i < 200 && is->subtitleq.nb_packets > 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(is->subtitleq.nb_packets, 0);
    packet_queue_abort(&is->subtitleq);
    SDL_WaitThread(is->subtitle_tid, nullptr);
    is->subtitle_tid = nullptr;
    packet_queue_end(&is->subtitleq);
    delete is;
}

}  // namespace
