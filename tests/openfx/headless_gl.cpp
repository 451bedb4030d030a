#include "tests/openfx/headless_gl.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <EGL/egl.h>
#include <EGL/eglext.h>
#endif
#include <GL/gl.h>
#include <GL/glext.h>

namespace tidalhalo::ofxtest {
namespace {

template <typename Function>
Function Required(const char *name) {
    auto found = reinterpret_cast<Function>(HeadlessGl::Proc(name));
    if (found == nullptr) throw std::runtime_error(std::string("headless GL: no ") + name);
    return found;
}

}  // namespace

#if defined(_WIN32)

void *HeadlessGl::Proc(const char *name) {
    auto found = reinterpret_cast<void *>(wglGetProcAddress(name));
    return found != nullptr ? found : reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("opengl32.dll"), name));
}

HeadlessGl::HeadlessGl(int width, int height) : width_(width), height_(height) {
    WNDCLASSA window_class{};
    window_class.style = CS_OWNDC;
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "TidalhaloHeadlessGl";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, window_class.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                                  nullptr, window_class.hInstance, nullptr);
    if (window == nullptr) throw std::runtime_error("headless GL: no window");
    window_ = window;
    HDC dc = GetDC(window);
    display_ = dc;
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    const int chosen = ChoosePixelFormat(dc, &format);
    if (chosen == 0 || !SetPixelFormat(dc, chosen, &format)) throw std::runtime_error("headless GL: no pixel format");
    HGLRC context = wglCreateContext(dc);
    if (context == nullptr) throw std::runtime_error("headless GL: no WGL context");
    context_ = context;
    MakeCurrent();
    MakeFramebuffer();
}

HeadlessGl::~HeadlessGl() {
    if (context_ != nullptr) {
        wglMakeCurrent(static_cast<HDC>(display_), static_cast<HGLRC>(context_));
        auto delete_framebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(Proc("glDeleteFramebuffers"));
        auto delete_renderbuffers = reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(Proc("glDeleteRenderbuffers"));
        if (delete_framebuffers != nullptr) delete_framebuffers(1, &framebuffer_);
        if (delete_renderbuffers != nullptr) delete_renderbuffers(1, &renderbuffer_);
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(static_cast<HGLRC>(context_));
    }
    if (window_ != nullptr) {
        ReleaseDC(static_cast<HWND>(window_), static_cast<HDC>(display_));
        DestroyWindow(static_cast<HWND>(window_));
    }
}

void HeadlessGl::MakeCurrent() {
    if (!wglMakeCurrent(static_cast<HDC>(display_), static_cast<HGLRC>(context_))) {
        throw std::runtime_error("headless GL: the context cannot be made current");
    }
}

void HeadlessGl::ReleaseCurrent() { wglMakeCurrent(nullptr, nullptr); }

#else

void *HeadlessGl::Proc(const char *name) { return reinterpret_cast<void *>(eglGetProcAddress(name)); }

HeadlessGl::HeadlessGl(int width, int height) : width_(width), height_(height) {
    auto platform_display = Required<PFNEGLGETPLATFORMDISPLAYEXTPROC>("eglGetPlatformDisplayEXT");
    EGLDisplay display = platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        throw std::runtime_error("headless GL: no surfaceless EGL display");
    }
    display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) throw std::runtime_error("headless GL: no desktop OpenGL");
    const EGLint config_attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &configs) || configs < 1) config = nullptr;
    const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                         EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT) throw std::runtime_error("headless GL: no compatibility context");
    context_ = context;
    MakeCurrent();
    MakeFramebuffer();
}

HeadlessGl::~HeadlessGl() {
    if (display_ == nullptr) return;
    if (context_ != nullptr) {
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_);
        auto delete_framebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(Proc("glDeleteFramebuffers"));
        auto delete_renderbuffers = reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(Proc("glDeleteRenderbuffers"));
        if (delete_framebuffers != nullptr) delete_framebuffers(1, &framebuffer_);
        if (delete_renderbuffers != nullptr) delete_renderbuffers(1, &renderbuffer_);
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display_, context_);
    }
    // The display stays initialised: terminating it unloads Mesa's driver,
    // whose lasting allocations a leak checker would then find unreachable.
}

void HeadlessGl::MakeCurrent() {
    if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) {
        throw std::runtime_error("headless GL: the context cannot be made current");
    }
}

void HeadlessGl::ReleaseCurrent() { eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT); }

#endif

void HeadlessGl::MakeFramebuffer() {
    auto gen_framebuffers = Required<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
    auto bind_framebuffer = Required<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
    auto gen_renderbuffers = Required<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
    auto bind_renderbuffer = Required<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    auto storage = Required<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    auto attach = Required<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    auto status = Required<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
    gen_framebuffers(1, &framebuffer_);
    bind_framebuffer(GL_FRAMEBUFFER, framebuffer_);
    gen_renderbuffers(1, &renderbuffer_);
    bind_renderbuffer(GL_RENDERBUFFER, renderbuffer_);
    storage(GL_RENDERBUFFER, GL_RGBA8, width_, height_);
    attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer_);
    if (status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        throw std::runtime_error("headless GL: incomplete framebuffer");
    }
}

void HeadlessGl::Prepare(double x0, double y0, double scale_x, double scale_y, uint8_t grey) {
    glViewport(0, 0, width_, height_);
    const float level = static_cast<float>(grey) / 255.0f;
    glClearColor(level, level, level, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(x0, x0 + width_ * scale_x, y0, y0 + height_ * scale_y, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

std::vector<uint8_t> HeadlessGl::ReadPixels() const {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

}  // namespace tidalhalo::ofxtest
