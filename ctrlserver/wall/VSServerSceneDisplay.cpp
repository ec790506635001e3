// Scene display screens: sixteen single decoders per scene and preset, outside the wall grid,
// each with five windows in its own pixels. A decoder goes onto the first free screen of all
// three presets at once; split, windows and sources may then differ per preset. Key writes
// are made first, so a key file that cannot be written refuses the command with nothing
// changed or queued.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerArgs.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerSources.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

const char kSrcKeyword[] = "config set sence display src params";
const char kSplitKeyword[] = "config set sence display split params";
const char kUrlKeyword[] = "config set sence display url params";
const char kWinKeyword[] = "config set sence display win params";
const char kDelKeyword[] = "config del sence display params";
const char kListKeyword[] = "config get sence display list params";
const char kWinsKeyword[] = "config get sence display wins params";
// Each token of these commands is held in 256 bytes.
const size_t kTokenMax = 255;

bool below(int v, int bound) {
    return static_cast<unsigned>(v) < static_cast<unsigned>(bound);
}

bool sceneAndPreset(const VSServer& m, int s, int p) {
    return below(s, VS_SCENES) && below(p, VS_PRESETS) && m.pVSenceScreen[s][p];
}

bool committed(VSServer& m, VSKeyFilesChange& change) {
    if (change.commit()) return true;
    m.envir() << "cannot write " << change.failedFile().c_str() << "\n";
    return false;
}

// The display keys of screen d in one preset file, in their order.
void writeDisplayKeys(QelConfig& conf, int s, int d, const std::string& ip, const std::string& name,
                      int split) {
    conf.WriteInt("disWidth", iSenceRScreenWidth[s], false);
    conf.WriteInt("disHeight", iSenceRScreenHeight[s], false);
    conf.WriteString(vsNumbered("disIP_%02d", d), ip, false);
    conf.WriteString(vsNumbered("disName_%02d", d), name, false);
    conf.WriteInt(vsNumbered("disSplitnum_%02d", d), split, false);
}

void setDisplayRecord(VSenceScreen& rec, int s, int d, const std::string& ip,
                      const std::string& name, int split) {
    rec.disWidth = static_cast<uint32_t>(iSenceRScreenWidth[s]);
    rec.disHeight = static_cast<uint32_t>(iSenceRScreenHeight[s]);
    rec.disIP[d] = ip;
    rec.disName[d] = name;
    rec.disSplitnum[d] = split;
}

// Whether a scene's preset 0 already holds ip in a wall cell or on a display screen.
bool sceneHolds(const VSServer& m, int s, const std::string& ip) {
    const VSenceScreen* rec = m.pVSenceScreen[s][0].get();
    if (!rec) return false;
    const int cells = vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]);
    for (int c = 0; c < cells; ++c)
        if (rec->screenIP[c] == ip) return true;
    for (int d = 0; d < WALL_CELLS; ++d)
        if (rec->disIP[d] == ip) return true;
    return false;
}

}  // namespace

int vsPlaceOnSceneDisplay(VSServer& m, int s, const std::string& ip, const std::string& name,
                          int split, bool emptySources, VSTextBatch& batch) {
    if (!below(s, VS_SCENES) || !m.pVSenceScreen[s][0]) return -1;
    int d = 0;
    while (d < WALL_CELLS && !m.pVSenceScreen[s][0]->disIP[d].empty()) ++d;
    if (d == WALL_CELLS) return -1;
    VSKeyFilesChange change;
    for (int p = 0; p < VS_PRESETS; ++p) {
        if (!m.pVSenceScreen[s][p] || !m.confVSence[s][p]) return -1;
        writeDisplayKeys(change.edit(m.confVSence[s][p]), s, d, ip, name, split);
    }
    if (!committed(m, change)) return -1;
    batch.sendAlways(ip, vsSplitText(ip, split, 0));
    const int w = iSenceRScreenWidth[s], h = iSenceRScreenHeight[s];
    const int first = VS_CELL_WINDOWS * d;
    for (int p = 0; p < VS_PRESETS; ++p) {
        setDisplayRecord(*m.pVSenceScreen[s][p], s, d, ip, name, split);
        if (emptySources)
            m.clearDisplayWinSence(s, p, 0, 0, w, h, split, first);
        else
            m.createDisplayWinSence(s, p, 0, 0, w, h, split, first);
        m.createDisplayWinPosSence(s, p, 0, 0, w, h, split, first);
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) {
            if (emptySources) batch.sendAlways(ip, vsUrlText(ip, k, VS_UNUSED_WINDOW));
            m.saveIniDisWin(s, p, first + k);
        }
    }
    return d;
}

