// A wall model over a fresh box root of its own (beside the device server it is given), with
// helpers to write, read and watch its files.
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

#include "ctrlserver/device/DevServerFixture.h"
#include "wall/VSServer.h"
#include "WallFiles.h"

class WallModelTest : public DevServerTest {
public:
    void SetUp() override {
        DevServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        DevServerTest::start();
    }

    void TearDown() override {
        model.reset();
        DevServerTest::TearDown();
    }

    using DevServerTest::root;

    struct Deleter {
        void operator()(VSServer* s) const { delete s; }
    };

    // (Re)builds the model from the files as they are now.
    VSServer& start() {
        model.reset();
        model.reset(VSServer::createNew(*env, *server));
        if (!model) ADD_FAILURE() << "no model";
        return *model;
    }

    std::string file(const std::string& boxPath) const { return root + boxPath; }
    bool exists(const std::string& boxPath) const {
        struct stat st;
        return lstat(file(boxPath).c_str(), &st) == 0;
    }
    void writeKeys(const std::string& boxPath, const KeyList& kv) {
        writeFile(boxPath.c_str(), kv);
    }
    KeyList readKeys(const std::string& boxPath) { return wallgen::keysOfFile(file(boxPath)); }
    Json::Value value(const std::string& boxPath, const std::string& key) {
        return DevServerTest::value(boxPath.c_str(), key);
    }

    void writeBytes(const std::string& boxPath, const std::string& bytes) {
        std::ofstream out(file(boxPath), std::ios::binary | std::ios::trunc);
        out << bytes;
        ASSERT_TRUE(out.good()) << boxPath;
    }
    std::string readBytes(const std::string& boxPath) const {
        return wallgen::readWholeFile(file(boxPath));
    }

    using FileState = wallgen::FileState;
    std::map<std::string, FileState> modelFiles() const { return wallgen::wallFileStates(root); }

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
