// Draws the picture of the overlay for the docs: the bundle renders the
// ring over a picture through our test host, a headless OpenGL viewer shows
// the frame at twice its size, the overlay draws over it with the pen
// resting on the full circle, and the viewer's pixels are read back.
//   ofx_overlay_picture <Kv_Tidalhalo.ofx> <picture.png> <out.png>
#include <GL/gl.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <vector>

#include "cli/png_io.h"
#include "tests/openfx/headless_gl.h"
#include "tests/openfx/ofx_test_host.h"

namespace {

using namespace tidalhalo;

constexpr double VIEWER_SCALE = 0.5;  // canonical units per screen pixel

// The picture as the host's RGBA image, bottom row first.
ofxtest::HostImage SourceImage(const sim::Image &picture) {
    const int width = picture.Width(), height = picture.Height();
    ofxtest::HostImage image = ofxtest::HostImage::Make(kOfxBitDepthByte, {0, 0, width, height}, 0, false);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const PF_Pixel *p = picture.PixelAt<PF_Pixel>(x, height - 1 - y);
            unsigned char *out = image.Pixel(x, y);
            out[0] = p->red;
            out[1] = p->green;
            out[2] = p->blue;
            out[3] = p->alpha;
        }
    }
    return image;
}

void ShowFrame(const ofxtest::HostImage &frame) {
    const int width = frame.bounds.x2, height = frame.bounds.y2;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, frame.storage.data());
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0);
    glVertex2d(0, 0);
    glTexCoord2d(1, 0);
    glVertex2d(width, 0);
    glTexCoord2d(1, 1);
    glVertex2d(width, height);
    glTexCoord2d(0, 1);
    glVertex2d(0, height);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &texture);
}

int Run(const char *bundle, const char *picture_path, const char *out_path) {
    const sim::Image picture = cli::ReadPng(picture_path, sim::PixelDepth::Eight);
    const int width = picture.Width(), height = picture.Height();
    ofxtest::TestHost host(bundle);
    if (host.Load() != kOfxStatOK || host.Describe() != kOfxStatOK || host.DescribeInContext() != kOfxStatOK) {
        throw std::runtime_error("the bundle did not describe itself");
    }
    ofxtest::Effect *instance = host.CreateInstance({0, 0, static_cast<double>(width), static_cast<double>(height)});
    if (instance == nullptr) throw std::runtime_error("no instance");
    const double cx = width * 0.42, cy = height * 0.55, radius = height * 0.3;
    host.SetParam(*instance, "center", {cx, cy});
    host.SetParam(*instance, "radius", {radius});
    host.SetParam(*instance, "feather", {height * 0.1});
    host.SetParam(*instance, "expand", {40});
    host.SetParam(*instance, "blend", {1});
    ofxtest::HostImage source = SourceImage(picture);
    ofxtest::HostImage frame = ofxtest::HostImage::Make(kOfxBitDepthByte, {0, 0, width, height}, 0, false);
    if (host.Render(*instance, {0, 1, 1, {0, 0, width, height}}, &source, &frame) != kOfxStatOK) {
        throw std::runtime_error("the render failed");
    }

    const int view_width = static_cast<int>(width / VIEWER_SCALE), view_height = static_cast<int>(height / VIEWER_SCALE);
    ofxtest::HeadlessGl gl(view_width, view_height);
    gl.Prepare(0, 0, VIEWER_SCALE, VIEWER_SCALE, 0);
    ShowFrame(frame);
    ofxtest::Interact *overlay = host.CreateOverlay(*instance);
    if (overlay == nullptr) throw std::runtime_error("no overlay");
    ofxtest::OverlayEvent event;
    event.scale_x = event.scale_y = VIEWER_SCALE;
    event.x = cx + radius * 0.6;
    event.y = cy - radius * 0.8;
    host.Pen(*overlay, kOfxInteractActionPenMotion, event);
    if (host.Draw(*overlay, event) != kOfxStatOK) throw std::runtime_error("the overlay did not draw");
    const std::vector<uint8_t> pixels = gl.ReadPixels();

    sim::Image shown(sim::PixelDepth::Eight, view_width, view_height);
    for (int y = 0; y < view_height; ++y) {
        for (int x = 0; x < view_width; ++x) {
            const std::size_t row = static_cast<std::size_t>(view_height - 1 - y), column = static_cast<std::size_t>(x);
            const uint8_t *p = &pixels[(row * static_cast<std::size_t>(view_width) + column) * 4];
            *shown.PixelAt<PF_Pixel>(x, y) = PF_Pixel{255, p[0], p[1], p[2]};
        }
    }
    const std::vector<uint8_t> png = cli::EncodePngImage(shown.View(), cli::PngWriting{});
    std::ofstream out(out_path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!out) throw std::runtime_error(std::string("cannot write ") + out_path);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: ofx_overlay_picture <Kv_Tidalhalo.ofx> <picture.png> <out.png>\n");
        return 2;
    }
    try {
        return Run(argv[1], argv[2], argv[3]);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "ofx_overlay_picture: error: %s\n", error.what());
        return 1;
    }
}
