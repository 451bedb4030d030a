#include "entry/entry_point.h"

#include <new>

#include "entry/about_global.h"
#include "entry/smart_pre_render.h"
#include "entry/smart_render.h"
#include "params/params_setup.h"

namespace {

PF_Err Dispatch(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[], PF_LayerDef *output,
                void *extra) {
    switch (cmd) {
    case PF_Cmd_ABOUT:
        return About(in_data, out_data, params, output);
    case PF_Cmd_GLOBAL_SETUP:
        return GlobalSetup(in_data, out_data, params, output);
    case PF_Cmd_PARAMS_SETUP:
        return ParamsSetup(in_data, out_data, params, output);
    case PF_Cmd_SMART_PRE_RENDER:
        return SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra *>(extra));
    case PF_Cmd_SMART_RENDER:
        return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra *>(extra));
    default:
        return PF_Err_NONE;  // every other command is answered without touching anything
    }
}

} // namespace

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[],
                                 PF_LayerDef *output, void *extra) noexcept {
    // An exception crossing into the host would take the host down.
    try {
        return Dispatch(cmd, in_data, out_data, params, output, extra);
    } catch (PF_Err raised) {
        return raised;
    } catch (const std::bad_alloc &) {
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}
