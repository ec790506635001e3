// Each command family of the controller, tried as an operator would with four real decoders:
// every datagram the controller sends must be taken by the decoder it went to (the fixture
// checks their answers after each command), and the decoders' files must show the windows the
// command asked for. The exact texts are the fake-decoder tests' business; these check that the
// two programs agree.
#include "RealPairFixture.h"

using namespace realpair;

namespace {

using Rect = std::vector<int>;
const Rect kWholeCell{0, 1919, 0, 1079};
const Rect kFirstQuarter{0, 959, 0, 535};

bool sentTo(const std::map<int, std::vector<std::string>>& sent, int d, const std::string& head) {
    auto it = sent.find(d);
    if (it == sent.end()) return false;
    for (const std::string& s : it->second)
        if (s.compare(0, head.size(), head) == 0) return true;
    return false;
}

}  // namespace

TEST_F(RealPair, LiveWall) {
    run("config set vs screen params 2 2 0 0");
    // A placed decoder shows its address: the text ends in a blank and a line end.
    for (int c = 0; c < 4; ++c) {
        const auto sent = run("config set vs src params " + std::to_string(c) + " " + dec(c));
        EXPECT_TRUE(sentTo(sent, c, "config qel set rx display ip " + dec(c)));
        EXPECT_EQ(window(c, 0).rect(), kWholeCell) << c;
        EXPECT_EQ(splitNumber(c), 1);
    }
    run("config set vs rowcolumncutedge params 4 2");
    for (int d = 0; d < 4; ++d) EXPECT_EQ(cutEdge(d), (std::vector<int>{32, 16})) << d;

    run("config set vs split params 1 4 0");
    EXPECT_EQ(splitNumber(1), 4);
    EXPECT_EQ(window(1, 3).rect(), (Rect{960, 1919, 536, 1079}));

    // Window 0 spills from cell 0 into cell 2, where it is window 16 (slot 17).
    run("config set vs win params 0 0 1920 540 1620");
    EXPECT_EQ(window(0, 0).rect(), (Rect{0, 1920, 540, 1080}));
    EXPECT_EQ(window(2, 17).rect(), (Rect{0, 1920, 0, 540}));
    EXPECT_EQ(window(2, 17).shown(), 1);

    // Stream 1, the second stream, then a stream the camera does not have: the window and its
    // spill are emptied on both decoders.
    const std::string url = std::string("config set vs url params 0 ipsource ") + kCamera;
    run(url + " 0");
    EXPECT_EQ(storedUrl(0, 0), kCamUrl0);
    EXPECT_EQ(storedUrl(2, 17), kCamUrl0);
    run(url + " 1");
    EXPECT_EQ(storedUrl(0, 0), kCamUrl1);
    EXPECT_EQ(storedUrl(2, 17), kCamUrl1);
    run(url + " 2");
    EXPECT_EQ(storedUrl(0, 0), "unused_window");
    EXPECT_EQ(storedUrl(2, 17), "unused_window");

    // Full window: a window inside a quarter of cell 1 takes that quarter, then goes back.
    run("config set vs win params 5 2000 2500 100 400");
    const Rect small{80, 580, 100, 400};
    EXPECT_EQ(window(1, 0).rect(), small);
    run("config set vs dbl params 5");
    EXPECT_EQ(window(1, 0).rect(), kFirstQuarter);
    run("config set vs dbl params 5");
    EXPECT_EQ(window(1, 0).rect(), small);

    // The same after a larger grid and back: the old grid's cells no longer count.
    run("config set vs screen params 3 3 0 0");
    for (int c = 0; c < 4; ++c)
        run("config set vs src params " + std::to_string(c + 4) + " " + dec(c));
    run("config set vs screen params 2 2 0 0");
    for (int c = 0; c < 4; ++c) run("config set vs src params " + std::to_string(c) + " " + dec(c));
    run("config set vs split params 3 4 0");
    run("config set vs win params 15 2000 2500 1100 1400");
    EXPECT_EQ(window(3, 0).rect(), (Rect{80, 580, 20, 320}));
    run("config set vs dbl params 15");
    EXPECT_EQ(window(3, 0).rect(), kFirstQuarter);
    EXPECT_EQ(window(3, 1).shown(), 1) << "the quarter's neighbours stay in view";

    run("config set vs url params 15 esource " + std::string(kEncoder) + " 0");
    EXPECT_EQ(storedUrl(3, 0), kEncoderUrl);
    run("config set clear vs screen params");
    for (int d = 0; d < 4; ++d) {
        EXPECT_EQ(splitNumber(d), 1) << d;
        for (int slot : {0, 1, 2, 3, 4, 17}) EXPECT_EQ(storedUrl(d, slot), "unused_window") << d;
    }
}

