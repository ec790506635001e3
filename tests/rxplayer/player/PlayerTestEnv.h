// What the player tests share: a box root with shown windows, the player started afresh for
// every case, the test streams made by ffmpeg at build time, a slow live source, and waits.
#pragma once

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DecodeState.h"
#include "PlayerTools.h"
#include "SimControl.h"
#include "box/Box.h"
#include "display/qelDrvLibState.h"

namespace playertest {

inline std::string fixture(const char* name) {
    return std::string(QEL_PLAYER_FIXTURES) + "/" + name;
}

inline void writeFile(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "w");
    if (f) {
        fputs(text.c_str(), f);
        fclose(f);
    }
}

// A fresh box root: windows 0..4 and 17 shown side by side, the others made by start-up.
inline std::string makeBoxRoot() {
    char tmpl[] = "/tmp/qelplayer-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return "";
    std::string root = tmpl;
    setenv("QEL_ROOT", root.c_str(), 1);
    box::makeDirs("/mnt");
    playertools::writeShownWindows([](const std::string& p) { return box::path(p); });
    return root;
}

// Starts the player (18 windows, 1080p60) afresh, as a decoder's start-up would: the slots,
// routing, window records and sync mode of an earlier case are gone, the box root's /mnt
// holds only the shown windows 0..4 and 17, and the pipeline is built from them again. Every
// case begins with it, so a binary passes whole, shuffled or one case per process.
inline bool startFreshPlayer() {
    static const std::string root = [] {
        signal(SIGPIPE, SIG_IGN);
        return makeBoxRoot();
    }();
    if (root.empty()) return false;
    setenv("QEL_ROOT", root.c_str(), 1);
    // A case that failed half-way may have left the decoder stalled: no reader would end.
    qelsim::stallCall("HI_MPI_VDEC_SendStream", false);
    if (!qelResetForTest()) return false;
    // The platform as at power-on, and a display library that has built nothing yet.
    qelsim::reset();
    qelDrvLibResetModule();
    std::error_code ec;
    std::filesystem::remove_all(root + "/mnt", ec);
    box::makeDirs("/mnt");
    if (!playertools::writeShownWindows([](const std::string& p) { return box::path(p); }))
        return false;
    qelSetWinRow(18);
    int rc = qelInitLib(1, ZURIR_VO_OUTPUT_1080P60);
    qelsim::clearCalls();
    return rc == 0;
}

inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

using playertools::threadCount;
using playertools::threadIds;
using playertools::videoPackets;

inline uint64_t vdecStreams(int chn) {
    return qelsim::state().vdec[chn].streams;
}

// Puts the routing tables and every slot back as start-up left them.
inline void resetSlots() {
    for (VideoState* is : vsm) {
        if (is == nullptr) continue;
        stream_stop(is);
        is->is_Exist = 0;
    }
    const int initial[6] = {0, 1, 2, 3, 4, 17};
    for (int i = 0; i < 6; i++) decode_ChannelUse[i] = decode_ChannelPre[i] = initial[i];
}

// A live source: a named pipe into which a test thread writes a stream file on demand, so the
// reader sees packets only as fast as the test lets them through.
class FifoSource {
public:
    explicit FifoSource(const std::string& file) {
        char tmpl[] = "/tmp/qelfifo-XXXXXX";
        if (mkdtemp(tmpl) == nullptr) return;
        dir_ = tmpl;
        path_ = dir_ + "/live.ts";
        if (mkfifo(path_.c_str(), 0600) != 0) return;
        FILE* f = fopen(file.c_str(), "rb");
        if (!f) return;
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) data_.insert(data_.end(), buf, buf + n);
        fclose(f);
        done_ = false;
        writer_ = std::thread([this] { run(); });
    }
    ~FifoSource() {
        {
            std::lock_guard<std::mutex> l(mu_);
            stop_ = true;
            allowed_ = data_.size();
        }
        cv_.notify_all();
        // The writer may wait in open (no reader came) or in write (the reader went): a reader
        // of our own drains the pipe until it has ended.
        int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        char buf[65536];
        while (!done_) {
            if (fd < 0 || read(fd, buf, sizeof buf) <= 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (writer_.joinable()) writer_.join();
        if (fd >= 0) close(fd);
        unlink(path_.c_str());
        rmdir(dir_.c_str());
    }
    const std::string& path() const { return path_; }
    // Lets the first fraction of the file through.
    void allow(double fraction) {
        {
            std::lock_guard<std::mutex> l(mu_);
            size_t n = static_cast<size_t>(fraction * data_.size());
            allowed_ = n - n % 188;
        }
        cv_.notify_all();
    }

private:
    void run() {
        runWriter();
        done_ = true;
    }
    void runWriter() {
        int fd = open(path_.c_str(), O_WRONLY);
        if (fd < 0) return;
        size_t sent = 0;
        for (;;) {
            std::unique_lock<std::mutex> l(mu_);
            cv_.wait(l, [&] { return stop_ || allowed_ > sent; });
            if (stop_) break;
            size_t upto = allowed_;
            l.unlock();
            while (sent < upto) {
                ssize_t w = write(fd, data_.data() + sent, upto - sent);
                if (w <= 0) {
                    close(fd);
                    return;
                }
                sent += static_cast<size_t>(w);
            }
            // The whole file: the reader sees its end.
            if (sent >= data_.size()) break;
        }
        close(fd);
    }
    std::string dir_, path_;
    std::vector<char> data_;
    std::mutex mu_;
    std::condition_variable cv_;
    size_t allowed_ = 0;
    bool stop_ = false;
    std::atomic<bool> done_{true};
    std::thread writer_;
};

}  // namespace playertest
