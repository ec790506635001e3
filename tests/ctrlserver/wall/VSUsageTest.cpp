// Decoder roles, the carry-over of a decoder's unicast state into the walls, and the free
// decoders.
#include "WallOpsFixture.h"

namespace {

const char* const A = "10.0.2.1";  // live-wall cell and matrix slot
const char* const B = "10.0.2.2";  // display of a valid scene, multiview slot
const char* const C = "10.0.2.3";  // cell of an invalid scene, matrix slot
const char* const D = "10.0.2.4";  // live-wall cell only
const char* const E = "10.0.2.5";  // multiview slot only
const char* const F = "10.0.2.6";  // cell of a valid scene's second preset only

DevSpec decoder(const char* ip, const char* name) {
    return DevSpec{name, std::string("host-") + name, ip, std::string("mac-") + name, "1", "", ""};
}

}  // namespace

TEST_F(WallOpsTest, DecoderRolesAndFreeDecoders) {
    loadDevices({decoder(A, "A"), decoder(B, "B"), decoder(C, "C"), decoder(D, "D"),
                 decoder(E, "E"), decoder(F, "F")},
                {}, {});
    VSServer& m = start();
    m.pVScreen->ip[0] = A;
    m.pVScreen->ip[3] = D;
    m.pUnicast->ip[10] = A;
    m.pUnicast->splitnum[10] = 1;
    m.pUnicast->ip[11] = B;
    m.pUnicast->splitnum[11] = 4;
    m.pUnicast->ip[12] = C;
    m.pUnicast->splitnum[12] = 1;
    m.pUnicast->ip[13] = E;
    m.pUnicast->splitnum[13] = 5;
    m.pVSence[1]->valid = 1;
    m.pVSenceScreen[1][0]->disIP[15] = B;
    m.pVSence[2]->valid = 0;
    m.pVSenceScreen[2][0]->screenIP[3] = C;
    m.pVSence[3]->valid = 1;
    m.pVSenceScreen[3][1]->screenIP[2] = F;

    struct Role {
        const char* ip;
        int inside, matrix, multiview, split;  // split: -1 when none is written
    };
    const Role roles[] = {
        {A, 1, 0, 0, -1}, {B, 0, 0, 1, 4},  {C, 0, 1, 0, -1},  {D, 1, 0, 0, -1},
        {E, 0, 0, 1, 5},  {F, 1, 0, 0, -1}, {"", 0, 0, 0, -1},
    };
    for (const Role& r : roles) {
        int split = -1;
        EXPECT_EQ(m.checkWhetherRXisInsideVideoWall(r.ip), r.inside) << r.ip;
        EXPECT_EQ(m.blCheckRXisMatrix(r.ip), r.matrix) << r.ip;
        EXPECT_EQ(m.blCheckRXisMultiView(r.ip, split), r.multiview) << r.ip;
        EXPECT_EQ(split, r.split) << r.ip;
    }

    // Free: no scene's preset 0 holds it; live wall and unicast slots do not count.
    ArrayList<Device> free;
    EXPECT_EQ(m.cmdVSGetFreeRX(free), 4);
    std::vector<std::pair<std::string, int>> got;
    for (int i = 0; i < free.count; ++i) got.emplace_back(free.get(i)->ip, free.get(i)->index);
    const std::vector<std::pair<std::string, int>> expected = {{A, 0}, {D, 3}, {E, 4}, {F, 5}};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(free.get(0)->name, "A");
}

class CarryOverTest : public WallOpsTest {
public:
    void SetUp() override {
        WallOpsTest::SetUp();
        if (IsSkipped()) return;
        VSServer& m = start();
        iUnicastCurIndex = 7;
        m.pUnicast->ip[7] = X;
        m.pUnicast->name[7] = "Matrix7";
        for (int k = 0; k < 5; ++k) {
            m.pUWin[35 + k]->url = "rtsp://10.0.0.9/" + std::to_string(k);
            m.pUWin[35 + k]->name = "src" + std::to_string(k);
        }
    }
    const char* const X = "10.0.3.7";
};

