// How the two command ports cut what a client sends into queue entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CommandQueue.h"
#include "intake/NetServer.h"
#include "intake/network_interface.h"

namespace {

std::vector<std::string> drain(CommandQueue& q) {
    std::vector<std::string> out;
    std::vector<unsigned char> buf(QEL_MAX_ENTRY);
    CommandQueueNode node{buf.data(), 0, nullptr, QEL_MAX_ENTRY};
    while (q.DelNode(node) == 1) out.emplace_back(reinterpret_cast<char*>(buf.data()), node.size);
    return out;
}

struct SplitCase {
    int opcode;
    std::string payload;
    std::vector<std::string> entries;
};

TEST(WebFrames, PrefixOfThePayloadThenEveryPiece) {
    const SplitCase cases[] = {
        {1, "config get devices;vw add 1", {"7|config get devices", "7|vw add 1"}},
        {1, "hello;config get devices", {}},
        {1, "config get devices;hello", {"7|config get devices", "7|hello"}},
        {1, "config a;;vw b;", {"7|config a", "7|vw b"}},
        {1, "mv", {}},
        {1, "vwx", {"7|vwx"}},
        {1, "configure", {"7|configure"}},
        {1, "update data block 1 abc", {"7|update data block 1 abc"}},
        {2, "config binary", {}},
        {8, "config close", {}},
        {0, "config continuation", {}},
        {1, std::string("config\0nul", 10), {std::string("7|config\0nul", 12)}},
    };
    for (const SplitCase& c : cases) {
        CommandQueue q;
        Network_Interface::handleFrame(q, 7, c.opcode, c.payload.data(),
                                       static_cast<int>(c.payload.size()));
        EXPECT_EQ(drain(q), c.entries) << c.payload;
    }
}

TEST(WebFrames, PayloadTooLongForAnEntryIsDropped) {
    CommandQueue q;
    const std::string fits = "config " + std::string(QEL_MAX_ENTRY - 7 - 3, 'x');
    const std::string over = fits + "x";
    Network_Interface::handleFrame(q, 12, 1, fits.data(), static_cast<int>(fits.size()));
    Network_Interface::handleFrame(q, 12, 1, over.data(), static_cast<int>(over.size()));
    const std::vector<std::string> got = drain(q);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].size(), static_cast<size_t>(QEL_MAX_ENTRY));
}

TEST(TextPort, EveryPieceIsTestedByItself) {
    const SplitCase cases[] = {
        {0, "config get devices;foo;vw add 1", {"5|config get devices", "5|vw add 1"}},
        {0, "hello;config get devices", {"5|config get devices"}},
        {0, "mv", {"5|mv"}},
        {0, "m", {}},
        {0, "config get devices\n", {"5|config get devices\n"}},
        {0, ";;scene 1;;ipc x;", {"5|scene 1", "5|ipc x"}},
        {0, std::string("vw 1\0;config x", 14), {"5|vw 1"}},
    };
    for (const SplitCase& c : cases) {
        CommandQueue q;
        NetServer::queueClientData(q, 5, c.payload.data(), static_cast<int>(c.payload.size()));
        EXPECT_EQ(drain(q), c.entries) << c.payload;
    }
}

// A client's stream read by read: commands ended by ';' go at once, the rest waits for the
// read that brings its end.
TEST(TextPort, UnfinishedTextWaitsForTheNextRead) {
    struct Reads {
        std::vector<std::string> reads;
        std::vector<std::string> entries;
        std::string left;
    };
    const std::string big = "update data block 7 " + std::string(30000, 'f');
    const Reads cases[] = {
        {{"config get dev", "ices;vw 1"}, {"5|config get devices"}, "vw 1"},
        {{"config a;\r\n", "config b;\n"}, {"5|config a", "5|config b"}, ""},
        {{big.substr(0, 4096), big.substr(4096, 4096), big.substr(8192) + ";"}, {"5|" + big}, ""},
        {{"foo", "bar;mv;"}, {"5|mv"}, ""},
        {{std::string("vw 1\0junk", 9), ";"}, {"5|vw 1"}, ""},
    };
    for (const Reads& c : cases) {
        CommandQueue q;
        NetServer::ClientText text;
        for (const std::string& r : c.reads)
            NetServer::takeClientData(q, 5, text, r.data(), static_cast<int>(r.size()));
        EXPECT_EQ(drain(q), c.entries) << c.reads[0];
        EXPECT_EQ(text.pending, c.left) << c.reads[0];
    }
    // A command past the entry bound is dropped whole, up to its ';', and the next one is kept.
    CommandQueue q;
    NetServer::ClientText text;
    const std::string chunk = "config " + std::string(4089, 'c');
    for (int i = 0; i * 4096 <= QEL_MAX_ENTRY + 4096; ++i)
        NetServer::takeClientData(q, 5, text, chunk.data(), static_cast<int>(chunk.size()));
    EXPECT_LT(text.pending.size(), static_cast<size_t>(QEL_MAX_ENTRY));
    const std::string end = "config tail;vw next;";
    NetServer::takeClientData(q, 5, text, end.data(), static_cast<int>(end.size()));
    EXPECT_EQ(drain(q), std::vector<std::string>{"5|vw next"});
}

// A reply belongs to the connection whose command the command thread took last for that socket;
// a slow reply of a closed connection never reaches the next one on the same socket.
TEST(ReplyRoutes, ReplyOfAClosedConnectionIsNotGivenToTheNextOnTheSameSocket) {
    CommandQueue q;
    ReplyRoutes routes;
    const unsigned long first = routes.nextSerial(), second = routes.nextSerial();
    NetServer::queueClientData(q, 9, "config slow;", 12, CommandSource{&routes, first});
    ASSERT_EQ(drain(q).size(), 1u);  // the command thread takes it and works on it
    EXPECT_TRUE(routes.belongs(9, first, q.QueueLength()));
    // The first client leaves; the next one gets socket 9 and sends a command of its own.
    NetServer::queueClientData(q, 9, "config fast;", 12, CommandSource{&routes, second});
    EXPECT_FALSE(routes.belongs(9, second, q.QueueLength())) << "the slow reply reached it";
    ASSERT_EQ(drain(q).size(), 1u);
    EXPECT_TRUE(routes.belongs(9, second, q.QueueLength()));
    EXPECT_FALSE(routes.belongs(9, first, q.QueueLength()));
    // A socket with no command on record keeps its replies, as do other sockets.
    EXPECT_TRUE(routes.belongs(4, second, q.QueueLength()));

    // The web port notes its commands the same way.
    Network_Interface::handleFrame(q, 4, 1, "vw 1;vw 2", 9, CommandSource{&routes, first});
    EXPECT_EQ(drain(q).size(), 2u);
    EXPECT_TRUE(routes.belongs(4, first, q.QueueLength()));
    EXPECT_FALSE(routes.belongs(4, second, q.QueueLength()));
}

TEST(Discovery, AnswerText) {
    EXPECT_EQ(NetServer::discoveryAnswer("10.77.0.1"),
              "config qel ack get controllers &SUCCEED &10.77.0.1");
    EXPECT_EQ(NetServer::discoveryAnswer(""), "config qel ack get controllers &SUCCEED &");
}

}  // namespace
