#include "display/OSD/qelOsd_api.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "display/ControlShared.h"
#include "display/qelDrvLib.h"

namespace {

// The layer, its surfaces and the text records are used by the thread that builds the
// pipeline and by the network-state watcher; each public operation holds this lock (drawing
// operations call each other, hence recursive).
std::recursive_mutex gOsdLock;
#define OSD_LOCKED std::lock_guard<std::recursive_mutex> osdLock(gOsdLock)

TDE2_SURFACE_S g_stScreen;
TDE2_SURFACE_S g_stBackGround;
TDE2_SURFACE_S g_stNoSigSur;
TDE2_SURFACE_S g_stAlarmSur;
TDE2_SURFACE_S g_stLinkDownSur;
TDE2_SURFACE_S g_stImgSur[80];

int out_width = 0;
int out_height = 0;
Position g_st32oPosition[32];

// Slot 1 byte 0: the text's length; slots 2.. one character each.
unsigned char chnInfo[32][20][2];
unsigned char osdInfo[40][2];

int s32FdStatic = -1;
HI_U8* pu8BackGroundVir = nullptr;
HI_U32 u32BackGroundPhy = 0;

const HI_U32 kTimeoutClear = 100;
const HI_U32 kTimeoutGlyph = 10;

const char* const kGlyphNames[OSD_GLYPH_COUNT] = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "dot", "underline", "for_slash", "colon",
    "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k",   "l",         "m",         "n",
    "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y",   "z",         "A",         "B",
    "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",   "N",         "O",         "P",
    "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};

// A drawing job; every step is clipped to the layer, and the first failing step cancels it.
class Job {
public:
    Job() : handle_(HI_TDE2_BeginJob()), ok_(handle_ != HI_ERR_TDE_INVALID_HANDLE) {}
    bool ok() const { return ok_; }
    HI_S32 result() const { return last_; }

    void fill(int x, int y, int w, int h, HI_U32 colour) {
        TDE2_RECT_S r;
        if (!ok_ || !clip(x, y, w, h, &r, nullptr)) return;
        check(HI_TDE2_QuickFill(handle_, &g_stScreen, &r, colour));
    }

    // Copies the whole surface with its top-left corner at (x, y).
    void copy(TDE2_SURFACE_S* src, int x, int y) {
        if (!ok_ || src->u32Width == 0 || src->u32Height == 0) return;
        TDE2_RECT_S s{0, 0, src->u32Width, src->u32Height};
        TDE2_RECT_S d;
        if (!clip(x, y, (int)src->u32Width, (int)src->u32Height, &d, &s)) return;
        check(HI_TDE2_QuickCopy(handle_, src, &s, &g_stScreen, &d));
    }

    // Scales the whole surface into w x h at (x, y); drawn only when it lies wholly on the layer.
    void resize(TDE2_SURFACE_S* src, int x, int y, int w, int h) {
        if (!ok_ || src->u32Width == 0 || src->u32Height == 0) return;
        if (x < 0 || y < 0 || w <= 0 || h <= 0 || x + w > out_width || y + h > out_height) return;
        TDE2_RECT_S s{0, 0, src->u32Width, src->u32Height};
        TDE2_RECT_S d{x, y, (HI_U32)w, (HI_U32)h};
        check(HI_TDE2_QuickResize(handle_, src, &s, &g_stScreen, &d));
    }

    HI_S32 end(HI_U32 timeout) {
        if (!ok_) {
            if (handle_ != HI_ERR_TDE_INVALID_HANDLE) HI_TDE2_CancelJob(handle_);
            return last_;
        }
        last_ = HI_TDE2_EndJob(handle_, HI_FALSE, HI_TRUE, timeout);
        if (last_ != HI_SUCCESS) HI_TDE2_CancelJob(handle_);
        return last_;
    }

private:
    // Intersects a rectangle with the layer; src (when given) is moved along.
    static bool clip(int x, int y, int w, int h, TDE2_RECT_S* d, TDE2_RECT_S* src) {
        int x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
        int x1 = x + w > out_width ? out_width : x + w;
        int y1 = y + h > out_height ? out_height : y + h;
        if (x1 <= x0 || y1 <= y0) return false;
        *d = {x0, y0, (HI_U32)(x1 - x0), (HI_U32)(y1 - y0)};
        if (src != nullptr) *src = {x0 - x, y0 - y, d->u32Width, d->u32Height};
        return true;
    }
    void check(HI_S32 rc) {
        last_ = rc;
        if (rc != HI_SUCCESS) ok_ = false;
    }

