// The controller's command front ends, driven from another box of the test network: the
// WebSocket port 9008, the text port 8886 and controller discovery on UDP 8886. The controller
// runs with a dispatcher double that answers every command with
// {"status":"success","cmd":"<the command>"}.
#include <gtest/gtest.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <memory>
#include <thread>
#include <optional>
#include <string>
#include <vector>

#include "support/Clients.h"
#include "support/JsonTexts.h"
#include "support/Process.h"
#include "support/TestNet.h"
#include "support/UploadTexts.h"
#include "support/WebSocketClient.h"

using namespace std::chrono_literals;

namespace {

std::string echoReply(const std::string& command) {
    return "{\"status\":\"success\",\"cmd\":\"" + command + "\"}";
}

// Client frames are masked with a fixed key unless asked otherwise.
std::string clientFrame(int opcode, const std::string& payload, bool masked = true) {
    return qeltest::webSocketClientFrame(opcode, payload, masked);
}

using ServerFrame = qeltest::WebSocketFrame;

std::optional<ServerFrame> readFrame(qeltest::TcpClient& c, std::chrono::milliseconds t = 2s) {
    return qeltest::readWebSocketFrame(c, t);
}

const char* const kSampleKey = "dGhlIHNhbXBsZSBub25jZQ==";

// The server's answer to upgradeRequest() with the sample key, sent from 10.77.0.2.
const char* const kSampleAnswer =
    "HTTP/1.1 101 Switching Protocols\r\n"
    "Connection: Upgrade\r\n"
    "Sec-WebSocket-Origin: http://10.77.0.2\r\n"
    "Sec-WebSocket-Location: ws://10.77.0.1:9008/\r\n"
    "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"
    "Upgrade: websocket\r\n\r\n";

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
    EXPECT_EQ(*answer, kSampleAnswer);
}

// Header names in any letter case, as HTTP allows (a proxy or a client that writes them in small
// letters): the same answer and accept value.
TEST_F(Intake, HandshakeHeaderNamesInAnyCase) {
    const std::string lower =
        "GET /ws HTTP/1.1\r\nhost: 10.77.0.1:9008\r\nupgrade: websocket\r\n"
        "connection: Upgrade\r\nsec-websocket-key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
        "origin: http://10.77.0.2\r\nsec-websocket-version: 13\r\n\r\n";
    const std::string mixed =
        "GET /ws HTTP/1.1\r\nHOST: 10.77.0.1:9008\r\nUpgrade: websocket\r\n"
        "CONNECTION: Upgrade\r\nSEC-WEBSOCKET-KEY: dGhlIHNhbXBsZSBub25jZQ==\r\n"
        "oRiGiN: http://10.77.0.2\r\n\r\n";
    for (const std::string& request : {lower, mixed}) {
        auto c = connect(9008);
        ASSERT_TRUE(c->send(request));
        auto answer = c->receiveUntil("\r\n\r\n", 2s);
        ASSERT_TRUE(answer) << request;
        EXPECT_EQ(*answer, kSampleAnswer) << request;
        expectRoundTrip(*c, "config after the handshake");
    }
}

// A real client nobody here wrote, on Node.js: the ws library checks the accept value and the
// upgrade answer strictly.
TEST_F(Intake, NodeWebSocketClient) {
    if (access("/usr/share/nodejs/ws", F_OK) != 0 || access("/usr/bin/node", X_OK) != 0)
        GTEST_SKIP() << "node and node-ws are not installed (scripts/setup installs them)";
    const std::string script = R"(
const WebSocket = require('ws');
const ws = new WebSocket(process.argv[process.argv.length - 1]);
const timer = setTimeout(() => { console.log('TIMEOUT'); process.exit(2); }, 10000);
ws.on('open', () => ws.send('config get devices from node;vw add 2'));
let n = 0;
ws.on('message', (data) => {
  console.log('CMD ' + JSON.parse(data.toString()).cmd);
  if (++n === 2) ws.close(1000);
});
ws.on('close', (code) => { clearTimeout(timer); console.log('CLOSE ' + code); });
ws.on('error', (e) => { console.log('ERROR ' + e.message); process.exit(1); });
)";
    auto client = op->start("/usr/bin/node", {"-e", script, "ws://10.77.0.1:9008/ws"},
                            {"NODE_PATH=/usr/share/nodejs"});
    ASSERT_TRUE(client);
    const auto status = client->waitExit(20s);
    ASSERT_TRUE(status) << client->output();
    EXPECT_EQ(*status, 0) << client->output();
    EXPECT_EQ(client->stdoutText(), "CMD config get devices from node\nCMD vw add 2\nCLOSE 1000\n")
        << client->output();
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

