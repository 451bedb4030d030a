/* The host's effect interface as this module uses it: the data blocks, the
   callback tables and the function suites. These declarations are our own;
   where the host's order of members matters to the module it is kept, the
   rest of the layout is ours. C-compatible, so a host written in C can
   include it.

   Threads: the host calls EntryPointFunc and every callback below on the
   thread of that call, except the pixel functions handed to an iterate
   suite, which the host may call on several threads at once. */
#ifndef TIDALHALO_HOST_INTERFACE_H
#define TIDALHALO_HOST_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#include "host_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Command codes that the host passes to EntryPointFunc. */
typedef int32_t PF_Cmd;
enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_UNUSED_0 = 2,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_SETDOWN = 8,
    PF_Cmd_FRAME_SETUP = 10,
    PF_Cmd_RENDER = 11,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_EVENT = 15,
    PF_Cmd_SMART_PRE_RENDER = 23,
    PF_Cmd_SMART_RENDER = 24
};

/* Bits of PF_OutData.out_flags and out_flags2. */
enum {
    PF_OutFlag_DISPLAY_ERROR_MESSAGE = 0x00000100,
    PF_OutFlag_PIX_INDEPENDENT = 0x00000400,
    PF_OutFlag_DEEP_COLOR_AWARE = 0x02000000
};
enum {
    PF_OutFlag2_SUPPORTS_SMART_RENDER = 0x00000400,
    PF_OutFlag2_FLOAT_COLOR_AWARE = 0x00001000
};

/* Version stages packed into a PF_VERSION word. */
enum {
    PF_Stage_DEVELOP = 0,
    PF_Stage_ALPHA = 1,
    PF_Stage_BETA = 2,
    PF_Stage_RELEASE = 3
};

/* major in bits 19-21, minor 15-18, fix 11-14, stage 9-10, build 0-8. */
#define PF_VERSION(major, minor, fix, stage, build)                                      \
    ((((major) & 0x7u) << 19) | (((minor) & 0xFu) << 15) | (((fix) & 0xFu) << 11) |      \
     (((stage) & 0x3u) << 9) | ((build) & 0x1FFu))

/* The host's identity for the effect instance of a call; opaque to the module. */
typedef struct PF_ProgressInfo *PF_ProgPtr;

/* A block of host memory; lock it to reach its bytes. Opaque to the module. */
typedef struct PF_OpaqueHandle *PF_Handle;

/* Parameter types. */
typedef int32_t PF_ParamType;
enum {
    PF_Param_LAYER = 0,
    PF_Param_CHECKBOX = 4,
    PF_Param_COLOR = 5,
    PF_Param_POINT = 6,
    PF_Param_POPUP = 7,
    PF_Param_FLOAT_SLIDER = 10
};

enum {
    PF_ValueDisplayFlag_NONE = 0,
    PF_ValueDisplayFlag_PERCENT = 1
};

enum { PF_MAX_EFFECT_PARAM_NAME_LEN = 31 };

typedef struct PF_PointDef {
    PF_Fixed x_value;
    PF_Fixed y_value;
    char reserved[3];
    PF_Boolean restrict_bounds;
    PF_Fixed x_dephault; /* a percentage of the layer's width */
    PF_Fixed y_dephault; /* a percentage of the layer's height */
} PF_PointDef;

typedef struct PF_FloatSliderDef {
    PF_FpLong value;
    PF_FpLong phase;
    char value_desc[32];
    PF_FpShort valid_min;
    PF_FpShort valid_max;
    PF_FpShort slider_min;
    PF_FpShort slider_max;
    PF_FpShort dephault;
    int16_t precision;
    int16_t display_flags;
    uint32_t fs_flags;
    PF_FpShort curve_tolerance;
} PF_FloatSliderDef;

typedef struct PF_ColorDef {
    PF_Pixel value;
    PF_Pixel dephault;
} PF_ColorDef;

typedef struct PF_CheckBoxDef {
    PF_ParamValue value;
    PF_Boolean dephault;
    char reserved[3];
    union {
        const char *nameptr; /* label beside the box */
    } u;
} PF_CheckBoxDef;

typedef struct PF_PopupDef {
    PF_ParamValue value; /* counts from 1 */
    int16_t num_choices;
    int16_t dephault;
    union {
        const char *namesptr; /* choices separated by '|' */
    } u;
} PF_PopupDef;

typedef union PF_ParamDefUnion {
    PF_PointDef td;
    PF_FloatSliderDef fs_d;
    PF_ColorDef cd;
    PF_CheckBoxDef bd;
    PF_PopupDef pd;
} PF_ParamDefUnion;

