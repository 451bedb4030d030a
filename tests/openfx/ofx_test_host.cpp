#include "tests/openfx/ofx_test_host.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tidalhalo::ofxtest {
namespace {

// Set by the thread that creates the host and by every action; renders on
// other threads read it.
std::atomic<TestHost *> active_host{nullptr};

// Two instances may render at once on different threads: each thread has
// its own current action.
thread_local std::string current_action;
thread_local bool in_render = false;

std::string Quoted(const char *text) { return text == nullptr ? std::string("NULL") : "\"" + std::string(text) + "\""; }

// The set a handle names, or null after recording the breach.
PropertySet *PropsOf(OfxPropertySetHandle handle, const char *call, const char *name) {
    TestHost *host = TestHost::Active();
    if (!host->IsPropertySet(handle)) {
        host->Breach(std::string(call) + "(bad handle, " + Quoted(name) + ")");
        return nullptr;
    }
    return reinterpret_cast<PropertySet *>(handle);
}

template <typename T>
std::vector<T> &ValuesOf(Property &property);
template <>
std::vector<int> &ValuesOf<int>(Property &property) { return property.ints; }
template <>
std::vector<double> &ValuesOf<double>(Property &property) { return property.doubles; }
template <>
std::vector<std::string> &ValuesOf<std::string>(Property &property) { return property.strings; }
template <>
std::vector<void *> &ValuesOf<void *>(Property &property) { return property.pointers; }

template <typename T>
constexpr char TypeCode() {
    if constexpr (std::is_same_v<T, int>) {
        return 'i';
    } else if constexpr (std::is_same_v<T, double>) {
        return 'd';
    } else if constexpr (std::is_same_v<T, std::string>) {
        return 's';
    } else {
        return 'p';
    }
}

// The property a call reaches, checked for type and index; null with the
// status to answer otherwise.
template <typename T>
Property *Reach(OfxPropertySetHandle handle, const char *call, const char *name, int index, bool writing,
                OfxStatus &status) {
    std::lock_guard<std::recursive_mutex> guard(TestHost::Active()->Lock());
    PropertySet *set = PropsOf(handle, call, name);
    TestHost *host = TestHost::Active();
    status = kOfxStatOK;
    if (set == nullptr) {
        status = kOfxStatErrBadHandle;
        return nullptr;
    }
    const std::string where = std::string(call) + "(" + set->what + ", " + Quoted(name) + ", " +
                              std::to_string(index) + ")";
    if (name == nullptr) {
        host->Breach(where + ": no property name");
        status = kOfxStatErrUnknown;
        return nullptr;
    }
    auto found = set->properties.find(name);
    if (found == set->properties.end()) {
        status = kOfxStatErrUnknown;  // a host may not know it: not a breach
        return nullptr;
    }
    Property &property = found->second;
    if (property.type != TypeCode<T>()) {
        host->Breach(where + ": the property holds type " + std::string(1, property.type));
        status = kOfxStatErrValue;
        return nullptr;
    }
    if (writing && !property.plugin_writes) {
        host->Breach(where + ": the property is the host's");
        status = kOfxStatErrValue;
        return nullptr;
    }
    const int limit = property.dimension == 0 ? (writing ? 1 << 20 : property.Count()) : property.dimension;
    if (index < 0 || index >= limit) {
        host->Breach(where + ": index beyond dimension " + std::to_string(limit));
        status = kOfxStatErrBadIndex;
        return nullptr;
    }
    return &property;
}

template <typename T, typename In>
OfxStatus SetOne(OfxPropertySetHandle handle, const char *call, const char *name, int index, In value) {
    OfxStatus status;
    Property *property = Reach<T>(handle, call, name, index, true, status);
    if (property != nullptr) {
        std::lock_guard<std::recursive_mutex> guard(TestHost::Active()->Lock());
        auto &values = ValuesOf<T>(*property);
        if (values.size() <= static_cast<std::size_t>(index)) {
            values.resize(static_cast<std::size_t>(index) + 1);
        }
        if constexpr (std::is_same_v<T, std::string>) {
            if (value == nullptr) {
                TestHost::Active()->Breach(std::string(call) + "(" + Quoted(name) + "): null string");
                return kOfxStatErrValue;
            }
        }
        values[static_cast<std::size_t>(index)] = T(value);
    }
    return status;
}

template <typename T, typename Out>
OfxStatus GetOne(OfxPropertySetHandle handle, const char *call, const char *name, int index, Out *value) {
    if (value == nullptr) {
        TestHost::Active()->Breach(std::string(call) + "(" + Quoted(name) + "): null destination");
        return kOfxStatErrValue;
    }
    OfxStatus status;
    Property *property = Reach<T>(handle, call, name, index, false, status);
    if (property == nullptr) {
        return status;
    }
    std::lock_guard<std::recursive_mutex> guard(TestHost::Active()->Lock());
    auto &values = ValuesOf<T>(*property);
    if (static_cast<std::size_t>(index) >= values.size()) {
        return kOfxStatErrBadIndex;
    }
    if constexpr (std::is_same_v<T, std::string>) {
        *value = const_cast<char *>(values[static_cast<std::size_t>(index)].c_str());
    } else {
        *value = values[static_cast<std::size_t>(index)];
    }
    return kOfxStatOK;
}

// Each one-value call, and its N form as that call for indices 0..count-1.
#define OFX_TEST_PROPERTY_CALLS(Kind, T, SetIn, GetOut)                                                     \
    OfxStatus PropSet##Kind(OfxPropertySetHandle h, const char *n, int i, SetIn v) {                        \
        return SetOne<T>(h, "propSet" #Kind, n, i, v);                                                      \
    }                                                                                                       \
    OfxStatus PropGet##Kind(OfxPropertySetHandle h, const char *n, int i, GetOut *v) {                      \
        return GetOne<T>(h, "propGet" #Kind, n, i, v);                                                      \
    }                                                                                                       \
    OfxStatus PropSet##Kind##N(OfxPropertySetHandle h, const char *n, int count, SetIn const *v) {          \
        OfxStatus status = kOfxStatOK;                                                                      \
        for (int i = 0; i < count && status == kOfxStatOK; ++i) status = PropSet##Kind(h, n, i, v[i]);      \
        return status;                                                                                      \
    }                                                                                                       \
    OfxStatus PropGet##Kind##N(OfxPropertySetHandle h, const char *n, int count, GetOut *v) {               \
        OfxStatus status = kOfxStatOK;                                                                      \
        for (int i = 0; i < count && status == kOfxStatOK; ++i) status = PropGet##Kind(h, n, i, v + i);     \
        return status;                                                                                      \
    }

OFX_TEST_PROPERTY_CALLS(Pointer, void *, void *, void *)
OFX_TEST_PROPERTY_CALLS(String, std::string, const char *, char *)
OFX_TEST_PROPERTY_CALLS(Double, double, double, double)
OFX_TEST_PROPERTY_CALLS(Int, int, int, int)
#undef OFX_TEST_PROPERTY_CALLS

OfxStatus PropReset(OfxPropertySetHandle h, const char *n) {
    std::lock_guard<std::recursive_mutex> guard(TestHost::Active()->Lock());
    return PropsOf(h, "propReset", n) == nullptr ? kOfxStatErrBadHandle : kOfxStatOK;
}
OfxStatus PropGetDimension(OfxPropertySetHandle h, const char *n, int *count) {
    std::lock_guard<std::recursive_mutex> guard(TestHost::Active()->Lock());
    PropertySet *set = PropsOf(h, "propGetDimension", n);
    if (set == nullptr) {
        return kOfxStatErrBadHandle;
    }
    const Property *property = n == nullptr ? nullptr : set->Find(n);
    if (property == nullptr || count == nullptr) {
        return kOfxStatErrUnknown;
    }
    *count = property->Count();
    return kOfxStatOK;
}

