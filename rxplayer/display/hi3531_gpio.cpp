#include "display/hi3531_gpio.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "qel_dev.h"

// One descriptor and one mapping, shared by both windows: only one is mapped at a time.
static std::atomic<int> mfd{-1};
static std::atomic<intptr_t> base{-1};
static size_t gMappedLen = 0;
// Which window base maps, so that a pin-mux write never lands in the GPIO page nor a pin
// access in the pin-mux registers.
enum MappedWindow { kNone, kMux, kGpio };
static std::atomic<int> gMapped{kNone};
// The LED and key threads change bits of the same direction register.
static std::mutex gRegLock;

namespace {

// Register words are read and written whole and atomically: the page is shared by the LED and
// key threads and by whatever else sees the pins.
uint32_t load32(intptr_t addr) {
    return __atomic_load_n(reinterpret_cast<volatile uint32_t*>(addr), __ATOMIC_RELAXED);
}

void store32(intptr_t addr, uint32_t v) {
    __atomic_store_n(reinterpret_cast<volatile uint32_t*>(addr), v, __ATOMIC_RELAXED);
}

int unmapWindow();

// A second mapping takes the first one down: one window is mapped at a time.
int mapWindow(MappedWindow which, unsigned int phys, size_t len, int flags) {
    if (base != -1) unmapWindow();
    int fd = qelDev_open("/dev/mem", flags);
    if (fd < 0) {
        printf("Failed to open /dev/mem.\n");
        return -1;
    }
    void* p = qelDev_mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_SHARED, fd, phys);
    if (p == MAP_FAILED) {
        printf("Failed to mmap /dev/mem.\n");
        qelDev_close(fd);
        return -1;
    }
    mfd = fd;
    gMappedLen = len;
    base = reinterpret_cast<intptr_t>(p);
    gMapped = which;
    return 0;
}

int unmapWindow() {
    gMapped = kNone;
    intptr_t b = base.exchange(-1);
    if (b != -1) qelDev_munmap(reinterpret_cast<void*>(b), gMappedLen);
    int fd = mfd.exchange(-1);
    if (fd >= 0) qelDev_close(fd);
    return 0;
}

}  // namespace

int hi3531_mmap_muxctrl() {
    return mapWindow(kMux, HI3531_MUXCTRL_BASE, HI3531_MUXCTRL_SIZE, O_RDWR);
}

int hi3531_munmap_muxctrl() {
    return unmapWindow();
}

int hi3531_muxctrl_set_value(int reg, unsigned int val) {
    intptr_t b = gMapped == kMux ? base.load() : -1;
    if (b == -1) {
        printf("Make sure mmap muxctrl memory successfully.\n");
        return -22;
    }
    if (reg < 0 || static_cast<unsigned>(reg) * 4 >= HI3531_MUXCTRL_SIZE) {
        printf("reg out of range(%d).\n", HI3531_MUXCTRL_SIZE / 4);
        return -22;
    }
    store32(b + reg * 4, val);
    printf("Write value 0x%02X to reg%x.\n", val, reg * 4);
    return 0;
}

void hi3531_powersaving_init() {
    printf("->init spi flash\n");
}

int hi3531_muxctrl_initconfig() {
    hi3531_mmap_muxctrl();
    static const int regs[][2] = {{57, 0}, {58, 0}, {80, 0}, {81, 0}, {82, 0}, {83, 0}, {2, 1}};
    for (const auto& r : regs) hi3531_muxctrl_set_value(r[0], r[1]);
    hi3531_munmap_muxctrl();
    hi3531_powersaving_init();
    return 0;
}

long hi3531_mmap_gpio() {
    if (mapWindow(kGpio, HI3531_GPIO_BASE, HI3531_GPIO_SIZE, O_RDWR | O_DSYNC) != 0) return -1;
    return static_cast<long>(base.load());
}

int hi3531_munmap_gpio() {
    return unmapWindow();
}

namespace {

// The group's registers; -22 with the message when the pin or the window is not usable.
int groupBase(unsigned int grp, unsigned int pin, intptr_t* out) {
    if (grp >= HI3531_GPIO_GROUPS || pin >= 8) {
        printf("Bad parameter.\n");
        return -22;
    }
    intptr_t b = gMapped == kGpio ? base.load() : -1;
    if (b == -1) {
        printf("Make sure mmap gpio memory successfully.\n");
        return -22;
    }
    *out = b + static_cast<intptr_t>(grp) * 0x10000;
    return 0;
}

}  // namespace

int hi3531_gpio_set_value(unsigned int grp, unsigned int pin, unsigned int bitv) {
    intptr_t g;
    if (int rc = groupBase(grp, pin, &g)) return rc;
    std::lock_guard<std::mutex> lock(gRegLock);
    store32(g + 0x400, load32(g + 0x400) | 1u << pin);
    // Address-masked data access: only bit pin of this word is significant.
    intptr_t data = g + (1 << (pin + 2));
    store32(data, load32(data) & ~(1u << pin));
    if (bitv) store32(data, load32(data) | 1u << pin);
    return 0;
}

int hi3531_gpio_get_value(unsigned int grp, unsigned int pin) {
    intptr_t g;
    if (int rc = groupBase(grp, pin, &g)) return rc;
    std::lock_guard<std::mutex> lock(gRegLock);
    store32(g + 0x400, load32(g + 0x400) & ~(1u << pin));
    return (load32(g + (1 << (pin + 2))) >> pin) & 1u;
}
