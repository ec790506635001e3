#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "device/DevCmdTable.h"

namespace {

struct Row {
    const char* prefix;
    int argCount;
    int ackFieldCount;
};

// The controller-side prefixes with their counts, row by row.
const Row kRows[QEL_DEV_CMD_COUNT] = {
    {"config get devices", 0, 0},
    {"config get controllers", 0, 3},
    {"config get encoders", 0, 19},
    {"config get decoders", 0, 19},
    {"config set net params", 4, 2},
    {"config get url params", 2, 3},
    {"config set connect", 1, 2},
    {"config set reboot", 1, 2},
    {"config set split params", 3, 2},
    {"config set url params", 3, 2},
    {"config set layer params", 3, 2},
    {"config set display params", 3, 2},
    {"config set clip params", 8, 2},
    {"config set pos params", 8, 2},
    {"config set video params", 12, 2},
    {"config set encoder params", 8, 2},
    {"config get encoder params", 2, 9},
    {"config set decoder params", 6, 2},
    {"config get decoder params", 2, 7},
    {"config set decoders display ip", 0, 2},
    {"config set cutedge params", 3, 2},
    {"config set serial params", 8, 2},
    {"config get serial params", 2, 9},
    {"config set serialbynet", 4, 2},
    {"config get serialbynet", 2, 9},
    {"config set update file", 3, 2},
    {"config set decoder name", 2, 2},
    {"config set encoder name", 2, 2},
    {"config set ipsource name", 2, 2},
    {"config set splitundis params", 3, 2},
    {"config set mul hide params", 2, 2},
    {"config set normal hide params", 3, 2},
    {"config set device restorefactory", 1, 2},
    {"config flash device led", 1, 2},
    {"config set serial send", 2, 2},
    {"config show device", 1, 2},
    {"config set rx display ip", 1, 2},
    {"config set netandname params", 5, 2},
    {"config set internalcmd", 2, 2},
    {"config set hdmiout", 2, 2},
};

std::string insertAfter(const std::string& text, const std::string& head, const char* word) {
    return head + word + text.substr(head.size());
}

TEST(DevCmdTable, EveryRowTranslatesItsPrefixAndNamesItsAck) {
    for (int r = 0; r < QEL_DEV_CMD_COUNT; r++) {
        SCOPED_TRACE(r);
        const std::string prefix = kRows[r].prefix;
        ASSERT_STREQ(strConfigCmd[r], prefix.c_str());
        const std::string wire = insertAfter(prefix, "config ", "qel ");
        EXPECT_EQ(QelDevCmd[r].cmd, wire);
        EXPECT_EQ(QelDevCmd[r].ack, insertAfter(wire, "config qel ", "ack "));
        EXPECT_EQ(QelDevCmd[r].argCount, kRows[r].argCount);
        EXPECT_EQ(QelDevCmd[r].ackFieldCount, kRows[r].ackFieldCount);

        if (r >= QEL_DEV_CMD_FIRST_SENT) {
            const std::string text = prefix + " 10.77.0.2 1 x";
            EXPECT_EQ(findQelDevCmdRow(text.c_str()), r);
            char out[QEL_DEV_WIRE_MAX];
            ASSERT_EQ(buildQelDevWire(text.c_str(), r, out, sizeof out),
                      static_cast<int>(wire.size() + 14));
            EXPECT_EQ(std::string(out), wire + " 10.77.0.2 1 x");
        } else {
            // Rows 0-3 belong to discovery: never matched from a controller-side text.
            EXPECT_EQ(findQelDevCmdRow((prefix + " 10.77.0.2").c_str()), -1);
        }
    }
    EXPECT_EQ(QelDevCmd[QEL_DEV_CMD_COUNT].cmd, nullptr);
    EXPECT_EQ(QelDevCmd[QEL_DEV_CMD_COUNT].ack, nullptr);
    EXPECT_EQ(QelDevCmd[QEL_DEV_CMD_COUNT].argCount, 0);
    EXPECT_EQ(QelDevCmd[QEL_DEV_CMD_COUNT].ackFieldCount, 0);
}

TEST(DevCmdTable, NoSentPrefixBeginsAnother) {
    for (int a = QEL_DEV_CMD_FIRST_SENT; a < QEL_DEV_CMD_COUNT; a++) {
        for (int b = QEL_DEV_CMD_FIRST_SENT; b < QEL_DEV_CMD_COUNT; b++) {
            if (a == b) continue;
            EXPECT_NE(strncmp(strConfigCmd[b], strConfigCmd[a], strlen(strConfigCmd[a])), 0)
                << strConfigCmd[a] << " begins " << strConfigCmd[b];
        }
    }
}

TEST(DevCmdTable, FindsRowsByPrefixOnly) {
    struct Case {
        const char* text;
        int row;
    } cases[] = {
        {"config set decoders display ip", 19},
        {"config set decoders display ip 10.0.0.1", 19},
        {"config set decoder params 10.0.0.1 1 2 3 4 0 x", 17},
        {"config set decoder name 10.0.0.1 x", 26},
        // What follows the prefix is not examined.
        {"config set url params1.2.3.4", 9},
        {"config get encoders", -1},
        {"config get decoders 10.0.0.1", -1},
        {"config set url param 1.2.3.4", -1},
        {"", -1},
        {" config set url params 1.2.3.4", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(findQelDevCmdRow(c.text), c.row) << c.text;
    EXPECT_EQ(findQelDevCmdRow(nullptr), -1);
}

TEST(DevCmdTable, WireTextKeepsTheRestAndRefusesWhatDoesNotFit) {
    char out[QEL_DEV_WIRE_MAX];
    EXPECT_EQ(buildQelDevWire("config flash device led 10.77.0.9", 33, out, sizeof out), 37);
    EXPECT_STREQ(out, "config qel flash device led 10.77.0.9");

    // The wire prefix is 4 bytes longer than the controller-side one; 1023 bytes fit.
    const std::string head = "config set url params 10.77.0.2 1 rtsp://";
    std::string fits = head + std::string(1023 - 4 - head.size(), 'a');
    EXPECT_EQ(buildQelDevWire(fits.c_str(), 9, out, sizeof out), 1023);
    EXPECT_EQ(strlen(out), 1023u);
    std::string over = fits + "a";
    EXPECT_EQ(buildQelDevWire(over.c_str(), 9, out, sizeof out), -1);
    EXPECT_STREQ(out, "");

    // The row must be a sent row whose prefix begins the text.
    EXPECT_EQ(buildQelDevWire("config set url params 1.2.3.4", 8, out, sizeof out), -1);
    EXPECT_EQ(buildQelDevWire("config get encoders", 2, out, sizeof out), -1);
    EXPECT_EQ(buildQelDevWire("config set url params 1.2.3.4", 40, out, sizeof out), -1);
}

TEST(DevCmdTable, AcknowledgementParsing) {
    std::vector<std::string> f;
    const char* ok = "config qel ack set url params #SUCCEED ";
    EXPECT_TRUE(parseQelDevAck(ok, strlen(ok), 9, f));
    ASSERT_EQ(f.size(), 3u);  // ackFieldCount + 1
    EXPECT_EQ(f[0], "config qel ack set url params ");
    EXPECT_EQ(f[2], "");

    const char* failed = "config qel ack set url params #FAILED ";
    EXPECT_FALSE(parseQelDevAck(failed, strlen(failed), 9, f));
    const char* other = "config qel ack set split params #SUCCEED ";
    EXPECT_FALSE(parseQelDevAck(other, strlen(other), 9, f));
    EXPECT_FALSE(parseQelDevAck("", 0, 9, f));

    // Values untrimmed, in order; runs of '#' are one separator; missing ones empty; extra
    // fields beyond ackFieldCount + 1 are not stored.
    const char* values = "config qel ack get encoder params #SUCCEED #30 ##1 #24000 #12000";
    EXPECT_TRUE(parseQelDevAck(values, strlen(values), 16, f));
    ASSERT_EQ(f.size(), 10u);
    EXPECT_EQ(f[2], "30 ");
    EXPECT_EQ(f[3], "1 ");
    EXPECT_EQ(f[4], "24000 ");
    EXPECT_EQ(f[5], "12000");
    EXPECT_EQ(f[6], "");
    EXPECT_EQ(f[9], "");

    // A full 1024-byte datagram has no terminating zero: only len bytes are read.
    std::string big = "config qel ack set url params #SUCCEED #" + std::string(1024, 'v');
    EXPECT_TRUE(parseQelDevAck(big.data(), 1024, 9, f));
    EXPECT_EQ(f[2].size(), 1024u - 40u);
}

TEST(DevCmdTable, SplitStopsAtMaxFields) {
    std::vector<std::string> f;
    EXPECT_EQ(splitQelDevReply("#a##b#c#", 8, 2, f), 2);
    EXPECT_EQ(f, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(splitQelDevReply("###", 3, 5, f), 0);
}

TEST(DevCmdTable, TargetAddresses) {
    for (const char* good : {"10.77.0.2", "255.255.255.255", "0.0.0.0"})
        EXPECT_TRUE(isQelDevAddress(good)) << good;
    for (const char* bad : {"", "1", "10.77.0", "10.77.0.256", "10.77.0.2x", " 10.77.0.2", "host",
                            "10.77.0.2 ", "::1", "1.2.3.4.5"})
        EXPECT_FALSE(isQelDevAddress(bad)) << bad;
    EXPECT_FALSE(isQelDevAddress(nullptr));
}

}  // namespace

namespace {

TEST(DevCmdTable, MirroredRowsNameTheirCommands) {
    const std::pair<int, const char*> rows[] = {
        {QEL_ROW_SET_SPLIT_PARAMS, strConfigSetSplitParams},
        {QEL_ROW_SET_ENCODER_PARAMS, strConfigSetEncoderParams},
        {QEL_ROW_SET_DECODER_PARAMS, strConfigSetDecoderParams},
        {QEL_ROW_SET_DECODER_NAME, strConfigSetDecoderNameParam},
        {QEL_ROW_SET_ENCODER_NAME, strConfigSetEncoderNameParam},
    };
    for (const auto& r : rows) EXPECT_STREQ(strConfigCmd[r.first], r.second) << r.first;
}

}  // namespace
