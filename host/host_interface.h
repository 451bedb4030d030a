/* The host's effect interface, laid out as the host application lays it out
   on 64-bit Windows (effect interface 13): the data blocks, the callback
   tables and the function suites, every member at the host's offset with the
   host's name, including those this module never touches. Plain natural
   alignment; no packing directive is needed, as no member is wider than 8
   bytes. C-compatible, so a host written in C can include it.

   Threads: the host calls the entry point and every callback below on the
   thread of that call, except the pixel functions handed to an iterate
   suite, which the host may call on several threads at once and in any
   order of pixels. */
#ifndef TIDALHALO_HOST_INTERFACE_H
#define TIDALHALO_HOST_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#include "host_constants.h"
#include "host_types.h"

#ifdef __cplusplus
extern "C" {
#endif

struct PF_InData;
struct PF_OutData;

/* The host's identity for the effect instance of a call; opaque. */
typedef struct _PF_ProgressInfo *PF_ProgPtr;

/* A block of host memory: a pointer to the host's pointer to its bytes.
   Lock it to reach the bytes. */
typedef void **PF_Handle;

typedef void *PF_PixelPtr;

/* A point parameter: 16.16 fixed-point layer pixels; its default is a
   percentage of the layer's width and height. */
typedef struct PF_PointDef {
    PF_Fixed x_value;
    PF_Fixed y_value;
    A_char reserved[3];
    PF_Boolean restrict_bounds;
    PF_Fixed x_dephault;
    PF_Fixed y_dephault;
} PF_PointDef;

typedef struct PF_FloatSliderDef {
    PF_FpLong value;
    PF_FpLong phase;
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_FpShort valid_min;
    PF_FpShort valid_max;
    PF_FpShort slider_min;
    PF_FpShort slider_max;
    PF_FpShort dephault;
    A_short precision;
    PF_ValueDisplayFlags display_flags;
    PF_FSliderFlags fs_flags;
    PF_FpShort curve_tolerance;
    PF_Boolean useExponent;
    PF_FpShort exponent;
} PF_FloatSliderDef;

typedef struct PF_ColorDef {
    PF_Pixel value;
    PF_Pixel dephault;
} PF_ColorDef;

typedef struct PF_CheckBoxDef {
    PF_ParamValue value;
    PF_Boolean dephault;
    A_char reserved;
    A_short reserved1;
    union {
        const A_char *nameptr; /* the label beside the box */
    } u;
} PF_CheckBoxDef;

typedef struct PF_PopupDef {
    PF_ParamValue value; /* counts from 1 */
    A_short num_choices;
    A_short dephault;
    union {
        const A_char *namesptr; /* the choices, separated by '|' */
    } u;
} PF_PopupDef;

/* Definitions of the parameter types this module does not use. Only their
   sizes (and so the union's) matter here; their members are the host's
   business and stay opaque. */
typedef struct PF_SliderDef {
    unsigned char opaque[88];
} PF_SliderDef;
typedef struct PF_FixedSliderDef {
    unsigned char opaque[92];
} PF_FixedSliderDef;
typedef struct PF_AngleDef {
    unsigned char opaque[16];
} PF_AngleDef;
typedef struct PF_ArbitraryDef {
    unsigned char opaque[32];
} PF_ArbitraryDef;
typedef struct PF_PathDef {
    unsigned char opaque[12];
} PF_PathDef;
typedef struct PF_ButtonDef {
    unsigned char opaque[16];
} PF_ButtonDef;
typedef struct PF_Point3DDef {
    unsigned char opaque[64];
} PF_Point3DDef;

/* A buffer of pixels. Rows are rowbytes apart, which may exceed width times
   the pixel size; origin_x/origin_y place the first column and row in layer
   coordinates. */
typedef struct PF_LayerDef {
    void *reserved0;
    void *reserved1;
    PF_WorldFlags world_flags;
    PF_PixelPtr data;
    A_long rowbytes;
    A_long width;
    A_long height;
    PF_LRect extent_hint;
    void *platform_ref;
    A_long reserved_long1;
    void *reserved_long4;
    PF_RationalScale pix_aspect_ratio;
    void *reserved_long2;
    A_long origin_x;
    A_long origin_y;
    A_long reserved_long3;
    A_long dephault;
} PF_LayerDef;

typedef PF_LayerDef PF_EffectWorld;

typedef union PF_ParamDefUnion {
    PF_LayerDef ld;
    PF_SliderDef sd;
    PF_FixedSliderDef fd;
    PF_AngleDef ad;
    PF_CheckBoxDef bd;
    PF_ColorDef cd;
    PF_PointDef td;
    PF_PopupDef pd;
    PF_FloatSliderDef fs_d;
    PF_ArbitraryDef arb_d;
    PF_PathDef path_d;
    PF_ButtonDef button_d;
    PF_Point3DDef point3d_d;
} PF_ParamDefUnion;

/* One parameter definition, or one parameter's value at a time. */
typedef struct PF_ParamDef {
    union {
        A_long id; /* the identifier under which projects store the value */
        PF_ChangeFlags change_flags;
    } uu;
    PF_ParamUIFlags ui_flags;
    A_short ui_width;
    A_short ui_height;
    PF_ParamType param_type;
    A_char name[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
    PF_ParamFlags flags;
    A_long unused;
    PF_ParamDefUnion u;
} PF_ParamDef;

typedef PF_ParamDef **PF_ParamList;

typedef struct PF_SoundFormatInfo {
    PF_FpLong rateF;
    A_short num_channels;
    A_short format;
    A_short sample_size;
} PF_SoundFormatInfo;

typedef struct PF_SoundWorld {
    PF_SoundFormatInfo fi;
    A_long num_samples;
    void *dataP;
} PF_SoundWorld;

/* Pixel functions: called by an iteration once per pixel, possibly on
   several threads at once and in no promised order. refcon is the value
   given to the iteration. The source pixel is read only; saying so with
   const changes nothing in how the host passes it. */
typedef PF_Err (*PF_IteratePixel8Func)(void *refcon, A_long x, A_long y, const PF_Pixel *in, PF_Pixel *out);
typedef PF_Err (*PF_IteratePixel16Func)(void *refcon, A_long x, A_long y, const PF_Pixel16 *in,
                                        PF_Pixel16 *out);
typedef PF_Err (*PF_IteratePixelFloatFunc)(void *refcon, A_long x, A_long y, const PF_PixelFloat *in,
                                           PF_PixelFloat *out);

/* Parameters, progress and audio. The block is the first member of
   PF_InData, so its layout never changes. Called by the module during a
   command, on the command's thread. */
typedef struct PF_InteractCallbacks {
    /* The value of parameter index at what_time, written into param. */
    PF_Err (*checkout_param)(PF_ProgPtr effect_ref, A_long index, A_long what_time, A_long time_step,
                             A_u_long time_scale, PF_ParamDef *param);
    /* Gives a checked-out value back to the host. */
    PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef *param);
    /* Appends a definition behind the last parameter when index is -1,
       during PF_Cmd_PARAMS_SETUP; the host copies what it needs. */
    PF_Err (*add_param)(PF_ProgPtr effect_ref, A_long index, PF_ParamDef *def);
    PF_Err (*abort)(PF_ProgPtr effect_ref);
    PF_Err (*progress)(PF_ProgPtr effect_ref, A_long current, A_long total);
    PF_Err (*register_ui)(PF_ProgPtr effect_ref, void *custom_ui_info);
    PF_Err (*checkout_layer_audio)(PF_ProgPtr effect_ref, A_long index, A_long start_time, A_long duration,
                                   A_u_long time_scale, A_long rate, A_long bytes_per_sample, A_long num_channels,
                                   A_long fmt_signed, void *audio);
    PF_Err (*checkin_layer_audio)(PF_ProgPtr effect_ref, void *audio);
    PF_Err (*get_audio_data)(PF_ProgPtr effect_ref, void *audio, void *data, void *num_samples, void *rate,
                             void *bytes_per_sample, void *num_channels, void *fmt_signed);
    void *reserved_str[3];
    void *reserved[10];
} PF_InteractCallbacks;

/* The host's C library, for modules that want the host's own formatting and
   mathematics. Called on the command's thread. */
typedef struct PF_ANSICallbacks {
    A_FpLong (*atan)(A_FpLong);
    A_FpLong (*atan2)(A_FpLong y, A_FpLong x);
    A_FpLong (*ceil)(A_FpLong);
    A_FpLong (*cos)(A_FpLong);
    A_FpLong (*exp)(A_FpLong);
    A_FpLong (*fabs)(A_FpLong);
    A_FpLong (*floor)(A_FpLong);
    A_FpLong (*fmod)(A_FpLong x, A_FpLong y);
    A_FpLong (*hypot)(A_FpLong x, A_FpLong y);
    A_FpLong (*log)(A_FpLong);
    A_FpLong (*log10)(A_FpLong);
    A_FpLong (*pow)(A_FpLong x, A_FpLong y);
    A_FpLong (*sin)(A_FpLong);
    A_FpLong (*sqrt)(A_FpLong);
    A_FpLong (*tan)(A_FpLong);
    /* Formats into buffer; return_msg holds 256 bytes. */
    int (*sprintf)(A_char *buffer, const A_char *format, ...);
    A_char *(*strcpy)(A_char *destination, const A_char *source);
    A_FpLong (*asin)(A_FpLong);
    A_FpLong (*acos)(A_FpLong);
    A_long ansi_procs[1];
} PF_ANSICallbacks;

typedef struct PF_ColorCallbacks {
    PF_Err (*RGBtoHLS)(PF_ProgPtr effect_ref, PF_Pixel *rgb, void *hls);
    PF_Err (*HLStoRGB)(PF_ProgPtr effect_ref, void *hls, PF_Pixel *rgb);
    PF_Err (*RGBtoYIQ)(PF_ProgPtr effect_ref, PF_Pixel *rgb, void *yiq);
    PF_Err (*YIQtoRGB)(PF_ProgPtr effect_ref, void *yiq, PF_Pixel *rgb);
    PF_Err (*Luminance)(PF_ProgPtr effect_ref, PF_Pixel *rgb, A_long *lum100);
    PF_Err (*Hue)(PF_ProgPtr effect_ref, PF_Pixel *rgb, A_long *hue);
    PF_Err (*Lightness)(PF_ProgPtr effect_ref, PF_Pixel *rgb, A_long *lightness);
    PF_Err (*Saturation)(PF_ProgPtr effect_ref, PF_Pixel *rgb, A_long *saturation);
} PF_ColorCallbacks;

/* The host's utilities: sampling, compositing, worlds, iteration, handles
   and the C library. Called by the module during a command, on the
   command's thread. */
typedef struct _PF_UtilCallbacks {
    PF_Err (*begin_sampling)(PF_ProgPtr effect_ref, PF_Quality qual, A_long mode_flags, void *params);
    PF_Err (*subpixel_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const void *params, PF_Pixel *dst);
    PF_Err (*area_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const void *params, PF_Pixel *dst);
    void *get_batch_func_is_deprecated;
    PF_Err (*end_sampling)(PF_ProgPtr effect_ref, PF_Quality qual, A_long mode_flags, void *params);
    PF_Err (*composite_rect)(PF_ProgPtr effect_ref, PF_Rect *src_rect, A_long src_opacity,
                             PF_EffectWorld *source_wld, A_long dest_x, A_long dest_y, A_long field_rdr,
                             A_long xfer_mode, PF_EffectWorld *dest_wld);
    PF_Err (*blend)(PF_ProgPtr effect_ref, const PF_EffectWorld *src1, const PF_EffectWorld *src2, PF_Fixed ratio,
                    PF_EffectWorld *dst);
    PF_Err (*convolve)(PF_ProgPtr effect_ref, PF_EffectWorld *src, const PF_Rect *area, A_long flags,
                       A_long kernel_size, void *a_kernel, void *r_kernel, void *g_kernel, void *b_kernel,
                       PF_EffectWorld *dst);
    /* Copies src onto dst; null rectangles mean the whole worlds. */
    PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *src_r,
                   PF_Rect *dst_r);
    PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel *color, const PF_Rect *dst_rect, PF_EffectWorld *world);
    PF_Err (*gaussian_kernel)(PF_ProgPtr effect_ref, A_FpLong kRadius, A_long flags, A_FpLong multiplier,
                              A_long *diameter, void *kernel);
    PF_Err (*iterate)(struct PF_InData *in_data, A_long progress_base, A_long progress_final, PF_EffectWorld *src,
                      const PF_Rect *area, void *refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld *dst);
    PF_Err (*premultiply)(PF_ProgPtr effect_ref, A_long forward, PF_EffectWorld *dst);
    PF_Err (*premultiply_color)(PF_ProgPtr effect_ref, PF_EffectWorld *src, const PF_Pixel *color, A_long forward,
                                PF_EffectWorld *dst);
    PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height, A_long flags, PF_EffectWorld *world);
    PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld *world);
    PF_Err (*iterate_origin)(struct PF_InData *in_data, A_long progress_base, A_long progress_final,
                             PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin, void *refcon,
                             PF_IteratePixel8Func pix_fn, PF_EffectWorld *dst);
    PF_Err (*iterate_lut)(struct PF_InData *in_data, A_long progress_base, A_long progress_final,
                          PF_EffectWorld *src, const PF_Rect *area, A_u_char *a_lut0, A_u_char *r_lut0,
                          A_u_char *g_lut0, A_u_char *b_lut0, PF_EffectWorld *dst);
    PF_Err (*transfer_rect)(PF_ProgPtr effect_ref, PF_Quality quality, A_long m_flags, PF_Field field,
                            const PF_Rect *src_rec, const PF_EffectWorld *src_world, const void *comp_mode,
                            const void *mask_world, A_long dest_x, A_long dest_y, PF_EffectWorld *dst_world);
    PF_Err (*transform_world)(PF_ProgPtr effect_ref, PF_Quality quality, A_long m_flags, PF_Field field,
                              const PF_EffectWorld *src_world, const void *comp_mode, const void *mask_world,
                              const void *matrices, A_long num_matrices, PF_Boolean src2dst_matrix,
                              const PF_Rect *dest_rect, PF_EffectWorld *dst_world);
    PF_Handle (*host_new_handle)(A_HandleSize size);
    void *(*host_lock_handle)(PF_Handle pf_handle);
    void (*host_unlock_handle)(PF_Handle pf_handle);
    void (*host_dispose_handle)(PF_Handle pf_handle);
    PF_Err (*get_callback_addr)(PF_ProgPtr effect_ref, PF_Quality quality, A_long mode_flags,
                                A_long which_callback, void *fn_ptr);
    PF_Err (*app)(PF_ProgPtr effect_ref, A_long selector, ...);
    PF_ANSICallbacks ansi;
    PF_ColorCallbacks colorCB;
    PF_Err (*get_platform_data)(PF_ProgPtr effect_ref, A_long which, void *data);
    A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
    PF_Err (*iterate_origin_non_clip_src)(struct PF_InData *in_data, A_long progress_base, A_long progress_final,
                                          PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin,
                                          void *refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld *dst);
    PF_Err (*iterate_generic)(A_long iterationsL, void *refconPV,
                              PF_Err (*fn_func)(void *refconPV, A_long thread_indexL, A_long i_iterationL,
                                                A_long iterationsL));
    PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle *handlePH);
    PF_Err (*subpixel_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const void *params,
                                PF_Pixel16 *dst);
    PF_Err (*area_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const void *params, PF_Pixel16 *dst);
    PF_Err (*fill16)(PF_ProgPtr effect_ref, const PF_Pixel16 *color, const PF_Rect *dst_rect,
                     PF_EffectWorld *world);
    PF_Err (*premultiply_color16)(PF_ProgPtr effect_ref, PF_EffectWorld *src, const PF_Pixel16 *color,
                                  A_long forward, PF_EffectWorld *dst);
    PF_Err (*iterate16)(struct PF_InData *in_data, A_long progress_base, A_long progress_final, PF_EffectWorld *src,
                        const PF_Rect *area, void *refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld *dst);
    PF_Err (*iterate_origin16)(struct PF_InData *in_data, A_long progress_base, A_long progress_final,
                               PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin, void *refcon,
                               PF_IteratePixel16Func pix_fn, PF_EffectWorld *dst);
    PF_Err (*iterate_origin_non_clip_src16)(struct PF_InData *in_data, A_long progress_base, A_long progress_final,
                                            PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin,
                                            void *refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld *dst);
    PF_Err (*get_pixel_data8)(PF_EffectWorld *worldP, PF_PixelPtr pixelsP0, PF_Pixel **pixPP);
    PF_Err (*get_pixel_data16)(PF_EffectWorld *worldP, PF_PixelPtr pixelsP0, PF_Pixel16 **pixPP);
    A_long reserved[1];
} PF_UtilCallbacks;

