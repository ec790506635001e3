// Clearing whole screen families: the live wall, the unicast screens and the multicast screen,
// each sending its known decoders back to their empty state; and the light "tx" forms that take
// only the sources out of the windows. Known decoders are those of the decoder table whose
// address equals a cell's or slot's exactly, visited in table order.
#include <string>
#include <vector>

#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

const int kDecoderKind = 1;

void emptyWin(VWin& live, VWin& org) {
    live.url.clear();
    live.name.clear();
    org.url.clear();
    org.name.clear();
}

// The addresses of the decoder table, in table order (a record without one reaches nothing,
// and would match every free cell).
std::vector<std::string> decoderAddresses(DevServer& dev, std::vector<std::string>* names) {
    ArrayList<Decoder> decoders;
    dev.iGetQelDecoderDevices(decoders);
    std::vector<std::string> ips;
    for (ArrayListNode<Decoder>* node = decoders.head->next; node && node->data;
         node = node->next) {
        if (node->data->ip.empty()) continue;
        ips.push_back(node->data->ip);
        if (names) names->push_back(node->data->name);
    }
    return ips;
}

}  // namespace

void VSServer::resetWallCellWindows(int c) {
    const int columns = iScreenColumns > 0 ? iScreenColumns : 1;
    const int left = vsWrapInt(1LL * (c % columns) * iRScreenWidth);
    const int top = vsWrapInt(1LL * (c / columns) * iRScreenHeight);
    const int first = VS_CELL_WINDOWS * c;
    createScreenWin(left, top, iRScreenWidth, iRScreenHeight, 1, first);
    createScreenWinPos(left, top, iRScreenWidth, iRScreenHeight, 1, first);
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
        emptyWin(*pVWin[first + k], *pVWinOrg[first + k]);
        saveIniWin(first + k);
    }
}

int VSServer::cmdVSSetClearScreen(char*, unsigned) {
    if (!pVScreen) return 0;
    const int cells = vsGridCells(iScreenRows, iScreenColumns);
    for (int c = 0; c < cells; ++c) resetWallCellWindows(c);

    std::vector<std::string> names;
    const std::vector<std::string> ips = decoderAddresses(devServer, &names);
    VSTextBatch batch(*this);
    for (size_t d = 0; d < ips.size(); ++d)
        for (int c = 0; c < cells; ++c) {
            if (pVScreen->ip[c] != ips[d]) continue;
            devServer.iUpdateQelDevice(kDecoderKind, ips[d], names[d], 1);
            batch.sendAll(ips[d], vsResetTexts(ips[d]));
        }

    for (int c = 0; c < cells; ++c) {
        pVScreen->ip[c].clear();
        pVScreen->splitnum[c] = 1;
        pVScreen->name[c].clear();
    }
    // The grid keys and the emptied cells, built whole and saved once.
    rewriteWallFile(true);
    return 0;
}

int VSServer::cmdVSSetClearUnicast(char*, unsigned) {
    if (!pUnicast) return 0;
    for (int s = 0; s < UNICAST_SLOTS; ++s) {
        const int first = VS_CELL_WINDOWS * s;
        createUnicastWin(0, 0, iRScreenWidth, iRScreenHeight, 1, first);
        createUnicastWinPos(0, 0, iRScreenWidth, iRScreenHeight, 1, first);
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
            emptyWin(*pUWin[first + k], *pUWinOrg[first + k]);
            if (confUWin[first + k]) confUWin[first + k]->Remove();
        }
    }

    std::vector<std::string> names;
    const std::vector<std::string> ips = decoderAddresses(devServer, &names);
    VSTextBatch batch(*this);
    for (size_t d = 0; d < ips.size(); ++d)
        for (int s = 0; s < UNICAST_SLOTS; ++s) {
            if (pUnicast->ip[s] != ips[d]) continue;
            pUnicast->ip[s].clear();
            pUnicast->name[s].clear();
            pUnicast->splitnum[s] = 1;
            confUnicast->WriteString(vsNumbered("unicastip_%02d", s), "", false);
            confUnicast->WriteString(vsNumbered("unicastname_%02d", s), "", false);
            confUnicast->WriteInt(vsNumbered("unicastsplitnum_%02d", s), 1, true);
            devServer.iUpdateQelDevice(kDecoderKind, ips[d], names[d], 1);
            batch.sendAll(ips[d], vsResetTexts(ips[d]));
        }
    return 0;
}

int VSServer::cmdVSSetClearMulticast(char*, unsigned) {
    if (!pMulticast || pMulticast->winUrl.empty() || !pVScreen || !pUnicast) return 0;
    const int cells = vsGridCells(iScreenRows, iScreenColumns);
    for (int c = 0; c < cells; ++c) resetWallCellWindows(c);

    // Every decoder, whatever screen holds it; the sending thread sets its split number when
    // it sends the split text.
    VSTextBatch batch(*this);
    for (const std::string& ip : decoderAddresses(devServer, nullptr)) {
        batch.sendAll(ip, vsResetTexts(ip));
        for (int s = 0; s < UNICAST_SLOTS; ++s) {
            if (pUnicast->ip[s] != ip) continue;
            for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
                const int w = VS_CELL_WINDOWS * s + k;
                emptyWin(*pUWin[w], *pUWinOrg[w]);
                saveIniUniWin(w);
            }
        }
    }
    clearMulticast();
    return 0;
}

int VSServer::cmdVSSetClearScreenTX(char*, unsigned) {
    if (!pVScreen) return 0;
    const int cells = vsGridCells(iScreenRows, iScreenColumns);
    VSTextBatch batch(*this);
    for (const std::string& ip : decoderAddresses(devServer, nullptr))
        for (int c = 0; c < cells; ++c) {
            if (pVScreen->ip[c] != ip) continue;
            batch.sendAll(ip, vsResetUrlTexts(ip));
            for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
                const int w = VS_CELL_WINDOWS * c + k;
                emptyWin(*pVWin[w], *pVWinOrg[w]);
                saveIniWin(w);
            }
        }
    return 0;
}

int VSServer::cmdVSSetClearUnicastTX(char*, unsigned) {
    if (!pUnicast) return 0;
    VSTextBatch batch(*this);
    for (const std::string& ip : decoderAddresses(devServer, nullptr))
        for (int s = 0; s < UNICAST_SLOTS; ++s) {
            if (pUnicast->ip[s] != ip) continue;
            batch.sendAll(ip, vsResetUrlTexts(ip));
            for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
                const int w = VS_CELL_WINDOWS * s + k;
                emptyWin(*pUWin[w], *pUWinOrg[w]);
                saveIniUniWin(w);
            }
        }
    return 0;
}

int VSServer::cmdVSSetClearMulticastTX(char* cmd, unsigned flag) {
    return cmdVSSetClearMulticast(cmd, flag);
}