const OfxPropertySuiteV1 PROPERTY_SUITE = {
    PropSetPointer,  PropSetString,  PropSetDouble,  PropSetInt,     PropSetPointerN, PropSetStringN,
    PropSetDoubleN,  PropSetIntN,    PropGetPointer, PropGetString,  PropGetDouble,   PropGetInt,
    PropGetPointerN, PropGetStringN, PropGetDoubleN, PropGetIntN,    PropReset,       PropGetDimension};

Effect *EffectOf(const void *handle, const char *call) {
    TestHost *host = TestHost::Active();
    if (!host->IsEffect(handle)) {
        host->Breach(std::string(call) + "(bad effect handle)");
        return nullptr;
    }
    return static_cast<Effect *>(const_cast<void *>(handle));
}

OfxStatus GetPropertySet(OfxImageEffectHandle effect, OfxPropertySetHandle *props) {
    Effect *e = EffectOf(effect, "getPropertySet");
    if (e == nullptr || props == nullptr) return kOfxStatErrBadHandle;
    *props = reinterpret_cast<OfxPropertySetHandle>(&e->props);
    return kOfxStatOK;
}

OfxStatus GetParamSet(OfxImageEffectHandle effect, OfxParamSetHandle *params) {
    Effect *e = EffectOf(effect, "getParamSet");
    if (e == nullptr || params == nullptr) return kOfxStatErrBadHandle;
    *params = reinterpret_cast<OfxParamSetHandle>(&e->param_set_props);
    return kOfxStatOK;
}

