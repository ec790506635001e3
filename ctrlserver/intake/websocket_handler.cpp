#include "intake/websocket_handler.h"

#include <strings.h>
#include <sys/epoll.h>

#include <cstdio>
#include <cstring>

#include "intake/base64.h"
#include "intake/network_interface.h"
#include "intake/sha1.h"

namespace {

const char* const kWebSocketGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

// Header names are not case-sensitive (RFC 7230): "sec-websocket-key" from a client or a proxy
// that writes names in small letters is the same header. The map holds one spelling per name
// (see fetch_http_info).
std::string valueOf(const std::map<std::string, std::string>& headers, const char* name) {
    auto it = headers.find(name);
    if (it != headers.end()) return it->second;
    for (const auto& h : headers)
        if (strcasecmp(h.first.c_str(), name) == 0) return h.second;
    return std::string();
}

// Appends prefix, value and suffix as one line of at most kLineSize - 1 characters; an
// over-long value is cut so that the line still ends with its suffix.
bool appendLine(char* out, int outSize, int& pos, const char* prefix, const std::string& value,
                const char* suffix) {
    char line[Websocket_Handler::kLineSize];
    const int fixed = static_cast<int>(strlen(prefix) + strlen(suffix));
    int room = static_cast<int>(sizeof line) - 1 - fixed;
    if (room < 0) room = 0;
    const int valueLen =
        static_cast<int>(value.size()) < room ? static_cast<int>(value.size()) : room;
    const int n = snprintf(line, sizeof line, "%s%.*s%s", prefix, valueLen, value.c_str(), suffix);
    if (n < 0 || n >= static_cast<int>(sizeof line) || pos + n >= outSize) return false;
    memcpy(out + pos, line, n);
    pos += n;
    out[pos] = '\0';
    return true;
}

}  // namespace

Websocket_Handler::Websocket_Handler(int socket)
    : fd(socket), request(new Websocket_Request()), respond(new Websocket_Respond()) {}

Websocket_Handler::~Websocket_Handler() {
    delete request;
    delete respond;
}

char* Websocket_Handler::readPtr() {
    if (buff.empty()) buff.resize(QEL_MAX_ENTRY);
    return buff.data() + buff_len;
}

int Websocket_Handler::readRoom() {
    if (buff.empty()) buff.resize(QEL_MAX_ENTRY);
    return QEL_MAX_ENTRY - buff_len;
}

void Websocket_Handler::commit(int n) {
    if (n > 0 && n <= readRoom()) buff_len += n;
}

void Websocket_Handler::consume(size_t n) {
    if (n >= static_cast<size_t>(buff_len)) {
        buff_len = 0;
        std::vector<char>().swap(buff);
        return;
    }
    memmove(buff.data(), buff.data() + n, buff_len - n);
    buff_len -= static_cast<int>(n);
}

size_t Websocket_Handler::findRequestEnd(const char* data, size_t len) {
    for (size_t i = 0; i + 1 < len; ++i) {
        if (data[i] != '\n') continue;
        if (data[i + 1] == '\n') return i + 2;
        if (data[i + 1] == '\r' && i + 2 < len && data[i + 2] == '\n') return i + 3;
    }
    return 0;
}

int Websocket_Handler::fetch_http_info(const char* data, size_t len,
                                       std::map<std::string, std::string>& headers) {
    // The request is text: it ends at its first NUL.
    const char* nul = static_cast<const char*>(memchr(data, '\0', len));
    if (nul) len = static_cast<size_t>(nul - data);

    size_t pos = 0;
    bool first = true;
    while (pos < len) {
        const char* start = data + pos;
        const char* nl = static_cast<const char*>(memchr(start, '\n', len - pos));
        if (!nl) {
            if (first) return -1;
            break;  // a last line without its line end
        }
        size_t lineLen = static_cast<size_t>(nl - start);
        pos += lineLen + 1;
        const bool hasCr = lineLen > 0 && start[lineLen - 1] == '\r';
        if (first) {
            if (!hasCr) return -1;
            first = false;
            continue;
        }
        if (lineLen == 1 && hasCr) break;  // the blank line
        if (!hasCr) continue;
        --lineLen;
        const std::string line(start, lineLen);
        const size_t sep = line.find(": ");
        if (sep == std::string::npos) continue;
        const std::string name = line.substr(0, sep);
        // A repeated header keeps its last value, whatever the letter case of each line.
        for (auto it = headers.begin(); it != headers.end();) {
            if (strcasecmp(it->first.c_str(), name.c_str()) == 0 && it->first != name)
                it = headers.erase(it);
            else
                ++it;
        }
        headers[name] = line.substr(sep + 2);
    }
    return first ? -1 : 0;
}

