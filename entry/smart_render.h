// Second phase of a frame: the host's iteration runs the pixel function of
// the input's depth over the output buffer with the frame's render record.
#pragma once

#include "host/host_interface.h"

PF_Err SmartRender(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra);
