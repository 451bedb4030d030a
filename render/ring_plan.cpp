#include "render/ring_plan.h"

#include <cmath>
#include <limits>

#include "params/ring_params.h"
#include "render/blend_modes.h"

namespace {

// The bounds stay a relative 2^-20 inside the exact boundary, far more than
// the few units in the last place by which the full computation's square
// root, subtraction and division can err, so a pixel they pass over is one
// the full computation also gives coverage 0.
constexpr double PLAN_WIDEN = 1.0 + 0x1p-20;
constexpr double PLAN_NARROW = 1.0 - 0x1p-20;
// A disabled ramp leaves -2.0; noise up to this cannot lift it to 0.
constexpr double PLAN_DISABLED_NOISE_LIMIT = 1.9;
// A colour this large cannot overflow in any blend formula.
constexpr float PLAN_MODERATE_COLOR = 0x1p100f;

double Square(double v) noexcept { return v * v; }

bool IsModerate(float c) noexcept { return std::fabs(c) <= PLAN_MODERATE_COLOR; }

// Outside this squared distance the outer ramp plus noise is below 0.
double OuterBound(const RingRenderInfo &info, double noise_max) noexcept {
    if (info.feather > 0.0) {
        const double reach = info.radius + info.feather * (1.0 + noise_max);
        return std::isfinite(reach) ? Square(reach * PLAN_WIDEN) : std::numeric_limits<double>::infinity();
    }
    if (noise_max < PLAN_DISABLED_NOISE_LIMIT) {
        return Square(info.radius * PLAN_WIDEN);
    }
    return std::numeric_limits<double>::infinity();
}

// Inside this squared distance the inner ramp plus noise is below 0. The
// inner ramp is d / (expand * radius) + inner_offset, whatever inner_offset
// holds.
double InnerBound(const RingRenderInfo &info, double noise_max) noexcept {
    if (info.expand > 0.0) {
        const double width = info.expand * info.radius;
        const double offset = info.inner_offset;
        if (!(width >= std::numeric_limits<double>::min()) || !std::isfinite(width) || !std::isfinite(offset)) {
            return 0.0;
        }
        const double slack = (std::fabs(offset) + noise_max) * 0x1p-20;
        const double limit = -offset - noise_max - slack;
        if (!(limit > 0.0)) {
            return 0.0;
        }
        return Square(std::fmin(width * limit, info.radius) * PLAN_NARROW);
    }
    if (noise_max < PLAN_DISABLED_NOISE_LIMIT) {
        return Square(info.radius * PLAN_NARROW);
    }
    return 0.0;
}

}  // namespace

RingPlan MakeRingPlan(const RingRenderInfo &info) noexcept {
    RingPlan plan{};
    // d² < 0 and d² > infinity never hold: no pixel is passed over.
    plan.inner_sq = 0.0;
    plan.outer_sq = std::numeric_limits<double>::infinity();
    const double noise_max = info.scatter > 0.0 ? 255.0 * info.scatter : 0.0;
    if (info.radius >= 0.0 && std::isfinite(info.radius) && std::isfinite(noise_max)) {
        plan.inner_sq = InnerBound(info, noise_max);
        plan.outer_sq = OuterBound(info, noise_max);
    }
    plan.zero = RingFinish(info, 0.0);
    plan.zero_is_plain = plan.zero.f == 0.0 && IsModerate(plan.zero.red) && IsModerate(plan.zero.green) &&
                         IsModerate(plan.zero.blue);
    const auto unused8 = [](uint32_t) noexcept { return 0.0f; };
    BlendInteger<PF_Pixel, uint8_t, 255>(BLEND_NONE, plan.zero, PF_Pixel{}, plan.none8, unused8);
    BlendInteger<PF_Pixel16, uint16_t, 32768>(BLEND_NONE, plan.zero, PF_Pixel16{}, plan.none16, unused8);
    BlendFloat(BLEND_NONE, plan.zero, PF_PixelFloat{}, plan.none_float);
    return plan;
}

