// The device parameter, status, version and serial replies: value words, conditional keys
// and the fixed texts.
#include <string>

#include "ReplyTest.h"

using replytest::build;
using replytest::device;
using replytest::fill;
using replytest::parse;

namespace {

Encoder encoder(int ratecontrol, int vbr, int cbr) {
    Encoder e = device<Encoder>(DTYPE_ENCODER, "unnamed", "ENC7M03-001122334455", "10.0.0.2");
    e.fps = 30;
    e.ratecontrol = ratecontrol;
    e.vbrbitrate = vbr;
    e.cbrbitrate = cbr;
    e.audioto = 1;
    return e;
}

Json::Value txParams(const std::vector<Encoder>& encoders) {
    ArrayList<Encoder> list;
    fill(list, encoders);
    std::string cmd = "config get tx params";
    return build([&](char* out, size_t n) { BuildTXParamsJsonString(list, out, n, 1, &cmd[0]); });
}

TEST(ReplyParams, TheTxParametersExample) {
    EXPECT_EQ(txParams({encoder(0, 1, 0)}),
              parse(R"({"ack": [{"cmd": "config get tx params", "status": "success"}],
                  "txparamsinfo": [{"alias": "unnamed", "audioin": "EMB", "audioout": "EXT",
                      "bitrate": "H", "fps": 30, "hostname": "ENC7M03-001122334455",
                      "ratecontrol": "CBR"}]})"));
}

TEST(ReplyParams, RateControlAndBitrateWords) {
    struct Case {
        int ratecontrol, vbr, cbr;
        const char* word;
        const char* letter;
        int number;
    } cases[] = {
        {1, 0, 1, "VBR", "H", 0},
        {1, 1, 0, "VBR", "N", 1},
        {0, 0, 1, "CBR", "N", 1},
        {0, 1, 0, "CBR", "H", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ratecontrol << c.vbr << c.cbr);
        Json::Value item = txParams({encoder(c.ratecontrol, c.vbr, c.cbr)})["txparamsinfo"][0];
        EXPECT_EQ(item["ratecontrol"].asString(), c.word);
        EXPECT_EQ(item["bitrate"].asString(), c.letter);

        ArrayList<Encoder> list;
        fill(list, {encoder(c.ratecontrol, c.vbr, c.cbr)});
        Json::Value enc =
            build([&](char* out, size_t n) { BuildEncoderparamsJsonString(list, out, n); });
        EXPECT_EQ(enc["encparams"]["devbitrate"].asInt(), c.number);
        EXPECT_EQ(enc["encparams"]["devratecontrol"].asInt(), c.ratecontrol);
    }
}

TEST(ReplyParams, OtherRateControlCarriesTheBitrate) {
    Json::Value v = txParams({encoder(2, 1, 1), encoder(1, 1, 0), encoder(2, 0, 0)});
    EXPECT_FALSE(v["txparamsinfo"][0].isMember("bitrate"));
    EXPECT_EQ(v["txparamsinfo"][0]["ratecontrol"].asString(), "VBR");
    EXPECT_EQ(v["txparamsinfo"][2]["bitrate"].asString(), "N");

    ArrayList<Encoder> list;
    fill(list, {encoder(0, 0, 1), encoder(2, 0, 0)});
    Json::Value enc =
        build([&](char* out, size_t n) { BuildEncoderparamsJsonString(list, out, n); });
    EXPECT_EQ(enc["encparams"]["devbitrate"].asInt(), 1);
    ArrayList<Encoder> alone;
    fill(alone, {encoder(2, 0, 0)});
    enc = build([&](char* out, size_t n) { BuildEncoderparamsJsonString(alone, out, n); });
    EXPECT_FALSE(enc["encparams"].isMember("devbitrate"));
}

TEST(ReplyParams, AudioWordsRunOppositeWaysForEncodersAndDecoders) {
    Encoder e = encoder(0, 0, 0);
    e.audiofrom = 0;
    e.audioto = 0;
    Encoder ext = encoder(0, 0, 0);
    ext.audiofrom = 3;
    ext.audioto = 1;
    Json::Value tx = txParams({e, ext})["txparamsinfo"];
    EXPECT_EQ(tx[0]["audioin"].asString(), "EMB");
    EXPECT_EQ(tx[0]["audioout"].asString(), "EMB");
    EXPECT_EQ(tx[1]["audioin"].asString(), "EXT");
    EXPECT_EQ(tx[1]["audioout"].asString(), "EXT");

    Decoder d0 = device<Decoder>(DTYPE_DECODER, "D", "DEC", "10.0.0.1");
    Decoder d1 = d0;
    d1.audiooutput = 1;
    d0.luma = 10;
    d0.contrast = 20;
    d0.hue = 30;
    d0.saturation = 40;
    d0.status = 4;
    ArrayList<Decoder> list;
    fill(list, {d0, d1});
    std::string cmd = "config get rx params";
    Json::Value rx =
        build([&](char* out, size_t n) { BuildRXParamsJsonString(list, out, n, 1, &cmd[0]); });
    EXPECT_EQ(rx["rxparamsinfo"][0],
              parse(R"({"alias": "D", "audioout": "EXT", "contrast": 20, "hostname": "DEC",
                        "hue": 30, "luma": 10, "saturation": 40})"));
    EXPECT_EQ(rx["rxparamsinfo"][1]["audioout"].asString(), "EMB");

    // The older single-object reply shows the raw number.
    ArrayList<Decoder> one;
    fill(one, {d0});
    EXPECT_EQ(build([&](char* out, size_t n) { BuildDecoderparamsJsonString(one, out, n); }),
              parse(R"({"decparams": {"devaudiooutput": 0, "devcontrast": 20, "devhue": 30,
                  "devluma": 10, "devname": "D", "devsaturation": 40, "devsplitnum": 4}})"));
}