/* The host's basic suite: named function suites by name and version. Every
   suite acquired must be released again with the same name and version. */
typedef struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char *name, int32_t version, const void **suite);
    SPErr (*ReleaseSuite)(const char *name, int32_t version);
    SPBoolean (*IsEqual)(const char *token1, const char *token2);
    SPErr (*AllocateBlock)(size_t size, void **block);
    SPErr (*FreeBlock)(void *block);
    SPErr (*ReallocateBlock)(void *block, size_t new_size, void **new_block);
    SPErr (*Undefined)(void);
} SPBasicSuite;

/* The host's description of a call. */
typedef struct PF_InData {
    PF_InteractCallbacks inter;
    struct _PF_UtilCallbacks *utils;
    PF_ProgPtr effect_ref;
    PF_Quality quality;
    PF_SpecVersion version;
    A_long serial_num;
    A_long appl_id;
    A_long num_params;
    A_long reserved;
    A_long what_cpu;
    A_long what_fpu;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    PF_Field field;
    PF_Fixed shutter_angle;
    A_long width; /* the layer's size at full resolution */
    A_long height;
    PF_Rect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    PF_InFlags in_flags;
    PF_Handle global_data;
    PF_Handle sequence_data;
    PF_Handle frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    PF_SoundWorld src_snd;
    SPBasicSuite *pica_basicP;
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
} PF_InData;

