// Helpers shared by the model's command operations: reading the arguments of a command text
// and rewriting a whole key file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "wall/VSServer.h"

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
