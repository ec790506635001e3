// The chip's GPIO and pin-multiplexing registers, mapped from /dev/mem.
#pragma once

#define HI3531_GPIO_BASE 0x20150000u
#define HI3531_GPIO_SIZE 0xC0000u
#define HI3531_GPIO_GROUPS 12
#define HI3531_MUXCTRL_BASE 0x200F0000u
#define HI3531_MUXCTRL_SIZE 512u

// Front-panel pins: the LED (active low), the key (0 while pressed), the four link inputs.
#define LED_GPIO_GRP 7
#define LED_GPIO_PIN 1
#define KEY_GPIO_GRP 7
#define KEY_GPIO_PIN 2
#define LINK_GPIO_GRP 10

// Maps the pin-mux window, routes the front-panel pins to GPIO and unmaps it again.
int hi3531_muxctrl_initconfig();
int hi3531_mmap_muxctrl();
int hi3531_munmap_muxctrl();
// Writes pin-mux register reg (0..127); -22 when not mapped or out of range.
int hi3531_muxctrl_set_value(int reg, unsigned int val);
void hi3531_powersaving_init();

// Maps the GPIO window for good: its address, or -1.
long hi3531_mmap_gpio();
int hi3531_munmap_gpio();
// 0 (set) or the pin level (get); -22 for a bad group or pin or when the window is not mapped.
int hi3531_gpio_set_value(unsigned int grp, unsigned int pin, unsigned int bitv);
int hi3531_gpio_get_value(unsigned int grp, unsigned int pin);
