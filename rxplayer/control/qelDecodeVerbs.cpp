// The device and picture verbs of the device protocol.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "box/Box.h"
#include "control/qelDecode.h"
#include "control/qelDecodeServer.h"
#include "control/qelDecodeSettings.h"
#include "control/qelGet_ip.h"
#include "display/common/sample_comm.h"
#include "display/qelDrvLib.h"
#include "display/qel_misc.h"

namespace {

bool inRange(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

// The longest shell text a remote command may carry; a longer one would be cut into a
// different command, so it is refused.
const size_t kMaxInternalCmd = 127;

}  // namespace

void cmdReboot(char**, ReplySink& out) {
    out.reply("config qel set reboot #SUCCEED ");
    box::system("reboot");
}

void cmdFlashLed(char**, ReplySink& out) {
    out.reply("config qel ack flash device led #SUCCEED ");
    iDisplayCurInfoIP = 1;
    ledPositioning();
}

void cmdShowDevice(char**, ReplySink& out) {
    out.reply("config qel ack show device #SUCCEED ");
    iDisplayAllInfo = 1;
}

void cmdRestoreFactory(char**, ReplySink& out) {
    out.reply("config qel ack set device restorefactory #SUCCEED ");
    // The key thread's long press runs the same reset, so both share one list of commands.
    key_func(1);
}

void cmdSetConnect(char**, ReplySink& out) {
    out.reply("config qel ack set connect #SUCCEED ");
}

void cmdRxDisplayIp(char**, ReplySink& out) {
    out.reply("config qel ack set rx display ip #SUCCEED ");
    iDisplayCurInfoIP = 1;
}

void cmdDecodersDisplayIp(char**, ReplySink& out) {
    out.reply("config qel ack set decoders display ip #SUCCEED ");
    iDisplayCurInfoIP = 1;
}

void cmdGetUrlParams(char** str, ReplySink& out) {
    int win = fieldNumber(str[2]);
    if (win < 0) return;
    if (win > 4) win = 17;
    char t[QEL_DATAGRAM_MAX];
    int n;
    {
        std::lock_guard<std::mutex> g(gWinLock);
        n = snprintf(t, sizeof t, "config qel ack get url params #SUCCEED #%s", param[win]);
    }
    if (n >= static_cast<int>(sizeof t)) n = sizeof t - 1;
    out.reply(t, static_cast<size_t>(n), ReplyFrom::AckSocket);
}

void cmdDecoderParams(char** str, ReplySink& out) {
    const char* ok = "config qel ack set decoder params #SUCCEED ";
    int luma = fieldNumber(str[2]), contrast = fieldNumber(str[3]), hue = fieldNumber(str[4]),
        sat = fieldNumber(str[5]), audio = fieldNumber(str[6]);
    if (inRange(luma, 0, 100) && inRange(contrast, 0, 100) && inRange(hue, 0, 100) &&
        inRange(sat, 0, 100) && qelDrvLib_Csc(luma, contrast, hue, sat) == 0) {
        Luma = luma;
        Contrast = contrast;
        Hue = hue;
        Satuature = sat;
        saveCsc();
    }
    if ((audio == 0 || audio == 1) && audio != AudioOutput) {
        printf("AudioOutput: %d,iAudioOutput: %d\n", AudioOutput.load(), audio);
        if (qelDrvLib_AudioOutput(audio) == 0) {
            AudioOutput = audio;
            saveAudioOutput();
            out.reply(ok);
            usleep(200 * 1000);
            box::system("reboot");
        }
    }
    out.reply(ok);
}

void cmdCutEdge(char** str, ReplySink& out) {
    int hor = fieldNumber(str[2]), ver = fieldNumber(str[3]);
    if (inRange(hor, 0, 8) && inRange(ver, 0, 8)) {
        CutEdgeHor = hor * 8;
        CutEdgeVer = ver * 8;
        qelDrvLib_CutEdge(CutEdgeHor, CutEdgeVer);
        saveCutEdge();
        qelDrvLib_ApplyCutEdge();
    }
    out.reply("config qel ack set cutedge params #SUCCEED ");
}

bool decoderNameOf(const char* text, char* name, size_t size) {
    if (size == 0) return false;
    name[0] = 0;
    // A line end would put the rest of the name on a line of its own in the name file.
    size_t n = strcspn(text, "\r\n");
    if (n > size - 1) {
        n = size - 1;
        // Never end inside a UTF-8 character: while the first byte left out continues a
        // character, leave that character out whole.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    // The discovery answer separates its fields with " #": a '#' in the name would shift them.
    if (n == 0 || memchr(text, '#', n) != nullptr) return false;
    memcpy(name, text, n);
    name[n] = 0;
    return true;
}

bool setDecoderName(const char* text) {
    char name[QEL_NAME_SIZE];
    if (!decoderNameOf(text, name, sizeof name)) return false;
    bool changed;
    {
        std::lock_guard<std::mutex> g(gTextLock);
        changed = strcmp(name, reinterpret_cast<char*>(decoder_Name)) != 0;
        if (changed) copyText(reinterpret_cast<char*>(decoder_Name), sizeof decoder_Name, name);
    }
    if (changed) saveDecoderNameConfig();
    return true;
}

void cmdDecoderName(char** str, ReplySink& out) {
    if (!setDecoderName(str[2])) {
        out.reply("config qel ack set decoder name #FAILED ");
        return;
    }
    out.reply("config qel ack set decoder name #SUCCEED ");
}

void cmdInternalCmd(char** str, ReplySink& out) {
    if (strlen(str[2]) > kMaxInternalCmd) {
        printf("internalcmd longer than %d characters refused\n",
               static_cast<int>(kMaxInternalCmd));
        return;
    }
    box::remoteCommand(str[2]);
    out.reply("config qel ack set internalcmd #SUCCEED ");
}

void cmdHdmiOut(char** str, ReplySink& out) {
    if (strncmp(str[2], "on", 2) == 0) {
        puts("open HDMI output ");
        SAMPLE_COMM_HdmiOnOff(HI_TRUE);
        out.reply("config qel ack set hdmiout #SUCCEED ");
    } else if (strncmp(str[2], "off", 3) == 0) {
        puts("close HDMI output ");
        SAMPLE_COMM_HdmiOnOff(HI_FALSE);
        out.reply("config qel ack set hdmiout #SUCCEED ");
    } else {
        out.reply("config qel ack set hdmiout #FAILED ");
    }
}
