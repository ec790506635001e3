// Building the wall model from its files: what a first start writes, that a later start
// writes nothing and reads each file once, the stored-value rules and corrupt files.
#include <sys/resource.h>

#include <cstdio>
#include <algorithm>
#include <functional>

#include "WallModelFixture.h"
#include "WallFiles.h"
#include "WallModelGen.h"
#include "wall/ModeFile.h"

using namespace wallgen;

namespace {

KeyList sortedCopy(KeyList k) {
    std::sort(k.begin(), k.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return k;
}

}  // namespace

TEST_F(WallModelTest, FirstStartWritesTheDefaultFilesExactly) {
    // /mnt/sence does not exist yet: the model makes it.
    VSServer& m = start();
    std::map<std::string, FileState> files = modelFiles();
    std::vector<std::string> found;
    for (const auto& f : files) found.push_back(f.first);
    EXPECT_EQ(found, firstStartFiles());

    EXPECT_EQ(readKeys("/mnt/qelconfUnicast.ini"), firstStartUnicast());
    EXPECT_EQ(readKeys("/mnt/qelconfHVratio.ini"), firstStartRatio());
    EXPECT_EQ(readKeys("/mnt/qelconfVscreen.ini"), firstStartVscreen());
    for (int s = 0; s < 5; ++s)
        for (int p = 0; p < 3; ++p)
            EXPECT_EQ(readKeys(scenePath(s, p)), firstStartScene(s)) << s << p;

    const std::string w05 = readBytes("/mnt/qelconfVWin_05.ini");
    const unsigned char head[36] = {5,    0,    0, 0, 5, 0, 0, 0, 1,    0, 0, 0,
                                    0,    0,    0, 0, 1, 0, 0, 0, 0x80, 7, 0, 0,
                                    0xff, 0x0e, 0, 0, 0, 0, 0, 0, 0x37, 4, 0, 0};
    EXPECT_EQ(w05, std::string(reinterpret_cast<const char*>(head), 36) + std::string(168, '\0'));
    for (uint32_t w = 0; w < 80; ++w) {
        const std::string bytes = readBytes(num("/mnt/qelconfVWin_%02d.ini", w));
        EXPECT_EQ(bytes.size(), 204u);
        EXPECT_EQ(words(bytes), firstStartWindow(w)) << "window " << w;
        EXPECT_EQ(bytes.substr(36), std::string(168, '\0')) << "window " << w;
    }

    // The model in memory: the same defaults.
    EXPECT_EQ(iScreenRows, 2);
    EXPECT_EQ(iVScreenWidth, 3840);
    EXPECT_EQ(m.pVScreen->splitnum[3], 1);
    EXPECT_EQ(m.pVScreen->splitnum[4], 5);  // cells past the grid keep the fresh record's 5
    EXPECT_EQ(m.pUnicast->splitnum[199], 1);
    EXPECT_EQ(m.pHVratio->hor, 16);
    EXPECT_EQ(m.vwMode.modeMax, 4);
    EXPECT_TRUE(sameWin(m.vWinDbl, VWin(80, 0, 0, 0, 0, 0, 0, 0, 0, "", "")));
}

TEST_F(WallModelTest, FirstStartSavesEachFileOnceAndALaterStartWritesNothing) {
    ASSERT_EQ(mkdir(file("/mnt/sence").c_str(), 0755), 0);
    Watch watch(root);
    start();
    const std::map<std::string, FileState> first = modelFiles();
    ASSERT_EQ(first.size(), 98u);
    for (const auto& e : watch.take()) {
        if (e.first.find(".tmp-") != std::string::npos) continue;  // the replacing writes
        EXPECT_TRUE(first.count(e.first)) << e.first << " touched";
        EXPECT_EQ(e.second.written, 1) << e.first;
    }

    start();
    ASSERT_FALSE(watch.overflowed);
    for (const auto& e : watch.take()) {
        EXPECT_EQ(e.second.written + e.second.other, 0) << e.first << " changed";
        EXPECT_LE(e.second.opened, 1) << e.first;
    }
    EXPECT_EQ(modelFiles(), first);
}

// The destructor neither saves nor brings back a file deleted under the model (as the factory
// reset deletes them).
TEST_F(WallModelTest, DestroyingTheModelWritesNoFile) {
    start();
    ASSERT_EQ(unlink(file("/mnt/qelconfVscreen.ini").c_str()), 0);
    ASSERT_EQ(unlink(file("/mnt/sence/qelconfVSence_02_01.ini").c_str()), 0);
    model->confUnicast->WriteInt("unicastCurIndex", 9, false);  // a change never saved
    const std::map<std::string, FileState> before = modelFiles();
    model.reset();
    EXPECT_EQ(modelFiles(), before);
    EXPECT_EQ(value("/mnt/qelconfUnicast.ini", "unicastCurIndex"), Json::Value(0));
}

namespace {

// Checks a model loaded from the full model's files.
void expectFullModel(VSServer& m) {
    using namespace wallgen;
    ASSERT_TRUE(m.pVScreen && m.pUnicast && m.pHVratio && m.pMulticast);
    EXPECT_EQ(iScreenRows, GRID);
    EXPECT_EQ(iScreenColumns, GRID);
    EXPECT_EQ(iScreenHorCut, 3);
    EXPECT_EQ(iScreenVerCut, 4);
    EXPECT_EQ(iVScreenWidth, 7680);
    EXPECT_EQ(iVScreenHeight, 4320);
    EXPECT_EQ(iRScreenWidth, 1920);
    EXPECT_EQ(iRScreenHeight, 1080);
    const VScreen& wall = *m.pVScreen;
    EXPECT_EQ(int(wall.rows), GRID);
    EXPECT_EQ(int(wall.columns), GRID);
    EXPECT_EQ(wall.width, 7680u);
    for (int c = 0; c < 16; ++c) {
        EXPECT_EQ(wall.ip[c], cellIp(LIVE, 0, 0, c));
        EXPECT_EQ(wall.name[c], cellName(LIVE, 0, 0, c));
        EXPECT_EQ(wall.splitnum[c], cellSplit(c));
    }
    EXPECT_EQ(iUnicastCurIndex, UNICAST_CURRENT);
    EXPECT_EQ(m.pUnicast->curIndex, UNICAST_CURRENT);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(m.pUnicast->ip[i], cellIp(UNICAST, 0, 0, i));
        EXPECT_EQ(m.pUnicast->name[i], cellName(UNICAST, 0, 0, i));
        EXPECT_EQ(m.pUnicast->splitnum[i], cellSplit(i));
    }
    EXPECT_EQ(m.pHVratio->index, 2);
    EXPECT_EQ(m.pHVratio->hor, 4);
    EXPECT_EQ(m.pHVratio->ver, 3);
    EXPECT_EQ(m.pHVratio->horUserDef, 21);
    EXPECT_EQ(m.pHVratio->verUserDef, 9);
    EXPECT_EQ(std::vector<int>({iHVratioIndex, iHVratioHor, iHVratioVer, iHVratioHorUserDef,
                                iHVratioVerUserDef}),
              std::vector<int>({2, 4, 3, 21, 9}));
    EXPECT_EQ(int(wall.horCut), 3);
    EXPECT_EQ(int(wall.verCut), 4);
    EXPECT_EQ(wall.height, 4320u);
    EXPECT_EQ(m.pUnicast->width, 1920);
    EXPECT_EQ(m.pUnicast->height, 1080);
    EXPECT_EQ(m.pMulticast->winUrl.size(), 127u);
    EXPECT_EQ(m.pMulticast->winUrlName.size(), 39u);
    EXPECT_EQ(m.vwMode.modeActive, 2);
    for (int s = 0; s < 5; ++s) {
        ASSERT_TRUE(m.pVSence[s]);
        EXPECT_EQ(int(m.pVSence[s]->id), s);
        EXPECT_EQ(int(m.pVSence[s]->valid), 1);
        EXPECT_EQ(int(m.pVSence[s]->curPreset), 1);
        EXPECT_EQ(m.pVSence[s]->name.size(), 39u);
        EXPECT_EQ(sSenceScreenName[s], m.pVSence[s]->name);
        EXPECT_EQ(sSenceScreenPicSrc[s], m.pVSence[s]->picSrc);
        EXPECT_EQ(m.pVSence[s]->picSrc.size(), 60u);
        EXPECT_EQ(
            std::vector<int>({iSenceScreenRows[s], iSenceScreenColumns[s], iSenceScreenHorCut[s],
                              iSenceScreenVerCut[s], iSenceVScreenWidth[s], iSenceVScreenHeight[s],
                              iSenceScreenId[s], iSenceScreenValid[s], iSenceScreenCurPreset[s]}),
            std::vector<int>({GRID, GRID, 5, 6, 7680, 4320, s, 1, 1}));
        for (int p = 0; p < 3; ++p) {
            const VSenceScreen& rec = *m.pVSenceScreen[s][p];
            EXPECT_EQ(int(rec.rows), GRID);
            EXPECT_EQ(int(rec.columns), GRID);
            EXPECT_EQ(int(rec.horCut), 5);
            EXPECT_EQ(int(rec.verCut), 6);
            EXPECT_EQ(rec.width, 7680u);
            EXPECT_EQ(rec.height, 4320u);
            EXPECT_EQ(rec.disWidth, 1920u);
            EXPECT_EQ(rec.disHeight, 1080u);
            for (int c = 0; c < 16; ++c) {
                EXPECT_EQ(rec.screenIP[c], cellIp(SCENE, s, p, c));
                EXPECT_EQ(rec.screenName[c], cellName(SCENE, s, p, c));
                EXPECT_EQ(rec.screenSplitnum[c], cellSplit(c));
                EXPECT_EQ(rec.disIP[c], cellIp(DISPLAY, s, p, c));
                EXPECT_EQ(rec.disName[c], cellName(DISPLAY, s, p, c));
                EXPECT_EQ(rec.disSplitnum[c], cellSplit(c));
            }
            for (int w = 0; w < 80; ++w) {
                EXPECT_TRUE(sameWin(*m.pVWinSence[s][p][w], window(SCENE, s, p, w)));
                EXPECT_TRUE(sameWin(*m.pVWinSenceOrg[s][p][w], window(SCENE, s, p, w)));
                EXPECT_TRUE(sameWin(*m.pDisWin[s][p][w], window(DISPLAY, s, p, w)));
                EXPECT_TRUE(sameWin(*m.pDisWinOrg[s][p][w], window(DISPLAY, s, p, w)));
            }
        }
    }
    for (int w = 0; w < 80; ++w) {
        EXPECT_TRUE(sameWin(*m.pVWin[w], window(LIVE, 0, 0, w)));
        EXPECT_TRUE(sameWin(*m.pVWinOrg[w], window(LIVE, 0, 0, w)));
    }
    for (int w = 0; w < 1000; ++w) {
        EXPECT_TRUE(sameWin(*m.pUWin[w], window(UNICAST, 0, 0, w)));
        EXPECT_TRUE(sameWin(*m.pUWinOrg[w], window(UNICAST, 0, 0, w)));
    }
}

int saveEverything(VSServer& m) {
    int written = 0;
    for (int w = 0; w < 80; ++w) written += m.saveIniWin(w);
    for (int w = 0; w < 1000; ++w) written += m.saveIniUniWin(w);
    for (int s = 0; s < 5; ++s)
        for (int p = 0; p < 3; ++p)
            for (int w = 0; w < 80; ++w)
                written += m.saveIniWinSence(s, p, w) + m.saveIniDisWin(s, p, w);
    return written;
}

}  // namespace

