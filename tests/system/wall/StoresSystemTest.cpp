// The real controller's files and decoder queue under what a new user meets: a file that
// cannot be written while the others can, FIFOs where files belong, settings across a restart
// after SIGKILL, and 20 operators changing the wall faster than the decoders are told. Four
// fake decoders in the wall's cells (10.77.0.2 to 10.77.0.5); commands on the text port.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <random>

#include "ScreensSystemFixture.h"
#include "support/Installation.h"

using namespace screens;

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Every regular file under dir, by name, with its bytes.
std::map<std::string, std::string> filesIn(const std::string& dir) {
    std::map<std::string, std::string> out;
    std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
    if (!d) return out;
    while (dirent* e = readdir(d.get())) {
        const std::string path = dir + "/" + e->d_name;
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) out[e->d_name] = readAll(path);
    }
    return out;
}

bool isFifo(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool ackStatus(const Json::Value& v, bool* ok) {
    const Json::Value& a = v["ack"];
    const Json::Value& one = a.isArray() && a.size() > 0 ? a[0] : a;
    if (!one.isObject() || !one.isMember("status")) return false;
    *ok = one["status"] == Json::Value("success");
    return true;
}

}  // namespace

class StoresSystem : public ScreensSystem {
protected:
    // Fills the wall's four cells with the decoders.
    void placeWall() {
        for (int c = 0; c < 4; ++c) {
            const std::string src = "config set vs src params " + std::to_string(c) + " " + dec(c);
            EXPECT_EQ(ask(src), oldAck(src, true));
            datagrams(9);
        }
    }

    // Sends one command and gives its acknowledgement's status, whichever envelope it has and
    // whatever list comes before it.
    bool status(const std::string& command) {
        EXPECT_TRUE(text.send(command));
        for (int i = 0; i < 4; ++i) {
            const Json::Value v = parsed(replies.next(5s));
            bool ok = false;
            if (ackStatus(v, &ok)) return ok;
        }
        ADD_FAILURE() << "no acknowledgement for " << command;
        return false;
    }

    // SIGKILL, then the controller started again on the same files.
    void restart() {
        server->signal(SIGKILL);
        server->waitExit(10s);
        text.close();
        server = ctrl->start(qeltest::programPath("ctrlserver"));
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();
        ASSERT_TRUE(net->boxes().back()->run([&] { return text.connect(ctrl->ip(), 8886, 3s); }))
            << text.error();
    }

    std::string sence(const std::string& name) const { return ctrl->path("/mnt/sence/" + name); }

    // The one reply of a scene query (its list, or its failure).
    Json::Value one(const std::string& command) {
        EXPECT_TRUE(text.send(command));
        return parsed(replies.next(5s));
    }
};

