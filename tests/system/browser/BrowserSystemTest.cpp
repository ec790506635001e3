// A real browser as the operator's client: Debian's chromium, headless, in a box of the test
// network, loads a page of this test (served by the test from that box) that opens
// ws://10.77.0.1:9008/, sends a list of commands and posts back every reply it got. A plain
// WebSocket client sends the same list to a second, identical installation; the two must get
// the same replies, compared parsed. Skipped with the reason when chromium is not installed.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/Acks.h"
#include "support/Clients.h"
#include "support/DeviceFiles.h"
#include "support/Process.h"
#include "support/TestNet.h"
#include "support/UploadTexts.h"
#include "support/WebSocketClient.h"

using namespace std::chrono_literals;

namespace {

using qeltest::newAck;
using qeltest::oldAck;

const char kBrowser[] = "/usr/bin/chromium";
const uint16_t kPagePort = 8080;
// How long the first reply to a command may take, and the quiet that ends its replies.
const auto kFirstWait = 5000ms;
const auto kQuietWait = 500ms;

// What one client got for one command: each reply parsed (a text that is no JSON is kept as
// a string, so a difference shows).
using Replies = std::vector<Json::Value>;

Json::Value parsedReply(const std::string& text) {
    Json::Value v;
    Json::Reader reader;
    if (!reader.parse(text, v, false)) return Json::Value("not JSON: " + text);
    return v;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// A controller at 10.77.0.1 on a test network of its own, with two decoders in its device
// table, and an operator's box at 10.77.0.5.
struct Installation {
    std::unique_ptr<qeltest::TestNet> net;
    qeltest::Box* ctrl = nullptr;
    qeltest::Box* op = nullptr;
    std::unique_ptr<qeltest::Process> server;

    void build() {
        net = std::make_unique<qeltest::TestNet>();
        ASSERT_TRUE(net->ok()) << net->error();
        ctrl = &net->addBox("ctrl", 1);
        op = &net->addBox("op", 5);
        ASSERT_TRUE(ctrl->ok() && op->ok());
        ASSERT_EQ(mkdir(ctrl->path("/mnt").c_str(), 0755), 0);
        ASSERT_TRUE(qeltest::writeDeviceFile(
            ctrl->path("/mnt/qeldevDecoder.ini"), "decoder",
            {{"10.77.0.2", "dec1", "DEC-0002", "00:11:22:aa:bb:02", "Version 2.0"},
             {"10.77.0.3", "dec2", "DEC-0003", "00:11:22:aa:bb:03"}}));
        server = ctrl->start(qeltest::programPath("ctrlserver"));
        ASSERT_TRUE(server);
        ASSERT_TRUE(server->waitForStderr("webServer Started", 10s)) << server->output();
    }
};

// The test's own small HTTP server: GET / gives the page, POST /result hands over the body.
// Its socket is made in the given box, so it listens there.
class PageServer {
public:
    PageServer(qeltest::Box& box, uint16_t port, std::string page) : page_(std::move(page)) {
        box.run([&] {
            fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd_ < 0) return;
            const int one = 1;
            setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            inet_pton(AF_INET, box.ip().c_str(), &a.sin_addr);
            if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 8) != 0) {
                close(fd_);
                fd_ = -1;
            }
        });
        if (fd_ >= 0) thread_ = std::thread([this] { serve(); });
    }
    ~PageServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    // The body of the first POST /result, or nothing after timeout.
    std::optional<std::string> waitForResult(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!posted_.wait_for(lock, timeout, [this] { return result_.has_value(); }))
            return std::nullopt;
        return result_;
    }
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            const int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            handle(c);
            close(c);
        }
    }

    // Reads one request (headers, then Content-Length bytes of body) within a few seconds.
    static bool readRequest(int c, std::string& head, std::string& body) {
        std::string in;
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        size_t headEnd = std::string::npos, length = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (headEnd != std::string::npos && in.size() >= headEnd + 4 + length) break;
            pollfd p{c, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char buf[65536];
            const ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n <= 0) return false;
            in.append(buf, static_cast<size_t>(n));
            if (headEnd == std::string::npos &&
                (headEnd = in.find("\r\n\r\n")) != std::string::npos) {
                std::string lower = in.substr(0, headEnd);
                for (char& ch : lower)
                    ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
                const size_t at = lower.find("\r\ncontent-length:");
                if (at != std::string::npos) length = std::stoul(lower.substr(at + 17));
            }
        }
        if (headEnd == std::string::npos || in.size() < headEnd + 4 + length) return false;
        head = in.substr(0, headEnd);
        body = in.substr(headEnd + 4, length);
        return true;
    }

    void handle(int c) {
        std::string head, body;
        if (!readRequest(c, head, body)) return;
        const std::string line = head.substr(0, head.find("\r\n"));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(line);
        }
        std::string reply;
        if (line.rfind("GET / ", 0) == 0) {
            reply =
                "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                std::to_string(page_.size()) + "\r\nConnection: close\r\n\r\n" + page_;
        } else if (line.rfind("POST /result ", 0) == 0) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!result_) result_ = body;
            }
            posted_.notify_all();
            reply = "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
        } else {
            reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        }
        size_t sent = 0;
        while (sent < reply.size()) {
            const ssize_t n = send(c, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
    }

    std::string page_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::optional<std::string> result_;
    std::vector<std::string> requests_;
};

