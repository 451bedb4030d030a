// A module that calls host entries an effect like ours has no business
// calling, one of each shape, during PF_Cmd_EVENT; it writes what each call
// returned into return_msg.
#include <cstdio>

#include "host/host_interface.h"

#if defined(_WIN32)
#define STRAY_EXPORT extern "C" __declspec(dllexport)
#else
#define STRAY_EXPORT extern "C" __attribute__((visibility("default")))
#endif

STRAY_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *[],
                                   PF_LayerDef *, void *) noexcept {
    if (cmd != PF_Cmd_EVENT) {
        return PF_Err_NONE;
    }
    const PF_Err progress = in_data->inter.progress(in_data->effect_ref, 1, 2);
    const PF_Err app = in_data->utils->app(in_data->effect_ref, 7, 1.5, "more");
    const double cosine = in_data->utils->ansi.cos(0.0);
    const A_HandleSize size = in_data->utils->host_get_handle_size(nullptr);
    in_data->utils->host_dispose_handle(nullptr);
    const SPBoolean equal = in_data->pica_basicP->IsEqual("a", "a");
    const void *world_suite = nullptr;
    in_data->pica_basicP->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &world_suite);
    const PF_Err new_world =
        static_cast<const PF_WorldSuite2 *>(world_suite)->PF_NewWorld(in_data->effect_ref, 4, 4, 1, 0, nullptr);
    in_data->pica_basicP->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
    std::snprintf(out_data->return_msg, sizeof out_data->return_msg, "%d %d %g %llu %d %d", progress, app, cosine,
                  static_cast<unsigned long long>(size), equal, new_world);
    return PF_Err_NONE;
}