// A full model, written by the generator or by a model through its own stores and saves,
// loads back whole, reads each block file once, and saving it again changes nothing.
TEST_F(WallModelTest, FullModelRoundTrip) {
    struct Case {
        const char* writer;
        std::function<void(WallModelTest&)> write;
    };
    const Case cases[] = {
        {"generator",
         [](WallModelTest& t) {
             std::string error;
             ASSERT_TRUE(wallgen::writeFiles(t.root, &error)) << error;
         }},
        {"model",
         [](WallModelTest& t) {
             VSServer& m = t.start();
             wallgen::fill(m);
             EXPECT_EQ(saveEverything(m), 0);
         }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.writer);
        model.reset();
        ASSERT_EQ(::system(("rm -rf '" + root + "/mnt/'q* '" + root + "/mnt/sence'").c_str()), 0);
        k.write(*this);
        const std::map<std::string, FileState> files = modelFiles();
        ASSERT_EQ(files.size(), 3480u + 20u);  // blocks and key files
        {
            Watch watch(root);
            VSServer& m = start();
            expectFullModel(m);
            ASSERT_FALSE(watch.overflowed);
            int blocks = 0;
            for (const auto& e : watch.take()) {
                EXPECT_EQ(e.second.written + e.second.other, 0) << e.first << " changed";
                EXPECT_EQ(e.second.opened, 1) << e.first;
                blocks += e.first.find("Win") != std::string::npos &&
                          e.first.find("ModeAll") == std::string::npos;
            }
            EXPECT_EQ(blocks, 3480);
            EXPECT_EQ(saveEverything(m), 0);
        }
        EXPECT_EQ(modelFiles(), files);
    }
}

