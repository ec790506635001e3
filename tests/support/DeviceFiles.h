// Seeds the controller's device tables: writes a device file (/mnt/qeldevDecoder.ini,
// /mnt/qeldevEncoder.ini, /mnt/qeldevController.ini or /mnt/qeldevIPSource.ini of a box
// root) as the controller stores it, so that a controller started on it knows the devices.
//
//   qeltest::writeDeviceFile(ctrl.path("/mnt/qeldevDecoder.ini"), "decoder",
//                            {{"10.77.0.2", "RX1", "DEC7M03-001122AABBCC", "00:11:22:aa:bb:cc"}});
#pragma once

#include <json/json.h>

#include <string>
#include <utility>
#include <vector>

namespace qeltest {

struct SeedDevice {
    std::string ip, name, hostname, mac;
    std::string version = "Version 1.0";
    // Further keys of the record, without its prefix ("url0", "splitnum", "bynetswitch", ...).
    std::vector<std::pair<std::string, Json::Value>> extra = {};
};

// Writes {"config": [{"<kind>_count": n}, {"<kind>NN_ip": ...}, ...]} to path (a file path
// of this machine: the box root is part of it). kind is "decoder", "encoder", "controller"
// or "ipsource". False when the file cannot be written.
bool writeDeviceFile(const std::string& path, const std::string& kind,
                     const std::vector<SeedDevice>& devices);

}  // namespace qeltest
