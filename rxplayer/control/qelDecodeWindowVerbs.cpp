// The window verbs of the device protocol (split, URL, layer, display, clip, position, video and
// the timed hides) and their older short forms. Geometry goes straight to the player; a URL
// change is stored and handed to the main loop as a change code.
#include <cstdio>
#include <cstring>

#include "box/Box.h"
#include "control/qelDecode.h"
#include "control/qelDecodeServer.h"
#include "control/qelDecodeSettings.h"

namespace {

bool inRange(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

// Window 16 of the wire is slot 17 (the sixth window of the 18-window model).
int windowField(const char* field) {
    int w = fieldNumber(field);
    return w == 16 ? 17 : w;
}

bool validSplit(int split) {
    return split == 1 || split == 4 || split == 5 || split == 16;
}

// Starts the resume timer: the windows suspended now are shown again main_loop_Hide_TCnt ticks
// (of 200 ms) later.
void armResumeTimer() {
    main_loop_delay_Count2 = main_loop_delay_Count1.load();
    main_loop_need_compare = 1;
}

// A hide of seconds lasts five ticks a second, 30 s at most; -1 for a negative time.
int hideTicks(int seconds) {
    if (seconds < 0) return -1;
    return seconds < 31 ? seconds * 5 : 150;
}

void storeSplitNumber(int split) {
    if (split == iSplit_Num) return;
    iSplit_Num = split;
    saveSplitNumConfig();
}

// Posts change code 4 (geometry or visibility) for a window and wakes the main loop.
void postGeometryChange(int win) {
    {
        std::lock_guard<std::mutex> g(gWinLock);
        update_info[win][0] = 4;
        update_info[win][1] = 0;
    }
    wakeMainLoop();
}

// Posts change code 1 (new URL) for a slot; the caller holds gWinLock and wakes the loop.
void postUrlChangeLocked(int slot) {
    update_info[slot][0] = 1;
    update_info[slot][1] = 2;
}

// The URL of a URL command: the field up to its first line end, comma or blank. False when
// nothing is left or it does not fit a slot.
bool cutUrl(const char* field, char* url, size_t size) {
    size_t n = strcspn(field, "\n, ");
    if (n == 0 || n >= size) return false;
    memcpy(url, field, n);
    url[n] = 0;
    return true;
}

// The replies of one geometry verb: the success text and, for the older verbs, the text sent
// for out-of-range values (nullptr: none); the older verbs reply from the receive socket.
struct WinReplies {
    const char* ok;
    const char* invalid;
    ReplyFrom from;
};

void replyOk(const WinReplies& r, ReplySink& out) {
    out.reply(r.ok, strlen(r.ok), r.from);
}

void replyInvalid(const WinReplies& r, ReplySink& out) {
    if (r.invalid) out.reply(r.invalid, strlen(r.invalid), r.from);
}

bool flag(int v) {
    return v == 0 || v == 1;
}

void layerVerb(char** str, ReplySink& out, const WinReplies& r) {
    int win = windowField(str[2]), layer = fieldNumber(str[3]);
    if (!inRange(win, 0, 17) || !flag(layer)) return replyInvalid(r, out);
    puts("call qelLayerWin()");
    gPlayer.layerWin(win, layer);
    replyOk(r, out);
}

void displayVerb(char** str, ReplySink& out, const WinReplies& r) {
    int win = windowField(str[2]), show = fieldNumber(str[3]);
    if (!inRange(win, 0, 17) || !flag(show)) return replyInvalid(r, out);
    gPlayer.displayWin(win, show);
    postGeometryChange(win);
    replyOk(r, out);
}

// Reads n numbers from the fields; false when any lies outside lo..hi.
bool numbersIn(char** fields, int n, int lo, int hi, int* v) {
    bool ok = true;
    for (int i = 0; i < n; ++i) {
        v[i] = fieldNumber(fields[i]);
        ok = ok && inRange(v[i], lo, hi);
    }
    return ok;
}

// Positions: x start and stop 0-1920, y start and stop 0-1080 (inclusive).
bool positionsIn(char** fields, int* v) {
    bool x = numbersIn(fields, 2, 0, 1920, v);
    bool y = numbersIn(fields + 2, 2, 0, 1080, v + 2);
    return x && y;
}

void clipVerb(char** str, ReplySink& out, const WinReplies& r) {
    int win = windowField(str[2]), clip[4];
    bool ok = numbersIn(str + 3, 4, 0, 100, clip);
    int layer = fieldNumber(str[7]), show = fieldNumber(str[8]);
    if (!ok || !inRange(win, 0, 17) || !flag(layer) || !flag(show)) return replyInvalid(r, out);
    puts("call qelClipWin()");
    gPlayer.clipWin(win, clip[0], clip[1], clip[2], clip[3], layer, show);
    replyOk(r, out);
}

void posVerb(char** str, ReplySink& out, const WinReplies& r) {
    int win = windowField(str[2]), pos[4];
    bool ok = positionsIn(str + 3, pos);
    int layer = fieldNumber(str[7]), show = fieldNumber(str[8]);
    if (!ok || !inRange(win, 0, 17) || !flag(layer) || !flag(show)) return replyInvalid(r, out);
    puts("call qelPosWin()");
    gPlayer.posWin(win, pos[0], pos[1], pos[2], pos[3], layer, show);
    postGeometryChange(win);
    replyOk(r, out);
}

void videoVerb(char** str, ReplySink& out, const WinReplies& r) {
    int win = windowField(str[2]), pos[4], clip[4];
    bool ok = positionsIn(str + 3, pos);
    ok = numbersIn(str + 7, 4, 0, 100, clip) && ok;
    int layer = fieldNumber(str[11]), show = fieldNumber(str[12]);
    if (!ok || !inRange(win, 0, 17) || !flag(layer) || !flag(show)) return replyInvalid(r, out);
    puts("call qelVideoWin() ");
    gPlayer.videoWin(win, pos, clip, layer, show);
    postGeometryChange(win);
    replyOk(r, out);
}

// The split command; console is the line printed before the player is asked.
void splitVerb(char** str, ReplySink& out, const char* console) {
    // The second number goes to the player as the windows' layer: one that is no int drops
    // the command (here and in the other split verbs) rather than lay the windows out on
    // another value.
    int split = fieldNumber(str[2]), x;
    if (!validSplit(split) || !fieldInt(str[3], &x)) return;
    out.reply("config qel ack set split params #SUCCEED ");
    puts(console);
    if (gPlayer.checkWhetherNeedSetSplit(iSplit_Num, split) != 1) return;
    gPlayer.setSplitPara(split, x);
    storeSplitNumber(split);
}

// The split command that first hides every window for 30 s, so that the new layout is not seen
// while it is built.
void splitUndisVerb(char** str, ReplySink& out, const char* console, bool store) {
    int split = fieldNumber(str[2]), x;
    if (!validSplit(split) || !fieldInt(str[3], &x)) return;
    out.reply("config qel ack set splitundis params #SUCCEED ");
    for (int w = 0; w < 18; ++w) {
        if (gPlayer.suspendChn(w, 0) == 1) {
            main_loop_Hide_TCnt = 150;
            armResumeTimer();
        }
    }
    puts(console);
    gPlayer.setSplitPara(split, x);
    if (store) storeSplitNumber(split);
}

void storeBoth(int a, int b, const char* url) {
    copyText(param[a], QEL_URL_SIZE, url);
    copyText(param[b], QEL_URL_SIZE, url);
}

// Window 17 and its standby slot 10. The caller holds gWinLock.
void urlForWindow17Locked(const char* url) {
    if (ChannelUse[5] == 17) {
        storeBoth(17, 10, url);
        if (open_result[17] != 0) {
            postUrlChangeLocked(17);
        } else {
            ChannelUse[5] = 10;
            postUrlChangeLocked(10);
        }
    } else {
        storeBoth(10, 17, url);
        ChannelUse[5] = 17;
        postUrlChangeLocked(17);
    }
}

// Windows 0-4 and their standby slots 5-9: a playing window gets its new source in the slot
// that is not showing, so the old picture stays until the new stream plays. The caller holds
// gWinLock.
void urlForWindowLocked(int win, const char* url) {
    storeBoth(win, win + 5, url);
    if (ChannelUse[win] > 4) {
        ChannelUse[win] = win;
    } else if (open_result[win] == 0) {
        ChannelUse[win] = win + 5;
    } else {
        postUrlChangeLocked(win);
        return;
    }
    int slot = ChannelUse[win];
    postUrlChangeLocked(slot);
    printf("\nupdate_info[%d][0] = 1\n", slot);
    printf("\nparam[%d]: %s \n", slot, param[slot]);
}

// A new URL for a window slot through its standby pair; false (no reply) when the window is
// out of range or the URL is empty, too long or already stored.
bool setUrlWithStandby(int win, const char* field) {
    char url[QEL_URL_SIZE];
    if (!inRange(win, 0, QEL_SLOTS - 1) || !cutUrl(field, url, sizeof url)) return false;
    {
        std::lock_guard<std::mutex> g(gWinLock);
        if (strcmp(param[win], url) == 0) return false;
        copyText(param[win], QEL_URL_SIZE, url);
    }
    int index = -1;
    if (win == 17) {
        if (gPlayer.suspendChn(17, 0) == 1) armResumeTimer();
        index = 5;
        std::lock_guard<std::mutex> g(gWinLock);
        urlForWindow17Locked(url);
    } else if (win <= 4) {
        if (gPlayer.suspendChn(win, 1) == 1) armResumeTimer();
        index = win;
        std::lock_guard<std::mutex> g(gWinLock);
        printf("\nChannelUse[%d]: %d \n\n\n", win, ChannelUse[win]);
        urlForWindowLocked(win, url);
    }
    if (index >= 0) {
        wakeMainLoop();
        int slot;
        {
            std::lock_guard<std::mutex> g(gWinLock);
            slot = ChannelUse[index];
        }
        gPlayer.updateChannelPre(index, slot);
    }
    saveIni();
    return true;
}

// The simple URL form: the URL is taken whole and stored for the slot alone, which the main
// loop reopens; false when nothing was done.
bool setUrlSimple(int win, const char* url) {
    size_t n = strlen(url);
    if (!inRange(win, 0, QEL_SLOTS - 1) || n >= QEL_URL_SIZE || strspn(url, "\n, ") == n)
        return false;
    {
        std::lock_guard<std::mutex> g(gWinLock);
        if (strcmp(param[win], url) == 0) return false;
        copyText(param[win], QEL_URL_SIZE, url);
    }
    saveIni();
    {
        std::lock_guard<std::mutex> g(gWinLock);
        open_result[win] = -1;
        postUrlChangeLocked(win);
    }
    wakeMainLoop();
    return true;
}

const WinReplies kLayer{"config qel ack set layer params #SUCCEED ", nullptr, ReplyFrom::AckSocket};
const WinReplies kDisplay{"config qel ack set display params #SUCCEED ", nullptr,
                          ReplyFrom::AckSocket};
const WinReplies kClip{"config qel ack set clip params #SUCCEED ", nullptr, ReplyFrom::AckSocket};
const WinReplies kPos{"config qel ack set pos params #SUCCEED ", nullptr, ReplyFrom::AckSocket};
const WinReplies kVideo{"config qel ack set video params #SUCCEED ", nullptr, ReplyFrom::AckSocket};
const WinReplies kOldLayer{"SetLayer:OK", "SetLayerPara invalid", ReplyFrom::CommandSocket};
const WinReplies kOldDisplay{"SetDisplay:OK", "SetDisplayPara invalid", ReplyFrom::CommandSocket};
const WinReplies kOldClip{"SetClip:OK", "SetClipPara invalid", ReplyFrom::CommandSocket};
const WinReplies kOldPos{"SetPos:OK", "SetPosPara invalid", ReplyFrom::CommandSocket};
const WinReplies kOldVideo{"SetVideo:OK", "SetVideoPara invalid", ReplyFrom::CommandSocket};

// The longest file name of "SetSysCmd": "cat " and the name fit the 100-byte command buffer.
const size_t kMaxSysCmdFile = 100 - 1 - 4;

// One path of letters, digits and "/._-": nothing the shell would read as more than a name.
bool plainPath(const char* name) {
    size_t n = strlen(name);
    if (n == 0 || n > kMaxSysCmdFile) return false;
    return strspn(name, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-") == n;
}

// The slots below n (at most the player's 18) whose stored URL contains part, into out; their
// count.
int slotsPlaying(int n, const char* part, int* out) {
    int count = 0;
    std::lock_guard<std::mutex> g(gWinLock);
    for (int slot = 0; slot < n && slot < QEL_PLAYER_SLOTS; ++slot)
        if (strstr(param[slot], part) != nullptr) out[count++] = slot;
    return count;
}

}  // namespace

void cmdSplitParams(char** str, ReplySink& out) {
    splitVerb(str, out, "call Normal SetSplitPara() ");
}

void cmdTcpSplitParams(char** str, ReplySink& out) {
    splitVerb(str, out, "call SetSplitPara()");
}

void cmdSplitUndisParams(char** str, ReplySink& out) {
    splitUndisVerb(str, out, "call splitundis SetSplitPara() ", true);
}

void cmdTcpSplitUndisParams(char** str, ReplySink& out) {
    splitUndisVerb(str, out, "call qelSetSplitPara()", false);
}

// The url field of a URL command; an empty one (the controller's text for a source without
// that stream ends in the blank before it) clears the window, as "unused_window" does.
static const char* urlOrUnused(const char* field) {
    return field[0] == 0 ? "unused_window" : field;
}

void cmdUrlParams(char** str, ReplySink& out) {
    if (setUrlWithStandby(windowField(str[2]), urlOrUnused(str[3])))
        out.reply("config qel ack set url params #SUCCEED ");
}

void cmdTcpUrlParams(char** str, ReplySink& out) {
    if (setUrlSimple(windowField(str[2]), urlOrUnused(str[3])))
        out.reply("config qel ack set url params #SUCCEED ");
}

void cmdLayerParams(char** str, ReplySink& out) {
    layerVerb(str, out, kLayer);
}

void cmdDisplayParams(char** str, ReplySink& out) {
    displayVerb(str, out, kDisplay);
}

void cmdClipParams(char** str, ReplySink& out) {
    clipVerb(str, out, kClip);
}

void cmdPosParams(char** str, ReplySink& out) {
    posVerb(str, out, kPos);
}

void cmdVideoParams(char** str, ReplySink& out) {
    videoVerb(str, out, kVideo);
}

void cmdNormalHideParams(char** str, ReplySink& out) {
    int win = windowField(str[2]), ticks = hideTicks(fieldNumber(str[3]));
    if (!inRange(win, 0, 17) || ticks < 0) return;
    main_loop_Hide_TCnt = ticks;
    if (gPlayer.suspendChn(win, 0) == 1) armResumeTimer();
    out.reply("config qel set normal hide params #SUCCEED ");
}

// Sets the common resume time after a controller has hidden windows on several decoders.
void cmdMulHideParams(char** str, ReplySink&) {
    int ticks = hideTicks(fieldNumber(str[2]));
    if (ticks < 0) return;
    main_loop_Hide_TCnt = ticks;
    armResumeTimer();
}

void cmdSetSysCmd(char** str, ReplySink&) {
    if (!plainPath(str[2])) {
        puts("SetSysCmd: not a plain file name, refused");
        return;
    }
    char cmd[100];
    snprintf(cmd, sizeof cmd, "cat %s", str[2]);
    box::system(cmd);
}

// The sync values take any int; one that is not a number, or too big for an int, drops the
// command rather than acting on another value.
void cmdSetSyncMode(char** str, ReplySink&) {
    int mode;
    if (!fieldInt(str[1], &mode)) return;
    printf("SetSyncMode = %d \n", mode);
    iDisplayCurInfoIP = 1;
    gPlayer.setSyncClose(mode);
}

void cmdSetSyncTimeOffset(char** str, ReplySink&) {
    printf("SetSyncTimeOffset = %s \n", str[0]);
    printf("invalidPara = %d \n", 0);
    printf("str[1] = %s str[2] = %s str[3] = %s \n", str[1], str[2], str[3]);
    int offset;
    if (!fieldInt(str[3], &offset)) return;
    int slots[QEL_PLAYER_SLOTS];
    int n = slotsPlaying(QEL_PLAYER_SLOTS, str[2], slots);
    for (int i = 0; i < n; ++i) gPlayer.setSyncOffset(slots[i], offset);
}

void cmdSetSyncTime(char** str, ReplySink&) {
    int timeBase, offset;
    if (!fieldInt(str[3], &timeBase) || !fieldInt(str[4], &offset)) return;
    int slots[QEL_PLAYER_SLOTS];
    int n = slotsPlaying(windows, str[2], slots);
    for (int i = 0; i < n; ++i) gPlayer.setSync(slots[i], timeBase, offset);
}

void cmdSetSplitPara(char** str, ReplySink&) {
    int split = fieldNumber(str[2]), x;
    if (!validSplit(split) || !fieldInt(str[3], &x)) return;
    puts("call SetSplitPara()");
    gPlayer.setSplitPara(split, x);
}

void cmdSetUrlPara(char** str, ReplySink&) {
    setUrlSimple(windowField(str[2]), str[3]);
}

void cmdSetLayerPara(char** str, ReplySink& out) {
    layerVerb(str, out, kOldLayer);
}

void cmdSetDisplayPara(char** str, ReplySink& out) {
    displayVerb(str, out, kOldDisplay);
}

void cmdSetClipPara(char** str, ReplySink& out) {
    clipVerb(str, out, kOldClip);
}

void cmdSetPosPara(char** str, ReplySink& out) {
    posVerb(str, out, kOldPos);
}

void cmdSetVideoPara(char** str, ReplySink& out) {
    videoVerb(str, out, kOldVideo);
}
