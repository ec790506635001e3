// Base64 with the standard alphabet and '=' padding.
#pragma once

#include <string>

std::string base64_encode(unsigned char const* bytes, unsigned len);
// Decodes up to the first '=' or the first character outside the alphabet.
std::string base64_decode(std::string const& text);
