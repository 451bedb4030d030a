#include "cli/info_command.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <vector>

#include "cli/cli_error.h"
#include "cli/gbk.h"
#include "cli/module_host.h"
#include "cli/module_path.h"
#include "cli/values.h"
#include "sim/pe/pe_file.h"
#include "sim/param_values.h"

namespace tidalhalo::cli {
namespace {

struct Report {
    std::string path;
    std::optional<sim::ModuleInfo> declared;       // a native module, run
    std::optional<pe::Registration> registration;  // a Windows module, read
};

struct FlagName {
    uint32_t bit;
    const char *name;
};
constexpr FlagName kOutFlags[] = {{PF_OutFlag_DISPLAY_ERROR_MESSAGE, "DISPLAY_ERROR_MESSAGE"},
                                  {PF_OutFlag_PIX_INDEPENDENT, "PIX_INDEPENDENT"},
                                  {PF_OutFlag_DEEP_COLOR_AWARE, "DEEP_COLOR_AWARE"}};
constexpr FlagName kOutFlags2[] = {{PF_OutFlag2_SUPPORTS_SMART_RENDER, "SUPPORTS_SMART_RENDER"},
                                   {PF_OutFlag2_FLOAT_COLOR_AWARE, "FLOAT_COLOR_AWARE"}};

template <std::size_t N>
std::vector<std::string> FlagNames(uint32_t value, const FlagName (&known)[N]) {
    std::vector<std::string> names;
    for (int bit = 0; bit < 32; ++bit) {
        const uint32_t mask = uint32_t{1} << bit;
        if ((value & mask) == 0) {
            continue;
        }
        std::string name = "bit " + std::to_string(bit);
        for (const FlagName &flag : known) {
            if (flag.bit == mask) {
                name = flag.name;
            }
        }
        names.push_back(name);
    }
    return names;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

struct Version {
    uint32_t major, minor, fix, stage, build;
};

Version Unpack(uint32_t v) {
    return {v >> 19, (v >> 15) & 0xFu, (v >> 11) & 0xFu, (v >> 9) & 0x3u, v & 0x1FFu};
}

const char *StageName(uint32_t stage) {
    constexpr const char *kNames[] = {"develop", "alpha", "beta", "release"};
    return kNames[stage & 3u];
}

std::string VersionText(uint32_t packed) {
    const Version v = Unpack(packed);
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.fix) + " " +
           StageName(v.stage) + ", build " + std::to_string(v.build) + " (" + Hex(packed) + ")";
}

std::string ColorText(const PF_Pixel &c) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.red, c.green, c.blue);
    return text;
}

const char *TypeName(PF_ParamType type) {
    switch (type) {
    case PF_Param_LAYER: return "layer";
    case PF_Param_CHECKBOX: return "checkbox";
    case PF_Param_COLOR: return "color";
    case PF_Param_POINT: return "point";
    case PF_Param_POPUP: return "popup";
    case PF_Param_FLOAT_SLIDER: return "float slider";
    default: return "unknown";
    }
}

// The heading of the about text ("NAME, vX.Y") names the effect.
std::string NameFromAbout(const std::string &about) {
    const std::size_t comma = about.find(", v");
    return comma == std::string::npos ? std::string() : about.substr(0, comma);
}

struct ParamRow {
    std::string index, name, type, valid, slider, dflt, id;
};