TEST_F(RealPair, UnicastScreens) {
    run("config set unicast src params 0 " + dec(0));
    run("config set unicast split params 0 4 0");
    EXPECT_EQ(splitNumber(0), 4);
    run("config set unicast url params 1 esource " + std::string(kEncoder) + " 0");
    EXPECT_EQ(storedUrl(0, 1), kEncoderUrl);
    run("config set unicast url params 2 esource " + std::string(kCamera) + " 1");
    EXPECT_EQ(storedUrl(0, 2), kCamUrl1);
    run("config set unicast url params 2 esource " + std::string(kCamera) + " 2");
    EXPECT_EQ(storedUrl(0, 2), "unused_window");

    // Window 0 over window 1, enlarged to its quarter and back.
    run("config set unicast win params 0 0 1200 0 500");
    EXPECT_EQ(window(0, 0).rect(), (Rect{0, 1200, 0, 500}));
    EXPECT_EQ(window(0, 1).shown(), 0);
    // Its corners lie in the first two quarters: it takes both.
    run("config set unicast dbl params 0");
    EXPECT_EQ(window(0, 0).rect(), (Rect{0, 1919, 0, 535}));
    run("config set unicast dbl params 0");
    EXPECT_EQ(window(0, 0).rect(), (Rect{0, 1200, 0, 500}));

    run("config set unicast src params 1 " + dec(1));
    run("config set unicast url params 5 esource " + std::string(kEncoder) + " 0");
    EXPECT_EQ(storedUrl(1, 0), kEncoderUrl);
    EXPECT_EQ(storedUrl(0, 1), kEncoderUrl) << "the first slot's decoder is left alone";

    run("config set clear unicast screen params");
    for (int d = 0; d < 2; ++d) {
        EXPECT_EQ(splitNumber(d), 1) << d;
        for (int slot : {0, 1, 2}) EXPECT_EQ(storedUrl(d, slot), "unused_window") << d;
    }
}

TEST_F(RealPair, MulticastScreen) {
    run("config set vs screen params 1 2 0 0");
    run("config set vs src params 0 " + dec(0));
    run("config set vs src params 1 " + dec(1));
    run("config set unicast src params 0 " + dec(2));
    run("config set unicast split params 0 4 0");
    run("config set multicast url params 0 esource " + std::string(kEncoder) + " 0");
    for (int d = 0; d < 4; ++d) {
        EXPECT_EQ(storedUrl(d, 0), kEncoderUrl) << d;
        EXPECT_EQ(splitNumber(d), 1) << d;
    }
    run("config set clear multicast screen params");
    for (int d = 0; d < 4; ++d) EXPECT_EQ(storedUrl(d, 0), "unused_window") << d;
}

