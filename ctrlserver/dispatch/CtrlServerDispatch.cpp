// The two dispatcher stages: the head both run (length, origin tag, login, web gate), the walk
// along the stage's keyword chain and stage two's pass-through of unmatched commands to the
// devices.
#include "dispatch/CtrlServerDispatch.h"

#include <cctype>
#include <cstring>

#include "core/QelConfig.h"
#include "device/DevServer.h"
#include "reply/ReplyBuilders.h"
#include "reply/ReplyFrame.h"
#include "wall/VSServer.h"

namespace dispatch {

namespace {

const char kSetLogin[] = "config set login";
const char kGetLogin[] = "config get login";
// The one user name the web login knows.
const char kLoginUser[] = "vorpl";
// Each login word has a buffer of 1024 bytes on the box.
const size_t kLoginWordMax = 1023;

// Length of the origin tag at the start of text, "tag|": the text before the first '|' when
// it is 1 to 11 digits (what the front ends write); 0 otherwise, and the whole text is the
// command. A command may hold a '|' itself ("update data block 0,3|41..."), so anything else
// in front of the bar is not taken for a tag.
size_t tagLengthOf(const char* text) {
    const char* bar = strchr(text, '|');
    if (!bar) return 0;
    const size_t n = static_cast<size_t>(bar - text);
    if (n == 0 || n > kLongestTag) return 0;
    for (size_t i = 0; i < n; ++i)
        if (!isdigit(static_cast<unsigned char>(text[i]))) return 0;
    return n + 1;
}

bool isWhite(char ch) {
    return isspace(static_cast<unsigned char>(ch)) != 0;
}

// Answers "config set login": user and password from the 17th character on.
int login(Command& c) {
    const std::string echo(c.cmd, strlen(kSetLogin));
    Words w;
    bool ok = readWords(c.cmd + strlen(kSetLogin), 2, kLoginWordMax, w);
    if (ok) {
        std::string pass = w.at(1);
        ok = w.at(0) == kLoginUser && c.server.devServer->blCheckSysPass(&pass[0]);
    }
    // A refused login leaves an earlier one in force: there is no logout.
    if (ok) c.server.loggedIn = 1;
    c.ack(ok, echo);
    return 1;
}

bool holdsGateKeyword(const char* cmd) {
    for (const char* k : gateKeywords())
        if (strstr(cmd, k)) return true;
    return false;
}

// The web gate: before the first login a web command passes only when it begins with
// "update" (the upload and update path). A substring test would let through any command
// that merely holds the word, "config set device factory default update" among them.
bool refusedByGate(const Command& c) {
    return c.fromWeb == 1 && c.server.loggedIn == 0 && strncmp(c.cmd, "update", 6) != 0;
}

int runStage(CtrlServer& server, bool stageOne, char* text, int len, unsigned int fromWeb) {
    if (!text) return 0;
    if (len > kLongestText) {
        server.envir() << "command of " << len << " bytes is too long, dropped\n";
        return 0;
    }
    if (!server.devServer || !server.vsServer) {
        server.envir() << "no device server or wall model: command dropped\n";
        return 0;
    }
    Command c(server, text, fromWeb);
    int result = 0;
    if (strstr(c.cmd, kSetLogin)) {
        result = login(c);
    } else if (strstr(c.cmd, kGetLogin)) {
        c.ack(server.loggedIn == 1, c.whole());
        result = 1;
    } else if (refusedByGate(c)) {
        c.ack(holdsGateKeyword(c.cmd) ? Envelope::New : Envelope::Old, false, c.whole());
        result = 1;
    } else {
        const std::vector<Entry>& chain = stageOne ? stageOneChain() : stageTwoChain();
        bool matched = false;
        for (const Entry& e : chain) {
            if (!matches(e, c.cmd)) continue;
            matched = true;
            result = e.handler(c, e);
            break;
        }
        if (!matched) result = stageOne ? 0 : passToDevices(c);
    }
    // Texts built after the last acknowledgement (or by a command that sends none).
    c.finish();
    if (result >= 1) {
        c.deliver();
    } else if (c.pending() > 0) {
        server.envir() << "stage declined a command after building " << int(c.pending())
                       << " replies; they are dropped\n";
    }
    return result;
}

}  // namespace

Command::Command(CtrlServer& s, char* text, unsigned int web)
    : server(s),
      cmd(text),
      fromWeb(web),
      buffer(kReplyBufferSize, '\0'),
      tagLength(0),
      failedWritesAtStart(QelConfig::failedWrites()) {
    // The command's decoder texts are queued as one whole when it is answered.
    if (server.vsServer) server.vsServer->beginTextGroup();
    tagLength = tagLengthOf(text);
    if (tagLength > 0) {
        memcpy(buffer.data(), text, tagLength);
        cmd = text + tagLength;
    }
}

void Command::queue() {
    // The builders never write past outSize, so the entry always ends inside the buffer.
    replies.emplace_back(buffer.data(), tagLength + strnlen(out(), outSize()));
    memset(out(), 0, outSize());
}

void Command::ack(Envelope envelope, bool success, const std::string& echo) {
    // A change is a success only when all of it was kept and all of it goes out: a file
    // that could not be written (reported by the store) or decoder texts the full device
    // queue refused make the answer a failure. This is the one place a refusal is decided.
    commitWrites();
    if (writesFailed()) {
        // What the decoders would be told belongs to a change that was not kept.
        success = false;
        if (server.vsServer) server.vsServer->dropTextGroup();
    } else if (server.vsServer && server.vsServer->endTextGroup() < 0) {
        success = false;
    }
    if (server.vsServer) server.vsServer->beginTextGroup();
    std::string text = echo;
    if (envelope == Envelope::New)
        BuildNewAckJsonString(success ? 1 : 0, &text[0], out(), outSize());
    else
        BuildAckJsonString(success ? 1 : 0, &text[0], out(), outSize());
    queue();
}

void Command::holdWrites() {
    if (!holdingWrites) holdingWrites = QelConfig::BeginWrites();
}

void Command::commitWrites() {
    if (holdingWrites) QelConfig::CommitWrites();
    holdingWrites = false;
}

bool Command::writesFailed() const {
    return QelConfig::failedWrites() != failedWritesAtStart;
}

void Command::finish() {
    commitWrites();
    const bool failed = writesFailed();
    if (!server.vsServer) return;
    if (failed) {
        server.vsServer->dropTextGroup();
        server.envir() << "a write of the command failed: wall model loaded again from its files\n";
        server.vsServer->reloadFromFiles();
    } else {
        server.vsServer->endTextGroup();
    }
}

std::string Command::head() const {
    return reply::utf8Prefix(cmd, kEchoHead);
}

void Command::deliver() {
    CommandQueue* q = server.ackQueue();
    for (std::string& r : replies)
        q->AddNode(reinterpret_cast<unsigned char*>(&r[0]), static_cast<int>(r.size()));
    replies.clear();
}

bool readWords(const char* text, size_t count, size_t maxLength, Words& out) {
    out.words.clear();
    const char* p = text ? text : "";
    while (out.words.size() < count) {
        while (*p && isWhite(*p)) ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && !isWhite(*p)) ++p;
        if (static_cast<size_t>(p - start) > maxLength) return false;
        out.words.emplace_back(start, p);
    }
    out.end = p;
    return true;
}

