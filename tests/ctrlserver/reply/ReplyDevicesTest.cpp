// The device list replies: keys per builder, the kinds they list, and the values carried from
// one element to the next.
#include <string>

#include "ReplyTest.h"

using replytest::build;
using replytest::device;
using replytest::fill;
using replytest::parse;

namespace {

std::string cmdText = "config get devicelist";

Json::Value newDevlist(ArrayList<Device>& list) {
    return build([&](char* out, size_t n) {
        BuildNewDevlistJsonString(list, out, n, 1, &cmdText[0]);
    })["devicelist"];
}

TEST(ReplyDevlist, ListsEncodersAndDecodersCarryingTheSplitNumber) {
    Device d = device<Device>(DTYPE_DECODER, "D", "DEC-1", "10.0.0.1");
    d.status = 4;
    Device e = device<Device>(DTYPE_ENCODER, "E", "ENC-1", "10.0.0.2");
    Device c = device<Device>(DTYPE_CONTROLLER, "C", "CTL", "10.0.0.3");
    Device f = device<Device>(DTYPE_DECODER, "F", "DEC-2", "10.0.0.4");
    f.status = 9;
    Device odd = device<Device>(-1, "N", "X", "10.0.0.5");  // kind 3 by its low bits
    ArrayList<Device> list;
    fill(list, {e, d, c, e, odd, f});
    Json::Value v = build([&](char* out, size_t n) { BuildDevlistJsonString(list, out, n); });
    ASSERT_EQ(v["devinfo"].size(), 4u);
    // An encoder before any decoder has no split number; one after a decoder repeats it.
    EXPECT_FALSE(v["devinfo"][0].isMember("devsplitnum"));
    EXPECT_EQ(v["devinfo"][1], parse(R"({"id": 0, "devname": "D", "devhostname": "DEC-1",
        "devaddr": "10.0.0.1", "devmac": "00:11:22:33:44:.1", "devnetmask": "255.255.255.0",
        "devgateway": "10.0.0.254", "devtype": "decoder", "devsplitnum": 4})"));
    EXPECT_EQ(v["devinfo"][2]["devtype"].asString(), "encoder");
    EXPECT_EQ(v["devinfo"][2]["devsplitnum"].asInt(), 4);
    EXPECT_EQ(v["devinfo"][3]["devsplitnum"].asInt(), 9);

    ArrayList<Device> controllers;
    fill(controllers, {c, c});
    EXPECT_TRUE(
        build([&](char* out, size_t n) { BuildDevlistJsonString(controllers, out, n); }).isNull());
}

TEST(ReplyDevlist, OlderListsOfEachKind) {
    Controller c = device<Controller>(DTYPE_CONTROLLER, "C", "CTL", "10.0.0.3");
    ArrayList<Controller> controllers;
    fill(controllers, {c});
    EXPECT_EQ(
        build([&](char* out, size_t n) { BuildDevControllerlistJsonString(controllers, out, n); }),
        parse(R"({"devinfo": [{"id": 0, "devname": "C", "devaddr": "10.0.0.3",
            "devmac": "00:11:22:33:44:.3", "devnetmask": "255.255.255.0",
            "devgateway": "10.0.0.254", "devtype": "ctrl"}]})"));

    Encoder e = device<Encoder>(DTYPE_ENCODER, "E", "ENC", "10.0.0.2");
    e.channel = 3;
    ArrayList<Encoder> encoders;
    fill(encoders, {e});
    EXPECT_EQ(build([&](char* out, size_t n) { BuildDevEncoderlistJsonString(encoders, out, n); }),
              parse(R"({"devinfo": [{"id": 0, "devname": "E", "devhostname": "ENC",
                  "url_00": "", "url_01": "", "channel": 3, "devaddr": "10.0.0.2",
                  "devmac": "00:11:22:33:44:.2", "devnetmask": "255.255.255.0",
                  "devgateway": "10.0.0.254", "devtype": "encoder"}]})"));

    Decoder d = device<Decoder>(DTYPE_DECODER, "D", "DEC", "10.0.0.1");
    d.status = 5;
    ArrayList<Decoder> decoders;
    fill(decoders, {d});
    EXPECT_EQ(build([&](char* out, size_t n) { BuildDevDecoderlistJsonString(decoders, out, n); }),
              parse(R"({"devinfo": [{"id": 0, "devname": "D", "devhostname": "DEC",
                  "devaddr": "10.0.0.1", "devmac": "00:11:22:33:44:.1",
                  "devnetmask": "255.255.255.0", "devgateway": "10.0.0.254",
                  "devsplitnum": 5, "devtype": "decoder"}]})"));
}

