#include "core/QelConfig.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const int kIntDef = -7;
const char* const kStrDef = "def";
const char* const kFile = "/mnt/store.ini";

std::string deepArray(int depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

class QelConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qelconfig-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        rootDir = tmpl;
        setenv("QEL_ROOT", rootDir.c_str(), 1);
        ASSERT_EQ(mkdir((rootDir + "/mnt").c_str(), 0755), 0);
    }
    void TearDown() override {
        ::system(("rm -rf '" + rootDir + "'").c_str());
        unsetenv("QEL_ROOT");
    }

    std::string real(const std::string& boxPath) const { return rootDir + boxPath; }
    void put(const std::string& boxPath, const std::string& content) const {
        std::ofstream f(real(boxPath), std::ios::binary | std::ios::trunc);
        f << content;
    }
    bool exists(const std::string& boxPath) const {
        struct stat st;
        return stat(real(boxPath).c_str(), &st) == 0;
    }
    std::string get(const std::string& boxPath) const {
        std::ifstream f(real(boxPath), std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    // The file's JSON document; fails the test when it does not parse.
    Json::Value doc(const std::string& boxPath) const { return parse(get(boxPath)); }
    static Json::Value parse(const std::string& text) {
        Json::Value v;
        Json::CharReaderBuilder b;
        std::string errs;
        std::istringstream in(text);
        EXPECT_TRUE(Json::parseFromStream(b, in, &v, &errs)) << errs << " in: " << text;
        return v;
    }
    std::vector<std::string> entries(const std::string& boxDir) const {
        std::vector<std::string> out;
        DIR* d = opendir(real(boxDir).c_str());
        if (!d) return out;
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") out.push_back(n);
        }
        closedir(d);
        return out;
    }

    std::string rootDir;
};

// ---- Typed reads over every kind of file content ----

struct ReadCase {
    const char* name;
    bool present;
    std::string content;
    const char* key;
    int wantInt;
    std::string wantString;
};
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<ReadCase>& readCases() {
    static const std::vector<ReadCase> cases = {
        {"MissingFile", false, "", "a", kIntDef, kStrDef},
        {"IntValue", true, R"({"config":[{"a":5}]})", "a", 5, kStrDef},
        {"StringValue", true, R"({"config":[{"a":"x"}]})", "a", kIntDef, "x"},
        {"EmptyStringValue", true, R"({"config":[{"a":""}]})", "a", kIntDef, ""},
        {"KeyAbsent", true, R"({"config":[{"b":5}]})", "a", kIntDef, kStrDef},
        {"DuplicateKeyLastWins", true, R"({"config":[{"a":1},{"b":2},{"a":3}]})", "a", 3, kStrDef},
        {"DuplicateLastHasOtherType", true, R"({"config":[{"a":1},{"a":"t"}]})", "a", kIntDef, "t"},
        {"MemberOfMultiMemberElement", true, R"({"config":[{"a":1,"b":"x"}]})", "b", kIntDef, "x"},
        {"NegativeInt", true, R"({"config":[{"a":-12}]})", "a", -12, kStrDef},
        {"IntMax", true, R"({"config":[{"a":2147483647}]})", "a", 2147483647, kStrDef},
        {"IntAboveRange", true, R"({"config":[{"a":2147483648}]})", "a", kIntDef, kStrDef},
        {"IntBelowRange", true, R"({"config":[{"a":-2147483649}]})", "a", kIntDef, kStrDef},
        {"HugeNumber", true, R"({"config":[{"a":1e400}]})", "a", kIntDef, kStrDef},
        {"IntegralReal", true, R"({"config":[{"a":5.0}]})", "a", 5, kStrDef},
        {"FractionalReal", true, R"({"config":[{"a":5.5}]})", "a", kIntDef, kStrDef},
        {"BoolValue", true, R"({"config":[{"a":true}]})", "a", kIntDef, kStrDef},
        {"NullValue", true, R"({"config":[{"a":null}]})", "a", kIntDef, kStrDef},
        {"ObjectValue", true, R"({"config":[{"a":{"b":1}}]})", "a", kIntDef, kStrDef},
        {"ArrayValue", true, R"({"config":[{"a":[1]}]})", "a", kIntDef, kStrDef},
        {"ElementsNotObjectsSkipped", true, R"({"config":[1,"a",null,[{"a":2}],{"a":4}]})", "a", 4,
         kStrDef},
        {"WithComments", true, "// head\n{\"config\":[{\"a\":5} /* x */]}\n", "a", 5, kStrDef},
        {"EmptyFile", true, "", "a", kIntDef, kStrDef},
        {"NotJson", true, "hello world", "a", kIntDef, kStrDef},
        {"TruncatedDocument", true, R"({"config":[{"a":5})", "a", kIntDef, kStrDef},
        {"DocumentIsArray", true, R"([{"a":1}])", "a", kIntDef, kStrDef},
        {"DocumentIsNumber", true, "5", "a", kIntDef, kStrDef},
        {"DocumentIsString", true, R"("a")", "a", kIntDef, kStrDef},
        {"DocumentIsNull", true, "null", "a", kIntDef, kStrDef},
        {"ConfigIsObject", true, R"({"config":{"a":1}})", "a", kIntDef, kStrDef},
        {"ConfigIsNumber", true, R"({"config":7})", "a", kIntDef, kStrDef},
        {"ConfigIsString", true, R"({"config":"a"})", "a", kIntDef, kStrDef},
        {"ConfigMissing", true, R"({"other":[{"a":1}]})", "a", kIntDef, kStrDef},
        {"DeepNestingDocument", true, deepArray(20000), "a", kIntDef, kStrDef},
        {"DeepNestingValue", true, "{\"config\":[{\"a\":" + deepArray(20000) + "}]}", "a", kIntDef,
         kStrDef},
        {"EmbeddedNul", true, std::string("{\"config\":[{\"a\":5") + '\0' + "}]}", "a", kIntDef,
         kStrDef},
        {"BinaryBytes", true, std::string("\xff\xfe\x00\x01{[\"", 7), "a", kIntDef, kStrDef},
    };
    return cases;
}

