// Our own host: loads an effect module and drives it through EntryPointFunc
// with real host blocks, callbacks and suites, records every call the
// module makes, fails chosen calls on request, and checks the module's side
// of the contract after every command.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/host_interface.h"
#include "sim/call_log.h"
#include "sim/contract.h"
#include "sim/handle_table.h"
#include "sim/host_worlds.h"
#include "sim/image.h"
#include "sim/module_loader.h"
#include "sim/param_store.h"
#include "sim/param_values.h"
#include "sim/sim_types.h"
#include "sim/suite_registry.h"

namespace tidalhalo::sim {

// One pre-render command: what the host hands in and what comes back.
struct PreRenderCall {
    PF_RenderRequest request{};
    int16_t bitdepth = 8;
    PF_PreRenderOutput output{};  // as handed in (empty rectangles); the module's answers after
    PF_Err result = PF_Err_NONE;
};

// One render command.
struct RenderCall {
    PF_RenderRequest request{};
    int16_t bitdepth = 8;
    void *pre_render_data = nullptr;
    // Where the output world's pixels go: a view of the whole frame, pixel
    // (0, 0) being layer pixel (0, 0). Empty: the host makes a padded world.
    ImageView target{};
    PF_Err result = PF_Err_NONE;
};

class SimHost {
public:
    explicit SimHost(const std::string &module_path, Strictness level = Strictness::Fail);
    ~SimHost();
    SimHost(const SimHost &) = delete;
    SimHost &operator=(const SimHost &) = delete;

    // The set-up commands; each returns the module's result and fills Info().
    PF_Err About();
    PF_Err GlobalSetup();
    PF_Err ParamsSetup();
    const ModuleInfo &Info() const noexcept { return info_; }

    // Any command with the host's blocks and the given extra block.
    PF_Err Command(PF_Cmd cmd, void *extra = nullptr);

    // The blocks every command receives; tests may change them between
    // commands (the host refreshes only the time, size and scale fields).
    PF_InData &InData() noexcept { return in_data_; }
    PF_OutData &OutData() noexcept { return out_data_; }
    PF_UtilCallbacks &Utils() noexcept { return utils_; }
    SuiteRegistry &Suites() noexcept { return suites_; }

    ParamStore &Params() noexcept { return params_; }
    RenderSettings &Settings() noexcept { return settings_; }

    // The input layer at the frame's resolution; its pixels must stay
    // alive and unchanged while frames render.
    void SetLayer(const ImageView &layer) noexcept { layer_ = layer; }
    const ImageView &Layer() const noexcept { return layer_; }

    // A pre-render asking for the whole layer at its depth.
    PreRenderCall NewPreRender() const noexcept;
    PF_Err PreRender(PreRenderCall &call);
    // The render that follows a pre-render.
    RenderCall NewRender(const PreRenderCall &pre) const noexcept;
    PF_Err Render(RenderCall &call);
    // Disposes of the frame's pre-render data and forgets the frame's worlds.
    void EndFrame() noexcept;
    // Pre-render and render of rect into target (see RenderCall), then the
    // end of the frame; throws RenderError when a command fails.
    void RenderFrame(const PF_LRect &rect, const ImageView &target);

    // Worlds handed out during the current frame (null if none).
    const HostWorld *LastWorld(const std::string &role) const noexcept { return worlds_.Last(role); }

    CallLog &Log() noexcept { return log_; }
    const CallLog &Log() const noexcept { return log_; }
    void Inject(Failure failure) { failures_.Add(std::move(failure)); }
    void ClearFailures() noexcept { failures_.Clear(); }
    ContractChecker &Contract() noexcept { return contract_; }
    HandleTable &Handles() noexcept { return handles_; }
    // Progress last reported by an iteration: base and final as given.
    std::pair<int32_t, int32_t> LastProgress() const noexcept { return progress_; }

