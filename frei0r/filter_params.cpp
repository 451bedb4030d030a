#include "frei0r/filter_params.h"

#include <cmath>
#include <cstring>
#include <iterator>

#include "params/ring_params.h"

namespace {

struct FilterParamInfo {
    const char *name;
    int type;
    const char *explanation;
};

constexpr FilterParamInfo FILTER_PARAM_INFO[FILTER_NUM_PARAMS] = {
    {"center", F0R_PARAM_POSITION, "Ring centre as fractions of the frame's width and height"},
    {"radius", F0R_PARAM_DOUBLE, "Distance from the centre where the ring is full, x 1000 pixels (up to 10)"},
    {"feather", F0R_PARAM_DOUBLE, "Width of the outer fall-off, x 1000 pixels (up to 10)"},
    {"expand", F0R_PARAM_DOUBLE, "Width of the inner rise as a share of the radius"},
    {"opacity", F0R_PARAM_DOUBLE, "Overall strength of the ring"},
    {"scatter", F0R_PARAM_DOUBLE, "Random roughness, x 512"},
    {"color1", F0R_PARAM_COLOR, "Colour where the ring is full"},
    {"color2", F0R_PARAM_COLOR, "Colour where the ring is weak"},
    {"smooth", F0R_PARAM_BOOL, "Raised-cosine softening of the ramps"},
    {"blend", F0R_PARAM_STRING,
     "none, normal, add, stencil-multiply or stencil-multiply-alpha"},
};

// In the popup's order, so that a name's position plus one is its mode.
constexpr const char *FILTER_BLEND_NAMES[] = {"none", "normal", "add", "stencil-multiply",
                                              "stencil-multiply-alpha"};

// The largest values the effect accepts, in frei0r's units; every minimum is 0.
constexpr double FILTER_RADIUS_MAX = 10.0;   // 10000 pixels
constexpr double FILTER_FEATHER_MAX = 10.0;  // 10000 pixels
constexpr double FILTER_UNIT_MAX = 1.0;      // expand and opacity 100 percent, scatter 512

// A point is stored as 16.16 fixed point; its pixels stay within what that holds.
constexpr double FILTER_POINT_LIMIT = 32767.0;

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
    const char *name = FILTER_BLEND_NAMES[mode - BLEND_NONE];
    std::strncpy(values.blend_name, name, sizeof values.blend_name - 1);
    values.blend_name[sizeof values.blend_name - 1] = '\0';
}

// One of the five names, or the tool's popup number 1 to 5; anything else
// is the default.
int32_t BlendModeNamed(const char *text) noexcept {
    if (text == nullptr) {
        return BLEND_NONE;
    }
    for (std::size_t i = 0; i < std::size(FILTER_BLEND_NAMES); ++i) {
        if (std::strcmp(text, FILTER_BLEND_NAMES[i]) == 0) {
            return BLEND_NONE + static_cast<int32_t>(i);
        }
    }
    if (text[0] >= '1' && text[0] <= '5' && text[1] == '\0') {
        return text[0] - '1' + BLEND_NONE;
    }
    return BLEND_NONE;
}

