// The serial bridge on a pseudo-terminal linked at the box's /dev/ttyAMA1, with its peer on the
// test's private loopback: port settings, both directions with the source check, the sends of
// the serial verb and the MAC console.
#include <termios.h>

#include <string>
#include <thread>

#include "NetTestSupport.h"
#include "VerbFixture.h"
#include "control/qelSerial.h"

using namespace std::chrono_literals;

namespace {

using ctltest::readFor;
using ctltest::Texts;
using ctltest::waitFor;

class SerialBridge : public ctltest::LoopbackFixture {
protected:
    void SetUp() override {
        LoopbackFixture::SetUp();
        int slave = -1;
        char name[128];
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        slavePath = name;
        close(slave);
        ASSERT_TRUE(box::makeDirs("/dev"));
        ASSERT_EQ(symlink(slavePath.c_str(), box::path("/dev/ttyAMA1").c_str()), 0);
        // The peer is 127.0.0.2: its port 8666 is not the bridge's own.
        {
            std::lock_guard<std::mutex> g(gTextLock);
            copyText(reinterpret_cast<char*>(Serial_DestIP), sizeof Serial_DestIP, "127.0.0.2");
        }
        Serial_Enable = 1;
        iSerial_changed = 0;
        peer = ctltest::boundUdp("127.0.0.2", QEL_SERIAL_UDP_PORT);
        ASSERT_GE(peer, 0);
    }
    void TearDown() override {
        stopBridge();
        if (peer >= 0) close(peer);
        if (master >= 0) close(master);
        LoopbackFixture::TearDown();
    }
    void startBridge() {
        loop = 1;
        threads.emplace_back([] { read_serial_send_udp_thread(nullptr); });
        threads.emplace_back([] { read_udp_write_serial_thread(nullptr); });
        threads.emplace_back([] { get_serial_send_tcp_thread(nullptr); });
        ASSERT_TRUE(waitFor([] { return serialPortFd() >= 0; }, 3s));
        // The receiving side is bound once a datagram from the peer gets through.
        sockaddr_in to = ctltest::loopbackAddress("127.0.0.1", QEL_SERIAL_UDP_PORT);
        ASSERT_TRUE(waitFor(
            [&] {
                sendto(peer, "p", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
                return readFor(master, 100ms, 1) == "p";
            },
            3s));
    }
    void stopBridge() {
        loop = 0;
        for (auto& t : threads) t.join();
        threads.clear();
    }
    termios portSettings() {
        termios t;
        memset(&t, 0, sizeof t);
        int fd = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        if (fd >= 0) {
            tcgetattr(fd, &t);
            close(fd);
        }
        return t;
    }
    void sendFrom(const char* ip, const std::string& bytes) {
        int fd = ctltest::boundUdp(ip, 0);
        sockaddr_in to = ctltest::loopbackAddress("127.0.0.1", QEL_SERIAL_UDP_PORT);
        sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        close(fd);
    }
    void typeOnPort(const std::string& bytes) {
        ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    int master = -1;
    int peer = -1;
    std::string slavePath;
    std::vector<std::thread> threads;
};

}  // namespace

TEST_F(SerialBridge, SettingsCommandReopensThePortWithNewSettings) {
    Serial_BaudRate = 115200;
    Serial_DataBits = 8;
    Serial_Parity = 0;
    Serial_StopBits = 1;
    startBridge();
    termios t = portSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));

    // A pseudo-terminal keeps speed, stop bits and the parity checks, though not the
    // character size and the parity bit (those are checked on the configuration below).
    const struct {
        const char* values;
        speed_t speed;
        bool odd, check, twoStops;
    } cases[] = {
        {"9600 7 1 2", B9600, true, true, true},
        {"2400 8 2 1", B2400, false, true, false},
        {"12345 6 9 3", B9600, false, true, false},  // unknown parity keeps the letter "E"
        {"57600 8 0 1", B57600, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.values);
        EXPECT_EQ(texts(std::string("config qel set serial params 10.77.0.2 ") + c.values +
                        " 1 0 127.0.0.2"),
                  Texts{"config qel ack set serial params #SUCCEED "});
        // Reopened within half a second (a generous bound here).
        EXPECT_TRUE(waitFor([&] { return cfgetospeed(&(t = portSettings())) == c.speed; }, 3s));
        EXPECT_TRUE(waitFor([] { return serialPortFd() >= 0; }, 3s));
        t = portSettings();
        EXPECT_EQ(bool(t.c_cflag & PARODD), c.odd);
        EXPECT_EQ(bool(t.c_cflag & CSTOPB), c.twoStops);
        EXPECT_EQ(bool(t.c_iflag & INPCK), c.check);
        EXPECT_EQ(bool(t.c_iflag & ISTRIP), c.check);
    }
}

