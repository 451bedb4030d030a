#include "sim/host_callbacks.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <type_traits>

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

char *Strcpy(char *destination, const char *source) noexcept {
    SimHost *host = Active("ansi.strcpy");
    return host == nullptr ? nullptr : host->OpStrcpy(destination, source);
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

PF_Err ResizeHandle(uint64_t new_size, PF_Handle *handle) noexcept {
    SimHost *host = Active("host_resize_handle");
    return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->OpResizeHandle(new_size, handle);
}

// A name carried in a template argument, so that each refused entry is a
// function of its own that knows what it is called.
template <std::size_t N>
struct EntryName {
    char text[N];
    constexpr EntryName(const char (&name)[N]) {  // NOLINT: implicit by design
        for (std::size_t i = 0; i < N; ++i) {
            text[i] = name[i];
        }
    }
};

// What a refused entry returns: the host's code for a callback it does not
// offer, or the type's null value.
template <class R>
R RefusedResult() noexcept {
    if constexpr (std::is_same_v<R, PF_Err>) {
        return PF_Err_INVALID_CALLBACK;
    } else if constexpr (!std::is_void_v<R>) {
        return R{};
    }
}

// Entries the module has no business calling: each call is recorded as a
// broken contract, naming the entry, and answered without doing anything.
template <EntryName name, class F>
struct Refused;

template <EntryName name, class R, class... Args>
struct Refused<name, R (*)(Args...)> {
    static R Call(Args...) noexcept {
        if (SimHost *host = Active(name.text)) {
            host->OpRefused(name.text);
        }
        return RefusedResult<R>();
    }
};

template <EntryName name, class R, class... Args>
struct Refused<name, R (*)(Args..., ...)> {
    static R Call(Args..., ...) noexcept {
        if (SimHost *host = Active(name.text)) {
            host->OpRefused(name.text);
        }
        return RefusedResult<R>();
    }
};

template <EntryName name, class F>
void Refuse(F &slot) noexcept {
    slot = &Refused<name, F>::Call;
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

PF_HandleSuite1 MakeHandleSuite() noexcept {
    PF_HandleSuite1 suite{};
    suite.host_new_handle = NewHandle;
    suite.host_lock_handle = LockHandle;
    suite.host_unlock_handle = UnlockHandle;
    suite.host_dispose_handle = DisposeHandle;
    suite.host_get_handle_size = HandleSize;
    suite.host_resize_handle = ResizeHandle;
    return suite;
}

PF_WorldSuite2 MakeWorldSuite() noexcept {
    PF_WorldSuite2 suite{};
    Refuse<"PF World Suite.PF_NewWorld">(suite.PF_NewWorld);
    Refuse<"PF World Suite.PF_DisposeWorld">(suite.PF_DisposeWorld);
    suite.PF_GetPixelFormat = PixelFormat;
    return suite;
}

PF_Iterate8Suite1 MakeIterate8Suite() noexcept {
    PF_Iterate8Suite1 suite{};
    suite.iterate = Iterate<PixelDepth::Eight, PF_IteratePixel8Func>;
    Refuse<"PF Iterate8 Suite.iterate_origin">(suite.iterate_origin);
    Refuse<"PF Iterate8 Suite.iterate_lut">(suite.iterate_lut);
    Refuse<"PF Iterate8 Suite.iterate_origin_non_clip_src">(suite.iterate_origin_non_clip_src);
    Refuse<"PF Iterate8 Suite.iterate_generic">(suite.iterate_generic);
    return suite;
}

PF_Iterate16Suite1 MakeIterate16Suite() noexcept {
    PF_Iterate16Suite1 suite{};
    suite.iterate = Iterate<PixelDepth::Sixteen, PF_IteratePixel16Func>;
    Refuse<"PF iterate16 Suite.iterate_origin">(suite.iterate_origin);
    Refuse<"PF iterate16 Suite.iterate_origin_non_clip_src">(suite.iterate_origin_non_clip_src);
    return suite;
}

PF_IterateFloatSuite1 MakeIterateFloatSuite() noexcept {
    PF_IterateFloatSuite1 suite{};
    suite.iterate = Iterate<PixelDepth::Float, PF_IteratePixelFloatFunc>;
    Refuse<"PF iterateFloat Suite.iterate_origin">(suite.iterate_origin);
    Refuse<"PF iterateFloat Suite.iterate_origin_non_clip_src">(suite.iterate_origin_non_clip_src);
    return suite;
}

const PF_HandleSuite1 kHandleSuite = MakeHandleSuite();
const PF_ColorParamSuite1 kColorParamSuite{FloatColor};
const PF_WorldSuite2 kWorldSuite = MakeWorldSuite();
const PF_Iterate8Suite1 kIterate8Suite = MakeIterate8Suite();
const PF_Iterate16Suite1 kIterate16Suite = MakeIterate16Suite();
const PF_IterateFloatSuite1 kIterateFloatSuite = MakeIterateFloatSuite();

}  // namespace

ActiveCommand::ActiveCommand(SimHost &host) {
    g_command_mutex.lock();
    g_active = &host;
}

ActiveCommand::~ActiveCommand() {
    g_active = nullptr;
    g_command_mutex.unlock();
}

SPBasicSuite BasicSuiteTable() noexcept {
    SPBasicSuite basic{};
    basic.AcquireSuite = AcquireSuite;
    basic.ReleaseSuite = ReleaseSuite;
    Refuse<"SPBasicSuite.IsEqual">(basic.IsEqual);
    Refuse<"SPBasicSuite.AllocateBlock">(basic.AllocateBlock);
    Refuse<"SPBasicSuite.FreeBlock">(basic.FreeBlock);
    Refuse<"SPBasicSuite.ReallocateBlock">(basic.ReallocateBlock);
    Refuse<"SPBasicSuite.Undefined">(basic.Undefined);
    return basic;
}

PF_InteractCallbacks InteractTable() noexcept {
    PF_InteractCallbacks inter{};
    inter.checkout_param = CheckoutParam;
    inter.checkin_param = CheckinParam;
    inter.add_param = AddParam;
    Refuse<"inter.abort">(inter.abort);
    Refuse<"inter.progress">(inter.progress);
    Refuse<"inter.register_ui">(inter.register_ui);
    Refuse<"inter.checkout_layer_audio">(inter.checkout_layer_audio);
    Refuse<"inter.checkin_layer_audio">(inter.checkin_layer_audio);
    Refuse<"inter.get_audio_data">(inter.get_audio_data);
    return inter;
}

PF_UtilCallbacks UtilTable() noexcept {
    PF_UtilCallbacks utils{};
    utils.copy = Copy;
    utils.ansi.sprintf = Sprintf;
    utils.ansi.strcpy = Strcpy;
    Refuse<"utils.begin_sampling">(utils.begin_sampling);
    Refuse<"utils.subpixel_sample">(utils.subpixel_sample);
    Refuse<"utils.area_sample">(utils.area_sample);
    Refuse<"utils.end_sampling">(utils.end_sampling);
    Refuse<"utils.composite_rect">(utils.composite_rect);
    Refuse<"utils.blend">(utils.blend);
    Refuse<"utils.convolve">(utils.convolve);
    Refuse<"utils.fill">(utils.fill);
    Refuse<"utils.gaussian_kernel">(utils.gaussian_kernel);
    Refuse<"utils.iterate">(utils.iterate);
    Refuse<"utils.premultiply">(utils.premultiply);
    Refuse<"utils.premultiply_color">(utils.premultiply_color);
    Refuse<"utils.new_world">(utils.new_world);
    Refuse<"utils.dispose_world">(utils.dispose_world);
    Refuse<"utils.iterate_origin">(utils.iterate_origin);
    Refuse<"utils.iterate_lut">(utils.iterate_lut);
    Refuse<"utils.transfer_rect">(utils.transfer_rect);
    Refuse<"utils.transform_world">(utils.transform_world);
    Refuse<"utils.host_new_handle">(utils.host_new_handle);
    Refuse<"utils.host_lock_handle">(utils.host_lock_handle);
    Refuse<"utils.host_unlock_handle">(utils.host_unlock_handle);
    Refuse<"utils.host_dispose_handle">(utils.host_dispose_handle);
    Refuse<"utils.get_callback_addr">(utils.get_callback_addr);
    Refuse<"utils.app">(utils.app);
    Refuse<"utils.ansi.atan">(utils.ansi.atan);
    Refuse<"utils.ansi.atan2">(utils.ansi.atan2);
    Refuse<"utils.ansi.ceil">(utils.ansi.ceil);
    Refuse<"utils.ansi.cos">(utils.ansi.cos);
    Refuse<"utils.ansi.exp">(utils.ansi.exp);
    Refuse<"utils.ansi.fabs">(utils.ansi.fabs);
    Refuse<"utils.ansi.floor">(utils.ansi.floor);
    Refuse<"utils.ansi.fmod">(utils.ansi.fmod);
    Refuse<"utils.ansi.hypot">(utils.ansi.hypot);
    Refuse<"utils.ansi.log">(utils.ansi.log);
    Refuse<"utils.ansi.log10">(utils.ansi.log10);
    Refuse<"utils.ansi.pow">(utils.ansi.pow);
    Refuse<"utils.ansi.sin">(utils.ansi.sin);
    Refuse<"utils.ansi.sqrt">(utils.ansi.sqrt);
    Refuse<"utils.ansi.tan">(utils.ansi.tan);
    Refuse<"utils.ansi.asin">(utils.ansi.asin);
    Refuse<"utils.ansi.acos">(utils.ansi.acos);
    Refuse<"utils.colorCB.RGBtoHLS">(utils.colorCB.RGBtoHLS);
    Refuse<"utils.colorCB.HLStoRGB">(utils.colorCB.HLStoRGB);
    Refuse<"utils.colorCB.RGBtoYIQ">(utils.colorCB.RGBtoYIQ);
    Refuse<"utils.colorCB.YIQtoRGB">(utils.colorCB.YIQtoRGB);
    Refuse<"utils.colorCB.Luminance">(utils.colorCB.Luminance);
    Refuse<"utils.colorCB.Hue">(utils.colorCB.Hue);
    Refuse<"utils.colorCB.Lightness">(utils.colorCB.Lightness);
    Refuse<"utils.colorCB.Saturation">(utils.colorCB.Saturation);
    Refuse<"utils.get_platform_data">(utils.get_platform_data);
    Refuse<"utils.host_get_handle_size">(utils.host_get_handle_size);
    Refuse<"utils.iterate_origin_non_clip_src">(utils.iterate_origin_non_clip_src);
    Refuse<"utils.iterate_generic">(utils.iterate_generic);
    Refuse<"utils.host_resize_handle">(utils.host_resize_handle);
    Refuse<"utils.subpixel_sample16">(utils.subpixel_sample16);
    Refuse<"utils.area_sample16">(utils.area_sample16);
    Refuse<"utils.fill16">(utils.fill16);
    Refuse<"utils.premultiply_color16">(utils.premultiply_color16);
    Refuse<"utils.iterate16">(utils.iterate16);
    Refuse<"utils.iterate_origin16">(utils.iterate_origin16);
    Refuse<"utils.iterate_origin_non_clip_src16">(utils.iterate_origin_non_clip_src16);
    Refuse<"utils.get_pixel_data8">(utils.get_pixel_data8);
    Refuse<"utils.get_pixel_data16">(utils.get_pixel_data16);
    return utils;
}

PF_PreRenderCallbacks PreRenderTable() noexcept {
    PF_PreRenderCallbacks callbacks{};
    callbacks.checkout_layer = CheckoutLayer;
    Refuse<"PF_PreRenderCallbacks.GuidMixInPtr">(callbacks.GuidMixInPtr);
    return callbacks;
}

PF_SmartRenderCallbacks SmartRenderTable() noexcept {
    PF_SmartRenderCallbacks callbacks{};
    callbacks.checkout_layer_pixels = CheckoutLayerPixels;
    callbacks.checkin_layer_pixels = CheckinLayerPixels;
    callbacks.checkout_output = CheckoutOutput;
    return callbacks;
}

void RegisterStandardSuites(SuiteRegistry &registry) {
    registry.Register(kPFHandleSuite, kPFHandleSuiteVersion1, &kHandleSuite);
    registry.Register(kPFColorParamSuite, kPFColorParamSuiteVersion1, &kColorParamSuite);
    registry.Register(kPFWorldSuite, kPFWorldSuiteVersion2, &kWorldSuite);
    // Versions 1 and 2 of the iterate suites have one layout.
    registry.Register(kPFIterate8Suite, kPFIterate8SuiteVersion1, &kIterate8Suite);
    registry.Register(kPFIterate8Suite, kPFIterate8SuiteVersion2, &kIterate8Suite);
    registry.Register(kPFIterate16Suite, kPFIterate16SuiteVersion1, &kIterate16Suite);
    registry.Register(kPFIterate16Suite, kPFIterate16SuiteVersion2, &kIterate16Suite);
    registry.Register(kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1, &kIterateFloatSuite);
    registry.Register(kPFIterateFloatSuite, kPFIterateFloatSuiteVersion2, &kIterateFloatSuite);
}

}  // namespace tidalhalo::sim