ParamRow RowOf(const sim::ParamInfo &p) {
    ParamRow row{std::to_string(p.index), GbkToUtf8(p.name), TypeName(p.Type()), "", "", "",
                 std::to_string(p.Id())};
    const PF_ParamDefUnion &u = p.def.u;
    switch (p.Type()) {
    case PF_Param_POINT:
        row.valid = "any";
        row.dflt = FormatNumber(u.td.x_dephault / 65536.0) + "%, " + FormatNumber(u.td.y_dephault / 65536.0) + "%";
        break;
    case PF_Param_FLOAT_SLIDER: {
        const char *unit = u.fs_d.display_flags == PF_ValueDisplayFlag_PERCENT ? "%" : "";
        row.valid = FormatNumber(u.fs_d.valid_min) + unit + " to " + FormatNumber(u.fs_d.valid_max) + unit;
        row.slider = FormatNumber(u.fs_d.slider_min) + unit + " to " + FormatNumber(u.fs_d.slider_max) + unit;
        row.dflt = FormatNumber(u.fs_d.dephault) + unit;
        break;
    }
    case PF_Param_COLOR:
        row.dflt = ColorText(u.cd.dephault);
        break;
    case PF_Param_CHECKBOX:
        row.valid = "off, on";
        row.dflt = u.bd.dephault ? "on" : "off";
        break;
    case PF_Param_POPUP: {
        row.valid = "1 to " + std::to_string(u.pd.num_choices);
        const auto choice = static_cast<std::size_t>(u.pd.dephault) - 1;
        row.dflt = std::to_string(u.pd.dephault);
        if (u.pd.dephault >= 1 && choice < p.choices.size()) {
            row.dflt += " " + GbkToUtf8(p.choices[choice]);
        }
        break;
    }
    default:
        break;
    }
    return row;
}

std::string Pad(const std::string &text, std::size_t width) {
    const std::size_t used = DisplayWidth(text);
    return text + std::string(used < width ? width - used : 0, ' ');
}

void PrintTable(std::ostream &out, const std::vector<ParamRow> &rows) {
    std::vector<ParamRow> all = {{"#", "Name", "Type", "Valid", "Slider", "Default", "Id"}};
    all.insert(all.end(), rows.begin(), rows.end());
    std::size_t w[7] = {};
    for (const ParamRow &r : all) {
        const std::string *cells[7] = {&r.index, &r.name, &r.type, &r.valid, &r.slider, &r.dflt, &r.id};
        for (int c = 0; c < 7; ++c) {
            w[c] = std::max(w[c], DisplayWidth(*cells[c]));
        }
    }
    for (const ParamRow &r : all) {
        out << "  " << std::string(w[0] - r.index.size(), ' ') << r.index << "  " << Pad(r.name, w[1]) << "  "
            << Pad(r.type, w[2]) << "  " << Pad(r.valid, w[3]) << "  " << Pad(r.slider, w[4]) << "  "
            << Pad(r.dflt, w[5]) << "  " << r.id << "\n";
    }
}

void PrintText(std::ostream &out, const Report &report) {
    constexpr std::size_t kLabelWidth = 16;
    const std::string indent(kLabelWidth, ' ');
    auto line = [&](const char *label, const std::string &value) {
        out << Pad(label, kLabelWidth) << value << "\n";
    };
    line("Module:", report.path);
    if (report.declared) {
        const sim::ModuleInfo &info = *report.declared;
        std::string about = GbkToUtf8(info.about);
        for (std::size_t at = about.find('\r'); at != std::string::npos; at = about.find('\r', at)) {
            about.replace(at, 1, "\n" + indent);
        }
        line("About:", about);
        if (!report.registration) {
            line("Name:", NameFromAbout(GbkToUtf8(info.about)));
            line("Category:", "(only in the registration resource of the .aex)");
            line("Match name:", "(only in the registration resource of the .aex)");
        }
        line("Version:", VersionText(info.version));
        std::string flags, flags2;
        for (const std::string &n : FlagNames(static_cast<uint32_t>(info.out_flags), kOutFlags)) flags += n + " ";
        for (const std::string &n : FlagNames(static_cast<uint32_t>(info.out_flags2), kOutFlags2)) flags2 += n + " ";
        line("Flags:", flags + "(" + Hex(static_cast<uint32_t>(info.out_flags)) + ")");
        line("Flags 2:", flags2 + "(" + Hex(static_cast<uint32_t>(info.out_flags2)) + ")");
        line("Parameters:", std::to_string(info.params.size()) + " declared, " + std::to_string(info.num_params) +
                                " reported with the input layer");
        std::vector<ParamRow> rows;
        for (const sim::ParamInfo &p : info.params) {
            rows.push_back(RowOf(p));
        }
        PrintTable(out, rows);
        for (const sim::ParamInfo &p : info.params) {
            if (p.Type() != PF_Param_POPUP) {
                continue;
            }
            out << "  Choices of " << GbkToUtf8(p.name) << ":";
            for (std::size_t i = 0; i < p.choices.size(); ++i) {
                out << "  " << i + 1 << " " << GbkToUtf8(p.choices[i]);
            }
            out << "\n";
        }
    }
    if (report.registration) {
        const pe::Registration &r = *report.registration;
        out << "Registration resource (PIPL 16000, " << r.count << " properties, " << r.end << " bytes):\n";
        line("  Kind:", pe::FourCcText(r.kind));
        line("  Name:", r.name);
        line("  Category:", r.category);
        line("  Match name:", r.match_name);
        line("  Entry point:", r.entry_point);
        line("  Version:", VersionText(r.effect_version));
        std::string flags, flags2;
        for (const std::string &n : FlagNames(r.out_flags, kOutFlags)) flags += n + " ";
        for (const std::string &n : FlagNames(r.out_flags2, kOutFlags2)) flags2 += n + " ";
        line("  Flags:", flags + "(" + Hex(r.out_flags) + ")");
        line("  Flags 2:", flags2 + "(" + Hex(r.out_flags2) + ")");
        line("  List version:", std::to_string(r.pipl_version[0]) + "." + std::to_string(r.pipl_version[1]));
        line("  API version:", std::to_string(r.spec_version[0]) + "." + std::to_string(r.spec_version[1]));
        line("  Info flags:", Hex(r.info_flags));
        out << "About text and parameters are declared when the module runs; this tool runs\n"
               "native modules only.\n";
    }
}

