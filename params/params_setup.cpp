#include "params/params_setup.h"

#include <cstring>

#include "params/ring_params.h"

namespace {

// Names and choices are GBK bytes, handed to the host unconverted.
constexpr char RING_NAME_CENTER[] = "\xD6\xD0\xD0\xC4";              // 中心
constexpr char RING_NAME_RADIUS[] = "\xB0\xEB\xBE\xB6";              // 半径
constexpr char RING_NAME_FEATHER[] = "\xD3\xF0\xBB\xAF";             // 羽化
constexpr char RING_NAME_EXPAND[] = "\xC0\xA9\xD5\xC5";              // 扩张
constexpr char RING_NAME_OPACITY[] = "\xCD\xB8\xC3\xF7\xB6\xC8";     // 透明度
constexpr char RING_NAME_SCATTER[] = "\xC0\xEB\xC9\xA2";             // 离散
constexpr char RING_NAME_COLOR1[] = "\xD1\xD5\xC9\xAB 1";            // 颜色 1
constexpr char RING_NAME_COLOR2[] = "\xD1\xD5\xC9\xAB 2";            // 颜色 2
constexpr char RING_NAME_SMOOTH[] = "\xC6\xBD\xBB\xAC";              // 平滑
constexpr char RING_NAME_BLEND_MODE[] = "\xBB\xEC\xBA\xCF\xC4\xA3\xCA\xBD"; // 混合模式
// 无|正常|添加|(模版)相乘|(模版)相乘+Alpha
constexpr char RING_BLEND_CHOICES[] = "\xCE\xDE|\xD5\xFD\xB3\xA3|\xCC\xED\xBC\xD3|(\xC4\xA3\xB0\xE6)\xCF\xE0\xB3\xCB|"
                                      "(\xC4\xA3\xB0\xE6)\xCF\xE0\xB3\xCB+Alpha";
constexpr char RING_NO_LABEL[] = "";

constexpr PF_Fixed RING_CENTER_DEFAULT = 50 << 16; // percent of the layer's size
constexpr PF_FpShort RING_CURVE_TOLERANCE = 0.05f;

struct SliderTemplate {
    int32_t id;
    const char *name;
    PF_FpShort valid_min, valid_max, slider_min, slider_max, dephault;
    int16_t display_flags;
};

// Radius and feather are layer pixels, expand and opacity percent.
constexpr SliderTemplate RING_SLIDERS[] = {
    {1764, RING_NAME_RADIUS, 0, 10000, 0, 600, 100, PF_ValueDisplayFlag_NONE},
    {3205, RING_NAME_FEATHER, 0, 10000, 0, 100, 3, PF_ValueDisplayFlag_NONE},
    {3092, RING_NAME_EXPAND, 0, 100, 0, 100, 50, PF_ValueDisplayFlag_PERCENT},
    {4108, RING_NAME_OPACITY, 0, 100, 0, 100, 100, PF_ValueDisplayFlag_PERCENT},
    {1, RING_NAME_SCATTER, 0, 512, 0, 50, 0, PF_ValueDisplayFlag_NONE},
};

struct ColorTemplate {
    int32_t id;
    const char *name;
    PF_Pixel value;
};

constexpr ColorTemplate RING_COLORS[] = {
    {261, RING_NAME_COLOR1, {255, 255, 255, 255}}, // opaque white
    {258, RING_NAME_COLOR2, {255, 0, 127, 255}},   // opaque azure
};

class ParamAdder {
public:
    explicit ParamAdder(PF_InData *in_data) : in_data_(in_data) {}

    // A cleared record with its type and name; the host copies what it needs
    // during add_param, so the one record serves every parameter.
    PF_ParamDef &Begin(PF_ParamType type, const char *name) noexcept {
        std::memset(&def_, 0, sizeof def_);
        def_.param_type = type;
        in_data_->utils->ansi.strcpy(def_.name, name);
        return def_;
    }

    PF_Err Add(int32_t id) noexcept {
        def_.uu.id = id;
        return in_data_->inter.add_param(in_data_->effect_ref, -1, &def_);
    }

private:
    PF_InData *in_data_;
    PF_ParamDef def_{};
};

PF_Err AddCenter(ParamAdder &adder) noexcept {
    PF_PointDef &point = adder.Begin(PF_Param_POINT, RING_NAME_CENTER).u.td;
    point.restrict_bounds = 0;
    point.x_dephault = RING_CENTER_DEFAULT;
    point.x_value = point.x_dephault;
    point.y_dephault = RING_CENTER_DEFAULT;
    point.y_value = point.y_dephault;
    return adder.Add(1556);
}

PF_Err AddSlider(ParamAdder &adder, const SliderTemplate &entry) noexcept {
    PF_FloatSliderDef &slider = adder.Begin(PF_Param_FLOAT_SLIDER, entry.name).u.fs_d;
    slider.valid_min = entry.valid_min;
    slider.slider_min = entry.slider_min;
    slider.valid_max = entry.valid_max;
    slider.slider_max = entry.slider_max;
    slider.value = static_cast<PF_FpLong>(entry.dephault);
    slider.dephault = entry.dephault;
    slider.precision = 1;
    slider.display_flags = entry.display_flags;
    slider.curve_tolerance = RING_CURVE_TOLERANCE;
    return adder.Add(entry.id);
}

PF_Err AddColor(ParamAdder &adder, const ColorTemplate &entry) noexcept {
    PF_ColorDef &color = adder.Begin(PF_Param_COLOR, entry.name).u.cd;
    color.value = entry.value;
    color.dephault = color.value;
    return adder.Add(entry.id);
}

PF_Err AddSmooth(ParamAdder &adder) noexcept {
    PF_CheckBoxDef &box = adder.Begin(PF_Param_CHECKBOX, RING_NAME_SMOOTH).u.bd;
    box.u.nameptr = RING_NO_LABEL;
    box.value = 1;
    box.dephault = 1;
    return adder.Add(802);
}

PF_Err AddBlendMode(ParamAdder &adder) noexcept {
    PF_PopupDef &popup = adder.Begin(PF_Param_POPUP, RING_NAME_BLEND_MODE).u.pd;
    popup.num_choices = 5;
    popup.dephault = BLEND_NONE;
    popup.value = BLEND_NONE;
    popup.u.namesptr = RING_BLEND_CHOICES;
    return adder.Add(3454);
}

} // namespace

PF_Err ParamsSetup(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *[], PF_LayerDef *) noexcept {
    ParamAdder adder(in_data);
    PF_Err err = AddCenter(adder);
    for (const SliderTemplate &entry : RING_SLIDERS) {
        if (err == PF_Err_NONE) {
            err = AddSlider(adder, entry);
        }
    }
    for (const ColorTemplate &entry : RING_COLORS) {
        if (err == PF_Err_NONE) {
            err = AddColor(adder, entry);
        }
    }
    if (err == PF_Err_NONE) {
        err = AddSmooth(adder);
    }
    if (err == PF_Err_NONE) {
        err = AddBlendMode(adder);
    }
    if (err == PF_Err_NONE) {
        out_data->num_params = RING_NUM_PARAMS;
    }
    return err;
}
