#!/usr/bin/env python3
"""Checks the Kdenlive effect description against the built filter, loaded
through its frei0r exports: the same parameters in the same order, each
with the field its type needs, a default that is the filter's own value
on a new instance (in the filter's units, as Kdenlive stores it), and a
range that is frei0r's 0..1 once divided by the field's factor; every name
of the blend list is one the filter reads back as set.
Usage: kdenlive_check.py FILTER.so EFFECT.xml"""
import ctypes
import sys
import xml.etree.ElementTree as ElementTree

F0R_PARAM_BOOL, F0R_PARAM_DOUBLE, F0R_PARAM_COLOR, F0R_PARAM_POSITION, F0R_PARAM_STRING = range(5)
FIELD_FOR_TYPE = {F0R_PARAM_DOUBLE: "animated", F0R_PARAM_BOOL: "bool", F0R_PARAM_COLOR: "color",
                  F0R_PARAM_STRING: "list"}


class PluginInfo(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("author", ctypes.c_char_p), ("plugin_type", ctypes.c_int),
                ("color_model", ctypes.c_int), ("frei0r_version", ctypes.c_int), ("major_version", ctypes.c_int),
                ("minor_version", ctypes.c_int), ("num_params", ctypes.c_int), ("explanation", ctypes.c_char_p)]


class ParamInfo(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("type", ctypes.c_int), ("explanation", ctypes.c_char_p)]


class Color(ctypes.Structure):
    _fields_ = [("r", ctypes.c_float), ("g", ctypes.c_float), ("b", ctypes.c_float)]


def main(plugin_path, xml_path):
    plugin = ctypes.CDLL(plugin_path)
    plugin.f0r_construct.restype = ctypes.c_void_p
    plugin.f0r_construct.argtypes = [ctypes.c_uint, ctypes.c_uint]
    plugin.f0r_destruct.argtypes = [ctypes.c_void_p]
    plugin.f0r_get_param_value.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int]
    plugin.f0r_set_param_value.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int]
    plugin.f0r_init()
    info = PluginInfo()
    plugin.f0r_get_plugin_info(ctypes.byref(info))
    instance = plugin.f0r_construct(64, 64)

    def value_of(index, kind):
        holder = {F0R_PARAM_COLOR: Color, F0R_PARAM_STRING: ctypes.c_char_p}.get(kind, ctypes.c_double)()
        plugin.f0r_get_param_value(instance, ctypes.byref(holder), index)
        return holder

    filter_params = []
    for index in range(info.num_params):
        param = ParamInfo()
        plugin.f0r_get_param_info(ctypes.byref(param), index)
        filter_params.append((param.name.decode(), param.type))

    problems = []
    effect = ElementTree.parse(xml_path).getroot()
    name = "frei0r." + info.name.decode()
    if effect.tag != "effect" or effect.get("tag") != name or effect.get("id") != name:
        problems.append(f"the root must be <effect tag=\"{name}\" id=\"{name}\">")
    if not (effect.findtext("name") or "").strip():
        problems.append("the effect has no name")
    fields = effect.findall("parameter")
    described = [field.get("name") for field in fields]
    if described != [name for name, _ in filter_params]:
        problems.append(f"parameters {described} are not the filter's {[name for name, _ in filter_params]}")

    for index, (field, (param_name, kind)) in enumerate(zip(fields, filter_params)):
        def wrong(what):
            problems.append(f"{param_name}: {what}")
        if field.get("type") != FIELD_FOR_TYPE.get(kind):
            wrong(f"type {field.get('type')}, the filter's parameter needs {FIELD_FOR_TYPE.get(kind)}")
            continue
        if not (field.findtext("name") or "").strip():
            wrong("no name shown")
        default = field.get("default")
        if kind == F0R_PARAM_DOUBLE:
            # Kdenlive stores an animated field's default unconverted as the
            # property's value, so it is in the filter's units, while min and
            # max are in the units shown, the filter's value times the factor.
            factor = float(field.get("factor", "1"))
            low, high = (float(field.get(key)) / factor for key in ("min", "max"))
            if float(default) != value_of(index, kind).value:
                wrong(f"default {default} is not the filter's {value_of(index, kind).value} (in the filter's units)")
            if low != 0.0 or high != 1.0:
                wrong(f"range {low}..{high} after the factor is not 0..1")
        elif kind == F0R_PARAM_BOOL:
            if float(default) != value_of(index, kind).value:
                wrong(f"default {default} is not the filter's {value_of(index, kind).value}")
        elif kind == F0R_PARAM_COLOR:
            color = value_of(index, kind)
            expected = "0x%02x%02x%02xff" % tuple(round(c * 255) for c in (color.r, color.g, color.b))
            if default.lower() != expected:
                wrong(f"default {default} is not the filter's {expected}")
        elif kind == F0R_PARAM_STRING:
            if default != value_of(index, kind).value.decode():
                wrong(f"default {default} is not the filter's {value_of(index, kind).value.decode()}")
            choices = field.get("paramlist", "").split(";")
            shown = (field.findtext("paramlistdisplay") or "").split(",")
            if len(shown) != len(choices):
                wrong("paramlistdisplay does not name every choice")
            for choice in choices:
                text = ctypes.c_char_p(choice.encode())
                plugin.f0r_set_param_value(instance, ctypes.byref(text), index)
                if value_of(index, kind).value.decode() != choice:
                    wrong(f"the filter does not take the choice {choice}")

    plugin.f0r_destruct(instance)
    plugin.f0r_deinit()
    for problem in problems:
        print("kdenlive effect:", problem)
    print(f"kdenlive effect: {len(fields)} parameters checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
