// The window and screen replies.
#include <cstdio>
#include <string>
#include <vector>

#include "core/AddressMatch.h"
#include "device/DevServer.h"
#include "reply/ReplyBuilders.h"
#include "reply/ReplyFrame.h"

using reply::indexedKey;

namespace {

// How a window is written as one text.
enum class WinForm {
    Comma,    // "win,used,layer,visible,hStart,hEnd,vStart,vEnd,winId,text"
    Blank,    // the same separated by blanks
    Display,  // "display window used layer ... winId text", display = win / 5, window = win % 5
};

// The window text, at most 1023 bytes: a trailing text too long for that is cut at a character
// boundary.
std::string windowText(const VWin& w, WinForm form, const std::string& trailing) {
    char text[1024] = {0};
    // The u32 fields print as signed 32-bit numbers.
    const int rect[5] = {static_cast<int>(w.hStart), static_cast<int>(w.hEnd),
                         static_cast<int>(w.vStart), static_cast<int>(w.vEnd),
                         static_cast<int>(w.winId)};
    int n;
    if (form == WinForm::Comma)
        n = snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%d,%d,%d,", w.win, w.used, w.layer,
                     w.visible, rect[0], rect[1], rect[2], rect[3], rect[4]);
    else if (form == WinForm::Blank)
        n = snprintf(text, sizeof text, "%d %d %d %d %d %d %d %d %d ", w.win, w.used, w.layer,
                     w.visible, rect[0], rect[1], rect[2], rect[3], rect[4]);
    else
        n = snprintf(text, sizeof text, "%d %d %d %d %d %d %d %d %d %d ", w.win / 5, w.win % 5,
                     w.used, w.layer, w.visible, rect[0], rect[1], rect[2], rect[3], rect[4]);
    if (n < 0) n = 0;
    return std::string(text, n) + reply::utf8Prefix(trailing, sizeof text - 1 - n);
}

// One item {key: window text} per window, the text ending in what trailing gives for it.
template <typename F>
std::vector<Json::Value> windowItems(ArrayList<VWin>& list, const char* key, WinForm form,
                                     F trailing) {
    return reply::carriedItems(
        list, [&](Json::Value& item, VWin& w) { item[key] = windowText(w, form, trailing(w)); });
}

std::vector<Json::Value> namedWindows(ArrayList<VWin>& list, const char* key, WinForm form) {
    return windowItems(list, key, form, [](const VWin& w) { return w.name; });
}

// Windows in the blank or display form ending in the address of their source encoder: the
// last encoder in table order whose whole address occurs in the window's URL (one copy of the
// encoder table for the whole reply).
void buildSourceWindows(const char* builder, WinForm form, DevServer& dev, ArrayList<VWin>& list,
                        char* out, size_t outSize, unsigned int status, char* cmd) {
    std::vector<std::string> addresses;
    {
        ArrayList<Encoder> encoders;
        dev.iGetQelEncoderDevices(encoders);
        reply::forEachElement(encoders, [&](Encoder& e) { addresses.push_back(e.ip); });
    }
    auto source = [&](const VWin& w) {
        std::string found;
        for (const std::string& a : addresses)
            if (addressInText(w.url, a)) found = a;
        return found;
    };
    reply::emitListAck(builder, "vswininfo", windowItems(list, "vwval", form, source), out, outSize,
                       status, cmd);
}

template <typename Screen>
void setWallScreenOf(Json::Value& item, const Screen& s, const std::string* ip,
                     const std::string* name, const int* splitnum) {
    item["vsrow"] = s.rows;
    item["vscolumn"] = s.columns;
    item["vshorcut"] = s.horCut;
    item["vsvercut"] = s.verCut;
    item["vswidth"] = Json::UInt(s.width);
    item["vsheight"] = Json::UInt(s.height);
    for (int k = 0; k < reply::cellCount(s.rows, s.columns); ++k) {
        item[indexedKey("vsdeviplist[%d]", k)] = ip[k];
        item[indexedKey("vssplitnum[%d]", k)] = Json::UInt(splitnum[k]);
        item[indexedKey("vsdevnamelist[%d]", k)] = name[k];
    }
}

}  // namespace

namespace reply {

void setWallScreen(Json::Value& item, const VScreen& s) {
    setWallScreenOf(item, s, s.ip, s.name, s.splitnum);
}

void setWallScreen(Json::Value& item, const VSenceScreen& s) {
    setWallScreenOf(item, s, s.screenIP, s.screenName, s.screenSplitnum);
}

}  // namespace reply

void BuildVsWinJsonString(ArrayList<VWin>& list, char* out, size_t outSize) {
    reply::emitList("BuildVsWinJsonString", "vswininfo",
                    namedWindows(list, "vwval", WinForm::Comma), out, outSize);
}

