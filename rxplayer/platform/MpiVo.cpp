// Video output devices, their video layer, the picture-in-picture layer and the channels.
#include "SimInternal.h"

using namespace qelsim;
using namespace qelsim::detail;

namespace {

bool badDev(VO_DEV d) {
    return d < 0 || d >= VO_MAX_DEV_NUM;
}
bool badChn(VO_CHN c) {
    return c < 0 || c >= VO_MAX_CHN_NUM;
}

// Active picture size of a timing; false for USER and unknown timings.
bool timingSize(VO_INTF_SYNC_E sync, uint32_t* w, uint32_t* h) {
    static const uint32_t table[][2] = {
        {720, 576},   {720, 480},  {1920, 1080}, {1920, 1080}, {1920, 1080},
        {1280, 720},  {1280, 720}, {1920, 1080}, {1920, 1080}, {1920, 1080},
        {1920, 1080}, {720, 576},  {720, 480},   {800, 600},   {1024, 768},
        {1280, 1024}, {1366, 768}, {1440, 900},  {1280, 800},
    };
    int i = static_cast<int>(sync);
    if (i >= 0 && i < 19) {
        *w = table[i][0];
        *h = table[i][1];
        return true;
    }
    if (sync == VO_OUTPUT_2560x1600_60) {
        *w = 2560;
        *h = 1600;
        return true;
    }
    return false;
}

HI_S32 checkLayerAttr(const VO_VIDEO_LAYER_ATTR_S* a, uint32_t areaW, uint32_t areaH) {
    if (!a) return HI_ERR_VO_NULL_PTR;
    const RECT_S& r = a->stDispRect;
    if (r.s32X < 0 || r.s32Y < 0 || r.u32Width == 0 || r.u32Height == 0 ||
        static_cast<uint64_t>(r.s32X) + r.u32Width > areaW ||
        static_cast<uint64_t>(r.s32Y) + r.u32Height > areaH || a->stImageSize.u32Width == 0 ||
        a->stImageSize.u32Height == 0 || a->stImageSize.u32Width > 4096 ||
        a->stImageSize.u32Height > 4096 || a->u32DispFrmRt == 0 || a->u32DispFrmRt > 240 ||
        (a->enPixFormat != PIXEL_FORMAT_YUV_SEMIPLANAR_420 &&
         a->enPixFormat != PIXEL_FORMAT_YUV_SEMIPLANAR_422))
        return HI_ERR_VO_ILLEGAL_PARAM;
    return HI_SUCCESS;
}

}  // namespace

void qelsim::detail::deviceArea(const VoDevice& d, uint32_t* w, uint32_t* h) {
    if (!d.pubAttrSet || !timingSize(d.pubAttr.enIntfSync, w, h)) {
        *w = 2560;
        *h = 1600;
    }
}

