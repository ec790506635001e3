// Device lookups over a device server loaded from fixture device files, and the decoder and
// encoder parameter texts.
#include <cstring>
#include <mutex>

#include "WallOpsFixture.h"

namespace {

const std::vector<DevSpec> kDecoders = {
    {"Lobby", "RX-0001", "10.0.0.11", "00:11:22:00:00:11", "1.1", "", ""},
    {"Shared", "RX-0002", "10.0.0.12", "00:11:22:00:00:12", "1.2", "", ""},
    {"Hall", "RX-0003", "10.0.0.13", "00:11:22:00:00:13", "1.3", "", ""},
};
const std::vector<DevSpec> kEncoders = {
    {"Shared", "TX-0001", "10.0.0.21", "00:11:22:00:00:21", "2.1", "rtsp://10.0.0.21/0", ""},
    {"", "TX-0002", "10.0.0.22", "00:11:22:00:00:22", "2.2", "rtsp://10.0.0.22/0", ""},
};
const std::vector<DevSpec> kCameras = {
    {"Cam1", "", "10.0.0.31", "00:11:22:00:00:31", "", "rtsp://10.0.0.31/cam", ""},
};

enum Member { RX, IPRX, TX, ALL, ALLIP };

}  // namespace

class LookupTest : public WallOpsTest {
public:
    void SetUp() override {
        WallOpsTest::SetUp();
        if (IsSkipped()) return;
        loadDevices(kDecoders, kEncoders, kCameras);
        start();
    }

    int find(Member member, const char* key) {
        for (char* b : {ip, alias, mac, version}) strcpy(b, "untouched");
        kind = -7;
        switch (member) {
            case RX:
                return model->blGetDeviceInfoByUsingAliasHostNameRX(key, ip, alias, mac, version,
                                                                    kind);
            case IPRX:
                return model->blGetDeviceInfoByUsingAliasHostNameIPRX(key, ip, alias, mac, version,
                                                                      kind);
            case TX:
                return model->blGetDeviceInfoByUsingAliasHostNameTX(key, ip, alias, mac, version,
                                                                    kind);
            case ALL:
                return model->blGetDeviceInfoByUsingAliasHostName(key, ip, alias, mac, version,
                                                                  kind);
            case ALLIP:
                return model->blGetDeviceInfoByUsingAliasHostNameIP(key, ip, alias, mac, version,
                                                                    kind);
        }
        return -1;
    }

    char ip[VS_LOOKUP_TEXT_SIZE], alias[VS_LOOKUP_TEXT_SIZE], mac[VS_LOOKUP_TEXT_SIZE],
        version[VS_LOOKUP_TEXT_SIZE];
    int kind = -7;
};

TEST_F(LookupTest, FindsTheFirstExactMatchInListOrder) {
    struct Case {
        Member member;
        const char* key;
        const char* ip;  // null: not found, every output untouched
        const char* alias;
        const char* version;  // null: not looked at
        int kind;
    };
    const Case cases[] = {
        {ALL, "Lobby", "10.0.0.11", "Lobby", "1.1", 1},
        {ALL, "RX-0002", "10.0.0.12", "Shared", "1.2", 1},  // host name
        {ALL, "lobby", nullptr, nullptr, nullptr, 0},       // letter case matters
        {ALL, "Lobb", nullptr, nullptr, nullptr, 0},        // no prefix match
        {ALL, "Shared", "10.0.0.12", "Shared", "1.2", 1},   // decoders come first
        {TX, "Shared", "10.0.0.21", "Shared", nullptr, 0},  // encoders only
        {RX, "Shared", "10.0.0.12", "Shared", nullptr, 1},
        {RX, "TX-0001", nullptr, nullptr, nullptr, 0},
        {ALL, "", "10.0.0.22", "", "2.2", 0},               // the first empty alias or host name
        {TX, "Cam1", "10.0.0.31", "Cam1", "untouched", 0},  // a camera keeps the version buffer
        {ALL, "Cam1", "10.0.0.31", "Cam1", "untouched", 0},
        {ALLIP, "Cam1", "10.0.0.31", "Cam1", "untouched", 0},
        {RX, "Cam1", nullptr, nullptr, nullptr, 0},
        {IPRX, "Cam1", nullptr, nullptr, nullptr, 0},
        {ALL, "10.0.0.21", nullptr, nullptr, nullptr, 0},  // addresses only through IP members
        {TX, "10.0.0.21", nullptr, nullptr, nullptr, 0},
        {RX, "10.0.0.11", nullptr, nullptr, nullptr, 0},
        {ALLIP, "10.0.0.21", "10.0.0.21", "Shared", "2.1", 0},
        {ALLIP, "10.0.0.31", "10.0.0.31", "Cam1", "untouched", 0},
        {IPRX, "10.0.0.11", "10.0.0.11", "Lobby", nullptr, 1},
        {IPRX, "10.0.0.21", nullptr, nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.member) + " '" + c.key + "'";
        const int got = find(c.member, c.key);
        if (!c.ip) {
            EXPECT_EQ(got, 0) << what;
            for (const char* b : {ip, alias, mac, version}) EXPECT_STREQ(b, "untouched") << what;
            EXPECT_EQ(kind, -7) << what;
            continue;
        }
        EXPECT_EQ(got, 1) << what;
        EXPECT_STREQ(ip, c.ip) << what;
        EXPECT_STREQ(alias, c.alias) << what;
        EXPECT_EQ(kind, c.kind) << what;
        if (c.version) {
            EXPECT_STREQ(version, c.version) << what;
        }
        // The MAC belongs to the same record (fixture MACs end in the address's last digits).
        const std::string m = mac, address = c.ip;
        EXPECT_EQ(m.substr(m.size() - 2), address.substr(address.size() - 2)) << what;
    }
}

