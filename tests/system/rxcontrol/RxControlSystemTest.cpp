// The decoder program on the test network: its first start, discovery by a real DevServer,
// device verbs from the controller and straight over UDP, the watchdog, the link watcher,
// reboot and factory reset.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

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

std::string unusedMainFile() {
    std::string t = "1\n";
    for (int i = 0; i < 32; ++i) t += "unused_window\n";
    return t + "18\n10\n";
}

using RxControl = rxsys::RxSystemTest;

TEST_F(RxControl, FirstStartCreatesItsFilesAndIsDiscoveredWithNameAndMac) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    writeFile(ctrl.path("/var/www/.keep"), "");
    writeFile(ctrl.path("/mnt/.keep"), "");
    qeltest::Box& left = decoderBox("left", 2, "02:00:00:00:00:02");
    qeltest::Box& plain = decoderBox("plain", 3, "02:00:00:00:00:03");
    writeFile(left.path("/mnt/decodername.ini"), "Left\n");
    auto p2 = startDecoder(left);
    auto p3 = startDecoder(plain);
    ASSERT_TRUE(p2 && p3);

    // The first start on an empty /mnt.
    EXPECT_EQ(readFile(plain.path("/mnt/config.ini")), unusedMainFile());
    EXPECT_EQ(readFile(plain.path("/mnt/config.bak")), unusedMainFile());
    EXPECT_EQ(readFile(plain.path("/mnt/cutedge.ini")), "0\n0\n");
    EXPECT_EQ(readFile(plain.path("/mnt/audiooutput.ini")), "1\n");
    EXPECT_EQ(readFile(plain.path("/mnt/serialconfig.ini")),
              "115200\n8\n0\n1\n255.255.255.255\n0\n");
    EXPECT_EQ(readFile(plain.path("/mnt/decodername.ini")), "RX\n");
    EXPECT_EQ(readFile(plain.path("/mnt/spiltnum.ini")), "1\n");
    EXPECT_EQ(readFile(plain.path("/mnt/csc.ini")), "50\n50\n50\n50\n");
    EXPECT_EQ(readFile(plain.path("/mnt/IPConfig")), "ifconfig eth0 10.77.0.3");
    EXPECT_EQ(readFile(plain.path("/mnt/MacConfig")), "ifconfig eth0 hw ether 02:00:00:00:00:03");
    EXPECT_EQ(readFile(plain.path("/mnt/NetmaskConfig")), "ifconfig eth0 netmask 255.255.255.0");
    EXPECT_EQ(readFile(plain.path("/mnt/GatewayConfig")), "route add default gw 10.77.0.254");
    EXPECT_NE(readFile(plain.path("/var/log/commands.log"))
                  .find("route add -host 255.255.255.255 dev eth0\n"),
              std::string::npos);

    std::string out = devops::runTool(ctrl, {"find 7", "dump"}, 40s);
    auto decoders = devops::linesWith(out, "@decoder ");
    ASSERT_EQ(decoders.size(), 2u) << out;
    EXPECT_EQ(decoders[0].rfind("@decoder 0|10.77.0.2|02:00:00:00:00:02|DEC7M03-020000000002|Left|"
                                "255.255.255.0|10.77.0.254|V1.6.2.1_0104_2019|1|",
                                0),
              0u)
        << decoders[0];
    EXPECT_EQ(
        decoders[1].rfind("@decoder 1|10.77.0.3|02:00:00:00:00:03|DEC7M03-020000000003|RX|", 0), 0u)
        << decoders[1];
}