HI_S32 HI_MPI_VO_Enable(VO_DEV VoDev) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (!s.st.vo[VoDev].pubAttrSet) return HI_ERR_VO_NOT_CONFIG;
    s.st.vo[VoDev].enabled = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_Disable(VO_DEV VoDev) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (s.st.vo[VoDev].layerEnabled) return HI_ERR_VO_NOT_PERM;
    s.st.vo[VoDev].enabled = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetPubAttr(VO_DEV VoDev, const VO_PUB_ATTR_S* pstPubAttr) {
    QELSIM_ENTER("%d,intf=%#x,sync=%d", VoDev, pstPubAttr ? pstPubAttr->enIntfType : 0u,
                 pstPubAttr ? static_cast<int>(pstPubAttr->enIntfSync) : -1);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (!pstPubAttr) return HI_ERR_VO_NULL_PTR;
    VoDevice& d = s.st.vo[VoDev];
    if (d.enabled) return HI_ERR_VO_NOT_PERM;
    uint32_t w, h;
    if ((pstPubAttr->enIntfType & ~0x3Fu) != 0 || pstPubAttr->enIntfType == 0 ||
        (pstPubAttr->enIntfSync != VO_OUTPUT_USER && !timingSize(pstPubAttr->enIntfSync, &w, &h)))
        return HI_ERR_VO_ILLEGAL_PARAM;
    d.pubAttr = *pstPubAttr;
    d.pubAttrSet = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_GetPubAttr(VO_DEV VoDev, VO_PUB_ATTR_S* pstPubAttr) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (!pstPubAttr) return HI_ERR_VO_NULL_PTR;
    if (!s.st.vo[VoDev].pubAttrSet) return HI_ERR_VO_NOT_CONFIG;
    *pstPubAttr = s.st.vo[VoDev].pubAttr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetDispBufLen(VO_DEV VoDev, HI_U32 u32BufLen) {
    QELSIM_ENTER("%d,%u", VoDev, u32BufLen);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (s.st.vo[VoDev].enabled) return HI_ERR_VO_NOT_PERM;
    if (u32BufLen < VO_MIN_DISP_BUF || u32BufLen > VO_MAX_DISP_BUF) return HI_ERR_VO_ILLEGAL_PARAM;
    s.st.vo[VoDev].dispBufLen = u32BufLen;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_GetDispBufLen(VO_DEV VoDev, HI_U32* pu32BufLen) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (!pu32BufLen) return HI_ERR_VO_NULL_PTR;
    *pu32BufLen = s.st.vo[VoDev].dispBufLen ? s.st.vo[VoDev].dispBufLen : VO_MIN_DISP_BUF;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetDevCSC(VO_DEV VoDev, const VO_CSC_S* pstDevCSC) {
    QELSIM_ENTER("%d,%u,%u,%u,%u", VoDev, pstDevCSC ? pstDevCSC->u32Luma : 0u,
                 pstDevCSC ? pstDevCSC->u32Contrast : 0u, pstDevCSC ? pstDevCSC->u32Hue : 0u,
                 pstDevCSC ? pstDevCSC->u32Satuature : 0u);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (!pstDevCSC) return HI_ERR_VO_NULL_PTR;
    if (pstDevCSC->u32Luma > 100 || pstDevCSC->u32Contrast > 100 || pstDevCSC->u32Hue > 100 ||
        pstDevCSC->u32Satuature > 100)
        return HI_ERR_VO_ILLEGAL_PARAM;
    s.st.vo[VoDev].csc = *pstDevCSC;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_GetDevCSC(VO_DEV VoDev, VO_CSC_S* pstDevCSC) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (!pstDevCSC) return HI_ERR_VO_NULL_PTR;
    *pstDevCSC = s.st.vo[VoDev].csc;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetPlayToleration(VO_DEV VoDev, HI_U32 u32Toleration) {
    QELSIM_ENTER("%d,%u", VoDev, u32Toleration);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (u32Toleration > VO_MAX_TOLERATION) return HI_ERR_VO_ILLEGAL_PARAM;
    s.st.vo[VoDev].toleration = u32Toleration;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_GetPlayToleration(VO_DEV VoDev, HI_U32* pu32Toleration) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (!pu32Toleration) return HI_ERR_VO_NULL_PTR;
    *pu32Toleration = s.st.vo[VoDev].toleration;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetVideoLayerAttr(VO_DEV VoDev, const VO_VIDEO_LAYER_ATTR_S* pstLayerAttr) {
    QELSIM_ENTER("%d,%ux%u,%u", VoDev, pstLayerAttr ? pstLayerAttr->stDispRect.u32Width : 0u,
                 pstLayerAttr ? pstLayerAttr->stDispRect.u32Height : 0u,
                 pstLayerAttr ? pstLayerAttr->u32DispFrmRt : 0u);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    VoDevice& d = s.st.vo[VoDev];
    if (!d.enabled || d.layerEnabled) return HI_ERR_VO_NOT_PERM;
    uint32_t w, h;
    deviceArea(d, &w, &h);
    if (HI_S32 r = checkLayerAttr(pstLayerAttr, w, h)) return r;
    d.layerAttr = *pstLayerAttr;
    d.layerAttrSet = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_GetVideoLayerAttr(VO_DEV VoDev, VO_VIDEO_LAYER_ATTR_S* pstLayerAttr) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (!pstLayerAttr) return HI_ERR_VO_NULL_PTR;
    if (!s.st.vo[VoDev].layerAttrSet) return HI_ERR_VO_NOT_CONFIG;
    *pstLayerAttr = s.st.vo[VoDev].layerAttr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_EnableVideoLayer(VO_DEV VoDev) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    VoDevice& d = s.st.vo[VoDev];
    if (!d.enabled) return HI_ERR_VO_NOT_PERM;
    if (!d.layerAttrSet) return HI_ERR_VO_NOT_CONFIG;
    d.layerEnabled = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_DisableVideoLayer(VO_DEV VoDev) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    s.st.vo[VoDev].layerEnabled = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_PipLayerBindDev(VO_DEV VoDev) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (s.st.pip.enabled) return HI_ERR_VO_NOT_PERM;
    s.st.pip.boundDev = VoDev;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_PipLayerUnBindDev(VO_DEV VoDev) {
    QELSIM_ENTER("%d", VoDev);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (s.st.pip.enabled || s.st.pip.boundDev != VoDev) return HI_ERR_VO_NOT_PERM;
    s.st.pip.boundDev = -1;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetPipLayerAttr(const VO_VIDEO_LAYER_ATTR_S* pstLayerAttr) {
    QELSIM_ENTER("%ux%u", pstLayerAttr ? pstLayerAttr->stDispRect.u32Width : 0u,
                 pstLayerAttr ? pstLayerAttr->stDispRect.u32Height : 0u);
    PipLayer& p = s.st.pip;
    if (p.boundDev < 0 || p.enabled) return HI_ERR_VO_NOT_PERM;
    uint32_t w, h;
    deviceArea(s.st.vo[p.boundDev], &w, &h);
    if (HI_S32 r = checkLayerAttr(pstLayerAttr, w, h)) return r;
    p.attr = *pstLayerAttr;
    p.attrSet = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_GetPipLayerAttr(VO_VIDEO_LAYER_ATTR_S* pstLayerAttr) {
    QELSIM_ENTER("%s", "");
    if (!pstLayerAttr) return HI_ERR_VO_NULL_PTR;
    if (!s.st.pip.attrSet) return HI_ERR_VO_NOT_CONFIG;
    *pstLayerAttr = s.st.pip.attr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_EnablePipLayer(HI_VOID) {
    QELSIM_ENTER("%s", "");
    if (s.st.pip.boundDev < 0) return HI_ERR_VO_NOT_PERM;
    if (!s.st.pip.attrSet) return HI_ERR_VO_NOT_CONFIG;
    s.st.pip.enabled = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_DisablePipLayer(HI_VOID) {
    QELSIM_ENTER("%s", "");
    s.st.pip.enabled = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_SetChnAttr(VO_DEV VoDev, VO_CHN VoChn, const VO_CHN_ATTR_S* pstChnAttr) {
    QELSIM_ENTER("%d,%d,prio=%u,%d,%d,%u,%u", VoDev, VoChn,
                 pstChnAttr ? pstChnAttr->u32Priority : 0u,
                 pstChnAttr ? pstChnAttr->stRect.s32X : 0, pstChnAttr ? pstChnAttr->stRect.s32Y : 0,
                 pstChnAttr ? pstChnAttr->stRect.u32Width : 0u,
                 pstChnAttr ? pstChnAttr->stRect.u32Height : 0u);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (badChn(VoChn)) return HI_ERR_VO_INVALID_CHNID;
    if (!pstChnAttr) return HI_ERR_VO_NULL_PTR;
    uint32_t w, h;
    deviceArea(s.st.vo[VoDev], &w, &h);
    const RECT_S& r = pstChnAttr->stRect;
    // The output works on even positions and sizes.
    if (r.s32X < 0 || r.s32Y < 0 || (r.s32X & 1) || (r.s32Y & 1) || r.u32Width < 2 ||
        r.u32Height < 2 || (r.u32Width & 1) || (r.u32Height & 1) ||
        static_cast<uint64_t>(r.s32X) + r.u32Width > w ||
        static_cast<uint64_t>(r.s32Y) + r.u32Height > h || pstChnAttr->u32Priority > 31)
        return HI_ERR_VO_ILLEGAL_PARAM;
    VoChannel& c = s.st.vo[VoDev].chn[VoChn];
    c.attr = *pstChnAttr;
    c.attrSet = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_GetChnAttr(VO_DEV VoDev, VO_CHN VoChn, VO_CHN_ATTR_S* pstChnAttr) {
    QELSIM_ENTER("%d,%d", VoDev, VoChn);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (badChn(VoChn)) return HI_ERR_VO_INVALID_CHNID;
    if (!pstChnAttr) return HI_ERR_VO_NULL_PTR;
    if (!s.st.vo[VoDev].chn[VoChn].attrSet) return HI_ERR_VO_NOT_CONFIG;
    *pstChnAttr = s.st.vo[VoDev].chn[VoChn].attr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_EnableChn(VO_DEV VoDev, VO_CHN VoChn) {
    QELSIM_ENTER("%d,%d", VoDev, VoChn);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (badChn(VoChn)) return HI_ERR_VO_INVALID_CHNID;
    VoDevice& d = s.st.vo[VoDev];
    if (!d.layerEnabled) return HI_ERR_VO_NOT_PERM;
    if (!d.chn[VoChn].attrSet) return HI_ERR_VO_NOT_CONFIG;
    d.chn[VoChn].enabled = true;
    d.chn[VoChn].hidden = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_DisableChn(VO_DEV VoDev, VO_CHN VoChn) {
    QELSIM_ENTER("%d,%d", VoDev, VoChn);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (badChn(VoChn)) return HI_ERR_VO_INVALID_CHNID;
    s.st.vo[VoDev].chn[VoChn].enabled = false;
    s.st.vo[VoDev].chn[VoChn].hidden = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_ChnHide(VO_DEV VoDev, VO_CHN VoChn) {
    QELSIM_ENTER("%d,%d", VoDev, VoChn);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (badChn(VoChn)) return HI_ERR_VO_INVALID_CHNID;
    if (!s.st.vo[VoDev].chn[VoChn].enabled) return HI_ERR_VO_NOT_PERM;
    s.st.vo[VoDev].chn[VoChn].hidden = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_ChnShow(VO_DEV VoDev, VO_CHN VoChn) {
    QELSIM_ENTER("%d,%d", VoDev, VoChn);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (badChn(VoChn)) return HI_ERR_VO_INVALID_CHNID;
    if (!s.st.vo[VoDev].chn[VoChn].enabled) return HI_ERR_VO_NOT_PERM;
    s.st.vo[VoDev].chn[VoChn].hidden = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_ClearChnBuffer(VO_DEV VoDev, VO_CHN VoChn, HI_BOOL bClrAll) {
    QELSIM_ENTER("%d,%d,%d", VoDev, VoChn, static_cast<int>(bClrAll));
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (badChn(VoChn)) return HI_ERR_VO_INVALID_CHNID;
    VoChannel& c = s.st.vo[VoDev].chn[VoChn];
    c.clears++;
    if (bClrAll) c.clearAlls++;
    clearPictures(s, c);
    c.bufUsed = 0;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_GetChnPts(VO_DEV VoDev, VO_CHN VoChn, HI_U64* pu64ChnPts) {
    QELSIM_ENTER("%d,%d", VoDev, VoChn);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (badChn(VoChn)) return HI_ERR_VO_INVALID_CHNID;
    if (!pu64ChnPts) return HI_ERR_VO_NULL_PTR;
    *pu64ChnPts = s.st.vo[VoDev].chn[VoChn].pts;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VO_QueryChnStat(VO_DEV VoDev, VO_CHN VoChn, VO_QUERY_STATUS_S* pstStatus) {
    QELSIM_ENTER("%d,%d", VoDev, VoChn);
    if (badDev(VoDev)) return HI_ERR_VO_INVALID_DEVID;
    if (badChn(VoChn)) return HI_ERR_VO_INVALID_CHNID;
    if (!pstStatus) return HI_ERR_VO_NULL_PTR;
    pstStatus->u32ChnBufUsed = s.st.vo[VoDev].chn[VoChn].bufUsed;
    return HI_SUCCESS;
}