std::string Json(const std::string &text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value) {
    return FormatNumber(value);
}

std::string JsonList(const std::vector<std::string> &items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += (i ? ", " : "") + items[i];
    }
    return out + "]";
}

std::string JsonVersion(uint32_t packed) {
    const Version v = Unpack(packed);
    return "{\"packed\": " + std::to_string(packed) + ", \"major\": " + std::to_string(v.major) +
           ", \"minor\": " + std::to_string(v.minor) + ", \"fix\": " + std::to_string(v.fix) + ", \"stage\": " +
           Json(StageName(v.stage)) + ", \"build\": " + std::to_string(v.build) + "}";
}

template <std::size_t N>
std::string JsonFlags(uint32_t value, const FlagName (&known)[N]) {
    std::vector<std::string> names;
    for (const std::string &n : FlagNames(value, known)) {
        names.push_back(Json(n));
    }
    return "{\"value\": " + std::to_string(value) + ", \"names\": " + JsonList(names) + "}";
}

std::string JsonParam(const sim::ParamInfo &p) {
    std::string out = "{\"index\": " + std::to_string(p.index) + ", \"id\": " + std::to_string(p.Id()) +
                      ", \"name\": " + Json(GbkToUtf8(p.name)) + ", \"type\": " + Json(TypeName(p.Type()));
    const PF_ParamDefUnion &u = p.def.u;
    switch (p.Type()) {
    case PF_Param_POINT:
        out += ", \"default_percent\": [" + JsonNumber(u.td.x_dephault / 65536.0) + ", " +
               JsonNumber(u.td.y_dephault / 65536.0) + "], \"restrict_bounds\": " +
               (u.td.restrict_bounds ? "true" : "false");
        break;
    case PF_Param_FLOAT_SLIDER:
        out += ", \"valid\": [" + JsonNumber(u.fs_d.valid_min) + ", " + JsonNumber(u.fs_d.valid_max) +
               "], \"slider\": [" + JsonNumber(u.fs_d.slider_min) + ", " + JsonNumber(u.fs_d.slider_max) +
               "], \"default\": " + JsonNumber(u.fs_d.dephault) + ", \"precision\": " +
               std::to_string(u.fs_d.precision) + ", \"percent\": " +
               (u.fs_d.display_flags == PF_ValueDisplayFlag_PERCENT ? "true" : "false");
        break;
    case PF_Param_COLOR:
        out += ", \"default\": " + Json(ColorText(u.cd.dephault)) + ", \"default_alpha\": " +
               std::to_string(u.cd.dephault.alpha);
        break;
    case PF_Param_CHECKBOX:
        out += std::string(", \"default\": ") + (u.bd.dephault ? "true" : "false") + ", \"label\": " +
               Json(GbkToUtf8(p.label));
        break;
    case PF_Param_POPUP: {
        std::vector<std::string> choices;
        for (const std::string &c : p.choices) {
            choices.push_back(Json(GbkToUtf8(c)));
        }
        out += ", \"default\": " + std::to_string(u.pd.dephault) + ", \"choices\": " + JsonList(choices);
        break;
    }
    default:
        break;
    }
    return out + "}";
}

