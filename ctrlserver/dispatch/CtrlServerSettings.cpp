// The settings commands of stage two: device names and parameters, a device's serial
// settings, the system password, the factory reset, the master-controller flag, the user mode
// and a device's network settings. Names and parameters are queued for the device command
// thread; only "config set net params" waits for a device before it answers.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "device/DevServer.h"
#include "dispatch/CtrlServerDispatch.h"
#include "intake/NetServer.h"
#include "reply/ReplyBuilders.h"
#include "reply/ReplyFrame.h"
#include "wall/VSServer.h"

namespace dispatch {

namespace {

// Field sizes of the box, less their terminator.
const size_t kAddressMax = 127;   // a device address or MAC of the name and net commands
const size_t kPasswordMax = 255;  // the system password
// Longest name a model record takes.
const size_t kModelNameMax = 16;
// How long the name commands let the device command thread work before answering.
const int kDecoderNamePauseMs = 10;
const int kEncoderNamePauseMs = 20;
// How long a readdressed device is given before it is asked for its acknowledgement.
const int kReaddressPauseMs = 800;

void pauseMs(int ms) {
    if (ms > 0) usleep(static_cast<useconds_t>(ms) * 1000);
}

// The command is too long for the 256-byte copy the device text is queued from: the command
// fails (where a silent drop would leave the client waiting).
bool tooLongForCopy(Command& c) {
    if (strlen(c.cmd) <= kEchoHead) return false;
    c.ack(false, c.head());
    return true;
}

}  // namespace

int setSourceUrl(Command&, const Entry&) {
    return 1;  // claimed without a reply
}

int setDeviceName(Command& c, const Entry& e) {
    if (tooLongForCopy(c)) return 1;
    std::string queued = c.cmd;  // the name as typed goes to the device
    Words w;
    if (!readWords(argumentOf(c.cmd, strlen(e.keyword)), 1, kAddressMax, w)) {
        c.ack(false, c.whole());
        return 1;
    }
    std::string address = w.at(0);
    std::string name;
    std::string echo = c.whole();
    if (!address.empty()) {
        // The name is everything after the blank behind the address, inner blanks included.
        if (*w.end) name = w.end + 1;
        echo = c.upTo(w.end);
    }
    // '#' separates the fields of a device's answer: a name holding one would be read back
    // as other fields of that device. Refused, with nothing stored or sent.
    if (name.find('#') != std::string::npos) {
        c.ack(false, echo);
        return 1;
    }
    name = reply::utf8Prefix(name, kModelNameMax);
    c.vs().blUpdateVScreenUnicastDevName(address.c_str(), name.c_str());
    const int r = c.dev().cmdQelDev(&queued[0], &address[0]);
    if (strcmp(e.keyword, "config set decoder name") == 0) pauseMs(kDecoderNamePauseMs);
    if (strcmp(e.keyword, "config set encoder name") == 0) pauseMs(kEncoderNamePauseMs);
    c.ack(r >= 0, echo);
    return 1;
}

int setDeviceParams(Command& c, const Entry&) {
    if (tooLongForCopy(c)) return 1;
    std::string queued = c.cmd;
    const std::string echo = c.whole();
    char unused[] = "";  // the sending thread takes the address from the text
    const int r = c.dev().cmdQelDev(&queued[0], unused);
    c.ack(r >= 0, echo);
    return 1;
}

int acknowledgeOnly(Command& c, const Entry&) {
    c.ack(true, c.whole());
    return 1;
}

int setDeviceSerial(Command& c, const Entry& e) {
    const std::string echo = c.head();
    DevSerParam param;
    int sent = 0;
    const bool ok = c.dev().blQelSetDevSerialParams(
        QEL_KIND_ALL, argumentOf(c.cmd, strlen(e.keyword)), param, sent);
    if (!ok) {
        // A refused setting shows the device's settings as they stay.
        BuildSerParmJsonString(param, c.out(), c.outSize());
        c.queue();
    }
    c.ack(ok, echo);
    return 1;
}

int setSystemPass(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    Words w;
    bool ok = readWords(argumentOf(c.cmd, strlen(e.keyword)), 1, kPasswordMax, w);
    if (ok) {
        std::string pass = w.at(0);  // no word: the empty password
        ok = c.dev().blSetSysPass(&pass[0]);
    }
    c.ack(ok, echo);
    return 1;
}

int checkSystemPass(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    // All the rest, blanks included: a trailing blank makes the check fail.
    const bool ok = c.dev().blCheckSysPass(argumentOf(c.cmd, strlen(e.keyword)));
    c.ack(ok, echo);
    return 1;
}

int factoryDefault(Command& c, const Entry&) {
    std::string own = c.server.netServer ? c.server.netServer->currentAddress() : std::string();
    // The acknowledgement is built first: the device tables it could describe are emptied
    // next, and the controller reboots at the end.
    c.ack(true, c.whole());
    c.vs().blFactoryResetToDefault();
    c.dev().blFactoryResetToDefault(&own[0]);
    return 1;
}

int setControllerMaster(Command& c, const Entry& e) {
    char* arg = argumentOf(c.cmd, strlen(e.keyword));
    Words first;
    readWords(arg, 1, SIZE_MAX, first);
    const std::string echo = first.words.empty() ? c.whole() : c.upTo(first.end);
    // Words longer than their 16-byte fields are refused there.
    const bool ok = c.dev().blSetControllerMaster(arg);
    c.ack(ok, echo);
    return 1;
}

int getControllerMaster(Command& c, const Entry&) {
    c.ack(c.dev().blGetControllerMaster(), c.whole());
    return 1;
}

int getUserMode(Command& c, const Entry&) {
    const std::string echo = c.whole();
    int mode = 0;
    const bool ok = c.vs().blGetUserMode(mode);
    if (ok) {
        BuildUserModeJsonString(mode, c.out(), c.outSize());
        c.queue();
    }
    c.ack(ok, echo);
    return 1;
}

int setUserMode(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    // Read as atol reads it (no digits: 0), but a number the mode field cannot hold fails.
    errno = 0;
    const long n = strtol(argumentOf(c.cmd, strlen(e.keyword)), nullptr, 10);
    bool ok = errno != ERANGE && n >= INT_MIN && n <= INT_MAX;
    if (ok) ok = c.vs().blSetUserMode(static_cast<int>(n));
    c.ack(ok, echo);
    return 1;
}

int setNetParams(Command& c, const Entry& e) {
    // The device's MAC and new address come from the command's head (a 256-byte copy on the
    // box); the device gets the whole command.
    std::string head(c.cmd, strnlen(c.cmd, kEchoHead));
    Words w;
    if (!readWords(argumentOf(&head[0], strlen(e.keyword)), 2, kAddressMax, w)) {
        c.ack(false, c.whole());
        return 1;
    }
    // The model takes the new address before the device answers, and keeps it if it never
    // does.
    c.vs().blUpdateVScreenUnicastDevIp(w.at(0).c_str(), w.at(1).c_str());
    pauseMs(kReaddressPauseMs);
    return passToDevices(c);
}

}  // namespace dispatch
