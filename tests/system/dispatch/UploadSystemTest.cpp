// The real controller on the test network taking uploads over the WebSocket after a login:
// blocks and their refusals, names that try to leave the upload area, pictures, archives,
// and a device list applied to a fake decoder.
#include <dirent.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/Acks.h"
#include "support/Clients.h"
#include "support/FakeDevice.h"
#include "support/JpegBuilder.h"
#include "support/Process.h"
#include "support/TestNet.h"
#include "support/TftpClient.h"
#include "support/UploadTexts.h"
#include "support/WebSocketClient.h"

using namespace std::chrono_literals;

namespace {

using qeltest::JpegBuilder;
using qeltest::oldAck;

using qeltest::hexOf;
using qeltest::readAll;

class UploadSystem : public ::testing::Test {
protected:
    void SetUp() override {
        QEL_REQUIRE_TEST_NETWORK();
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
        ctrl = &net->addBox("ctrl", 1);
        op = &net->addBox("op", 2);
        decBox = &net->addBox("dec", 3);
        ASSERT_TRUE(ctrl->ok() && op->ok() && decBox->ok());
        decoder =
            std::make_unique<qeltest::FakeDevice>(*decBox, qeltest::FakeDevice::Kind::Decoder);
        ASSERT_TRUE(decoder->ok()) << decoder->error();
        ASSERT_EQ(mkdir(ctrl->path("/mnt").c_str(), 0755), 0);
        server = ctrl->start(qeltest::programPath("ctrlserver"));
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();
        ASSERT_TRUE(op->run([&] { return web.connect(ctrl->ip(), 3s); })) << web.error();
        ASSERT_EQ(ask("config set login vorpl"), oldAck("config set login", true));
    }

    Json::Value ask(const std::string& command, qeltest::WebSocketClient* client = nullptr) {
        qeltest::WebSocketClient& c = client ? *client : web;
        EXPECT_TRUE(c.sendText(command));
        Json::Value v;
        auto text = c.receiveText(5s);
        Json::Reader reader;
        if (text) {
            EXPECT_TRUE(reader.parse(*text, v, false)) << *text;
        }
        return v;
    }
    bool acked(const std::string& command, qeltest::WebSocketClient* client = nullptr) {
        const Json::Value v = ask(command, client);
        EXPECT_TRUE(v["ack"].isObject()) << command << ": " << v;
        return v["ack"]["status"] == "success";
    }
    // A whole upload in blocks of 20000 bytes; whether the stop was acknowledged.
    bool upload(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(acked("update data start " + name)) << name;
        for (size_t at = 0; at < bytes.size(); at += 20000) {
            const std::string part = bytes.substr(at, 20000);
            EXPECT_TRUE(acked("update data block " + std::to_string(at) + "," +
                              std::to_string(part.size()) + "|" + hexOf(part)));
        }
        return acked("update data stop " + name);
    }
    std::string area(const std::string& name) { return ctrl->path("/dev/tftpboot/" + name); }
    std::vector<std::string> list(const std::string& boxDir) {
        return qeltest::dirNames(ctrl->path(boxDir));
    }
    static std::string bytes(const JpegBuilder::Bytes& b) {
        return std::string(b.begin(), b.end());
    }
    // A gzip tar of one file of n bytes, made in the operator's box.
    std::string archiveOf(size_t n) {
        const std::string work = op->path("/work");
        mkdir(work.c_str(), 0755);
        std::string body;
        uint32_t x = 2463534242u;  // xorshift: bytes that do not compress
        for (size_t i = 0; i < n; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            body += char(x & 0xff);
        }
        std::ofstream(work + "/fw.bin", std::ios::binary) << body;
        EXPECT_EQ(::system(("tar -czf '" + work + "/a.tar' -C '" + work + "' fw.bin").c_str()), 0);
        return readAll(work + "/a.tar");
    }

