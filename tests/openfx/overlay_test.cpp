// The bundle's overlay through our test host: which hosts it is offered to,
// the lines it asks the host's draw suite for, the handles the pen drags
// (each drag one undo step) and what broken arguments get. No OpenGL here,
// so these run under Wine too.
#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/openfx/ofx_test_host.h"

namespace tidalhalo::ofxtest {
namespace {

constexpr double PI = 3.14159265358979323846;
constexpr OfxRectD FRAME{0, 0, 1920, 1080};

// A described effect with one instance and its overlay, the ring at
// (700, 400), radius 200, feather 50, expand 30.
struct Overlay {
    std::unique_ptr<TestHost> host;
    Effect *instance = nullptr;
    Interact *interact = nullptr;

    explicit Overlay(HostOptions options = {}, const std::vector<double> &suggested = {}) {
        host = std::make_unique<TestHost>(TIDALHALO_OFX_PLUGIN, options);
        EXPECT_EQ(host->Load(), kOfxStatOK);
        EXPECT_EQ(host->Describe(), kOfxStatOK);
        EXPECT_EQ(host->DescribeInContext(), kOfxStatOK);
        instance = host->CreateInstance(FRAME);
        if (instance == nullptr) throw std::runtime_error("no instance");
        host->SetParam(*instance, "center", {700, 400});
        host->SetParam(*instance, "radius", {200});
        host->SetParam(*instance, "feather", {50});
        host->SetParam(*instance, "expand", {30});
        interact = host->CreateOverlay(*instance, suggested);
        if (interact == nullptr) throw std::runtime_error("no overlay");
    }
    std::vector<double> Value(const char *name) { return host->FindParam(*instance, name)->values; }
    OfxStatus Pen(const char *action, double x, double y, double scale = 1.0, double time = 0.0) {
        OverlayEvent event;
        event.x = x;
        event.y = y;
        event.scale_x = event.scale_y = scale;
        event.time = time;
        return host->Pen(*interact, action, event);
    }
};

HostOptions WithDrawSuite() {
    HostOptions options;
    options.draw_suite = true;
    return options;
}

TEST(OfxOverlayDescribe, OnlyHostsThatShowOverlaysAreGivenOne) {
    for (int shows : {1, 0, -1}) {
        SCOPED_TRACE(shows);
        HostOptions options;
        options.overlays = shows;
        TestHost host(TIDALHALO_OFX_PLUGIN, options);
        ASSERT_EQ(host.Load(), kOfxStatOK);
        ASSERT_EQ(host.Describe(), kOfxStatOK);
        ASSERT_EQ(host.DescribeInContext(), kOfxStatOK);
        EXPECT_EQ(host.OverlayEntry() != nullptr, shows == 1);
        EXPECT_EQ(host.OverlayEntry(true), nullptr);  // no draw suite offered
        // The effect works as before either way.
        Effect *instance = host.CreateInstance(FRAME);
        ASSERT_NE(instance, nullptr);
        HostImage output = HostImage::Make(kOfxBitDepthByte, {0, 0, 64, 64}, 0, false);
        EXPECT_EQ(host.Render(*instance, RenderRequest{0, 1, 1, {0, 0, 64, 64}}, nullptr, &output), kOfxStatOK);
        EXPECT_TRUE(host.Breaches().empty()) << host.Breaches()[0];
    }
}

TEST(OfxOverlayDescribe, HostsWithADrawSuiteAreGivenTheSameEntryAsV2) {
    TestHost host(TIDALHALO_OFX_PLUGIN, WithDrawSuite());
    ASSERT_EQ(host.Load(), kOfxStatOK);
    ASSERT_EQ(host.Describe(), kOfxStatOK);
    ASSERT_NE(host.OverlayEntry(), nullptr);
    EXPECT_EQ(host.OverlayEntry(true), host.OverlayEntry());
}

TEST(OfxOverlayDescribe, TheOverlayIsSlavedToItsFourParametersAndAsksForNoHostHandle) {
    Overlay overlay;
    const Property *slaves = overlay.interact->props.Find(kOfxInteractPropSlaveToParam);
    ASSERT_NE(slaves, nullptr);
    EXPECT_EQ(slaves->strings, (std::vector<std::string>{"center", "radius", "feather", "expand"}));
    const Property *host_handle =
        overlay.host->FindParam(*overlay.instance, "center")->props.Find(kOfxParamPropUseHostOverlayHandle);
    ASSERT_NE(host_handle, nullptr);
    EXPECT_TRUE(host_handle->ints.empty() || host_handle->ints[0] == 0);
    EXPECT_TRUE(overlay.host->Breaches().empty());
}

// The recorded strokes: colour, width, primitive and points of each draw.
struct Stroke {
    OfxRGBAColourF colour;
    float width;
    int primitive;
    std::vector<OfxPointD> points;
};

std::vector<Stroke> Strokes(const DrawRecording &recording) {
    std::vector<Stroke> strokes;
    OfxRGBAColourF colour{-1, -1, -1, -1};
    float width = -1;
    for (const DrawCall &call : recording.calls) {
        if (call.what == "setColour") colour = call.colour;
        if (call.what == "setLineWidth") width = call.width;
        if (call.what == "draw") strokes.push_back({colour, width, call.primitive, call.points});
    }
    return strokes;
}

// Every point of a loop on the circle, and few enough segments spent that
// no chord strays more than half a screen pixel but not far fewer.
void ExpectCircle(const Stroke &stroke, double cx, double cy, double radius, double sx, double sy) {
    ASSERT_EQ(stroke.primitive, kOfxDrawPrimitiveLineLoop);
    for (const OfxPointD &point : stroke.points) {
        ASSERT_NEAR(std::hypot(point.x - cx, point.y - cy), radius, radius * 1e-12);
    }
    const double screen_radius = radius / std::fmin(sx, sy);
    const double n = static_cast<double>(stroke.points.size());
    EXPECT_LE(screen_radius * (1 - std::cos(PI / n)), 0.5) << radius;
    EXPECT_GT(screen_radius * (1 - std::cos(PI / (n / 2))), 0.5) << radius;  // not twice what it needs
}

TEST(OfxOverlayDrawSuite, DrawsTheThreeCirclesAndTheCrosshairOutlinedAtEveryScale) {
    Overlay overlay(WithDrawSuite());
    for (auto [sx, sy] : {std::pair{1.0, 1.0}, std::pair{2.0, 2.0}, std::pair{0.25, 0.5}}) {
        SCOPED_TRACE(sx);
        DrawRecording recording;
        OverlayEvent event;
        event.scale_x = sx;
        event.scale_y = sy;
        event.draw_context = &recording;
        ASSERT_EQ(overlay.host->Draw(*overlay.interact, event), kOfxStatOK);
        const std::vector<Stroke> strokes = Strokes(recording);
        ASSERT_EQ(strokes.size(), 8u);
        const double radii[3] = {200, 140, 250};  // full, where the inner ramp starts, where the outer ends
        for (int outline = 0; outline < 2; ++outline) {
            for (int i = 0; i < 4; ++i) {
                const Stroke &stroke = strokes[static_cast<std::size_t>(outline * 4 + i)];
                EXPECT_FLOAT_EQ(stroke.width, outline == 0 ? 3.5f : 1.5f);
                EXPECT_EQ(stroke.colour.a, 1.0f);
                // Dark outlines under light lines.
                EXPECT_LT(stroke.colour.r + stroke.colour.g + stroke.colour.b, outline == 0 ? 0.5f : 3.0f);
                EXPECT_GT(stroke.colour.r + stroke.colour.g + stroke.colour.b, outline == 0 ? 0.0f : 2.0f);
                if (i < 3) {
                    ExpectCircle(stroke, 700, 400, radii[i], sx, sy);
                } else {
                    ASSERT_EQ(stroke.primitive, kOfxDrawPrimitiveLines);
                    ASSERT_EQ(stroke.points.size(), 4u);
                    EXPECT_EQ(stroke.points[0].x, 700 - 10 * sx);
                    EXPECT_EQ(stroke.points[1].x, 700 + 10 * sx);
                    EXPECT_EQ(stroke.points[2].y, 400 - 10 * sy);
                    EXPECT_EQ(stroke.points[3].y, 400 + 10 * sy);
                    EXPECT_EQ(stroke.points[0].y, 400);
                    EXPECT_EQ(stroke.points[2].x, 700);
                }
            }
        }
    }
    EXPECT_TRUE(overlay.host->Breaches().empty());
}

TEST(OfxOverlayDrawSuite, NoFeatherOrExpandLeavesThoseCirclesOutAndNotNumbersDrawNothing) {
    OverlayEvent event;
    {
        Overlay overlay(WithDrawSuite());
        overlay.host->SetParam(*overlay.instance, "feather", {0});
        overlay.host->SetParam(*overlay.instance, "expand", {0});
        DrawRecording recording;
        event.draw_context = &recording;
        ASSERT_EQ(overlay.host->Draw(*overlay.interact, event), kOfxStatOK);
        std::vector<Stroke> strokes = Strokes(recording);
        ASSERT_EQ(strokes.size(), 4u);
        ExpectCircle(strokes[2], 700, 400, 200, 1, 1);
        EXPECT_EQ(strokes[3].primitive, kOfxDrawPrimitiveLines);
    }
    // One host at a time: the plug-in serves the host that loaded it last.
    for (const char *name : {"radius", "feather", "expand", "center"}) {
        SCOPED_TRACE(name);
        Overlay broken(WithDrawSuite());
        broken.host->SetParam(*broken.instance, name,
                              std::string(name) == "center" ? std::vector<double>{NAN, 5} : std::vector<double>{NAN});
        DrawRecording none;
        event.draw_context = &none;
        EXPECT_NE(broken.host->Draw(*broken.interact, event), kOfxStatOK);
        EXPECT_TRUE(Strokes(none).empty());
    }
}

TEST(OfxOverlayDrawSuite, ExtremeZoomsKeepTheSegmentsBounded) {
    Overlay overlay(WithDrawSuite());
    for (auto [scale, segments] : {std::pair{1e-9, 65536u}, std::pair{1e9, 8u}}) {
        DrawRecording recording;
        OverlayEvent event;
        event.scale_x = event.scale_y = scale;
        event.draw_context = &recording;
        ASSERT_EQ(overlay.host->Draw(*overlay.interact, event), kOfxStatOK);
        const std::vector<Stroke> strokes = Strokes(recording);
        ASSERT_EQ(strokes.size(), 8u);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(strokes[static_cast<std::size_t>(i)].points.size(), segments) << scale;
    }
}

TEST(OfxOverlayDrawSuite, LinesTakeTheSuggestedColourAndThePartUnderThePenIsBrighter) {
    Overlay overlay(WithDrawSuite(), {1.0, 0.5, 0.0});
    OverlayEvent event;
    DrawRecording before;
    event.draw_context = &before;
    ASSERT_EQ(overlay.host->Draw(*overlay.interact, event), kOfxStatOK);
    for (std::size_t i = 4; i < 8; ++i) {
        const OfxRGBAColourF c = Strokes(before)[i].colour;
        EXPECT_EQ(c.r, 1.0f);
        EXPECT_EQ(c.g, 0.5f);
        EXPECT_EQ(c.b, 0.0f);
    }
    // Over the full circle, the pen lights it and asks for a redraw.
    const int redraws = overlay.interact->redraws;
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, 700, 603), kOfxStatReplyDefault);
    EXPECT_GT(overlay.interact->redraws, redraws);
    DrawRecording lit;
    event.draw_context = &lit;
    ASSERT_EQ(overlay.host->Draw(*overlay.interact, event), kOfxStatOK);
    const std::vector<Stroke> strokes = Strokes(lit);
    EXPECT_GT(strokes[4].colour.g, 0.5f);   // the full circle
    EXPECT_GT(strokes[4].colour.b, 0.0f);
    EXPECT_EQ(strokes[5].colour.g, 0.5f);   // the others as they were
    EXPECT_EQ(strokes[7].colour.g, 0.5f);
}