TEST_F(LookupTest, OverlongTextsAreCutToTheBuffer) {
    {
        std::lock_guard<std::recursive_mutex> lock(server->tableMutex);
        server->decoders[0]->name = std::string(100, 'n');
        server->decoders[0]->version = std::string(70, 'v');
    }
    ASSERT_EQ(find(ALL, "RX-0001"), 1);
    EXPECT_EQ(std::string(alias), std::string(VS_LOOKUP_TEXT_SIZE - 1, 'n'));
    EXPECT_EQ(std::string(version), std::string(VS_LOOKUP_TEXT_SIZE - 1, 'v'));
}

TEST_F(LookupTest, ParameterTextsForOneDeviceOrEveryKnownOne) {
    model->devTextTap = [this](const std::string& t) { texts.push_back(t); };
    char ipArg[] = "10.9.9.9", nameArg[] = "null";
    EXPECT_EQ(model->cmdSetRXParams(ipArg, "50", "51", "52", "53", "1", nameArg), 0);
    EXPECT_EQ(model->cmdSetTXParams("10.0.0.21", "30", "8000", "1", "0", "1", "null"), 0);
    EXPECT_EQ(model->cmdSetRXParams("255.255.255.255", "1", "2", "3", "4", "0", nameArg), 0);
    EXPECT_EQ(model->cmdSetTXParams("255.255.255.255", "25", "12000", "0", "1", "0", nameArg), 0);
    const std::vector<std::string> expected = {
        "config set decoder params 10.9.9.9 50 51 52 53 1 null",
        "config set encoder params 10.0.0.21 0 1 30 8000 1 0 1 null",
        "config set decoder params 10.0.0.11 1 2 3 4 0 Lobby",
        "config set decoder params 10.0.0.12 1 2 3 4 0 Shared",
        "config set decoder params 10.0.0.13 1 2 3 4 0 Hall",
        "config set encoder params 10.0.0.21 0 1 25 12000 0 1 0 Shared",
        "config set encoder params 10.0.0.22 0 1 25 12000 0 1 0 ",
    };
    EXPECT_EQ(texts, expected);
    // The caller's buffers keep what they held.
    EXPECT_STREQ(ipArg, "10.9.9.9");
    EXPECT_STREQ(nameArg, "null");
}

TEST_F(LookupTest, ParameterTextTooLongIsNotQueued) {
    model->devTextTap = [this](const std::string& t) { texts.push_back(t); };
    const std::string name(240, 'x');
    EXPECT_EQ(model->cmdSetRXParams("10.0.0.11", "1", "2", "3", "4", "0", name.c_str()), -1);
    EXPECT_EQ(model->cmdSetTXParams("10.0.0.21", "1", "2", "3", "4", "0", name.c_str()), -1);
    EXPECT_TRUE(texts.empty());
    // The longest text that fits its 256-byte buffer still goes.
    const std::string fits(255 - strlen("config set decoder params 10.0.0.11 1 2 3 4 0 "), 'y');
    EXPECT_EQ(model->cmdSetRXParams("10.0.0.11", "1", "2", "3", "4", "0", fits.c_str()), 0);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].size(), 255u);
}
