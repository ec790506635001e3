// Text helpers of the device server that need no table and no socket: splitting device replies,
// the discovery reply's fields with their defaults, address order, MAC comparison, the camera
// stream URLs and the CSV export line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace devtext {

// Largest datagram the controller accepts from a device; receive buffers are one byte larger so
// the text is always terminated.
constexpr size_t kMaxDatagram = 1023;

// Number of fields of a discovery reply (and of Device::params).
constexpr int kDiscoveryFields = 19;

// Splits text at '#'. Runs of '#' (and leading ones) count as one separator, as a standard
// tokenizer would. At most maxFields fields are returned; the rest of the text is dropped.
std::vector<std::string> splitHashFields(const char* text, size_t maxFields);

// Splits text at blanks (a run of blanks is one separator), at most maxTokens tokens.
std::vector<std::string> splitBlanks(const char* text, size_t maxTokens);

// True when field 0 begins with ack and field 1 contains "SUCCEED".
bool isAcceptedReply(const std::vector<std::string>& fields, const char* ack);

// Removes trailing blanks, but never the first character.
std::string trimTrailingBlanks(const std::string& s);

// Decimal conversion that reads text that is not a number as 0 and clamps out-of-range values.
int toInt(const std::string& s);

// True when s begins with an optionally signed decimal number; the number is stored in value.
bool leadingInt(const char* s, int& value);

// The 19 fields of a discovery reply of an encoder (encoder = true) or a decoder: field 0 as
// received, later fields without trailing blanks; a reply of fewer than 19 fields keeps MAC,
// netmask and gateway and takes the defaults for everything else.
std::vector<std::string> discoveryFields(const char* datagram, bool encoder);

// "ENC7M03-" or "DEC7M03-" and the MAC without its colons.
std::string discoveryHostname(const std::string& mac, bool encoder);

// An IPv4 address as a number, first octet most significant; 0 when it does not read.
uint32_t addressKey(const char* ip);

// Compares two MAC texts as six hexadecimal numbers separated by colons; numbers that do not
// read count as 0, so case and leading zeros do not matter.
bool sameMac(const char* a, const char* b);

// The main (mainStream) or sub stream URL of an IP camera of type 0 or 1; suffix goes on the main
// URL only. Empty for other types.
std::string ipSourceUrl(int etype, bool mainStream, const std::string& user,
                        const std::string& pass, const std::string& ip, int port,
                        const std::string& suffix);

// One line of the device list export: mac, ip, name, netmask, gateway, each followed by a comma.
std::string csvLine(const std::string& mac, const std::string& ip, const std::string& name,
                    const std::string& netmask, const std::string& gateway);

}  // namespace devtext
