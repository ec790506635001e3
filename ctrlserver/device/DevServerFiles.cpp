// The four device table files: loading, whole-file rewrites and changes-only writes.
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "device/DevServer.h"

namespace {

// A stored name longer than this is replaced by the kind's fallback name on reading.
const size_t kMaxStoredName = 40;

// What a read gives for a key that is missing (or holds the other type): no stored text can
// hold this byte.
const char* const kMissingText = "\x01";

struct FileField {
    const char* key;
    bool isInt;
    int i;
    std::string s;
};

FileField intField(const char* key, int v) {
    return FileField{key, true, v, std::string()};
}
FileField textField(const char* key, const std::string& v) {
    return FileField{key, false, 0, v};
}

std::string recordPrefix(const char* format, int position) {
    char prefix[32];
    snprintf(prefix, sizeof prefix, format, position);
    return prefix;
}

int boundedCount(int stored) {
    if (stored < 0) return 0;
    return stored > QEL_MAX_DEVICES ? QEL_MAX_DEVICES : stored;
}

std::string boundedName(const std::string& name, const char* fallback) {
    return name.size() > kMaxStoredName ? std::string(fallback) : name;
}

// The keys of one record in their writing order.
std::vector<FileField> decoderFields(const Decoder& d) {
    return {textField("ip", d.ip),
            textField("name", d.name),
            textField("mac", d.mac),
            textField("hostname", d.hostname),
            textField("netmask", d.netmask),
            textField("gateway", d.gateway),
            intField("luma", d.luma),
            intField("contrast", d.contrast),
            intField("saturation", d.saturation),
            intField("hue", d.hue),
            intField("audiooutput", d.audiooutput),
            intField("splitnum", d.status),
            intField("baud", d.baud),
            intField("databits", d.databits),
            intField("parity", d.parity),
            intField("stopbits", d.stopbits),
            intField("bynetswitch", d.bynetswitch),
            intField("bynetmode", d.bynetmode),
            textField("bynetip", d.bynetip),
            textField("version", d.version)};
}

std::vector<FileField> encoderFields(const Encoder& e) {
    return {textField("ip", e.ip),
            textField("name", e.name),
            textField("mac", e.mac),
            textField("hostname", e.hostname),
            textField("netmask", e.netmask),
            textField("gateway", e.gateway),
            textField("url0", e.url0),
            textField("url1", e.url1),
            intField("fps", e.fps),
            intField("ratecontrol", e.ratecontrol),
            intField("vbrbitrate", e.vbrbitrate),
            intField("cbrbitrate", e.cbrbitrate),
            intField("audiofrom", e.audiofrom),
            intField("audioto", e.audioto),
            intField("baud", e.baud),
            intField("databits", e.databits),
            intField("parity", e.parity),
            intField("stopbits", e.stopbits),
            intField("bynetswitch", e.bynetswitch),
            intField("bynetmode", e.bynetmode),
            textField("bynetip", e.bynetip),
            textField("version", e.version)};
}

std::vector<FileField> controllerFields(const Controller& c) {
    return {textField("ip", c.ip), textField("mac", c.mac), textField("netmask", c.netmask),
            textField("gateway", c.gateway)};
}

std::vector<FileField> ipSourceFields(const Encoder& e) {
    return {textField("ip", e.ip),           intField("id", e.index),
            textField("mac", e.mac),         textField("netmask", e.netmask),
            textField("gateway", e.gateway), intField("etype", e.etype),
            textField("name", e.name),       intField("port", e.port),
            textField("user", e.user),       textField("pass", e.pass),
            textField("url0", e.url0),       textField("url1", e.url1),
            intField("channel", e.channel)};
}

void writeFields(QelConfig& cfg, const std::string& prefix, const std::vector<FileField>& fields) {
    for (const FileField& f : fields) {
        if (f.isInt)
            cfg.WriteInt(prefix + f.key, f.i, false);
        else
            cfg.WriteString(prefix + f.key, f.s, false);
    }
}

// True when the key is absent (or holds the other type) or holds another value.
bool differs(QelConfig& cfg, const std::string& key, const FileField& f) {
    if (!f.isInt) {
        std::string stored = cfg.ReadString(key, kMissingText);
        return stored == kMissingText || stored != f.s;
    }
    int stored = cfg.ReadInt(key, INT_MIN);
    if (stored == INT_MIN && cfg.ReadInt(key, INT_MAX) == INT_MAX) return true;  // missing
    return stored != f.i;
}

// Writes the values of one record that differ from the file; true when any did.
bool writeChangedFields(QelConfig& cfg, const std::string& prefix,
                        const std::vector<FileField>& fields) {
    bool changed = false;
    for (const FileField& f : fields) {
        std::string key = prefix + f.key;
        if (!differs(cfg, key, f)) continue;
        if (f.isInt)
            cfg.WriteInt(key, f.i, false);
        else
            cfg.WriteString(key, f.s, false);
        changed = true;
    }
    return changed;
}

template <class T, class FieldsOf>
void rewriteTable(QelConfig& cfg, T* const* table, int count, const char* format,
                  FieldsOf fieldsOf) {
    for (int i = 0; i < count; i++) {
        if (table[i]) writeFields(cfg, recordPrefix(format, i), fieldsOf(*table[i]));
    }
}

template <class T, class FieldsOf>
bool writeChangedTable(QelConfig& cfg, T* const* table, int count, const char* format,
                       FieldsOf fieldsOf) {
    bool changed = false;
    for (int i = 0; i < count; i++) {
        if (table[i] && writeChangedFields(cfg, recordPrefix(format, i), fieldsOf(*table[i])))
            changed = true;
    }
    return changed;
}

// The kind, address, name and network fields every decoder and encoder record stores.
void readIdentity(QelConfig& cfg, const std::string& p, int kind, const char* namePrefix,
                  Device& d) {
    d.dtype = cfg.ReadInt(p + "type", kind);
    d.ip = cfg.ReadString(p + "ip", "0.0.0.0");
    d.name = boundedName(cfg.ReadString(p + "name", "unnamed"), namePrefix);
    d.mac = cfg.ReadString(p + "mac", "");
    d.hostname = cfg.ReadString(p + "hostname", "");
    d.netmask = cfg.ReadString(p + "netmask", "");
    d.gateway = cfg.ReadString(p + "gateway", "");
}

// The serial settings, serial-over-network settings and firmware version of a record.
void readSerialAndVersion(QelConfig& cfg, const std::string& p, Device& d) {
    d.baud = cfg.ReadInt(p + "baud", 115200);
    d.databits = cfg.ReadInt(p + "databits", 8);
    d.parity = cfg.ReadInt(p + "parity", 0);
    d.stopbits = cfg.ReadInt(p + "stopbits", 1);
    d.bynetswitch = cfg.ReadInt(p + "bynetswitch", 0);
    d.bynetmode = cfg.ReadInt(p + "bynetmode", 0);
    d.bynetip = cfg.ReadString(p + "bynetip", "255.255.255.255");
    d.version = cfg.ReadString(p + "version", "Version 1.0");
}

}  // namespace