/* The module's answers to a call. */
typedef struct PF_OutData {
    A_u_long my_version; /* a PF_VERSION word */
    A_char name[PF_MAX_EFFECT_NAME_LEN + 1];
    PF_Handle global_data;
    A_long num_params;
    PF_Handle sequence_data;
    A_long flat_sdata_size;
    PF_Handle frame_data;
    A_long width;
    A_long height;
    PF_Point origin;
    PF_OutFlags out_flags;
    A_char return_msg[PF_MAX_EFFECT_MSG_LEN + 1];
    A_long start_sampL;
    A_long dur_sampL;
    PF_SoundWorld dest_snd;
    PF_OutFlags2 out_flags2;
} PF_OutData;

/* The module's one export, called by the host for every command. */
typedef PF_Err (*PF_FilterProc)(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                                PF_ParamDef *params[], PF_LayerDef *output, void *extra);

/* "PF Handle Suite" version 2: handles with 64-bit sizes. */
typedef struct PF_HandleSuite1 {
    PF_Handle (*host_new_handle)(A_HandleSize size);
    void *(*host_lock_handle)(PF_Handle pf_handle); /* null when it cannot be locked */
    void (*host_unlock_handle)(PF_Handle pf_handle);
    void (*host_dispose_handle)(PF_Handle pf_handle);
    A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
    PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle *handlePH);
} PF_HandleSuite1;

