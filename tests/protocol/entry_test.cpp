// The module's face to the host through its one export: dispatch, About,
// GlobalSetup, ParamsSetup, and the exceptions the entry point answers.
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>

#include "protocol_support.h"

namespace tidalhalo::sim::testing {
namespace {

TEST(ModuleLoad, NamesTheReasonItFails) {
    EXPECT_THROW(
        {
            try {
                LoadedModule module("/nonexistent/Kv_Tidalhalo.so");
            } catch (const ModuleLoadError &error) {
                EXPECT_NE(std::string(error.what()).find("not found"), std::string::npos);
                throw;
            }
        },
        ModuleLoadError);

    const std::string text_file = ::testing::TempDir() + "not_a_module.so";
    std::ofstream(text_file) << "plain text";
    try {
        LoadedModule module(text_file);
        ADD_FAILURE() << "a text file loaded as a module";
    } catch (const ModuleLoadError &error) {
        EXPECT_NE(std::string(error.what()).find("not a loadable module"), std::string::npos);
    }

    try {
        LoadedModule module(TIDALHALO_NO_ENTRY_PATH);
        ADD_FAILURE() << "a module without EntryPointFunc was accepted";
    } catch (const ModuleLoadError &error) {
        EXPECT_NE(std::string(error.what()).find("EntryPointFunc"), std::string::npos);
    }
}

TEST_F(HostTest, UnhandledCommandsAnswerZeroAndTouchNothing) {
    for (PF_Cmd cmd : std::vector<PF_Cmd>{PF_Cmd_UNUSED_0, PF_Cmd_GLOBAL_SETDOWN, PF_Cmd_RENDER, -1, PF_Cmd_SEQUENCE_SETUP,
                       PF_Cmd_FRAME_SETUP, PF_Cmd_EVENT}) {
        std::memset(&host->OutData(), 0xA5, sizeof(PF_OutData));
        PF_OutData before = host->OutData();
        host->Log().Clear();
        EXPECT_EQ(host->Command(cmd), PF_Err_NONE) << "command " << cmd;
        EXPECT_EQ(std::memcmp(&before, &host->OutData(), sizeof(PF_OutData)), 0) << "command " << cmd;
        EXPECT_TRUE(host->Log().Calls().empty()) << "command " << cmd;
    }
}

TEST_F(HostTest, AboutWritesTheSixtyFiveByteText) {
    ASSERT_EQ(host->About(), PF_Err_NONE);
    const std::string expected =
        "Kv_Tidalhalo, v2.0\r"
        // 一个简单的插件，产生环形冲击波等。  KWTRO 汉化
        "\xD2\xBB\xB8\xF6\xBC\xF2\xB5\xA5\xB5\xC4\xB2\xE5\xBC\xFE\xA3\xAC\xB2\xFA\xC9\xFA\xBB\xB7\xD0\xCE\xB3\xE5"
        "\xBB\xF7\xB2\xA8\xB5\xC8\xA1\xA3  KWTRO \xBA\xBA\xBB\xAF";
    EXPECT_EQ(host->Info().about.size(), 65u);
    EXPECT_EQ(host->Info().about, expected);
    EXPECT_EQ(host->Info().about.find('\n'), std::string::npos);
    EXPECT_EQ(CallsOf(PF_Cmd_ABOUT), std::vector<std::string>{"ansi.sprintf(\"%s, v%d.%d\r%s\")"});
}

TEST_F(HostTest, GlobalSetupReportsVersionAndFlags) {
    const uint32_t version = host->Info().version;
    EXPECT_EQ(version, 0x00100601u);
    EXPECT_EQ((version >> 19) & 0x7u, 2u);
    EXPECT_EQ((version >> 15) & 0xFu, 0u);
    EXPECT_EQ((version >> 11) & 0xFu, 0u);
    EXPECT_EQ((version >> 9) & 0x3u, 3u);
    EXPECT_EQ(version & 0x1FFu, 1u);
    EXPECT_EQ(host->Info().out_flags, PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_PIX_INDEPENDENT);
    EXPECT_EQ(host->Info().out_flags2, PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE);
}

TEST_F(HostTest, GlobalSetupLeavesTheOtherOutputFieldsAlone) {
    host->OutData().num_params = 77;
    std::strcpy(host->OutData().return_msg, "kept");
    ASSERT_EQ(host->GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(host->OutData().num_params, 77);
    EXPECT_STREQ(host->OutData().return_msg, "kept");
}

struct ExpectedSlider {
    float valid_min, valid_max, slider_min, slider_max;
    double value;
    int16_t display_flags;
};

TEST_F(HostTest, ParamsSetupDeclaresTheTenParameters) {
    const ModuleInfo &info = host->Info();
    EXPECT_EQ(info.num_params, RING_NUM_PARAMS);
    ASSERT_EQ(info.params.size(), 10u);

    const int32_t ids[] = {1556, 1764, 3205, 3092, 4108, 1, 261, 258, 802, 3454};
    const PF_ParamType types[] = {PF_Param_POINT,        PF_Param_FLOAT_SLIDER, PF_Param_FLOAT_SLIDER,
                                  PF_Param_FLOAT_SLIDER, PF_Param_FLOAT_SLIDER, PF_Param_FLOAT_SLIDER,
                                  PF_Param_COLOR,        PF_Param_COLOR,        PF_Param_CHECKBOX,
                                  PF_Param_POPUP};
    const char *names[] = {
        "\xD6\xD0\xD0\xC4",          // 中心
        "\xB0\xEB\xBE\xB6",          // 半径
        "\xD3\xF0\xBB\xAF",          // 羽化
        "\xC0\xA9\xD5\xC5",          // 扩张
        "\xCD\xB8\xC3\xF7\xB6\xC8",  // 透明度
        "\xC0\xEB\xC9\xA2",          // 离散
        "\xD1\xD5\xC9\xAB 1",        // 颜色 1
        "\xD1\xD5\xC9\xAB 2",        // 颜色 2
        "\xC6\xBD\xBB\xAC",          // 平滑
        "\xBB\xEC\xBA\xCF\xC4\xA3\xCA\xBD",  // 混合模式
    };
    for (std::size_t i = 0; i < 10; ++i) {
        const ParamInfo &p = info.params[i];
        SCOPED_TRACE("parameter " + std::to_string(i + 1));
        EXPECT_EQ(p.index, static_cast<int32_t>(i + 1));
        EXPECT_EQ(p.Id(), ids[i]);
        EXPECT_EQ(p.Type(), types[i]);
        EXPECT_EQ(p.name, names[i]);
        EXPECT_EQ(p.def.flags, 0);
        EXPECT_EQ(p.def.ui_flags, 0);
        EXPECT_EQ(p.def.ui_width, 0);
        EXPECT_EQ(p.def.ui_height, 0);
    }

    const PF_PointDef &center = info.params[0].def.u.td;
    EXPECT_EQ(center.x_dephault, 3276800);
    EXPECT_EQ(center.y_dephault, 3276800);
    EXPECT_EQ(center.x_value, center.x_dephault);
    EXPECT_EQ(center.y_value, center.y_dephault);
    EXPECT_EQ(center.restrict_bounds, 0);

    const ExpectedSlider sliders[] = {
        {0, 10000, 0, 600, 100, PF_ValueDisplayFlag_NONE}, {0, 10000, 0, 100, 3, PF_ValueDisplayFlag_NONE},
        {0, 100, 0, 100, 50, PF_ValueDisplayFlag_PERCENT}, {0, 100, 0, 100, 100, PF_ValueDisplayFlag_PERCENT},
        {0, 512, 0, 50, 0, PF_ValueDisplayFlag_NONE},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE("slider " + std::to_string(i + 2));
        const PF_FloatSliderDef &s = info.params[i + 1].def.u.fs_d;
        EXPECT_EQ(s.valid_min, sliders[i].valid_min);
        EXPECT_EQ(s.valid_max, sliders[i].valid_max);
        EXPECT_EQ(s.slider_min, sliders[i].slider_min);
        EXPECT_EQ(s.slider_max, sliders[i].slider_max);
        EXPECT_EQ(s.value, sliders[i].value);
        EXPECT_EQ(s.dephault, static_cast<float>(sliders[i].value));
        EXPECT_EQ(s.display_flags, sliders[i].display_flags);
        EXPECT_EQ(s.precision, 1);
        EXPECT_EQ(s.fs_flags, 0u);
        EXPECT_EQ(s.phase, 0.0);
        uint32_t tolerance_bits = 0;
        std::memcpy(&tolerance_bits, &s.curve_tolerance, 4);
        EXPECT_EQ(tolerance_bits, 0x3D4CCCCDu);
    }

    const PF_ColorDef &color1 = info.params[6].def.u.cd;
    const PF_ColorDef &color2 = info.params[7].def.u.cd;
    EXPECT_EQ(std::memcmp(&color1.value, "\xFF\xFF\xFF\xFF", 4), 0);
    EXPECT_EQ(std::memcmp(&color2.value, "\xFF\x00\x7F\xFF", 4), 0);
    EXPECT_EQ(std::memcmp(&color1.dephault, &color1.value, 4), 0);
    EXPECT_EQ(std::memcmp(&color2.dephault, &color2.value, 4), 0);

    const ParamInfo &smooth = info.params[8];
    EXPECT_EQ(smooth.def.u.bd.value, 1);
    EXPECT_EQ(smooth.def.u.bd.dephault, 1);
    EXPECT_FALSE(smooth.label_was_null);
    EXPECT_EQ(smooth.label, "");

    const ParamInfo &blend = info.params[9];
    EXPECT_EQ(blend.def.u.pd.value, 1);
    EXPECT_EQ(blend.def.u.pd.dephault, 1);
    EXPECT_EQ(blend.def.u.pd.num_choices, 5);
    // 无|正常|添加|(模版)相乘|(模版)相乘+Alpha
    EXPECT_EQ(blend.choices_text,
              "\xCE\xDE|\xD5\xFD\xB3\xA3|\xCC\xED\xBC\xD3|(\xC4\xA3\xB0\xE6)\xCF\xE0\xB3\xCB|"
              "(\xC4\xA3\xB0\xE6)\xCF\xE0\xB3\xCB+Alpha");
    EXPECT_EQ(blend.choices_text.size(), 40u);
    EXPECT_EQ(blend.choices.size(), 5u);
}

TEST_F(HostTest, ParamsSetupStopsAtARejectedAddition) {
    host->Inject(Failure{"add_param", "4", 0, FailKind::Code, 1234});
    host->OutData().num_params = -7;
    EXPECT_EQ(host->ParamsSetup(), 1234);
    EXPECT_EQ(host->Params().Declared().size(), 3u);
    EXPECT_EQ(host->OutData().num_params, -7);
    EXPECT_EQ(CallsOf(PF_Cmd_PARAMS_SETUP, "add_param"),
              (std::vector<std::string>{"add_param(-1, id 1556)", "add_param(-1, id 1764)", "add_param(-1, id 3205)",
                                        "add_param(-1, id 3092)"}));
}

// A handle suite whose allocation throws, to see what the entry point makes
// of exceptions that reach it.
template <class Thrown>
PF_Handle ThrowingNewHandle(uint64_t) {
    throw Thrown("thrown by the host");
}
template <>
PF_Handle ThrowingNewHandle<std::bad_alloc>(uint64_t) {
    throw std::bad_alloc();
}
void NoUnlock(PF_Handle) {}
uint64_t NoSize(PF_Handle) { return 0; }
void *NoLock(PF_Handle) { return nullptr; }
PF_Err NoResize(uint64_t, PF_Handle *) { return PF_Err_OUT_OF_MEMORY; }

TEST_F(HostTest, RefusedSuiteRaisedInsideTheModuleArrivesAsItsCode) {
    host->Inject(Failure{"AcquireSuite", kPFHandleSuite, 0, FailKind::RefuseNull, 99});
    PreRenderCall refused = host->NewPreRender();
    EXPECT_EQ(host->PreRender(refused), PF_Err_BAD_CALLBACK_PARAM);
}

TEST_F(HostTest, EntryPointTurnsExceptionsIntoCodes) {
#ifdef _WIN32
    GTEST_SKIP() << "a C++ exception cannot cross between the host's and the module's runtimes here";
#endif

    static const PF_HandleSuite1 out_of_memory{ThrowingNewHandle<std::bad_alloc>, NoLock, NoUnlock, NoUnlock,
                                               NoSize, NoResize};
    host->Suites().Register(kPFHandleSuite, kPFHandleSuiteVersion1, &out_of_memory);
    PreRenderCall no_memory = host->NewPreRender();
    EXPECT_EQ(host->PreRender(no_memory), PF_Err_OUT_OF_MEMORY);

    static const PF_HandleSuite1 failing{ThrowingNewHandle<std::runtime_error>, NoLock, NoUnlock, NoUnlock, NoSize,
                                         NoResize};
    host->Suites().Register(kPFHandleSuite, kPFHandleSuiteVersion1, &failing);
    PreRenderCall other = host->NewPreRender();
    EXPECT_EQ(host->PreRender(other), PF_Err_INTERNAL_STRUCT_DAMAGED);
}

}  // namespace
}  // namespace tidalhalo::sim::testing
