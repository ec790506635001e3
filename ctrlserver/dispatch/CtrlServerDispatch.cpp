// The two dispatcher stages. (Placeholder until the command language lands: no command is
// taken, so no reply is queued.)
#include "core/CtrlServer.h"

int CtrlServer::ProcessSub1(char* text, int len, unsigned int) {
    if (len > 74999 || !text) return 0;
    return 0;
}

int CtrlServer::Process(char* text, int len, unsigned int) {
    if (len > 74999 || !text) return 0;
    return 0;
}
