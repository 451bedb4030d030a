/* Basic value types of the host's effect interface: error codes, fixed-point
   numbers, scales, rectangles and the three pixel layouts. C-compatible, so a
   host written in C can include it. */
#ifndef TIDALHALO_HOST_TYPES_H
#define TIDALHALO_HOST_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 0 is success; every other value names a failure. */
typedef int32_t PF_Err;

enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_BAD_CALLBACK_PARAM = 516
};

/* Signed 16.16 fixed point: the value divided by 65536. */
typedef int32_t PF_Fixed;
typedef uint8_t PF_Boolean;
typedef float PF_FpShort;
typedef double PF_FpLong;
typedef int32_t PF_ParamValue;

/* A ratio such as a pixel aspect or a downsample factor. */
typedef struct PF_RationalScale {
    int32_t num;
    uint32_t den;
} PF_RationalScale;

/* Empty when left >= right or top >= bottom. */
typedef struct PF_LRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} PF_LRect;

typedef PF_LRect PF_Rect;

/* 8-bit channels, full intensity 255. */
typedef struct PF_Pixel {
    uint8_t alpha;
    uint8_t red;
    uint8_t green;
    uint8_t blue;
} PF_Pixel;

/* 16-bit channels, full intensity 32768 (not 65535). */
typedef struct PF_Pixel16 {
    uint16_t alpha;
    uint16_t red;
    uint16_t green;
    uint16_t blue;
} PF_Pixel16;

/* Float channels, full intensity 1.0, never clamped. */
typedef struct PF_PixelFloat {
    float alpha;
    float red;
    float green;
    float blue;
} PF_PixelFloat;

/* Pixel format codes: the bytes, lowest first, spell the four letters. */
typedef int32_t PF_PixelFormat;
enum {
    PF_PixelFormat_ARGB32 = 0x62677261,  /* "argb" */
    PF_PixelFormat_ARGB64 = 0x36316561,  /* "ae16" */
    PF_PixelFormat_ARGB128 = 0x32336561, /* "ae32" */
    PF_PixelFormat_INVALID = 0x66646162  /* "badf" */
};

#ifdef __cplusplus
}
#endif

#endif