OfxStatus ClipDefine(OfxImageEffectHandle effect, const char *name, OfxPropertySetHandle *props) {
    Effect *e = EffectOf(effect, "clipDefine");
    if (e == nullptr || props == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    if (e->is_instance) {
        TestHost::Active()->Breach("clipDefine(" + Quoted(name) + ") on an instance");
        return kOfxStatErrBadHandle;
    }
    auto clip = std::make_unique<Clip>();
    clip->name = name;
    clip->props.what = std::string("clip ") + name;
    PropertySet &p = clip->props;
    p.Define(kOfxPropType, 's', 1, false);
    p.SetString(kOfxPropType, kOfxTypeClip);
    p.Define(kOfxPropName, 's', 1, false);
    p.SetString(kOfxPropName, name);
    p.Define(kOfxPropLabel, 's', 1, true);
    p.Define(kOfxImageEffectPropSupportedComponents, 's', 0, true);
    p.Define(kOfxImageEffectPropTemporalClipAccess, 'i', 1, true);
    p.Define(kOfxImageEffectPropSupportsTiles, 'i', 1, true);
    p.Define(kOfxImageClipPropOptional, 'i', 1, true);
    *props = reinterpret_cast<OfxPropertySetHandle>(&clip->props);
    TestHost::Active()->Register(&clip->props, 'p');
    TestHost::Active()->Register(clip.get(), 'c');
    e->clips[name] = std::move(clip);
    return kOfxStatOK;
}

OfxStatus ClipGetHandle(OfxImageEffectHandle effect, const char *name, OfxImageClipHandle *clip,
                        OfxPropertySetHandle *props) {
    Effect *e = EffectOf(effect, "clipGetHandle");
    if (e == nullptr || clip == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    auto found = e->clips.find(name);
    if (found == e->clips.end()) {
        TestHost::Active()->Breach("clipGetHandle(" + Quoted(name) + "): no such clip");
        return kOfxStatErrUnknown;
    }
    *clip = reinterpret_cast<OfxImageClipHandle>(found->second.get());
    if (props != nullptr) *props = reinterpret_cast<OfxPropertySetHandle>(&found->second->props);
    return kOfxStatOK;
}

Clip *ClipOf(OfxImageClipHandle clip, const char *call) {
    TestHost *host = TestHost::Active();
    if (!host->IsClip(clip)) {
        host->Breach(std::string(call) + "(bad clip handle)");
        return nullptr;
    }
    return reinterpret_cast<Clip *>(clip);
}

OfxStatus ClipGetPropertySet(OfxImageClipHandle clip, OfxPropertySetHandle *props) {
    Clip *c = ClipOf(clip, "clipGetPropertySet");
    if (c == nullptr || props == nullptr) return kOfxStatErrBadHandle;
    *props = reinterpret_cast<OfxPropertySetHandle>(&c->props);
    return kOfxStatOK;
}

OfxStatus ClipGetImage(OfxImageClipHandle clip, OfxTime time, const OfxRectD *, OfxPropertySetHandle *image) {
    Clip *c = ClipOf(clip, "clipGetImage");
    if (c == nullptr || image == nullptr) return kOfxStatErrBadHandle;
    TestHost *host = TestHost::Active();
    if (!host->InRender()) {
        host->Breach("clipGetImage(" + c->name + ") outside a render");
    }
    PropertySet *props = host->ImageHandOut(*c, time);
    if (props == nullptr) {
        *image = nullptr;
        return kOfxStatFailed;
    }
    *image = reinterpret_cast<OfxPropertySetHandle>(props);
    return kOfxStatOK;
}

OfxStatus ClipReleaseImage(OfxPropertySetHandle image) {
    if (!TestHost::Active()->ImageGiveBack(image)) {
        TestHost::Active()->Breach("clipReleaseImage(an image not held)");
        return kOfxStatErrBadHandle;
    }
    return kOfxStatOK;
}

OfxStatus ClipGetRegionOfDefinition(OfxImageClipHandle clip, OfxTime, OfxRectD *bounds) {
    Clip *c = ClipOf(clip, "clipGetRegionOfDefinition");
    if (c == nullptr || bounds == nullptr) return kOfxStatErrBadHandle;
    *bounds = c->rod;
    return kOfxStatOK;
}

int Abort(OfxImageEffectHandle) { return 0; }

OfxStatus ImageMemoryAlloc(OfxImageEffectHandle, size_t bytes, OfxImageMemoryHandle *memory) {
    if (memory == nullptr) return kOfxStatErrBadHandle;
    *memory = static_cast<OfxImageMemoryHandle>(std::malloc(bytes == 0 ? 1 : bytes));
    return *memory == nullptr ? kOfxStatErrMemory : kOfxStatOK;
}
OfxStatus ImageMemoryFree(OfxImageMemoryHandle memory) {
    std::free(memory);
    return kOfxStatOK;
}
OfxStatus ImageMemoryLock(OfxImageMemoryHandle memory, void **pointer) {
    if (pointer == nullptr) return kOfxStatErrBadHandle;
    *pointer = memory;
    return kOfxStatOK;
}
OfxStatus ImageMemoryUnlock(OfxImageMemoryHandle) { return kOfxStatOK; }

const OfxImageEffectSuiteV1 EFFECT_SUITE = {GetPropertySet,     GetParamSet,      ClipDefine,
                                            ClipGetHandle,      ClipGetPropertySet, ClipGetImage,
                                            ClipReleaseImage,   ClipGetRegionOfDefinition, Abort,
                                            ImageMemoryAlloc,   ImageMemoryFree,  ImageMemoryLock,
                                            ImageMemoryUnlock};

// The properties a parameter of this type holds: name, type, dimension.
void DefineParamProperties(PropertySet &p, const std::string &type, const std::string &name) {
    const bool is_double = type == kOfxParamTypeDouble || type == kOfxParamTypeDouble2D || type == kOfxParamTypeRGB;
    const int dimension = type == kOfxParamTypeDouble2D ? 2 : (type == kOfxParamTypeRGB ? 3 : 1);
    const char value_type = is_double ? 'd' : 'i';
    p.Define(kOfxPropType, 's', 1, false);
    p.SetString(kOfxPropType, kOfxTypeParameter);
    p.Define(kOfxPropName, 's', 1, false);
    p.SetString(kOfxPropName, name);
    p.Define(kOfxParamPropType, 's', 1, false);
    p.SetString(kOfxParamPropType, type);
    p.Define(kOfxPropLabel, 's', 1, true);
    p.Define(kOfxParamPropHint, 's', 1, true);
    p.Define(kOfxParamPropScriptName, 's', 1, true);
    p.Define(kOfxParamPropAnimates, 'i', 1, true);
    p.Define(kOfxParamPropDefault, value_type, dimension, true);
    if (type == kOfxParamTypeChoice) {
        p.Define(kOfxParamPropChoiceOption, 's', 0, true);
    }
    if (is_double) {
        for (const char *range : {kOfxParamPropMin, kOfxParamPropMax, kOfxParamPropDisplayMin, kOfxParamPropDisplayMax}) {
            p.Define(range, 'd', dimension, true);
        }
        p.Define(kOfxParamPropDigits, 'i', 1, true);
        p.Define(kOfxParamPropIncrement, 'd', 1, true);
    }
    if (type == kOfxParamTypeDouble || type == kOfxParamTypeDouble2D) {
        p.Define(kOfxParamPropDoubleType, 's', 1, true);
    }
    if (type == kOfxParamTypeDouble2D) {
        p.Define(kOfxParamPropUseHostOverlayHandle, 'i', 1, true);
    }
}

Effect *ParamSetOwner(OfxParamSetHandle params, const char *call);

OfxStatus ParamDefine(OfxParamSetHandle params, const char *type, const char *name, OfxPropertySetHandle *props) {
    Effect *e = ParamSetOwner(params, "paramDefine");
    if (e == nullptr || type == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    TestHost *host = TestHost::Active();
    for (const auto &param : e->params) {
        if (param->name == name) {
            host->Breach("paramDefine(" + Quoted(name) + "): defined twice");
            return kOfxStatErrExists;
        }
    }
    const std::string kind = type;
    if (kind != kOfxParamTypeDouble && kind != kOfxParamTypeDouble2D && kind != kOfxParamTypeRGB &&
        kind != kOfxParamTypeBoolean && kind != kOfxParamTypeChoice) {
        return kOfxStatErrUnsupported;
    }
    auto param = std::make_unique<Param>();
    param->name = name;
    param->type = type;
    param->props.what = "param " + param->name;
    DefineParamProperties(param->props, kind, name);
    if (kind == kOfxParamTypeDouble2D && host->Options().normalised_defaults) {
        param->props.Define(kOfxParamPropDefaultCoordinateSystem, 's', 1, true);
    }
    if (props != nullptr) *props = reinterpret_cast<OfxPropertySetHandle>(&param->props);
    host->Register(&param->props, 'p');
    host->Register(param.get(), 'q');
    e->params.push_back(std::move(param));
    return kOfxStatOK;
}

OfxStatus ParamGetHandle(OfxParamSetHandle params, const char *name, OfxParamHandle *param,
                         OfxPropertySetHandle *props) {
    Effect *e = ParamSetOwner(params, "paramGetHandle");
    if (e == nullptr || param == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    for (const auto &p : e->params) {
        if (p->name == name) {
            *param = reinterpret_cast<OfxParamHandle>(p.get());
            if (props != nullptr) *props = reinterpret_cast<OfxPropertySetHandle>(&p->props);
            return kOfxStatOK;
        }
    }
    TestHost::Active()->Breach("paramGetHandle(" + Quoted(name) + "): no such parameter");
    return kOfxStatErrUnknown;
}

OfxStatus ParamSetGetPropertySet(OfxParamSetHandle params, OfxPropertySetHandle *props) {
    Effect *e = ParamSetOwner(params, "paramSetGetPropertySet");
    if (e == nullptr || props == nullptr) return kOfxStatErrBadHandle;
    *props = reinterpret_cast<OfxPropertySetHandle>(&e->param_set_props);
    return kOfxStatOK;
}

Param *ParamOf(OfxParamHandle handle, const char *call) {
    if (!TestHost::Active()->IsParam(handle)) {
        TestHost::Active()->Breach(std::string(call) + "(bad parameter handle)");
        return nullptr;
    }
    return reinterpret_cast<Param *>(handle);
}

OfxStatus ParamGetPropertySet(OfxParamHandle handle, OfxPropertySetHandle *props) {
    Param *p = ParamOf(handle, "paramGetPropertySet");
    if (p == nullptr || props == nullptr) return kOfxStatErrBadHandle;
    *props = reinterpret_cast<OfxPropertySetHandle>(&p->props);
    return kOfxStatOK;
}

// Writes the value through the pointers the type takes: doubles for the
// double types, one int for boolean and choice.
OfxStatus WriteValue(const Param &param, va_list args) {
    if (param.type == kOfxParamTypeBoolean || param.type == kOfxParamTypeChoice) {
        int *out = va_arg(args, int *);
        if (out == nullptr) return kOfxStatErrValue;
        *out = static_cast<int>(param.values[0]);
        return kOfxStatOK;
    }
    for (double value : param.values) {
        double *out = va_arg(args, double *);
        if (out == nullptr) return kOfxStatErrValue;
        *out = value;
    }
    return kOfxStatOK;
}

OfxStatus ParamGetValue(OfxParamHandle handle, ...) {
    Param *p = ParamOf(handle, "paramGetValue");
    if (p == nullptr) return kOfxStatErrBadHandle;
    if (TestHost::Active()->InRender()) {
        TestHost::Active()->Breach("paramGetValue(" + p->name + ") in a render, where a value at a time is asked");
    }
    va_list args;
    va_start(args, handle);
    const OfxStatus status = WriteValue(*p, args);
    va_end(args);
    return status;
}

OfxStatus ParamUnsupported() { return kOfxStatErrUnsupported; }

Effect *ParamSetOwner(OfxParamSetHandle params, const char *call) {
    TestHost *host = TestHost::Active();
    if (!host->IsParamSet(params)) {
        host->Breach(std::string(call) + "(bad parameter set handle)");
        return nullptr;
    }
    return host->ParamSetEffect(params);
}

OfxStatus ParamGetDerivative(OfxParamHandle, OfxTime, ...) { return ParamUnsupported(); }
OfxStatus ParamGetIntegral(OfxParamHandle, OfxTime, OfxTime, ...) { return ParamUnsupported(); }

// Reads a value of the parameter's type from the arguments: doubles for the
// double types, one int for boolean and choice.
std::vector<double> ReadValue(const Param &param, va_list args) {
    std::vector<double> values;
    if (param.type == kOfxParamTypeBoolean || param.type == kOfxParamTypeChoice) {
        values.push_back(va_arg(args, int));
        return values;
    }
    for (std::size_t i = 0; i < param.values.size(); ++i) values.push_back(va_arg(args, double));
    return values;
}

std::string Listed(const std::vector<double> &values) {
    std::string text;
    for (double value : values) {
        char number[40];
        std::snprintf(number, sizeof number, " %.17g", value);
        text += number;
    }
    return text;
}

OfxStatus ParamSetValue(OfxParamHandle handle, ...) {
    Param *p = ParamOf(handle, "paramSetValue");
    if (p == nullptr) return kOfxStatErrBadHandle;
    TestHost *host = TestHost::Active();
    if (host->InRender()) host->Breach("paramSetValue(" + p->name + ") in a render");
    va_list args;
    va_start(args, handle);
    const std::vector<double> values = ReadValue(*p, args);
    va_end(args);
    std::lock_guard<std::recursive_mutex> guard(host->Lock());
    if (!p->keys.empty()) host->Breach("paramSetValue(" + p->name + ") on an animated parameter");
    p->values = values;
    host->Edit("set " + p->name + Listed(values));
    return kOfxStatOK;
}

OfxStatus ParamSetValueAtTime(OfxParamHandle handle, OfxTime time, ...) {
    Param *p = ParamOf(handle, "paramSetValueAtTime");
    if (p == nullptr) return kOfxStatErrBadHandle;
    TestHost *host = TestHost::Active();
    if (host->InRender()) host->Breach("paramSetValueAtTime(" + p->name + ") in a render");
    va_list args;
    va_start(args, time);
    const std::vector<double> values = ReadValue(*p, args);
    va_end(args);
    std::lock_guard<std::recursive_mutex> guard(host->Lock());
    p->keys[time] = values;
    host->Edit("key " + p->name + " @" + Listed({time}).substr(1) + Listed(values));
    return kOfxStatOK;
}

OfxStatus ParamGetNumKeys(OfxParamHandle handle, unsigned int *keys) {
    Param *p = ParamOf(handle, "paramGetNumKeys");
    if (p == nullptr || keys == nullptr) return kOfxStatErrBadHandle;
    *keys = static_cast<unsigned int>(p->keys.size());
    return kOfxStatOK;
}
OfxStatus ParamGetKeyTime(OfxParamHandle, unsigned int, OfxTime *) { return kOfxStatErrBadIndex; }
OfxStatus ParamGetKeyIndex(OfxParamHandle, OfxTime, int, int *) { return kOfxStatFailed; }
OfxStatus ParamDeleteKey(OfxParamHandle, OfxTime) { return kOfxStatErrBadIndex; }
OfxStatus ParamDeleteAllKeys(OfxParamHandle) { return kOfxStatOK; }
OfxStatus ParamCopy(OfxParamHandle, OfxParamHandle, OfxTime, const OfxRangeD *) { return ParamUnsupported(); }

OfxStatus ParamEditBegin(OfxParamSetHandle params, const char *name) {
    TestHost *host = TestHost::Active();
    if (ParamSetOwner(params, "paramEditBegin") == nullptr) return kOfxStatErrBadHandle;
    if (host->OpenEdits() > 0) host->Breach("paramEditBegin(" + Quoted(name) + ") inside another edit");
    host->OpenEdit(1);
    host->Edit("begin " + std::string(name == nullptr ? "" : name));
    return kOfxStatOK;
}

OfxStatus ParamEditEnd(OfxParamSetHandle params) {
    TestHost *host = TestHost::Active();
    if (ParamSetOwner(params, "paramEditEnd") == nullptr) return kOfxStatErrBadHandle;
    if (host->OpenEdits() == 0) {
        host->Breach("paramEditEnd without paramEditBegin");
        return kOfxStatFailed;
    }
    host->OpenEdit(-1);
    host->Edit("end");
    return kOfxStatOK;
}

// An animated parameter holds its keys' values, the earlier key's between two.
std::vector<double> ValueAt(const Param &param, OfxTime time) {
    if (param.keys.empty()) return param.values;
    auto after = param.keys.upper_bound(time);
    return after == param.keys.begin() ? after->second : std::prev(after)->second;
}

OfxStatus ParamGetValueAtTime(OfxParamHandle handle, OfxTime time, ...) {
    Param *p = ParamOf(handle, "paramGetValueAtTime");
    if (p == nullptr) return kOfxStatErrBadHandle;
    Param held;
    held.type = p->type;
    held.values = ValueAt(*p, time);
    va_list args;
    va_start(args, time);
    const OfxStatus status = WriteValue(held, args);
    va_end(args);
    return status;
}

const OfxParameterSuiteV1 PARAMETER_SUITE = {
    ParamDefine,      ParamGetHandle,    ParamSetGetPropertySet, ParamGetPropertySet, ParamGetValue,
    ParamGetValueAtTime, ParamGetDerivative, ParamGetIntegral, ParamSetValue, ParamSetValueAtTime,
    ParamGetNumKeys,  ParamGetKeyTime,   ParamGetKeyIndex,       ParamDeleteKey,      ParamDeleteAllKeys,
    ParamCopy,        ParamEditBegin,    ParamEditEnd};

thread_local bool spawned_thread = false;
thread_local unsigned spawned_index = 0;

OfxStatus MultiThread(OfxThreadFunctionV1 *function, unsigned int count, void *argument) {
    if (function == nullptr) return kOfxStatErrBadHandle;
    if (spawned_thread) return kOfxStatErrExists;
    if (TestHost::Active()->Options().single_threaded_stand_in) {
        spawned_thread = true;
        for (unsigned i = 0; i < count; ++i) {
            spawned_index = i;
            function(i, count, argument);
        }
        spawned_thread = false;
        spawned_index = 0;
        return kOfxStatOK;
    }
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < count; ++i) {
        threads.emplace_back([=] {
            spawned_thread = true;
            spawned_index = i;
            function(i, count, argument);
        });
    }
    spawned_thread = true;
    function(0, count, argument);
    spawned_thread = false;
    for (std::thread &thread : threads) thread.join();
    return kOfxStatOK;
}
OfxStatus MultiThreadNumCPUs(unsigned int *cpus) {
    if (cpus == nullptr) return kOfxStatErrBadHandle;
    *cpus = TestHost::Active()->Options().cpus;
    return kOfxStatOK;
}
OfxStatus MultiThreadIndex(unsigned int *index) {
    if (index == nullptr) return kOfxStatErrBadHandle;
    *index = spawned_thread ? spawned_index : 0;
    return kOfxStatOK;
}
int MultiThreadIsSpawnedThread() { return spawned_thread ? 1 : 0; }
OfxStatus MutexCreate(OfxMutexHandle *mutex, int) {
    if (mutex == nullptr) return kOfxStatErrBadHandle;
    *mutex = reinterpret_cast<OfxMutexHandle>(new std::recursive_mutex);
    return kOfxStatOK;
}
OfxStatus MutexDestroy(const OfxMutexHandle mutex) {
    delete reinterpret_cast<std::recursive_mutex *>(mutex);
    return kOfxStatOK;
}
OfxStatus MutexLock(const OfxMutexHandle mutex) {
    reinterpret_cast<std::recursive_mutex *>(mutex)->lock();
    return kOfxStatOK;
}
OfxStatus MutexUnLock(const OfxMutexHandle mutex) {
    reinterpret_cast<std::recursive_mutex *>(mutex)->unlock();
    return kOfxStatOK;
}
OfxStatus MutexTryLock(const OfxMutexHandle mutex) {
    return reinterpret_cast<std::recursive_mutex *>(mutex)->try_lock() ? kOfxStatOK : kOfxStatFailed;
}

const OfxMultiThreadSuiteV1 MULTITHREAD_SUITE = {MultiThread, MultiThreadNumCPUs, MultiThreadIndex,
                                                 MultiThreadIsSpawnedThread, MutexCreate, MutexDestroy,
                                                 MutexLock, MutexUnLock, MutexTryLock};

OfxStatus MemoryAlloc(void *, size_t bytes, void **data) {
    if (data == nullptr) return kOfxStatErrBadHandle;
    *data = std::malloc(bytes == 0 ? 1 : bytes);
    return *data == nullptr ? kOfxStatErrMemory : kOfxStatOK;
}
OfxStatus MemoryFree(void *data) {
    std::free(data);
    return kOfxStatOK;
}
const OfxMemorySuiteV1 MEMORY_SUITE = {MemoryAlloc, MemoryFree};

OfxStatus MessageV1(void *, const char *type, const char *, const char *format, ...) {
    if (format == nullptr || type == nullptr) {
        TestHost::Active()->Breach("message(no type or format)");
        return kOfxStatErrValue;
    }
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    TestHost::Active()->Message(std::string(type) + ": " + text);
    return kOfxStatOK;
}
const OfxMessageSuiteV1 MESSAGE_SUITE = {MessageV1};

Interact *InteractOf(const void *handle, const char *call) {
    TestHost *host = TestHost::Active();
    if (!host->IsHandle(handle, 'i')) {
        host->Breach(std::string(call) + "(bad interact handle)");
        return nullptr;
    }
    return static_cast<Interact *>(const_cast<void *>(handle));
}

OfxStatus InteractSwapBuffers(OfxInteractHandle handle) {
    // The host shows what the overlay drew; an overlay never swaps.
    TestHost::Active()->Breach(InteractOf(handle, "interactSwapBuffers") == nullptr
                                   ? "interactSwapBuffers(bad handle)"
                                   : "interactSwapBuffers called by an overlay");
    return kOfxStatOK;
}
OfxStatus InteractRedraw(OfxInteractHandle handle) {
    Interact *interact = InteractOf(handle, "interactRedraw");
    if (interact == nullptr) return kOfxStatErrBadHandle;
    interact->redraws += 1;
    return kOfxStatOK;
}
OfxStatus InteractGetPropertySet(OfxInteractHandle handle, OfxPropertySetHandle *props) {
    Interact *interact = InteractOf(handle, "interactGetPropertySet");
    if (interact == nullptr || props == nullptr) return kOfxStatErrBadHandle;
    *props = reinterpret_cast<OfxPropertySetHandle>(&interact->props);
    return kOfxStatOK;
}
const OfxInteractSuiteV1 INTERACT_SUITE = {InteractSwapBuffers, InteractRedraw, InteractGetPropertySet};

DrawRecording *RecordingOf(OfxDrawContextHandle context, const char *call) {
    TestHost *host = TestHost::Active();
    if (!host->IsHandle(context, 'd')) {
        host->Breach(std::string(call) + "(bad draw context)");
        return nullptr;
    }
    return reinterpret_cast<DrawRecording *>(context);
}
OfxStatus DrawGetColour(OfxDrawContextHandle context, OfxStandardColour, OfxRGBAColourF *colour) {
    DrawRecording *recording = RecordingOf(context, "getColour");
    if (recording == nullptr || colour == nullptr) return kOfxStatErrBadHandle;
    *colour = OfxRGBAColourF{1, 1, 1, 1};
    recording->calls.push_back({"getColour", {}, 0, -1, {}});
    return kOfxStatOK;
}
OfxStatus DrawSetColour(OfxDrawContextHandle context, const OfxRGBAColourF *colour) {
    DrawRecording *recording = RecordingOf(context, "setColour");
    if (recording == nullptr || colour == nullptr) return kOfxStatErrBadHandle;
    recording->calls.push_back({"setColour", *colour, 0, -1, {}});
    return kOfxStatOK;
}
OfxStatus DrawSetLineWidth(OfxDrawContextHandle context, float width) {
    DrawRecording *recording = RecordingOf(context, "setLineWidth");
    if (recording == nullptr) return kOfxStatErrBadHandle;
    recording->calls.push_back({"setLineWidth", {}, width, -1, {}});
    return kOfxStatOK;
}
OfxStatus DrawSetLineStipple(OfxDrawContextHandle context, OfxDrawLineStipplePattern pattern) {
    DrawRecording *recording = RecordingOf(context, "setLineStipple");
    if (recording == nullptr) return kOfxStatErrBadHandle;
    recording->calls.push_back({"setLineStipple", {}, 0, static_cast<int>(pattern), {}});
    return kOfxStatOK;
}
OfxStatus DrawDraw(OfxDrawContextHandle context, OfxDrawPrimitive primitive, const OfxPointD *points, int count) {
    DrawRecording *recording = RecordingOf(context, "draw");
    if (recording == nullptr || (points == nullptr && count > 0) || count < 0) return kOfxStatErrBadHandle;
    recording->calls.push_back({"draw", {}, 0, static_cast<int>(primitive),
                                std::vector<OfxPointD>(points, points + count)});
    return kOfxStatOK;
}
OfxStatus DrawText(OfxDrawContextHandle context, const char *, const OfxPointD *, int) {
    DrawRecording *recording = RecordingOf(context, "drawText");
    if (recording == nullptr) return kOfxStatErrBadHandle;
    recording->calls.push_back({"drawText", {}, 0, -1, {}});
    return kOfxStatOK;
}
const OfxDrawSuiteV1 DRAW_SUITE = {DrawGetColour, DrawSetColour, DrawSetLineWidth,
                                   DrawSetLineStipple, DrawDraw, DrawText};

const void *FetchSuiteThunk(OfxPropertySetHandle host, const char *name, int version) {
    return TestHost::Active()->FetchSuite(host, name, version);
}

void *OpenLibrary(const std::string &path) {
#if defined(_WIN32)
    return reinterpret_cast<void *>(LoadLibraryA(path.c_str()));
#else
    return dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
#endif
}

void *Symbol(void *library, const char *name) {
#if defined(_WIN32)
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

void CloseLibrary(void *library) {
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
}

int DepthBytes(const std::string &depth) {
    if (depth == kOfxBitDepthShort) return 2;
    if (depth == kOfxBitDepthFloat) return 4;
    return 1;
}

}  // namespace

int Property::Count() const {
    switch (type) {
    case 'i': return static_cast<int>(ints.size());
    case 'd': return static_cast<int>(doubles.size());
    case 's': return static_cast<int>(strings.size());
    default: return static_cast<int>(pointers.size());
    }
}

void PropertySet::Define(const std::string &name, char type, int dimension, bool plugin_writes) {
    Property &property = properties[name];
    property.type = type;
    property.dimension = dimension;
    property.plugin_writes = plugin_writes;
}

void PropertySet::SetString(const std::string &name, const std::string &value, int dimension) {
    Define(name, 's', dimension, properties.count(name) ? properties[name].plugin_writes : false);
    properties[name].strings = {value};
}

void PropertySet::SetStrings(const std::string &name, const std::vector<std::string> &values) {
    Define(name, 's', 0, false);
    properties[name].strings = values;
}

void PropertySet::SetInts(const std::string &name, const std::vector<int> &values, int dimension) {
    Define(name, 'i', dimension < 0 ? static_cast<int>(values.size()) : dimension, false);
    properties[name].ints = values;
}

void PropertySet::SetDoubles(const std::string &name, const std::vector<double> &values, int dimension) {
    Define(name, 'd', dimension < 0 ? static_cast<int>(values.size()) : dimension, false);
    properties[name].doubles = values;
}

void PropertySet::SetPointer(const std::string &name, void *value) {
    Define(name, 'p', 1, false);
    properties[name].pointers = {value};
}

const Property *PropertySet::Find(const std::string &name) const {
    auto found = properties.find(name);
    return found == properties.end() ? nullptr : &found->second;
}

HostImage HostImage::Make(const std::string &depth, OfxRectI bounds, int padding, bool top_down, unsigned char fill) {
    HostImage image;
    image.depth = depth;
    image.bounds = bounds;
    const int width = bounds.x2 - bounds.x1;
    const int height = bounds.y2 - bounds.y1;
    const int stride = width * 4 * DepthBytes(depth) + padding;
    image.storage.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height > 0 ? height : 0), fill);
    image.row_bytes = top_down ? -stride : stride;
    image.bottom_offset = top_down && height > 0 ? static_cast<std::ptrdiff_t>(stride) * (height - 1) : 0;
    return image;
}

int HostImage::PixelBytes() const { return 4 * DepthBytes(depth); }

unsigned char *HostImage::Pixel(int x, int y) {
    return static_cast<unsigned char *>(Data()) + static_cast<std::ptrdiff_t>(y - bounds.y1) * row_bytes +
           static_cast<std::ptrdiff_t>(x - bounds.x1) * PixelBytes();
}

const unsigned char *HostImage::Pixel(int x, int y) const { return const_cast<HostImage *>(this)->Pixel(x, y); }

TestHost *TestHost::Active() { return active_host; }

TestHost::TestHost(const std::string &binary, HostOptions options, Strictness level)
    : options_(options), level_(level) {
    library_ = OpenLibrary(binary);
    if (library_ == nullptr) {
        throw std::runtime_error("cannot load " + binary);
    }
    auto count = reinterpret_cast<int (*)()>(Symbol(library_, "OfxGetNumberOfPlugins"));
    auto get = reinterpret_cast<OfxPlugin *(*)(int)>(Symbol(library_, "OfxGetPlugin"));
    if (count == nullptr || get == nullptr) {
        CloseLibrary(library_);
        throw std::runtime_error(binary + " lacks OfxGetNumberOfPlugins or OfxGetPlugin");
    }
    active_host = this;
    plugin_count_ = count();
    plugin_ = plugin_count_ > 0 ? get(0) : nullptr;
    if (plugin_ == nullptr || plugin_->mainEntry == nullptr) {
        CloseLibrary(library_);
        throw std::runtime_error(binary + " offers no plug-in");
    }
    host_props_.what = "host";
    host_props_.SetString(kOfxPropType, kOfxTypeImageEffectHost);
    host_props_.SetString(kOfxPropName, "com.mertvekv.ofxtesthost");
    host_props_.SetString(kOfxPropLabel, "Tidalhalo test host");
    host_props_.SetInts(kOfxPropAPIVersion, {1, 4});
    host_props_.SetInts(kOfxImageEffectPropSupportsTiles, {1});
    host_props_.SetInts(kOfxImageEffectPropSupportsMultiResolution, {1});
    host_props_.SetStrings(kOfxImageEffectPropSupportedContexts,
                           {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral});
    host_props_.SetStrings(kOfxImageEffectPropSupportedComponents, {kOfxImageComponentRGBA});
    if (options_.overlays >= 0) host_props_.SetInts(kOfxImageEffectPropSupportsOverlays, {options_.overlays});
    Register(&host_props_, 'p');
    host_.host = reinterpret_cast<OfxPropertySetHandle>(&host_props_);
    host_.fetchSuite = FetchSuiteThunk;
    if (plugin_->setHost != nullptr) {
        plugin_->setHost(&host_);
    }
}

TestHost::~TestHost() {
    for (auto &interact : interacts_) {
        if (interact != nullptr) OverlayCall(kOfxActionDestroyInstance, interact.get(), nullptr);
    }
    for (auto &instance : instances_) {
        if (instance != nullptr) Call(kOfxActionDestroyInstance, instance.get());
    }
    Unload();
    CloseLibrary(library_);
    active_host = nullptr;
}

const void *TestHost::FetchSuite(OfxPropertySetHandle host, const char *name, int version) {
    if (host != host_.host) {
        Breach("fetchSuite(" + Quoted(name) + ") with another host's handle");
    }
    const std::string suite = name == nullptr ? "" : name;
    if (suite == kOfxPropertySuite && version == 1) return &PROPERTY_SUITE;
    if (suite == kOfxImageEffectSuite && version == 1) return &EFFECT_SUITE;
    if (suite == kOfxParameterSuite && version == 1) return &PARAMETER_SUITE;
    if (suite == kOfxMemorySuite && version == 1) return &MEMORY_SUITE;
    if (suite == kOfxMultiThreadSuite && version == 1 && options_.multithread_suite) return &MULTITHREAD_SUITE;
    if (suite == kOfxMessageSuite && version == 1 && options_.message_suite) return &MESSAGE_SUITE;
    if (suite == kOfxInteractSuite && version == 1 && options_.interact_suite) return &INTERACT_SUITE;
    if (suite == kOfxDrawSuite && version == 1 && options_.draw_suite) return &DRAW_SUITE;
    return nullptr;
}

OfxStatus TestHost::Call(const char *action, const void *handle, OfxPropertySetHandle in_args,
                         OfxPropertySetHandle out_args) {
    active_host = this;
    current_action = action == nullptr ? "" : action;
    const OfxStatus status = plugin_->mainEntry(action, handle, in_args, out_args);
    std::lock_guard<std::recursive_mutex> guard(lock_);
    int left = 0;
    for (auto held = images_out_.begin(); held != images_out_.end();) {
        if (held->second.thread == std::this_thread::get_id()) {
            handles_.erase({held->first, 'p'});
            held = images_out_.erase(held);
            left += 1;
        } else {
            ++held;
        }
    }
    if (left > 0) {
        breaches_.push_back(std::to_string(left) + " image(s) not released at the end of " + current_action);
    }
    return status;
}

OfxStatus TestHost::Load() { return Call(kOfxActionLoad, nullptr); }

OfxStatus TestHost::Unload() { return Call(kOfxActionUnload, nullptr); }

OfxStatus TestHost::Describe() {
    descriptor_ = std::make_unique<Effect>();
    PropertySet &p = descriptor_->props;
    p.what = "effect descriptor";
    p.SetString(kOfxPropType, kOfxTypeImageEffect);
    for (const char *name : {kOfxPropLabel, kOfxPropShortLabel, kOfxPropLongLabel, kOfxPropVersionLabel,
                             kOfxPropPluginDescription, kOfxImageEffectPluginPropGrouping,
                             kOfxImageEffectPluginRenderThreadSafety}) {
        p.Define(name, 's', 1, true);
    }
    if (!options_.newer_properties) {
        for (const char *name : {kOfxPropVersionLabel, kOfxPropPluginDescription}) p.properties.erase(name);
    } else {
        p.Define(kOfxPropVersion, 'i', 0, true);
    }
    p.Define(kOfxImageEffectPropSupportedContexts, 's', 0, true);
    p.Define(kOfxImageEffectPropSupportedPixelDepths, 's', 0, true);
    for (const char *name : {kOfxImageEffectPropSupportsTiles, kOfxImageEffectPropSupportsMultiResolution,
                             kOfxImageEffectPropTemporalClipAccess, kOfxImageEffectPropSupportsMultipleClipDepths,
                             kOfxImageEffectPluginPropFieldRenderTwiceAlways,
                             kOfxImageEffectPluginPropHostFrameThreading}) {
        p.Define(name, 'i', 1, true);
    }
    for (const char *name : {kOfxImageEffectPluginPropOverlayInteractV1, kOfxImageEffectPluginPropOverlayInteractV2}) {
        p.Define(name, 'p', 1, true);
        p.properties[name].pointers = {nullptr};
    }
    Register(&descriptor_->props, 'p');
    Register(descriptor_.get(), 'e');
    const OfxStatus status = Call(kOfxActionDescribe, descriptor_.get());
    if (status == kOfxStatOK) {
        RequireSet(p, kOfxImageEffectPropSupportedContexts, "the describe action");
        RequireSet(p, kOfxImageEffectPropSupportedPixelDepths, "the describe action");
    }
    return status;
}

void TestHost::RequireSet(const PropertySet &set, const char *name, const char *who) {
    const Property *property = set.Find(name);
    if (property == nullptr || property->Count() == 0) {
        Breach(std::string(who) + " left " + name + " unset on the " + set.what);
    }
}

OfxStatus TestHost::DescribeInContext(const char *context) {
    context_descriptor_ = std::make_unique<Effect>();
    context_descriptor_->props = descriptor_->props;
    context_descriptor_->props.what = "context descriptor";
    context_descriptor_->param_set_props.what = "parameter set";
    Register(&context_descriptor_->props, 'p');
    Register(&context_descriptor_->param_set_props, 's', context_descriptor_.get());
    Register(context_descriptor_.get(), 'e');
    PropertySet in_args;
    in_args.what = "describe-in-context arguments";
    in_args.SetString(kOfxImageEffectPropContext, context);
    Register(&in_args, 'p');
    const OfxStatus status = Call(kOfxImageEffectActionDescribeInContext, context_descriptor_.get(),
                                  reinterpret_cast<OfxPropertySetHandle>(&in_args));
    handles_.erase({&in_args, 'p'});
    if (status == kOfxStatOK) {
        for (const char *clip : {kOfxImageEffectSimpleSourceClipName, kOfxImageEffectOutputClipName}) {
            auto found = context_descriptor_->clips.find(clip);
            if (found == context_descriptor_->clips.end()) {
                Breach(std::string("the describe-in-context action defined no clip ") + clip);
            } else {
                RequireSet(found->second->props, kOfxImageEffectPropSupportedComponents,
                           "the describe-in-context action");
            }
        }
    }
    return status;
}

Effect *TestHost::CreateInstance(const OfxRectD &source_rod, double pixel_aspect, const char *premultiplication) {
    auto instance = std::make_unique<Effect>();
    instance->is_instance = true;
    instance->props.what = "effect instance";
    instance->props.SetString(kOfxPropType, kOfxTypeImageEffectInstance);
    instance->props.SetString(kOfxImageEffectPropContext, kOfxImageEffectContextFilter);
    instance->props.Define(kOfxPropInstanceData, 'p', 1, true);
    instance->props.properties[kOfxPropInstanceData].pointers = {nullptr};
    instance->param_set_props.what = "parameter set";
    for (const auto &[name, clip] : context_descriptor_->clips) {
        auto copy = std::make_unique<Clip>();
        copy->name = name;
        copy->props = clip->props;
        copy->props.what = "clip instance " + name;
        for (auto &[property, value] : copy->props.properties) value.plugin_writes = false;
        copy->props.SetString(kOfxImageEffectPropPixelDepth, kOfxBitDepthByte);
        copy->props.SetString(kOfxImageEffectPropComponents, kOfxImageComponentRGBA);
        copy->props.SetString(kOfxImageEffectPropPreMultiplication, premultiplication);
        copy->props.SetDoubles(kOfxImagePropPixelAspectRatio, {pixel_aspect});
        copy->props.SetInts(kOfxImageClipPropConnected, {1});
        copy->rod = source_rod;
        Register(&copy->props, 'p');
        Register(copy.get(), 'c');
        instance->clips[name] = std::move(copy);
    }
    for (const auto &param : context_descriptor_->params) {
        auto copy = std::make_unique<Param>();
        copy->name = param->name;
        copy->type = param->type;
        copy->props = param->props;
        copy->props.what = "param instance " + param->name;
        const Property *dephault = param->props.Find(kOfxParamPropDefault);
        if (dephault != nullptr) {
            if (dephault->type == 'd') {
                copy->values = dephault->doubles;
            } else {
                copy->values.assign(dephault->ints.begin(), dephault->ints.end());
            }
        }
        const Property *system = param->props.Find(kOfxParamPropDefaultCoordinateSystem);
        if (system != nullptr && !system->strings.empty() && system->strings[0] == kOfxParamCoordinatesNormalised &&
            copy->values.size() == 2) {
            copy->values[0] = source_rod.x1 + copy->values[0] * (source_rod.x2 - source_rod.x1);
            copy->values[1] = source_rod.y1 + copy->values[1] * (source_rod.y2 - source_rod.y1);
        }
        if (copy->values.empty()) copy->values = {0.0};
        Register(&copy->props, 'p');
        Register(copy.get(), 'q');
        instance->params.push_back(std::move(copy));
    }
    Register(&instance->props, 'p');
    Register(&instance->param_set_props, 's', instance.get());
    Register(instance.get(), 'e');
    const OfxStatus status = Call(kOfxActionCreateInstance, instance.get());
    if (status != kOfxStatOK && status != kOfxStatReplyDefault) {
        return nullptr;
    }
    instances_.push_back(std::move(instance));
    return instances_.back().get();
}

OfxStatus TestHost::DestroyInstance(Effect *instance) {
    for (auto &held : instances_) {
        if (held.get() == instance) {
            const OfxStatus status = Call(kOfxActionDestroyInstance, instance);
            handles_.erase({instance, 'e'});
            held.reset();
            return status;
        }
    }
    return kOfxStatErrBadHandle;
}

Param *TestHost::FindParam(Effect &effect, const std::string &name) {
    for (auto &param : effect.params) {
        if (param->name == name) return param.get();
    }
    return nullptr;
}

void TestHost::SetParam(Effect &instance, const std::string &name, std::vector<double> values) {
    Param *param = FindParam(instance, name);
    if (param == nullptr) throw std::runtime_error("no parameter " + name);
    param->values = std::move(values);
}

OfxStatus TestHost::Render(Effect &instance, const RenderRequest &request, HostImage *source, HostImage *output) {
    std::unique_lock<std::recursive_mutex> setup(lock_);
    Clip &source_clip = *instance.clips.at(kOfxImageEffectSimpleSourceClipName);
    Clip &output_clip = *instance.clips.at(kOfxImageEffectOutputClipName);
    source_clip.image = source;
    output_clip.image = output;
    for (Clip *clip : {&source_clip, &output_clip}) {
        clip->render_scale[0] = request.scale_x;
        clip->render_scale[1] = request.scale_y;
        if (clip->image != nullptr) clip->props.SetString(kOfxImageEffectPropPixelDepth, clip->image->depth);
    }
    PropertySet in_args;
    in_args.what = "render arguments";
    in_args.SetDoubles(kOfxPropTime, {request.time});
    in_args.SetDoubles(kOfxImageEffectPropRenderScale, {request.scale_x, request.scale_y});
    in_args.SetInts(kOfxImageEffectPropRenderWindow,
                    {request.window.x1, request.window.y1, request.window.x2, request.window.y2});
    in_args.SetString(kOfxImageEffectPropFieldToRender, kOfxImageFieldNone);
    handles_.insert({&in_args, 'p'});
    setup.unlock();
    in_render = true;
    const OfxStatus status = Call(kOfxImageEffectActionRender, &instance, reinterpret_cast<OfxPropertySetHandle>(&in_args));
    in_render = false;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    handles_.erase({&in_args, 'p'});
    return status;
}

OfxStatus TestHost::ClipPreferences(Effect &instance, PropertySet &out_args) {
    Register(&out_args, 'p');
    const OfxStatus status = Call(kOfxImageEffectActionGetClipPreferences, &instance, nullptr,
                                  reinterpret_cast<OfxPropertySetHandle>(&out_args));
    handles_.erase({&out_args, 'p'});
    return status;
}

PropertySet *TestHost::ImageHandOut(Clip &clip, double) {
    if (clip.image == nullptr) {
        return nullptr;
    }
    HostImage &image = *clip.image;
    auto props = std::make_unique<PropertySet>();
    props->what = "image of " + clip.name;
    props->SetString(kOfxPropType, kOfxTypeImage);
    props->SetString(kOfxImageEffectPropPixelDepth, image.depth);
    props->SetString(kOfxImageEffectPropComponents, image.components);
    const Property *premultiplication = clip.props.Find(kOfxImageEffectPropPreMultiplication);
    props->SetString(kOfxImageEffectPropPreMultiplication,
                     premultiplication != nullptr ? premultiplication->strings.at(0) : kOfxImageUnPreMultiplied);
    props->SetDoubles(kOfxImageEffectPropRenderScale, {clip.render_scale[0], clip.render_scale[1]});
    props->SetDoubles(kOfxImagePropPixelAspectRatio, {clip.props.Find(kOfxImagePropPixelAspectRatio)->doubles.at(0)});
    props->SetPointer(kOfxImagePropData, image.Data());
    props->SetInts(kOfxImagePropBounds, {image.bounds.x1, image.bounds.y1, image.bounds.x2, image.bounds.y2});
    props->SetInts(kOfxImagePropRegionOfDefinition,
                   {image.bounds.x1, image.bounds.y1, image.bounds.x2, image.bounds.y2});
    props->SetInts(kOfxImagePropRowBytes, {image.row_bytes});
    PropertySet *handed = props.get();
    std::lock_guard<std::recursive_mutex> guard(lock_);
    handles_.insert({handed, 'p'});
    images_out_[handed] = HeldImage{std::move(props), std::this_thread::get_id()};
    return handed;
}

bool TestHost::ImageGiveBack(const void *handle) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto found = images_out_.find(handle);
    if (found == images_out_.end()) {
        return false;
    }
    handles_.erase({handle, 'p'});
    images_out_.erase(found);
    return true;
}

