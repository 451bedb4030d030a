// The OpenFX face of the effect: one image-effect plug-in that fills the
// same render record as the module's pre-render and shades every pixel of
// the render window with the module's pixel function for its depth.
#include <cmath>
#include <cstring>
#include <new>

#include "params/identity.h"
#include "openfx/ofx_api.h"
#include "openfx/ofx_describe.h"
#include "openfx/ofx_frame.h"
#include "openfx/ofx_interact.h"
#include "openfx/ofx_values.h"

#if defined(_WIN32)
#define OFX_EXPORT extern "C" __declspec(dllexport)
#else
#define OFX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

constexpr char OFX_PLUGIN_IDENTIFIER[] = "com.mertvekv.Kv_Tidalhalo";

// Host pointer from setHost, suites from the load action on. A host may
// load, describe and unload, then load again: the suites are fetched anew
// at every load.
OfxHost *ofx_host = nullptr;
OfxHostSuites ofx_suites;

// What an instance keeps between actions: its clips and parameters.
struct OfxInstance {
    OfxImageClipHandle source = nullptr;
    OfxImageClipHandle output = nullptr;
    OfxParamHandle params[OFX_PARAM_COUNT] = {};
};

bool SameString(const char *a, const char *b) noexcept { return a != nullptr && std::strcmp(a, b) == 0; }

void SetHost(OfxHost *host) noexcept { ofx_host = host; }

template <typename Suite>
const Suite *Fetch(const char *name, int version) noexcept {
    return static_cast<const Suite *>(ofx_host->fetchSuite(ofx_host->host, name, version));
}

OfxStatus Load() noexcept {
    ofx_suites = OfxHostSuites{};
    if (ofx_host == nullptr || ofx_host->fetchSuite == nullptr) {
        return kOfxStatErrMissingHostFeature;
    }
    ofx_suites.properties = Fetch<OfxPropertySuiteV1>(kOfxPropertySuite, 1);
    ofx_suites.effects = Fetch<OfxImageEffectSuiteV1>(kOfxImageEffectSuite, 1);
    ofx_suites.params = Fetch<OfxParameterSuiteV1>(kOfxParameterSuite, 1);
    ofx_suites.threads = Fetch<OfxMultiThreadSuiteV1>(kOfxMultiThreadSuite, 1);
    ofx_suites.messages = Fetch<OfxMessageSuiteV1>(kOfxMessageSuite, 1);
    ofx_suites.interacts = Fetch<OfxInteractSuiteV1>(kOfxInteractSuite, 1);
    ofx_suites.draw = Fetch<OfxDrawSuiteV1>(kOfxDrawSuite, 1);
    if (ofx_suites.properties == nullptr || ofx_suites.effects == nullptr || ofx_suites.params == nullptr) {
        ofx_suites = OfxHostSuites{};
        return kOfxStatErrMissingHostFeature;
    }
    return kOfxStatOK;
}

bool Loaded() noexcept { return ofx_suites.properties != nullptr; }

// An error the user should see, through the host's message suite if it has one.
void Tell(OfxImageEffectHandle effect, const char *text) noexcept {
    if (ofx_suites.messages != nullptr && ofx_suites.messages->message != nullptr) {
        ofx_suites.messages->message(effect, kOfxMessageError, OFX_PLUGIN_IDENTIFIER, "%s", text);
    }
}

OfxPropertySetHandle EffectProperties(OfxImageEffectHandle effect) noexcept {
    OfxPropertySetHandle props = nullptr;
    if (ofx_suites.effects->getPropertySet(effect, &props) != kOfxStatOK) {
        return nullptr;
    }
    return props;
}

OfxInstance *InstanceOf(OfxImageEffectHandle effect) noexcept {
    OfxPropertySetHandle props = EffectProperties(effect);
    void *data = nullptr;
    if (props == nullptr || ofx_suites.properties->propGetPointer(props, kOfxPropInstanceData, 0, &data) != kOfxStatOK) {
        return nullptr;
    }
    return static_cast<OfxInstance *>(data);
}