namespace {

std::string block(uint32_t win, uint32_t winId, uint32_t used, uint32_t hStart,
                  const std::string& url) {
    std::string b(204, '\0');
    auto put = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
    };
    put(0, win);
    put(4, winId);
    put(8, used);
    put(20, hStart);
    b.replace(36, url.size(), url);
    return b;
}

// A stored-value or corrupt-file case: files changed after a first start, then a restart.
struct LoadCase {
    const char* name;
    std::function<void(WallModelTest&)> prepare;
    std::function<void(WallModelTest&, VSServer&)> check;
    const char* log;  // a text the restart must print, or null
};

}  // namespace

class WallModelLoadTable : public WallModelTest {
public:
    void run(const std::vector<LoadCase>& cases) {
        for (const LoadCase& k : cases) {
            SCOPED_TRACE(k.name);
            model.reset();
            ASSERT_EQ(::system(("rm -rf '" + root + "/mnt/'q* '" + root + "/mnt/sence'").c_str()),
                      0);
            start();
            model.reset();
            k.prepare(*this);
            ::testing::internal::CaptureStderr();
            VSServer* m = VSServer::createNew(*env, *server);
            const std::string log = ::testing::internal::GetCapturedStderr();
            model.reset(m);
            ASSERT_TRUE(m);
            if (k.log) {
                EXPECT_NE(log.find(k.log), std::string::npos) << log;
            }
            k.check(*this, *m);
        }
    }
};

