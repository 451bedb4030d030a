// Suite access as the host sees it: each suite acquired once per command,
// released in a fixed order, refusals answered as the module promises.
#include <cstring>

#include "protocol_support.h"

namespace tidalhalo::sim::testing {
namespace {

const std::string kHandle = "\"PF Handle Suite\", 2";
const std::string kColor = "\"PF ColorParamSuite\", 1";
const std::string kWorld = "\"PF World Suite\", 2";

std::vector<std::string> SuiteCalls(const SimHost &host, PF_Cmd cmd) {
    std::vector<std::string> out;
    for (const HostCall &call : host.Log().Calls()) {
        if (call.command == cmd && (call.op == "AcquireSuite" || call.op == "ReleaseSuite")) {
            out.push_back(call.Call());
        }
    }
    return out;
}

TEST_F(HostTest, PreRenderAcquiresEachSuiteOnceAndReleasesHandleSuiteFirst) {
    PreRenderCall pre = host->NewPreRender();
    ASSERT_EQ(host->PreRender(pre), PF_Err_NONE);
    // The handle suite serves new, lock and unlock with a single acquisition.
    EXPECT_EQ(host->Log().Count("host_new_handle") + host->Log().Count("host_lock_handle") +
                  host->Log().Count("host_unlock_handle"),
              3);
    EXPECT_EQ(SuiteCalls(*host, PF_Cmd_SMART_PRE_RENDER),
              (std::vector<std::string>{"AcquireSuite(" + kHandle + ")", "AcquireSuite(" + kColor + ")",
                                        "ReleaseSuite(" + kHandle + ")", "ReleaseSuite(" + kColor + ")"}));
}

TEST_F(HostTest, FloatRenderReleasesHandleThenIterateFloatSuite) {
    UseLayer(PixelDepth::Float);
    PreRenderCall pre = host->NewPreRender();
    ASSERT_EQ(host->PreRender(pre), PF_Err_NONE);
    RenderCall render = host->NewRender(pre);
    ASSERT_EQ(host->Render(render), PF_Err_NONE);
    EXPECT_EQ(SuiteCalls(*host, PF_Cmd_SMART_RENDER),
              (std::vector<std::string>{"AcquireSuite(" + kHandle + ")", "AcquireSuite(" + kWorld + ")",
                                        "AcquireSuite(\"PF iterateFloat Suite\", 1)", "ReleaseSuite(" + kWorld + ")",
                                        "ReleaseSuite(" + kHandle + ")", "ReleaseSuite(\"PF iterateFloat Suite\", 1)"}));
}

TEST_F(HostTest, SuiteGivenWithZeroButNoTableIsMissing) {
    // Getter: the pre-render's handle suite.
    host->Inject(Failure{"AcquireSuite", kPFHandleSuite, 0, FailKind::ZeroNullTable});
    PreRenderCall pre = host->NewPreRender();
    EXPECT_EQ(host->PreRender(pre), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(pre.output.pre_render_data, nullptr);
    EXPECT_EQ(host->Log().Count("host_new_handle"), 0);
    host->ClearFailures();

    // Report helper: the render's world suite, with its message and flag.
    PreRenderCall good = host->NewPreRender();
    ASSERT_EQ(host->PreRender(good), PF_Err_NONE);
    host->Inject(Failure{"AcquireSuite", kPFWorldSuite, 0, FailKind::ZeroNullTable});
    host->OutData().out_flags = 0x40;
    RenderCall render = host->NewRender(good);
    EXPECT_EQ(host->Render(render), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host->OutData().out_flags, 0x40 | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(host->OutData().return_msg, "Couldn't load suite.");
    EXPECT_FALSE(Called(PF_Cmd_SMART_RENDER, "ReleaseSuite(" + kWorld + ")"))
        << "a world suite that was never acquired is released";
    EXPECT_EQ(host->Log().Count("iterate"), 0);
    EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, "checkin_layer_pixels(0)"));
}

TEST_F(HostTest, SuiteRefusedWithATableStillIsMissingToTheGetters) {
    host->Inject(Failure{"AcquireSuite", kPFColorParamSuite, 0, FailKind::CodeWithTable, 33});
    PreRenderCall pre = host->NewPreRender();
    EXPECT_EQ(host->PreRender(pre), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host->Log().Count("PF_GetFloatingPointColorFromColorDef"), 0);
}

TEST_F(HostTest, WorldSuiteRefusedWithATableIsUsedByTheReportHelper) {
    PreRenderCall pre = host->NewPreRender();
    ASSERT_EQ(host->PreRender(pre), PF_Err_NONE);
    host->Inject(Failure{"AcquireSuite", kPFWorldSuite, 0, FailKind::CodeWithTable, 33});
    // The host does not count an acquisition it answered with an error, so
    // the use and the release that follow are reported.
    host->Contract().SetLevel(Strictness::Warn);
    host->Contract().ClearViolations();
    RenderCall render = host->NewRender(pre);
    EXPECT_EQ(host->Render(render), PF_Err_NONE);
    EXPECT_EQ(host->Log().Count("iterate"), 1);
    EXPECT_EQ(host->Contract().Violations(),
              (std::vector<std::string>{
                  "PF_GetPixelFormat while \"PF World Suite\", 2 is not acquired (command 24)",
                  "ReleaseSuite(\"PF World Suite\", 2) without a matching AcquireSuite (command 24)"}));
}

TEST_F(HostTest, FailedWorldSuiteReleaseIsNotReported) {
    PreRenderCall pre = host->NewPreRender();
    ASSERT_EQ(host->PreRender(pre), PF_Err_NONE);
    host->Inject(Failure{"ReleaseSuite", kPFWorldSuite, 0, FailKind::Code, 77});
    RenderCall render = host->NewRender(pre);
    EXPECT_EQ(host->Render(render), PF_Err_NONE);
    EXPECT_EQ(host->OutData().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
}

TEST_F(HostTest, RenderWithoutBasicSuiteRaisesTheMissingSuite) {
    PreRenderCall pre = host->NewPreRender();
    ASSERT_EQ(host->PreRender(pre), PF_Err_NONE);
    SPBasicSuite *basic = host->InData().pica_basicP;
    host->InData().pica_basicP = nullptr;
    RenderCall render = host->NewRender(pre);
    EXPECT_EQ(host->Render(render), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host->Log().Count("checkout_layer_pixels"), 0);
    host->InData().pica_basicP = basic;
}

}  // namespace
}  // namespace tidalhalo::sim::testing
