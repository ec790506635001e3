// The controller's two acknowledgement envelopes, built for comparing parsed replies:
// oldAck {"ack": {"cmd", "status"}} and newAck {"ack": [{"cmd", "status"}]}.
#pragma once

#include <json/json.h>

#include <string>

namespace qeltest {

inline Json::Value ackItem(const std::string& cmd, bool ok) {
    Json::Value item;
    item["cmd"] = cmd;
    item["status"] = ok ? "success" : "failure";
    return item;
}

inline Json::Value oldAck(const std::string& cmd, bool ok) {
    Json::Value v;
    v["ack"] = ackItem(cmd, ok);
    return v;
}

inline Json::Value newAck(const std::string& cmd, bool ok) {
    Json::Value v;
    v["ack"].append(ackItem(cmd, ok));
    return v;
}

}  // namespace qeltest