// The page with the controller's address, the commands and the waits filled in.
std::string operatorPage(const std::string& controller, const std::vector<std::string>& commands) {
    Json::Value list(Json::arrayValue);
    for (const std::string& c : commands) list.append(c);
    Json::StreamWriterBuilder w;
    w["indentation"] = "";
    w["emitUTF8"] = true;
    std::string page = qeltest::readAll(QEL_BROWSER_PAGE);
    replaceAll(page, "@CONTROLLER@", controller);
    replaceAll(page, "@COMMANDS@", Json::writeString(w, list));
    replaceAll(page, "@FIRST_WAIT@", std::to_string(kFirstWait.count()));
    replaceAll(page, "@QUIET_WAIT@", std::to_string(kQuietWait.count()));
    return page;
}

// The plain client's replies to each command, taken the way the page takes them.
std::vector<Replies> plainClientReplies(Installation& inst,
                                        const std::vector<std::string>& commands) {
    qeltest::WebSocketClient web;
    std::vector<Replies> rows;
    if (!inst.op->run([&] { return web.connect(inst.ctrl->ip(), 3s); })) {
        ADD_FAILURE() << web.error();
        return rows;
    }
    for (const std::string& c : commands) {
        Replies got;
        EXPECT_TRUE(web.sendText(c));
        for (auto wait = std::chrono::milliseconds(kFirstWait);; wait = kQuietWait) {
            auto text = web.receiveText(wait);
            if (!text) break;
            got.push_back(parsedReply(*text));
        }
        rows.push_back(got);
    }
    return rows;
}

struct BrowserRecord {
    bool opened = false;
    std::vector<std::string> commands;
    std::vector<Replies> rows;
    std::vector<std::string> events;
};

bool parseRecord(const std::string& body, BrowserRecord& out) {
    Json::Value doc;
    Json::Reader reader;
    if (!reader.parse(body, doc, false) || !doc.isObject()) return false;
    out.opened = doc["opened"].asBool();
    for (const Json::Value& row : doc["rows"]) {
        out.commands.push_back(row["command"].asString());
        Replies got;
        for (const Json::Value& text : row["replies"]) got.push_back(parsedReply(text.asString()));
        out.rows.push_back(got);
    }
    for (const Json::Value& e : doc["events"]) out.events.push_back(e.asString());
    return true;
}

// n times "é", two bytes each.
std::string utf8Run(size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += "\xc3\xa9";
    return out;
}

std::string shortened(const std::string& command) {
    return command.size() <= 80
               ? command
               : command.substr(0, 80) + "... (" + std::to_string(command.size()) + " bytes)";
}

