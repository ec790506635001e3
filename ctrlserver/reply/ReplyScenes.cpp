// The scene replies. All are lists with acknowledgement.
#include <cstdio>
#include <string>
#include <vector>

#include "reply/ReplyBuilders.h"
#include "reply/ReplyFrame.h"

using reply::indexedKey;

namespace {

// The items of a scene list in which every scene starts from an empty item; set says whether
// the scene is listed.
template <typename F>
std::vector<Json::Value> freshItems(ArrayList<VSence>& scenes, F set) {
    std::vector<Json::Value> items;
    reply::forEachElement(scenes, [&](VSence& s) {
        Json::Value item;
        if (set(item, s)) items.push_back(item);
    });
    return items;
}

bool isValid(const VSence& s) {
    return s.valid == 1;
}

void buildIdentifier(const char* builder, const char* root, const char* key, int id, char* out,
                     size_t outSize, unsigned int status, char* cmd) {
    Json::Value item;
    item[key] = id;
    reply::emitListAck(builder, root, {item}, out, outSize, status, cmd);
}

}  // namespace

void BuildVsAckJsonString(int id, char* out, size_t outSize, unsigned int status, char* cmd) {
    buildIdentifier("BuildVsAckJsonString", "senceidinfo", "senceid", id, out, outSize, status,
                    cmd);
}

void BuildDisplayIdAckJsonString(int id, char* out, size_t outSize, unsigned int status,
                                 char* cmd) {
    buildIdentifier("BuildDisplayIdAckJsonString", "disidinfo", "disid", id, out, outSize, status,
                    cmd);
}

void BuildVsSenceJsonString(ArrayList<VSence>& scenes, char* out, size_t outSize,
                            unsigned int status, char* cmd) {
    auto items = freshItems(scenes, [](Json::Value& item, VSence& s) {
        if (!isValid(s)) return false;
        item["senceid"] = s.id;
        item["sencename"] = s.name;
        item["sencepicsrc"] = s.picSrc;
        item["sencecurpreset"] = s.curPreset;
        return true;
    });
    reply::emitListAck("BuildVsSenceJsonString", "vssenceinfo", std::move(items), out, outSize,
                       status, cmd);
}

void BuildVsNewSenceJsonString(ArrayList<VSence>& scenes, char* out, size_t outSize,
                               unsigned int status, char* cmd) {
    auto items = freshItems(scenes, [](Json::Value& item, VSence& s) {
        if (!isValid(s)) return false;
        item["name"] = s.name;
        return true;
    });
    reply::emitListAck("BuildVsNewSenceJsonString", "scenelist", std::move(items), out, outSize,
                       status, cmd);
}

void BuildVsAllNewSenceByIdJsonString(ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& screens,
                                      char* out, size_t outSize, unsigned int status, char* cmd) {
    std::vector<Json::Value> items;
    const VSence* s = reply::firstElement(scenes);
    const VSenceScreen* sc = reply::firstElement(screens);
    if (s && sc) {
        // Scene and preset numbered from 1 here; a grid of 0 shows as 1.
        Json::Value item;
        item["sceneid"] = s->id + 1;
        item["scenename"] = s->name;
        item["scenecurpreset"] = s->curPreset + 1;
        item["scenerows"] = sc->rows == 0 ? 1 : sc->rows;
        item["scenecolumns"] = sc->columns == 0 ? 1 : sc->columns;
        item["scenehorcut"] = sc->horCut;
        item["scenevercut"] = sc->verCut;
        items.push_back(item);
    }
    reply::emitListAck("BuildVsAllNewSenceByIdJsonString", "sceneinfo", std::move(items), out,
                       outSize, status, cmd);
}

void BuildVsAllNewSenceJsonString(ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& screens,
                                  char* out, size_t outSize, unsigned int status, char* cmd) {
    std::vector<Json::Value> items;
    const VSence* s = reply::firstElement(scenes);
    const VSenceScreen* sc = reply::firstElement(screens);
    if (s && sc && isValid(*s)) {
        Json::Value item;
        item["scenename"] = s->name;
        item["scenecurpreset"] = s->curPreset;
        for (int k = 0; k < reply::cellCount(sc->rows, sc->columns); ++k)
            item[indexedKey("vw_rx_%02d", k)] = sc->screenName[k];
        for (int d = 0; d < WALL_CELLS; ++d)
            if (!sc->disName[d].empty()) item[indexedKey("dis_rx_%02d", d)] = sc->disName[d];
        items.push_back(item);
    }
    reply::emitListAck("BuildVsAllNewSenceJsonString", "scenemember", std::move(items), out,
                       outSize, status, cmd);
}