TEST_F(RxControl, ControllerSetsThePictureOfOneDecoder) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    mkdir(ctrl.path("/mnt").c_str(), 0755);
    qeltest::Box& left = decoderBox("left", 2, "02:00:00:00:00:02");
    qeltest::Box& plain = decoderBox("plain", 3, "02:00:00:00:00:03");
    auto p2 = startDecoder(left);
    auto p3 = startDecoder(plain);
    ASSERT_TRUE(p2 && p3);
    auto server = ctrl.start(qeltest::programPath("ctrlserver_devtest"), {"9900"});
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStdout("devtest ready", 5s)) << server->output();
    auto client = ctrl.run([] { return qeltest::UdpSocket(0); });
    ASSERT_TRUE(client.sendTo(ctrl.ip(), 9900,
                              "devtest config set decoder params 10.77.0.2 60 40 30 20 1"));
    auto reply = client.receive(3s);
    ASSERT_TRUE(reply) << server->output();

    for (int i = 0; i < 50 && readFile(left.path("/mnt/csc.ini")) != "60\n40\n30\n20\n"; ++i)
        std::this_thread::sleep_for(100ms);
    EXPECT_EQ(readFile(left.path("/mnt/csc.ini")), "60\n40\n30\n20\n") << p2->output();
    Json::Value csc = simState(left)["vo"][0]["csc"];
    EXPECT_EQ(csc["luma"].asInt(), 60);
    EXPECT_EQ(csc["contrast"].asInt(), 40);
    EXPECT_EQ(csc["hue"].asInt(), 30);
    EXPECT_EQ(csc["saturation"].asInt(), 20);
    EXPECT_EQ(readFile(plain.path("/mnt/csc.ini")), "50\n50\n50\n50\n");
    EXPECT_EQ(simState(plain)["vo"][0]["csc"]["luma"].asInt(), 50);
    EXPECT_TRUE(p2->running());
}

TEST_F(RxControl, AnswersOnTheDeviceProtocol) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    qeltest::Box& dec = decoderBox("dec", 2, "02:00:00:00:00:02");
    auto p = startDecoder(dec);
    ASSERT_TRUE(p);
    auto asker = ctrl.run([] { return qeltest::UdpSocket(0); });
    auto listener = ctrl.run([] { return qeltest::UdpSocket(8888); });
    ASSERT_TRUE(asker.ok() && listener.ok());

    ASSERT_TRUE(asker.sendTo(dec.ip(), 8888, "config qel set connect 10.77.0.2"));
    auto r = asker.receive(2s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text, "config qel ack set connect #SUCCEED ");
    EXPECT_EQ(r->fromPort, 8887);

    // Discovery: one answer to the asker from 8887, one broadcast to 8888.
    ASSERT_TRUE(asker.sendTo("255.255.255.255", 8888, "config qel get decoders"));
    r = asker.receive(2s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text.rfind("config qel ack get decoders #SUCCEED #02:00:00:00:00:02 #", 0), 0u)
        << r->text;
    EXPECT_EQ(r->fromPort, 8887);
    auto b = listener.receiveMatching("config qel ack get decoders", 2s);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->text, r->text);

    // Another box's address, a text ending in a blank, and an over-long datagram: no answer.
    ASSERT_TRUE(asker.sendTo(dec.ip(), 8888, "config qel set connect 10.77.0.9"));
    ASSERT_TRUE(asker.sendTo(dec.ip(), 8888, "config qel set decoder name 10.77.0.2 "));
    ASSERT_TRUE(asker.sendTo(dec.ip(), 8888, "connect" + std::string(1100, 'x')));
    EXPECT_FALSE(asker.receive(300ms));

    EXPECT_EQ(ask(asker, dec.ip(), "config qel set decoder name 10.77.0.2 Front hall"),
              "config qel ack set decoder name #SUCCEED ");
    EXPECT_EQ(readFile(dec.path("/mnt/decodername.ini")), "Front hall\n");

    EXPECT_EQ(ask(asker, dec.ip(), "config qel set internalcmd 10.77.0.2 rm -rf /mnt"),
              "config qel ack set internalcmd #SUCCEED ");
    EXPECT_NE(readFile(dec.path("/var/log/commands.log")).find("internalcmd: rm -rf /mnt\n"),
              std::string::npos);
    EXPECT_EQ(readFile(dec.path("/mnt/decodername.ini")), "Front hall\n");

    // The watchdog is fed while the box runs.
    int before = simState(dec)["watchdog"]["feeds"].asInt();
    std::this_thread::sleep_for(1500ms);
    EXPECT_GT(simState(dec)["watchdog"]["feeds"].asInt(), before);
    EXPECT_TRUE(simState(dec)["watchdog"]["open"].asBool());
}