/* One parameter definition, or one parameter's value at a time. */
typedef struct PF_ParamDef {
    union {
        int32_t id; /* identifier under which projects store the value */
    } uu;
    int32_t ui_flags;
    int16_t ui_width;
    int16_t ui_height;
    PF_ParamType param_type;
    char name[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
    int32_t flags;
    PF_ParamDefUnion u;
} PF_ParamDef;

typedef PF_ParamDef *PF_ParamList[];

/* A buffer of pixels. Rows are rowbytes apart, which may exceed
   width times the pixel size. origin_x/origin_y place the buffer's first
   column and row in layer coordinates. */
typedef struct PF_LayerDef {
    int32_t world_flags;
    void *data;
    int32_t rowbytes;
    int32_t width;
    int32_t height;
    PF_LRect extent_hint;
    PF_RationalScale pix_aspect_ratio;
    int32_t origin_x;
    int32_t origin_y;
    void *platform_ref;
} PF_LayerDef;

typedef PF_LayerDef PF_EffectWorld;

/* Parameter access. Called by the module during a command, on its thread. */
typedef struct PF_InteractCallbacks {
    /* The value of parameter index at the given time, written into param.
       Called by the pre-render for indices 1 to 10. */
    PF_Err (*checkout_param)(PF_ProgPtr effect_ref, int32_t index, int32_t what_time, int32_t time_step,
                             uint32_t time_scale, PF_ParamDef *param);
    /* Gives a checked-out value back to the host. */
    PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef *param);
    /* Appends a definition behind the last parameter when index is -1.
       Called by the parameter setup only; the host copies what it needs. */
    PF_Err (*add_param)(PF_ProgPtr effect_ref, int32_t index, PF_ParamDef *def);
} PF_InteractCallbacks;

/* Formatting helpers; called by the module on the command's thread. */
typedef struct PF_ANSICallbacks {
    /* Formats into buffer, which holds 256 bytes for return_msg. */
    int (*sprintf)(char *buffer, const char *format, ...);
    int (*strcpy)(char *destination, const char *source);
} PF_ANSICallbacks;

typedef struct PF_UtilCallbacks {
    /* Copies src onto dst; null rectangles mean the whole buffers. Called by
       the render when a frame comes without pre-render data. */
    PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *src_r,
                   PF_Rect *dst_r);
    PF_ANSICallbacks ansi;
} PF_UtilCallbacks;

/* The host's basic suite: named function suites by name and version. Every
   suite acquired must be released again with the same name and version. */
typedef struct SPBasicSuite {
    int32_t (*AcquireSuite)(const char *name, int32_t version, const void **suite);
    int32_t (*ReleaseSuite)(const char *name, int32_t version);
} SPBasicSuite;

/* The host's description of a call. */
typedef struct PF_InData {
    PF_InteractCallbacks inter;
    PF_UtilCallbacks *utils;
    PF_ProgPtr effect_ref;
    int32_t version_major;
    int32_t version_minor;
    int32_t current_time;
    int32_t time_step;
    uint32_t time_scale;
    int32_t width;  /* the layer's size at full resolution */
    int32_t height;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    SPBasicSuite *pica_basicP;
} PF_InData;

/* The module's answers to a call. */
typedef struct PF_OutData {
    uint32_t my_version;
    int32_t num_params;
    int32_t out_flags;
    int32_t out_flags2;
    char return_msg[256];
} PF_OutData;

/* Suite names and versions exactly as the host registers them. */
#define PF_HANDLE_SUITE_NAME "PF Handle Suite"
#define PF_HANDLE_SUITE_VERSION 2
#define PF_COLOR_PARAM_SUITE_NAME "PF ColorParamSuite"
#define PF_COLOR_PARAM_SUITE_VERSION 1
#define PF_WORLD_SUITE_NAME "PF World Suite"
#define PF_WORLD_SUITE_VERSION 2
#define PF_ITERATE8_SUITE_NAME "PF Iterate8 Suite"
#define PF_ITERATE16_SUITE_NAME "PF iterate16 Suite"
#define PF_ITERATE_FLOAT_SUITE_NAME "PF iterateFloat Suite"
#define PF_ITERATE_SUITE_VERSION 1

/* "PF Handle Suite" version 2. */
typedef struct PF_HandleSuite2 {
    PF_Handle (*host_new_handle)(uint64_t size);
    void *(*host_lock_handle)(PF_Handle handle); /* null when it cannot be locked */
    void (*host_unlock_handle)(PF_Handle handle);
    void (*host_dispose_handle)(PF_Handle handle);
    uint64_t (*host_get_handle_size)(PF_Handle handle);
} PF_HandleSuite2;

/* "PF ColorParamSuite" version 1. */
typedef struct PF_ColorParamSuite1 {
    PF_Err (*PF_GetFloatingPointColorFromColorDef)(PF_ProgPtr effect_ref, const PF_ParamDef *color_def,
                                                   PF_PixelFloat *out);
} PF_ColorParamSuite1;

/* "PF World Suite" version 2. */
typedef struct PF_WorldSuite2 {
    PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld *world, PF_PixelFormat *format);
} PF_WorldSuite2;

