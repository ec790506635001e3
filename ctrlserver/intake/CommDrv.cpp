#include "intake/CommDrv.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "box/Box.h"

int my_blComConnected = 0;
int my_hComHandle = 0;

int CommDrvInit() { return 1; }
int CommDrvUninit() { return 1; }
int CommDrvFlushBuffer() { return 1; }

namespace {
speed_t speedCode(int speed) {
    switch (speed) {
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        default: return B115200;
    }
}
}  // namespace

int CommDrvConnectCom(int speed, char parity, int stopBits, int dataBits) {
    int fd = open(box::path("/dev/ttyAMA1").c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return 0;
    struct termios tio;
    if (tcgetattr(fd, &tio) != 0) {
        close(fd);
        return 0;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, speedCode(speed));
    cfsetospeed(&tio, speedCode(speed));
    tio.c_cflag &= ~(PARENB | PARODD | CSTOPB | CSIZE);
    if (parity == 'O' || parity == 'o') tio.c_cflag |= PARENB | PARODD;
    if (parity == 'E' || parity == 'e') tio.c_cflag |= PARENB;
    if (stopBits == 2) tio.c_cflag |= CSTOPB;
    tio.c_cflag |= dataBits == 7 ? CS7 : dataBits == 6 ? CS6 : dataBits == 5 ? CS5 : CS8;
    tio.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &tio);
    my_hComHandle = fd;
    my_blComConnected = 1;
    return 1;
}

int CommDrvDisconnectCom() {
    if (my_blComConnected) close(my_hComHandle);
    my_blComConnected = 0;
    my_hComHandle = 0;
    return 1;
}