TEST(Browser, GetsTheRepliesAPlainClientGets) {
    QEL_REQUIRE_TEST_NETWORK();
    if (access(kBrowser, X_OK) != 0)
        GTEST_SKIP() << "no browser: " << kBrowser << " is not installed (scripts/setup installs "
                     << "Debian's chromium)";

    const std::vector<std::string> commands = {
        // Before the login the web port refuses, each in its own envelope.
        "config get devices",
        "config get login",
        "config set login vorpl wrong",
        "config set login vorpl",
        // Queries.
        "config get devicelist",
        "config get decoderlist",
        "config get version dec1",
        // Settings, one with a name beyond ASCII, and the list that shows them.
        "config set device alias DEC-0003 Lobby",
        "config set device alias DEC-0002 Caf\xc3\xa9-S\xc3\xbc"
        "d",
        "config get decoderlist",
        // A name too long for its buffer: refused (a frame with a 16-bit length).
        "config set device alias dec1 " + std::string(271, 'a'),
        // An upload: block commands carry a bar of their own between place and data.
        "update data start note.bin",
        "update data block 0,3|414243",
        "update data block 3,2|" + qeltest::hexOf("\xff\n"),
        "update data stop note.bin",
        // An unknown command whose echo, its first 255 bytes, would end inside a character: a
        // browser closes the connection on a text frame that is not UTF-8.
        "config q" + utf8Run(200),
        // A command longer than 64 KiB (a frame with a 64-bit length).
        "config " + std::string(70000, 'q'),
    };

    Installation plain;
    plain.build();
    if (HasFatalFailure()) return;
    const std::vector<Replies> want = plainClientReplies(plain, commands);
    ASSERT_EQ(want.size(), commands.size());
    // The plain client's own replies hold what the commands are for, so two clients that both
    // got nothing, or both were let in before the login, do not pass.
    EXPECT_EQ(want[0], Replies{newAck("config get devices", false)});
    EXPECT_EQ(want[1], Replies{oldAck("config get login", false)});
    EXPECT_EQ(want[2], Replies{oldAck("config set login", false)});
    EXPECT_EQ(want[3], Replies{oldAck("config set login", true)});
    for (size_t i = 0; i < commands.size(); ++i)
        EXPECT_FALSE(want[i].empty()) << "no reply to " << shortened(commands[i]);

    Installation inst;
    inst.build();
    if (HasFatalFailure()) return;
    qeltest::Box& op = *inst.op;
    PageServer pages(op, kPagePort, operatorPage(inst.ctrl->ip(), commands));
    ASSERT_TRUE(pages.ok());
    const std::string profile = op.path("/chromium-profile");
    const std::string home = op.path("/home");
    ASSERT_EQ(mkdir(profile.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
    auto browser = op.start(
        kBrowser,
        {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + profile, "http://" + op.ip() + ":" + std::to_string(kPagePort) + "/"},
        {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
         "XDG_CACHE_HOME=" + home + "/.cache"});
    ASSERT_TRUE(browser);
    const auto body = pages.waitForResult(90s);
    browser->stop(2s);
    ASSERT_TRUE(body) << "the page posted nothing; requests it made:\n"
                      << ::testing::PrintToString(pages.requests()) << "\nbrowser:\n"
                      << browser->output().substr(0, 4000) << "\ncontroller:\n"
                      << inst.server->output();

    BrowserRecord got;
    ASSERT_TRUE(parseRecord(*body, got)) << *body;
    EXPECT_TRUE(got.opened) << *body;
    EXPECT_EQ(got.commands, commands);
    ASSERT_EQ(got.rows.size(), commands.size()) << *body;
    for (size_t i = 0; i < commands.size(); ++i) {
        SCOPED_TRACE(shortened(commands[i]));
        EXPECT_EQ(got.rows[i], want[i]);
    }
    // The page's own close is answered: the connection ends with the code it asked for.
    EXPECT_EQ(got.events, std::vector<std::string>{"close 1000"});
    EXPECT_EQ(qeltest::readAll(inst.ctrl->path("/dev/tftpboot/note.bin")), "ABC\xff\n");
    EXPECT_EQ(qeltest::readAll(plain.ctrl->path("/dev/tftpboot/note.bin")), "ABC\xff\n");
    EXPECT_TRUE(inst.server->running()) << inst.server->output();
    EXPECT_TRUE(plain.server->running()) << plain.server->output();
}

}  // namespace
