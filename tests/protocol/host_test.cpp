// Our host's own pieces where a fault would hide a module fault: values
// over time, the point handed over at a downsample, the iteration, and the
// contract messages.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

#include "protocol_support.h"
#include "sim/pixel_iterate.h"

namespace tidalhalo::sim::testing {
namespace {

TEST(Track, InterpolatesBetweenKeyframesAndHoldsOutside) {
    const Track track = Track::Keyed({{10.0, 5.0}, {0.0, 1.0}});
    EXPECT_EQ(track.At(-3.0), 1.0);
    EXPECT_EQ(track.At(5.0), 3.0);
    EXPECT_EQ(track.At(12.0), 5.0);
    EXPECT_EQ(track.HeldAt(9.9), 1.0);
    EXPECT_EQ(track.HeldAt(10.0), 5.0);
    EXPECT_EQ(Track(7.5).At(100.0), 7.5);
}

TEST(PointValue, IsScaledToTheFrameAndRoundedToNearestFixed) {
    EXPECT_EQ(ScaledFixed(100.5, {1, 2}), 3293184);  // 50.25
    EXPECT_EQ(ScaledFixed(100.0, {1, 1}), 100 * 65536);
    EXPECT_EQ(ScaledFixed(1.0 / 3.0, {1, 1}), 21845);  // 21845.33 rounds down
    EXPECT_EQ(ScaledFixed(2.0 / 3.0, {1, 1}), 43691);  // 43690.67 rounds up
    EXPECT_EQ(ScaledFixed(1e9, {1, 1}), INT32_MAX);
    EXPECT_EQ(ScaledFixed(-1e9, {1, 1}), INT32_MIN);
    EXPECT_EQ(ScaledFixed(std::nan(""), {1, 1}), INT32_MIN);
}

TEST_F(HostTest, PointReachesTheModuleInFramePixels) {
    host->Settings().downsample_x = {1, 2};
    host->Settings().downsample_y = {1, 3};
    host->Params().SetPoint(RING_CENTER, 100.5, 30.0);
    host->Params().SetNumber(RING_RADIUS, 40.0);
    PreRenderCall pre = host->NewPreRender();
    ASSERT_EQ(host->PreRender(pre), PF_Err_NONE);
    const auto &calls = host->Log().Calls();
    const auto value_of = [&](int32_t index) {
        for (const HostCall &call : calls) {
            if (call.op == "checkout_param" && call.args.rfind(std::to_string(index) + ",", 0) == 0) {
                return call.outcome;
            }
        }
        return std::string("none");
    };
    EXPECT_EQ(value_of(RING_CENTER), "3293184, 655360");  // (50.25, 10) in the frame
    EXPECT_EQ(value_of(RING_RADIUS), "40.000000");        // sliders stay as set
}

TEST_F(HostTest, DefaultPointIsTheMiddleOfTheFullLayer) {
    host->Settings().downsample_x = {1, 2};
    host->Settings().downsample_y = {1, 2};
    UseLayer(PixelDepth::Eight, 32, 24);  // a 64 × 48 layer at half resolution
    PreRenderCall pre = host->NewPreRender();
    ASSERT_EQ(host->PreRender(pre), PF_Err_NONE);
    EXPECT_EQ(host->InData().width, 64);
    EXPECT_EQ(host->InData().height, 48);
    bool seen = false;
    for (const HostCall &call : host->Log().Calls()) {
        if (call.op == "checkout_param" && call.args.rfind("1,", 0) == 0) {
            EXPECT_EQ(call.outcome, std::to_string(16 * 65536) + ", " + std::to_string(12 * 65536));
            seen = true;
        }
    }
    EXPECT_TRUE(seen);
}

TEST(Iteration, CoversEveryRowOnceAndReturnsTheFirstError) {
    std::mutex guard;
    std::multiset<int32_t> rows;
    std::set<std::thread::id> threads;
    EXPECT_EQ(ForEachRow(3, 103, 4,
                         [&](int32_t y) {
                             std::lock_guard<std::mutex> lock(guard);
                             rows.insert(y);
                             threads.insert(std::this_thread::get_id());
                             return PF_Err_NONE;
                         }),
              PF_Err_NONE);
    EXPECT_EQ(rows.size(), 100u);
    EXPECT_EQ(std::set<int32_t>(rows.begin(), rows.end()).size(), 100u);
    EXPECT_EQ(*rows.begin(), 3);
    EXPECT_LE(threads.size(), 4u);

    EXPECT_EQ(ForEachRow(0, 50, 3, [](int32_t y) { return y == 20 ? PF_Err_OUT_OF_MEMORY : PF_Err_NONE; }),
              PF_Err_OUT_OF_MEMORY);
}

TEST(Iteration, VisitsEachRowFromTheLeftOnOneThread) {
    Image src(PixelDepth::Eight, 9, 6, 2);
    Image dst(PixelDepth::Eight, 9, 6, 1);
    struct Seen {
        std::mutex guard;
        std::vector<std::vector<int32_t>> order = std::vector<std::vector<int32_t>>(6);
        std::vector<std::set<std::thread::id>> threads = std::vector<std::set<std::thread::id>>(6);
    } seen;
    const auto fn = [](void *refcon, int32_t x, int32_t y, const PF_Pixel *, PF_Pixel *out) noexcept -> PF_Err {
        auto &s = *static_cast<Seen *>(refcon);
        std::lock_guard<std::mutex> lock(s.guard);
        s.order[static_cast<std::size_t>(y)].push_back(x);
        s.threads[static_cast<std::size_t>(y)].insert(std::this_thread::get_id());
        out->alpha = 1;
        return PF_Err_NONE;
    };
    ASSERT_EQ(IteratePixels<PF_Pixel>(src.View(), dst.View(), {0, 0, 9, 6}, &seen, +fn, 3), PF_Err_NONE);
    for (std::size_t y = 0; y < 6; ++y) {
        EXPECT_EQ(seen.order[y], (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(seen.threads[y].size(), 1u);
    }
}

TEST(ImageBuffer, CopiesOwnTheirPixels) {
    Image original(PixelDepth::Sixteen, 4, 3, 2);
    original.PixelAt<PF_Pixel16>(1, 1)->red = 7;
    Image copy = original;
    copy.PixelAt<PF_Pixel16>(1, 1)->red = 9;
    EXPECT_EQ(original.PixelAt<PF_Pixel16>(1, 1)->red, 7);
    EXPECT_NE(copy.View().data, original.View().data);

    Image moved = std::move(copy);
    EXPECT_EQ(moved.PixelAt<PF_Pixel16>(1, 1)->red, 9);
    original = moved;
    EXPECT_EQ(original.PixelAt<PF_Pixel16>(1, 1)->red, 9);
    EXPECT_NE(original.View().data, moved.View().data);
}

TEST(Contract, NamesTheCallThatBrokeIt) {
    ContractChecker contract(Strictness::Fail);
    contract.BeginCommand(PF_Cmd_SMART_RENDER);
    contract.SuiteReleased(kPFHandleSuite, 2);
    contract.SuiteAcquired(kPFWorldSuite, 2);
    contract.LayerCheckedOut(0);
    const std::vector<std::string> broken = contract.EndCommand();
    EXPECT_EQ(broken, (std::vector<std::string>{
                          "ReleaseSuite(\"PF Handle Suite\", 2) without a matching AcquireSuite (command 24)",
                          "AcquireSuite(\"PF World Suite\", 2) without ReleaseSuite at end of command 24",
                          "checkout_layer_pixels(0) without checkin_layer_pixels at end of command 24"}));
    EXPECT_THROW(ThrowIfBroken(broken), ContractViolation);
}

TEST(Contract, HandleMisuseIsNamed) {
    ContractChecker contract(Strictness::Fail);
    HandleTable handles;
    contract.BeginCommand(PF_Cmd_SMART_PRE_RENDER);
    handles.BeginCommand();
    PF_Handle kept = handles.New(16, PF_Cmd_SMART_PRE_RENDER);
    PF_Handle gone = handles.New(16, PF_Cmd_SMART_PRE_RENDER);
    ASSERT_NE(handles.Lock(kept, contract), nullptr);
    handles.Dispose(gone, contract);
    EXPECT_EQ(handles.Lock(gone, contract), nullptr);
    handles.EndCommand(contract);
    EXPECT_EQ(contract.EndCommand(),
              (std::vector<std::string>{
                  "host_lock_handle on a disposed handle (h#2) (command 23)",
                  "host_lock_handle(h#1) without host_unlock_handle at end of command 23",
                  "host_new_handle gave h#1, neither disposed of nor handed over as pre_render_data, at end of "
                  "command 23"}));
}

TEST(Downsample, SamplesTheNearestFullResolutionPixel) {
    Image full(PixelDepth::Sixteen, 5, 3);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            full.PixelAt<PF_Pixel16>(x, y)->red = static_cast<uint16_t>(10 * y + x);
        }
    }
    const Image half = DownsampleNearest(full.View(), {1, 2}, {1, 2});
    ASSERT_EQ(half.Width(), 3);
    ASSERT_EQ(half.Height(), 2);
    EXPECT_EQ(half.PixelAt<PF_Pixel16>(2, 1)->red, 24);
    EXPECT_EQ(half.PixelAt<PF_Pixel16>(1, 0)->red, 2);
    EXPECT_THROW(DownsampleNearest(full.View(), {3, 2}, {1, 1}), std::invalid_argument);
}

}  // namespace
}  // namespace tidalhalo::sim::testing

