// Feeds arbitrary datagrams to the readers of device replies: the discovery reply's fields for
// both kinds of device and the acknowledgement reader for every command row. Each must return
// exactly the number of fields it promises, whatever arrives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/DevCmdTable.h"
#include "device/DevServerText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > devtext::kMaxDatagram) size = devtext::kMaxDatagram;
    // Receive buffers are one byte larger than a datagram and always terminated.
    std::string text(reinterpret_cast<const char*>(data), size);
    for (bool encoder : {true, false}) {
        const std::vector<std::string> f = devtext::discoveryFields(text.c_str(), encoder);
        if (f.size() != static_cast<size_t>(devtext::kDiscoveryFields)) abort();
    }
    std::vector<std::string> fields;
    for (int row = 0; row <= QEL_DEV_CMD_COUNT; ++row) {
        parseQelDevAck(text.data(), text.size(), row, fields);
        if (row >= QEL_DEV_CMD_FIRST_SENT && row < QEL_DEV_CMD_COUNT &&
            fields.size() != static_cast<size_t>(QelDevCmd[row].ackFieldCount + 1))
            abort();
    }
    return 0;
}
