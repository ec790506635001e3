// The box's device files, served from memory: framebuffer, GPIO and pin-mux registers,
// watchdog and the two audio codecs.
#include <fcntl.h>
#include <linux/watchdog.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>

#include "SimInternal.h"

using namespace qelsim;
using namespace qelsim::detail;

namespace {

const char* const kFb = "/dev/fb0";
const char* const kMem = "/dev/mem";
const char* const kWatchdog = "/dev/watchdog";
const char* const kTw2865 = "/dev/tw2865dev";
const char* const kTlv320 = "/dev/tlv320aic31";

void defaultFbVar(fb_var_screeninfo& v) {
    v = fb_var_screeninfo{};
    v.xres = v.xres_virtual = 1920;
    v.yres = v.yres_virtual = 1080;
    v.bits_per_pixel = 16;
    v.red = fb_bitfield{10, 5, 0};
    v.green = fb_bitfield{5, 5, 0};
    v.blue = fb_bitfield{0, 5, 0};
    v.transp = fb_bitfield{15, 1, 0};
}

void syncFbState(Sim& s) {
    Framebuffer& fb = s.st.fb;
    fb.xres = s.fbVar.xres;
    fb.yres = s.fbVar.yres;
    fb.xresVirtual = s.fbVar.xres_virtual;
    fb.yresVirtual = s.fbVar.yres_virtual;
    fb.xoffset = s.fbVar.xoffset;
    fb.yoffset = s.fbVar.yoffset;
    fb.bitsPerPixel = s.fbVar.bits_per_pixel;
    fb.lineLength = s.fbVar.xres_virtual * (s.fbVar.bits_per_pixel / 8);
    fb.smemStart = kFbPhys;
    fb.smemLen = kFbMemSize;
}

int fail(int err) {
    errno = refused(err);
    return -1;
}

int fbIoctl(Sim& s, unsigned long request, void* arg) {
    if (!arg) return fail(EFAULT);
    switch (request) {
        case FBIOGET_VSCREENINFO:
            memcpy(arg, &s.fbVar, sizeof s.fbVar);
            return 0;
        case FBIOPUT_VSCREENINFO: {
            fb_var_screeninfo v;
            memcpy(&v, arg, sizeof v);
            uint64_t bytes =
                static_cast<uint64_t>(v.xres_virtual) * v.yres_virtual * (v.bits_per_pixel / 8);
            if ((v.bits_per_pixel != 16 && v.bits_per_pixel != 32) || v.xres == 0 || v.yres == 0 ||
                v.xres_virtual < v.xres || v.yres_virtual < v.yres || bytes > kFbMemSize ||
                static_cast<uint64_t>(v.xoffset) + v.xres > v.xres_virtual ||
                static_cast<uint64_t>(v.yoffset) + v.yres > v.yres_virtual)
                return fail(EINVAL);
            s.fbVar = v;
            syncFbState(s);
            s.st.fb.generation++;
            return 0;
        }
        case FBIOGET_FSCREENINFO: {
            fb_fix_screeninfo f{};
            snprintf(f.id, sizeof f.id, "%s", "hifb");
            f.smem_start = kFbPhys;
            f.smem_len = kFbMemSize;
            f.type = FB_TYPE_PACKED_PIXELS;
            f.visual = FB_VISUAL_TRUECOLOR;
            f.line_length = s.st.fb.lineLength;
            memcpy(arg, &f, sizeof f);
            return 0;
        }
        case FBIOPAN_DISPLAY: {
            fb_var_screeninfo v;
            memcpy(&v, arg, sizeof v);
            if (static_cast<uint64_t>(v.xoffset) + s.fbVar.xres > s.fbVar.xres_virtual ||
                static_cast<uint64_t>(v.yoffset) + s.fbVar.yres > s.fbVar.yres_virtual)
                return fail(EINVAL);
            s.fbVar.xoffset = v.xoffset;
            s.fbVar.yoffset = v.yoffset;
            syncFbState(s);
            s.st.fb.pans++;
            s.st.fb.generation++;
            return 0;
        }
        default:
            return fail(ENOTTY);
    }
}

int codecIoctl(Sim& s, const std::string& dev, unsigned long request, void* arg) {
    if (!arg) return fail(EFAULT);
    CodecRequest r;
    r.device = dev;
    r.request = request;
    if (dev == kTw2865) {
        int value;
        if (request == TW2865_SET_SAMPLE_RATE) {
            memcpy(&value, arg, sizeof value);
            if (value < 0 || value > 4) return fail(EINVAL);
        } else if (request == TW2865_SET_AUDIO_FORMAT || request == TW2865_SET_AUDIO_BITWIDTH) {
            uint8_t b;
            memcpy(&b, arg, 1);
            value = b;
            if (value > 1) return fail(EINVAL);
        } else {
            return fail(ENOTTY);
        }
        r.word[0] = static_cast<uint32_t>(value);
    } else {
        if (request > TLV320_MAX_REQUEST) return fail(ENOTTY);
        memcpy(r.word, arg, sizeof r.word);
    }
    if (s.st.codec.size() < 10000) s.st.codec.push_back(r);
    return 0;
}

}  // namespace

namespace qelsim {
namespace detail {

void devPowerOn(Sim& s) {
    if (!s.fbMem.empty()) {
        defaultFbVar(s.fbVar);
        syncFbState(s);
    }
    for (const auto& fd : s.fds) {
        if (fd.second == kWatchdog) s.st.watchdogOpen = true;
        if (fd.second == kFb) s.st.fb.opens++;
    }
}

}  // namespace detail
}  // namespace qelsim

