// Feeds arbitrary datagrams to the readers of device replies: the discovery reply's fields for
// both kinds of device and the acknowledgement reader for every command row. Each must return
// exactly the number of fields it promises, whatever arrives. The same bytes go to the small
// readers the device server applies to reply fields and to its own command texts (splitters,
// numbers, addresses, MACs, the command row and its wire text), each within its bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

    const char* t = text.c_str();
    if (devtext::splitHashFields(t, 8).size() > 8) abort();
    if (devtext::splitBlanks(t, 8).size() > 8) abort();
    int value = 0;
    devtext::leadingInt(t, value);
    devtext::toInt(text);
    if (!devtext::trimTrailingBlanks(text).empty() != !text.empty()) abort();
    // An address that reads has a number, and only "0.0.0.0" has the number 0.
    if (isQelDevAddress(t) && devtext::addressKey(t) == 0 && text != "0.0.0.0") abort();
    if (!devtext::sameMac(t, t) && devtext::sameMac(t, "00:00:00:00:00:00")) abort();
    const int row = findQelDevCmdRow(t);
    if (row != -1 && (row < QEL_DEV_CMD_FIRST_SENT || row >= QEL_DEV_CMD_COUNT)) abort();
    char wire[QEL_DEV_WIRE_MAX];
    const int n = buildQelDevWire(t, row < 0 ? QEL_DEV_CMD_FIRST_SENT : row, wire, sizeof wire);
    if (n >= static_cast<int>(sizeof wire) || (n >= 0 && strlen(wire) != static_cast<size_t>(n)))
        abort();
    return 0;
}
