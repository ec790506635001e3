// Which roles a decoder serves (live-wall cell, scene-wall cell, scene display, unicast
// slot), the carrying of a decoder's unicast state into the walls that show it, and the
// decoders no scene uses. Decoders are known by their IP address text, compared exactly.
// Nothing here queues a decoder command.
#include <algorithm>

#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerUtil.h"

namespace {

// The first unicast slot of ip among those whose split is 1 (matrix) or is not (multiview),
// or -1.
int unicastSlot(const Unicast* u, const std::string& ip, bool matrix) {
    if (!u) return -1;
    for (int k = 0; k < UNICAST_SLOTS; ++k) {
        if ((u->splitnum[k] == 1) != matrix) continue;
        if (u->ip[k] == ip) return k;
    }
    return -1;
}

// Copies url and name of the five source windows into dest[first..first+4].
void copySources(std::unique_ptr<VWin>* dest, int first, std::unique_ptr<VWin>* source,
                 int sourceFirst) {
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
        VWin* to = dest[first + k].get();
        const VWin* from = source[sourceFirst + k].get();
        if (!to || !from) continue;
        to->url = from->url;
        to->name = from->name;
    }
}

}  // namespace

int VSServer::checkWhetherRXisInsideVideoWall(const char* ip) {
    if (!ip || !*ip) return 0;
    const std::string key(ip);
    for (int s = 0; s < VS_SCENES; ++s) {
        if (!vsSceneValid(*this, s)) continue;
        const int cells = vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]);
        for (int p = 0; p < VS_PRESETS; ++p) {
            const VSenceScreen* rec = pVSenceScreen[s][p].get();
            if (!rec) continue;
            for (int i = 0; i < cells; ++i)
                if (rec->screenIP[i] == key) return 1;
        }
    }
    if (pVScreen) {
        const int cells = vsGridCells(iScreenRows, iScreenColumns);
        for (int i = 0; i < cells; ++i)
            if (pVScreen->ip[i] == key) return 1;
    }
    return 0;
}

int VSServer::blCheckRXisMultiView(const char* ip, int& split) {
    if (!ip || !*ip) return 0;
    const int k = unicastSlot(pUnicast.get(), ip, false);
    if (k < 0) return 0;
    split = pUnicast->splitnum[k];
    return checkWhetherRXisInsideVideoWall(ip) == 0 ? 1 : 0;
}

int VSServer::blCheckRXisMatrix(const char* ip) {
    if (!ip || !*ip) return 0;
    if (unicastSlot(pUnicast.get(), ip, true) < 0) return 0;
    return checkWhetherRXisInsideVideoWall(ip) == 0 ? 1 : 0;
}

