// The two identity commands: the about text and global setup.
#pragma once

#include "host/host_interface.h"

PF_Err About(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[], PF_LayerDef *output) noexcept;
PF_Err GlobalSetup(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[], PF_LayerDef *output) noexcept;
