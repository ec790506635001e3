#include "control/qelDecodeSettings.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "box/Box.h"
#include "control/qelDecode.h"
#include "control/qelGet_ip.h"

std::atomic<int> CutEdgeHor{0}, CutEdgeVer{0};
std::atomic<int> AudioOutput{1};
std::atomic<int> Serial_BaudRate{115200}, Serial_DataBits{8}, Serial_Parity{0}, Serial_StopBits{1};
std::atomic<int> Serial_Enable{0};
std::atomic<int> iSplit_Num{1};
std::atomic<int> Luma{50}, Contrast{50}, Hue{50}, Satuature{50};
std::atomic<int> version{0};
std::atomic<int> windows{4};
std::atomic<int> video_out{ZURIR_VO_OUTPUT_1080P60};
std::atomic<unsigned char> chnipDisplayenable{0};
std::atomic<unsigned long> circle_broadcast_enable_num{4};
std::mutex gTextLock;
unsigned char Serial_DestIP[32] = "255.255.255.255";
unsigned char decoder_Name[32] = "RX";

namespace {

const char* const kMain = "/mnt/config.ini";
const char* const kCopy = "/mnt/config.bak";
const char* const kUnused = "unused_window";
const char* const kNoWrite = "mnt file system can not be written!";
// Largest settings file read whole; the main file holds at most 36 lines of 512 bytes.
const size_t kMaxFile = 64 * 1024;

// Reads values the way "%d" and "%s" would from a stream: blanks and line ends are skipped, a
// number that does not parse fails without moving on.
class Scanner {
public:
    explicit Scanner(std::string text) : s_(std::move(text)) {}

    bool number(int& out) {
        size_t p = skip();
        size_t q = p;
        if (q < s_.size() && (s_[q] == '-' || s_[q] == '+')) ++q;
        size_t digits = q;
        while (q < s_.size() && isdigit(static_cast<unsigned char>(s_[q]))) ++q;
        if (q == digits) return false;
        errno = 0;
        long v = strtol(s_.c_str() + p, nullptr, 10);
        if (v > INT_MAX) v = INT_MAX;
        if (v < INT_MIN) v = INT_MIN;
        out = static_cast<int>(v);
        pos_ = q;
        return true;
    }

