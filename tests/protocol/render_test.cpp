// The render through the host: the copy without pre-render data, the
// iteration per depth, and what each failure returns and still gives back.
#include <algorithm>

#include "protocol_support.h"

namespace tidalhalo::sim::testing {
namespace {

class RenderTest : public HostTest {
protected:
    // Pre-render of the whole layer; the render call that follows it.
    RenderCall Prepared() {
        pre = host->NewPreRender();
        EXPECT_EQ(host->PreRender(pre), PF_Err_NONE);
        return host->NewRender(pre);
    }

    PreRenderCall pre;
};

TEST_F(RenderTest, WithoutPreRenderDataTheInputIsCopiedAnd512Returned) {
    RenderCall render = Prepared();
    render.pre_render_data = nullptr;
    EXPECT_EQ(host->Render(render), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host->OutData().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
    const HostWorld *output = host->LastWorld("output");
    ASSERT_NE(output, nullptr);
    EXPECT_GT(output->world.rowbytes, output->world.width * 4) << "the host's output rows are padded";
    EXPECT_TRUE(SamePixels(output->View(), layer.View()));
    EXPECT_EQ(CallsOf(PF_Cmd_SMART_RENDER),
              (std::vector<std::string>{"checkout_layer_pixels(0)", "checkout_output()",
                                        "copy(input, output, null, null)", "checkin_layer_pixels(0)"}));
}

TEST_F(RenderTest, WithoutPreRenderDataA512ReplacesAFailedCheckout) {
    RenderCall render = Prepared();
    render.pre_render_data = nullptr;
    host->Inject(Failure{"checkout_layer_pixels", "", 0, FailKind::Code, 42});
    EXPECT_EQ(host->Render(render), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host->Log().Count("copy"), 0);
    EXPECT_EQ(host->Log().Count("checkout_output"), 0);
}

TEST_F(RenderTest, EachDepthRunsItsIterationOverTheWholeOutput) {
    const struct {
        PixelDepth depth;
        const char *suite;
        const char *format;
        const char *iterate;
    } cases[] = {
        {PixelDepth::Eight, "\"PF Iterate8 Suite\", 1", "argb", "iterate(8-bit, 0, 48, input, null, output)"},
        {PixelDepth::Sixteen, "\"PF iterate16 Suite\", 1", "ae16", "iterate(16-bit, 0, 48, input, null, output)"},
        {PixelDepth::Float, "\"PF iterateFloat Suite\", 1", "ae32", "iterate(float, 0, 48, input, null, output)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        UseLayer(c.depth);
        host->Log().Clear();
        RenderCall render = Prepared();
        ASSERT_EQ(host->Render(render), PF_Err_NONE);
        EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, std::string("AcquireSuite(") + c.suite + ")"));
        EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, c.iterate));
        EXPECT_EQ(host->Log().Count("iterate"), 1);
        const HostCall *format = nullptr;
        for (const HostCall &call : host->Log().Calls()) {
            if (call.op == "PF_GetPixelFormat") {
                format = &call;
            }
        }
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(format->args, "input");
        EXPECT_EQ(format->outcome, c.format);
        EXPECT_EQ(host->LastProgress(), (std::pair<int32_t, int32_t>{0, 48}));
        host->EndFrame();
    }
}

TEST_F(RenderTest, TheRecordIsUnlockedOnceTheIterationIsOver) {
    RenderCall render = Prepared();
    ASSERT_EQ(host->Render(render), PF_Err_NONE);
    const auto calls = CallsOf(PF_Cmd_SMART_RENDER);
    const auto iterate = std::find(calls.begin(), calls.end(), "iterate(8-bit, 0, 48, input, null, output)");
    const auto unlock = std::find_if(calls.begin(), calls.end(),
                                     [](const std::string &c) { return c.rfind("host_unlock_handle(", 0) == 0; });
    ASSERT_NE(iterate, calls.end());
    ASSERT_NE(unlock, calls.end());
    EXPECT_LT(iterate, unlock);
}

// A world suite that answers every world with the invalid format.
PF_Err InvalidFormat(const PF_EffectWorld *, PF_PixelFormat *format) {
    *format = PF_PixelFormat_INVALID;
    return PF_Err_NONE;
}

