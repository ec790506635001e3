// The box's device files. Every open, ioctl, mmap and close of /dev/fb0, /dev/mem,
// /dev/watchdog, /dev/tw2865dev and /dev/tlv320aic31 goes through these calls. On a PC build
// they reach the in-memory stand-in and never a device of the host; any other path is refused
// (-1, errno ENOENT). Results and errno follow open(2), ioctl(2), mmap(2) and close(2).
#pragma once

#include <sys/types.h>

#include <cstddef>

int qelDev_open(const char* path, int flags);
int qelDev_close(int fd);
int qelDev_ioctl(int fd, unsigned long request, void* arg);
void* qelDev_mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset);
int qelDev_munmap(void* addr, size_t length);

// Register windows of the chip reachable through /dev/mem.
#define QEL_GPIO_PHYS_BASE 0x20150000u
#define QEL_GPIO_PHYS_SIZE 0xC0000u
#define QEL_MUXCTRL_PHYS_BASE 0x200F0000u
#define QEL_MUXCTRL_PHYS_SIZE 0x1000u
