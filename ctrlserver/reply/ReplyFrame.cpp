#include "reply/ReplyFrame.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/WallRecords.h"

namespace reply {

namespace {

size_t itemCount(const Reply& r) {
    size_t n = 0;
    for (const Part& p : r.parts) n += p.items.size();
    return n;
}

// The document holding the first keep items (the parts in their order), with the
// acknowledgement made from success and cmd.
Json::Value document(const Reply& r, size_t keep, bool success, const std::string& cmd) {
    Json::Value root;
    bool any = false;
    for (const Part& p : r.parts) {
        const size_t n = std::min(keep, p.items.size());
        keep -= n;
        if (n > 0) {
            any = true;
            if (p.single) {
                root[p.key] = p.items[n - 1];
            } else {
                Json::Value& list = root[p.key];
                for (size_t i = 0; i < n; ++i) list.append(p.items[i]);
            }
        } else if (!p.omitWhenEmpty) {
            root[p.key] = p.empty;
        }
    }
    if (r.ack == Reply::Ack::None) return !any && r.nullWhenEmpty ? Json::Value() : root;
    Json::Value item = r.ackFilled ? ackItem(cmd, success) : Json::Value();
    if (r.ack == Reply::Ack::Object)
        root["ack"] = item;
    else
        root["ack"].append(item);
    return root;
}

// One line on standard output, at once: a cut reply is worth seeing in the log as it happens.
__attribute__((format(printf, 1, 2))) void logLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

void copyText(const std::string& text, char* out) {
    memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
}

}  // namespace

Part& Reply::part(const std::string& key) {
    parts.emplace_back();
    parts.back().key = key;
    return parts.back();
}

void Reply::setAck(Ack kind, unsigned int status, const char* text) {
    ack = kind;
    ackFilled = text != nullptr;
    cmd = text ? text : "";
    success = status != 0;
}

void emit(const Reply& r, char* out, size_t outSize) {
    if (!out || outSize == 0) return;
    Json::StyledWriter writer;
    auto render = [&](size_t keep, bool success, const std::string& cmd) {
        return writer.write(document(r, keep, success, cmd));
    };
    auto fits = [&](const std::string& text) { return text.size() < outSize; };

    const size_t total = itemCount(r);
    std::string text = render(total, r.success, r.cmd);
    if (fits(text)) {
        copyText(text, out);
        return;
    }

    // The longest fitting prefix of at least one item: fits(lo) once lo > 0, never fits(hi).
    size_t lo = 0, hi = total;
    std::string best;
    while (hi - lo > 1) {
        const size_t mid = lo + (hi - lo) / 2;
        std::string t = render(mid, r.success, r.cmd);
        if (fits(t)) {
            lo = mid;
            best = std::move(t);
        } else {
            hi = mid;
        }
    }
    if (lo > 0) {
        logLine("%s: reply cut to %zu of %zu elements to fit %zu bytes\n", r.builder, lo, total,
                outSize);
        copyText(best, out);
        return;
    }

    // Not one item fits: the empty form, a failure when it drops items.
    const bool success = total > 0 ? false : r.success;
    text = render(0, success, r.cmd);
    if (total > 0)
        logLine("%s: not one of %zu elements fits %zu bytes\n", r.builder, total, outSize);
    if (fits(text)) {
        copyText(text, out);
        return;
    }

    // The acknowledgement alone does not fit: cut the command text.
    if (r.ack != Reply::Ack::None && r.ackFilled) {
        std::string shortest = render(0, success, std::string());
        if (fits(shortest)) {
            size_t keepLo = 0, keepHi = r.cmd.size();
            best = std::move(shortest);
            while (keepHi - keepLo > 1) {
                const size_t mid = keepLo + (keepHi - keepLo) / 2;
                std::string t = render(0, success, utf8Prefix(r.cmd, mid));
                if (fits(t)) {
                    keepLo = mid;
                    best = std::move(t);
                } else {
                    keepHi = mid;
                }
            }
            logLine("%s: command text cut to %zu of %zu bytes to fit %zu bytes\n", r.builder,
                    utf8Prefix(r.cmd, keepLo).size(), r.cmd.size(), outSize);
            copyText(best, out);
            return;
        }
    }
    logLine("%s: no reply fits %zu bytes\n", r.builder, outSize);
    out[0] = '\0';
}

void emitList(const char* builder, const char* key, std::vector<Json::Value> items, char* out,
              size_t outSize) {
    Reply r(builder);
    r.part(key).items = std::move(items);
    emit(r, out, outSize);
}

void emitSingle(const char* builder, const char* key, std::vector<Json::Value> items, char* out,
                size_t outSize) {
    Reply r(builder);
    Part& p = r.part(key);
    p.single = true;
    if (!items.empty()) p.items.push_back(std::move(items.back()));
    emit(r, out, outSize);
}

void emitListAck(const char* builder, const char* key, std::vector<Json::Value> items, char* out,
                 size_t outSize, unsigned int status, const char* cmd) {
    Reply r(builder);
    r.part(key).items = std::move(items);
    r.setAck(Reply::Ack::Array, status, cmd);
    emit(r, out, outSize);
}

std::string utf8Prefix(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t n = maxBytes;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

Json::Value ackItem(const std::string& cmd, bool success) {
    Json::Value item;
    item["cmd"] = cmd;
    item["status"] = success ? "success" : "failure";
    return item;
}

const char* kindName(int kind) {
    static const char* const names[4] = {"encoder", "decoder", "ctrl", "null"};
    return names[kind & 3];
}

const char* rateControlWord(int ratecontrol) {
    return ratecontrol == 0 ? "CBR" : "VBR";
}

const char* encoderAudioWord(int audio) {
    return audio == 0 ? "EMB" : "EXT";
}

const char* decoderAudioWord(int audiooutput) {
    return audiooutput == 0 ? "EXT" : "EMB";
}

void setStreamUrls(Json::Value& item, const Encoder& e) {
    const std::string* urls[2] = {&e.url0, &e.url1};
    for (int i = 0; i < 2; ++i) {
        char key[64];
        snprintf(key, sizeof key, "url_%02d", i);
        item[key] = *urls[i];
    }
}

int cellCount(int rows, int columns) {
    const int n = rows * columns;
    return n < 0 ? 0 : std::min(n, WALL_CELLS);
}

std::string indexedKey(const char* format, int index) {
    char key[128];
    snprintf(key, sizeof key, format, index);
    return key;
}

}  // namespace reply