int VSServer::checkUnicastRXisUsed(const char* ip, int split) {
    if (!ip || !*ip || !pUnicast) return 0;
    const int cur = iUnicastCurIndex;
    if (cur < 0 || cur >= UNICAST_SLOTS) return 0;
    const std::string key(ip);
    // The current slot must be this decoder's: another decoder's name and sources would be
    // copied into the places that show this one.
    if (pUnicast->ip[cur] != key) return 0;
    const std::string name = pUnicast->name[cur];
    const int source = VS_CELL_WINDOWS * cur;

    // Every live-wall cell that shows the decoder.
    if (pVScreen) {
        const int cells = vsGridCells(iScreenRows, iScreenColumns);
        for (int i = 0; i < cells; ++i) {
            if (pVScreen->ip[i] != key) continue;
            if (confVScreen) {
                confVScreen->WriteString(vsNumbered("screenIP_%02d", i), key, false);
                confVScreen->WriteInt(vsNumbered("screenSplitnum_%02d", i), split, false);
                confVScreen->WriteString(vsNumbered("screenName_%02d", i), name, true);
            }
            pVScreen->ip[i] = key;
            pVScreen->splitnum[i] = split;
            pVScreen->name[i] = name;
            copySources(pVWin, VS_CELL_WINDOWS * i, pUWin, source);
            for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniWin(VS_CELL_WINDOWS * i + k);
        }
    }

    // In each scene, its current preset: only the first wall cell and the first display
    // that preset 0 gives the decoder.
    for (int s = 0; s < VS_SCENES; ++s) {
        const int p = pVSence[s] ? pVSence[s]->curPreset : -1;
        if (p < 0 || p >= VS_PRESETS || !pVSenceScreen[s][0] || !pVSenceScreen[s][p]) continue;
        const VSenceScreen& first = *pVSenceScreen[s][0];
        VSenceScreen& rec = *pVSenceScreen[s][p];
        QelConfig* conf = confVSence[s][p].get();

        const int cells = vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]);
        for (int i = 0; i < cells; ++i) {
            if (first.screenIP[i] != key) continue;
            if (!conf) break;  // the preset's file is not open: its cells are skipped
            conf->WriteString(vsNumbered("screenIP_%02d", i), key, false);
            conf->WriteInt(vsNumbered("screenSplitnum_%02d", i), split, false);
            conf->WriteString(vsNumbered("screenName_%02d", i), name, true);
            rec.screenIP[i] = key;
            rec.screenSplitnum[i] = split;
            rec.screenName[i] = name;
            copySources(pVWinSence[s][p], VS_CELL_WINDOWS * i, pUWin, source);
            for (int k = 0; k < VS_CELL_WINDOWS; ++k)
                saveIniWinSence(s, p, VS_CELL_WINDOWS * i + k);
            break;
        }

        for (int d = 0; d < WALL_CELLS; ++d) {
            if (first.disIP[d] != key) continue;
            if (conf) {
                conf->WriteInt("disWidth", iSenceRScreenWidth[s], false);
                conf->WriteInt("disHeight", iSenceRScreenHeight[s], false);
                conf->WriteString(vsNumbered("disIP_%02d", d), key, false);
                conf->WriteString(vsNumbered("disName_%02d", d), name, false);
                conf->WriteInt(vsNumbered("disSplitnum_%02d", d), split, true);
            }
            rec.disWidth = static_cast<uint32_t>(iSenceRScreenWidth[s]);
            rec.disHeight = static_cast<uint32_t>(iSenceRScreenHeight[s]);
            rec.disIP[d] = key;
            rec.disName[d] = name;
            rec.disSplitnum[d] = split;
            const int firstWin = VS_CELL_WINDOWS * d;
            createDisplayWinSence(s, p, 0, 0, iSenceRScreenWidth[s], iSenceRScreenHeight[s], split,
                                  firstWin);
            createDisplayWinPosSence(s, p, 0, 0, iSenceRScreenWidth[s], iSenceRScreenHeight[s],
                                     split, firstWin);
            copySources(pDisWin[s][p], firstWin, pUWin, source);
            for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniDisWin(s, p, firstWin + k);
            break;
        }
    }
    return 0;
}

int VSServer::cmdVSGetFreeRX(ArrayList<Device>& list) {
    ArrayList<Device> decoders;
    devServer.iGetQelDevicesDecoders(decoders);
    int appended = 0;
    int j = 0;
    for (ArrayListNode<Device>* node = decoders.head->next; node && node->data;
         node = node->next, ++j) {
        const Device& d = *node->data;
        bool used = false;
        for (int s = 0; s < VS_SCENES && !used && !d.ip.empty(); ++s) {
            const VSenceScreen* rec = pVSenceScreen[s][0].get();
            if (!rec) continue;
            const int cells = vsGridCells(rec->rows, rec->columns);
            for (int i = 0; i < cells && !used; ++i) used = rec->screenIP[i] == d.ip;
            for (int k = 0; k < WALL_CELLS && !used; ++k) used = rec->disIP[k] == d.ip;
        }
        if (used) continue;
        list.add(new Device(d, j));
        ++appended;
    }
    return appended;
}
