// The overlay interact: the ring's circles and crosshair drawn over the
// host's viewer, and the pen dragging the centre, the radius and the
// feather. The host calls it through the entry point the effect's describe
// gives, with the interact's own actions.
#pragma once

#include "openfx/ofx_api.h"
#include "openfx/ofx_describe.h"

// One overlay action. Draw and the pen actions read the effect instance,
// the time and the pixel scale from their arguments; a null handle, a
// missing or wrong-typed argument or an unusable pixel scale answers a
// failure status and draws or changes nothing. Pen actions answer
// kOfxStatOK when they used the event and kOfxStatReplyDefault when not;
// each drag is one paramEditBegin / paramEditEnd pair.
OfxStatus OverlayAction(const OfxHostSuites &suites, const char *action, const void *handle,
                        OfxPropertySetHandle in_args) noexcept;
