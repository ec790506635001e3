// Carrying a device's new name or new address through every place of the model that holds
// it: the decoder of each live-wall cell, unicast slot, scene-wall cell and scene display,
// and the source of every window. An address change also sends the rewritten stream URLs
// to the decoders that show them.
#include <algorithm>
#include <string>
#include <vector>

#include "core/AddressMatch.h"
#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerUtil.h"

namespace {

// The decoder window a decoder uses for a window that spills in from another cell.
const int kSpillWindow = 16;

// Key writes collected per file; each touched file is saved once, at the end.
class KeyBatch {
public:
    void write(QelConfig* conf, const std::string& key, const std::string& value) {
        if (!conf) return;
        conf->WriteString(key, value, false);
        if (std::find(touched.begin(), touched.end(), conf) == touched.end())
            touched.push_back(conf);
    }
    void save() {
        for (QelConfig* conf : touched) conf->Save();
        touched.clear();
    }

private:
    std::vector<QelConfig*> touched;
};

// Which field of a decoder place a change sets.
enum class Place { Name, Address };

// Sets the name or the address of every decoder place (live-wall cell, unicast slot, cell and
// display of each preset of each valid scene) whose address is device, and its key.
void setDecoderPlaces(VSServer& m, const std::string& device, Place field, const std::string& value,
                      KeyBatch& keys) {
    auto set = [&](QelConfig* conf, const char* nameKey, const char* ipKey, int n, std::string& ip,
                   std::string& name) {
        if (ip != device) return;
        keys.write(conf, vsNumbered(field == Place::Address ? ipKey : nameKey, n), value);
        (field == Place::Address ? ip : name) = value;
    };
    if (m.pVScreen) {
        for (int i = 0; i < vsGridCells(iScreenRows, iScreenColumns); ++i)
            set(m.confVScreen.get(), "screenName_%02d", "screenIP_%02d", i, m.pVScreen->ip[i],
                m.pVScreen->name[i]);
    }
    if (m.pUnicast) {
        for (int k = 0; k < UNICAST_SLOTS; ++k)
            set(m.confUnicast.get(), "unicastname_%02d", "unicastip_%02d", k, m.pUnicast->ip[k],
                m.pUnicast->name[k]);
    }
    for (int s = 0; s < VS_SCENES; ++s) {
        if (!vsSceneValid(m, s)) continue;
        for (int p = 0; p < VS_PRESETS; ++p) {
            VSenceScreen* rec = m.pVSenceScreen[s][p].get();
            if (!rec) continue;
            QelConfig* conf = m.confVSence[s][p].get();
            for (int i = 0; i < vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]); ++i)
                set(conf, "screenName_%02d", "screenIP_%02d", i, rec->screenIP[i],
                    rec->screenName[i]);
            for (int d = 0; d < WALL_CELLS; ++d)
                set(conf, "disName_%02d", "disIP_%02d", d, rec->disIP[d], rec->disName[d]);
        }
    }
}

// Sets the name of a window and of its pre-maximise copy.
void renameWin(VWin* cur, VWin* org, const std::string& name) {
    if (cur) cur->name = name;
    if (org) org->name = name;
}

}  // namespace

int VSServer::blUpdateVScreenUnicastDevName(const char* ip, const char* name) {
    if (!ip || !*ip) return 1;
    const std::string device(ip);
    const std::string given = name ? name : "";
    // An empty name (the alias removed) falls back to the default names the device lists
    // give decoders and encoders.
    const std::string decoderName = given.empty() ? "RX" : given;
    const std::string sourceName = given.empty() ? "TX" : given;
    KeyBatch keys;

    // Decoder places: exact address.
    setDecoderPlaces(*this, device, Place::Name, decoderName, keys);

    // Source places: the address as a whole in the window's URL, on a cell, slot or display
    // that has a decoder.
    auto showsDevice = [&](const VWin* w) { return w && addressInText(w->url, device); };
    if (pVScreen) {
        const int windows = VS_CELL_WINDOWS * vsGridCells(pVScreen->rows, pVScreen->columns);
        for (int w = 0; w < windows; ++w) {
            if (pVScreen->ip[w / VS_CELL_WINDOWS].empty() || !showsDevice(pVWin[w].get())) continue;
            renameWin(pVWin[w].get(), pVWinOrg[w].get(), sourceName);
            saveIniWin(w);
        }
    }
    if (pUnicast) {
        for (int w = 0; w < VS_UNICAST_WINDOWS; ++w) {
            if (pUnicast->ip[w / VS_CELL_WINDOWS].empty() || !showsDevice(pUWin[w].get())) continue;
            renameWin(pUWin[w].get(), pUWinOrg[w].get(), sourceName);
            saveIniUniWin(w);
        }
    }
    if (pMulticast && addressInText(pMulticast->winUrl, device)) {
        pMulticast->winUrlName = sourceName;
        const Multicast m = *pMulticast;
        vsRebuildKeyFile(confMulticast, [&](QelConfig& conf) {
            conf.WriteString("winUrl", m.winUrl, false);
            conf.WriteString("winUrlName", m.winUrlName, false);
        });
    }
    for (int s = 0; s < VS_SCENES; ++s) {
        if (!vsSceneValid(*this, s)) continue;
        for (int p = 0; p < VS_PRESETS; ++p) {
            const VSenceScreen* rec = pVSenceScreen[s][p].get();
            if (!rec) continue;
            const int windows =
                VS_CELL_WINDOWS * vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]);
            for (int w = 0; w < windows; ++w) {
                if (rec->screenIP[w / VS_CELL_WINDOWS].empty() ||
                    !showsDevice(pVWinSence[s][p][w].get()))
                    continue;
                renameWin(pVWinSence[s][p][w].get(), pVWinSenceOrg[s][p][w].get(), sourceName);
                saveIniWinSence(s, p, w);
            }
            for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
                if (rec->disIP[w / VS_CELL_WINDOWS].empty() || !showsDevice(pDisWin[s][p][w].get()))
                    continue;
                renameWin(pDisWin[s][p][w].get(), pDisWinOrg[s][p][w].get(), sourceName);
                saveIniDisWin(s, p, w);
            }
        }
    }
    keys.save();
    return 1;
}

