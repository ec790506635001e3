// Window block files: written only when the block changes, in one replacing write, at their
// family's file name.
#include <signal.h>
#include <sys/resource.h>

#include <functional>

#include "WallModelFixture.h"

namespace {

struct Family {
    const char* path;
    std::function<VWin&(VSServer&)> record;
    std::function<int(VSServer&)> save;
    std::function<int(VSServer&)> remove;  // null: the family has no remove
};

const Family kFamilies[] = {
    {"/mnt/qelconfVWin_07.ini", [](VSServer& m) -> VWin& { return *m.pVWin[7]; },
     [](VSServer& m) { return m.saveIniWin(7); }, [](VSServer& m) { return m.removeIniWin(7); }},
    {"/mnt/qelconfUWin_120.ini", [](VSServer& m) -> VWin& { return *m.pUWin[120]; },
     [](VSServer& m) { return m.saveIniUniWin(120); }, nullptr},
    {"/mnt/sence/qelconfVWinSence_01_02_03.ini",
     [](VSServer& m) -> VWin& { return *m.pVWinSence[1][2][3]; },
     [](VSServer& m) { return m.saveIniWinSence(1, 2, 3); },
     [](VSServer& m) { return m.removeIniSenceWin(1, 2, 3); }},
    {"/mnt/sence/qelconfDisWin_04_00_79.ini",
     [](VSServer& m) -> VWin& { return *m.pDisWin[4][0][79]; },
     [](VSServer& m) { return m.saveIniDisWin(4, 0, 79); },
     [](VSServer& m) { return m.removeIniDisWin(4, 0, 79); }},
};

std::string le(uint32_t v) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char(v >> (8 * i));
    return b;
}

// The block a window must be stored as, built field by field from the layout.
std::string expectedBlock(const VWin& w) {
    std::string b = le(w.win) + le(w.winId) + le(w.used) + le(w.layer) + le(w.visible) +
                    le(w.hStart) + le(w.hEnd) + le(w.vStart) + le(w.vEnd);
    std::string url = w.url.substr(0, 127), name = w.name.substr(0, 39);
    return b + url + std::string(128 - url.size(), '\0') + name +
           std::string(40 - name.size(), '\0');
}

struct Stamp {
    ino_t inode;
    long long mtimeNs;
    bool operator==(const Stamp& o) const { return inode == o.inode && mtimeNs == o.mtimeNs; }
};

Stamp stamp(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return Stamp{0, -1};
    return Stamp{st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

}  // namespace

TEST_F(WallModelTest, BlockSavesWriteOnlyChanges) {
    VSServer& m = start();
    for (const Family& f : kFamilies) {
        SCOPED_TRACE(f.path);
        VWin& rec = f.record(m);
        rec = VWin(rec.win, 1, 2, 1, 1920, 3839, 0x01020304, 0xA0B0C0D0, 70000,
                   "rtsp://10.77.0.5:554/stream1", "camera 5");
        EXPECT_EQ(f.save(m), 1);
        EXPECT_EQ(readBytes(f.path), expectedBlock(rec));

        const Stamp before = stamp(file(f.path));
        usleep(20000);  // a rewrite would show in the modification time
        EXPECT_EQ(f.save(m), 0);
        EXPECT_EQ(stamp(file(f.path)), before);

        rec.name = "camera 6";
        EXPECT_EQ(f.save(m), 1);
        EXPECT_EQ(readBytes(f.path), expectedBlock(rec));

        if (f.remove) {
            EXPECT_EQ(f.remove(m), 1);
            EXPECT_FALSE(exists(f.path));
            EXPECT_TRUE(sameWin(f.record(m), rec));  // the record stays
            EXPECT_EQ(f.save(m), 1);
            EXPECT_EQ(readBytes(f.path), expectedBlock(rec));
        }
    }
}

// A missing file reads as a zero block: window 0's default record equals it, window 1's does
// not.
TEST_F(WallModelTest, DefaultWindowZeroMakesNoFile) {
    VSServer& m = start();
    EXPECT_EQ(m.saveIniUniWin(0), 0);
    EXPECT_FALSE(exists("/mnt/qelconfUWin_00.ini"));
    EXPECT_EQ(m.saveIniUniWin(1), 1);
    EXPECT_EQ(readBytes("/mnt/qelconfUWin_01.ini"),
              expectedBlock(VWin(1, 0, 0, 0, 0, 0, 0, 0, 0, "", "")));
    EXPECT_EQ(m.removeIniWin(0), 1);
    *m.pVWin[0] = VWin();
    EXPECT_EQ(m.saveIniWin(0), 0);
    EXPECT_FALSE(exists("/mnt/qelconfVWin_00.ini"));
}

// Texts past their field are cut, and the cut block counts as unchanged afterwards.
TEST_F(WallModelTest, OverlongTextsAreCutOnceAndStayUnchanged) {
    VSServer& m = start();
    m.pVWin[4]->url = std::string(200, 'u');
    m.pVWin[4]->name = std::string(38, 'n') + "\xc3\xa9";  // the two bytes of an e-acute
    EXPECT_EQ(m.saveIniWin(4), 1);
    const std::string bytes = readBytes("/mnt/qelconfVWin_04.ini");
    ASSERT_EQ(bytes.size(), 204u);
    EXPECT_EQ(bytes.substr(36, 128), std::string(127, 'u') + '\0');
    EXPECT_EQ(bytes.substr(164, 40), std::string(38, 'n') + std::string(2, '\0'));
    EXPECT_EQ(m.saveIniWin(4), 0);
}

TEST_F(WallModelTest, IndicesOutsideTheFamilyDoNothing) {
    VSServer& m = start();
    const std::map<std::string, FileState> before = modelFiles();
    EXPECT_EQ(m.saveIniWin(-1), 0);
    EXPECT_EQ(m.saveIniWin(80), 0);
    EXPECT_EQ(m.saveIniUniWin(1000), 0);
    EXPECT_EQ(m.saveIniUniWin(-5), 0);
    for (auto spw :
         {std::vector<int>{5, 0, 0}, {-1, 0, 0}, {0, 3, 0}, {0, -1, 0}, {0, 0, 80}, {4, 2, -1}}) {
        EXPECT_EQ(m.saveIniWinSence(spw[0], spw[1], spw[2]), 0);
        EXPECT_EQ(m.saveIniDisWin(spw[0], spw[1], spw[2]), 0);
        EXPECT_EQ(m.removeIniSenceWin(spw[0], spw[1], spw[2]), 0);
        EXPECT_EQ(m.removeIniDisWin(spw[0], spw[1], spw[2]), 0);
    }
    EXPECT_EQ(m.removeIniWin(80), 0);
    EXPECT_EQ(m.removeIniWin(-1), 0);
    EXPECT_EQ(modelFiles(), before);
}

// A write that fails part-way (the file size limit) leaves the old block whole.
TEST_F(WallModelTest, AFailedSaveKeepsTheOldBlock) {
    VSServer& m = start();
    const std::string old = readBytes("/mnt/qelconfVWin_05.ini");
    m.pVWin[5]->url = "rtsp://10.77.0.3/stream";
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = m.saveIniWin(5);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readBytes("/mnt/qelconfVWin_05.ini"), old);
    EXPECT_EQ(modelFiles().size(), 98u);  // no temporary file left behind
    EXPECT_EQ(m.saveIniWin(5), 1);
}
