// The queued road to the devices: cmdQelDev queues a controller-side command, the CmdProcess
// thread sends it as one datagram to port 8888 of its target and mirrors name and parameter
// changes into the tables and files.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "device/DevServer.h"
#include "device/DevServerSocket.h"
#include "device/DevServerText.h"

namespace {

const char* const kBroadcast = "255.255.255.255";
// Tokens of a mirrored command hold at most this many characters.
const size_t kMaxToken = 127;
// The target address is looked for in at most this many characters behind the prefix.
const size_t kTargetWindow = 255;

// The blank-separated tokens of text, at most maxTokens of them (words beyond are ignored).
// False when a token is longer than kMaxToken.
bool splitBlanks(const char* text, int maxTokens, std::vector<std::string>& tokens) {
    tokens = devtext::splitBlanks(text, static_cast<size_t>(maxTokens));
    for (const std::string& t : tokens)
        if (t.size() > kMaxToken) return false;
    return true;
}

// The token at i, or "" when the text had fewer.
const std::string& tokenAt(const std::vector<std::string>& tokens, size_t i) {
    static const std::string empty;
    return i < tokens.size() ? tokens[i] : empty;
}

using devtext::toInt;

// A name token replaces the stored name unless it is "null" or missing.
bool takesName(const std::vector<std::string>& tokens, size_t i) {
    return i < tokens.size() && tokens[i] != "null";
}

// "<address> <name with blanks>" behind a rename prefix: the address runs to the next blank,
// the name is everything after that blank. Both begin within the first 128 characters.
bool splitRename(const char* rest, std::string& address, std::string& name) {
    char buf[256] = {0};
    snprintf(buf, sizeof buf, "%s", rest);
    const char* p = buf;
    if (*p == ' ') p++;
    const char* blank = strchr(p, ' ');
    if (!blank) return false;
    size_t nameStart = static_cast<size_t>(blank + 1 - buf);
    if (nameStart > 128 || blank == p) return false;
    address.assign(p, blank - p);
    name.assign(blank + 1);
    return true;
}

}  // namespace

int DevServer::cmdQelDev(char* cmd, char*) {
    if (!cmd) return 0;
    return cmdQelDevGroup(std::vector<std::string>{std::string(cmd)});
}

int DevServer::cmdQelDevGroup(const std::vector<std::string>& texts) {
    // A text no buffer could take out again is dropped alone, as it always was.
    std::vector<const std::string*> kept;
    for (const std::string& t : texts) {
        if (t.size() >= static_cast<size_t>(QEL_MAX_ENTRY))
            env << "cmdQelDev: command of " << static_cast<int>(t.size()) << " bytes dropped\n";
        else
            kept.push_back(&t);
    }
    if (kept.empty()) return 0;
    std::lock_guard<std::mutex> lock(cmdQueueAddMutex);
    CommandQueue* q = cmdQueue();
    const int waiting = q->QueueLength();
    const int n = static_cast<int>(kept.size());
    const bool fits = waiting == 0 || n <= QEL_DEV_QUEUE_MAX - waiting;
    if (!fits) {
        env << "device command queue full (" << waiting << " waiting, at most " << QEL_DEV_QUEUE_MAX
            << "): " << n << " text(s) refused\n";
        return -1;
    }
    for (const std::string* t : kept) {
        std::string copy(*t);
        q->AddNode(reinterpret_cast<unsigned char*>(&copy[0]), static_cast<int>(copy.size()));
    }
    return 0;
}

void* CmdProcess(void* arg) {
    DevServer* server = static_cast<DevServer*>(arg);
    if (!server) return nullptr;
    try {
        std::vector<unsigned char> text(QEL_MAX_ENTRY + 1);
        CommandQueueNode node{text.data(), 0, nullptr, QEL_MAX_ENTRY};
        while (server->isRunning()) {
            usleep(10 * 1000);
            memset(text.data(), 0, text.size());
            node.size = 0;
            if (server->cmdQueue()->DelNode(node) == 0) continue;
            text[node.size] = '\0';
            server->processQueuedCmd(reinterpret_cast<char*>(text.data()));
        }
    } catch (const std::exception& e) {
        server->envir() << "CmdProcess stopped: " << e.what() << "\n";
    } catch (...) {
        server->envir() << "CmdProcess stopped\n";
    }
    return nullptr;
}

void DevServer::processQueuedCmd(char* text) {
    if (!text) return;
    // Renaming a camera concerns only our own table; nothing goes on the network, wherever in
    // the text the rename stands.
    if (strstr(text, strConfigSetIPSourceNameParam)) {
        cmdQelNoDevInternal(text);
        return;
    }
    int row = findQelDevCmdRow(text);
    if (row < 0) return;

    // The target is the first field behind the prefix. A text that glues it to the prefix
    // ("...params10.0.0.2") is malformed: the device would not recognise the command.
    const char* rest = text + strlen(strConfigCmd[row]);
    char window[kTargetWindow + 1] = {0};
    snprintf(window, sizeof window, "%s", rest);
    char* save = nullptr;
    char* address = rest[0] == ' ' ? strtok_r(window, " ", &save) : nullptr;
    if (!address || !isQelDevAddress(address)) {
        env << "Drop device command without a target address: " << text << "\n";
        return;
    }
    cmdQelDevInternal(text, address);
}

