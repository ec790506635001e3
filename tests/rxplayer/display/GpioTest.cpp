#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "SimControl.h"
#include "box/Box.h"
#include "display/hi3531_gpio.h"
#include "display/qel_misc.h"

namespace {

int gReboots = 0;
void countReboot() {
    ++gReboots;
}

std::string readFile(const std::string& p) {
    std::ifstream f(p);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class GpioTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qelgpio-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        setenv("QEL_ROOT", root.c_str(), 1);
        qelsim::reset();
        box::setRebootHandler(countReboot);
        gReboots = 0;
        hi3531_munmap_gpio();
        ASSERT_NE(hi3531_mmap_gpio(), -1);
        resetkey_count = 0;
        key_positioning = 0;
    }
    void TearDown() override {
        hi3531_munmap_gpio();
        ::system(("rm -rf '" + root + "'").c_str());
        unsetenv("QEL_ROOT");
    }
    // Holds the key for a number of polls, then releases it for one.
    void press(int polls) {
        qelsim::setKeyPressed(true);
        for (int i = 0; i < polls; ++i) keyScanPoll();
        qelsim::setKeyPressed(false);
        keyScanPoll();
    }
    std::string root;
};

TEST_F(GpioTest, PinMuxRoutesTheFrontPanelPins) {
    hi3531_munmap_gpio();
    hi3531_muxctrl_initconfig();
    for (int reg : {57, 58, 80, 81, 82, 83}) EXPECT_EQ(qelsim::muxReg(reg), 0u) << reg;
    EXPECT_EQ(qelsim::muxReg(2), 1u);
    // Only one window is mapped at a time: the pin-mux one is gone again.
    EXPECT_EQ(hi3531_muxctrl_set_value(2, 1), -22);
}

// While the GPIO page is mapped a pin-mux write is refused rather than landing in it; a
// second mapping takes the first down.
TEST_F(GpioTest, EachWindowTakesOnlyItsOwnAccesses) {
    uint32_t before = 0;
    for (int reg = 0; reg < 8; ++reg) before |= static_cast<uint32_t>(qelsim::gpioPin(0, reg));
    EXPECT_EQ(hi3531_muxctrl_set_value(1, 0xFF), -22);  // the GPIO page is the one mapped
    uint32_t after = 0;
    for (int reg = 0; reg < 8; ++reg) after |= static_cast<uint32_t>(qelsim::gpioPin(0, reg));
    EXPECT_EQ(after, before);

    qelsim::clearCalls();
    ASSERT_EQ(hi3531_mmap_muxctrl(), 0);
    EXPECT_EQ(hi3531_gpio_set_value(7, 1, 0), -22);  // now the pin-mux window is mapped
    EXPECT_EQ(hi3531_muxctrl_set_value(2, 1), 0);
    EXPECT_EQ(qelsim::muxReg(2), 1u);
    int closes = 0;
    for (const std::string& c : qelsim::callNames())
        if (c == "close:/dev/mem") ++closes;
    EXPECT_EQ(closes, 1);  // the GPIO mapping's descriptor went with it
    ASSERT_NE(hi3531_mmap_gpio(), -1);
    EXPECT_EQ(hi3531_gpio_set_value(7, 1, 0), 0);
}

TEST_F(GpioTest, RegisterAccessChecksItsArguments) {
    EXPECT_EQ(hi3531_gpio_set_value(7, 1, 0), 0);
    EXPECT_EQ(qelsim::gpioPin(7, 1), 0);
    EXPECT_EQ(hi3531_gpio_set_value(7, 1, 1), 0);
    EXPECT_EQ(qelsim::gpioPin(7, 1), 1);
    EXPECT_EQ(hi3531_gpio_get_value(7, 2), 1);  // key released
    qelsim::setKeyPressed(true);
    EXPECT_EQ(hi3531_gpio_get_value(7, 2), 0);
    EXPECT_EQ(hi3531_gpio_set_value(12, 0, 1), -22);
    EXPECT_EQ(hi3531_gpio_get_value(0, 8), -22);
    hi3531_munmap_gpio();
    EXPECT_EQ(hi3531_gpio_set_value(7, 1, 1), -22);
    EXPECT_EQ(hi3531_gpio_get_value(7, 2), -22);
}

TEST_F(GpioTest, KeyPressesRebootOrRestoreTheFactorySettingsOnce) {
    ASSERT_TRUE(box::makeDirs("/usr/backup"));
    ASSERT_TRUE(box::makeDirs("/mnt"));
    std::ofstream(root + "/usr/backup/config.ini") << "factory\n";
    std::ofstream(root + "/mnt/config.ini") << "user\n";
    std::ofstream(root + "/mnt/MacConfig") << "ifconfig eth0 hw ether 00:11:22:33:44:55";

    const struct {
        int polls;
        int reboots;
    } cases[] = {{1, 0}, {5, 1}, {20, 0}};
    for (const auto& c : cases) {
        gReboots = 0;
        press(c.polls);
        EXPECT_EQ(gReboots, c.reboots) << c.polls << " polls";
        EXPECT_EQ(resetkey_count, 0);
    }
    EXPECT_EQ(readFile(root + "/mnt/config.ini"), "user\n");

    gReboots = 0;
    press(50);
    EXPECT_EQ(gReboots, 1) << "one factory reset, ending in one reboot";
    EXPECT_EQ(readFile(root + "/mnt/config.ini"), "factory\n");
    EXPECT_EQ(readFile(root + "/mnt/config.bak"), "factory\n");
    EXPECT_NE(readFile(root + "/mnt/MacConfig"), "");

    std::string log = readFile(box::commandLogPath());
    size_t reboots = 0;
    for (size_t at = log.find("reboot"); at != std::string::npos; at = log.find("reboot", at + 1))
        ++reboots;
    EXPECT_EQ(reboots, 2u);
}

