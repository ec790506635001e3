// The on-screen display: frame lines, channel badges, window addresses and the information
// line, drawn on the framebuffer layer with the 2D engine from .bits resources under /mnt/res.
#pragma once

#include "display/OSD/qelOsdLayout.h"
#include "hi_platform.h"

#define OSD_MEM_BLOCK_SIZE 7200000
#define OSD_GLYPH_COUNT 66
#define OSD_GLYPH_DOT 10
#define OSD_IP_CHARS 18
#define OSD_INFO_CHARS 38

int initTDE();
int hiInitOSD();
void hiCloseOSD();
int hiInitOSDSize(int outSize);
int initHiFB();
int TDE_CreateSurfaceByFile(const char* pszFileName, TDE2_SURFACE_S* pstSurface, HI_U8* pu8Virt,
                            size_t capacity);

int hiCalcOSDpst(int s32ChnTotal, int enVoMode);
int hiDrawRect(int chnTotl, int enVoMode);
int hiDrawOSDchn(int chnTtl, int chnNum, int fwflag);
int hiDrawOSDip(int chnTtl, int winNum, int chnNum, int lunxunFlag, int fwflag);
int hiDrawOSDCurInfo(char* pCurInfo, unsigned char enflag, unsigned char index);
int hiDrawOSDNoSignal(int chnTtl, int chnNum, int fwflag, int enflag);
int hiDrawOSDalarm(int chnTtl, int chnNum, int fwflag, int enflag);
int hiDrawOSDlinkdown(int enflag);
int hiOSDclean();
int osdClean(int x, int y, int xlen, int ylen);
int hiDisplayPan(int xoffset, int yoffset);

void getIpFromString(const char* string, int num);
void setCurInfo(const char* string);

// For tests: forget the memory block and the layer size (the platform was reset).
void osdResetState();
// For tests: the OSD size and the rectangle of window n of the current split.
int osdOutWidth();
int osdOutHeight();
Position osdWindowRect(int n);