namespace tidalhalo::sim::testing {
namespace {

// Every slot of a callback table holds a function: a module that calls one
// the host did not mean for it meets a refusal, not a null pointer.
struct Gap {
    std::size_t from, to;  // bytes that hold no function
};

template <class Table>
void ExpectEverySlotFilled(const Table &table, const char *what, std::initializer_list<Gap> gaps = {}) {
    static_assert(sizeof(Table) % sizeof(void *) == 0);
    void *slots[sizeof(Table) / sizeof(void *)];
    std::memcpy(slots, &table, sizeof table);
    for (std::size_t i = 0; i < std::size(slots); ++i) {
        const std::size_t offset = i * sizeof(void *);
        if (std::none_of(gaps.begin(), gaps.end(), [&](Gap gap) { return offset >= gap.from && offset < gap.to; })) {
            EXPECT_NE(slots[i], nullptr) << what << " slot at offset " << offset;
        }
    }
}

TEST_F(HostTest, EveryTableAndSuiteEntryIsFilled) {
    // The interaction block ends in reserved pointers; the util block has a
    // retired slot, and it and its ANSI block each end in a 32-bit field.
    ExpectEverySlotFilled(host->InData().inter, "inter",
                          {{offsetof(PF_InteractCallbacks, reserved_str), sizeof(PF_InteractCallbacks)}});
    constexpr std::size_t ansi = offsetof(PF_UtilCallbacks, ansi);
    ExpectEverySlotFilled(*host->InData().utils, "utils",
                          {{offsetof(PF_UtilCallbacks, get_batch_func_is_deprecated),
                            offsetof(PF_UtilCallbacks, end_sampling)},
                           {ansi + offsetof(PF_ANSICallbacks, ansi_procs), ansi + sizeof(PF_ANSICallbacks)},
                           {offsetof(PF_UtilCallbacks, reserved), sizeof(PF_UtilCallbacks)}});
    ExpectEverySlotFilled(*host->InData().pica_basicP, "basic suite");
    const auto suite = [&](const char *name, int32_t version) { return host->Suites().Find(name, version); };
    ExpectEverySlotFilled(*static_cast<const PF_HandleSuite1 *>(suite(kPFHandleSuite, kPFHandleSuiteVersion1)),
                          "handle suite");
    ExpectEverySlotFilled(*static_cast<const PF_WorldSuite2 *>(suite(kPFWorldSuite, kPFWorldSuiteVersion2)),
                          "world suite");
    ExpectEverySlotFilled(*static_cast<const PF_Iterate8Suite1 *>(suite(kPFIterate8Suite, kPFIterate8SuiteVersion1)),
                          "iterate8 suite");
    ExpectEverySlotFilled(
        *static_cast<const PF_Iterate16Suite1 *>(suite(kPFIterate16Suite, kPFIterate16SuiteVersion2)),
        "iterate16 suite");
    ExpectEverySlotFilled(
        *static_cast<const PF_IterateFloatSuite1 *>(suite(kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1)),
        "iterateFloat suite");
}

TEST(HostBlocks, InDataCarriesWhatTheHostFillsIn) {
    SimHost host(ModulePath(), Strictness::Fail);
    ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
    ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
    const Image layer = GradientLayer(PixelDepth::Eight, 30, 20);
    host.SetLayer(layer.View());
    host.Settings().downsample_x = {1, 2};
    host.Settings().pixel_aspect = {10, 11};
    PreRenderCall pre = host.NewPreRender();
    ASSERT_EQ(host.PreRender(pre), PF_Err_NONE);
    const PF_InData &in = host.InData();
    EXPECT_EQ(in.version.major, 13);
    EXPECT_EQ(in.quality, PF_Quality_HI);
    EXPECT_EQ(in.field, PF_Field_FRAME);
    EXPECT_EQ(in.num_params, RING_NUM_PARAMS);
    EXPECT_EQ(in.width, 60);
    EXPECT_EQ(in.height, 20);
    EXPECT_EQ(in.extent_hint.right, 30);
    EXPECT_EQ(in.extent_hint.bottom, 20);
    EXPECT_EQ(in.downsample_x.den, 2u);
    EXPECT_EQ(in.pixel_aspect_ratio.num, 10);
    EXPECT_EQ(in.appl_id, 0x46585443);
    EXPECT_EQ(in.in_flags, PF_InFlag_NONE);
}

// Stray calls are answered, recorded under the entry's name, and at the
// strictest level end the command with a contract violation naming them.
TEST(HostBlocks, StrayCallsAreRefusedAndNamed) {
    SimHost lenient(TIDALHALO_STRAY_CALLS_PATH, Strictness::Warn);
    EXPECT_EQ(lenient.Command(PF_Cmd_EVENT), PF_Err_NONE);
    EXPECT_STREQ(lenient.OutData().return_msg, "515 515 0 0 515 515");
    const std::vector<std::string> &broken = lenient.Contract().Violations();
    for (const char *entry : {"inter.progress", "utils.app", "utils.ansi.cos", "utils.host_get_handle_size",
                              "utils.host_dispose_handle", "SPBasicSuite.IsEqual", "PF World Suite.PF_NewWorld"}) {
        EXPECT_TRUE(std::any_of(broken.begin(), broken.end(),
                                [&](const std::string &text) { return text.rfind(entry, 0) == 0; }))
            << entry;
    }

    SimHost strict(TIDALHALO_STRAY_CALLS_PATH, Strictness::Fail);
    try {
        strict.Command(PF_Cmd_EVENT);
        ADD_FAILURE() << "no contract violation";
    } catch (const ContractViolation &violation) {
        EXPECT_NE(std::string(violation.what()).find("inter.progress"), std::string::npos) << violation.what();
    }
}

}  // namespace
}  // namespace tidalhalo::sim::testing
