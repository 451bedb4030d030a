// First phase of a frame: the parameters become the frame's render record,
// handed to the host as pre-render data, and the input layer is requested.
#pragma once

#include "host/host_interface.h"

PF_Err SmartPreRender(PF_InData *in_data, PF_OutData *out_data, PF_PreRenderExtra *extra);

// Grows destination to the bounding box of both; an empty destination takes
// the source as it is, an empty source changes nothing.
void MergeRect(const PF_LRect &source, PF_LRect &destination) noexcept;
