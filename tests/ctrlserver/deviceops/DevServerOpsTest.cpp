// Device operations that stay inside the controller: IP sources, queries, controller settings
// and the CSV export, on a DevServer over a fresh box root.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device/DevServerFixture.h"

namespace {

std::vector<char> text(const std::string& s) {
    std::vector<char> v(s.begin(), s.end());
    v.push_back('\0');
    return v;
}

class DevServerOps : public DevServerTest {
protected:
    bool add(const std::string& args) { return start_().blAddQelIPSource(text(args).data()); }
    bool add2(const std::string& args) { return start_().blAddQelIPSource_2(text(args).data()); }
    bool remove(const std::string& args) { return start_().blRemoveQelIPSource(text(args).data()); }
    DevServer& start_() { return server ? *server : start(); }

    Decoder* addDecoder(const std::string& ip, const std::string& mac, int status = 1) {
        DevServer& s = start_();
        Decoder* d = new Decoder;
        d->ip = ip;
        d->mac = mac;
        d->name = "dec " + ip;
        d->status = status;
        d->index = s.decoderCount;
        s.decoders[s.decoderCount++] = d;
        return d;
    }
    Encoder* addEncoder(const std::string& ip, const std::string& mac) {
        DevServer& s = start_();
        Encoder* e = new Encoder;
        e->ip = ip;
        e->mac = mac;
        e->url0 = "rtsp://" + ip + "/stream1?multicast";
        e->url1 = "rtsp://" + ip + "/stream1s";
        e->index = s.encoderCount;
        s.encoders[s.encoderCount++] = e;
        return e;
    }
    Controller* addController(const std::string& ip, const std::string& mac) {
        DevServer& s = start_();
        Controller* c = new Controller;
        c->ip = ip;
        c->mac = mac;
        c->version = "2.0";
        s.controllers[s.controllerCount++] = c;
        return c;
    }
};

TEST_F(DevServerOps, CameraUrlsFollowTheCameraType) {
    ASSERT_TRUE(add("10.77.0.50 554 Gate 0 admin pw rtsp://ignored ?tcp"));
    ASSERT_TRUE(add("10.77.0.51 554 Yard 1 admin pw rtsp://ignored ?tcp"));
    ASSERT_TRUE(add("10.77.0.52 554 Hall 0 admin pw rtsp://given/main"));  // no suffix
    ASSERT_TRUE(add("10.77.0.53 8554 Roof 2 rtsp://10.77.0.53/live"));     // URL in place of user
    DevServer& s = *server;
    ASSERT_EQ(4, s.ipSourceCount);
    EXPECT_EQ("rtsp://admin:pw@10.77.0.50:554/cam/realmonitor?channel=1&subtype=0?tcp",
              s.ipSources[0]->url0);
    EXPECT_EQ("rtsp://admin:pw@10.77.0.50:554/cam/realmonitor?channel=1&subtype=1",
              s.ipSources[0]->url1);
    EXPECT_EQ("rtsp://admin:pw@10.77.0.51:554/h264/ch1/main/av_stream?tcp", s.ipSources[1]->url0);
    EXPECT_EQ("rtsp://admin:pw@10.77.0.51:554/h264/ch1/sub/av_stream", s.ipSources[1]->url1);
    EXPECT_EQ("rtsp://given/main", s.ipSources[2]->url0);
    EXPECT_EQ("", s.ipSources[2]->url1);
    EXPECT_EQ("rtsp://10.77.0.53/live", s.ipSources[3]->url0);
    EXPECT_EQ("", s.ipSources[3]->user);
    EXPECT_EQ("", s.ipSources[3]->url1);
    EXPECT_EQ(8554, s.ipSources[3]->port);
    EXPECT_EQ(0, s.ipSources[3]->channel);

    // The file holds them all and loads back.
    DevServer& again = start();
    ASSERT_EQ(4, again.ipSourceCount);
    EXPECT_EQ("Yard", again.ipSources[1]->name);
    EXPECT_EQ("rtsp://admin:pw@10.77.0.51:554/h264/ch1/sub/av_stream", again.ipSources[1]->url1);
}

TEST_F(DevServerOps, CameraUpdateRemoveAndReAdd) {
    ASSERT_TRUE(add("10.77.0.5 554 Five 0 u p x ?a"));
    ASSERT_TRUE(add("10.77.0.50 554 Fifty 0 u p x ?a"));  // a longer address is another camera
    ASSERT_TRUE(add("10.77.0.6 554 Six 0 u p x ?a"));
    ASSERT_TRUE(add("10.77.0.5 555 null 1 u2 p2 x ?b"));  // "null" keeps the name
    DevServer& s = *server;
    ASSERT_EQ(3, s.ipSourceCount);
    EXPECT_EQ("Five", s.ipSources[0]->name);
    EXPECT_EQ(555, s.ipSources[0]->port);
    EXPECT_EQ("rtsp://u2:p2@10.77.0.5:555/h264/ch1/main/av_stream?b", s.ipSources[0]->url0);
    EXPECT_EQ("Fifty", s.ipSources[1]->name);

    // The second syntax changes only the URL its stream word names.
    ASSERT_TRUE(add2("10.77.0.6 554 null 0 u p substream rtsp://sub/6"));
    EXPECT_EQ("rtsp://u:p@10.77.0.6:554/cam/realmonitor?channel=1&subtype=0?a",
              s.ipSources[2]->url0);
    EXPECT_EQ("rtsp://sub/6", s.ipSources[2]->url1);

    ASSERT_TRUE(remove("10.77.0.5"));
    ASSERT_EQ(2, s.ipSourceCount);
    EXPECT_EQ(0, s.ipSources[0]->index);
    EXPECT_EQ("10.77.0.50", s.ipSources[0]->ip);
    EXPECT_EQ(1, s.ipSources[1]->index);
    EXPECT_TRUE(remove("10.77.0.99"));  // nothing matched: only the file is rewritten
    DevServer& again = start();
    ASSERT_EQ(2, again.ipSourceCount);
    EXPECT_EQ("rtsp://sub/6", again.ipSources[1]->url1);
    ASSERT_TRUE(add("10.77.0.5 554 Five 0 u p x ?a"));
    EXPECT_EQ(3, again.ipSourceCount);
    EXPECT_EQ(2, again.ipSources[2]->index);
}

TEST_F(DevServerOps, BadCameraArgumentsChangeNothing) {
    ASSERT_TRUE(add("10.77.0.5 554 Five 0 u p x ?a"));
    const std::string longWord(32, 'a');
    for (const std::string& bad :
         {std::string("10.77.0.6 x554 Six 0"), std::string("10.77.0.6 554 Six t"),
          std::string("10.77.0.6 70000 Six 0"), std::string("10.77.0.300 554 Six 0"),
          std::string("not-an-address 554 Six 0"), std::string(""),
          "10.77.0.6 554 Six 0 " + longWord + " p x ?a", "10.77.0.6 554 Six 0 u p x " + longWord,
          "10.77.0.6 554 " + std::string(1024, 'n') + " 0"}) {
        EXPECT_FALSE(add(bad)) << bad;
    }
    EXPECT_FALSE(add2("10.77.0.6 554 " + std::string(128, 'n') + " 0 u p main rtsp://x"));
    EXPECT_EQ(1, server->ipSourceCount);
    EXPECT_TRUE(add2("10.77.0.6 554 " + std::string(127, 'n') + " 0 u p main rtsp://x"));

    // A full table refuses even a known address.
    DevServer& s = *server;
    while (s.ipSourceCount < QEL_MAX_DEVICES) {
        Encoder* e = new Encoder;
        e->ip = "10.1.0." + std::to_string(s.ipSourceCount);
        e->index = s.ipSourceCount;
        s.ipSources[s.ipSourceCount++] = e;
    }
    EXPECT_FALSE(add("10.77.0.5 554 Five 0 u p x ?a"));
    DevServer& empty = start();
    while (empty.ipSourceCount) ASSERT_TRUE(remove(empty.ipSources[0]->ip));
    EXPECT_FALSE(remove("10.77.0.5"));
}

TEST_F(DevServerOps, QueriesListInTableOrder) {
    addDecoder("10.77.0.3", "0:A:35:0:1:2", 4);
    addDecoder("10.77.0.20", "00:11:22:33:44:55", 1);
    addEncoder("10.77.0.3", "aa:bb:cc:dd:ee:ff");
    addController("10.77.0.1", "02:00:00:00:00:01");
    ASSERT_TRUE(add("10.77.0.50 554 Gate 0 u p x ?tcp"));
    DevServer& s = *server;

    ArrayList<Device> all;
    EXPECT_EQ(4, s.iGetQelDevices(all));
    EXPECT_EQ("10.77.0.3", all.get(0)->ip);
    EXPECT_EQ(4, all.get(0)->status);
    EXPECT_EQ(DTYPE_DECODER, all.get(1)->dtype);
    EXPECT_EQ(DTYPE_ENCODER, all.get(2)->dtype);
    EXPECT_EQ(DTYPE_CONTROLLER, all.get(3)->dtype);

    ArrayList<Device> withIpc;
    EXPECT_EQ(4, s.iGetQelDevicesIncludeIpc(withIpc));
    EXPECT_EQ("rtsp://10.77.0.3/stream1s", withIpc.get(2)->extra);
    EXPECT_EQ("rtsp://u:p@10.77.0.50:554/cam/realmonitor?channel=1&subtype=1",
              withIpc.get(3)->extra);

    ArrayList<Device> every, one, none;
    EXPECT_EQ(3, s.iGetQelDevices(every, "255.255.255.255"));  // no controllers, no cameras
    EXPECT_EQ(1, s.iGetQelDevices(one, "10.77.0.3"));
    EXPECT_EQ(DTYPE_DECODER, one.get(0)->dtype);  // decoders before encoders
    EXPECT_EQ(0, s.iGetQelDevices(none, "10.77.0.4"));
    EXPECT_EQ(0, none.count);

    ArrayList<Decoder> decs;
    ArrayList<Encoder> encs;
    EXPECT_EQ(3, s.iGetQelDevices(decs, encs, "255.255.255.255"));
    EXPECT_EQ(2, decs.count);
    EXPECT_EQ(1, encs.count);

    ArrayList<Device> byMac, ctrlByMac, noMac;
    EXPECT_EQ(1, s.iGetQelDeviceWithMac(byMac, "00:0a:35:00:01:02"));
    EXPECT_EQ("10.77.0.3", byMac.get(0)->ip);
    EXPECT_EQ(1, s.iGetQelDeviceWithMac(ctrlByMac, "2:0:0:0:0:1"));
    EXPECT_EQ(DTYPE_CONTROLLER, ctrlByMac.get(0)->dtype);
    EXPECT_EQ(0, s.iGetQelDeviceWithMac(noMac, "00:0a:35:00:01:03"));

    EXPECT_EQ("rtsp://10.77.0.3/stream1?multicast", s.iGetQelEncoderUrl("10.77.0.3"));
    EXPECT_EQ("", s.iGetQelEncoderUrl("10.77.0.50"));  // cameras are not encoders

    ArrayList<Encoder> cams, cam, both;
    EXPECT_EQ(1, s.iGetQelIPSource(cams));
    EXPECT_EQ(1, s.iGetQelIPSourceWithIP("10.77.0.50", cam));
    EXPECT_EQ(0, s.iGetQelIPSourceWithIP(std::string(1025, '1').c_str(), cam));
    EXPECT_EQ(2, s.iGetQelEncoderIPSourceDevices(both));
    ArrayList<Controller> ctrls;
    EXPECT_EQ(1, s.iGetQelControllerDevices(ctrls));
    EXPECT_EQ("", ctrls.get(0)->version);  // made from the identity only
}

TEST_F(DevServerOps, PasswordMasterAndStatus) {
    DevServer& s = start();
    auto check = [&](const char* p) { return s.blCheckSysPass(text(p).data()); };
    EXPECT_TRUE(check(""));
    EXPECT_FALSE(check("x"));
    EXPECT_TRUE(s.blSetSysPass(text("Secret").data()));
    EXPECT_TRUE(check("Secret"));
    EXPECT_FALSE(check("secret"));
    EXPECT_FALSE(check("Secret "));

    EXPECT_FALSE(s.blGetControllerMaster());
    EXPECT_TRUE(s.blSetControllerMaster(text("10.77.0.1").data()));
    EXPECT_TRUE(s.blGetControllerMaster());  // an empty enable value counts as enabled
    EXPECT_TRUE(s.blSetControllerMaster(text("10.77.0.1 0").data()));
    EXPECT_FALSE(s.blGetControllerMaster());
    EXPECT_TRUE(s.blSetControllerMaster(text("10.77.0.1 1").data()));
    EXPECT_FALSE(s.blSetControllerMaster(text("10.77.0.100.100.1 0").data()));  // 16 characters
    DevServer& again = start();
    EXPECT_TRUE(again.blGetControllerMaster());
    EXPECT_TRUE(again.blCheckSysPass(text("Secret").data()));
    // A whole rewrite of the controller file keeps the settings.
    again.blSaveQelDeviceToConfig(QEL_KIND_CONTROLLER);
    EXPECT_TRUE(start().blCheckSysPass(text("Secret").data()));

    DevServer& d = *server;
    SysInfo info;
    EXPECT_TRUE(d.blGetSysStatus(info));
    EXPECT_EQ("ARM & Embeded Linux", info.info);
    EXPECT_EQ("System Is Running", info.status);
    EXPECT_EQ("Serial supported | Controller & Encoder", info.statistics);
    addDecoder("10.77.0.3", "m")->version = "Version 1.0";
    addController("10.77.0.1", "c")->version = "";
    SysInfo dev;
    dev.status = "kept";
    EXPECT_TRUE(d.blGetDevStatus(1, text("10.77.0.3").data(), dev));
    EXPECT_EQ("version: K4400-RX-Version 1.0;", dev.info);
    EXPECT_EQ("kept", dev.status);
    EXPECT_TRUE(d.blGetDevStatus(2, text("10.77.0.1").data(), dev));
    EXPECT_EQ("version: K4400-CTRL-;", dev.info);
    EXPECT_TRUE(d.blGetDevStatus(0, text("10.77.0.3").data(), dev));  // no such encoder
    EXPECT_EQ("version: K4400-CTRL-;", dev.info);

    EXPECT_FALSE(d.blUpdateServerIP(nullptr));
    EXPECT_FALSE(d.blUpdateServerIP(text("").data()));
    EXPECT_TRUE(d.blUpdateServerIP(text("10.77.0.1").data()));
    EXPECT_EQ("10.77.0.1", d.serverIP);
}

TEST_F(DevServerOps, CsvIsWrittenOnlyWhereItCanBe) {
    DevServer& s = start();
    EXPECT_FALSE(s.blSaveQelDeviceToCsvConfig());  // no /var/www: nothing written
    EXPECT_FALSE(exists("/var/www/qeldevNet.csv"));
    ASSERT_EQ(0, mkdir(file("/var").c_str(), 0755));
    ASSERT_EQ(0, mkdir(file("/var/www").c_str(), 0755));
    EXPECT_TRUE(s.blSaveQelDeviceToCsvConfig());
    std::ifstream in(file("/var/www/qeldevNet.csv"));
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ("MAC,IP,NAME,NETMASK,GATEWAY,\n", got.str());
}

}  // namespace
