// What the on-screen display needs of the decoder control: the source address of each window,
// read from the stored stream URLs. Moves to the control library when that is built.
#pragma once

// Fills uiWinNum (32 for a tour list) texts of 200 bytes with the address found in each stored
// URL (each entry one whole line of the file), or "unused_window" (also for a line longer than
// the settings keep); 0, or -1 when the file is missing or ends early. capacity is the
// number of texts the list holds (0: uiWinNum); no more are ever written.
int iGetIPAddress(unsigned int uiWinNum, unsigned char* ucIPList, unsigned char chnNum,
                  unsigned char lunxun, unsigned int capacity = 0);
// Replaces a text by the first dotted address in it: 1, or 0 (text unchanged) when none.
int iSearchIP(unsigned char* ucTemp);
