#include "openfx/ofx_gl.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// The few names and numbers of OpenGL 1.1 (and 2.0's program binding) the
// overlay uses, as the OpenGL interface defines them.
constexpr unsigned int OFX_GL_LINES = 0x0001;
constexpr unsigned int OFX_GL_LINE_LOOP = 0x0002;
constexpr unsigned int OFX_GL_VERSION = 0x1F02;
constexpr unsigned int OFX_GL_CURRENT_BIT = 0x00000001;
constexpr unsigned int OFX_GL_LINE_BIT = 0x00000004;
constexpr unsigned int OFX_GL_ENABLE_BIT = 0x00002000;
constexpr unsigned int OFX_GL_CURRENT_PROGRAM = 0x8B8D;
// Switches of OpenGL 1.1 that would change a flat line's colour, coverage or
// visibility; later ones would be an error in a 1.1 context.
constexpr unsigned int OFX_GL_SWITCHES_OFF[] = {
    0x0DE0,  // GL_TEXTURE_1D
    0x0DE1,  // GL_TEXTURE_2D
    0x0B50,  // GL_LIGHTING
    0x0B60,  // GL_FOG
    0x0B71,  // GL_DEPTH_TEST
    0x0B90,  // GL_STENCIL_TEST
    0x0BC0,  // GL_ALPHA_TEST
    0x0BE2,  // GL_BLEND
    0x0BF2,  // GL_COLOR_LOGIC_OP
    0x0B20,  // GL_LINE_SMOOTH
    0x0B24,  // GL_LINE_STIPPLE
};

struct GlFunctions {
    const unsigned char *(*GetString)(unsigned int name) = nullptr;
    void (*GetIntegerv)(unsigned int name, int *values) = nullptr;
    void (*PushAttrib)(unsigned int mask) = nullptr;
    void (*PopAttrib)() = nullptr;
    void (*Disable)(unsigned int capability) = nullptr;
    void (*Color4f)(float r, float g, float b, float a) = nullptr;
    void (*LineWidth)(float width) = nullptr;
    void (*Begin)(unsigned int mode) = nullptr;
    void (*End)() = nullptr;
    void (*Vertex2d)(double x, double y) = nullptr;
    void *(*GetProcAddress)(const char *name) = nullptr;  // Windows: functions beyond 1.1

    bool Complete() const noexcept {
        return GetString != nullptr && GetIntegerv != nullptr && PushAttrib != nullptr && PopAttrib != nullptr &&
               Disable != nullptr && Color4f != nullptr && LineWidth != nullptr && Begin != nullptr &&
               End != nullptr && Vertex2d != nullptr;
    }
};

#if defined(_WIN32)
void *OpenGlLibrary() noexcept { return reinterpret_cast<void *>(LoadLibraryA("opengl32.dll")); }
void *Find(void *library, const char *name) noexcept {
    return reinterpret_cast<void *>(::GetProcAddress(static_cast<HMODULE>(library), name));
}
#else
void *OpenGlLibrary() noexcept {
    void *library = dlopen("libGL.so.1", RTLD_LAZY | RTLD_LOCAL);
    return library != nullptr ? library : dlopen("libOpenGL.so.0", RTLD_LAZY | RTLD_LOCAL);
}
void *Find(void *library, const char *name) noexcept { return dlsym(library, name); }
#endif

template <typename Function>
void Bind(void *library, const char *name, Function &function) noexcept {
    function = reinterpret_cast<Function>(Find(library, name));
}

// Looked up once, on the first draw, and kept while the bundle is loaded.
GlFunctions LoadGl() noexcept {
    GlFunctions gl;
    void *library = OpenGlLibrary();
    if (library == nullptr) {
        return gl;
    }
    Bind(library, "glGetString", gl.GetString);
    Bind(library, "glGetIntegerv", gl.GetIntegerv);
    Bind(library, "glPushAttrib", gl.PushAttrib);
    Bind(library, "glPopAttrib", gl.PopAttrib);
    Bind(library, "glDisable", gl.Disable);
    Bind(library, "glColor4f", gl.Color4f);
    Bind(library, "glLineWidth", gl.LineWidth);
    Bind(library, "glBegin", gl.Begin);
    Bind(library, "glEnd", gl.End);
    Bind(library, "glVertex2d", gl.Vertex2d);
#if defined(_WIN32)
    Bind(library, "wglGetProcAddress", gl.GetProcAddress);
#endif
    return gl;
}

const GlFunctions &Gl() noexcept {
    static const GlFunctions gl = LoadGl();
    return gl;
}

using UseProgramFunction = void (*)(unsigned int program);

// glUseProgram of the current context, or null.
UseProgramFunction UseProgram(const GlFunctions &gl) noexcept {
#if defined(_WIN32)
    if (gl.GetProcAddress == nullptr) {
        return nullptr;
    }
    void *found = gl.GetProcAddress("glUseProgram");
    // Some drivers answer small numbers or -1 for a name they lack.
    const auto value = reinterpret_cast<intptr_t>(found);
    return value >= -1 && value <= 3 ? nullptr : reinterpret_cast<UseProgramFunction>(found);
#else
    static const UseProgramFunction use_program = [] {
        void *library = OpenGlLibrary();
        return library == nullptr ? nullptr : reinterpret_cast<UseProgramFunction>(Find(library, "glUseProgram"));
    }();
    (void)gl;
    return use_program;
#endif
}

}  // namespace

OfxStatus DrawOverlayWithGl(const std::vector<OfxOverlayStroke> &strokes) noexcept {
    const GlFunctions &gl = Gl();
    // Without a current context OpenGL answers no version.
    const unsigned char *version = gl.Complete() ? gl.GetString(OFX_GL_VERSION) : nullptr;
    if (version == nullptr) {
        return kOfxStatFailed;
    }
    // A shader program the host left bound would colour the lines its own
    // way; before 2.0 there are none to ask about.
    int program = 0;
    if (version[0] >= '2' && version[0] <= '9') {
        gl.GetIntegerv(OFX_GL_CURRENT_PROGRAM, &program);
    }
    const UseProgramFunction use_program = program != 0 ? UseProgram(gl) : nullptr;
    if (use_program != nullptr) {
        use_program(0);
    }
    gl.PushAttrib(OFX_GL_CURRENT_BIT | OFX_GL_LINE_BIT | OFX_GL_ENABLE_BIT);
    for (unsigned int capability : OFX_GL_SWITCHES_OFF) {
        gl.Disable(capability);
    }
    for (const OfxOverlayStroke &stroke : strokes) {
        gl.Color4f(stroke.colour[0], stroke.colour[1], stroke.colour[2], stroke.colour[3]);
        gl.LineWidth(stroke.width);
        gl.Begin(stroke.primitive == kOfxDrawPrimitiveLines ? OFX_GL_LINES : OFX_GL_LINE_LOOP);
        for (const OfxPointD &point : stroke.points) {
            gl.Vertex2d(point.x, point.y);
        }
        gl.End();
    }
    gl.PopAttrib();
    if (use_program != nullptr) {
        use_program(static_cast<unsigned int>(program));
    }
    return kOfxStatOK;
}
