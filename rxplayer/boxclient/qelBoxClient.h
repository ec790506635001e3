// The remote-box client: the player's show, full-screen and stop operations would be sent to a
// remote box through it in client mode, which this program never selects.
#pragma once

// Creates the client's lock and work buffers and sets the reply wait (0.2 s); 0, or -1 when the
// lock or a buffer cannot be obtained (nothing is then kept).
int qelInitNUL(void);
// Releases what qelInitNUL created.
void qelUninitNUL(void);
// Sends one text command to port 8888 of a remote box in a 128-byte datagram; for the commands
// a box answers ("connect", "Are you box?", ...) waits the reply time for the answer. 0, or -1 on
// an error or a wrong or missing answer (and before qelInitNUL); a null argument returns 0.
int qelSendCmdToBox(char* boxip, char* cmd);