TEST_F(WallModelLoadTable, StoredValueRules) {
    run({
        {"a wall of 3 rows and 0 columns counts as new",
         [](WallModelTest& t) {
             t.writeKeys("/mnt/qelconfVscreen.ini",
                         {{"screenRows", 3}, {"screenColumns", 0}, {"screenIP_00", "10.0.0.1"}});
         },
         [](WallModelTest& t, VSServer& m) {
             EXPECT_EQ(iScreenRows, 2);
             EXPECT_EQ(iScreenColumns, 2);
             EXPECT_EQ(m.pVScreen->ip[0], "");
             EXPECT_EQ(t.value("/mnt/qelconfVscreen.ini", "screenRows"), Json::Value(2));
             EXPECT_EQ(t.value("/mnt/qelconfVscreen.ini", "screenColumns"), Json::Value(2));
             EXPECT_EQ(t.value("/mnt/qelconfVscreen.ini", "screenIP_00"), Json::Value(""));
         },
         "/mnt/qelconfVscreen.ini"},
        {"the last preset's grid decides: an empty preset 0 is loaded as it stands",
         [](WallModelTest& t) {
             t.writeBytes(scenePath(1, 0), "");
             KeyList k = firstStartScene(1);
             k[0].second = "from preset 2";
             k[2].second = 1;
             t.writeKeys(scenePath(1, 2), k);
         },
         [](WallModelTest& t, VSServer& m) {
             EXPECT_EQ(t.readBytes(scenePath(1, 0)), "");
             EXPECT_EQ(int(m.pVSenceScreen[1][0]->rows), 0);
             EXPECT_EQ(int(m.pVSenceScreen[1][2]->rows), 2);
             EXPECT_EQ(m.pVSence[1]->name, "from preset 2");
             EXPECT_EQ(int(m.pVSence[1]->valid), 1);
         },
         nullptr},
        {"a last preset without a grid rebuilds the scene",
         [](WallModelTest& t) {
             for (int p = 0; p < 2; ++p) {
                 KeyList k = firstStartScene(3);
                 k[0].second = "old";
                 t.writeKeys(scenePath(3, p), k);
             }
             t.writeKeys(scenePath(3, 2), {{"screensenceName", "old"}});
             t.writeBytes("/mnt/sence/qelconfVWinSence_03_01_05.ini", block(5, 5, 1, 0, "u"));
             t.writeBytes("/mnt/sence/qelconfDisWin_03_02_79.ini", block(79, 79, 1, 0, "u"));
         },
         [](WallModelTest& t, VSServer& m) {
             KeyList expected = firstStartScene(3);
             for (int p = 0; p < 2; ++p) EXPECT_EQ(t.readKeys(scenePath(3, p)), expected);
             EXPECT_EQ(sortedCopy(t.readKeys(scenePath(3, 2))), sortedCopy(expected));
             EXPECT_EQ(m.pVSence[3]->name, "");
             EXPECT_FALSE(t.exists("/mnt/sence/qelconfVWinSence_03_01_05.ini"));
             EXPECT_FALSE(t.exists("/mnt/sence/qelconfDisWin_03_02_79.ini"));
         },
         nullptr},
        {"an empty unicast address loads split 0; a new file holds split 1",
         [](WallModelTest& t) {
             t.writeKeys("/mnt/qelconfUnicast.ini", {{"unicastCurIndex", 0},
                                                     {"unicastip_03", ""},
                                                     {"unicastname_03", "n3"},
                                                     {"unicastsplitnum_03", 4},
                                                     {"unicastip_04", "10.1.1.4"},
                                                     {"unicastname_04", "n4"},
                                                     {"unicastsplitnum_04", 4}});
         },
         [](WallModelTest&, VSServer& m) {
             EXPECT_EQ(m.pUnicast->splitnum[3], 0);
             EXPECT_EQ(m.pUnicast->name[3], "");
             EXPECT_EQ(m.pUnicast->splitnum[4], 4);
             EXPECT_EQ(m.pUnicast->name[4], "n4");
             EXPECT_EQ(m.pUnicast->splitnum[5], 0);
         },
         nullptr},
        {"the current unicast slot alone is laid out",
         [](WallModelTest& t) {
             t.writeKeys(
                 "/mnt/qelconfUnicast.ini",
                 {{"unicastCurIndex", 7}, {"unicastip_07", "10.1.1.7"}, {"unicastsplitnum_07", 4}});
         },
         [](WallModelTest&, VSServer& m) {
             const int expected[4][4] = {{0, 0, 959, 535},
                                         {960, 0, 1919, 535},
                                         {0, 536, 959, 1079},
                                         {960, 536, 1919, 1079}};
             for (int k = 0; k < 4; ++k) {
                 const WinPos& p = *m.pUWinPos[35 + k];
                 EXPECT_EQ(p.used, 1);
                 EXPECT_EQ(std::vector<int>({p.x0, p.y0, p.x1, p.y1}),
                           std::vector<int>(expected[k], expected[k] + 4));
             }
             EXPECT_EQ(m.pUWinPos[39]->used, 0);
             for (int w : {0, 34, 40, 999}) {
                 const WinPos& p = *m.pUWinPos[w];
                 EXPECT_EQ(std::vector<int>({p.used, p.x0, p.y0, p.x1, p.y1}),
                           std::vector<int>(5, 0))
                     << w;
             }
         },
         nullptr},
        {"a stored unicast window keeps its number, a missing one gets its own",
         [](WallModelTest& t) {
             t.writeBytes("/mnt/qelconfUWin_120.ini", block(12, 0, 1, 7, "rtsp://x"));
         },
         [](WallModelTest&, VSServer& m) {
             EXPECT_TRUE(sameWin(*m.pUWin[120], VWin(12, 1, 0, 0, 7, 0, 0, 0, 0, "rtsp://x", "")));
             EXPECT_TRUE(sameWin(*m.pUWinOrg[120], *m.pUWin[120]));
             EXPECT_TRUE(sameWin(*m.pUWin[121], VWin(121, 0, 0, 0, 0, 0, 0, 0, 0, "", "")));
             EXPECT_EQ(int(m.pUWin[999]->win), 999 % 256);
             EXPECT_EQ(m.pUWin[999]->winId, 0u);
         },
         nullptr},
        {"no ratio index: the ratio file is written with its defaults",
         [](WallModelTest& t) {
             t.writeKeys("/mnt/qelconfHVratio.ini", {{"HVratioHor", 4}});
         },
         [](WallModelTest& t, VSServer& m) {
             EXPECT_EQ(sortedCopy(t.readKeys("/mnt/qelconfHVratio.ini")),
                       sortedCopy(firstStartRatio()));
             EXPECT_EQ(m.pHVratio->hor, 16);
             EXPECT_EQ(iHVratioVer, 9);
         },
         nullptr},
        {"a stored ratio reads missing keys as 0",
         [](WallModelTest& t) {
             t.writeKeys("/mnt/qelconfHVratio.ini", {{"HVratioCurIndex", 1}, {"HVratioVer", 3}});
         },
         [](WallModelTest& t, VSServer& m) {
             EXPECT_EQ(t.readKeys("/mnt/qelconfHVratio.ini").size(), 2u);
             EXPECT_EQ(m.pHVratio->index, 1);
             EXPECT_EQ(m.pHVratio->hor, 0);
             EXPECT_EQ(m.pHVratio->ver, 3);
         },
         nullptr},
        {"a stored wall of 1 x 3 with the cell size of the last preset",
         [](WallModelTest& t) {
             t.writeKeys("/mnt/qelconfVscreen.ini", {{"screenRows", 1},
                                                     {"screenColumns", 3},
                                                     {"screenWidth", 3000},
                                                     {"screenIP_02", "10.2.2.2"},
                                                     {"screenSplitnum_02", 5}});
             KeyList k = firstStartScene(4);
             k[k.size() - 50].second = 1000;  // disWidth of scene 4, preset 2
             k[k.size() - 49].second = 500;
             ASSERT_EQ(k[k.size() - 50].first, "disWidth");
             t.writeKeys(scenePath(4, 2), k);
         },
         [](WallModelTest&, VSServer& m) {
             EXPECT_EQ(iRScreenWidth, 1000);
             EXPECT_EQ(m.pVScreen->width, 3000u);
             EXPECT_EQ(m.pVScreen->splitnum[0], 1);
             EXPECT_EQ(m.pVScreen->splitnum[2], 5);
             EXPECT_EQ(m.pVScreen->splitnum[3], 5);
             const WinPos& p = *m.pVWinPos[10];  // cell 2, split 5, 1000 x 500 cells
             EXPECT_EQ(std::vector<int>({p.used, p.x0, p.y0, p.x1, p.y1}),
                       std::vector<int>({1, 2000, 0, 2999, 367}));
             EXPECT_EQ(m.pDisWinPos[4][2][0]->x1, 999);
         },
         nullptr},
        {"a scene cell without a decoder keeps its stored split",
         [](WallModelTest& t) {
             KeyList k = firstStartScene(2);
             for (auto& kv : k)
                 if (kv.first.rfind("screenSplitnum_", 0) == 0) kv.second = 4;
             for (int p = 0; p < 3; ++p) t.writeKeys(scenePath(2, p), k);
         },
         [](WallModelTest&, VSServer& m) {
             for (int p = 0; p < 3; ++p)
                 for (int c = 0; c < 4; ++c) EXPECT_EQ(m.pVSenceScreen[2][p]->screenSplitnum[c], 4);
         },
         nullptr},
        {"over-long names and addresses are cut, never inside a UTF-8 sequence",
         [](WallModelTest& t) {
             t.writeKeys("/mnt/qelconfVscreen.ini",
                         {{"screenRows", 2},
                          {"screenColumns", 2},
                          {"screenIP_00", std::string(400, '1')},
                          {"screenName_00", std::string(62, 'n') + "\xc3\xa9"}});
             t.writeKeys("/mnt/qelconfMulticast.ini",
                         {{"winUrl", std::string(300, 'u')}, {"winUrlName", "m"}});
             KeyList k = firstStartScene(1);
             k[0].second = std::string(400, 's');
             for (int p = 0; p < 3; ++p) t.writeKeys(scenePath(1, p), k);
         },
         [](WallModelTest&, VSServer& m) {
             EXPECT_EQ(m.pVScreen->ip[0], std::string(63, '1'));
             EXPECT_EQ(m.pVScreen->name[0], std::string(62, 'n'));
             EXPECT_EQ(m.pMulticast->winUrl, std::string(127, 'u'));
             EXPECT_EQ(m.pMulticast->winUrlName, "m");
             EXPECT_EQ(m.pVSence[1]->name, std::string(63, 's'));
         },
         "bytes cut to"},
    });
}

