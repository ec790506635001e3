// The network and serial settings verbs: what reaches the shell door, the network scripts, the
// restart after an address change, and the stored serial settings with their reopen mark.
#include <string>
#include <vector>

#include "VerbFixture.h"
#include "control/qelSerial.h"

namespace {

using ctltest::Texts;

class NetVerbs : public ctltest::VerbFixture {
protected:
    void SetUp() override {
        VerbFixture::SetUp();
        setOwnAddress("10.77.0.2", "02:00:00:00:00:02");
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        copyText(reinterpret_cast<char*>(MASK_info[0]), 128, "255.255.255.0");
        copyText(reinterpret_cast<char*>(MAC_info[1]), 128, "empty");
        copyText(MyNetParam.IP, 50, "10.77.0.2");
        copyText(MyNetParam.Mac, 50, "02:00:00:00:00:02");
        copyText(MyNetParam.Netmask, 50, "255.255.255.0");
        copyText(MyNetParam.Gateway, 50, "10.77.0.254");
        iSerial_changed = 0;
    }
    std::vector<std::string> logLines() {
        std::vector<std::string> out;
        std::string t = read("/var/log/commands.log");
        if (t == "<missing>") return out;
        size_t p = 0;
        // Only the commands that would change the box: the file commands the door really
        // ran are logged with "# ran:" and are not what these verbs are about.
        for (size_t q; (q = t.find('\n', p)) != std::string::npos; p = q + 1) {
            std::string line = t.substr(p, q - p);
            if (line.find("    # ran: ") == std::string::npos) out.push_back(line);
        }
        return out;
    }
    std::string ip0() {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        return reinterpret_cast<char*>(IP_info[0]);
    }
};

// Records how many restarts had happened when each reply left.
class RebootWatchingSink : public ReplySink {
public:
    void reply(const char*, size_t, ReplyFrom) override {
        rebootsAtReply.push_back(ctltest::reboots());
    }
    using ReplySink::reply;
    std::vector<int> rebootsAtReply;
};

const std::string kNetOk = "config qel ack set net params #SUCCEED ";

}  // namespace

TEST_F(NetVerbs, SameAddressAppliesNetmaskAndGatewayWithoutRestart) {
    EXPECT_EQ(texts("config qel set net params 02:00:00:00:00:02 10.77.0.2 255.255.0.0 10.77.0.1"),
              Texts{kNetOk});
    EXPECT_EQ(logLines(), (std::vector<std::string>{"ifconfig eth0 10.77.0.2 netmask 255.255.0.0",
                                                    "route add default gw 10.77.0.1"}));
    EXPECT_EQ(read("/mnt/ifconfig.sh"), "\nifconfig eth0 10.77.0.2 netmask 255.255.0.0\n\n\n");
    EXPECT_EQ(read("/mnt/gateway.sh"), "route add default gw 10.77.0.1\n\n");
    EXPECT_EQ(read("/mnt/NetmaskConfig"), "ifconfig eth0 netmask 255.255.0.0");
    EXPECT_EQ(read("/mnt/GatewayConfig"), "route add default gw 10.77.0.1");
    EXPECT_FALSE(exists("/mnt/IPConfig"));  // the address did not change
    EXPECT_EQ(ctltest::reboots(), 0);
    EXPECT_EQ(flg_eth0, static_cast<signed char>(255));
    EXPECT_EQ(iDisplayCurInfoIP, 1);
    iDisplayCurInfoIP = 0;
}