TEST(ReplyDevlist, CamerasShowTheirKindAsANumber) {
    Encoder cam = device<Encoder>(DTYPE_ENCODER, "Cam", "", "10.0.0.9");
    cam.etype = 7;
    cam.port = 554;
    cam.channel = 1;
    cam.user = "admin";
    cam.pass = "pw";
    cam.url0 = "rtsp://10.0.0.9/main";
    cam.url1 = "rtsp://10.0.0.9/sub";
    ArrayList<Encoder> cams;
    fill(cams, {cam});
    cams.get(0)->index = 2;  // a vector copy of a record leaves index 0
    EXPECT_EQ(build([&](char* out, size_t n) { BuildDevIPSourcelistJsonString(cams, out, n); }),
              parse(R"({"ipsourcedev": [{"id": 2, "devname": "Cam",
                  "url_00": "rtsp://10.0.0.9/main", "url_01": "rtsp://10.0.0.9/sub",
                  "channel": 1, "devaddr": "10.0.0.9", "devtype": 7, "port": 554,
                  "user": "admin", "pass": "pw"}]})"));
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewIpclistJsonString(cams, out, n, 1, &cmdText[0]);
              })["ipclist"],
              parse(R"([{"alias": "Cam", "ip4addr": "10.0.0.9"}])"));
}

TEST(ReplyDevlist, FreeDecodersKeepTheirPositionsAsIds) {
    Device a = device<Device>(DTYPE_DECODER, "A", "DEC-A", "10.0.0.1");
    Device b = device<Device>(DTYPE_DECODER, "B", "DEC-B", "10.0.0.5");
    ArrayList<Device> list;
    list.add(new Device(a, 0));
    list.add(new Device(b, 4));
    Json::Value v = build([&](char* out, size_t n) {
        BuildDevFreeDecoderlistJsonString(list, out, n, 1, &cmdText[0]);
    });
    ASSERT_EQ(v["devinfo"].size(), 2u);
    EXPECT_EQ(v["devinfo"][0]["id"].asInt(), 0);
    EXPECT_EQ(v["devinfo"][1]["id"].asInt(), 4);
    EXPECT_EQ(v["devinfo"][1]["devtype"].asString(), "decoder");
    EXPECT_FALSE(v["devinfo"][1].isMember("devhostname"));
    EXPECT_EQ(v["ack"][0]["status"].asString(), "success");
}

TEST(ReplyNewDevlist, KindsHostNamesAndCameraUrl) {
    Device dec = device<Device>(DTYPE_DECODER, "D", "DEC", "10.0.0.1");
    Device ctl = device<Device>(DTYPE_CONTROLLER, "C", "CTL", "10.0.0.2");
    Device bare = device<Device>(DTYPE_ENCODER, "E", "", "10.0.0.3");
    Device cam = device<Device>(DTYPE_ENCODER, "Cam", "", "10.0.0.4");
    cam.extra = "rtsp://10.0.0.4/live";
    ArrayList<Device> list;
    fill(list, {ctl, dec, ctl, bare, cam});
    Json::Value v = newDevlist(list);
    ASSERT_EQ(v.size(), 5u);
    EXPECT_FALSE(v[0].isMember("type"));  // a controller first has no kind word
    EXPECT_EQ(v[1]["type"].asString(), "RX");
    EXPECT_EQ(v[2]["type"].asString(), "RX");  // carried from the decoder before it
    EXPECT_EQ(v[2]["hostname"].asString(), "CTL");
    // No host name: an IP camera, whatever the kind.
    EXPECT_EQ(v[3], parse(R"({"alias": "E", "hostname": "IPC", "type": "IPC",
                              "ip4addr": "10.0.0.3", "url_01": ""})"));
    EXPECT_EQ(v[4]["url_01"].asString(), "rtsp://10.0.0.4/live");
}

TEST(ReplyNewDevlist, ShortListsOfEachKind) {
    Encoder e = device<Encoder>(DTYPE_ENCODER, "E", "ENC", "10.0.0.2");
    Decoder d = device<Decoder>(DTYPE_DECODER, "D", "DEC", "10.0.0.1");
    Device any = device<Device>(DTYPE_DECODER, "X", "HX", "10.0.0.7");
    ArrayList<Encoder> encoders;
    ArrayList<Decoder> decoders;
    ArrayList<Device> devices;
    fill(encoders, {e});
    fill(decoders, {d});
    fill(devices, {any});
    std::string cmd = "config get list";
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewEncoderlistJsonString(encoders, out, n, 2, &cmd[0]);
              }),
              parse(R"({"ack": [{"cmd": "config get list", "status": "success"}],
                  "encoderlist": [{"alias": "E", "hostname": "ENC", "ip4addr": "10.0.0.2"}]})"));
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewDecoderlistJsonString(decoders, out, n, 1, &cmd[0]);
              })["decoderlist"],
              parse(R"([{"alias": "D", "hostname": "DEC", "ip4addr": "10.0.0.1"}])"));
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewNameparamsJsonString(devices, out, n, 1, &cmd[0]);
              })["namealiasinfo"],
              parse(R"([{"alias": "X", "hostname": "HX"}])"));
}

}  // namespace
