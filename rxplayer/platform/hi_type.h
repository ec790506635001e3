// Basic types, results and error-code layout of the media platform.
#pragma once

#include <cstdint>

typedef unsigned char HI_U8;
typedef unsigned short HI_U16;
typedef unsigned int HI_U32;
typedef signed char HI_S8;
typedef short HI_S16;
typedef int HI_S32;
typedef unsigned long long HI_U64;
typedef long long HI_S64;
typedef char HI_CHAR;
typedef void HI_VOID;

typedef enum : int {
    HI_FALSE = 0,
    HI_TRUE = 1,
} HI_BOOL;

#define HI_SUCCESS 0
#define HI_FAILURE (-1)
#define HI_NULL 0L

typedef enum : int {
    HI_IO_BLOCK = 0,
    HI_IO_NOBLOCK = 1,
} HI_IO_BLOCK_E;

// Error codes: 0xA0000000 | module << 16 | level << 13 | code. Level 4 is "error".
#define HI_ERR_LEVEL_ERROR 4
#define HI_DEF_ERR(mod, level, code) \
    ((HI_S32)(0xA0000000u | ((HI_U32)(mod) << 16) | ((HI_U32)(level) << 13) | (HI_U32)(code)))

// Error numbers shared by every module.
typedef enum : int {
    EN_ERR_INVALID_DEVID = 1,
    EN_ERR_INVALID_CHNID = 2,
    EN_ERR_ILLEGAL_PARAM = 3,
    EN_ERR_EXIST = 4,
    EN_ERR_UNEXIST = 5,
    EN_ERR_NULL_PTR = 6,
    EN_ERR_NOT_CONFIG = 7,
    EN_ERR_NOT_SUPPORT = 8,
    EN_ERR_NOT_PERM = 9,
    EN_ERR_NOMEM = 12,
    EN_ERR_NOBUF = 13,
    EN_ERR_BUF_EMPTY = 14,
    EN_ERR_BUF_FULL = 15,
    EN_ERR_SYS_NOTREADY = 16,
    EN_ERR_BADADDR = 17,
    EN_ERR_BUSY = 18,
} EN_ERR_CODE_E;
