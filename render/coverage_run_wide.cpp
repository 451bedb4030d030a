// Compiled for AVX2 alone; reached only through RingRunStagesWide, on
// processors that have it. No fused multiply-add: each operation is the
// same IEEE operation as in SSE2, four lanes at a time.
#include "render/coverage_run_wide.h"

#include "render/wide_double_lanes.h"
#include "render/coverage_run.h"

void RingRunStagesWide(const RingRenderInfo &info, int32_t x, int32_t y, const double *noise, uint32_t padded,
                       double *f) noexcept {
    RunStages<WideDoubleLanes<1>>(info, x, y, noise, padded, f);
}
