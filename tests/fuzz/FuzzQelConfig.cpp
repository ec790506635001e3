// Feeds arbitrary bytes to a key/value settings file, reads every key it names back with both
// typed reads, writes, saves and loads the result again. Besides crashes it checks that no
// stored value reads as both an integer and a text, and that every value reads the same after
// the save and a new load (for inputs that are valid UTF-8, see below).
#include <fcntl.h>
#include <json/json.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <set>
#include <sstream>
#include <string>

#include "core/QelConfig.h"

namespace {

const char* const kFile = "/mnt/fuzz.ini";
const char* const kFreshKey = "fuzz.fresh.key";  // written by every run
const size_t kMaxKeys = 64;

std::string gRoot;

void removeRoot() {
    unlink((gRoot + kFile).c_str());
    rmdir((gRoot + "/mnt").c_str());
    rmdir(gRoot.c_str());
}

// One box root per process, on a memory file system when there is one (Save syncs its file).
void setUpRoot() {
    if (!gRoot.empty()) return;
    std::string base = "/tmp";
    if (const char* t = getenv("TMPDIR")) {
        base = t;
    } else if (access("/dev/shm", W_OK) == 0) {
        base = "/dev/shm";
    }
    std::string tmpl = base + "/qelfuzz-XXXXXX";
    if (!mkdtemp(&tmpl[0])) {
        perror("mkdtemp");
        abort();
    }
    gRoot = tmpl;
    setenv("QEL_ROOT", gRoot.c_str(), 1);
    mkdir((gRoot + "/mnt").c_str(), 0755);
    atexit(removeRoot);
}

void writeInput(const uint8_t* data, size_t size) {
    int fd = open((gRoot + kFile).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) abort();
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n <= 0) abort();
        data += n;
        size -= static_cast<size_t>(n);
    }
    close(fd);
}

// The keys the input names, found with the library's other parser (any error: none).
std::set<std::string> keysOf(const uint8_t* data, size_t size) {
    std::set<std::string> keys = {"a", "config", "", "decoder_count", kFreshKey};
    try {
        Json::CharReaderBuilder builder;
        Json::Value doc;
        std::string errs;
        std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
        if (!Json::parseFromStream(builder, in, &doc, &errs) || !doc.isObject()) return keys;
        const Json::Value& config = doc["config"];
        if (!config.isArray()) return keys;
        for (const Json::Value& element : config) {
            if (!element.isObject()) continue;
            for (const std::string& k : element.getMemberNames()) {
                if (keys.size() >= kMaxKeys) return keys;
                keys.insert(k);
            }
        }
    } catch (const std::exception&) {
    }
    return keys;
}

void check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "fuzz_qelconfig: %s\n", what);
        abort();
    }
}

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool isUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

// What the store gives for key: whether it holds an integer or a text, and which.
struct Reading {
    bool hasInt;
    int intValue;
    bool hasText;
    std::string text;
};

Reading read(QelConfig& store, const std::string& key) {
    Reading r;
    // Two different defaults tell a stored value from a default.
    r.intValue = store.ReadInt(key, 1);
    r.hasInt = r.intValue == store.ReadInt(key, 2);
    r.text = store.ReadString(key, "\x01");
    r.hasText = r.text == store.ReadString(key, "\x02");
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setUpRoot();
    writeInput(data, size);
    const std::set<std::string> keys = keysOf(data, size);
    QelConfig store(kFile, QelConfig::MODE_KEYVALUE);
    for (const std::string& k : keys) {
        Reading r = read(store, k);
        check(!(r.hasInt && r.hasText), "a value reads as both an integer and a text");
    }
    store.WriteInt(*keys.rbegin(), 12345, false);
    store.WriteString(kFreshKey, "fresh", true);

    // A saved document loads back with the same values. The library replaces bytes that are
    // not UTF-8 (and lone surrogates from \u escapes) when it writes a text, which can merge
    // two keys; only inputs free of both are compared.
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (!isUtf8(input) || input.find("\\u") != std::string::npos) return 0;
    QelConfig again(kFile, QelConfig::MODE_KEYVALUE);
    for (const std::string& k : keys) {
        Reading before = read(store, k), after = read(again, k);
        check(before.hasInt == after.hasInt && before.intValue == after.intValue,
              "an integer changed across save and load");
        check(before.hasText == after.hasText && before.text == after.text,
              "a text changed across save and load");
    }
    return 0;
}
