// A DevServer over a fresh box root of its own, with helpers to write and read its files.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "device/DevServer.h"
#include "live/BasicUsageEnvironment.hh"
#include "support/NoNetwork.h"

class DevServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qeltest::isolateFromNetwork()) GTEST_SKIP() << "needs root to run without a network";
        char dir[] = "/tmp/qel-devserver-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root = dir;
        setenv("QEL_ROOT", root.c_str(), 1);
        ASSERT_EQ(mkdir((root + "/mnt").c_str(), 0755), 0);
        scheduler = BasicTaskScheduler::createNew();
        env = BasicUsageEnvironment::createNew(*scheduler);
    }

    void TearDown() override {
        server.reset();
        delete env;
        delete scheduler;
        std::string cmd = "rm -rf '" + root + "'";
        if (::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << root;
    }

    struct Deleter {
        void operator()(DevServer* s) const { delete s; }
    };

    // (Re)starts the server, which loads the files as they are now.
    DevServer& start() {
        server.reset();
        server.reset(DevServer::createNew(*env, Port(6668), 0));
        return *server;
    }

    std::string file(const char* boxPath) const { return root + boxPath; }
    bool exists(const char* boxPath) const {
        struct stat st;
        return stat(file(boxPath).c_str(), &st) == 0;
    }

    // Writes a key/value file: {"config": [{k: v}, ...]} in the given order.
    void writeFile(const char* boxPath,
                   const std::vector<std::pair<std::string, Json::Value>>& kv) {
        Json::Value root(Json::objectValue);
        root["config"] = Json::Value(Json::arrayValue);
        for (const auto& p : kv) {
            Json::Value e(Json::objectValue);
            e[p.first] = p.second;
            root["config"].append(e);
        }
        std::ofstream(file(boxPath)) << root.toStyledString();
    }

    // The file's keys and values in file order.
    std::vector<std::pair<std::string, Json::Value>> readFile(const char* boxPath) {
        std::vector<std::pair<std::string, Json::Value>> out;
        std::ifstream in(file(boxPath));
        std::stringstream ss;
        ss << in.rdbuf();
        Json::Value doc;
        Json::Reader reader;
        if (!reader.parse(ss.str(), doc) || !doc.isObject()) return out;
        for (const Json::Value& e : doc["config"]) {
            for (const std::string& k : e.getMemberNames()) out.emplace_back(k, e[k]);
        }
        return out;
    }

    // The value of key in the file, null when missing.
    Json::Value value(const char* boxPath, const std::string& key) {
        Json::Value v;
        for (const auto& p : readFile(boxPath))
            if (p.first == key) v = p.second;
        return v;
    }

    std::string root;
    TaskScheduler* scheduler = nullptr;
    UsageEnvironment* env = nullptr;
    std::unique_ptr<DevServer, Deleter> server;
};