class QelConfigReadTest : public QelConfigTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(QelConfigReadTest, TypedReadsGiveTheValueOrTheDefault) {
    const ReadCase& c = GetParam();
    if (c.present) put(kFile, c.content);
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(store.ReadInt(c.key, kIntDef), c.wantInt);
    EXPECT_EQ(store.ReadString(c.key, kStrDef), c.wantString);
}

INSTANTIATE_TEST_SUITE_P(Contents, QelConfigReadTest, ::testing::ValuesIn(readCases()),
                         [](const ::testing::TestParamInfo<ReadCase>& i) {
                             return std::string(i.param.name);
                         });

TEST_F(QelConfigTest, LoadResults) {
    {
        QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
        EXPECT_EQ(store.Load(), 0);  // missing file
    }
    put(kFile, "not json");
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(store.Load(), 1);  // opened, even though it does not parse
    put(kFile, R"({"config":[{"a":5}]})");
    EXPECT_EQ(store.Load(), 1);
    EXPECT_EQ(store.ReadInt("a", kIntDef), 5);
}

// ---- Writes: what the file holds afterwards ----

struct WriteCase {
    const char* name;
    bool present;
    std::string content;
    std::function<int(QelConfig&)> write;
    int wantResult;
    std::string wantDoc;
};
void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<WriteCase>& writeCases() {
    static const std::vector<WriteCase> cases = {
        {"MissingFileFirstSavingWriteMakesOneElement", false, "",
         [](QelConfig& s) { return s.WriteInt("a", 5, true); }, 1, R"({"config":[{"a":5}]})"},
        {"MissingFileStringWrite", false, "",
         [](QelConfig& s) { return s.WriteString("a", "x", true); }, 1,
         R"({"config":[{"a":"x"}]})"},
        {"ExistingKeyReplacedInPlace", true, R"({"config":[{"a":1},{"b":2}]})",
         [](QelConfig& s) { return s.WriteInt("a", 9, true); }, 1,
         R"({"config":[{"a":9},{"b":2}]})"},
        {"NewKeyAppendedAtEnd", true, R"({"config":[{"a":1},{"b":2}]})",
         [](QelConfig& s) { return s.WriteString("c", "x", true); }, 1,
         R"({"config":[{"a":1},{"b":2},{"c":"x"}]})"},
        {"DuplicateKeyFirstChanged", true, R"({"config":[{"a":1},{"a":2}]})",
         [](QelConfig& s) { return s.WriteInt("a", 7, true); }, 1,
         R"({"config":[{"a":7},{"a":2}]})"},
        {"ValueChangesType", true, R"({"config":[{"a":1}]})",
         [](QelConfig& s) { return s.WriteString("a", "t", true); }, 1,
         R"({"config":[{"a":"t"}]})"},
        {"MemberOfMultiMemberElement", true, R"({"config":[{"a":1,"b":2}]})",
         [](QelConfig& s) { return s.WriteInt("b", 3, true); }, 1, R"({"config":[{"a":1,"b":3}]})"},
        {"OtherMembersKept", true, R"({"v":1,"config":[]})",
         [](QelConfig& s) { return s.WriteInt("a", 1, true); }, 1, R"({"v":1,"config":[{"a":1}]})"},
        {"NonObjectElementsKept", true, R"({"config":[1,{"a":1}]})",
         [](QelConfig& s) { return s.WriteInt("a", 2, true); }, 1, R"({"config":[1,{"a":2}]})"},
        {"ConfigNotArrayReplaced", true, R"({"config":5,"v":1})",
         [](QelConfig& s) { return s.WriteInt("a", 1, true); }, 1, R"({"config":[{"a":1}],"v":1})"},
        {"DocumentNotObjectReplaced", true, "[1,2]",
         [](QelConfig& s) { return s.WriteInt("a", 1, true); }, 1, R"({"config":[{"a":1}]})"},
        {"MalformedDocumentCountsAsEmpty", true, R"({"config":[{"b":1})",
         [](QelConfig& s) { return s.WriteInt("a", 1, true); }, 1, R"({"config":[{"a":1}]})"},
        {"KeysKeepTheOrderOfFirstWrite", false, "",
         [](QelConfig& s) {
             s.WriteInt("b", 1, false);
             s.WriteString("a", "x", false);
             s.WriteInt("b", 2, false);
             return s.WriteInt("c", 3, true);
         },
         1, R"({"config":[{"b":2},{"a":"x"},{"c":3}]})"},
    };
    return cases;
}

