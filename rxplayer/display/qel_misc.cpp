#include "display/qel_misc.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "box/Box.h"
#include "display/hi3531_gpio.h"

SAMPLE_LED_FLAG led_flag = {{HI_LED_OFF}, {0}, {0}, nullptr};

std::atomic<signed char> reset_key{1};
std::atomic<int32_t> resetkey_count{0};
std::atomic<signed char> hi_reset_default{0};
std::atomic<int32_t> key_positioning{0};
std::atomic<signed char> lnkch[4]{};
SDL_Thread* stKeyScanthreadPid = nullptr;

namespace {

// Polls of a held key after which the factory settings are restored (about 4.5 s), and the
// range of a short press that reboots (0.2 s to 0.9 s).
const int kFactoryPolls = 44;
const int kTapMin = 2;
const int kTapMax = 9;

void setShine(int32_t onMs, int32_t offMs) {
    led_flag.u32LedOnTime = onMs;
    led_flag.u32LedOffTime = offMs;
    led_flag.bLedFlag = HI_LED_SHINE;
}

void clearCount() {
    resetkey_count = 0;
    hi_reset_default = 0;
}

void sleepUs(unsigned int us) {
    usleep(us);
}

void ensureSdlDummyDrivers() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
}

}  // namespace

void ledPositioning() {
    key_positioning = 90;
}

void key_func(unsigned char code) {
    if (code == 1) {
        static const char* const kFactory[] = {
            "rm -rf /mnt/GatewayConfig",
            "rm -rf /mnt/IPConfig",
            "rm -rf /mnt/NetmaskConfig",
            "rm -rf /mnt/*.ini",
            "rm -rf /mnt/*.bak",
            "rm -rf /mnt/*.sh",
            "cp -R /usr/backup/GatewayConfig /mnt/",
            "cp -R /usr/backup/IPConfig /mnt/",
            "cp -R /usr/backup/NetmaskConfig /mnt/",
            "cp -R /usr/backup/power.ini /mnt/",
            "cp -R /usr/backup/csc.ini /mnt/",
            "cp -R /usr/backup/config.ini /mnt/",
            "cp -R /usr/backup/config.ini /mnt/config.bak",
            "cp -R /usr/backup/audiooutput.ini /mnt/",
            "cp -R /usr/backup/cutedge.ini /mnt/",
            "cp -R /usr/backup/decodername.ini /mnt/",
            "cp -R /usr/backup/serialconfig.ini /mnt/",
            "cp -R /usr/backup/splitnum.ini /mnt/",
            "cp -R /usr/backup/winpara_00.ini /mnt/",
        };
        for (const char* cmd : kFactory) box::system(cmd);
        sleep(1);
        box::system("reboot");
    } else if (code == 2) {
        box::system("reboot");
    }
}

void ledflagPass(SAMPLE_LED_FLAG* f, void (*sleepFn)(unsigned int)) {
    HI_LED_FLAG state = f->bLedFlag;
    if (state != HI_LED_SHINE) {
        hi3531_gpio_set_value(LED_GPIO_GRP, LED_GPIO_PIN, state);
        sleepFn(200 * 1000);
        return;
    }
    hi3531_gpio_set_value(LED_GPIO_GRP, LED_GPIO_PIN, 0);
    for (int i = 0; i < 5; ++i) {
        sleepFn(static_cast<unsigned int>(f->u32LedOnTime.load()) * 200);
        if (f->bLedFlag != HI_LED_SHINE) break;
    }
    hi3531_gpio_set_value(LED_GPIO_GRP, LED_GPIO_PIN, 1);
    for (int i = 0; i < 5; ++i) {
        sleepFn(static_cast<unsigned int>(f->u32LedOffTime.load()) * 200);
        if (f->bLedFlag != HI_LED_SHINE) return;
    }
}

int ledflag(void* arg) {
    SAMPLE_LED_FLAG* f = static_cast<SAMPLE_LED_FLAG*>(arg);
    hi3531_gpio_set_value(LED_GPIO_GRP, LED_GPIO_PIN, 1);
    for (;;) ledflagPass(f, sleepUs);
    return 0;
}

void keyScanPoll() {
    int key = hi3531_gpio_get_value(KEY_GPIO_GRP, KEY_GPIO_PIN);
    reset_key = static_cast<signed char>(key);
    if (key == 0) {
        int count = ++resetkey_count;
        if (count > kFactoryPolls) {
            setShine(100, 100);
            // Once per hold: the key stays down while the reset runs and after it.
            if (count == kFactoryPolls + 1) key_func(1);
        } else {
            led_flag.bLedFlag = HI_LED_ON;
        }
    } else {
        int count = resetkey_count;
        if (count >= kTapMin && count <= kTapMax) {
            key_func(2);
            printf("\n------------resetkey=%d\n", key);
        } else {
            clearCount();
            led_flag.bLedFlag = HI_LED_SHINE;
        }
        if (key_positioning > 0) {
            --key_positioning;
            clearCount();
            setShine(100, 100);
        } else {
            clearCount();
            setShine(1000, 1000);
        }
    }
    for (int pin = 0; pin < 4; ++pin)
        lnkch[pin] = static_cast<signed char>(hi3531_gpio_get_value(LINK_GPIO_GRP, pin));
}

int link_ch_key(void*) {
    for (;;) {
        // The shell door may fail to allocate; the key is polled again regardless.
        try {
            keyScanPoll();
        } catch (...) {
        }
        usleep(100 * 1000);
    }
    return 0;
}

int LedStatus_pthread() {
    ensureSdlDummyDrivers();
    led_flag.bLedFlag = HI_LED_OFF;
    led_flag.u32LedOnTime = 0;
    led_flag.stLedthreadPid = SDL_CreateThread(ledflag, &led_flag);
    if (led_flag.stLedthreadPid == nullptr) {
        printf("[%s]-%d: ", __FUNCTION__, __LINE__);
        return -1;
    }
    return 0;
}

int KeyScan_pthread() {
    ensureSdlDummyDrivers();
    stKeyScanthreadPid = SDL_CreateThread(link_ch_key, nullptr);
    if (stKeyScanthreadPid == nullptr) {
        printf("[%s]-%d: ", __FUNCTION__, __LINE__);
        return -1;
    }
    return 0;
}
