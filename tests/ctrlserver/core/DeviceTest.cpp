#include "core/Device.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Fields = std::map<std::string, std::string>;

// Every field of a record by name, as text ("params[7]" for the params entries).
Fields fields(const Device& d) {
    Fields f;
    f["index"] = std::to_string(d.index);
    for (int i = 0; i < DEVICE_PARAM_COUNT; ++i)
        f["params[" + std::to_string(i) + "]"] = d.params[i];
    f["dtype"] = std::to_string(d.dtype);
    f["name"] = d.name;
    f["hostname"] = d.hostname;
    f["ip"] = d.ip;
    f["mac"] = d.mac;
    f["netmask"] = d.netmask;
    f["gateway"] = d.gateway;
    f["baud"] = std::to_string(d.baud);
    f["parity"] = std::to_string(d.parity);
    f["stopbits"] = std::to_string(d.stopbits);
    f["databits"] = std::to_string(d.databits);
    f["bynetswitch"] = std::to_string(d.bynetswitch);
    f["bynetmode"] = std::to_string(d.bynetmode);
    f["bynetip"] = d.bynetip;
    f["version"] = d.version;
    f["extra"] = d.extra;
    f["status"] = std::to_string(d.status);
    return f;
}

Fields fields(const Decoder& d) {
    Fields f = fields(static_cast<const Device&>(d));
    f["luma"] = std::to_string(d.luma);
    f["contrast"] = std::to_string(d.contrast);
    f["hue"] = std::to_string(d.hue);
    f["saturation"] = std::to_string(d.saturation);
    f["audiooutput"] = std::to_string(d.audiooutput);
    return f;
}

Fields fields(const Encoder& e) {
    Fields f = fields(static_cast<const Device&>(e));
    f["etype"] = std::to_string(e.etype);
    f["port"] = std::to_string(e.port);
    f["channel"] = std::to_string(e.channel);
    f["ratecontrol"] = std::to_string(e.ratecontrol);
    f["audiofrom"] = std::to_string(e.audiofrom);
    f["audioto"] = std::to_string(e.audioto);
    f["fps"] = std::to_string(e.fps);
    f["vbrbitrate"] = std::to_string(e.vbrbitrate);
    f["cbrbitrate"] = std::to_string(e.cbrbitrate);
    f["url0"] = e.url0;
    f["url1"] = e.url1;
    f["user"] = e.user;
    f["pass"] = e.pass;
    return f;
}

bool isZero(const std::string& v) {
    return v.empty() || v == "0";
}

void fillDevice(Device& d, int kind) {
    d.index = 42;
    for (int i = 0; i < DEVICE_PARAM_COUNT; ++i) d.params[i] = "p" + std::to_string(i);
    d.dtype = kind;
    d.name = "name";
    d.hostname = "host";
    d.ip = "10.0.0.9";
    d.mac = "00:11:22:33:44:55";
    d.netmask = "255.255.255.0";
    d.gateway = "10.0.0.1";
    d.baud = 115200;
    d.parity = 2;
    d.stopbits = 3;
    d.databits = 8;
    d.bynetswitch = 5;
    d.bynetmode = 6;
    d.bynetip = "10.0.0.7";
    d.version = "Version 2";
    d.extra = "rtsp://x";
    d.status = 4;
}

Decoder fullDecoder() {
    Decoder d;
    fillDevice(d, DTYPE_DECODER);
    d.luma = 11;
    d.contrast = 12;
    d.hue = 13;
    d.saturation = 14;
    d.audiooutput = 15;
    return d;
}

Encoder fullEncoder() {
    Encoder e;
    // A kind other than 0, so that a copy keeping it can be told from one zeroing it.
    fillDevice(e, DTYPE_NULL);
    e.etype = 21;
    e.port = 554;
    e.channel = 23;
    e.ratecontrol = 1;
    e.audiofrom = 25;
    e.audioto = 26;
    e.fps = 27;
    e.vbrbitrate = 28;
    e.cbrbitrate = 29;
    e.url0 = "rtsp://main";
    e.url1 = "rtsp://sub";
    e.user = "admin";
    e.pass = "secret";
    return e;
}

const std::set<std::string> kIdentity = {"dtype", "name",    "hostname", "ip",
                                         "mac",   "netmask", "gateway"};