// Window-mode counts that address no slot: the capacity is taken as the four slots, the count
// as the slots up to the last valid mode file, so that an add never overwrites a stored mode.
TEST_F(WallModelLoadTable, OutOfRangeModeCountsFollowTheModeFiles) {
    auto mode = [](const char* name) {
        std::unique_ptr<ModeSnapshot> snap(new ModeSnapshot());
        snap->name = name;
        const std::vector<unsigned char> b = encodeModeFile(*snap);
        return std::string(b.begin(), b.end());
    };
    const std::string one = mode("one"), two = mode("two");
    struct Counts {
        int modeMax, modeActive, slots, wantMax, wantActive;
    };
    for (const Counts& c : {Counts{-3, -1, 2, 4, 2}, Counts{9, 7, 1, 4, 1}, Counts{4, -1, 0, 4, 0},
                            Counts{3, 1, 1, 3, 1}}) {
        run({{"mode counts",
              [&](WallModelTest& t) {
                  t.writeKeys("/mnt/qelconfVWinModeAll.ini",
                              {{"modeMax", c.modeMax}, {"modeActive", c.modeActive}});
                  if (c.slots > 0) t.writeBytes("/mnt/qelconfVWinMode_00.ini", one);
                  if (c.slots > 1) t.writeBytes("/mnt/qelconfVWinMode_01.ini", two);
              },
              [&](WallModelTest& t, VSServer& m) {
                  SCOPED_TRACE(std::to_string(c.modeMax) + " " + std::to_string(c.modeActive));
                  EXPECT_EQ(m.vwMode.modeMax, c.wantMax);
                  EXPECT_EQ(m.vwMode.modeActive, c.wantActive);
                  // The list query writes nothing.
                  const std::string list = t.readBytes("/mnt/qelconfVWinModeAll.ini");
                  VWMode got;
                  EXPECT_EQ(m.blGetWinMode(got), 1);
                  EXPECT_EQ(got.modeMax, c.wantMax);
                  EXPECT_EQ(t.readBytes("/mnt/qelconfVWinModeAll.ini"), list);
                  if (c.slots > 0 && c.wantActive > 0) {
                      EXPECT_EQ(got.modeName[0], "one");
                  }
                  std::string name = "three";
                  ASSERT_LT(c.wantActive, c.wantMax);
                  EXPECT_EQ(m.blAddWinMode(&name[0]), 1);
                  if (c.slots > 0) {
                      EXPECT_EQ(t.readBytes("/mnt/qelconfVWinMode_00.ini"), one);
                  }
                  if (c.slots > 1) {
                      EXPECT_EQ(t.readBytes("/mnt/qelconfVWinMode_01.ini"), two);
                  }
                  std::string added;
                  const std::string bytes =
                      t.readBytes("/mnt/qelconfVWinMode_0" + std::to_string(c.wantActive) + ".ini");
                  EXPECT_TRUE(modeFileName(reinterpret_cast<const unsigned char*>(bytes.data()),
                                           bytes.size(), added));
                  EXPECT_EQ(added, "three");
              },
              nullptr}});
    }
}

