#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "box/Box.h"

namespace {

std::string readFile(const std::string& p) {
    std::ifstream f(p);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool exists(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0;
}

int gReboots = 0;
void countReboot() { ++gReboots; }

class BoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qelbox-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        rootDir = tmpl;
        setenv("QEL_ROOT", rootDir.c_str(), 1);
        box::setRebootHandler(countReboot);
        gReboots = 0;
    }
    void TearDown() override {
        ::system(("rm -rf '" + rootDir + "'").c_str());
        unsetenv("QEL_ROOT");
    }
    std::string rootDir;
};

TEST_F(BoxTest, PathsAreTakenUnderTheRoot) {
    EXPECT_EQ(box::path("/mnt/x.ini"), rootDir + "/mnt/x.ini");
    EXPECT_EQ(box::path("relative/x"), "relative/x");
    setenv("QEL_ROOT", (rootDir + "/").c_str(), 1);
    EXPECT_EQ(box::path("/mnt"), rootDir + "/mnt");
}

TEST_F(BoxTest, FileCommandsRunUnderTheRoot) {
    ASSERT_TRUE(box::makeDirs("/usr/backup"));
    ASSERT_TRUE(box::makeDirs("/mnt"));
    std::ofstream(rootDir + "/usr/backup/config.ini") << "7\n";
    std::ofstream(rootDir + "/usr/backup/csc.ini") << "50\n";
    EXPECT_EQ(box::system("cp /usr/backup/* /mnt/"), 0);
    EXPECT_EQ(readFile(rootDir + "/mnt/config.ini"), "7\n");
    EXPECT_TRUE(exists(rootDir + "/mnt/csc.ini"));
    EXPECT_EQ(box::system("chmod 777 /mnt/csc.ini"), 0);
    EXPECT_EQ(box::system("rm -f /mnt/csc.ini; mkdir -p /mnt/sence"), 0);
    EXPECT_FALSE(exists(rootDir + "/mnt/csc.ini"));
    EXPECT_TRUE(exists(rootDir + "/mnt/sence"));

    FILE* f = box::popen("cat /mnt/config.ini");
    ASSERT_NE(f, nullptr);
    char line[32] = {0};
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "7\n");
    box::pclose(f);
}

TEST_F(BoxTest, MachineCommandsAreOnlyLogged) {
    const char* cmds[] = {"ifconfig eth0 10.0.0.9 netmask 255.255.255.0",
                          "route add default gw 10.0.0.1",
                          "udpsvd -vE 0 69 tftpd -c /dev/tftpboot/", "halt"};
    for (const char* c : cmds) EXPECT_EQ(box::system(c), 0) << c;
    EXPECT_EQ(box::system("reboot"), 0);
    EXPECT_EQ(gReboots, 1);
    std::string log = readFile(box::commandLogPath());
    for (const char* c : cmds) EXPECT_NE(log.find(std::string(c) + "\n"), std::string::npos) << c;
    EXPECT_NE(log.find("reboot\n"), std::string::npos);
}

TEST_F(BoxTest, RemoteTextsAreOnlyLogged) {
    ASSERT_TRUE(box::makeDirs("/mnt"));
    std::ofstream(rootDir + "/mnt/keep.ini") << "1\n";
    EXPECT_EQ(box::remoteCommand("rm -rf /mnt/keep.ini; reboot"), 0);
    EXPECT_TRUE(exists(rootDir + "/mnt/keep.ini"));
    EXPECT_EQ(gReboots, 0);
    EXPECT_NE(readFile(box::commandLogPath()).find("internalcmd: rm -rf /mnt/keep.ini; reboot\n"),
              std::string::npos);
}

TEST_F(BoxTest, CommandsThatWouldLeaveTheRootAreRefused) {
    ASSERT_TRUE(box::makeDirs("/mnt"));
    const char* bad[] = {"rm -rf /mnt/../../..", "rm -rf relative", "cp $(id) /mnt/",
                         "cat `id`"};
    for (const char* c : bad) EXPECT_NE(box::system(c), 0) << c;
    EXPECT_TRUE(exists(rootDir + "/mnt"));
    EXPECT_NE(readFile(box::commandLogPath()).find("refused"), std::string::npos);
}

TEST_F(BoxTest, RouteIsAnsweredInItsOwnFormat) {
    FILE* f = box::popen("route");
    ASSERT_NE(f, nullptr);
    char line[512];
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "Kernel IP routing table\n");
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_EQ(std::string(line).rfind("Destination", 0), 0u);
    EXPECT_EQ(box::pclose(f), 0);
}

TEST(BoxRoot, MissingRootIsRefusedWithAClearMessage) {
    unsetenv("QEL_ROOT");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(box::requireRoot("ctrlserver"));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("QEL_ROOT is not set"), std::string::npos);
    // Without a root, file commands are not run on the real machine.
    EXPECT_NE(box::system("rm -rf /mnt/nothing-here"), 0);
}

}  // namespace
