#include "support/JsonTexts.h"

#include <cctype>

namespace qeltest {

std::optional<std::string> JsonSplitter::take() {
    size_t start = 0;
    while (start < buffer_.size() && isspace(static_cast<unsigned char>(buffer_[start]))) ++start;
    if (start == buffer_.size()) {
        buffer_.clear();
        return std::nullopt;
    }
    size_t end = 0;  // one past the text's last byte, 0 while it is unfinished
    const char first = buffer_[start];
    if (first == '{' || first == '[') {
        int depth = 0;
        bool inString = false, escaped = false;
        for (size_t i = start; i < buffer_.size() && !end; ++i) {
            const char ch = buffer_[i];
            if (inString) {
                if (escaped)
                    escaped = false;
                else if (ch == '\\')
                    escaped = true;
                else if (ch == '"')
                    inString = false;
            } else if (ch == '"') {
                inString = true;
            } else if (ch == '{' || ch == '[') {
                ++depth;
            } else if ((ch == '}' || ch == ']') && --depth == 0) {
                end = i + 1;
            }
        }
    } else {
        // A bare literal ends at white space or where the next text begins.
        for (size_t i = start; i < buffer_.size() && !end; ++i) {
            const char ch = buffer_[i];
            if (isspace(static_cast<unsigned char>(ch)) || ch == '{' || ch == '[') end = i;
        }
    }
    if (!end) return std::nullopt;
    std::string text = buffer_.substr(start, end - start);
    buffer_.erase(0, end);
    return text;
}

std::optional<std::string> JsonTexts::next(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (auto text = splitter_.take()) return text;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        const std::string bytes = client_.receive(left);
        if (bytes.empty()) return std::nullopt;
        splitter_.feed(bytes);
    }
}

}  // namespace qeltest
