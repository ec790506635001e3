// The controller's command front ends, driven from another box of the test network: the
// WebSocket port 9008, the text port 8886 and controller discovery on UDP 8886. The controller
// runs with a dispatcher double that answers every command with
// {"status":"success","cmd":"<the command>"}.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include <memory>
#include <thread>
#include <optional>
#include <string>
#include <vector>

#include "support/Clients.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

std::string echoReply(const std::string& command) {
    return "{\"status\":\"success\",\"cmd\":\"" + command + "\"}";
}

// A client frame: FIN set, masked with a fixed key unless asked otherwise.
std::string clientFrame(int opcode, const std::string& payload, bool masked = true) {
    std::string f;
    f += static_cast<char>(0x80 | opcode);
    const char maskBit = masked ? static_cast<char>(0x80) : 0;
    const size_t n = payload.size();
    if (n <= 125) {
        f += static_cast<char>(maskBit | n);
    } else if (n <= 65535) {
        f += static_cast<char>(maskBit | 126);
        f += static_cast<char>(n >> 8);
        f += static_cast<char>(n & 0xFF);
    } else {
        f += static_cast<char>(maskBit | 127);
        for (int i = 7; i >= 0; --i)
            f += static_cast<char>((static_cast<uint64_t>(n) >> (8 * i)) & 0xFF);
    }
    const unsigned char key[4] = {0x12, 0x34, 0x56, 0x78};
    if (masked) f.append(reinterpret_cast<const char*>(key), 4);
    for (size_t i = 0; i < n; ++i)
        f += masked ? static_cast<char>(payload[i] ^ key[i % 4]) : payload[i];
    return f;
}

struct ServerFrame {
    std::string header;
    int opcode = -1;
    std::string payload;
};

std::optional<ServerFrame> readFrame(qeltest::TcpClient& c, std::chrono::milliseconds t = 2s) {
    auto head = c.receiveExactly(2, t);
    if (!head) return std::nullopt;
    ServerFrame f;
    f.header = *head;
    f.opcode = (*head)[0] & 0x0F;
    uint64_t len = static_cast<unsigned char>((*head)[1]) & 0x7F;
    if (len >= 126) {
        auto ext = c.receiveExactly(len == 126 ? 2 : 8, t);
        if (!ext) return std::nullopt;
        f.header += *ext;
        len = 0;
        for (unsigned char b : *ext) len = len << 8 | b;
    }
    auto payload = c.receiveExactly(static_cast<size_t>(len), t);
    if (!payload) return std::nullopt;
    f.payload = *payload;
    return f;
}

const char* const kSampleKey = "dGhlIHNhbXBsZSBub25jZQ==";

std::string upgradeRequest(const std::string& key = kSampleKey) {
    return "GET /ws HTTP/1.1\r\nHost: 10.77.0.1:9008\r\nUpgrade: websocket\r\n"
           "Connection: Upgrade\r\nSec-WebSocket-Key: " +
           key + "\r\nOrigin: http://10.77.0.2\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

class Intake : public qeltest::TestNetFixture {
protected:
    void SetUpBoxes() override {
        op = &net->addBox("op", 2);
        ASSERT_TRUE(op->ok());
        server = ctrl->start(qeltest::programPath("ctrlserver_echo"));
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStderr("webServer Started", 15s)) << server->output();
    }

    std::unique_ptr<qeltest::TcpClient> connect(uint16_t port) {
        auto c = std::make_unique<qeltest::TcpClient>();
        const bool ok = op->run([&] { return c->connect(ctrl->ip(), port, 3s); });
        EXPECT_TRUE(ok) << c->error();
        return c;
    }

    // A WebSocket connection that has shaken hands.
    std::unique_ptr<qeltest::TcpClient> webClient() {
        auto c = connect(9008);
        EXPECT_TRUE(c->send(upgradeRequest()));
        EXPECT_TRUE(c->receiveUntil("\r\n\r\n", 2s));
        return c;
    }

    // Sends a command frame and expects its echo back as one text frame.
    void expectRoundTrip(qeltest::TcpClient& c, const std::string& command) {
        ASSERT_TRUE(c.send(clientFrame(1, command)));
        auto f = readFrame(c);
        ASSERT_TRUE(f) << "no reply to " << command.substr(0, 40);
        EXPECT_EQ(f->opcode, 1);
        EXPECT_EQ(f->payload, echoReply(command));
    }

    qeltest::Box* op = nullptr;
    std::unique_ptr<qeltest::Process> server;
};