// The edits of one drag: one begin, the sets, one end.
void ExpectOneDrag(const std::vector<std::string> &edits, const std::string &last_set) {
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().rfind("begin ", 0), 0u) << edits.front();
    EXPECT_EQ(edits.back(), "end");
    for (std::size_t i = 1; i + 1 < edits.size(); ++i) {
        EXPECT_EQ(edits[i].rfind("begin", 0), std::string::npos);
        EXPECT_NE(edits[i], "end");
    }
    EXPECT_EQ(edits[edits.size() - 2], last_set);
}

TEST(OfxOverlayPen, DragsTheCentreKeepingWhereItWasTaken) {
    Overlay overlay;
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, 705, 396), kOfxStatOK);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, 755, 421), kOfxStatOK);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, 805, 446), kOfxStatOK);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenUp, 805, 446), kOfxStatOK);
    EXPECT_EQ(overlay.Value("center"), (std::vector<double>{800, 450}));
    ExpectOneDrag(overlay.host->Edits(), "set center 800 450");
    EXPECT_GT(overlay.interact->redraws, 0);
    EXPECT_TRUE(overlay.host->Breaches().empty());
}

TEST(OfxOverlayPen, DragsTheRadiusToThePensDistanceWithinItsRange) {
    Overlay overlay;
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, 700, 607), kOfxStatOK);  // 7 pixels outside
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, 700 + 180, 400 + 135), kOfxStatOK);
    EXPECT_EQ(overlay.Value("radius"), std::vector<double>{225});
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, 700 + 30000, 400), kOfxStatOK);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenUp, 700 + 30000, 400), kOfxStatOK);
    EXPECT_EQ(overlay.Value("radius"), std::vector<double>{10000});
    EXPECT_EQ(overlay.Value("center"), (std::vector<double>{700, 400}));
    ExpectOneDrag(overlay.host->Edits(), "set radius 10000");
}

