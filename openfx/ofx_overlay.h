// What the on-screen overlay shows and where its handles are, in the host's
// canonical coordinates: one description of the lines that both drawing
// paths (OpenGL and the host's draw suite) draw as they stand, and the
// hit test the pen actions use.
#pragma once

#include <vector>

#include "openfx/ofx_api.h"

// The parameters the overlay shows, at one time, as the host holds them.
struct OfxOverlayValues {
    double center_x, center_y;
    double radius, feather, expand;
};

// The parts of the overlay; the first three are handles the pen can drag.
enum class OfxOverlayPart { None, Center, Radius, Feather, Expand };

// How the viewer shows canonical space: canonical units per screen pixel on
// each axis (an anamorphic viewer has two), the lines' colour and the part
// drawn brighter (under the pen or being dragged).
struct OfxOverlayView {
    double pixel_scale_x = 1.0;
    double pixel_scale_y = 1.0;
    float colour[3] = {0.75f, 0.75f, 0.75f};
    OfxOverlayPart lit = OfxOverlayPart::None;
};

// One run of lines: a closed loop through the points, or separate lines
// between each pair of them.
struct OfxOverlayStroke {
    OfxOverlayPart part = OfxOverlayPart::None;
    OfxDrawPrimitive primitive = kOfxDrawPrimitiveLineLoop;
    float colour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float width = 1.0f;  // in screen pixels
    std::vector<OfxPointD> points;
};

// Line widths in screen pixels: the line, and the dark outline drawn under
// it so that the line shows over white and black alike.
inline constexpr float OFX_OVERLAY_LINE_WIDTH = 1.5f;
inline constexpr float OFX_OVERLAY_OUTLINE_WIDTH = 3.5f;
// Each crosshair arm, and how near a handle the pen must come, in screen pixels.
inline constexpr double OFX_OVERLAY_ARM_PIXELS = 10.0;
inline constexpr double OFX_OVERLAY_GRAB_PIXELS = 8.0;
// The most segments a circle is drawn with.
inline constexpr int OFX_OVERLAY_MAX_SEGMENTS = 65536;

// Whether a pixel scale is usable: both positive and finite.
bool OverlayScaleValid(double pixel_scale_x, double pixel_scale_y) noexcept;

// The values within their parameters' ranges (radius and feather 0..10000,
// expand 0..100); false when any is not finite, which draws nothing.
bool OverlayValuesHeld(const OfxOverlayValues &values, OfxOverlayValues &held) noexcept;

// Segments for a circle of this canonical radius, enough that no chord
// strays more than half a screen pixel from the circle on either axis.
int OverlayCircleSegments(double radius, double pixel_scale_x, double pixel_scale_y) noexcept;

// The strokes in drawing order: every outline first, then every line, so
// that no outline covers a line. The full circle, the inner circle (expand
// > 0), the outer circle (feather > 0) and the crosshair. Empty when the
// values or the view are unusable or memory runs out.
std::vector<OfxOverlayStroke> OverlayStrokes(const OfxOverlayValues &values, const OfxOverlayView &view) noexcept;

// Screen pixels from the pen to a circle, measured along the line from the
// centre through the pen.
double OverlayPixelsToCircle(const OfxOverlayValues &values, double circle_radius, double pixel_scale_x,
                             double pixel_scale_y, double pen_x, double pen_y) noexcept;

// The handle a pen at this canonical position takes: the centre within 8
// screen pixels, else the full circle within 8, else the outer circle within
// 8; None otherwise or when the values or scale are unusable.
OfxOverlayPart OverlayPartUnderPen(const OfxOverlayValues &values, double pixel_scale_x, double pixel_scale_y,
                                   double pen_x, double pen_y) noexcept;