TEST_F(NetVerbs, NewAddressRepliesThenRestarts) {
    char buf[QEL_DATAGRAM_MAX + 1];
    copyText(buf, sizeof buf, "config qel set net params 02:00:00:00:00:02 10.77.0.12  ");
    // (a text ending in a blank is no command)
    RebootWatchingSink none;
    handleCommand(buf, none);
    EXPECT_TRUE(none.rebootsAtReply.empty());

    copyText(buf, sizeof buf, "config qel set net params 02:00:00:00:00:02 10.77.0.12  No_Gateway");
    RebootWatchingSink sink;
    handleCommand(buf, sink);
    EXPECT_EQ(sink.rebootsAtReply, std::vector<int>{0});
    EXPECT_EQ(ctltest::reboots(), 1);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"ifconfig eth0 10.77.0.12", "reboot"}));
    EXPECT_EQ(read("/mnt/IPConfig"), "ifconfig eth0 10.77.0.12");
    EXPECT_EQ(ip0(), "10.77.0.12");
    // Without a netmask or gateway the stored ones stay.
    EXPECT_FALSE(exists("/mnt/NetmaskConfig"));
    EXPECT_FALSE(exists("/mnt/GatewayConfig"));
    EXPECT_FALSE(exists("/mnt/gateway.sh"));
    EXPECT_STREQ(MyNetParam.Netmask, "255.255.255.0");
}

TEST_F(NetVerbs, BadFieldsRunNothing) {
    for (const char* fields : {
             "02:00:00:00:00:02 .255 255.255.0.0 10.77.0.1",
             "02:00:00:00:00:02 10.77.0.255 255.255.0.0 10.77.0.1",
             "02:00:00:00:00:02 10.77.0.2 255.255.0.0;reboot 10.77.0.1",
             "02:00:00:00:00:02 10.77.0.2 255.255.0 10.77.0.1",
             "02:00:00:00:00:02 10.77.0.2 255.255.0.0 10.77.0.1`x`",
             "02:00:00:00:00:02 10.77.0.2 255.255.0.0 10.77.0.256",
             "02:00:00:00:00:03 10.77.0.2 255.255.0.0 10.77.0.1",  // nobody's MAC
             "02:00:00:00:00:02 10.77.0.2 255.255.0.0 10.77.0.1 "
             "extra",                                  // the gateway field
             "empty 10.77.0.3 255.255.0.0 10.77.0.1",  // eth1's unknown MAC
             // Addresses nobody could reach the box at afterwards.
             "02:00:00:00:00:02 0.0.0.0 255.255.255.0 10.77.0.1",
             "02:00:00:00:00:02 10.77.1.0 255.255.0.0 10.77.0.1",
             "02:00:00:00:00:02 10.77.0.2 255.255.255.255 10.77.0.1",
             "02:00:00:00:00:02 10.77.0.2 255.255.255.254 10.77.0.1",
             "02:00:00:00:00:02 10.77.0.128 255.255.255.128 10.77.0.1",  // the network itself
             "02:00:00:00:00:02 10.77.0.127 255.255.255.128 10.77.0.1",  // its broadcast
             "02:00:00:00:00:02 10.77.0.2 255.0.255.0 10.77.0.1",        // no run of ones
             "02:00:00:00:00:02 10.77..2 255.255.255.0 10.77.0.1",
         }) {
        EXPECT_TRUE(texts(std::string("config qel set net params ") + fields).empty()) << fields;
    }
    // A name the discovery answer cannot carry refuses the address change with it.
    EXPECT_TRUE(texts("config qel set netandname params 02:00:00:00:00:02 10.77.0.12 "
                      "255.255.255.0 10.77.0.1 Lobby #2")
                    .empty());
    EXPECT_TRUE(logLines().empty());
    EXPECT_FALSE(exists("/mnt/ifconfig.sh"));
    EXPECT_FALSE(exists("/mnt/decodername.ini"));
    EXPECT_EQ(ctltest::reboots(), 0);
    EXPECT_EQ(ip0(), "10.77.0.2");
    // Without a netmask in the command the stored one decides.
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        copyText(reinterpret_cast<char*>(MASK_info[0]), 128, "255.255.255.128");
    }
    EXPECT_TRUE(
        texts("config qel set net params 02:00:00:00:00:02 10.77.0.128  No_Gateway").empty());
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(texts("config qel set net params 02:00:00:00:00:02 10.77.0.129  No_Gateway"),
              Texts{kNetOk});
    EXPECT_EQ(ip0(), "10.77.0.129");
}