int VSServer::cmdDisplaySetRXScreen(char* cmd, unsigned) {
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!vsReadNumbers(cmd, strlen(kSrcKeyword), kTokenMax, 1, a, &tokens)) return -1;
    const int s = a[0];
    const std::string ip = tokens.size() > 1 ? tokens[1] : std::string();
    if (!below(s, VS_SCENES) || !pVSenceScreen[s][0] || ip.empty()) return -1;
    ArrayList<Decoder> decoders;
    devServer.iGetQelDecoderDevices(decoders);
    const Decoder* found = vsFindDecoder(decoders, ip);
    if (!found) return -1;
    for (int k = 0; k < VS_SCENES; ++k)
        if (sceneHolds(*this, k, ip)) return -1;
    VSTextBatch batch(*this);
    const int d = vsPlaceOnSceneDisplay(*this, s, ip, found->name, found->status, true, batch);
    if (d < 0) return -1;
    batch.sendAlways(ip, vsRxDisplayIpText(ip));
    return d;
}

int VSServer::cmdDisplaySetSplit(char* cmd, unsigned) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kSplitKeyword), kTokenMax, 5, a)) return -1;
    const int s = a[0], p = a[1], d = a[2], split = a[3];
    if (!sceneAndPreset(*this, s, p) || !below(d, WALL_CELLS)) return -1;
    if (split != 1 && split != 4 && split != 5) return -1;
    VSenceScreen& rec = *pVSenceScreen[s][p];
    if (rec.disIP[d].empty()) return -1;
    if (confVSence[s][p]) {
        VSKeyFilesChange change;
        QelConfig& conf = change.edit(confVSence[s][p]);
        conf.WriteString(vsNumbered("disIP_%02d", d), rec.disIP[d], false);
        conf.WriteString(vsNumbered("disName_%02d", d), rec.disName[d], false);
        conf.WriteInt(vsNumbered("disSplitnum_%02d", d), split, false);
        if (!committed(*this, change)) return -1;
    }
    rec.disSplitnum[d] = split;
    const int w = iSenceRScreenWidth[s], h = iSenceRScreenHeight[s];
    const int first = VS_CELL_WINDOWS * d;
    createDisplayWinSence(s, p, 0, 0, w, h, split, first);
    createDisplayWinPosSence(s, p, 0, 0, w, h, split, first);
    for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniDisWin(s, p, first + k);
    VSTextBatch batch(*this);
    batch.sendAlways(rec.disIP[d], vsSplitText(rec.disIP[d], split, a[4]));
    return batch.result();
}

int VSServer::cmdDisplaySetUrl(char* cmd, unsigned) {
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!vsReadNumbers(cmd, strlen(kUrlKeyword), kTokenMax, 4, a, &tokens)) return -1;
    const int s = a[0], p = a[1], d = a[2], k = a[3];
    int stream = 0;
    if (!vsTokenIntAt(tokens, 6, stream)) return -1;
    if (!sceneAndPreset(*this, s, p) || !below(d, WALL_CELLS)) return -1;
    const std::string ip = pVSenceScreen[s][p]->disIP[d];
    if (ip.empty() || !below(k, VS_CELL_WINDOWS)) return -1;
    const std::string kind = tokens.size() > 4 ? tokens[4] : "";
    const std::string addr = tokens.size() > 5 ? tokens[5] : "";
    std::string url, name;
    if (!vsFindSource(devServer, addr, vsSourceTablesOfType(kind), stream, url, name)) return -1;
    // A longer url would come back cut from the window block.
    if (url.size() > VS_WIN_URL_MAX) return -1;

    VSTextBatch batch(*this);
    batch.sendAlways(ip, vsUrlText(ip, k, url));
    const int w = VS_CELL_WINDOWS * d + k;
    for (VWin* rw : {pDisWin[s][p][w].get(), pDisWinOrg[s][p][w].get()}) {
        rw->url = url;
        rw->name = name;
    }
    saveIniDisWin(s, p, w);
    return batch.result();
}