int qelDev_open(const char* path, int flags) {
    Sim& s = sim();
    std::unique_lock<std::mutex> l(s.mu);
    std::string p = path ? path : "";
    if (int32_t code = enter(s, l, ("open:" + p).c_str(), fmtArgs("%#x", flags))) return fail(code);
    if (p != kFb && p != kMem && p != kWatchdog && p != kTw2865 && p != kTlv320)
        return fail(ENOENT);
    if ((flags & O_ACCMODE) != O_RDWR && p != kFb) return fail(EACCES);
    if (p == kWatchdog) {
        if (s.st.watchdogOpen) return fail(EBUSY);
        s.st.watchdogOpen = true;
    }
    if (p == kFb) {
        if (s.fbMem.empty()) {
            s.fbMem.assign(kFbMemSize);
            defaultFbVar(s.fbVar);
            syncFbState(s);
        }
        s.st.fb.opens++;
    }
    int fd = s.nextFd++;
    s.fds[fd] = p;
    return fd;
}

int qelDev_close(int fd) {
    Sim& s = sim();
    std::unique_lock<std::mutex> l(s.mu);
    auto it = s.fds.find(fd);
    std::string p = it == s.fds.end() ? "" : it->second;
    if (int32_t code = enter(s, l, ("close:" + p).c_str(), fmtArgs("%d", fd))) return fail(code);
    it = s.fds.find(fd);  // a stalled call let others run
    if (it == s.fds.end()) return fail(EBADF);
    if (p == kWatchdog) s.st.watchdogOpen = false;
    if (p == kFb) s.st.fb.opens--;
    s.fds.erase(it);
    return 0;
}

int qelDev_ioctl(int fd, unsigned long request, void* arg) {
    Sim& s = sim();
    std::unique_lock<std::mutex> l(s.mu);
    auto it = s.fds.find(fd);
    std::string p = it == s.fds.end() ? "" : it->second;
    if (int32_t code = enter(s, l, ("ioctl:" + p).c_str(), fmtArgs("%d,%#lx", fd, request)))
        return fail(code);
    it = s.fds.find(fd);
    if (int32_t code = takeFailure(s, "ioctl:" + p + fmtArgs(":%#lx", request))) return fail(code);
    if (it == s.fds.end()) return fail(EBADF);
    if (p == kFb) return fbIoctl(s, request, arg);
    if (p == kTw2865 || p == kTlv320) return codecIoctl(s, p, request, arg);
    if (p == kWatchdog) {
        if (request == WDIOC_KEEPALIVE) {
            s.st.watchdogFeeds++;
            return 0;
        }
        return fail(ENOTTY);
    }
    return fail(ENOTTY);
}

void* qelDev_mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    (void)addr;
    Sim& s = sim();
    std::unique_lock<std::mutex> l(s.mu);
    auto it = s.fds.find(fd);
    std::string p = it == s.fds.end() ? "" : it->second;
    if (int32_t code = enter(s, l, ("mmap:" + p).c_str(),
                             fmtArgs("%zu,%#x,%#x,%d,%#llx", length, prot, flags, fd,
                                     static_cast<unsigned long long>(offset)))) {
        errno = refused(code);
        return MAP_FAILED;
    }
    it = s.fds.find(fd);
    auto refuse = [](int err) -> void* {
        errno = refused(err);
        return MAP_FAILED;
    };
    if (it == s.fds.end()) return refuse(EBADF);
    if (length == 0 || offset < 0 || (offset & 0xFFF)) return refuse(EINVAL);
    uint64_t off = static_cast<uint64_t>(offset);
    if (p == kFb) {
        if (off + length > s.fbMem.size()) return refuse(EINVAL);
        return s.fbMem.data() + off;
    }
    if (p == kMem) {
        if (off >= QEL_GPIO_PHYS_BASE && off + length <= QEL_GPIO_PHYS_BASE + QEL_GPIO_PHYS_SIZE)
            return reinterpret_cast<uint8_t*>(s.gpio.data()) + (off - QEL_GPIO_PHYS_BASE);
        if (off >= QEL_MUXCTRL_PHYS_BASE &&
            off + length <= QEL_MUXCTRL_PHYS_BASE + QEL_MUXCTRL_PHYS_SIZE)
            return reinterpret_cast<uint8_t*>(s.mux.data()) + (off - QEL_MUXCTRL_PHYS_BASE);
    }
    return refuse(EINVAL);
}

int qelDev_munmap(void* addr, size_t length) {
    Sim& s = sim();
    std::unique_lock<std::mutex> l(s.mu);
    if (int32_t code = enter(s, l, "munmap", fmtArgs("%zu", length))) return fail(code);
    auto inside = [addr, length](const void* base, size_t size) {
        auto a = reinterpret_cast<uintptr_t>(addr);
        auto b = reinterpret_cast<uintptr_t>(base);
        return a >= b && a + length <= b + size;
    };
    if (inside(s.gpio.data(), s.gpio.size() * 4) || inside(s.mux.data(), s.mux.size() * 4) ||
        (!s.fbMem.empty() && inside(s.fbMem.data(), s.fbMem.size())))
        return 0;
    return fail(EINVAL);
}
