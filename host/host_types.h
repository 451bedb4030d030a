/* Basic value types of the host's effect interface, sized as the host lays
   them out on 64-bit Windows: error codes, fixed-point numbers, scales,
   rectangles and the three pixel layouts. Fixed-width types throughout, so
   that the native build lays every block out as the Windows one does (C
   `long` is 32 bits there and 64 bits here, so it appears nowhere).
   C-compatible, so a host written in C can include it. */
#ifndef TIDALHALO_HOST_TYPES_H
#define TIDALHALO_HOST_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;
typedef unsigned char A_u_char;
typedef unsigned char A_Boolean;
typedef uint64_t A_u_longlong;
typedef double A_FpLong;
typedef float A_FpShort;
typedef A_u_longlong A_HandleSize;
typedef A_long A_Err;

/* One byte, as the host's own true/false fields. */
typedef A_char PF_Boolean;
typedef A_FpShort PF_FpShort;
typedef A_FpLong PF_FpLong;
typedef A_long PF_ParamValue;

/* The basic suite's error code and its 32-bit truth value. */
typedef int32_t SPErr;
typedef int32_t SPBoolean;

/* 0 is success; every other value names a failure. */
typedef A_long PF_Err;

enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_INVALID_INDEX = 513,
    PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
    PF_Err_INVALID_CALLBACK = 515,
    PF_Err_BAD_CALLBACK_PARAM = 516,
    PF_Interrupt_CANCEL = 517
};

/* Signed 16.16 fixed point: the value divided by 65536. */
typedef A_long PF_Fixed;

/* A ratio such as a pixel aspect or a downsample factor. */
typedef struct PF_RationalScale {
    A_long num;
    A_u_long den;
} PF_RationalScale;

/* Empty when left >= right or top >= bottom. */
typedef struct PF_LRect {
    A_long left;
    A_long top;
    A_long right;
    A_long bottom;
} PF_LRect;

typedef PF_LRect PF_Rect;

typedef struct PF_Point {
    A_long h;
    A_long v;
} PF_Point;

/* The version of the effect interface a host speaks. */
typedef struct PF_SpecVersion {
    A_short major;
    A_short minor;
} PF_SpecVersion;

/* 8-bit channels, full intensity 255. */
typedef struct PF_Pixel {
    A_u_char alpha;
    A_u_char red;
    A_u_char green;
    A_u_char blue;
} PF_Pixel;

/* 16-bit channels, full intensity 32768 (not 65535). */
typedef struct PF_Pixel16 {
    A_u_short alpha;
    A_u_short red;
    A_u_short green;
    A_u_short blue;
} PF_Pixel16;

/* Float channels, full intensity 1.0, never clamped. */
typedef struct PF_PixelFloat {
    PF_FpShort alpha;
    PF_FpShort red;
    PF_FpShort green;
    PF_FpShort blue;
} PF_PixelFloat;

/* Pixel format codes: the bytes, lowest first, spell the four letters. */
typedef A_long PF_PixelFormat;
enum {
    PF_PixelFormat_ARGB32 = 0x62677261,      /* "argb", 8 bits a channel */
    PF_PixelFormat_ARGB64 = 0x36316561,      /* "ae16", 16 bits, full intensity 32768 */
    PF_PixelFormat_ARGB128 = 0x32336561,     /* "ae32", float */
    PF_PixelFormat_GPU_BGRA128 = 0x41444340, /* "@CDA" */
    PF_PixelFormat_BGRA32 = 0x61726762,      /* "bgra" */
    PF_PixelFormat_VUYA32 = 0x61797576,      /* "vuya" */
    PF_PixelFormat_INVALID = 0x66646162      /* "badf" */
};

#ifdef __cplusplus
}
#endif

#endif