    TDE_HANDLE handle_;
    bool ok_;
    HI_S32 last_ = HI_SUCCESS;
};

TDE2_SURFACE_S* glyphFor(char c) {
    if (c >= '0' && c <= '9') return &g_stImgSur[c - '0'];
    return &g_stImgSur[OSD_GLYPH_DOT];
}

// The origin of a window's overlay: the layer's corner when the window is full screen.
bool windowOrigin(int n, int fwflag, int dx, int dy, int* x, int* y) {
    if (fwflag == 1) {
        *x = dx;
        *y = dy;
        return true;
    }
    if (n < 0 || n >= 32) return false;
    *x = g_st32oPosition[n].x + dx;
    *y = g_st32oPosition[n].y + dy;
    return true;
}

void describeFileSurface(TDE2_SURFACE_S* s, const qelosd::BitsImage& img) {
    s->enColorFmt = TDE2_COLOR_FMT_ARGB1555;
    s->u32Width = img.width;
    s->u32Height = img.height;
    s->u32Stride = img.stride;
    s->bAlphaMax255 = HI_TRUE;
    s->bAlphaExt1555 = HI_TRUE;
    s->u8Alpha0 = 0;
    s->u8Alpha1 = 255;
}

// Copies an overlay bitmap onto a window (or clears its place).
int drawBitmap(TDE2_SURFACE_S* bmp, int x, int y, int enflag) {
    Job job;
    if (enflag)
        job.copy(bmp, x, y);
    else
        job.fill(x, y, (int)bmp->u32Width, (int)bmp->u32Height, 0);
    HI_S32 rc = job.end(kTimeoutGlyph);
    hiDisplayPan(0, 0);
    return rc;
}

}  // namespace

int initTDE() {
    return HI_TDE2_Open() == HI_SUCCESS ? 0 : -1;
}

int hiInitOSD() {
    return initTDE();
}

void hiCloseOSD() {
    HI_TDE2_Close();
}

int hiInitOSDSize(int outSize) {
    OSD_LOCKED;
    outputSizeFor(outSize, out_width, out_height);
    return initHiFB();
}

int initHiFB() {
    OSD_LOCKED;
    struct fb_var_screeninfo var;
    struct fb_fix_screeninfo fix;
    memset(&var, 0, sizeof var);
    memset(&fix, 0, sizeof fix);
    if (s32FdStatic < 0) s32FdStatic = qelDev_open("/dev/fb0", O_RDWR);
    if (s32FdStatic >= 0) {
        bool ok = qelDev_ioctl(s32FdStatic, FBIOGET_VSCREENINFO, &var) >= 0;
        if (ok) {
            var.xres = var.xres_virtual = (uint32_t)out_width;
            var.yres = var.yres_virtual = (uint32_t)out_height;
            var.xoffset = var.yoffset = 0;
            var.bits_per_pixel = 16;
            var.red = {10, 5, 0};
            var.green = {5, 5, 0};
            var.blue = {0, 5, 0};
            var.transp = {15, 1, 0};
            var.activate = 0;
            ok = qelDev_ioctl(s32FdStatic, FBIOPUT_VSCREENINFO, &var) >= 0 &&
                 qelDev_ioctl(s32FdStatic, FBIOGET_FSCREENINFO, &fix) >= 0;
        }
        if (!ok) {
            qelDev_close(s32FdStatic);
            s32FdStatic = -1;
        }
    }

    memset(&g_stScreen, 0, sizeof g_stScreen);
    g_stScreen.u32PhyAddr = (HI_U32)fix.smem_start;
    g_stScreen.enColorFmt = TDE2_COLOR_FMT_ARGB1555;
    g_stScreen.u32Width = (HI_U32)out_width;
    g_stScreen.u32Height = (HI_U32)out_height;
    g_stScreen.u32Stride = fix.line_length;
    g_stScreen.bAlphaMax255 = HI_TRUE;

    if (pu8BackGroundVir != nullptr) {
        HI_MPI_SYS_MmzFree(u32BackGroundPhy, pu8BackGroundVir);
        pu8BackGroundVir = nullptr;
    }
    // The surfaces pointed into the block just freed: without a new one they describe nothing,
    // so drawing finds no picture instead of copying from freed memory.
    TDE2_SURFACE_S* held[4 + OSD_GLYPH_COUNT] = {&g_stBackGround, &g_stNoSigSur, &g_stAlarmSur,
                                                 &g_stLinkDownSur};
    for (int i = 0; i < OSD_GLYPH_COUNT; ++i) held[4 + i] = &g_stImgSur[i];
    for (TDE2_SURFACE_S* s : held) memset(s, 0, sizeof *s);
    void* virt = nullptr;
    if (HI_MPI_SYS_MmzAlloc(&u32BackGroundPhy, &virt, nullptr, nullptr, OSD_MEM_BLOCK_SIZE) ==
            HI_SUCCESS &&
        virt != nullptr) {
        pu8BackGroundVir = static_cast<HI_U8*>(virt);
        TDE2_SURFACE_S* surfaces[4 + OSD_GLYPH_COUNT] = {&g_stBackGround, &g_stNoSigSur,
                                                         &g_stAlarmSur, &g_stLinkDownSur};
        char names[4 + OSD_GLYPH_COUNT][64] = {"/mnt/res/channel.bits", "/mnt/res/nosignal.bits",
                                               "/mnt/res/alarm.bits", "/mnt/res/linkdown.bits"};
        for (int i = 0; i < OSD_GLYPH_COUNT; ++i) {
            surfaces[4 + i] = &g_stImgSur[i];
            snprintf(names[4 + i], sizeof names[0], "/mnt/res/%s.bits", kGlyphNames[i]);
        }
        size_t used = 0;
        for (int i = 0; i < 4 + OSD_GLYPH_COUNT; ++i) {
            TDE2_SURFACE_S* s = surfaces[i];
            memset(s, 0, sizeof *s);
            s->u32PhyAddr = u32BackGroundPhy + (HI_U32)used;
            if (TDE_CreateSurfaceByFile(names[i], s, pu8BackGroundVir + used,
                                        OSD_MEM_BLOCK_SIZE - used) == 0)
                used += (size_t)s->u32Height * s->u32Stride;
        }
    }

    osdClean(0, 0, out_width, out_height);
    hiDisplayPan(0, 0);
    return 0;
}

