// System, buffer pools, binds, time base and media memory.
#include <cstring>

#include "SimInternal.h"

using namespace qelsim;
using namespace qelsim::detail;

namespace {

bool validChn(const MPP_CHN_S& c) {
    switch (c.enModId) {
        case HI_ID_VDEC:
            return c.s32DevId == 0 && c.s32ChnId >= 0 && c.s32ChnId < VDEC_MAX_CHN_NUM;
        case HI_ID_VPSS:
            return c.s32DevId >= 0 && c.s32DevId < VPSS_MAX_GRP_NUM && c.s32ChnId >= 0 &&
                   c.s32ChnId < VPSS_MAX_CHN_NUM;
        case HI_ID_VOU:
            return c.s32DevId >= 0 && c.s32DevId < VO_MAX_DEV_NUM && c.s32ChnId >= 0 &&
                   c.s32ChnId < VO_MAX_CHN_NUM;
        case HI_ID_ADEC:
            return c.s32DevId == 0 && c.s32ChnId >= 0 && c.s32ChnId < ADEC_MAX_CHN_NUM;
        case HI_ID_AO:
            return c.s32DevId >= 0 && c.s32DevId < AO_DEV_MAX_NUM && c.s32ChnId >= 0 &&
                   c.s32ChnId < AIO_MAX_CHN_NUM;
        default:
            return false;
    }
}

// Which module may feed which: decoder -> scaler or output, scaler -> output, audio decoder ->
// audio output.
bool validPair(const MPP_CHN_S& src, const MPP_CHN_S& dst) {
    if (src.enModId == HI_ID_VDEC) return dst.enModId == HI_ID_VPSS || dst.enModId == HI_ID_VOU;
    if (src.enModId == HI_ID_VPSS) return dst.enModId == HI_ID_VOU;
    if (src.enModId == HI_ID_ADEC) return dst.enModId == HI_ID_AO;
    return false;
}

// Whether the decode channels and scaler groups a bind names were created; output and audio
// output channels are bound before they are configured, as the hardware allows.
bool exists(const State& st, const MPP_CHN_S& c) {
    switch (c.enModId) {
        case HI_ID_VDEC:
            return st.vdec[c.s32ChnId].exists;
        case HI_ID_VPSS:
            return st.vpss[c.s32DevId].exists;
        case HI_ID_ADEC:
            return st.adec[c.s32ChnId].exists;
        default:
            return true;
    }
}

bool same(const MPP_CHN_S& a, const MPP_CHN_S& b) {
    return a.enModId == b.enModId && a.s32DevId == b.s32DevId && a.s32ChnId == b.s32ChnId;
}

std::string chnText(const MPP_CHN_S* c) {
    if (!c) return "null";
    return fmtArgs("{%d,%d,%d}", static_cast<int>(c->enModId), c->s32DevId, c->s32ChnId);
}

}  // namespace

