// The overlay's lines through the host's OpenGL context. The bundle links
// no OpenGL library: a render node may have none, so the few functions used
// are looked up in the system's OpenGL library the first time they are
// needed, and whether a context is current is asked of OpenGL itself, which
// answers the same under GLX, WGL and EGL.
#pragma once

#include <vector>

#include "openfx/ofx_api.h"
#include "openfx/ofx_overlay.h"

// Draws the strokes over what the host's current context holds, in the
// canonical coordinates its projection maps, leaving every piece of OpenGL
// state as it was. kOfxStatFailed when there is no OpenGL library or no
// current context; nothing is drawn then.
OfxStatus DrawOverlayWithGl(const std::vector<OfxOverlayStroke> &strokes) noexcept;