void TestHost::Register(const void *handle, char kind, Effect *owner) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    handles_.insert({handle, kind});
    if (owner != nullptr) owners_[handle] = owner;
}

Effect *TestHost::ParamSetEffect(const void *handle) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto found = owners_.find(handle);
    return found == owners_.end() ? nullptr : found->second;
}

namespace {
bool HandleIs(const std::set<std::pair<const void *, char>> &handles, const void *handle, char kind) {
    return handles.count({handle, kind}) != 0;
}
}  // namespace

bool TestHost::InRender() const { return in_render; }

bool TestHost::IsPropertySet(const void *handle) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return HandleIs(handles_, handle, 'p');
}
bool TestHost::IsEffect(const void *handle) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return HandleIs(handles_, handle, 'e');
}
bool TestHost::IsClip(const void *handle) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return HandleIs(handles_, handle, 'c');
}
bool TestHost::IsParam(const void *handle) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return HandleIs(handles_, handle, 'q');
}
bool TestHost::IsParamSet(const void *handle) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return HandleIs(handles_, handle, 's');
}

void TestHost::Breach(const std::string &what) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (level_ == Strictness::Off) return;
    const std::string text = what + " [" + current_action + "]";
    if (level_ == Strictness::Warn) {
        std::fprintf(stderr, "ofx contract: %s\n", text.c_str());
        return;
    }
    breaches_.push_back(text);
}

