// The serial bridge: the box's port /dev/ttyAMA1 to and from one peer on UDP port 8666, and the
// small console on the port that reads and sets the MAC address.
#pragma once

#include <termios.h>

#include <atomic>
#include <cstddef>

#define QEL_SERIAL_UDP_PORT 8666
// Datagrams to the port are written whole up to this length, longer ones dropped with a line:
// about a second of bytes at 9600 baud, so one write never holds the port (and with it the
// serial send command) for long.
#define QEL_SERIAL_DATAGRAM_MAX 1024

// Reopen request: 0 none, 1 a serial command changed a setting, 2 the settings file is written
// and the port-to-network thread is to reopen the port with the new settings.
extern std::atomic<int> iSerial_changed;

// Opens /dev/ttyAMA1 (comport 1, 2 or 3) read-write in blocking mode; the new descriptor or -1.
// Any other comport returns fd unchanged.
int open_port(int fd, int comport);
// The port configuration of set_opt; unknown speeds give 9600, unknown sizes 5 bits.
void buildSerialTermios(termios* t, int nSpeed, int nBits, char nEvent, int nStop);
// Raw mode with the given speed, character size, parity letter ('N', 'O', 'E') and stop bits.
int set_opt(int fd, int nSpeed, int nBits, char nEvent, int nStop);
// Waits at most utimeout microseconds for fd, then reads once (at most 255 bytes) into buf.
// -1 on time-out, 0 when the wait fails, otherwise the read's result.
int readn(int fd, char* buf, char size, int utimeout);

// Writes bytes to the open port; without a port (none open, or being reopened) the write is
// skipped with a line. Returns the bytes written or -1.
int serialWrite(const void* data, size_t len);
// The descriptor of the open port, -1 when none is open.
int serialPortFd();

int read_serial_send_udp_thread(void*);
int read_udp_write_serial_thread(void*);
int get_serial_send_tcp_thread(void*);
