// The stage-two settings: names, parameters, serial settings, the system password, factory
// reset, master controller, user mode and a device's network settings: replies, echoes, what
// reaches the model, the files and the device command thread.
#include <climits>
#include <chrono>
#include <thread>

#include "DispatchFixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using Shape = std::vector<std::string>;

class DispatchSettings : public DispatchTest {
public:
    void SetUp() override {
        DispatchTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        seed({{"10.77.0.2", "RX1", "DEC7M03-00112233440C", "00:11:22:aa:bb:0c"}},
             {{"10.77.0.3", "TX1", "ENC7M03-00112233440D", "00:11:22:aa:bb:0d"}});
        model->pVScreen->ip[0] = "10.77.0.2";
        model->pVScreen->name[0] = "RX1";
    }

    // The wire texts the device command thread sent while f ran (it logs each one).
    template <typename F>
    std::string sentWhile(F f) {
        testing::internal::CaptureStderr();
        f();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return testing::internal::GetCapturedStderr();
    }

    static double msSince(Clock::time_point t0) {
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }
};

TEST_F(DispatchSettings, NameCommandsRenameTheModelAndQueueTheNameAsTyped) {
    std::vector<Reply> r;
    auto t0 = Clock::now();
    const std::string sent =
        sentWhile([&] { r = ask("config set decoder name 10.77.0.2 Lobby Left Screen 01"); });
    EXPECT_GE(msSince(t0), 10.0);
    EXPECT_EQ(jsonOf(r),
              std::vector<Json::Value>{oldAck("config set decoder name 10.77.0.2", true)});
    // The model takes the first 16 characters, blanks included; the decoder the whole name.
    EXPECT_EQ(model->pVScreen->name[0], "Lobby Left Scree");
    EXPECT_NE(sent.find("config qel set decoder name 10.77.0.2 Lobby Left Screen 01"),
              std::string::npos)
        << sent;

    t0 = Clock::now();
    r = ask("config set encoder name 10.77.0.3 Cam");
    EXPECT_GE(msSince(t0), 20.0);
    EXPECT_EQ(jsonOf(r),
              std::vector<Json::Value>{oldAck("config set encoder name 10.77.0.3", true)});

    // An address without a name renames to the empty name, which the model shows as its
    // default decoder name.
    EXPECT_EQ(jsonOf(ask("config set ipsource name 10.77.0.2")),
              std::vector<Json::Value>{oldAck("config set ipsource name 10.77.0.2", true)});
    EXPECT_EQ(model->pVScreen->name[0], "RX");
}

// '#' separates the fields of a device's answer: a name holding one is refused.
TEST_F(DispatchSettings, ANameWithAHashIsRefusedWithNothingSent) {
    std::vector<Reply> r;
    const std::string sent =
        sentWhile([&] { r = ask("config set decoder name 10.77.0.2 Hall #5 #9"); });
    EXPECT_EQ(jsonOf(r),
              std::vector<Json::Value>{oldAck("config set decoder name 10.77.0.2", false)});
    EXPECT_EQ(sent.find("config qel set decoder name"), std::string::npos) << sent;
    EXPECT_EQ(model->pVScreen->name[0], "RX1");
}

TEST_F(DispatchSettings, OverlongNameAndParameterCommandsFail) {
    const std::string longAddress = "config set decoder name " + std::string(128, '1') + " X";
    const std::string longName = "config set decoder name 10.77.0.2 " + std::string(230, 'n');
    const std::string longParams = "config set decoder params 10.77.0.2 " + std::string(230, '5');
    std::string sent = sentWhile([&] {
        EXPECT_EQ(shape(ask(longAddress)), Shape{"ack-"});
        std::string echo;
        EXPECT_EQ(shape(ask(longName), &echo), Shape{"ack-"});
        EXPECT_EQ(echo, longName.substr(0, 255));
        EXPECT_EQ(shape(ask(longParams), &echo), Shape{"ack-"});
        EXPECT_EQ(echo, longParams.substr(0, 255));
    });
    EXPECT_EQ(sent.find("config qel set decoder"), std::string::npos) << sent;
    EXPECT_EQ(model->pVScreen->name[0], "RX1");

    const std::string params = "config set decoder params 10.77.0.2 40 50 50 50 0 RX1";
    sent = sentWhile(
        [&] { EXPECT_EQ(jsonOf(ask(params)), std::vector<Json::Value>{oldAck(params, true)}); });
    EXPECT_NE(sent.find("config qel set decoder params 10.77.0.2 40 50 50 50 0 RX1"),
              std::string::npos)
        << sent;
}

TEST_F(DispatchSettings, AcknowledgedOnlyAndSilentCommands) {
    for (const char* c :
         {"config set system network params 1 2", "config get system network params"})
        EXPECT_EQ(jsonOf(ask(c)), std::vector<Json::Value>{oldAck(c, true)});
    ctrl->loggedIn = 1;
    Outcome o = run("config set source url 1 rtsp://x");
    EXPECT_EQ(o.stageTwo, 1);
    EXPECT_TRUE(o.replies.empty());
}