TEST_F(RealPair, Scenes) {
    run("scene create Hall");
    // A 1 x 2 wall with a cut, the encoder across it: cell 1 shows it as its spill window.
    run("vw add Hall x 1 2 cutedge 4 2 TX1 RX1 RX2");
    for (int d = 0; d < 2; ++d) EXPECT_EQ(cutEdge(d), (std::vector<int>{32, 16})) << d;
    EXPECT_EQ(storedUrl(0, 0), kEncoderUrl);
    EXPECT_EQ(storedUrl(1, 17), kEncoderUrl);
    run("vw set Hall CAM1");
    EXPECT_EQ(storedUrl(0, 0), kCamUrl0);
    EXPECT_EQ(storedUrl(1, 17), kCamUrl0);

    // A display screen of the scene, and one source on the wall and the display.
    run("scene rx add Hall RX3");
    EXPECT_EQ(splitNumber(2), 1);
    run("scene tx set Hall TX1");
    EXPECT_EQ(storedUrl(0, 0), kEncoderUrl);
    EXPECT_EQ(storedUrl(2, 0), kEncoderUrl);

    // The older scene commands on the same scene: a split and a window's source.
    run("config set sence vs split params 0 0 1 4 0");
    EXPECT_EQ(splitNumber(1), 4);
    run("config set sence vs url params 0 0 6 ipsource " + std::string(kCamera) + " 0");
    EXPECT_EQ(storedUrl(1, 1), kCamUrl0);

    run("vw remove Hall");
    run("scene remove Hall");
}

// A preset keeps the live wall as it is; recalled or loaded, the decoders show it again.
TEST_F(RealPair, Presets) {
    run("scene create Hall");
    run("config set vs screen params 2 2 0 0");
    for (int c = 0; c < 4; ++c) run("config set vs src params " + std::to_string(c) + " " + dec(c));
    run("config set vs url params 0 esource " + std::string(kEncoder) + " 0");
    run("config set vs win params 0 0 1920 540 1620");
    run("scene save preset Hall 1 1");

    // Changed: cell 1 split, window 0 with the camera and smaller; saved as the second preset.
    run("config set vs split params 1 4 0");
    run("config set vs url params 0 ipsource " + std::string(kCamera) + " 0");
    run("config set vs win params 0 0 1000 0 500");
    EXPECT_EQ(splitNumber(1), 4);
    run("scene save preset Hall 1 2");

    run("scene recall preset 1 1");
    EXPECT_EQ(splitNumber(1), 1);
    EXPECT_EQ(storedUrl(0, 0), kEncoderUrl);
    EXPECT_EQ(window(0, 0).rect(), (Rect{0, 1920, 540, 1080}));
    EXPECT_EQ(storedUrl(2, 17), kEncoderUrl);
    EXPECT_EQ(window(2, 17).shown(), 1);

    run("scene load preset 1 2");
    EXPECT_EQ(splitNumber(1), 4);
    EXPECT_EQ(storedUrl(0, 0), kCamUrl0);
    EXPECT_EQ(window(0, 0).rect(), (Rect{0, 1000, 0, 500}));
    EXPECT_EQ(window(2, 17).shown(), 0);
}

TEST_F(RealPair, WindowModes) {
    run("config set vs screen params 2 2 0 0");
    for (int c = 0; c < 4; ++c) run("config set vs src params " + std::to_string(c) + " " + dec(c));
    run("config set vs url params 0 esource " + std::string(kEncoder) + " 0");
    run("config set vs win params 0 0 1920 540 1620");
    run("config set add winmode Evening");

    run("config set vs split params 3 4 0");
    run("config set vs win params 0 0 1000 0 500");
    run("config set vs url params 0 ipsource " + std::string(kCamera) + " 0");
    EXPECT_EQ(splitNumber(3), 4);

    run("config set load winmode Evening byName");
    EXPECT_EQ(splitNumber(3), 1);
    EXPECT_EQ(storedUrl(0, 0), kEncoderUrl);
    EXPECT_EQ(window(0, 0).rect(), (Rect{0, 1920, 540, 1080}));
    EXPECT_EQ(storedUrl(2, 17), kEncoderUrl);
    EXPECT_EQ(window(2, 17).rect(), (Rect{0, 1920, 0, 540}));
}

