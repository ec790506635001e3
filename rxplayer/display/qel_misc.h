// The front-panel LED and key threads of the decoder: heartbeat, locate blink, steady light
// while the key is held; a tap reboots the box, a long hold restores the factory settings.
#pragma once

#include <SDL/SDL_thread.h>

#include <atomic>
#include <cstdint>

typedef enum {
    HI_LED_ON = 0,
    HI_LED_OFF = 1,
    HI_LED_SHINE = 2,
} HI_LED_FLAG;

// Shared by main, the key thread, the command servers and the LED thread; every field is one
// word, re-read by the LED thread after each sleep slice.
typedef struct {
    std::atomic<HI_LED_FLAG> bLedFlag;
    std::atomic<int32_t> u32LedOnTime;   // ms
    std::atomic<int32_t> u32LedOffTime;  // ms
    SDL_Thread* stLedthreadPid;
} SAMPLE_LED_FLAG;

extern SAMPLE_LED_FLAG led_flag;

// Key thread state.
extern std::atomic<signed char> reset_key;
extern std::atomic<int32_t> resetkey_count;
extern std::atomic<signed char> hi_reset_default;
extern std::atomic<int32_t> key_positioning;
extern std::atomic<signed char> lnkch[4];
extern SDL_Thread* stKeyScanthreadPid;

// Start the LED thread (LED first set off) and the key thread; 0, or -1 when a thread cannot
// be started.
int LedStatus_pthread();
int KeyScan_pthread();

// About 9 s of fast blinking, so that an operator can find the box a command reached.
void ledPositioning();

// 1: factory reset then reboot; 2: reboot; other codes do nothing.
void key_func(unsigned char code);

// Thread bodies; neither returns.
int ledflag(void* arg);
int link_ch_key(void* arg);

// One pass of the LED loop over flags; sleepUs does the sleeping (usleep in the thread).
void ledflagPass(SAMPLE_LED_FLAG* flags, void (*sleepUs)(unsigned int));
// One 100 ms poll of the key thread without its sleep: reads the key and the link inputs and
// acts on them.
void keyScanPoll();
