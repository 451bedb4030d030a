#include "render/ring_plan.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <utility>

#include "params/ring_params.h"
#include "render/blend_modes.h"
#include "render/ring_coverage.h"

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

constexpr int64_t PLAN_FIRST_COLUMN = std::numeric_limits<int32_t>::min();
constexpr int64_t PLAN_LAST_COLUMN = std::numeric_limits<int32_t>::max();

// The nearest column to v within the columns' range; fallback for NaN.
int64_t ColumnNear(double v, int64_t fallback) noexcept {
    if (std::isnan(v)) {
        return fallback;
    }
    if (v <= static_cast<double>(PLAN_FIRST_COLUMN)) {
        return PLAN_FIRST_COLUMN;
    }
    if (v >= static_cast<double>(PLAN_LAST_COLUMN)) {
        return PLAN_LAST_COLUMN;
    }
    return static_cast<int64_t>(v);
}

// The first column of [first, last] where holds() is true, or last + 1 if
// none; holds() must be false and then true along the range. Starts at the
// guess and widens its steps, so that a good guess costs a few calls.
template <typename Holds>
int64_t FirstColumnWhere(int64_t first, int64_t last, int64_t guess, Holds holds) noexcept {
    guess = guess < first ? first : (guess > last ? last : guess);
    int64_t below = first - 1;  // holds() is false here, or it lies before the range
    int64_t above = last + 1;   // holds() is true here, or it lies past the range
    int64_t step = 1;
    if (holds(guess)) {
        above = guess;
        while (above - step >= first && holds(above - step)) {
            above -= step;
            step *= 2;
        }
        below = above - step >= first ? above - step : first - 1;
    } else {
        below = guess;
        while (below + step <= last && !holds(below + step)) {
            below += step;
            step *= 2;
        }
        above = below + step <= last ? below + step : last + 1;
    }
    while (above - below > 1) {
        const int64_t middle = below + (above - below) / 2;
        if (holds(middle)) {
            above = middle;
        } else {
            below = middle;
        }
    }
    return above;
}

double HorizontalOffset(const RingRenderInfo &info, int64_t x) noexcept {
    return static_cast<double>(static_cast<int32_t>(x)) * info.x_scale - info.center_x;
}

// The integer depths' pixel for a mode that ignores the source where the
// coverage is the plan's zero.
template <typename Pixel, typename Channel, uint32_t FULL>
Pixel ConstantPixel(int32_t blend_mode, const RingSample &zero) noexcept {
    const auto unit = [](uint32_t channel) noexcept { return static_cast<float>(channel) / static_cast<float>(FULL); };
    Pixel pixel{};
    BlendInteger<Pixel, Channel, FULL>(blend_mode, zero, Pixel{}, pixel, unit);
    return pixel;
}

RingUncovered IntegerUncovered(int32_t blend_mode, bool zero_is_plain, bool sixteen) noexcept {
    switch (blend_mode) {
    case BLEND_NONE:
        return RingUncovered::CONSTANT;
    case BLEND_NORMAL:
        return zero_is_plain ? RingUncovered::KEEP_COLOR : RingUncovered::BLEND;
    case BLEND_ADD:
        // 8-bit channels never exceed 255, so the clamp changes nothing there.
        if (!zero_is_plain) {
            return RingUncovered::BLEND;
        }
        return sixteen ? RingUncovered::KEEP_CLAMPED : RingUncovered::KEEP_COLOR;
    case BLEND_STENCIL_MULTIPLY:
    case BLEND_STENCIL_MULTIPLY_ALPHA:
        // Finite products times a zero coverage store 0 in every channel.
        return zero_is_plain ? RingUncovered::CONSTANT : RingUncovered::BLEND;
    default:
        return RingUncovered::WRITE_NOTHING;
    }
}

