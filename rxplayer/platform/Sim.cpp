#include <algorithm>
#include <cstdio>
#include <cstring>

#include "SimInternal.h"

namespace qelsim {
namespace detail {

namespace {

// The call this thread is in, for refused().
thread_local std::string tCallName;

// GPIO data of pin p of group g sits at g * 0x10000 + (1 << (p + 2)); only bit p counts.
size_t gpioDataWord(int group, int pin) {
    return (static_cast<size_t>(group) * 0x10000u + (1u << (pin + 2))) / 4;
}

void powerOn(Sim& s) {
    s.st = State{};
    s.resets++;
    s.stalledCalls.clear();
    for (auto& q : s.vdecQueue) q.clear();
    for (auto& q : s.vdecPictures) q.clear();
    for (int c = 0; c < VDEC_MAX_CHN_NUM; ++c) decodeEnd(c);
    s.callLog.clear();
    s.fails.clear();
    s.fileFails.clear();
    s.mmz.clear();
    s.nextMmzPhys = kMmzPhysBase;
    s.mmzTotal = 0;
    s.tdeJobs.clear();
    // The page keeps its place (the program may hold a mapping of it); it is only cleared.
    if (s.gpio.size() != QEL_GPIO_PHYS_SIZE / 4)
        s.gpio.assign(QEL_GPIO_PHYS_SIZE / 4, 0);
    else
        for (uint32_t& w : s.gpio) __atomic_store_n(&w, 0u, __ATOMIC_RELAXED);
    s.mux.assign(QEL_MUXCTRL_PHYS_SIZE / 4, 0);
    for (int i = 0; i < 3; ++i) s.inputStamp[i].clear();
    s.ptsBaseAt = std::chrono::steady_clock::now();
    s.fbMem.zero();
    s.st.fb.smemStart = kFbPhys;
    s.st.fb.smemLen = kFbMemSize;
    devPowerOn(s);
    applyInputsToGpio(s);
    s.dirty = true;
    s.wake.notify_all();
}

}  // namespace

Sim::Sim() {
    powerOn(*this);
}

Sim& sim() {
    static Sim* instance = new Sim;
    return *instance;
}

std::string fmtArgs(const char* fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

CallArgs callArgs(const char* fmt, ...) {
    CallArgs out;
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(out.text, sizeof out.text, fmt, ap);
    va_end(ap);
    out.len = n < 0 ? 0 : std::min(n, static_cast<int>(sizeof out.text) - 1);
    return out;
}

int32_t enter(Sim& s, std::unique_lock<std::mutex>& lock, const char* name, std::string_view args) {
    startWatcher(s);
    tCallName = name;
    s.callLog.add(tCallName, args);
    if (!s.stalledCalls.empty() && s.stalledCalls.count(name)) {
        std::string key = name;
        s.blockedCalls[key]++;
        s.wake.wait(lock, [&] { return s.stalledCalls.count(key) == 0; });
        if (--s.blockedCalls[key] == 0) s.blockedCalls.erase(key);
    }
    if (!strstr(name, "Get") && !strstr(name, "Query")) s.dirty = true;
    advanceDecoders(s, std::chrono::steady_clock::now());
    return takeFailure(s, name);
}

int32_t refused(int32_t code) {
    Sim& s = sim();
    if (!tCallName.empty()) s.callLog.addFailure(tCallName, code);
    return code;
}

int32_t takeFailure(Sim& s, const std::string& name) {
    for (auto* table : {&s.fails, &s.fileFails}) {
        auto it = table->find(name);
        if (it == table->end() || it->second.count == 0) continue;
        int32_t code = it->second.code;
        if (it->second.count > 0 && --it->second.count == 0) table->erase(it);
        return code;
    }
    return 0;
}

uint8_t* resolvePhys(Sim& s, uint32_t phys, uint64_t len) {
    if (!s.fbMem.empty() && phys >= kFbPhys && phys - kFbPhys + len <= s.fbMem.size())
        return s.fbMem.data() + (phys - kFbPhys);
    auto it = s.mmz.upper_bound(phys);
    if (it == s.mmz.begin()) return nullptr;
    --it;
    uint64_t off = phys - it->first;
    if (off + len > it->second.size()) return nullptr;
    return it->second.data() + off;
}

int gpioLevel(Sim& s, int group, int pin) {
    return (__atomic_load_n(&s.gpio[gpioDataWord(group, pin)], __ATOMIC_RELAXED) >> pin) & 1;
}

void gpioDrive(Sim& s, int group, int pin, bool high) {
    uint32_t bit = 1u << pin;
    uint32_t* w = &s.gpio[gpioDataWord(group, pin)];
    if (high)
        __atomic_fetch_or(w, bit, __ATOMIC_RELAXED);
    else
        __atomic_fetch_and(w, ~bit, __ATOMIC_RELAXED);
}

void applyInputsToGpio(Sim& s) {
    // The key (group 7 pin 2) reads 0 while pressed.
    gpioDrive(s, 7, 2, !s.st.keyPressed);
}

}  // namespace detail

using namespace detail;

void reset() {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    powerOn(s);
}

State state() {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    advanceDecoders(s, std::chrono::steady_clock::now());
    return s.st;
}

std::vector<std::string> calls() {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    return s.callLog.calls();
}

std::vector<std::string> callNames() {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    return s.callLog.names();
}

void clearCalls() {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    s.callLog.clear();
}

std::vector<std::string> failedCalls() {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    return s.callLog.failures();
}

void failCall(const std::string& name, int32_t code, int count) {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    if (count == 0)
        s.fails.erase(name);
    else
        s.fails[name] = Failure{code, count};
}

void stallCall(const std::string& callName, bool on) {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    if (on) {
        s.stalledCalls.insert(callName);
    } else {
        s.stalledCalls.erase(callName);
        s.wake.notify_all();
    }
}

int blockedCalls(const std::string& callName) {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    auto it = s.blockedCalls.find(callName);
    return it == s.blockedCalls.end() ? 0 : it->second;
}

void stallChannel(int chn, bool stalled) {
    if (chn < 0 || chn >= VDEC_MAX_CHN_NUM) return;
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    auto now = std::chrono::steady_clock::now();
    if (!stalled) {
        // Frames come due again from now on; those whose time has passed are shown at once.
        s.vdecLastShown[chn] = now - kVdecUntimedInterval;
    } else {
        advanceDecoders(s, now);
    }
    s.st.vdec[chn].stalled = stalled;
    advanceDecoders(s, now);
    s.dirty = true;
    s.wake.notify_all();
}

void clearFailures() {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    s.fails.clear();
    s.fileFails.clear();
}

void setSink(bool connected, uint8_t edid126, bool edidValid) {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    s.st.hdmi.sinkConnected = connected;
    s.st.hdmi.edid126 = edid126;
    s.st.hdmi.edidValid = edidValid;
    s.dirty = true;
}

void setKeyPressed(bool pressed) {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    s.st.keyPressed = pressed;
    applyInputsToGpio(s);
    s.dirty = true;
}

void setLinkInput(int pin, bool high) {
    if (pin < 0 || pin > 3) return;
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    gpioDrive(s, 10, pin, high);
    s.dirty = true;
}

void setVdecLeft(int chn, uint32_t leftPics, uint32_t leftStreamFrames) {
    if (chn < 0 || chn >= VDEC_MAX_CHN_NUM) return;
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    s.st.vdec[chn].leftPics = leftPics;
    s.st.vdec[chn].leftStreamFrames = leftStreamFrames;
    s.dirty = true;
}

void setVoChnPts(int dev, int chn, uint64_t pts, uint32_t bufUsed) {
    if (dev < 0 || dev >= VO_MAX_DEV_NUM || chn < 0 || chn >= VO_MAX_CHN_NUM) return;
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    s.st.vo[dev].chn[chn].pts = pts;
    s.st.vo[dev].chn[chn].bufUsed = bufUsed;
    s.dirty = true;
}

int gpioPin(int group, int pin) {
    if (group < 0 || group >= 12 || pin < 0 || pin >= 8) return -1;
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    return gpioLevel(s, group, pin);
}

uint32_t muxReg(int reg) {
    if (reg < 0 || reg >= 128) return 0;
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    return s.mux[reg];
}

uint16_t fbPixel(uint32_t x, uint32_t y) {
    Sim& s = sim();
    std::lock_guard<std::mutex> l(s.mu);
    const Framebuffer& fb = s.st.fb;
    if (s.fbMem.empty() || fb.bitsPerPixel != 16 || x >= fb.xresVirtual || y >= fb.yresVirtual)
        return 0;
    uint64_t off = static_cast<uint64_t>(y) * fb.lineLength + x * 2ull;
    if (off + 2 > s.fbMem.size()) return 0;
    uint16_t v;
    memcpy(&v, s.fbMem.data() + off, 2);
    return v;
}

}  // namespace qelsim
