// What tests see of the media-platform stand-in and how they steer it.
//
// Unit tests read a copy of the whole platform state (state()), steer the inputs a real box
// would get from outside (sink, key, decoder backlog, display time stamps), make any call
// fail with a code of their choice or block until released, and stall a decode channel.
//
// Decode channels behave like the decoder over time: each holds the frames fed to it in a
// bounded stream buffer and shows them at the stream's own pace. A frame with a time stamp
// is shown when the platform clock (HI_MPI_SYS_InitPtsBase, HI_MPI_SYS_GetCurPts) reaches
// it, at once when late. A frame without one (PTS 0) is decoded ahead of the display into one
// of the channel's 8 picture buffers as soon as one is free, and shown one frame time after
// the picture before; so the frames that pile up while a stream starts leave the stream
// buffer at once, while a source feeding faster than the output shows is held back once the
// picture buffers and the stream buffer are full.
// Showing a frame sets the displayed time stamp of every output channel the decode channel
// feeds (directly or through a scaler group). HI_MPI_VDEC_Query reports the frames still in
// the stream buffer as u32LeftStreamFrames, HI_MPI_VO_QueryChnStat the pictures the output
// channel holds ahead (at most 3); HI_MPI_VO_ClearChnBuffer drops every decoded picture
// waiting for it. A send to a full stream buffer
// fails at once with HI_ERR_VDEC_BUF_FULL when non-blocking; a blocking one waits for room,
// and fails so after half a second without it. Black-box tests use the files under
// $QEL_ROOT/sim/:
//   state.json   snapshot of the state, rewritten (temp file + rename) at most every 100 ms
//                after a change, and at once when the file "snap" appears (it is then removed);
//                its "clock" is the system clock as the program set it
//   fb.ppm       the framebuffer as shown (visible area at the pan offset), written with the
//                snapshot when its pixels changed
//   screen.ppm   output device 0 as screen() shows it, only while QEL_SIM_DECODE=1: every
//                0.5 s when it changed (temp file + rename), and with a snapshot asked for
//   key          "1" while the front-panel key is held, "0" (or no file) when released
//   hdmi         lines "connected 0|1", "edid126 N", "edidValid 0|1"
//   fail         lines "NAME CODE [COUNT]": make call NAME fail with CODE (hex or decimal),
//                COUNT times (default: until the line goes). Replaces the file's earlier lines.
// Call names are the platform function names ("HI_MPI_VO_EnableChn") and, for the devices,
// "open:/dev/fb0", "ioctl:/dev/tlv320aic31" (any request), "ioctl:/dev/tlv320aic31:0x22"
// (one request) and "mmap:/dev/mem"; a device call fails with -1 and errno = CODE.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "hi_platform.h"

