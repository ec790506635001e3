// What every reply shares: the two acknowledgements, the empty form of each shape, the carried
// item, the member order of the text, and the bound of the caller's buffer with the cut of a
// reply that does not fit.
#include <string>
#include <vector>

#include "ReplyTest.h"

using replytest::build;
using replytest::device;
using replytest::fill;
using replytest::parse;
using replytest::run;

namespace {

char* text(std::string& s) {
    return &s[0];
}

TEST(ReplyAck, StatusWordsAndShapes) {
    struct Case {
        unsigned int flag;
        const char* word;
    } cases[] = {{0, "failure"}, {1, "success"}, {2, "success"}, {0xffffffffu, "success"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flag);
        std::string cmd = "config get devlist";
        Json::Value old =
            build([&](char* out, size_t n) { BuildAckJsonString(c.flag, text(cmd), out, n); });
        Json::Value item =
            parse(R"({"cmd": "config get devlist", "status": ")" + std::string(c.word) + "\"}");
        Json::Value expectOld;
        expectOld["ack"] = item;
        EXPECT_EQ(old, expectOld);

        Json::Value fresh =
            build([&](char* out, size_t n) { BuildNewAckJsonString(c.flag, text(cmd), out, n); });
        Json::Value expectNew;
        expectNew["ack"].append(item);
        EXPECT_EQ(fresh, expectNew);
    }
}

TEST(ReplyAck, TheExamplesOfTheCommandLanguage) {
    std::string devlist = "config get devlist";
    std::string t = run([&](char* out, size_t n) { BuildAckJsonString(1, text(devlist), out, n); });
    EXPECT_EQ(parse(t), parse(R"({"ack": {"cmd": "config get devlist", "status": "success"}})"));
    EXPECT_EQ(t.back(), '\n');

    std::string add = "vw add";
    EXPECT_EQ(build([&](char* out, size_t n) { BuildNewAckJsonString(0, text(add), out, n); }),
              parse(R"({"ack": [{"cmd": "vw add", "status": "failure"}]})"));
}

TEST(ReplyAck, QuoteAndBackslashSurviveInCmd) {
    std::string cmd = "config set name \"a\\b\" \\\\ end";
    Json::Value v =
        build([&](char* out, size_t n) { BuildNewAckJsonString(1, text(cmd), out, n); });
    EXPECT_EQ(v["ack"][0]["cmd"].asString(), cmd);
}

TEST(ReplyAck, NullCommandOrBufferWritesNothing) {
    char buf[64];
    memset(buf, 'x', sizeof buf);
    BuildAckJsonString(1, nullptr, buf, sizeof buf);
    BuildNewAckJsonString(1, nullptr, buf, sizeof buf);
    std::string cmd = "vw add";
    BuildAckJsonString(1, text(cmd), buf, 0);
    BuildNewAckJsonString(1, text(cmd), nullptr, 100);
    for (char c : buf) ASSERT_EQ(c, 'x');
}

TEST(ReplyFrame, EmptyFormOfEachShape) {
    ArrayList<Encoder> none;
    ArrayList<Decoder> noDecoders;
    ArrayList<Device> noDevices;
    std::string cmd = "config get devicelist";

    // Plain list and single-object replies: the whole text is null.
    std::string plain =
        run([&](char* out, size_t n) { BuildDevEncoderlistJsonString(none, out, n); });
    EXPECT_EQ(plain, "null\n");
    EXPECT_TRUE(parse(plain).isNull());
    EXPECT_TRUE(
        build([&](char* out, size_t n) { BuildEncoderparamsJsonString(none, out, n); }).isNull());

    // With acknowledgement: the root key is null beside "ack".
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewDevlistJsonString(noDevices, out, n, 1, text(cmd));
              }),
              parse(R"({"ack": [{"cmd": "config get devicelist", "status": "success"}],
                        "devicelist": null})"));

    // The camera list has no acknowledgement but keeps its key.
    EXPECT_EQ(build([&](char* out, size_t n) { BuildDevIPSourcelistJsonString(none, out, n); }),
              parse(R"({"ipsourcedev": null})"));

    // Both lists of the all-parameters reply empty: only the acknowledgement.
    std::string all = "config get device params";
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewAllparamsJsonString(noDecoders, none, out, n, 0, text(all));
              }),
              parse(R"({"ack": [{"cmd": "config get device params", "status": "failure"}]})"));

    // A null command text leaves the acknowledgement item null.
    EXPECT_EQ(build([&](char* out, size_t n) {
                  BuildNewEncoderlistJsonString(none, out, n, 1, nullptr);
              }),
              parse(R"({"ack": [null], "encoderlist": null})"));
}

