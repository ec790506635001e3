// Serial driver layer behind the serial front end. Only CommDrvUninit has a caller.
#pragma once

extern int my_blComConnected;
extern int my_hComHandle;

int CommDrvInit();
int CommDrvUninit();
int CommDrvFlushBuffer();
// Opens the console port at the given speed, parity ('N', 'O', 'E'), stop bits and data bits.
int CommDrvConnectCom(int speed, char parity, int stopBits, int dataBits);
int CommDrvDisconnectCom();
