// Small UDP helpers shared by the device server's acknowledged road, discovery and updates.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class UsageEnvironment;

namespace devsock {

// A UDP socket with SO_REUSEADDR (and SO_BROADCAST when asked); -1 on failure.
int openUdp(bool broadcast);

// Binds fd to port on every local address; false on failure.
bool bindAnyAddress(int fd, int port);

// Sends len bytes of text to ip:port; false when ip is not a dotted IPv4 address or the send
// failed.
bool sendText(int fd, const char* ip, int port, const char* text, size_t len);

// Waits up to ms milliseconds for fd to become readable.
bool waitReadable(int fd, int ms);

// Reads one datagram into buf (size bytes, size > 1) and terminates it. Returns the datagram's
// length; 0 for an empty datagram or an error. A datagram longer than size - 1 bytes is
// reported through *tooLong (its head is kept). fromIp, when given, receives the sender's
// address in dotted form.
int receiveText(int fd, char* buf, size_t size, bool* tooLong, std::string* fromIp);

// Waits for the acknowledgement of device command table row on fd. Each try watches the socket
// for 100 ms; every datagram is written to env's message stream. A datagram that is not the
// awaited acknowledgement (another device's, a " #FAILED " one, one too long to be any) starts a
// fresh try. True with the reply's fields when it came; false when a try ran out or a receive
// gave nothing ("recv buf is NULL").
bool awaitAck(UsageEnvironment& env, int fd, int row, std::vector<std::string>& fields);

// Sleeps ms milliseconds.
void pauseMs(int ms);

}  // namespace devsock
