// Discovery on the test network: scripted encoders and decoders answer the controller's
// broadcasts; the tables, the device files and the CSV export follow. Each case takes at least
// the four 2.5 s passes, so each case is one run of the tool.
#include <gtest/gtest.h>

#include <memory>

#include "DeviceOpsSupport.h"

using namespace devops;
using namespace std::chrono_literals;

namespace {

const char* const kDecoder3Reply =
    "config qel ack get decoders #SUCCEED #00:11:22:aa:bb:cc #255.255.255.0 #10.77.0.254 #40 "
    "#41 #42 #43 #1 #9600 #7 #2 #2 #1 #10.77.0.9 #RX_V1.2 #Lobby west   #4 ";
const char* const kDecoder20Reply =
    "config qel ack get decoders #SUCCEED #00:11:22:00:00:20 #255.255.255.0 #10.77.0.254 ";
const char* const kEncoder9Reply =
    "config qel ack get encoders #SUCCEED #00:aa:00:00:00:09 #255.255.255.0 #10.77.0.254 #25 #1 "
    "#1 #1 #1 #1 #1 #1 #1 #1 #1 #1 #TX_V3 ";

// Answers `request` with `reply`, `times` times.
qeltest::FakeDevice::Responder answering(const std::string& request, const std::string& reply,
                                         int times = 1) {
    return [=](const qeltest::Datagram& d) {
        std::vector<std::string> out;
        if (d.text == request) out.assign(times, reply);
        return out;
    };
}

class Discovery : public qeltest::TestNetFixture {
protected:
    void SetUpBoxes() override {
        writeFile(ctrl->path("/var/www/.keep"), "");
        writeFile(ctrl->path("/mnt/.keep"), "");
    }
};

TEST_F(Discovery, FindsEncodersAndDecodersInAddressOrder) {
    qeltest::Box& dec20 = net->addBox("dec20", 20);
    qeltest::Box& dec3 = net->addBox("dec3", 3);
    qeltest::Box& enc9 = net->addBox("enc9", 9);
    // The decoder at .20 answers every request twice, as real decoders do.
    auto p20 = fakeDevice(dec20, qeltest::FakeDevice::Kind::Decoder,
                          answering("config qel get decoders", kDecoder20Reply, 2));
    auto p3 = fakeDevice(dec3, qeltest::FakeDevice::Kind::Decoder,
                         answering("config qel get decoders", kDecoder3Reply));
    auto p9 = fakeDevice(enc9, qeltest::FakeDevice::Kind::Encoder,
                         answering("config qel get encoders", kEncoder9Reply));

    auto start = std::chrono::steady_clock::now();
    std::string out = runTool(*ctrl, {"find 7", "dump"}, 40s);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 10s);
    ASSERT_EQ(1u, linesWith(out, "@find ").size()) << out;
    EXPECT_EQ("@find 3", linesWith(out, "@find ")[0]);

    // The found list: address order over both kinds.
    auto found = linesWith(out, "@found ");
    ASSERT_EQ(3u, found.size()) << out;
    EXPECT_NE(std::string::npos, found[0].find("|10.77.0.3|"));
    EXPECT_NE(std::string::npos, found[1].find("|10.77.0.9|"));
    EXPECT_NE(std::string::npos, found[2].find("|10.77.0.20|"));

    auto decoders = linesWith(out, "@decoder ");
    ASSERT_EQ(2u, decoders.size()) << out;
    EXPECT_EQ(
        "@decoder 0|10.77.0.3|00:11:22:aa:bb:cc|DEC7M03-001122aabbcc|Lobby west|255.255.255.0|"
        "10.77.0.254|RX_V1.2|4|9600 7 2 2|1 0|10.77.0.9",
        decoders[0]);
    EXPECT_EQ(
        "@decoder 1|10.77.0.20|00:11:22:00:00:20|DEC7M03-001122000020|RX|255.255.255.0|"
        "10.77.0.254|version too old|1|115200 8 0 1|0 0|127.0.0.1",
        decoders[1]);
    auto pictures = linesWith(out, "@decoderpic ");
    ASSERT_EQ(2u, pictures.size());
    EXPECT_EQ("@decoderpic 40 41 42 43 1", pictures[0]);
    EXPECT_EQ("@decoderpic 50 50 50 50 0", pictures[1]);

    auto encoders = linesWith(out, "@encoder ");
    ASSERT_EQ(1u, encoders.size()) << out;
    EXPECT_EQ(
        "@encoder 0|10.77.0.9|00:aa:00:00:00:09|ENC7M03-00aa00000009|TX|255.255.255.0|"
        "10.77.0.254|TX_V3|0|115200 8 0 1|0 0|127.0.0.1",
        encoders[0]);
    EXPECT_EQ(
        "@encoderstream 30 0 0 0 0 1 2|rtsp://10.77.0.9/stream1?multicast|"
        "rtsp://10.77.0.9/stream1s",
        linesWith(out, "@encoderstream ")[0]);
    EXPECT_EQ("@counts 3 2 1 0 0", linesWith(out, "@counts ")[0]);

    EXPECT_EQ(
        "MAC,IP,NAME,NETMASK,GATEWAY,\n"
        "00:11:22:aa:bb:cc,10.77.0.3,Lobby west,255.255.255.0,10.77.0.254,\n"
        "00:11:22:00:00:20,10.77.0.20,RX,255.255.255.0,10.77.0.254,\n"
        "00:aa:00:00:00:09,10.77.0.9,TX,255.255.255.0,10.77.0.254,\n",
        readFile(ctrl->path("/var/www/qeldevNet.csv")));