TEST(ReplyParams, NetworkCameraAndPassThroughReplies) {
    Encoder e = encoder(0, 0, 0);
    ArrayList<Encoder> list;
    fill(list, {e});
    std::string cmd = "config get ctrl netsetting";
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewnetparamsJsonString(list, out, n, 1, &cmd[0]);
              })["netsettinginfo"],
              parse(R"([{"gateway": "10.0.0.254", "ip4addr": "10.0.0.2",
                         "mac": "00:11:22:33:44:.2", "netmask": "255.255.255.0"}])"));

    Encoder cam = device<Encoder>(DTYPE_ENCODER, "Cam", "", "10.0.0.9");
    cam.etype = 2;
    cam.port = 8554;
    cam.channel = 1;
    cam.user = "u";
    cam.pass = "p";
    cam.url0 = "rtsp://a";
    cam.url1 = "rtsp://b";
    ArrayList<Encoder> cams;
    fill(cams, {cam});
    cams.get(0)->index = 3;  // a vector copy of a record leaves index 0
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewIpcParamslistJsonString(cams, out, n, 1, &cmd[0]);
              })["ipcparaminfo"],
              parse(R"([{"alias": "Cam", "ip4addr": "10.0.0.9", "pass": "p", "port": 8554,
                         "url_00": "rtsp://a", "url_01": "rtsp://b", "user": "u"}])"));
    EXPECT_EQ(build([&](char* out, size_t n) { BuildIPSourceparamsJsonString(cams, out, n); }),
              parse(R"({"ipsourceparams": {"channel": 1, "devaddr": "10.0.0.9",
                  "devname": "Cam", "devtype": 2, "id": 3, "pass": "p", "port": 8554,
                  "url_00": "rtsp://a", "url_01": "rtsp://b", "user": "u"}})"));

    ArrayList<Param> params;
    fill(params, {Param{"10.0.0.1", "10.0.0.1"}, Param{"abc", "abc"}});
    EXPECT_EQ(build([&](char* out, size_t n) { BuildParamsJsonString(params, out, n); }),
              parse(R"({"parinfo": [{"parname": "10.0.0.1", "parvalue": "10.0.0.1"},
                                   {"parname": "abc", "parvalue": "abc"}]})"));
    ArrayList<Param> none;
    EXPECT_TRUE(build([&](char* out, size_t n) { BuildParamsJsonString(none, out, n); }).isNull());
}

TEST(ReplyParams, AllParametersOfDecodersAndEncoders) {
    Decoder d = device<Decoder>(DTYPE_DECODER, "D", "DEC", "10.0.0.1");
    d.audiooutput = 1;
    d.status = 4;
    Encoder e = encoder(1, 0, 0);
    e.url0 = "rtsp://m";
    e.url1 = "rtsp://s";
    ArrayList<Decoder> decoders;
    ArrayList<Encoder> encoders;
    fill(decoders, {d});
    fill(encoders, {e, e});
    std::string cmd = "config get device params";
    Json::Value v = build([&](char* out, size_t n) {
        BuildNewAllparamsJsonString(decoders, encoders, out, n, 1, &cmd[0]);
    });
    EXPECT_EQ(v["rxallparamlist"],
              parse(R"([{"alias": "D", "audioout": "EMB", "contrast": 0, "gateway": "10.0.0.254",
                  "hostname": "DEC", "hue": 0, "ip4addr": "10.0.0.1", "luma": 0,
                  "mac": "00:11:22:33:44:.1", "netmask": "255.255.255.0", "saturation": 0,
                  "splitnum": 4}])"));
    ASSERT_EQ(v["txallparamlist"].size(), 2u);
    EXPECT_EQ(v["txallparamlist"][1],
              parse(R"({"alias": "unnamed", "audioin": "EMB", "audioout": "EXT", "bitrate": "H",
                  "fps": 30, "gateway": "10.0.0.254", "hostname": "ENC7M03-001122334455",
                  "ip4addr": "10.0.0.2", "mac": "00:11:22:33:44:.2", "netmask": "255.255.255.0",
                  "ratecontrol": "VBR", "url_main": "rtsp://m", "url_sub": "rtsp://s"})"));

    ArrayList<Decoder> noDecoders;
    v = build([&](char* out, size_t n) {
        BuildNewAllparamsJsonString(noDecoders, encoders, out, n, 1, &cmd[0]);
    });
    EXPECT_FALSE(v.isMember("rxallparamlist"));
    EXPECT_EQ(v.size(), 2u);
}

