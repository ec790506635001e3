// Decoders into and out of a scene named by its name: onto its display screens, off its
// display screens and wall cells, and off its wall with the wall repaired and the decoder
// reset. Decoders are named by alias or host name and handled in the order given.
#include <cstring>
#include <string>
#include <vector>

#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

bool committed(VSServer& m, VSKeyFilesChange& change) {
    if (change.commit()) return true;
    m.envir() << "cannot write " << change.failedFile().c_str() << "\n";
    return false;
}

}  // namespace

int VSServer::cmdDisplaySetNewRXScreen(char* cmd, unsigned) {
    std::vector<std::string> w;
    if (!vsWords(cmd, strlen("scene rx add"), 200, w)) return -1;
    const int s = vsSceneByName(*this, w.empty() ? "" : w[0]);
    if (s < 0 || w.size() < 2 || !pVSenceScreen[s][0]) return -1;
    ArrayList<Decoder> decoders;
    devServer.iGetQelDecoderDevices(decoders);
    int result = -1;
    for (size_t t = 1; t < w.size(); ++t) {
        const std::string ip = vsDeviceAddress(*this, w[t]);
        if (ip.empty()) return -1;
        const Decoder* dec = vsFindDecoder(decoders, ip);
        if (!dec) return -1;
        // Out of the live wall and the other scenes first, also when this scene turns it away.
        checkRXisUsed(ip, s);
        const VSenceScreen& rec = *pVSenceScreen[s][0];
        bool inScene = false;
        for (int c = 0; c < vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]); ++c)
            inScene = inScene || rec.screenIP[c] == ip;
        for (int d = 0; d < WALL_CELLS; ++d) inScene = inScene || rec.disIP[d] == ip;
        if (inScene) {
            result = -1;
            continue;
        }
        VSTextBatch batch(*this);
        result = vsPlaceOnSceneDisplay(*this, s, ip, dec->name, dec->status, false, batch);
        if (result < 0) return -1;
    }
    return result;
}

int VSServer::cmdDisplaySetNewDelRX(char* cmd, unsigned) {
    std::vector<std::string> w;
    if (!vsWords(cmd, strlen("scene rx remove"), 200, w)) return -1;
    const int s = vsSceneByName(*this, w.empty() ? "" : w[0]);
    if (s < 0) return -1;
    const int cells = vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]);
    const int width = iSenceRScreenWidth[s], height = iSenceRScreenHeight[s];
    for (size_t t = 1; t < w.size(); ++t) {
        const std::string ip = vsDeviceAddress(*this, w[t]);
        if (ip.empty()) continue;
        for (int p = 0; p < VS_PRESETS; ++p) {
            if (!pVSenceScreen[s][p] || !confVSence[s][p]) continue;
            VSenceScreen& rec = *pVSenceScreen[s][p];
            int c = 0, d = 0;
            while (c < cells && rec.screenIP[c] != ip) ++c;
            while (d < WALL_CELLS && rec.disIP[d] != ip) ++d;
            if (c == cells && d == WALL_CELLS) continue;
            VSKeyFilesChange change;
            QelConfig& conf = change.edit(confVSence[s][p]);
            if (c < cells) {
                conf.WriteString(vsNumbered("screenIP_%02d", c), "", false);
                conf.WriteString(vsNumbered("screenName_%02d", c), "", false);
                conf.WriteInt(vsNumbered("screenSplitnum_%02d", c), 1, false);
            }
            if (d < WALL_CELLS) {
                conf.WriteInt("disWidth", width, false);
                conf.WriteInt("disHeight", height, false);
                conf.WriteString(vsNumbered("disIP_%02d", d), "", false);
                conf.WriteString(vsNumbered("disName_%02d", d), "", false);
                conf.WriteInt(vsNumbered("disSplitnum_%02d", d), 1, false);
            }
            if (!committed(*this, change)) return -1;
            // The cell's windows stay as they are.
            if (c < cells) {
                rec.screenIP[c].clear();
                rec.screenName[c].clear();
                rec.screenSplitnum[c] = 1;
            }
            if (d < WALL_CELLS) {
                rec.disWidth = static_cast<uint32_t>(width);
                rec.disHeight = static_cast<uint32_t>(height);
                rec.disIP[d].clear();
                rec.disName[d].clear();
                rec.disSplitnum[d] = 1;
                clearDisplayWinSence(s, p, 0, 0, width, height, 1, VS_CELL_WINDOWS * d);
                createDisplayWinPosSence(s, p, 0, 0, width, height, 1, VS_CELL_WINDOWS * d);
                for (int k = 0; k < VS_CELL_WINDOWS; ++k)
                    saveIniDisWin(s, p, VS_CELL_WINDOWS * d + k);
            }
        }
    }
    return 0;
}

int VSServer::cmdvwVSDelRXSenceScreen(char* cmd, unsigned) {
    std::vector<std::string> w;
    if (!vsWords(cmd, strlen("vw rx remove"), 20, w)) return -1;
    const int s = vsSceneByName(*this, w.empty() ? "" : w[0]);
    if (s < 0 || !pVSence[s]) return -1;
    const int cur = pVSence[s]->curPreset;
    ArrayList<Decoder> decoders;
    devServer.iGetQelDecoderDevices(decoders);
    for (size_t t = 1; t < w.size(); ++t) {
        const std::string ip = vsDeviceAddress(*this, w[t]);
        if (ip.empty()) continue;
        bool stood = false;
        for (int p = 0; p < VS_PRESETS; ++p) {
            if (!pVSenceScreen[s][p]) continue;
            VSenceScreen& rec = *pVSenceScreen[s][p];
            const int n = vsGridCells(rec.rows, rec.columns);
            int i = 0;
            while (i < n && rec.screenIP[i] != ip) ++i;
            if (i == n) continue;
            stood = true;
            if (vsSceneCellCrossed(*this, s, p, i, rec.screenSplitnum[i])) {
                if (p == cur)
                    vsReplaceSceneCell(*this, s, cur, i, rec.screenSplitnum[i]);
                else
                    vsRelayoutScenePreset(*this, s, p);
            }
            if (!confVSence[s][p]) continue;
            VSKeyFilesChange change;
            QelConfig& conf = change.edit(confVSence[s][p]);
            conf.WriteString(vsNumbered("screenIP_%02d", i), "", false);
            conf.WriteInt(vsNumbered("screenSplitnum_%02d", i), 1, false);
            conf.WriteString(vsNumbered("screenName_%02d", i), "", false);
            if (!committed(*this, change)) return -1;
            rec.screenIP[i].clear();
            rec.screenName[i].clear();
            rec.screenSplitnum[i] = 1;
            for (int k = 0; k < VS_CELL_WINDOWS; ++k)
                removeIniSenceWin(s, p, VS_CELL_WINDOWS * i + k);
        }
        // Once per decoder that stood in the wall of any preset.
        if (stood && vsFindDecoder(decoders, ip)) {
            VSTextBatch batch(*this);
            batch.sendAll(ip, vsResetTexts(ip));
        }
    }
    return 0;
}
