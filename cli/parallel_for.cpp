#include "cli/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tidalhalo::cli {

unsigned ThreadCount(unsigned threads) noexcept {
    if (threads != 0) {
        return threads;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores != 0 ? cores : 1;
}

void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)> &work) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr first_error;
    std::mutex error_mutex;
    auto run = [&]() noexcept {
        for (std::size_t i = next++; i < count && !failed; i = next++) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(error_mutex);
                if (!first_error) {
                    first_error = std::current_exception();
                }
                failed = true;
            }
        }
    };
    const std::size_t helpers = std::min<std::size_t>(ThreadCount(threads), count == 0 ? 1 : count) - 1;
    std::vector<std::jthread> pool;
    pool.reserve(helpers);
    for (std::size_t t = 0; t < helpers; ++t) {
        pool.emplace_back(run);
    }
    run();
    pool.clear();  // joins
    if (first_error) {
        std::rethrow_exception(first_error);
    }
}

}  // namespace tidalhalo::cli