std::set<std::string> with(std::set<std::string> a, const std::set<std::string>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

// ---- Copies: exactly the fields each copy is meant to keep are kept ----

struct CopyCase {
    const char* name;
    std::function<Fields(Fields& source)> copy;  // makes the copy, reports the source's fields
    std::set<std::string> kept;
    int wantIndex;
};
void PrintTo(const CopyCase& c, std::ostream* os) {
    *os << c.name;
}

std::set<std::string> deviceCopyKept() {
    std::set<std::string> kept =
        with(kIdentity, {"baud", "parity", "stopbits", "databits", "bynetswitch", "bynetmode",
                         "bynetip", "version", "extra", "status"});
    for (int i = 5; i < DEVICE_PARAM_COUNT; ++i) kept.insert("params[" + std::to_string(i) + "]");
    return kept;
}

const std::vector<CopyCase>& copyCases() {
    static const std::vector<CopyCase> cases = {
        {"DeviceCopy",
         [](Fields& src) {
             Decoder d = fullDecoder();
             src = fields(static_cast<Device&>(d));
             return fields(Device(static_cast<Device&>(d)));
         },
         deviceCopyKept(), 0},
        {"DeviceCopyWithIndex",
         [](Fields& src) {
             Decoder d = fullDecoder();
             src = fields(static_cast<Device&>(d));
             return fields(Device(static_cast<Device&>(d), 7));
         },
         deviceCopyKept(), 7},
        {"DecoderFromDevice",
         [](Fields& src) {
             Decoder d = fullDecoder();
             src = fields(static_cast<Device&>(d));
             return fields(Decoder(static_cast<Device&>(d)));
         },
         with(kIdentity, {"status"}), 0},
        {"DecoderCopy",
         [](Fields& src) {
             Decoder d = fullDecoder();
             src = fields(d);
             return fields(Decoder(d));
         },
         with(kIdentity, {"status", "luma", "contrast", "hue", "saturation", "audiooutput"}), 0},
        {"EncoderFromDevice",
         [](Fields& src) {
             Encoder e = fullEncoder();
             src = fields(static_cast<Device&>(e));
             return fields(Encoder(static_cast<Device&>(e)));
         },
         kIdentity, 0},
        {"EncoderCopy",
         [](Fields& src) {
             Encoder e = fullEncoder();
             src = fields(e);
             return fields(Encoder(e));
         },
         with(kIdentity, {"etype", "port", "channel", "ratecontrol", "audiofrom", "audioto", "fps",
                          "vbrbitrate", "cbrbitrate", "url0", "url1", "user", "pass"}),
         0},
        {"ControllerFromDevice",
         [](Fields& src) {
             Encoder e = fullEncoder();
             e.dtype = DTYPE_CONTROLLER;
             src = fields(static_cast<Device&>(e));
             return fields(Controller(static_cast<Device&>(e)));
         },
         kIdentity, 0},
    };
    return cases;
}

class DeviceCopyTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(DeviceCopyTest, KeepsExactlyTheNamedFields) {
    const CopyCase& c = GetParam();
    Fields src;
    Fields copy = c.copy(src);
    EXPECT_EQ(copy["index"], std::to_string(c.wantIndex));
    for (const auto& [field, value] : copy) {
        if (field == "index") continue;
        if (c.kept.count(field)) {
            ASSERT_TRUE(src.count(field)) << field;
            EXPECT_EQ(value, src[field]) << field << " must be kept";
            EXPECT_FALSE(isZero(value)) << field << ": the test's source must set it";
        } else {
            EXPECT_TRUE(isZero(value)) << field << " must be dropped, is " << value;
        }
    }
    for (const std::string& field : c.kept) EXPECT_TRUE(copy.count(field)) << field;
}

INSTANTIATE_TEST_SUITE_P(Copies, DeviceCopyTest, ::testing::ValuesIn(copyCases()),
                         [](const ::testing::TestParamInfo<CopyCase>& i) {
                             return std::string(i.param.name);
                         });

// ---- Constructors ----

struct CtorCase {
    const char* name;
    std::function<Device()> make;
    Fields set;  // every field not listed must be 0 or empty
};
void PrintTo(const CtorCase& c, std::ostream* os) {
    *os << c.name;
}

const Fields kIds = {{"dtype", "1"},        {"name", "n"}, {"hostname", "h"},
                     {"ip", "1.2.3.4"},     {"mac", "m"},  {"netmask", "255.0.0.0"},
                     {"gateway", "1.2.3.1"}};

Fields plus(Fields a, const Fields& b) {
    a.insert(b.begin(), b.end());
    return a;
}

const std::vector<CtorCase>& ctorCases() {
    static const std::vector<CtorCase> cases = {
        {"VersionExtra",
         [] { return Device(1, "n", "h", "1.2.3.4", "m", "255.0.0.0", "1.2.3.1", "v", "e"); },
         plus(kIds, {{"version", "v"}, {"extra", "e"}})},
        {"VersionStatus",
         [] { return Device(1, "n", "h", "1.2.3.4", "m", "255.0.0.0", "1.2.3.1", "v", 5); },
         plus(kIds, {{"version", "v"}, {"status", "5"}})},
        {"Version", [] { return Device(1, "n", "h", "1.2.3.4", "m", "255.0.0.0", "1.2.3.1", "v"); },
         plus(kIds, {{"version", "v"}})},
        {"VersionStatusExtra",
         [] { return Device(1, "n", "h", "1.2.3.4", "m", "255.0.0.0", "1.2.3.1", "v", 5, "e"); },
         plus(kIds, {{"version", "v"}, {"status", "5"}, {"extra", "e"}})},
        {"IdentityOnly", [] { return Device(1, "n", "h", "1.2.3.4", "m", "255.0.0.0", "1.2.3.1"); },
         kIds},
        {"IdentityStatus",
         [] { return Device(1, "n", "h", "1.2.3.4", "m", "255.0.0.0", "1.2.3.1", 5); },
         plus(kIds, {{"status", "5"}})},
        {"Default", [] { return Device(); }, {}},
    };
    return cases;
}

class DeviceCtorTest : public ::testing::TestWithParam<CtorCase> {};

TEST_P(DeviceCtorTest, SetsWhatItTakesAndZeroesTheRest) {
    const CtorCase& c = GetParam();
    Fields got = fields(c.make());
    for (const auto& [field, value] : got) {
        auto it = c.set.find(field);
        if (it != c.set.end())
            EXPECT_EQ(value, it->second) << field;
        else
            EXPECT_TRUE(isZero(value)) << field << " is " << value;
    }
}

INSTANTIATE_TEST_SUITE_P(Constructors, DeviceCtorTest, ::testing::ValuesIn(ctorCases()),
                         [](const ::testing::TestParamInfo<CtorCase>& i) {
                             return std::string(i.param.name);
                         });

TEST(DeviceTest, DefaultKinds) {
    EXPECT_EQ(Device().dtype, DTYPE_ENCODER);
    EXPECT_EQ(Encoder().dtype, DTYPE_ENCODER);
    EXPECT_EQ(Decoder().dtype, DTYPE_DECODER);
    EXPECT_EQ(Controller().dtype, DTYPE_CONTROLLER);
    for (const auto& [field, value] : fields(Decoder())) {
        if (field == "dtype") continue;
        EXPECT_TRUE(isZero(value)) << field;
    }
    for (const auto& [field, value] : fields(Encoder())) EXPECT_TRUE(isZero(value)) << field;
}

// ---- Assignment and moves keep everything ----

TEST(DeviceTest, AssignmentAndMovesKeepEveryField) {
    const Fields decoder = fields(fullDecoder());
    Decoder assigned;
    assigned = fullDecoder();
    EXPECT_EQ(fields(assigned), decoder);
    Decoder source = fullDecoder();
    Decoder copyAssigned;
    copyAssigned = source;
    EXPECT_EQ(fields(copyAssigned), decoder);
    Decoder moved(std::move(source));
    EXPECT_EQ(fields(moved), decoder);

    const Fields encoder = fields(fullEncoder());
    Encoder e = fullEncoder();
    Encoder eMoved(std::move(e));
    EXPECT_EQ(fields(eMoved), encoder);
    Encoder eAssigned;
    eAssigned = eMoved;
    EXPECT_EQ(fields(eAssigned), encoder);

    std::vector<Decoder> grown;
    for (int i = 0; i < 20; ++i) grown.push_back(fullDecoder());
    for (const Decoder& d : grown) EXPECT_EQ(fields(d), decoder);
}

TEST(DeviceTest, ControllerCopyCopiesAsDevice) {
    Controller c;
    fillDevice(c, DTYPE_CONTROLLER);
    Controller copy(c);
    Fields src = fields(c), got = fields(copy);
    for (const std::string& field : deviceCopyKept()) EXPECT_EQ(got[field], src[field]) << field;
    EXPECT_EQ(copy.index, 0);
    EXPECT_EQ(copy.params[0], "");
}

// ---- getUrl ----

struct UrlCase {
    int i;
    const char* want;
};
void PrintTo(const UrlCase& c, std::ostream* os) {
    *os << "getUrl(" << c.i << ")";
}

class EncoderUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(EncoderUrlTest, GivesTheStreamOrEmpty) {
    Encoder e = fullEncoder();
    EXPECT_EQ(e.getUrl(GetParam().i), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Streams, EncoderUrlTest,
                         ::testing::Values(UrlCase{0, "rtsp://main"}, UrlCase{1, "rtsp://sub"},
                                           UrlCase{2, ""}, UrlCase{5, ""}, UrlCase{-1, ""}));

}  // namespace
