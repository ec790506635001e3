// Small records that carry device data from DevServer to the reply builders.
// They are plain aggregates: users fill every field they use.
#pragma once

#include <string>

// One device's serial settings.
struct DevSerParam {
    std::string ip;
    std::string name;  // shown as "alias"
    std::string hostname;
    int dtype = 0;
    int baud = 0;
    int parity = 0;
    int stopbits = 0;
    int databits = 0;
    int bynetswitch = 0;  // shown as "byneten"
    int bynetmode = 0;
    std::string bynetip;
    std::string connect;  // the peer device of serial over the network
};

// Status texts, shown under the JSON keys of the same names.
struct SysInfo {
    std::string info;
    std::string status;
    std::string statistics;
};

// One value of a device's acknowledgement, shown as "parname" and "parvalue".
struct Param {
    std::string name;
    std::string value;
};