OfxStatus CreateInstance(OfxImageEffectHandle effect) noexcept {
    OfxPropertySetHandle props = EffectProperties(effect);
    OfxParamSetHandle params = nullptr;
    if (props == nullptr || ofx_suites.effects->getParamSet(effect, &params) != kOfxStatOK || params == nullptr) {
        return kOfxStatErrBadHandle;
    }
    auto *instance = new (std::nothrow) OfxInstance;
    if (instance == nullptr) {
        return kOfxStatErrMemory;
    }
    OfxStatus status = ofx_suites.effects->clipGetHandle(effect, kOfxImageEffectSimpleSourceClipName,
                                                         &instance->source, nullptr);
    if (status == kOfxStatOK) {
        status = ofx_suites.effects->clipGetHandle(effect, kOfxImageEffectOutputClipName, &instance->output, nullptr);
    }
    for (int i = 0; i < OFX_PARAM_COUNT && status == kOfxStatOK; ++i) {
        status = ofx_suites.params->paramGetHandle(params, OFX_PARAM_NAMES[i], &instance->params[i], nullptr);
    }
    if (status == kOfxStatOK) {
        status = ofx_suites.properties->propSetPointer(props, kOfxPropInstanceData, 0, instance);
    }
    if (status != kOfxStatOK) {
        delete instance;
    }
    return status;
}

OfxStatus DestroyInstance(OfxImageEffectHandle effect) noexcept {
    OfxInstance *instance = InstanceOf(effect);
    if (instance == nullptr) {
        return kOfxStatErrBadHandle;
    }
    OfxPropertySetHandle props = EffectProperties(effect);
    if (props != nullptr) {
        ofx_suites.properties->propSetPointer(props, kOfxPropInstanceData, 0, nullptr);
    }
    delete instance;
    return kOfxStatOK;
}

// The premultiplication an image or clip declares; where it declares none,
// straight, which is how the bundle took every image before it read this.
OfxAlphaState AlphaStateOf(OfxPropertySetHandle props) noexcept {
    char *state = nullptr;
    if (props == nullptr ||
        ofx_suites.properties->propGetString(props, kOfxImageEffectPropPreMultiplication, 0, &state) != kOfxStatOK) {
        return OfxAlphaState::STRAIGHT;
    }
    if (SameString(state, kOfxImagePreMultiplied)) {
        return OfxAlphaState::PREMULTIPLIED;
    }
    return SameString(state, kOfxImageOpaque) ? OfxAlphaState::OPAQUE : OfxAlphaState::STRAIGHT;
}

// The output is premultiplied for a premultiplied or opaque source, straight
// for a straight one: an opaque source does not stay opaque in every mode
// (none and stencil multiply + alpha make alpha below 1).
OfxStatus ClipPreferences(OfxImageEffectHandle effect, OfxPropertySetHandle out_args) noexcept {
    OfxInstance *instance = InstanceOf(effect);
    OfxPropertySetHandle clip_props = nullptr;
    if (instance == nullptr || out_args == nullptr ||
        ofx_suites.effects->clipGetPropertySet(instance->source, &clip_props) != kOfxStatOK || clip_props == nullptr) {
        return kOfxStatReplyDefault;
    }
    char *state = nullptr;
    if (ofx_suites.properties->propGetString(clip_props, kOfxImageEffectPropPreMultiplication, 0, &state) !=
            kOfxStatOK ||
        state == nullptr) {
        return kOfxStatReplyDefault;
    }
    if (SameString(state, kOfxImageOpaque)) {
        state = const_cast<char *>(kOfxImagePreMultiplied);
    }
    const OfxStatus status =
        ofx_suites.properties->propSetString(out_args, kOfxImageEffectPropPreMultiplication, 0, state);
    return status == kOfxStatOK ? kOfxStatOK : kOfxStatReplyDefault;
}

