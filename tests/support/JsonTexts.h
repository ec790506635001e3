// The text port (TCP 8886) writes its JSON replies back to back, without separators. A
// JsonTexts reader cuts such a stream into whole JSON texts, however the bytes arrive.
//
//   qeltest::JsonTexts replies(client);      // a connected TcpClient
//   auto first = replies.next(2s);           // the next whole JSON text, as sent
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "support/Clients.h"

namespace qeltest {

// Cuts a stream of JSON texts: feed() bytes as they come, take() each whole text. A text is
// an object or array (its brackets counted outside strings) or a bare literal such as "null";
// the white space between texts is dropped.
class JsonSplitter {
public:
    void feed(const std::string& bytes) { buffer_ += bytes; }
    std::optional<std::string> take();
    // Bytes fed and not yet taken as a whole text.
    const std::string& pending() const { return buffer_; }

private:
    std::string buffer_;
};

class JsonTexts {
public:
    explicit JsonTexts(TcpClient& client) : client_(client) {}
    // The next whole text, or nothing when none completed within timeout.
    std::optional<std::string> next(std::chrono::milliseconds timeout = 2s);
    const std::string& pending() const { return splitter_.pending(); }

private:
    TcpClient& client_;
    JsonSplitter splitter_;
};

}  // namespace qeltest
