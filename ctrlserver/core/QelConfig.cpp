#include "core/QelConfig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unordered_map>
#include <utility>
#include <vector>

#include "box/Box.h"

namespace {

// The object's semaphore held for one scope; sem_wait is restarted after a signal.
class SemLock {
public:
    explicit SemLock(sem_t& s) : sem(s) {
        while (sem_wait(&sem) != 0 && errno == EINTR) {
        }
    }
    ~SemLock() { sem_post(&sem); }

private:
    SemLock(const SemLock&) = delete;
    SemLock& operator=(const SemLock&) = delete;
    sem_t& sem;
};

const mode_t kNewFileMode = 0644;

// Failed writes of the calling thread since it started; see failedWrites().
thread_local unsigned long threadFailedWrites = 0;

// Counts and reports one write that did not reach the file.
void writeFailed(const std::string& file, const char* why) {
    ++threadFailedWrites;
    fprintf(stderr, "cannot write %s: %s\n", file.c_str(), why);
}

// Opens path for reading without ever waiting: a FIFO or a device standing where a store's
// file should be would otherwise block the caller until someone writes to it. Anything but a
// regular file is refused with a line on standard error and counts as missing, as a directory
// does. -1 when there is nothing to read.
int openRegularForRead(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (!S_ISDIR(st.st_mode))
            fprintf(stderr, "%s is not a regular file: not read\n", path.c_str());
        close(fd);
        return -1;
    }
    // Reads of a regular file never wait anyway; blocking mode keeps them simple.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Whether something other than a regular file stands at path (a FIFO, a device, a directory):
// a store never writes through one nor replaces it.
bool blockedBySpecialFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool writeAll(int fd, const char* data, size_t len) {
    while (len > 0) {
        ssize_t n = write(fd, data, len);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

// Reads the whole file; false when it cannot be opened. A read error keeps what was read.
bool readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    if (path.empty()) return false;
    int fd = openRegularForRead(path);
    if (fd < 0) return false;
    char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

// Writes these bytes to a new temporary file beside path (same directory, so a rename can
// put it in place), with the old file's permissions. With sync the data reaches the disk
// first. False, counted and reported, when path holds something other than a regular file or
// the bytes cannot all be written; nothing is left behind then.
bool writeBeside(const std::string& path, const char* data, size_t len, bool sync,
                 std::string& tmp) {
    if (path.empty()) return false;
    if (blockedBySpecialFile(path)) {
        writeFailed(path, "not a regular file");
        return false;
    }
    tmp = path + ".tmp-XXXXXX";
    int fd = mkostemp(&tmp[0], O_CLOEXEC);
    if (fd < 0) {
        writeFailed(path, strerror(errno));
        return false;
    }
    struct stat old;
    fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : kNewFileMode);
    bool ok = writeAll(fd, data, len);
    int err = ok ? 0 : (errno ? errno : ENOSPC);
    if (ok && sync && fsync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        writeFailed(path, strerror(err));
        unlink(tmp.c_str());
    }
    return ok;
}

// Puts a file written by writeBeside in place of path.
bool installBeside(const std::string& tmp, const std::string& path) {
    if (rename(tmp.c_str(), path.c_str()) == 0) return true;
    writeFailed(path, strerror(errno));
    unlink(tmp.c_str());
    return false;
}

// Replaces path with exactly these bytes: they go to a temporary file in the same directory,
// which is then renamed over the old file, so whoever opens path sees the old content or the
// new one, never a part. With sync the data reaches the disk before the rename, so a power
// loss cannot leave an empty file either. The old file's permissions are kept.
bool replaceFile(const std::string& path, const char* data, size_t len, bool sync) {
    std::string tmp;
    return writeBeside(path, data, len, sync, tmp) && installBeside(tmp, path);
}

// The calling thread's held-back writes (see QelConfig::BeginWrites), keyed by the file's
// path on this machine, in the order they were first made.
struct PendingFile {
    std::string path;
    std::string bytes;
    bool removed;
    bool sync;
};
struct WriteBatch {
    bool open = false;
    std::vector<PendingFile> files;
    std::unordered_map<std::string, size_t> index;
};
thread_local WriteBatch threadBatch;

// The held-back content of path, or null when the open batch (if any) has none.
const PendingFile* pendingFor(const std::string& path) {
    if (!threadBatch.open) return nullptr;
    auto it = threadBatch.index.find(path);
    return it == threadBatch.index.end() ? nullptr : &threadBatch.files[it->second];
}

// Records path's new content (or its removal) in the open batch.
void holdBack(const std::string& path, std::string bytes, bool removed, bool sync) {
    auto it = threadBatch.index.find(path);
    if (it == threadBatch.index.end()) {
        threadBatch.index.emplace(path, threadBatch.files.size());
        threadBatch.files.push_back(PendingFile{path, std::move(bytes), removed, sync});
        return;
    }
    PendingFile& f = threadBatch.files[it->second];
    f.bytes = std::move(bytes);
    f.removed = removed;
    f.sync = f.sync || sync;
}

// Path's whole content as this thread sees it: held back, or on disk. False when missing.
bool readSeen(const std::string& path, std::string& out) {
    if (const PendingFile* f = pendingFor(path)) {
        out = f->removed ? std::string() : f->bytes;
        return !f->removed;
    }
    return readWholeFile(path, out);
}

// Writes every file's new content beside it, then renames them all over the old files; with
// one not written, the ones written beside are deleted and nothing changes.
bool replaceAll(const std::vector<PendingFile>& files) {
    std::vector<std::pair<std::string, std::string>> written;  // temporary file, target
    for (const auto& f : files) {
        if (f.removed) continue;
        std::string tmp;
        if (f.path.empty() || !writeBeside(f.path, f.bytes.data(), f.bytes.size(), f.sync, tmp)) {
            for (const auto& w : written) unlink(w.first.c_str());
            return false;
        }
        written.emplace_back(tmp, f.path);
    }
    // A rename within a directory needs no room, so once every new file is written the old
    // ones are replaced together.
    bool ok = true;
    for (const auto& w : written)
        if (!installBeside(w.first, w.second)) ok = false;
    if (!ok) return false;
    for (const auto& f : files)
        if (f.removed) unlink(f.path.c_str());
    return true;
}

// The "config" array of a document, or null when the document has none.
const Json::Value* configArray(const Json::Value& root) {
    if (!root.isObject()) return nullptr;
    static const char kConfig[] = "config";
    const Json::Value* config = root.find(kConfig, kConfig + sizeof kConfig - 1);
    return config && config->isArray() ? config : nullptr;
}

}  // namespace

QelConfig::QelConfig(std::string file, int mode) : root(), file(std::move(file)), mode(mode) {
    sem_init(&sem, 1, 1);
    if (mode != MODE_BLOCK) loadLocked();  // nothing else can see the object yet
}

QelConfig::QelConfig() : root(Json::stringValue), file(), mode(MODE_KEYVALUE) {
    sem_init(&sem, 1, 1);
}

QelConfig* QelConfig::Copy() const {
    SemLock lock(sem);
    QelConfig* copy = new QelConfig(file, MODE_BLOCK);  // mode 1 reads nothing at construction
    copy->mode = mode;
    copy->root = root;
    copy->indexKeys();
    return copy;
}

QelConfig::~QelConfig() {
    {
        SemLock lock(sem);
        if (mode != MODE_BLOCK && saveOnDestroy) {
            try {
                saveLocked();
            } catch (const std::exception&) {  // out of memory: the file keeps its last save
            }
        }
    }
    sem_destroy(&sem);
}

std::string QelConfig::fileName() const {
    SemLock lock(sem);
    return file;
}

int QelConfig::Load() {
    SemLock lock(sem);
    return loadLocked();
}

int QelConfig::Load(std::string newFile) {
    SemLock lock(sem);
    file = std::move(newFile);
    return loadLocked();
}

int QelConfig::loadLocked() {
    if (mode == MODE_BLOCK) return 0;
    std::string text;
    if (!readSeen(box::path(file), text)) return 0;
    root = Json::Value();
    Json::Value parsed;
    bool ok = false;
    try {
        Json::Reader reader;
        ok = reader.parse(text, parsed, true);
    } catch (const Json::Exception&) {  // thrown past the parser's nesting limit
        ok = false;
    }
    if (ok && parsed.isObject()) root.swap(parsed);
    indexKeys();
    return 1;
}

int QelConfig::Save() {
    SemLock lock(sem);
    return saveLocked();
}

int QelConfig::Save(std::string newFile) {
    SemLock lock(sem);
    file = std::move(newFile);
    return saveLocked();
}

int QelConfig::saveLocked() {
    if (mode == MODE_BLOCK) return 0;
    const std::string text = root.toStyledString();
    if (threadBatch.open && !file.empty()) {
        holdBack(box::path(file), text, false, true);
        return 1;
    }
    return replaceFile(box::path(file), text.data(), text.size(), true) ? 1 : 0;
}

int QelConfig::Erase() {
    SemLock lock(sem);
    const std::string path = box::path(file);
    if (path.empty()) return 0;
    if (mode == MODE_BLOCK) {
        if (threadBatch.open) {
            holdBack(path, std::string(), false, false);
            return 1;
        }
        return replaceFile(path, "", 0, false) ? 1 : 0;
    }
    Json::Value doc = root.isObject() ? root : Json::Value(Json::objectValue);
    doc["config"] = Json::Value(Json::arrayValue);
    const std::string text = doc.toStyledString();
    if (threadBatch.open)
        holdBack(path, text, false, true);
    else if (!replaceFile(path, text.data(), text.size(), true))
        return 0;
    root.swap(doc);
    indexKeys();
    return 1;
}

int QelConfig::ReplaceFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<PendingFile> all;
    for (const auto& f : files) {
        const std::string path = box::path(f.first);
        if (path.empty()) return 0;
        all.push_back(PendingFile{path, f.second, false, false});
    }
    if (threadBatch.open) {
        for (auto& f : all) holdBack(f.path, std::move(f.bytes), false, false);
        return 1;
    }
    return replaceAll(all) ? 1 : 0;
}