TEST_F(RxControl, RunsWithoutAWatchdogAndReportsTheLinkDown) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    qeltest::Box& dec = decoderBox("dec", 2, "02:00:00:00:00:02");
    mkdir(dec.path("/sim").c_str(), 0755);
    writeFile(dec.path("/sim/fail"), "open:/dev/watchdog 19\n");
    auto p = startDecoder(dec);
    ASSERT_TRUE(p);
    EXPECT_NE(p->stdoutText().find("Open watchdog fail !"), std::string::npos);
    auto asker = ctrl.run([] { return qeltest::UdpSocket(0); });
    EXPECT_EQ(ask(asker, dec.ip(), "connect"), "connected");
    EXPECT_EQ(p->stdoutText().find("Feed watchdog fail !"), std::string::npos);

    std::string out;
    ASSERT_EQ(qeltest::runCommand({"ip", "-n", dec.netns(), "link", "set", "eth0", "down"}, &out),
              0)
        << out;
    EXPECT_TRUE(p->waitForStdout("eth0 Link is DOWN.", 10s)) << p->output();
}

TEST_F(RxControl, RebootAndFactoryResetEndTheProgramAndTheBoxComesBack) {
    qeltest::Box& ctrl = net->addBox("ctrl", 1);
    qeltest::Box& dec = decoderBox("dec", 2, "02:00:00:00:00:02");
    auto p = startDecoder(dec);
    ASSERT_TRUE(p);
    auto asker = ctrl.run([] { return qeltest::UdpSocket(0); });
    EXPECT_EQ(ask(asker, dec.ip(), "config qel set reboot 10.77.0.2"),
              "config qel set reboot #SUCCEED ");
    ASSERT_TRUE(p->waitExit(15s));
    EXPECT_EQ(p->exitStatus(), 0);
    EXPECT_NE(readFile(dec.path("/var/log/commands.log")).find("\nreboot\n"), std::string::npos);

    // A factory set in /usr/backup; the reset copies it back, keeps the MAC file and drops the
    // split-number file, which the next start recreates.
    mkdir(dec.path("/usr").c_str(), 0755);
    mkdir(dec.path("/usr/backup").c_str(), 0755);
    writeFile(dec.path("/usr/backup/csc.ini"), "10\n20\n30\n40\n");
    writeFile(dec.path("/usr/backup/config.ini"), unusedMainFile());
    writeFile(dec.path("/usr/backup/decodername.ini"), "Factory\n");
    writeFile(dec.path("/usr/backup/IPConfig"), "ifconfig eth0 192.168.1.100");
    writeFile(dec.path("/mnt/decodername.ini"), "Changed\n");
    p = startDecoder(dec);
    ASSERT_TRUE(p);
    EXPECT_EQ(ask(asker, dec.ip(), "config qel set device restorefactory 10.77.0.2"),
              "config qel ack set device restorefactory #SUCCEED ");
    ASSERT_TRUE(p->waitExit(15s));
    EXPECT_EQ(p->exitStatus(), 0);
    EXPECT_EQ(readFile(dec.path("/mnt/csc.ini")), "10\n20\n30\n40\n");
    EXPECT_EQ(readFile(dec.path("/mnt/config.bak")), unusedMainFile());
    EXPECT_EQ(readFile(dec.path("/mnt/decodername.ini")), "Factory\n");
    EXPECT_EQ(readFile(dec.path("/mnt/IPConfig")), "ifconfig eth0 192.168.1.100");
    EXPECT_EQ(readFile(dec.path("/mnt/MacConfig")), "ifconfig eth0 hw ether 02:00:00:00:00:02");
    struct stat st;
    EXPECT_NE(stat(dec.path("/mnt/spiltnum.ini").c_str(), &st), 0);

    p = startDecoder(dec);
    ASSERT_TRUE(p);
    EXPECT_EQ(readFile(dec.path("/mnt/spiltnum.ini")), "1\n");
    EXPECT_EQ(ask(asker, dec.ip(), "connect"), "connected");
}

}  // namespace
