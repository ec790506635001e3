// 2D engine: surfaces in media memory (addressed physically), jobs of fills, copies and resizes.
#pragma once

#include "hi_comm_sys.h"

typedef HI_S32 TDE_HANDLE;

typedef enum : int {
    TDE2_COLOR_FMT_RGB444 = 0,
    TDE2_COLOR_FMT_RGB555,
    TDE2_COLOR_FMT_RGB565,
    TDE2_COLOR_FMT_RGB888,
    TDE2_COLOR_FMT_ARGB4444,
    TDE2_COLOR_FMT_ARGB1555,
    TDE2_COLOR_FMT_ARGB8565,
    TDE2_COLOR_FMT_ARGB8888,
    TDE2_COLOR_FMT_BUTT,
} TDE2_COLOR_FMT_E;

typedef struct {
    HI_U32 u32PhyAddr;
    TDE2_COLOR_FMT_E enColorFmt;
    HI_U32 u32Height;
    HI_U32 u32Width;
    HI_U32 u32Stride;
    HI_U8* pu8ClutPhyAddr;
    HI_BOOL bYCbCrClut;
    HI_BOOL bAlphaMax255;
    HI_BOOL bAlphaExt1555;
    HI_U8 u8Alpha0;
    HI_U8 u8Alpha1;
    HI_U32 u32CbCrPhyAddr;
    HI_U32 u32CbCrStride;
} TDE2_SURFACE_S;

typedef struct {
    HI_S32 s32Xpos;
    HI_S32 s32Ypos;
    HI_U32 u32Width;
    HI_U32 u32Height;
} TDE2_RECT_S;

#define HI_TDE_ERR(n) ((HI_S32)(0xA0648000u | (n)))
#define HI_ERR_TDE_DEV_NOT_OPEN HI_TDE_ERR(0x01)
#define HI_ERR_TDE_DEV_OPEN_FAILED HI_TDE_ERR(0x02)
#define HI_ERR_TDE_NULL_PTR HI_TDE_ERR(0x03)
#define HI_ERR_TDE_NO_MEM HI_TDE_ERR(0x04)
#define HI_ERR_TDE_INVALID_HANDLE HI_TDE_ERR(0x05)
#define HI_ERR_TDE_INVALID_PARA HI_TDE_ERR(0x06)
#define HI_ERR_TDE_NOT_ALIGNED HI_TDE_ERR(0x07)
#define HI_ERR_TDE_JOB_TIMEOUT HI_TDE_ERR(0x09)
#define HI_ERR_TDE_UNSUPPORTED_OPERATION HI_TDE_ERR(0x0A)

HI_S32 HI_TDE2_Open(HI_VOID);
HI_VOID HI_TDE2_Close(HI_VOID);
// A new job, or HI_ERR_TDE_INVALID_HANDLE when none can be begun.
TDE_HANDLE HI_TDE2_BeginJob(HI_VOID);
// Runs the job's operations in order; a job is all or nothing.
HI_S32 HI_TDE2_EndJob(TDE_HANDLE s32Handle, HI_BOOL bSync, HI_BOOL bBlock, HI_U32 u32TimeOut);
HI_S32 HI_TDE2_CancelJob(TDE_HANDLE s32Handle);
HI_S32 HI_TDE2_QuickFill(TDE_HANDLE s32Handle, TDE2_SURFACE_S* pstDst, TDE2_RECT_S* pstDstRect,
                         HI_U32 u32FillData);
HI_S32 HI_TDE2_QuickCopy(TDE_HANDLE s32Handle, TDE2_SURFACE_S* pstSrc, TDE2_RECT_S* pstSrcRect,
                         TDE2_SURFACE_S* pstDst, TDE2_RECT_S* pstDstRect);
HI_S32 HI_TDE2_QuickResize(TDE_HANDLE s32Handle, TDE2_SURFACE_S* pstSrc, TDE2_RECT_S* pstSrcRect,
                           TDE2_SURFACE_S* pstDst, TDE2_RECT_S* pstDstRect);