bool QelConfig::BeginWrites() {
    if (threadBatch.open) return false;
    threadBatch = WriteBatch();
    threadBatch.open = true;
    return true;
}

int QelConfig::CommitWrites() {
    if (!threadBatch.open) return 1;
    WriteBatch batch;
    std::swap(batch, threadBatch);
    threadBatch.open = false;
    return replaceAll(batch.files) ? 1 : 0;
}

unsigned long QelConfig::failedWrites() {
    return threadFailedWrites;
}

int QelConfig::Remove() {
    SemLock lock(sem);
    const std::string path = box::path(file);
    if (path.empty()) return 1;
    if (threadBatch.open)
        holdBack(path, std::string(), true, false);
    else
        unlink(path.c_str());
    return 1;
}

void QelConfig::indexKeys() {
    keyIndex.clear();
    const Json::Value* config = configArray(root);
    if (!config) return;
    for (Json::ArrayIndex i = 0; i < config->size(); ++i) {
        const Json::Value& element = (*config)[i];
        if (!element.isObject()) continue;  // a hand-made file may hold anything
        for (const std::string& key : element.getMemberNames()) {
            auto it = keyIndex.find(key);
            if (it == keyIndex.end())
                keyIndex.emplace(key, KeySlots{i, i});
            else
                it->second.last = i;
        }
    }
}

