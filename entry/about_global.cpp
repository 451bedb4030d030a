#include "entry/about_global.h"

#include "params/identity.h"

namespace {

// "一个简单的插件，产生环形冲击波等。  KWTRO 汉化" in GBK: a simple plug-in that
// makes ring-shaped waves and the like; localisation credit.
constexpr char TIDALHALO_DESCRIPTION[] =
    "\xD2\xBB\xB8\xF6\xBC\xF2\xB5\xA5\xB5\xC4\xB2\xE5\xBC\xFE\xA3\xAC\xB2\xFA\xC9\xFA\xBB\xB7\xD0\xCE"
    "\xB3\xE5\xBB\xF7\xB2\xA8\xB5\xC8\xA1\xA3  KWTRO \xBA\xBA\xBB\xAF";

} // namespace

PF_Err About(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *[], PF_LayerDef *) noexcept {
    // A carriage return, not a line feed, parts the heading from the description.
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s, v%d.%d\r%s", TIDALHALO_NAME, TIDALHALO_MAJOR_VERSION,
                                 TIDALHALO_MINOR_VERSION, TIDALHALO_DESCRIPTION);
    return PF_Err_NONE;
}

PF_Err GlobalSetup(PF_InData *, PF_OutData *out_data, PF_ParamDef *[], PF_LayerDef *) noexcept {
    static_assert(TIDALHALO_VERSION == PF_VERSION(TIDALHALO_MAJOR_VERSION, TIDALHALO_MINOR_VERSION, 0,
                                                  PF_Stage_RELEASE, 1));
    static_assert(TIDALHALO_OUT_FLAGS == (PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_PIX_INDEPENDENT));
    static_assert(TIDALHALO_OUT_FLAGS2 == (PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE));
    out_data->my_version = TIDALHALO_VERSION;
    out_data->out_flags = TIDALHALO_OUT_FLAGS;
    out_data->out_flags2 = TIDALHALO_OUT_FLAGS2;
    return PF_Err_NONE;
}