TEST(ReplyFrame, TheCameraExampleOfTheDeviceList) {
    ArrayList<Device> list;
    Device cam;
    cam.name = "CAM";
    cam.ip = "0.0.0.0";
    fill(list, {cam});
    std::string cmd = "config get devicelist";
    EXPECT_EQ(
        build([&](char* out, size_t n) { BuildNewDevlistJsonString(list, out, n, 1, text(cmd)); }),
        parse(R"({"ack": [{"cmd": "config get devicelist", "status": "success"}],
                        "devicelist": [{"alias": "CAM", "hostname": "IPC", "ip4addr": "0.0.0.0",
                                        "type": "IPC", "url_01": ""}]})"));
}

TEST(ReplyFrame, SingleObjectReplyShowsTheLastElement) {
    ArrayList<Device> list;
    fill(list, {device<Device>(1, "first", "h1", "10.0.0.1"),
                device<Device>(1, "second", "h2", "10.0.0.2")});
    Json::Value v = build([&](char* out, size_t n) { BuildnetparamsJsonString(list, out, n); });
    EXPECT_EQ(v["netparams"]["devname"].asString(), "second");
    EXPECT_EQ(v["netparams"]["devip"].asString(), "10.0.0.2");
    EXPECT_EQ(v.size(), 1u);
}

TEST(ReplyFrame, MembersInByteOrderOfTheirKeys) {
    ArrayList<Device> devices;
    fill(devices, {device<Device>(1, "d", "h", "10.0.0.1")});
    std::string cmd = "config get devicelist";
    std::string t =
        run([&](char* out, size_t n) { BuildNewDevlistJsonString(devices, out, n, 1, text(cmd)); });
    EXPECT_LT(t.find("\"ack\""), t.find("\"devicelist\""));
    EXPECT_LT(t.find("\"alias\""), t.find("\"hostname\""));
    EXPECT_LT(t.find("\"hostname\""), t.find("\"type\""));

    ArrayList<Encoder> enc;
    fill(enc, {device<Encoder>(0, "e", "h", "10.0.0.2")});
    t = run([&](char* out, size_t n) { BuildEncoderparamsJsonString(enc, out, n); });
    EXPECT_LT(t.find("\"devFPS\""), t.find("\"devaudiofrom\""));

    ArrayList<Unicast> uni;
    fill(uni, {Unicast()});
    t = run([&](char* out, size_t n) { BuildUnicastJsonString(uni, out, n); });
    EXPECT_LT(t.find("\"uniiplist[100]\""), t.find("\"uniiplist[10]\""));
    EXPECT_LT(t.find("\"uniiplist[19]\""), t.find("\"uniiplist[1]\""));
    EXPECT_LT(t.find("\"uniiplist[1]\""), t.find("\"uniiplist[20]\""));
}

// An encoder as discovery files it, rendering to some 440 bytes in the older encoder list.
Encoder bigEncoder(int i) {
    char ip[32], host[32];
    snprintf(ip, sizeof ip, "10.77.%d.%d", i / 200, i % 200 + 10);
    snprintf(host, sizeof host, "ENC7M03-0011223344%02X", i);
    Encoder e = device<Encoder>(0, "Encoder number " + std::to_string(i), host, ip);
    e.url0 = std::string("rtsp://") + ip + ":554/live/main_stream_channel_01?transport=tcp";
    e.url1 = std::string("rtsp://") + ip + ":554/live/sub_stream_channel_01?transport=tcp";
    e.channel = 1;
    return e;
}

std::vector<Encoder> bigEncoders(int n) {
    std::vector<Encoder> v;
    for (int i = 0; i < n; ++i) v.push_back(bigEncoder(i));
    return v;
}

TEST(ReplyBound, FullEncoderTableKeepsTheLongestFittingPrefix) {
    const std::vector<Encoder> all = bigEncoders(255);
    ArrayList<Encoder> list;
    fill(list, all);
    const size_t room = 74997;
    std::string t =
        run([&](char* out, size_t n) { BuildDevEncoderlistJsonString(list, out, n); }, room);
    ASSERT_LT(t.size() + 1, room + 1);
    Json::Value cut = parse(t);
    ASSERT_TRUE(cut["devinfo"].isArray());
    const size_t kept = cut["devinfo"].size();
    ASSERT_GT(kept, 100u);
    ASSERT_LT(kept, 255u);

    // The kept elements are those of the whole reply, and one more would not have fitted.
    auto render = [&](size_t count) {
        ArrayList<Encoder> part;
        fill(part, std::vector<Encoder>(all.begin(), all.begin() + count));
        return run([&](char* out, size_t n) { BuildDevEncoderlistJsonString(part, out, n); },
                   1 << 20);
    };
    Json::Value whole = parse(render(255));
    for (Json::ArrayIndex i = 0; i < kept; ++i) ASSERT_EQ(cut["devinfo"][i], whole["devinfo"][i]);
    EXPECT_EQ(parse(render(kept)), cut);
    EXPECT_GE(render(kept + 1).size() + 1, room);
}

