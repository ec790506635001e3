// The WebSocket listener on TCP 9008: one epoll loop over the listener and every connection.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/CommandQueue.h"

class Websocket_Handler;

// How long a reply may take to leave before its connection is given up (milliseconds).
const int kWriteTimeoutMs = 1000;

// Writes all len bytes to a (possibly non-blocking) socket, waiting for room as needed, but no
// longer than timeoutMs in all. A closed peer gives false, never a signal.
bool writeAll(int fd, const void* data, size_t len, int timeoutMs);

// Ends a client connection without freeing its descriptor number yet. Replies are addressed by
// that number alone, and one may still be on its way through the command thread (a discovery
// takes seconds); were the number reused at once, the reply would reach the next client. The
// socket is shut down now and closed after kRetireGraceMs, or earlier when more than
// kMaxRetired are waiting.
void retireSocket(int fd);
// Closes the retired sockets whose time is up; the reply threads call it on every pass.
void closeRetiredSockets();
const int kRetireGraceMs = 20000;
const size_t kMaxRetired = 200;

// The pieces of a client's command text between its ';'s, empty ones left out.
struct TextPiece {
    const char* text;
    int len;
};
std::vector<TextPiece> splitCommandPieces(const char* data, int len);

// Reads a reply entry "fd|reply" of size bytes: the socket before the first '|' (decimal, at
// most 11 digits) and the reply after it. False for an entry without '|' or a bad number.
bool splitReplyEntry(const char* entry, int size, int& fd, const char*& reply, int& replyLen);
// Reads a socket number written in decimal (the whole of text); false when it is not one.
bool parseSocketNumber(const char* text, int len, int& fd);

// Which connection the replies of a front end belong to. Replies name their socket only, and a
// socket number passes to a new connection once the old one is closed. The command thread
// takes the commands of a queue one after the other and answers each before it takes the next,
// so a reply belongs to the latest command of its socket that the command thread has taken:
// the front end notes the connection of every command it queues, in queue order, and drops a
// reply whose command came from a connection other than the one now on that socket.
class ReplyRoutes {
public:
    // A command of connection `serial` on socket fd is about to be added to the queue, whose
    // length is queueLength now.
    void queued(int fd, unsigned long serial, int queueLength);
    // Whether a reply for fd, taken now, belongs to connection `serial`; queueLength is the
    // command queue's length now. A socket none of whose commands are known keeps its replies.
    bool belongs(int fd, unsigned long serial, int queueLength);
    // A new serial for a connection.
    unsigned long nextSerial() { return ++lastSerial; }

private:
    void prune(std::deque<std::pair<unsigned long, unsigned long>>& list, int queueLength);

    std::mutex lock;
    unsigned long added = 0;
    unsigned long lastSerial = 0;
    // Per socket: (position in the queue, connection) of its commands, oldest first.
    std::map<int, std::deque<std::pair<unsigned long, unsigned long>>> commands;
};

// Where a command that is queued comes from.
struct CommandSource {
    ReplyRoutes* routes = nullptr;
    unsigned long serial = 0;
};

class Network_Interface {
public:
    static const int kPort = 9008;
    // Simultaneous connections; one more is accepted and closed at once.
    static constexpr size_t kMaxConnections = 256;
    // No one client address holds more than this many of them, so a host that opens
    // connections and leaves them idle cannot lock the operators out.
    static constexpr size_t kMaxPerHost = kMaxConnections / 2;
    // A connection that has not sent its handshake within this time is closed.
    static constexpr int kHandshakeWaitMs = 30000;

    static Network_Interface* get_share_network_interface();

    // The event loop; returns only when the listener could not be set up.
    void run();
    // Sends data as one text frame to the connection on the socket named by fdText (decimal).
    // Nothing is sent when no connection has that socket. Always 0.
    int sendAck(const char* fdText, const char* data, int len);
    // The same for a socket given as a number.
    void sendReply(int fd, const char* data, int len);
    // Registers a connection (add) or removes, closes and forgets it.
    int ctl_event(int fd, bool add);
    static void set_noblock(int fd);

    bool listening() const { return listen_fd >= 0 && epfd >= 0; }

    // Whether a text payload starts with one of the command words.
    static bool hasCommandPrefix(const char* payload, int len);
    // What the loop does with one decoded frame of the connection on socket fd: queues the
    // commands of a text payload as "fd|command" entries (echoed on standard output), reports a
    // binary payload, drops anything else.
    static void handleFrame(CommandQueue& queue, int fd, int opcode, const char* payload, int len,
                            CommandSource source = CommandSource());

    // The web command queue. It exists even when the listener could not be set up.
    CommandQueue* cmd_queue = nullptr;

private:
    Network_Interface();
    ~Network_Interface() = delete;
    int init();
    void epoll_loop();
    void acceptOne();
    void serve(int fd);
    std::shared_ptr<Websocket_Handler> findHandler(int fd);
    // Closes the connections whose handshake is overdue.
    void closeSilentConnections();
    // Forgets the connection on fd (only when it is still served by expected, if given).
    void removeConnection(int fd, const Websocket_Handler* expected);

    int epfd = -1;
    // Payload of the frame being handled (the loop's own; one byte for a terminating NUL).
    std::vector<char> payload_buf = std::vector<char>(QEL_MAX_ENTRY + 1);
    int listen_fd = -1;
    long long lastSweepMs = 0;
    std::mutex map_mutex;
    // A connection's socket is closed when the last holder of its handler lets go, so a reply
    // being written can never land on a new connection that reuses the number.
    std::map<int, std::shared_ptr<Websocket_Handler>> handler_map;
    ReplyRoutes routes;

    static Network_Interface* m_network_interface;
};