HI_S32 HI_MPI_SYS_Init(HI_VOID) {
    QELSIM_ENTER("%s", "");
    if (!s.st.vbInited || !s.st.sysConfSet) return HI_ERR_SYS_NOT_PERM;
    s.st.sysInited = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_Exit(HI_VOID) {
    QELSIM_ENTER("%s", "");
    s.st.sysInited = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_SetConf(const MPP_SYS_CONF_S* pstSysConf) {
    QELSIM_ENTER("%u", pstSysConf ? pstSysConf->u32AlignWidth : 0u);
    if (!pstSysConf) return HI_ERR_SYS_NULL_PTR;
    if (s.st.sysInited) return HI_ERR_SYS_NOT_PERM;
    uint32_t a = pstSysConf->u32AlignWidth;
    if (a == 0 || a > 256 || (a & (a - 1)) != 0) return HI_ERR_SYS_ILLEGAL_PARAM;
    s.st.sysConf = *pstSysConf;
    s.st.sysConfSet = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_GetConf(MPP_SYS_CONF_S* pstSysConf) {
    QELSIM_ENTER("%s", "");
    if (!pstSysConf) return HI_ERR_SYS_NULL_PTR;
    if (!s.st.sysConfSet) return HI_ERR_SYS_NOT_PERM;
    *pstSysConf = s.st.sysConf;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_Bind(MPP_CHN_S* pstSrcChn, MPP_CHN_S* pstDestChn) {
    QELSIM_ENTER("%s,%s", chnText(pstSrcChn).c_str(), chnText(pstDestChn).c_str());
    if (!pstSrcChn || !pstDestChn) return HI_ERR_SYS_NULL_PTR;
    if (!validChn(*pstSrcChn) || !validChn(*pstDestChn) || !validPair(*pstSrcChn, *pstDestChn))
        return HI_ERR_SYS_ILLEGAL_PARAM;
    for (const Bind& b : s.st.binds)
        if (same(b.dst, *pstDestChn)) return HI_ERR_SYS_BUSY;
    if (!exists(s.st, *pstSrcChn) || !exists(s.st, *pstDestChn)) return HI_ERR_SYS_UNEXIST;
    s.st.binds.push_back(Bind{*pstSrcChn, *pstDestChn});
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_UnBind(MPP_CHN_S* pstSrcChn, MPP_CHN_S* pstDestChn) {
    QELSIM_ENTER("%s,%s", chnText(pstSrcChn).c_str(), chnText(pstDestChn).c_str());
    if (!pstSrcChn || !pstDestChn) return HI_ERR_SYS_NULL_PTR;
    if (!validChn(*pstSrcChn) || !validChn(*pstDestChn)) return HI_ERR_SYS_ILLEGAL_PARAM;
    for (auto it = s.st.binds.begin(); it != s.st.binds.end(); ++it) {
        if (same(it->src, *pstSrcChn) && same(it->dst, *pstDestChn)) {
            s.st.binds.erase(it);
            return HI_SUCCESS;
        }
    }
    return HI_ERR_SYS_UNEXIST;
}

HI_S32 HI_MPI_SYS_GetBindbyDest(MPP_CHN_S* pstDestChn, MPP_CHN_S* pstSrcChn) {
    QELSIM_ENTER("%s", chnText(pstDestChn).c_str());
    if (!pstSrcChn || !pstDestChn) return HI_ERR_SYS_NULL_PTR;
    for (const Bind& b : s.st.binds) {
        if (same(b.dst, *pstDestChn)) {
            *pstSrcChn = b.src;
            return HI_SUCCESS;
        }
    }
    return HI_ERR_SYS_UNEXIST;
}

HI_S32 HI_MPI_SYS_InitPtsBase(HI_U64 u64PtsBase) {
    QELSIM_ENTER("%llu", u64PtsBase);
    s.st.ptsBase = u64PtsBase;
    s.st.ptsBaseSet = true;
    s.ptsBaseAt = std::chrono::steady_clock::now();
    s.wake.notify_all();  // queued frames fall due on the new clock
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_GetCurPts(HI_U64* pu64CurPts) {
    QELSIM_ENTER("%s", "");
    if (!pu64CurPts) return HI_ERR_SYS_NULL_PTR;
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                  std::chrono::steady_clock::now() - s.ptsBaseAt)
                  .count();
    *pu64CurPts = s.st.ptsBase + static_cast<uint64_t>(us);
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_SetMemConf(MPP_CHN_S* pstMppChn, const HI_CHAR* pcMmzName) {
    QELSIM_ENTER("%s,%s", chnText(pstMppChn).c_str(), pcMmzName ? pcMmzName : "null");
    if (!pstMppChn) return HI_ERR_SYS_NULL_PTR;
    if (!validChn(*pstMppChn)) return HI_ERR_SYS_ILLEGAL_PARAM;
    std::string zone = pcMmzName ? pcMmzName : "";
    if (!zone.empty() && zone != "ddr1") return HI_ERR_SYS_ILLEGAL_PARAM;
    s.st.memConf[fmtArgs("%d,%d,%d", static_cast<int>(pstMppChn->enModId), pstMppChn->s32DevId,
                         pstMppChn->s32ChnId)] = zone;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_GetMemConf(MPP_CHN_S* pstMppChn, HI_CHAR* pcMmzName) {
    QELSIM_ENTER("%s", chnText(pstMppChn).c_str());
    if (!pstMppChn || !pcMmzName) return HI_ERR_SYS_NULL_PTR;
    auto it = s.st.memConf.find(fmtArgs("%d,%d,%d", static_cast<int>(pstMppChn->enModId),
                                        pstMppChn->s32DevId, pstMppChn->s32ChnId));
    std::string zone = it == s.st.memConf.end() ? "" : it->second;
    snprintf(pcMmzName, MAX_MMZ_NAME_LEN, "%s", zone.c_str());
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_MmzAlloc(HI_U32* pu32PhyAddr, HI_VOID** ppVirtAddr, const HI_CHAR* strMmb,
                           const HI_CHAR* strZone, HI_U32 u32Len) {
    QELSIM_ENTER("%s,%s,%u", strMmb ? strMmb : "null", strZone ? strZone : "null", u32Len);
    if (!pu32PhyAddr || !ppVirtAddr) return HI_ERR_SYS_NULL_PTR;
    std::string zone = strZone ? strZone : "";
    if (!zone.empty() && zone != "ddr1") return HI_ERR_SYS_ILLEGAL_PARAM;
    if (u32Len == 0) return HI_ERR_SYS_ILLEGAL_PARAM;
    uint64_t rounded = (static_cast<uint64_t>(u32Len) + 0xFFF) & ~0xFFFull;
    if (s.mmzTotal + rounded > kMmzMaxTotal ||
        s.nextMmzPhys - kMmzPhysBase + rounded > 0x40000000ull)
        return HI_ERR_SYS_NOMEM;
    uint32_t phys = s.nextMmzPhys;
    auto& block = s.mmz[phys];
    try {
        block.assign(u32Len);
    } catch (const std::bad_alloc&) {
        s.mmz.erase(phys);
        return HI_ERR_SYS_NOMEM;
    }
    s.nextMmzPhys += static_cast<uint32_t>(rounded);
    s.mmzTotal += rounded;
    *pu32PhyAddr = phys;
    *ppVirtAddr = block.data();
    s.st.mmzBlocks = static_cast<int>(s.mmz.size());
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_MmzFree(HI_U32 u32PhyAddr, HI_VOID* pVirtAddr) {
    QELSIM_ENTER("%#x", u32PhyAddr);
    auto it = s.mmz.find(u32PhyAddr);
    if (it == s.mmz.end() || (pVirtAddr && pVirtAddr != it->second.data()))
        return HI_ERR_SYS_ILLEGAL_PARAM;
    s.mmzTotal -= (it->second.size() + 0xFFF) & ~0xFFFull;
    s.mmz.erase(it);
    s.st.mmzBlocks = static_cast<int>(s.mmz.size());
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VB_SetConf(const VB_CONF_S* pstVbConf) {
    QELSIM_ENTER("%u", pstVbConf ? pstVbConf->u32MaxPoolCnt : 0u);
    if (!pstVbConf) return HI_ERR_VB_NULL_PTR;
    if (s.st.vbInited) return HI_ERR_VB_NOT_PERM;
    if (pstVbConf->u32MaxPoolCnt == 0 || pstVbConf->u32MaxPoolCnt > VB_MAX_POOLS)
        return HI_ERR_VB_ILLEGAL_PARAM;
    for (const auto& p : pstVbConf->astCommPool)
        if (p.u32BlkCnt != 0 && p.u32BlkSize == 0) return HI_ERR_VB_ILLEGAL_PARAM;
    s.st.vbConf = *pstVbConf;
    s.st.vbConfSet = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VB_GetConf(VB_CONF_S* pstVbConf) {
    QELSIM_ENTER("%s", "");
    if (!pstVbConf) return HI_ERR_VB_NULL_PTR;
    if (!s.st.vbConfSet) return HI_ERR_VB_NOT_CONFIG;
    *pstVbConf = s.st.vbConf;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VB_Init(HI_VOID) {
    QELSIM_ENTER("%s", "");
    if (!s.st.vbConfSet) return HI_ERR_VB_NOT_CONFIG;
    s.st.vbInited = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VB_Exit(HI_VOID) {
    QELSIM_ENTER("%s", "");
    if (s.st.sysInited) return HI_ERR_VB_NOT_PERM;
    s.st.vbInited = false;
    return HI_SUCCESS;
}
