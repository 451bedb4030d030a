// The coverage of a run in AVX2, four lanes a register, for the faces that
// shade whole rows; built only into them, and called only where the
// processor runs AVX2. Gives the bits RunStages gives in SSE2.
#pragma once

#include <cstdint>

#include "render/ring_render_info.h"

// f[k] for k below padded (a multiple of 4): the coverage of column x + k of
// row y, its noise already drawn into noise when the record scatters.
void RingRunStagesWide(const RingRenderInfo &info, int32_t x, int32_t y, const double *noise, uint32_t padded,
                       double *f) noexcept;
