// A small TFTP read client (octet mode): fetches one file from a server's port 69 the way a
// box fetches its firmware. Create and use it inside the box it reads from (Box::run).
#pragma once

#include <chrono>
#include <string>

namespace qeltest {

struct TftpResult {
    bool ok = false;     // the whole file came
    std::string data;    // the bytes received
    int errorCode = -1;  // the server's ERROR code, -1 when it sent none
    std::string error;   // the server's message, or what went wrong here
};

// Reads `file` from ip:69, waiting at most `timeout` for each packet.
TftpResult tftpRead(const std::string& ip, const std::string& file,
                    std::chrono::milliseconds timeout = std::chrono::seconds(2));

}  // namespace qeltest
