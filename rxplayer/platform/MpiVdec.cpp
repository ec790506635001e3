// Video decoder channels and scaler groups, and the decode model that shows fed frames over
// time.
#include <algorithm>

#include "SimInternal.h"

using namespace qelsim;
using namespace qelsim::detail;

namespace {

using Clock = std::chrono::steady_clock;

// Time stamps further ahead than this (about 11 days) are taken as that far, so that the
// clock arithmetic cannot overflow.
constexpr uint64_t kFarAheadUs = 1000000ull * 1000000ull;

// When a stamped frame is due on screen.
Clock::time_point dueAt(const Sim& s, const QueuedFrame& f) {
    if (f.pts <= s.st.ptsBase) return s.ptsBaseAt;
    uint64_t ahead = std::min(f.pts - s.st.ptsBase, kFarAheadUs);
    return s.ptsBaseAt + std::chrono::microseconds(static_cast<int64_t>(ahead));
}

// When the oldest decoded picture waiting in the output of channel c goes on screen: one
// frame time after the picture before it, never before it was fed.
Clock::time_point pictureDue(const Sim& s, int c) {
    return std::max(s.vdecPictures[c].front().sentAt, s.vdecLastShown[c] + kVdecUntimedInterval);
}

// Calls f for every output channel that decode channel c feeds, directly or through a scaler
// group.
template <class F>
void forEachOutput(Sim& s, int c, F f) {
    for (const Bind& b : s.st.binds) {
        if (b.src.enModId != HI_ID_VDEC || b.src.s32ChnId != c) continue;
        if (b.dst.enModId == HI_ID_VOU) f(s.st.vo[b.dst.s32DevId].chn[b.dst.s32ChnId]);
        if (b.dst.enModId != HI_ID_VPSS) continue;
        for (const Bind& o : s.st.binds)
            if (o.src.enModId == HI_ID_VPSS && o.src.s32DevId == b.dst.s32DevId &&
                o.dst.enModId == HI_ID_VOU)
                f(s.st.vo[o.dst.s32DevId].chn[o.dst.s32ChnId]);
    }
}

// The counters that follow the stream buffer and the output queue of channel c.
void syncCounters(Sim& s, int c) {
    VdecChannel& v = s.st.vdec[c];
    v.queued = static_cast<uint32_t>(s.vdecQueue[c].size());
    uint32_t ahead = std::min<uint32_t>(static_cast<uint32_t>(s.vdecPictures[c].size()) + v.queued,
                                        kVoChnBufFrames);
    forEachOutput(s, c, [ahead](VoChannel& o) { o.bufUsed = ahead; });
    s.dirty = true;
}

void showFrame(Sim& s, int c, const QueuedFrame& f, Clock::time_point due) {
    VdecChannel& v = s.st.vdec[c];
    v.shown++;
    v.shownPts = f.pts;
    s.vdecLastShown[c] = std::max(due, f.sentAt);
}

// Decodes and shows what channel c holds, up to now. The decoder runs ahead of the display:
// a frame without a time stamp is decoded as soon as one of the channel's picture buffers is
// free, so the few frames that pile up while a stream starts leave the stream buffer at once;
// a source that keeps feeding faster than the output shows fills the buffers and then the
// stream buffer, and is held back. A stamped frame waits in the stream buffer until its time,
// behind the pictures decoded before it.
void advanceChannel(Sim& s, int c, Clock::time_point now) {
    std::deque<QueuedFrame>& q = s.vdecQueue[c];
    std::deque<QueuedFrame>& pictures = s.vdecPictures[c];
    VdecChannel& v = s.st.vdec[c];
    if ((q.empty() && pictures.empty()) || v.stalled) return;
    bool moved = false;
    for (;;) {
        while (!q.empty() && q.front().pts == 0 && pictures.size() < kVdecPictures) {
            pictures.push_back(q.front());
            v.queuedBytes -= q.front().len;
            q.pop_front();
            moved = true;
        }
        if (!pictures.empty()) {
            Clock::time_point due = pictureDue(s, c);
            if (due > now) break;
            showFrame(s, c, pictures.front(), due);
            pictures.pop_front();
            moved = true;
            continue;
        }
        if (q.empty()) break;
        Clock::time_point due = dueAt(s, q.front());
        if (due > now) break;
        showFrame(s, c, q.front(), due);
        v.queuedBytes -= q.front().len;
        q.pop_front();
        moved = true;
    }
    if (!moved) return;
    uint64_t pts = v.shownPts;
    forEachOutput(s, c, [pts](VoChannel& o) { o.pts = pts; });
    syncCounters(s, c);
}

// When channel c shows its next frame; never while it is stalled or empty.
Clock::time_point nextDue(const Sim& s, int c) {
    if (s.st.vdec[c].stalled) return Clock::time_point::max();
    if (!s.vdecPictures[c].empty()) return pictureDue(s, c);
    if (s.vdecQueue[c].empty()) return Clock::time_point::max();
    const QueuedFrame& f = s.vdecQueue[c].front();
    return f.pts == 0 ? f.sentAt : dueAt(s, f);
}

// Drops what a channel holds when it is created or destroyed; the stall and the count of
// creations belong to the channel number and stay.
void freshChannel(Sim& s, int c, bool exists) {
    VdecChannel& v = s.st.vdec[c];
    int creations = v.creations;
    bool stalled = v.stalled;
    v = VdecChannel{};
    v.exists = exists;
    v.creations = creations + (exists ? 1 : 0);
    v.stalled = stalled;
    s.vdecQueue[c].clear();
    s.vdecPictures[c].clear();
    s.vdecLastShown[c] = Clock::time_point{};
    decodeEnd(c);
    s.wake.notify_all();
}

bool badVdec(VDEC_CHN c) {
    return c < 0 || c >= VDEC_MAX_CHN_NUM;
}
bool badGrp(VPSS_GRP g) {
    return g < 0 || g >= VPSS_MAX_GRP_NUM;
}
bool badVpssChn(VPSS_CHN c) {
    return c < 0 || c >= VPSS_MAX_CHN_NUM;
}

}  // namespace

