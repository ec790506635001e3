#include "core/CommandQueue.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <new>

QueueSignal::QueueSignal() : efd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

QueueSignal::~QueueSignal() {
    if (efd >= 0) close(efd);
}

void QueueSignal::notify() {
    if (efd < 0) return;
    const uint64_t one = 1;
    // A full counter (never in practice) already means "wake up".
    while (write(efd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void QueueSignal::clear() {
    if (efd < 0) return;
    uint64_t count = 0;
    while (read(efd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool QueueSignal::wait(int ms) {
    if (efd < 0) {
        usleep(static_cast<useconds_t>(ms) * 1000);
        return false;
    }
    struct pollfd pfd = {efd, POLLIN, 0};
    if (poll(&pfd, 1, ms) <= 0) return false;
    clear();
    return true;
}

CommandQueue::CommandQueue() {
    head = new CommandQueueNode{nullptr, 0, nullptr, 0};
    tail = head;
    sem_init(&sem, 1, 1);
}

CommandQueue::~CommandQueue() {
    sem_wait(&sem);
    freeAllLocked();
    sem_post(&sem);
    sem_destroy(&sem);
    delete head;
    head = tail = nullptr;
}

void CommandQueue::AddNode(unsigned char* data, int size) {
    if (size < 0 || size > QEL_MAX_ENTRY || (size > 0 && data == nullptr)) return;
    unsigned char* block = new (std::nothrow) unsigned char[size > 0 ? size : 1];
    CommandQueueNode* node = new (std::nothrow) CommandQueueNode{block, size, nullptr, 0};
    if (!block || !node) {  // out of memory: the entry is lost, the queue stays intact
        delete[] block;
        delete node;
        return;
    }
    if (size > 0) memcpy(block, data, size);
    sem_wait(&sem);
    tail->next = node;
    tail = node;
    std::shared_ptr<QueueSignal> signal = waker;
    sem_post(&sem);
    if (signal) signal->notify();
}

void CommandQueue::SetSignal(std::shared_ptr<QueueSignal> signal) {
    sem_wait(&sem);
    waker = std::move(signal);
    sem_post(&sem);
}

int CommandQueue::DelNode(CommandQueueNode& out) {
    sem_wait(&sem);
    CommandQueueNode* oldest = head->next;
    if (!oldest) {
        sem_post(&sem);
        return 0;
    }
    head->next = oldest->next;
    if (tail == oldest) tail = head;
    sem_post(&sem);

    int taken = 0;
    if (oldest->size <= out.capacity && (out.data != nullptr || oldest->size == 0)) {
        if (oldest->size > 0) memcpy(out.data, oldest->data, oldest->size);
        out.size = oldest->size;
        out.next = nullptr;
        taken = 1;
    }
    delete[] oldest->data;
    delete oldest;
    return taken;
}

// Both hints read the list under the lock: a consumer frees nodes while a producer links new
// ones, so walking it unguarded could follow a freed node.
int CommandQueue::IsEmpty() {
    sem_wait(&sem);
    const int empty = head->next == nullptr ? 1 : 0;
    sem_post(&sem);
    return empty;
}

int CommandQueue::QueueLength() {
    sem_wait(&sem);
    int n = 0;
    for (CommandQueueNode* p = head->next; p; p = p->next) ++n;
    sem_post(&sem);
    return n;
}

void CommandQueue::ClearQueue() {
    sem_wait(&sem);
    freeAllLocked();
    sem_post(&sem);
}

void CommandQueue::freeAllLocked() {
    CommandQueueNode* p = head->next;
    while (p) {
        CommandQueueNode* next = p->next;
        delete[] p->data;
        delete p;
        p = next;
    }
    head->next = nullptr;
    tail = head;
}