int TDE_CreateSurfaceByFile(const char* pszFileName, TDE2_SURFACE_S* pstSurface, HI_U8* pu8Virt,
                            size_t capacity) {
    if (pszFileName == nullptr || pstSurface == nullptr || pu8Virt == nullptr) return -1;
    qelosd::BitsImage img;
    if (qelosd::loadBits(pszFileName, pu8Virt, capacity, &img) != 0) return -1;
    describeFileSurface(pstSurface, img);
    return 0;
}

int hiCalcOSDpst(int s32ChnTotal, int enVoMode) {
    OSD_LOCKED;
    return qelosd::layoutRects(s32ChnTotal, enVoMode, out_width, out_height, g_st32oPosition);
}

int hiDrawRect(int chnTotl, int enVoMode) {
    OSD_LOCKED;
    Job job;
    job.fill(0, 0, out_width, out_height, 0);
    for (const Position& l : qelosd::frameLines(chnTotl, enVoMode, out_width, out_height))
        job.fill(l.x, l.y, l.w, l.h, 0xFFFF);
    HI_S32 rc = job.end(kTimeoutClear);
    hiDisplayPan(0, 0);
    return rc;
}

int hiDrawOSDchn(int, int chnNum, int fwflag) {
    OSD_LOCKED;
    int x, y;
    if (!windowOrigin(chnNum, fwflag, 4, 4, &x, &y)) return -1;
    TDE2_SURFACE_S* zero = &g_stImgSur[0];
    Job job;
    job.fill(x, y, 8 * (int)zero->u32Width, (int)zero->u32Height, 0);
    job.copy(&g_stBackGround, x, y);
    int n = chnNum + 1;
    TDE2_SURFACE_S* units = glyphFor((char)('0' + n % 10));
    job.copy(glyphFor((char)('0' + n / 10 % 10)), x + 30, y);
    job.copy(units, x + 32 + (int)units->u32Width, y);
    HI_S32 rc = job.end(kTimeoutGlyph);
    hiDisplayPan(0, 0);
    return rc;
}

int hiDrawOSDip(int chnTtl, int winNum, int chnNum, int lunxunFlag, int fwflag) {
    OSD_LOCKED;
    printf("winNum = %d chnNum = %d LunXun = %d\n", winNum, chnNum, lunxunFlag);
    if (winNum < 0 || winNum >= 32) return -1;
    static unsigned char list[36][200];
    unsigned int entries = chnTtl + 1 < 0 ? 0 : (unsigned int)(chnTtl + 1);
    if (entries > 36) entries = 36;
    iGetIPAddress(entries, &list[0][0], (unsigned char)chnNum, (unsigned char)lunxunFlag, 36);
    int pick = lunxunFlag == 0 ? winNum + 1 : chnNum;
    getIpFromString(pick >= 0 && pick < 36 ? reinterpret_cast<char*>(list[pick]) : "", winNum);

    int x, y;
    windowOrigin(winNum, fwflag, 104, 120, &x, &y);
    TDE2_SURFACE_S* zero = &g_stImgSur[0];
    int gw = (int)zero->u32Width;
    bool narrow = out_width == 800;
    Job job;
    job.fill(x, y, 15 * gw + (narrow ? 0 : 30), (int)zero->u32Height, 0);
    int len = chnInfo[winNum][1][0];
    for (int i = 0; i < len; ++i) {
        char c = (char)chnInfo[winNum][2 + i][0];
        job.copy(glyphFor(c), x + i * (narrow ? gw : gw + 2), y);
    }
    HI_S32 rc = job.end(kTimeoutGlyph);
    hiDisplayPan(0, 0);
    return rc != HI_SUCCESS ? rc : job.result();
}