void TestHost::Message(const std::string &text) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    messages_.push_back(text);
}

std::vector<std::string> TestHost::Breaches() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return breaches_;
}

std::vector<std::string> TestHost::Messages() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return messages_;
}

void TestHost::ClearBreaches() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    breaches_.clear();
    messages_.clear();
}

int TestHost::OutstandingImages() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return static_cast<int>(images_out_.size());
}

OfxPluginEntryPoint *TestHost::OverlayEntry(bool v2) const {
    const Property *entry =
        descriptor_ == nullptr
            ? nullptr
            : descriptor_->props.Find(v2 ? kOfxImageEffectPluginPropOverlayInteractV2
                                         : kOfxImageEffectPluginPropOverlayInteractV1);
    if (entry == nullptr || entry->pointers.empty()) return nullptr;
    return reinterpret_cast<OfxPluginEntryPoint *>(entry->pointers[0]);
}

OfxStatus TestHost::OverlayCall(const char *action, const void *handle, PropertySet *in_args) {
    OfxPluginEntryPoint *entry = OverlayEntry();
    if (entry == nullptr) throw std::runtime_error("the plug-in gave no overlay");
    if (in_args != nullptr) Register(in_args, 'p');
    active_host = this;
    current_action = std::string("overlay ") + (action == nullptr ? "" : action);
    const OfxStatus status = entry(action, handle, reinterpret_cast<OfxPropertySetHandle>(in_args), nullptr);
    if (in_args != nullptr) {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        handles_.erase({in_args, 'p'});
    }
    return status;
}