TEST_F(Intake, HandshakeAnswerByteForByte) {
    auto c = connect(9008);
    // The request arrives in two pieces.
    const std::string request = upgradeRequest();
    ASSERT_TRUE(c->send(request.substr(0, 30)));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(c->send(request.substr(30)));
    auto answer = c->receiveUntil("\r\n\r\n", 2s);
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer,
              "HTTP/1.1 101 Switching Protocols\r\n"
              "Connection: Upgrade\r\n"
              "Sec-WebSocket-Origin: http://10.77.0.2\r\n"
              "Sec-WebSocket-Location: ws://10.77.0.1:9008/\r\n"
              "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"
              "Upgrade: websocket\r\n\r\n");
}

TEST_F(Intake, TextFramesBecomeCommandsAndRepliesComeBackInOrder) {
    auto c = webClient();
    ASSERT_TRUE(c->send(clientFrame(1, "config get devices;vw add 1")));
    auto first = readFrame(*c);
    auto second = readFrame(*c);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->header,
              std::string("\x81") + static_cast<char>(echoReply("config get devices").size()));
    EXPECT_EQ(first->payload, echoReply("config get devices"));
    EXPECT_EQ(second->payload, echoReply("vw add 1"));
    EXPECT_TRUE(server->waitForStdout("|config get devices\n", 2s)) << server->output();
    EXPECT_TRUE(server->waitForStdout("|vw add 1\n", 2s));

    // No prefix at the start: nothing is queued, so the next reply is for the next command.
    ASSERT_TRUE(c->send(clientFrame(1, "hello;config get devices")));
    ASSERT_TRUE(c->send(clientFrame(1, "mv")));
    ASSERT_TRUE(c->send(clientFrame(2, "config b")));
    expectRoundTrip(*c, "config after");
    EXPECT_TRUE(server->waitForStdout("receive 8 bytes data!\n", 2s));

    // One byte at a time, then two frames in one write.
    const std::string slow = clientFrame(1, "matrix slow");
    for (char b : slow) {
        ASSERT_TRUE(c->send(std::string(1, b)));
        std::this_thread::sleep_for(2ms);
    }
    auto f = readFrame(*c);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->payload, echoReply("matrix slow"));
    ASSERT_TRUE(c->send(clientFrame(1, "scene 1") + clientFrame(1, "ipc 2")));
    auto a = readFrame(*c);
    auto b = readFrame(*c);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->payload, echoReply("scene 1"));
    EXPECT_EQ(b->payload, echoReply("ipc 2"));
}

TEST_F(Intake, ReplyFrameHeadersByLength) {
    auto c = webClient();
    const size_t overhead = echoReply("").size();
    const std::pair<size_t, std::string> cases[] = {
        {125, std::string("\x81\x7D", 2)},
        {126, std::string("\x81\x7E\x00\x7E", 4)},
        {65535, std::string("\x81\x7E\xFF\xFF", 4)},
        {65536, std::string("\x81\x7F\x00\x00\x00\x00\x00\x01\x00\x00", 10)},
    };
    for (const auto& k : cases) {
        const std::string command = "config " + std::string(k.first - overhead - 7, 'x');
        ASSERT_TRUE(c->send(clientFrame(1, command)));
        auto f = readFrame(*c, 3s);
        ASSERT_TRUE(f) << k.first;
        EXPECT_EQ(f->header, k.second) << k.first;
        EXPECT_EQ(f->payload.size(), k.first);
    }
}