TEST_F(NetVerbs, NetAndNameAndTheSecondInterface) {
    EXPECT_EQ(texts("config qel set netandname params 02:00:00:00:00:02 10.77.0.2 255.255.255.0 "
                    "10.77.0.254 Lobby left"),
              Texts{"config qel ack set netandname params #SUCCEED "});
    EXPECT_EQ(read("/mnt/decodername.ini"), "Lobby left\n");

    // eth1 is changed on its own: its entries, not eth0's start-up files.
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        copyText(reinterpret_cast<char*>(MAC_info[1]), 128, "02:00:00:00:01:02");
        copyText(reinterpret_cast<char*>(IP_info[1]), 128, "192.0.2.2");
    }
    remove(box::path("/var/log/commands.log").c_str());
    EXPECT_EQ(texts("config qel set net params 02:00:00:00:01:02 192.0.2.2 255.255.255.0 "),
              Texts{});  // ends in a blank
    EXPECT_EQ(
        texts("config qel set net params 02:00:00:00:01:02 192.0.2.2 255.255.255.0 No_Gateway"),
        Texts{kNetOk});
    EXPECT_EQ(logLines(),
              std::vector<std::string>{"ifconfig eth1 192.0.2.2 netmask 255.255.255.0"});
    EXPECT_EQ(flg_eth1, static_cast<signed char>(255));
    EXPECT_EQ(ip0(), "10.77.0.2");
    EXPECT_FALSE(exists("/mnt/IPConfig"));
    EXPECT_EQ(ctltest::reboots(), 0);
}

TEST_F(NetVerbs, SerialSettingsAreStoredAndMarkedForReopening) {
    const std::string byNetOk = "config qel ack set serialbynet #SUCCEED ";
    const std::string paramsOk = "config qel ack set serial params #SUCCEED ";
    // The destination rule: an address, or the broadcast address written out.
    EXPECT_EQ(texts("config qel set serialbynet 10.77.0.2 1 0 10.77.0.9"), Texts{byNetOk});
    EXPECT_EQ(read("/mnt/serialconfig.ini"), "115200\n8\n0\n1\n10.77.0.9\n1\n");
    EXPECT_EQ(iSerial_changed, 2);
    iSerial_changed = 0;
    EXPECT_EQ(texts("config qel set serialbynet 10.77.0.2 1 0 10.77.0.255"), Texts{byNetOk});
    EXPECT_EQ(iSerial_changed, 0);  // not an address: nothing changed, still a reply
    EXPECT_EQ(texts("config qel set serialbynet 10.77.0.2 1 0 255.255.255.255"), Texts{byNetOk});
    EXPECT_EQ(read("/mnt/serialconfig.ini"), "115200\n8\n0\n1\n255.255.255.255\n1\n");
    iSerial_changed = 0;

    // Values are stored as given; a field without a number keeps its setting.
    EXPECT_EQ(texts("config qel set serial params 10.77.0.2 1234 9 7 3 2 0 10.77.0.1"),
              Texts{paramsOk});
    EXPECT_EQ(read("/mnt/serialconfig.ini"), "1234\n9\n7\n3\n10.77.0.1\n2\n");
    EXPECT_EQ(iSerial_changed, 2);
    iSerial_changed = 0;
    EXPECT_EQ(texts("config qel set serial params 10.77.0.2 x 8 y z 1 0 bad"), Texts{paramsOk});
    EXPECT_EQ(read("/mnt/serialconfig.ini"), "1234\n8\n7\n3\n10.77.0.1\n1\n");
    iSerial_changed = 0;
    // Nothing changed: no save, no reopen.
    remove(box::path("/mnt/serialconfig.ini").c_str());
    EXPECT_EQ(texts("config qel set serial params 10.77.0.2 1234 8 7 3 1 0 10.77.0.1"),
              Texts{paramsOk});
    EXPECT_EQ(iSerial_changed, 0);
    EXPECT_FALSE(exists("/mnt/serialconfig.ini"));

    // Without an open port a send writes nothing, and still replies.
    EXPECT_EQ(texts("config qel set serial send 10.77.0.2 hex 1 41 42"),
              Texts{"config qel ack set serial send #SUCCEED "});
    EXPECT_EQ(texts("config qel set serial send 10.77.0.2 other 1 41 42"),
              Texts{"config qel ack set serial send #SUCCEED "});
}
