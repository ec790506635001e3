// The matrix and multiview views: which source each decoder outside every wall shows, read
// from the unicast table. A decoder in a wall cell (live or scene) is never listed; the first
// unicast slot of a decoder that yields a row decides, and a row already in the list (same
// label, or for the window view the same host name) is not added twice.
//
// A window's source is the encoder or IP source whose address stands in its stream URL as a
// whole address.
#include <functional>
#include <memory>

#include "core/AddressMatch.h"
#include "device/DevServer.h"
#include "wall/VSServer.h"
#include "wall/VSServerTexts.h"
#include "wall/VSServerUtil.h"

namespace {

const char kAllDecoders[] = "255.255.255.255";

template <class T>
bool listHolds(ArrayList<T>& list, const std::function<bool(const T&)>& same) {
    for (ArrayListNode<T>* n = list.head->next; n && n->data; n = n->next)
        if (same(*n->data)) return true;
    return false;
}

// The first device of list whose address stands in url, or null.
Encoder* sourceOf(ArrayList<Encoder>& list, const std::string& url) {
    for (ArrayListNode<Encoder>* n = list.head->next; n && n->data; n = n->next)
        if (addressInText(url, n->data->ip)) return n->data;
    return nullptr;
}

std::string joined(const Device& d) {
    return d.name + "_" + d.hostname;
}

// The device tables as the three views read them, copied once per query.
struct Tables {
    ArrayList<Decoder> decoders;
    ArrayList<Encoder> encoders;
    ArrayList<Encoder> ipSources;
    explicit Tables(DevServer& dev) {
        dev.iGetQelDecoderDevices(decoders);
        dev.iGetQelEncoderDevices(encoders);
        dev.iGetQelIPSource(ipSources);
    }
};

// The frame the three views share. slotRow(d, j) gives 1 when slot j of the unicast table
// yielded decoder d's row and appended it (a duplicate is not appended and gives 0), 0 when
// the slot gives nothing.
int viewFrame(VSServer& model, Tables& t, const char* rxIp,
              const std::function<int(const Decoder&, int)>& slotRow) {
    const std::string wanted(rxIp ? rxIp : "");
    const bool all = wanted == kAllDecoders;
    int count = 0;
    for (ArrayListNode<Decoder>* n = t.decoders.head->next; n && n->data; n = n->next) {
        const Decoder& d = *n->data;
        if (!all && d.ip != wanted) continue;
        if (model.checkWhetherRXisInsideVideoWall(d.ip.c_str()) == 1) continue;
        for (int j = 0; j < UNICAST_SLOTS; ++j) {
            // 1 appended, 0 this slot gives nothing (or a duplicate): go on.
            if (slotRow(d, j) != 1) continue;
            ++count;
            if (!all) return count;
            break;
        }
    }
    return count;
}

}  // namespace

int VSServer::iGetMatrix(ArrayList<Matrix_MV>& list, char* rxIp) {
    if (!pUnicast) return 0;
    Tables t(devServer);
    return viewFrame(*this, t, rxIp, [&](const Decoder& d, int j) {
        if (pUnicast->ip[j] != d.ip || d.status != 1) return 0;
        const std::string url = pUWin[VS_CELL_WINDOWS * j] ? pUWin[VS_CELL_WINDOWS * j]->url : "";
        std::string source;
        if (url.empty() || url == VS_UNUSED_WINDOW) {
            source = "null";
        } else if (Encoder* e = sourceOf(t.encoders, url)) {
            source = joined(*e);
        } else if (Encoder* c = sourceOf(t.ipSources, url)) {
            source = c->name;
        } else {
            return 0;
        }
        const std::string label = joined(d);
        if (listHolds<Matrix_MV>(list, [&](const Matrix_MV& r) { return r.rxalias == label; }))
            return 0;
        Matrix_MV* row = new Matrix_MV();
        row->rxname = d.name;
        row->rxalias = label;
        row->tx[0] = source;
        row->splitnum = 1;
        list.add(row);
        return 1;
    });
}

namespace {

// The multiview form of a slot: slot j holds decoder d (or the address asked for) and d shows
// more than one window. For each of its windows (at most five), found(k, window, encoder, IP
// source) gets the sources whose address stands in the window's url (null for none).
template <class Found>
bool multiviewSlot(const Unicast& u, std::unique_ptr<VWin>* uniWins, Tables& t, const Decoder& d,
                   const std::string& wanted, int j, Found found) {
    if ((u.ip[j] != wanted && u.ip[j] != d.ip) || d.status == 1) return false;
    const int n = d.status < MV_WINDOWS ? d.status : MV_WINDOWS;
    for (int k = 0; k < n; ++k) {
        const VWin* w = uniWins[VS_CELL_WINDOWS * j + k].get();
        if (w) found(k, *w, sourceOf(t.encoders, w->url), sourceOf(t.ipSources, w->url));
    }
    return true;
}

}  // namespace

int VSServer::iGetMultiView(ArrayList<Matrix_MV>& list, char* rxIp) {
    if (!pUnicast) return 0;
    Tables t(devServer);
    const std::string wanted(rxIp ? rxIp : "");
    return viewFrame(*this, t, rxIp, [&](const Decoder& d, int j) {
        Matrix_MV row;
        // An IP source found in the URL wins over an encoder.
        auto found = [&](int k, const VWin&, Encoder* e, Encoder* c) {
            if (c)
                row.tx[k] = c->name;
            else if (e)
                row.tx[k] = joined(*e);
        };
        if (!multiviewSlot(*pUnicast, pUWin, t, d, wanted, j, found)) return 0;
        row.rxname = d.name;
        row.rxalias = joined(d);
        row.splitnum = d.status;
        if (listHolds<Matrix_MV>(list,
                                 [&](const Matrix_MV& r) { return r.rxalias == row.rxalias; }))
            return 0;
        list.add(new Matrix_MV(row));
        return 1;
    });
}

int VSServer::iGetMultiViewWin(ArrayList<Matrix_MV_plus_WIN>& list, char* rxIp) {
    if (!pUnicast) return 0;
    Tables t(devServer);
    const std::string wanted(rxIp ? rxIp : "");
    return viewFrame(*this, t, rxIp, [&](const Decoder& d, int j) {
        Matrix_MV_plus_WIN row;
        auto found = [&](int k, const VWin& w, Encoder* e, Encoder* c) {
            if (!e && !c) return;
            row.tx[k] = joined(c ? *c : *e);
            // Extent is last pixel minus first, as the decoders' window texts count it.
            row.win[k].hstart = static_cast<int>(w.hStart);
            row.win[k].vstart = static_cast<int>(w.vStart);
            row.win[k].width = vsWrapInt(static_cast<long long>(w.hEnd) - w.hStart);
            row.win[k].height = vsWrapInt(static_cast<long long>(w.vEnd) - w.vStart);
        };
        if (!multiviewSlot(*pUnicast, pUWin, t, d, wanted, j, found)) return 0;
        row.splitnum = d.status;
        row.alias = d.name;
        row.name = d.hostname;
        if (listHolds<Matrix_MV_plus_WIN>(
                list, [&](const Matrix_MV_plus_WIN& r) { return r.name == row.name; }))
            return 0;
        list.add(new Matrix_MV_plus_WIN(row));
        return 1;
    });
}