HI_S32 HI_MPI_VDEC_CreateChn(VDEC_CHN VdChn, const VDEC_CHN_ATTR_S* pstAttr) {
    QELSIM_ENTER("%d,type=%d,%ux%u,buf=%u", VdChn, pstAttr ? static_cast<int>(pstAttr->enType) : -1,
                 pstAttr ? pstAttr->u32PicWidth : 0u, pstAttr ? pstAttr->u32PicHeight : 0u,
                 pstAttr ? pstAttr->u32BufSize : 0u);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!pstAttr) return HI_ERR_VDEC_NULL_PTR;
    VdecChannel& c = s.st.vdec[VdChn];
    if (c.exists) return HI_ERR_VDEC_EXIST;
    if (pstAttr->enType != PT_H264 && pstAttr->enType != PT_JPEG && pstAttr->enType != PT_MJPEG)
        return HI_ERR_VDEC_NOT_SUPPORT;
    if (pstAttr->u32PicWidth < VDEC_MIN_PIC_SIZE || pstAttr->u32PicWidth > VDEC_MAX_PIC_WIDTH ||
        pstAttr->u32PicHeight < VDEC_MIN_PIC_SIZE || pstAttr->u32PicHeight > VDEC_MAX_PIC_HEIGHT ||
        pstAttr->u32BufSize == 0)
        return HI_ERR_VDEC_ILLEGAL_PARAM;
    if (pstAttr->enType == PT_H264 && (pstAttr->stVdecAttrH264.u32RefFrameNum > 16 ||
                                       pstAttr->stVdecAttrH264.enMode >= VIDEO_MODE_BUTT))
        return HI_ERR_VDEC_ILLEGAL_PARAM;
    freshChannel(s, VdChn, true);
    c.attr = *pstAttr;
    c.prtcl.enType = pstAttr->enType;
    c.prtcl.stH264PrtclParam = VDEC_PRTCL_PARAM_H264_S{8, 2, 2, 1024 * 1024, 2};
    c.param = VDEC_CHN_PARAM_S{0, 0, 0, 0};
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_DestroyChn(VDEC_CHN VdChn) {
    QELSIM_ENTER("%d", VdChn);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    VdecChannel& c = s.st.vdec[VdChn];
    if (!c.exists) return HI_ERR_VDEC_UNEXIST;
    freshChannel(s, VdChn, false);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_GetChnAttr(VDEC_CHN VdChn, VDEC_CHN_ATTR_S* pstAttr) {
    QELSIM_ENTER("%d", VdChn);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!pstAttr) return HI_ERR_VDEC_NULL_PTR;
    if (!s.st.vdec[VdChn].exists) return HI_ERR_VDEC_UNEXIST;
    *pstAttr = s.st.vdec[VdChn].attr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_StartRecvStream(VDEC_CHN VdChn) {
    QELSIM_ENTER("%d", VdChn);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!s.st.vdec[VdChn].exists) return HI_ERR_VDEC_UNEXIST;
    s.st.vdec[VdChn].receiving = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_StopRecvStream(VDEC_CHN VdChn) {
    QELSIM_ENTER("%d", VdChn);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!s.st.vdec[VdChn].exists) return HI_ERR_VDEC_UNEXIST;
    s.st.vdec[VdChn].receiving = false;
    s.wake.notify_all();
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_Query(VDEC_CHN VdChn, VDEC_CHN_STAT_S* pstStat) {
    QELSIM_ENTER("%d", VdChn);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!pstStat) return HI_ERR_VDEC_NULL_PTR;
    const VdecChannel& c = s.st.vdec[VdChn];
    if (!c.exists) return HI_ERR_VDEC_UNEXIST;
    *pstStat = VDEC_CHN_STAT_S{};
    pstStat->enType = c.attr.enType;
    uint64_t left = static_cast<uint64_t>(c.leftStreamFrames) + c.queued;
    pstStat->u32LeftStreamFrames = static_cast<HI_U32>(left);
    pstStat->u32LeftStreamBytes = static_cast<HI_U32>(c.queuedBytes);
    pstStat->u32LeftPics = c.leftPics;
    pstStat->bStartRecvStream = c.receiving ? HI_TRUE : HI_FALSE;
    pstStat->u32RecvStreamFrames = static_cast<HI_U32>(c.streams);
    pstStat->u32DecodeStreamFrames = static_cast<HI_U32>(c.streams > left ? c.streams - left : 0);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_SendStream(VDEC_CHN VdChn, const VDEC_STREAM_S* pstStream,
                              HI_IO_BLOCK_E enBlock) {
    QELSIM_ENTER("%d,len=%u,pts=%llu,%d", VdChn, pstStream ? pstStream->u32Len : 0u,
                 pstStream ? pstStream->u64PTS : 0ull, static_cast<int>(enBlock));
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!pstStream || (pstStream->u32Len > 0 && !pstStream->pu8Addr)) return HI_ERR_VDEC_NULL_PTR;
    VdecChannel& c = s.st.vdec[VdChn];
    if (!c.exists) return HI_ERR_VDEC_UNEXIST;
    if (!c.receiving) return HI_ERR_VDEC_NOT_PERM;
    if (pstStream->u32Len == 0 || pstStream->u32Len > c.attr.u32BufSize)
        return HI_ERR_VDEC_ILLEGAL_PARAM;
    // Touch both ends of the packet, as the decoder's DMA would.
    volatile uint8_t first = pstStream->pu8Addr[0];
    volatile uint8_t last = pstStream->pu8Addr[pstStream->u32Len - 1];
    (void)first;
    (void)last;
    uint32_t len = pstStream->u32Len;
    uint64_t pts = pstStream->u64PTS;
    std::deque<QueuedFrame>& q = s.vdecQueue[VdChn];
    auto full = [&] {
        return q.size() >= kVdecStreamFrames || c.queuedBytes + len > c.attr.u32BufSize;
    };
    if (full()) {
        if (enBlock == HI_IO_NOBLOCK) {
            c.sendFulls++;
            return HI_ERR_VDEC_BUF_FULL;
        }
        c.sendWaits++;
        const Clock::time_point deadline = Clock::now() + kVdecSendWait;
        const int creation = c.creations;
        const uint64_t resets = s.resets;
        for (;;) {
            s.wake.wait_until(simLock, std::min(deadline, nextDue(s, VdChn)));
            if (s.resets != resets || !c.exists || c.creations != creation)
                return HI_ERR_VDEC_UNEXIST;
            if (!c.receiving) return HI_ERR_VDEC_NOT_PERM;
            Clock::time_point now = Clock::now();
            advanceChannel(s, VdChn, now);
            if (!full()) break;
            if (now >= deadline) {
                c.sendFulls++;
                return HI_ERR_VDEC_BUF_FULL;
            }
        }
    }
    c.streams++;
    c.bytes += len;
    c.lastPts = pts;
    if (decodingOn()) decodeFeed(VdChn, c.creations, c.attr.enType, pstStream->pu8Addr, len);
    q.push_back(QueuedFrame{len, pts, Clock::now()});
    c.queuedBytes += len;
    syncCounters(s, VdChn);
    advanceChannel(s, VdChn, Clock::now());
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_GetPrtclParam(VDEC_CHN VdChn, VDEC_PRTCL_PARAM_S* pstParam) {
    QELSIM_ENTER("%d", VdChn);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!pstParam) return HI_ERR_VDEC_NULL_PTR;
    if (!s.st.vdec[VdChn].exists) return HI_ERR_VDEC_UNEXIST;
    *pstParam = s.st.vdec[VdChn].prtcl;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_SetPrtclParam(VDEC_CHN VdChn, const VDEC_PRTCL_PARAM_S* pstParam) {
    QELSIM_ENTER("%d", VdChn);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!pstParam) return HI_ERR_VDEC_NULL_PTR;
    VdecChannel& c = s.st.vdec[VdChn];
    if (!c.exists) return HI_ERR_VDEC_UNEXIST;
    if (c.receiving) return HI_ERR_VDEC_NOT_PERM;
    const VDEC_PRTCL_PARAM_H264_S& h = pstParam->stH264PrtclParam;
    if (h.s32MaxSpsNum < 1 || h.s32MaxSpsNum > 32 || h.s32MaxPpsNum < 1 || h.s32MaxPpsNum > 256 ||
        h.s32MaxSliceNum < 1 || h.s32MaxSliceNum > 136)
        return HI_ERR_VDEC_ILLEGAL_PARAM;
    c.prtcl = *pstParam;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_GetChnParam(VDEC_CHN VdChn, VDEC_CHN_PARAM_S* pstParam) {
    QELSIM_ENTER("%d", VdChn);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!pstParam) return HI_ERR_VDEC_NULL_PTR;
    if (!s.st.vdec[VdChn].exists) return HI_ERR_VDEC_UNEXIST;
    *pstParam = s.st.vdec[VdChn].param;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_SetChnParam(VDEC_CHN VdChn, const VDEC_CHN_PARAM_S* pstParam) {
    QELSIM_ENTER("%d,order=%d", VdChn, pstParam ? pstParam->s32DecOrderOutput : -1);
    if (badVdec(VdChn)) return HI_ERR_VDEC_INVALID_CHNID;
    if (!pstParam) return HI_ERR_VDEC_NULL_PTR;
    if (!s.st.vdec[VdChn].exists) return HI_ERR_VDEC_UNEXIST;
    if (pstParam->s32DecOrderOutput < 0 || pstParam->s32DecOrderOutput > 1)
        return HI_ERR_VDEC_ILLEGAL_PARAM;
    s.st.vdec[VdChn].param = *pstParam;
    return HI_SUCCESS;
}

void qelsim::detail::advanceDecoders(Sim& s, Clock::time_point now) {
    for (int c = 0; c < VDEC_MAX_CHN_NUM; ++c)
        if (!s.vdecQueue[c].empty() || !s.vdecPictures[c].empty()) advanceChannel(s, c, now);
}

void qelsim::detail::clearPictures(Sim& s, const VoChannel& out) {
    for (int c = 0; c < VDEC_MAX_CHN_NUM; ++c) {
        if (s.vdecPictures[c].empty()) continue;
        bool feeds = false;
        forEachOutput(s, c, [&](VoChannel& o) { feeds = feeds || &o == &out; });
        if (!feeds) continue;
        s.st.vdec[c].dropped += s.vdecPictures[c].size();
        s.vdecPictures[c].clear();
        syncCounters(s, c);
    }
}

// ---- scaler groups ----

HI_S32 HI_MPI_VPSS_CreatGrp(VPSS_GRP VpssGrp, const VPSS_GRP_ATTR_S* pstGrpAttr) {
    QELSIM_ENTER("%d,%ux%u", VpssGrp, pstGrpAttr ? pstGrpAttr->u32MaxW : 0u,
                 pstGrpAttr ? pstGrpAttr->u32MaxH : 0u);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (!pstGrpAttr) return HI_ERR_VPSS_NULL_PTR;
    VpssGroup& g = s.st.vpss[VpssGrp];
    if (g.exists) return HI_ERR_VPSS_EXIST;
    if (pstGrpAttr->u32MaxW < VPSS_MIN_IMAGE_SIZE || pstGrpAttr->u32MaxW > VPSS_MAX_IMAGE_WIDTH ||
        pstGrpAttr->u32MaxH < VPSS_MIN_IMAGE_SIZE || pstGrpAttr->u32MaxH > VPSS_MAX_IMAGE_HEIGHT ||
        pstGrpAttr->enDieMode >= VPSS_DIE_MODE_BUTT)
        return HI_ERR_VPSS_ILLEGAL_PARAM;
    g = VpssGroup{};
    g.exists = true;
    g.attr = *pstGrpAttr;
    g.param = VPSS_GRP_PARAM_S{50, 32, 0, 32, 8, 8, VPSS_DIS_MODE_TV};
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_DestroyGrp(VPSS_GRP VpssGrp) {
    QELSIM_ENTER("%d", VpssGrp);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    VpssGroup& g = s.st.vpss[VpssGrp];
    if (!g.exists) return HI_ERR_VPSS_UNEXIST;
    if (g.started) return HI_ERR_VPSS_NOT_PERM;
    g = VpssGroup{};
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_StartGrp(VPSS_GRP VpssGrp) {
    QELSIM_ENTER("%d", VpssGrp);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    s.st.vpss[VpssGrp].started = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_StopGrp(VPSS_GRP VpssGrp) {
    QELSIM_ENTER("%d", VpssGrp);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    s.st.vpss[VpssGrp].started = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_GetGrpAttr(VPSS_GRP VpssGrp, VPSS_GRP_ATTR_S* pstGrpAttr) {
    QELSIM_ENTER("%d", VpssGrp);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (!pstGrpAttr) return HI_ERR_VPSS_NULL_PTR;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    *pstGrpAttr = s.st.vpss[VpssGrp].attr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_SetChnAttr(VPSS_GRP VpssGrp, VPSS_CHN VpssChn,
                              const VPSS_CHN_ATTR_S* pstChnAttr) {
    QELSIM_ENTER("%d,%d", VpssGrp, VpssChn);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (badVpssChn(VpssChn)) return HI_ERR_VPSS_INVALID_CHNID;
    if (!pstChnAttr) return HI_ERR_VPSS_NULL_PTR;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    for (HI_U32 w : pstChnAttr->stFrame.u32Width)
        if (w > 14 || (w & 1)) return HI_ERR_VPSS_ILLEGAL_PARAM;
    s.st.vpss[VpssGrp].chnAttr[VpssChn] = *pstChnAttr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_GetChnAttr(VPSS_GRP VpssGrp, VPSS_CHN VpssChn, VPSS_CHN_ATTR_S* pstChnAttr) {
    QELSIM_ENTER("%d,%d", VpssGrp, VpssChn);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (badVpssChn(VpssChn)) return HI_ERR_VPSS_INVALID_CHNID;
    if (!pstChnAttr) return HI_ERR_VPSS_NULL_PTR;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    *pstChnAttr = s.st.vpss[VpssGrp].chnAttr[VpssChn];
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_EnableChn(VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    QELSIM_ENTER("%d,%d", VpssGrp, VpssChn);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (badVpssChn(VpssChn)) return HI_ERR_VPSS_INVALID_CHNID;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    s.st.vpss[VpssGrp].chnEnabled[VpssChn] = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_DisableChn(VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    QELSIM_ENTER("%d,%d", VpssGrp, VpssChn);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (badVpssChn(VpssChn)) return HI_ERR_VPSS_INVALID_CHNID;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    s.st.vpss[VpssGrp].chnEnabled[VpssChn] = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_GetParam(VPSS_GRP VpssGrp, VPSS_CHN VpssChn, VPSS_GRP_PARAM_S* pstParam) {
    QELSIM_ENTER("%d,%d", VpssGrp, VpssChn);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (badVpssChn(VpssChn)) return HI_ERR_VPSS_INVALID_CHNID;
    if (!pstParam) return HI_ERR_VPSS_NULL_PTR;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    *pstParam = s.st.vpss[VpssGrp].param;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_SetParam(VPSS_GRP VpssGrp, VPSS_CHN VpssChn, const VPSS_GRP_PARAM_S* pstParam) {
    QELSIM_ENTER("%d,%d,motion=%u,dis=%d", VpssGrp, VpssChn,
                 pstParam ? pstParam->u32MotionThresh : 0u,
                 pstParam ? static_cast<int>(pstParam->enDisMode) : -1);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (badVpssChn(VpssChn)) return HI_ERR_VPSS_INVALID_CHNID;
    if (!pstParam) return HI_ERR_VPSS_NULL_PTR;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    if (pstParam->enDisMode >= VPSS_DIS_MODE_BUTT || pstParam->u32Contrast > 100)
        return HI_ERR_VPSS_ILLEGAL_PARAM;
    s.st.vpss[VpssGrp].param = *pstParam;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_SetClipCfg(VPSS_GRP VpssGrp, const VPSS_CLIP_INFO_S* pstClipInfo) {
    QELSIM_ENTER("%d,en=%d,%d,%d,%u,%u", VpssGrp, pstClipInfo ? pstClipInfo->bEnable : 0,
                 pstClipInfo ? pstClipInfo->stClipRect.s32X : 0,
                 pstClipInfo ? pstClipInfo->stClipRect.s32Y : 0,
                 pstClipInfo ? pstClipInfo->stClipRect.u32Width : 0u,
                 pstClipInfo ? pstClipInfo->stClipRect.u32Height : 0u);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (!pstClipInfo) return HI_ERR_VPSS_NULL_PTR;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    if (pstClipInfo->bEnable) {
        const RECT_S& r = pstClipInfo->stClipRect;
        if (r.s32X < 0 || r.s32Y < 0 || r.u32Width < VPSS_MIN_IMAGE_SIZE ||
            r.u32Height < VPSS_MIN_IMAGE_SIZE ||
            static_cast<uint64_t>(r.s32X) + r.u32Width > VPSS_MAX_IMAGE_WIDTH ||
            static_cast<uint64_t>(r.s32Y) + r.u32Height > VPSS_MAX_IMAGE_HEIGHT)
            return HI_ERR_VPSS_ILLEGAL_PARAM;
    }
    s.st.vpss[VpssGrp].clip = *pstClipInfo;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_GetClipCfg(VPSS_GRP VpssGrp, VPSS_CLIP_INFO_S* pstClipInfo) {
    QELSIM_ENTER("%d", VpssGrp);
    if (badGrp(VpssGrp)) return HI_ERR_VPSS_INVALID_DEVID;
    if (!pstClipInfo) return HI_ERR_VPSS_NULL_PTR;
    if (!s.st.vpss[VpssGrp].exists) return HI_ERR_VPSS_UNEXIST;
    *pstClipInfo = s.st.vpss[VpssGrp].clip;
    return HI_SUCCESS;
}