namespace qelsim {

struct Bind {
    MPP_CHN_S src;
    MPP_CHN_S dst;
};

struct VdecChannel {
    bool exists = false;
    VDEC_CHN_ATTR_S attr{};
    VDEC_PRTCL_PARAM_S prtcl{};
    VDEC_CHN_PARAM_S param{};
    bool receiving = false;
    uint64_t streams = 0;  // packets taken since the channel was created
    uint64_t bytes = 0;
    uint64_t lastPts = 0;
    uint32_t leftPics = 0;          // set by tests
    uint32_t leftStreamFrames = 0;  // set by tests, reported on top of the frames queued
    int creations = 0;              // times created since reset (survives destruction)
    uint32_t queued = 0;            // frames fed and not yet shown
    uint64_t queuedBytes = 0;
    uint64_t shown = 0;      // frames shown since the channel was created
    uint64_t shownPts = 0;   // time stamp of the frame shown last
    uint64_t dropped = 0;    // decoded pictures a clear of the output's buffer dropped
    uint64_t sendWaits = 0;  // blocking sends that found the buffer full and waited
    uint64_t sendFulls = 0;  // sends that failed with the buffer full
    bool stalled = false;    // stallChannel: nothing is shown (survives re-creation)
};

struct VpssGroup {
    bool exists = false;
    bool started = false;
    VPSS_GRP_ATTR_S attr{};
    VPSS_GRP_PARAM_S param{};
    VPSS_CLIP_INFO_S clip{};
    VPSS_CHN_ATTR_S chnAttr[VPSS_MAX_CHN_NUM]{};
    bool chnEnabled[VPSS_MAX_CHN_NUM]{};
};

struct VoChannel {
    bool attrSet = false;
    VO_CHN_ATTR_S attr{};
    bool enabled = false;
    bool hidden = false;
    uint64_t pts = 0;      // time stamp of the picture on display
    uint32_t bufUsed = 0;  // pictures held ahead of it
    int clears = 0;
    int clearAlls = 0;
};

struct VoDevice {
    bool enabled = false;
    bool pubAttrSet = false;
    VO_PUB_ATTR_S pubAttr{};
    uint32_t dispBufLen = 0;
    bool layerAttrSet = false;
    VO_VIDEO_LAYER_ATTR_S layerAttr{};
    bool layerEnabled = false;
    VO_CSC_S csc{50, 50, 50, 50};
    uint32_t toleration = 0;
    VoChannel chn[VO_MAX_CHN_NUM];
};

struct PipLayer {
    int boundDev = -1;
    bool attrSet = false;
    VO_VIDEO_LAYER_ATTR_S attr{};
    bool enabled = false;
};

struct AoDevice {
    bool attrSet = false;
    AIO_ATTR_S attr{};
    bool enabled = false;
    bool chnEnabled[AIO_MAX_CHN_NUM]{};
    bool resample[AIO_MAX_CHN_NUM]{};
    AUDIO_RESAMPLE_ATTR_S resampleAttr[AIO_MAX_CHN_NUM]{};
};

struct AdecChannel {
    bool exists = false;
    PAYLOAD_TYPE_E type = PT_LPCM;
    uint32_t bufSize = 0;
    ADEC_MODE_E mode = ADEC_MODE_PACK;
    int typeParam = 0;  // ADPCM type or G.726 rate; 0 for the others
    uint64_t streams = 0;
    uint64_t bytes = 0;
    int clears = 0;
};

struct Hdmi {
    bool inited = false;
    HI_HDMI_INIT_PARA_S initPara{};
    bool opened = false;
    bool started = false;
    HI_HDMI_ATTR_S attr{};
    int starts = 0;
    int stops = 0;
    // The sink, set by tests.
    bool sinkConnected = false;
    uint8_t edid126 = 0;
    bool edidValid = true;
};

struct Framebuffer {
    int opens = 0;  // descriptors open now
    uint32_t xres = 0, yres = 0, xresVirtual = 0, yresVirtual = 0;
    uint32_t xoffset = 0, yoffset = 0;
    uint32_t bitsPerPixel = 16;
    uint32_t smemStart = 0, smemLen = 0, lineLength = 0;
    int pans = 0;
    uint64_t generation = 0;  // advances whenever a pixel of it may have changed
};

struct CodecRequest {
    std::string device;  // "/dev/tw2865dev" or "/dev/tlv320aic31"
    unsigned long request = 0;
    uint32_t word[2]{};  // TLV320: the control word; TW2865: word[0] is the value
};

// The system clock as the program last set it (qelSys_settimeofday); the host's is never set.
struct SysClock {
    int sets = 0;
    int64_t sec = 0;
    int64_t usec = 0;
};

struct State {
    bool sysInited = false;
    bool sysConfSet = false;
    MPP_SYS_CONF_S sysConf{};
    bool vbConfSet = false;
    VB_CONF_S vbConf{};
    bool vbInited = false;
    bool ptsBaseSet = false;
    uint64_t ptsBase = 0;
    std::vector<Bind> binds;
    std::map<std::string, std::string> memConf;  // "mod,dev,chn" -> zone ("" default)
    VdecChannel vdec[VDEC_MAX_CHN_NUM];
    VpssGroup vpss[VPSS_MAX_GRP_NUM];
    VoDevice vo[VO_MAX_DEV_NUM];
    PipLayer pip;
    AoDevice ao[AO_DEV_MAX_NUM];
    AdecChannel adec[ADEC_MAX_CHN_NUM];
    Hdmi hdmi;
    bool tdeOpen = false;
    int tdeJobsDone = 0;
    int tdeJobsCancelled = 0;
    Framebuffer fb;
    int mmzBlocks = 0;
    bool watchdogOpen = false;
    int watchdogFeeds = 0;
    bool keyPressed = false;
    std::vector<CodecRequest> codec;
    SysClock clock;
};

// Back to power-on: no channel, no bind, no failure, nothing recorded, key released, no
// sink. Open descriptors and mappings stay valid.
void reset();

// A copy of the whole state.
State state();

// Every platform and device call since reset, in order, as "NAME(args)"; at most the last
// 20000. clearCalls() empties the list.
std::vector<std::string> calls();
void clearCalls();
// The names of the calls since the last clearCalls/reset, in order, without arguments.
std::vector<std::string> callNames();
// The calls since the last clearCalls/reset that returned an error, in order, as "NAME=CODE"
// (CODE in hex: the platform code, or the errno of a device call).
std::vector<std::string> failedCalls();

// Failure injection: call NAME returns CODE for the next COUNT calls (-1: until cleared).
void failCall(const std::string& name, int32_t code, int count = -1);
void clearFailures();

// While on, every call named callName (as for failCall) blocks on entry, after it is logged,
// until the stall is turned off or reset() runs; other calls go on meanwhile.
void stallCall(const std::string& callName, bool on);
// How many calls named callName are blocked in a stall now.
int blockedCalls(const std::string& callName);

// A stalled decode channel shows nothing (as when the picture is lost): its output time stamp
// stands still while frames pile up in its stream buffer. Released, the frames whose time has
// passed are shown at once and the rest at their pace.
void stallChannel(int chn, bool stalled);

// Inputs from the world outside the chip.
void setSink(bool connected, uint8_t edid126 = 1, bool edidValid = true);
void setKeyPressed(bool pressed);
void setLinkInput(int pin, bool high);  // GPIO group 10, pins 0..3
void setVdecLeft(int chn, uint32_t leftPics, uint32_t leftStreamFrames);
// Until the channel's decoder next shows a frame.
void setVoChnPts(int dev, int chn, uint64_t pts, uint32_t bufUsed = 0);

// Output pins: the level last written to a GPIO pin's data word (group 0..11, pin 0..7), or -1.
int gpioPin(int group, int pin);
// The pin-mux register reg (0..127), or 0 when out of range.
uint32_t muxReg(int reg);

// The framebuffer's pixel at (x, y) of its virtual area (16-bit ARGB1555), or 0 outside.
uint16_t fbPixel(uint32_t x, uint32_t y);

// A picture of 8-bit RGB pixels, row by row from the top.
struct RgbPicture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes
    // The pixel at (x, y) as 0xRRGGBB; 0 outside.
    uint32_t pixel(uint32_t x, uint32_t y) const {
        if (x >= width || y >= height) return 0;
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
    }
};

// What output device dev shows now, at its timing's size: the background colour, every
// enabled and shown channel (in order of priority, then of channel number) with the newest
// picture of the decode channel feeding it, cropped as its scaler group says and scaled to
// its rectangle, and on device 0 the framebuffer's opaque pixels on top. Pictures come from
// the software decoder (QEL_SIM_DECODE=1) or from setDecodedPicture.
RgbPicture screen(int dev = 0);
// Gives decode channel chn a decoded picture, as if its stream had decoded to it, until its
// decoder makes the next one or the channel ends.
void setDecodedPicture(int chn, const RgbPicture& pic);

// The files under a sim folder: snapshot now (returns false when it cannot be written), and
// the folder to use ($QEL_ROOT/sim when QEL_ROOT is set, else "").
bool writeSnapshot();
std::string simDir();
// The snapshot as JSON text.
std::string snapshotJson();
// Reads the input files of the sim folder now (the watcher does so every 50 ms).
void readInputs();

}  // namespace qelsim
