// Player globals, the slot tables and the slot records.
#include <time.h>

#include <new>

#include "DecodeState.h"

VideoState* vsm[QEL_SLOT_MAX];
SDL_mutex* hiH264LibInit;
SDL_mutex* pengine_mutex;
SDL_mutex* pevent_mutex;
int iChannelNum = 4;
int iChannelRow = 2;
std::atomic<int> decode_ChannelUse[QEL_WIN_INDEX_NUM] = {0, 1, 2, 3, 4, 17};
std::atomic<int> decode_ChannelPre[QEL_WIN_INDEX_NUM] = {0, 1, 2, 3, 4, 17};
QelInitPacket pktInit[QEL_INIT_PKT_NUM];
uint8_t pktAudioHeader[4];
std::atomic<int> handle_now;
int SAMPLE_VIDEO_OPEN_TIMEOUT = 500;
AVPacket* ppkttemp;

// Indexed by media type: video, audio, data, subtitle, attachment. Only input stream 0 can be
// chosen as subtitle stream.
const int wanted_stream[AVMEDIA_TYPE_NB] = {-1, -1, -1, 0, 0};

// The default synchronisation of the desktop player this one derives from (audio master).
static const int kDefaultSyncType = 0;

void DbgOut(const char*, ...) {}

int qelSetWinRow(int iWindows) {
    iChannelNum = iWindows;
    iChannelRow = 2;
    return 0;
}

int qelGetVideoWinMax() {
    return iChannelNum;
}

void updateChannelPre(int iIndex, int iValue) {
    // Callers pass 0..5; a wrong index must not write outside the table.
    if (iIndex < 0 || iIndex >= QEL_WIN_INDEX_NUM) return;
    decode_ChannelPre[iIndex] = iValue;
}

int readerDisplayIndex(int s) {
    if (s == 10) return 17;
    if (s >= 0 && s <= 9) return s % 5;
    return s;
}

int channelIndexOf(int d) {
    return d == 17 ? 5 : d;
}

bool isActiveSlot(int s) {
    if (s == 10 || s == 17) return decode_ChannelUse[5] == s;
    if (s >= 0 && s <= 9) return decode_ChannelUse[s % 5] == s;
    return false;
}

int windowShown(int w) {
    if (w < 0 || w >= QEL_WIN_MAX) return 0;
    return __atomic_load_n(&sample_vo_win_s[w].u8DisplayEn, __ATOMIC_RELAXED);
}

VideoState* stream_open() {
    VideoState* is = new (std::nothrow) VideoState();
    if (is == nullptr) {
        DbgOut("av_mallocz failed!\n");
        return nullptr;
    }
    is->av_sync_type = kDefaultSyncType;
    is->video_stream = is->audio_stream = is->subtitle_stream = -1;
    return is;
}

struct timeval monotonicNow() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    struct timeval tv;
    tv.tv_sec = ts.tv_sec;
    tv.tv_usec = ts.tv_nsec / 1000;
    return tv;
}

int64_t monotonicMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
