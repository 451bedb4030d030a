#include "openfx/ofx_overlay.h"

#include <cmath>
#include <new>

namespace {

constexpr double OFX_OVERLAY_PI = 3.14159265358979323846;
constexpr double OFX_OVERLAY_SIZE_MAX = 10000.0;
constexpr double OFX_OVERLAY_PERCENT_MAX = 100.0;
constexpr int OFX_OVERLAY_MIN_SEGMENTS = 8;
// Dark enough to show a light line against white.
constexpr float OFX_OVERLAY_OUTLINE_COLOUR[4] = {0.08f, 0.08f, 0.08f, 1.0f};
// How far the lit part goes from its colour towards white.
constexpr float OFX_OVERLAY_LIT_MIX = 0.75f;

double Held(double value, double high) noexcept { return value < 0.0 ? 0.0 : (value > high ? high : value); }

struct Shape {
    OfxOverlayPart part;
    OfxDrawPrimitive primitive;
    std::vector<OfxPointD> points;
};

std::vector<OfxPointD> Circle(const OfxOverlayValues &values, double radius, const OfxOverlayView &view) {
    const int segments = OverlayCircleSegments(radius, view.pixel_scale_x, view.pixel_scale_y);
    std::vector<OfxPointD> points(static_cast<std::size_t>(segments));
    for (int i = 0; i < segments; ++i) {
        const double angle = 2.0 * OFX_OVERLAY_PI * static_cast<double>(i) / static_cast<double>(segments);
        points[static_cast<std::size_t>(i)] =
            OfxPointD{values.center_x + radius * std::cos(angle), values.center_y + radius * std::sin(angle)};
    }
    return points;
}

std::vector<OfxPointD> Crosshair(const OfxOverlayValues &values, const OfxOverlayView &view) {
    const double arm_x = OFX_OVERLAY_ARM_PIXELS * view.pixel_scale_x;
    const double arm_y = OFX_OVERLAY_ARM_PIXELS * view.pixel_scale_y;
    return {OfxPointD{values.center_x - arm_x, values.center_y}, OfxPointD{values.center_x + arm_x, values.center_y},
            OfxPointD{values.center_x, values.center_y - arm_y}, OfxPointD{values.center_x, values.center_y + arm_y}};
}

std::vector<Shape> Shapes(const OfxOverlayValues &values, const OfxOverlayView &view) {
    std::vector<Shape> shapes;
    if (values.radius > 0.0) {
        shapes.push_back({OfxOverlayPart::Radius, kOfxDrawPrimitiveLineLoop, Circle(values, values.radius, view)});
    }
    const double inner = values.radius * (1.0 - values.expand / 100.0);
    if (values.expand > 0.0 && inner > 0.0) {
        shapes.push_back({OfxOverlayPart::Expand, kOfxDrawPrimitiveLineLoop, Circle(values, inner, view)});
    }
    if (values.feather > 0.0) {
        shapes.push_back(
            {OfxOverlayPart::Feather, kOfxDrawPrimitiveLineLoop, Circle(values, values.radius + values.feather, view)});
    }
    shapes.push_back({OfxOverlayPart::Center, kOfxDrawPrimitiveLines, Crosshair(values, view)});
    return shapes;
}

float Channel(float value) noexcept { return value >= 0.0f ? (value <= 1.0f ? value : 1.0f) : 0.0f; }

}  // namespace

bool OverlayScaleValid(double pixel_scale_x, double pixel_scale_y) noexcept {
    return pixel_scale_x > 0.0 && pixel_scale_y > 0.0 && std::isfinite(pixel_scale_x) &&
           std::isfinite(pixel_scale_y);
}

bool OverlayValuesHeld(const OfxOverlayValues &values, OfxOverlayValues &held) noexcept {
    if (!std::isfinite(values.center_x) || !std::isfinite(values.center_y) || !std::isfinite(values.radius) ||
        !std::isfinite(values.feather) || !std::isfinite(values.expand)) {
        return false;
    }
    held.center_x = values.center_x;
    held.center_y = values.center_y;
    held.radius = Held(values.radius, OFX_OVERLAY_SIZE_MAX);
    held.feather = Held(values.feather, OFX_OVERLAY_SIZE_MAX);
    held.expand = Held(values.expand, OFX_OVERLAY_PERCENT_MAX);
    return true;
}