int hiDrawOSDCurInfo(char* pCurInfo, unsigned char enflag, unsigned char index) {
    OSD_LOCKED;
    int x = 1280;
    int y = 840 + (index <= 2 ? index * 80 : 0);
    const char* text = pCurInfo != nullptr ? pCurInfo : "";
    printf("%s\n", text);
    setCurInfo(text);
    Job job;
    job.fill(x, y, out_width - x, out_height - y, 0);
    if (enflag == 1) {
        int len = osdInfo[1][0];
        for (int i = 0; i < len; ++i) {
            char c = (char)osdInfo[2 + i][0];
            TDE2_SURFACE_S* g = glyphFor(c);
            job.resize(g, x + i * ((int)g_stImgSur[0].u32Width + 18), y, 3 * (int)g->u32Width,
                       3 * (int)g->u32Height);
        }
    }
    job.end(kTimeoutGlyph);
    hiDisplayPan(0, 0);
    return 0;
}

int hiDrawOSDNoSignal(int, int chnNum, int fwflag, int enflag) {
    OSD_LOCKED;
    int x, y;
    if (!windowOrigin(chnNum, fwflag, 0, 0, &x, &y)) return -1;
    return drawBitmap(&g_stNoSigSur, x, y, enflag);
}

int hiDrawOSDalarm(int, int chnNum, int fwflag, int enflag) {
    OSD_LOCKED;
    int x, y;
    if (!windowOrigin(chnNum, fwflag, 0, 0, &x, &y)) return -1;
    return drawBitmap(&g_stAlarmSur, x, y, enflag);
}

int hiDrawOSDlinkdown(int enflag) {
    OSD_LOCKED;
    return drawBitmap(&g_stLinkDownSur, 0, 0, enflag);
}

int hiOSDclean() {
    OSD_LOCKED;
    osdClean(0, 0, out_width, out_height);
    return hiDisplayPan(0, 0);
}

int osdClean(int x, int y, int xlen, int ylen) {
    OSD_LOCKED;
    Job job;
    job.fill(x, y, xlen, ylen, 0);
    return job.end(kTimeoutClear);
}

int hiDisplayPan(int xoffset, int yoffset) {
    OSD_LOCKED;
    if (s32FdStatic < 0) return -1;
    struct fb_var_screeninfo var;
    memset(&var, 0, sizeof var);
    if (qelDev_ioctl(s32FdStatic, FBIOGET_VSCREENINFO, &var) < 0) return -1;
    var.xoffset = (uint32_t)xoffset;
    var.yoffset = (uint32_t)yoffset;
    return qelDev_ioctl(s32FdStatic, FBIOPAN_DISPLAY, &var) < 0 ? -1 : 0;
}

namespace {

// Stores a text into slots of two bytes: slot 1 byte 0 the length, slots 2.. the characters;
// a text longer than the record is cut.
void storeSlots(unsigned char (*slots)[2], int slotCount, const char* text) {
    memset(slots, 0, sizeof(unsigned char[2]) * slotCount);
    if (text == nullptr) return;
    int max = slotCount - 2;
    int n = 0;
    for (; text[n] != 0 && n < max; ++n) slots[2 + n][0] = (unsigned char)text[n];
    slots[1][0] = (unsigned char)n;
}

}  // namespace

void getIpFromString(const char* string, int num) {
    OSD_LOCKED;
    if (num < 0 || num >= 32) return;
    char buf[200];
    snprintf(buf, sizeof buf, "%s", string != nullptr ? string : "");
    // Cut at the line end a stored URL line may still carry.
    buf[strcspn(buf, "\r\n")] = 0;
    storeSlots(chnInfo[num], 20, strcmp(buf, "unused_window") == 0 ? "" : buf);
}

void setCurInfo(const char* string) {
    OSD_LOCKED;
    storeSlots(osdInfo, 40, string);
}

int osdOutWidth() {
    OSD_LOCKED;
    return out_width;
}
int osdOutHeight() {
    OSD_LOCKED;
    return out_height;
}
Position osdWindowRect(int n) {
    OSD_LOCKED;
    return n >= 0 && n < 32 ? g_st32oPosition[n] : Position{0, 0, 0, 0};
}

void osdResetState() {
    OSD_LOCKED;
    pu8BackGroundVir = nullptr;
    u32BackGroundPhy = 0;
    out_width = out_height = 0;
    memset(g_st32oPosition, 0, sizeof g_st32oPosition);
}