RingUncovered FloatUncovered(int32_t blend_mode, bool zero_is_plain) noexcept {
    switch (blend_mode) {
    case BLEND_NONE:
        return RingUncovered::CONSTANT;
    case BLEND_NORMAL:
        return zero_is_plain ? RingUncovered::NORMAL_FLOAT : RingUncovered::BLEND;
    case BLEND_ADD:
    case BLEND_STENCIL_MULTIPLY:
    case BLEND_STENCIL_MULTIPLY_ALPHA:
        return RingUncovered::BLEND;  // infinite or NaN sources carry through
    default:
        return RingUncovered::WRITE_NOTHING;
    }
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
    plan.scatter = info.scatter > 0.0;

    // Each step of the squared distance rounds monotonically, so with a
    // positive scale it falls until the horizontal offset turns
    // non-negative and rises from there on.
    plan.rows_have_spans = info.x_scale > 0.0 && std::isfinite(info.x_scale) && std::isfinite(info.center_x) &&
                           std::isfinite(info.center_y) && !std::isnan(plan.inner_sq) && !std::isnan(plan.outer_sq);
    if (plan.rows_have_spans) {
        plan.dx_turn = FirstColumnWhere(PLAN_FIRST_COLUMN, PLAN_LAST_COLUMN,
                                        ColumnNear(info.center_x / info.x_scale, 0),
                                        [&info](int64_t x) { return HorizontalOffset(info, x) >= 0.0; });
    }

    plan.uncovered8 = IntegerUncovered(info.blend_mode, plan.zero_is_plain, false);
    plan.uncovered16 = IntegerUncovered(info.blend_mode, plan.zero_is_plain, true);
    plan.uncovered_float = FloatUncovered(info.blend_mode, plan.zero_is_plain);
    plan.constant8 = ConstantPixel<PF_Pixel, uint8_t, 255>(info.blend_mode, plan.zero);
    plan.constant16 = ConstantPixel<PF_Pixel16, uint16_t, 32768>(info.blend_mode, plan.zero);
    BlendFloat(BLEND_NONE, plan.zero, PF_PixelFloat{}, plan.constant_float);
    return plan;
}

RingRowSpan MakeRingRowSpan(const RingRenderInfo &info, const RingPlan &plan, int32_t y) noexcept {
    // Without the falling-then-rising shape every column is checked by its distance.
    RingRowSpan span{PLAN_FIRST_COLUMN, uint64_t{1} << 32, 0, 0};
    if (!plan.rows_have_spans) {
        return span;
    }
    const auto distance = [&info, y](int64_t x) { return RingDistanceSquared(info, static_cast<int32_t>(x), y); };
    // The row's lowest squared distance lies at the turn or the column before it.
    int64_t lowest = plan.dx_turn > PLAN_LAST_COLUMN ? PLAN_LAST_COLUMN : plan.dx_turn;
    if (lowest > PLAN_FIRST_COLUMN && distance(lowest - 1) < distance(lowest)) {
        lowest -= 1;
    }
    const double dy = static_cast<double>(y) - info.center_y;
    // Where a squared distance of bound meets the row, to start the searches near it.
    const auto guesses = [&](double bound) {
        const double reach = std::sqrt(std::fmax(bound - dy * dy, 0.0));
        return std::pair{ColumnNear((info.center_x - reach) / info.x_scale, lowest),
                         ColumnNear((info.center_x + reach) / info.x_scale, lowest)};
    };
    // The columns where within(distance) holds: a run around the lowest.
    const auto run = [&](double bound, auto within) {
        if (!within(distance(lowest))) {
            return std::pair{int64_t{0}, uint64_t{0}};
        }
        const auto [left, right] = guesses(bound);
        const int64_t first = FirstColumnWhere(PLAN_FIRST_COLUMN, lowest, left,
                                               [&](int64_t x) { return within(distance(x)); });
        const int64_t end = FirstColumnWhere(lowest, PLAN_LAST_COLUMN, right,
                                             [&](int64_t x) { return !within(distance(x)); });
        return std::pair{first, static_cast<uint64_t>(end - first)};
    };
    const double outer = plan.outer_sq;
    const double inner = plan.inner_sq;
    std::tie(span.first, span.count) = run(outer, [outer](double d2) { return d2 <= outer; });
    std::tie(span.hole_first, span.hole_count) = run(inner, [inner](double d2) { return d2 < inner; });
    return span;
}