const Json::Value* QelConfig::findLast(const std::string& key) const {
    const Json::Value* config = configArray(root);
    auto it = keyIndex.find(key);
    if (!config || it == keyIndex.end()) return nullptr;
    const Json::Value& element = (*config)[it->second.last];
    return element.find(key.data(), key.data() + key.size());
}

void QelConfig::writeValue(const std::string& key, const Json::Value& value) {
    if (!configArray(root)) {
        if (!root.isObject()) root = Json::Value(Json::objectValue);
        root["config"] = Json::Value(Json::arrayValue);
        keyIndex.clear();
    }
    Json::Value& config = root["config"];
    auto it = keyIndex.find(key);
    if (it != keyIndex.end()) {
        config[it->second.first][key] = value;
        return;
    }
    Json::Value element(Json::objectValue);
    element[key] = value;
    const Json::ArrayIndex at = config.size();
    config.append(std::move(element));
    keyIndex.emplace(key, KeySlots{at, at});
}

std::string QelConfig::ReadString(std::string key, std::string def) {
    if (mode == MODE_BLOCK) return def;
    SemLock lock(sem);
    const Json::Value* v = findLast(key);
    return v && v->isString() ? v->asString() : def;
}

int QelConfig::ReadInt(std::string key, int def) {
    if (mode == MODE_BLOCK) return def;
    SemLock lock(sem);
    const Json::Value* v = findLast(key);
    // isInt also admits an integral real within range (5.0); a text, a bool or a number out of
    // the int range is not converted.
    return v && v->isInt() ? v->asInt() : def;
}

