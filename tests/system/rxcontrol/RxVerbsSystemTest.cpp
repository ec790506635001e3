// The decoder's serial, split, window, network and TCP verbs with the real program on the test
// network: settings from the controller, the serial bridge on a pseudo-terminal both ways, a
// timed hide in the stand-in, the older verbs' reply port, the TCP MAC query and an address
// change that restarts the box.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "DeviceOpsSupport.h"
#include "RxSystemSupport.h"
#include "support/Clients.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;
using devops::readFile;
using devops::writeFile;

namespace {

template <typename F>
bool eventually(F cond, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

using RxVerbs = rxsys::RxSystemTest;

TEST_F(RxVerbs, ControllerSetsSerialAndSplitAndThePortIsBridged) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    mkdir(ctrl.path("/mnt").c_str(), 0755);
    qeltest::Box& left = decoderBox("left", 2, "02:00:00:00:00:02");
    qeltest::Box& plain = decoderBox("plain", 3, "02:00:00:00:00:03");
    rxsys::PortInBox port(left);
    ASSERT_TRUE(port.ok());
    auto p2 = startDecoder(left);
    auto p3 = startDecoder(plain);
    ASSERT_TRUE(p2 && p3);
    ASSERT_TRUE(eventually([&] { return port.speed() == B115200; }, 5s)) << p2->output();

    auto server = ctrl.start(qeltest::programPath("ctrlserver_devtest"), {"9900"});
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStdout("devtest ready", 5s)) << server->output();
    auto client = ctrl.run([] { return qeltest::UdpSocket(0); });
    ASSERT_TRUE(client.sendTo(
        ctrl.ip(), 9900, "devtest config set serial params 10.77.0.2 9600 8 0 1 1 0 10.77.0.1"));
    ASSERT_TRUE(client.receive(3s)) << server->output();
    ASSERT_TRUE(client.sendTo(ctrl.ip(), 9900, "devtest config set split params 10.77.0.3 4 0"));
    ASSERT_TRUE(client.receive(3s)) << server->output();

    EXPECT_TRUE(eventually(
        [&] {
            return readFile(left.path("/mnt/serialconfig.ini")) == "9600\n8\n0\n1\n10.77.0.1\n1\n";
        },
        5s))
        << p2->output();
    EXPECT_TRUE(eventually([&] { return port.speed() == B9600; }, 5s));
    EXPECT_TRUE(eventually([&] { return readFile(plain.path("/mnt/spiltnum.ini")) == "4\n"; }, 5s))
        << p3->output();
    // The 2x2 grid of 960x540 cells, as the pipeline aligns them (a few pixels in).
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(c);
        Json::Value rect = voChannel(plain, c)["rect"];
        EXPECT_NEAR(rect["x"].asInt(), (c % 2) * 960, 8);
        EXPECT_NEAR(rect["y"].asInt(), (c / 2) * 540, 8);
        EXPECT_NEAR(rect["w"].asInt(), 960, 8);
        EXPECT_NEAR(rect["h"].asInt(), 540, 8);
    }
    // Port bytes reach the destination's 8666; only the destination's datagrams reach the port.
    auto peer = ctrl.run([] { return qeltest::UdpSocket(8666); });
    ASSERT_TRUE(peer.ok());
    port.type("from the display");
    auto d = peer.receive(3s);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->text, "from the display");
    EXPECT_EQ(d->fromIp, "10.77.0.2");
    ASSERT_TRUE(peer.sendTo("10.77.0.2", 8666, "to the display"));
    EXPECT_EQ(port.written(3s, 14), "to the display");
    auto stranger = plain.run([] { return qeltest::UdpSocket(0); });
    ASSERT_TRUE(stranger.sendTo("10.77.0.2", 8666, "stranger"));
    EXPECT_EQ(port.written(300ms, 1), "");

    std::string out = devops::runTool(ctrl, {"find 7", "dump"}, 40s);
    auto decoders = devops::linesWith(out, "@decoder ");
    ASSERT_EQ(decoders.size(), 2u) << out;
    EXPECT_NE(decoders[0].find("|10.77.0.2|"), std::string::npos) << decoders[0];
    EXPECT_NE(decoders[0].find("|9600 8 0 1|1 "), std::string::npos) << decoders[0];
    EXPECT_EQ(decoders[0].substr(decoders[0].size() - 10), "|10.77.0.1") << decoders[0];
    EXPECT_NE(decoders[1].find("|10.77.0.3|"), std::string::npos) << decoders[1];
    EXPECT_NE(decoders[1].find("|V1.6.2.1_0104_2019|4|"), std::string::npos) << decoders[1];
}

