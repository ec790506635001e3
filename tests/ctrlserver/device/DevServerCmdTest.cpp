// The queued road without the network: what is dropped before any socket is made, the local
// camera rename, and the mirroring of sent commands into the tables and files.
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "DevServerFixture.h"

namespace {

class DevServerCmdTest : public DevServerTest {
protected:
    void SetUp() override {
        DevServerTest::SetUp();
        writeFile(QEL_DECODER_FILE, {{"decoder00_ip", "10.0.0.2"},
                                     {"decoder00_name", "left"},
                                     {"decoder01_ip", "10.0.0.3"},
                                     {"decoder01_name", "right"},
                                     {"decoder_count", 2}});
        writeFile(QEL_ENCODER_FILE,
                  {{"encoder00_ip", "10.0.0.4"}, {"encoder00_name", "cam"}, {"encoder_count", 1}});
        writeFile(
            QEL_IPSOURCE_FILE,
            {{"ipsource00_ip", "10.0.0.5"}, {"ipsource00_name", "door"}, {"ipsource_count", 1}});
        start();
    }

    void mirror(const std::string& cmd) { server->mirrorQelDevCmd(cmd.c_str()); }

    // Hands text to the queue handler; returns what it wrote to the message stream.
    std::string process(std::string text) {
        testing::internal::CaptureStderr();
        server->processQueuedCmd(&text[0]);
        return testing::internal::GetCapturedStderr();
    }