TEST(OfxOverlayPen, DragsTheFeatherNeverBelowNothing) {
    Overlay overlay;
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, 700 - 256, 400), kOfxStatOK);  // 6 pixels outside the outer circle
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, 700, 400 - 300), kOfxStatOK);
    EXPECT_EQ(overlay.Value("feather"), std::vector<double>{100});
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenUp, 700, 400 + 150), kOfxStatOK);
    EXPECT_EQ(overlay.Value("feather"), std::vector<double>{0});
    EXPECT_EQ(overlay.Value("radius"), std::vector<double>{200});
    ExpectOneDrag(overlay.host->Edits(), "set feather 0");
}

TEST(OfxOverlayPen, HandlesAreReachedInScreenPixelsOnEachAxis) {
    Overlay overlay;
    // At 2 canonical units per pixel, 14 units is 7 pixels: the centre.
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, 714, 400, 2.0), kOfxStatOK);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenUp, 714, 400, 2.0), kOfxStatOK);
    EXPECT_EQ(overlay.Value("center"), (std::vector<double>{700, 400}));
    // At 0.5, 7 units is 14 pixels: nothing; 3.5 units is 7 pixels: the centre.
    overlay.host->ClearEdits();
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, 707, 400, 0.5), kOfxStatReplyDefault);
    EXPECT_TRUE(overlay.host->Edits().empty());
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, 703.5, 400, 0.5), kOfxStatOK);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenUp, 703.5, 400, 0.5), kOfxStatOK);
}

