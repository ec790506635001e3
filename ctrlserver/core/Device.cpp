#include "core/Device.h"

void Device::setIdentity(int kind, const std::string& nameText, const std::string& hostText,
                         const std::string& ipText, const std::string& macText,
                         const std::string& maskText, const std::string& gatewayText) {
    dtype = kind;
    name = nameText;
    hostname = hostText;
    ip = ipText;
    mac = macText;
    netmask = maskText;
    gateway = gatewayText;
}

void Device::copyIdentity(const Device& d) {
    setIdentity(d.dtype, d.name, d.hostname, d.ip, d.mac, d.netmask, d.gateway);
}

Device::Device(int kind, const std::string& nameText, const std::string& hostText,
               const std::string& ipText, const std::string& macText, const std::string& maskText,
               const std::string& gatewayText, const std::string& versionText,
               const std::string& extraText) {
    setIdentity(kind, nameText, hostText, ipText, macText, maskText, gatewayText);
    version = versionText;
    extra = extraText;
}

Device::Device(int kind, const std::string& nameText, const std::string& hostText,
               const std::string& ipText, const std::string& macText, const std::string& maskText,
               const std::string& gatewayText, const std::string& versionText, int statusValue) {
    setIdentity(kind, nameText, hostText, ipText, macText, maskText, gatewayText);
    version = versionText;
    status = statusValue;
}

Device::Device(int kind, const std::string& nameText, const std::string& hostText,
               const std::string& ipText, const std::string& macText, const std::string& maskText,
               const std::string& gatewayText, const std::string& versionText) {
    setIdentity(kind, nameText, hostText, ipText, macText, maskText, gatewayText);
    version = versionText;
}

Device::Device(int kind, const std::string& nameText, const std::string& hostText,
               const std::string& ipText, const std::string& macText, const std::string& maskText,
               const std::string& gatewayText, const std::string& versionText, int statusValue,
               const std::string& extraText) {
    setIdentity(kind, nameText, hostText, ipText, macText, maskText, gatewayText);
    version = versionText;
    status = statusValue;
    extra = extraText;
}

Device::Device(int kind, const std::string& nameText, const std::string& hostText,
               const std::string& ipText, const std::string& macText, const std::string& maskText,
               const std::string& gatewayText) {
    setIdentity(kind, nameText, hostText, ipText, macText, maskText, gatewayText);
}

Device::Device(int kind, const std::string& nameText, const std::string& hostText,
               const std::string& ipText, const std::string& macText, const std::string& maskText,
               const std::string& gatewayText, int statusValue) {
    setIdentity(kind, nameText, hostText, ipText, macText, maskText, gatewayText);
    status = statusValue;
}

Device::Device(const Device& d) : Device(d, 0) {}

// Only params entries 5 to 18 travel with a copy: they are the ones discovery fills.
Device::Device(const Device& d, int i)
    : index(i),
      dtype(d.dtype),
      name(d.name),
      hostname(d.hostname),
      ip(d.ip),
      mac(d.mac),
      netmask(d.netmask),
      gateway(d.gateway),
      baud(d.baud),
      parity(d.parity),
      stopbits(d.stopbits),
      databits(d.databits),
      bynetswitch(d.bynetswitch),
      bynetmode(d.bynetmode),
      bynetip(d.bynetip),
      version(d.version),
      extra(d.extra),
      status(d.status) {
    for (int k = 5; k < DEVICE_PARAM_COUNT; ++k) params[k] = d.params[k];
}

Decoder::Decoder(const Device& d) : Device() {
    copyIdentity(d);
    status = d.status;
}

Decoder::Decoder(const Decoder& d)
    : Device(),
      luma(d.luma),
      contrast(d.contrast),
      hue(d.hue),
      saturation(d.saturation),
      audiooutput(d.audiooutput) {
    copyIdentity(d);
    status = d.status;
}

Encoder::Encoder(const Device& d) : Device() {
    copyIdentity(d);
}

Encoder::Encoder(const Encoder& d)
    : Device(),
      etype(d.etype),
      port(d.port),
      channel(d.channel),
      ratecontrol(d.ratecontrol),
      audiofrom(d.audiofrom),
      audioto(d.audioto),
      fps(d.fps),
      vbrbitrate(d.vbrbitrate),
      cbrbitrate(d.cbrbitrate),
      url0(d.url0),
      url1(d.url1),
      user(d.user),
      pass(d.pass) {
    copyIdentity(d);
}

std::string Encoder::getUrl(int i) {
    if (i == 0) return url0;
    if (i == 1) return url1;
    return std::string();
}

Controller::Controller(const Device& d) : Device() {
    copyIdentity(d);
}
