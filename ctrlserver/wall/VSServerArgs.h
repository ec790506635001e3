// The numbers of a screen handler's command, read from a copy of the command text.
#pragma once

#include <string>
#include <vector>

#include "wall/VSServerHelpers.h"

// The first count numbers after a keyword of keywordLength characters (a missing one reads 0);
// false when a token is longer than tokenMax or a number does not fit an int.
inline bool vsReadNumbers(const char* cmd, size_t keywordLength, size_t tokenMax, size_t count,
                          std::vector<int>& out, std::vector<std::string>* tokensOut = nullptr) {
    std::string copy(cmd ? cmd : "");
    std::vector<std::string> tokens;
    if (!vsCommandTokens(&copy[0], keywordLength, tokenMax, tokens)) return false;
    out.assign(count, 0);
    for (size_t i = 0; i < count; ++i)
        if (!vsTokenIntAt(tokens, i, out[i])) return false;
    if (tokensOut) *tokensOut = tokens;
    return true;
}