TEST_F(RenderTest, UnknownFormatIs516AfterReleaseAndCheckIn) {
    static const PF_WorldSuite2 invalid{nullptr, nullptr, InvalidFormat};
    host->Suites().Register(kPFWorldSuite, kPFWorldSuiteVersion2, &invalid);
    RenderCall render = Prepared();
    EXPECT_EQ(host->Render(render), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host->OutData().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
    EXPECT_EQ(host->Log().Count("iterate"), 0);
    EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, "ReleaseSuite(\"PF World Suite\", 2)"));
    EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, "checkin_layer_pixels(0)"));
    // Nothing was drawn into the host's output.
    const HostWorld *output = host->LastWorld("output");
    ASSERT_NE(output, nullptr);
    EXPECT_TRUE(SamePixels(output->View(), Image(PixelDepth::Eight, 64, 48).View()));
}

TEST_F(RenderTest, IterationFailureWinsOverCheckInFailure) {
    host->Inject(Failure{"iterate", "", 0, FailKind::Code, 61});
    host->Inject(Failure{"checkin_layer_pixels", "", 0, FailKind::Code, 62});
    RenderCall render = Prepared();
    EXPECT_EQ(host->Render(render), 61);
}

TEST_F(RenderTest, CheckInFailureIsReturnedWhenNothingElseFailed) {
    host->Inject(Failure{"checkin_layer_pixels", "", 0, FailKind::Code, 62});
    RenderCall render = Prepared();
    EXPECT_EQ(host->Render(render), 62);
}

TEST_F(RenderTest, FormatQueryFailureStopsTheDrawing) {
    host->Inject(Failure{"PF_GetPixelFormat", "", 0, FailKind::Code, 63});
    RenderCall render = Prepared();
    EXPECT_EQ(host->Render(render), 63);
    EXPECT_EQ(host->Log().Count("iterate"), 0);
    EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, "checkin_layer_pixels(0)"));
}

TEST_F(RenderTest, OutputCheckoutFailureIsReturnedAndTheInputGivenBack) {
    host->Inject(Failure{"checkout_output", "", 0, FailKind::Code, 64});
    RenderCall render = Prepared();
    EXPECT_EQ(host->Render(render), 64);
    EXPECT_EQ(host->Log().Count("host_lock_handle"), 1) << "only the pre-render's lock";
    EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, "checkin_layer_pixels(0)"));
}

TEST_F(RenderTest, UnlockableRecordIs516) {
    RenderCall render = Prepared();
    host->Inject(Failure{"host_lock_handle", "", 0, FailKind::Null});
    EXPECT_EQ(host->Render(render), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host->Log().Count("iterate"), 0);
    EXPECT_FALSE(Called(PF_Cmd_SMART_RENDER, "AcquireSuite(\"PF World Suite\", 2)"));
    EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, "checkin_layer_pixels(0)"));
}

TEST_F(RenderTest, MissingInputBufferDrawsNothingAndAsksNoFormat) {
    RenderCall render = Prepared();
    host->Inject(Failure{"checkout_layer_pixels", "", 0, FailKind::Null});
    EXPECT_EQ(host->Render(render), PF_Err_NONE);
    EXPECT_EQ(host->Log().Count("PF_GetPixelFormat"), 0);
    EXPECT_EQ(host->Log().Count("iterate"), 0);
    EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, "ReleaseSuite(\"PF World Suite\", 2)"));
    EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, "checkin_layer_pixels(0)"));
}

TEST_F(RenderTest, RefusedIterateSuiteEndsTheRenderWith516AndGivesEverythingBack) {
    host->Inject(Failure{"AcquireSuite", kPFIterate8Suite, 0, FailKind::RefuseNull, 9});
    RenderCall render = Prepared();
    // At the strictest level any suite, layer or lock left open would throw.
    EXPECT_EQ(host->Render(render), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host->Log().Count("iterate"), 0);
    EXPECT_TRUE(Called(PF_Cmd_SMART_RENDER, "checkin_layer_pixels(0)"));
}

}  // namespace
}  // namespace tidalhalo::sim::testing
