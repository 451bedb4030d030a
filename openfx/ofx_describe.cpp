#include "openfx/ofx_describe.h"

#include "params/identity.h"

namespace {

constexpr char OFX_DESCRIPTION[] = "A soft coloured ring around a point, blended with the layer";

// The module's names, given to the host in GBK, here in UTF-8.
constexpr char OFX_LABEL_CENTER[] = "\xE4\xB8\xAD\xE5\xBF\x83";                        // 中心
constexpr char OFX_LABEL_RADIUS[] = "\xE5\x8D\x8A\xE5\xBE\x84";                        // 半径
constexpr char OFX_LABEL_FEATHER[] = "\xE7\xBE\xBD\xE5\x8C\x96";                       // 羽化
constexpr char OFX_LABEL_EXPAND[] = "\xE6\x89\xA9\xE5\xBC\xA0";                        // 扩张
constexpr char OFX_LABEL_OPACITY[] = "\xE9\x80\x8F\xE6\x98\x8E\xE5\xBA\xA6";           // 透明度
constexpr char OFX_LABEL_SCATTER[] = "\xE7\xA6\xBB\xE6\x95\xA3";                       // 离散
constexpr char OFX_LABEL_COLOR1[] = "\xE9\xA2\x9C\xE8\x89\xB2 1";                      // 颜色 1
constexpr char OFX_LABEL_COLOR2[] = "\xE9\xA2\x9C\xE8\x89\xB2 2";                      // 颜色 2
constexpr char OFX_LABEL_SMOOTH[] = "\xE5\xB9\xB3\xE6\xBB\x91";                        // 平滑
constexpr char OFX_LABEL_BLEND[] = "\xE6\xB7\xB7\xE5\x90\x88\xE6\xA8\xA1\xE5\xBC\x8F"; // 混合模式
constexpr const char *OFX_BLEND_OPTIONS[] = {
    "\xE6\x97\xA0",                                                  // 无
    "\xE6\xAD\xA3\xE5\xB8\xB8",                                      // 正常
    "\xE6\xB7\xBB\xE5\x8A\xA0",                                      // 添加
    "(\xE6\xA8\xA1\xE7\x89\x88)\xE7\x9B\xB8\xE4\xB9\x98",            // (模版)相乘
    "(\xE6\xA8\xA1\xE7\x89\x88)\xE7\x9B\xB8\xE4\xB9\x98+Alpha",      // (模版)相乘+Alpha
};

struct OfxSliderTemplate {
    const char *name;
    const char *label;
    const char *hint;
    double valid_max, display_max, dephault;
};

// Every minimum is 0.
constexpr OfxSliderTemplate OFX_SLIDERS[] = {
    {"radius", OFX_LABEL_RADIUS, "Distance from the centre where the ring is full, in pixels", 10000, 600, 100},
    {"feather", OFX_LABEL_FEATHER, "Width of the outer fall-off, in pixels", 10000, 100, 3},
    {"expand", OFX_LABEL_EXPAND, "Width of the inner rise, as a percentage of the radius", 100, 100, 50},
    {"opacity", OFX_LABEL_OPACITY, "Overall strength of the ring, in percent", 100, 100, 100},
    {"scatter", OFX_LABEL_SCATTER, "Random roughness of the ring", 512, 50, 0},
};

struct OfxColorTemplate {
    const char *name;
    const char *label;
    const char *hint;
    double dephault[3];
};

constexpr OfxColorTemplate OFX_COLORS[] = {
    {"color1", OFX_LABEL_COLOR1, "Colour where the ring is full", {1.0, 1.0, 1.0}},
    {"color2", OFX_LABEL_COLOR2, "Colour where the ring is weak", {0.0, 127.0 / 255.0, 1.0}},
};

// Sets properties on one descriptor, remembering the first failure of the
// ones that matter; a failure of the others is the host not knowing them.
class PropertyWriter {
public:
    PropertyWriter(const OfxPropertySuiteV1 *suite, OfxPropertySetHandle set) noexcept : suite_(suite), set_(set) {}

    PropertyWriter &String(const char *name, const char *value, bool required = true, int index = 0) noexcept {
        return Note(suite_->propSetString(set_, name, index, value), required);
    }
    PropertyWriter &Int(const char *name, int value, bool required = true) noexcept {
        return Note(suite_->propSetInt(set_, name, 0, value), required);
    }
    PropertyWriter &Double(const char *name, double value, int index = 0, bool required = true) noexcept {
        return Note(suite_->propSetDouble(set_, name, index, value), required);
    }
    PropertyWriter &Doubles(const char *name, const double *values, int count) noexcept {
        for (int i = 0; i < count; ++i) {
            Double(name, values[i], i);
        }
        return *this;
    }
    OfxStatus Status() const noexcept { return status_; }

private:
    PropertyWriter &Note(OfxStatus status, bool required) noexcept {
        if (required && status != kOfxStatOK && status_ == kOfxStatOK) {
            status_ = status;
        }
        return *this;
    }

