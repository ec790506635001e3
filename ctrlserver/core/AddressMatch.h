// Finding a device address inside a longer text such as a stream URL.
#pragma once

#include <string>

// True when address occurs in text as a whole address: at some occurrence the byte before it
// and the byte after it (where there are such bytes) are neither a digit nor '.'. So
// "10.0.0.1" is found in "rtsp://10.0.0.1/live" but not in "rtsp://10.0.0.12/live" or
// "rtsp://110.0.0.1/live". An empty address is never found.
bool addressInText(const std::string& text, const std::string& address);