class QelConfigWriteTest : public QelConfigTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(QelConfigWriteTest, FileHoldsTheExpectedDocument) {
    const WriteCase& c = GetParam();
    if (c.present) put(kFile, c.content);
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(c.write(store), c.wantResult);
    EXPECT_EQ(doc(kFile), parse(c.wantDoc));
    // The styled layout: one member per line, a line end at the end.
    std::string text = get(kFile);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_GT(std::count(text.begin(), text.end(), '\n'), 2);
}

INSTANTIATE_TEST_SUITE_P(Writes, QelConfigWriteTest, ::testing::ValuesIn(writeCases()),
                         [](const ::testing::TestParamInfo<WriteCase>& i) {
                             return std::string(i.param.name);
                         });

TEST_F(QelConfigTest, DuplicateKeyWriteChangesFirstAndReadStillGivesLast) {
    put(kFile, R"({"config":[{"a":1},{"a":2}]})");
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(store.WriteInt("a", 7, false), 1);
    EXPECT_EQ(store.ReadInt("a", kIntDef), 2);
}

TEST_F(QelConfigTest, WriteWithoutSaveTouchesOnlyMemory) {
    put(kFile, R"({"config":[{"a":1}]})");
    const std::string before = get(kFile);
    {
        QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
        EXPECT_EQ(store.WriteInt("a", 2, false), 1);
        EXPECT_EQ(store.WriteString("b", "x", false), 1);
        EXPECT_EQ(store.ReadInt("a", kIntDef), 2);
        EXPECT_EQ(store.ReadString("b", kStrDef), "x");
        EXPECT_EQ(get(kFile), before);
        // A later saving write takes the earlier changes along.
        EXPECT_EQ(store.WriteInt("c", 3, true), 1);
        EXPECT_EQ(doc(kFile), parse(R"({"config":[{"a":2},{"b":"x"},{"c":3}]})"));
        EXPECT_EQ(store.WriteInt("d", 4, false), 1);
    }
    // The destructor saves what is left.
    EXPECT_EQ(doc(kFile), parse(R"({"config":[{"a":2},{"b":"x"},{"c":3},{"d":4}]})"));
}

// An owner that deleted the file, or changed the document without meaning to keep it, can
// turn the destructor's save off.
TEST_F(QelConfigTest, DestructorSaveCanBeTurnedOff) {
    put(kFile, R"({"config":[{"a":1}]})");
    const std::string before = get(kFile);
    {
        QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
        store.WriteInt("a", 2, false);
        store.SetSaveOnDestroy(false);
    }
    EXPECT_EQ(get(kFile), before);
    {
        QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
        EXPECT_EQ(store.Remove(), 1);
        store.SetSaveOnDestroy(false);
    }
    EXPECT_FALSE(exists(kFile));
    {
        QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
        store.SetSaveOnDestroy(false);
        store.SetSaveOnDestroy(true);
    }
    EXPECT_TRUE(exists(kFile));
}

TEST_F(QelConfigTest, ExplicitSave) {
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    store.WriteInt("a", 1, false);
    EXPECT_FALSE(exists(kFile));
    EXPECT_EQ(store.Save(), 1);
    EXPECT_EQ(doc(kFile), parse(R"({"config":[{"a":1}]})"));
    EXPECT_EQ(store.Save("/mnt/other.ini"), 1);
    EXPECT_EQ(store.fileName(), "/mnt/other.ini");
    EXPECT_EQ(doc("/mnt/other.ini"), parse(R"({"config":[{"a":1}]})"));
}