TEST_F(RxVerbs, WindowNetworkAndTcpVerbs) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    qeltest::Box& dec = decoderBox("dec", 2, "02:00:00:00:00:02");
    auto p = startDecoder(dec);
    ASSERT_TRUE(p);
    auto asker = ctrl.run([] { return qeltest::UdpSocket(0); });
    ASSERT_TRUE(asker.ok());

    // A hide of 2 s: the window's output channel is hidden, then shown again.
    ASSERT_FALSE(voChannel(dec, 0)["hidden"].asBool());
    ASSERT_TRUE(asker.sendTo(dec.ip(), 8888, "config qel set normal hide params 10.77.0.2 0 2"));
    auto r = asker.receive(2s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text, "config qel set normal hide params #SUCCEED ");
    EXPECT_EQ(r->fromPort, 8887);
    auto hiddenAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(voChannel(dec, 0)["hidden"].asBool());
    EXPECT_TRUE(eventually([&] { return !voChannel(dec, 0)["hidden"].asBool(); }, 6s))
        << p->output();
    auto shownAfter = std::chrono::steady_clock::now() - hiddenAt;
    EXPECT_GT(shownAfter, 1s);

    // The older verbs answer from the receive socket.
    ASSERT_TRUE(asker.sendTo(dec.ip(), 8888, "SetLayerPara 10.77.0.2 0 2"));
    r = asker.receive(2s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text, "SetLayerPara invalid");
    EXPECT_EQ(r->fromPort, 8888);

    // The MAC over TCP.
    auto tcp = ctrl.run([&] {
        qeltest::TcpClient c;
        c.connect(dec.ip(), 8888);
        return c;
    });
    ASSERT_TRUE(tcp.connected()) << tcp.error();
    ASSERT_TRUE(tcp.send("config get mac"));
    EXPECT_EQ(tcp.receive(2s), " 02:00:00:00:00:02 ");
    tcp.close();

    // The same address: netmask and gateway applied, no restart; a new one: reply, then restart.
    ASSERT_TRUE(asker.sendTo(
        dec.ip(), 8888,
        "config qel set net params 02:00:00:00:00:02 10.77.0.2 255.255.0.0 10.77.0.1"));
    r = asker.receive(2s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text, "config qel ack set net params #SUCCEED ");
    EXPECT_EQ(readFile(dec.path("/mnt/ifconfig.sh")),
              "\nifconfig eth0 10.77.0.2 netmask 255.255.0.0\n\n\n");
    EXPECT_EQ(readFile(dec.path("/mnt/gateway.sh")), "route add default gw 10.77.0.1\n\n");
    EXPECT_FALSE(p->waitExit(1s));
    ASSERT_TRUE(asker.sendTo(dec.ip(), 8888,
                             "config qel set net params 02:00:00:00:00:02 10.77.0.7 255.255.0.0 "));
    ASSERT_TRUE(asker.sendTo(
        dec.ip(), 8888,
        "config qel set net params 02:00:00:00:00:02 10.77.0.7 255.255.0.0 10.77.0.1"));
    r = asker.receive(2s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text, "config qel ack set net params #SUCCEED ");
    ASSERT_TRUE(p->waitExit(15s));
    EXPECT_EQ(p->exitStatus(), 0);
    std::string log = readFile(dec.path("/var/log/commands.log"));
    EXPECT_NE(log.find("ifconfig eth0 10.77.0.7 netmask 255.255.0.0\nroute add default gw "
                       "10.77.0.1\nreboot\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(readFile(dec.path("/mnt/IPConfig")), "ifconfig eth0 10.77.0.7");
}

}  // namespace