bool DevServer::blGetQelDeviceFromConfig() {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    if (decoderConfig) {
        QelConfig& cfg = *decoderConfig;
        clearTable(decoders, decoderCount);
        int count = boundedCount(cfg.ReadInt("decoder_count", 0));
        for (int i = 0; i < count; i++) {
            std::string p = recordPrefix("decoder%02d_", i);
            Decoder* d = new Decoder();
            d->index = i;
            readIdentity(cfg, p, QEL_KIND_DECODER, "RX", *d);
            d->luma = cfg.ReadInt(p + "luma", 50);
            d->contrast = cfg.ReadInt(p + "contrast", 50);
            d->saturation = cfg.ReadInt(p + "saturation", 50);
            d->hue = cfg.ReadInt(p + "hue", 50);
            d->audiooutput = cfg.ReadInt(p + "audiooutput", 0);
            d->status = cfg.ReadInt(p + "splitnum", 1);
            readSerialAndVersion(cfg, p, *d);
            decoders[i] = d;
        }
        decoderCount = count;
    }
    if (encoderConfig) {
        QelConfig& cfg = *encoderConfig;
        clearTable(encoders, encoderCount);
        int count = boundedCount(cfg.ReadInt("encoder_count", 0));
        for (int i = 0; i < count; i++) {
            std::string p = recordPrefix("encoder%02d_", i);
            Encoder* e = new Encoder();
            e->index = i;
            readIdentity(cfg, p, QEL_KIND_ENCODER, "TX", *e);
            e->url0 = cfg.ReadString(p + "url0", "");
            e->url1 = cfg.ReadString(p + "url1", "");
            e->fps = cfg.ReadInt(p + "fps", 0);
            e->ratecontrol = cfg.ReadInt(p + "ratecontrol", 0);
            e->audiofrom = cfg.ReadInt(p + "audiofrom", 0);
            e->audioto = cfg.ReadInt(p + "audioto", 0);
            e->vbrbitrate = cfg.ReadInt(p + "vbrbitrate", 0);
            e->cbrbitrate = cfg.ReadInt(p + "cbrbitrate", 0);
            readSerialAndVersion(cfg, p, *e);
            encoders[i] = e;
        }
        encoderCount = count;
    }
    if (controllerConfig) {
        QelConfig& cfg = *controllerConfig;
        clearTable(controllers, controllerCount);
        int count = boundedCount(cfg.ReadInt("controller_count", 0));
        for (int i = 0; i < count; i++) {
            std::string p = recordPrefix("controller%02d_", i);
            Controller* c = new Controller();
            c->index = i;
            c->dtype = cfg.ReadInt(p + "type", QEL_KIND_CONTROLLER);
            c->ip = cfg.ReadString(p + "ip", "0.0.0.0");
            c->mac = cfg.ReadString(p + "mac", "");
            c->netmask = cfg.ReadString(p + "netmask", "");
            c->gateway = cfg.ReadString(p + "gateway", "");
            controllers[i] = c;
        }
        controllerCount = count;
    }
    return true;
}