TEST_F(GpioTest, LedFollowsTheKeyAndTheLocateBlink) {
    qelsim::setKeyPressed(true);
    keyScanPoll();
    EXPECT_EQ(led_flag.bLedFlag, HI_LED_ON);
    ledPositioning();  // no effect while the key is held
    keyScanPoll();
    EXPECT_EQ(key_positioning, 90);
    qelsim::setKeyPressed(false);
    keyScanPoll();
    EXPECT_EQ(led_flag.bLedFlag, HI_LED_SHINE);
    EXPECT_EQ(led_flag.u32LedOnTime, 100);
    EXPECT_EQ(key_positioning, 89);
    for (int i = 0; i < 89; ++i) keyScanPoll();
    EXPECT_EQ(led_flag.u32LedOnTime, 100);
    keyScanPoll();
    EXPECT_EQ(led_flag.u32LedOnTime, 1000);
    EXPECT_EQ(led_flag.u32LedOffTime, 1000);
}

// The LED pin level at every sleep of one pass of the LED loop.
std::vector<std::pair<int, unsigned>> gSleeps;
HI_LED_FLAG gSwitchTo = HI_LED_SHINE;
size_t gSwitchAfter = 0;
void recordSleep(unsigned us) {
    gSleeps.push_back({qelsim::gpioPin(7, 1), us});
    if (gSwitchAfter && gSleeps.size() == gSwitchAfter) led_flag.bLedFlag = gSwitchTo;
}

TEST_F(GpioTest, LedPatternOnTheRegisterPage) {
    using Pattern = std::vector<std::pair<int, unsigned>>;
    gSleeps.clear();
    gSwitchAfter = 0;
    led_flag.u32LedOnTime = 1000;
    led_flag.u32LedOffTime = 1000;
    led_flag.bLedFlag = HI_LED_SHINE;
    ledflagPass(&led_flag, recordSleep);
    Pattern heartbeat(5, {0, 200000});
    heartbeat.insert(heartbeat.end(), 5, {1, 200000});
    EXPECT_EQ(gSleeps, heartbeat);

    gSleeps.clear();
    led_flag.bLedFlag = HI_LED_ON;
    ledflagPass(&led_flag, recordSleep);
    led_flag.bLedFlag = HI_LED_OFF;
    ledflagPass(&led_flag, recordSleep);
    EXPECT_EQ(gSleeps, (Pattern{{0, 200000}, {1, 200000}}));

    // A state change during the lit half ends the blink within one slice.
    gSleeps.clear();
    led_flag.u32LedOnTime = 100;
    led_flag.u32LedOffTime = 100;
    led_flag.bLedFlag = HI_LED_SHINE;
    gSwitchTo = HI_LED_ON;
    gSwitchAfter = 2;
    ledflagPass(&led_flag, recordSleep);
    EXPECT_EQ(gSleeps, (Pattern{{0, 20000}, {0, 20000}, {1, 20000}}));
}

// The LED and key threads work on the mapped register page while the key input changes and
// the pins are looked at from other threads; every level read is a whole 0 or 1 and the LED
// ends in the state last rendered.
TEST_F(GpioTest, RegisterPageIsSharedSafelyBetweenThreads) {
    std::atomic<bool> stop{false};
    std::thread led([&stop] {
        for (int i = 0; !stop && i < 20000; ++i)
            hi3531_gpio_set_value(LED_GPIO_GRP, LED_GPIO_PIN, i & 1);
    });
    std::thread key([&stop] {
        for (int i = 0; !stop && i < 20000; ++i) {
            int v = hi3531_gpio_get_value(KEY_GPIO_GRP, KEY_GPIO_PIN);
            if (v != 0 && v != 1) ADD_FAILURE() << "key level " << v;
        }
    });
    for (int i = 0; i < 2000; ++i) {
        qelsim::setKeyPressed(i & 1);
        qelsim::setLinkInput(i % 4, i & 2);
        int lit = qelsim::gpioPin(LED_GPIO_GRP, LED_GPIO_PIN);
        ASSERT_TRUE(lit == 0 || lit == 1);
    }
    stop = true;
    led.join();
    key.join();
    hi3531_gpio_set_value(LED_GPIO_GRP, LED_GPIO_PIN, 0);
    EXPECT_EQ(qelsim::gpioPin(LED_GPIO_GRP, LED_GPIO_PIN), 0);
    qelsim::setKeyPressed(true);
    EXPECT_EQ(hi3531_gpio_get_value(KEY_GPIO_GRP, KEY_GPIO_PIN), 0);
}

}  // namespace
