// The frei0r face of the effect: a filter plug-in that ffmpeg, MLT and
// GStreamer load by its file name. It fills the same render record as the
// pre-render and shades with the same 8-bit pixel function as the module.
#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <new>

// frei0r.h declares its functions for C without saying so to C++.
extern "C" {
#include <frei0r.h>
}

#include "frei0r/filter_cache.h"
#include "frei0r/filter_floating_point.h"
#include "frei0r/filter_frame.h"
#include "frei0r/filter_params.h"
#include "params/identity.h"

namespace {

constexpr int FILTER_MAJOR_VERSION = 3;
constexpr int FILTER_MINOR_VERSION = 0;

struct FilterInstance {
    uint32_t width;
    uint32_t height;
    unsigned threads;  // as asked for, 0 for one per core; FilterThreadCount decides per frame
    bool cached;       // keep the ring from frame to frame
    FilterValues values;
    // frei0r calls an instance from one thread at a time; a host that does
    // not gets the uncached path for the overlapping frame, never a torn cache.
    std::mutex cache_lock;
    FilterRingCache cache;
};

// Frames being shaded in the whole process. A host that already runs
// several frames at once (melt's parallel frame threads) has the cores
// busy, so a frame that is not alone stays on the calling thread.
std::atomic<unsigned> frames_in_progress{0};

class FrameInProgress {
public:
    FrameInProgress() noexcept : alone_(frames_in_progress.fetch_add(1, std::memory_order_relaxed) == 0) {}
    ~FrameInProgress() { frames_in_progress.fetch_sub(1, std::memory_order_relaxed); }
    FrameInProgress(const FrameInProgress &) = delete;
    FrameInProgress &operator=(const FrameInProgress &) = delete;
    bool Alone() const noexcept { return alone_; }

private:
    bool alone_;
};

}  // namespace

// frei0r.h declares these functions without noexcept, and a definition must
// match its declaration; each body calls only what cannot throw. On Windows
// exports.def names the exports.
#ifdef _WIN32
#define FILTER_EXPORT extern "C"
#else
#define FILTER_EXPORT extern "C" __attribute__((visibility("default")))
#endif

FILTER_EXPORT int f0r_init() { return 1; }

FILTER_EXPORT void f0r_deinit() {}

FILTER_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t *info) {
    if (info == nullptr) {
        return;
    }
    info->name = "tidalhalo";
    info->author = TIDALHALO_NAME;
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = FILTER_MAJOR_VERSION;
    info->minor_version = FILTER_MINOR_VERSION;
    info->num_params = FILTER_NUM_PARAMS;
    info->explanation = "A soft coloured ring around a point, blended with the frame";
}

FILTER_EXPORT void f0r_get_param_info(f0r_param_info_t *info, int param_index) {
    if (info != nullptr) {
        DescribeFilterParam(param_index, *info);
    }
}

// Any size the pixel functions' 32-bit coordinates can reach, not only the
// multiples of 8 that frei0r names: hosts pass odd sizes too.
FILTER_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    constexpr auto limit = static_cast<unsigned int>(std::numeric_limits<int32_t>::max());
    if (width == 0 || height == 0 || width > limit || height > limit) {
        return nullptr;
    }
    auto *filter = new (std::nothrow) FilterInstance{};
    if (filter != nullptr) {
        filter->width = width;
        filter->height = height;
        filter->threads = FilterNumberFromEnvironment("TIDALHALO_THREADS", 0);
        filter->cached = FilterNumberFromEnvironment("TIDALHALO_RING_CACHE", 1) != 0;
        filter->values = DefaultFilterValues();
    }
    return filter;
}

FILTER_EXPORT void f0r_destruct(f0r_instance_t instance) { delete static_cast<FilterInstance *>(instance); }

// GStreamer's frei0r element hands a string in a form of its own once its
// instance runs: who calls decides how the blend text is read.
FILTER_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    if (instance != nullptr) {
        auto &filter = *static_cast<FilterInstance *>(instance);
        const HostStringCaller caller = param_index == FILTER_BLEND
                                            ? HostStringCallerAt(__builtin_return_address(0))
                                            : HostStringCaller::FREI0R_HOST;
        SetFilterParam(filter.values, param_index, param, caller);
    }
}

FILTER_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    if (instance != nullptr) {
        GetFilterParam(static_cast<FilterInstance *>(instance)->values, param_index, param);
    }
}

FILTER_EXPORT void f0r_update(f0r_instance_t instance, double, const uint32_t *inframe, uint32_t *outframe) {
    if (instance == nullptr || inframe == nullptr || outframe == nullptr) {
        return;
    }
    auto &filter = *static_cast<FilterInstance *>(instance);
    const DefaultFloatingPoint environment;
    const FrameInProgress frame;
    const RingRenderInfo info = FilterRenderInfo(filter.values, filter.width, filter.height);
    const unsigned bands =
        filter.threads == 0 && !frame.Alone() ? 1 : FilterThreadCount(filter.width, filter.height, filter.threads);
    const auto *in = reinterpret_cast<const uint8_t *>(inframe);
    auto *out = reinterpret_cast<uint8_t *>(outframe);
    std::unique_lock<std::mutex> lock(filter.cache_lock, std::try_to_lock);
    if (filter.cached && lock.owns_lock()) {
        filter.cache.ShadeFrame(info, filter.width, filter.height, in, out, bands);
    } else {
        ShadeFilterFrame(info, filter.width, filter.height, in, out, bands);
    }
}

FILTER_EXPORT void f0r_update2(f0r_instance_t instance, double time, const uint32_t *inframe1, const uint32_t *,
                               const uint32_t *, uint32_t *outframe) {
    f0r_update(instance, time, inframe1, outframe);
}
