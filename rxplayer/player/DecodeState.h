// The player's own records: the slot record VideoState, the packet queues, the slot tables and
// the stream lifecycle that the window calls and the reader threads share.
#pragma once

#include <sys/time.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <SDL/SDL_mutex.h>
#include <SDL/SDL_thread.h>
#include <SDL/SDL_timer.h>

#include "Decode.h"

// State of a reader thread (thread_read_status, thread_video_status).
enum {
    TASK_STATUS_UNINIT = 0,  // no reader: the slot can be started
    TASK_STATUS_INIT = 1,    // reader created, opening
    TASK_STATUS_RUNING = 2,  // reader in its packet loop
    TASK_STATUS_FAILED = 3,  // reader ended with an error: join it
    TASK_STATUS_ABORT = 4,   // reader ended on request: join it
};

// A queue takes no more packets than this: its producer has no consumer in most cases.
#define PACKET_QUEUE_MAX_PACKETS 256
#define SUBPICTURE_QUEUE_SIZE 4
#define QEL_INIT_PKT_NUM 32
#define QEL_INIT_PKT_SIZE 128
#define QEL_WIN_INDEX_NUM 6

struct MyAVPacketList {
    AVPacket* pkt;  // owned by the node, except the flush marker
    MyAVPacketList* next;
};

struct PacketQueue {
    MyAVPacketList* first_pkt;
    MyAVPacketList* last_pkt;
    int nb_packets;
    int size;  // payload bytes plus one node record per packet
    int abort_request;
    SDL_mutex* mutex;
    SDL_cond* cond;
};

struct SubPicture {
    double pts;
    AVSubtitle sub;
};

// A per-channel init packet: the stream's parameter sets, sent before its first packet.
struct QelInitPacket {
    uint8_t* data;  // QEL_INIT_PKT_SIZE bytes
    int size;
};

enum ShowMode { SHOW_MODE_NONE = -1, SHOW_MODE_VIDEO = 0 };

// One player slot. Values another thread reads while the owner writes them are atomic.
struct VideoState {
    SDL_Thread* read_tid;
    const AVInputFormat* iformat;
    AVFormatContext* ic;
    char filename[1024];
    std::atomic<int> thread_read_status;
    SDL_Thread* video_tid;
    std::atomic<int> thread_video_status;
    SDL_Thread* refresh_tid;
    int refresh;
    ShowMode show_mode;

    SDL_Thread* subtitle_tid;
    int subtitle_stream;
    int subtitle_stream_changed;
    AVStream* subtitle_st;
    AVCodecContext* subtitle_avctx;
    PacketQueue subtitleq;
    SubPicture subpq[SUBPICTURE_QUEUE_SIZE];
    int subpq_size, subpq_rindex, subpq_windex;

    AVStream* video_st;
    AVCodecContext* video_avctx;
    PacketQueue videoq;

    int hiID;  // slot number
    int hiWin;
    std::atomic<int> playen;    // feed gate: 0 holds the next packet back
    std::atomic<int> playinit;  // equal-grid model: the init packet was sent
    int audioplayinit;
    int audioNoHeader;        // -1 unknown, 0 G.711 with frame header, 1 16-bit PCM
    struct timeval tv_begin;  // monotonic clock
    struct timeval tv_test;
    struct timeval tv_end;

    AVStream* audio_st;
    AVCodecContext* audio_avctx;
    PacketQueue audioq;
    int audio_stream;
    int audio_src_freq;
    int audio_src_channels;
    enum AVSampleFormat audio_src_fmt;
    // Audio is framed here, never in the demuxer's buffer: packet size + 4, grown as needed.
    std::vector<uint8_t> audioScratch;

    std::atomic<int> abort_request;
    int paused;
    int seek_req;
    int av_sync_type;

    int width, height, xleft, ytop;
    std::atomic<int> is_Exist;
    std::atomic<int> FrameCounter;
    std::atomic<int> FrameCounterTemp;
    std::atomic<int> is_D1, is_720P, is_1080P;
    std::atomic<int> video_width, video_height;
    std::atomic<int> is_show;
    std::atomic<int> is_full_screen;