void BuildUniWinJsonString(ArrayList<VWin>& list, char* out, size_t outSize) {
    reply::emitList("BuildUniWinJsonString", "uniwininfo",
                    namedWindows(list, "unival", WinForm::Comma), out, outSize);
}

void BuildMulWinJsonString(ArrayList<VWin>& list, char* out, size_t outSize) {
    // The multicast screen has one window: only the first element is shown.
    std::vector<Json::Value> items = namedWindows(list, "mulval", WinForm::Comma);
    if (items.size() > 1) items.resize(1);
    reply::emitList("BuildMulWinJsonString", "mulwininfo", std::move(items), out, outSize);
}

void BuildVsSenceWinJsonString(ArrayList<VWin>& list, char* out, size_t outSize,
                               unsigned int status, char* cmd) {
    reply::emitListAck("BuildVsSenceWinJsonString", "vswininfo",
                       namedWindows(list, "vwval", WinForm::Blank), out, outSize, status, cmd);
}

void BuildVsSenceWinsJsonString(DevServer& dev, ArrayList<VWin>& list, char* out, size_t outSize,
                                unsigned int status, char* cmd) {
    buildSourceWindows("BuildVsSenceWinsJsonString", WinForm::Blank, dev, list, out, outSize,
                       status, cmd);
}

void BuildSingleDisWinsJsonString(DevServer& dev, ArrayList<VWin>& list, char* out, size_t outSize,
                                  unsigned int status, char* cmd) {
    buildSourceWindows("BuildSingleDisWinsJsonString", WinForm::Blank, dev, list, out, outSize,
                       status, cmd);
}

void BuildDisWinsJsonString(DevServer& dev, ArrayList<VWin>& list, char* out, size_t outSize,
                            unsigned int status, char* cmd) {
    buildSourceWindows("BuildDisWinsJsonString", WinForm::Display, dev, list, out, outSize, status,
                       cmd);
}

void BuildVsScreenJsonString(ArrayList<VScreen>& list, char* out, size_t outSize) {
    auto items = reply::carriedItems(
        list, [](Json::Value& item, VScreen& s) { reply::setWallScreen(item, s); });
    reply::emitList("BuildVsScreenJsonString", "vsscreeninfo", std::move(items), out, outSize);
}

void BuildUnicastJsonString(ArrayList<Unicast>& list, char* out, size_t outSize) {
    auto items = reply::carriedItems(list, [](Json::Value& item, Unicast& u) {
        item["uniwidth"] = Json::UInt(u.width);
        item["uniheight"] = Json::UInt(u.height);
        item["curindex"] = Json::UInt(u.curIndex);
        // Every slot, empty ones included.
        for (int j = 0; j < UNICAST_SLOTS; ++j) {
            item[indexedKey("uniiplist[%d]", j)] = u.ip[j];
            item[indexedKey("unisplitnum[%d]", j)] = Json::UInt(u.splitnum[j]);
            item[indexedKey("uninamelist[%d]", j)] = u.name[j];
        }
    });
    reply::emitList("BuildUnicastJsonString", "unicastinfo", std::move(items), out, outSize);
}

void BuildRatioJsonString(ArrayList<HVratio>& list, char* out, size_t outSize) {
    auto items = reply::carriedItems(list, [](Json::Value& item, HVratio& r) {
        item["ratioindex"] = Json::UInt(r.index);
        item["ratiohor"] = Json::UInt(r.hor);
        item["ratiover"] = Json::UInt(r.ver);
        item["ratiohoruserdef"] = Json::UInt(r.horUserDef);
        item["ratioveruserdef"] = Json::UInt(r.verUserDef);
    });
    reply::emitList("BuildRatioJsonString", "ratioinfo", std::move(items), out, outSize);
}

void BuildWinModeNameJson(VWMode& modes, char* out, size_t outSize) {
    if (!out) return;
    std::vector<Json::Value> items;
    Json::Value item;
    // The record holds four names whatever the capacity says.
    for (int i = 0; i < modes.modeMax && i < WINMODE_COUNT; ++i) {
        item["modeid"] = i;
        item["modename"] = modes.modeName[i];
        item["modeactive"] = modes.modeActive;
        item["modemax"] = modes.modeMax;
        items.push_back(item);
    }
    reply::emitList("BuildWinModeNameJson", "winmode", std::move(items), out, outSize);
}

void BuildUserModeJsonString(int mode, char* out, size_t outSize) {
    if (!out) return;
    Json::Value item;
    item["mode"] = mode;
    reply::emitSingle("BuildUserModeJsonString", "usermode", {item}, out, outSize);
}
