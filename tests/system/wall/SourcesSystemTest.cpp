// The real controller on the test network putting sources on screens: wall window sources,
// a unicast screen, the multicast screen and the clears, at five fake decoders (the wall's four
// and 10.77.0.6 outside it), with an encoder of two streams and one IP camera in its tables;
// and the device lists and a device's internal command.
#include "ScreensSystemFixture.h"

using namespace screens;

namespace {

const char kEncoder[] = "10.77.0.20";
const char kCamera[] = "10.77.0.30";
const char kUrl0[] = "rtsp://10.77.0.20/main";
const char kUrl1[] = "rtsp://10.77.0.20/sub";
const char kCamUrl1[] = "rtsp://10.77.0.30/cam1";
const int kOutside = 4;  // the decoder in no cell

std::string url(int d, int window, const std::string& u) {
    return "config set url params " + dec(d) + " " + std::to_string(window) + " " + u;
}

using Wire = std::vector<std::pair<int, std::string>>;

// The decoder reset sequence, or its six url texts only.
Wire reset(int d, bool withSplit = true) {
    Wire w;
    if (withSplit) w.push_back({d, "config set split params " + dec(d) + " 1 0 \n"});
    for (int k : {16, 0, 1, 2, 3, 4}) w.push_back({d, url(d, k, "unused_window")});
    return w;
}

void append(Wire& a, const Wire& b) {
    a.insert(a.end(), b.begin(), b.end());
}

}  // namespace

class SourcesSystem : public ScreensSystem {
protected:
    SourcesSystem() {
        decoderCount = 5;
        encoders = {{kEncoder,
                     "TX1",
                     "tx-1",
                     "00:11:22:33:55:20",
                     "1.0",
                     {{"url0", kUrl0}, {"url1", kUrl1}}}};
        cameras = {{kCamera,
                    "CAM1",
                    "cam-1",
                    "00:11:22:33:55:30",
                    "1.0",
                    {{"url0", "rtsp://10.77.0.30/cam0"}, {"url1", kCamUrl1}}}};
    }

    void expectAck(const std::string& command, Json::Value* list = nullptr, bool ok = true) {
        EXPECT_EQ(ask(command, list), oldAck(command, ok)) << command;
    }

    // Decoders 0-3 in the wall's cells.
    void placeWall() {
        for (int c = 0; c < 4; ++c) {
            expectAck("config set vs src params " + std::to_string(c) + " " + dec(c));
            datagrams(9);
        }
    }

    // The outside decoder in the first unicast slot.
    void placeUnicast() {
        expectAck("config set unicast src params 0 " + dec(kOutside));
        datagrams(7);
    }
};

TEST_F(SourcesSystem, WallWindowSourceReachesEveryCellItSpillsInto) {
    placeWall();
    Json::Value windows;
    expectAck("config set vs win params 0 0 1920 540 1620", &windows);
    datagrams(7 + 5);
    expectAck("config set vs url params 0 esource " + std::string(kEncoder) + " 1");
    expectWire({
        {0, url(0, 0, kUrl1)},
        {2, url(2, 16, kUrl1)},
        {-1, "config set mul hide params 255.255.255.255 3 "},
    });
    // Window 5 reaches no other cell: its own decoder alone, no multi-hide.
    expectAck("config set vs url params 5 ipsource " + std::string(kCamera) + " 1");
    expectWire({{1, url(1, 0, kCamUrl1)}});
    // An encoder asked for among the cameras is not found.
    expectAck("config set vs url params 5 ipsource " + std::string(kEncoder) + " 1", nullptr,
              false);
    expectWire({});
}

TEST_F(SourcesSystem, UnicastScreenIsPlacedSplitGivenSourcesAndItsWindowsMoved) {
    const int d = kOutside;
    expectAck("config set unicast src params 0 " + dec(d));
    Wire placed{{d, "config set split params " + dec(d) + " 1 0 \n"}};
    for (int k = 0; k < 5; ++k) placed.push_back({d, url(d, k, "unused_window")});
    placed.push_back({d, "config set rx display ip " + dec(d) + " \n"});
    expectWire(placed);
    EXPECT_EQ(fileKey(ctrl->path("/mnt/qelconfUnicast.ini"), "unicastip_00"), dec(d));

    expectAck("config set unicast split params 9 4 0");
    expectWire({{d, "config set split params " + dec(d) + " 4 0 \n"}});
    expectAck("config set unicast url params 1 esource " + std::string(kEncoder) + " 0");
    expectWire({{d, url(d, 1, kUrl0)}});
    // The type is not looked at: cameras and encoders alike.
    expectAck("config set unicast url params 2 esource " + std::string(kCamera) + " 1");
    expectWire({{d, url(d, 2, kCamUrl1)}});

    // Window 0 over window 1: the hide before the video text, the covered window listed first.
    Json::Value windows;
    expectAck("config set unicast win params 0 0 1200 0 500", &windows);
    ASSERT_TRUE(windows["uniwininfo"].isArray()) << windows;
    EXPECT_EQ(windows["uniwininfo"].size(), 2u);
    expectWire({
        {d, "config set display params " + dec(d) + " 1 0 \n"},
        {d, "config set video params " + dec(d) + " 0 0 1200 0 500 0 100 0 100 0 1 \n"},
    });
    // Full window: the quarters its corners lie in; and back.
    expectAck("config set unicast dbl params 0", &windows);
    expectWire({{d, "config set video params " + dec(d) + " 0 0 1919 0 535 0 100 0 100 0 1 \n"}});
    expectAck("config set unicast dbl params 0", &windows);
    expectWire({{d, "config set video params " + dec(d) + " 0 0 1200 0 500 0 100 0 100 0 1 \n"}});
    // A wall cell's decoder is refused.
    expectAck("config set vs src params 0 " + dec(0));
    datagrams(9);
    expectAck("config set unicast src params 0 " + dec(0), nullptr, false);
    expectWire({});
}

