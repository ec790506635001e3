// The stand-in's one state object and the bookkeeping every call goes through.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <linux/fb.h>

#include "SimCallLog.h"
#include "SimControl.h"
#include "ZeroedBlock.h"

namespace qelsim {
namespace detail {

constexpr uint32_t kFbPhys = 0x90000000u;
constexpr uint32_t kFbMemSize = 16u * 1024u * 1024u;
constexpr uint32_t kMmzPhysBase = 0xA0000000u;
constexpr uint32_t kMmzMaxTotal = 256u * 1024u * 1024u;
constexpr int kMaxTdeJobs = 128;
constexpr size_t kMaxCalls = 20000;
// The room taken beforehand for the arguments of each logged call; most need less.
constexpr size_t kCallArgsRoom = 48;

// The decode model: every decode channel holds at most kVdecStreamFrames fed frames (and no
// more bytes than its buffer size) in its stream buffer. A frame with a time stamp waits there
// and is shown when the platform clock reaches it. One without (PTS 0) is decoded ahead of the
// display into the channel's kVdecPictures picture buffers, which the output shows at its
// frame pace; while they are all taken the frame waits in the stream buffer, so a source that
// feeds faster than the output shows is held back. A blocking send waits at most
// kVdecSendWait for room.
constexpr size_t kVdecStreamFrames = 32;
constexpr size_t kVdecPictures = 8;
constexpr std::chrono::microseconds kVdecUntimedInterval{40000};
constexpr std::chrono::milliseconds kVdecSendWait{500};
// Pictures the output channel holds ahead of the one on display, at most.
constexpr uint32_t kVoChnBufFrames = 3;

struct Failure {
    int32_t code;
    int count;  // -1: until cleared
};

struct QueuedFrame {
    uint32_t len;
    uint64_t pts;  // 0: no time stamp
    std::chrono::steady_clock::time_point sentAt;
};

struct Sim {
    // Taken before mu by whoever writes the sim folder's snapshot files, which are written
    // without mu so that the platform calls go on meanwhile.
    std::mutex fileMu;
    ZeroedBlock snapPixels;            // the picture being written (fileMu)
    std::atomic<uint64_t> snapLen{0};  // bytes of the last picture copied
    std::mutex mu;                     // guards everything below
    // Woken whenever a waiting call may go on: a stall released, a channel stopped or gone,
    // the time base moved, back to power-on.
    std::condition_variable wake;
    std::set<std::string> stalledCalls;       // calls that block on entry until released
    std::map<std::string, int> blockedCalls;  // calls blocked in a stall now, by name
    uint64_t resets = 0;
    std::deque<QueuedFrame> vdecQueue[VDEC_MAX_CHN_NUM];     // the stream buffers
    std::deque<QueuedFrame> vdecPictures[VDEC_MAX_CHN_NUM];  // decoded, waiting for display
    std::chrono::steady_clock::time_point vdecLastShown[VDEC_MAX_CHN_NUM];
    State st;
    CallLog callLog{kMaxCalls, kCallArgsRoom};
    std::map<std::string, Failure> fails;      // set through the C++ interface
    std::map<std::string, Failure> fileFails;  // set through the sim folder's "fail" file

