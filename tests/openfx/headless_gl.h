// A headless OpenGL context for drawing overlays in tests, with a
// framebuffer object of the given size to draw into and read back, its
// projection mapping a canonical rectangle onto it as a host's viewer does.
// On Linux: Mesa's EGL on the surfaceless platform, a compatibility
// (immediate-mode) context, no display at all. On Windows: WGL on a hidden
// window, which Wine gives only where it has an X display.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tidalhalo::ofxtest {

class HeadlessGl {
public:
    // Throws std::runtime_error naming the step that failed.
    HeadlessGl(int width, int height);
    ~HeadlessGl();
    HeadlessGl(const HeadlessGl &) = delete;
    HeadlessGl &operator=(const HeadlessGl &) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Makes the context current, or none.
    void MakeCurrent();
    void ReleaseCurrent();

    // An OpenGL function of the context beyond 1.1, or null.
    static void *Proc(const char *name);

    // Clears to an 8-bit grey and sets the viewport, GL_PROJECTION to map
    // canonical x0 .. x0 + width * scale_x (and the same for y) onto the
    // framebuffer and GL_MODELVIEW to identity, as a host does before it
    // calls an overlay's draw.
    void Prepare(double x0, double y0, double scale_x, double scale_y, uint8_t grey);

    // RGBA rows, bottom row first.
    std::vector<uint8_t> ReadPixels() const;

private:
    void MakeFramebuffer();

    int width_, height_;
    void *display_ = nullptr;  // EGL display, or the window's device context
    void *context_ = nullptr;
    void *window_ = nullptr;   // Windows only
    unsigned framebuffer_ = 0, renderbuffer_ = 0;
};

}  // namespace tidalhalo::ofxtest