TEST_F(Intake, MalformedInputLeavesOtherClientsServed) {
    auto steady = webClient();
    expectRoundTrip(*steady, "config before");
    struct Case {
        const char* name;
        std::string bytes;
        bool handshake;     // shake hands before sending the bytes
        bool serverCloses;  // the server ends this connection
    };
    const Case cases[] = {
        {"bad handshake", "hello there\n\n", false, false},
        {"no line ends at all", std::string(3000, 'G'), false, false},
        {"truncated frame header", "\x81", true, false},
        {"truncated extended length", "\x81\xFE\x01", true, false},
        {"huge declared length", std::string("\x81\xFF\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 10), true,
         true},
        {"length beyond the buffer", std::string("\x81\xFF\x00\x00\x00\x00\x00\x01\x24\xF9", 10),
         true, true},
        {"ping and close frames", clientFrame(9, "p") + clientFrame(8, ""), true, false},
        {"binary frame", clientFrame(2, "config x"), true, false},
        {"continuation frame", clientFrame(0, "config y"), true, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        auto bad = k.handshake ? webClient() : connect(9008);
        ASSERT_TRUE(bad->send(k.bytes));
        if (k.serverCloses) {
            EXPECT_TRUE(bad->receiveUntilClosed(2s));
        }
        expectRoundTrip(*steady, std::string("config during ") + k.name);
        bad->close();
    }
    // An unmasked client frame is taken like a masked one.
    auto plain = webClient();
    ASSERT_TRUE(plain->send(clientFrame(1, "vw unmasked", false)));
    auto f = readFrame(*plain);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->payload, echoReply("vw unmasked"));

    // A client that leaves before its reply is written does not take the server down, and its
    // reply does not reach the next client.
    for (int i = 0; i < 5; ++i) {
        auto gone = webClient();
        ASSERT_TRUE(gone->send(clientFrame(1, "config " + std::string(60000, 'g'))));
        gone->close();
    }
    auto late = webClient();
    expectRoundTrip(*late, "config still here");
    expectRoundTrip(*steady, "config after");
    EXPECT_TRUE(server->running()) << server->output();
}

TEST_F(Intake, TextPortQueuesEveryCommandPiece) {
    auto c = connect(8886);
    ASSERT_TRUE(c->send("config get devices;foo;vw add 1"));
    const std::string expected = echoReply("config get devices") + echoReply("vw add 1");
    auto got = c->receiveExactly(expected.size(), 2s);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, expected);

    // A command of the text port never reaches a WebSocket client, and the other way round.
    auto web = webClient();
    ASSERT_TRUE(c->send("mv"));
    expectRoundTrip(*web, "config web");
    auto mv = c->receiveExactly(echoReply("mv").size(), 2s);
    ASSERT_TRUE(mv);
    EXPECT_EQ(*mv, echoReply("mv"));

    // A client that leaves right after its command does not disturb the next one.
    {
        auto gone = connect(8886);
        ASSERT_TRUE(gone->send("config " + std::string(60000, 'g')));
        gone->close();
    }
    auto next = connect(8886);
    ASSERT_TRUE(next->send("serial 1"));
    auto s = next->receiveExactly(echoReply("serial 1").size(), 2s);
    ASSERT_TRUE(s);
    EXPECT_EQ(*s, echoReply("serial 1"));
    EXPECT_TRUE(server->running()) << server->output();
}

// A real client library: its ping is answered, a message sent in fragments arrives as one
// command, and its close is answered so the connection ends with the code it asked for.
TEST_F(Intake, RealWebSocketClientLibrary) {
    auto client = op->start("/usr/bin/python3", {QEL_WS_CLIENT, "ws://10.77.0.1:9008/ws"});
    ASSERT_TRUE(client);
    const auto status = client->waitExit(15s);
    ASSERT_TRUE(status) << client->output();
    EXPECT_EQ(*status, 0) << client->output();
    const std::string out = client->stdoutText();
    EXPECT_NE(out.find("PONG are you there\n"), std::string::npos) << client->output();
    EXPECT_NE(out.find("CMD config get devices fragmented in three\n"), std::string::npos)
        << client->output();
    EXPECT_NE(out.find("CLOSE 1000\n"), std::string::npos) << client->output();
    EXPECT_TRUE(server->waitForStdout("|config get devices fragmented in three\n", 2s));
    EXPECT_TRUE(server->running()) << server->output();
}