int QelConfig::WriteString(std::string key, std::string value, bool save) {
    if (mode == MODE_BLOCK) return 0;
    SemLock lock(sem);
    writeValue(key, Json::Value(value));
    return save ? saveLocked() : 1;
}

int QelConfig::WriteInt(std::string key, int value, bool save) {
    if (mode == MODE_BLOCK) return 0;
    SemLock lock(sem);
    writeValue(key, Json::Value(value));
    return save ? saveLocked() : 1;
}

int QelConfig::LoadBlock(int offset, unsigned char* buf, int len, int* got) {
    SemLock lock(sem);
    return loadBlockLocked(offset, buf, len, got);
}

int QelConfig::LoadBlockByName(std::string newFile, int offset, unsigned char* buf, int len) {
    SemLock lock(sem);
    file = std::move(newFile);
    return loadBlockLocked(offset, buf, len, nullptr);
}

int QelConfig::loadBlockLocked(int offset, unsigned char* buf, int len, int* got) {
    if (got) *got = 0;
    if (mode != MODE_BLOCK) return 1;
    const std::string path = box::path(file);
    if (path.empty()) return 0;
    if (const PendingFile* f = pendingFor(path)) {
        if (f->removed) return 0;
        if (buf && len > 0 && offset >= -1) {
            const size_t start = offset == -1 ? 0 : static_cast<size_t>(offset);
            size_t done = 0;
            if (start < f->bytes.size()) {
                done = std::min(static_cast<size_t>(len), f->bytes.size() - start);
                memcpy(buf, f->bytes.data() + start, done);
            }
            if (got) *got = static_cast<int>(done);
        }
        return 1;
    }
    int fd = openRegularForRead(path);
    if (fd < 0) return 0;
    if (buf && len > 0 && offset >= -1) {
        // pread writes only the bytes it returns, so the rest of buf keeps its content.
        const off_t start = offset == -1 ? 0 : offset;
        size_t done = 0;
        const size_t want = static_cast<size_t>(len);
        while (done < want) {
            ssize_t n = pread(fd, buf + done, want - done, start + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        if (got) *got = static_cast<int>(done);
    }
    close(fd);
    return 1;
}

int QelConfig::SaveBlock(int offset, unsigned char* buf, int len) {
    SemLock lock(sem);
    return saveBlockLocked(offset, buf, len);
}

int QelConfig::SaveBlockByName(std::string newFile, int offset, unsigned char* buf, int len) {
    SemLock lock(sem);
    file = std::move(newFile);
    return saveBlockLocked(offset, buf, len);
}

int QelConfig::saveBlockLocked(int offset, unsigned char* buf, int len) {
    if (mode != MODE_BLOCK) return 1;
    if (len < 0 || (len > 0 && !buf)) return 0;
    const std::string path = box::path(file);
    if (path.empty()) return 0;
    const char* data = reinterpret_cast<const char*>(buf);
    // No fsync here: a scene change rewrites hundreds of window blocks, and the rename alone
    // already keeps a dying program from leaving a cut block.
    if (threadBatch.open) {
        // An append is held back as the whole file it makes.
        std::string bytes;
        if (offset != 0) {
            if (blockedBySpecialFile(path)) {
                writeFailed(path, "not a regular file");
                return 0;
            }
            readSeen(path, bytes);
        }
        if (len > 0) bytes.append(data, static_cast<size_t>(len));
        holdBack(path, std::move(bytes), false, false);
        return 1;
    }
    if (offset == 0) return replaceFile(path, data, static_cast<size_t>(len), false) ? 1 : 0;
    if (blockedBySpecialFile(path)) {
        writeFailed(path, "not a regular file");
        return 0;
    }
    int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, kNewFileMode);
    if (fd < 0) {
        writeFailed(path, strerror(errno));
        return 0;
    }
    bool ok = writeAll(fd, data, static_cast<size_t>(len));
    if (close(fd) != 0) ok = false;
    if (!ok) writeFailed(path, "short write");
    return ok ? 1 : 0;
}