TEST(ReplyStatus, VersionTexts) {
    Json::Value expect = parse(R"({"versioninfo": {"buildtime": "Mar 22 2019 17:18:29",
        "model": "MXW-K4400-CTL", "version": "V2.4.3.2_0322_2019"}})");
    EXPECT_EQ(build([](char* out, size_t n) { BuildVersionInfoJsonString(out, n); }), expect);
    EXPECT_EQ(build([](char* out, size_t n) { BuildVersionInfoJsonString(out, n); }), expect);

    std::string version = "V1.0", cmd = "config get version";
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewVersionInfoJsonString(out, n, 0, &version[0], &cmd[0]);
              }),
              parse(R"({"ack": [{"cmd": "config get version", "status": "failure"}],
                        "versioninfo": {"version": "V1.0"}})"));
    // A missing version text shows as empty rather than failing.
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewVersionInfoJsonString(out, n, 1, nullptr, &cmd[0]);
              })["versioninfo"]["version"],
              "");
}

TEST(ReplyStatus, DeviceKindsByTheirLowBits) {
    const char* names[] = {"encoder", "decoder", "ctrl", "null", "encoder"};
    SysInfo info{"ARM & Embeded Linux", "System Is Running",
                 "Serial supported | Controller & Encoder"};
    for (int kind = 0; kind < 5; ++kind) {
        Json::Value v =
            build([&](char* out, size_t n) { BuildDeviceStatusJsonString(kind, info, out, n); });
        EXPECT_EQ(v["devicestatus"]["type"].asString(), names[kind]) << kind;
    }
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildDeviceStatusJsonString(-2, info, out, n);
              })["devicestatus"]["type"],
              "ctrl");
    EXPECT_EQ(build([&](char* out, size_t n) { BuildDeviceStatusJsonString(2, info, out, n); }),
              parse(R"({"devicestatus": {"info": "ARM & Embeded Linux",
                  "statistics": "Serial supported | Controller & Encoder",
                  "status": "System Is Running", "type": "ctrl"}})"));
}

TEST(ReplyStatus, SerialSettings) {
    DevSerParam p;
    p.ip = "10.0.0.1";
    p.name = "Lobby";
    p.hostname = "DEC-1";
    p.dtype = 1;
    p.baud = 9600;
    p.parity = 2;
    p.stopbits = 2;
    p.databits = 7;
    p.bynetswitch = 5;
    p.bynetmode = 1;
    p.bynetip = "255.255.255.255";
    p.connect = "ALL";
    Json::Value older = parse(R"({"baud": 9600, "byneten": 5, "bynetip": "255.255.255.255",
        "bynetmode": 1, "databits": 7, "ip": "10.0.0.1", "parity": 2, "stopbits": 2,
        "type": "decoder"})");
    Json::Value v = build([&](char* out, size_t n) { BuildSerParmJsonString(p, out, n); });
    EXPECT_EQ(v["serparams"], older);
    v = build([&](char* out, size_t n) { BuildSerByNetParmJsonString(p, out, n); });
    EXPECT_EQ(v["serbynetparams"], older);

    std::string cmd = "serial get";
    auto serialInfo = [&]() {
        return build([&](char* out, size_t n) {
            BuildNewSerParmJsonString(p, out, n, 1, &cmd[0]);
        })["serialinfo"];
    };
    EXPECT_EQ(serialInfo(), parse(R"([{"alias": "Lobby", "connect": "ALL", "hostname": "DEC-1",
                                       "serialparams": "9600-7e2", "transmission": "Enable"}])"));
    struct Case {
        int parity;
        const char* text;
    } cases[] = {{0, "9600-7n2"}, {1, "9600-7o2"}, {3, ""}, {-1, ""}};
    for (const Case& c : cases) {
        p.parity = c.parity;
        EXPECT_EQ(serialInfo()[0]["serialparams"].asString(), c.text) << c.parity;
    }
    p.bynetswitch = 0;
    EXPECT_EQ(serialInfo()[0]["transmission"].asString(), "Disable");

    // Null buffers write nothing.
    BuildSerParmJsonString(p, nullptr, 100);
    BuildVersionInfoJsonString(nullptr, 100);
    BuildDeviceStatusJsonString(0, SysInfo(), nullptr, 100);
}

}  // namespace