    bool token(std::string& out) {
        size_t p = skip();
        size_t q = p;
        while (q < s_.size() && !isspace(static_cast<unsigned char>(s_[q]))) ++q;
        if (q == p) return false;
        out = s_.substr(p, q - p);
        pos_ = q;
        return true;
    }

private:
    size_t skip() {
        while (pos_ < s_.size() && isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        return pos_;
    }
    std::string s_;
    size_t pos_ = 0;
};

bool readFile(const char* boxPath, std::string& out) {
    FILE* f = fopen(box::path(boxPath).c_str(), "rb");
    if (!f) return false;
    out.clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && out.size() < kMaxFile)
        out.append(buf, n < kMaxFile - out.size() ? n : kMaxFile - out.size());
    fclose(f);
    return true;
}

bool writeFile(const char* boxPath, const std::string& text) {
    FILE* f = fopen(box::path(boxPath).c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

bool exists(const char* boxPath) {
    FILE* f = fopen(box::path(boxPath).c_str(), "rb");
    if (!f) return false;
    fclose(f);
    return true;
}

std::string line(int v) {
    return std::to_string(v) + "\n";
}

// The pair a first start creates: counter 1, every slot unused, 18 windows, 1080p60.
std::string defaultMainFile() {
    std::string t = "1\n";
    for (int i = 0; i < QEL_SLOTS; ++i) t += std::string(kUnused) + "\n";
    return t + "18\n10\n";
}

// The change counter a copy starts with; false when the copy does not begin with a number
// (an empty copy included), so it cannot take part in the comparison.
bool leadingCounter(const std::string& text, int& counter) {
    Scanner s(text);
    return s.number(counter);
}

std::string textOf(const unsigned char* t) {
    std::lock_guard<std::mutex> g(gTextLock);
    return reinterpret_cast<const char*>(t);
}

int writeSmall(const char* boxPath, const std::string& text) {
    return writeFile(boxPath, text) ? 0 : -1;
}

}  // namespace

void resetSettingsDefaults() {
    CutEdgeHor = 0;
    CutEdgeVer = 0;
    AudioOutput = 1;
    Serial_BaudRate = 115200;
    Serial_DataBits = 8;
    Serial_Parity = 0;
    Serial_StopBits = 1;
    Serial_Enable = 0;
    iSplit_Num = 1;
    Luma = Contrast = Hue = Satuature = 50;
    version = 0;
    windows = 4;
    video_out = ZURIR_VO_OUTPUT_1080P60;
    chnipDisplayenable = 0;
    circle_broadcast_enable_num = 4;
    {
        std::lock_guard<std::mutex> g(gTextLock);
        copyText(reinterpret_cast<char*>(Serial_DestIP), sizeof Serial_DestIP, "255.255.255.255");
        copyText(reinterpret_cast<char*>(decoder_Name), sizeof decoder_Name, "RX");
    }
    std::lock_guard<std::mutex> g(gWinLock);
    memset(param, 0, sizeof param);
}

int saveCutEdge() {
    return writeSmall("/mnt/cutedge.ini", line(CutEdgeHor) + line(CutEdgeVer));
}

int saveAudioOutput() {
    return writeSmall("/mnt/audiooutput.ini", line(AudioOutput));
}

int saveSerialConfig() {
    return writeSmall("/mnt/serialconfig.ini", line(Serial_BaudRate) + line(Serial_DataBits) +
                                                   line(Serial_Parity) + line(Serial_StopBits) +
                                                   textOf(Serial_DestIP) + "\n" +
                                                   line(Serial_Enable));
}

int saveDecoderNameConfig() {
    return writeSmall("/mnt/decodername.ini", textOf(decoder_Name) + "\n");
}

int saveSplitNumConfig() {
    return writeSmall("/mnt/spiltnum.ini", line(iSplit_Num));
}

int saveCsc() {
    return writeSmall("/mnt/csc.ini", line(Luma) + line(Contrast) + line(Hue) + line(Satuature));
}

namespace {

// Reads the numbers of a small file in file order into the globals; a number that does not parse
// keeps its global and every later one at its value. False when the file is missing.
bool loadNumbers(const char* boxPath, std::initializer_list<std::atomic<int>*> globals) {
    std::string t;
    if (!readFile(boxPath, t)) return false;
    Scanner s(t);
    for (std::atomic<int>* g : globals) {
        int v;
        if (!s.number(v)) break;
        *g = v;
    }
    return true;
}

}  // namespace

int checkCutEdge() {
    if (!loadNumbers("/mnt/cutedge.ini", {&CutEdgeHor, &CutEdgeVer})) return saveCutEdge();
    printf("Read CutEdgeHor: %d   CutEdgeVer: %d \n", CutEdgeHor.load(), CutEdgeVer.load());
    return 0;
}

int checkAudioOutput() {
    if (!loadNumbers("/mnt/audiooutput.ini", {&AudioOutput})) return saveAudioOutput();
    printf("Read AudioOutput: %d \n", AudioOutput.load());
    return 0;
}

int checkSerialConfig() {
    std::string t;
    if (!readFile("/mnt/serialconfig.ini", t)) return saveSerialConfig();
    Scanner s(t);
    std::atomic<int>* g[] = {&Serial_BaudRate, &Serial_DataBits, &Serial_Parity, &Serial_StopBits};
    bool ok = true;
    for (auto* v : g) {
        int n;
        if (!(ok = s.number(n))) break;
        *v = n;
    }
    std::string dest;
    if (ok && s.token(dest)) {
        {
            std::lock_guard<std::mutex> lk(gTextLock);
            copyText(reinterpret_cast<char*>(Serial_DestIP), sizeof Serial_DestIP, dest.c_str());
        }
        int n;
        if (s.number(n)) Serial_Enable = n;
    }
    printf("Serial_BaudRate: %d %d %d %d %s %d \n", Serial_BaudRate.load(), Serial_DataBits.load(),
           Serial_Parity.load(), Serial_StopBits.load(), textOf(Serial_DestIP).c_str(),
           Serial_Enable.load());
    return 0;
}

int checkDecoderNameConfig() {
    std::string t;
    if (!readFile("/mnt/decodername.ini", t)) return saveDecoderNameConfig();
    // The first line is the name, blanks included, so that a name with a blank survives a
    // restart.
    size_t end = t.find_first_of("\r\n");
    std::string name = t.substr(0, end);
    if (!name.empty()) {
        std::lock_guard<std::mutex> g(gTextLock);
        copyText(reinterpret_cast<char*>(decoder_Name), sizeof decoder_Name, name.c_str());
    }
    printf("decoder_Name: %s \n", textOf(decoder_Name).c_str());
    return 0;
}

int checkSplitNumConfig() {
    if (!loadNumbers("/mnt/spiltnum.ini", {&iSplit_Num})) return saveSplitNumConfig();
    printf("iSplit_Num: %d \n", iSplit_Num.load());
    return 0;
}

int checkCsc() {
    if (!loadNumbers("/mnt/csc.ini", {&Luma, &Contrast, &Hue, &Satuature})) return saveCsc();
    return 0;
}

int checkIni() {
    version = 0;
    {
        std::lock_guard<std::mutex> g(gWinLock);
        memset(param, 0, sizeof param);
    }
    std::string mainText, copyTextBuf;
    bool haveMain = readFile(kMain, mainText);
    bool haveCopy = readFile(kCopy, copyTextBuf);
    if (!haveMain && !haveCopy) {
        mainText = copyTextBuf = defaultMainFile();
        if (!writeFile(kMain, mainText)) {
            puts(kNoWrite);
            return -1;
        }
        if (!writeFile(kCopy, copyTextBuf)) {
            puts("mnt system unkown issue, and can not write backup file!");
            return -1;
        }
    } else if (!haveMain) {
        mainText = copyTextBuf;
        if (!writeFile(kMain, mainText)) {
            puts(kNoWrite);
            return -1;
        }
    } else if (!haveCopy) {
        copyTextBuf = mainText;
        if (!writeFile(kCopy, copyTextBuf)) {
            puts(kNoWrite);
            return -1;
        }
    }
    int mainCounter = 0, copyCounter = 0;
    bool mainOk = leadingCounter(mainText, mainCounter);
    bool copyOk = leadingCounter(copyTextBuf, copyCounter);
    if (!mainOk && !copyOk) {
        // Neither copy can win: start again from the pair of a first start rather than swap the
        // same bad content back and forth.
        puts("config.ini and config.bak are both unusable, default settings are created!");
        mainText = copyTextBuf = defaultMainFile();
        mainCounter = copyCounter = 1;
        mainOk = copyOk = true;
        if (!writeFile(kMain, mainText) || !writeFile(kCopy, copyTextBuf)) {
            puts(kNoWrite);
            return -1;
        }
    }
    // The higher counter wins; a copy without a counter loses.
    if (!copyOk || (mainOk && mainCounter > copyCounter)) {
        copyTextBuf = mainText;
        copyCounter = mainCounter;
        if (!writeFile(kCopy, copyTextBuf)) {
            puts(kNoWrite);
            return -1;
        }
    } else if (!mainOk || mainCounter < copyCounter) {
        mainText = copyTextBuf;
        mainCounter = copyCounter;
        if (!writeFile(kMain, mainText)) {
            puts(kNoWrite);
            return -1;
        }
    }
    puts("get parameters from ini files!");
    version = mainCounter;
    Scanner s(mainText);
    int skipCounter;
    s.number(skipCounter);
    {
        std::lock_guard<std::mutex> g(gWinLock);
        for (int i = 0; i < QEL_SLOTS; ++i) {
            std::string tok;
            if (!s.token(tok)) break;
            // A token that does not fit a slot is not loaded: the slot stays empty.
            if (tok.size() < QEL_URL_SIZE) copyText(param[i], QEL_URL_SIZE, tok.c_str());
        }
    }
    int v;
    if (s.number(v)) {
        windows = v;
        if (v == 1 || v == 4 || v == 8 || v == 16 || v == 32)
            circle_broadcast_enable_num = static_cast<unsigned long>(v);
        if (s.number(v)) {
            video_out = v;
            if (s.number(v)) chnipDisplayenable = static_cast<unsigned char>(v);
        }
    }
    return 0;
}

int saveIni() {
    if (version == -1) remove(box::path(kCopy).c_str());
    ++version;
    std::string t = line(version);
    {
        std::lock_guard<std::mutex> g(gWinLock);
        for (int i = 0; i < QEL_SLOTS; ++i) {
            // Only the six windows that can carry a stream keep their URL.
            bool kept = (i <= 4 || i == 17) && param[i][0] != 0;
            t += std::string(kept ? param[i] : kUnused) + "\n";
        }
    }
    t += line(windows) + line(video_out) + line(chnipDisplayenable);
    if (!writeFile(kMain, t) || !writeFile(kCopy, t)) {
        puts(kNoWrite);
        return -1;
    }
    return 0;
}

namespace {

// The token of a start-up file's first line that follows the command text of prefixLen
// characters; empty when there is none.
std::string tokenAfter(const std::string& text, size_t prefixLen) {
    std::string first = text.substr(0, text.find('\n'));
    if (first.size() > 255) first.resize(255);
    if (first.size() <= prefixLen) return "";
    Scanner s(first.substr(prefixLen));
    std::string tok;
    s.token(tok);
    return tok;
}

// Writes one network start-up file (no line end) and makes it executable.
bool writeStartupFile(const char* boxPath, const std::string& command) {
    FILE* f = fopen(box::path(boxPath).c_str(), "wb");
    if (!f) return false;
    box::system(std::string("chmod +x ") + boxPath);
    bool ok = fwrite(command.data(), 1, command.size(), f) == command.size();
    return fclose(f) == 0 && ok;
}

}  // namespace

int checkNetIni() {
    netPm net;
    {
        std::lock_guard<std::recursive_mutex> g(gNetLock);
        net = MyNetParam;
    }
    std::string t;
    if (!exists("/mnt/IPConfig") &&
        !writeStartupFile("/mnt/IPConfig", std::string("ifconfig eth0 ") + net.IP))
        return -1;

    if (readFile("/mnt/MacConfig", t)) {
        std::string mac = tokenAfter(t, 22);
        if (!(mac.size() > 16 &&
              checkValidMAC(reinterpret_cast<const unsigned char*>(mac.c_str())) == 0)) {
            if (!writeStartupFile("/mnt/MacConfig",
                                  std::string("ifconfig eth0 hw ether ") + net.Mac))
                return -1;
            printf("MyNetParam.Mac: %s \n", net.Mac);
        }
    } else {
        if (checkValidMAC(reinterpret_cast<const unsigned char*>(net.Mac)) != 0) {
            writeFile("/mnt/MacConfig", "");
            return -1;
        }
        if (!writeStartupFile("/mnt/MacConfig", std::string("ifconfig eth0 hw ether ") + net.Mac))
            return -1;
        printf("MyNetParam.Mac: %s \n", net.Mac);
    }

    if (!readFile("/mnt/NetmaskConfig", t) || tokenAfter(t, 21).empty()) {
        if (!writeStartupFile("/mnt/NetmaskConfig",
                              std::string("ifconfig eth0 netmask ") + net.Netmask))
            return -1;
    }
    if (!readFile("/mnt/GatewayConfig", t) || tokenAfter(t, 20).empty()) {
        if (!writeStartupFile("/mnt/GatewayConfig",
                              std::string("route add default gw ") + net.Gateway))
            return -1;
    }
    return 0;
}

namespace {

// Sets line id of a line-indexed script of count lines; a new script is made executable.
int writeScriptLine(const char* boxPath, int count, const char* string, int id) {
    if (id < 0 || id >= count || string == nullptr) return -1;
    std::string old, text;
    if (readFile(boxPath, old)) {
        size_t p = 0;
        for (int i = 0; i < count; ++i) {
            std::string cur;
            if (p < old.size()) {
                size_t nl = old.find('\n', p);
                size_t end = nl == std::string::npos ? old.size() : nl + 1;
                cur = old.substr(p, end - p);
                p = end;
            }
            text += i == id ? std::string(string) + "\n" : cur;
        }
        if (!writeFile(boxPath, text.substr(0, 255))) return -1;
        return 0;
    }
    for (int i = 0; i < count; ++i) text += (i == id ? std::string(string) : "") + "\n";
    if (!writeFile(boxPath, text.substr(0, 255))) return -1;
    box::system(std::string("chmod 777 ") + boxPath);
    return 0;
}

}  // namespace

int iWriteTofile(const char* string, int id) {
    return writeScriptLine("/mnt/ifconfig.sh", 4, string, id);
}

int iWrite_GW(const char* string, int id) {
    return writeScriptLine("/mnt/gateway.sh", 2, string, id);
}
