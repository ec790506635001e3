// The decoder's settings files under /mnt: one value per line, read once at start into the
// globals below and rewritten whole by the command that changes a value.
#pragma once

#include <atomic>
#include <mutex>

#include "display/qelDrvLib.h"

extern std::atomic<int> CutEdgeHor, CutEdgeVer;
extern std::atomic<int> AudioOutput;
extern std::atomic<int> Serial_BaudRate, Serial_DataBits, Serial_Parity, Serial_StopBits;
extern std::atomic<int> Serial_Enable;
extern std::atomic<int> iSplit_Num;
extern std::atomic<int> Luma, Contrast, Hue, Satuature;
extern std::atomic<int> version;
extern std::atomic<int> windows;
extern std::atomic<int> video_out;
extern std::atomic<unsigned char> chnipDisplayenable;
extern std::atomic<unsigned long> circle_broadcast_enable_num;
// Texts of the settings; guarded by gTextLock.
extern std::mutex gTextLock;
extern unsigned char Serial_DestIP[32];
extern unsigned char decoder_Name[32];

// Built-in defaults of every setting above and an empty URL table (start of a box).
void resetSettingsDefaults();

int saveCutEdge();
int saveAudioOutput();
int saveSerialConfig();
int saveDecoderNameConfig();
int saveSplitNumConfig();
int saveCsc();
int checkCutEdge();
int checkAudioOutput();
int checkSerialConfig();
int checkDecoderNameConfig();
int checkSplitNumConfig();
int checkCsc();

int checkIni();
int saveIni();
int checkNetIni();
int iWriteTofile(const char* string, int id);
int iWrite_GW(const char* string, int id);
