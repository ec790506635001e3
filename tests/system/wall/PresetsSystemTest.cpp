// The real controller on the test network with six fake decoders (wall cells 0-3 on 10.77.0.2
// to 10.77.0.5, a multiview decoder on 10.77.0.6 and a matrix decoder on 10.77.0.7 in unicast
// slots 0 and 1) and an encoder on 10.77.0.8, driven over the text port: presets saved and
// recalled, a window mode added, loaded and refused when corrupt, and the matrix and multiview
// views. Checked: the datagrams each decoder gets, the files, and the replies (parsed).
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/Acks.h"
#include "support/Clients.h"
#include "support/Collector.h"
#include "support/DeviceFiles.h"
#include "support/JsonTexts.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

using qeltest::newAck;
using qeltest::oldAck;
using Texts = std::vector<std::string>;

const int kDecoders = 6;
const char kEncoder[] = "10.77.0.8";
const char kEncoderUrl[] = "rtsp://10.77.0.8/stream0";

std::string dec(int i) {
    return "10.77.0." + std::to_string(i + 2);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A key file's keys and values (the last value of a key wins, as the store reads it).
std::map<std::string, Json::Value> keysOf(const std::string& path) {
    std::map<std::string, Json::Value> out;
    Json::Value doc;
    Json::Reader reader;
    if (!reader.parse(readFile(path), doc) || !doc.isObject()) return out;
    for (const Json::Value& e : doc["config"])
        if (e.isObject())
            for (const std::string& k : e.getMemberNames()) out[k] = e[k];
    return out;
}

Json::Value parsed(const std::optional<std::string>& text) {
    Json::Value v;
    if (!text) return v;
    Json::Reader reader;
    EXPECT_TRUE(reader.parse(*text, v, false)) << *text;
    return v;
}

// The names of the files whose bytes differ between two snapshots.
std::vector<std::string> differing(const std::map<std::string, std::string>& a,
                                   const std::map<std::string, std::string>& b) {
    std::vector<std::string> out;
    for (const auto& kv : a) {
        auto it = b.find(kv.first);
        if (it == b.end() || it->second != kv.second) out.push_back(kv.first);
    }
    return out;
}

// The same with each block's stacking stamp (winId, bytes 4-7) left out: placing a window
// again puts it on top of its cell, which renumbers the stamp and nothing else.
std::vector<std::string> differingPlaces(std::map<std::string, std::string> a,
                                         std::map<std::string, std::string> b) {
    for (auto* m : {&a, &b})
        for (auto& kv : *m)
            if (kv.second.size() >= 8) kv.second.replace(4, 4, 4, '\0');
    return differing(a, b);
}

std::string numbered(const char* format, int a, int b = 0, int c = 0) {
    char t[96];
    snprintf(t, sizeof t, format, a, b, c);
    return t;
}

class PresetsSystem : public qeltest::TestNetFixture {
protected:
    void SetUpBoxes() override {
        std::vector<qeltest::Box*> decoders;
        std::vector<qeltest::SeedDevice> seeds;
        for (int i = 0; i < kDecoders; ++i) {
            decoders.push_back(&net->addBox("dec" + std::to_string(i), i + 2));
            ASSERT_TRUE(decoders.back()->ok());
            seeds.push_back({dec(i), "RX" + std::to_string(i), "rx-" + std::to_string(i),
                             "00:11:22:33:44:0" + std::to_string(i + 2)});
        }
        qeltest::Box& op = net->addBox("op", 9);
        ASSERT_TRUE(ctrl->ok() && op.ok());
        wire = std::make_unique<qeltest::Collector>(decoders, 8888);
        ASSERT_EQ(mkdir(ctrl->path("/mnt").c_str(), 0755), 0);
        ASSERT_TRUE(
            qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevDecoder.ini"), "decoder", seeds));
        ASSERT_TRUE(qeltest::writeDeviceFile(ctrl->path("/mnt/qeldevEncoder.ini"), "encoder",
                                             {{kEncoder,
                                               "TXA",
                                               "txa",
                                               "00:11:22:33:44:08",
                                               "Version 1.0",
                                               {{"url0", kEncoderUrl}}}}));
        server = ctrl->start(qeltest::programPath("ctrlserver"));
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();
        ASSERT_TRUE(op.run([&] { return text.connect(ctrl->ip(), 8886, 3s); })) << text.error();
    }

    // Sends one command and takes its replies (count of them).
    std::vector<Json::Value> ask(const std::string& command, size_t count = 1) {
        EXPECT_TRUE(text.send(command));
        std::vector<Json::Value> out;
        for (size_t i = 0; i < count; ++i) out.push_back(parsed(replies.next(5s)));
        return out;
    }
    void expectAck(const std::string& command, const Json::Value& ack, size_t before = 0) {
        const std::vector<Json::Value> got = ask(command, before + 1);
        EXPECT_EQ(got.back(), ack) << command;
    }

    // The datagrams once the wire has been quiet for a while, taken off.
    std::vector<qeltest::Seen> quiet() {
        size_t last = 0;
        for (int i = 0; i < 40; ++i) {
            std::this_thread::sleep_for(250ms);
            const size_t n = wire->seen().size();
            if (n == last && n > 0 && i > 2) break;
            last = n;
        }
        std::vector<qeltest::Seen> seen = wire->seen();
        wire->clear();
        return seen;
    }
    static Texts of(const std::vector<qeltest::Seen>& seen, int i) {
        Texts out;
        for (const qeltest::Seen& s : seen)
            if (s.box.find("dec" + std::to_string(i)) != std::string::npos) out.push_back(s.text);
        return out;
    }
    // The multicast hides of a replay (the re-entered handlers' own end in a blank).
    static Texts allHides(const Texts& t) {
        Texts out;
        for (const std::string& x : t)
            if (x.rfind("config qel set mul hide params", 0) == 0 && x.back() != ' ')
                out.push_back(x.substr(x.rfind(' ') + 1));
        return out;
    }
    // The source texts of decoder windows 0-4.
    static Texts sources(const Texts& t) {
        Texts out;
        for (const std::string& x : t)
            if (x.rfind("config qel set url params", 0) == 0 && x.find(" 16 ") == std::string::npos)
                out.push_back(x);
        return out;
    }
    std::string box(const std::string& path) const { return ctrl->path(path); }
    std::map<std::string, std::string> blocks(const std::string& format, int s, int p) {
        std::map<std::string, std::string> out;
        for (int w = 0; w < 80; ++w) {
            const std::string f = numbered(format.c_str(), s, p, w);
            out[f] = readFile(box(f));
        }
        return out;
    }
    std::map<std::string, std::string> liveBlocks() {
        std::map<std::string, std::string> out;
        for (int w = 0; w < 20; ++w) {
            const std::string f = numbered("/mnt/qelconfVWin_%02d.ini", w);
            out[f] = readFile(box(f));
        }
        return out;
    }

    std::unique_ptr<qeltest::Collector> wire;
    std::unique_ptr<qeltest::Process> server;
    qeltest::TcpClient text;
    qeltest::JsonTexts replies{text};
};

TEST_F(PresetsSystem, PresetsModesAndViewsOverTheWire) {
    // The wall: a decoder in every cell, the encoder on window 0; unicast slot 0 a multiview
    // decoder on split 4 with the encoder on its window 0, slot 1 a matrix decoder.
    for (int c = 0; c < 4; ++c) {
        const std::string src = "config set vs src params " + std::to_string(c) + " " + dec(c);
        expectAck(src, oldAck(src, true));
    }
    const std::string url0 = std::string("config set vs url params 0 esource ") + kEncoder + " 0";
    expectAck(url0, oldAck(url0, true));
    for (const std::string& cmd :
         {"config set unicast src params 0 " + dec(4),
          std::string("config set unicast split params 0 4 0"),
          std::string("config set unicast url params 0 esource ") + kEncoder + " 0",
          "config set unicast src params 1 " + dec(5),
          std::string("config set unicast url params 5 esource ") + kEncoder + " 0"})
        expectAck(cmd, oldAck(cmd, true));
    const std::vector<Json::Value> created = ask("config set sence params Hall");
    ASSERT_EQ(created.size(), 1u);
    quiet();

    // Preset 1 (index 1) from the wall as it is; its files kept for later.
    expectAck("scene save preset Hall 1 2", newAck("scene save preset", true));
    EXPECT_TRUE(quiet().empty()) << "a save sends nothing";
    const auto sceneBlocks = blocks("/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", 0, 1);
    const auto displayBlocks = blocks("/mnt/sence/qelconfDisWin_%02d_%02d_%02d.ini", 0, 1);
    const auto presetKeys = keysOf(box("/mnt/sence/qelconfVSence_00_01.ini"));
    const auto wallBlocks = liveBlocks();
    const auto wallKeys = keysOf(box("/mnt/qelconfVscreen.ini"));
    auto unicastKeys = keysOf(box("/mnt/qelconfUnicast.ini"));
    EXPECT_EQ(presetKeys.at("screenIP_03"), dec(3));
    EXPECT_EQ(presetKeys.at("disIP_00"), dec(4));

    // Changed: cell 1 on split 4, window 0 smaller; saved as preset index 2; then cell 2 on
    // split 4 as well.
    for (const std::string& cmd : {std::string("config set vs split params 1 4 0"),
                                   std::string("config set vs win params 0 0 1000 0 500")}) {
        const std::vector<Json::Value> r = ask(cmd, cmd.find("win") != std::string::npos ? 2 : 1);
        EXPECT_EQ(r.back(), oldAck(cmd, true)) << cmd;
    }
    expectAck("scene save preset Hall 1 3", newAck("scene save preset", true));
    expectAck("config set vs split params 2 4 0", oldAck("config set vs split params 2 4 0", true));
    quiet();

    // Recall preset 1.
    expectAck("scene recall preset Hall 2", newAck("scene recall preset", true));
    const std::vector<qeltest::Seen> seen = quiet();
    for (int i = 0; i < kDecoders; ++i)
        EXPECT_EQ(allHides(of(seen, i)), (Texts{"30", "30", "30", "3"})) << dec(i);
    // Cell 0's changed window is hidden first; cell 1's split goes back through the scene
    // split handler, told without showing.
    const Texts d0 = of(seen, 0), d1 = of(seen, 1);
    ASSERT_GE(d0.size(), 2u);
    EXPECT_EQ(d0[0], "config qel set display params " + dec(0) + " 0 0");
    EXPECT_EQ(d0[1], "config qel set normal hide params " + dec(0) + " 0 30");
    ASSERT_GE(d1.size(), 1u);
    EXPECT_EQ(d1[0], "config qel set splitundis params " + dec(1) + " 1 0 \n");
    // Every window's own source, on every decoder of the scene.
    Texts want0 = {"config qel set url params " + dec(0) + " 0 " + kEncoderUrl};
    for (int k = 1; k < 5; ++k)
        want0.push_back("config qel set url params " + dec(0) + " " + std::to_string(k) +
                        " unused_window");
    EXPECT_EQ(sources(d0), want0);
    for (int i = 1; i < 4; ++i) {
        Texts want;
        for (int k = 0; k < 5; ++k)
            want.push_back("config qel set url params " + dec(i) + " " + std::to_string(k) +
                           " unused_window");
        EXPECT_EQ(sources(of(seen, i)), want) << dec(i);
    }
    Texts want4 = {"config qel set url params " + dec(4) + " 0 " + kEncoderUrl};
    for (int k = 1; k < 5; ++k)
        want4.push_back("config qel set url params " + dec(4) + " " + std::to_string(k) +
                        " unused_window");
    EXPECT_EQ(sources(of(seen, 4)), want4);
    // The scene's files are as the first save left them, the live wall as it was then. The
    // scene's wall and display windows were placed again by their window handlers: only their
    // stacking stamps moved.
    EXPECT_EQ(differingPlaces(blocks("/mnt/sence/qelconfVWinSence_%02d_%02d_%02d.ini", 0, 1),
                              sceneBlocks),
              Texts{});
    EXPECT_EQ(
        differingPlaces(blocks("/mnt/sence/qelconfDisWin_%02d_%02d_%02d.ini", 0, 1), displayBlocks),
        Texts{});
    EXPECT_EQ(keysOf(box("/mnt/sence/qelconfVSence_00_01.ini")), presetKeys);
    EXPECT_EQ(differing(liveBlocks(), wallBlocks), Texts{});
    for (const auto& kv : keysOf(box("/mnt/qelconfVscreen.ini")))
        EXPECT_EQ(kv.second, wallKeys.count(kv.first) ? wallKeys.at(kv.first) : Json::Value())
            << kv.first;
    auto recalledUnicast = keysOf(box("/mnt/qelconfUnicast.ini"));
    EXPECT_EQ(recalledUnicast.at("unicastCurIndex"), 0);
    recalledUnicast.erase("unicastCurIndex");
    unicastKeys.erase("unicastCurIndex");
    EXPECT_EQ(recalledUnicast, unicastKeys);

    // A window mode of this wall, a change, and the mode loaded back.
    const std::vector<Json::Value> added = ask("config set add winmode Evening", 2);
    EXPECT_EQ(added[0]["winmode"][0]["modename"], "Evening");
    EXPECT_EQ(added[1], oldAck("config set add winmode Evening", true));
    const std::string modeFile = box("/mnt/qelconfVWinMode_00.ini");
    // The block and six decoders and one encoder.
    EXPECT_EQ(readFile(modeFile).size(), 229256u + 7 * 40);
    const auto modeBlocks = liveBlocks();
    expectAck("config set vs split params 3 4 0", oldAck("config set vs split params 3 4 0", true));
    quiet();
    expectAck("config set load winmode Evening byName",
              oldAck("config set load winmode Evening", true));
    const std::vector<qeltest::Seen> loaded = quiet();
    for (int i = 0; i < kDecoders; ++i)
        EXPECT_EQ(allHides(of(loaded, i)), (Texts{"30", "30", "3", "3"})) << dec(i);
    const Texts d3 = of(loaded, 3);
    ASSERT_FALSE(d3.empty());
    EXPECT_EQ(d3[0], "config qel set splitundis params " + dec(3) + " 1 0 \n");
    EXPECT_EQ(sources(of(loaded, 0)), want0);
    EXPECT_EQ(differingPlaces(liveBlocks(), modeBlocks), Texts{});

    // Refused: the selector first, a slot past the count, a corrupt file. Nothing goes out.
    expectAck("config set load winmode byName Evening",
              oldAck("config set load winmode byName", false));
    expectAck("config set load winmode 1 byIndex", oldAck("config set load winmode 1", false));
    std::string corrupt = readFile(modeFile);
    corrupt[0] = 2;
    std::ofstream(modeFile, std::ios::binary | std::ios::trunc) << corrupt;
    expectAck("config set load winmode 0 byIndex", oldAck("config set load winmode 0", false));
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(wire->seen().empty());

    // The views: the matrix decoder with the encoder, the multiview decoder's four windows.
    Json::Value matrix;
    matrix["rxsourceinfo"][0]["txrx_1"] = "TXA_txa, RX5_rx-5";
    matrix["ack"] = newAck("matrix get", true)["ack"];
    EXPECT_EQ(ask("matrix get").back(), matrix);
    Json::Value mv;
    mv["mvrxinfo"][0]["splitnum"] = 4;
    mv["mvrxinfo"][0]["rxalias"] = "RX4_rx-4";
    mv["mvrxinfo"][0]["tx_1"] = "TXA_txa";
    for (int k = 2; k <= 4; ++k) mv["mvrxinfo"][0]["tx_" + std::to_string(k)] = "NULL";
    mv["ack"] = newAck("mv get", true)["ack"];
    EXPECT_EQ(ask("mv get").back(), mv);
    Json::Value mvWin;
    Json::Value& row = mvWin["mvrxallinfo"][0];
    row["splitnum"] = 4;
    row["alias"] = "RX4";
    row["name"] = "rx-4";
    row["tx_1"] = "TXA_txa";
    row["winhstart_1"] = 0;
    row["winvstart_1"] = 0;
    row["winwidth_1"] = 960;
    row["winheight_1"] = 536;
    mvWin["ack"] = newAck("mv getrxparams", true)["ack"];
    EXPECT_EQ(ask("mv getrxparams RX4").back(), mvWin);
}

}  // namespace
