// The controller's settings store: one object per file, either a key/value store
// kept as a JSON document {"config": [ {key: value}, ... ]} (mode 0) or a raw block file read
// and written as byte blocks at offsets (mode 1).
//
// Paths are box paths ("/mnt/..."); every open goes through box::path, so on a PC the file
// lives under $QEL_ROOT.
//
// The file may hold anything, so reading it is hardened:
// - A document that does not parse, or is not a JSON object, counts as empty. A "config"
//   member that is not an array counts as an empty list, and the first write replaces it with
//   one. Elements that are not objects are skipped.
// - A stored value of the other type (text read with ReadInt, an integer read with ReadString,
//   or an integer outside the int range) is not converted: the read gives its default.
// - Save and SaveBlock at offset 0 write a temporary file beside the target and rename it over
//   the old one, so a program that dies mid-write leaves the old file or the new one.
// - Only regular files are read or written. Anything else at the path (a FIFO, a device, a
//   directory) counts as a missing file when read, is never opened for writing nor replaced,
//   and makes a save fail; a FIFO is never opened in a way that could wait.
// - Every write that fails is reported on standard error with its file and counted for the
//   calling thread (failedWrites), so a command can tell that something it changed was not kept.
// - Every public operation takes the object's lock, Load, Save and Remove included.
#pragma once

#include <semaphore.h>

#include <json/json.h>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class QelConfig {
public:
    static constexpr int MODE_KEYVALUE = 0;
    static constexpr int MODE_BLOCK = 1;

    // Binds the object to file (a box path). In mode 0 the file is loaded at once; a missing
    // or unreadable file leaves the document empty.
    QelConfig(std::string file, int mode);
    // No file, mode 0, nothing loaded; every save fails (returns 0).
    QelConfig();
    // A new store bound to the same file and mode holding a copy of this document; nothing is
    // read or written. Changes made to a copy and saved only if all went well leave the
    // original as it was.
    QelConfig* Copy() const;
    // In mode 0 saves the document (a missing file is created), unless SetSaveOnDestroy(false)
    // was called.
    virtual ~QelConfig();
    // Whether the destructor of a mode 0 store saves its document (true at construction).
    // An owner that has deleted the file on purpose turns it off so the file stays gone.
    void SetSaveOnDestroy(bool save) { saveOnDestroy = save; }

    // Mode 0: reads the file into the document. 1 when the file was opened (a document that
    // does not parse leaves the store empty and still gives 1); 0 in mode 1 or when the file
    // cannot be opened (the document is then kept as it was).
    int Load();
    int Load(std::string file);
    // Mode 0: writes the document's styled text to the file, replacing it atomically.
    // 1 when the file was written; 0 in mode 1 or when it could not be written.
    int Save();
    int Save(std::string file);
    // Empties the file. Mode 0: the "config" array becomes empty (other members stay) and the
    // document is written; mode 1: the file is left empty. 1 when the file could be written;
    // 0 otherwise, and then the document in memory is unchanged too.
    int Erase();
    // Deletes the file; the document in memory is kept. Always 1.
    int Remove();

    // Key/value operations (mode 0; in mode 1 reads give def and writes return 0, touching
    // nothing). Reads take the value of the last element holding the key; writes change the
    // first element holding it, or append {key: value}. With save the file is written at once
    // and the result is Save()'s; without it only the document changes and the result is 1.
    std::string ReadString(std::string key, std::string def);
    int ReadInt(std::string key, int def);
    int WriteString(std::string key, std::string value, bool save);
    int WriteInt(std::string key, int value, bool save);

    // Block operations (mode 1; in mode 0 they return 1 touching nothing).
    // LoadBlock reads up to len bytes from offset (-1: from the start) into buf; bytes not read
    // (short file, offset past the end) keep their old content. 1 when the file was opened,
    // 0 when it could not be (buf untouched). An offset below -1 reads nothing.
    // got, when given, receives the number of bytes actually read.
    int LoadBlock(int offset, unsigned char* buf, int len, int* got = nullptr);
    // offset 0: the file becomes exactly these len bytes (atomic replace); any other offset
    // (-1 in practice): the bytes are appended, creating the file when missing. 1 when the
    // bytes were written, 0 otherwise.
    int SaveBlock(int offset, unsigned char* buf, int len);
    int LoadBlockByName(std::string file, int offset, unsigned char* buf, int len);
    int SaveBlockByName(std::string file, int offset, unsigned char* buf, int len);

    // Writes of any store that failed on the calling thread since it started. A caller takes
    // the count before a change and compares after it.
    static unsigned long failedWrites();
    // Replaces each file (box path, new bytes) all or none: every new content is written
    // beside its file first, and only when all of them are written are they renamed over the
    // old files. 1 when every file was replaced; 0 when one could not be written, and then no
    // file changed.
    static int ReplaceFiles(const std::vector<std::pair<std::string, std::string>>& files);

    // Holds back the calling thread's writes so that they land all or none. While a batch is
    // open, every save, erase, block write, removal and ReplaceFiles of any store on this
    // thread only records the file's new content (or its removal) and succeeds; every read on
    // this thread sees the recorded content first, so the code in between works as if the
    // files were written. CommitWrites writes every new content beside its file, renames them
    // all over the old files only when all were written, then removes the files removed; when
    // one cannot be written (reported and counted as any failed write) nothing on disk changes.
    // BeginWrites gives false when a batch is open already: its writes join that batch and
    // whoever opened it commits. CommitWrites gives 1 when every file was written (or no batch
    // was open), 0 otherwise; either way the batch is closed.
    static bool BeginWrites();
    static int CommitWrites();

    std::string fileName() const;
    int fileMode() const { return mode; }

private:
    QelConfig(const QelConfig&) = delete;
    QelConfig& operator=(const QelConfig&) = delete;

    // The lock is not re-entrant: the public operations take it, the inner ones below assume
    // it is held.
    int loadLocked();
    int saveLocked();
    int loadBlockLocked(int offset, unsigned char* buf, int len, int* got);
    int saveBlockLocked(int offset, unsigned char* buf, int len);
    // The value of the last element holding key, or null when none does.
    const Json::Value* findLast(const std::string& key) const;
    // Sets key in the first element holding it, or appends {key: value}.
    void writeValue(const std::string& key, const Json::Value& value);
    // Rebuilds keyIndex from root; called whenever root is replaced.
    void indexKeys();

    Json::Value root;
    std::string file;
    int mode;
    bool saveOnDestroy = true;
    mutable sem_t sem;

    // Positions in the "config" array of the first and the last element holding each key.
    // The device tables hold thousands of keys and their writers read every one of them, so a
    // walk of the whole array per read would make each table write quadratic.
    struct KeySlots {
        Json::ArrayIndex first;
        Json::ArrayIndex last;
    };
    std::unordered_map<std::string, KeySlots> keyIndex;
};
