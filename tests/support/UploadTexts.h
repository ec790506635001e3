// What upload tests share: a file's bytes as the hexadecimal digits of "update data block",
// whole files read back, and the names in a directory.
#pragma once

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qeltest {

inline std::string hexOf(const std::string& bytes, bool lower = false) {
    const char* digits = lower ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : bytes) {
        out += digits[ch >> 4];
        out += digits[ch & 15];
    }
    return out;
}

inline std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The names in a directory, sorted, hidden ones included; empty when there is none.
inline std::vector<std::string> dirNames(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (struct dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") out.push_back(n);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace qeltest
