// The stand-in's one state object and the bookkeeping every call goes through.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <linux/fb.h>

#include "SimControl.h"

namespace qelsim {
namespace detail {

constexpr uint32_t kFbPhys = 0x90000000u;
constexpr uint32_t kFbMemSize = 16u * 1024u * 1024u;
constexpr uint32_t kMmzPhysBase = 0xA0000000u;
constexpr uint32_t kMmzMaxTotal = 256u * 1024u * 1024u;
constexpr int kMaxTdeJobs = 128;
constexpr size_t kMaxCalls = 20000;

struct Failure {
    int32_t code;
    int count;  // -1: until cleared
};

struct Sim {
    std::mutex mu;  // guards everything below
    State st;
    std::deque<std::string> calls;
    std::vector<std::string> names;
    std::map<std::string, Failure> fails;      // set through the C++ interface
    std::map<std::string, Failure> fileFails;  // set through the sim folder's "fail" file

    std::map<uint32_t, std::vector<uint8_t>> mmz;  // physical address -> block
    uint32_t nextMmzPhys = kMmzPhysBase;
    uint64_t mmzTotal = 0;
    std::vector<uint8_t> fbMem;  // allocated on the first open of /dev/fb0
    std::vector<uint32_t> gpio;
    std::vector<uint32_t> mux;

    fb_var_screeninfo fbVar{};
    std::map<int, std::string> fds;  // open descriptors -> device path
    int nextFd = 0x7000;

    std::map<int, std::vector<std::function<bool()>>> tdeJobs;
    int nextTdeHandle = 1;

    std::chrono::steady_clock::time_point ptsBaseAt = std::chrono::steady_clock::now();

    std::atomic<bool> dirty{true};
    std::atomic<bool> watcherStarted{false};
    std::string inputStamp[3];  // what the input files looked like when last read
    uint64_t ppmGeneration = ~0ull;

    Sim();
};

// The process-wide stand-in; never destroyed, so detached threads may use it until exit.
Sim& sim();

// Starts a platform call with s.mu held: records it, marks the state changed and returns the
// failure injected for it (0 for none).
int32_t enter(Sim& s, const char* name, const std::string& args);

// The failure injected for a call name, counted down; 0 for none.
int32_t takeFailure(Sim& s, const std::string& name);

// "a,b,c" of the arguments, for the call log.
std::string fmtArgs(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The bytes at physical address phys when [phys, phys + len) lies in one block of media
// memory or in the framebuffer; null otherwise.
uint8_t* resolvePhys(Sim& s, uint32_t phys, uint64_t len);

// Starts the sim folder's watcher once, when the box has a root.
void startWatcher(Sim& s);

// Restores the devices' power-on state, keeping open descriptors.
void devPowerOn(Sim& s);

// Writes the GPIO input pins that mirror the key and the link inputs.
void applyInputsToGpio(Sim& s);

// The GPIO page is mapped into the program, whose LED and key threads use it without the
// stand-in's lock; every access to it on this side is atomic as well.
// Level of pin p of group g (0 or 1).
int gpioLevel(Sim& s, int group, int pin);
// Drives pin p of group g to a level.
void gpioDrive(Sim& s, int group, int pin, bool high);

}  // namespace detail
}  // namespace qelsim

// Opens a platform call inside a function: takes the lock, logs the call with its arguments
// and returns an injected failure.
#define QELSIM_ENTER(...)                                                                 \
    ::qelsim::detail::Sim& s = ::qelsim::detail::sim();                                   \
    std::lock_guard<std::mutex> simLock(s.mu);                                            \
    if (int32_t injected =                                                                \
            ::qelsim::detail::enter(s, __func__, ::qelsim::detail::fmtArgs(__VA_ARGS__))) \
        return injected;