/* "PF ColorParamSuite" version 1. */
typedef struct PF_ColorParamSuite1 {
    PF_Err (*PF_GetFloatingPointColorFromColorDef)(PF_ProgPtr effect_ref, const PF_ParamDef *color_def,
                                                   PF_PixelFloat *floating_point_colorP);
} PF_ColorParamSuite1;

/* "PF World Suite" version 2. */
typedef struct PF_WorldSuite2 {
    PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL, PF_Boolean clear_pixB,
                          PF_PixelFormat pixel_format, PF_EffectWorld *worldP);
    PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld *worldP);
    PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld *worldP, PF_PixelFormat *pixel_formatP);
} PF_WorldSuite2;

/* "PF Iterate8 Suite", "PF iterate16 Suite", "PF iterateFloat Suite",
   versions 1 and 2 alike. iterate calls pix_fn for every pixel of dst (of
   area when it is not null) with the src pixel at the same place, in no
   promised order and possibly on several threads, reports progress from
   progress_base to progress_final, and returns the first error a call of
   pix_fn returned. Called by the module on the command's thread. */
typedef struct PF_Iterate8Suite1 {
    PF_Err (*iterate)(PF_InData *in_data, A_long progress_base, A_long progress_final, PF_EffectWorld *src,
                      const PF_Rect *area, void *refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld *dst);
    PF_Err (*iterate_origin)(PF_InData *in_data, A_long progress_base, A_long progress_final, PF_EffectWorld *src,
                             const PF_Rect *area, const PF_Point *origin, void *refcon, PF_IteratePixel8Func pix_fn,
                             PF_EffectWorld *dst);
    PF_Err (*iterate_lut)(PF_InData *in_data, A_long progress_base, A_long progress_final, PF_EffectWorld *src,
                          const PF_Rect *area, A_u_char *a_lut0, A_u_char *r_lut0, A_u_char *g_lut0,
                          A_u_char *b_lut0, PF_EffectWorld *dst);
    PF_Err (*iterate_origin_non_clip_src)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                                          PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin,
                                          void *refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld *dst);
    PF_Err (*iterate_generic)(A_long iterationsL, void *refconPV,
                              PF_Err (*fn_func)(void *refconPV, A_long thread_indexL, A_long i_iterationL,
                                                A_long iterationsL));
} PF_Iterate8Suite1;

