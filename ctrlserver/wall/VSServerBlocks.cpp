// Window block files: one 204-byte block per window, rewritten only when its content changes.
#include <string>
#include <utility>
#include <vector>

#include "wall/VSServer.h"
#include "wall/WinBlock.h"

namespace {

bool inScene(int s, int p, int w) {
    return s >= 0 && s < VS_SCENES && p >= 0 && p < VS_PRESETS && w >= 0 && w < VS_WALL_WINDOWS;
}

int removeBlock(QelConfig* store) {
    if (!store) return 0;
    return store->Remove();
}

}  // namespace

int VSServer::saveWinBlock(QelConfig* store, const VWin* win) {
    if (!store || !win) return 0;
    // One byte more than a block, so that a file longer than a block is seen as not one.
    unsigned char stored[WIN_BLOCK_SIZE + 1] = {};
    int got = 0;
    // A missing file (or one the store does not read) counts as a zero block, as it loads.
    const bool opened = store->LoadBlock(0, stored, WIN_BLOCK_SIZE + 1, &got) == 1;
    if (!opened) got = WIN_BLOCK_SIZE;
    unsigned char block[WIN_BLOCK_SIZE];
    encodeWinBlock(*win, block);
    // Otherwise only a whole block on disk counts as unchanged (got == WIN_BLOCK_SIZE): a
    // short file loads as missing, so comparing against its zero-padded bytes would leave it
    // unrepaired for good.
    if (blockBatchOpen) {
        // A block this batch already holds is replaced whatever the disk has: the disk does
        // not show the held one yet.
        const std::string file = store->fileName();
        const std::string bytes(reinterpret_cast<const char*>(block), WIN_BLOCK_SIZE);
        for (auto& pending : blockBatch) {
            if (pending.first == file) {
                pending.second = bytes;
                return 1;
            }
        }
        if (got == WIN_BLOCK_SIZE && sameWinBlock(stored, block)) return 0;
        blockBatch.emplace_back(file, bytes);
        return 1;
    }
    if (got == WIN_BLOCK_SIZE && sameWinBlock(stored, block)) return 0;
    // One replacing write: the old block stays whole until the new one is complete.
    return store->SaveBlock(0, block, WIN_BLOCK_SIZE);
}

bool VSServer::beginBlockBatch() {
    if (blockBatchOpen) return false;  // the open batch takes these blocks too
    blockBatchOpen = true;
    blockBatch.clear();
    return true;
}

bool VSServer::commitBlockBatch() {
    blockBatchOpen = false;
    std::vector<std::pair<std::string, std::string>> blocks;
    blocks.swap(blockBatch);
    if (blocks.empty()) return true;
    return QelConfig::ReplaceFiles(blocks) == 1;
}

int VSServer::saveIniWin(int w) {
    if (w < 0 || w >= VS_WALL_WINDOWS) return 0;
    return saveWinBlock(confVWin[w].get(), pVWin[w].get());
}

int VSServer::saveIniUniWin(int w) {
    if (w < 0 || w >= VS_UNICAST_WINDOWS) return 0;
    return saveWinBlock(confUWin[w].get(), pUWin[w].get());
}

int VSServer::saveIniWinSence(int s, int p, int w) {
    if (!inScene(s, p, w)) return 0;
    return saveWinBlock(confVWinSence[s][p][w].get(), pVWinSence[s][p][w].get());
}

int VSServer::saveIniDisWin(int s, int p, int w) {
    if (!inScene(s, p, w)) return 0;
    return saveWinBlock(confDisWin[s][p][w].get(), pDisWin[s][p][w].get());
}

int VSServer::removeIniWin(int w) {
    if (w < 0 || w >= VS_WALL_WINDOWS) return 0;
    return removeBlock(confVWin[w].get());
}

int VSServer::removeIniSenceWin(int s, int p, int w) {
    if (!inScene(s, p, w)) return 0;
    return removeBlock(confVWinSence[s][p][w].get());
}

int VSServer::removeIniDisWin(int s, int p, int w) {
    if (!inScene(s, p, w)) return 0;
    return removeBlock(confDisWin[s][p][w].get());
}