// A FIFO where a key file or a window block belongs neither stops the start nor is replaced:
// it loads as missing, and a save of that window fails at once.
TEST_F(WallModelLoadTable, FifosLoadAsMissingAndAreNeverWritten) {
    run({{"FIFOs at the ratio file and at a live-wall block",
          [](WallModelTest& t) {
              ASSERT_EQ(unlink(t.file("/mnt/qelconfHVratio.ini").c_str()), 0);
              ASSERT_EQ(mkfifo(t.file("/mnt/qelconfHVratio.ini").c_str(), 0644), 0);
              ASSERT_EQ(unlink(t.file("/mnt/qelconfVWin_03.ini").c_str()), 0);
              ASSERT_EQ(mkfifo(t.file("/mnt/qelconfVWin_03.ini").c_str(), 0644), 0);
          },
          [](WallModelTest& t, VSServer& m) {
              EXPECT_EQ(m.pHVratio->hor, 16);
              m.pVWin[3]->url = "rtsp://10.0.0.9/x";
              const unsigned long before = QelConfig::failedWrites();
              EXPECT_EQ(m.saveIniWin(3), 0);
              EXPECT_EQ(QelConfig::failedWrites(), before + 1);
              for (const char* f : {"/mnt/qelconfHVratio.ini", "/mnt/qelconfVWin_03.ini"}) {
                  struct stat st;
                  ASSERT_EQ(stat(t.file(f).c_str(), &st), 0);
                  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << f;
              }
          },
          "not a regular file"}});
}

