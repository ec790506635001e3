// What every reply builder shares: the document of a reply as root keys holding lists of
// items, its acknowledgement, and the rendering into the caller's bounded buffer (with the cut
// of a reply that does not fit). Internal to the reply builders.
#pragma once

#include <json/json.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "core/ArrayList.h"
#include "core/Device.h"
#include "core/WallRecords.h"

namespace reply {

// One root key and the items that go under it, in list order.
struct Part {
    std::string key;
    std::vector<Json::Value> items;
    // The key holds the last item itself rather than an array of them.
    bool single = false;
    // What the key holds when no item is kept.
    Json::Value empty;
    // No item kept: leave the key out instead of setting it to empty.
    bool omitWhenEmpty = false;
};

struct Reply {
    enum class Ack {
        None,    // no "ack" member
        Object,  // "ack": {...} (the old acknowledgement)
        Array,   // "ack": [{...}]
    };

    explicit Reply(const char* builderName) : builder(builderName) {}

    // Adds a part and gives it back for filling (the reference holds until the next part()).
    Part& part(const std::string& key);
    // Makes the acknowledgement: filled with cmd and the status word when cmd is given, a null
    // item otherwise.
    void setAck(Ack kind, unsigned int status, const char* cmd);

    const char* builder;  // the name the cut's log line shows
    std::vector<Part> parts;
    // Without an acknowledgement: the whole document is null when no part keeps an item.
    bool nullWhenEmpty = true;
    Ack ack = Ack::None;
    bool ackFilled = false;
    std::string cmd;
    bool success = false;
};

// Renders the reply into out (at most outSize bytes with the NUL) as the header of the reply
// builders says: whole, else cut to the longest fitting prefix of its items, else its empty
// form (status "failure" when items were dropped), with cmd cut when even that does not fit.
// Writes nothing for a null out or an outSize of 0.
void emit(const Reply& reply, char* out, size_t outSize);

// The three shapes over one root key.
// Plain list reply: {key: [items]}, the text "null" without items.
void emitList(const char* builder, const char* key, std::vector<Json::Value> items, char* out,
              size_t outSize);
// Single-object reply: {key: last item}, the text "null" without items.
void emitSingle(const char* builder, const char* key, std::vector<Json::Value> items, char* out,
                size_t outSize);
// List reply with acknowledgement: {key: [items] or null, "ack": [item]}.
void emitListAck(const char* builder, const char* key, std::vector<Json::Value> items, char* out,
                 size_t outSize, unsigned int status, const char* cmd);

// The longest prefix of text that takes at most maxBytes bytes and does not end inside a UTF-8
// sequence.
std::string utf8Prefix(const std::string& text, size_t maxBytes);

// The acknowledgement item {"cmd": cmd, "status": "success" | "failure"}.
Json::Value ackItem(const std::string& cmd, bool success);

// Value words shared by several replies.
// Device kinds by their two low bits: "encoder", "decoder", "ctrl", "null".
const char* kindName(int kind);
// 0 "CBR", else "VBR".
const char* rateControlWord(int ratecontrol);
// An encoder's audio source or destination: 0 "EMB", else "EXT".
const char* encoderAudioWord(int audio);
// A decoder's audio output: 0 "EXT", else "EMB".
const char* decoderAudioWord(int audiooutput);
// "url_00" and "url_01" from the encoder's two stream URLs.
void setStreamUrls(Json::Value& item, const Encoder& e);

// The keys of a wall screen ("vsrow" ... "vsdevnamelist[%d]") from the live wall or a scene's
// wall.
void setWallScreen(Json::Value& item, const VScreen& s);
void setWallScreen(Json::Value& item, const VSenceScreen& s);

// Number of cells of a rows x columns grid, never more than the 16 a record holds.
int cellCount(int rows, int columns);

// A key printed from a format holding one %d (keys such as "vsdeviplist[%d]").
std::string indexedKey(const char* format, int index);

// Calls f with each element of the list, in list order.
template <typename T, typename F>
void forEachElement(ArrayList<T>& list, F f) {
    ArrayListNode<T>* node = list.head->next;
    for (int i = 0; i < list.count && node && node->data; ++i, node = node->next) f(*node->data);
}

// The items of a list whose item value is carried from one element to the next: set(item, e)
// fills the item from an element and, when it returns a bool, says whether the element is
// listed (otherwise every element is).
template <typename T, typename F>
std::vector<Json::Value> carriedItems(ArrayList<T>& list, F set) {
    std::vector<Json::Value> items;
    Json::Value item;
    forEachElement(list, [&](T& e) {
        if constexpr (std::is_void_v<decltype(set(item, e))>) {
            set(item, e);
            items.push_back(item);
        } else if (set(item, e)) {
            items.push_back(item);
        }
    });
    return items;
}

// The first element, or null for an empty list.
template <typename T>
T* firstElement(ArrayList<T>& list) {
    return list.count > 0 ? list.head->next->data : nullptr;
}

}  // namespace reply