TEST_F(RealPair, Matrix) {
    run("matrix set TX1 RX1");
    EXPECT_EQ(storedUrl(0, 0), kEncoderUrl);
    run("matrix set TX1 RX2,CAM1 RX3");
    EXPECT_EQ(storedUrl(1, 0), kEncoderUrl);
    EXPECT_EQ(storedUrl(2, 0), kCamUrl0);

    // NULL on a routed decoder empties it alone.
    run("matrix set NULL RX1");
    EXPECT_EQ(storedUrl(0, 0), "unused_window");
    EXPECT_EQ(storedUrl(1, 0), kEncoderUrl);
    EXPECT_EQ(storedUrl(2, 0), kCamUrl0);
    // NULL on a decoder in no route: only that decoder is told anything.
    const auto sent = run("matrix set NULL RX4");
    for (int d = 0; d < 3; ++d) EXPECT_TRUE(sent.at(d).empty()) << dec(d);
    EXPECT_EQ(storedUrl(2, 0), kCamUrl0) << "the decoder routed last keeps its source";
    // "matrix get" lists each routed decoder as "<source>, <decoder>", names before their '_'
    // and host name.
    const Json::Value matrix = query("matrix get");
    std::map<std::string, std::string> routes;
    for (const Json::Value& m : matrix["rxsourceinfo"]) {
        const std::string pair = m["txrx_1"].asString();
        const size_t comma = pair.find(", ");
        if (comma == std::string::npos) continue;
        const std::string tx = pair.substr(0, comma), rx = pair.substr(comma + 2);
        routes[rx.substr(0, rx.find('_'))] = tx.substr(0, tx.find('_'));
    }
    EXPECT_EQ(routes, (std::map<std::string, std::string>{
                          {"RX1", "null"}, {"RX2", "TX1"}, {"RX3", "CAM1"}}))
        << matrix;

    run("matrix all set TX1");
    for (int d = 0; d < 3; ++d) EXPECT_EQ(storedUrl(d, 0), kEncoderUrl) << d;
    run("matrix clear RX2 RX3");
    EXPECT_EQ(storedUrl(1, 0), "unused_window");
    EXPECT_EQ(storedUrl(2, 0), "unused_window");
    EXPECT_EQ(storedUrl(0, 0), kEncoderUrl);
}

TEST_F(RealPair, Multiview) {
    run("mv set RX1 4-1 1 TX1 2 CAM1");
    EXPECT_EQ(splitNumber(0), 4);
    EXPECT_EQ(storedUrl(0, 0), kEncoderUrl);
    EXPECT_EQ(storedUrl(0, 1), kCamUrl0);
    run("mv change RX1 4-1 3 CAM1");
    EXPECT_EQ(storedUrl(0, 2), kCamUrl0);
    run("mv source clear RX1 2");
    EXPECT_EQ(storedUrl(0, 1), "unused_window");
    EXPECT_EQ(storedUrl(0, 0), kEncoderUrl);
    run("mv clear RX1");
    for (int slot : {0, 1, 2, 3}) EXPECT_EQ(storedUrl(0, slot), "unused_window") << slot;
}

TEST_F(RealPair, DeviceNames) {
    // '#' separates a device answer's fields: such a name is refused with nothing sent.
    const auto refused = run("config set decoder name " + dec(0) + " Hall #5 #9", "failure");
    EXPECT_TRUE(refused.at(0).empty());
    run("config set device alias RX1 Hall#5", "failure");
    EXPECT_EQ(decoderName(0), "RX1");
    run("config set decoder name " + dec(0) + " Hall 5");
    EXPECT_EQ(decoderName(0), "Hall 5");
    run("config set device alias RX2 Lobby");
    EXPECT_EQ(decoderName(1), "Lobby");
}
