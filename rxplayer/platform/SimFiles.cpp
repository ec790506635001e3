// The sim folder: the state snapshot, the framebuffer picture and the input files.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "SimInternal.h"
#include "box/Box.h"

namespace qelsim {
namespace detail {

namespace {

std::string jsonString(const std::string& in) {
    std::string out = "\"";
    for (unsigned char c : in) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

const char* b(bool v) {
    return v ? "true" : "false";
}

std::string rectJson(const RECT_S& r) {
    return fmtArgs("{\"x\":%d,\"y\":%d,\"w\":%u,\"h\":%u}", r.s32X, r.s32Y, r.u32Width,
                   r.u32Height);
}

std::string chnJson(const MPP_CHN_S& c) {
    return fmtArgs("[%d,%d,%d]", static_cast<int>(c.enModId), c.s32DevId, c.s32ChnId);
}

std::string buildJson(Sim& s) {
    advanceDecoders(s, std::chrono::steady_clock::now());
    const State& st = s.st;
    std::ostringstream o;
    uint64_t curPts =
        st.ptsBase + static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::steady_clock::now() - s.ptsBaseAt)
                                               .count());
    o << "{\n\"sys\":{\"inited\":" << b(st.sysInited) << ",\"vbInited\":" << b(st.vbInited)
      << ",\"alignWidth\":" << st.sysConf.u32AlignWidth
      << ",\"maxPoolCnt\":" << st.vbConf.u32MaxPoolCnt << ",\"ptsBaseSet\":" << b(st.ptsBaseSet)
      << ",\"ptsBase\":" << st.ptsBase << ",\"curPts\":" << curPts
      << ",\"mmzBlocks\":" << st.mmzBlocks << "},\n\"binds\":[";
    for (size_t i = 0; i < st.binds.size(); ++i)
        o << (i ? "," : "") << "{\"src\":" << chnJson(st.binds[i].src)
          << ",\"dst\":" << chnJson(st.binds[i].dst) << "}";
    o << "],\n\"memConf\":{";
    bool first = true;
    for (const auto& m : st.memConf) {
        o << (first ? "" : ",") << jsonString(m.first) << ":" << jsonString(m.second);
        first = false;
    }
    o << "},\n\"vdec\":[";
    first = true;
    for (int i = 0; i < VDEC_MAX_CHN_NUM; ++i) {
        const VdecChannel& c = st.vdec[i];
        if (!c.exists) continue;
        o << (first ? "" : ",\n") << "{\"chn\":" << i << ",\"type\":" << c.attr.enType
          << ",\"width\":" << c.attr.u32PicWidth << ",\"height\":" << c.attr.u32PicHeight
          << ",\"bufSize\":" << c.attr.u32BufSize << ",\"mode\":"
          << (c.attr.enType == PT_H264 ? c.attr.stVdecAttrH264.enMode
                                       : c.attr.stVdecAttrJpeg.enMode)
          << ",\"receiving\":" << b(c.receiving) << ",\"streams\":" << c.streams
          << ",\"bytes\":" << c.bytes << ",\"lastPts\":" << c.lastPts
          << ",\"leftPics\":" << c.leftPics << ",\"leftStreamFrames\":" << c.leftStreamFrames
          << ",\"creations\":" << c.creations << ",\"queued\":" << c.queued
          << ",\"shown\":" << c.shown << ",\"shownPts\":" << c.shownPts
          << ",\"dropped\":" << c.dropped << ",\"stalled\":" << b(c.stalled) << "}";
        first = false;
    }
    o << "],\n\"vpss\":[";
    first = true;
    for (int i = 0; i < VPSS_MAX_GRP_NUM; ++i) {
        const VpssGroup& g = st.vpss[i];
        if (!g.exists) continue;
        o << (first ? "" : ",\n") << "{\"grp\":" << i << ",\"started\":" << b(g.started)
          << ",\"maxW\":" << g.attr.u32MaxW << ",\"maxH\":" << g.attr.u32MaxH
          << ",\"disMode\":" << g.param.enDisMode << ",\"clip\":{\"enable\":" << b(g.clip.bEnable)
          << ",\"rect\":" << rectJson(g.clip.stClipRect) << "},\"chnEnabled\":[";
        for (int c = 0; c < VPSS_MAX_CHN_NUM; ++c) o << (c ? "," : "") << b(g.chnEnabled[c]);
        o << "]}";
        first = false;
    }
    o << "],\n\"vo\":[";
    for (int d = 0; d < VO_MAX_DEV_NUM; ++d) {
        const VoDevice& v = st.vo[d];
        o << (d ? ",\n" : "") << "{\"dev\":" << d << ",\"enabled\":" << b(v.enabled)
          << ",\"intfType\":" << v.pubAttr.enIntfType << ",\"intfSync\":" << v.pubAttr.enIntfSync
          << ",\"dispBufLen\":" << v.dispBufLen << ",\"layerEnabled\":" << b(v.layerEnabled)
          << ",\"layer\":{\"w\":" << v.layerAttr.stImageSize.u32Width
          << ",\"h\":" << v.layerAttr.stImageSize.u32Height
          << ",\"frameRate\":" << v.layerAttr.u32DispFrmRt
          << "},\"csc\":{\"luma\":" << v.csc.u32Luma << ",\"contrast\":" << v.csc.u32Contrast
          << ",\"hue\":" << v.csc.u32Hue << ",\"saturation\":" << v.csc.u32Satuature
          << "},\"toleration\":" << v.toleration << ",\"chns\":[";
        bool firstChn = true;
        for (int c = 0; c < VO_MAX_CHN_NUM; ++c) {
            const VoChannel& ch = v.chn[c];
            if (!ch.attrSet && !ch.enabled && ch.clears == 0) continue;
            o << (firstChn ? "" : ",\n ") << "{\"chn\":" << c << ",\"enabled\":" << b(ch.enabled)
              << ",\"hidden\":" << b(ch.hidden) << ",\"priority\":" << ch.attr.u32Priority
              << ",\"rect\":" << rectJson(ch.attr.stRect) << ",\"pts\":" << ch.pts
              << ",\"bufUsed\":" << ch.bufUsed << ",\"clears\":" << ch.clears << "}";
            firstChn = false;
        }
        o << "]}";
    }
    o << "],\n\"pip\":{\"boundDev\":" << st.pip.boundDev << ",\"enabled\":" << b(st.pip.enabled)
      << "},\n\"ao\":[";
    for (int d = 0; d < AO_DEV_MAX_NUM; ++d) {
        const AoDevice& a = st.ao[d];
        o << (d ? "," : "") << "{\"dev\":" << d << ",\"enabled\":" << b(a.enabled)
          << ",\"rate\":" << (a.attrSet ? a.attr.enSamplerate : 0)
          << ",\"ptNumPerFrm\":" << a.attr.u32PtNumPerFrm << ",\"workmode\":" << a.attr.enWorkmode
          << ",\"chnEnabled\":[" << b(a.chnEnabled[0]) << "," << b(a.chnEnabled[1])
          << "],\"resample\":[" << b(a.resample[0]) << "," << b(a.resample[1]) << "]}";
    }
    o << "],\n\"adec\":[";
    first = true;
    for (int i = 0; i < ADEC_MAX_CHN_NUM; ++i) {
        const AdecChannel& c = st.adec[i];
        if (!c.exists) continue;
        o << (first ? "" : ",") << "{\"chn\":" << i << ",\"type\":" << c.type
          << ",\"mode\":" << c.mode << ",\"streams\":" << c.streams << ",\"bytes\":" << c.bytes
          << "}";
        first = false;
    }
    const Hdmi& h = st.hdmi;
    o << "],\n\"hdmi\":{\"inited\":" << b(h.inited) << ",\"opened\":" << b(h.opened)
      << ",\"started\":" << b(h.started) << ",\"enableHdmi\":" << b(h.attr.bEnableHdmi)
      << ",\"enableVideo\":" << b(h.attr.bEnableVideo)
      << ",\"enableAudio\":" << b(h.attr.bEnableAudio) << ",\"videoFmt\":" << h.attr.enVideoFmt
      << ",\"vidOutMode\":" << h.attr.enVidOutMode << ",\"starts\":" << h.starts
      << ",\"sinkConnected\":" << b(h.sinkConnected) << ",\"edid126\":" << int(h.edid126) << "},\n";
    const Framebuffer& fb = st.fb;
    o << "\"tde\":{\"open\":" << b(st.tdeOpen) << ",\"jobs\":" << st.tdeJobsDone
      << ",\"cancelled\":" << st.tdeJobsCancelled << "},\n\"fb\":{\"open\":" << b(fb.opens > 0)
      << ",\"xres\":" << fb.xres << ",\"yres\":" << fb.yres << ",\"xoffset\":" << fb.xoffset
      << ",\"yoffset\":" << fb.yoffset << ",\"bitsPerPixel\":" << fb.bitsPerPixel
      << ",\"pans\":" << fb.pans << ",\"generation\":" << fb.generation << "},\n";
    auto pin = [&s](int g, int p) { return gpioLevel(s, g, p); };
    o << "\"gpio\":{\"ledLit\":" << b(pin(7, 1) == 0) << ",\"keyPressed\":" << b(st.keyPressed)
      << ",\"links\":[" << pin(10, 0) << "," << pin(10, 1) << "," << pin(10, 2) << "," << pin(10, 3)
      << "]},\n\"watchdog\":{\"open\":" << b(st.watchdogOpen) << ",\"feeds\":" << st.watchdogFeeds
      << "},\n\"codec\":[";
    size_t from = st.codec.size() > 200 ? st.codec.size() - 200 : 0;
    for (size_t i = from; i < st.codec.size(); ++i)
        o << (i == from ? "" : ",") << "{\"device\":" << jsonString(st.codec[i].device)
          << ",\"request\":" << st.codec[i].request << ",\"words\":[" << st.codec[i].word[0] << ","
          << st.codec[i].word[1] << "]}";
    o << "],\n\"codecRequests\":" << st.codec.size() << ",\n\"clock\":{\"sets\":" << st.clock.sets
      << ",\"sec\":" << st.clock.sec << ",\"usec\":" << st.clock.usec
      << "},\n\"calls\":" << s.callLog.size() << "\n}\n";
    return o.str();
}

bool writeAtomically(const std::string& path, const std::string& data) {
    std::string tmp = path + ".tmp";
    FILE* f = fopen(tmp.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

// The visible area of the framebuffer as a binary PPM; transparent pixels (where the video
// shows through) are black.
std::string buildPpm(const FbPicture& pic) {
    const Framebuffer& fb = pic.fb;
    std::string out = fmtArgs("P6\n%u %u\n255\n", fb.xres, fb.yres);
    // Sized once and filled in place: a 1080p picture is six million bytes.
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(fb.xres) * fb.yres * 3, '\0');
    uint8_t* rgb = reinterpret_cast<uint8_t*>(&out[at]);
    for (uint32_t y = 0; y < fb.yres; ++y)
        for (uint32_t x = 0; x < fb.xres; ++x, rgb += 3) fbPictureRgb(pic, x, y, rgb);
    return out;
}

// What one snapshot writes, taken under the lock.
struct Snapshot {
    std::string json;
    bool withPicture = false;
    FbPicture picture;
};

Snapshot takeSnapshotLocked(Sim& s) {
    Snapshot snap;
    s.dirty = false;
    snap.json = buildJson(s);
    if (s.st.fb.opens > 0 && s.st.fb.generation != s.ppmGeneration && !s.fbMem.empty()) {
        snap.withPicture = true;
        snap.picture = copyFbPicture(s);
    }
    return snap;
}

// Writes a snapshot's files, without the state lock (s.fileMu held by the caller).
bool writeSnapshotFiles(Sim& s, const std::string& dir, const Snapshot& snap) {
    bool ok = writeAtomically(dir + "/state.json", snap.json);
    if (snap.withPicture && writeAtomically(dir + "/fb.ppm", buildPpm(snap.picture))) {
        std::lock_guard<std::mutex> l(s.mu);
        s.ppmGeneration = snap.picture.fb.generation;
    }
    return ok;
}

// Size and modification time of a file, "" when it is missing.
std::string fileStamp(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return "";
    return fmtArgs("%lld.%ld.%lld", static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec,
                   static_cast<long long>(st.st_size));
}

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    char buf[4096];
    in.read(buf, sizeof buf);
    text.assign(buf, static_cast<size_t>(in.gcount()));
    return text;
}

void readInputsLocked(Sim& s, const std::string& dir) {
    if (dir.empty()) return;
    const char* names[3] = {"key", "hdmi", "fail"};
    for (int i = 0; i < 3; ++i) {
        std::string path = dir + "/" + names[i];
        std::string stamp = fileStamp(path);
        if (stamp == s.inputStamp[i]) continue;
        s.inputStamp[i] = stamp;
        std::string text = stamp.empty() ? "" : readSmallFile(path);
        std::istringstream in(text);
        if (i == 0) {
            std::string v;
            in >> v;
            s.st.keyPressed = v == "1";
            applyInputsToGpio(s);
        } else if (i == 1) {
            std::string key;
            long long value;
            Hdmi& h = s.st.hdmi;
            h.sinkConnected = false;
            while (in >> key >> value) {
                if (key == "connected") h.sinkConnected = value != 0;
                if (key == "edid126") h.edid126 = static_cast<uint8_t>(value);
                if (key == "edidValid") h.edidValid = value != 0;
            }
        } else {
            s.fileFails.clear();
            std::string line;
            while (std::getline(in, line)) {
                std::istringstream words(line);
                std::string name, code;
                int count = -1;
                if (!(words >> name >> code) || name[0] == '#') continue;
                if (!(words >> count)) count = -1;
                errno = 0;
                char* end = nullptr;
                long long v = strtoll(code.c_str(), &end, 0);
                if (errno || !end || *end || count == 0) continue;
                s.fileFails[name] = Failure{static_cast<int32_t>(v), count};
            }
        }
        s.dirty = true;
    }
}

std::string ppmOf(const RgbPicture& pic) {
    std::string out = fmtArgs("P6\n%u %u\n255\n", pic.width, pic.height);
    out.append(reinterpret_cast<const char*>(pic.rgb.data()), pic.rgb.size());
    return out;
}

// The output's picture is written at most this often, and only when it changed.
constexpr std::chrono::milliseconds kScreenInterval{500};

void watch(Sim* s, std::string dir) {
    auto last = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    auto lastScreen = last;
    size_t screenHash = 0;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // A pass that runs out of memory is given up; the next one tries again.
        try {
            std::lock_guard<std::mutex> files(s->fileMu);
            preparePictureCopy(*s);
            auto now = std::chrono::steady_clock::now();
            std::string request = dir + "/snap";
            bool asked = access(request.c_str(), F_OK) == 0;
            bool take = false;
            bool screenDue = decodingOn() && (asked || now - lastScreen >= kScreenInterval);
            Snapshot snap;
            ScreenLayout layout;
            {
                std::lock_guard<std::mutex> l(s->mu);
                readInputsLocked(*s, dir);
                take = asked || (s->dirty && now - last >= std::chrono::milliseconds(100));
                // Both may copy the framebuffer to s->snapPixels: the same bytes, taken under
                // this one hold of the lock.
                if (take) snap = takeSnapshotLocked(*s);
                if (screenDue) layout = screenLayout(*s, 0);
            }
            if (take) {
                writeSnapshotFiles(*s, dir, snap);
                last = now;
            }
            // At once: a request made while the screen is built below would go unanswered.
            if (asked) unlink(request.c_str());
            if (screenDue) {
                std::string ppm = ppmOf(composeScreen(layout));
                size_t hash = std::hash<std::string>{}(ppm);
                if ((hash != screenHash || asked) && writeAtomically(dir + "/screen.ppm", ppm))
                    screenHash = hash;
                lastScreen = now;
            }
        } catch (...) {
        }
    }
}

}  // namespace

