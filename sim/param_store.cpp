#include "sim/param_store.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace tidalhalo::sim {
namespace {

std::string Bytes(const char *text) { return text == nullptr ? std::string() : std::string(text); }

std::vector<std::string> SplitChoices(const std::string &text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = text.find('|', start);
        out.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) {
            return out;
        }
        start = bar + 1;
    }
}

double FixedToDouble(PF_Fixed value) { return static_cast<double>(value) / 65536.0; }

// Rounded to nearest and held within the 32-bit range.
int32_t ToInt32(double value) noexcept {
    constexpr double lowest = static_cast<double>(std::numeric_limits<int32_t>::min());
    constexpr double highest = static_cast<double>(std::numeric_limits<int32_t>::max());
    if (!(value >= lowest)) {  // also a value that is not a number
        return std::numeric_limits<int32_t>::min();
    }
    if (value >= highest) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(std::lround(value));
}

}  // namespace

PF_Fixed ScaledFixed(double value, PF_RationalScale scale) noexcept {
    return ToInt32(value * static_cast<double>(scale.num) / static_cast<double>(scale.den) * 65536.0);
}

void ParamStore::Clear() noexcept {
    declared_.clear();
    values_.clear();
}

const ParamInfo &ParamStore::Capture(const PF_ParamDef &def) {
    ParamInfo info;
    info.index = static_cast<int32_t>(declared_.size()) + 1;
    info.def = def;
    info.name.assign(def.name, strnlen(def.name, sizeof def.name));
    if (def.param_type == PF_Param_CHECKBOX) {
        info.label_was_null = def.u.bd.u.nameptr == nullptr;
        info.label = Bytes(def.u.bd.u.nameptr);
        info.def.u.bd.u.nameptr = nullptr;
    } else if (def.param_type == PF_Param_POPUP) {
        info.label_was_null = def.u.pd.u.namesptr == nullptr;
        info.choices_text = Bytes(def.u.pd.u.namesptr);
        info.choices = SplitChoices(info.choices_text);
        info.def.u.pd.u.namesptr = nullptr;
    }
    declared_.push_back(std::move(info));
    values_.emplace_back();
    Value &value = values_.back();
    const PF_ParamDef &d = declared_.back().def;
    switch (d.param_type) {
    case PF_Param_FLOAT_SLIDER:
        value.number = Track(d.u.fs_d.value);
        break;
    case PF_Param_CHECKBOX:
        value.number = Track(static_cast<double>(d.u.bd.value));
        break;
    case PF_Param_POPUP:
        value.number = Track(static_cast<double>(d.u.pd.value));
        break;
    case PF_Param_COLOR:
        value.color = d.u.cd.value;
        break;
    default:
        break;
    }
    return declared_.back();
}

const ParamInfo &ParamStore::Info(int32_t index) const {
    if (index < 1 || index > static_cast<int32_t>(declared_.size())) {
        throw std::out_of_range("no parameter with index " + std::to_string(index));
    }
    return declared_[static_cast<std::size_t>(index - 1)];
}

ParamStore::Value &ParamStore::ValueOf(int32_t index) {
    Info(index);
    return values_[static_cast<std::size_t>(index - 1)];
}

void ParamStore::SetNumber(int32_t index, const Track &value) {
    const PF_ParamType type = Info(index).Type();
    if (type != PF_Param_FLOAT_SLIDER && type != PF_Param_CHECKBOX && type != PF_Param_POPUP) {
        throw std::invalid_argument("parameter " + std::to_string(index) + " does not take a number");
    }
    ValueOf(index).number = value;
}

void ParamStore::SetPoint(int32_t index, const Track &x, const Track &y) {
    if (Info(index).Type() != PF_Param_POINT) {
        throw std::invalid_argument("parameter " + std::to_string(index) + " is not a point");
    }
    Value &value = ValueOf(index);
    value.point_set = true;
    value.x = x;
    value.y = y;
}

void ParamStore::SetColor(int32_t index, PF_Pixel color) {
    if (Info(index).Type() != PF_Param_COLOR) {
        throw std::invalid_argument("parameter " + std::to_string(index) + " is not a colour");
    }
    ValueOf(index).color = color;
}

void ParamStore::Reset() {
    std::vector<ParamInfo> declared = std::move(declared_);
    Clear();
    for (const ParamInfo &info : declared) {
        Capture(info.def);
        // Capture cleared the text pointers of the copy; keep the texts.
        declared_.back().label = info.label;
        declared_.back().label_was_null = info.label_was_null;
        declared_.back().choices_text = info.choices_text;
        declared_.back().choices = info.choices;
    }
}

bool ParamStore::ValueAt(int32_t index, const FrameScale &scale, PF_ParamDef &out) const noexcept {
    if (index == 0) {
        out = PF_ParamDef{};
        out.param_type = PF_Param_LAYER;
        return true;
    }
    if (index < 1 || index > static_cast<int32_t>(declared_.size())) {
        return false;
    }
    const ParamInfo &info = declared_[static_cast<std::size_t>(index - 1)];
    const Value &value = values_[static_cast<std::size_t>(index - 1)];
    out = info.def;
    switch (info.Type()) {
    case PF_Param_FLOAT_SLIDER:
        out.u.fs_d.value = value.number.At(scale.frame);
        break;
    case PF_Param_CHECKBOX:
        out.u.bd.value = ToInt32(value.number.HeldAt(scale.frame));
        out.u.bd.u.nameptr = info.label_was_null ? nullptr : info.label.c_str();
        break;
    case PF_Param_POPUP:
        out.u.pd.value = ToInt32(value.number.HeldAt(scale.frame));
        out.u.pd.u.namesptr = info.label_was_null ? nullptr : info.choices_text.c_str();
        break;
    case PF_Param_COLOR:
        out.u.cd.value = value.color;
        break;
    case PF_Param_POINT: {
        // The definition's defaults are percentages of the layer's size.
        double x = FixedToDouble(info.def.u.td.x_dephault) / 100.0 * scale.full_width;
        double y = FixedToDouble(info.def.u.td.y_dephault) / 100.0 * scale.full_height;
        if (value.point_set) {
            x = value.x.At(scale.frame);
            y = value.y.At(scale.frame);
        }
        out.u.td.x_value = ScaledFixed(x, scale.downsample_x);
        out.u.td.y_value = ScaledFixed(y, scale.downsample_y);
        break;
    }
    default:
        break;
    }
    return true;
}

}  // namespace tidalhalo::sim
