// Commands and frames of the host; the operations the module calls back
// into are in host_operations.cpp.
#include "sim/sim_host.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "sim/host_callbacks.h"
#include "sim/host_geometry.h"

namespace tidalhalo::sim {
namespace {

// The host application's four-letter code, as it reports it in appl_id.
constexpr int32_t HOST_APPLICATION_ID = ('F' << 24) | ('X' << 16) | ('T' << 8) | 'C';

int16_t BitDepthOf(PixelDepth depth) noexcept {
    switch (depth) {
    case PixelDepth::Eight:
        return 8;
    case PixelDepth::Sixteen:
        return 16;
    case PixelDepth::Float:
        return 32;
    }
    return 8;
}

int32_t Narrow(int64_t value, const char *what) {
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
        throw std::invalid_argument(std::string(what) + " does not fit the host's 32-bit field");
    }
    return static_cast<int32_t>(value);
}

// The size at full resolution of a frame dimension seen at scale.
int32_t FullSize(int32_t seen, PF_RationalScale scale) {
    if (scale.num <= 0 || scale.den == 0) {
        return seen;
    }
    const int64_t num = scale.num;
    return Narrow((static_cast<int64_t>(seen) * scale.den + num - 1) / num, "the full-resolution size");
}

std::string CommandName(PF_Cmd cmd) {
    switch (cmd) {
    case PF_Cmd_ABOUT:
        return "About";
    case PF_Cmd_GLOBAL_SETUP:
        return "GlobalSetup";
    case PF_Cmd_PARAMS_SETUP:
        return "ParamsSetup";
    case PF_Cmd_SMART_PRE_RENDER:
        return "the smart pre-render";
    case PF_Cmd_SMART_RENDER:
        return "the smart render";
    default:
        return "command " + std::to_string(cmd);
    }
}

}  // namespace

SimHost::SimHost(const std::string &module_path, Strictness level) : module_(module_path), contract_(level) {
    RegisterStandardSuites(suites_);
    basic_ = BasicSuiteTable();
    utils_ = UtilTable();
    in_data_.inter = InteractTable();
    in_data_.utils = &utils_;
    in_data_.effect_ref = reinterpret_cast<PF_ProgPtr>(&effect_token_);
    in_data_.quality = PF_Quality_HI;
    in_data_.version = PF_SpecVersion{13, 28};
    in_data_.appl_id = HOST_APPLICATION_ID;
    in_data_.field = PF_Field_FRAME;
    in_data_.in_flags = PF_InFlag_NONE;
    in_data_.pica_basicP = &basic_;
    layer_param_.param_type = PF_Param_LAYER;
}

SimHost::~SimHost() { EndFrame(); }

int32_t SimHost::FullWidth() const {
    return settings_.full_width > 0 ? settings_.full_width
                                    : FullSize(layer_.width, {settings_.downsample_x.num, settings_.downsample_x.den});
}

int32_t SimHost::FullHeight() const {
    return settings_.full_height > 0
               ? settings_.full_height
               : FullSize(layer_.height, {settings_.downsample_y.num, settings_.downsample_y.den});
}

void SimHost::RefreshInData() {
    const FrameTime &time = settings_.time;
    in_data_.current_time = Narrow(static_cast<int64_t>(time.frame) * time.fps_den, "the frame's time");
    in_data_.time_step = Narrow(time.fps_den, "the time step");
    in_data_.time_scale = time.fps_num;
    in_data_.width = FullWidth();
    in_data_.height = FullHeight();
    in_data_.downsample_x = {settings_.downsample_x.num, settings_.downsample_x.den};
    in_data_.downsample_y = {settings_.downsample_y.num, settings_.downsample_y.den};
    in_data_.pixel_aspect_ratio = {settings_.pixel_aspect.num, settings_.pixel_aspect.den};
    // The layer lasts to the end of the frame being rendered (as far as the 32-bit field reaches).
    const int64_t layer_end = static_cast<int64_t>(in_data_.current_time) + in_data_.time_step;
    in_data_.total_time = static_cast<int32_t>(std::min<int64_t>(layer_end, std::numeric_limits<int32_t>::max()));
    in_data_.local_time_step = in_data_.time_step;
    // The frame's own pixels: the layer as delivered, its origin at the frame's.
    in_data_.extent_hint = PF_LRect{0, 0, layer_.width, layer_.height};
    in_data_.output_origin_x = 0;
    in_data_.output_origin_y = 0;
    in_data_.num_params = 1 + static_cast<int32_t>(params_.Declared().size());
}

void SimHost::Run(PF_Cmd cmd, void *extra, PF_Err &result) {
    RefreshInData();
    std::vector<std::string> broken;
    {
        ActiveCommand active(*this);
        const bool message_was_terminated =
            strnlen(out_data_.return_msg, sizeof out_data_.return_msg) < sizeof out_data_.return_msg;
        command_ = cmd;
        contract_.BeginCommand(cmd);
        handles_.BeginCommand();
        try {
            result = module_.Entry()(cmd, &in_data_, &out_data_, param_list_, &command_output_, extra);
        } catch (...) {
            contract_.Break("EntryPointFunc let an exception escape");
            result = PF_Err_INTERNAL_STRUCT_DAMAGED;
        }
        AfterCommand(cmd, extra, message_was_terminated);
        handles_.EndCommand(contract_);
        broken = contract_.EndCommand();
        command_ = -1;
    }
    if (contract_.Level() == Strictness::Fail) {
        ThrowIfBroken(broken);
    }
}