TEST_F(DispatchSettings, SerialSettingsAndThePasswordRules) {
    struct Row {
        std::string command;
        Shape replies;
    };
    const Row rows[] = {
        {"config set device serial params 10.77.0.2 9600 8 0 1 0 0 10.77.0.3", {"ack+"}},
        // A target equal to the device: refused, with the device's settings shown.
        {"config set device serial params 10.77.0.2 9600 8 0 1 1 0 10.77.0.2",
         {"serparams", "ack-"}},
        // No word stores the empty password; a check with one blank then gives the empty text.
        {"config set system pass", {"ack+"}},
        {"config check system pass ", {"ack+"}},
        {"config check system pass x", {"ack-"}},
        // Two words store the first; the check takes all the rest, blanks included.
        {"config set system pass ab cd", {"ack+"}},
        {"config check system pass ab cd", {"ack-"}},
        {"config check system pass ab ", {"ack-"}},
        {"config check system pass ab", {"ack+"}},
        // A word longer than the 256-byte field fails and changes nothing.
        {"config set system pass " + std::string(256, 'p'), {"ack-"}},
        {"config check system pass ab", {"ack+"}},
    };
    for (const Row& row : rows) {
        std::string echo;
        EXPECT_EQ(shape(ask(row.command), &echo), row.replies) << row.command;
        // The serial command echoes its first 255 characters, the password ones the whole.
        const bool serial = row.command.rfind("config set device serial", 0) == 0;
        EXPECT_EQ(echo, serial ? row.command.substr(0, 255) : row.command) << row.command;
    }
    EXPECT_EQ(value("/mnt/qeldevController.ini", "pass"), "ab");
}

TEST_F(DispatchSettings, MasterControllerAndUserMode) {
    const std::string set = "config set controller master 10.77.0.5 1 extra";
    EXPECT_EQ(jsonOf(ask(set)),
              std::vector<Json::Value>{oldAck("config set controller master 10.77.0.5", true)});
    EXPECT_EQ(value("/mnt/qeldevController.ini", "master_ip"), "10.77.0.5");
    EXPECT_EQ(shape(ask("config get controller master")), Shape{"ack+"});
    EXPECT_EQ(shape(ask("config set controller master 10.77.0.5 0")), Shape{"ack+"});
    EXPECT_EQ(shape(ask("config get controller master")), Shape{"ack-"});
    // A word longer than its 16-byte field is refused.
    EXPECT_EQ(shape(ask("config set controller master 10.77.0.5 1234567890123456")), Shape{"ack-"});
    EXPECT_EQ(value("/mnt/qeldevController.ini", "master_en"), "0");

    struct Row {
        std::string command;
        bool ok;
        int mode;  // the mode read back afterwards
    };
    const Row rows[] = {
        {"config set vs usermode 3", true, 3},
        {"config set vs usermode -2147483648", true, INT_MIN},
        {"config set vs usermode 2147483648", false, INT_MIN},
        {"config set vs usermode", true, 0},
        {"config set vs usermode 7", true, 7},
        {"config set vs usermode abc", true, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(jsonOf(ask(row.command)), std::vector<Json::Value>{oldAck(row.command, row.ok)});
        std::vector<Reply> r = ask("config get vs usermode");
        EXPECT_EQ(shape(r), (Shape{"usermode", "ack+"}));
        EXPECT_EQ(r[0].json["usermode"]["mode"].asInt(), row.mode) << row.command;
    }
}

TEST_F(DispatchSettings, FactoryDefaultAnswersThenEmptiesTheTables) {
    run("config set system pass x", 0);
    std::vector<Reply> r = ask("config set device factory default");
    EXPECT_EQ(jsonOf(r),
              std::vector<Json::Value>{oldAck("config set device factory default", true)});
    for (const char* f : {"/mnt/qeldevDecoder.ini", "/mnt/qeldevEncoder.ini",
                          "/mnt/qeldevController.ini", "/mnt/qeldevIPSource.ini"})
        EXPECT_TRUE(readFile(f).empty()) << f;
    EXPECT_TRUE(readFile("/mnt/qelconfVscreen.ini").empty());
}

TEST_F(DispatchSettings, NetworkSettingsReaddressTheModelThenWaitForTheDevice) {
    const std::string command =
        "config set net params 00:11:22:aa:bb:0c 10.77.0.20 255.255.255.0 10.77.0.254";
    auto t0 = Clock::now();
    // No device answers here: failure, after the pause, and the new address stays.
    EXPECT_EQ(jsonOf(ask(command)), std::vector<Json::Value>{oldAck(command, false)});
    EXPECT_GE(msSince(t0), 800.0);
    EXPECT_EQ(model->pVScreen->ip[0], "10.77.0.20");

    // Words too long for their 128-byte fields fail before anything changes.
    const std::string longMac = "config set net params " + std::string(128, 'a') + " 10.77.0.30";
    EXPECT_EQ(shape(ask(longMac)), Shape{"ack-"});
    EXPECT_EQ(model->pVScreen->ip[0], "10.77.0.20");

    // The keyword is looked for in the command's first 255 characters only; further on, the
    // command is a device command like any other.
    const std::string late =
        std::string(250, 'z') + " config set net params 00:11:22:aa:bb:0c 10.77.0.40";
    EXPECT_EQ(shape(ask(late)), Shape{"ack-"});
    EXPECT_EQ(model->pVScreen->ip[0], "10.77.0.20");
}

}  // namespace
