// Everything of the media platform and the box's devices that the decoder uses.
#pragma once

#include "hi_type.h"
#include "hi_comm_sys.h"
#include "hi_comm_vdec.h"
#include "hi_comm_vpss.h"
#include "hi_comm_vo.h"
#include "hi_comm_audio.h"
#include "hi_comm_hdmi.h"
#include "hi_tde.h"
#include "qel_dev.h"
#include "acodec.h"
