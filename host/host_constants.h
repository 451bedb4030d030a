/* The host's numbers: commands, flags, parameter types, pixel formats,
   version packing, name limits and the names and versions under which it
   registers its suites. Values and names are the host's own. C-compatible. */
#ifndef TIDALHALO_HOST_CONSTANTS_H
#define TIDALHALO_HOST_CONSTANTS_H

#include "host_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Command codes that the host passes to the entry point. */
typedef A_long PF_Cmd;
enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_UNUSED_0 = 2,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_RESETUP = 6,
    PF_Cmd_SEQUENCE_FLATTEN = 7,
    PF_Cmd_SEQUENCE_SETDOWN = 8,
    PF_Cmd_DO_DIALOG = 9,
    PF_Cmd_FRAME_SETUP = 10,
    PF_Cmd_RENDER = 11,
    PF_Cmd_FRAME_SETDOWN = 12,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_EVENT = 15,
    PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16,
    PF_Cmd_COMPLETELY_GENERAL = 17,
    PF_Cmd_QUERY_DYNAMIC_FLAGS = 18,
    PF_Cmd_AUDIO_RENDER = 19,
    PF_Cmd_AUDIO_SETUP = 20,
    PF_Cmd_AUDIO_SETDOWN = 21,
    PF_Cmd_ARBITRARY_CALLBACK = 22,
    PF_Cmd_SMART_PRE_RENDER = 23,
    PF_Cmd_SMART_RENDER = 24,
    PF_Cmd_GET_FLATTENED_SEQUENCE_DATA = 28,
    PF_Cmd_TRANSLATE_PARAMS_TO_PREFS = 29,
    PF_Cmd_SMART_RENDER_GPU = 31,
    PF_Cmd_GPU_DEVICE_SETUP = 32,
    PF_Cmd_GPU_DEVICE_SETDOWN = 33
};

/* Bits of PF_OutData.out_flags. */
typedef A_long PF_OutFlags;
enum {
    PF_OutFlag_NONE = 0,
    PF_OutFlag_WIDE_TIME_INPUT = 0x2,
    PF_OutFlag_NON_PARAM_VARY = 0x4,
    PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING = 0x10,
    PF_OutFlag_I_DO_DIALOG = 0x20,
    PF_OutFlag_USE_OUTPUT_EXTENT = 0x40,
    PF_OutFlag_SEND_DO_DIALOG = 0x80,
    PF_OutFlag_DISPLAY_ERROR_MESSAGE = 0x100,
    PF_OutFlag_I_EXPAND_BUFFER = 0x200,
    PF_OutFlag_PIX_INDEPENDENT = 0x400,
    PF_OutFlag_I_WRITE_INPUT_BUFFER = 0x800,
    PF_OutFlag_I_SHRINK_BUFFER = 0x1000,
    PF_OutFlag_WORKS_IN_PLACE = 0x2000,
    PF_OutFlag_CUSTOM_UI = 0x8000,
    PF_OutFlag_REFRESH_UI = 0x20000,
    PF_OutFlag_NOP_RENDER = 0x40000,
    PF_OutFlag_I_USE_SHUTTER_ANGLE = 0x80000,
    PF_OutFlag_I_USE_AUDIO = 0x100000,
    PF_OutFlag_I_AM_OBSOLETE = 0x200000,
    PF_OutFlag_FORCE_RERENDER = 0x400000,
    PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS = 0x800000,
    PF_OutFlag_I_HAVE_EXTERNAL_DEPENDENCIES = 0x1000000,
    PF_OutFlag_DEEP_COLOR_AWARE = 0x2000000,
    PF_OutFlag_SEND_UPDATE_PARAMS_UI = 0x4000000
};

/* Bits of PF_OutData.out_flags2. */
typedef A_long PF_OutFlags2;
enum {
    PF_OutFlag2_NONE = 0,
    PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS = 0x1,
    PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG = 0x8,
    PF_OutFlag2_DOESNT_NEED_EMPTY_PIXELS = 0x40,
    PF_OutFlag2_REVEALS_ZERO_ALPHA = 0x80,
    PF_OutFlag2_SUPPORTS_SMART_RENDER = 0x400,
    PF_OutFlag2_FLOAT_COLOR_AWARE = 0x1000,
    PF_OutFlag2_AUTOMATIC_WIDE_TIME_INPUT = 0x20000,
    PF_OutFlag2_SUPPORTS_GPU_RENDER_F32 = 0x2000000,
    PF_OutFlag2_SUPPORTS_THREADED_RENDERING = 0x8000000,
    PF_OutFlag2_MUTABLE_RENDER_SEQUENCE_DATA_SLOWER = 0x10000000
};

