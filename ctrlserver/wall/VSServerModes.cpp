// The window-mode store: up to four named snapshots of the live wall, the unicast table, the
// multicast source and the devices' names, one slot file each, and the list file that holds
// the capacity ("modeMax") and the number of stored modes ("modeActive").
//
// A slot file is always replaced whole in one write, and the list file is rebuilt and saved
// once: a write that fails leaves the old file as it was, and the command fails.
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "box/Box.h"
#include "device/DevServer.h"
#include "wall/ModeFile.h"
#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"
#include "wall/VSServerUtil.h"

namespace {

// Longest argument word the mode commands take; a longer one fails the command.
const size_t kModeTokenMax = 127;
// Longest new name a modify takes (the slot file's cell-name width).
const size_t kModifyNameMax = 31;
// A slot whose file holds no valid mode, or one without a name, is listed as this.
const char kNoModeName[] = "Model-Name";
// The most bytes a slot file holds: the block and two full device tables.
const size_t kModeFileMax = MODE_BLOCK_SIZE + 2 * MODE_MAX_DEVICES * MODE_ENTRY_SIZE;

// Splits text at blanks; false when a word is longer than kModeTokenMax.
bool modeWords(const char* text, std::vector<std::string>& words) {
    // The splitter reads what follows a keyword and its blank: here an empty keyword.
    std::string line = " " + std::string(text ? text : "");
    return vsCommandTokens(&line[0], 0, kModeTokenMax, words);
}

// A whole decimal number (digits only, fitting an int).
bool wholeNumber(const std::string& word, int& value) {
    if (word.empty() || word.size() > 10) return false;
    for (char ch : word)
        if (ch < '0' || ch > '9') return false;
    const long long v = strtoll(word.c_str(), nullptr, 10);
    if (v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

int VSServer::readModeFile(int slot, std::vector<unsigned char>& bytes) {
    bytes.clear();
    if (slot < 0 || slot >= VS_WINMODES || !confVWinMode[slot]) return 0;
    struct stat st;
    size_t size = 0;
    if (stat(box::path(confVWinMode[slot]->fileName()).c_str(), &st) == 0 && S_ISREG(st.st_mode))
        size = static_cast<size_t>(st.st_size) < kModeFileMax ? static_cast<size_t>(st.st_size)
                                                              : kModeFileMax;
    // A missing or short file reads as zeros up to the mode block's end.
    bytes.assign(size > static_cast<size_t>(MODE_BLOCK_SIZE) ? size : MODE_BLOCK_SIZE, 0);
    if (size > 0) confVWinMode[slot]->LoadBlock(0, bytes.data(), static_cast<int>(size));
    bytes.resize(size);
    return 1;
}

int VSServer::writeModeList(int modeMax, int modeActive) {
    const int r = vsRebuildKeyFile(confVWinModeAll, [&](QelConfig& conf) {
        conf.WriteInt("modeMax", modeMax, false);
        conf.WriteInt("modeActive", modeActive, false);
    });
    if (!r) envir() << "window modes: cannot write /mnt/qelconfVWinModeAll.ini\n";
    return r;
}

int VSServer::selectWinMode(const char* text, int& slot, std::string* newName) {
    std::vector<std::string> words;
    if (!modeWords(text, words) || words.size() < 2) return 0;
    const std::string& value = words[0];
    const std::string& selector = words[1];
    int index = -1;
    if (selector == "byName") {
        const int last = vwMode.modeMax < VS_WINMODES ? vwMode.modeMax : VS_WINMODES;
        for (int i = 0; i < last && index < 0; ++i) {
            if (!confVWinMode[i]) return 0;
            std::vector<unsigned char> bytes;
            readModeFile(i, bytes);
            std::string name;
            if (modeFileName(bytes.data(), bytes.size(), name) && !name.empty() && name == value)
                index = i;
        }
    } else if (selector == "byIndex") {
        if (!wholeNumber(value, index)) return 0;
    } else {
        return 0;
    }
    if (index < 0 || index >= vwMode.modeMax || index >= vwMode.modeActive || index >= VS_WINMODES)
        return 0;
    if (newName) *newName = words.size() > 2 ? words[2] : std::string();
    slot = index;
    return 1;
}

void VSServer::snapshotLive(ModeSnapshot& snap, const std::string& name) {
    snap.name = name;
    snap.userMode = userMode;
    if (pVScreen) {
        const VScreen& v = *pVScreen;
        snap.rows = v.rows;
        snap.columns = v.columns;
        snap.horCut = v.horCut;
        snap.verCut = v.verCut;
        snap.width = static_cast<int>(v.width);
        snap.height = static_cast<int>(v.height);
        for (int c = 0; c < WALL_CELLS; ++c)
            snap.cells[c] = ModeScreen{v.splitnum[c], v.ip[c], v.name[c]};
    }
    for (int w = 0; w < VS_WALL_WINDOWS; ++w)
        if (pVWin[w]) snap.wallWins[w] = *pVWin[w];
    if (pUnicast) {
        const Unicast& u = *pUnicast;
        snap.curIndex = u.curIndex;
        snap.uniWidth = u.width;
        snap.uniHeight = u.height;
        for (int i = 0; i < UNICAST_SLOTS; ++i)
            snap.slots[i] = ModeScreen{u.splitnum[i], u.ip[i], u.name[i]};
    }
    for (int w = 0; w < VS_UNICAST_WINDOWS; ++w)
        if (pUWin[w]) snap.uniWins[w] = *pUWin[w];
    if (pMulticast) {
        snap.multicastUrl = pMulticast->winUrl;
        snap.multicastName = pMulticast->winUrlName;
    }
    ArrayList<Decoder> decoders;
    ArrayList<Encoder> encoders;
    devServer.iGetQelDecoderDevices(decoders);
    devServer.iGetQelEncoderDevices(encoders);
    for (ArrayListNode<Decoder>* n = decoders.head->next; n && n->data; n = n->next)
        snap.decoders.push_back(ModeDevice{n->data->ip, n->data->status, n->data->name});
    for (ArrayListNode<Encoder>* n = encoders.head->next; n && n->data; n = n->next)
        snap.encoders.push_back(ModeDevice{n->data->ip, n->data->status, n->data->name});
}

int VSServer::saveModeIni(int slot, char* name) {
    if (slot < 0 || slot >= VS_WINMODES || !confVWinMode[slot]) return 0;
    std::unique_ptr<ModeSnapshot> snap(new ModeSnapshot());
    snapshotLive(*snap, name ? name : "");
    std::vector<unsigned char> bytes = encodeModeFile(*snap);
    // One replacing write: the old mode stays whole until the new file is complete.
    if (!confVWinMode[slot]->SaveBlock(0, bytes.data(), static_cast<int>(bytes.size()))) {
        envir() << "window modes: cannot write " << confVWinMode[slot]->fileName().c_str() << "\n";
        return 0;
    }
    return 1;
}

int VSServer::blGetWinMode(VWMode& mode) {
    if (!confVWinModeAll) return 0;
    // The counts as loaded (out-of-range ones already mended at start): a query writes
    // nothing.
    const int c = vwMode.modeMax < VS_WINMODES ? vwMode.modeMax : VS_WINMODES;
    mode.modeMax = c;
    mode.modeActive = vwMode.modeActive;
    for (int i = 0; i < c; ++i) {
        if (!confVWinMode[i]) return 0;
        std::vector<unsigned char> bytes;
        readModeFile(i, bytes);
        std::string name;
        if (!modeFileName(bytes.data(), bytes.size(), name) || name.empty()) name = kNoModeName;
        mode.modeName[i] = name;
    }
    return 1;
}

int VSServer::blAddWinMode(char* name) {
    const int n = vwMode.modeActive;
    if (n < 0 || n >= vwMode.modeMax || n >= VS_WINMODES || !confVWinMode[n]) return 0;
    const size_t length = name ? strlen(name) : 0;
    if (length < 1 || length > static_cast<size_t>(MODE_NAME_SIZE - 1)) return 0;
    // The count goes up only once the mode is stored.
    if (!saveModeIni(n, name)) return 0;
    if (!writeModeList(vwMode.modeMax, n + 1)) return 0;
    vwMode.modeActive = n + 1;
    return 1;
}

int VSServer::blSetWinMode(char* text) {
    int slot = -1;
    std::string newName;
    if (!selectWinMode(text, slot, &newName)) return 0;
    if (newName.empty() || newName.size() > kModifyNameMax) return 0;
    // The slot takes the live state of now under the new name; the stored layout goes.
    return saveModeIni(slot, &newName[0]);
}

int VSServer::blDelWinMode(char* text) {
    int slot = -1;
    if (!selectWinMode(text, slot, nullptr)) return 0;
    return removeModeIni(slot);
}

int VSServer::removeModeIni(int slot) {
    if (slot < 0 || slot >= VS_WINMODES || !confVWinMode[slot]) return 0;
    const int count = vwMode.modeActive > 0 ? vwMode.modeActive - 1 : 0;
    if (!writeModeList(vwMode.modeMax, count)) return 0;
    vwMode.modeActive = count;
    for (int i = slot; i < VS_WINMODES; ++i) confVWinMode[i].reset();
    const std::string gone = vsNumbered("/mnt/qelconfVWinMode_%02d.ini", slot);
    remove(box::path(gone).c_str());
    for (int j = slot + 1; j < VS_WINMODES; ++j) {
        const std::string from = box::path(vsNumbered("/mnt/qelconfVWinMode_%02d.ini", j));
        const std::string to = box::path(vsNumbered("/mnt/qelconfVWinMode_%02d.ini", j - 1));
        rename(from.c_str(), to.c_str());  // a slot without a file has nothing to move
    }
    for (int i = 0; i < VS_WINMODES; ++i)
        confVWinMode[i].reset(
            new QelConfig(vsNumbered("/mnt/qelconfVWinMode_%02d.ini", i), QelConfig::MODE_BLOCK));
    return 1;
}

int VSServer::loadModeIni(int slot, std::string& name) {
    if (slot < 0 || slot >= vwMode.modeActive || slot >= VS_WINMODES || !confVWinMode[slot])
        return 0;
    std::vector<unsigned char> bytes;
    readModeFile(slot, bytes);
    std::unique_ptr<ModeSnapshot> snap(new ModeSnapshot());
    switch (decodeModeFile(bytes.data(), bytes.size(), *snap)) {
        case ModeFileError::None:
            break;
        case ModeFileError::Short:
            envir() << "window mode " << slot << ": " << static_cast<int>(bytes.size())
                    << " bytes, shorter than a mode; not loaded\n";
            return 0;
        case ModeFileError::NotValid:
            envir() << "window mode " << slot << ": no valid mode stored; not loaded\n";
            return 0;
        case ModeFileError::BadGrid:
            envir() << "window mode " << slot << ": a grid of more than 16 cells; not loaded\n";
            return 0;
    }
    const ModeSnapshot& m = *snap;
    userMode = m.userMode;
    name = m.name;

    iScreenRows = m.rows;
    iScreenColumns = m.columns;
    iScreenHorCut = m.horCut;
    iScreenVerCut = m.verCut;
    iVScreenWidth = m.width;
    iVScreenHeight = m.height;
    if (!pVScreen) pVScreen.reset(new VScreen());
    VScreen& v = *pVScreen;
    v.rows = static_cast<uint8_t>(m.rows);
    v.columns = static_cast<uint8_t>(m.columns);
    v.horCut = static_cast<uint8_t>(m.horCut);
    v.verCut = static_cast<uint8_t>(m.verCut);
    v.width = static_cast<uint32_t>(m.width);
    v.height = static_cast<uint32_t>(m.height);
    for (int c = 0; c < WALL_CELLS; ++c) {
        v.splitnum[c] = m.cells[c].splitnum;
        v.ip[c] = m.cells[c].ip;
        v.name[c] = m.cells[c].name;
    }
    for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
        pVWin[w].reset(new VWin(m.wallWins[w]));
        pVWinOrg[w].reset(new VWin(m.wallWins[w]));
    }

    iUnicastCurIndex = m.curIndex;
    if (!pUnicast) pUnicast.reset(new Unicast());
    Unicast& u = *pUnicast;
    u.curIndex = m.curIndex;
    u.width = m.uniWidth;
    u.height = m.uniHeight;
    for (int i = 0; i < UNICAST_SLOTS; ++i) {
        u.splitnum[i] = m.slots[i].splitnum;
        u.ip[i] = m.slots[i].ip;
        u.name[i] = m.slots[i].name;
    }
    for (int w = 0; w < VS_UNICAST_WINDOWS; ++w) {
        pUWin[w].reset(new VWin(m.uniWins[w]));
        pUWinOrg[w].reset(new VWin(m.uniWins[w]));
    }

    if (!pMulticast) pMulticast.reset(new Multicast());
    pMulticast->winUrl = m.multicastUrl;
    pMulticast->winUrlName = m.multicastName;
    if (!vsRebuildKeyFile(confMulticast, [&](QelConfig& conf) {
            conf.WriteString("winUrl", m.multicastUrl, false);
            conf.WriteString("winUrlName", m.multicastName, false);
        }))
        envir() << "window mode " << slot << ": cannot write /mnt/qelconfMulticast.ini\n";

    // Known devices take their stored names and status; an entry without an address, or of
    // a device no longer known, changes nothing.
    for (const ModeDevice& d : m.decoders)
        if (!d.ip.empty()) devServer.iUpdateQelDevice(1, d.ip, d.name, d.status);
    for (const ModeDevice& d : m.encoders)
        if (!d.ip.empty()) devServer.iUpdateQelDevice(0, d.ip, d.name, d.status);
    for (int w = 0; w < VS_WALL_WINDOWS; ++w) saveIniWin(w);
    devServer.blSaveQelDeviceToConfig(4);
    return 1;
}
