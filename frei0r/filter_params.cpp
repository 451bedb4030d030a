#include "frei0r/filter_params.h"

#include <cmath>
#include <cstring>
#include <iterator>

#include "frei0r/host_string.h"
#include "params/ring_params.h"

namespace {

struct FilterParamInfo {
    const char *name;
    int type;
    const char *explanation;
};

constexpr FilterParamInfo FILTER_PARAM_INFO[FILTER_NUM_PARAMS] = {
    {"center_x", F0R_PARAM_DOUBLE, "Ring centre, horizontal, as a fraction of the frame's width from the left"},
    {"center_y", F0R_PARAM_DOUBLE, "Ring centre, vertical, as a fraction of the frame's height from the top"},
    {"radius", F0R_PARAM_DOUBLE, "Distance from the centre where the ring is full, as a fraction of the frame's width"},
    {"feather", F0R_PARAM_DOUBLE, "Width of the outer fall-off, as a fraction of the frame's width"},
    {"expand", F0R_PARAM_DOUBLE, "Width of the inner rise, as a fraction of the radius"},
    {"opacity", F0R_PARAM_DOUBLE, "Strength of the ring, from 0 (none) to 1 (full)"},
    {"scatter", F0R_PARAM_DOUBLE, "Random roughness of the ring, from 0 (none) to 1 (the most)"},
    {"color1", F0R_PARAM_COLOR, "Colour where the ring is full"},
    {"color2", F0R_PARAM_COLOR, "Colour where the ring is weak"},
    {"smooth", F0R_PARAM_BOOL, "Raised-cosine softening of the ring's rise and fall-off"},
    {"blend", F0R_PARAM_STRING, "none, normal, add, stencil-multiply or stencil-multiply-alpha (or 1 to 5)"},
};

// In the popup's order, so that a name's position plus one is its mode;
// then the tool's popup numbers, in the same order.
constexpr const char *FILTER_BLEND_TEXTS[] = {"none", "normal", "add", "stencil-multiply", "stencil-multiply-alpha",
                                              "1",    "2",      "3",   "4",                "5"};
constexpr std::size_t FILTER_BLEND_MODES = 5;

// A point is stored as 16.16 fixed point; its pixels stay within what that holds.
constexpr double FILTER_POINT_LIMIT = 32767.0;

// frei0r reads a bool as on from one half up.
constexpr double FILTER_BOOL_THRESHOLD = 0.5;

double Clamped(double value, double low, double high, double fallback) noexcept {
    if (std::isnan(value)) {
        return fallback;
    }
    return value < low ? low : (value > high ? high : value);
}

float ClampedUnit(float value, float fallback) noexcept {
    if (std::isnan(value)) {
        return fallback;
    }
    return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

void SetBlendMode(FilterValues &values, int32_t mode) noexcept {
    values.blend_mode = mode;
    const char *name = FILTER_BLEND_TEXTS[mode - BLEND_NONE];
    std::strncpy(values.blend_name, name, sizeof values.blend_name - 1);
    values.blend_name[sizeof values.blend_name - 1] = '\0';
}

// One of the five names, or the tool's popup number 1 to 5; anything else
// is the default, normal: a video filter that hides the video by default
// helps nobody.
int32_t BlendModeNamed(const char *text) noexcept {
    if (text == nullptr) {
        return BLEND_NORMAL;
    }
    for (std::size_t i = 0; i < std::size(FILTER_BLEND_TEXTS); ++i) {
        if (std::strcmp(text, FILTER_BLEND_TEXTS[i]) == 0) {
            return BLEND_NONE + static_cast<int32_t>(i % FILTER_BLEND_MODES);
        }
    }
    return BLEND_NORMAL;
}

// Rounded to the nearest 1/65536 pixel, as the host stores a point.
PF_Fixed PointFixed(double fraction, uint32_t side) noexcept {
    double pixels = fraction * static_cast<double>(side);
    pixels = Clamped(pixels, -FILTER_POINT_LIMIT, FILTER_POINT_LIMIT, 0.0);
    return static_cast<PF_Fixed>(std::lround(pixels * 65536.0));
}

// The colour parameter holds 8-bit channels; the host hands them to the
// pre-render as floats, each divided by 255 in single precision.
PF_PixelFloat HostFloatColor(const f0r_param_color_t &color) noexcept {
    const auto byte = [](float c) { return static_cast<uint8_t>(std::lround(static_cast<double>(c) * 255.0)); };
    const PF_Pixel pixel{255, byte(color.r), byte(color.g), byte(color.b)};
    return PF_PixelFloat{pixel.alpha / 255.0f, pixel.red / 255.0f, pixel.green / 255.0f, pixel.blue / 255.0f};
}

}  // namespace

FilterValues DefaultFilterValues() noexcept {
    FilterValues values{};
    values.center_x = 0.5;
    values.center_y = 0.5;
    values.radius = 0.1;
    values.feather = 0.002;
    values.expand = 0.5;
    values.opacity = 1.0;
    values.scatter = 0.0;
    values.color1 = {1.0f, 1.0f, 1.0f};
    values.color2 = {0.0f, 127.0f / 255.0f, 1.0f};  // #007FFF
    values.smooth = 1.0;
    SetBlendMode(values, BLEND_NORMAL);
    return values;
}

bool DescribeFilterParam(int index, f0r_param_info_t &info) noexcept {
    if (index < 0 || index >= FILTER_NUM_PARAMS) {
        return false;
    }
    const FilterParamInfo &param = FILTER_PARAM_INFO[index];
    info.name = param.name;
    info.type = param.type;
    info.explanation = param.explanation;
    return true;
}

namespace {

// The double parameters by index; null for the others.
double *DoubleParam(FilterValues &values, int index) noexcept {
    switch (index) {
    case FILTER_CENTER_X:
        return &values.center_x;
    case FILTER_CENTER_Y:
        return &values.center_y;
    case FILTER_RADIUS:
        return &values.radius;
    case FILTER_FEATHER:
        return &values.feather;
    case FILTER_EXPAND:
        return &values.expand;
    case FILTER_OPACITY:
        return &values.opacity;
    case FILTER_SCATTER:
        return &values.scatter;
    case FILTER_SMOOTH:
        return &values.smooth;
    default:
        return nullptr;
    }
}

}  // namespace

void SetFilterParam(FilterValues &values, int index, const void *param, HostStringCaller caller) noexcept {
    if (param == nullptr) {
        return;
    }
    FilterValues defaults = DefaultFilterValues();
    if (index == FILTER_SMOOTH) {
        const double flag = *static_cast<const double *>(param);
        values.smooth = std::isnan(flag) ? defaults.smooth : (flag >= FILTER_BOOL_THRESHOLD ? 1.0 : 0.0);
    } else if (double *target = DoubleParam(values, index)) {
        *target = Clamped(*static_cast<const double *>(param), 0.0, 1.0, *DoubleParam(defaults, index));
    } else if (index == FILTER_COLOR1 || index == FILTER_COLOR2) {
        const auto &color = *static_cast<const f0r_param_color_t *>(param);
        const f0r_param_color_t &fallback = index == FILTER_COLOR1 ? defaults.color1 : defaults.color2;
        f0r_param_color_t &color_target = index == FILTER_COLOR1 ? values.color1 : values.color2;
        color_target = {ClampedUnit(color.r, fallback.r), ClampedUnit(color.g, fallback.g),
                  ClampedUnit(color.b, fallback.b)};
    } else if (index == FILTER_BLEND) {
        const char *text =
            HostString(param, values.blend_origin, caller, FILTER_BLEND_TEXTS, std::size(FILTER_BLEND_TEXTS));
        SetBlendMode(values, BlendModeNamed(text));
    }
}

void GetFilterParam(FilterValues &values, int index, void *param) noexcept {
    if (param == nullptr) {
        return;
    }
    if (const double *source = DoubleParam(values, index)) {
        *static_cast<double *>(param) = *source;
    } else if (index == FILTER_COLOR1) {
        *static_cast<f0r_param_color_t *>(param) = values.color1;
    } else if (index == FILTER_COLOR2) {
        *static_cast<f0r_param_color_t *>(param) = values.color2;
    } else if (index == FILTER_BLEND) {
        *static_cast<f0r_param_string *>(param) = values.blend_name;
    }
}

RingRenderInfo FilterRenderInfo(const FilterValues &values, uint32_t width, uint32_t height) noexcept {
    const double frame_width = static_cast<double>(width);
    RingParamValues ring{};
    ring.center_x = PointFixed(values.center_x, width);
    ring.center_y = PointFixed(values.center_y, height);
    ring.radius = values.radius * frame_width;
    ring.feather = values.feather * frame_width;
    ring.expand = values.expand * 100.0;
    ring.opacity = values.opacity * 100.0;
    ring.scatter = values.scatter * 512.0;
    ring.color1 = HostFloatColor(values.color1);
    ring.color2 = HostFloatColor(values.color2);
    ring.smooth = values.smooth >= FILTER_BOOL_THRESHOLD ? 1 : 0;
    ring.blend_mode = values.blend_mode;

    // Full resolution and square pixels: every scale is 1/1.
    const PF_RationalScale one{1, 1};
    RingRenderInfo info = NewRingRenderInfo();
    FillRingRenderInfo(info, ring, RingFrameScales{one, one, one});
    AdjustRingRenderInfo(info, 0, 0);
    return info;
}