TEST_F(CarryOverTest, EveryLiveWallCellOfTheDecoderTakesTheSlot) {
    VSServer& m = *model;
    m.pVScreen->ip[1] = X;
    m.pVScreen->ip[2] = X;
    m.pVScreen->ip[3] = "10.0.3.8";
    const VWin before5 = *m.pVWin[5];
    EXPECT_EQ(m.checkUnicastRXisUsed(X, 4), 0);
    for (int cell : {1, 2}) {
        EXPECT_EQ(m.pVScreen->splitnum[cell], 4);
        EXPECT_EQ(m.pVScreen->name[cell], "Matrix7");
        EXPECT_EQ(value("/mnt/qelconfVscreen.ini", "screenName_0" + std::to_string(cell)),
                  "Matrix7");
        EXPECT_EQ(value("/mnt/qelconfVscreen.ini", "screenSplitnum_0" + std::to_string(cell)), 4);
        for (int k = 0; k < 5; ++k) {
            const VWin& w = *m.pVWin[5 * cell + k];
            EXPECT_EQ(w.url, "rtsp://10.0.0.9/" + std::to_string(k));
            EXPECT_EQ(w.name, "src" + std::to_string(k));
        }
    }
    // Rectangles and flags stay; the block file holds the new source.
    VWin expected5 = before5;
    expected5.url = "rtsp://10.0.0.9/0";
    expected5.name = "src0";
    EXPECT_TRUE(sameWin(*m.pVWin[5], expected5));
    VSServer& again = start();
    EXPECT_TRUE(sameWin(*again.pVWin[5], expected5));
    EXPECT_EQ(again.pVWin[15]->url, "");
}

TEST_F(CarryOverTest, ScenesTakeOnlyTheirFirstCellAndFirstDisplayInTheCurrentPreset) {
    VSServer& m = *model;
    m.pVSence[0]->curPreset = 1;
    m.pVSenceScreen[0][0]->screenIP[0] = X;
    m.pVSenceScreen[0][0]->screenIP[3] = X;
    m.pVSenceScreen[0][0]->disIP[2] = X;
    m.pVSenceScreen[0][0]->disIP[5] = X;
    const VWin cellWin = *m.pVWinSence[0][1][1];
    EXPECT_EQ(m.checkUnicastRXisUsed(X, 4), 0);

    const VSenceScreen& p1 = *m.pVSenceScreen[0][1];
    EXPECT_EQ(p1.screenIP[0], X);
    EXPECT_EQ(p1.screenSplitnum[0], 4);
    EXPECT_EQ(p1.screenName[0], "Matrix7");
    EXPECT_EQ(p1.screenIP[3], "");
    EXPECT_EQ(p1.disIP[2], X);
    EXPECT_EQ(p1.disName[2], "Matrix7");
    EXPECT_EQ(p1.disSplitnum[2], 4);
    EXPECT_EQ(p1.disIP[5], "");
    EXPECT_EQ(m.pVSenceScreen[0][0]->screenName[0], "");  // preset 0 is only looked at
    const std::string file = "/mnt/sence/qelconfVSence_00_01.ini";
    EXPECT_EQ(value(file, "screenName_00"), "Matrix7");
    EXPECT_EQ(value(file, "disSplitnum_02"), 4);
    EXPECT_EQ(value(file, "disIP_02"), X);
    EXPECT_TRUE(value(file, "disIP_05").isNull() || value(file, "disIP_05") == "");

    // Cell windows keep their places; display windows are laid out anew for the split.
    VWin expectedCell = cellWin;
    expectedCell.url = "rtsp://10.0.0.9/1";
    expectedCell.name = "src1";
    EXPECT_TRUE(sameWin(*m.pVWinSence[0][1][1], expectedCell));
    EXPECT_EQ(m.pVWinSence[0][1][16]->url, "");
    EXPECT_TRUE(sameWin(*m.pDisWin[0][1][11],
                        VWin(11, 1, 0, 1, 960, 1919, 0, 535, 11, "rtsp://10.0.0.9/1", "src1")));
    EXPECT_EQ(m.pDisWinPos[0][1][11]->x0, 960);
    EXPECT_EQ(m.pDisWin[0][1][25]->url, "");
    EXPECT_EQ(m.pDisWin[0][0][11]->url, "");
}

TEST_F(CarryOverTest, NothingChangesWithoutADecoderAddressOrACurrentSlot) {
    VSServer& m = *model;
    m.pVScreen->ip[0] = X;
    const auto before = modelFiles();
    EXPECT_EQ(m.checkUnicastRXisUsed("", 4), 0);
    iUnicastCurIndex = 200;
    EXPECT_EQ(m.checkUnicastRXisUsed(X, 4), 0);
    iUnicastCurIndex = -1;
    EXPECT_EQ(m.checkUnicastRXisUsed(X, 4), 0);
    EXPECT_EQ(modelFiles(), before);
    EXPECT_EQ(m.pVScreen->name[0], "");
    EXPECT_EQ(m.pVWin[0]->url, "");
}
