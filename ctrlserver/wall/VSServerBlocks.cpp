// Window block files: one 204-byte block per window, rewritten only when its content changes.
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
    unsigned char stored[WIN_BLOCK_SIZE] = {};
    store->LoadBlock(0, stored, WIN_BLOCK_SIZE);
    unsigned char block[WIN_BLOCK_SIZE];
    encodeWinBlock(*win, block);
    if (sameWinBlock(stored, block)) return 0;
    // One replacing write: the old block stays whole until the new one is complete.
    return store->SaveBlock(0, block, WIN_BLOCK_SIZE);
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