typedef struct PF_Iterate16Suite1 {
    PF_Err (*iterate)(PF_InData *in_data, A_long progress_base, A_long progress_final, PF_EffectWorld *src,
                      const PF_Rect *area, void *refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld *dst);
    PF_Err (*iterate_origin)(PF_InData *in_data, A_long progress_base, A_long progress_final, PF_EffectWorld *src,
                             const PF_Rect *area, const PF_Point *origin, void *refcon, PF_IteratePixel16Func pix_fn,
                             PF_EffectWorld *dst);
    PF_Err (*iterate_origin_non_clip_src)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                                          PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin,
                                          void *refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld *dst);
} PF_Iterate16Suite1;

typedef struct PF_IterateFloatSuite1 {
    PF_Err (*iterate)(PF_InData *in_data, A_long progress_base, A_long progress_final, PF_EffectWorld *src,
                      const PF_Rect *area, void *refcon, PF_IteratePixelFloatFunc pix_fn, PF_EffectWorld *dst);
    PF_Err (*iterate_origin)(PF_InData *in_data, A_long progress_base, A_long progress_final, PF_EffectWorld *src,
                             const PF_Rect *area, const PF_Point *origin, void *refcon,
                             PF_IteratePixelFloatFunc pix_fn, PF_EffectWorld *dst);
    PF_Err (*iterate_origin_non_clip_src)(PF_InData *in_data, A_long progress_base, A_long progress_final,
                                          PF_EffectWorld *src, const PF_Rect *area, const PF_Point *origin,
                                          void *refcon, PF_IteratePixelFloatFunc pix_fn, PF_EffectWorld *dst);
} PF_IterateFloatSuite1;

