// The pre-render through the host: areas settled with the host, and what
// each failure returns and leaves undone.
#include "protocol_support.h"

namespace tidalhalo::sim::testing {
namespace {

bool Same(const PF_LRect &a, const PF_LRect &b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class PreRenderTest : public HostTest {
protected:
    // A pre-render of request over the 64 × 48 layer with the output
    // rectangles handed in as given.
    PreRenderCall Run(PF_LRect request, PF_LRect result_in = {}, PF_LRect max_in = {}) {
        PreRenderCall pre = host->NewPreRender();
        pre.request.rect = request;
        pre.output.result_rect = result_in;
        pre.output.max_result_rect = max_in;
        host->PreRender(pre);
        return pre;
    }
};

TEST_F(PreRenderTest, EmptyOutputBecomesWhatTheLayerDelivers) {
    const PreRenderCall pre = Run({0, 0, 64, 48});
    ASSERT_EQ(pre.result, PF_Err_NONE);
    EXPECT_TRUE(Same(pre.output.result_rect, {0, 0, 64, 48}));
    EXPECT_TRUE(Same(pre.output.max_result_rect, {0, 0, 64, 48}));
    EXPECT_NE(pre.output.pre_render_data, nullptr);
    EXPECT_EQ(pre.output.delete_pre_render_data_func, nullptr);
}

TEST_F(PreRenderTest, NonEmptyOutputGrowsToIncludeTheLayer) {
    const PreRenderCall pre = Run({0, 0, 100, 50}, {-5, 0, 20, 200});
    ASSERT_EQ(pre.result, PF_Err_NONE);
    // The layer delivers (0, 0, 64, 48) of the request.
    EXPECT_TRUE(Same(pre.output.result_rect, {-5, 0, 64, 200}));
}

TEST_F(PreRenderTest, EmptyCheckoutLeavesANonEmptyOutputAndFillsAnEmptyOne) {
    // A request beside the layer is answered with an empty area.
    const PreRenderCall kept = Run({100, 100, 120, 120}, {1, 2, 3, 4});
    ASSERT_EQ(kept.result, PF_Err_NONE);
    EXPECT_TRUE(Same(kept.output.result_rect, {1, 2, 3, 4}));
    // A rectangle with top below bottom counts as empty and is replaced.
    const PreRenderCall replaced = Run({100, 100, 120, 120}, {0, 9, 5, 3});
    EXPECT_TRUE(Same(replaced.output.result_rect, {0, 0, 0, 0}));
}

TEST_F(PreRenderTest, LayerIsRequestedWithTheHostsRequestUnchanged) {
    PreRenderCall pre = host->NewPreRender();
    pre.request.rect = {3, 4, 30, 40};
    pre.request.field = 2;
    pre.request.channel_mask = 0x5;
    ASSERT_EQ(host->PreRender(pre), PF_Err_NONE);
    EXPECT_EQ(CallsOf(PF_Cmd_SMART_PRE_RENDER, "checkout_layer"),
              std::vector<std::string>{"checkout_layer(0, 0, (3, 4, 30, 40), 0, 1, 30)"});
}

TEST_F(PreRenderTest, ParametersAreFetchedAtTheFramesTime) {
    host->Settings().time = FrameTime{12, 25, 1};
    ASSERT_EQ(Run({0, 0, 64, 48}).result, PF_Err_NONE);
    const auto fetched = CallsOf(PF_Cmd_SMART_PRE_RENDER, "checkout_param");
    ASSERT_EQ(fetched.size(), 10u);
    for (int32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(fetched[static_cast<std::size_t>(i)], "checkout_param(" + std::to_string(i + 1) + ", 12, 1, 25)");
    }
}

TEST_F(PreRenderTest, FailedParameterEndsTheFetchButTheHandleIsHandedOver) {
    host->Inject(Failure{"checkout_param", "4", 0, FailKind::Code, 321});
    const PreRenderCall pre = Run({0, 0, 64, 48}, {2, 2, 9, 9}, {});
    EXPECT_EQ(pre.result, 321);
    EXPECT_EQ(CallsOf(PF_Cmd_SMART_PRE_RENDER, "checkout_param").size(), 4u);
    EXPECT_EQ(host->Log().Count("checkout_layer"), 0);
    EXPECT_EQ(host->Log().Count("PF_GetFloatingPointColorFromColorDef"), 0);
    ASSERT_NE(pre.output.pre_render_data, nullptr);
    const HandleRecord *record = host->Handles().Find(static_cast<PF_Handle>(pre.output.pre_render_data));
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->host_owned);
    EXPECT_EQ(record->locks, 0);
    // No checkout result was written, so none is merged.
    EXPECT_TRUE(Same(pre.output.result_rect, {2, 2, 9, 9}));
    EXPECT_TRUE(Same(pre.output.max_result_rect, {0, 0, 0, 0}));
}

TEST_F(PreRenderTest, FailedLayerCheckoutIsReturnedAndNotMerged) {
    host->Inject(Failure{"checkout_layer", "", 0, FailKind::Code, 55});
    const PreRenderCall pre = Run({0, 0, 64, 48}, {}, {7, 7, 8, 8});
    EXPECT_EQ(pre.result, 55);
    EXPECT_TRUE(Same(pre.output.result_rect, {0, 0, 0, 0}));
    EXPECT_TRUE(Same(pre.output.max_result_rect, {7, 7, 8, 8}));
}

TEST_F(PreRenderTest, NoHandleIsOutOfMemory) {
    host->Inject(Failure{"host_new_handle", "", 0, FailKind::Null});
    const PreRenderCall pre = Run({0, 0, 64, 48});
    EXPECT_EQ(pre.result, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(pre.output.pre_render_data, nullptr);
    EXPECT_EQ(host->Log().Count("checkout_param"), 0);
}

TEST_F(PreRenderTest, UnlockableHandleIsOutOfMemoryAndDisposedOf) {
    host->Inject(Failure{"host_lock_handle", "", 0, FailKind::Null});
    const PreRenderCall pre = Run({0, 0, 64, 48}, {1, 1, 2, 2}, {1, 1, 3, 3});
    EXPECT_EQ(pre.result, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(pre.output.pre_render_data, nullptr);
    EXPECT_TRUE(Same(pre.output.result_rect, {1, 1, 2, 2}));
    EXPECT_TRUE(Same(pre.output.max_result_rect, {1, 1, 3, 3}));
    EXPECT_EQ(host->Log().Count("checkout_param"), 0);
    EXPECT_EQ(host->Log().Count("checkout_layer"), 0);
    EXPECT_EQ(host->Log().Count("host_dispose_handle"), 1);
    EXPECT_EQ(host->Handles().LiveCount(), 0);
}

TEST_F(PreRenderTest, FramesLeaveNoHandleBehind) {
    for (int frame = 0; frame < 3; ++frame) {
        PreRenderCall pre = host->NewPreRender();
        ASSERT_EQ(host->PreRender(pre), PF_Err_NONE);
        RenderCall render = host->NewRender(pre);
        ASSERT_EQ(host->Render(render), PF_Err_NONE);
        host->EndFrame();
    }
    EXPECT_EQ(host->Handles().LiveCount(), 0);
}

}  // namespace
}  // namespace tidalhalo::sim::testing
