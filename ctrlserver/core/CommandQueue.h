// First-in first-out queue of heap copies of byte blocks, shared between threads.
#pragma once

#include <semaphore.h>

#include <memory>

// The largest command or reply entry, and the size of every buffer that holds one.
const int QEL_MAX_ENTRY = 75000;

struct CommandQueueNode {
    // The capacity is required: a default could claim more room than the caller's buffer has.
    CommandQueueNode(unsigned char* d, int s, CommandQueueNode* n, int cap)
        : data(d), size(s), next(n), capacity(cap) {}

    unsigned char* data;  // in the list: the entry's own copy; as DelNode's out-record: the
                          // caller's buffer
    int size;             // bytes in the block; no terminating NUL is stored or counted
    CommandQueueNode* next;
    // Capacity of the caller's buffer when used as DelNode's out-record (0 in the list).
    int capacity;
};

// Wakes a thread that waits for entries of one or more queues: every entry added to a queue
// the signal is attached to makes it readable until the waiter takes the wake-up. An eventfd,
// so a waiter can watch it together with sockets in one poll().
class QueueSignal {
public:
    QueueSignal();
    ~QueueSignal();
    QueueSignal(const QueueSignal&) = delete;
    QueueSignal& operator=(const QueueSignal&) = delete;

    void notify();
    // Waits up to ms for a wake-up and takes it; true when one came. A wake-up given while the
    // waiter was busy is kept, so work queued between its last look and this wait is not missed.
    bool wait(int ms);
    // Takes a pending wake-up without waiting (after a poll() on fd() reported it).
    void clear();
    // Readable while a wake-up is pending; -1 when no eventfd could be made (wait then sleeps).
    int fd() const { return efd; }

private:
    int efd;
};

class CommandQueue {
public:
    CommandQueue();
    virtual ~CommandQueue();

    // Appends a copy of size bytes. Entries larger than QEL_MAX_ENTRY (or of negative size) are
    // refused: no buffer of the controller could take them out again.
    void AddNode(unsigned char* data, int size);
    // Copies the oldest entry into out.data (at most out.capacity bytes are ever written) and
    // removes it. 1 when an entry was taken, 0 when the queue was empty. An entry larger than
    // the caller's capacity is dropped and reported as not taken.
    int DelNode(CommandQueueNode& out);
    // Hints: the answer may be stale by the time the caller acts, so DelNode checks again.
    int IsEmpty();
    int QueueLength();
    void ClearQueue();
    // Every entry added from now on wakes signal (none: nullptr).
    void SetSignal(std::shared_ptr<QueueSignal> signal);

private:
    CommandQueue(const CommandQueue&) = delete;
    CommandQueue& operator=(const CommandQueue&) = delete;
    void freeAllLocked();

    sem_t sem;
    CommandQueueNode* head;  // sentinel; head->next is the oldest entry
    CommandQueueNode* tail;  // newest node, or the sentinel when empty
    std::shared_ptr<QueueSignal> waker;
};
