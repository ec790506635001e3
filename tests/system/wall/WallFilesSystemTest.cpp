// ctrlserver on the test network with the wall files: what a first start writes, that a
// restart writes nothing, and that corrupt files do not keep it from serving.
#include <dirent.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "WallFiles.h"
#include "support/Clients.h"
#include "support/Process.h"
#include "support/TestNet.h"

using namespace std::chrono_literals;

namespace {

std::map<std::string, wallgen::FileState> wallFiles(const qeltest::Box& box) {
    return wallgen::wallFileStates(box.root());
}

KeyList keysOf(const std::string& path) {
    return wallgen::keysOfFile(path);
}

class WallFilesSystem : public ::testing::Test {
protected:
    void SetUp() override {
        QEL_REQUIRE_TEST_NETWORK();
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
        box = &net->addBox("ctrl", 1);
        ASSERT_TRUE(box->ok());
    }

    std::unique_ptr<qeltest::Process> startServer() {
        auto server = box->start(qeltest::programPath("ctrlserver"));
        if (server && !server->waitForStderr("webServer Started @ Port6670!", 10s))
            ADD_FAILURE() << server->output();
        return server;
    }

    bool serves(uint16_t port) {
        return box->run([&] {
            qeltest::TcpClient client;
            return client.connect(box->ip(), port, 3s);
        });
    }

    std::unique_ptr<qeltest::TestNet> net;
    qeltest::Box* box = nullptr;
};

}  // namespace

TEST_F(WallFilesSystem, FirstStartWritesTheDefaultsAndARestartNothing) {
    auto server = startServer();
    ASSERT_TRUE(server);
    const std::map<std::string, wallgen::FileState> first = wallFiles(*box);
    std::vector<std::string> names;
    for (const auto& f : first) names.push_back(f.first);
    EXPECT_EQ(names, wallgen::firstStartFiles());
    EXPECT_EQ(keysOf(box->path("/mnt/qelconfUnicast.ini")), wallgen::firstStartUnicast());
    EXPECT_EQ(keysOf(box->path("/mnt/qelconfHVratio.ini")), wallgen::firstStartRatio());
    EXPECT_EQ(keysOf(box->path("/mnt/qelconfVscreen.ini")), wallgen::firstStartVscreen());
    for (int s = 0; s < 5; ++s)
        for (int p = 0; p < 3; ++p)
            EXPECT_EQ(keysOf(box->path(wallgen::scenePath(s, p))), wallgen::firstStartScene(s));
    for (uint32_t w = 0; w < 80; ++w) {
        const std::string bytes =
            wallgen::readWholeFile(box->path(wallgen::num("/mnt/qelconfVWin_%02d.ini", w)));
        EXPECT_EQ(bytes.size(), 204u);
        EXPECT_EQ(wallgen::words(bytes), wallgen::firstStartWindow(w)) << w;
    }
    EXPECT_EQ(server->stop(5s), 0);
    EXPECT_EQ(wallFiles(*box), first);  // ending saves nothing either

    server = startServer();
    ASSERT_TRUE(server);
    EXPECT_TRUE(serves(8886));
    EXPECT_EQ(server->stop(5s), 0);
    EXPECT_EQ(wallFiles(*box), first);
}

TEST_F(WallFilesSystem, CorruptFilesDoNotStopTheStart) {
    auto server = startServer();
    ASSERT_TRUE(server);
    ASSERT_EQ(server->stop(5s), 0);

    std::ofstream(box->path("/mnt/qelconfVWin_03.ini"), std::ios::trunc) << "short";
    ASSERT_EQ(unlink(box->path("/mnt/qelconfVWin_04.ini").c_str()), 0);
    ASSERT_EQ(mkdir(box->path("/mnt/qelconfVWin_04.ini").c_str(), 0755), 0);
    std::ofstream(box->path("/mnt/qelconfUWin_05.ini"), std::ios::binary)
        << std::string(204, '\xff');
    std::ofstream(box->path("/mnt/qelconfUWin_06.ini"), std::ios::binary) << std::string(300, 'u');
    std::ofstream(box->path("/mnt/sence/qelconfVSence_01_02.ini"), std::ios::trunc)
        << "\x01garbage{[";
    std::ofstream(box->path("/mnt/qelconfUnicast.ini"), std::ios::trunc)
        << R"({"config": [{"unicastCurIndex": 250}, {"unicastip_00": 7}]})";

    server = startServer();
    ASSERT_TRUE(server);
    EXPECT_TRUE(serves(8886));
    EXPECT_TRUE(serves(9008));
    EXPECT_TRUE(server->running()) << server->output();
    // The unreadable scene was rebuilt with its defaults.
    EXPECT_EQ(keysOf(box->path(wallgen::scenePath(1, 2))), wallgen::firstStartScene(1));
    EXPECT_EQ(server->stop(5s), 0);
}