/* What the host asks of the effect for one frame. */
typedef struct PF_RenderRequest {
    PF_LRect rect;
    PF_Field field;
    PF_ChannelMask channel_mask;
    PF_Boolean preserve_rgb_of_zero_alpha;
    A_char unused[3];
    A_long reserved[4];
} PF_RenderRequest;

/* What the host says of a layer it will deliver; written by checkout_layer. */
typedef struct PF_CheckoutResult {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_RationalScale par;
    PF_Boolean solid;
    PF_Boolean reservedB[3];
    A_long ref_width;
    A_long ref_height;
    A_long reserved[6];
} PF_CheckoutResult;

typedef void (*PF_DeletePreRenderDataFunc)(void *pre_render_data);

typedef A_long PF_GPU_Framework;

typedef struct PF_PreRenderInput {
    PF_RenderRequest output_request;
    A_short bitdepth; /* 8, 16 or 32 */
    const void *gpu_data;
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
} PF_PreRenderInput;

typedef struct PF_PreRenderOutput {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_Boolean solid;
    PF_Boolean reserved;
    PF_RenderOutputFlags flags;
    void *pre_render_data; /* handed back to the render of the same frame */
    PF_DeletePreRenderDataFunc delete_pre_render_data_func;
} PF_PreRenderOutput;

