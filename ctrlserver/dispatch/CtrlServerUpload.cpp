// The upload and update commands: device discovery, the upload of a file in hexadecimal text
// blocks into /dev/tftpboot (firmware archives, pictures, device lists), the firmware and
// resource updates the devices fetch from there, and the application of a device list.
//
// An upload is written to a hidden part file and takes its name only when its stop accepts it,
// so an abandoned or refused upload leaves every stored file as it was. Operator names are
// reduced to a plain file name of a few safe characters before any path or shell text is made
// of them: the archive test is the one shell command they reach.
#include <dirent.h>
#include <ftw.h>
#include <regex.h>
#include <sys/stat.h>
#include <unistd.h>
#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "box/Box.h"
#include "device/DevServer.h"
#include "dispatch/CtrlServerDispatch.h"
#include "dispatch/JpegUtil.h"
#include "reply/ReplyBuilders.h"

namespace dispatch {

namespace {

const char kUploadDir[] = "/dev/tftpboot";
const char kPartName[] = ".upload.part";
const char kUntarDir[] = "/dev/tftpbootuntar";
const char kTarLog[] = "/dev/tftpboot/log";
// The upload area is RAM on the box: one upload holds at most this much.
const size_t kUploadMax = 64u * 1024 * 1024;
// A stored path is "/dev/tftpboot/<name>" in a 260-byte buffer on the box.
const size_t kNameMax = 245;
// The decoded bytes of a block are written in pieces of this size.
const size_t kBlockBuffer = 75000;
// Pictures: the wall's full-screen size, and at most 2 MiB.
const unsigned kPictureWidth = 1920;
const unsigned kPictureHeight = 1080;
const long kPictureMax = 2097152;
// Archive test: the pause after tar, and how much of its error output is read.
const unsigned kTarPauseUs = 2000000;
const size_t kTarLogRead = 1024;
// Device lists: lines, line buffer, field buffer, longest name; pause after each line sent.
const int kCsvLines = 200;
const size_t kCsvLineBuffer = 256;
const size_t kCsvFieldMax = 63;
const size_t kCsvNameMax = 8;
const unsigned kCsvPauseUs = 10000;
// A firmware target is read into a 20-byte buffer.
const size_t kTargetMax = 19;

std::string boxFile(const std::string& name) {
    return box::path(std::string(kUploadDir) + "/" + name);
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, strlen(prefix), prefix) == 0;
}

bool endsWith(const std::string& s, const char* suffix) {
    const size_t n = strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

bool holds(const std::string& s, const char* part) {
    return s.find(part) != std::string::npos;
}

// An operator's file name as stored: the text after its last '/' or '\'. Empty when that is
// not a plain name of at most kNameMax bytes of [A-Za-z0-9._+-], or is "." or "..", or starts
// with '.' (hidden, the part file among them) or '-' (an option to the archive test).
std::string uploadNameOf(const char* text) {
    std::string name = text ? text : "";
    const size_t cut = name.find_last_of("/\\");
    if (cut != std::string::npos) name.erase(0, cut + 1);
    if (name.empty() || name.size() > kNameMax || name[0] == '.' || name[0] == '-') return "";
    for (char ch : name) {
        const bool ok = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') ||
                        (ch >= '0' && ch <= '9') || ch == '.' || ch == '_' || ch == '+' ||
                        ch == '-';
        if (!ok) return "";
    }
    return name;
}

// The text at offset from the command's start; the empty text at its end when shorter.
const char* at(const char* cmd, size_t offset) {
    const size_t n = strlen(cmd);
    return cmd + (offset < n ? offset : n);
}

// Removes the stored files of the new file's families (older firmware of its kind, the
// other pictures or lists): the upload area keeps one of each.
void removeFamily(const std::string& name) {
    std::vector<const char*> prefixes, suffixes;
    if (startsWith(name, "TX_Update")) prefixes.push_back("TX_Update");
    if (startsWith(name, "RX_Update")) prefixes.push_back("RX_Update");
    if (holds(name, ".jpg"))
        suffixes.push_back(".jpg");
    else if (holds(name, ".csv"))
        suffixes.push_back(".csv");
    if (prefixes.empty() && suffixes.empty()) return;
    const std::string dir = box::path(kUploadDir);
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> doomed;
    while (struct dirent* ent = readdir(d)) {
        const std::string f = ent->d_name;
        if (f.empty() || f[0] == '.') continue;  // as the shell's '*' would
        bool hit = false;
        for (const char* p : prefixes) hit = hit || startsWith(f, p);
        for (const char* s : suffixes) hit = hit || endsWith(f, s);
        if (hit) doomed.push_back(dir + "/" + f);
    }
    closedir(d);
    for (const std::string& p : doomed) {
        struct stat st;
        if (lstat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) unlink(p.c_str());
    }
}

int removeEntry(const char* path, const struct stat*, int, struct FTW* ftw) {
    if (ftw->level > 0) ::remove(path);
    return 0;
}

// Empties the archive test area (links are removed, never followed).
void emptyUntarDir() {
    const std::string dir = box::path(kUntarDir);
    nftw(dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Drops the upload in progress, if any, and its part file.
void abandonUpload(CtrlServer& s) {
    if (s.uploadFile) fclose(s.uploadFile);
    s.uploadFile = nullptr;
    s.uploadName.clear();
    s.uploadTag.clear();
    s.uploadBytes = 0;
    unlink(boxFile(kPartName).c_str());
}

int hexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}

// Stores the finished upload under its name, first removing the older files it replaces.
bool keepUpload(const std::string& name) {
    removeFamily(name);
    return rename(boxFile(kPartName).c_str(), boxFile(name).c_str()) == 0;
}

// The archive test: extracts the archive into the test area and looks at tar's error output.
bool archiveExtracts(CtrlServer& s, const std::string& name) {
    box::makeDirs(kUntarDir);
    const std::string cmd = "tar -zxvf '" + std::string(kUploadDir) + "/" + name + "' -C " +
                            kUntarDir + "/ 2> " + kTarLog;
    const int status = box::system(cmd);
    usleep(kTarPauseUs);
    printf("strCmd: %s\n", cmd.c_str());
    fflush(stdout);
    char log[kTarLogRead + 1] = {0};
    if (FILE* f = fopen(box::path(kTarLog).c_str(), "rb")) {
        const size_t n = fread(log, 1, kTarLogRead, f);
        log[n] = '\0';
        fclose(f);
    } else {
        printf("fopoen error!\n");
    }
    emptyUntarDir();
    const bool damaged = strstr(log, "crc error") || strstr(log, "tar: Error") ||
                         strstr(log, "tar: invalid tar magic");
    if (status != 0)
        s.envir() << "archive test of " << name.c_str() << " exited " << status << "\n";
    return !damaged && status == 0;
}

// Whether text matches a stored POSIX basic expression, compiled once.
bool matchesPattern(const char* pattern, regex_t& re, bool& compiled, const std::string& text) {
    if (!compiled) compiled = regcomp(&re, pattern, 0) == 0;
    if (!compiled) return false;
    regmatch_t m[10];
    return regexec(&re, text.c_str(), 10, m, 0) == 0;
}

bool checkValidMAC(const std::string& text) {
    static regex_t re;
    static bool compiled = false;
    return matchesPattern("^[0-9A-Fa-f]\\([0-9A-Fa-f]\\:[0-9A-Fa-f]\\)\\{5\\}[0-9A-Fa-f]$", re,
                          compiled, text);
}

bool checkValidIP(const std::string& text) {
    static regex_t re;
    static bool compiled = false;
    return matchesPattern("^[0-9]\\{1,3\\}\\.[0-9]\\{1,3\\}\\.[0-9]\\{1,3\\}\\.[0-9]\\{1,3\\}$", re,
                          compiled, text);
}

// Applies one device-list line (its line end already turned into ','): false when it is
// skipped.
bool applyCsvLine(Command& c, char* line) {
    // The fields in order, empty ones skipped: MAC, IP, name, netmask, gateway.
    std::vector<std::string> f;
    for (char* p = line; *p && f.size() < 5;) {
        char* comma = strchr(p, ',');
        const size_t n = comma ? static_cast<size_t>(comma - p) : strlen(p);
        if (n > kCsvFieldMax) return false;
        if (n > 0) f.emplace_back(p, n);
        p += n + (comma ? 1 : 0);
    }
    f.resize(5);
    const std::string &mac = f[0], &ip = f[1], &name = f[2], &mask = f[3], &gateway = f[4];
    printf("Mac: %s   Ip: %s   Name :%s   NetMask: %s   Gateway: %s   \n", mac.c_str(), ip.c_str(),
           name.c_str(), mask.c_str(), gateway.c_str());
    printf("NetMask_Len: %d   GatewayLen: %d   \n", int(mask.size()), int(gateway.size()));
    if (!checkValidMAC(mac) || !checkValidIP(ip) || !checkValidIP(mask) || !checkValidIP(gateway) ||
        name.size() > kCsvNameMax)
        return false;
    char text[kCsvLineBuffer + 64];
    snprintf(text, sizeof text, "config set netandname params %s %s %s %s %s", mac.c_str(),
             ip.c_str(), mask.c_str(), gateway.c_str(), name.c_str());
    ArrayList<Param> values;
    c.dev().cmdDev(text, values, 1);
    usleep(kCsvPauseUs);
    return true;
}

// The shared part of "update firmware" and "update res": target, file, size and type.
int runUpdate(Command& c, size_t targetOffset, bool firmware) {
    const std::string echo = c.whole();
    Words target;
    const bool targetFits = readWords(at(c.cmd, targetOffset), 1, kTargetMax, target);
    std::string file;
    if (const char* with = strstr(c.cmd, "with")) {
        Words w;
        if (readWords(at(with, 5), 1, kNameMax, w)) file = uploadNameOf(w.at(0).c_str());
    }
    // Size and type point into the command: the size still holds "type ..." after it.
    char* size = nullptr;
    char* type = nullptr;
    if (char* p = strstr(c.cmd, "filesize")) size = const_cast<char*>(at(p, 9));
    if (char* p = strstr(c.cmd, "type")) type = const_cast<char*>(at(p, 5));
    bool ok = false;
    if (targetFits && !target.words.empty() && !file.empty()) {
        std::string t = target.at(0);
        ok = firmware ? c.dev().blUpdateFirmware(&t[0], &file[0], size, type)
                      : c.dev().blUpdateRes(&t[0], &file[0], size, type);
    }
    c.ack(ok, echo);
    return 1;
}

}  // namespace

int updateGetDevices(Command& c, const Entry&) {
    const std::string echo = c.whole();
    ArrayList<Device> found;
    const int n = c.dev().iFindQelDevices(7, found, 1);
    if (n > 0) {
        BuildDevlistJsonString(found, c.out(), c.outSize());
        c.queue();
    }
    c.ack(n > 0, echo);
    return 1;
}

int uploadStart(Command& c, const Entry&) {
    const std::string echo = c.whole();
    const std::string name = uploadNameOf(at(c.cmd, 18));
    if (name.empty()) {
        c.ack(false, echo);
        return 1;
    }
    CtrlServer& s = c.server;
    // An earlier unfinished upload is abandoned, and a part file left by a restart swept.
    abandonUpload(s);
    box::makeDirs(kUploadDir);
    s.uploadFile = fopen(boxFile(kPartName).c_str(), "wb");
    if (s.uploadFile) {
        s.uploadName = name;
        s.uploadTag = c.tag();
    }
    c.ack(s.uploadFile != nullptr, echo);
    return 1;
}

int uploadBlock(Command& c, const Entry&) {
    char* bar = strchr(c.cmd, '|');
    if (!bar) {
        c.ack(false, c.whole());
        return 1;
    }
    const std::string echo = c.upTo(bar);
    CtrlServer& s = c.server;
    int first = 0, n = 0;
    if (sscanf(at(c.cmd, 17), "%d,%d", &first, &n) < 2) n = 0;
    const char* hex = bar + 1;
    const size_t digits = strlen(hex);
    bool ok = s.uploadFile != nullptr && s.uploadTag == c.tag();
    // The payload must hold the 2n digits, all hexadecimal.
    if (ok && n > 0) ok = static_cast<size_t>(n) <= digits / 2;
    for (size_t i = 0; ok && n > 0 && i < 2 * static_cast<size_t>(n); ++i)
        ok = hexValue(hex[i]) >= 0;
    if (ok && n > 0 && s.uploadBytes + static_cast<size_t>(n) > kUploadMax) {
        s.envir() << "upload of " << s.uploadName.c_str() << " exceeds " << int(kUploadMax)
                  << " bytes: abandoned\n";
        abandonUpload(s);
        ok = false;
    }
    if (ok && n > 0 && s.ProcessFile(hex, n) != 1) {
        s.envir() << "upload of " << s.uploadName.c_str() << ": write failed, abandoned\n";
        abandonUpload(s);
        ok = false;
    }
    c.ack(ok, echo);
    return 1;
}

int uploadStop(Command& c, const Entry&) {
    const std::string echo = c.whole();
    CtrlServer& s = c.server;
    const std::string name = uploadNameOf(at(c.cmd, 17));
    if (!s.uploadFile || s.uploadTag != c.tag()) {
        c.ack(false, echo);
        return 1;
    }
    const bool closed = fclose(s.uploadFile) == 0;
    s.uploadFile = nullptr;
    if (!closed || name.empty() || name != s.uploadName) {
        abandonUpload(s);
        c.ack(false, echo);
        return 1;
    }
    s.uploadName.clear();
    s.uploadTag.clear();
    s.uploadBytes = 0;

    bool ok = true;
    if (holds(name, ".jpg")) {
        unsigned w = 0, h = 0;
        long size = 0;
        const std::string part = boxFile(kPartName);
        if (!checkJpeg(part.c_str(), &w, &h, &size)) {
            // Not a picture this reader takes: kept for the operator to look at.
            ok = false;
            rename(part.c_str(), boxFile(name).c_str());
        } else if (w == kPictureWidth && h == kPictureHeight && size <= kPictureMax) {
            ok = keepUpload(name);
        } else {
            ok = false;
            unlink(part.c_str());
        }
    } else if (holds(name, ".csv")) {
        ok = keepUpload(name);
    } else if (holds(name, ".tar")) {
        ok = keepUpload(name) && archiveExtracts(s, name);
    } else {
        ok = keepUpload(name);
    }
    c.ack(ok, echo);
    return 1;
}

int updateServerIp(Command& c, const Entry&) {
    const std::string echo = c.whole();
    std::string address = at(c.cmd, 20);
    struct in_addr a;
    bool ok = inet_pton(AF_INET, address.c_str(), &a) == 1;
    if (ok) ok = c.dev().blUpdateServerIP(&address[0]);
    c.ack(ok, echo);
    return 1;
}

int updateFirmware(Command& c, const Entry&) {
    return runUpdate(c, 16, true);
}

int updateRes(Command& c, const Entry&) {
    return runUpdate(c, 11, false);
}

int updateCsv(Command& c, const Entry&) {
    const std::string echo = c.whole();
    const char* with = strstr(c.cmd, "with");
    const std::string name = uploadNameOf(with ? at(with, 5) : "");
    FILE* f = name.empty() ? nullptr : fopen(boxFile(name).c_str(), "r");
    if (!f) {
        printf("fopoen error!\n");
        fflush(stdout);
        c.ack(false, echo);
        return 1;
    }
    for (int i = 0; i < kCsvLines; ++i) {
        char line[kCsvLineBuffer] = {0};
        if (!fgets(line, sizeof line, f)) {
            printf("file end \n");
            break;
        }
        size_t len = strlen(line);
        // A line longer than the buffer is skipped whole, not read on as a second line.
        if (len == sizeof line - 1 && line[len - 1] != '\n' && !feof(f)) {
            int ch;
            while ((ch = fgetc(f)) != EOF && ch != '\n') {
            }
            continue;
        }
        for (size_t k = len > 4 ? len - 4 : 0; k < len; ++k)
            if (line[k] == ' ' || line[k] == '\t' || line[k] == '\r' || line[k] == '\n')
                line[k] = ',';
        printf("strGet:%s \n", line);
        applyCsvLine(c, line);
    }
    fflush(stdout);
    fclose(f);
    c.ack(true, echo);
    return 1;
}

}  // namespace dispatch

int CtrlServer::ProcessFile(const char* hex, int n) {
    if (!hex || n <= 0 || !uploadFile) return 0;
    const size_t total = static_cast<size_t>(n);
    std::vector<unsigned char> block(std::min(total, dispatch::kBlockBuffer));
    size_t used = 0;
    bool ok = true;
    for (size_t i = 0; i < total && ok; ++i) {
        const int hi = dispatch::hexValue(hex[2 * i]);
        const int lo = dispatch::hexValue(hex[2 * i + 1]);
        block[used++] = static_cast<unsigned char>(((hi & 0x0f) << 4) | (lo & 0x0f));
        if (used == block.size() || i + 1 == total) {
            ok = fwrite(block.data(), 1, used, uploadFile) == used;
            used = 0;
        }
    }
    ok = ok && fflush(uploadFile) == 0;
    if (ok) uploadBytes += total;
    return ok ? 1 : 0;
}
