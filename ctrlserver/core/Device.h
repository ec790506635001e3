// The device records of the controller: Device and the three kinds built from it,
// Decoder, Encoder (also used for IP cameras) and Controller.
//
// The copy constructors are not the language's usual whole copy: each keeps only the fields
// its users rely on (see each one below). Assignment and moves keep every field, so a
// record returned by value or held in a container that grows loses nothing.
#pragma once

#include <string>

// Values of Device::dtype. Reply builders show them as "encoder", "decoder", "ctrl" and "null".
enum DevType : int {
    DTYPE_ENCODER = 0,  // TX, also IP cameras
    DTYPE_DECODER = 1,  // RX
    DTYPE_CONTROLLER = 2,
    DTYPE_NULL = 3,
};

// Number of fields of a device's discovery reply kept in Device::params.
const int DEVICE_PARAM_COUNT = 19;

class Device {
public:
    // Everything 0 or empty (dtype DTYPE_ENCODER).
    Device() = default;
    // The six identity texts are, in this order: name, hostname, ip, mac, netmask, gateway.
    // Each constructor sets index 0, every params entry empty, and what it does not take to 0
    // or empty.
    Device(int dtype, const std::string& name, const std::string& hostname, const std::string& ip,
           const std::string& mac, const std::string& netmask, const std::string& gateway,
           const std::string& version, const std::string& extra);
    Device(int dtype, const std::string& name, const std::string& hostname, const std::string& ip,
           const std::string& mac, const std::string& netmask, const std::string& gateway,
           const std::string& version, int status);
    Device(int dtype, const std::string& name, const std::string& hostname, const std::string& ip,
           const std::string& mac, const std::string& netmask, const std::string& gateway,
           const std::string& version);
    Device(int dtype, const std::string& name, const std::string& hostname, const std::string& ip,
           const std::string& mac, const std::string& netmask, const std::string& gateway,
           const std::string& version, int status, const std::string& extra);
    Device(int dtype, const std::string& name, const std::string& hostname, const std::string& ip,
           const std::string& mac, const std::string& netmask, const std::string& gateway);
    Device(int dtype, const std::string& name, const std::string& hostname, const std::string& ip,
           const std::string& mac, const std::string& netmask, const std::string& gateway,
           int status);

    // Copies every field of d except index (0 here, i in the second form) and params entries
    // 0 to 4, which stay empty.
    Device(const Device& d);
    Device(const Device& d, int i);
    Device(Device&&) = default;
    Device& operator=(const Device&) = default;
    Device& operator=(Device&&) = default;
    // Virtual because lists of Device may be
    // handed a Decoder or an Encoder, and deleting one through a Device pointer must be safe.
    virtual ~Device() = default;

    int index = 0;                           // position in its table
    std::string params[DEVICE_PARAM_COUNT];  // discovery reply fields by field number
    int dtype = DTYPE_ENCODER;
    std::string name;  // the operator's name ("alias"/"devname")
    std::string hostname;
    std::string ip;
    std::string mac;
    std::string netmask;
    std::string gateway;
    int baud = 0;
    int parity = 0;
    int stopbits = 0;
    int databits = 0;
    int bynetswitch = 0;  // serial over the network on (non-zero) or off
    int bynetmode = 0;
    std::string bynetip;
    std::string version;
    std::string extra;  // a stream URL carried in the device list; usually empty
    int status = 0;     // decoders: the window split count

protected:
    // Sets dtype and the six identity texts.
    void setIdentity(int dtype, const std::string& name, const std::string& hostname,
                     const std::string& ip, const std::string& mac, const std::string& netmask,
                     const std::string& gateway);
    // Sets dtype and the six identity texts from d.
    void copyIdentity(const Device& d);
};

class Decoder : public Device {
public:
    // Everything 0 or empty, dtype DTYPE_DECODER.
    Decoder() { dtype = DTYPE_DECODER; }
    // Keeps dtype, the six identity texts and status; everything else 0 or empty.
    explicit Decoder(const Device& d);
    // Keeps dtype, the six identity texts, status, luma, contrast, hue, saturation and
    // audiooutput; index 0, params, bynetip, version and extra empty, serial integers 0.
    Decoder(const Decoder& d);
    Decoder(Decoder&&) = default;
    Decoder& operator=(const Decoder&) = default;
    Decoder& operator=(Decoder&&) = default;

    int luma = 0;
    int contrast = 0;
    int hue = 0;
    int saturation = 0;
    int audiooutput = 0;
};

class Encoder : public Device {
public:
    // Everything 0 or empty, dtype DTYPE_ENCODER.
    Encoder() = default;
    // Keeps dtype and the six identity texts; everything else 0 or empty.
    explicit Encoder(const Device& d);
    // Keeps dtype, the six identity texts and every Encoder field (etype to pass); index 0,
    // params, bynetip, version and extra empty, serial integers and status 0.
    Encoder(const Encoder& d);
    Encoder(Encoder&&) = default;
    Encoder& operator=(const Encoder&) = default;
    Encoder& operator=(Encoder&&) = default;

    // url0 for 0, url1 for 1, empty for any other value.
    std::string getUrl(int i);

    int etype = 0;  // camera type of an IP camera
    int port = 0;   // RTSP port of an IP camera
    int channel = 0;
    int ratecontrol = 0;  // 1: vbrbitrate is the reported bit rate, else cbrbitrate
    int audiofrom = 0;
    int audioto = 0;
    int fps = 0;
    int vbrbitrate = 0;
    int cbrbitrate = 0;
    std::string url0;  // main stream
    std::string url1;  // second stream
    std::string user;
    std::string pass;  // camera login
};

class Controller : public Device {
public:
    // Everything 0 or empty, dtype DTYPE_CONTROLLER.
    Controller() { dtype = DTYPE_CONTROLLER; }
    // Keeps dtype and the six identity texts; everything else 0 or empty.
    explicit Controller(const Device& d);
    // A copy of a Controller copies as Device(const Device&) does.
};