TEST_F(QelConfigTest, UntouchedStoreOnMissingFileCreatesAFileThatLoadsEmpty) {
    { QelConfig store(kFile, QelConfig::MODE_KEYVALUE); }
    EXPECT_TRUE(exists(kFile));
    QelConfig again(kFile, QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(again.ReadInt("a", kIntDef), kIntDef);
    EXPECT_EQ(again.WriteInt("a", 1, true), 1);
    EXPECT_EQ(doc(kFile), parse(R"({"config":[{"a":1}]})"));
}

TEST_F(QelConfigTest, UnwritableFileGivesZeroAndKeepsMemory) {
    QelConfig store("/nodir/store.ini", QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(store.WriteInt("a", 1, true), 0);
    EXPECT_EQ(store.WriteString("b", "x", false), 1);
    EXPECT_EQ(store.Save(), 0);
    EXPECT_EQ(store.ReadInt("a", kIntDef), 1);
    EXPECT_EQ(store.Erase(), 0);
    EXPECT_EQ(store.ReadInt("a", kIntDef), 1);  // Erase changes nothing when it cannot write
    EXPECT_FALSE(exists("/nodir"));
}

TEST_F(QelConfigTest, DefaultConstructedStoreHasNoFile) {
    QelConfig store;
    EXPECT_EQ(store.fileMode(), QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(store.ReadInt("a", kIntDef), kIntDef);
    EXPECT_EQ(store.ReadString("a", kStrDef), kStrDef);
    EXPECT_EQ(store.WriteInt("a", 1, true), 0);
    EXPECT_EQ(store.ReadInt("a", kIntDef), 1);
    EXPECT_EQ(store.Save(), 0);
    EXPECT_EQ(store.Erase(), 0);
    EXPECT_EQ(store.Remove(), 1);
    EXPECT_EQ(store.Load("/mnt/none.ini"), 0);
    put(kFile, R"({"config":[{"a":5}]})");
    EXPECT_EQ(store.Load(kFile), 1);
    EXPECT_EQ(store.ReadInt("a", kIntDef), 5);
}

TEST_F(QelConfigTest, SaveKeepsTheFilePermissions) {
    put(kFile, R"({"config":[]})");
    ASSERT_EQ(chmod(real(kFile).c_str(), 0600), 0);
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(store.WriteInt("a", 1, true), 1);
    struct stat st;
    ASSERT_EQ(stat(real(kFile).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(entries("/mnt"), std::vector<std::string>{"store.ini"});  // no temporary left
}

TEST_F(QelConfigTest, ATableOfThousandsOfKeysReadsBackAfterReload) {
    // The size of a full device table: 255 records of 22 keys.
    const int kRecords = 255, kKeys = 22;
    auto key = [](int r, int k) { return "dev" + std::to_string(r) + "_" + std::to_string(k); };
    {
        QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
        for (int r = 0; r < kRecords; ++r)
            for (int k = 0; k < kKeys; ++k) {
                if (k % 2)
                    store.WriteInt(key(r, k), r * 100 + k, false);
                else
                    store.WriteString(key(r, k), std::to_string(r * 100 + k), false);
            }
        EXPECT_EQ(store.WriteInt("count", kRecords, true), 1);
    }
    QelConfig again(kFile, QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(again.ReadInt("count", 0), kRecords);
    for (int r = 0; r < kRecords; ++r)
        for (int k = 0; k < kKeys; ++k) {
            if (k % 2)
                ASSERT_EQ(again.ReadInt(key(r, k), -1), r * 100 + k) << key(r, k);
            else
                ASSERT_EQ(again.ReadString(key(r, k), ""), std::to_string(r * 100 + k));
        }
    EXPECT_EQ(doc(kFile)["config"].size(), static_cast<unsigned>(kRecords * kKeys + 1));
}

// ---- Erase and Remove ----

TEST_F(QelConfigTest, EraseKeyValueLeavesEmptyConfigArray) {
    put(kFile, R"({"v":1,"config":[{"a":1},{"b":"x"}]})");
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(store.Erase(), 1);
    EXPECT_EQ(doc(kFile), parse(R"({"v":1,"config":[]})"));
    EXPECT_EQ(store.ReadInt("a", kIntDef), kIntDef);
    EXPECT_EQ(store.ReadString("b", kStrDef), kStrDef);
    EXPECT_EQ(store.WriteInt("c", 3, true), 1);
    EXPECT_EQ(doc(kFile), parse(R"({"v":1,"config":[{"c":3}]})"));
}

TEST_F(QelConfigTest, EraseOnMissingOrMalformedFileWritesEmptyDocument) {
    for (const char* content : {"", "[1]", "{\"config\":"}) {
        if (*content) put(kFile, content);
        QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
        EXPECT_EQ(store.Erase(), 1) << content;
        EXPECT_EQ(doc(kFile), parse(R"({"config":[]})")) << content;
    }
}

TEST_F(QelConfigTest, EraseBlockFileLeavesEmptyFile) {
    put("/mnt/block.bin", "ABCDEFGH");
    QelConfig store("/mnt/block.bin", QelConfig::MODE_BLOCK);
    EXPECT_EQ(store.Erase(), 1);
    EXPECT_TRUE(exists("/mnt/block.bin"));
    EXPECT_EQ(get("/mnt/block.bin"), "");
    QelConfig missing("/mnt/new.bin", QelConfig::MODE_BLOCK);
    EXPECT_EQ(missing.Erase(), 1);
    EXPECT_EQ(get("/mnt/new.bin"), "");
    QelConfig nodir("/nodir/b.bin", QelConfig::MODE_BLOCK);
    EXPECT_EQ(nodir.Erase(), 0);
}

TEST_F(QelConfigTest, RemoveDeletesTheFileAndKeepsTheDocument) {
    put(kFile, R"({"config":[{"a":1}]})");
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(store.Remove(), 1);
    EXPECT_FALSE(exists(kFile));
    EXPECT_EQ(store.Remove(), 1);  // already gone
    EXPECT_EQ(store.ReadInt("a", kIntDef), 1);
    QelConfig block("/mnt/b.bin", QelConfig::MODE_BLOCK);
    put("/mnt/b.bin", "x");
    EXPECT_EQ(block.Remove(), 1);
    EXPECT_FALSE(exists("/mnt/b.bin"));
    // A later save writes the file anew.
    unsigned char data[] = {1, 2};
    EXPECT_EQ(block.SaveBlock(0, data, 2), 1);
    EXPECT_EQ(get("/mnt/b.bin"), std::string("\x01\x02", 2));
}

// ---- Block files ----

struct LoadBlockCase {
    const char* name;
    bool present;
    int offset;
    int len;
    int wantResult;
    std::string wantBuf;  // the 6-byte buffer afterwards; it starts as "......"
};
void PrintTo(const LoadBlockCase& c, std::ostream* os) {
    *os << c.name;
}

class QelConfigLoadBlockTest : public QelConfigTest,
                               public ::testing::WithParamInterface<LoadBlockCase> {};

TEST_P(QelConfigLoadBlockTest, ReadsWhatTheFileHolds) {
    const LoadBlockCase& c = GetParam();
    if (c.present) put("/mnt/b.bin", "ABCDEFGH");
    QelConfig store("/mnt/b.bin", QelConfig::MODE_BLOCK);
    unsigned char buf[6];
    memset(buf, '.', sizeof buf);
    EXPECT_EQ(store.LoadBlock(c.offset, buf, c.len), c.wantResult);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), sizeof buf), c.wantBuf);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, QelConfigLoadBlockTest,
    ::testing::Values(LoadBlockCase{"FromStart", true, 0, 4, 1, "ABCD.."},
                      LoadBlockCase{"MinusOneReadsFromStart", true, -1, 4, 1, "ABCD.."},
                      LoadBlockCase{"AtOffset", true, 2, 6, 1, "CDEFGH"},
                      LoadBlockCase{"ShortReadKeepsTheRest", true, 5, 6, 1, "FGH..."},
                      LoadBlockCase{"AtEndLeavesBuffer", true, 8, 6, 1, "......"},
                      LoadBlockCase{"PastEndLeavesBuffer", true, 100, 6, 1, "......"},
                      LoadBlockCase{"OffsetBelowMinusOneReadsNothing", true, -5, 6, 1, "......"},
                      LoadBlockCase{"ZeroLength", true, 0, 0, 1, "......"},
                      LoadBlockCase{"NegativeLength", true, 0, -3, 1, "......"},
                      LoadBlockCase{"MissingFile", false, 0, 6, 0, "......"}),
    [](const ::testing::TestParamInfo<LoadBlockCase>& i) { return std::string(i.param.name); });

struct SaveBlockCase {
    const char* name;
    bool present;  // the file holds "ABCDEFGH" before
    int offset;
    std::string data;
    std::string wantFile;
};
void PrintTo(const SaveBlockCase& c, std::ostream* os) {
    *os << c.name;
}

class QelConfigSaveBlockTest : public QelConfigTest,
                               public ::testing::WithParamInterface<SaveBlockCase> {};

TEST_P(QelConfigSaveBlockTest, WritesTheFile) {
    const SaveBlockCase& c = GetParam();
    if (c.present) put("/mnt/b.bin", "ABCDEFGH");
    QelConfig store("/mnt/b.bin", QelConfig::MODE_BLOCK);
    std::string data = c.data;
    EXPECT_EQ(store.SaveBlock(c.offset, reinterpret_cast<unsigned char*>(&data[0]),
                              static_cast<int>(data.size())),
              1);
    EXPECT_EQ(get("/mnt/b.bin"), c.wantFile);
    EXPECT_EQ(entries("/mnt"), std::vector<std::string>{"b.bin"});  // no temporary left
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, QelConfigSaveBlockTest,
    ::testing::Values(SaveBlockCase{"ZeroReplacesTheFile", true, 0, "XYZ", "XYZ"},
                      SaveBlockCase{"MinusOneAppends", true, -1, "XYZ", "ABCDEFGHXYZ"},
                      SaveBlockCase{"ZeroCreatesMissingFile", false, 0, "XYZ", "XYZ"},
                      SaveBlockCase{"MinusOneCreatesMissingFile", false, -1, "XYZ", "XYZ"},
                      SaveBlockCase{"OtherOffsetAppends", true, 3, "XYZ", "ABCDEFGHXYZ"},
                      SaveBlockCase{"ZeroWithNoBytesEmptiesTheFile", true, 0, "", ""},
                      SaveBlockCase{"BinaryBytes", false, 0, std::string("\0\xff\0", 3),
                                    std::string("\0\xff\0", 3)}),
    [](const ::testing::TestParamInfo<SaveBlockCase>& i) { return std::string(i.param.name); });

TEST_F(QelConfigTest, EraseThenSaveBlockReplacesAndMinusOneExtends) {
    QelConfig store("/mnt/win.ini", QelConfig::MODE_BLOCK);
    unsigned char a[4] = {1, 2, 3, 4}, b[2] = {9, 9};
    EXPECT_EQ(store.SaveBlock(-1, a, 4), 1);
    EXPECT_EQ(store.SaveBlock(-1, b, 2), 1);
    EXPECT_EQ(get("/mnt/win.ini"), std::string("\x01\x02\x03\x04\x09\x09", 6));
    EXPECT_EQ(store.Erase(), 1);
    EXPECT_EQ(store.SaveBlock(0, b, 2), 1);
    EXPECT_EQ(get("/mnt/win.ini"), std::string("\x09\x09", 2));
    unsigned char back[4] = {0, 0, 0, 0};
    EXPECT_EQ(store.LoadBlock(0, back, 4), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 4), std::string("\x09\x09\0\0", 4));
}

TEST_F(QelConfigTest, SaveBlockFailures) {
    QelConfig nodir("/nodir/b.bin", QelConfig::MODE_BLOCK);
    unsigned char a[2] = {1, 2};
    EXPECT_EQ(nodir.SaveBlock(0, a, 2), 0);
    EXPECT_EQ(nodir.SaveBlock(-1, a, 2), 0);
    QelConfig store("/mnt/b.bin", QelConfig::MODE_BLOCK);
    EXPECT_EQ(store.SaveBlock(0, a, -1), 0);
    EXPECT_EQ(store.SaveBlock(0, nullptr, 2), 0);
    EXPECT_FALSE(exists("/mnt/b.bin"));
}

TEST_F(QelConfigTest, BlockOperationsByName) {
    put("/mnt/one.bin", "ONE");
    QelConfig store("/mnt/x.bin", QelConfig::MODE_BLOCK);
    unsigned char buf[3] = {0, 0, 0};
    EXPECT_EQ(store.LoadBlockByName("/mnt/one.bin", 0, buf, 3), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "ONE");
    EXPECT_EQ(store.fileName(), "/mnt/one.bin");
    unsigned char two[3] = {'T', 'W', 'O'};
    EXPECT_EQ(store.SaveBlockByName("/mnt/two.bin", 0, two, 3), 1);
    EXPECT_EQ(get("/mnt/two.bin"), "TWO");
    EXPECT_EQ(get("/mnt/one.bin"), "ONE");
}

// ---- Calls of the other mode ----

TEST_F(QelConfigTest, KeyValueCallsOnBlockStoreTouchNothing) {
    const std::string content = R"({"config":[{"a":5}]})";
    put(kFile, content);
    {
        QelConfig store(kFile, QelConfig::MODE_BLOCK);
        EXPECT_EQ(store.ReadInt("a", kIntDef), kIntDef);
        EXPECT_EQ(store.ReadString("a", kStrDef), kStrDef);
        EXPECT_EQ(store.WriteInt("a", 1, true), 0);
        EXPECT_EQ(store.WriteString("a", "x", true), 0);
        EXPECT_EQ(store.WriteInt("b", 1, false), 0);
        EXPECT_EQ(store.Save(), 0);
        EXPECT_EQ(store.Load(), 0);
        EXPECT_EQ(store.ReadInt("a", kIntDef), kIntDef);
    }
    EXPECT_EQ(get(kFile), content);  // the destructor of a block store saves nothing
    { QelConfig missing("/mnt/missing.bin", QelConfig::MODE_BLOCK); }
    EXPECT_FALSE(exists("/mnt/missing.bin"));
}

TEST_F(QelConfigTest, BlockCallsOnKeyValueStoreTouchNothing) {
    const std::string content = R"({"config":[{"a":5}]})";
    put(kFile, content);
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    unsigned char buf[4] = {'.', '.', '.', '.'};
    EXPECT_EQ(store.LoadBlock(0, buf, 4), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "....");
    EXPECT_EQ(store.SaveBlock(0, buf, 4), 1);
    EXPECT_EQ(store.SaveBlock(-1, buf, 4), 1);
    EXPECT_EQ(get(kFile), content);
    QelConfig missing("/mnt/kv.ini", QelConfig::MODE_KEYVALUE);
    EXPECT_EQ(missing.SaveBlock(0, buf, 4), 1);
    EXPECT_FALSE(exists("/mnt/kv.ini"));
}

// ---- Concurrency and interrupted saves ----

TEST_F(QelConfigTest, ConcurrentWritersLoseNothing) {
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    const int kThreads = 4, kKeys = 40;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&store, t] {
            for (int k = 0; k < kKeys; ++k) {
                std::string key = "t" + std::to_string(t) + "_" + std::to_string(k);
                store.WriteInt(key, k, k % 8 == 0);
                store.ReadInt(key, 0);
            }
        });
    }
    threads.emplace_back([&store] {
        for (int i = 0; i < 10; ++i) store.Save();
    });
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(store.Save(), 1);
    QelConfig again(kFile, QelConfig::MODE_KEYVALUE);
    for (int t = 0; t < kThreads; ++t)
        for (int k = 0; k < kKeys; ++k)
            EXPECT_EQ(again.ReadInt("t" + std::to_string(t) + "_" + std::to_string(k), -1), k);
}

