#include "entry/smart_pre_render.h"

#include <cstring>

#include "host/host_suites.h"
#include "params/ring_params.h"
#include "render/ring_render_info.h"

namespace {

bool IsEmpty(const PF_LRect &rect) noexcept { return rect.left >= rect.right || rect.top >= rect.bottom; }

PF_Err CheckoutParams(PF_InData *in_data, PF_ParamDef (&params)[RING_NUM_PARAMS]) noexcept {
    PF_Err err = PF_Err_NONE;
    for (int32_t index = RING_CENTER; index < RING_NUM_PARAMS && err == PF_Err_NONE; ++index) {
        err = in_data->inter.checkout_param(in_data->effect_ref, index, in_data->current_time, in_data->time_step,
                                            in_data->time_scale, &params[index]);
    }
    return err;
}

// The host converts the colours straight into the record.
void FillFromParams(PF_InData *in_data, HostSuites &suites, const PF_ParamDef (&params)[RING_NUM_PARAMS],
                    RingRenderInfo &info) {
    const PF_ColorParamSuite1 *colors = suites.GetColorParamSuite();
    colors->PF_GetFloatingPointColorFromColorDef(in_data->effect_ref, &params[RING_COLOR1], &info.color1_float);
    colors->PF_GetFloatingPointColorFromColorDef(in_data->effect_ref, &params[RING_COLOR2], &info.color2_float);

    RingParamValues values{};
    values.center_x = params[RING_CENTER].u.td.x_value;
    values.center_y = params[RING_CENTER].u.td.y_value;
    values.radius = params[RING_RADIUS].u.fs_d.value;
    values.feather = params[RING_FEATHER].u.fs_d.value;
    values.expand = params[RING_EXPAND].u.fs_d.value;
    values.opacity = params[RING_OPACITY].u.fs_d.value;
    values.scatter = params[RING_SCATTER].u.fs_d.value;
    values.color1 = info.color1_float;
    values.color2 = info.color2_float;
    values.smooth = params[RING_SMOOTH].u.bd.value;
    values.blend_mode = params[RING_BLEND_MODE].u.pd.value;
    const RingFrameScales scales{in_data->pixel_aspect_ratio, in_data->downsample_x, in_data->downsample_y};
    FillRingRenderInfo(info, values, scales);
}

} // namespace

void MergeRect(const PF_LRect &source, PF_LRect &destination) noexcept {
    if (IsEmpty(destination)) {
        destination = source;
    } else if (!IsEmpty(source)) {
        if (source.left < destination.left) destination.left = source.left;
        if (source.top < destination.top) destination.top = source.top;
        if (source.right > destination.right) destination.right = source.right;
        if (source.bottom > destination.bottom) destination.bottom = source.bottom;
    }
}

PF_Err SmartPreRender(PF_InData *in_data, PF_OutData *, PF_PreRenderExtra *extra) {
    const PF_RenderRequest request = extra->input->output_request;
    PF_Err err = PF_Err_NONE;
    HostSuites suites(in_data->pica_basicP);
    PF_ParamDef params[RING_NUM_PARAMS];
    std::memset(params, 0, sizeof params);

    const PF_HandleSuite1 *handles = suites.GetHandleSuite();
    PF_Handle handle = handles->host_new_handle(sizeof(RingRenderInfo));
    if (handle == nullptr) {
        return PF_Err_OUT_OF_MEMORY;
    }
    auto *info = static_cast<RingRenderInfo *>(handles->host_lock_handle(handle));
    if (info == nullptr) {
        // Not handed to the host yet, so nobody else could dispose of it.
        handles->host_dispose_handle(handle);
        return PF_Err_OUT_OF_MEMORY;
    }
    *info = NewRingRenderInfo();
    extra->output->pre_render_data = handle;

    // The lock is given back on every way out, an exception's too.
    try {
        err = CheckoutParams(in_data, params);
        if (err == PF_Err_NONE) {
            FillFromParams(in_data, suites, params, *info);
        }
        if (err == PF_Err_NONE) {
            PF_CheckoutResult checkout;
            std::memset(&checkout, 0, sizeof checkout);
            err = extra->cb->checkout_layer(in_data->effect_ref, RING_INPUT, 0, &request, in_data->current_time,
                                            in_data->time_step, in_data->time_scale, &checkout);
            // Only a result the host actually wrote is merged.
            if (err == PF_Err_NONE) {
                MergeRect(checkout.result_rect, extra->output->result_rect);
                MergeRect(checkout.max_result_rect, extra->output->max_result_rect);
            }
        }
    } catch (...) {
        handles->host_unlock_handle(handle);
        throw;
    }
    handles->host_unlock_handle(handle);
    return err;
}