// The values at the render's time, NaN where the host gives none.
OfxRingValues ValuesAt(const OfxInstance &instance, OfxTime time) noexcept {
    const OfxParameterSuiteV1 &params = *ofx_suites.params;
    OfxRingValues values{};
    values.center_x = values.center_y = NAN;
    values.radius = values.feather = values.expand = values.opacity = values.scatter = NAN;
    for (int c = 0; c < 3; ++c) {
        values.color1[c] = values.color2[c] = NAN;
    }
    values.smooth = 1;
    params.paramGetValueAtTime(instance.params[OFX_CENTER], time, &values.center_x, &values.center_y);
    params.paramGetValueAtTime(instance.params[OFX_RADIUS], time, &values.radius);
    params.paramGetValueAtTime(instance.params[OFX_FEATHER], time, &values.feather);
    params.paramGetValueAtTime(instance.params[OFX_EXPAND], time, &values.expand);
    params.paramGetValueAtTime(instance.params[OFX_OPACITY], time, &values.opacity);
    params.paramGetValueAtTime(instance.params[OFX_SCATTER], time, &values.scatter);
    params.paramGetValueAtTime(instance.params[OFX_COLOR1], time, &values.color1[0], &values.color1[1],
                               &values.color1[2]);
    params.paramGetValueAtTime(instance.params[OFX_COLOR2], time, &values.color2[0], &values.color2[1],
                               &values.color2[2]);
    params.paramGetValueAtTime(instance.params[OFX_SMOOTH], time, &values.smooth);
    params.paramGetValueAtTime(instance.params[OFX_BLEND], time, &values.blend_index);
    return values;
}

// An image the host lent us, given back exactly once whichever way the render ends.
class LentImage {
public:
    LentImage() = default;
    LentImage(const LentImage &) = delete;
    LentImage &operator=(const LentImage &) = delete;
    ~LentImage() {
        if (handle_ != nullptr) {
            ofx_suites.effects->clipReleaseImage(handle_);
        }
    }

    OfxStatus Fetch(OfxImageClipHandle clip, OfxTime time) noexcept {
        const OfxStatus status = ofx_suites.effects->clipGetImage(clip, time, nullptr, &handle_);
        if (status != kOfxStatOK) {
            handle_ = nullptr;
        }
        return status;
    }
    OfxPropertySetHandle Handle() const noexcept { return handle_; }

private:
    OfxPropertySetHandle handle_ = nullptr;
};

struct ImageFacts {
    OfxImageView view{};
    OfxPixelDepth depth = OFX_DEPTH_BYTE;
    bool rgba = false;
    bool known_depth = false;
};

ImageFacts ReadImage(OfxPropertySetHandle image) noexcept {
    const OfxPropertySuiteV1 &props = *ofx_suites.properties;
    ImageFacts facts;
    char *depth = nullptr;
    char *components = nullptr;
    if (props.propGetString(image, kOfxImageEffectPropPixelDepth, 0, &depth) == kOfxStatOK) {
        facts.known_depth = true;
        if (SameString(depth, kOfxBitDepthByte)) {
            facts.depth = OFX_DEPTH_BYTE;
        } else if (SameString(depth, kOfxBitDepthShort)) {
            facts.depth = OFX_DEPTH_SHORT;
        } else if (SameString(depth, kOfxBitDepthFloat)) {
            facts.depth = OFX_DEPTH_FLOAT;
        } else {
            facts.known_depth = false;
        }
    }
    if (props.propGetString(image, kOfxImageEffectPropComponents, 0, &components) == kOfxStatOK) {
        facts.rgba = SameString(components, kOfxImageComponentRGBA);
    }
    int bounds[4] = {0, 0, 0, 0};
    if (props.propGetPointer(image, kOfxImagePropData, 0, &facts.view.data) != kOfxStatOK ||
        props.propGetIntN(image, kOfxImagePropBounds, 4, bounds) != kOfxStatOK ||
        props.propGetInt(image, kOfxImagePropRowBytes, 0, &facts.view.row_bytes) != kOfxStatOK) {
        facts.view.data = nullptr;
    }
    facts.view.bounds = OfxRectI{bounds[0], bounds[1], bounds[2], bounds[3]};
    return facts;
}

// Whether every row of the bounds can be addressed: the stride holds a row.
bool Addressable(const OfxImageView &view, OfxPixelDepth depth) noexcept {
    const int64_t row = (static_cast<int64_t>(view.bounds.x2) - view.bounds.x1) * 4 * depth;
    const int64_t stride = view.row_bytes < 0 ? -static_cast<int64_t>(view.row_bytes) : view.row_bytes;
    return view.data != nullptr && view.bounds.x2 >= view.bounds.x1 && view.bounds.y2 >= view.bounds.y1 &&
           stride >= row;
}

