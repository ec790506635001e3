// The stage-two rows of the device tables: device, controller, encoder, decoder and IP-camera
// lists, camera edits, and the two commands the dispatcher carries out itself (the copy of a
// platform statistics file for the web server, and a device's internal command).
//
// The list rows quote the whole command in their acknowledgement, the others its head.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "box/Box.h"
#include "device/DevCmdTable.h"
#include "device/DevServer.h"
#include "dispatch/CtrlServerDispatch.h"
#include "reply/ReplyBuilders.h"

namespace dispatch {

namespace {

// The statistics directory of the platform and the file the web server shows.
const char kUmapDir[] = "/proc/umap/";
const char kWebUmapDir[] = "/var/www/umap";
const char kExtraInfoFile[] = "/var/www/umap/extrainfo.txt";
const size_t kNameMax = 64;
// Word buffers of the dispatcher's own rows hold 255 characters and the terminator.
const size_t kWordMax = 255;

// A list row: the list when the getter found records, then the acknowledgement.
template <typename T, typename Getter, typename Builder>
int deviceList(Command& c, Getter get, Builder build, bool emptyIsList = false) {
    const std::string echo = c.whole();
    ArrayList<T> list;
    const int n = (c.dev().*get)(list);
    return replyThenAck(c, emptyIsList ? n >= 0 : n > 0, echo,
                        [&](char* out, size_t size) { build(list, out, size); });
}

// A statistics entry's name: letters, digits, '_', '-' and '.', no "..", 1 to 64 characters,
// so that it names an entry of the directory and nothing beside or above it.
bool umapName(const std::string& name) {
    if (name.empty() || name.size() > kNameMax || name.find("..") != std::string::npos)
        return false;
    for (char ch : name) {
        const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                        (ch >= '0' && ch <= '9') || ch == '_' || ch == '-' || ch == '.';
        if (!ok) return false;
    }
    return true;
}

// Copies the statistics entry to the web server's file: written whole to a file beside it and
// renamed over it, so a failed copy leaves the old file as it was. False when the entry is
// not a readable file or the copy failed.
bool copyUmapEntry(const std::string& name) {
    const std::string from = box::path(kUmapDir + name);
    struct stat st;
    if (stat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    FILE* in = fopen(from.c_str(), "rb");
    if (!in) return false;
    if (!box::makeDirs(kWebUmapDir)) {
        fclose(in);
        return false;
    }
    const std::string to = box::path(kExtraInfoFile);
    const std::string temp = to + ".tmp";
    FILE* out = fopen(temp.c_str(), "wb");
    bool ok = out != nullptr;
    char buf[4096];
    // Statistics files report no size: read to their end.
    while (ok) {
        const size_t n = fread(buf, 1, sizeof buf, in);
        if (n > 0 && fwrite(buf, 1, n, out) != n) ok = false;
        if (n < sizeof buf) {
            if (ferror(in)) ok = false;
            break;
        }
    }
    fclose(in);
    if (out && fclose(out) != 0) ok = false;
    if (ok && rename(temp.c_str(), to.c_str()) != 0) ok = false;
    if (!ok) unlink(temp.c_str());
    return ok;
}

}  // namespace

int getDevList(Command& c, const Entry&) {
    const std::string echo = c.whole();
    ArrayList<Device> list;
    const int n = c.dev().iGetQelDevices(list);
    return replyThenAck(c, n > 0, echo, [&](char* out, size_t size) {
        BuildDevlistJsonString(list, out, size);
        printf("iGetQelDevices strlen(cAck): %ld  iDevice: %d \n",
               static_cast<long>(c.tag().size() + strlen(out)), n);
    });
}

int getControllers(Command& c, const Entry&) {
    return deviceList<Controller>(c, &DevServer::iGetQelControllerDevices,
                                  BuildDevControllerlistJsonString);
}

int getEncoders(Command& c, const Entry&) {
    const std::string echo = c.whole();
    ArrayList<Encoder> list;
    const int n = c.dev().iGetQelEncoderDevices(list);
    return replyThenAck(c, n > 0, echo, [&](char* out, size_t size) {
        BuildDevEncoderlistJsonString(list, out, size);
        printf("iGetQelEncoderDevices strlen(cAck): %ld  \n", static_cast<long>(strlen(out)));
    });
}

int getDecoders(Command& c, const Entry&) {
    return deviceList<Decoder>(c, &DevServer::iGetQelDecoderDevices, BuildDevDecoderlistJsonString);
}

int getIpSources(Command& c, const Entry&) {
    // An empty camera table is still a list.
    return deviceList<Encoder>(c, &DevServer::iGetQelIPSource, BuildDevIPSourcelistJsonString,
                               true);
}

int getIpSourceParams(Command& c, const Entry& e) {
    const std::string echo = c.whole();
    ArrayList<Encoder> list;
    const int n = c.dev().iGetQelIPSourceWithIP(argumentOf(c.cmd, strlen(e.keyword)), list);
    return replyThenAck(c, n > 0, echo, [&](char* out, size_t size) {
        BuildIPSourceparamsJsonString(list, out, size);
    });
}

int setIpSource(Command& c, const Entry& e) {
    const std::string echo = c.head();
    c.ack(c.dev().blAddQelIPSource(argumentOf(c.cmd, strlen(e.keyword))), echo);
    return 1;
}

int delIpSource(Command& c, const Entry& e) {
    const std::string echo = c.head();
    c.ack(c.dev().blRemoveQelIPSource(argumentOf(c.cmd, strlen(e.keyword))), echo);
    return 1;
}

int getExtraInfo(Command& c, const Entry& e) {
    const std::string echo = c.head();
    // The name is read straight behind the keyword's length, counted from the start.
    Words w;
    const size_t at = strlen(e.keyword);
    bool ok = strlen(c.cmd) >= at && readWords(c.cmd + at, 1, kWordMax, w) && !w.words.empty();
    // Only a name of the statistics directory, copied without a shell.
    ok = ok && umapName(w.at(0)) && copyUmapEntry(w.at(0));
    c.ack(ok, echo);
    return 1;
}

int setInternalCmd(Command& c, const Entry& e) {
    const std::string echo = c.head();
    Words w;
    const size_t at = strlen(e.keyword);
    bool ok = strlen(c.cmd) >= at && readWords(c.cmd + at, 2, kWordMax, w) && w.words.size() == 2;
    // The sending thread drops a text whose first word is no address: refused here, so the
    // reply does not claim a success that never happens.
    ok = ok && isQelDevAddress(w.at(0).c_str());
    if (ok) {
        ok = c.dev().cmdQelDev(c.cmd, nullptr) >= 0;
        usleep(10 * 1000);
    }
    c.ack(ok, echo);
    return 1;
}

}  // namespace dispatch