// Idle clients up to the cap on each port are kept; more are closed at once, and the port goes
// on serving those it has and the next one once a place is free.
TEST_F(Intake, ConnectionsPastTheCapAreClosedAndTheRestServed) {
    const size_t kCap = 256, kTried = 300;
    for (uint16_t port : {uint16_t(8886), uint16_t(9008)}) {
        SCOPED_TRACE(port);
        std::vector<std::unique_ptr<qeltest::TcpClient>> idle;
        for (size_t i = 0; i < kTried; ++i) {
            idle.push_back(connect(port));
            if (port == 9008 && i < kCap) {
                ASSERT_TRUE(idle.back()->send(upgradeRequest()));
            }
        }
        size_t closed = 0;
        for (size_t i = kCap; i < kTried; ++i)
            if (idle[i]->receiveUntilClosed(2s)) ++closed;
        EXPECT_EQ(closed, kTried - kCap);
        if (port == 8886) {
            ASSERT_TRUE(idle[0]->send("config first;"));
            auto got = idle[0]->receiveExactly(echoReply("config first").size(), 3s);
            ASSERT_TRUE(got);
            EXPECT_EQ(*got, echoReply("config first"));
        } else {
            ASSERT_TRUE(idle[0]->receiveUntil("\r\n\r\n", 3s));
            expectRoundTrip(*idle[0], "config first");
        }
        // Once one leaves, a new client takes its place.
        idle[1]->close();
        bool served = false;
        for (int attempt = 0; attempt < 20 && !served; ++attempt) {
            std::this_thread::sleep_for(100ms);
            auto next = connect(port);
            if (port == 8886) {
                next->send("config next;");
                auto got = next->receiveExactly(echoReply("config next").size(), 1s);
                served = got && *got == echoReply("config next");
            } else {
                next->send(upgradeRequest());
                if (!next->receiveUntil("\r\n\r\n", 1s)) continue;
                next->send(clientFrame(1, "config next"));
                auto f = readFrame(*next, 1s);
                served = f && f->payload == echoReply("config next");
            }
        }
        EXPECT_TRUE(served);
    }
    EXPECT_TRUE(server->running()) << server->output();
}

// A command that reaches the text port in several pieces is one command; the line end a client
// leaves after its ';' does not start the next one.
TEST_F(Intake, TextPortJoinsACommandSentInPieces) {
    auto c = connect(8886);
    const std::string big = "update data block 1 " + std::string(50000, 'a');
    // It is read in pieces of a few kilobytes however it travels.
    ASSERT_TRUE(c->send(big.substr(0, 20000)));
    ASSERT_TRUE(c->send(big.substr(20000) + ";\r\nconfig next;\r\n"));
    const std::string expected = echoReply(big) + echoReply("config next");
    auto got = c->receiveExactly(expected.size(), 3s);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, expected);
}

TEST_F(Intake, AnotherBoxFindsTheController) {
    auto socks = op->run([] {
        std::vector<qeltest::UdpSocket> s;
        s.emplace_back(8887);
        s.emplace_back(8885);
        s.emplace_back(0);
        return s;
    });
    ASSERT_EQ(socks.size(), 3u);
    for (auto& s : socks) ASSERT_TRUE(s.ok()) << s.error();
    const std::string answer = "config qel ack get controllers &SUCCEED &10.77.0.1";

    // Near misses get no answer.
    ASSERT_TRUE(socks[2].sendTo("255.255.255.255", 8886, "config qel get controllers\n"));
    ASSERT_TRUE(socks[2].sendTo("255.255.255.255", 8886, "config qel get decoders"));
    EXPECT_FALSE(socks[0].receive(400ms));

    ASSERT_TRUE(socks[2].sendTo("255.255.255.255", 8886, "config qel get controllers"));
    for (int i = 0; i < 2; ++i) {
        auto d = socks[i].receive(2s);
        ASSERT_TRUE(d) << "port " << socks[i].port();
        EXPECT_EQ(d->text, answer);
        EXPECT_EQ(d->fromIp, "10.77.0.1");
        EXPECT_EQ(d->fromPort, 8886);
    }
}