void preparePictureCopy(Sim& s) {
    if (s.snapPixels.size() < kFbMemSize) s.snapPixels.assign(kFbMemSize);
    // As much as the last picture took: the copy under the lock then takes no page fault.
    s.snapPixels.touch(s.snapLen);
}

FbPicture copyFbPicture(Sim& s) {
    FbPicture pic;
    pic.fb = s.st.fb;
    const Framebuffer& fb = pic.fb;
    uint64_t first = static_cast<uint64_t>(fb.yoffset) * fb.lineLength;
    uint64_t end = std::min<uint64_t>(s.fbMem.size(),
                                      static_cast<uint64_t>(fb.yoffset + fb.yres) * fb.lineLength);
    pic.firstByte = first;
    pic.len = first < end && end - first <= s.snapPixels.size() ? end - first : 0;
    memcpy(s.snapPixels.data(), s.fbMem.data() + first, pic.len);
    s.snapLen = pic.len;
    pic.rows = s.snapPixels.data();
    return pic;
}

bool fbPictureRgb(const FbPicture& pic, uint32_t x, uint32_t y, uint8_t rgb[3]) {
    const Framebuffer& fb = pic.fb;
    uint32_t bpp = fb.bitsPerPixel / 8;
    if (x >= fb.xres || y >= fb.yres || (bpp != 2 && bpp != 4)) return false;
    uint64_t off = static_cast<uint64_t>(y + fb.yoffset) * fb.lineLength +
                   static_cast<uint64_t>(x + fb.xoffset) * bpp - pic.firstByte;
    if (off + bpp > pic.len) return false;
    if (bpp == 2) {
        uint16_t p;
        memcpy(&p, pic.rows + off, 2);
        if (!(p & 0x8000)) return false;
        rgb[0] = static_cast<uint8_t>(((p >> 10) & 31) * 255 / 31);
        rgb[1] = static_cast<uint8_t>(((p >> 5) & 31) * 255 / 31);
        rgb[2] = static_cast<uint8_t>((p & 31) * 255 / 31);
        return true;
    }
    uint32_t p;
    memcpy(&p, pic.rows + off, 4);
    if (!(p >> 24)) return false;
    rgb[0] = static_cast<uint8_t>(p >> 16);
    rgb[1] = static_cast<uint8_t>(p >> 8);
    rgb[2] = static_cast<uint8_t>(p);
    return true;
}

void startWatcher(Sim& s) {
    if (s.watcherStarted.exchange(true)) return;
    std::string dir = simDir();
    if (dir.empty()) return;
    readInputsLocked(s, dir);
    std::thread(watch, &s, dir).detach();
}

}  // namespace detail

using namespace detail;

std::string simDir() {
    if (box::root().empty()) return "";
    box::makeDirs("/sim");
    return box::path("/sim");
}

std::string snapshotJson() {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    return buildJson(s);
}

bool writeSnapshot() {
    Sim& s = sim();
    std::string dir = simDir();
    if (dir.empty()) return false;
    std::lock_guard<std::mutex> files(s.fileMu);
    preparePictureCopy(s);
    Snapshot snap;
    {
        std::lock_guard<std::mutex> l(s.mu);
        snap = takeSnapshotLocked(s);
    }
    return writeSnapshotFiles(s, dir, snap);
}

void readInputs() {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    readInputsLocked(s, simDir());
}

}  // namespace qelsim
