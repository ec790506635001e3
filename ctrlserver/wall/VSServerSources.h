// Finding the stream of a source (an encoder or an IP camera) by its address, for the handlers
// that put sources on windows.
#pragma once

#include <string>

class DevServer;

// Which device tables a lookup searches, in this order.
enum class SourceTables { Encoders, IpSources, Both };

// The tables a command's type token names: a type holding "esource" means the encoders, any
// other the IP cameras.
SourceTables vsSourceTablesOfType(const std::string& type);

// The type token that names the table holding address: "esource" for an encoder (or an address
// in neither table), "ipsource" for an IP camera.
const char* vsSourceTypeOf(DevServer& dev, const std::string& address);

// The first record of the tables whose address equals address exactly: its url 0 for stream 0,
// url 1 for stream 1, an empty url for any other stream, and its name (its address when the
// name is empty). False, with url and name untouched, when no record matches.
bool vsFindSource(DevServer& dev, const std::string& address, SourceTables tables, int stream,
                  std::string& url, std::string& name);

// Longest url a window record keeps: its block's 128-byte field with the terminating zero.
const size_t VS_WIN_URL_MAX = 127;
