// The unicast screens: putting a decoder into a slot, the current slot's split and window
// sources, and placing and toggling unicast windows. One slot is current: the source command
// chooses it, the split and url commands act on its decoder.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerArgs.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerSources.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

const char kSrcKeyword[] = "config set unicast src params";
const char kSplitKeyword[] = "config set unicast split params";
const char kUrlKeyword[] = "config set unicast url params";
const char kWinKeyword[] = "config set unicast win params";
const char kDblKeyword[] = "config set unicast dbl params";
// The source command's tokens fill 128-byte fields, the others 256-byte ones.
const size_t kSrcTokenMax = 127;
const size_t kTokenMax = 255;

int badParams() {
    printf("window params wrong!\n");
    return -1;
}

int32_t s32(uint32_t v) {
    return static_cast<int32_t>(v);
}

bool inUnicastWindows(int w) {
    return w >= 0 && w < VS_UNICAST_WINDOWS;
}

}  // namespace

int VSServer::unicastSlotReady() const {
    const int cur = iUnicastCurIndex;
    if (!pUnicast || cur < 0 || cur >= UNICAST_SLOTS || pUnicast->ip[cur].empty()) return -1;
    return cur;
}

void VSServer::writeUnicastSlotKeys(int s, bool widthAndHeight) {
    QelConfig& conf = *confUnicast;
    if (widthAndHeight) {
        conf.WriteInt("screenWidth", iRScreenWidth, false);
        conf.WriteInt("screenHeight", iRScreenHeight, false);
    }
    conf.WriteString(vsNumbered("unicastip_%02d", s), pUnicast->ip[s], false);
    conf.WriteString(vsNumbered("unicastname_%02d", s), pUnicast->name[s], false);
    conf.WriteInt(vsNumbered("unicastsplitnum_%02d", s), pUnicast->splitnum[s], false);
    conf.WriteInt("unicastCurIndex", pUnicast->curIndex, true);
}

int VSServer::cmdUnicastSetRXScreen(char* cmd, unsigned wallCheck, unsigned) {
    std::string copy(cmd ? cmd : "");
    std::vector<std::string> tokens;
    if (!pUnicast || !confUnicast ||
        !vsCommandTokens(&copy[0], strlen(kSrcKeyword), kSrcTokenMax, tokens))
        return -1;
    const std::string address = tokens.size() > 1 ? tokens[1] : std::string();
    if (address.empty()) return -1;

    ArrayList<Decoder> decoders;
    devServer.iGetQelDecoderDevices(decoders);
    const Decoder* found = nullptr;
    for (ArrayListNode<Decoder>* node = decoders.head->next; node && node->data && !found;
         node = node->next)
        if (node->data->ip == address) found = node->data;
    if (!found) return -1;
    const std::string ip = found->ip, name = found->name;
    const int split = found->status;

    if (wallCheck == 0 && pVScreen) {
        const int cells = vsGridCells(iScreenRows, iScreenColumns);
        for (int c = 0; c < cells; ++c)
            if (pVScreen->ip[c] == ip) return -1;
    }

    Unicast& rec = *pUnicast;
    int slot = -1;
    bool placed = false;
    for (int s = 0; s < UNICAST_SLOTS && slot < 0; ++s)
        if (rec.ip[s] == ip) {
            slot = s;
            placed = true;
        }
    for (int s = 0; s < UNICAST_SLOTS && slot < 0; ++s)
        if (rec.ip[s].empty()) slot = s;
    // Every slot taken: the one after the current (a current slot out of range counts as
    // the last, so the scan starts again at 0).
    if (slot < 0)
        slot = rec.curIndex >= 0 && rec.curIndex < UNICAST_SLOTS - 1 ? rec.curIndex + 1 : 0;

    rec.curIndex = slot;
    iUnicastCurIndex = slot;
    rec.width = iRScreenWidth;
    rec.height = iRScreenHeight;
    rec.ip[slot] = ip;
    rec.name[slot] = name;
    rec.splitnum[slot] = split;
    writeUnicastSlotKeys(slot, true);

    VSTextBatch batch(*this);
    if (!placed) {
        const int first = VS_CELL_WINDOWS * slot;
        batch.sendAlways(ip, vsSplitText(ip, split, 0));
        clearUnicastWin(0, 0, iRScreenWidth, iRScreenHeight, split, first);
        createUnicastWinPos(0, 0, iRScreenWidth, iRScreenHeight, split, first);
        for (int k = 0; k < VS_CELL_WINDOWS; ++k)
            batch.sendAlways(ip, vsUrlText(ip, k, VS_UNUSED_WINDOW));
    }
    batch.sendAlways(ip, vsRxDisplayIpText(ip));
    return 0;
}

