// The stand-in's record of the calls made to it: the newest calls with their arguments, the
// names of the calls since the record was last cleared, and the calls that returned an error.
//
// All its room is taken when it is made, and a call that is logged reuses the room of the one
// it replaces. The program logs a call for every packet it feeds, from many threads; a record
// that grew as it filled would raise the program's memory for many minutes and leave its
// entries strewn over the heaps of the threads that made the calls, which then cannot give
// back what those threads freed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qelsim {
namespace detail {

class CallLog {
public:
    // Keeps the newest `capacity` calls, and the first `capacity` names and failures since the
    // last clear. Arguments up to `argsRoom` characters fit the room taken beforehand.
    CallLog(size_t capacity, size_t argsRoom);

    // Logs NAME(ARGS).
    void add(std::string_view name, std::string_view args);
    // Logs that the call NAME returned CODE.
    void addFailure(std::string_view name, int32_t code);
    void clear();

    size_t size() const { return count_; }
    // The calls held, oldest first, as "NAME(ARGS)".
    std::vector<std::string> calls() const;
    std::vector<std::string> names() const;
    // "NAME=CODE", CODE in hex.
    std::vector<std::string> failures() const;

private:
    struct Call {
        uint32_t name = 0;
        std::string args;
    };
    struct Failure {
        uint32_t name = 0;
        int32_t code = 0;
    };
    // The number of a name; a name not seen before is added to the table of names, which grows
    // only with the number of different calls there are. A name looked up again finds its
    // number without taking memory: the same call made over and over (a packet fed at a time)
    // costs one comparison.
    uint32_t idOf(std::string_view name);

    size_t capacity_;
    std::vector<Call> ring_;
    size_t first_ = 0, count_ = 0;
    std::vector<uint32_t> names_;
    size_t nameCount_ = 0;
    std::vector<Failure> failures_;
    size_t failureCount_ = 0;
    std::vector<std::string> nameTexts_;
    std::map<std::string, uint32_t, std::less<>> ids_;
    uint32_t lastId_ = UINT32_MAX;
};

}  // namespace detail
}  // namespace qelsim
