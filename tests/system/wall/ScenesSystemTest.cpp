// The real controller on the test network building scenes: operator commands on the text port
// one at a time, the exact datagrams that reach the fake decoders RXA (10.77.0.2) and RXB
// (10.77.0.3), the parsed replies, and the scene files beside them. Encoder TXA (10.77.0.9)
// is only known from the device file.
#include <dirent.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/Acks.h"
#include "support/Clients.h"
#include "support/Collector.h"
#include "support/DeviceFiles.h"
#include "support/JsonTexts.h"
#include "support/Process.h"
#include "support/SceneKeys.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

using qeltest::newAck;
using Texts = std::vector<std::string>;

const char kRxa[] = "10.77.0.2";
const char kRxb[] = "10.77.0.3";
const char kRxc[] = "10.77.0.4";
const char kMulHide[] = "config qel set mul hide params 255.255.255.255 3 ";

Json::Value parsed(const std::optional<std::string>& text) {
    Json::Value v;
    if (!text) return v;
    Json::Reader reader;
    EXPECT_TRUE(reader.parse(*text, v, false)) << reader.getFormattedErrorMessages() << *text;
    return v;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The "config" list of a key file as (key, value) pairs in file order.
std::vector<std::pair<std::string, Json::Value>> fileKeys(const std::string& path) {
    std::vector<std::pair<std::string, Json::Value>> keys;
    Json::Value doc;
    Json::Reader reader;
    if (!reader.parse(readFile(path), doc) || !doc.isObject()) return keys;
    for (const Json::Value& e : doc["config"])
        for (const std::string& k : e.getMemberNames()) keys.emplace_back(k, e[k]);
    return keys;
}

Json::Value fileKey(const std::string& path, const std::string& key) {
    Json::Value found;
    for (const auto& kv : fileKeys(path))
        if (kv.first == key) found = kv.second;
    return found;
}

std::string numbered(const char* format, int a, int b = 0, int c = 0) {
    char t[96];
    snprintf(t, sizeof t, format, a, b, c);
    return t;
}

// One decoder of the fixture: its box name, address, name and split count.
struct Rx {
    std::string box, ip, name;
    int split;
};

class ScenesSystem : public qeltest::TestNetFixture {
protected:
    std::vector<Rx> rxs = {{"rxa", kRxa, "RXA", 1}, {"rxb", kRxb, "RXB", 1}};

    void SetUpBoxes() override {
        std::vector<qeltest::Box*> boxes;
        std::vector<qeltest::SeedDevice> seeds;
        int n = 2;
        for (const Rx& r : rxs) {
            boxes.push_back(&net->addBox(r.box, n));
            ASSERT_TRUE(boxes.back()->ok());
            seeds.push_back({r.ip,
                             r.name,
                             "host-" + r.name,
                             numbered("00:11:22:33:44:%02d", n),
                             "Version 1.0",
                             {{"splitnum", r.split}}});
            ++n;
        }
        qeltest::Box& op = net->addBox("op", 20);
        ASSERT_TRUE(ctrl->ok() && op.ok());
        wire = std::make_unique<qeltest::Collector>(boxes, 8888);

        ASSERT_EQ(mkdir(ctrl->path("/mnt").c_str(), 0755), 0);
        ASSERT_TRUE(
            qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevDecoder.ini"), "decoder", seeds));
        ASSERT_TRUE(qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevEncoder.ini"), "encoder",
                                             {{"10.77.0.9",
                                               "TXA",
                                               "host-TXA",
                                               "00:11:22:33:44:09",
                                               "Version 1.0",
                                               {{"url0", "rtsp://10.77.0.9/stream0"}}}}));
        // A controller over its file-size limit must see a failed write, not die of the signal
        // (an ignored signal stays ignored across exec).
        sighandler_t old = signal(SIGXFSZ, SIG_IGN);
        server = ctrl->start(qeltest::programPath("ctrlserver"));
        signal(SIGXFSZ, old);
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();
        ASSERT_TRUE(op.run([&] { return text.connect(ctrl->ip(), 8886, 3s); })) << text.error();
    }

    Json::Value ask(const std::string& command) {
        EXPECT_TRUE(text.send(command));
        return parsed(replies.next(3s));
    }
    // Sends a command expected to answer the plain acknowledgement.
    void expectAck(const std::string& command, bool ok) {
        EXPECT_EQ(ask(command), newAck(command, ok)) << command;
    }

    // Waits for count datagrams, then briefly for any extra one, and takes them off.
    std::vector<qeltest::Seen> datagrams(size_t count) {
        if (count) {
            EXPECT_TRUE(wire->waitForCount(count, 5s)) << server->output();
        }
        std::this_thread::sleep_for(300ms);
        std::vector<qeltest::Seen> seen = wire->seen();
        wire->clear();
        return seen;
    }
    // Exactly these texts per decoder box (each in its own order), after all of them came.
    void expectWire(const std::map<std::string, Texts>& want) {
        size_t count = 0;
        for (const auto& w : want) count += w.second.size();
        const std::vector<qeltest::Seen> seen = datagrams(count);
        for (const Rx& r : rxs) {
            Texts got;
            for (const qeltest::Seen& s : seen)
                if (s.box.find(r.box) != std::string::npos) got.push_back(s.text);
            const auto it = want.find(r.box);
            EXPECT_EQ(got, it == want.end() ? Texts() : it->second) << r.name;
        }
    }

    // Every file of the scene folder: its bytes and its modification time.
    std::map<std::string, std::pair<std::string, long long>> sceneFiles() {
        std::map<std::string, std::pair<std::string, long long>> out;
        const std::string dir = ctrl->path("/mnt/sence");
        DIR* d = opendir(dir.c_str());
        if (!d) return out;
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            struct stat st;
            const std::string path = dir + "/" + name;
            if (stat(path.c_str(), &st) != 0) continue;
            out[name] = {readFile(path), 1000000000LL * st.st_mtim.tv_sec + st.st_mtim.tv_nsec};
        }
        closedir(d);
        return out;
    }
    std::string keyFile(int s, int p) const {
        return ctrl->path(numbered("/mnt/sence/qelconfVSence_%02d_%02d.ini", s, p));
    }
    std::string winFile(int s, int p, int w) const {
        return ctrl->path(numbered("/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", s, p, w));
    }
    static bool exists(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0;
    }

    // Scene 0 "Lobby" with RXA in cell 0 and RXB in cell 1, the decoders' texts taken.
    void lobby() {
        const Json::Value created = ask("config set sence params Lobby lobby.jpg");
        EXPECT_EQ(created["senceidinfo"][0]["senceid"], 0) << created;
        for (int c = 0; c < 2; ++c)
            expectAck(numbered("config set sence vs src params 0 0 %d ", c) + rxs[c].ip, true);
        datagrams(18);
    }

    // The wire texts of a decoder that takes a cell of split 1.
    static Texts placed(const std::string& ip, int x0, int x1) {
        Texts t = {"config qel set split params " + ip + " 1 0 \n",
                   "config qel set rx display ip " + ip + " \n",
                   "config qel set cutedge params " + ip + " 2 2 \n",
                   "config qel set video params " + ip + " 0 " + std::to_string(x0) + " " +
                       std::to_string(x1) + " 0 1079 0 100 0 100 0 1 \n"};
        for (int k = 0; k < 5; ++k)
            t.push_back("config qel set url params " + ip + " " + std::to_string(k) +
                        " unused_window");
        return t;
    }

    std::unique_ptr<qeltest::Collector> wire;
    std::unique_ptr<qeltest::Process> server;
    qeltest::TcpClient text;
    qeltest::JsonTexts replies{text};
};

