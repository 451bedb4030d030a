#include "entry/smart_render.h"

#include "host/host_suites.h"
#include "params/ring_params.h"
#include "render/pixel_functions.h"
#include "render/ring_render_info.h"

namespace {

constexpr char RING_LOAD_SUITE_MESSAGE[] = "Couldn't load suite.";
constexpr char RING_RELEASE_SUITE_MESSAGE[] = "Couldn't release suite.";

// What the render holds and must give back, whichever way it ends.
struct RenderHoldings {
    PF_Handle handle = nullptr;
    const PF_HandleSuite1 *handles = nullptr;
    RingRenderInfo *info = nullptr;
    const void *world_suite = nullptr;
};

// Releases the world suite (only when it was acquired), unlocks the record
// and gives the input back. A code counts only when nothing failed before.
PF_Err GiveBack(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra, const RenderHoldings &held,
                PF_Err err) noexcept {
    if (held.world_suite != nullptr) {
        const PF_Err release_err = ReleaseSuiteOrReport(in_data, out_data, kPFWorldSuite,
                                                        kPFWorldSuiteVersion2, RING_RELEASE_SUITE_MESSAGE);
        if (err == PF_Err_NONE) {
            err = release_err;
        }
    }
    if (held.info != nullptr) {
        held.handles->host_unlock_handle(held.handle);
    }
    const PF_Err checkin_err = extra->cb->checkin_layer_pixels(in_data->effect_ref, RING_INPUT);
    return err == PF_Err_NONE ? checkin_err : err;
}

PF_Err Iterate(PF_InData *in_data, HostSuites &suites, PF_PixelFormat format, PF_EffectWorld *input,
               PF_EffectWorld *output, RingRenderInfo *info) {
    switch (format) {
    case PF_PixelFormat_ARGB128:
        return suites.GetIterateFloatSuite()->iterate(in_data, 0, output->height, input, nullptr, info,
                                                      ShadePixelFloat, output);
    case PF_PixelFormat_ARGB64:
        return suites.GetIterate16Suite()->iterate(in_data, 0, output->height, input, nullptr, info, ShadePixel16,
                                                   output);
    case PF_PixelFormat_ARGB32:
        return suites.GetIterate8Suite()->iterate(in_data, 0, output->height, input, nullptr, info, ShadePixel8,
                                                  output);
    default:
        return PF_Err_BAD_CALLBACK_PARAM;  // a depth we have no pixel function for
    }
}

PF_Err Render(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra, HostSuites &suites,
              RenderHoldings &held) {
    PF_EffectWorld *input = nullptr;
    PF_EffectWorld *output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, RING_INPUT, &input);
    if (err == PF_Err_NONE) {
        err = extra->cb->checkout_output(in_data->effect_ref, &output);
    }
    held.handle = static_cast<PF_Handle>(extra->input->pre_render_data);
    if (held.handle == nullptr) {
        // Show the layer unchanged, and say the frame was not prepared.
        if (err == PF_Err_NONE && input != nullptr && output != nullptr) {
            in_data->utils->copy(in_data->effect_ref, input, output, nullptr, nullptr);
        }
        err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    if (err == PF_Err_NONE) {
        held.handles = suites.GetHandleSuite();
        held.info = static_cast<RingRenderInfo *>(held.handles->host_lock_handle(held.handle));
        if (held.info == nullptr) {
            err = PF_Err_BAD_CALLBACK_PARAM;
        }
    }
    if (err != PF_Err_NONE) {
        return err;
    }

    PF_PixelFormat format = PF_PixelFormat_INVALID;
    err = AcquireSuiteOrReport(in_data, out_data, kPFWorldSuite, kPFWorldSuiteVersion2,
                               RING_LOAD_SUITE_MESSAGE, &held.world_suite);
    if (err == PF_Err_NONE && input != nullptr) {
        err = static_cast<const PF_WorldSuite2 *>(held.world_suite)->PF_GetPixelFormat(input, &format);
    }
    // A host that answers without an output buffer gets nothing drawn rather than a crash.
    if (err == PF_Err_NONE && input != nullptr && output != nullptr) {
        AdjustRingRenderInfo(*held.info, input->origin_x, input->origin_y);
        err = Iterate(in_data, suites, format, input, output, held.info);
    }
    return err;
}

} // namespace

PF_Err SmartRender(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra) {
    HostSuites suites(in_data->pica_basicP);
    RenderHoldings held;
    PF_Err err = PF_Err_NONE;
    try {
        err = Render(in_data, out_data, extra, suites, held);
    } catch (...) {
        GiveBack(in_data, out_data, extra, held, PF_Err_BAD_CALLBACK_PARAM);
        throw;
    }
    return GiveBack(in_data, out_data, extra, held, err);
}