void BuildVsNewSencevwJsonString(ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& screens,
                                 char* out, size_t outSize, unsigned int status, char* cmd) {
    // Scene i goes with screen i; a scene without a screen is not listed.
    std::vector<const VSenceScreen*> screenOf;
    reply::forEachElement(screens, [&](VSenceScreen& sc) { screenOf.push_back(&sc); });
    size_t i = 0;
    auto items = freshItems(scenes, [&](Json::Value& item, VSence& s) {
        const VSenceScreen* sc = i < screenOf.size() ? screenOf[i] : nullptr;
        ++i;
        if (!sc || !isValid(s)) return false;
        item["scenename"] = s.name;
        item["scenevwrows"] = sc->rows;
        item["scenevwcolumns"] = sc->columns;
        item["scenevwcutedgehor"] = sc->horCut;
        item["scenevwcutedgever"] = sc->verCut;
        for (int k = 0; k < reply::cellCount(sc->rows, sc->columns); ++k)
            item[indexedKey("screen_%02d", k)] = sc->screenName[k];
        return true;
    });
    reply::emitListAck("BuildVsNewSencevwJsonString", "videowalllist", std::move(items), out,
                       outSize, status, cmd);
}

void BuildVsSenceScreenJsonString(ArrayList<VSenceScreen>& screens, char* out, size_t outSize,
                                  unsigned int status, char* cmd) {
    auto items = reply::carriedItems(
        screens, [](Json::Value& item, VSenceScreen& sc) { reply::setWallScreen(item, sc); });
    reply::emitListAck("BuildVsSenceScreenJsonString", "vsscreeninfo", std::move(items), out,
                       outSize, status, cmd);
}

void BuildVsSenceDisplayListJsonString(ArrayList<VSenceScreen>& screens, char* out, size_t outSize,
                                       unsigned int status, char* cmd) {
    int shown = 0;
    auto items = reply::carriedItems(screens, [&](Json::Value& item, VSenceScreen& sc) {
        item["diswidth"] = Json::UInt(sc.disWidth);
        item["disheight"] = Json::UInt(sc.disHeight);
        for (int d = 0; d < WALL_CELLS; ++d) {
            if (sc.disIP[d].empty()) continue;
            item[indexedKey("disdeviplist[%d]", d)] = sc.disIP[d];
            item[indexedKey("dissplitnum[%d]", d)] = Json::UInt(sc.disSplitnum[d]);
            item[indexedKey("disdevnamelist[%d]", d)] = sc.disName[d];
            ++shown;
        }
    });
    reply::Reply r("BuildVsSenceDisplayListJsonString");
    reply::Part& p = r.part("vsdisplayinfo");
    // No display with an address in a non-empty list: an empty array rather than null.
    if (shown > 0)
        p.items = std::move(items);
    else if (screens.count > 0)
        p.empty = Json::Value(Json::arrayValue);
    r.setAck(reply::Reply::Ack::Array, status, cmd);
    reply::emit(r, out, outSize);
}

void BuildVsAllSenceJsonString(ArrayList<VSenceScreen>& screens, char* out, size_t outSize,
                               unsigned int status, char* cmd) {
    reply::Reply r("BuildVsAllSenceJsonString");
    reply::Part& p = r.part("vsallsenceinfo");
    p.empty = Json::Value(Json::arrayValue);
    if (screens.count > 0) {
        // One object numbering the cells of every screen in turn.
        Json::Value item;
        int n = 0;
        reply::forEachElement(screens, [&](VSenceScreen& sc) {
            for (int j = 0; j < reply::cellCount(sc.rows, sc.columns); ++j, ++n)
                item[indexedKey("vsdeviplist[%d]", n)] = sc.screenIP[j];
        });
        item["vsdevipnum"] = n;
        p.items.push_back(item);
    }
    r.setAck(reply::Reply::Ack::Array, status, cmd);
    reply::emit(r, out, outSize);
}