Interact *TestHost::CreateOverlay(Effect &instance, const std::vector<double> &suggested_colour) {
    if (OverlayEntry() == nullptr) return nullptr;
    auto interact = std::make_unique<Interact>();
    interact->effect = &instance;
    PropertySet &p = interact->props;
    p.what = "overlay";
    p.SetPointer(kOfxPropEffectInstance, &instance);
    p.Define(kOfxPropInstanceData, 'p', 1, true);
    p.properties[kOfxPropInstanceData].pointers = {nullptr};
    p.Define(kOfxInteractPropSlaveToParam, 's', 0, true);
    p.SetDoubles(kOfxInteractPropPixelScale, {1.0, 1.0});
    p.SetDoubles(kOfxInteractPropBackgroundColour, {0.0, 0.0, 0.0});
    if (!suggested_colour.empty()) p.SetDoubles(kOfxInteractPropSuggestedColour, suggested_colour);
    p.SetInts(kOfxInteractPropHasAlpha, {1});
    p.SetInts(kOfxInteractPropBitDepth, {8});
    Register(&interact->props, 'p');
    Register(interact.get(), 'i');
    // The overlay's descriptor is described once, as a host does before the first instance.
    Interact descriptor;
    descriptor.props.what = "overlay descriptor";
    descriptor.props.SetInts(kOfxInteractPropHasAlpha, {1});
    descriptor.props.SetInts(kOfxInteractPropBitDepth, {8});
    Register(&descriptor.props, 'p');
    Register(&descriptor, 'i');
    const OfxStatus described = OverlayCall(kOfxActionDescribe, &descriptor, nullptr);
    handles_.erase({&descriptor, 'i'});
    handles_.erase({&descriptor.props, 'p'});
    if (described != kOfxStatOK && described != kOfxStatReplyDefault) return nullptr;
    const OfxStatus status = OverlayCall(kOfxActionCreateInstance, interact.get(), nullptr);
    if (status != kOfxStatOK && status != kOfxStatReplyDefault) return nullptr;
    interacts_.push_back(std::move(interact));
    return interacts_.back().get();
}