int VSServer::cmdUnicastSetSplit(char* cmd, unsigned direct) {
    const int cur = unicastSlotReady();
    if (cur < 0) return -1;
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kSplitKeyword), kTokenMax, 3, a)) return -1;
    const int split = a[1], value = a[2];
    if (split != 1 && split != 4 && split != 5) return -1;

    Unicast& rec = *pUnicast;
    const std::string ip = rec.ip[cur];
    const std::string text =
        direct == 1 ? vsSplitText(ip, split, value) : vsSplitUndisText(ip, split, value);
    if (text.empty()) return -1;

    rec.splitnum[cur] = split;
    writeUnicastSlotKeys(cur, false);
    const int first = VS_CELL_WINDOWS * cur;
    createUnicastWin(0, 0, iRScreenWidth, iRScreenHeight, split, first);
    createUnicastWinPos(0, 0, iRScreenWidth, iRScreenHeight, split, first);
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniUniWin(first + k);

    envir() << "Send: \n" << text.c_str() << "\n";
    VSTextBatch batch(*this);
    batch.sendAlways(ip, text);
    clearMulticast();
    return 0;
}

int VSServer::cmdUnicastSetUrl(char* cmd, unsigned) {
    if (pUnicast) iUnicastCurIndex = pUnicast->curIndex;
    const int cur = unicastSlotReady();
    if (cur < 0) return -1;
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!vsReadNumbers(cmd, strlen(kUrlKeyword), kTokenMax, 1, a, &tokens)) return -1;
    const int w = a[0];
    if (w < 0) {
        envir() << "wrong iWinID is " << w << "!\n";
        return -1;
    }
    if (w >= VS_UNICAST_WINDOWS) return -1;
    const std::string source = tokens.size() > 2 ? tokens[2] : std::string();
    int stream = 0;
    if (!vsTokenIntAt(tokens, 3, stream)) return -1;

    // The decoder is told the url; the window record keeps it with the source's name.
    std::string url = VS_UNUSED_WINDOW, stored, name;
    if (source != "CLEAR") {
        if (vsFindSource(devServer, source, SourceTables::Both, stream, url, name))
            stored = url;
        else
            stored = VS_UNUSED_WINDOW;
    }
    const std::string ip = pUnicast->ip[cur];
    const std::string text = vsUrlText(ip, w % VS_CELL_WINDOWS, url);
    if (text.empty() || url.size() > VS_WIN_URL_MAX) return -1;

    VSTextBatch batch(*this);
    batch.sendAlways(ip, text);
    for (VWin* rec : {pUWin[w].get(), pUWinOrg[w].get()}) {
        rec->url = stored;
        rec->name = name;
    }
    saveIniUniWin(w);
    clearMulticast();
    return 0;
}

int VSServer::placeUnicastWindow(int w, long long h0, long long h1, long long v0, long long v1,
                                 ArrayList<VWin>& list) {
    VWin& live = *pUWin[w];
    live.win = static_cast<uint8_t>(w);
    live.layer = 0;
    live.visible = 1;
    live.hStart = static_cast<uint32_t>(h0);
    live.hEnd = static_cast<uint32_t>(h1);
    live.vStart = static_cast<uint32_t>(v0);
    live.vEnd = static_cast<uint32_t>(v1);
    live.url = pUWinOrg[w]->url;
    live.name = pUWinOrg[w]->name;

    // The texts go to the window's own slot, which need not be the current one.
    const int first = VS_CELL_WINDOWS * (w / VS_CELL_WINDOWS);
    const std::string ip = pUnicast->ip[w / VS_CELL_WINDOWS];
    cmdVSSetUniWinState(w);
    VSTextBatch batch(*this);
    for (int k = 0; k < VS_CELL_WINDOWS; ++k)
        if (pUWinOrg[first + k]->visible && !pUWin[first + k]->visible)
            batch.send(ip, vsDisplayText(ip, k, false));
    for (int k = 0; k < VS_CELL_WINDOWS; ++k)
        if (!pUWinOrg[first + k]->visible && pUWin[first + k]->visible)
            batch.send(ip, vsDisplayText(ip, k, true));
    // Unicast windows show their whole source: never cropped.
    batch.send(ip, vsVideoText(ip, w % VS_CELL_WINDOWS, s32(live.hStart), s32(live.hEnd),
                               s32(live.vStart), s32(live.vEnd), 0, 100, 0, 100));

    // Stacking: a window that has just appeared goes above every visible window before it; a
    // hidden window falls back to its own number.
    long long top = 0;
    int changed = 0;
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
        const int j = first + k;
        VWin& a = *pUWin[j];
        VWin& p = *pUWinOrg[j];
        top = std::max<long long>(top, a.winId);
        if (a.visible) {
            if (!p.visible && p.winId < top) {
                ++top;
                a.winId = p.winId = static_cast<uint32_t>(top);
            }
        } else {
            a.winId = static_cast<uint32_t>(j);
        }
        if (a.visible != p.visible) {
            saveIniUniWin(j);
            if (j != w) list.add(new VWin(a));
            ++changed;
        }
    }
    if (pUWinOrg[w]->winId < top) live.winId = static_cast<uint32_t>(top + 1);
    list.add(new VWin(live));
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) *pUWinOrg[first + k] = *pUWin[first + k];
    saveIniUniWin(w);
    return batch.result() < 0 ? -1 : changed;
}

