// A wall model over a fresh box root of its own, with helpers to write, read and watch its
// files.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "device/DevServer.h"
#include "live/BasicUsageEnvironment.hh"
#include "support/NoNetwork.h"
#include "wall/VSServer.h"
#include "WallFirstStart.h"

class WallModelTest : public ::testing::Test {
public:
    void SetUp() override {
        // The device server beside the model owns a sending thread: keep it off the network.
        if (!qeltest::isolateFromNetwork()) GTEST_SKIP() << "needs root to run without a network";
        char dir[] = "/tmp/qel-wall-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root = dir;
        setenv("QEL_ROOT", root.c_str(), 1);
        ASSERT_EQ(mkdir((root + "/mnt").c_str(), 0755), 0);
        scheduler = BasicTaskScheduler::createNew();
        env = BasicUsageEnvironment::createNew(*scheduler);
        dev.reset(DevServer::createNew(*env, Port(6668), 0));
    }

    void TearDown() override {
        model.reset();
        dev.reset();
        delete env;
        delete scheduler;
        if (!root.empty()) {
            std::string cmd = "rm -rf '" + root + "'";
            if (::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << root;
        }
    }

    struct Deleter {
        void operator()(DevServer* s) const { delete s; }
        void operator()(VSServer* s) const { delete s; }
    };

    // (Re)builds the model from the files as they are now.
    VSServer& start() {
        model.reset();
        model.reset(VSServer::createNew(*env, *dev));
        if (!model) ADD_FAILURE() << "no model";
        return *model;
    }

    std::string file(const std::string& boxPath) const { return root + boxPath; }
    bool exists(const std::string& boxPath) const {
        struct stat st;
        return lstat(file(boxPath).c_str(), &st) == 0;
    }

    void writeKeys(const std::string& boxPath, const KeyList& kv) {
        Json::Value doc(Json::objectValue);
        doc["config"] = Json::Value(Json::arrayValue);
        for (const auto& p : kv) {
            Json::Value e(Json::objectValue);
            e[p.first] = p.second;
            doc["config"].append(e);
        }
        writeBytes(boxPath, doc.toStyledString());
    }

    // The file's keys and values in file order (empty when it does not parse).
    KeyList readKeys(const std::string& boxPath) {
        KeyList out;
        Json::Value doc;
        Json::Reader reader;
        if (!reader.parse(readBytes(boxPath), doc) || !doc.isObject()) return out;
        for (const Json::Value& e : doc["config"])
            for (const std::string& k : e.getMemberNames()) out.emplace_back(k, e[k]);
        return out;
    }

    Json::Value value(const std::string& boxPath, const std::string& key) {
        Json::Value v;
        for (const auto& p : readKeys(boxPath))
            if (p.first == key) v = p.second;
        return v;
    }

    void writeBytes(const std::string& boxPath, const std::string& bytes) {
        std::ofstream out(file(boxPath), std::ios::binary | std::ios::trunc);
        out << bytes;
        ASSERT_TRUE(out.good()) << boxPath;
    }

    std::string readBytes(const std::string& boxPath) const {
        std::ifstream in(file(boxPath), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    // What a model file looks like on disk, to tell whether it was touched.
    struct FileState {
        ino_t inode;
        long long mtimeNs;
        std::string bytes;
        bool operator==(const FileState& o) const {
            return inode == o.inode && mtimeNs == o.mtimeNs && bytes == o.bytes;
        }
    };

    // Every model file (names beginning "qelconf") under /mnt and /mnt/sence.
    std::map<std::string, FileState> modelFiles() const {
        std::map<std::string, FileState> files;
        for (const char* dir : {"/mnt", "/mnt/sence"}) {
            DIR* d = opendir(file(dir).c_str());
            if (!d) continue;
            while (struct dirent* e = readdir(d)) {
                const std::string name = e->d_name;
                if (name == "." || name == ".." || name == "sence") continue;
                if (name.rfind("qeldev", 0) == 0) continue;  // the device server's tables
                const std::string boxPath = std::string(dir) + "/" + name;
                struct stat st;
                if (lstat(file(boxPath).c_str(), &st) != 0) continue;
                files[boxPath] =
                    FileState{st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                              S_ISREG(st.st_mode) ? readBytes(boxPath) : ""};
            }
            closedir(d);
        }
        return files;
    }

    // Counts what happens to the model files of /mnt and /mnt/sence while it lives.
    class Watch {
    public:
        explicit Watch(const std::string& root) {
            fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            for (const char* dir : {"/mnt", "/mnt/sence"}) {
                int wd = inotify_add_watch(
                    fd, (root + dir).c_str(),
                    IN_OPEN | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MODIFY);
                dirs[wd] = dir;
            }
        }
        ~Watch() { close(fd); }
        struct Counts {
            int opened = 0;   // opens of the file
            int written = 0;  // the file replaced or written in place
            int other = 0;    // any other change to any name (temporary files included)
        };
        // Events per box path since the last call; names of the device tables are skipped.
        std::map<std::string, Counts> take() {
            std::map<std::string, Counts> counts;
            alignas(struct inotify_event) char buf[1 << 16];
            for (;;) {
                ssize_t n = read(fd, buf, sizeof buf);
                if (n <= 0) break;
                for (char* p = buf; p < buf + n;) {
                    auto* e = reinterpret_cast<struct inotify_event*>(p);
                    p += sizeof(struct inotify_event) + e->len;
                    if (e->mask & IN_Q_OVERFLOW) overflowed = true;
                    if (e->len == 0) continue;
                    const std::string name = e->name;
                    if (name.rfind("qeldev", 0) == 0 || name == "sence") continue;
                    Counts& c = counts[dirs[e->wd] + "/" + name];
                    if (e->mask & IN_OPEN) c.opened++;
                    if (e->mask & (IN_MOVED_TO | IN_CLOSE_WRITE)) c.written++;
                    if (e->mask & (IN_CREATE | IN_DELETE | IN_MODIFY)) c.other++;
                }
            }
            return counts;
        }
        bool overflowed = false;

    private:
        int fd = -1;
        std::map<int, std::string> dirs;
    };

    std::string root;
    TaskScheduler* scheduler = nullptr;
    UsageEnvironment* env = nullptr;
    std::unique_ptr<DevServer, Deleter> dev;
    std::unique_ptr<VSServer, Deleter> model;
};

// Field-by-field comparison of window records, for readable failures.
inline ::testing::AssertionResult sameWin(const VWin& a, const VWin& b) {
    if (a.win == b.win && a.used == b.used && a.layer == b.layer && a.visible == b.visible &&
        a.hStart == b.hStart && a.hEnd == b.hEnd && a.vStart == b.vStart && a.vEnd == b.vEnd &&
        a.winId == b.winId && a.url == b.url && a.name == b.name)
        return ::testing::AssertionSuccess();
    auto show = [](const VWin& v) {
        std::ostringstream o;
        o << "{win " << int(v.win) << " used " << int(v.used) << " layer " << int(v.layer)
          << " visible " << int(v.visible) << " h " << v.hStart << ".." << v.hEnd << " v "
          << v.vStart << ".." << v.vEnd << " id " << v.winId << " url '" << v.url << "' name '"
          << v.name << "'}";
        return o.str();
    };
    return ::testing::AssertionFailure() << show(a) << " != " << show(b);
}
