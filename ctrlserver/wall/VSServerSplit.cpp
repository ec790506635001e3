// A live-wall cell's split and its decoder: setting the split, placing a decoder into a cell,
// freeing a cell, and the repair of the windows that spill into or out of a cell whose layout
// is rebuilt.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerArgs.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

const char kSplitKeyword[] = "config set vs split params";
const char kSrcKeyword[] = "config set vs src params";
const char kDelSrcKeyword[] = "config del vs src params";
const size_t kSplitTokenMax = 255;
const size_t kSrcTokenMax = 127;
// The split command's cell number for every cell at once.
const int kEveryCell = 255;

bool validSplit(int split) {
    return split == 1 || split == 4 || split == 5;
}

}  // namespace

int VSServer::resendWallWindow(int w) {
    const VWin& rec = *pVWin[w];
    char text[128];
    snprintf(text, sizeof text, "config set vs win params %d %d %d %d %d", w,
             static_cast<int>(rec.hStart), static_cast<int>(rec.hEnd), static_cast<int>(rec.vStart),
             static_cast<int>(rec.vEnd));
    ArrayList<VWin> discarded;
    return cmdVSSetWin(text, discarded, 1);
}

void VSServer::repairCellOverlap(int s, int kOld) {
    const int cells = vsGridCells(iScreenRows, iScreenColumns);
    const int own = std::min(std::max(kOld, 0), VS_CELL_WINDOWS);
    bool entangled = false;
    for (int k = 0; k < own && !entangled; ++k)
        for (int t = 0; t < cells && !entangled; ++t)
            entangled = checkWhetherOrgWindowIsOverlapScreen_2(VS_CELL_WINDOWS * s + k, t) == 0;
    for (int j = 0; j < VS_CELL_WINDOWS * cells && !entangled; ++j)
        entangled = checkWhetherOrgWindowIsOverlapScreen_2(j, s) == 0;
    if (!entangled) return;
    int x, y, w, h;
    wallCellRect(s, x, y, w, h);
    resetScreenWin(x, y, w, h, kOld, VS_CELL_WINDOWS * s);
    for (int k = 0; k < own; ++k) resendWallWindow(VS_CELL_WINDOWS * s + k);
}

void VSServer::clearMulticast() {
    storeMulticast("", "");
}

int VSServer::cmdVSSetSplit(char* cmd, unsigned flag) {
    std::vector<int> a;
    if (!pVScreen || !vsReadNumbers(cmd, strlen(kSplitKeyword), kSplitTokenMax, 3, a)) return -1;
    const int screen = a[0], split = a[1], x = a[2];
    const int cells = liveWallCells();
    if (!validSplit(split) || x != 0) return -1;
    if (screen != kEveryCell && (screen < 0 || screen >= cells)) return -1;
    if (!wallTextsFit()) return -1;

    VScreen& rec = *pVScreen;
    int kOld = 0;
    if (screen == kEveryCell) {
        // Decoders and the stored layout carry the new split, so every cell records it.
        for (int c = 0; c < cells; ++c) rec.splitnum[c] = split;
    } else {
        kOld = rec.splitnum[screen];
        rec.splitnum[screen] = split;
    }
    rewriteWallFile(true);
    vWinDbl.win = VS_WALL_WINDOWS;
    vWinDbl.used = 0;

    VSTextBatch batch(*this);
    int x0, y0, w, h;
    if (screen == kEveryCell) {
        for (int c = 0; c < cells; ++c) {
            batch.sendAlways(rec.ip[c], vsSplitText(rec.ip[c], split, 0));
            wallCellRect(c, x0, y0, w, h);
            createScreenWin(x0, y0, w, h, split, VS_CELL_WINDOWS * c);
            createScreenWinPos(x0, y0, w, h, split, VS_CELL_WINDOWS * c);
        }
        for (int i = 0; i < VS_CELL_WINDOWS * cells; ++i) saveIniWin(i);
    } else {
        const std::string ip = rec.ip[screen];
        std::string text;
        if (flag) {
            repairCellOverlap(screen, kOld);
            text = vsSplitText(ip, split, 0);
        } else {
            text = vsSplitUndisText(ip, split, 0);
        }
        envir() << "Send: \n" << text.c_str() << "\n";
        batch.sendAlways(ip, text);
        wallCellRect(screen, x0, y0, w, h);
        createScreenWin(x0, y0, w, h, split, VS_CELL_WINDOWS * screen);
        createScreenWinPos(x0, y0, w, h, split, VS_CELL_WINDOWS * screen);
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniWin(VS_CELL_WINDOWS * screen + k);
        if (flag)
            for (int k = 0; k < split; ++k) resendWallWindow(VS_CELL_WINDOWS * screen + k);
    }
    clearMulticast();
    return 0;
}