int VSServer::cmdVSSetDisWin(char* cmd, ArrayList<VWin>& list, unsigned) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kWinKeyword), kTokenMax, 8, a)) return -1;
    const int s = a[0], p = a[1], d = a[2], k = a[3];
    if (!sceneAndPreset(*this, s, p) || !below(d, WALL_CELLS) || !below(k, VS_CELL_WINDOWS))
        return -1;
    const int x0 = a[4], x1 = a[5], y0 = a[6], y1 = a[7];
    if (x0 >= x1 || y0 >= y1) {
        printf("window params wrong!\n");
        return -1;
    }
    const std::string ip = pVSenceScreen[s][p]->disIP[d];
    if (ip.empty()) return -1;
    const int first = VS_CELL_WINDOWS * d, w = first + k;
    VWin& win = *pDisWin[s][p][w];
    const VWin& old = *pDisWinOrg[s][p][w];
    win.win = static_cast<uint8_t>(w);
    win.layer = 0;
    win.visible = 1;
    win.hStart = static_cast<uint32_t>(x0);
    win.hEnd = static_cast<uint32_t>(x1);
    win.vStart = static_cast<uint32_t>(y0);
    win.vEnd = static_cast<uint32_t>(y1);
    win.url = old.url;
    win.name = old.name;
    cmdVSSetDisWinState(s, p, w);

    VSTextBatch batch(*this);
    for (int i = first; i < first + VS_CELL_WINDOWS; ++i)
        if (pDisWinOrg[s][p][i]->visible && !pDisWin[s][p][i]->visible)
            batch.send(ip, vsDisplayText(ip, i % VS_CELL_WINDOWS, false));
    for (int i = first; i < first + VS_CELL_WINDOWS; ++i)
        if (!pDisWinOrg[s][p][i]->visible && pDisWin[s][p][i]->visible)
            batch.send(ip, vsDisplayText(ip, i % VS_CELL_WINDOWS, true));
    batch.send(ip, vsVideoText(ip, k, x0, x1, y0, y1, 0, 100, 0, 100));

    const int changed = vsStampWindows(pDisWin[s][p], pDisWinOrg[s][p], first, VS_CELL_WINDOWS, w,
                                       list, [&](int i) { saveIniDisWin(s, p, i); });
    return batch.result() < 0 ? -1 : changed;
}

int VSServer::cmdDisplaySetDelRX(char* cmd, unsigned) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kDelKeyword), kTokenMax, 2, a)) return -1;
    const int s = a[0], d = a[1];
    if (!below(s, VS_SCENES) || !below(d, WALL_CELLS) || !pVSenceScreen[s][0]) return -1;
    const std::string ip = pVSenceScreen[s][0]->disIP[d];
    if (ip.empty()) return -1;
    VSKeyFilesChange change;
    for (int p = 0; p < VS_PRESETS; ++p) {
        if (!pVSenceScreen[s][p] || !confVSence[s][p]) return -1;
        writeDisplayKeys(change.edit(confVSence[s][p]), s, d, "", "", 1);
    }
    if (!committed(*this, change)) return -1;
    VSTextBatch batch(*this);
    batch.sendAlways(ip, vsSplitText(ip, 1, 0));
    const int w = iSenceRScreenWidth[s], h = iSenceRScreenHeight[s];
    const int first = VS_CELL_WINDOWS * d;
    for (int p = 0; p < VS_PRESETS; ++p) {
        setDisplayRecord(*pVSenceScreen[s][p], s, d, "", "", 1);
        clearDisplayWinSence(s, p, 0, 0, w, h, 1, first);
        createDisplayWinPosSence(s, p, 0, 0, w, h, 1, first);
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniDisWin(s, p, first + k);
    }
    return batch.result();
}

int VSServer::cmdVSGetSenceDisplay(char* cmd, ArrayList<VSenceScreen>& list, unsigned) {
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!vsReadNumbers(cmd, strlen(kListKeyword), kTokenMax, 2, a, &tokens) || tokens.empty())
        return -1;
    if (!sceneAndPreset(*this, a[0], a[1])) return -1;
    list.add(new VSenceScreen(pVSenceScreen[a[0]][a[1]].get()));
    return 1;
}

int VSServer::cmdVSGetDisWins(char* cmd, ArrayList<VWin>& list, unsigned) {
    std::vector<int> a;
    if (!vsReadNumbers(cmd, strlen(kWinsKeyword), kTokenMax, 2, a)) return -1;
    const int s = a[0], p = a[1];
    if (!sceneAndPreset(*this, s, p)) return -1;
    const VSenceScreen& rec = *pVSenceScreen[s][p];
    int listed = 0;
    for (int d = 0; d < WALL_CELLS; ++d) {
        if (rec.disIP[d].empty()) continue;
        for (int k = 0; k < rec.disSplitnum[d] && k < VS_CELL_WINDOWS; ++k) {
            const int w = VS_CELL_WINDOWS * d + k;
            VWin* copy = new VWin(*pDisWin[s][p][w]);
            copy->win = static_cast<uint8_t>(w);
            list.add(copy);
            ++listed;
        }
    }
    return listed;
}
