// The operations a module calls back into: suites, parameters, utilities,
// handles, worlds, iteration and the layer checkouts. Each is recorded,
// may be failed on plan, and checks the module's side of the contract.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/host_geometry.h"
#include "sim/pixel_iterate.h"
#include "sim/sim_host.h"

namespace tidalhalo::sim {
namespace {

std::string Quote(const char *text) {
    if (text == nullptr) {
        return "null";
    }
    std::string quoted(1, '"');
    quoted += text;
    quoted += '"';
    return quoted;
}

std::string SuiteText(const char *name, int32_t version) { return Quote(name) + ", " + std::to_string(version); }

const char *IterateSuiteName(PixelDepth depth) noexcept {
    switch (depth) {
    case PixelDepth::Eight:
        return kPFIterate8Suite;
    case PixelDepth::Sixteen:
        return kPFIterate16Suite;
    case PixelDepth::Float:
        return kPFIterateFloatSuite;
    }
    return "";
}

const char *DepthName(PixelDepth depth) noexcept {
    switch (depth) {
    case PixelDepth::Eight:
        return "8-bit";
    case PixelDepth::Sixteen:
        return "16-bit";
    case PixelDepth::Float:
        return "float";
    }
    return "";
}

std::string FormatName(PF_PixelFormat format) {
    char letters[5] = {};
    std::memcpy(letters, &format, 4);
    return letters;
}

}  // namespace

void SimHost::Note(const std::string &op, const std::string &args, PF_Err result, const std::string &outcome,
                   bool injected) {
    log_.Add(HostCall{command_, op, args, result, outcome, injected});
}

const Failure *SimHost::Planned(const std::string &op, const std::string &subject) {
    return failures_.Match(op, subject);
}

bool SimHost::CheckRef(PF_ProgPtr ref, const char *op) {
    if (ref != reinterpret_cast<PF_ProgPtr>(&effect_token_)) {
        contract_.Break(std::string(op) + " with an effect_ref that is not the command's");
        return false;
    }
    return true;
}

bool SimHost::CheckSuite(const char *suite, int32_t version, const char *op) {
    if (!contract_.SuiteHeld(suite, version)) {
        contract_.Break(std::string(op) + " while " + SuiteText(suite, version) + " is not acquired");
        return false;
    }
    return true;
}

std::string SimHost::WorldName(const PF_EffectWorld *world) const {
    if (world == nullptr) {
        return "null";
    }
    const HostWorld *entry = worlds_.Find(world);
    return entry == nullptr ? "unknown world" : entry->role;
}

int32_t SimHost::OpAcquireSuite(const char *name, int32_t version, const void **suite) {
    const std::string args = SuiteText(name, version);
    if (name == nullptr || suite == nullptr) {
        contract_.Break("AcquireSuite(" + args + ") with a null name or table pointer");
        Note("AcquireSuite", args, PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const void *table = suites_.Find(name, version);
    if (const Failure *failure = Planned("AcquireSuite", name)) {
        // An acquisition that returns an error code is not one the host
        // expects back, whatever table it left behind.
        PF_Err code = failure->code;
        *suite = failure->kind == FailKind::CodeWithTable ? table : nullptr;
        if (failure->kind == FailKind::ZeroNullTable || failure->kind == FailKind::Null) {
            code = PF_Err_NONE;
        }
        Note("AcquireSuite", args, code, *suite != nullptr ? "table" : "null", true);
        return code;
    }
    *suite = table;
    if (table == nullptr) {
        Note("AcquireSuite", args, PF_Err_BAD_CALLBACK_PARAM, "null");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    contract_.SuiteAcquired(name, version);
    Note("AcquireSuite", args, PF_Err_NONE, "table");
    return PF_Err_NONE;
}

int32_t SimHost::OpReleaseSuite(const char *name, int32_t version) {
    const std::string args = SuiteText(name, version);
    contract_.SuiteReleased(name == nullptr ? "" : name, version);
    if (const Failure *failure = Planned("ReleaseSuite", name == nullptr ? "" : name)) {
        Note("ReleaseSuite", args, failure->code, {}, true);
        return failure->code;
    }
    Note("ReleaseSuite", args, PF_Err_NONE);
    return PF_Err_NONE;
}

PF_Err SimHost::OpCheckoutParam(PF_ProgPtr ref, int32_t index, int32_t what_time, int32_t time_step,
                                uint32_t time_scale, PF_ParamDef *param) {
    CheckRef(ref, "checkout_param");
    const std::string args = std::to_string(index) + ", " + std::to_string(what_time) + ", " +
                             std::to_string(time_step) + ", " + std::to_string(time_scale);
    if (const Failure *failure = Planned("checkout_param", std::to_string(index))) {
        Note("checkout_param", args, failure->code, {}, true);
        return failure->code;
    }
    FrameScale scale;
    if (time_scale != 0 && settings_.time.fps_den != 0) {
        scale.frame = static_cast<double>(what_time) / time_scale * settings_.time.fps_num / settings_.time.fps_den;
    }
    scale.downsample_x = in_data_.downsample_x;
    scale.downsample_y = in_data_.downsample_y;
    scale.full_width = FullWidth();
    scale.full_height = FullHeight();
    if (param == nullptr || !params_.ValueAt(index, scale, *param)) {
        contract_.Break("checkout_param(" + args + ") of a parameter that does not exist or into null");
        Note("checkout_param", args, PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    std::string value;
    if (param->param_type == PF_Param_POINT) {
        value = std::to_string(param->u.td.x_value) + ", " + std::to_string(param->u.td.y_value);
    } else if (param->param_type == PF_Param_FLOAT_SLIDER) {
        value = std::to_string(param->u.fs_d.value);
    }
    Note("checkout_param", args, PF_Err_NONE, value);
    return PF_Err_NONE;
}

PF_Err SimHost::OpCheckinParam(PF_ProgPtr ref, PF_ParamDef *param) {
    CheckRef(ref, "checkin_param");
    if (param == nullptr) {
        contract_.Break("checkin_param of a null parameter");
    }
    Note("checkin_param", param == nullptr ? "null" : std::to_string(param->param_type), PF_Err_NONE);
    return PF_Err_NONE;
}

PF_Err SimHost::OpAddParam(PF_ProgPtr ref, int32_t index, PF_ParamDef *def) {
    CheckRef(ref, "add_param");
    const auto next = static_cast<int32_t>(params_.Declared().size()) + 1;
    const std::string args = std::to_string(index) + ", id " + (def == nullptr ? "null" : std::to_string(def->uu.id));
    if (command_ != PF_Cmd_PARAMS_SETUP) {
        contract_.Break("add_param(" + args + ") outside ParamsSetup");
    }
    if (const Failure *failure = Planned("add_param", std::to_string(next))) {
        Note("add_param", args, failure->code, {}, true);
        return failure->code;
    }
    if (def == nullptr) {
        contract_.Break("add_param(" + args + ") without a definition");
        Note("add_param", args, PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (index != -1 && index != next) {
        contract_.Break("add_param(" + args + ") at an index that is neither -1 nor the next");
    }
    if (strnlen(def->name, sizeof def->name) == sizeof def->name) {
        contract_.Break("add_param(" + args + ") with a name not terminated within 32 bytes");
    }
    params_.Capture(*def);
    Note("add_param", args, PF_Err_NONE);
    return PF_Err_NONE;
}

PF_Err SimHost::OpCopy(PF_ProgPtr ref, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *src_r, PF_Rect *dst_r) {
    CheckRef(ref, "copy");
    const std::string args = WorldName(src) + ", " + WorldName(dst) + ", " +
                             (src_r == nullptr ? "null" : RectText(*src_r)) + ", " +
                             (dst_r == nullptr ? "null" : RectText(*dst_r));
    if (const Failure *failure = Planned("copy")) {
        Note("copy", args, failure->code, {}, true);
        return failure->code;
    }
    const HostWorld *from = worlds_.Find(src);
    const HostWorld *to = worlds_.Find(dst);
    if (from == nullptr || to == nullptr || from->depth != to->depth) {
        contract_.Break("copy(" + args + ") between worlds the host did not hand out or of different depths");
        Note("copy", args, PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const ImageView in = from->View();
    const ImageView out = to->View();
    const PF_LRect s = Intersect(src_r == nullptr ? PF_LRect{0, 0, in.width, in.height} : *src_r,
                                 PF_LRect{0, 0, in.width, in.height});
    const PF_LRect d = Intersect(dst_r == nullptr ? PF_LRect{0, 0, out.width, out.height} : *dst_r,
                                 PF_LRect{0, 0, out.width, out.height});
    const int32_t width = std::min(s.right - s.left, d.right - d.left);
    const int32_t height = std::min(s.bottom - s.top, d.bottom - d.top);
    if (width > 0 && height > 0) {
        CopyPixels(Crop(in, s.left, s.top, width, height), Crop(out, d.left, d.top, width, height));
    }
    Note("copy", args, PF_Err_NONE);
    return PF_Err_NONE;
}

int SimHost::OpSprintf(char *buffer, const char *format, va_list args) {
    constexpr std::size_t kBuffer = sizeof(PF_OutData{}.return_msg);
    if (const Failure *failure = Planned("ansi.sprintf")) {
        Note("ansi.sprintf", Quote(format), failure->code, {}, true);
        return -1;
    }
    if (buffer == nullptr || format == nullptr) {
        contract_.Break("ansi.sprintf(" + Quote(format) + ") into a null buffer or with a null format");
        Note("ansi.sprintf", Quote(format), PF_Err_BAD_CALLBACK_PARAM);
        return -1;
    }
    const int written = std::vsnprintf(buffer, kBuffer, format, args);
    if (written >= static_cast<int>(kBuffer)) {
        contract_.Break("ansi.sprintf(" + Quote(format) + ") formatted " + std::to_string(written) +
                        " bytes into a 256-byte buffer");
    }
    Note("ansi.sprintf", Quote(format), PF_Err_NONE, buffer);
    return written;
}

char *SimHost::OpStrcpy(char *destination, const char *source) {
    if (const Failure *failure = Planned("ansi.strcpy")) {
        Note("ansi.strcpy", Quote(source), failure->code, {}, true);
        return nullptr;
    }
    if (destination == nullptr || source == nullptr) {
        contract_.Break("ansi.strcpy(" + Quote(source) + ") with a null pointer");
        Note("ansi.strcpy", Quote(source), PF_Err_BAD_CALLBACK_PARAM);
        return nullptr;
    }
    std::strcpy(destination, source);
    Note("ansi.strcpy", Quote(source), PF_Err_NONE);
    return destination;
}

PF_Handle SimHost::OpNewHandle(uint64_t size) {
    CheckSuite(kPFHandleSuite, kPFHandleSuiteVersion1, "host_new_handle");
    const std::string args = std::to_string(size);
    if (const Failure *failure = Planned("host_new_handle")) {
        Note("host_new_handle", args, failure->code, "null", true);
        return nullptr;
    }
    PF_Handle handle = handles_.New(size, command_);
    Note("host_new_handle", args, PF_Err_NONE, handles_.Name(handle));
    return handle;
}

void *SimHost::OpLockHandle(PF_Handle handle) {
    CheckSuite(kPFHandleSuite, kPFHandleSuiteVersion1, "host_lock_handle");
    const std::string args = handles_.Name(handle);
    if (const Failure *failure = Planned("host_lock_handle")) {
        Note("host_lock_handle", args, failure->code, "null", true);
        return nullptr;
    }
    void *bytes = handles_.Lock(handle, contract_);
    Note("host_lock_handle", args, PF_Err_NONE, bytes == nullptr ? "null" : "locked");
    return bytes;
}

void SimHost::OpUnlockHandle(PF_Handle handle) {
    CheckSuite(kPFHandleSuite, kPFHandleSuiteVersion1, "host_unlock_handle");
    handles_.Unlock(handle, contract_);
    Note("host_unlock_handle", handles_.Name(handle), PF_Err_NONE);
}

void SimHost::OpDisposeHandle(PF_Handle handle) {
    CheckSuite(kPFHandleSuite, kPFHandleSuiteVersion1, "host_dispose_handle");
    handles_.Dispose(handle, contract_);
    Note("host_dispose_handle", handles_.Name(handle), PF_Err_NONE);
}

uint64_t SimHost::OpHandleSize(PF_Handle handle) {
    CheckSuite(kPFHandleSuite, kPFHandleSuiteVersion1, "host_get_handle_size");
    const uint64_t size = handles_.Size(handle, contract_);
    Note("host_get_handle_size", handles_.Name(handle), PF_Err_NONE, std::to_string(size));
    return size;
}

PF_Err SimHost::OpResizeHandle(uint64_t new_size, PF_Handle *handle) {
    CheckSuite(kPFHandleSuite, kPFHandleSuiteVersion1, "host_resize_handle");
    const PF_Handle target = handle == nullptr ? nullptr : *handle;
    const std::string args = std::to_string(new_size) + ", " + handles_.Name(target);
    if (const Failure *failure = Planned("host_resize_handle")) {
        Note("host_resize_handle", args, failure->code, {}, true);
        return failure->code;
    }
    const PF_Err result = handles_.Resize(target, new_size, contract_) ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    Note("host_resize_handle", args, result);
    return result;
}

void SimHost::OpRefused(const char *entry) {
    contract_.Break(std::string(entry) + ", which this host offers but the module has no business calling");
    Note(entry, {}, PF_Err_INVALID_CALLBACK);
}

PF_Err SimHost::OpFloatColor(PF_ProgPtr ref, const PF_ParamDef *color_def, PF_PixelFloat *out) {
    constexpr const char *op = "PF_GetFloatingPointColorFromColorDef";
    CheckSuite(kPFColorParamSuite, kPFColorParamSuiteVersion1, op);
    CheckRef(ref, op);
    std::string args = "null";
    if (color_def != nullptr) {
        const PF_Pixel &c = color_def->u.cd.value;
        char text[32];
        std::snprintf(text, sizeof text, "(%d, %d, %d, %d)", c.alpha, c.red, c.green, c.blue);
        args = text;
    }
    if (const Failure *failure = Planned(op)) {
        Note(op, args, failure->code, {}, true);
        return failure->code;
    }
    if (color_def == nullptr || out == nullptr || color_def->param_type != PF_Param_COLOR) {
        contract_.Break(std::string(op) + "(" + args + ") without a colour definition or a place for the result");
        Note(op, args, PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_Pixel &c = color_def->u.cd.value;
    *out = PF_PixelFloat{c.alpha / 255.0f, c.red / 255.0f, c.green / 255.0f, c.blue / 255.0f};
    Note(op, args, PF_Err_NONE);
    return PF_Err_NONE;
}

PF_Err SimHost::OpPixelFormat(const PF_EffectWorld *world, PF_PixelFormat *format) {
    constexpr const char *op = "PF_GetPixelFormat";
    CheckSuite(kPFWorldSuite, kPFWorldSuiteVersion2, op);
    const std::string args = WorldName(world);
    if (const Failure *failure = Planned(op)) {
        Note(op, args, failure->code, {}, true);
        return failure->code;
    }
    const HostWorld *entry = worlds_.Find(world);
    if (entry == nullptr || format == nullptr) {
        contract_.Break(std::string(op) + "(" + args + ") on a world the host did not hand out, or into null");
        Note(op, args, PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *format = PixelFormatOf(entry->depth);
    Note(op, args, PF_Err_NONE, FormatName(*format));
    return PF_Err_NONE;
}

PF_Err SimHost::OpIterate(PixelDepth depth, PF_InData *in_data, int32_t progress_base, int32_t progress_final,
                          PF_EffectWorld *src, const PF_Rect *area, void *refcon, const void *pix_fn,
                          PF_EffectWorld *dst) {
    const char *suite = IterateSuiteName(depth);
    CheckSuite(suite, kPFIterate8SuiteVersion1, "iterate");  // version 1 of every depth
    const std::string args = std::string(DepthName(depth)) + ", " + std::to_string(progress_base) + ", " +
                             std::to_string(progress_final) + ", " + WorldName(src) + ", " +
                             (area == nullptr ? "null" : RectText(*area)) + ", " + WorldName(dst);
    if (const Failure *failure = Planned("iterate", suite)) {
        Note("iterate", args, failure->code, {}, true);
        return failure->code;
    }
    if (in_data != &in_data_) {
        contract_.Break("iterate(" + args + ") with an in_data other than the command's");
    }
    const HostWorld *to = worlds_.Find(dst);
    const HostWorld *from = src == nullptr ? nullptr : worlds_.Find(src);
    if (to == nullptr || to->depth != depth || (src != nullptr && (from == nullptr || from->depth != depth)) ||
        pix_fn == nullptr) {
        contract_.Break("iterate(" + args + ") of the " + Quote(suite) +
                        " without a pixel function or on worlds the host did not hand out at that depth");
        Note("iterate", args, PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const ImageView out = to->View();
    const ImageView in = from == nullptr ? ImageView{depth} : from->View();
    const PF_LRect whole{0, 0, out.width, out.height};
    const PF_LRect rows = area == nullptr ? whole : Intersect(*area, whole);
    progress_ = {progress_base, progress_final};
    // A function pointer cannot come from a pointer to const; clang refuses the cast.
    void *const function = const_cast<void *>(pix_fn);
    PF_Err err = PF_Err_NONE;
    switch (depth) {
    case PixelDepth::Eight:
        err = IteratePixels<PF_Pixel>(in, out, rows, refcon, reinterpret_cast<PF_IteratePixel8Func>(function),
                                      settings_.threads);
        break;
    case PixelDepth::Sixteen:
        err = IteratePixels<PF_Pixel16>(in, out, rows, refcon, reinterpret_cast<PF_IteratePixel16Func>(function),
                                        settings_.threads);
        break;
    case PixelDepth::Float:
        err = IteratePixels<PF_PixelFloat>(in, out, rows, refcon,
                                           reinterpret_cast<PF_IteratePixelFloatFunc>(function), settings_.threads);
        break;
    }
    Note("iterate", args, err);
    return err;
}

PF_Err SimHost::OpCheckoutLayer(PF_ProgPtr ref, int32_t index, int32_t checkout_id, const PF_RenderRequest *request,
                                int32_t what_time, int32_t time_step, uint32_t time_scale,
                                PF_CheckoutResult *result) {
    CheckRef(ref, "checkout_layer");
    const std::string args = std::to_string(index) + ", " + std::to_string(checkout_id) + ", " +
                             (request == nullptr ? "null" : RectText(request->rect)) + ", " +
                             std::to_string(what_time) + ", " + std::to_string(time_step) + ", " +
                             std::to_string(time_scale);
    if (command_ != PF_Cmd_SMART_PRE_RENDER) {
        contract_.Break("checkout_layer(" + args + ") outside the pre-render");
    }
    if (const Failure *failure = Planned("checkout_layer")) {
        Note("checkout_layer", args, failure->code, {}, true);
        return failure->code;
    }
    if (request == nullptr || result == nullptr || index != 0) {
        contract_.Break("checkout_layer(" + args + ") of something other than the input layer, or into null");
        Note("checkout_layer", args, PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_LRect bounds{0, 0, layer_.width, layer_.height};
    const PF_LRect delivered = Intersect(request->rect, bounds);
    *result = PF_CheckoutResult{};
    result->result_rect = delivered;
    result->max_result_rect = bounds;
    result->par = in_data_.pixel_aspect_ratio;
    result->ref_width = layer_.width;
    result->ref_height = layer_.height;
    checkouts_[checkout_id] = delivered;
    Note("checkout_layer", args, PF_Err_NONE, RectText(delivered));
    return PF_Err_NONE;
}

PF_Err SimHost::OpCheckoutLayerPixels(PF_ProgPtr ref, int32_t checkout_id, PF_EffectWorld **pixels) {
    CheckRef(ref, "checkout_layer_pixels");
    const std::string args = std::to_string(checkout_id);
    if (render_ == nullptr) {
        contract_.Break("checkout_layer_pixels(" + args + ") outside the render");
    }
    if (const Failure *failure = Planned("checkout_layer_pixels")) {
        if (failure->kind == FailKind::Null && pixels != nullptr) {
            *pixels = nullptr;
            Note("checkout_layer_pixels", args, PF_Err_NONE, "null", true);
            return PF_Err_NONE;
        }
        Note("checkout_layer_pixels", args, failure->code, {}, true);
        return failure->code;
    }
    auto it = checkouts_.find(checkout_id);
    if (pixels == nullptr || it == checkouts_.end()) {
        contract_.Break("checkout_layer_pixels(" + args + ") of a checkout id the pre-render did not request");
        Note("checkout_layer_pixels", args, PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_LRect &area = it->second;
    const ImageView part = IsEmpty(area) ? Crop(layer_, 0, 0, 0, 0)
                                         : Crop(layer_, area.left, area.top, area.right - area.left,
                                                area.bottom - area.top);
    *pixels = worlds_.Wrap(part, area.left, area.top, in_data_.pixel_aspect_ratio, "input");
    contract_.LayerCheckedOut(checkout_id);
    Note("checkout_layer_pixels", args, PF_Err_NONE, RectText(area));
    return PF_Err_NONE;
}

PF_Err SimHost::OpCheckoutOutput(PF_ProgPtr ref, PF_EffectWorld **output) {
    CheckRef(ref, "checkout_output");
    if (render_ == nullptr) {
        contract_.Break("checkout_output outside the render");
        Note("checkout_output", "", PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (const Failure *failure = Planned("checkout_output")) {
        if (failure->kind == FailKind::Null && output != nullptr) {
            *output = nullptr;
            Note("checkout_output", "", PF_Err_NONE, "null", true);
            return PF_Err_NONE;
        }
        Note("checkout_output", "", failure->code, {}, true);
        return failure->code;
    }
    if (output == nullptr) {
        contract_.Break("checkout_output into null");
        Note("checkout_output", "", PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_LRect bounds{0, 0, layer_.width, layer_.height};
    PF_LRect area = Intersect(render_->request.rect, have_output_rect_ ? output_rect_ : bounds);
    if (output_world_ == nullptr) {
        const ImageView &target = render_->target;
        if (target.data != nullptr && target.depth == layer_.depth) {
            area = Intersect(area, PF_LRect{0, 0, target.width, target.height});
            output_world_ = worlds_.Wrap(Crop(target, area.left, area.top, area.right - area.left,
                                              area.bottom - area.top),
                                         area.left, area.top, in_data_.pixel_aspect_ratio, "output");
        } else {
            // Rows padded beyond the width, as hosts often hand them out.
            constexpr int32_t kPaddingPixels = 3;
            output_world_ = worlds_.Make(layer_.depth, area.right - area.left, area.bottom - area.top,
                                         kPaddingPixels, area.left, area.top, in_data_.pixel_aspect_ratio,
                                         "output");
        }
    }
    *output = output_world_;
    Note("checkout_output", "", PF_Err_NONE, RectText(area));
    return PF_Err_NONE;
}

PF_Err SimHost::OpCheckinLayerPixels(PF_ProgPtr ref, int32_t checkout_id) {
    CheckRef(ref, "checkin_layer_pixels");
    const std::string args = std::to_string(checkout_id);
    contract_.LayerCheckedIn(checkout_id);
    if (const Failure *failure = Planned("checkin_layer_pixels")) {
        Note("checkin_layer_pixels", args, failure->code, {}, true);
        return failure->code;
    }
    Note("checkin_layer_pixels", args, PF_Err_NONE);
    return PF_Err_NONE;
}

}  // namespace tidalhalo::sim
