// The serial bridge: bytes from the port go to the configured peer's UDP port 8666, datagrams
// from that peer to our port 8666 go to the port, and the same port bytes feed a two-command
// console about the MAC address.
#include "control/qelSerial.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "box/Box.h"
#include "control/qelDecode.h"
#include "control/qelDecodeServer.h"
#include "control/qelDecodeSettings.h"
#include "control/qelGet_ip.h"

std::atomic<int> iSerial_changed{0};

namespace {

const char* const kPortPath = "/dev/ttyAMA1";
// One read of the port fills a 256-byte buffer that is then read as a text.
const size_t kReadMax = 255;
const size_t kConsoleMax = 255;

// The open port; writers hold the lock while they write, so the reader never closes the
// descriptor under them.
std::mutex gPortLock;
int fd_serialReadWrite = -1;

// The console line collected from the port.
std::mutex gConsoleLock;
char bufferSerialToTcp[kConsoleMax + 1];
size_t iCntSerialToTcp = 0;

// The parity letter of the last opening; a stored parity other than 0, 1, 2 keeps it.
char gParityLetter = 'N';

void setPortFd(int fd) {
    std::lock_guard<std::mutex> g(gPortLock);
    fd_serialReadWrite = fd;
}

char parityLetter() {
    switch (Serial_Parity.load()) {
        case 0:
            gParityLetter = 'N';
            break;
        case 1:
            gParityLetter = 'O';
            break;
        case 2:
            gParityLetter = 'E';
            break;
        default:
            break;
    }
    return gParityLetter;
}

speed_t speedOf(int nSpeed) {
    switch (nSpeed) {
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 19200:
            return B19200;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B9600;
    }
}

std::string destinationText() {
    std::lock_guard<std::mutex> g(gTextLock);
    return reinterpret_cast<const char*>(Serial_DestIP);
}

// Appends a read's bytes (up to the first NUL) to the console line; what does not fit is lost.
void appendConsole(const char* bytes) {
    std::lock_guard<std::mutex> g(gConsoleLock);
    size_t n = strnlen(bytes, kReadMax);
    if (n > kConsoleMax - iCntSerialToTcp) n = kConsoleMax - iCntSerialToTcp;
    memcpy(bufferSerialToTcp + iCntSerialToTcp, bytes, n);
    iCntSerialToTcp += n;
    bufferSerialToTcp[iCntSerialToTcp] = 0;
}

bool consoleEmpty() {
    std::lock_guard<std::mutex> g(gConsoleLock);
    return iCntSerialToTcp == 0;
}

// Takes the console line and empties it.
void takeConsole(char* line, size_t size) {
    std::lock_guard<std::mutex> g(gConsoleLock);
    copyText(line, size, bufferSerialToTcp);
    memset(bufferSerialToTcp, 0, sizeof bufferSerialToTcp);
    iCntSerialToTcp = 0;
}

void writeText(const char* text) {
    serialWrite(text, strlen(text));
}

// The console's "config set mac": the MAC follows the first blank at or after character 14.
void consoleSetMac(char* line) {
    char* blank = strlen(line) > 14 ? strchr(line + 14, ' ') : nullptr;
    char* mac = blank ? blank + 1 : nullptr;
    if (mac == nullptr || *mac == 0 || !cleanNewMac(mac)) {
        writeText(" #FAILED ");
        printf("Send Back = %s \n", " #FAILED ");
        return;
    }
    printf("newMAC: %s \n", mac);
    writeText(" #SUCCEED ");
    changeMac(mac);
}

}  // namespace

int open_port(int fd, int comport) {
    if (comport < 1 || comport > 3) return fd;
    int port = open(box::path(kPortPath).c_str(), O_RDWR | O_NOCTTY | O_NDELAY);
    if (port < 0) {
        if (comport == 3)
            printf("Can't Open Serial Port %s: %s\n", kPortPath, strerror(errno));
        else
            printf("Can't Open Serial Port: %s\n", strerror(errno));
        return -1;
    }
    // Opened without waiting for the modem lines; reads and writes block from here on.
    fcntl(port, F_SETFL, 0);
    printf("open %s .....\n", kPortPath);
    return port;
}

void buildSerialTermios(termios* t, int nSpeed, int nBits, char nEvent, int nStop) {
    // Raw: no echo, line editing or output processing; receiver on, modem lines ignored.
    memset(t, 0, sizeof *t);
    t->c_cflag |= CLOCAL | CREAD;
    if (nBits == 7)
        t->c_cflag |= CS7;
    else if (nBits == 8)
        t->c_cflag |= CS8;
    else
        t->c_cflag |= CS5;
    switch (nEvent) {
        case 'O':
            t->c_cflag |= PARENB | PARODD;
            t->c_iflag |= INPCK | ISTRIP;
            break;
        case 'E':
            t->c_iflag |= INPCK | ISTRIP;
            t->c_cflag |= PARENB;
            t->c_cflag &= ~PARODD;
            break;
        default:
            t->c_cflag &= ~PARENB;
            break;
    }
    speed_t speed = speedOf(nSpeed);
    cfsetispeed(t, speed);
    cfsetospeed(t, speed);
    if (nStop == 2)
        t->c_cflag |= CSTOPB;
    else
        t->c_cflag &= ~CSTOPB;
    t->c_cc[VTIME] = 0;
    t->c_cc[VMIN] = 0;
}

int set_opt(int fd, int nSpeed, int nBits, char nEvent, int nStop) {
    struct termios oldtio, newtio;
    if (tcgetattr(fd, &oldtio) != 0) {
        puts("SetupSerial 1");
        return -1;
    }
    buildSerialTermios(&newtio, nSpeed, nBits, nEvent, nStop);
    tcflush(fd, TCIFLUSH);
    if (tcsetattr(fd, TCSANOW, &newtio) != 0) {
        puts("com set error");
        return -1;
    }
    return 0;
}