// A fraction of the frame's side within the point's limits, in pixels.
double ClampedFraction(double fraction, uint32_t side) noexcept {
    const double limit = FILTER_POINT_LIMIT / static_cast<double>(side == 0 ? 1 : side);
    return Clamped(fraction, -limit, limit, 0.5);
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
    values.center = {0.5, 0.5};
    values.radius = 0.1;
    values.feather = 0.003;
    values.expand = 0.5;
    values.opacity = 1.0;
    values.scatter = 0.0;
    values.color1 = {1.0f, 1.0f, 1.0f};
    values.color2 = {0.0f, 127.0f / 255.0f, 1.0f};  // #007FFF
    values.smooth = 1.0;
    SetBlendMode(values, BLEND_NONE);
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

void SetFilterParam(FilterValues &values, int index, const void *param, uint32_t width, uint32_t height) noexcept {
    if (param == nullptr) {
        return;
    }
    const FilterValues defaults = DefaultFilterValues();
    switch (index) {
    case FILTER_CENTER: {
        const auto &center = *static_cast<const f0r_param_position_t *>(param);
        values.center = {ClampedFraction(center.x, width), ClampedFraction(center.y, height)};
        break;
    }
    case FILTER_RADIUS:
        values.radius = Clamped(*static_cast<const double *>(param), 0.0, FILTER_RADIUS_MAX, defaults.radius);
        break;
    case FILTER_FEATHER:
        values.feather = Clamped(*static_cast<const double *>(param), 0.0, FILTER_FEATHER_MAX, defaults.feather);
        break;
    case FILTER_EXPAND:
        values.expand = Clamped(*static_cast<const double *>(param), 0.0, FILTER_UNIT_MAX, defaults.expand);
        break;
    case FILTER_OPACITY:
        values.opacity = Clamped(*static_cast<const double *>(param), 0.0, FILTER_UNIT_MAX, defaults.opacity);
        break;
    case FILTER_SCATTER:
        values.scatter = Clamped(*static_cast<const double *>(param), 0.0, FILTER_UNIT_MAX, defaults.scatter);
        break;
    case FILTER_COLOR1:
    case FILTER_COLOR2: {
        const auto &color = *static_cast<const f0r_param_color_t *>(param);
        const f0r_param_color_t &fallback = index == FILTER_COLOR1 ? defaults.color1 : defaults.color2;
        f0r_param_color_t &target = index == FILTER_COLOR1 ? values.color1 : values.color2;
        target = {ClampedUnit(color.r, fallback.r), ClampedUnit(color.g, fallback.g),
                  ClampedUnit(color.b, fallback.b)};
        break;
    }
    case FILTER_SMOOTH: {
        // frei0r reads a bool as true above one half.
        const double flag = *static_cast<const double *>(param);
        values.smooth = std::isnan(flag) ? defaults.smooth : (flag > 0.5 ? 1.0 : 0.0);
        break;
    }
    case FILTER_BLEND:
        SetBlendMode(values, BlendModeNamed(*static_cast<const f0r_param_string *>(param)));
        break;
    default:
        break;
    }
}

void GetFilterParam(FilterValues &values, int index, void *param) noexcept {
    if (param == nullptr) {
        return;
    }
    switch (index) {
    case FILTER_CENTER:
        *static_cast<f0r_param_position_t *>(param) = values.center;
        break;
    case FILTER_RADIUS:
        *static_cast<double *>(param) = values.radius;
        break;
    case FILTER_FEATHER:
        *static_cast<double *>(param) = values.feather;
        break;
    case FILTER_EXPAND:
        *static_cast<double *>(param) = values.expand;
        break;
    case FILTER_OPACITY:
        *static_cast<double *>(param) = values.opacity;
        break;
    case FILTER_SCATTER:
        *static_cast<double *>(param) = values.scatter;
        break;
    case FILTER_COLOR1:
        *static_cast<f0r_param_color_t *>(param) = values.color1;
        break;
    case FILTER_COLOR2:
        *static_cast<f0r_param_color_t *>(param) = values.color2;
        break;
    case FILTER_SMOOTH:
        *static_cast<double *>(param) = values.smooth;
        break;
    case FILTER_BLEND:
        *static_cast<f0r_param_string *>(param) = values.blend_name;
        break;
    default:
        break;
    }
}

RingRenderInfo FilterRenderInfo(const FilterValues &values, uint32_t width, uint32_t height) noexcept {
    RingParamValues ring{};
    ring.center_x = PointFixed(values.center.x, width);
    ring.center_y = PointFixed(values.center.y, height);
    ring.radius = values.radius * 1000.0;
    ring.feather = values.feather * 1000.0;
    ring.expand = values.expand * 100.0;
    ring.opacity = values.opacity * 100.0;
    ring.scatter = values.scatter * 512.0;
    ring.color1 = HostFloatColor(values.color1);
    ring.color2 = HostFloatColor(values.color2);
    ring.smooth = values.smooth > 0.5 ? 1 : 0;
    ring.blend_mode = values.blend_mode;

    // Full resolution and square pixels: every scale is 1/1.
    const PF_RationalScale one{1, 1};
    RingRenderInfo info = NewRingRenderInfo();
    FillRingRenderInfo(info, ring, RingFrameScales{one, one, one});
    AdjustRingRenderInfo(info, 0, 0);
    return info;
}
