// Feeds arbitrary files to the decoder's readers of its own files under /mnt: the small settings
// files, the network start-up files, the window records and the source and tour lists. Byte 0
// picks the file (and the window or channel number where there is one); the rest is its content,
// split at zero bytes where the reader takes several files. Besides crashes it checks that every
// text read stays terminated within its buffer and the numbers within what a box can show.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "control/qelDecode.h"
#include "control/qelDecodeSettings.h"
#include "control/qelGet_ip.h"
#include "display/ControlShared.h"
#include "display/qelWinPara.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    fprintf(stderr, "fuzz_rxfiles: %s\n", what);
    abort();
}

// The input's pieces at its zero bytes; at most n (the last keeps the rest).
std::vector<std::string> pieces(const uint8_t* data, size_t size, size_t n) {
    std::vector<std::string> out;
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    while (out.size() + 1 < n) {
        const char* zero = static_cast<const char*>(memchr(p, 0, static_cast<size_t>(end - p)));
        if (!zero) break;
        out.emplace_back(p, zero);
        p = zero + 1;
    }
    out.emplace_back(p, end);
    return out;
}

void write(const char* boxPath, const std::string& text) {
    qelfuzz::writeBoxFile(boxPath, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bool terminated(const unsigned char* text, size_t size) {
    return memchr(text, 0, size) != nullptr;
}

void smallFile(int which, const std::string& text) {
    static const char* const kFiles[] = {"/mnt/cutedge.ini",      "/mnt/audiooutput.ini",
                                         "/mnt/serialconfig.ini", "/mnt/decodername.ini",
                                         "/mnt/spiltnum.ini",     "/mnt/csc.ini"};
    write(kFiles[which], text);
    resetSettingsDefaults();
    switch (which) {
        case 0:
            checkCutEdge();
            break;
        case 1:
            checkAudioOutput();
            break;
        case 2: {
            checkSerialConfig();
            std::lock_guard<std::mutex> g(gTextLock);
            check(terminated(Serial_DestIP, sizeof Serial_DestIP), "serial destination");
            break;
        }
        case 3: {
            checkDecoderNameConfig();
            std::lock_guard<std::mutex> g(gTextLock);
            check(terminated(decoder_Name, sizeof decoder_Name), "decoder name");
            break;
        }
        case 4:
            checkSplitNumConfig();
            break;
        default:
            checkCsc();
            break;
    }
}

void netFiles(const std::vector<std::string>& files) {
    static const char* const kFiles[] = {"/mnt/IPConfig", "/mnt/MacConfig", "/mnt/NetmaskConfig",
                                         "/mnt/GatewayConfig"};
    for (size_t i = 0; i < 4; ++i) {
        if (i < files.size())
            write(kFiles[i], files[i]);
        else
            remove(box::path(kFiles[i]).c_str());
    }
    checkNetIni();
}

void windowFile(int win, const std::string& text) {
    char name[64];
    snprintf(name, sizeof name, "/mnt/winpara_%02d.ini", win);
    write(name, text);
    checkWinParaIni(win);
    const SAMPLE_VOWIN_S& w = sample_vo_win_s[win];
    check(memchr(w.url, 0, sizeof w.url) && memchr(w.urlSub, 0, sizeof w.urlSub), "window url");
    check(w.u32xPosStart <= 1920 && w.u32xPosStop <= 1920 && w.u32yPosStart <= 1080 &&
              w.u32yPosStop <= 1080,
          "window position off the output");
    check(w.u8xClipStart <= 100 && w.u8xClipStop <= 100 && w.u8yClipStart <= 100 &&
              w.u8yClipStop <= 100 && w.u8VideoOrPip <= 1 && w.u8DisplayEn <= 1,
          "window clip or flags");
}

void sourceList(bool tour, int channel, const std::string& text) {
    char name[64];
    if (tour)
        snprintf(name, sizeof name, "/mnt/lunxun_%02d.ini", channel);
    else
        snprintf(name, sizeof name, "/mnt/config.ini");
    write(name, text);
    const unsigned capacity = 32;
    const size_t entry = 200;
    // An exact-size list: a write past its end is caught.
    std::vector<unsigned char> list(capacity * entry);
    iGetIPAddress(tour ? 4 : 18, list.data(), static_cast<unsigned char>(channel), tour ? 1 : 0,
                  capacity);
    for (unsigned i = 0; i < capacity; ++i)
        check(terminated(list.data() + i * entry, entry), "source list entry");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qelfuzz::makeRoot({"/mnt", "/var/log"});
    box::setRebootHandler([] {});
    resetSettingsDefaults();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned pick = data[0];
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (pick % 10) {
        case 6:
            netFiles(pieces(data + 1, size - 1, 4));
            break;
        case 7:
            windowFile(static_cast<int>(pick / 10) % QEL_WIN_MAX, rest);
            break;
        case 8:
            sourceList(true, static_cast<int>(pick / 10) % 18, rest);
            break;
        case 9:
            sourceList(false, 0, rest);
            break;
        default:
            smallFile(static_cast<int>(pick % 10), rest);
            break;
    }
    return 0;
}