int DevServer::cmdQelDevInternal(char* cmd, char* ip) {
    if (!cmd || !ip) return 0;
    int row = findQelDevCmdRow(cmd);
    if (row < 0) return 0;
    if (!isQelDevAddress(ip)) {
        env << "Drop device command for an invalid address: " << cmd << "\n";
        return 0;
    }
    char wire[QEL_DEV_WIRE_MAX] = {0};
    if (buildQelDevWire(cmd, row, wire, sizeof wire) < 0) {
        env << "Drop device command longer than " << (QEL_DEV_WIRE_MAX - 1) << " bytes\n";
        return 0;
    }

    const int sock = devsock::openUdp(strcmp(ip, kBroadcast) == 0);
    if (sock < 0) {
        env << "create socket error!";
        return 0;
    }
    env << "Send cmdQelDevInternal " << wire << "\n";
    // A failed send goes unnoticed: the device's answer is never read either.
    devsock::sendText(sock, ip, QEL_DEV_CMD_PORT, wire, strlen(wire));
    usleep(5 * 1000);
    close(sock);

    mirrorQelDevCmd(cmd);
    return 0;
}

void DevServer::mirrorQelDevCmd(const char* cmd) {
    if (!cmd) return;
    int row = findQelDevCmdRow(cmd);
    if (row < 0) return;
    const char* rest = cmd + strlen(strConfigCmd[row]);
    std::vector<std::string> t;
    // Records are found by address; a text without one names no record.
    auto noAddress = [&t] { return t.empty(); };

    // "config set decoder params": address luma contrast hue saturation audio name
    if (row == QEL_ROW_SET_DECODER_PARAMS) {
        if (!splitBlanks(rest, 7, t)) {
            env << "Decoder parameters not kept: a value is too long\n";
            return;
        }
        if (noAddress()) return;
        std::lock_guard<std::recursive_mutex> lock(tableMutex);
        bool matched = false;
        for (int i = 0; i < decoderCount; i++) {
            Decoder* d = decoders[i];
            if (!d || d->ip != tokenAt(t, 0)) continue;
            d->audiooutput = toInt(tokenAt(t, 5));
            if (takesName(t, 6)) d->name = t[6];
            d->luma = toInt(tokenAt(t, 1));
            d->contrast = toInt(tokenAt(t, 2));
            d->hue = toInt(tokenAt(t, 3));
            d->saturation = toInt(tokenAt(t, 4));
            matched = true;
        }
        if (matched) blNewSaveQelDeviceToConfig(QEL_KIND_DECODER);
    } else if (row == QEL_ROW_SET_SPLIT_PARAMS) {  // address split window
        if (!splitBlanks(rest, 3, t) || noAddress()) return;
        std::lock_guard<std::recursive_mutex> lock(tableMutex);
        int split = toInt(tokenAt(t, 1));
        for (int i = 0; i < decoderCount; i++) {
            Decoder* d = decoders[i];
            if (!d || d->ip != tokenAt(t, 0) || d->status == split) continue;
            d->status = split;
            blNewSaveQelDeviceToConfig(QEL_KIND_DECODER);
        }
    } else if (row == QEL_ROW_SET_ENCODER_PARAMS) {  // address - - fps bitrate rc from to name
        if (!splitBlanks(rest, 9, t)) {
            env << "Encoder parameters not kept: a value is too long\n";
            return;
        }
        if (noAddress()) return;
        std::lock_guard<std::recursive_mutex> lock(tableMutex);
        int bitrate = toInt(tokenAt(t, 4));
        int rateControl = toInt(tokenAt(t, 5));
        bool matched = false;
        for (int i = 0; i < encoderCount; i++) {
            Encoder* e = encoders[i];
            if (!e || e->ip != tokenAt(t, 0)) continue;
            // The file keeps flags, not rates: 0 means the default rate of that mode.
            if (rateControl == 1) e->vbrbitrate = bitrate == 24000 ? 0 : 1;
            if (rateControl == 0) e->cbrbitrate = bitrate == 12000 ? 0 : 1;
            if (takesName(t, 8)) e->name = t[8];
            e->ratecontrol = rateControl;
            e->audiofrom = toInt(tokenAt(t, 6));
            e->audioto = toInt(tokenAt(t, 7));
            e->fps = toInt(tokenAt(t, 3));
            matched = true;
        }
        if (matched) blNewSaveQelDeviceToConfig(QEL_KIND_ENCODER);
    } else if (row == QEL_ROW_SET_DECODER_NAME || row == QEL_ROW_SET_ENCODER_NAME) {
        // address name
        std::string address, name;
        if (!splitRename(rest, address, name)) return;
        std::lock_guard<std::recursive_mutex> lock(tableMutex);
        if (row == QEL_ROW_SET_DECODER_NAME) {
            for (int i = 0; i < decoderCount; i++) {
                if (!decoders[i] || decoders[i]->ip != address) continue;
                decoders[i]->name = name;
                blNewSaveQelDeviceToConfig(QEL_KIND_DECODER);
            }
        } else {
            for (int i = 0; i < encoderCount; i++) {
                if (!encoders[i] || encoders[i]->ip != address) continue;
                encoders[i]->name = name;
                blNewSaveQelDeviceToConfig(QEL_KIND_ENCODER);
            }
        }
    }
}

int DevServer::cmdQelNoDevInternal(char* cmd) {
    if (!cmd) return 0;
    const char* at = strstr(cmd, strConfigSetIPSourceNameParam);
    if (!at) return 0;
    std::vector<std::string> t;
    if (!splitBlanks(at + strlen(strConfigSetIPSourceNameParam), 2, t)) {
        env << "IP source name not kept: a value is too long\n";
        return 0;
    }
    if (t.empty()) return 0;
    std::lock_guard<std::recursive_mutex> lock(tableMutex);
    for (int i = 0; i < ipSourceCount; i++) {
        if (!ipSources[i] || ipSources[i]->ip != tokenAt(t, 0)) continue;
        ipSources[i]->name = tokenAt(t, 1);
        blSaveQelEncoderToConfig();
    }
    return 0;
}
