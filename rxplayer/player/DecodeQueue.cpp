// Packet queues of the slot components and the subtitle thread, their only consumer.
#include <cstring>

#include "DecodeState.h"

AVPacket* flush_pkt;

static uint8_t flushText[] = "flush";

void initFlushPacket() {
    if (flush_pkt != nullptr) return;
    flush_pkt = av_packet_alloc();
    if (flush_pkt != nullptr) flush_pkt->data = flushText;
}

static bool isFlushPacket(const AVPacket* pkt) {
    return pkt == flush_pkt || (flush_pkt != nullptr && pkt->data == flush_pkt->data);
}

void packet_queue_init(PacketQueue* q) {
    memset(q, 0, sizeof *q);
    q->mutex = SDL_CreateMutex();
    q->cond = SDL_CreateCond();
    if (flush_pkt != nullptr) packet_queue_put(q, flush_pkt);
}

int packet_queue_put(PacketQueue* q, AVPacket* pkt) {
    if (q->mutex == nullptr) return -1;
    SDL_LockMutex(q->mutex);
    bool full = q->nb_packets >= PACKET_QUEUE_MAX_PACKETS;
    SDL_UnlockMutex(q->mutex);
    if (full) return -1;

    AVPacket* copy = flush_pkt;
    if (!isFlushPacket(pkt)) {
        copy = av_packet_alloc();
        if (copy == nullptr) return -1;
        if (av_packet_ref(copy, pkt) < 0) {
            av_packet_free(&copy);
            return -1;
        }
    }
    MyAVPacketList* node = static_cast<MyAVPacketList*>(av_malloc(sizeof *node));
    if (node == nullptr) {
        if (copy != flush_pkt) av_packet_free(&copy);
        return -1;
    }
    node->pkt = copy;
    node->next = nullptr;

    SDL_LockMutex(q->mutex);
    // The producer is one thread, but a second put must not pass the bound either.
    if (q->nb_packets >= PACKET_QUEUE_MAX_PACKETS) {
        SDL_UnlockMutex(q->mutex);
        if (copy != flush_pkt) av_packet_free(&copy);
        av_free(node);
        return -1;
    }
    if (q->last_pkt == nullptr)
        q->first_pkt = node;
    else
        q->last_pkt->next = node;
    q->last_pkt = node;
    q->nb_packets++;
    q->size += copy->size + static_cast<int>(sizeof *node);
    SDL_CondSignal(q->cond);
    SDL_UnlockMutex(q->mutex);
    return 0;
}

// Frees one node and the packet it owns.
static void freeNode(MyAVPacketList* node) {
    if (node->pkt != flush_pkt) av_packet_free(&node->pkt);
    av_free(node);
}

int packet_queue_get(PacketQueue* q, AVPacket* pkt, int block) {
    int ret;
    SDL_LockMutex(q->mutex);
    for (;;) {
        if (q->abort_request) {
            ret = -1;
            break;
        }
        MyAVPacketList* node = q->first_pkt;
        if (node != nullptr) {
            q->first_pkt = node->next;
            if (q->first_pkt == nullptr) q->last_pkt = nullptr;
            q->nb_packets--;
            q->size -= node->pkt->size + static_cast<int>(sizeof *node);
            av_packet_unref(pkt);
            if (node->pkt == flush_pkt) {
                // The marker is recognised by its data pointer and owns nothing.
                pkt->data = flush_pkt->data;
                pkt->size = flush_pkt->size;
            } else {
                av_packet_move_ref(pkt, node->pkt);
            }
            freeNode(node);
            ret = 1;
            break;
        }
        if (!block) {
            ret = 0;
            break;
        }
        SDL_CondWait(q->cond, q->mutex);
    }
    SDL_UnlockMutex(q->mutex);
    return ret;
}

void packet_queue_flush(PacketQueue* q) {
    if (q->mutex == nullptr) return;
    SDL_LockMutex(q->mutex);
    for (MyAVPacketList* node = q->first_pkt; node != nullptr;) {
        MyAVPacketList* next = node->next;
        freeNode(node);
        node = next;
    }
    q->first_pkt = q->last_pkt = nullptr;
    q->nb_packets = 0;
    q->size = 0;
    SDL_UnlockMutex(q->mutex);
}

void packet_queue_abort(PacketQueue* q) {
    if (q->mutex == nullptr) return;
    SDL_LockMutex(q->mutex);
    q->abort_request = 1;
    SDL_CondSignal(q->cond);
    SDL_UnlockMutex(q->mutex);
}

void packet_queue_end(PacketQueue* q) {
    packet_queue_flush(q);
    if (q->mutex != nullptr) SDL_DestroyMutex(q->mutex);
    if (q->cond != nullptr) SDL_DestroyCond(q->cond);
    q->mutex = nullptr;
    q->cond = nullptr;
}

int subtitle_thread(void* arg) {
    VideoState* is = static_cast<VideoState*>(arg);
    AVPacket* pkt = av_packet_alloc();
    if (pkt == nullptr) return 0;
    for (;;) {
        while (is->paused && !is->subtitleq.abort_request) SDL_Delay(10);
        if (packet_queue_get(&is->subtitleq, pkt, 1) < 0) break;
        if (isFlushPacket(pkt)) {
            pkt->data = nullptr;
            pkt->size = 0;
            if (is->subtitle_avctx != nullptr) avcodec_flush_buffers(is->subtitle_avctx);
            continue;
        }
        SubPicture* sp = &is->subpq[is->subpq_windex];
        int got = 0;
        if (is->subtitle_avctx != nullptr &&
            avcodec_decode_subtitle2(is->subtitle_avctx, &sp->sub, &got, pkt) >= 0 && got) {
            // Nothing shows subtitles: the picture is released at once, the ring only advances.
            sp->pts = pkt->pts != AV_NOPTS_VALUE ? static_cast<double>(pkt->pts) : 0.0;
            avsubtitle_free(&sp->sub);
            is->subpq_windex = (is->subpq_windex + 1) % SUBPICTURE_QUEUE_SIZE;
        }
        av_packet_unref(pkt);
        SDL_Delay(0);
    }
    av_packet_free(&pkt);
    return 0;
}