std::string Websocket_Handler::acceptValue(const std::string& key) {
    SHA1 sha;
    const std::string text = key + kWebSocketGuid;
    sha.Input(text.data(), static_cast<unsigned>(text.size()));
    unsigned words[5] = {0, 0, 0, 0, 0};
    if (!sha.Result(words)) return std::string();
    unsigned char digest[20];
    for (int i = 0; i < 5; ++i) {
        digest[i * 4] = static_cast<unsigned char>(words[i] >> 24);
        digest[i * 4 + 1] = static_cast<unsigned char>(words[i] >> 16);
        digest[i * 4 + 2] = static_cast<unsigned char>(words[i] >> 8);
        digest[i * 4 + 3] = static_cast<unsigned char>(words[i]);
    }
    return base64_encode(digest, sizeof digest);
}

int Websocket_Handler::parse_str(const std::map<std::string, std::string>& headers, char* out,
                                 int outSize) {
    if (!out || outSize <= 0) return -1;
    out[0] = '\0';
    int pos = 0;
    const bool ok =
        appendLine(out, outSize, pos, "HTTP/1.1 101 Switching Protocols", "", "\r\n") &&
        appendLine(out, outSize, pos, "Connection: ", valueOf(headers, "Connection"), "\r\n") &&
        appendLine(out, outSize, pos, "Sec-WebSocket-Origin: ", valueOf(headers, "Origin"),
                   "\r\n") &&
        appendLine(out, outSize, pos, "Sec-WebSocket-Location: ws://", valueOf(headers, "Host"),
                   "/\r\n") &&
        appendLine(out, outSize, pos,
                   "Sec-WebSocket-Accept: ", acceptValue(valueOf(headers, "Sec-WebSocket-Key")),
                   "\r\n") &&
        appendLine(out, outSize, pos, "Upgrade: websocket\r\n\r\n", "", "");
    return ok ? pos : -1;
}

bool Websocket_Handler::handshark(size_t requestLen) {
    // Whatever the request held, everything after it is read as frames.
    status = 1;
    fetch_http_info(buff.data(), requestLen, header_map);
    char answer[QEL_MAX_ENTRY];
    memset(answer, 0, sizeof answer);
    const int len = parse_str(header_map, answer, sizeof answer);
    consume(requestLen);
    if (len <= 0) return false;
    std::lock_guard<std::mutex> lock(writeMutex);
    if (!sendLocked(answer, static_cast<size_t>(len))) return false;
    ready = true;
    return true;
}

int Websocket_Handler::processBuff(char* out, int outSize, int* outLen) {
    if (buff_len == 0) return kNeedMore;
    if (status == 0) {
        size_t end = findRequestEnd(buff.data(), static_cast<size_t>(buff_len));
        if (end == 0) {
            // A request that fills the whole buffer without its blank line is taken as it is.
            if (buff_len < QEL_MAX_ENTRY) return kNeedMore;
            end = QEL_MAX_ENTRY;
        }
        return handshark(end) ? 0 : kDrop;
    }
    const int used = request->fetch_websocket_info(reinterpret_cast<unsigned char*>(buff.data()),
                                                   static_cast<size_t>(buff_len), QEL_MAX_ENTRY);
    if (used == 0) return kNeedMore;
    if (used < 0) return kDrop;
    request->print();
    consume(static_cast<size_t>(used));
    const int opcode = request->opcode;
    int result = kHandled;
    if (opcode == 9) {  // ping: a pong with the same payload
        if (!sendFrame(10, request->payload, static_cast<int>(request->payload_length)))
            result = kDrop;
    } else if (opcode == 8) {  // close: answer with a close echoing the status code, then end
        const int codeLen = request->payload_length >= 2 ? 2 : 0;
        sendFrame(8, request->payload, codeLen);
        result = kDrop;
    } else if (opcode == 10) {  // pong: nothing to do
    } else if (opcode < 8) {
        result = takeDataFrame(out, outSize, outLen);
    } else {  // the reserved control opcodes carry nothing the controller reads
        if (outLen) *outLen = request->fetch_websocket_payload(out, outSize);
        result = opcode;
    }
    request->reset();
    return result;
}

