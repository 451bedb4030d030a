// The filter's eleven parameters as frei0r hosts see them: every value a
// double, colour or bool within 0..1, as frei0r requires, scaled to the
// effect's own units by the frame's size, and the render record they give
// for a frame.
#pragma once

#include <cstdint>

// frei0r.h declares its functions for C without saying so to C++.
extern "C" {
#include <frei0r.h>
}

#include "frei0r/host_string.h"
#include "render/ring_render_info.h"

enum FilterParamIndex : int {
    FILTER_CENTER_X = 0,
    FILTER_CENTER_Y = 1,
    FILTER_RADIUS = 2,
    FILTER_FEATHER = 3,
    FILTER_EXPAND = 4,
    FILTER_OPACITY = 5,
    FILTER_SCATTER = 6,
    FILTER_COLOR1 = 7,
    FILTER_COLOR2 = 8,
    FILTER_SMOOTH = 9,
    FILTER_BLEND = 10,
    FILTER_NUM_PARAMS = 11
};

// The values in frei0r's units, always within 0..1 and never NaN.
struct FilterValues {
    double center_x;  // fraction of the frame's width
    double center_y;  // fraction of the frame's height, from the top
    double radius;    // fraction of the frame's width
    double feather;   // fraction of the frame's width
    double expand;    // x 100 percent
    double opacity;   // x 100 percent
    double scatter;   // x 512
    f0r_param_color_t color1;
    f0r_param_color_t color2;
    double smooth;  // 0 or 1
    int32_t blend_mode;
    char blend_name[32];  // the mode's name, handed out by f0r_get_param_value
    HostStringOrigin blend_origin;
};

FilterValues DefaultFilterValues() noexcept;

// False for an index outside 0..10, leaving info untouched.
bool DescribeFilterParam(int index, f0r_param_info_t &info) noexcept;

// Takes a host's value for one parameter. Values outside 0..1 are clamped
// into it, NaN gives the parameter's default, a bool is on from 0.5 up, and
// a blend name that is none of the five gives the default mode; a null
// pointer or an unknown index changes nothing. The blend mode is taken from
// frei0r's pointer to its text or from the text itself, as the caller hands
// it (HostString).
void SetFilterParam(FilterValues &values, int index, const void *param,
                    HostStringCaller caller = HostStringCaller::FREI0R_HOST) noexcept;

// Writes the value in effect; for the blend mode a pointer to the instance's
// copy of its name.
void GetFilterParam(FilterValues &values, int index, void *param) noexcept;

// The record as the pre-render fills it for a width x height frame at full
// resolution with square pixels: the centre at (x * width, y * height)
// rounded to 1/65536 pixel, radius and feather times the width, the rest as
// the effect's parameters take them; moved to a buffer whose first pixel is
// the frame's top left.
RingRenderInfo FilterRenderInfo(const FilterValues &values, uint32_t width, uint32_t height) noexcept;
