// Serial settings read from the tables: the peer a device's serial port is joined to over the
// network, and which device leads serial over the network.
#include "DevServerFixture.h"

namespace {

using KV = std::vector<std::pair<std::string, Json::Value>>;

// Decoders at .3 (joined to .9), .20 (joined to all, the leader), .9 (the encoder's address
// too: decoders are looked at first) and .5 (joined to a device in no table).
TEST_F(DevServerTest, SerialPeerIsNamedFromTheTablesDecodersFirst) {
    writeFile("/mnt/qeldevDecoder.ini", KV{{"decoder00_ip", "10.77.0.3"},
                                           {"decoder00_name", "Left"},
                                           {"decoder00_bynetip", "10.77.0.9"},
                                           {"decoder00_baud", 9600},
                                           {"decoder01_ip", "10.77.0.20"},
                                           {"decoder01_name", "Right"},
                                           {"decoder01_bynetswitch", 1},
                                           {"decoder01_bynetmode", 0},
                                           {"decoder02_ip", "10.77.0.9"},
                                           {"decoder02_name", "Twin"},
                                           {"decoder02_bynetip", "10.77.0.3"},
                                           {"decoder03_ip", "10.77.0.5"},
                                           {"decoder03_name", "Lost"},
                                           {"decoder03_bynetip", "10.77.0.77"},
                                           {"decoder_count", 4}});
    writeFile("/mnt/qeldevEncoder.ini", KV{{"encoder00_ip", "10.77.0.9"},
                                           {"encoder00_name", "Cam"},
                                           {"encoder00_bynetip", "10.77.0.3"},
                                           {"encoder_count", 1}});
    DevServer& dev = start();
    const struct {
        const char* ip;
        bool found;
        const char* name;
        const char* connect;
    } cases[] = {
        {"10.77.0.3", true, "Left", "Twin"},  // the decoder at .9 before the encoder there
        {"10.77.0.20", true, "Right", "ALL"},
        {"10.77.0.9", true, "Twin", "Left"},  // the decoder, not the encoder, at .9
        {"10.77.0.5", true, "Lost", ""},      // its peer is in no table
        {"10.77.0.50", false, "", ""},
    };
    for (const auto& c : cases) {
        DevSerParam out;
        std::string text = c.ip;
        EXPECT_EQ(dev.blQelGetDevSerialParams(QEL_KIND_ALL, &text[0], out), c.found) << c.ip;
        if (!c.found) continue;
        EXPECT_EQ(out.ip, c.ip);
        EXPECT_EQ(out.name, c.name) << c.ip;
        EXPECT_EQ(out.connect, c.connect) << c.ip;
    }
    DevSerParam first;
    std::string text = "10.77.0.3";
    ASSERT_TRUE(dev.blQelGetDevSerialParams(QEL_KIND_ALL, &text[0], first));
    EXPECT_EQ(first.baud, 9600);
    EXPECT_FALSE(dev.blQelGetDevSerialParams(QEL_KIND_DECODER, &text[0], first));

    // The leader: the first device switched on in sending mode.
    DevSerParam lead;
    ASSERT_TRUE(dev.blQelGetDevSerialByNetParams(lead));
    EXPECT_EQ(lead.ip, "10.77.0.20");
    EXPECT_EQ(lead.bynetswitch, 1);
}

TEST_F(DevServerTest, WithoutALeaderTheFirstDecoderLeadsAndWithoutDevicesNone) {
    writeFile("/mnt/qeldevEncoder.ini", KV{{"encoder00_ip", "10.77.0.9"},
                                           {"encoder00_bynetswitch", 1},
                                           {"encoder00_bynetmode", 0},
                                           {"encoder_count", 1}});
    DevSerParam lead;
    lead.ip = "stale";
    ASSERT_TRUE(start().blQelGetDevSerialByNetParams(lead));
    EXPECT_EQ(lead.ip, "10.77.0.9");  // an encoder leads when no decoder is switched on

    server.reset();  // before the files change under it
    writeFile("/mnt/qeldevDecoder.ini", KV{{"decoder00_ip", "10.77.0.3"},
                                           {"decoder01_ip", "10.77.0.4"},
                                           {"decoder01_bynetswitch", 1},
                                           {"decoder01_bynetmode", 1},
                                           {"decoder_count", 2}});
    writeFile("/mnt/qeldevEncoder.ini", KV{{"encoder_count", 0}});
    ASSERT_TRUE(start().blQelGetDevSerialByNetParams(lead));
    EXPECT_EQ(lead.ip, "10.77.0.3");  // nobody sends: the first decoder

    server.reset();
    writeFile("/mnt/qeldevDecoder.ini", KV{{"decoder_count", 0}});
    ASSERT_TRUE(start().blQelGetDevSerialByNetParams(lead));
    EXPECT_EQ(lead.ip, "");
}

}  // namespace
