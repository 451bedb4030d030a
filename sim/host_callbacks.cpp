#include "sim/host_callbacks.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "sim/sim_host.h"

namespace tidalhalo::sim {
namespace {

std::mutex g_command_mutex;
SimHost *g_active = nullptr;

// A callback outside any command cannot be attributed to a host; it is
// refused loudly.
SimHost *Active(const char *op) noexcept {
    if (g_active == nullptr) {
        std::fprintf(stderr, "host contract: %s called outside any command\n", op);
    }
    return g_active;
}

int32_t AcquireSuite(const char *name, int32_t version, const void **suite) noexcept {
    SimHost *host = Active("AcquireSuite");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpAcquireSuite(name, version, suite);
}

int32_t ReleaseSuite(const char *name, int32_t version) noexcept {
    SimHost *host = Active("ReleaseSuite");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpReleaseSuite(name, version);
}

PF_Err CheckoutParam(PF_ProgPtr ref, int32_t index, int32_t what_time, int32_t time_step, uint32_t time_scale,
                     PF_ParamDef *param) noexcept {
    SimHost *host = Active("checkout_param");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM
                           : host->OpCheckoutParam(ref, index, what_time, time_step, time_scale, param);
}

PF_Err CheckinParam(PF_ProgPtr ref, PF_ParamDef *param) noexcept {
    SimHost *host = Active("checkin_param");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpCheckinParam(ref, param);
}

PF_Err AddParam(PF_ProgPtr ref, int32_t index, PF_ParamDef *def) noexcept {
    SimHost *host = Active("add_param");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpAddParam(ref, index, def);
}

PF_Err Copy(PF_ProgPtr ref, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *src_r, PF_Rect *dst_r) noexcept {
    SimHost *host = Active("copy");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpCopy(ref, src, dst, src_r, dst_r);
}

int Sprintf(char *buffer, const char *format, ...) noexcept {
    SimHost *host = Active("ansi.sprintf");
    if (host == nullptr) {
        return -1;
    }
    va_list args;
    va_start(args, format);
    const int written = host->OpSprintf(buffer, format, args);
    va_end(args);
    return written;
}

int Strcpy(char *destination, const char *source) noexcept {
    SimHost *host = Active("ansi.strcpy");
    return host == nullptr ? -1 : host->OpStrcpy(destination, source);
}

PF_Handle NewHandle(uint64_t size) noexcept {
    SimHost *host = Active("host_new_handle");
    return host == nullptr ? nullptr : host->OpNewHandle(size);
}

void *LockHandle(PF_Handle handle) noexcept {
    SimHost *host = Active("host_lock_handle");
    return host == nullptr ? nullptr : host->OpLockHandle(handle);
}

void UnlockHandle(PF_Handle handle) noexcept {
    if (SimHost *host = Active("host_unlock_handle")) {
        host->OpUnlockHandle(handle);
    }
}

void DisposeHandle(PF_Handle handle) noexcept {
    if (SimHost *host = Active("host_dispose_handle")) {
        host->OpDisposeHandle(handle);
    }
}

uint64_t HandleSize(PF_Handle handle) noexcept {
    SimHost *host = Active("host_get_handle_size");
    return host == nullptr ? 0 : host->OpHandleSize(handle);
}

PF_Err FloatColor(PF_ProgPtr ref, const PF_ParamDef *color_def, PF_PixelFloat *out) noexcept {
    SimHost *host = Active("PF_GetFloatingPointColorFromColorDef");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpFloatColor(ref, color_def, out);
}

PF_Err PixelFormat(const PF_EffectWorld *world, PF_PixelFormat *format) noexcept {
    SimHost *host = Active("PF_GetPixelFormat");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpPixelFormat(world, format);
}

template <PixelDepth depth, class PixelFunc>
PF_Err Iterate(PF_InData *in_data, int32_t progress_base, int32_t progress_final, PF_EffectWorld *src,
               const PF_Rect *area, void *refcon, PixelFunc pix_fn, PF_EffectWorld *dst) noexcept {
    SimHost *host = Active("iterate");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM
                           : host->OpIterate(depth, in_data, progress_base, progress_final, src, area, refcon,
                                             reinterpret_cast<const void *>(pix_fn), dst);
}

PF_Err CheckoutLayer(PF_ProgPtr ref, int32_t index, int32_t checkout_id, const PF_RenderRequest *request,
                     int32_t what_time, int32_t time_step, uint32_t time_scale, PF_CheckoutResult *result) noexcept {
    SimHost *host = Active("checkout_layer");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM
                           : host->OpCheckoutLayer(ref, index, checkout_id, request, what_time, time_step,
                                                   time_scale, result);
}

PF_Err CheckoutLayerPixels(PF_ProgPtr ref, int32_t checkout_id, PF_EffectWorld **pixels) noexcept {
    SimHost *host = Active("checkout_layer_pixels");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpCheckoutLayerPixels(ref, checkout_id, pixels);
}

PF_Err CheckoutOutput(PF_ProgPtr ref, PF_EffectWorld **output) noexcept {
    SimHost *host = Active("checkout_output");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpCheckoutOutput(ref, output);
}

PF_Err CheckinLayerPixels(PF_ProgPtr ref, int32_t checkout_id) noexcept {
    SimHost *host = Active("checkin_layer_pixels");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpCheckinLayerPixels(ref, checkout_id);
}

const PF_HandleSuite2 kHandleSuite{NewHandle, LockHandle, UnlockHandle, DisposeHandle, HandleSize};
const PF_ColorParamSuite1 kColorParamSuite{FloatColor};
const PF_WorldSuite2 kWorldSuite{PixelFormat};
const PF_Iterate8Suite1 kIterate8Suite{Iterate<PixelDepth::Eight, PF_IteratePixel8Func>};
const PF_Iterate16Suite1 kIterate16Suite{Iterate<PixelDepth::Sixteen, PF_IteratePixel16Func>};
const PF_IterateFloatSuite1 kIterateFloatSuite{Iterate<PixelDepth::Float, PF_IteratePixelFloatFunc>};

}  // namespace

ActiveCommand::ActiveCommand(SimHost &host) {
    g_command_mutex.lock();
    g_active = &host;
}

ActiveCommand::~ActiveCommand() {
    g_active = nullptr;
    g_command_mutex.unlock();
}

SPBasicSuite BasicSuiteTable() noexcept { return SPBasicSuite{AcquireSuite, ReleaseSuite}; }

PF_InteractCallbacks InteractTable() noexcept { return PF_InteractCallbacks{CheckoutParam, CheckinParam, AddParam}; }

PF_UtilCallbacks UtilTable() noexcept { return PF_UtilCallbacks{Copy, PF_ANSICallbacks{Sprintf, Strcpy}}; }

PF_PreRenderCallbacks PreRenderTable() noexcept { return PF_PreRenderCallbacks{CheckoutLayer}; }

PF_SmartRenderCallbacks SmartRenderTable() noexcept {
    return PF_SmartRenderCallbacks{CheckoutLayerPixels, CheckoutOutput, CheckinLayerPixels};
}

void RegisterStandardSuites(SuiteRegistry &registry) {
    registry.Register(PF_HANDLE_SUITE_NAME, PF_HANDLE_SUITE_VERSION, &kHandleSuite);
    registry.Register(PF_COLOR_PARAM_SUITE_NAME, PF_COLOR_PARAM_SUITE_VERSION, &kColorParamSuite);
    registry.Register(PF_WORLD_SUITE_NAME, PF_WORLD_SUITE_VERSION, &kWorldSuite);
    registry.Register(PF_ITERATE8_SUITE_NAME, PF_ITERATE_SUITE_VERSION, &kIterate8Suite);
    registry.Register(PF_ITERATE16_SUITE_NAME, PF_ITERATE_SUITE_VERSION, &kIterate16Suite);
    registry.Register(PF_ITERATE_FLOAT_SUITE_NAME, PF_ITERATE_SUITE_VERSION, &kIterateFloatSuite);
}

}  // namespace tidalhalo::sim