int OverlayCircleSegments(double radius, double pixel_scale_x, double pixel_scale_y) noexcept {
    if (!OverlayScaleValid(pixel_scale_x, pixel_scale_y) || !(radius > 0.0) || !std::isfinite(radius)) {
        return OFX_OVERLAY_MIN_SEGMENTS;
    }
    // The circle is an ellipse on screen; a chord's sagitta there is at most
    // that of the circle of its larger semi-axis, R (1 - cos(pi / n)).
    const double screen_radius = radius / std::fmin(pixel_scale_x, pixel_scale_y);
    if (!(screen_radius > 0.5)) {
        return OFX_OVERLAY_MIN_SEGMENTS;
    }
    // 1 - cos(t) = 2 sin(t / 2)^2 = 0.5 / R, written so that it keeps its
    // precision for large R.
    const double angle = 2.0 * std::asin(std::sqrt(0.25 / screen_radius));
    const double segments = std::ceil(OFX_OVERLAY_PI / angle);
    if (!(segments < static_cast<double>(OFX_OVERLAY_MAX_SEGMENTS))) {
        return OFX_OVERLAY_MAX_SEGMENTS;
    }
    const int count = static_cast<int>(segments);
    return count < OFX_OVERLAY_MIN_SEGMENTS ? OFX_OVERLAY_MIN_SEGMENTS : count;
}

std::vector<OfxOverlayStroke> OverlayStrokes(const OfxOverlayValues &values, const OfxOverlayView &view) noexcept {
    OfxOverlayValues held{};
    if (!OverlayScaleValid(view.pixel_scale_x, view.pixel_scale_y) || !OverlayValuesHeld(values, held)) {
        return {};
    }
    try {
        const std::vector<Shape> shapes = Shapes(held, view);
        std::vector<OfxOverlayStroke> strokes;
        strokes.reserve(shapes.size() * 2);
        for (const Shape &shape : shapes) {
            OfxOverlayStroke outline{shape.part, shape.primitive, {}, OFX_OVERLAY_OUTLINE_WIDTH, shape.points};
            for (int c = 0; c < 4; ++c) {
                outline.colour[c] = OFX_OVERLAY_OUTLINE_COLOUR[c];
            }
            strokes.push_back(std::move(outline));
        }
        for (const Shape &shape : shapes) {
            OfxOverlayStroke line{shape.part, shape.primitive, {}, OFX_OVERLAY_LINE_WIDTH, shape.points};
            const bool lit = view.lit != OfxOverlayPart::None && view.lit == shape.part;
            for (int c = 0; c < 3; ++c) {
                const float base = Channel(view.colour[c]);
                line.colour[c] = lit ? Channel(base + (1.0f - base) * OFX_OVERLAY_LIT_MIX) : base;
            }
            line.colour[3] = 1.0f;
            strokes.push_back(std::move(line));
        }
        return strokes;
    } catch (const std::bad_alloc &) {
        return {};
    }
}

double OverlayPixelsToCircle(const OfxOverlayValues &values, double circle_radius, double pixel_scale_x,
                             double pixel_scale_y, double pen_x, double pen_y) noexcept {
    const double dx = pen_x - values.center_x;
    const double dy = pen_y - values.center_y;
    const double distance = std::hypot(dx, dy);
    if (!(distance > 0.0)) {
        return circle_radius / std::fmax(pixel_scale_x, pixel_scale_y);
    }
    // A canonical length along the unit direction u spans |u / scale| screen pixels.
    const double per_unit = std::hypot(dx / distance / pixel_scale_x, dy / distance / pixel_scale_y);
    return std::fabs(distance - circle_radius) * per_unit;
}

OfxOverlayPart OverlayPartUnderPen(const OfxOverlayValues &values, double pixel_scale_x, double pixel_scale_y,
                                   double pen_x, double pen_y) noexcept {
    OfxOverlayValues held{};
    if (!OverlayScaleValid(pixel_scale_x, pixel_scale_y) || !OverlayValuesHeld(values, held) ||
        !std::isfinite(pen_x) || !std::isfinite(pen_y)) {
        return OfxOverlayPart::None;
    }
    const double to_center =
        std::hypot((pen_x - held.center_x) / pixel_scale_x, (pen_y - held.center_y) / pixel_scale_y);
    if (to_center <= OFX_OVERLAY_GRAB_PIXELS) {
        return OfxOverlayPart::Center;
    }
    if (OverlayPixelsToCircle(held, held.radius, pixel_scale_x, pixel_scale_y, pen_x, pen_y) <=
        OFX_OVERLAY_GRAB_PIXELS) {
        return OfxOverlayPart::Radius;
    }
    if (held.feather > 0.0 && OverlayPixelsToCircle(held, held.radius + held.feather, pixel_scale_x, pixel_scale_y,
                                                    pen_x, pen_y) <= OFX_OVERLAY_GRAB_PIXELS) {
        return OfxOverlayPart::Feather;
    }
    return OfxOverlayPart::None;
}
