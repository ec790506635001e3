// The wall model over a real device server in a box of the test network, with fake decoders
// in boxes of their own: the texts the model queues must reach the right decoders as wire
// texts.
#include <gtest/gtest.h>
#include <json/json.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device/DevServer.h"
#include "live/BasicUsageEnvironment.hh"
#include "support/FakeDevice.h"
#include "support/TestNet.h"
#include "wall/VSServer.h"

using namespace std::chrono_literals;

namespace {

struct Record {
    std::string ip, name, mac, url0;
};

// Writes a device table file of the given kind ("decoder", "encoder").
void writeTable(const std::string& path, const std::string& kind,
                const std::vector<Record>& records) {
    Json::Value doc(Json::objectValue);
    Json::Value& config = doc["config"] = Json::Value(Json::arrayValue);
    auto add = [&](const std::string& key, const Json::Value& v) {
        Json::Value e(Json::objectValue);
        e[key] = v;
        config.append(e);
    };
    add(kind + "_count", static_cast<int>(records.size()));
    for (size_t i = 0; i < records.size(); ++i) {
        const std::string p = kind + (i < 10 ? "0" : "") + std::to_string(i) + "_";
        add(p + "ip", records[i].ip);
        add(p + "name", records[i].name);
        add(p + "hostname", "host-" + records[i].name);
        add(p + "mac", records[i].mac);
        add(p + "url0", records[i].url0);
    }
    std::ofstream(path) << doc.toStyledString();
}

}  // namespace

TEST(WallOpsSystem, ModelTextsReachTheFakeDecodersThatShowTheWindows) {
    QEL_REQUIRE_TEST_NETWORK();
    qeltest::TestNet net;
    ASSERT_TRUE(net.ok()) << net.error();
    qeltest::Box& ctrl = net.addBox("ctrl", 1);
    ASSERT_TRUE(ctrl.ok());
    qeltest::FakeDevice left(net.addBox("left", 2), qeltest::FakeDevice::Kind::Decoder);
    qeltest::FakeDevice right(net.addBox("right", 3), qeltest::FakeDevice::Kind::Decoder);
    ASSERT_TRUE(left.ok()) << left.error();
    ASSERT_TRUE(right.ok()) << right.error();

    ASSERT_EQ(mkdir(ctrl.path("/mnt").c_str(), 0755), 0);
    writeTable(ctrl.path("/mnt/qeldevDecoder.ini"), "decoder",
               {{left.ip(), "Left", "00:11:22:00:00:02", ""},
                {right.ip(), "Right", "00:11:22:00:00:03", ""}});
    writeTable(ctrl.path("/mnt/qeldevEncoder.ini"), "encoder",
               {{"10.77.0.21", "Cam", "00:11:22:00:00:21", "rtsp://10.77.0.21/main"}});
    setenv("QEL_ROOT", ctrl.root().c_str(), 1);

    // The device server's sending thread starts in the controller's box.
    qeltest::InNamespace inCtrl(ctrl.netns());
    ASSERT_TRUE(inCtrl.ok());
    TaskScheduler* scheduler = BasicTaskScheduler::createNew();
    UsageEnvironment* env = BasicUsageEnvironment::createNew(*scheduler);
    std::unique_ptr<DevServer> dev(DevServer::createNew(*env, Port(6668), 0));
    ASSERT_TRUE(dev);
    ASSERT_EQ(dev->decoderCount, 2);
    std::unique_ptr<VSServer> model(VSServer::createNew(*env, *dev));
    ASSERT_TRUE(model);

    // The default wall: 2 x 2 cells of 1920 x 1080; window 0 of cell 0 spreads into cell 1.
    model->pVScreen->ip[0] = left.ip();
    model->pVScreen->ip[1] = right.ip();
    VWin& w = *model->pVWin[0];
    w.used = w.visible = 1;
    w.hStart = 1000;
    w.hEnd = 2500;
    w.vStart = 0;
    w.vEnd = 500;
    w.url = "rtsp://10.77.0.21/main";

    ASSERT_EQ(model->blUpdateVScreenUnicastDevIp("00:11:22:00:00:21", "10.77.0.121"), 1);
    const std::string url = "rtsp://10.77.0.121/main";
    auto own = left.waitFor("config qel set url params " + left.ip() + " 0 " + url, 3s);
    EXPECT_TRUE(own) << "left decoder got no url text";
    auto spill = right.waitFor("config qel set url params " + right.ip() + " 16 " + url, 3s);
    EXPECT_TRUE(spill) << "right decoder got no url text";

    ASSERT_EQ(model->cmdSetRXParams("255.255.255.255", "40", "41", "42", "43", "1", "null"), 0);
    EXPECT_TRUE(
        left.waitFor("config qel set decoder params " + left.ip() + " 40 41 42 43 1 Left", 3s));
    EXPECT_TRUE(
        right.waitFor("config qel set decoder params " + right.ip() + " 40 41 42 43 1 Right", 3s));
    // Each decoder got only its own texts.
    for (const auto& d : left.received()) EXPECT_EQ(d.text.find(right.ip()), std::string::npos);
    for (const auto& d : right.received()) EXPECT_EQ(d.text.find(left.ip()), std::string::npos);

    model.reset();
    dev.reset();
    delete env;
    delete scheduler;
}
