// Helpers shared by the model's command operations: reading the arguments of a command text
// and rewriting a whole key file.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "wall/VSServer.h"

// Writes a scene preset's wall and display keys, from "screenRows" to the last display's name,
// in the order its key file holds them (cells keys only below `cells`), without saving.
void vsWriteSceneWallKeys(QelConfig& conf, const VSenceScreen& rec, int cells);

// Ends cmd right after its keyword of keywordLength bytes (a zero is written there only when
// the text is longer, so nothing past the text is touched) and appends the blank-separated
// tokens that followed it. False, with tokens left as they were, when a token is longer than
// maxTokenLength bytes.
bool vsCommandTokens(char* cmd, size_t keywordLength, size_t maxTokenLength,
                     std::vector<std::string>& tokens);

// The number a token starts with, read in decimal as strtol reads it: no digits give 0. False
// when the number lies outside the int range.
bool vsTokenInt(const std::string& token, int& value);

// Token i of tokens as a number (a missing token reads 0); false as vsTokenInt.
bool vsTokenIntAt(const std::vector<std::string>& tokens, size_t i, int& value);

// Cells of a rows x columns grid as the loops over cells see it: 0 when a side is below 1,
// never more than the 16 the records hold.
int vsGridCells(int rows, int columns);

// Whether scene s (0..4) has a record marked valid.
bool vsSceneValid(const VSServer& model, int s);

// The first decoder of list whose address equals ip exactly, or null.
const Decoder* vsFindDecoder(ArrayList<Decoder>& list, const std::string& ip);

// The full-window rectangle of win: the bounding box of the places (of count position records;
// null ones skipped) that hold its four corners, the last holder of a corner counting. A
// corner no place holds gives -1 for its edges; false then.
bool vsCornerBox(const VWin& win, const std::unique_ptr<WinPos>* places, int count, long long& h0,
                 long long& h1, long long& v0, long long& v1);

// Rebuilds store's file with exactly the keys fill writes, in its order, and saves it once
// (an atomic replace). The store then holds the new document; when the save fails, the store
// and the file keep what they had. The result is the save's (1 written, 0 not).
int vsRebuildKeyFile(ConfStore& store, const std::function<void(QelConfig&)>& fill);

// The stacking stamps after window w of windows first..first+count-1 was placed (cur holds
// their new state, org the state before). Going up with the highest stamp seen so far, a
// window that comes back into view over a lower stamp goes on top of it and a hidden window
// gets its own number; w ends above every other. Each window whose visibility changed is
// saved and counted and, but for w, listed; then w is listed, every org record takes the new
// state and w is saved. The result is that count.
int vsStampWindows(std::unique_ptr<VWin>* cur, std::unique_ptr<VWin>* org, int first, int count,
                   int w, ArrayList<VWin>& list, const std::function<void(int)>& save);

// Puts decoder ip (alias name, split) onto the first free display screen of scene s in all
// three presets, with the split text (VSServerSceneDisplay.cpp). With emptySources the
// screen's windows lose their sources and each gets an "unused_window" url text. The screen,
// or -1 with nothing changed when none is free or a key file could not be written.
int vsPlaceOnSceneDisplay(VSServer& m, int s, const std::string& ip, const std::string& name,
                          int split, bool emptySources, VSTextBatch& batch);

// --- The commands that name scenes and devices (VSServerVW.cpp, VSServerSceneRx.cpp) -------
// Longest word these commands hold.
const size_t VS_WORD_MAX = 63;
// The words after keyword in a copy of cmd, at most keep of them (later ones are ignored);
// false when a word is longer than VS_WORD_MAX.
bool vsWords(const char* cmd, size_t keywordLength, size_t keep, std::vector<std::string>& words);
// The scene named exactly name, lowest first; -1 for none. An empty name names no scene.
int vsSceneByName(const VSServer& m, const std::string& name);
// The address of the device (any kind) whose alias or host name is name; "" for none.
std::string vsDeviceAddress(VSServer& m, const std::string& name);

// Scene wall repairs (VSServerSceneWall.cpp). Whether, before the current change, one of the
// first nOwn windows of the cell reached into a cell of the wall of (s, q) (the other cells
// counting their own split), or any window reached into the cell; hidden windows count.
bool vsSceneCellCrossed(VSServer& m, int s, int q, int cell, int nOwn);
// The cell's windows laid out for split and placed again (short hides), so every decoder that
// shows one of them is told.
void vsReplaceSceneCell(VSServer& m, int s, int p, int cell, int split);
// Every cell of (s, q) laid out again for its split and saved; nothing is sent.
void vsRelayoutScenePreset(VSServer& m, int s, int q);

// Key writes to several files that stand or fall together. The writes go to a copy of each
// store's document (edit) or to a new empty one for its file (replace), and commit saves them
// file by file. When one cannot be written, the files already replaced get their old
// documents back, every store keeps what it had and commit gives false; otherwise the stores
// hold the new documents. A change that is never committed changes nothing.
class VSKeyFilesChange {
public:
    // The document to write into for store (the same one for every call with that store).
    QelConfig& edit(ConfStore& store);
    QelConfig& replace(ConfStore& store);
    // True when every file was written (or nothing was to be written).
    bool commit();
    // After a commit: writes the old documents back and puts the old stores in place, for a
    // change whose later step failed. Does nothing before a commit.
    void undo();
    // The file that could not be written by the last commit ("" when none).
    const std::string& failedFile() const { return failed_; }

private:
    QelConfig& add(ConfStore& store, bool copy);
    std::vector<std::pair<ConfStore*, ConfStore>> files_;
    std::string failed_;
    bool committed_ = false;
};
