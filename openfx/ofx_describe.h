// What the plug-in tells a host about itself: the effect's properties, its
// two clips and its ten parameters in the module's order.
#pragma once

#include "openfx/ofx_api.h"

// The suites the plug-in needs from every host.
struct OfxHostSuites {
    const OfxPropertySuiteV1 *properties = nullptr;
    const OfxImageEffectSuiteV1 *effects = nullptr;
    const OfxParameterSuiteV1 *params = nullptr;
    const OfxMultiThreadSuiteV1 *threads = nullptr;  // optional
    const OfxMessageSuiteV1 *messages = nullptr;     // optional
    const OfxInteractSuiteV1 *interacts = nullptr;   // optional: hosts that show overlays
    const OfxDrawSuiteV1 *draw = nullptr;            // optional: hosts that draw overlays' lines themselves
};

// Parameter names as scripts and hosts know them, in order.
inline constexpr const char *OFX_PARAM_NAMES[] = {"center", "radius",  "feather", "expand", "opacity",
                                                  "scatter", "color1", "color2",  "smooth", "blend"};
inline constexpr int OFX_PARAM_COUNT = 10;
enum OfxParamIndex : int {
    OFX_CENTER = 0,
    OFX_RADIUS,
    OFX_FEATHER,
    OFX_EXPAND,
    OFX_OPACITY,
    OFX_SCATTER,
    OFX_COLOR1,
    OFX_COLOR2,
    OFX_SMOOTH,
    OFX_BLEND
};

// The describe action: label, grouping, version, contexts, depths, tiles and
// thread safety, and the overlay's entry point when there is one (a host
// that shows no overlays gets none). Properties that an older host does not
// know are skipped.
OfxStatus DescribeEffect(const OfxHostSuites &suites, OfxImageEffectHandle descriptor,
                         OfxPluginEntryPoint *overlay) noexcept;

// The describe-in-context action: the clips Source and Output, then the
// parameters.
OfxStatus DescribeEffectInContext(const OfxHostSuites &suites, OfxImageEffectHandle descriptor) noexcept;
