#include <unistd.h>

#include "DevServerFixture.h"

namespace {

using KV = std::vector<std::pair<std::string, Json::Value>>;

std::string key(const char* format, int i, const char* field) {
    char buf[64];
    snprintf(buf, sizeof buf, format, i);
    return std::string(buf) + field;
}

TEST_F(DevServerTest, FirstStartHasEmptyTablesAndStatusTexts) {
    DevServer& s = start();
    EXPECT_EQ(s.decoderCount, 0);
    EXPECT_EQ(s.encoderCount, 0);
    EXPECT_EQ(s.controllerCount, 0);
    EXPECT_EQ(s.ipSourceCount, 0);
    EXPECT_EQ(s.deviceCount, 0);
    EXPECT_EQ(s.decoders[0], nullptr);
    EXPECT_EQ(s.sysInfo.info, "ARM & Embeded Linux");
    EXPECT_EQ(s.sysInfo.status, "System Is Running");
    EXPECT_EQ(s.sysInfo.statistics, "Serial supported | Controller & Encoder");
    EXPECT_EQ(s.serverIP, "");
}

TEST_F(DevServerTest, CountOnlyFilesLoadDefaults) {
    writeFile(QEL_DECODER_FILE, {{"decoder_count", 2}});
    writeFile(QEL_ENCODER_FILE, {{"encoder_count", 1}});
    writeFile(QEL_CONTROLLER_FILE, {{"controller_count", 1}});
    writeFile(QEL_IPSOURCE_FILE, {{"ipsource_count", 1}, {"ipsource00_ip", "10.0.0.9"}});
    DevServer& s = start();

    ASSERT_EQ(s.decoderCount, 2);
    for (int i = 0; i < 2; i++) {
        const Decoder& d = *s.decoders[i];
        EXPECT_EQ(d.index, i);
        EXPECT_EQ(d.dtype, 1);
        EXPECT_EQ(d.ip, "0.0.0.0");
        EXPECT_EQ(d.name, "unnamed");
        EXPECT_EQ(d.mac, "");
        EXPECT_EQ(d.luma, 50);
        EXPECT_EQ(d.contrast, 50);
        EXPECT_EQ(d.hue, 50);
        EXPECT_EQ(d.saturation, 50);
        EXPECT_EQ(d.audiooutput, 0);
        EXPECT_EQ(d.status, 1);
        EXPECT_EQ(d.baud, 115200);
        EXPECT_EQ(d.databits, 8);
        EXPECT_EQ(d.parity, 0);
        EXPECT_EQ(d.stopbits, 1);
        EXPECT_EQ(d.bynetswitch, 0);
        EXPECT_EQ(d.bynetip, "255.255.255.255");
        EXPECT_EQ(d.version, "Version 1.0");
    }
    ASSERT_EQ(s.encoderCount, 1);
    const Encoder& e = *s.encoders[0];
    EXPECT_EQ(e.dtype, 0);
    EXPECT_EQ(e.name, "unnamed");
    EXPECT_EQ(e.fps, 0);
    EXPECT_EQ(e.url0, "");
    EXPECT_EQ(e.baud, 115200);
    EXPECT_EQ(e.stopbits, 1);
    EXPECT_EQ(e.bynetip, "255.255.255.255");
    EXPECT_EQ(e.version, "Version 1.0");
    ASSERT_EQ(s.controllerCount, 1);
    const Controller& c = *s.controllers[0];
    EXPECT_EQ(c.dtype, 2);
    EXPECT_EQ(c.ip, "0.0.0.0");
    EXPECT_EQ(c.name, "");
    EXPECT_EQ(c.version, "");
    EXPECT_EQ(c.baud, 0);
    EXPECT_EQ(c.bynetip, "");
    ASSERT_EQ(s.ipSourceCount, 1);
    EXPECT_EQ(s.ipSources[0]->ip, "10.0.0.9");
    EXPECT_EQ(s.ipSources[0]->channel, 2);
    EXPECT_EQ(s.ipSources[0]->name, "");
}

TEST_F(DevServerTest, FilledFilesLoadAndOverlongNamesFallBack) {
    const std::string n40(40, 'n'), n41(41, 'n');
    writeFile(QEL_DECODER_FILE, {{"decoder00_ip", "10.0.0.2"},
                                 {"decoder00_name", n40},
                                 {"decoder00_luma", 7},
                                 {"decoder00_splitnum", 4},
                                 {"decoder01_name", n41},
                                 {"decoder_count", 2}});
    writeFile(QEL_ENCODER_FILE, {{"encoder00_name", n41},
                                 {"encoder00_url0", "rtsp://10.0.0.3/stream1?multicast"},
                                 {"encoder00_vbrbitrate", 1},
                                 {"encoder_count", 1}});
    writeFile(QEL_CONTROLLER_FILE, {{"controller03_ip", "10.0.0.4"}, {"controller_count", 4}});
    writeFile(QEL_IPSOURCE_FILE, {{"ipsource00_ip", "10.0.0.5"},
                                  {"ipsource00_name", n41},
                                  {"ipsource00_port", 554},
                                  {"ipsource00_channel", 0},
                                  {"ipsource_count", 1}});
    DevServer& s = start();
    ASSERT_EQ(s.decoderCount, 2);
    EXPECT_EQ(s.decoders[0]->ip, "10.0.0.2");
    EXPECT_EQ(s.decoders[0]->name, n40);
    EXPECT_EQ(s.decoders[0]->luma, 7);
    EXPECT_EQ(s.decoders[0]->status, 4);
    EXPECT_EQ(s.decoders[1]->name, "RX");
    EXPECT_EQ(s.encoders[0]->name, "TX");
    EXPECT_EQ(s.encoders[0]->url0, "rtsp://10.0.0.3/stream1?multicast");
    EXPECT_EQ(s.encoders[0]->vbrbitrate, 1);
    ASSERT_EQ(s.controllerCount, 4);
    EXPECT_EQ(s.controllers[3]->ip, "10.0.0.4");
    EXPECT_EQ(s.controllers[3]->index, 3);
    ASSERT_EQ(s.ipSourceCount, 1);
    EXPECT_EQ(s.ipSources[0]->name, "CAM");
    EXPECT_EQ(s.ipSources[0]->port, 554);
    EXPECT_EQ(s.ipSources[0]->channel, 0);
}

TEST_F(DevServerTest, StoredCountsAreBounded) {
    writeFile(QEL_DECODER_FILE, {{"decoder_count", 100000}});
    writeFile(QEL_ENCODER_FILE, {{"encoder_count", -3}});
    writeFile(QEL_IPSOURCE_FILE, {{"ipsource_count", 100000}, {"ipsource00_ip", "10.0.0.5"}});
    DevServer& s = start();
    EXPECT_EQ(s.decoderCount, QEL_MAX_DEVICES);
    EXPECT_NE(s.decoders[QEL_MAX_DEVICES - 1], nullptr);
    EXPECT_EQ(s.encoderCount, 0);
    EXPECT_EQ(s.ipSourceCount, 1);  // the records without an address are skipped
}

TEST_F(DevServerTest, IPSourceWithoutAddressIsSkippedNotTheWholeTable) {
    writeFile(QEL_IPSOURCE_FILE, {{"ipsource00_ip", "10.0.0.5"},
                                  {"ipsource00_name", "door"},
                                  {"ipsource01_name", "lost"},
                                  {"ipsource02_ip", "10.0.0.7"},
                                  {"ipsource02_name", "hall"},
                                  {"ipsource_count", 3}});
    DevServer& s = start();
    ASSERT_EQ(s.ipSourceCount, 2);
    EXPECT_EQ(s.ipSources[0]->name, "door");
    EXPECT_EQ(s.ipSources[1]->name, "hall");
    EXPECT_EQ(s.ipSources[1]->index, 1);
    EXPECT_TRUE(s.blGetQelEncoderFromConfig());
}

TEST_F(DevServerTest, WholeRewriteWritesEveryKeyInOrderAndTheCountLast) {
    DevServer& s = start();
    {
        std::lock_guard<std::recursive_mutex> lock(s.tableMutex);
        for (int i = 0; i < 101; i++) {
            Decoder* d = new Decoder();
            d->index = i;
            d->ip = "10.1.0." + std::to_string(i);
            d->luma = i;
            s.decoders[i] = d;
        }
        s.decoderCount = 101;
    }
    ASSERT_TRUE(s.blSaveQelDeviceToConfig(1));
    KV kv = readFile(QEL_DECODER_FILE);
    ASSERT_EQ(kv.size(), 101u * 20u + 1u);
    const char* order[] = {"ip",          "name",        "mac",       "hostname",   "netmask",
                           "gateway",     "luma",        "contrast",  "saturation", "hue",
                           "audiooutput", "splitnum",    "baud",      "databits",   "parity",
                           "stopbits",    "bynetswitch", "bynetmode", "bynetip",    "version"};
    for (int i = 0; i < 20; i++) EXPECT_EQ(kv[i].first, key("decoder%02d_", 0, order[i]));
    EXPECT_EQ(kv[11 * 20 + 19].first, "decoder11_version");
    EXPECT_EQ(kv[100 * 20].first, "decoder100_ip");
    EXPECT_EQ(kv[100 * 20].second.asString(), "10.1.0.100");
    EXPECT_EQ(kv[100 * 20 + 6].second.asInt(), 100);  // luma, an integer
    EXPECT_EQ(kv.back().first, "decoder_count");
    EXPECT_EQ(kv.back().second.asInt(), 101);

    // "type" is never written; it reads back as the table's kind.
    start();
    EXPECT_EQ(server->decoderCount, 101);
    EXPECT_EQ(server->decoders[100]->ip, "10.1.0.100");
    EXPECT_EQ(server->decoders[100]->dtype, 1);
}

TEST_F(DevServerTest, WholeRewriteOfAnEmptyTableLeavesTheCount) {
    writeFile(QEL_ENCODER_FILE, {{"encoder00_ip", "10.0.0.3"}, {"encoder_count", 1}});
    DevServer& s = start();
    {
        std::lock_guard<std::recursive_mutex> lock(s.tableMutex);
        delete s.encoders[0];
        s.encoders[0] = nullptr;
        s.encoderCount = 0;
    }
    s.blSaveQelDeviceToConfig(0);
    KV kv = readFile(QEL_ENCODER_FILE);
    ASSERT_EQ(kv.size(), 1u);
    EXPECT_EQ(kv[0].first, "encoder_count");
    EXPECT_EQ(kv[0].second.asInt(), 0);
}

TEST_F(DevServerTest, ControllerRewriteKeepsTheControllerSettings) {
    writeFile(QEL_CONTROLLER_FILE, {{"master_ip", "10.0.0.1"},
                                    {"controller00_ip", "10.0.0.8"},
                                    {"master_en", "1"},
                                    {"pass", "secret"},
                                    {"controller_count", 4}});
    DevServer& s = start();
    {
        std::lock_guard<std::recursive_mutex> lock(s.tableMutex);
        s.controllers[3]->ip = "10.0.0.11";
        s.controllers[3]->mac = "00:11:22:33:44:55";
    }
    s.blSaveQelDeviceToConfig(4);  // all three files
    KV kv = readFile(QEL_CONTROLLER_FILE);
    ASSERT_EQ(kv.size(), 4u * 4u + 4u);
    EXPECT_EQ(kv[12].first, "controller03_ip");
    EXPECT_EQ(kv[12].second.asString(), "10.0.0.11");
    EXPECT_EQ(kv[16].first, "master_ip");
    EXPECT_EQ(kv[16].second.asString(), "10.0.0.1");
    EXPECT_EQ(kv[17].first, "master_en");
    EXPECT_EQ(kv[17].second.asString(), "1");
    EXPECT_EQ(kv[18].first, "pass");
    EXPECT_EQ(kv[18].second.asString(), "secret");
    EXPECT_EQ(kv[19].first, "controller_count");
    EXPECT_TRUE(exists(QEL_DECODER_FILE));
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder_count").asInt(), 0);

    start();
    EXPECT_EQ(server->controllers[3]->ip, "10.0.0.11");
    EXPECT_EQ(server->controllers[3]->mac, "00:11:22:33:44:55");
}

TEST_F(DevServerTest, ChangesOnlyWriteSavesNothingWhenNothingDiffers) {
    DevServer& s = start();
    {
        std::lock_guard<std::recursive_mutex> lock(s.tableMutex);
        s.decoders[0] = new Decoder();
        s.decoders[0]->ip = "10.0.0.2";
        s.decoderCount = 1;
    }
    s.blNewSaveQelDeviceToConfig(1);
    ASSERT_EQ(value(QEL_DECODER_FILE, "decoder00_ip").asString(), "10.0.0.2");
    // Remove the file behind the store's back: a write with nothing to change saves nothing,
    // so the file stays gone.
    ASSERT_EQ(unlink(file(QEL_DECODER_FILE).c_str()), 0);
    s.blNewSaveQelDeviceToConfig(1);
    s.blNewSaveQelDeviceToConfig(4);
    EXPECT_FALSE(exists(QEL_DECODER_FILE));
    EXPECT_FALSE(exists(QEL_ENCODER_FILE));  // an empty table writes nothing

    {
        std::lock_guard<std::recursive_mutex> lock(s.tableMutex);
        s.decoders[0]->hue = 9;
    }
    s.blNewSaveQelDeviceToConfig(1);
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder00_hue").asInt(), 9);
}

TEST_F(DevServerTest, ChangesOnlyWriteKeepsValuesEqualToTheDefaultsAcrossARestart) {
    writeFile(QEL_DECODER_FILE, {{"decoder_count", 1}});
    DevServer& s = start();
    {
        std::lock_guard<std::recursive_mutex> lock(s.tableMutex);
        ASSERT_EQ(s.decoders[0]->luma, 50);
        s.decoders[0]->luma = 0;
        s.decoders[0]->name = "";
    }
    s.blNewSaveQelDeviceToConfig(1);
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder00_luma").asInt(), 0);
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder00_name").asString(), "");
    KV kv = readFile(QEL_DECODER_FILE);
    EXPECT_EQ(kv.size(), 21u);  // every key was missing, so every key was written

    start();
    EXPECT_EQ(server->decoders[0]->luma, 0);
    EXPECT_EQ(server->decoders[0]->name, "");
    EXPECT_EQ(server->decoders[0]->contrast, 50);
}

TEST_F(DevServerTest, ChangesOnlyWriteMatchesByPositionAndKeepsWhatLiesBeyond) {
    writeFile(QEL_ENCODER_FILE,
              {{"encoder00_ip", "10.0.0.3"}, {"encoder01_ip", "10.0.0.4"}, {"encoder_count", 2}});
    writeFile(QEL_CONTROLLER_FILE,
              {{"controller00_ip", "10.0.0.8"}, {"pass", "secret"}, {"controller_count", 1}});
    DevServer& s = start();
    s.blNewSaveQelDeviceToConfig(4);  // fills in the missing keys
    {
        std::lock_guard<std::recursive_mutex> lock(s.tableMutex);
        delete s.encoders[1];
        s.encoders[1] = nullptr;
        s.encoderCount = 1;
        s.encoders[0]->fps = 25;
        s.controllers[0]->ip = "10.0.0.9";
    }
    s.blNewSaveQelDeviceToConfig(4);
    EXPECT_EQ(value(QEL_ENCODER_FILE, "encoder00_fps").asInt(), 25);
    EXPECT_EQ(value(QEL_ENCODER_FILE, "encoder01_ip").asString(), "10.0.0.4");
    EXPECT_EQ(value(QEL_ENCODER_FILE, "encoder_count").asInt(), 1);
    EXPECT_EQ(value(QEL_CONTROLLER_FILE, "controller00_ip").asString(), "10.0.0.9");
    EXPECT_EQ(value(QEL_CONTROLLER_FILE, "pass").asString(), "secret");
}

TEST_F(DevServerTest, IPSourceWritersNumberByPosition) {
    writeFile(QEL_IPSOURCE_FILE, {{"ipsource00_ip", "10.0.0.5"},
                                  {"ipsource00_url1", "rtsp://a/sub"},
                                  {"ipsource01_ip", "10.0.0.6"},
                                  {"ipsource01_url1", "rtsp://b/sub"},
                                  {"ipsource02_ip", "10.0.0.7"},
                                  {"ipsource02_url1", "rtsp://c/sub"},
                                  {"ipsource_count", 3}});
    DevServer& s = start();
    {
        // Remove the camera at position 0, as the remove operation does.
        std::lock_guard<std::recursive_mutex> lock(s.tableMutex);
        delete s.ipSources[0];
        s.ipSources[0] = s.ipSources[1];
        s.ipSources[1] = s.ipSources[2];
        s.ipSources[2] = nullptr;
        s.ipSourceCount = 2;
        s.ipSources[0]->index = 0;
        s.ipSources[1]->index = 1;
    }
    s.blSaveQelIPSourceFileToConfig();
    KV kv = readFile(QEL_IPSOURCE_FILE);
    ASSERT_EQ(kv.size(), 2u * 13u + 1u);
    const char* order[] = {"ip",   "id",   "mac",  "netmask", "gateway", "etype",  "name",
                           "port", "user", "pass", "url0",    "url1",    "channel"};
    for (int i = 0; i < 13; i++) EXPECT_EQ(kv[13 + i].first, key("ipsource%02d_", 1, order[i]));
    EXPECT_EQ(kv[1].second.asInt(), 0);
    EXPECT_EQ(kv[14].second.asInt(), 1);
    EXPECT_EQ(value(QEL_IPSOURCE_FILE, "ipsource00_url1").asString(), "rtsp://b/sub");
    EXPECT_EQ(value(QEL_IPSOURCE_FILE, "ipsource01_url1").asString(), "rtsp://c/sub");
    EXPECT_EQ(kv.back().first, "ipsource_count");
    EXPECT_EQ(kv.back().second.asInt(), 2);

    // Changes only: nothing differs now, so nothing is saved.
    ASSERT_EQ(unlink(file(QEL_IPSOURCE_FILE).c_str()), 0);
    s.blSaveQelEncoderToConfig();
    EXPECT_FALSE(exists(QEL_IPSOURCE_FILE));
}

TEST_F(DevServerTest, UpdateDeviceTakesTheFirstMatchDecodersFirst) {
    writeFile(QEL_DECODER_FILE,
              {{"decoder00_ip", "10.0.0.1"}, {"decoder01_ip", "10.0.0.2"}, {"decoder_count", 2}});
    writeFile(QEL_ENCODER_FILE, {{"encoder00_ip", "10.0.0.2"}, {"encoder_count", 1}});
    writeFile(QEL_CONTROLLER_FILE, {{"controller00_ip", "10.0.0.7"},
                                    {"controller01_ip", "10.0.0.8"},
                                    {"controller_count", 2}});
    DevServer& s = start();
    EXPECT_EQ(s.iUpdateQelDevice(4, "10.0.0.2", "wall", 4), 1);
    EXPECT_EQ(s.decoders[1]->name, "wall");
    EXPECT_EQ(s.decoders[1]->status, 4);
    EXPECT_EQ(s.encoders[0]->name, "unnamed");
    EXPECT_EQ(s.iUpdateQelDevice(0, "10.0.0.2", "cam", 1), 0);
    EXPECT_EQ(s.encoders[0]->name, "cam");
    EXPECT_EQ(s.iUpdateQelDevice(2, "10.0.0.8", "ctl", 0), 1);
    EXPECT_EQ(s.controllers[1]->name, "ctl");
    EXPECT_EQ(s.iUpdateQelDevice(4, "10.0.0.99", "none", 9), 0);
    EXPECT_EQ(s.iUpdateQelDevice(1, "10.0.0.7", "none", 9), 0);  // a controller's address
    EXPECT_EQ(s.controllers[0]->name, "");
    EXPECT_EQ(s.decoders[0]->name, "unnamed");
    // No file is written.
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder01_name").isNull(), true);
}

}  // namespace