    Decoder& dec(int i) { return *server->decoders[i]; }
    Encoder& enc(int i) { return *server->encoders[i]; }
};

TEST_F(DevServerCmdTest, DecoderParamsReachTheTableAndTheFile) {
    mirror("config set decoder params 10.0.0.3 40 41 42 43 1 Lobby");
    EXPECT_EQ(dec(1).luma, 40);
    EXPECT_EQ(dec(1).contrast, 41);
    EXPECT_EQ(dec(1).hue, 42);
    EXPECT_EQ(dec(1).saturation, 43);
    EXPECT_EQ(dec(1).audiooutput, 1);
    EXPECT_EQ(dec(1).name, "Lobby");
    EXPECT_EQ(dec(0).luma, 50);
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder01_luma").asInt(), 40);
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder01_hue").asInt(), 42);
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder01_name").asString(), "Lobby");

    // "null" and a missing name keep the name; the numbers still change.
    mirror("config set decoder params 10.0.0.3 1 2 3 4 0 null");
    EXPECT_EQ(dec(1).name, "Lobby");
    EXPECT_EQ(dec(1).luma, 1);
    mirror("config set decoder params 10.0.0.3 5 6 7 8 0");
    EXPECT_EQ(dec(1).name, "Lobby");
    EXPECT_EQ(dec(1).luma, 5);
    // Only the first word of a name is taken.
    mirror("config set decoder params 10.0.0.2 9 9 9 9 0 Hall East");
    EXPECT_EQ(dec(0).name, "Hall");
}

TEST_F(DevServerCmdTest, MirroringIgnoresBroadcastUnknownAndMalformedTargets) {
    for (const char* text :
         {"config set decoder params 255.255.255.255 1 1 1 1 1 all",
          "config set decoder params 10.0.0.99 1 1 1 1 1 x", "config set decoder params",
          "config set decoder params    ", "config set decoder name 10.0.0.2",
          "config set decoder name  x", "config set encoder params 10.0.0.2 0 0 1 1 1 1 1 x"}) {
        mirror(text);
    }
    EXPECT_EQ(dec(0).luma, 50);
    EXPECT_EQ(dec(0).name, "left");
    EXPECT_EQ(dec(1).name, "right");
    EXPECT_EQ(enc(0).fps, 0);

    // A value over 127 characters fails the whole mirroring, not just the value.
    mirror("config set decoder params 10.0.0.2 1 1 1 1 1 " + std::string(128, 'n'));
    EXPECT_EQ(dec(0).luma, 50);
    EXPECT_EQ(dec(0).name, "left");
    mirror("config set decoder params 10.0.0.2 1 1 1 1 1 " + std::string(127, 'n'));
    EXPECT_EQ(dec(0).name, std::string(127, 'n'));
}

TEST_F(DevServerCmdTest, SplitCountIsWrittenOnlyWhenItChanges) {
    mirror("config set split params 10.0.0.2 4 1");
    EXPECT_EQ(dec(0).status, 4);
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder00_splitnum").asInt(), 4);
    ASSERT_EQ(unlink(file(QEL_DECODER_FILE).c_str()), 0);
    mirror("config set split params 10.0.0.2 4 1");
    EXPECT_FALSE(exists(QEL_DECODER_FILE));
    mirror("config set split params 10.0.0.2 16 1");
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder00_splitnum").asInt(), 16);
}

TEST_F(DevServerCmdTest, EncoderParamsKeepBitRateFlags) {
    struct Case {
        const char* text;
        int vbr, cbr, rc;
    } cases[] = {
        {"config set encoder params 10.0.0.4 0 0 25 24000 1 2 3 tx1", 0, 0, 1},
        {"config set encoder params 10.0.0.4 0 0 25 8000 1 2 3 tx1", 1, 0, 1},
        {"config set encoder params 10.0.0.4 0 0 25 12000 0 2 3 tx1", 1, 0, 0},
        {"config set encoder params 10.0.0.4 0 0 25 9000 0 2 3 tx1", 1, 1, 0},
        {"config set encoder params 10.0.0.4 0 0 25 24000 1 2 3 null", 0, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        mirror(c.text);
        EXPECT_EQ(enc(0).vbrbitrate, c.vbr);
        EXPECT_EQ(enc(0).cbrbitrate, c.cbr);
        EXPECT_EQ(enc(0).ratecontrol, c.rc);
        EXPECT_EQ(enc(0).fps, 25);
        EXPECT_EQ(enc(0).audiofrom, 2);
        EXPECT_EQ(enc(0).audioto, 3);
        EXPECT_EQ(enc(0).name, "tx1");
    }
    EXPECT_EQ(value(QEL_ENCODER_FILE, "encoder00_vbrbitrate").asInt(), 0);
    EXPECT_EQ(value(QEL_ENCODER_FILE, "encoder00_cbrbitrate").asInt(), 1);
    EXPECT_EQ(value(QEL_ENCODER_FILE, "encoder00_name").asString(), "tx1");
}

TEST_F(DevServerCmdTest, RenamesTakeTheRestOfTheText) {
    mirror("config set decoder name 10.0.0.3 Lobby  Left ");
    EXPECT_EQ(dec(1).name, "Lobby  Left ");
    EXPECT_EQ(value(QEL_DECODER_FILE, "decoder01_name").asString(), "Lobby  Left ");
    mirror("config set encoder name 10.0.0.4 Stage cam");
    EXPECT_EQ(enc(0).name, "Stage cam");
    EXPECT_EQ(value(QEL_ENCODER_FILE, "encoder00_name").asString(), "Stage cam");
    // The text behind the prefix is read up to 255 characters.
    mirror("config set decoder name 10.0.0.2 " + std::string(300, 'n'));
    EXPECT_EQ(dec(0).name, std::string(255 - 10, 'n'));
}

TEST_F(DevServerCmdTest, CameraRenameIsLocal) {
    std::string log = process("config set ipsource name 10.0.0.5 Gate");
    EXPECT_EQ(log.find("Send"), std::string::npos) << log;
    EXPECT_EQ(server->ipSources[0]->name, "Gate");
    EXPECT_EQ(value(QEL_IPSOURCE_FILE, "ipsource00_name").asString(), "Gate");
    process("config set ipsource name 10.0.0.6 Other");
    EXPECT_EQ(server->ipSources[0]->name, "Gate");
    // A missing name empties it.
    process("config set ipsource name 10.0.0.5");
    EXPECT_EQ(server->ipSources[0]->name, "");
    // The rename is recognised wherever it stands in the text, and still never sent.
    log = process("7|config set ipsource name 10.0.0.5 Yard");
    EXPECT_EQ(log.find("Send"), std::string::npos) << log;
    EXPECT_EQ(server->ipSources[0]->name, "Yard");
}

TEST_F(DevServerCmdTest, TextsWithoutAValidTargetAreDroppedBeforeAnySend) {
    // None of these may reach a socket: every one is refused on its target field. (Texts
    // with a valid target are sent; they are tested on the test network only.)
    for (const char* text :
         {"config set url params", "config set url params ", "config set url params   ",
          "config set url params host 1 x", "config set url params 10.0.0.2x 1 x",
          "config set url params 10.0.0 1 rtsp://10.0.0.9/s",
          "config set decoder params  x 1 1 1 1 0 n"}) {
        std::string log = process(text);
        EXPECT_NE(log.find("Drop device command"), std::string::npos) << text << ": " << log;
        EXPECT_EQ(log.find("Send"), std::string::npos) << text << ": " << log;
    }
    // Texts of no sending row are dropped without a word.
    for (const char* text : {"config get encoders 10.0.0.2", "hello", ""}) {
        EXPECT_EQ(process(text), "") << text;
    }
    // Nothing was mirrored either.
    EXPECT_EQ(dec(0).name, "left");

    // The direct road refuses an address that is not a dotted IPv4 address.
    char cmd[] = "config set reboot 10.0.0.2";
    char ip[] = "10.0.0.2 ";
    testing::internal::CaptureStderr();
    EXPECT_EQ(server->cmdQelDevInternal(cmd, ip), 0);
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Drop device command"), std::string::npos) << log;
}

TEST_F(DevServerCmdTest, OverlongTextsAreNotQueued) {
    std::string big(QEL_MAX_ENTRY, 'x');
    EXPECT_EQ(server->cmdQelDev(&big[0], nullptr), 0);
    EXPECT_EQ(server->cmdQelDev(nullptr, nullptr), 0);
    EXPECT_EQ(server->cmdQueue()->QueueLength(), 0);
}

// The queue holds at most QEL_DEV_QUEUE_MAX texts. A group is taken whole or refused whole;
// one larger than the bound only into an empty queue. (The sending thread takes one text about
// every 15 ms, far slower than these calls.)
TEST_F(DevServerCmdTest, TheQueueIsBoundedAndGroupsAreTakenWholeOrNotAtAll) {
    const int bound = DevServer::QEL_DEV_QUEUE_MAX;
    std::string text = "config set url params 10.77.0.250 0 x";
    int refusedAt = -1;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 2 * bound && refusedAt < 0; ++i)
        if (server->cmdQelDev(&text[0], nullptr) < 0) refusedAt = i;
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_GE(refusedAt, bound);
    EXPECT_NE(log.find("device command queue full"), std::string::npos) << log;
    const int before = server->cmdQueue()->QueueLength();
    EXPECT_LE(before, bound);
    EXPECT_EQ(server->cmdQelDevGroup(std::vector<std::string>(100, text)), -1);
    EXPECT_LE(server->cmdQueue()->QueueLength(), before);

    server->cmdQueue()->ClearQueue();
    EXPECT_EQ(server->cmdQelDevGroup(std::vector<std::string>(bound + 50, text)), 0);
    EXPECT_GT(server->cmdQueue()->QueueLength(), bound);
    EXPECT_EQ(server->cmdQelDevGroup({text}), -1);
    server->cmdQueue()->ClearQueue();
}

}  // namespace