TEST(ReplyBound, CutListKeepsItsStatusAndFailsOnlyWhenNothingFits) {
    ArrayList<Encoder> list;
    fill(list, bigEncoders(20));
    std::string cmd = "config get encoderlist";
    Json::Value v = build(
        [&](char* out, size_t n) { BuildNewEncoderlistJsonString(list, out, n, 1, text(cmd)); },
        1000);
    ASSERT_TRUE(v["encoderlist"].isArray());
    EXPECT_GT(v["encoderlist"].size(), 0u);
    EXPECT_LT(v["encoderlist"].size(), 20u);
    EXPECT_EQ(v["ack"][0]["status"].asString(), "success");

    // Room for the acknowledgement but not for one element: the empty form, as a failure.
    v = build(
        [&](char* out, size_t n) { BuildNewEncoderlistJsonString(list, out, n, 1, text(cmd)); },
        150);
    EXPECT_TRUE(v.isMember("encoderlist"));
    EXPECT_TRUE(v["encoderlist"].isNull());
    EXPECT_EQ(v["ack"][0]["status"].asString(), "failure");
    EXPECT_EQ(v["ack"][0]["cmd"].asString(), cmd);
}

TEST(ReplyBound, AllParametersKeepDecodersBeforeEncoders) {
    ArrayList<Decoder> decoders;
    std::vector<Decoder> d;
    for (int i = 0; i < 3; ++i)
        d.push_back(
            device<Decoder>(1, "dec" + std::to_string(i), "DEC", "10.0.0.1" + std::to_string(i)));
    fill(decoders, d);
    ArrayList<Encoder> encoders;
    fill(encoders, bigEncoders(30));
    std::string cmd = "config get device params";
    const size_t room = 4000;
    Json::Value v = build(
        [&](char* out, size_t n) {
            BuildNewAllparamsJsonString(decoders, encoders, out, n, 1, text(cmd));
        },
        room);
    ASSERT_EQ(v["rxallparamlist"].size(), 3u);
    ASSERT_TRUE(v["txallparamlist"].isArray());
    EXPECT_GT(v["txallparamlist"].size(), 0u);
    EXPECT_LT(v["txallparamlist"].size(), 30u);
    EXPECT_EQ(v["ack"][0]["status"].asString(), "success");

    // Room for part of the decoders: no encoder key at all.
    v = build(
        [&](char* out, size_t n) {
            BuildNewAllparamsJsonString(decoders, encoders, out, n, 1, text(cmd));
        },
        700);
    EXPECT_GT(v["rxallparamlist"].size(), 0u);
    EXPECT_LT(v["rxallparamlist"].size(), 3u);
    EXPECT_FALSE(v.isMember("txallparamlist"));
}

TEST(ReplyBound, OverlongCommandIsCutAtACharacterBoundary) {
    const size_t room = 74997;
    std::string cmd(74990, 'c');
    Json::Value v =
        build([&](char* out, size_t n) { BuildNewAckJsonString(1, text(cmd), out, n); }, room);
    const std::string got = v["ack"][0]["cmd"].asString();
    EXPECT_EQ(v["ack"][0]["status"].asString(), "success");
    EXPECT_GT(got.size(), 74900u);
    EXPECT_LT(got.size(), cmd.size());
    EXPECT_EQ(cmd.compare(0, got.size(), got), 0);

    // Two-byte characters (written as \u escapes) are never split.
    std::string wide;
    for (int i = 0; i < 20000; ++i) wide += "\xc3\xa9";
    v = build([&](char* out, size_t n) { BuildAckJsonString(0, text(wide), out, n); }, room);
    const std::string cut = v["ack"]["cmd"].asString();
    EXPECT_EQ(v["ack"]["status"].asString(), "failure");
    EXPECT_GT(cut.size(), 0u);
    EXPECT_EQ(cut.size() % 2, 0u);
    EXPECT_EQ(wide.compare(0, cut.size(), cut), 0);
}

TEST(ReplyBound, NoRoomWritesNothingOrAnEmptyText) {
    ArrayList<Encoder> list;
    fill(list, bigEncoders(2));
    char buf[8];
    memset(buf, 'x', sizeof buf);
    BuildDevEncoderlistJsonString(list, nullptr, 100);
    BuildDevEncoderlistJsonString(list, buf, 0);
    EXPECT_EQ(buf[0], 'x');
    // Room for less than "null": an empty text.
    EXPECT_EQ(run([&](char* out, size_t n) { BuildDevEncoderlistJsonString(list, out, n); }, 4),
              "");
    std::string cmd = "vw add";
    EXPECT_EQ(run([&](char* out, size_t n) { BuildNewAckJsonString(1, text(cmd), out, n); }, 10),
              "");
}

}  // namespace