/* Bits of PF_InData.in_flags. */
typedef A_long PF_InFlags;
enum {
    PF_InFlag_NONE = 0,
    PF_InFlag_PROJECT_IS_RENDER_ONLY = 0x1
};

/* Parameter types. */
typedef A_long PF_ParamType;
enum {
    PF_Param_RESERVED = -1,
    PF_Param_LAYER = 0,
    PF_Param_SLIDER = 1,
    PF_Param_FIX_SLIDER = 2,
    PF_Param_ANGLE = 3,
    PF_Param_CHECKBOX = 4,
    PF_Param_COLOR = 5,
    PF_Param_POINT = 6,
    PF_Param_POPUP = 7,
    PF_Param_CUSTOM = 8,
    PF_Param_NO_DATA = 9,
    PF_Param_FLOAT_SLIDER = 10,
    PF_Param_ARBITRARY_DATA = 11,
    PF_Param_PATH = 12,
    PF_Param_GROUP_START = 13,
    PF_Param_GROUP_END = 14,
    PF_Param_BUTTON = 15,
    PF_Param_POINT_3D = 18
};

/* Bits of PF_ParamDef.flags; USE_VALUE_FOR_OLD_PROJECTS shares its bit
   with a layer parameter's track-matte flag. */
typedef A_long PF_ParamFlags;
enum {
    PF_ParamFlag_CANNOT_TIME_VARY = 0x2,
    PF_ParamFlag_CANNOT_INTERP = 0x4,
    PF_ParamFlag_COLLAPSE_TWIRLY = 0x20,
    PF_ParamFlag_START_COLLAPSED = 0x20,
    PF_ParamFlag_SUPERVISE = 0x40,
    PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS = 0x80,
    PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED = 0x100,
    PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN = 0x200
};

/* Bits of PF_ParamDef.ui_flags. */
typedef A_long PF_ParamUIFlags;
enum {
    PF_PUI_NONE = 0,
    PF_PUI_TOPIC = 0x1,
    PF_PUI_CONTROL = 0x2,
    PF_PUI_STD_CONTROL_ONLY = 0x4,
    PF_PUI_NO_ECW_UI = 0x8,
    PF_PUI_ECW_SEPARATOR = 0x10,
    PF_PUI_DISABLED = 0x20,
    PF_PUI_DONT_ERASE_TOPIC = 0x40,
    PF_PUI_DONT_ERASE_CONTROL = 0x80,
    PF_PUI_RADIO_BUTTON = 0x100,
    PF_PUI_INVISIBLE = 0x200
};

/* How a float slider shows its value; a 16-bit field of the slider. */
typedef A_short PF_ValueDisplayFlags;
enum {
    PF_ValueDisplayFlag_NONE = 0,
    PF_ValueDisplayFlag_PERCENT = 0x1,
    PF_ValueDisplayFlag_PIXEL = 0x2,
    PF_ValueDisplayFlag_REVERSE = 0x8
};

typedef A_u_long PF_FSliderFlags;
enum {
    PF_FSliderFlag_NONE = 0,
    PF_FSliderFlag_WANT_PHASE = 0x1
};

/* PF_ParamDef.uu.change_flags. */
typedef A_long PF_ChangeFlags;
enum { PF_ChangeFlag_CHANGED_VALUE = 0x1 };

typedef A_long PF_WorldFlags;
enum {
    PF_WorldFlag_DEEP = 0x1,
    PF_WorldFlag_WRITEABLE = 0x2
};

/* A 16-bit field of PF_PreRenderOutput. */
typedef A_short PF_RenderOutputFlags;
enum {
    PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS = 0x1,
    PF_RenderOutputFlag_GPU_RENDER_POSSIBLE = 0x2
};