void SimHost::AfterCommand(PF_Cmd cmd, void *extra, bool message_was_terminated) {
    if (message_was_terminated && strnlen(out_data_.return_msg, sizeof out_data_.return_msg) == sizeof out_data_.return_msg) {
        contract_.Break("return_msg is not terminated within its 256 bytes");
    }
    if (cmd != PF_Cmd_SMART_PRE_RENDER || extra == nullptr) {
        return;
    }
    const PF_PreRenderOutput &output = *static_cast<PF_PreRenderExtra *>(extra)->output;
    output_rect_ = output.result_rect;
    have_output_rect_ = true;
    if (output.pre_render_data != nullptr) {
        auto handle = static_cast<PF_Handle>(output.pre_render_data);
        if (handles_.HandOver(handle)) {
            frame_data_ = handle;
        } else if (output.delete_pre_render_data_func == nullptr) {
            contract_.Break("pre_render_data is neither a live handle nor given a delete_pre_render_data_func");
        }
    }
}

PF_Err SimHost::About() {
    std::memset(out_data_.return_msg, 0, sizeof out_data_.return_msg);
    PF_Err result = PF_Err_NONE;
    Run(PF_Cmd_ABOUT, nullptr, result);
    info_.about.assign(out_data_.return_msg, strnlen(out_data_.return_msg, sizeof out_data_.return_msg));
    return result;
}

PF_Err SimHost::GlobalSetup() {
    PF_Err result = PF_Err_NONE;
    Run(PF_Cmd_GLOBAL_SETUP, nullptr, result);
    info_.version = out_data_.my_version;
    info_.out_flags = out_data_.out_flags;
    info_.out_flags2 = out_data_.out_flags2;
    return result;
}

PF_Err SimHost::ParamsSetup() {
    params_.Clear();
    PF_Err result = PF_Err_NONE;
    Run(PF_Cmd_PARAMS_SETUP, nullptr, result);
    info_.num_params = out_data_.num_params;
    info_.params = params_.Declared();
    return result;
}

PF_Err SimHost::Command(PF_Cmd cmd, void *extra) {
    PF_Err result = PF_Err_NONE;
    Run(cmd, extra, result);
    return result;
}

PreRenderCall SimHost::NewPreRender() const noexcept {
    PreRenderCall call;
    call.request.rect = PF_LRect{0, 0, layer_.width, layer_.height};
    call.request.channel_mask = 0xF;
    call.bitdepth = BitDepthOf(layer_.depth);
    return call;
}

PF_Err SimHost::PreRender(PreRenderCall &call) {
    EndFrame();
    PF_PreRenderInput input{};
    input.output_request = call.request;
    input.bitdepth = call.bitdepth;
    PF_PreRenderCallbacks callbacks = PreRenderTable();
    PF_PreRenderExtra extra{&input, &call.output, &callbacks};
    Run(PF_Cmd_SMART_PRE_RENDER, &extra, call.result);
    return call.result;
}

RenderCall SimHost::NewRender(const PreRenderCall &pre) const noexcept {
    RenderCall call;
    call.request = pre.request;
    call.bitdepth = pre.bitdepth;
    call.pre_render_data = pre.output.pre_render_data;
    return call;
}

PF_Err SimHost::Render(RenderCall &call) {
    struct Current {
        SimHost &host;
        ~Current() { host.render_ = nullptr; }
    } current{*this};
    render_ = &call;
    output_world_ = nullptr;
    PF_SmartRenderInput input{};
    input.output_request = call.request;
    input.bitdepth = call.bitdepth;
    input.pre_render_data = call.pre_render_data;
    PF_SmartRenderCallbacks callbacks = SmartRenderTable();
    PF_SmartRenderExtra extra{&input, &callbacks};
    Run(PF_Cmd_SMART_RENDER, &extra, call.result);
    return call.result;
}

void SimHost::EndFrame() noexcept {
    if (frame_data_ != nullptr) {
        handles_.DisposeOwned(frame_data_);
        frame_data_ = nullptr;
    }
    worlds_.Clear();
    checkouts_.clear();
    have_output_rect_ = false;
    output_world_ = nullptr;
}

void SimHost::RenderFrame(const PF_LRect &rect, const ImageView &target) {
    struct Ending {
        SimHost &host;
        ~Ending() { host.EndFrame(); }
    } ending{*this};
    auto fail = [this](PF_Cmd cmd, PF_Err code) {
        std::string what = CommandName(cmd) + " failed with error " + std::to_string(code);
        if ((out_data_.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0) {
            what += ": " + std::string(out_data_.return_msg, strnlen(out_data_.return_msg, sizeof out_data_.return_msg));
        }
        throw RenderError(what, code);
    };
    out_data_.out_flags &= ~PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    out_data_.return_msg[0] = '\0';
    PreRenderCall pre = NewPreRender();
    pre.request.rect = rect;
    if (PreRender(pre) != PF_Err_NONE) {
        fail(PF_Cmd_SMART_PRE_RENDER, pre.result);
    }
    RenderCall call = NewRender(pre);
    call.target = target;
    if (Render(call) != PF_Err_NONE) {
        fail(PF_Cmd_SMART_RENDER, call.result);
    }
}

}  // namespace tidalhalo::sim