char* argumentOf(char* cmd, size_t keywordLength) {
    const size_t n = strlen(cmd);
    return n > keywordLength ? cmd + keywordLength + 1 : cmd + n;
}

bool matches(const Entry& e, const char* cmd) {
    switch (e.match) {
        case Match::Exact:
            return strcmp(cmd, e.keyword) == 0;
        case Match::ContainsHead:
            return strstr(std::string(cmd, strnlen(cmd, kEchoHead)).c_str(), e.keyword) != nullptr;
        case Match::Contains:
            break;
    }
    return strstr(cmd, e.keyword) != nullptr;
}

int passToDevices(Command& c) {
    const std::string echo = c.whole();
    ArrayList<Param> params;
    const int n = c.server.devServer->cmdDev(c.cmd, params, 1);
    if (n > 0) {
        BuildParamsJsonString(params, c.out(), c.outSize());
        c.queue();
    }
    c.ack(n >= 0, echo);
    return 1;
}

}  // namespace dispatch

int CtrlServer::ProcessSub1(char* text, int len, unsigned int fromWeb) {
    return dispatch::runStage(*this, true, text, len, fromWeb);
}

int CtrlServer::Process(char* text, int len, unsigned int fromWeb) {
    return dispatch::runStage(*this, false, text, len, fromWeb);
}
