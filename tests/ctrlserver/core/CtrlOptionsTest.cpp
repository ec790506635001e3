#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CtrlMain.h"

namespace {

struct OptionCase {
    std::vector<std::string> args;
    bool ok;
    int port;  // clientPort after parsing
    std::string out;
};

TEST(CtrlOptions, Table) {
    const OptionCase cases[] = {
        {{}, true, 0, ""},
        {{"-c", "0"}, true, 0, ""},
        {{"-c", "7000"}, true, 7000, ""},
        {{"-c", "70000"}, true, 4464, ""},  // cut to 16 bits
        {{"-s"}, true, 0, ""},
        {{"-f", "name", "-g", "other"}, true, 0, ""},
        {{"-x"}, false, 0, "unknown command -x \ninit param failed \n"},
        {{"-s", "-c"}, false, 0, "unknown command -c \ninit param failed \n"},
    };
    for (const OptionCase& c : cases) {
        std::vector<std::string> words = {"ctrlserver"};
        words.insert(words.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);
        CtrlOptions o;
        testing::internal::CaptureStdout();
        bool ok = parseCtrlOptions(static_cast<int>(words.size()), argv.data(), o);
        std::string out = testing::internal::GetCapturedStdout();
        std::string name = words.size() > 1 ? words[1] : "(none)";
        EXPECT_EQ(ok, c.ok) << name;
        EXPECT_EQ(o.clientPort, c.port) << name;
        EXPECT_EQ(out, c.out) << name;
    }
}

TEST(CtrlOptions, ProgramDirectory) {
    EXPECT_EQ(programDirectoryOf("/usr/bin/ctrlserver"), "/usr/bin");
    EXPECT_EQ(programDirectoryOf("./ctrlserver"), ".");
    EXPECT_EQ(programDirectoryOf("ctrlserver"), "ctrlserver");
}

}  // namespace