TEST_F(SourcesSystem, MulticastGoesEverywhereInOrderAndTheClearsTakeItBack) {
    placeWall();
    placeUnicast();
    expectAck("config set multicast url params 0 esource " + std::string(kEncoder) + " 0");
    Wire multicast;
    for (int d = 0; d < 5; ++d) {
        multicast.push_back({d, "config set split params " + dec(d) + " 1 0 \n"});
        multicast.push_back({d, url(d, 0, kUrl0)});
        for (int k = 1; k < 5; ++k) multicast.push_back({d, url(d, k, "unused_window")});
    }
    expectWire(multicast);
    EXPECT_EQ(fileKey(ctrl->path("/mnt/qelconfMulticast.ini"), "winUrl"), kUrl0);
    EXPECT_EQ(fileKey(ctrl->path("/mnt/qelconfMulticast.ini"), "winUrlName"), "TX1");

    // The multicast clear: every decoder of the table in table order; once only.
    expectAck("config set clear multicast screen params");
    Wire resets;
    for (int d = 0; d < 5; ++d) append(resets, reset(d));
    expectWire(resets);
    EXPECT_EQ(fileKey(ctrl->path("/mnt/qelconfMulticast.ini"), "winUrl"), "");
    expectAck("config set clear multicast screen params");
    expectAck("config set clear multicast screen tx params");
    expectWire({});

    // The source clears: the url texts alone, wall decoders then the unicast one.
    expectAck("config set clear vs screen tx params " + std::string(kEncoder));
    Wire urls;
    for (int d = 0; d < 4; ++d) append(urls, reset(d, false));
    expectWire(urls);
    expectAck("config set clear unicast screen tx params");
    expectWire(reset(kOutside, false));
    EXPECT_EQ(fileKey(wallFile(), "screenIP_00"), dec(0));

    // The whole clears: the decoders leave their cells and slots.
    expectAck("config set clear vs screen params");
    Wire wall;
    for (int d = 0; d < 4; ++d) append(wall, reset(d));
    expectWire(wall);
    EXPECT_EQ(fileKey(wallFile(), "screenIP_00"), "");
    EXPECT_EQ(fileKey(wallFile(), "screenSplitnum_03"), 1);
    EXPECT_EQ(fileKey(wallFile(), "screenRows"), 2);
    expectAck("config set clear unicast screen params");
    expectWire(reset(kOutside));
    EXPECT_EQ(fileKey(ctrl->path("/mnt/qelconfUnicast.ini"), "unicastip_00"), "");
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(SourcesSystem, DeviceListsAndAnInternalCommand) {
    struct Row {
        const char* cmd;
        const char* key;
        unsigned count;
    } rows[] = {
        {"config get decoders", "devinfo", 5},
        {"config get encoders", "devinfo", 1},
        {"config get devlist", "devinfo", 6},
        {"config get ipsources", "ipsourcedev", 1},
    };
    for (const Row& r : rows) {
        Json::Value list;
        expectAck(r.cmd, &list);
        ASSERT_TRUE(list[r.key].isArray()) << r.cmd << list;
        EXPECT_EQ(list[r.key].size(), r.count) << r.cmd;
    }
    Json::Value list;
    expectAck("config get ipsources", &list);
    EXPECT_EQ(list["ipsourcedev"][0]["devaddr"], kCamera) << list;
    expectAck("config get ipsource params " + std::string(kCamera), &list);
    EXPECT_TRUE(list.isMember("ipsourceparams")) << list;
    expectAck("config get controllers", nullptr, false);

    // The internal command reaches its device as typed; a name instead of an address is
    // refused and sends nothing.
    const std::string internal = "config set internalcmd " + dec(kOutside) + " ls -l /tmp";
    expectAck(internal);
    expectWire({{kOutside, internal}});
    expectAck("config set internalcmd rx-4 ls", nullptr, false);
    expectWire({});
}
