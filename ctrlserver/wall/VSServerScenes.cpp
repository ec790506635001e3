// Scene create, remove and query: the older commands name a scene by its number, the
// new-style "scene" commands by its name. Creating and deleting rebuild the whole scene; the
// key files are replaced whole, so a refused write leaves the scene as it was.
#include <cstring>
#include <string>
#include <vector>

#include "wall/VSServer.h"
#include "wall/VSServerHelpers.h"

namespace {

const size_t kNameMax = VS_SCENE_NAME_MAX;
// Longest token of the create and delete-by-number commands.
const size_t kTokenMax = 127;
// Longest token of "scene remove".
const size_t kRemoveTokenMax = 255;

// The tokens after keyword in a copy of cmd; false when one is longer than max.
bool tokensAfter(const char* cmd, const char* keyword, size_t max,
                 std::vector<std::string>& tokens) {
    std::string copy(cmd ? cmd : "");
    return vsCommandTokens(&copy[0], strlen(keyword), max, tokens);
}

std::string tokenAt(const std::vector<std::string>& tokens, size_t i) {
    return i < tokens.size() ? tokens[i] : std::string();
}

// The first free slot becomes a new 2 x 2 scene with blank displays: its number, or -1 when
// every slot is in use or the key files could not be written.
int createInFreeSlot(VSServer& m, const std::string& name, const std::string& picSrc, int preset) {
    for (int s = 0; s < VS_SCENES; ++s) {
        if (vsSceneValid(m, s)) continue;
        if (m.rebuildScene(s, 1, preset, name, picSrc, 2, 2, 2, 2,
                           VSServer::SceneRebuild{true, true, false}) < 0)
            return -1;
        m.clearSenceDisplayData(s);
        return s;
    }
    return -1;
}

}  // namespace

int VSServer::cmdVSSetSence(char* cmd, unsigned) {
    std::vector<std::string> tokens;
    if (!tokensAfter(cmd, "config set sence params", kTokenMax, tokens)) return -1;
    const std::string name = tokenAt(tokens, 0), picSrc = tokenAt(tokens, 1);
    if (name.size() > kNameMax) return -1;
    return createInFreeSlot(*this, name, picSrc, 0);
}

int VSServer::cmdVSSetNewSence(char* cmd, unsigned) {
    std::vector<std::string> tokens;
    if (!tokensAfter(cmd, "scene create", kTokenMax, tokens)) return -1;
    const std::string name = tokenAt(tokens, 0), presetToken = tokenAt(tokens, 1);
    if (name.size() > kNameMax) return -1;
    int preset = 0;
    if (presetToken == "1" || presetToken == "2" || presetToken == "3")
        preset = presetToken[0] - '1';
    if (cmdVSGetSenceId(name.c_str()) >= 0) return -1;
    return createInFreeSlot(*this, name, "", preset);
}

int VSServer::cmdVSDelSence(char* cmd, unsigned) {
    std::vector<std::string> tokens;
    if (!tokensAfter(cmd, "config del sence params", kTokenMax, tokens)) return -1;
    int n = 0;
    if (!vsTokenIntAt(tokens, 0, n)) return -1;
    if (static_cast<unsigned>(n) >= static_cast<unsigned>(VS_SCENES) || !vsSceneValid(*this, n))
        return -1;
    for (int s = 0; s < VS_SCENES; ++s) {
        if (!pVSence[s] || pVSence[s]->id != n) continue;
        if (rebuildScene(s, 0, 0, "", "", 2, 2, 2, 2, SceneRebuild{false, true, false}) < 0)
            return -1;
        removeSenceDisplayData(s);
        return 0;
    }
    return -1;
}

int VSServer::cmdVSDelNewSence(char* cmd, unsigned) {
    std::vector<std::string> tokens;
    if (!tokensAfter(cmd, "scene remove", kRemoveTokenMax, tokens)) return -1;
    const int s = cmdVSGetSenceId(tokenAt(tokens, 0).c_str());
    if (s < 0) return -1;
    if (rebuildScene(s, 0, 0, "", "", 2, 2, 2, 2, SceneRebuild{false, true, false}) < 0) return -1;
    removeSenceDisplayData(s);
    return 0;
}

int VSServer::cmdVSGetSence(char*, ArrayList<VSence>& list, unsigned) {
    for (int s = 0; s < VS_SCENES; ++s) list.add(new VSence(pVSence[s] ? *pVSence[s] : VSence()));
    return 1;
}

int VSServer::cmdVSGetSenceId(const char* name) {
    const std::string wanted(name ? name : "");
    for (int s = 0; s < VS_SCENES; ++s) {
        const std::string have = pVSence[s] ? pVSence[s]->name : std::string();
        if (have == wanted) return s;
    }
    return -1;
}

int VSServer::cmdVSGetSenceAllInfo(int s, ArrayList<VSence>& scenes, ArrayList<VSenceScreen>& walls,
                                   unsigned) {
    if (s < 0 || s >= VS_SCENES) return -1;
    scenes.add(new VSence(pVSence[s] ? *pVSence[s] : VSence()));
    walls.add(new VSenceScreen(pVSenceScreen[s][0].get()));
    return 1;
}

int VSServer::cmdVSGetAllSenceIp(ArrayList<VSenceScreen>& list, unsigned) {
    if (iSenceCurrent == -1) return -1;
    for (int s = 0; s < VS_SCENES; ++s)
        if (s != iSenceCurrent) list.add(new VSenceScreen(pVSenceScreen[s][0].get()));
    return 0;
}

std::string VSServer::cmdVSGetSenceName(int s) {
    if (s < 0 || s >= VS_SCENES || !pVSence[s]) return std::string();
    return pVSence[s]->name;
}