typedef struct PF_PreRenderCallbacks {
    /* Asks for layer index under checkout_id with the given request and
       writes what the host will deliver into result. Called by the
       pre-render on the command's thread. */
    PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, A_long index, A_long checkout_id, const PF_RenderRequest *req,
                             A_long what_time, A_long time_step, A_u_long time_scale,
                             PF_CheckoutResult *checkout_result);
    /* Mixes bytes into the identity under which the host caches the
       frame. */
    PF_Err (*GuidMixInPtr)(PF_ProgPtr effect_ref, A_u_long buf_sizeLu, const void *buf);
} PF_PreRenderCallbacks;

/* The extra block of PF_Cmd_SMART_PRE_RENDER. */
typedef struct PF_PreRenderExtra {
    PF_PreRenderInput *input;
    PF_PreRenderOutput *output;
    PF_PreRenderCallbacks *cb;
} PF_PreRenderExtra;

typedef struct PF_SmartRenderInput {
    PF_RenderRequest output_request;
    A_short bitdepth;
    void *pre_render_data; /* what the pre-render of this frame stored */
    const void *gpu_data;
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
} PF_SmartRenderInput;

typedef struct PF_SmartRenderCallbacks {
    /* The pixels of the layer checked out under checkout_id in the
       pre-render; each successful call is matched by checkin_layer_pixels. */
    PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_id, PF_EffectWorld **pixels);
    /* Gives the layer's pixels back before the render returns. */
    PF_Err (*checkin_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_id);
    /* The world to render into. */
    PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld **output);
} PF_SmartRenderCallbacks;

/* The extra block of PF_Cmd_SMART_RENDER. */
typedef struct PF_SmartRenderExtra {
    PF_SmartRenderInput *input;
    PF_SmartRenderCallbacks *cb;
} PF_SmartRenderExtra;

/* The name under which the module exports its PF_FilterProc. */
#define PF_ENTRY_POINT_NAME "EntryPointFunc"

#ifdef __cplusplus
}
#endif

#endif