    // The files load back into the same tables.
    std::string again = runTool(*ctrl, {"dump"});
    EXPECT_EQ(decoders, linesWith(again, "@decoder "));
    EXPECT_EQ(encoders, linesWith(again, "@encoder "));
    EXPECT_EQ("@counts 0 2 1 0 0", linesWith(again, "@counts ")[0]);

    // Requests went out as broadcasts from port 8887 in alternating passes.
    auto got = p3->received();
    ASSERT_EQ(4u, got.size());
    EXPECT_EQ("config qel get encoders", got[0].text);
    EXPECT_EQ("config qel get decoders", got[1].text);
    EXPECT_EQ(8887, got[0].fromPort);
    EXPECT_EQ("10.77.0.1", got[0].fromIp);
}

// Flag 1 asks the encoders only, flag 2 the decoders only: the other kind is neither asked nor
// taken when it answers anyway.
TEST_F(Discovery, FlagsChooseTheKindAsked) {
    qeltest::Box& dec3 = net->addBox("dec3", 3);
    qeltest::Box& enc9 = net->addBox("enc9", 9);
    // Each device answers whatever it is asked with its own reply.
    auto always = [](const char* reply) {
        return [reply](const qeltest::Datagram&) { return std::vector<std::string>{reply}; };
    };
    auto p3 = fakeDevice(dec3, qeltest::FakeDevice::Kind::Decoder, always(kDecoder3Reply));
    auto p9 = fakeDevice(enc9, qeltest::FakeDevice::Kind::Encoder, always(kEncoder9Reply));
    std::string out = runTool(*ctrl, {"find 1", "find 2"});
    auto results = linesWith(out, "@find ");
    ASSERT_EQ(2u, results.size()) << out;
    EXPECT_EQ("@find 1", results[0]);
    EXPECT_EQ("@find 1", results[1]);
    auto found = linesWith(out, "@found ");
    ASSERT_EQ(2u, found.size()) << out;
    EXPECT_NE(std::string::npos, found[0].find("|10.77.0.9|")) << found[0];
    EXPECT_NE(std::string::npos, found[1].find("|10.77.0.3|")) << found[1];

    // Two passes of each run ask; the encoder pass of the first run, the decoder pass of the
    // second.
    std::vector<std::string> asked;
    for (const auto& d : p9->received()) asked.push_back(d.text);
    EXPECT_EQ(asked,
              (std::vector<std::string>{"config qel get encoders", "config qel get encoders",
                                        "config qel get decoders", "config qel get decoders"}));
}

TEST_F(Discovery, NoAnswerKeepsTablesAndFiles) {
    const std::string decoders =
        "{\n   \"config\" : [\n      {\n         \"decoder00_ip\" : \"10.77.0.5\"\n      },\n"
        "      {\n         \"decoder_count\" : 1\n      }\n   ]\n}\n";
    const std::string csv = "MAC,IP,NAME,NETMASK,GATEWAY,\nold,line,,,,\n";
    writeFile(ctrl->path("/mnt/qeldevDecoder.ini"), decoders);
    writeFile(ctrl->path("/var/www/qeldevNet.csv"), csv);
    qeltest::Box& quiet = net->addBox("quiet", 2);
    auto silent = fakeDevice(quiet, qeltest::FakeDevice::Kind::Decoder, nullptr);

    std::string out = runTool(*ctrl, {"find 7", "dump"}, 40s);
    EXPECT_EQ("@find 0", linesWith(out, "@find ").at(0)) << out;
    EXPECT_EQ("@counts 0 1 0 0 0", linesWith(out, "@counts ").at(0));
    EXPECT_EQ(decoders, readFile(ctrl->path("/mnt/qeldevDecoder.ini")));
    EXPECT_EQ(csv, readFile(ctrl->path("/var/www/qeldevNet.csv")));
    EXPECT_EQ(4u, silent->received().size());
}

// One fake answers each of the four requests with 80 replies of other devices (few enough per
// burst for the receive buffer): 320 devices answer, 255 are kept.
TEST_F(Discovery, KeepsAtMost255Devices) {
    qeltest::Box& many = net->addBox("many", 30);
    auto next = std::make_shared<int>(0);
    auto crowd =
        fakeDevice(many, qeltest::FakeDevice::Kind::Decoder, [next](const qeltest::Datagram& d) {
            std::vector<std::string> out;
            if (d.text.rfind("config qel get ", 0) != 0) return out;
            for (int k = 0; k < 80; ++k, ++*next) {
                char reply[160];
                snprintf(reply, sizeof reply,
                         "config qel ack get decoders #SUCCEED "
                         "#02:00:00:00:%02x:%02x #255.255.255.0 #10.77.0.254",
                         *next / 256, *next % 256);
                out.push_back(reply);
            }
            return out;
        });
    std::string out = runTool(*ctrl, {"find 3", "dump"}, 60s);
    EXPECT_EQ("@find 255", linesWith(out, "@find ").at(0)) << out.substr(0, 2000);
    EXPECT_EQ("@counts 255 255 0 0 0", linesWith(out, "@counts ").at(0));
    EXPECT_EQ(256u, linesWith(readFile(ctrl->path("/var/www/qeldevNet.csv")), "").size());
}

}  // namespace
