// The filter's ten parameters as frei0r hosts see them: doubles, colours and
// a position in 0..1, scaled to the effect's own units and held within its
// valid ranges, and the render record they give for a frame.
#pragma once

#include <cstdint>

// frei0r.h declares its functions for C without saying so to C++.
extern "C" {
#include <frei0r.h>
}

#include "render/ring_render_info.h"

enum FilterParamIndex : int {
    FILTER_CENTER = 0,
    FILTER_RADIUS = 1,
    FILTER_FEATHER = 2,
    FILTER_EXPAND = 3,
    FILTER_OPACITY = 4,
    FILTER_SCATTER = 5,
    FILTER_COLOR1 = 6,
    FILTER_COLOR2 = 7,
    FILTER_SMOOTH = 8,
    FILTER_BLEND = 9,
    FILTER_NUM_PARAMS = 10
};

// The values in frei0r's units, always within range and never NaN.
struct FilterValues {
    f0r_param_position_t center;  // fractions of the frame's width and height
    double radius;                // x 1000 pixels
    double feather;               // x 1000 pixels
    double expand;                // x 100 percent
    double opacity;               // x 100 percent
    double scatter;               // x 512
    f0r_param_color_t color1;
    f0r_param_color_t color2;
    double smooth;  // 0 or 1
    int32_t blend_mode;
    char blend_name[32];  // the mode's name, handed out by f0r_get_param_value
};

FilterValues DefaultFilterValues() noexcept;

// False for an index outside 0..9, leaving info untouched.
bool DescribeFilterParam(int index, f0r_param_info_t &info) noexcept;

// Takes a host's value for one parameter. Values beyond the valid range are
// clamped to it, NaN gives the parameter's default, and so does a blend name
// that is none of the five; a null pointer or an unknown index changes
// nothing. The frame size bounds the centre to what a 16.16 point can hold.
void SetFilterParam(FilterValues &values, int index, const void *param, uint32_t width, uint32_t height) noexcept;

// Writes the value in effect; for the blend mode a pointer to the instance's
// copy of its name.
void GetFilterParam(FilterValues &values, int index, void *param) noexcept;

// The record as the pre-render fills it from these values, for a frame of
// this size at full resolution with square pixels, moved to a buffer whose
// first pixel is the frame's top left.
RingRenderInfo FilterRenderInfo(const FilterValues &values, uint32_t width, uint32_t height) noexcept;