// No one host holds more than half the places of a port, and the cap holds over all hosts; a
// connection that sends no command (the text port) or no handshake (the WebSocket) within 30 s
// is closed, so idle connections cannot keep the operators out. One wait covers both ports.
TEST_F(Intake, IdleConnectionsCannotLockTheOperatorsOut) {
    const size_t kCap = 256, kShare = 128;
    qeltest::Box& second = net->addBox("op2", 3);
    qeltest::Box& third = net->addBox("op3", 4);
    ASSERT_TRUE(second.ok() && third.ok());
    auto connectFrom = [&](qeltest::Box& box, uint16_t port) {
        auto c = std::make_unique<qeltest::TcpClient>();
        EXPECT_TRUE(box.run([&] { return c->connect(ctrl->ip(), port, 3s); })) << c->error();
        return c;
    };
    struct Port {
        uint16_t port;
        std::vector<std::unique_ptr<qeltest::TcpClient>> first, second;
        std::unique_ptr<qeltest::TcpClient> busy;  // has sent a command / its handshake
    };
    std::vector<Port> ports(2);
    ports[0].port = 8886;
    ports[1].port = 9008;
    for (Port& p : ports) {
        SCOPED_TRACE(p.port);
        // One host: its share is kept, one more is closed at once.
        for (size_t i = 0; i <= kShare; ++i) p.first.push_back(connectFrom(*op, p.port));
        EXPECT_TRUE(p.first.back()->receiveUntilClosed(3s));
        p.first.pop_back();
        // A second host fills the port: its share up to the cap.
        for (size_t i = 0; i < kCap - kShare; ++i) p.second.push_back(connectFrom(second, p.port));
        auto late = connectFrom(third, p.port);
        EXPECT_TRUE(late->receiveUntilClosed(3s)) << "past the cap";
        // A place freed is taken by a working client.
        p.second.back()->close();
        p.second.pop_back();
        bool kept = false;
        for (int attempt = 0; attempt < 30 && !kept; ++attempt) {
            std::this_thread::sleep_for(100ms);
            p.busy = connectFrom(third, p.port);
            if (p.port == 8886) {
                p.busy->send("config busy;");
                auto got = p.busy->receiveExactly(echoReply("config busy").size(), 1s);
                kept = got && *got == echoReply("config busy");
            } else {
                p.busy->send(upgradeRequest());
                kept = p.busy->receiveUntil("\r\n\r\n", 1s).has_value();
            }
        }
        ASSERT_TRUE(kept);
    }
    for (const char* port : {"Text port", "WebSocket port"})
        EXPECT_TRUE(server->waitForStderr(std::string(port) + ": 10.77.0.2 already holds 128", 2s))
            << server->stderrText();

    // After 30 s the silent ones are closed; the one that spoke stays and is served.
    for (Port& p : ports) {
        SCOPED_TRACE(p.port);
        EXPECT_TRUE(p.first.front()->receiveUntilClosed(45s));
        size_t closed = 0;
        for (auto& c : p.first)
            if (c->receiveUntilClosed(5s)) ++closed;
        for (auto& c : p.second)
            if (c->receiveUntilClosed(5s)) ++closed;
        EXPECT_EQ(closed, p.first.size() + p.second.size());
        if (p.port == 8886) {
            ASSERT_TRUE(p.busy->send("config still here;"));
            auto got = p.busy->receiveExactly(echoReply("config still here").size(), 3s);
            ASSERT_TRUE(got);
            EXPECT_EQ(*got, echoReply("config still here"));
        } else {
            expectRoundTrip(*p.busy, "config still here");
        }
    }
    EXPECT_TRUE(server->waitForStderr("sent no command within 30 s", 2s));
    EXPECT_TRUE(server->waitForStderr("sent no handshake within 30 s", 2s));
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

// A short command without ';' that arrived whole is taken at once: the client need not fall
// quiet first. Line ends sent after it keep the connection busy; the reply still comes.
TEST_F(Intake, TextPortTakesAWholeCommandWithoutItsSemicolonAtOnce) {
    auto c = connect(8886);
    ASSERT_TRUE(c->send("config no semicolon"));
    std::string got;
    for (int i = 0; i < 250 && got.find('}') == std::string::npos; ++i) {
        ASSERT_TRUE(c->send("\n"));
        got += c->receive(20ms);
    }
    Json::Value reply;
    ASSERT_TRUE(Json::Reader().parse(got, reply, false))
        << "the command waited for the client to fall quiet: " << got;
    // The first line end may have joined it in the same read.
    std::string cmd = reply["cmd"].asString();
    if (!cmd.empty() && cmd.back() == '\n') cmd.pop_back();
    EXPECT_EQ(cmd, "config no semicolon");

    // A command longer than a segment that comes in pieces, without its ';', is one command.
    const std::string big = "config " + std::string(70000 - 7, 'b');
    ASSERT_TRUE(c->send(big.substr(0, 25000)));
    std::this_thread::sleep_for(30ms);
    ASSERT_TRUE(c->send(big.substr(25000, 25000)));
    std::this_thread::sleep_for(30ms);
    ASSERT_TRUE(c->send(big.substr(50000)));
    auto whole = c->receiveExactly(echoReply(big).size(), 5s);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(*whole == echoReply(big)) << whole->substr(0, 80);
}

// One client that stops reading its replies holds up no one: the others' replies keep coming,
// and the stalled one is cut off once more than its bound of replies waits for it.
TEST_F(Intake, AClientThatStopsReadingDoesNotStallTheOthers) {
    for (uint16_t port : {uint16_t(8886), uint16_t(9008)}) {
        SCOPED_TRACE(port);
        const bool web = port == 9008;
        auto stalled = web ? webClient() : connect(port);
        auto other = web ? webClient() : connect(port);
        // A small receive window: the replies pile up at the controller, not in this socket.
        int small = 16384;
        setsockopt(stalled->fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        // 60 kB commands, echoed: far more replies than the bound and every buffer between.
        std::thread flood([&] {
            const std::string command = "config " + std::string(60000, 's');
            for (int i = 0; i < 400; ++i)
                if (!stalled->send(web ? clientFrame(1, command) : command + ";", 5s)) break;
        });
        int answered = 0;
        for (int i = 0; i < 30; ++i) {
            const std::string command = "config other " + std::to_string(i);
            if (web) {
                ASSERT_TRUE(other->send(clientFrame(1, command)));
                auto f = readFrame(*other, 5s);
                if (f && f->payload == echoReply(command)) ++answered;
            } else {
                ASSERT_TRUE(other->send(command + ";"));
                auto got = other->receiveExactly(echoReply(command).size(), 5s);
                if (got && *got == echoReply(command)) ++answered;
            }
        }
        EXPECT_EQ(answered, 30);
        const std::string log =
            web ? "WebSocket port: replies not taken" : "Text port: replies not taken";
        EXPECT_TRUE(server->waitForStderr(log, 30s)) << server->stderrText();
        flood.join();
        EXPECT_TRUE(stalled->receiveUntilClosed(10s));
        if (web) expectRoundTrip(*other, "config still served");
    }
    EXPECT_TRUE(server->running()) << server->output();
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

// A 2 MiB file sent block by block, each block waiting for its answer, on each port of the real
// controller: the stored file is what was sent. The text port's blocks come without ';': a
// block that holds all the bytes it announces is taken without waiting for the client to fall
// quiet.
TEST(IntakeAlone, UploadsOnBothPortsStoreWhatWasSent) {
    QEL_REQUIRE_TEST_NETWORK();
    qeltest::TestNet net;
    ASSERT_TRUE(net.ok()) << net.error();
    qeltest::Box& box = net.addBox("ctrl", 1);
    qeltest::Box& op = net.addBox("op", 2);
    ASSERT_TRUE(box.ok() && op.ok());
    ASSERT_EQ(mkdir(box.path("/mnt").c_str(), 0755), 0);
    auto server = box.start(qeltest::programPath("ctrlserver"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started", 15s)) << server->output();

    std::string bytes(2 << 20, '\0');
    uint32_t x = 2463534242u;
    for (char& ch : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        ch = static_cast<char>(x);
    }
    const size_t kBlock = 32768;
    auto status = [](const std::optional<std::string>& text) {
        Json::Value v;
        Json::Reader reader;
        if (!text || !reader.parse(*text, v, false)) return std::string("no reply");
        const Json::Value& a = v["ack"].isArray() ? v["ack"][0] : v["ack"];
        return a["status"].asString();
    };

    qeltest::TcpClient text;
    qeltest::JsonTexts textReplies(text);
    ASSERT_TRUE(op.run([&] { return text.connect(box.ip(), 8886, 3s); })) << text.error();
    qeltest::WebSocketClient web;
    ASSERT_TRUE(op.run([&] { return web.connect(box.ip(), 3s); })) << web.error();
    ASSERT_TRUE(web.sendText("config set login vorpl"));
    ASSERT_EQ(status(web.receiveText(3s)), "success");

    for (const bool onWeb : {false, true}) {
        SCOPED_TRACE(onWeb ? "9008" : "8886");
        const std::string name = onWeb ? "web.bin" : "text.bin";
        auto ask = [&](const std::string& command) {
            if (onWeb) {
                EXPECT_TRUE(web.sendText(command));
                return status(web.receiveText(10s));
            }
            EXPECT_TRUE(text.send(command, 10s));
            return status(textReplies.next(10s));
        };
        ASSERT_EQ(ask("update data start " + name + (onWeb ? "" : ";")), "success");
        for (size_t at = 0; at < bytes.size(); at += kBlock) {
            const std::string block = "update data block " + std::to_string(at) + "," +
                                      std::to_string(kBlock) + "|" +
                                      qeltest::hexOf(bytes.substr(at, kBlock));
            ASSERT_EQ(ask(block), "success") << "block at " << at;
        }
        ASSERT_EQ(ask("update data stop " + name + (onWeb ? "" : ";")), "success");
        EXPECT_TRUE(qeltest::readAll(box.path("/dev/tftpboot/" + name)) == bytes);
    }
    EXPECT_TRUE(server->running()) << server->output();
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
