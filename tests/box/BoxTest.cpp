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
void countReboot() {
    ++gReboots;
}

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
    EXPECT_EQ(box::system("rm -f /mnt/csc.ini"), 0);
    EXPECT_EQ(box::system("mkdir -p /mnt/sence"), 0);
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
    const char* bad[] = {"rm -rf /mnt/../../..", "rm -rf relative", "cp $(id) /mnt/", "cat `id`"};
    for (const char* c : bad) EXPECT_NE(box::system(c), 0) << c;
    EXPECT_TRUE(exists(rootDir + "/mnt"));
    EXPECT_NE(readFile(box::commandLogPath()).find("refused"), std::string::npos);
}

// A box root with a canary file beside it (outside the root): no command text may read,
// change or remove the canary, and a refused command runs nothing.
class DoorTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qeldoor-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        top = tmpl;
        rootDir = top + "/root";
        outside = top + "/outside";
        ASSERT_EQ(mkdir(rootDir.c_str(), 0755), 0);
        ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
        canary = top + "/canary";
        std::ofstream(canary) << "canary\n";
        ASSERT_EQ(chmod(canary.c_str(), 0644), 0);
        setenv("QEL_ROOT", rootDir.c_str(), 1);
        box::setRebootHandler(countReboot);
        ASSERT_TRUE(box::makeDirs("/mnt"));
        ASSERT_TRUE(box::makeDirs("/usr/backup"));
        std::ofstream(rootDir + "/mnt/x") << "x\n";
        std::ofstream(rootDir + "/usr/backup/config.ini") << "7\n";
        std::ofstream(rootDir + "/usr/backup/csc.ini") << "50\n";
        ASSERT_EQ(symlink(top.c_str(), (rootDir + "/mnt/up").c_str()), 0);
        ASSERT_EQ(symlink(canary.c_str(), (rootDir + "/mnt/canarylink").c_str()), 0);
        ASSERT_EQ(symlink((top + "/none").c_str(), (rootDir + "/mnt/dangling").c_str()), 0);
    }
    void TearDown() override {
        ::system(("rm -rf '" + top + "'").c_str());
        unsetenv("QEL_ROOT");
    }
    void expectCanaryUnchanged(const std::string& cmd) {
        EXPECT_EQ(readFile(canary), "canary\n") << cmd;
        struct stat st;
        ASSERT_EQ(stat(canary.c_str(), &st), 0) << cmd;
        EXPECT_EQ(st.st_mode & 07777, 0644u) << cmd;
        EXPECT_FALSE(exists(outside + "/x")) << cmd;
        EXPECT_FALSE(exists(top + "/none")) << cmd;
        EXPECT_FALSE(exists(top + "/made")) << cmd;
    }
    std::string top, rootDir, outside, canary;
};

TEST_F(DoorTest, TextsThatReachOutsideTheRootAreRefused) {
    const std::string bad[] = {
        "cat /.?/canary",
        "chmod 600 /.?/canary",
        "chmod 600 /../canary",
        "cp /mnt/x --target-directory=" + outside,
        "cp -t" + outside + " /mnt/x",
        "cp -t /outside /mnt/x",
        // -L follows links: a read of the canary through the link in the root.
        "cp -L /mnt/canarylink /mnt/read",
        "cp -rL /mnt/canarylink /mnt/read",
        "rm -f /*/../../canary",
        "rm -f /mnt/up/canary",
        "chmod 600 /mnt/canarylink",
        "cat /mnt/up/canary",
        "cp /mnt/x /mnt/up/outside/x",
        "cp /mnt/x /mnt/dangling",
        "mkdir -p /mnt/up/made",
        "mkdir -p /mnt/dangling/made",
        "rm -rf /mnt/u?/canary",
        "chmod 600 /mnt/*/canary",
        "cat /mnt/x; rm -f /mnt/up/canary",
        "cat /mnt/x | chmod 600 /mnt/up/canary",
        "cat /mnt/x & chmod 600 /mnt/up/canary",
        "cat /mnt/x && chmod 600 /mnt/up/canary",
        "cat $(echo /mnt/up/canary)",
        "cat `echo /mnt/up/canary`",
        "cat /mnt/x > /mnt/up/canary",
        "cat /mnt/x >> /mnt/up/canary",
        "cat < /mnt/up/canary",
        "cat /mnt/up/cana\\ry",
        "cat \"/mnt/up/$HOME\"",
        "cat '/mnt/x",
        "cat /mnt/x\nchmod 600 /mnt/up/canary",
        "rm -rf relative",
        "tar -xf /mnt/x -C" + outside,
        "tar -xPf /mnt/x",
        "cat --show-all /mnt/x",
        "cat /mnt/none 2> /mnt/up/canary",
        "cat /mnt/none 2> /mnt/canarylink",
        "cat /mnt/none 2> /mnt/../../canary",
        "cat /mnt/none 2> relative",
        "cat /mnt/none 2> /mnt/$HOME",
        "cat /mnt/none 2> /mnt/a 2> /mnt/b",
        "reboot 2> /mnt/log",
    };
    for (const std::string& cmd : bad) {
        EXPECT_NE(box::system(cmd), 0) << cmd;
        FILE* f = box::popen(cmd);
        ASSERT_NE(f, nullptr) << cmd;
        char buf[64];
        EXPECT_EQ(fgets(buf, sizeof buf, f), nullptr) << cmd;
        box::pclose(f);
        expectCanaryUnchanged(cmd);
        EXPECT_EQ(box::planCommand(cmd).kind, box::DoorPlan::Refused) << cmd;
        EXPECT_FALSE(exists(rootDir + "/mnt/read")) << cmd;
    }
    EXPECT_TRUE(exists(rootDir + "/mnt/x")) << "a refused text ran part of itself";
    std::string log = readFile(box::commandLogPath());
    EXPECT_NE(log.find("cat /.?/canary    # refused"), std::string::npos) << log;
}