    std::atomic<uint32_t> iSyncCurTimeBase;
    std::atomic<uint32_t> iSyncCurTime;
    std::atomic<uint32_t> iSyncCurTime2;
    std::atomic<uint32_t> iDelayCnt;
    std::atomic<uint32_t> iSyncCurTimeSetBase;
    std::atomic<uint32_t> iSyncCurTimeSetOffset;
    std::atomic<uint32_t> iSyncCurTimeSetOffset2;
    std::atomic<int> iSyncAdjust;
    std::atomic<int32_t> iDiff;
    std::atomic<uint64_t> videoPts;  // milliseconds x 48, low 32 bits
    std::atomic<uint64_t> audioPts;  // 1/48000 s
    std::atomic<int64_t> ptsDiff;
    std::atomic<int> iSkipAudioCnt;
    int iFreepacket;

    int video_stream;
};

// Globals of the player.
extern int iChannelNum;
extern int iChannelRow;
extern std::atomic<int> decode_ChannelUse[QEL_WIN_INDEX_NUM];
extern std::atomic<int> decode_ChannelPre[QEL_WIN_INDEX_NUM];
extern QelInitPacket pktInit[QEL_INIT_PKT_NUM];
extern uint8_t pktAudioHeader[4];
extern AVPacket* flush_pkt;
extern std::atomic<int> handle_now;
extern int SAMPLE_VIDEO_OPEN_TIMEOUT;
extern AVPacket* ppkttemp;
extern SDL_mutex* pengine_mutex;
extern SDL_mutex* pevent_mutex;
extern unsigned int g_qelInited;
extern unsigned int g_qelserver;
extern char g_server_ip[256];

// Fixed player options read by the reader and component open.
extern const int wanted_stream[AVMEDIA_TYPE_NB];

// Slot tables.
// The display index of slot s as the reader sees it: 17 for slot 10, s mod 5 for 0..9, s itself
// for 11..17.
int readerDisplayIndex(int s);
// The index into decode_ChannelUse/Pre of display index d: 5 for window 17, else d.
int channelIndexOf(int d);
// 1 when slot s is the slot whose packets feed its window (never for slots 11..16).
bool isActiveSlot(int s);
// u8DisplayEn of window record w, read while window commands may change it.
int windowShown(int w);

// Packet queues.
void packet_queue_init(PacketQueue* q);
int packet_queue_put(PacketQueue* q, AVPacket* pkt);
int packet_queue_get(PacketQueue* q, AVPacket* pkt, int block);
void packet_queue_flush(PacketQueue* q);
void packet_queue_abort(PacketQueue* q);
void packet_queue_end(PacketQueue* q);
int subtitle_thread(void* arg);
// Creates the flush marker (once).
void initFlushPacket();

// Stream lifecycle.
VideoState* stream_open();
int stream_start(VideoState* is, const char* filename, const AVInputFormat* iformat);
int stream_stop(VideoState* is);
// Clears the packet counters, the sync values and the time stamps of a stream.
void clearStreamCounters(VideoState* is);
int stream_component_open(VideoState* is, int stream_index);
void stream_component_close(VideoState* is, int stream_index);
int decode_interrupt_cb(void* ctx);
int read_thread(void* arg);

// Copies the video codec's parameter sets of st into the init packet of channel d; parameter
// sets that do not fit leave it empty rather than cut.
void storeInitPacket(const AVStream* st, int d);

// Audio framing for the hardware audio decoder. noHeader 0: G.711 behind the 4-byte frame
// header; 1: 16-bit big-endian PCM, byte-swapped, stereo split into one block per channel.
// Calls send(channel, data, length) per block; works in scratch, never in data.
void frameAudioPacket(int noHeader, int channels, const uint8_t* data, int size,
                      const uint8_t header[4], std::vector<uint8_t>& scratch,
                      const std::function<void(int, const uint8_t*, int)>& send);

// For tests: stops every slot, frees the slot records and puts the player's globals and the
// window records back as before qelInitLib, which may then be called again. False when a
// reader did not end (its record is then left to it).
bool qelResetForTest();

// The monotonic clock as a timeval, and in milliseconds.
struct timeval monotonicNow();
int64_t monotonicMs();
