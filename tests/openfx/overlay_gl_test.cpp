// The bundle's overlay drawn through OpenGL into a headless context whose
// projection maps canonical coordinates as a host's viewer does (natively,
// and under Wine where it has a display), read back:
// the circles and crosshair lit where they must be, at several sizes,
// centres, pixel scales and a pixel aspect of 2, nothing drawn elsewhere,
// and the host's OpenGL state left as it was.
#if defined(_WIN32)
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/openfx/headless_gl.h"
#include "tests/openfx/ofx_test_host.h"

namespace tidalhalo::ofxtest {
namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int WIDTH = 320;
constexpr int HEIGHT = 240;
constexpr uint8_t BACKGROUND = 128;

struct Case {
    const char *name;
    double x0, y0, sx, sy;  // the viewer: canonical origin and units per screen pixel
    double cx, cy, radius, feather, expand;
};

// A grey viewer 320 x 240 pixels. Anamorphic: pixels twice as wide as high
// shown unsqueezed, so a canonical unit is half a screen pixel across.
constexpr Case CASES[] = {
    {"plain", 0, 0, 1, 1, 160, 120, 80, 20, 50},
    {"pixel scale 2", 0, 0, 2, 2, 320, 240, 150, 40, 20},
    {"pixel aspect 2", 0, 0, 2, 1, 320, 120, 100, 10, 50},
    {"centre off the frame", 0, 0, 1, 1, -50, 120, 150, 30, 40},
    {"small, moved viewer", 1000, -500, 0.5, 0.5, 1060, -440, 6, 3, 0},
};

class OverlayGl : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(_WIN32)
        // Wine makes OpenGL contexts only on an X display; a run given one
        // sets TIDALHALO_REQUIRE_GL so that a missing context fails it.
        try {
            gl_ = std::make_unique<HeadlessGl>(WIDTH, HEIGHT);
        } catch (const std::runtime_error &error) {
            const char *required = std::getenv("TIDALHALO_REQUIRE_GL");
            if (required == nullptr || *required == '\0') GTEST_SKIP() << error.what();
            FAIL() << error.what();
        }
#else
        gl_ = std::make_unique<HeadlessGl>(WIDTH, HEIGHT);
#endif
        host_ = std::make_unique<TestHost>(TIDALHALO_OFX_PLUGIN);
        ASSERT_EQ(host_->Load(), kOfxStatOK);
        ASSERT_EQ(host_->Describe(), kOfxStatOK);
        ASSERT_EQ(host_->DescribeInContext(), kOfxStatOK);
        instance_ = host_->CreateInstance({0, 0, 1920, 1080});
        ASSERT_NE(instance_, nullptr);
        interact_ = host_->CreateOverlay(*instance_);
        ASSERT_NE(interact_, nullptr);
    }

    std::vector<uint8_t> Draw(const Case &c, OfxStatus expected = kOfxStatOK) {
        host_->SetParam(*instance_, "center", {c.cx, c.cy});
        host_->SetParam(*instance_, "radius", {c.radius});
        host_->SetParam(*instance_, "feather", {c.feather});
        host_->SetParam(*instance_, "expand", {c.expand});
        gl_->Prepare(c.x0, c.y0, c.sx, c.sy, BACKGROUND);
        OverlayEvent event;
        event.scale_x = c.sx;
        event.scale_y = c.sy;
        EXPECT_EQ(host_->Draw(*interact_, event), expected);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return gl_->ReadPixels();
    }

    std::unique_ptr<HeadlessGl> gl_;
    std::unique_ptr<TestHost> host_;
    Effect *instance_ = nullptr;
    Interact *interact_ = nullptr;
};

const uint8_t *At(const std::vector<uint8_t> &pixels, int x, int y) {
    return &pixels[(static_cast<std::size_t>(y) * WIDTH + static_cast<std::size_t>(x)) * 4];
}
bool Light(const uint8_t *p) { return p[0] > 180 && p[1] > 180 && p[2] > 180; }
bool Dark(const uint8_t *p) { return p[0] < 60 && p[1] < 60 && p[2] < 60; }
bool Background(const uint8_t *p) { return p[0] == BACKGROUND && p[1] == BACKGROUND && p[2] == BACKGROUND; }

// Whether a light pixel lies within one pixel of the screen point.
bool LitNear(const std::vector<uint8_t> &pixels, double x, double y) {
    const int px = static_cast<int>(std::floor(x));
    const int py = static_cast<int>(std::floor(y));
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (Light(At(pixels, px + dx, py + dy))) return true;
        }
    }
    return false;
}