// A block file shorter than a block loads as missing; the next save of its window writes it
// whole, even when the record equals the short file's bytes padded with zeros.
TEST_F(WallModelTest, AShortBlockFileIsRepairedByTheNextSave) {
    VSServer& m = start();
    *m.pVWin[9] = VWin();
    writeBytes("/mnt/qelconfVWin_09.ini", std::string(100, '\0'));
    EXPECT_EQ(m.saveIniWin(9), 1);
    EXPECT_EQ(readBytes("/mnt/qelconfVWin_09.ini"), std::string(204, '\0'));
    EXPECT_EQ(m.saveIniWin(9), 0);
}

TEST_F(WallModelLoadTable, CorruptFilesLoadAsMissing) {
    auto zeroWin = VWin();
    run({
        {"a wall file that is not JSON",
         [](WallModelTest& t) { t.writeBytes("/mnt/qelconfVscreen.ini", "{\"config\": [ {"); },
         [](WallModelTest& t, VSServer&) {
             EXPECT_EQ(t.readKeys("/mnt/qelconfVscreen.ini"), firstStartVscreen());
         },
         nullptr},
        {"a wall grid stored as text",
         [](WallModelTest& t) {
             t.writeKeys("/mnt/qelconfVscreen.ini", {{"screenRows", "2"}, {"screenColumns", 2}});
         },
         [](WallModelTest& t, VSServer&) {
             EXPECT_EQ(t.value("/mnt/qelconfVscreen.ini", "screenRows"), Json::Value(2));
             EXPECT_EQ(t.readKeys("/mnt/qelconfVscreen.ini").size(), 18u);
         },
         nullptr},
        {"a unicast file that is not JSON",
         [](WallModelTest& t) { t.writeBytes("/mnt/qelconfUnicast.ini", "\xff\xfe garbage"); },
         [](WallModelTest& t, VSServer& m) {
             EXPECT_EQ(t.readKeys("/mnt/qelconfUnicast.ini"), firstStartUnicast());
             EXPECT_EQ(m.pUnicast->splitnum[0], 1);
         },
         nullptr},
        {"a wall of 5 x 4 cells",
         [](WallModelTest& t) {
             KeyList k = firstStartVscreen();
             k[0].second = 5;
             k[1].second = 4;
             t.writeKeys("/mnt/qelconfVscreen.ini", k);
         },
         [](WallModelTest& t, VSServer& m) {
             EXPECT_EQ(iScreenRows, 2);
             EXPECT_EQ(int(m.pVScreen->rows), 2);
             EXPECT_EQ(t.readKeys("/mnt/qelconfVscreen.ini"), firstStartVscreen());
         },
         "/mnt/qelconfVscreen.ini: grid 5 x 4"},
        {"a wall of 1 x -4 cells",
         [](WallModelTest& t) {
             t.writeKeys("/mnt/qelconfVscreen.ini", {{"screenRows", 1}, {"screenColumns", -4}});
         },
         [](WallModelTest&, VSServer&) { EXPECT_EQ(iScreenColumns, 2); },
         "/mnt/qelconfVscreen.ini: grid 1 x -4"},
        {"a scene whose last preset holds 5 x 4 cells",
         [](WallModelTest& t) {
             KeyList k = firstStartScene(2);
             k[0].second = "big";
             k[5].second = 5;
             k[6].second = 4;
             t.writeKeys(scenePath(2, 2), k);
         },
         [](WallModelTest& t, VSServer& m) {
             EXPECT_EQ(t.readKeys(scenePath(2, 2)), firstStartScene(2));
             EXPECT_EQ(m.pVSence[2]->name, "");
             EXPECT_EQ(iSenceScreenRows[2], 2);
         },
         "/mnt/sence/qelconfVSence_02_02.ini: grid 5 x 4"},
        {"an earlier preset of 300 x 1 cells loads no cell",
         [](WallModelTest& t) {
             KeyList k = firstStartScene(0);
             k[5].second = 300;
             k[6].second = 1;
             t.writeKeys(scenePath(0, 1), k);
         },
         [](WallModelTest& t, VSServer& m) {
             EXPECT_EQ(t.readKeys(scenePath(0, 1)).size(), firstStartScene(0).size());
             EXPECT_EQ(iSenceScreenRows[0], 2);
             EXPECT_EQ(m.pVSenceScreen[0][1]->screenSplitnum[0], 1);
             EXPECT_EQ(m.pVWinSencePos[0][1][0]->used, 0);
             EXPECT_EQ(m.pVWinSencePos[0][2][0]->used, 1);
         },
         "/mnt/sence/qelconfVSence_00_01.ini: grid 300 x 1"},
        {"a current unicast slot of 250",
         [](WallModelTest& t) {
             KeyList k = firstStartUnicast();
             k.back().second = 250;
             t.writeKeys("/mnt/qelconfUnicast.ini", k);
         },
         [](WallModelTest&, VSServer& m) {
             EXPECT_EQ(iUnicastCurIndex, 250);
             EXPECT_EQ(m.pUnicast->curIndex, 250);
             for (int w = 0; w < 1000; ++w) ASSERT_EQ(m.pUWinPos[w]->used, 0) << w;
         },
         "unicastCurIndex 250"},
        {"window blocks of 0, 10 and 203 bytes",
         [](WallModelTest& t) {
             t.writeBytes("/mnt/qelconfVWin_07.ini", "");
             t.writeBytes("/mnt/qelconfVWin_08.ini", block(8, 8, 1, 5, "rtsp://a").substr(0, 10));
             t.writeBytes("/mnt/qelconfVWin_09.ini", block(9, 9, 1, 5, "rtsp://a").substr(0, 203));
             t.writeBytes("/mnt/qelconfUWin_11.ini", block(3, 3, 1, 5, "rtsp://a").substr(0, 203));
             t.writeBytes("/mnt/sence/qelconfDisWin_04_02_79.ini", std::string(10, 'x'));
         },
         [zeroWin](WallModelTest& t, VSServer& m) {
             for (int w : {7, 8, 9}) {
                 EXPECT_TRUE(sameWin(*m.pVWin[w], zeroWin)) << w;
                 EXPECT_TRUE(sameWin(*m.pVWinOrg[w], zeroWin)) << w;
             }
             EXPECT_TRUE(sameWin(*m.pUWin[11], VWin(11, 0, 0, 0, 0, 0, 0, 0, 0, "", "")));
             EXPECT_TRUE(sameWin(*m.pDisWin[4][2][79], zeroWin));
             EXPECT_EQ(t.readBytes("/mnt/qelconfVWin_07.ini"), "");  // read, never written
         },
         "/mnt/qelconfVWin_09.ini: 203 bytes"},
        {"a block of 204 bytes 0xFF",
         [](WallModelTest& t) {
             t.writeBytes("/mnt/qelconfVWin_03.ini", std::string(204, '\xff'));
             t.writeBytes("/mnt/qelconfUWin_04.ini", std::string(204, '\xff'));
         },
         [](WallModelTest&, VSServer& m) {
             EXPECT_TRUE(
                 sameWin(*m.pVWin[3],
                         VWin(255, 255, 255, 255, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                              0xFFFFFFFF, std::string(127, '\xff'), std::string(39, '\xff'))));
             // The stored number reads as "no block", so the window keeps its own.
             EXPECT_EQ(int(m.pUWin[4]->win), 4);
             EXPECT_EQ(m.pUWin[4]->url, std::string(127, '\xff'));
         },
         nullptr},
        {"a block of 300 bytes",
         [](WallModelTest& t) {
             t.writeBytes("/mnt/qelconfVWin_02.ini",
                          block(2, 40, 1, 77, "rtsp://b") + std::string(96, '\x7f'));
         },
         [](WallModelTest&, VSServer& m) {
             EXPECT_TRUE(sameWin(*m.pVWin[2], VWin(2, 1, 0, 0, 77, 0, 0, 0, 40, "rtsp://b", "")));
         },
         nullptr},
        {"a directory where a block file belongs",
         [](WallModelTest& t) {
             ASSERT_EQ(unlink(t.file("/mnt/qelconfVWin_06.ini").c_str()), 0);
             ASSERT_EQ(mkdir(t.file("/mnt/qelconfVWin_06.ini").c_str(), 0755), 0);
             ASSERT_EQ(mkdir(t.file("/mnt/qelconfUWin_10.ini").c_str(), 0755), 0);
         },
         [zeroWin](WallModelTest&, VSServer& m) {
             EXPECT_TRUE(sameWin(*m.pVWin[6], zeroWin));
             EXPECT_EQ(int(m.pUWin[10]->win), 10);
             m.pVWin[6]->used = 1;
             EXPECT_EQ(m.saveIniWin(6), 0);  // a directory cannot be replaced
         },
         "/mnt/qelconfVWin_06.ini: not a regular file"},
    });
}