    const OfxPropertySuiteV1 *suite_;
    OfxPropertySetHandle set_;
    OfxStatus status_ = kOfxStatOK;
};

// Label, hint, script name and animation, common to every parameter.
OfxStatus Define(const OfxHostSuites &suites, OfxParamSetHandle params, const char *type, const char *name,
                 const char *label, const char *hint, OfxPropertySetHandle &props) noexcept {
    props = nullptr;
    OfxStatus status = suites.params->paramDefine(params, type, name, &props);
    if (status != kOfxStatOK) {
        return status;
    }
    if (props == nullptr) {
        return kOfxStatErrBadHandle;
    }
    return PropertyWriter(suites.properties, props)
        .String(kOfxPropLabel, label)
        .String(kOfxParamPropHint, hint, false)
        .String(kOfxParamPropScriptName, name, false)
        .Int(kOfxParamPropAnimates, 1)
        .Status();
}

OfxStatus DefineCenter(const OfxHostSuites &suites, OfxParamSetHandle params) noexcept {
    OfxPropertySetHandle props = nullptr;
    OfxStatus status = Define(suites, params, kOfxParamTypeDouble2D, "center", OFX_LABEL_CENTER,
                              "Centre of the ring", props);
    if (status != kOfxStatOK) {
        return status;
    }
    PropertyWriter writer(suites.properties, props);
    writer.String(kOfxParamPropDoubleType, kOfxParamDoubleTypeXYAbsolute);
    // A host that knows normalised defaults puts the centre in the middle of
    // the picture; otherwise the middle of a 1920 x 1080 one.
    const bool normalised = suites.properties->propSetString(props, kOfxParamPropDefaultCoordinateSystem, 0,
                                                             kOfxParamCoordinatesNormalised) == kOfxStatOK;
    const double dephault[2] = {normalised ? 0.5 : 960.0, normalised ? 0.5 : 540.0};
    return writer.Doubles(kOfxParamPropDefault, dephault, 2).Status();
}

OfxStatus DefineSlider(const OfxHostSuites &suites, OfxParamSetHandle params, const OfxSliderTemplate &slider) noexcept {
    OfxPropertySetHandle props = nullptr;
    OfxStatus status = Define(suites, params, kOfxParamTypeDouble, slider.name, slider.label, slider.hint, props);
    if (status != kOfxStatOK) {
        return status;
    }
    return PropertyWriter(suites.properties, props)
        .String(kOfxParamPropDoubleType, kOfxParamDoubleTypePlain, false)
        .Double(kOfxParamPropMin, 0.0)
        .Double(kOfxParamPropMax, slider.valid_max)
        .Double(kOfxParamPropDisplayMin, 0.0)
        .Double(kOfxParamPropDisplayMax, slider.display_max)
        .Double(kOfxParamPropDefault, slider.dephault)
        .Status();
}

OfxStatus DefineColor(const OfxHostSuites &suites, OfxParamSetHandle params, const OfxColorTemplate &color) noexcept {
    OfxPropertySetHandle props = nullptr;
    OfxStatus status = Define(suites, params, kOfxParamTypeRGB, color.name, color.label, color.hint, props);
    if (status != kOfxStatOK) {
        return status;
    }
    return PropertyWriter(suites.properties, props).Doubles(kOfxParamPropDefault, color.dephault, 3).Status();
}

OfxStatus DefineSmooth(const OfxHostSuites &suites, OfxParamSetHandle params) noexcept {
    OfxPropertySetHandle props = nullptr;
    OfxStatus status = Define(suites, params, kOfxParamTypeBoolean, "smooth", OFX_LABEL_SMOOTH,
                              "Raised-cosine softening of the ramps", props);
    if (status != kOfxStatOK) {
        return status;
    }
    return PropertyWriter(suites.properties, props).Int(kOfxParamPropDefault, 1).Status();
}

OfxStatus DefineBlend(const OfxHostSuites &suites, OfxParamSetHandle params) noexcept {
    OfxPropertySetHandle props = nullptr;
    OfxStatus status = Define(suites, params, kOfxParamTypeChoice, "blend", OFX_LABEL_BLEND,
                              "How the ring meets the layer: none (the ring alone), normal, add, stencil multiply, "
                              "stencil multiply + alpha",
                              props);
    if (status != kOfxStatOK) {
        return status;
    }
    PropertyWriter writer(suites.properties, props);
    for (int i = 0; i < 5; ++i) {
        writer.String(kOfxParamPropChoiceOption, OFX_BLEND_OPTIONS[i], true, i);
    }
    return writer.Int(kOfxParamPropDefault, 0).Status();
}

OfxStatus DefineClip(const OfxHostSuites &suites, OfxImageEffectHandle descriptor, const char *name) noexcept {
    OfxPropertySetHandle props = nullptr;
    OfxStatus status = suites.effects->clipDefine(descriptor, name, &props);
    if (status != kOfxStatOK) {
        return status;
    }
    if (props == nullptr) {
        return kOfxStatErrBadHandle;
    }
    return PropertyWriter(suites.properties, props)
        .String(kOfxImageEffectPropSupportedComponents, kOfxImageComponentRGBA)
        .Int(kOfxImageEffectPropTemporalClipAccess, 0, false)
        .Int(kOfxImageEffectPropSupportsTiles, 1, false)
        .Int(kOfxImageClipPropOptional, 0, false)
        .Status();
}

}  // namespace

