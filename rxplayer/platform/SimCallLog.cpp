#include "SimCallLog.h"

#include <cstdio>

namespace qelsim {
namespace detail {

CallLog::CallLog(size_t capacity, size_t argsRoom)
    : capacity_(capacity), ring_(capacity), names_(capacity), failures_(capacity) {
    for (Call& c : ring_) c.args.reserve(argsRoom);
}

uint32_t CallLog::idOf(std::string_view name) {
    if (lastId_ != UINT32_MAX && nameTexts_[lastId_] == name) return lastId_;
    auto it = ids_.find(name);
    if (it != ids_.end()) return lastId_ = it->second;
    uint32_t id = static_cast<uint32_t>(nameTexts_.size());
    nameTexts_.emplace_back(name);
    ids_.emplace(std::string(name), id);
    return lastId_ = id;
}

void CallLog::add(std::string_view name, std::string_view args) {
    if (capacity_ == 0) return;
    uint32_t id = idOf(name);
    Call* slot;
    if (count_ < capacity_) {
        slot = &ring_[(first_ + count_) % capacity_];
        ++count_;
    } else {
        slot = &ring_[first_];
        first_ = (first_ + 1) % capacity_;
    }
    slot->name = id;
    slot->args.assign(args.data(), args.size());
    if (nameCount_ < capacity_) names_[nameCount_++] = id;
}

void CallLog::addFailure(std::string_view name, int32_t code) {
    if (failureCount_ < capacity_) failures_[failureCount_++] = Failure{idOf(name), code};
}

void CallLog::clear() {
    first_ = count_ = 0;
    nameCount_ = 0;
    failureCount_ = 0;
}

std::vector<std::string> CallLog::calls() const {
    std::vector<std::string> out;
    out.reserve(count_);
    for (size_t i = 0; i < count_; ++i) {
        const Call& c = ring_[(first_ + i) % capacity_];
        out.push_back(nameTexts_[c.name] + "(" + c.args + ")");
    }
    return out;
}

std::vector<std::string> CallLog::names() const {
    std::vector<std::string> out;
    out.reserve(nameCount_);
    for (size_t i = 0; i < nameCount_; ++i) out.push_back(nameTexts_[names_[i]]);
    return out;
}

std::vector<std::string> CallLog::failures() const {
    std::vector<std::string> out;
    out.reserve(failureCount_);
    for (size_t i = 0; i < failureCount_; ++i) {
        char code[16];
        snprintf(code, sizeof code, "=%#x", static_cast<unsigned>(failures_[i].code));
        out.push_back(nameTexts_[failures_[i].name] + code);
    }
    return out;
}

}  // namespace detail
}  // namespace qelsim