// A child process saves large documents (or blocks) over and over and is killed at a random
// moment; the file must then hold one whole version, old or new, never a cut one.
TEST_F(QelConfigTest, KilledSaveLeavesAWholeFile) {
    const size_t kBase = 200000;
    for (int mode : {QelConfig::MODE_KEYVALUE, QelConfig::MODE_BLOCK}) {
        const std::string file = mode == QelConfig::MODE_BLOCK ? "/mnt/kill.bin" : kFile;
        for (int round = 0; round < 12; ++round) {
            pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                QelConfig store(file, mode);
                for (int i = 0; i < 100000; ++i) {
                    std::string v(kBase + i % 7, static_cast<char>('a' + i % 26));
                    if (mode == QelConfig::MODE_BLOCK)
                        store.SaveBlock(0, reinterpret_cast<unsigned char*>(&v[0]),
                                        static_cast<int>(v.size()));
                    else
                        store.WriteString("v", v, true);
                }
                _exit(0);
            }
            usleep(2000 + 3000 * round);
            kill(pid, SIGKILL);
            int status = 0;
            waitpid(pid, &status, 0);
            if (!exists(file)) continue;  // killed before the first save ended
            std::string v;
            if (mode == QelConfig::MODE_BLOCK) {
                v = get(file);
            } else {
                Json::Value d = doc(file);
                ASSERT_TRUE(d["config"].isArray()) << "round " << round;
                ASSERT_EQ(d["config"].size(), 1u);
                ASSERT_TRUE(d["config"][0]["v"].isString());
                v = d["config"][0]["v"].asString();
            }
            ASSERT_GE(v.size(), kBase) << "round " << round;
            ASSERT_LT(v.size(), kBase + 7);
            EXPECT_EQ(v.find_first_not_of(v[0]), std::string::npos);
        }
    }
}