struct RenderArgs {
    OfxTime time = 0.0;
    double scale[2] = {NAN, NAN};
    int window[4] = {0, 0, 0, 0};
};

OfxStatus ReadRenderArgs(OfxPropertySetHandle in_args, RenderArgs &args) noexcept {
    const OfxPropertySuiteV1 &props = *ofx_suites.properties;
    if (in_args == nullptr || props.propGetDouble(in_args, kOfxPropTime, 0, &args.time) != kOfxStatOK ||
        props.propGetDoubleN(in_args, kOfxImageEffectPropRenderScale, 2, args.scale) != kOfxStatOK ||
        props.propGetIntN(in_args, kOfxImageEffectPropRenderWindow, 4, args.window) != kOfxStatOK) {
        return kOfxStatErrBadHandle;
    }
    return kOfxStatOK;
}

bool PositiveFinite(double value) noexcept { return value > 0.0 && std::isfinite(value); }

OfxStatus Render(OfxImageEffectHandle effect, OfxPropertySetHandle in_args) noexcept {
    OfxInstance *instance = InstanceOf(effect);
    if (instance == nullptr) {
        return kOfxStatErrBadHandle;
    }
    RenderArgs args;
    if (ReadRenderArgs(in_args, args) != kOfxStatOK) {
        Tell(effect, "Kv_Tidalhalo: the host's render request lacks its time, scale or window.");
        return kOfxStatFailed;
    }
    if (!PositiveFinite(args.scale[0]) || !PositiveFinite(args.scale[1])) {
        Tell(effect, "Kv_Tidalhalo: the render scale must be positive.");
        return kOfxStatFailed;
    }
    const OfxRectI window{args.window[0], args.window[1], args.window[2], args.window[3]};
    if (window.x2 <= window.x1 || window.y2 <= window.y1) {
        return kOfxStatOK;  // nothing to fill
    }

    LentImage output;
    LentImage source;
    if (output.Fetch(instance->output, args.time) != kOfxStatOK || output.Handle() == nullptr) {
        Tell(effect, "Kv_Tidalhalo: the host gave no output image.");
        return kOfxStatFailed;
    }
    const ImageFacts out = ReadImage(output.Handle());
    if (!out.known_depth || !out.rgba) {
        Tell(effect, "Kv_Tidalhalo renders RGBA images of 8 bits, 16 bits or float only.");
        return kOfxStatErrImageFormat;
    }
    if (!Addressable(out.view, out.depth) || !CoversWindow(out.view.bounds, window)) {
        Tell(effect, "Kv_Tidalhalo: the output image does not cover the render window.");
        return kOfxStatFailed;
    }

    // No source image there is transparent black, as is every pixel outside
    // it; its premultiplication is then the clip's, which the output's is.
    ImageFacts in;
    OfxPropertySetHandle source_props = nullptr;
    if (ofx_suites.effects->clipGetPropertySet(instance->source, &source_props) != kOfxStatOK) {
        source_props = nullptr;
    }
    OfxAlphaState source_alpha = AlphaStateOf(source_props);
    if (source.Fetch(instance->source, args.time) == kOfxStatOK && source.Handle() != nullptr) {
        source_alpha = AlphaStateOf(source.Handle());
        in = ReadImage(source.Handle());
        if (!in.known_depth || !in.rgba || in.depth != out.depth) {
            Tell(effect, "Kv_Tidalhalo: the source image's depth or components differ from the output's.");
            return kOfxStatErrImageFormat;
        }
        if (!Addressable(in.view, in.depth)) {
            in.view.data = nullptr;
        }
    }

    double par = 1.0;
    if (source_props != nullptr) {
        ofx_suites.properties->propGetDouble(source_props, kOfxImagePropPixelAspectRatio, 0, &par);
    }
    if (!PositiveFinite(par)) {
        Tell(effect, "Kv_Tidalhalo: the source's pixel aspect ratio must be positive.");
        return kOfxStatFailed;
    }
    OfxRectD rod{};
    if (ofx_suites.effects->clipGetRegionOfDefinition(instance->source, args.time, &rod) != kOfxStatOK) {
        Tell(effect, "Kv_Tidalhalo: the host gave no region of definition for the source.");
        return kOfxStatFailed;
    }

    RingRenderInfo info = OfxRingRenderInfo(ValuesAt(*instance, args.time), rod, args.scale[0], args.scale[1], par);
    const OfxLayerOrigin layer = LayerOrigin(rod, args.scale[0], args.scale[1], par);
    // The window's top-left pixel in the layer, whose rows run downwards.
    const int64_t origin_x = static_cast<int64_t>(window.x1) - layer.left;
    const int64_t origin_y = static_cast<int64_t>(layer.top) - window.y2;
    AdjustRingRenderInfo(info, FloorToInt32(static_cast<double>(origin_x)), FloorToInt32(static_cast<double>(origin_y)));

    const OfxShadeJob job{&info, window, in.view, out.view, out.depth, source_alpha};
    ShadeOfxWindow(job, ofx_suites.threads);
    return kOfxStatOK;
}

