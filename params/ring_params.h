// Parameter indices of the effect and the values of its blend-mode popup.
#pragma once

#include <cstdint>

enum RingParamIndex : int32_t {
    RING_INPUT = 0,  // the input layer, supplied by the host
    RING_CENTER = 1,
    RING_RADIUS = 2,
    RING_FEATHER = 3,
    RING_EXPAND = 4,
    RING_OPACITY = 5,
    RING_SCATTER = 6,
    RING_COLOR1 = 7,
    RING_COLOR2 = 8,
    RING_SMOOTH = 9,
    RING_BLEND_MODE = 10,
    RING_NUM_PARAMS = 11
};

// Popup values count from 1, in the order of the choice string.
enum RingBlendMode : int32_t {
    BLEND_NONE = 1,
    BLEND_NORMAL = 2,
    BLEND_ADD = 3,
    BLEND_STENCIL_MULTIPLY = 4,
    BLEND_STENCIL_MULTIPLY_ALPHA = 5
};