    std::unique_ptr<qeltest::TestNet> net;
    qeltest::Box* ctrl = nullptr;
    qeltest::Box* op = nullptr;
    qeltest::Box* decBox = nullptr;
    std::unique_ptr<qeltest::FakeDevice> decoder;
    std::unique_ptr<qeltest::Process> server;
    qeltest::WebSocketClient web;
};

TEST_F(UploadSystem, BlocksNamesAndRefusals) {
    ASSERT_TRUE(acked("update data start a.bin"));
    EXPECT_EQ(ask("update data block 0,3|414243"), oldAck("update data block 0,3", true));
    EXPECT_EQ(ask("update data block 3,3|" + hexOf("abc", true)),
              oldAck("update data block 3,3", true));
    EXPECT_EQ(ask("update data block 6,0|"), oldAck("update data block 6,0", true));
    // Refused, and nothing written: no bar, a count past the payload, a non-hex digit, a block
    // or a stop from another connection.
    EXPECT_FALSE(acked("update data block 6,1 41"));
    EXPECT_FALSE(acked("update data block 6,2|41"));
    EXPECT_FALSE(acked("update data block 6,1|4x"));
    qeltest::WebSocketClient other;
    ASSERT_TRUE(op->run([&] { return other.connect(ctrl->ip(), 3s); })) << other.error();
    EXPECT_FALSE(acked("update data block 6,1|41", &other));
    EXPECT_FALSE(acked("update data stop a.bin", &other));
    EXPECT_TRUE(acked("update data stop a.bin"));
    EXPECT_EQ(readAll(area("a.bin")), "ABCabc");
    EXPECT_FALSE(acked("update data block 0,1|41"));

    // Names are kept to a plain file name inside the upload area.
    std::ofstream(ctrl->path("/mnt/x")) << "mine";
    EXPECT_TRUE(upload("../mnt/x", "new"));
    EXPECT_EQ(readAll(ctrl->path("/mnt/x")), "mine");
    EXPECT_EQ(readAll(area("x")), "new");
    for (const char* name : {"a$(id).jpg", "..", "-r.tar"})
        EXPECT_FALSE(acked(std::string("update data start ") + name)) << name;
    EXPECT_EQ(list("/dev/tftpboot"), (std::vector<std::string>{"a.bin", "x"}));
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(UploadSystem, PicturesAndArchives) {
    const size_t limit = 2097152;
    EXPECT_TRUE(upload("max.jpg", bytes(JpegBuilder::picture(1920, 1080, 0x22, limit))));
    EXPECT_FALSE(upload("big.jpg", bytes(JpegBuilder::picture(1920, 1080, 0x22, limit + 1))));
    EXPECT_FALSE(upload("hd.jpg", bytes(JpegBuilder::picture(1280, 720))));
    JpegBuilder exif;
    exif.soi().app1().app0().dqt().sof(1920, 1080).dht().sos().eoi();
    EXPECT_FALSE(upload("exif.jpg", exif.text()));
    EXPECT_EQ(list("/dev/tftpboot"), (std::vector<std::string>{"exif.jpg", "max.jpg"}));
    EXPECT_EQ(readAll(area("max.jpg")).size(), limit);

    // An archive, whole and cut in half.
    const std::string archive = archiveOf(3000);
    EXPECT_TRUE(upload("RX_Update_a.tar", archive));
    EXPECT_EQ(list("/dev/tftpbootuntar"), std::vector<std::string>{});
    EXPECT_FALSE(upload("RX_Update_b.tar", archive.substr(0, archive.size() / 2)));
    EXPECT_EQ(list("/dev/tftpbootuntar"), std::vector<std::string>{});
    EXPECT_TRUE(readAll(area("RX_Update_a.tar")).empty()) << "replaced by the newer firmware";
    EXPECT_EQ(readAll(area("RX_Update_b.tar")), archive.substr(0, archive.size() / 2));
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(UploadSystem, DeviceListReachesTheDecoder) {
    const std::string csv =
        "00:11:22:aa:bb:03,10.77.0.3,RX1,255.255.255.0,10.77.0.254\r\n"
        "00:11:22:aa:bb:04,10.77.0.4,ninechars,255.255.255.0,10.77.0.254\r\n"
        "00-11-22-aa-bb-05,10.77.0.5,RX5,255.255.255.0,10.77.0.254\r\n"
        "00:11:22:aa:bb:06,,RX6,255.255.255.0,10.77.0.254\r\n"
        "00:11:22:aa:bb:07,10.77.0.7,RX7,255.255.255.0,10.77.0.254";
    ASSERT_TRUE(upload("devices.csv", csv));
    EXPECT_EQ(ask("update csv with devices.csv"), oldAck("update csv with devices.csv", true));
    ASSERT_TRUE(decoder->waitForCount(2, 3s));
    std::vector<std::string> texts;
    for (const auto& d : decoder->received())
        if (d.text.find("netandname") != std::string::npos) texts.push_back(d.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "config qel set netandname params 00:11:22:aa:bb:03 10.77.0.3 "
                         "255.255.255.0 10.77.0.254 RX1",
                         "config qel set netandname params 00:11:22:aa:bb:07 10.77.0.7 "
                         "255.255.255.0 10.77.0.254 RX7"}));
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(UploadSystem, DecoderFetchesUploadedFirmwareOverTftp) {
    std::string buildDir = qeltest::programPath("ctrlserver");
    buildDir.erase(buildDir.rfind("/bin/"));
    if (access((buildDir + "/tftpd-hpa/usr/sbin/in.tftpd").c_str(), X_OK) != 0)
        GTEST_SKIP() << "in.tftpd is not unpacked under the build folder (scripts/setup does "
                        "it): the controller has no TFTP server to serve with";
    qeltest::UdpSocket notices = decBox->run([] { return qeltest::UdpSocket(8884, "", true); });
    ASSERT_TRUE(notices.ok()) << notices.error();
    const std::string archive = archiveOf(4000);
    ASSERT_GT(archive.size(), 1024u) << "the file should take several TFTP blocks";
    ASSERT_TRUE(upload("RX_Update_a.tar", archive));

    const std::string update =
        "update firmware 10.77.0.3 with RX_Update_a.tar filesize 10 type dec";
    EXPECT_EQ(ask(update), oldAck(update, true));
    auto notice = notices.receiveMatching("set update file", 3s);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->text, "config qel set update file 10.77.0.3 RX_Update_a.tar 10 type dec");

    // The server starts with the first update; give it a moment to listen.
    qeltest::TftpResult got;
    for (int i = 0; i < 10 && !got.ok; ++i)
        got = decBox->run([&] { return qeltest::tftpRead(ctrl->ip(), "RX_Update_a.tar", 500ms); });
    EXPECT_TRUE(got.ok) << got.error << "\n" << readAll(ctrl->path("/var/log/commands.log"));
    EXPECT_EQ(got.data.size(), archive.size());
    EXPECT_TRUE(got.data == archive);
    const qeltest::TftpResult outside =
        decBox->run([&] { return qeltest::tftpRead(ctrl->ip(), "../mnt/qeldevController.ini"); });
    EXPECT_FALSE(outside.ok);
    EXPECT_GE(outside.errorCode, 0) << outside.error;
    EXPECT_EQ(server->stop(), 0);
}

}  // namespace
