#include "qelWinPara.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "box/Box.h"

namespace {

const char* const kUnused = "unused_window";

std::string winFile(int iWinId) {
    char name[32];
    snprintf(name, sizeof name, "/mnt/winpara_%02d.ini", iWinId);
    return box::path(name);
}

// Next whitespace-separated word of the file; false at the end.
bool nextToken(FILE* f, std::string* out) {
    out->clear();
    int c;
    while ((c = fgetc(f)) != EOF && isspace(c)) {
    }
    if (c == EOF) return false;
    do {
        if (out->size() < 4096) out->push_back(static_cast<char>(c));
    } while ((c = fgetc(f)) != EOF && !isspace(c));
    return true;
}

bool parseNumber(const std::string& token, HI_U32* value) {
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(token.c_str(), &end, 10);
    if (token.empty() || errno || *end) return false;
    *value = static_cast<HI_U32>(v);
    return true;
}

}  // namespace

int saveWinParaIni(int iWinId) {
    if (iWinId < 0 || iWinId >= QEL_WIN_MAX) return -1;
    const SAMPLE_VOWIN_S& w = sample_vo_win_s[iWinId];
    FILE* f = fopen(winFile(iWinId).c_str(), "w");
    if (!f) {
        printf("mnt file system can not be written!\n");
        return -1;
    }
    // The URL field may be full to the last byte; never read past it.
    size_t urlLen = strnlen(w.url, sizeof w.url);
    if (urlLen == 0)
        fprintf(f, "%s\n", kUnused);
    else
        fprintf(f, "%.*s\n", static_cast<int>(urlLen), w.url);
    fprintf(f, "%s\n", kUnused);
    fprintf(f, "%d\n", static_cast<int>(w.u32xPosStart % 1921));
    fprintf(f, "%d\n", static_cast<int>(w.u32xPosStop % 1921));
    fprintf(f, "%d\n", static_cast<int>(w.u32yPosStart % 1081));
    fprintf(f, "%d\n", static_cast<int>(w.u32yPosStop % 1081));
    fprintf(f, "%d\n", w.u8xClipStart % 101);
    fprintf(f, "%d\n", w.u8xClipStop % 101);
    fprintf(f, "%d\n", w.u8yClipStart % 101);
    fprintf(f, "%d\n", w.u8yClipStop % 101);
    fprintf(f, "%d\n", w.u8VideoOrPip & 1);
    fprintf(f, "%d\n", w.u8DisplayEn & 1);
    fclose(f);
    return 0;
}

int checkWinParaIni(int iWinId) {
    if (iWinId < 0 || iWinId >= QEL_WIN_MAX) return -1;
    SAMPLE_VOWIN_S& w = sample_vo_win_s[iWinId];
    std::string path = winFile(iWinId);
    FILE* f = fopen(path.c_str(), "r");
    if (f) {
        std::string token;
        // A URL longer than the field holds is not taken; the record keeps its value.
        for (char* field : {w.url, w.urlSub}) {
            if (nextToken(f, &token) && !token.empty() && token.size() < QEL_WIN_URL_LEN)
                snprintf(field, QEL_WIN_URL_LEN, "%s", token.c_str());
        }
        HI_U32* pos[4] = {&w.u32xPosStart, &w.u32xPosStop, &w.u32yPosStart, &w.u32yPosStop};
        const HI_U32 posMod[4] = {1921, 1921, 1081, 1081};
        for (int i = 0; i < 4; ++i) {
            HI_U32 v;
            if (nextToken(f, &token) && parseNumber(token, &v)) *pos[i] = v;
            *pos[i] %= posMod[i];
        }
        HI_U8* clip[4] = {&w.u8xClipStart, &w.u8xClipStop, &w.u8yClipStart, &w.u8yClipStop};
        for (HI_U8* c : clip) {
            HI_U32 v;
            // The percentage is reduced as read, before it is narrowed to the byte field.
            if (nextToken(f, &token) && parseNumber(token, &v)) *c = static_cast<HI_U8>(v % 101);
            *c %= 101;
        }
        // A flag is reduced to its low bit as the writer stores it, so that what is read is
        // what a save and the next start read again.
        for (HI_U8* flag : {&w.u8VideoOrPip, &w.u8DisplayEn}) {
            HI_U32 v;
            if (nextToken(f, &token) && parseNumber(token, &v)) *flag = static_cast<HI_U8>(v & 1);
            *flag &= 1;
        }
        fclose(f);
        return 0;
    }
    f = fopen(path.c_str(), "w");
    if (!f) {
        printf("mnt file system can not be written!\n");
        return -1;
    }
    SAMPLE_VOWIN_S d;
    memset(&d, 0, sizeof d);
    snprintf(d.url, sizeof d.url, "%s", kUnused);
    snprintf(d.urlSub, sizeof d.urlSub, "%s", kUnused);
    d.u32xPosStop = iWinId == 0 ? 1920 : 480;
    d.u32yPosStop = iWinId == 0 ? 1080 : 270;
    d.u8xClipStop = 100;
    d.u8yClipStop = 100;
    d.u8DisplayEn = iWinId == 0 ? 1 : 0;
    fprintf(f, "%s\n%s\n%u\n%u\n%u\n%u\n%d\n%d\n%d\n%d\n%d\n%d\n", d.url, d.urlSub, d.u32xPosStart,
            d.u32xPosStop, d.u32yPosStart, d.u32yPosStop, d.u8xClipStart, d.u8xClipStop,
            d.u8yClipStart, d.u8yClipStop, d.u8VideoOrPip, d.u8DisplayEn);
    fclose(f);
    w = d;
    return 0;
}
