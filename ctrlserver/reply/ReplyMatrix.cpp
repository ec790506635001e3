// The matrix and multiview replies.
#include <algorithm>

#include "reply/ReplyBuilders.h"
#include "reply/ReplyFrame.h"

using reply::carriedItems;
using reply::indexedKey;

namespace {

// Windows 1 up to the split number, never more than the five a record holds.
int windowsOf(int splitnum) {
    return std::max(0, std::min(splitnum, MV_WINDOWS));
}

}  // namespace

void BuildMatrixAckJsonString(ArrayList<Matrix_MV>& list, char* out, size_t outSize,
                              unsigned int status, char* cmd) {
    auto items = carriedItems(
        list, [](Json::Value& item, Matrix_MV& m) { item["txrx_1"] = m.tx[0] + ", " + m.rxalias; });
    reply::emitListAck("BuildMatrixAckJsonString", "rxsourceinfo", std::move(items), out, outSize,
                       status, cmd);
}

void BuildMultiViewAckJsonString(ArrayList<Matrix_MV>& list, char* out, size_t outSize,
                                 unsigned int status, char* cmd) {
    auto items = carriedItems(list, [](Json::Value& item, Matrix_MV& m) {
        item["splitnum"] = m.splitnum;
        item["rxalias"] = m.rxalias;
        for (int w = 0; w < windowsOf(m.splitnum); ++w)
            item[indexedKey("tx_%d", w + 1)] = m.tx[w].empty() ? std::string("NULL") : m.tx[w];
    });
    reply::emitListAck("BuildMultiViewAckJsonString", "mvrxinfo", std::move(items), out, outSize,
                       status, cmd);
}

void BuildMultiViewWinAckJsonString(ArrayList<Matrix_MV_plus_WIN>& list, char* out, size_t outSize,
                                    unsigned int status, char* cmd) {
    auto items = carriedItems(list, [](Json::Value& item, Matrix_MV_plus_WIN& m) {
        item["splitnum"] = m.splitnum;
        item["alias"] = m.alias;
        item["name"] = m.name;
        for (int w = 0; w < windowsOf(m.splitnum); ++w) {
            if (m.tx[w].empty()) continue;  // keeps what an earlier decoder set
            const int n = w + 1;
            item[indexedKey("tx_%d", n)] = m.tx[w];
            item[indexedKey("winhstart_%d", n)] = m.win[w].hstart;
            item[indexedKey("winvstart_%d", n)] = m.win[w].vstart;
            // The record holds extents (last pixel minus first); the reply shows sizes.
            item[indexedKey("winwidth_%d", n)] = Json::Int64(m.win[w].width) + 1;
            item[indexedKey("winheight_%d", n)] = Json::Int64(m.win[w].height) + 1;
        }
    });
    reply::emitListAck("BuildMultiViewWinAckJsonString", "mvrxallinfo", std::move(items), out,
                       outSize, status, cmd);
}