// A preset save, a scene create, a window-mode add and a live-wall change whose key files fit
// but one of whose files cannot be written (a directory stands at its path) all answer
// failure, and after SIGKILL and a restart every file holds what was stored before.
TEST_F(StoresSystem, AWriteThatFailsIsAFailureAndKeepsWhatWasStored) {
    placeWall();
    EXPECT_TRUE(status("scene save preset Lobby 1 1"));
    datagrams(0);

    // Preset save: window 15's block of scene 0, preset 0 cannot be written.
    const std::string change = "config set vs split params 3 4 0";
    EXPECT_TRUE(status(change));
    datagrams(0);
    const std::string block15 = sence("qelconfVWinSence_00_00_15.ini");
    ASSERT_EQ(::system(("rm -f '" + block15 + "'").c_str()), 0);
    ASSERT_EQ(mkdir(block15.c_str(), 0755), 0);
    const auto scenesBefore = filesIn(ctrl->path("/mnt/sence"));
    // A query right after a failure shows what the files hold, as a restart would load it.
    const std::string presetQuery = "config get sence vs list params 0 0";
    const Json::Value preset = one(presetQuery);
    EXPECT_FALSE(status("scene save preset Lobby 1 1"));
    EXPECT_EQ(one(presetQuery), preset);
    // Scene create: a block of scene 1 cannot be written.
    const std::string scene1 = sence("qelconfVWinSence_01_02_03.ini");
    ASSERT_EQ(::system(("rm -f '" + scene1 + "'").c_str()), 0);
    ASSERT_EQ(mkdir(scene1.c_str(), 0755), 0);
    const auto before = filesIn(ctrl->path("/mnt/sence"));
    const std::string create = "config set sence params Hall";
    const Json::Value scenes = one("config get sence list params");
    EXPECT_FALSE(status(create));
    EXPECT_EQ(one("config get sence list params"), scenes);
    // Window-mode add: the slot file cannot be written.
    ASSERT_EQ(mkdir(ctrl->path("/mnt/qelconfVWinMode_00.ini").c_str(), 0755), 0);
    const auto mntBefore = filesIn(ctrl->path("/mnt"));
    const std::string add = "config set add winmode Morning";
    EXPECT_FALSE(status(add));
    // A live-wall change: window 5's block cannot be written.
    const std::string win5 = ctrl->path("/mnt/qelconfVWin_05.ini");
    ASSERT_EQ(::system(("rm -f '" + win5 + "' && mkdir '" + win5 + "'").c_str()), 0);
    const std::string split = "config set vs split params 1 4 0";
    EXPECT_FALSE(status(split));
    datagrams(0);

    restart();
    auto after = filesIn(ctrl->path("/mnt/sence"));
    EXPECT_EQ(after, before);
    for (const auto& f : scenesBefore) EXPECT_EQ(after[f.first], f.second) << f.first;
    auto mntAfter = filesIn(ctrl->path("/mnt"));
    auto mntThen = mntBefore;
    EXPECT_EQ(mntAfter["qelconfVWinModeAll.ini"], mntThen["qelconfVWinModeAll.ini"]);
    // Once the files can be written again, the same commands succeed.
    ASSERT_EQ(::system(("rmdir '" + block15 + "' '" + scene1 + "' '" + win5 + "' '" +
                        ctrl->path("/mnt/qelconfVWinMode_00.ini") + "'")
                           .c_str()),
              0);
    EXPECT_TRUE(status("scene save preset Lobby 1 1"));
    EXPECT_TRUE(status(create));
    EXPECT_TRUE(status(add));
    EXPECT_TRUE(status(split));
    EXPECT_EQ(server->stop(), 0);
}