int VSServer::cmdVSSetRXScreen(char* cmd, unsigned) {
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!pVScreen || !vsReadNumbers(cmd, strlen(kSrcKeyword), kSrcTokenMax, 1, a, &tokens))
        return -1;
    const int s = a[0];
    const std::string address = tokens.size() > 1 ? tokens[1] : std::string();
    if (s < 0 || s >= vsGridCells(iScreenRows, iScreenColumns) || address.empty()) return -1;
    if (!wallTextsFit()) return -1;

    ArrayList<Decoder> decoders;
    devServer.iGetQelDecoderDevices(decoders);
    const Decoder* found = nullptr;
    for (ArrayListNode<Decoder>* node = decoders.head->next; node && node->data && !found;
         node = node->next)
        if (node->data->ip == address) found = node->data;
    if (!found) return -1;
    const int splitDec = found->status;
    const std::string name = found->name;

    VScreen& rec = *pVScreen;
    const int kOld = rec.splitnum[s];
    const bool newDecoder = rec.ip[s] != address;
    const int cells = vsGridCells(iScreenRows, iScreenColumns);
    for (int i = 0; i < cells; ++i) {
        if (i == s || rec.ip[i] != address) continue;
        rec.ip[i].clear();
        rec.name[i].clear();
        rec.splitnum[i] = 0;
        writeCellKeys(i, false);
    }
    for (int j = 0; j < UNICAST_SLOTS; ++j) {
        if (pUnicast->ip[j] != address) continue;
        pUnicast->ip[j].clear();
        pUnicast->name[j].clear();
        pUnicast->splitnum[j] = 1;
        confUnicast->WriteString(vsNumbered("unicastip_%02d", j), "", false);
        confUnicast->WriteString(vsNumbered("unicastname_%02d", j), "", false);
        confUnicast->WriteInt(vsNumbered("unicastsplitnum_%02d", j), 1, true);
    }
    rec.ip[s] = address;
    rec.splitnum[s] = splitDec;
    rec.name[s] = name;
    writeCellKeys(s, true);

    repairCellOverlap(s, kOld);
    VSTextBatch batch(*this);
    batch.sendAlways(address, vsSplitText(address, splitDec, 0));
    batch.sendAlways(address, vsRxDisplayIpText(address));
    const int first = VS_CELL_WINDOWS * s;
    const int x = vsWrapInt(1LL * iRScreenWidth * (s % iScreenColumns));
    const int y = vsWrapInt(1LL * iRScreenHeight * (s / iScreenColumns));
    createScreenWin(x, y, iRScreenWidth, iRScreenHeight, splitDec, first);
    createScreenWinPos(x, y, iRScreenWidth, iRScreenHeight, splitDec, first);
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniWin(first + k);
    batch.sendAlways(address, vsCutEdgeText(address, iScreenHorCut, iScreenVerCut));
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
        if (k < splitDec) resendWallWindow(first + k);
        if (newDecoder) {
            batch.sendAlways(address, vsUrlText(address, k, VS_UNUSED_WINDOW));
            for (VWin* win : {pVWin[first + k].get(), pVWinOrg[first + k].get()}) {
                win->url.clear();
                win->name.clear();
            }
        }
    }
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniWin(first + k);
    return 0;
}

int VSServer::cmdVSDelRXScreen(char* cmd, unsigned) {
    std::vector<int> a;
    if (!pVScreen || !vsReadNumbers(cmd, strlen(kDelSrcKeyword), kSrcTokenMax, 1, a)) return -1;
    const int s = a[0];
    if (s < 0 || s >= vsGridCells(iScreenRows, iScreenColumns)) return -1;
    VScreen& rec = *pVScreen;
    if (rec.ip[s].empty() || rec.splitnum[s] == 0) return 0;
    if (!wallTextsFit()) return -1;
    repairCellOverlap(s, rec.splitnum[s]);
    int x, y, w, h;
    wallCellRect(s, x, y, w, h);
    createScreenWin(x, y, w, h, 1, VS_CELL_WINDOWS * s);
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniWin(VS_CELL_WINDOWS * s + k);
    rec.ip[s].clear();
    rec.splitnum[s] = 1;
    rec.name[s].clear();
    writeCellKeys(s, true);
    return 0;
}