// ---- Files that are not regular ----

// A FIFO at a store's path: loading, saving and block calls come back at once (a blocking
// open would wait for a writer forever), each counts as missing or failed, and the FIFO stays.
// The calls run in a child, so a regression ends in a time-out, not a hung test.
TEST_F(QelConfigTest, FifoAtTheFileNeitherBlocksNorIsReplaced) {
    ASSERT_EQ(mkfifo(real(kFile).c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(real("/mnt/win.bin").c_str(), 0644), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(20);
        int bad = 0;
        const unsigned long before = QelConfig::failedWrites();
        {
            QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
            store.SetSaveOnDestroy(false);
            if (store.Load() != 0) bad |= 1;
            if (store.WriteInt("a", 1, true) != 0) bad |= 2;
            if (store.Erase() != 0) bad |= 4;
        }
        QelConfig block("/mnt/win.bin", QelConfig::MODE_BLOCK);
        unsigned char buf[4] = {7, 7, 7, 7};
        int got = -1;
        if (block.LoadBlock(0, buf, 4, &got) != 0 || got != 0 || buf[0] != 7) bad |= 8;
        if (block.SaveBlock(0, buf, 4) != 0) bad |= 16;
        if (block.SaveBlock(-1, buf, 4) != 0) bad |= 32;
        if (QelConfig::failedWrites() != before + 4) bad |= 64;
        _exit(bad);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the calls hung or crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    struct stat st;
    ASSERT_EQ(stat(real(kFile).c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(stat(real("/mnt/win.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(QelConfigTest, FailedWritesAreCountedPerThread) {
    QelConfig nodir("/nodir/b.bin", QelConfig::MODE_BLOCK);
    unsigned char a[2] = {1, 2};
    const unsigned long before = QelConfig::failedWrites();
    EXPECT_EQ(nodir.SaveBlock(0, a, 2), 0);
    EXPECT_EQ(QelConfig::failedWrites(), before + 1);
    unsigned long other = 0;
    std::thread([&] { other = QelConfig::failedWrites(); }).join();
    EXPECT_EQ(other, 0u);
    QelConfig good("/mnt/b.bin", QelConfig::MODE_BLOCK);
    EXPECT_EQ(good.SaveBlock(0, a, 2), 1);
    EXPECT_EQ(QelConfig::failedWrites(), before + 1);
}

// Several files replaced together: when one cannot be written (here a directory stands at
// its path), none changes and no temporary file is left.
TEST_F(QelConfigTest, ReplaceFilesIsAllOrNothing) {
    put("/mnt/a.bin", "old-a");
    put("/mnt/c.bin", "old-c");
    ASSERT_EQ(mkdir(real("/mnt/b.bin").c_str(), 0755), 0);
    EXPECT_EQ(QelConfig::ReplaceFiles(
                  {{"/mnt/a.bin", "new-a"}, {"/mnt/b.bin", "new-b"}, {"/mnt/c.bin", "new-c"}}),
              0);
    EXPECT_EQ(get("/mnt/a.bin"), "old-a");
    EXPECT_EQ(get("/mnt/c.bin"), "old-c");
    ASSERT_EQ(rmdir(real("/mnt/b.bin").c_str()), 0);
    EXPECT_EQ(QelConfig::ReplaceFiles(
                  {{"/mnt/a.bin", "new-a"}, {"/mnt/b.bin", "new-b"}, {"/mnt/c.bin", "new-c"}}),
              1);
    EXPECT_EQ(get("/mnt/a.bin"), "new-a");
    EXPECT_EQ(get("/mnt/b.bin"), "new-b");
    EXPECT_EQ(get("/mnt/c.bin"), "new-c");
    DIR* d = opendir(real("/mnt").c_str());
    ASSERT_NE(d, nullptr);
    int entries = 0;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++entries;
    closedir(d);
    EXPECT_EQ(entries, 3);
}

// Held-back writes: every kind of write is only recorded and read back from the record on the
// writing thread; the commit lands them all, or none when one file cannot be written (a
// directory at its path), removals included. A batch opened inside another joins it.
TEST_F(QelConfigTest, HeldBackWritesLandAllOrNone) {
    put("/mnt/gone.bin", "kept");
    for (const bool blocked : {true, false}) {
        SCOPED_TRACE(blocked ? "one file blocked" : "all writable");
        if (blocked) ASSERT_EQ(mkdir(real("/mnt/z.bin").c_str(), 0755), 0);
        ASSERT_TRUE(QelConfig::BeginWrites());
        EXPECT_FALSE(QelConfig::BeginWrites());
        {
            QelConfig keys("/mnt/keys.ini", QelConfig::MODE_KEYVALUE);
            EXPECT_EQ(keys.WriteInt("n", 7, true), 1);
            QelConfig again("/mnt/keys.ini", QelConfig::MODE_KEYVALUE);
            EXPECT_EQ(again.ReadInt("n", 0), 7);
            keys.SetSaveOnDestroy(false);
            again.SetSaveOnDestroy(false);
        }
        QelConfig block("/mnt/blk.bin", QelConfig::MODE_BLOCK);
        unsigned char abc[] = {'a', 'b', 'c'}, de[] = {'d', 'e'};
        EXPECT_EQ(block.SaveBlock(0, abc, 3), 1);
        EXPECT_EQ(block.SaveBlock(-1, de, 2), 1);
        unsigned char back[8] = {};
        int got = 0;
        EXPECT_EQ(block.LoadBlock(1, back, 8, &got), 1);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(back), got), "bcde");
        QelConfig gone("/mnt/gone.bin", QelConfig::MODE_BLOCK);
        gone.Remove();
        EXPECT_EQ(gone.LoadBlock(0, back, 8), 0);
        EXPECT_EQ(QelConfig::ReplaceFiles({{"/mnt/z.bin", "zz"}}), 1);
        EXPECT_FALSE(exists("/mnt/keys.ini"));
        EXPECT_EQ(get("/mnt/gone.bin"), "kept");

        const unsigned long failed = QelConfig::failedWrites();
        EXPECT_EQ(QelConfig::CommitWrites(), blocked ? 0 : 1);
        EXPECT_EQ(QelConfig::failedWrites(), failed + (blocked ? 1 : 0));
        EXPECT_EQ(exists("/mnt/keys.ini"), !blocked);
        EXPECT_EQ(exists("/mnt/gone.bin"), blocked);
        if (blocked) {
            EXPECT_FALSE(exists("/mnt/blk.bin"));
            ASSERT_EQ(rmdir(real("/mnt/z.bin").c_str()), 0);
        } else {
            EXPECT_EQ(get("/mnt/blk.bin"), "abcde");
            EXPECT_EQ(get("/mnt/z.bin"), "zz");
            EXPECT_EQ(QelConfig("/mnt/keys.ini", QelConfig::MODE_KEYVALUE).ReadInt("n", 0), 7);
        }
    }
    // Without a batch, writes go straight to the files again.
    EXPECT_EQ(QelConfig::CommitWrites(), 1);
    EXPECT_EQ(QelConfig::ReplaceFiles({{"/mnt/z.bin", "now"}}), 1);
    EXPECT_EQ(get("/mnt/z.bin"), "now");
}

}  // namespace