int VSServer::cmdVSSetUniWin(char* cmd, ArrayList<VWin>& list, unsigned) {
    if (unicastSlotReady() < 0) return -1;
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kWinKeyword), kTokenMax, 5, a)) return badParams();
    const int w = a[0];
    if (!inUnicastWindows(w) || a[2] <= a[1] || a[4] <= a[3]) return badParams();
    if (uWinDbl.used && uWinDblWin == w) uWinDbl.used = 0;
    return placeUnicastWindow(w, a[1], a[2], a[3], a[4], list);
}

int VSServer::cmdVSSetUniDbl(char* cmd, ArrayList<VWin>& list, unsigned) {
    if (unicastSlotReady() < 0) return -1;
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kDblKeyword), kTokenMax, 1, a)) return -1;
    const int w = a[0];
    if (!inUnicastWindows(w)) return -1;
    const VWin& live = *pUWin[w];

    long long h0, h1, v0, v1;
    if (uWinDbl.used && uWinDblWin == w) {
        h0 = s32(uWinDbl.hStart);
        h1 = s32(uWinDbl.hEnd);
        v0 = s32(uWinDbl.vStart);
        v1 = s32(uWinDbl.vEnd);
        uWinDbl.used = 0;
        return placeUnicastWindow(w, h0, h1, v0, v1, list);
    }

    // The split places of the slot holding the window's corners (the last holder counts).
    // A window without a place of its own, or a corner no place holds, has no full-window
    // view: refused, nothing changed.
    if (!pUWinPos[w]->used) return -1;
    const int first = VS_CELL_WINDOWS * (w / VS_CELL_WINDOWS);
    const long long cx[4] = {s32(live.hStart), s32(live.hEnd), s32(live.hStart), s32(live.hEnd)};
    const long long cy[4] = {s32(live.vStart), s32(live.vStart), s32(live.vEnd), s32(live.vEnd)};
    const WinPos* holder[4] = {nullptr, nullptr, nullptr, nullptr};
    for (int c = 0; c < 4; ++c)
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
            const WinPos& p = *pUWinPos[first + k];
            if (p.x0 <= cx[c] && cx[c] <= p.x1 && p.y0 <= cy[c] && cy[c] <= p.y1) holder[c] = &p;
        }
    for (const WinPos* p : holder)
        if (!p) return -1;
    h0 = std::min(holder[0]->x0, holder[2]->x0);
    v0 = std::min(holder[0]->y0, holder[1]->y0);
    h1 = std::max(holder[1]->x1, holder[3]->x1);
    v1 = std::max(holder[2]->y1, holder[3]->y1);

    uWinDbl.used = 1;
    uWinDbl.win = static_cast<uint8_t>(w);
    uWinDblWin = w;
    uWinDbl.layer = live.layer;
    uWinDbl.visible = live.visible;
    uWinDbl.hStart = live.hStart;
    uWinDbl.hEnd = live.hEnd;
    uWinDbl.vStart = live.vStart;
    uWinDbl.vEnd = live.vEnd;
    return placeUnicastWindow(w, h0, h1, v0, v1, list);
}