typedef A_long PF_ChannelMask;
enum {
    PF_ChannelMask_ALPHA = 0x1,
    PF_ChannelMask_RED = 0x2,
    PF_ChannelMask_GREEN = 0x4,
    PF_ChannelMask_BLUE = 0x8,
    PF_ChannelMask_ARGB = 0xF
};

typedef A_long PF_Field;
enum {
    PF_Field_FRAME = 0,
    PF_Field_UPPER = 1,
    PF_Field_LOWER = 2
};

typedef A_long PF_Quality;
enum {
    PF_Quality_LO = 0,
    PF_Quality_HI = 1
};

/* Version stages packed into a PF_VERSION word. */
enum {
    PF_Stage_DEVELOP = 0,
    PF_Stage_ALPHA = 1,
    PF_Stage_BETA = 2,
    PF_Stage_RELEASE = 3
};

/* Where each part of a PF_VERSION word sits: the low three bits of the
   version at 19-21 and its higher bits at 26-29. */
enum {
    PF_Vers_BUILD_BITS = 0x1FF,
    PF_Vers_BUILD_SHIFT = 0,
    PF_Vers_STAGE_BITS = 0x3,
    PF_Vers_STAGE_SHIFT = 9,
    PF_Vers_BUGFIX_BITS = 0xF,
    PF_Vers_BUGFIX_SHIFT = 11,
    PF_Vers_SUBVERS_BITS = 0xF,
    PF_Vers_SUBVERS_SHIFT = 15,
    PF_Vers_VERS_BITS = 0x7,
    PF_Vers_VERS_SHIFT = 19,
    PF_Vers_VERS_HIGH_BITS = 0xF,
    PF_Vers_VERS_HIGH_SHIFT = 26
};

#define PF_VERSION(vers, subvers, bugfix, stage, build)                                                  \
    ((((((A_u_long)(vers)) >> 3) & PF_Vers_VERS_HIGH_BITS) << PF_Vers_VERS_HIGH_SHIFT) |                 \
     ((((A_u_long)(vers)) & PF_Vers_VERS_BITS) << PF_Vers_VERS_SHIFT) |                                  \
     ((((A_u_long)(subvers)) & PF_Vers_SUBVERS_BITS) << PF_Vers_SUBVERS_SHIFT) |                         \
     ((((A_u_long)(bugfix)) & PF_Vers_BUGFIX_BITS) << PF_Vers_BUGFIX_SHIFT) |                            \
     ((((A_u_long)(stage)) & PF_Vers_STAGE_BITS) << PF_Vers_STAGE_SHIFT) |                               \
     ((((A_u_long)(build)) & PF_Vers_BUILD_BITS) << PF_Vers_BUILD_SHIFT))

/* Text limits; the buffers hold one byte more for the terminator. */
enum {
    PF_MAX_EFFECT_NAME_LEN = 31,
    PF_MAX_EFFECT_PARAM_NAME_LEN = 31,
    PF_MAX_PARAM_DESCRIPTION_LEN = 31,
    PF_MAX_EFFECT_MSG_LEN = 255
};

enum {
    PF_MAX_CHAN8 = 255,
    PF_MAX_CHAN16 = 32768
};

/* Suite names and versions exactly as the host registers them (case and
   blanks matter). The handle suite's name keeps a "1" although its version
   is 2, the form with 64-bit sizes. */
#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 2
#define kPFColorParamSuite "PF ColorParamSuite"
#define kPFColorParamSuiteVersion1 1
#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion2 2
#define kPFPixelFormatSuite "PF Pixel Format Suite"
#define kPFPixelFormatSuiteVersion2 2
#define kPFIterate8Suite "PF Iterate8 Suite"
#define kPFIterate8SuiteVersion1 1
#define kPFIterate8SuiteVersion2 2
#define kPFIterate16Suite "PF iterate16 Suite"
#define kPFIterate16SuiteVersion1 1
#define kPFIterate16SuiteVersion2 2
#define kPFIterateFloatSuite "PF iterateFloat Suite"
#define kPFIterateFloatSuiteVersion1 1
#define kPFIterateFloatSuiteVersion2 2
#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 4

#ifdef __cplusplus
}
#endif

#endif