bool Inside(double x, double y) { return x >= 3 && y >= 3 && x < WIDTH - 3 && y < HEIGHT - 3; }

std::vector<double> Radii(const Case &c) {
    std::vector<double> radii{c.radius};
    if (c.expand > 0) radii.push_back(c.radius * (1 - c.expand / 100));
    if (c.feather > 0) radii.push_back(c.radius + c.feather);
    return radii;
}

// Screen pixels from a pixel's centre to the nearest line the overlay draws.
double PixelsToLines(const Case &c, int x, int y) {
    const double sx = c.x0 + (x + 0.5) * c.sx - c.cx;  // canonical, from the centre
    const double sy = c.y0 + (y + 0.5) * c.sy - c.cy;
    double nearest = 1e300;
    const double d = std::hypot(sx, sy);
    for (double radius : Radii(c)) {
        const double along = d > 0 ? std::hypot(sx / d / c.sx, sy / d / c.sy) : 1 / c.sx;
        nearest = std::fmin(nearest, std::fabs(d - radius) * along);
    }
    const double px = sx / c.sx, py = sy / c.sy;  // screen pixels from the centre
    nearest = std::fmin(nearest, std::hypot(std::fmax(std::fabs(px) - 10, 0.0), py));
    nearest = std::fmin(nearest, std::hypot(px, std::fmax(std::fabs(py) - 10, 0.0)));
    return nearest;
}

TEST_F(OverlayGl, CirclesAndCrosshairAreLitWhereTheyMustBeAndNothingElsewhere) {
    for (const Case &c : CASES) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> pixels = Draw(c);
        int checked = 0;
        for (double radius : Radii(c)) {
            for (int step = 0; step < 720; ++step) {
                const double angle = 2 * PI * step / 720;
                const double x = (c.cx + radius * std::cos(angle) - c.x0) / c.sx;
                const double y = (c.cy + radius * std::sin(angle) - c.y0) / c.sy;
                if (!Inside(x, y)) continue;
                ++checked;
                ASSERT_TRUE(LitNear(pixels, x, y)) << "circle " << radius << " at " << x << ", " << y;
            }
        }
        const double center_x = (c.cx - c.x0) / c.sx, center_y = (c.cy - c.y0) / c.sy;
        for (double t = -9; t <= 9; t += 0.5) {
            for (auto [x, y] : {std::pair{center_x + t, center_y}, std::pair{center_x, center_y + t}}) {
                if (!Inside(x, y)) continue;
                ++checked;
                ASSERT_TRUE(LitNear(pixels, x, y)) << "crosshair at " << x << ", " << y;
            }
        }
        EXPECT_GT(checked, 100);
        int lit = 0, dark = 0;
        for (int y = 0; y < HEIGHT; ++y) {
            for (int x = 0; x < WIDTH; ++x) {
                const uint8_t *p = At(pixels, x, y);
                lit += Light(p);
                dark += Dark(p);
                if (PixelsToLines(c, x, y) > 4.0) {
                    ASSERT_TRUE(Background(p)) << "drawn at " << x << ", " << y;
                }
            }
        }
        // The dark outline beside the light line shows over light pictures.
        EXPECT_GT(dark, lit / 2);
    }
}

TEST_F(OverlayGl, ThePartUnderThePenIsBrighter) {
    const Case &c = CASES[0];
    const std::vector<uint8_t> before = Draw(c);
    OverlayEvent pen;
    pen.x = c.cx + c.radius + 1;
    pen.y = c.cy;
    EXPECT_EQ(host_->Pen(*interact_, kOfxInteractActionPenMotion, pen), kOfxStatReplyDefault);
    const std::vector<uint8_t> after = Draw(c);
    int brighter = 0, dimmer = 0;
    for (std::size_t i = 0; i < before.size(); i += 4) {
        brighter += after[i] > before[i] && Light(&before[i]);
        dimmer += after[i] < before[i] && Light(&before[i]);
    }
    EXPECT_GT(brighter, 100);
    EXPECT_EQ(dimmer, 0);
}

struct GlState {
    GLfloat projection[16], modelview[16], colour[4], line_width, clear[4];
    GLint matrix_mode, viewport[4];
    GLboolean blend, texture, line_smooth, depth;
    GLint blend_source;