/* Pixel functions: called by the host's iteration once per output pixel,
   possibly on several threads at once; each row is visited by one thread
   from x = 0 upward. refcon is the value given to iterate. */
typedef PF_Err (*PF_IteratePixel8Func)(void *refcon, int32_t x, int32_t y, const PF_Pixel *in, PF_Pixel *out);
typedef PF_Err (*PF_IteratePixel16Func)(void *refcon, int32_t x, int32_t y, const PF_Pixel16 *in,
                                        PF_Pixel16 *out);
typedef PF_Err (*PF_IteratePixelFloatFunc)(void *refcon, int32_t x, int32_t y, const PF_PixelFloat *in,
                                           PF_PixelFloat *out);

/* "PF Iterate8 Suite", "PF iterate16 Suite", "PF iterateFloat Suite", each
   version 1. iterate calls pix_fn for every pixel of dst (or of area when it
   is not null) with the src pixel at the same place, reports progress from
   progress_base to progress_final, and returns the first error a call of
   pix_fn returned. Called by the render on its thread. */
typedef struct PF_Iterate8Suite1 {
    PF_Err (*iterate)(PF_InData *in_data, int32_t progress_base, int32_t progress_final, PF_EffectWorld *src,
                      const PF_Rect *area, void *refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld *dst);
} PF_Iterate8Suite1;

typedef struct PF_Iterate16Suite1 {
    PF_Err (*iterate)(PF_InData *in_data, int32_t progress_base, int32_t progress_final, PF_EffectWorld *src,
                      const PF_Rect *area, void *refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld *dst);
} PF_Iterate16Suite1;

typedef struct PF_IterateFloatSuite1 {
    PF_Err (*iterate)(PF_InData *in_data, int32_t progress_base, int32_t progress_final, PF_EffectWorld *src,
                      const PF_Rect *area, void *refcon, PF_IteratePixelFloatFunc pix_fn, PF_EffectWorld *dst);
} PF_IterateFloatSuite1;

/* What the host asks of the effect for one frame. */
typedef struct PF_RenderRequest {
    PF_LRect rect;
    int32_t field;
    int32_t channel_mask;
    PF_Boolean preserve_rgb_of_zero_alpha;
    char unused[3];
    int32_t reserved[4];
} PF_RenderRequest;

/* What the host says of a layer it will deliver; written by checkout_layer. */
typedef struct PF_CheckoutResult {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_RationalScale par;
    int32_t solid;
    int32_t ref_width;
    int32_t ref_height;
} PF_CheckoutResult;

typedef void (*PF_DeletePreRenderDataFunc)(void *pre_render_data);

typedef struct PF_PreRenderInput {
    PF_RenderRequest output_request;
    int16_t bitdepth;
} PF_PreRenderInput;

typedef struct PF_PreRenderOutput {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_Boolean solid;
    char reserved[3];
    int32_t flags;
    void *pre_render_data; /* handed back to the render of the same frame */
    PF_DeletePreRenderDataFunc delete_pre_render_data_func;
} PF_PreRenderOutput;

typedef struct PF_PreRenderCallbacks {
    /* Asks for layer index under checkout_id with the given request; writes
       what the host will deliver into result. Called by the pre-render. */
    PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, int32_t index, int32_t checkout_id,
                             const PF_RenderRequest *request, int32_t what_time, int32_t time_step,
                             uint32_t time_scale, PF_CheckoutResult *result);
} PF_PreRenderCallbacks;

/* The extra block of PF_Cmd_SMART_PRE_RENDER. */
typedef struct PF_PreRenderExtra {
    PF_PreRenderInput *input;
    PF_PreRenderOutput *output;
    PF_PreRenderCallbacks *cb;
} PF_PreRenderExtra;

typedef struct PF_SmartRenderInput {
    PF_RenderRequest output_request;
    int16_t bitdepth;
    void *pre_render_data; /* what the pre-render of this frame stored */
} PF_SmartRenderInput;

typedef struct PF_SmartRenderCallbacks {
    /* The pixels of the layer checked out under checkout_id in the
       pre-render; each successful call is matched by checkin_layer_pixels. */
    PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, int32_t checkout_id, PF_EffectWorld **pixels);
    /* The buffer to render into. */
    PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld **output);
    /* Gives the layer's pixels back; called once per render. */
    PF_Err (*checkin_layer_pixels)(PF_ProgPtr effect_ref, int32_t checkout_id);
} PF_SmartRenderCallbacks;

/* The extra block of PF_Cmd_SMART_RENDER. */
typedef struct PF_SmartRenderExtra {
    PF_SmartRenderInput *input;
    PF_SmartRenderCallbacks *cb;
} PF_SmartRenderExtra;

/* The module's one export, called by the host for every command. */
typedef PF_Err (*PF_EntryPointFunc)(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                                    PF_LayerDef *output, void *extra);

#define PF_ENTRY_POINT_NAME "EntryPointFunc"

#ifdef __cplusplus
}
#endif

#endif
