// What the bundle tells a host, read back through our test host: the
// plug-in's identity, the effect's properties and every parameter's
// descriptor, also when a host loads and describes it twice.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/openfx/ofx_test_host.h"

namespace tidalhalo::ofxtest {
namespace {

std::vector<std::string> Strings(const PropertySet &set, const char *name) {
    const Property *property = set.Find(name);
    return property == nullptr ? std::vector<std::string>{} : property->strings;
}
std::vector<int> Ints(const PropertySet &set, const char *name) {
    const Property *property = set.Find(name);
    return property == nullptr ? std::vector<int>{} : property->ints;
}
std::vector<double> Doubles(const PropertySet &set, const char *name) {
    const Property *property = set.Find(name);
    return property == nullptr ? std::vector<double>{} : property->doubles;
}

void LoadAndDescribe(TestHost &host) {
    ASSERT_EQ(host.Load(), kOfxStatOK);
    ASSERT_EQ(host.Describe(), kOfxStatOK);
    ASSERT_EQ(host.DescribeInContext(), kOfxStatOK);
}

TEST(OfxDescribe, ThePluginNamesItselfAsAnImageEffect) {
    TestHost host(TIDALHALO_OFX_PLUGIN);
    EXPECT_EQ(host.NumberOfPlugins(), 1);
    EXPECT_STREQ(host.Plugin().pluginApi, "OfxImageEffectPluginAPI");
    EXPECT_EQ(host.Plugin().apiVersion, 1);
    EXPECT_STREQ(host.Plugin().pluginIdentifier, "com.mertvekv.Kv_Tidalhalo");
    EXPECT_EQ(host.Plugin().pluginVersionMajor, 2u);
    EXPECT_EQ(host.Plugin().pluginVersionMinor, 0u);
}

TEST(OfxDescribe, TheEffectsProperties) {
    TestHost host(TIDALHALO_OFX_PLUGIN);
    LoadAndDescribe(host);
    const PropertySet &p = host.Descriptor().props;
    EXPECT_EQ(Strings(p, kOfxPropLabel), std::vector<std::string>{"Kv_Tidalhalo"});
    EXPECT_EQ(Strings(p, kOfxImageEffectPluginPropGrouping), std::vector<std::string>{"Mertvekv"});
    EXPECT_EQ(Ints(p, kOfxPropVersion), (std::vector<int>{2, 0}));
    EXPECT_EQ(Strings(p, kOfxImageEffectPropSupportedContexts),
              (std::vector<std::string>{kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral}));
    EXPECT_EQ(Strings(p, kOfxImageEffectPropSupportedPixelDepths),
              (std::vector<std::string>{kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat}));
    EXPECT_EQ(Ints(p, kOfxImageEffectPropSupportsTiles), std::vector<int>{1});
    EXPECT_EQ(Ints(p, kOfxImageEffectPropSupportsMultiResolution), std::vector<int>{1});
    const std::vector<std::string> safety = Strings(p, kOfxImageEffectPluginRenderThreadSafety);
    ASSERT_EQ(safety.size(), 1u);
    EXPECT_TRUE(safety[0] == kOfxImageEffectRenderInstanceSafe || safety[0] == kOfxImageEffectRenderFullySafe);

    const Effect &context = host.ContextDescriptor();
    ASSERT_EQ(context.clips.size(), 2u);
    for (const char *clip : {"Source", "Output"}) {
        ASSERT_TRUE(context.clips.count(clip)) << clip;
        EXPECT_EQ(Strings(context.clips.at(clip)->props, kOfxImageEffectPropSupportedComponents),
                  std::vector<std::string>{kOfxImageComponentRGBA});
    }
    EXPECT_TRUE(host.Breaches().empty()) << host.Breaches()[0];
}

struct ExpectedParam {
    const char *name;
    const char *type;
    const char *label;
    std::vector<double> dephault;
    std::vector<double> range;  // min, max, display min, display max; empty where there is none
};

const ExpectedParam kParams[] = {
    {"center", kOfxParamTypeDouble2D, "\xE4\xB8\xAD\xE5\xBF\x83", {0.5, 0.5}, {}},
    {"radius", kOfxParamTypeDouble, "\xE5\x8D\x8A\xE5\xBE\x84", {100}, {0, 10000, 0, 600}},
    {"feather", kOfxParamTypeDouble, "\xE7\xBE\xBD\xE5\x8C\x96", {3}, {0, 10000, 0, 100}},
    {"expand", kOfxParamTypeDouble, "\xE6\x89\xA9\xE5\xBC\xA0", {50}, {0, 100, 0, 100}},
    {"opacity", kOfxParamTypeDouble, "\xE9\x80\x8F\xE6\x98\x8E\xE5\xBA\xA6", {100}, {0, 100, 0, 100}},
    {"scatter", kOfxParamTypeDouble, "\xE7\xA6\xBB\xE6\x95\xA3", {0}, {0, 512, 0, 50}},
    {"color1", kOfxParamTypeRGB, "\xE9\xA2\x9C\xE8\x89\xB2 1", {1, 1, 1}, {}},
    {"color2", kOfxParamTypeRGB, "\xE9\xA2\x9C\xE8\x89\xB2 2", {0, 127.0 / 255.0, 1}, {}},
    {"smooth", kOfxParamTypeBoolean, "\xE5\xB9\xB3\xE6\xBB\x91", {1}, {}},
    {"blend", kOfxParamTypeChoice, "\xE6\xB7\xB7\xE5\x90\x88\xE6\xA8\xA1\xE5\xBC\x8F", {0}, {}},
};

TEST(OfxDescribe, EveryParameterInOrderWithItsDefaultsAndRanges) {
    TestHost host(TIDALHALO_OFX_PLUGIN);
    LoadAndDescribe(host);
    const auto &params = host.ContextDescriptor().params;
    ASSERT_EQ(params.size(), std::size(kParams));
    for (std::size_t i = 0; i < params.size(); ++i) {
        const ExpectedParam &expected = kParams[i];
        const Param &param = *params[i];
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(param.name, expected.name);
        EXPECT_EQ(param.type, expected.type);
        EXPECT_EQ(Strings(param.props, kOfxPropLabel), std::vector<std::string>{expected.label});
        EXPECT_EQ(Strings(param.props, kOfxParamPropScriptName), std::vector<std::string>{expected.name});
        ASSERT_EQ(Strings(param.props, kOfxParamPropHint).size(), 1u);
        EXPECT_FALSE(Strings(param.props, kOfxParamPropHint)[0].empty());
        EXPECT_EQ(Ints(param.props, kOfxParamPropAnimates), std::vector<int>{1});
        const Property *dephault = param.props.Find(kOfxParamPropDefault);
        ASSERT_NE(dephault, nullptr);
        if (dephault->type == 'd') {
            EXPECT_EQ(dephault->doubles, expected.dephault);
        } else {
            EXPECT_EQ(std::vector<double>(dephault->ints.begin(), dephault->ints.end()), expected.dephault);
        }
        if (!expected.range.empty()) {
            EXPECT_EQ(Doubles(param.props, kOfxParamPropMin), std::vector<double>{expected.range[0]});
            EXPECT_EQ(Doubles(param.props, kOfxParamPropMax), std::vector<double>{expected.range[1]});
            EXPECT_EQ(Doubles(param.props, kOfxParamPropDisplayMin), std::vector<double>{expected.range[2]});
            EXPECT_EQ(Doubles(param.props, kOfxParamPropDisplayMax), std::vector<double>{expected.range[3]});
        }
    }
    EXPECT_EQ(Strings(params[0]->props, kOfxParamPropDoubleType),
              std::vector<std::string>{kOfxParamDoubleTypeXYAbsolute});
    EXPECT_EQ(Strings(params[0]->props, kOfxParamPropDefaultCoordinateSystem),
              std::vector<std::string>{kOfxParamCoordinatesNormalised});
    EXPECT_EQ(Strings(params[9]->props, kOfxParamPropChoiceOption),
              (std::vector<std::string>{"\xE6\x97\xA0", "\xE6\xAD\xA3\xE5\xB8\xB8", "\xE6\xB7\xBB\xE5\x8A\xA0",
                                        "(\xE6\xA8\xA1\xE7\x89\x88)\xE7\x9B\xB8\xE4\xB9\x98",
                                        "(\xE6\xA8\xA1\xE7\x89\x88)\xE7\x9B\xB8\xE4\xB9\x98+Alpha"}));
    EXPECT_TRUE(host.Breaches().empty()) << host.Breaches()[0];
}

// A host that scans: load, describe, unload, then load and describe again
// before the first instance; one that knows neither normalised defaults (the
// centre's default is then canonical) nor the version and description
// properties, and answers them as unknown.
TEST(OfxDescribe, AHostThatScansFirstAndKnowsOnlyOlderProperties) {
    HostOptions options;
    options.normalised_defaults = false;
    options.newer_properties = false;
    TestHost host(TIDALHALO_OFX_PLUGIN, options);
    LoadAndDescribe(host);
    ASSERT_EQ(host.Unload(), kOfxStatOK);
    LoadAndDescribe(host);
    EXPECT_EQ(host.ContextDescriptor().params.size(), std::size(kParams));
    EXPECT_EQ(Doubles(host.ContextDescriptor().params[0]->props, kOfxParamPropDefault),
              (std::vector<double>{960.0, 540.0}));
    Effect *instance = host.CreateInstance(OfxRectD{0, 0, 64, 48});
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(host.DestroyInstance(instance), kOfxStatOK);
    EXPECT_TRUE(host.Breaches().empty()) << host.Breaches()[0];
}

// The test host itself: a breach is recorded as the call that made it.
TEST(OfxTestHost, RecordsTheExactCallOfABreach) {
    TestHost host(TIDALHALO_OFX_PLUGIN);
    LoadAndDescribe(host);
    const auto *props = static_cast<const OfxPropertySuiteV1 *>(host.FetchSuite(
        reinterpret_cast<OfxPropertySetHandle>(const_cast<PropertySet *>(&host.Descriptor().props)), "", 0));
    EXPECT_EQ(props, nullptr);
    host.ClearBreaches();
    Effect *instance = host.CreateInstance(OfxRectD{0, 0, 8, 8});
    ASSERT_NE(instance, nullptr);
    const auto *suite = static_cast<const OfxPropertySuiteV1 *>(
        host.FetchSuite(reinterpret_cast<OfxPropertySetHandle>(0), kOfxPropertySuite, 1));
    ASSERT_NE(suite, nullptr);
    int value = 0;
    auto *effect_props = reinterpret_cast<OfxPropertySetHandle>(&instance->props);
    EXPECT_EQ(suite->propGetInt(reinterpret_cast<OfxPropertySetHandle>(&value), kOfxPropType, 0, &value),
              kOfxStatErrBadHandle);
    EXPECT_EQ(suite->propSetInt(effect_props, kOfxPropType, 0, 1), kOfxStatErrValue);
    EXPECT_EQ(suite->propSetString(effect_props, kOfxImageEffectPropContext, 0, "x"), kOfxStatErrValue);
    EXPECT_EQ(suite->propGetInt(effect_props, "OfxNoSuchProperty", 0, &value), kOfxStatErrUnknown);
    const std::vector<std::string> breaches = host.Breaches();
    ASSERT_EQ(breaches.size(), 4u);
    EXPECT_EQ(breaches[0].rfind("fetchSuite(\"OfxPropertySuite\") with another host's handle", 0), 0u) << breaches[0];
    EXPECT_EQ(breaches[1].rfind("propGetInt(bad handle, \"OfxPropType\")", 0), 0u) << breaches[1];
    EXPECT_NE(breaches[2].find("propSetInt(effect instance, \"OfxPropType\", 0): the property holds type s"),
              std::string::npos) << breaches[2];
    EXPECT_NE(breaches[3].find("the property is the host's"), std::string::npos) << breaches[3];
}

}  // namespace
}  // namespace tidalhalo::ofxtest