int VSServer::blUpdateVScreenUnicastDevIp(const char* mac, const char* newIp) {
    if (!mac || !*mac || !newIp || !*newIp) return 0;
    const std::string macText(mac), now(newIp);
    std::string old;
    {
        ArrayList<Device> devices;
        devServer.iGetQelDevices(devices);
        for (ArrayListNode<Device>* n = devices.head->next; n && n->data; n = n->next) {
            if (n->data->mac == macText && n->data->ip != now) {
                old = n->data->ip;
                break;
            }
        }
    }
    // A device without an address is in no place of the model (an empty text there means
    // "no decoder").
    if (old.empty()) return 0;

    // Decoder places: exact address.
    KeyBatch keys;
    setDecoderPlaces(*this, old, Place::Address, now, keys);
    keys.save();

    // The encoder's two stream URLs: windows showing either one get the new address.
    std::string streams[2];
    {
        ArrayList<Encoder> encoders;
        devServer.iGetQelEncoderDevices(encoders);
        for (ArrayListNode<Encoder>* n = encoders.head->next; n && n->data; n = n->next) {
            if (n->data->ip != old) continue;
            streams[0] = n->data->url0;
            streams[1] = n->data->url1;
            break;
        }
    }
    // Rewrites the window (and its pre-maximise copy) when it shows one of the streams.
    auto rewrite = [&](VWin* cur, VWin* org) {
        if (!cur || cur->url.empty()) return false;
        if (cur->url != streams[0] && cur->url != streams[1]) return false;
        std::string url = cur->url;
        const size_t at = url.find(old);
        if (at != std::string::npos) url.replace(at, old.size(), now);
        cur->url = url;
        if (org) org->url = url;
        return true;
    };
    auto send = [&](const std::string& decoder, int window, const std::string& url) {
        if (decoder.empty()) return;  // no decoder in that cell
        queueDevText("config set url params " + decoder + " " + std::to_string(window) + " " + url);
    };

    if (pVScreen) {
        const int cells = vsGridCells(pVScreen->rows, pVScreen->columns);
        for (int w = 0; w < VS_CELL_WINDOWS * cells; ++w) {
            const int own = w / VS_CELL_WINDOWS;
            if (pVScreen->ip[own].empty() || !rewrite(pVWin[w].get(), pVWinOrg[w].get())) continue;
            const std::string url = pVWin[w]->url;
            for (int c = 0; c < cells; ++c) {
                if (c == own)
                    send(pVScreen->ip[c], w % VS_CELL_WINDOWS, url);
                else if (checkWhetherWindowIsOverlapScreen(w, c) == 0)
                    send(pVScreen->ip[c], kSpillWindow, url);
            }
            saveIniWin(w);
        }
    }
    if (pUnicast) {
        for (int w = 0; w < VS_UNICAST_WINDOWS; ++w) {
            const std::string& decoder = pUnicast->ip[w / VS_CELL_WINDOWS];
            if (decoder.empty() || !rewrite(pUWin[w].get(), pUWinOrg[w].get())) continue;
            send(decoder, w % VS_CELL_WINDOWS, pUWin[w]->url);
            saveIniUniWin(w);
        }
    }
    for (int s = 0; s < VS_SCENES; ++s) {
        if (!vsSceneValid(*this, s)) continue;
        const int cells = vsGridCells(iSenceScreenRows[s], iSenceScreenColumns[s]);
        for (int p = 0; p < VS_PRESETS; ++p) {
            const VSenceScreen* rec = pVSenceScreen[s][p].get();
            if (!rec) continue;
            for (int w = 0; w < VS_CELL_WINDOWS * cells; ++w) {
                const int own = w / VS_CELL_WINDOWS;
                VWin* cur = pVWinSence[s][p][w].get();
                if (rec->screenIP[own].empty() || !rewrite(cur, pVWinSenceOrg[s][p][w].get()))
                    continue;
                for (int c = 0; c < cells; ++c) {
                    if (c == own)
                        send(rec->screenIP[c], w % VS_CELL_WINDOWS, cur->url);
                    else if (checkWhetherWindowIsOverlapSenceScreen(s, p, w, c) == 0)
                        send(rec->screenIP[c], kSpillWindow, cur->url);
                }
                saveIniWinSence(s, p, w);
            }
            for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
                const std::string& decoder = rec->disIP[w / VS_CELL_WINDOWS];
                if (decoder.empty() || !rewrite(pDisWin[s][p][w].get(), pDisWinOrg[s][p][w].get()))
                    continue;
                send(decoder, w % VS_CELL_WINDOWS, pDisWin[s][p][w]->url);
                saveIniDisWin(s, p, w);
            }
        }
    }
    return 1;
}