TEST(OfxOverlayPen, APenDownElsewhereIsLeftToTheHostAndChangesNothing) {
    Overlay overlay;
    for (auto [x, y] : {std::pair{100.0, 100.0}, std::pair{700.0 + 100, 400.0}, std::pair{700.0 + 225, 400.0},
                        std::pair{700.0 + 265, 400.0}}) {
        EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, x, y), kOfxStatReplyDefault) << x;
        EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, x + 40, y + 40), kOfxStatReplyDefault);
        EXPECT_EQ(overlay.Pen(kOfxInteractActionPenUp, x + 40, y + 40), kOfxStatReplyDefault);
    }
    EXPECT_TRUE(overlay.host->Edits().empty());
    EXPECT_EQ(overlay.Value("center"), (std::vector<double>{700, 400}));
    EXPECT_EQ(overlay.Value("radius"), std::vector<double>{200});
    EXPECT_EQ(overlay.Value("feather"), std::vector<double>{50});
    for (const char *action : {kOfxInteractActionKeyDown, kOfxInteractActionKeyUp, kOfxInteractActionKeyRepeat,
                               kOfxInteractActionGainFocus}) {
        PropertySet args = overlay.host->PenArgs(*overlay.interact, OverlayEvent{});
        EXPECT_EQ(overlay.host->OverlayCall(action, overlay.interact, &args), kOfxStatReplyDefault) << action;
    }
}

TEST(OfxOverlayPen, AnAnimatedParameterGetsAKeyAtTheActionsTime) {
    Overlay overlay;
    Param *radius = overlay.host->FindParam(*overlay.instance, "radius");
    radius->keys = {{0.0, {200}}, {10.0, {300}}};
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, 700 + 304, 400, 1.0, 10.0), kOfxStatOK);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, 700, 400 + 320, 1.0, 10.0), kOfxStatOK);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenUp, 700, 400 + 320, 1.0, 10.0), kOfxStatOK);
    EXPECT_EQ(radius->keys.at(10.0), std::vector<double>{320});
    EXPECT_EQ(radius->keys.at(0.0), std::vector<double>{200});
    ExpectOneDrag(overlay.host->Edits(), "key radius @10 320");
    EXPECT_TRUE(overlay.host->Breaches().empty()) << overlay.host->Breaches()[0];
}