// Whether the host shows overlays; a host that does not say so does not.
bool HostShowsOverlays() noexcept {
    int shows = 0;
    return ofx_host != nullptr &&
           ofx_suites.properties->propGetInt(ofx_host->host, kOfxImageEffectPropSupportsOverlays, 0, &shows) ==
               kOfxStatOK &&
           shows == 1;
}

OfxStatus OverlayEntry(const char *action, const void *handle, OfxPropertySetHandle in_args,
                       OfxPropertySetHandle) noexcept {
    if (action == nullptr) {
        return kOfxStatErrBadHandle;
    }
    if (!Loaded()) {
        return kOfxStatFailed;
    }
    return OverlayAction(ofx_suites, action, handle, in_args);
}

OfxStatus MainEntry(const char *action, const void *handle, OfxPropertySetHandle in_args,
                    OfxPropertySetHandle out_args) noexcept {
    if (action == nullptr) {
        return kOfxStatErrBadHandle;
    }
    if (SameString(action, kOfxActionLoad)) {
        return Load();
    }
    if (SameString(action, kOfxActionUnload)) {
        ofx_suites = OfxHostSuites{};
        return kOfxStatOK;
    }
    auto effect = static_cast<OfxImageEffectHandle>(const_cast<void *>(handle));
    const bool knows_action = SameString(action, kOfxActionDescribe) ||
                              SameString(action, kOfxImageEffectActionDescribeInContext) ||
                              SameString(action, kOfxActionCreateInstance) ||
                              SameString(action, kOfxActionDestroyInstance) ||
                              SameString(action, kOfxImageEffectActionGetClipPreferences) ||
                              SameString(action, kOfxImageEffectActionRender);
    if (!knows_action) {
        return kOfxStatReplyDefault;
    }
    if (!Loaded()) {
        return kOfxStatFailed;  // an action before the load, or after the unload
    }
    if (effect == nullptr) {
        return kOfxStatErrBadHandle;
    }
    if (SameString(action, kOfxActionDescribe)) {
        return DescribeEffect(ofx_suites, effect, HostShowsOverlays() ? OverlayEntry : nullptr);
    }
    if (SameString(action, kOfxImageEffectActionDescribeInContext)) {
        return DescribeEffectInContext(ofx_suites, effect);
    }
    if (SameString(action, kOfxActionCreateInstance)) {
        return CreateInstance(effect);
    }
    if (SameString(action, kOfxActionDestroyInstance)) {
        return DestroyInstance(effect);
    }
    if (SameString(action, kOfxImageEffectActionGetClipPreferences)) {
        return ClipPreferences(effect, out_args);
    }
    return Render(effect, in_args);
}

OfxPlugin ofx_plugin = {kOfxImageEffectPluginApi,
                        kOfxImageEffectPluginApiVersion,
                        OFX_PLUGIN_IDENTIFIER,
                        TIDALHALO_MAJOR_VERSION,
                        TIDALHALO_MINOR_VERSION,
                        SetHost,
                        MainEntry};

}  // namespace

OFX_EXPORT int OfxGetNumberOfPlugins(void) noexcept { return 1; }

OFX_EXPORT OfxPlugin *OfxGetPlugin(int nth) noexcept { return nth == 0 ? &ofx_plugin : nullptr; }
