// A box root of its own for each test of the decoder control, with the settings at their
// built-in defaults and the door's reboot recorded instead of ending the test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>

#include "box/Box.h"
#include "control/qelDecode.h"
#include "control/qelDecodeSettings.h"
#include "control/qelGet_ip.h"

namespace ctltest {

inline std::atomic<int>& reboots() {
    static std::atomic<int> n{0};
    return n;
}

class ControlFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qel-control-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        setenv("QEL_ROOT", root_.c_str(), 1);
        ASSERT_TRUE(box::makeDirs("/mnt"));
        reboots() = 0;
        box::setRebootHandler([] { ++reboots(); });
        resetSettingsDefaults();
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        memset(IP_info, 0, sizeof IP_info);
        memset(MAC_info, 0, sizeof MAC_info);
        memset(MASK_info, 0, sizeof MASK_info);
        memset(GW_info, 0, sizeof GW_info);
        memset(&MyNetParam, 0, sizeof MyNetParam);
    }
    void TearDown() override {
        box::setRebootHandler(nullptr);
        std::string cmd = "rm -rf '" + root_ + "'";
        if (::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << root_;
        unsetenv("QEL_ROOT");
    }

    std::string read(const std::string& boxPath) const {
        std::ifstream f(box::path(boxPath), std::ios::binary);
        if (!f) return "<missing>";
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    void write(const std::string& boxPath, const std::string& text) const {
        std::ofstream f(box::path(boxPath), std::ios::binary);
        f << text;
    }
    bool exists(const std::string& boxPath) const {
        struct stat st;
        return stat(box::path(boxPath).c_str(), &st) == 0;
    }
    bool executable(const std::string& boxPath) const {
        struct stat st;
        return stat(box::path(boxPath).c_str(), &st) == 0 && (st.st_mode & S_IXUSR);
    }
    void setOwnAddress(const char* eth0, const char* mac0 = "02:00:00:00:00:02") {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        copyText(reinterpret_cast<char*>(IP_info[0]), 128, eth0);
        copyText(reinterpret_cast<char*>(MAC_info[0]), 128, mac0);
    }

    std::string root_;
};

// The main file a first start creates, with URL lines and the tail replaced as given.
inline std::string mainFile(int counter, const std::string& slot0 = "unused_window",
                            const std::string& tail = "18\n10\n") {
    std::string t = std::to_string(counter) + "\n" + slot0 + "\n";
    for (int i = 1; i < 32; ++i) t += "unused_window\n";
    return t + tail;
}

}  // namespace ctltest