    // The operations, reached through the callback tables of host_callbacks.
    int32_t OpAcquireSuite(const char *name, int32_t version, const void **suite);
    int32_t OpReleaseSuite(const char *name, int32_t version);
    PF_Err OpCheckoutParam(PF_ProgPtr ref, int32_t index, int32_t what_time, int32_t time_step, uint32_t time_scale,
                           PF_ParamDef *param);
    PF_Err OpCheckinParam(PF_ProgPtr ref, PF_ParamDef *param);
    PF_Err OpAddParam(PF_ProgPtr ref, int32_t index, PF_ParamDef *def);
    PF_Err OpCopy(PF_ProgPtr ref, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *src_r, PF_Rect *dst_r);
    int OpSprintf(char *buffer, const char *format, va_list args);
    char *OpStrcpy(char *destination, const char *source);
    PF_Handle OpNewHandle(uint64_t size);
    void *OpLockHandle(PF_Handle handle);
    void OpUnlockHandle(PF_Handle handle);
    void OpDisposeHandle(PF_Handle handle);
    uint64_t OpHandleSize(PF_Handle handle);
    PF_Err OpResizeHandle(uint64_t new_size, PF_Handle *handle);
    PF_Err OpFloatColor(PF_ProgPtr ref, const PF_ParamDef *color_def, PF_PixelFloat *out);
    PF_Err OpPixelFormat(const PF_EffectWorld *world, PF_PixelFormat *format);
    PF_Err OpIterate(PixelDepth depth, PF_InData *in_data, int32_t progress_base, int32_t progress_final,
                     PF_EffectWorld *src, const PF_Rect *area, void *refcon, const void *pix_fn, PF_EffectWorld *dst);
    PF_Err OpCheckoutLayer(PF_ProgPtr ref, int32_t index, int32_t checkout_id, const PF_RenderRequest *request,
                           int32_t what_time, int32_t time_step, uint32_t time_scale, PF_CheckoutResult *result);
    PF_Err OpCheckoutLayerPixels(PF_ProgPtr ref, int32_t checkout_id, PF_EffectWorld **pixels);
    PF_Err OpCheckoutOutput(PF_ProgPtr ref, PF_EffectWorld **output);
    PF_Err OpCheckinLayerPixels(PF_ProgPtr ref, int32_t checkout_id);
    // An entry the module must not call: recorded as a broken contract.
    void OpRefused(const char *entry);

private:
    // Runs one command with the host's blocks; result is written before a
    // contract violation is thrown.
    void Run(PF_Cmd cmd, void *extra, PF_Err &result);
    void AfterCommand(PF_Cmd cmd, void *extra, bool message_was_terminated);
    void RefreshInData();
    void Note(const std::string &op, const std::string &args, PF_Err result, const std::string &outcome = {},
              bool injected = false);
    const Failure *Planned(const std::string &op, const std::string &subject = {});
    bool CheckRef(PF_ProgPtr ref, const char *op);
    bool CheckSuite(const char *suite, int32_t version, const char *op);
    std::string WorldName(const PF_EffectWorld *world) const;
    int32_t FullWidth() const;
    int32_t FullHeight() const;

    LoadedModule module_;
    ModuleInfo info_;
    PF_InData in_data_{};
    PF_OutData out_data_{};
    PF_UtilCallbacks utils_{};
    SPBasicSuite basic_{};
    char effect_token_ = 0;  // its address is the effect_ref
    PF_ParamDef layer_param_{};
    PF_ParamDef *param_list_[2] = {&layer_param_, nullptr};  // ends in null, as argv does
    PF_LayerDef command_output_{};
    SuiteRegistry suites_;
    ParamStore params_;
    RenderSettings settings_;
    ImageView layer_{};

    CallLog log_;
    FailurePlan failures_;
    ContractChecker contract_;
    HandleTable handles_;
    WorldRegistry worlds_;
    PF_Cmd command_ = -1;

    // The frame in progress.
    std::map<int32_t, PF_LRect> checkouts_;  // checkout id -> area the layer delivers
    PF_LRect output_rect_{};                 // the pre-render's answer
    bool have_output_rect_ = false;
    PF_Handle frame_data_ = nullptr;         // pre_render_data handed over
    RenderCall *render_ = nullptr;           // the render command running
    PF_EffectWorld *output_world_ = nullptr;
    std::pair<int32_t, int32_t> progress_{0, 0};
};

}  // namespace tidalhalo::sim