void PrintJson(std::ostream &out, const Report &report) {
    std::vector<std::string> fields = {"\"module\": " + Json(report.path),
                                       std::string("\"kind\": ") + (report.registration ? "\"windows\"" : "\"native\"")};
    if (report.declared) {
        const sim::ModuleInfo &info = *report.declared;
        const std::string about = GbkToUtf8(info.about);
        fields.push_back("\"about\": " + Json(about));
        if (!report.registration) {
            fields.push_back("\"name\": " + Json(NameFromAbout(about)));
            fields.push_back("\"category\": null");
            fields.push_back("\"match_name\": null");
        }
        fields.push_back("\"version\": " + JsonVersion(info.version));
        fields.push_back("\"out_flags\": " + JsonFlags(static_cast<uint32_t>(info.out_flags), kOutFlags));
        fields.push_back("\"out_flags2\": " + JsonFlags(static_cast<uint32_t>(info.out_flags2), kOutFlags2));
        fields.push_back("\"num_params\": " + std::to_string(info.num_params));
        std::vector<std::string> params;
        for (const sim::ParamInfo &p : info.params) {
            params.push_back("\n    " + JsonParam(p));
        }
        fields.push_back("\"parameters\": " + JsonList(params));
    }
    if (report.registration) {
        const pe::Registration &r = *report.registration;
        fields.push_back("\"name\": " + Json(r.name));
        fields.push_back("\"category\": " + Json(r.category));
        fields.push_back("\"match_name\": " + Json(r.match_name));
        fields.push_back("\"version\": " + JsonVersion(r.effect_version));
        fields.push_back("\"out_flags\": " + JsonFlags(r.out_flags, kOutFlags));
        fields.push_back("\"out_flags2\": " + JsonFlags(r.out_flags2, kOutFlags2));
        fields.push_back("\"registration\": {\"kind\": " + Json(pe::FourCcText(r.kind)) +
                         ", \"entry_point\": " + Json(r.entry_point) + ", \"properties\": " +
                         std::to_string(r.count) + ", \"size\": " + std::to_string(r.end) +
                         ", \"pipl_version\": [" + std::to_string(r.pipl_version[0]) + ", " +
                         std::to_string(r.pipl_version[1]) + "], \"api_version\": [" +
                         std::to_string(r.spec_version[0]) + ", " + std::to_string(r.spec_version[1]) +
                         "], \"info_flags\": " + std::to_string(r.info_flags) +
                         ", \"reserved_info\": " + std::to_string(r.reserved_info) + "}");
    }
    out << "{\n";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out << "  " << fields[i] << (i + 1 < fields.size() ? ",\n" : "\n");
    }
    out << "}\n";
}

pe::Registration ReadRegistration(const std::string &path) {
    pe::PeFile file;
    std::string error;
    if (!pe::ReadPeFile(path, file, error)) {
        throw CliError(path, error);
    }
    const pe::Resource *pipl = pe::FindPeResource(file, "PIPL", "#16000");
    if (pipl == nullptr) {
        throw CliError(path, "has no registration resource (PIPL 16000)");
    }
    pe::Registration registration;
    if (!pe::DecodeRegistration(pipl->bytes, registration, error)) {
        throw CliError(path, "registration resource: " + error);
    }
    return registration;
}

}  // namespace

int RunInfo(const Options &options) {
    Report report;
    report.path = options.module.value_or(DefaultModulePath());
    if (IsWindowsModule(report.path)) {
        report.registration = ReadRegistration(report.path);
    } else {
        ModuleHost host(report.path);
        report.declared = host.Renderer().Info();
    }
    std::ostringstream text;
    if (options.json) {
        PrintJson(text, report);
    } else {
        PrintText(text, report);
    }
    std::cout << text.str() << std::flush;
    return 0;
}

}  // namespace tidalhalo::cli