    static GlState Read() {
        GlState s;
        std::memset(&s, 0, sizeof s);  // padding too, for the comparison
        glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview);
        glGetFloatv(GL_CURRENT_COLOR, s.colour);
        glGetFloatv(GL_LINE_WIDTH, &s.line_width);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clear);
        glGetIntegerv(GL_MATRIX_MODE, &s.matrix_mode);
        glGetIntegerv(GL_VIEWPORT, s.viewport);
        glGetIntegerv(GL_BLEND_SRC, &s.blend_source);
        s.blend = glIsEnabled(GL_BLEND);
        s.texture = glIsEnabled(GL_TEXTURE_2D);
        s.line_smooth = glIsEnabled(GL_LINE_SMOOTH);
        s.depth = glIsEnabled(GL_DEPTH_TEST);
        return s;
    }
};

TEST_F(OverlayGl, TheHostsStateIsLeftAsItWas) {
    const Case &c = CASES[1];
    gl_->Prepare(c.x0, c.y0, c.sx, c.sy, BACKGROUND);
    glColor4f(0.25f, 0.5f, 0.75f, 0.125f);
    glLineWidth(5.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_TEXTURE);
    const GlState before = GlState::Read();
    OverlayEvent event;
    event.scale_x = c.sx;
    event.scale_y = c.sy;
    host_->SetParam(*instance_, "center", {c.cx, c.cy});
    EXPECT_EQ(host_->Draw(*interact_, event), kOfxStatOK);
    const GlState after = GlState::Read();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(after.line_width, 5.0f);
    EXPECT_EQ(after.matrix_mode, GL_TEXTURE);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A program that paints everything red.
GLuint RedProgram() {
    auto create_shader = reinterpret_cast<PFNGLCREATESHADERPROC>(HeadlessGl::Proc("glCreateShader"));
    auto source = reinterpret_cast<PFNGLSHADERSOURCEPROC>(HeadlessGl::Proc("glShaderSource"));
    auto compile = reinterpret_cast<PFNGLCOMPILESHADERPROC>(HeadlessGl::Proc("glCompileShader"));
    auto create_program = reinterpret_cast<PFNGLCREATEPROGRAMPROC>(HeadlessGl::Proc("glCreateProgram"));
    auto attach = reinterpret_cast<PFNGLATTACHSHADERPROC>(HeadlessGl::Proc("glAttachShader"));
    auto link = reinterpret_cast<PFNGLLINKPROGRAMPROC>(HeadlessGl::Proc("glLinkProgram"));
    const char *vertex = "void main() { gl_Position = ftransform(); }";
    const char *fragment = "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }";
    const GLuint program = create_program();
    for (auto [kind, text] : {std::pair{GL_VERTEX_SHADER, vertex}, std::pair{GL_FRAGMENT_SHADER, fragment}}) {
        const GLuint shader = create_shader(static_cast<GLenum>(kind));
        source(shader, 1, &text, nullptr);
        compile(shader);
        attach(program, shader);
    }
    link(program);
    return program;
}

TEST_F(OverlayGl, AProgramTheHostLeftBoundNeitherColoursTheLinesNorIsLost) {
    auto use_program = reinterpret_cast<PFNGLUSEPROGRAMPROC>(HeadlessGl::Proc("glUseProgram"));
    const GLuint program = RedProgram();
    const Case &c = CASES[0];
    host_->SetParam(*instance_, "center", {c.cx, c.cy});
    gl_->Prepare(c.x0, c.y0, c.sx, c.sy, BACKGROUND);
    use_program(program);
    OverlayEvent event;
    EXPECT_EQ(host_->Draw(*interact_, event), kOfxStatOK);
    GLint bound = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), program);
    use_program(0);
    const std::vector<uint8_t> pixels = gl_->ReadPixels();
    int lit = 0, red = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        lit += Light(&pixels[i]);
        red += pixels[i] == 255 && pixels[i + 1] == 0;
    }
    EXPECT_GT(lit, 100);
    EXPECT_EQ(red, 0);
}

TEST_F(OverlayGl, NoCurrentContextOrBrokenValuesDrawNothing) {
    gl_->ReleaseCurrent();
    OverlayEvent event;
    EXPECT_EQ(host_->Draw(*interact_, event), kOfxStatFailed);
    gl_->MakeCurrent();
    Case broken = CASES[0];
    broken.radius = NAN;
    const std::vector<uint8_t> pixels = Draw(broken, kOfxStatReplyDefault);
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x) {
            ASSERT_TRUE(Background(At(pixels, x, y))) << x << ", " << y;
        }
    }
    EXPECT_TRUE(host_->Breaches().empty());
}

}  // namespace
}  // namespace tidalhalo::ofxtest
