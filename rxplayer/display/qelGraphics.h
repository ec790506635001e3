// The graphics facade that the decoder's main and its network watcher call.
#pragma once

int graphics_Init(int channel_num, int full_multi, int iWin);
int graphicsDisplayCurInfo(char* pCurInfo, unsigned char enflag, unsigned char index);
int graphicsDisplayNosignal(int chn, int enflag);
int graphicsDisplayInfoForCycleBroadcast(int chn, int enflag);
int graphicsDisplaySetLunXunFlags(int flag);
int graphicsDisplayIP(int chn);
int graphicsDisplayAlarm(int chn, int enflag);
int graphicsDisplayNetState(int linkUp);