// A nearly full disk: /mnt/sence is a small tmpfs (in a mount namespace of this test's own)
// filled up to a few pages, so the preset key files still fit and the window blocks do not.
// The save answers failure; after SIGKILL and a restart every scene file is as before; with
// room again the same save succeeds.
TEST_F(StoresSystem, APresetSaveOnANearlyFullDiskFailsAndKeepsTheOldPreset) {
    placeWall();
    EXPECT_TRUE(status("scene save preset Lobby 1 1"));
    datagrams(0);
    server->stop();
    text.close();

    ASSERT_EQ(unshare(CLONE_NEWNS), 0) << strerror(errno);
    ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0) << strerror(errno);
    const std::string dir = ctrl->path("/mnt/sence");
    const std::string aside = ctrl->path("/mnt/sence-aside");
    ASSERT_EQ(rename(dir.c_str(), aside.c_str()), 0);
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    ASSERT_EQ(mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=8m"), 0) << strerror(errno);
    struct Unmount {
        std::string at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{dir};
    ASSERT_EQ(::system(("cp -a '" + aside + "'/. '" + dir + "'/").c_str()), 0);
    const auto before = filesIn(dir);
    // Room for one preset key file being replaced and 8 pages more: the key files fit, the
    // twenty window blocks the save changes (a page each) do not.
    const long long keyPages =
        static_cast<long long>(readAll(dir + "/qelconfVSence_00_00.ini").size()) / 4096 + 1;
    struct statvfs vfs;
    ASSERT_EQ(statvfs(dir.c_str(), &vfs), 0);
    const long long room =
        static_cast<long long>(vfs.f_bavail) * vfs.f_bsize - (keyPages + 8) * 4096;
    ASSERT_GT(room, 0);
    const std::string fill = dir + "/zz-filler";
    {
        const int fd = open(fill.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(posix_fallocate(fd, 0, room), 0);
        close(fd);
    }

    server = ctrl->start(qeltest::programPath("ctrlserver"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();
    ASSERT_TRUE(net->boxes().back()->run([&] { return text.connect(ctrl->ip(), 8886, 3s); }));
    // Every cell on split 4: all twenty windows of the wall differ from the stored preset.
    for (int c = 0; c < 4; ++c)
        EXPECT_TRUE(status("config set vs split params " + std::to_string(c) + " 4 0"));
    datagrams(0);
    EXPECT_FALSE(status("scene save preset Lobby 1 1")) << server->output();
    // The key files were written; a block was not, and the key files went back.
    EXPECT_TRUE(server->waitForStderr("window blocks not written", 5s));

    restart();
    auto after = filesIn(dir);
    after.erase("zz-filler");
    EXPECT_EQ(after, before);
    ASSERT_EQ(unlink(fill.c_str()), 0);
    EXPECT_TRUE(status("scene save preset Lobby 1 1"));
    EXPECT_NE(filesIn(dir), before);
    EXPECT_EQ(server->stop(), 0);
}

// The live wall, a unicast screen and the multicast screen, with a fifth decoder for the
// unicast screen and an encoder for the multicast source.
class ScreenStoresSystem : public StoresSystem {
protected:
    ScreenStoresSystem() {
        decoderCount = 5;
        encoders = {{"10.77.0.20",
                     "TX1",
                     "tx-1",
                     "00:11:22:33:55:20",
                     "1.0",
                     {{"url0", "rtsp://10.77.0.20/main"}}}};
    }

    // Every reply of one command, up to and with its acknowledgement.
    std::vector<Json::Value> query(const std::string& command) {
        EXPECT_TRUE(text.send(command));
        std::vector<Json::Value> got;
        for (int i = 0; i < 4; ++i) {
            got.push_back(parsed(replies.next(5s)));
            bool ok = false;
            if (ackStatus(got.back(), &ok)) return got;
        }
        ADD_FAILURE() << "no acknowledgement for " << command;
        return got;
    }

    // The model's files (the device tables follow the network and are left out).
    std::map<std::string, std::string> stores() {
        std::map<std::string, std::string> out;
        for (auto& f : filesIn(ctrl->path("/mnt")))
            if (f.first.rfind("qelconf", 0) == 0) out.insert(f);
        for (auto& f : filesIn(ctrl->path("/mnt/sence"))) out["sence/" + f.first] = f.second;
        return out;
    }
};

// A change of each screen, one of whose window blocks cannot be written (a directory stands
// at its path), answers failure: a query right after it and one after SIGKILL and a restart
// show what was there before, and every file is as it was. With the directory gone the same
// change succeeds.
TEST_F(ScreenStoresSystem, AFailedScreenChangeKeepsTheOldScreenInTheFilesAndTheModel) {
    placeWall();
    const std::string encoder = "10.77.0.20";
    struct Case {
        std::vector<std::string> before;  // set up first, each a success
        std::string block;                // the block that cannot be written
        std::string change;
        std::string shows;  // the query that shows the change
    };
    const Case cases[] = {
        {{},
         "/mnt/qelconfVWin_05.ini",
         "config set vs split params 1 4 0",
         "config get vs screen params"},
        {{"config set unicast src params 0 " + dec(4)},
         "/mnt/qelconfUWin_01.ini",
         "config set unicast split params 0 4 0",
         "config get unicast screen params"},
        {{"config set vs url params 0 esource " + encoder + " 0"},
         "/mnt/qelconfVWin_10.ini",
         "config set multicast url params 0 esource " + encoder + " 0",
         "config get multicast win params"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.change);
        for (const std::string& b : k.before) EXPECT_TRUE(status(b));
        datagrams(0);
        const std::string block = ctrl->path(k.block);
        ASSERT_EQ(::system(("rm -f '" + block + "' && mkdir '" + block + "'").c_str()), 0);
        const auto files = stores();
        const std::vector<Json::Value> shown = query(k.shows);
        const std::vector<Json::Value> wall = query("config get vs screen params");

        EXPECT_FALSE(status(k.change));
        EXPECT_EQ(query(k.shows), shown);
        EXPECT_EQ(query("config get vs screen params"), wall);
        EXPECT_EQ(stores(), files);
        // Nothing of the failed change reaches the decoders.
        EXPECT_TRUE(datagrams(0).empty());

        restart();
        EXPECT_EQ(query(k.shows), shown);
        EXPECT_EQ(query("config get vs screen params"), wall);
        EXPECT_EQ(stores(), files);

        ASSERT_EQ(rmdir(block.c_str()), 0);
        EXPECT_TRUE(status(k.change));
        EXPECT_NE(query(k.shows), shown);
        EXPECT_NE(stores(), files);
        datagrams(0);
    }
    EXPECT_EQ(server->stop(), 0);
}

// FIFOs at a key file and at a window block: the controller starts, answers every command,
// and the FIFOs stay FIFOs.
TEST_F(StoresSystem, FifosNeitherFreezeNorAreReplaced) {
    server->stop();
    text.close();
    const std::string ratio = ctrl->path("/mnt/qelconfHVratio.ini");
    const std::string block = ctrl->path("/mnt/qelconfVWin_00.ini");
    ASSERT_EQ(::system(("rm -f '" + ratio + "' '" + block + "'").c_str()), 0);
    ASSERT_EQ(mkfifo(ratio.c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(block.c_str(), 0644), 0);
    server = ctrl->start(qeltest::programPath("ctrlserver"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started", 20s)) << server->output();
    EXPECT_NE(server->output().find("not a regular file"), std::string::npos);
    ASSERT_TRUE(net->boxes().back()->run([&] { return text.connect(ctrl->ip(), 8886, 3s); }));
    // Placing decoder 0 saves window 0, whose block is the FIFO: answered, as a failure.
    EXPECT_FALSE(status("config set vs src params 0 " + dec(0)));
    // The ratio file is the other FIFO; the ratio command and a query are answered. The
    // placement that failed was not kept: no cell holds a decoder, as the files say.
    EXPECT_FALSE(status("config set ratio params 1"));
    EXPECT_FALSE(status("config get vs all params"));
    EXPECT_TRUE(isFifo(ratio));
    EXPECT_TRUE(isFifo(block));
    EXPECT_EQ(server->stop(), 0);
}

// "config set sence vs split params S 0 255 4 0" over a scene whose cells have no decoder:
// after a restart every cell is still on split 4, as its key files say.
TEST_F(StoresSystem, ASplitOverEmptySceneCellsSurvivesARestart) {
    EXPECT_TRUE(status("config set sence params Lobby"));
    EXPECT_TRUE(status("config set sence vs src params 0 0 1 " + dec(1)));
    EXPECT_TRUE(status("config set sence vs split params 0 0 255 4 0"));
    datagrams(0);
    const std::string keys = sence("qelconfVSence_00_00.ini");
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(fileKey(keys, "screenSplitnum_0" + std::to_string(c)), 4) << c;
    restart();
    // A change to cell 1 writes the preset file again from what the restart loaded.
    EXPECT_TRUE(status("config set sence vs src params 0 0 1 " + dec(2)));
    for (int c : {0, 2, 3})
        EXPECT_EQ(fileKey(keys, "screenSplitnum_0" + std::to_string(c)), 4) << c;
    EXPECT_EQ(server->stop(), 0);
}

// Window-mode counts out of range in the list file (capacity -3, count 9 over one stored
// mode): the list shows four slots with the stored mode, writes nothing, and an add goes
// behind the stored mode instead of over it.
TEST_F(StoresSystem, OutOfRangeModeCountsLeaveTheModesUsable) {
    EXPECT_TRUE(status("config set add winmode First"));
    server->stop();
    text.close();
    const std::string list = ctrl->path("/mnt/qelconfVWinModeAll.ini");
    {
        std::ofstream out(list, std::ios::trunc);
        out << R"({"config": [{"modeMax": -3}, {"modeActive": 9}]})";
    }
    const std::string first = readAll(ctrl->path("/mnt/qelconfVWinMode_00.ini"));
    ASSERT_FALSE(first.empty());
    server = ctrl->start(qeltest::programPath("ctrlserver"));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();
    ASSERT_TRUE(net->boxes().back()->run([&] { return text.connect(ctrl->ip(), 8886, 3s); }));

    const std::string stored = readAll(list);
    Json::Value modes;
    const std::string get = "config get winmodes";
    EXPECT_EQ(ask(get, &modes), oldAck(get, true));
    ASSERT_TRUE(modes["winmode"].isArray()) << modes;
    ASSERT_EQ(modes["winmode"].size(), 4u) << modes;
    EXPECT_EQ(modes["winmode"][0]["modename"], Json::Value("First"));
    EXPECT_EQ(modes["winmode"][0]["modeactive"], Json::Value(1));
    EXPECT_EQ(readAll(list), stored);

    EXPECT_TRUE(status("config set add winmode Second"));
    EXPECT_EQ(readAll(ctrl->path("/mnt/qelconfVWinMode_00.ini")), first);
    EXPECT_EQ(fileKey(list, "modeActive"), 2);
    EXPECT_EQ(server->stop(), 0);
}

// 20 operators move windows every 100-400 ms, far faster than one decoder text each 15 ms
// can follow. Every command is answered; a refused one sends none of its texts, an accepted
// one all of them, in order; and what is still queued when the operators stop stays within the
// queue's bound, so the controller's memory cannot follow the load. (The memory itself is a
// figure for the soak: under the sanitizers it moves with their own bookkeeping.)
TEST_F(StoresSystem, ABurstFrom20ClientsKeepsTheDecoderQueueBounded) {
    placeWall();
    const int kClients = 20;
    const int kQueueBound = 1024;  // the controller's bound on waiting decoder texts
    std::vector<std::unique_ptr<qeltest::TcpClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back(new qeltest::TcpClient());
        ASSERT_TRUE(net->boxes().back()->run(
            [&] { return clients.back()->connect(ctrl->ip(), 8886, 3s); }));
    }
    // Every client moves window 0 across all four cells (some ten texts to the four decoders
    // each time), its left edge at 8 * (20 * (n % 8) + i) pixels, so that the video text for
    // decoder 0 names the client and its command.
    std::atomic<bool> stop{false};
    std::atomic<int> refused{0}, unanswered{0};
    std::vector<std::vector<int>> accepted(kClients);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            qeltest::JsonTexts in(*clients[i]);
            std::mt19937 rng(i);
            for (int n = 0; !stop && n < 2000; ++n) {
                const int x0 = 8 * (20 * (n % 8) + i);
                const std::string cmd = "config set vs win params 0 " + std::to_string(x0) +
                                        " 3000 0 " + std::to_string(1600 + n % 2);
                if (!clients[i]->send(cmd)) {
                    ++unanswered;
                    return;
                }
                bool answered = false, ok = false;
                for (int r = 0; r < 3 && !answered; ++r) {
                    const auto t = in.next(20s);
                    if (!t) break;
                    Json::Value v;
                    Json::Reader reader;
                    if (reader.parse(*t, v, false)) answered = ackStatus(v, &ok);
                }
                if (!answered) {
                    ++unanswered;
                    return;
                }
                if (ok)
                    accepted[i].push_back(n % 8);
                else
                    ++refused;
                std::this_thread::sleep_for(std::chrono::milliseconds(100 + rng() % 301));
            }
        });
    }
    // Run until the bound has refused a fair number of commands (at most a minute).
    const pid_t pid = server->pid();
    long rssFirst = -1, rssLast = -1;
    for (int t = 0; t < 600 && refused < 40 && unanswered == 0; ++t) {
        std::this_thread::sleep_for(100ms);
        if (rssFirst < 0 && refused > 0) rssFirst = qeltest::residentKb(pid);
    }
    std::this_thread::sleep_for(5s);  // more load while the queue is full
    rssLast = qeltest::residentKb(pid);
    stop = true;
    for (auto& t : threads) t.join();
    const size_t atStop = wire->seen().size();
    EXPECT_EQ(unanswered, 0);
    EXPECT_GT(refused, 0) << "the burst never filled the queue";
    size_t acceptedCount = 0;
    for (const auto& a : accepted) acceptedCount += a.size();
    printf(
        "accepted %zu, refused %d, %zu texts delivered; controller RSS %ld kB at the first "
        "refusal, %ld kB at the end\n",
        acceptedCount, refused.load(), atStop, rssFirst, rssLast);

    // The queue drains; it held no more than its bound when the operators stopped.
    size_t last = 0;
    for (int quiet = 0, t = 0; quiet < 30 && t < 1200; ++t) {
        std::this_thread::sleep_for(100ms);
        const size_t now = wire->seen().size();
        quiet = now == last ? quiet + 1 : 0;
        last = now;
    }
    const std::vector<qeltest::Seen> seen = wire->seen();
    EXPECT_LE(seen.size() - atStop, static_cast<size_t>(kQueueBound + 64));

    // Per client, the video texts of its window, in arrival order: exactly its accepted moves.
    std::vector<std::vector<int>> delivered(kClients);
    const std::string ownVideo = "config qel set video params " + dec(0) + " 0 ";
    for (const qeltest::Seen& s : seen) {
        if (s.text.rfind(ownVideo, 0) != 0) continue;
        const int k = atoi(s.text.c_str() + ownVideo.size()) / 8;
        delivered[k % 20].push_back(k / 20);
    }
    for (int i = 0; i < kClients; ++i) EXPECT_EQ(delivered[i], accepted[i]) << "client " << i;
    EXPECT_EQ(server->stop(), 0);
}
