// Inputs that must not shift, wrap or hold anything, with the real decoder on the test network:
// a silent TCP client is closed so the next one is answered, addresses nobody could reach the
// box at and names the discovery answer cannot carry are refused, numbers beyond an int act on
// nothing, and a long serial datagram reaches the port whole or is dropped with a line.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "DeviceOpsSupport.h"
#include "RxSystemSupport.h"
#include "support/Clients.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;
using devops::readFile;

namespace {

using RxInput = rxsys::RxSystemTest;

TEST_F(RxInput, ASilentTcpClientIsClosedAndTheNextOneAnswered) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    qeltest::Box& dec = decoderBox("dec", 2, "02:00:00:00:00:02");
    auto p = startDecoder(dec);
    ASSERT_TRUE(p);
    auto client = [&] {
        return ctrl.run([&] {
            qeltest::TcpClient c;
            c.connect(dec.ip(), 8888);
            return c;
        });
    };
    auto silent = client();
    ASSERT_TRUE(silent.connected()) << silent.error();
    auto next = client();
    ASSERT_TRUE(next.connected()) << next.error();
    ASSERT_TRUE(next.send("config get mac"));
    // Served once the silent client's few seconds are up (generous for a loaded machine).
    EXPECT_EQ(next.receive(20s), " 02:00:00:00:00:02 ") << p->output();
    EXPECT_TRUE(silent.receiveUntilClosed(2s));
    EXPECT_TRUE(p->waitForStdout("tcp client silent for", 2s)) << p->output();
}

TEST_F(RxInput, UnusableAddressesNamesAndNumbersAreRefused) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    qeltest::Box& dec = decoderBox("dec", 2, "02:00:00:00:00:02");
    auto p = startDecoder(dec);
    ASSERT_TRUE(p);
    auto asker = ctrl.run([] { return qeltest::UdpSocket(0); });
    ASSERT_TRUE(asker.ok());

    // No reply, nothing run, the box stays up at its address.
    for (const char* fields : {"0.0.0.0 255.255.255.0 10.77.0.1", "10.77.0.0  No_Gateway",
                               "10.77.0.9 255.255.255.255 10.77.0.1"}) {
        SCOPED_TRACE(fields);
        ASSERT_TRUE(asker.sendTo(
            dec.ip(), 8888, std::string("config qel set net params 02:00:00:00:00:02 ") + fields));
        EXPECT_FALSE(asker.receive(1s));
    }
    ASSERT_TRUE(asker.sendTo(dec.ip(), 8888,
                             "config qel set netandname params 02:00:00:00:00:02 10.77.0.9 "
                             "255.255.255.0 No_Gateway Hall #2"));
    EXPECT_FALSE(asker.receive(1s));
    EXPECT_FALSE(p->waitExit(500ms));
    EXPECT_EQ(readFile(dec.path("/var/log/commands.log")).find("ifconfig"), std::string::npos);

    // A name with a '#' is refused; the discovery answer keeps the name it had.
    EXPECT_EQ(ask(asker, dec.ip(), "config qel set decoder name 10.77.0.2 Hall #2"),
              "config qel ack set decoder name #FAILED ");
    std::string found = ask(asker, dec.ip(), "config qel get decoders");
    EXPECT_NE(found.find(" #V1.6.2.1_0104_2019 #RX #"), std::string::npos) << found;

    // 2^32 + 1 is not window 1.
    EXPECT_EQ(ask(asker, dec.ip(), "config qel set layer params 10.77.0.2 4294967297 1"), "");
    EXPECT_EQ(ask(asker, dec.ip(), "SetLayerPara 10.77.0.2 4294967297 1"), "SetLayerPara invalid");
    EXPECT_EQ(ask(asker, dec.ip(), "config qel set connect 10.77.0.2"),
              "config qel ack set connect #SUCCEED ");
}

TEST_F(RxInput, ALongSerialDatagramReachesThePortWholeOrIsDroppedWithALine) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    qeltest::Box& dec = decoderBox("dec", 2, "02:00:00:00:00:02");
    rxsys::PortInBox port(dec);
    ASSERT_TRUE(port.ok());
    auto p = startDecoder(dec);
    ASSERT_TRUE(p);
    auto peer = ctrl.run([] { return qeltest::UdpSocket(8666); });
    ASSERT_TRUE(peer.ok());
    EXPECT_EQ(ask(peer, dec.ip(), "config qel set serialbynet 10.77.0.2 1 0 10.77.0.1"),
              "config qel ack set serialbynet #SUCCEED ");
    // The bridge reopens the port with the new peer; a datagram gets through once it has.
    bool open = false;
    for (int i = 0; i < 50 && !open; ++i) {
        ASSERT_TRUE(peer.sendTo(dec.ip(), 8666, "p"));
        open = port.written(200ms, 1) == "p";
    }
    ASSERT_TRUE(open) << p->output();

    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(peer.sendTo(dec.ip(), 8666, bytes));
    EXPECT_EQ(port.written(5s, bytes.size()), bytes);
    ASSERT_TRUE(peer.sendTo(dec.ip(), 8666, std::string(2000, 'x')));
    ASSERT_TRUE(peer.sendTo(dec.ip(), 8666, "after"));
    EXPECT_EQ(port.written(3s, 5), "after");
    EXPECT_TRUE(p->waitForStdout("datagram of 2000 bytes dropped", 2s)) << p->output();
}

}  // namespace