TEST_F(DoorTest, CommandsTheProgramsUseStillRun) {
    EXPECT_EQ(box::system("udpsvd -vE 0 69 tftpd -c /dev/tftpboot/"), 0);
    EXPECT_EQ(box::system("cp -R /usr/backup/config.ini /mnt/config.bak"), 0);
    EXPECT_EQ(readFile(rootDir + "/mnt/config.bak"), "7\n");
    EXPECT_EQ(box::system("cp /usr/backup/*.ini /mnt/"), 0);
    EXPECT_TRUE(exists(rootDir + "/mnt/csc.ini"));
    EXPECT_EQ(box::system("chmod -R 600 '/mnt/csc.ini'"), 0);
    struct stat st;
    ASSERT_EQ(stat((rootDir + "/mnt/csc.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(box::system("mkdir -p /var/www/up"), 0);
    EXPECT_TRUE(exists(rootDir + "/var/www/up"));
    EXPECT_EQ(box::system("tar -czf /mnt/b.tgz -C /usr/backup config.ini"), 1)
        << "a relative member name is refused";
    EXPECT_EQ(box::system("tar -czf /mnt/b.tgz /usr/backup"), 0);
    EXPECT_EQ(box::system("mkdir -p /mnt/unpack"), 0);
    EXPECT_EQ(box::system("tar -xzf /mnt/b.tgz -C /mnt/unpack"), 0);
    EXPECT_EQ(box::system("rm -rf /mnt/*.ini /mnt/*.bak /mnt/*.sh"), 0);
    EXPECT_FALSE(exists(rootDir + "/mnt/csc.ini"));
    EXPECT_FALSE(exists(rootDir + "/mnt/config.bak"));
    EXPECT_TRUE(exists(rootDir + "/mnt/x"));
    // A file command's error output may go to a file under the root.
    EXPECT_NE(box::system("tar -zxvf '/mnt/x' -C /mnt/unpack/ 2> /mnt/tar.log"), 0);
    EXPECT_NE(readFile(rootDir + "/mnt/tar.log").find("tar"), std::string::npos);
    EXPECT_EQ(box::system("cat /mnt/x 2>/mnt/cat.log"), 0);
    EXPECT_TRUE(exists(rootDir + "/mnt/cat.log"));
    EXPECT_EQ(readFile(rootDir + "/mnt/cat.log"), "");
    // A glob that matches nothing is passed on as it stands, as the shell would.
    EXPECT_EQ(box::system("rm -f /mnt/nothing*"), 0);
    FILE* f = box::popen("cat \"/mnt/x\"\n");
    ASSERT_NE(f, nullptr);
    char line[16] = {0};
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "x\n");
    EXPECT_EQ(box::pclose(f), 0);
    expectCanaryUnchanged("programs' commands");
    std::string log = readFile(box::commandLogPath());
    EXPECT_NE(log.find("udpsvd -vE 0 69 tftpd -c /dev/tftpboot/\n"), std::string::npos);
    EXPECT_NE(log.find("cp -R /usr/backup/config.ini /mnt/config.bak    # ran"), std::string::npos);
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
