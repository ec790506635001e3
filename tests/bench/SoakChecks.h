// The soak's verdicts: whether an acknowledgement answers the command a client sent, and
// whether a series of samples (memory, descriptors) rises without bound.
#pragma once

#include <cctype>
#include <string>
#include <vector>

namespace soak {

// The echo of a command as an acknowledgement carries it: the text without the blanks and the
// ';' that may end it.
inline std::string echoOf(std::string text) {
    while (!text.empty() &&
           (text.back() == ';' || isspace(static_cast<unsigned char>(text.back()))))
        text.pop_back();
    return text;
}

// Whether an acknowledgement's echo answers the command: the whole command, or the words it
// begins with (a few commands echo only their keyword, "config set login" for one).
inline bool answers(const std::string& ackEcho, const std::string& command) {
    const std::string echo = echoOf(ackEcho), sent = echoOf(command);
    if (echo.empty() || sent.compare(0, echo.size(), echo) != 0) return false;
    return echo.size() == sent.size() || sent[echo.size()] == ' ';
}

// Rising without bound: after the warm-up (the first sample), the series rose from one sample
// to the next at most of them (by more than the noise) and stands above where it began by more
// than the slack. A program that settles after its start-up, or wanders up and down, does not.
inline bool rises(const std::vector<long>& series, long noise, long slack) {
    if (series.size() < 4) return false;
    int up = 0, steps = 0;
    for (size_t i = 2; i < series.size(); ++i, ++steps)
        if (series[i] > series[i - 1] + noise) ++up;
    return 2 * up > steps && series.back() > series[1] + slack;
}

}  // namespace soak
