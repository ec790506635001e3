// Where a decoder stands in the scenes and the live wall, and taking it out of the places a
// command is about to give up for it. Records, key files and window files change; no decoder
// text is queued: the caller tells the decoder what it needs. Each place is cleared with its
// key writes made first: when a key file cannot be written that place stays as it was.
#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerUtil.h"

namespace {

bool keysWritten(VSServer& m, VSKeyFilesChange& change) {
    if (change.commit()) return true;
    m.envir() << "cannot write " << change.failedFile().c_str() << "\n";
    return false;
}

}  // namespace

// Display screen d of scene s, preset 0, becomes free: one full-size window, its window
// files deleted.
static void clearSceneDisplay(VSServer& m, int s, int d) {
    VSenceScreen* rec = m.pVSenceScreen[s][0].get();
    if (!rec || !m.confVSence[s][0]) return;
    const int w = iSenceRScreenWidth[s], h = iSenceRScreenHeight[s];
    VSKeyFilesChange change;
    QelConfig& conf = change.edit(m.confVSence[s][0]);
    conf.WriteInt("disWidth", w, false);
    conf.WriteInt("disHeight", h, false);
    conf.WriteString(vsNumbered("disIP_%02d", d), "", false);
    conf.WriteString(vsNumbered("disName_%02d", d), "", false);
    conf.WriteInt(vsNumbered("disSplitnum_%02d", d), 1, false);
    if (!keysWritten(m, change)) return;
    rec->disWidth = static_cast<uint32_t>(w);
    rec->disHeight = static_cast<uint32_t>(h);
    rec->disIP[d].clear();
    rec->disName[d].clear();
    rec->disSplitnum[d] = 1;
    const int first = VS_CELL_WINDOWS * d;
    m.createDisplayWinSence(s, 0, 0, 0, w, h, 1, first);
    m.createDisplayWinPosSence(s, 0, 0, 0, w, h, 1, first);
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) m.removeIniDisWin(s, 0, first + k);
}

// Wall cell c of scene s becomes free in every preset that has a key file.
static void clearSceneCell(VSServer& m, int s, int c) {
    VSKeyFilesChange change;
    for (int p = 0; p < VS_PRESETS; ++p) {
        if (!m.confVSence[s][p] || !m.pVSenceScreen[s][p]) continue;
        QelConfig& conf = change.edit(m.confVSence[s][p]);
        conf.WriteString(vsNumbered("screenIP_%02d", c), "", false);
        conf.WriteInt(vsNumbered("screenSplitnum_%02d", c), 1, false);
        conf.WriteString(vsNumbered("screenName_%02d", c), "", false);
    }
    if (!keysWritten(m, change)) return;
    for (int p = 0; p < VS_PRESETS; ++p) {
        if (!m.confVSence[s][p] || !m.pVSenceScreen[s][p]) continue;
        VSenceScreen& rec = *m.pVSenceScreen[s][p];
        rec.screenIP[c].clear();
        rec.screenSplitnum[c] = 1;
        rec.screenName[c].clear();
        for (int k = 0; k < VS_CELL_WINDOWS; ++k)
            m.removeIniSenceWin(s, p, VS_CELL_WINDOWS * c + k);
    }
}

// Live-wall cell c becomes free; a free live cell has split 0.
static void clearLiveCell(VSServer& m, int c) {
    if (!m.pVScreen || !m.confVScreen) return;
    VSKeyFilesChange change;
    QelConfig& conf = change.edit(m.confVScreen);
    conf.WriteString(vsNumbered("screenIP_%02d", c), "", false);
    conf.WriteInt(vsNumbered("screenSplitnum_%02d", c), 0, false);
    conf.WriteString(vsNumbered("screenName_%02d", c), "", false);
    if (!keysWritten(m, change)) return;
    m.pVScreen->ip[c].clear();
    m.pVScreen->splitnum[c] = 0;
    m.pVScreen->name[c].clear();
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) m.removeIniWin(VS_CELL_WINDOWS * c + k);
}

int VSServer::iGetRXisInsideSenceId(std::string ip) {
    if (ip.empty()) return -1;
    for (int s = 0; s < VS_SCENES; ++s) {
        if (!vsSceneValid(*this, s)) continue;
        const int cells = vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]);
        for (int p = 0; p < VS_PRESETS; ++p) {
            const VSenceScreen* rec = pVSenceScreen[s][p].get();
            for (int c = 0; rec && c < cells; ++c)
                if (rec->screenIP[c] == ip) return s;
        }
    }
    return -1;
}

int VSServer::iGetRXisInsideVideoWallId(std::string ip) {
    if (ip.empty() || !pVScreen) return -1;
    const int cells = vsGridCells(iScreenRows, iScreenColumns);
    for (int c = 0; c < cells; ++c)
        if (pVScreen->ip[c] == ip) return c;
    return -1;
}

int VSServer::checkRXisUsedInCurSenceDisplayScreen(std::string ip, int s) {
    if (ip.empty() || s < 0 || s >= VS_SCENES || !pVSenceScreen[s][0]) return 0;
    for (int d = 0; d < WALL_CELLS; ++d)
        if (pVSenceScreen[s][0]->disIP[d] == ip) clearSceneDisplay(*this, s, d);
    return 0;
}

int VSServer::checkRXisUsedInOtherSence(std::string ip, int s) {
    if (ip.empty()) return 0;
    for (int t = 0; t < VS_SCENES; ++t) {
        if (t == s || !pVSenceScreen[t][0]) continue;
        const int cells = vsGridCells(iSenceScreenRows[t], iSenceScreenColumns[t]);
        for (int c = 0; c < cells; ++c) {
            if (pVSenceScreen[t][0]->screenIP[c] != ip) continue;
            clearSceneCell(*this, t, c);
            break;
        }
        checkRXisUsedInCurSenceDisplayScreen(ip, t);
    }
    return 0;
}

int VSServer::checkRXisUsed(std::string ip, int s) {
    if (ip.empty()) return 0;
    if (pVScreen) {
        const int cells = vsGridCells(iScreenRows, iScreenColumns);
        for (int c = 0; c < cells; ++c)
            if (pVScreen->ip[c] == ip) clearLiveCell(*this, c);
    }
    return checkRXisUsedInOtherSence(ip, s);
}