int readn(int fd, char* buf, char, int utimeout) {
    fd_set rd;
    FD_ZERO(&rd);
    FD_SET(fd, &rd);
    timeval tv{0, utimeout};
    int r = select(fd + 1, &rd, nullptr, nullptr, &tv);
    if (r < 0) return 0;
    if (r == 0) {
        errno = ETIMEDOUT;
        return -1;
    }
    return static_cast<int>(read(fd, buf, kReadMax));
}

int serialWrite(const void* data, size_t len) {
    std::lock_guard<std::mutex> g(gPortLock);
    if (fd_serialReadWrite < 0) {
        puts("serial port not open: write skipped");
        return -1;
    }
    // A write may take part of the bytes (a signal, a full queue): go on until all are out.
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < len) {
        ssize_t n = write(fd_serialReadWrite, p + done, len - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return done > 0 ? static_cast<int>(done) : -1;
        done += static_cast<size_t>(n);
    }
    return static_cast<int>(done);
}

int serialPortFd() {
    std::lock_guard<std::mutex> g(gPortLock);
    return fd_serialReadWrite;
}

int read_serial_send_udp_thread(void*) {
    while (loop) {
        int port = open_port(-1, 1);
        if (port < 0) {
            puts("open_port error");
            return 0;
        }
        if (set_opt(port, Serial_BaudRate, Serial_DataBits, parityLetter(), Serial_StopBits) != 0) {
            puts("set_opt error");
            close(port);
            return 0;
        }
        int sock = socket(AF_INET, SOCK_DGRAM, 0);
        if (sock < 0) {
            fprintf(stderr, "socketack error\n");
            close(port);
            return 0;
        }
        sockaddr_in to;
        memset(&to, 0, sizeof to);
        to.sin_family = AF_INET;
        to.sin_port = htons(QEL_SERIAL_UDP_PORT);
        std::string dest = destinationText();
        bool haveDest = true;
        if (dest == "255.255.255.255") {
            int on = 1;
            setsockopt(sock, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
            to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        } else {
            // A destination that is no address (a hand-edited file) sends nothing.
            haveDest = inet_pton(AF_INET, dest.c_str(), &to.sin_addr) == 1;
        }
        setPortFd(port);

        bool reopen = false;
        while (loop && !reopen) {
            char buffer[kReadMax + 1];
            memset(buffer, 0, sizeof buffer);
            errno = 0;
            int n = readn(port, buffer, 0, 500 * 1000);
            if (n > 0) {
                if (Serial_Enable == 1 && haveDest)
                    sendto(sock, buffer, static_cast<size_t>(n), 0,
                           reinterpret_cast<const sockaddr*>(&to), sizeof to);
                appendConsole(buffer);
            } else if (n == 0 || errno != ETIMEDOUT) {
                // A port whose other side hung up reads as ready at once: do not spin on it.
                usleep(100 * 1000);
            }
            if (iSerial_changed == 2) {
                iSerial_changed = 0;
                reopen = true;
            }
        }
        // No writer holds the old descriptor once it is cleared.
        setPortFd(-1);
        close(port);
        close(sock);
    }
    return 0;
}

int read_udp_write_serial_thread(void*) {
    while (loop) {
        int sock = socket(AF_INET, SOCK_DGRAM, 0);
        if (sock < 0) {
            fprintf(stderr, "socket error\n");
            return 0;
        }
        if (!bindAnyAddress(sock, QEL_SERIAL_UDP_PORT)) {
            fprintf(stderr, "bind error\n");
            close(sock);
            return 0;
        }
        printf("setup udp with port: %d!\n", QEL_SERIAL_UDP_PORT);
        // Wakes twice a second so that the thread sees loop cleared.
        timeval tv{0, 500 * 1000};
        setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        while (loop) {
            char buffer[QEL_SERIAL_DATAGRAM_MAX];
            sockaddr_in from;
            ssize_t n = receiveDatagram(sock, buffer, sizeof buffer, &from, "serial udp 8666");
            // A datagram is written whole or, when too long for the port, not at all.
            if (n == -2 || n == 0) continue;
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
                puts("recvfrom error, need restart read_udp_write_serial_thread");
                break;
            }
            // Only the configured peer reaches the port; with the broadcast destination no
            // sender matches.
            in_addr peer;
            std::string dest = destinationText();
            if (Serial_Enable == 0 || dest == "255.255.255.255" ||
                inet_pton(AF_INET, dest.c_str(), &peer) != 1 || peer.s_addr != from.sin_addr.s_addr)
                continue;
            serialWrite(buffer, static_cast<size_t>(n));
        }
        close(sock);
        if (loop) usleep(100 * 1000);
    }
    return 0;
}

int get_serial_send_tcp_thread(void*) {
    while (loop) {
        usleep(100 * 1000);
        if (consoleEmpty()) continue;
        // The rest of the line is given 100 ms to arrive.
        usleep(100 * 1000);
        char line[kConsoleMax + 1];
        takeConsole(line, sizeof line);
        if (strncmp(line, "config get mac", 14) == 0) {
            char t[64];
            {
                std::lock_guard<std::recursive_mutex> g(gNetLock);
                snprintf(t, sizeof t, " %s ", MyNetParam.Mac);
            }
            writeText(t);
        } else if (strncmp(line, "config set mac", 14) == 0) {
            consoleSetMac(line);
        }
    }
    return 0;
}
