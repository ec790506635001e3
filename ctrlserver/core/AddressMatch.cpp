#include "core/AddressMatch.h"

namespace {
bool continuesAddress(char c) {
    return (c >= '0' && c <= '9') || c == '.';
}
}  // namespace

bool addressInText(const std::string& text, const std::string& address) {
    if (address.empty()) return false;
    for (size_t at = text.find(address); at != std::string::npos; at = text.find(address, at + 1)) {
        const size_t end = at + address.size();
        const bool wholeBefore = at == 0 || !continuesAddress(text[at - 1]);
        const bool wholeAfter = end == text.size() || !continuesAddress(text[end]);
        if (wholeBefore && wholeAfter) return true;
    }
    return false;
}