TEST_F(ScenesSystem, ASceneIsCreatedFilledAndGivenAWindowWithItsSource) {
    // 1. A new scene: the three key files exactly, the grid's window blocks, no datagram.
    const std::string create = "config set sence params Lobby lobby.jpg";
    Json::Value want;
    want["senceidinfo"][0]["senceid"] = 0;
    want["ack"] = newAck(create, true)["ack"];
    EXPECT_EQ(ask(create), want);
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        const auto keys = qeltest::rebuiltSceneKeys("Lobby", 0, 1, "lobby.jpg", 0, 2, 2, 4);
        EXPECT_EQ(fileKeys(keyFile(0, p)), keys);
        EXPECT_EQ(qeltest::hexWords(readFile(winFile(0, p, 5)), 36),
                  "05000000 05000000 01000000 00000000 01000000 80070000 ff0e0000 00000000 "
                  "37040000");
        for (int w = 0; w < 20; ++w) EXPECT_TRUE(exists(winFile(0, p, w))) << w;
        for (int w = 20; w < 80; ++w) EXPECT_FALSE(exists(winFile(0, p, w))) << w;
    }
    expectWire({});

    // 2. Each decoder takes its cell: exactly its texts.
    expectAck(std::string("config set sence vs src params 0 0 0 ") + kRxa, true);
    expectWire({{"rxa", placed(kRxa, 0, 1919)}});
    expectAck(std::string("config set sence vs src params 0 0 1 ") + kRxb, true);
    expectWire({{"rxb", placed(kRxb, 0, 1919)}});
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(fileKey(keyFile(0, p), "screenIP_01"), kRxb);
        EXPECT_EQ(fileKey(keyFile(0, p), "screenName_01"), "RXB");
    }

    // 3. A source for window 0, then the window over one and a half cells: RXB shows the
    // spill on its window 16 and hides its own window 0.
    expectAck("config set sence vs url params 0 0 0 esource 10.77.0.9 0", true);
    expectWire({{"rxa", {"config qel set url params 10.77.0.2 0 rtsp://10.77.0.9/stream0"}}});
    const Json::Value placedWin = ask("config set sence vs win params 0 0 0 0 2879 0 1079");
    EXPECT_EQ(placedWin["ack"],
              newAck("config set sence vs win params 0 0 0 0 2879 0 1079", true)["ack"]);
    expectWire(
        {{"rxb",
          {"config qel set display params 10.77.0.3 0 0 \n",
           "config qel set url params 10.77.0.3 16 rtsp://10.77.0.9/stream0",
           "config qel set display params 10.77.0.3 16 1 \n",
           "config qel set normal hide params 10.77.0.3 16 3",
           "config qel set video params 10.77.0.3 16 0 959 0 1079 66 100 0 100 0 1 \n", kMulHide}},
         {"rxa",
          {"config qel set normal hide params 10.77.0.2 0 3 \n",
           "config qel set video params 10.77.0.2 0 0 1920 0 1079 0 66 0 100 0 1 \n", kMulHide}}});
    // The list: window 5 hidden, then window 0 visible with TXA on top of every other.
    const Json::Value& wins = placedWin["vswininfo"];
    ASSERT_EQ(wins.size(), 2u) << placedWin;
    std::vector<std::vector<std::string>> fields;
    for (const Json::Value& w : wins) {
        std::istringstream in(w["vwval"].asString());
        std::vector<std::string> f;
        for (std::string t; in >> t;) f.push_back(t);
        fields.push_back(f);
    }
    ASSERT_GE(fields[0].size(), 9u);
    ASSERT_EQ(fields[1].size(), 10u);
    EXPECT_EQ(std::vector<std::string>(fields[0].begin(), fields[0].begin() + 8),
              (Texts{"5", "1", "0", "0", "1920", "3839", "0", "1079"}));
    EXPECT_EQ(std::vector<std::string>(fields[1].begin(), fields[1].begin() + 8),
              (Texts{"0", "1", "0", "1", "0", "2879", "0", "1079"}));
    EXPECT_GT(std::stoi(fields[1][8]), 19);
    EXPECT_EQ(fields[1][9], "TXA");
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(ScenesSystem, BadInputIsRefusedAndChangesNothing) {
    lobby();
    const auto before = sceneFiles();
    ASSERT_FALSE(before.empty());
    const std::string name64(64, 'n');
    for (const std::string& bad : {
             std::string("config set sence vs src params 5 0 0 ") + kRxa,      // scene 5
             std::string("config set sence vs src params 0 0 5 ") + kRxa,      // cell 5
             std::string("config set sence vs win params 0 3 0 0 100 0 100"),  // preset 3
             std::string("config set sence vs win params 0 1 0 0 100 0 100"),  // not current
             std::string("config set sence vs win params 0 0 80 0 100 0 100"),
             std::string("config set sence vs split params 0 0 1 2 0"),
             std::string("config set sence vs split params 0 0 4 4 0"),
             std::string("config set sence vs split params 0 0 1 4 1"),
             std::string("config set sence vs url params 0 0 -1 esource 10.77.0.9 0"),
             "config set sence params " + name64,
         }) {
        EXPECT_EQ(ask(bad), newAck(bad, false)) << bad;
    }
    expectWire({});
    EXPECT_EQ(sceneFiles(), before);
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(ScenesSystem, AFailedWriteAnswersFailureAndLeavesEverySceneFile) {
    lobby();
    const auto before = sceneFiles();
    // The key files are kilobytes: none of them fits under the limit.
    struct rlimit tiny = {100, RLIM_INFINITY}, saved;
    ASSERT_EQ(prlimit(server->pid(), RLIMIT_FSIZE, &tiny, &saved), 0);
    for (const std::string& cmd : {
             std::string("config set sence params Hall"),
             std::string("config set sence vs src params 0 0 2 ") + kRxa,
             std::string("config set sence vs split params 0 0 1 4 0"),
             std::string("config set sence vs split params 0 0 255 5 0"),
             std::string("config set sence vs rowcolumncutedge params 0 4 4"),
             std::string("config set sence vs params 0 1 2 2 2"),
             std::string("config del sence vs params 0"),
             std::string("config del sence params 0"),
         }) {
        EXPECT_EQ(ask(cmd), newAck(cmd, false)) << cmd;
    }
    expectWire({});
    EXPECT_EQ(sceneFiles(), before);
    ASSERT_EQ(prlimit(server->pid(), RLIMIT_FSIZE, &saved, nullptr), 0);
    // Writable again: the same decoder move now goes through.
    expectAck(std::string("config set sence vs src params 0 0 2 ") + kRxa, true);
    EXPECT_EQ(fileKey(keyFile(0, 1), "screenIP_02"), kRxa);
    EXPECT_EQ(fileKey(keyFile(0, 1), "screenIP_00"), "");
    EXPECT_EQ(server->stop(), 0);
}

// The new-style commands over the same wire, with decoder RXC (10.77.0.4, split 4) beside.
class NamedScenesSystem : public ScenesSystem {
protected:
    NamedScenesSystem() { rxs.push_back({"rxc", kRxc, "RXC", 4}); }

    // "scene create Hall", then "vw add Hall x 1 2 TXA RXA RXB"; the decoders' texts taken.
    void hall() {
        Json::Value want;
        want["senceidinfo"][0]["senceid"] = 0;
        want["ack"] = newAck("scene create", true)["ack"];
        EXPECT_EQ(ask("scene create Hall"), want);
        EXPECT_EQ(ask("vw add Hall x 1 2 TXA RXA RXB"), newAck("vw add", true));
    }
};

TEST_F(NamedScenesSystem, AWallByNameADisplayAndTheirRemoval) {
    // 1. The wall: each decoder its cell, then the source, then window 0 over both cells.
    hall();
    Texts rxa = placed(kRxa, 0, 1919), rxb = placed(kRxb, 0, 1919);
    rxa.insert(
        rxa.end(),
        {"config qel set url params 10.77.0.2 0 rtsp://10.77.0.9/stream0",
         "config qel set normal hide params 10.77.0.2 0 3 \n",
         "config qel set video params 10.77.0.2 0 0 1920 0 1079 0 50 0 100 0 1 \n", kMulHide});
    rxb.insert(
        rxb.end(),
        {"config qel set display params 10.77.0.3 0 0 \n",
         "config qel set url params 10.77.0.3 16 rtsp://10.77.0.9/stream0",
         "config qel set display params 10.77.0.3 16 1 \n",
         "config qel set normal hide params 10.77.0.3 16 3",
         "config qel set video params 10.77.0.3 16 0 1919 0 1079 50 100 0 100 0 1 \n", kMulHide});
    expectWire({{"rxa", rxa}, {"rxb", rxb}, {"rxc", {kMulHide}}});

    // 2. RXC onto display 0: its split, fifteen empty windows, its address.
    const std::string src = std::string("config set sence display src params 0 ") + kRxc;
    Json::Value want;
    want["disidinfo"][0]["disid"] = 0;
    want["ack"] = newAck(src, true)["ack"];
    EXPECT_EQ(ask(src), want);
    Texts rxc = {"config qel set split params 10.77.0.4 4 0 \n"};
    for (int p = 0; p < 3; ++p)
        for (int k = 0; k < 5; ++k)
            rxc.push_back("config qel set url params 10.77.0.4 " + std::to_string(k) +
                          " unused_window");
    rxc.push_back("config qel set rx display ip 10.77.0.4 \n");
    expectWire({{"rxc", rxc}});
    for (int p = 0; p < 3; ++p) EXPECT_EQ(fileKey(keyFile(0, p), "disIP_00"), kRxc);

    // 3. The wall emptied: both decoders reset, no wall window file left, the display kept.
    EXPECT_EQ(ask("vw remove Hall"), newAck("vw remove", true));
    auto reset = [](const std::string& ip) {
        Texts t = {"config qel set split params " + ip + " 1 0 \n"};
        for (int w : {16, 0, 1, 2, 3, 4})
            t.push_back("config qel set url params " + ip + " " + std::to_string(w) +
                        " unused_window");
        return t;
    };
    expectWire({{"rxa", reset(kRxa)}, {"rxb", reset(kRxb)}});
    for (int p = 0; p < 3; ++p) {
        for (int w = 0; w < 80; ++w) EXPECT_FALSE(exists(winFile(0, p, w))) << w;
        EXPECT_EQ(fileKey(keyFile(0, p), "disIP_00"), kRxc);
        EXPECT_EQ(fileKey(keyFile(0, p), "screenIP_00"), "");
    }

    // 4. RXC already stands in Hall; both lists show Hall; then Hall goes.
    EXPECT_EQ(ask("scene rx add Hall RXC"), newAck("scene rx add", false));
    Json::Value wall;
    wall["scenename"] = "Hall";
    wall["scenevwrows"] = 2;
    wall["scenevwcolumns"] = 2;
    wall["scenevwcutedgehor"] = 2;
    wall["scenevwcutedgever"] = 2;
    Json::Value member;
    member["scenename"] = "Hall";
    member["scenecurpreset"] = 0;
    for (int c = 0; c < 4; ++c) {
        wall[numbered("screen_%02d", c)] = "";
        member[numbered("vw_rx_%02d", c)] = "";
    }
    member["dis_rx_00"] = "RXC";
    Json::Value walls, members;
    walls["videowalllist"].append(wall);
    walls["ack"] = newAck("vw get", true)["ack"];
    members["scenemember"].append(member);
    members["ack"] = newAck("scene get", true)["ack"];
    EXPECT_EQ(ask("vw get"), walls);
    EXPECT_EQ(ask("scene get Hall"), members);
    EXPECT_EQ(ask("scene remove Hall"), newAck("scene remove", true));
    expectWire({});
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(fileKeys(keyFile(0, p)), qeltest::rebuiltSceneKeys("", 0, 0, "", 0, 2, 2, 4));
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(NamedScenesSystem, AMatrixRouteTakesTheDecoderOutOfItsScene) {
    hall();
    datagrams(29);
    EXPECT_EQ(ask("matrix set TXA RXB"), newAck("matrix set", true));
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(fileKey(keyFile(0, p), "screenIP_01"), "") << p;
        EXPECT_EQ(fileKey(keyFile(0, p), "screenName_01"), "") << p;
    }
    // RXB: its cell's window placed again (window 0 no longer spills onto it), the reset,
    // then the matrix route: a unicast slot, its split and the source on window 0.
    Texts want = {"config qel set display params 10.77.0.3 16 0 \n",
                  "config qel set display params 10.77.0.3 0 1 \n",
                  "config qel set video params 10.77.0.3 0 0 1919 0 1079 0 100 0 100 0 1 \n",
                  "config qel set split params 10.77.0.3 1 0 \n"};
    for (int w : {16, 0, 1, 2, 3, 4})
        want.push_back("config qel set url params 10.77.0.3 " + std::to_string(w) +
                       " unused_window");
    want.push_back("config qel set split params 10.77.0.3 1 0 \n");
    for (int w = 0; w < 5; ++w)
        want.push_back("config qel set url params 10.77.0.3 " + std::to_string(w) +
                       " unused_window");
    want.push_back("config qel set rx display ip 10.77.0.3 \n");
    want.push_back("config qel set split params 10.77.0.3 1 0 \n");
    want.push_back("config qel set url params 10.77.0.3 0 rtsp://10.77.0.9/stream0");
    Texts rxb;
    for (const qeltest::Seen& d : datagrams(want.size()))
        if (d.box.find("rxb") != std::string::npos) rxb.push_back(d.text);
    EXPECT_EQ(rxb, want);
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(NamedScenesSystem, BadNamedCommandsAreRefusedAndChangeNothing) {
    hall();
    datagrams(29);
    const auto before = sceneFiles();
    const std::string name64(64, 'n');
    struct Case {
        std::string cmd, echo;
    } cases[] = {
        {"vw add Nope x 1 2 TXA RXA", "vw add"},
        {"vw add " + name64 + " x 1 2 TXA RXA", "vw add"},
        {"vw add Hall x 5 2 TXA RXA", "vw add"},
        {"vw add Hall x 1 2 cutedge 9 0 TXA RXA", "vw add"},
        {"vw set Nope TXA", "vw set"},
        {"vw source 6 TXA", "vw source"},
        {"scene id get 0", "scene id get"},
        {"scene rx add " + name64 + " RXC", "scene rx add"},
        {"vw rx remove Nope RXA", "vw rx remove"},
    };
    for (const Case& c : cases) EXPECT_EQ(ask(c.cmd), newAck(c.echo, false)) << c.cmd;
    expectWire({});
    EXPECT_EQ(sceneFiles(), before);
    EXPECT_EQ(server->stop(), 0);
}

}  // namespace
