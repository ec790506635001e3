#include "wall/VSServerSources.h"

#include "core/ArrayList.h"
#include "core/Device.h"
#include "device/DevServer.h"

SourceTables vsSourceTablesOfType(const std::string& type) {
    return type.find("esource") != std::string::npos ? SourceTables::Encoders
                                                     : SourceTables::IpSources;
}

const char* vsSourceTypeOf(DevServer& dev, const std::string& address) {
    std::string url, name;
    if (!vsFindSource(dev, address, SourceTables::Encoders, 0, url, name) &&
        vsFindSource(dev, address, SourceTables::IpSources, 0, url, name))
        return "ipsource";
    return "esource";
}

bool vsFindSource(DevServer& dev, const std::string& address, SourceTables tables, int stream,
                  std::string& url, std::string& name) {
    ArrayList<Encoder> list;
    if (tables != SourceTables::IpSources) dev.iGetQelEncoderDevices(list);
    if (tables != SourceTables::Encoders) dev.iGetQelIPSource(list);
    for (ArrayListNode<Encoder>* node = list.head->next; node && node->data; node = node->next) {
        Encoder& e = *node->data;
        if (e.ip != address) continue;
        url = e.getUrl(stream);
        name = e.name.empty() ? e.ip : e.name;
        return true;
    }
    return false;
}