// Without any network the address probe gives up after its wait and the ports still serve.
TEST(IntakeAlone, StartsWithoutAnAnswerToItsProbe) {
    QEL_REQUIRE_TEST_NETWORK();
    qeltest::TestNet net;
    ASSERT_TRUE(net.ok()) << net.error();
    qeltest::Box& box = net.addBox("lone", 1);
    // No route: the probe broadcast cannot leave, so nothing comes back.
    ASSERT_EQ(qeltest::runCommand({"ip", "-n", box.netns(), "route", "flush", "default"}), 0);
    const auto start = std::chrono::steady_clock::now();
    auto server = box.start(qeltest::programPath("ctrlserver_echo"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started", 15s)) << server->output();
    // The probe gives up after 2 s; the rest of the bound is room for a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);

    qeltest::TcpClient c;
    ASSERT_TRUE(box.run([&] { return c.connect(box.ip(), 8886, 3s); })) << c.error();
    ASSERT_TRUE(c.send("config x"));
    auto got = c.receiveExactly(echoReply("config x").size(), 2s);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, echoReply("config x"));
}

// A box that starts before its link is up learns its address when it is next asked.
TEST(IntakeAlone, LearnsItsAddressOnceTheLinkIsUp) {
    QEL_REQUIRE_TEST_NETWORK();
    qeltest::TestNet net;
    ASSERT_TRUE(net.ok()) << net.error();
    qeltest::Box& box = net.addBox("late", 1);
    qeltest::Box& op = net.addBox("op", 2);
    ASSERT_EQ(qeltest::runCommand({"ip", "-n", box.netns(), "link", "set", "eth0", "down"}), 0);
    auto server = box.start(qeltest::programPath("ctrlserver_echo"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started", 15s)) << server->output();
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(qeltest::runCommand({"ip", "-n", box.netns(), "link", "set", "eth0", "up"}), 0);
    qeltest::runCommand({"ip", "-n", box.netns(), "route", "replace", "default", "dev", "eth0"});

    auto socks = op.run([] {
        std::vector<qeltest::UdpSocket> s;
        s.emplace_back(8887);
        s.emplace_back(0);
        return s;
    });
    ASSERT_EQ(socks.size(), 2u);
    std::optional<qeltest::Datagram> d;
    // The link needs a moment before the first datagram crosses it.
    for (int i = 0; i < 10 && !d; ++i) {
        ASSERT_TRUE(socks[1].sendTo("255.255.255.255", 8886, "config qel get controllers"));
        d = socks[0].receive(1s);
    }
    ASSERT_TRUE(d) << server->output();
    EXPECT_EQ(d->text, "config qel ack get controllers &SUCCEED &10.77.0.1");
}

// With port 9008 taken by someone else, the web front end has no listener, yet the command thread
// keeps polling its (empty) queue and the text port serves.
TEST(IntakeAlone, TextPortServesWhenTheWebPortIsTaken) {
    QEL_REQUIRE_TEST_NETWORK();
    qeltest::TestNet net;
    ASSERT_TRUE(net.ok()) << net.error();
    qeltest::Box& box = net.addBox("busy", 1);
    const int squatter = box.run([] {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        struct sockaddr_in addr;
        memset(&addr, 0, sizeof addr);
        addr.sin_family = AF_INET;
        addr.sin_port = htons(9008);
        if (fd < 0 || bind(fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) != 0 ||
            listen(fd, 1) != 0)
            return -1;
        return fd;
    });
    ASSERT_GE(squatter, 0);
    auto server = box.start(qeltest::programPath("ctrlserver_echo"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started", 15s)) << server->output();

    qeltest::TcpClient c;
    ASSERT_TRUE(box.run([&] { return c.connect(box.ip(), 8886, 3s); })) << c.error();
    ASSERT_TRUE(c.send("vw 1;config 2"));
    const std::string expected = echoReply("vw 1") + echoReply("config 2");
    auto got = c.receiveExactly(expected.size(), 2s);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, expected);
    EXPECT_TRUE(server->running()) << server->output();
    close(squatter);
}

}  // namespace
