#include "openfx/ofx_interact.h"

#include <cmath>
#include <cstring>
#include <new>

#include "openfx/ofx_gl.h"
#include "openfx/ofx_overlay.h"

namespace {

// The parameters the overlay shows; a change to any of them redraws it.
constexpr const char *OFX_OVERLAY_SLAVES[] = {"center", "radius", "feather", "expand"};
// The ranges the pen keeps the radius and feather in when the host gives none.
constexpr double OFX_OVERLAY_SIZE_MIN = 0.0;
constexpr double OFX_OVERLAY_SIZE_MAX = 10000.0;

// What one overlay keeps between actions: the part under the pen and the
// drag in progress, with what it started from.
struct OverlayState {
    OfxOverlayPart lit = OfxOverlayPart::None;
    OfxOverlayPart dragged = OfxOverlayPart::None;
    OfxParamSetHandle edited = nullptr;  // whose edit the drag opened
    OfxParamHandle param = nullptr;      // the parameter the drag changes
    OfxOverlayValues start{};            // the values at pen-down
    double offset_x = 0.0, offset_y = 0.0;  // centre minus pen at pen-down
    double low = OFX_OVERLAY_SIZE_MIN, high = OFX_OVERLAY_SIZE_MAX;
};

struct RingParams {
    OfxParamSetHandle set = nullptr;
    OfxParamHandle center = nullptr, radius = nullptr, feather = nullptr, expand = nullptr;
};

// What a draw or pen action is about.
struct OverlayArgs {
    OfxImageEffectHandle effect = nullptr;
    OfxTime time = 0.0;
    double scale[2] = {0.0, 0.0};
    double pen[2] = {NAN, NAN};
};

bool SameString(const char *a, const char *b) noexcept { return a != nullptr && std::strcmp(a, b) == 0; }

OfxPropertySetHandle InteractProperties(const OfxHostSuites &suites, const void *handle) noexcept {
    OfxPropertySetHandle props = nullptr;
    if (suites.interacts == nullptr || suites.interacts->interactGetPropertySet == nullptr ||
        suites.interacts->interactGetPropertySet(static_cast<OfxInteractHandle>(const_cast<void *>(handle)),
                                                 &props) != kOfxStatOK) {
        return nullptr;
    }
    return props;
}

OverlayState *StateOf(const OfxHostSuites &suites, OfxPropertySetHandle props) noexcept {
    void *data = nullptr;
    if (props == nullptr || suites.properties->propGetPointer(props, kOfxPropInstanceData, 0, &data) != kOfxStatOK) {
        return nullptr;
    }
    return static_cast<OverlayState *>(data);
}

// The effect instance, time, pixel scale and, for the pen actions, the pen's
// position; the effect and pixel scale may come from the interact's own
// properties when the arguments lack them.
bool ReadArgs(const OfxHostSuites &suites, OfxPropertySetHandle props, OfxPropertySetHandle in_args, bool pen,
              OverlayArgs &args) noexcept {
    const OfxPropertySuiteV1 &p = *suites.properties;
    if (in_args == nullptr || p.propGetDouble(in_args, kOfxPropTime, 0, &args.time) != kOfxStatOK ||
        !std::isfinite(args.time)) {
        return false;
    }
    void *effect = nullptr;
    if (p.propGetPointer(in_args, kOfxPropEffectInstance, 0, &effect) != kOfxStatOK &&
        (props == nullptr || p.propGetPointer(props, kOfxPropEffectInstance, 0, &effect) != kOfxStatOK)) {
        return false;
    }
    args.effect = static_cast<OfxImageEffectHandle>(effect);
    if (p.propGetDoubleN(in_args, kOfxInteractPropPixelScale, 2, args.scale) != kOfxStatOK &&
        (props == nullptr || p.propGetDoubleN(props, kOfxInteractPropPixelScale, 2, args.scale) != kOfxStatOK)) {
        return false;
    }
    if (pen && (p.propGetDoubleN(in_args, kOfxInteractPropPenPosition, 2, args.pen) != kOfxStatOK ||
                !std::isfinite(args.pen[0]) || !std::isfinite(args.pen[1]))) {
        return false;
    }
    return args.effect != nullptr && OverlayScaleValid(args.scale[0], args.scale[1]);
}

bool FindParams(const OfxHostSuites &suites, OfxImageEffectHandle effect, RingParams &params) noexcept {
    const OfxParameterSuiteV1 &p = *suites.params;
    return suites.effects->getParamSet(effect, &params.set) == kOfxStatOK && params.set != nullptr &&
           p.paramGetHandle(params.set, "center", &params.center, nullptr) == kOfxStatOK &&
           p.paramGetHandle(params.set, "radius", &params.radius, nullptr) == kOfxStatOK &&
           p.paramGetHandle(params.set, "feather", &params.feather, nullptr) == kOfxStatOK &&
           p.paramGetHandle(params.set, "expand", &params.expand, nullptr) == kOfxStatOK;
}

bool ReadValues(const OfxHostSuites &suites, const RingParams &params, OfxTime time,
                OfxOverlayValues &values) noexcept {
    const OfxParameterSuiteV1 &p = *suites.params;
    values = OfxOverlayValues{NAN, NAN, NAN, NAN, NAN};
    return p.paramGetValueAtTime(params.center, time, &values.center_x, &values.center_y) == kOfxStatOK &&
           p.paramGetValueAtTime(params.radius, time, &values.radius) == kOfxStatOK &&
           p.paramGetValueAtTime(params.feather, time, &values.feather) == kOfxStatOK &&
           p.paramGetValueAtTime(params.expand, time, &values.expand) == kOfxStatOK;
}

void Redraw(const OfxHostSuites &suites, const void *handle) noexcept {
    if (suites.interacts != nullptr && suites.interacts->interactRedraw != nullptr) {
        suites.interacts->interactRedraw(static_cast<OfxInteractHandle>(const_cast<void *>(handle)));
    }
}

// The suggested colour when the host gives one, a light grey otherwise.
void ReadColour(const OfxHostSuites &suites, OfxPropertySetHandle props, float (&colour)[3]) noexcept {
    double suggested[3] = {NAN, NAN, NAN};
    if (props == nullptr ||
        suites.properties->propGetDoubleN(props, kOfxInteractPropSuggestedColour, 3, suggested) != kOfxStatOK) {
        return;
    }
    for (double channel : suggested) {
        if (!std::isfinite(channel)) {
            return;
        }
    }
    for (int c = 0; c < 3; ++c) {
        const double channel = suggested[c];
        colour[c] = static_cast<float>(channel < 0.0 ? 0.0 : (channel > 1.0 ? 1.0 : channel));
    }
}

OfxStatus DrawWithSuite(const OfxDrawSuiteV1 &draw, OfxDrawContextHandle context,
                        const std::vector<OfxOverlayStroke> &strokes) noexcept {
    for (const OfxOverlayStroke &stroke : strokes) {
        const OfxRGBAColourF colour{stroke.colour[0], stroke.colour[1], stroke.colour[2], stroke.colour[3]};
        if (draw.setColour(context, &colour) != kOfxStatOK || draw.setLineWidth(context, stroke.width) != kOfxStatOK ||
            draw.draw(context, stroke.primitive, stroke.points.data(), static_cast<int>(stroke.points.size())) !=
                kOfxStatOK) {
            return kOfxStatFailed;
        }
    }
    return kOfxStatOK;
}

OfxStatus Draw(const OfxHostSuites &suites, const void *handle, OfxPropertySetHandle in_args) noexcept {
    OfxPropertySetHandle props = InteractProperties(suites, handle);
    OverlayArgs args;
    RingParams params;
    OfxOverlayValues values{};
    if (!ReadArgs(suites, props, in_args, false, args) || !FindParams(suites, args.effect, params) ||
        !ReadValues(suites, params, args.time, values)) {
        return kOfxStatFailed;
    }
    OfxOverlayView view;
    view.pixel_scale_x = args.scale[0];
    view.pixel_scale_y = args.scale[1];
    ReadColour(suites, props, view.colour);
    const OverlayState *state = StateOf(suites, props);
    if (state != nullptr) {
        view.lit = state->dragged != OfxOverlayPart::None ? state->dragged : state->lit;
    }
    const std::vector<OfxOverlayStroke> strokes = OverlayStrokes(values, view);
    if (strokes.empty()) {
        return kOfxStatReplyDefault;  // nothing to show, as with values that are not numbers
    }
    void *context = nullptr;
    if (suites.properties->propGetPointer(in_args, kOfxInteractPropDrawContext, 0, &context) == kOfxStatOK &&
        context != nullptr) {
        if (suites.draw == nullptr) {
            return kOfxStatFailed;
        }
        return DrawWithSuite(*suites.draw, static_cast<OfxDrawContextHandle>(context), strokes);
    }
    return DrawOverlayWithGl(strokes);
}

double Held(double value, double low, double high) noexcept { return value < low ? low : (value > high ? high : value); }

// The parameter's range as the host holds it, or the effect's own.
void ReadRange(const OfxHostSuites &suites, OfxParamHandle param, double &low, double &high) noexcept {
    low = OFX_OVERLAY_SIZE_MIN;
    high = OFX_OVERLAY_SIZE_MAX;
    OfxPropertySetHandle props = nullptr;
    if (suites.params->paramGetPropertySet(param, &props) != kOfxStatOK || props == nullptr) {
        return;
    }
    double min = NAN, max = NAN;
    suites.properties->propGetDouble(props, kOfxParamPropMin, 0, &min);
    suites.properties->propGetDouble(props, kOfxParamPropMax, 0, &max);
    if (std::isfinite(min) && std::isfinite(max) && min <= max) {
        low = min;
        high = max;
    }
}

// A value set at the action's time as a key when the parameter is animated.
OfxStatus SetValue(const OfxHostSuites &suites, OfxParamHandle param, OfxTime time, double first, double second,
                   bool pair) noexcept {
    const OfxParameterSuiteV1 &p = *suites.params;
    unsigned int keys = 0;
    const bool animated = p.paramGetNumKeys(param, &keys) == kOfxStatOK && keys > 0;
    if (animated) {
        return pair ? p.paramSetValueAtTime(param, time, first, second) : p.paramSetValueAtTime(param, time, first);
    }
    return pair ? p.paramSetValue(param, first, second) : p.paramSetValue(param, first);
}

// Moves the dragged handle to the pen.
void Follow(const OfxHostSuites &suites, const OverlayState &state, const OverlayArgs &args) noexcept {
    const double distance = std::hypot(args.pen[0] - state.start.center_x, args.pen[1] - state.start.center_y);
    switch (state.dragged) {
    case OfxOverlayPart::Center:
        SetValue(suites, state.param, args.time, args.pen[0] + state.offset_x, args.pen[1] + state.offset_y, true);
        break;
    case OfxOverlayPart::Radius:
        SetValue(suites, state.param, args.time, Held(distance, state.low, state.high), 0.0, false);
        break;
    case OfxOverlayPart::Feather:
        SetValue(suites, state.param, args.time, Held(distance - state.start.radius, state.low, state.high), 0.0,
                 false);
        break;
    default:
        break;
    }
}

void EndDrag(const OfxHostSuites &suites, OverlayState &state) noexcept {
    if (state.dragged != OfxOverlayPart::None && state.edited != nullptr) {
        suites.params->paramEditEnd(state.edited);
    }
    state.dragged = OfxOverlayPart::None;
    state.edited = nullptr;
    state.param = nullptr;
}

const char *EditName(OfxOverlayPart part) noexcept {
    switch (part) {
    case OfxOverlayPart::Center: return "Move the ring";
    case OfxOverlayPart::Radius: return "Resize the ring";
    default: return "Feather the ring";
    }
}

OfxStatus PenDown(const OfxHostSuites &suites, const void *handle, OfxPropertySetHandle in_args) noexcept {
    OfxPropertySetHandle props = InteractProperties(suites, handle);
    OverlayState *state = StateOf(suites, props);
    OverlayArgs args;
    RingParams params;
    if (!ReadArgs(suites, props, in_args, true, args) || !FindParams(suites, args.effect, params)) {
        return kOfxStatFailed;
    }
    if (state == nullptr) {
        return kOfxStatReplyDefault;  // never created: nothing to drag with
    }
    EndDrag(suites, *state);  // a pen-up the host never sent
    OfxOverlayValues values{};
    if (!ReadValues(suites, params, args.time, values) || !OverlayValuesHeld(values, state->start)) {
        return kOfxStatReplyDefault;
    }
    const OfxOverlayPart part = OverlayPartUnderPen(state->start, args.scale[0], args.scale[1], args.pen[0], args.pen[1]);
    if (part == OfxOverlayPart::None) {
        return kOfxStatReplyDefault;
    }
    state->param = part == OfxOverlayPart::Center ? params.center
                   : part == OfxOverlayPart::Radius ? params.radius
                                                    : params.feather;
    state->offset_x = state->start.center_x - args.pen[0];
    state->offset_y = state->start.center_y - args.pen[1];
    if (part != OfxOverlayPart::Center) {
        ReadRange(suites, state->param, state->low, state->high);
    }
    if (suites.params->paramEditBegin(params.set, EditName(part)) != kOfxStatOK) {
        state->param = nullptr;
        return kOfxStatFailed;
    }
    state->edited = params.set;
    state->dragged = part;
    state->lit = part;
    Redraw(suites, handle);
    return kOfxStatOK;
}

OfxStatus PenMotion(const OfxHostSuites &suites, const void *handle, OfxPropertySetHandle in_args) noexcept {
    OfxPropertySetHandle props = InteractProperties(suites, handle);
    OverlayState *state = StateOf(suites, props);
    OverlayArgs args;
    if (!ReadArgs(suites, props, in_args, true, args)) {
        return kOfxStatFailed;
    }
    if (state == nullptr) {
        return kOfxStatReplyDefault;
    }
    if (state->dragged != OfxOverlayPart::None) {
        Follow(suites, *state, args);
        Redraw(suites, handle);
        return kOfxStatOK;
    }
    // The part under the pen is drawn brighter; moving over it uses no event.
    RingParams params;
    OfxOverlayValues values{};
    OfxOverlayPart under = OfxOverlayPart::None;
    if (FindParams(suites, args.effect, params) && ReadValues(suites, params, args.time, values)) {
        under = OverlayPartUnderPen(values, args.scale[0], args.scale[1], args.pen[0], args.pen[1]);
    }
    if (under != state->lit) {
        state->lit = under;
        Redraw(suites, handle);
    }
    return kOfxStatReplyDefault;
}

OfxStatus PenUp(const OfxHostSuites &suites, const void *handle, OfxPropertySetHandle in_args) noexcept {
    OfxPropertySetHandle props = InteractProperties(suites, handle);
    OverlayState *state = StateOf(suites, props);
    if (state == nullptr || state->dragged == OfxOverlayPart::None) {
        return kOfxStatReplyDefault;
    }
    // The drag ends even when the host's arguments are broken.
    OverlayArgs args;
    const bool usable = ReadArgs(suites, props, in_args, true, args);
    if (usable) {
        Follow(suites, *state, args);
    }
    EndDrag(suites, *state);
    Redraw(suites, handle);
    return usable ? kOfxStatOK : kOfxStatFailed;
}

OfxStatus LoseFocus(const OfxHostSuites &suites, const void *handle) noexcept {
    OverlayState *state = StateOf(suites, InteractProperties(suites, handle));
    if (state == nullptr) {
        return kOfxStatReplyDefault;
    }
    const bool dragging = state->dragged != OfxOverlayPart::None;
    const bool was_lit = state->lit != OfxOverlayPart::None;
    EndDrag(suites, *state);
    state->lit = OfxOverlayPart::None;
    if (dragging || was_lit) {
        Redraw(suites, handle);
    }
    return dragging ? kOfxStatOK : kOfxStatReplyDefault;
}

OfxStatus CreateOverlay(const OfxHostSuites &suites, const void *handle) noexcept {
    OfxPropertySetHandle props = InteractProperties(suites, handle);
    if (props == nullptr) {
        return kOfxStatErrMissingHostFeature;
    }
    auto *state = new (std::nothrow) OverlayState;
    if (state == nullptr) {
        return kOfxStatErrMemory;
    }
    const OfxStatus status = suites.properties->propSetPointer(props, kOfxPropInstanceData, 0, state);
    if (status != kOfxStatOK) {
        delete state;
        return status;
    }
    for (int i = 0; i < 4; ++i) {
        suites.properties->propSetString(props, kOfxInteractPropSlaveToParam, i, OFX_OVERLAY_SLAVES[i]);
    }
    return kOfxStatOK;
}

OfxStatus DestroyOverlay(const OfxHostSuites &suites, const void *handle) noexcept {
    OfxPropertySetHandle props = InteractProperties(suites, handle);
    OverlayState *state = StateOf(suites, props);
    if (state == nullptr) {
        return kOfxStatReplyDefault;
    }
    EndDrag(suites, *state);
    suites.properties->propSetPointer(props, kOfxPropInstanceData, 0, nullptr);
    delete state;
    return kOfxStatOK;
}

}  // namespace

OfxStatus OverlayAction(const OfxHostSuites &suites, const char *action, const void *handle,
                        OfxPropertySetHandle in_args) noexcept {
    if (handle == nullptr) {
        return kOfxStatErrBadHandle;
    }
    if (SameString(action, kOfxActionDescribe)) {
        return kOfxStatOK;
    }
    if (SameString(action, kOfxActionCreateInstance)) {
        return CreateOverlay(suites, handle);
    }
    if (SameString(action, kOfxActionDestroyInstance)) {
        return DestroyOverlay(suites, handle);
    }
    if (SameString(action, kOfxInteractActionDraw)) {
        return Draw(suites, handle, in_args);
    }
    if (SameString(action, kOfxInteractActionPenDown)) {
        return PenDown(suites, handle, in_args);
    }
    if (SameString(action, kOfxInteractActionPenMotion)) {
        return PenMotion(suites, handle, in_args);
    }
    if (SameString(action, kOfxInteractActionPenUp)) {
        return PenUp(suites, handle, in_args);
    }
    if (SameString(action, kOfxInteractActionLoseFocus)) {
        return LoseFocus(suites, handle);
    }
    return kOfxStatReplyDefault;  // keys, gaining focus and anything newer
}
