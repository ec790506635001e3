// Globals the player holds and the pipeline uses.
#include "common/sample_comm.h"
#include "qelWinPara.h"

SAMPLE_VOWIN_S sample_vo_win_s[QEL_WIN_MAX];
SAMPLE_VOAUDIOPARAM mySample_Vo_Audio_Param;