TEST(OfxOverlayPen, LosingFocusEndsTheDrag) {
    Overlay overlay;
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, 700, 400), kOfxStatOK);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, 720, 410), kOfxStatOK);
    EXPECT_EQ(overlay.host->OverlayCall(kOfxInteractActionLoseFocus, overlay.interact, nullptr), kOfxStatOK);
    ExpectOneDrag(overlay.host->Edits(), "set center 720 410");
    overlay.host->ClearEdits();
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenMotion, 900, 900), kOfxStatReplyDefault);
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenUp, 900, 900), kOfxStatReplyDefault);
    EXPECT_TRUE(overlay.host->Edits().empty());
    EXPECT_EQ(overlay.Value("center"), (std::vector<double>{720, 410}));
    // Destroyed mid-drag, the edit is closed too.
    EXPECT_EQ(overlay.Pen(kOfxInteractActionPenDown, 720, 410), kOfxStatOK);
    EXPECT_EQ(overlay.host->DestroyOverlay(overlay.interact), kOfxStatOK);
    EXPECT_EQ(overlay.host->Edits().back(), "end");
    EXPECT_EQ(overlay.host->OpenEdits(), 0);
    EXPECT_TRUE(overlay.host->Breaches().empty());
}

TEST(OfxOverlayBadInput, BrokenArgumentsAnswerAFailureAndDrawOrChangeNothing) {
    Overlay overlay(WithDrawSuite());
    DrawRecording recording;
    OverlayEvent event;
    event.draw_context = &recording;
    overlay.host->Register(&recording, 'd');
    const std::vector<std::pair<std::string, std::function<void(PropertySet &)>>> breakages = {
        {"no pixel scale", [](PropertySet &a) { a.properties.erase(kOfxInteractPropPixelScale); }},
        {"zero pixel scale", [](PropertySet &a) { a.SetDoubles(kOfxInteractPropPixelScale, {0.0, 1.0}); }},
        {"negative pixel scale", [](PropertySet &a) { a.SetDoubles(kOfxInteractPropPixelScale, {1.0, -1.0}); }},
        {"infinite pixel scale", [](PropertySet &a) { a.SetDoubles(kOfxInteractPropPixelScale, {INFINITY, 1.0}); }},
        {"pixel scale of ints", [](PropertySet &a) { a.SetInts(kOfxInteractPropPixelScale, {1, 1}); }},
        {"no time", [](PropertySet &a) { a.properties.erase(kOfxPropTime); }},
        {"no pen", [](PropertySet &a) { a.properties.erase(kOfxInteractPropPenPosition); }},
        {"pen of ints", [](PropertySet &a) { a.SetInts(kOfxInteractPropPenPosition, {700, 400}); }},
        {"not a number pen", [](PropertySet &a) { a.SetDoubles(kOfxInteractPropPenPosition, {NAN, 400}); }},
        {"null effect", [](PropertySet &a) { a.SetPointer(kOfxPropEffectInstance, nullptr); }},
    };
    // The overlay's own properties stand in for missing ones; take them away.
    overlay.interact->props.properties.erase(kOfxInteractPropPixelScale);
    for (const auto &[what, breakage] : breakages) {
        SCOPED_TRACE(what);
        PropertySet draw_args = overlay.host->DrawArgs(*overlay.interact, event);
        breakage(draw_args);
        if (what.find("pen") == std::string::npos) {
            EXPECT_NE(overlay.host->OverlayCall(kOfxInteractActionDraw, overlay.interact, &draw_args), kOfxStatOK);
        }
        PropertySet pen_args = overlay.host->PenArgs(*overlay.interact, OverlayEvent{0, 1, 1, 700, 400, nullptr});
        breakage(pen_args);
        EXPECT_NE(overlay.host->OverlayCall(kOfxInteractActionPenDown, overlay.interact, &pen_args), kOfxStatOK);
    }
    EXPECT_TRUE(Strokes(recording).empty());
    EXPECT_TRUE(overlay.host->Edits().empty());
    for (const char *action : {kOfxInteractActionDraw, kOfxInteractActionPenDown, kOfxInteractActionPenMotion,
                               kOfxInteractActionPenUp, kOfxActionCreateInstance}) {
        PropertySet args = overlay.host->PenArgs(*overlay.interact, OverlayEvent{});
        EXPECT_EQ(overlay.host->OverlayCall(action, nullptr, &args), kOfxStatErrBadHandle) << action;
    }
    overlay.host->ClearBreaches();  // the wrong-typed reads are breaches the host saw
}

TEST(OfxOverlayBadInput, AnOpenGlDrawWithoutACurrentContextFails) {
    Overlay overlay;
    EXPECT_EQ(overlay.host->Draw(*overlay.interact, OverlayEvent{}), kOfxStatFailed);
    EXPECT_TRUE(overlay.host->Breaches().empty());
}

}  // namespace
}  // namespace tidalhalo::ofxtest
