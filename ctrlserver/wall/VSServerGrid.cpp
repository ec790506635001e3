// The live wall's grid and cut edge.
#include <algorithm>
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

const char kScreenKeyword[] = "config set vs screen params";
const char kCutEdgeKeyword[] = "config set vs rowcolumncutedge params";
// Each token is held in a 128-byte field.
const size_t kTokenMax = 127;
// A decoder takes a cut only in 0..8 (8-pixel steps) and answers success for any other while
// ignoring it, so a cut outside that range would be a change reported done that never happens.
const unsigned kCutEdgeMax = 8;

bool cutEdgeTaken(int horCut, int verCut) {
    return static_cast<unsigned>(horCut) <= kCutEdgeMax &&
           static_cast<unsigned>(verCut) <= kCutEdgeMax;
}

// The six grid keys from the working values, not saved.
void writeGridKeys(QelConfig& conf) {
    conf.WriteInt("screenRows", iScreenRows, false);
    conf.WriteInt("screenColumns", iScreenColumns, false);
    conf.WriteInt("screenHorCut", iScreenHorCut, false);
    conf.WriteInt("screenVerCut", iScreenVerCut, false);
    conf.WriteInt("screenWidth", iVScreenWidth, false);
    conf.WriteInt("screenHeight", iVScreenHeight, false);
}

}  // namespace

void VSServer::writeCellKeys(int c, bool save) {
    confVScreen->WriteString(vsNumbered("screenIP_%02d", c), pVScreen->ip[c], false);
    confVScreen->WriteInt(vsNumbered("screenSplitnum_%02d", c), pVScreen->splitnum[c], false);
    confVScreen->WriteString(vsNumbered("screenName_%02d", c), pVScreen->name[c], save);
}

int VSServer::cmdVSSetScreen(char* cmd, unsigned) {
    std::vector<int> a;
    if (!pVScreen || !vsReadNumbers(cmd, strlen(kScreenKeyword), kTokenMax, 4, a)) return -1;
    const int rows = a[0], columns = a[1], horCut = a[2], verCut = a[3];
    if (rows < 1 || rows > 4 || columns < 1 || columns > 4) return -1;
    if (!cutEdgeTaken(horCut, verCut)) return -1;
    if (!wallTextsFit()) return -1;
    const int oldRows = iScreenRows, oldColumns = iScreenColumns;
    const int oldHorCut = iScreenHorCut, oldVerCut = iScreenVerCut;
    const int oldCells = liveWallCells();

    iScreenRows = rows;
    iScreenColumns = columns;
    iScreenHorCut = horCut;
    iScreenVerCut = verCut;
    iVScreenWidth = vsWrapInt(1LL * columns * iRScreenWidth);
    iVScreenHeight = vsWrapInt(1LL * rows * iRScreenHeight);
    VScreen& rec = *pVScreen;
    rec.rows = static_cast<uint8_t>(rows);
    rec.columns = static_cast<uint8_t>(columns);
    rec.horCut = static_cast<uint8_t>(horCut);
    rec.verCut = static_cast<uint8_t>(verCut);
    rec.width = static_cast<uint32_t>(iVScreenWidth);
    rec.height = static_cast<uint32_t>(iVScreenHeight);
    const int cells = rows * columns;
    VSTextBatch batch(*this);

    if (rows == oldRows && columns == oldColumns) {
        if (horCut == oldHorCut && verCut == oldVerCut) return 0;
        confVScreen->WriteInt("screenHorCut", horCut, false);
        confVScreen->WriteInt("screenVerCut", verCut, true);
        for (int c = 0; c < cells; ++c)
            batch.send(rec.ip[c], vsCutEdgeText(rec.ip[c], horCut, verCut));
        return 0;
    }

    // The old grid's decoders go back to their empty state, in cell order.
    for (int c = 0; c < oldCells; ++c) {
        if (rec.ip[c].empty()) continue;
        ArrayList<Decoder> decoders;
        devServer.iGetQelDecoderDevices(decoders);
        for (ArrayListNode<Decoder>* node = decoders.head->next; node && node->data;
             node = node->next)
            if (node->data->ip == rec.ip[c]) batch.sendAll(rec.ip[c], vsResetTexts(rec.ip[c]));
    }
    const int n = std::max(oldCells, cells);
    for (int c = 0; c < n; ++c)
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) removeIniWin(VS_CELL_WINDOWS * c + k);
    // The grid keys go with the emptied cells, so that a restart does not bring the old grid
    // back over the deleted window files; one save after the last cell.
    writeGridKeys(*confVScreen);
    for (int c = 0; c < n; ++c) {
        rec.ip[c].clear();
        rec.splitnum[c] = 1;
        rec.name[c].clear();
        writeCellKeys(c, c == n - 1);
    }
    return 0;
}

int VSServer::rewriteWallFile(bool byCell) {
    const VScreen& rec = *pVScreen;
    const int cells = liveWallCells();
    auto ipKey = [&](QelConfig& conf, int c) {
        conf.WriteString(vsNumbered("screenIP_%02d", c), rec.ip[c], false);
    };
    auto splitKey = [&](QelConfig& conf, int c) {
        conf.WriteInt(vsNumbered("screenSplitnum_%02d", c), rec.splitnum[c], false);
    };
    auto nameKey = [&](QelConfig& conf, int c) {
        conf.WriteString(vsNumbered("screenName_%02d", c), rec.name[c], false);
    };
    return vsRebuildKeyFile(confVScreen, [&](QelConfig& conf) {
        writeGridKeys(conf);
        if (byCell) {
            for (int c = 0; c < cells; ++c) {
                ipKey(conf, c);
                splitKey(conf, c);
                nameKey(conf, c);
            }
            return;
        }
        for (int c = 0; c < cells; ++c) ipKey(conf, c);
        for (int c = 0; c < cells; ++c) splitKey(conf, c);
        for (int c = 0; c < cells; ++c) nameKey(conf, c);
    });
}

int VSServer::cmdVSSetRowColumnCutEdge(char* cmd, unsigned) {
    std::vector<int> a;
    if (!pVScreen || !vsReadNumbers(cmd, strlen(kCutEdgeKeyword), kTokenMax, 2, a)) return -1;
    if (!cutEdgeTaken(a[0], a[1])) return -1;
    if (!wallTextsFit()) return -1;
    iScreenHorCut = a[0];
    iScreenVerCut = a[1];
    pVScreen->horCut = static_cast<uint8_t>(a[0]);
    pVScreen->verCut = static_cast<uint8_t>(a[1]);
    rewriteWallFile(false);
    // Every placed cell gets the cut, even past a free one, so that no decoder is left on the
    // old cut; a free cell still fails the command.
    int result = 0;
    VSTextBatch batch(*this);
    const int cells = liveWallCells();
    for (int c = 0; c < cells; ++c) {
        const std::string& ip = pVScreen->ip[c];
        if (ip.empty()) result = -1;
        batch.send(ip, vsCutEdgeText(ip, iScreenHorCut, iScreenVerCut));
    }
    return batch.result() < 0 ? -1 : result;
}
