// Model queries for the replies. Each appends new copies to the caller's list and changes
// nothing in the model. Results: a count or 1 when something was appended, 0 for a
// successful empty answer, -1 for a refused one.
#include <algorithm>
#include <cstring>
#include <vector>

#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"

namespace {

// A window-number argument is read through a buffer of this size on the box.
const size_t kWindowTokenMax = 1279;

const char kGetWin[] = "config get vs win params";
const char kGetUniWin[] = "config get unicast win params";

// The window number after a query's keyword: the first token (none reads 0). False for a
// token too long for its buffer or a number outside the int range.
bool windowArgument(char* cmd, const char* keyword, int& n) {
    std::vector<std::string> tokens;
    if (!vsCommandTokens(cmd, strlen(keyword), kWindowTokenMax, tokens)) return false;
    return vsTokenIntAt(tokens, 0, n);
}

// A copy of win numbered n (8 bits).
VWin* numberedCopy(const VWin& win, int n) {
    VWin* copy = new VWin(win);
    copy->win = static_cast<uint8_t>(n);
    return copy;
}

// Whether the current unicast slot holds a decoder.
bool currentSlotHasDecoder(const Unicast* unicast) {
    return unicast && iUnicastCurIndex >= 0 && iUnicastCurIndex < UNICAST_SLOTS &&
           !unicast->ip[iUnicastCurIndex].empty();
}

int wallCells(const VScreen& screen) {
    return vsGridCells(screen.rows, screen.columns);
}

}  // namespace

int VSServer::cmdVSGetScreen(char*, ArrayList<VScreen>& list, unsigned) {
    if (!pVScreen) return -1;
    VScreen* copy = new VScreen();
    copy->rows = pVScreen->rows;
    copy->columns = pVScreen->columns;
    copy->horCut = pVScreen->horCut;
    copy->verCut = pVScreen->verCut;
    copy->width = pVScreen->width;
    copy->height = pVScreen->height;
    for (int k = 0; k < wallCells(*pVScreen); ++k) {
        copy->ip[k] = pVScreen->ip[k];
        copy->name[k] = pVScreen->name[k];
        copy->splitnum[k] = pVScreen->splitnum[k];
    }
    list.add(copy);
    return 1;
}

int VSServer::cmdVSGetUnicast(char*, ArrayList<Unicast>& list, unsigned) {
    if (!pUnicast) return -1;
    list.add(new Unicast(*pUnicast));
    return 1;
}

int VSServer::cmdVSGetMulWin(ArrayList<VWin>& list, unsigned) {
    const std::string url = pMulticast ? pMulticast->winUrl : "";
    const std::string name = pMulticast ? pMulticast->winUrlName : "";
    list.add(new VWin(0, 1, 0, 1, 0, 0, 0, 0, 0, url, name));
    return 1;
}

int VSServer::cmdVSGetWin(char* cmd, ArrayList<VWin>& list, unsigned) {
    int n = 0;
    if (!windowArgument(cmd, kGetWin, n) || !pVScreen) return -1;
    if (n < 0 || n >= wallCells(*pVScreen) * VS_CELL_WINDOWS) return -1;
    if (!pVWin[n] || !pVWinOrg[n]) return -1;
    // A maximised window is reported at its place before the maximising.
    VWin* item = numberedCopy(*pVWinOrg[n], n);
    item->used = pVWin[n]->used;
    list.add(item);
    return 1;
}

int VSServer::cmdVSGetUniWin(char* cmd, ArrayList<VWin>& list, unsigned) {
    int n = 0;
    if (!windowArgument(cmd, kGetUniWin, n) || n < 0 || n >= VS_UNICAST_WINDOWS) return -1;
    if (!currentSlotHasDecoder(pUnicast.get())) return 0;
    if (!pUWin[n]) return -1;
    list.add(numberedCopy(*pUWin[n], n));
    return 1;
}

int VSServer::cmdVSGetAllWin(char*, ArrayList<VWin>& list, unsigned) {
    if (!pVScreen) return -1;
    int reported = 0;
    for (int c = 0; c < wallCells(*pVScreen); ++c) {
        if (pVScreen->ip[c].empty()) continue;
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
            const int w = VS_CELL_WINDOWS * c + k;
            if (pVWin[w]) list.add(numberedCopy(*pVWin[w], w));
        }
        ++reported;
    }
    return reported > 0 ? reported : -1;
}

int VSServer::cmdVSGetUniAllWin(char*, ArrayList<VWin>& list, unsigned) {
    if (!currentSlotHasDecoder(pUnicast.get())) return 0;
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
        const int w = VS_CELL_WINDOWS * iUnicastCurIndex + k;
        if (pUWin[w]) list.add(numberedCopy(*pUWin[w], w));
    }
    return VS_CELL_WINDOWS;
}