TEST(SerialConfiguration, SizeParityAndSpeed) {
    const struct {
        int speed, bits;
        char parity;
        int stop;
        speed_t wantSpeed;
        tcflag_t size;
        bool parityOn, odd, twoStops;
    } cases[] = {
        {115200, 8, 'N', 1, B115200, CS8, false, false, false},
        {4800, 7, 'O', 2, B4800, CS7, true, true, true},
        {19200, 8, 'E', 1, B19200, CS8, true, false, false},
        {300, 6, 'N', 3, B9600, CS5, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        termios t;
        buildSerialTermios(&t, c.speed, c.bits, c.parity, c.stop);
        EXPECT_EQ(cfgetispeed(&t), c.wantSpeed);
        EXPECT_EQ(cfgetospeed(&t), c.wantSpeed);
        EXPECT_EQ(t.c_cflag & CSIZE, c.size);
        EXPECT_EQ(bool(t.c_cflag & PARENB), c.parityOn);
        EXPECT_EQ(bool(t.c_cflag & PARODD), c.odd);
        EXPECT_EQ(bool(t.c_cflag & CSTOPB), c.twoStops);
        EXPECT_TRUE((t.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD));
        EXPECT_EQ(t.c_lflag, 0u);
        EXPECT_EQ(t.c_oflag, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
    }
}

TEST_F(SerialBridge, PortAndPeerBothWays) {
    startBridge();
    typeOnPort("ABC");
    char buf[300];
    pollfd p{peer, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 3000), 1);
    sockaddr_in from;
    socklen_t alen = sizeof from;
    ssize_t n = recvfrom(peer, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &alen);
    EXPECT_EQ(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0), "ABC");

    sendFrom("127.0.0.2", "to the display");
    EXPECT_EQ(readFor(master, 2s, 14), "to the display");
    sendFrom("127.0.0.3", "stranger");
    EXPECT_EQ(readFor(master, 300ms), "");

    // Bridge off: nothing either way.
    Serial_Enable = 0;
    sendFrom("127.0.0.2", "off");
    typeOnPort("XYZ");
    EXPECT_EQ(readFor(master, 300ms), "");
    EXPECT_EQ(readFor(peer, 300ms), "");
}

TEST_F(SerialBridge, DatagramsReachThePortWholeOrNotAtAll) {
    startBridge();
    for (size_t size : {1000, 1024}) {
        SCOPED_TRACE(size);
        std::string bytes;
        for (size_t i = 0; i < size; ++i) bytes += static_cast<char>('a' + i % 26);
        sendFrom("127.0.0.2", bytes);
        EXPECT_EQ(readFor(master, 3s, size), bytes);
    }
    // Longer than the bridge takes: dropped whole, never cut; an empty one writes nothing.
    sendFrom("127.0.0.2", std::string(1025, 'x'));
    sendFrom("127.0.0.2", "");
    sendFrom("127.0.0.2", "next");
    EXPECT_EQ(readFor(master, 2s, 4), "next");
}

TEST_F(SerialBridge, SerialSendWritesTextAndBytes) {
    startBridge();
    const struct {
        const char* command;
        std::string bytes;
    } cases[] = {
        {"hex 1 41 42", "\x41\x42\x0A\x0D"},
        {"hex 0 41 42", "\x41\x42"},
        {"hex 0 41 zz 42", ""},  // a token without a hex digit: nothing written
        {"str 1 hello there", "hello there\n\r"},
        {"str 0 plain", "plain"},
        {"raw 1 41", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(texts(std::string("config qel set serial send 10.77.0.2 ") + c.command),
                  Texts{"config qel ack set serial send #SUCCEED "});
        EXPECT_EQ(readFor(master, c.bytes.empty() ? 200ms : 2s, c.bytes.size()), c.bytes);
    }
    // 64 bytes at most, and room for the line end after them.
    std::string tokens, bytes;
    for (int i = 0; i < 70; ++i) tokens += " 5a";
    bytes = std::string(64, 'Z') + "\n\r";
    texts("config qel set serial send 10.77.0.2 hex 1" + tokens);
    EXPECT_EQ(readFor(master, 2s, bytes.size()), bytes);
}

TEST_F(SerialBridge, ConsoleAnswersTheMacCommands) {
    startBridge();
    typeOnPort("config get mac");
    EXPECT_EQ(readFor(master, 2s, 19), " 02:00:00:00:00:02 ");
    // Twelve digits once the blanks are gone: not a MAC.
    typeOnPort("config set mac 02 00 00 00 00 09");
    EXPECT_EQ(readFor(master, 2s, 9), " #FAILED ");
    typeOnPort("config set mac");
    EXPECT_EQ(readFor(master, 2s, 9), " #FAILED ");
    // An over-long line is cut, not overrun; the console goes on answering.
    typeOnPort(std::string(600, 'x'));
    EXPECT_EQ(readFor(master, 500ms), "");
    typeOnPort("config set mac 02:00:00:00:00:02");
    EXPECT_EQ(readFor(master, 2s, 10), " #SUCCEED ");
    EXPECT_EQ(read("/var/log/commands.log"), "<missing>");  // the same MAC: nothing changes
}