OfxStatus DescribeEffect(const OfxHostSuites &suites, OfxImageEffectHandle descriptor,
                         OfxPluginEntryPoint *overlay) noexcept {
    OfxPropertySetHandle props = nullptr;
    OfxStatus status = suites.effects->getPropertySet(descriptor, &props);
    if (status != kOfxStatOK) {
        return status;
    }
    if (props == nullptr) {
        return kOfxStatErrBadHandle;
    }
    PropertyWriter writer(suites.properties, props);
    writer.String(kOfxPropLabel, TIDALHALO_NAME)
        .String(kOfxPropShortLabel, TIDALHALO_NAME, false)
        .String(kOfxPropLongLabel, TIDALHALO_NAME, false)
        .String(kOfxImageEffectPluginPropGrouping, TIDALHALO_CATEGORY)
        .String(kOfxPropPluginDescription, OFX_DESCRIPTION, false)
        .String(kOfxPropVersionLabel, "2.0", false)
        .String(kOfxImageEffectPropSupportedContexts, kOfxImageEffectContextFilter, true, 0)
        .String(kOfxImageEffectPropSupportedContexts, kOfxImageEffectContextGeneral, true, 1)
        .String(kOfxImageEffectPropSupportedPixelDepths, kOfxBitDepthByte, true, 0)
        .String(kOfxImageEffectPropSupportedPixelDepths, kOfxBitDepthShort, true, 1)
        .String(kOfxImageEffectPropSupportedPixelDepths, kOfxBitDepthFloat, true, 2)
        .Int(kOfxImageEffectPropSupportsTiles, 1)
        .Int(kOfxImageEffectPropSupportsMultiResolution, 1)
        .Int(kOfxImageEffectPropTemporalClipAccess, 0, false)
        .Int(kOfxImageEffectPropSupportsMultipleClipDepths, 0, false)
        .Int(kOfxImageEffectPluginPropFieldRenderTwiceAlways, 0, false)
        .String(kOfxImageEffectPluginRenderThreadSafety, kOfxImageEffectRenderFullySafe)
        .Int(kOfxImageEffectPluginPropHostFrameThreading, 0, false);
    // The version is two numbers; a host before 1.2 does not know it.
    suites.properties->propSetInt(props, kOfxPropVersion, 0, TIDALHALO_MAJOR_VERSION);
    suites.properties->propSetInt(props, kOfxPropVersion, 1, TIDALHALO_MINOR_VERSION);
    if (overlay != nullptr) {
        // One entry serves both: it draws through the draw suite when a draw
        // hands it a draw context, through OpenGL otherwise. A host that
        // cannot take it shows no overlay, and the effect works the same.
        void *entry = reinterpret_cast<void *>(overlay);
        suites.properties->propSetPointer(props, kOfxImageEffectPluginPropOverlayInteractV1, 0, entry);
        if (suites.draw != nullptr) {
            suites.properties->propSetPointer(props, kOfxImageEffectPluginPropOverlayInteractV2, 0, entry);
        }
    }
    return writer.Status();
}

OfxStatus DescribeEffectInContext(const OfxHostSuites &suites, OfxImageEffectHandle descriptor) noexcept {
    OfxStatus status = DefineClip(suites, descriptor, kOfxImageEffectSimpleSourceClipName);
    if (status == kOfxStatOK) {
        status = DefineClip(suites, descriptor, kOfxImageEffectOutputClipName);
    }
    OfxParamSetHandle params = nullptr;
    if (status == kOfxStatOK) {
        status = suites.effects->getParamSet(descriptor, &params);
    }
    if (status == kOfxStatOK && params == nullptr) {
        status = kOfxStatErrBadHandle;
    }
    if (status == kOfxStatOK) {
        status = DefineCenter(suites, params);
    }
    for (const OfxSliderTemplate &slider : OFX_SLIDERS) {
        if (status == kOfxStatOK) {
            status = DefineSlider(suites, params, slider);
        }
    }
    for (const OfxColorTemplate &color : OFX_COLORS) {
        if (status == kOfxStatOK) {
            status = DefineColor(suites, params, color);
        }
    }
    if (status == kOfxStatOK) {
        status = DefineSmooth(suites, params);
    }
    if (status == kOfxStatOK) {
        status = DefineBlend(suites, params);
    }
    return status;
}
