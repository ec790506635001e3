// The handshake answer and the frame codec, over plain byte buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "intake/websocket_handler.h"
#include "intake/websocket_request.h"
#include "intake/websocket_respond.h"

namespace {

typedef std::map<std::string, std::string> Headers;

Headers parse(const std::string& request) {
    Headers h;
    Websocket_Handler::fetch_http_info(request.data(), request.size(), h);
    return h;
}

std::string answer(const Headers& h) {
    std::vector<char> out(QEL_MAX_ENTRY);
    const int n = Websocket_Handler::parse_str(h, out.data(), static_cast<int>(out.size()));
    return n < 0 ? "" : std::string(out.data(), n);
}

const std::string kSampleRequest =
    "GET /chat HTTP/1.1\r\n"
    "Host: server.example.com\r\n"
    "Upgrade: websocket\r\n"
    "Connection: Upgrade\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
    "Origin: http://example.com\r\n"
    "Sec-WebSocket-Version: 13\r\n"
    "\r\n";

TEST(Handshake, SampleKeyGivesTheRfcAcceptAndTheFullAnswer) {
    EXPECT_EQ(answer(parse(kSampleRequest)),
              "HTTP/1.1 101 Switching Protocols\r\n"
              "Connection: Upgrade\r\n"
              "Sec-WebSocket-Origin: http://example.com\r\n"
              "Sec-WebSocket-Location: ws://server.example.com/\r\n"
              "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"
              "Upgrade: websocket\r\n\r\n");
}

TEST(Handshake, HeaderParsingQuirks) {
    // Accept value of the fixed text alone, used whenever the key header is missing.
    const std::string noKeyAccept = Websocket_Handler::acceptValue("");
    ASSERT_EQ(noKeyAccept.size(), 28u);

    // Header names are matched in any letter case; a repeated header keeps its last value,
    // whatever the case of each of its lines.
    Headers h = parse(
        "GET / HTTP/1.1\r\nsec-websocket-key: abc\r\nFoo:bar\r\nHost: a\r\n"
        "HOST: b\r\nNoCr: x\n\r\nAfter: blank\r\n");
    EXPECT_EQ(h.count("sec-websocket-key"), 1u);
    EXPECT_EQ(h.count("Foo:bar"), 0u);
    EXPECT_EQ(h.count("Foo"), 0u);
    EXPECT_EQ(h.count("Host"), 0u);
    EXPECT_EQ(h["HOST"], "b");
    EXPECT_EQ(h.count("NoCr"), 0u);
    EXPECT_EQ(h.count("After"), 0u);
    const std::string a = answer(h);
    EXPECT_NE(a.find("Sec-WebSocket-Accept: " + Websocket_Handler::acceptValue("abc") + "\r\n"),
              std::string::npos)
        << a;
    EXPECT_NE(a.find("Sec-WebSocket-Location: ws://b/\r\n"), std::string::npos) << a;

    // A request line without '\r' leaves the headers empty; the answer still goes out.
    Headers none;
    EXPECT_EQ(Websocket_Handler::fetch_http_info("GET / HTTP/1.1\nHost: a\r\n\r\n", 26, none), -1);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(answer(none),
              "HTTP/1.1 101 Switching Protocols\r\nConnection: \r\nSec-WebSocket-Origin: \r\n"
              "Sec-WebSocket-Location: ws:///\r\nSec-WebSocket-Accept: " +
                  noKeyAccept + "\r\nUpgrade: websocket\r\n\r\n");
}

TEST(Handshake, OverlongValueIsCutAndTheLineStillEnds) {
    Headers h;
    h["Host"] = std::string(5000, 'h');
    h["Origin"] = std::string(70000, 'o');
    const std::string a = answer(h);
    const size_t start = a.find("Sec-WebSocket-Location: ws://");
    ASSERT_NE(start, std::string::npos);
    const size_t end = a.find("/\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(end + 3 - start, 1023u);
    EXPECT_NE(a.find("Upgrade: websocket\r\n\r\n"), std::string::npos);
}

TEST(Handshake, RequestEnd) {
    const std::pair<std::string, size_t> cases[] = {
        {kSampleRequest, kSampleRequest.size()},
        {kSampleRequest.substr(0, kSampleRequest.size() - 1), 0},
        {"GET / HTTP/1.1\n\nrest", 16},
        {"GET / HTTP/1.1\r\nHost: a\r\n\r\n\x81", 27},
        {"no blank line\r\n", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Websocket_Handler::findRequestEnd(c.first.data(), c.first.size()), c.second)
            << c.first;
}

std::vector<unsigned char> frame(int opcode, const std::string& payload, bool masked) {
    std::vector<unsigned char> out(payload.size() + 16);
    const unsigned char key[4] = {0x37, 0xfa, 0x21, 0x3d};
    Websocket_Respond r;
    const int n = r.mk_websocket_info(
        out.data(), static_cast<int>(out.size()), 1, opcode, masked ? 1 : 0, key,
        reinterpret_cast<const unsigned char*>(payload.data()), static_cast<int>(payload.size()));
    out.resize(n < 0 ? 0 : n);
    return out;
}

TEST(Frames, ReplyHeaderSizesByLength) {
    const std::pair<int, std::vector<unsigned char>> cases[] = {
        {125, {0x81, 125}},
        {126, {0x81, 126, 0x00, 0x7E}},
        {65535, {0x81, 126, 0xFF, 0xFF}},
        {65536, {0x81, 127, 0, 0, 0, 0, 0, 0x01, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        const std::string payload(c.first, 'x');
        const std::vector<unsigned char> f = frame(1, payload, false);
        ASSERT_EQ(f.size(), c.second.size() + payload.size()) << c.first;
        EXPECT_TRUE(std::equal(c.second.begin(), c.second.end(), f.begin())) << c.first;
        EXPECT_EQ(std::string(f.begin() + c.second.size(), f.end()), payload);
    }
    // A frame that would not fit the output is refused, not cut.
    unsigned char small[8];
    Websocket_Respond r;
    EXPECT_EQ(r.mk_websocket_info(small, sizeof small, 1, 1, 0, nullptr,
                                  reinterpret_cast<const unsigned char*>("0123456789"), 10),
              -1);
}

TEST(Frames, DecodesMaskedUnmaskedAndExtendedLengths) {
    const struct {
        int opcode;
        std::string payload;
        bool masked;
    } cases[] = {
        {1, "hello", true},
        {1, "hello", false},
        {1, std::string(300, 'p'), true},
        {2, std::string(70000, 'b'), true},
        {8, "", true},
    };
    for (const auto& c : cases) {
        const std::vector<unsigned char> f = frame(c.opcode, c.payload, c.masked);
        Websocket_Request req;
        ASSERT_EQ(req.fetch_websocket_info(f.data(), f.size(), QEL_MAX_ENTRY),
                  static_cast<int>(f.size()));
        EXPECT_EQ(req.opcode, c.opcode);
        EXPECT_EQ(req.mask, c.masked ? 1 : 0);
        EXPECT_EQ(req.payload_length, c.payload.size());
        EXPECT_EQ(std::string(reinterpret_cast<char*>(req.payload), req.payload_length), c.payload);
        EXPECT_EQ(req.payload[req.payload_length], 0);
    }
}

TEST(Frames, IncompleteFramesWaitAndOversizedFramesAreRefused) {
    const std::vector<unsigned char> f = frame(1, std::string(300, 'q'), true);
    Websocket_Request req;
    for (size_t n = 0; n < f.size(); ++n)
        ASSERT_EQ(req.fetch_websocket_info(f.data(), n, QEL_MAX_ENTRY), 0) << n;

    const std::vector<std::vector<unsigned char>> tooLarge = {
        {0x81, 0xFF, 0, 0, 0, 0, 0, 0x01, 0x24, 0xF9},  // 75001 bytes
        {0x81, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0},        // 2^63
        {0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        {0x81, 0x7F, 0, 0, 0, 0, 0, 0x01, 0x24, 0xF8},  // 75000 payload + header
    };
    for (const auto& t : tooLarge)
        EXPECT_EQ(req.fetch_websocket_info(t.data(), t.size(), QEL_MAX_ENTRY), -1);
    // 126 code with 300 declared, in a buffer that could not hold it.
    EXPECT_EQ(req.fetch_websocket_info(f.data(), 4, 200), -1);
}

TEST(Frames, TwoFramesInOneBufferAreTakenOneAfterTheOther) {
    std::vector<unsigned char> both = frame(1, "config a", true);
    const size_t first = both.size();
    const std::vector<unsigned char> second = frame(1, "vw b", true);
    both.insert(both.end(), second.begin(), second.end());
    Websocket_Request req;
    ASSERT_EQ(req.fetch_websocket_info(both.data(), both.size(), QEL_MAX_ENTRY),
              static_cast<int>(first));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(req.payload)), "config a");
    ASSERT_EQ(req.fetch_websocket_info(both.data() + first, both.size() - first, QEL_MAX_ENTRY),
              static_cast<int>(second.size()));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(req.payload)), "vw b");
}

}  // namespace
