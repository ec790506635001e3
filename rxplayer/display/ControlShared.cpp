#include "display/ControlShared.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "box/Box.h"

namespace {

const size_t kEntry = 200;
// The longest URL the settings keep (a slot holds 512 bytes); a longer line loads no URL.
const size_t kLongestUrl = 511;

// Reads one line whole, line end excluded, keeping at most kLongestUrl characters of it in
// line; false at the end of the file. *tooLong tells that more were left out.
bool readLine(FILE* f, std::string& line, bool* tooLong) {
    line.clear();
    *tooLong = false;
    int c;
    bool any = false;
    while ((c = getc(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (line.size() < kLongestUrl)
            line += static_cast<char>(c);
        else
            *tooLong = true;
    }
    return any;
}

bool allDigits(const std::string& s) {
    for (char c : s)
        if (!isdigit(static_cast<unsigned char>(c))) return false;
    return !s.empty();
}

}  // namespace

int iSearchIP(unsigned char* ucTemp) {
    if (ucTemp == nullptr) return 0;
    const char* text = reinterpret_cast<const char*>(ucTemp);
    size_t len = strlen(text);
    std::string r, s;
    int g = 0;
    for (size_t i = 0; i <= len; ++i) {
        char c = text[i];
        if (c != '.' && c != '\0') {
            s += c;
            continue;
        }
        // A failed try is judged again as the end of a first group: the trailing digits of the
        // segment may start the next address.
        for (bool again = true; again;) {
            again = false;
            if (g == 0) {
                size_t n = 0;
                while (n < s.size() && n < 3 &&
                       isdigit(static_cast<unsigned char>(s[s.size() - 1 - n])))
                    ++n;
                if (n == 0) break;
                std::string d = s.substr(s.size() - n);
                if (atoi(d.c_str()) >= 256) d.erase(0, 1);
                r = d + ".";
                g = 1;
            } else if (g == 1 || g == 2) {
                if (s.size() <= 3 && allDigits(s) && atoi(s.c_str()) < 256) {
                    r += s + ".";
                    ++g;
                } else {
                    r.clear();
                    g = 0;
                    again = true;
                }
            } else {
                size_t n = 0;
                while (n < s.size() && n < 3 && isdigit(static_cast<unsigned char>(s[n]))) ++n;
                if (n == 0) {
                    r.clear();
                    g = 0;
                    again = true;
                    continue;
                }
                std::string d = s.substr(0, n);
                if (atoi(d.c_str()) >= 256) d.erase(2);
                r += d;
                g = 4;
            }
        }
        s.clear();
        if (g == 4) {
            // The address is made of the text's own characters, so it fits in its place.
            size_t n = r.size() < len ? r.size() : len;
            memcpy(ucTemp, r.data(), n);
            ucTemp[n] = 0;
            return 1;
        }
    }
    return 0;
}

int iGetIPAddress(unsigned int uiWinNum, unsigned char* ucIPList, unsigned char chnNum,
                  unsigned char lunxun, unsigned int capacity) {
    if (ucIPList == nullptr) return -1;
    if (capacity == 0) capacity = uiWinNum;
    char name[64];
    unsigned int entries = uiWinNum;
    if (lunxun) {
        snprintf(name, sizeof name, "/mnt/lunxun_%02d.ini", chnNum);
        entries = 32;
    } else {
        snprintf(name, sizeof name, "/mnt/config.ini");
    }
    // A tour list has 32 entries whatever the window count: never more than the list holds.
    if (entries > capacity) entries = capacity;
    memset(ucIPList, 0, static_cast<size_t>(entries) * kEntry);
    FILE* f = fopen(box::path(name).c_str(), "r");
    if (f == nullptr) {
        fprintf(stderr, "Can't find ini file \n");
        return -1;
    }
    std::string line;
    for (unsigned int i = 0; i < entries; ++i) {
        char* place = reinterpret_cast<char*>(ucIPList + i * kEntry);
        // Each entry is one whole line, so that a long URL never spills into the next slot's.
        bool tooLong;
        if (!readLine(f, line, &tooLong)) {
            fclose(f);
            return -1;
        }
        // iSearchIP writes the address (at most 15 characters) over the line's start.
        if (tooLong || line.empty() ||
            iSearchIP(reinterpret_cast<unsigned char*>(line.data())) == 0)
            snprintf(place, kEntry, "unused_window");
        else
            snprintf(place, kEntry, "%s", line.c_str());
    }
    fclose(f);
    return 0;
}
