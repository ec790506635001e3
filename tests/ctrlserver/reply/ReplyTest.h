// Helpers of the reply builder tests: run a builder into a buffer, parse what it wrote, and
// make records.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/ArrayList.h"
#include "core/Device.h"
#include "reply/ReplyBuilders.h"

namespace replytest {

// The dispatcher's room for a reply behind a short "fd|" prefix.
const size_t kRoom = 75000 - 3;

// What build wrote into a buffer of outSize bytes (with guard bytes behind it, which must stay
// untouched). build is called as build(out, outSize).
template <typename F>
std::string run(F build, size_t outSize = kRoom) {
    std::vector<char> buf(outSize + 64, '#');
    build(buf.data(), outSize);
    for (size_t i = outSize; i < buf.size(); ++i) {
        if (buf[i] != '#') {
            ADD_FAILURE() << "written past the room of " << outSize << " bytes";
            break;
        }
    }
    const void* nul = memchr(buf.data(), '\0', outSize);
    if (!nul) {
        ADD_FAILURE() << "no terminating NUL within " << outSize << " bytes";
        return std::string();
    }
    return std::string(buf.data(), static_cast<const char*>(nul) - buf.data());
}

// The parsed text; a text that does not parse fails the test.
inline Json::Value parse(const std::string& text) {
    Json::Value v;
    Json::Reader reader;
    if (!reader.parse(text, v, false))
        ADD_FAILURE() << "not JSON: " << reader.getFormattedErrorMessages() << "\n" << text;
    return v;
}

template <typename F>
Json::Value build(F f, size_t outSize = kRoom) {
    return parse(run(f, outSize));
}

// A device record with the identity fields that the list replies show.
template <typename T>
T device(int dtype, const std::string& name, const std::string& hostname, const std::string& ip) {
    T d;
    d.dtype = dtype;
    d.name = name;
    d.hostname = hostname;
    d.ip = ip;
    d.mac = "00:11:22:33:44:" + ip.substr(ip.size() > 2 ? ip.size() - 2 : 0);
    d.netmask = "255.255.255.0";
    d.gateway = "10.0.0.254";
    return d;
}

// A list holding copies of the records, in order. Copies are made with assignment, which keeps
// every field (the copy constructors leave some out).
template <typename T>
void fill(ArrayList<T>& list, const std::vector<T>& records) {
    for (const T& r : records) {
        T* copy = new T();
        *copy = r;
        list.add(copy);
    }
}

}  // namespace replytest