bool DevServer::blGetQelEncoderFromConfig() {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    clearTable(ipSources, ipSourceCount);
    if (!ipSourceConfig) return true;
    QelConfig& cfg = *ipSourceConfig;
    int stored = boundedCount(cfg.ReadInt("ipsource_count", 0));
    int count = 0;
    for (int i = 0; i < stored; i++) {
        std::string p = recordPrefix("ipsource%02d_", i);
        std::string ip = cfg.ReadString(p + "ip", "");
        // A camera without an address cannot be used; it must not cost the others theirs.
        if (ip.empty()) {
            env << "IP source " << i << " has no address; skipped\n";
            continue;
        }
        Encoder* e = new Encoder();
        e->dtype = QEL_KIND_ENCODER;
        e->index = count;
        e->ip = ip;
        e->mac = cfg.ReadString(p + "mac", "");
        e->netmask = cfg.ReadString(p + "netmask", "");
        e->gateway = cfg.ReadString(p + "gateway", "");
        e->etype = cfg.ReadInt(p + "etype", 0);
        e->name = boundedName(cfg.ReadString(p + "name", ""), "CAM");
        e->port = cfg.ReadInt(p + "port", 0);
        e->user = cfg.ReadString(p + "user", "");
        e->pass = cfg.ReadString(p + "pass", "");
        e->url0 = cfg.ReadString(p + "url0", "");
        e->url1 = cfg.ReadString(p + "url1", "");
        e->channel = cfg.ReadInt(p + "channel", 2);
        ipSources[count++] = e;
    }
    ipSourceCount = count;
    return true;
}

bool DevServer::blSaveQelDeviceToConfig(int kind) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    bool all = kind == QEL_KIND_ALL;
    if ((kind == QEL_KIND_DECODER || all) && decoderConfig) {
        decoderConfig->Erase();
        rewriteTable(*decoderConfig, decoders, decoderCount, "decoder%02d_", decoderFields);
        decoderConfig->WriteInt("decoder_count", decoderCount, true);
    }
    if ((kind == QEL_KIND_ENCODER || all) && encoderConfig) {
        encoderConfig->Erase();
        rewriteTable(*encoderConfig, encoders, encoderCount, "encoder%02d_", encoderFields);
        encoderConfig->WriteInt("encoder_count", encoderCount, true);
    }
    if ((kind == QEL_KIND_CONTROLLER || all) && controllerConfig) {
        QelConfig& cfg = *controllerConfig;
        // The controller's own settings share this file and must survive the rewrite.
        std::string masterIp = cfg.ReadString("master_ip", "");
        std::string masterEn = cfg.ReadString("master_en", "");
        std::string pass = cfg.ReadString("pass", "");
        cfg.Erase();
        rewriteTable(cfg, controllers, controllerCount, "controller%02d_", controllerFields);
        cfg.WriteString("master_ip", masterIp, false);
        cfg.WriteString("master_en", masterEn, false);
        cfg.WriteString("pass", pass, false);
        cfg.WriteInt("controller_count", controllerCount, true);
    }
    return true;
}

bool DevServer::blNewSaveQelDeviceToConfig(int kind) {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    bool all = kind == QEL_KIND_ALL;
    if ((kind == QEL_KIND_DECODER || all) && decoderConfig && decoderCount > 0) {
        if (writeChangedTable(*decoderConfig, decoders, decoderCount, "decoder%02d_",
                              decoderFields))
            decoderConfig->WriteInt("decoder_count", decoderCount, true);
    }
    if ((kind == QEL_KIND_ENCODER || all) && encoderConfig && encoderCount > 0) {
        if (writeChangedTable(*encoderConfig, encoders, encoderCount, "encoder%02d_",
                              encoderFields))
            encoderConfig->WriteInt("encoder_count", encoderCount, true);
    }
    if ((kind == QEL_KIND_CONTROLLER || all) && controllerConfig && controllerCount > 0) {
        if (writeChangedTable(*controllerConfig, controllers, controllerCount, "controller%02d_",
                              controllerFields))
            controllerConfig->WriteInt("controller_count", controllerCount, true);
    }
    return true;
}

bool DevServer::blSaveQelEncoderToConfig() {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    if (!ipSourceConfig) return true;
    if (writeChangedTable(*ipSourceConfig, ipSources, ipSourceCount, "ipsource%02d_",
                          ipSourceFields))
        ipSourceConfig->WriteInt("ipsource_count", ipSourceCount, true);
    return true;
}

bool DevServer::blSaveQelIPSourceFileToConfig() {
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    if (!ipSourceConfig) return true;
    ipSourceConfig->Erase();
    // "id" is the record's position in the rewritten file.
    for (int i = 0; i < ipSourceCount; i++) {
        if (!ipSources[i]) continue;
        std::vector<FileField> fields = ipSourceFields(*ipSources[i]);
        fields[1].i = i;
        writeFields(*ipSourceConfig, recordPrefix("ipsource%02d_", i), fields);
    }
    ipSourceConfig->WriteInt("ipsource_count", ipSourceCount, true);
    return true;
}
