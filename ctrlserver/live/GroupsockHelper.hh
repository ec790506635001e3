// Port numbers and the socket helpers the front ends use.
#pragma once

#include <netinet/in.h>
#include <stdint.h>

#include "live/UsageEnvironment.hh"

typedef uint16_t portNumBits;

class Port {
public:
    // num is given in host byte order.
    explicit Port(portNumBits num) : fPortNum(htons(num)) {}
    // In network byte order.
    portNumBits num() const { return fPortNum; }

private:
    portNumBits fPortNum;
};

// A TCP socket with address reuse, bound to INADDR_ANY and the port (0: any port), not yet
// listening; non-blocking unless asked otherwise. -1 on failure (result message set).
int setupStreamSocket(UsageEnvironment& env, Port port, Boolean makeNonBlocking = True);
// A UDP socket with address reuse, bound to INADDR_ANY and the port. -1 on failure.
int setupDatagramSocket(UsageEnvironment& env, Port port);

Boolean makeSocketNonBlocking(int sock);
// Makes the socket blocking; a non-zero time-out also bounds each write (milliseconds).
Boolean makeSocketBlocking(int sock, unsigned writeTimeoutInMilliseconds = 0);

// Reads what is there. Returns the byte count, 0 when the read would block or the peer has
// closed, -1 on an error (result message set).
int readSocket(UsageEnvironment& env, int socket, unsigned char* buffer, unsigned bufferSize,
               struct sockaddr_in& fromAddress);

// Sends one datagram to address:portNum (portNum in network byte order).
Boolean writeSocket(UsageEnvironment& env, int socket, struct in_addr address,
                    portNumBits portNum, unsigned char* buffer, unsigned bufferSize);
Boolean writeSocket(UsageEnvironment& env, int socket, struct in_addr address,
                    portNumBits portNum, uint8_t ttlArg, unsigned char* buffer,
                    unsigned bufferSize);