int Websocket_Handler::takeDataFrame(char* out, int outSize, int* outLen) {
    const int opcode = request->opcode;
    const bool first = opcode != 0;
    if (request->fin && first) {  // a whole message in one frame (the usual case)
        const int n = request->fetch_websocket_payload(out, outSize);
        if (outLen) *outLen = n;
        messageOpcode = -1;  // a new message ends any unfinished one
        std::vector<char>().swap(message);
        return opcode;
    }
    if (first) {
        messageOpcode = opcode;
        message.clear();
        messageTooLong = false;
    } else if (messageOpcode < 0) {
        return kHandled;  // a continuation of nothing
    }
    const size_t len = static_cast<size_t>(request->payload_length);
    if (!messageTooLong && message.size() + len > static_cast<size_t>(QEL_MAX_ENTRY)) {
        printf("fd: %d message of more than %d bytes dropped\n", fd, QEL_MAX_ENTRY);
        fflush(stdout);
        messageTooLong = true;
        std::vector<char>().swap(message);
    }
    if (!messageTooLong) message.insert(message.end(), request->payload, request->payload + len);
    if (!request->fin) return kHandled;
    const int joinedOpcode = messageOpcode;
    messageOpcode = -1;
    if (messageTooLong) return kHandled;
    int n = static_cast<int>(message.size());
    if (n > outSize) n = outSize;
    if (out && n > 0) memcpy(out, message.data(), static_cast<size_t>(n));
    if (outLen) *outLen = out ? n : 0;
    std::vector<char>().swap(message);
    return joinedOpcode;
}

bool Websocket_Handler::sendFrame(int opcode, const unsigned char* data, int len) {
    // The frame is built in a buffer of its own size, given back once it is out.
    std::vector<unsigned char> frame(static_cast<size_t>(len < 0 ? 0 : len) + 16);
    std::lock_guard<std::mutex> lock(writeMutex);
    const int n = respond->mk_websocket_info(frame.data(), static_cast<int>(frame.size()), 1,
                                             opcode, 0, nullptr, data, len);
    if (n < 0) return true;  // nothing that could be sent
    return sendLocked(reinterpret_cast<const char*>(frame.data()), static_cast<size_t>(n));
}

bool Websocket_Handler::sendLocked(const char* data, size_t len) {
    const ClientOutput::Result r = output.send(fd, data, len);
    if (r == ClientOutput::kFailed) {
        if (output.overBound())
            fprintf(stderr,
                    "WebSocket port: replies not taken, more than %zu bytes unsent: socket %d cut "
                    "off\n",
                    ClientOutput::kDefaultBound, fd);
        return false;
    }
    watchOutput(r == ClientOutput::kPending);
    return true;
}

void Websocket_Handler::watchOutput(bool wanted) {
    if (wanted == watchingOutput || epfd < 0) return;
    struct epoll_event ev;
    memset(&ev, 0, sizeof ev);
    ev.events = wanted ? EPOLLIN | EPOLLOUT : EPOLLIN;
    ev.data.fd = fd;
    // Fails only once the connection has left the set, when nothing is to be watched.
    if (epoll_ctl(epfd, EPOLL_CTL_MOD, fd, &ev) == 0) watchingOutput = wanted;
}

bool Websocket_Handler::flushOutput() {
    std::lock_guard<std::mutex> lock(writeMutex);
    const ClientOutput::Result r = output.flush(fd);
    if (r == ClientOutput::kFailed) return false;
    watchOutput(r == ClientOutput::kPending);
    return true;
}

bool Websocket_Handler::ack(const char* data, int len) {
    if (!respond || !ready) return true;
    if (len > QEL_MAX_ENTRY) return true;  // a reply larger than any entry: nothing to send
    return sendFrame(1, reinterpret_cast<const unsigned char*>(data), len);
}
