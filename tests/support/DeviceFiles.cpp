#include "support/DeviceFiles.h"

#include <cstdio>
#include <fstream>

namespace qeltest {

bool writeDeviceFile(const std::string& path, const std::string& kind,
                     const std::vector<SeedDevice>& devices) {
    Json::Value keys(Json::arrayValue);
    auto add = [&keys](const std::string& key, const Json::Value& value) {
        Json::Value entry(Json::objectValue);
        entry[key] = value;
        keys.append(entry);
    };
    add(kind + "_count", static_cast<int>(devices.size()));
    for (size_t i = 0; i < devices.size(); ++i) {
        char prefix[32];
        snprintf(prefix, sizeof prefix, "%s%02d_", kind.c_str(), static_cast<int>(i));
        const std::string p = prefix;
        const SeedDevice& d = devices[i];
        add(p + "ip", d.ip);
        add(p + "name", d.name);
        add(p + "hostname", d.hostname);
        add(p + "mac", d.mac);
        add(p + "version", d.version);
        for (const auto& kv : d.extra) add(p + kv.first, kv.second);
    }
    Json::Value root(Json::objectValue);
    root["config"] = keys;
    std::ofstream out(path, std::ios::trunc);
    out << root.toStyledString();
    return out.good();
}

}  // namespace qeltest