OfxStatus TestHost::DestroyOverlay(Interact *interact) {
    for (auto &held : interacts_) {
        if (held.get() == interact) {
            const OfxStatus status = OverlayCall(kOfxActionDestroyInstance, interact, nullptr);
            handles_.erase({interact, 'i'});
            handles_.erase({&interact->props, 'p'});
            held.reset();
            return status;
        }
    }
    return kOfxStatErrBadHandle;
}

PropertySet TestHost::DrawArgs(Interact &interact, const OverlayEvent &event) const {
    PropertySet args;
    args.what = "overlay arguments";
    args.SetPointer(kOfxPropEffectInstance, interact.effect);
    args.SetDoubles(kOfxInteractPropPixelScale, {event.scale_x, event.scale_y});
    args.SetDoubles(kOfxInteractPropBackgroundColour, {0.0, 0.0, 0.0});
    args.SetDoubles(kOfxPropTime, {event.time});
    args.SetDoubles(kOfxImageEffectPropRenderScale, {1.0, 1.0});
    if (event.draw_context != nullptr) args.SetPointer(kOfxInteractPropDrawContext, event.draw_context);
    return args;
}

PropertySet TestHost::PenArgs(Interact &interact, const OverlayEvent &event) const {
    PropertySet args = DrawArgs(interact, event);
    args.properties.erase(kOfxInteractPropDrawContext);
    args.SetDoubles(kOfxInteractPropPenPosition, {event.x, event.y});
    args.SetInts(kOfxInteractPropPenViewportPosition,
                 {static_cast<int>(event.x / event.scale_x), static_cast<int>(event.y / event.scale_y)});
    args.SetDoubles(kOfxInteractPropPenPressure, {1.0});
    return args;
}

OfxStatus TestHost::Draw(Interact &interact, const OverlayEvent &event) {
    PropertySet args = DrawArgs(interact, event);
    if (event.draw_context != nullptr) Register(event.draw_context, 'd');
    const OfxStatus status = OverlayCall(kOfxInteractActionDraw, &interact, &args);
    if (event.draw_context != nullptr) {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        handles_.erase({event.draw_context, 'd'});
    }
    return status;
}

OfxStatus TestHost::Pen(Interact &interact, const char *action, const OverlayEvent &event) {
    PropertySet args = PenArgs(interact, event);
    return OverlayCall(action, &interact, &args);
}

std::vector<std::string> TestHost::Edits() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return edits_;
}

void TestHost::ClearEdits() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    edits_.clear();
}

void TestHost::Edit(const std::string &what) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    edits_.push_back(what);
}

int TestHost::OpenEdits() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return open_edits_;
}

void TestHost::OpenEdit(int change) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    open_edits_ += change;
}

bool TestHost::IsHandle(const void *handle, char kind) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return handles_.count({handle, kind}) != 0;
}

}  // namespace tidalhalo::ofxtest
