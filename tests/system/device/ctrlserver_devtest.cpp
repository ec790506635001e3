// ctrlserver with a stand-in dispatcher, for black-box tests of the device road before the
// command language exists. It builds the controller as the real program does, then reads
// commands from UDP port argv[1] (default 9900) in its box: "devtest <controller-side text>"
// is queued on the serial front end's command queue like an operator's command; the command
// thread hands it to the dispatcher below, which passes the text to DevServer::cmdQelDev and
// replies {"status":"success"}. The reply goes back to the datagram's sender.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "box/Box.h"
#include "core/CtrlMain.h"
#include "core/CtrlServer.h"
#include "device/DevServer.h"
#include "intake/ComServer.h"
#include "live/BasicUsageEnvironment.hh"

namespace {
const char kVerb[] = "devtest ";
}

int CtrlServer::ProcessSub1(char* text, int len, unsigned int) {
    if (!text || len > 74999) return 0;
    char* bar = strchr(text, '|');
    if (!bar) return 0;
    *bar = '\0';
    const char* cmd = bar + 1;
    if (strncmp(cmd, kVerb, strlen(kVerb)) != 0) return 0;
    std::string deviceText = cmd + strlen(kVerb);
    devServer->cmdQelDev(&deviceText[0], nullptr);
    std::string reply = std::string(text) + "|{\"status\":\"success\"}";
    ackQueue()->AddNode(reinterpret_cast<unsigned char*>(&reply[0]),
                        static_cast<int>(reply.size()));
    return 1;
}

int CtrlServer::Process(char*, int, unsigned int) {
    return 0;
}

int main(int argc, char** argv) {
    signal(SIGINT, sighandler);
    signal(SIGTERM, sighandler);
    signal(SIGPIPE, SIG_IGN);
    if (!box::requireRoot(argv[0])) return 1;
    int port = argc > 1 ? atoi(argv[1]) : 9900;

    TaskScheduler* scheduler = BasicTaskScheduler::createNew();
    UsageEnvironment* env = BasicUsageEnvironment::createNew(*scheduler);
    setProgramDirectory(programDirectoryOf(argv[0]));
    CtrlServer* ctrl = CtrlServer::createNew(*env, Port(6666), 0);
    if (!ctrl || !ctrl->comServer) {
        fprintf(stderr, "devtest: controller not built\n");
        return 1;
    }

    int sock = socket(AF_INET, SOCK_DGRAM, 0);
    struct sockaddr_in addr;
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (sock < 0 || bind(sock, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) != 0) {
        perror("devtest: bind");
        return 1;
    }
    printf("devtest ready on %d\n", port);
    fflush(stdout);

    std::vector<unsigned char> reply(QEL_MAX_ENTRY + 1);
    for (;;) {
        char buf[80000];
        struct sockaddr_in from;
        socklen_t fromLen = sizeof from;
        ssize_t n = recvfrom(sock, buf, sizeof buf - 1, 0,
                             reinterpret_cast<struct sockaddr*>(&from), &fromLen);
        if (n <= 0) continue;
        std::string entry = "7|" + std::string(buf, static_cast<size_t>(n));
        ctrl->comServer->cmdQueue()->AddNode(reinterpret_cast<unsigned char*>(&entry[0]),
                                             static_cast<int>(entry.size()));
        // The command thread moves the reply to the front end's reply queue.
        std::string answer = "{\"status\":\"timeout\"}";
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            CommandQueueNode node{reply.data(), 0, nullptr, QEL_MAX_ENTRY};
            if (ctrl->comServer->ackQueue()->DelNode(node) == 1) {
                std::string r(reinterpret_cast<char*>(reply.data()), node.size);
                size_t bar = r.find('|');
                answer = bar == std::string::npos ? r : r.substr(bar + 1);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sendto(sock, answer.data(), answer.size(), 0, reinterpret_cast<struct sockaddr*>(&from),
               fromLen);
    }
}
