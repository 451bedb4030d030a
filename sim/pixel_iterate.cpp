#include "sim/pixel_iterate.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace tidalhalo::sim {

unsigned ResolveThreads(unsigned requested) noexcept {
    if (requested > 0) {
        return requested;
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

PF_Err ForEachRow(int32_t top, int32_t bottom, unsigned threads, const std::function<PF_Err(int32_t)> &row) {
    if (bottom <= top) {
        return PF_Err_NONE;
    }
    const auto rows = static_cast<unsigned>(bottom - top);
    const unsigned workers = std::min(ResolveThreads(threads), rows);
    std::atomic<int32_t> next{top};
    std::atomic<PF_Err> first_error{PF_Err_NONE};
    auto work = [&] {
        while (first_error.load() == PF_Err_NONE) {
            const int32_t y = next.fetch_add(1);
            if (y >= bottom) {
                return;
            }
            const PF_Err err = row(y);
            if (err != PF_Err_NONE) {
                PF_Err none = PF_Err_NONE;
                first_error.compare_exchange_strong(none, err);
            }
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(workers - 1);
    for (unsigned i = 1; i < workers; ++i) {
        pool.emplace_back(work);
    }
    work();
    for (std::thread &thread : pool) {
        thread.join();
    }
    return first_error.load();
}

}  // namespace tidalhalo::sim