    std::map<uint32_t, ZeroedBlock> mmz;  // physical address -> block
    uint32_t nextMmzPhys = kMmzPhysBase;
    uint64_t mmzTotal = 0;
    ZeroedBlock fbMem;  // allocated on the first open of /dev/fb0
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

// Starts a platform call with s.mu held (by lock): records it, marks the state changed, waits
// while the call is stalled (the lock released meanwhile), brings the decode model up to now
// and returns the failure injected for it (0 for none).
int32_t enter(Sim& s, std::unique_lock<std::mutex>& lock, const char* name, std::string_view args);

// Shows every fed frame whose time has come, on every decode channel.
void advanceDecoders(Sim& s, std::chrono::steady_clock::time_point now);

// The area a device shows: its timing's size, or the largest there is when not yet known.
void deviceArea(const VoDevice& d, uint32_t* w, uint32_t* h);

// The framebuffer as a picture shows it: its geometry and the bytes of its visible lines,
// copied under the lock (s.fileMu held too: the copy goes to s.snapPixels) so that the
// picture is built and written after it.
struct FbPicture {
    Framebuffer fb;
    uint64_t firstByte = 0;  // offset of rows[0] in the framebuffer memory
    const uint8_t* rows = nullptr;
    uint64_t len = 0;
};
// Makes the place for the copied lines, and takes the pages the last copy needed, before the
// lock is taken (s.fileMu held): a copy into fresh pages would take its page faults inside.
void preparePictureCopy(Sim& s);
FbPicture copyFbPicture(Sim& s);
// The colour of the visible pixel (x, y); false where it is transparent or outside.
bool fbPictureRgb(const FbPicture& pic, uint32_t x, uint32_t y, uint8_t rgb[3]);

// Software decoding of what the decode channels are sent, when QEL_SIM_DECODE=1.
bool decodingOn();
// Hands a packet fed to channel chn (its creation count and payload type) to its decoder.
void decodeFeed(int chn, int creation, int type, const uint8_t* data, uint32_t len);
// The channel ended or started afresh: its packets and picture are dropped.
void decodeEnd(int chn);
// The newest decoded picture of channel chn; null when there is none.
std::shared_ptr<const RgbPicture> decodedPicture(int chn);
void setDecoded(int chn, std::shared_ptr<const RgbPicture> pic);

// What the picture of an output is made of, copied under the lock (s.mu and s.fileMu held).
struct ScreenWindow {
    int chn = 0;  // output channel, which orders windows of one priority
    uint32_t priority = 0;
    RECT_S rect{};
    int vdec = -1;  // the decode channel feeding it
    bool crop = false;
    RECT_S clip{};
};
struct ScreenLayout {
    uint32_t width = 0, height = 0;
    bool enabled = false;  // the device puts out a picture at all
    uint32_t background = 0;
    std::vector<ScreenWindow> windows;
    bool osd = false;  // the framebuffer lies on top
    FbPicture fb;
};
ScreenLayout screenLayout(Sim& s, int dev);
// Builds the picture without the lock.
RgbPicture composeScreen(const ScreenLayout& layout);

// Drops the decoded pictures waiting for display on an output channel (counted as dropped).
void clearPictures(Sim& s, const VoChannel& out);

// Records that the call this thread is in returns the error code (a platform code, or an
// errno for a device call) and gives the code back.
int32_t refused(int32_t code);

// The failure injected for a call name, counted down; 0 for none.
int32_t takeFailure(Sim& s, const std::string& name);

// "a,b,c" of the arguments, for the call log.
std::string fmtArgs(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The same text formatted on the stack, for the calls that are logged: logging a call (one
// for every packet fed) takes no memory. Longer texts are cut at the room there is.
struct CallArgs {
    char text[256];
    int len = 0;
    std::string_view view() const { return std::string_view(text, static_cast<size_t>(len)); }
};
CallArgs callArgs(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

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

// Inside the stand-in every error code a call returns is recorded as it is made.
#undef HI_DEF_ERR
#define HI_DEF_ERR(mod, level, code)                                                    \
    ::qelsim::detail::refused(static_cast<HI_S32>(0xA0000000u | ((HI_U32)(mod) << 16) | \
                                                  ((HI_U32)(level) << 13) | (HI_U32)(code)))

#undef HI_TDE_ERR
#define HI_TDE_ERR(n) ::qelsim::detail::refused(static_cast<HI_S32>(0xA0648000u | (n)))

// Opens a platform call inside a function: takes the lock, logs the call with its arguments
// and returns an injected failure.
#define QELSIM_ENTER(...)                                                          \
    ::qelsim::detail::Sim& s = ::qelsim::detail::sim();                            \
    std::unique_lock<std::mutex> simLock(s.mu);                                    \
    if (int32_t injected = ::qelsim::detail::enter(                                \
            s, simLock, __func__, ::qelsim::detail::callArgs(__VA_ARGS__).view())) \
        return ::qelsim::detail::refused(injected);
