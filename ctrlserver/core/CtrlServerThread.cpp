#include <unistd.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/CtrlServer.h"
#include "intake/ComServer.h"
#include "intake/NetServer.h"
#include "intake/WebServer.h"

void* CtrlServer::ctrlUserCmdProcess(void* arg) {
    CtrlServer* self = static_cast<CtrlServer*>(arg);
    if (!self) return nullptr;
    // Polled in this order on every pass: web first, then the text port, then the serial port.
    std::vector<CommandSource> sources;
    if (self->webServer)
        sources.push_back({self->webServer->cmdQueue(), self->webServer->ackQueue(), 1});
    if (self->netServer)
        sources.push_back({self->netServer->cmdQueue(), self->netServer->ackQueue(), 0});
    if (self->comServer)
        sources.push_back({self->comServer->cmdQueue(), self->comServer->ackQueue(), 0});
    self->commandLoop(sources);
    return nullptr;
}

void CtrlServer::commandLoop(const std::vector<CommandSource>& sources) {
    CommandQueue* ownReplies = ackQueue();
    // One byte more than the largest entry, so the first stage always gets a terminated text.
    std::vector<unsigned char> take(QEL_MAX_ENTRY + 1);
    std::vector<char> copy(QEL_MAX_ENTRY + 1);
    std::vector<unsigned char> move(QEL_MAX_ENTRY);
    CommandQueueNode takeNode{take.data(), 0, nullptr, QEL_MAX_ENTRY};
    CommandQueueNode moveNode{move.data(), 0, nullptr, QEL_MAX_ENTRY};

    // Every queue the thread serves wakes it the moment a command is added; the wait is
    // bounded all the same, so an idle thread looks at its queues every 10 ms and never spins.
    auto wake = std::make_shared<QueueSignal>();
    for (const CommandSource& s : sources)
        if (s.commands) s.commands->SetSignal(wake);

    bool lastPassFoundWork = false;
    while (running) {
        // Commands are served back to back while there are any; only a pass that found none
        // waits.
        if (!lastPassFoundWork) wake->wait(kIdleWaitMs);
        lastPassFoundWork = false;

        const CommandSource* src = nullptr;
        for (const CommandSource& s : sources) {
            if (s.commands && !s.commands->IsEmpty()) {
                src = &s;
                break;
            }
        }
        if (!src) continue;
        memset(take.data(), 0, take.size());
        memset(move.data(), 0, move.size());
        takeNode.size = 0;
        if (src->commands->DelNode(takeNode) == 0) continue;
        lastPassFoundWork = true;

        const int size = takeNode.size;
        memcpy(copy.data(), take.data(), size);
        copy[size] = '\0';

        // The first stage writes a NUL over the first '|', so it gets the take buffer; the second
        // stage gets the untouched copy.
        int taken = ProcessSub1(reinterpret_cast<char*>(take.data()), size, src->fromWeb);
        if (taken <= 0) taken = Process(copy.data(), size, src->fromWeb);
        if (taken <= 0) continue;

        // Each reply stays a separate entry: a list and its acknowledgement are two messages.
        while (ownReplies->DelNode(moveNode) == 1) {
            if (src->replies) src->replies->AddNode(move.data(), moveNode.size);
            moveNode.size = 0;
        }
    }
}
