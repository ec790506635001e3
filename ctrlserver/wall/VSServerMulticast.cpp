// The multicast screen: one source on every decoder at once, split 1 with the source in
// window 0. Wall cells first in cell order, then unicast slots in slot order, then every other
// decoder in table order; the wall and unicast records follow what the decoders now show.
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

const char kUrlKeyword[] = "config set multicast url params";
const size_t kTokenMax = 255;

// Split 1, the url in window 0, nothing in windows 1 to 4.
std::vector<std::string> multicastTexts(const std::string& ip, const std::string& url) {
    std::vector<std::string> texts{vsSplitText(ip, 1, 0), vsUrlText(ip, 0, url)};
    for (int k = 1; k < VS_CELL_WINDOWS; ++k) texts.push_back(vsUrlText(ip, k, VS_UNUSED_WINDOW));
    return texts;
}

// Window first shows the source, the other four of its cell nothing.
void showInFirstWindow(std::unique_ptr<VWin>* live, std::unique_ptr<VWin>* org, int first,
                       const std::string& url, const std::string& name) {
    for (int k = 0; k < VS_CELL_WINDOWS; ++k)
        for (VWin* rec : {live[first + k].get(), org[first + k].get()}) {
            rec->url = k == 0 ? url : std::string();
            rec->name = k == 0 ? name : std::string();
        }
}

}  // namespace

void VSServer::storeMulticast(const std::string& url, const std::string& name) {
    pMulticast->winUrl = url;
    pMulticast->winUrlName = name;
    vsRebuildKeyFile(confMulticast, [&](QelConfig& conf) {
        conf.WriteString("winUrl", url, false);
        conf.WriteString("winUrlName", name, false);
    });
}

int VSServer::cmdMulticastSetUrl(char* cmd, unsigned) {
    std::vector<int> a;
    std::vector<std::string> tokens;
    if (!pVScreen || !vsReadNumbers(cmd, strlen(kUrlKeyword), kTokenMax, 1, a, &tokens)) return -1;
    if (a[0] < 0) {
        envir() << "wrong iWinID is " << a[0] << "!\n";
        return -1;
    }
    const std::string type = tokens.size() > 1 ? tokens[1] : std::string();
    const std::string source = tokens.size() > 2 ? tokens[2] : std::string();
    int stream = 0;
    if (!vsTokenIntAt(tokens, 3, stream)) return -1;
    std::string url = VS_UNUSED_WINDOW, name;
    if (source != "CLEAR" &&
        !vsFindSource(devServer, source, vsSourceTablesOfType(type), stream, url, name))
        return -1;
    if (url.size() > VS_WIN_URL_MAX) return -1;

    // Which decoders get the texts, in order: a free cell has no decoder to reach.
    const int cells = vsGridCells(iScreenRows, iScreenColumns);
    std::vector<std::string> targets;
    for (int c = 0; c < cells; ++c) targets.push_back(pVScreen->ip[c]);
    for (int s = 0; s < UNICAST_SLOTS; ++s)
        if (!pUnicast->ip[s].empty()) targets.push_back(pUnicast->ip[s]);
    ArrayList<Decoder> decoders;
    devServer.iGetQelDecoderDevices(decoders);
    for (ArrayListNode<Decoder>* node = decoders.head->next; node && node->data;
         node = node->next) {
        const std::string& ip = node->data->ip;
        bool shown = false;
        for (int c = 0; c < cells && !shown; ++c) shown = pVScreen->ip[c] == ip;
        for (int s = 0; s < UNICAST_SLOTS && !shown; ++s) shown = pUnicast->ip[s] == ip;
        if (!shown) targets.push_back(ip);
    }
    for (const std::string& ip : targets)
        for (const std::string& t : multicastTexts(ip, url))
            if (!ip.empty() && t.empty()) return -1;

    storeMulticast(source == "CLEAR" ? std::string() : url, name);
    VSTextBatch batch(*this);
    size_t next = 0;
    const int columns = iScreenColumns > 0 ? iScreenColumns : 1;
    for (int c = 0; c < cells; ++c) {
        batch.sendAll(targets[next], multicastTexts(targets[next], url));
        ++next;
        confVScreen->WriteInt(vsNumbered("screenSplitnum_%02d", c), 1, true);
        pVScreen->splitnum[c] = 1;
        const int x = vsWrapInt(1LL * iRScreenWidth * (c % columns));
        const int y = vsWrapInt(1LL * iRScreenHeight * (c / columns));
        createScreenWin(x, y, iRScreenWidth, iRScreenHeight, 1, VS_CELL_WINDOWS * c);
        createScreenWinPos(x, y, iRScreenWidth, iRScreenHeight, 1, VS_CELL_WINDOWS * c);
        showInFirstWindow(pVWin, pVWinOrg, VS_CELL_WINDOWS * c, url, name);
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniWin(VS_CELL_WINDOWS * c + k);
    }
    for (int s = 0; s < UNICAST_SLOTS; ++s) {
        if (pUnicast->ip[s].empty()) continue;
        batch.sendAll(targets[next], multicastTexts(targets[next], url));
        ++next;
        confUnicast->WriteInt(vsNumbered("unicastsplitnum_%02d", s), 1, true);
        pUnicast->splitnum[s] = 1;
        createUnicastWin(0, 0, iRScreenWidth, iRScreenHeight, 1, VS_CELL_WINDOWS * s);
        createUnicastWinPos(0, 0, iRScreenWidth, iRScreenHeight, 1, VS_CELL_WINDOWS * s);
        showInFirstWindow(pUWin, pUWinOrg, VS_CELL_WINDOWS * s, url, name);
        for (int k = 0; k < VS_CELL_WINDOWS; ++k) saveIniUniWin(VS_CELL_WINDOWS * s + k);
    }
    for (; next < targets.size(); ++next)
        batch.sendAll(targets[next], multicastTexts(targets[next], url));
    return 0;
}
