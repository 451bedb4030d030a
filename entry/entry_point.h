// The module's one export. The host calls it for every command, on the
// thread of its choice; it never lets an exception reach the host.
#pragma once

#include "host/host_interface.h"

#if defined(_WIN32)
#define TIDALHALO_EXPORT __declspec(dllexport)
#else
#define TIDALHALO_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TIDALHALO_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                                                  PF_ParamDef *params[], PF_LayerDef *output, void *extra) noexcept;
