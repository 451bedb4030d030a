// Declares the effect's ten parameters to the host, behind its input layer.
#pragma once

#include "host/host_interface.h"

PF_Err ParamsSetup(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[], PF_LayerDef *output) noexcept;
