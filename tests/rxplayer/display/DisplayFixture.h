#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "SimControl.h"
#include "common/sample_comm.h"

// A fresh platform and a box root of its own for each test.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qeldisp-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        setenv("QEL_ROOT", root.c_str(), 1);
        qelsim::reset();
        memset(sample_vo_win_s, 0, sizeof sample_vo_win_s);
        for (int i = 0; i < QEL_WIN_MAX; ++i) SAMPLE_COMM_VO_ResumeChn(0, i);
        qelsim::reset();
    }
    void TearDown() override {
        unsetenv("QEL_ROOT");
        ::system(("rm -rf '" + root + "'").c_str());
    }
    VO_PUB_ATTR_S hdmi1080p60() {
        VO_PUB_ATTR_S pub;
        memset(&pub, 0, sizeof pub);
        pub.enIntfType = VO_INTF_HDMI;
        pub.enIntfSync = VO_OUTPUT_1080P60;
        return pub;
    }
    std::string root;
};
