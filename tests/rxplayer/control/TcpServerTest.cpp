// The TCP command server on the test's private loopback: the MAC commands, one client at a
// time, a new client after a close, one receive taken as one text, and the commands it leaves
// to UDP.
#include <memory>
#include <string>
#include <thread>

#include "NetTestSupport.h"
#include "VerbFixture.h"

using namespace std::chrono_literals;

namespace {

using ctltest::readFor;

class Client {
public:
    Client() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = ctltest::loopbackAddress("127.0.0.1", QEL_CMD_PORT);
        connected_ = ctltest::waitFor(
            [&] { return connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0; }, 3s);
    }
    ~Client() { closeNow(); }
    bool ok() const { return connected_; }
    void send(const std::string& t) { ::send(fd_, t.data(), t.size(), MSG_NOSIGNAL); }
    // The reply to a command ("" when none came).
    std::string ask(const std::string& t, std::chrono::milliseconds wait = 2s) {
        send(t);
        return receive(wait);
    }
    std::string receive(std::chrono::milliseconds wait) { return readFor(fd_, wait, 1); }
    void closeNow() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

class TcpServer : public ctltest::LoopbackFixture {
protected:
    void SetUp() override {
        LoopbackFixture::SetUp();
        loop = 1;
        server = std::thread([] { tcp_thread(nullptr); });
    }
    void TearDown() override {
        loop = 0;
        if (server.joinable()) server.join();
        LoopbackFixture::TearDown();
    }
    std::thread server;
};

}  // namespace

TEST_F(TcpServer, MacCommands) {
    Client c;
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.ask("config get mac"), " 02:00:00:00:00:02 ");
    EXPECT_EQ(c.ask("config set mac 02:00:00:00:00"), " #FAILED ");
    EXPECT_EQ(c.ask("config set mac 02:00:00:00:00:02"), " #SUCCEED ");
    EXPECT_EQ(read("/var/log/commands.log"), "<missing>");  // the current MAC: nothing changes

    EXPECT_EQ(c.ask("config set mac 02:00:00:00:00:09\n"), " #FAILED ");  // a line end spoils it
    EXPECT_EQ(c.ask("config set mac 02:00:00:00:00:09"), " #SUCCEED ");
    ASSERT_TRUE(ctltest::waitFor(
        [&] {
            return exists("/var/log/commands.log") &&
                   read("/var/log/commands.log").find("up\n") != std::string::npos;
        },
        3s));
    EXPECT_EQ(read("/var/log/commands.log"),
              "ifconfig eth0 down\nifconfig eth0 hw ether 02:00:00:00:00:09\nifconfig eth0 up\n");
    EXPECT_EQ(read("/mnt/MacConfig"), "ifconfig eth0 hw ether 02:00:00:00:00:09");
    EXPECT_EQ(flg_eth0, static_cast<signed char>(255));
}

TEST_F(TcpServer, OneClientAtATimeAndOneTextPerReceive) {
    auto first = std::make_unique<Client>();
    ASSERT_TRUE(first->ok());
    EXPECT_EQ(first->ask("config qel set connect 10.77.0.2"),
              "config qel ack set connect #SUCCEED ");
    // Two commands in one receive are one text: only the first is seen.
    EXPECT_EQ(first->ask("config get macconfig qel set connect 10.77.0.2"), " 02:00:00:00:00:02 ");
    EXPECT_EQ(first->receive(300ms), "");

    // A second client waits in the backlog until the first has gone.
    Client second;
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second.ask("config get mac", 300ms), "");
    first.reset();
    EXPECT_EQ(second.receive(2s), " 02:00:00:00:00:02 ");
    EXPECT_EQ(second.ask("config qel set connect 10.77.0.2"),
              "config qel ack set connect #SUCCEED ");
}

TEST_F(TcpServer, ServesItsSubsetOnly) {
    Client c;
    ASSERT_TRUE(c.ok());
    // Discovery, serial settings and the older verbs are UDP only.
    for (const char* t :
         {"config qel get decoders", "config qel set serialbynet 10.77.0.2 1 0 1.2.3.4",
          "SetLayerPara 10.77.0.2 1 1", "connect"}) {
        EXPECT_EQ(c.ask(t, 200ms), "") << t;
    }
    // The URL in its simple form: the slot alone, taken whole.
    {
        std::lock_guard<std::mutex> g(gWinLock);
        for (int i = 0; i < QEL_SLOTS; ++i) copyText(param[i], QEL_URL_SIZE, "unused_window");
        memset(update_info, 0, sizeof update_info);
    }
    EXPECT_EQ(c.ask("config qel set url params 10.77.0.2 16 rtsp://192.0.2.7/a,b"),
              "config qel ack set url params #SUCCEED ");
    std::lock_guard<std::mutex> g(gWinLock);
    EXPECT_STREQ(param[17], "rtsp://192.0.2.7/a,b");
    EXPECT_STREQ(param[10], "unused_window");
    EXPECT_EQ(update_info[17][0], 1);
    EXPECT_EQ(open_result[17], -1);
}
